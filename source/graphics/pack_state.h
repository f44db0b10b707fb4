// What a loaded graphics pack holds, shared by the loader, the lookups and
// the layer drawing. The loader rebuilds it on the main thread under the
// pack lock; level builders read the tile records under the same lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "graphics/gfxpack.h"

constexpr int pack_list_limit = 64;
constexpr int pack_name_limit = 95;
// A larger dump index is not read (the dump writes well under 1 MB).
constexpr size_t pack_index_largest = 16 << 20;
// A pack sheet is drawn at its dump sheet's size times a whole multiple up
// to this: 8 times a 320 x 200 screen is already 2560 x 1600.
constexpr int pack_largest_multiple = 8;
// What the pictures of the pack in use may hold in all, in bytes: its
// changed cells as cut from its sheets, its screens' pictures at the output
// scale and the dumped screens they stand among. A whole-game pack at 4
// times is a few hundred MB at most.
constexpr size_t pack_budget = size_t{512} << 20;
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

// One cell of a dump sheet that names a picture by its hash.
struct pack_cell {
    char hash[16];  // at most 15 characters kept
    int32_t i, crop_x, crop_y;
};

// What a reload reads of one sheet of the dump index.
struct pack_sheet {
    std::string name;
    int32_t width, height;  // the dump sheet's size
    int32_t cell_w, cell_h, cols, margin;
    char kind;    // 's', 'g', 'o', 'c'
    bool screen;  // "kind" is exactly "screen"
    std::string idx;  // the screen's indexed picture; empty when none is named
    int32_t x, y, order, ingame, palette_sum;
    std::vector<pack_cell> cells;
};

struct pack_state {
    std::string assets;
    // The dump index's sheets, in index order, read once at start-up; only
    // sheets with a cell to replace or a screen to stand for are kept. The
    // names of all of them, each ended by a NUL, tell packs from folders.
    bool indexed = false;
    std::vector<pack_sheet> sheets;
    std::string sheet_names;
    std::vector<std::string> list;
    std::string current = "original";
    int scale = 1;
    int has_tiles = 0;
    std::vector<pack_record> reps;
    std::vector<int32_t> table;  // record numbers, -1 empty
    std::vector<pack_layer> layers;
    // The bytes the pack's pictures may hold, and what they hold.
    size_t budget = pack_budget;
    size_t held = 0;
};

extern pack_state pack;

// The lock that keeps a reload from changing what a level builder reads.
void pack_lock();
void pack_unlock();
// A buffer no longer used by the pack: freed now, or kept until the last
// running level builder ends.
void pack_release(std::vector<uint8_t>& buffer);

// Reads the dump index's text into the sheets; false when it is not of
// format 2 (the sheets are then empty).
bool pack_read_index(const char* text);

// The replacement table.
int32_t rep_find(char kind, const char* hash);
pack_record& rep_add(pack_record&& record);
void rep_clear();

// The pixels of a fixed screen that the game drew over the full-screen
// layer it best matches, gaps and small holes closed, as 320 x 200 bytes.
// False when no layer matches 90 % of the screen or one matches it all.
bool screen_difference(const uint8_t* screen, uint8_t* mask);
