// Scene capture: frames played through the hook points by the scene script,
// with hand-made tables and screens.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "graphics/scene.h"
#include "machine/hooks.h"
#include "machine/memory.h"
#include "support/machine/machine_fixture.h"
#include "support/graphics/scene_script.h"

namespace {

std::vector<scene_frame*> g_frames;
int g_resets = 0;
std::vector<uint64_t> g_puts, g_drops;

void keep_frame(scene_frame* f) { g_frames.push_back(frame_ref(f)); }
void count_reset() { ++g_resets; }
void note_put(uint64_t key, sprite*) { g_puts.push_back(key); }
void note_drop(uint64_t key) { g_drops.push_back(key); }

class SceneCapture : public MachineTest {
 protected:
    void SetUp() override {
        MachineTest::SetUp();
        start();
    }
    void TearDown() override {
        forget();
        scene_init(nullptr);
        hooks_clear();
        MachineTest::TearDown();
    }
    void start() {
        forget();
        static const scene_ops ops{keep_frame, note_put, note_drop, count_reset};
        scene_init(&ops);
        script_begin();
    }
    static void forget() {
        scene_clear_frames();
        for (scene_frame* f : g_frames) frame_unref(f);
        g_frames.clear();
        g_resets = 0;
        g_puts.clear();
        g_drops.clear();
    }
    static void fill_screen(int index) {
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 320; ++x) st_set_pixel(script_screen_bytes(), x, y, index);
    }
    // One vertical frame (zero ring) around the given units.
    static void frame(u32 vbl, const std::function<void()>& units) {
        script_frame_start(vbl);
        script_vertical_background(0);
        units();
        script_frame_end();
    }
    static const scene_frame& last() { return *g_frames.back(); }
};

void draw_sprite(u8* screen, const sprite* s, int px, int py) {
    for (int j = 0; j < s->height; ++j)
        for (int i = 0; i < s->width; ++i)
            if (s->mask[j * s->width + i]) st_set_pixel(screen, px + i, py + j, s->pixels[j * s->width + i]);
}

bool same_picture(const sprite* a, const sprite* b) {
    if (a->width != b->width || a->height != b->height || a->hot_x != b->hot_x || a->hot_y != b->hot_y) return false;
    const size_t n = static_cast<size_t>(a->width) * a->height;
    return std::memcmp(a->pixels, b->pixels, n) == 0 && std::memcmp(a->mask, b->mask, n) == 0;
}

struct kind_case {
    int kind;
    std::vector<u16> words;
    int x, y, sub;
    u32 id, frame_byte;
};

// Record words per kind (active word set) and what the capture reads from
// them; byte $273 (effects bank) is 1.
const kind_case kind_cases[] = {
    {0, {151, 160, 1, 0, 2}, 150, 160, 0, 2, 0},
    {1, {1, 120, 60, 5}, 120, 60, 0, 5, 0},
    {2, {150, 160, 0, 0, 1}, 150, 160, 0, 2, 0},
    {3, {151, 160, 0, 0, 1}, 151, 160, 0, 3, 0},
    {4, {150, 160, 1, 0, 0, 4}, 150, 160, 0, 4, 0},
    {5, {1, 150, 160, 4}, 150, 160, 0, 4, 0},
    {6, {150, 160, 0, 0, 1, 0, 0, 3}, 150, 160, 0, 4, 0},
    {7, {1, 150, 160, 0, 1}, 150, 160, 0, 1, 0},
    {8, {1, 150, 160, 0, 0}, 150, 160, 0, 0, 0},
    {9, {1, 150, 120, 0, 1, 0, 0, 0, 2}, 150, 120, 0, 1, 1},
    {10, {0x93, 40, 1, 0, 0, 242}, 0x90, 40, 3, 242, 0},
    {11, {171, 160, 1, 5}, 164, 160, 7, 5, 0},
};

