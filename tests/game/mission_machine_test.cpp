// The mission machine of the tests: the restart's state and the game's VBL.
#include <gtest/gtest.h>

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "support/machine/mission_machine.h"

namespace {

class MissionMachine : public MissionTest {};

TEST_F(MissionMachine, StartsAsTheRestartLeavesAMission) {
  EXPECT_EQ(g_cpu.a[5], 0u);
  EXPECT_EQ(g_cpu.a[7], mission_stack);
  EXPECT_EQ(get_sr(), mission_sr);
  EXPECT_EQ(rd32(draw_screen), mission_draw_screen);
  EXPECT_EQ(rd16(frame_countdown), 0xFFFFu);
  EXPECT_NE(rd32(random_seed) & 0x7FFFFF, 0u) << "a seed that can change";
}

TEST_F(MissionMachine, TheVblRunsTheGamesHandler) {
  mission_vbl();
  mission_vbl();
  EXPECT_EQ(mission_vbls(), 2);
  EXPECT_EQ(rd16(vbl_counter), 2u);
  EXPECT_EQ(rd16(frame_countdown), 0xFFFFu) << "a negative countdown stays odd";
}

} // namespace
