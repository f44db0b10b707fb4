// Palette-fade smoothing: recognises a palette that is the reference palette
// stepped down by L levels on nearly every entry, and glides the shown
// brightness from one level to the next over as many VBLs as the game's own
// last step took.
#include "machine/palette_fade.h"

#include <cstring>

namespace {

constexpr int palette_bytes = 32;
constexpr int entries = 16;

u8 fade_ref[palette_bytes];
int fade_level;
double fade_from = 1, fade_to = 1;
i64 fade_t0;
i64 fade_len = 5;
i64 fade_last_change;

u32 entry(const u8* p, int k) { return static_cast<u32>(p[2 * k]) << 8 | p[2 * k + 1]; }
int gun(u32 w, int shift) { return static_cast<int>((w >> shift) & 7); }

bool matches_at(u32 w, u32 ref, int level) {
  for (int shift : {8, 4, 0}) {
    const int want = gun(ref, shift) - level;
    if (gun(w, shift) != (want > 0 ? want : 0)) return false;
  }
  return true;
}

bool same_guns(u32 w, u32 ref) { return (w & 0x777) == (ref & 0x777); }

// The smallest level at which at most 2 entries fail to match and more than
// 3 of the matching ones are really dimmed; 0 when there is none.
int find_level(const u8* p) {
  for (int level = 1; level <= 8; ++level) {
    int failing = 0, dimmed = 0;
    for (int k = 0; k < entries; ++k) {
      const u32 w = entry(p, k), ref = entry(fade_ref, k);
      if (!matches_at(w, ref, level))
        ++failing;
      else if (!same_guns(w, ref))
        ++dimmed;
    }
    if (failing <= 2 && dimmed > 3) return level;
  }
  return 0;
}

// Every entry that follows the fade is black in the game's palette (the
// STE's extra bit included): the picture has faded out, whatever colours
// the game keeps lit beside it (at most two, such as a text colour).
bool faded_entries_black(const u8* p, int level) {
  for (int k = 0; k < entries; ++k) {
    const u32 w = entry(p, k);
    if (matches_at(w, entry(fade_ref, k), level) && (w & 0x0FFF)) return false;
  }
  return true;
}

double brightness_at(i64 v) {
  i64 d = v - fade_t0;
  if (d < 0) d = 0; // the VBL counter went back with a loaded state
  if (d >= fade_len) return fade_to;
  return fade_from + (fade_to - fade_from) * static_cast<double>(d) / static_cast<double>(fade_len);
}

void reset(i64 v) {
  fade_level = 0;
  fade_from = fade_to = 1;
  fade_t0 = fade_last_change = v;
  fade_len = 1;
}

} // namespace

int fade_bits_of(double x) {
  const double scaled = x * 255 + 0.5;
  if (!(scaled > 0)) return 0;
  if (scaled >= 255) return 255;
  return static_cast<int>(scaled);
}

void palette_put_fade_bits(u8* palette, int b) {
  palette[0] = static_cast<u8>((palette[0] & ~0x70) | ((b >> 5) & 7) << 4);
  palette[2] = static_cast<u8>((palette[2] & ~0x70) | ((b >> 2) & 7) << 4);
  palette[4] = static_cast<u8>((palette[4] & ~0x30) | (b & 3) << 4);
}

void palette_mark_entry(u8* palette, int k, u32 w) {
  palette[2 * k] = static_cast<u8>(((w >> 8) & 0x0F) | 0x80);
  palette[2 * k + 1] = static_cast<u8>(w);
}

void fade_smooth(u8* p, u32 vbl) {
  const i64 v = vbl;
  if (std::memcmp(p, fade_ref, palette_bytes) == 0) {
    if (fade_level != 0) reset(v);
    return;
  }
  const int level = find_level(p);
  if (level == 0) {
    std::memcpy(fade_ref, p, palette_bytes);
    if (fade_level != 0) reset(v);
    return;
  }
  double brightness;
  if (level == fade_level) {
    brightness = brightness_at(v);
  } else if (level == fade_level + 1 || level == fade_level - 1) {
    fade_from = brightness_at(v);
    fade_to = FADE_BRIGHTNESS[level];
    const i64 step = v - fade_last_change;
    fade_len = step >= 2 && step <= 12 ? step : 5;
    fade_t0 = fade_last_change = v;
    fade_level = level;
    brightness = fade_from;
  } else {
    fade_from = fade_to = FADE_BRIGHTNESS[level];
    fade_len = 1;
    fade_t0 = fade_last_change = v;
    fade_level = level;
    brightness = FADE_BRIGHTNESS[level];
  }
  // The faded picture is black on the game's screen: show it black, not as
  // a dim copy of the reference (a black palette matches at the level of
  // its brightest gun).
  if (faded_entries_black(p, fade_level)) {
    fade_from = fade_to = 0;
    brightness = 0;
  }
  for (int k = 0; k < entries; ++k) {
    const u32 ref = entry(fade_ref, k);
    if (matches_at(entry(p, k), ref, fade_level)) palette_mark_entry(p, k, ref);
  }
  palette_put_fade_bits(p, fade_bits_of(brightness));
}

void fade_smooth_drop() {
  fade_level = 0;
  fade_from = fade_to = 1;
}

void fade_smooth_clear() {
  std::memset(fade_ref, 0, sizeof fade_ref);
  fade_level = 0;
  fade_from = fade_to = 1;
  fade_t0 = fade_last_change = 0;
  fade_len = 5;
}
