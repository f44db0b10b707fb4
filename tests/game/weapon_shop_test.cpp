// The weapon shop's purchase, pointer and cell: money, owned weapons and
// supply counts in the player_record, the sounds of a purchase and of each
// refusal, and the money reprinted.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "game/game_ram.h"
#include "game/map_ram.h"
#include "game/mission_ram.h"
#include "game/ym_driver.h"
#include "game_harness.h"
#include "support/machine/resume_check.h"
#include "support/synthetic/synthetic_sound.h"

namespace {

constexpr u32 prices = 0x00CFF8;
constexpr u32 amounts = 0x00D22A;
constexpr u32 money = player1 + 0x58;
constexpr u32 owned = player1 + 0x66;
constexpr u32 supplies = player1 + 0x7A;

class Purchase : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    load_test_font();
    synth_sound_load();
    for (u32 c = 0; c < 30; ++c) wr32(prices + 4 * c, 100 * c + 50);
    for (u32 i = 0; i < 11; ++i) wr16(amounts + 2 * i, 10 + i);
    wr32(money, 1000);
    wr32(draw_screen, 0x020000);
  }
  // The sound the purchase started on channel 0 (0 for none): the effect
  // whose descriptor the channel's record holds.
  static int sound() {
    if (rd8(ym_driver_vars + ym_var::effect_on) == 0) return 0;
    const u32 record = ym_driver_vars + ym_var::effect_records;
    for (int n : {9, 13, 25}) {
      const u32 d = ym_driver_vars + sext16(rd16(ym_effect_table + 2 * n));
      if (rd16(d + ym_effect::period) == rd16(record + ym_effect::period) &&
          rd16(d) == rd16(record))
        return n;
    }
    return -1;
  }
  int buy(u32 cell) {
    wr8(ym_driver_vars + ym_var::effect_on, 0);
    g_cpu.d[1] = 0xABCD0000 | cell;
    g_cpu.a[4] = player1;
    EXPECT_EQ(run_routine(0x00CEE4), 1);
    EXPECT_EQ(g_cpu.d[1], 0xABCD0000 | cell) << "d1 kept";
    return sound();
  }
};

TEST_F(Purchase, TheSoundsAreTellable) {
  std::vector<u32> seen;
  for (int n : {9, 13, 25}) {
    const u32 d = ym_driver_vars + sext16(rd16(ym_effect_table + 2 * n));
    seen.push_back(rd16(d) << 16 | rd16(d + ym_effect::period));
  }
  ASSERT_NE(seen[0], seen[1]);
  ASSERT_NE(seen[0], seen[2]);
  ASSERT_NE(seen[1], seen[2]);
}

TEST_F(Purchase, Weapons) {
  struct road {
    const char* what;
    u32 cell, money, price;
    u8 owned_before;
    int sound;
    u32 money_after;
    u8 owned_after;
  };
  const std::vector<road> roads = {
      {"bought", 3, 1000, 350, 0, 9, 650, 0xFF},
      {"money equal to the price", 17, 350, 350, 0, 9, 0, 0xFF},
      {"nothing for nothing", 0, 0, 0, 0, 9, 0, 0xFF},
      {"money short", 5, 349, 350, 0, 25, 349, 0},
      {"money above 2^31 compares unsigned", 5, 0xFFFFFFF0, 0x7FFFFFFF, 0, 9, 0x80000000u - 0x10 + 1, 0xFF},
      {"already owned: no sound", 4, 1000, 10, 0x01, 0, 1000, 0x01},
      {"not for sale", 6, 1000, 0xFFFFFFFF, 0, 0, 1000, 0},
  };
  for (const road& r : roads) {
    SetUp();
    wr32(money, r.money);
    wr32(prices + 4 * r.cell, r.price);
    wr8(owned + r.cell, r.owned_before);
    EXPECT_EQ(buy(r.cell), r.sound) << r.what;
    EXPECT_EQ(rd32(money), r.money_after) << r.what;
    EXPECT_EQ(rd8(owned + r.cell), r.owned_after) << r.what;
    for (u32 s = 0; s < 18; ++s) {
      if (s == r.cell) continue;
      EXPECT_EQ(rd8(owned + s), 0u) << r.what;
    }
  }
}

