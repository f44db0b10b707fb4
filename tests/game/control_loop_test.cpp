// The game from one game to the next: the main loop's missions, the end
// sequence after the twelfth, the failed game with its quick start, and
// the restart. The main loop runs on the mission machine (every mission
// routine of later work a recording stand-in) with the synthetic disk in
// the loader's cache, so the mission data load is the game's own; the
// mission's outcome is decided at frame_vertical's first hook point.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "game_harness.h"
#include "machine/boot_state.h"
#include "machine/hooks.h"
#include "machine/loader_hold.h"
#include "support/mission_machine.h"
#include "support/resume_check.h"
#include "support/synthetic_disk.h"
#include "support/synthetic_sound.h"

namespace {

constexpr u32 cache = 0x81000;
constexpr u32 disk_size = 819200;
constexpr u32 map_slot = 0x008914, shop_slot = 0x0086BC, complete_slot = 0x008924;
constexpr u32 high_scores = 0x002D9A, first_section = 0x009062, mission_setup = 0x008C64;
constexpr u32 panel_value = 0x00AAF8;
constexpr u32 driver_return = 0xC0FF06; // ends the driver's call

void disk_in_cache() {
  static const std::vector<u8> file = [] {
    synth_game_data g = synth_standard();
    EXPECT_TRUE(synth_place_disk_road(g)) << g.error;
    std::vector<u8> f = synth_bkm(g);
    synth_put_high_scores(f);
    return f;
  }();
  std::copy(file.begin(), file.end(), ram + cache);
  std::copy(file.begin() + boot_block_offset, file.begin() + boot_block_offset + boot_block_size,
            ram + boot_program_address);
  const u8 name[4] = {'B', 'K', 'M', 0};
  std::copy(name, name + 4, ram + cache_file_name);
  wr32(cache_first, 0);
  wr32(cache_end, disk_size);
  wr32(cache_disk_size, disk_size);
  wr32(cache_buffer, cache);
  wr32(cache_window, disk_size);
  wr8(cache_whole_disk, 0xFF);
  wr32(resident_table, 0xC00000);
}

// What the test decides and what it sees.
struct run_plan {
  std::array<int, 4> choices{}; // the missions chosen at the map visits
  bool completes = true;        // the mission's outcome
  bool fire_in_delays = false;  // fire held from the high scores on
};
run_plan plan;
// Counters the stand-ins decide by live in RAM (below the disk cache), so
// that a loaded machine state carries them.
constexpr u32 map_visit_count = 0x80FF0, result_tune_vbls = 0x80FF2;
int title_arrivals;
int map_visits() { return rd16(map_visit_count); }
std::string loading_text;
u32 loading_colour;

// The world map (later work): chooses the planned mission; the visit after
// the planned ones ends the run.
ROUTINE(test_map, 0xC20000)
  wr16(map_visit_count, rd16(map_visit_count) + 1);
  if (map_visits() > static_cast<int>(plan.choices.size()) || plan.choices[map_visits() - 1] < 0)
    JMP(driver_return);
  wr16(chosen_mission, plan.choices[map_visits() - 1]);
  RTS();
END_ROUTINE

// The title (later work): its arrival ends the run.
ROUTINE(test_title, 0xC20100)
  ++title_arrivals;
  JMP(driver_return);
END_ROUTINE

void decide_mission(u32) {
  if (plan.completes)
    wr16(exit_request, 0xFFFF);
  else
    wr16(player1 + player_record::lives, 0);
}

// The text before the load, read back before the first section clears
// nothing but the screens are cleared again after it.
void read_loading_text() {
  loading_text = screen_text(screen_buffer_b, 0x3840, 9, 4);
  loading_colour = screen_cell_colour(screen_buffer_b, 0x3840, 9);
}

// The high scores (later work): what the screen shows when they start,
// and fire held from here on when the plan says so.
std::string end_text, failed_text;
void hold_fire() {
  end_text = screen_text(screen_buffer_b, 0x3980, 0, 3);
  failed_text = screen_text(screen_buffer_b, 0x32A0, 6, 4);
  if (plan.fire_in_delays) wr8(player1 + player_record::fire, 0xFF);
}

void put_text(u32 at, const char* text) {
  for (; *text; ++text) wr8(at++, static_cast<u8>(*text));
  wr8(at, 0);
}

class ControlLoop : public MissionTest {
 protected:
  void SetUp() override {
    MissionTest::SetUp();
    synth_sound_load();
    disk_in_cache();
    load_test_font();
    put_text(0x3924, "LOAD");
    put_text(0x3A3C, "END");
    put_text(0xFE1E, "1 OR 2");
    register_routine(map_slot, test_map);
    register_routine(0x00EC40, test_title);
    stub_records({shop_slot, complete_slot, mission_setup, panel_value});
    stub_records_doing(first_section, read_loading_text);
    stub_records_doing(high_scores, hold_fire);
    hook_register(0x008EE2, decide_mission);
    set_fail_screen_hold(nullptr);
    plan = {};
    title_arrivals = 0;
    loading_text.clear();
    end_text.clear();
    failed_text.clear();
    wr8(last_key, 0x02); // one player at the prompt
    for (u32 i = 0; i < 8; ++i) wr32(hiscore_scores + 4 * i, 0x1000 + i);
  }

  int run(int max_slices = 30000) {
    driver_start(0x00382E);
    return driver_run(max_slices, 2000000, vbl_ending_the_result_tune);
  }

