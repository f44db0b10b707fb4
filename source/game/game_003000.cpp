// Page $3000: the high scores' name entry, ranking and masked text output;
// the three routines that carry the game from one game to the
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

// --- name entry and the masked text output -------------------------------------

namespace {

constexpr u32 entry_rank = 0x0001C6;      // word: 0-7
constexpr u32 entry_cursor = 0x0001C8;    // word: 0-19
constexpr u32 entry_name = 0x0001CC;      // long: name field of the new line
constexpr u32 input_line = 0x003476;      // 20 characters, then the zero at $348A
constexpr u32 input_chars = 20;
constexpr u32 key_table = 0x00349E;       // one byte per scan code $00-$39
constexpr u32 last_scan_code = 0x39;
constexpr u32 key_return = 13;
constexpr u32 key_delete = 0xFF;
constexpr u32 default_names = 0x00322C;   // 32 zero-terminated names
constexpr u32 heading_offsets = 0x00362E; // 8 words from the headings at $3640
constexpr u32 headings = 0x003640;
constexpr u32 cycle_colours = 0x0035EE;
constexpr u32 first_entry_line = 4800;
constexpr u32 entry_lines = 2880;
constexpr u32 first_rank_colour = 3;
constexpr u32 name_column = 7;
constexpr u32 clean_screen = 0x018000;    // the picture behind the masked output
constexpr u32 masked_screen = 0x020000;
constexpr u32 text_line_bytes = 1440;

} // namespace

// $3000: the name typed over the table line of rank r (word $1C6) in its
// colour (3 + r), whose register flashes meanwhile; the line goes to the
// new entry's name field.
ROUTINE(sub_003000, 0x003000)
  put<W>(d0, rd16(entry_rank));
  wr16(text_line, first_entry_line + entry_lines * (d0 & 0xFFFF));
  wr16(text_column, name_column);
  wr16(text_margin, name_column);
  wr16(text_colour, first_rank_colour + (d0 & 0xFFFF));
  wr16(cycle_register, first_rank_colour + (d0 & 0xFFFF));
  wr32(cycle_position, cycle_colours);
  wr16(cycle_on, 0xFFFF);
  JSR(0x00344A, 0x3042)
  JSR(0x003172, 0x3046)
  a0 = input_line;
  a1 = rd32(entry_name);
  for (u32 i = 0; i < input_chars; ++i) wr8(a1 + i, rd8(a0 + i));
  RTS();
END_ROUTINE

// $3054: the rank of entry_score: the first table score below it
// (unsigned), or 8; an equal score ranks below the one it equals.
ROUTINE(sub_003054, 0x003054)
  d0 = 0;
LOOP(0x305A)
  cmp<L>(rd32(hiscore_scores + 4 * (d0 & 0xFFFF)), rd32(0x0001E4));
  if (cc_hi()) GOTO(0x3070);
  put<W>(d0, d0 + 1);
  cmp<W>(8, d0);
  if (cc_ne()) GOTO(0x305A);
HERE(0x3070)
  wr16(entry_rank, d0);
  RTS();
END_ROUTINE

// $3172: the line editor's input loop.
ROUTINE(sub_003172, 0x003172)
  JMP(0x0031B6);
END_ROUTINE

// $31B6: the line editor, a key a frame until Return: the key table turns
// scan codes into characters, Backspace's entry deletes, releases and
// zero entries are ignored. Return on an empty line takes one of the 32
// default names, chosen by the VBL counter.
ROUTINE(wait_key, 0x0031B6)
WAIT_VBL_FLAG(0x31B6)
  put<B>(d0, move<B>(rd8(last_key)));
  if (cc_eq()) GOTO(0x31B6);
  if (cc_mi()) GOTO(0x3208);
  JSR(0x00348C, 0x31CA)
  tst<B>(d0);
  if (cc_eq()) GOTO(0x3208);
  cmp<B>(key_delete, d0);
  if (cc_ne()) GOTO(0x31E0);
  JSR(0x0033EE, 0x31DC)
  GOTO(0x3208);
HERE(0x31E0)
  cmp<B>(key_return, d0);
  if (cc_eq()) GOTO(0x3210);
  JSR(0x003414, 0x3204)
HERE(0x3208)
  wr8(last_key, 0);
  GOTO(0x31B6);