TEST_F(Purchase, Supplies) {
  struct road {
    const char* what;
    u32 cell;
    u32 money, price;
    u16 amount, count;
    int sound;
    u32 money_after;
    u16 count_after;
  };
  const std::vector<road> roads = {
      {"grenades", 18, 1000, 300, 5, 7, 9, 700, 12},
      {"the second item", 19, 1000, 300, 5, 7, 9, 700, 12},
      {"a count of 9,899 takes one more", 28, 1000, 300, 150, 9899, 9, 700, 10049},
      {"9,900 refuses", 28, 1000, 300, 150, 9900, 13, 1000, 9900},
      {"money short before the limit", 28, 100, 300, 150, 9900, 25, 100, 9900},
      {"no amount", 20, 1000, 300, 0xFFFF, 7, 0, 1000, 7},
      {"not for sale", 21, 1000, 0x80000000, 3, 7, 0, 1000, 7},
      {"the largest amount", 24, 1000, 1, 0x7FFF, 9899, 9, 999, 9899 + 0x7FFF},
      {"a negative amount", 24, 1000, 1, 0x8000, 9, 0, 1000, 9},
  };
  for (const road& r : roads) {
    SetUp();
    wr32(money, r.money);
    wr32(prices + 4 * r.cell, r.price);
    wr16(amounts + 2 * (r.cell - 18), r.amount);
    wr16(supplies + 2 * (r.cell - 18), r.count);
    EXPECT_EQ(buy(r.cell), r.sound) << r.what;
    EXPECT_EQ(rd32(money), r.money_after) << r.what;
    EXPECT_EQ(rd16(supplies + 2 * (r.cell - 18)), r.count_after) << r.what;
  }
}

TEST_F(Purchase, TheLeaveCellAndTheEquipmentCellBuyNothing) {
  wr32(prices + 4 * 29, 1);
  EXPECT_EQ(buy(29), 0);
  EXPECT_EQ(rd32(money), 1000u);
  wr32(prices + 4 * 25, 1);
  wr16(amounts + 2 * 7, 0xFFFF);
  EXPECT_EQ(buy(25), 0);
  EXPECT_EQ(rd32(money), 1000u);
}

TEST_F(Purchase, TheMoneyIsReprintedAfterAPurchaseOnly) {
  wr32(money, 1234567);
  wr32(prices + 4 * 2, 1000);
  buy(2);
  EXPECT_EQ(screen_text(rd32(draw_screen), 29920, 28, 8), "1233567.");
  EXPECT_EQ(rd16(text_line), 29920u);
  wr32(prices + 4 * 3, 99999999); // refused: no reprint
  for (u32 i = 0; i < 8 * 160; i += 4) wr32(rd32(draw_screen) + 29920 + i, 0);
  buy(3);
  EXPECT_EQ(screen_text(rd32(draw_screen), 29920, 28, 8), "........");
}

// --- the pointer and its cell -------------------------------------------------------

class ShopPointer : public GameTest {};

TEST_F(ShopPointer, TheCellUnderThePointer) {
  struct road {
    u16 x, y, cell;
  };
  for (road r : {road{7, 8, 0}, road{312, 132, 29}, road{63, 23, 0}, road{64, 24, 6}, road{128, 100, 22},
                 road{255, 47, 8}}) {
    wr16(map_cursor_x, r.x);
    wr16(map_cursor_y, r.y);
    ASSERT_EQ(run_routine(0x00CC54), 1);
    EXPECT_EQ(g_cpu.d[0] & 0xFFFF, r.cell) << r.x << "," << r.y;
  }
}

