// Renderer: palettes, fixed screens, and frames composed from their parts,
// checked against small pictures built here independently.
#include "graphics/render.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include "support/graphics/scene_frames.h"

namespace {

using rgb_t = std::array<int, 3>;

struct picture {
    int s;
    std::vector<u8> px;
    explicit picture(int scale, u8 fill = 0) : s(scale), px(static_cast<size_t>(scale) * scale * 192000, fill) {}
    rgb_t at(int x, int y) const {
        const u8* p = &px[(static_cast<size_t>(y) * 320 * s + x) * 3];
        return {p[0], p[1], p[2]};
    }
};

rgb_t colour(int index) {
    u8 c[3];
    test_rgb(index, c);
    return {c[0], c[1], c[2]};
}

struct frames_guard {
    std::vector<scene_frame*> frames;
    scene_frame* add(scene_frame* f) {
        frames.push_back(f);
        return f;
    }
    ~frames_guard() {
        for (scene_frame* f : frames) frame_unref(f);
    }
};

render_params params(int scale, int interpolate = 1, unit_track* tracker = nullptr) {
    render_params p{};
    p.scale = scale;
    p.interpolate = interpolate;
    p.residual_layer = 1;
    p.subpixel = 1;
    p.tracker = tracker;
    p.tracker_decay = 0.8f;
    return p;
}

// A vertical frame whose ring is solid `ring_index`.
scene_frame* vertical(frames_guard& g, u32 vbl, int ring_row, int screen_index, int ring_index) {
    scene_frame* f = g.add(test_frame(vbl, BG_VERTICAL, ring_row, screen_index));
    f->ring = static_cast<u8*>(std::malloc(256 * 192));
    std::memset(f->ring, ring_index, 256 * 192);
    return f;
}

TEST(PaletteToRgb, SteNibblesAndTheFadeBrightness) {
    struct {
        u16 word;
        rgb_t rgb;
    } plain[] = {
        {0x0777, {238, 238, 238}}, {0x0F00, {255, 0, 0}}, {0x0800, {17, 0, 0}},
        {0x0001, {0, 0, 34}},      {0x0089, {0, 17, 51}}, {0x0000, {0, 0, 0}},
    };
    for (const auto& c : plain) {
        u8 pal[32] = {}, out[48];
        palette_set(pal, 5, c.word);
        pal_to_rgb(pal, out);
        EXPECT_EQ((rgb_t{out[15], out[16], out[17]}), c.rgb) << std::hex << c.word;
    }
    // Brightness bits: entry 0 bits 12-14 -> L bits 5-7, entry 1 -> bits
    // 2-4, entry 2 bits 12-13 -> bits 0-1. Only bit-15 entries are scaled.
    struct {
        int brightness;
        int marked_gun;  // 238 scaled
    } fades[] = {{0, 0}, {255, 238}, {128, 119}, {0xAE, 162}, {1, 1}};
    for (const auto& c : fades) {
        u8 pal[32] = {}, out[48];
        const int l = c.brightness;
        palette_set(pal, 0, static_cast<u16>(0x8000 | (l >> 5 & 7) << 12 | 0x777));
        palette_set(pal, 1, static_cast<u16>((l >> 2 & 7) << 12 | 0x777));
        palette_set(pal, 2, static_cast<u16>((l & 3) << 12 | 0x8777));
        palette_set(pal, 3, 0x0777);
        pal_to_rgb(pal, out);
        EXPECT_EQ(out[0], c.marked_gun) << l;
        EXPECT_EQ(out[6 + 2], c.marked_gun) << l;
        EXPECT_EQ(out[3], 238) << l;  // entry 1 has no bit 15: unchanged
        EXPECT_EQ(out[9], 238) << l;
    }
    // Without any bit 15 the spare bits mean nothing.
    u8 pal[32] = {}, out[48];
    palette_set(pal, 0, 0x7777);
    pal_to_rgb(pal, out);
    EXPECT_EQ(out[0], 238);
}

TEST(RenderStatic, ZonesColourTheirLinesAndIgnoreLateOrBackwardZones) {
    std::vector<u8> idx(64000, 3);
    palette_zone zones[3] = {};
    palette_set(zones[0].palette, 3, 0x0700);  // red
    palette_set(zones[1].palette, 3, 0x0070);  // green
    palette_set(zones[2].palette, 3, 0x0007);  // blue
    struct {
        u32 lines[3];
        int count;
        int expected_at[4];  // zone shown at lines 0, 119, 130, 199 (-1: untouched)
    } cases[] = {
        {{0, 100, 250}, 3, {0, 1, 1, 1}},
        {{0, 150, 120}, 3, {0, 0, 2, 2}},
        {{0, 0, 0}, 1, {0, 0, 0, 0}},
        {{20, 200, 0}, 2, {-1, 0, 0, 0}},
        {{0, 0, 0}, 0, {-1, -1, -1, -1}},
    };
    const rgb_t shown[3] = {{238, 0, 0}, {0, 238, 0}, {0, 0, 238}};
    for (const auto& c : cases)
        for (int s : {1, 2}) {
            for (int z = 0; z < 3; ++z) zones[z].line = c.lines[z];
            picture out(s, 9);
            render_static(idx.data(), zones, c.count, s, out.px.data());
            const int lines[4] = {0, 119, 130, 199};
            for (int k = 0; k < 4; ++k) {
                const rgb_t want = c.expected_at[k] < 0 ? rgb_t{9, 9, 9} : shown[c.expected_at[k]];
                EXPECT_EQ(out.at(319 * s + s - 1, lines[k] * s + s - 1), want) << "line " << lines[k] << " scale " << s;
            }
        }
}

TEST(Render, SolidPartsLandWherePicturesBuiltHereSayAtEveryScale) {
    for (int s = 1; s <= 4; ++s) {
        frames_guard g;
        scene_frame* f = vertical(g, 100, 0, 2, 1);
        add_unit(f, 4, 0x1000, 100, 50, solid_sprite(4, 3, 5));
        add_unit(f, 4, 0x1100, 250, 190, solid_sprite(10, 20, 6));  // clipped right and bottom
        add_unit(f, 4, 0x1200, 60, 10, solid_sprite(8, 8, 7));      // clipped left
        add_unit(f, 4, 0x1300, 200, -2, solid_sprite(3, 4, 8));     // clipped at the top
        picture out(s);
        const render_params p = params(s);
        render(f, f, &p, out.px.data(), 0);
        // Expected: panels of index 2, playfield of ring index 1, the units.
        std::vector<int> want(64000, 2);
        for (int y = 0; y < 200; ++y)
            for (int x = 64; x < 256; ++x) want[y * 320 + x] = 1;
        auto rect = [&](int x0, int y0, int w, int h, int index) {
            for (int y = std::max(y0, 0); y < std::min(y0 + h, 200); ++y)
                for (int x = std::max(x0, 64); x < std::min(x0 + w, 256); ++x) want[y * 320 + x] = index;
        };
        rect(100, 50, 4, 3, 5);
        rect(250, 190, 10, 20, 6);
        rect(60, 10, 8, 8, 7);
        rect(200, -2, 3, 4, 8);
        int wrong = 0;
        for (int y = 0; y < 200 * s; ++y)
            for (int x = 0; x < 320 * s; ++x)
                if (out.at(x, y) != colour(want[(y / s) * 320 + x / s])) ++wrong;
        EXPECT_EQ(wrong, 0) << "scale " << s;
    }
}

TEST(Render, AtHalfwayTheBaseResidualAndPairedPicturesComeFromB) {
    frames_guard g;
    scene_frame* a = vertical(g, 100, 10, 2, 1);
    scene_frame* b = vertical(g, 102, 10, 3, 1);
    add_unit(a, 4, 0x1000, 120, 50, solid_sprite(4, 4, 5));
    add_unit(b, 4, 0x1000, 128, 50, solid_sprite(4, 4, 6));
    for (scene_frame* f : {a, b}) {
        f->residual_mask = static_cast<u8*>(std::calloc(64000, 1));
        f->residual_screen = static_cast<u8*>(std::calloc(64000, 1));
        f->residual_count = 1;
    }
    a->residual_mask[30 * 320 + 200] = 1, a->residual_screen[30 * 320 + 200] = 8;
    b->residual_mask[30 * 320 + 200] = 1, b->residual_screen[30 * 320 + 200] = 9;
    b->residual_mask[250] = 1, b->residual_screen[250] = 10;  // line 0
    struct {
        double t;
        int panel, unit;
        int unit_x;
    } cases[] = {{0.0, 2, 5, 120}, {0.49, 2, 5, 124}, {0.5, 3, 6, 124}, {1.0, 3, 6, 128}};
    for (const auto& c : cases) {
        picture out(1);
        const render_params p = params(1);
        render(a, b, &p, out.px.data(), c.t);
        EXPECT_EQ(out.at(10, 10), colour(c.panel)) << c.t;
        EXPECT_EQ(out.at(c.unit_x, 51), colour(c.unit)) << c.t;
        // B has a residual, so B's is drawn at every t (moved with the scroll).
        EXPECT_EQ(out.at(200, 30), colour(9)) << c.t;
        EXPECT_EQ(out.at(250, 0), colour(10)) << c.t;
    }
    // Drawing one frame alone puts its residual where it was captured.
    picture alone(2);
    const render_params single = params(2, 0);
    render(b, b, &single, alone.px.data(), 0);
    EXPECT_EQ(alone.at(400, 60), colour(9));
    EXPECT_EQ(alone.at(401, 61), colour(9));
    EXPECT_EQ(alone.at(402, 62), colour(1));
}

TEST(Render, AUnitThatJumpsMoreThan24PixelsIsDrawnAsTwo) {
    frames_guard g;
    scene_frame* a = vertical(g, 100, 0, 2, 1);
    scene_frame* b = vertical(g, 102, 0, 2, 1);
    add_unit(a, 4, 0x1000, 100, 50, solid_sprite(4, 4, 5));
    add_unit(b, 4, 0x1000, 125, 50, solid_sprite(4, 4, 5));
    for (double t : {0.0, 0.3, 0.49, 0.5, 0.8}) {
        picture out(1);
        const render_params p = params(1);
        render(a, b, &p, out.px.data(), t);
        EXPECT_EQ(out.at(101, 51) == colour(5), t < 0.5) << t;
        EXPECT_EQ(out.at(126, 51) == colour(5), t >= 0.5) << t;
        EXPECT_EQ(out.at(113, 51), colour(1)) << t;  // never in between
    }
}

TEST(Render, VanishedUnitsGoAtOneAndAnEnemyLeavingAtASideKeepsMoving) {
    frames_guard g;
    unit_track tracker[256] = {};
    scene_frame* p0 = vertical(g, 98, 0, 2, 1);
    scene_frame* a = vertical(g, 100, 0, 2, 1);
    scene_frame* b = vertical(g, 102, 0, 2, 1);
    // The enemy moved 10 pixels left between p0 and a; hot spot -36 puts its
    // left edge at 74, inside the playfield but past column 84.
    add_unit(p0, 0, 0x2000, 120, 50, solid_sprite(4, 4, 5, -36, 0));
    add_unit(a, 0, 0x2000, 110, 50, solid_sprite(4, 4, 5, -36, 0));
    add_unit(a, 4, 0x3000, 150, 80, solid_sprite(4, 4, 6));  // vanishes too, not an enemy
    const render_params p = params(1, 1, tracker);
    picture out(1);
    render(p0, a, &p, out.px.data(), 0.9);
    struct {
        double t;
        int enemy_left;  // -1: not drawn
        bool other;
    } cases[] = {{0.0, 74, true}, {0.5, 69, false}, {0.9, 65, false}, {1.0, -1, false}};
    for (const auto& c : cases) {
        picture o(1);
        render(a, b, &p, o.px.data(), c.t);
        if (c.enemy_left >= 0) {
            EXPECT_EQ(o.at(c.enemy_left, 51), colour(5)) << c.t;
            EXPECT_EQ(o.at(c.enemy_left + 4, 51), colour(1)) << c.t;
        } else {
            for (int x = 64; x < 90; ++x) EXPECT_EQ(o.at(x, 51), colour(1)) << c.t;
        }
        EXPECT_EQ(o.at(151, 81) == colour(6), c.other) << c.t;
    }
}

TEST(Render, TheTrackerCorrectionIsKeptUpTo8PixelsAndDroppedBeyond) {
    struct {
        double moved;  // change of A's draw x between the two pairs
        double shift;  // expected correction at the next pair's start
    } cases[] = {{5, -5}, {-7, 7}, {10, 0}, {-9, 0}};
    for (const auto& c : cases) {
        frames_guard g;
        unit_track tracker[256] = {};
        scene_frame* p0 = vertical(g, 98, 0, 2, 1);
        scene_frame* a = vertical(g, 100, 0, 2, 1);
        scene_frame* b = vertical(g, 102, 0, 2, 1);
        add_unit(p0, 0, 0x2000, 140, 50, solid_sprite(4, 4, 5));
        scene_unit& ua = add_unit(a, 0, 0x2000, 150, 50, solid_sprite(4, 4, 5));
        add_unit(b, 0, 0x2000, 160, 50, solid_sprite(4, 4, 5));
        const render_params p = params(1, 1, tracker);
        picture out(1);
        render(p0, a, &p, out.px.data(), 0.99);
        // The filters moved A's position since; the tracker keeps the path.
        ua.draw_x = static_cast<float>(150 + c.moved);
        render(a, b, &p, out.px.data(), 0);
        const int x = static_cast<int>(std::lround(150 + c.moved + c.shift));
        EXPECT_EQ(out.at(x, 51), colour(5)) << c.moved;
        EXPECT_EQ(out.at(x - 1, 51), colour(1)) << c.moved;
        EXPECT_EQ(out.at(x + 4, 51), colour(1)) << c.moved;
    }
}

TEST(Render, NegativeScrollsAndRingPositionsDrawAsTheirPositiveEquivalents) {
    // A strip whose columns differ, and a ring whose rows differ.
    auto strip_frame = [](frames_guard& g, u32 vbl, int hscroll) {
        scene_frame* f = g.add(test_frame(vbl, BG_HORIZONTAL, 0, 2));
        for (int r = 0; r < 32; ++r)
            for (int c = 0; c < 32; ++c) f->strip[r][c] = static_cast<u8>((c + r) % 16);
        f->hscroll = hscroll;
        return f;
    };
    for (int s : {1, 3}) {
        frames_guard g;
        picture neg(s), pos(s);
        const render_params p = params(s);
        render(strip_frame(g, 100, -40), strip_frame(g, 102, -47), &p, neg.px.data(), 0.3);
        render(strip_frame(g, 100, 24), strip_frame(g, 102, 17), &p, pos.px.data(), 0.3);
        EXPECT_EQ(neg.px, pos.px) << "horizontal, scale " << s;
    }
    auto ring_frame = [](frames_guard& g, u32 vbl, int ring_row) {
        scene_frame* f = vertical(g, vbl, ring_row, 2, 0);
        for (int r = 0; r < 256; ++r) std::memset(f->ring + r * 192, r % 16, 192);
        return f;
    };
    for (int s : {1, 2}) {
        frames_guard g;
        picture neg(s), pos(s);
        const render_params p = params(s);
        // V = 255 - 255 + (-128) x 1.5 = -192, the same rows as V = 64.
        render(ring_frame(g, 100, 255), ring_frame(g, 102, 127), &p, neg.px.data(), 1.5);
        render(ring_frame(g, 100, 191), ring_frame(g, 102, 191), &p, pos.px.data(), 0);
        EXPECT_EQ(neg.px, pos.px) << "vertical, scale " << s;
    }
}

TEST(Render, AlmostWholePositionsAreDrawnExactlyOthersBilinearly) {
    struct {
        double x;
        bool blended;
    } cases[] = {{120.0, false}, {120.03, false}, {120.05, true}, {120.5, true}};
    for (const auto& c : cases) {
        frames_guard g;
        scene_frame* a = vertical(g, 100, 0, 2, 0);
        add_unit(a, 4, 0x1000, c.x, 50, solid_sprite(4, 4, 15));
        picture out(1);
        const render_params p = params(1, 0);
        render(a, a, &p, out.px.data(), 0);
        const rgb_t edge = out.at(124, 51);
        const rgb_t inside = out.at(121, 51);
        EXPECT_EQ(inside, colour(15)) << c.x;
        EXPECT_EQ(edge != colour(0), c.blended) << c.x;
        if (c.blended) {
            const double f = c.x - 120;
            EXPECT_NEAR(edge[0], 255 * f, 1.01) << c.x;
            EXPECT_NEAR(out.at(120, 51)[0], 255 * (1 - f), 1.01) << c.x;
        }
    }
}

TEST(Render, WithoutSubpixelSmoothingPositionsRoundToWholePixels) {
    frames_guard g;
    scene_frame* a = vertical(g, 100, 0, 2, 0);
    add_unit(a, 4, 0x1000, 120.6, 50, solid_sprite(4, 4, 15));
    picture out(2);
    render_params p = params(2, 0);
    p.subpixel = 0;
    render(a, a, &p, out.px.data(), 0);
    // 120.6 x 2 = 241.2 -> 241: exact copy from column 241 to 248.
    EXPECT_EQ(out.at(240, 101), colour(0));
    EXPECT_EQ(out.at(241, 101), colour(15));
    EXPECT_EQ(out.at(248, 101), colour(15));
    EXPECT_EQ(out.at(249, 101), colour(0));
}

// A pack picture 3 x 2 game pixels at scale 2: opaque red, half-transparent
// blue in its last column.
std::vector<u8> g_pack_rgba;
const sprite* g_asked = nullptr;
int pack_picture_for(const sprite* spr, int scale, pack_picture* out, int) {
    g_asked = spr;
    g_pack_rgba.assign(static_cast<size_t>(3 * scale * 2 * scale * 4), 0);
    for (int y = 0; y < 2 * scale; ++y)
        for (int x = 0; x < 3 * scale; ++x) {
            u8* p = &g_pack_rgba[(static_cast<size_t>(y) * 3 * scale + x) * 4];
            if (x < 2 * scale)
                p[0] = 255, p[3] = 255;
            else
                p[2] = 255, p[3] = 128;
        }
    *out = {g_pack_rgba.data(), 3, 2, 1, -1};
    return 1;
}

TEST(Render, APacksPictureReplacesTablePicturesOnlyAndBlendsByItsAlpha) {
    pack_sprite_cb = pack_picture_for;
    struct {
        double x;
        bool from_screen;
    } cases[] = {{120, false}, {120.5, false}, {120, true}};
    for (const auto& c : cases) {
        frames_guard g;
        scene_frame* a = vertical(g, 100, 0, 2, 0);
        sprite* spr = solid_sprite(4, 4, 15);
        spr->from_screen = c.from_screen;
        add_unit(a, 4, 0x1000, c.x, 50, spr);
        g_asked = nullptr;
        picture out(2);
        const render_params p = params(2, 0);
        render(a, a, &p, out.px.data(), 0);
        if (c.from_screen) {
            EXPECT_EQ(g_asked, nullptr);
            EXPECT_EQ(out.at(240, 100), colour(15));
            continue;
        }
        EXPECT_EQ(g_asked, spr);
        // Offset (1, -1) game pixels: the picture's corner at (121, 49).
        const int x0 = static_cast<int>(std::floor((c.x + 1) * 2));
        if (c.x == 120) {
            EXPECT_EQ(out.at(x0, 98), (rgb_t{255, 0, 0}));
            EXPECT_EQ(out.at(x0 + 3, 101), (rgb_t{255, 0, 0}));
            EXPECT_EQ(out.at(x0 + 4, 98), (rgb_t{0, 127, 128}));  // half blue over green
            EXPECT_EQ(out.at(x0 + 6, 98), colour(0));
            EXPECT_EQ(out.at(x0, 102), colour(0));
        } else {
            // Half a game pixel is one output pixel at scale 2: exact again.
            EXPECT_EQ(x0, 243);
            EXPECT_EQ(out.at(x0, 98), (rgb_t{255, 0, 0}));
            EXPECT_EQ(out.at(x0 - 1, 98), colour(0));
            EXPECT_EQ(out.at(x0, 97), colour(0));
        }
    }
    // At a fraction of an output pixel the edges mix.
    frames_guard g;
    scene_frame* a = vertical(g, 100, 0, 2, 0);
    add_unit(a, 4, 0x1000, 120.25, 50, solid_sprite(4, 4, 15));
    picture out(2);
    const render_params p = params(2, 0);
    render(a, a, &p, out.px.data(), 0);
    // x = 121.25 x 2 = 242.5: column 242 half red, 243 red, 247 a quarter
    // blue of the last column mixed with its neighbour.
    EXPECT_EQ(out.at(242, 98)[0], 128);
    EXPECT_EQ(out.at(243, 98), (rgb_t{255, 0, 0}));
    const rgb_t last = out.at(247, 98);
    EXPECT_NEAR(last[0], 0, 1);
    EXPECT_NEAR(last[2], 128, 1);
    const rgb_t edge = out.at(248, 98);
    EXPECT_NEAR(edge[2], 64, 1);
    pack_sprite_cb = nullptr;
}

// The middle line the pack hook is told: the picture's top (unit y plus
// hot spot) plus half its height, whatever the scale.
int g_told_line = -1;
int note_middle_line(const sprite*, int, pack_picture*, int line) {
    g_told_line = line;
    return 0;
}

TEST(Render, ThePackHookIsToldThePicturesMiddleLine) {
    pack_sprite_cb = note_middle_line;
    struct {
        double y;
        int hot_y, height, scale;
        int line;
    } cases[] = {{50, 0, 4, 1, 52}, {50, -3, 9, 2, 51}, {120.6, 2, 5, 3, 124}, {10, -10, 1, 1, 0}};
    for (const auto& c : cases) {
        frames_guard g;
        scene_frame* a = vertical(g, 100, 0, 2, 0);
        add_unit(a, 4, 0x1000, 150, c.y, solid_sprite(4, c.height, 15, 0, c.hot_y));
        picture out(c.scale);
        const render_params p = params(c.scale, 0);
        g_told_line = -1;
        render(a, a, &p, out.px.data(), 0);
        EXPECT_EQ(g_told_line, c.line) << c.y << " " << c.hot_y;
    }
    pack_sprite_cb = nullptr;
}

// Bilinear drawing mixes the picture's edge with a border that is fully
// transparent: over white, the column just past a black picture drawn at
// x + 0.05 keeps 95 % of the white, 242 (not 241, as a border of alpha 1
// would leave), and the line below at y + 0.05 the same.
TEST(Render, TheBilinearBorderIsFullyTransparent) {
    struct {
        double x, y;
        int px, py;          // just outside the picture, inside its widened box
        int beyond_x, beyond_y;  // outside the box: untouched
    } cases[] = {{120.05, 50, 124, 51, 125, 51}, {120, 50.05, 121, 54, 121, 55}};
    for (const auto& c : cases) {
        frames_guard g;
        scene_frame* f = vertical(g, 100, 0, 2, 1);
        palette_set(f->zones[0].palette, 1, 0x0FFF);  // white ring
        palette_set(f->zones[0].palette, 5, 0x0000);  // black picture
        add_unit(f, 4, 0x1000, c.x, c.y, solid_sprite(4, 4, 5));
        picture out(1);
        const render_params p = params(1, 0);
        render(f, f, &p, out.px.data(), 0);
        EXPECT_EQ(out.at(c.px, c.py), (rgb_t{242, 242, 242})) << c.x << "," << c.y;
        EXPECT_EQ(out.at(c.beyond_x, c.beyond_y), (rgb_t{255, 255, 255})) << c.x << "," << c.y;
    }
}

TEST(Render, AResidualPixelCoversItsOwnBlockAndNothingBeside) {
    for (int s : {1, 2}) {
        frames_guard g;
        scene_frame* f = vertical(g, 100, 0, 2, 1);
        f->residual_mask = static_cast<u8*>(std::calloc(64000, 1));
        f->residual_screen = static_cast<u8*>(std::calloc(64000, 1));
        f->residual_count = 1;
        f->residual_mask[30 * 320 + 200] = 1, f->residual_screen[30 * 320 + 200] = 9;
        picture out(s);
        const render_params p = params(s, 0);
        render(f, f, &p, out.px.data(), 0);
        for (int y = 30 * s - 1; y <= 31 * s; ++y)
            for (int x = 200 * s - 1; x <= 201 * s; ++x) {
                const bool inside = x >= 200 * s && x < 201 * s && y >= 30 * s && y < 31 * s;
                EXPECT_EQ(out.at(x, y), colour(inside ? 9 : 1)) << x << "," << y << " scale " << s;
            }
    }
}

TEST(Render, TheCacheIsRemadeForAnotherScaleOrPackGeneration) {
    frames_guard g;
    scene_frame* f = vertical(g, 100, 0, 2, 1);
    render_cache* c2 = fcache(f, 2);
    EXPECT_EQ(fcache(f, 2), c2);
    fcache(f, 3);
    EXPECT_NE(f->cache, nullptr);
    pack_gen += 1;
    render_cache* again = fcache(f, 3);
    EXPECT_NE(again, nullptr);
    pack_gen -= 1;
    render_free_cache(f);
    EXPECT_EQ(f->cache, nullptr);
}

TEST(Render, AUnitTakesThePaletteOfTheZoneAtItsMiddleLine) {
    struct {
        int y, height;
        bool second_zone;
    } cases[] = {{95, 8, false}, {96, 8, true}, {40, 3, false}, {150, 3, true}};
    for (const auto& c : cases) {
        frames_guard g;
        scene_frame* f = vertical(g, 100, 0, 2, 0);
        f->zone_count = 2;
        f->zones[1] = f->zones[0];
        f->zones[1].line = 100;
        palette_set(f->zones[1].palette, 5, 0x0F00);
        add_unit(f, 4, 0x1000, 150, c.y, solid_sprite(4, c.height, 5));
        picture out(1);
        const render_params p = params(1, 0);
        render(f, f, &p, out.px.data(), 0);
        const rgb_t want = c.second_zone ? rgb_t{255, 0, 0} : colour(5);
        EXPECT_EQ(out.at(151, c.y + 1), want) << c.y;
    }
}

TEST(Render, UnitTrackerSlotsAreFoundOrMadeByKindAndObject) {
    unit_track tracker[256] = {};
    EXPECT_EQ(ust_find(tracker, 0, 0x10, 0), nullptr);
    unit_track* s = ust_find(tracker, 0, 0x10, 1);
    ASSERT_EQ(s, &tracker[0]);
    s->cx = 3;
    EXPECT_EQ(ust_find(tracker, 0, 0x10, 0), s);
    EXPECT_EQ(ust_find(tracker, 1, 0x10, 1), &tracker[1]);
    for (int i = 2; i < 256; ++i) ASSERT_NE(ust_find(tracker, 0, 0x100 + i, 1), nullptr);
    EXPECT_EQ(ust_find(tracker, 0, 0x9999, 1), nullptr);
}

} // namespace

