// The high scores: ranking and insertion, the table screen, the name entry
// with its line editor and default names, both players in one sequence,
// the masked character output, and the table's write through the floppy
// transfer (which reaches no disk). Tables are the synthetic front end's.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <string>
#include <vector>

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "game_harness.h"
#include "machine/hooks.h"
#include "support/machine/interrupt_check.h"
#include "support/machine/resume_check.h"
#include "support/synthetic/synthetic_front_end.h"
#include "support/synthetic/synthetic_front_screens.h"
#include "support/synthetic/synthetic_sound.h"

namespace {

constexpr u32 entry_rank = 0x0001C6, entry_cursor = 0x0001C8, entry_name = 0x0001CC;
constexpr u32 entry_score = 0x0001E4, chosen_heading = 0x0001DC;
constexpr u32 input_line = 0x003476;
constexpr u32 table_copy = 0x028000;
constexpr u32 cache = 0x081000;

// Scan codes of the synthetic key table.
constexpr u8 key_a = 0x1E, key_b = 0x30, key_1 = 0x02, key_return = 0x1C, key_backspace = 0x0E;
constexpr u8 key_zero_entry = 0x01; // Escape: no character
constexpr u8 key_above = 0x47;      // past the table: reads entry 0

std::string name_at(u32 at) {
  std::string s;
  for (u32 i = 0; i < 20; ++i) s += static_cast<char>(rd8(at + i));
  return s;
}
std::string padded(std::string s) {
  s.resize(20, ' ');
  return s;
}

// The keyboard: the next key of the queue arrives once the game has taken
// the last one; transfers of the table are counted by the motor countdown
// they set.
std::deque<u8> keys;
int transfers;
void vbl_typing() {
  simple_vbl();
  if (rd16(motor_off_vbls) != 0) {
    ++transfers;
    wr16(motor_off_vbls, 0);
  }
  if (rd8(last_key) == 0 && !keys.empty()) {
    wr8(last_key, keys.front());
    keys.pop_front();
  }
}

class HighScores : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    load_test_font();
    synth_sound_load();
    synth_front_screens_in_ram();
    for (u32 i = 0; i < 8; ++i) wr32(hiscore_scores + 4 * i, 8000 - 1000 * i);
    for (u32 i = 0; i < 512; i += 4) wr32(table_copy + i, 0xA5A5A5A5);
    for (u32 i = 0; i < 4096; i += 4) wr32(cache + i, 0x5A5A0000 + i);
    wr32(cache_buffer, cache);
    wr32(cache_first, 0);
    wr32(cache_end, 819200);
    wr32(draw_screen, screen_buffer_b);
    keys.clear();
    transfers = 0;
  }
};

TEST_F(HighScores, Ranking) {
  struct road {
    u32 score, rank;
  };
  // The table: 8,000, 7,000 ... 1,000.
  for (const road& r : {road{1000, 8}, road{1001, 7}, road{8000, 1}, road{8001, 0}, road{0, 8},
                        road{0xFFFFFFFF, 0}, road{4500, 4}}) {
    wr32(entry_score, r.score);
    ASSERT_EQ(run_routine(0x003054), 1);
    EXPECT_EQ(rd16(entry_rank), r.rank) << r.score;
  }
}

TEST_F(HighScores, InsertionMovesTheLinesBelowDown) {
  for (u32 rank : {0u, 3u, 7u}) {
    SetUp();
    wr8(hiscore_names + 22 * 7 + 20, 0x11); // the two bytes after the last name
    wr8(hiscore_names + 22 * 7 + 21, 0x22);
    wr16(entry_rank, rank);
    wr32(entry_score, 12345);
    ASSERT_EQ(run_routine(0x002FAC), 1);
    for (u32 i = 0; i < 8; ++i) {
      const u32 score = i < rank ? 8000 - 1000 * i : i == rank ? 12345 : 8000 - 1000 * (i - 1);
      EXPECT_EQ(rd32(hiscore_scores + 4 * i), score) << rank << " " << i;
      const std::string name = i < rank ? padded(synth_table_name(i))
                               : i == rank ? std::string(20, ' ')
                                           : padded(synth_table_name(i - 1));
      EXPECT_EQ(name_at(hiscore_names + 22 * i), name) << rank << " " << i;
    }
    EXPECT_EQ(rd32(entry_name), hiscore_names + 22 * rank);
    EXPECT_EQ(rd8(hiscore_names + 22 * 7 + 20), 0x11u);
    EXPECT_EQ(rd8(hiscore_names + 22 * 7 + 21), 0x22u);
  }
}

