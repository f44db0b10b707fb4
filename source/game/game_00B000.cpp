// Page $B000: the enemies' per-frame steps (the script interpreter with its
// animation selection, and the animation step that moves each enemy's
// frame on and frees a dying enemy at the end of its last animation); the
// homing units (placement, aim, fire rhythm and shot); the effects
// (placed, moved, striking enemies and players, drawn); the
// world map's pointer (move, draw, erase), its box hit test, and the
// panel's mission picture and clear.
#include "game/game_io.h"
#include "game/game_ram.h"
#include "game/map_drawing.h"
#include "game/map_ram.h"
#include "game/mission_ram.h"
#include "game/routine_kit.h"
#include "game/shot_ram.h"

namespace {

constexpr u32 anim_offsets = 0x00B20E; // 13 signed words from anim_data
constexpr u32 anim_data = 0x00B228;    // frame bytes, each animation ended by bit 7
constexpr u32 fire_points = 0x00B294;  // key, value, value, x offset, y offset; key < 0 ends
constexpr u32 fire_point_bytes = 10;

namespace enemy {
constexpr u32 x = 0x00, y = 0x02, active = 0x04, frame = 0x08, wait = 0x0A;
constexpr u32 dx = 0x0C, dy = 0x0E, script = 0x10, anim_start = 0x14, anim_pos = 0x18;
constexpr u32 param = 0x1E, param2 = 0x20, dying = 0x26, timer = 0x28;
} // namespace enemy

inline bool script_fix_on() { return g_cpu.patch_flags[1] != 0; }
inline bool is_dying() { return rd16(a6 + enemy::dying) != 0; }

// The movement of a command: duration, dx, dy from a0; the pointer is
// stored past them.
inline void load_movement() {
  wr16(a6 + enemy::wait, rd8(a0));
  wr16(a6 + enemy::dx, sext8(rd8(a0 + 1)));
  wr16(a6 + enemy::dy, sext8(rd8(a0 + 2)));
  a0 += 3;
  wr32(a6 + enemy::script, a0);
}

inline u32 abs16(u32 v) { return (v & 0x8000) ? (0x10000 - (v & 0xFFFF)) & 0xFFFF : v & 0xFFFF; }

} // namespace

// $B09A: one script step for every active record of enemy_table, all 48.
ROUTINE(sub_00B09A, 0x00B09A)
LOOP(0xB09A)
  a6 = enemy_table.address;
  d7 = enemy_table.records - 1;
LOOP(0xB0A4)
  tst<W>(rd16(a6 + enemy::active));
  if (cc_eq()) GOTO(0xB0B0);
  push32(d7);
  JSR(0x00B0B8, 0xB0AC)
  d7 = pop32();
HERE(0xB0B0)
  a6 += enemy_table.size;
  if (dbf(d7)) GOTO(0xB0A4);
  RTS();
END_ROUTINE

// $B0B8: one script step of the enemy at a6. A dying enemy neither moves
// nor fires nor changes its animation, but its counter runs down and the
// end and 252 commands still act.
ROUTINE(enemy_script_step, 0x00B0B8)
LOOP(0xB0B8)
  tst<W>(rd16(a6 + enemy::wait));
  if (cc_eq()) GOTO(0xB0C8);
  wr16(a6 + enemy::wait, rd16(a6 + enemy::wait) - 1);
  GOTO(0xB1BC);
HERE(0xB0C8)
  a0 = rd32(a6 + enemy::script);
LOOP(0xB0CC)
  d0 = 0;
  put<B>(d0, rd8(a0));
  a0 += 1;
  if (d0 == 0xFF) {
    wr16(a6 + enemy::active, 0);
    RTS();
  }
  if (d0 == 0xFE || d0 == 0xFD) {
    if (is_dying()) RTS();
    save_regs(dregs(0, 5) | aregs(0, 1));
    a1 = fire_points;
    GOTO(0xB0F0);
  }
  if (d0 != 0xFC) {
    if (is_dying()) RTS();
    JSR(0x00B1E4, 0xB176)
    wr16(a6 + enemy::param, rd8(a0));
    wr16(a6 + enemy::param2, rd8(a0));
    a0 += 1;
  }
  load_movement();
  if (!script_fix_on()) RTS();
  GOTO(0xB1C2);

  // the fire point of the current frame; d0 still holds the command
