// Page $8000: the shared drawing and screen services of the front end and
// the status panel: the 8 x 8 text printers with their cursor, the score
// printer with its extra life, the life icons, the YM2149 silence, the
// unpacker of run-packed screen pictures, the fade to black, the colour
// cycling of the VBL handler and the players' status-panel value; then the
// vertical mission engine: the background ring copy, the level-map reader
// that is also the vertical scroll step, and the vertical frame loop.
#include "game/game_io.h"
#include "game/game_ram.h"
#include "game/map_ram.h"
#include "game/mission_ram.h"
#include "game/routine_kit.h"

using namespace st_io;

namespace {

constexpr u32 line_bytes = 160;       // one pixel line of a screen
constexpr u32 text_line_bytes = 1440; // one text line: 9 pixel lines
constexpr u32 screen_bytes = 32000;
constexpr u32 screen_words = 16000;
constexpr u32 life_icon = 0x010228;   // 16 lines of four plane bytes

// The byte of an 8-pixel cell at the text cursor: cell c of a line starts
// at (c / 2) x 8 + (c & 1), its plane n byte at +2n.
inline u32 text_cell_address() {
  const u32 column = rd16(text_column);
  return rd32(draw_screen) + rd16(text_line) + (column >> 1) * 8 + (column & 1);
}

inline u32 glyph_address(u32 code) { return font8x8 + ((code & 0xFF) - 32) * 8; }

// One word of a packed picture stored: the pictures run down the word
// columns, so the address moves a line on and, past the bottom, back to the
// top of the next column. It never leaves the screen (a0..a3).
inline void picture_word_stored() {
  put<W>(d7, d7 - 1);
  a0 += line_bytes;
  if (a0 >= a3) a0 -= screen_bytes - 2;
}

} // namespace

// $8038: score printer for the player record at a4; the first score of
// 10,000 or more gives the record one extra life, once per game.
ROUTINE(sub_008038, 0x008038)
  d0 = move<L>(rd32(a4 + player_record::score));
  tst<B>(rd8(a4 + player_record::extra_life));
  if (cc_ne()) GOTO(0x804C);
  cmp<L>(9999, d0);
  if (cc_ls()) GOTO(0x804C);
  wr16(a4 + player_record::lives, rd16(a4 + player_record::lives) + 1);
  wr8(a4 + player_record::extra_life, 0xFF);
HERE(0x804C)
  JSR(0x007D3E, 0x8052)
  a0 = digit_buffer + 1; // six places: the millions are left out
  JMP(0x008058);
END_ROUTINE

// $8058: quick printer for digit strings: glyphs into bitplane 0 only, no
// control bytes. Leaves a0 past the zero; d0.b = 0.
ROUTINE(sub_008058, 0x008058)
  save_regs(dregs(1, 1) | aregs(1, 2));
LOOP(0x805C)
  put<B>(d0, move<B>(rd8(a0)));
  a0 += 1;
  if (cc_eq()) GOTO(0x80A2);
  a2 = glyph_address(d0);
  a1 = text_cell_address();
  d1 = 7;
LOOP(0x8084)
  wr8(a1, rd8(a2));
  a2 += 1;
  a1 += line_bytes;
  if (dbf(d1)) GOTO(0x8084);
  wr16(text_column, rd16(text_column) + 1);
  GOTO(0x805C);
HERE(0x80A2)
  restore_regs(dregs(1, 1) | aregs(1, 2));
  RTS();
END_ROUTINE

// $80AA: life-icon row of the status panel for the record at a4, drawn
// from the odd screen address a0: the strip is cleared, then one icon per
// life, five at most. No lives: the strip is left as it was.
ROUTINE(sub_0080AA, 0x0080AA)
  tst<W>(rd16(a4 + player_record::lives));
  if (cc_eq()) GOTO(0x80FE);
  save_regs(dregs(0, 1) | aregs(1, 1));
  a1 = a0 - 1;
  d1 = 15;
LOOP(0x80BA)
  for (u32 i = 0; i < 24; i += 4) wr32(a1 + i, 0);
  a1 += line_bytes;
  if (dbf(d1)) GOTO(0x80BA);
  d0 = rd16(a4 + player_record::lives);
  cmp<W>(5, d0);
  if (cc_ls()) GOTO(0x80DA);
  d0 = 5;
HERE(0x80DA)
  d0 -= 1;
LOOP(0x80DC)
  JSR(0x008106, 0x80E0)
  if (dbf(d0)) GOTO(0x80DC);
  restore_regs(dregs(0, 1) | aregs(1, 1));
HERE(0x80FE)
  RTS();
END_ROUTINE

// $8106: one life icon into the 8-pixel cell at a0; a0 moves to the next
// cell (+1 from an even address, +7 from an odd one).
ROUTINE(sub_008106, 0x008106)
  save_regs(dregs(1, 1) | aregs(1, 2));
  a1 = a0;
  a2 = life_icon;
  d1 = 15;
LOOP(0x8112)
  for (u32 plane = 0; plane < 4; ++plane) wr8(a1 + 2 * plane, rd8(a2 + plane));
  a2 += 4;
  a1 += line_bytes;
  if (dbf(d1)) GOTO(0x8112);
  a0 += (a0 & 1) ? 7 : 1;
  restore_regs(dregs(1, 1) | aregs(1, 2));
  RTS();
END_ROUTINE

// $823C: a bare return that other routines branch to.
ROUTINE(sub_00823C, 0x00823C)
  RTS();
END_ROUTINE

// $83B2: silences the YM2149: every tone, noise and volume register 0, the
// mixer ($FF) with every channel off.
ROUTINE(sub_0083B2, 0x0083B2)
  for (u32 reg = 0; reg < 14; ++reg) {
    wr8(ym_select, reg);
    wr8(ym_data, reg == 7 ? 0xFF : 0x00);
  }
  RTS();
END_ROUTINE

// $8494: unpacks the packed picture at a3 into the screen at a4, keeping
// every register.
ROUTINE(sub_008494, 0x008494)
  save_regs(dregs(0, 7) | aregs(0, 6));
  a0 = a4;
  a1 = a3;
  JSR(0x0084A4, 0x849E)
  restore_regs(dregs(0, 7) | aregs(0, 6));
  RTS();
END_ROUTINE

// $84A4: unpacks the packed picture at a1 into the 32,000-byte screen at a0,
// run by run, down the word columns. The picture ends when no word is left
// after a run; one whose runs do not add up to 16,000 words keeps the game
// here (within the screen), as on the machine.
// a1 control bytes, a2 data words, a3 screen end, d7.w words left.
ROUTINE(sub_0084A4, 0x0084A4)
  put<W>(d0, rd16(a1));
  a1 += 2;
  a2 = a1 + (d0 & 0xFFFF);
  a3 = a0 + screen_bytes;
  put<W>(d7, screen_words);
LOOP(0x84B4)
  d0 = rd8(a1);
  a1 += 1;
  cmp<B>(2, d0);
  if (cc_cc()) GOTO(0x84CA);
  // 0 and 1: a 16-bit count follows in the control bytes.
  put<W>(d1, rd16(a1));
  a1 += 2;
  tst<B>(d0);
  if (cc_eq()) GOTO(0x84D4);
  GOTO(0x84EC);
HERE(0x84CA)
  put<W>(d1, d0);
  tst<B>(d0);
  if (cc_pl()) GOTO(0x84D4);
  put<W>(d1, 256 - d0);
  GOTO(0x84EC);
HERE(0x84D4)
  put<W>(d2, rd16(a2));
  a2 += 2;
LOOP(0x84D8)
  wr16(a0, d2);
  picture_word_stored();
  put<W>(d1, sub<W>(1, d1));
  if (cc_ne()) GOTO(0x84D8);
  GOTO(0x8510);
