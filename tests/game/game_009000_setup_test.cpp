// The set-up of a mission and of its vertical sections, the weapon picture
// in the panel, the collision lookup and the counter check, on the mission
// machine with the synthetic set-up tables and level files.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "support/tables/mission_builder.h"
#include "support/machine/mission_machine.h"
#include "support/machine/resumption_check.h"
#include "support/tables/setup_tables.h"

namespace {

constexpr u32 next_section = 0x009062, clear_collision = 0x0090AA, new_game = 0x0090C2;
constexpr u32 each_mission = 0x009134, clear_tables = 0x0091D0;
constexpr u32 mission_screen = 0x008C64, pictures_routine = 0x008CA2;
constexpr u32 first_weapons = 0x009D70, weapon_picture = 0x009DB8;
constexpr u32 counter_check = 0x00ADF2, collision_lookup = 0x00AF6A;

// Fills n bytes from `at` with a pattern that differs from address to address.
void pattern(u32 at, u32 n, u32 salt) {
  for (u32 i = 0; i < n; ++i) wr8(at + i, (i * 7 + salt) & 0xFF);
}

// --- sections ------------------------------------------------------------------------

void level_words(std::vector<i16> words) {
  for (u32 i = 0; i < words.size(); ++i) wr16(level_table + 2 * i, static_cast<u16>(words[i]));
}

class Setup : public MissionTest {};

TEST_F(Setup, TheNextVerticalSectionTakesItsMapAndStreamAndClearsTheCollisionMap) {
  struct row {
    u16 section_before, stream_before;
    u32 map_word; // the level_table word the map is read from
  };
  // maps: words 0-3; streams: words 4 on
  level_words({-0x40, 0x100, 0x200, 0x300, 0x1000, -0x20, 0x1200, 0x1300, 0x1400, 0x1500});
  const row rows[] = {
      {0xFFFF, 0xFFFF, 0}, {0, 0, 1}, {2, 3, 3},
      {3, 4, 3}, // a fifth vertical section plays the fourth map again
      {7, 5, 3},
  };
  for (const row& r : rows) {
    for (u32 a = 0x23F0; a < 0x2850; ++a) wr8(a, 0xFF);
    wr16(level_section, r.section_before);
    wr16(stream_section, r.stream_before);
    wr16(scroll_pos, 0x0560);
    wr8(event_clock, 3);
    ASSERT_EQ(run_routine(next_section), 1);
    const u16 section = static_cast<u16>(r.section_before + 1), stream = static_cast<u16>(r.stream_before + 1);
    EXPECT_EQ(rd16(scroll_pos), 223u);
    EXPECT_EQ(rd16(level_section), section);
    EXPECT_EQ(rd32(level_map_pointer), level_data + static_cast<u32>(static_cast<i16>(rd16(level_table + 2 * r.map_word))));
    EXPECT_EQ(rd16(stream_section), stream);
    EXPECT_EQ(rd32(event_pointer), level_table + static_cast<u32>(static_cast<i16>(rd16(level_table + 8 + 2 * stream))));
    EXPECT_EQ(rd8(event_clock), 184u);
    EXPECT_EQ(rd8(0x23F0), 0xFFu);
    for (u32 a = 0x2400; a < 0x2840; ++a) ASSERT_EQ(rd8(a), 0u) << std::hex << a;
    for (u32 a = 0x2840; a < 0x2848; ++a) EXPECT_EQ(rd8(a), 0xFFu) << "kept";
  }
  // the negative offsets
  wr16(level_section, 0xFFFF);
  wr16(stream_section, 0);
  run_routine(next_section);
  EXPECT_EQ(rd32(level_map_pointer), level_data - 0x40);
  EXPECT_EQ(rd32(event_pointer), level_table - 0x20);
}

TEST_F(Setup, SectionBySectionThroughAMissionOfFourMapsAndEightStreams) {
  mission_builder m;
  for (u8 k = 0; k < 4; ++k) ASSERT_TRUE(m.map({{{k}, {1}, {2}}, {{3}, {4}, {5}}})) << m.error;
  for (u8 k = 0; k < 8; ++k) ASSERT_TRUE(m.stream({{184, 254, static_cast<u8>(10 + k), 100, k}})) << m.error;
  m.put_in_ram();
  wr16(level_section, 0xFFFF);
  wr16(stream_section, 0xFFFF);
  for (int section = 0; section < 6; ++section) {
    ASSERT_EQ(run_routine(next_section), 1);
    EXPECT_EQ(rd32(level_map_pointer), m.map_address(std::min(section, 3))) << section;
    EXPECT_EQ(rd8(rd32(level_map_pointer)), std::min(section, 3)) << "the map's first block";
    EXPECT_EQ(rd32(event_pointer), m.stream_address(section));
    EXPECT_EQ(rd8(rd32(event_pointer) + 4), section) << "the stream's own goal";
  }
}

TEST_F(Setup, ThePlayerRecordsOfANewGameAndOfEachMission) {
  // entry 0: (10, 20, 30); entry 1: (11, 21, 31)
  const u16 entries[6] = {10, 20, 30, 11, 21, 31};
  struct row {
    bool two;
    u16 lives1, lives2;
    u16 x1, third1, x2, third2; // each mission's placement
    u16 want1, want2;           // lives after the mission set-up
  };
  const row rows[] = {
      {false, 0, 0, 146, 40, 0, 0, 0, 0},
      {false, 1, 0, 146, 40, 0, 0, 3, 0},
      {false, 5, 0, 146, 40, 0, 0, 5, 0},
      {true, 2, 3, 11, 31, 10, 30, 3, 3},
      {true, 0, 1, 11, 31, 146, 0, 0, 3}, // player 1 out: player 2 mid-field
      {true, 3, 0, 146, 40, 10, 30, 3, 0}, // player 2 out: player 1 mid-field
      {true, 5, 2, 11, 31, 10, 30, 5, 3},
  };
  for (const row& r : rows) {
    SetUp();
    setup_tables t;
    t.two_players = r.two;
    t.starts = {{{entries[0], entries[1], entries[2]}, {entries[3], entries[4], entries[5]}}};
    t.put_in_ram();
    for (u32 p : {player1, player2}) {
      pattern(p, 0x9C, p);
      wr32(p + player_record::score, 0x1234);
    }
    const std::vector<u8> p2_before = [] {
      std::vector<u8> v;
      for (u32 i = 0; i < 0x9C; ++i) v.push_back(static_cast<u8>(rd8(player2 + i)));
      return v;
    }();
    ASSERT_EQ(run_routine(new_game), 1);
    const u32 players = r.two ? 2 : 1;
    for (u32 n = 0; n < players; ++n) {
      const u32 p = n == 0 ? player1 : player2;
      const u32 e = r.two ? 1 - n : 0;
      EXPECT_EQ(rd16(p + 0), 3u);
      EXPECT_EQ(rd32(p + 0x58), 10000u);
      EXPECT_EQ(rd32(p + player_record::score), 0x1234u) << "points untouched";
      EXPECT_EQ(rd16(p + 4), entries[3 * e + 1]);
      for (u32 f : {0x0Cu, 0x2Au, 0x50u, 0x96u}) EXPECT_EQ(rd16(p + f), 0u) << f;
      EXPECT_EQ(rd16(p + 0x44), 2u);
      EXPECT_EQ(rd8(p + 0x19), 0u);
      EXPECT_EQ(rd8(p + 0x12), 0u);
      if (r.two || n == 1) {
        EXPECT_EQ(rd16(p + 2), entries[3 * e]);
        EXPECT_EQ(rd16(p + 6), entries[3 * e + 2]);
      }
    }
    if (!r.two) {
      EXPECT_EQ(rd16(player1 + 2), 146u);
      EXPECT_EQ(rd16(player1 + 6), 40u);
      for (u32 i = 0; i < 0x9C; ++i) ASSERT_EQ(rd8(player2 + i), p2_before[i]) << "player 2 left alone";
    }
    wr16(player1 + 0, r.lives1);
    wr16(player2 + 0, r.lives2);
    for (u32 p : {player1, player2}) {
      wr8(p + 0x1A, 0x5A);
      wr16(p + 0x36, 7);
      wr16(p + 0x94, 0xFF00);
      wr16(p + 0x50, 9);
    }
    ASSERT_EQ(run_routine(each_mission), 1);
    EXPECT_EQ(rd16(player1 + 0), r.want1);
    EXPECT_EQ(rd16(player1 + 2), r.x1);
    EXPECT_EQ(rd16(player1 + 6), r.third1);
    EXPECT_EQ(rd16(player1 + 0x36), 1u);
    EXPECT_EQ(rd16(player1 + 0x94), 0u);
    EXPECT_EQ(rd16(player1 + 0x50), 0u);
    EXPECT_EQ(rd8(player1 + 0x1A), 0x5Au);
    if (r.two) {
      EXPECT_EQ(rd16(player2 + 0), r.want2);
      EXPECT_EQ(rd16(player2 + 2), r.x2);
      EXPECT_EQ(rd16(player2 + 6), r.third2);
      EXPECT_EQ(rd16(player2 + 0x36), 1u);
    }
  }
}

TEST_F(Setup, TheObjectTablesAreClearedFrom412To1DC2Inclusive) {
  for (u32 a = 0x400; a < 0x1DD0; ++a) wr8(a, 0xA5);
  ASSERT_EQ(run_routine(clear_tables), 1);
  EXPECT_EQ(rd8(0x411), 0xA5u);
  EXPECT_EQ(rd8(0x1DC3), 0xA5u);
  for (u32 a = 0x412; a <= 0x1DC2; ++a) ASSERT_EQ(rd8(a), 0u) << std::hex << a;
}

// --- the mission screen ----------------------------------------------------------------

constexpr u32 left_picture = 0x25BE8, right_picture = 0x25C68; // line 147, x 16 and x 272

TEST_F(Setup, OnePlayerNeverSeesTheMissionsOwnPictureOnTheRight) {
  setup_tables{}.put_in_ram();
  struct row {
    u16 mission;
    bool two;
  };
  for (const row r : {row{0, false}, row{11, false}, row{5, false}, row{11, true}, row{3, true}}) {
    for (u32 seed : {0x12345678u, 0x00000001u, 0x0BADCAFEu, 0x00400000u | 0x7FFu}) {
      wr16(chosen_mission, r.mission);
      wr16(two_player_flag, r.two ? 0xFFFF : 0);
      wr32(random_seed, seed);
      for (u32 i = 0; i < 16; ++i) wr8(left_picture + 160 * 21 + i, 0x5A);
      ASSERT_EQ(run_routine(pictures_routine, 50), 1);
      EXPECT_EQ(mission_picture_at(left_picture), r.mission) << "21 lines of 16 bytes";
      for (u32 i = 0; i < 16; ++i) ASSERT_EQ(rd8(left_picture + 160 * 21 + i), 0x5Au) << "no 22nd line";
      const int right = mission_picture_at(right_picture);
      if (r.two) {
        EXPECT_EQ(right, r.mission);
      } else {
        EXPECT_NE(right, r.mission);
        EXPECT_GE(right, 0);
      }
      // one draw after the other: the right picture is the first draw unequal to the mission
      if (!r.two) {
        u32 s = seed, pick = 0;
        do {
          const u32 v = s << 1;
          s = v | (((v >> 23) ^ (v >> 1)) & 1);
          pick = std::min<u32>(s & 15, 11);
        } while (pick == r.mission);
        EXPECT_EQ(right, static_cast<int>(pick)) << "seed " << seed;
        EXPECT_EQ(rd32(random_seed), s);
      }
    }
  }
}

// The pixels of a screen piece of `groups` 16-pixel groups per line as
// built, against a screen.
void expect_piece(u32 screen_at, const std::vector<u8>& source, u32 lines, u32 bytes_per_line, const char* what) {
  for (u32 line = 0; line < lines; ++line)
    for (u32 i = 0; i < bytes_per_line; ++i)
      ASSERT_EQ(rd8(screen_at + 160 * line + i), source[bytes_per_line * line + i]) << what << " line " << line;
}

TEST_F(Setup, TheMissionScreenEndsWithBothScreensAlikeAndTheMissionPalette) {
  for (bool two : {false, true}) {
    SetUp();
    setup_tables t;
    t.two_players = two;
    t.put_in_ram();
    default_mission().put_in_ram();
    pattern(0x8C24, 32, 1);
    wr16(0x8C40, 0x0123);
    wr8(player1 + 0x66 + 4, 1);
    wr8(player2 + 0x66 + 7, 1);
    wr16(chosen_mission, 2);
    wr32(random_seed, mission_random_seed);
    ASSERT_EQ(run_routine(next_section), 1);
    const u32 map_at = rd32(level_map_pointer);
    ASSERT_GT(run_routine(mission_screen, 200), 0);
    for (u32 c = 0; c < 16; ++c) {
      if (c == 14) continue;
      EXPECT_EQ(rd16(0xFF8240 + 2 * c) & 0x777, rd16(0x8C24 + 2 * c) & 0x777) << c;
    }
    EXPECT_EQ(rd16(0xFF825C) & 0x777, 0x0123u) << "colour 14 from the mission data";
    expect_piece(0x20268, t.panel, 40, 16, "panel piece");
    EXPECT_EQ(rd8(0x20268 + 160 * 40), 0u) << "40 lines";
    EXPECT_EQ(rd16(player1 + 0x0C), 4u);
    EXPECT_EQ(weapon_picture_at(0x20000 + 0x2948), 4);
    EXPECT_EQ(rd16(player1 + 0x4A), t.weapon_params[4][0]);
    if (two) {
      EXPECT_EQ(rd16(player2 + 0x0C), 7u);
      EXPECT_EQ(weapon_picture_at(0x20000 + 0x29D0), 7);
      EXPECT_EQ(rd16(player2 + 0x4A), t.weapon_params[7][0]);
      EXPECT_EQ(rd8(0x20000 + 0x6FC0), 0u) << "no plate with two players";
    } else {
      EXPECT_EQ(rd16(player2 + 0x0C), 0u) << "player 2 left alone";
      EXPECT_EQ(weapon_picture_at(0x20000 + 0x29D0), -1) << "no picture for player 2";
      for (u32 screen : {0x18000u, 0x20000u}) expect_piece(screen + 0x6FC0, t.plate2, 18, 32, "player 2's plate");
    }
    EXPECT_EQ(mission_picture_at(left_picture), 2);
    const int right = mission_picture_at(right_picture);
    EXPECT_TRUE(two ? right == 2 : right >= 0 && right != 2) << right;
    for (u32 i = 0; i < 32000; i += 4) ASSERT_EQ(rd32(0x18000 + i), rd32(0x20000 + i)) << i;
    // the ring as the prefill alone leaves it
    std::vector<u8> ring(256 * ring_row_bytes);
    for (u32 i = 0; i < ring.size(); ++i) ring[i] = static_cast<u8>(rd8(bg_ring + i));
    EXPECT_NE(std::count(ring.begin(), ring.end(), 0), static_cast<long>(ring.size()));
    for (u32 i = 0; i < ring.size(); ++i) wr8(bg_ring + i, 0);
    wr32(level_map_pointer, map_at);
    ASSERT_GT(run_routine(0x008D1E, 200), 0);
    for (u32 i = 0; i < ring.size(); ++i) ASSERT_EQ(rd8(bg_ring + i), ring[i]) << "ring byte " << i;
  }
}

TEST_F(Setup, ThePlatesGoIntoBothScreensAtLine178) {
  struct row {
    u32 routine, source, at;
  };
  for (const row r : {row{0x008E24, 0x104AC, 0x6F40}, row{0x008DC6, 0x1026C, 0x6FC0}}) {
    pattern(r.source, 576 + 64, r.at + 1); // and bytes after the plate, never copied
    ASSERT_EQ(run_routine(r.routine, 10), 1);
    for (u32 screen : {0x18000u, 0x20000u})
      for (u32 line : {0u, 17u})
        for (u32 i : {0u, 31u}) EXPECT_EQ(rd8(screen + r.at + 160 * line + i), rd8(r.source + 32 * line + i));
    for (u32 screen : {0x18000u, 0x20000u}) EXPECT_EQ(rd8(screen + r.at + 160 * 18), 0u) << "18 lines";
  }
}

// --- weapon picture ------------------------------------------------------------------

TEST_F(Setup, TheWeaponPictureGoesIntoBothScreensAndTheParametersIntoTheRecord) {
  struct row {
    u32 record;
    u16 player, weapon;
    u32 at;
  };
  for (const row r : {row{player1, 0, 3, 0x2948}, row{player2, 1, 18, 0x29D0}, row{player1, 1, 0, 0x29D0}}) {
    SetUp();
    setup_tables t;
    for (u32 w = 0; w < 19; ++w)
      t.weapon_params[w] = {static_cast<u16>(0x100 * w + 0x11), static_cast<u16>(0x100 * w + 0x22), 0x33CC,
                            static_cast<u16>(0x100 * w + 0x44), static_cast<u16>(w % 5)};
    t.put_in_ram();
    for (u32 s : {0x18000u, 0x20000u}) pattern(s + 0x2900, 160 * 64, 0x77);
    wr16(current_player, r.player);
    wr16(r.record + 0x0C, r.weapon);
    wr8(r.record + 0x19, 0xFF);
    wr8(r.record + 0x1A, 0x5A);
    a4 = r.record;
    d0 = 0x1111;
    d1 = 0x2222;
    d7 = 0x7777;
    a0 = 0xA0;
    a1 = 0xA1;
    a2 = 0xA2;
    a6 = 0xA6;
    sync_regs_out();
    ASSERT_EQ(run_routine(weapon_picture, 10), 1);
    EXPECT_EQ(g_cpu.d[0], 0x1111u);
    EXPECT_EQ(g_cpu.d[1], 0x2222u);
    EXPECT_EQ(g_cpu.d[7], 0x7777u);
    EXPECT_EQ(g_cpu.a[0], 0xA0u);
    EXPECT_EQ(g_cpu.a[1], 0xA1u);
    EXPECT_EQ(g_cpu.a[2], 0xA2u);
    EXPECT_EQ(g_cpu.a[4], r.record);
    EXPECT_EQ(g_cpu.a[6], 0xA6u);
    for (u32 s : {0x18000u, 0x20000u}) {
      EXPECT_EQ(weapon_picture_at(s + r.at), r.weapon) << "59 lines";
      const u32 before = rd8(s + r.at - 1), after = rd8(s + r.at + 8), below = rd8(s + r.at + 160 * 59);
      pattern(0x80000, 160 * 64, 0x77);
      EXPECT_EQ(before, rd8(0x80000 + r.at - 1 - 0x2900)) << "beside untouched";
      EXPECT_EQ(after, rd8(0x80000 + r.at + 8 - 0x2900));
      EXPECT_EQ(below, rd8(0x80000 + r.at + 160 * 59 - 0x2900));
    }
    const u32 rec = weapon_param_table + 10 * r.weapon;
    EXPECT_EQ(rd16(r.record + 0x4A), rd16(rec));
    EXPECT_EQ(rd16(r.record + 0x4C), rd16(rec + 2));
    EXPECT_EQ(rd8(r.record + 0x4E), 0xCCu) << "the low byte of the delay word";
    EXPECT_EQ(rd16(r.record + 0x52), rd16(rec + 6));
    EXPECT_EQ(rd16(r.record + 0x64), rd16(rec + 8));
    EXPECT_EQ(rd8(r.record + 0x19), 0u);
    EXPECT_EQ(rd8(r.record + 0x1A), 0x5Au) << "a byte";
  }
}

TEST_F(Setup, EachPlayerStartsTheMissionWithItsFirstOwnedWeapon) {
  struct row {
    bool two;
    std::vector<u32> owned1, owned2;
    u16 want1, want2; // 99: untouched
  };
  const row rows[] = {
      {true, {2, 5}, {0}, 2, 0},
      {true, {18}, {17, 18}, 18, 17},
      {false, {7}, {3}, 7, 99},
      {true, {}, {1}, 99, 1}, // none owned: the weapon held stays (the scan stops after 19 bytes)
  };
  for (const row& r : rows) {
    SetUp();
    wr16(two_player_flag, r.two ? 0xFFFF : 0);
    for (u32 p : {player1, player2}) {
      wr16(p + 0x0C, 99);
      for (u32 i = 0; i < 19; ++i) wr8(p + 0x66 + i, 0);
      wr8(p + 0x66 + 19, 0xFF); // the counters after them
    }
    for (u32 w : r.owned1) wr8(player1 + 0x66 + w, 1);
    for (u32 w : r.owned2) wr8(player2 + 0x66 + w, 1);
    wr16(current_player, 1);
    ASSERT_EQ(run_routine(first_weapons, 10), 1);
    EXPECT_EQ(rd16(player1 + 0x0C), r.want1);
    EXPECT_EQ(rd16(player2 + 0x0C), r.want2);
    EXPECT_EQ(rd16(current_player), 0u);
  }
}

// --- collision lookup and counter check ----------------------------------------------

TEST_F(Setup, TheCollisionLookupReadsTheCellUnderThePoint) {
  for (u32 i = 0; i < 0x400; ++i) wr8(0x2400 + i, i & 0xFF);
  for (u32 i = 0; i < 0x48; ++i) wr8(0x2800 + i, 0x80 | i);
  struct row {
    u16 scroll, x, y;
    u32 cell; // address read
  };
  const row rows[] = {
      {300, 0, 300, 0x2800},           // index 0 from the copy
      {300, 240, 300 - 16, 0x281F},    // row 1 column 15: index 31
      {300, 0, 300 - 32, 0x2420},      // row 2 column 0: the live map
      {300, 256, 300 - 80, 0x2460},    // x 256 in row 5 reads row 6 column 0
      {300, 31, static_cast<u16>(300 - 16 * 63), 0x27F1}, // row 63
      {10, 16, 10 + 16, 0x27F1},       // the ring wraps below
  };
  for (const row& r : rows) {
    wr16(scroll_pos, r.scroll);
    d0 = 0xABCD0000 | r.x;
    d1 = 0x12340000 | r.y;
    d2 = 0x55550000;
    sync_regs_out();
    ASSERT_EQ(run_routine(collision_lookup), 1);
    EXPECT_EQ(g_cpu.d[2] & 0xFF, rd8(r.cell)) << std::hex << r.cell;
    EXPECT_EQ(g_cpu.d[2] >> 16, 0x5555u);
    EXPECT_EQ(g_cpu.d[0], 0xABCD0000 | r.x);
    EXPECT_EQ(g_cpu.d[1], 0x12340000 | r.y);
    EXPECT_EQ(g_cpu.a[6], 0x2400u);
  }
}

TEST_F(Setup, TheCounterCheckUsesUpOneUnit) {
  wr16(player1 + 0x64, 3);
  wr16(player1 + 0x7A + 6, 1);
  wr16(player1 + 0x7A + 4, 9);
  a4 = player1;
  d0 = 0x1234;
  a3 = 0x3333;
  d6 = 0x5555;
  sync_regs_out();
  ASSERT_EQ(run_routine(counter_check), 1);
  EXPECT_EQ(g_cpu.d[6], 0u);
  EXPECT_EQ(rd16(player1 + 0x7A + 6), 0u);
  EXPECT_EQ(rd16(player1 + 0x7A + 4), 9u);
  g_cpu.d[6] = 7;
  ASSERT_EQ(run_routine(counter_check), 1);
  EXPECT_EQ(g_cpu.d[6], 0xFFFFFFFFu);
  EXPECT_EQ(rd16(player1 + 0x7A + 6), 0u);
  EXPECT_EQ(g_cpu.d[0], 0x1234u);
  EXPECT_EQ(g_cpu.a[3], 0x3333u);
  EXPECT_EQ(g_cpu.a[4], player1);
}

// --- resumption -------------------------------------------------------------------------

void prepare_screen() {
  machine_clear();
  stub_reset();
  mission_machine_reset();
  wr16(two_player_flag, 0);
  setup_tables{}.put_in_ram();
  wr8(player1 + 0x66 + 2, 1);
  wr16(chosen_mission, 4);
  wr32(level_map_pointer, level_data);
}

TEST(SetupResumption, TheMissionScreenResumesFromAStateSavedInItsLoops) {
  for (int save_at : {1, 30, 120, 400}) {
    const resumption_result r = check_resumption(prepare_screen, mission_screen, 0, save_at);
    EXPECT_TRUE(r.sliced_same) << r.first_difference;
    EXPECT_TRUE(r.resumed_same) << "saved at yield " << save_at << " pc " << std::hex << r.saved_pc << ": "
                                << r.first_difference;
  }
  machine_clear();
}

void prepare_section() {
  machine_clear();
  stub_reset();
  mission_machine_reset();
  wr16(level_table, 0x10);
  wr16(level_table + 8, 0x40);
}

TEST(SetupResumption, TheNextSectionResumesInItsClearLoop) {
  for (int save_at : {1, 40}) {
    const resumption_result r = check_resumption(prepare_section, next_section, 0, save_at);
    EXPECT_EQ(r.yields, 68);
    EXPECT_TRUE(r.resumed_same) << r.first_difference;
  }
  machine_clear();
}

} // namespace
