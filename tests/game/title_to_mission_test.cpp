// The game from its boot to the first frame of the mission chosen on the
// world map, on the synthetic data file (the road is in
// support/runs/title_to_mission.h): the full title, wait_fire, the prompt, the
// new game, the map and the choice, the text before the load, the load
// and the mission's start.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "game/game_ram.h"
#include "machine/game_data.h"
#include "machine/gemdos.h"
#include "machine/loader_hold.h"
#include "support/machine/machine_fixture.h"
#include "support/synthetic/synthetic_disk.h"
#include "support/synthetic/synthetic_front_end.h"
#include "support/synthetic/synthetic_front_screens.h"
#include "support/synthetic/synthetic_map.h"
#include "support/temp_dir.h"
#include "support/runs/title_to_mission.h"

namespace {

// The text in a screen copy as the synthetic font prints it: the bottom
// row of each cell holds its code.
std::string text_in(const std::vector<u8>& screen, u32 line_offset, u32 column, u32 count) {
  std::string s;
  for (u32 c = column; c < column + count; ++c) {
    const u32 at = line_offset + synth_font_code_row * 160 + (c / 2) * 8 + (c & 1);
    const u32 top = screen[at] | screen[at + 2] | screen[at + 4] | screen[at + 6];
    s += top ? static_cast<char>(top) : '.';
  }
  return s;
}

// The VBLs from `from` on whose slices waited in wait_vbl returning to
// `at`, without a gap.
int waits_from(const road_notes& n, size_t from, u32 at) {
  size_t v = from;
  while (v < n.vbls.size() && n.vbls[v].pc == 0x79E2 && n.vbls[v].wait_return == at) ++v;
  return static_cast<int>(v - from);
}

size_t first_wait(const road_notes& n, u32 at) {
  for (size_t v = 0; v < n.vbls.size(); ++v)
    if (n.vbls[v].pc == 0x79E2 && n.vbls[v].wait_return == at) return v;
  return n.vbls.size();
}

class TitleToMission : public MachineTest {
 protected:
  void SetUp() override {
    MachineTest::SetUp();
    g_load_seconds = 0;
  }
  void TearDown() override {
    gemdos_close_all();
    game_data_release();
    MachineTest::TearDown();
  }
  temp_dir folder;
};

// The road on the game data in `folder`, and what it must show.
void runs_from_the_title_to_the_mission(const std::string& folder) {
  constexpr int mission = 7;
  road_notes n;
  ASSERT_TRUE(run_title_to_mission(folder, mission, n))
      << "after " << n.vbls.size() << " VBLs at " << std::hex << g_cpu.pc;

  // The full title: the blank palette's VBL, then the eight timed steps.
  size_t v = first_wait(n, 0xECEE);
  ASSERT_LT(v, n.vbls.size()) << "the full title";
  EXPECT_EQ(waits_from(n, v, 0xECEE), 1);
  ++v;
  struct step {
    u32 at;
    int vbls;
  };
  const step steps[] = {{0xED0A, 101}, {0xED2E, 71}, {0xED52, 5},  {0xED76, 37},
                        {0xED9A, 5},   {0xEDBE, 27}, {0xEDE2, 34}, {0xEE06, 54}};
  int timed = 0;
  for (const step& s : steps) {
    EXPECT_EQ(waits_from(n, v, s.at), s.vbls) << std::hex << s.at;
    v += static_cast<size_t>(s.vbls);
    timed += s.vbls;
  }
  EXPECT_EQ(timed, 334);

  // The script: one VBL a byte, the end byte's included, each with 98
  // title-sample interrupts of three YM writes, under the title's three
  // palette zones; title_mode keeps Timer A's vector on the title sample.
  const int script = static_cast<int>(synth_title_script_steps) + 1;
  ASSERT_EQ(waits_from(n, v, 0xEE92), script);
  for (int i = 0; i < script; ++i, ++v) {
    EXPECT_EQ(n.vbls[v].ym_writes, 98 * 3) << "script VBL " << i;
    EXPECT_EQ(n.vbls[v].zone_lines, (std::vector<u32>{0, 144, 184})) << "script VBL " << i;
    EXPECT_EQ(n.vbls[v].timer_a_vector, 0x00F816u) << "script VBL " << i;
  }
  // wait_fire under the title picture's split; the VBL after the title
  // hands Timer A back to the sample player's idle handler; tune 0; fire on
  // port 1.
  ASSERT_EQ(waits_from(n, v, 0xEC08), 1);
  EXPECT_EQ(n.vbls[v].zone_lines, (std::vector<u32>{0, 150}));
  EXPECT_EQ(n.vbls[v].timer_a_vector, 0x00E660u);
  ASSERT_FALSE(n.tunes.empty());
  EXPECT_EQ(n.tunes[0], 0u) << "wait_fire's tune";
  ++v;

  // The prompt, answered with key 1 in the VBL after it appeared; the
  // music's fade-out of 154 VBLs.
  EXPECT_EQ(n.vbls[v].pc, 0x00FDF0u);
  EXPECT_EQ(n.prompt_answered, static_cast<int>(v));
  EXPECT_EQ(n.prompt_wait_recorded, static_cast<i32>(n.prompt_machine_vbl)) << "a wait point the host sees";
  EXPECT_EQ(rd16(two_player_flag), 0x0000u);
  ++v;
  EXPECT_EQ(waits_from(n, v, 0x7538), 154) << "the fade-out";
  v += 154;

  // The map: player 1 of a new game, the pointer at its start, tune 1, the
  // panel's split at line 48 and the idle text.
  EXPECT_EQ(n.map_entered, static_cast<int>(v));
  EXPECT_EQ(n.lives_at_map, 3u);
  EXPECT_EQ(n.money_at_map[0], 10000u);
  EXPECT_EQ(n.cursor_at_map[0], 160u);
  EXPECT_EQ(n.cursor_at_map[1], 125u);
  ASSERT_GE(n.tunes.size(), 2u);
  EXPECT_EQ(n.tunes[1], 1u) << "the map's tune";
  EXPECT_EQ(n.vbls[v].zone_lines, (std::vector<u32>{0, 48}));
  EXPECT_EQ(text_in(n.map_screen, 2880, 12, 4), "IDLE");

  // The choice: the mission and half its pay to both players; then in the
  // shop player 1 buys weapon 0.
  const u32 half_pay = synth_map_content().pays[mission] / 2;
  EXPECT_EQ(rd16(chosen_mission), static_cast<u32>(mission));
  EXPECT_EQ(rd32(player1 + 0x58), n.money_at_map[0] + half_pay - synth_weapon0_price);
  EXPECT_EQ(rd32(player2 + 0x58), n.money_at_map[1] + half_pay);
  EXPECT_EQ(rd8(player1 + 0x66), 0xFFu);
  EXPECT_EQ(n.shop_visits, 1);

  // The text before the load, and the chosen mission's files loaded.
  EXPECT_EQ(text_in(n.screen_at_load, 0x3840, 9, 7), synth_loading_text);
  const synth_disk& d = synth_disk_content();
  const synth_disk_mission& m = d.missions[static_cast<size_t>(d.mission_set[mission])];
  const auto loaded_at = [&](u32 address) { return n.loaded.begin() + (address - 0x05647E); };
  EXPECT_TRUE(std::equal(m.graphics.begin(), m.graphics.end(), loaded_at(0x05647E)));
  EXPECT_TRUE(std::equal(m.level.begin(), m.level.end(), loaded_at(0x073B92)));
  // The enemy frames from $5E60A (the resident words at $5F792 laid over
  // them) and their shifted copies built: copy 3 of frame 5, line 7.
  std::vector<u8> frames(m.enemy_file.begin() + 28, m.enemy_file.end());
  std::copy(ram + 0x0466B6, ram + 0x0466B6 + 660, frames.begin() + (0x05F792 - 0x05E60A));
  EXPECT_TRUE(std::equal(frames.begin(), frames.end(), loaded_at(0x05E60A)));
  const u32 line = 5 * 22 + 7;
  for (u32 p = 0; p < 3; ++p) {
    const u32 w = static_cast<u32>(frames[line * 6 + 2 * p] << 8 | frames[line * 6 + 2 * p + 1]);
    const auto at = loaded_at(0x05E60A + 3 * 10296 + line * 12 + 2 * p);
    EXPECT_EQ(static_cast<u32>(at[0] << 8 | at[1]), w >> 6) << p;
    EXPECT_EQ(static_cast<u32>(at[6] << 8 | at[7]), (w << 10) & 0xFFFF) << p;
  }

  // The mission starts with tune 0 at music level 13.
  EXPECT_EQ(n.tunes.back(), 0u);
  EXPECT_EQ(n.level_in_frame_loop, 13u);
}

TEST_F(TitleToMission, FromTheDataFile) {
  synth_game_data g = synth_standard();
  ASSERT_TRUE(synth_place_disk_road(g)) << g.error;
  std::vector<u8> bkm = synth_bkm(g);
  ASSERT_EQ(bkm.size(), 819200u) << g.error;
  synth_put_high_scores(bkm);
  ASSERT_TRUE(synth_write(folder / "BKM", bkm));
  runs_from_the_title_to_the_mission(folder.path);
}

// The disk image carries the title's block, the map file and the missions'
// files alike.
TEST_F(TitleToMission, FromTheDiskImage) {
  synth_game_data g = synth_standard();
  ASSERT_TRUE(synth_place_disk_road(g)) << g.error;
  const std::vector<u8> image = synth_image(g);
  ASSERT_EQ(image.size(), synth_image_size) << g.error;
  ASSERT_TRUE(synth_write(folder / "game.st", image));
  runs_from_the_title_to_the_mission(folder.path);
}

} // namespace
