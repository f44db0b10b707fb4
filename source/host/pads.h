// Game controllers: up to four open controllers, of which the first two
// attached (in slot order) are read into one small record each. Called by
// the main thread, the fast input thread and the start-up screens; one lock
// keeps two of them from opening, closing or reading at once.
#pragma once

struct pad_state {
  int joy;      // ST joystick bits: up 1, down 2, left 4, right 8, fire 128
  int wnext;    // the "pad_wnext" button is down
  int actions;  // PAD_ACT_* bits of the buttons that are down
  int hold;     // the "pad_hold" button is down
  int buttons;  // every pressed button and trigger, bound or not
  int aim;      // right-stick direction bits; 0 = none or dual stick off
};

enum : int {
  PAD_ACT_ROCKET = 1,
  PAD_ACT_GRENADE = 2,
  PAD_ACT_WPREV = 4,
  PAD_ACT_MENU = 8,
  PAD_ACT_EXIT = 16,
};

// One controller's raw reading: buttons as PAD_BTN_* masks (triggers not
// included), the d-pad as joystick bits, and the axes as SDL gives them.
struct pad_reading {
  int buttons;
  int dpad;
  int left_x, left_y;
  int right_x, right_y;
  int left_trigger, right_trigger;
};

// Turns a raw reading into the game's view of it under the current bindings.
pad_state pad_state_from(const pad_reading& r);

// Opens new controllers, closes detached ones and reads the first two;
// returns how many were read (0, 1 or 2). Needs SDL's game-controller
// subsystem (the window's open starts it).
int pads_read(pad_state* states);

// Closes every open controller (shut-down).
void pads_close();
