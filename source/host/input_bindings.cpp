// Key and pad bindings: the action tables, the setters that keep a key or
// button on one action, storage in the options store, display names and
// the ST scancode table.
#include "host/input_bindings.h"

#include <cmath>
#include <cstdio>
#include <strings.h>

#include "host/language.h"
#include "host/options.h"

namespace {

struct key_action_row {
  const char* option;
  const char* label;
  const char* hint;
  int def;
};

constexpr key_action_row KEY_ACTIONS[KEY_ACTION_COUNT] = {
    {"key_up", "ctl.key.move_up", "ctl.key.move_up.hint", 38},
    {"key_down", "ctl.key.move_down", "ctl.key.move_down.hint", 40},
    {"key_left", "ctl.key.move_left", "ctl.key.move_left.hint", 37},
    {"key_right", "ctl.key.move_right", "ctl.key.move_right.hint", 39},
    {"key_fire", "ctl.key.fire", "ctl.key.fire.hint", 17},
    {"key_fire2", "ctl.key.fire_second_key", "ctl.key.fire_second_key.hint", 90},
    {"key_wnext", "ctl.key.next_weapon", "ctl.key.next_weapon.hint", 65},
    {"key_wprev", "ctl.key.previous_weapon", "ctl.key.previous_weapon.hint", 0},
    {"key_rocket", "ctl.key.quick_rocket_launcher", "ctl.key.quick_rocket_launcher.hint", 0},
    {"key_grenade", "ctl.key.quick_grenade", "ctl.key.quick_grenade.hint", 0},
};

// The ST joystick bit of each of the first six actions; the second fire
// key is another fire.
constexpr int JOY_BITS[6] = {JOY_UP, JOY_DOWN, JOY_LEFT, JOY_RIGHT, JOY_FIRE, JOY_FIRE};

struct pad_action_row {
  const char* option;
  const char* label;
  const char* hint;
  int def;
};

constexpr pad_action_row PAD_ACTIONS[PAD_ACTION_COUNT] = {
    {"pad_fire", "ctl.pad.fire", "ctl.pad.fire.hint", PAD_BTN_A},
    {"pad_fire2", "ctl.pad.fire_second_button", "ctl.pad.fire_second_button.hint", PAD_BTN_RT},
    {"pad_hold", "ctl.pad.hold_position", "ctl.pad.hold_position.hint", PAD_BTN_LT},
    {"pad_wnext", "ctl.pad.next_weapon", "ctl.pad.next_weapon.hint", PAD_BTN_RB},
    {"pad_wprev", "ctl.pad.previous_weapon", "ctl.pad.previous_weapon.hint", PAD_BTN_LB},
    {"pad_rocket", "ctl.pad.quick_rocket_launcher", "ctl.pad.quick_rocket_launcher.hint",
     PAD_BTN_B},
    {"pad_grenade", "ctl.pad.quick_grenade", "ctl.pad.quick_grenade.hint", PAD_BTN_X},
    {"pad_menu", "ctl.pad.options_menu", "ctl.pad.options_menu.hint", PAD_BTN_START},
    {"pad_exit", "ctl.pad.leave_the_mission", "ctl.pad.leave_the_mission.hint", PAD_BTN_BACK},
};

struct button_name {
  const char* name;
  int mask;
};

constexpr button_name BUTTONS[] = {
    {"none", 0},          {"A", PAD_BTN_A},       {"B", PAD_BTN_B},
    {"X", PAD_BTN_X},     {"Y", PAD_BTN_Y},       {"LB", PAD_BTN_LB},
    {"RB", PAD_BTN_RB},   {"LT", PAD_BTN_LT},     {"RT", PAD_BTN_RT},
    {"Back", PAD_BTN_BACK}, {"Start", PAD_BTN_START}, {"L3", PAD_BTN_L3},
    {"R3", PAD_BTN_R3},
};

struct key_named {
  int code;
  const char* name;
};

constexpr key_named KEY_NAMES[] = {
    {0, "(none)"},        {38, "Up"},           {40, "Down"},          {37, "Left"},
    {39, "Right"},        {17, "Ctrl"},         {162, "Left Ctrl"},    {163, "Right Ctrl"},
    {16, "Shift"},        {18, "Alt"},          {32, "Space"},         {13, "Enter"},
    {269, "Num Enter"},   {9, "Tab"},           {8, "Backspace"},      {45, "Insert"},
    {46, "Delete"},       {36, "Home"},         {35, "End"},           {33, "Page Up"},
    {34, "Page Down"},    {107, "Num +"},       {109, "Num -"},        {106, "Num *"},
    {111, "Num /"},       {110, "Num ."},       {20, "Caps Lock"},     {27, "Esc"},
    {19, "Pause"},        {145, "Scroll Lock"}, {144, "Num Lock"},     {44, "Print Screen"},
    {93, "Menu"},         {91, "Left Win"},     {92, "Right Win"},     {160, "Left Shift"},
    {161, "Right Shift"}, {164, "Left Alt"},    {165, "Right Alt"},
};

// ST scancodes of the letters A to Z.
constexpr unsigned char LETTER_SCANCODES[26] = {30, 48, 46, 32, 18, 33, 34, 35, 23,
                                                36, 37, 38, 50, 49, 24, 25, 16, 19,
                                                31, 20, 22, 47, 17, 45, 21, 44};

struct code_pair {
  int code;
  int scancode;
};

constexpr code_pair OTHER_SCANCODES[] = {
    {8, 14},   {13, 28},  {32, 57},  {46, 83},  {186, 39}, {187, 13}, {188, 51}, {189, 12},
    {190, 52}, {191, 53}, {192, 41}, {219, 26}, {220, 43}, {221, 27}, {222, 40}, {269, 28},
};

// A stored key code is used only when it is a whole number the key tables
// can hold; anything else keeps the default.
int stored_key_code(const char* option, int def) {
  double v = cfg_num(option, NAN);
  if (!std::isfinite(v) || v != std::floor(v) || v < 0 || v >= static_cast<double>(KEY_CODE_LIMIT)) return def;
  return kbd_norm_vk(static_cast<int>(v));
}

bool valid_action(int i, int count) { return i >= 0 && i < count; }

}  // namespace

