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

namespace rec {
constexpr u32 x = 0x02, y = 0x04, third = 0x06, weapon = 0x0C, flag_12 = 0x12, byte_19 = 0x19;
constexpr u32 word_2A = 0x2A, word_36 = 0x36, word_44 = 0x44, word_50 = 0x50, money = 0x58;
constexpr u32 plate = 0x94, tally = 0x96;
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
