// The canvas record, shared by the shape and text files of the 2D renderer.
#pragma once

#include "host/window/ui2d.h"

#include <cstdint>
#include <vector>

struct ui2d_canvas {
  int w = 0, h = 0;
  uint8_t* pixels = nullptr;  // malloc'd, so that ui2d_take can hand it over
  // Per-column accumulators of the pixel row being scanned.
  std::vector<uint16_t> cover;
  std::vector<float> sum_r, sum_g, sum_b, weight;
};

// Blends one pixel with opacity a (0..255), the one compositing rule of
// every drawing.
inline void ui2d_blend(uint8_t* p, int colour, int a) {
  const int s[3] = {(colour >> 16) & 255, (colour >> 8) & 255, colour & 255};
  for (int c = 0; c < 3; ++c) p[c] = uint8_t((s[c] * a + p[c] * (255 - a) + 127) / 255);
  p[3] = uint8_t((255 * a + p[3] * (255 - a) + 127) / 255);
}

// Empties the face cache and restarts its eviction order (for tests that
// follow which slot a face takes).
void ui2d_faces_reset();
// The slot (0..47) that holds a face, -1 for null.
int ui2d_face_slot(const ui2d_face* face);
// How many glyphs the face has cached.
int ui2d_face_glyph_count(const ui2d_face* face);
