// Page $5000: the horizontal sections' objects (placed, updated: mines,
// vents and guns; drawn) and the installations' hostile dot bullet; the players'
// drawing (their order, and the blitter that shifts a 32-pixel, four-plane
// sprite to any pixel at draw time), the
// shot pictures' pre-shifted copies, and the enemies' drawing: sorted by y,
// clipped to the play field, drawn from the pre-shifted banks of
// enemy_frames or, at the window's edges, shifted here.
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

// ---- Horizontal-section objects ---------------------------------------------------

namespace {

namespace sobj {
constexpr u32 active = 0x00, x = 0x02, y = 0x04, kind = 0x06, timer = 0x08, puffs = 0x0A, side = 0x0C;
} // namespace sobj

constexpr u32 vent = 242, gun_down = 243, gun_up = 244;
constexpr u32 sobj_first_x = 38, sobj_last_x = 265;
constexpr u32 gun_wait_mask = 31;
constexpr u32 vent_pause_mask = 0x63; // 0-3, 32-35, 64-67 or 96-99 frames
constexpr u32 burst_puffs = 14;
constexpr u32 near_reach = 30;

// A gun's shot: a hostile bullet from 6 pixels into the picture, dy in d4.
inline void gun_shot_registers(u32 y_offset, u32 dy) {
  put<W>(d0, rd16(a4 + sobj::x) + 42);
  put<W>(d1, rd16(a4 + sobj::y) + y_offset);
  d3 = 0;
  put<W>(d4, dy);
  put<W>(d2, 50);
  put<W>(d5, 0xFFFF);
}

// Whether the player at a3 is in play and within 30 pixels of the object
// at a4 sideways.
inline bool player_near() {
  if (rd16(a3 + player_record::lives) == 0) return false;
  return ((rd16(a4 + sobj::x) - rd16(a3 + player_record::x) + near_reach) & 0xFFFF) <= 2 * near_reach;
}

} // namespace

// $52FA: event commands 240-245: an object of kind d0.w at the x and y
// bytes at a0. Every register is kept, a0 too; the stream goes on past the
// two bytes whether or not a record was free. A reused record keeps its
// timer, puff count and side.
ROUTINE(sub_0052FA, 0x0052FA)
  save_regs(dregs(0, 7) | aregs(0, 6));
  a1 = section_object_table.address;
  d7 = section_object_table.records - 1;
LOOP(0x5306)
  tst<W>(rd16(a1 + sobj::active));
  if (cc_eq()) GOTO(0x5318);
  a1 += section_object_table.size;
  if (dbf(d7)) GOTO(0x5306);
  a0 += 2;
  GOTO(0x532A);
HERE(0x5318)
  wr16(a1 + sobj::kind, d0);
  wr8(a1 + sobj::x, 0);
  wr8(a1 + sobj::x + 1, rd8(a0));
  wr8(a1 + sobj::y, 0);
  wr8(a1 + sobj::y + 1, rd8(a0 + 1));
  a0 += 2;
  wr8(a1 + sobj::active, 0xFF);
HERE(0x532A)
  wr32(event_pointer, a0);
  restore_regs(dregs(0, 7) | aregs(0, 6));
  RTS();
END_ROUTINE

// $5336: every object: freed out of x 38-265; guns fire a hostile bullet
// down or up and wait 0-31 frames; a vent with a player near puffs once a
// frame toward the player's side, 14 puffs, then pauses (its timer runs
// only while someone is near).
ROUTINE(sub_005336, 0x005336)
  a4 = section_object_table.address;
  d7 = section_object_table.records - 1;
LOOP(0x533E)
  tst<W>(rd16(a4 + sobj::active));
  if (cc_eq()) GOTO(0x549E);
  put<W>(d0, rd16(a4 + sobj::x));
  if ((d0 & 0xFFFF) < sobj_first_x || (d0 & 0xFFFF) > sobj_last_x) {
    wr16(a4 + sobj::active, 0);
    GOTO(0x549E);
  }
  put<W>(d0, rd16(a4 + sobj::kind));
  if ((d0 & 0xFFFF) == vent) GOTO(0x5400);
  if ((d0 & 0xFFFF) != gun_down && (d0 & 0xFFFF) != gun_up) GOTO(0x549E);
  tst<W>(rd16(a4 + sobj::timer));
  if (cc_eq()) GOTO(0x5386);
  wr16(a4 + sobj::timer, rd16(a4 + sobj::timer) - 1);
  GOTO(0x549E);
