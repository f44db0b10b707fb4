// The graphics dump's writers on hand-made memory images and screens: the
// sheets and their cells, the hashes the graphics packs will look up, the
// grouping of missions, the screen layers and index.json read back.
#include "graphics/dump_work.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "graphics/content_hash.h"
#include "graphics/json_reader.h"
#include "graphics/pack_state.h"
#include "graphics/png_codec.h"
#include "graphics/sprite.h"
#include "host/platform.h"
#include "machine/memory.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

namespace {

constexpr u8 bright_palette[32] = {0x07, 0x77, 0x07, 0x00, 0x00, 0x70, 0x00, 0x07, 0x07, 0x70, 0x07, 0x07,
                                   0x00, 0x77, 0x07, 0x77, 0x04, 0x44, 0x07, 0x40, 0x04, 0x70, 0x04, 0x07,
                                   0x07, 0x47, 0x07, 0x74, 0x04, 0x77, 0x07, 0x44};

void fill_random(u8* bytes, size_t n, uint32_t seed) {
    for (size_t i = 0; i < n; ++i) {
        seed = seed * 1664525u + 1013904223u;
        bytes[i] = static_cast<u8>(seed >> 24);
    }
}

struct picture {
    u8* pixels = nullptr;
    int width = 0, height = 0;
    explicit picture(const std::string& path, bool indexed = false) {
        pixels = indexed ? png_read_indexed(path.c_str(), &width, &height)
                         : png_read_rgba(path.c_str(), &width, &height);
    }
    ~picture() { std::free(pixels); }
    const u8* rgba(int x, int y) const { return pixels + (size_t(y) * width + x) * 4; }
};

struct json_doc {
    std::string text;
    json_value* root = nullptr;
    explicit json_doc(const std::string& path) : text(slurp(path)) {
        const char* cursor = text.c_str();
        root = jparse(&cursor);
    }
    ~json_doc() { jfree(root); }
    const json_value* sheet(const char* name) const { return jget(jget(root, "sheets"), name); }
};

int number(const json_value* v) {
    int n = -1;
    jint(v, &n);
    return n;
}

std::vector<int> numbers(const json_value* list) {
    std::vector<int> out;
    for (int i = 0; list && i < list->count; ++i) out.push_back(number(list->items[i]));
    return out;
}

std::string text_of(const json_value* v) { return v && v->type == JSON_STRING ? v->text : "<absent>"; }

const json_value* cell(const json_value* sheet, int i) { return jget(sheet, "cells")->items[i]; }

std::vector<std::string> sheet_names(const json_doc& doc) {
    std::vector<std::string> names;
    const json_value* sheets = jget(doc.root, "sheets");
    for (int i = 0; sheets && i < sheets->count; ++i) names.push_back(sheets->keys[i]);
    return names;
}

// Twelve missions with the same random tables and a bright palette.
struct DumpContents : ::testing::Test {
    temp_dir dir;
    std::unique_ptr<dump_work> w = std::make_unique<dump_work>();

