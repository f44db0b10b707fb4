// Synthetic mission data: the level table with its maps and event streams,
// the ground blocks and map stamps of the mission graphics, and the
// spawn_table of the game image, built from a few calls with named
// defaults, for tests that have no game data.
//
//   mission_builder m;                            // defaults below
//   m.map({{{1}, {2}, {3}}, {{4, {stamp(7, 2)}}, {0}, {5}}});  // rows of three blocks
//   m.stream({{184, 3, 40, 20}});                 // events; the $FF is added
//   m.put_in_ram();                               // where the loaders put it
//
// End-to-end runs load default_mission() (below) from the synthetic disk
// through the game's own loaders instead.
//
// Every call checks what a mission needs and refuses the rest (false, with
// `error` set and nothing added): a map of whole rows of three, at least two
// bytes before its end marker, ground blocks 0-5 (block 6 is where the
// stamps start), a first block without objects (its byte fills the ring at
// the section start), a plain last block (after the end marker the byte
// before it stands in for every block), stamp codes 1-128 (the stamps
// built; 126 and up show stamp code - 1),
// position bytes 0-7 (the entries of spawn_table; entry 8 on is game code);
// at most four maps; streams whose triggers are not $FF. `unchecked = true`
// lets a test build bad data on purpose; the layout is then the same.
//
// Contents, so a test can tell what came from where: block n (bytes
// block_byte(n, i)) is a checkerboard of its 16 x 16 cells in colours of
// its own with its number in the first cell, its top line and left column
// in colour 15 (the seams) but the top-left pixel in colour n; stamp n is
// a labelled sprite (support/synthetic/picture_drawing.h) with its number, colour
// n mod 16 in its top-left pixel and transparent pixels (colour 0) on every
// line; spawn_table entries 0-7 place a stamp at one of the eight 16 x 16
// cells of a block (entry q: column q mod 4, upper half for q < 4).
#pragma once
#include <array>
#include <string>
#include <vector>

#include "machine/types.h"
#include "support/synthetic/synthetic_game_data.h"

// One entry of a block's object list: a stamp (code, position byte) or an
// installation ($F1-$F4, x byte, y byte).
struct map_object {
  u8 code;
  u8 a; // the position byte of a stamp; the x byte of an installation
  u8 b; // the y byte of an installation
};
inline map_object stamp(u8 code, u8 position) { return {code, position, 0}; }
inline map_object installation(u8 code, u8 x, u8 y) { return {code, x, y}; }

struct map_block {
  u8 block; // ground block 0-5; bit 7 is set by the builder when objects follow
  std::vector<map_object> objects = {};
};
using map_row = std::vector<map_block>; // left, middle, right

struct spawn_entry {
  i16 ring_offset; // from the block's top-left in the ring: row x 96 + group x 8
  i16 cell_offset; // from the block's first collision cell
};

// Default contents.
constexpr int mission_ground_block_count = 6;
constexpr int mission_stamp_count = 128; // stamps 0-127: codes 1-128
u8 block_byte(u32 block, u32 offset); // byte `offset` (0-1023) of ground block n
// Ground block n drawn as the default ones but with another letter before
// its number (and its colours moved with the letter), for a second
// mission's graphics.
std::vector<u8> labelled_ground_block(u32 n, char letter);
spawn_entry default_spawn_entry(u32 q); // q = 0-7

class mission_builder {
 public:
  bool unchecked = false;
  std::string error;

  // Appends a map; its index (the level_section that plays it) is the
  // number of maps before it. The end marker $FF is added.
  bool map(const std::vector<map_row>& rows);
  // A map given as raw bytes, end marker included (for bad data).
  bool map_bytes(const std::vector<u8>& bytes);
  // Appends an event stream (its stream_section index is the number of
  // streams before it): each event is its bytes (trigger, command,
  // arguments); the end byte $FF is added. Refused: triggers that do not
  // follow the scroll from 184, events of the wrong length, more than six
  // homing units (events and vehicle items together), homing kinds other
  // than 0-1, goal y bytes outside 76-176, vehicle lists without their end
  // byte or of more than six items.
  bool stream(const std::vector<std::vector<u8>>& events);
  // Replaces one of the eight spawn_table entries.
  bool spawn(u32 q, spawn_entry e);
  // Replaces the pixels of a ground block or a stamp.
  void ground_block(u32 n, const std::vector<u8>& bytes1024);
  void map_stamp(u32 n, const std::vector<u8>& bytes128);

