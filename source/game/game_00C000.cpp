// Page $C000: the world map's mission markers (animate, draw, erase) and
// the panel's frame and message.
#include "game/game_io.h"
#include "game/game_ram.h"
#include "game/map_drawing.h"
#include "game/map_ram.h"
#include "game/mission_ram.h"
#include "game/routine_kit.h"

using namespace st_io;

namespace {

constexpr u32 line_bytes = 160;
constexpr u32 mission_count = 12;
constexpr u32 message_colour = 11;

} // namespace

// $C81A: each active marker either sits out its hidden countdown or is
// drawn and animated: frames 0-5 for 6 passes each, then 40 passes away.
ROUTINE(sub_00C81A, 0x00C81A)
  a6 = mission_markers;
  put<W>(d7, mission_count - 1);
LOOP(0xC822)
  tst<W>(rd16(a6 + marker::active));
  if (cc_eq()) GOTO(0xC872);
  tst<W>(rd16(a6 + marker::hidden));
  if (cc_eq()) GOTO(0xC834);
  wr16(a6 + marker::hidden, rd16(a6 + marker::hidden) - 1);
  GOTO(0xC872);
HERE(0xC834)
  put<W>(d1, rd16(a6 + marker::x));
  put<W>(d2, rd16(a6 + marker::y));
  put<W>(d3, rd16(a6 + marker::frame));
  JSR(0x00C87E, 0xC844)
  wr16(a6 + marker::countdown, rd16(a6 + marker::countdown) - 1);
  if (rd16(a6 + marker::countdown) != 0) GOTO(0xC872);
  wr16(a6 + marker::countdown, marker::vbls_per_frame);
  wr16(a6 + marker::frame, rd16(a6 + marker::frame) + 1);
  if (rd16(a6 + marker::frame) < marker::frames) GOTO(0xC872);
  wr16(a6 + marker::frame, 0);
  wr16(a6 + marker::hidden, marker::hidden_passes);
HERE(0xC872)
  a6 += marker::size;
  if (dbf(d7)) GOTO(0xC822);
  RTS();
END_ROUTINE

// $C87E: the marker of record a6 drawn at (d1, d2) in frame d3; its place
// kept in the record for the erase.
ROUTINE(sub_00C87E, 0x00C87E)
  a2 = marker_frames + 18 * (d3 & 0xFFFF);
  JSR(0x00C8C8, 0xC88E)
  wr32(a6 + marker::drawn_at, a0);
  map_drawing::draw();
  RTS();
END_ROUTINE

// $C8C8: the frame at a2 shifted into $BF42 for (d1 - 4, line d2); a0/a1 =
// its left and right bytes.
ROUTINE(sub_00C8C8, 0x00C8C8)
  put<W>(d0, d1 - 4);
  map_drawing::place(a2, marker_shifted);
  RTS();
END_ROUTINE

// $C906: every marker ever drawn (active or not) erased from the clean
// copy.
ROUTINE(sub_00C906, 0x00C906)
  a6 = mission_markers;
  put<W>(d7, mission_count - 1);
LOOP(0xC90E)
  a0 = rd32(a6 + marker::drawn_at);
  if (a0 != 0) map_drawing::erase(a0);
  a6 += marker::size;
  if (dbf(d7)) GOTO(0xC90E);
  RTS();
END_ROUTINE

// $C94C: message d0.w of the map in colour 11 from the panel's top left;
// the text lays itself out with its own returns and colour bytes.
ROUTINE(sub_00C94C, 0x00C94C)
  a0 = map_message_texts + sext16(rd16(map_messages + sext16((d0 << 1) & 0xFFFF)));
  wr16(text_line, 0);
  wr16(text_column, 0);
  wr16(text_margin, 0);
  wr16(text_colour, message_colour);
  JMP(0x008584);
END_ROUTINE

// $C97C: clears the panel's frame area, bytes 0-31 of lines 4-44 of
// screen $20000.
ROUTINE(sub_00C97C, 0x00C97C)
  a0 = screen_buffer_b + 4 * line_bytes;
  put<W>(d1, 44 - 4);
LOOP(0xC986)
  for (u32 i = 0; i < 32; i += 4) wr32(a0 + i, 0);
  a0 += line_bytes;
  if (dbf(d1)) GOTO(0xC986);
  RTS();
END_ROUTINE

// $C9A2: the panel's frame from the clean copy: bytes 0-31 of lines 8-44
// of screen $18000 to lines 4-40 of screen $20000.
ROUTINE(sub_00C9A2, 0x00C9A2)
  a0 = screen_buffer_a + 8 * line_bytes;
  a1 = screen_buffer_b + 4 * line_bytes;
  put<W>(d1, 40 - 4);
