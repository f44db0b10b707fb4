// The menu engine: navigation, the redraw key, and the drawn picture.
#include "host/window/menu.h"

#include "graphics/png_codec.h"
#include "host/language.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>
#include <cstring>
#include <string>
#include <utility>

namespace {

int flag_value = 0;
double slider_value = 0;
int choice_value = 0;
int empty_choice_value = 0;
int enabled_value = 1;
int actions_run = 0;

int get_flag() { return flag_value; }
void set_flag(int v) { flag_value = v; }
double get_slider() { return slider_value; }
void set_slider(double v) { slider_value = v; }
int three() { return 3; }
int none() { return 0; }
const char* choice_text(int i) {
  static const char* texts[] = {"alpha", "beta", "gamma"};
  return texts[i];
}
int get_choice() { return choice_value; }
void set_choice(int v) { choice_value = v; }
int get_empty() { return empty_choice_value; }
void set_empty(int v) { empty_choice_value = v; }
int is_enabled() { return enabled_value; }
void run_action() { ++actions_run; }

// Tab 0: heading, flag(1), slider(2), heading(3), empty choice(4), disabled slider(5)
// Tab 1: flag(7), choice(8), action(9)
// Tab 2: information line only
menu* tabbed() {
  menu* m = menu_new("menu.title");
  menu_add(m, mi_tab("tab.a", "hint.a"));                                               // 0
  menu_add(m, mi_bool("flag", nullptr, get_flag, set_flag));                             // 1
  menu_add(m, mi_slider("slider", nullptr, 0, 1, 0.1, nullptr, get_slider, set_slider)); // 2
  menu_add(m, mi_sep("heading"));                                                        // 3
  menu_add(m, mi_choice("empty", nullptr, none, choice_text, get_empty, set_empty));     // 4
  menu_add(m, mi_slider("grey", nullptr, 0, 1, 0.1, nullptr, get_slider, set_slider));   // 5
  menu_last_enabled(m, is_enabled);
  menu_add(m, mi_tab("tab.b", nullptr));                                                 // 6
  menu_add(m, mi_bool("flag2", nullptr, get_flag, set_flag));                            // 7
  menu_add(m, mi_choice("choice", nullptr, three, choice_text, get_choice, set_choice)); // 8
  menu_add(m, mi_action("action", nullptr, run_action));                                 // 9
  menu_add(m, mi_tab("tab.c", nullptr));                                                 // 10
  menu_add(m, mi_sep("info", 1));                                                        // 11
  return m;
}

struct nav_case {
  int tab, cursor, focus;
  double slider;
  int choice;
  const char* command;  // null: confirm
  int want_tab, want_cursor, want_focus;
  double want_slider;
  int want_choice;
};

TEST(menu, NavigationTable) {
  const nav_case cases[] = {
      // Sliders: clamped at the top, four-decimal steps.
      {0, 2, 0, 1.0, 0, "right", 0, 2, 0, 1.0, 0},
      {0, 2, 0, 0.2, 0, "right", 0, 2, 0, 0.3, 0},
      {0, 2, 0, 0.0, 0, "left", 0, 2, 0, 0.0, 0},
      {0, 2, 0, 0.05, 0, "tap", 0, 2, 0, 0.15, 0},  // unknown commands step up
      // A disabled item does not change.
      {0, 5, 0, 0.5, 0, "right", 0, 5, 0, 0.5, 0},
      {0, 5, 0, 0.5, 0, nullptr, 0, 5, 0, 0.5, 0},
      // Moving skips headings and wraps within the tab.
      {0, 2, 0, 0, 0, "down", 0, 4, 0, 0, 0},
      {0, 5, 0, 0, 0, "down", 0, 1, 0, 0, 0},
      {0, 4, 0, 0, 0, "up", 0, 2, 0, 0, 0},
      // Up from the first item reaches the tab bar; down and up leave it.
      {0, 1, 0, 0, 0, "up", 0, 1, 1, 0, 0},
      {1, 9, 1, 0, 0, "down", 1, 7, 0, 0, 0},
      {1, 7, 1, 0, 0, "up", 1, 9, 0, 0, 0},
      {1, 7, 1, 0, 0, "right", 2, 11, 1, 0, 0},
      {0, 1, 1, 0, 0, "left", 2, 11, 1, 0, 0},
      {1, 8, 1, 0, 1, "tap", 1, 8, 1, 0, 1},  // other commands do nothing on the bar
      {1, 8, 1, 0, 1, nullptr, 1, 7, 0, 0, 1},  // confirm on the bar
      // Tab stepping wraps both ways, whatever the focus.
      {2, 11, 0, 0, 0, "tabnext", 0, 1, 0, 0, 0},
      {0, 2, 0, 0, 0, "tabprev", 2, 11, 0, 0, 0},
      {1, 8, 1, 0, 0, "tabnext", 2, 11, 1, 0, 0},
      // Choices wrap both ways.
      {1, 8, 0, 0, 2, "right", 1, 8, 0, 0, 0},
      {1, 8, 0, 0, 0, "left", 1, 8, 0, 0, 2},
      {1, 8, 0, 0, 1, nullptr, 1, 8, 0, 0, 2},
      // A tab with nothing selectable: the cursor rests on its start.
      {2, 11, 0, 0, 0, "down", 2, 11, 0, 0, 0},
  };
  enabled_value = 0;
  for (const nav_case& c : cases) {
    menu* m = tabbed();
    m->tab = c.tab;
    m->cursor = c.cursor;
    m->tab_focus = c.focus;
    slider_value = c.slider;
    choice_value = c.choice;
    if (c.command) {
      menu_nav(m, c.command);
    } else {
      menu_activate(m);
    }
    std::string what = std::string(c.command ? c.command : "confirm") + " at " +
                       std::to_string(c.cursor);
    EXPECT_EQ(m->tab, c.want_tab) << what;
    EXPECT_EQ(m->cursor, c.want_cursor) << what;
    EXPECT_EQ(m->tab_focus, c.want_focus) << what;
    EXPECT_EQ(slider_value, c.want_slider) << what;
    EXPECT_EQ(choice_value, c.want_choice) << what;
  }
  enabled_value = 1;
}

TEST(menu, ValuesOfSwitchesChoicesAndActions) {
  menu* m = tabbed();
  m->tab = 1;
  m->cursor = 7;
  flag_value = 0;
  menu_nav(m, "left");
  EXPECT_EQ(flag_value, 1);
  menu_activate(m);
  EXPECT_EQ(flag_value, 0);
  m->cursor = 9;
  actions_run = 0;
  menu_activate(m);
  menu_nav(m, "right");  // an action has no value to step
  EXPECT_EQ(actions_run, 1);
  // A choice with no entries ignores changes and shows nothing.
  m->tab = 0;
  m->cursor = 4;
  empty_choice_value = 0;
  menu_nav(m, "left");
  menu_nav(m, "right");
  EXPECT_EQ(empty_choice_value, 0);
  char text[64];
  EXPECT_STREQ(menu_value_text(m->items[4], text, sizeof text), "");
  // A slider without a format shows its value in whole percent, rounded.
  for (auto [value, shown] : {std::pair{0.25, "25 %"}, {1.0, "100 %"}, {0.125, "13 %"}, {0.0, "0 %"}}) {
    slider_value = value;
    EXPECT_STREQ(menu_value_text(m->items[2], text, sizeof text), shown) << value;
  }
}

TEST(menu, ShowingKeepsOrResetsTheCursor) {
  menu* m = tabbed();
  m->tab = 5;
  m->cursor = 8;
  m->tab_focus = 1;
  menu_show(m);
  EXPECT_TRUE(menu_is_open(m));
  EXPECT_EQ(m->tab, 0);
  EXPECT_EQ(m->cursor, 1);
  EXPECT_EQ(m->tab_focus, 0);
  m->cursor = 5;
  menu_show(m);
  EXPECT_EQ(m->cursor, 5);
  menu_hide(m);
  EXPECT_FALSE(menu_is_open(m));

  menu* plain = menu_new("t");
  menu_add(plain, mi_sep("h"));
  menu_add(plain, mi_sep("h2"));
  menu_add(plain, mi_bool("b", nullptr, get_flag, set_flag));
  menu_show(plain);
  EXPECT_EQ(plain->cursor, 2);
  menu_nav(plain, "up");  // no tab bar to reach: wraps to itself
  EXPECT_EQ(plain->cursor, 2);
  EXPECT_EQ(plain->tab_focus, 0);
}

const char* a_hint(int) { return "valhint.x"; }

TEST(menu, PlainMenusWrapAndLastItemFunctionsAttach) {
  menu* m = menu_new("t");
  menu_add(m, mi_bool("a", nullptr, get_flag, set_flag));
  menu_add(m, mi_sep("h"));
  menu_add(m, mi_choice("c", nullptr, three, choice_text, get_choice, set_choice));
  menu_last_valhint(m, a_hint);
  menu_show(m);
  EXPECT_EQ(m->cursor, 0);
  menu_nav(m, "up");
  EXPECT_EQ(m->cursor, 2);
  menu_nav(m, "down");
  EXPECT_EQ(m->cursor, 0);
  EXPECT_EQ(m->items[2].valhint, &a_hint);
  EXPECT_EQ(m->items[0].valhint, nullptr);
  // A tab whose only selectable item is its first: up from the bar lands there.
  menu* t = menu_new("t");
  menu_add(t, mi_tab("x", nullptr));
  menu_add(t, mi_bool("a", nullptr, get_flag, set_flag));
  menu_add(t, mi_sep("h"));
  menu_show(t);
  t->tab_focus = 1;
  menu_nav(t, "up");
  EXPECT_EQ(t->cursor, 1);
  EXPECT_EQ(t->tab_focus, 0);
}

TEST(menu, SurplusItemsAreDropped) {
  menu* m = menu_new("t");
  for (int i = 0; i < menu_max_items + 5; ++i) menu_add(m, mi_tab("x", nullptr));
  EXPECT_EQ(m->count, menu_max_items);
  EXPECT_EQ(m->tab_count, menu_max_items);
  menu* empty = menu_new("t");
  menu_last_enabled(empty, is_enabled);  // nothing to attach to
  EXPECT_EQ(empty->count, 0);
}

// Long choice texts, in German, with a status: every item's change,
// the last one's included, must change the redraw key.
int long_values[20];
template <int N>
int get_long() {
  return long_values[N];
}
template <int N>
void set_long(int v) {
  long_values[N] = v;
}
const char* long_text(int i) {
  return i ? "Eine recht lange Beschreibung des zweiten Werts"
           : "Eine recht lange Beschreibung des ersten Werts";
}
int two() { return 2; }

template <int... N>
void add_long_items(menu* m, std::integer_sequence<int, N...>) {
  (menu_add(m, mi_choice("x", nullptr, two, long_text, get_long<N>, set_long<N>)), ...);
}

TEST(menu, SignatureSeesEveryValueChange) {
  lang_init(BKM_TEST_LANGUAGES);
  ASSERT_EQ(lang_set("de"), 1);
  menu* m = menu_new("t");
  add_long_items(m, std::make_integer_sequence<int, 20>());
  menu_add(m, mi_bool("last", nullptr, get_flag, set_flag));
  menu_show(m);
  menu_status(m, "Bitte eine neue Taste drücken, um die Aktion zu belegen");
  char before[menu_sig_size], after[menu_sig_size];
  for (int i = 0; i <= 20; ++i) {
    menu_signature(m, 960, 600, before, sizeof before);
    m->cursor = i;
    menu_signature(m, 960, 600, before, sizeof before);
    menu_nav(m, "right");
    int n = menu_signature(m, 960, 600, after, sizeof after);
    EXPECT_LT(n, menu_sig_size);
    EXPECT_STRNE(before, after) << "item " << i;
  }
  // The cursor, the size and the status are part of it too.
  menu_signature(m, 960, 600, before, sizeof before);
  menu_signature(m, 961, 600, after, sizeof after);
  EXPECT_STRNE(before, after);
  menu_status(m, "anders");
  menu_signature(m, 960, 600, after, sizeof after);
  EXPECT_STRNE(before, after);
  lang_set("en");
}

TEST(menu, LayoutSizes) {
  struct {
    int h, base, title, footer;
  } cases[] = {
      {200, 16, 21, 10}, {363, 16, 21, 10}, {364, 16, 21, 10},
      {520, 20, 28, 14}, {1080, 37, 50, 31},
  };
  for (auto c : cases) {
    menu_sizes s = menu_layout_sizes(c.h);
    EXPECT_EQ(s.base, c.base) << c.h;
    EXPECT_EQ(s.title, c.title) << c.h;
    EXPECT_EQ(s.footer, c.footer) << c.h;
  }
}

uint32_t rgb(const uint8_t* p) { return uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2]; }

