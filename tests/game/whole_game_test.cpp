// A whole game on the synthetic data, as the host runs it: the data file
// selected, the boot state loaded, then per VBL one slice and the VBL
// delivery, with the player's input only through the keyboard processor
// (tos_key, tos_joystick). The game starts as the game's own quick start
// does, without the title; the missions are decided at frame_vertical's
// first hook point (points, tally counts, completed or failed) on the
// mission machine's stand-ins. Through the player-count prompt, the map,
// the shop (a purchase, a refusal, the equipment screen), the mission
// results, the end sequence and the high scores with a typed name.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "front_end_checks.h"
#include "game/game_ram.h"
#include "game/map_ram.h"
#include "game/mission_ram.h"
#include "game_harness.h"
#include "machine/boot_state.h"
#include "machine/game_data.h"
#include "machine/gemdos.h"
#include "machine/hooks.h"
#include "machine/ikbd.h"
#include "machine/loader_hold.h"
#include "machine/machine_state.h"
#include "machine/slice_runner.h"
#include "machine/tos.h"
#include "machine/vbl_delivery.h"
#include "support/mission_machine.h"
#include "support/synthetic_disk.h"
#include "support/synthetic_front_end.h"
#include "support/synthetic_map.h"
#include "support/temp_dir.h"

namespace {

constexpr u32 cache = 0x081000;
constexpr u32 colour14 = 0xFF825C;
constexpr u32 owned = 0x66, money = 0x58, tally = 0x96;
constexpr u32 points_per_mission = 0x15555555; // twelve take the score near the top of a long
constexpr u16 tally_per_mission = 4;

// Joystick 1 (player 1): directions in bits 0-3, fire in bit 7.
constexpr int stick_up = 1, stick_down = 2, stick_left = 4, stick_right = 8, stick_fire = 0x80;

struct player_hand {
  int stick = 0;         // the last report sent
  int key_down = -1;     // a key pressed at the last VBL, released at this one
  std::vector<int> typing;
  // The shop's plan for the first visit.
  int shop_visits = 0;
  bool in_shop = false, from_map = false;
  bool refused = false, equipment_seen = false, equipment_pressed = false;
  std::vector<int> shop_sounds;
};

// The game start has entered the title: its return into wait_fire lies on
// the fresh stack (the title routine, once written, runs on below it).
bool reached_title() { return rd32(0x0023FC) == 0x00EBFE; }

class WholeGame : public MissionTest {
 protected:
  void SetUp() override {
    MissionTest::SetUp();
    g_load_seconds = 0;
    setenv("BKM_FOPEN", "1", 1);
    hook_register(0x008EE2, decide_mission);
    hook_register(0x041BCC, note_tune);
    tunes.clear();
    missions_completed = 0;
    fail_missions = false;
    hand = {};
  }
  // The data file: "BKM" with the saved high-score sector, or the disk
  // image of the same data, which does not carry that sector.
  void boot(bool disk_image) {
    synth_game_data g = synth_standard();
    ASSERT_TRUE(synth_place_disk_road(g)) << g.error;
    if (disk_image) {
      data = synth_image(g);
      data_name = "brakmoor.st";
    } else {
      data = synth_bkm(g);
      synth_put_high_scores(data);
      data_name = "BKM";
    }
    ASSERT_FALSE(data.empty()) << g.error;
    ASSERT_TRUE(synth_write(folder / data_name, data));
    ASSERT_EQ(game_data_init(folder.path.c_str()), 1);
    state_ptr state(boot_state_make(folder.path.c_str()));
    ASSERT_NE(state, nullptr);
    tos_load_state(state.get());
  }
  std::vector<u8> data_file_now() {
    std::ifstream in(folder / data_name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  void TearDown() override {
    unsetenv("BKM_FOPEN");
    gemdos_close_all();
    game_data_release();
    MissionTest::TearDown();
  }

  static inline std::vector<u32> tunes;
  static inline int missions_completed;
  static inline bool fail_missions;
  static inline player_hand hand;
  static void note_tune(u32) { tunes.push_back(g_cpu.d[0] & 0xFFFF); }
  static void decide_mission(u32) {
    if (fail_missions) {
      wr16(player1 + player_record::lives, 0);
      return;
    }
    wr32(player1 + player_record::score, rd32(player1 + player_record::score) + points_per_mission);
    wr16(player1 + tally, rd16(player1 + tally) + tally_per_mission);
    wr16(exit_request, 0xFFFF);
    ++missions_completed;
  }

  static void send_stick(int state) {
    if (state != hand.stick) tos_joystick(1, state);
    hand.stick = state;
  }
  // The stick towards (tx, ty) of map_cursor, with fire when it is there.
  // A report takes effect a pass late, so "there" is 5 pixels around the
  // target (more than the 4-pixel step).
  static void steer(u32 tx, u32 ty, bool fire_there) {
    const int dx = static_cast<int>(rd16(map_cursor_x)) - static_cast<int>(tx);
    const int dy = static_cast<int>(rd16(map_cursor_y)) - static_cast<int>(ty);
    constexpr int near = 5;
    int s = 0;
    if (dx < -near) s |= stick_right;
    if (dx > near) s |= stick_left;
    if (dy < -near) s |= stick_down;
    if (dy > near) s |= stick_up;
    if (s == 0 && fire_there) s = stick_fire;
    send_stick(s);
  }
  static void type(std::initializer_list<int> codes) { hand.typing.insert(hand.typing.end(), codes); }

  // The shop's sounds, read before the VBL's driver ticks change the
  // effect's record.
  static void listen() {
    if (!hand.in_shop) return;
    const int e = take_started_effect({9, 13, 25});
    if (e) hand.shop_sounds.push_back(e);
  }

  // The player, after each VBL, by what the screen is.
  static void play() {
    if (hand.key_down >= 0) {
      tos_key(hand.key_down | 0x80);
      hand.key_down = -1;
      return;
    }
    const u32 at = g_cpu.pc;
    if (at == 0xFDF0 && hand.typing.empty()) type({0x02}); // one player
    if (at == 0x31B6 && hand.typing.empty() && rd16(0x0001C8) == 0) type({0x1E, 0x30, 0x1C}); // "AB", Return
    if (!hand.typing.empty()) {
      hand.key_down = hand.typing.front();
      hand.typing.erase(hand.typing.begin());
      tos_key(hand.key_down);
      return;
    }
    const bool shop = rd8(split_map) != 0xFF && rd16(colour14) == 0x047;
    if (shop && hand.from_map) ++hand.shop_visits;
    hand.from_map = rd8(split_map) == 0xFF || (hand.from_map && !shop);
    hand.in_shop = shop;
    if (rd8(split_map) == 0xFF) {
      // The map: the first open mission.
      u32 m = 0;
      while (m < 12 && rd8(missions_done + m)) ++m;
      const synth_map_box& b = synth_map_content().boxes[m % 12];
      steer(synth_box_centre_x(b), synth_box_centre_y(b), true);
    } else if (at == 0xD0FE || at == 0xD110) {
      // The equipment screen: a press, then its release.
      hand.equipment_seen = true;
      send_stick(hand.equipment_pressed ? 0 : stick_fire);
      hand.equipment_pressed = true;
    } else if (shop) {
      if (hand.shop_visits == 1 && !rd8(player1 + owned))
        steer(32, 12, true); // weapon 0
      else if (hand.shop_visits == 1 && !hand.refused) {
        steer(96, 12, true); // weapon 1, dearer than the money
        hand.refused = std::count(hand.shop_sounds.begin(), hand.shop_sounds.end(), 25) > 0;
      } else if (hand.shop_visits == 1 && !hand.equipment_seen)
        steer(32, 126, true); // cell 25
      else
        steer(312, 132, true); // leave
    } else if (at == 0x75BA) {
      send_stick(stick_fire); // fire shortens the end's delays
    } else {
      send_stick(0);
    }
  }

  // VBLs until the game fails or stops (a jump to the title while it is not
  // written), `stop` holds, or `limit` VBLs; the quick start is set once the game
  // start has begun (after the restart cleared it, before the game start
  // reads it).
  int run(int limit, bool (*stop)() = nullptr) {
    for (int vbls = 0; vbls < limit; ++vbls) {
      const int result = tos_run_slice(2000000);
      if (result != 1 || (stop && stop())) return vbls;
      if (!started && rd32(dev_string_pos) == dev_string) { // the game start, setting up its interrupts
        started = true;
        wr32(quick_start, 1);
        synth_map_tables_in_ram(synth_map_content());
        synth_map_file_in_cache(synth_map_content(), cache);
      }
      listen();
      tos_vbl();
      play();
    }
    return limit;
  }

  bool started = false; // the quick start is set once, at the first game start
  temp_dir folder;
  std::vector<u8> data;
  std::string data_name;
};

TEST_F(WholeGame, TwelveMissionsTheEndAndTheHighScores) {
  boot(false);
  run(60000, reached_title);
  EXPECT_TRUE(reached_title()) << "the title after the end; pc $" << std::hex << g_cpu.pc;
  EXPECT_EQ(missions_completed, 12);
  // The first shop visit: weapon 0 bought (9), weapon 1 refused (25), the
  // equipment screen seen.
  ASSERT_GE(hand.shop_sounds.size(), 2u);
  EXPECT_EQ(hand.shop_sounds[0], 9);
  EXPECT_EQ(hand.shop_sounds[1], 25);
  EXPECT_TRUE(hand.equipment_seen);
  EXPECT_EQ(hand.shop_visits, 12);
  // Per mission: the map's tune, the mission's, the result's, the one after
  // it; then the high scores' tune 5.
  std::vector<u32> expect;
  for (int i = 0; i < 12; ++i) expect.insert(expect.end(), {1, 0, 6, 3});
  expect.push_back(5);
  EXPECT_EQ(tunes, expect);
  EXPECT_GE(tos.wait_vbl_at[1], 0) << "the wait for tune 3's end at $3972";
  // The name typed is at the top of the table.
  EXPECT_EQ(rd32(hiscore_scores), 12u * points_per_mission);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(ram + hiscore_names), 3), "AB ");
  // The table's write reached no file.
  EXPECT_TRUE(data_file_now() == data) << "the data file byte for byte the same";
}

// A second game: one mission done, the developer sequence typed on the
// map, then F1 restarts the game: the game start runs again towards the
// title, with developer mode and the missions done cleared.
TEST_F(WholeGame, F1RestartsAGameInDeveloperMode) {
  boot(false);
  struct at {
    static bool developer_mode_on_the_map() {
      if (missions_completed == 1 && rd8(split_map) == 0xFF && hand.typing.empty() && hand.key_down < 0 &&
          rd16(dev_mode) == 0)
        type({synth_dev_sequence[0], synth_dev_sequence[1], synth_dev_sequence[2]});
      return rd16(dev_mode) != 0;
    }
  };
  run(20000, at::developer_mode_on_the_map);
  ASSERT_NE(rd16(dev_mode), 0u) << "developer mode on";
  EXPECT_EQ(rd8(missions_done), 0xFFu);
  type({0x3B}); // F1
  const int vbls = run(2000, reached_title);
  EXPECT_LT(vbls, 2000) << "every slice returns, up to the title";
  EXPECT_TRUE(reached_title());
  EXPECT_EQ(rd16(dev_mode), 0u);
  for (u32 i = 0; i < 12; ++i) EXPECT_EQ(rd8(missions_done + i), 0u) << i;
  EXPECT_EQ(rd32(dev_string_pos), dev_string);
  EXPECT_EQ(missions_completed, 1);
}

// A third game fails its first mission: the failed screen's tune, the high
// scores (no entry with no points), fire in the delay after them, and the
// next game's prompt without the title.
TEST_F(WholeGame, AFailedGameEndsAtTheNextPrompt) {
  boot(false);
  fail_missions = true;
  struct at {
    static bool second_prompt() { return tunes.size() >= 3 && g_cpu.pc == 0xFDF0; }
  };
  const int vbls = run(30000, at::second_prompt);
  EXPECT_LT(vbls, 30000);
  EXPECT_EQ(tunes, (std::vector<u32>{1, 0, 7, 5})) << "map, mission, failed, high scores";
  EXPECT_NE(rd32(quick_start), 0u) << "fire in the delay";
  EXPECT_EQ(g_cpu.pc, 0xFDF0u) << "the prompt of the next game";
  EXPECT_EQ(rd16(player1 + player_record::lives), 0u);
  EXPECT_TRUE(data_file_now() == data);
}

// The disk image does not carry the saved table: the game's own names stay
// (below the new entry), not eight empty ones.
TEST_F(WholeGame, FromADiskImageTheGamesOwnTableIsShown) {
  boot(true);
  run(60000, reached_title);
  EXPECT_TRUE(reached_title());
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(ram + hiscore_names), 3), "AB ");
  for (u32 i = 1; i < 8; ++i) {
    std::string name(reinterpret_cast<const char*>(ram + hiscore_names + 22 * i), 5);
    EXPECT_EQ(name, synth_table_name(i - 1)) << i;
    EXPECT_EQ(rd32(hiscore_scores + 4 * i), 20000 - 2000 * (i - 1)) << "the default scores";
  }
  EXPECT_TRUE(data_file_now() == data);
}

} // namespace
