// Synthetic tables of the mission set-up: the player start table, the
// screen pieces of the panel and the out-of-play plates, the set-up
// palette, the weapon parameters and the weapon and mission pictures, with
// defaults a test can tell apart, for tests that have no game data:
//
//   setup_tables t;                    // defaults below
//   t.two_players = true;
//   t.starts[1] = {176, 120, 40};
//   t.put_in_ram();
//
// Defaults: start entries that let the players scroll (y 120 alone, the two
// y together 240); the panel piece and the plates plain areas with their
// labels ("PANEL", "P1 OUT", "P2 OUT"), the weapon and mission pictures the
// labelled frames of support/synthetic/sprite_sheets.h; every picture carries its
// number in its top line (pixels 0-4, the number's bits from the highest,
// colour 15 for a set bit and 1 for a clear one), so a screen shows which
// picture it holds;
// weapon w's parameters 0x100 w + 1 .. 5 apart from the counter index,
// which is w mod 5 (a counter of the player record).
#pragma once
#include <array>
#include <string>
#include <vector>

#include "machine/types.h"
#include "support/synthetic/synthetic_game_data.h"

constexpr u32 player_start_table = 0x0091C4;    // two entries of x, y, third word
constexpr u32 panel_piece = 0x00FF8C;           // 40 lines x 16 bytes
constexpr u32 player2_plate = 0x01026C;         // 18 lines x 32 bytes
constexpr u32 player1_plate = 0x0104AC;
constexpr u32 life_icon = 0x010228;            // 16 lines of 4 bytes (planes 0-3 of 8 pixels)
constexpr u32 setup_palette = 0x008C44;         // 16 words
constexpr u32 weapon_param_table = 0x009E46;    // 19 records of 5 words
constexpr u32 weapon_pictures = 0x039434;       // 19 x 472 bytes: 59 lines x 8
constexpr u32 mission_pictures = 0x044776;      // 12 x 336 bytes: 21 lines x 16

constexpr u32 panel_piece_bytes = 640, plate_bytes = 576;
constexpr u32 weapon_picture_bytes = 472, mission_picture_bytes = 336;
constexpr u32 weapon_picture_lines = 59, mission_picture_lines = 21;

struct setup_tables {
  bool two_players = false;                       // two_player_flag: the word $FFFF or $0000
  std::array<std::array<u16, 3>, 2> starts;       // $91C4: entry 0 (player 2 of two), entry 1
  std::array<u16, 16> palette;                    // $8C44
  std::array<std::array<u16, 5>, 19> weapon_params; // speed, life, repeat delay, pattern, counter index
  std::vector<u8> panel, plate1, plate2;          // $FF8C, $104AC, $1026C
  std::vector<u8> icon;                           // $10228: a closed box with a heart-like mark
  setup_tables();

  // Refuses (false, with `error`) starts that do not let the players
  // scroll: a y above 124 for a lone player, above 244 for two together.
  bool check();
  std::string error;

  // Everything into RAM, two_player_flag and the pictures included.
  void put_in_ram() const;
  // The weapon parameters ($9E46) as a program-block region; the start
  // table and the palette are the front end's.
  bool place(synth_game_data& g) const;
  // The panel piece, the plates and the life icon ($FF8C, $1026C, $104AC,
  // $10228), which the disk road places in every synthetic data file.
  bool place_pictures(synth_game_data& g) const;
};

// Pixel x of line `line` of weapon picture w (x 0-15) and mission picture m
// (x 0-31) as built.
u32 weapon_picture_pixel(u32 w, u32 line, u32 x);
u32 mission_picture_pixel(u32 m, u32 line, u32 x);
// The number drawn in the picture whose top-left pixel lies at byte
// `at` of a screen (a 16-pixel group start); -1 when no picture is whole
// there.
int weapon_picture_at(u32 at);
int mission_picture_at(u32 at);
