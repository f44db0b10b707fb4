// Page $B000: the enemies' per-frame steps (the script interpreter with its
// animation selection, and the animation step that moves each enemy's
// frame on and frees a dying enemy at the end of its last animation); the
// world map's pointer (move, draw, erase), its box hit test, and the
// panel's mission picture and clear.
#include "game/game_io.h"
#include "game/game_ram.h"
#include "game/map_drawing.h"
#include "game/map_ram.h"
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
