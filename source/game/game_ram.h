// The game's RAM variables that routines of more than one page share, at
// their 68k addresses (big-endian in `ram`). Widths are given beside each.
#pragma once
#include "machine/types.h"

// --- screens ------------------------------------------------------------------

constexpr u32 screen_buffer_a = 0x018000; // 32,000 bytes, 4 interleaved planes
constexpr u32 screen_buffer_b = 0x020000;
constexpr u32 draw_screen = 0x00028E; // long: the screen being drawn

// text_cursor: four words (line offset in bytes, column, margin, colour)
constexpr u32 text_cursor = 0x000266;
constexpr u32 text_line = 0x000266;
constexpr u32 text_column = 0x000268;
constexpr u32 text_margin = 0x00026A;
constexpr u32 text_colour = 0x00026C;

// --- interrupts and pacing ----------------------------------------------------

constexpr u32 vbl_counter = 0x001DC6;     // word, +1 per VBL
constexpr u32 frame_countdown = 0x001DF2; // word, -1 per VBL, stops at -1
constexpr u32 split_map = 0x0001FE;       // word: world-map raster split
constexpr u32 split_title = 0x000200;     // word: title-picture raster split
constexpr u32 title_mode = 0x000202;      // word: three-zone title split
constexpr u32 dev_mode = 0x000252;        // word: developer keys live
constexpr u32 dev_timing = 0x00026E;      // word: frame phases in colour 0
constexpr u32 ikbd_state = 0x001DD4;      // byte: header of the packet being read
constexpr u32 last_key = 0x001DE2;        // byte: last key code

// --- machine services ---------------------------------------------------------

constexpr u32 random_seed = 0x001E12; // long
constexpr u32 music_on = 0x0001E8;    // byte: $FF while the driver is ticked

// Seven ASCII digits (millions to units) and a zero byte, left by the
// decimal conversion at $7D3E.
constexpr u32 digit_buffer = 0x00025E;

// --- players ------------------------------------------------------------------

constexpr u32 player1 = 0x0002DA;
constexpr u32 player2 = 0x000376;
constexpr u32 two_player_flag = 0x0001B4; // word: $0000 one player, $FFFF two

// Fields of a player_record (156 bytes).
namespace player_record {
constexpr u32 lives = 0x00;       // word
constexpr u32 score = 0x08;       // long
constexpr u32 right = 0x0E;       // joystick bytes, $00 or $FF
constexpr u32 left = 0x0F;
constexpr u32 up = 0x10;
constexpr u32 down = 0x11;
constexpr u32 fire = 0x12;
constexpr u32 panel_value = 0x62; // word: status-panel character
constexpr u32 count_index = 0x64; // word: index into the count words
constexpr u32 counts = 0x7A;      // words
} // namespace player_record

// --- text, picture and colour services ----------------------------------------

constexpr u32 font8x8 = 0x008700;   // 8 bytes a glyph from code 32, bit 7 = left pixel
constexpr u32 fade_wait = 0x000208; // word: VBLs to wait before a fade step, minus one

// Colour cycling of one palette register, run by the VBL handler.
constexpr u32 cycle_register = 0x000230; // word: palette register 0-15
constexpr u32 cycle_on = 0x000232;       // word: non-zero while cycling
constexpr u32 cycle_position = 0x000234; // long: next colour word in the table
constexpr u32 cycle_vbls = 0x000238;     // word: VBLs since the last step
constexpr u32 cycle_table = 0x0035EE;    // colour words; bit 15 set ends the table

namespace player_record {
constexpr u32 extra_life = 0x13; // byte: $FF once the extra life was given
} // namespace player_record

// --- disk loading -------------------------------------------------------------
// A load names a place on the game disk and a buffer; the cached sector
// loader at $E92A copies it out of the RAM copy of the disk.

constexpr u32 disk_request = 0x000164;  // long: cleared by the loaders (words $164, $166)
constexpr u32 disk_side = 0x000166;     // word: 0 first side, else the second
constexpr u32 disk_track = 0x000168;    // word: 0-79
constexpr u32 disk_sector = 0x00016A;   // word: first sector, 1-10
constexpr u32 disk_buffer = 0x00016C;   // long: destination (source of a write)
constexpr u32 disk_count = 0x000276;    // word: sectors, at least 1
constexpr u32 motor_off_vbls = 0x0001BA; // word: VBLs until the drives are deselected
constexpr u32 sector_attempts = 0x0001BC; // word: attempts left for the current sector

// The sector loader's cache control block, laid by the boot state.
constexpr u32 cache_file_name = 0x0020EA; // 4 bytes: "BKM" and a zero
constexpr u32 cache_first = 0x0020EE;     // long, signed: first disk offset held; negative = empty
constexpr u32 cache_end = 0x0020F2;       // long, signed: end of the cached range
constexpr u32 cache_disk_size = 0x0020F6; // long
constexpr u32 cache_buffer = 0x0020FA;    // long: address of the RAM copy of the disk
constexpr u32 cache_window = 0x0020FE;    // long: size of a partial fill
constexpr u32 cache_whole_disk = 0x002102; // byte: non-zero = a miss reads the whole disk
constexpr u32 resident_table = 0x00217A;  // long: base of the resident entry table ($3F8000)
constexpr u32 loader_request = 0x00217E;  // 28 bytes handed to the resident file service

constexpr u32 second_side_ok = 0x00015A;  // word: $FFFF once the second side was read
constexpr u32 chosen_mission = 0x00021C;  // word: mission 0-11 chosen on the map
constexpr u32 mission_word = 0x00024C;    // word: per-mission value read by the mission code
constexpr u32 hiscore_names = 0x003094;   // 222 bytes: the names of the high-score table
constexpr u32 hiscore_scores = 0x000170;  // 8 longs, then the long $190

// --- one game to the next -------------------------------------------------------

constexpr u32 quick_start = 0x000160;    // long: non-zero = the next game skips the title
constexpr u32 work_area = 0x0001B8;      // cleared by every restart, in longs up to
constexpr u32 work_area_end = 0x001E0E;  // (exclusive bound of the clearing pointer)
constexpr u32 missions_done = 0x00023A;  // 12 bytes: $FF once the mission was completed
constexpr u32 dev_string_pos = 0x000256; // long: next byte of the developer sequence
constexpr u32 dev_string = 0x008258;
constexpr u32 music_level = 0x042502;    // byte of the driver: 13 in a mission, 15 out
constexpr u32 tune_playing = 0x0424F2;   // byte of the driver: non-zero while a tune plays
