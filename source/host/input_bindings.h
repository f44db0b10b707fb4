// Key and pad bindings: what a key or a controller button means to the
// game. Ten keyboard actions and nine pad actions with their defaults, the
// current bindings and their place in options.json, the names shown for keys
// and buttons, and the translation of key codes into ST scancodes and
// joystick bits.
//
// Key codes are the window layer's: Windows-style virtual-key numbers, with
// 269 for the keypad's Enter. Left and Right Ctrl (162, 163) are always kept
// as Ctrl (17). Bindings are written on the main thread only; the fast input
// thread reads them, hence the relaxed atomics.
#pragma once

#include <atomic>
#include <cstddef>

enum : int {
  KEY_ACTION_COUNT = 10,
  PAD_ACTION_COUNT = 9,
  KEY_CODE_LIMIT = 512,  // key codes index tables of this size
};

// Keyboard actions, in table order; the first six move the ST joystick.
enum key_action : int {
  KEY_UP, KEY_DOWN, KEY_LEFT, KEY_RIGHT, KEY_FIRE, KEY_FIRE2,
  KEY_WNEXT, KEY_WPREV, KEY_ROCKET, KEY_GRENADE,
};

enum pad_action : int {
  PAD_FIRE, PAD_FIRE2, PAD_HOLD, PAD_WNEXT, PAD_WPREV,
  PAD_ROCKET, PAD_GRENADE, PAD_MENU, PAD_EXIT,
};

// Pad button masks: a controller's buttons and both triggers in one int.
enum : int {
  PAD_BTN_START = 0x10,
  PAD_BTN_BACK = 0x20,
  PAD_BTN_L3 = 0x40,
  PAD_BTN_R3 = 0x80,
  PAD_BTN_LB = 0x100,
  PAD_BTN_RB = 0x200,
  PAD_BTN_A = 0x1000,
  PAD_BTN_B = 0x2000,
  PAD_BTN_X = 0x4000,
  PAD_BTN_Y = 0x8000,
  PAD_BTN_LT = 0x10000,
  PAD_BTN_RT = 0x20000,
};

// ST joystick bits.
enum : int { JOY_UP = 1, JOY_DOWN = 2, JOY_LEFT = 4, JOY_RIGHT = 8, JOY_FIRE = 128 };

extern std::atomic<int> key_bind[KEY_ACTION_COUNT];  // key code, 0 = unbound
extern std::atomic<int> pad_bind[PAD_ACTION_COUNT];  // button mask, 0 = unbound
extern std::atomic<int> pad_dual_stick;              // the right stick aims
extern std::atomic<int> pad_aim_autofire;            // aiming also fires

void input_defaults();
void input_cfg_load();
void input_cfg_save();

void kbd_set_bind(int action, int code);
void pad_set_bind(int action, int mask);

int kbd_action(int code);
int kbd_joy_bit(int code);
int kbd_norm_vk(int code);
// The key codes of the six joystick actions in action order, Ctrl as both
// 162 and 163 (the fast input thread polls physical keys); at most 12.
int kbd_joy_keys(int* out);
int kbd_scancode(int code);

const char* key_act_label(int i);
const char* key_act_label_id(int i);
const char* key_act_hint(int i);
const char* pad_act_label(int i);
const char* pad_act_label_id(int i);
const char* pad_act_hint(int i);

int pad_action_of(int mask);

char* key_name(int code, char* buffer, size_t size);
char* pad_button_name(int mask, char* buffer, size_t size);