HERE(0x84EC)
LOOP(0x84F0)
  wr16(a0, rd16(a2));
  a2 += 2;
  picture_word_stored();
  put<W>(d1, sub<W>(1, d1));
  if (cc_ne()) GOTO(0x84F0);
HERE(0x8510)
  tst<W>(d7);
  if (cc_ne()) GOTO(0x84B4);
  RTS();
END_ROUTINE

// $8528: fade to black in eight steps of five VBLs. d7 changed.
ROUTINE(sub_008528, 0x008528)
  wr16(fade_wait, 4);
  d7 = 7;
LOOP(0x8530)
  JSR(0x008538, 0x8532)
  if (dbf(d7)) GOTO(0x8530);
  RTS();
END_ROUTINE

// $8538: one fade step: waits word $208 + 1 VBLs, sets it back to 4, then
// takes one level off every non-zero colour component of the 16 colour
// registers. a0, d0, d1 changed.
ROUTINE(sub_008538, 0x008538)
LOOP(0x8538) // the wait loops back to the entry
  JSR(0x0079DC, 0x853C)             // wait_vbl
  tst<W>(rd16(fade_wait));
  if (cc_eq()) GOTO(0x854A);
  wr16(fade_wait, rd16(fade_wait) - 1);
  GOTO(0x8538);
HERE(0x854A)
  wr16(fade_wait, 4);
  a0 = palette_regs;
  d0 = 15;
LOOP(0x8556)
  put<W>(d1, rd16(a0));
  if (d1 & 0x700) put<W>(d1, d1 - 0x100);
  if (d1 & 0x070) put<W>(d1, d1 - 0x010);
  if (d1 & 0x007) put<W>(d1, d1 - 0x001);
  wr16(a0, d1);
  a0 += 2;
  if (dbf(d0)) GOTO(0x8556);
  RTS();
END_ROUTINE

// $8584: prints the zero-terminated text at a0 with the character printer;
// returns with a0 past the zero.
ROUTINE(sub_008584, 0x008584)
LOOP(0x8584) // the text loop starts at the entry
  put<B>(d0, move<B>(rd8(a0)));
  a0 += 1;
  if (cc_eq()) GOTO(0x858C);
  JSR(0x00858E, 0x858A)
  GOTO(0x8584);
HERE(0x858C)
  RTS();
END_ROUTINE

// $858E: prints the text byte d0.b at the text cursor into draw_screen:
// bit 7 set: colour := the low 7 bits; 13: carriage return to the margin;
// 1-31: skip that many columns; else a glyph, replacing the whole cell
// (set pixels in the cursor's colour, clear ones colour 0). Keeps every
// register.
ROUTINE(sub_00858E, 0x00858E)
  save_regs(dregs(1, 3) | aregs(1, 2));
  tst<B>(d0);
  if (cc_pl()) GOTO(0x8596);
  wr16(text_colour, d0 & 0x7F);
  GOTO(0x85AE);
HERE(0x8596)
  cmp<B>(13, d0);
  if (cc_ne()) GOTO(0x859A);
  wr16(text_column, rd16(text_margin));
  wr16(text_line, rd16(text_line) + text_line_bytes);
  GOTO(0x85AE);
HERE(0x859A)
  cmp<B>(32, d0);
  if (cc_cc()) GOTO(0x859E);
  wr16(text_column, rd16(text_column) + (d0 & 0xFF));
  GOTO(0x85AE);
HERE(0x859E)
  a2 = glyph_address(d0);
  a1 = text_cell_address();
  d3 = rd16(text_colour);
  d1 = 7;
LOOP(0x85A2)
  put<B>(d2, rd8(a2));
  a2 += 1;
  for (u32 plane = 0; plane < 4; ++plane) wr8(a1 + 2 * plane, (d3 >> plane) & 1 ? d2 : 0);
  a1 += line_bytes;
  if (dbf(d1)) GOTO(0x85A2);
  wr16(text_column, rd16(text_column) + 1);
HERE(0x85AE)
  restore_regs(dregs(1, 3) | aregs(1, 2));
  RTS();
END_ROUTINE

// $85B0: a bare return that other routines branch to.
ROUTINE(sub_0085B0, 0x0085B0)
  RTS();
END_ROUTINE

// $8648: colour cycling, from the VBL handler: while word $232 is set, one
// palette register takes the next colour of the cycling table every third
// VBL; the table's end mark starts it again at $35EE. d0, d1, a0 changed.
ROUTINE(sub_008648, 0x008648)
  tst<W>(rd16(cycle_on));
  if (cc_eq()) GOTO(0x8688);
  cmp<W>(2, rd16(cycle_vbls));
  if (cc_cc()) GOTO(0x865E);
  wr16(cycle_vbls, rd16(cycle_vbls) + 1);
  GOTO(0x8688);
HERE(0x865E)
  wr16(cycle_vbls, 0);
  a0 = rd32(cycle_position);
  put<W>(d0, move<W>(rd16(a0)));
  a0 += 2;
  if (cc_pl()) GOTO(0x8676);
  a0 = cycle_table;
  put<W>(d0, rd16(a0));
  a0 += 2;
HERE(0x8676)
  put<W>(d1, rd16(cycle_register) * 2);
  wr16(palette_regs + sext16(d1), d0);
  wr32(cycle_position, a0);
HERE(0x8688)
  RTS();
END_ROUTINE

// $868A: the status-panel value of both player records.
ROUTINE(sub_00868A, 0x00868A)
  a4 = player1;
  JSR(0x008696, 0x8690)
  a4 = player2;
  JMP(0x008696);
END_ROUTINE

// $8696: the status-panel value of the record at a4: the per-weapon table
// byte of its current weapon and level, from sub_00AAF8.
ROUTINE(sub_008696, 0x008696)
  JSR(0x00AAF8, 0x869A)
  wr16(a4 + player_record::panel_value, d0);
  RTS();
END_ROUTINE

// ---- Jump slots of the disk road and the pre-shifted frames -------------------
// Slots whose target is reached only through the slot carry the target's
// code here, with the labels of its addresses.

namespace {

constexpr u32 node_table = 0x014000;
constexpr u32 probe_buffer = 0x05647E;   // the second side's probe, then the run-packed block
constexpr u32 resident_record = 0x00FF14; // load record of the packed resident graphics
constexpr u32 resident_packed = 0x03561F; // after its 29-byte header
constexpr u32 resident_packed_end = 0x04754C;
constexpr u32 resident_graphics = 0x02E000;
constexpr u32 reordered_a = 0x02F91C;     // 2,300 groups of 8 words
constexpr u32 reordered_b = 0x045736;     // 192 groups
constexpr u32 effect_frames_from = 0x046F68;
constexpr u32 effect_frames = 0x049A3A;   // 1,536 bytes of effect frames
constexpr u32 run_packed_output = 0x05063A;
constexpr u32 run_packed_end = 0x056482;
constexpr u32 hiscore_buffer = 0x028000;  // the high-score sector
constexpr u32 hiscore_name_bytes = 222;
constexpr u32 hiscore_check_bytes = 160;
constexpr u32 hiscore_highest_letter = 0x6E; // 'n'

inline bool all_zero(u32 from, u32 bytes) {
  for (u32 i = 0; i < bytes; ++i)
    if (rd8(from + i) != 0) return false;
  return true;
}
constexpr u32 dma_mode_register = 0xFF8606;

constexpr u32 mission_load_table = 0x010748; // 8 bytes per mission: three entries and a colour
constexpr u32 mission_words = 0x010730;
constexpr u32 mission_palette = 0x008C24;
constexpr u32 mission_colour14 = 0x008C40;

constexpr u32 map_file_buffer = 0x05F4AE; // the squeezed map file, 58 sectors
constexpr u32 map_file_end = 0x0667E8;
constexpr u32 map_picture = 0x057C9A;     // packed_picture, unpacked with the map data
constexpr u32 map_money = 0x58;           // player_record: money, long

// The idle text's place in the map's panel.
inline void map_idle_cursor() {
  wr16(text_line, 2880);
  wr16(text_column, 12);
  wr16(text_margin, 12);
  wr16(text_colour, 8);
}

// One pre-shifted copy per 2 pixels of shift (1-7) of frames whose lines
// are `planes` words (one 16-pixel group); each copy's lines take two
// groups, the frame moved right with the pixels leaving the left group
// entering the right one. Rotating each plane's long right by 2 per copy
// moves the low half's right edge into the high half's left edge.
inline void preshift_line(u32 planes, u32 copy_size) {
  u32* plane[4] = {&d0, &d1, &d2, &d3};
  for (u32 p = 0; p < planes; ++p) {
    *plane[p] = rd16(a0);
    a0 += 2;
  }
  a2 = a1;
  for (u32 k = 1; k <= 7; ++k) {
    for (u32 p = 0; p < planes; ++p) *plane[p] = ror<L>(*plane[p], 2);
    for (u32 p = 0; p < planes; ++p) wr16(a2 + 2 * p, *plane[p]);
    for (u32 p = 0; p < planes; ++p) wr16(a2 + 2 * (planes + p), *plane[p] >> 16);
    a2 += copy_size;
  }
  a1 += 4 * planes;
}

} // namespace

