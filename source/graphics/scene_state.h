// Module state of the scene capture shared by its source files; emulation
// thread only.
#pragma once

#include "graphics/scene.h"

struct scene_module {
    scene_ops callbacks{};
    uint32_t last_vbl = static_cast<uint32_t>(-9999);
    int32_t nframes_since = 0;
    int32_t hs_previous = -1;
    int32_t hs_previous_valid = 0;
    int32_t hs_unwrapped = 0;
    open_unit open_units[max_open_units];
    std::vector<uint8_t> rebuild = std::vector<uint8_t>(scene_pixels);
};

extern scene_module g_scene;

// The inner window: a picture wholly inside it can be compared with the
// screen; the game clips pictures that reach beyond it.
bool inside_inner_window(int kind, int x, int y, const sprite* spr);
