// Missions played to their end, headless, from the synthetic data file with
// the disk in the loader's cache: the cold-start load and the mission data
// load on the game's own routines, then a runner of the mission steps and
// the vertical frame loop with the VBL between slices. The mission is one
// section of plain ground whose event stream carries the goal or the
// shooters.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "game/shot_ram.h"
#include "machine/boot_state.h"
#include "support/machine/disk_cache.h"
#include "support/machine/gemdos_double.h"
#include "support/tables/mission_builder.h"
#include "support/machine/mission_machine.h"
#include "support/machine/ram_bytes.h"
#include "support/tables/shot_tables.h"
#include "support/synthetic/synthetic_disk.h"

namespace {

namespace pr = player_record;

constexpr u32 cache = 0x81000;
constexpr u32 disk_size = 819200;
constexpr u32 cold_start_load = 0x0086B8;

// Enemy scripts, animations and fire points of the game image.
constexpr u32 script_offsets = 0x003A8E;
constexpr u32 script_base = 0x003B6E;
constexpr u32 anim_offsets = 0x00B20E;
constexpr u32 anim_data = 0x00B228;
constexpr u32 fire_points = 0x00B294;
constexpr u32 player_starts = 0x0091C4;

constexpr u8 shooter_type = 2;
constexpr u8 cmd_fire = 254, cmd_move = 252, cmd_end = 255;
constexpr u8 event_goal = 254;

// A shooter stands still and fires straight down every fourth frame: its
// frame 0 has the fire point 20 lines below it, 4 lines a frame.
void put_enemy_tables() {
  for (u32 n = 0; n < 13; ++n) {
    wr16(anim_offsets + 2 * n, 2 * n);
    put_bytes(anim_data + 2 * n, {0, 0x80});
  }
  put_bytes(fire_points, {0, 0, 0, 0, 0, 4, 0, 0, 0, 20, 0xFF, 0xFF});
  std::vector<u8> script = {0, 0, 0, 0, 0};
  for (int i = 0; i < 40; ++i) script.insert(script.end(), {cmd_fire, cmd_move, 3, 0, 0});
  script.push_back(cmd_end);
  wr16(script_offsets + 2 * shooter_type, 0);
  put_bytes(script_base, script);
}

// Two start entries (x, y, frame): player 2's first, then player 1's.
void put_player_starts() { put_bytes(player_starts, {0, 160, 0, 60, 0, 0, 0, 100, 0, 60, 0, 40}); }

struct table_range {
  const char* name;
  u32 at, bytes;
};
const table_range program_tables[] = {
    {"bullet_style_table", bullet_style_table, 84},
    {"bullet_dir_table", bullet_dir_table, 128},
    {"turn_table", turn_table, 121},
    {"death_lists", death_list_1, 2 * death_list_bytes + 16},
    {"unit_fire_dirs", unit_fire_dirs, 96},
    {"unit_steer_table", unit_steer_table, 32},
    {"walk_lists", walk_frame_lists, 64 + 30},
    {"weapon_keys", weapon_key_table, 128},
    {"ammo_types", ammo_type_table, 76},
    {"weapon_samples", weapon_sample_table, 38},
    {"effect_shots", effect_shot_table, 120},
    {"throws", throw_table, 160},
    {"script_offsets", script_offsets, 2 * (shooter_type + 1)},
    {"scripts", script_base, 6 + 5 * 40},
    {"anims", anim_offsets, 26 + 26},
    {"fire_points", fire_points, 12},
    {"player_starts", player_starts, 12},
};

// One section of plain ground and the given events; no installations.
mission_builder one_section(const std::vector<std::vector<u8>>& events) {
  mission_builder m;
  std::vector<map_row> rows;
  for (int r = 0; r < 24; ++r) rows.push_back({{static_cast<u8>(r % 3)}, {static_cast<u8>(3 + r % 3)}, {0}});
  EXPECT_TRUE(m.map(rows)) << m.error;
  EXPECT_TRUE(m.stream(events)) << m.error;
  return m;
}

// The logical game data file: the standard regions, the disk road, the
// game-image tables above, and the mission's level file where mission set
// 0 keeps its own (set 0 is mission 0's).
std::vector<u8> logical_file(const mission_builder& m) {
  machine_clear();
  shot_tables{}.put_in_ram();
  player_tables{}.put_in_ram();
  put_enemy_tables();
  put_player_starts();
  synth_game_data g = synth_standard();
  EXPECT_TRUE(synth_place_disk_road(g)) << g.error;
  for (const table_range& t : program_tables) {
    std::vector<u8> bytes(t.bytes);
    for (u32 i = 0; i < t.bytes; ++i) bytes[i] = static_cast<u8>(rd8(t.at + i));
    // The disk road's front end carries its own player starts and
    // ammunition table: this mission's take their place.
    std::erase_if(g.regions, [&](const synth_region& r) { return r.name == t.name; });
    EXPECT_TRUE(synth_place_at_program(g, t.name, "a table of the mission's routines", t.at, bytes)) << g.error;
  }
  std::vector<u8> file = synth_bkm(g);
  synth_put_high_scores(file);
  const synth_disk_mission& set0 = synth_disk_content().missions[0];
  const std::vector<u8> level = m.level_file();
  EXPECT_LE(level.size(), (set0.level.size() + 511) / 512 * 512) << "read in as many sectors";
  u32 offset = 0;
  EXPECT_TRUE(synth_sector_offset(set0.side_track_sector[2][0], set0.side_track_sector[2][1],
                                  set0.side_track_sector[2][2], offset));
  std::copy(level.begin(), level.end(), file.begin() + offset);
  return file;
}

// Lives written between the players' set-up (which tops 1-2 up to 3) and
// the mission data load; 0 leaves them.
u32 lives_after_setup = 0;

// The mission runner's steps for a two-player game of mission 0, with the
// game's own mission data load.
ROUTINE(test_runner, 0xC50000)
  JSR(0x009048, 0xC50004)
  JSR(0x0090C2, 0xC50008)
  JSR(0x009048, 0xC5000C)
  JSR(0x0091D0, 0xC50010)
  JSR(0x009134, 0xC50014)
  if (lives_after_setup) {
    wr16(player1 + pr::lives, lives_after_setup);
    wr16(player2 + pr::lives, lives_after_setup);
  }
  JSR(0x008910, 0xC50018)
  JSR(0x009062, 0xC5001C)
  JSR(0x007626, 0xC50020)
  JSR(0x008C64, 0xC50024)
  wr8(frame_countdown, 0xFF);
  wr16(exit_request, 0);
  JSR(0x00868A, 0xC50028)
  wr8(last_key, 0);
  JSR(0x008EAC, 0xC5002C)
  wr16(0x80F80, rd16(exit_request));
  wr16(0x80F82, 0xFFFF);
LABEL(0xC50030)
  if (kit_wait(0xC50030)) return;
  GOTO(0xC50030);
END_ROUTINE

constexpr u32 runner_exit_noted = 0x80F80;
constexpr u32 runner_done = 0x80F82;

bool hold_right = false;
void between_slices() {
  if (hold_right) wr8(player1 + pr::right, 0xFF);
  mission_vbl();
}

class MissionEndToEnd : public MissionTest {
 protected:
  void SetUp() override {
    MissionTest::SetUp();
    hold_right = false;
    lives_after_setup = 0;
  }

