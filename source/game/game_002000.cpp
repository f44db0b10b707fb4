// Page $2000: the entry of the game's program image, where the boot state
// sets the program counter; the typed keys; the high-score sequence.
#include "game/game_io.h"
#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "game/routine_kit.h"

// $2C00: the program's entry: a5 := 0, the supervisor stack from $2400
// down, interrupts masked, then on into the cold start.
ROUTINE(sub_002C00, 0x002C00)
  a5 = 0;
  a7 = 0x002400;
  set_sr(0x2700);
  JMP(0x01088E);
END_ROUTINE

namespace {

constexpr u32 dev_mode_word = 0x000252;       // word: developer keys live
constexpr u32 dev_freerun_byte = 0x000254;    // byte: F5's toggle
constexpr u32 dev_sequence_pos = 0x000256;    // long: next byte to match
constexpr u32 dev_sequence = 0x008258;        // zero-terminated scan codes
constexpr u32 dev_timing_word = 0x00026E;     // F10 held
constexpr u32 sync_mode_register = 0xFF820A;  // bit 1: 50 / 60 Hz
constexpr u32 disk_cache_tag = 0x0020EE;      // long of the floppy driver
constexpr u32 loader_buffer_address = 0x0020FA;
constexpr u32 monitor_marker = 0x6356616C;    // "cVal"

}  // namespace

// $2110 (code at $7A6A-$7AD8): the last stage of the keyboard path, at
// interrupt level. F1 restarts the game in every state; without developer
// mode the presses are matched against the access sequence, with it the
// developer keys act. F7 does nothing: what it took off the stack was
// whatever the keyboard interrupt left there.
ROUTINE(sub_002110, 0x002110)
  cmp<B>(0x3B, d0);
  if (cc_eq()) JMP(0x00373A);
  tst<W>(rd16(dev_mode_word));
  if (cc_ne()) GOTO(0x7A9E);
  tst<B>(d0);
  if (cc_mi()) GOTO(0x7A9C);
  a4 = rd32(dev_sequence_pos);
  cmp<B>(rd8(a4), d0);
  if (cc_ne()) GOTO(0x7A8A);
  a4 += 1;
  wr32(dev_sequence_pos, a4);
  GOTO(0x7A90);
HERE(0x7A8A)
  wr32(dev_sequence_pos, dev_sequence);
HERE(0x7A90)
  a4 = rd32(dev_sequence_pos);
  tst<B>(rd8(a4));
  if (cc_ne()) GOTO(0x7A9C);
  wr8(dev_mode_word, 0xFF);
HERE(0x7A9C)
  RTS();
  // Developer keys.
HERE(0x7A9E)
  cmp<B>(0x44, d0);
  if (cc_ne()) GOTO(0x7AAA);
  wr8(dev_timing_word, 0xFF);
  RTS();
HERE(0x7AAA)
  cmp<B>(0xC4, d0);
  if (cc_ne()) GOTO(0x7AB6);
  wr16(dev_timing_word, 0);
  RTS();
HERE(0x7AB6)
  cmp<B>(0x3F, d0);
  if (cc_ne()) GOTO(0x7AC2);
  wr8(dev_freerun_byte, not_<B>(rd8(dev_freerun_byte)));
  RTS();
HERE(0x7AC2)
  cmp<B>(0x3E, d0);
  if (cc_ne()) GOTO(0x7AD8);
  wr8(sync_mode_register, bchg<B>(1, rd8(sync_mode_register)));
HERE(0x7AD8)
  RTS();
END_ROUTINE

// $2120: the way back from the resident monitor into the key path. When
// the key commands left their marker below the floppy buffer, the disk
// cache tag saved beside it is put back; a0 and a1 are kept.
ROUTINE(sub_002120, 0x002120)
  push32(a1);
  push32(a0);
  a0 = rd32(loader_buffer_address);
  if (rd32(a0 - 8) == monitor_marker) wr32(disk_cache_tag, rd32(a0 - 4));
  a0 = pop32();
  a1 = pop32();
  JMP(0x002110);
END_ROUTINE

// --- the high scores ------------------------------------------------------------

namespace {

constexpr u32 hiscore_text_pos = 0x0001C2;  // 4 bytes: the rank-number string
constexpr u32 entry_rank = 0x0001C6;        // word: 0-7, 8 = not in the table
constexpr u32 entry_name = 0x0001CC;        // long: name field of the new line
constexpr u32 chosen_heading = 0x0001DC;    // long
constexpr u32 entry_score = 0x0001E4;       // long
constexpr u32 hiscore_palette = 0x0035CE;   // 16 words
constexpr u32 hiscore_tune = 5;
constexpr u32 prompt_text = 0x0034D8;
constexpr u32 separator_text = 0x0035CC;
constexpr u32 ranks = 8;
constexpr u32 name_line_bytes = 22;
constexpr u32 name_chars = 20;
constexpr u32 record_bytes = 156;
constexpr u32 table_line = 0x12C0;          // the first entry's text line
constexpr u32 entry_lines = 2880;           // two text lines an entry
constexpr u32 first_rank_colour = 3;
constexpr u32 table_copy = 0x028000;        // the sector written to the disk
constexpr u32 table_words = 111;            // the 222 name bytes

inline void set_cursor(u32 line, u32 column, u32 colour) {
  wr16(text_line, line);
  wr16(text_column, column);
  wr16(text_margin, column);
  wr16(text_colour, colour);
}

} // namespace

