// Dot bullets and effects inside frame_vertical, fired through the players'
// own update: an effect weapon's shots kill an enemy and then the other
// player; a dot bullet bursts on a homing unit, whose destruction is the
// blast's.
#include <gtest/gtest.h>

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "machine/hooks.h"
#include "support/tables/dot_effect_tables.h"
#include "support/tables/mission_builder.h"
#include "support/machine/mission_machine.h"
#include "support/tables/section_cycle.h"

namespace {

namespace pr = player_record;

constexpr u32 frame_vertical = 0x008EAC;
constexpr u32 frame_horizontal = 0x00474A;
constexpr u32 hook_frame_start = 0x008EEA;
constexpr u32 kills = 0x96;

u32 enemy(u32 i) { return enemy_table.address + i * enemy_table.size; }
u32 unit(u32 i) { return homing_unit_table.address + i * homing_unit_table.size; }
u32 dot(u32 i) { return dot_bullet_table.address + i * dot_bullet_table.size; }
u32 boom(u32 i) { return explosion_table.address + i * explosion_table.size; }

// A player standing at (x, y), facing up, every counter 50, fire as given.
void in_play(u32 record, u32 x, u32 y, u32 weapon, u32 ammo, bool fire) {
  wr16(record + pr::lives, 3);
  wr16(record + pr::x, x);
  wr16(record + pr::y, y);
  wr16(record + pr::frame, record == player1 ? 41 : 1);
  wr16(record + pr::weapon, weapon);
  wr8(record + pr::owned + weapon, 0xFF);
  wr16(record + pr::ammo_type, ammo);
  wr16(record + pr::count_index, ammo == 71 ? 9 : 1);
  wr8(record + pr::facing, 1);
  wr32(record + pr::walk_first, walk_frame_lists);
  wr32(record + pr::walk_entry, walk_frame_lists);
  wr32(record + pr::walk_end, walk_frame_lists + 8);
  wr16(record + pr::walk_step, 2);
  for (u32 i = 0; i < 13; ++i) wr16(record + pr::counts + 2 * i, 50);
  wr8(record + pr::fire, fire ? 0xFF : 0);
}

u32 passes_wanted;
void end_after_passes(u32) {
  if (rd16(fx_bank) + 1 == passes_wanted) wr16(exit_request, 0xFFFF);
}

class DotEffectsInFrames : public MissionTest {
 protected:
  void SetUp() override {
    MissionTest::SetUp();
    tables = player_tables{};
    shots = dot_effect_tables{};
    // dying enemies stay on their first frame: no animation ends
    for (u32 n = 0; n < 13; ++n) wr16(0x00B20E + 2 * n, 4 * n);
    wr16(scroll_pos, 300); // player 1 low on the screen holds the scroll
  }
  void put_tables() {
    tables.put_in_ram();
    shots.put_in_ram();
    preshift_pictures();
  }
  bool run_passes(u32 n, u32 loop = frame_vertical) {
    passes_wanted = n;
    hook_register(loop == frame_vertical ? hook_frame_start : 0x004752, end_after_passes);
    driver_start(loop);
    driver_run(20 * static_cast<int>(n), 2000000, mission_vbl);
    return driver_finished() && rd16(fx_bank) == n;
  }
  player_tables tables;
  dot_effect_tables shots;
};

TEST_F(DotEffectsInFrames, AnEffectWeaponKillsAnEnemyAndThenTheOtherPlayer) {
  // The shot lands at (144, 250) play field, 44 right of and 80 below
  // player 1 at (100, 170); it stays there.
  tables.effect_shots[1] = {44, 80, 0, 0};
  put_tables();
  in_play(player1, 100, 170, 17, 20, true);
  in_play(player2, 104, 150, 0, 20, false); // 40 and 100 from the shot
  wr16(enemy(0), 140);
  wr16(enemy(0) + 2, 237); // in the shot's reach, 13 lines above player 2's touch
  wr16(enemy(0) + 4, 1);
  wr16(enemy(0) + 0x0A, 1000); // a long wait in its script
  // pass 0 throws the first effect; pass 1 it kills the enemy and the second
  // is thrown; pass 2 the second finds the enemy dying and kills player 2
  ASSERT_TRUE(run_passes(2));
  EXPECT_NE(rd16(enemy(0) + 0x26), 0u) << "the enemy dies in pass 1";
  EXPECT_EQ(rd32(player1 + pr::score), 50u);
  EXPECT_EQ(rd16(player1 + kills), 1u);
  EXPECT_EQ(rd16(player2 + pr::state), 0u) << "the first effect ended its turn on the enemy";

  SetUp();
  tables.effect_shots[1] = {44, 80, 0, 0};
  put_tables();
  in_play(player1, 100, 170, 17, 20, true);
  in_play(player2, 104, 150, 0, 20, false);
  wr16(enemy(0), 140);
  wr16(enemy(0) + 2, 237); // in the shot's reach, 13 lines above player 2's touch
  wr16(enemy(0) + 4, 1);
  wr16(enemy(0) + 0x0A, 1000);
  ASSERT_TRUE(run_passes(3));
  EXPECT_EQ(rd32(player1 + pr::score), 50u) << "one kill";
  EXPECT_NE(rd16(player2 + pr::state), 0u);
  EXPECT_EQ(rd16(player1 + pr::state), 0u) << "the thrower is immune";
}

// The same in a horizontal section, which scrolls the shots and the enemy
// alike.
TEST_F(DotEffectsInFrames, InAHorizontalSectionTooTheEffectWeaponKillsAnEnemyAndThenTheOtherPlayer) {
  section_cycle_put(section_cycle_mission(), {});
  wr16(level_section, 0);
  wr16(stream_section, 1);
  wr16(hscroll_step, 2);
  wr16(scroll_pos, 100);
  tables.effect_shots[1] = {44, 80, 0, 0};
  put_tables();
  in_play(player1, 150, 100, 17, 20, true);
  in_play(player2, 154, 80, 0, 20, false); // 40 and 100 from the shot
  wr16(enemy(0), 190);
  wr16(enemy(0) + 2, 167); // in the shot's reach, 13 lines above player 2's touch
  wr16(enemy(0) + 4, 1);
  wr16(enemy(0) + 0x0A, 1000);
  ASSERT_TRUE(run_passes(3, frame_horizontal));
  EXPECT_NE(rd16(enemy(0) + 0x26), 0u);
  EXPECT_EQ(rd32(player1 + pr::score), 50u);
  EXPECT_EQ(rd16(player1 + kills), 1u);
  EXPECT_NE(rd16(player2 + pr::state), 0u);
  EXPECT_EQ(rd16(player1 + pr::state), 0u) << "the thrower is immune";
}

TEST_F(DotEffectsInFrames, ADotBulletBurstsOnAHomingUnitAndTheBlastDestroysIt) {
  // The shot appears at (140, 240) play field, 40 right of and 70 below
  // player 1, and stands; the unit at (132, 236) has it in its box.
  shots.dot_directions[1] = {40, 70, 0, 0, 20};
  tables.ammo_types[8] = {71, 0, 0, 0};
  put_tables();
  in_play(player1, 100, 170, 8, 71, true);
  wr16(unit(0), 0xFFFF);
  wr16(unit(0) + 4, 132);
  wr16(unit(0) + 6, 236);
  wr16(unit(0) + 0x0C, 1000); // no shot of its own meanwhile
  ASSERT_TRUE(run_passes(2)); // fired in pass 0, bursts in pass 1
  EXPECT_EQ(rd16(dot(0) + 4), 0u);
  EXPECT_EQ(rd16(dot(1) + 4), 0u) << "one shot a press";
  ASSERT_EQ(rd16(boom(0) + 4), 0xFFFFu);
  EXPECT_EQ(rd16(boom(0)), (132u + 7) & 0xFFF0) << "at the unit";
  EXPECT_EQ(rd16(boom(0) + 2), 236u);
  EXPECT_EQ(rd16(boom(0) + 0x0A), 0u) << "player 1's blast";
  EXPECT_EQ(rd32(player1 + pr::score), 50u);
  EXPECT_EQ(rd16(unit(0) + 0x0E), 0u) << "the strike leaves the unit to the blast";
  ASSERT_TRUE(run_passes(3));
  EXPECT_NE(rd16(unit(0) + 0x0E), 0u) << "destroyed by the blast";
}

} // namespace
