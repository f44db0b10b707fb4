// Page $6000: the homing units' drawing, the dot bullets' drawing (plotted
// as shot frame 24 over any background, freed once they leave the field),
// the goal's drawing, and the bullets: their drawing as 2 x 2-pixel marks,
// their per-frame hit tests against the ground, the enemies, the players
// and the vehicles, and the spawner every shooter calls.
#include <algorithm>

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "game/routine_kit.h"
#include "game/shot_ram.h"

namespace {

namespace pr = player_record;

constexpr u32 line_bytes = 160;
constexpr u32 unit_lines = 16;
constexpr u32 goal_lines = 25;
constexpr u32 goal_line_bytes = 16;

// A play-field y whose top line is the screen's line 0.
constexpr i32 field_top = 100;
constexpr i32 field_bottom = 299;

inline i32 signed_word(u32 v) { return static_cast<i16>(v & 0xFFFF); }

// One masked 16-pixel column: the source's four plane words at `src`
// over the screen's at `dst`; colour 0 keeps the screen.
inline void masked_column(u32 src, u32 dst) {
  const u32 p0 = rd16(src), p1 = rd16(src + 2), p2 = rd16(src + 4), p3 = rd16(src + 6);
  const u32 mask = ~(p0 | p1 | p2 | p3);
  wr16(dst, (rd16(dst) & mask) | p0);
  wr16(dst + 2, (rd16(dst + 2) & mask) | p1);
  wr16(dst + 4, (rd16(dst + 4) & mask) | p2);
  wr16(dst + 6, (rd16(dst + 6) & mask) | p3);
}

} // namespace

// ---- homing units: drawing ---------------------------------------------------------

// $652E: draws every placed homing unit; a4 kept.
ROUTINE(sub_00652E, 0x00652E)
  push32(a4);
  a4 = homing_unit_table.address;
  put<W>(d7, homing_unit_table.records - 1);
LOOP(0x653A)
  tst<W>(rd16(a4 + homing_unit::active));
  if (cc_eq()) GOTO(0x6546);
  push16(d7);
  JSR(0x006550, 0x6544)
  put<W>(d7, pop16());
HERE(0x6546)
  a4 += homing_unit_table.size;
  if (dbf(d7)) GOTO(0x653A);
  a4 = pop32();
  RTS();
END_ROUTINE

// $6550: the homing unit at a4, one 16-pixel column clipped to the play
// field's lines (freed once below it), then moved by its own step, drawn
// or not. y is signed: a unit still above the field (one mounted on a
// vehicle coming in from the top) waits there instead of being freed.
// d1 = lines, a0 = source, a1 = screen.
ROUTINE(sub_006550, 0x006550)
  tst<W>(rd16(a4 + homing_unit::active));
  if (cc_eq()) GOTO(0x65FE);
  {
    const i32 y = signed_word(rd16(a4 + homing_unit::y));
    if (y > field_bottom) {
      wr16(a4 + homing_unit::active, 0);
      GOTO(0x65FE);
    }
    if (y <= field_top - static_cast<i32>(unit_lines)) GOTO(0x65FE);
    const i32 clipped = y < field_top ? field_top - y : 0;
    const i32 below = y > field_bottom + 1 - static_cast<i32>(unit_lines) ? y - (field_bottom + 1 - unit_lines) : 0;
    d1 = unit_lines - clipped - below;
    a0 = homing_unit_frames + (rd16(a4 + homing_unit::kind) & 0xFFFF) * homing_unit_kind_bytes +
         (rd16(a4 + homing_unit::frame) & 0xFFFF) * 128 + 8 * clipped;
    a1 = rd32(draw_screen) + static_cast<u32>((y + clipped - field_top) * static_cast<i32>(line_bytes)) +
         ((rd16(a4 + homing_unit::x) - 36) & 0xFFFF) / 2;
  }
LOOP(0x65E0)
  masked_column(a0, a1);
  a0 += 8;
  a1 += line_bytes;
  d1 -= 1;
  if (d1 != 0) GOTO(0x65E0);
HERE(0x65FE)
  wr16(a4 + homing_unit::y, rd16(a4 + homing_unit::y) + rd16(a4 + homing_unit::step));
  RTS();
END_ROUTINE

// ---- dot bullets: drawing ------------------------------------------------------

