// The 2D renderer's canvas and shapes. Every anti-aliased shape is scanned
// row by row on five sub-scanlines; on each the shape gives the spans it
// covers, the covered lengths add up per column, and the row is composited
// once, so overlapping parts of one shape do not darken twice.
#include "host/window/ui2d_canvas.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

constexpr int FULL_COVER = 5 * 255;

struct span {
  double a, b;
};

struct style {
  int colour = 0;
  int alpha = 255;
  bool gradient = false;
  double top_y = 0, bottom_y = 0;
  int top = 0, bottom = 0;
};

// Shapes fill this per sub-scanline; kept between calls.
std::vector<span> spans;

int row_floor(double v, int limit) {
  if (!(v > 0)) return 0;
  return v >= limit ? limit : int(std::floor(v));
}

int row_ceil(double v, int limit) {
  if (!(v > 0)) return 0;
  return v >= limit ? limit : int(std::ceil(v));
}

void gradient_colour(const style& s, double ys, float out[3]) {
  double t = 1.0;
  if (s.bottom_y > s.top_y) t = std::clamp((ys - s.top_y) / (s.bottom_y - s.top_y), 0.0, 1.0);
  for (int c = 0; c < 3; ++c) {
    int shift = 16 - 8 * c;
    double top = (s.top >> shift) & 255, bottom = (s.bottom >> shift) & 255;
    out[c] = float(top + (bottom - top) * t);
  }
}

void add_cover(ui2d_canvas* c, int i, int u, const float* colour) {
  c->cover[i] = uint16_t(c->cover[i] + u);
  if (colour) {
    c->sum_r[i] += u * colour[0];
    c->sum_g[i] += u * colour[1];
    c->sum_b[i] += u * colour[2];
    c->weight[i] += float(u);
  }
}

// Adds one span of a sub-scanline to the row's accumulators: its covered
// length in each column, times 255.
void add_span(ui2d_canvas* c, span s, const float* colour, int* lo, int* hi) {
  double a = std::max(s.a, 0.0), b = std::min(s.b, double(c->w));
  if (!(b > a)) return;
  int first = int(std::floor(a)), last = std::min(int(std::ceil(b)) - 1, c->w - 1);
  *lo = std::min(*lo, first);
  *hi = std::max(*hi, last);
  if (first == last) {
    add_cover(c, first, int((b - a) * 255 + 0.5), colour);
    return;
  }
  add_cover(c, first, int((first + 1 - a) * 255 + 0.5), colour);
  add_cover(c, last, int((b - last) * 255 + 0.5), colour);
  if (colour) {
    for (int i = first + 1; i < last; ++i) add_cover(c, i, 255, colour);
  } else {
    uint16_t* cover = c->cover.data();
    for (int i = first + 1; i < last; ++i) cover[i] = uint16_t(cover[i] + 255);
  }
}

void commit_row(ui2d_canvas* c, int row, const style& s, int lo, int hi) {
  uint8_t* line = c->pixels + size_t(row) * c->w * 4;
  // Most columns of a row share one opacity, and in a gradient the fully
  // covered ones one colour too: the colour and the ink are made again
  // only when their inputs change.
  int ink_a = -1, ink_colour = s.colour;
  ui2d_ink ink(s.colour, 0);
  float last_sums[4] = {-1, -1, -1, -1};
  int last_colour = s.colour;
  for (int i = lo; i <= hi; ++i) {
    int cover = std::min<int>(c->cover[i], FULL_COVER);
    c->cover[i] = 0;
    int colour = s.colour;
    if (s.gradient) {
      float w = c->weight[i];
      if (w > 0) {
        const float sums[4] = {c->sum_r[i], c->sum_g[i], c->sum_b[i], w};
        if (std::memcmp(sums, last_sums, sizeof sums) != 0) {
          // Rounds half away from zero as lround does, without its library
          // call: a float plus 0.5 is exact in double.
          auto channel = [&](float sum) {
            const double q = sum / w;
            const int r = q >= 0 ? int(q + 0.5) : -int(-q + 0.5);
            return std::clamp(r, 0, 255);
          };
          last_colour = channel(sums[0]) << 16 | channel(sums[1]) << 8 | channel(sums[2]);
          std::memcpy(last_sums, sums, sizeof sums);
        }
        colour = last_colour;
      }
      c->sum_r[i] = c->sum_g[i] = c->sum_b[i] = c->weight[i] = 0;
    }
    if (cover <= 0) continue;
    int a = (s.alpha * cover + 637) / FULL_COVER;
    if (a <= 0) continue;
    if (a != ink_a || colour != ink_colour) ink = ui2d_ink(ink_colour = colour, ink_a = a);
    ink.apply(line + size_t(i) * 4);
  }
}

