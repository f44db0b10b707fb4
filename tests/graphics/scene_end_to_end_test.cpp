// End to end, headless: the scene script plays a scrolling vertical section
// with moving enemies; the capture hands its frames through scene_ops to the
// presenter's queue, and the presenter draws pictures for deadlines between
// VBLs. Enemies must sit at their interpolated positions and the background
// band must show the interpolated ring.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "graphics/present.h"
#include "machine/hooks.h"
#include "machine/memory.h"
#include "support/machine/machine_fixture.h"
#include "support/graphics/scene_frames.h"
#include "support/graphics/scene_script.h"

namespace {

void post_frame(scene_frame* f) {
    present_msg* m = msg_new(MSG_FRAME);
    m->frame = frame_ref(f);
    msgq_push(m);
}
void post_reset() { msgq_push(msg_new(MSG_RESET)); }

struct enemy_path {
    u32 record;
    int id, index_written, index_shown;
    double x0, dx, y0, dy;  // game position at frame 0 and per frame
};
const enemy_path enemies[] = {
    {0x30000, 2, 5, 13, 120, 3, 150, 1},
    {0x30100, 3, 6, 14, 230, -2, 200, -2},
};
constexpr int frames = 30;
constexpr u32 first_vbl = 1000;
int ring_index(int row) { return 1 + row % 7; }
int ring_row_of(int k) { return (200 - k) & 255; }

class SceneEndToEnd : public MachineTest {
 protected:
    present_state* st = nullptr;
    void SetUp() override {
        MachineTest::SetUp();
        msgq_set_closed(0);
        msgq_clear();
        static const scene_ops ops{post_frame, nullptr, nullptr, post_reset};
        scene_init(&ops);
        script_begin();
        for (int32_t& f : pflags) f = 1;
        pflags[PF_FILTER_X] = pflags[PF_FILTER_Y] = pflags[PF_PREDICTION] = pflags[PF_TRACKING] = 0;
        st = present_new(2);
    }
    void TearDown() override {
        present_free(st);
        msgq_clear();
        scene_init(nullptr);
        hooks_clear();
        for (int32_t& f : pflags) f = 1;
        MachineTest::TearDown();
    }
};

TEST_F(SceneEndToEnd, EnemiesAndTheRingAreDrawnAtTheirInterpolatedPlaces) {
    tos.zone_count = 1;
    tos.zones[0].line = 0;
    test_palette(tos.zones[0].palette);
    idx_picture ring(192, 256);
    for (int r = 0; r < 256; ++r) ring.fill_rect(0, r, 192, 1, static_cast<u8>(ring_index(r)));
    sprite* pictures[2];
    for (int e = 0; e < 2; ++e) {
        script_table_block(0, enemies[e].id, 0, 2, 1, 6, 5, enemies[e].index_written);
        pictures[e] = rom_sprite(0, enemies[e].id, 0);
    }
    for (int k = 0; k < frames; ++k) {
        u8* screen = script_screen_bytes();
        std::memset(screen, 0, 32000);
        const int row = ring_row_of(k);
        for (int y = 0; y < 200; ++y)
            for (int c = 64; c < 256; ++c) st_set_pixel(screen, c, y, ring_index((255 - row + y) % 256));
        script_frame_start(first_vbl + 2 * k);
        script_vertical_background(row, k == 0 ? &ring : nullptr);
        for (int e = 0; e < 2; ++e) {
            const enemy_path& p = enemies[e];
            const int x = static_cast<int>(p.x0 + p.dx * k) & ~1, y = static_cast<int>(p.y0 + p.dy * k);
            script_unit(0, p.record, {static_cast<u16>(x), static_cast<u16>(y), 1, 0, static_cast<u16>(p.id)},
                        [&](u8* s) {
                            const sprite* pic = pictures[e];
                            for (int j = 0; j < pic->height; ++j)
                                for (int i = 0; i < pic->width; ++i)
                                    st_set_pixel(s, x + pic->hot_x + i, y + pic->hot_y + j, pic->pixels[j * pic->width + i]);
                        });
        }
        script_frame_end();
    }
    ASSERT_EQ(msgq_count(), frames + 1);  // the segment's reset and the frames
    present_msg* clock = msg_new(MSG_CLOCK);
    clock->wall = 0, clock->vbl = 0, clock->rate = 50;
    msgq_push(clock);

    const int s = 2;
    for (double wanted : {1011.5, 1023.3, 1040.9, 1057.0}) {
        SCOPED_TRACE(wanted);
        int fixed = -1;
        const u8* out = present_frame(st, &fixed, wanted / 50);
        ASSERT_EQ(fixed, 0);
        ASSERT_EQ(present_history_count(st), frames);
        for (int e = 0; e < 2; ++e) {
            const enemy_path& p = enemies[e];
            // Positions are whole per frame: interpolate the frames' values.
            const double kf = (wanted - first_vbl) / 2;
            const int k0 = static_cast<int>(std::floor(kf));
            const double t = kf - k0;
            auto xs = [&](int k) { return static_cast<double>(static_cast<int>(p.x0 + p.dx * k) & ~1); };
            auto ys = [&](int k) { return p.y0 + p.dy * k; };
            const double x = xs(k0) + (xs(k0 + 1) - xs(k0)) * t, y = ys(k0) + (ys(k0 + 1) - ys(k0)) * t;
            const double cx = (x + pictures[e]->hot_x + pictures[e]->width / 2.0) * s;
            const double cy = (y + pictures[e]->hot_y + pictures[e]->height / 2.0) * s;
            u8 want[3];
            test_rgb(p.index_shown, want);
            double sx = 0, sy = 0;
            int n = 0;
            for (int yy = 0; yy < 200 * s; ++yy)
                for (int xx = 0; xx < 320 * s; ++xx)
                    if (std::memcmp(out + (static_cast<size_t>(yy) * 320 * s + xx) * 3, want, 3) == 0)
                        sx += xx + 0.5, sy += yy + 0.5, ++n;
            ASSERT_GT(n, 0) << "enemy " << e;
            EXPECT_NEAR(sx / n, cx, 1.0) << "enemy " << e;
            EXPECT_NEAR(sy / n, cy, 1.0) << "enemy " << e;
        }
        // The ring at V = 255 - ring row of A + t (one row per frame); lines
        // that fall wholly inside one ring row show it unblended.
        const double kf = (wanted - first_vbl) / 2;
        const int k0 = static_cast<int>(std::floor(kf));
        const double v = 255 - ring_row_of(k0) + (kf - k0);
        int checked = 0;
        for (int m = 0; m < 200 * s; ++m) {
            const double pos = static_cast<double>(m) / s + v;
            if (pos - std::floor(pos) > 0.5) continue;
            const int row = static_cast<int>(std::floor(pos)) % 256;
            u8 want[3];
            test_rgb(ring_index(row), want);
            ASSERT_EQ(std::memcmp(out + (static_cast<size_t>(m) * 320 * s + 70 * s) * 3, want, 3), 0) << "line " << m;
            ++checked;
        }
        EXPECT_GE(checked, 200);
    }
    for (int i = 0; i < present_history_count(st); ++i) EXPECT_EQ(present_history_frame(st, i)->residual_count, 0);
    for (sprite* p : pictures) sprite_unref(p);
}

} // namespace