HERE(0x5386)
  JSR(0x007576, 0x538A)
  wr16(a4 + sobj::timer, d0 & gun_wait_mask);
  if (rd16(a4 + sobj::kind) == gun_up) GOTO(0x53CE);
  gun_shot_registers(116, 3);
  JSR(0x006B74, 0x53CA)
  GOTO(0x549E);
HERE(0x53CE)
  gun_shot_registers(100, 0xFFFD);
  JSR(0x006B74, 0x53FC)
  GOTO(0x549E);

HERE(0x5400)
  JSR(0x005680, 0x5404)
  tst<L>(d6);
  if (cc_ne()) GOTO(0x549E);
  tst<W>(rd16(a4 + sobj::timer));
  if (cc_eq()) GOTO(0x5416);
  wr16(a4 + sobj::timer, rd16(a4 + sobj::timer) - 1);
  GOTO(0x549E);
HERE(0x5416)
  wr16(a4 + sobj::puffs, rd16(a4 + sobj::puffs) + 1);
  if (rd16(a4 + sobj::puffs) != burst_puffs) GOTO(0x5436);
  JSR(0x007576, 0x5428)
  wr16(a4 + sobj::timer, d0 & vent_pause_mask);
  wr16(a4 + sobj::puffs, 0);
HERE(0x5436)
  put<W>(d0, rd16(a4 + sobj::x) + 36);
  d3 = 0;
  put<W>(d2, 200);
  put<W>(d5, 0xFFFF);
  tst<W>(rd16(a4 + sobj::side));
  if (cc_ne()) GOTO(0x5470);
  put<W>(d1, rd16(a4 + sobj::y) + 102);
  put<W>(d4, 8);
  GOTO(0x547C);
HERE(0x5470)
  put<W>(d1, rd16(a4 + sobj::y) + 98);
  put<W>(d4, 0xFFF7);
HERE(0x547C)
  JSR(0x00B6A6, 0x549A)
HERE(0x549E)
  a4 += section_object_table.size;
  if (dbf(d7)) GOTO(0x533E);
  RTS();
END_ROUTINE

namespace {

constexpr u32 object_pictures = 0x046336; // kind 240 + k: 16 lines of four plane words
constexpr u32 object_picture_bytes = 128;
constexpr u32 first_kind = 240;
constexpr u32 clip_left_flag = 0x00020C;
constexpr u32 clip_right_flag = 0x00020E;
constexpr u32 blit_rows = 0x000212;
constexpr u32 object_lines = 16;
constexpr u32 screen_lines = 200;

// One masked 16-pixel column at `at` (plane 0) from the plane words w0-w3
// under the mask `keep` (set where the screen stays).
inline void object_column(u32 at, u32 keep, u32 w0, u32 w1, u32 w2, u32 w3) {
  keep &= 0xFFFF;
  wr16(at + 6, (rd16(at + 6) & keep) | (w3 & 0xFFFF));
  wr16(at + 4, (rd16(at + 4) & keep) | (w2 & 0xFFFF));
  wr16(at + 2, (rd16(at + 2) & keep) | (w1 & 0xFFFF));
  wr16(at, (rd16(at) & keep) | (w0 & 0xFFFF));
}

// One line shifted into two columns: d0-d3 hold the plane words with the
// left column's pixels in their high halves and the right column's in
// their low halves; a0 is plane 3 of the right column.
inline void object_shifted_line() {
  d5 = ~(d0 | d1 | d2 | d3);
  if (rd16(clip_right_flag) != 0) object_column(a0 - 6, d5, d0, d1, d2, d3);
  if (rd16(clip_left_flag) != 0) object_column(a0 - 14, d5 >> 16, d0 >> 16, d1 >> 16, d2 >> 16, d3 >> 16);
  a1 += 8;
  a0 += 160;
}

inline void load_object_line() {
  d0 = rd16(a1);
  d1 = rd16(a1 + 2);
  d2 = rd16(a1 + 4);
  d3 = rd16(a1 + 6);
}

} // namespace

