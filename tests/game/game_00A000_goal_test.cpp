// The goal: the test of both players ($AE1A, $AE2A) and the drawing
// ($66F4, $6724) with its clipping to the play field's lines, on the
// synthetic goal pictures.
#include <gtest/gtest.h>

#include <vector>

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "game/shot_ram.h"
#include "support/tables/mission_builder.h"
#include "support/machine/mission_machine.h"
#include "support/tables/shot_tables.h"

namespace {

namespace pr = player_record;

constexpr u32 goal_test = 0x00AE1A;
constexpr u32 draw_goal = 0x0066F4;
constexpr u32 goal_picture = 0x006724;
constexpr u32 g = goal_record.address;
constexpr u32 screen = mission_draw_screen;

int run(u32 entry) { return run_routine_with_regs(entry); }

void put_goal(u32 x, u32 y, u32 picture = 0) {
  wr16(g + goal::active, 0xFFFF);
  wr16(g + goal::x, x);
  wr16(g + goal::y, y);
  wr16(g + goal::picture, picture);
}

void put_player(u32 record, u32 x, u32 y, u32 lives = 2) {
  wr16(record + pr::lives, lives);
  wr16(record + pr::x, x);
  wr16(record + pr::y, y);
}

class Goal : public MissionTest {
 protected:
  void SetUp() override {
    MissionTest::SetUp();
    shot_tables{}.put_in_ram();
  }
};

TEST_F(Goal, ReachedWithinTheBoxOfOffsets) {
  struct {
    i32 dx, dy; // goal minus player
    bool reached;
  } cases[] = {{20, 100, true},  {51, 100, true},  {19, 100, false}, {52, 100, false},
               {30, 80, true},   {30, 130, true},  {30, 79, false},  {30, 131, false}};
  for (const auto& c : cases) {
    SetUp();
    put_goal(200, 200);
    put_player(player2, static_cast<u32>(200 - c.dx), static_cast<u32>(200 - c.dy));
    wr32(player2 + pr::score, 500);
    ASSERT_EQ(run(goal_test), 1);
    EXPECT_EQ(rd16(exit_request), c.reached ? 0xFFFFu : 0u) << c.dx << "," << c.dy;
    EXPECT_EQ(rd16(g + goal::active), c.reached ? 0u : 0xFFFFu);
    EXPECT_EQ(rd32(player2 + pr::score), c.reached ? 2500u : 500u);
  }
}

TEST_F(Goal, DyingOrOutOfPlayPlayersPassAndPlayerOneComesFirst) {
  struct {
    const char* what;
    u32 lives, state;
  } skipped[] = {{"out of play", 0, 0}, {"dying", 2, 0xFFFF}};
  for (const auto& s : skipped) {
    SetUp();
    put_goal(200, 200);
    put_player(player1, 170, 100, s.lives);
    wr16(player1 + pr::state, s.state);
    ASSERT_EQ(run(goal_test), 1);
    EXPECT_EQ(rd16(exit_request), 0u) << s.what;
    EXPECT_EQ(rd32(player1 + pr::score), 0u) << s.what;
  }

  SetUp();
  put_goal(200, 200);
  put_player(player1, 170, 100);
  put_player(player2, 160, 110);
  ASSERT_EQ(run(goal_test), 1);
  EXPECT_EQ(rd32(player1 + pr::score), 2000u);
  EXPECT_EQ(rd32(player2 + pr::score), 0u) << "the goal was gone for player 2";
  EXPECT_EQ(rd16(exit_request), 0xFFFFu);
  EXPECT_EQ(rd16(g + goal::active), 0u);

  SetUp();
  put_player(player1, 170, 100);
  wr16(g + goal::x, 200);
  wr16(g + goal::y, 200);
  ASSERT_EQ(run(goal_test), 1);
  EXPECT_EQ(rd16(exit_request), 0u) << "no goal in place";
}

// ---- the drawing ----------------------------------------------------------------

constexpr u32 background = 5;
constexpr u32 goal_x = 150; // columns from 64 + 16 x ((150 - 100) / 16) = 112

void fill_background() {
  for (u32 i = 0; i < 32000; ++i) wr8(screen + i, i % 8 < 2 || i % 8 == 4 || i % 8 == 5 ? 0xFF : 0);
}

void expect_goal(i32 y, u32 picture) {
  for (u32 line = 0; line < 200; ++line)
    for (u32 px = 0; px < 32; ++px) {
      const i32 l = static_cast<i32>(line) - (y - 100);
      u32 want = background;
      if (l >= 0 && l < 25 && goal_frame_pixel(picture, static_cast<u32>(l), px) != 0)
        want = goal_frame_pixel(picture, static_cast<u32>(l), px);
      ASSERT_EQ(screen_pixel(screen, line, 112 + px), want) << "y " << y << " line " << line << " px " << px;
    }
}

TEST_F(Goal, DrawnOnlyOnThePlayFieldsLines) {
  for (i32 y : {50, 75, 76, 77, 100, 180, 275, 276, 299, 300, 400, -3}) {
    SetUp();
    fill_background();
    put_goal(goal_x, static_cast<u32>(y) & 0xFFFF, 2);
    ASSERT_EQ(run(draw_goal), 1);
    expect_goal(y, 2);
    EXPECT_EQ(rd16(g + goal::y), static_cast<u32>(y) & 0xFFFF) << "the record stays";
  }
  SetUp();
  fill_background();
  wr16(g + goal::x, goal_x);
  wr16(g + goal::y, 150);
  ASSERT_EQ(run(draw_goal), 1);
  expect_goal(-1000, 0); // none in place: nothing drawn
}

TEST_F(Goal, ASweepOfYOverTheWholeWordWritesNothingOutsideTheScreensLines) {
  d0 = goal_x;
  d3 = 1;
  d2 = 100;
  ASSERT_EQ(run(goal_picture), 1); // the call's stack words in place
  std::vector<u8> before(ram_size);
  for (u32 i = 0; i < ram_size; ++i) before[i] = ram[i];
  for (u32 y = 0; y < 0x10000; ++y) {
    d0 = goal_x;
    d2 = y;
    d3 = 1;
    sync_regs_out();
    ASSERT_EQ(run_routine(goal_picture), 1);
  }
  for (u32 i = 0; i < ram_size; ++i) {
    if (i >= screen && i < screen + 32000) continue;
    ASSERT_EQ(ram[i], before[i]) << std::hex << "byte $" << i;
  }
}

} // namespace
