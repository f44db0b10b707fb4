// Page $5000: the player sprite's column comes from the x word alone,
// whatever the caller left in the upper half of d1 (the frame loop leaves
// a random value there, and a set bit 16 moved the sprite 32 KB on, past
// the screen into the resident pictures).
#include <gtest/gtest.h>

#include <vector>

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "support/tables/mission_builder.h"
#include "support/machine/mission_machine.h"

namespace {

namespace pr = player_record;

constexpr u32 draw_player = 0x00597A;
constexpr u32 screen = mission_draw_screen;
// The screen, its spare lines, and the ring after them, short of the
// player frames at $2F91C.
constexpr u32 watched_span = 0xF000;

std::vector<u8> watched() { return std::vector<u8>(ram + screen, ram + screen + watched_span); }

class PlayerColumn : public MissionTest {
 protected:
  void SetUp() override {
    MissionTest::SetUp();
    player_tables{}.put_in_ram();
  }
  std::vector<u8> draw_with_d1(u32 x, u32 d1_before) {
    for (u32 i = 0; i < watched_span; ++i) wr8(screen + i, 0);
    EXPECT_NE(rd16(0x02F91C + 400 * 2), 0u) << "the frame's first line is not transparent";
    wr16(player2 + pr::lives, 3);
    wr16(player2 + pr::x, x);
    wr16(player2 + pr::y, 152);
    wr16(player2 + pr::frame, 2);
    g_cpu.a[4] = player2;
    g_cpu.d[1] = d1_before;
    EXPECT_EQ(run_mission_routine(draw_player), 1);
    return watched();
  }
};

TEST_F(PlayerColumn, TheUpperHalfOfD1LeavesTheSpriteWhereXPutsIt) {
  for (u32 x : {0u, 129u, 144u, 287u}) {
    const std::vector<u8> clean = draw_with_d1(x, 0);
    for (u32 upper : {0x00010000u, 0x00090000u, 0xFFFF0000u}) {
      const std::vector<u8> dirty = draw_with_d1(x, upper | 0x1234);
      EXPECT_TRUE(dirty == clean) << "x " << x << ", d1 upper half " << std::hex << upper;
    }
    bool beyond = false;
    bool drawn = false;
    for (u32 i = 0; i < 32768; ++i) drawn |= clean[i] != 0;
    EXPECT_TRUE(drawn) << "x " << x;
    for (u32 i = 32768; i < watched_span; ++i) beyond |= clean[i] != 0;
    EXPECT_FALSE(beyond) << "x " << x << ": drawn past the screen's spare lines";
  }
}

} // namespace
