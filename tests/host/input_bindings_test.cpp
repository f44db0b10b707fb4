#include "host/input_bindings.h"
#include "host/language.h"
#include "host/options.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

int key(int action) { return key_bind[action].load(); }
int pad(int action) { return pad_bind[action].load(); }

std::vector<int> all_keys() {
  std::vector<int> out;
  for (auto& b : key_bind) out.push_back(b.load());
  return out;
}

std::vector<int> all_pads() {
  std::vector<int> out;
  for (auto& b : pad_bind) out.push_back(b.load());
  return out;
}

const std::vector<int> default_keys = {38, 40, 37, 39, 17, 90, 65, 0, 0, 0};
const std::vector<int> default_pads = {PAD_BTN_A,  PAD_BTN_RT, PAD_BTN_LT,    PAD_BTN_RB,  PAD_BTN_LB,
                                       PAD_BTN_B,  PAD_BTN_X,  PAD_BTN_START, PAD_BTN_BACK};

class Bindings : public ::testing::Test {
 protected:
  void SetUp() override {
    cfg_clear();
    input_defaults();
    pad_dual_stick = 1;
    pad_aim_autofire = 1;
  }
  void TearDown() override {
    cfg_clear();
    input_defaults();
  }
};

TEST_F(Bindings, DefaultsAreTheTables) {
  EXPECT_EQ(all_keys(), default_keys);
  EXPECT_EQ(all_pads(), default_pads);
}

TEST_F(Bindings, RightCtrlOnNextWeaponIsCtrlAndUnbindsFire) {
  kbd_set_bind(KEY_WNEXT, 163);
  EXPECT_EQ(key(KEY_WNEXT), 17);
  EXPECT_EQ(key(KEY_FIRE), 0);
  EXPECT_EQ(kbd_action(162), KEY_WNEXT);
  EXPECT_EQ(kbd_joy_bit(163), 0);  // next weapon moves no joystick bit
}

TEST_F(Bindings, SettersKeepAKeyOrButtonOnOneAction) {
  kbd_set_bind(KEY_GRENADE, 38);  // Up leaves "key_up"
  EXPECT_EQ(key(KEY_UP), 0);
  EXPECT_EQ(key(KEY_GRENADE), 38);
  kbd_set_bind(KEY_GRENADE, 0);  // clears only its own key
  EXPECT_EQ(key(KEY_GRENADE), 0);
  EXPECT_EQ(key(KEY_DOWN), 40);

  pad_set_bind(PAD_MENU, PAD_BTN_A);
  EXPECT_EQ(pad(PAD_FIRE), 0);
  EXPECT_EQ(pad(PAD_MENU), PAD_BTN_A);
  pad_set_bind(PAD_EXIT, 0);
  EXPECT_EQ(pad(PAD_EXIT), 0);
  EXPECT_EQ(pad(PAD_MENU), PAD_BTN_A);
  EXPECT_EQ(pad_action_of(PAD_BTN_A), PAD_MENU);
  EXPECT_EQ(pad_action_of(0), -1);
  EXPECT_EQ(pad_action_of(PAD_BTN_BACK), -1);
}

TEST_F(Bindings, JoystickBitsAndKeys) {
  struct row {
    int code, bit;
  } rows[] = {{38, JOY_UP}, {40, JOY_DOWN}, {37, JOY_LEFT}, {39, JOY_RIGHT}, {17, JOY_FIRE},
              {162, JOY_FIRE}, {90, JOY_FIRE}, {65, 0}, {0, 0}, {13, 0}};
  for (const row& r : rows) EXPECT_EQ(kbd_joy_bit(r.code), r.bit) << r.code;
  EXPECT_EQ(kbd_action(0), -1);

  int out[12];
  int n = kbd_joy_keys(out);
  EXPECT_EQ(std::vector<int>(out, out + n), (std::vector<int>{38, 40, 37, 39, 162, 163, 90}));
  kbd_set_bind(KEY_UP, 0);
  kbd_set_bind(KEY_FIRE2, 16);
  n = kbd_joy_keys(out);
  EXPECT_EQ(std::vector<int>(out, out + n), (std::vector<int>{40, 37, 39, 162, 163, 16}));
}