namespace {

constexpr u32 shot_frames = 0x04694A;   // copy 0; copy k moved k pixels right
constexpr u32 shot_copy_bytes = 1566;
constexpr u32 shot_frame_bytes = 54;    // 9 lines of three plane words
constexpr u32 dot_frame = 24;
constexpr u32 dot_lines = 9;

// The shot flies in play-field coordinates; these are its screen limits.
constexpr u32 last_dot_line = 192; // its ninth line falls just past the screen
constexpr u32 first_dot_px = 67, last_dot_px = 248;

// One screen byte of each plane at `at` (plane p at + 2p) from the frame
// bytes b0-b2: plane 3 marks the shot's pixels, so it shows in colours
// 9-15 whatever lies below.
inline void dot_byte(u32 at, u32 b0, u32 b1, u32 b2) {
  const u32 m = (b0 | b1 | b2) & 0xFF;
  wr8(at + 6, rd8(at + 6) | m);
  wr8(at, (rd8(at) & ~m) | b0);
  wr8(at + 2, (rd8(at + 2) & ~m) | b1);
  wr8(at + 4, (rd8(at + 4) & ~m) | b2);
}

} // namespace

// $660C: every live dot bullet: freed without a burst once it is out of
// lines 0-192 or pixels 67-248, else drawn. a0 and a2 hold the two screen
// bytes of the frame's high and low bytes: within one plane word when bit
// 3 of px is clear, else the word's low byte and the next group's high one.
ROUTINE(sub_00660C, 0x00660C)
LOOP(0x660C)
  a6 = dot_bullet_table.address;
  d7 = dot_bullet_table.records - 1;
LOOP(0x6616)
  tst<W>(rd16(a6 + 4));
  if (cc_eq()) GOTO(0x66E6);
  put<W>(d1, rd16(a6 + 2) - 100);
  cmp<W>(last_dot_line, d1);
  if (cc_hi()) GOTO(0x66E0);
  put<W>(d0, rd16(a6) - 36);
  cmp<W>(first_dot_px, d0);
  if (cc_cs()) GOTO(0x66E0);
  cmp<W>(last_dot_px, d0);
  if (cc_hi()) GOTO(0x66E0);

  a1 = shot_frames + (d0 & 7) * shot_copy_bytes + dot_frame * shot_frame_bytes;
  a0 = rd32(draw_screen) + (d1 & 0xFFFF) * line_bytes + ((d0 & 0xFFFF) >> 4) * 8;
  a2 = a0 + 1;
  if ((d0 & 8) == 0) GOTO(0x6680);
  a0 += 1;
  a2 += 7;
HERE(0x6680)
  put<W>(d6, dot_lines - 1);
LOOP(0x6684)
  d2 = rd16(a1);
  d3 = rd16(a1 + 2);
  d4 = rd16(a1 + 4);
  a1 += 6;
  dot_byte(a0, d2 >> 8, d3 >> 8, d4 >> 8);
  dot_byte(a2, d2 & 0xFF, d3 & 0xFF, d4 & 0xFF);
  a0 += line_bytes;
  a2 += line_bytes;
  if (dbf(d6)) GOTO(0x6684);
  GOTO(0x66E6);

HERE(0x66E0)
  wr16(a6 + 4, 0);
HERE(0x66E6)
  a6 += dot_bullet_table.size;
  if (dbf(d7)) GOTO(0x6616);
  RTS();
END_ROUTINE

// ---- the goal: drawing ----------------------------------------------------------

// $66F4: the goal, when one is in place.
ROUTINE(sub_0066F4, 0x0066F4)
  a6 = goal_record.address;
  tst<W>(rd16(a6 + goal::active));
  if (cc_eq()) GOTO(0x6722);
  push32(a6);
  push32(d5);
  put<W>(d0, rd16(a6 + goal::x));
  put<W>(d2, rd16(a6 + goal::y));
  put<W>(d3, rd16(a6 + goal::picture));
  JSR(0x006724, 0x671C)
  d5 = pop32();
  a6 = pop32();
HERE(0x6722)
  RTS();
END_ROUTINE

// $6724: goal picture d3.w at x d0.w (rounded down to a 16-pixel column),
// y d2.w: two masked columns a line. The goal scrolls on when nobody
// reaches it, so y is taken as signed and only the picture's lines that
// fall on the play field's 200 lines are drawn (none when no line does):
// drawn further down it would run into the ring and the other screen.
// d1 = lines, a0 = source, a1 = screen.
ROUTINE(sub_006724, 0x006724)
  {
    const i32 y = signed_word(d2);
    const i32 first = y < field_top ? field_top - y : 0;
    const i32 end = std::min<i32>(goal_lines, field_bottom + 1 - y);
    if (first >= end) GOTO(0x67BC);
    d1 = static_cast<u32>(end - first);
    a0 = goal_frames + (d3 & 0xFFFF) * goal_frame_bytes + goal_line_bytes * static_cast<u32>(first);
    a1 = rd32(draw_screen) + static_cast<u32>((y + first - field_top) * static_cast<i32>(line_bytes)) + 32 +
         static_cast<u32>(((signed_word(d0) - 100) >> 4) * 8);
  }
