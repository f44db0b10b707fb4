// Shared between the renderer's source files.
#pragma once

#include "graphics/render.h"

// The two frames after the choice of the base frame, with the fraction.
struct frame_pair {
    const scene_frame* a;
    const scene_frame* b;
    const scene_frame* base;
    double t;
    int scale;
    bool interpolate;
};

// Output lines [first, end) of a zone at the scale, clipped to the picture.
void draw_zone_lines(const scene_frame* f, int scale, int zone, int* first, int* end);
void render_vertical_band(const frame_pair& fp, uint8_t* output);
void render_horizontal_band(const frame_pair& fp, uint8_t* output);