TEST_F(HighScores, TheLineEditor) {
  struct road {
    const char* what;
    std::vector<u8> keys;
    std::string line;
  };
  const road roads[] = {
      {"typed", {key_a, key_b, key_1, key_return}, "AB1"},
      {"releases, zero entries and codes past the table ignored",
       {key_a, u8(key_a | 0x80), key_zero_entry, key_above, key_b, key_return},
       "AB"},
      {"delete", {key_a, key_b, key_backspace, key_1, key_return}, "A1"},
      {"the twentieth place is replaced",
       {key_a, key_a, key_a, key_a, key_a, key_a, key_a, key_a, key_a, key_a, key_a, key_a, key_a, key_a, key_a,
        key_a, key_a, key_a, key_a, key_b, key_1, key_return},
       "AAAAAAAAAAAAAAAAAAA1"},
  };
  for (const road& r : roads) {
    SetUp();
    wr32(entry_name, 0x30000);
    wr16(entry_rank, 2);
    keys.assign(r.keys.begin(), r.keys.end());
    run_routine(0x003000, 200, vbl_typing);
    ASSERT_TRUE(driver_finished()) << r.what;
    EXPECT_EQ(name_at(0x30000), padded(r.line)) << r.what;
    EXPECT_EQ(screen_text(screen_buffer_b, 4800 + 2880 * 2, 7, 20), padded(r.line)) << r.what;
    EXPECT_EQ(screen_cell_colour(screen_buffer_b, 4800 + 2880 * 2, 7), 5u) << "colour 3 + rank";
    EXPECT_EQ(rd16(cycle_register), 5u);
    EXPECT_NE(rd16(cycle_on), 0u);
  }
}

TEST_F(HighScores, TheNameIsTypedOnItsRanksLineInColourThreePlusTheRank) {
  for (u32 rank : {0u, 1u, 6u, 7u}) {
    SetUp();
    wr32(entry_name, 0x30000);
    wr16(entry_rank, rank);
    wr16(text_colour, 12); // the prompt's colour
    keys.assign({key_a, key_b, key_return});
    run_routine(0x003000, 200, vbl_typing);
    ASSERT_TRUE(driver_finished()) << "rank " << rank;
    const u32 line = 4800 + 2880 * rank;
    EXPECT_EQ(screen_text(screen_buffer_b, line, 7, 3), "AB ") << "rank " << rank;
    EXPECT_EQ(screen_cell_colour(screen_buffer_b, line, 7), 3 + rank) << "rank " << rank;
    EXPECT_EQ(screen_cell_colour(screen_buffer_b, line, 8), 3 + rank) << "rank " << rank;
    EXPECT_EQ(rd16(cycle_register), 3 + rank) << "rank " << rank;
  }
}

TEST_F(HighScores, DeleteAtTheStartBlanksTheFirstTwoPlaces) {
  for (u32 i = 0; i < 20; ++i) wr8(input_line + i, 'X');
  wr16(entry_cursor, 0);
  ASSERT_EQ(run_routine(0x0033EE), 1);
  EXPECT_EQ(name_at(input_line), "  XXXXXXXXXXXXXXXXXX");
  EXPECT_EQ(rd16(entry_cursor), 0u);
}

TEST_F(HighScores, ReturnOnAnEmptyLineTakesADefaultNameByTheVBLCounter) {
  for (u16 counter : {0x0000, 0x0040, 0x07FF, 0x0840, 0x1234}) {
    SetUp();
    wr32(entry_name, 0x30000);
    wr16(entry_rank, 0);
    wr16(vbl_counter, counter);
    keys = {key_return};
    struct still {
      static void vbl() {
        vbl_typing();
        wr16(vbl_counter, rd16(vbl_counter) - 1); // the counter stays
      }
    };
    run_routine(0x003000, 20, still::vbl);
    ASSERT_TRUE(driver_finished());
    EXPECT_EQ(name_at(0x30000), padded(synth_default_name((counter >> 6) & 31))) << counter;
  }
}

