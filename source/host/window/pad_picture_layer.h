// A thin drawing layer for the gamepad picture: shapes and text given in a
// fixed design space, drawn on a canvas at three times its resolution.
// Without a canvas (between pmb_end and the next pmb_begin) every call
// draws nothing.
#pragma once

#include <cstdint>

#include "host/window/ui2d.h"

inline constexpr double PMB_SCALE = 3.0;

// Makes the canvas for the design area starting at the origin.
void pmb_begin(double origin_x, double origin_y, double width, double height);
// The pixels (freed with free()), or null with a size of 0 x 0.
uint8_t* pmb_end(int* w, int* h);

void pmb_circle(int fill, int outline, double cx, double cy, double r, double line_width);
void pmb_rrect(int fill, int outline, double x, double y, double w, double h, double radius,
               double line_width);
void pmb_polygon(const ui2d_point* points, int n, int fill, int outline, double line_width);
void pmb_polyline(const ui2d_point* points, int n, int colour, double line_width);
void pmb_polygon_gradient(const ui2d_point* points, int n, int top, int bottom);
// Text drawn between these two calls lands only inside the design-space
// rectangle (a slot's box), however long it is.
void pmb_clip_begin(double x, double y, double w, double h);
void pmb_clip_end();
// A face by pixel height at three times the size.
ui2d_face* pmb_font(int weight, double size);
void pmb_font_free(ui2d_face* face);
// Text with its line's centre at middle (design units); returns the pen
// position after it in design units.
double pmb_text(ui2d_face* face, const char* text, int colour, int centred, double x,
                double middle);
// The advance width of a text in design units.
double pmb_text_w(ui2d_face* face, const char* text);
