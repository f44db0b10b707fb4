// Text of the 2D renderer: the two built-in fonts (Noto Sans Regular and
// Bold, embedded as byte arrays) at any size, with kerning, through
// stb_truetype; a cache of 48 faces and a glyph cache per face.
#include "host/window/ui2d_canvas.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#define STB_TRUETYPE_IMPLEMENTATION
#define STBTT_STATIC
#include <stb_truetype.h>
#pragma GCC diagnostic pop

extern const unsigned char ui2d_ttf_regular[];
extern const size_t ui2d_ttf_regular_size;
extern const unsigned char ui2d_ttf_bold[];
extern const size_t ui2d_ttf_bold_size;

namespace {

constexpr int FACE_SLOTS = 48;
constexpr int GLYPH_BUCKETS = 1024;
constexpr int GLYPH_LIMIT = 8192;

struct glyph {
  uint32_t code = 0;
  int w = 0, h = 0, x0 = 0, y0 = 0;
  std::unique_ptr<uint8_t[]> bitmap;  // none for glyphs without pixels
  std::unique_ptr<glyph> next;
};

struct font {
  stbtt_fontinfo info{};
  bool tried = false, ok = false;
  float units_per_em = 1000;
  bool kerning = false;
};

font fonts[2];  // regular, bold

font* load_font(int index) {
  font& f = fonts[index];
  if (!f.tried) {
    f.tried = true;
    const unsigned char* data = index ? ui2d_ttf_bold : ui2d_ttf_regular;
    int offset = stbtt_GetFontOffsetForIndex(data, 0);
    f.ok = offset >= 0 && stbtt_InitFont(&f.info, data, offset);
    if (f.ok) {
      f.units_per_em = 1.0f / stbtt_ScaleForMappingEmToPixels(&f.info, 1.0f);
      f.kerning = f.info.kern != 0 || f.info.gpos != 0;
    }
  }
  return f.ok ? &f : nullptr;
}

}  // namespace

struct ui2d_face {
  font* f = nullptr;
  int weight = 0, mode = 0, size = 0;
  bool in_use = false;
  float scale = 0, ascent = 0, descent = 0;
  int height = 0;
  std::unique_ptr<glyph> buckets[GLYPH_BUCKETS];
  int glyph_count = 0;

  void clear_glyphs() {
    // Unlinked one by one: a long chain freed recursively could exhaust the stack.
    for (auto& head : buckets)
      while (head) head = std::move(head->next);
    glyph_count = 0;
  }
};