TEST_F(HighScores, TheMaskedOutputDrawsInItsColourOverTheCleanPicture) {
  // The glyph of 'A' in the test font (synth_font_row).
  for (u32 i = 0; i < 32000; i += 2) {
    wr16(screen_buffer_a + i, 0x5555);
    wr16(screen_buffer_b + i, 0xFFFF);
  }
  wr16(text_line, 1440);
  wr16(text_column, 3);
  wr16(text_colour, 0x9); // planes 0 and 3
  fill_register_patterns();
  g_cpu.d[0] = 'A';
  const cpu_state before = g_cpu;
  ASSERT_EQ(run_routine(0x0034FA), 1);
  const u32 at = screen_buffer_b + 1440 + 8 + 1;
  for (u32 row = 0; row < 8; ++row) {
    const u32 g = synth_font_row('A', row);
    for (u32 plane = 0; plane < 4; ++plane) {
      const u32 ink = plane == 0 || plane == 3 ? g : 0;
      EXPECT_EQ(rd8(at + 160 * row + 2 * plane), ink | (0x55 & ~g)) << row << " " << plane;
    }
    EXPECT_EQ(rd8(at + 160 * row - 1), 0xFFu) << "the next byte of the group is not touched";
  }
  EXPECT_EQ(rd16(text_column), 4u);
  for (int r = 0; r < 8; ++r) EXPECT_EQ(g_cpu.d[r], before.d[r]) << "d" << r;
  for (int r = 0; r < 7; ++r) EXPECT_EQ(g_cpu.a[r], before.a[r]) << "a" << r;

  EXPECT_EQ(rd8(at + 160 * 8), 0xFFu) << "eight rows only";

  struct control {
    u8 byte;
    u32 line, column, colour;
  };
  for (const control& c : {control{0x8C, 1440, 4, 12}, control{13, 2880, 2, 9}, control{5, 1440, 9, 9},
                           control{31, 1440, 35, 9}, control{' ', 1440, 5, 9}}) {
    wr16(text_line, 1440);
    wr16(text_column, 4);
    wr16(text_margin, 2);
    wr16(text_colour, 9);
    g_cpu.d[0] = c.byte;
    ASSERT_EQ(run_routine(0x0034FA), 1);
    EXPECT_EQ(rd16(text_line), c.line) << int(c.byte);
    EXPECT_EQ(rd16(text_column), c.column) << int(c.byte);
    EXPECT_EQ(rd16(text_colour), c.colour) << int(c.byte);
  }
}

// The heading: draws of the generator until one has bit 3 clear; its low
// three bits choose the heading.
TEST_F(HighScores, TheHeadingIsChosenByTheFirstDrawWithBit3Clear) {
  for (u32 seed : {0x12345678u, 0x00000001u, 0x0BADCAFEu, 0x00400004u, 0x7FFFFFFFu}) {
    u32 v = seed, r = 0;
    do {
      const u32 w = v << 1;
      v = w | (((w >> 23) ^ (w >> 1)) & 1);
      r = v & 15;
    } while (r & 8);
    wr32(random_seed, seed);
    g_cpu.d[0] = 0xCAFE1234;
    ASSERT_EQ(run_routine(0x00360C), 1);
    EXPECT_EQ(g_cpu.a[0], 0x3640 + rd16(0x362E + 2 * r)) << std::hex << seed;
    EXPECT_EQ(g_cpu.d[0], 0xCAFE1234u);
    EXPECT_EQ(rd32(random_seed), v);
  }
}

// --- the whole sequence --------------------------------------------------------------

class HighScoreSequence : public HighScores {
 protected:
  void SetUp() override {
    HighScores::SetUp();
    tunes.clear();
    hook_register(0x041BCC, note_tune);
  }
  static inline std::vector<u32> tunes;
  static void note_tune(u32) { tunes.push_back(g_cpu.d[0] & 0xFFFF); }
  // What the screen shows when a name entry starts: the prompt, its colour,
  // and the table lines around the new one.
  static inline std::vector<std::string> entries;
  static void vbl_noting_entries() {
    const slice_end last = driver_slice_ends().back();
    if (last == waited(0x31B6) && rd16(entry_cursor) == 0 && rd8(last_key) == 0 &&
        (entries.size() < 1 + rd16(current_player))) {
      const u32 rank = rd16(entry_rank), line = 0x12C0 + 2880 * rank;
      entries.push_back(screen_text(screen_buffer_b, 0x7760, 8, 8) + " " +
                        std::to_string(screen_cell_colour(screen_buffer_b, 0x7760, 8)) + " " +
                        screen_text(screen_buffer_b, line - 2880, 7, 5) + "|" +
                        screen_text(screen_buffer_b, line, 7, 20) + "|" +
                        screen_text(screen_buffer_b, line + 2880, 7, 5));
    }
    vbl_typing();
  }
  void run() {
    entries.clear();
    run_routine(0x002D9A, 3000, vbl_noting_entries);
    ASSERT_TRUE(driver_finished());
  }
};

