// Page $4000: the screen position of the mission data load's prompt; the
// horizontal sections' installations (placed, firing their patterns, wrecked
// by heavy projectiles, drawn).
#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "game/routine_kit.h"

// $4BBE: a0 := line 39, byte 15 of the screen buffer at $18000.
ROUTINE(sub_004BBE, 0x004BBE)
  a0 = 0x01986F;
  RTS();
END_ROUTINE

// ---- Horizontal installations: placing, firing, projectile hits -----------------

namespace {

namespace hinst {
constexpr u32 active = 0x00, x = 0x02, y = 0x04, type = 0x06, delay = 0x08, step = 0x0A;
} // namespace hinst

constexpr u32 first_firing_type = 234, wreck_type = 239;
constexpr u32 pattern_entry_bytes = 10; // dx, dy, a, b, delay
constexpr u32 pattern_end = 0xFFFF;
// The play-field offsets of a shot fired from a screen position.
constexpr u32 shot_x_offset = 36, shot_y_offset = 100;
constexpr u32 hostile_dot_range = 15;
constexpr u32 hostile_bullet_life = 300, hostile_effect_life = 30;
constexpr u32 hinst_first_x = 22, hinst_last_x = 265;

constexpr u32 first_heavy_projectile = 16, last_heavy_projectile = 23;
constexpr u32 wreck_points = 1000;
constexpr u32 vbl_counter_low = 0x001DC7; // bit 4 picks the wreck's arrangement

// The pattern entry at `step` of the list for the record at a4, into a0.
inline void pattern_entry(u32 list) {
  d0 = (rd16(a4 + hinst::step) & 0xFFFF) * pattern_entry_bytes;
  a0 = list + sext16(d0 & 0xFFFF);
}

// d0/d1: where the entry at a0 fires from, in play-field coordinates; the
// record's delay from the entry.
inline void pattern_position() {
  put<W>(d0, rd16(a4 + hinst::x) + rd16(a0) + shot_x_offset);
  put<W>(d1, rd16(a4 + hinst::y) + rd16(a0 + 2) + shot_y_offset);
  wr16(a4 + hinst::delay, rd16(a0 + 8));
}

// A turn that comes back to the step it began at (d6) ends there: with no
// entry of non-zero delay in a list, the game would step for ever inside
// one frame. A list that holds one ends its turn on it before that.
inline bool turn_went_round() { return (rd16(a4 + hinst::step) & 0xFFFF) == (d6 & 0xFFFF); }

inline void add_points(u32 player, u32 points) {
  wr32(player + player_record::score, rd32(player + player_record::score) + points);
}

} // namespace

// $4A52: heavy projectiles (types 16-23) against the installations: the
// first live, unwrecked installation in the box is wrecked for 1,000
// points to the projectile's owner, with two debris pieces and two
// explosions in one of two arrangements by bit 4 of the VBL counter.
ROUTINE(sub_004A52, 0x004A52)
  a4 = projectile_table.address;
  d7 = projectile_table.records - 1;
LOOP(0x4A5A)
  tst<W>(rd16(a4));
  if (cc_eq()) GOTO(0x4B84);
  put<W>(d0, rd16(a4 + 6));
  if ((d0 & 0xFFFF) < first_heavy_projectile || (d0 & 0xFFFF) > last_heavy_projectile) GOTO(0x4B84);
  a6 = section_installation_table.address;
  d6 = section_installation_table.records - 1;