namespace {

// B's residual drawn between A and B moves with the background: by the
// part of the step from A to B still to come, (1 - t) of it, in its
// direction (the ring row's step read as a signed byte).
TEST(Render, BsResidualMovesByWhatRemainsOfTheScrollStepInItsDirection) {
    struct {
        const char* what;
        int kind;
        int a, b;  // ring rows, or horizontal scrolls
        double t;
        int s;
        int dx, dy;  // game pixels x s
    } rows[] = {
        {"ring row down by 4", BG_VERTICAL, 10, 6, 0, 1, 0, 4},
        {"ring row up by 4", BG_VERTICAL, 6, 10, 0, 1, 0, -4},
        {"halfway, scale 2", BG_VERTICAL, 10, 6, 0.5, 2, 0, 4},
        {"across the ring's wrap", BG_VERTICAL, 2, 254, 0.25, 2, 0, 6},
        {"back across the wrap", BG_VERTICAL, 254, 2, 0.25, 2, 0, -6},
        {"at B", BG_VERTICAL, 10, 6, 1, 2, 0, 0},
        {"scroll from 0 to 4", BG_HORIZONTAL, 0, 4, 0, 1, 4, 0},
        {"scroll from 4 to 0, halfway, scale 2", BG_HORIZONTAL, 4, 0, 0.5, 2, -4, 0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        frames_guard g;
        scene_frame* f[2];
        for (int i = 0; i < 2; ++i) {
            const int v = i == 0 ? r.a : r.b;
            f[i] = r.kind == BG_VERTICAL ? vertical(g, 100 + 2 * static_cast<u32>(i), v, 2, 1)
                                         : g.add(test_frame(100 + 2 * static_cast<u32>(i), BG_HORIZONTAL, 0, 2));
            if (r.kind == BG_HORIZONTAL) f[i]->hscroll = v;
        }
        scene_frame* b = f[1];
        b->residual_mask = static_cast<u8*>(std::calloc(64000, 1));
        b->residual_screen = static_cast<u8*>(std::calloc(64000, 1));
        b->residual_count = 1;
        b->residual_mask[30 * 320 + 200] = 1, b->residual_screen[30 * 320 + 200] = 9;
        picture out(r.s);
        const render_params p = params(r.s);
        render(f[0], b, &p, out.px.data(), r.t);
        int found_x = -1, found_y = -1;
        for (int y = 0; y < 200 * r.s && found_x < 0; ++y)
            for (int x = 64 * r.s; x < 256 * r.s; ++x)
                if (out.at(x, y) == colour(9)) {
                    found_x = x, found_y = y;
                    break;
                }
        EXPECT_EQ(found_x, 200 * r.s + r.dx);
        EXPECT_EQ(found_y, 30 * r.s + r.dy);
    }
}

}  // namespace

namespace {

// A solid pack picture 3 x 3 game pixels, its colours apart in each
// channel.
std::vector<u8> g_solid_rgba;
int solid_pack_picture(const sprite*, int scale, pack_picture* out, int) {
    g_solid_rgba.assign(static_cast<size_t>(9 * scale * scale * 4), 0);
    for (size_t i = 0; i < g_solid_rgba.size(); i += 4)
        g_solid_rgba[i] = 200, g_solid_rgba[i + 1] = 100, g_solid_rgba[i + 2] = 50, g_solid_rgba[i + 3] = 255;
    *out = {g_solid_rgba.data(), 3, 3, 0, 0};
    return 1;
}

// Drawn at a fraction of an output pixel, a solid picture is solid inside:
// every pixel whose four source pixels lie in the picture has its colour,
// in each channel, for the game's own pictures and a pack's alike.
TEST(Render, APictureAtAFractionOfAPixelIsSolidInside) {
    struct {
        const char* what;
        bool pack;
        int s;
        rgb_t want;
    } rows[] = {{"table picture", false, 1, colour(15)},
                {"table picture, scale 2", false, 2, colour(15)},
                {"pack picture, scale 2", true, 2, rgb_t{200, 100, 50}}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        pack_sprite_cb = r.pack ? solid_pack_picture : nullptr;
        frames_guard g;
        scene_frame* a = vertical(g, 100, 0, 2, 0);
        add_unit(a, 4, 0x1000, 120.3, 50.6, solid_sprite(3, 3, 15));
        picture out(r.s);
        const render_params p = params(r.s, 0);
        render(a, a, &p, out.px.data(), 0);
        const int x0 = static_cast<int>(std::floor(120.3 * r.s)), y0 = static_cast<int>(std::floor(50.6 * r.s));
        for (int y = y0 + 1; y < y0 + 3 * r.s; ++y)
            for (int x = x0 + 1; x < x0 + 3 * r.s; ++x) EXPECT_EQ(out.at(x, y), r.want) << x << "," << y;
        // The edges mix with what is under them.
        EXPECT_NE(out.at(x0, y0 + 1), r.want);
        EXPECT_NE(out.at(x0 + 1, y0), r.want);
    }
    pack_sprite_cb = nullptr;
}

// An enemy that vanishes keeps moving only when its picture has passed the
// side it is heading for: its left edge below 84 going left, its right edge
// beyond 236 going right. Otherwise it goes at t = 0.5.
TEST(Render, AVanishingEnemyKeepsMovingOnlyPastItsSide) {
    struct {
        double x;     // in A; its picture is 4 wide, hot spot 0
        double step;  // from the pair before
        bool moving;
    } rows[] = {{83, -10, true}, {84, -10, false}, {233, 10, true}, {232, 10, false}, {83, 10, false}};
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << "x " << r.x << " step " << r.step);
        frames_guard g;
        unit_track tracker[256] = {};
        scene_frame* p0 = vertical(g, 98, 0, 2, 1);
        scene_frame* a = vertical(g, 100, 0, 2, 1);
        scene_frame* b = vertical(g, 102, 0, 2, 1);
        add_unit(p0, 0, 0x2000, r.x - r.step, 50, solid_sprite(4, 4, 5));
        add_unit(a, 0, 0x2000, r.x, 50, solid_sprite(4, 4, 5));
        const render_params p = params(1, 1, tracker);
        picture before(1), out(1);
        render(p0, a, &p, before.px.data(), 0.99);
        render(a, b, &p, out.px.data(), 0.6);
        const int at = static_cast<int>(r.x + r.step * 0.6);
        EXPECT_EQ(out.at(at + 1, 51) == colour(5), r.moving);
        int shown = 0;
        for (int x = 64; x < 256; ++x) shown += out.at(x, 51) == colour(5);
        EXPECT_EQ(shown > 0, r.moving);
    }
}

