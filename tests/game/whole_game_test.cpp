// Whole games on the synthetic data as the host runs them, with the
// scripted player of support/runs/whole_game.h: twelve missions to the end and
// the high scores; F1 in developer mode and in a mission; a failed game; a disk image that
// does not carry the saved high scores.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "game/game_ram.h"
#include "game/map_ram.h"
#include "game/mission_ram.h"
#include "machine/game_data.h"
#include "machine/gemdos.h"
#include "machine/hooks.h"
#include "machine/loader_hold.h"
#include "machine/tos.h"
#include "support/machine/mission_machine.h"
#include "support/synthetic/synthetic_front_screens.h"
#include "support/temp_dir.h"
#include "support/runs/whole_game.h"

namespace {

class WholeGame : public MissionTest {
 protected:
  void SetUp() override {
    MissionTest::SetUp();
    g_load_seconds = 0;
    setenv("BKM_FOPEN", "1", 1);
    whole_game_reset();
  }
  void TearDown() override {
    unsetenv("BKM_FOPEN");
    gemdos_close_all();
    game_data_release();
    MissionTest::TearDown();
  }
  void boot(bool disk_image) {
    std::string error;
    ASSERT_TRUE(whole_game_boot(folder.path, disk_image, data, data_name, error)) << error;
  }
  std::vector<u8> data_file_now() {
    std::ifstream in(folder / data_name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  temp_dir folder;
  std::vector<u8> data;
  std::string data_name;
};

TEST_F(WholeGame, TwelveMissionsTheEndAndTheHighScores) {
  whole_game_state& game = whole_game();
  boot(false);
  whole_game_run(60000, whole_game_at_title);
  EXPECT_TRUE(whole_game_at_title()) << "the title after the end; pc $" << std::hex << g_cpu.pc;
  EXPECT_EQ(game.missions_completed, 12);
  // The first shop visit: weapon 0 bought (9), weapon 1 refused (25), the
  // equipment screen seen.
  ASSERT_GE(game.shop_sounds.size(), 2u);
  EXPECT_EQ(game.shop_sounds[0], 9);
  EXPECT_EQ(game.shop_sounds[1], 25);
  EXPECT_TRUE(game.equipment_seen);
  EXPECT_EQ(game.shop_visits, 12);
  // Per mission: the map's tune, the mission's, the result's, the one after
  // it; then the high scores' tune 5.
  std::vector<u32> expect;
  for (int i = 0; i < 12; ++i) expect.insert(expect.end(), {1, 0, 6, 3});
  expect.push_back(5);
  EXPECT_EQ(game.tunes, expect);
  EXPECT_GE(tos.wait_vbl_at[1], 0) << "the wait for tune 3's end at $3972";
  // The name typed is at the top of the table.
  EXPECT_EQ(rd32(hiscore_scores), 12u * whole_game_points);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(ram + hiscore_names), 3), "AB ");
  // The table's write reached no file.
  EXPECT_TRUE(data_file_now() == data) << "the data file byte for byte the same";
}

// A second game: one mission done, the developer sequence typed on the
// map, then F1 restarts the game: the game start runs again towards the
// title, with developer mode and the missions done cleared.
TEST_F(WholeGame, F1RestartsAGameInDeveloperMode) {
  whole_game_state& game = whole_game();
  boot(false);
  struct at {
    static bool developer_mode_on_the_map() {
      const whole_game_state& g = whole_game();
      if (g.missions_completed == 1 && rd8(split_map) == 0xFF && g.typing.empty() && g.key_down < 0 &&
          rd16(dev_mode) == 0)
        whole_game_type({synth_dev_sequence[0], synth_dev_sequence[1], synth_dev_sequence[2]});
      return rd16(dev_mode) != 0;
    }
  };
  whole_game_run(20000, at::developer_mode_on_the_map);
  ASSERT_NE(rd16(dev_mode), 0u) << "developer mode on";
  EXPECT_EQ(rd8(missions_done), 0xFFu);
  whole_game_type({0x3B}); // F1
  const int vbls = whole_game_run(2000, whole_game_at_title);
  EXPECT_LT(vbls, 2000) << "every slice returns, up to the title";
  EXPECT_TRUE(whole_game_at_title());
  EXPECT_EQ(rd16(dev_mode), 0u);
  for (u32 i = 0; i < 12; ++i) EXPECT_EQ(rd8(missions_done + i), 0u) << i;
  EXPECT_EQ(rd32(dev_string_pos), dev_string);
  EXPECT_EQ(game.missions_completed, 1);
}

// F1 in the middle of a mission that goes on: the keyboard interrupt leaves
// the mission for the restart at once, which clears the work area (the
// missions done with it) and runs the game start to the title.
int mission_frames;
void mission_goes_on(u32) { ++mission_frames; }

TEST_F(WholeGame, F1InAMissionRestartsAtOnce) {
  whole_game_state& game = whole_game();
  boot(false);
  hook_register(0x008EE2, mission_goes_on);
  mission_frames = 0;
  struct at {
    static bool in_the_mission() { return mission_frames >= 5; }
  };
  whole_game_run(20000, at::in_the_mission);
  ASSERT_GE(mission_frames, 5);
  EXPECT_EQ(game.tunes, (std::vector<u32>{1, 0})) << "the map's tune and the mission's";
  wr8(missions_done + 7, 0xFF);
  whole_game_type({0x3B}); // F1
  const int frames_before = mission_frames;
  const int vbls = whole_game_run(2000, whole_game_at_title);
  EXPECT_LT(vbls, 2000) << "every slice returns, up to the title";
  EXPECT_TRUE(whole_game_at_title());
  EXPECT_LE(mission_frames - frames_before, 2) << "the mission ends at the key";
  for (u32 i = 0; i < 12; ++i) EXPECT_EQ(rd8(missions_done + i), 0u) << i;
  EXPECT_EQ(rd16(exit_request), 0u);
  EXPECT_EQ(rd32(quick_start), 0u);
  EXPECT_EQ(game.missions_completed, 0);
  EXPECT_EQ(game.tunes.size(), 2u) << "no result tune";
}

// A third game fails its first mission: the failed screen's tune, the high
// scores (no entry with no points), fire in the delay after them, and the
// next game's prompt without the title.
TEST_F(WholeGame, AFailedGameEndsAtTheNextPrompt) {
  whole_game_state& game = whole_game();
  boot(false);
  game.fail_missions = true;
  struct at {
    static bool second_prompt() { return whole_game().tunes.size() >= 3 && g_cpu.pc == 0xFDF0; }
  };
  const int vbls = whole_game_run(30000, at::second_prompt);
  EXPECT_LT(vbls, 30000);
  EXPECT_EQ(game.tunes, (std::vector<u32>{1, 0, 7, 5})) << "map, mission, failed, high scores";
  EXPECT_NE(rd32(quick_start), 0u) << "fire in the delay";
  EXPECT_EQ(g_cpu.pc, 0xFDF0u) << "the prompt of the next game";
  EXPECT_EQ(rd16(player1 + player_record::lives), 0u);
  EXPECT_TRUE(data_file_now() == data);
}

// The disk image does not carry the saved table: the game's own names stay
// (below the new entry), not eight empty ones.
TEST_F(WholeGame, FromADiskImageTheGamesOwnTableIsShown) {
  boot(true);
  whole_game_run(60000, whole_game_at_title);
  EXPECT_TRUE(whole_game_at_title());
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(ram + hiscore_names), 3), "AB ");
  for (u32 i = 1; i < 8; ++i) {
    std::string name(reinterpret_cast<const char*>(ram + hiscore_names + 22 * i), 5);
    EXPECT_EQ(name, synth_table_name(i - 1)) << i;
    EXPECT_EQ(rd32(hiscore_scores + 4 * i), 20000 - 2000 * (i - 1)) << "the default scores";
  }
  EXPECT_TRUE(data_file_now() == data);
}