LOOP(0xC9B2)
  for (u32 i = 0; i < 32; i += 4) wr32(a1 + i, rd32(a0 + i));
  a0 += line_bytes;
  a1 += line_bytes;
  if (dbf(d1)) GOTO(0xC9B2);
  RTS();
END_ROUTINE

// --- the weapon shop ------------------------------------------------------------

namespace {

constexpr u32 shop_price_table = 0x00CFF8;   // 30 longs; negative: not for sale
constexpr u32 shop_amount_table = 0x00D22A;  // 11 words; negative: nothing
constexpr u32 money_field = 0x58;            // long of the player_record
constexpr u32 owned_field = 0x66;            // 18 bytes, one per weapon
constexpr u32 supply_field = 0x7A;           // 11 words
constexpr u32 supply_limit = 9899;           // above it a purchase is refused
constexpr u32 money_line = 29920;            // line 187
constexpr u32 money_column = 28;
constexpr u32 leave_cell = 29;
constexpr u32 last_weapon_cell = 17;
constexpr u32 first_supply_cell = 18;
constexpr u32 sound_bought = 9;
constexpr u32 sound_full = 13;
constexpr u32 sound_short = 25;

} // namespace

// $CC54: the cell under the shop pointer: row (y / 24) x 5 + x / 64.
ROUTINE(sub_00CC54, 0x00CC54)
  put<L>(d0, rd16(map_cursor_y));
  put<W>(d0, (d0 & 0xFFFF) / 24);
  put<W>(d0, (((d0 & 0xFFFF) * 320 + rd16(map_cursor_x)) & 0xFFFF) >> 6);
  RTS();
END_ROUTINE

// $CC6A: the shop pointer follows the shopping player's joystick, 4 pixels
// per axis per pass, kept within x 7..312 and y 8..132.
ROUTINE(sub_00CC6A, 0x00CC6A)
  a0 = rd16(current_player) == 0 ? player1 : player2;
  if (rd8(a0 + player_record::left)) wr16(map_cursor_x, rd16(map_cursor_x) - 4);
  if (rd8(a0 + player_record::down)) wr16(map_cursor_y, rd16(map_cursor_y) + 4);
  if (rd8(a0 + player_record::right)) wr16(map_cursor_x, rd16(map_cursor_x) + 4);
  if (rd8(a0 + player_record::up)) wr16(map_cursor_y, rd16(map_cursor_y) - 4);
  if (rd16(map_cursor_x) <= 6) wr16(map_cursor_x, 7);
  if (rd16(map_cursor_x) > 312) wr16(map_cursor_x, 312);
  if ((rd16(map_cursor_y) & 0xFFF8) == 0) wr16(map_cursor_y, 8);
  if (rd16(map_cursor_y) > 132) wr16(map_cursor_y, 132);
  RTS();
END_ROUTINE

// $CEE4: a purchase of cell d1.w for the record at a4: a weapon once, a
// supply while its count is at most 9,899 (the limit is checked before the
// amount is added). Money short plays 25, a full count 13, a purchase 9;
// a cell not for sale does nothing. d1 is kept.
ROUTINE(sub_00CEE4, 0x00CEE4)
  cmp<W>(leave_cell, d1);
  if (cc_eq()) GOTO(0xCF7E);
  cmp<W>(last_weapon_cell, d1);
  if (cc_hi()) GOTO(0xCF12);
  tst<B>(rd8(a4 + owned_field + (d1 & 0xFFFF)));
  if (cc_ne()) GOTO(0xCF7E);
  put<L>(d2, move<L>(rd32(shop_price_table + 4 * (d1 & 0xFFFF))));
  if (cc_mi()) GOTO(0xCF7E);
  cmp<L>(d2, rd32(a4 + money_field));
  if (cc_cs()) GOTO(0xCF60);
  wr32(a4 + money_field, rd32(a4 + money_field) - d2);
  wr8(a4 + owned_field + (d1 & 0xFFFF), 0xFF);
  GOTO(0xCF40);
  // Supplies.
