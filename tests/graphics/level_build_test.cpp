// The whole-level picture: the game's tiles and object blocks in the
// palette's colours, rows from the bottom up, objects placed, cut and
// skipped, the pack's replacements with their alpha, and larger scales.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "graphics/level.h"
#include "level_pack_stub.h"
#include "machine/memory.h"
#include "support/machine/machine_fixture.h"
#include "support/tables/mission_builder.h"
#include "support/graphics/scene_frames.h"

namespace {

struct picture {
    std::vector<u8> rgb;
    int width = 0, height = 0;
    const u8* at(int x, int y) const { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
};

picture dump(int section, int* highest = nullptr) {
    u8 palette[32];
    test_palette(palette);
    picture p;
    int h = 0, top = -1;
    u8* rgb = level_dump_rgb(section, palette, &h, &top);
    if (!rgb) return p;
    p.width = 192, p.height = h;
    p.rgb.assign(rgb, rgb + static_cast<size_t>(192) * h * 3);
    std::free(rgb);
    if (highest) *highest = top;
    return p;
}

void expect_colour(const u8* got, const u8* want, const std::string& where) {
    EXPECT_TRUE(got[0] == want[0] && got[1] == want[1] && got[2] == want[2])
        << where << ": " << int(got[0]) << "," << int(got[1]) << "," << int(got[2]) << " instead of " << int(want[0])
        << "," << int(want[1]) << "," << int(want[2]);
}

// The colour of palette index i in test_palette.
std::vector<u8> index_colour(int i) {
    std::vector<u8> c(3);
    test_rgb(i, c.data());
    return c;
}

class LevelBuild : public MachineTest {
 protected:
    void SetUp() override {
        MachineTest::SetUp();
        level_clear();
    }
    void TearDown() override {
        level_pack_stub::remove();
        level_clear();
        MachineTest::TearDown();
    }
};

// Every game pixel of a cell: the tile's, or an object's drawn pixel.
struct placed {
    int stamp, x, y;
};
void expect_cell(const picture& p, int row_top, int column, int tile, const std::vector<placed>& objects) {
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64; ++x) {
            int index = static_cast<int>(block_pixel(tile, y, x));
            for (const placed& o : objects) {
                const int i = x - o.x, j = y - o.y;
                if (i >= 0 && i < 16 && j >= 0 && j < 16 && stamp_pixel(o.stamp, j, i)) index = stamp_pixel(o.stamp, j, i);
            }
            expect_colour(p.at(64 * column + x, row_top + y), index_colour(index).data(),
                          "cell at " + std::to_string(row_top) + "," + std::to_string(column) + " pixel " +
                              std::to_string(x) + "," + std::to_string(y));
            if (::testing::Test::HasFailure()) return;
        }
}

TEST_F(LevelBuild, RowsGrowUpwardFromTheLeadInRowsAtTheBottom) {
    mission_builder m;
    ASSERT_TRUE(m.map({{{1}, {2, {stamp(7, 5), stamp(126, 0)}}, {3}}, {{4}, {5}, {0}}})) << m.error;
    m.put_in_ram();
    int highest = -1;
    const picture p = dump(0, &highest);
    ASSERT_EQ(p.height, (2 + 8) * 32);
    EXPECT_EQ(highest, 5);
    for (int lead = 0; lead < 8; ++lead)
        for (int c = 0; c < 3; ++c) expect_cell(p, (9 - lead) * 32, c, 1, {});
    // Entry 5 is the lower half's second column; entry 0 the top left.
    expect_cell(p, 32, 0, 1, {});
    expect_cell(p, 32, 1, 2, {{7, 16, 16}, {125, 0, 0}});
    expect_cell(p, 32, 2, 3, {});
    expect_cell(p, 0, 0, 4, {});
    expect_cell(p, 0, 1, 5, {});
    expect_cell(p, 0, 2, 0, {});
}

TEST_F(LevelBuild, ObjectsAreCutAtTheTilesBottomOrSkipped) {
    mission_builder m;
    m.unchecked = true;
    // Entry 1: 20 rows down, third column; entry 2 not in use; entry 3 below
    // the tile; byte 64 + 4 is entry 4.
    ASSERT_TRUE(m.spawn(1, {20 * 96 + 2 * 8, 0}));
    ASSERT_TRUE(m.spawn(2, {-96, 0}));
    ASSERT_TRUE(m.spawn(3, {32 * 96, 0}));
    ASSERT_TRUE(m.spawn(4, {3 * 96 + 3 * 8, 0}));
    ASSERT_TRUE(m.map({{{0}, {1}, {2}}, {{3, {stamp(9, 1), stamp(10, 2), stamp(11, 3)}}, {4, {stamp(12, 64 + 4)}}, {5}}}));
    m.put_in_ram();
    const picture p = dump(0);
    ASSERT_EQ(p.height, 10 * 32);
    // The row below (the first map row) keeps its tiles whole.
    expect_cell(p, 0, 0, 3, {{9, 32, 20}});
    expect_cell(p, 0, 1, 4, {{12, 48, 3}});
    expect_cell(p, 32, 0, 0, {});
    expect_cell(p, 32, 1, 1, {});
}

TEST_F(LevelBuild, PackTilesReplaceTheGamesAndObjectsBlendByTheirAlpha) {
    mission_builder m;
    ASSERT_TRUE(m.map({{{1}, {2, {stamp(7, 5)}}, {3}}})) << m.error;
    m.put_in_ram();
    const picture game = dump(0);

    level_pack_stub pack;
    pack.install();
    std::vector<u8> tile2(2048), stamp7(256);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64; ++x) tile2[y * 64 + x] = static_cast<u8>(block_pixel(2, y, x));
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) stamp7[y * 16 + x] = static_cast<u8>(stamp_pixel(7, y, x));
    pack.ground[tile2] = [](int x, int y, u8* c) { c[0] = u8(x), c[1] = u8(y), c[2] = 7, c[3] = 13; };
    // Opaque and clear quarters, a half-covered lower half with a barely
    // covered strip. Green 24 over 25 rounds just below a half.
    auto alpha = [](int x, int y) { return y < 8 ? (x < 8 ? 255 : 0) : (x < 4 ? 1 : 128); };
    pack.objects[stamp7] = [alpha](int x, int y, u8* c) {
        c[0] = 200, c[1] = 24, c[2] = 51;
        c[3] = static_cast<u8>(alpha(x, y));
    };
    const picture p = dump(0);
    ASSERT_EQ(p.height, game.height);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64; ++x) {
            const int px = 64 + x, py = y;  // the only map row is the top one
            u8 want[3] = {u8(x), u8(y), 7};
            if (x >= 16 && x < 32 && y >= 16) {
                const int i = x - 16, j = y - 16;
                const u8 src[3] = {200, 24, 51};
                const int a = alpha(i, j);
                // src x a / 255 + dst x (1 - a / 255) + 0.5
                for (int k = 0; k < 3; ++k)
                    want[k] = static_cast<u8>(src[k] * a / 255.0 + want[k] * ((255 - a) / 255.0) + 0.5);
            }
            expect_colour(p.at(px, py), want, "pixel " + std::to_string(x) + "," + std::to_string(y));
            if (HasFailure()) return;
        }
    // Tiles the pack leaves are the game's.
    for (int y : {0, 100, 8 * 32 + 5})  // the map row and lead-in rows
        for (int x : {0, 63, 130, 191}) expect_colour(p.at(x, y), game.at(x, y), "game tile");
}

