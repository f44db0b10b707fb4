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

// --- the mission-complete screen's pay, result fields and tally --------------------

namespace {

constexpr u32 tally_sound_gap = 0x0001D8; // word, signed: passes until the next tally sound
constexpr u32 result_hold = 0x0001DA;     // word: VBLs the result fields stay
constexpr u32 result_hold_vbls = 100;
constexpr u32 mission_pay_table = 0x00C7EA; // 12 longs
constexpr u32 player1_lives = 0x0002DA, player2_lives = 0x000376;
constexpr u32 player1_money = 0x000332, player2_money = 0x0003CE;
constexpr u32 player1_tally = 0x000370, player2_tally = 0x00040C;
constexpr u32 pay_pause = 400000;         // passes of $FC60
constexpr u32 pay_sound = 16;
constexpr u32 tally_sound = 1;
constexpr u32 tally_unit = 10;            // money for one tally count
constexpr u32 tally_sound_passes = 4;

// $FC60 runs at a fixed rate of host time, as the game's other busy delays
// do: 8,900 passes a VBL (18 cycles a pass at 8 MHz). A rest of half a VBL
// or more still waits for it, so 1,150,000 passes take 129 VBLs and
// 400,000 take 45.
constexpr u32 delay_passes_per_vbl = 8900;

inline bool in_play(u32 lives) { return rd16(lives) != 0; }

} // namespace

// $F91E: waits, a VBL at a time, for the end of tune 6 (the first test
// after a VBL); then the money fields, a pause, and each player in play
// paid a share of the mission's pay with a sound and a pause each: the
// pay's low word halved, and halved again when both play. Both moneys are
// raised before the first sound.
ROUTINE(sub_00F91E, 0x00F91E)
WAIT_VBL_FLAG(0xF91E)
  tst<B>(rd8(tune_playing));
  if (cc_ne()) GOTO(0xF91E);
  JSR(0x00FB4A, 0xF934)
  if (!in_play(player1_lives)) GOTO(0xF944);
  JSR(0x00FB66, 0xF940)
  JSR(0x00FBA8, 0xF944)
  if (!in_play(player2_lives)) GOTO(0xF954);
  JSR(0x00FBCC, 0xF950)
  JSR(0x00FC0E, 0xF954)
  d0 = pay_pause;
  JSR(0x00FC60, 0xF95E)
  d0 = rd32(mission_pay_table + 4 * sext16(rd16(chosen_mission)));
  if (in_play(player1_lives) && in_play(player2_lives)) put<W>(d0, (d0 & 0xFFFF) >> 1);
  put<W>(d0, (d0 & 0xFFFF) >> 1);
  if (!in_play(player1_lives)) GOTO(0xF9A6);
  wr32(player1_money, rd32(player1_money) + d0);
  if (in_play(player2_lives)) wr32(player2_money, rd32(player2_money) + d0);
  d0 = pay_sound;
  d1 = 0;
  JSR(0x041C04, 0xF982)
  JSR(0x00FBA8, 0xF986)
  d0 = pay_pause;
  JSR(0x00FC60, 0xF98C)
  if (!in_play(player2_lives)) GOTO(0xF9C6);
  d0 = pay_sound;
  d1 = 0;
  JSR(0x041C04, 0xF99A)
  JSR(0x00FC0E, 0xF99E)
  d0 = pay_pause;
  JSR(0x00FC60, 0xF9A4)
  GOTO(0xF9C6);
HERE(0xF9A6)
  if (!in_play(player2_lives)) GOTO(0xF9C6);
  wr32(player2_money, rd32(player2_money) + d0);
  d0 = pay_sound;
  d1 = 0;
  JSR(0x041C04, 0xF9B8)
  JSR(0x00FC0E, 0xF9BC)
  d0 = pay_pause;
  JSR(0x00FC60, 0xF9C4)
HERE(0xF9C6)
  RTS();
END_ROUTINE

// $F9C8: the bonus tally: heading and counts, 100 VBLs, then a pass a VBL
// in which each player in play with a count left turns one count into 10
// of money, until both counts are 0; a sound on every fifth pass.
ROUTINE(sub_00F9C8, 0x00F9C8)
  JSR(0x00FB2E, 0xF9CC)
  if (!in_play(player1_lives)) GOTO(0xF9D8);
  JSR(0x00FB82, 0xF9D8)
  if (!in_play(player2_lives)) GOTO(0xF9E4);
  JSR(0x00FBE8, 0xF9E4)
  wr16(result_hold, result_hold_vbls);
LOOP(0xF9EA)
  JSR(0x0086D8, 0xF9EE)
  wr16(result_hold, rd16(result_hold) - 1);
  if (rd16(result_hold) != 0) GOTO(0xF9EA);
