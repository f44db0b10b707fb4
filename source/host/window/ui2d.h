// A small software renderer for the host's own pictures (menus, start-up
// screens, the gamepad picture): anti-aliased shapes and text into an RGBA
// buffer that the video output lays over the game. Main thread only.
//
// Coordinates are doubles in pixels, x to the right and y downward; pixel
// (i, j) covers the square from (i, j) to (i + 1, j + 1). Colours are
// 0xRRGGBB; -1 leaves that part undrawn. Null canvases and faces are
// accepted and draw nothing.
#pragma once

#include <cstdint>

struct ui2d_canvas;
struct ui2d_face;

struct ui2d_point {
  double x, y;
};

inline constexpr int UI2D_NONE = -1;
inline constexpr int UI2D_MAX_SIDE = 16384;

// ---- Canvas ------------------------------------------------------------------

// A transparent canvas; null when a side is outside 1..16,384 or memory is short.
ui2d_canvas* ui2d_new(int w, int h);
// Hands over the pixels (R, G, B, A, not premultiplied, rows top first; the
// caller frees them with free()) and frees the rest of the canvas.
uint8_t* ui2d_take(ui2d_canvas* canvas, int* w, int* h);
// The pixels and size, still owned by the canvas.
uint8_t* ui2d_px(ui2d_canvas* canvas, int* w, int* h);
void ui2d_free(ui2d_canvas* canvas);

// ---- Shapes ------------------------------------------------------------------

// Fills the pixels wholly inside the rectangle, not anti-aliased.
void ui2d_rect_fill(ui2d_canvas* canvas, int colour, int alpha, double x, double y, double w,
                    double h);
// Fills (n > 2, even-odd rule) and strokes the closed outline; n == 2 strokes
// the single segment.
void ui2d_polygon(ui2d_canvas* canvas, const ui2d_point* points, int n, int fill, int outline,
                  double line_width);
// Fills with a vertical gradient from the top colour at the lowest y of the
// points to the bottom colour at the highest.
void ui2d_gradient(ui2d_canvas* canvas, const ui2d_point* points, int n, int top, int bottom);
// Strokes the n - 1 segments of an open line with round ends.
void ui2d_polyline(ui2d_canvas* canvas, const ui2d_point* points, int n, int colour,
                   double line_width);
void ui2d_rrect(ui2d_canvas* canvas, int fill, int outline, double x, double y, double w,
                double h, double radius, double line_width);
void ui2d_rrect_fill_alpha(ui2d_canvas* canvas, int fill, int alpha, double x, double y,
                           double w, double h, double radius);
void ui2d_circle(ui2d_canvas* canvas, int fill, int outline, double cx, double cy, double r,
                 double line_width);

// ---- Text --------------------------------------------------------------------
// Weights: 0 regular, 1 bold, 2 bold thickened. Faces are cached and shared;
// callers never free them.

// The face whose line spans size pixels from ascent to descent.
ui2d_face* ui2d_font_px(int weight, double size);
// The face sized like a desktop font of that size (line height 1.33 x size).
ui2d_face* ui2d_font_gdi(int weight, double size);
void ui2d_font_free(ui2d_face* face);
int ui2d_font_height(const ui2d_face* face);
// The advance width of a UTF-8 text (bytes that are not UTF-8 read as
// Windows-1252).
double ui2d_text_w(ui2d_face* face, const char* text);
// Draws with the top of the line at top; returns the pen position after it.
double ui2d_text_top(ui2d_canvas* canvas, ui2d_face* face, const char* text, int colour, double x,
                     double top);
// Draws with the line's vertical centre at middle; centred: x is the
// horizontal centre. Returns the pen position after the text.
double ui2d_text(ui2d_canvas* canvas, ui2d_face* face, const char* text, int colour, int centred,
                 double x, double middle);