LOOP(0x678E)
  masked_column(a0, a1);
  masked_column(a0 + 8, a1 + 8);
  a0 += goal_line_bytes;
  a1 += line_bytes;
  d1 -= 1;
  if (d1 != 0) GOTO(0x678E);
HERE(0x67BC)
  RTS();
END_ROUTINE

// ---- bullets -----------------------------------------------------------------------

namespace {

constexpr u32 left_edge = 63;   // screen columns 64-254 take a mark
constexpr u32 right_edge = 254;
constexpr u32 last_line = 198;  // a mark covers its line and the next

// Frees a bullet outside the screen columns 64-254 or lines 0-198; else
// d1 = the mark's first byte and d2 = its mask (zeros at its pixels).
inline bool mark_place() {
  const u32 px = (rd16(a0 + bullet::x) - 36) & 0xFFFF;
  const u32 line = (rd16(a0 + bullet::y) - 100) & 0xFFFF;
  if (px > right_edge || px <= left_edge || line > last_line) {
    wr16(a0 + bullet::live, 0);
    return false;
  }
  d1 = a4 + line * line_bytes + (px >> 4) * 8 + ((px >> 3) & 1);
  d2 = (0xFF3F >> (px & 7)) & 0xFF;
  return true;
}

inline void mark_light(u32 at) {
  for (u32 p = 0; p < 6; p += 2) wr8(at + p, rd8(at + p) & d2);
  wr8(at + 6, rd8(at + 6) | (~d2 & 0xFF));
}

inline void mark_dark(u32 at) {
  for (u32 p = 0; p < 8; p += 2) wr8(at + p, rd8(at + p) & d2);
}

} // namespace

// $6812: frees the bullets that left the screen and marks the others in
// colour 8 (light) or 0 (dark) as the mission's section asks. The host
// follows each record at the hooks with a0 on it.
ROUTINE(draw_bullets, 0x006812)
  put<W>(d0, rd16(chosen_mission) * 7 + rd16(stream_section));
  put<B>(d0, rd8(bullet_style_table + (d0 & 0xFFFF)));
  a4 = rd32(draw_screen);
  a0 = bullet_table.address;
  put<W>(d7, bullet_table.records - 1);
  tst<B>(d0);
  if (cc_eq()) GOTO(0x68DC);
LOOP_HOOK(0x6848)
  tst<W>(rd16(a0 + bullet::live));
  if (cc_eq()) GOTO(0x68B4);
  if (!mark_place()) GOTO(0x68B4);
  mark_light(d1);
  mark_light(d1 + line_bytes);
HOOK(0x68B4)
  a0 += bullet_table.size;
  if (dbf(d7)) GOTO(0x6848);
  RTS();

LOOP_HOOK(0x68DC)
  tst<W>(rd16(a0 + bullet::live));
  if (cc_eq()) GOTO(0x6946);
  if (!mark_place()) GOTO(0x6946);
  mark_dark(d1);
  mark_dark(d1 + line_bytes);
HOOK(0x6946)
  a0 += bullet_table.size;
  if (dbf(d7)) GOTO(0x68DC);
  RTS();
END_ROUTINE

namespace {

constexpr u32 enemies_hit = 25; // bullets test enemy records 0-24 only
constexpr u32 enemy_box_w = 16, enemy_box_h = 21;
constexpr u32 player_box_left = 6, player_box_w = 12, player_box_h = 21;
constexpr u32 kill_points = 50;
constexpr u32 impact_ground = 28, impact_enemy = 26, impact_vehicle = 27;

namespace enemy {
constexpr u32 x = 0x00, y = 0x02, active = 0x04, frame = 0x08, dx = 0x0C, dy = 0x0E, dying = 0x26;
} // namespace enemy

namespace vehicle {
constexpr u32 active = 0x00, x = 0x02, y = 0x04, height = 0x0A, width = 0x0E;
} // namespace vehicle

// d3 = x, d4 = y, d5 = owner of the bullet at a0.
inline bool players_bullet() { return (d5 & 0x8000) == 0; }
inline bool inside(u32 from, u32 at, u32 size) { return ((at - from) & 0xFFFF) <= size; }

} // namespace

