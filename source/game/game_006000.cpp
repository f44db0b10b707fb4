// Page $6000: grenades (the throw and the flight that ends in a burst) and
// explosions (the spawner the host also calls, the countdown, the
// animation and the clipped drawing of one frame).
#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "game/routine_kit.h"

namespace {

constexpr u16 all_registers = dregs(0, 7) | aregs(0, 6);

namespace grenade {
constexpr u32 x = 0x00, y = 0x02, active = 0x04, flight = 0x08, picture = 0x0A, owner = 0x0C;
constexpr u32 dx = 0x10, dy = 0x12;
constexpr u32 flight_start = 36;
constexpr u32 burst = 16;        // the flight counter at the burst: 20 steps
constexpr u32 low_picture = 24;  // rising and falling
constexpr u32 high_picture = 25; // the top of the arc
} // namespace grenade

namespace explosion {
constexpr u32 x = 0x00, y = 0x02, active = 0x04, frame = 0x06, countdown = 0x08, owner = 0x0A, delay = 0x0C;
constexpr u32 last_frame = 10;
} // namespace explosion

constexpr u32 blast_sample = 6;
constexpr u32 explosion_frames = 0x0388DC; // 11 frames of 22 lines x 12 bytes
constexpr u32 explosion_frame_bytes = 264;
constexpr u32 explosion_line_bytes = 12;
constexpr u32 left_clip = 0x000278; // byte $FF: the frame's left half lies left of the field
constexpr u32 line_bytes = 160;

// One 16-pixel half of an explosion line at a0 from the three plane words
// at a2: colours 1-7, plane 3 cleared under the picture, colour 0 holes
// keep the screen.
inline void explosion_half(u32 screen, u32 picture) {
  const u32 p0 = rd16(picture), p1 = rd16(picture + 2), p2 = rd16(picture + 4);
  const u32 keep = ~(p0 | p1 | p2) & 0xFFFF;
  wr16(screen, (rd16(screen) & keep) | p0);
  wr16(screen + 2, (rd16(screen + 2) & keep) | p1);
  wr16(screen + 4, (rd16(screen + 4) & keep) | p2);
  wr16(screen + 6, rd16(screen + 6) & keep);
}

} // namespace

// ---- Grenades -------------------------------------------------------------------

// $6BEA: a grenade at (d0, d1) flying (d2, d3) a frame for the owner d5,
// in the first free record. a0 = the record and d7.w the records after it;
// with all 17 live nothing is thrown and the scan leaves a0 just past the
// table, d7.w = $FFFF.
ROUTINE(sub_006BEA, 0x006BEA)
LOOP(0x6BEA)
  a0 = grenade_table.address;
  put<W>(d7, grenade_table.records - 1);
LOOP(0x6BF4)
  tst<W>(rd16(a0 + grenade::active));
  if (cc_eq()) GOTO(0x6C02);
  a0 += grenade_table.size;
  if (dbf(d7)) GOTO(0x6BF4);
  RTS();
HERE(0x6C02)
  wr16(a0 + grenade::active, 0xFFFF);
  wr16(a0 + grenade::x, d0);
  wr16(a0 + grenade::y, d1);
  wr16(a0 + grenade::owner, d5);
  wr16(a0 + grenade::picture, grenade::low_picture);
  wr16(a0 + grenade::flight, grenade::flight_start);
  wr16(a0 + grenade::dx, d2);
  wr16(a0 + grenade::dy, d3);
  RTS();
END_ROUTINE

// $6C28: every live grenade one step on its line; the picture rises and
// falls with the flight counter, and at its end the grenade becomes an
// explosion 5 left and 7 above its point. It passes over everything.
ROUTINE(sub_006C28, 0x006C28)
LOOP(0x6C28)
  a4 = grenade_table.address;
  put<W>(d7, grenade_table.records - 1);