TEST_F(Bindings, StoreRoundTripAndLoadRules) {
  kbd_set_bind(KEY_ROCKET, 82);
  pad_set_bind(PAD_HOLD, PAD_BTN_Y);
  pad_set_bind(PAD_EXIT, 0);
  pad_dual_stick = 0;
  input_cfg_save();
  EXPECT_EQ(cfg_num("key_rocket", -1), 82);
  EXPECT_STREQ(cfg_str("pad_hold", ""), "Y");
  EXPECT_STREQ(cfg_str("pad_exit", ""), "none");
  EXPECT_EQ(cfg_bool("pad_dual_stick", 1), 0);

  std::vector<int> keys = all_keys(), pads = all_pads();
  input_defaults();
  pad_dual_stick = 1;
  input_cfg_load();
  EXPECT_EQ(all_keys(), keys);
  EXPECT_EQ(all_pads(), pads);
  EXPECT_EQ(pad_dual_stick.load(), 0);
  EXPECT_EQ(pad_aim_autofire.load(), 1);
}

TEST_F(Bindings, StoredKeyCodes) {
  struct row {
    const char* stored;  // JSON value of "key_up"
    int expected;
  } rows[] = {
      {"87", 87},       {"162", 17},      {"0", 0},          {"511", 511},
      {"512", 38},      {"-1", 38},       {"1e9", 38},       {"87.5", 38},
      {"\"W\"", 38},    {"null", 38},
  };
  for (const row& r : rows) {
    std::string text = std::string("{\"key_up\": ") + r.stored + "}";
    ASSERT_EQ(cfg_load_text(text.c_str()), 1) << text;
    input_cfg_load();
    EXPECT_EQ(key(KEY_UP), r.expected) << r.stored;
  }
}

TEST_F(Bindings, StoredPadNames) {
  struct row {
    const char* stored;
    int expected;
  } rows[] = {{"start", PAD_BTN_START}, {"START", PAD_BTN_START}, {"rt", PAD_BTN_RT},
              {"none", 0},              {"NONE", 0},              {"Select", PAD_BTN_START},
              {"", PAD_BTN_START},      {"7", PAD_BTN_START}};
  for (const row& r : rows) {
    std::string text = std::string("{\"pad_menu\": \"") + r.stored + "\"}";
    ASSERT_EQ(cfg_load_text(text.c_str()), 1) << text;
    input_cfg_load();
    EXPECT_EQ(pad(PAD_MENU), r.expected) << r.stored;
  }
}

TEST_F(Bindings, LoadingKeepsDuplicates) {
  ASSERT_EQ(cfg_load_text("{\"key_up\": 40, \"pad_fire\": \"B\"}"), 1);
  input_cfg_load();
  EXPECT_EQ(key(KEY_UP), 40);
  EXPECT_EQ(key(KEY_DOWN), 40);
  EXPECT_EQ(pad(PAD_FIRE), PAD_BTN_B);
  EXPECT_EQ(pad(PAD_ROCKET), PAD_BTN_B);
}

TEST(KeyScancodes, WholeTable) {
  std::vector<std::pair<int, int>> expected;
  for (int c = 49; c <= 57; c++) expected.push_back({c, c - 47});
  expected.push_back({48, 11});
  for (int c = 97; c <= 105; c++) expected.push_back({c, c - 95});
  expected.push_back({96, 11});
  const char* letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  const int letter_codes[26] = {30, 48, 46, 32, 18, 33, 34, 35, 23, 36, 37, 38, 50,
                                49, 24, 25, 16, 19, 31, 20, 22, 47, 17, 45, 21, 44};
  for (int i = 0; i < 26; i++) expected.push_back({letters[i], letter_codes[i]});
  for (int i = 0; i < 5; i++) expected.push_back({112 + i, 59 + i});
  std::pair<int, int> others[] = {{8, 14},   {13, 28},  {32, 57},  {46, 83},  {186, 39}, {187, 13},
                                  {188, 51}, {189, 12}, {190, 52}, {191, 53}, {192, 41}, {219, 26},
                                  {220, 43}, {221, 27}, {222, 40}, {269, 28}};
  for (auto p : others) expected.push_back(p);
  std::vector<int> mapped(KEY_CODE_LIMIT, 0);
  for (auto [code, scan] : expected) mapped[code] = scan;
  for (int code = -2; code < KEY_CODE_LIMIT; code++)
    EXPECT_EQ(kbd_scancode(code), code < 0 ? 0 : mapped[code]) << code;
}

