// The gamepad picture's drawing layer: design coordinates minus the origin,
// times three, onto the 2D canvas.
#include "host/window/pad_picture_layer.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "host/window/ui2d_canvas.h"

namespace {

ui2d_canvas* canvas = nullptr;
double origin_x = 0, origin_y = 0;

// While a clip is open, text goes to a scratch canvas of the clip's size
// (pixel offset clip_x, clip_y), which is laid over the picture at its end.
ui2d_canvas* scratch = nullptr;
int clip_x = 0, clip_y = 0;

double cx(double x) { return (x - origin_x) * PMB_SCALE; }
double cy(double y) { return (y - origin_y) * PMB_SCALE; }

std::vector<ui2d_point> mapped(const ui2d_point* points, int n) {
  std::vector<ui2d_point> out(static_cast<size_t>(n > 0 ? n : 0));
  for (int i = 0; i < n; i++) out[static_cast<size_t>(i)] = {cx(points[i].x), cy(points[i].y)};
  return out;
}

}  // namespace

void pmb_begin(double ox, double oy, double width, double height) {
  ui2d_free(canvas);
  origin_x = ox;
  origin_y = oy;
  canvas = ui2d_new(static_cast<int>(std::lround(width * PMB_SCALE)),
                    static_cast<int>(std::lround(height * PMB_SCALE)));
}

uint8_t* pmb_end(int* w, int* h) {
  pmb_clip_end();
  *w = 0;
  *h = 0;
  if (!canvas) return nullptr;
  uint8_t* px = ui2d_take(canvas, w, h);
  canvas = nullptr;
  return px;
}

void pmb_circle(int fill, int outline, double x, double y, double r, double line_width) {
  if (!canvas) return;
  ui2d_circle(canvas, fill, outline, cx(x), cy(y), r * PMB_SCALE, line_width * PMB_SCALE);
}

void pmb_rrect(int fill, int outline, double x, double y, double w, double h, double radius,
               double line_width) {
  if (!canvas) return;
  ui2d_rrect(canvas, fill, outline, cx(x), cy(y), w * PMB_SCALE, h * PMB_SCALE,
             radius * PMB_SCALE, line_width * PMB_SCALE);
}

void pmb_polygon(const ui2d_point* points, int n, int fill, int outline, double line_width) {
  if (!canvas) return;
  std::vector<ui2d_point> p = mapped(points, n);
  ui2d_polygon(canvas, p.data(), n, fill, outline, line_width * PMB_SCALE);
}

void pmb_polyline(const ui2d_point* points, int n, int colour, double line_width) {
  if (!canvas) return;
  std::vector<ui2d_point> p = mapped(points, n);
  ui2d_polyline(canvas, p.data(), n, colour, line_width * PMB_SCALE);
}

void pmb_polygon_gradient(const ui2d_point* points, int n, int top, int bottom) {
  if (!canvas) return;
  std::vector<ui2d_point> p = mapped(points, n);
  ui2d_gradient(canvas, p.data(), n, top, bottom);
}

ui2d_face* pmb_font(int weight, double size) {
  if (!canvas) return nullptr;
  return ui2d_font_px(weight, size * PMB_SCALE);
}

// Faces belong to the canvas's shared cache.
void pmb_font_free(ui2d_face*) {}

double pmb_text(ui2d_face* face, const char* text, int colour, int centred, double x,
                double middle) {
  if (!canvas) return x;
  if (scratch) {
    double end = ui2d_text(scratch, face, text, colour, centred, cx(x) - clip_x, cy(middle) - clip_y);
    return (end + clip_x) / PMB_SCALE + origin_x;
  }
  double end = ui2d_text(canvas, face, text, colour, centred, cx(x), cy(middle));
  return end / PMB_SCALE + origin_x;
}

void pmb_clip_begin(double x, double y, double w, double h) {
  if (!canvas) return;
  ui2d_free(scratch);
  clip_x = static_cast<int>(std::floor(cx(x)));
  clip_y = static_cast<int>(std::floor(cy(y)));
  scratch = ui2d_new(static_cast<int>(std::ceil(cx(x + w))) - clip_x,
                     static_cast<int>(std::ceil(cy(y + h))) - clip_y);
}

void pmb_clip_end() {
  if (!scratch) return;
  int sw = 0, sh = 0, w = 0, h = 0;
  uint8_t* src = ui2d_px(scratch, &sw, &sh);
  uint8_t* dst = ui2d_px(canvas, &w, &h);
  for (int y = std::max(0, -clip_y); y < sh && clip_y + y < h; y++) {
    for (int x = std::max(0, -clip_x); x < sw && clip_x + x < w; x++) {
      const uint8_t* s = src + (size_t(y) * sw + x) * 4;
      int a = s[3];
      if (a == 0) continue;
      // The scratch pixels were blended onto transparent black: undo that
      // darkening to get the ink's colour back.
      auto ink = [a](int v) { return std::min(255, (v * 255 + a / 2) / a); };
      int colour = ink(s[0]) << 16 | ink(s[1]) << 8 | ink(s[2]);
      ui2d_blend(dst + (size_t(clip_y + y) * w + clip_x + x) * 4, colour, a);
    }
  }
  ui2d_free(scratch);
  scratch = nullptr;
}

double pmb_text_w(ui2d_face* face, const char* text) {
  if (!canvas) return 0;
  return ui2d_text_w(face, text) / PMB_SCALE;
}
