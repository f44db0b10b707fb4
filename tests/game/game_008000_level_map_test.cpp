// Page $8000: the level-map reader, which is also the vertical scroll step,
// the ring prefill and the block and stamp drawers, on maps of the mission
// builder.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "machine/machine_state.h"
#include "support/machine/call_trace.h"
#include "support/tables/mission_builder.h"
#include "support/machine/mission_machine.h"

namespace {

constexpr u32 read_row = 0x00899A;
constexpr u32 prefill = 0x008D1E;
constexpr u32 draw_block = 0x008D4C;
constexpr u32 draw_stamp = 0x008BDE;
constexpr u8 ring_filler = 0x5A;
constexpr u8 cell_filler = 0xAA;

class LevelMap : public MissionTest {
 protected:
  void SetUp() override {
    MissionTest::SetUp();
    call_trace_start();
    std::memset(g_ram + bg_ring, ring_filler, ring_rows * ring_row_bytes);
    std::memset(g_ram + collision_map, cell_filler, 0x400);
  }

  // Puts the mission into RAM and the map pointer on byte `skip` of map 0.
  void start(mission_builder& m, u32 skip = 0) {
    ASSERT_EQ(m.error, "");
    m.put_in_ram();
    wr32(level_map_pointer, m.map_address(0) + skip);
  }

