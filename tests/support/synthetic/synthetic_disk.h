// The disk road of the synthetic game data: what the cold start and the
// mission loaders read, laid out where the game's tables say. On the disk:
// the packed resident graphics (read by the load record at $FF14), the
// run-packed block of track 20, sector 3, the saved high-score sector
// (track 0, sector 2) and the files of two missions; in the program block:
// the load record, the mission load table with its colours, the mission
// words, the three loaders' record tables, the start-up text and palette,
// the sample table with its samples and the idle Timer A handler; the
// title's block, palettes and script; the front end's font, texts,
// tables and world-map file (synthetic_front_end.h); and the panel's
// pictures of the missions (the panel piece, the plates, the life icon).
//
// The content is invented and fixed (a seeded generator), so a test can
// compare what the game unpacked with what the builder packed. Mission set
// 0 carries the level file and graphics of the mission builder's
// default_mission(), so missions loaded from it play; set 1 carries the
// level file of second_level(), the builder's stamps with ground blocks
// lettered "C", and invented enemy frames.
#pragma once
#include <array>
#include <string>
#include <vector>

#include "support/synthetic/synthetic_game_data.h"
#include "support/synthetic/synthetic_sound.h"

struct synth_disk_mission {
  std::vector<u8> graphics;        // unpacked by loader 1 to $5647E
  std::vector<u8> graphics_file;   // its squeezed file, read to $5E652
  std::vector<u8> enemy_file;      // read by loader 2 to $5E5EE: 28 bytes, then 39 x 22 x 6 bytes of frames
                                   // (set 0: the frames of enemy_tables)
  std::vector<u8> level;           // read by loader 3 to $73B92
  int side_track_sector[3][3];     // where the three files lie: side, track, sector
};

struct synth_disk {
  std::vector<u8> resident_graphics;      // unpacked to $2E000, the sound driver's data among it
  std::vector<u8> resident_file;          // its squeezed file, read to $35602
  std::vector<u8> run_block;              // expanded to $5063A-$56481
  std::vector<u8> run_block_file;         // its escaped runs, from track 20, sector 3
  std::vector<u8> high_scores;            // the 512-byte sector: 222 name bytes, 8 score longs
  std::array<synth_disk_mission, 2> missions;
  std::array<u16, 12> mission_colours;    // colour 14 of each mission's palette
  std::array<u16, 12> mission_words;      // word $24C of each mission
  std::array<int, 12> mission_set;        // which of the two missions' files each mission loads
  std::vector<u8> startup_text;           // at $37C6, with its zero
  std::array<u16, 16> startup_palette;    // at $8C24
  synth_sound sound;                      // the driver's data, the samples and their table
};

constexpr u32 synth_resident_buffer = 0x035602;
constexpr u32 synth_resident_output = 0x02E000;
constexpr u32 synth_run_block_output = 0x05063A;
constexpr u32 synth_run_block_size = 0x056482 - 0x05063A;

// The content (made once).
const synth_disk& synth_disk_content();

// Places every region of the disk road that the disk image carries; false
// with g.error set when one cannot be placed. The high-score sector lies
// where the Vellicor image maps no bytes: only a "BKM" file carries it
// (synth_put_high_scores).
bool synth_place_disk_road(synth_game_data& g);
void synth_put_high_scores(std::vector<u8>& bkm);

// The standard synthetic game with its disk road and high scores as the
// bytes of "BKM"; empty, with error set, when it cannot be built.
std::vector<u8> synth_standard_bkm(std::string& error);
// The same written as "BKM" into folder: "" or what went wrong.
std::string synth_write_standard_bkm(const std::string& folder);

// The resident graphics as the cold start leaves them from $2E000: the
// unpacked bytes with the two re-ordered areas (2,300 groups at $2F91C, 192
// at $45736; w0 w4 w1 w5 w2 w6 w3 w7).
std::vector<u8> synth_resident_graphics_reordered();

// The full title's block (second side, track 1, sector 1 on; loaded at
// $5647E): pieces, picture, sample in invented bytes, and a YM table that
// writes only the volume registers. The script at $F752 has this many
// steps before its end byte.
constexpr u32 synth_title_address = 0x05647E;
constexpr u32 synth_title_sectors = 143;
constexpr u32 synth_title_script_steps = 12;
std::vector<u8> synth_title_block();

