// Page $9000: the set-up of a game and of each mission (section counters,
// player records, the object tables) and the frame pacing of the mission
// loops.
#include "game/game_io.h"
#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "game/routine_kit.h"

using namespace st_io;

namespace {

// Two entries of x, y and the third start word; a two-player game gives
// player 1 entry 1 and player 2 entry 0.
constexpr u32 player_starts = 0x0091C4;
constexpr u32 object_tables = 0x000412;
constexpr u32 object_tables_last = 0x001DC2; // cleared too
constexpr u32 start_money = 10000;
constexpr u32 centre_x = 146;                // the lone player starts mid-field
constexpr u32 lone_player1_third = 40;
constexpr u32 section_start_scroll = 223;
constexpr u32 section_start_clock = 184;
constexpr u32 last_map = 3;             // maps are level_table words 0-3
constexpr u32 first_stream_word = 8;    // streams from word 4 on
constexpr u32 collision_rows_cleared = 68;
constexpr u32 weapon_pictures = 0x039434; // 19 of 59 lines x 8 bytes
constexpr u32 weapon_picture_bytes = 472;
constexpr u32 weapon_param_table = 0x009E46; // 19 records of 5 words
constexpr u32 weapon_count = 19;
constexpr u32 panel_left = 0x2948;        // line 66, x 16, in either screen
constexpr u32 panel_right = 0x29D0;       // line 66, x 288

namespace rec {
constexpr u32 x = 0x02, y = 0x04, third = 0x06, weapon = 0x0C, flag_12 = 0x12, byte_19 = 0x19;
constexpr u32 word_2A = 0x2A, word_36 = 0x36, word_44 = 0x44, word_50 = 0x50, money = 0x58;
constexpr u32 plate = 0x94, tally = 0x96;
constexpr u32 bullet_speed = 0x4A, bullet_life = 0x4C, repeat_delay = 0x4E, pattern = 0x52;
constexpr u32 owned = 0x66;
} // namespace rec

// The start-table entry d7 into the record at a4, then the fields both
// the game's and each mission's set-up reset.
inline void place_player() {
  a0 = player_starts + 6 * (d7 & 0xFFFF);
  wr16(a4 + rec::x, rd16(a0));
  wr16(a4 + rec::y, rd16(a0 + 2));
  wr16(a4 + rec::third, rd16(a0 + 4));
  wr16(a4 + rec::word_44, 2);
  wr16(a4 + rec::word_50, 0);
  wr16(a4 + rec::word_2A, 0);
  wr8(a4 + rec::byte_19, 0);
  wr8(a4 + rec::flag_12, 0);
  wr16(a4 + rec::tally, 0);
}

// Player 1 first, with the higher entry when player 2 is in the game.
inline void first_player() {
  a4 = player1;
  put<W>(d7, rd16(two_player_flag) != 0 ? 1 : 0);
}

} // namespace

// $9048: the section counters before a game and before each mission.
ROUTINE(sub_009048, 0x009048)
  wr16(level_section, 0xFFFF);
  wr16(stream_section, 0xFFFF);
  RTS();
END_ROUTINE

// $9062: the next vertical section: the scroll back at its start, the
// next map and event stream of the mission data, the collision map cleared.
// The maps are the first four words of `level_table`; a fifth vertical
// section (a player who dodged the goal) would take a stream offset as a
// map and place stamps from code bytes all over RAM, so it plays the
// fourth map again. The stream index goes on as before.
ROUTINE(sub_009062, 0x009062)
  wr16(scroll_pos, section_start_scroll);
  put<W>(d0, add<W>(1, rd16(level_section)));
  wr16(level_section, d0);
  if ((d0 & 0xFFFF) > last_map) put<W>(d0, last_map);
  a0 = level_data + sext16(rd16(level_table + 2 * (d0 & 0xFFFF)));
  wr32(level_map_pointer, a0);
  JSR(0x0090AA, 0x9086)
  put<W>(d0, add<W>(1, rd16(stream_section)));
  wr16(stream_section, d0);
  a0 = level_table + sext16(rd16(level_table + first_stream_word + 2 * (d0 & 0xFFFF)));
  wr32(event_pointer, a0);
  wr8(event_clock, section_start_clock);
  RTS();
END_ROUTINE

// $90AA: clears the collision map and its copy, 68 rows of 16 bytes
// ($2840-$2847 after them stay).
ROUTINE(sub_0090AA, 0x0090AA)
  a0 = collision_map;
  put<W>(d0, collision_rows_cleared - 1);
LOOP(0x90B4)
  for (u32 i = 0; i < collision_row_bytes; i += 4) wr32(a0 + i, 0);
  a0 += collision_row_bytes;
  if (dbf(d0)) GOTO(0x90B4);
  RTS();
END_ROUTINE

// $90C2: a new game's player records: 3 lives, 10,000 money, placed by the
// start table; a lone player 1 starts mid-field.
ROUTINE(sub_0090C2, 0x0090C2)
  first_player();
