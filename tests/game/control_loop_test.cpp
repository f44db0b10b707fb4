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
#include "machine/dispatch.h"
#include "machine/hooks.h"
#include "machine/loader_hold.h"
#include "support/machine/disk_cache.h"
#include "support/machine/dispatch_check.h"
#include "support/machine/mission_machine.h"
#include "support/machine/resume_check.h"
#include "support/synthetic/synthetic_disk.h"
#include "support/synthetic/synthetic_map.h"
#include "game/map_ram.h"
#include "support/synthetic/synthetic_sound.h"

namespace {


constexpr u32 cache = 0x81000;
constexpr u32 disk_size = 819200;
constexpr u32 first_section = 0x009062, mission_setup = 0x008C64;
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
  put_disk_in_cache(file, cache);
}

// What the test decides and what it sees.
struct run_plan {
  std::array<int, 4> choices{}; // the missions chosen at the map visits
  bool completes = true;        // the mission's outcome
  bool fire_in_delays = false;  // fire held from the high scores on
};
run_plan plan;
// Counters the test decides by live in RAM (below the disk cache), so
// that a loaded machine state carries them: the map visits ended, the VBLs
// of a wait for the end of a tune, and whether the map or the shop was
// seen at the last VBL.
constexpr u32 shop_visit_count = 0x80FF0, result_tune_vbls = 0x80FF2, on_the_map = 0x80FF4, in_the_shop = 0x80FF6;
int title_arrivals;
// Back on the map after the planned visits: the map's pass waiting.
bool back_on_the_map() {
  return rd8(split_map) == 0xFF && !driver_slice_ends().empty() && driver_slice_ends().back() == waited(0x79E2);
}
std::string loading_text;
u32 loading_colour;
bool loading_screen_clear; // nothing on the screen but the loading text

// The map: the stick of player 1 steers to the planned mission's box and
// fires there; the shop counts the visits in RAM, and a map visit past the
// planned ones only waits.
void steer_on_the_map() {
  if (rd8(split_map) != 0xFF) {
    if (rd8(on_the_map)) wr16(shop_visit_count, rd16(shop_visit_count) + 1); // the map's choice leads to the shop
    wr8(on_the_map, 0);
    return;
  }
  wr8(on_the_map, 0xFF);
  const int visit = rd16(shop_visit_count);
  wr8(player1 + player_record::fire, 0);
  if (visit >= static_cast<int>(plan.choices.size()) || plan.choices[static_cast<size_t>(visit)] < 0) return;
  const synth_map_box& b = synth_map_content().boxes[static_cast<size_t>(plan.choices[static_cast<size_t>(visit)])];
  const u32 x = rd16(map_cursor_x), y = rd16(map_cursor_y), tx = synth_box_centre_x(b), ty = synth_box_centre_y(b);
  wr8(player1 + player_record::right, x < tx ? 0xFF : 0);
  wr8(player1 + player_record::left, x > tx ? 0xFF : 0);
  wr8(player1 + player_record::down, y < ty ? 0xFF : 0);
  wr8(player1 + player_record::up, y > ty ? 0xFF : 0);
  if (x == tx && y == ty) wr8(player1 + player_record::fire, 0xFF);
}
// The shop (its palette has colour 14 = $047): the stick of player 1 goes
// to weapon 0 and buys it, then to the leave cell (312, 132) and fires
// there. Leaving the shop lets go of the stick.
void steer_in_the_shop() {
  const bool shop = rd8(split_map) != 0xFF && rd16(0xFF825C) == 0x047;
  if (!shop) {
    if (rd8(in_the_shop))
      for (u32 b = player_record::right; b <= player_record::fire; ++b) wr8(player1 + b, 0);
    wr8(in_the_shop, 0);
    return;
  }
  wr8(in_the_shop, 0xFF);
  const bool bought = rd8(player1 + 0x66) != 0;
  const u32 x = rd16(map_cursor_x), y = rd16(map_cursor_y), tx = bought ? 312 : 32, ty = bought ? 132 : 12;
  wr8(player1 + player_record::right, x < tx ? 0xFF : 0);
  wr8(player1 + player_record::left, x > tx + 3 ? 0xFF : 0);
  wr8(player1 + player_record::down, y < ty ? 0xFF : 0);
  wr8(player1 + player_record::up, y > ty + 3 ? 0xFF : 0);
  wr8(player1 + player_record::fire, x >= tx && x <= tx + 3 && y >= ty && y <= ty + 3 ? 0xFF : 0);
}

