// Page $5000: the players' drawing (their order, and the blitter that
// shifts a 32-pixel, four-plane sprite to any pixel at draw time) and the
// shot pictures' pre-shifted copies.
#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "game/routine_kit.h"

namespace {

namespace pr = player_record;

constexpr u32 line_bytes = 160;
constexpr u32 sprite_lines = 25;

// One masked write of a sprite plane word: pixels of colour 0 (mask bits
// set) keep the screen.
inline void masked_word(u32 at, u32 mask, u32 plane) { wr16(at, (rd16(at) & mask) | (plane & 0xFFFF)); }

// A line's first column (high words) and second column (low words) from
// the four plane longs d0-d3 and the long mask d5, a0 at plane 3 of the
// second column.
inline void two_columns() {
  const u32* const planes[4] = {&d0, &d1, &d2, &d3};
  for (u32 p = 0; p < 4; ++p) masked_word(a0 - 6 + 2 * p, d5, *planes[p]);
  for (u32 p = 0; p < 4; ++p) masked_word(a0 - 14 + 2 * p, d5 >> 16, *planes[p] >> 16);
}

inline void load_planes() {
  d0 = rd32(a1);
  d1 = rd32(a1 + 4);
  d2 = rd32(a1 + 8);
  d3 = rd32(a1 + 12);
}

// The sprite's right s pixels (in the low words d0-d3 after the shift
// left) into the third column, a0 at its plane 3.
inline void third_column() {
  d5 = ~(d0 | d1 | d2 | d3) & 0xFFFF;
  masked_word(a0 - 6, d5, d0);
  masked_word(a0 - 4, d5, d1);
  masked_word(a0 - 2, d5, d2);
  masked_word(a0, d5, d3);
}

// The rest of the line shifted right by s into the first two columns, a0
// at plane 3 of the third column, a1 moving to the next line.
inline void shifted_columns(u32 s) {
  load_planes();
  a1 += 16;
  d0 >>= s;
  d1 >>= s;
  d2 >>= s;
  d3 >>= s;
  d5 = ~(d0 | d1 | d2 | d3);
  a0 -= 8;
  two_columns();
  a0 += 8;
}

} // namespace

// $5946: draws both players, the one higher on the screen first (player 1
// on equal lines), so that the lower one covers it. The second is reached
// by a jump and returns to the frame loop.
ROUTINE(sub_005946, 0x005946)
  put<W>(d0, rd16(player1 + pr::y));
  cmp<W>(d0, rd16(player2 + pr::y));
  if (cc_cs()) GOTO(0x595E);
  a4 = player1;
  wr16(current_player, 0);
  JSR(0x00597A, 0x595A)
  HOOK_AT(0x00595A)
  a4 = player2;
  wr16(current_player, 1);
  JMP(0x00597A);
HERE(0x595E)
  a4 = player2;
  wr16(current_player, 1);
  JSR(0x00597A, 0x5972)
  HOOK_AT(0x005972)
  a4 = player1;
  wr16(current_player, 0);
  JMP(0x00597A);
END_ROUTINE

// $597A: the player record at a4 into draw_screen: frame +6 of
// player_frames, 25 lines at line y from pixel x, colour 0 transparent.
// The hide countdown draws nothing while it runs; then the blink countdown
// shows two frames and hides two. No clipping: the movement keeps x and y
// where the sprite fits.
ROUTINE(draw_player, 0x00597A)
  HOOK_AT(0x00597A)
  tst<W>(rd16(a4 + pr::lives));
  if (cc_eq()) JMP(0x007DE2);
  tst<W>(rd16(a4 + pr::hide));
  if (cc_eq()) GOTO(0x5994);
  wr16(a4 + pr::hide, rd16(a4 + pr::hide) - 1);
  JMP(0x007DE2);