// $86B0: the disk sector loader with cache.
ROUTINE(sub_0086B0, 0x0086B0)
  JMP(0x00E92A);
END_ROUTINE

// $86B4: the bare return every load calls first.
ROUTINE(sub_0086B4, 0x0086B4)
  JMP(0x00EB26);
END_ROUTINE

// $86B8: the cold-start data load (code at $FE32-$FF0E, and the run-length
// unpacker at $FD84 that ends it, reached through slot $8930). Probes the
// disk's second side, which also fills the disk cache; reads the packed
// resident graphics by the load record at $FF14 and unpacks them to
// $2E000; re-orders two of their areas and copies the effect frames; loads
// the high scores; then reads 38 sectors from track 20, sector 3 and
// expands them from $5647E into $5063A.
ROUTINE(sub_0086B8, 0x0086B8)
  GOTO(0xFE32);

  // $FD84: expands escaped runs from a0 into a1 while a1 is below a2, with
  // the escape byte d4.b: a byte other than the escape is copied; escape,
  // escape is one escape byte; escape, n, v is v written n + 1 times. A
  // run is written whole even where it passes a2.
LABEL(0xFD84)
LOOP(0xFD86)
  put<B>(d0, rd8(a0));
  a0 += 1;
  if (a1 >= a2) GOTO(0xFDBA);
  cmp<B>(d4, d0);
  if (cc_ne()) GOTO(0xFDB4);
  put<B>(d1, rd8(a0));
  a0 += 1;
  cmp<B>(d4, d1);
  if (cc_ne()) GOTO(0xFDA2);
  wr8(a1, d4);
  a1 += 1;
  GOTO(0xFD86);
HERE(0xFDA2)
  put<B>(d2, rd8(a0));
  a0 += 1;
  put<W>(d1, d1 & 0xFF);
LOOP(0xFDAA)
  wr8(a1, d2);
  a1 += 1;
  if (dbf(d1)) GOTO(0xFDAA);
  GOTO(0xFD86);
HERE(0xFDB4)
  wr8(a1, d0);
  a1 += 1;
  GOTO(0xFD86);
HERE(0xFDBA)
  RTS();

LABEL(0xFE32)
  wr16(second_side_ok, 0);
  wr16(disk_side, 1);
  wr16(disk_track, 1);
  wr16(disk_sector, 1);
  wr16(disk_count, 1);
  wr32(disk_buffer, probe_buffer);
  JSR(0x0086B4, 0xFE5E)
  JSR(0x0086B0, 0xFE64)
  tst<L>(d0);
  if (cc_ne()) GOTO(0xFE6E);
  wr16(second_side_ok, 0xFFFF);
HERE(0xFE6E)
  JSR(0x008904, 0xFE72)
  wr32(disk_request, 0);
  JSR(0x0086B4, 0xFE7C)
  a0 = resident_record;
  JSR(0x00FF3C, 0xFE86)
  a4 = resident_packed;
  a1 = resident_packed_end;
  a3 = node_table;
  a6 = resident_graphics;
  JSR(0x00FC88, 0xFEA0)
  a1 = reordered_a;
  wr16(disk_count, 2300);
  JSR(0x00FF62, 0xFEAE)
  a1 = reordered_b;
  wr16(disk_count, 192);
  JSR(0x00FF62, 0xFEBC)
  a0 = effect_frames_from;
  a1 = effect_frames;
  d0 = 383;
LOOP(0xFEC8)
  wr32(a1, rd32(a0));
  a0 += 4;
  a1 += 4;
  if (dbf(d0)) GOTO(0xFEC8);
  JSR(0x008900, 0xFED2)
  wr16(disk_side, 0);
  wr16(disk_track, 20);
  wr16(disk_sector, 3);
  wr16(disk_count, 38);
  wr32(disk_buffer, probe_buffer);
  JSR(0x0086B4, 0xFEF6)
  JSR(0x0086B0, 0xFEFC)
  a0 = probe_buffer;
  a1 = run_packed_output;
  a2 = run_packed_end;
  d4 = 0xFFFFFFFF;
  JMP(0x008930);
END_ROUTINE

namespace {

constexpr u32 shop_palette = 0x008C24;
constexpr u32 shop_picture = 0x05AC80;            // packed_picture in the map file
constexpr u32 shop_announcements[2] = {0x00CE74, 0x00CE8E};
constexpr u32 shop_announce_delay = 50000;       // counts of $75A4
constexpr u32 shop_start_cell = 12;
constexpr u32 shop_start_xy = 100;
constexpr u32 shop_colour14 = 0xFF825C;

inline void set_shop_text_cursor() {
  wr16(text_line, 15360); // line 96
  wr16(text_column, 6);
  wr16(text_margin, 6);
  wr16(text_colour, 8);
}

} // namespace

// $86BC: the weapon shop (code at $CA02-$CB66): one turn for each player in
// play, player 1 first; player 2 only in a two-player game or when player 1
// is out. Each turn is announced, then shown on the shop picture with the
// player's money. Leaves colour 14 black and the map's music faded out.
ROUTINE(sub_0086BC, 0x0086BC)
LABEL(0xCA02)
  a1 = shop_palette;
  JSR(0x0075E2, 0xCA0A)
  set_shop_text_cursor();
  tst<W>(rd16(player1 + player_record::lives));
  if (cc_eq()) GOTO(0xCAE6);
  wr16(current_player, 0);
HERE(0xCA3A)
  a0 = shop_announcements[rd16(current_player) & 1];
  JSR(0x00A9D8, 0xCA44)
  d7 = shop_announce_delay;
  JSR(0x0075A4, 0xCA50)
  a3 = shop_picture;
  a4 = screen_buffer_a;
  JSR(0x008494, 0xCA60)
  a0 = screen_buffer_a;
  a1 = screen_buffer_b;
  JSR(0x007564, 0xCA70)
  wr32(pointer_erase_addr, screen_buffer_b);
  wr16(map_cursor_x, shop_start_xy);
  wr16(map_cursor_y, shop_start_xy);
  wr16(0x0001F2, shop_start_cell);
  wr8(0x0001F0, 0xFF);
  a4 = rd16(current_player) == 0 ? player1 : player2;
  wr8(last_key, 0);
  d0 = rd32(a4 + map_money);
  JSR(0x007D3E, 0xCAAC)
  wr16(text_line, 29920); // line 187
  wr16(text_column, 28);
  wr16(text_margin, 28);
  a0 = digit_buffer;
  JSR(0x008058, 0xCAC8)
  JSR(0x00CB68, 0xCACC)
  tst<W>(rd16(current_player));
  if (cc_ne()) GOTO(0xCB52);
  tst<W>(rd16(two_player_flag));
  if (cc_eq()) GOTO(0xCB52);