TEST_F(SceneCapture, EveryKindIsRecordedWithItsKeyPositionAndTablePicture) {
    for (const kind_case& c : kind_cases) {
        SCOPED_TRACE(testing::Message() << "kind " << c.kind);
        std::memset(ram, 0, ram_size);
        start();
        ram[0x273] = 1;
        fill_screen(3);
        script_table_block(c.kind, static_cast<int>(c.id), static_cast<int>(c.frame_byte), 2, 1, 6, 5, 5);
        sprite* expected = rom_sprite(c.kind, static_cast<int>(c.id), static_cast<int>(c.frame_byte));
        ASSERT_NE(expected, nullptr);
        frame(100, [&] {
            script_unit(c.kind, script_records, c.words, [&](u8* screen) {
                draw_sprite(screen, expected, c.x + expected->hot_x, c.y + expected->hot_y);
            });
        });
        ASSERT_EQ(g_frames.size(), 1u);
        ASSERT_EQ(last().unit_count, 1);
        const scene_unit& u = last().units[0];
        EXPECT_EQ(u.kind, c.kind);
        EXPECT_EQ(u.key, static_cast<uint64_t>(c.kind) << 40 | c.id << 8 | c.frame_byte);
        EXPECT_EQ(u.object, script_records);
        EXPECT_EQ(u.x, c.x);
        EXPECT_EQ(u.y, c.y);
        EXPECT_EQ(u.sub, c.sub);
        EXPECT_EQ(u.id, c.id);
        EXPECT_EQ(u.frame_byte, c.frame_byte);
        EXPECT_EQ(u.unchecked, 0);
        ASSERT_NE(u.spr, nullptr);
        EXPECT_TRUE(same_picture(u.spr, expected));
        // A table picture that matched the screen is kept for the key.
        EXPECT_EQ(atlas_get(g_atlas, u.key), u.spr);
        EXPECT_EQ(g_puts, std::vector<uint64_t>{u.key});
        sprite_unref(expected);
    }
}

TEST_F(SceneCapture, ARoutineThatChangesNothingRecordsNothing) {
    script_table_block(0, 2, 0, 2, 1, 6, 5, 5);
    frame(100, [] { script_unit(0, script_records, {151, 150, 1, 0, 2}, [](u8*) {}); });
    ASSERT_EQ(g_frames.size(), 1u);
    EXPECT_EQ(last().unit_count, 0);
    // An inactive object is not even opened.
    frame(102, [] {
        script_unit(0, script_records, {151, 150, 0, 0, 2}, [](u8* s) { st_set_pixel(s, 120, 60, 9); });
    });
    EXPECT_EQ(last().unit_count, 0);
}

TEST_F(SceneCapture, TheFrameTakesAtMost128UnitsAndSixteenOpenOnes) {
    fill_screen(3);
    frame(100, [] {
        for (int i = 0; i < 129; ++i) {
            const u16 x = static_cast<u16>(100 + 2 * (i % 90)), y = static_cast<u16>(110 + 4 * (i / 90));
            script_unit(2, script_records + 32 * i, {x, y, 0, 0, 1}, [&](u8* s) { st_set_pixel(s, x - 36, y - 100, 8); });
        }
    });
    EXPECT_EQ(last().unit_count, 128);

    // Seventeen objects enter before any leaves: the last is not followed.
    frame(102, [] {
        for (int i = 0; i < 17; ++i) {
            const u32 record = script_records + 32 * i;
            wr16(record, static_cast<u32>(120 + 4 * i)), wr16(record + 2, 150), wr16(record + 4, 1);
            g_cpu.a[6] = record;
            host_hook(0x5E3A);
        }
        for (int i = 0; i < 17; ++i) st_set_pixel(script_screen_bytes(), 84 + 4 * i, 50, 9);
        host_hook(0x5F10);
    });
    ASSERT_EQ(last().unit_count, 16);
    EXPECT_EQ(last().units[15].object, script_records + 32 * 15);
}

TEST_F(SceneCapture, EffectIdsAboveElevenBecomeTen) {
    struct {
        u16 w7;
        u8 bank;
        u32 id;
    } cases[] = {{12, 0, 10}, {11, 1, 10}, {11, 0, 11}, {9, 1, 10}, {3, 1, 4}, {40, 1, 10}};
    u32 vbl = 100;
    for (const auto& c : cases) {
        ram[0x273] = c.bank;
        frame(vbl += 2, [&] {
            script_unit(6, script_records, {150, 150, 0, 0, 1, 0, 0, c.w7},
                        [&](u8* s) { st_set_pixel(s, 114 + static_cast<int>(vbl) % 7, 50, 9); });
        });
        ASSERT_EQ(last().unit_count, 1);
        EXPECT_EQ(last().units[0].id, c.id) << "w7 " << c.w7 << " bank " << int(c.bank);
    }
}