HERE(0x5994)
  tst<W>(rd16(a4 + pr::blink));
  if (cc_eq()) GOTO(0x59AA);
  wr16(a4 + pr::blink, rd16(a4 + pr::blink) - 1);
  if ((rd16(a4 + pr::blink) & 2) == 0) JMP(0x007DE2);
HERE(0x59AA)
  put<W>(d0, rd16(a4 + pr::y) * line_bytes);
  a0 = adda<W>(d0, rd32(draw_screen));
  put<W>(d1, rd16(a4 + pr::x));
  a0 += (d1 >> 1) & 0xFFF8;
  a0 += 22; // plane 3 of the third column
  a1 = player_frames + rd16(a4 + pr::frame) * player_frame_bytes;
  wr16(blit_line_count, sprite_lines);
  put<W>(d1, d1 & 15);
  if ((d1 & 0xFFFF) == 0) GOTO(0x59E0);
  cmp<W>(8, d1);
  if (cc_hi()) GOTO(0x5A80);
  put<W>(d6, d1);
  put<W>(d7, 16 - d1);
  GOTO(0x5A1E);

  // x on a column's edge: two columns.
HERE(0x59E0)
  a0 -= 8;
LOOP(0x59E4)
  load_planes();
  a1 += 16;
  d5 = ~(d0 | d1 | d2 | d3);
  two_columns();
  a0 += line_bytes;
  wr16(blit_line_count, rd16(blit_line_count) - 1);
  if (rd16(blit_line_count) != 0) GOTO(0x59E4);
  RTS();

  // Shifts 1-8: d6 = s, d7 = 16 - s.
LOOP(0x5A1E)
  load_planes();
  d0 <<= d7 & 31;
  d1 <<= d7 & 31;
  d2 <<= d7 & 31;
  d3 <<= d7 & 31;
  third_column();
  shifted_columns(d6 & 31);
  a0 += line_bytes;
  wr16(blit_line_count, rd16(blit_line_count) - 1);
  if (rd16(blit_line_count) != 0) GOTO(0x5A1E);
  RTS();

  // Shifts 9-15: d6 = 16 - s, d7 = s; only the low words shifted left.
HERE(0x5A80)
  put<W>(d6, 16 - d1);
  put<W>(d7, d1);
LOOP(0x5A8C)
  load_planes();
  put<W>(d0, d0 << (d6 & 31));
  put<W>(d1, d1 << (d6 & 31));
  put<W>(d2, d2 << (d6 & 31));
  put<W>(d3, d3 << (d6 & 31));
  third_column();
  shifted_columns(d7 & 31);
  a0 += line_bytes;
  wr16(blit_line_count, rd16(blit_line_count) - 1);
  if (rd16(blit_line_count) != 0) GOTO(0x5A8C);
  RTS();
END_ROUTINE

namespace {

constexpr u32 shot_frames = 0x04694A;    // copy 0, loaded with the game data
constexpr u32 shot_copy_bytes = 1566;    // 29 frames of 9 lines of three plane words
constexpr u32 shot_copy_groups = 261;

} // namespace

// $5FFE: copies 1-7 of the shot pictures, each its predecessor moved one
// pixel right. The pointers run on from pass to pass, so each pass reads
// the copy the previous one wrote. The plane 0 and 1 words shift as one
// long: pixel 15 of plane 0 becomes pixel 0 of plane 1.
ROUTINE(sub_005FFE, 0x005FFE)
  a1 = shot_frames;
  a0 = shot_frames + shot_copy_bytes;
  put<W>(d6, 6);
LOOP(0x600A)
  put<W>(d7, shot_copy_groups - 1);
LOOP(0x600E)
  d0 = rd32(a1) >> 1;
  a1 += 4;
  wr32(a0, d0);
  a0 += 4;
  put<W>(d0, rd16(a1) >> 1);
  a1 += 2;
  wr16(a0, d0);
  a0 += 2;
  if (dbf(d7)) GOTO(0x600E);
  if (dbf(d6)) GOTO(0x600A);
  RTS();
END_ROUTINE