    void SetUp() override {
        w->out_root = dir / "out";
        std::vector<u8> image(ram_size, 0);
        fill_random(image.data() + 0x8700, 64 * 8, 7);
        fill_random(image.data() + 0x2F000, 0x31000, 11);
        for (int m = 0; m < dump_missions; ++m) {
            w->mission_ram[m] = image;
            pal_cols(bright_palette, 16, w->mission_palettes[m].data());
        }
    }
    u8* mem(int mission, u32 address) { return w->mission_ram[mission].data() + address; }
    std::string path(const std::string& rel) const { return w->out_root + "/" + rel; }
};

TEST_F(DumpContents, SpriteCellsCarryTheHashesOfThePicturesTheGameDraws) {
    std::memset(mem(0, 0x5E60A + 3 * 0x84), 0, 0x84);  // an enemy frame without a drawn pixel
    for (int m = 1; m < dump_missions; ++m) w->mission_ram[m] = w->mission_ram[0];
    ASSERT_EQ(dump_write_all(*w), 1);
    json_doc doc(path("index.json"));
    EXPECT_EQ(number(jget(doc.root, "format")), 2);
    EXPECT_EQ(number(jget(doc.root, "margin")), 4);
    EXPECT_EQ(sheet_names(doc),
              (std::vector<std::string>{"sprites/player", "sprites/enemy", "sprites/shots", "sprites/shots_b",
                                        "sprites/turrets", "sprites/fx", "sprites/boom", "sprites/vehicle_a",
                                        "sprites/vehicle_b", "sprites/vehicle_c", "sprites/vehicle_d",
                                        "sprites/bullets", "tiles/ground_1", "tiles/objects_1"}));

    std::memcpy(ram, w->mission_ram[0].data(), ram_size);
    struct row {
        const char* sheet;
        int type, first_id, frame_byte, frames, cols, width, height;
        const char* mem1;
    };
    const row rows[] = {
        {"sprites/player", 1, 0, 0, 92, 8, 32, 25, "$2F91C+1*$190"},
        {"sprites/enemy", 0, 0, 0, 39, 8, 16, 22, "$5E60A+1*$84"},
        {"sprites/shots", 4, 0, 0, 29, 8, 16, 9, "$4694A+1*$36"},
        {"sprites/shots_b", 5, 0, 0, 29, 8, 16, 9, "$4694A+1*$36"},
        {"sprites/turrets", 10, 240, 0, 6, 6, 32, 32, "$45736+1*$200"},
        {"sprites/fx", 6, 0, 0, 12, 6, 16, 16, "$49A3A+1*$80"},
        {"sprites/boom", 11, 0, 0, 11, 4, 32, 22, "$388DC+1*$108"},
        {"sprites/vehicle_a", 9, 0, 0, 2, 2, 64, 90, "$3D3FC+1*$B40"},
        {"sprites/vehicle_b", 9, 0, 1, 2, 2, 64, 90, "$3F07C+1*$B40"},
        {"sprites/vehicle_c", 7, 0, 0, 2, 2, 32, 48, "$3EA7C+1*$300"},
        {"sprites/vehicle_d", 8, 0, 0, 2, 2, 48, 63, "$406FC+1*$5E8"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.sheet);
        const json_value* sheet = doc.sheet(r.sheet);
        ASSERT_NE(sheet, nullptr);
        const int cell_w = r.width + 8, cell_h = r.height + 8;
        EXPECT_EQ(numbers(jget(sheet, "cell")), (std::vector<int>{cell_w, cell_h}));
        EXPECT_EQ(number(jget(sheet, "width")), r.cols * cell_w);
        EXPECT_EQ(number(jget(sheet, "height")), cell_h * ((r.frames + r.cols - 1) / r.cols));
        EXPECT_EQ(numbers(jget(sheet, "missions")), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
        EXPECT_EQ(number(jget(sheet, "palette_mission")), 1);
        ASSERT_EQ(jget(sheet, "cells")->count, r.frames);
        EXPECT_EQ(text_of(jget(cell(sheet, 1), "mem")), r.mem1);
        EXPECT_EQ(text_of(jget(cell(sheet, 1), "key")), "1");
        picture png(path(std::string(r.sheet) + ".png"));
        ASSERT_NE(png.pixels, nullptr);
        EXPECT_EQ(png.width, number(jget(sheet, "width")));
        EXPECT_EQ(png.height, number(jget(sheet, "height")));
        for (int n = 0; n < r.frames; ++n) {
            sprite* spr = rom_sprite(r.type, r.first_id + n, r.frame_byte);
            const json_value* c = cell(sheet, n);
            if (!spr) {
                EXPECT_EQ(c->count, 1) << "frame " << n << " has no drawn pixel";
                continue;
            }
            char hash[GFX_HASH_TEXT];
            gfx_sprite_hash(spr, hash);
            EXPECT_EQ(text_of(jget(c, "hash")), hash) << "frame " << n;
            EXPECT_EQ(numbers(jget(c, "frame")), (std::vector<int>{r.width, r.height}));
            // The table pictures are cropped with the origin (-36, -100), the
            // player's and turrets' with (0, 0).
            const int ox = (r.type == 1 || r.type == 10) ? 0 : 36, oy = (r.type == 1 || r.type == 10) ? 0 : 100;
            const std::vector<int> crop = numbers(jget(c, "crop"));
            EXPECT_EQ(crop, (std::vector<int>{spr->hot_x + ox, spr->hot_y + oy, spr->width, spr->height}));
            // Each drawn pixel in its palette colour at its place on the sheet.
            const int cx = 4 + (n % r.cols) * cell_w + crop[0], cy = 4 + (n / r.cols) * cell_h + crop[1];
            for (int y = 0; y < spr->height; ++y)
                for (int x = 0; x < spr->width; ++x) {
                    const u8* px = png.rgba(cx + x, cy + y);
                    const int k = y * spr->width + x;
                    ASSERT_EQ(px[3], spr->mask[k] ? 255 : 0);
                    if (spr->mask[k]) {
                        ASSERT_EQ(0, std::memcmp(px, w->mission_palettes[0].data() + 3 * spr->pixels[k], 3));
                    }
                }
            sprite_unref(spr);
        }
    }
    EXPECT_EQ(jget(doc.sheet("sprites/enemy"), "cells")->items[3]->count, 1);
    // The rows' texts go into the index unchanged.
    const struct {
        const char* sheet;
        const char* format;
        const char* note;
    } texts[] = {
        {"sprites/enemy",
         "per row 3 words = bitplanes 0-2 (16 px); plane 3 is set wherever any bit is set (colours 9-15); 0 = "
         "transparent",
         "the game also keeps 7 copies shifted by 2 px steps (stride $2838 per step) derived from these frames"},
        {"sprites/shots", "per row 3 words = bitplanes 0-2 (16 px); plane 3 forced; 0 = transparent",
         "projectiles, grenades, rockets, sparks"},
        {"sprites/shots_b", "same table as \"shots\" but routine $5F1A clears plane 3 (colours 1-7 instead of 9-15)",
         "the same drawings in the low colour bank"},
        {"sprites/fx", "per row 4 words = bitplanes 0-3 (16 px); 0 = transparent", "smoke / dust / sparks (effects)"},
        {"sprites/boom", "per row 2 groups of 3 words = bitplanes 0-2 (32 px); plane 3 = 0; 0 = transparent (dithered)",
         "explosion"},
    };
    for (const auto& t : texts) {
        const json_value* memory = jget(doc.sheet(t.sheet), "memory");
        EXPECT_EQ(text_of(jget(memory, "format")), t.format) << t.sheet;
        EXPECT_EQ(text_of(jget(memory, "note")), t.note) << t.sheet;
    }

    const json_value* bullets = doc.sheet("sprites/bullets");
    const struct {
        const char* key;
        const char* unit;
        int type, id;
    } dots[] = {{"bullet:0", "bullet", 2, 0}, {"bullet:7", "bullet", 2, 7}, {"bullet2:0", "bullet2", 3, 0},
                {"bullet2:7", "bullet2", 3, 7}};
    for (int i = 0; i < 4; ++i) {
        sprite* spr = rom_sprite(dots[i].type, dots[i].id, 0);
        ASSERT_NE(spr, nullptr);
        char hash[GFX_HASH_TEXT];
        gfx_sprite_hash(spr, hash);
        sprite_unref(spr);
        EXPECT_EQ(text_of(jget(cell(bullets, i), "hash")), hash) << dots[i].key;
        EXPECT_EQ(text_of(jget(cell(bullets, i), "key")), dots[i].key);
        EXPECT_EQ(text_of(jget(cell(bullets, i), "unit")), dots[i].unit);
    }
    EXPECT_EQ(numbers(jget(bullets, "cell")), (std::vector<int>{10, 10}));
}

TEST_F(DumpContents, TileCellsHashTheBlocksAndTheGroundSheetGrowsWithTheBlocksUsed) {
    std::memset(mem(0, 0x57C9A + 5 * 0x80), 0, 0x80);  // an empty object tile
    for (int m = 1; m < dump_missions; ++m) w->mission_ram[m] = w->mission_ram[0];
    // Missions 7 and 9 have tiles of their own; mission 9's levels use
    // ground blocks up to 9.
    for (int m : {6, 8}) mem(m, 0x5649A)[17] ^= 0xFF;
    w->used_gmax[8] = 9;
    w->used_gmax[0] = 6;
    ASSERT_EQ(dump_write_all(*w), 1);
    json_doc doc(path("index.json"));
    const std::vector<std::string> names = sheet_names(doc);
    const std::vector<std::string> tiles(names.end() - 4, names.end());
    EXPECT_EQ(tiles, (std::vector<std::string>{"tiles/ground_1", "tiles/objects_1", "tiles/ground_2",
                                               "tiles/objects_2"}));
    const json_value* g1 = doc.sheet("tiles/ground_1");
    const json_value* g2 = doc.sheet("tiles/ground_2");
    EXPECT_EQ(numbers(jget(g1, "missions")), (std::vector<int>{1, 2, 3, 4, 5, 6, 8, 10, 11, 12}));
    EXPECT_EQ(numbers(jget(g2, "missions")), (std::vector<int>{7, 9}));
    EXPECT_EQ(number(jget(g2, "palette_mission")), 7);
    EXPECT_EQ(jget(g1, "cells")->count, 7);
    EXPECT_EQ(number(jget(g1, "height")), 64);
    EXPECT_EQ(jget(g2, "cells")->count, 10);
    EXPECT_EQ(number(jget(g2, "width")), 384);
    EXPECT_EQ(number(jget(g2, "height")), 64);
    picture sheet2(path("tiles/ground_2.png"));
    EXPECT_EQ(sheet2.width, 384);
    EXPECT_EQ(sheet2.height, 64);

    for (int k = 0; k < 10; ++k) {
        u8 idx[64 * 32];
        planes_to_idx(mem(6, 0x5649A + k * 0x400), 32, 4, idx);
        char hash[GFX_HASH_TEXT];
        gfx_array_hash(idx, 32, 64, hash);
        const json_value* c = cell(g2, k);
        EXPECT_EQ(text_of(jget(c, "hash")), hash) << "block " << k;
        EXPECT_EQ(text_of(jget(c, "mem")), "$5649A+" + std::to_string(k) + "*$400");
        EXPECT_EQ(numbers(jget(c, "crop")), (std::vector<int>{0, 0, 64, 32}));
    }
    const json_value* objects = doc.sheet("tiles/objects_1");
    ASSERT_EQ(jget(objects, "cells")->count, 210);
    EXPECT_EQ(number(jget(objects, "cols")), 16);
    EXPECT_EQ(number(jget(objects, "width")), 256);
    EXPECT_EQ(number(jget(objects, "height")), 224);
    EXPECT_EQ(text_of(jget(jget(objects, "memory"), "note")),
              "210 tiles (indices 0-209); in the level map the code t is the index if t<=$7D and t-1 above that");
    EXPECT_EQ(cell(objects, 5)->count, 1);
    u8 idx[16 * 16];
    planes_to_idx(mem(0, 0x57C9A + 7 * 0x80), 16, 1, idx);
    char hash[GFX_HASH_TEXT];
    gfx_array_hash(idx, 16, 16, hash);
    EXPECT_EQ(text_of(jget(cell(objects, 7), "hash")), hash);
    EXPECT_EQ(text_of(jget(cell(objects, 7), "key")), "7");
}

TEST_F(DumpContents, ASpriteTableThatDiffersInOneMissionGetsASheetPerGroup) {
    for (int m = 1; m < dump_missions; ++m) w->mission_ram[m] = w->mission_ram[0];
    mem(3, 0x49A3A)[0] ^= 0x80;  // the first effect frame of mission 4
    pal_cols(bright_palette + 2, 15, w->mission_palettes[3].data());
    ASSERT_EQ(dump_write_all(*w), 1);
    json_doc doc(path("index.json"));
    EXPECT_EQ(doc.sheet("sprites/fx"), nullptr);
    EXPECT_EQ(numbers(jget(doc.sheet("sprites/fx_1"), "missions")),
              (std::vector<int>{1, 2, 3, 5, 6, 7, 8, 9, 10, 11, 12}));
    EXPECT_EQ(numbers(jget(doc.sheet("sprites/fx_2"), "missions")), (std::vector<int>{4}));
    EXPECT_EQ(number(jget(doc.sheet("sprites/fx_2"), "palette_mission")), 4);
    EXPECT_NE(text_of(jget(cell(doc.sheet("sprites/fx_1"), 0), "hash")),
              text_of(jget(cell(doc.sheet("sprites/fx_2"), 0), "hash")));
    EXPECT_TRUE(file_exists(path("sprites/fx_2.png").c_str()));
    EXPECT_NE(doc.sheet("sprites/boom"), nullptr);
}

TEST_F(DumpContents, FontReadmeAndLevelPicturesAreReferences) {
    const u8 level[192 * 2 * 3] = {10, 20, 30};
    dump_level_picture(*w, 0, 1, level, 2);
    dump_level_picture(*w, 11, 3, level, 2);
    // A picture that cannot be written (a folder stands in its place) is
    // not named.
    port_mkdir(path("levels/mission05_section1.png").c_str());
    dump_level_picture(*w, 4, 0, level, 2);
    ASSERT_EQ(dump_write_all(*w), 1);
    json_doc doc(path("index.json"));
    const json_value* levels = jget(doc.root, "reference_levels");
    ASSERT_NE(levels, nullptr);
    ASSERT_EQ(levels->count, 2);
    EXPECT_EQ(text_of(levels->items[0]), "levels/mission01_section2");
    EXPECT_EQ(text_of(levels->items[1]), "levels/mission12_section4");
    picture pic(path("levels/mission01_section2.png"));
    ASSERT_NE(pic.pixels, nullptr);
    EXPECT_EQ(pic.width, 192);
    EXPECT_EQ(pic.height, 2);
    EXPECT_EQ(std::vector<int>(pic.pixels, pic.pixels + 8), (std::vector<int>{10, 20, 30, 255, 0, 0, 0, 255}));

    const json_value* font = jget(jget(jget(doc.root, "reference"), "reference/font_8x8"), "memory");
    EXPECT_EQ(text_of(jget(font, "table")), "$8700");
    EXPECT_EQ(text_of(jget(font, "stride")), "8");
    EXPECT_EQ(text_of(jget(font, "format")), "8 bytes per character, 1 bit per pixel, ASCII from $20");
    picture glyphs(path("reference/font_8x8.png"));
    ASSERT_EQ(glyphs.width, 128);
    ASSERT_EQ(glyphs.height, 32);
    for (int k : {0, 17, 63})
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) {
                const bool set = (mem(0, 0x8700 + k * 8 + y)[0] >> (7 - x)) & 1;
                const u8* px = glyphs.rgba((k % 16) * 8 + x, (k / 16) * 8 + y);
                ASSERT_EQ(px[3], set ? 255 : 0) << "glyph " << k;
                ASSERT_EQ(px[0] & px[1] & px[2], 255);
            }
    const std::string readme = slurp(path("README.txt"));
    EXPECT_EQ(readme.rfind("BRAKMOOR - GRAPHICS DUMP (assets/original)\n===", 0), 0u);
    for (const char* section : {"\nLAYOUT\n", "\nHOW TO REPLACE GRAPHICS\n", "\nHOW IT WORKS\n", "\nLIMITS\n"})
        EXPECT_NE(readme.find(section), std::string::npos) << section;
    EXPECT_EQ(readme.substr(readme.size() - 2), ".\n");
    // How to replace graphics states the limits the pack loader applies and
    // every reason it gives for a sheet it cannot read, in its words.
    std::string how = readme.substr(readme.find("\nHOW TO REPLACE GRAPHICS\n"));
    how = how.substr(0, how.find("\nHOW IT WORKS\n"));
    std::string flat;
    for (char c : how)
        if (!(c == ' ' || c == '\n') || (!flat.empty() && flat.back() != ' ')) flat += c == '\n' ? ' ' : c;
    EXPECT_NE(flat.find("up to " + std::to_string(pack_largest_multiple) + " times"), std::string::npos) << flat;
    EXPECT_NE(flat.find(std::to_string(pack_budget >> 20) + " MB in all"), std::string::npos) << flat;
    for (int depth : {1, 2, 4, 8, 16})
        for (int colour_type : {0, 3, 6})
            for (int interlace : {0, 1}) {
                const char* why = png_format_refusal(png_header_info{1, 1, depth, colour_type, interlace});
                if (!why) continue;
                // A reason given with another is listed on its own.
                std::string reasons = why;
                for (size_t at = 0, next; at < reasons.size(); at = next + 2) {
                    next = std::min(reasons.find("; ", at), reasons.size());
                    EXPECT_NE(flat.find(" " + reasons.substr(at, next - at) + " "), std::string::npos)
                        << reasons.substr(at, next - at);
                }
            }
    const std::string index = slurp(path("index.json"));
    EXPECT_EQ(index.substr(index.size() - 4), "}}}\n");
}

TEST_F(DumpContents, AnIndexThatCannotBeWrittenFailsTheDump) {
    log_capture log;
    spit(dir / "file", "not a folder");
    w->out_root = dir / "file/out";
    EXPECT_EQ(dump_write_all(*w), 0);
    EXPECT_TRUE(log.has("graphics dump: FAILED writing index.json"));
    EXPECT_FALSE(log.has("graphics dump: done: " + w->out_root));
}

TEST(DumpText, JsonStringsEscapeQuotesAndBackslashesAndFlattenControls) {
    const struct {
        const char* in;
        const char* out;
    } cases[] = {{"plain", "\"plain\""},
                 {"say \"hi\"", "\"say \\\"hi\\\"\""},
                 {"a\\b", "\"a\\\\b\""},
                 {"tab\there\nline", "\"tab here line\""},
                 {"", "\"\""}};
    for (const auto& c : cases) {
        std::string sb = "x";
        sb_str(sb, c.in);
        EXPECT_EQ(sb, std::string("x") + c.out) << c.in;
    }
    std::string list;
    sb_int_list(list, {});
    sb_int_list(list, {4, -1, 12});
    EXPECT_EQ(list, "[][4,-1,12]");
}

TEST(DumpText, CellsWithoutContentHoldOnlyTheirIndex) {
    std::vector<sheet_cell> cells(2);
    cells[0].i = 0;
    cells[1].i = 1;
    cells[1].content = 1;
    std::strcpy(cells[1].hash, "0123456789ab");
    cells[1].frame[0] = 16, cells[1].frame[1] = 9;
    cells[1].crop[0] = 1, cells[1].crop[1] = 2, cells[1].crop[2] = 3, cells[1].crop[3] = 4;
    std::strcpy(cells[1].key, "k\"1");
    std::string sb;
    sb_cells(sb, cells);
    EXPECT_EQ(sb, "[{\"i\":0},{\"i\":1,\"hash\":\"0123456789ab\",\"frame\":[16,9],\"crop\":[1,2,3,4],\"key\":\"k\\\"1\"}]");
}

TEST(DumpText, StColourWordsBecomeEightBitComponents) {
    const u8 words[] = {0x00, 0x00, 0x0F, 0xFF, 0x08, 0x10, 0x07, 0x77, 0xF1, 0x23};
    u8 rgb[15];
    pal_cols(words, 5, rgb);
    // The STE's low bit is the nibble's high bit: 8 -> 1, 1 -> 2, 7 -> 14.
    EXPECT_EQ(std::vector<int>(rgb, rgb + 15),
              (std::vector<int>{0, 0, 0, 255, 255, 255, 17, 34, 0, 238, 238, 238, 34, 68, 102}));
    EXPECT_EQ(GREY[15 * 3], 240);
    EXPECT_EQ(GREY[16 * 3], 0);
    EXPECT_EQ(GREY[255 * 3 + 2], 0);
}

dump_snap screen(int tag, const u8* palette, u8 (*index)(int x, int y)) {
    dump_snap s;
    s.tag = tag;
    s.idx.resize(dump_screen_pixels);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 320; ++x) s.idx[y * 320 + x] = index(x, y);
    s.zone_count = 1;
    std::memcpy(s.zones[0].palette, palette, 32);
    return s;
}

