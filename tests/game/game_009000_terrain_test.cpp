// The terrain and obstacle step: the way-free bytes of a player from the
// ground cells around it, its corner slides, the other player's box and
// the solid objects of the section, on the mission machine with the
// collision map written by hand and the obstacle probe answered by the test.
#include <gtest/gtest.h>

#include <array>
#include <set>
#include <vector>

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "game/routine_kit.h"
#include "support/machine/call_trace.h"
#include "support/machine/mission_machine.h"

namespace {

constexpr u32 terrain_step = 0x009860, terrain_pass = 0x0098A2;
constexpr u32 obstacle_probe = 0x009BEA, start_death = 0x00AA42;
constexpr u32 terrain_cells = 0x000220, slide_flags = 0x000228;
constexpr u32 player_positions = 0x000284, obstacle_record = 0x0001FA, hscroll_step = 0x000248;
constexpr u32 way_right = 0x14, way_left = 0x15, way_down = 0x16, way_up = 0x17;
constexpr u32 press_right = 0x0E, press_left = 0x0F, press_up = 0x10, press_down = 0x11;
constexpr u16 scroll = 1008;

enum probe { UL, T, UR, R, LR, B, LL, L };
// The eight probe points around the player at (x, y).
constexpr std::array<std::array<int, 2>, 8> offsets = {
    {{-59, 10}, {-48, 7}, {-37, 10}, {-34, 17}, {-37, 24}, {-48, 27}, {-59, 24}, {-62, 17}}};

// The collision-map byte the lookup reads for a point.
u32 cell_of(int x, int y) {
  const u32 index = ((static_cast<u32>(scroll - y) & 0x3F0) + (static_cast<u32>(x) >> 4)) & 0xFFFF;
  return index < 32 ? collision_copy + index : collision_map + index;
}

// A place for the player where the wanted probes' cells are solid and the
// others' free (cells are 16 pixels and the probes closer than that, so
// not every place separates them); the ground is laid there.
bool lay_ground(const std::set<probe>& solid, u16& px, u16& py) {
  for (int y = 60; y < 200; ++y)
    for (int x = 70; x < 240; ++x) {
      std::set<u32> on, off;
      for (int p = 0; p < 8; ++p)
        (solid.count(static_cast<probe>(p)) ? on : off).insert(cell_of(x + offsets[p][0], y + offsets[p][1]));
      bool apart = true;
      for (u32 c : on) apart = apart && !off.count(c);
      if (!apart) continue;
      for (u32 a = collision_map; a < collision_copy + 72; ++a) wr8(a, 0);
      for (u32 c : on) wr8(c, 0xFF);
      px = static_cast<u16>(x);
      py = static_cast<u16>(y);
      return true;
    }
  return false;
}

struct ways {
  bool right, left, down, up; // true = free
  bool operator==(const ways&) const = default;
};
void PrintTo(const ways& w, std::ostream* os) {
  *os << "right " << w.right << " left " << w.left << " down " << w.down << " up " << w.up;
}
ways ways_of(u32 record) {
  return {rd8(record + way_right) == 0xFF, rd8(record + way_left) == 0xFF, rd8(record + way_down) == 0xFF,
          rd8(record + way_up) == 0xFF};
}
void all_free(u32 record) {
  for (u32 w : {way_right, way_left, way_down, way_up}) wr8(record + w, 0xFF);
}

// --- the obstacle probe answered by the test ------------------------------------

constexpr u32 vehicle = 0x001A76;
std::vector<std::array<u16, 2>> touch_points;
std::vector<std::array<u16, 2>> probed;
void probe_answer() {
  const std::array<u16, 2> p = {static_cast<u16>(d0), static_cast<u16>(d1)};
  probed.push_back(p);
  bool touched = false;
  for (const auto& t : touch_points) touched = touched || t == p;
  put<W>(d7, touched ? 3 : 0);
  if (touched) wr32(obstacle_record, vehicle);
}

// The player update (later work): the terrain step, then a mark.
constexpr u32 update_mark = 0x80F00;
ROUTINE(test_update, 0xC30000)
  JSR(0x009860, 0xC30004)
  wr16(update_mark, 0xBEEF);
  RTS();
END_ROUTINE

class Terrain : public MissionTest {
 protected:
  void SetUp() override {
    MissionTest::SetUp();
    wr16(scroll_pos, scroll);
    touch_points.clear();
    probed.clear();
    stub_records_over(obstacle_probe, probe_answer); // the terrain step alone
    register_routine(0xC30000, test_update, {0xC30004});
  }
  // One pass with offset (0, 0) for player 1 at (x, y).
  void pass(u16 x, u16 y, u32 keys = 0) {
    wr16(player1 + 2, x);
    wr16(player1 + 4, y);
    for (u32 k : {press_right, press_left, press_up, press_down}) wr8(player1 + k, (keys >> k) & 1 ? 0xFF : 0);
    all_free(player1);
    a4 = player1;
    d0 = 0;
    d1 = 0;
    sync_regs_out();
    ASSERT_EQ(run_routine(terrain_pass), 1);
  }
};

constexpr u32 key(u32 k) { return 1u << k; }

TEST_F(Terrain, EachProbeReadsItsCellAndTheSidesBlockTheirWay) {
  const ways free_all{true, true, true, true};
  const std::array<ways, 8> want = {free_all,
                                    ways{true, true, true, false},
                                    free_all,
                                    ways{false, true, true, true},
                                    free_all,
                                    ways{true, true, false, true},
                                    free_all,
                                    ways{true, false, true, true}};
  for (int p = 0; p < 8; ++p) {
    u16 x = 0, y = 0;
    ASSERT_TRUE(lay_ground({static_cast<probe>(p)}, x, y)) << p;
    wr16(level_section, 0x0102); // beside the kept ways: they are bytes
    pass(x, y);
    for (int q = 0; q < 8; ++q) EXPECT_EQ(rd8(terrain_cells + q), q == p ? 0xFFu : 0u) << p << " " << q;
    EXPECT_EQ(ways_of(player1), want[p]) << "probe " << p;
    EXPECT_EQ(rd16(player1 + 2), x);
    EXPECT_EQ(rd16(player1 + 4), y);
  }
}

// Each probe's point to the pixel: the probe stands on the first or the
// last pixel of its cell, so a point one pixel off reads the next cell.
TEST_F(Terrain, EachProbeStandsOnItsPixel) {
  for (int p = 0; p < 8; ++p)
    for (int corner = 0; corner < 2; ++corner) {
      const int px = 16 * 6 + (corner ? 15 : 0), py = scroll - 16 * 50 - (corner ? 15 : 0);
      for (u32 a = collision_map; a < collision_copy + 72; ++a) wr8(a, 0);
      wr8(cell_of(px, py), 0xFF);
      pass(static_cast<u16>(px - offsets[p][0]), static_cast<u16>(py - offsets[p][1]));
      EXPECT_EQ(rd8(terrain_cells + p), 0xFFu) << "probe " << p << " corner " << corner;
    }
}

TEST_F(Terrain, TheCornerSlides) {
  struct row {
    std::set<probe> solid;
    u32 keys;
    int dx, dy;
    ways want;
    std::array<u8, 4> flags; // $228, $22A, $22C, $22E
  };
  const row rows[] = {
      {{UL}, key(press_up), 3, 0, {true, true, true, false}, {0xFF, 0, 0, 0}},
      {{UR}, key(press_up), -3, 0, {true, true, true, false}, {0, 0xFF, 0, 0}},
      {{UL, L}, key(press_up), 0, 0, {true, false, true, true}, {0, 0, 0, 0}},
      {{LL}, key(press_down), 3, 0, {true, true, false, true}, {0xFF, 0, 0, 0}},
      {{LR}, key(press_down), -3, 0, {true, true, false, true}, {0, 0xFF, 0, 0}},
      // the down slides do not repeat a sideways slide of the same pass
      {{UL, LL}, key(press_up) | key(press_down), 3, 0, {true, true, true, false}, {0xFF, 0, 0, 0}},
      {{UR, LR}, key(press_up) | key(press_down), -3, 0, {true, true, true, false}, {0, 0xFF, 0, 0}},
      // a sideways slide leaves out the right and left cells
      {{UL, R}, key(press_up), 3, 0, {true, true, true, false}, {0xFF, 0, 0, 0}},
      {{UR}, key(press_right), 0, 3, {false, true, true, true}, {0, 0, 0xFF, 0}},
      {{LR}, key(press_right), 0, -3, {false, true, true, true}, {0, 0, 0, 0xFF}},
      {{UR, T}, key(press_right), 0, 0, {true, true, true, false}, {0, 0, 0, 0}},
      {{UL}, key(press_left), 0, 3, {true, false, true, true}, {0, 0, 0xFF, 0}},
      {{LL}, key(press_left), 0, -3, {true, false, true, true}, {0, 0, 0, 0xFF}},
      // (a right slide down that ends the pass before the left slides needs
      // the upper-left and left cells apart and the upper-right and right
      // cells apart at once, which 16-pixel cells never give)
      {{UR, LL}, key(press_right) | key(press_left), 0, 0, {false, false, true, true}, {0, 0, 0xFF, 0xFF}},
      {{LL}, key(press_right) | key(press_left), 0, -3, {true, false, true, true}, {0, 0, 0, 0xFF}},
      {{LR, LL}, key(press_right) | key(press_left), 0, -3, {false, true, true, true}, {0, 0, 0, 0xFF}},
  };
  for (const row& r : rows) {
    u16 x = 0, y = 0;
    ASSERT_TRUE(lay_ground(r.solid, x, y)) << &r - rows;
    for (u32 i = 0; i < 8; ++i) wr8(slide_flags + i, 0x55);
    wr8(slide_flags + 8, 0x77);
    pass(x, y, r.keys);
    EXPECT_EQ(rd8(slide_flags + 8), 0x77u) << "the flags end at $22F";
    EXPECT_EQ(static_cast<int>(rd16(player1 + 2)) - x, r.dx) << r.keys;
    EXPECT_EQ(static_cast<int>(rd16(player1 + 4)) - y, r.dy) << r.keys;
    EXPECT_EQ(ways_of(player1), r.want) << r.keys << " " << r.solid.size();
    for (u32 i = 0; i < 4; ++i) {
      EXPECT_EQ(rd8(slide_flags + 2 * i), r.flags[i]) << i;
      EXPECT_EQ(rd8(slide_flags + 2 * i + 1), 0u);
    }
  }
}

TEST_F(Terrain, TheOtherPlayersBox) {
  struct row {
    i16 dx, dy;
    ways want;
  };
  const row rows[] = {
      {14, 14, {false, true, false, true}},  {15, 14, {true, true, true, true}},
      {14, 15, {true, true, true, true}},    {0, 14, {false, true, false, true}},
      {-13, -13, {true, false, true, false}}, {-14, -13, {true, true, true, true}},
      {-13, -14, {true, true, true, true}},  {-13, 14, {true, false, false, true}},
      {14, -13, {false, true, true, false}},  {0, -1, {false, true, true, false}},
  };
  for (const row& r : rows) {
    for (u32 a = collision_map; a < collision_copy + 72; ++a) wr8(a, 0);
    wr16(player1 + 2, 150);
    wr16(player1 + 4, 100);
    all_free(player1);
    a4 = player1;
    d0 = 0xABCD0000 | static_cast<u16>(r.dx);
    d1 = 0x12340000 | static_cast<u16>(r.dy);
    sync_regs_out();
    ASSERT_EQ(run_routine(terrain_pass), 1);
    EXPECT_EQ(ways_of(player1), r.want) << r.dx << ", " << r.dy;
  }
}

TEST_F(Terrain, TwoPlayersSlideTwicePerFrame) {
  u16 x = 0, y = 0;
  ASSERT_TRUE(lay_ground({UL}, x, y));
  for (bool two : {false, true}) {
    wr16(player1 + 0, 3);
    wr16(player2 + 0, two ? 3 : 0);
    wr16(player1 + 2, x);
    wr16(player1 + 4, y);
    wr8(player1 + press_up, 0xFF);
    // the positions of the pass's start; player 2 far away
    wr16(player_positions, x);
    wr16(player_positions + 4, y);
    wr16(player_positions + 2, x + 100);
    wr16(player_positions + 6, y + 100);
    a4 = player1;
    sync_regs_out();
    ASSERT_EQ(run_routine(terrain_step), 1);
    EXPECT_EQ(rd16(player1 + 2), x + (two ? 6u : 3u));
    EXPECT_EQ(ways_of(player1), (ways{true, true, true, false}));
  }
}

TEST_F(Terrain, EachPlayerInPlayBringsAPassWithItsOffset) {
  struct row {
    u32 record;       // the player being updated
    i16 ox, oy;       // where the other player stood at the pass's start, relative
    u16 other_lives;
    ways want;
  };
  const row rows[] = {
      {player1, 14, 14, 3, {false, true, false, true}},
      {player1, 14, 15, 3, {true, true, true, true}},
      {player1, 15, 14, 3, {true, true, true, true}},
      {player1, 14, 14, 0, {true, true, true, true}}, // out of play: no pass
      {player2, -13, -13, 3, {true, false, true, false}},
      {player2, -13, -14, 3, {true, true, true, true}},
      {player2, -13, -13, 0, {true, true, true, true}},
  };
  for (const row& r : rows) {
    for (u32 a = collision_map; a < collision_copy + 72; ++a) wr8(a, 0);
    const u32 other = r.record == player1 ? player2 : player1;
    const u32 me = r.record == player1 ? 0 : 2, them = 2 - me;
    wr16(r.record + 0, 3);
    wr16(other + 0, r.other_lives);
    wr16(r.record + 2, 150);
    wr16(r.record + 4, 100);
    wr16(player_positions + me, 150);
    wr16(player_positions + 4 + me, 100);
    wr16(player_positions + them, static_cast<u16>(150 + r.ox));
    wr16(player_positions + 4 + them, static_cast<u16>(100 + r.oy));
    for (u32 w : {way_right, way_left, way_down, way_up}) wr8(r.record + w, 0);
    a4 = r.record;
    sync_regs_out();
    ASSERT_EQ(run_routine(terrain_step), 1);
    EXPECT_EQ(ways_of(r.record), r.want) << r.ox << ", " << r.oy << " lives " << r.other_lives;
  }
}

// --- obstacles --------------------------------------------------------------------------

TEST_F(Terrain, TheObstacleProbePointsAndWhatEachContactBlocks) {
  struct row {
    bool horizontal;
    u16 blink, state;
    std::vector<std::array<i16, 2>> touches; // relative to the reference point
    ways want;
  };
  // vertical: reference (x + 36, y + 114); horizontal: (x, y + 14)
  const row rows[] = {
      {false, 0, 0, {{4, 0}}, {true, false, true, false}},
      {false, 0, 0, {{24, 0}}, {false, true, true, false}},
      {false, 0, 0, {{24, 12}}, {false, true, false, true}},
      {false, 0, 0, {{8, 12}}, {true, false, false, true}},
      {false, 80, 0, {{-8, 0}}, {true, false, true, false}}, // blinking: 12 pixels further left
      {false, 0, 1, {{12, 12}}, {false, true, false, true}},
      {false, 0, 0, {{4, 0}, {24, 12}}, {true, true, true, true}}, // boxed in: both pairs released
      {true, 0, 0, {{4, 0}}, {true, false, true, false}},
      {true, 0, 0, {{4, 0}, {24, 12}}, {false, false, false, false}}, // no release in a horizontal section
  };
  for (const row& r : rows) {
    for (u32 a = collision_map; a < collision_copy + 72; ++a) wr8(a, 0);
    wr16(hscroll_step, r.horizontal ? 0x0100 : 0); // any non-zero word
    wr16(player1 + 0x2A, r.blink);
    wr16(player1 + 0x50, r.state);
    wr16(vehicle + 0x0C, 0);
    wr16(vehicle + 0x06, 0); // standing: only blocks
    const u16 x = 150, y = 100;
    const u16 rx = r.horizontal ? x : x + 36, ry = r.horizontal ? y + 14 : y + 114;
    touch_points.clear();
    probed.clear();
    for (const auto& t : r.touches) touch_points.push_back({static_cast<u16>(rx + t[0]), static_cast<u16>(ry + t[1])});
    pass(x, y);
    EXPECT_EQ(ways_of(player1), r.want) << r.horizontal << " " << r.blink << " " << r.touches.size();
    const bool deadly_probe = !r.horizontal && r.blink == 0 && r.state == 0;
    const u16 px = r.blink || r.state ? rx - 8 : rx + 4;
    std::vector<std::array<u16, 2>> want_probes;
    if (deadly_probe) want_probes.push_back({static_cast<u16>(rx + 12), ry});
    for (const std::array<u16, 2> p : {std::array<u16, 2>{px, ry}, {static_cast<u16>(px + 20), ry},
                                       {static_cast<u16>(px + 20), static_cast<u16>(ry + 12)},
                                       {static_cast<u16>(px + 4), static_cast<u16>(ry + 12)}})
      want_probes.push_back(p);
    EXPECT_EQ(probed, want_probes);
  }
}

TEST_F(Terrain, AMovingIntactVehicleKillsAndTheStepEndsAtOnce) {
  struct row {
    u16 speed, wrecked, freerun;
    bool deadly, death_called;
  };
  const row rows[] = {
      {2, 0, 0, true, true},
      {2, 0, 1, true, false},  // developer free run: no death, the ways still all free
      {0, 0, 0, false, false}, // standing: only blocks
      {2, 1, 0, false, false}, // wrecked: only blocks
  };
  for (const row& r : rows) {
    SetUp();
    u16 x = 0, y = 0;
    ASSERT_TRUE(lay_ground({T}, x, y)); // the ground blocks up
    wr16(player1 + 0, 3);
    wr16(player2 + 0, 3);
    wr16(player1 + 2, x);
    wr16(player1 + 4, y);
    wr16(player_positions, x);
    wr16(player_positions + 4, y);
    wr16(player_positions + 2, x + 100);
    wr16(player_positions + 6, y + 100);
    wr16(vehicle + 0x06, r.speed);
    wr16(vehicle + 0x0C, r.wrecked);
    wr16(dev_freerun, r.freerun);
    touch_points = {{static_cast<u16>(x + 36 + 12), static_cast<u16>(y + 114)}};
    a4 = player1;
    sync_regs_out();
    call_trace_start();
    ASSERT_EQ(run_routine(0xC30000), 1);
    EXPECT_EQ(rd16(update_mark), 0xBEEFu) << "the update goes on after the step";
    const auto deaths = calls_to(start_death);
    ASSERT_EQ(deaths.size(), r.death_called ? 1u : 0u);
    if (r.death_called) {
      EXPECT_EQ(deaths[0].a[4], player1);
    }
    EXPECT_EQ(rd16(player1 + 0x50), r.death_called ? 0xFFFFu : 0u) << "dying";
    if (r.deadly) {
      EXPECT_EQ(ways_of(player1), (ways{true, true, true, true})) << "the ground's answer is not applied";
      EXPECT_EQ(probed.size(), 1u) << "no blocking probes, no second pass";
    } else {
      EXPECT_EQ(ways_of(player1), (ways{true, true, true, false}));
      EXPECT_EQ(probed.size(), 10u) << "two passes of five probes";
    }
  }
}

} // namespace
