#include "support/tables/setup_tables.h"

#include "game/game_ram.h"
#include "machine/memory.h"
#include "support/synthetic/picture_drawing.h"
#include "support/synthetic/sprite_sheets.h"

namespace {

void put16(std::vector<u8>& b, u32 v) {
  b.push_back(static_cast<u8>(v >> 8));
  b.push_back(static_cast<u8>(v));
}

// A plain area with a label, in the screen's layout of groups of four
// planes: the panel piece and the out-of-play plates.
std::vector<u8> plain_area(u32 width, u32 lines, const std::string& label, u8 colour) {
  idx_picture p = labelled_sprite(static_cast<int>(width), static_cast<int>(lines), {15, 1, 15, colour, colour, colour}, label);
  for (u8& c : p.px)
    if (c == 0) c = colour;
  std::vector<u8> b(lines * width / 2, 0);
  st_put_groups(b.data(), p, 4, static_cast<int>(width / 2));
  return b;
}

// The life icon: an 8 x 16 box with "1" in it, one per life left.
std::vector<u8> life_icon_bytes() {
  idx_picture p = labelled_sprite(8, 16, {15, 2, 15, 15, 0, 0}, "1");
  std::vector<u8> b(64, 0);
  for (int y = 0; y < 16; ++y)
    for (int plane = 0; plane < 4; ++plane)
      for (int x = 0; x < 8; ++x)
        if (p.at(x, y) >> plane & 1) b[4 * y + plane] |= static_cast<u8>(0x80 >> x);
  return b;
}

std::vector<u8> picture_bytes(sheet s, u32 number) {
  std::vector<u8> b(sheet_frame_size(sheet_layout_of(s)));
  sheet_frame_bytes(s, number, b.data());
  return b;
}

u32 screen_group_pixel(u32 at, u32 x) {
  const u32 group = at + (x / 16) * 8, bit = 15 - x % 16;
  u32 v = 0;
  for (u32 p = 0; p < 4; ++p)
    if (rd16(group + 2 * p) >> bit & 1) v |= 1u << p;
  return v;
}

// The number in the top line, then every pixel compared.
int picture_at(u32 at, sheet s) {
  const sheet_layout& l = sheet_layout_of(s);
  u32 number = 0;
  for (u32 x = 0; x < 5; ++x) {
    const u32 v = screen_group_pixel(at, x);
    if (v != 15 && v != 1) return -1;
    number = number << 1 | (v == 15);
  }
  if (number >= l.frames) return -1;
  for (u32 line = 0; line < l.lines; ++line)
    for (u32 x = 0; x < l.width; ++x)
      if (screen_group_pixel(at + 160 * line, x) != sheet_pixel(s, number, line, x)) return -1;
  return static_cast<int>(number);
}

} // namespace

u32 weapon_picture_pixel(u32 w, u32 line, u32 x) { return sheet_pixel(sheet::weapon, w, line, x); }
u32 mission_picture_pixel(u32 m, u32 line, u32 x) { return sheet_pixel(sheet::mission, m, line, x); }
int weapon_picture_at(u32 at) { return picture_at(at, sheet::weapon); }
int mission_picture_at(u32 at) { return picture_at(at, sheet::mission); }

setup_tables::setup_tables()
    : starts{{{112, 120, 0}, {176, 120, 40}}},
      panel(plain_area(32, 40, "PANEL", 2)),
      plate1(plain_area(64, 18, "P1 OUT", 4)),
      plate2(plain_area(64, 18, "P2 OUT", 5)),
      icon(life_icon_bytes()) {
  // The world map shows the same palette; the two agree.
  for (u32 i = 0; i < 16; ++i) palette[i] = static_cast<u16>(0x0300 + i);
  for (u32 w = 0; w < 19; ++w)
    weapon_params[w] = {static_cast<u16>(0x100 * w + 1), static_cast<u16>(0x100 * w + 2),
                        static_cast<u16>(0x100 * w + 3), static_cast<u16>(0x100 * w + 4), static_cast<u16>(w % 5)};
}

bool setup_tables::check() {
  const u32 y0 = starts[0][1], y1 = starts[1][1];
  if (y0 > 124) {
    error = "start entry 0 puts a lone player at y " + std::to_string(y0) + ", below the scroll line (124)";
    return false;
  }
  if (two_players && y0 + y1 > 244) {
    error = "the two start entries' y add up to " + std::to_string(y0 + y1) + ": two players scroll only up to 244";
    return false;
  }
  return true;
}

void setup_tables::put_in_ram() const {
  auto put = [](u32 at, const std::vector<u8>& b) {
    for (u32 i = 0; i < b.size(); ++i) wr8(at + i, b[i]);
  };
  wr16(two_player_flag, two_players ? 0xFFFF : 0);
  for (u32 e = 0; e < 2; ++e)
    for (u32 k = 0; k < 3; ++k) wr16(player_start_table + 6 * e + 2 * k, starts[e][k]);
  for (u32 i = 0; i < 16; ++i) wr16(setup_palette + 2 * i, palette[i]);
  for (u32 w = 0; w < 19; ++w)
    for (u32 k = 0; k < 5; ++k) wr16(weapon_param_table + 10 * w + 2 * k, weapon_params[w][k]);
  put(panel_piece, panel);
  put(player1_plate, plate1);
  put(player2_plate, plate2);
  put(life_icon, icon);
  for (u32 w = 0; w < 19; ++w)
    put(weapon_pictures + weapon_picture_bytes * w, picture_bytes(sheet::weapon, w));
  for (u32 m = 0; m < 12; ++m)
    put(mission_pictures + mission_picture_bytes * m, picture_bytes(sheet::mission, m));
}

bool setup_tables::place(synth_game_data& g) const {
  std::vector<u8> params;
  for (const auto& r : weapon_params)
    for (u16 v : r) put16(params, v);
  return synth_place_at_program(g, "weapon_params", "weapon_param_table", weapon_param_table, params);
}

bool setup_tables::place_pictures(synth_game_data& g) const {
  return synth_place_at_program(g, "panel_piece", "the panel piece beside the playfield", panel_piece, panel) &&
         synth_place_at_program(g, "player2_plate", "player 2's out-of-play plate", player2_plate, plate2) &&
         synth_place_at_program(g, "player1_plate", "player 1's out-of-play plate", player1_plate, plate1) &&
         synth_place_at_program(g, "life_icon", "the icon of a life left", life_icon, icon);
}
