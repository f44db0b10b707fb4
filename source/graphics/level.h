// Level pictures: a vertical section's whole map drawn as one RGB picture,
// for graphics packs that replace ground or object tiles (the renderer then
// scrolls that picture instead of the game's 192-pixel background ring).
// The map is read from the game's memory; each captured frame is tagged
// with the identity of its level on the emulation thread; pictures are built
// on worker threads and kept, the sixteen most recently used, for the main
// thread's lookups.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

#include "graphics/scene.h"

// Where the game keeps a vertical section's map and its tiles.
constexpr uint32_t level_table_address = 0x73BAE;
constexpr uint32_t level_data_address = 0x73BEE;
constexpr uint32_t spawn_table_address = 0x8D80;
constexpr uint32_t ground_blocks_address = 0x5649A;
constexpr uint32_t map_stamps_address = 0x57C9A;

constexpr int level_table_bytes = 64;
constexpr int level_columns = 3;         // cells of a map row
constexpr int level_lead_rows = 8;       // rows of the first cell's tile below the map
constexpr int level_max_rows = 4000;
constexpr int ground_tile_width = 64, ground_tile_height = 32;
constexpr int ground_tile_pixels = ground_tile_width * ground_tile_height;
constexpr int object_block_size = 16;
constexpr int object_block_pixels = object_block_size * object_block_size;
constexpr int ground_tile_count = 128, object_block_count = 256, placement_count = 64;
constexpr int level_kept_max = 24;
constexpr int level_cache_entries = 16;

struct level_cell {
    int32_t ground;  // tile number 0..127
    std::vector<uint8_t> codes;       // object codes in list order
    std::vector<uint8_t> placements;  // one placement byte per code
};

struct level_placement {
    int32_t used;
    int32_t x, y;  // inside the 64 x 32 tile
};

// A map read from the game's memory; reference-counted because a builder
// thread may still read a level that the list of kept levels has dropped.
struct parsed_level {
    int32_t id;
    int32_t section;
    int32_t rows;    // complete map rows read
    int32_t height;  // (rows + 8) x 32 game pixels
    std::vector<level_cell> cells;  // (rows + 8) x 3, lead-in rows first
    // Palette indices of each tile and object block the map uses; empty
    // when unused.
    std::array<std::vector<uint8_t>, ground_tile_count> ground;
    std::array<std::vector<uint8_t>, object_block_count> objects;
    std::array<level_placement, placement_count> placement;
    std::atomic<int32_t> refs;
};

// The object block an object code shows.
constexpr int object_block_of(int code) { return code > 125 ? code - 1 : code; }

// FNV-1a, 32 bits.
constexpr uint32_t fnv_basis = 0x811c9dc5u;
constexpr uint32_t fnv_add(uint32_t hash, const uint8_t* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i) hash = (hash ^ bytes[i]) * 16777619u;
    return hash;
}
uint32_t fnv_add_u32(uint32_t hash, uint32_t value);  // low byte first

// Emulation thread, at the close of a captured frame: stores the frame's
// level id, or leaves it 0.
void scene_check_level(scene_frame* frame);
// Forgets the last recognised level (a new capture segment begins).
void level_new_segment();

// A new level (one reference) read from the game's memory, its id not yet
// set; null when the map has no complete row or the section is outside
// 0..32767.
parsed_level* parse_level(int section);
// The level's identity: never 0; levels that would draw the same picture
// share it.
int32_t level_identity(const parsed_level* level);
// The kept level with that id, with a reference the caller gives back with
// level_free; null when none is kept.
parsed_level* level_find(int32_t id);
// Drops a reference; the last one frees the level. Null is allowed.
void level_free(parsed_level* level);

// Main thread: the ready picture of the level in that palette (16 ST colour
// words, 32 bytes) at that scale, 192 x scale pixels wide, RGB, its height
// in output pixels stored through out_height. Null while it is being built
// (a miss starts the build on a thread of its own), for an unknown level, or
// when every cache entry is still building.
const uint8_t* level_rgb(int32_t id, const uint8_t* palette, int scale, int* out_height);
// The renderer's pack_level_cb: 1 with the picture, its height in output
// pixels and the level's height in game pixels; 0 when the pack replaces no
// tile, the picture is not ready or the level is no longer kept.
int cb_level(int32_t id, const uint8_t* palette, int scale, const uint8_t** out_rgb, int* out_height,
             int* out_level_height);

// The graphics dump's entry: reads section n afresh and builds its picture at
// scale 1 on the calling thread, with the pack's tiles where it has them.
// Returns the picture (192 pixels wide, RGB, malloc'd: the caller frees it)
// with its height in pixels and the highest ground tile number the map uses
// (lead-in rows included); null when the map has no complete row or the
// memory can't be had.
uint8_t* level_dump_rgb(int section, const uint8_t* palette, int* out_height, int* out_highest_tile);

// Waits until no builder thread runs.
void level_wait_builders();
// Waits for the builders, then forgets every kept level, every cached
// picture and the recognition state (tests, shut-down).
void level_clear();
