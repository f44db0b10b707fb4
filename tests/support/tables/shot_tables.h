// The game-image tables of the shots, the deaths, the homing units and the
// goal, with defaults a test can tell apart; a test changes the entries it
// needs and puts them in RAM:
//
//   shot_tables t;
//   t.turns[8][4] = 9;   // turning from right to left shoots up-right
//   t.put_in_ram();
//
// Defaults: bullet_style_table light (1) everywhere but every third byte;
// bullet_dir_table entries for the codes 0-15, the eight directions with
// factors -1/0/1 and offsets 44 + code, 95 + code, the other codes with the
// x factor 126 (no bullet); turn_table[old][new] = new; death lists with
// runs of frames (player 1's from f = 60, player 2's from f = 20): f to f + 2
// and an end byte, f + 3, f + 4 and an end byte, another end byte, then
// f + 8 to f + 26 and the end byte; death_start_table: facing 0 an end
// byte (offset 0), facing 1 offset 4, facing 4 offset 5, facing 2 offset
// 6 (an end byte), facing 8 offset 8 (the long run), the others offset 0;
// unit_steer_table the eight codes 1, 2, 3, 4, 6, 8, 9, 12 with the
// frames 1-8; unit_fire_dirs records 0-6 for
// the frames 1-7 and an eighth record (frame 0); homing-unit pictures for
// kinds 0-1 and three goal pictures (the labelled frames "H" and "G" of
// support/synthetic/sprite_sheets.h), each with a colour of its own in its top-left
// pixel and transparent pixels (colour 0) on every line.
#pragma once
#include <array>

#include "machine/types.h"

struct bullet_dir {
  i16 x_factor, y_factor, x_offset, y_offset;
};
struct unit_fire_dir {
  i16 frame, x_offset, y_offset, dx, dy, spare;
};
struct unit_steer {
  u16 code, frame;
};

constexpr u32 death_list_bytes = 28;
constexpr u32 unit_kinds_built = 2;
constexpr u32 unit_frames_per_kind = 9;
constexpr u32 goal_pictures_built = 3;
constexpr u16 no_bullet_factor = 126;

struct shot_tables {
  std::array<u8, 84> styles;                             // $67BE: mission x 7 + section
  std::array<bullet_dir, 16> dirs;                       // $9696, by code
  std::array<std::array<u8, 11>, 11> turns;              // $9786: [old][new]
  std::array<std::array<u8, death_list_bytes>, 2> deaths; // $AAB0, $AACC
  std::array<u8, 16> death_starts;                       // $AAE8, by facing
  std::array<unit_fire_dir, 8> fire_dirs;                // $B586
  std::array<unit_steer, 8> steers;                      // $B5E6
  shot_tables();
  void put_in_ram() const; // with the unit and goal pictures
};

// Pixel x (0-15) of line (0-15) of picture `frame` of unit kind `kind`, and
// pixel x (0-31) of line (0-24) of goal picture p, as built.
u32 unit_frame_pixel(u32 kind, u32 frame, u32 line, u32 x);
u32 goal_frame_pixel(u32 picture, u32 line, u32 x);
