// The scripted test mode on the main thread: under BKM_TEST the program
// plays scripted joystick states, ST keys, hold, aim, god mode and menu
// commands, so that it can be driven without a person.
#pragma once

// One displayed frame at t seconds since the main loop began, showing the
// given screen kind (as the presenter names it; entries timed from a kind
// wait for its first frame). Does nothing unless BKM_TEST is set; the
// scripts are read on first use. True when the menu script asked for a
// picture of the frame drawn next (into BKM_SHOTS).
bool devtest_frame(double t, const char* screen_kind);
// Forgets the scripts and what was played of them (tests).
void devtest_reset();