LOOP(0x4A7C)
  tst<W>(rd16(a6 + hinst::active));
  if (cc_eq()) GOTO(0x4B7C);
  if (rd16(a6 + hinst::type) == wreck_type) GOTO(0x4B7C);
  put<W>(d0, rd16(a4 + 4) - (rd16(a6 + hinst::y) + 96));
  cmp<W>(27, d0);
  if (cc_hi()) GOTO(0x4B7C);
  put<W>(d0, rd16(a4 + 2) - (rd16(a6 + hinst::x) + 32));
  cmp<W>(32, d0);
  if (cc_hi()) GOTO(0x4B7C);

  add_points(player1, wreck_points);
  if (rd16(a4 + 0x0E) != 0) {
    add_points(player1, -wreck_points);
    add_points(player2, wreck_points);
  }
  wr16(a6 + hinst::type, wreck_type);
  wr16(a4, 0);
  put<W>(d0, rd16(a6 + hinst::x));
  put<W>(d1, rd16(a6 + hinst::y));
  if (rd8(vbl_counter_low) & 0x10) GOTO(0x4B40);
  d2 = 0;
  put<W>(d0, d0 + 35);
  put<W>(d1, d1 + 86);
  JSR(0x0063A4, 0x4B0C)
  put<W>(d0, d0 + 16);
  put<W>(d1, d1 + 16);
  JSR(0x0063A4, 0x4B1A)
  put<W>(d2, 0xFFFF);
  put<W>(d0, d0 + 16);
  put<W>(d1, d1 - 5);
  JSR(0x006CA8, 0x4B2A)
  put<W>(d0, d0 - 32);
  put<W>(d1, d1 + 16);
  JSR(0x006CA8, 0x4B3A)
  GOTO(0x4B84);
HERE(0x4B40)
  put<W>(d2, 0xFFFF);
  put<W>(d0, d0 + 32);
  put<W>(d1, d1 + 94);
  JSR(0x006CA8, 0x4B4C)
  put<W>(d0, d0 + 32);
  put<W>(d1, d1 + 16);
  JSR(0x006CA8, 0x4B5C)
  d2 = 0;
  put<W>(d0, d0 - 16);
  put<W>(d1, d1 - 25);
  JSR(0x0063A4, 0x4B6A)
  put<W>(d0, d0 - 16);
  put<W>(d1, d1 + 16);
  JSR(0x0063A4, 0x4B78)
  GOTO(0x4B84);

HERE(0x4B7C)
  a6 += section_installation_table.size;
  if (dbf(d6)) GOTO(0x4A7C);
HERE(0x4B84)
  a4 += projectile_table.size;
  if (dbf(d7)) GOTO(0x4A5A);
  RTS();
END_ROUTINE

// $4C2E: event commands 234-239: an installation of type d0.w at the x and
// y bytes at a0. Every register is kept; the stream goes on past the two
// bytes whether or not a record was free.
ROUTINE(sub_004C2E, 0x004C2E)
  save_regs(dregs(0, 7) | aregs(0, 6));
  a1 = section_installation_table.address;
  d7 = section_installation_table.records - 1;
LOOP(0x4C3A)
  tst<W>(rd16(a1 + hinst::active));
  if (cc_eq()) GOTO(0x4C4C);
  a1 += section_installation_table.size;
  if (dbf(d7)) GOTO(0x4C3A);
  a0 += 2;
  GOTO(0x4C68);
HERE(0x4C4C)
  wr16(a1 + hinst::type, d0);
  wr8(a1 + hinst::x, 0);
  wr8(a1 + hinst::x + 1, rd8(a0));
  wr8(a1 + hinst::y, 0);
  wr8(a1 + hinst::y + 1, rd8(a0 + 1));
  a0 += 2;
  wr8(a1 + hinst::active, 0xFF);
  wr16(a1 + hinst::delay, 0);
  wr16(a1 + hinst::step, 0);
HERE(0x4C68)
  wr32(event_pointer, a0);
  restore_regs(dregs(0, 7) | aregs(0, 6));
  RTS();
END_ROUTINE

// $4C74: the installations' frame: the six records from the first.
ROUTINE(sub_004C74, 0x004C74)
  a4 = section_installation_table.address;
  d7 = section_installation_table.records - 1;
  JMP(0x004C7A);
END_ROUTINE

// $4C7A: the installation at a4 (d7.w records after it). Out of x 22-265
// it is freed; a firing type waits out its delay, then steps through its
// pattern list, each step one shot, on in the same frame while the new
// delay is 0 (never for type 235).
ROUTINE(sub_004C7A, 0x004C7A)
  tst<W>(rd16(a4 + hinst::active));
  if (cc_eq()) JMP(0x004E9A);
  put<W>(d0, rd16(a4 + hinst::x));
  if ((d0 & 0xFFFF) < hinst_first_x || (d0 & 0xFFFF) > hinst_last_x) {
    wr16(a4 + hinst::active, 0);
    JMP(0x004E9A);
  }
  put<W>(d0, rd16(a4 + hinst::type));
  if ((d0 & 0xFFFF) < first_firing_type || (d0 & 0xFFFF) >= wreck_type) JMP(0x004E9A);
  tst<W>(rd16(a4 + hinst::delay));
  if (cc_eq()) GOTO(0x4C9E);
  wr16(a4 + hinst::delay, rd16(a4 + hinst::delay) - 1);
  JMP(0x004E9A);
