// The 2D renderer's text: faces, metrics, kerning, decoding and the caches.
#include "host/window/ui2d_canvas.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

namespace {

TEST(ui2d_text, FaceSizesFollowTheirMode) {
  ui2d_faces_reset();
  for (int size : {6, 13, 20, 31, 160}) {
    EXPECT_EQ(ui2d_font_height(ui2d_font_px(0, size)), size);
    EXPECT_EQ(ui2d_font_height(ui2d_font_gdi(0, size)), int(std::lround(1.33 * size)));
    EXPECT_EQ(ui2d_font_height(ui2d_font_gdi(1, size)), int(std::lround(1.33 * size)));
  }
  // Sizes are clamped to 6..160 and rounded; weights normalised.
  EXPECT_EQ(ui2d_font_px(0, 2), ui2d_font_px(0, 6));
  EXPECT_EQ(ui2d_font_px(0, 500), ui2d_font_px(0, 160));
  EXPECT_EQ(ui2d_font_px(0, 19.6), ui2d_font_px(0, 20));
  EXPECT_EQ(ui2d_font_px(-3, 20), ui2d_font_px(1, 20));
  EXPECT_EQ(ui2d_font_px(7, 20), ui2d_font_px(2, 20));
  EXPECT_NE(ui2d_font_px(1, 20), ui2d_font_px(2, 20));
  EXPECT_NE(ui2d_font_px(0, 20), ui2d_font_gdi(0, 20));
  EXPECT_EQ(ui2d_font_height(nullptr), 0);
  // The regular font is drawn a little smaller at the same desktop size.
  EXPECT_LT(ui2d_text_w(ui2d_font_gdi(0, 20), "MMMM"), ui2d_text_w(ui2d_font_gdi(1, 20), "MMMM"));
}

TEST(ui2d_text, MeasuringAddsAdvancesAndKerning) {
  ui2d_face* face = ui2d_font_px(0, 40);
  EXPECT_EQ(ui2d_text_w(face, ""), 0);
  EXPECT_EQ(ui2d_text_w(face, nullptr), 0);
  EXPECT_EQ(ui2d_text_w(nullptr, "abc"), 0);
  double space = ui2d_text_w(face, " ");
  EXPECT_GT(space, 5);
  EXPECT_DOUBLE_EQ(ui2d_text_w(face, "  "), 2 * space);
  // A kerned pair: narrower than its letters' advances.
  double av = ui2d_text_w(face, "AV");
  EXPECT_LT(av, ui2d_text_w(face, "A") + ui2d_text_w(face, "V") - 1);
  EXPECT_DOUBLE_EQ(ui2d_text_w(face, "HH"), 2 * ui2d_text_w(face, "H"));
}

struct decode_case {
  const char* bytes;
  const char* same_as;  // UTF-8 text that must measure the same
};

TEST(ui2d_text, BytesThatAreNotUtf8ReadAsWindows1252) {
  ui2d_face* face = ui2d_font_px(0, 30);
  const decode_case cases[] = {
      {"A\x80" "B", "A\xE2\x82\xAC" "B"},       // the euro sign
      {"\xC3" "A", "\xC3\x83" "A"},             // broken sequence: Latin-1 A-tilde, then A
      {"\x93quoted\x94", "\xE2\x80\x9Cquoted\xE2\x80\x9D"},
      {"\xE2\x82" "A", "\xC3\xA2\xE2\x80\x9A" "A"},  // every byte of a broken sequence kept
      {"\xFF", "\xC3\xBF"},
      {"caf\xC3\xA9", "caf\xC3\xA9"},
      {"\xF0\x9F\x98\x80x", "\xF0\x9F\x98\x80x"},
      {"ab\xC0\x80zz", "ab"},                   // a code point of 0 ends the text
  };
  for (const decode_case& c : cases)
    EXPECT_DOUBLE_EQ(ui2d_text_w(face, c.bytes), ui2d_text_w(face, c.same_as)) << c.bytes;
  EXPECT_GT(ui2d_text_w(face, "A\x80" "B"), ui2d_text_w(face, "AB") + 5);
  // Lead bytes up to 0xEF start three-byte sequences, up to 0xF4 four-byte ones.
  EXPECT_NE(ui2d_text_w(face, "\xEF\xBC\xA1"), ui2d_text_w(face, "\xC3\xAF\xC2\xBC\xC2\xA1"));
  EXPECT_NE(ui2d_text_w(face, "\xF4\x80\x80\x80"),
            ui2d_text_w(face, "\xC3\xB4\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC"));
}

// The picture a text draws, for comparing two spellings of the same text.
std::vector<uint8_t> drawn(const char* text) {
  ui2d_canvas* c = ui2d_new(80, 40);
  ui2d_text_top(c, ui2d_font_px(0, 30), text, 0xFFFFFF, 5, 2);
  std::vector<uint8_t> pixels(c->pixels, c->pixels + 80 * 40 * 4);
  ui2d_free(c);
  return pixels;
}

TEST(ui2d_text, Windows1252BytesDrawAsTheirOwnCharacters) {
  // Windows-1252's 0x80..0x9F; its five unused bytes stand for themselves.
  constexpr int table[32] = {
      0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0x8D,   0x017D, 0x8F,   0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178,
  };
  for (int b = 0x80; b < 0xA0; ++b) {
    int cp = table[b - 0x80];
    char single[2] = {char(b), 0};
    char utf8[4] = {};
    if (cp < 0x800) {
      utf8[0] = char(0xC0 | cp >> 6), utf8[1] = char(0x80 | (cp & 63));
    } else {
      utf8[0] = char(0xE0 | cp >> 12), utf8[1] = char(0x80 | ((cp >> 6) & 63));
      utf8[2] = char(0x80 | (cp & 63));
    }
    EXPECT_EQ(drawn(single), drawn(utf8)) << std::hex << b;
  }
  // Mirrored pairs measure alike: only the drawing tells them apart.
  EXPECT_NE(drawn("\x93"), drawn("\x94"));
}

TEST(ui2d_text, SequenceLengthsFollowTheLeadByte) {
  ui2d_face* face = ui2d_font_px(0, 30);
  // Code points the font has no glyph for all draw its one missing-glyph box.
  const double box = ui2d_text_w(face, "\xEE\x80\x80");
  for (const char* text : {"\xDF\xBF", "\xE0\xA0\x80", "\xEF\xBF\xBF", "\xF0\x9F\x98\x80",
                           "\xF4\x8F\xBF\xBF"})
    EXPECT_DOUBLE_EQ(ui2d_text_w(face, text), box) << text;
}

TEST(ui2d_text, GlyphsSharingACacheBucketStayApart) {
  // 'A' (65) and Cyrillic es (1089) fall into the same bucket.
  ui2d_faces_reset();
  std::vector<uint8_t> fresh = drawn("\xD1\x81");
  ui2d_faces_reset();
  drawn("A");
  EXPECT_EQ(drawn("\xD1\x81"), fresh);
  EXPECT_NE(drawn("A"), fresh);
}

// The alpha of a text drawn white on a transparent canvas is its coverage.
std::vector<int> coverage(int weight) {
  ui2d_canvas* c = ui2d_new(60, 50);
  ui2d_text_top(c, ui2d_font_px(weight, 30), "Ig", 0xFFFFFF, 10, 5);
  std::vector<int> alpha(60 * 50);
  for (int i = 0; i < 60 * 50; ++i) alpha[size_t(i)] = c->pixels[i * 4 + 3];
  ui2d_free(c);
  return alpha;
}

TEST(ui2d_text, ThickenedBoldIsBoldWidenedByAPixelEachWay) {
  auto bold = coverage(1), thick = coverage(2);
  int wrong = 0;
  for (int y = 0; y < 50; ++y)
    for (int x = 0; x < 60; ++x) {
      int best = 0;
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
          if (x + dx >= 0 && x + dx < 60 && y + dy >= 0 && y + dy < 50)
            best = std::max(best, bold[size_t((y + dy) * 60 + x + dx)]);
      wrong += thick[size_t(y * 60 + x)] != best;
    }
  EXPECT_EQ(wrong, 0);
}

struct ink {
  int left = 1 << 30, right = -1, top = 1 << 30, bottom = -1;
};

ink find_ink(ui2d_canvas* c) {
  ink k;
  for (int y = 0; y < c->h; ++y)
    for (int x = 0; x < c->w; ++x)
      if (c->pixels[(size_t(y) * c->w + x) * 4 + 3]) {
        k.left = std::min(k.left, x), k.right = std::max(k.right, x);
        k.top = std::min(k.top, y), k.bottom = std::max(k.bottom, y);
      }
  return k;
}

TEST(ui2d_text, DrawnTextLiesOnItsLine) {
  ui2d_canvas* c = ui2d_new(300, 100);
  ui2d_face* face = ui2d_font_px(0, 40);
  double end = ui2d_text_top(c, face, "Hello", 0xFFFFFF, 20, 30);
  EXPECT_DOUBLE_EQ(end, 20 + ui2d_text_w(face, "Hello"));
  ink k = find_ink(c);
  EXPECT_GE(k.left, 20);
  EXPECT_LE(k.right, end + 1);
  EXPECT_GE(k.top, 30);
  EXPECT_LE(k.bottom, 30 + ui2d_font_height(face));
  int stem = 0;  // H's stem is solid
  for (int x = k.left; x < k.left + 4; ++x)
    stem = std::max<int>(stem, c->pixels[(size_t(k.top + 5) * 300 + x) * 4 + 3]);
  EXPECT_EQ(stem, 255);
  ui2d_free(c);
  // Centred on (150, 50).
  c = ui2d_new(300, 100);
  ui2d_text(c, face, "Hello", 0xFFFFFF, 1, 150, 50);
  k = find_ink(c);
  EXPECT_NEAR((k.left + k.right) / 2.0, 150, 3);
  EXPECT_NEAR((k.top + k.bottom) / 2.0, 50, 8);
  ui2d_free(c);
  // Nothing drawn for the colour -1 or a null face; the pen stays.
  c = ui2d_new(50, 50);
  EXPECT_EQ(ui2d_text_top(c, face, "x", UI2D_NONE, 7, 0), 7);
  EXPECT_EQ(ui2d_text_top(c, nullptr, "x", 0xFFFFFF, 7, 0), 7);
  ui2d_text_top(c, face, "clipped at every side", 0xFFFFFF, -30, -20);
  ui2d_free(c);
}

TEST(ui2d_text, ThickenedBoldCoversMoreThanBold) {
  auto ink_sum = [](int weight) {
    ui2d_canvas* c = ui2d_new(200, 60);
    ui2d_text_top(c, ui2d_font_px(weight, 30), "Iii", 0xFFFFFF, 10, 10);
    long sum = 0;
    for (int i = 0; i < 200 * 60; ++i) sum += c->pixels[i * 4 + 3];
    ui2d_free(c);
    return sum;
  };
  EXPECT_GT(ink_sum(2), ink_sum(1) * 1.3);
  EXPECT_GT(ink_sum(1), ink_sum(0));
}

TEST(ui2d_text, FaceSlotsFillFromTheTopAndAreReusedInTurn) {
  ui2d_faces_reset();
  ui2d_face* first = ui2d_font_gdi(0, 10);
  const float first_height = float(ui2d_font_height(first));
  const double first_width = ui2d_text_w(first, "Brakmoor");
  EXPECT_EQ(ui2d_face_slot(first), 47);
  for (int i = 1; i < 48; ++i) EXPECT_EQ(ui2d_face_slot(ui2d_font_gdi(0, 10 + i)), 47 - i);
  EXPECT_EQ(ui2d_face_slot(ui2d_font_gdi(0, 10)), 47);  // still cached
  // All in use: slot 0, then 1, ... are emptied and reused.
  EXPECT_EQ(ui2d_face_slot(ui2d_font_gdi(1, 10)), 0);
  EXPECT_EQ(ui2d_face_slot(ui2d_font_gdi(1, 11)), 1);
  EXPECT_EQ(ui2d_face_slot(ui2d_font_gdi(1, 12)), 2);
  for (int i = 3; i < 48; ++i) ui2d_font_gdi(1, 10 + i);
  // The last of those took slot 47 from the first face, and the counter is
  // back at slot 0: the first face is rebuilt there, with the same metrics.
  EXPECT_EQ(ui2d_face_slot(ui2d_font_gdi(1, 57)), 47);
  ui2d_face* rebuilt = ui2d_font_gdi(0, 10);
  EXPECT_EQ(ui2d_face_slot(rebuilt), 0);
  EXPECT_EQ(float(ui2d_font_height(rebuilt)), first_height);
  EXPECT_DOUBLE_EQ(ui2d_text_w(rebuilt, "Brakmoor"), first_width);
  EXPECT_EQ(ui2d_face_slot(ui2d_font_gdi(1, 10)), 1);
}

TEST(ui2d_text, GlyphCacheIsEmptiedWhenFullAndStillDraws) {
  ui2d_faces_reset();
  ui2d_face* face = ui2d_font_px(0, 8);
  ui2d_canvas* c = ui2d_new(64, 16);
  std::string text;
  for (int code = 0x4E00; code < 0x4E00 + 8300; ++code) {
    char utf8[4] = {char(0xE0 | code >> 12), char(0x80 | ((code >> 6) & 63)), char(0x80 | (code & 63)), 0};
    text += utf8;
  }
  ui2d_text_top(c, face, text.c_str(), 0xFFFFFF, 0, 0);
  EXPECT_LE(ui2d_face_glyph_count(face), 8193);
  EXPECT_GT(ui2d_face_glyph_count(face), 0);
  ui2d_text_top(c, face, "A", 0xFFFFFF, 0, 0);
  EXPECT_GT(find_ink(c).right, -1);
  ui2d_free(c);
}

}  // namespace
