// The players' grenade throw (weapon 18) as the written grenade routine takes
// it: the grenade in its table, placed at the player plus the offsets of the
// facing's throw entry and moving by that entry's dx and dy, owned by the
// thrower; the pose frame of the entry on the player.
#include <gtest/gtest.h>

#include <array>

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "machine/dispatch.h"
#include "support/mission_builder.h"
#include "support/mission_machine.h"

namespace {

namespace pr = player_record;

constexpr u32 update = 0x009290;
constexpr u32 terrain_step = 0x009860;

// A player in play at (150, 100), standing, weapon 18 current, every
// counter 50, every way free, fire alone held.
void ready_to_throw(u32 record, u32 facing) {
  wr16(record + pr::lives, 3);
  wr16(record + pr::x, 150);
  wr16(record + pr::y, 100);
  wr16(record + pr::frame, record == player1 ? 41 : 1);
  wr16(record + pr::weapon, 18);
  wr8(record + pr::facing, facing);
  wr32(record + pr::walk_first, walk_frame_lists);
  wr32(record + pr::walk_entry, walk_frame_lists);
  wr32(record + pr::walk_end, walk_frame_lists + 8);
  wr16(record + pr::walk_step, 2);
  for (u32 i = 0; i < 13; ++i) wr16(record + pr::counts + 2 * i, 50);
  for (u32 way : {pr::way_right, pr::way_left, pr::way_down, pr::way_up}) wr8(record + way, 0xFF);
  for (u32 b : {pr::right, pr::left, pr::up, pr::down}) wr8(record + b, 0);
  wr8(record + pr::fire, 0xFF);
}

class Throw : public MissionTest {
 protected:
  void SetUp() override {
    MissionTest::SetUp();
    // The way bytes are set above: the terrain step returns at once.
    dispatch_register_over(terrain_step, [] { RTS(); });
    tables.put_in_ram();
  }
  player_tables tables;
};

TEST_F(Throw, TheFacingsEntryPlacesAndAimsTheGrenadeOfItsThrower) {
  struct row {
    u32 record, facing;
  };
  for (const row& r : {row{player1, 6}, row{player2, 3}, row{player1, 11}}) {
    SetUp();
    const std::array<i16, 5>& entry = tables.throws[r.facing];
    ASSERT_NE(entry[2], 0);
    ready_to_throw(r.record, r.facing);
    g_cpu.a[4] = r.record;
    wr16(current_player, r.record == player2 ? 1 : 0);
    ASSERT_EQ(run_mission_routine(update), 1);
    const u32 g = grenade_table.address;
    EXPECT_EQ(rd16(g + 4), 0xFFFFu) << "facing " << r.facing;
    EXPECT_EQ(static_cast<i16>(rd16(g + 0)), 150 + entry[0]) << "facing " << r.facing;
    EXPECT_EQ(static_cast<i16>(rd16(g + 2)), 100 + entry[1]) << "facing " << r.facing;
    EXPECT_EQ(static_cast<i16>(rd16(g + 16)), entry[2]) << "facing " << r.facing;
    EXPECT_EQ(static_cast<i16>(rd16(g + 18)), entry[3]) << "facing " << r.facing;
    EXPECT_EQ(rd16(g + 12), r.record == player2 ? 1u : 0u) << "the thrower";
    EXPECT_EQ(rd16(grenade_table.address + grenade_table.size + 4), 0u) << "one grenade";
    EXPECT_EQ(rd16(r.record + pr::frame), static_cast<u32>(entry[4]) - (r.record == player2 ? 40 : 0));
  }
}

} // namespace