std::vector<u8> words(std::initializer_list<u16> colours) {
    std::vector<u8> out;
    for (u16 c : colours) out.push_back(static_cast<u8>(c >> 8)), out.push_back(static_cast<u8>(c));
    return out;
}

u8 stripes(int x, int) { return static_cast<u8>(x / 20 % 16); }
// The soldier: a 60 x 60 block of colour 1 at (100, 60) with a 3 x 3 hole
// in which the jungle shows.
u8 soldier(int x, int y) {
    const bool block = x >= 100 && x < 160 && y >= 60 && y < 120;
    const bool hole = x >= 120 && x < 123 && y >= 80 && y < 83;
    return block && !hole ? 1 : stripes(x, y);
}
// The title: the soldier with its top 40 lines in colour 2.
u8 title(int x, int y) { return y < 40 ? 2 : soldier(x, y); }
u8 few_colours(int x, int) { return static_cast<u8>(x & 1); }
u8 all5(int, int) { return 5; }
u8 all7(int, int) { return 7; }
u8 all9(int, int) { return 9; }
u8 all3(int, int) { return 3; }
u8 panel(int, int) { return 2; }

TEST_F(DumpContents, ScreenLayersKeepWhatBelongsToEachScreen) {
    const std::vector<u8> map_words = words({0x000, 0x777, 0x012, 0x014, 0x025, 0x136, 0x246, 0x356, 0x467, 0x740,
                                             0x630, 0x520, 0x353, 0x242, 0x131, 0x020});
    const std::vector<u8> shop_words = words({0x000, 0x762, 0x555, 0x443, 0x233, 0x152, 0x520, 0x021, 0x776, 0x122,
                                              0x532, 0x320, 0x131, 0x011, 0x047, 0x542});
    for (auto index : {few_colours, stripes, stripes, soldier, soldier, title})
        w->snaps.push_back(screen(TAG_INTRO, bright_palette, index));
    // Map: index 5 twice, 7 once with the map's palette; three screens of
    // another palette do not count. One member has an extra zone.
    w->snaps.push_back(screen(TAG_MAP, map_words.data(), all5));
    w->snaps.push_back(screen(TAG_MAP, map_words.data(), all7));
    w->snaps.back().zone_count = 2;
    w->snaps.back().zones[1] = w->snaps.back().zones[0];
    w->snaps.back().zones[1].line = 50;
    w->snaps.push_back(screen(TAG_MAP, map_words.data(), all5));
    for (int i = 0; i < 3; ++i) w->snaps.push_back(screen(TAG_MAP, bright_palette, all9));
    w->snaps.push_back(screen(TAG_SHOP, shop_words.data(), all3));
    // Side panels: ten captures in which two pixels change.
    for (int i = 0; i < 10; ++i) {
        w->ingame.push_back(screen(0, bright_palette, panel));
        w->ingame.back().idx[10 * 320 + 10] = static_cast<u8>(i % 2 ? 4 : 2);
        w->ingame.back().idx[0 * 320 + 256] = static_cast<u8>(i % 2 ? 4 : 2);
    }
    ASSERT_EQ(dump_write_all(*w), 1);
    json_doc doc(path("index.json"));
    const std::vector<std::string> names = sheet_names(doc);
    EXPECT_EQ(std::vector<std::string>(names.end() - 7, names.end()),
              (std::vector<std::string>{"screens/intro_jungle", "screens/intro_soldier", "screens/title_logo",
                                        "screens/map", "screens/shop", "screens/hud_left", "screens/hud_right"}));

    struct expect {
        const char* name;
        int width, x, order;
        bool ingame;
    };
    const expect layers[] = {{"intro_jungle", 320, 0, 0, false}, {"intro_soldier", 320, 0, 1, false},
                             {"title_logo", 320, 0, 2, false},   {"map", 320, 0, 0, false},
                             {"shop", 320, 0, 0, false},         {"hud_left", 64, 0, 0, true},
                             {"hud_right", 64, 256, 0, true}};
    for (const expect& e : layers) {
        SCOPED_TRACE(e.name);
        const json_value* sheet = doc.sheet((std::string("screens/") + e.name).c_str());
        ASSERT_NE(sheet, nullptr);
        EXPECT_EQ(text_of(jget(sheet, "kind")), "screen");
        EXPECT_EQ(number(jget(sheet, "width")), e.width);
        EXPECT_EQ(numbers(jget(sheet, "pos")), (std::vector<int>{e.x, 0}));
        EXPECT_EQ(number(jget(sheet, "order")), e.order);
        EXPECT_EQ(number(jget(sheet, "ingame")), e.ingame ? 1 : 0);
        EXPECT_EQ(text_of(jget(sheet, "idx")), std::string("screens/") + e.name + ".idx.png");
        EXPECT_EQ(text_of(jget(cell(sheet, 0), "hash")), e.name);
        EXPECT_EQ(number(jget(cell(sheet, 0), "i")), 0);
        EXPECT_EQ(numbers(jget(cell(sheet, 0), "crop")), (std::vector<int>{0, 0, e.width, 200}));
        picture png(path(std::string("screens/") + e.name + ".png"));
        EXPECT_EQ(png.width, e.width);
        EXPECT_EQ(png.height, 200);
        // The indices are written with the grey palette: index i reads as 16 i.
        picture grey(path(std::string("screens/") + e.name + ".idx.png"));
        picture idx(path(std::string("screens/") + e.name + ".idx.png"), true);
        ASSERT_NE(idx.pixels, nullptr);
        ASSERT_EQ(idx.width, e.width);
        for (int p = 0; p < e.width * 200; p += 97) ASSERT_EQ(grey.pixels[p * 4], 16 * idx.pixels[p]);
    }

    u8 rgb[48];
    pal_cols(map_words.data(), 16, rgb);
    int sum = 0;
    for (u8 c : rgb) sum += c;
    EXPECT_EQ(number(jget(doc.sheet("screens/map"), "palette_sum")), sum);

    picture jungle(path("screens/intro_jungle.png"));
    picture sold(path("screens/intro_soldier.png")), sold_idx(path("screens/intro_soldier.idx.png"), true);
    picture logo(path("screens/title_logo.png"));
    picture map(path("screens/map.png")), map_idx(path("screens/map.idx.png"), true);
    picture shop(path("screens/shop.png")), shop_idx(path("screens/shop.idx.png"), true);
    picture left(path("screens/hud_left.png")), right(path("screens/hud_right.png"));
    const struct {
        const char* name;
        const picture* pic;
        int x, y, alpha;
    } alphas[] = {
        {"jungle", &jungle, 0, 0, 255},    {"jungle", &jungle, 319, 199, 255},
        {"soldier", &sold, 100, 60, 255},  {"soldier", &sold, 159, 119, 255},
        {"soldier hole", &sold, 121, 81, 255},
        {"soldier", &sold, 99, 60, 0},     {"soldier", &sold, 200, 150, 0},   {"soldier", &sold, 10, 10, 0},
        {"logo", &logo, 0, 0, 255},        {"logo", &logo, 319, 39, 255},    {"logo", &logo, 5, 150, 0},
        {"logo", &logo, 130, 90, 0},       {"map", &map, 7, 7, 255},
        {"shop", &shop, 10, 100, 255},     {"shop", &shop, 10, 150, 0},      {"shop", &shop, 3, 150, 255},
        {"shop", &shop, 100, 190, 0},      {"shop", &shop, 150, 190, 255},   {"shop", &shop, 250, 196, 0},
        {"left", &left, 10, 10, 0},        {"left", &left, 8, 12, 0},        {"left", &left, 12, 8, 0},
        {"left", &left, 13, 10, 255},      {"left", &left, 10, 50, 0},       {"left", &left, 30, 150, 255},
        {"left", &left, 0, 199, 255},      {"left", &left, 0, 180, 0},       {"left", &left, 0, 170, 255},
        {"right", &right, 0, 0, 0},        {"right", &right, 63, 199, 0},    {"right", &right, 62, 198, 0},
        {"right", &right, 61, 197, 255},   {"right", &right, 2, 2, 0},       {"right", &right, 3, 3, 255},
        // The edges of the shop's text box and of the panels' counters.
        {"shop", &shop, 4, 144, 0},        {"shop", &shop, 315, 181, 0},     {"shop", &shop, 316, 150, 255},
        {"shop", &shop, 100, 143, 255},    {"shop", &shop, 100, 182, 255},   {"shop", &shop, 78, 184, 0},
        {"shop", &shop, 77, 190, 255},     {"shop", &shop, 137, 196, 0},     {"shop", &shop, 138, 190, 255},
        {"shop", &shop, 100, 183, 255},    {"shop", &shop, 100, 197, 255},   {"shop", &shop, 220, 184, 0},
        {"shop", &shop, 219, 190, 255},    {"shop", &shop, 303, 196, 0},     {"shop", &shop, 304, 190, 255},
        {"shop", &shop, 250, 197, 255},    {"shop", &shop, 250, 183, 255},
        {"right", &right, 4, 47, 0},       {"right", &right, 59, 60, 0},     {"right", &right, 60, 50, 255},
        {"right", &right, 3, 50, 255},     {"right", &right, 30, 46, 255},   {"right", &right, 30, 61, 255},
        {"right", &right, 8, 78, 0},       {"right", &right, 57, 123, 0},    {"right", &right, 58, 100, 255},
        {"right", &right, 7, 100, 255},    {"right", &right, 30, 124, 255},  {"right", &right, 30, 77, 255},
        {"right", &right, 10, 126, 0},     {"right", &right, 55, 139, 0},    {"right", &right, 56, 130, 255},
        {"right", &right, 9, 130, 255},    {"right", &right, 30, 140, 255},  {"right", &right, 30, 125, 255},
        {"right", &right, 0, 176, 0},      {"right", &right, 63, 195, 0},    {"right", &right, 30, 196, 255},
        {"right", &right, 30, 175, 255},
    };
    for (const auto& a : alphas) EXPECT_EQ(a.pic->rgba(a.x, a.y)[3], a.alpha) << a.name << " at " << a.x << "," << a.y;
    EXPECT_EQ(sold_idx.pixels[121 + 81 * 320], stripes(121, 81));
    EXPECT_EQ(sold_idx.pixels[130 + 90 * 320], 1);
    EXPECT_EQ(map_idx.pixels[1000], 5);
    EXPECT_EQ(shop_idx.pixels[150 * 320 + 10], 0);
    EXPECT_EQ(shop_idx.pixels[100 * 320 + 10], 3);
    // Colours come from the zones in effect: the map's colour 5 is $136.
    EXPECT_EQ(std::vector<int>(map.rgba(1, 1), map.rgba(1, 1) + 3), (std::vector<int>{34, 102, 204}));
}

