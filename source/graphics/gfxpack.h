// Graphics packs: folders of PNG sheets beside the graphics dump that
// replace the game's sprites, ground and object tiles, the ground texture
// and whole fixed screens. A pack is loaded into a table of replacement
// cells keyed by kind and content hash and a list of full-screen layers;
// the renderer's hooks answer from them. Main thread, except the tile
// lookups, which level builders make from their own threads.
#pragma once

#include <cstdint>

#include "graphics/render.h"

// Reads assets/original/index.json and chooses a pack (wanted empty: the
// first pack, else "original"). 1 when the index is usable; 0 when it is
// missing, of another format, or BKM_ASSETS starts with '0'.
int gfxpack_init(const char* assets, int scale, const char* wanted);
// Points the renderer's and the presenter's hooks at the pack callbacks
// when the index is usable, the level hook at the level pictures, and gives
// the level pictures the pack's tiles and builder count.
void gfxpack_attach();
// "original" when no pack is in use.
const char* gfxpack_name();
int gfxpack_replaced();
int gfxpack_list_count();
const char* gfxpack_list_name(int i);
// Makes name current and reloads; the caller tells the presenter.
void gfxpack_select(const char* name);
// Lists the packs again and reloads the current one.
void gfxpack_reload();
int gfxpack_has_tiles();
int gfxpack_has_layers();
// Level builders running on other threads (+1 at a start, -1 at an end):
// while any runs, released pictures are kept until the last ends.
void gfxpack_builders(int delta);
// The reload itself; the caller holds the pack lock.
void rescan_locked();

// The renderer's hooks.
int cb_sprite(const sprite* spr, int scale, pack_picture* out, int line);
int cb_texture(const uint8_t (*strip)[strip_size], int scale, const uint8_t** out_rgb);
void cb_hud(uint8_t* rgb, const uint8_t* indices, const palette_zone* zones, int zone_count, int scale);
// The presenter's hook over fixed screens.
void present_static_hook(const uint8_t* indices, const palette_zone* zones, int zone_count, int scale,
                         uint8_t* rgb);
// Replacement tiles for level builders: RGBA of (64 x scale) by (32 x
// scale), or (16 x scale) squared, valid while the builder runs; null when
// the pack has none.
const uint8_t* gfxpack_ground_rgba(const uint8_t* indices, int scale);
const uint8_t* gfxpack_object_rgba(const uint8_t* indices, int scale);
