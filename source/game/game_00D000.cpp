// Page $D000: the weapon shop's equipment screen: the shopping player's
// weapons and supply counts on a screen of their own until fire is pressed
// and released, then the shop screen back as it was.
#include "game/game_io.h"
#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "game/routine_kit.h"

using namespace st_io;

namespace {

constexpr u32 equipment_palette = 0x00D316;
constexpr u32 dim_palette = 0x008C44;   // set while the shop screen comes back
constexpr u32 shop_palette = 0x008C24;
constexpr u32 weapon_name_offsets = 0x00D184; // 18 words from the names at $D1A8
constexpr u32 weapon_names = 0x00D1A8;
constexpr u32 supply_name_offsets = 0x00D242; // 11 words from the names at $D258
constexpr u32 supply_names = 0x00D258;
constexpr u32 count_line_end = 0x00D2EF;
constexpr u32 heading = 0x00D2F2;
constexpr u32 colour14_register = 0xFF825C;
constexpr u32 shop_colour14 = 0x047;
constexpr u32 screen_longs = 8192;      // 32,768 bytes: the screen and the 768 after it
constexpr u32 owned_field = 0x66;       // 18 bytes of the player_record
constexpr u32 weapon_count = 18;
constexpr u32 list_line = 2400;         // line 15
constexpr u32 supply_column = 15;
constexpr u32 weapon_line_step = 1440;  // 9 pixel lines
constexpr u32 equipment_cell_item = 7;  // the equipment screen itself is not a supply

inline void set_cursor(u32 line, u32 column) {
  wr16(text_line, line);
  wr16(text_column, column);
  wr16(text_margin, column);
}

inline u32 shopping_fire_byte() {
  return (rd16(current_player) == 0 ? player1 : player2) + player_record::fire;
}

} // namespace

// $D078: the equipment screen, coming back through the dimmed shop palette.
ROUTINE(sub_00D078, 0x00D078)
  a1 = dim_palette;
  JMP(0x00D07C);
END_ROUTINE

// $D07C: the equipment of the record at a4 on an empty screen (the shop
// screen saved to $18000 meanwhile) until the shopping player presses and
// releases fire; both fire bytes are cleared first, so a fire held from the
// shop does not end it. The fire bytes change only between slices, so each
// poll waits for the next VBL. The shop screen then comes back whole with
// its palette and colour 14 = $047.
ROUTINE(sub_00D07C, 0x00D07C)
  JSR(0x0075E2, 0xD080)
  JSR(0x0079DC, 0xD084)
  for (u32 i = 0; i < screen_longs * 4; i += 4) {
    wr32(screen_buffer_a + i, rd32(screen_buffer_b + i));
    wr32(screen_buffer_b + i, 0);
  }
  set_cursor(0, 0);
  wr16(text_colour, 15);
  a0 = heading;
  JSR(0x008584, 0xD0AE)
  JSR(0x00D336, 0xD0B2)
  set_cursor(list_line, 0);
  wr16(text_colour, 6);
  d5 = 0;
LOOP(0xD0D0)
  tst<B>(rd8(a4 + owned_field + (d5 & 0xFFFF)));
  if (cc_eq()) GOTO(0xD0DC);
  JSR(0x00D14E, 0xD0DA)
HERE(0xD0DC)
  put<W>(d5, d5 + 1);
  cmp<W>(weapon_count, d5);
  if (cc_ne()) GOTO(0xD0D0);
  JSR(0x0079DC, 0xD0E6)
  a1 = equipment_palette;
  JSR(0x00AF96, 0xD0EE)
  wr8(player1 + player_record::fire, 0);
  wr8(player2 + player_record::fire, 0);
LOOP(0xD0FA)
  if (kit_wait(0xD0FE)) return;
LABEL(0xD0FE)
  tst<B>(rd8(shopping_fire_byte()));
  if (cc_eq()) GOTO(0xD0FA);
LOOP(0xD10C)
  if (kit_wait(0xD110)) return;
LABEL(0xD110)
  tst<B>(rd8(shopping_fire_byte()));
  if (cc_ne()) GOTO(0xD10C);
  a1 = dim_palette;
  JSR(0x00AF96, 0xD122)
  for (u32 i = 0; i < screen_longs * 4; i += 4) wr32(screen_buffer_b + i, rd32(screen_buffer_a + i));
  a1 = shop_palette;
  JSR(0x00AF96, 0xD144)
  wr16(colour14_register, shop_colour14);
  RTS();
END_ROUTINE

// $D14E: the name of weapon slot d5.w in the current colour; the cursor
// goes to the start of the next 9-line row.
ROUTINE(sub_00D14E, 0x00D14E)
  a0 = weapon_names + sext16(rd16(weapon_name_offsets + 2 * (d5 & 0xFFFF)));
  JSR(0x008584, 0xD166)
  wr16(text_line, rd16(text_line) + weapon_line_step);
  wr16(text_column, 0);
  RTS();
END_ROUTINE

// $D336: the supply list from line 15, column 15: each item's name in
// colour 10 and its count in colour 13, five digits (a count is a word, so
// up to 65,535). Item 7 is shop cell 25, the equipment screen itself, and
// is left out.
ROUTINE(sub_00D336, 0x00D336)
  set_cursor(list_line, supply_column);
  d6 = 0;
LOOP(0xD34C)
  wr16(text_colour, 10);
  a0 = supply_names + sext16(rd16(supply_name_offsets + 2 * (d6 & 0xFFFF)));
  JSR(0x008584, 0xD366)
  d0 = rd16(a4 + player_record::counts + 2 * (d6 & 0xFFFF));
  JSR(0x007D3E, 0xD372)
  wr16(text_colour, 13);
  a0 = digit_buffer + 2;
  JSR(0x008584, 0xD382)
  a0 = count_line_end;
  JSR(0x008584, 0xD38A)
  put<W>(d6, d6 + 1);
  cmp<W>(equipment_cell_item, d6);
  if (cc_ne()) GOTO(0xD39A);
  put<W>(d6, equipment_cell_item + 1);
HERE(0xD39A)
  cmp<W>(11, d6);
  if (cc_ne()) GOTO(0xD34C);
  RTS();
END_ROUTINE