LOOP(0xB0F0)
  tst<W>(rd16(a1));
  if (cc_mi()) GOTO(0xB16E);
  cmp<W>(rd16(a6 + enemy::frame), rd16(a1));
  if (cc_eq()) GOTO(0xB104);
  a1 += fire_point_bytes;
  GOTO(0xB0F0);
HERE(0xB104)
  if ((d0 & 0xFF) == 0xFD) GOTO(0xB140);
  d0 = rd16(a6 + enemy::x) + sext16(rd16(a1 + 6));
  d1 = rd16(a6 + enemy::y) + sext16(rd16(a1 + 8));
  d2 = 24;
  d3 = sext16(rd16(a1 + 2));
  d4 = sext16(rd16(a1 + 4));
  d5 = 0xFFFFFFFF;
  JSR(0x006B74, 0xB13C)
  GOTO(0xB16E);
HERE(0xB140)
  d0 = rd16(a6 + enemy::x) + sext16(rd16(a1 + 6));
  d1 = rd16(a6 + enemy::y) + sext16(rd16(a1 + 8));
  d2 = sext16(rd16(a1 + 2));
  d3 = sext16(rd16(a1 + 4));
  put<W>(d5, 0xFFFF);
  JSR(0x006BEA, 0xB16A)
HERE(0xB16E)
  restore_regs(dregs(0, 5) | aregs(0, 1));
  GOTO(0xB0CC);

  // the moving part
HERE(0xB1BC)
HERE(0xB1C2)
  if (is_dying()) RTS();
  wr16(a6 + enemy::x, rd16(a6 + enemy::x) + rd16(a6 + enemy::dx));
  wr16(a6 + enemy::y, rd16(a6 + enemy::y) + rd16(a6 + enemy::dy));
  RTS();
END_ROUTINE

// $B1E4: animation d0.w for the enemy at a6: its start, its first frame
// (whose word takes the offset's high byte along) and the position after
// it. Returns d0 = 0; a0 is kept.
ROUTINE(sub_00B1E4, 0x00B1E4)
  {
    const u32 offset = rd16(anim_offsets + sext16((d0 << 1) & 0xFFFF));
    const u32 start = anim_data + sext16(offset);
    wr32(a6 + enemy::anim_start, start);
    wr16(a6 + enemy::frame, (offset & 0xFF00) | rd8(start));
    wr32(a6 + enemy::anim_pos, start + 1);
  }
  d0 = 0;
  RTS();
END_ROUTINE

// $B386: the animation step of every active record of enemy_table.
ROUTINE(sub_00B386, 0x00B386)
LOOP(0xB386)
  a6 = enemy_table.address;
  d7 = enemy_table.records - 1;
LOOP(0xB390)
  tst<W>(rd16(a6 + enemy::active));
  if (cc_eq()) GOTO(0xB39A);
  JSR(0x00B3A0, 0xB398)
HERE(0xB39A)
  a6 += enemy_table.size;
  if (dbf(d7)) GOTO(0xB390);
  RTS();
END_ROUTINE

// $B3A0: the animation step of the enemy at a6. The timer runs down by a
// rate that grows with the speed; each frame shown costs it 4.
ROUTINE(sub_00B3A0, 0x00B3A0)
LOOP(0xB3A0)
  d0 = abs16(rd16(a6 + enemy::dx));
  d1 = abs16(rd16(a6 + enemy::dy));
  if (d1 > d0) d0 = d1;
  if (d0 == 0) d0 = 2;
  else if (d0 > 5) d0 = 10;
  else d0 <<= 1;
  wr16(a6 + enemy::timer, rd16(a6 + enemy::timer) - d0);
  if ((rd16(a6 + enemy::timer) & 0x8000) == 0) RTS();
LOOP(0xB3D0)
  wr16(a6 + enemy::timer, rd16(a6 + enemy::timer) + 4);
  a0 = rd32(a6 + enemy::anim_pos);
  put<B>(d0, rd8(a0));
  if ((d0 & 0x80) == 0) GOTO(0xB3F0);
  a0 = rd32(a6 + enemy::anim_start);
  wr32(a6 + enemy::anim_pos, a0);
  if (is_dying()) {
    wr16(a6 + enemy::active, 0);
    RTS();
  }
  put<B>(d0, rd8(a0));
  // An animation that starts with its end byte has no frame to show: the
  // current one stays rather than the wrap going round for ever.
  if (d0 & 0x80) RTS();