TEST_F(ShopPointer, TheShoppingPlayersJoystickMovesItWithinItsBounds) {
  struct road {
    u16 player;
    u16 x, y;
    u32 keys; // right, left, up, down of the player whose turn it is
    u16 x_after, y_after;
  };
  const std::vector<road> roads = {
      {0, 100, 100, 0x01000000, 104, 100}, {0, 100, 100, 0x00010000, 96, 100},
      {0, 100, 100, 0x00000100, 100, 96},  {0, 100, 100, 0x00000001, 100, 104},
      {1, 100, 100, 0x01000001, 104, 104}, {0, 10, 10, 0x00010100, 7, 8},
      {0, 310, 130, 0x01000001, 312, 132}, {0, 4, 100, 0x01000000, 8, 100},
      {0, 100, 12, 0x00000100, 100, 8},    {0, 309, 129, 0x01000001, 312, 132},
      {0, 100, 12, 0x00000100, 100, 8},    {0, 100, 16, 0x00000100, 100, 12},
  };
  for (const road& r : roads) {
    machine_clear();
    wr16(current_player, r.player);
    wr16(map_cursor_x, r.x);
    wr16(map_cursor_y, r.y);
    const u32 mine = r.player == 0 ? player1 : player2;
    const u32 other = r.player == 0 ? player2 : player1;
    wr32(mine + player_record::right, r.keys);
    wr32(other + player_record::right, 0x01010101); // the other stick counts for nothing
    ASSERT_EQ(run_routine(0x00CC6A), 1);
    EXPECT_EQ(rd16(map_cursor_x), r.x_after) << r.player << " " << std::hex << r.keys;
    EXPECT_EQ(rd16(map_cursor_y), r.y_after) << r.player << " " << std::hex << r.keys;
  }
}

// --- the text box and the input pass ----------------------------------------------

constexpr u32 shown_cell = 0x0001F0;
constexpr u32 cell_word = 0x0001F2;
constexpr u32 fire_held = 0x000140;
constexpr u32 colour14 = 0xFF825C;

void put_text(u32 at, const std::string& text) {
  for (char c : text) wr8(at++, static_cast<u8>(c));
  wr8(at, 0);
}

class ShopScreen : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    load_test_font();
    wr32(draw_screen, 0x020000);
    // Cell c's text is "Cc" where c is a letter; prices as in the purchase.
    for (u32 c = 0; c < 30; ++c) {
      wr16(0x00CEA8 + 2 * c, 4 * c);
      put_text(0x00D3AC + 4 * c, std::string("C") + static_cast<char>('A' + c));
      wr32(prices + 4 * c, 1000 * c + 7);
    }
    put_text(0x00D070, "SOLD");
    wr16(map_cursor_x, 100);
    wr16(map_cursor_y, 100); // cell 21
  }
};

TEST_F(ShopScreen, TheTextBoxShowsTheCellsTextAndItsPriceInSevenDigits) {
  struct road {
    u32 cell, price;
    std::string shown;
  };
  for (const road& r : {road{3, 1234, "0001234"}, road{29, 9999999, "9999999"}, road{7, 0x80000000, "SOLD..."},
                        road{12, 0, "0000000"}}) {
    SetUp();
    wr32(prices + 4 * r.cell, r.price);
    // Something on the box's lines of the shown screen, a clean copy behind.
    for (u32 i = 0; i < 38 * 160; i += 4) wr32(0x025A00 + i, 0xFFFFFFFF);
    wr32(0x01DA00 + 8 * 160 + 100, 0x12345678);
    g_cpu.d[0] = r.cell;
    wr16(colour14, 0x777);
    ASSERT_EQ(run_routine(0x00CDE0), 1);
    EXPECT_EQ(rd16(colour14), 0x047u);
    EXPECT_EQ(screen_text(0x020000, 23040, 1, 3), std::string("C") + static_cast<char>('A' + r.cell) + ".");
    EXPECT_EQ(screen_cell_colour(0x020000, 23040, 1), 14u);
    EXPECT_EQ(screen_text(0x020000, 29920, 11, 7), r.shown) << r.cell;
    EXPECT_EQ(rd32(0x025A00 + 8 * 160 + 100), 0x12345678u) << "restored from the clean copy";
    EXPECT_EQ(rd32(0x025A00 + 20 * 160 + 100), 0u);
  }
}

