// Sheets of the graphics dump: every frame of the game's sprite tables, the
// two dot bullets, the ground blocks and object tiles of each tile set, and
// the font, decoded from the memory image of each mission and laid out in
// cells whose content hash the graphics packs look up.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "graphics/content_hash.h"
#include "graphics/dump_work.h"
#include "graphics/sprite.h"
#include "machine/memory.h"

namespace {

// How a table's lines are laid out.
enum row_layout { PAIRED,   // 32 px, words plane 0 left, plane 0 right, plane 1 left, ...; colour 0 clear
                                    GROUPED };  // groups of 3 or 4 plane words, each with a mode letter

struct sprite_row {
    const char* name;
    int frames, cols;
    const char* unit;
    u32 table, stride;
    int rows;
    row_layout layout;
    int planes;       // words per group (GROUPED)
    bool force3;      // drawn pixels get index | 8
    const char* modes;  // one letter per 16-px group: m = colour 0 clear, r = every pixel drawn
    const char* format;
    const char* note;
};

constexpr sprite_row SPRITES[] = {
        {"player", 92, 8, "player", 0x2F91C, 0x190, 25, PAIRED, 4, false, "mm",
          "per row 4 long words = bitplanes 0-3; high word = left 16 px, low word = right 16 px; colour 0 = transparent",
          "two soldiers (blond and dark-haired): walking, aiming, firing and death animations"},
        {"enemy", 39, 8, "enemy", 0x5E60A, 0x84, 22, GROUPED, 3, true, "m",
          "per row 3 words = bitplanes 0-2 (16 px); plane 3 is set wherever any bit is set (colours 9-15); 0 = "
          "transparent",
          "the game also keeps 7 copies shifted by 2 px steps (stride $2838 per step) derived from these frames"},
        {"shots", 29, 8, "obj5e32", 0x4694A, 0x36, 9, GROUPED, 3, true, "m",
          "per row 3 words = bitplanes 0-2 (16 px); plane 3 forced; 0 = transparent",
          "projectiles, grenades, rockets, sparks"},
        {"shots_b", 29, 8, "obj5f1a", 0x4694A, 0x36, 9, GROUPED, 3, false, "m",
          "same table as \"shots\" but routine $5F1A clears plane 3 (colours 1-7 instead of 9-15)",
          "the same drawings in the low colour bank"},
        {"turrets", 6, 6, "turret", 0x45736, 0x200, 32, PAIRED, 4, false, "mm",
          "per row 2 groups of 16 px; the 8 words are interleaved (g0p0 g1p0 g0p1 g1p1 g0p2 g1p2 g0p3 g1p3); colour 0 "
          "= transparent",
          "fixed mines and gun emplacements (object list $18E6, frame = type - $F0): bunker, dome, camouflaged bush, "
          "turret, spiked mine, wreck"},
        {"fx", 12, 6, "fx", 0x49A3A, 0x80, 16, GROUPED, 4, false, "m",
          "per row 4 words = bitplanes 0-3 (16 px); 0 = transparent", "smoke / dust / sparks (effects)"},
        {"boom", 11, 4, "boom", 0x388DC, 0x108, 22, GROUPED, 3, false, "mm",
          "per row 2 groups of 3 words = bitplanes 0-2 (32 px); plane 3 = 0; 0 = transparent (dithered)", "explosion"},
        {"vehicle_a", 2, 2, "veh", 0x3D3FC, 0xB40, 90, GROUPED, 4, false, "mrrm",
          "per row 4 groups of 16 px x 4 planes: masked, raw, raw, masked", "vehicle (types 0-1): intact, destroyed"},
        {"vehicle_b", 2, 2, "veh", 0x3F07C, 0xB40, 90, GROUPED, 4, false, "mrrm", "same as vehicle_a",
          "vehicle (types 2+): intact, destroyed"},
        {"vehicle_c", 2, 2, "veh6", 0x3EA7C, 0x300, 48, GROUPED, 4, false, "mm",
          "per row 2 groups of 16 px x 4 planes, masked", "small vehicle (type 6)"},
        {"vehicle_d", 2, 2, "veh4", 0x406FC, 0x5E8, 63, GROUPED, 4, false, "mmm",
          "per row 3 groups of 16 px x 4 planes, masked", "large vehicle (type 4)"},
};

constexpr u32 ground_table = 0x5649A, ground_stride = 0x400;
constexpr u32 object_table = 0x57C9A, object_stride = 0x80;
constexpr int object_tiles = 210;
constexpr size_t tile_set_bytes = 33024;  // ground blocks and map stamps
constexpr u32 font_table = 0x8700;

// A word of the memory image; nothing lies beyond its 4 MB.
unsigned word_at(const u8* mem, u32 address) {
    if (address > ram_size - 2) return 0;
    return static_cast<unsigned>(mem[address]) << 8 | mem[address + 1];
}

dump_frame decode(const u8* mem, const sprite_row& row, int n) {
    const int groups = static_cast<int>(std::strlen(row.modes));
    const int line_bytes = row.layout == PAIRED ? 16 : groups * row.planes * 2;
    dump_frame f;
    f.width = groups * 16;
    f.height = row.rows;
    f.idx.assign(size_t(f.width) * f.height, 0);
    f.mask.assign(f.idx.size(), 0);
    const u32 base = row.table + static_cast<u32>(n) * row.stride;
    for (int y = 0; y < row.rows; ++y) {
        const u32 line = base + static_cast<u32>(y * line_bytes);
        for (int g = 0; g < groups; ++g) {
            unsigned words[4] = {};
            for (int p = 0; p < row.planes; ++p)
                words[p] = row.layout == PAIRED ? word_at(mem, line + 2 * (2 * p + g))
                                                                                : word_at(mem, line + 2 * (g * row.planes + p));
            for (int x = 0; x < 16; ++x) {
                int index = 0;
                for (int p = 0; p < row.planes; ++p) index |= ((words[p] >> (15 - x)) & 1) << p;
                if (row.modes[g] != 'r' && index == 0) continue;
                const size_t at = size_t(y) * f.width + g * 16 + x;
                f.idx[at] = static_cast<u8>(row.force3 ? index | 8 : index);
                f.mask[at] = 1;
            }
        }
    }
    return f;
}

std::vector<int> numbers_of(const std::vector<int>& missions) {
    std::vector<int> out;
    for (int m : missions) out.push_back(m + 1);
    return out;
}

const u8* palette_of(const dump_work& w, int mission) { return w.mission_palettes[mission].data(); }

void write_sprite_row(dump_work& w, const sprite_row& row, const std::vector<int>& members, const char* name) {
    std::vector<dump_frame> frames;
    for (int n = 0; n < row.frames; ++n) frames.push_back(decode(w.mission_ram[members[0]].data(), row, n));
    const int cell_w = frames[0].width + 8, cell_h = frames[0].height + 8;
    std::vector<sheet_cell> cells;
    std::vector<u8> rgba;
    int width = 0, height = 0;
    make_sheet(frames, row.cols, cell_w, cell_h, dump_margin, palette_of(w, members[0]), true, cells, rgba, width,
                          height);
    for (sheet_cell& c : cells) {
        if (!c.content) continue;
        std::snprintf(c.key, sizeof c.key, "%d", c.i);
        std::snprintf(c.mem, sizeof c.mem, "$%X+%d*$%X", row.table, c.i, row.stride);
    }
    save_rgba(w, std::string(name) + ".png", rgba.data(), width, height);
    sheet_member(w, name);
    sb_add(w.sheets,
                  ":{\"kind\":\"sprite\",\"width\":%d,\"height\":%d,\"cell\":[%d,%d],\"cols\":%d,\"margin\":%d,"
                  "\"units\":[\"%s\"],\"missions\":",
                  width, height, cell_w, cell_h, row.cols, dump_margin, row.unit);
    sb_int_list(w.sheets, numbers_of(members));
    sb_add(w.sheets, ",\"palette_mission\":%d,\"memory\":{\"table\":\"$%X\",\"stride\":\"$%X\",\"rows\":%d,\"format\":",
                  members[0] + 1, row.table, row.stride, row.rows);
    sb_str(w.sheets, row.format);
    w.sheets += ",\"note\":";
    sb_str(w.sheets, row.note);
    w.sheets += "},\"cells\":";
    sb_cells(w.sheets, cells);
    w.sheets += '}';
    dump_say("%s", name);
}

} // namespace

