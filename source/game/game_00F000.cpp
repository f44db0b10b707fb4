// Page $F000: the unpacker of the game's squeezed files (a Huffman code
// tree, then a bit stream read from bit 0 of each byte up, with byte $90 as
// a run marker), which the loaders call after the 29-byte file header; and
// the title's sample player.
#include "game/game_io.h"
#include "game/game_ram.h"
#include "game/routine_kit.h"

namespace {

constexpr u32 nodes_read = 0x0001D4; // word: nodes of the tree read so far
constexpr u32 node_count = 0x0001D6; // word: nodes in the file (signed)
constexpr u32 end_leaf = 0xFEFF;     // the leaf of symbol 256, the end of data
constexpr u32 end_symbol = 256;
constexpr u32 run_marker = 0x90;

constexpr u32 title_sample_ptr = 0x0001E0; // long: the next sample byte
constexpr u32 title_sample = 0x066F38;     // 2,772 signed bytes
constexpr u32 title_sample_last = 0x067A0B;
constexpr u32 title_ym_table = 0x067A0C;   // 256 x (3 register/value pairs, 2 spare bytes)

} // namespace

// $F816: Timer A during the title: one byte of the looping sample becomes
// three YM register writes from the ready-made table (the second pair goes
// through $FF8804/$FF8806, images of the YM ports). Every register kept.
ROUTINE(sub_00F816, 0x00F816)
  save_regs(dregs(0, 1) | aregs(0, 1));
  d0 = 0;
  a0 = rd32(title_sample_ptr);
  put<B>(d0, rd8(a0));
  a0 += 1;
  wr32(title_sample_ptr, a0);
  if (a0 <= title_sample_last) GOTO(0xF83A);
  wr32(title_sample_ptr, title_sample);
HERE(0xF83A)
  put<B>(d0, d0 + 0x80);
  put<W>(d0, (d0 & 0xFF) << 3);
  a1 = title_ym_table;
  d1 = rd32(a1 + (d0 & 0xFFFF));
  put<W>(d0, rd16(a1 + (d0 & 0xFFFF) + 4));
  a1 = st_io::ym_select;
  movep_store<L>(d1, a1);
  movep_store<W>(d0, a1);
  restore_regs(dregs(0, 1) | aregs(0, 1));
  wr8(st_io::mfp_isra, bclr<B>(5, rd8(st_io::mfp_isra)));
  RTE();
END_ROUTINE

// $F864: an interrupt routine that only returns; no vector points at it.
ROUTINE(sub_00F864, 0x00F864)
  RTE();
END_ROUTINE

// $FC88: expands the squeezed data at a4 (just after the header; a1 = end
// of the packed data) into a6, with the node table at a3. Returns a6 past
// the last byte written, a4 past the last source byte used, d0 = -1 and
// d2.w = d4.w = $FFFF. The bit stream must end with the end leaf: a
// stream without one, or a tree that never reaches a leaf, keeps the game
// here as on the machine.
// a2 bit counter, d3.w source byte, d4.w node or child, d5.w run state,
// d6.w previous byte, d2.w last symbol.
ROUTINE(sub_00FC88, 0x00FC88)
  JSR(0x00FD20, 0xFC8C)
LOOP(0xFC90)
  d4 = 0;
LOOP(0xFC94)
  a2 += 1;
  if (static_cast<i32>(a2) <= 7) GOTO(0xFCA8);
  put<W>(d3, rd8(a4));
  a4 += 1;
  a2 = 0;
  GOTO(0xFCAE);
HERE(0xFCA8)
  put<W>(d3, (d3 & 0xFFFF) >> 1);
HERE(0xFCAE)
  a0 = a3 + (d4 & 0xFFFF) * 4 + (d3 & 1) * 2;
  put<W>(d4, rd16(a0));
  if (!(d4 & 0x8000)) GOTO(0xFC94);
  put<W>(d4, ~d4);
  cmp<W>(end_symbol, d4);
  if (cc_ne()) GOTO(0xFCD0);
  d0 = 0xFFFFFFFF;
  put<W>(d2, 0xFFFF);
  put<W>(d4, 0xFFFF);
  RTS();
HERE(0xFCD0)
  put<W>(d2, d4);
  tst<W>(d5);
  if (cc_ne()) GOTO(0xFCEC);
  cmp<W>(run_marker, d2);
  if (cc_ne()) GOTO(0xFCE2);
  put<W>(d5, 1);
  GOTO(0xFC90);