  // The mission level file as loader 3 reads it to $73B92: 28 bytes, then
  // level_table (32 words) and the maps and streams it points at.
  std::vector<u8> level_file() const;
  // The mission graphics as loader 1 unpacks them to $5647E: 28 bytes,
  // then the six ground blocks and the stamps.
  std::vector<u8> graphics() const;
  // spawn_table entries 0-7 (32 bytes at $8D80).
  std::vector<u8> spawn_bytes() const;

  // Into the machine's RAM: the level file at $73B92, the graphics at
  // $5647E, spawn_table at $8D80.
  void put_in_ram() const;
  // The address in RAM of map s and stream t (after put_in_ram or a load).
  u32 map_address(int s) const;
  u32 stream_address(int t) const;

 private:
  bool refuse(const std::string& why);
  std::vector<std::vector<u8>> maps_, streams_;
  std::vector<spawn_entry> spawn_ = default_spawns();
  std::vector<std::vector<u8>> blocks_ = default_blocks();
  std::vector<std::vector<u8>> stamps_ = default_stamps();
  static std::vector<spawn_entry> default_spawns();
  static std::vector<std::vector<u8>> default_blocks();
  static std::vector<std::vector<u8>> default_stamps();
};

// The mission of the synthetic game data: mission set 0 of the synthetic
// disk carries its level file and graphics (loaders 3 and 1 read them), and
// every synthetic game data file carries its spawn_table entries in the
// program image. One map for every section: three plain blocks, then 40
// rows with stamps of each kind and an installation of each type, ending
// in a plain row; one stream without events.
const mission_builder& default_mission();
// The level file of the synthetic disk's second mission set (whose ground
// blocks are lettered "C" and whose enemy frames are invented bytes): one
// map of 20 plain rows, the
// middle one on ground block 7, which lies in the stamps as a map may have
// it; one stream without events.
const mission_builder& second_level();
// Why mission_builder::stream refuses a list of events, or "" (see there).
std::string stream_problem(const std::vector<std::vector<u8>>& events);
// Places the program-image tables (spawn_table) as program-block regions.
bool synth_place_mission_tables(synth_game_data& g, const mission_builder& m = default_mission());

// Colours of the default contents, for comparing pixels.
u32 block_pixel(u32 block, u32 line, u32 x);  // x 0-63, line 0-31
u32 stamp_pixel(u32 stamp, u32 line, u32 x);  // x 0-15, line 0-15; 0 = transparent
// The colour of pixel x (0-191) of ring row r, from RAM.
u32 ring_pixel(u32 row, u32 x);
// The colour of pixel x (0-319) of line y of the screen at `screen`.
u32 screen_pixel(u32 screen, u32 y, u32 x);

// --- the players' tables -----------------------------------------------------
// The game-image tables of the players' update, aim step and drawing, with
// defaults a test can tell apart; a test changes the entries it needs and
// puts them in RAM:
//
//   player_tables t;
//   t.weapon_keys[0x3B] = 0;    // F1: next weapon of player 1
//   t.ammo_types[8] = {71, 12, 0, 0};
//   t.put_in_ram();
//
// Defaults: no weapon keys ($FF everywhere: a zero table would make every
// key player 1's next-weapon key); weapon w's ammunition row {20 + w, 0, 0,
// 0} (neither 65 nor 71); sample w mod 9 for weapon w; effect-shot entries
// for the facings 0-14 only (entry 15 lies on game code); throw and effect
// entries whose words all differ by facing; walk list k (0-7) of frames
// 41 + 4k to 44 + 4k (player 1's numbering); facing c (1-15) walks list
// (c - 1) mod 8; player_frames 0-127, frame f with colour 1 + f mod 15 in
// its top-left pixel and transparent pixels (colour 0) on every line.
struct player_tables {
  std::array<u8, 128> weapon_keys;                  // $9C2C, by key code
  std::array<std::array<u8, 4>, 19> ammo_types;     // $AB10, by weapon and column
  std::array<u16, 19> weapon_samples;               // $AF46, by weapon
  std::array<std::array<i16, 4>, 15> effect_shots;  // $A89C: x, y offsets, d3, d4
  std::array<std::array<i16, 5>, 16> throws;        // $9F04: x, y offsets, dx, dy, pose frame
  std::array<std::array<u16, 4>, 8> walk_lists;     // $9800
  std::array<u16, 15> walk_offsets;                 // $9840, facings 1-15: list offset from $9800
  player_tables();
  void put_in_ram() const; // with player_frames 0-127
};
constexpr u32 player_frames_built = 128;
// Pixel x (0-31) of line (0-24) of frame f of the built player_frames.
u32 player_frame_pixel(u32 frame, u32 line, u32 x);
