// Drawing a whole level: every map cell's ground tile with its objects on
// it, the first map row at the bottom of the picture and the map growing
// upward, from the pack's tiles where it has them and the game's otherwise.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "graphics/level_internal.h"
#include "graphics/level_pack.h"
#include "graphics/render.h"

level_pack_ops level_pack{};

namespace {

// One build's tiles at its scale, each made once.
struct tile_set {
    const parsed_level* level;
    int s;
    uint8_t colours[48];
    std::array<std::vector<uint8_t>, ground_tile_count> ground;   // RGB
    std::array<std::vector<uint8_t>, object_block_count> objects; // RGBA

    const std::vector<uint8_t>& ground_tile(int t) {
        std::vector<uint8_t>& out = ground[t];
        if (!out.empty()) return out;
        const int w = ground_tile_width * s, h = ground_tile_height * s;
        out.resize(static_cast<size_t>(w) * h * 3);
        const uint8_t* indices = level->ground[t].data();
        const uint8_t* pack = level_pack.ground_rgba ? level_pack.ground_rgba(indices, s) : nullptr;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                uint8_t* o = &out[(static_cast<size_t>(y) * w + x) * 3];
                const uint8_t* c = pack ? pack + (static_cast<size_t>(y) * w + x) * 4
                                        : colours + 3 * indices[(y / s) * ground_tile_width + x / s];
                o[0] = c[0], o[1] = c[1], o[2] = c[2];
            }
        return out;
    }

    const std::vector<uint8_t>& object_block(int b) {
        std::vector<uint8_t>& out = objects[b];
        if (!out.empty()) return out;
        const int w = object_block_size * s;
        const size_t bytes = static_cast<size_t>(w) * w * 4;
        const uint8_t* indices = level->objects[b].data();
        if (const uint8_t* pack = level_pack.object_rgba ? level_pack.object_rgba(indices, s) : nullptr) {
            out.assign(pack, pack + bytes);
            return out;
        }
        out.resize(bytes);
        for (int y = 0; y < w; ++y)
            for (int x = 0; x < w; ++x) {
                uint8_t* o = &out[(static_cast<size_t>(y) * w + x) * 4];
                const int index = indices[(y / s) * object_block_size + x / s];
                std::memcpy(o, colours + 3 * index, 3);
                o[3] = index ? 255 : 0;
            }
        return out;
    }
};

uint8_t blend(int src, int dst, int alpha) {
    // src x a / 255 + dst x (1 - a / 255) + 0.5, rounded down.
    return static_cast<uint8_t>((2 * (src * alpha + dst * (255 - alpha)) + 255) / 510);
}

// The object's block over the tile at game pixel (x, y), cut at the tile's
// edges.
void draw_object(std::vector<uint8_t>& tile, const std::vector<uint8_t>& block, int x, int y, int s) {
    const int tile_w = ground_tile_width * s, block_w = object_block_size * s;
    const int rows = std::min(object_block_size, ground_tile_height - y) * s;
    const int cols = std::min(object_block_size, ground_tile_width - x) * s;
    for (int j = 0; j < rows; ++j)
        for (int i = 0; i < cols; ++i) {
            const uint8_t* src = &block[(static_cast<size_t>(j) * block_w + i) * 4];
            uint8_t* dst = &tile[(static_cast<size_t>(y * s + j) * tile_w + x * s + i) * 3];
            const int a = src[3];
            if (a == 0) continue;
            if (a == 255) {
                std::memcpy(dst, src, 3);
                continue;
            }
            for (int k = 0; k < 3; ++k) dst[k] = blend(src[k], dst[k], a);
        }
}

} // namespace

void build(level_entry* entry, const parsed_level* level) {
    const int s = entry->scale;
    const int total_rows = level->rows + level_lead_rows;
    const size_t width = static_cast<size_t>(ring_width) * s;
    const size_t height = static_cast<size_t>(total_rows) * ground_tile_height * s;
    auto* picture = static_cast<uint8_t*>(std::calloc(width * height, 3));
    if (picture) {
        auto tiles = std::make_unique<tile_set>();
        tiles->level = level;
        tiles->s = s;
        pal_to_rgb(entry->palette, tiles->colours);
        std::vector<uint8_t> tile;
        const size_t tile_w = static_cast<size_t>(ground_tile_width) * s, tile_h = ground_tile_height * s;
        for (size_t n = 0; n < level->cells.size(); ++n) {
            const level_cell& cell = level->cells[n];
            tile = tiles->ground_tile(cell.ground);
            for (size_t k = 0; k < cell.codes.size(); ++k) {
                const level_placement& p = level->placement[cell.placements[k] & (placement_count - 1)];
                const int b = object_block_of(cell.codes[k]);
                if (!p.used || level->objects[b].empty()) continue;
                // x is a column of the tile by its making; y may lie below it.
                if (p.y >= ground_tile_height) continue;
                draw_object(tile, tiles->object_block(b), p.x, p.y, s);
            }
            const size_t row = n / level_columns, column = n % level_columns;
            const size_t top = (total_rows - 1 - row) * tile_h;
            for (size_t j = 0; j < tile_h; ++j)
                std::memcpy(picture + ((top + j) * width + column * tile_w) * 3, &tile[j * tile_w * 3], tile_w * 3);
        }
    }
    entry->picture = picture;
    entry->height = picture ? static_cast<int32_t>(height) : 0;
    entry->ready.store(1, std::memory_order_release);
}

uint8_t* level_dump_rgb(int section, const uint8_t* palette, int* out_height, int* out_highest_tile) {
    parsed_level* level = parse_level(section);
    if (!level) return nullptr;
    int highest = 0;
    for (const level_cell& cell : level->cells) highest = std::max(highest, cell.ground);
    level_entry entry{};
    std::memcpy(entry.palette, palette, sizeof entry.palette);
    entry.scale = 1;
    build(&entry, level);
    level_free(level);
    if (!entry.picture) return nullptr;
    if (out_height) *out_height = entry.height;
    if (out_highest_tile) *out_highest_tile = highest;
    return entry.picture;
}