TEST_F(HighScoreSequence, TheTableScreen) {
  wr32(random_seed, 0x12345678);
  run();
  EXPECT_EQ(tunes, std::vector<u32>{5});
  const std::string heading = screen_text(screen_buffer_b, 0x320, 0, 9);
  EXPECT_EQ(heading.substr(0, 8), "HEADING ");
  EXPECT_GE(heading[8], 'A');
  EXPECT_LE(heading[8], 'H');
  EXPECT_EQ(screen_cell_colour(screen_buffer_b, 0x320, 0), 12u);
  for (u32 i = 0; i < 8; ++i) {
    const u32 line = 0x12C0 + 2880 * i;
    EXPECT_EQ(screen_text(screen_buffer_b, line, 4, 1), std::string(1, static_cast<char>('1' + i)));
    EXPECT_EQ(screen_text(screen_buffer_b, line, 7, 20), padded(synth_table_name(i)));
    EXPECT_EQ(screen_cell_colour(screen_buffer_b, line, 7), 3 + i);
    const std::string score = std::to_string(8000 - 1000 * i);
    EXPECT_EQ(screen_text(screen_buffer_b, line, 29, 7), std::string(7 - score.size(), '0') + score);
  }
  EXPECT_EQ(rd16(cycle_on), 0u);
  EXPECT_EQ(transfers, 0) << "nothing written when no score enters";
  EXPECT_EQ(rd32(table_copy), 0xA5A5A5A5u);
  // The clean picture of the masked output: the screen as it was cleared.
  for (u32 i = 0; i < 32000; i += 4) ASSERT_EQ(rd32(screen_buffer_a + i), 0u) << i;
}

TEST_F(HighScoreSequence, BothPlayersEnterAndTheTableIsWrittenOnceForEach) {
  wr16(player1, 1);
  wr16(player2, 1);
  wr32(player1 + player_record::score, 5500); // rank 3
  wr32(player2 + player_record::score, 7500); // rank 1: moves player 1's line to 4
  keys = {key_a, key_return, key_b, key_b, key_return};
  wr16(current_player, 1); // what the game before left
  std::vector<u8> cache_before(ram + cache, ram + cache + 4096);
  const u32 tag = rd32(cache_first);
  run();
  EXPECT_EQ(name_at(hiscore_names + 22 * 1), padded("BB"));
  EXPECT_EQ(name_at(hiscore_names + 22 * 4), padded("A"));
  EXPECT_EQ(rd32(hiscore_scores + 4 * 1), 7500u);
  EXPECT_EQ(rd32(hiscore_scores + 4 * 4), 5500u);
  EXPECT_EQ(rd32(hiscore_scores + 4 * 7), 3000u) << "two entries dropped out";
  EXPECT_EQ(screen_text(screen_buffer_b, 0x12C0 + 2880 * 1, 7, 3), "BB ");
  EXPECT_EQ(screen_text(screen_buffer_b, 0x12C0 + 2880 * 4, 7, 2), "A ");
  // Written after each entry, from $28000: the names, then the scores.
  EXPECT_EQ(transfers, 2);
  // At each entry: the table with the new empty line, and the prompt in
  // colour 12 with the player's number.
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0], "PLAYER 1 12 GAME2|                    |GAME3");
  EXPECT_EQ(entries[1], "PLAYER 2 12 GAME0|                    |GAME1");
  for (u32 i = 0; i < 222; ++i) ASSERT_EQ(rd8(table_copy + i), rd8(hiscore_names + i)) << i;
  for (u32 i = 0; i < 8; ++i) EXPECT_EQ(rd32(table_copy + 222 + 4 * i), rd32(hiscore_scores + 4 * i));
  EXPECT_EQ(rd32(table_copy + 256), 0xA5A5A5A5u) << "the rest of the sector as it was";
  EXPECT_EQ(rd16(disk_track), 0u);
  EXPECT_EQ(rd16(disk_sector), 2u);
  EXPECT_EQ(rd32(disk_buffer), table_copy);
  EXPECT_TRUE(std::equal(cache_before.begin(), cache_before.end(), ram + cache)) << "the disk cache unchanged";
  EXPECT_EQ(rd32(cache_first), tag);
}

TEST_F(HighScoreSequence, PlayerOnesFlashingColourIsRestoredBeforePlayerTwo) {
  wr16(player1, 1);
  wr32(player1 + player_record::score, 6500); // rank 2: register 5
  keys = {key_a, key_return};
  struct spoil {
    static void vbl() {
      vbl_typing();
      if (rd16(cycle_on)) wr16(0xFF8240 + 2 * 5, 0x0ABC); // what the cycling left
    }
  };
  run_routine(0x002D9A, 3000, spoil::vbl);
  ASSERT_TRUE(driver_finished());
  EXPECT_EQ(rd16(0xFF8240 + 2 * 5), rd16(0x0035CE + 2 * 5));
  EXPECT_EQ(transfers, 1);
}

// Keys by the VBL counter, so that a loaded machine state types the same.
void vbl_typing_by_counter() {
  simple_vbl();
  const u32 v = rd16(vbl_counter);
  if (v == 20) wr8(last_key, key_a);
  if (v == 30) wr8(last_key, key_return);
}

TEST_F(HighScoreSequence, ResumesAlike) {
  wr16(player1, 1);
  wr32(player1 + player_record::score, 9000);
  EXPECT_TRUE(resumes_alike({.entry = 0x002D9A, .between = vbl_typing_by_counter, .load_every = 64}));
}

} // namespace
