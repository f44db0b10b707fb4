#include "support/synthetic_map.h"

#include <algorithm>

#include "machine/memory.h"
#include "support/packed_picture_encoder.h"
#include "support/squeeze_encoder.h"

namespace {

constexpr u32 map_file_offset = 39 * 10 * 512;
constexpr u32 pictures_at = 28;
constexpr u32 picture_bytes = 512;
constexpr u32 shop_picture_at = 0x05AC80 - 0x05647E;

void put_text(u32 at, const char* text) {
  for (; *text; ++text) wr8(at++, static_cast<u8>(*text));
  wr8(at, 0);
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
  m.shop_picture.assign(32000, 0);
  for (u32 g = 0; g < 20; ++g) {
    m.shop_picture[100 * 160 + g * 8 + 4] = 0xF0; // colour 4 in line 100
    m.shop_picture[150 * 160 + g * 8 + 0] = 0x0F; // colour 1 in the text box's line 150
  }
  const std::vector<u8> shop = pack_picture(m.shop_picture);
  m.unpacked.resize(shop_picture_at, 0);
  m.unpacked.insert(m.unpacked.end(), shop.begin(), shop.end());
  return m;
}

} // namespace

const synth_map& synth_map_content() {
  static const synth_map m = make();
  return m;
}

void synth_map_tables_in_ram(const synth_map& m) {
  const u16 pointer[9] = {0x8000, 0xC000, 0xE000, 0xF000, 0xF800, 0xFC00, 0xF000, 0x9800, 0x0800};
  for (u32 i = 0; i < 9; ++i) wr16(0xBF1E + 2 * i, pointer[i]);
  u32 at = 0xBF98;
  for (const synth_map_box& b : m.boxes) {
    for (u16 w : {b.x0, b.x1, b.y0, b.y1, b.mission}) {
      wr16(at, w);
      at += 2;
    }
  }
  wr16(at, 0xFFFF);
  for (u32 i = 0; i < 12; ++i) {
    wr16(0xC012 + 2 * i, 3 * i);
    const char text[3] = {'M', static_cast<char>('A' + i), 0};
    put_text(0xC02A + 3 * i, text);
    wr16(0xC7BA + 4 * i, m.marker_positions[i][0]);
    wr16(0xC7BA + 4 * i + 2, m.marker_positions[i][1]);
    wr32(0xC7EA + 4 * i, m.pays[i]);
  }
  for (u32 f = 0; f < 6; ++f)
    for (u32 l = 0; l < 9; ++l) wr16(0xC74E + 18 * f + 2 * l, static_cast<u16>(0x1000 << (f % 3)));
  for (u32 i = 0; i < 16; ++i) {
    wr16(0xC70E + 2 * i, static_cast<u16>(0x0100 + i));
    wr16(0xC72E + 2 * i, static_cast<u16>(0x0200 + i));
    wr16(0x8C44 + 2 * i, static_cast<u16>(0x0300 + i));
  }
  put_text(0xC9D0, "IDLE");
}

std::vector<u8> synth_map_file(const synth_map& m) { return squeeze(m.unpacked); }

void synth_map_file_in_cache(const synth_map& m, u32 cache) {
  const std::vector<u8> file = synth_map_file(m);
  std::copy(file.begin(), file.end(), ram + cache + map_file_offset);
}
