// Reading a vertical section's map out of the game's memory: cells of a
// ground tile and an object list, three to a row, with the tiles, object
// blocks and placements they use turned into palette indices. The map may
// be anything a corrupted game left there, so every read is bounded.
#include <cstring>

#include "graphics/level.h"
#include "graphics/level_internal.h"
#include "graphics/sprite.h"
#include "machine/memory.h"

namespace {

constexpr uint32_t last_cell_start = 0x3FFFF7;
constexpr uint8_t map_end = 0xFF;
constexpr uint8_t objects_follow = 0x80;
// Installation codes: the game reads an x and a y byte after each.
constexpr uint8_t first_installation = 241, last_installation = 244;
constexpr uint32_t ground_tile_bytes = 1024, object_block_bytes = 128;

struct map_reader {
    uint32_t at;
    bool has(uint32_t count) const { return static_cast<uint64_t>(at) + count <= ram_size; }
    uint8_t next() { return ram[at++]; }
};

// One cell at the reader; false when the map stops before the cell is whole.
bool read_cell(map_reader& r, level_cell& cell) {
    if (r.at > last_cell_start) return false;
    const uint8_t head = r.next();
    if (head == map_end) return false;
    cell.ground = head & 0x7F;
    cell.codes.clear();
    cell.placements.clear();
    if (!(head & objects_follow)) return true;
    for (;;) {
        if (!r.has(1)) return false;
        const uint8_t code = r.next();
        if (code == 0) return true;
        if (code >= first_installation && code <= last_installation) {
            // Its x and y bytes; a list cut by the end of memory stops at
            // the next read.
            r.at += 2;
            continue;
        }
        if (!r.has(1)) return false;
        cell.codes.push_back(code);
        cell.placements.push_back(r.next());
    }
}

void read_placements(parsed_level* level) {
    for (int q = 0; q < placement_count; ++q) {
        const uint8_t* e = ram + spawn_table_address + 4 * q;
        level_placement& p = level->placement[q];
        p.used = static_cast<int8_t>(e[0]) >= 0;
        p.x = (e[1] >> 3 & 3) * 16;
        p.y = (e[0] << 8 | e[1]) / 96;
    }
}

void convert_tiles(parsed_level* level) {
    for (const level_cell& cell : level->cells) {
        std::vector<uint8_t>& tile = level->ground[cell.ground];
        if (tile.empty()) {
            tile.resize(ground_tile_pixels);
            planes_to_idx(ram + ground_blocks_address + cell.ground * ground_tile_bytes, ground_tile_height,
                          ground_tile_width / 16, tile.data());
        }
        for (uint8_t code : cell.codes) {
            const int b = object_block_of(code);
            std::vector<uint8_t>& block = level->objects[b];
            if (!block.empty()) continue;
            block.resize(object_block_pixels);
            planes_to_idx(ram + map_stamps_address + b * object_block_bytes, object_block_size, 1, block.data());
        }
    }
}

} // namespace

uint32_t level_map_start(int section) {
    const uint32_t word_at = level_table_address + 2 * static_cast<uint32_t>(section);
    const auto offset = static_cast<int16_t>(ram[word_at] << 8 | ram[word_at + 1]);
    return static_cast<uint32_t>(static_cast<int64_t>(level_data_address) + offset);
}

uint32_t fnv_add_u32(uint32_t hash, uint32_t value) {
    const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                              static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    return fnv_add(hash, bytes, 4);
}

parsed_level* parse_level(int section) {
    if (section < 0 || section > 32767) return nullptr;
    map_reader r{level_map_start(section)};
    std::vector<level_cell> map;
    level_cell cell;
    while (map.size() < static_cast<size_t>(level_max_rows) * level_columns && read_cell(r, cell))
        map.push_back(cell);
    const int rows = static_cast<int>(map.size() / level_columns);
    if (rows == 0) return nullptr;

    auto* level = new parsed_level{};
    level->refs.store(1);
    level->section = section;
    level->rows = rows;
    level->height = (rows + level_lead_rows) * ground_tile_height;
    level->cells.reserve(static_cast<size_t>(rows + level_lead_rows) * level_columns);
    level_cell lead;
    lead.ground = map[0].ground;
    level->cells.assign(static_cast<size_t>(level_lead_rows) * level_columns, lead);
    level->cells.insert(level->cells.end(), map.begin(), map.begin() + rows * level_columns);
    read_placements(level);
    convert_tiles(level);
    return level;
}

int32_t level_identity(const parsed_level* level) {
    uint32_t h = fnv_add_u32(fnv_basis, static_cast<uint32_t>(level->section));
    for (const auto& tile : level->ground) h = fnv_add(h, tile.data(), tile.size());
    for (const auto& block : level->objects) h = fnv_add(h, block.data(), block.size());
    // The layout too: two maps of one tile set are different pictures.
    h = fnv_add_u32(h, static_cast<uint32_t>(level->rows));
    for (const level_cell& cell : level->cells) {
        h = fnv_add_u32(h, static_cast<uint32_t>(cell.ground));
        h = fnv_add_u32(h, static_cast<uint32_t>(cell.codes.size()));
        h = fnv_add(h, cell.codes.data(), cell.codes.size());
        h = fnv_add(h, cell.placements.data(), cell.placements.size());
    }
    for (const level_placement& p : level->placement) {
        h = fnv_add_u32(h, static_cast<uint32_t>(p.used));
        h = fnv_add_u32(h, static_cast<uint32_t>(p.x));
        h = fnv_add_u32(h, static_cast<uint32_t>(p.y));
    }
    return h == 0 ? 1 : static_cast<int32_t>(h);
}

void level_free(parsed_level* level) {
    if (level && level->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) delete level;
}
