// Reading a vertical section's map from hand-made memory images: rows and
// the end byte, object lists with installations, the lead-in rows, the
// placements and the tiles' indices, and the bounds of the memory image.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "graphics/level.h"
#include "machine/memory.h"
#include "support/machine/machine_fixture.h"
#include "support/tables/mission_builder.h"
#include "support/synthetic/st_planes.h"

namespace {

struct level_ptr {
    parsed_level* p;
    explicit level_ptr(parsed_level* level) : p(level) {}
    ~level_ptr() { level_free(p); }
    parsed_level* operator->() const { return p; }
    explicit operator bool() const { return p != nullptr; }
};

class LevelMap : public MachineTest {
 protected:
    // Section 0's map from raw bytes.
    static void put_map(const std::vector<u8>& bytes) {
        mission_builder m;
        m.unchecked = true;
        ASSERT_TRUE(m.map_bytes(bytes));
        m.put_in_ram();
    }
    static void put_rows(const std::vector<map_row>& rows) {
        mission_builder m;
        ASSERT_TRUE(m.map(rows)) << m.error;
        m.put_in_ram();
    }
};

TEST_F(LevelMap, CountsOnlyCompleteRowsUpToTheEndByte) {
    struct {
        std::vector<u8> map;
        int rows;  // 0: no level
    } cases[] = {
        {{0xFF}, 0},
        {{1, 2, 0xFF}, 0},
        {{1, 2, 3, 0xFF}, 1},
        {{1, 2, 3, 4, 5, 0xFF}, 1},
        {{1, 2, 3, 4, 5, 0, 0xFF, 1, 2, 3}, 2},
    };
    for (const auto& c : cases) {
        machine_clear();
        put_map(c.map);
        level_ptr level(parse_level(0));
        if (c.rows == 0) {
            EXPECT_FALSE(level) << "map of " << c.map.size() << " bytes";
            continue;
        }
        ASSERT_TRUE(level);
        EXPECT_EQ(level->rows, c.rows);
        EXPECT_EQ(level->height, (c.rows + 8) * 32);
        ASSERT_EQ(level->cells.size(), static_cast<size_t>((c.rows + 8) * 3));
        for (int n = 0; n < c.rows * 3; ++n) EXPECT_EQ(level->cells[24 + n].ground, c.map[n] & 0x7F);
    }
}

TEST_F(LevelMap, LeadInRowsRepeatTheFirstCellsTileWithoutObjects) {
    put_rows({{{4}, {1, {stamp(9, 2)}}, {2}}, {{3, {stamp(5, 1)}}, {0}, {5}}});
    level_ptr level(parse_level(0));
    ASSERT_TRUE(level);
    for (int n = 0; n < 24; ++n) {
        EXPECT_EQ(level->cells[n].ground, 4);
        EXPECT_TRUE(level->cells[n].codes.empty());
    }
    EXPECT_EQ(level->cells[25].codes, std::vector<u8>{9});
    EXPECT_EQ(level->cells[25].placements, std::vector<u8>{2});
    EXPECT_EQ(level->cells[27].ground, 3);
}

TEST_F(LevelMap, InstallationsTakeTheirTwoBytesAndNoPlacement) {
    // An installation's x byte may be 0: it is not the end of the list.
    put_rows({{{0}, {1, {installation(0xF1, 0, 40), stamp(7, 3), installation(0xF4, 9, 0), stamp(126, 5)}}, {2}},
              {{3}, {4}, {5}}});
    level_ptr level(parse_level(0));
    ASSERT_TRUE(level);
    EXPECT_EQ(level->rows, 2);
    const level_cell& cell = level->cells[25];
    EXPECT_EQ(cell.codes, (std::vector<u8>{7, 126}));
    EXPECT_EQ(cell.placements, (std::vector<u8>{3, 5}));
    EXPECT_EQ(level->cells[26].ground, 2);
    EXPECT_EQ(level->cells[27].ground, 3);
}

TEST_F(LevelMap, ObjectCodesAboveTheGapShowTheBlockBelow) {
    struct {
        int code, block;
    } cases[] = {{1, 1}, {125, 125}, {126, 125}, {127, 126}, {255, 254}};
    for (const auto& c : cases) EXPECT_EQ(object_block_of(c.code), c.block) << "code " << c.code;

    put_rows({{{0}, {1, {stamp(125, 0)}}, {2, {stamp(126, 1)}}}, {{3}, {4}, {5}}});
    level_ptr level(parse_level(0));
    ASSERT_TRUE(level);
    EXPECT_FALSE(level->objects[125].empty());
    EXPECT_TRUE(level->objects[126].empty());
    EXPECT_TRUE(level->objects[124].empty());
}

TEST_F(LevelMap, TilesAndBlocksAreTheGamesPlanesAsIndices) {
    put_rows({{{2}, {5, {stamp(3, 0)}}, {2}}, {{0}, {2}, {5}}});
    level_ptr level(parse_level(0));
    ASSERT_TRUE(level);
    for (int t = 0; t < 128; ++t) EXPECT_EQ(level->ground[t].empty(), t != 0 && t != 2 && t != 5) << "tile " << t;
    for (int b = 0; b < 256; ++b) EXPECT_EQ(level->objects[b].empty(), b != 3) << "block " << b;
    for (int t : {0, 2, 5})
        for (int y : {0, 1, 17, 31})
            for (int x : {0, 15, 16, 40, 63})
                EXPECT_EQ(level->ground[t][y * 64 + x], block_pixel(t, y, x)) << t << ":" << x << "," << y;
    for (int y : {0, 1, 8, 15})
        for (int x : {0, 3, 12, 15}) EXPECT_EQ(level->objects[3][y * 16 + x], stamp_pixel(3, y, x));
}

TEST_F(LevelMap, PlacementsComeFromTheSpawnTable) {
    put_rows({{{0}, {1}, {2}}});
    // Entry 9: ring offset 20 rows + group 2 (word 1936 = $0790); entry 10
    // not in use; entry 11 below the tile (row 40).
    const struct {
        int q;
        u8 b0, b1;
        level_placement want;
    } cases[] = {
        {9, 0x07, 0x90, {1, 32, 20}},
        {10, 0x80, 0x00, {0, 0, 0}},
        {11, 0x0F, 0x00 | 0x18, {1, 48, 40}},
        {63, 0x00, 0x08, {1, 16, 0}},
        {12, 0x03, 0xBF, {1, 48, 9}},  // 959 = 10 x 96 - 1
    };
    for (const auto& c : cases) {
        wr8(0x8D80 + 4 * c.q, c.b0);
        wr8(0x8D80 + 4 * c.q + 1, c.b1);
    }
    level_ptr level(parse_level(0));
    ASSERT_TRUE(level);
    for (const auto& c : cases) {
        const level_placement& p = level->placement[c.q];
        EXPECT_EQ(p.used, c.want.used) << "entry " << c.q;
        if (!c.want.used) continue;
        EXPECT_EQ(p.x, c.want.x) << "entry " << c.q;
        EXPECT_EQ(p.y, c.want.y) << "entry " << c.q;
    }
}

TEST_F(LevelMap, TheMapOffsetIsSigned) {
    // A map placed before level_data, reached through a negative offset.
    const u32 at = 0x73BEE - 0x100;
    const u8 map[] = {1, 2, 3, 0xFF};
    for (u32 i = 0; i < sizeof map; ++i) wr8(at + i, map[i]);
    wr8(0x73BAE + 2, 0xFF);
    wr8(0x73BAE + 3, 0x00);
    level_ptr level(parse_level(1));
    ASSERT_TRUE(level);
    EXPECT_EQ(level->rows, 1);
    EXPECT_EQ(level->cells[24].ground, 1);
    EXPECT_FALSE(parse_level(-1));
    EXPECT_FALSE(parse_level(32768));
}

TEST(LevelHash, IsFnv1a) {
    struct {
        const char* bytes;
        uint32_t hash;
    } cases[] = {{"", 0x811c9dc5u}, {"a", 0xe40c292cu}, {"foobar", 0xbf9cf968u}};
    for (const auto& c : cases)
        EXPECT_EQ(fnv_add(fnv_basis, reinterpret_cast<const u8*>(c.bytes), std::strlen(c.bytes)), c.hash) << c.bytes;
    // A number goes in low byte first.
    EXPECT_EQ(fnv_add_u32(fnv_basis, 0x64636261), 0xce3479bdu);
    EXPECT_EQ(fnv_add_u32(fnv_basis, 0x12345678), 0xa3649785u);
}

TEST_F(LevelMap, StopsAt4000Rows) {
    std::vector<u8> map(4001 * 3, 1);
    map.push_back(0xFF);
    put_map(map);
    level_ptr level(parse_level(0));
    ASSERT_TRUE(level);
    EXPECT_EQ(level->rows, 4000);
}

// A first row whose third cell's object list runs up to `next_cell`, then
// the bytes of `tail` there.
void map_reaching(u32 next_cell, const std::vector<u8>& tail) {
    const u32 start = 0x73BEE;
    wr8(start, 1);
    wr8(start + 1, 2);
    wr8(start + 2, 0x83);
    u32 at = start + 3;
    if ((next_cell - 1 - at) % 2) {  // an installation evens the pairs out
        wr8(at, 0xF2), wr8(at + 1, 7), wr8(at + 2, 7);
        at += 3;
    }
    for (; at + 1 < next_cell; at += 2) wr8(at, 9), wr8(at + 1, 1);
    wr8(next_cell - 1, 0);
    for (u32 i = 0; i < tail.size() && next_cell + i < ram_size; ++i) wr8(next_cell + i, tail[i]);
}

TEST_F(LevelMap, NeverReadsBeyondTheMemoryImage) {
    // Cells may start up to $3FFFF7; an object list stops at the image's end.
    struct {
        u32 next_cell;
        std::vector<u8> tail;
        int rows;
    } cases[] = {
        {0x3FFFF5, {4, 5, 6}, 2},
        {0x3FFFF6, {4, 5, 6}, 1},
        {0x3FFFF5, {4, 5, 0x86, 1, 1, 1, 1, 1, 1, 1, 1}, 1},       // pairs up to the last byte
        {0x3FFFF5, {4, 5, 0x86, 0xF2, 7, 7, 1, 1, 1, 1, 9}, 1},    // a code without its placement
        {0x3FFFF5, {4, 5, 0x86, 1, 1, 1, 1, 1, 1, 0xF3, 7}, 1},    // an installation without its y
    };
    for (const auto& c : cases) {
        machine_clear();
        map_reaching(c.next_cell, c.tail);
        level_ptr level(parse_level(0));
        ASSERT_TRUE(level) << std::hex << c.next_cell;
        EXPECT_EQ(level->rows, c.rows) << std::hex << c.next_cell << " " << c.tail.size();
    }
}

} // namespace
