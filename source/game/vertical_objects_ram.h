// The records of the vertical sections' ground objects: installations,
// vehicles and debris, and the tables of the game image they are drawn and
// fired from. The tables' addresses and strides are in mission_ram.h.
#pragma once
#include "game/shot_ram.h"
#include "machine/types.h"

// installation_table: screen coordinates (column, line of the top row).
namespace installation_field {
constexpr u32 x = 0x00;           // word: column of the left edge
constexpr u32 y = 0x02;           // word, signed: negative above the screen
constexpr u32 state = 0x04;       // word: 0 free, negative placed, 1 on screen
constexpr u32 timer = 0x06;       // word: frames to the next step
constexpr u32 step = 0x08;        // word: animation step 0-19 ($F0, $F3)
constexpr u32 type = 0x0A;        // word: $F0-$F4, $F5 = wreck
constexpr u32 destroyed = 0x0C;   // word: $FFFF once hit
constexpr u32 pattern = 0x0E;     // word: fire pattern 0 or 1
constexpr u32 fire_offset = 0x10; // word: next pattern entry, 0-80 in tens
constexpr u32 fire_delay = 0x12;  // word: frames before the next entry
constexpr u32 first_type = 0xF0;
constexpr u32 wreck = 0xF5;
constexpr u32 mine = 0xF4;
} // namespace installation_field

constexpr u32 installation_frames = 0x045736; // 6 frames of 32 lines x 16 bytes
constexpr u32 installation_frame_bytes = 512;
constexpr u32 installation_fire_patterns = 0x00A486; // 2 x 8 entries of 5 words
constexpr u32 fire_pattern_bytes = 80;
constexpr u32 fire_entry_bytes = 10;

// vehicle_table: play-field coordinates.
namespace vehicle_field {
constexpr u32 active = 0x00;      // word: $FFFF in use
constexpr u32 x = 0x02;           // word: left edge
constexpr u32 y = 0x04;           // word: top line
constexpr u32 speed = 0x06;       // word: added to y each frame
constexpr u32 frame = 0x08;       // word: 0 intact, 1 wreck
constexpr u32 height = 0x0A;      // word: lines
constexpr u32 destroyed = 0x0C;   // word: $FFFF once hit
constexpr u32 width = 0x0E;       // word: hit box width
constexpr u32 type = 0x10;        // word: 0-6
constexpr u32 slots = 0x12;       // 6 longs: homing-unit records carried
constexpr u32 slot_count = 6;
constexpr u32 fire_delay = 0x2A;  // word (type 4)
constexpr u32 fire_offset = 0x2C; // word (type 4): 0-80 in tens
constexpr u32 first_command = 246;
} // namespace vehicle_field

constexpr u32 vehicle_fire_pattern = 0x00AEF6; // 8 entries of 5 words
constexpr u32 vehicle_line_count = 0x0002D4;   // word: lines left of draw_vehicle

// debris_table: play-field coordinates.
namespace debris_field {
constexpr u32 active = 0x00; // word: $FFFF live
constexpr u32 x = 0x02;
constexpr u32 y = 0x04;      // word: top line
constexpr u32 frame = 0x06;  // word: 0-4
constexpr u32 timer = 0x08;  // word: game frames left of this picture
constexpr u32 delay = 0x0A;  // word: game frames before the first picture
constexpr u32 frames = 5;
constexpr u32 frame_time = 3;
} // namespace debris_field

constexpr u32 debris_frames = 0x03C13C; // 5 frames of 40 lines x 24 bytes
constexpr u32 debris_frame_bytes = 960;

// projectile_table: the fields the hit tests read.
namespace projectile_field {
constexpr u32 active = 0x00;
constexpr u32 x = 0x02;
constexpr u32 y = 0x04;
constexpr u32 type = 0x06;
constexpr u32 owner = 0x0E; // 0 = player 1
constexpr u32 first_heavy = 16, last_heavy = 23;
} // namespace projectile_field
