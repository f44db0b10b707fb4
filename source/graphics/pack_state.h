// What a loaded graphics pack holds, shared by the loader, the lookups and
// the layer drawing. The loader rebuilds it on the main thread under the
// pack lock; level builders read the tile records under the same lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "graphics/gfxpack.h"
#include "graphics/json_reader.h"

constexpr int pack_list_limit = 64;
constexpr int pack_name_limit = 95;
// A larger dump index is not read (the dump writes well under 1 MB).
constexpr size_t pack_index_largest = 16 << 20;
// A picture further than this from its sprite is off every screen; larger
// offsets from a hand-edited index are held here.
constexpr int32_t pack_offset_limit = 1 << 16;

// One replaced cell of a pack sheet.
struct pack_record {
    char kind;  // 's' sprite, 'g' ground, 'o' object, 'c' screen cell
    char hash[16];
    std::vector<uint8_t> pixels;  // RGBA, (cell_w x k) by (cell_h x k)
    int32_t cell_w, cell_h, k;
    int32_t crop_x, crop_y, margin;
    std::vector<uint8_t> scaled;  // sprites and tiles, RGBA at scaled_for
    int32_t scaled_for;
    pack_picture answer;
    std::vector<uint8_t> texture;  // ground texture, RGB at texture_for
    int32_t texture_for;
};

// A full-screen layer: where a dumped screen's indices still show, the
// pack's picture is drawn. Without a picture it only stands for a screen
// the pack leaves as it is.
struct pack_layer {
    int32_t x, y, width, height;
    int32_t order, ingame, mask_count, palette_sum;
    std::vector<uint8_t> indices;  // width x height
    std::vector<uint8_t> mask;     // 1 where the dump's sheet is opaque
    std::vector<uint8_t> picture;  // RGBA at pack_scale, or empty
    std::string name;
};

struct pack_state {
    std::string assets;
    json_value* index = nullptr;  // kept for the program's life
    std::vector<std::string> list;
    std::string current = "original";
    int scale = 1;
    int has_tiles = 0;
    std::vector<pack_record> reps;
    std::vector<int32_t> table;  // record numbers, -1 empty
    std::vector<pack_layer> layers;
};

extern pack_state pack;

// The lock that keeps a reload from changing what a level builder reads.
void pack_lock();
void pack_unlock();
// A buffer no longer used by the pack: freed now, or kept until the last
// running level builder ends.
void pack_release(std::vector<uint8_t>& buffer);

// The replacement table.
int32_t rep_find(char kind, const char* hash);
pack_record& rep_add(pack_record&& record);
void rep_clear();

// The pixels of a fixed screen that the game drew over the full-screen
// layer it best matches, gaps and small holes closed, as 320 x 200 bytes.
// False when no layer matches 90 % of the screen or one matches it all.
bool screen_difference(const uint8_t* screen, uint8_t* mask);