// $54AA: every live object, picture kind - 240, at its screen x and y. The
// picture is cut at the screen's last line: drawn whole from y 184 down it
// would run into the next memory (the spare bytes and the horizontal band
// after screen $20000, the other screen after $18000).
ROUTINE(sub_0054AA, 0x0054AA)
  a4 = section_object_table.address;
  d7 = section_object_table.records - 1;
LOOP(0x54B2)
  tst<W>(rd16(a4 + sobj::active));
  if (cc_eq()) GOTO(0x550A);
  put<W>(d1, rd16(a4 + sobj::y));
  if ((d1 & 0xFFFF) >= screen_lines) GOTO(0x550A);
  a1 = object_pictures + ((rd16(a4 + sobj::kind) - first_kind) & 0xFFFF) * object_picture_bytes;
  put<W>(d0, rd16(a4 + sobj::x) - 64);
  put<W>(d0, asr<W>(d0, 1) & 0xFFF8);
  a0 = rd32(draw_screen) + 32 + (d1 & 0xFFFF) * 160 + sext16(d0 & 0xFFFF);
  put<W>(d1, screen_lines - (d1 & 0xFFFF));
  if ((d1 & 0xFFFF) > object_lines) put<W>(d1, object_lines);
  wr16(blit_rows, d1);
  put<W>(d0, rd16(a4 + sobj::x));
  push32(d7);
  push32(a4);
  JSR(0x005514, 0x5506)
  a4 = pop32();
  d7 = pop32();
HERE(0x550A)
  a4 += section_object_table.size;
  if (dbf(d7)) GOTO(0x54B2);
  RTS();
END_ROUTINE

// $5514: the 16 x 16 picture at a1 to pixel x d0.w from a0 (plane 0 of the
// column holding x), blit_rows lines, shifted at draw time into two
// columns; a column outside the play field (pixels 64-255) is not written.
ROUTINE(sub_005514, 0x005514)
  a0 += 14;
  wr8(clip_left_flag, 0xFF);
  wr8(clip_right_flag, 0xFF);
  if ((d0 & 0xFFFF) > 240) {
    wr16(clip_right_flag, 0);
    if ((d0 & 0xFFFF) >= 256) RTS();
  }
  if ((d0 & 0xFFFF) < 64) {
    wr16(clip_left_flag, 0);
    if ((d0 & 0xFFFF) <= 48) RTS();
  }
  put<W>(d6, d0 & 15);
  if ((d6 & 0xFFFF) == 0) GOTO(0x5540);
  if ((d6 & 0xFFFF) > 8) GOTO(0x55C0);
  GOTO(0x5580);

  // s = 0: one column, the flags not looked at
HERE(0x5540)
  a0 -= 8;
LOOP(0x5544)
  load_object_line();
  a1 += 8;
  object_column(a0 - 6, ~(d0 | d1 | d2 | d3), d0, d1, d2, d3);
  a0 += 160;
  wr16(blit_rows, rd16(blit_rows) - 1);
  if (rd16(blit_rows) != 0) GOTO(0x5544);
  RTS();

  // s = 1-8: each word from the high half shifted right by s
LOOP(0x5580)
  load_object_line();
  d0 = (d0 << 16) >> (d6 & 15);
  d1 = (d1 << 16) >> (d6 & 15);
  d2 = (d2 << 16) >> (d6 & 15);
  d3 = (d3 << 16) >> (d6 & 15);
  object_shifted_line();
  wr16(blit_rows, rd16(blit_rows) - 1);
  if (rd16(blit_rows) != 0) GOTO(0x5580);
  RTS();

  // s = 9-15: each word from the low half shifted left by 16 - s
