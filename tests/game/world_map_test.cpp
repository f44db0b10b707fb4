// The world map: its load from the cached disk, the pointer steered by the
// joystick bytes, the panel, the markers, and the choice with its pay.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "game/game_ram.h"
#include "game/map_ram.h"
#include "game_harness.h"
#include "machine/hooks.h"
#include "support/graphics/contact_sheet.h"
#include "support/machine/disk_cache.h"
#include "support/machine/resume_check.h"
#include "support/synthetic/synthetic_map.h"
#include "support/synthetic/synthetic_sound.h"

namespace {

constexpr u32 cache = 0x81000;
constexpr u32 disk_size = 819200;

void disk_with_the_map_in_cache() {
  std::fill(ram + cache, ram + cache + disk_size, 0);
  synth_map_file_in_cache(synth_map_content(), cache);
  mark_whole_disk_cached(cache, disk_size);
}

std::vector<u32> tunes;
void note_tune(u32) { tunes.push_back(g_cpu.d[0] & 0xFFFF); }

// The scripted stick of player `stick` (1 or 2): toward the target, then
// fire on it. What the panel showed while the idle text was up is noted.
u16 target_x, target_y;
u32 stick = player1;
bool fire_anyway;
std::string idle_seen;
std::vector<u8> screen_on_target; // the screen with the pointer on the target
void vbl_steering() {
  simple_vbl();
  const u32 x = rd16(map_cursor_x), y = rd16(map_cursor_y);
  if (screen_on_target.empty() && x == target_x && y == target_y)
    screen_on_target.assign(ram + screen_buffer_b, ram + screen_buffer_b + 32000);
  if (idle_seen.empty() && rd16(map_panel_blank) == 0 && rd16(map_selection) == 0xFFFF && x == 160)
    idle_seen = screen_text(screen_buffer_b, 2880, 12, 4);
  wr8(stick + player_record::right, x < target_x ? 0xFF : 0);
  wr8(stick + player_record::left, x > target_x ? 0xFF : 0);
  wr8(stick + player_record::down, y < target_y ? 0xFF : 0);
  wr8(stick + player_record::up, y > target_y ? 0xFF : 0);
  wr8(stick + player_record::fire, fire_anyway || (x == target_x && y == target_y) ? 0xFF : 0);
}

class WorldMap : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    synth_sound_load();
    disk_with_the_map_in_cache();
    synth_map_tables_in_ram(synth_map_content());
    load_test_font();
    hook_register(0x041BCC, note_tune);
    tunes.clear();
    idle_seen.clear();
    screen_on_target.clear();
    stick = player1;
    fire_anyway = false;
    wr16(player1 + player_record::lives, 3);
    g_cpu.sr_sys = 0x2300;
  }
  void aim_at(int mission) {
    const synth_map_box& b = synth_map_content().boxes[static_cast<size_t>(mission)];
    target_x = synth_box_centre_x(b);
    target_y = synth_box_centre_y(b);
  }
};

TEST_F(WorldMap, FireOnAnOpenMissionChoosesItAndPaysBothPlayers) {
  struct row {
    int mission;
    bool two_players;
    u32 each_gets;
  };
  const row rows[] = {{0, false, 500}, {5, false, 3000}, {11, true, 3000}, {3, true, 1000}};
  for (const row& r : rows) {
    SetUp();
    if (r.two_players) wr16(player2 + player_record::lives, 2);
    wr32(player1 + 0x58, 10000);
    wr32(player2 + 0x58, 7);
    aim_at(r.mission);
    ASSERT_GT(run_routine(0x008914, 1000, vbl_steering), 0) << r.mission;
    EXPECT_EQ(rd16(chosen_mission), static_cast<u32>(r.mission));
    EXPECT_EQ(rd32(player1 + 0x58), 10000 + r.each_gets);
    EXPECT_EQ(rd32(player2 + 0x58), 7 + r.each_gets) << "paid whether in play or not";
    EXPECT_EQ(rd8(split_map), 0u);
    EXPECT_EQ(tunes, std::vector<u32>{1});
    EXPECT_EQ(idle_seen, "IDLE");
    EXPECT_EQ(driver_slice_ends().back(), returned);
    // For the eye: the pointer on mission 5's box, in the map's colours.
    ASSERT_EQ(screen_on_target.size(), 32000u);
    if (r.mission == 5) {
      EXPECT_TRUE(write_contact_sheet("world_map", screen_on_target.data(), palette_bytes(synth_map_palette).data()));
    }
  }
}