LOOP(0x6C32)
  tst<W>(rd16(a4 + grenade::active));
  if (cc_eq()) GOTO(0x6C9C);
  wr16(a4 + grenade::x, rd16(a4 + grenade::x) + rd16(a4 + grenade::dx));
  wr16(a4 + grenade::y, rd16(a4 + grenade::y) + rd16(a4 + grenade::dy));
  put<W>(d0, rd16(a4 + grenade::flight) - 1);
  wr16(a4 + grenade::flight, d0);
  cmp<W>(31, d0);
  if (cc_hi()) GOTO(0x6C66);
  cmp<W>(20, d0);
  if (cc_cs()) GOTO(0x6C66);
  wr16(a4 + grenade::picture, grenade::high_picture);
  GOTO(0x6C6C);
HERE(0x6C66)
  wr16(a4 + grenade::picture, grenade::low_picture);
HERE(0x6C6C)
  cmp<W>(grenade::burst, d0);
  if (cc_ne()) GOTO(0x6C9C);
  put<W>(d0, rd16(a4 + grenade::x) - 5);
  put<W>(d1, rd16(a4 + grenade::y) - 7);
  put<W>(d2, rd16(a4 + grenade::owner));
  wr16(a4 + grenade::active, 0);
  save_regs(dregs(7, 7) | aregs(4, 4));
  JSR(0x006CA8, 0x6C96)
  restore_regs(dregs(7, 7) | aregs(4, 4));
HERE(0x6C9C)
  a4 += grenade_table.size;
  if (dbf(d7)) GOTO(0x6C32);
  RTS();
END_ROUTINE

// ---- Explosions -----------------------------------------------------------------

// $6CA8: an explosion at (d0, d1) for the owner d2 in the first free
// record, x moved to the nearest multiple of 16 (8 rounds down), with
// sample 6. Every register is kept: the host calls this entry directly
// between slices, even while the game is suspended in the middle of a
// pass over the table. A full table makes no explosion and no sound.
ROUTINE(sub_006CA8, 0x006CA8)
  save_regs(all_registers);
  a4 = explosion_table.address;
  put<W>(d7, explosion_table.records - 1);
LOOP(0x6CB4)
  tst<W>(rd16(a4 + explosion::active));
  if (cc_eq()) GOTO(0x6CC4);
  a4 += explosion_table.size;
  if (dbf(d7)) GOTO(0x6CB4);
  GOTO(0x6CEA);
HERE(0x6CC4)
  wr16(a4 + explosion::x, (d0 + 7) & 0xFFF0);
  wr16(a4 + explosion::y, d1);
  wr16(a4 + explosion::owner, d2);
  wr16(a4 + explosion::frame, 0);
  wr16(a4 + explosion::delay, 2);
  wr16(a4 + explosion::countdown, 20);
  wr16(a4 + explosion::active, 0xFFFF);
  put<W>(d0, blast_sample);
  JSR(0x00E756, 0x6CEA) // the host pans by the word at a4
  restore_regs(all_registers);
  RTS();
END_ROUTINE

// $6CFA: the countdown word of every record, free ones too.
ROUTINE(sub_006CFA, 0x006CFA)
LOOP(0x6CFA)
  a4 = explosion_table.address;
  put<W>(d7, explosion_table.records - 1);
LOOP(0x6D02)
  wr16(a4 + explosion::countdown, rd16(a4 + explosion::countdown) - 1);
  a4 += explosion_table.size;
  if (dbf(d7)) GOTO(0x6D02);
  RTS();
END_ROUTINE

// $6D12: each live explosion's animation, then its frame drawn. A frame
// shows for two passes (the first for three); the record is freed when
// the frame passes 10. The frame drawn is the one before the step.
ROUTINE(draw_explosions, 0x006D12)
LOOP(0x6D12)
  a4 = explosion_table.address;
  put<W>(d7, explosion_table.records - 1);
