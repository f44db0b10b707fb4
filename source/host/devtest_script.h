// The scripts of the scripted test mode, read from the BKM_* variables:
// timed joystick states, ST keys and menu commands, hold and aim windows,
// god mode at a time, a pushed joystick byte. Parsing only; the main loop
// plays them (window/devtest.cpp).
#pragma once

#include <vector>

struct timed_joy {
  double t;
  int joy;
};

enum scripted_key_state { KEY_WAITING, KEY_PRESSED, KEY_RELEASED };

struct scripted_key {
  double t;
  int code;  // ST scan code 1..127
  int state = KEY_WAITING;
  double release_at = 0;
};

// The commands a menu script may give.
constexpr int menu_action_chars = 11;
struct menu_step {
  double t;
  char action[menu_action_chars + 1];
  int done = 0;
};

constexpr int max_joyseq = 128, max_script_keys = 32, max_menu_steps = 64;

struct devtest_script {
  std::vector<timed_joy> joyseq;
  std::vector<scripted_key> keys;
  std::vector<menu_step> mseq;
  bool has_hold = false;
  double hold_from = 0, hold_to = 0;
  bool has_aim = false;
  int aim = 0;
  double aim_from = 0, aim_to = 1e9;
  bool has_god_at = false;
  double god_at = 0;
  bool has_push = false;
  int push = 0;
  bool no_input = false;
};

// "t:byte,t:byte,...": entries that do not parse are skipped (logged).
std::vector<timed_joy> parse_joyseq(const char* text);
// "t:scancode,...": codes outside 1..127 are skipped (logged).
std::vector<scripted_key> parse_keys(const char* text);
// "t:command,...": the command cut to 11 characters; only "open", "close",
// "enter" and the menu's navigation commands are kept, others logged.
std::vector<menu_step> parse_mseq(const char* text);
// Everything from the environment.
devtest_script devtest_read_env();

// Player 1's scripted joystick byte at t (seconds since the loop began):
// the sequence, nothing under BKM_NOINPUT, the pushed byte with a fire
// rhythm, or the built-in pattern.
int devtest_joystick(const devtest_script& s, double t);
