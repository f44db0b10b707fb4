// The 2D renderer's shapes: coverage, compositing, fills and strokes.
#include "host/window/ui2d_canvas.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <tuple>
#include <memory>

namespace {

struct canvas_ptr {
  ui2d_canvas* c;
  explicit canvas_ptr(int w, int h) : c(ui2d_new(w, h)) {}
  ~canvas_ptr() { ui2d_free(c); }
  operator ui2d_canvas*() const { return c; }
  const uint8_t* at(int x, int y) const { return c->pixels + (size_t(y) * c->w + x) * 4; }
  int alpha(int x, int y) const { return at(x, y)[3]; }
};

TEST(ui2d_canvas, SizesOutsideTheLimitsGiveNoCanvas) {
  EXPECT_EQ(ui2d_new(0, 5), nullptr);
  EXPECT_EQ(ui2d_new(5, 0), nullptr);
  EXPECT_EQ(ui2d_new(5, -1), nullptr);
  ui2d_canvas* one = ui2d_new(1, 1);
  EXPECT_NE(one, nullptr);
  ui2d_free(one);
  EXPECT_EQ(ui2d_new(UI2D_MAX_SIDE + 1, 1), nullptr);
  ui2d_canvas* c = ui2d_new(UI2D_MAX_SIDE, 1);
  ASSERT_NE(c, nullptr);
  int w = 0, h = 0;
  uint8_t* pixels = ui2d_take(c, &w, &h);
  EXPECT_EQ(w, UI2D_MAX_SIDE);
  EXPECT_EQ(h, 1);
  EXPECT_EQ(pixels[0] | pixels[4 * UI2D_MAX_SIDE - 1], 0);
  free(pixels);
  ui2d_free(nullptr);
  EXPECT_EQ(ui2d_px(nullptr, &w, &h), nullptr);
  EXPECT_EQ(w, 0);
  ui2d_rect_fill(nullptr, 0xFFFFFF, 255, 0, 0, 5, 5);
  ui2d_circle(nullptr, 0xFFFFFF, 0xFFFFFF, 5, 5, 5, 1);
}

TEST(ui2d_canvas, SquareEdgesCoverBySubScanlinesAndColumnShare) {
  canvas_ptr c(16, 16);
  const ui2d_point square[] = {{0.5, 0.5}, {10.5, 0.5}, {10.5, 10.5}, {0.5, 10.5}};
  ui2d_polygon(c, square, 4, 0xFFFFFF, UI2D_NONE, 1);
  struct expect {
    int x, y, alpha;
  };
  const expect cases[] = {
      {5, 5, 255}, {0, 5, 128}, {10, 5, 128}, {5, 0, 102}, {5, 10, 153},
      {0, 0, 51},  {11, 5, 0},  {5, 11, 0},
  };
  for (const expect& e : cases) {
    EXPECT_EQ(c.alpha(e.x, e.y), e.alpha) << e.x << "," << e.y;
    for (int k = 0; k < 3; ++k) EXPECT_EQ(c.at(e.x, e.y)[k], e.alpha);
  }
}

TEST(ui2d_canvas, ColoursGoInRgbOrderAndBlendOverWhatIsThere) {
  canvas_ptr c(4, 4);
  ui2d_rect_fill(c, 0x102030, 255, 0, 0, 4, 4);
  EXPECT_EQ(c.at(2, 2)[0], 0x10);
  EXPECT_EQ(c.at(2, 2)[1], 0x20);
  EXPECT_EQ(c.at(2, 2)[2], 0x30);
  ui2d_rect_fill(c, 0xFF0000, 128, 0, 0, 4, 4);
  EXPECT_EQ(c.at(2, 2)[0], (255 * 128 + 0x10 * 127 + 127) / 255);
  EXPECT_EQ(c.at(2, 2)[1], (0x20 * 127 + 127) / 255);
  EXPECT_EQ(c.alpha(2, 2), 255);
  ui2d_rect_fill(c, 0x00FF00, 999, 0, 0, 1, 1);  // alpha clamped to 255
  EXPECT_EQ(c.at(0, 0)[1], 255);
  ui2d_rect_fill(c, 0x00FF00, -5, 1, 1, 1, 1);  // clamped to 0: unchanged
  EXPECT_EQ(c.at(1, 1)[1], (0x20 * 127 + 127) / 255);
}

TEST(ui2d_canvas, CompositingMatchesTheRuleForEveryByte) {
  int wrong = 0;
  for (int a = 0; a < 256; ++a)
    for (int s = 0; s < 256; ++s) {
      const ui2d_ink ink(s << 16 | (255 - s) << 8 | s, a);
      for (int d = 0; d < 256; ++d) {
        uint8_t p[4] = {uint8_t(d), uint8_t(d), uint8_t(255 - d), uint8_t(d)};
        ink.apply(p);
        auto rule = [&](int src, int dst) { return (src * a + dst * (255 - a) + 127) / 255; };
        if (p[0] != rule(s, d) || p[1] != rule(255 - s, d) || p[2] != rule(s, 255 - d) ||
            p[3] != rule(255, d))
          ++wrong;
      }
    }
  EXPECT_EQ(wrong, 0);
}

TEST(ui2d_canvas, RectangleFillTakesOnlyWholePixels) {
  canvas_ptr c(5, 5);
  ui2d_rect_fill(c, 0xFFFFFF, 255, 0.5, 0.5, 2, 2);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(c.alpha(x, y), x == 1 && y == 1 ? 255 : 0) << x << "," << y;
  canvas_ptr d(5, 5);
  ui2d_rect_fill(d, 0xFFFFFF, 255, -10, 3, 100, 100);  // clipped
  EXPECT_EQ(d.alpha(0, 4), 255);
  EXPECT_EQ(d.alpha(4, 3), 255);
  EXPECT_EQ(d.alpha(4, 2), 0);
}

TEST(ui2d_canvas, StarWithTheEvenOddRuleLeavesItsCentreEmpty) {
  canvas_ptr c(100, 100);
  ui2d_point star[5];
  for (int i = 0; i < 5; ++i) {
    double t = (-90 + 144.0 * i) * M_PI / 180;
    star[i] = {50 + 45 * std::cos(t), 50 + 45 * std::sin(t)};
  }
  ui2d_polygon(c, star, 5, 0xFFFFFF, UI2D_NONE, 1);
  EXPECT_EQ(c.alpha(50, 52), 0);
  EXPECT_EQ(c.alpha(50, 12), 255);  // the top point's arm
  EXPECT_EQ(c.alpha(2, 2), 0);
}

TEST(ui2d_canvas, GradientRunsFromTopColourToBottomColour) {
  canvas_ptr c(10, 100);
  const ui2d_point box[] = {{0, 0}, {10, 0}, {10, 100}, {0, 100}};
  ui2d_gradient(c, box, 4, 0xFF0000, 0x0000FF);
  const uint8_t* top = c.at(5, 0);
  const uint8_t* bottom = c.at(5, 99);
  const uint8_t* middle = c.at(5, 50);
  // Row 0's sub-scanlines lie at t = 0.001 .. 0.009: red 255 x 0.995, rounded.
  EXPECT_EQ(std::make_tuple(top[0], top[1], top[2]), std::make_tuple(254, 0, 1));
  EXPECT_EQ(std::make_tuple(bottom[0], bottom[1], bottom[2]), std::make_tuple(1, 0, 254));
  EXPECT_NEAR(middle[0], 127, 2);
  EXPECT_EQ(c.alpha(5, 50), 255);
  // No height: the bottom colour.
  canvas_ptr flat(10, 10);
  const ui2d_point line[] = {{0, 5}, {10, 5}, {5, 5}};
  ui2d_gradient(flat, line, 3, 0xFF0000, 0x0000FF);
  EXPECT_EQ(flat.alpha(5, 5), 0);
}

// Columns of one row with the same coverage take their colour from the
// sub-scanlines they cover: a step whose left half covers the row's upper
// sub-scanlines and whose right half its lower ones.
TEST(ui2d_canvas, GradientColumnsOfEqualCoverTakeTheColourOfTheirOwnSubScanlines) {
  canvas_ptr c(8, 1);
  const ui2d_point step[] = {{0, 0}, {4, 0}, {4, 0.4}, {8, 0.4}, {8, 1}, {4, 1}, {4, 0.6}, {0, 0.6}};
  ui2d_gradient(c, step, 8, 0xFF0000, 0x0000FF);
  for (int x = 0; x < 8; ++x) {
    SCOPED_TRACE(x);
    EXPECT_EQ(c.alpha(x, 0), 153);  // three of five sub-scanlines
    EXPECT_EQ(std::memcmp(c.at(x, 0), c.at(x < 4 ? 0 : 4, 0), 4), 0);
  }
  EXPECT_GT(c.at(0, 0)[0], c.at(0, 0)[2]) << "upper half: more of the top colour";
  EXPECT_GT(c.at(4, 0)[2], c.at(4, 0)[0]) << "lower half: more of the bottom colour";
}

// One colour at both ends fills exactly as a plain fill of that colour,
// also where edges cover columns partly.
TEST(ui2d_canvas, GradientOfOneColourMatchesAPlainFill) {
  const ui2d_point diamond[] = {{20.3, 1.2}, {38.6, 20.1}, {20.1, 38.7}, {1.4, 19.8}};
  for (int colour : {0xFF8040, 0x01FE7F}) {
    canvas_ptr a(40, 40), b(40, 40);
    for (canvas_ptr* p : {&a, &b}) ui2d_rect_fill(*p, 0x204060, 255, 0, 0, 40, 40);
    ui2d_gradient(a, diamond, 4, colour, colour);
    ui2d_polygon(b, diamond, 4, colour, UI2D_NONE, 0);
    EXPECT_EQ(std::memcmp(a.c->pixels, b.c->pixels, 40 * 40 * 4), 0) << std::hex << colour;
  }
}

TEST(ui2d_canvas, HairlinesSitOnPixelCentresAndThickLinesDoNot) {
  canvas_ptr c(16, 12);
  const ui2d_point thin[] = {{2, 5}, {10, 5}};
  ui2d_polyline(c, thin, 2, 0xFFFFFF, 1);
  EXPECT_EQ(c.alpha(6, 5), 255);
  EXPECT_EQ(c.alpha(6, 4), 0);
  EXPECT_EQ(c.alpha(6, 6), 0);
  EXPECT_GT(c.alpha(1, 5), 0);   // round end to x = 1.5
  EXPECT_LT(c.alpha(1, 5), 255);
  EXPECT_GT(c.alpha(10, 5), 0);  // and to 10.5
  EXPECT_EQ(c.alpha(0, 5), 0);
  EXPECT_EQ(c.alpha(11, 5), 0);
  canvas_ptr d(16, 12);
  ui2d_polyline(d, thin, 2, 0xFFFFFF, 2);
  EXPECT_EQ(d.alpha(6, 4), 255);
  EXPECT_EQ(d.alpha(6, 5), 255);
  EXPECT_EQ(d.alpha(6, 3), 0);
  EXPECT_EQ(d.alpha(6, 6), 0);
}

TEST(ui2d_canvas, OverlappingSegmentsOfOneStrokeCompositeOnce) {
  canvas_ptr c(20, 20);
  const ui2d_point back_and_forth[] = {{2, 10}, {17, 10}, {3, 10}};
  ui2d_rect_fill(c, 0x000000, 255, 0, 0, 20, 20);
  ui2d_polyline(c, back_and_forth, 3, 0xFFFFFF, 3);
  canvas_ptr d(20, 20);
  const ui2d_point once[] = {{2, 10}, {17, 10}};
  ui2d_rect_fill(d, 0x000000, 255, 0, 0, 20, 20);
  ui2d_polyline(d, once, 2, 0xFFFFFF, 3);
  for (int y = 7; y <= 12; ++y) EXPECT_EQ(c.at(10, y)[0], d.at(10, y)[0]) << y;
}

TEST(ui2d_canvas, DiagonalAndVerticalStrokes) {
  canvas_ptr c(30, 30);
  const ui2d_point diagonal[] = {{5, 5}, {25, 25}};
  ui2d_polyline(c, diagonal, 2, 0xFFFFFF, 4);
  EXPECT_EQ(c.alpha(15, 15), 255);
  EXPECT_EQ(c.alpha(15, 25), 0);
  EXPECT_EQ(c.alpha(25, 15), 0);
  canvas_ptr v(30, 30);
  const ui2d_point vertical[] = {{10, 5}, {10, 25}};
  ui2d_polyline(v, vertical, 2, 0xFFFFFF, 4);
  EXPECT_EQ(v.alpha(9, 15), 255);
  EXPECT_EQ(v.alpha(10, 15), 255);
  EXPECT_EQ(v.alpha(13, 15), 0);
  EXPECT_EQ(v.alpha(9, 2), 0);  // beyond the round end
  EXPECT_GT(v.alpha(9, 3), 0);
  ui2d_polyline(v, vertical, 2, UI2D_NONE, 4);
  ui2d_polyline(v, vertical, 1, 0xFFFFFF, 4);
}

TEST(ui2d_canvas, TwoPointPolygonStrokesItsSegment) {
  canvas_ptr c(20, 20);
  const ui2d_point two[] = {{3, 10}, {16, 10}};
  ui2d_polygon(c, two, 2, 0xFF0000, 0xFFFFFF, 2);
  EXPECT_EQ(c.at(10, 9)[1], 255);
  EXPECT_EQ(c.at(10, 10)[1], 255);
  EXPECT_EQ(c.alpha(10, 12), 0);
  ui2d_polygon(c, two, 1, 0xFF0000, 0xFFFFFF, 2);  // one point: nothing
}

TEST(ui2d_canvas, OversizedCornerRadiusMakesAStadium) {
  canvas_ptr c(60, 50);
  ui2d_rrect(c, 0xFFFFFF, UI2D_NONE, 10, 10, 40, 30, 1000, 1);
  // The radius is capped at min(w, h) / 2 - 1 = 14.
  EXPECT_EQ(c.alpha(30, 25), 255);
  EXPECT_EQ(c.alpha(10, 25), 255);
  EXPECT_EQ(c.alpha(48, 25), 255);
  EXPECT_EQ(c.alpha(30, 10), 255);
  EXPECT_EQ(c.alpha(10, 10), 0);
  EXPECT_EQ(c.alpha(49, 39), 0);
  canvas_ptr d(20, 20);
  ui2d_rrect_fill_alpha(d, 0xFFFFFF, 999, 0, 0, 20, 20, 3);  // alpha clamped
  EXPECT_EQ(d.alpha(10, 10), 255);
}

TEST(ui2d_canvas, RoundedRectangleAndCircle) {
  canvas_ptr c(60, 60);
  ui2d_rrect(c, 0x0A0C18, 0xE6BE46, 10, 10, 40, 30, 12, 2);
  EXPECT_EQ(c.at(30, 25)[0], 0x0A);
  EXPECT_EQ(c.at(30, 10)[0], 0xE6);  // top edge outline
  EXPECT_EQ(c.alpha(10, 10), 0);     // rounded corner left open
  EXPECT_EQ(c.alpha(5, 25), 0);
  canvas_ptr r(40, 40);
  ui2d_circle(r, 0xFFFFFF, UI2D_NONE, 20, 20, 10, 1);
  EXPECT_EQ(r.alpha(20, 20), 255);
  EXPECT_EQ(r.alpha(20, 11), 255);
  EXPECT_EQ(r.alpha(20, 8), 0);
  EXPECT_EQ(r.alpha(28, 28), 0);
  EXPECT_GT(r.alpha(27, 27), 0);  // its corner (27, 27) lies inside
  canvas_ptr ringed(40, 40);
  ui2d_circle(ringed, UI2D_NONE, 0xFFFFFF, 20, 20, 10, 2);
  EXPECT_EQ(ringed.alpha(20, 20), 0);
  EXPECT_GT(ringed.alpha(30, 20), 200);
  canvas_ptr none(10, 10);
  ui2d_circle(none, 0xFFFFFF, 0xFFFFFF, 5, 5, 0, 3);
  ui2d_rrect_fill_alpha(none, 0xFFFFFF, 100, 0, 0, 10, 10, 2);
  EXPECT_EQ(none.alpha(5, 5), 100);
}

TEST(ui2d_canvas, ShapesFarOutsideTheCanvasAreClipped) {
  canvas_ptr c(8, 8);
  const ui2d_point huge[] = {{-1e9, -1e9}, {1e9, -1e9}, {1e9, 1e9}, {-1e9, 1e9}};
  ui2d_polygon(c, huge, 4, 0xFFFFFF, 0xFFFFFF, 3);
  EXPECT_EQ(c.alpha(0, 0), 255);
  EXPECT_EQ(c.alpha(7, 7), 255);
  const ui2d_point nan_points[] = {{NAN, 1}, {5, NAN}, {2, 2}};
  ui2d_polygon(c, nan_points, 3, 0xFF0000, 0xFF0000, 2);
  ui2d_circle(c, 0xFF0000, 0xFF0000, NAN, 3, 2, 1);
}

}  // namespace