// The title: its arrival ends the run (the title itself is tested on its
// own and in the run from the boot to a mission).
ROUTINE(test_title, 0xC20100)
  ++title_arrivals;
  JMP(driver_return);
END_ROUTINE

u32 level_in_mission;
std::vector<u32> tunes, levels_at_tune_starts;
void hold_fire();
// Tune 5 starts the high scores.
void note_tune(u32) {
  tunes.push_back(g_cpu.d[0] & 0xFFFF);
  levels_at_tune_starts.push_back(rd8(music_level));
  if ((g_cpu.d[0] & 0xFFFF) == 5) hold_fire();
}
int tune_count(u32 tune) { return static_cast<int>(std::count(tunes.begin(), tunes.end(), tune)); }

void decide_mission(u32) {
  level_in_mission = rd8(music_level);
  if (plan.completes)
    wr16(exit_request, 0xFFFF);
  else
    wr16(player1 + player_record::lives, 0);
}

// The text before the load, read back as the first section begins (the
// screen set-up after it clears the screens), then the game's own first
// section.
ROUTINE(first_section_reading, 0xC20200)
  loading_text = screen_text(screen_buffer_b, 0x3840, 9, 4);
  loading_colour = screen_cell_colour(screen_buffer_b, 0x3840, 9);
  loading_screen_clear = true;
  for (u32 i = 0; i < 32000; ++i)
    if ((i < 0x3840 || i >= 0x3840 + 1440) && rd8(screen_buffer_b + i) != 0) loading_screen_clear = false;
  game_table_try(first_section);
END_ROUTINE

// The high scores: what the screen shows when they start, and fire held
// from here on when the plan says so.
std::string end_text, failed_text;
void hold_fire() {
  end_text = screen_text(screen_buffer_b, 0x3980, 0, 3);
  failed_text = screen_text(screen_buffer_b, 0x32A0, 6, 4);
  if (plan.fire_in_delays) wr8(player1 + player_record::fire, 0xFF);
}

// The restart after the end sequence: what the screen shows then, in which
// colours, and how many VBLs the black pause before it waited.
std::string text_at_restart;
std::array<u32, 16> palette_at_restart, start_palette_at_restart;
int pause_vbls_at_restart;
ROUTINE(restart_seen, 0xC20280)
  text_at_restart = screen_text(screen_buffer_b, 0x3980, 0, 3);
  for (u32 i = 0; i < 16; ++i) {
    palette_at_restart[i] = rd16(0xFF8240 + 2 * i);
    start_palette_at_restart[i] = rd16(0x008C24 + 2 * i);
  }
  pause_vbls_at_restart = 0;
  for (auto e = driver_slice_ends().rbegin(); e != driver_slice_ends().rend() && *e == waited(0x75A8); ++e)
    ++pause_vbls_at_restart;
  game_table_try(0x00373A);
END_ROUTINE

void put_text(u32 at, const char* text) {
  for (; *text; ++text) wr8(at++, static_cast<u8>(*text));
  wr8(at, 0);
}