TEST(menu, PanelAlphaAndTitle) {
  lang_init(BKM_TEST_LANGUAGES);
  menu* m = tabbed();
  menu_show(m);
  const int w = 640, h = 400;
  uint8_t* px = menu_draw(m, w, h);
  ASSERT_NE(px, nullptr);
  const int pw = int(w * 0.72), left = (w - pw) / 2;
  int panel = 0, gold = 0;
  for (int y = 0; y < h; ++y)
    for (int x = left; x < left + pw; ++x) {
      const uint8_t* p = &px[(size_t(y) * w + x) * 4];
      if (rgb(p) == 0x0A0C18) {
        EXPECT_EQ(p[3], 238) << x << "," << y;
        ++panel;
      }
      if (rgb(p) == 0xFFD75A && p[3] == 255) ++gold;
    }
  EXPECT_GT(panel, pw * h / 4);
  EXPECT_GT(gold, 0);
  // Outside the panel: black at alpha 120.
  EXPECT_EQ(rgb(&px[0]), 0u);
  EXPECT_EQ(px[3], 120);
  std::free(px);
}

TEST(menu, RowsTabsAndFocusTakeTheirColours) {
  lang_init(BKM_TEST_LANGUAGES);
  lang_set("en");
  menu* m = tabbed();
  menu_show(m);  // cursor on the flag; the slider's value is drawn as a plain row
  enabled_value = 1;
  auto colours = [&](int focus) {
    m->tab_focus = focus;
    const int w = 800, h = 600;
    uint8_t* px = menu_draw(m, w, h);
    std::vector<uint32_t> seen;
    for (int i = 0; px && i < w * h; ++i)
      if (px[i * 4 + 3] == 255) seen.push_back(rgb(&px[i * 4]));
    std::free(px);
    return seen;
  };
  auto has = [](const std::vector<uint32_t>& seen, uint32_t c) {
    return std::find(seen.begin(), seen.end(), c) != seen.end();
  };
  std::vector<uint32_t> rows = colours(0);
  for (uint32_t c : {0x3C4682u, 0xDCC878u, 0xFFE678u, 0x373E76u, 0xFFE178u, 0x969EBEu, 0x78BEFFu})
    EXPECT_TRUE(has(rows, c)) << std::hex << c;
  EXPECT_FALSE(has(rows, 0x5A69BEu));
  std::vector<uint32_t> bar = colours(1);
  EXPECT_TRUE(has(bar, 0x5A69BEu));
  EXPECT_FALSE(has(bar, 0x3C4682u));  // no cursor row while the bar has the focus
}

