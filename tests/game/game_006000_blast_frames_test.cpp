// A grenade's road through the vertical frame loop: it flies, bursts, and
// its blast strikes an enemy and a section object whose chain blast
// destroys a second object, all for the player who threw it.
#include <gtest/gtest.h>

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "support/tables/mission_builder.h"
#include "support/machine/mission_machine.h"
#include "support/tables/mission_objects.h"

namespace {

constexpr u32 frame_vertical = 0x008EAC;
constexpr int passes = 23;

void vbl_then_stop_after_passes() {
  mission_vbl();
  if (mission_vbls() >= 2 * passes) wr16(exit_request, 0xFFFF);
}

class BlastFrames : public MissionTest {};

TEST_F(BlastFrames, AThrownGrenadesBlastScoresThroughAChain) {
  player_tables{}.put_in_ram();
  put_explosion_frames();
  put_shot_frames();
  for (u32 n = 0; n < 13; ++n) wr16(0x00B20E + 2 * n, 16 * n);
  put_player(player1, 60, 200); // low on the screen: the scroll holds
  wr16(scroll_pos, 300);
  wr32(player1 + player_record::score, 5000);
  // Thrown by player 1 (owner 0): it bursts at (155, 243 - 40) - (5, 7),
  // the explosion standing at x 144.
  put_grenade(0, 155, 250, 0, -2, 0);
  put_enemy(3, 144, 200);
  wr16(enemy_at(3) + 0x0A, 1000); // waits where it stands: no script
  wr16(enemy_at(3) + 0x0C, 0);
  wr16(enemy_at(3) + 0x0E, 0);
  wr16(enemy_at(3) + 0x28, 30000); // no animation step yet
  put_section_object(0, 154 - 36, 203 - 100);
  put_section_object(1, 185 - 36, 199 - 100); // only under the first chain blast
  driver_start(frame_vertical);
  driver_run(4 * passes, 2000000, vbl_then_stop_after_passes);
  ASSERT_TRUE(driver_finished());
  EXPECT_EQ(rd16(grenade_at(0) + 4), 0u);
  EXPECT_EQ(rd16(enemy_at(3) + 0x26), 0xFFFFu) << "the enemy was struck";
  EXPECT_EQ(rd16(section_object_at(0)), 0u);
  EXPECT_EQ(rd16(section_object_at(1)), 0u) << "the chain blast";
  EXPECT_EQ(rd32(player1 + player_record::score), 5600u);
  EXPECT_EQ(rd32(player2 + player_record::score), 0u);
  for (u32 i = 0; i < 3; ++i) EXPECT_EQ(rd16(explosion_at(i) + 0x0A), 0u) << "every blast is player 1's";
}

} // namespace