HERE(0xCF12)
  put<L>(d3, (d1 & 0xFFFF) - first_supply_cell);
  put<W>(d4, move<W>(rd16(shop_amount_table + 2 * (d3 & 0xFFFF))));
  if (cc_mi()) GOTO(0xCF7E);
  put<L>(d2, move<L>(rd32(shop_price_table + 4 * (d1 & 0xFFFF))));
  if (cc_mi()) GOTO(0xCF7E);
  cmp<L>(d2, rd32(a4 + money_field));
  if (cc_cs()) GOTO(0xCF60);
  cmp<W>(supply_limit, rd16(a4 + supply_field + 2 * (d3 & 0xFFFF)));
  if (cc_hi()) GOTO(0xCF6E);
  wr32(a4 + money_field, rd32(a4 + money_field) - d2);
  {
    const u32 at = a4 + supply_field + 2 * (d3 & 0xFFFF);
    wr16(at, rd16(at) + d4);
  }
HERE(0xCF40)
  push32(d1);
  put<L>(d0, sound_bought);
  put<L>(d1, 0);
  JSR(0x041C04, 0xCF48)
  d1 = pop32();
  put<L>(d0, rd32(a4 + money_field));
  JSR(0x007D3E, 0xCF50)
  wr16(text_line, money_line);
  wr16(text_line + 2, money_column);
  wr16(text_line + 4, money_column);
  a0 = 0x00025E;
  JSR(0x008058, 0xCF5E)
  RTS();
HERE(0xCF60)
  put<L>(d0, sound_short);
  GOTO(0xCF70);
HERE(0xCF6E)
  put<L>(d0, sound_full);
HERE(0xCF70)
  push32(d1);
  put<L>(d1, 0);
  JSR(0x041C04, 0xCF7A)
  d1 = pop32();
HERE(0xCF7E)
  RTS();
END_ROUTINE

namespace {

constexpr u32 shop_fire_held = 0x000140;     // word; byte $FF written
constexpr u32 shop_shown_cell = 0x0001F0;
constexpr u32 shop_cell = 0x0001F2;
constexpr u32 shop_pointer_shape = 0x00CDBC; // 9 words
constexpr u32 shop_pointer_shifted = 0x00CDCE;
constexpr u32 shop_text_offsets = 0x00CEA8;  // 30 words from the texts at $D3AC
constexpr u32 shop_texts = 0x00D3AC;
constexpr u32 not_for_sale_text = 0x00D070;
constexpr u32 colour14_register = 0xFF825C;
constexpr u32 text_box_colour = 0x047;
constexpr u32 text_box_from = 0x01DA00;      // line 144 of screen $18000
constexpr u32 text_box_to = 0x025A00;        // line 144 of screen $20000
constexpr u32 text_box_bytes = 38 * 160;
constexpr u32 fire_wait_vbls = 10;

// The shopping player's fire byte.
inline u32 shop_fire_byte() { return rd16(current_player) == 0 ? player1 + 0x12 : player2 + 0x12; }

inline void set_shop_cursor(u32 line, u32 column) {
  wr16(text_line, line);
  wr16(text_line + 2, column);
  wr16(text_line + 4, column);
}

} // namespace

// $CBD8: one input pass. A fire still held from the last pass is awaited
// for up to 10 VBLs (the pointer stays); the text box follows the cell under
// the pointer; d1.w := the cell when fire is down, else $FF00.
ROUTINE(sub_00CBD8, 0x00CBD8)
  tst<W>(rd16(shop_fire_held));
  if (cc_eq()) GOTO(0xCC0A);
  put<W>(d6, fire_wait_vbls - 1);
LOOP(0xCBE6)
  JSR(0x0079DC, 0xCBEA)
  tst<B>(rd8(shop_fire_byte()));
  if (cc_ne()) GOTO(0xCBFE);
  wr16(shop_fire_held, 0);
  GOTO(0xCC16);
HERE(0xCBFE)
  if (dbf(d6)) GOTO(0xCBE6);
HERE(0xCC0A)
  wr16(shop_fire_held, 0);
  tst<B>(rd8(shop_fire_byte()));
  if (cc_eq()) GOTO(0xCC16);
  wr8(shop_fire_held, 0xFF);
HERE(0xCC16)
  JSR(0x00CC54, 0xCC1A)
  wr16(shop_cell, d0);
  cmp<W>(rd16(shop_shown_cell), d0);
  if (cc_eq()) GOTO(0xCC3A);
  wr16(shop_shown_cell, d0);
  JSR(0x00CDE0, 0xCC36)
HERE(0xCC3A)
  put<W>(d1, 0xFF00);
  tst<B>(rd8(shop_fire_byte()));
  if (cc_eq()) GOTO(0xCC52);
  put<W>(d1, rd16(shop_cell));
HERE(0xCC52)
  RTS();
END_ROUTINE