TEST_F(DumpContents, WithoutTheWholeIntroOrEnoughCapturesThoseLayersAreLeftOut) {
    log_capture log;
    w->snaps.push_back(screen(TAG_INTRO, bright_palette, stripes));
    w->snaps.push_back(screen(TAG_INTRO, bright_palette, soldier));
    for (int i = 0; i < 8; ++i) w->ingame.push_back(screen(0, bright_palette, panel));
    ASSERT_EQ(dump_write_all(*w), 1);
    EXPECT_TRUE(log.has("graphics dump: warning: the whole intro was not found"));
    json_doc doc(path("index.json"));
    for (const std::string& name : sheet_names(doc)) EXPECT_NE(name.rfind("screens/", 0), 0u) << name;
    EXPECT_FALSE(file_exists(path("screens/intro_jungle.png").c_str()));
}

// A copy of the screen with its first n pixels in another colour.
dump_snap changed(const dump_snap& s, int n) {
    dump_snap out = s;
    for (int p = 0; p < n; ++p) out.idx[p] = static_cast<u8>((out.idx[p] + 1) & 15);
    return out;
}

TEST_F(DumpContents, TheIntroScreensAreToldApartByHowManyPixelsChange) {
    const struct {
        int soldier_pixels, title_pixels;
        bool found;
    } cases[] = {{2500, 8001, true}, {2499, 8001, false}, {60000, 8001, true}, {60001, 8001, false},
                 {2500, 8000, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.soldier_pixels) + " " + std::to_string(c.title_pixels));
        auto work = std::make_unique<dump_work>();
        work->out_root = dir / ("intro" + std::to_string(c.soldier_pixels) + "_" + std::to_string(c.title_pixels));
        const dump_snap jungle = screen(TAG_INTRO, bright_palette, stripes);
        const dump_snap soldier_screen = changed(jungle, c.soldier_pixels);
        // The title changes pixels counted from the end of the screen.
        dump_snap title_screen = soldier_screen;
        for (int p = 0; p < c.title_pixels; ++p) {
            u8& v = title_screen.idx[dump_screen_pixels - 1 - p];
            v = static_cast<u8>((v + 3) & 15);
        }
        work->snaps = {jungle, soldier_screen, title_screen};
        dump_screens(*work);
        EXPECT_EQ(file_exists((work->out_root + "/screens/title_logo.png").c_str()), c.found);
        EXPECT_EQ(work->sheets.find("\"screens/intro_soldier\"") != std::string::npos, c.found);
    }
}