HERE(0x4C9E)
  put<W>(d6, rd16(a4 + hinst::step)); // where this turn began
  if ((d0 & 0xFFFF) == 235) GOTO(0x4D12);
  if ((d0 & 0xFFFF) == 236) GOTO(0x4D76);
  if ((d0 & 0xFFFF) == 237) JMP(0x004DE0);
  if ((d0 & 0xFFFF) == 238) GOTO(0x4E46);

  // 234: hostile dot bullets
LOOP(0x4CAC)
  pattern_entry(0x005704);
  if (rd16(a0) != pattern_end) GOTO(0x4CC4);
  wr16(a4 + hinst::step, 0);
  if (turn_went_round()) JMP(0x004E9A);
  GOTO(0x4CAC);
HERE(0x4CC4)
  pattern_position();
  put<W>(d2, rd16(a0 + 4));
  put<W>(d3, rd16(a0 + 6));
  put<W>(d4, hostile_dot_range);
  JSR(0x005904, 0x4CEC)
  wr16(a4 + hinst::step, rd16(a4 + hinst::step) + 1);
  tst<W>(rd16(a4 + hinst::delay));
  if (cc_ne() || turn_went_round()) JMP(0x004E9A);
  GOTO(0x4CAC);

  // 235: one bullet a turn
LOOP(0x4D12)
  pattern_entry(0x00576A);
  if (rd16(a0) != pattern_end) GOTO(0x4D2A);
  wr16(a4 + hinst::step, 0);
  if (turn_went_round()) JMP(0x004E9A);
  GOTO(0x4D12);
HERE(0x4D2A)
  pattern_position();
  put<W>(d3, rd16(a0 + 4));
  put<W>(d4, rd16(a0 + 6));
  put<W>(d2, hostile_bullet_life);
  put<W>(d5, 0xFFFF);
  JSR(0x006B74, 0x4D56)
  wr16(a4 + hinst::step, rd16(a4 + hinst::step) + 1);
  JMP(0x004E9A);

  // 236: bullets
LOOP(0x4D76)
  pattern_entry(0x0057BC);
  if (rd16(a0) != pattern_end) GOTO(0x4D8E);
  wr16(a4 + hinst::step, 0);
  if (turn_went_round()) JMP(0x004E9A);
  GOTO(0x4D76);
HERE(0x4D8E)
  pattern_position();
  put<W>(d3, rd16(a0 + 4));
  put<W>(d4, rd16(a0 + 6));
  put<W>(d2, hostile_bullet_life);
  put<W>(d5, 0xFFFF);
  JSR(0x006B74, 0x4DBA)
  wr16(a4 + hinst::step, rd16(a4 + hinst::step) + 1);
  tst<W>(rd16(a4 + hinst::delay));
  if (cc_ne() || turn_went_round()) JMP(0x004E9A);
  GOTO(0x4D76);

  // 238: effects
LOOP(0x4E46)
  pattern_entry(0x0058B2);
  if (rd16(a0) != pattern_end) GOTO(0x4E5E);
  wr16(a4 + hinst::step, 0);
  if (turn_went_round()) JMP(0x004E9A);
  GOTO(0x4E46);
HERE(0x4E5E)
  pattern_position();
  put<W>(d3, rd16(a0 + 4));
  put<W>(d4, rd16(a0 + 6));
  put<W>(d2, hostile_effect_life);
  put<W>(d5, 0xFFFF);
  JSR(0x00B6A6, 0x4E8A)
  wr16(a4 + hinst::step, rd16(a4 + hinst::step) + 1);
  tst<W>(rd16(a4 + hinst::delay));
  if (cc_ne() || turn_went_round()) JMP(0x004E9A);
  GOTO(0x4E46);
END_ROUTINE

