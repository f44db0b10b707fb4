// The bullet weapon ($9614): the direction from the facing and the turn,
// the velocity from the weapon's speed, through the game's spawner, on the
// synthetic turn and direction tables.
#include <gtest/gtest.h>

#include <array>

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "game/shot_ram.h"
#include "support/machine/interrupt_check.h"
#include "support/machine/mission_machine.h"
#include "support/tables/shot_tables.h"

namespace {

namespace pr = player_record;

constexpr u32 bullet_weapon = 0x009614;
constexpr u32 first = bullet_table.address;

class BulletWeapon : public MissionTest {
 protected:
  void SetUp() override {
    MissionTest::SetUp();
    tables.put_in_ram();
    wr16(player2 + pr::x, 120);
    wr16(player2 + pr::y, 90);
    wr16(player2 + pr::bullet_speed, 5);
    wr16(player2 + pr::bullet_life, 17);
    wr16(current_player, 1);
  }

  // Fires from player 2 with the facing before and after this frame's turn.
  void fire(u32 before, u32 now) {
    wr8(player2 + pr::facing_before, before);
    wr8(player2 + pr::facing, now);
    wr16(first + bullet::live, 0);
    a4 = player2;
    sync_regs_out();
    ASSERT_EQ(run_routine(bullet_weapon), 1);
    sync_regs_in();
  }

  shot_tables tables;
};

TEST_F(BulletWeapon, TheDirectionFromTheFacingOrTheTurn) {
  tables.turns[8][4] = 9; // right to left: up-right
  tables.turns[2][1] = 3; // down to up: a code without a bullet
  tables.put_in_ram();
  struct {
    u32 before, now;
    bool fired;
    i16 dx, dy;
    u32 code; // of the offsets
  } cases[] = {
      {8, 8, true, 5, 0, 8},    {6, 6, true, -5, 5, 6},  {8, 4, true, 5, -5, 9},
      {1, 1, true, 0, -5, 1},   {2, 1, false, 0, 0, 0},  {3, 3, false, 0, 0, 0},
      {0, 0, false, 0, 0, 0},   {4, 2, true, 0, 5, 2},
  };
  for (const auto& c : cases) {
    fire(c.before, c.now);
    EXPECT_EQ(rd16(first + bullet::live) != 0, c.fired) << c.before << " to " << c.now;
    if (!c.fired) continue;
    EXPECT_EQ(static_cast<i16>(rd16(first + bullet::dx)), c.dx) << c.before << " to " << c.now;
    EXPECT_EQ(static_cast<i16>(rd16(first + bullet::dy)), c.dy) << c.before << " to " << c.now;
    EXPECT_EQ(rd16(first + bullet::x), 120 + 44 + c.code) << c.before << " to " << c.now;
    EXPECT_EQ(rd16(first + bullet::y), 90 + 95 + c.code) << c.before << " to " << c.now;
    EXPECT_EQ(rd16(first + bullet::life), 17u);
    EXPECT_EQ(rd16(first + bullet::owner), 1u) << "current_player";
  }
}

TEST_F(BulletWeapon, SignedProductsOfFactorAndSpeed) {
  tables.dirs[10] = {-3, 7, 0, 0};
  tables.put_in_ram();
  struct {
    u16 speed;
    i16 dx, dy;
  } cases[] = {{5, -15, 35}, {0xFFFE, 6, -14}, {300, -900, 2100}};
  for (const auto& c : cases) {
    wr16(player2 + pr::bullet_speed, c.speed);
    fire(10, 10);
    EXPECT_EQ(static_cast<i16>(rd16(first + bullet::dx)), c.dx) << c.speed;
    EXPECT_EQ(static_cast<i16>(rd16(first + bullet::dy)), c.dy) << c.speed;
  }
}

TEST_F(BulletWeapon, AFacingAboveTenReadsPastTheTurnTable) {
  // Facing 8 after 12 (left and right together) reads $9786 + 140, a byte
  // of the walk lists that follow the table.
  wr8(turn_table + 12 * 11 + 8, 10);
  ASSERT_EQ(turn_table + 140, walk_frame_lists + 0x12);
  fire(12, 8);
  ASSERT_NE(rd16(first + bullet::live), 0u);
  EXPECT_EQ(static_cast<i16>(rd16(first + bullet::dx)), 5);
  EXPECT_EQ(static_cast<i16>(rd16(first + bullet::dy)), 5) << "code 10, down-right";
}

TEST_F(BulletWeapon, EveryRegisterKept) {
  for (u32 facing : {8u, 3u}) {
    fill_register_patterns();
    sync_regs_in();
    a4 = player2;
    wr8(player2 + pr::facing_before, facing);
    wr8(player2 + pr::facing, facing);
    const std::array<u32, 16> before = {d0, d1, d2, d3, d4, d5, d6, d7, a0, a1, a2, a3, a4, a5, a6, a7};
    sync_regs_out();
    ASSERT_EQ(run_routine(bullet_weapon), 1);
    sync_regs_in();
    EXPECT_EQ((std::array<u32, 16>{d0, d1, d2, d3, d4, d5, d6, d7, a0, a1, a2, a3, a4, a5, a6, a7}), before)
        << "facing " << facing;
  }
}

} // namespace