// $2D9A: the high scores after a game: a heading at random, tune 5, each
// player's score offered (player 2's also in a one-player game, where it is
// 0 and never enters), then the table. The register that flashed during
// player 1's entry gets its colour back before player 2's turn.
ROUTINE(sub_002D9A, 0x002D9A)
  JSR(0x00360C, 0x2D9E)
  wr32(chosen_heading, a0);
  a1 = hiscore_palette;
  JSR(0x0074F0, 0x2DAC)
  d0 = hiscore_tune;
  JSR(0x0074F4, 0x2DB4)
  wr16(current_player, 0);
  JSR(0x002DE6, 0x2DBE)
  if (rd16(entry_rank) >= ranks) GOTO(0x2DD6);
  wr16(st_io::palette_regs + 2 * (rd16(cycle_register) & 15),
       rd16(hiscore_palette + 2 * first_rank_colour + 2 * rd16(entry_rank)));
HERE(0x2DD6)
  wr16(current_player, 1);
  JSR(0x002DE6, 0x2DE0)
  JSR(0x002E44, 0x2DE4)
  RTS();
END_ROUTINE

// $2DE6: the score of player current_player offered to the table; one that
// enters gets its line, the prompt, the name entry, and the table written
// to track 0, sector 2 through the floppy transfer (which reaches no disk
// here: the table lasts as long as the program runs).
ROUTINE(sub_002DE6, 0x002DE6)
  a0 = player1 + record_bytes * (rd16(current_player) & 1);
  wr32(entry_score, rd32(a0 + player_record::score));
  JSR(0x003054, 0x2DFA)
  cmp<W>(ranks, rd16(entry_rank));
  if (cc_eq()) GOTO(0x2E42);
  JSR(0x002FAC, 0x2E06)
  JSR(0x002E44, 0x2E0A)
  set_cursor(0x7760, 8, 12);
  a0 = prompt_text;
  JSR(0x008584, 0x2E20)
  d0 = '1' + rd16(current_player);
  JSR(0x00858E, 0x2E2A)
  JSR(0x003000, 0x2E2E)
  for (u32 i = 0; i < table_words; ++i) wr16(table_copy + 2 * i, rd16(hiscore_names + 2 * i));
  for (u32 i = 0; i < ranks; ++i) wr32(table_copy + 2 * table_words + 4 * i, rd32(hiscore_scores + 4 * i));
  wr16(disk_track, 0);
  wr16(disk_sector, 2);
  wr32(disk_buffer, table_copy);
  wr16(disk_count, 1);
  JSR(0x0086B4, 0x2E3E)
  JMP(0x00E8B2);
HERE(0x2E42)
  RTS();
END_ROUTINE

// $2E44: the table screen: the heading, the ranks 1-8, the names each in a
// colour of its own (3 + rank) and the scores, two text lines an entry.
// The screen is also copied to $18000, the clean picture of the masked
// output. Colour cycling stops.
ROUTINE(sub_002E44, 0x002E44)
  wr16(cycle_on, 0);
  JSR(0x007626, 0x2E4C)
  JSR(0x007558, 0x2E50)
  set_cursor(0x0320, 0, 12);
  a0 = rd32(chosen_heading);
  JSR(0x008584, 0x2E76)
  wr8(hiscore_text_pos, '1');
  wr8(hiscore_text_pos + 1, 13);
  wr8(hiscore_text_pos + 2, 13);
  wr8(hiscore_text_pos + 3, 0);
  set_cursor(table_line, 4, 1);
  d7 = ranks - 1;
LOOP(0x2EB0)
  a0 = hiscore_text_pos;
  JSR(0x008584, 0x2EBA)
  wr8(hiscore_text_pos, rd8(hiscore_text_pos) + 1);
  if (dbf(d7)) GOTO(0x2EB0);
  set_cursor(table_line, 7, 1);
  d7 = 0;
LOOP(0x2EDC)
  wr16(text_colour, first_rank_colour + (d7 & 0xFFFF));
  a0 = hiscore_names + name_line_bytes * (d7 & 0xFFFF);
  JSR(0x008584, 0x2EF0)
  cmp<W>(ranks - 1, d7);
  if (cc_eq()) GOTO(0x2F04);
  a0 = separator_text;
  JSR(0x008584, 0x2F00)
  put<W>(d7, d7 + 1);
  GOTO(0x2EDC);
HERE(0x2F04)
  set_cursor(table_line, 29, 1);
  d7 = 0;
LOOP(0x2F28)
  d0 = rd32(hiscore_scores + 4 * (d7 & 0xFFFF));
  JSR(0x007D38, 0x2F34)
  d0 = 13;
  JSR(0x00858E, 0x2F3C)
  d0 = 13;
  JSR(0x00858E, 0x2F44)
  put<W>(d7, d7 + 1);
  cmp<W>(ranks, d7);
  if (cc_ne()) GOTO(0x2F28);
  RTS();
END_ROUTINE

// $2FAC: the score of entry_score put in at rank r (word $1C6): the
// entries below move down one and the last drops out; the new line's 20
// name characters become spaces. The two bytes after the last line's name
// stay as they are.
ROUTINE(sub_002FAC, 0x002FAC)
  d0 = rd16(entry_rank);
  for (u32 i = ranks - 1; i > (d0 & 0xFFFF); --i) wr32(hiscore_scores + 4 * i, rd32(hiscore_scores + 4 * (i - 1)));
  wr32(hiscore_scores + 4 * (d0 & 0xFFFF), rd32(entry_score));
  {
    const u32 from = hiscore_names + name_line_bytes * (d0 & 0xFFFF);
    const u32 last = hiscore_names + name_line_bytes * (ranks - 1) - 2; // exclusive
    for (u32 at = last; at-- > from;) wr8(at + name_line_bytes, rd8(at));
    wr32(entry_name, from);
    for (u32 i = 0; i < name_chars; ++i) wr8(from + i, ' ');
  }
  RTS();
END_ROUTINE