// $6950: every live bullet against the ground, then a player's against the
// enemies or a hostile one against the players, then against the
// vehicles; a bullet that hit nothing moves and ages. A life of n gives
// n + 1 moves. a0 = record, d7 = records left, d3/d4/d5 = x, y, owner.
ROUTINE(sub_006950, 0x006950)
  a0 = bullet_table.address;
  put<W>(d7, bullet_table.records - 1);
LOOP(0x695A)
  tst<W>(rd16(a0 + bullet::live));
  if (cc_eq()) GOTO(0x6B6A);
  put<W>(d3, rd16(a0 + bullet::x));
  put<W>(d4, rd16(a0 + bullet::y));
  put<W>(d5, rd16(a0 + bullet::owner));

  // The ground under the bullet: the map's first two rows from the copy
  // the players' pass took.
  if ((d5 & 0xFFFF) == bullet::passes_ground) GOTO(0x69AA);
  put<W>(d2, (rd16(scroll_pos) - d4 + 100) & 0x03F0);
  put<W>(d2, d2 + (((d3 - 100) & 0xFFFF) >> 4));
  if ((d2 & 0xFFFF) < 2 * collision_row_bytes) put<W>(d2, d2 + (collision_copy - collision_map));
  tst<B>(rd8(collision_map + (d2 & 0xFFFF)));
  if (cc_eq()) GOTO(0x69AA);
  wr16(a0 + bullet::live, 0);
  if (!players_bullet()) GOTO(0x6B6A);
  push32(a0);
  push32(d7);
  put<W>(d0, d3 - 2);
  put<W>(d1, d4 - 3);
  put<W>(d2, impact_ground);
  JSR(0x00A85E, 0x69A2)
  d7 = pop32();
  a0 = pop32();
  GOTO(0x6B6A);

HERE(0x69AA)
  if (!players_bullet()) GOTO(0x6A70);
  a4 = enemy_table.address;
  put<W>(d6, enemies_hit - 1);
LOOP(0x69C0)
  if (rd16(a4 + enemy::active) != 0 && rd16(a4 + enemy::dying) == 0 && inside(rd16(a4 + enemy::x), d3, enemy_box_w) &&
      inside(rd16(a4 + enemy::y), d4, enemy_box_h))
    GOTO(0x69F8);
  a4 += enemy_table.size;
  if (dbf(d6)) GOTO(0x69C0);
  GOTO(0x6AD8);

  // An enemy hit: it dies where it stands, with an impact, a sample and
  // 50 points and a tally for the bullet's owner.
HERE(0x69F8)
  wr16(a0 + bullet::live, 0);
  wr16(a4 + enemy::dying, 0xFFFF);
  push32(a0);
  push32(d7);
  push32(d5);
  push32(a6);
  a6 = a4;
  put<W>(d0, (rd16(a4 + enemy::frame) & 0xFFFF) > 16 ? 10 : 3);
  JSR(0x00B1E4, 0x6A0C)
  wr16(a4 + enemy::dx, 0);
  wr16(a4 + enemy::dy, 0);
  put<W>(d0, rd16(a4 + enemy::x) + 4);
  put<W>(d1, rd16(a4 + enemy::y) + 8);
  put<W>(d2, impact_enemy);
  push32(a4);
  JSR(0x00A85E, 0x6A2A)
  a4 = pop32();
  JSR(0x007576, 0x6A3C)
  put<W>(d0, 4 + (d0 & 1));
  JSR(0x00E756, 0x006A4A) // the host pans by the enemy's x at a4
  a6 = pop32();
  d5 = pop32();
  d7 = pop32();
  a0 = pop32();
  a1 = (d5 & 0xFFFF) == 0 ? player1 : player2;
  wr32(a1 + pr::score, rd32(a1 + pr::score) + kill_points);
  wr16(a1 + pr::tally, rd16(a1 + pr::tally) + 1);
  GOTO(0x6B6A);

  // A hostile bullet against the players; current_player follows the
  // record tested for the death it may start.
HERE(0x6A70)
  tst<W>(rd16(dev_freerun));
  if (cc_ne()) GOTO(0x6AD8);
  wr16(current_player, 0);
  a4 = player1;
  put<W>(d6, 1);
LOOP(0x6A80)
  tst<W>(rd16(a4 + pr::lives));
  if (cc_eq()) GOTO(0x6ACA);
  tst<W>(rd16(a4 + pr::state));
  if (cc_ne()) GOTO(0x6ACA);
  tst<W>(rd16(a4 + pr::blink));
  if (cc_ne()) GOTO(0x6ACA);
  if (!inside(rd16(a4 + pr::x) + 36 + player_box_left, d3, player_box_w)) GOTO(0x6ACA);
  if (!inside(rd16(a4 + pr::y) + 100, d4, player_box_h)) GOTO(0x6ACA);
  wr16(a0 + bullet::live, 0);
  JSR(0x00AA42, 0x6AC0)
  GOTO(0x6B6A);
