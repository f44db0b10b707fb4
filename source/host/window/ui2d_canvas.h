// The canvas record, shared by the shape and text files of the 2D renderer.
#pragma once

#include "host/window/ui2d.h"

#include <cstdint>
#include <cstring>
#include <vector>

struct ui2d_canvas {
  int w = 0, h = 0;
  uint8_t* pixels = nullptr;  // malloc'd, so that ui2d_take can hand it over
  // Per-column accumulators of the pixel row being scanned.
  std::vector<uint16_t> cover;
  std::vector<float> sum_r, sum_g, sum_b, weight;
};

// One colour at one opacity, with the parts of the compositing rule that do
// not depend on the pixel worked out once.
//
// The rule of every drawing is D' = (S a + D (255 - a) + 127) / 255 per byte
// (alpha: S = 255). It is worked on two bytes at once in 16-bit lanes of a
// 32-bit word (bytes 0 and 2, then 1 and 3): every sum stays below 65,153,
// where x / 255 = (x + 1 + (x >> 8)) >> 8, so no lane carries into the next.
struct ui2d_ink {
  uint32_t even_term, odd_term;  // S a + 127 for bytes 0 and 2, 1 and 3
  uint32_t keep;                 // 255 - a
  explicit ui2d_ink(int colour, int a)
      : even_term(uint32_t(((colour >> 16) & 255) * a + 127) |
                  uint32_t((colour & 255) * a + 127) << 16),
        odd_term(uint32_t(((colour >> 8) & 255) * a + 127) | uint32_t(255 * a + 127) << 16),
        keep(uint32_t(255 - a)) {}
  static uint32_t divide(uint32_t x) {
    return ((x + 0x00010001u + ((x >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
  }
  void apply(uint8_t* p) const {
    uint32_t px;
    std::memcpy(&px, p, 4);
    uint32_t even = divide(even_term + (px & 0x00FF00FFu) * keep);
    uint32_t odd = divide(odd_term + ((px >> 8) & 0x00FF00FFu) * keep);
    px = even | odd << 8;
    std::memcpy(p, &px, 4);
  }
  void apply_run(uint8_t* p, int n) const {
    for (int i = 0; i < n; ++i) apply(p + size_t(i) * 4);
  }
};

// Blends one pixel with opacity a (0..255).
inline void ui2d_blend(uint8_t* p, int colour, int a) { ui2d_ink(colour, a).apply(p); }

// Empties the face cache and restarts its eviction order (for tests that
// follow which slot a face takes).
void ui2d_faces_reset();
// The slot (0..47) that holds a face, -1 for null.
int ui2d_face_slot(const ui2d_face* face);
// How many glyphs the face has cached.
int ui2d_face_glyph_count(const ui2d_face* face);
