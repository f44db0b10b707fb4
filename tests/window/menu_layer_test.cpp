// The menu layer: pausing the game around the menu, switching to the
// controls menu, and capturing new keys and pad buttons.
#include "host/window/menu_layer.h"

#include "host/emu_events.h"
#include "host/input_bindings.h"
#include "host/language.h"
#include "host/settings.h"
#include "host/window/input_frame.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

class menu_layer : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("BKM_TEST", "1", 1);  // closing the menu must not write options.json
    lang_init(BKM_TEST_LANGUAGES);
    lang_set("en");
    input_defaults();
    // Menus of their own: other tests build the full options menu.
    build_controls_menu();
    menu_options = menu_new("title.options");
    menu_add(menu_options, mi_action("menu.keys_and_gamepad_buttons", nullptr, open_controls));
    evq_open();
  }
  void TearDown() override {
    close_menu();
    evq_close();
  }
  std::vector<emu_event> drain() {
    std::vector<emu_event> out;
    emu_event e;
    while (ev_pop(&e)) out.push_back(e);
    return out;
  }
  // The controls menu's row of a key or pad action.
  int row_of(int kind, int action) {
    const char* id = kind == 1 ? key_act_label_id(action) : pad_act_label_id(action);
    for (int i = 0; i < menu_controls->count; ++i)
      if (menu_controls->items[i].kind == MI_ACTION && !std::strcmp(menu_controls->items[i].label, id))
        return i;
    return -1;
  }
};

constexpr int esc = 27, del = 46, f11 = 122, enter = 13;

TEST_F(menu_layer, OpeningPausesAndReleasesClosingResumes) {
  open_menu();
  EXPECT_TRUE(menu_open);
  EXPECT_EQ(menu_cur, menu_options);
  EXPECT_TRUE(menu_is_open(menu_options));
  EXPECT_EQ(menu_drawn_sig[0], 0);
  struct {
    int kind;
    double a, b;
  } want[] = {{EV_HOLD, 0, 0}, {EV_AIM, 0, 0}, {EV_HOLD, 1, 0}, {EV_AIM, 1, 0},
              {EV_JOY1, 0, 0}, {EV_JOY0, 0, 0}, {EV_PAUSE, 1, 0}};
  std::vector<emu_event> got = drain();
  ASSERT_EQ(got.size(), std::size(want));
  for (size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(got[i].kind, want[i].kind) << i;
    EXPECT_EQ(got[i].a, want[i].a) << i;
    EXPECT_EQ(got[i].b, want[i].b) << i;
  }
  resend_input = 0;
  menu_key(esc, 0, 0);
  EXPECT_FALSE(menu_open);
  EXPECT_FALSE(menu_is_open(menu_options));
  EXPECT_EQ(resend_input, 1);
  got = drain();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].kind, EV_PAUSE);
  EXPECT_EQ(got[0].a, 0);
}

TEST_F(menu_layer, BackFromTheControlsReturnsToTheOptions) {
  open_menu();
  menu_key(enter, 0, 0);  // the options menu's only row opens the controls
  EXPECT_EQ(menu_cur, menu_controls);
  EXPECT_TRUE(menu_is_open(menu_controls));
  std::strcpy(menu_drawn_sig, "x");
  menu_key(8, 0, 0);  // Backspace
  EXPECT_EQ(menu_cur, menu_options);
  EXPECT_TRUE(menu_open);
  EXPECT_FALSE(menu_is_open(menu_controls));
  EXPECT_EQ(menu_drawn_sig[0], 0);
  menu_back();
  EXPECT_FALSE(menu_open);
}