// $CD0C: the shop pointer erased from the clean copy.
ROUTINE(sub_00CD0C, 0x00CD0C)
  a0 = rd32(pointer_erase_addr);
  map_drawing::erase(a0);
  RTS();
END_ROUTINE

// $CD3C: the shop pointer drawn in colour 1; its place kept for the erase.
ROUTINE(sub_00CD3C, 0x00CD3C)
  JSR(0x00CD72, 0xCD40)
  wr32(pointer_erase_addr, a0);
  map_drawing::draw();
  RTS();
END_ROUTINE

// $CD72: the shop's pointer shape shifted for map_cursor; a0/a1 = the
// bytes of its top line 4 pixels left of and 4 lines above the cursor.
ROUTINE(sub_00CD72, 0x00CD72)
  put<W>(d0, rd16(map_cursor_x) - 4);
  put<W>(d2, rd16(map_cursor_y) - 4);
  map_drawing::place(shop_pointer_shape, shop_pointer_shifted);
  RTS();
END_ROUTINE

// $CDE0: the text box of cell d0.w: the box's lines restored, the cell's
// text in colour 14 (black while it is drawn, then $047), then its price
// in seven digits or the not-for-sale text.
ROUTINE(sub_00CDE0, 0x00CDE0)
  wr16(colour14_register, 0);
  for (u32 i = 0; i < text_box_bytes; i += 4) wr32(text_box_to + i, rd32(text_box_from + i));
  push32(d0);
  a0 = shop_texts + sext16(rd16(shop_text_offsets + 2 * (d0 & 0xFFFF)));
  set_shop_cursor(23040, 1);
  wr16(text_line + 6, 14);
  JSR(0x008584, 0xCE2A)
  d0 = pop32();
  wr16(colour14_register, text_box_colour);
  set_shop_cursor(29920, 11);
  put<L>(d0, move<L>(rd32(shop_price_table + 4 * (d0 & 0xFFFF))));
  if (cc_mi()) GOTO(0xCE62);
  JSR(0x007D3E, 0xCE4E)
  a0 = 0x00025E; // all seven digits
  JSR(0x008058, 0xCE5A)
  RTS();
HERE(0xCE62)
  a0 = not_for_sale_text;
  JSR(0x008058, 0xCE6C)
  RTS();
END_ROUTINE

namespace {

constexpr u32 shop_choice = 0x0001F4;
constexpr u32 grenade_slot = 0x78;           // byte: weapon slot 18
constexpr u32 slot15 = 0x75;
constexpr u32 slot15_count = 0x92;
constexpr u32 equipment_cell = 25;

// True when the record at a4 owns any of the 18 weapons.
inline bool owns_a_weapon() {
  for (u32 s = 0; s < 18; ++s)
    if (rd8(a4 + owned_field + s)) return true;
  return false;
}

} // namespace

// $CB68: one player's turn in the shop, a pass per VBL, until the player
// leaves by cell 29 owning a weapon. Without a weapon only the weapon
// cells act; with one, cell 25 shows the equipment. Leaving makes bought
// grenades weapon slot 18 and gives slot 15 its count of 1.
ROUTINE(sub_00CB68, 0x00CB68)
LOOP(0xCB68)
  JSR(0x00CC6A, 0xCB6C)
  JSR(0x00CD3C, 0xCB70)
  JSR(0x0079DC, 0xCB74)
  JSR(0x00CD0C, 0xCB78)
  JSR(0x00CBD8, 0xCB7C)
  wr16(shop_choice, d1);
  tst<W>(d1);
  if (cc_mi()) GOTO(0xCB68);
  if (owns_a_weapon()) GOTO(0xCBA2);
  cmp<W>(last_weapon_cell, d1);
  if (cc_hi()) GOTO(0xCB68);
  JSR(0x00CEE4, 0xCB9E)
  GOTO(0xCB68);
HERE(0xCBA2)
  cmp<W>(equipment_cell, d1);
  if (cc_ne()) GOTO(0xCBAE);
  JSR(0x00D078, 0xCBAA)
  GOTO(0xCB68);
HERE(0xCBAE)
  JSR(0x00CEE4, 0xCBB2)
  cmp<W>(leave_cell, d1);
  if (cc_ne()) GOTO(0xCB68);
  if (!owns_a_weapon()) GOTO(0xCB68);
  if (rd16(a4 + supply_field)) wr8(a4 + grenade_slot, 0xFF);
  if (rd8(a4 + slot15)) wr16(a4 + slot15_count, 1);
  RTS();
END_ROUTINE