TEST_F(SceneCapture, AnEnemyAtX99IsCutFromTheScreenAndNotKeptInTheAtlas) {
    struct {
        u16 w0;
        bool kept;
    } cases[] = {{99, false}, {100, true}};
    for (const auto& c : cases) {
        std::memset(ram, 0, ram_size);
        start();
        // x + hot spot = 64 (x 98) or 66: inside the playfield either way.
        script_table_block(0, 2, 0, 2, 1, 6, 5, 5);
        sprite* table = rom_sprite(0, 2, 0);
        const int x = c.w0 & ~1;
        frame(100, [&] {
            script_unit(0, script_records, {c.w0, 150, 1, 0, 2},
                        [&](u8* s) { draw_sprite(s, table, x + table->hot_x, 150 + table->hot_y); });
        });
        ASSERT_EQ(last().unit_count, 1);
        const sprite* got = last().units[0].spr;
        EXPECT_EQ(got->from_screen, c.kept ? 0 : 1) << c.w0;
        EXPECT_EQ(got->width, 6);
        EXPECT_EQ(got->hot_x, table->hot_x);
        EXPECT_EQ(atlas_get(g_atlas, last().units[0].key) != nullptr, c.kept) << c.w0;
        sprite_unref(table);
    }
}

TEST_F(SceneCapture, AFailingPictureOfAFreshSlotMakesTheKeyUnstableAndIsCutWithinItsBox) {
    script_table_block(0, 2, 0, 2, 1, 6, 5, 5);
    sprite* table = rom_sprite(0, 2, 0);
    const uint64_t key = unit_key(0, 2, 0);
    auto draw_table = [&](u8* s) { draw_sprite(s, table, 150 + table->hot_x, 150 + table->hot_y); };
    frame(100, [&] { script_unit(0, script_records, {150, 150, 1, 0, 2}, draw_table); });
    ASSERT_NE(atlas_get(g_atlas, key), nullptr);

    // The routine now draws a wider block: the atlas picture fails.
    std::memset(script_screen_bytes(), 0, 32000);
    auto draw_wide = [&](u8* s) {
        for (int i = 0; i < 9; ++i)
            for (int j = 0; j < 5; ++j) st_set_pixel(s, 116 + i, 51 + j, 7);
    };
    frame(102, [&] { script_unit(0, script_records, {150, 150, 1, 0, 2}, draw_wide); });
    ASSERT_EQ(last().unit_count, 1);
    EXPECT_EQ(last().units[0].spr->from_screen, 1);
    EXPECT_EQ(last().units[0].spr->width, 9);
    EXPECT_EQ(atlas_get(g_atlas, key), nullptr);
    EXPECT_EQ(g_drops, std::vector<uint64_t>{key});
    const atlas_slot* slot = afind(g_atlas, key, 0);
    ASSERT_NE(slot, nullptr);
    EXPECT_EQ(slot->unstable, 1);
    EXPECT_EQ(slot->box_valid, 1);

    // From now on only the box's band is watched: a pixel the routine sets
    // far below is not part of the unit, and the table is not tried again.
    std::memset(script_screen_bytes(), 0, 32000);
    frame(104, [&] {
        script_unit(0, script_records, {150, 150, 1, 0, 2}, [&](u8* s) {
            draw_table(s);
            st_set_pixel(s, 120, 190, 9);
        });
    });
    ASSERT_EQ(last().unit_count, 1);
    const sprite* cut = last().units[0].spr;
    EXPECT_EQ(cut->from_screen, 1);
    EXPECT_EQ(cut->height, 5);
    EXPECT_EQ(cut->width, 6);
    EXPECT_EQ(atlas_get(g_atlas, key), nullptr);
    sprite_unref(table);
}

TEST_F(SceneCapture, AFailingStalePictureIsDroppedWithoutMakingTheKeyUnstable) {
    script_table_block(0, 2, 0, 2, 1, 6, 5, 5);
    sprite* table = rom_sprite(0, 2, 0);
    const uint64_t key = unit_key(0, 2, 0);
    frame(100, [&] {
        script_unit(0, script_records, {150, 150, 1, 0, 2},
                    [&](u8* s) { draw_sprite(s, table, 150 + table->hot_x, 150 + table->hot_y); });
    });
    // A new segment (a gap of 100 VBLs) makes the slot stale; the game now
    // draws something else for the key.
    std::memset(script_screen_bytes(), 0, 32000);
    frame(200, [&] {
        script_unit(0, script_records, {150, 150, 1, 0, 2}, [&](u8* s) { st_set_pixel(s, 120, 52, 9); });
    });
    const atlas_slot* slot = afind(g_atlas, key, 0);
    ASSERT_NE(slot, nullptr);
    EXPECT_EQ(slot->spr, nullptr);
    EXPECT_EQ(slot->unstable, 0);
    EXPECT_EQ(slot->stale, 0);
    EXPECT_EQ(last().units[0].spr->from_screen, 1);
    // Next time the table picture is tried again and kept.
    std::memset(script_screen_bytes(), 0, 32000);
    frame(202, [&] {
        script_unit(0, script_records, {150, 150, 1, 0, 2},
                    [&](u8* s) { draw_sprite(s, table, 150 + table->hot_x, 150 + table->hot_y); });
    });
    EXPECT_NE(atlas_get(g_atlas, key), nullptr);
    EXPECT_EQ(last().units[0].spr->from_screen, 0);
    sprite_unref(table);
}