LOOP_HOOK(0x006D1A)
  tst<W>(rd16(a4 + explosion::active));
  if (cc_eq()) GOTO(0x006D5A);
  put<W>(d0, rd16(a4 + explosion::x));
  put<W>(d1, rd16(a4 + explosion::y));
  put<W>(d6, rd16(a4 + explosion::frame));
  tst<W>(rd16(a4 + explosion::delay));
  if (cc_eq()) GOTO(0x6D36);
  wr16(a4 + explosion::delay, rd16(a4 + explosion::delay) - 1);
  GOTO(0x6D4A);
HERE(0x6D36)
  wr16(a4 + explosion::delay, 1);
  wr16(a4 + explosion::frame, rd16(a4 + explosion::frame) + 1);
  cmp<W>(explosion::last_frame, rd16(a4 + explosion::frame));
  if (cc_ls()) GOTO(0x6D4A);
  wr16(a4 + explosion::active, 0);
  GOTO(0x006D5A);
HERE(0x6D4A)
  save_regs(all_registers);
  JSR(0x006D64, 0x6D52)
  restore_regs(all_registers);
  HOOK(0x006D5A)
  a4 += explosion_table.size;
  if (dbf(d7)) GOTO(0x006D1A);
  RTS();
END_ROUTINE

// $6D64: frame d6 of the explosion at (d0, d1), record a4, into
// draw_screen. The 32-pixel frame stands on a 16-pixel column; a half
// beside the field (columns 64-255) is not drawn, and a frame wholly
// beside it frees the record. Lines above or below the screen are cut;
// a frame wholly off it draws nothing and stays live.
ROUTINE(sub_006D64, 0x006D64)
  put<W>(d0, ((d0 - 100) & 0xFFF0) + 64);
  cmp<W>(100, d1);
  if (cc_cc()) GOTO(0x6D76);
  put<W>(d1, 0);
  GOTO(0x6D7A);
HERE(0x6D76)
  put<W>(d1, d1 - 100);
HERE(0x6D7A)
  a0 = rd32(draw_screen) + (d1 & 0xFFFF) * line_bytes;
  wr16(left_clip, 0);
  put<W>(d5, 0);
  cmp<W>(224, d0);
  if (cc_ls()) GOTO(0x6DA0);
  put<W>(d5, 0xFFFF);
  cmp<W>(240, d0);
  if (cc_ls()) GOTO(0x6DB2);
  wr16(a4 + explosion::active, 0);
  RTS();
HERE(0x6DA0)
  cmp<W>(64, d0);
  if (cc_cc()) GOTO(0x6DB2);
  wr8(left_clip, 0xFF);
  cmp<W>(48, d0);
  if (cc_cc()) GOTO(0x6DB2);
  wr16(a4 + explosion::active, 0);
  RTS();
HERE(0x6DB2)
  a0 += ((d0 & 0xFFFF) >> 4) * 8;
  a2 = explosion_frames + (d6 & 0xFFFF) * explosion_frame_bytes;
  put<W>(d7, 21);
  put<W>(d1, rd16(a4 + explosion::y) - 100);
  tst<W>(d1);
  if (cc_pl()) GOTO(0x6DE0);
  put<W>(d7, add<W>(d1, d7));
  if (cc_mi()) RTS();
  a2 += (neg<W>(d1) & 0xFFFF) * explosion_line_bytes;
  GOTO(0x6DF0);
HERE(0x6DE0)
  cmp<W>(178, d1);
  if (cc_lt()) GOTO(0x6DF0);
  put<W>(d7, sub<W>(d1 - 178, d7));
  if (cc_mi()) RTS();
LOOP(0x6DF0)
  if (rd8(left_clip) == 0) explosion_half(a0, a2);
  if ((d5 & 0xFFFF) == 0) explosion_half(a0 + 8, a2 + 6);
  a0 += line_bytes;
  a2 += explosion_line_bytes;
  if (dbf(d7)) GOTO(0x6DF0);
  RTS();
END_ROUTINE