std::atomic<int> key_bind[KEY_ACTION_COUNT];
std::atomic<int> pad_bind[PAD_ACTION_COUNT];
std::atomic<int> pad_dual_stick{1};
std::atomic<int> pad_aim_autofire{1};

// The defaults hold from start-up until the options are read.
static const bool defaults_at_start = (input_defaults(), true);

void input_defaults() {
  for (int i = 0; i < KEY_ACTION_COUNT; i++) key_bind[i].store(KEY_ACTIONS[i].def, std::memory_order_relaxed);
  for (int i = 0; i < PAD_ACTION_COUNT; i++) pad_bind[i].store(PAD_ACTIONS[i].def, std::memory_order_relaxed);
}

void input_cfg_load() {
  input_defaults();
  pad_dual_stick.store(cfg_bool("pad_dual_stick", 1), std::memory_order_relaxed);
  pad_aim_autofire.store(cfg_bool("pad_aim_autofire", 1), std::memory_order_relaxed);
  for (int i = 0; i < KEY_ACTION_COUNT; i++) {
    if (!cfg_has(KEY_ACTIONS[i].option)) continue;
    key_bind[i].store(stored_key_code(KEY_ACTIONS[i].option, KEY_ACTIONS[i].def),
                      std::memory_order_relaxed);
  }
  for (int i = 0; i < PAD_ACTION_COUNT; i++) {
    const char* name = cfg_str(PAD_ACTIONS[i].option, nullptr);
    if (!name) continue;
    for (const button_name& b : BUTTONS) {
      if (strcasecmp(name, b.name) == 0) {
        pad_bind[i].store(b.mask, std::memory_order_relaxed);
        break;
      }
    }
  }
}

void input_cfg_save() {
  cfg_set_bool("pad_dual_stick", pad_dual_stick.load(std::memory_order_relaxed));
  cfg_set_bool("pad_aim_autofire", pad_aim_autofire.load(std::memory_order_relaxed));
  for (int i = 0; i < KEY_ACTION_COUNT; i++)
    cfg_set_num(KEY_ACTIONS[i].option, key_bind[i].load(std::memory_order_relaxed));
  for (int i = 0; i < PAD_ACTION_COUNT; i++) {
    const char* name = "none";
    int mask = pad_bind[i].load(std::memory_order_relaxed);
    for (const button_name& b : BUTTONS)
      if (b.mask == mask) name = b.name;
    cfg_set_str(PAD_ACTIONS[i].option, name);
  }
}