HERE(0xCAE6)
  JSR(0x007626, 0xCAEA)
  set_shop_text_cursor();
  tst<W>(rd16(player2 + player_record::lives));
  if (cc_eq()) GOTO(0xCB52);
  wr16(current_player, 1);
  GOTO(0xCA3A);
HERE(0xCB52)
  wr16(shop_colour14, 0);
  JSR(0x00751A, 0xCB60)
  RTS();
END_ROUTINE

// $86C0: the disk words and the screen position of the mission data load's
// prompt (code at $4B8C-$4BBD): track 79 into the buffer $18000, then
// track 78; the position from $4BBE, kept twice for each. No disk access.
ROUTINE(sub_0086C0, 0x0086C0)
LABEL(0x4B8C)
  wr16(disk_track, 79);
  wr32(disk_buffer, screen_buffer_a);
  JSR(0x004BBE, 0x4B9E)
  wr32(0x000154, a0);
  wr32(0x000194, a0);
  wr16(disk_track, 78);
  JSR(0x004BBE, 0x4BB0)
  wr32(0x00015C, a0);
  wr32(0x000198, a0);
  RTS();
END_ROUTINE

// $86D8: wait for the next vertical blank.
ROUTINE(sub_0086D8, 0x0086D8)
  JMP(0x0079DC);
END_ROUTINE

// $88F8: the title's start inside the game start.
ROUTINE(sub_0088F8, 0x0088F8)
  JMP(0x0037C2);
END_ROUTINE

// $88FC: the game main loop, where the title ends.
ROUTINE(sub_0088FC, 0x0088FC)
  JMP(0x00382E);
END_ROUTINE

// $8900: the high-score table load (code at $2CE0-$2D78): the default
// scores, then the saved table from track 0, sector 2, unless a byte of its
// first 160 (the names) is above $6E or its 222 name bytes are all zero;
// then the defaults and the names of the game image stay.
ROUTINE(sub_008900, 0x008900)
LABEL(0x2CE0)
  a0 = hiscore_scores;
  d0 = 20000;
  d1 = 8;
LOOP(0x2CEA)
  wr32(a0, d0);
  a0 += 4;
  d0 -= 2000;
  if (dbf(d1)) GOTO(0x2CEA);
  wr32(disk_request, 0);
  wr16(disk_track, 0);
  wr16(disk_sector, 2);
  wr16(disk_count, 1);
  wr32(disk_buffer, hiscore_buffer);
  JSR(0x0086B4, 0x2D12)
  JSR(0x0086B0, 0x2D18)
  a0 = hiscore_buffer;
  d0 = hiscore_check_bytes - 1;
LOOP(0x2D22)
  cmp<B>(hiscore_highest_letter, rd8(a0));
  a0 += 1;
  if (cc_hi()) GOTO(0x2D76);
  if (dbf(d0)) GOTO(0x2D22);
  // A disk image without the saved sector gives 512 zero bytes, which pass
  // the letter check but would replace the defaults with eight empty names
  // of 0 points.
  if (all_zero(hiscore_buffer, hiscore_name_bytes)) GOTO(0x2D76);
  a0 = hiscore_buffer;
  a1 = hiscore_names;
  d0 = hiscore_name_bytes - 1;
LOOP(0x2D3A)
  wr8(a1, rd8(a0));
  a0 += 1;
  a1 += 1;
  if (dbf(d0)) GOTO(0x2D3A);
  a1 = hiscore_scores;
  d0 = 7;
LOOP(0x2D4C)
  wr32(a1, rd32(a0));
  a0 += 4;
  a1 += 4;
  if (dbf(d0)) GOTO(0x2D4C);
HERE(0x2D76)
  RTS();
END_ROUTINE

// $8904: the end of disk access (code at $EAB8-$EAD6): the controller's
// status register selected, then the drives deselected. The settle delay
// repeats while bit 7 of d0 is set, and d0 is not read again: callers enter
// with it clear.
ROUTINE(sub_008904, 0x008904)
LABEL(0xEAB8)
  push16(get_sr());
  set_sr(get_sr() | 0x0700);
  wr16(dma_mode_register, 0x80);
LOOP(0xEAC4)
  JSR(0x00EA10, 0xEAC8)
  btst<L>(7, d0);
  if (cc_ne()) GOTO(0xEAC4);
  d0 = 7;
  JSR(0x00EA8C, 0xEAD0)
  set_sr(pop16());
  JSR(0x0077F6, 0xEAD6)
  RTS();
END_ROUTINE

// $8910: the mission data load (code at $106EC-$1071C): the three loaders
// by the entries of the chosen mission, its colour 14 into the mission
// palette, which $AF9A takes on, and the mission's word into $24C.
ROUTINE(sub_008910, 0x008910)
LABEL(0x106EC)
  put<W>(d0, rd16(chosen_mission) << 3);
  a0 = mission_load_table + sext16(d0);
  put<W>(d0, rd16(a0));
  a0 += 2;
  JSR(0x0107A8, 0x106FE)
  put<W>(d0, rd16(a0));
  a0 += 2;
  JSR(0x010826, 0x10704)
  put<W>(d0, rd16(a0));
  a0 += 2;
  JSR(0x0108AE, 0x1070A)
  wr16(mission_colour14, rd16(a0));
  a0 = mission_palette;
  JSR(0x00AF9A, 0x10716)
  put<W>(d0, rd16(chosen_mission) << 1);
  wr16(mission_word, rd16(mission_words + sext16(d0)));
  RTS();
END_ROUTINE

// $8914: the world map (code at $BB34-$BD1C): loads and unpacks the map
// data, draws the map with a clean copy in $18000, then one pass per VBL:
// pointer and markers drawn, the VBL, both erased, and the panel shows the
// open mission under the pointer. Fire on a shown mission chooses it and
// pays both players its pay, halved for one player in play and quartered
// for two.
ROUTINE(sub_008914, 0x008914)
LABEL(0xBB34)
  wr32(disk_request, 0);
  wr16(disk_track, 39);
  wr16(disk_sector, 1);
  wr16(disk_count, 58);
  wr32(disk_buffer, map_file_buffer);
  JSR(0x00EB26, 0xBB5C)
  JSR(0x00E92A, 0xBB62)
  JSR(0x007626, 0xBB66)
  a1 = mission_palette;
  JSR(0x0075E2, 0xBB6E)
  a4 = map_file_buffer + 29; // past the squeezed file's header
  a1 = map_file_end;
  a3 = node_table;
  a6 = probe_buffer;
  JSR(0x00FC88, 0xBB8A)
  wr16(map_cursor_x, 160);
  wr16(map_cursor_y, 125);
  d0 = 1;
  JSR(0x0074F4, 0xBB9E)
  JSR(0x007626, 0xBBA2)
  a1 = 0x008C44;
  JSR(0x0075E2, 0xBBAA)
  a3 = map_picture;
  a4 = screen_buffer_b;
  JSR(0x008494, 0xBBB6)
  d0 = screen_buffer_b;
  JSR(0x007B2A, 0xBBBE)
  JSR(0x007558, 0xBBC2)
  JSR(0x00C97C, 0xBBC6)
  map_idle_cursor();
  a0 = map_idle_text;
  JSR(0x008584, 0xBBE4)
  a1 = map_palette;
  JSR(0x0075E2, 0xBBEC)
  wr8(split_map, 0xFF);
  wr16(map_selection, 0xFFFF);
  wr16(map_panel_blank, 0);
  for (u32 i = 0; i < 12; ++i) {
    const u32 rec = mission_markers + i * marker::size;
    wr16(rec + marker::active, 0);
    if (rd8(missions_done + i) != 0) continue;
    wr16(rec + marker::x, rd16(marker_positions + 4 * i));
    wr16(rec + marker::y, rd16(marker_positions + 4 * i + 2));
    wr16(rec + marker::frame, 0);
    wr16(rec + marker::active, 0xFFFF);
    wr16(rec + marker::countdown, marker::vbls_per_frame);
  }

  // One pass a VBL. Fire counts while held: no edge is needed.