// The screens a game passed, from where its slices ended: each label of
// `screen_labels` met, consecutive repeats once.
struct screen_label {
  u32 pc, wait_return;  // wait_return: for waits in wait_vbl and the delays
  const char* screen;
};
const screen_label screen_labels[] = {
    {0x79E2, 0xECEE, "title"},         // the full title's first wait
    {0x79E2, 0xEC08, "wait_fire"},     // under the title picture
    {0xFDF0, 0, "prompt"},             // the player count
    {0x79E2, 0xBC68, "map"},
    {0x79E2, 0xCBEA, "shop"},
    {0x00D0FE, 0, "equipment"},
    {0x79E2, 0x920E, "mission"},       // the frame loop's wait_two_vbl
    {0x75A8, 0xA978, "failed"},        // the mission-failed screen's pause
    {0x79E2, 0xF9EE, "complete"},      // the mission-complete tally
    {0x75A8, 0x39D2, "end"},           // the end text's pause
    {0x31B6, 0, "name"},               // the high scores' name entry
    {0x75BA, 0x3914, "scores"},        // the delay after a failed game's high scores
};
std::vector<std::string> screens_passed(const whole_game_state& g) {
  std::vector<std::string> out;
  for (auto [pc, ret] : g.labels)
    for (const screen_label& l : screen_labels)
      if (l.pc == pc && l.wait_return == ret && (out.empty() || out.back() != l.screen)) out.push_back(l.screen);
  return out;
}

