// The weapon shop's screens: the shop slot with its turns (who shops, the
// announcement, the picture and the money shown, what it leaves), and the
// equipment screen (its lists, its fire press and release, the shop screen
// coming back). Tables are the synthetic front end's, the shop picture the
// one in the synthetic map data.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/graphics/contact_sheet.h"
#include "support/machine/effect_check.h"
#include "game/game_ram.h"
#include "game/map_ram.h"
#include "game/mission_ram.h"
#include "game_harness.h"
#include "support/machine/interrupt_check.h"
#include "support/machine/resume_check.h"
#include "support/synthetic/st_planes.h"
#include "support/synthetic/synthetic_disk.h"
#include "support/synthetic/synthetic_front_end.h"
#include "support/synthetic/synthetic_front_screens.h"
#include "support/synthetic/synthetic_map.h"
#include "support/synthetic/synthetic_sound.h"

namespace {

constexpr u32 colour14 = 0xFF825C;
constexpr u32 owned = 0x66, counts = 0x7A, money = 0x58;
constexpr u32 map_data = 0x05647E;

// The digits printer writes plane 0 only, over the picture's other planes:
// the text of a line from plane 0's bottom rows (the codes).
std::string plane0_text(u32 screen, u32 line, u32 column, u32 count) {
  std::string s;
  for (u32 c = column; c < column + count; ++c)
    s += static_cast<char>(rd8(screen + line + synth_font_code_row * 160 + (c / 2) * 8 + (c & 1)));
  return s;
}

// The colour of pixel (x, y) of a screen.
u32 pixel(u32 screen, u32 x, u32 y) {
  const u32 group = screen + y * 160 + (x / 16) * 8;
  u32 c = 0;
  for (u32 p = 0; p < 4; ++p) c |= ((rd16(group + 2 * p) >> (15 - x % 16)) & 1) << p;
  return c;
}

class ShopSlot : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    load_test_font();
    synth_sound_load();
    synth_front_screens_in_ram();
    const std::vector<u8>& m = synth_map_content().unpacked;
    std::copy(m.begin(), m.end(), ram + map_data);
    for (u32 i = 0; i < 16; ++i) wr16(0x008C24 + 2 * i, 0x0100 + i);
    wr32(draw_screen, screen_buffer_b);
    turns.clear();
  }

  // The player's hand: the pointer is put on the leave cell with fire held
  // as soon as the text box shows, and the turns are noted as they come.
  static inline std::vector<u32> turns;
  static void vbl_leaving() {
    simple_vbl();
    if (rd16(colour14) != 0x047) return;
    const u32 p = rd16(current_player);
    if (turns.empty() || turns.back() != p) turns.push_back(p);
    wr16(map_cursor_x, 312);
    wr16(map_cursor_y, 132);
    wr8((p == 0 ? player1 : player2) + player_record::fire, 0xFF);
  }
};

TEST_F(ShopSlot, WhoShops) {
  struct road {
    u16 lives1, lives2, two_players;
    std::vector<u32> turns;
  };
  const road roads[] = {
      {3, 3, 0x0000, {0}},     // one player: player 2's lives do not count
      {3, 3, 0xFFFF, {0, 1}},
      {0, 2, 0x0000, {1}},     // player 1 out: player 2 shops whatever the flag
      {3, 0, 0xFFFF, {0}},     // player 2 out
  };
  for (const road& r : roads) {
    SetUp();
    wr16(player1, r.lives1);
    wr16(player2, r.lives2);
    wr16(two_player_flag, r.two_players);
    wr16(current_player, 1); // what the last game left
    wr8(player1 + owned + 4, 0xFF);
    wr8(player2 + owned + 4, 0xFF);
    run_routine(0x0086BC, 2000, vbl_leaving);
    ASSERT_TRUE(driver_finished()) << r.lives1 << " " << r.lives2;
    EXPECT_EQ(turns, r.turns) << r.lives1 << " " << r.lives2 << " " << r.two_players;
    EXPECT_EQ(rd16(colour14), 0u) << "colour 14 black at the end";
  }
}