TEST(menu, PicturesAvoidThePanelColourAndFollowTheLanguage) {
  lang_init(BKM_TEST_LANGUAGES);
  temp_dir dir;
  const int n = 32;
  std::string plain = dir.path + "/pic.png", german = dir.path + "/pic_de.png";
  uint8_t pixels[n * n * 4];
  for (int i = 0; i < n * n; ++i) {
    // Black, the panel colour and transparent pixels in stripes.
    uint32_t c = (i % 3 == 0) ? 0 : (i % 3 == 1) ? 0x0A0C18 : 0xFFFFFF;
    pixels[i * 4] = uint8_t(c >> 16);
    pixels[i * 4 + 1] = uint8_t(c >> 8);
    pixels[i * 4 + 2] = uint8_t(c);
    pixels[i * 4 + 3] = (i % 3 == 2) ? 0 : 255;
  }
  ASSERT_EQ(png_write(plain.c_str(), pixels, n, n, 4), 1);
  for (int i = 0; i < n * n; ++i) {
    pixels[i * 4] = 0;
    pixels[i * 4 + 1] = 200;
    pixels[i * 4 + 2] = 0;
    pixels[i * 4 + 3] = 255;
  }
  ASSERT_EQ(png_write(german.c_str(), pixels, n, n, 4), 1);

  menu* m = menu_new("t");
  menu_add(m, mi_bool("b", nullptr, get_flag, set_flag));
  menu_add(m, mi_image("", plain.c_str()));
  menu_show(m);
  for (const char* code : {"en", "de"}) {
    ASSERT_EQ(lang_set(code), 1);
    const int w = 800, h = 600;
    uint8_t* px = menu_draw(m, w, h);
    ASSERT_NE(px, nullptr);
    int opaque_panel = 0, black = 0, green = 0;
    for (int i = 0; i < w * h; ++i) {
      const uint8_t* p = &px[i * 4];
      if (p[3] != 255) continue;
      if (rgb(p) == 0x0A0C18) ++opaque_panel;
      if (rgb(p) == 0) ++black;
      if (rgb(p) == 0x00C800) ++green;
    }
    EXPECT_EQ(opaque_panel, 0) << code;
    EXPECT_EQ(black, 0) << code;
    if (!std::strcmp(code, "de")) {
      EXPECT_GT(green, 100);
    } else {
      EXPECT_EQ(green, 0);
    }
    std::free(px);
  }
  lang_set("en");
}

}  // namespace
