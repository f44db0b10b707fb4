// The world map's 16-pixel shapes (pointer and mission markers): drawn in
// colour 1 straight into draw_screen and erased from the clean copy in
// screen $18000. Shared by the routines of pages $B000 and $C000; each
// step is short and bounded, so none needs a label.
#pragma once
#include "game/game_ram.h"
#include "game/map_ram.h"
#include "game/routine_kit.h"

namespace map_drawing {

constexpr u32 line_bytes = 160;
constexpr u32 shape_lines = 9;

// a0/a1 := the left and right byte of pixel (d0.w, line d2.w) in
// draw_screen (the right one is the next group's first byte when the
// left is a group's second); d1 := the pixel in its byte; the 9 words at
// `shape` shifted right by it into `shifted`; a2 := shifted.
inline void place(u32 shape, u32 shifted) {
  a0 = rd32(draw_screen) + (d2 & 0xFFFF) * line_bytes;
  const u32 column = (d0 & 0xFFFF) >> 3;
  a0 += (column >> 1) * 8 + (column & 1);
  a1 = a0 + ((column & 1) ? 7 : 1);
  d1 = d0 & 7;
  for (u32 i = 0; i < shape_lines; ++i) wr16(shifted + 2 * i, rd16(shape + 2 * i) >> d1);
  a2 = shifted;
}

// The 9 shifted words at a2 in colour 1: plane 0 set, planes 1-3 cleared,
// the high byte at a0 and the low byte at a1, line by line.
inline void draw() {
  for (u32 line = 0; line < shape_lines; ++line) {
    const u32 w = rd16(a2 + 2 * line);
    const u32 at[2] = {a0 + line * line_bytes, a1 + line * line_bytes};
    const u32 v[2] = {(w >> 8) & 0xFF, w & 0xFF};
    for (u32 h = 0; h < 2; ++h) {
      wr8(at[h], rd8(at[h]) | v[h]);
      for (u32 p = 1; p < 4; ++p) wr8(at[h] + 2 * p, rd8(at[h] + 2 * p) & ~v[h]);
    }
  }
}

// 9 lines of 16 bytes at `at` (its bit 0 dropped) restored from the same
// place of screen $18000.
inline void erase(u32 at) {
  const u32 from = screen_buffer_a + (at & 0x7FFE);
  at &= ~1u;
  for (u32 line = 0; line < shape_lines; ++line)
    for (u32 i = 0; i < 16; i += 4) wr32(at + line * line_bytes + i, rd32(from + line * line_bytes + i));
}

} // namespace map_drawing
