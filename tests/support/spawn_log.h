// What the vertical sections' ground objects spawned through the spawners
// of other work: bullets ($6B74), grenades ($6BEA), explosions ($6CA8) and
// mounted homing units ($B424), and the samples they played ($E756).
//
// While a spawner is not written, its stand-in notes the registers of each
// call; once it is, the same list is read from its table (records in use,
// in table order), so a test keeps its meaning either way. Tests keep
// fx_bank's two low bits clear so that a written bullet spawner adds no
// sub-frame stagger. Explosions: a written spawner keeps x only to 16
// pixels, so compare with same_explosion.
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

// Installs the stand-ins (where the spawners are not written), a stand-in
// of the homing-unit placement that does what that routine does, and a
// hook at the sample player's entry; forgets what was noted.
void spawn_log_start();
std::vector<spawned_bullet> bullets_spawned();
std::vector<spawned_grenade> grenades_spawned();
std::vector<spawned_explosion> explosions_spawned();
std::vector<played_sample> samples_played();
// x as a written spawner keeps it when it is written, else exactly.
bool same_explosion(const spawned_explosion& expected, const spawned_explosion& got);
// Forgets the notes and frees the spawners' tables.
void spawn_log_clear();
