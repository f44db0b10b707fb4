// The indexed picture the graphics subsystem passes around: palette indices
// and a drawn/transparent mask, reference-counted and shared between the
// emulation thread that makes it and the main thread that draws it.
#pragma once

#include <atomic>
#include <cstdint>

struct sprite {
    int32_t width;
    int32_t height;
    uint8_t* pixels;  // width x height palette indices 0..15, line after line
    uint8_t* mask;    // width x height bytes: 1 drawn, 0 transparent
    int32_t hot_x;    // added to the unit's x to give the left column
    int32_t hot_y;    // added to the unit's y to give the top line
    int32_t from_screen;  // 1 when cut from the screen, 0 for table pictures
    std::atomic<int32_t> refs;
    char hash[16];  // content hash, filled on first use by the graphics packs
    int32_t hash_valid;
};
