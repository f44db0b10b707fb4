// The fast input thread: with the option "fast_input" on it samples the
// joystick keys and the game controllers every millisecond and posts the
// joystick bytes, hold and aim of both players as soon as they change, so
// that input latency no longer depends on the display rate. While it is
// active the per-frame mapping leaves the joystick bytes to it.
#pragma once

// Starts the thread (logged when it cannot start). The test switches
// BKM_TEST, BKM_FASTIN_TEST and BKM_FASTIN_LOG are read here, once: the
// thread never reads the environment.
void fast_input_start();
// Stops and joins it; safe when it never started. Must run before the
// emulation thread's queue goes away and before the window closes.
void fast_input_stop();
// 1 when "fast_input" is on and either BKM_TEST is unset or
// BKM_FASTIN_TEST is set.
int fast_input_active();
