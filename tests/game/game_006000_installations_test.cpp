// The vertical sections' installations: placement from the level map
// ($6F22-$6F3E), the per-frame update ($6FB0), the bullet fire ($A3FE),
// the heavy projectiles' hits ($A2C2) and the drawing ($6E4C), on
// synthetic pictures and fire patterns.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "game/vertical_objects_ram.h"
#include "machine/hooks.h"
#include "support/tables/ground_objects.h"
#include "support/tables/mission_builder.h"
#include "support/machine/mission_machine.h"
#include "support/machine/resume_check.h"
#include "support/machine/resumption_check.h"
#include "support/machine/screen_check.h"
#include "support/machine/spawn_log.h"

namespace {

namespace inst = installation_field;

constexpr u32 place = 0x006F3E;
constexpr u32 update = 0x006FB0;
constexpr u32 fire = 0x00A3FE;
constexpr u32 hits = 0x00A2C2;
constexpr u32 draw = 0x006E4C;
constexpr u32 map_at = 0x3000;

u32 rec(u32 i) { return installation_table.address + installation_table.size * i; }
u32 shot(u32 i) { return projectile_table.address + projectile_table.size * i; }

int run(u32 entry) { return run_routine_with_regs(entry); }

// An installation in use: state 1 (on screen) unless given.
void put_installation(u32 i, u32 type, u32 x, i32 y, u32 state = 1) {
  wr16(rec(i) + inst::x, x);
  wr16(rec(i) + inst::y, static_cast<u32>(y));
  wr16(rec(i) + inst::state, state);
  wr16(rec(i) + inst::type, type);
  wr16(rec(i) + inst::timer, 5);
}

void put_projectile(u32 i, u32 x, u32 y, u32 type, u32 owner) {
  wr16(shot(i), 0xFFFF);
  wr16(shot(i) + 2, x);
  wr16(shot(i) + 4, y);
  wr16(shot(i) + 6, type);
  wr16(shot(i) + 0x0E, owner);
}

std::array<u16, 4> installation_group(u32 frame, u32 line, u32 group) {
  std::array<u16, 4> g;
  for (u32 p = 0; p < 4; ++p) g[p] = picture_word(ground_picture::installation, frame, line, group, p);
  return g;
}

class Installations : public MissionTest {
 protected:
  void SetUp() override {
    MissionTest::SetUp();
    spawn_log_start();
    ASSERT_TRUE(tables.put_in_ram()) << tables.error;
  }
  ground_objects tables;
};

// ---- placement -------------------------------------------------------------------

TEST_F(Installations, PlacementPutsTheMapPositionOnAGroupAndAboveTheScreen) {
  struct position_case {
    u8 xb, yb;
    u16 x, y;
  };
  for (const position_case c : {position_case{0, 0, 64, 0xFFC0}, {15, 63, 64, 0xFFFF}, {16, 64, 80, 0}, {191, 200, 240, 136}}) {
    machine_clear();
    mission_machine_reset();
    wr8(map_at, c.xb);
    wr8(map_at + 1, c.yb);
    wr16(placing_type, 0xF3);
    a2 = map_at;
    d0 = 0x12345678;
    ASSERT_EQ(run(place), 1);
    SCOPED_TRACE(testing::Message() << "x byte " << int(c.xb) << ", y byte " << int(c.yb));
    EXPECT_EQ(rd16(rec(0) + inst::x), c.x);
    EXPECT_EQ(rd16(rec(0) + inst::y), c.y);
    EXPECT_EQ(d1 & 0xFFFF, c.x);
    EXPECT_EQ(d2 & 0xFFFF, c.y);
    EXPECT_EQ(a2, map_at + 2);
    EXPECT_EQ(a6, rec(0));
    EXPECT_EQ(d0, 0x12345678u) << "kept across the random number";
    EXPECT_EQ(rd8(rec(0) + inst::state), 0xFFu);
    EXPECT_EQ(rd16(rec(0) + inst::timer), 5u);
    EXPECT_EQ(rd16(rec(0) + inst::type), 0xF3u);
    EXPECT_EQ(rd16(rec(0) + inst::pattern), rd32(random_seed) & 1) << "the bit of the number drawn";
  }
}

TEST_F(Installations, EachEntryPlacesItsTypeInTheFirstFreeRecordKeepingTheFireWords) {
  struct entry_case {
    u32 entry, type;
  };
  // record 0 busy; record 1 left by an earlier occupant
  put_installation(0, 0xF1, 64, 10);
  wr16(rec(1) + inst::fire_offset, 30);
  wr16(rec(1) + inst::fire_delay, 7);
  wr16(rec(1) + inst::step, 9);
  wr16(rec(1) + inst::destroyed, 0xFFFF);
  wr16(rec(1) + inst::type, inst::wreck);
  u32 next = 1;
  for (const entry_case c : {entry_case{0x006F2A, 0xF1}, {0x006F22, 0xF2}, {0x006F3A, 0xF3}, {0x006F32, 0xF4}}) {
    wr8(map_at, 32);
    wr8(map_at + 1, 10);
    a2 = map_at;
    ASSERT_EQ(run(c.entry), 1);
    EXPECT_EQ(rd16(rec(next) + inst::type), c.type) << std::hex << c.entry;
    EXPECT_EQ(a2, map_at + 2);
    ++next;
  }
  EXPECT_EQ(rd16(rec(1) + inst::fire_offset), 30u) << "kept from the previous occupant";
  EXPECT_EQ(rd16(rec(1) + inst::fire_delay), 7u);
  EXPECT_EQ(rd16(rec(1) + inst::step), 0u);
  EXPECT_EQ(rd16(rec(1) + inst::destroyed), 0u);
  EXPECT_EQ(rd16(rec(0) + inst::type), 0xF1u) << "the busy record is passed";
}

TEST_F(Installations, ThePatternBitFollowsTheRandomNumbers) {
  bool seen[2] = {false, false};
  for (u32 i = 0; i < 20; ++i) {
    wr8(map_at, 0);
    wr8(map_at + 1, 0);
    wr16(placing_type, 0xF1);
    a2 = map_at;
    ASSERT_EQ(run(place), 1);
    const u32 bit = rd16(rec(i) + inst::pattern);
    ASSERT_LE(bit, 1u);
    EXPECT_EQ(bit, rd32(random_seed) & 1);
    seen[bit] = true;
  }
  EXPECT_TRUE(seen[0] && seen[1]);
}

TEST_F(Installations, TheLevelMapPlacesItsInstallationsInOrder) {
  mission_builder m;
  ASSERT_TRUE(m.map({{{0}, {0}, {0}},
                     {{3, {installation(0xF1, 10, 11), installation(0xF2, 12, 13), stamp(5, 2),
                           installation(0xF3, 14, 15), installation(0xF4, 16, 80)}},
                      {0},
                      {0}},
                     {{1}, {1}, {1}}}))
      << m.error;
  m.put_in_ram();
  wr32(level_map_pointer, m.map_address(0) + 3);
  wr16(scroll_pos, 232);
  ASSERT_EQ(run_routine(0x00899A, 1), 1);
  struct placed {
    u32 type, x, y;
  };
  const placed want[4] = {{0xF1, 64, 0xFFCB}, {0xF2, 64, 0xFFCD}, {0xF3, 64, 0xFFCF}, {0xF4, 80, 16}};
  for (u32 i = 0; i < 4; ++i) {
    EXPECT_EQ(rd16(rec(i) + inst::type), want[i].type) << i;
    EXPECT_EQ(rd16(rec(i) + inst::x), want[i].x) << i;
    EXPECT_EQ(rd16(rec(i) + inst::y), want[i].y) << i;
    EXPECT_EQ(rd8(rec(i) + inst::state), 0xFFu) << i;
  }
  EXPECT_EQ(rd16(rec(4) + inst::state), 0u);
  EXPECT_EQ(rd32(level_map_pointer), m.map_address(0) + 4 + 15) << "the map goes on after each y byte";
}

TEST_F(Installations, ATwentyFirstPlacesNothingButConsumesItsBytes) {
  for (u32 i = 0; i < 20; ++i) put_installation(i, 0xF2, 64 + i, static_cast<i32>(i));
  wr8(map_at, 80);
  wr8(map_at + 1, 80);
  wr16(placing_type, 0xF4);
  // the table and far beyond it: nothing changes but the driver's stack
  constexpr u32 watched = 0x20000;
  constexpr u32 stack_low = mission_stack - 0x100, stack_high = mission_stack;
  std::vector<u8> before(watched - installation_table.address);
  for (u32 i = 0; i < before.size(); ++i) before[i] = rd8(installation_table.address + i);
  a2 = map_at;
  ASSERT_EQ(run(place), 1);
  EXPECT_EQ(a2, map_at + 2);
  for (u32 i = 0; i < before.size(); ++i) {
    const u32 a = installation_table.address + i;
    if (a < stack_low || a >= stack_high) {
      ASSERT_EQ(rd8(a), before[i]) << std::hex << a;
    }
  }
}

// ---- the per-frame update ----------------------------------------------------------

TEST_F(Installations, APlacedInstallationGoesOnScreenInTheFrameItsYIsZero) {
  put_installation(0, 0xF1, 64, -1, 0xFF00);
  ASSERT_EQ(run(update), 1);
  EXPECT_EQ(rd16(rec(0) + inst::state), 0xFF00u);
  wr16(rec(0) + inst::y, 0);
  ASSERT_EQ(run(update), 1);
  EXPECT_EQ(rd16(rec(0) + inst::state), 1u);
}

TEST_F(Installations, OnScreenItIsFreedWhenYPasses199) {
  struct y_case {
    i32 y;
    u32 state;
  };
  for (const y_case c : {y_case{199, 1}, {200, 0}, {-5, 0}}) {
    put_installation(0, 0xF2, 64, c.y);
    ASSERT_EQ(run(update), 1);
    EXPECT_EQ(rd16(rec(0) + inst::state), c.state) << "y " << c.y;
  }
}

TEST_F(Installations, PlacedBelowTheTopItIsNeverFreed) {
  // y byte 70: y 6 at once, so y is never exactly 0 in the placed state
  put_installation(0, 0xF2, 64, 6, 0xFF00);
  for (i32 y : {6, 150, 250, 400}) {
    wr16(rec(0) + inst::y, static_cast<u32>(y));
    ASSERT_EQ(run(update), 1);
    EXPECT_EQ(rd16(rec(0) + inst::state), 0xFF00u) << "y " << y;
  }
}

TEST_F(Installations, TimersRestartByType) {
  struct timer_case {
    u32 type, timer, step_before, step_after;
  };
  for (const timer_case c : {timer_case{0xF0, 5, 3, 4}, {0xF3, 5, 19, 0}, {0xF3, 5, 18, 19}, {0xF1, 25, 3, 3},
                             {0xF2, 25, 3, 3}, {0xF4, 30, 3, 3}}) {
    put_installation(0, c.type, 64, 20);
    wr16(rec(0) + inst::timer, 1);
    wr16(rec(0) + inst::step, c.step_before);
    ASSERT_EQ(run(update), 1);
    EXPECT_EQ(rd16(rec(0) + inst::timer), c.timer) << std::hex << c.type;
    EXPECT_EQ(rd16(rec(0) + inst::step), c.step_after) << std::hex << c.type;
  }
  put_installation(0, 0xF1, 64, 20);
  wr16(rec(0) + inst::timer, 2);
  ASSERT_EQ(run(update), 1);
  EXPECT_EQ(rd16(rec(0) + inst::timer), 1u) << "counted down";
}

TEST_F(Installations, TheUpdateReachesTheLastRecordAndNothingPastIt) {
  put_installation(19, 0xF1, 64, 20);
  wr16(rec(19) + inst::timer, 1);
  put_installation(18, 0xF2, 64, 0, 0xFF00);
  // a vehicle in use after the table would read as a record in use
  wr16(vehicle_table.address, 0xFFFF);
  wr16(vehicle_table.address + 4, 150);
  wr16(vehicle_table.address + 6, 1);
  constexpr u32 stack_low = mission_stack - 0x100, stack_high = mission_stack;
  std::vector<u8> before(0x20000 - vehicle_table.address);
  for (u32 i = 0; i < before.size(); ++i) before[i] = rd8(vehicle_table.address + i);
  ASSERT_EQ(run(update), 1);
  EXPECT_EQ(rd16(rec(19) + inst::timer), 25u);
  EXPECT_EQ(rd16(rec(18) + inst::state), 1u);
  for (u32 i = 0; i < before.size(); ++i) {
    const u32 a = vehicle_table.address + i;
    if (a < stack_low || a >= stack_high) {
      ASSERT_EQ(rd8(a), before[i]) << std::hex << a;
    }
  }
}

TEST_F(Installations, AWreckNeitherTimesNorThrows) {
  put_installation(0, inst::wreck, 64, 20);
  wr16(rec(0) + inst::destroyed, 0xFFFF);
  wr16(rec(0) + inst::timer, 1);
  put_installation(1, inst::mine, 64, 20, 0xFF00);
  wr16(rec(1) + inst::destroyed, 0xFFFF);
  wr16(rec(1) + inst::timer, 1);
  ASSERT_EQ(run(update), 1);
  EXPECT_EQ(rd16(rec(0) + inst::timer), 1u);
  EXPECT_EQ(rd16(rec(1) + inst::timer), 1u);
  EXPECT_TRUE(grenades_spawned().empty());
}

TEST_F(Installations, TheMineThrowsAGrenadeFromItsCornerWithDefinedWords) {
  put_installation(3, inst::mine, 80, 40);
  wr16(rec(3) + inst::timer, 1);
  d3 = 0x1234;
  d5 = 0x5678;
  ASSERT_EQ(run(update), 1);
  const std::vector<spawned_grenade> want = {{92, 52, 0xF4, 0, 0xFFFF}};
  EXPECT_EQ(grenades_spawned(), want);
  EXPECT_EQ(rd16(rec(3) + inst::timer), 30u) << "the record pointer survived the throw";
  EXPECT_EQ(rd16(rec(4) + inst::timer), 0u);
}

// ---- the bullet fire -----------------------------------------------------------------

TEST_F(Installations, ShotsLeaveFromThePatternEntriesInPlayFieldCoordinates) {
  put_installation(2, 0xF1, 96, 30);
  wr16(rec(2) + inst::pattern, 1);
  wr16(rec(2) + inst::fire_offset, 30);
  tables.installation_patterns[1][3].delay = 3;
  ASSERT_TRUE(tables.put_in_ram());
  ASSERT_EQ(run(fire), 1);
  const fire_entry e = tables.installation_patterns[1][3];
  const std::vector<spawned_bullet> want = {{static_cast<u16>(96 + 32 + e.dx), static_cast<u16>(30 + 100 + e.dy),
                                             static_cast<u16>(e.step_x), static_cast<u16>(e.step_y), 200, 0xFFFF}};
  EXPECT_EQ(bullets_spawned(), want);
  EXPECT_EQ(rd16(rec(2) + inst::fire_offset), 40u);
  EXPECT_EQ(rd16(rec(2) + inst::fire_delay), 2u) << "the entry's delay, its first frame counted at once";
}

TEST_F(Installations, EntriesOfDelayZeroFireInOneFrameAndTheWrapIsAFrameWithoutAShot) {
  for (auto& e : tables.installation_patterns[0]) e.delay = 0;
  tables.installation_patterns[0][7].delay = 2;
  ASSERT_TRUE(tables.put_in_ram());
  put_installation(0, 0xF2, 64, 10);
  std::vector<size_t> per_frame;
  for (int frame = 0; frame < 5; ++frame) {
    spawn_log_clear();
    ASSERT_EQ(run(fire), 1);
    per_frame.push_back(bullets_spawned().size());
  }
  // 8 shots at offsets 0-70 (the last entry's delay counts once in that
  // frame), its second frame, the wrap, then again
  EXPECT_EQ(per_frame, (std::vector<size_t>{8, 0, 0, 8, 0}));
}

// The wrap to offset 0 happens in the pass that reads past the eighth
// entry: with a last delay of 0 that is the pass of the eight shots, so
// there is no frame without a shot between the rounds.
TEST_F(Installations, WithAllDelaysZeroEveryFrameFiresAllEight) {
  for (auto& e : tables.installation_patterns[1]) e.delay = 0;
  ASSERT_TRUE(tables.put_in_ram());
  put_installation(0, 0xF2, 64, 10);
  wr16(rec(0) + inst::pattern, 1);
  for (int frame = 0; frame < 3; ++frame) {
    spawn_log_clear();
    ASSERT_EQ(run(fire), 1);
    EXPECT_EQ(bullets_spawned().size(), 8u) << "frame " << frame;
    EXPECT_EQ(rd16(rec(0) + inst::fire_offset), 0u);
  }
}

TEST_F(Installations, InstallationsAboveOrBelowTheScreenFireButWrecksAndFreeRecordsDoNot) {
  put_installation(0, 0xF2, 64, -50, 0xFF00);
  put_installation(1, 0xF2, 64, 250, 0xFF00);
  put_installation(2, inst::wreck, 64, 10);
  wr16(rec(2) + inst::destroyed, 0xFFFF);
  put_installation(3, 0xF2, 64, 10, 0);
  ASSERT_EQ(run(fire), 1);
  EXPECT_EQ(bullets_spawned().size(), 2u);
  EXPECT_EQ(rd16(rec(2) + inst::fire_offset), 0u);
  EXPECT_EQ(rd16(rec(3) + inst::fire_offset), 0u);
}

// ---- hits by heavy projectiles -------------------------------------------------------

TEST_F(Installations, TheHitBoxIs33PixelsBy28Lines) {
  struct box_case {
    u32 px, py;
    bool hit;
  };
  // installation at (80, 40): the box is px 112-144, py 136-163
  for (const box_case c : {box_case{112, 136, true}, {144, 163, true}, {111, 140, false}, {145, 140, false},
                           {120, 135, false}, {120, 164, false}}) {
    spawn_log_clear();
    put_installation(0, 0xF1, 80, 40);
    wr16(rec(0) + inst::destroyed, 0);
    put_projectile(0, c.px, c.py, 16, 0);
    ASSERT_EQ(run(hits), 1);
    EXPECT_EQ(rd16(rec(0) + inst::destroyed) != 0, c.hit) << c.px << ", " << c.py;
    EXPECT_EQ(rd16(shot(0)) == 0, c.hit);
  }
}

TEST_F(Installations, OnlyTheHeavyTypesHit) {
  for (u32 type : {15u, 16u, 23u, 24u}) {
    put_installation(0, 0xF1, 80, 40);
    wr16(rec(0) + inst::destroyed, 0);
    put_projectile(0, 120, 140, type, 0);
    ASSERT_EQ(run(hits), 1);
    EXPECT_EQ(rd16(rec(0) + inst::type), type >= 16 && type <= 23 ? inst::wreck : 0xF1u) << type;
  }
}

TEST_F(Installations, AHitWrecksTheFirstInstallationAndScoresForTheOwner) {
  wr32(player1 + player_record::score, 500);
  wr32(player2 + player_record::score, 700);
  put_installation(0, 0xF1, 80, 40, 0);      // free: passed
  put_installation(1, 0xF3, 80, 40);
  put_installation(2, 0xF2, 80, 40);
  put_projectile(4, 120, 140, 20, 1);
  ASSERT_EQ(run(hits), 1);
  EXPECT_EQ(rd16(rec(1) + inst::type), inst::wreck);
  EXPECT_EQ(rd16(rec(1) + inst::destroyed), 0xFFFFu);
  EXPECT_EQ(rd16(rec(2) + inst::type), 0xF2u) << "only the first in the box";
  EXPECT_EQ(rd16(rec(2) + inst::destroyed), 0u);
  EXPECT_EQ(rd16(shot(4)), 0u);
  EXPECT_EQ(rd32(player1 + player_record::score), 500u);
  EXPECT_EQ(rd32(player2 + player_record::score), 1700u);
  put_projectile(5, 120, 140, 20, 0);
  ASSERT_EQ(run(hits), 1);
  EXPECT_EQ(rd16(rec(2) + inst::type), inst::wreck) << "the next projectile takes the second";
  EXPECT_EQ(rd32(player1 + player_record::score), 1500u);
  put_projectile(6, 120, 140, 20, 0);
  ASSERT_EQ(run(hits), 1);
  EXPECT_EQ(rd16(shot(6)), 0xFFFFu) << "wrecks are not hit again: it passes";
  EXPECT_EQ(rd32(player1 + player_record::score), 1500u);
}

TEST_F(Installations, TheDestructionPatternAlternatesWithBit4OfTheVblCounter) {
  struct debris_at {
    u16 x, y;
  };
  struct arrangement {
    u8 vbl_low;
    std::vector<debris_at> debris;
    std::vector<spawned_explosion> explosions;
  };
  // installation at (80, 40)
  const arrangement cases[] = {
      {0x0F, {{115, 126}, {131, 142}}, {{147, 137, 0xFFFF}, {115, 153, 0xFFFF}}},
      {0x10, {{128, 125}, {112, 141}}, {{112, 134, 0xFFFF}, {144, 150, 0xFFFF}}},
  };
  for (const arrangement& c : cases) {
    SCOPED_TRACE(testing::Message() << "VBL counter low byte $" << std::hex << int(c.vbl_low));
    for (u32 i = 0; i < debris_table.records * debris_table.size; ++i) wr8(debris_table.address + i, 0);
    spawn_log_clear();
    wr8(vbl_counter + 1, c.vbl_low);
    put_installation(0, 0xF1, 80, 40);
    wr16(rec(0) + inst::destroyed, 0);
    put_projectile(0, 120, 140, 16, 0);
    d2 = 0x7777; // the debris get no start delay whatever d2 held
    ASSERT_EQ(run(hits), 1);
    for (u32 i = 0; i < 2; ++i) {
      const u32 d = debris_table.address + debris_table.size * i;
      EXPECT_EQ(rd16(d), 0xFFFFu);
      EXPECT_EQ(rd16(d + 2), c.debris[i].x) << "debris " << i;
      EXPECT_EQ(rd16(d + 4), c.debris[i].y) << "debris " << i;
      EXPECT_EQ(rd16(d + 10), 0u) << "no start delay";
    }
    EXPECT_EQ(rd16(debris_table.address + 2 * debris_table.size), 0u);
    const std::vector<spawned_explosion> got = explosions_spawned();
    ASSERT_EQ(got.size(), 2u);
    for (u32 i = 0; i < 2; ++i) EXPECT_TRUE(same_explosion(c.explosions[i], got[i])) << got[i].x << ", " << got[i].y;
  }
}

TEST_F(Installations, NothingPastTheTwentiethRecordIsTakenForAnInstallation) {
  // the first vehicle record read as an installation: x $FFFF, y 148, in use
  wr16(vehicle_table.address, 0xFFFF);
  wr16(vehicle_table.address + 2, 148);
  wr16(vehicle_table.address + 4, 10);
  put_projectile(0, 40, 250, 16, 0);
  ASSERT_EQ(run(hits), 1);
  EXPECT_EQ(rd16(shot(0)), 0xFFFFu);
  EXPECT_EQ(rd16(vehicle_table.address + 0x0C), 0u);
}

TEST_F(Installations, TheLastProjectileMeetsTheLastInstallation) {
  put_installation(19, 0xF4, 80, 40);
  put_projectile(19, 120, 140, 23, 0);
  ASSERT_EQ(run(hits), 1);
  EXPECT_EQ(rd16(rec(19) + inst::type), inst::wreck);
}

// ---- the impact spawner of the bullets -------------------------------------------------

TEST_F(Installations, ImpactsTakeTheFirstFreeProjectileRecord) {
  put_projectile(0, 1, 2, 16, 0);
  for (u32 i = 2; i < projectile_table.size; i += 2) wr16(shot(1) + i, 0x0505); // a former record's words
  a3 = 0x33333333;
  d7 = 0x77777777;
  d0 = 150;
  d1 = 160;
  d2 = 27;
  ASSERT_EQ(run(0x00A85E), 1);
  const std::array<u32, 8> words = {0xFFFF, 150, 160, 27, 3, 0, 0, 0x0505};
  for (u32 i = 0; i < words.size(); ++i) EXPECT_EQ(rd16(shot(1) + 2 * i), words[i]) << "word +" << 2 * i;
  EXPECT_EQ(a3, 0x33333333u);
  EXPECT_EQ(d7, 0x77777777u);
  for (u32 i = 2; i < 20; ++i) put_projectile(i, 1, 2, 16, 0);
  wr16(effect_table.address, 0);
  ASSERT_EQ(run(0x00A85E), 1);
  EXPECT_EQ(rd16(effect_table.address), 0u) << "a full table drops the impact";
}

// ---- drawing ----------------------------------------------------------------------------

struct hook_visit {
  u32 address, a6, d6;
  bool operator==(const hook_visit&) const = default;
};
std::vector<hook_visit> visits;
void note_visit(u32 address) { visits.push_back({address, g_cpu.a[6], g_cpu.d[6] & 0xFFFF}); }

TEST_F(Installations, DrawingVisitsEveryRecordFromTheLastAtBothHooks) {
  visits.clear();
  hook_register(0x006E54, note_visit);
  hook_register(0x006F18, note_visit);
  put_installation(19, 0xF1, 64, 10);
  put_installation(0, 0xF2, 96, 10);
  ASSERT_EQ(run(draw), 1);
  ASSERT_EQ(visits.size(), 40u);
  for (u32 i = 0; i < 20; ++i) {
    const u32 offset = 380 - 20 * i;
    EXPECT_EQ(visits[2 * i], (hook_visit{0x006E54, installation_table.address, offset}));
    EXPECT_EQ(visits[2 * i + 1], (hook_visit{0x006F18, installation_table.address, offset}));
  }
}

TEST_F(Installations, APictureIsDrawnMaskedOnTheGroupOfItsColumn) {
  fill_background();
  put_installation(5, 0xF3, 72, 50); // column 72: groups 4 and 5
  ASSERT_EQ(run(draw), 1);
  for (u32 l = 0; l < 32; ++l) {
    EXPECT_TRUE(masked_at(50 + l, 4, installation_group(3, l, 0)));
    EXPECT_TRUE(masked_at(50 + l, 5, installation_group(3, l, 1)));
  }
  EXPECT_EQ(changed_words(0, 50 * 160).size(), 0u);
  EXPECT_EQ(changed_words(82 * 160).size(), 0u);
  EXPECT_TRUE(untouched(60, 3));
  EXPECT_TRUE(untouched(60, 6));
}

TEST_F(Installations, DrawingClipsAtTheTopAndBottomOfTheScreen) {
  struct clip_case {
    i32 y;
    u32 lines, first_picture_line;
  };
  for (const clip_case c : {clip_case{-10, 22, 10}, {-31, 1, 31}, {-32, 0, 0}, {-64, 0, 0}, {0, 32, 0},
                            {168, 32, 0}, {169, 31, 0}, {199, 1, 0}, {200, 0, 0}, {250, 0, 0}}) {
    SCOPED_TRACE(testing::Message() << "y " << c.y);
    fill_background();
    put_installation(0, 0xF1, 64, c.y, c.y < 0 ? 0xFF00 : 1);
    ASSERT_EQ(run(draw), 1);
    const u32 top = c.y < 0 ? 0 : static_cast<u32>(c.y);
    for (u32 l = 0; l < c.lines; ++l) {
      ASSERT_TRUE(masked_at(top + l, 4, installation_group(1, c.first_picture_line + l, 0)));
      ASSERT_TRUE(masked_at(top + l, 5, installation_group(1, c.first_picture_line + l, 1)));
    }
    EXPECT_EQ(changed_outside({{top, c.lines, 4, 2}}).size(), 0u);
  }
}

TEST_F(Installations, NoGroupIsDrawnPastColumn319) {
  fill_background();
  put_installation(0, 0xF2, 304, 20); // x byte 255
  put_installation(1, 0xF2, 288, 60); // x byte 239: over the right panel, as the game draws
  ASSERT_EQ(run(draw), 1);
  for (u32 l = 0; l < 32; ++l) {
    EXPECT_TRUE(masked_at(20 + l, 19, installation_group(2, l, 0)));
    EXPECT_TRUE(untouched(21 + l, 0)) << "the next line's left panel";
    EXPECT_TRUE(masked_at(60 + l, 18, installation_group(2, l, 0)));
    EXPECT_TRUE(masked_at(60 + l, 19, installation_group(2, l, 1)));
  }
  EXPECT_EQ(changed_outside({{20, 32, 19, 1}, {60, 32, 18, 2}}).size(), 0u);
}

// What changed between a record's two hooks must lie in its picture's box.
std::vector<u16> screen_before;
std::vector<std::string> box_faults;
void snapshot(u32) {
  screen_before.resize(check_screen_bytes / 2);
  for (u32 i = 0; i < screen_before.size(); ++i) screen_before[i] = static_cast<u16>(rd16(check_screen + 2 * i));
}
void compare_box(u32) {
  const u32 r = g_cpu.a[6] + (g_cpu.d[6] & 0xFFFF);
  const i32 y = static_cast<i16>(rd16(r + inst::y));
  const u32 x = rd16(r + inst::x) & 0xFFF0;
  for (u32 i = 0; i < screen_before.size(); ++i) {
    if (rd16(check_screen + 2 * i) == screen_before[i]) continue;
    const i32 line = static_cast<i32>(2 * i / 160);
    const u32 column = (2 * i % 160) / 8 * 16;
    if (line < y || line >= y + 32 || column < x || column >= x + 32)
      box_faults.push_back("record +" + std::to_string(r - installation_table.address) + " word " + std::to_string(2 * i));
  }
}

TEST_F(Installations, NothingIsDrawnOutsideAPicturesBox) {
  box_faults.clear();
  hook_register(0x006E54, snapshot);
  hook_register(0x006F18, compare_box);
  fill_background();
  put_installation(0, 0xF1, 64, -20, 0xFF00);
  put_installation(4, 0xF3, 240, 180);
  put_installation(9, 0xF4, 304, 100);
  put_installation(13, 0xF2, 128, 60);
  put_installation(19, 0xF0, 96, 250);
  ASSERT_EQ(run(draw), 1);
  EXPECT_TRUE(box_faults.empty()) << box_faults.front();
  EXPECT_FALSE(changed_words().empty());
}

TEST_F(Installations, TheWreckShowsFrame5) {
  fill_background();
  put_installation(0, inst::wreck, 128, 100);
  ASSERT_EQ(run(draw), 1);
  EXPECT_TRUE(masked_at(100, 8, installation_group(5, 0, 0)));
  EXPECT_TRUE(masked_at(131, 9, installation_group(5, 31, 1)));
}

// ---- resumption -----------------------------------------------------------------------------

void prepare_busy_table() {
  machine_clear();
  mission_machine_reset();
  spawn_log_start();
  ground_objects t;
  t.put_in_ram();
  for (u32 i = 0; i < 20; ++i) {
    put_installation(i, 0xF0 + i % 5, 64 + 8 * i, static_cast<i32>(10 * i) - 20, i % 3 ? 1 : 0xFF00);
    wr16(rec(i) + inst::timer, 1 + i % 2);
  }
  put_projectile(0, 120, 140, 16, 0);
  put_projectile(1, 200, 200, 20, 1);
}

TEST_F(Installations, EveryPassResumesFromASavedState) {
  for (u32 entry : {update, fire, hits, draw}) {
    const resumption_result r = check_resumption(prepare_busy_table, entry, 2, 2);
    EXPECT_GE(r.yields, 2) << std::hex << entry;
    EXPECT_TRUE(r.sliced_same) << std::hex << entry << ": " << r.first_difference;
    EXPECT_TRUE(r.resumed_same) << std::hex << entry << ": " << r.first_difference;
  }
}

TEST_F(Installations, ThePlacementResumesAtEveryLabel) {
  prepare_busy_table();
  wr16(rec(7) + inst::state, 0);
  wr8(map_at, 100);
  wr8(map_at + 1, 30);
  wr16(placing_type, 0xF4);
  a2 = map_at;
  sync_regs_out();
  EXPECT_TRUE(resumes_alike({.entry = 0x006F32}));
}

TEST_F(Installations, EveryRoadResumesAtEveryLabel) {
  for (u32 entry : {update, fire, hits, draw}) {
    prepare_busy_table();
    EXPECT_TRUE(resumes_alike({.entry = entry})) << std::hex << entry;
  }
}

} // namespace
