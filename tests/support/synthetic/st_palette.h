// Palettes for the loader hold and fade tests, and the renderer's reading of
// the fade bits (bit 15 marks an entry to scale; the brightness sits in bits
// 12-14 of entries 0 and 1 and bits 12-13 of entry 2) as a small double.
#pragma once
#include <array>
#include <initializer_list>

#include "machine/types.h"

using st_palette = std::array<u32, 16>;

inline st_palette palette_read(const u8* p) {
  st_palette w{};
  for (int k = 0; k < 16; ++k) w[k] = static_cast<u32>(p[2 * k]) << 8 | p[2 * k + 1];
  return w;
}
inline void palette_write(u8* p, const st_palette& w) {
  for (int k = 0; k < 16; ++k) {
    p[2 * k] = static_cast<u8>(w[k] >> 8);
    p[2 * k + 1] = static_cast<u8>(w[k]);
  }
}

inline bool any_marked(const st_palette& w) {
  for (u32 e : w)
    if (e & 0x8000) return true;
  return false;
}
inline int fade_brightness_of(const st_palette& w) {
  return static_cast<int>(((w[0] >> 12) & 7) << 5 | ((w[1] >> 12) & 7) << 2 | ((w[2] >> 12) & 3));
}

// One gun of an entry as the renderer shows it, 0-255.
inline int shown_gun(const st_palette& w, int k, int shift) {
  const u32 g = (w[k] >> shift) & 15;
  int value = static_cast<int>(((g & 7) * 2 + (g >> 3)) * 17);
  if (any_marked(w) && (w[k] & 0x8000)) value = (fade_brightness_of(w) * value + 127) / 255;
  return value;
}
inline bool shown_black(const st_palette& w) {
  for (int k = 0; k < 16; ++k)
    for (int shift : {8, 4, 0})
      if (shown_gun(w, k, shift)) return false;
  return true;
}

// A picture with guns up to 7: entries 777, 666, 555, 444, 777, ...
inline st_palette test_picture() {
  st_palette w{};
  for (int k = 0; k < 16; ++k) w[k] = 0x0777 - (k % 4) * 0x0111;
  return w;
}
// The picture as the game fades it: every gun down by `level`, floored at 0.
inline st_palette stepped(const st_palette& w, int level) {
  st_palette out{};
  for (int k = 0; k < 16; ++k)
    for (int shift : {8, 4, 0}) {
      const int g = static_cast<int>((w[k] >> shift) & 7) - level;
      out[k] |= static_cast<u32>(g > 0 ? g : 0) << shift;
    }
  return out;
}