uint64_t fnv1a64(uint64_t h, const u8* bytes, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        h ^= bytes[i];
        h *= 0x100000001B3ull;
    }
    return h;
}

std::vector<std::vector<int>> make_groups(const std::array<uint64_t, dump_missions>& values) {
    std::vector<std::vector<int>> groups;
    std::vector<uint64_t> seen;
    for (int m = 0; m < dump_missions; ++m) {
        const auto at = std::find(seen.begin(), seen.end(), values[m]);
        if (at == seen.end()) {
            seen.push_back(values[m]);
            groups.push_back({m});
        } else {
            groups[at - seen.begin()].push_back(m);
        }
    }
    return groups;
}

void make_sheet(const std::vector<dump_frame>& frames, int cols, int cell_w, int cell_h, int margin,
                                const u8* palette_rgb, bool sprite_hash, std::vector<sheet_cell>& cells, std::vector<u8>& rgba,
                                int& width, int& height) {
    const int count = static_cast<int>(frames.size());
    width = cols * cell_w;
    height = cell_h * ((count + cols - 1) / cols);
    rgba.assign(size_t(width) * height * 4, 0);
    cells.assign(frames.size(), sheet_cell{});
    for (int i = 0; i < count; ++i) {
        const dump_frame& f = frames[i];
        sheet_cell& c = cells[i];
        c.i = i;
        const int ox = margin + (i % cols) * cell_w, oy = margin + (i / cols) * cell_h;
        int x0 = f.width, y0 = f.height, x1 = -1, y1 = -1;
        for (int y = 0; y < f.height; ++y)
            for (int x = 0; x < f.width; ++x) {
                const size_t at = size_t(y) * f.width + x;
                if (!f.mask[at]) continue;
                x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
                const int sx = ox + x, sy = oy + y;
                if (sx >= width || sy >= height) continue;
                u8* px = &rgba[(size_t(sy) * width + sx) * 4];
                std::memcpy(px, palette_rgb + 3 * (f.idx[at] & 15), 3);
                px[3] = 255;
            }
        if (x1 < 0) continue;
        c.content = 1;
        c.frame[0] = f.width, c.frame[1] = f.height;
        c.crop[0] = x0, c.crop[1] = y0, c.crop[2] = x1 - x0 + 1, c.crop[3] = y1 - y0 + 1;
        if (sprite_hash) {
            sprite* spr = crop(f.idx.data(), f.mask.data(), f.height, f.width, 0, 0);
            gfx_sprite_hash(spr, c.hash);
            sprite_unref(spr);
        } else {
            gfx_array_hash(f.idx.data(), f.height, f.width, c.hash);
        }
    }
}