LOOP(0x55C0)
  load_object_line();
  d0 <<= 16 - (d6 & 15);
  d1 <<= 16 - (d6 & 15);
  d2 <<= 16 - (d6 & 15);
  d3 <<= 16 - (d6 & 15);
  object_shifted_line();
  wr16(blit_rows, rd16(blit_rows) - 1);
  if (rd16(blit_rows) != 0) GOTO(0x55C0);
  RTS();
END_ROUTINE

// $5680: for the vent at a4, d6 := 0 when a player in play is within 30
// pixels sideways (else -1, the side left as it was), and its side: 0
// (puffs down) when player 1, in play, is lower than the vent by its own
// test, else when player 2 is lower by its own; 1 otherwise.
ROUTINE(sub_005680, 0x005680)
  d6 = 0xFFFFFFFF;
  a3 = player1;
  if (player_near()) GOTO(0x56A4);
  a3 = player2;
  if (!player_near()) RTS();
HERE(0x56A4)
  d6 = 0;
  if (rd16(player1 + player_record::lives) != 0) {
    put<W>(d0, rd16(a4 + sobj::y) + 7);
    put<W>(d1, rd16(player1 + player_record::y) + 16);
    if (((d0 - d1) & 0x8000) != 0) {
      wr16(a4 + sobj::side, 0);
      RTS();
    }
  }
  if (rd16(player2 + player_record::lives) != 0) {
    put<W>(d0, rd16(a4 + sobj::y));
    if (((d0 - rd16(player2 + player_record::y)) & 0x8000) != 0) {
      wr16(a4 + sobj::side, 0);
      RTS();
    }
  }
  wr16(a4 + sobj::side, 1);
  RTS();
END_ROUTINE

// $5904: a hostile dot bullet (owner $FFFF) at x d0.w, y d1.w with dx d2.w,
// dy d3.w and range d4.w into the first free record; a full table fires
// nothing. Only d7 and a6 are used, and they are kept.
ROUTINE(sub_005904, 0x005904)
  push32(d7);
  push32(a6);
  a6 = dot_bullet_table.address;
  d7 = dot_bullet_table.records - 1;
LOOP(0x5910)
  tst<W>(rd16(a6 + 4));
  if (cc_eq()) GOTO(0x5922);
  a6 += dot_bullet_table.size;
  if (dbf(d7)) GOTO(0x5910);
  GOTO(0x5940);
HERE(0x5922)
  wr16(a6, d0);
  wr16(a6 + 2, d1);
  wr16(a6 + 0x0A, d2);
  wr16(a6 + 0x0C, d3);
  wr16(a6 + 6, d4);
  wr16(a6 + 4, 0xFFFF);
  wr16(a6 + 8, 0xFFFF);
HERE(0x5940)
  a6 = pop32();
  d7 = pop32();
  RTS();
END_ROUTINE

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
  // A word shift: the upper half of d1 is whatever the caller left there,
  // and a bit of it shifted down would move the sprite 32 KB on.
  a0 += ((d1 & 0xFFFF) >> 1) & 0xFFF8;
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

// ---- Object drawing -------------------------------------------------------------

namespace {

constexpr u32 shot_frame_bytes = 54; // 9 lines of three plane words
constexpr u32 shot_lines = 9;
constexpr u32 lowest_object_line = 192;

// The object's picture line at a2 into the 8-pixel group at `screen`: the
// bytes 0, 2 and 4 of the line (from `side`, 0 for the left group, 1 for
// the right) are planes 0-2; with plane3_set the drawn pixels take colours
// 9-15, else plane 3 is cleared under them (colours 1-7).
inline void object_group(u32 screen, u32 side, bool plane3_set) {
  const u32 b0 = rd8(a2 + side), b1 = rd8(a2 + 2 + side), b2 = rd8(a2 + 4 + side);
  const u32 m = b0 | b1 | b2;
  if (plane3_set) wr8(screen + 6, rd8(screen + 6) | m);
  wr8(screen, (rd8(screen) & ~m) | b0);
  wr8(screen + 2, (rd8(screen + 2) & ~m) | b1);
  wr8(screen + 4, (rd8(screen + 4) & ~m) | b2);
  if (!plane3_set) wr8(screen + 6, rd8(screen + 6) & ~m);
}

// a0 at the line's first byte of the object's column (d1.w the line, d0.w
// the screen column), a1 at the right group, a2 at the picture of frame
// d2.w shifted by the column's low 3 bits.
inline void place_object() {
  a0 = adda<W>((d1 * line_bytes) & 0xFFFF, rd32(draw_screen));
  a0 += (d0 >> 1) & 0x7FF8;
  if (d0 & 8) {
    a0 += 1;
    a1 = a0 + 7;
  } else {
    a1 = a0 + 1;
  }
  a2 = shot_frames + (d2 & 0xFFFF) * shot_frame_bytes + (d0 & 7) * shot_copy_bytes;
}

} // namespace

