// The graphics packs' seams in the renderer: null while no pack is attached,
// so the game's own pictures are drawn.
#include "graphics/render.h"

int (*pack_sprite_cb)(const sprite* spr, int scale, pack_picture* out, int line) = nullptr;
void (*pack_hud_cb)(uint8_t* rgb, const uint8_t* indices, const palette_zone* zones, int zone_count, int scale) = nullptr;
int (*pack_texture_cb)(const uint8_t (*strip)[strip_size], int scale, const uint8_t** out_rgb) = nullptr;
int (*pack_level_cb)(int32_t level_id, const uint8_t* palette, int scale, const uint8_t** out_rgb, int* out_height,
                     int* out_level_value) = nullptr;
uint32_t pack_gen = 0;
