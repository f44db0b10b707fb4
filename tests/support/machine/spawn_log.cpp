#include "support/machine/spawn_log.h"

#include "game/mission_ram.h"
#include "machine/hooks.h"
#include "machine/memory.h"

namespace {

constexpr u32 sample_channel_b = 0x00E756;

std::vector<played_sample> samples;

u16 w(u32 r) { return static_cast<u16>(r); }

void note_sample(u32) { samples.push_back({g_cpu.d[0] & 0xFFFF, rd32(g_cpu.a[7]), g_cpu.a[4]}); }

void clear_table(const object_table& t) {
  for (u32 i = 0; i < t.records * t.size; ++i) wr8(t.address + i, 0);
}

} // namespace

void spawn_log_start() {
  hook_register(sample_channel_b, note_sample);
  spawn_log_clear();
}

void spawn_log_clear() {
  samples.clear();
  clear_table(bullet_table);
  clear_table(grenade_table);
  clear_table(explosion_table);
}

std::vector<spawned_bullet> bullets_spawned() {
  std::vector<spawned_bullet> r;
  for (u32 i = 0, a = bullet_table.address; i < bullet_table.records; ++i, a += bullet_table.size)
    if (rd16(a + 8) != 0)
      r.push_back({w(rd16(a)), w(rd16(a + 2)), w(rd16(a + 4)), w(rd16(a + 6)), w(rd16(a + 12)), w(rd16(a + 10))});
  return r;
}

std::vector<spawned_grenade> grenades_spawned() {
  std::vector<spawned_grenade> r;
  for (u32 i = 0, a = grenade_table.address; i < grenade_table.records; ++i, a += grenade_table.size)
    if (rd16(a + 4) != 0)
      r.push_back({w(rd16(a)), w(rd16(a + 2)), w(rd16(a + 0x10)), w(rd16(a + 0x12)), w(rd16(a + 0x0C))});
  return r;
}

std::vector<spawned_explosion> explosions_spawned() {
  std::vector<spawned_explosion> r;
  for (u32 i = 0, a = explosion_table.address; i < explosion_table.records; ++i, a += explosion_table.size)
    if (rd16(a + 4) != 0) r.push_back({w(rd16(a)), w(rd16(a + 2)), w(rd16(a + 10))});
  return r;
}

std::vector<played_sample> samples_played() { return samples; }

bool same_explosion(const spawned_explosion& expected, const spawned_explosion& got) {
  const u16 x = static_cast<u16>((expected.x + 7) & 0xFFF0);
  return got.x == x && got.y == expected.y && got.owner == expected.owner;
}