TEST_F(menu_layer, KeyCaptureShowsOnlyItsRowAndEndsByKeyEscOrDelete) {
  open_menu();
  open_controls();
  const int fire = key_bind[KEY_FIRE].load();
  const int up = key_bind[KEY_UP].load();
  ASSERT_NE(fire, 0);
  char text[200];
  start_rebind(1, KEY_FIRE);
  EXPECT_STREQ(menu_controls->status, tr("msg.press_new_key"));
  for (int a = 0; a < KEY_ACTION_COUNT; ++a) {
    const char* shown = menu_value_text(menu_controls->items[row_of(1, a)], text, sizeof text);
    if (a == KEY_FIRE) {
      EXPECT_STREQ(shown, tr("val.press_key"));
    } else {
      EXPECT_STRNE(shown, tr("val.press_key")) << a;
    }
  }
  menu_key(f11, 0, 0);    // not a key one can bind
  menu_key(65, 1, 0);     // repeats are ignored
  EXPECT_EQ(rebind_kind, 1);
  menu_key(esc, 0, 0);
  EXPECT_EQ(rebind_kind, 0);
  EXPECT_EQ(key_bind[KEY_FIRE].load(), fire);
  EXPECT_STREQ(menu_controls->status, tr("msg.cancelled"));
  EXPECT_EQ(menu_cur, menu_controls);  // Esc ended the capture, not the menu

  start_rebind(1, KEY_FIRE);
  menu_key(up, 0, 0);  // taken from the action that held it
  EXPECT_EQ(key_bind[KEY_FIRE].load(), up);
  EXPECT_EQ(key_bind[KEY_UP].load(), 0);
  char name[64], want[200];
  trf(want, sizeof want, "msg.assigned", tr(key_act_label_id(KEY_FIRE)), key_name(up, name, sizeof name));
  EXPECT_STREQ(menu_controls->status, want);

  start_rebind(1, KEY_FIRE);
  menu_key(del, 0, 0);
  EXPECT_EQ(key_bind[KEY_FIRE].load(), 0);
  EXPECT_STREQ(menu_controls->status, tr("msg.unassigned"));
}

TEST_F(menu_layer, EveryControlsRowBindsItsOwnAction) {
  open_menu();
  open_controls();
  for (int kind = 1; kind <= 2; ++kind) {
    const int count = kind == 1 ? KEY_ACTION_COUNT : PAD_ACTION_COUNT;
    for (int a = 0; a < count; ++a) {
      int row = row_of(kind, a);
      ASSERT_GE(row, 0);
      menu_controls->cursor = row;
      menu_activate(menu_controls);
      EXPECT_EQ(rebind_kind, kind) << a;
      EXPECT_EQ(rebind_action, a) << a;
      char text[200];
      EXPECT_STREQ(menu_value_text(menu_controls->items[row], text, sizeof text),
                   tr(kind == 1 ? "val.press_key" : "val.press_button"));
      menu_key(esc, 0, 0);
      // After the capture the row names the bound key or button again.
      char name[64];
      if (kind == 1)
        key_name(key_bind[a].load(), name, sizeof name);
      else
        pad_button_name(pad_bind[a].load(), name, sizeof name);
      EXPECT_STRNE(name, "") << kind << " " << a;
      EXPECT_STREQ(menu_value_text(menu_controls->items[row], text, sizeof text), name) << kind << " " << a;
    }
  }
}

TEST_F(menu_layer, PadCaptureFromTheSecondFrameThenWaitsForRelease) {
  open_menu();
  open_controls();
  pad_set_bind(PAD_FIRE2, 0);
  start_rebind(2, PAD_FIRE2);
  menu_key(65, 0, 0);  // a pad capture takes no other keys
  EXPECT_EQ(rebind_kind, 2);
  int held[2] = {PAD_BTN_A, 0};
  EXPECT_EQ(menu_pad_capture(held, 2), 1);  // the button that chose the row
  EXPECT_EQ(rebind_kind, 2);
  EXPECT_EQ(menu_pad_capture(held, 2), 1);  // still held: nothing new went down
  EXPECT_EQ(rebind_kind, 2);
  int pressed[2] = {PAD_BTN_A, PAD_BTN_RT | PAD_BTN_X};
  EXPECT_EQ(menu_pad_capture(pressed, 2), 1);
  EXPECT_EQ(rebind_kind, 0);
  EXPECT_EQ(pad_bind[PAD_FIRE2].load(), PAD_BTN_X);  // X comes before RT
  int some[2] = {0, PAD_BTN_RT};
  EXPECT_EQ(menu_pad_capture(some, 2), 1);
  int none[2] = {0, 0};
  EXPECT_EQ(menu_pad_capture(none, 2), 0);
}

