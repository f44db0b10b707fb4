// Page $B000: the enemies' per-frame steps: the script interpreter with its
// animation selection, and the animation step that moves each enemy's
// frame on and frees a dying enemy at the end of its last animation.
#include "game/mission_ram.h"
#include "game/routine_kit.h"

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
