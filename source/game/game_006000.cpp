// Page $6000: the dot bullets' drawing (plotted as shot frame 24 over any
// background, freed once they leave the field).
#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "game/routine_kit.h"

namespace {

constexpr u32 shot_frames = 0x04694A;   // copy 0; copy k moved k pixels right
constexpr u32 shot_copy_bytes = 1566;
constexpr u32 shot_frame_bytes = 54;    // 9 lines of three plane words
constexpr u32 dot_frame = 24;
constexpr u32 dot_lines = 9;
constexpr u32 line_bytes = 160;

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
