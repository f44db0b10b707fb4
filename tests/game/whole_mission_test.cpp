// The whole synthetic mission played from the boot to the goal
// (support/runs/whole_mission_run.h): its outcome, the same frames again in a
// second run, with tiny slices and from states saved inside a pass, and no
// RAM written outside what a mission may write.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "machine/game_data.h"
#include "machine/gemdos.h"
#include "support/graphics/contact_sheet.h"
#include "support/runs/golden_frames.h"
#include "support/machine/machine_fixture.h"
#include "support/machine/routine_stubs.h"
#include "support/temp_dir.h"
#include "support/runs/whole_mission_census.h"
#include "support/runs/whole_mission_run.h"

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

  mission_run play(u32 budget, resume_at resume = resume_at::nowhere, bool keep_screens = false) {
    gemdos_close_all();
    game_data_release();
    machine_clear();
    EXPECT_EQ(whole_mission_built().error, "");
    mission_run run =
        play_whole_mission(folder.path, whole_mission_built().file, {budget, resume, true, keep_screens});
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

// The census: every object table is seen live in the run, filled by its
// own routine, and every way of destroying things happens at least once.
TEST_F(WholeMission, CensusSeesEveryTableLiveAndEveryDestructionPath) {
  const mission_run run = play(2000000);
  ASSERT_TRUE(run.finished);
  const struct {
    const char* table;
    u32 filled_by; // the routine that fills it
  } tables[] = {
      {"enemy_table", 0x00AFA2},          {"bullet_table", 0x009614},
      {"grenade_table", 0x006BEA},        {"dot_bullet_table", 0x00AB5C},
      {"explosion_table", 0x006CA8},      {"debris_table", 0x0063A4},
      {"projectile_table", 0x009FE0},     {"effect_table", 0x00B6A6},
      {"installation_table", 0x006F2A},   {"vehicle_table", 0x006026},
      {"section_object_table", 0x0052FA}, {"section_installation_table", 0x004C2E},
      {"homing_unit_table", 0x00AFA2},    {"goal_record", 0x00AFA2},
  };
  for (const auto& t : tables) {
    EXPECT_TRUE(routine_written(t.filled_by)) << t.table;
    EXPECT_TRUE(std::find(run.live_tables.begin(), run.live_tables.end(), t.table) != run.live_tables.end()) << t.table;
  }
  const char* const paths[] = {
      census_installation_wreck, census_hinstallation_wreck, census_vehicle_with_units,
      census_object_by_blast,    census_object_by_probe,     census_enemy_by_bullet,
      census_enemy_by_dot,       census_enemy_by_effect,     census_enemy_by_blast,
      census_homing_unit,        census_chain,               census_debris,
      census_impact,             census_death_respawn,
  };
  for (const char* path : paths)
    EXPECT_TRUE(std::find(run.paths_seen.begin(), run.paths_seen.end(), path) != run.paths_seen.end()) << path;
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

// Every unit hook of the drawing routines keeps its contract through the
// whole mission: the register holds a record of the kind's table, each
// opened unit is closed by its exit before the next entry, and the kinds
// that end at their return return to a return-point hook; nothing is drawn
// between a unit's entry and its exit outside the box of its picture.
TEST_F(WholeMission, UnitHooksKeepTheirContract) {
  const mission_run run = play(2000000);
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.hook_breach, "");
  EXPECT_EQ(run.box_breach, "") << "drawn between a unit's entry and exit outside its picture's box";
  EXPECT_EQ(run.boxes_checked, run.units) << "every opened unit's drawing compared with its box";
  EXPECT_GT(run.idle_records_checked, 0) << "free records pass their hooks with nothing drawn";
  std::vector<std::string> seen = run.unit_kinds_seen;
  std::sort(seen.begin(), seen.end());
  std::string kinds;
  for (const std::string& k : seen) kinds += " " + k;
  std::printf("[ units    ] %d units:%s; %d free records at golden frames\n", run.units, kinds.c_str(),
              run.idle_records_checked);
  for (const char* kind : {"player", "enemy", "obj5e32", "obj5f1a", "fx", "veh", "veh6", "veh4", "bullet", "bullet2", "boom", "turret"})
    EXPECT_NE(std::find(seen.begin(), seen.end(), kind), seen.end()) << kind;
}

// --- the golden file ----------------------------------------------------------

golden_file golden_of(const mission_run& run) {
  golden_file g;
  g.image_hash = whole_mission_built().image_hash;
  for (size_t i = 0; i < run.frames.size(); ++i) {
    const unsigned previous = i == 0 ? run.frames[i].stream : run.frames[i - 1].stream;
    if (golden_frame_wanted(i, run.frames[i].stream, previous, i + 1 == run.frames.size()))
      g.frames.push_back({i, run.frames[i].frame, run.frames[i].stream, run.frames[i].hash});
  }
  std::vector<std::string> live = run.live_tables;
  std::sort(live.begin(), live.end());
  std::string tables;
  for (const std::string& t : live) tables += (tables.empty() ? "" : ",") + t;
  std::vector<std::string> paths = run.paths_seen;
  std::sort(paths.begin(), paths.end());
  std::string census;
  for (const std::string& p : paths) census += (census.empty() ? "" : ",") + p;
  g.summary = {{"frames", std::to_string(run.frames.size())},
               {"exit", std::to_string(run.exit)},
               {"score1", std::to_string(run.score1)},
               {"score2", std::to_string(run.score2)},
               {"lives1", std::to_string(run.lives1)},
               {"lives2", std::to_string(run.lives2)},
               {"level", std::to_string(run.level)},
               {"stream", std::to_string(run.stream)},
               {"player2_died", run.player2_died ? "yes" : "no"},
               {"live_tables", tables},
               {"census", census}};
  return g;
}

bool write_text(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  return static_cast<bool>(out);
}

// The pictures of the golden frames and, when given, a candidate file, into
// the build folder: never the source tree.
std::string write_output(const mission_run& run, const std::string& candidate) {
  const std::string dir = WHOLE_MISSION_OUTPUT_DIR;
  std::filesystem::create_directories(dir);
  for (const auto& entry : std::filesystem::directory_iterator(dir))
    if (entry.path().extension() == ".png") std::filesystem::remove(entry.path());
  for (const frame_picture& p : run.pictures) {
    char name[48];
    std::snprintf(name, sizeof name, "/frame%04zu_stream%u.png", p.index, run.frames[p.index].stream);
    EXPECT_TRUE(write_frame_png(p, dir + name)) << name;
  }
  if (!candidate.empty()) {
    EXPECT_TRUE(write_text(dir + "/whole_mission.golden", candidate));
  }
  return dir;
}

constexpr const char* golden_how =
    "To write it after a deliberate change, run the game tests with BKM_GOLDEN_REASON=\"<why the frames change>\" "
    "(never under CI), look at every picture written into the build folder, then commit the file.";

// The golden file is written only on an explicit request naming a reason;
// a missing, broken or different file fails and leaves the pictures and a
// candidate in the build folder.
TEST_F(WholeMission, DrawsTheGoldenFrames) {
  const mission_run run = play(2000000, resume_at::nowhere, true);
  ASSERT_TRUE(run.finished);
  // For the eye: the middle golden frame of every section, V1's with the
  // vehicles at the playfield's edges.
  for (unsigned s = 0; s < 7; ++s) {
    const auto in_section = [&](const frame_picture& p) { return run.frames[p.index].stream == s; };
    const long middle = std::count_if(run.pictures.begin(), run.pictures.end(), in_section) / 2;
    long seen = 0;
    for (const frame_picture& p : run.pictures)
      if (in_section(p) && seen++ == middle) {
        EXPECT_TRUE(write_contact_sheet("mission_section" + std::to_string(s), p.screen.data(), p.palette.data()));
      }
  }
  golden_file now = golden_of(run);
  ASSERT_EQ(run.pictures.size(), now.frames.size()) << "a picture for every golden frame";

  std::string old_text;
  if (std::ifstream in{WHOLE_MISSION_GOLDEN_PATH, std::ios::binary}) {
    std::ostringstream all;
    all << in.rdbuf();
    old_text = all.str();
  }
  golden_file golden;
  std::string why;
  const bool parsed = !old_text.empty() && golden_parse(old_text, golden, why);

  const char* reason = std::getenv("BKM_GOLDEN_REASON");
  if (reason != nullptr && *reason != '\0') {
    ASSERT_EQ(std::getenv("CI"), nullptr) << "the golden file is never written under CI";
    now.reasons = parsed ? golden.reasons : std::vector<std::string>{};
    now.reasons.push_back(std::string("reason: ") + reason);
    ASSERT_TRUE(write_text(WHOLE_MISSION_GOLDEN_PATH, golden_text(now)));
    const std::string dir = write_output(run, "");
    std::printf("[ golden   ] wrote %s; look at every picture in %s before committing\n", WHOLE_MISSION_GOLDEN_PATH,
                dir.c_str());
    return;
  }

  now.reasons = parsed ? golden.reasons : std::vector<std::string>{"reason: candidate"};
  if (old_text.empty()) {
    const std::string dir = write_output(run, golden_text(now));
    FAIL() << "no golden file at " << WHOLE_MISSION_GOLDEN_PATH << ". " << golden_how << " Pictures in " << dir;
  }
  if (!parsed) {
    const std::string dir = write_output(run, golden_text(now));
    FAIL() << WHOLE_MISSION_GOLDEN_PATH << ": " << why << ". " << golden_how << " Candidate and pictures in " << dir;
  }
  const std::string difference = golden_difference(golden, now);
  if (!difference.empty()) {
    const std::string dir = write_output(run, golden_text(now));
    FAIL() << difference << ". " << golden_how << " Candidate and pictures in " << dir;
  }
}

} // namespace