HERE(0xB3F0)
  wr16(a6 + enemy::frame, d0 & 0xFF);
  wr32(a6 + enemy::anim_pos, a0 + 1);
  if (rd16(a6 + enemy::timer) & 0x8000) GOTO(0xB3D0);
  RTS();
END_ROUTINE

// ---- Homing units ------------------------------------------------------------

namespace {

namespace hu = homing_unit;

constexpr u32 near = 20;          // within this on an axis the unit counts as level
constexpr u32 fire_dirs_searched = 7;
constexpr u32 fire_dir_bytes = 12;
constexpr u32 unit_bullet_life = 300;
constexpr u32 fire_gap_mask = 31; // frames to the next shot: random 0-31

} // namespace

// $B424: a homing unit of kind d0.w at x d1.w + 100, y d2.w with the
// vertical step d3.w into the first free record; last_homing_unit is that
// record, or 0 with all six in use. The countdown, the wreck flag and the
// bullet switch stay as the record's last occupant left them. Every
// register kept.
ROUTINE(sub_00B424, 0x00B424)
  save_regs(dregs(0, 7) | aregs(0, 6));
  a0 = homing_unit_table.address;
  put<W>(d7, homing_unit_table.records - 1);
LOOP(0xB430)
  tst<W>(rd16(a0 + hu::active));
  if (cc_eq()) GOTO(0xB446);
  a0 += homing_unit_table.size;
  if (dbf(d7)) GOTO(0xB430);
  wr32(last_homing_unit, 0);
  GOTO(0xB468);
HERE(0xB446)
  wr16(a0 + hu::kind, d0);
  wr16(a0 + hu::x, d1 + 100);
  wr16(a0 + hu::y, d2);
  wr16(a0 + hu::step, d3);
  wr16(a0 + hu::frame, 0);
  wr16(a0 + hu::active, 0xFFFF);
  wr32(last_homing_unit, a0);
HERE(0xB468)
  restore_regs(dregs(0, 7) | aregs(0, 6));
  RTS();
END_ROUTINE

// $B46E: every placed unit that is no wreck aims, then fires by its rhythm.
ROUTINE(sub_00B46E, 0x00B46E)
  a6 = homing_unit_table.address;
  put<W>(d7, homing_unit_table.records - 1);
LOOP(0xB478)
  tst<W>(rd16(a6 + hu::active));
  if (cc_eq()) GOTO(0xB48A);
  tst<B>(rd8(a6 + hu::wrecked));
  if (cc_mi()) GOTO(0xB48A);
  JSR(0x00B492, 0xB486)
  JSR(0x00B512, 0xB48A)
  a6 += homing_unit_table.size;
  if (dbf(d7)) GOTO(0xB478);
  RTS();
END_ROUTINE

// $B492: the unit at a6 turns toward player 1, or player 2 once player 1
// has no lives: a code of the eight directions (1 also when the target is
// within 20 on both axes) whose picture unit_steer_table gives. Every
// register kept.
ROUTINE(sub_00B492, 0x00B492)
  save_regs(dregs(0, 7) | aregs(0, 6));
  a0 = rd16(player1 + player_record::lives) != 0 ? player1 : player2;
  d5 = 0;
  put<W>(d0, rd16(a6 + hu::x) - (rd16(a0 + player_record::x) + 36) + near);
  if (d0 & 0x8000) d5 = 1;
  else if ((d0 & 0xFFFF) > 2 * near) d5 = 4;
  put<W>(d0, rd16(a6 + hu::y) - (rd16(a0 + player_record::y) + 100) + near);
  if (d0 & 0x8000) d5 += 2;
  else if ((d0 & 0xFFFF) > 2 * near) d5 += 8;
  else if (d5 == 0) d5 = 1;
  JSR(0x00B4FC, 0xB4F6)
  restore_regs(dregs(0, 7) | aregs(0, 6));
  RTS();
END_ROUTINE

// $B4FC: the picture of direction code d5.w from unit_steer_table into the
// unit at a6. The table has no end mark: the search stops where the code
// after it begins, and a code it does not hold leaves the picture as it was.
ROUTINE(sub_00B4FC, 0x00B4FC)
  a0 = unit_steer_table;
LOOP(0xB502)
  cmp<W>(d5, rd16(a0));
  if (cc_eq()) GOTO(0xB50C);
  a0 += 4;
  if (a0 < unit_steer_end) GOTO(0xB502);
  RTS();
