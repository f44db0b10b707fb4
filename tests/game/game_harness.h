// Helpers for the tests of the game's routines: a test font, and reading
// printed text back from a screen. Running routines and the stubs at the
// addresses of later work are in support/machine/routine_stubs.h.
#pragma once
#include <string>

#include "support/machine/routine_stubs.h"

// A VBL as the game sees it without the ST's delivery: the flag of the
// busy-waits and one more on the VBL counter.
void simple_vbl();

// The synthetic data's font at $8700 (synth_font_row), whose glyph for
// code c shows the character and holds c in its bottom row, so printed
// text can be read back from the screen.
void load_test_font();
// The characters printed in one text line: for each of `count` cells from
// `column`, the bottom row of the glyph found there (any plane); '.' for an
// empty cell.
std::string screen_text(u32 screen, u32 line_offset, u32 column, u32 count);
// The colour (planes set) of the cell's bottom row.
u32 screen_cell_colour(u32 screen, u32 line_offset, u32 column);