void dump_sprites(dump_work& w) {
    for (const sprite_row& row : SPRITES) {
        std::array<uint64_t, dump_missions> values{};
        for (int m = 0; m < dump_missions; ++m) {
            uint64_t h = fnv_start;
            for (int n = 0; n < row.frames; ++n) {
                const dump_frame f = decode(w.mission_ram[m].data(), row, n);
                h = fnv1a64(h, f.idx.data(), f.idx.size());
                h = fnv1a64(h, f.mask.data(), f.mask.size());
            }
            values[m] = h;
        }
        const auto groups = make_groups(values);
        for (size_t g = 0; g < groups.size(); ++g) {
            char name[64];
            if (groups.size() == 1)
                std::snprintf(name, sizeof name, "sprites/%s", row.name);
            else
                std::snprintf(name, sizeof name, "sprites/%s_%d", row.name, static_cast<int>(g + 1));
            write_sprite_row(w, row, groups[g], name);
        }
    }
}

void dump_bullets(dump_work& w) {
    struct bullet {
        const char* key;
        const char* unit;
        u8 index;
        bool narrow;
    };
    constexpr bullet bullets[] = {{"bullet:0", "bullet", 8, false},
                                                                {"bullet:7", "bullet", 8, true},
                                                                {"bullet2:0", "bullet2", 0, false},
                                                                {"bullet2:7", "bullet2", 0, true}};
    std::vector<dump_frame> frames;
    for (const bullet& b : bullets) {
        dump_frame f;
        f.width = f.height = 2;
        f.idx.assign(4, b.index);
        f.mask = b.narrow ? std::vector<u8>{1, 0, 1, 0} : std::vector<u8>{1, 1, 1, 1};
        frames.push_back(f);
    }
    std::vector<sheet_cell> cells;
    std::vector<u8> rgba;
    int width = 0, height = 0;
    make_sheet(frames, 8, 10, 10, dump_margin, palette_of(w, 0), true, cells, rgba, width, height);
    for (size_t i = 0; i < cells.size(); ++i) {
        std::snprintf(cells[i].key, sizeof cells[i].key, "%s", bullets[i].key);
        cells[i].unit = bullets[i].unit;
    }
    save_rgba(w, "sprites/bullets.png", rgba.data(), width, height);
    sheet_member(w, "sprites/bullets");
    sb_add(w.sheets,
                  ":{\"kind\":\"sprite\",\"width\":%d,\"height\":%d,\"cell\":[10,10],\"cols\":8,\"margin\":%d,"
                  "\"units\":[\"bullet\",\"bullet2\"],\"missions\":[1,2,3,4,5,6,7,8,9,10,11,12],\"palette_mission\":1,"
                  "\"memory\":{\"note\":\"no table: routines $6848 and $68DC clear/set 2x2 px with bit masks (colour 8 and "
                  "colour 0)\"},\"cells\":",
                  width, height, dump_margin);
    sb_cells(w.sheets, cells);
    w.sheets += '}';
    dump_say("sprites/bullets");
}

