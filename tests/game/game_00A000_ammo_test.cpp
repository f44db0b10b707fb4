// Page $A000: the ammunition type lookup of a player's weapon and column.
#include <gtest/gtest.h>

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "support/machine/dispatch_check.h"
#include "support/machine/mission_machine.h"

namespace {

constexpr u32 ammo_lookup = 0x00AAF8;

class AmmoLookup : public MissionTest {};

TEST_F(AmmoLookup, IsInTheDispatchTable) { expect_named_rows({{ammo_lookup, routine_entry, "sub_00AAF8"}}); }

TEST_F(AmmoLookup, ReadsTheWeaponsRowAtTheColumnKeepingTheUpperHalves) {
  for (u32 i = 0; i < 76; ++i) wr8(ammo_type_table + i, 0xA0 ^ (i * 7));
  wr8(ammo_type_table + 76, 0x11); // past the table: never read
  struct {
    u32 weapon, column;
  } cases[] = {{0, 0}, {0, 3}, {5, 2}, {17, 1}, {18, 0}, {18, 3}};
  for (const auto& c : cases) {
    wr16(player2 + player_record::weapon, c.weapon);
    wr16(player2 + player_record::ammo_column, c.column);
    g_cpu.a[4] = player2;
    g_cpu.d[0] = 0xABCD5678;
    g_cpu.d[1] = 0x1234FFFF;
    g_cpu.a[0] = 0x00FFFFFF;
    ASSERT_EQ(run_routine(ammo_lookup), 1);
    const u32 offset = 4 * c.weapon + c.column; // weapon 18, column 3: 75, the last byte
    EXPECT_EQ(g_cpu.d[0], 0xABCD0000u | (0xA0 ^ (offset * 7 & 0xFF))) << c.weapon << " " << c.column;
    EXPECT_EQ(g_cpu.d[1], 0x12340000u | c.column);
    EXPECT_EQ(g_cpu.a[0], ammo_type_table + 4 * c.weapon);
    EXPECT_EQ(g_cpu.a[4], player2);
  }
}

} // namespace