TEST_F(SceneCapture, AResidualPixelIsHiddenOnlyInsideAnUncheckedUnitsWidenedBox) {
    frame(100, [] {
        st_set_pixel(script_screen_bytes(), 150, 30, 6);
        st_set_pixel(script_screen_bytes(), 64, 0, 7);
        st_set_pixel(script_screen_bytes(), 30, 30, 7);  // side panel: never residual
    });
    ASSERT_EQ(last().residual_count, 2);
    ASSERT_NE(last().residual_mask, nullptr);
    EXPECT_EQ(last().residual_mask[30 * 320 + 150], 1);
    EXPECT_EQ(last().residual_mask[64], 1);
    EXPECT_EQ(last().residual_screen[30 * 320 + 150], 6);

    script_table_block(0, 2, 0, 2, 1, 6, 5, 5);
    sprite* table = rom_sprite(0, 2, 0);
    // The key is learnt at (150, 150); then the enemy is outside the inner
    // window and its atlas picture is taken unchecked: at x 98 (picture
    // columns 64..69, lines 51..55) or at y 98 near the top (columns
    // 116..121, lines 0..3, the game clipping line -1).
    struct stray_case {
        u16 x, y;
        int px, py;
        bool hidden;
    } strays[] = {
        {98, 150, 85, 51, true},  {98, 150, 86, 51, false}, {98, 150, 69, 50, true},  {98, 150, 69, 49, false},
        {98, 150, 69, 56, true},  {98, 150, 69, 57, false}, {150, 98, 100, 2, true},  {150, 98, 99, 2, false},
        {150, 98, 137, 0, true},  {150, 98, 138, 0, false}, {150, 98, 120, 4, true},  {150, 98, 120, 5, false},
    };
    u32 vbl = 200;
    for (const stray_case& c : strays) {
        std::memset(script_screen_bytes(), 0, 32000);
        frame(vbl += 2, [&] {
            script_unit(0, script_records, {150, 150, 1, 0, 2},
                        [&](u8* s) { draw_sprite(s, table, 150 + table->hot_x, 150 + table->hot_y); });
        });
        std::memset(script_screen_bytes(), 0, 32000);
        st_set_pixel(script_screen_bytes(), c.px, c.py, 6);
        st_set_pixel(script_screen_bytes(), 200, 150, 6);  // far from the unit: always residual
        frame(vbl += 2, [&] {
            script_unit(0, script_records, {c.x, c.y, 1, 0, 2}, [&](u8* s) {
                for (int j = 0; j < table->height; ++j)
                    for (int i = 0; i < table->width; ++i) {
                        const int sy = c.y + table->hot_y + j;
                        if (sy >= 0) st_set_pixel(s, c.x + table->hot_x + i, sy, table->pixels[j * table->width + i]);
                    }
            });
        });
        SCOPED_TRACE(testing::Message() << c.px << "," << c.py);
        ASSERT_EQ(last().unit_count, 1);
        EXPECT_EQ(last().units[0].unchecked, 1);
        EXPECT_EQ(last().residual_count, c.hidden ? 1 : 2);
        ASSERT_NE(last().residual_mask, nullptr);
        EXPECT_EQ(last().residual_mask[c.py * 320 + c.px], c.hidden ? 0 : 1);
        EXPECT_EQ(last().residual_mask[150 * 320 + 200], 1);
    }
    sprite_unref(table);
}

// A known picture is compared with the screen only inside the inner
// window; at its top and bottom edges a turret (whose y is signed) is
// inside from line 0 to line 200 and outside a line beyond.
TEST_F(SceneCapture, TheInnerWindowRunsFromLineZeroToLine200) {
    script_table_block(10, 242, 0, 2, 1, 6, 5, 5);
    sprite* table = rom_sprite(10, 242, 0);
    ASSERT_NE(table, nullptr);
    const auto turret = [&](int y) {
        script_unit(10, script_records, {0x90, static_cast<u16>(y), 1, 0, 0, 242}, [&](u8* s) {
            for (int j = 0; j < table->height; ++j) {
                const int sy = y + table->hot_y + j;
                if (sy < 0 || sy >= 200) continue;
                for (int i = 0; i < table->width; ++i)
                    if (table->mask[j * table->width + i])
                        st_set_pixel(s, 0x90 + table->hot_x + i, sy, table->pixels[j * table->width + i]);
            }
        });
    };
    struct {
        int top;  // of the picture
        bool inside;
    } cases[] = {{0, true}, {-1, false}, {200 - table->height, true}, {201 - table->height, false}, {80, true}};
    u32 vbl = 100;
    frame(vbl, [&] { turret(100); });  // the key learnt
    for (const auto& c : cases) {
        std::memset(script_screen_bytes(), 0, 32000);
        frame(vbl += 2, [&] { turret(c.top - table->hot_y); });
        ASSERT_EQ(last().unit_count, 1) << c.top;
        EXPECT_EQ(last().units[0].unchecked, c.inside ? 0 : 1) << "picture top " << c.top;
    }
    sprite_unref(table);
}