// $5E32: the grenades of grenade_table, from the pre-shifted shot
// pictures, in colours 9-15. A grenade whose line leaves 0-192 or whose
// screen column leaves 67-248 is taken out of play. Every record passes
// both hooks (a6 = the record), free ones too.
ROUTINE(draw_objects_a, 0x005E32)
  a6 = grenade_table.address;
  put<W>(d7, grenade_table.records - 1);
LOOP_HOOK(0x005E3A)
  tst<W>(rd16(a6 + 4));
  if (cc_eq()) GOTO(0x005F10);
  put<W>(d1, rd16(a6 + 2) - 100);
  cmp<W>(lowest_object_line, d1);
  if (cc_hi()) GOTO(0x5F0A);
  put<W>(d0, rd16(a6) - 36);
  cmp<W>(67, d0);
  if (cc_cs()) GOTO(0x5F04);
  cmp<W>(248, d0);
  if (cc_hi()) GOTO(0x5F04);
  put<W>(d2, rd16(a6 + 0x0A));
  place_object();
  put<W>(d6, shot_lines - 1);
LOOP(0x5EAA)
  object_group(a0, 0, true);
  object_group(a1, 1, true);
  a0 += line_bytes;
  a1 += line_bytes;
  a2 += 6;
  if (dbf(d6)) GOTO(0x5EAA);
  GOTO(0x005F10);
LOOP(0x5F04)
HERE(0x5F0A)
  wr16(a6 + 4, 0);
  HOOK(0x005F10)
  a6 += grenade_table.size;
  if (dbf(d7)) GOTO(0x005E3A);
  RTS();
END_ROUTINE

// $5F1A: the projectiles and impacts of projectile_table, twin of the
// grenades' drawing: screen columns 64-244, colours 1-7.
ROUTINE(draw_objects_b, 0x005F1A)
  a6 = projectile_table.address;
  put<W>(d7, projectile_table.records - 1);
LOOP_HOOK(0x005F22)
  tst<W>(rd16(a6));
  if (cc_eq()) GOTO(0x005FF4);
  put<W>(d1, rd16(a6 + 4) - 100);
  cmp<W>(lowest_object_line, d1);
  if (cc_hi()) GOTO(0x5FEE);
  put<W>(d0, rd16(a6 + 2) - 36);
  cmp<W>(64, d0);
  if (cc_cs()) GOTO(0x5FE8);
  cmp<W>(244, d0);
  if (cc_hi()) GOTO(0x5FE8);
  put<W>(d2, rd16(a6 + 6));
  place_object();
  put<W>(d6, shot_lines - 1);
LOOP(0x5F92)
  object_group(a0, 0, false);
  object_group(a1, 1, false);
  a0 += line_bytes;
  a1 += line_bytes;
  a2 += 6;
  if (dbf(d6)) GOTO(0x5F92);
  GOTO(0x005FF4);
LOOP(0x5FE8)
HERE(0x5FEE)
  wr16(a6, 0);
  HOOK(0x005FF4)
  a6 += projectile_table.size;
  if (dbf(d7)) GOTO(0x005F22);
  RTS();
END_ROUTINE

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

// ---- Enemy drawing -----------------------------------------------------------