LOOP(0x90D0)
  place_player();
  wr16(a4 + player_record::lives, 3);
  wr16(a4 + rec::weapon, 0);
  wr32(a4 + rec::money, start_money);
  if (dbf(d7)) {
    a4 = player2;
    GOTO(0x90D0);
  }
  tst<W>(rd16(two_player_flag));
  if (cc_ne()) GOTO(0x9132);
  wr16(player1 + rec::third, lone_player1_third);
  wr16(player1 + rec::x, centre_x);
HERE(0x9132)
  RTS();
END_ROUTINE

// $9134: each mission's player records: placed again, the plates re-armed,
// lives topped up to 3 (none stay none, more stay more); the one player
// left in play starts mid-field.
ROUTINE(sub_009134, 0x009134)
  first_player();
LOOP(0x9142)
  place_player();
  wr16(a4 + rec::word_36, 1);
  wr16(a4 + rec::plate, 0);
  put<W>(d0, rd16(a4 + player_record::lives));
  if (d0 == 0 || d0 >= 3) GOTO(0x9178);
  wr16(a4 + player_record::lives, 3);
HERE(0x9178)
  if (dbf(d7)) {
    a4 = player2;
    GOTO(0x9142);
  }
  tst<W>(rd16(player2 + player_record::lives));
  if (cc_ne()) GOTO(0x91A8);
  wr16(player1 + rec::third, lone_player1_third);
  wr16(player1 + rec::x, centre_x);
  GOTO(0x91C2);
HERE(0x91A8)
  tst<W>(rd16(player1 + player_record::lives));
  if (cc_ne()) GOTO(0x91C2);
  wr16(player2 + rec::third, 0);
  wr16(player2 + rec::x, centre_x);
HERE(0x91C2)
  RTS();
END_ROUTINE

// $91D0: clears the object tables and the work bytes after them, byte by
// byte, $1DC2 included (the map's marker records among them).
ROUTINE(sub_0091D0, 0x0091D0)
  a0 = object_tables;
LOOP(0x91D6)
  wr8(a0, 0);
  a0 += 1;
  cmpa<L>(object_tables_last + 1, a0);
  if (cc_cs()) GOTO(0x91D6);
  RTS();
END_ROUTINE

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

// $9D70: at a mission's start each player's first owned weapon becomes the
// current one, shown and loaded. The scan stops after the 19 weapon bytes
// (past them lie the counters, which would read as weapons above 18): a
// player owning none keeps the weapon held, picture and parameters loaded.
ROUTINE(sub_009D70, 0x009D70)
  wr16(current_player, 0);
  a4 = player1;
  a0 = a4 + rec::owned;
  d0 = 0;
LOOP(0x9D80)
  tst<B>(rd8(a0 + d0));
  if (cc_ne()) GOTO(0x9D8E);
  d0 += 1;
  if (d0 < weapon_count) GOTO(0x9D80);
  GOTO(0x9D92);
HERE(0x9D8E)
  wr16(a4 + rec::weapon, d0);
HERE(0x9D92)
  JSR(0x009DB8, 0x9D96)
  tst<W>(rd16(two_player_flag));
  if (cc_eq()) GOTO(0x9DB0);
  wr16(current_player, 1);
  a4 = player2;
  a0 = a4 + rec::owned;
  d0 = 0;
LOOP(0x9DA0)
  tst<B>(rd8(a0 + d0));
  if (cc_ne()) GOTO(0x9DA8);
  d0 += 1;
  if (d0 < weapon_count) GOTO(0x9DA0);
  GOTO(0x9DAA);
HERE(0x9DA8)
  wr16(a4 + rec::weapon, d0);
HERE(0x9DAA)
  JSR(0x009DB8, 0x9DAE)
HERE(0x9DB0)
  wr16(current_player, 0);
  RTS();
END_ROUTINE

// $9DB8: the current weapon of the player at a4 into its panel place in
// both screens (fixed addresses, whichever is being drawn), and its firing
// parameters into the record; the fire delay starts again. Keeps every
// register.
ROUTINE(sub_009DB8, 0x009DB8)
LOOP(0x9DB8)
  save_regs(dregs(0, 7) | aregs(0, 6));
  d0 = rd16(current_player) != 0 ? panel_right : panel_left;
  a1 = screen_buffer_b + d0;
  a2 = screen_buffer_a + d0;
  a0 = weapon_pictures + weapon_picture_bytes * rd16(a4 + rec::weapon);
  d1 = 58;
LOOP(0x9DE0)
  wr32(a1, rd32(a0));
  wr32(a2, rd32(a0));
  wr32(a1 + 4, rd32(a0 + 4));
  wr32(a2 + 4, rd32(a0 + 4));
  a0 += 8;
  a1 += 160;
  a2 += 160;
  if (dbf(d1)) GOTO(0x9DE0);
  a0 = weapon_param_table + 10 * rd16(a4 + rec::weapon);
  wr16(a4 + rec::bullet_speed, rd16(a0));
  wr16(a4 + rec::bullet_life, rd16(a0 + 2));
  wr8(a4 + rec::repeat_delay, rd8(a0 + 5));
  wr16(a4 + rec::pattern, rd16(a0 + 6));
  wr16(a4 + player_record::count_index, rd16(a0 + 8));
  wr8(a4 + rec::byte_19, 0);
  restore_regs(dregs(0, 7) | aregs(0, 6));
  RTS();
END_ROUTINE
