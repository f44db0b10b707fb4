// The indexed picture the graphics subsystem passes around: palette indices
// and a drawn/transparent mask, reference-counted and shared between the
// emulation thread that makes it and the main thread that draws it.
#pragma once

#include <atomic>
#include <cstdint>

#include "machine/plane_lines.h"

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

// A sprite with zeroed pixels and mask and one reference; null when the
// memory cannot be had.
sprite* sprite_new(int width, int height);
// Both accept null; the last unreference frees the pictures and the record.
sprite* sprite_ref(sprite* spr);
void sprite_unref(sprite* spr);

// The bounding box of the mask's drawn pixels as a new sprite, its hot spot
// the origin plus the box's corner; null when nothing is drawn.
sprite* crop(const uint8_t* pixels, const uint8_t* mask, int lines, int width, int origin_x, int origin_y);

// The picture of a unit key taken from the game's own graphics tables in the
// memory image (type = the unit kind 0..11); null for an unknown type, an id
// outside the type's range, a table beyond the 4 MB image, or a picture
// without a drawn pixel. The caller owns the reference.
sprite* rom_sprite(int type, int id, int frame_byte);