// The fire bytes as the keyboard interrupt sets them, VBL by VBL.
int pass_vbls, release_at;
u32 fire_at;
void vbl_releasing_fire() {
  if (++pass_vbls == release_at) wr8(fire_at, 0);
  simple_vbl();
}

TEST_F(ShopScreen, TheInputPass) {
  struct road {
    const char* what;
    u16 player;
    bool held_before;
    bool fire;
    int release_at; // VBL of the release, 0 for never
    u16 d1;
    u16 held_after;
    int waits;
  };
  const std::vector<road> roads = {
      {"a press gives the cell at once", 0, false, true, 0, 21, 0xFF00, 0},
      {"no press", 0, false, false, 0, 0xFF00, 0, 0},
      {"player 2's fire", 1, false, true, 0, 21, 0xFF00, 0},
      {"a held fire released at the third VBL", 0, true, true, 3, 0xFF00, 0, 3},
      {"a fire held throughout repeats after ten VBLs", 1, true, true, 0, 21, 0xFF00, 10},
  };
  for (const road& r : roads) {
    SetUp();
    wr16(current_player, r.player);
    wr16(fire_held, r.held_before ? 0xFF00 : 0);
    fire_at = (r.player == 0 ? player1 : player2) + 0x12;
    wr8(fire_at, r.fire ? 0xFF : 0);
    wr8((r.player == 0 ? player2 : player1) + 0x12, r.fire ? 0 : 0xFF); // the other player's counts for nothing
    pass_vbls = 0;
    release_at = r.release_at;
    run_routine(0x00CBD8, 40, vbl_releasing_fire);
    EXPECT_EQ(driver_slice_ends(), waits_then_return(0x0079E2, r.waits)) << r.what;
    EXPECT_EQ(g_cpu.d[1] & 0xFFFF, r.d1) << r.what;
    EXPECT_EQ(rd16(fire_held), r.held_after) << r.what;
    EXPECT_EQ(rd16(cell_word), 21u) << r.what;
  }
}

// The release by the VBL counter, so that it acts on the machine alone.
void vbl_release_at_three() {
  simple_vbl();
  if (rd16(0x1DC6) == 3) wr8(player1 + 0x12, 0);
}

TEST_F(ShopScreen, TheInputPassResumesAlike) {
  for (bool released : {true, false}) {
    SetUp();
    wr16(fire_held, 0xFF00);
    wr8(player1 + 0x12, 0xFF);
    EXPECT_TRUE(resumes_alike({.entry = 0x00CBD8, .between = released ? vbl_release_at_three : simple_vbl}));
  }
}

TEST_F(ShopScreen, TheTextBoxFollowsTheCellOnlyWhenItChanges) {
  wr16(shown_cell, 21);
  wr16(colour14, 0x123);
  ASSERT_EQ(run_routine(0x00CBD8), 1);
  EXPECT_EQ(rd16(colour14), 0x123u) << "no box drawn";
  wr16(map_cursor_x, 300); // cell 24
  ASSERT_EQ(run_routine(0x00CBD8), 1);
  EXPECT_EQ(rd16(colour14), 0x047u);
  EXPECT_EQ(rd16(shown_cell), 24u);
  EXPECT_EQ(screen_text(0x020000, 23040, 1, 2), "CY");
}

