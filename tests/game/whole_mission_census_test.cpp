// The whole mission's census on hand-made machine states: each state at the
// sample hook or between two frame ends shows exactly the paths listed, and
// nothing else.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "game/shot_ram.h"
#include "game/vertical_objects_ram.h"
#include "machine/cpu.h"
#include "machine/hooks.h"
#include "machine/memory.h"
#include "support/machine/machine_fixture.h"
#include "support/runs/whole_mission_census.h"

namespace {

namespace pr = player_record;

constexpr u32 stack = 0x2000;
constexpr u32 explosion_spawned = 0x006CEA;
constexpr u32 chain_caller = 0x00A73A;
constexpr u32 grenade_caller = 0x006C96;

u32 explosion(u32 n) { return explosion_table.address + n * explosion_table.size; }
u32 unit(u32 n) { return homing_unit_table.address + n * homing_unit_table.size; }
u32 object(u32 n) { return section_object_table.address + n * section_object_table.size; }

// A sample call as the hook sees it: the return address at a7 and, for the
// explosion spawner's sample, its caller above its 15 saved registers and,
// when that caller is the blast damage, the striking explosion (a4) among
// the blast damage's own 15 saved registers.
void sample(u32 ret, u32 a4, u32 caller = 0, u32 striking = 0) {
  wr32(stack, ret);
  wr32(stack + 4 + 60, caller);
  wr32(stack + 4 + 60 + 4 + 12 * 4, striking);
  g_cpu.a[7] = stack;
  g_cpu.a[4] = a4;
  host_hook(0x00E756);
}

// A vehicle whose first slots hold units 0 and 1, the next slot empty.
u32 vehicle_with_units(bool cleared) {
  const u32 v = vehicle_table.address;
  wr16(v + vehicle_field::active, 0xFFFF);
  wr32(v + vehicle_field::slots, unit(0));
  wr32(v + vehicle_field::slots + 4, unit(1));
  wr16(unit(1) + homing_unit::active, cleared ? 0 : 0xFFFF);
  return v;
}

class WholeMissionCensus : public MachineTest {
 protected:
  std::vector<std::string> seen;
  void SetUp() override {
    MachineTest::SetUp();
    census_start(&seen);
    census_register_hooks();
  }
  void TearDown() override {
    census_start(nullptr);
    hooks_clear();
    MachineTest::TearDown();
  }
};

TEST_F(WholeMissionCensus, NotesExactlyWhatEachStateShows) {
  const struct {
    const char* what;
    std::function<void()> play;
    std::vector<std::string> paths;
  } cases[] = {
      {"a bullet strikes an enemy", [] { sample(0x006A4A, 0); }, {census_enemy_by_bullet}},
      {"a dot bullet strikes an enemy", [] { sample(0x00ACF0, 0); }, {census_enemy_by_dot}},
      {"an effect strikes an enemy", [] { sample(0x00B9CC, 0); }, {census_enemy_by_effect}},
      {"a blast strikes an enemy", [] { sample(0x00A660, explosion(0)); }, {census_enemy_by_blast}},
      {"a bullet strikes a vehicle", [] { sample(0x006B3C, 0); }, {}},
      {"a player's shot sample", [] { sample(0x009542, 0); }, {}},
      {"a vehicle destroyed, its units cleared", [] { sample(0x0072EE, vehicle_with_units(true)); },
       {census_vehicle_with_units}},
      {"a vehicle destroyed, a unit still there", [] { sample(0x0072EE, vehicle_with_units(false)); }, {}},
      {"a vehicle destroyed without units", [] { sample(0x0072EE, vehicle_table.address); }, {}},
      {"an installation's wreck explodes", [] { sample(explosion_spawned, explosion(0), 0x00A398); },
       {census_installation_wreck}},
      {"a horizontal installation's wreck explodes", [] { sample(explosion_spawned, explosion(0), 0x004B2A); },
       {census_hinstallation_wreck}},
      {"a grenade bursts", [] { sample(explosion_spawned, explosion(0), grenade_caller); }, {}},
      {"an explosion's sample from elsewhere", [] { sample(0x00A398, explosion(0), 0x00A398); }, {}},
      {"a blast destroys an object", [] { sample(explosion_spawned, explosion(1), chain_caller, explosion(0)); },
       {census_object_by_blast}},
      {"an object's explosion destroys another",
       [] {
         sample(explosion_spawned, explosion(3), chain_caller, explosion(0));
         sample(explosion_spawned, explosion(4), chain_caller, explosion(3));
       },
       {census_object_by_blast, census_chain}},
      {"an object's explosion strikes an enemy",
       [] {
         sample(explosion_spawned, explosion(3), chain_caller, explosion(0));
         sample(0x00A660, explosion(3));
       },
       {census_object_by_blast, census_chain, census_enemy_by_blast}},
      {"a record an object's explosion held, reused by a grenade",
       [] {
         sample(explosion_spawned, explosion(3), chain_caller, explosion(0));
         sample(explosion_spawned, explosion(3), grenade_caller);
         sample(0x00A660, explosion(3));
         sample(explosion_spawned, explosion(4), chain_caller, explosion(3));
       },
       {census_object_by_blast, census_enemy_by_blast}},
      {"a unit destroyed between two frame ends",
       [] {
         wr16(unit(2) + homing_unit::active, 0xFFFF);
         census_frame_end();
         wr16(unit(2) + homing_unit::wrecked, 0xFFFF);
         census_frame_end();
       },
       {census_homing_unit}},
      {"a unit placed over a destroyed one's record",
       [] {
         wr16(unit(5) + homing_unit::wrecked, 0xFFFF);
         census_frame_end();
         wr16(unit(5) + homing_unit::active, 0xFFFF);
         census_frame_end();
       },
       {}},
      {"a mine gone with fresh debris where the probe puts it",
       [] {
         wr16(object(4), 0xFF00);
         wr16(object(4) + 2, 100);
         wr16(object(4) + 4, 50);
         wr16(object(4) + 6, 241);
         census_frame_end();
         wr16(object(4), 0);
         const u32 d = debris_table.address + 2 * debris_table.size;
         wr16(d + debris_field::active, 0xFFFF);
         wr16(d + debris_field::x, 100 + 28 + 2);
         wr16(d + debris_field::y, 50 + 88);
         census_frame_end();
       },
       {census_object_by_probe, census_debris}},
      {"a gun gone with debris at the same place",
       [] {
         wr16(object(4), 0xFF00);
         wr16(object(4) + 2, 100);
         wr16(object(4) + 4, 50);
         wr16(object(4) + 6, 243);
         census_frame_end();
         wr16(object(4), 0);
         wr16(debris_table.address + debris_field::active, 0xFFFF);
         wr16(debris_table.address + debris_field::x, 128);
         wr16(debris_table.address + debris_field::y, 138);
         census_frame_end();
       },
       {census_debris}},
      {"a mine that left the field",
       [] {
         wr16(object(0), 0xFF00);
         wr16(object(0) + 2, 36);
         wr16(object(0) + 6, 240);
         census_frame_end();
         wr16(object(0), 0);
         census_frame_end();
       },
       {}},
      {"an impact on the ground",
       [] {
         wr16(projectile_table.address + projectile_field::active, 0xFFFF);
         wr16(projectile_table.address + projectile_field::type, 28);
         census_frame_end();
       },
       {census_impact}},
      {"a heavy projectile and a record past the impact kinds",
       [] {
         wr16(projectile_table.address + projectile_field::active, 0xFFFF);
         wr16(projectile_table.address + projectile_field::type, 23);
         wr16(projectile_table.address + projectile_table.size + projectile_field::active, 0xFFFF);
         wr16(projectile_table.address + projectile_table.size + projectile_field::type, 29);
         census_frame_end();
       },
       {}},
      {"player 2 dies and comes back with a life less",
       [] {
         wr16(player2 + pr::lives, 3);
         wr16(player2 + pr::state, 0xFFFF);
         census_frame_end();
         wr16(player2 + pr::state, 0);
         wr16(player2 + pr::lives, 2);
         census_frame_end();
       },
       {census_death_respawn}},
      {"player 2 dying and not yet back",
       [] {
         wr16(player2 + pr::lives, 3);
         wr16(player2 + pr::state, 0xFFFF);
         census_frame_end();
         census_frame_end();
       },
       {}},
      {"nothing happens", [] { census_frame_end(); census_frame_end(); }, {}},
  };
  for (const auto& c : cases) {
    machine_clear();
    seen.clear();
    census_start(&seen);
    census_register_hooks();
    c.play();
    std::vector<std::string> paths = c.paths, noted = seen;
    std::sort(paths.begin(), paths.end());
    std::sort(noted.begin(), noted.end());
    EXPECT_EQ(noted, paths) << c.what;
  }
}

TEST_F(WholeMissionCensus, NotesEachPathOnceAndNothingWhenStopped) {
  sample(0x006A4A, 0);
  sample(0x006A4A, 0);
  EXPECT_EQ(seen, std::vector<std::string>{census_enemy_by_bullet});
  census_start(nullptr);
  sample(0x00ACF0, 0);
  census_frame_end();
  EXPECT_EQ(seen, std::vector<std::string>{census_enemy_by_bullet}) << "no longer noting";
}

} // namespace
