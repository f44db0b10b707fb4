// The renderer: two captured frames A and B and a fraction t between them
// become one RGB picture of 320 x 200 game pixels at an integer output scale,
// redrawn from the frames' parts (base picture, background at the
// interpolated scroll, every unit at its interpolated position, residual
// pixels). Main thread only. Graphics packs plug in through the four hooks.
#pragma once

#include <cstdint>

#include "graphics/scene.h"

// A replacement picture of a graphics pack: RGBA at the output scale; size
// and offset in game pixels.
struct pack_picture {
    const uint8_t* rgba;
    int32_t width, height;
    int32_t x_offset, y_offset;
};

extern int (*pack_sprite_cb)(const sprite* spr, int scale, pack_picture* out, int line);
extern void (*pack_hud_cb)(uint8_t* rgb, const uint8_t* indices, const palette_zone* zones, int zone_count, int scale);
extern int (*pack_texture_cb)(const uint8_t (*strip)[strip_size], int scale, const uint8_t** out_rgb);
extern int (*pack_level_cb)(int32_t level_id, const uint8_t* palette, int scale, const uint8_t** out_rgb,
                            int* out_height, int* out_level_value);
// Raised by every graphics-pack reload; caches made for another generation
// are remade.
extern uint32_t pack_gen;

struct unit_track {
    int32_t used;
    int32_t kind;
    int32_t object;
    uint32_t vbl_a, vbl_b;
    float ax, ay, bx, by;
    float cx, cy;  // correction
};
constexpr int unit_track_slots = 256;

struct render_params {
    int32_t scale;
    int32_t interpolate;
    int32_t residual_layer;
    int32_t subpixel;
    unit_track* tracker;
    float tracker_decay;
    int32_t reserved;
};

void render(scene_frame* a, scene_frame* b, const render_params* params, uint8_t* output, double t);
void render_static(const uint8_t* indices, const palette_zone* zones, int zone_count, int scale, uint8_t* output);
void pal_to_rgb(const uint8_t* palette, uint8_t* out);

render_cache* fcache(scene_frame* frame, int scale);
void render_free_cache(scene_frame* frame);

unit_track* ust_find(unit_track* tracker, int kind, uint32_t object, int create);