HERE(0xFCE2)
  put<W>(d6, d2);
  wr8(a6, d2);
  a6 += 1;
  GOTO(0xFC90);
  // After the marker: 0 stands for the byte $90 itself, n for a run of n
  // bytes of which the previous byte was the first.
HERE(0xFCEC)
  tst<W>(d2);
  if (cc_ne()) GOTO(0xFCFA);
  wr8(a6, run_marker);
  a6 += 1;
  GOTO(0xFD14);
HERE(0xFCFA)
  put<W>(d0, d2 - 1);
  if ((d0 & 0xFFFF) == 0) GOTO(0xFD14);
LOOP(0xFD04)
  wr8(a6, d6);
  a6 += 1;
  put<W>(d0, sub<W>(1, d0));
  if (cc_ne()) GOTO(0xFD04);
HERE(0xFD14)
  put<W>(d5, 0);
  GOTO(0xFC90);
END_ROUTINE

// $FD20: reads the code tree: node count N (signed), then N nodes of two
// little-endian children into the node table at a3 as big-endian words.
// Node 0 is preset to two end leaves, so a file without nodes decodes to
// nothing. Returns d0 = 0; d5.w := 0 and a2 := 99, so the first bit fetches
// a fresh source byte.
ROUTINE(sub_00FD20, 0x00FD20)
  put<W>(d5, 0);
  a2 = 99;
  JSR(0x00FD72, 0xFD2A)
  wr16(node_count, d0);
  wr16(a3, end_leaf);
  wr16(a3 + 2, end_leaf);
  wr16(nodes_read, 0);
LOOP(0xFD36)
  cmp<W>(rd16(node_count), rd16(nodes_read));
  if (cc_ge()) GOTO(0xFD6A);
  a0 = a3 + rd16(nodes_read) * 4;
  JSR(0x00FD72, 0xFD40)
  wr16(a0, d0);
  JSR(0x00FD72, 0xFD48)
  wr16(a0 + 2, d0);
  wr16(nodes_read, rd16(nodes_read) + 1);
  GOTO(0xFD36);
HERE(0xFD6A)
  d0 = 0;
  RTS();
END_ROUTINE

// $FD72: the little-endian word at a4 into d0.w (d1.b = its first byte),
// a4 += 2; at or past the end a1: d0 := -1 and a4 stays.
ROUTINE(sub_00FD72, 0x00FD72)
  if (a4 < a1) GOTO(0xFD7C);
  d0 = 0xFFFFFFFF;
  RTS();
HERE(0xFD7C)
  put<B>(d1, rd8(a4));
  a4 += 1;
  put<W>(d0, rd8(a4) << 8 | (d1 & 0xFF));
  a4 += 1;
  RTS();
END_ROUTINE

// $FF3C: takes the load record at a0 (track, first sector, sector count,
// buffer; a0 += 10) into the disk request and goes on into the sector
// loader, which returns to the caller.
ROUTINE(sub_00FF3C, 0x00FF3C)
  wr16(disk_track, rd16(a0));
  wr16(disk_sector, rd16(a0 + 2));
  wr16(disk_count, rd16(a0 + 4));
  wr32(disk_buffer, rd32(a0 + 6));
  a0 += 10;
  JMP(0x0086B0);
END_ROUTINE

// $FF62: re-orders word $276 groups of 8 words at a1 in place, the two
// halves interleaved word by word (w0 w4 w1 w5 w2 w6 w3 w7); a1 ends past
// the last group, word $276 at 0; d0-d7 changed.
ROUTINE(sub_00FF62, 0x00FF62)
LOOP(0xFF62)
  movem_load<W>(dregs(0, 7), a1);
  wr16(a1, d0);
  wr16(a1 + 2, d4);
  wr16(a1 + 4, d1);
  wr16(a1 + 6, d5);
  wr16(a1 + 8, d2);
  wr16(a1 + 10, d6);
  wr16(a1 + 12, d3);
  wr16(a1 + 14, d7);
  a1 += 16;
  wr16(disk_count, rd16(disk_count) - 1);
  if (rd16(disk_count) != 0) GOTO(0xFF62);
  RTS();
END_ROUTINE