TEST_F(SceneCapture, AFrameEndBeforeItsBackgroundLeavesTheFrameOpen) {
    script_frame_start(100);
    script_frame_end();
    EXPECT_TRUE(g_frames.empty());
    st_set_pixel(script_screen_bytes(), 100, 20, 5);
    script_frame_start(102);
    ASSERT_EQ(g_frames.size(), 1u);
    EXPECT_EQ(last().vbl, 100u);
    EXPECT_EQ(last().ring_row, -1);
    EXPECT_EQ(last().bg_captured, 0);
    // Without a ring the playfield is explained by a black background.
    EXPECT_EQ(last().residual_count, 1);
}

TEST_F(SceneCapture, ASegmentStartsAtTheFirstFrameAfterAGapAbove60AndWhenTheCounterGoesBack) {
    struct {
        int step;
        bool segment;
    } cases[] = {{60, false}, {61, true}, {2, false}, {-2, true}, {-1000, true}, {1, false}};
    u32 vbl = 5000;
    frame(vbl, [] {});
    EXPECT_EQ(g_resets, 1);
    EXPECT_EQ(last().segment_start, 1);
    for (const auto& c : cases) {
        const int before = g_resets;
        vbl += static_cast<u32>(c.step);
        frame(vbl, [] {});
        EXPECT_EQ(g_resets - before, c.segment ? 1 : 0) << c.step;
        EXPECT_EQ(last().segment_start, c.segment ? 1 : 0) << c.step;
    }
}

TEST_F(SceneCapture, HorizontalScrollUnwrapsAcrossThePatternsWrap) {
    struct {
        int from, to, change;
    } cases[] = {{30, 0, 2}, {0, 30, -2}, {4, 8, 4}, {8, 4, -4}, {0, 16, -16}, {16, 0, -16}, {2, 16, 14}, {16, 2, -14}};
    for (const auto& c : cases) {
        start();
        script_frame_start(100, false);
        script_horizontal_background(c.from);
        script_frame_end(false);
        script_frame_start(102, false);
        script_horizontal_background(c.to);
        script_frame_end(false);
        ASSERT_EQ(g_frames.size(), 2u);
        EXPECT_EQ(g_frames[1]->hscroll - g_frames[0]->hscroll, c.change) << c.from << "->" << c.to;
    }
}

TEST_F(SceneCapture, ALongLeftScrollGoesNegativeAndTheBandIsStillExplained) {
    idx_picture band(64, 32);
    for (int j = 0; j < 32; ++j)
        for (int i = 0; i < 64; ++i) band.at(i, j) = static_cast<u8>(1 + (i * 3 + j) % 15);
    int shown = 30;
    for (int f = 0; f < 40; ++f) {
        const int unwrapped = 30 - 2 * f;
        // The screen as the game draws the band at that scroll.
        for (int y = 0; y < 200; ++y)
            for (int c = 64; c < 256; ++c) {
                const int col = ((unwrapped + c - 64) % 32 + 32) % 32;
                st_set_pixel(script_screen_bytes(), c, y, band.at(col, y % 32));
            }
        script_frame_start(100 + 2 * f, false);
        script_horizontal_background(shown, &band);
        script_frame_end(false);
        EXPECT_EQ(last().hscroll, unwrapped);
        EXPECT_EQ(last().residual_count, 0) << "frame " << f;
        shown = (shown + 30) % 32;
    }
    EXPECT_LT(last().hscroll, -40);
}

TEST_F(SceneCapture, AScreenBaseNearTheTopOfTheAddressSpaceGivesAZeroScreenAndNoUnit) {
    for (u32 base : {0xFFFFFF00u, 0x3F8400u, 0x400000u, 0x3F8301u}) {
        start();
        fill_screen(5);
        wr32(0x28E, base);
        frame(100, [] {
            script_unit(4, script_records, {150, 150, 1}, [](u8* s) { st_set_pixel(s, 120, 60, 9); });
        });
        ASSERT_EQ(g_frames.size(), 1u);
        EXPECT_EQ(last().screen_base, base);
        EXPECT_EQ(last().unit_count, 0);
        for (int i = 0; i < 64000; ++i) ASSERT_EQ(last().screen[i], 0) << std::hex << base;
    }
}

