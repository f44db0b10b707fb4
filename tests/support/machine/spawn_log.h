// What the vertical sections' ground objects spawned, read from the
// spawners' tables (records in use, in table order): bullets ($6B74),
// grenades ($6BEA) and explosions ($6CA8); and the samples they played
// ($E756). Tests keep fx_bank's two low bits clear so that the bullet
// spawner adds no sub-frame stagger. Explosions: the spawner keeps x only
// to 16 pixels, so compare with same_explosion.
#pragma once
#include <vector>

#include "machine/types.h"

struct spawned_bullet {
  u16 x, y, step_x, step_y, life, owner;
  bool operator==(const spawned_bullet&) const = default;
};
struct spawned_grenade {
  u16 x, y, step_x, step_y, owner;
  bool operator==(const spawned_grenade&) const = default;
};
struct spawned_explosion {
  u16 x, y, owner;
  bool operator==(const spawned_explosion&) const = default;
};
struct played_sample {
  u32 sample, return_address, a4;
  bool operator==(const played_sample&) const = default;
};

// Installs a hook at the sample player's entry; forgets what was noted and
// frees the spawners' tables.
void spawn_log_start();
std::vector<spawned_bullet> bullets_spawned();
std::vector<spawned_grenade> grenades_spawned();
std::vector<spawned_explosion> explosions_spawned();
std::vector<played_sample> samples_played();
// x as the spawner keeps it.
bool same_explosion(const spawned_explosion& expected, const spawned_explosion& got);
// Forgets the notes and frees the spawners' tables.
void spawn_log_clear();