// Options that cannot be written (a full disk, a read-only user folder)
// are shown the way a failed save of a slot is: in the status line, with
// the menu left open once so that the player sees it. Root writes into
// read-only folders, so the user folder here is a file.
TEST_F(menu_layer, AFailedOptionsSaveIsShownOnceUntilASaveSucceeds) {
  temp_dir dir;
  spit(dir / "user", "a file where the user folder should be");
  char saved_path[sizeof options_path];
  std::memcpy(saved_path, options_path, sizeof saved_path);
  const std::string unwritable = dir / "user/options.json", writable = dir / "options.json";
  unsetenv("BKM_TEST");
  struct step {
    const std::string* options;
    bool stays_open;  // after the first Esc
  } steps[] = {
      {&unwritable, true},   // told: the menu stays open
      {&unwritable, false},  // told already: Esc closes at once
      {&writable, false},    // saved
      {&unwritable, true},   // a new failure after a success is told again
  };
  for (const step& s : steps) {
    SCOPED_TRACE(*s.options + (s.stays_open ? " stays open" : " closes"));
    std::snprintf(options_path, sizeof options_path, "%s", s.options->c_str());
    open_menu();
    drain();
    menu_status(menu_options, "");
    menu_key(esc, 0, 0);
    EXPECT_EQ(menu_open, s.stays_open ? 1 : 0);
    EXPECT_EQ(menu_is_open(menu_options), s.stays_open ? 1 : 0);
    EXPECT_EQ(menu_open_flag.load(), s.stays_open ? 1 : 0) << "the input threads see the menu as it is";
    if (s.stays_open) {
      EXPECT_STREQ(menu_options->status, tr("msg.options_not_saved"));
      EXPECT_EQ(menu_drawn_sig[0], 0);
      EXPECT_TRUE(drain().empty()) << "the game stays paused";
      menu_key(esc, 0, 0);
      EXPECT_FALSE(menu_open) << "leaving again closes the menu";
      EXPECT_EQ(menu_open_flag.load(), 0);
    }
    std::vector<emu_event> got = drain();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].kind, EV_PAUSE);
    EXPECT_EQ(got[0].a, 0);
    if (s.options == &writable) {
      EXPECT_NE(slurp(writable).find("\"version\": 3"), std::string::npos);
    }
  }
  setenv("BKM_TEST", "1", 1);
  std::memcpy(options_path, saved_path, sizeof saved_path);
}

}  // namespace

