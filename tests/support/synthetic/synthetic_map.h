// The world map's data for tests: the tables of the game image (pointer,
// boxes, messages, palettes, marker frames and positions, pays, the idle
// text) and the squeezed map file (the 28 bytes, twelve mission pictures,
// the map's packed picture, the shop's packed picture), written into RAM
// and a disk held in the loader's cache, or placed in the synthetic game
// data.
#pragma once
#include <array>
#include <vector>

#include "machine/types.h"
#include "support/synthetic/synthetic_game_data.h"

struct synth_map_box {
  u16 x0, x1, y0, y1, mission;
};

struct synth_map {
  std::vector<synth_map_box> boxes;     // in table order; the end word follows
  std::array<u32, 12> pays;             // below 65,536
  std::array<std::array<u16, 2>, 12> marker_positions;
  std::vector<u8> unpacked;             // what the map file unpacks to at $5647E
  std::vector<u8> picture;              // the map's screen (32,000 bytes) packed into it
  std::vector<u8> shop_picture;         // the shop's screen, packed at $5AC80
};

// Where the map's unpacked data lies, and the end it must stay below: the
// map file is unpacked in place from $5F4CB.
constexpr u32 synth_map_output = 0x05647E;
constexpr u32 synth_map_picture_at = 0x057C9A;
constexpr u32 synth_shop_picture_at = 0x05AC80;
constexpr u32 synth_map_input = 0x05F4CB;
constexpr u32 synth_map_sectors = 58;

// The palette of the map below its panel ($C70E): the game's own, which
// the host takes for the sign that the world map is shown.
constexpr std::array<u16, 16> synth_map_palette = {0x0000, 0x0777, 0x0012, 0x0014, 0x0025, 0x0136, 0x0246, 0x0356,
                                                   0x0467, 0x0740, 0x0630, 0x0520, 0x0353, 0x0242, 0x0131, 0x0020};

// Twelve boxes of 20 x 12 pixels in a grid inside 7..312 x 59..195 (box i
// for mission i), pays 1,000 x (i + 1), mission picture i a labelled block
// with its number and byte i + 1 in its first byte, a map picture that
// shows the boxes with their numbers and centres and the pointer's bounds,
// with colour 2 in its bottom line, and a shop picture that shows its 30
// cells with their numbers and wares.
const synth_map& synth_map_content();

// The game-image tables into RAM, with message i the text "Mi" (i as a
// letter from 'A') and the idle text "IDLE".
void synth_map_tables_in_ram(const synth_map& m);
// The same tables as program-block regions, and the map file at its place
// on the first side; false with g.error set when one cannot be placed.
bool synth_place_map(synth_game_data& g, const synth_map& m);

// The squeezed map file at the map's place (first side, track 39, sector
// 1: logical offset 199,680) of a disk cached at `cache`.
void synth_map_file_in_cache(const synth_map& m, u32 cache);
std::vector<u8> synth_map_file(const synth_map& m);

// The centre of a mission's box.
inline u16 synth_box_centre_x(const synth_map_box& b) { return static_cast<u16>((b.x0 + b.x1) / 2); }
inline u16 synth_box_centre_y(const synth_map_box& b) { return static_cast<u16>((b.y0 + b.y1) / 2); }
