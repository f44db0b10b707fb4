// The renderer's playfield background: the horizontal ground band at a
// fractional scroll, the vertical ring across palette zones, and a pack's
// whole-level picture.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "graphics/render.h"
#include "support/graphics/scene_frames.h"

namespace {

render_params plain(int scale, int interpolate = 1) {
    return render_params{scale, interpolate, 0, 1, nullptr, 0.8f, 0};
}

std::vector<u8> draw(scene_frame* a, scene_frame* b, int s, double t, int interpolate = 1) {
    std::vector<u8> out(static_cast<size_t>(s) * s * 192000);
    const render_params p = plain(s, interpolate);
    render(a, b, &p, out.data(), t);
    return out;
}

const u8* pixel(const std::vector<u8>& out, int s, int x, int y) {
    return &out[(static_cast<size_t>(y) * 320 * s + x) * 3];
}

TEST(RenderBackground, TheGroundBandBlendsNeighbouringColumnsByTheScrollFraction) {
    struct {
        int scale;
        int a, b;  // unwrapped scrolls
        double t;
    } cases[] = {{1, 4, 6, 0.25}, {2, 4, 6, 0.3}, {3, -5, 3, 0.5}, {1, 0, 0, 0}};
    for (const auto& c : cases) {
        scene_frame* fa = test_frame(100, BG_HORIZONTAL, 0, 2);
        scene_frame* fb = test_frame(102, BG_HORIZONTAL, 0, 2);
        for (scene_frame* f : {fa, fb})
            for (int r = 0; r < 32; ++r)
                for (int col = 0; col < 32; ++col) f->strip[r][col] = static_cast<u8>((col + 2 * r) % 16);
        fa->hscroll = c.a, fb->hscroll = c.b;
        const int s = c.scale;
        const std::vector<u8> out = draw(fa, fb, s, c.t);
        const double scroll = s * (c.a + (c.b - c.a) * c.t);
        const double n = std::floor(scroll + 1e-9), f = scroll - n;
        for (int m : {0, 5 * s, 199 * s + s - 1})
            for (int x : {0, 1, 7, 191 * s + s - 1}) {
                const int period = 32 * s;
                const int col = ((x + static_cast<int>(n)) % period + period) % period;
                const int next = (col + 1) % period;
                const int row = (m / s) % 32;
                u8 c0[3], c1[3];
                test_rgb(fa->strip[row][col / s], c0);
                test_rgb(fa->strip[row][next / s], c1);
                for (int k = 0; k < 3; ++k)
                    EXPECT_NEAR(pixel(out, s, 64 * s + x, m)[k], c0[k] * (1 - f) + c1[k] * f, 1.01)
                        << "scale " << s << " line " << m << " x " << x;
            }
        // The side panels keep the screen.
        u8 panel[3];
        test_rgb(2, panel);
        EXPECT_EQ(pixel(out, s, 0, 0)[0], panel[0]);
        EXPECT_EQ(pixel(out, s, 256 * s, 0)[1], panel[1]);
        frame_unref(fa);
        frame_unref(fb);
    }
}

TEST(RenderBackground, EachZoneShowsTheRingInItsOwnColours) {
    scene_frame* f = test_frame(100, BG_VERTICAL, 255, 2);
    f->ring = static_cast<u8*>(std::malloc(256 * 192));
    for (int r = 0; r < 256; ++r) std::memset(f->ring + r * 192, r % 2 ? 3 : 4, 192);
    f->zone_count = 3;
    f->zones[1] = f->zones[0], f->zones[2] = f->zones[0];
    f->zones[1].line = 100;
    palette_set(f->zones[1].palette, 3, 0x0F00);
    f->zones[2].line = 150;  // same colours as zone 0 again
    for (int s : {1, 2}) {
        render_free_cache(f);
        const std::vector<u8> out = draw(f, f, s, 0, 0);
        // Ring row k shows at line k (ring row 255 at the top).
        u8 z0[3];
        test_rgb(3, z0);
        for (int line : {1, 99, 151, 199}) EXPECT_EQ(pixel(out, s, 100 * s, line * s)[1], z0[1]) << line;
        for (int line : {101, 149}) {
            const u8* p = pixel(out, s, 100 * s, line * s);
            EXPECT_EQ(p[0], 255) << line;
            EXPECT_EQ(p[1], 0) << line;
        }
        u8 even[3];
        test_rgb(4, even);
        EXPECT_EQ(pixel(out, s, 100 * s, 100 * s)[0], even[0]);
    }
    frame_unref(f);
}

// A pack's level picture: line k of the picture is grey, its value far
// from its neighbours' so a line off by one shows.
int level_value_of(int k) { return (k * 37) % 256; }
std::vector<u8> g_level;
int g_level_calls = 0;
int level_picture(int32_t level, const uint8_t*, int scale, const uint8_t** rgb, int* height, int* level_value) {
    ++g_level_calls;
    if (level != 77) return 0;
    const int h = 240;
    g_level.assign(static_cast<size_t>(h) * 192 * scale * 3, 0);
    for (int k = 0; k < h; ++k) std::memset(&g_level[static_cast<size_t>(k) * 192 * scale * 3], level_value_of(k), 192 * scale * 3);
    *rgb = g_level.data();
    *height = h;
    *level_value = 300;
    return 1;
}

TEST(RenderBackground, APacksLevelPictureFollowsTheScrollWordAndClampsAtItsEnds) {
    pack_level_cb = level_picture;
    struct {
        u32 scroll_word;
        int a_row, b_row;
        double t;
        int scale;
        int level_b;
    } cases[] = {
        {250, 10, 10, 0, 1, 77},   // V = 300 - 250 - 1 = 49
        {250, 10, 8, 0.5, 1, 77},  // r = 2: V = 50
        {250, 10, 10, 0.25, 2, 77},
        {350, 10, 10, 0, 1, 77},   // V = -51: early lines read line 0
        {100, 10, 10, 0, 1, 77},   // V = 199: lines past the end
        {250, 10, 10, 0, 1, 78},   // another level: the ring instead
    };
    for (const auto& c : cases) {
        scene_frame* a = test_frame(100, BG_VERTICAL, c.a_row, 2);
        scene_frame* b = test_frame(102, BG_VERTICAL, c.b_row, 2);
        for (scene_frame* f : {a, b}) {
            f->ring = static_cast<u8*>(std::calloc(256 * 192, 1));
            f->scroll_word = c.scroll_word;
        }
        a->level_id = 77, b->level_id = c.level_b;
        const int s = c.scale;
        const std::vector<u8> out = draw(a, b, s, c.t);
        const double r = static_cast<i8>(static_cast<u8>(c.a_row - c.b_row));
        const double v = 300.0 - c.scroll_word - 1 + r * c.t;
        for (int m : {0, 1, 50, 199 * s}) {
            const u8 got = pixel(out, s, 100 * s, m)[0];
            if (c.level_b != 77) {
                u8 ring[3];
                test_rgb(0, ring);
                EXPECT_EQ(got, ring[0]);
                continue;
            }
            const double pos = m + s * v;
            int line, next;
            if (pos < 0)
                line = next = 0;
            else if (std::floor(pos) + 1 >= 240)
                line = 238, next = 239;
            else
                line = static_cast<int>(std::floor(pos)), next = line + 1;
            const double frac = pos - std::floor(pos);
            const double w = frac < 0.004 ? 0 : frac;
            const double want = level_value_of(line) * (1 - w) + level_value_of(next) * w;
            EXPECT_NEAR(got, want, 1.0) << "scroll " << c.scroll_word << " line " << m;
            // The whole band and nothing beside it.
            EXPECT_EQ(pixel(out, s, 64 * s, m)[0], got) << m;
            EXPECT_EQ(pixel(out, s, 255 * s, m)[0], got) << m;
            u8 panel[3];
            test_rgb(2, panel);
            EXPECT_EQ(pixel(out, s, 63 * s, m)[1], panel[1]) << m;
            EXPECT_EQ(pixel(out, s, 256 * s, m)[1], panel[1]) << m;
        }
        frame_unref(a);
        frame_unref(b);
    }
    pack_level_cb = nullptr;
}

TEST(RenderBackground, AnOutputLineStraddlingTwoRingRowsBlendsThem) {
    scene_frame* a = test_frame(100, BG_VERTICAL, 255, 2);
    scene_frame* b = test_frame(102, BG_VERTICAL, 254, 2);
    for (scene_frame* f : {a, b}) {
        f->ring = static_cast<u8*>(std::malloc(256 * 192));
        for (int r = 0; r < 256; ++r) std::memset(f->ring + r * 192, r % 2 ? 15 : 0, 192);
    }
    // V = 0 + 1 x 0.25: at scale 2 line 2 lies in row 1 (a quarter in);
    // line 3 starts three quarters into row 1 and ends half into row 2.
    const std::vector<u8> out = draw(a, b, 2, 0.25);
    u8 odd[3], even[3];
    test_rgb(15, odd);
    test_rgb(0, even);
    EXPECT_EQ(pixel(out, 2, 150, 2)[0], odd[0]);
    EXPECT_NEAR(pixel(out, 2, 150, 3)[0], (odd[0] + even[0]) / 2.0, 1.0);
    EXPECT_NEAR(pixel(out, 2, 150, 3)[1], (odd[1] + even[1]) / 2.0, 1.0);
    frame_unref(a);
    frame_unref(b);
}

} // namespace