TEST_F(SceneCapture, AScreenEndingExactlyAtTheEndOfMemoryIsRead) {
    wr32(0x28E, 0x3F8300);
    st_set_pixel(ram + 0x3F8300, 319, 199, 9);
    frame(100, [] {});
    EXPECT_EQ(last().screen[64000 - 1], 9);
}

TEST_F(SceneCapture, FrameCloseTakesTheMachinesPaletteZonesOrTheLiveColours) {
    tos.zone_count = 2;
    tos.zones[0].line = 0, tos.zones[0].palette[1] = 0x11;
    tos.zones[1].line = 120, tos.zones[1].palette[1] = 0x22;
    frame(100, [] {});
    ASSERT_EQ(last().zone_count, 2);
    EXPECT_EQ(last().zones[1].line, 120u);
    EXPECT_EQ(last().zones[1].palette[1], 0x22);
    tos.zone_count = 0;
    io[0x240 + 3] = 0x77;  // $FF8243: colour 1
    frame(102, [] {});
    ASSERT_EQ(last().zone_count, 1);
    EXPECT_EQ(last().zones[0].line, 0u);
    EXPECT_EQ(last().zones[0].palette[3], 0x77);
}

TEST_F(SceneCapture, TheVerticalRingIsTakenWithItsRowAndTheUnitsPaintedOverIt) {
    idx_picture ring(192, 256);
    for (int r = 0; r < 256; ++r) ring.fill_rect(0, r, 192, 1, static_cast<u8>(r % 16));
    // The screen shows the ring from row 255 - 40 on: nothing is residual.
    for (int y = 0; y < 200; ++y)
        for (int c = 64; c < 256; ++c) st_set_pixel(script_screen_bytes(), c, y, ((255 - 40 + y) % 256) % 16);
    script_frame_start(100);
    script_vertical_background(40, &ring, 7);
    script_frame_end();
    ASSERT_EQ(g_frames.size(), 1u);
    EXPECT_EQ(last().ring_row, 40);
    EXPECT_EQ(last().section, 7u);
    ASSERT_NE(last().ring, nullptr);
    EXPECT_EQ(last().ring[100 * 192 + 5], 100 % 16);
    EXPECT_EQ(last().residual_count, 0);
    EXPECT_EQ(last().residual_mask, nullptr);
}

TEST_F(SceneCapture, TheAtlasDumpPrintsOneLinePerHeldPicture) {
    script_table_block(0, 2, 0, 2, 1, 6, 5, 5);
    sprite* table = rom_sprite(0, 2, 0);
    frame(100, [&] {
        script_unit(0, script_records, {150, 150, 1, 0, 2},
                    [&](u8* s) { draw_sprite(s, table, 150 + table->hot_x, 150 + table->hot_y); });
    });
    sprite_unref(table);
    testing::internal::CaptureStdout();
    scene_dump_atlas();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "ATLAS enemy:2:0 6 5 -34 -99 0000000000c0f1b4\n");
}

TEST_F(SceneCapture, APictureTheGameClipsIsCutToTheChangedGroupsOfItsTablePicture) {
    // An explosion 32 pixels wide whose left half lies in the side panel: the
    // game draws columns 64..79 only. Its middle row has the colour already
    // on screen there, which a difference image could not tell.
    idx_picture table(32, 22);
    table.fill_rect(0, 1, 32, 5, 5);
    table.fill_rect(0, 3, 32, 1, 6);
    st_put_groups(ram + 0x388DC + 3 * 0x108, table, 3, 12);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 320; ++x) st_set_pixel(script_screen_bytes(), x, y, 6);
    frame(100, [&] {
        script_unit(11, script_records, {84, 150, 1, 3}, [&](u8* s) {
            for (int j = 0; j < 5; ++j)
                for (int x = 64; x < 80; ++x) st_set_pixel(s, x, 51 + j, j == 2 ? 6 : 5);
        });
    });
    ASSERT_EQ(last().unit_count, 1);
    const scene_unit& u = last().units[0];
    EXPECT_EQ(u.x, 84);
    const sprite* cut = u.spr;
    EXPECT_EQ(cut->from_screen, 1);
    EXPECT_EQ(cut->width, 16);
    EXPECT_EQ(cut->height, 5);
    EXPECT_EQ(84 + cut->hot_x, 64);
    EXPECT_EQ(150 + cut->hot_y, 51);
    for (int x = 0; x < 16; ++x) EXPECT_EQ(cut->mask[2 * 16 + x], 1) << x;
    EXPECT_EQ(atlas_get(g_atlas, u.key), nullptr);
}