LOOP(0xF9F8)
  JSR(0x0086D8, 0xF9FC)
  if (!in_play(player1_lives) || rd16(player1_tally) == 0) GOTO(0xFA1E);
  wr16(player1_tally, rd16(player1_tally) - 1);
  wr32(player1_money, rd32(player1_money) + tally_unit);
  JSR(0x00FB82, 0xFA16)
  JSR(0x00FBA8, 0xFA1E)
  if (!in_play(player2_lives) || rd16(player2_tally) == 0) GOTO(0xFA40);
  wr16(player2_tally, rd16(player2_tally) - 1);
  wr32(player2_money, rd32(player2_money) + tally_unit);
  JSR(0x00FBE8, 0xFA3C)
  JSR(0x00FC0E, 0xFA40)
  put<W>(d0, move<W>(rd16(player1_tally) + rd16(player2_tally)));
  if (cc_eq()) GOTO(0xFA60);
  tst<W>(rd16(tally_sound_gap));
  if (cc_pl()) GOTO(0xFA5A);
  d0 = tally_sound;
  d1 = 0;
  JSR(0x041C04, 0xFA54)
  wr16(tally_sound_gap, tally_sound_passes);
HERE(0xFA5A)
  wr16(tally_sound_gap, rd16(tally_sound_gap) - 1);
  GOTO(0xF9F8);
HERE(0xFA60)
  RTS();
END_ROUTINE

// $FA62: two fade steps of five VBLs each. d7 changed.
ROUTINE(sub_00FA62, 0x00FA62)
  wr16(fade_wait, 4);
  d7 = 1;
LOOP(0xFA6A)
  JSR(0x00FA72, 0xFA6E)
  if (dbf(d7)) GOTO(0xFA6A);
  RTS();
END_ROUTINE

// $FA72: one fade step: waits word $208 + 1 VBLs, sets it back to 4, then
// takes one level off every non-zero colour component of the 16 colour
// registers. a0, d0, d1 changed.
ROUTINE(sub_00FA72, 0x00FA72)
LOOP(0xFA72) // the wait loops back to the entry
  JSR(0x0086D8, 0xFA76)
  tst<W>(rd16(fade_wait));
  if (cc_eq()) GOTO(0xFA84);
  wr16(fade_wait, rd16(fade_wait) - 1);
  GOTO(0xFA72);
HERE(0xFA84)
  wr16(fade_wait, 4);
  a0 = st_io::palette_regs;
  d0 = 15;
LOOP(0xFA90)
  put<W>(d1, rd16(a0));
  if (d1 & 0x700) put<W>(d1, d1 - 0x100);
  if (d1 & 0x070) put<W>(d1, d1 - 0x010);
  if (d1 & 0x007) put<W>(d1, d1 - 0x001);
  wr16(a0, d1);
  a0 += 2;
  if (dbf(d0)) GOTO(0xFA90);
  RTS();
END_ROUTINE

// --- the result fields: each a text or a number through the string output of
// $8928 at a line offset and column of its own (the colour is the cursor's)

namespace {

constexpr u32 tally_heading = 0x00FB12, money_heading = 0x00FB20;
constexpr u32 player1_label = 0x00FAFC, player2_label = 0x00FB07;
constexpr u32 heading_line = 10400, player1_line = 14240, player2_line = 17440;
constexpr u32 heading_column = 13, label_column = 12, tally_column = 16, money_column = 22;
constexpr u32 four_digits = 0x000261, six_digits = 0x00025F;

inline void set_field(u32 line, u32 column) {
  wr16(text_line, line);
  wr16(text_column, column);
  wr16(text_margin, column);
}

} // namespace

// $FB2E: the tally heading.
ROUTINE(sub_00FB2E, 0x00FB2E)
  set_field(heading_line, heading_column);
  a0 = tally_heading;
  JSR(0x008928, 0xFB48)
  RTS();
END_ROUTINE

// $FB4A: the money heading.
ROUTINE(sub_00FB4A, 0x00FB4A)
  set_field(heading_line, heading_column);
  a0 = money_heading;
  JSR(0x008928, 0xFB64)
  RTS();
END_ROUTINE

// $FB66: player 1's label.
ROUTINE(sub_00FB66, 0x00FB66)
  set_field(player1_line, label_column);
  a0 = player1_label;
  JSR(0x008928, 0xFB80)
  RTS();
END_ROUTINE

