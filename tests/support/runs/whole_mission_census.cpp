#include "support/runs/whole_mission_census.h"

#include <algorithm>
#include <array>
#include <cstdlib>

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "game/shot_ram.h"
#include "game/vertical_objects_ram.h"
#include "machine/cpu.h"
#include "machine/hooks.h"
#include "machine/memory.h"

namespace {

namespace pr = player_record;

constexpr u32 sample_b_entry = 0x00E756; // hook slot 41: the host's sample hook

// The sample calls that strike an enemy down, and the vehicle's destruction
// sample, by the return address of the call.
struct path_at {
  u32 ret;
  const char* path;
};
constexpr path_at strike_samples[] = {
    {0x006A4A, census_enemy_by_bullet},
    {0x00ACF0, census_enemy_by_dot},
    {0x00B9CC, census_enemy_by_effect},
    {0x00A660, census_enemy_by_blast},
};
constexpr u32 vehicle_wreck_sample = 0x0072EE; // a4 = the vehicle, its units already cleared

// The explosion spawner's sample returns to $6CEA with a4 = the new record;
// above its 15 saved registers lies the return address into its caller.
constexpr u32 explosion_sample = 0x006CEA;
constexpr u32 saved_registers = 15 * 4;
constexpr u32 spawner_caller_at = 4 + saved_registers;
constexpr path_at explosion_callers[] = {
    {0x00A35A, census_installation_wreck},  {0x00A36A, census_installation_wreck},
    {0x00A388, census_installation_wreck},  {0x00A398, census_installation_wreck},
    {0x004B2A, census_hinstallation_wreck}, {0x004B3A, census_hinstallation_wreck},
    {0x004B4C, census_hinstallation_wreck}, {0x004B5C, census_hinstallation_wreck},
    {0x00A73A, census_object_by_blast},
};
// The blast damage calls the spawner for a destroyed object with every
// register saved: its a4 (the striking explosion) is the 13th long there.
constexpr u32 chain_caller = 0x00A73A;
constexpr u32 striking_explosion_at = spawner_caller_at + 4 + 12 * 4;

std::vector<std::string>* noting = nullptr;
// The caller that spawned each explosion record (0: none seen).
std::array<u32, 17> explosion_origin{};
// The records at the last frame end.
std::vector<u8> units_before, objects_before, debris_before;
u16 lives2_at_death = 0;
bool player2_dying = false;

void note(const char* path) {
  if (noting == nullptr) return;
  if (std::find(noting->begin(), noting->end(), path) == noting->end()) noting->push_back(path);
}

int explosion_index(u32 record) {
  const u32 offset = record - explosion_table.address;
  if (record < explosion_table.address || offset % explosion_table.size != 0 ||
      offset / explosion_table.size >= explosion_table.records)
    return -1;
  return static_cast<int>(offset / explosion_table.size);
}

// An explosion that a destroyed object made strikes again.
void note_striking(u32 explosion) {
  const int i = explosion_index(explosion);
  if (i >= 0 && explosion_origin[i] == chain_caller) note(census_chain);
}

bool units_all_cleared(u32 vehicle) {
  bool any = false;
  for (u32 s = 0; s < vehicle_field::slot_count; ++s) {
    const u32 unit = rd32(vehicle + vehicle_field::slots + 4 * s);
    if (unit == 0) break;
    if (rd16(unit + homing_unit::active) != 0) return false;
    any = true;
  }
  return any;
}

void sample_called(u32 /*address*/) {
  const u32 a7 = g_cpu.a[7];
  const u32 ret = rd32(a7);
  for (const path_at& s : strike_samples)
    if (s.ret == ret) note(s.path);
  if (ret == 0x00A660) note_striking(g_cpu.a[4]);
  if (ret == vehicle_wreck_sample && units_all_cleared(g_cpu.a[4])) note(census_vehicle_with_units);
  if (ret != explosion_sample) return;
  const u32 caller = rd32(a7 + spawner_caller_at);
  const int i = explosion_index(g_cpu.a[4]);
  if (i >= 0) explosion_origin[i] = caller;
  for (const path_at& c : explosion_callers)
    if (c.ret == caller) note(c.path);
  if (caller == chain_caller) note_striking(rd32(a7 + striking_explosion_at));
}

std::vector<u8> table_bytes(const object_table& t) {
  return std::vector<u8>(ram + t.address, ram + t.address + t.records * t.size);
}

u16 word_of(const std::vector<u8>& bytes, u32 at) { return static_cast<u16>(bytes[at] << 8 | bytes[at + 1]); }

// A unit that was standing at the last frame end and now shows the
// destroyed picture: only a blast does that.
void note_units() {
  const std::vector<u8> now = table_bytes(homing_unit_table);
  if (units_before.size() == now.size())
    for (u32 r = 0; r < homing_unit_table.records; ++r) {
      const u32 at = r * homing_unit_table.size;
      const bool was_standing = word_of(units_before, at + homing_unit::active) != 0 &&
                                (units_before[at + homing_unit::wrecked] & 0x80) == 0;
      if (was_standing && word_of(now, at + homing_unit::active) != 0 && (now[at + homing_unit::wrecked] & 0x80))
        note(census_homing_unit);
    }
  units_before = now;
}

// A mine gone since the last frame end with fresh debris where the probe
// puts it (x + 28, y + 88; the scroll may have moved the mine's x since).
void note_probed_mines() {
  const std::vector<u8> now = table_bytes(section_object_table);
  const std::vector<u8> debris = table_bytes(debris_table);
  if (objects_before.size() == now.size())
    for (u32 r = 0; r < section_object_table.records; ++r) {
      const u32 at = r * section_object_table.size;
      if (word_of(objects_before, at) == 0 || word_of(now, at) != 0 || word_of(objects_before, at + 6) > 241) continue;
      const i32 x = word_of(objects_before, at + 2) + 28, y = word_of(objects_before, at + 4) + 88;
      for (u32 d = 0; d < debris_table.records; ++d) {
        const u32 piece = d * debris_table.size;
        const bool fresh = word_of(debris, piece) != 0 && word_of(debris, piece + debris_field::frame) == 0 &&
                           (debris_before.size() != debris.size() || debris_before[piece] == 0);
        if (fresh && word_of(debris, piece + debris_field::y) == y &&
            std::abs(word_of(debris, piece + debris_field::x) - x) <= 4)
          note(census_object_by_probe);
      }
    }
  objects_before = now;
  debris_before = debris;
}

} // namespace

