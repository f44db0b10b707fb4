// The quick-weapon job against a stand-in for the game's own next-weapon
// step and its ammunition: switch to the target, fire, switch back.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "host/emu_fixture.h"
#include "machine/input_log.h"
#include "machine/memory.h"

namespace {

constexpr u32 rec = player1_record;
constexpr u32 grenade_ammo = rec + 0x7A;

class QuickWeapon : public EmuTest {
 protected:
  void SetUp() override {
    EmuTest::SetUp();
    publish_kind("game");
    std::memset(ram + player1_record, 0, 2 * (player2_record - player1_record));
    for (int s : {0, 14, 18}) wr8(rec + weapon_slots_offset + s, 1);
    wr16(rec + current_weapon_offset, 0);
    wr16(grenade_ammo, 5);
    wr16(rec + 0x60, 0x1111);
    wr16(rec + 0x62, 0x2222);
  }
  // One VBL, then what the game would do: its weapon key advances to the
  // next held slot (when it listens), and fire spends a grenade. The page
  // words change with the weapon shown.
  void vbl(bool game_listens) {
    const int logged = tos_ilog_count();
    steps(1);
    const input_log_entry* e = tos_ilog_entries();
    for (int i = logged; i < tos_ilog_count(); ++i) {
      if (game_listens && e[i].type == 'K' && e[i].a == player1_weapon_key) {
        int held[weapon_slot_count];
        const int k = held_slots(rec, held);
        const int cur = static_cast<int>(rd16(rec + current_weapon_offset));
        int f = 0;
        while (f < k && held[f] != cur) ++f;
        wr16(rec + current_weapon_offset, held[(f + 1) % k]);
        wr16(rec + 0x60, 0x9999);
      }
    }
    if ((emu.sent_joy[1] & 0x80) && rd16(rec + current_weapon_offset) == 18 && !fired_this_press) {
      wr16(grenade_ammo, rd16(grenade_ammo) - 1);
      fired_this_press = true;
    }
    if (!(emu.sent_joy[1] & 0x80)) fired_this_press = false;
    saw_target |= rd16(rec + current_weapon_offset) == 18;
  }
  bool fired_this_press = false;
  bool saw_target = false;
};

TEST_F(QuickWeapon, ThrowsAGrenadeAndSwitchesBack) {
  quick_weapon(player1_weapon_key, 1);
  ASSERT_EQ(emu.quick_job.active, 1);
  for (int i = 0; i < 300 && emu.quick_job.active; ++i) vbl(true);
  EXPECT_EQ(emu.quick_job.active, 0);
  EXPECT_TRUE(saw_target);
  EXPECT_EQ(rd16(grenade_ammo), 4u) << "one grenade thrown";
  EXPECT_EQ(rd16(rec + current_weapon_offset), 0u);
  EXPECT_EQ(rd16(rec + 0x60), 0x1111u) << "the words shown with the weapon are put back";
  EXPECT_EQ(rd16(rec + 0x62), 0x2222u);
  EXPECT_EQ(emu.force_fire[1], 0);
}

TEST_F(QuickWeapon, GivesUpWhenTheGameIgnoresTheKey) {
  quick_weapon(player1_weapon_key, 1);
  for (int i = 0; i < 300 && emu.quick_job.active; ++i) vbl(false);
  EXPECT_EQ(emu.quick_job.active, 0);
  EXPECT_EQ(rd16(grenade_ammo), 5u) << "never fired";
  EXPECT_EQ(emu.force_fire[1], 0);
}

TEST_F(QuickWeapon, StartsOnlyWithAnArmedTargetInAMission) {
  wr16(grenade_ammo, 0);
  quick_weapon(player1_weapon_key, 1);
  EXPECT_EQ(emu.quick_job.active, 0) << "no grenades left";
  wr16(grenade_ammo, 5);
  publish_kind("map");
  quick_weapon(player1_weapon_key, 1);
  EXPECT_EQ(emu.quick_job.active, 0) << "not in a mission";
  publish_kind("game");
  wr16(rec + 0x8A, 3);
  quick_weapon(player1_weapon_key, 0);
  EXPECT_EQ(emu.quick_job.active, 1) << "the rocket launcher in slot 14, ammunition at +$8A";
  EXPECT_EQ(emu.quick_job.target, 14);
  emu.quick_job.active = 0;
  wr16(rec + 0x8A, 0);
  quick_weapon(player1_weapon_key, 0);
  EXPECT_EQ(emu.quick_job.active, 0);
}

} // namespace