// $FB82: player 1's tally count, four digits.
ROUTINE(sub_00FB82, 0x00FB82)
  d0 = rd16(player1_tally);
  JSR(0x007D3E, 0xFB8C)
  set_field(player1_line, tally_column);
  a0 = four_digits;
  JSR(0x008928, 0xFBA6)
  RTS();
END_ROUTINE

// $FBA8: player 1's money, six digits.
ROUTINE(sub_00FBA8, 0x00FBA8)
  d0 = rd32(player1_money);
  JSR(0x007D3E, 0xFBB0)
  set_field(player1_line, money_column);
  a0 = six_digits;
  JSR(0x008928, 0xFBCA)
  RTS();
END_ROUTINE

// $FBCC: player 2's label.
ROUTINE(sub_00FBCC, 0x00FBCC)
  set_field(player2_line, label_column);
  a0 = player2_label;
  JSR(0x008928, 0xFBE6)
  RTS();
END_ROUTINE

// $FBE8: player 2's tally count, four digits.
ROUTINE(sub_00FBE8, 0x00FBE8)
  d0 = rd16(player2_tally);
  JSR(0x007D3E, 0xFBF2)
  set_field(player2_line, tally_column);
  a0 = four_digits;
  JSR(0x008928, 0xFC0C)
  RTS();
END_ROUTINE

// $FC0E: player 2's money, six digits.
ROUTINE(sub_00FC0E, 0x00FC0E)
  d0 = rd32(player2_money);
  JSR(0x007D3E, 0xFC16)
  set_field(player2_line, money_column);
  a0 = six_digits;
  JSR(0x008928, 0xFC30)
  RTS();
END_ROUTINE

// $FC32: the money heading and the money of each player in play, shown for
// result_hold VBLs.
ROUTINE(sub_00FC32, 0x00FC32)
  JSR(0x00FB4A, 0xFC36)
  if (!in_play(player1_lives)) GOTO(0xFC42);
  JSR(0x00FB66, 0xFC3E)
  JSR(0x00FBA8, 0xFC42)
  if (!in_play(player2_lives)) GOTO(0xFC4E);
  JSR(0x00FBCC, 0xFC4A)
  JSR(0x00FC0E, 0xFC4E)
LOOP(0xFC50)
  tst<W>(rd16(result_hold));
  if (cc_eq()) GOTO(0xFC5E);
  JSR(0x0086D8, 0xFC58)
  wr16(result_hold, rd16(result_hold) - 1);
  GOTO(0xFC50);
HERE(0xFC5E)
  RTS();
END_ROUTINE

// $FC60: counts d0.l passes down to 0, a VBL per 8,900 of them.
ROUTINE(sub_00FC60, 0x00FC60)
LOOP(0xFC60)
  if (d0 < delay_passes_per_vbl / 2) GOTO(0xFC64);
  d0 = d0 > delay_passes_per_vbl ? d0 - delay_passes_per_vbl : 0;
WAIT_VBL_FLAG(0xFC62)
  if (d0 != 0) GOTO(0xFC60);
HERE(0xFC64)
  d0 = 0;
  RTS();
END_ROUTINE

// $FC66: the pixels of colour 14 in the screen at a0 become colour 0; no
// other pixel changes. a0 ends 32,000 bytes further.
ROUTINE(sub_00FC66, 0x00FC66)
  d7 = 3999;
LOOP(0xFC6A)
  {
    const u32 p0 = rd16(a0), p1 = rd16(a0 + 2), p2 = rd16(a0 + 4), p3 = rd16(a0 + 6);
    const u32 keep = ~(p1 & p2 & p3 & ~p0);
    wr16(a0, p0 & keep);
    wr16(a0 + 2, p1 & keep);
    wr16(a0 + 4, p2 & keep);
    wr16(a0 + 6, p3 & keep);
  }
  a0 += 8;
  if (dbf(d7)) GOTO(0xFC6A);
  RTS();
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

// --- the title's pieces and animation ---------------------------------------

namespace {

inline void load_blit(u32 from, u32 to, u32 groups, u32 lines) {
  a0 = from;
  a1 = to;
  put<W>(d6, groups);
  put<W>(d7, lines);
}

constexpr u32 title_frame = 0x000204;          // word: 0-3
constexpr u32 animation_background = 0x01DA68; // x 208-319, lines 144-180 of $18000
constexpr u32 animation_area = 0x025A68;
constexpr u32 small_frames = 0x0597BA;         // 4 x 1,288 bytes, 23 lines
constexpr u32 small_frame_bytes = 1288;
constexpr u32 large_frames = 0x057F72;         // 2,072 bytes apart, 37 lines
constexpr u32 large_frame_bytes = 2072;

inline void timing_colour(u32 colour) {
  if (rd16(dev_timing) != 0) wr16(st_io::palette_regs, colour);
}

} // namespace