  // The result tune (no Timer C here, so it never ends by itself) stops
  // after ten VBLs of the wait for it.
  static void vbl_ending_the_result_tune() {
    if ((get_sr() >> 8 & 7) >= 4)
      g_cpu.vbl_flag = 1; // masked (the restart's set-up): only the busy-waits see it
    else
      mission_vbl();
    if (!driver_slice_ends().empty() && driver_slice_ends().back() == waited(0x3972)) {
      wr16(result_tune_vbls, rd16(result_tune_vbls) + 1);
      if (rd16(result_tune_vbls) == 10) wr8(tune_playing, 0);
    }
  }
};

TEST_F(ControlLoop, ACompletedMissionMarksItsByteAndGoesBackToTheMap) {
  struct row {
    std::array<u8, 12> done_before;
    int mission;
  };
  const row rows[] = {
      {{}, 4},
      {{0, 0, 0, 0, 0xFF, 0, 0, 0, 0, 0, 0, 0}, 4}, // already set: no byte changes
      {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0}, 3},
  };
  for (const row& r : rows) {
    SetUp();
    plan.choices = {r.mission, -1, -1, -1};
    for (u32 i = 0; i < 12; ++i) wr8(missions_done + i, r.done_before[i]);
    wr16(text_line, 0x1234); // whatever the cursor held
    wr16(text_colour, 9);
    run();
    ASSERT_TRUE(driver_finished()) << "mission " << r.mission;
    EXPECT_EQ(map_visits(), 2) << "back to the map";
    EXPECT_EQ(title_arrivals, 0);
    for (u32 i = 0; i < 12; ++i)
      EXPECT_EQ(rd8(missions_done + i), i == static_cast<u32>(r.mission) ? 0xFFu : r.done_before[i]) << i;
    EXPECT_EQ(loading_text, "LOAD");
    EXPECT_EQ(loading_colour, 1u);
    EXPECT_EQ(stub_call_count(shop_slot), 1);
    EXPECT_EQ(stub_call_count(complete_slot), 1);
    EXPECT_EQ(stub_call_count(high_scores), 0);
    EXPECT_EQ(rd16(two_player_flag), 0x0000u);
    EXPECT_EQ(rd8(music_level), 15u);
  }
}

TEST_F(ControlLoop, TheLastOpenMissionEndsTheGameWithTheEndSequenceAndTheTitle) {
  for (bool fire : {false, true}) {
    SetUp();
    plan.choices = {11, -1, -1, -1};
    plan.fire_in_delays = fire;
    for (u32 i = 0; i < 11; ++i) wr8(missions_done + i, 0xFF);
    wr32(random_seed, 0x0BADCAFE);
    const int slices = run();
    ASSERT_TRUE(driver_finished()) << "fire " << fire;
    EXPECT_EQ(title_arrivals, 1);
    EXPECT_EQ(map_visits(), 1);
    EXPECT_EQ(stub_call_count(high_scores), 1);
    for (u32 i = 0; i < 12; ++i) EXPECT_EQ(rd8(missions_done + i), 0u) << "the restart opens mission " << i;
    EXPECT_EQ(end_text, "END");
    EXPECT_EQ(rd32(random_seed), 0x0BADCAFEu) << "the seed lives on";
    for (u32 i = 0; i < 8; ++i) EXPECT_EQ(rd32(hiscore_scores + 4 * i), 0x1000 + i);
    EXPECT_EQ(rd32(quick_start), 0u);
    // Two delays of 9,000,000 counts take about 7,200 VBLs; fire from the
    // high scores on ends the second at once.
    if (fire)
      EXPECT_LT(slices, 4000);
    else
      EXPECT_GT(slices, 7000);
  }
}

TEST_F(ControlLoop, AFailedGameShowsTheFailedScreenAndFireSkipsTheTitle) {
  for (bool fire : {false, true}) {
    SetUp();
    plan.choices = {2, -1, -1, -1};
    plan.completes = false;
    plan.fire_in_delays = fire;
    wr32(random_seed, 0x0BADCAFE);
    put_text(0xA9FA, "LOST");
    put_text(0xAA17, "");
    run(12000);
    EXPECT_EQ(stub_call_count(high_scores), 1);
    EXPECT_EQ(stub_call_count(complete_slot), 0);
    EXPECT_EQ(failed_text, "LOST") << "the failed screen";
    EXPECT_EQ(rd32(random_seed), 0x0BADCAFEu) << "the seed lives on";
    for (u32 i = 0; i < 8; ++i) EXPECT_EQ(rd32(hiscore_scores + 4 * i), 0x1000 + i);
    EXPECT_EQ(rd16(player1 + player_record::lives), 0u) << "the work area is cleared";
    if (fire) {
      // The next game waits at the prompt (its key was cleared with the
      // work area), with no title.
      EXPECT_FALSE(driver_finished());
      EXPECT_EQ(title_arrivals, 0);
      EXPECT_NE(rd32(quick_start), 0u);
      EXPECT_EQ(driver_slice_ends().back(), waited(0xFDF0));
    } else {
      EXPECT_TRUE(driver_finished());
      EXPECT_EQ(title_arrivals, 1);
      EXPECT_EQ(rd32(quick_start), 0u);
    }
  }
}

TEST_F(ControlLoop, ResumesAtEveryLabel) {
  plan.choices = {4, -1, -1, -1};
  EXPECT_TRUE(resumes_alike({.entry = 0x00382E, .between = vbl_ending_the_result_tune, .load_every = 512}));
}

} // namespace
