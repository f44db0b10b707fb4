// The scripts of the scripted test mode, read from the BKM_* variables:
// timed joystick states, ST keys and menu commands, hold and aim windows,
// god mode at a time, a pushed joystick byte. Parsing and timing only; the
// main loop plays them (window/devtest.cpp).
#pragma once

#include <array>
#include <vector>

// The screen kinds a script time may count from.
constexpr const char* script_kinds[] = {"other", "players", "map", "shop", "game"};
constexpr int script_kind_count = 5;
constexpr int from_loop_start = -1;

// When a joystick, key or menu entry is due: "1.5" is 1.5 s after the main
// loop began; "map+1.5" is 1.5 s after the first frame that showed the map.
// Counting from a screen lets a script wait for the game however slowly the
// machine runs, where seconds since the start would race it.
struct script_time {
  int kind = from_loop_start;  // index into script_kinds
  double after = 0;
};

struct timed_joy {
  script_time t;
  int joy;
};

enum scripted_key_state { KEY_WAITING, KEY_PRESSED, KEY_RELEASED };

struct scripted_key {
  script_time t;
  int code;  // ST scan code 1..127
  int state = KEY_WAITING;
  double release_at = 0;
};

// The commands a menu script may give, played in their order: a step waits
// for its time and for the steps before it.
constexpr int menu_action_chars = 11;
struct menu_step {
  script_time t;
  char action[menu_action_chars + 1];
  int done = 0;
  int shot_asked = 0;  // "shot": the frame is being drawn into its file
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
  // When each screen kind was first shown (seconds since the loop began);
  // negative while not yet.
  std::array<double, script_kind_count> kind_seen = {-1, -1, -1, -1, -1};
};

// "t" or "kind+t", the whole text; false for anything else.
bool parse_script_time(const char* text, script_time* out);
// Notes the screen kind shown at t; the first time of each kind counts.
void devtest_note_kind(devtest_script& s, const char* kind, double t);
// Whether an entry's time has come by t.
bool devtest_due(const devtest_script& s, const script_time& when, double t);

// "t:byte,t:byte,...", each t as parse_script_time reads it: entries
// that do not parse are skipped (logged).
std::vector<timed_joy> parse_joyseq(const char* text);
// "t:scancode,...": codes outside 1..127 are skipped (logged).
std::vector<scripted_key> parse_keys(const char* text);
// "t:command,...": the command cut to 11 characters; only "open", "close",
// "enter", "shot" (a picture of the next drawn frame) and the menu's
// navigation commands are kept, others logged.
std::vector<menu_step> parse_mseq(const char* text);
// Everything from the environment.
devtest_script devtest_read_env();

// Player 1's scripted joystick byte at t (seconds since the loop began):
// the last entry of the sequence that is due, nothing under BKM_NOINPUT,
// the pushed byte with a fire rhythm, or the built-in pattern.
int devtest_joystick(const devtest_script& s, double t);