// Scans the rows from y_min to y_max; shape(ys) appends the spans of the
// sub-scanline ys to `spans`.
template <class Shape>
void scan(ui2d_canvas* c, double y_min, double y_max, const style& s, Shape&& shape) {
  int row0 = row_floor(y_min, c->h), row_end = row_ceil(y_max, c->h);
  for (int row = row0; row < row_end; ++row) {
    int lo = c->w, hi = -1;
    for (int k = 0; k < 5; ++k) {
      double ys = row + 0.1 + 0.2 * k;
      spans.clear();
      shape(ys);
      float colour[3];
      if (s.gradient) gradient_colour(s, ys, colour);
      for (const span& sp : spans) add_span(c, sp, s.gradient ? colour : nullptr, &lo, &hi);
    }
    if (hi >= lo) commit_row(c, row, s, lo, hi);
  }
}

// ---- Polygon fill (even-odd) ----------------------------------------------

void fill_polygon(ui2d_canvas* c, const ui2d_point* p, int n, const style& s) {
  if (!c || !p || n < 3) return;
  double y_min = p[0].y, y_max = p[0].y;
  for (int i = 1; i < n; ++i) y_min = std::min(y_min, p[i].y), y_max = std::max(y_max, p[i].y);
  style st = s;
  if (st.gradient) st.top_y = y_min, st.bottom_y = y_max;
  std::vector<double> crossings;
  scan(c, y_min, y_max, st, [&](double ys) {
    if (!(y_min < ys && ys <= y_max)) return;
    crossings.clear();
    for (int i = 0; i < n && crossings.size() < 1024; ++i) {
      const ui2d_point& a = p[i];
      const ui2d_point& b = p[(i + 1) % n];
      if (a.y == b.y) continue;
      if (std::min(a.y, b.y) < ys && ys <= std::max(a.y, b.y))
        crossings.push_back(a.x + (ys - a.y) / (b.y - a.y) * (b.x - a.x));
    }
    std::sort(crossings.begin(), crossings.end());
    for (size_t i = 0; i + 1 < crossings.size(); i += 2) spans.push_back({crossings[i], crossings[i + 1]});
  });
}

// ---- Strokes ---------------------------------------------------------------

struct segment {
  ui2d_point a, b;
};

// Hairlines sit on pixel centres, so that a 1-pixel line covers one row or
// column instead of two half-covered ones.
void snap_thin(segment* s) {
  if (std::fabs(s->a.x - s->b.x) < 0.25) s->a.x = s->b.x = std::floor((s->a.x + s->b.x) / 2) + 0.5;
  if (std::fabs(s->a.y - s->b.y) < 0.25) s->a.y = s->b.y = std::floor((s->a.y + s->b.y) / 2) + 0.5;
}

// The intervals of one round-capped segment on the sub-scanline ys.
void segment_intervals(const segment& s, double r, double ys, std::vector<span>& out) {
  for (const ui2d_point& p : {s.a, s.b}) {
    double d = ys - p.y;
    if (std::fabs(d) <= r) {
      double half = std::sqrt(r * r - d * d);
      out.push_back({p.x - half, p.x + half});
    }
  }
  double dx = s.b.x - s.a.x, dy = s.b.y - s.a.y;
  double l2 = dx * dx + dy * dy;
  if (l2 <= 0) return;
  double e = ys - s.a.y;
  if (std::fabs(dy) <= 1e-9) {
    if (std::fabs(dx) > 1e-9 && std::fabs(e) <= r)
      out.push_back({std::min(s.a.x, s.b.x), std::max(s.a.x, s.b.x)});
    return;
  }
  double lo = -INFINITY, hi = INFINITY;
  if (std::fabs(dx) >= 1e-9) {
    double p0 = s.a.x - e * dy / dx, p1 = s.a.x + (l2 - e * dy) / dx;
    lo = std::min(p0, p1);
    hi = std::max(p0, p1);
  } else if (!(e / dy >= 0 && e / dy <= 1)) {
    return;
  }
  double centre = s.a.x + e * dx / dy, half = r * std::sqrt(l2) / std::fabs(dy);
  lo = std::max(lo, centre - half);
  hi = std::min(hi, centre + half);
  if (lo < hi) out.push_back({lo, hi});
}