TEST_F(LevelBuild, EveryScaleEnlargesTheSamePicture) {
    mission_builder m;
    ASSERT_TRUE(m.map({{{1}, {2, {stamp(7, 5)}}, {3}}, {{0}, {4, {stamp(126, 2)}}, {5}}})) << m.error;
    m.put_in_ram();
    const picture one = dump(0);
    ASSERT_EQ(one.height, 320);
    // Through the cache, built at once on this thread.
    scene_frame* f = frame_new();
    f->bg_kind = BG_VERTICAL, f->bg_captured = 1, f->section = 0;
    scene_check_level(f);
    const int32_t id = f->level_id;
    frame_unref(f);
    u8 palette[32];
    test_palette(palette);
    for (int s : {2, 3}) {
        int h = 0;
        EXPECT_EQ(level_rgb(id, palette, s, &h), nullptr);
        level_wait_builders();
        const u8* rgb = level_rgb(id, palette, s, &h);
        ASSERT_NE(rgb, nullptr);
        ASSERT_EQ(h, 320 * s);
        for (int y = 0; y < h; y += 7)
            for (int x = 0; x < 192 * s; ++x) {
                const u8* got = rgb + (static_cast<size_t>(y) * 192 * s + x) * 3;
                expect_colour(got, one.at(x / s, y / s), "scale " + std::to_string(s));
                if (HasFailure()) return;
            }
    }
}

TEST_F(LevelBuild, TheDumpTellsTheHighestTile) {
    struct {
        std::vector<map_row> rows;
        int highest;
    } cases[] = {
        {{{{0}, {0}, {0}}}, 0},
        {{{{5}, {0}, {1}}, {{2}, {3}, {0}}}, 5},
        {{{{0}, {4}, {1}}}, 4},
    };
    for (const auto& c : cases) {
        machine_clear();
        mission_builder m;
        ASSERT_TRUE(m.map(c.rows)) << m.error;
        m.put_in_ram();
        int highest = -1;
        EXPECT_EQ(dump(0, &highest).height, (static_cast<int>(c.rows.size()) + 8) * 32);
        EXPECT_EQ(highest, c.highest);
    }
}

TEST_F(LevelBuild, ADumpOfAMapWithoutRowsIsNothing) {
    mission_builder m;
    m.unchecked = true;
    ASSERT_TRUE(m.map_bytes({1, 2, 0xFF}));
    m.put_in_ram();
    int h = 7;
    u8 palette[32] = {};
    EXPECT_EQ(level_dump_rgb(0, palette, &h, nullptr), nullptr);
    EXPECT_EQ(h, 7);
}

} // namespace