LOOP(0xBC40)
  a0 = rd16(player1 + player_record::lives) != 0 ? player1 : player2;
  if (rd8(a0 + player_record::fire) != 0 && (rd16(map_selection) & 0x8000) == 0) GOTO(0xBCD0);
  JSR(0x00BDC8, 0xBC5C)
  JSR(0x00BE9A, 0xBC60)
  JSR(0x00C81A, 0xBC64)
  JSR(0x0079DC, 0xBC68)
  JSR(0x00BE6A, 0xBC6C)
  JSR(0x00C906, 0xBC70)
  JSR(0x00BF54, 0xBC74)
  tst<W>(d7);
  if (cc_mi()) GOTO(0xBCAC);
  wr16(map_panel_blank, 0);
  if (rd8(missions_done + sext16(d7)) != 0) GOTO(0xBC40); // a done mission keeps the panel
  cmp<W>(rd16(map_selection), d7);
  if (cc_eq()) GOTO(0xBC40);
  JSR(0x00C9A2, 0xBC96)
  wr16(map_selection, d7);
  put<W>(d0, d7);
  JSR(0x00BD22, 0xBCA0)
  put<W>(d0, rd16(map_selection));
  JSR(0x00C94C, 0xBCA8)
  GOTO(0xBC40);

HERE(0xBCAC)
  tst<W>(rd16(map_panel_blank));
  if (cc_ne()) GOTO(0xBCCA);
  wr16(map_panel_blank, 0xFFFF);
  JSR(0x00C97C, 0xBCBA)
  JSR(0x00BD4C, 0xBCBE)
  map_idle_cursor();
  a0 = map_idle_text;
  JSR(0x008584, 0xBCC8)
HERE(0xBCCA)
  wr16(map_selection, 0xFFFF);
  GOTO(0xBC40);

  // The choice: only the pay's low word is halved, so pays are meant to
  // stay below 65,536.
HERE(0xBCD0)
  wr16(chosen_mission, rd16(map_selection));
  d0 = rd32(mission_pay_table + 4 * sext16(rd16(chosen_mission)));
  if (rd16(player1 + player_record::lives) != 0 && rd16(player2 + player_record::lives) != 0)
    put<W>(d0, (d0 & 0xFFFF) >> 1);
  put<W>(d0, (d0 & 0xFFFF) >> 1);
  wr32(player1 + map_money, rd32(player1 + map_money) + d0);
  wr32(player2 + map_money, rd32(player2 + map_money) + d0);
  JSR(0x007626, 0xBD14)
  wr8(split_map, 0);
  RTS();
END_ROUTINE

// $891C: the enemy frames' pre-shifted copies (code at $5DCC-$5E30): 39
// frames of 22 lines of three planes at $5E60A; copy k (1-7), shifted 2k
// pixels, at $5E60A + 10,296 x k.
ROUTINE(sub_00891C, 0x00891C)
LABEL(0x5DCC)
  a0 = 0x05E60A;
  a1 = 0x05E60A + 10296;
  d7 = 39 * 22 - 1;
LOOP(0x5DDC)
  preshift_line(3, 10296);
  if (dbf(d7)) GOTO(0x5DDC);
  RTS();
END_ROUTINE

// $8920: show the screen whose address is in d0.
ROUTINE(sub_008920, 0x008920)
  JMP(0x007B2A);
END_ROUTINE

namespace {

constexpr u32 tally_count = 0x96;        // player_record: word, counted down by the tally
constexpr u32 result_tune = 6;
constexpr u32 result_pause = 1150000;    // passes of $FC60
constexpr u32 result_hold = 0x0001DA;    // word: VBLs the result fields stay
constexpr u32 result_hold_vbls = 100;
constexpr u32 result_texts[3] = {0x00FABE, 0x00FAD3, 0x00FAE9};
constexpr u32 result_lines[3] = {2080, 3840, 5600}; // lines 13, 24 and 35
constexpr u32 result_column = 8;
constexpr u32 result_colour = 14;
constexpr u32 result_colour14 = 0x777;

} // namespace

// $8924: the mission-complete screen (code at $F886-$F91C) on the picture
// the mission left: tune 6, a pause, two fade steps, the old colour-14
// pixels taken out of both screens, three lines in colour 14 (now white);
// then the pay once the tune has ended, the result fields and the tally.
// Only players in play keep a tally count.
ROUTINE(sub_008924, 0x008924)
LABEL(0xF886)
  if (rd16(player1 + player_record::lives) == 0) wr16(player1 + tally_count, 0);
  if (rd16(player2 + player_record::lives) == 0) wr16(player2 + tally_count, 0);
  d0 = result_tune;
  JSR(0x041BCC, 0xF8A6)
  d0 = result_pause;
  JSR(0x00FC60, 0xF8B2)
  JSR(0x00FA62, 0xF8B6)
  a0 = screen_buffer_b;
  JSR(0x00FC66, 0xF8C0)
  a0 = screen_buffer_a;
  JSR(0x00FC66, 0xF8CA)
  wr16(text_colour, result_colour);
  wr16(palette_regs + 2 * 14, result_colour14);
  d7 = 0;
LOOP(0xF8DC)
  wr16(text_line, result_lines[d7 & 3]);
  wr16(text_column, result_column);
  wr16(text_margin, result_column);
  a0 = result_texts[d7 & 3];
  JSR(0x008928, 0xF8F6)
  d7 += 1;
  if (d7 < 3) GOTO(0xF8DC);
  JSR(0x00F91E, 0xF904)
  wr16(result_hold, result_hold_vbls);
  JSR(0x00FC32, 0xF910)
  JSR(0x00F9C8, 0xF914)
  RTS();
END_ROUTINE

// $8928: string output (code at $34F0-$34F8): each byte of the text at a0
// through the masked character output at $34FA until the zero; a0 ends
// past it.
ROUTINE(sub_008928, 0x008928)
LOOP(0x34F0)
  put<B>(d0, move<B>(rd8(a0)));
  a0 += 1;
  if (cc_eq()) JMP(0x00351C);
  JSR(0x0034FA, 0x34F8)
  GOTO(0x34F0);
END_ROUTINE

// $8930: the run-length unpacker that ends the cold-start load.
ROUTINE(sub_008930, 0x008930)
  JMP(0x00FD84);
END_ROUTINE

// $8934: the general text printer.
ROUTINE(sub_008934, 0x008934)
  JMP(0x008584);
END_ROUTINE

// $8938: the effect frames' pre-shifted copies (code at $BABA-$BB32): 12
// frames of 16 lines of four planes at $49A3A; copy k (1-7), shifted 2k
// pixels, at $49A3A + 3,072 x k.
ROUTINE(sub_008938, 0x008938)
LABEL(0xBABA)
  a0 = 0x049A3A;
  a1 = 0x049A3A + 3072;
  d7 = 12 * 16 - 1;
LOOP(0xBACA)
  preshift_line(4, 3072);
  if (dbf(d7)) GOTO(0xBACA);
  RTS();
END_ROUTINE

// ---- The vertical mission engine ----------------------------------------------