TEST_F(SceneCapture, AUnitCutFromTheScreenKeepsTheTopLine) {
    frame(100, [] {
        script_unit(4, script_records, {150, 150, 1}, [](u8* s) {
            for (int j = 0; j < 3; ++j) st_set_pixel(s, 100, j, 9);
        });
    });
    ASSERT_EQ(last().unit_count, 1);
    EXPECT_EQ(last().units[0].spr->height, 3);
    EXPECT_EQ(150 + last().units[0].spr->hot_y, 0);
    EXPECT_EQ(last().residual_count, 0);
}

TEST_F(SceneCapture, ObjectRecordsNearTheEndOfMemoryReadAsZero) {
    struct {
        u32 record;
        int units;
    } cases[] = {{0x3FFFDE, 1}, {0x3FFFE0, 0}};
    u32 vbl = 100;
    for (const auto& c : cases) {
        wr16(c.record, 150), wr16(c.record + 2, 150), wr16(c.record + 4, 1);
        frame(vbl += 2, [&] {
            g_cpu.a[6] = c.record;
            host_hook(0x5E3A);
            st_set_pixel(script_screen_bytes(), 100 + static_cast<int>(vbl % 50), 20, 9);
            host_hook(0x5F10);
        });
        EXPECT_EQ(last().unit_count, c.units) << std::hex << c.record;
    }
}

TEST(SceneDifference, TheBoxOfChangedPixelsWithItsHotSpot) {
    // 4 rows x 32 columns starting at screen row 10, window from column 48.
    std::vector<u8> before(4 * 32, 1), after = before;
    after[0] = 7;           // row 0, column 0
    after[2 * 32 + 3] = 1;  // unchanged value: not part of the picture
    after[3 * 32 + 2] = 4;
    sprite* d = from_diff(before.data(), after.data(), 4, 32, 10, 60, 70, 48);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->width, 3);
    EXPECT_EQ(d->height, 4);
    EXPECT_EQ(d->hot_x, 48 - 60);
    EXPECT_EQ(d->hot_y, 10 - 70);
    EXPECT_EQ(d->from_screen, 1);
    EXPECT_EQ(d->pixels[0], 7);
    EXPECT_EQ(d->mask[0], 1);
    EXPECT_EQ(d->mask[1], 0);
    EXPECT_EQ(d->pixels[3 * 3 + 2], 4);
    EXPECT_EQ(d->mask[3 * 3 + 2], 1);
    sprite_unref(d);
    EXPECT_EQ(from_diff(before.data(), before.data(), 4, 32, 10, 60, 70, 48), nullptr);
}

int g_other_calls = 0;
void other_handler(u32) { ++g_other_calls; }

TEST_F(SceneCapture, HooksAreInstalledOnlyWhereNoHandlerIsYet) {
    hooks_clear();
    hook_register(0x9306, other_handler);
    hook_register(0x8EEA, other_handler);
    scene_install_hooks();
    for (int slot = 0; slot < hook_count(); ++slot) EXPECT_TRUE(hook_registered(game_hook_addr(slot))) << slot;
    g_other_calls = 0;
    host_hook(0x8EEA);  // the earlier handler keeps its point
    EXPECT_EQ(g_other_calls, 1);
    EXPECT_EQ(cur_frame, nullptr);
    host_hook(0x4752);  // the capture's
    EXPECT_NE(cur_frame, nullptr);
    // Addresses that mean nothing to the capture change nothing.
    scene_hook(0x9306);
    scene_hook(0x41BCC);
    EXPECT_TRUE(g_frames.empty());
}

TEST_F(SceneCapture, ClearingFramesDropsTheOpenFrameAndUnits) {
    script_frame_start(100);
    g_cpu.a[6] = script_records;
    wr16(script_records + 4, 1);
    host_hook(0x5E3A);
    scene_clear_frames();
    EXPECT_EQ(cur_frame, nullptr);
    script_frame_start(102);
    EXPECT_TRUE(g_frames.empty());  // nothing was closed
}

} // namespace