void census_start(std::vector<std::string>* seen) {
  noting = seen;
  explosion_origin.fill(0);
  units_before.clear();
  objects_before.clear();
  debris_before.clear();
  player2_dying = false;
  lives2_at_death = 0;
}

void census_register_hooks() { hook_register(sample_b_entry, sample_called); }

void census_frame_end() {
  note_units();
  note_probed_mines();
  for (u32 r = 0; r < projectile_table.records; ++r) {
    const u32 at = projectile_table.address + r * projectile_table.size;
    const u16 type = rd16(at + projectile_field::type);
    if (rd16(at + projectile_field::active) != 0 && type >= 26 && type <= 28) note(census_impact);
  }
  for (u32 r = 0; r < debris_table.records; ++r)
    if (rd16(debris_table.address + r * debris_table.size + debris_field::active) != 0) note(census_debris);
  // Player 2 seen dying, and later back in play with a life less.
  if (rd16(player2 + pr::state) == 0xFFFF && !player2_dying) {
    player2_dying = true;
    lives2_at_death = static_cast<u16>(rd16(player2 + pr::lives));
  }
  if (player2_dying && rd16(player2 + pr::state) == 0 && rd16(player2 + pr::lives) + 1 == lives2_at_death) {
    note(census_death_respawn);
    player2_dying = false;
  }
}
