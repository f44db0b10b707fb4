// Fuzz target: reading a level map out of game memory that a corrupted game
// may have filled with anything. The input gives the section number, a mode
// byte, the level table, the spawn table and the map bytes. Memory beyond
// them is zero, or with the mode byte $F1 filled with $F1, so that an object
// list of installations runs up to the end of memory (kept to that one mode,
// whose inputs take the longest). A level that is
// read must hold together: whole rows, a placement for every object, the
// indices of every tile and block it uses; small ones are also drawn.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "graphics/level.h"
#include "machine/memory.h"

namespace {

constexpr size_t header = 3;
constexpr uint8_t long_list_mode = 0xF1;
constexpr size_t max_map_bytes = 0x10000;
constexpr size_t spawn_bytes = 4 * placement_count;
constexpr int largest_drawn = 64;  // rows

void check(const parsed_level* level) {
    if (level->rows < 1 || level->rows > level_max_rows) std::abort();
    if (level->cells.size() != static_cast<size_t>(level->rows + level_lead_rows) * level_columns) std::abort();
    if (level->height != (level->rows + level_lead_rows) * ground_tile_height) std::abort();
    for (const level_cell& cell : level->cells) {
        if (cell.ground < 0 || cell.ground >= ground_tile_count) std::abort();
        if (level->ground[cell.ground].size() != ground_tile_pixels) std::abort();
        if (cell.codes.size() != cell.placements.size()) std::abort();
        for (uint8_t code : cell.codes)
            if (code == 0 || level->objects[object_block_of(code)].size() != object_block_pixels) std::abort();
    }
    for (const level_placement& p : level->placement)
        if (p.x < 0 || p.x >= ground_tile_width || p.y < 0) std::abort();
    if (level_identity(level) == 0) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < header) return 0;
    const int section = data[0] << 8 | data[1];
    // Clearing all 4 MB costs more than a parse: only what the last input
    // wrote is cleared, unless it filled everything.
    static bool all_filled = true;
    const bool long_list = data[2] == long_list_mode;
    if (long_list || all_filled) {
        std::memset(ram, long_list ? long_list_mode : 0, ram_size);
    } else {
        std::memset(ram + level_table_address, 0, level_table_bytes);
        std::memset(ram + spawn_table_address, 0, spawn_bytes);
        std::memset(ram + level_data_address, 0, max_map_bytes);
    }
    all_filled = long_list;
    data += header, size -= header;
    const size_t table = size < level_table_bytes ? size : level_table_bytes;
    std::memcpy(ram + level_table_address, data, table);
    data += table, size -= table;
    const size_t spawn = size < spawn_bytes ? size : spawn_bytes;
    std::memcpy(ram + spawn_table_address, data, spawn);
    data += spawn, size -= spawn;
    std::memcpy(ram + level_data_address, data, size < max_map_bytes ? size : max_map_bytes);

    parsed_level* level = parse_level(section);
    if (!level) return 0;
    check(level);
    const bool small = level->rows <= largest_drawn;
    level_free(level);
    if (!small) return 0;
    uint8_t palette[32] = {};
    int height = 0, highest = -1;
    uint8_t* rgb = level_dump_rgb(section, palette, &height, &highest);
    if (!rgb || height % ground_tile_height || highest < 0 || highest >= ground_tile_count) std::abort();
    std::free(rgb);
    return 0;
}
