#include "support/synthetic/picture_drawing.h"

#include <algorithm>
#include <vector>

namespace {

// Five rows of three bits, the leftmost pixel in bit 2.
struct tiny_glyph {
  char c;
  u8 rows[5];
};

constexpr tiny_glyph tiny_glyphs[] = {
    {'0', {7, 5, 5, 5, 7}}, {'1', {2, 6, 2, 2, 7}}, {'2', {7, 1, 7, 4, 7}}, {'3', {7, 1, 3, 1, 7}},
    {'4', {5, 5, 7, 1, 1}}, {'5', {7, 4, 7, 1, 7}}, {'6', {7, 4, 7, 5, 7}}, {'7', {7, 1, 1, 2, 2}},
    {'8', {7, 5, 7, 5, 7}}, {'9', {7, 5, 7, 1, 7}}, {'A', {2, 5, 7, 5, 5}}, {'B', {6, 5, 6, 5, 6}},
    {'C', {3, 4, 4, 4, 3}}, {'D', {6, 5, 5, 5, 6}}, {'E', {7, 4, 6, 4, 7}}, {'F', {7, 4, 6, 4, 4}},
    {'G', {3, 4, 5, 5, 3}}, {'H', {5, 5, 7, 5, 5}}, {'I', {7, 2, 2, 2, 7}}, {'J', {1, 1, 1, 5, 2}},
    {'K', {5, 5, 6, 5, 5}}, {'L', {4, 4, 4, 4, 7}}, {'M', {5, 7, 7, 5, 5}}, {'N', {6, 5, 5, 5, 5}},
    {'O', {2, 5, 5, 5, 2}}, {'P', {6, 5, 6, 4, 4}}, {'Q', {2, 5, 5, 6, 3}}, {'R', {6, 5, 6, 5, 5}},
    {'S', {3, 4, 2, 1, 6}}, {'T', {7, 2, 2, 2, 2}}, {'U', {5, 5, 5, 5, 7}}, {'V', {5, 5, 5, 5, 2}},
    {'W', {5, 5, 7, 7, 5}}, {'X', {5, 5, 2, 5, 5}}, {'Y', {5, 5, 2, 2, 2}}, {'Z', {7, 1, 2, 4, 7}},
    {'-', {0, 0, 7, 0, 0}}, {'.', {0, 0, 0, 0, 2}}, {'!', {2, 2, 2, 0, 2}}, {':', {0, 2, 0, 2, 0}},
    {'/', {1, 1, 2, 4, 4}}, {'?', {6, 1, 2, 0, 2}}, {'+', {0, 2, 7, 2, 0}}, {'=', {0, 7, 0, 7, 0}},
    {'(', {1, 2, 2, 2, 1}}, {')', {4, 2, 2, 2, 4}}, {'$', {3, 6, 2, 3, 6}}, {',', {0, 0, 0, 2, 4}},
    {'\'', {2, 2, 0, 0, 0}}, {'"', {5, 5, 0, 0, 0}}, {'#', {5, 7, 5, 7, 5}}, {'%', {5, 1, 2, 4, 5}},
    {'*', {5, 2, 7, 2, 5}}, {'<', {1, 2, 4, 2, 1}}, {'>', {4, 2, 1, 2, 4}}, {'_', {0, 0, 0, 0, 7}},
};

const tiny_glyph* glyph_of(char c) {
  if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  for (const tiny_glyph& g : tiny_glyphs)
    if (g.c == c) return &g;
  return nullptr;
}

void put(idx_picture& p, int x, int y, u8 colour) {
  if (x >= 0 && y >= 0 && x < p.width && y < p.height) p.at(x, y) = colour;
}

} // namespace

bool tiny_pixel(char c, int x, int y) {
  const tiny_glyph* g = glyph_of(c);
  if (g == nullptr || x < 0 || x >= tiny_width || y < 0 || y >= tiny_height) return false;
  return g->rows[y] >> (tiny_width - 1 - x) & 1;
}

int tiny_text_width(const std::string& text, int advance) {
  return text.empty() ? 0 : advance * static_cast<int>(text.size() - 1) + tiny_width;
}

void draw_tiny_text(idx_picture& p, int x, int y, const std::string& text, u8 ink, int advance, int ink2) {
  for (size_t i = 0; i < text.size(); ++i) {
    const u8 colour = ink2 >= 0 && i % 2 == 1 ? static_cast<u8>(ink2) : ink;
    for (int gy = 0; gy < tiny_height; ++gy)
      for (int gx = 0; gx < tiny_width; ++gx)
        if (tiny_pixel(text[i], gx, gy)) put(p, x + advance * static_cast<int>(i) + gx, y + gy, colour);
  }
}

void draw_big_text(idx_picture& p, int x, int y, const std::string& text, u8 ink, int scale) {
  for (size_t i = 0; i < text.size(); ++i)
    for (int gy = 0; gy < tiny_height * scale; ++gy)
      for (int gx = 0; gx < tiny_width * scale; ++gx)
        if (tiny_pixel(text[i], gx / scale, gy / scale))
          put(p, x + tiny_advance * scale * static_cast<int>(i) + gx, y + gy, ink);
}

void draw_outline(idx_picture& p, int x, int y, int w, int h, u8 colour) {
  for (int i = 0; i < w; ++i) {
    put(p, x + i, y, colour);
    put(p, x + i, y + h - 1, colour);
  }
  for (int j = 0; j < h; ++j) {
    put(p, x, y + j, colour);
    put(p, x + w - 1, y + j, colour);
  }
}

idx_picture labelled_sprite(int w, int h, const sprite_style& style, const std::string& label) {
  idx_picture p(w, h, 0);
  const int box_w = w - 1;
  for (int y = 1; y < h - 1; ++y)
    for (int x = 1; x < box_w - 1; ++x) {
      const int k = (x + y) % 3;
      p.at(x, y) = k == 0 ? 0 : k == 1 ? style.body_a : style.body_b;
    }
  // A label too wide for the box loses the gaps between its characters.
  const int inner = box_w - 2;
  int advance = tiny_advance;
  if (tiny_text_width(label, advance) + 2 > inner) advance = tiny_width;
  const int text_w = std::min(tiny_text_width(label, advance), inner);
  const bool room_for_plate = text_w + 2 <= inner;
  const int text_x = box_w < 16 ? 1 + (inner - text_w + 1) / 2 : 2;
  // A tall box carries its label at its foot too, for a picture cut at the
  // top of the screen.
  // The label keeps off the mark's lines where there is room, so that the
  // stripes run under the mark.
  std::vector<int> rows = {h >= 12 ? 3 : h >= tiny_height + 4 ? 2 : 1};
  if (h >= 30) rows.push_back(h - 2 - tiny_height);
  for (int text_y : rows) {
    if (room_for_plate)
      for (int j = text_y - 1; j <= text_y + tiny_height && j < h - 1; ++j)
        for (int i = text_x - 1; i <= text_x + text_w; ++i) put(p, i, j, style.plate);
    draw_tiny_text(p, text_x, text_y, label, style.ink, advance, advance == tiny_width ? style.outline : -1);
  }
  // The box is drawn last: a label never cuts it.
  draw_outline(p, 0, 0, box_w, h, style.outline);
  for (int j = 0; j < 2 && j < h; ++j)
    for (int i = 0; i < 2 && i < box_w; ++i) put(p, i, j, style.mark);
  return p;
}

std::string decimal(u32 n) { return std::to_string(n); }