HERE(0x6ACA)
  wr16(current_player, rd16(current_player) + 1);
  a4 += player2 - player1;
  if (dbf(d6)) GOTO(0x6A80);

  // The vehicles take no damage from bullets; a player's bullet leaves an
  // impact and a sound.
HERE(0x6AD8)
  if ((d5 & 0xFFFF) == bullet::passes_vehicles) GOTO(0x6B40);
  a4 = vehicle_table.address;
  put<W>(d6, vehicle_table.records - 1);
LOOP(0x6AE0)
  if (rd16(a4 + vehicle::active) != 0 && inside(rd16(a4 + vehicle::x), d3, rd16(a4 + vehicle::width)) &&
      inside(rd16(a4 + vehicle::y), d4, rd16(a4 + vehicle::height)))
    GOTO(0x6B14);
  a4 += vehicle_table.size;
  if (dbf(d6)) GOTO(0x6AE0);
  GOTO(0x6B40);
HERE(0x6B14)
  wr16(a0 + bullet::live, 0);
  if (!players_bullet()) GOTO(0x6B6A);
  save_regs(dregs(0, 3) | dregs(7, 7) | aregs(0, 0));
  put<W>(d0, d3 - 2);
  put<W>(d1, d4 - 3);
  put<W>(d2, impact_vehicle);
  JSR(0x00A85E, 0x6B2C)
  restore_regs(dregs(0, 3) | dregs(7, 7) | aregs(0, 0));
  save_regs(dregs(0, 3) | dregs(7, 7) | aregs(0, 0));
  put<W>(d0, 0);
  JSR(0x00E756, 0x006B3C) // the host pans by the bullet's x in d3.w
  restore_regs(dregs(0, 3) | dregs(7, 7) | aregs(0, 0));
  GOTO(0x6B6A);

HERE(0x6B40)
  wr16(a0 + bullet::x, d3 + rd16(a0 + bullet::dx));
  wr16(a0 + bullet::y, d4 + rd16(a0 + bullet::dy));
  tst<W>(rd16(a0 + bullet::life));
  if (cc_eq()) {
    wr16(a0 + bullet::live, 0);
    GOTO(0x6B6A);
  }
  wr16(a0 + bullet::life, rd16(a0 + bullet::life) - 1);
HERE(0x6B6A)
  a0 += bullet_table.size;
  if (dbf(d7)) GOTO(0x695A);
  RTS();
END_ROUTINE

// $6B74: a bullet into the first free record (none when all 30 fly): d0.w
// x, d1.w y, d3.w dx, d4.w dy, d2.w life, d5.w owner. It starts 0, 1/2,
// 1/4 or 3/4 of a step ahead by the frame counter's two low bits, so a
// stream of shots does not move in lockstep. Every register kept.
ROUTINE(sub_006B74, 0x006B74)
  save_regs(dregs(0, 7) | aregs(0, 6));
  a0 = bullet_table.address;
  put<W>(d7, bullet_table.records - 1);
LOOP(0x6B80)
  tst<W>(rd16(a0 + bullet::live));
  if (cc_eq()) GOTO(0x6B94);
  a0 += bullet_table.size;
  if (dbf(d7)) GOTO(0x6B80);
  GOTO(0x6BE4);
HERE(0x6B94)
  wr16(a0 + bullet::x, d0);
  wr16(a0 + bullet::y, d1);
  wr16(a0 + bullet::dx, d3);
  wr16(a0 + bullet::dy, d4);
  wr16(a0 + bullet::owner, d5);
  wr16(a0 + bullet::life, d2);
  wr16(a0 + bullet::live, 0xFFFF);
  put<B>(d6, rd8(fx_bank + 1));
  if (d6 & 2) {
    wr16(a0 + bullet::x, rd16(a0 + bullet::x) + (static_cast<i16>(d3) >> 2));
    wr16(a0 + bullet::y, rd16(a0 + bullet::y) + (static_cast<i16>(d4) >> 2));
  }
  if (d6 & 1) {
    wr16(a0 + bullet::x, rd16(a0 + bullet::x) + (static_cast<i16>(d3) >> 1));
    wr16(a0 + bullet::y, rd16(a0 + bullet::y) + (static_cast<i16>(d4) >> 1));
  }
HERE(0x6BE4)
  restore_regs(dregs(0, 7) | aregs(0, 6));
  RTS();
END_ROUTINE