TEST_F(WorldMap, TheSetUpLoadsAndDrawsTheMapAndKeepsACleanCopy) {
  aim_at(0);
  target_x = 400; // never reached: the run stops in the passes
  driver_start(0x008914);
  driver_run(30, 2000000, vbl_steering);
  ASSERT_EQ(driver_slice_ends().back(), waited(0x79E2));
  EXPECT_TRUE(std::equal(synth_map_content().unpacked.begin(), synth_map_content().unpacked.begin() + 28 + 12 * 512,
                         ram + 0x05647E));
  EXPECT_EQ(rd16(map_cursor_x), 160u + 29) << "one pixel a pass from 160";
  EXPECT_EQ(rd8(split_map), 0xFFu);
  // The map picture's bottom line, colour 2, in both screens.
  EXPECT_EQ(rd8(0x020000 + 199 * 160 + 2), 0xFFu);
  EXPECT_EQ(rd8(0x018000 + 199 * 160 + 2), 0xFFu);
}

TEST_F(WorldMap, APassEraseLeavesTheCleanCopyBelowThePanel) {
  // Run one pass, then the erase half of the next one: stop at the hit
  // test by making the box table's walk the first thing seen.
  wr16(map_cursor_x, 100);
  wr16(map_cursor_y, 100);
  for (u32 a = 0; a < 32000; a += 2) wr16(0x018000 + a, static_cast<u16>(a * 7));
  std::copy(ram + 0x018000, ram + 0x018000 + 32000, ram + 0x020000);
  wr32(draw_screen, screen_buffer_b);
  for (u32 i = 0; i < 12; ++i) {
    const u32 rec = mission_markers + i * marker::size;
    wr16(rec + marker::x, synth_map_content().marker_positions[i][0]);
    wr16(rec + marker::y, synth_map_content().marker_positions[i][1]);
    wr16(rec + marker::active, 0xFFFF);
    wr16(rec + marker::countdown, 6);
  }
  ASSERT_EQ(run_routine(0x00BE9A), 1);
  ASSERT_EQ(run_routine(0x00C81A), 1);
  EXPECT_FALSE(std::equal(ram + 0x018000, ram + 0x018000 + 32000, ram + 0x020000)) << "drawn";
  ASSERT_EQ(run_routine(0x00BE6A), 1);
  ASSERT_EQ(run_routine(0x00C906), 1);
  EXPECT_TRUE(std::equal(ram + 0x018000 + 45 * 160, ram + 0x018000 + 32000, ram + 0x020000 + 45 * 160));
}

TEST_F(WorldMap, ThePointerFollowsTheStickInsideTheMap) {
  struct row {
    u32 player_in_play; // whose stick counts
    u16 x, y;
    bool left, right, up, down;
    u16 to_x, to_y;
  };
  const row rows[] = {
      {1, 100, 100, true, true, false, false, 100, 100}, // left and right cancel
      {1, 7, 100, true, false, false, false, 7, 100},    // held at the left edge
      {1, 312, 195, false, true, false, true, 312, 195},
      {1, 100, 59, false, false, true, false, 100, 59},
      {1, 100, 100, false, true, false, true, 101, 101},
      {2, 100, 100, true, false, true, false, 99, 99},   // player 1 out: player 2's stick
      {1, 0, 0, false, false, false, false, 7, 59},      // outside at the start: pulled in
  };
  for (const row& r : rows) {
    SetUp();
    const u32 p = r.player_in_play == 1 ? player1 : player2;
    const u32 other = r.player_in_play == 1 ? player2 : player1;
    wr16(player1 + player_record::lives, r.player_in_play == 1 ? 3 : 0);
    wr16(player2 + player_record::lives, 3);
    wr16(map_cursor_x, r.x);
    wr16(map_cursor_y, r.y);
    wr8(p + player_record::left, r.left ? 0xFF : 0);
    wr8(p + player_record::right, r.right ? 0xFF : 0);
    wr8(p + player_record::up, r.up ? 0xFF : 0);
    wr8(p + player_record::down, r.down ? 0xFF : 0);
    wr8(other + player_record::up, 0xFF); // the other stick does nothing
    wr8(other + player_record::right, 0xFF);
    ASSERT_EQ(run_routine(0x00BDC8), 1);
    EXPECT_EQ(rd16(map_cursor_x), r.to_x) << r.x << "," << r.y;
    EXPECT_EQ(rd16(map_cursor_y), r.to_y) << r.x << "," << r.y;
  }
}

