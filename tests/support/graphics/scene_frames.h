// Hand-made captured frames for presenter and renderer tests: solid
// screens, rings and strips, palettes with one colour per index, and units
// with solid pictures.
#pragma once
#include <cstring>

#include "graphics/scene.h"

inline void palette_set(u8* palette, int index, u16 word) {
    palette[2 * index] = static_cast<u8>(word >> 8);
    palette[2 * index + 1] = static_cast<u8>(word);
}

// A distinct STE colour for each index: red = index, green = 15 - index,
// blue = index / 2 (4-bit STE levels written as ST bits + extra bit).
inline u16 ste_word(int r, int g, int b) {
    auto gun = [](int level) { return static_cast<u16>((level >> 1) | (level & 1) << 3); };
    return static_cast<u16>(gun(r) << 8 | gun(g) << 4 | gun(b));
}
inline void test_palette(u8* palette) {
    for (int i = 0; i < 16; ++i) palette_set(palette, i, ste_word(i, 15 - i, i / 2));
}
// What the renderer shows for index i of test_palette.
inline void test_rgb(int index, u8* rgb) {
    rgb[0] = static_cast<u8>(index * 17);
    rgb[1] = static_cast<u8>((15 - index) * 17);
    rgb[2] = static_cast<u8>((index / 2) * 17);
}

// A frame of one zone (test_palette) with a screen of `screen_index`.
inline scene_frame* test_frame(u32 vbl, int bg_kind, int ring_row, int screen_index = 0) {
    scene_frame* f = frame_new();
    f->vbl = vbl;
    f->bg_kind = bg_kind;
    f->ring_row = ring_row;
    f->bg_captured = 1;
    std::memset(f->screen, screen_index, scene_pixels);
    f->zone_count = 1;
    test_palette(f->zones[0].palette);
    return f;
}

inline sprite* solid_sprite(int w, int h, int index, int hot_x = 0, int hot_y = 0) {
    sprite* s = sprite_new(w, h);
    std::memset(s->pixels, index, static_cast<size_t>(w) * h);
    std::memset(s->mask, 1, static_cast<size_t>(w) * h);
    s->hot_x = hot_x, s->hot_y = hot_y;
    return s;
}

// Appends a unit; the frame takes the sprite's reference. Draw and raw
// positions are the given ones.
inline scene_unit& add_unit(scene_frame* f, int kind, u32 object, double x, double y, sprite* spr) {
    scene_unit& u = f->units[f->unit_count];
    u = scene_unit{};
    u.kind = kind;
    u.object = object;
    u.x = static_cast<int>(x), u.y = static_cast<int>(y);
    u.order = f->unit_count;
    u.spr = spr;
    u.raw_x = u.filt_x = u.raw2_x = u.draw_x = static_cast<float>(x);
    u.raw_y = u.filt_y = u.raw2_y = u.draw_y = static_cast<float>(y);
    u.pred_x = u.pred_y = 1e30f;
    f->unit_count += 1;
    return u;
}