// $4DE0: one pattern step of type 237 (hostile dot bullets); the shot
// returns into $4E20, which steps on. d6 = the step the turn began at.
ROUTINE(sub_004DE0, 0x004DE0)
LOOP(0x4DE0)
  pattern_entry(0x005860);
  if (rd16(a0) != pattern_end) GOTO(0x4DF8);
  wr16(a4 + hinst::step, 0);
  if (turn_went_round()) JMP(0x004E9A);
  GOTO(0x4DE0);
HERE(0x4DF8)
  pattern_position();
  put<W>(d2, rd16(a0 + 4));
  put<W>(d3, rd16(a0 + 6));
  put<W>(d4, hostile_dot_range);
  JSR_INTO_NEXT(0x005904, 0x004E20);
END_ROUTINE

// $4E20: after a step of type 237: on in the same frame while the delay is
// 0 and the turn has not come round.
ROUTINE(sub_004E20, 0x004E20)
  wr16(a4 + hinst::step, rd16(a4 + hinst::step) + 1);
  tst<W>(rd16(a4 + hinst::delay));
  if (cc_ne() || turn_went_round()) JMP(0x004E9A);
  JMP(0x004DE0);
END_ROUTINE

// $4E9A: the next installation record, or the frame loop's return.
ROUTINE(sub_004E9A, 0x004E9A)
  a4 += section_installation_table.size;
  if (dbf(d7)) JMP(0x004C7A);
  RTS();
END_ROUTINE

// ---- Horizontal installations: drawing ----------------------------------------------

namespace {

constexpr u32 installation_frames = 0x045736; // 32 lines x four planes x {left, right} words
constexpr u32 clip_left_flag = 0x00020C;      // first column drawn
constexpr u32 clip_right_flag = 0x00020E;     // second column drawn
constexpr u32 clip_third_flag = 0x000210;     // third column drawn
constexpr u32 blit_rows = 0x000212;
constexpr u32 installation_lines = 32;
constexpr u32 inst_screen_lines = 200;

// One masked column at `at` (plane 0) from the plane words w[0-3], each
// taken from bit `from` (16: the high halves) of the longs.
inline void inst_column(u32 at, const u32* w, u32 from) {
  const u32 keep = ~((w[0] | w[1] | w[2] | w[3]) >> from) & 0xFFFF;
  for (u32 p = 0; p < 4; ++p) wr16(at + 2 * p, (rd16(at + 2 * p) & keep) | ((w[p] >> from) & 0xFFFF));
}

// The four plane longs of the line at a1 ({left, right} words), a1 on.
inline void load_inst_line() {
  d0 = rd32(a1);
  d1 = rd32(a1 + 4);
  d2 = rd32(a1 + 8);
  d3 = rd32(a1 + 12);
  a1 += 16;
}

// A line of three columns, a0 at plane 3 of the third; shifted by s = d6.
// The flags are looked at only when `clipped`.
inline void inst_three_columns(bool clipped) {
  const u32 s = d6 & 15;
  u32 w[4] = {d0 << (16 - s), d1 << (16 - s), d2 << (16 - s), d3 << (16 - s)};
  if (!clipped || rd16(clip_third_flag) != 0) inst_column(a0 - 6, w, 0);
  for (u32 p = 0; p < 4; ++p) w[p] = (p == 0 ? d0 : p == 1 ? d1 : p == 2 ? d2 : d3) >> s;
  if (!clipped || rd16(clip_right_flag) != 0) inst_column(a0 - 14, w, 0);
  if (!clipped || rd16(clip_left_flag) != 0) inst_column(a0 - 22, w, 16);
}

// A line of two columns (s = 0), a0 at plane 3 of the second.
inline void inst_two_columns(bool clipped) {
  const u32 w[4] = {d0, d1, d2, d3};
  if (!clipped || rd16(clip_right_flag) != 0) inst_column(a0 - 6, w, 0);
  if (!clipped || rd16(clip_left_flag) != 0) inst_column(a0 - 14, w, 16);
}

inline bool next_inst_line() {
  a0 += 160;
  wr16(blit_rows, rd16(blit_rows) - 1);
  return rd16(blit_rows) != 0;
}

} // namespace

// $4F32: every live installation, frame type - 234 (the wreck 5), at its
// screen x and y. The picture is cut at the screen's last line: drawn whole
// from y 169 down it would run into the spare bytes and the horizontal
// band after screen $20000, or into the other screen after $18000.
ROUTINE(sub_004F32, 0x004F32)
  a4 = section_installation_table.address;
  d7 = section_installation_table.records - 1;