TEST_F(DumpContents, APanelPixelChangesWhenItsCommonestIndexHoldsUnderNinetySevenPercent) {
    // 100 captures: the pixel at (20, 20) differs in 3 of them, the one at
    // (40, 20) in 4.
    for (int i = 0; i < 100; ++i) {
        w->ingame.push_back(screen(0, bright_palette, panel));
        if (i < 3) w->ingame.back().idx[20 * 320 + 20] = 6;
        if (i < 4) w->ingame.back().idx[20 * 320 + 40] = 6;
    }
    dump_screens(*w);
    picture left(path("screens/hud_left.png"));
    ASSERT_NE(left.pixels, nullptr);
    EXPECT_EQ(left.rgba(20, 20)[3], 255);
    EXPECT_EQ(left.rgba(40, 20)[3], 0);
    picture idx(path("screens/hud_left.idx.png"), true);
    EXPECT_EQ(idx.pixels[20 * 64 + 40], 2);
}

mask_t mask_of(std::initializer_list<std::pair<int, int>> points) {
    mask_t m(dump_screen_pixels, 0);
    for (auto [x, y] : points) m[y * 320 + x] = 1;
    return m;
}

std::vector<std::pair<int, int>> set_points(const mask_t& m) {
    std::vector<std::pair<int, int>> out;
    for (int p = 0; p < static_cast<int>(m.size()); ++p)
        if (m[p]) out.push_back({p % 320, p / 320});
    return out;
}