  // One scroll step from scroll_pos `before`.
  void step_from(u32 before) {
    wr16(scroll_pos, before);
    ASSERT_EQ(run_routine(read_row, 1), 1);
  }
};

// The ring row at the top of the band read at scroll_pos `sp` (phase p):
// the band whose lowest row lies 32 - p rows above the ring's top row.
u32 band_top(u32 sp) {
  const u32 top_row = 255 - (sp & 0xFF);
  const u32 bottom = (top_row - (32 - (sp & 31))) & 0xFF;
  return (bottom - 31) & 0xFF;
}
u32 cells_of(u32 sp, u32 column) { return collision_map + ((sp + 32) & 0x3E0) + 4 * column; }

struct placed_stamp {
  u32 stamp, position;
};

// The 32 ring rows from `row` at column k show the block with the stamps
// over it (colour 0 of a stamp shows the block).
void expect_block(u32 row, u32 column, u32 block, const std::vector<placed_stamp>& stamps = {}) {
  int wrong = 0;
  for (u32 line = 0; line < 32; ++line)
    for (u32 x = 0; x < 64; ++x) {
      u32 want = block_pixel(block, line, x);
      for (const placed_stamp& s : stamps) {
        const u32 q = s.position & 7;
        const u32 sx = 16 * (q & 3), sy = 16 * (q >> 2);
        if (x >= sx && x < sx + 16 && line >= sy && line < sy + 16) {
          const u32 p = stamp_pixel(s.stamp, line - sy, x - sx);
          if (p != 0) want = p;
        }
      }
      const u32 got = ring_pixel((row + line) & 0xFF, 64 * column + x);
      if (got != want && ++wrong < 5) ADD_FAILURE() << "ring row " << row + line << " x " << 64 * column + x;
    }
  EXPECT_EQ(wrong, 0);
}

// Every ring byte outside the 32 rows x 64 pixels at (row, column) still
// holds the filler.
void expect_rest_of_ring_untouched(u32 row, u32 column) {
  int changed = 0;
  for (u32 r = 0; r < ring_rows; ++r)
    for (u32 b = 0; b < ring_row_bytes; ++b) {
      const bool inside = ((r - row) & 0xFF) < 32 && b / 32 == column;
      if (!inside && rd8(bg_ring + r * ring_row_bytes + b) != ring_filler) ++changed;
    }
  EXPECT_EQ(changed, 0);
}

std::vector<u8> ram_copy() { return std::vector<u8>(g_ram, g_ram + 0x80000); }

// --- the hold test and the scroll step --------------------------------------------

TEST_F(LevelMap, PlayersLowOnTheScreenHoldTheScroll) {
  struct {
    u32 lives1, y1, lives2, y2;
    bool scrolls;
  } cases[] = {
      {3, 124, 0, 999, true},  {3, 125, 0, 999, false}, // alone: player 2 counts as line 120
      {0, 999, 3, 124, true},  {0, 999, 3, 125, false},
      {3, 162, 3, 82, true},   {3, 163, 3, 10, false},  {3, 82, 3, 162, true}, {3, 10, 3, 163, false},
      {3, 122, 3, 122, true},  {3, 122, 3, 123, false}, // the sum: 244 scrolls, 245 holds
      {3, 100, 3, 150, false}, // both above 162, but 250 together
      {0, 999, 0, 999, true},  // nobody in play: 240
      {3, 0xFFF0, 0, 0, false}, // compares are unsigned
  };
  for (const auto& c : cases) {
    SetUp();
    wr16(player1 + player_record::lives, c.lives1);
    wr16(player1 + player_record::y, c.y1);
    wr16(player2 + player_record::lives, c.lives2);
    wr16(player2 + player_record::y, c.y2);
    wr16(player1 + 2, 0xFFFF); // the words after the lives count for nothing
    wr16(player2 + 2, 0xFFFF);
    wr16(scroll_pos, 300);
    const std::vector<u8> before = ram_copy();
    ASSERT_EQ(run_routine(read_row, 1), 1);
    EXPECT_EQ(rd16(scroll_pos), c.scrolls ? 301u : 300u) << c.y1 << " " << c.y2;
    if (c.scrolls) continue;
    // A held frame changes nothing (the driver's return address below $2400 aside).
    std::vector<u8> after = ram_copy();
    for (u32 a = mission_stack - 0x100; a < mission_stack; ++a) after[a] = before[a];
    EXPECT_TRUE(after == before) << c.y1 << " " << c.y2;
  }
}

TEST_F(LevelMap, AScrolledLineMovesEveryRecordOfTheMovingTablesDown) {
  struct {
    object_table table;
    u32 y;
  } moved[] = {
      {enemy_table, 2},     {grenade_table, 2},      {explosion_table, 2}, {installation_table, 2},
      {bullet_table, 2},    {homing_unit_table, 6},  {vehicle_table, 4},   {projectile_table, 4},
      {debris_table, 4},    {effect_table, 2},       {goal_record, 4},
      {dot_bullet_table, 0}, // the game's slip: the dot bullets' word +0 is their x
  };
  // Every byte of the tables from $412 to $1DC2, records free or live.
  for (u32 a = 0x412; a < 0x1DC2; ++a) wr8(a, (a * 7 + 3) & 0xFF);
  for (u32 a = 0x412; a < 0x1DC2; a += 64) wr16(a, 0xFFFF); // y words that wrap
  wr16(player1 + player_record::y, 50);
  wr16(player2 + player_record::lives, 2);
  wr16(player2 + player_record::y, 60);
  wr8(event_clock, 255);
  std::vector<u8> want = ram_copy();
  for (const auto& m : moved)
    for (u32 r = 0; r < m.table.records; ++r) {
      const u32 at = m.table.address + r * m.table.size + m.y;
      const u32 v = ((want[at] << 8 | want[at + 1]) + 1) & 0xFFFF;
      want[at] = static_cast<u8>(v >> 8);
      want[at + 1] = static_cast<u8>(v);
    }
  step_from(300); // phase 13: no block read
  EXPECT_EQ(rd16(scroll_pos), 301u);
  EXPECT_EQ(rd8(event_clock), 0u);
  EXPECT_EQ(rd16(player1 + player_record::y), 51u) << "out of play, moved all the same";
  EXPECT_EQ(rd16(player2 + player_record::y), 61u);
  int wrong = 0;
  for (u32 a = 0x412; a < 0x1DC2; ++a)
    if (rd8(a) != want[a] && ++wrong < 8) ADD_FAILURE() << "byte " << std::hex << a;
  EXPECT_EQ(wrong, 0) << "section objects ($1B5C) and installations ($1C3C) stay, the rest +1";
}

// --- block reads --------------------------------------------------------------------

TEST_F(LevelMap, RowPhasesReadOneBlockIntoTheBandAboutToShow) {
  struct {
    u32 scroll_after; // scroll_pos after the step
    u32 column;
  } cases[] = {{233, 0}, {243, 1}, {253, 2}, {0x129, 0}, {0x1DD, 2}, {0x1C9, 0}};
  for (const auto& c : cases) {
    SetUp();
    mission_builder m;
    m.map({{{0}, {0}, {0}}, {{3}, {4}, {5}}, {{1}, {1}, {1}}});
    start(m, 3 + c.column);
    step_from(c.scroll_after - 1);
    const u32 row = band_top(c.scroll_after);
    expect_block(row, c.column, 3 + c.column);
    expect_rest_of_ring_untouched(row, c.column);
    EXPECT_EQ(rd32(level_map_pointer), m.map_address(0) + 4 + c.column);
    EXPECT_EQ(rd16(last_block), 3 + c.column);
    const u32 h = cells_of(c.scroll_after, c.column);
    for (u32 i = 0; i < 4; ++i) {
      EXPECT_EQ(rd8(h + i), 0u);
      EXPECT_EQ(rd8(h + 16 + i), 0u);
    }
    int cleared = 0;
    for (u32 a = collision_map; a < collision_map + 0x400; ++a) cleared += rd8(a) != cell_filler;
    EXPECT_EQ(cleared, 8) << "only the block's eight cells";
  }
  // Off the phases nothing is read.
  for (u32 sp : {232u, 234u, 242u, 254u, 255u, 0x128u}) {
    SetUp();
    mission_builder m;
    m.map({{{0}, {1}, {2}}});
    start(m);
    step_from(sp - 1);
    EXPECT_EQ(rd32(level_map_pointer), m.map_address(0)) << sp;
    EXPECT_EQ(rd8(bg_ring), ring_filler);
  }
}

TEST_F(LevelMap, StampsDrawMaskedAndMarkTheirCells) {
  mission_builder m;
  m.map({{{0}, {0}, {0}},
         {{2, {stamp(7, 1), stamp(125, 6), stamp(126, 3), stamp(1, 4)}}, {0}, {0}},
         {{1}, {1}, {1}}});
  start(m, 3);
  step_from(232);
  const u32 row = band_top(233);
  expect_block(row, 0, 2, {{7, 1}, {125, 6}, {125, 3}, {1, 4}}); // code 126 shows stamp 125
  expect_rest_of_ring_untouched(row, 0);
  const u32 h = cells_of(233, 0);
  const u8 cells[8] = {0, 0xFF, 0, 0, 0xFF, 0, 0xFF, 0}; // positions 1, 4, 6 solid; 126 (at 3) not
  for (u32 q = 0; q < 8; ++q) EXPECT_EQ(rd8(h + 16 * (q >> 2) + (q & 3)), cells[q]) << "position " << q;
  EXPECT_EQ(rd16(last_block), 0x82u);
  EXPECT_EQ(rd32(level_map_pointer), m.map_address(0) + 3 + 1 + 8 + 1) << "past the list's 0";
}

TEST_F(LevelMap, UnusualButValidListsAndPositions) {
  // $80 with an empty list; then a stamp at position 64 (entry 0).
  mission_builder m;
  m.unchecked = true;
  m.map_bytes({0, 0, 0, 0x80, 0, 0x81, 9, 64, 0, 1, 1, 1, 0xFF});
  start(m, 3);
  step_from(232);
  expect_block(band_top(233), 0, 0);
  EXPECT_EQ(rd32(level_map_pointer), m.map_address(0) + 5) << "only the 0 is taken as the list";
  step_from(242);
  expect_block(band_top(243), 1, 1, {{9, 0}});
  EXPECT_EQ(rd8(cells_of(243, 1)), 0xFFu);
  EXPECT_EQ(rd32(level_map_pointer), m.map_address(0) + 9);
}

TEST_F(LevelMap, InstallationCodesReachTheirPlacementOnTheXByte) {
  const u32 entries[4] = {0x006F2A, 0x006F22, 0x006F3A, 0x006F32}; // codes $F1-$F4
  mission_builder m;
  m.map({{{0}, {0}, {0}},
         {{3, {installation(0xF1, 10, 11), installation(0xF2, 12, 13), stamp(5, 2), installation(0xF3, 14, 15),
               installation(0xF4, 16, 17)}},
          {0},
          {0}},
         {{1}, {1}, {1}}});
  start(m, 3);
  step_from(232);
  const u32 list = m.map_address(0) + 4;
  const u32 x_bytes[4] = {list + 1, list + 4, list + 9, list + 12};
  const u32 rets[4] = {0x8B60, 0x8B68, 0x8B70, 0x8B78};
  for (int i = 0; i < 4; ++i) {
    const auto calls = calls_to(entries[i]);
    ASSERT_EQ(calls.size(), 1u) << "code $F" << i + 1;
    EXPECT_EQ(calls[0].a[2], x_bytes[i]) << "code $F" << i + 1;
    EXPECT_EQ(rd8(calls[0].a[2]), 10u + 2 * i);
    EXPECT_EQ(calls[0].ret, rets[i]);
  }
  expect_block(band_top(233), 0, 3, {{5, 2}});
  EXPECT_EQ(rd32(level_map_pointer), list + 15) << "the map goes on after each y byte";
}

TEST_F(LevelMap, AMapThatEndsEarlyRepeatsTheByteBeforeItsEnd) {
  mission_builder m;
  m.map({{{1}, {2}, {3}}, {{4}, {5}, {2}}});
  start(m);
  const u32 marker = m.map_address(0) + 6;
  for (u32 sp = 233; sp <= 320; ++sp) {
    wr16(scroll_pos, sp - 1);
    ASSERT_EQ(run_routine(read_row, 1), 1);
  }
  // Nine reads: six blocks, then the end three times (at 297, 307, 317).
  EXPECT_EQ(rd32(level_map_pointer), marker) << "on the marker";
  EXPECT_EQ(rd16(last_block), 0xFFu);
  EXPECT_EQ(rd16(0xFF8240), 0u);
  for (u32 column = 0; column < 3; ++column) expect_block(band_top(297 + 10 * column), column, 2);

  // One more read past the end, from a coloured screen: the burst leaves
  // colour 0 black, the pointer and the block as before.
  wr16(0xFF8240, 0x0777);
  std::memset(g_ram + bg_ring, ring_filler, ring_rows * ring_row_bytes);
  step_from(0x128);
  EXPECT_EQ(rd16(0xFF8240), 0u);
  EXPECT_EQ(rd32(level_map_pointer), marker);
  EXPECT_EQ(rd16(last_block), 0xFFu) << "the end marker, not the block drawn";
  expect_block(band_top(0x129), 0, 2);
}

TEST_F(LevelMap, BadMapDataReadsWhatLiesThereAndStaysInTheMachine) {
  // Block 6 is the first kilobyte of the stamps; position 63 reads the
  // game code after spawn_table, here offsets that reach far out.
  mission_builder m;
  m.unchecked = true;
  m.map({{{0}, {0}, {0}}, {{6, {stamp(3, 63)}}, {0x7F}, {0}}, {{1}, {1}, {1}}});
  start(m, 3);
  wr16(spawn_table + 63 * 4, 0x7FFF);
  wr16(spawn_table + 63 * 4 + 2, 0x8000);
  step_from(232);
  const u32 row = band_top(233);
  for (u32 b = 0; b < 32; ++b)
    EXPECT_EQ(rd8(bg_ring + (row + 5) * ring_row_bytes + b), rd8(map_stamps + 5 * 32 + b)) << b;
  EXPECT_EQ(rd8(cells_of(233, 0) - 0x8000), 0xFFu) << "the cell written wherever the offset points";
  step_from(242);
  EXPECT_EQ(rd8(bg_ring + band_top(243) * ring_row_bytes + 32), rd8(ground_blocks + 0x7F * 1024));
}

TEST_F(LevelMap, PrefillFillsTheRingWithTheFirstBlock) {
  mission_builder m;
  m.map({{{4}, {1}, {2}}, {{3}, {3}, {3}}});
  start(m);
  ASSERT_EQ(run_mission_routine(prefill), 1);
  for (u32 band = 0; band < 8; ++band)
    for (u32 column = 0; column < 3; ++column) expect_block(band * 32, column, 4);
  EXPECT_EQ(rd32(level_map_pointer), m.map_address(0)) << "the first byte is read again as a block";
  EXPECT_EQ(rd16(last_block), 4u);
}

TEST_F(LevelMap, BlockAndStampDrawersKeepTheirRegisterContracts) {
  mission_builder m;
  m.put_in_ram();
  const u32 at = bg_ring + 40 * ring_row_bytes + 32;
  // A block: only the low seven bits count; d0 ends as its offset.
  a0 = at;
  d0 = 0xABCD0083;
  sync_regs_out();
  ASSERT_EQ(run_mission_routine(draw_block), 1);
  EXPECT_EQ(g_cpu.d[0], 3u * 1024);
  EXPECT_EQ(g_cpu.a[0], at);
  expect_block(40, 1, 3);
  // A stamp keeps d0-d5 and leaves a0 sixteen rows down.
  a0 = at + 8;
  d0 = 0x11110009;
  d1 = 0x22222222;
  d5 = 0x55555555;
  sync_regs_out();
  ASSERT_EQ(run_mission_routine(draw_stamp), 1);
  EXPECT_EQ(g_cpu.d[0], 0x11110009u);
  EXPECT_EQ(g_cpu.d[1], 0x22222222u);
  EXPECT_EQ(g_cpu.d[5], 0x55555555u);
  EXPECT_EQ(g_cpu.a[0], at + 8 + 16 * ring_row_bytes);
  expect_block(40, 1, 3, {{9, 1}});
}

// --- builder checks -----------------------------------------------------------------

TEST(MissionBuilder, RefusesWhatAMissionCannotPlay) {
  struct {
    const char* what;
    std::vector<map_row> rows;
  } bad[] = {
      {"a short row", {{{0}, {1}}}},
      {"block 6 is the stamps", {{{0}, {6}, {1}}}},
      {"objects on the first block", {{{0, {stamp(1, 0)}}, {1}, {1}}}},
      {"objects on the last block", {{{0}, {1}, {1, {stamp(1, 0)}}}}},
      {"position 8 is game code", {{{0}, {1, {stamp(1, 8)}}, {1}}}},
      {"code 0 ends the list", {{{0}, {1, {stamp(0, 1)}}, {1}}}},
      {"a stamp not built", {{{0}, {1, {stamp(200, 1)}}, {1}}}},
  };
  for (const auto& b : bad) {
    mission_builder m;
    EXPECT_FALSE(m.map(b.rows)) << b.what;
    EXPECT_NE(m.error, "") << b.what;
    mission_builder loose;
    loose.unchecked = true;
    EXPECT_TRUE(loose.map(b.rows)) << b.what << ": the override builds it";
  }
  mission_builder m;
  EXPECT_FALSE(m.map_bytes({1, 0xFF})) << "one byte before the end";
  EXPECT_FALSE(m.map_bytes({0x80, 0, 1, 0xFF})) << "an object list first";
  EXPECT_FALSE(m.stream({{0xFF, 3, 1, 2}})) << "a trigger of $FF ends the stream";
  EXPECT_FALSE(m.spawn(8, {0, 0}));
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(m.map({{{0}, {1}, {2}}}));
  EXPECT_FALSE(m.map({{{0}, {1}, {2}}})) << "four maps at most";
}

} // namespace
