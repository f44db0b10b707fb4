// The per-frame input mapping: once per displayed frame the main thread
// drains the window's events and reads the game controllers, and turns
// them into emulation events: the joystick bytes of both players, ST key
// presses, weapon keys and quick weapons, hold, aim and the mission exit.
#pragma once

#include <atomic>

#include "host/input_bindings.h"

struct pad_state;

// Keys that were down when the menu closed: their events are swallowed
// until they are released. Read by the fast input thread.
extern std::atomic<int> key_held[KEY_CODE_LIMIT];
// While set, the pad's fire bit is removed until its fire is released.
extern std::atomic<int> pad_fire_blocked[2];
// 1 while the menu is open.
extern std::atomic<int> menu_open_flag;

// One frame's input at time now (seconds). Returns 1 while the menu is
// open. Does nothing before input_ready.
int input_frame(double now);
// The keyboard's joystick byte for player 1 (scripted tests).
void input_set_kbd_state(int state);
// Opening the menu, whatever opens it: every key the game holds down is
// released there, and held back until it is let go, so that after the menu
// the game sees only keys pressed since.
void input_release_game_keys();
// Opening the menu posts hold and aim of 0 itself; the next frame sends
// them again whatever was sent before.
void input_forget_hold_aim();
// Pad i's aim direction, with the fire bit when "pad_aim_autofire" is on
// and the pad aims; 0 when pad i is absent.
int pad_aim_code(const pad_state* pads, int count, int i);
// Forgets everything input_frame remembers (tests, and a new session).
void input_reset();
