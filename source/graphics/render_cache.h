// What the renderer keeps per captured frame, so a frame shown over several
// display refreshes is converted once per scale and pack generation.
#pragma once

#include <cstdint>
#include <vector>

#include "graphics/render.h"

struct converted_background {
    uint8_t palette[32];
    int32_t width, height;  // RGB pixels
    std::vector<uint8_t> rgb;
};

struct residual_pixel {
    int16_t line, column;
    uint8_t rgb[3];
};

struct render_cache {
    int32_t scale;
    uint32_t gen;
    std::vector<uint8_t> base;  // RGB at the scale
    converted_background backgrounds[8];
    int32_t background_count;
    std::vector<residual_pixel> residual;
    bool residual_built;
};