namespace {

constexpr u32 screen_line_bytes = 160;
constexpr u32 playfield_offset = 32; // the play field starts 64 pixels into a line
constexpr u32 visible_lines = 200;
constexpr u32 block_lines = 32;
constexpr u32 stamp_lines = 16;
constexpr u32 hold_line = 162;      // a player below this line holds the scroll
constexpr u32 hold_sum = 244;       // and so do two players whose lines add up past this
constexpr u32 out_of_play_line = 120; // the line a player out of play counts as

// One scrolled line: +1 on the y word of the record at a0, then the next.
inline void record_down(u32 size) {
  wr16(a0, rd16(a0) + 1);
  a0 += size;
}

// The developer's timing colour at a phase of the frame; with timing off
// the game's code leaves d1.w |= d0.w there instead.
inline void timing_colour(u32 colour) {
  if (rd16(dev_timing) != 0)
    wr16(palette_regs, colour);
  else
    put<W>(d1, d1 | d0);
}

} // namespace

// $893C: the 200 ring rows visible at the scroll position into the play
// field of the screen being drawn; the ring's top row is 255 minus the low
// byte of scroll_pos, and the rows wrap from 255 to 0.
ROUTINE(vertical_background, 0x00893C)
  HOOK_AT(0x00893C)
  d0 = rd8(scroll_low);
  a1 = bg_ring + ring_row_bytes * (255 - d0);
  a0 = rd32(draw_screen) + playfield_offset;
  cmp<B>(198, d0);
  if (cc_ls()) GOTO(0x895C);
  d7 = visible_lines - 1;
  JMP(0x008978);
HERE(0x895C)
  push16(d0);
  put<W>(d7, d0);
  JSR(0x008978, 0x896C)
  d0 = pop16();
  a1 = bg_ring;
  put<W>(d7, 198 - d0);
  JMP(0x008978);
END_ROUTINE

// $8978: copies d7.w + 1 ring rows from a1 to the play field at a0, one
// screen line each; a0 and a1 end past them.
ROUTINE(sub_008978, 0x008978)
  wr16(copy_lines, d7);
LOOP(0x897C)
  for (u32 i = 0; i < ring_row_bytes; i += 4) wr32(a0 + i, rd32(a1 + i));
  a1 += ring_row_bytes;
  a0 += screen_line_bytes;
  wr16(copy_lines, sub<W>(1, rd16(copy_lines)));
  if (cc_pl()) GOTO(0x897C);
  RTS();
END_ROUTINE

// $8998: the return the copy loop ends in.
ROUTINE(sub_008998, 0x008998)
  RTS();
END_ROUTINE

// $899A: the vertical scroll step, at most one line a frame, held while a
// player is low on the screen. A scrolled line moves the players and every
// record of the moving tables one line down, and at phases 9, 19 and 29 of
// each 32 lines reads the next block of the map (left, middle, right) into
// the ring band that comes into view next, with its stamps, installations
// and solid cells.
ROUTINE(level_map_read_row, 0x00899A)
  d0 = out_of_play_line;
  if (rd16(player1 + player_record::lives) != 0) d0 = rd16(player1 + player_record::y);
  d1 = out_of_play_line;
  if (rd16(player2 + player_record::lives) != 0) d1 = rd16(player2 + player_record::y);
  cmp<W>(hold_line, d0);
  if (cc_hi()) RTS();
  cmp<W>(hold_line, d1);
  if (cc_hi()) RTS();
  put<W>(d0, add<W>(d1, d0));
  cmp<W>(hold_sum, d0);
  if (cc_hi()) RTS();

  wr16(scroll_pos, rd16(scroll_pos) + 1);
  wr8(event_clock, rd8(event_clock) + 1);
  wr16(player1 + player_record::y, rd16(player1 + player_record::y) + 1);
  wr16(player2 + player_record::y, rd16(player2 + player_record::y) + 1);

  // Every record, free or live, of the moving tables.
  a0 = enemy_table.address + 2;
  d7 = enemy_table.records - 1;
LOOP(0x89D0)
  record_down(enemy_table.size);
  if (dbf(d7)) GOTO(0x89D0);
  a0 = grenade_table.address + 2;
  d7 = grenade_table.records - 1;
LOOP(0x89E0)
  record_down(grenade_table.size);
  if (dbf(d7)) GOTO(0x89E0);
  a0 = explosion_table.address + 2;
  d7 = explosion_table.records - 1;
LOOP(0x89F0)
  record_down(explosion_table.size);
  if (dbf(d7)) GOTO(0x89F0);
  a0 = installation_table.address + 2;
  d7 = installation_table.records - 1;
LOOP(0x8A00)
  record_down(installation_table.size);
  if (dbf(d7)) GOTO(0x8A00);
  a0 = bullet_table.address + 2;
  d7 = bullet_table.records - 1;
LOOP(0x8A10)
  record_down(bullet_table.size);
  if (dbf(d7)) GOTO(0x8A10);
  a0 = homing_unit_table.address + 6;
  d7 = homing_unit_table.records - 1;
LOOP(0x8A20)
  record_down(homing_unit_table.size);
  if (dbf(d7)) GOTO(0x8A20);
  a0 = vehicle_table.address + 4;
  d7 = vehicle_table.records - 1;
LOOP(0x8A30)
  record_down(vehicle_table.size);
  if (dbf(d7)) GOTO(0x8A30);
  a0 = projectile_table.address + 4;
  d7 = projectile_table.records - 1;
LOOP(0x8A40)
  record_down(projectile_table.size);
  if (dbf(d7)) GOTO(0x8A40);
  a0 = debris_table.address + 4;
  d7 = debris_table.records - 1;
LOOP(0x8A50)
  record_down(debris_table.size);
  if (dbf(d7)) GOTO(0x8A50);
  a0 = effect_table.address + 2;
  d7 = effect_table.records - 1;
LOOP(0x8A60)
  record_down(effect_table.size);
  if (dbf(d7)) GOTO(0x8A60);
  a0 = goal_record.address + 4;
  d7 = goal_record.records - 1;
LOOP(0x8A70)
  record_down(goal_record.size);
  if (dbf(d7)) GOTO(0x8A70);
  // The game moves the dot bullets by their word +0, which is their x: a
  // slip of the game's own, kept as it plays.
  a0 = dot_bullet_table.address + 0;
  d7 = dot_bullet_table.records - 1;
LOOP(0x8A80)
  record_down(dot_bullet_table.size);
  if (dbf(d7)) GOTO(0x8A80);

  // Row phase: column 0, 1 or 2 at lines 9, 19 and 29 of each 32.
  put<W>(d0, rd16(scroll_pos) & 0x1F);
  d1 = 0;
  cmp<W>(9, d0);
  if (cc_eq()) GOTO(0x8AB0);
  d1 = 1;
  cmp<W>(19, d0);
  if (cc_eq()) GOTO(0x8AB0);
  d1 = 2;
  cmp<W>(29, d0);
  if (cc_eq()) GOTO(0x8AB0);
  RTS();
HERE(0x8AB0)
  put<W>(d0, rd16(scroll_pos));
  a3 = bg_ring + ring_row_bytes * ((0xC0 - (d0 & 0xE0)) & 0xFF) + 32 * d1;
  a4 = collision_map + ((d0 + 32) & 0x3E0) + 4 * d1;
  wr32(a4, 0);
  wr32(a4 + collision_row_bytes, 0);
  a2 = rd32(level_map_pointer);
  d0 = rd8(a2);
  a2 += 1;
  wr16(last_block, d0);
  cmp<B>(0xFF, d0);
  if (cc_ne()) GOTO(0x8B10);

  // The map's end: back onto the byte before the marker, which stands in
  // for every later block; the colour burst leaves colour 0 black.
  a2 -= 2;
  wr32(level_map_pointer, a2);
  d1 = 0xFFFE;
LOOP(0x8B00)
  wr16(palette_regs, d1);
  if (dbf(d1)) GOTO(0x8B00);
  d0 = rd8(a2);
  a2 += 1;
