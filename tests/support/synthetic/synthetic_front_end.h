// The front end's part of the synthetic game data, in the program block: a
// font that prints readable text, the texts of the control loop, the
// prompt and the failed screen, the player start table, the ammunition
// table, and the world map's tables with its data file on the first side.
// With it a whole game runs from the title to a mission start.
#pragma once
#include <array>

#include "machine/types.h"
#include "support/synthetic/synthetic_game_data.h"

// Texts as the builder places them (each followed by its zero).
inline constexpr const char* synth_loading_text = "LOADING";      // $3924
inline constexpr const char* synth_end_text = "THE END";          // $3A3C
inline constexpr const char* synth_prompt_text = "1 OR 2";        // $FE1E
inline constexpr const char* synth_failed_text = "MISSION LOST";  // $A9FA
inline constexpr const char* synth_failed_text2 = "TRY AGAIN";    // $AA17

// The player start table at $91C4: entry 0, entry 1 (x, y, third word).
inline constexpr std::array<std::array<u16, 3>, 2> synth_player_starts{{{120, 170, 8}, {200, 170, 16}}};

// Places all of it; false with g.error set when a region cannot be placed.
bool synth_place_front_end(synth_game_data& g);

// The font at $8700, codes 32-94 of 8 rows each: rows 1-5 the character in
// the tiny font (support/synthetic/picture_drawing.h) with its pixels doubled in
// width, so printed text can be read on a screen, and the code itself in
// its bottom row, so a test reads printed text back from that row.
constexpr u32 synth_font_address = 0x008700;
constexpr u32 synth_font_first = 32, synth_font_end = 95;
constexpr u32 synth_font_code_row = 7;
u8 synth_font_row(u32 code, u32 row);
