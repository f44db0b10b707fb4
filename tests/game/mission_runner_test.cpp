// The runner stand-in of the mission checks: one mission from the game's
// set-up to the end of its first frame, with the default mission's data.
#include <gtest/gtest.h>

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "machine/hooks.h"
#include "support/mission_builder.h"
#include "support/mission_machine.h"
#include "support/mission_runner.h"

namespace {

void write_default_mission() { default_mission().put_in_ram(); }
void end_at_first_frame(u32) { wr16(exit_request, 0xFFFF); }

class Runner : public MissionTest {};

TEST_F(Runner, OneMissionFromTheSetUpToTheEndOfItsFirstFrame) {
  for (u16 two : {u16{0}, u16{0xFFFF}}) {
    SetUp();
    wr16(two_player_flag, two);
    wr8(player1 + 0x66 + 1, 1);
    wr8(player2 + 0x66 + 2, 1);
    stub_records({0x00AAF8}); // the panel value (later work), through the first weapon slot
    mission_runner_register(write_default_mission);
    hook_register(0x008EE2, end_at_first_frame);
    driver_start(mission_runner);
    driver_run(50, 2000000, mission_vbl);
    EXPECT_EQ(rd16(runner_done), 0xFFFFu);
    EXPECT_EQ(rd16(runner_exit_noted), 0xFFFFu);
    EXPECT_EQ(rd16(level_section), 0u);
    EXPECT_EQ(rd16(stream_section), 0u);
    EXPECT_EQ(rd16(player1 + player_record::lives), 3u);
    EXPECT_EQ(rd16(player2 + player_record::lives), two ? 3u : 0u);
    EXPECT_EQ(rd16(player1 + 0x0C), 1u) << "the first owned weapon";
    EXPECT_EQ(rd16(player2 + 0x0C), two ? 2u : 0u);
    EXPECT_EQ(rd32(event_pointer), default_mission().stream_address(0));
  }
  hook_register(0x008EE2, nullptr);
}

} // namespace
