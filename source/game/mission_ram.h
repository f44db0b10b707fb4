// The missions' RAM: the object tables that lie back to back from $412,
// the mission variables, the level-map data of the mission files and the
// background ring, at their 68k addresses (big-endian in `ram`).
#pragma once
#include "machine/types.h"

// --- mission variables ----------------------------------------------------------

constexpr u32 exit_request = 0x000206;    // word: non-zero ends the mission (set = completed)
constexpr u32 level_section = 0x00021A;   // word: which map of level_table
constexpr u32 stream_section = 0x000246;  // word: which event stream
constexpr u32 dev_freerun = 0x000254;     // word: developer: no player needed, key 57 skips drawing
constexpr u32 fx_bank = 0x000272;         // word: +1 per game frame
constexpr u32 placing_type = 0x000274;    // word: type of the installation being placed
constexpr u32 copy_lines = 0x000276;      // word: line counter of the ring copy (a shared scratch word)
constexpr u32 current_player = 0x00027A;  // word
constexpr u32 level_map_pointer = 0x00027C; // long: next byte of the current map
constexpr u32 scroll_pos = 0x000280;      // word: vertical scroll position
constexpr u32 scroll_low = 0x000281;      // byte: its low byte, the ring's top row from 255 down
constexpr u32 last_block = 0x000282;      // word: the block byte read last
constexpr u32 event_clock = 0x001DF4;     // byte: +1 per scrolled line
constexpr u32 event_pointer = 0x001DF6;   // long: next byte of the event stream

// Section switch-over: the vertical sections scroll from 223 to here.
constexpr u32 vertical_section_end = 0x0560;

// --- player records -------------------------------------------------------------

namespace player_record {
constexpr u32 y = 0x04;           // word: screen line
constexpr u32 plate_latch = 0x94; // word: byte $FF once the out-of-play plate is drawn
} // namespace player_record

// --- object tables: address, records, record size -------------------------------

struct object_table {
  u32 address;
  u32 records;
  u32 size;
};

constexpr object_table enemy_table = {0x000412, 48, 64};
constexpr object_table bullet_table = {0x001012, 30, 14};
constexpr object_table grenade_table = {0x001206, 17, 20};
constexpr object_table dot_bullet_table = {0x00135A, 20, 14};
constexpr object_table explosion_table = {0x001472, 17, 14};
constexpr object_table debris_table = {0x001560, 15, 12};
constexpr object_table projectile_table = {0x001614, 20, 16};
constexpr object_table effect_table = {0x001754, 25, 16};
constexpr object_table installation_table = {0x0018E6, 20, 20};
constexpr object_table vehicle_table = {0x001A76, 5, 46};
constexpr object_table section_object_table = {0x001B5C, 16, 14};
constexpr object_table section_installation_table = {0x001C3C, 6, 12};
constexpr object_table homing_unit_table = {0x001C84, 6, 18};
constexpr object_table goal_record = {0x001CF0, 1, 8};

// --- collision map and background ring -------------------------------------------

constexpr u32 collision_map = 0x002400;  // 64 rows of 16 bytes, $FF = solid
constexpr u32 collision_copy = 0x002800; // 72 bytes: $2400-$2447 again
constexpr u32 collision_row_bytes = 16;

constexpr u32 bg_ring = 0x028000; // 256 rows of 96 bytes (192 pixels, 12 groups)
constexpr u32 ring_rows = 256;
constexpr u32 ring_row_bytes = 96;

// --- the mission files and the game image's map tables ---------------------------

constexpr u32 level_table = 0x073BAE;    // 32 words: map offsets (0-3), stream offsets (4-)
constexpr u32 level_data = 0x073BEE;     // the maps, from which the map offsets count
constexpr u32 ground_blocks = 0x05649A;  // 64 x 32-pixel blocks of 1,024 bytes
constexpr u32 ground_block_bytes = 1024;
constexpr u32 map_stamps = 0x057C9A;     // 16 x 16-pixel stamps of 128 bytes
constexpr u32 map_stamp_bytes = 128;
constexpr u32 spawn_table = 0x008D80;    // 64 entries: ring offset word, cell offset word
