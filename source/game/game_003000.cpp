// Page $3000: the three routines that carry the game from one game to the
// next: the restart, the game start with its title, and the main loop of a
// game (player count, then map, shop, load and mission per mission, and the
// end sequence or the failed screen with the high scores).
#include "game/game_io.h"
#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "game/routine_kit.h"

using namespace st_io;

namespace {

constexpr u32 game_stack = 0x2400;
constexpr u32 start_palette = 0x008C24;
constexpr u32 start_colour14 = 0x008C40;
constexpr u32 title_text = 0x0037C6;
constexpr u32 loading_text = 0x003924;
constexpr u32 end_text = 0x003A3C;
constexpr u32 title_return = 0x00EBFE; // wait_fire, where the title sequence ends
constexpr u32 end_pause = 500000;      // counts of $75A4
constexpr u32 fire_delay = 9000000;    // counts of delay_loop, cut short by fire
constexpr u32 mission_count = 12;

inline void set_text_cursor(u32 line, u32 column, u32 colour) {
  wr16(text_line, line);
  wr16(text_column, column);
  wr16(text_margin, column);
  wr16(text_colour, colour);
}

} // namespace

// $373A: the restart: silence, a fresh stack and the work area cleared
// (the seed and the high scores lie outside it), then the game start with
// its title. Never returns.
ROUTINE(sub_00373A, 0x00373A)
  JSR(0x007626, 0x373E)
  set_sr(0x2700);
  JSR(0x0083B2, 0x3746)
  a5 = 0;
  a7 = game_stack;
  a0 = work_area;
  a1 = work_area_end;
  JSR(0x00759C, 0x375A)
  wr32(quick_start, 0);
  JMP(0x003762);
END_ROUTINE

// $3762: the game start: interrupts, the pre-shifted frames, then the
// title, or straight to the main loop when quick_start is set. Never
// returns: the title ends in wait_fire, which enters the main loop.
ROUTINE(sub_003762, 0x003762)
  JSR(0x007626, 0x3766)
  wr32(draw_screen, screen_buffer_b);
  wr32(dev_string_pos, dev_string);
  JSR(0x00765A, 0x3778)
  set_sr(0x2300);
  JSR(0x005FFE, 0x3780)
  JSR(0x008938, 0x3784)
  d7 = move<L>(rd32(quick_start));
  if (cc_ne()) JMP(0x00382E);
  JSR(0x007626, 0x3792)
  wr16(start_colour14, 0x025);
  a1 = start_palette;
  JSR(0x0075E2, 0x37A0)
  set_text_cursor(0x1900, 0, 2);
  a0 = title_text;
  JSR(0x008934, 0x37BE)
LABEL(0x37C2)
  push32(title_return);
  JMP(0x00EC40);
  // The title's own way back to its start.
LABEL(0xEBF6)
  GOTO(0x37C2);
END_ROUTINE

// $382E: one game: the player count, the new players, then one pass per
// mission; a completed mission marks its byte and goes back to the map
// until all twelve are done; a failed one ends the game. Never returns.
ROUTINE(sub_00382E, 0x00382E)
  JSR(0x007626, 0x3832)
  wr32(split_title, 0); // and title_mode
  JSR(0x00AF9E, 0x383C)
  JSR(0x00751A, 0x3840)
  JSR(0x007626, 0x3844)
  set_sr(0x2700);
  wr16(level_section, 0);
  a5 = 0;
  a7 = game_stack;
  JSR(0x009048, 0x3856)
  JSR(0x0090C2, 0x385A)
  set_sr(0x2300);
LOOP(0x3866)
  JSR(0x009048, 0x386A)
  JSR(0x0091D0, 0x386E)
  JSR(0x009134, 0x3872)
  JSR(0x008914, 0x3876)
  JSR(0x0086BC, 0x387A)
  JSR(0x007626, 0x387E)
  set_text_cursor(0x3840, 9, 1);
  a0 = loading_text;
  JSR(0x008584, 0x389E)
  JSR(0x008910, 0x38A2)
  JSR(0x009062, 0x38A6)
  JSR(0x007626, 0x38AA)
  JSR(0x008C64, 0x38AE)
  d0 = 0;
  wr8(frame_countdown, 0xFF); // the first frame does not wait
  wr16(exit_request, 0);
  JSR(0x0074F4, 0x38C2)
  wr8(music_level, 13);
  JSR(0x00868A, 0x38CE)
  wr8(last_key, 0);
  JSR(0x008EAC, 0x38D8)
  wr8(music_level, 15);
  tst<W>(rd16(exit_request));
  if (cc_eq()) GOTO(0x3906);

  // Completed: the result screen and its tune, then the mission's byte.
  JSR(0x007558, 0x38EA)
  d0 = screen_buffer_b;
  wr32(draw_screen, d0);
  JSR(0x008920, 0x38F8)
  JSR(0x008924, 0x38FC)
  d0 = 3;
  JSR(0x0074F4, 0x3904)
  GOTO(0x3972);

  // Failed: the failed screen and the high scores; fire during the last
  // delay leaves its count in quick_start, so the next game skips the title.
HERE(0x3906)
  JSR(0x00A914, 0x390A)
  JSR(0x002D9A, 0x390E)
  d7 = fire_delay;
  JSR(0x0075AE, 0x3914)
  wr32(quick_start, d7);
  JSR(0x00751A, 0x391A)
  a0 = work_area;
  a1 = work_area_end;
  JSR(0x00759C, 0x3920)
  JMP(0x003762);

WAIT_VBL_FLAG(0x3972)
  tst<B>(rd8(tune_playing));
  if (cc_ne()) GOTO(0x3972);
  JSR(0x008528, 0x3984)
  put<W>(d0, rd16(chosen_mission));
  wr8(missions_done + sext16(d0), 0xFF);
  for (u32 i = 0; i < mission_count; ++i)
    if (rd8(missions_done + i) == 0) GOTO(0x3866);

  // All twelve done: the end text, the high scores, the end text again,
  // then the restart with the title.
  JSR(0x007626, 0x39A4)
  a1 = start_palette;
  JSR(0x0075E2, 0x39AE)
  set_text_cursor(0x3980, 0, 8);
  a0 = end_text;
  JSR(0x008934, 0x39C8)
  d7 = end_pause;
  JSR(0x0075A4, 0x39D2)
  d7 = fire_delay;
  JSR(0x0075AE, 0x39DC)
  JSR(0x002D9A, 0x39E0)
  d7 = fire_delay;
  JSR(0x0075AE, 0x39EA)
  JSR(0x00751A, 0x39EE)
  JSR(0x007626, 0x39F2)
  a1 = start_palette;
  JSR(0x0075E2, 0x39FC)
  set_text_cursor(0x3980, 0, 8);
  a0 = end_text;
  JSR(0x008934, 0x3A16)
  d7 = end_pause;
  JSR(0x0075A4, 0x3A20)
  JMP(0x00373A);
END_ROUTINE