HERE(0xB50C)
  wr16(a6 + hu::frame, rd16(a0 + 2));
  RTS();
END_ROUTINE

// $B512: the unit at a6 fires when its countdown has run out, and waits a
// random 0-31 frames for the next shot. Every register kept.
ROUTINE(sub_00B512, 0x00B512)
  tst<W>(rd16(a6 + hu::countdown));
  if (cc_eq()) GOTO(0xB520);
  wr16(a6 + hu::countdown, rd16(a6 + hu::countdown) - 1);
  RTS();
HERE(0xB520)
  save_regs(dregs(0, 7) | aregs(0, 6));
  JSR(0x007576, 0xB528)
  wr16(a6 + hu::countdown, rd32(random_seed) & fire_gap_mask);
  put<W>(d0, rd16(a6 + hu::frame));
  JSR(0x00B540, 0xB53A)
  restore_regs(dregs(0, 7) | aregs(0, 6));
  RTS();
END_ROUTINE

// $B540: a bullet from the unit at a6 in the direction of picture d0.w:
// the muzzle and velocity of the first of seven unit_fire_dirs records
// with that picture, else of the eighth.
ROUTINE(sub_00B540, 0x00B540)
  a0 = unit_fire_dirs;
  put<W>(d7, fire_dirs_searched - 1);
LOOP(0xB548)
  cmp<W>(d0, rd16(a0));
  if (cc_eq()) GOTO(0xB556);
  a0 += fire_dir_bytes;
  if (dbf(d7)) GOTO(0xB548);
HERE(0xB556)
  put<W>(d0, rd16(a6 + hu::x) + rd16(a0 + 2));
  put<W>(d1, rd16(a6 + hu::y) + rd16(a0 + 4));
  d3 = sext16(rd16(a0 + 6));
  d4 = sext16(rd16(a0 + 8));
  put<W>(d2, unit_bullet_life);
  put<W>(d5, rd16(a6 + hu::over_ground) != 0 ? bullet::passes_ground : bullet::passes_vehicles);
  JSR(0x006B74, 0xB584)
  RTS();
END_ROUTINE

// ---- Effects ------------------------------------------------------------------

namespace {

namespace fx {
constexpr u32 x = 0x00, y = 0x02, dx = 0x04, dy = 0x06, active = 0x08, owner = 0x0A, life = 0x0C, age = 0x0E;
} // namespace fx

constexpr u32 effect_frames = 0x049A3A; // pictures 0-11, 16 lines of four plane words
constexpr u32 effect_picture_bytes = 128;
constexpr u32 effect_copy_bytes = 3072;  // copy k (1-7) shifted 2k pixels, 32 pixels wide
constexpr u32 effect_shifted_bytes = 256;
constexpr u32 effect_lines = 16;
constexpr u32 effect_age_limit = 12;
constexpr u32 effect_last_picture = 11;
constexpr u32 effect_overflow_picture = 10; // what age 11 on an odd frame shows
constexpr u32 effect_kill_points = 50;
constexpr u32 player_kills = 0x96; // word of player_record: enemies its effects killed

constexpr u32 fx_line_bytes = 160;
constexpr u32 fx_field_offset = 32;       // play-field column 0 of a line
constexpr u32 fx_last_column_offset = 120; // play-field column 11

// The hit boxes as (difference + low bound) <= size, unsigned.
constexpr u32 fx_enemy_low_x = 14, fx_enemy_size_x = 30, fx_enemy_low_y = 14, fx_enemy_size_y = 35;
constexpr u32 fx_player_low_x = 27, fx_player_size_x = 34, fx_player_low_y = 86, fx_player_size_y = 37;
constexpr u32 fx_struck_enemies = 25;

// One line of one 16-pixel column: the four plane words w0-w3 over the
// screen at `at`, colour 0 transparent.
inline void fx_masked_column(u32 at, u32 w0, u32 w1, u32 w2, u32 w3) {
  const u32 keep = ~(w0 | w1 | w2 | w3) & 0xFFFF;
  wr16(at, (rd16(at) & keep) | (w0 & 0xFFFF));
  wr16(at + 2, (rd16(at + 2) & keep) | (w1 & 0xFFFF));
  wr16(at + 4, (rd16(at + 4) & keep) | (w2 & 0xFFFF));
  wr16(at + 6, (rd16(at + 6) & keep) | (w3 & 0xFFFF));
}

// 50 points and one kill to the owner of the effect at a0; owners other
// than the two players score nothing.
inline void fx_points_to_owner() {
  const u32 owner = rd16(a0 + fx::owner);
  if (owner > 1) return;
  const u32 record = owner == 0 ? player1 : player2;
  wr32(record + player_record::score, rd32(record + player_record::score) + effect_kill_points);
  wr16(record + player_kills, rd16(record + player_kills) + 1);
}

// Whether the effect at a0 strikes the player at a4 (current_player set):
// in play, not dying, not blinking, and not the effect's owner.
inline bool fx_strikes_player() {
  if (rd16(a4 + player_record::lives) == 0) return false;
  if (rd16(a4 + player_record::state) != 0 || rd16(a4 + player_record::blink) != 0) return false;
  if (rd16(a0 + fx::owner) == rd16(current_player)) return false;
  if (((rd16(a0 + fx::x) - rd16(a4 + player_record::x) - fx_player_low_x) & 0xFFFF) > fx_player_size_x) return false;
  return ((rd16(a0 + fx::y) - rd16(a4 + player_record::y) - fx_player_low_y) & 0xFFFF) <= fx_player_size_y;
}

} // namespace

