// The emulation thread's pacing, one pass of its loop at a time on a
// simulated clock: the game clock with its lead, the menu clock with its
// tick permits, the switch between them, pause and stalls.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "host/emu_fixture.h"
#include "sound/audio_assembly.h"
#include "sound/audio_output.h"

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

// An ahead machine waits only until its next step is due (whole
// milliseconds, as the event wait counts them), never the full wait past it.
TEST_F(Pacing, AStepRunsWithinAMillisecondOfItsDueTime) {
  toy_frames = true;
  emu.lead = 3.68;  // due times fall between whole milliseconds
  run_for(0.5);
  double latest = 0;
  int steps = 0;
  while (steps < 100) {
    const u32 before = tos.vbl;
    const double due = emu.clock_wall + (before - emu.lead - emu.clock_vbl) / emu.clock_rate;
    const double at = sim_now;
    ASSERT_EQ(emu_iteration(), 1);
    if (tos.vbl == before) continue;
    ++steps;
    EXPECT_GE(at, due - 1e-9);
    latest = std::max(latest, at - due);
  }
  EXPECT_LT(latest, 0.001 + 1e-9);
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
  // No permit was banked under the game clock: nothing runs without a tick.
  const u32 at_switch = tos.vbl;
  run_for(0.2);
  EXPECT_EQ(tos.vbl, at_switch);

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

// A pause that arrives with the events of a due step stops the machine
// before that step, and the thread goes on (paused, its music playing).
TEST_F(Pacing, APauseArrivingWhenAStepIsDueStopsTheStepNotTheThread) {
  toy_frames = true;
  run_for(0.5);
  sim_now += 0.1;  // five VBLs behind: a step is due
  emu_post(EV_PAUSE, 1, 0);
  const u32 before = tos.vbl;
  const int slices = toy_slices;
  EXPECT_EQ(emu_iteration(), 1);
  EXPECT_EQ(tos.vbl, before);
  EXPECT_EQ(toy_slices, slices);
  EXPECT_EQ(emu.paused, 1);
  run_for(0.5);
  EXPECT_EQ(tos.vbl, before);
}

// Ahead of the clock the thread waits for events at most 2 ms at a time
// (the simulated sleep stands for the event wait and records its length),
// so a joystick change reaches the machine within that.
TEST_F(Pacing, AnAheadMachineWaitsAtMostTwoMilliseconds) {
  toy_frames = true;
  run_for(0.5);
  emu.clock_vbl -= 100;  // two seconds ahead: every pass waits
  const u32 vbl = tos.vbl;
  for (int menu_clock : {0, 1}) {
    emu.menu_clock = menu_clock;
    emu.ticks = 0;
    const double before = sim_now;
    ASSERT_EQ(emu_iteration(), 1);
    EXPECT_NEAR(sim_now - before, 0.002, 1e-9) << "menu clock " << menu_clock;
  }
  EXPECT_EQ(tos.vbl, vbl);
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

TEST_F(Pacing, StatisticsEveryTwoSecondsKeepTheStallCount) {
  toy_frames = true;
  run_for(0.5);
  std::vector<present_msg*> old = take(MSG_STATS);
  free_all(old);
  const double start = sim_now;
  run_for(2.2);
  std::vector<present_msg*> stats = take(MSG_STATS);
  ASSERT_EQ(stats.size(), 1u);
  // 100 VBLs in two seconds, 50 a second; the first report also counts
  // the lead run at the start.
  EXPECT_NEAR(stats[0]->stats.steps_per_s, 50 + emu.lead / 2, 1);
  EXPECT_EQ(stats[0]->stats.stalls, 0);
  EXPECT_GE(stats[0]->stats.step_ms, 0);
  EXPECT_GE(stats[0]->stats.longest_ms, stats[0]->stats.step_ms);
  free_all(stats);
  // A stall of a second: re-based once, and the count survives the reports.
  sim_now += 1.0;
  run_for(4.0);
  stats = take(MSG_STATS);
  ASSERT_EQ(stats.size(), 2u);
  EXPECT_EQ(stats[0]->stats.stalls, 1);
  EXPECT_EQ(stats[1]->stats.stalls, 1);
  EXPECT_NEAR(stats[1]->stats.steps_per_s, 50, 1);
  free_all(stats);
  EXPECT_GT(sim_now - start, 6);
}

TEST_F(Pacing, PausedTheMachineStopsAndItsMusicGoesOn) {
  audio_output* out = audio_output_new(44100, 1e7, 1024);
  audio_shutdown();
  audio_config c;
  c.output = out;
  audio_start(c);
  emu.cfg.audio = out;
  emu.audio_on = 1;
  run_for(0.5);
  int gaps = 0, trims = 0;
  u64 before = 0, after = 0;
  audio_stats(out, &gaps, &trims, &before);
  emu_post(EV_PAUSE, 1, 0);
  const u32 paused_at = tos.vbl;
  run_for(1.0);
  EXPECT_EQ(tos.vbl, paused_at);
  audio_stats(out, &gaps, &trims, &after);
  // One VBL of audio (882 frames) for each fiftieth of a second.
  EXPECT_NEAR(static_cast<double>(after - before) / 4, 44100, 2 * 882);  // bytes of 16-bit stereo
  // Without sound the paused thread only waits.
  emu_post(EV_AUDIO, 0, 0);
  run_for(0.1);
  audio_stats(out, &gaps, &trims, &before);
  run_for(1.0);
  audio_stats(out, &gaps, &trims, &after);
  EXPECT_EQ(after, before);
  audio_shutdown();
  audio_start(audio_config{});
  emu.cfg.audio = nullptr;
  audio_output_free(out);
}

} // namespace

namespace {

// A new game rate under the game clock re-bases the clock where it stands:
// the machine neither runs ahead to catch up nor waits, it goes on at the
// new rate from the VBL the clock was at.
TEST_F(Pacing, ANewGameRateUnderTheGameClockKeepsTheClockWhereItWas) {
  for (double rate : {25.0, 50.0, 60.0, 100.0}) {
    SCOPED_TRACE(rate);
    toy_frames = true;
    run_for(0.5);
    ASSERT_EQ(emu.menu_clock, 0);
    msgq_clear();
    const double at = emu_clock_at(sim_now);
    const emu_event ev{EV_GAME_RATE, rate, 0};
    EXPECT_EQ(handle_event(&ev), 0);
    EXPECT_DOUBLE_EQ(emu_clock_at(sim_now), at);
    EXPECT_EQ(emu.game_hz, rate);
    EXPECT_EQ(emu.clock_rate, rate);
    EXPECT_EQ(tos.vbl_rate, rate);
    auto clocks = take(MSG_CLOCK);
    ASSERT_EQ(clocks.size(), 1u);
    EXPECT_EQ(clocks[0]->wall, sim_now);
    EXPECT_DOUBLE_EQ(clocks[0]->vbl, at);
    EXPECT_EQ(clocks[0]->rate, rate);
    free_all(clocks);
    const u32 before = tos.vbl;
    run_for(1.0);
    EXPECT_NEAR(static_cast<double>(tos.vbl - before), rate, 1);
    EXPECT_EQ(emu.stalls, 0);
  }
}

} // namespace

namespace {

// Each report counts only the steps since the one before: the count, the
// longest step and the slow steps start again from nothing (steps take no
// time on the simulated clock).
TEST_F(Pacing, EachStatisticsReportCountsOnlyItsOwnPeriod) {
  toy_frames = true;
  msgq_clear();
  std::vector<present_stats> reports;
  std::vector<u32> at;  // the VBL after the step that sent each report
  for (int guard = 0; reports.size() < 3 && guard < 100000; ++guard) {
    ASSERT_EQ(emu_iteration(), 1);
    std::vector<present_msg*> stats = take(MSG_STATS);
    for (present_msg* m : stats) {
      reports.push_back(m->stats);
      at.push_back(tos.vbl);
    }
    free_all(stats);
  }
  ASSERT_EQ(reports.size(), 3u);
  for (size_t i = 1; i < reports.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(reports[i].steps_per_s * 2, at[i] - at[i - 1]);
    EXPECT_EQ(reports[i].step_ms, 0);
    EXPECT_EQ(reports[i].longest_ms, 0);
    EXPECT_EQ(reports[i].slow_steps, 0);
  }
}

} // namespace
