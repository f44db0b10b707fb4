// The whole synthetic mission played from the boot to the goal
// (support/whole_mission_run.h): its outcome, the same frames again in a
// second run, with tiny slices and from states saved inside a pass, and no
// RAM written outside what a mission may write.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "machine/game_data.h"
#include "machine/gemdos.h"
#include "support/machine_fixture.h"
#include "support/routine_stubs.h"
#include "support/temp_dir.h"
#include "support/whole_mission_run.h"

namespace {

TEST(FrameHash, OneChangedPixelOrColourChangesIt) {
  std::vector<u8> screen(screen_bytes, 0x5A), palette(32, 0x07);
  const std::string base = screen_hash(screen.data(), palette.data());
  EXPECT_EQ(base.size(), 12u);
  EXPECT_EQ(screen_hash(screen.data(), palette.data()), base);
  // one pixel: one bit of one plane word, at the first, a middle and the last byte
  for (u32 at : {0u, 16007u, screen_bytes - 1}) {
    for (u8 bit : {0x01, 0x80}) {
      screen[at] ^= bit;
      EXPECT_NE(screen_hash(screen.data(), palette.data()), base) << "byte " << at;
      screen[at] ^= bit;
    }
  }
  palette[31] ^= 1;
  EXPECT_NE(screen_hash(screen.data(), palette.data()), base) << "colour 15";
}

class WholeMission : public MachineTest {
 protected:
  temp_dir folder;

  void SetUp() override {
    MachineTest::SetUp();
    setenv("BKM_FOPEN", "1", 1);
  }
  void TearDown() override {
    unsetenv("BKM_FOPEN");
    gemdos_close_all();
    game_data_release();
    MachineTest::TearDown();
  }

  mission_run play(u32 budget, resume_at resume = resume_at::nowhere) {
    gemdos_close_all();
    game_data_release();
    machine_clear();
    EXPECT_EQ(whole_mission_built().error, "");
    mission_run run = play_whole_mission(folder.path, whole_mission_built().file, {budget, resume, true});
    EXPECT_EQ(run.failure, "");
    return run;
  }
};

TEST_F(WholeMission, PlaysFromTheBootToTheGoal) {
  const mission_run run = play(2000000);
  EXPECT_EQ(run.breaches, "") << "RAM written outside what a mission may write";
  ASSERT_TRUE(run.finished) << "the frame loop returned; " << run.frames.size() << " frames, stream "
                             << run.stream;
  EXPECT_NE(run.exit, 0u) << "completed";
  EXPECT_GE(run.score1, 2000u) << "the goal's points";
  EXPECT_TRUE(run.player2_died) << "in the window without invulnerability";
  EXPECT_EQ(run.lives1, 3u);
  EXPECT_EQ(run.lives2, 2u) << "respawned with a life less";
  EXPECT_EQ(run.level, 3u);
  EXPECT_EQ(run.stream, 6u);
  ASSERT_EQ(run.horizontal_steps.size(), 3u);
  for (size_t h = 0; h < 3; ++h) EXPECT_EQ(run.horizontal_passes[h], 384) << "H" << h;
  EXPECT_EQ(run.horizontal_steps[0], -2) << "mission word 0 becomes 1 at H0: odd scrolls left";
  EXPECT_LT(run.horizontal_steps[0] * run.horizontal_steps[1], 0);
  EXPECT_LT(run.horizontal_steps[1] * run.horizontal_steps[2], 0);
  std::printf("[ mission  ] %zu frames, %d VBLs, scores %u and %u\n", run.frames.size(), run.vbls, run.score1,
              run.score2);
}


// The first frame at which two runs differ, or "" when every frame and the
// end agree.
std::string first_difference(const mission_run& a, const mission_run& b) {
  const size_t n = std::min(a.frames.size(), b.frames.size());
  for (size_t i = 0; i < n; ++i)
    if (a.frames[i].hash != b.frames[i].hash || a.frames[i].frame != b.frames[i].frame)
      return "frame " + std::to_string(i) + " (fx_bank " + std::to_string(a.frames[i].frame) + ", stream " +
             std::to_string(a.frames[i].stream) + ")";
  if (a.frames.size() != b.frames.size())
    return "frame counts " + std::to_string(a.frames.size()) + " and " + std::to_string(b.frames.size());
  if (a.exit != b.exit || a.score1 != b.score1 || a.score2 != b.score2 || a.level != b.level ||
      a.stream != b.stream || a.horizontal_passes != b.horizontal_passes)
    return "the end";
  return "";
}

// Each object table is seen live in the run; a table whose filling routine
// is later work is only reported while its stand-in runs.
TEST_F(WholeMission, EveryObjectTableIsFilled) {
  const mission_run run = play(2000000);
  ASSERT_TRUE(run.finished);
  const struct {
    const char* table;
    u32 filled_by; // the routine that fills it
  } census[] = {
      {"enemy_table", 0x00AFA2},          {"bullet_table", 0x009614},
      {"grenade_table", 0x006BEA},        {"dot_bullet_table", 0x00AB5C},
      {"explosion_table", 0x006CA8},      {"debris_table", 0x0063A4},
      {"projectile_table", 0x009FE0},     {"effect_table", 0x00B6A6},
      {"installation_table", 0x006F2A},   {"vehicle_table", 0x006026},
      {"section_object_table", 0x0052FA}, {"section_installation_table", 0x004C2E},
      {"homing_unit_table", 0x00AFA2},    {"goal_record", 0x00AFA2},
  };
  for (const auto& c : census) {
    const bool live = std::find(run.live_tables.begin(), run.live_tables.end(), c.table) != run.live_tables.end();
    if (stubbed(c.filled_by)) {
      std::printf("[ census   ] %s waits for $%06X (%s)\n", c.table, c.filled_by, live ? "live" : "not live");
      continue;
    }
    EXPECT_TRUE(live) << c.table;
  }
}

TEST_F(WholeMission, TwoRunsInOneProcessDrawTheSameFrames) {
  const mission_run first = play(2000000);
  const mission_run second = play(2000000);
  ASSERT_TRUE(first.finished && second.finished);
  EXPECT_EQ(first_difference(first, second), "");
}

TEST_F(WholeMission, TinySlicesDrawTheSameFramesAndEnd) {
  const mission_run whole = play(2000000);
  const mission_run tiny = play(whole_mission_tiny_budget);
  ASSERT_TRUE(whole.finished && tiny.finished);
  EXPECT_EQ(whole.budget_ends, 0);
  EXPECT_GT(tiny.budget_ends, 5 * static_cast<int>(tiny.frames.size())) << "several slices a frame end inside the routines' loops";
  std::printf("[ tiny     ] %d slices cut by their budget in %zu frames\n", tiny.budget_ends, tiny.frames.size());
  EXPECT_EQ(first_difference(whole, tiny), "");
}

TEST_F(WholeMission, StatesSavedInsideAPassPlayOnToTheSameEnd) {
  const mission_run whole = play(whole_mission_tiny_budget);
  ASSERT_TRUE(whole.finished);
  for (resume_at at : {resume_at::horizontal_pass, resume_at::vertical_pass}) {
    const mission_run resumed = play(whole_mission_tiny_budget, at);
    EXPECT_EQ(resumed.saves, 1) << "saved and loaded once, " << (at == resume_at::horizontal_pass ? "horizontal" : "vertical");
    ASSERT_TRUE(resumed.finished);
    EXPECT_EQ(first_difference(whole, resumed), "") << (at == resume_at::horizontal_pass ? "horizontal" : "vertical");
  }
}

} // namespace
