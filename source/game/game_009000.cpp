// Page $9000: the frame pacing of the mission loops.
#include "game/game_io.h"
#include "game/game_ram.h"
#include "game/routine_kit.h"

using namespace st_io;

// $91E0: paces one game frame to two VBLs at the least (25 frames per
// second at 50 Hz): waits until the frame countdown is negative, shows the
// screen just drawn, waits for the VBL in which it appears, checks the
// pause, and swaps the screens. Returns d0 = the new `draw_screen`, d1 = the
// other buffer.
ROUTINE(wait_two_vbl, 0x0091E0)
LOOP(0x91E0)
  tst<W>(rd16(frame_countdown));
  if (cc_mi()) GOTO(0x91FA);
  if (kit_wait(0x91E8)) return;
LABEL(0x91E8)
  tst<W>(rd16(dev_timing));
  if (cc_eq()) GOTO(0x91E0);
  wr16(palette_regs, 0); // developer timing: the idle time shows black
  GOTO(0x91E0);
HERE(0x91FA)
  wr16(frame_countdown, 1);
  d0 = rd32(draw_screen);
  JSR(0x007B2A, 0x9208)
  JSR(0x0079DC, 0x920E)
  wr16(palette_regs, 0);
  JSR(0x0075C4, 0x9218)
  cmp<L>(screen_buffer_a, rd32(draw_screen));
  if (cc_ne()) GOTO(0x9222);
  d0 = screen_buffer_b;
  d1 = screen_buffer_a;
  GOTO(0x9228);
HERE(0x9222)
  d0 = screen_buffer_a;
  d1 = screen_buffer_b;
HERE(0x9228)
  wr32(draw_screen, d0);
  RTS();
END_ROUTINE