TEST_F(WorldMap, TheFirstBoxInTheTableWinsAndEdgesAreInside) {
  const u16 table[] = {10, 20, 100, 110, 4, 15, 30, 105, 120, 9, 0x8000};
  for (u32 i = 0; i < sizeof table / 2; ++i) wr16(0xBF98 + 2 * i, table[i]);
  struct row {
    u16 x, y;
    u32 d7;
  };
  const row rows[] = {{10, 100, 4}, {20, 110, 4}, {15, 105, 4}, {21, 105, 9}, {30, 120, 9},
                      {9, 100, 0xFFFF}, {31, 110, 0xFFFF}, {25, 121, 0xFFFF}, {15, 104, 4}};
  for (const row& r : rows) {
    wr16(map_cursor_x, r.x);
    wr16(map_cursor_y, r.y);
    g_cpu.d[7] = 0x12340000;
    ASSERT_EQ(run_routine(0x00BF54), 1);
    EXPECT_EQ(g_cpu.d[7] & 0xFFFF, r.d7) << r.x << "," << r.y;
  }
}

TEST_F(WorldMap, AMarkerShowsSixFramesThenStaysAwayFortyPasses) {
  wr32(draw_screen, screen_buffer_b);
  const u32 rec = mission_markers;
  wr16(rec + marker::x, 100);
  wr16(rec + marker::y, 100);
  wr16(rec + marker::active, 0xFFFF);
  wr16(rec + marker::countdown, 6);
  std::vector<int> drawn; // the frame drawn in each pass, -1 for none
  for (int pass = 0; pass < 36 + 40 + 2; ++pass) {
    wr32(rec + marker::drawn_at, 0);
    const u32 frame = rd16(rec + marker::frame);
    ASSERT_EQ(run_routine(0x00C81A), 1);
    drawn.push_back(rd32(rec + marker::drawn_at) != 0 ? static_cast<int>(frame) : -1);
    // Frame 0 drawn in colour 1 at (x - 4, y): its word $1000, shifted by 0.
    if (pass == 0) {
      EXPECT_EQ(rd8(0x020000 + 100 * 160 + 96 / 16 * 8), 0x10u);
    }
  }
  for (int pass = 0; pass < 36; ++pass) EXPECT_EQ(drawn[static_cast<size_t>(pass)], pass / 6) << pass;
  for (int pass = 36; pass < 76; ++pass) EXPECT_EQ(drawn[static_cast<size_t>(pass)], -1) << pass;
  EXPECT_EQ(drawn[76], 0);
}

TEST_F(WorldMap, ADoneMissionHasNoMarkerAndNeverChangesThePanel) {
  wr8(missions_done + 1, 0xFF);
  aim_at(1);
  fire_anyway = true; // held all the time: nothing to choose on a done mission
  driver_start(0x008914);
  driver_run(200, 2000000, vbl_steering);
  EXPECT_FALSE(driver_finished());
  EXPECT_EQ(rd16(mission_markers + marker::size + marker::active), 0u);
  EXPECT_EQ(rd16(mission_markers + marker::active), 0xFFFFu);
  EXPECT_EQ(rd16(map_cursor_x), target_x);
  EXPECT_EQ(rd16(map_selection), 0xFFFFu);
}

