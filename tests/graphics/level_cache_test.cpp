// The cache of level pictures: builds on threads of their own with lookups
// answering nothing until they are done, the build at once when no thread
// starts, keys, the limit of sixteen with its eviction, the renderer's
// callback, and the renderer drawing a level picture once it is ready.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "graphics/level.h"
#include "graphics/level_internal.h"
#include "graphics/render.h"
#include "level_pack_stub.h"
#include "machine/memory.h"
#include "support/machine/machine_fixture.h"
#include "support/tables/mission_builder.h"
#include "support/graphics/scene_frames.h"

namespace {

class LevelCache : public MachineTest {
 protected:
    level_pack_stub pack;
    int32_t id = 0;

    void SetUp() override {
        MachineTest::SetUp();
        level_clear();
        mission_builder m;
        ASSERT_TRUE(m.map({{{1}, {2, {stamp(7, 5)}}, {3}}, {{0}, {4}, {5}}})) << m.error;
        m.put_in_ram();
        id = recognise();
        ASSERT_NE(id, 0);
        pack.install();
    }
    void TearDown() override {
        pack.open_gate();
        level_clear();
        level_pack_stub::remove();
        MachineTest::TearDown();
    }
    static int32_t recognise() {
        scene_frame* f = frame_new();
        f->bg_kind = BG_VERTICAL, f->bg_captured = 1, f->section = 0;
        scene_check_level(f);
        const int32_t level = f->level_id;
        frame_unref(f);
        return level;
    }
    // test_palette with colour 15 made n: a palette of its own, told apart
    // from the others by its last byte.
    static std::vector<u8> palette(int n) {
        std::vector<u8> p(32);
        test_palette(p.data());
        palette_set(p.data(), 15, static_cast<u16>(n));
        return p;
    }
    const u8* lookup(int n, int scale = 1, int* height = nullptr) {
        int h = 0;
        return level_rgb(id, palette(n).data(), scale, height ? height : &h);
    }
    // Pushes the level out of the kept list with 24 others.
    static void push_out() {
        for (int n = 0; n < level_kept_max; ++n) {
            wr8(0x5649A + 1024 + 9, static_cast<u8>(block_byte(1, 9) ^ (n + 1)));
            level_new_segment();
            ASSERT_NE(recognise(), 0);
        }
    }
};

TEST_F(LevelCache, ABuildRunsOnItsOwnThreadAndLookupsWaitForIt) {
    pack.close_gate();
    EXPECT_EQ(lookup(0), nullptr);
    pack.wait_held(1);
    EXPECT_EQ(pack.builders.load(), 1);
    EXPECT_EQ(lookup(0), nullptr);
    EXPECT_EQ(pack.builds_started.load(), 1);
    pack.open_gate();
    level_wait_builders();
    EXPECT_EQ(pack.builders.load(), 0);
    int h = 0;
    EXPECT_EQ(lookup(0, 2, &h), nullptr);  // another scale: a new build
    level_wait_builders();
    const u8* rgb = lookup(0, 1, &h);
    ASSERT_NE(rgb, nullptr);
    EXPECT_EQ(h, 10 * 32);
    EXPECT_EQ(pack.builds_started.load(), 2);
    EXPECT_EQ(pack.lookup_threads.count(std::this_thread::get_id()), 0u);
}

TEST_F(LevelCache, WithoutAThreadTheBuildIsDoneAtOnce) {
    const auto start = level_thread_start;
    level_thread_start = [](port_thread_fn, void*) { return 0; };
    EXPECT_EQ(lookup(0, 2), nullptr);
    level_thread_start = start;
    EXPECT_EQ(pack.builders.load(), 0);
    EXPECT_EQ(pack.builds_started.load(), 1);
    EXPECT_EQ(pack.lookup_threads, std::set<std::thread::id>{std::this_thread::get_id()});
    int h = 0;
    EXPECT_NE(lookup(0, 2, &h), nullptr);
    EXPECT_EQ(h, 10 * 32 * 2);
}

TEST_F(LevelCache, PicturesAreKeptByPaletteScaleAndPackGeneration) {
    EXPECT_EQ(lookup(0), nullptr);
    level_wait_builders();
    ASSERT_NE(lookup(0), nullptr);
    struct {
        const char* what;
        int palette, scale;
        int new_generation;
    } cases[] = {
        {"another palette", 1, 1, 0},
        {"another scale", 0, 3, 0},
        {"a reloaded pack", 0, 1, 1},
    };
    for (const auto& c : cases) {
        const int started = pack.builds_started.load();
        if (c.new_generation) ++pack_gen;
        EXPECT_EQ(lookup(c.palette, c.scale), nullptr) << c.what;
        EXPECT_EQ(pack.builds_started.load(), started + 1) << c.what;
        level_wait_builders();
        EXPECT_NE(lookup(c.palette, c.scale), nullptr) << c.what;
        EXPECT_EQ(pack.builds_started.load(), started + 1) << c.what;
    }
    int unknown_height = 0;
    EXPECT_EQ(level_rgb(id + 1, palette(0).data(), 1, &unknown_height), nullptr);
    level_wait_builders();
    EXPECT_EQ(pack.builds_started.load(), 4);
}

TEST_F(LevelCache, TheLeastRecentlyUsedReadyPictureMakesRoom) {
    for (int n = 0; n < level_cache_entries; ++n) EXPECT_EQ(lookup(n), nullptr);
    level_wait_builders();
    ASSERT_NE(lookup(0), nullptr);  // 1 is now the least recently used
    EXPECT_EQ(lookup(level_cache_entries), nullptr);
    level_wait_builders();
    const int started = pack.builds_started.load();
    EXPECT_NE(lookup(level_cache_entries), nullptr);
    for (int n = 0; n < level_cache_entries; ++n)
        if (n != 1) {
            EXPECT_NE(lookup(n), nullptr) << "palette " << n;
        }
    EXPECT_EQ(pack.builds_started.load(), started);
    EXPECT_EQ(lookup(1), nullptr);
    EXPECT_EQ(pack.builds_started.load(), started + 1);
}

TEST_F(LevelCache, WhileEveryEntryBuildsANewPictureStartsNothing) {
    pack.close_gate();
    for (int n = 0; n < level_cache_entries; ++n) EXPECT_EQ(lookup(n), nullptr);
    pack.wait_held(level_cache_entries);
    EXPECT_EQ(lookup(level_cache_entries), nullptr);
    EXPECT_EQ(pack.builds_started.load(), level_cache_entries);
    EXPECT_EQ(pack.builders.load(), level_cache_entries);
    pack.open_gate();
    level_wait_builders();
    EXPECT_EQ(lookup(level_cache_entries), nullptr);
    EXPECT_EQ(pack.builds_started.load(), level_cache_entries + 1);
}

TEST_F(LevelCache, ALevelDroppedWhileItIsBuiltIsBuiltWhole) {
    pack.close_gate();
    EXPECT_EQ(lookup(0), nullptr);
    pack.wait_held(1);
    push_out();
    parsed_level* gone = level_find(id);
    EXPECT_EQ(gone, nullptr);
    level_free(gone);
    pack.open_gate();
    level_wait_builders();
    int h = 0;
    const u8* rgb = lookup(0, 1, &h);
    ASSERT_NE(rgb, nullptr);
    ASSERT_EQ(h, 320);
    // The bottom-left pixel: lead-in tile 1's pixel (0, 31).
    u8 want[3];
    std::vector<u8> colours(48);
    pal_to_rgb(palette(0).data(), colours.data());
    std::memcpy(want, &colours[3 * block_pixel(1, 31, 0)], 3);
    EXPECT_EQ(0, std::memcmp(rgb + static_cast<size_t>(319) * 192 * 3, want, 3));
}

TEST_F(LevelCache, TheRenderersCallbackAnswersForPacksWithTilesAndKeptLevels) {
    const std::vector<u8> p = palette(0);
    const u8* rgb = nullptr;
    int height = 0, level_height = 0;
    EXPECT_EQ(cb_level(id, p.data(), 2, &rgb, &height, &level_height), 0);  // not ready
    level_wait_builders();
    ASSERT_EQ(cb_level(id, p.data(), 2, &rgb, &height, &level_height), 1);
    EXPECT_EQ(rgb, lookup(0, 2));
    EXPECT_EQ(height, 640);
    EXPECT_EQ(level_height, 320);
    pack.has_tiles = 0;
    EXPECT_EQ(cb_level(id, p.data(), 2, &rgb, &height, &level_height), 0);
    pack.has_tiles = 1;
    push_out();
    EXPECT_NE(lookup(0, 2), nullptr);
    EXPECT_EQ(cb_level(id, p.data(), 2, &rgb, &height, &level_height), 0);
    level_pack_stub::remove();
    EXPECT_EQ(cb_level(id, p.data(), 2, &rgb, &height, &level_height), 0);
}

TEST_F(LevelCache, TheRendererScrollsTheLevelPictureOnceItIsReady) {
    pack_level_cb = cb_level;
    const int s = 2;
    auto draw = [&](std::vector<u8>& out) {
        scene_frame* a = test_frame(100, BG_VERTICAL, 0, 2);
        scene_frame* b = test_frame(102, BG_VERTICAL, 0, 2);
        for (scene_frame* f : {a, b}) {
            f->ring = static_cast<u8*>(std::calloc(256 * 192, 1));
            f->scroll_word = 320 - 1 - 100;  // the top of the screen at game line 100
            f->level_id = id;
        }
        const render_params params{s, 0, 0, 1, nullptr, 0.8f, 0};
        out.assign(static_cast<size_t>(s) * s * 192000, 0);
        render(a, b, &params, out.data(), 0);
        frame_unref(a);
        frame_unref(b);
    };
    std::vector<u8> before, after;
    draw(before);
    u8 ring[3];
    test_rgb(0, ring);
    EXPECT_EQ(0, std::memcmp(&before[(static_cast<size_t>(10) * 320 * s + 100 * s) * 3], ring, 3));
    level_wait_builders();
    draw(after);
    pack_level_cb = nullptr;
    int h = 0;
    u8 p[32];
    test_palette(p);
    const u8* picture = level_rgb(id, p, s, &h);
    ASSERT_NE(picture, nullptr);
    for (int m : {0, 1, 77, 399})
        EXPECT_EQ(0, std::memcmp(&after[(static_cast<size_t>(m) * 320 * s + 64 * s) * 3],
                                 picture + static_cast<size_t>(m + 200) * 192 * s * 3, 192 * s * 3))
            << "output line " << m;
}

} // namespace