HERE(0x8B10)
  wr32(level_map_pointer, a2);
  a0 = a3;
  btst<B>(7, d0);
  if (cc_eq()) JMP(0x008D4C);
  JSR(0x008D4C, 0x8B40)

  // The block's object list, each entry placed from the block's corner.
LOOP(0x8B44)
  d0 = rd8(a2);
  a2 += 1;
  if (d0 == 0) GOTO(0x8BD6);
  cmp<B>(0xF1, d0);
  if (cc_ne()) GOTO(0x8B64);
  JSR(0x006F2A, 0x8B60)
  GOTO(0x8B44);
HERE(0x8B64)
  cmp<B>(0xF2, d0);
  if (cc_ne()) GOTO(0x8B6C);
  JSR(0x006F22, 0x8B68)
  GOTO(0x8B44);
HERE(0x8B6C)
  cmp<B>(0xF3, d0);
  if (cc_ne()) GOTO(0x8B74);
  JSR(0x006F3A, 0x8B70)
  GOTO(0x8B44);
HERE(0x8B74)
  cmp<B>(0xF4, d0);
  if (cc_ne()) GOTO(0x8B80);
  JSR(0x006F32, 0x8B78)
  GOTO(0x8B44);

  // A stamp: code c, position byte q (entry q mod 64 of spawn_table);
  // codes 1-125 mark their cell solid; 126 and up show stamp c - 1.
HERE(0x8B80)
  d2 = (rd8(a2) * 4) & 0xFF;
  a2 += 1;
  a0 = a3 + sext16(rd16(spawn_table + d2));
  cmp<B>(125, d0);
  if (cc_hi()) GOTO(0x8BA8);
  wr8(a4 + sext16(rd16(spawn_table + d2 + 2)), 0xFF);
  GOTO(0x8BAA);
HERE(0x8BA8)
  d0 -= 1;
HERE(0x8BAA)
  JSR(0x008BDE, 0x8BC0)
  GOTO(0x8B44);
HERE(0x8BD6)
  wr32(level_map_pointer, a2);
  RTS();
END_ROUTINE

// $8BDE: stamp d0.b over the ring at a0, colour 0 transparent; a0 ends 16
// rows down. d0-d5 kept.
ROUTINE(level_map_read_objects, 0x008BDE)
  save_regs(dregs(0, 5));
  a1 = map_stamps + (((d0 & 0xFF) * map_stamp_bytes) & 0xFFFF);
  d1 = stamp_lines - 1;
LOOP(0x8BF0)
  d2 = rd16(a1);
  d3 = rd16(a1 + 2);
  d4 = rd16(a1 + 4);
  d5 = rd16(a1 + 6);
  a1 += 8;
  d0 = ~(d2 | d3 | d4 | d5) & 0xFFFF;
  wr16(a0, (rd16(a0) & d0) | d2);
  wr16(a0 + 2, (rd16(a0 + 2) & d0) | d3);
  wr16(a0 + 4, (rd16(a0 + 4) & d0) | d4);
  wr16(a0 + 6, (rd16(a0 + 6) & d0) | d5);
  a0 += ring_row_bytes;
  if (dbf(d1)) GOTO(0x8BF0);
  restore_regs(dregs(0, 5));
  RTS();
END_ROUTINE

// $8D1E: fills the whole ring with the block of the map's first byte, the
// section's filler; the map pointer stays where it is.
ROUTINE(level_map_prefill, 0x008D1E)
  a0 = rd32(level_map_pointer);
  d0 = rd8(a0);
  wr16(last_block, d0);
  d2 = d0;
  a0 = bg_ring;
  d3 = ring_rows / block_lines - 1;
LOOP(0x8D2E)
  d4 = 2;
LOOP(0x8D32)
  d0 = d2;
  JSR(0x008D4C, 0x8D3A)
  a0 += ring_row_bytes / 3;
  if (dbf(d4)) GOTO(0x8D32);
  a0 += ring_row_bytes * block_lines - ring_row_bytes;
  if (dbf(d3)) GOTO(0x8D2E);
  RTS();
END_ROUTINE

// $8D4C: ground block d0 AND $7F into the ring at a0 (32 rows of 64
// pixels); d0 ends as the block's offset, a0 where it was.
ROUTINE(level_map_advance, 0x008D4C)
  d0 = (d0 & 0x7F) * ground_block_bytes;
  a1 = ground_blocks + d0;
  d1 = block_lines - 1;
LOOP(0x8D5C)
  for (u32 i = 0; i < 32; i += 4) wr32(a0 + i, rd32(a1 + i));
  a1 += 32;
  a0 += ring_row_bytes;
  if (dbf(d1)) GOTO(0x8D5C);
  a0 -= ring_row_bytes * block_lines;
  RTS();
END_ROUTINE

// $8E82: player 1's out-of-play plate, once, at the end of the first frame
// without lives.
ROUTINE(sub_008E82, 0x008E82)
  tst<W>(rd16(player1 + player_record::lives));
  if (cc_ne()) GOTO(0x8E94);
  tst<W>(rd16(player1 + player_record::plate_latch));
  if (cc_ne()) GOTO(0x8E94);
  JSR(0x008E24, 0x8E90)
  wr8(player1 + player_record::plate_latch, 0xFF);
HERE(0x8E94)
  RTS();
END_ROUTINE

// $8E96: the same for player 2.
ROUTINE(sub_008E96, 0x008E96)
  tst<W>(rd16(player2 + player_record::lives));
  if (cc_ne()) GOTO(0x8EAA);
  tst<W>(rd16(player2 + player_record::plate_latch));
  if (cc_ne()) GOTO(0x8EAA);
  JSR(0x008DC6, 0x8EA6)
  wr8(player2 + player_record::plate_latch, 0xFF);
HERE(0x8EAA)
  RTS();
END_ROUTINE

// $8EAC: the game loop of a mission, one game frame a pass: developer keys,
// the frame pacing and the panel, every update, the scroll step, the
// drawing, the plates; the horizontal section at its switch point; then
// the end tests. Returns when the mission is over: exit_request set
// (completed) or no player left (failed).
ROUTINE(frame_vertical, 0x008EAC)
HERE(0x8EAC)
  tst<W>(rd16(dev_mode));
  if (cc_eq()) GOTO(0x8EE2);
  d0 = rd8(last_key);
  cmp<B>(1, d0);
  if (cc_cs()) GOTO(0x8ECC);
  cmp<B>(9, d0);
  if (cc_hi()) GOTO(0x8ECC);
  put<W>(d0, d0 - 1); // Esc and 1-8 play samples 0-8
  JSR(0x00E756, 0x8EC6)
  d0 = rd8(last_key);
HERE(0x8ECC)
  cmp<B>(25, d0); // P: the mission counts as completed
  if (cc_ne()) GOTO(0x8ED8);
  wr8(exit_request, 0xFF);
  RTS();
HERE(0x8ED8)
  tst<W>(rd16(dev_freerun));
  if (cc_eq()) GOTO(0x8EE2);
  cmp<B>(57, d0); // space: no wait, no panel
  if (cc_eq()) GOTO(0x8EEA);

  HOOK(0x8EE2)
  JSR(0x0091E0, 0x8EE6)
  JSR(0x007E06, 0x8EEA)
  HOOK_AT(0x008EEA)

  JSR(0x00A2C2, 0x8EEE)
  JSR(0x0071E8, 0x8EF2)
  JSR(0x00A544, 0x8EF6)
  JSR(0x00A5FC, 0x8EFA)
  JSR(0x00AE1A, 0x8EFE)
  JSR(0x006C28, 0x8F02)
  JSR(0x006CFA, 0x8F06)
  JSR(0x006FB0, 0x8F0A)
  JSR(0x006950, 0x8F0E)
  JSR(0x009FA4, 0x8F12)
  JSR(0x00A526, 0x8F16)
  JSR(0x00B46E, 0x8F1A)
  JSR(0x00B944, 0x8F1E)
  JSR(0x00AC5E, 0x8F22)
  JSR(0x00A3FE, 0x8F26)
  JSR(0x00AE7A, 0x8F2A)
  JSR(0x00922E, 0x8F2E)
  timing_colour(0x417);
  JSR(0x00B09A, 0x8F40)
  JSR(0x00AFA2, 0x8F44)
  JSR(0x00B386, 0x8F48)
  timing_colour(0x444);
  JSR(0x00899A, 0x8F5A)
  timing_colour(0x050);
  tst<W>(rd16(dev_freerun));
  if (cc_eq()) GOTO(0x8F74);
  cmp<B>(57, rd8(last_key));
  if (cc_eq()) GOTO(0x900C);