TEST_F(ShopSlot, ATurnAnnouncesThePlayerAndShowsTheShopAndTheMoney) {
  for (u32 player : {0u, 1u}) {
    SetUp();
    const u32 rec = player == 0 ? player1 : player2;
    wr16(player1, player == 0 ? 3 : 0);
    wr16(player2, 3);
    wr8(rec + owned + 4, 0xFF);
    wr32(rec + money, 1234567);
    wr16(map_cursor_x, 5);
    wr16(0x0001F2, 3);
    wr8(last_key, 0x39);
    // The text box shows the first time: the screen and the turn's state
    // then.
    static std::string money_shown;
    static u32 cursor_x, cursor_y, shown_from, last_key_then, colour4_pixel, box_pixel;
    struct watch {
      static void vbl() {
        if (rd16(colour14) == 0x047 && money_shown.empty()) {
          money_shown = plane0_text(screen_buffer_b, 29920, 28, 7);
          cursor_x = rd16(map_cursor_x);
          cursor_y = rd16(map_cursor_y);
          shown_from = rd16(0x0001F0);
          last_key_then = rd8(last_key);
          colour4_pixel = pixel(screen_buffer_b, 1, 100);
          box_pixel = pixel(screen_buffer_a, 5, 150);
          // For the eye: the shop with its pointer and text box.
          EXPECT_TRUE(write_contact_sheet("shop", ram + screen_buffer_b,
                                          palette_bytes(synth_disk_content().startup_palette).data()));
        }
        vbl_leaving();
      }
    };
    money_shown.clear();
    run_routine(0x0086BC, 2000, watch::vbl);
    ASSERT_TRUE(driver_finished());
    EXPECT_EQ(money_shown, "1234567") << "seven digits";
    EXPECT_EQ(cursor_x, 100u);
    EXPECT_EQ(cursor_y, 100u);
    EXPECT_EQ(shown_from, 21u) << "the box drawn for the cell under the start position";
    EXPECT_EQ(last_key_then, 0u);
    // The synthetic shop picture: a cell's inside and the text box's label.
    const u8* shop = synth_map_content().shop_picture.data();
    ASSERT_NE(st_get_pixel(shop, 1, 100), st_get_pixel(shop, 5, 150));
    EXPECT_EQ(colour4_pixel, static_cast<u32>(st_get_pixel(shop, 1, 100))) << "the shop picture shown";
    EXPECT_EQ(box_pixel, static_cast<u32>(st_get_pixel(shop, 5, 150))) << "and kept clean in $18000";
    EXPECT_EQ(rd16(current_player), player);
  }
}

TEST_F(ShopSlot, TheAnnouncementIsTypedInColour8AtLine96) {
  for (u32 player : {0u, 1u}) {
    SetUp();
    wr16(player1, player == 0 ? 3 : 0);
    wr16(player2, 3);
    wr8(player1 + owned, 0xFF);
    wr8(player2 + owned, 0xFF);
    static std::string typed, second_line;
    static u32 colour;
    typed.clear();
    struct watch {
      static void vbl() {
        // The delay after the announcement: the picture is not there yet.
        const std::string line = screen_text(screen_buffer_b, 15360, 6, 8);
        if (typed.empty() && line.substr(0, 7) == "PLAYER " && line[7] != '.' &&
            screen_text(screen_buffer_b, 15360 + 1440, 6, 4) == "SHOP") {
          typed = line;
          second_line = screen_text(screen_buffer_b, 15360 + 1440, 6, 4);
          colour = screen_cell_colour(screen_buffer_b, 15360, 6);
        }
        vbl_leaving();
      }
    };
    run_routine(0x0086BC, 2000, watch::vbl);
    ASSERT_TRUE(driver_finished());
    EXPECT_EQ(typed, player == 0 ? "PLAYER 1" : "PLAYER 2");
    EXPECT_EQ(second_line, "SHOP") << "the return goes back to column 6";
    EXPECT_EQ(colour, 8u);
  }
}