namespace {

int nav_value = 0;
int nav_count() { return 5; }
const char* nav_text(int) { return "x"; }
int nav_get() { return nav_value; }
void nav_set(int v) { nav_value = v; }
void nav_nothing() {}

// Every navigation key through menu_key, on a menu of three tabs with the
// cursor on a choice in the middle one: each key gives its own command
// (repeats too), and other keys do nothing.
TEST_F(menu_layer, NavigationKeysGiveTheirCommands) {
  menu* m = menu_new("title.options");
  menu_add(m, mi_tab("tab.first", nullptr));
  menu_add(m, mi_action("row.first", nullptr, nav_nothing));  // 1
  menu_add(m, mi_tab("tab.middle", nullptr));
  menu_add(m, mi_action("row.above", nullptr, nav_nothing));  // 3
  menu_add(m, mi_choice("row.choice", nullptr, nav_count, nav_text, nav_get, nav_set));  // 4
  menu_add(m, mi_action("row.below", nullptr, nav_nothing));  // 5
  menu_add(m, mi_tab("tab.last", nullptr));
  menu_add(m, mi_action("row.last", nullptr, nav_nothing));  // 7
  struct {
    const char* what;
    int code, shift;
    int tab, cursor, value;
  } rows[] = {
      {"Up", 38, 0, 1, 3, 2},         {"Down", 40, 0, 1, 5, 2},       {"Left", 37, 0, 1, 4, 1},
      {"Right", 39, 0, 1, 4, 3},      {"Tab", 9, 0, 2, 7, 2},         {"Shift+Tab", 9, 1, 0, 1, 2},
      {"Page Up", 33, 0, 0, 1, 2},    {"Page Down", 34, 0, 2, 7, 2},  {"Enter", 13, 0, 1, 4, 3},
      {"Space", 32, 0, 1, 4, 3},      {"Z", 90, 0, 1, 4, 3},          {"Ctrl", 17, 0, 1, 4, 3},
      {"Left Ctrl", 162, 0, 1, 4, 3}, {"Right Ctrl", 163, 0, 1, 4, 3}, {"Num Enter", 269, 0, 1, 4, 3},
      {"Home", 36, 0, 1, 4, 2},       {"'A'", 65, 0, 1, 4, 2},        {"41", 41, 0, 1, 4, 2},
      {"Shift", 16, 1, 1, 4, 2},
  };
  for (const auto& r : rows)
    for (int repeat : {0, 1}) {
      SCOPED_TRACE(testing::Message() << r.what << (repeat ? " repeated" : ""));
      menu_cur = m;
      menu_show(m);
      m->tab = 1, m->cursor = 4, m->tab_focus = 0;
      nav_value = 2;
      menu_key(r.code, repeat, r.shift);
      EXPECT_EQ(menu_cur, m);
      EXPECT_EQ(m->tab, r.tab);
      EXPECT_EQ(m->cursor, r.cursor);
      EXPECT_EQ(m->tab_focus, 0);
      EXPECT_EQ(nav_value, r.value);
    }
}

}  // namespace

namespace {

// A key capture binds any key code from 1 to 255 but F11; other codes
// leave it waiting.
TEST_F(menu_layer, AKeyCaptureTakesCodesFrom1To255) {
  open_menu();
  open_controls();
  const struct {
    int code;
    bool bound;
  } rows[] = {{1, true}, {255, true}, {0, false}, {256, false}, {269, false}, {f11, false}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.code);
    kbd_set_bind(KEY_FIRE, 65);
    start_rebind(1, KEY_FIRE);
    menu_key(r.code, 0, 0);
    EXPECT_EQ(rebind_kind, r.bound ? 0 : 1);
    EXPECT_EQ(key_bind[KEY_FIRE].load(), r.bound ? r.code : 65);
    menu_key(esc, 0, 0);
  }
}

// A pad capture looks at the first two pads only.
TEST_F(menu_layer, APadCaptureLooksAtTheFirstTwoPadsOnly) {
  open_menu();
  open_controls();
  pad_set_bind(PAD_FIRE2, 0);
  start_rebind(2, PAD_FIRE2);
  int none[3] = {0, 0, 0};
  EXPECT_EQ(menu_pad_capture(none, 3), 1);  // the first frame of the capture
  int third[3] = {0, 0, PAD_BTN_A};
  EXPECT_EQ(menu_pad_capture(third, 3), 1);
  EXPECT_EQ(rebind_kind, 2);
  EXPECT_EQ(pad_bind[PAD_FIRE2].load(), 0);
  int second[3] = {0, PAD_BTN_B, PAD_BTN_A};
  EXPECT_EQ(menu_pad_capture(second, 3), 1);
  EXPECT_EQ(rebind_kind, 0);
  EXPECT_EQ(pad_bind[PAD_FIRE2].load(), PAD_BTN_B);
  EXPECT_EQ(menu_pad_capture(none, 3), 0);
}

}  // namespace