HERE(0x8F74)
  JSR(0x00893C, 0x8F7C)
  timing_colour(0x222);
  timing_colour(0x000);
  JSR(0x006E4C, 0x8F9C)
  timing_colour(0x741);
  JSR(0x0060AA, 0x8FAE)
  JSR(0x006D12, 0x8FB2)
  JSR(0x0063DE, 0x8FB6)
  JSR(0x00652E, 0x8FBA)
  JSR(0x0066F4, 0x8FBE)
  JSR(0x005B32, 0x8FC2)
  JSR(0x005946, 0x8FC6)
  HOOK_AT(0x008FC6)
  timing_colour(0x400);
  JSR(0x005E32, 0x8FD8)
  JSR(0x00660C, 0x8FDC)
  JSR(0x006812, 0x8FE0)
  JSR(0x005F1A, 0x8FE4)
  timing_colour(0x444);
  timing_colour(0x000);
  JSR(0x00B6EA, 0x9004)
  JSR(0x008E82, 0x9008)
  JSR(0x008E96, 0x900C)
  wr16(fx_bank, rd16(fx_bank) + 1);

  cmp<W>(vertical_section_end, rd16(scroll_pos));
  if (cc_ne()) GOTO(0x902C);
  JSR(0x0045D6, 0x901C)
  JSR(0x00474A, 0x9020)
  put<W>(d0, add<W>(rd16(player2 + player_record::lives), rd16(player1 + player_record::lives)));
  if (cc_eq()) RTS();
HERE(0x902C)
  tst<W>(rd16(exit_request));
  if (cc_ne()) RTS();
  put<W>(d0, add<W>(rd16(player2 + player_record::lives), rd16(player1 + player_record::lives)));
  if (cc_ne()) GOTO(0x9044);
  tst<W>(rd16(dev_freerun));
  if (cc_eq()) RTS();
HERE(0x9044)
  if (kit_budget(0x8EAC)) return;
  GOTO(0x8EAC);
END_ROUTINE

namespace {

constexpr u32 setup_palette = 0x008C44;   // 16 colours while the screen is built
constexpr u32 mission_pictures = 0x044776; // twelve of 21 lines x 16 bytes
constexpr u32 mission_picture_bytes = 336;
constexpr u32 last_mission_picture = 11;
constexpr u32 left_picture = 0x025BE8;    // screen $20000, line 147, x 16
constexpr u32 right_picture = 0x025C68;   // line 147, x 272
constexpr u32 panel_piece = 0x00FF8C;     // 40 lines x 16 bytes
constexpr u32 panel_piece_at = 0x020268;  // line 3, x 272
constexpr u32 plate1 = 0x0104AC;          // 18 lines x 32 bytes
constexpr u32 plate2 = 0x01026C;
constexpr u32 plate1_at = 0x006F40;       // line 178, x 0, in either screen
constexpr u32 plate2_at = 0x006FC0;       // line 178, x 256

// One line of n longs from a0 to a1 (and a2 when both screens take it);
// the sources and destinations move on a line.
inline void copy_line(u32 longs, bool both) {
  for (u32 i = 0; i < longs; ++i) {
    const u32 v = rd32(a0 + 4 * i);
    wr32(a1 + 4 * i, v);
    if (both) wr32(a2 + 4 * i, v);
  }
  a0 += 4 * longs;
  a1 += line_bytes;
  a2 += line_bytes;
}

} // namespace

// $8C64: the screen of a mission: the playfield, the panel, both weapon
// pictures, player 2's plate when alone, the mission pictures, the ring
// of the first section, both screens alike; the mission palette last.
ROUTINE(sub_008C64, 0x008C64)
  a1 = setup_palette;
  JSR(0x0075E2, 0x8C6C)
  JSR(0x007134, 0x8C70)
  JSR(0x008DA0, 0x8C74)
  JSR(0x009D70, 0x8C78)
  tst<W>(rd16(two_player_flag));
  if (cc_ne()) GOTO(0x8C8C);
  JSR(0x008DC6, 0x8C8C)
  JSR(0x008CA2, 0x8C90)
  JSR(0x008D1E, 0x8C94)
  JSR(0x007558, 0x8C98)
  a1 = mission_palette;
  JSR(0x0075E2, 0x8CA0)
  RTS();
END_ROUTINE

// $8CA2: the mission pictures beside the playfield: the chosen mission's on
// the left; on the right the same in a two-player game, else a random other
// one (values 12-15 give the last picture, so it comes up more often).
ROUTINE(sub_008CA2, 0x008CA2)
  put<W>(d0, rd16(chosen_mission));
  a0 = mission_pictures + mission_picture_bytes * (d0 & 0xFFFF);
  a1 = left_picture;
  d1 = 20;
LOOP(0x8CB6)
  copy_line(4, false);
  if (dbf(d1)) GOTO(0x8CB6);
  put<W>(d0, rd16(chosen_mission));
  tst<W>(rd16(two_player_flag));
  if (cc_ne()) GOTO(0x8CEE);
LOOP(0x8CD2)
  JSR(0x007576, 0x8CD8)
  put<W>(d0, and_<W>(15, d0));
  cmp<W>(last_mission_picture, d0);
  if (cc_ls()) GOTO(0x8CE6);
  put<W>(d0, last_mission_picture);
HERE(0x8CE6)
  cmp<W>(rd16(chosen_mission), d0);
  if (cc_eq()) GOTO(0x8CD2);
HERE(0x8CEE)
  a0 = mission_pictures + mission_picture_bytes * (d0 & 0xFFFF);
  a1 = right_picture;
  d1 = 20;
LOOP(0x8D00)
  copy_line(4, false);
  if (dbf(d1)) GOTO(0x8D00);
  RTS();
END_ROUTINE

// $8DA0: the panel piece at the top right of the screen being built.
ROUTINE(sub_008DA0, 0x008DA0)
  a0 = panel_piece;
  a1 = panel_piece_at;
  d1 = 39;
LOOP(0x8DAE)
  copy_line(4, false);
  if (dbf(d1)) GOTO(0x8DAE);
  RTS();
END_ROUTINE

// $8DC6: player 2's out-of-play plate, into both screens.
ROUTINE(sub_008DC6, 0x008DC6)
  a0 = plate2;
  a1 = screen_buffer_a + plate2_at;
  a2 = screen_buffer_b + plate2_at;
  d1 = 17;
LOOP(0x8DDA)
  copy_line(8, true);
  if (dbf(d1)) GOTO(0x8DDA);
  RTS();
END_ROUTINE

// $8E24: player 1's out-of-play plate, into both screens.
ROUTINE(sub_008E24, 0x008E24)
  a0 = plate1;
  a1 = screen_buffer_a + plate1_at;
  a2 = screen_buffer_b + plate1_at;
  d1 = 17;
LOOP(0x8E38)
  copy_line(8, true);
  if (dbf(d1)) GOTO(0x8E38);
  RTS();
END_ROUTINE