namespace {

constexpr u32 enemy_draw_list = 0x00029E; // 25 words: y of an active record, else $FFFF
constexpr u32 drawn_records = 25;
constexpr u32 enemy_frames = 0x05E60A;    // bank 0: 39 frames of 22 lines x 3 planes
constexpr u32 frame_bytes = 132;
constexpr u32 shifted_frame_bytes = 264;  // banks 1-7: two columns a line
constexpr u32 bank_bytes = 10296;
constexpr u32 playfield_offset = 32;      // window column 0 of a line
constexpr u32 right_column_offset = 120;  // window column 11

// One 16-pixel column of one line at a1 from the planes p0-p2: plane 3
// marks the opaque pixels (colours 9-15), planes 0-2 take the sprite's
// bits there. a1 ends on the plane 2 word.
inline void draw_column(u32 p0, u32 p1, u32 p2) {
  const u32 m = (p0 | p1 | p2) & 0xFFFF;
  wr16(a1 + 6, rd16(a1 + 6) | m);
  wr16(a1, (rd16(a1) & ~m) | p0);
  wr16(a1 + 2, (rd16(a1 + 2) & ~m) | p1);
  wr16(a1 + 4, (rd16(a1 + 4) & ~m) | p2);
  a1 += 4;
}

// The first line's window column 0: draw_screen + 160 (y - 100) + 32, the
// product taken as a signed word.
inline u32 window_line(u32 y) {
  return rd32(draw_screen) + sext16((line_bytes * ((y - 100) & 0xFFFF)) & 0xFFFF) + playfield_offset;
}

} // namespace

// $5B32: draws the enemies of records 0-24, the topmost first, so that a
// lower enemy covers a higher one; on equal y the higher record first.
ROUTINE(sub_005B32, 0x005B32)
  a6 = enemy_table.address;
  a0 = enemy_draw_list;
  d7 = drawn_records - 1;
LOOP(0x5B3E)
  wr16(a0, rd16(a6 + 4) != 0 ? rd16(a6 + 2) : 0xFFFF);
  a0 += 2;
  a6 += enemy_table.size;
  if (dbf(d7)) GOTO(0x5B3E);
LOOP(0x5B5A)
  put<W>(d1, 0xFFFF);
  a0 = enemy_draw_list + 2 * drawn_records;
  d7 = drawn_records - 1;
LOOP(0x5B64)
  a0 -= 2;
  cmp<W>(d1, rd16(a0));
  if (cc_cc()) GOTO(0x5B70);
  put<W>(d1, rd16(a0));
  a1 = a0;
HERE(0x5B70)
  if (dbf(d7)) GOTO(0x5B64);
  if (d1 & 0x8000) RTS();
  wr16(a1, 0xFFFF);
  push32(a6);
  push32(a2);
  push32(a1);
  push32(a0);
  push32(d5);
  a6 = enemy_table.address + (a1 - enemy_draw_list) / 2 * enemy_table.size;
  put<W>(d0, rd16(a6));
  put<W>(d2, rd16(a6 + 2));
  put<W>(d3, rd16(a6 + 8));
  JSR(0x005BA8, 0x5BA0)
  HOOK_AT(0x005BA0)
  d5 = pop32();
  a0 = pop32();
  a1 = pop32();
  a2 = pop32();
  a6 = pop32();
  GOTO(0x5B5A);
END_ROUTINE

// $5BA8: one enemy at x d0.w, y d2.w, frame d3.w (record a6). Enemies that
// have left the window by a sprite's width, or fallen below it, are taken
// out of play; one above the window stays, undrawn. Its two edge cases
// are at $5CD4-$5DCB.
ROUTINE(draw_enemy, 0x005BA8)
  HOOK_AT(0x005BA8)
  put<W>(d7, 21);
  d5 = 0;
  if ((d2 & 0xFFFF) > 99) GOTO(0x5BC8);
  put<W>(d6, 100 - (d2 & 0xFFFF));
  put<W>(d7, 21 - (d6 & 0xFFFF));
  d5 = (d6 & 0xFFFF) * 6;
  put<W>(d2, 100);
  GOTO(0x5BE0);
HERE(0x5BC8)
  if ((d2 & 0xFFFF) < 279) GOTO(0x5BE0);
  if ((d2 & 0xFFFF) > 300) {
    wr16(a6 + 4, 0);
    RTS();
  }
  put<W>(d7, 21 - ((d2 & 0xFFFF) - 279));
