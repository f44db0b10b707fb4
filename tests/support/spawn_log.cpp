#include "support/spawn_log.h"

#include "game/mission_ram.h"
#include "machine/hooks.h"
#include "support/routine_stubs.h"

namespace {

constexpr u32 bullet_spawner = 0x006B74;
constexpr u32 grenade_spawner = 0x006BEA;
constexpr u32 explosion_spawner = 0x006CA8;
constexpr u32 homing_placement = 0x00B424;
constexpr u32 sample_channel_b = 0x00E756;
constexpr u32 last_homing_unit = 0x0002D6;

std::vector<spawned_bullet> bullets;
std::vector<spawned_grenade> grenades;
std::vector<spawned_explosion> explosions;
std::vector<played_sample> samples;

u16 w(u32 r) { return static_cast<u16>(r); }

void note_bullet() { bullets.push_back({w(d0), w(d1), w(d3), w(d4), w(d2), w(d5)}); }
void note_grenade() { grenades.push_back({w(d0), w(d1), w(d2), w(d3), w(d5)}); }
void note_explosion() { explosions.push_back({w(d0), w(d1), w(d2)}); }

// What the homing-unit placement does: the first free record of six gets
// the kind, x, y and step words; last_homing_unit names it (0 when full).
void place_homing_unit() {
  u32 r = homing_unit_table.address;
  for (u32 i = 0; i < homing_unit_table.records; ++i, r += homing_unit_table.size)
    if (rd16(r) == 0) {
      wr16(r + 2, d0);
      wr16(r + 4, d1 + 100);
      wr16(r + 6, d2);
      wr16(r + 8, d3);
      wr16(r + 10, 0);
      wr16(r, 0xFFFF);
      wr32(last_homing_unit, r);
      return;
    }
  wr32(last_homing_unit, 0);
}

void note_sample(u32) { samples.push_back({g_cpu.d[0] & 0xFFFF, rd32(g_cpu.a[7]), g_cpu.a[4]}); }

void clear_table(const object_table& t) {
  for (u32 i = 0; i < t.records * t.size; ++i) wr8(t.address + i, 0);
}

} // namespace

void spawn_log_start() {
  stub_records_doing(bullet_spawner, note_bullet);
  stub_records_doing(grenade_spawner, note_grenade);
  stub_records_doing(explosion_spawner, note_explosion);
  stub_records_doing(homing_placement, place_homing_unit);
  hook_register(sample_channel_b, note_sample);
  spawn_log_clear();
}

void spawn_log_clear() {
  bullets.clear();
  grenades.clear();
  explosions.clear();
  samples.clear();
  if (routine_written(bullet_spawner)) clear_table(bullet_table);
  if (routine_written(grenade_spawner)) clear_table(grenade_table);
  if (routine_written(explosion_spawner)) clear_table(explosion_table);
}

std::vector<spawned_bullet> bullets_spawned() {
  if (stubbed(bullet_spawner)) return bullets;
  std::vector<spawned_bullet> r;
  for (u32 i = 0, a = bullet_table.address; i < bullet_table.records; ++i, a += bullet_table.size)
    if (rd16(a + 8) != 0)
      r.push_back({w(rd16(a)), w(rd16(a + 2)), w(rd16(a + 4)), w(rd16(a + 6)), w(rd16(a + 12)), w(rd16(a + 10))});
  return r;
}

std::vector<spawned_grenade> grenades_spawned() {
  if (stubbed(grenade_spawner)) return grenades;
  std::vector<spawned_grenade> r;
  for (u32 i = 0, a = grenade_table.address; i < grenade_table.records; ++i, a += grenade_table.size)
    if (rd16(a + 4) != 0)
      r.push_back({w(rd16(a)), w(rd16(a + 2)), w(rd16(a + 0x10)), w(rd16(a + 0x12)), w(rd16(a + 0x0C))});
  return r;
}

std::vector<spawned_explosion> explosions_spawned() {
  if (stubbed(explosion_spawner)) return explosions;
  std::vector<spawned_explosion> r;
  for (u32 i = 0, a = explosion_table.address; i < explosion_table.records; ++i, a += explosion_table.size)
    if (rd16(a + 4) != 0) r.push_back({w(rd16(a)), w(rd16(a + 2)), w(rd16(a + 10))});
  return r;
}

std::vector<played_sample> samples_played() { return samples; }

bool same_explosion(const spawned_explosion& expected, const spawned_explosion& got) {
  const u16 x = stubbed(explosion_spawner) ? expected.x : static_cast<u16>((expected.x + 7) & 0xFFF0);
  return got.x == x && got.y == expected.y && got.owner == expected.owner;
}