namespace {

// Tiles of one table: `lines` lines of `groups` 16-px groups, 4 planes.
dump_frame tile_at(const u8* mem, u32 address, int lines, int groups, bool all_drawn) {
    dump_frame f;
    f.width = groups * 16;
    f.height = lines;
    f.idx.assign(size_t(f.width) * lines, 0);
    const size_t bytes = size_t(lines) * groups * 8;
    if (address + bytes <= ram_size) planes_to_idx(mem + address, lines, groups, f.idx.data());
    f.mask.resize(f.idx.size());
    for (size_t i = 0; i < f.idx.size(); ++i) f.mask[i] = all_drawn || f.idx[i] != 0;
    return f;
}

void write_tile_sheet(dump_work& w, const char* name, const std::vector<dump_frame>& frames, int cols, int cell_w,
                                            int cell_h, const char* mem_format, const std::vector<int>& members) {
    std::vector<sheet_cell> cells;
    std::vector<u8> rgba;
    int width = 0, height = 0;
    make_sheet(frames, cols, cell_w, cell_h, 0, palette_of(w, members[0]), false, cells, rgba, width, height);
    for (sheet_cell& c : cells) {
        if (!c.content) continue;
        std::snprintf(c.key, sizeof c.key, "%d", c.i);
        std::snprintf(c.mem, sizeof c.mem, mem_format, c.i);
    }
    save_rgba(w, std::string(name) + ".png", rgba.data(), width, height);
    sheet_member(w, name);
    sb_add(w.sheets,
                  ":{\"kind\":\"%s\",\"width\":%d,\"height\":%d,\"cell\":[%d,%d],\"cols\":%d,\"margin\":0,\"missions\":",
                  cell_w == 64 ? "ground" : "object", width, height, cell_w, cell_h, cols);
    sb_int_list(w.sheets, numbers_of(members));
    sb_add(w.sheets, ",\"palette_mission\":%d,\"cells\":", members[0] + 1);
    sb_cells(w.sheets, cells);
}

} // namespace

void dump_tiles(dump_work& w) {
    std::array<uint64_t, dump_missions> values{};
    for (int m = 0; m < dump_missions; ++m)
        values[m] = fnv1a64(fnv_start, w.mission_ram[m].data() + ground_table, tile_set_bytes);
    const auto groups = make_groups(values);
    for (size_t g = 0; g < groups.size(); ++g) {
        const std::vector<int>& members = groups[g];
        const u8* mem = w.mission_ram[members[0]].data();
        int gmax = 0;
        for (int m : members) gmax = std::max(gmax, w.used_gmax[m]);
        const int count = std::max(6, gmax + 1);
        std::vector<dump_frame> frames;
        for (int k = 0; k < count; ++k) frames.push_back(tile_at(mem, ground_table + k * ground_stride, 32, 4, true));
        char name[64];
        std::snprintf(name, sizeof name, "tiles/ground_%d", static_cast<int>(g + 1));
        write_tile_sheet(w, name, frames, 6, 64, 32, "$5649A+%d*$400", members);
        w.sheets +=
                ",\"memory\":{\"table\":\"$5649A\",\"stride\":\"$400\",\"rows\":32,\"format\":\"32 lines x 4 groups of 16 "
                "px x 4 planes (64 px wide); in horizontal sections the left half (32 px) is repeated\",\"note\":\"6 ground "
                "blocks; the RAM that follows is the object tiles\"}}";
        frames.clear();
        for (int j = 0; j < object_tiles; ++j)
            frames.push_back(tile_at(mem, object_table + j * object_stride, 16, 1, false));
        std::snprintf(name, sizeof name, "tiles/objects_%d", static_cast<int>(g + 1));
        write_tile_sheet(w, name, frames, 16, 16, 16, "$57C9A+%d*$80", members);
        w.sheets +=
                ",\"memory\":{\"table\":\"$57C9A\",\"stride\":\"$80\",\"rows\":16,\"format\":\"16 lines x 4 planes of 16 "
                "px (8 bytes per line); colour 0 = transparent\",\"note\":\"210 tiles (indices 0-209); in the level map the "
                "code t is the index if t<=$7D and t-1 above that\"}}";
        dump_say("tiles %d", static_cast<int>(g + 1));
    }
}

void dump_font(dump_work& w, const u8* memory) {
    constexpr int width = 128, height = 32;
    std::vector<u8> rgba(size_t(width) * height * 4, 255);
    for (int k = 0; k < 64; ++k)
        for (int y = 0; y < 8; ++y) {
            const u8 bits = memory[font_table + k * 8 + y];
            for (int x = 0; x < 8; ++x) {
                const int px = (k % 16) * 8 + x, py = (k / 16) * 8 + y;
                rgba[(size_t(py) * width + px) * 4 + 3] = (bits >> (7 - x)) & 1 ? 255 : 0;
            }
        }
    save_rgba(w, "reference/font_8x8.png", rgba.data(), width, height);
}