// $B6A6: an effect into the first free record: x d0.w, y d1.w, dx d3.w,
// dy d4.w, owner d5.w, life d2.w, age 0. Every register is kept; with all
// 25 in use nothing is placed.
ROUTINE(sub_00B6A6, 0x00B6A6)
  save_regs(dregs(7, 7) | aregs(0, 0));
  a0 = effect_table.address;
  d7 = effect_table.records - 1;
LOOP(0xB6B2)
  tst<W>(rd16(a0 + fx::active));
  if (cc_eq()) GOTO(0xB6C2);
  a0 += effect_table.size;
  if (dbf(d7)) GOTO(0xB6B2);
  GOTO(0xB6E2);
HERE(0xB6C2)
  wr16(a0 + fx::x, d0);
  wr16(a0 + fx::y, d1);
  wr16(a0 + fx::dx, d3);
  wr16(a0 + fx::dy, d4);
  wr16(a0 + fx::owner, d5);
  wr16(a0 + fx::life, d2);
  wr16(a0 + fx::age, 0);
  wr16(a0 + fx::active, 0xFFFF);
HERE(0xB6E2)
  restore_regs(dregs(7, 7) | aregs(0, 0));
  RTS();
END_ROUTINE

// $B6EA: every effect, the picture by its age, the odd frames one on. The
// host's "fx" capture sees each record's turn between the two hooks, with
// a6 = the record.
ROUTINE(draw_effects, 0x00B6EA)
  a6 = effect_table.address;
  put<W>(d5, effect_table.records - 1);
LOOP_HOOK(0xB6F2)
  tst<W>(rd16(a6 + fx::active));
  if (cc_eq()) GOTO(0xB6F8);
  put<W>(d0, rd16(a6 + fx::x));
  put<W>(d2, rd16(a6 + fx::y));
  put<W>(d3, rd16(a6 + fx::age) + (rd16(fx_bank) & 1));
  if ((d3 & 0xFFFF) > effect_last_picture) put<W>(d3, effect_overflow_picture);
  push32(a6);
  push32(d5);
  JSR(0x00B728, 0xB71C)
  d5 = pop32();
  a6 = pop32();
HOOK(0xB6F8)
  a6 += effect_table.size;
  if (dbf(d5)) GOTO(0xB6F2);
  RTS();
END_ROUTINE

// $B728: picture d3.w of the effect at a6 at x d0.w, y d2.w, clipped to the
// play field (x 100-291, y 100-299); an effect that has left it is freed.
// d1 = the top lines clipped, as bytes of the unshifted picture; d7.w = the
// lines to draw less one. The edge columns take the unshifted picture moved
// by the even part of the overhang, from its first line whatever the top
// clip (as the game draws them).
ROUTINE(sub_00B728, 0x00B728)
  d1 = 0;
  put<W>(d7, effect_lines - 1);
  if ((d2 & 0xFFFF) <= 84 || (d2 & 0xFFFF) >= 300) GOTO(0xB7A8);
  if ((d2 & 0xFFFF) >= 100) GOTO(0xB746);
  d1 = (100 - (d2 & 0xFFFF)) * 8;
  put<W>(d7, (d2 & 0xFFFF) - 85);
  put<W>(d2, 100);
  GOTO(0xB74E);
