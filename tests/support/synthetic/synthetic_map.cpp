#include "support/synthetic/synthetic_map.h"

#include <algorithm>
#include <cstdlib>

#include "machine/memory.h"
#include "support/synthetic/packed_picture_encoder.h"
#include "support/synthetic/picture_drawing.h"
#include "support/synthetic/squeeze_encoder.h"

namespace {

constexpr u32 map_file_offset = 39 * 10 * 512;
constexpr u32 pictures_at = 28;
constexpr u32 picture_bytes = 512;

// The tables as blocks of bytes at their 68k addresses.
struct table_block {
  const char* name;
  u32 at;
  std::vector<u8> bytes;
};

void put16(std::vector<u8>& b, u32 v) {
  b.push_back(static_cast<u8>(v >> 8));
  b.push_back(static_cast<u8>(v));
}

void put_text(std::vector<u8>& b, const char* text) {
  for (; *text; ++text) b.push_back(static_cast<u8>(*text));
  b.push_back(0);
}

std::vector<table_block> table_blocks(const synth_map& m) {
  std::vector<table_block> t;
  std::vector<u8> pointer, boxes, offsets, texts, positions, pays, frames, below, panel, idle, setup;
  for (u16 w : {0x8000, 0xC000, 0xE000, 0xF000, 0xF800, 0xFC00, 0xF000, 0x9800, 0x0800}) put16(pointer, w);
  for (const synth_map_box& b : m.boxes)
    for (u16 w : {b.x0, b.x1, b.y0, b.y1, b.mission}) put16(boxes, w);
  put16(boxes, 0xFFFF);
  for (u32 i = 0; i < 12; ++i) {
    put16(offsets, 3 * i);
    const char text[3] = {'M', static_cast<char>('A' + i), 0};
    put_text(texts, text);
    put16(positions, m.marker_positions[i][0]);
    put16(positions, m.marker_positions[i][1]);
    put16(pays, m.pays[i] >> 16);
    put16(pays, m.pays[i]);
  }
  for (u32 f = 0; f < 6; ++f)
    for (u32 l = 0; l < 9; ++l) put16(frames, static_cast<u16>(0x1000 << (f % 3)));
  // The map below the panel shows in the game's own map palette: the host
  // knows the world map by it (for saves and back-to-map).
  for (u16 w : synth_map_palette) put16(below, w);
  for (u32 i = 0; i < 16; ++i) {
    put16(panel, static_cast<u16>(0x0200 + i));
    put16(setup, static_cast<u16>(0x0300 + i));
  }
  put_text(idle, "IDLE");
  t.push_back({"map_setup_palette", 0x008C44, setup});
  t.push_back({"map_pointer", 0x00BF1E, pointer});
  t.push_back({"map_boxes", 0x00BF98, boxes});
  t.push_back({"map_message_offsets", 0x00C012, offsets});
  t.push_back({"map_messages", 0x00C02A, texts});
  t.push_back({"map_palettes", 0x00C70E, below});
  t.back().bytes.insert(t.back().bytes.end(), panel.begin(), panel.end());
  t.push_back({"map_marker_frames", 0x00C74E, frames});
  t.push_back({"map_marker_positions", 0x00C7BA, positions});
  t.push_back({"map_pays", 0x00C7EA, pays});
  t.push_back({"map_idle_text", 0x00C9D0, idle});
  return t;
}

// The map's screen: above line 45 the panel's frame (its source, lines
// 8-44 of the first 64 pixels, with the hole where a mission picture goes)
// and below it the sea with a column grid, the pointer's bounds dashed and
// every mission's box with its number and a cross at its centre, where the
// pointer stands to choose it; the bottom line in colour 2.
idx_picture map_screen(const synth_map& m) {
  idx_picture p(320, 200, 0);
  p.fill_rect(0, 8, 64, 37, 2);
  draw_outline(p, 0, 8, 64, 37, 15);
  p.fill_rect(16, 11, 32, 32, 0);
  draw_tiny_text(p, 120, 20, "PANEL", 15);
  p.fill_rect(0, 45, 320, 155, 4);
  for (int x = 0; x < 320; x += 16) p.fill_rect(x, 45, 1, 155, 3);
  for (int x = 7; x <= 312; x += 2) p.at(x, 59) = p.at(x, 195) = 10;
  for (int y = 59; y <= 195; y += 2) p.at(7, y) = p.at(312, y) = 10;
  draw_tiny_text(p, 20, 50, "WORLD MAP", 1);
  for (const synth_map_box& b : m.boxes) {
    const int x0 = b.x0, y0 = b.y0, w = b.x1 - b.x0 + 1, h = b.y1 - b.y0 + 1;
    p.fill_rect(x0, y0, w, h, 13);
    draw_outline(p, x0, y0, w, h, 1);
    const int cx = synth_box_centre_x(b), cy = synth_box_centre_y(b);
    p.fill_rect(cx - 1, cy, 3, 1, 9);
    p.fill_rect(cx, cy - 1, 1, 3, 9);
    draw_tiny_text(p, cx + 2, y0 + 2, decimal(b.mission), 0);
  }
  p.fill_rect(0, 199, 320, 1, 2);
  return p;
}

// The shop's screen: its grid of 30 cells of 64 x 24 pixels, each outlined
// with its number, and what it sells in big letters (W and the weapon slot,
// S and the supply item, EQUIP, EXIT); the pointer's bounds dashed; the
// text box below the grid.
idx_picture shop_screen() {
  idx_picture p(320, 200, 9);
  for (int c = 0; c < 30; ++c) {
    const int x = 64 * (c % 5), y = 24 * (c / 5);
    draw_outline(p, x, y, 64, 24, 8);
    draw_tiny_text(p, x + 2, y + 2, "C" + decimal(static_cast<u32>(c)), 2);
    const std::string sells = c < 18    ? "W" + decimal(static_cast<u32>(c))
                              : c == 25 ? "EQUIP"
                              : c == 29 ? "EXIT"
                                        : "S" + decimal(static_cast<u32>(c - 18));
    draw_big_text(p, x + 14, y + 8, sells, 1, 2);
  }
  for (int x = 7; x <= 312; x += 2) p.at(x, 8) = p.at(x, 132) = 15;
  for (int y = 8; y <= 132; y += 2) p.at(7, y) = p.at(312, y) = 15;
  p.fill_rect(0, 144, 320, 56, 13);
  draw_outline(p, 0, 144, 320, 56, 8);
  draw_tiny_text(p, 4, 146, "TEXT BOX", 2);
  return p;
}

std::vector<u8> screen_bytes(const idx_picture& p) {
  std::vector<u8> b(32000, 0);
  st_put_groups(b.data(), p, 4, 160);
  return b;
}

// Mission picture i of the panel: a 32 x 32 labelled block with its
// number, whose first byte is i + 1.
void put_mission_picture(std::vector<u8>& to, u32 i) {
  const idx_picture p = labelled_sprite(32, 32, {15, 2, 15, 1, 5, 10}, "MAP" + decimal(i));
  st_put_groups(to.data() + pictures_at + i * picture_bytes, p, 4, 16);
  to[pictures_at + i * picture_bytes] = static_cast<u8>(i + 1);
}

synth_map make() {
  synth_map m;
  for (u16 i = 0; i < 12; ++i) {
    const u16 x0 = static_cast<u16>(20 + 70 * (i % 4)), y0 = static_cast<u16>(70 + 40 * (i / 4));
    m.boxes.push_back({x0, static_cast<u16>(x0 + 19), y0, static_cast<u16>(y0 + 11), i});
    m.pays[i] = 1000u * (i + 1);
    m.marker_positions[i] = {static_cast<u16>(x0 + 4), static_cast<u16>(y0 + 2)};
  }
  m.unpacked.assign(pictures_at + 12 * picture_bytes, 0);
  for (u32 i = 0; i < 12; ++i) put_mission_picture(m.unpacked, i);
  m.picture = screen_bytes(map_screen(m));
  const std::vector<u8> packed = pack_picture(m.picture);
  m.unpacked.insert(m.unpacked.end(), packed.begin(), packed.end());
  // The shop's screen follows the map's picture at its fixed place.
  m.shop_picture = screen_bytes(shop_screen());
  if (m.unpacked.size() > synth_shop_picture_at - synth_map_output) std::abort(); // the map's picture is too long
  m.unpacked.resize(synth_shop_picture_at - synth_map_output, 0);
  const std::vector<u8> shop = pack_picture(m.shop_picture);
  m.unpacked.insert(m.unpacked.end(), shop.begin(), shop.end());
  if (synth_map_output + m.unpacked.size() > synth_map_input) std::abort(); // would overtake its input
  return m;
}

} // namespace

const synth_map& synth_map_content() {
  static const synth_map m = make();
  return m;
}

void synth_map_tables_in_ram(const synth_map& m) {
  for (const table_block& b : table_blocks(m)) std::copy(b.bytes.begin(), b.bytes.end(), ram + b.at);
}

bool synth_place_map(synth_game_data& g, const synth_map& m) {
  for (const table_block& b : table_blocks(m))
    if (!synth_place_at_program(g, b.name, "a table of the world map", b.at, b.bytes)) return false;
  const std::vector<u8> file = synth_map_file(m);
  if (file.size() > synth_map_sectors * 512) {
    g.error = "the map file is longer than its 58 sectors";
    return false;
  }
  return synth_place_at_sector(g, "map_file", "the world map's squeezed data file", 0, 39, 1, file);
}

std::vector<u8> synth_map_file(const synth_map& m) { return squeeze(m.unpacked); }

void synth_map_file_in_cache(const synth_map& m, u32 cache) {
  const std::vector<u8> file = synth_map_file(m);
  std::copy(file.begin(), file.end(), ram + cache + map_file_offset);
}