TEST(DumpMasks, DilateAndErodeKeepInsideThePicture) {
    using pts = std::vector<std::pair<int, int>>;
    EXPECT_EQ(set_points(dilate(mask_of({{0, 0}}), 0)), (pts{{0, 0}, {1, 0}, {0, 1}}));
    EXPECT_EQ(set_points(dilate(mask_of({{319, 199}}), 1)), (pts{{318, 198}, {319, 198}, {318, 199}, {319, 199}}));
    EXPECT_EQ(set_points(dilate(mask_of({{5, 5}}), 0)), (pts{{5, 4}, {4, 5}, {5, 5}, {6, 5}, {5, 6}}));
    // Erosion: a plus shape keeps its centre; the corner pixel keeps itself,
    // since outside the picture counts as set.
    EXPECT_EQ(set_points(erode(mask_of({{5, 4}, {4, 5}, {5, 5}, {6, 5}, {5, 6}, {0, 0}, {1, 0}, {0, 1}}))),
              (pts{{0, 0}, {5, 5}}));
    mask_t all(dump_screen_pixels, 1);
    all[100 * 320 + 100] = 0;
    const mask_t eroded = erode(all);
    EXPECT_EQ(dump_screen_pixels - set_points(eroded).size(), 5u);
    EXPECT_EQ(eroded[0], 1);
    EXPECT_EQ(eroded[100 * 320 + 101], 0);
    EXPECT_EQ(eroded[99 * 320 + 100], 0);
}

