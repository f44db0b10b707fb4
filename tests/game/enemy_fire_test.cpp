// An enemy's fire and grenade commands as the written shot routines take
// them: the bullet and the grenade in their tables, placed at the enemy plus
// the offsets of its frame's fire point and moving by that record's two
// values.
#include <gtest/gtest.h>

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "game/shot_ram.h"
#include "support/mission_machine.h"
#include "support/ram_bytes.h"

namespace {

constexpr u32 scripts_all = 0x00B09A;
constexpr u32 fire_points = 0x00B294;
constexpr u32 script_at = 0x3C00;

u32 bullet_rec(u32 i) { return bullet_table.address + bullet_table.size * i; }
u32 grenade_rec(u32 i) { return grenade_table.address + grenade_table.size * i; }

class EnemyFire : public MissionTest {};

TEST_F(EnemyFire, TheFramesFirePointPlacesAndAimsTheBulletAndTheGrenade) {
  struct row {
    i16 first, second, x_offset, y_offset;
  };
  for (const row& r : {row{3, -5, -5, 7}, row{-12, 9, 20, -31}}) {
    SetUp();
    const u16 words[] = {2, 1, 1, 1, 1, // another frame's record first
                         6, static_cast<u16>(r.first), static_cast<u16>(r.second), static_cast<u16>(r.x_offset),
                         static_cast<u16>(r.y_offset), 0xFFFF};
    for (u32 i = 0; i < std::size(words); ++i) wr16(fire_points + 2 * i, words[i]);
    put_bytes(script_at, {254, 253, 252, 1, 0, 0, 0xFF});
    const u32 enemy = enemy_table.address;
    wr16(enemy + 0x00, 100);
    wr16(enemy + 0x02, 150);
    wr16(enemy + 0x04, 1);
    wr16(enemy + 0x08, 6);
    wr32(enemy + 0x10, script_at);
    wr16(fx_bank, 0x100); // a new bullet starts where it is put, not ahead
    ASSERT_EQ(run_routine_with_regs(scripts_all), 1);
    const u32 b = bullet_rec(0);
    EXPECT_EQ(rd16(b + bullet::live), 0xFFFFu);
    EXPECT_EQ(static_cast<i16>(rd16(b + bullet::x)), 100 + r.x_offset);
    EXPECT_EQ(static_cast<i16>(rd16(b + bullet::y)), 150 + r.y_offset);
    EXPECT_EQ(static_cast<i16>(rd16(b + bullet::dx)), r.first);
    EXPECT_EQ(static_cast<i16>(rd16(b + bullet::dy)), r.second);
    EXPECT_EQ(rd16(b + bullet::owner), 0xFFFFu);
    EXPECT_EQ(rd16(b + bullet::life), 24u);
    EXPECT_EQ(rd16(bullet_rec(1) + bullet::live), 0u) << "one bullet";
    const u32 g = grenade_rec(0);
    EXPECT_EQ(static_cast<i16>(rd16(g + 0)), 100 + r.x_offset);
    EXPECT_EQ(static_cast<i16>(rd16(g + 2)), 150 + r.y_offset);
    EXPECT_EQ(rd16(g + 4), 0xFFFFu);
    EXPECT_EQ(rd16(g + 12), 0xFFFFu) << "a hostile grenade";
    EXPECT_EQ(static_cast<i16>(rd16(g + 16)), r.first);
    EXPECT_EQ(static_cast<i16>(rd16(g + 18)), r.second);
    EXPECT_EQ(rd16(grenade_rec(1) + 4), 0u) << "one grenade";
  }
}

} // namespace