// The seed is never reset: it is the one the test set, or that one after a
// few draws of the generator (the mission set-up draws the right-hand
// mission picture with it).
bool seed_follows(u32 start, u32 seed) {
  for (int draws = 0; draws < 64; ++draws) {
    if (start == seed) return true;
    const u32 v = start << 1;
    start = v | (((v >> 23) ^ (v >> 1)) & 1);
  }
  return false;
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
    synth_map_file_in_cache(synth_map_content(), cache);
    synth_map_tables_in_ram(synth_map_content());
    dispatch_register_over(0x00EC40, test_title);
    stub_records({mission_setup, panel_value});
    dispatch_register_over(first_section, first_section_reading);
    hook_register(0x008EE2, decide_mission);
    hook_register(0x041BCC, note_tune);
    tunes.clear();
    levels_at_tune_starts.clear();
    level_in_mission = 0;
    set_fail_screen_hold(nullptr); // a host without a hold
    plan = {};
    title_arrivals = 0;
    loading_text.clear();
    loading_screen_clear = false;
    end_text.clear();
    failed_text.clear();
    wr8(last_key, 0x02); // one player at the prompt
    for (u32 i = 0; i < 8; ++i) wr32(hiscore_scores + 4 * i, 0x1000 + i);
  }

  void TearDown() override {
    set_fail_screen_hold(nullptr);
    MissionTest::TearDown();
  }

  int run(int max_slices = 30000) {
    driver_start(0x00382E);
    return driver_run(max_slices, 2000000, vbl_ending_the_result_tune);
  }

  // The result tunes (no Timer C here, so they never end by themselves)
  // stop after ten VBLs of a wait for them.
  static void vbl_ending_the_result_tune() {
    steer_on_the_map();
    steer_in_the_shop();
    if ((get_sr() >> 8 & 7) >= 4)
      g_cpu.vbl_flag = 1; // masked (the restart's set-up): only the busy-waits see it
    else
      mission_vbl();
    if (!driver_slice_ends().empty() &&
        (driver_slice_ends().back() == waited(0x3972) || driver_slice_ends().back() == waited(0xF91E))) {
      wr16(result_tune_vbls, rd16(result_tune_vbls) + 1);
      if (rd16(result_tune_vbls) == 10) {
        wr8(tune_playing, 0);
        wr16(result_tune_vbls, 0);
      }
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
      {{0xFF, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0}, 11}, // one more stays open
      {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0}, 5},  // the last byte still open
      {{0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 5},  // the first byte still open
  };
  for (const row& r : rows) {
    SetUp();
    plan.choices = {r.mission, -1, -1, -1};
    for (u32 i = 0; i < 12; ++i) wr8(missions_done + i, r.done_before[i]);
    wr16(text_line, 0x1234); // whatever the cursor held
    wr16(text_colour, 9);
    run(1500);
    EXPECT_TRUE(back_on_the_map()) << "mission " << r.mission;
    EXPECT_EQ(rd16(shop_visit_count), 1u);
    EXPECT_EQ(title_arrivals, 0);
    for (u32 i = 0; i < 12; ++i)
      EXPECT_EQ(rd8(missions_done + i), i == static_cast<u32>(r.mission) ? 0xFFu : r.done_before[i]) << i;
    EXPECT_EQ(loading_text, "LOAD");
    EXPECT_EQ(loading_colour, 1u);
    EXPECT_TRUE(loading_screen_clear) << "the shop's picture is cleared before the loading text";
    EXPECT_EQ(rd8(player1 + 0x66), 0xFFu) << "weapon 0 bought in the shop";
    EXPECT_EQ(tune_count(5), 0) << "no high scores";
    EXPECT_EQ(rd16(two_player_flag), 0x0000u);
    EXPECT_EQ(rd8(music_level), 15u);
    EXPECT_EQ(level_in_mission, 13u);
    // The map's tune, the mission's, the result screen's and the one after
    // it, the map's again.
    EXPECT_EQ(tunes, (std::vector<u32>{1, 0, 6, 3, 1}));
    ASSERT_EQ(levels_at_tune_starts.size(), tunes.size());
    ASSERT_GE(tunes.size(), 3u);
    EXPECT_EQ(levels_at_tune_starts[2], 15u) << "the level is back at full when the result tune starts";
  }
}

