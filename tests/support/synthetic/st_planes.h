// Writes index pictures into the ST's bit-plane layouts, so graphics tests
// can build screens, background rings and the game's picture tables by hand:
// groups of 16 pixels in 4 planes (screen, ring, object stamps) or 3 planes
// (tables with a colour offset), and the 32-pixel player layout.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "machine/types.h"

// An index picture, line after line.
struct idx_picture {
    int width = 0, height = 0;
    std::vector<u8> px;
    idx_picture() = default;
    idx_picture(int w, int h, u8 fill = 0) : width(w), height(h), px(static_cast<std::size_t>(w) * h, fill) {}
    u8& at(int x, int y) { return px[static_cast<std::size_t>(y) * width + x]; }
    u8 at(int x, int y) const { return px[static_cast<std::size_t>(y) * width + x]; }
    void fill_rect(int x, int y, int w, int h, u8 index) {
        for (int j = y; j < y + h; ++j)
            for (int i = x; i < x + w; ++i) at(i, j) = index;
    }
};

// Stores the picture (width a multiple of 16) at `to`: each line is
// width / 16 groups of `planes` big-endian words (plane 0 first), lines
// `line_bytes` apart. With 3 planes bit 3 of each index is dropped.
void st_put_groups(u8* to, const idx_picture& pic, int planes, int line_bytes);

// Player layout: 32 pixels a line in 16 bytes, the words ordered plane 0 left
// group, plane 0 right group, plane 1 left, plane 1 right, ...
void st_put_player(u8* to, const idx_picture& pic);

// One pixel of a 4-plane screen of 160-byte lines (read-modify-write, the
// way the game's blitter leaves the other pixels of a group alone).
void st_set_pixel(u8* screen, int x, int y, int index);
int st_get_pixel(const u8* screen, int x, int y);
// The picture's pixels where `drawn` is true (index != transparent) drawn at
// (x, y) of the screen, clipped to 320 x 200.
void st_draw(u8* screen, const idx_picture& pic, int x, int y, int transparent = -1);
