// The runner stand-in of the mission checks: one mission from the game's
// set-up to the end of its first frame, with the default mission's data
// and the synthetic set-up tables.
#include <gtest/gtest.h>

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "machine/hooks.h"
#include "support/tables/mission_builder.h"
#include "support/machine/mission_machine.h"
#include "support/machine/mission_runner.h"
#include "support/tables/setup_tables.h"

namespace {

void write_default_mission() { default_mission().put_in_ram(); }
void end_at_first_frame(u32) { wr16(exit_request, 0xFFFF); }

class Runner : public MissionTest {};

TEST_F(Runner, OneMissionFromTheSetUpToTheEndOfItsFirstFrame) {
  for (u16 two : {u16{0}, u16{0xFFFF}}) {
    SetUp();
    setup_tables t;
    t.two_players = two != 0;
    t.put_in_ram();
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
    // placed from the start table: two players take entries 1 and 0; one
    // player stands in the middle with player 1's frames
    EXPECT_EQ(rd16(player1 + 2), two ? t.starts[1][0] : 146u);
    EXPECT_EQ(rd16(player1 + 6), two ? t.starts[1][2] : 40u);
    EXPECT_EQ(rd16(player2 + 2), two ? t.starts[0][0] : 0u);
    EXPECT_EQ(weapon_picture_at(0x20000 + 0x2948), 1) << "player 1's weapon in the panel";
  }
  hook_register(0x008EE2, nullptr);
}

} // namespace