TEST_F(ShopScreen, ThePointerIsDrawnAndErasedFromTheCleanCopy) {
  for (u32 i = 0; i < 9; ++i) wr16(0x00CDBC + 2 * i, 0xC000);
  wr16(map_cursor_x, 20);
  wr16(map_cursor_y, 30);
  for (u32 i = 0; i < 32000; i += 4) wr32(0x018000 + i, 0x00000000);
  ASSERT_EQ(run_routine(0x00CD3C), 1);
  // Pixel (16, 26), the shape's left column, in colour 1.
  const u32 at = 0x020000 + 26 * 160 + 8;
  EXPECT_EQ(rd16(at) & 0xC000, 0xC000u);
  EXPECT_EQ(rd32(0x0001F6) & ~1u, at);
  ASSERT_EQ(run_routine(0x00CD0C), 1);
  EXPECT_EQ(rd16(at), 0u);
}

// --- a turn -------------------------------------------------------------------------

// The equipment screen's polls for the fire press, one per VBL.
int equipment_polls() {
  int n = 0;
  for (const slice_end& e : driver_slice_ends()) n += e == waited(0xD0FE);
  return n;
}

// The player's hand, by the VBL counter: where the pointer is put and the
// fire byte, from the VBL given on.
struct hand {
  u16 vbl;
  u16 x, y;
  u8 fire;
};
std::vector<hand> script;
void vbl_scripted() {
  simple_vbl();
  for (const hand& h : script) {
    if (rd16(0x1DC6) != h.vbl) continue;
    wr16(map_cursor_x, h.x);
    wr16(map_cursor_y, h.y);
    wr8(player1 + 0x12, h.fire);
  }
}

class ShopTurn : public ShopScreen {
 protected:
  void SetUp() override {
    ShopScreen::SetUp();
    synth_sound_load();
    for (u32 i = 0; i < 11; ++i) wr16(amounts + 2 * i, 10 + i);
    wr32(money, 100000);
    wr32(0x0001F6, 0x020000);
    wr16(shown_cell, 0xFF00);
    g_cpu.a[4] = player1;
  }
};

TEST_F(ShopTurn, WithoutAWeaponOnlyTheWeaponCellsActThenAllDo) {
  script = {
      {2, 312, 132, 0xFF}, {4, 312, 132, 0},   // leave: no weapon yet
      {6, 20, 124, 0xFF},  {8, 20, 124, 0},    // equipment: no weapon yet
      {10, 200, 90, 0xFF}, {12, 200, 90, 0},   // grenades: no weapon yet
      {14, 140, 10, 0xFF}, {16, 140, 10, 0},   // weapon 2 bought
      {18, 200, 90, 0xFF}, {20, 200, 90, 0},   // grenades bought
      {22, 20, 124, 0xFF}, {24, 20, 124, 0},   // the equipment
      {30, 20, 124, 0xFF}, {32, 20, 124, 0},   // ... until fire is pressed and released
      {36, 312, 132, 0xFF},                    // leave
  };
  run_routine(0x00CB68, 200, vbl_scripted);
  ASSERT_TRUE(driver_finished());
  EXPECT_GT(equipment_polls(), 0) << "the equipment was shown";
  EXPECT_EQ(rd8(owned + 2), 0xFFu);
  EXPECT_EQ(rd16(supplies), 10u) << "one purchase of grenades";
  EXPECT_EQ(rd32(money), 100000u - 2007 - 18007);
  EXPECT_EQ(rd8(player1 + 0x78), 0xFFu) << "grenades become weapon slot 18";
  EXPECT_EQ(rd16(player1 + 0x92), 0u);
  EXPECT_EQ(rd16(0x0001F4), 29u);
}

TEST_F(ShopTurn, LeavingWithSlot15OwnedGivesItsCount) {
  wr8(owned + 15, 0xFF);
  script = {{2, 312, 132, 0xFF}};
  run_routine(0x00CB68, 50, vbl_scripted);
  ASSERT_TRUE(driver_finished());
  EXPECT_EQ(rd16(player1 + 0x92), 1u);
  EXPECT_EQ(rd8(player1 + 0x78), 0u) << "no grenades";
  EXPECT_EQ(rd32(money), 100000u);
}