void stroke(ui2d_canvas* c, std::vector<segment> segs, int colour, double line_width,
            int alpha = 255) {
  double r = std::max(line_width / 2, 0.25);
  if (!c || segs.empty() || colour == UI2D_NONE || !(r > 0)) return;
  if (2 * r < 1.34)
    for (segment& s : segs) snap_thin(&s);
  double y_min = segs[0].a.y, y_max = y_min;
  for (const segment& s : segs) {
    y_min = std::min({y_min, s.a.y, s.b.y});
    y_max = std::max({y_max, s.a.y, s.b.y});
  }
  style st;
  st.colour = colour;
  st.alpha = alpha;
  // Each segment's rows with a pixel to spare: a sub-scanline outside them
  // can't meet the segment, however its arithmetic rounds.
  std::vector<span> reach;
  reach.reserve(segs.size());
  for (const segment& s : segs) reach.push_back({std::min(s.a.y, s.b.y) - r - 1, std::max(s.a.y, s.b.y) + r + 1});
  std::vector<span> found;
  scan(c, y_min - r, y_max + r, st, [&](double ys) {
    found.clear();
    for (size_t i = 0; i < segs.size(); ++i)
      if (reach[i].a <= ys && ys <= reach[i].b) segment_intervals(segs[i], r, ys, found);
    std::sort(found.begin(), found.end(),
              [](const span& x, const span& y) { return x.a < y.a || (x.a == y.a && x.b < y.b); });
    for (size_t i = 0; i < found.size();) {
      span merged = found[i++];
      while (i < found.size() && found[i].a <= merged.b) merged.b = std::max(merged.b, found[i++].b);
      spans.push_back(merged);
    }
  });
}

std::vector<segment> ring(const std::vector<ui2d_point>& p) {
  std::vector<segment> segs;
  for (size_t i = 0; i < p.size(); ++i) segs.push_back({p[i], p[(i + 1) % p.size()]});
  return segs;
}

// ---- Rounded rectangles and circles -----------------------------------------

std::vector<ui2d_point> rrect_points(double x, double y, double w, double h, double radius) {
  double m = std::min(w, h) / 2 - 1;
  double g = radius > m ? std::max(m, 0.0) : std::max(radius, 0.0);
  int n = std::clamp(int(std::ceil(std::sqrt(4 * g))), 3, 24);
  std::vector<ui2d_point> p;
  auto corner = [&](double cx, double cy, double start) {
    for (int k = 1; k <= n; ++k) {
      double t = (start + 90.0 * k / n) * M_PI / 180;
      p.push_back({cx + g * std::cos(t), cy + g * std::sin(t)});
    }
  };
  p.push_back({x + g, y});
  p.push_back({x + w - g, y});
  corner(x + w - g, y + g, -90);
  corner(x + w - g, y + h - g, 0);
  p.push_back({x + w - g, y + h});
  p.push_back({x + g, y + h});
  corner(x + g, y + h - g, 90);
  p.push_back({x, y + h - g});
  p.push_back({x, y + g});
  corner(x + g, y + g, 180);
  return p;
}

style solid(int colour, int alpha = 255) {
  style s;
  s.colour = colour;
  s.alpha = std::clamp(alpha, 0, 255);
  return s;
}

// Out of memory leaves the shape undrawn; nothing is reported.
template <class F>
void guarded(F&& draw) {
  try {
    draw();
  } catch (const std::bad_alloc&) {
  }
}

}  // namespace

// ---- Canvas ------------------------------------------------------------------

ui2d_canvas* ui2d_new(int w, int h) {
  if (w < 1 || h < 1 || w > UI2D_MAX_SIDE || h > UI2D_MAX_SIDE) return nullptr;
  auto* c = new (std::nothrow) ui2d_canvas;
  if (!c) return nullptr;
  c->w = w;
  c->h = h;
  c->pixels = static_cast<uint8_t*>(calloc(size_t(w) * h, 4));
  try {
    c->cover.assign(size_t(w), 0);
    c->sum_r.assign(size_t(w), 0);
    c->sum_g.assign(size_t(w), 0);
    c->sum_b.assign(size_t(w), 0);
    c->weight.assign(size_t(w), 0);
  } catch (const std::bad_alloc&) {
    ui2d_free(c);
    return nullptr;
  }
  if (!c->pixels) {
    ui2d_free(c);
    return nullptr;
  }
  return c;
}