HERE(0xB746)
  if ((d2 & 0xFFFF) >= 285) put<W>(d7, 299 - (d2 & 0xFFFF));
HERE(0xB74E)
  a1 = rd32(draw_screen) + ((d2 & 0xFFFF) - 100) * fx_line_bytes;
  if ((d0 & 0xFFFF) <= 99) GOTO(0xB770);
  if ((d0 & 0xFFFF) > 276) GOTO(0xB78C);
  put<W>(d0, (d0 & 0xFFFF) - 100);
  put<W>(d4, d0 & 14);
  a1 += fx_field_offset + ((d0 & 0xFFFF) >> 4) * 8;
  if ((d4 & 0xFFFF) != 0) GOTO(0xB766);
  a0 = effect_frames + (d3 & 0xFFFF) * effect_picture_bytes + d1;
  JSR(0x00B7AE, 0xB764)
  RTS();
HERE(0xB766)
  a0 = effect_frames + ((d4 & 0xFFFF) >> 1) * effect_copy_bytes + (d3 & 0xFFFF) * effect_shifted_bytes + 2 * d1;
  JSR(0x00B7EC, 0xB76E)
  RTS();

  // the left edge: rotated left into play-field column 0
HERE(0xB770)
  put<W>(d6, 100 - (d0 & 0xFFFF));
  if ((d6 & 0xFFFF) >= 16) GOTO(0xB7A8);
  put<W>(d6, d6 & 14);
  a1 += fx_field_offset;
  a0 = effect_frames + (d3 & 0xFFFF) * effect_picture_bytes;
LOOP(0xB77C)
  // LSL.W Dn takes its count modulo 64: d6's upper word is whatever was there.
  fx_masked_column(a1, rd16(a0) << (d6 & 63), rd16(a0 + 2) << (d6 & 63), rd16(a0 + 4) << (d6 & 63),
                   rd16(a0 + 6) << (d6 & 63));
  a0 += 8;
  a1 += fx_line_bytes;
  if (dbf(d7)) GOTO(0xB77C);
  RTS();

  // the right edge: rotated right into play-field column 11
HERE(0xB78C)
  put<W>(d6, (d0 & 0xFFFF) - 276);
  if ((d6 & 0xFFFF) > 15) GOTO(0xB7A8);
  put<W>(d6, d6 & 14);
  a1 += fx_last_column_offset;
  a0 = effect_frames + (d3 & 0xFFFF) * effect_picture_bytes;
LOOP(0xB798)
  fx_masked_column(a1, rd16(a0) >> (d6 & 63), rd16(a0 + 2) >> (d6 & 63), rd16(a0 + 4) >> (d6 & 63),
                   rd16(a0 + 6) >> (d6 & 63));
  a0 += 8;
  a1 += fx_line_bytes;
  if (dbf(d7)) GOTO(0xB798);
  RTS();

HERE(0xB7A8)
  wr16(a6 + fx::active, 0);
  RTS();
END_ROUTINE

// $B7AE: one column a line, d7.w + 1 lines, from a0 into a1.
ROUTINE(sub_00B7AE, 0x00B7AE)
LOOP(0xB7AE)
  fx_masked_column(a1, rd16(a0), rd16(a0 + 2), rd16(a0 + 4), rd16(a0 + 6));
  a0 += 8;
  a1 += fx_line_bytes;
  if (dbf(d7)) GOTO(0xB7AE);
  RTS();
END_ROUTINE

// $B7EC: two columns a line (a pre-shifted copy), d7.w + 1 lines, from a0
// into a1.
ROUTINE(sub_00B7EC, 0x00B7EC)
LOOP(0xB7EC)
  fx_masked_column(a1, rd16(a0), rd16(a0 + 2), rd16(a0 + 4), rd16(a0 + 6));
  fx_masked_column(a1 + 8, rd16(a0 + 8), rd16(a0 + 10), rd16(a0 + 12), rd16(a0 + 14));
  a0 += 16;
  a1 += fx_line_bytes;
  if (dbf(d7)) GOTO(0xB7EC);
  RTS();
END_ROUTINE

