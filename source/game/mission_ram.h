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

// The fields of the players' update, aim step and drawing. Flag bytes are
// $FF (set) or 0; a flag tested as a word reads $FF00 with its first byte set.
namespace player_record {
constexpr u32 x = 0x02;            // word: screen column, steps of 3
constexpr u32 frame = 0x06;        // word: picture in player_frames (player 1 40 above player 2)
constexpr u32 weapon = 0x0C;       // word: current weapon 0-18
constexpr u32 way_right = 0x14;    // bytes: the way free ($FF) or blocked, from the terrain step
constexpr u32 way_left = 0x15;
constexpr u32 way_down = 0x16;
constexpr u32 way_up = 0x17;
constexpr u32 fire_delay = 0x19;   // byte: frames until the next shot; $81-$FF wait for a release
constexpr u32 hide = 0x24;         // word: countdown, neither moved nor drawn
constexpr u32 blink = 0x2A;        // word: countdown, drawn two frames in four
constexpr u32 left_pressed = 0x2E; // bytes: pressed this frame
constexpr u32 right_pressed = 0x30;
constexpr u32 up_pressed = 0x32;
constexpr u32 down_pressed = 0x34;
constexpr u32 facing = 0x36;       // byte: direction bits 1 up, 2 down, 4 left, 8 right
constexpr u32 walk_first = 0x38;   // long: first entry of the walk-frame list
constexpr u32 walk_entry = 0x3C;   // long: the entry shown next
constexpr u32 walk_end = 0x40;     // long: just past the list
constexpr u32 walk_step = 0x44;    // word: bytes from entry to entry
constexpr u32 walk_delay = 0x46;   // word: 1 after a frame was shown
constexpr u32 facing_before = 0x48; // byte: the facing before this frame's turn
constexpr u32 repeat_delay = 0x4E; // byte: of the current weapon
constexpr u32 state = 0x50;        // word: $FFFF while dying
constexpr u32 moved = 0x54;        // word: first byte set after a step this update
constexpr u32 hold = 0x56;         // word: first byte set while fire holds the player in place
constexpr u32 ammo_column = 0x60;  // word: column of the weapon's row in ammo_type_table
constexpr u32 ammo_type = 0x62;    // word: the code from that column (the panel's value)
constexpr u32 owned = 0x66;        // 19 bytes: weapon n owned when +$66 + n is non-zero
constexpr u32 throw_pose = 0x98;   // word: frames left of a throw pose
constexpr u32 pose_saved = 0x9A;   // word: the frame shown before the throw
} // namespace player_record

constexpr u32 player_positions = 0x000284; // words: x of players 1 and 2, then their y
constexpr u32 steer_flag = 0x00028C;       // word: first byte set when a direction had a way
constexpr u32 blit_line_count = 0x0002D4;  // word: lines left of a player sprite

// Tables of the game image that the players' routines read.
constexpr u32 walk_frame_lists = 0x009800;  // lists of four frame words
constexpr u32 walk_list_offsets = 0x009840; // words for facings 1-15: list offset from $9800
constexpr u32 weapon_key_table = 0x009C2C;  // 128 bytes by key: 0/1 next weapon, 2/3 next ammunition
constexpr u32 throw_table = 0x009F04;       // weapon 18: 16 x 5 words by facing
constexpr u32 effect_shot_table = 0x00A89C; // weapon 17: 16 x 4 words by facing
constexpr u32 ammo_type_table = 0x00AB10;   // 19 rows of 4 bytes: weapon x column
constexpr u32 weapon_sample_table = 0x00AF46; // words by weapon
constexpr u32 player_frames = 0x02F91C;     // 400 bytes a frame: 25 lines of four plane longs
constexpr u32 player_frame_bytes = 400;

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