TEST_F(ShopSlot, ResumesAlike) {
  wr16(player1, 3);
  wr16(player2, 3);
  wr16(two_player_flag, 0xFFFF);
  wr8(player1 + owned + 1, 0xFF);
  wr8(player2 + owned + 2, 0xFF);
  EXPECT_TRUE(resumes_alike({.entry = 0x0086BC, .between = vbl_leaving, .load_every = 64}));
}

// --- the equipment screen ---------------------------------------------------------

class Equipment : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    load_test_font();
    synth_front_screens_in_ram();
    wr32(draw_screen, screen_buffer_b);
    for (u32 i = 0; i < 32768; i += 4) {
      wr32(screen_buffer_b + i, 0x11223344 + i);
      wr32(screen_buffer_a + i, 0xCAFEF00D);
    }
    for (u32 i = 0; i < 16; ++i) {
      wr16(0x008C24 + 2 * i, 0x0200 + i);
      wr16(0x008C44 + 2 * i, 0x0300 + i);
    }
    fill_register_patterns();
    wr16(0x00027C, 0x1234); // the word after current_player
    g_cpu.a[4] = player1;
    shown.clear();
    script = {};
    palette_first = 0;
  }

  // What the screen shows at its first poll, and the fire bytes VBL by VBL
  // from then on.
  struct hand {
    int vbl;
    u8 fire1, fire2;
  };
  static inline std::vector<hand> script;
  static inline std::vector<std::string> shown;
  static inline int polls;
  static inline u32 palette_then, palette_first;
  static inline std::vector<u32> colours;
  static void vbl() {
    simple_vbl();
    const slice_end last = driver_slice_ends().back();
    if (palette_first == 0 && last == waited(0x79E2)) palette_first = rd16(0xFF8240 + 2);
    if (last != waited(0xD0FE) && last != waited(0xD110)) return;
    if (shown.empty()) {
      polls = 0;
      palette_then = rd16(0xFF8240 + 2);
      shown.push_back(screen_text(screen_buffer_b, 0, 0, 9));
      for (u32 l = 0; l < 18; ++l) shown.push_back(screen_text(screen_buffer_b, 2400 + 1440 * l, 0, 3));
      for (u32 l = 0; l < 11; ++l) shown.push_back(screen_text(screen_buffer_b, 2400 + 1440 * l, 15, 8));
      colours = {screen_cell_colour(screen_buffer_b, 0, 0), screen_cell_colour(screen_buffer_b, 2400, 0),
                 screen_cell_colour(screen_buffer_b, 2400, 15), screen_cell_colour(screen_buffer_b, 2400, 18)};
    }
    ++polls;
    for (const hand& h : script)
      if (h.vbl == polls) {
        wr8(player1 + player_record::fire, h.fire1);
        wr8(player2 + player_record::fire, h.fire2);
      }
  }
};

TEST_F(Equipment, ListsTheWeaponsOwnedAndTheSupplyCountsWhole) {
  for (u32 s = 0; s < 18; ++s) wr8(player1 + owned + s, s == 3 ? 0 : 0xFF);
  const u16 count[11] = {10049, 1, 65535, 0, 4, 5, 6, 777, 8, 9, 10};
  for (u32 i = 0; i < 11; ++i) wr16(player1 + counts + 2 * i, count[i]);
  script = {{1, 0xFF, 0}, {2, 0, 0}};
  run_routine(0x00D078, 200, vbl);
  ASSERT_TRUE(driver_finished());
  ASSERT_EQ(shown.size(), 30u);
  EXPECT_EQ(shown[0], "EQUIPMENT");
  // Seventeen weapons, slot 3 left out, one a row; the row after stays empty.
  for (u32 l = 0; l < 17; ++l) EXPECT_EQ(shown[1 + l], synth_weapon_name(l < 3 ? l : l + 1)) << l;
  EXPECT_EQ(shown[18], "...");
  const std::vector<std::string> lines(shown.begin() + 19, shown.end());
  EXPECT_EQ(lines, (std::vector<std::string>{"S0010049", "S0100001", "S0265535", "S0300000", "S0400004",
                                             "S0500005", "S0600006", "S0800008", "S0900009", "S1000010",
                                             "........"}))
      << "item 7 is not listed; counts in five digits";
  EXPECT_EQ(colours, (std::vector<u32>{15, 6, 10, 13})) << "heading, weapon, supply name, count";
}