// $B944: every effect: the first living enemy of records 0-24 it touches
// dies (and the effect's turn ends there); else each player in play other
// than its owner whom it touches dies, both in one frame if need be. Then
// the effect moves and ages; it ends at age 12 or when its life is spent.
ROUTINE(sub_00B944, 0x00B944)
LOOP(0xB944)
  a0 = effect_table.address;
  d7 = effect_table.records - 1;
LOOP(0xB94E)
  tst<W>(rd16(a0 + fx::active));
  if (cc_eq()) GOTO(0xBAA4);
  a6 = enemy_table.address;
  d6 = fx_struck_enemies - 1;
LOOP(0xB95C)
  tst<W>(rd16(a6 + enemy::active));
  if (cc_eq()) GOTO(0xB9F0);
  tst<W>(rd16(a6 + enemy::dying));
  if (cc_ne()) GOTO(0xB9F0);
  put<W>(d0, rd16(a0 + fx::x) - rd16(a6 + enemy::x) + fx_enemy_low_x);
  cmp<W>(fx_enemy_size_x, d0);
  if (cc_hi()) GOTO(0xB9F0);
  put<W>(d0, rd16(a0 + fx::y) - rd16(a6 + enemy::y) + fx_enemy_low_y);
  cmp<W>(fx_enemy_size_y, d0);
  if (cc_hi()) GOTO(0xB9F0);
  wr16(a0 + fx::active, 0);
  wr16(a6 + enemy::dying, 0xFFFF);
  d0 = rd16(a6 + enemy::frame) > 16 ? 11 : 4;
  JSR(0x00B1E4, 0xB99E)
  wr16(a6 + enemy::dx, 0);
  wr16(a6 + enemy::dy, 0);
  JSR(0x007576, 0xB9AE)
  d0 = (d0 >> 2) & 3;
  if (d0 != 0) d0 -= 1;
  d0 += 4;
  // The host pans the sample by the x at a4: the effect's, not whatever
  // player record a4 held from an earlier turn.
  a4 = a0;
  JSR(0x00E756, 0xB9CC)
  fx_points_to_owner();
  GOTO(0xBAA4);
HERE(0xB9F0)
  a6 += enemy_table.size;
  if (dbf(d6)) GOTO(0xB95C);

  tst<W>(rd16(dev_freerun));
  if (cc_ne()) GOTO(0xBA6E);
  wr16(current_player, 0);
  a4 = player1;
  if (!fx_strikes_player()) GOTO(0xBA30);
  wr16(a0 + fx::active, 0);
  JSR(0x00AA42, 0xBA2C)
HERE(0xBA30)
  wr16(current_player, 1);
  a4 = player2;
  if (!fx_strikes_player()) GOTO(0xBA6E);
  wr16(a0 + fx::active, 0);
  JSR(0x00AA42, 0xBA6A)

HERE(0xBA6E)
  wr16(a0 + fx::x, rd16(a0 + fx::x) + rd16(a0 + fx::dx));
  wr16(a0 + fx::y, rd16(a0 + fx::y) + rd16(a0 + fx::dy));
  wr16(a0 + fx::age, rd16(a0 + fx::age) + 1);
  if (rd16(a0 + fx::age) == effect_age_limit) GOTO(0xBA9E);
  tst<W>(rd16(a0 + fx::life));
  if (cc_eq()) GOTO(0xBA9E);
  wr16(a0 + fx::life, rd16(a0 + fx::life) - 1);
  GOTO(0xBAA4);
HERE(0xBA9E)
  wr16(a0 + fx::active, 0);
HERE(0xBAA4)
  a0 += effect_table.size;
  if (dbf(d7)) GOTO(0xB94E);
  RTS();
END_ROUTINE

// ---- The world map ------------------------------------------------------------

using namespace st_io;

namespace {

constexpr u32 line_bytes = 160;
constexpr u32 x_min = 7, x_max = 312, y_min = 59, y_max = 195;
constexpr u32 panel_picture = 0x020468; // bytes 8-23 of line 7 of screen $20000
constexpr u32 picture_lines = 32;

} // namespace

// $BD22: mission picture d0.w into the panel: 32 lines of 16 bytes.
ROUTINE(sub_00BD22, 0x00BD22)
  a0 = map_pictures + sext16((d0 << 9) & 0xFFFF);
  a1 = panel_picture;
  put<W>(d1, picture_lines - 1);
