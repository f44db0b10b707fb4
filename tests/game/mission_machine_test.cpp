// The mission machine of the tests: the restart's state, and stand-ins
// that do what their callers rely on (while their routines are unwritten).
#include <gtest/gtest.h>

#include <set>

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "support/mission_machine.h"

namespace {

class MissionMachine : public MissionTest {};

TEST_F(MissionMachine, StartsAsTheRestartLeavesAMission) {
  EXPECT_EQ(g_cpu.a[5], 0u);
  EXPECT_EQ(g_cpu.a[7], mission_stack);
  EXPECT_EQ(get_sr(), mission_sr);
  EXPECT_EQ(rd32(draw_screen), mission_draw_screen);
  EXPECT_EQ(rd16(frame_countdown), 0xFFFFu);
  EXPECT_NE(rd32(random_seed) & 0x7FFFFF, 0u) << "a seed that can change";
  std::set<u32> seen;
  for (const mission_stand_in& s : mission_stand_ins()) {
    EXPECT_TRUE(seen.insert(s.address).second) << std::hex << s.address << " listed twice";
    EXPECT_NE(std::string(s.role), "");
  }
}

TEST_F(MissionMachine, StandInsConsumeWhatTheirCallersHandThem) {
  struct {
    u32 address;
    u32 a0_after, a2_after, stream_pointer;
  } cases[] = {
      {0x006F2A, 0x40000, 0x50002, 0}, {0x006F22, 0x40000, 0x50002, 0},
      {0x006F3A, 0x40000, 0x50002, 0}, {0x006F32, 0x40000, 0x50002, 0},
      {0x004C2E, 0x40000, 0x50000, 0x40002}, {0x0052FA, 0x40000, 0x50000, 0x40002},
      {0x006026, 0x40009, 0x50000, 0}, // two 4-byte entries, then the end byte
  };
  for (const auto& c : cases) {
    SetUp();
    if (!stubbed(c.address)) continue;
    for (u32 i = 0; i < 8; ++i) wr8(0x40000 + i, i == 0 || i == 4 ? 0x12 : 0x7F);
    wr8(0x40008, 0x80);
    a0 = 0x40000;
    a2 = 0x50000;
    sync_regs_out();
    ASSERT_EQ(run_mission_routine(c.address), 1) << std::hex << c.address;
    EXPECT_EQ(g_cpu.a[0], c.a0_after) << std::hex << c.address;
    EXPECT_EQ(g_cpu.a[2], c.a2_after) << std::hex << c.address;
    EXPECT_EQ(rd32(event_pointer), c.stream_pointer) << std::hex << c.address;
    EXPECT_EQ(stub_call_count(c.address), 1);
  }
}

TEST_F(MissionMachine, TheObstacleProbeTouchesNothing) {
  if (!stubbed(0x009BEA)) GTEST_SKIP() << "the probe is written";
  d7 = 0xABCD1234;
  sync_regs_out();
  ASSERT_EQ(run_mission_routine(0x009BEA), 1);
  EXPECT_EQ(g_cpu.d[7], 0xABCD0000u);
}

TEST_F(MissionMachine, SamplePlayersRunTheirHookAndKeepA0A1) {
  for (u32 player : {0x00E6ECu, 0x00E756u}) {
    SetUp();
    if (!stubbed(player)) continue;
    hooks_record({player});
    a0 = 0x1111;
    a1 = 0x2222;
    d0 = 6;
    sync_regs_out();
    ASSERT_EQ(run_mission_routine(player), 1);
    ASSERT_EQ(stub_calls().size(), 2u);
    EXPECT_EQ(stub_calls()[0].address, player) << "the call, then its hook";
    EXPECT_EQ(stub_calls()[1].ret, 0u);
    EXPECT_EQ(stub_calls()[1].d0, 6u);
    EXPECT_EQ(g_cpu.a[0], 0x1111u);
    EXPECT_EQ(g_cpu.a[1], 0x2222u);
  }
}

TEST_F(MissionMachine, TheVblRunsTheGamesHandler) {
  mission_vbl();
  mission_vbl();
  EXPECT_EQ(mission_vbls(), 2);
  EXPECT_EQ(rd16(vbl_counter), 2u);
  EXPECT_EQ(rd16(frame_countdown), 0xFFFFu) << "a negative countdown stays odd";
}

} // namespace
