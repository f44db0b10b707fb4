// Recognising the level of captured frames: which frames count, the key
// that spares a parse, identities, the list of kept levels, and the frame
// close of the scene capture.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "graphics/level.h"
#include "machine/memory.h"
#include "support/machine/machine_fixture.h"
#include "support/tables/mission_builder.h"
#include "support/graphics/scene_script.h"

namespace {

class LevelIdent : public MachineTest {
 protected:
    void SetUp() override {
        MachineTest::SetUp();
        level_clear();
    }
    void TearDown() override {
        level_clear();
        MachineTest::TearDown();
    }
    static void put_two_maps() {
        mission_builder m;
        ASSERT_TRUE(m.map({{{1}, {2, {stamp(4, 1)}}, {3}}, {{0}, {5}, {1}}})) << m.error;
        ASSERT_TRUE(m.map({{{3}, {3}, {3}}})) << m.error;
        m.put_in_ram();
    }
    // The id a frame of that kind and section is given.
    static int32_t check(u32 section, int bg_kind = BG_VERTICAL, int captured = 1) {
        scene_frame* f = frame_new();
        f->bg_kind = bg_kind;
        f->bg_captured = captured;
        f->section = section;
        scene_check_level(f);
        const int32_t id = f->level_id;
        frame_unref(f);
        return id;
    }
    static bool kept(int32_t id) {
        parsed_level* level = level_find(id);
        level_free(level);
        return level != nullptr;
    }
};

TEST_F(LevelIdent, OnlyVerticalFramesWithABackgroundOfAValidSectionAreIdentified) {
    put_two_maps();
    EXPECT_NE(check(0), 0);
    EXPECT_EQ(check(0, BG_HORIZONTAL), 0);
    EXPECT_EQ(check(0, BG_VERTICAL, 0), 0);
    // $FFFF before a mission starts, and the first number out of range.
    EXPECT_EQ(check(0xFFFF), 0);
    EXPECT_EQ(check(32768), 0);
    // The last valid section reads its word past the table: 0 here, the
    // first map.
    EXPECT_NE(check(32767), 0);
}

TEST_F(LevelIdent, AMapWithoutACompleteRowGivesNoLevel) {
    for (const std::vector<u8>& map : {std::vector<u8>{0xFF}, std::vector<u8>{1, 2, 0xFF}}) {
        machine_clear();
        level_clear();
        mission_builder m;
        m.unchecked = true;
        ASSERT_TRUE(m.map_bytes(map));
        m.put_in_ram();
        EXPECT_EQ(check(0), 0);
        EXPECT_EQ(check(0), 0);
    }
}

TEST_F(LevelIdent, SectionsHaveTheirOwnIdsAndARepeatedSectionKeepsIts) {
    put_two_maps();
    const int32_t first = check(0), second = check(1);
    EXPECT_NE(first, 0);
    EXPECT_NE(second, 0);
    EXPECT_NE(first, second);
    EXPECT_EQ(check(0), first);
    level_new_segment();
    EXPECT_EQ(check(0), first);
    EXPECT_TRUE(kept(first));
    EXPECT_TRUE(kept(second));
    parsed_level* level = level_find(first);
    ASSERT_NE(level, nullptr);
    EXPECT_EQ(level->section, 0);
    EXPECT_EQ(level->rows, 2);
    level_free(level);
}

TEST_F(LevelIdent, TheSameMapElsewhereIsTheSameLevelKeptOnce) {
    put_two_maps();
    const int32_t id = check(0);
    // Section 0's map copied 200 bytes further on: a new key, the same level.
    const u32 from = 0x73BEE, to = from + 200;
    for (u32 i = 0; i < 16; ++i) wr8(to + i, static_cast<u8>(rd8(from + i)));
    wr8(0x73BAE, 0), wr8(0x73BAF, 200);
    EXPECT_EQ(check(0), id);
    parsed_level* level = level_find(id);
    ASSERT_NE(level, nullptr);
    EXPECT_EQ(level->refs.load(), 2);  // the list's and ours: the new parse was dropped
    level_free(level);
    level = level_find(id);
    EXPECT_EQ(level->refs.load(), 2);
    level_free(level);
}

TEST_F(LevelIdent, WhatThePictureShowsChangesTheId) {
    put_two_maps();
    const int32_t base = check(0);
    // Section 0's map: 1 | $82 4 1 0 | 3 || 0 | 5 | 1 | $FF.
    struct change {
        const char* what;
        std::vector<std::pair<u32, u8>> bytes;
    } changes[] = {
        {"a ground tile's pixel", {{0x5649A + 2 * 1024 + 100, 0x5A}}},
        {"an object block's pixel", {{0x57C9A + 4 * 128 + 3, 0xC3}}},
        {"a placement", {{0x8D80 + 4 * 1 + 1, 0x18}}},
        {"the layout with the same tiles", {{0x73BEE + 7, 1}, {0x73BEE + 8, 5}}},
        {"an object's placement byte", {{0x73BEE + 3, 2}}},
    };
    for (const change& c : changes) {
        std::vector<u8> old;
        for (const auto& [address, value] : c.bytes) {
            old.push_back(static_cast<u8>(rd8(address)));
            wr8(address, value);
        }
        level_new_segment();
        EXPECT_NE(check(0), base) << c.what;
        for (size_t i = 0; i < old.size(); ++i) wr8(c.bytes[i].first, old[i]);
    }
    level_new_segment();
    EXPECT_EQ(check(0), base);
}

TEST_F(LevelIdent, TheKeyCoversTheTableAndTheMapsStartOnly) {
    put_two_maps();
    const int32_t base = check(0);
    // A tile changed under an unchanged key is not seen until the key
    // changes or the segment ends: the key spares a parse per frame.
    wr8(0x5649A + 1024 + 5, static_cast<u8>(rd8(0x5649A + 1024 + 5) ^ 0xFF));
    EXPECT_EQ(check(0), base);
    wr8(0x73BAE + 40, 1);  // a stream word of the table
    const int32_t changed = check(0);
    EXPECT_NE(changed, base);
    EXPECT_EQ(check(0), changed);
}

TEST_F(LevelIdent, TheKeyTakesTheMapsFirst64Bytes) {
    // 22 rows of plain cells: byte 63 is the last the key covers.
    struct {
        int byte;
        bool seen;
    } cases[] = {{0, true}, {63, true}, {64, false}, {65, false}};
    for (const auto& c : cases) {
        machine_clear();
        level_clear();
        mission_builder m;
        m.unchecked = true;
        std::vector<u8> map(66, 1);
        map.push_back(0xFF);
        ASSERT_TRUE(m.map_bytes(map));
        m.put_in_ram();
        const int32_t base = check(0);
        wr8(0x73BEE + static_cast<u32>(c.byte), 2);
        EXPECT_EQ(check(0) != base, c.seen) << "byte " << c.byte;
    }
}

TEST_F(LevelIdent, TheTwentyFifthLevelPushesTheFirstOut) {
    put_two_maps();
    std::vector<int32_t> ids;
    for (int n = 0; n < 25; ++n) {
        wr8(0x5649A + 1024 + 7, static_cast<u8>(n));
        level_new_segment();
        ids.push_back(check(0));
        ASSERT_NE(ids.back(), 0);
        if (n > 0) {
            ASSERT_NE(ids.back(), ids[n - 1]);
        }
        if (n < 24) {
            EXPECT_TRUE(kept(ids.front())) << "after " << n + 1 << " levels";
        }
    }
    EXPECT_FALSE(kept(ids[0]));
    for (int n = 1; n < 25; ++n) EXPECT_TRUE(kept(ids[n])) << n;
}

TEST_F(LevelIdent, ClosedFramesOfTheCaptureCarryTheLevel) {
    put_two_maps();
    std::vector<int32_t> ids;
    static std::vector<int32_t>* seen;
    seen = &ids;
    static const scene_ops ops{[](scene_frame* f) { seen->push_back(f->level_id); }, nullptr, nullptr, nullptr};
    scene_init(&ops);
    script_begin();
    script_frame_start(10);
    script_vertical_background(5, nullptr, 1);
    script_frame_end();
    script_frame_start(12, false);
    script_horizontal_background(0);
    script_frame_end(false);
    scene_clear_frames();
    scene_init(nullptr);
    ASSERT_EQ(ids.size(), 2u);
    EXPECT_EQ(ids[0], check(1));
    EXPECT_NE(ids[0], 0);
    EXPECT_EQ(ids[1], 0);
}

} // namespace
