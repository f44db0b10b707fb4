#include "game_harness.h"

#include "support/synthetic/synthetic_front_end.h"

void simple_vbl() {
  g_cpu.vbl_flag = 1;
  wr16(0x1DC6, rd16(0x1DC6) + 1);
}

void load_test_font() {
  for (u32 code = synth_font_first; code < synth_font_end; ++code)
    for (u32 row = 0; row < 8; ++row) wr8(synth_font_address + (code - synth_font_first) * 8 + row, synth_font_row(code, row));
}

namespace {
// The row of a cell that holds the character's code.
u32 cell_address(u32 screen, u32 line_offset, u32 column) {
  return screen + line_offset + synth_font_code_row * 160 + (column / 2) * 8 + (column & 1);
}
} // namespace

std::string screen_text(u32 screen, u32 line_offset, u32 column, u32 count) {
  std::string s;
  for (u32 c = column; c < column + count; ++c) {
    const u32 at = cell_address(screen, line_offset, c);
    const u32 top = rd8(at) | rd8(at + 2) | rd8(at + 4) | rd8(at + 6);
    s += top ? static_cast<char>(top) : '.';
  }
  return s;
}

u32 screen_cell_colour(u32 screen, u32 line_offset, u32 column) {
  const u32 at = cell_address(screen, line_offset, column);
  u32 colour = 0;
  for (u32 plane = 0; plane < 4; ++plane)
    if (rd8(at + 2 * plane)) colour |= 1u << plane;
  return colour;
}
