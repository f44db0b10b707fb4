// Synthetic pictures and tables of the missions' small objects, and
// one-line records for scenarios (explosions, grenades, projectiles,
// enemies, homing units, section objects, vehicles), for tests that have no
// game data.
//
//   put_explosion_frames();            // $388DC, 11 frames
//   put_shot_frames();                 // $4694A, copy 0: 29 frames
//   projectile_directions d;           // $A082, 3 blocks x 16 facings
//   d.put_in_ram();
//   put_explosion(0, 160, 200, 0, 0);  // record 0: x, y, owner, frame
//
// Contents, so a test can tell what came from where: every picture is the
// labelled frame of support/synthetic/sprite_sheets.h (its box, mark, letter and
// number; the _pixel functions give it), with transparent holes (colour 0)
// on every line. Shot frames other than wide_shot_frame lie within the left 8
// pixels; wide_shot_frame reaches pixel 15 in all three planes on every
// line, so the pre-shift's carry from plane 0 into plane 1 shows in it.
#pragma once
#include <array>

#include "machine/types.h"

// --- pictures ---------------------------------------------------------------------

constexpr u32 explosion_frames_at = 0x0388DC;
constexpr u32 explosion_frame_count = 11;
constexpr u32 shot_frames_at = 0x04694A;
constexpr u32 shot_copy_bytes = 1566;
constexpr u32 shot_frame_count = 29;
constexpr u32 wide_shot_frame = 0;

// Colour 0-7 of pixel x (0-31) of line (0-21) of explosion frame f.
u32 explosion_pixel(u32 frame, u32 line, u32 x);
void put_explosion_frames();

// Colour 0-7 of pixel x (0-15) of line (0-8) of shot frame f in copy 0.
u32 shot_pixel(u32 frame, u32 line, u32 x);
void put_shot_frames(); // copy 0 only: the pre-shift makes the others

// --- projectile_directions ------------------------------------------------------------

struct projectile_direction {
  i16 type; // negative: no shot for this facing
  i16 x, y; // offsets from the player
  i16 dx, dy;
  u16 life;
};
constexpr u32 projectile_directions_at = 0x00A082;

// Defaults: entry (b, c) has type 16 + (b + c) mod 8, offsets 36 + c and
// 100 + b, dx c - 8, dy b + 1, life 2 + c mod 4; block 2, facing 15 is
// empty (type -1).
struct projectile_directions {
  std::array<std::array<projectile_direction, 16>, 3> entries;
  projectile_directions();
  void put_in_ram() const;
};

// --- records ----------------------------------------------------------------------------

// Each writes record `index` of its table and makes it live (the fields
// not named stay as they are, but for the spawners' own: an explosion's
// countdown 20 and delay 2, a grenade's picture 24).
void put_explosion(u32 index, u16 x, u16 y, u16 owner, u16 frame);
void put_grenade(u32 index, u16 x, u16 y, i16 dx, i16 dy, u16 owner, u16 flight = 36);
void put_projectile(u32 index, u16 x, u16 y, u16 type, u16 life = 3, i16 dx = 0, i16 dy = 0);
void put_enemy(u32 index, u16 x, u16 y, u16 frame_word = 0, bool dying = false);
void put_homing_unit(u32 index, u16 x, u16 y, bool destroyed = false);
void put_section_object(u32 index, u16 x, u16 y, u16 type = 240);
void put_section_installation(u32 index, u16 x, u16 y);
void put_vehicle(u32 index, u16 x, u16 y, u16 width, u16 height);
// A player in play at screen position (x, y): lives 3, not blinking, alive.
void put_player(u32 record, u16 x, u16 y);

// Addresses of records.
u32 explosion_at(u32 index);
u32 grenade_at(u32 index);
u32 projectile_at(u32 index);
u32 enemy_at(u32 index);
u32 homing_unit_at(u32 index);
u32 section_object_at(u32 index);
u32 section_installation_at(u32 index);
u32 vehicle_at(u32 index);
