// Pictures of drawn units decoded straight from the game's graphics tables
// in the memory image, so the capture can explain what a drawing routine put
// on the screen without cutting it out pixel by pixel.
#include <array>
#include <cstring>
#include <vector>

#include "graphics/sprite.h"
#include "machine/memory.h"

namespace {

enum class layout { lines, player, dot };

struct table_type {
    layout how;
    int first_id, last_id;
    u32 base;      // picture 0's first line
    u32 base_alt;  // "veh" pictures from frame byte 1 on
    u32 stride;
    int lines, groups, planes, colour_offset;
    const char* modes;  // per group: 'm' colour 0 transparent, 'r' every pixel drawn
};

// Objects are placed with the playfield's top-left pixel (column 64, line 0)
// at (100, 100); players and installations use screen coordinates.
constexpr int object_origin_x = -36, object_origin_y = -100;

constexpr std::array<table_type, 12> types = {{
    {layout::lines, 0, 38, 0x5E60A, 0, 0x84, 22, 1, 3, 8, "m"},
    {layout::player, 0, 91, 0x2F91C, 0, 0x190, 25, 2, 4, 0, ""},
    {layout::dot, 0, 7, 0, 0, 0, 2, 0, 0, 0, ""},
    {layout::dot, 0, 7, 0, 0, 0, 2, 0, 0, 0, ""},
    {layout::lines, 0, 28, 0x4694A, 0, 0x36, 9, 1, 3, 8, "m"},
    {layout::lines, 0, 28, 0x4694A, 0, 0x36, 9, 1, 3, 0, "m"},
    {layout::lines, 0, 11, 0x49A3A, 0, 0x80, 16, 1, 4, 0, "m"},
    {layout::lines, 0, 1, 0x3EA7C, 0, 0x300, 48, 2, 4, 0, "mm"},
    {layout::lines, 0, 1, 0x406FC, 0, 0x5E8, 63, 3, 4, 0, "mmm"},
    {layout::lines, 0, 1, 0x3D3FC, 0x3F07C, 0xB40, 90, 4, 4, 0, "mrrm"},
    {layout::player, 240, 245, 0x45736, 0, 0x200, 32, 2, 4, 0, ""},
    {layout::lines, 0, 10, 0x388DC, 0, 0x108, 22, 2, 3, 0, "mm"},
}};

constexpr int turret_type = 10;
constexpr int player_width = 32, player_line_bytes = 16;

sprite* decode_lines(const table_type& t, u32 address) {
    const u32 line_bytes = static_cast<u32>(t.groups * t.planes * 2);
    if (static_cast<u64>(address) + static_cast<u64>(t.lines) * line_bytes > ram_size) return nullptr;
    const int width = 16 * t.groups;
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * t.lines), mask(pixels.size());
    for (int y = 0; y < t.lines; ++y) {
        const u8* line = ram + address + static_cast<u32>(y) * line_bytes;
        for (int g = 0; g < t.groups; ++g) {
            const u8* words = line + g * t.planes * 2;
            const bool opaque = t.modes[g] == 'r';
            for (int k = 0; k < 16; ++k) {
                int bits = 0;
                for (int p = 0; p < t.planes; ++p)
                    bits |= ((static_cast<int>(words[2 * p]) << 8 | words[2 * p + 1]) >> (15 - k) & 1) << p;
                if (bits == 0 && !opaque) continue;
                const size_t at = static_cast<size_t>(y) * width + 16 * g + k;
                pixels[at] = static_cast<uint8_t>(bits | (t.colour_offset == 8 ? 8 : 0));
                mask[at] = 1;
            }
        }
    }
    return crop(pixels.data(), mask.data(), t.lines, width, object_origin_x, object_origin_y);
}

// Words ordered plane 0 left group, plane 0 right group, plane 1 left, ...:
// each long of a line holds one plane of both groups.
sprite* decode_player(const table_type& t, u32 address, bool longs_checked_alone) {
    const u32 bytes = static_cast<u32>(t.lines) * player_line_bytes;
    if (!longs_checked_alone && static_cast<u64>(address) + bytes > ram_size) return nullptr;
    std::vector<uint8_t> pixels(static_cast<size_t>(player_width) * t.lines), mask(pixels.size());
    for (int y = 0; y < t.lines; ++y) {
        u32 planes[4];
        for (int p = 0; p < 4; ++p)
            planes[p] = ram_rd32(address + static_cast<u32>(y) * player_line_bytes + 4 * static_cast<u32>(p));
        for (int x = 0; x < player_width; ++x) {
            int bits = 0;
            for (int p = 0; p < 4; ++p) bits |= static_cast<int>(planes[p] >> (31 - x) & 1) << p;
            if (bits == 0) continue;
            const size_t at = static_cast<size_t>(y) * player_width + x;
            pixels[at] = static_cast<uint8_t>(bits);
            mask[at] = 1;
        }
    }
    return crop(pixels.data(), mask.data(), t.lines, player_width, 0, 0);
}

sprite* drawn_dot(int type, int id) {
    sprite* spr = sprite_new(id == 7 ? 1 : 2, 2);
    if (!spr) return nullptr;
    const size_t n = static_cast<size_t>(spr->width) * spr->height;
    std::memset(spr->pixels, type == 2 ? 8 : 0, n);
    std::memset(spr->mask, 1, n);
    spr->hot_x = object_origin_x;
    spr->hot_y = object_origin_y;
    return spr;
}

} // namespace

sprite* rom_sprite(int type, int id, int frame_byte) {
    if (type < 0 || type >= static_cast<int>(types.size())) return nullptr;
    const table_type& t = types[type];
    if (id < t.first_id || id > t.last_id) return nullptr;
    const u32 base = t.base_alt && frame_byte >= 1 ? t.base_alt : t.base;
    const u32 address = base + static_cast<u32>(id - t.first_id) * t.stride;
    switch (t.how) {
    case layout::dot: return drawn_dot(type, id);
    case layout::player: return decode_player(t, address, type != turret_type);
    case layout::lines: return decode_lines(t, address);
    }
    return nullptr;
}