LOOP(0xBD34)
  for (u32 i = 0; i < 16; i += 4) wr32(a1 + i, rd32(a0 + i));
  a0 += 16;
  a1 += line_bytes;
  if (dbf(d1)) GOTO(0xBD34);
  RTS();
END_ROUTINE

// $BD4C: clears the panel's picture (bytes 8-23 of lines 7-42) and its
// message area (bytes 29-159 of lines 0-44) in screen $20000.
ROUTINE(sub_00BD4C, 0x00BD4C)
  a0 = screen_buffer_b + 7 * line_bytes + 8;
  put<W>(d1, 42 - 7);
LOOP(0xBD5A)
  for (u32 i = 0; i < 16; ++i) wr8(a0 + i, 0);
  a0 += line_bytes;
  if (dbf(d1)) GOTO(0xBD5A);
  a0 = screen_buffer_b + 29;
  put<W>(d1, 44);
LOOP(0xBD72)
  for (u32 i = 0; i < line_bytes - 29; ++i) wr8(a0 + i, 0);
  a0 += line_bytes;
  if (dbf(d1)) GOTO(0xBD72);
  RTS();
END_ROUTINE

// $BDC8: moves the pointer by the joystick of player 1, or of player 2
// when player 1 is out, a pixel per axis, and keeps it in the map.
ROUTINE(sub_00BDC8, 0x00BDC8)
  a0 = rd16(player1 + player_record::lives) != 0 ? player1 : player2;
  put<W>(d0, rd16(map_cursor_x));
  put<W>(d1, rd16(map_cursor_y));
  if (rd8(a0 + player_record::left)) put<W>(d0, d0 - 1);
  if (rd8(a0 + player_record::down)) put<W>(d1, d1 + 1);
  if (rd8(a0 + player_record::right)) put<W>(d0, d0 + 1);
  if (rd8(a0 + player_record::up)) put<W>(d1, d1 - 1);
  if ((d0 & 0xFFFF) < x_min) put<W>(d0, x_min);
  if ((d0 & 0xFFFF) > x_max) put<W>(d0, x_max);
  if ((d1 & 0xFFFF) < y_min) put<W>(d1, y_min);
  if ((d1 & 0xFFFF) > y_max) put<W>(d1, y_max);
  wr16(map_cursor_x, d0);
  wr16(map_cursor_y, d1);
  RTS();
END_ROUTINE

// $BE6A: the pointer erased from the clean copy.
ROUTINE(sub_00BE6A, 0x00BE6A)
  a0 = rd32(pointer_erase_addr);
  map_drawing::erase(a0);
  RTS();
END_ROUTINE

// $BE9A: the pointer drawn in colour 1 at map_cursor; its place kept for
// the erase.
ROUTINE(sub_00BE9A, 0x00BE9A)
  JSR(0x00BED4, 0xBE9E)
  wr32(pointer_erase_addr, a0);
  map_drawing::draw();
  RTS();
END_ROUTINE

// $BED4: the pointer shape shifted for map_cursor into $BF30; a0/a1 = the
// left and right bytes of its top line (4 lines above and 4 pixels left of
// the cursor), d1 = the shift, a2 = $BF30.
ROUTINE(sub_00BED4, 0x00BED4)
  put<W>(d0, rd16(map_cursor_x) - 4);
  put<W>(d2, rd16(map_cursor_y) - 4);
  map_drawing::place(pointer_shape, pointer_shifted);
  RTS();
END_ROUTINE

// $BF54: d7.w := the mission of the first box under the pointer, or -1.
ROUTINE(sub_00BF54, 0x00BF54)
  d7 = 0xFFFFFFFF;
  JMP(0x00BF56);
END_ROUTINE

// $BF56: walks mission_box_table (no count: only its negative end word
// stops it); bounds are inclusive and compared unsigned.
ROUTINE(sub_00BF56, 0x00BF56)
  a0 = mission_box_table;
LOOP(0xBF5C)
  if (rd16(a0) & 0x8000) GOTO(0xBF92);
  {
    const u32 x = rd16(map_cursor_x), y = rd16(map_cursor_y);
    if (rd16(a0) <= x && x <= rd16(a0 + 2) && rd16(a0 + 4) <= y && y <= rd16(a0 + 6)) {
      put<W>(d7, rd16(a0 + 8));
      GOTO(0xBF92);
    }
  }
  a0 += 10;
  GOTO(0xBF5C);
HERE(0xBF92)
  RTS();
END_ROUTINE
