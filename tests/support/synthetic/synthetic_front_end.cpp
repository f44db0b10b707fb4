#include "support/synthetic/synthetic_front_end.h"

#include <string>
#include <vector>

#include "support/tables/mission_builder.h"
#include "support/synthetic/picture_drawing.h"
#include "support/synthetic/synthetic_map.h"

namespace {

void put16(std::vector<u8>& b, u32 v) {
  b.push_back(static_cast<u8>(v >> 8));
  b.push_back(static_cast<u8>(v));
}

std::vector<u8> text_bytes(const char* text) {
  std::vector<u8> b(text, text + std::char_traits<char>::length(text));
  b.push_back(0);
  return b;
}

// Codes 32-94: the glyphs end where the jump slots at $88F8 begin.
std::vector<u8> font() {
  std::vector<u8> b;
  for (u32 code = synth_font_first; code < synth_font_end; ++code)
    for (u32 row = 0; row < 8; ++row) b.push_back(synth_font_row(code, row));
  return b;
}

std::vector<u8> player_starts() {
  std::vector<u8> b;
  for (const auto& entry : synth_player_starts)
    for (u16 w : entry) put16(b, w);
  return b;
}

std::vector<u8> ammo_types() {
  const player_tables t;
  std::vector<u8> b;
  for (const auto& row : t.ammo_types) b.insert(b.end(), row.begin(), row.end());
  return b;
}

} // namespace

u8 synth_font_row(u32 code, u32 row) {
  if (row == synth_font_code_row) return static_cast<u8>(code);
  u32 bits = 0;
  for (int x = 0; x < tiny_width; ++x)
    if (tiny_pixel(static_cast<char>(code), x, static_cast<int>(row) - 1)) bits |= 0x60u >> (2 * x);
  return static_cast<u8>(bits);
}

bool synth_place_front_end(synth_game_data& g) {
  struct block {
    const char* name;
    const char* holds;
    u32 at;
    std::vector<u8> bytes;
  };
  const block blocks[] = {
      {"font", "the 8 x 8 font", synth_font_address, font()},
      {"loading_text", "the text before a mission's load", 0x003924, text_bytes(synth_loading_text)},
      {"end_text", "the text at the end of a game", 0x003A3C, text_bytes(synth_end_text)},
      {"prompt_text", "the player-count prompt", 0x00FE1E, text_bytes(synth_prompt_text)},
      {"failed_text", "the failed screen's first line", 0x00A9FA, text_bytes(synth_failed_text)},
      {"failed_text2", "the failed screen's second line", 0x00AA17, text_bytes(synth_failed_text2)},
      {"player_starts", "the player start table", 0x0091C4, player_starts()},
      {"ammo_types", "ammo_type_table", 0x00AB10, ammo_types()},
  };
  for (const block& b : blocks)
    if (!synth_place_at_program(g, b.name, b.holds, b.at, b.bytes)) return false;
  return synth_place_map(g, synth_map_content());
}
