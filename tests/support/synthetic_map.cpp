#include "support/synthetic_map.h"

#include <algorithm>
#include <cstdlib>

#include "machine/memory.h"
#include "support/packed_picture_encoder.h"
#include "support/squeeze_encoder.h"

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

synth_map make() {
  synth_map m;
  for (u16 i = 0; i < 12; ++i) {
    const u16 x0 = static_cast<u16>(20 + 70 * (i % 4)), y0 = static_cast<u16>(70 + 40 * (i / 4));
    m.boxes.push_back({x0, static_cast<u16>(x0 + 19), y0, static_cast<u16>(y0 + 11), i});
    m.pays[i] = 1000u * (i + 1);
    m.marker_positions[i] = {static_cast<u16>(x0 + 4), static_cast<u16>(y0 + 2)};
  }
  m.unpacked.assign(pictures_at + 12 * picture_bytes, 0);
  for (u32 i = 0; i < 12; ++i) m.unpacked[pictures_at + i * picture_bytes] = static_cast<u8>(i + 1);
  m.picture.assign(32000, 0);
  for (u32 g = 0; g < 20; ++g) m.picture[199 * 160 + g * 8 + 2] = 0xFF; // colour 2 in the bottom line
  const std::vector<u8> packed = pack_picture(m.picture);
  m.unpacked.insert(m.unpacked.end(), packed.begin(), packed.end());
  // The shop's screen follows the map's picture at its fixed place: bands
  // of colours 1-15, 8 lines each.
  m.shop_picture.assign(32000, 0);
  for (u32 y = 0; y < 200; ++y)
    for (u32 g = 0; g < 20; ++g)
      for (u32 p = 0; p < 4; ++p)
        if ((y / 8 % 15 + 1) >> p & 1) {
          m.shop_picture[y * 160 + g * 8 + 2 * p] = 0xFF;
          m.shop_picture[y * 160 + g * 8 + 2 * p + 1] = 0xFF;
        }
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