bool at_title_after_twelve() { return whole_game().missions_completed == 12 && whole_game_at_title(); }

// The whole game from the real title: no quick start and no map data put
// in RAM; the title and the prompt are passed by fire and the "1" key, the
// map and the shop by the stick, as a player would. The missions are
// decided at the frame loop's first hook point as in the games above.
void twelve_missions_from_the_title(bool disk_image, const std::string& folder) {
  whole_game_state& game = whole_game();
  game.from_title = true;
  std::vector<u8> data;
  std::string name, error;
  ASSERT_TRUE(whole_game_boot(folder, disk_image, data, name, error)) << error;
  const int vbls = whole_game_run(14000, at_title_after_twelve);
  EXPECT_LT(vbls, 14000) << "pc $" << std::hex << g_cpu.pc;
  EXPECT_GT(vbls, 10000);
  EXPECT_TRUE(at_title_after_twelve());
  std::vector<std::string> want = {"title", "wait_fire", "prompt", "map", "shop", "equipment", "shop", "mission",
                                   "complete"};
  for (int m = 1; m < 12; ++m) want.insert(want.end(), {"map", "shop", "mission", "complete"});
  want.insert(want.end(), {"end", "name", "title"});
  EXPECT_EQ(screens_passed(game), want);
  // The title's tune, then per mission the map's, the mission's, the
  // result's and the one after it; the high scores' tune 5.
  std::vector<u32> tunes = {0};
  for (int i = 0; i < 12; ++i) tunes.insert(tunes.end(), {1, 0, 6, 3});
  tunes.push_back(5);
  EXPECT_EQ(game.tunes, tunes);
  EXPECT_EQ(rd32(hiscore_scores), 12u * whole_game_points);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(ram + hiscore_names), 3), "AB ");
  EXPECT_EQ(rd32(quick_start), 0u) << "never set";
}

TEST_F(WholeGame, TwelveMissionsFromTheRealTitleOnTheDataFile) { twelve_missions_from_the_title(false, folder.path); }

TEST_F(WholeGame, TwelveMissionsFromTheRealTitleOnTheDiskImage) { twelve_missions_from_the_title(true, folder.path); }

// A game by input alone, nothing written into the machine: from the real
// title into the first mission, where the player walks on until both
// lives are gone; the failed screen, the high scores without an entry,
// fire in the delay after them (the game keeps its count in quick_start)
// and the next game's prompt without the title.
TEST_F(WholeGame, AGameLostByInputAloneFromTheRealTitle) {
  whole_game_state& game = whole_game();
  game.from_title = true;
  game.input_only = true;
  boot(false);
  struct at {
    static bool second_prompt() {
      const std::vector<std::string> s = screens_passed(whole_game());
      return std::count(s.begin(), s.end(), "prompt") == 2;
    }
  };
  const int vbls = whole_game_run(8000, at::second_prompt);
  EXPECT_LT(vbls, 8000) << "pc $" << std::hex << g_cpu.pc;
  EXPECT_EQ(screens_passed(game), (std::vector<std::string>{"title", "wait_fire", "prompt", "map", "shop", "equipment",
                                                            "shop", "mission", "failed", "scores", "prompt"}));
  EXPECT_EQ(game.tunes, (std::vector<u32>{0, 1, 0, 7, 5})) << "title, map, mission, failed, high scores";
  EXPECT_EQ(game.missions_completed, 0);
  EXPECT_EQ(rd16(player1 + player_record::lives), 0u);
  EXPECT_NE(rd32(quick_start), 0u) << "fire in the delay";
  EXPECT_EQ(g_cpu.pc, 0xFDF0u) << "the prompt of the next game";
  EXPECT_TRUE(data_file_now() == data);
}

} // namespace
