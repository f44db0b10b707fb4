// A whole synthetic mission, described once, and everything built from it:
// four vertical sections V0-V3 (maps with stamps and installations $F1-$F4)
// and three horizontal sections H0-H2 between them, seven event streams in
// the section order V0 H0 V1 H1 V2 H2 V3, the game-image tables its
// routines read, and the logical game data file with the mission's level
// file where mission set 0 keeps its own.
//
//   whole_mission d = whole_mission_default();
//   whole_mission_build b;
//   if (!build_whole_mission(d, b)) FAIL() << b.error;
//   ... b.file is the 819,200-byte data file; b.image_hash names it
//
// The build refuses a description that breaks what the missions rely on
// (false, `error` set): the section counts; streams whose triggers run in
// clock order from 184 (the clock only moves on, so an earlier trigger
// after a later one would never start and hold back the rest); event
// commands of the section's kind; vehicles of commands 246-252 with at
// most six attachments, on 16-pixel columns and within the playfield; homing kinds 0-1 (the pictures built), for units
// by event and attached; at most six homing units per section, attached
// ones included (the table's records: a seventh would be written over the
// goal); enemy types with a
// script; exactly one goal, in V3, y 76-176; installation y up to 168 and
// object y up to 184; pattern lists with a delay; and what the map builder
// refuses (blocks, stamps, rows).
#pragma once
#include <array>
#include <string>
#include <vector>

#include "machine/types.h"
#include "support/tables/hsection_tables.h"
#include "support/tables/mission_builder.h"

enum class event_kind { enemy, horizontal_installation, section_object, vehicle, homing_unit, goal };

struct mission_event {
  event_kind kind;
  u8 trigger;
  u8 command;              // enemy type, 234-239, 240-245, 246-252, 253 or 254
  std::vector<u8> args;    // the argument bytes (x, y ... or b1-b5)
  std::vector<std::array<u8, 4>> attachments = {}; // a vehicle's units
};

mission_event enemy_event(u8 trigger, u8 type, u8 x, u8 y);
mission_event hinstallation_event(u8 trigger, u8 type, u8 x, u8 y);
mission_event hobject_event(u8 trigger, u8 kind, u8 x, u8 y);
mission_event vehicle_event(u8 trigger, u8 command, std::array<u8, 5> b,
                            std::vector<std::array<u8, 4>> attachments = {});
mission_event homing_event(u8 trigger, std::array<u8, 4> b);
mission_event goal_event(u8 trigger, u8 x, u8 y, u8 z);

struct whole_mission {
  std::array<std::vector<map_row>, 4> maps;              // V0-V3
  std::array<std::vector<mission_event>, 7> streams;     // V0 H0 V1 H1 V2 H2 V3
  std::array<std::vector<pattern_entry>, 5> patterns;    // types 234-238; empty keeps the default
  u16 mission_word = 0;   // $24C: H0 scrolls by its parity (then +1 per section)
  u16 colour14 = 0x0777;  // colour 14 of the mission palette
};

// The enemy types with a script: a shooter that stands and fires down, a
// walker that drifts down the playfield.
constexpr u8 enemy_shooter = 2;
constexpr u8 enemy_walker = 3;
constexpr u8 enemy_types_with_scripts = 4;

// The next-weapon keys of player 1 and player 2 in the weapon key table:
// "1" and "2" (F1 would restart the game).
constexpr u8 whole_mission_weapon_keys[2] = {0x02, 0x03};

// The weapons the input script chooses (the players own them all): 0 fires
// a bullet and a projectile, 13 dot bullets (its ammunition is 71 in this
// mission), 14 projectiles, 17 effects, 18 grenades. Every shot of the
// mission's tables flies straight up from the player's x + 44 and y + 90
// (play-field), whatever the facing.
constexpr u16 whole_mission_bullet_weapon = 0;
constexpr u16 whole_mission_dot_weapon = 13;
constexpr u16 whole_mission_projectile_weapon = 14;
constexpr u16 whole_mission_effect_weapon = 17;
constexpr u16 whole_mission_grenade_weapon = 18;

// The mission the end-to-end run plays: every kind placed at least once.
whole_mission whole_mission_default();

// Whether stream s (0-6) is a vertical section's.
constexpr bool vertical_stream(int s) { return s % 2 == 0; }

struct whole_mission_build {
  std::string error;
  mission_builder level;       // maps and streams as the level file holds them
  std::vector<u8> file;        // the logical data file
  std::string image_hash;      // BLAKE2b of the file (12 hex digits)
};

bool build_whole_mission(const whole_mission& d, whole_mission_build& out);

// The game-image tables of the mission's routines, as placed in the file
// (name, address, bytes), for a test that compares RAM with them.
struct program_table {
  std::string name;
  u32 at;
  std::vector<u8> bytes;
};
std::vector<program_table> whole_mission_tables(const whole_mission& d);