// A tracker slot whose enemy was in neither frame of a pair is freed.
TEST(Render, ATrackerSlotGoesWithItsEnemy) {
    frames_guard g;
    unit_track tracker[256] = {};
    scene_frame* a = vertical(g, 100, 0, 2, 1);
    scene_frame* b = vertical(g, 102, 0, 2, 1);
    scene_frame* c = vertical(g, 104, 0, 2, 1);
    add_unit(a, 0, 0x2000, 120, 50, solid_sprite(4, 4, 5));
    add_unit(b, 0, 0x2000, 124, 50, solid_sprite(4, 4, 5));
    add_unit(b, 0, 0x2400, 160, 50, solid_sprite(4, 4, 5));
    add_unit(c, 0, 0x2400, 164, 50, solid_sprite(4, 4, 5));
    const render_params p = params(1, 1, tracker);
    picture out(1);
    render(a, b, &p, out.px.data(), 0.5);
    ASSERT_NE(ust_find(tracker, 0, 0x2000, 0), nullptr);
    render(b, c, &p, out.px.data(), 0.5);
    render(c, c, &p, out.px.data(), 0.5);
    EXPECT_EQ(ust_find(tracker, 0, 0x2000, 0), nullptr);
    EXPECT_NE(ust_find(tracker, 0, 0x2400, 0), nullptr);
}

// At the screen's foot a unit takes the zone of its middle line, counted
// as line 199 at most: a zone from line 199 colours it, one from line 200
// (below the screen) does not.
TEST(Render, AUnitAtTheFootTakesTheZoneOfLine199AtMost) {
    struct {
        u32 zone_line;
        bool second_zone;
    } rows[] = {{199, true}, {200, false}};
    for (const auto& r : rows) {
        frames_guard g;
        scene_frame* f = vertical(g, 100, 0, 2, 0);
        f->zone_count = 2;
        f->zones[1] = f->zones[0];
        f->zones[1].line = r.zone_line;
        palette_set(f->zones[1].palette, 5, 0x0F00);
        add_unit(f, 4, 0x1000, 150, 196, solid_sprite(4, 10, 5));  // middle line 201
        picture out(1);
        const render_params p = params(1, 0);
        render(f, f, &p, out.px.data(), 0);
        EXPECT_EQ(out.at(151, 198), (r.second_zone ? rgb_t{255, 0, 0} : colour(5))) << r.zone_line;
    }
}

}  // namespace