namespace {

ui2d_face faces[FACE_SLOTS];
int next_evicted = 0;

ui2d_face* get_face(int weight, double size, int mode) {
  weight = weight == 0 ? 0 : weight >= 2 ? 2 : 1;
  int whole = int(std::lround(std::clamp(std::isnan(size) ? 6.0 : size, 6.0, 160.0)));
  for (ui2d_face& face : faces)
    if (face.in_use && face.size == whole && face.weight == weight && face.mode == mode)
      return &face;
  font* f = load_font(weight ? 1 : 0);
  if (!f) return nullptr;
  ui2d_face* slot = nullptr;
  for (int i = FACE_SLOTS - 1; i >= 0 && !slot; --i)
    if (!faces[i].in_use) slot = &faces[i];
  if (!slot) {
    slot = &faces[next_evicted];
    next_evicted = (next_evicted + 1) % FACE_SLOTS;
    slot->clear_glyphs();
  }
  slot->f = f;
  slot->weight = weight;
  slot->mode = mode;
  slot->size = whole;
  slot->in_use = true;
  if (mode == 0) {
    int a = 0, d = 0, gap = 0;
    stbtt_GetFontVMetrics(&f->info, &a, &d, &gap);
    slot->scale = a - d < 1 ? whole / f->units_per_em : float(whole) / float(a - d);
    slot->ascent = a * slot->scale;
    slot->descent = -d * slot->scale;
    slot->height = int(slot->ascent + slot->descent + 0.5f);
  } else {
    float factor = weight ? 1.0f : 0.935f;
    slot->scale = factor * whole / f->units_per_em;
    slot->height = int(std::lround(1.33 * whole));
    slot->ascent = float(std::lround(1.075 * whole));
    slot->descent = float(slot->height) - slot->ascent;
  }
  return slot;
}

// Weight 2 widens every stroke by a pixel each way: each pixel takes the
// strongest coverage of the 3 x 3 rendered pixels around it.
std::unique_ptr<uint8_t[]> thicken(const uint8_t* src, int w, int h) {
  int nw = w + 2, nh = h + 2;
  auto out = std::make_unique<uint8_t[]>(size_t(nw) * nh);
  for (int y = 0; y < nh; ++y)
    for (int x = 0; x < nw; ++x) {
      int best = 0;
      for (int sy = y - 2; sy <= y; ++sy)
        for (int sx = x - 2; sx <= x; ++sx)
          if (sx >= 0 && sy >= 0 && sx < w && sy < h) best = std::max<int>(best, src[sy * w + sx]);
      out[size_t(y) * nw + x] = uint8_t(best);
    }
  return out;
}

const glyph* find_glyph(ui2d_face* face, uint32_t code) {
  auto& head = face->buckets[(code * 433u) & (GLYPH_BUCKETS - 1)];
  for (glyph* g = head.get(); g; g = g->next.get())
    if (g->code == code) return g;
  if (face->glyph_count > GLYPH_LIMIT) face->clear_glyphs();
  auto g = std::make_unique<glyph>();
  g->code = code;
  const stbtt_fontinfo* info = &face->f->info;
  int index = stbtt_FindGlyphIndex(info, int(code));
  int x0, y0, x1, y1;
  stbtt_GetGlyphBitmapBox(info, index, face->scale, face->scale, &x0, &y0, &x1, &y1);
  if (x1 - x0 >= 1 && y1 - y0 >= 1) {
    int w = x1 - x0, h = y1 - y0;
    auto bitmap = std::make_unique<uint8_t[]>(size_t(w) * h);
    stbtt_MakeGlyphBitmap(info, bitmap.get(), w, h, w, face->scale, face->scale, index);
    if (face->weight == 2) {
      bitmap = thicken(bitmap.get(), w, h);
      w += 2, h += 2, x0 -= 1, y0 -= 1;
    }
    g->bitmap = std::move(bitmap);
    g->w = w, g->h = h, g->x0 = x0, g->y0 = y0;
  }
  auto& bucket = face->buckets[(code * 433u) & (GLYPH_BUCKETS - 1)];
  g->next = std::move(bucket);
  bucket = std::move(g);
  ++face->glyph_count;
  return bucket.get();
}

// Windows-1252's characters for 0x80..0x9F; its five unused bytes stand
// for themselves.
constexpr uint16_t cp1252[32] = {
    0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x8D,   0x017D, 0x8F,   0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178,
};

uint32_t single_byte(uint8_t b) { return b >= 0x80 && b <= 0x9F ? cp1252[b - 0x80] : b; }

// The next character of the text: UTF-8 where the bytes are UTF-8, else a
// byte of Windows-1252 (language files and user paths are not always
// UTF-8). Returns 0 at the end.
uint32_t next_char(const uint8_t*& s) {
  uint8_t lead = *s;
  if (lead == 0) return 0;
  int more = lead >= 0xC0 && lead <= 0xDF ? 1 : lead >= 0xE0 && lead <= 0xEF ? 2
             : lead >= 0xF0 && lead <= 0xF4 ? 3 : 0;
  if (lead < 0x80 || more == 0) {
    ++s;
    return lead < 0x80 ? lead : single_byte(lead);
  }
  uint32_t code = lead & (0x3F >> more);
  for (int i = 1; i <= more; ++i) {
    if ((s[i] & 0xC0) != 0x80) {
      // A broken sequence: the lead byte stands alone and reading goes on
      // after it, so no byte of the text is lost.
      ++s;
      return single_byte(lead);
    }
    code = code << 6 | (s[i] & 0x3F);
  }
  s += more + 1;
  return code;
}

void draw_glyph(ui2d_canvas* c, const glyph& g, int colour, double pen, double baseline) {
  if (!g.bitmap) return;
  int gx = int(std::lround(pen + g.x0)), gy = int(std::lround(baseline + g.y0));
  for (int y = std::max(0, -gy); y < g.h && gy + y < c->h; ++y)
    for (int x = std::max(0, -gx); x < g.w && gx + x < c->w; ++x) {
      int v = g.bitmap[size_t(y) * g.w + x];
      if (v > 0) ui2d_blend(c->pixels + (size_t(gy + y) * c->w + gx + x) * 4, colour, v);
    }
}

// One pass serves measuring (canvas null) and drawing.
double layout(ui2d_canvas* c, ui2d_face* face, const char* text, int colour, double x,
              double baseline) {
  double pen = x;
  if (!text) return pen;
  const stbtt_fontinfo* info = &face->f->info;
  const uint8_t* s = reinterpret_cast<const uint8_t*>(text);
  int previous = -1;
  try {
    while (uint32_t code = next_char(s)) {
      int index = stbtt_FindGlyphIndex(info, int(code));
      if (previous >= 0 && face->f->kerning)
        pen += stbtt_GetGlyphKernAdvance(info, previous, index) * face->scale;
      if (c && code != ' ') draw_glyph(c, *find_glyph(face, code), colour, pen, baseline);
      int advance = 0, bearing = 0;
      stbtt_GetGlyphHMetrics(info, index, &advance, &bearing);
      pen += advance * face->scale;
      previous = index;
    }
  } catch (const std::bad_alloc&) {
  }
  return pen;
}

}  // namespace

void ui2d_faces_reset() {
  for (ui2d_face& face : faces) {
    face.clear_glyphs();
    face.in_use = false;
  }
  next_evicted = 0;
}

int ui2d_face_glyph_count(const ui2d_face* face) { return face ? face->glyph_count : 0; }

int ui2d_face_slot(const ui2d_face* face) { return face ? int(face - faces) : -1; }

ui2d_face* ui2d_font_px(int weight, double size) { return get_face(weight, size, 0); }
ui2d_face* ui2d_font_gdi(int weight, double size) { return get_face(weight, size, 1); }
void ui2d_font_free(ui2d_face*) {}
int ui2d_font_height(const ui2d_face* face) { return face ? face->height : 0; }

double ui2d_text_w(ui2d_face* face, const char* text) {
  return face ? layout(nullptr, face, text, 0, 0, 0) : 0;
}

double ui2d_text_top(ui2d_canvas* c, ui2d_face* face, const char* text, int colour, double x,
                     double top) {
  if (!face || colour == UI2D_NONE) return x;
  if (!c) return layout(nullptr, face, text, colour, x, 0);
  return layout(c, face, text, colour, x, top + face->ascent);
}

double ui2d_text(ui2d_canvas* c, ui2d_face* face, const char* text, int colour, int centred,
                 double x, double middle) {
  if (!face || colour == UI2D_NONE) return x;
  if (centred) x -= ui2d_text_w(face, text) / 2;
  double baseline = middle - face->height / 2 + face->ascent;
  return layout(c, face, text, colour, x, baseline);
}
