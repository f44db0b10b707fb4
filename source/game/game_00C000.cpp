// Page $C000: the world map's mission markers (animate, draw, erase) and
// the panel's frame and message.
#include "game/game_io.h"
#include "game/game_ram.h"
#include "game/map_drawing.h"
#include "game/map_ram.h"
#include "game/routine_kit.h"

using namespace st_io;

namespace {

constexpr u32 line_bytes = 160;
constexpr u32 mission_count = 12;
constexpr u32 message_colour = 11;

} // namespace

// $C81A: each active marker either sits out its hidden countdown or is
// drawn and animated: frames 0-5 for 6 passes each, then 40 passes away.
ROUTINE(sub_00C81A, 0x00C81A)
  a6 = mission_markers;
  put<W>(d7, mission_count - 1);
LOOP(0xC822)
  tst<W>(rd16(a6 + marker::active));
  if (cc_eq()) GOTO(0xC872);
  tst<W>(rd16(a6 + marker::hidden));
  if (cc_eq()) GOTO(0xC834);
  wr16(a6 + marker::hidden, rd16(a6 + marker::hidden) - 1);
  GOTO(0xC872);
HERE(0xC834)
  put<W>(d1, rd16(a6 + marker::x));
  put<W>(d2, rd16(a6 + marker::y));
  put<W>(d3, rd16(a6 + marker::frame));
  JSR(0x00C87E, 0xC844)
  wr16(a6 + marker::countdown, rd16(a6 + marker::countdown) - 1);
  if (rd16(a6 + marker::countdown) != 0) GOTO(0xC872);
  wr16(a6 + marker::countdown, marker::vbls_per_frame);
  wr16(a6 + marker::frame, rd16(a6 + marker::frame) + 1);
  if (rd16(a6 + marker::frame) < marker::frames) GOTO(0xC872);
  wr16(a6 + marker::frame, 0);
  wr16(a6 + marker::hidden, marker::hidden_passes);
HERE(0xC872)
  a6 += marker::size;
  if (dbf(d7)) GOTO(0xC822);
  RTS();
END_ROUTINE

// $C87E: the marker of record a6 drawn at (d1, d2) in frame d3; its place
// kept in the record for the erase.
ROUTINE(sub_00C87E, 0x00C87E)
  a2 = marker_frames + 18 * (d3 & 0xFFFF);
  JSR(0x00C8C8, 0xC88E)
  wr32(a6 + marker::drawn_at, a0);
  map_drawing::draw();
  RTS();
END_ROUTINE

// $C8C8: the frame at a2 shifted into $BF42 for (d1 - 4, line d2); a0/a1 =
// its left and right bytes.
ROUTINE(sub_00C8C8, 0x00C8C8)
  put<W>(d0, d1 - 4);
  map_drawing::place(a2, marker_shifted);
  RTS();
END_ROUTINE

// $C906: every marker ever drawn (active or not) erased from the clean
// copy.
ROUTINE(sub_00C906, 0x00C906)
  a6 = mission_markers;
  put<W>(d7, mission_count - 1);
LOOP(0xC90E)
  a0 = rd32(a6 + marker::drawn_at);
  if (a0 != 0) map_drawing::erase(a0);
  a6 += marker::size;
  if (dbf(d7)) GOTO(0xC90E);
  RTS();
END_ROUTINE

// $C94C: message d0.w of the map in colour 11 from the panel's top left;
// the text lays itself out with its own returns and colour bytes.
ROUTINE(sub_00C94C, 0x00C94C)
  a0 = map_message_texts + sext16(rd16(map_messages + sext16((d0 << 1) & 0xFFFF)));
  wr16(text_line, 0);
  wr16(text_column, 0);
  wr16(text_margin, 0);
  wr16(text_colour, message_colour);
  JMP(0x008584);
END_ROUTINE

// $C97C: clears the panel's frame area, bytes 0-31 of lines 4-44 of
// screen $20000.
ROUTINE(sub_00C97C, 0x00C97C)
  a0 = screen_buffer_b + 4 * line_bytes;
  put<W>(d1, 44 - 4);
LOOP(0xC986)
  for (u32 i = 0; i < 32; i += 4) wr32(a0 + i, 0);
  a0 += line_bytes;
  if (dbf(d1)) GOTO(0xC986);
  RTS();
END_ROUTINE

// $C9A2: the panel's frame from the clean copy: bytes 0-31 of lines 8-44
// of screen $18000 to lines 4-40 of screen $20000.
ROUTINE(sub_00C9A2, 0x00C9A2)
  a0 = screen_buffer_a + 8 * line_bytes;
  a1 = screen_buffer_b + 4 * line_bytes;
  put<W>(d1, 40 - 4);
LOOP(0xC9B2)
  for (u32 i = 0; i < 32; i += 4) wr32(a1 + i, rd32(a0 + i));
  a0 += line_bytes;
  a1 += line_bytes;
  if (dbf(d1)) GOTO(0xC9B2);
  RTS();
END_ROUTINE