namespace {

// The same explosion with its right half in the side panel: the game draws
// columns 240..255 only. The cut keeps the whole 16-pixel groups that
// changed, also when the group's last column happens to show the colour
// already on screen (so the last changed pixel is not at the group's end).
TEST_F(SceneCapture, APictureTheGameClipsOnTheRightIsCutToTheWholeChangedGroups) {
    for (const bool last_column_unchanged : {false, true}) {
        SCOPED_TRACE(last_column_unchanged ? "last column unchanged" : "every column changed");
        std::memset(ram, 0, ram_size);
        start();
        idx_picture table(32, 22);
        table.fill_rect(0, 1, 32, 5, 5);
        table.fill_rect(0, 3, 32, 1, 6);
        if (last_column_unchanged) table.fill_rect(15, 1, 1, 5, 6);
        st_put_groups(ram + 0x388DC + 3 * 0x108, table, 3, 12);
        fill_screen(6);
        frame(100, [&] {
            script_unit(11, script_records, {276, 150, 1, 3}, [&](u8* s) {
                for (int j = 0; j < 5; ++j)
                    for (int x = 240; x < 256; ++x) st_set_pixel(s, x, 51 + j, table.at(x - 240, 1 + j));
            });
        });
        ASSERT_EQ(last().unit_count, 1);
        const scene_unit& u = last().units[0];
        EXPECT_EQ(u.x, 276);
        const sprite* cut = u.spr;
        EXPECT_EQ(cut->from_screen, 1);
        EXPECT_EQ(cut->width, 16);
        EXPECT_EQ(cut->height, 5);
        EXPECT_EQ(276 + cut->hot_x, 240);
        EXPECT_EQ(150 + cut->hot_y, 51);
        for (int x = 0; x < 16; ++x) EXPECT_EQ(cut->mask[2 * 16 + x], 1) << x;
        for (int y = 0; y < 5; ++y) {
            EXPECT_EQ(cut->mask[y * 16 + 15], 1) << y;
            EXPECT_EQ(cut->pixels[y * 16 + 15], table.at(15, 1 + y)) << y;
        }
        EXPECT_EQ(atlas_get(g_atlas, u.key), nullptr);
    }
}

}  // namespace

namespace {

// An enemy is checked against its atlas picture only inside the window the
// game keeps its enemies in, x 100..276 and y 100..278: at the far edges
// too it is kept, one step beyond it is cut from the screen.
TEST_F(SceneCapture, AnEnemyAtTheFarEdgesOfItsWindowIsKeptInTheAtlas) {
    struct {
        u16 x, y;
        bool kept;
    } cases[] = {{276, 150, true}, {278, 150, false}, {150, 278, true}, {150, 279, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "x " << c.x << " y " << c.y);
        std::memset(ram, 0, ram_size);
        start();
        script_table_block(0, 2, 0, 2, 1, 6, 5, 5);
        sprite* table = rom_sprite(0, 2, 0);
        const int left = c.x + table->hot_x, top = c.y + table->hot_y;
        ASSERT_GE(left, 64);
        ASSERT_LE(left + table->width, 256);
        ASSERT_GE(top, 0);
        ASSERT_LE(top + table->height, 200);
        frame(100, [&] {
            script_unit(0, script_records, {c.x, c.y, 1, 0, 2}, [&](u8* s) { draw_sprite(s, table, left, top); });
        });
        ASSERT_EQ(last().unit_count, 1);
        EXPECT_EQ(last().units[0].spr->from_screen, c.kept ? 0 : 1);
        EXPECT_EQ(atlas_get(g_atlas, last().units[0].key) != nullptr, c.kept);
        sprite_unref(table);
    }
}

// A vehicle's picture comes from the table its frame byte chooses, whatever
// its id: both tables hold a picture, the routine draws the chosen one.
TEST_F(SceneCapture, AVehiclesFrameByteChoosesItsTableWhateverItsId) {
    struct {
        u16 id, w8;
        u32 frame_byte;
    } cases[] = {{0, 0, 0}, {0, 2, 1}, {1, 0, 0}, {1, 2, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "id " << c.id << " frame byte " << c.frame_byte);
        std::memset(ram, 0, ram_size);
        start();
        script_table_block(9, c.id, 0, 2, 1, 6, 5, 5);
        script_table_block(9, c.id, 1, 4, 2, 9, 3, 7);
        sprite* expected = rom_sprite(9, c.id, static_cast<int>(c.frame_byte));
        ASSERT_NE(expected, nullptr);
        frame(100, [&] {
            script_unit(9, script_records, {1, 150, 120, 0, c.id, 0, 0, 0, c.w8}, [&](u8* s) {
                draw_sprite(s, expected, 150 + expected->hot_x, 120 + expected->hot_y);
            });
        });
        ASSERT_EQ(last().unit_count, 1);
        const scene_unit& u = last().units[0];
        EXPECT_EQ(u.frame_byte, c.frame_byte);
        EXPECT_TRUE(same_picture(u.spr, expected));
        EXPECT_EQ(u.spr->from_screen, 0);
        sprite_unref(expected);
    }
}

}  // namespace
