// Page $B000: the world map's pointer (move, draw, erase), its box hit
// test, and the panel's mission picture and clear.
#include "game/game_io.h"
#include "game/game_ram.h"
#include "game/map_drawing.h"
#include "game/map_ram.h"
#include "game/routine_kit.h"

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
