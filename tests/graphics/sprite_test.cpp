// Sprites: life of the record, plane conversion, cropping, and the pictures
// decoded from the game's tables for every unit type.
#include "graphics/sprite.h"

#include <gtest/gtest.h>

#include <cstring>

#include "machine/memory.h"
#include "support/machine/machine_fixture.h"
#include "support/synthetic/st_planes.h"

namespace {

using SpriteTables = MachineTest;

TEST(Sprite, NewIsZeroedWithOneReferenceAndUnrefFreesAtZero) {
    sprite* s = sprite_new(3, 2);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->refs.load(), 1);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(s->pixels[i] | s->mask[i], 0);
    EXPECT_EQ(sprite_ref(s), s);
    EXPECT_EQ(s->refs.load(), 2);
    sprite_unref(s);
    EXPECT_EQ(s->refs.load(), 1);
    sprite_unref(s);  // freed here: the ASan build checks it
    EXPECT_EQ(sprite_ref(nullptr), nullptr);
    sprite_unref(nullptr);
}

TEST(Sprite, PlanesToIndicesReadsEachPlaneAsOneBitLeftmostInBit15) {
    idx_picture pic(32, 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 32; ++x) pic.at(x, y) = static_cast<u8>((x * 7 + y * 3) & 15);
    std::vector<u8> st(2 * 16), out(64);
    st_put_groups(st.data(), pic, 4, 16);
    planes_to_idx(st.data(), 2, 2, out.data());
    EXPECT_EQ(out, pic.px);
    // Bit 15 of plane 2 only: the leftmost pixel is index 4.
    const u8 group[8] = {0, 0, 0, 0, 0x80, 0, 0, 0};
    u8 idx[16];
    planes_to_idx(group, 1, 1, idx);
    EXPECT_EQ(idx[0], 4);
    EXPECT_EQ(idx[1], 0);
}

TEST(Sprite, CropKeepsTheMaskBoxAndMovesTheHotSpot) {
    idx_picture pix(6, 5), mask(6, 5);
    pix.at(2, 1) = 9, mask.at(2, 1) = 1;
    pix.at(4, 3) = 3, mask.at(4, 3) = 1;
    pix.at(0, 0) = 7;  // not drawn: stays outside the box
    sprite* s = crop(pix.px.data(), mask.px.data(), 5, 6, -36, -100);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->width, 3);
    EXPECT_EQ(s->height, 3);
    EXPECT_EQ(s->hot_x, -34);
    EXPECT_EQ(s->hot_y, -99);
    EXPECT_EQ(s->pixels[0], 9);
    EXPECT_EQ(s->mask[0], 1);
    EXPECT_EQ(s->pixels[2 * 3 + 2], 3);
    EXPECT_EQ(s->mask[1], 0);
    sprite_unref(s);
    const idx_picture empty(4, 4);
    EXPECT_EQ(crop(empty.px.data(), empty.px.data(), 4, 4, 0, 0), nullptr);
}

enum class table_layout { groups, player };

struct table_case {
    int type;
    int first, last;
    u32 base, stride;
    int lines, width, planes;
    table_layout how;
    int index_written, index_read;  // 3-plane tables add their colour offset
};

// Per type: the first and last id hold a 5 x 4 block; one beyond gives null.
const table_case table_cases[] = {
    {0, 0, 38, 0x5E60A, 0x84, 22, 16, 3, table_layout::groups, 5, 13},
    {1, 0, 91, 0x2F91C, 0x190, 25, 32, 4, table_layout::player, 11, 11},
    {4, 0, 28, 0x4694A, 0x36, 9, 16, 3, table_layout::groups, 6, 14},
    {5, 0, 28, 0x4694A, 0x36, 9, 16, 3, table_layout::groups, 6, 6},
    {6, 0, 11, 0x49A3A, 0x80, 16, 16, 4, table_layout::groups, 12, 12},
    {7, 0, 1, 0x3EA7C, 0x300, 48, 32, 4, table_layout::groups, 9, 9},
    {8, 0, 1, 0x406FC, 0x5E8, 63, 48, 4, table_layout::groups, 9, 9},
    {10, 240, 245, 0x45736, 0x200, 32, 32, 4, table_layout::player, 15, 15},
    {11, 0, 10, 0x388DC, 0x108, 22, 32, 3, table_layout::groups, 3, 3},
};

void write_table_picture(const table_case& c, int id, const idx_picture& pic) {
    u8* at = ram + c.base + static_cast<u32>(id - c.first) * c.stride;
    if (c.how == table_layout::player)
        st_put_player(at, pic);
    else
        st_put_groups(at, pic, c.planes, c.width / 16 * c.planes * 2);
}

u32 table_address(const table_case& c, int id) { return c.base + static_cast<u32>(id - c.first) * c.stride; }