class KeyNames : public ::testing::Test {
 protected:
  void SetUp() override {
    spit(dir_ / "en.xml",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<language name=\"English\" code=\"en\">\n"
         "  <string id=\"key.Up\">Arrow up</string>\n"
         "  <string id=\"key.(none)\">(unbound)</string>\n"
         "  <string id=\"ctl.pad.fire\">Fire</string>\n"
         "</language>\n");
    lang_init(dir_.path.c_str());
  }
  void TearDown() override { lang_init(empty_.path.c_str()); }
  temp_dir dir_, empty_;
};

TEST_F(KeyNames, NamesOfKeysAndButtons) {
  struct row {
    int code;
    const char* name;
  } rows[] = {{38, "Arrow up"}, {0, "(unbound)"}, {163, "key.Right Ctrl"}, {269, "key.Num Enter"},
              {112, "F1"},      {135, "F24"},     {136, "Key 136"},       {100, "Num 4"},
              {96, "Num 0"},    {186, "Key 186"}, {48, "0"},             {90, "Z"},
              {91, "key.Left Win"}, {300, "Key 300"}};
  char buf[64];
  for (const row& r : rows) EXPECT_STREQ(key_name(r.code, buf, sizeof buf), r.name) << r.code;
  EXPECT_STREQ(key_name(112, buf, 2), "F");  // cut to the buffer
  EXPECT_STREQ(key_name(95, buf, sizeof buf), "Key 95");
  EXPECT_STREQ(key_name(47, buf, sizeof buf), "Key 47");

  // Every named key goes through "key.<name>" (untranslated here).
  struct named {
    int code;
    const char* name;
  } named_keys[] = {
      {40, "Down"},        {37, "Left"},        {39, "Right"},      {17, "Ctrl"},
      {162, "Left Ctrl"},  {16, "Shift"},       {18, "Alt"},        {32, "Space"},
      {13, "Enter"},       {9, "Tab"},          {8, "Backspace"},   {45, "Insert"},
      {46, "Delete"},      {36, "Home"},        {35, "End"},        {33, "Page Up"},
      {34, "Page Down"},   {107, "Num +"},      {109, "Num -"},     {106, "Num *"},
      {111, "Num /"},      {110, "Num ."},      {20, "Caps Lock"},  {27, "Esc"},
      {19, "Pause"},       {145, "Scroll Lock"}, {144, "Num Lock"}, {44, "Print Screen"},
      {93, "Menu"},        {92, "Right Win"},   {160, "Left Shift"}, {161, "Right Shift"},
      {164, "Left Alt"},   {165, "Right Alt"},
  };
  for (const named& k : named_keys)
    EXPECT_EQ(std::string(key_name(k.code, buf, sizeof buf)), std::string("key.") + k.name) << k.code;

  struct pad_row {
    int mask;
    const char* name;
  } pads[] = {{0, "(unbound)"}, {PAD_BTN_LT, "LT"}, {PAD_BTN_START, "Start"},
              {PAD_BTN_R3, "R3"}, {0x400, "?"},    {PAD_BTN_A | PAD_BTN_B, "?"}};
  for (const pad_row& r : pads) EXPECT_STREQ(pad_button_name(r.mask, buf, sizeof buf), r.name) << r.mask;

  EXPECT_STREQ(pad_act_label(PAD_FIRE), "Fire");
  EXPECT_STREQ(pad_act_label_id(PAD_FIRE), "ctl.pad.fire");
  EXPECT_STREQ(pad_act_hint(PAD_EXIT), "ctl.pad.leave_the_mission.hint");
  EXPECT_STREQ(key_act_label(KEY_FIRE2), "ctl.key.fire_second_key");
  EXPECT_STREQ(key_act_hint(KEY_GRENADE), "ctl.key.quick_grenade.hint");
  EXPECT_STREQ(key_act_label_id(KEY_ACTION_COUNT), "");
}

}  // namespace