// $F56E: the three strips at x 144, y 66, 73 and 80.
ROUTINE(sub_00F56E, 0x00F56E)
  load_blit(0x057A4A, 0x022988, 10, 4);
  JSR(0x00F63A, 0xF584)
  load_blit(0x057C02, 0x022DE8, 10, 4);
  JSR(0x00F63A, 0xF59C)
  load_blit(0x057DBA, 0x023248, 10, 4);
  JSR(0x00F63A, 0xF5B4)
  RTS();
END_ROUTINE

// $F5B8, $F5D2: the two 32-pixel pieces at x 96, y 20.
ROUTINE(sub_00F5B8, 0x00F5B8)
  load_blit(0x05E26A, 0x020CB0, 1, 49);
  JSR(0x00F63A, 0xF5CE)
  RTS();
END_ROUTINE

ROUTINE(sub_00F5D2, 0x00F5D2)
  load_blit(0x05E59A, 0x020CB0, 1, 49);
  JSR(0x00F63A, 0xF5E8)
  RTS();
END_ROUTINE

// $F5EC, $F606: one piece at x 96, y 30, 10 or 32 lines high.
ROUTINE(sub_00F5EC, 0x00F5EC)
  load_blit(0x05E8CA, 0x0212F0, 1, 9);
  JSR(0x00F63A, 0xF602)
  RTS();
END_ROUTINE

ROUTINE(sub_00F606, 0x00F606)
  load_blit(0x05E8CA, 0x0212F0, 1, 31);
  JSR(0x00F63A, 0xF61C)
  RTS();
END_ROUTINE

// $F620: the small piece at x 96, y 34.
ROUTINE(sub_00F620, 0x00F620)
  load_blit(0x05EADA, 0x021570, 1, 3);
  JSR(0x00F63A, 0xF636)
  RTS();
END_ROUTINE

// $F63A: masked block blit of d6.w + 1 groups by d7.w + 1 lines from a0
// (rows back to back) to the screen at a1: colour-0 source pixels leave
// the screen as it was. No clipping. Every register kept.
ROUTINE(sub_00F63A, 0x00F63A)
  save_regs(dregs(0, 7) | aregs(0, 6));
LOOP(0xF63E)
  put<W>(d5, d6);
LOOP(0xF640)
  d0 = rd16(a0);
  d1 = rd16(a0 + 2);
  d2 = rd16(a0 + 4);
  d3 = rd16(a0 + 6);
  a0 += 8;
  d4 = ~(d0 | d1 | d2 | d3) & 0xFFFF;
  wr16(a1, (rd16(a1) & d4) | d0);
  wr16(a1 + 2, (rd16(a1 + 2) & d4) | d1);
  wr16(a1 + 4, (rd16(a1 + 4) & d4) | d2);
  wr16(a1 + 6, (rd16(a1 + 6) & d4) | d3);
  a1 += 8;
  put<W>(d5, d5 - 1);
  if ((d5 & 0xFFFF) != 0xFFFF) GOTO(0xF640);
  a1 += 160 - ((d6 & 0xFFFF) + 1) * 8;
  put<W>(d7, d7 - 1);
  if ((d7 & 0xFFFF) != 0xFFFF) GOTO(0xF63E);
  restore_regs(dregs(0, 7) | aregs(0, 6));
  RTS();
END_ROUTINE

// $F688: one animation step (d5 = the script byte): the clean background
// back under the animation, the next small frame in turn, the large frame
// the byte chooses. With dev_timing set, colour 0 marks the phases.
ROUTINE(sub_00F688, 0x00F688)
  timing_colour(0x657);
  a0 = animation_background;
  a1 = animation_area;
  for (u32 line = 0; line < 37; ++line) {
    for (u32 i = 0; i < 56; i += 4) wr32(a1 + i, rd32(a0 + i));
    a0 += 160;
    a1 += 160;
  }
  timing_colour(0x431);
  load_blit(small_frames + rd16(title_frame) * small_frame_bytes, 0x026260, 6, 22);
  JSR(0x00F63A, 0xF6F0)
  wr16(title_frame, rd16(title_frame) + 1);
  if (rd16(title_frame) < 4) GOTO(0xF70C);
  wr16(title_frame, 0);
  timing_colour(0x727);
HERE(0xF70C)
  put<W>(d5, (d5 & 3) * large_frame_bytes);
  load_blit(large_frames + (d5 & 0xFFFF), 0x025A60, 6, 36);
  JSR(0x00F63A, 0xF72E)
  timing_colour(0);
  RTS();
END_ROUTINE
