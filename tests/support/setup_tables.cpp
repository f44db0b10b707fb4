#include "support/setup_tables.h"

#include "game/game_ram.h"
#include "machine/memory.h"

namespace {

u32 mix(u32 v) {
  v ^= v >> 16;
  v *= 0x7FEB352Du;
  v ^= v >> 15;
  v *= 0x846CA68Bu;
  v ^= v >> 16;
  return v;
}

void put16(std::vector<u8>& b, u32 v) {
  b.push_back(static_cast<u8>(v >> 8));
  b.push_back(static_cast<u8>(v));
}

std::vector<u8> patterned(u32 n, u32 salt) {
  std::vector<u8> b(n);
  for (u32 i = 0; i < n; ++i) b[i] = static_cast<u8>(mix(salt * 4096 + i) >> 8);
  return b;
}

// The top line carries the picture's number in pixels 0-4.
u32 picture_pixel(u32 number, u32 line, u32 x, u32 salt) {
  if (line == 0 && x < 5) return number >> (4 - x) & 1 ? 15 : 1;
  return mix(salt + number * 4096 + line * 32 + x) >> 12 & 15;
}

// Interleaved planes: `groups` 16-pixel groups of four plane words per line.
std::vector<u8> picture_bytes(u32 number, u32 lines, u32 groups, u32 salt) {
  std::vector<u8> b(lines * groups * 8, 0);
  for (u32 line = 0; line < lines; ++line)
    for (u32 x = 0; x < 16 * groups; ++x) {
      const u32 v = picture_pixel(number, line, x, salt);
      for (u32 p = 0; p < 4; ++p)
        if (v >> p & 1) b[line * groups * 8 + (x / 16) * 8 + 2 * p + (x % 16) / 8] |= static_cast<u8>(0x80 >> (x % 8));
    }
  return b;
}

u32 screen_group_pixel(u32 at, u32 x) {
  const u32 group = at + (x / 16) * 8, bit = 15 - x % 16;
  u32 v = 0;
  for (u32 p = 0; p < 4; ++p)
    if (rd16(group + 2 * p) >> bit & 1) v |= 1u << p;
  return v;
}

int picture_at(u32 at, u32 lines, u32 groups, u32 count, u32 salt) {
  u32 number = 0;
  for (u32 x = 0; x < 5; ++x) {
    const u32 v = screen_group_pixel(at, x);
    if (v != 15 && v != 1) return -1;
    number = number << 1 | (v == 15);
  }
  if (number >= count) return -1;
  for (u32 line = 0; line < lines; ++line)
    for (u32 x = 0; x < 16 * groups; ++x)
      if (screen_group_pixel(at + 160 * line, x) != picture_pixel(number, line, x, salt)) return -1;
  return static_cast<int>(number);
}

constexpr u32 weapon_salt = 0x39434, mission_salt = 0x44776;

} // namespace

u32 weapon_picture_pixel(u32 w, u32 line, u32 x) { return picture_pixel(w, line, x, weapon_salt); }
u32 mission_picture_pixel(u32 m, u32 line, u32 x) { return picture_pixel(m, line, x, mission_salt); }

int weapon_picture_at(u32 at) { return picture_at(at, weapon_picture_lines, 1, 19, weapon_salt); }
int mission_picture_at(u32 at) { return picture_at(at, mission_picture_lines, 2, 12, mission_salt); }

setup_tables::setup_tables()
    : starts{{{112, 120, 0}, {176, 120, 40}}},
      panel(patterned(panel_piece_bytes, 1)),
      plate1(patterned(plate_bytes, 2)),
      plate2(patterned(plate_bytes, 3)) {
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
  for (u32 w = 0; w < 19; ++w)
    put(weapon_pictures + weapon_picture_bytes * w, picture_bytes(w, weapon_picture_lines, 1, weapon_salt));
  for (u32 m = 0; m < 12; ++m)
    put(mission_pictures + mission_picture_bytes * m, picture_bytes(m, mission_picture_lines, 2, mission_salt));
}

bool setup_tables::place(synth_game_data& g) const {
  std::vector<u8> params;
  for (const auto& r : weapon_params)
    for (u16 v : r) put16(params, v);
  return synth_place_at_program(g, "panel_piece", "the panel piece beside the playfield", panel_piece, panel) &&
         synth_place_at_program(g, "player2_plate", "player 2's out-of-play plate", player2_plate, plate2) &&
         synth_place_at_program(g, "player1_plate", "player 1's out-of-play plate", player1_plate, plate1) &&
         synth_place_at_program(g, "weapon_params", "weapon_param_table", weapon_param_table, params);
}