  // The disk in the cache as the first load leaves it, the program image
  // at $2C00 as the boot state leaves it, the cold start's load; then the
  // runner until it has noted the end, at most `slices`.
  void play(const std::vector<u8>& file, int slices) {
    machine_clear();
    stub_reset();
    mission_machine_reset();
    ASSERT_EQ(file.size(), disk_size);
    put_disk_in_cache(file, cache);
    driver_start(cold_start_load);
    gemdos_double none;
    ASSERT_GT(run_with_gemdos(none, 60), 0) << "the cold-start load";

    register_routine(0xC50000, test_runner,
                     {0xC50004, 0xC50008, 0xC5000C, 0xC50010, 0xC50014, 0xC50018, 0xC5001C, 0xC50020,
                      0xC50024, 0xC50028, 0xC5002C, 0xC50030});
    wr16(two_player_flag, 0xFFFF);
    wr16(chosen_mission, 0);
    a7 = mission_stack;
    sync_regs_out();
    driver_start(0xC50000);
    for (int n = 0; n < slices && rd16(runner_done) == 0; ++n) driver_run(1, 2000000, between_slices);
  }
};

TEST_F(MissionEndToEnd, PlayerOneWalksIntoTheGoalAndTheMissionEnds) {
  // The goal 60 pixels right of player 1 and 110 lines below its top: it
  // takes a few steps right (3 pixels each) to come within 51.
  const mission_builder m = one_section({{184, event_goal, 60, 170, 0}});
  const std::vector<u8> file = logical_file(m);
  hold_right = true;
  play(file, 400);
  ASSERT_EQ(rd16(runner_done), 0xFFFFu) << "the frame loop returned";
  EXPECT_NE(rd16(runner_exit_noted), 0u) << "completed";
  EXPECT_EQ(rd32(player1 + pr::score), 2000u);
  EXPECT_EQ(rd32(player2 + pr::score), 0u);
  EXPECT_EQ(rd16(goal_record.address + goal::active), 0u);
  EXPECT_LT(rd16(scroll_pos), vertical_section_end);
  EXPECT_GE(rd16(player1 + pr::x), 109u) << "it walked in";
  EXPECT_LE(rd16(player1 + pr::x), 115u);
}

TEST_F(MissionEndToEnd, ShootersKillBothLastLivesAndTheMissionFails) {
  // One shooter above each standing player: bullets straight down onto
  // player 1 (x 100) and player 2 (x 160), 40 lines above their tops.
  const mission_builder m = one_section({{184, shooter_type, 48, 20}, {184, shooter_type, 108, 20}});
  const std::vector<u8> file = logical_file(m);
  lives_after_setup = 1;
  play(file, 600);
  ASSERT_EQ(rd16(runner_done), 0xFFFFu) << "the frame loop returned";
  EXPECT_EQ(rd16(runner_exit_noted), 0u) << "failed";
  for (u32 p : {player1, player2}) {
    EXPECT_EQ(rd16(p + pr::lives), 0u);
    EXPECT_EQ(rd16(p + pr::state), 0u) << "respawned out of play";
    EXPECT_EQ(rd16(p + pr::hide), 20u);
    EXPECT_EQ(rd16(p + pr::blink), 80u);
    EXPECT_EQ(rd8(p + pr::plate_latch), 0xFFu) << "its plate drawn";
  }
  // Both shooters stand and fired: their shots are in the bullet table.
  for (u32 e = 0; e < 2; ++e) EXPECT_NE(rd16(enemy_table.address + enemy_table.size * e + 4), 0u) << e;
  EXPECT_EQ(rd16(bullet_table.address + bullet::owner), 0xFFFFu);
  EXPECT_EQ(rd16(bullet_table.address + bullet_table.size + bullet::owner), 0xFFFFu);
  EXPECT_LT(rd16(scroll_pos), vertical_section_end);
}

} // namespace