TEST_F(ControlLoop, TheLastOpenMissionEndsTheGameWithTheEndSequenceAndTheTitle) {
  int slices_taken[2] = {};
  for (bool fire : {false, true}) {
    SetUp();
    plan.choices = {11, -1, -1, -1};
    plan.fire_in_delays = fire;
    for (u32 i = 0; i < 11; ++i) wr8(missions_done + i, 0xFF);
    wr32(random_seed, 0x0BADCAFE);
    const int slices = run();
    ASSERT_TRUE(driver_finished()) << "fire " << fire;
    EXPECT_EQ(title_arrivals, 1);
    EXPECT_EQ(rd16(shop_visit_count), 1u);
    EXPECT_EQ(tune_count(5), 1) << "the high scores";
    for (u32 i = 0; i < 12; ++i) EXPECT_EQ(rd8(missions_done + i), 0u) << "the restart opens mission " << i;
    EXPECT_EQ(end_text, "END");
    EXPECT_TRUE(seed_follows(0x0BADCAFE, rd32(random_seed))) << "the seed lives on";
    for (u32 i = 0; i < 8; ++i) EXPECT_EQ(rd32(hiscore_scores + 4 * i), 0x1000 + i);
    EXPECT_EQ(rd32(quick_start), 0u);
    slices_taken[fire] = slices;
  }
  // Two delays of 9,000,000 counts take about 7,200 VBLs; fire from the
  // high scores on ends the second at once.
  EXPECT_GT(slices_taken[false], 7000);
  EXPECT_GT(slices_taken[false] - slices_taken[true], 3000);
}

TEST_F(ControlLoop, TheEndTextReturnsInTheStartPaletteForABlackPauseBeforeTheRestart) {
  plan.choices = {11, -1, -1, -1};
  plan.fire_in_delays = true;
  for (u32 i = 0; i < 11; ++i) wr8(missions_done + i, 0xFF);
  for (u32 i = 0; i < 16; ++i) wr16(0x008C24 + 2 * i, 0x700 - 0x11 * i); // none of the high scores' colours
  text_at_restart.clear();
  pause_vbls_at_restart = -1;
  dispatch_register_over(0x00373A, restart_seen);
  run();
  ASSERT_TRUE(driver_finished());
  EXPECT_EQ(title_arrivals, 1);
  EXPECT_EQ(end_text, "END") << "before the high scores";
  EXPECT_EQ(text_at_restart, "END") << "after them";
  EXPECT_EQ(palette_at_restart, start_palette_at_restart);
  EXPECT_EQ(start_palette_at_restart[1], 0x6EFu) << "the mission set-up changes only colour 14 of it";
  // 500,000 counts at 6,163 a VBL.
  EXPECT_NEAR(pause_vbls_at_restart, 81, 1);
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
    EXPECT_EQ(tune_count(5), 1) << "the high scores";
    EXPECT_EQ(tune_count(6), 0) << "no result screen";
    EXPECT_EQ(failed_text, "LOST") << "the failed screen";
    EXPECT_TRUE(seed_follows(0x0BADCAFE, rd32(random_seed))) << "the seed lives on";
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
  plan.choices = {11, -1, -1, -1};
  plan.fire_in_delays = true;
  for (u32 i = 0; i < 11; ++i) wr8(missions_done + i, 0xFF);
  EXPECT_TRUE(resumes_alike({.entry = 0x00382E, .between = vbl_ending_the_result_tune, .load_every = 512}));
}

// The three routines with the labels others reach (the title's way back
// to $37C2, the next mission's pass, the result tune's wait point) and the
// jump slots that lead to the screens.
TEST(ControlLoopRows, NamedAddresses) {
  expect_named_rows({
      {0x00373A, routine_entry, "sub_00373A"}, {0x003762, routine_entry, "sub_003762"},
      {0x0037C2, resume_label, "sub_003762"},  {0x00EBF6, resume_label, "sub_003762"},
      {0x00382E, routine_entry, "sub_00382E"}, {0x003866, resume_label, "sub_00382E"},
      {0x003972, resume_label, "sub_00382E"},  {0x0086C0, routine_entry, "sub_0086C0"},
      {0x0086D8, routine_entry, "sub_0086D8"}, {0x0088F8, routine_entry, "sub_0088F8"},
      {0x0088FC, routine_entry, "sub_0088FC"}, {0x008914, routine_entry, "sub_008914"},
      {0x008920, routine_entry, "sub_008920"}, {0x008934, routine_entry, "sub_008934"},
      {0x00AF9E, routine_entry, "sub_00AF9E"}, {0x00FDF0, resume_label, "sub_00AF9E"},
      {0x00A914, routine_entry, "sub_00A914"}, {0x00A97A, resume_label, "sub_00A914"},
  });
}

} // namespace