void kbd_set_bind(int action, int code) {
  if (!valid_action(action, KEY_ACTION_COUNT)) return;
  code = kbd_norm_vk(code);
  if (code != 0) {
    for (auto& b : key_bind)
      if (b.load(std::memory_order_relaxed) == code) b.store(0, std::memory_order_relaxed);
  }
  key_bind[action].store(code, std::memory_order_relaxed);
}

void pad_set_bind(int action, int mask) {
  if (!valid_action(action, PAD_ACTION_COUNT)) return;
  if (mask != 0) {
    for (auto& b : pad_bind)
      if (b.load(std::memory_order_relaxed) == mask) b.store(0, std::memory_order_relaxed);
  }
  pad_bind[action].store(mask, std::memory_order_relaxed);
}

int kbd_norm_vk(int code) { return code == 162 || code == 163 ? 17 : code; }

int kbd_action(int code) {
  code = kbd_norm_vk(code);
  if (code == 0) return -1;
  for (int i = 0; i < KEY_ACTION_COUNT; i++)
    if (key_bind[i].load(std::memory_order_relaxed) == code) return i;
  return -1;
}

int kbd_joy_bit(int code) {
  int action = kbd_action(code);
  return action >= 0 && action < 6 ? JOY_BITS[action] : 0;
}

int kbd_joy_keys(int* out) {
  int n = 0;
  for (int i = 0; i < 6; i++) {
    int code = key_bind[i].load(std::memory_order_relaxed);
    if (code == 0) continue;
    if (code == 17) {
      out[n++] = 162;
      out[n++] = 163;
    } else {
      out[n++] = code;
    }
  }
  return n;
}

int kbd_scancode(int code) {
  if (code >= 49 && code <= 57) return code - 47;
  if (code == 48) return 11;
  if (code >= 97 && code <= 105) return code - 95;
  if (code == 96) return 11;
  if (code >= 65 && code <= 90) return LETTER_SCANCODES[code - 65];
  if (code >= 112 && code <= 116) return code - 53;
  for (const code_pair& p : OTHER_SCANCODES)
    if (p.code == code) return p.scancode;
  return 0;
}

const char* key_act_label(int i) { return valid_action(i, KEY_ACTION_COUNT) ? tr(KEY_ACTIONS[i].label) : ""; }
const char* key_act_label_id(int i) { return valid_action(i, KEY_ACTION_COUNT) ? KEY_ACTIONS[i].label : ""; }
const char* key_act_hint(int i) { return valid_action(i, KEY_ACTION_COUNT) ? KEY_ACTIONS[i].hint : ""; }
const char* pad_act_label(int i) { return valid_action(i, PAD_ACTION_COUNT) ? tr(PAD_ACTIONS[i].label) : ""; }
const char* pad_act_label_id(int i) { return valid_action(i, PAD_ACTION_COUNT) ? PAD_ACTIONS[i].label : ""; }
const char* pad_act_hint(int i) { return valid_action(i, PAD_ACTION_COUNT) ? PAD_ACTIONS[i].hint : ""; }

int pad_action_of(int mask) {
  if (mask == 0) return -1;
  for (int i = 0; i < PAD_ACTION_COUNT; i++)
    if (pad_bind[i].load(std::memory_order_relaxed) == mask) return i;
  return -1;
}

char* key_name(int code, char* buffer, size_t size) {
  if (size == 0) return buffer;
  for (const key_named& k : KEY_NAMES) {
    if (k.code == code) {
      char id[32];
      std::snprintf(id, sizeof id, "key.%s", k.name);
      std::snprintf(buffer, size, "%s", tr(id));
      return buffer;
    }
  }
  if ((code >= 48 && code <= 57) || (code >= 65 && code <= 90))
    std::snprintf(buffer, size, "%c", code);
  else if (code >= 96 && code <= 105)
    std::snprintf(buffer, size, "Num %d", code - 96);
  else if (code >= 112 && code <= 135)
    std::snprintf(buffer, size, "F%d", code - 111);
  else
    std::snprintf(buffer, size, "Key %d", code);
  return buffer;
}

char* pad_button_name(int mask, char* buffer, size_t size) {
  if (size == 0) return buffer;
  if (mask == 0) {
    std::snprintf(buffer, size, "%s", tr("key.(none)"));
    return buffer;
  }
  for (const button_name& b : BUTTONS) {
    if (b.mask == mask) {
      std::snprintf(buffer, size, "%s", b.name);
      return buffer;
    }
  }
  std::snprintf(buffer, size, "?");
  return buffer;
}