TEST_F(WorldMap, ThePanelTakesTheMissionPictureAndItsClearStaysInItsAreas) {
  for (u32 a = 0; a < 32000; ++a) wr8(0x020000 + a, 0xEE);
  for (u32 i = 0; i < 12 * 512; ++i) wr8(0x05649A + i, static_cast<u8>(i * 13 + i / 512));
  g_cpu.d[0] = 11;
  ASSERT_EQ(run_routine(0x00BD22), 1);
  for (u32 line = 0; line < 32; ++line)
    for (u32 b = 0; b < 16; ++b)
      ASSERT_EQ(rd8(0x020000 + (7 + line) * 160 + 8 + b), rd8(0x05649A + 11 * 512 + line * 16 + b)) << line << " " << b;
  EXPECT_EQ(rd8(0x020000 + 39 * 160 + 8), 0xEEu) << "32 lines only";
  EXPECT_EQ(rd8(0x020000 + 7 * 160 + 24), 0xEEu);

  for (u32 a = 0; a < 32000; ++a) wr8(0x020000 + a, 0xEE);
  ASSERT_EQ(run_routine(0x00BD4C), 1);
  auto at = [](u32 line, u32 byte) { return rd8(0x020000 + line * 160 + byte); };
  EXPECT_EQ(at(7, 8), 0u);
  EXPECT_EQ(at(42, 23), 0u);
  EXPECT_EQ(at(43, 8), 0xEEu);
  EXPECT_EQ(at(6, 8), 0xEEu);
  EXPECT_EQ(at(7, 24), 0xEEu);
  EXPECT_EQ(at(0, 29), 0u);
  EXPECT_EQ(at(44, 159), 0u);
  EXPECT_EQ(at(45, 29), 0xEEu);
  EXPECT_EQ(at(0, 28), 0xEEu);
}

TEST_F(WorldMap, ThePointerIsDrawnFourPixelsUpAndLeftOfTheCursor) {
  struct row {
    u16 x, y;
  };
  for (const row r : {row{7, 59}, row{100, 100}, row{312, 195}, row{27, 80}}) {
    SetUp();
    wr32(draw_screen, screen_buffer_b);
    for (u32 a = 0; a < 32000; a += 2) wr16(0x020000 + a, 0x00FF); // planes with pixels set
    wr16(map_cursor_x, r.x);
    wr16(map_cursor_y, r.y);
    ASSERT_EQ(run_routine(0x00BE9A), 1);
    // The shape's top-left pixel (bit 15 of its first word) in colour 1.
    const u32 px = r.x - 4u, line = r.y - 4u;
    const u32 byte = 0x020000 + line * 160 + px / 16 * 8 + (px & 8 ? 1 : 0);
    const u32 bit = 0x80u >> (px & 7);
    EXPECT_TRUE(rd8(byte) & bit) << r.x << "," << r.y;
    EXPECT_FALSE(rd8(byte + 2) & bit) << r.x << "," << r.y;
    EXPECT_EQ(rd32(pointer_erase_addr), byte);
    // The line above is untouched.
    EXPECT_EQ(rd8(byte - 160), px & 8 ? 0xFFu : 0x00u);
  }
}

TEST_F(WorldMap, TheMessageAndTheFrameOfThePanel) {
  wr32(draw_screen, screen_buffer_b);
  g_cpu.d[0] = 5;
  wr16(text_line, 0x1234);
  wr16(text_column, 7);
  ASSERT_EQ(run_routine(0x00C94C), 1);
  EXPECT_EQ(screen_text(screen_buffer_b, 0, 0, 2), "MF");
  EXPECT_EQ(screen_cell_colour(screen_buffer_b, 0, 0), 11u);

  for (u32 a = 0; a < 32000; ++a) {
    wr8(0x018000 + a, static_cast<u8>(a * 7 + a / 160));
    wr8(0x020000 + a, 0xEE);
  }
  ASSERT_EQ(run_routine(0x00C9A2), 1);
  for (u32 line = 4; line <= 40; ++line)
    for (u32 b = 0; b < 32; ++b)
      ASSERT_EQ(rd8(0x020000 + line * 160 + b), rd8(0x018000 + (line + 4) * 160 + b)) << line << " " << b;
  EXPECT_EQ(rd8(0x020000 + 41 * 160), 0xEEu);
  EXPECT_EQ(rd8(0x020000 + 4 * 160 + 32), 0xEEu);

  ASSERT_EQ(run_routine(0x00C97C), 1);
  for (u32 line = 4; line <= 44; ++line)
    for (u32 b = 0; b < 32; ++b) ASSERT_EQ(rd8(0x020000 + line * 160 + b), 0u) << line << " " << b;
  EXPECT_EQ(rd8(0x020000 + 45 * 160), 0xEEu);
  EXPECT_EQ(rd8(0x020000 + 3 * 160), 0xEEu);
  EXPECT_EQ(rd8(0x020000 + 44 * 160 + 32), 0xEEu);
}

TEST_F(WorldMap, ResumesAtEveryLabel) {
  aim_at(0);
  EXPECT_TRUE(resumes_alike({.entry = 0x008914, .between = vbl_steering, .load_every = 64}));
}

} // namespace
