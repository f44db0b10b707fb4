// The homing units: placement ($B424), the update ($B46E) with its aim
// ($B492, $B4FC) and fire rhythm ($B512, $B540), and their drawing ($652E,
// $6550), on the synthetic steer and fire tables and unit pictures.
#include <gtest/gtest.h>

#include <array>

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "game/shot_ram.h"
#include "support/machine/interrupt_check.h"
#include "support/tables/mission_builder.h"
#include "support/machine/mission_machine.h"
#include "support/machine/resumption_check.h"
#include "support/tables/shot_tables.h"

namespace {

namespace pr = player_record;
namespace hu = homing_unit;

constexpr u32 place_unit = 0x00B424;
constexpr u32 units_update = 0x00B46E;
constexpr u32 aim = 0x00B492;
constexpr u32 draw_units = 0x00652E;
constexpr u32 draw_unit = 0x006550;
constexpr u32 screen = mission_draw_screen;

u32 unit(u32 i) { return homing_unit_table.address + homing_unit_table.size * i; }

int run(u32 entry) { return run_routine_with_regs(entry); }

std::array<u32, 16> registers() { return {d0, d1, d2, d3, d4, d5, d6, d7, a0, a1, a2, a3, a4, a5, a6, a7}; }

void put_unit(u32 i, u32 x, u32 y, u32 kind = 0, u32 frame = 0, u32 step = 0) {
  wr16(unit(i) + hu::active, 0xFFFF);
  wr16(unit(i) + hu::kind, kind);
  wr16(unit(i) + hu::x, x);
  wr16(unit(i) + hu::y, y);
  wr16(unit(i) + hu::step, step);
  wr16(unit(i) + hu::frame, frame);
}

class HomingUnits : public MissionTest {
 protected:
  void SetUp() override {
    MissionTest::SetUp();
    shot_tables{}.put_in_ram();
  }
};

TEST_F(HomingUnits, PlacementTakesTheFirstFreeRecordAndKeepsTheLastOccupantsWords) {
  for (u32 i : {0u, 1u, 3u}) wr16(unit(i) + hu::active, 0xFFFF);
  wr16(unit(2) + hu::frame, 8);
  wr16(unit(2) + hu::countdown, 9);
  wr16(unit(2) + hu::wrecked, 0xFFFF);
  wr16(unit(2) + hu::over_ground, 1);
  fill_register_patterns();
  sync_regs_in();
  d0 = 0x77770001;
  d1 = 0x8888003C;
  d2 = 0x9999FFF0;
  d3 = 0xAAAA0002;
  const std::array<u32, 16> before = registers();
  ASSERT_EQ(run(place_unit), 1);
  EXPECT_EQ(registers(), before);
  EXPECT_EQ(rd32(last_homing_unit), unit(2));
  EXPECT_EQ(rd16(unit(2) + hu::active), 0xFFFFu);
  EXPECT_EQ(rd16(unit(2) + hu::kind), 1u);
  EXPECT_EQ(rd16(unit(2) + hu::x), 0x3Cu + 100);
  EXPECT_EQ(rd16(unit(2) + hu::y), 0xFFF0u);
  EXPECT_EQ(rd16(unit(2) + hu::step), 2u);
  EXPECT_EQ(rd16(unit(2) + hu::frame), 0u);
  EXPECT_EQ(rd16(unit(2) + hu::countdown), 9u) << "inherited";
  EXPECT_EQ(rd16(unit(2) + hu::wrecked), 0xFFFFu) << "inherited: this unit never fires";
  EXPECT_EQ(rd16(unit(2) + hu::over_ground), 1u) << "inherited";

  for (u32 i : {0u, 1u, 2u, 3u, 4u}) wr16(unit(i) + hu::active, 0xFFFF);
  ASSERT_EQ(run(place_unit), 1);
  EXPECT_EQ(rd32(last_homing_unit), unit(5)) << "the last record";
  const std::array<u8, 8> goal_bytes = {0, 0, 3, 4, 5, 6, 7, 8}; // no goal in place
  for (u32 i = 0; i < 8; ++i) wr8(goal_record.address + i, goal_bytes[i]);
  ASSERT_EQ(run(place_unit), 1);
  EXPECT_EQ(rd32(last_homing_unit), 0u) << "full";
  for (u32 i = 0; i < 8; ++i) EXPECT_EQ(rd8(goal_record.address + i), goal_bytes[i]) << "the goal after the table";
}

TEST_F(HomingUnits, TheAimCodeByTheTargetsOffset) {
  // The unit at (200, 150); the target point is the player's x + 36, y + 100.
  struct {
    i32 dx, dy; // unit minus target
    u32 code;
  } cases[] = {
      {0, 0, 1},     {20, 20, 1},   {-20, -20, 1}, {21, 0, 4},    {-21, 0, 1},   {0, -21, 2},
      {0, 21, 8},    {-21, -21, 3}, {21, -21, 6},  {-21, 21, 9},  {21, 21, 12},  {20, -21, 2},
  };
  const shot_tables t;
  for (const auto& c : cases) {
    put_unit(0, 200, 150, 0, 0xEE);
    wr16(player1 + pr::lives, 1);
    wr16(player1 + pr::x, static_cast<u32>(200 - c.dx - 36));
    wr16(player1 + pr::y, static_cast<u32>(150 - c.dy - 100));
    a6 = unit(0);
    fill_register_patterns();
    sync_regs_in();
    a6 = unit(0);
    const std::array<u32, 16> before = registers();
    ASSERT_EQ(run(aim), 1);
    EXPECT_EQ(registers(), before);
    u32 frame = 0;
    for (const unit_steer& s : t.steers)
      if (s.code == c.code) frame = s.frame;
    EXPECT_EQ(rd16(unit(0) + hu::frame), frame) << c.dx << "," << c.dy << " code " << c.code;
  }
}

TEST_F(HomingUnits, PlayerTwoIsTheTargetWhenPlayerOneHasNoLives) {
  put_unit(0, 200, 150);
  wr16(player1 + pr::x, 200 - 36);  // level with the unit: code 1
  wr16(player1 + pr::y, 150 - 100);
  wr16(player2 + pr::x, 200 - 36 - 30); // 30 to the left: code 4
  wr16(player2 + pr::y, 150 - 100);
  a6 = unit(0);
  ASSERT_EQ(run(aim), 1);
  EXPECT_EQ(rd16(unit(0) + hu::frame), 4u) << "code 4: player 2, though it has no lives either";
  wr16(player1 + pr::lives, 1);
  ASSERT_EQ(run(aim), 1);
  EXPECT_EQ(rd16(unit(0) + hu::frame), 1u);
}

TEST_F(HomingUnits, TheSteerSearchStopsWhereTheCodeAfterTheTableBegins) {
  shot_tables t;
  t.steers[7] = {1, 1}; // code 12 taken out
  t.put_in_ram();
  put_unit(0, 200, 150, 0, 0x55);
  wr16(player1 + pr::lives, 1);
  wr16(player1 + pr::x, 200 - 36 - 30); // code 12
  wr16(player1 + pr::y, 150 - 100 - 30);
  wr16(unit_steer_end, 12); // as if the code after the table began with the code
  wr16(unit_steer_end + 2, 7);
  a6 = unit(0);
  ASSERT_EQ(run(aim), 1);
  EXPECT_EQ(rd16(unit(0) + hu::frame), 0x55u) << "no match: the picture stays";
  wr16(unit_steer_end - 4, 12); // the last of eleven pairs
  wr16(unit_steer_end - 2, 6);
  ASSERT_EQ(run(aim), 1);
  EXPECT_EQ(rd16(unit(0) + hu::frame), 6u);
}

TEST_F(HomingUnits, TheCountdownThenARandomGapAndAShot) {
  struct {
    u32 frame, over_ground;
    u32 record; // of unit_fire_dirs
    u32 owner;
    u32 seed; // gives the gap: 19, 1, 0, 16
  } cases[] = {{1, 0, 0, 0xFFFE, 0x12345679},
               {7, 1, 6, 0xFFFC, 0x00400000},
               {8, 0, 7, 0xFFFE, 0x0ABCDEF0},
               {0, 5, 7, 0xFFFC, 0x12345678}};
  const shot_tables t;
  for (const auto& c : cases) {
    SetUp();
    wr32(random_seed, c.seed);
    put_unit(3, 116, 120, 0, c.frame);
    wr16(unit(3) + hu::over_ground, c.over_ground);
    wr16(unit(3) + hu::countdown, 2);
    wr16(player1 + pr::lives, 1);
    wr16(player1 + pr::x, 116 - 36); // level: code 1, frame 1 ...
    wr16(player1 + pr::y, 20);
    // ... unless the aim is made to keep the unit's frame: no code matches
    for (u32 i = 0; i < 11; ++i) wr16(unit_steer_table + 4 * i, 0x7F00);
    for (int frame = 0; frame < 2; ++frame) {
      ASSERT_EQ(run(units_update), 1);
      EXPECT_EQ(rd16(bullet_table.address + bullet::live), 0u) << "counting down";
    }
    EXPECT_EQ(rd16(unit(3) + hu::countdown), 0u);
    ASSERT_EQ(run(units_update), 1);
    const u32 b = bullet_table.address;
    ASSERT_EQ(rd16(b + bullet::live), 0xFFFFu) << c.frame;
    const unit_fire_dir& f = t.fire_dirs[c.record];
    EXPECT_EQ(rd16(b + bullet::x), static_cast<u32>(116 + f.x_offset)) << c.frame;
    EXPECT_EQ(rd16(b + bullet::y), static_cast<u32>(120 + f.y_offset)) << c.frame;
    EXPECT_EQ(static_cast<i16>(rd16(b + bullet::dx)), f.dx);
    EXPECT_EQ(static_cast<i16>(rd16(b + bullet::dy)), f.dy);
    EXPECT_EQ(rd16(b + bullet::life), 300u);
    EXPECT_EQ(rd16(b + bullet::owner), c.owner);
    EXPECT_EQ(rd16(unit(3) + hu::countdown), rd32(random_seed) & 31) << "the new random number";
    // A gap drawn as 0 fires again in the next frame.
    wr16(b + bullet::live, 0);
    const bool again = rd16(unit(3) + hu::countdown) == 0;
    ASSERT_EQ(run(units_update), 1);
    EXPECT_EQ(rd16(b + bullet::live) != 0, again) << std::hex << c.seed;
  }
}

TEST_F(HomingUnits, WrecksAndFreeRecordsNeitherAimNorFire) {
  put_unit(0, 116, 120, 0, 0x33);
  wr16(unit(0) + hu::wrecked, 0xFF00);
  wr16(unit(1) + hu::frame, 0x33);
  wr16(unit(1) + hu::x, 116);
  put_unit(5, 132, 120, 0, 0x33); // the last record
  wr16(unit(5) + hu::wrecked, 0x7FFF); // high byte not negative
  wr16(unit(5) + hu::countdown, 5);
  wr16(player1 + pr::lives, 1);
  ASSERT_EQ(run(units_update), 1);
  EXPECT_EQ(rd16(unit(0) + hu::frame), 0x33u);
  EXPECT_EQ(rd16(unit(1) + hu::frame), 0x33u);
  EXPECT_EQ(rd16(bullet_table.address + bullet::live), 0u);
  EXPECT_NE(rd16(unit(5) + hu::frame), 0x33u) << "aims";
  EXPECT_EQ(rd16(unit(5) + hu::countdown), 4u);
}

// ---- the drawing ---------------------------------------------------------------

constexpr u32 background = 5;

void fill_background() {
  for (u32 i = 0; i < 32000; ++i) wr8(screen + i, i % 8 < 2 || i % 8 == 4 || i % 8 == 5 ? 0xFF : 0);
}

// The unit's column of the screen shows its picture where it lies on the
// play field and the background elsewhere.
void expect_unit(u32 x, i32 y, u32 kind, u32 frame) {
  for (u32 line = 0; line < 200; ++line)
    for (u32 px = 0; px < 16; ++px) {
      const i32 l = static_cast<i32>(line) - (y - 100);
      u32 want = background;
      if (l >= 0 && l < 16 && unit_frame_pixel(kind, frame, static_cast<u32>(l), px) != 0)
        want = unit_frame_pixel(kind, frame, static_cast<u32>(l), px);
      ASSERT_EQ(screen_pixel(screen, line, x - 36 + px), want) << "y " << y << " line " << line << " px " << px;
    }
}

TEST_F(HomingUnits, DrawingClipsToThePlayFieldsLinesAndAlwaysSteps) {
  struct {
    i32 y;
    bool freed;
  } cases[] = {{84, false},  {85, false},  {99, false},  {100, false}, {284, false},
               {285, false}, {299, false}, {300, true},  {-5, false}};
  for (const auto& c : cases) {
    SetUp();
    fill_background();
    put_unit(1, 36 + 16 * 5, static_cast<u32>(c.y), 1, 4, 3);
    ASSERT_EQ(run(draw_units), 1);
    expect_unit(36 + 16 * 5, c.y, 1, 4);
    EXPECT_EQ(rd16(unit(1) + hu::active) == 0, c.freed) << c.y;
    EXPECT_EQ(static_cast<i16>(rd16(unit(1) + hu::y)), c.y + 3) << "stepped";
    for (u32 i = 0; i < 32000; ++i) {
      if ((i % 160) / 8 == 5) continue;
      ASSERT_EQ(rd8(screen + i), (i % 8 < 2 || i % 8 == 4 || i % 8 == 5) ? 0xFF : 0) << c.y << " other columns";
    }
  }
}

TEST_F(HomingUnits, TheUnitsDrawingTakesEveryPlacedUnitAndKeepsA4) {
  fill_background();
  put_unit(0, 36, 120, 0, 0, -2);
  put_unit(5, 36 + 160, 150, 1, 8, 1);
  wr16(unit(3) + hu::y, 10);
  wr16(unit(3) + hu::step, 4); // free: untouched
  a4 = 0x123456;
  ASSERT_EQ(run(draw_units), 1);
  EXPECT_EQ(a4, 0x123456u);
  expect_unit(36, 120, 0, 0);
  expect_unit(36 + 160, 150, 1, 8);
  EXPECT_EQ(rd16(unit(0) + hu::y), 118u);
  EXPECT_EQ(rd16(unit(5) + hu::y), 151u);
  EXPECT_EQ(rd16(unit(3) + hu::y), 10u);
}

void prepare_units() {
  machine_clear();
  stub_reset();
  mission_machine_reset();
  shot_tables{}.put_in_ram();
  wr16(player1 + pr::lives, 1);
  wr16(player1 + pr::x, 100);
  wr16(player1 + pr::y, 50);
  for (u32 i = 0; i < 6; ++i) {
    put_unit(i, 36 + 32 * i, 90 + 30 * i, i % 2, i, 1);
    wr16(unit(i) + hu::countdown, i % 2);
  }
}

TEST(HomingUnitsResumption, UpdateAndDrawingResumeFromAStateSavedInTheirLoops) {
  for (u32 entry : {units_update, draw_units})
    for (int save_at : {1, 3}) {
      const resumption_result res = check_resumption(prepare_units, entry, 3, save_at);
      EXPECT_GE(res.yields, 3) << std::hex << entry;
      EXPECT_TRUE(res.sliced_same) << res.first_difference;
      EXPECT_TRUE(res.resumed_same) << std::hex << entry << " saved at " << std::dec << save_at << ": "
                                    << res.first_difference;
    }
  machine_clear();
}

} // namespace