TEST_F(SpriteTables, EachTypeDecodesItsFirstAndLastIdAndNothingBeyond) {
    for (const table_case& c : table_cases) {
        SCOPED_TRACE(testing::Message() << "type " << c.type);
        const bool screen_coords = c.how == table_layout::player;
        const int line_bytes = c.how == table_layout::player ? 16 : c.width / 16 * c.planes * 2;
        for (int id : {c.first, c.last})
            for (int frame_byte : {0, 1}) {
                std::memset(ram, 0, ram_size);
                // A block across the first group boundary (where there is
                // one) and the two far corners, so the crop keeps it all.
                idx_picture pic(c.width, c.lines);
                const int x0 = c.width > 16 ? 13 : 3;
                pic.fill_rect(x0, 2, 5, 4, static_cast<u8>(c.index_written));
                pic.at(0, 0) = static_cast<u8>(c.index_written);
                pic.at(c.width - 1, c.lines - 1) = static_cast<u8>(c.index_written);
                write_table_picture(c, id, pic);
                // What follows the picture must not be read.
                std::memset(ram + table_address(c, id) + c.lines * line_bytes, 0xFF, 64);
                sprite* s = rom_sprite(c.type, id, frame_byte);
                ASSERT_NE(s, nullptr) << "id " << id;
                EXPECT_EQ(s->width, c.width);
                EXPECT_EQ(s->height, c.lines);
                EXPECT_EQ(s->hot_x, screen_coords ? 0 : -36);
                EXPECT_EQ(s->hot_y, screen_coords ? 0 : -100);
                EXPECT_EQ(s->from_screen, 0);
                for (int y = 0; y < c.lines; ++y)
                    for (int x = 0; x < c.width; ++x) {
                        const bool drawn = pic.at(x, y) != 0;
                        const int at = y * c.width + x;
                        ASSERT_EQ(s->mask[at], drawn ? 1 : 0) << x << "," << y;
                        if (drawn) {
                            ASSERT_EQ(s->pixels[at], c.index_read) << x << "," << y;
                        }
                    }
                sprite_unref(s);
            }
        // A picture stored where id last + 1 would be is not one.
        std::memset(ram, 0, ram_size);
        idx_picture pic(c.width, c.lines, static_cast<u8>(c.index_written));
        write_table_picture(c, c.last + 1, pic);
        EXPECT_EQ(rom_sprite(c.type, c.last + 1, 0), nullptr);
        EXPECT_EQ(rom_sprite(c.type, c.first - 1, 0), nullptr);
    }
    EXPECT_EQ(rom_sprite(12, 0, 0), nullptr);
    EXPECT_EQ(rom_sprite(-1, 0, 0), nullptr);
}

TEST_F(SpriteTables, AnEnemyOfColourZeroOnlyGivesNoPicture) {
    // Index 8 in a 3-plane table is stored as 0: nothing is drawn.
    idx_picture pic(16, 22, 8);
    st_put_groups(ram + 0x5E60A + 3 * 0x84, pic, 3, 6);
    EXPECT_EQ(rom_sprite(0, 3, 0), nullptr);
}

TEST_F(SpriteTables, VehicleKeepsOpaqueBlackInItsInnerGroupsAndTakesItsFrameTable) {
    // Colour 0 everywhere but one pixel at each outer edge, so the crop keeps
    // the whole width: inner groups (16..47) are drawn black, outer ones not.
    for (u32 base : {0x3D3FCu, 0x3F07Cu}) {
        std::memset(ram, 0, ram_size);
        idx_picture pic(64, 90);
        pic.at(0, 0) = 4;
        pic.at(63, 89) = 4;
        st_put_groups(ram + base + 0xB40, pic, 4, 32);
        const int frame_byte = base == 0x3D3FCu ? 0 : 1;
        sprite* s = rom_sprite(9, 1, frame_byte);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->width, 64);
        EXPECT_EQ(s->height, 90);
        EXPECT_EQ(s->mask[10 * 64 + 5], 0);   // outer group, colour 0
        EXPECT_EQ(s->mask[10 * 64 + 16], 1);  // inner groups: opaque black
        EXPECT_EQ(s->pixels[10 * 64 + 16], 0);
        EXPECT_EQ(s->mask[10 * 64 + 47], 1);
        EXPECT_EQ(s->mask[10 * 64 + 48], 0);
        sprite_unref(s);
        // The other frame's table is empty here: only its inner groups draw.
        sprite* other = rom_sprite(9, 1, 1 - frame_byte);
        ASSERT_NE(other, nullptr);
        EXPECT_EQ(other->width, 32);
        EXPECT_EQ(other->hot_x, -36 + 16);
        sprite_unref(other);
    }
}

TEST(SpriteDots, BulletsAreTwoByTwoDotsAndIdSevenIsOneWide) {
    struct dot_case {
        int type, id, width, index;
    } cases[] = {{2, 0, 2, 8}, {2, 6, 2, 8}, {2, 7, 1, 8}, {3, 0, 2, 0}, {3, 7, 1, 0}};
    for (const dot_case& c : cases) {
        sprite* s = rom_sprite(c.type, c.id, 0);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->width, c.width);
        EXPECT_EQ(s->height, 2);
        EXPECT_EQ(s->hot_x, -36);
        EXPECT_EQ(s->hot_y, -100);
        for (int i = 0; i < c.width * 2; ++i) {
            EXPECT_EQ(s->pixels[i], c.index);
            EXPECT_EQ(s->mask[i], 1);
        }
        sprite_unref(s);
    }
    EXPECT_EQ(rom_sprite(2, 8, 0), nullptr);
    EXPECT_EQ(rom_sprite(3, 8, 0), nullptr);
    EXPECT_EQ(rom_sprite(3, -1, 0), nullptr);
}

TEST_F(SpriteTables, PlayerLayoutTakesEachPlaneLeftGroupThenRight) {
    // The right half of plane 1 alone gives index 2 in columns 16..31.
    idx_picture pic(32, 25);
    pic.fill_rect(16, 0, 16, 25, 2);
    st_put_player(ram + 0x2F91C, pic);
    EXPECT_EQ(ram[0x2F91C + 6], 0xFF);  // plane 1, right group, high byte
    sprite* s = rom_sprite(1, 0, 0);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->hot_x, 16);
    EXPECT_EQ(s->width, 16);
    EXPECT_EQ(s->pixels[0], 2);
    sprite_unref(s);
}

} // namespace