uint8_t* ui2d_take(ui2d_canvas* canvas, int* w, int* h) {
  uint8_t* pixels = ui2d_px(canvas, w, h);
  if (canvas) canvas->pixels = nullptr;
  ui2d_free(canvas);
  return pixels;
}

uint8_t* ui2d_px(ui2d_canvas* canvas, int* w, int* h) {
  if (w) *w = canvas ? canvas->w : 0;
  if (h) *h = canvas ? canvas->h : 0;
  return canvas ? canvas->pixels : nullptr;
}

void ui2d_free(ui2d_canvas* canvas) {
  if (!canvas) return;
  free(canvas->pixels);
  delete canvas;
}

// ---- Shapes ------------------------------------------------------------------

void ui2d_rect_fill(ui2d_canvas* c, int colour, int alpha, double x, double y, double w,
                    double h) {
  if (!c || colour == UI2D_NONE) return;
  const ui2d_ink ink(colour, std::clamp(alpha, 0, 255));
  int x0 = row_ceil(x, c->w), x1 = row_floor(x + w, c->w);
  int y0 = row_ceil(y, c->h), y1 = row_floor(y + h, c->h);
  if (x1 <= x0) return;
  for (int row = y0; row < y1; ++row) ink.apply_run(c->pixels + (size_t(row) * c->w + x0) * 4, x1 - x0);
}

void ui2d_polygon(ui2d_canvas* c, const ui2d_point* p, int n, int fill, int outline,
                  double line_width) {
  if (!c || !p || n < 2) return;
  guarded([&] {
    if (n > 2 && fill != UI2D_NONE) fill_polygon(c, p, n, solid(fill));
    if (outline == UI2D_NONE) return;
    if (n == 2)
      stroke(c, std::vector<segment>{segment{p[0], p[1]}}, outline, line_width);
    else
      stroke(c, ring(std::vector<ui2d_point>(p, p + n)), outline, line_width);
  });
}

void ui2d_gradient(ui2d_canvas* c, const ui2d_point* p, int n, int top, int bottom) {
  if (!c || !p || n < 3) return;
  style s;
  s.gradient = true;
  s.top = top;
  s.bottom = bottom;
  guarded([&] { fill_polygon(c, p, n, s); });
}

void ui2d_polyline(ui2d_canvas* c, const ui2d_point* p, int n, int colour, double line_width) {
  if (!c || !p || n < 2) return;
  guarded([&] {
    std::vector<segment> segs;
    for (int i = 0; i + 1 < n; ++i) segs.push_back({p[i], p[i + 1]});
    stroke(c, segs, colour, line_width);
  });
}

void ui2d_rrect(ui2d_canvas* c, int fill, int outline, double x, double y, double w, double h,
                double radius, double line_width) {
  if (!c) return;
  guarded([&] {
    auto p = rrect_points(x, y, w, h, radius);
    if (fill != UI2D_NONE) fill_polygon(c, p.data(), int(p.size()), solid(fill));
    if (outline != UI2D_NONE) stroke(c, ring(p), outline, line_width);
  });
}

void ui2d_rrect_fill_alpha(ui2d_canvas* c, int fill, int alpha, double x, double y, double w,
                           double h, double radius) {
  if (!c || fill == UI2D_NONE) return;
  guarded([&] {
    auto p = rrect_points(x, y, w, h, radius);
    fill_polygon(c, p.data(), int(p.size()), solid(fill, alpha));
  });
}

void ui2d_circle(ui2d_canvas* c, int fill, int outline, double cx, double cy, double r,
                 double line_width) {
  if (!c || !(r > 0)) return;
  guarded([&] {
    if (fill != UI2D_NONE)
      scan(c, cy - r, cy + r, solid(fill), [&](double ys) {
        double d = ys - cy;
        if (std::fabs(d) < r) {
          double half = std::sqrt(r * r - d * d);
          spans.push_back({cx - half, cx + half});
        }
      });
    if (outline == UI2D_NONE) return;
    int k = std::clamp(int(std::ceil(1.5 * r)), 12, 220);
    std::vector<ui2d_point> p;
    for (int i = 0; i < k; ++i) {
      double t = 2 * M_PI * i / k;
      p.push_back({cx + r * std::cos(t), cy + r * std::sin(t)});
    }
    stroke(c, ring(p), outline, line_width);
  });
}