HERE(0x5BE0)
  if ((d0 & 0xFFFF) <= 99) GOTO(0x5CD4);
  if ((d0 & 0xFFFF) > 276) GOTO(0x5D50);
  put<W>(d0, (d0 & 0xFFFF) - 100);
  put<W>(d1, d0 & 0x000E);
  put<W>(d0, (d0 & 0xFFFF) >> 4);
  a1 = window_line(d2);
  if ((d1 & 0xFFFF) != 0) GOTO(0x5C1C);
  JSR(0x005C28, 0x5C26)
  RTS();
HERE(0x5C1C)
  JSR(0x005C68, 0x5C22)
  RTS();

  // the left edge (code at $5CD4): bank 0 rotated left by the even part of
  // 100 - x into window column 0, the pixels past the edge dropped
HERE(0x5CD4)
  if (d7 & 0x8000) RTS();
  put<W>(d6, 100 - (d0 & 0xFFFF));
  if ((d6 & 0xFFFF) >= 16) {
    wr16(a6 + 4, 0);
    RTS();
  }
  put<W>(d6, d6 & 0xFFFE);
  a1 = window_line(d2);
  a2 = enemy_frames + d5 + (d3 & 0xFFFF) * frame_bytes;
LOOP(0x5D00)
  draw_column((rd16(a2) << (d6 & 0xF)) & 0xFFFF, (rd16(a2 + 2) << (d6 & 0xF)) & 0xFFFF, (rd16(a2 + 4) << (d6 & 0xF)) & 0xFFFF);
  a2 += 6;
  a1 += line_bytes - 4;
  if (dbf(d7)) GOTO(0x5D00);
  RTS();

  // the right edge (code at $5D50): rotated right by the even part of
  // x - 276 into window column 11
HERE(0x5D50)
  if (d7 & 0x8000) RTS();
  put<W>(d6, (d0 & 0xFFFF) - 276);
  if ((d6 & 0xFFFF) >= 16) {
    wr16(a6 + 4, 0);
    RTS();
  }
  put<W>(d6, d6 & 0xFFFE);
  a1 = window_line(d2) - playfield_offset + right_column_offset;
  a2 = enemy_frames + d5 + (d3 & 0xFFFF) * frame_bytes;
LOOP(0x5D7C)
  draw_column(rd16(a2) >> (d6 & 0xF), rd16(a2 + 2) >> (d6 & 0xF), rd16(a2 + 4) >> (d6 & 0xF));
  a2 += 6;
  a1 += line_bytes - 4;
  if (dbf(d7)) GOTO(0x5D7C);
  RTS();
END_ROUTINE

// $5C28: bank 0 into window column d0.w from a1, d7.w + 1 lines, the
// first d5 bytes of the frame skipped.
ROUTINE(sub_005C28, 0x005C28)
  if (d7 & 0x8000) RTS();
  a1 += (d0 & 0xFFFF) * 8;
  a2 = enemy_frames + d5 + (d3 & 0xFFFF) * frame_bytes;
LOOP(0x5C40)
  draw_column(rd16(a2), rd16(a2 + 2), rd16(a2 + 4));
  a2 += 6;
  a1 += line_bytes - 4;
  if (dbf(d7)) GOTO(0x5C40);
  RTS();
END_ROUTINE

// $5C68: the pre-shifted bank of shift d1.w (2-14): two columns a line.
ROUTINE(sub_005C68, 0x005C68)
  if (d7 & 0x8000) RTS();
  a2 = enemy_frames + ((d1 & 0xFFFF) >> 1) * bank_bytes + 2 * d5 + (d3 & 0xFFFF) * shifted_frame_bytes;
  a1 += (d0 & 0xFFFF) * 8;
LOOP(0x5C8C)
  draw_column(rd16(a2), rd16(a2 + 2), rd16(a2 + 4));
  a1 += 4;
  draw_column(rd16(a2 + 6), rd16(a2 + 8), rd16(a2 + 10));
  a2 += 12;
  a1 += line_bytes - 12;
  if (dbf(d7)) GOTO(0x5C8C);
  RTS();
END_ROUTINE