TEST_F(Equipment, EighteenNamesWhenAllAreOwned) {
  for (u32 s = 0; s < 18; ++s) wr8(player1 + owned + s, 0xFF);
  script = {{1, 0xFF, 0}, {2, 0, 0}};
  run_routine(0x00D078, 200, vbl);
  ASSERT_EQ(shown.size(), 30u);
  for (u32 l = 0; l < 18; ++l) EXPECT_EQ(shown[1 + l], synth_weapon_name(l)) << l;
}

TEST_F(Equipment, OnlyANewPressAndReleaseOfTheShoppingPlayersFireEndIt) {
  struct road {
    u16 player;
    std::vector<hand> script;
    int polls; // when it ends
  };
  const road roads[] = {
      // Held at entry: cleared, so a press is still needed.
      {0, {{2, 0, 0}, {3, 0xFF, 0}, {5, 0, 0}}, 5},
      {1, {{2, 0, 0}, {4, 0, 0xFF}, {6, 0, 0}}, 6},
      // The other player's fire does nothing.
      {0, {{1, 0, 0xFF}, {2, 0, 0}, {4, 0xFF, 0xFF}, {6, 0, 0xFF}}, 6},
      {1, {{1, 0xFF, 0}, {2, 0, 0}, {4, 0, 0xFF}, {9, 0, 0}}, 9},
      // Held on: no end until the release.
      {0, {{2, 0xFF, 0}, {12, 0, 0}}, 12},
  };
  for (const road& r : roads) {
    SetUp();
    wr8(player1 + owned, 0xFF);
    wr8(player2 + owned, 0xFF);
    wr16(current_player, r.player);
    g_cpu.a[4] = r.player == 0 ? player1 : player2;
    wr8(player1 + player_record::fire, 0xFF);
    wr8(player2 + player_record::fire, 0xFF);
    script = r.script;
    run_routine(0x00D078, 200, vbl);
    ASSERT_TRUE(driver_finished()) << r.player;
    EXPECT_EQ(polls, r.polls) << r.player;
    // Each poll waits for its VBL: no slice spends its budget.
    for (const slice_end& e : driver_slice_ends()) EXPECT_NE(e.reason, static_cast<u32>(YIELD_BUDGET));
  }
}

TEST_F(Equipment, TheShopScreenAndItsPaletteComeBack) {
  wr8(player1 + owned, 0xFF);
  script = {{1, 0xFF, 0}, {2, 0, 0}};
  run_routine(0x00D078, 200, vbl);
  ASSERT_TRUE(driver_finished());
  EXPECT_EQ(palette_then, 0x0401u) << "the equipment palette while shown";
  EXPECT_EQ(palette_first, 0x0301u) << "the dimmed shop palette while it is drawn";
  for (u32 i = 0; i < 32768; i += 4) {
    ASSERT_EQ(rd32(screen_buffer_b + i), 0x11223344 + i) << i;
    ASSERT_EQ(rd32(screen_buffer_a + i), 0x11223344 + i) << "the saved copy " << i;
  }
  for (u32 i = 0; i < 16; ++i)
    EXPECT_EQ(rd16(0xFF8240 + 2 * i), i == 14 ? 0x047u : 0x0200u + i) << "colour " << i;
}

// Fire pressed at the fifth VBL and released at the eighth, by the VBL
// counter (a loaded machine state carries it).
void vbl_press_and_release() {
  simple_vbl();
  const u32 v = rd16(vbl_counter);
  wr8(player1 + player_record::fire, v >= 5 && v < 8 ? 0xFF : 0);
}

TEST_F(Equipment, ResumesAlike) {
  wr8(player1 + owned + 7, 0xFF);
  EXPECT_TRUE(resumes_alike({.entry = 0x00D078, .between = vbl_press_and_release, .load_every = 1}));
}

} // namespace
