// The records and game-image tables of the shots and the mission's end:
// bullets, the homing units, the goal, and the player fields that the
// bullet weapon and the death read (68k addresses, big-endian in `ram`).
#pragma once
#include "machine/types.h"

// One bullet_table record (14 bytes). Play-field coordinates: the screen
// column is x - 36, the screen line y - 100.
namespace bullet {
constexpr u32 x = 0x00, y = 0x02;   // words
constexpr u32 dx = 0x04, dy = 0x06; // signed words, added every frame
constexpr u32 live = 0x08;          // word: $FFFF live, 0 free
constexpr u32 owner = 0x0A;         // word: 0/1 a player's; bit 15 set a hostile shot
constexpr u32 life = 0x0C;          // word: frames left
// Hostile owners that skip a test.
constexpr u32 passes_vehicles = 0xFFFE;
constexpr u32 passes_ground = 0xFFFC;
} // namespace bullet

// One homing_unit_table record (18 bytes).
namespace homing_unit {
constexpr u32 active = 0x00, kind = 0x02, x = 0x04, y = 0x06;
constexpr u32 step = 0x08;      // signed word added to y by the drawing
constexpr u32 frame = 0x0A;     // picture 0-8 of the kind
constexpr u32 countdown = 0x0C; // frames to the next shot
constexpr u32 wrecked = 0x0E;   // high byte negative: neither aims nor fires
constexpr u32 over_ground = 0x10; // non-zero: its bullets pass over the ground
} // namespace homing_unit

namespace goal {
constexpr u32 active = 0x00, x = 0x02, y = 0x04, picture = 0x06;
} // namespace goal

namespace player_record {
constexpr u32 bullet_speed = 0x4A; // word
constexpr u32 bullet_life = 0x4C;  // word: frames
constexpr u32 death_next = 0x5C;   // long: next byte of the death animation
constexpr u32 tally = 0x96;        // word: enemies shot in this mission
} // namespace player_record

constexpr u32 last_homing_unit = 0x0002D6; // long: record placed last, 0 when full

// Tables of the game image.
constexpr u32 bullet_style_table = 0x0067BE; // bytes by mission x 7 + section: non-zero = light
constexpr u32 bullet_dir_table = 0x009696;   // 8 bytes by code: x, y factor, x, y offset
constexpr u32 turn_table = 0x009786;         // 11 x 11 bytes: old facing x new facing
constexpr u32 death_list_1 = 0x00AAB0;       // frame bytes, bit 7 ends
constexpr u32 death_list_2 = 0x00AACC;
constexpr u32 death_start_table = 0x00AAE8;  // 16 bytes by facing: offset in the list
constexpr u32 unit_fire_dirs = 0x00B586;     // 8 x 12 bytes: frame, x, y offsets, dx, dy, spare
constexpr u32 unit_steer_table = 0x00B5E6;   // word pairs: direction code, frame
constexpr u32 unit_steer_end = 0x00B612;     // the code that follows the table
constexpr u32 homing_unit_frames = 0x0412CC; // per kind 9 x 128 bytes: 16 lines x 4 planes
constexpr u32 homing_unit_kind_bytes = 1152;
constexpr u32 goal_frames = 0x0434B6;        // 400 bytes each: 25 lines x 2 columns x 4 planes
constexpr u32 goal_frame_bytes = 400;