HERE(0x3210)
  tst<W>(rd16(entry_cursor));
  if (cc_ne()) GOTO(0x3260);
  put<W>(d0, (rd16(vbl_counter) >> 6) & 31);
  a0 = default_names;
  for (u32 n = d0 & 0xFFFF; n > 0; --n)
    while (rd8(postinc<B>(a0)) != 0) {}
  // A default name longer than the line stops at its end: the line's zero
  // stays.
  a1 = input_line;
  for (u32 i = 0; i < input_chars && rd8(a0) != 0; ++i) wr8(postinc<B>(a1), rd8(postinc<B>(a0)));
HERE(0x3260)
  RTS();
END_ROUTINE

// $33EE: delete: the cursor one back (not below 0), the characters there
// and after it blanked, the line redrawn.
ROUTINE(sub_0033EE, 0x0033EE)
  tst<W>(rd16(entry_cursor));
  if (cc_eq()) GOTO(0x33FA);
  wr16(entry_cursor, rd16(entry_cursor) - 1);
HERE(0x33FA)
  wr8(input_line + rd16(entry_cursor), ' ');
  wr8(input_line + rd16(entry_cursor) + 1, ' ');
  JMP(0x003434);
END_ROUTINE

// $3414: the character d0 at the cursor; the cursor moves on, except past
// the twentieth place, which later characters replace.
ROUTINE(sub_003414, 0x003414)
  wr8(input_line + rd16(entry_cursor), d0);
  cmp<W>(input_chars - 1, rd16(entry_cursor));
  if (cc_eq()) GOTO(0x3430);
  wr16(entry_cursor, rd16(entry_cursor) + 1);
HERE(0x3430)
  JMP(0x003434);
END_ROUTINE

// $3434: the input line redrawn from the margin; the key is taken.
ROUTINE(sub_003434, 0x003434)
  wr16(text_column, rd16(text_margin));
  a0 = input_line;
  JSR(0x008584, 0x3444)
  wr8(last_key, 0);
  RTS();
END_ROUTINE

// $344A: the input line cleared to spaces, the cursor at its start.
ROUTINE(sub_00344A, 0x00344A)
  for (u32 i = 0; i < input_chars; ++i) wr8(input_line + i, ' ');
  wr16(entry_cursor, 0);
  wr8(last_key, 0);
  JMP(0x003434);
END_ROUTINE

// $348C: the character of scan code d0.b; codes above $39 read entry 0.
ROUTINE(sub_00348C, 0x00348C)
  put<L>(d0, d0 & 0xFF);
  if (d0 > last_scan_code) d0 = 0;
  put<B>(d0, move<B>(rd8(key_table + d0)));
  RTS();
END_ROUTINE

// $34FA: the masked character output: the glyph of d0 into screen $20000
// at the text cursor, its set pixels in the cursor's colour and its clear
// ones showing the clean picture of screen $18000. Colour bytes, carriage
// returns and column skips act as in the full printer. Keeps every
// register.
ROUTINE(sub_0034FA, 0x0034FA)
  tst<B>(d0);
  if (cc_pl()) GOTO(0x3506);
  wr16(text_colour, d0 & 0x7F);
  RTS();
HERE(0x3506)
  {
    const u32 c = d0 & 0x7F;
    if (c == 13) {
      wr16(text_column, rd16(text_margin));
      wr16(text_line, rd16(text_line) + text_line_bytes);
    } else if (c < 32) {
      wr16(text_column, rd16(text_column) + c);
    } else {
      const u32 column = rd16(text_column);
      u32 at = rd16(text_line) + (column >> 1) * 8 + (column & 1);
      const u32 colour = rd16(text_colour);
      for (u32 row = 0; row < 8; ++row, at += 160) {
        const u32 g = rd8(font8x8 + (c - 32) * 8 + row);
        for (u32 plane = 0; plane < 4; ++plane) {
          const u32 ink = (colour >> plane) & 1 ? g : 0;
          wr8(masked_screen + at + 2 * plane, ink | (rd8(clean_screen + at + 2 * plane) & ~g));
        }
      }
      wr16(text_column, column + 1);
    }
  }
  RTS();
END_ROUTINE

// $351C: the common bare return.
ROUTINE(sub_00351C, 0x00351C)
  RTS();
END_ROUTINE

// $360C: a0 := one of the 8 high-score headings at random; d0 kept.
ROUTINE(sub_00360C, 0x00360C)
  push32(d0);
LOOP(0x360E)
  JSR(0x007576, 0x3612)
  put<W>(d0, d0 & 15);
  btst<L>(3, d0);
  if (cc_ne()) GOTO(0x360E);
  a0 = headings + sext16(rd16(heading_offsets + 2 * (d0 & 0xFFFF)));
  d0 = pop32();
  RTS();
END_ROUTINE

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
