// Page $2000: the entry of the game's program image, where the boot state
// sets the program counter.
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