TEST_F(ShopTurn, LeavingNeedsOneOfTheEighteenWeapons) {
  struct road {
    const char* what;
    u32 owned_byte; // offset of the one owned byte in the record
    u32 count_at;   // a non-zero count word at this offset (0: none)
    bool leaves;
    u8 grenade_slot;
    u16 slot15_count;
  };
  const std::vector<road> roads = {
      {"slot 0", 0x66, 0, true, 0, 0},
      {"slot 17", 0x77, 0, true, 0, 0},
      {"slot 18 alone is no weapon", 0x78, 0, false, 0xFF, 0},
      {"slot 16: no count for slot 15", 0x76, 0, true, 0, 0},
      {"slot 15", 0x75, 0, true, 0, 1},
      {"grenades", 0x66, 0x7A, true, 0xFF, 0},
      {"another supply: no grenade slot", 0x66, 0x7C, true, 0, 0},
  };
  for (const road& r : roads) {
    SetUp();
    wr8(player1 + r.owned_byte, 0xFF);
    if (r.count_at) wr16(player1 + r.count_at, 3);
    script = {{2, 312, 132, 0xFF}};
    run_routine(0x00CB68, 40, vbl_scripted);
    EXPECT_EQ(driver_finished(), r.leaves) << r.what;
    EXPECT_EQ(rd8(player1 + 0x78), r.grenade_slot) << r.what;
    EXPECT_EQ(rd16(player1 + 0x92), r.slot15_count) << r.what;
  }
}

// What the screen shows at each VBL of a turn where the pointer stands at
// (20, 30): the plane words of the group that holds its left column (16, 26).
std::vector<std::array<u16, 4>> pointer_group_at_vbls;
void vbl_watching_the_pointer() {
  vbl_scripted();
  if (rd16(0x1DC6) > 4) return;
  std::array<u16, 4> planes;
  for (u32 p = 0; p < 4; ++p) planes[p] = static_cast<u16>(rd16(0x020000 + 26 * 160 + 8 + 2 * p) & 0xC000);
  pointer_group_at_vbls.push_back(planes);
}

TEST_F(ShopTurn, EveryPassShowsThePointerInColour1ThroughItsVBL) {
  for (u32 i = 0; i < 9; ++i) wr16(0x00CDBC + 2 * i, 0xC000);
  for (u32 i = 0; i < 32000; i += 4) wr32(0x018000 + i, 0);
  wr8(owned + 1, 0xFF);
  wr16(map_cursor_x, 20);
  wr16(map_cursor_y, 30);
  script = {{4, 312, 132, 0xFF}};
  pointer_group_at_vbls.clear();
  run_routine(0x00CB68, 40, vbl_watching_the_pointer);
  ASSERT_TRUE(driver_finished());
  ASSERT_EQ(pointer_group_at_vbls.size(), 4u);
  for (const std::array<u16, 4>& g : pointer_group_at_vbls)
    EXPECT_EQ(g, (std::array<u16, 4>{0xC000, 0, 0, 0}));
  EXPECT_EQ(rd16(0x020000 + 26 * 160 + 8), 0u) << "erased after the last pass";
}

void vbl_leave_at_five() {
  simple_vbl();
  if (rd16(0x1DC6) == 5) wr8(player1 + 0x12, 0xFF);
}

TEST_F(ShopTurn, ATurnResumesAlike) {
  wr8(owned + 1, 0xFF);
  wr16(map_cursor_x, 312);
  wr16(map_cursor_y, 132);
  EXPECT_TRUE(resumes_alike({.entry = 0x00CB68, .between = vbl_leave_at_five}));
}

}  // namespace