LOOP(0x4F38)
  tst<W>(rd16(a4 + hinst::active));
  if (cc_eq()) GOTO(0x4F94);
  put<W>(d1, rd16(a4 + hinst::y));
  if ((d1 & 0xFFFF) >= inst_screen_lines) GOTO(0x4F94);
  put<W>(d0, (rd16(a4 + hinst::type) - first_firing_type) << 9);
  a1 = installation_frames + sext16(d0 & 0xFFFF);
  a0 = rd32(draw_screen) + 32 + sext16(((d1 & 0xFFFF) * 32) & 0xFFFF) + sext16(((d1 & 0xFFFF) * 128) & 0xFFFF);
  put<W>(d0, rd16(a4 + hinst::x) - 64);
  put<W>(d0, asr<W>(d0, 1) & 0xFFF8);
  a0 += sext16(d0 & 0xFFFF);
  put<W>(d1, inst_screen_lines - (d1 & 0xFFFF));
  if ((d1 & 0xFFFF) > installation_lines) put<W>(d1, installation_lines);
  wr16(blit_rows, d1);
  put<W>(d0, rd16(a4 + hinst::x));
  push32(a4);
  push32(d7);
  JSR(0x004F9C, 0x4F8E)
  d7 = pop32();
  a4 = pop32();
HERE(0x4F94)
  a4 += section_installation_table.size;
  if (dbf(d7)) GOTO(0x4F38);
  RTS();
END_ROUTINE

// $4F9C: the 32 x 32 picture at a1 to pixel x d0.w from a0 (the column
// holding x), blit_rows lines, shifted at draw time into two columns (s =
// 0) or three; a column outside the play field (pixels 64-255) is not
// written. Wholly inside, the line loops test no flag ($500C, $5086,
// $50FE for s = 0, 1-8, 9-15); at an edge they do ($5160, $5200, $529E).
ROUTINE(sub_004F9C, 0x004F9C)
  a0 += 22;
  wr8(clip_left_flag, 0xFF);
  wr8(clip_right_flag, 0xFF);
  wr8(clip_third_flag, 0xFF);
  put<W>(d6, d0 & 15);
  if ((d0 & 0xFFFF) > 224) {
    wr16(clip_third_flag, 0);
    if ((d0 & 0xFFFF) > 239) wr16(clip_right_flag, 0);
    if ((d0 & 0xFFFF) > 255) RTS();
    GOTO(0x5140);
  }
  if ((d0 & 0xFFFF) < 64) {
    wr16(clip_left_flag, 0);
    if ((d0 & 0xFFFF) <= 47) wr16(clip_right_flag, 0);
    if ((d0 & 0xFFFF) < 32) RTS();
    GOTO(0x5140);
  }
  if ((d6 & 0xFFFF) != 0) GOTO(0x5080);
  a0 -= 8;
LOOP(0x500C)
  load_inst_line();
  inst_two_columns(false);
  if (next_inst_line()) GOTO(0x500C);
  RTS();
HERE(0x5080)
  if ((d6 & 0xFFFF) > 8) GOTO(0x50FE);
LOOP(0x5086)
  load_inst_line();
  inst_three_columns(false);
  if (next_inst_line()) GOTO(0x5086);
  RTS();
LOOP(0x50FE)
  load_inst_line();
  inst_three_columns(false);
  if (next_inst_line()) GOTO(0x50FE);
  RTS();

HERE(0x5140)
  if ((d6 & 0xFFFF) != 0) GOTO(0x51F8);
  a0 -= 8;
LOOP(0x5160)
  load_inst_line();
  inst_two_columns(true);
  if (next_inst_line()) GOTO(0x5160);
  RTS();
HERE(0x51F8)
  if ((d6 & 0xFFFF) > 8) GOTO(0x529E);
LOOP(0x5200)
  load_inst_line();
  inst_three_columns(true);
  if (next_inst_line()) GOTO(0x5200);
  RTS();
LOOP(0x529E)
  load_inst_line();
  inst_three_columns(true);
  if (next_inst_line()) GOTO(0x529E);
  RTS();
END_ROUTINE
