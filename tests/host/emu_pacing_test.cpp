// The emulation thread's pacing, one pass of its loop at a time on a
// simulated clock: the game clock with its lead, the menu clock with its
// tick permits, the switch between them, pause and stalls.
#include <gtest/gtest.h>

#include <cmath>

#include "host/emu_fixture.h"

namespace {

class Pacing : public EmuTest {
 protected:
  // Passes of the loop until the simulated clock has advanced by seconds.
  void run_for(double seconds, bool tick_each_pass = false) {
    const double until = sim_now + seconds;
    while (sim_now < until) {
      if (tick_each_pass) emu_post(EV_TICK, 0, 0);
      ASSERT_EQ(emu_iteration(), 1);
    }
  }
  // Passes until n VBL steps ran (menu clock, a tick before each pass).
  void run_steps_with_ticks(int n) {
    const u32 until = tos.vbl + static_cast<u32>(n);
    for (int guard = 0; tos.vbl < until && guard < 100000; ++guard) {
      emu_post(EV_TICK, 0, 0);
      ASSERT_EQ(emu_iteration(), 1);
    }
  }
};

TEST_F(Pacing, GameClockRunsFiftyVblsASecondWithItsLead) {
  toy_frames = true;
  run_for(0.5);
  const u32 start = tos.vbl;
  run_for(2.0);
  EXPECT_NEAR(static_cast<double>(tos.vbl - start), 100, 1);
  // The machine stays about one lead ahead of the clock.
  EXPECT_NEAR(tos.vbl - emu_clock_at(sim_now), emu.lead, 1.0);
  EXPECT_EQ(emu.menu_clock, 0);
  EXPECT_EQ(emu.stalls, 0);
}

TEST_F(Pacing, FourTicksUnderTheMenuClockAllowThreeVbls) {
  emu.menu_clock = 1;
  for (int i = 0; i < 4; ++i) emu_post(EV_TICK, 0, 0);
  const u32 start = tos.vbl;
  run_for(0.5);
  EXPECT_EQ(tos.vbl - start, 3u);
}

TEST_F(Pacing, FramelessStepsSwitchToTheMenuClockAndAGameFrameBack) {
  emu.menu_hz = 60;
  toy_frames = false;
  // 25 frameless steps keep the game clock; the 26th switches.
  for (int guard = 0; emu.frameless < 25 && guard < 100000; ++guard) ASSERT_EQ(emu_iteration(), 1);
  EXPECT_EQ(emu.menu_clock, 0);
  for (int guard = 0; emu.frameless < 26 && guard < 100000; ++guard) ASSERT_EQ(emu_iteration(), 1);
  EXPECT_EQ(emu.menu_clock, 1);
  EXPECT_EQ(emu.clock_rate, 60);
  EXPECT_EQ(tos.vbl_rate, 60);

  // A new game rate while the menu clock runs is only stored.
  emu_post(EV_GAME_RATE, 55, 0);
  run_steps_with_ticks(1);
  EXPECT_EQ(emu.game_hz, 55);
  EXPECT_EQ(emu.clock_rate, 60);

  toy_frames = true;
  run_steps_with_ticks(2);
  EXPECT_EQ(emu.menu_clock, 0);
  EXPECT_EQ(emu.clock_rate, 55);
  EXPECT_EQ(emu.frameless, 0);
}

TEST_F(Pacing, ResumingFromPauseRunsNoCatchUp) {
  toy_frames = true;
  run_for(0.5);
  emu_post(EV_PAUSE, 1, 0);
  run_for(0.05);
  const u32 paused_at = tos.vbl;
  run_for(5.0);
  EXPECT_EQ(tos.vbl, paused_at);
  emu_post(EV_PAUSE, 0, 0);
  ASSERT_EQ(emu_iteration(), 1);
  // A lead ahead at the resume (the paused pass then slept its 10 ms, half
  // a VBL): nothing runs until the clock has moved on.
  EXPECT_NEAR(emu_clock_at(sim_now - 0.010), tos.vbl - emu.lead, 1e-6);
  run_for(0.2);
  EXPECT_LE(tos.vbl - paused_at, 11u);
  EXPECT_EQ(emu.stalls, 0);
}

TEST_F(Pacing, AStallReBasesTheClockInsteadOfCatchingUp) {
  toy_frames = true;
  run_for(0.5);
  sim_now += 1.0;  // the thread was held up for a second
  const u32 before = tos.vbl;
  run_for(0.2);
  EXPECT_EQ(emu.stalls, 1);
  EXPECT_LE(tos.vbl - before, 12u) << "a second of catch-up would be 50 VBLs";
}

TEST_F(Pacing, EveryReBaseIsAnnouncedToThePresenter) {
  set_rate(50, 2.5);
  auto clocks = take(MSG_CLOCK);
  ASSERT_EQ(clocks.size(), 1u);
  EXPECT_EQ(clocks[0]->wall, sim_now);
  EXPECT_EQ(clocks[0]->vbl, emu.clock_vbl);
  EXPECT_EQ(clocks[0]->rate, 50);
  free_all(clocks);
}

TEST_F(Pacing, QuitEndsTheLoop) {
  emu_post(EV_QUIT, 0, 0);
  EXPECT_EQ(emu_iteration(), 0);
}

} // namespace