TEST(DumpMasks, RefiningClosesFillsSmallHolesAndTakesInTheDarkOutline) {
    std::vector<u8> bright(dump_screen_pixels * 4, 200);
    const auto block = [](int x0, int y0, int x1, int y1, mask_t& m) {
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) m[y * 320 + x] = 1;
    };
    const auto hole = [](int x0, int y0, int x1, int y1, mask_t& m) {
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) m[y * 320 + x] = 0;
    };
    // A one-pixel gap between two blocks is closed.
    mask_t m(dump_screen_pixels, 0);
    block(10, 10, 19, 19, m);
    block(21, 10, 30, 19, m);
    refine_mask(m, bright);
    EXPECT_EQ(m[15 * 320 + 20], 1);
    EXPECT_EQ(m[9 * 320 + 20], 0);
    // Enclosed holes that the closing leaves at up to 30 pixels are filled
    // (a 6 x 5 hole keeps 26, its corners closed), larger ones not (7 x 5
    // keeps 31); nor is a notch open to the picture's edge.
    m.assign(dump_screen_pixels, 0);
    block(50, 50, 70, 70, m);
    hole(55, 55, 60, 59, m);
    block(100, 50, 120, 70, m);
    hole(105, 55, 111, 59, m);
    block(0, 100, 20, 120, m);
    hole(0, 105, 5, 109, m);
    refine_mask(m, bright);
    EXPECT_EQ(m[57 * 320 + 57], 1);
    EXPECT_EQ(m[57 * 320 + 107], 0);
    EXPECT_EQ(m[107 * 320 + 2], 0);
    EXPECT_EQ(m[107 * 320 + 0], 0);
    // Dark pixels touching the mask, also diagonally, join it; a dark pixel
    // two away or a brighter one does not. Largest component 51 is dark, 52
    // is not.
    std::vector<u8> colours = bright;
    const auto paint = [&](int x, int y, u8 r, u8 g, u8 b) {
        u8* c = &colours[(size_t(y) * 320 + x) * 4];
        c[0] = r, c[1] = g, c[2] = b;
    };
    paint(161, 151, 0, 51, 0);   // diagonal, dark
    paint(159, 150, 51, 0, 51);  // beside, dark
    paint(162, 150, 0, 0, 0);    // two away
    paint(160, 149, 0, 0, 52);   // beside, not dark
    m = mask_of({{160, 150}});
    refine_mask(m, colours);
    EXPECT_EQ(set_points(m).size(), 3u);
    EXPECT_EQ(m[151 * 320 + 161], 1);
    EXPECT_EQ(m[150 * 320 + 159], 1);
    EXPECT_EQ(m[150 * 320 + 162], 0);
    EXPECT_EQ(m[149 * 320 + 160], 0);
}

} // namespace
