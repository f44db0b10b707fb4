// Page $A000: the players' contact with enemies ($A544, $A562) and the
// blast damage of the explosions ($A5FC): boxes at their bounds, points
// to the owner, struck enemies, destroyed homing units and section
// objects with their chain blasts, and the players' deaths.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "machine/hooks.h"
#include "support/machine/mission_machine.h"
#include "support/tables/mission_objects.h"
#include "support/machine/resume_check.h"

namespace {

constexpr u32 contact = 0x00A544, blast = 0x00A5FC;
constexpr u32 start_death = 0x00AA42, sample_b = 0x00E756, blast_pan_site = 0x00A660;
constexpr u32 anim_data = 0x00B228;

int run(u32 entry) { return run_routine_with_regs(entry); }

// The sample calls: number, return address, and the x word at a6.
struct heard {
  u32 sample, ret, x;
  bool operator==(const heard&) const = default;
};
std::vector<heard> samples;
void note_sample(u32) { samples.push_back({g_cpu.d[0] & 0xFFFF, rd32(g_cpu.a[7]), rd16(g_cpu.a[6])}); }

// The players whose death was started, in order: (record, current_player).
std::vector<std::pair<u32, u32>> deaths() {
  std::vector<std::pair<u32, u32>> r;
  for (const stub_call& c : stub_calls())
    if (c.address == start_death) r.push_back({c.a4, c.watched});
  return r;
}

u32 points(u32 player) { return rd32(player + player_record::score); }

bool struck(u32 enemy) { return rd16(enemy_at(enemy) + 0x26) == 0xFFFF; }
u32 animation_of(u32 enemy) { return (rd32(enemy_at(enemy) + 0x14) - anim_data) / 16; }

class Damage : public MissionTest {
 protected:
  void SetUp() override {
    MissionTest::SetUp();
    samples.clear();
    hook_register(sample_b, note_sample);
    stub_watch_address = current_player + 1;
    for (u32 n = 0; n < 13; ++n) wr16(0x00B20E + 2 * n, 16 * n); // animation n starts at $B228 + 16n
    put_explosion_frames();
    stub_records_over(start_death, nullptr); // the damage alone: who is sent to die
  }
};

// --- blast boxes -------------------------------------------------------------------------

// Differences explosion - target (field coordinates), in and one past
// each bound, y first.
struct box_case {
  i16 dx, dy;
  bool hit;
};
std::vector<box_case> box_cases(i16 x_low, i16 x_high, i16 y_low, i16 y_high) {
  return {{x_low, y_low, true},      {x_high, y_high, true},      {x_low, y_high, true},
          {x_high, y_low, true},     {i16(x_low - 1), 0, false},  {i16(x_high + 1), 0, false},
          {0, i16(y_low - 1), false}, {0, i16(y_high + 1), false}};
}

TEST_F(Damage, EachTargetsBlastBoxAtItsBounds) {
  const u16 bx = 160, by = 200;
  for (const box_case& c : box_cases(-30, 13, -20, 22)) {
    SetUp();
    put_explosion(0, bx, by, 0, 0);
    put_enemy(7, bx - c.dx, by - c.dy);
    ASSERT_EQ(run(blast), 1);
    EXPECT_EQ(struck(7), c.hit) << "enemy " << c.dx << ", " << c.dy;
  }
  for (const box_case& c : box_cases(-30, 13, -22, 16)) {
    SetUp();
    put_explosion(0, bx, by, 0, 0);
    put_homing_unit(2, bx - c.dx, by - c.dy);
    ASSERT_EQ(run(blast), 1);
    EXPECT_EQ(rd16(homing_unit_at(2) + 0x0E) == 0xFFFF, c.hit) << "unit " << c.dx << ", " << c.dy;
  }
  for (const box_case& c : box_cases(-30, 13, -22, 16)) {
    SetUp();
    put_explosion(0, bx, by, 0, 0);
    put_section_object(3, bx - c.dx - 36, by - c.dy - 100);
    ASSERT_EQ(run(blast), 1);
    EXPECT_EQ(rd16(section_object_at(3)) == 0, c.hit) << "object " << c.dx << ", " << c.dy;
  }
  for (const box_case& c : box_cases(0, 31, -10, 20)) {
    SetUp();
    put_explosion(0, bx, by, 0xFFFF, 0);
    put_player(player2, bx - c.dx - 36, by - c.dy - 100);
    ASSERT_EQ(run(blast), 1);
    EXPECT_EQ(deaths().size(), c.hit ? 1u : 0u) << "player " << c.dx << ", " << c.dy;
  }
}

TEST_F(Damage, FreedRecordsNeitherHurtNorAreHurt) {
  // Freed records keep their other fields (the y word's low byte set).
  put_explosion(2, 160, 0x01FF, 0, 0);
  wr16(explosion_at(2) + 4, 0);
  put_enemy(0, 160, 0x01FF);
  put_homing_unit(0, 160, 0x01FF);
  put_player(player1, 160 - 36, 0x01FF - 100);
  ASSERT_EQ(run(blast), 1);
  EXPECT_FALSE(struck(0));
  EXPECT_EQ(rd16(homing_unit_at(0) + 0x0E), 0u);
  EXPECT_TRUE(deaths().empty());
  SetUp();
  put_explosion(0, 160, 200, 0, 0);
  put_enemy(1, 160, 0x00C8);
  wr16(enemy_at(1) + 4, 0);
  wr16(enemy_at(1) + 6, 0x0101);
  put_homing_unit(1, 160, 200);
  wr16(homing_unit_at(1), 0);
  wr16(homing_unit_at(1) + 2, 0x0101);
  // The bullet table after the enemies holds no enemy.
  wr16(bullet_table.address, 160);
  wr16(bullet_table.address + 2, 200);
  wr16(bullet_table.address + 4, 0xFFFF);
  // The goal record after the unit table is no unit.
  wr16(goal_record.address, 0xFFFF);
  wr16(goal_record.address + 4, 160);
  wr16(goal_record.address + 6, 200);
  ASSERT_EQ(run(blast), 1);
  EXPECT_FALSE(struck(1));
  EXPECT_EQ(rd16(homing_unit_at(1) + 0x0E), 0u);
  EXPECT_EQ(rd16(goal_record.address + 0x0E), 0u);
  EXPECT_EQ(rd16(bullet_table.address + 0x26), 0u);
  EXPECT_EQ(points(player1), 0u);
  SetUp();
  put_player(player1, 150, 100);
  put_enemy(3, 186, 0x00C8);
  wr16(enemy_at(3) + 4, 0);
  ASSERT_EQ(run(contact), 1);
  EXPECT_FALSE(struck(3));
  EXPECT_TRUE(deaths().empty());
  // Nothing past the explosion table blasts; the installations after the
  // section objects are not objects; the last explosion record blasts.
  SetUp();
  wr16(debris_table.address, 160); // read as an explosion: at the enemy, live, frame 0
  wr16(debris_table.address + 2, 0xFFFF);
  wr16(debris_table.address + 4, 0xFFFF);
  put_enemy(0, 160, 0xFFFF);
  put_section_installation(0, 124, 100);
  put_explosion(16, 124 + 36, 200, 0, 0);
  ASSERT_EQ(run(blast), 1);
  EXPECT_FALSE(struck(0));
  EXPECT_EQ(rd16(section_installation_at(0)), 0xFFFFu);
  EXPECT_EQ(points(player1), 0u);
  put_enemy(1, 160, 200);
  ASSERT_EQ(run(blast), 1);
  EXPECT_TRUE(struck(1)) << "record 16 blasts";
  // A player out of play is never touched.
  SetUp();
  put_player(player1, 150, 100);
  wr16(player1 + player_record::lives, 0);
  put_enemy(3, 186, 200);
  ASSERT_EQ(run(contact), 1);
  EXPECT_FALSE(struck(3));
  EXPECT_TRUE(deaths().empty());
}

TEST_F(Damage, TheFrameDecidesWhatABlastStillHurts) {
  const struct {
    u16 frame;
    bool targets, players;
  } rows[] = {{0, true, true}, {3, true, true}, {4, true, false}, {8, true, false}, {9, false, false}};
  for (const auto& r : rows) {
    SetUp();
    put_explosion(5, 160, 200, 0, r.frame);
    put_enemy(0, 160, 200);
    put_homing_unit(0, 160, 200);
    put_section_object(15, 160 + 30 - 36, 200 - 100); // its chain blast lands beside the rest
    put_player(player1, 160 - 36, 200 - 100);
    ASSERT_EQ(run(blast), 1);
    EXPECT_EQ(struck(0), r.targets) << r.frame;
    EXPECT_EQ(rd16(homing_unit_at(0) + 0x0E) == 0xFFFF, r.targets) << r.frame;
    EXPECT_EQ(rd16(section_object_at(15)) == 0, r.targets) << r.frame;
    EXPECT_EQ(deaths().size(), r.players ? 1u : 0u) << r.frame;
    EXPECT_EQ(points(player1), r.targets ? 600u : 0u) << r.frame;
  }
}

TEST_F(Damage, AStruckEnemyIsHeardStopsAndDies) {
  const struct {
    u16 frame_word;
    u32 animation;
  } rows[] = {{0, 3}, {16, 3}, {17, 10}, {0x0105, 10}};
  for (const auto& r : rows) {
    SetUp();
    put_explosion(0, 200, 200, 1, 2);
    put_enemy(47, 195, 190, r.frame_word); // the last record: blasts reach every one
    put_enemy(46, 200, 200, 0, true);      // dying: left alone
    wr16(enemy_at(46) + 0x14, 0x1234);
    ASSERT_EQ(run(blast), 1);
    EXPECT_TRUE(struck(47));
    EXPECT_EQ(rd16(enemy_at(47) + 0x0C), 0u);
    EXPECT_EQ(rd16(enemy_at(47) + 0x0E), 0u);
    EXPECT_EQ(animation_of(47), r.animation) << r.frame_word;
    EXPECT_EQ(rd16(enemy_at(46) + 0x14), 0x1234u);
    EXPECT_EQ(samples, (std::vector<heard>{{4, blast_pan_site, 195}}));
    EXPECT_EQ(points(player2), 200u);
    EXPECT_EQ(points(player1), 0u);
  }
}

TEST_F(Damage, PointsGoToTheOwnerForEveryTarget) {
  const struct {
    u16 owner;
    u32 p1, p2;
  } rows[] = {{0, 800, 0}, {1, 0, 800}, {5, 800, 0}, {0x7FFF, 800, 0}};
  for (const auto& r : rows) {
    SetUp();
    wr32(player1 + player_record::score, 1000);
    wr32(player2 + player_record::score, 1000);
    put_explosion(0, 160, 200, r.owner, 6);
    put_enemy(3, 160, 200);
    put_enemy(9, 150, 210);
    put_homing_unit(1, 170, 205);
    put_homing_unit(4, 160, 200, true); // destroyed already: no points
    put_section_object(6, 160 - 36, 200 - 100);
    ASSERT_EQ(run(blast), 1);
    EXPECT_EQ(points(player1), 1000 + r.p1) << r.owner;
    EXPECT_EQ(points(player2), 1000 + r.p2) << r.owner;
    EXPECT_EQ(rd16(homing_unit_at(1) + 0x0A), 8u) << "the destroyed picture";
    EXPECT_EQ(rd16(homing_unit_at(4) + 0x0A), 2u);
    // The chain blast of the object: owner passed on, sample 6 only.
    EXPECT_EQ(rd16(explosion_at(1) + 4), 0xFFFFu);
    EXPECT_EQ(rd16(explosion_at(1) + 0x0A), r.owner);
    std::vector<u32> heard_samples;
    for (const heard& h : samples) heard_samples.push_back(h.sample);
    EXPECT_EQ(heard_samples, (std::vector<u32>{4, 4, 6})) << "two enemies, no unit, one chain";
  }
}

TEST_F(Damage, AChainBlastLaterInTheTableStrikesInTheSamePass) {
  // The blast in record 1 at (100, 150) destroys object 0 (field 128,
  // 150); its chain blast at (92 + 44, 50 + 96), stored at x 128 (a
  // remainder of 8 rounds down), reaches object 1 (field 150, 150), which
  // the first blast does not. The chain takes
  // record 0 when it is free (tested next pass) or else record 2 (tested
  // in this pass).
  for (bool later : {false, true}) {
    SetUp();
    if (later) put_explosion(0, 0, 0, 0, 10); // live, past its damage
    put_explosion(1, 100, 150, 1, 1);
    put_section_object(0, 128 - 36, 150 - 100);
    put_section_object(1, 150 - 36, 150 - 100);
    ASSERT_EQ(run(blast), 1);
    const u32 chain = explosion_at(later ? 2 : 0);
    EXPECT_EQ(rd16(chain), 128u);
    EXPECT_EQ(rd16(chain + 2), 146u);
    EXPECT_EQ(rd16(chain + 0x0A), 1u);
    EXPECT_EQ(rd16(section_object_at(0)), 0u);
    EXPECT_EQ(rd16(section_object_at(1)) == 0, later) << "the chain struck in the same pass";
    EXPECT_EQ(points(player2), later ? 400u : 200u);
  }
}

TEST_F(Damage, AChainBlastStandsAtTheObjectPlus44And96) {
  // Object x + 44 with a remainder of 8 (rounded down) or 9 (up).
  const struct {
    u16 x, y, stored_x, stored_y;
  } rows[] = {{92, 40, 128, 136}, {93, 41, 144, 137}};
  for (const auto& r : rows) {
    SetUp();
    put_explosion(0, r.x + 36, r.y + 100, 0, 0);
    put_section_object(0, r.x, r.y);
    ASSERT_EQ(run(blast), 1);
    EXPECT_EQ(rd16(explosion_at(1)), r.stored_x) << r.x;
    EXPECT_EQ(rd16(explosion_at(1) + 2), r.stored_y) << r.x;
  }
}

TEST_F(Damage, PlayersInOneBlastBothDieUnlessProtected) {
  const struct {
    u16 blink1, state2, freerun;
    std::vector<std::pair<u32, u32>> died;
  } rows[] = {
      {0, 0, 0, {{player1, 0}, {player2, 1}}},
      {5, 0, 0, {{player2, 1}}},
      {0, 0xFFFF, 0, {{player1, 0}}},
      {0, 0, 1, {}},
  };
  for (const auto& r : rows) {
    SetUp();
    put_explosion(0, 200, 200, 0, 3); // a player's own blast hurts him too
    put_player(player1, 200 - 36 - 10, 200 - 100);
    put_player(player2, 200 - 36 - 20, 200 - 100 + 10);
    for (u32 p : {player1, player2}) {
      wr16(p + 0x2C, 0x0202); // the words after the blink and state words: not theirs
      wr16(p + 0x52, 0x0303);
    }
    wr16(player1 + player_record::blink, r.blink1);
    wr16(player2 + player_record::state, r.state2);
    wr16(dev_freerun, r.freerun);
    wr16(current_player, 1); // as the contact test leaves it
    ASSERT_EQ(run(blast), 1);
    EXPECT_EQ(deaths(), r.died);
  }
  SetUp();
  put_explosion(0, 200, 200, 0, 3);
  put_player(player1, 200 - 36 - 10, 200 - 100);
  wr16(player2 + player_record::lives, 0);
  wr16(player2 + player_record::x, 200 - 36 - 10);
  wr16(player2 + player_record::y, 100);
  ASSERT_EQ(run(blast), 1);
  EXPECT_EQ(deaths(), (std::vector<std::pair<u32, u32>>{{player1, 0}})) << "a player out of play is skipped";
}

// The owner is tested only at the first enemy that is active and not
// dying: without one, a hostile blast destroys units and objects for
// player 1.
TEST_F(Damage, AHostileBlastIsToldOnlyByTheFirstLiveEnemy) {
  const struct {
    bool live_enemy;
    u16 owner;
    bool enemy_struck, destroyed;
    u32 p1, p2;
  } rows[] = {
      {true, 0, true, true, 600, 0},        {true, 1, true, true, 0, 600},
      {true, 0xFFFF, false, false, 0, 0},   {false, 0xFFFF, false, true, 400, 0},
      {false, 1, false, true, 0, 400},      {false, 0xFFFE, false, true, 400, 0},
  };
  for (const auto& r : rows) {
    SetUp();
    put_explosion(0, 160, 200, r.owner, 2);
    put_enemy(0, 160, 200, 0, true); // dying: never tells
    if (r.live_enemy) put_enemy(30, 160, 200);
    put_homing_unit(5, 160, 200);
    put_section_object(2, 160 + 30 - 36, 200 - 100);
    put_player(player1, 160 - 36 - 10, 200 - 100);
    ASSERT_EQ(run(blast), 1);
    EXPECT_EQ(r.live_enemy && struck(30), r.enemy_struck) << r.live_enemy << " " << r.owner;
    EXPECT_EQ(rd16(homing_unit_at(5) + 0x0E) == 0xFFFF, r.destroyed) << r.live_enemy << " " << r.owner;
    EXPECT_EQ(rd16(section_object_at(2)) == 0, r.destroyed) << r.live_enemy << " " << r.owner;
    EXPECT_EQ(points(player1), r.p1) << r.live_enemy << " " << r.owner;
    EXPECT_EQ(points(player2), r.p2) << r.live_enemy << " " << r.owner;
    EXPECT_EQ(deaths().size(), 1u) << "the players are tested either way";
  }
}

TEST_F(Damage, TheBlastResumesAlike) {
  for (u32 i = 0; i < 17; ++i) put_explosion(i, 120 + 10 * i, 150 + 5 * i, i % 3 == 2 ? 0xFFFF : i % 2, i % 10);
  for (u32 i = 0; i < 48; i += 3) put_enemy(i, 110 + 4 * i, 140 + 3 * i, i);
  put_homing_unit(1, 200, 200);
  put_section_object(4, 150, 120);
  put_player(player1, 120, 80);
  EXPECT_TRUE(resumes_alike({.entry = blast}));
}

// --- contact -----------------------------------------------------------------------------

TEST_F(Damage, APlayerWalkingIntoAnEnemyDiesAndStrikesIt) {
  // Differences player - enemy (field coordinates).
  const box_case cases[] = {{-26, -22, true}, {9, 12, true},  {-26, 12, true}, {9, -22, true},
                            {-27, 0, false},  {10, 0, false}, {0, -23, false}, {0, 13, false}};
  for (const box_case& c : cases) {
    SetUp();
    put_player(player1, 150, 100);
    put_enemy(12, 150 + 36 - c.dx, 100 + 100 - c.dy, 20);
    ASSERT_EQ(run(contact), 1);
    EXPECT_EQ(struck(12), c.hit) << c.dx << ", " << c.dy;
    EXPECT_EQ(deaths().size(), c.hit ? 1u : 0u) << c.dx << ", " << c.dy;
    if (c.hit) {
      EXPECT_EQ(animation_of(12), 10u);
      EXPECT_EQ(rd16(enemy_at(12) + 0x0C), 0u);
      EXPECT_EQ(rd16(enemy_at(12) + 0x0E), 0u);
    }
    EXPECT_TRUE(samples.empty()) << "a touch is silent";
    EXPECT_EQ(points(player1), 0u);
  }
}

TEST_F(Damage, ContactNeverReachesRecordTwentyFive) {
  put_player(player1, 150, 100);
  put_enemy(25, 186, 200);
  put_enemy(24, 186, 300); // out of reach
  ASSERT_EQ(run(contact), 1);
  EXPECT_FALSE(struck(25));
  EXPECT_TRUE(deaths().empty());
  put_enemy(24, 186, 200);
  ASSERT_EQ(run(contact), 1);
  EXPECT_TRUE(struck(24));
}

TEST_F(Damage, ContactTouchesOnlyTheFirstEnemiesAndOnePerPlayer) {
  put_player(player1, 150, 100);
  put_player(player2, 100, 150);
  put_enemy(25, 186, 200);     // beyond record 24: never touched
  put_enemy(20, 186, 200, 3);  // struck
  put_enemy(22, 186, 200, 3);  // a second one: left for the next frame
  put_enemy(5, 136, 250, 0, true); // dying: skipped
  put_enemy(6, 136, 250, 3);   // player 2's
  wr16(current_player, 1);     // as the last frame left it
  ASSERT_EQ(run(contact), 1);
  EXPECT_FALSE(struck(25));
  EXPECT_TRUE(struck(20));
  EXPECT_FALSE(struck(22));
  EXPECT_TRUE(struck(6));
  EXPECT_EQ(animation_of(6), 3u);
  EXPECT_EQ(a6, enemy_at(6)) << "a6 ends at the struck enemy";
  EXPECT_EQ(deaths(), (std::vector<std::pair<u32, u32>>{{player1, 0}, {player2, 1}}));
}

TEST_F(Damage, ProtectedPlayersAndTheDevelopersFreeRun) {
  const struct {
    u16 blink, state, freerun, lives;
    u8 invulnerable;
    bool struck, dies;
  } rows[] = {
      {0, 0, 0, 3, 0, true, true},   {0, 0, 1, 3, 0, true, false}, {0, 0, 0, 3, 1, true, true},
      {9, 0, 0, 3, 0, false, false}, {0, 1, 0, 3, 0, false, false}, {0, 0, 0, 0, 0, false, false},
  };
  for (const auto& r : rows) {
    SetUp();
    put_player(player2, 150, 100);
    wr16(player2 + player_record::blink, r.blink);
    wr16(player2 + player_record::state, r.state);
    wr16(player2 + player_record::lives, r.lives);
    wr16(dev_freerun, r.freerun);
    g_cpu.patch_flags[0] = r.invulnerable;
    put_enemy(0, 186, 200);
    ASSERT_EQ(run(contact), 1);
    EXPECT_EQ(struck(0), r.struck) << r.blink << r.state << r.freerun << r.lives << int(r.invulnerable);
    // The invulnerability lives inside the death routine: it is called.
    EXPECT_EQ(deaths().size(), r.dies ? 1u : 0u);
  }
}

} // namespace
