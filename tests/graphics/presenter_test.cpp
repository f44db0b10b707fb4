// Presenter: the message queue between threads, the history, the clock, the
// choice of frame pair and fraction, fixed screens, filters and the
// horizontal scroll smoothing.
#include "graphics/present.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <chrono>
#include <cstring>
#include <thread>

#include "graphics/present_state.h"
#include "host/platform.h"
#include "support/graphics/scene_frames.h"

namespace {

class Presenter : public ::testing::Test {
 protected:
    present_state* st = nullptr;
    void SetUp() override {
        msgq_set_closed(0);
        msgq_clear();
        for (int32_t& f : pflags) f = 1;
        st = present_new(1);
        ASSERT_NE(st, nullptr);
    }
    void TearDown() override {
        present_free(st);
        msgq_set_closed(0);
        msgq_clear();
        for (int32_t& f : pflags) f = 1;
    }
    static void push_frame(scene_frame* f) {
        present_msg* m = msg_new(MSG_FRAME);
        m->frame = frame_ref(f);
        ASSERT_NE(msgq_push(m), nullptr);
    }
    // A vertical frame with one enemy (object 0x4000, a 2 x 2 block of index 5
    // on a screen of index 2) at x, line 150.
    static scene_frame* enemy_frame(u32 vbl, double x) {
        scene_frame* f = test_frame(vbl, BG_VERTICAL, 0, 2);
        add_unit(f, 0, 0x4000, x, 150, solid_sprite(2, 2, 5));
        return f;
    }
    // n such frames two VBLs apart from VBL 100, the enemy moving by step each.
    static void push_moving_enemy(u32 n, double x, double step) {
        for (u32 k = 0; k < n; ++k) {
            scene_frame* f = enemy_frame(100 + 2 * k, x + step * k);
            push_frame(f);
            frame_unref(f);
        }
    }
    static void push_clock(double wall, double vbl, double rate = 50) {
        present_msg* m = msg_new(MSG_CLOCK);
        m->wall = wall, m->vbl = vbl, m->rate = rate;
        msgq_push(m);
    }
    static void push_screen(u32 vbl) {
        present_msg* m = msg_new(MSG_SCREEN);
        m->screen_vbl = vbl;
        m->zone_count = 1;
        m->payload = static_cast<u8*>(std::calloc(64000, 1));
        msgq_push(m);
    }
    // Frames at the given VBLs, each held by the presenter only.
    void history(std::initializer_list<u32> vbls, int bg_kind = BG_VERTICAL) {
        for (u32 v : vbls) {
            scene_frame* f = test_frame(v, bg_kind, 0, 2);
            push_frame(f);
            frame_unref(f);
        }
        present_drain(st);
    }
};

// Waits (up to 5 s) until a sender waits for room.
bool sender_waits() {
    for (int i = 0; i < 2500 && msgq_waiting_senders() == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return msgq_waiting_senders() == 1;
}

TEST_F(Presenter, TheQueueKeepsItsLastSlotForFixedScreensAndBlocksOtherSenders) {
    for (int i = 0; i < 511; ++i) ASSERT_NE(msgq_push(msg_new(MSG_KIND)), nullptr);
    EXPECT_EQ(msgq_waiting_senders(), 0);
    // A sender of an ordinary message waits while 511 are queued.
    std::atomic<bool> done{false};
    std::thread sender([&] {
        msgq_push(msg_new(MSG_TOAST));
        done = true;
    });
    EXPECT_TRUE(sender_waits());
    EXPECT_FALSE(done);
    // A fixed screen takes the 512th slot; the next is dropped at once.
    EXPECT_NE(msgq_push(msg_new(MSG_SCREEN)), nullptr);
    EXPECT_EQ(msgq_count(), 512);
    EXPECT_EQ(msgq_push(msg_new(MSG_SCREEN)), nullptr);
    EXPECT_EQ(msgq_count(), 512);
    msg_free(msgq_pop());
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_FALSE(done);  // 511 still queued
    EXPECT_EQ(msgq_waiting_senders(), 1);
    msg_free(msgq_pop());
    sender.join();
    EXPECT_TRUE(done);
    EXPECT_EQ(msgq_waiting_senders(), 0);
    EXPECT_EQ(msgq_count(), 511);
}

TEST_F(Presenter, AClosedQueueDropsEveryPushAtOnceEvenForAWaitingSender) {
    for (int i = 0; i < 511; ++i) msgq_push(msg_new(MSG_KIND));
    std::atomic<bool> done{false};
    present_msg* result = reinterpret_cast<present_msg*>(1);
    std::thread sender([&] {
        scene_frame* f = test_frame(1, 0, 0);
        present_msg* m = msg_new(MSG_FRAME);
        m->frame = f;  // the message owns the frame: freed with it
        result = msgq_push(m);
        done = true;
    });
    EXPECT_TRUE(sender_waits());
    EXPECT_FALSE(done);
    msgq_set_closed(1);
    sender.join();
    EXPECT_EQ(result, nullptr);
    EXPECT_EQ(msgq_waiting_senders(), 0);
    EXPECT_EQ(msgq_push(msg_new(MSG_TOAST)), nullptr);
    EXPECT_EQ(msgq_count(), 511);
}

TEST_F(Presenter, ADrainAppliesAtMost200Messages) {
    for (int i = 0; i < 250; ++i) msgq_push(msg_new(MSG_STATS));
    present_drain(st);
    EXPECT_EQ(msgq_count(), 50);
    present_drain(st);
    EXPECT_EQ(msgq_count(), 0);
}

TEST_F(Presenter, The41stFrameReleasesTheOldestAndAResetReleasesAll) {
    scene_frame* first = test_frame(0, BG_VERTICAL, 0);
    push_frame(first);
    for (u32 v = 1; v < 40; ++v) {
        scene_frame* f = test_frame(2 * v, BG_VERTICAL, 0);
        push_frame(f);
        frame_unref(f);
    }
    present_drain(st);
    EXPECT_EQ(first->refs.load(), 2);
    EXPECT_EQ(present_history_count(st), 40);
    scene_frame* last = test_frame(80, BG_VERTICAL, 0);
    push_frame(last);
    present_drain(st);
    EXPECT_EQ(first->refs.load(), 1);  // ours alone: the presenter let go
    EXPECT_EQ(present_history_count(st), 40);
    EXPECT_EQ(present_history_frame(st, 0)->vbl, 2u);
    EXPECT_EQ(present_history_frame(st, 38)->vbl, 78u);
    EXPECT_EQ(present_history_frame(st, 39)->vbl, 80u);
    EXPECT_EQ(present_last_vbl(st), 80u);
    frame_unref(first);
    msgq_push(msg_new(MSG_RESET));
    present_drain(st);
    EXPECT_EQ(present_history_count(st), 0);
    EXPECT_EQ(last->refs.load(), 1);
    frame_unref(last);
}

TEST_F(Presenter, AClockStepBackOf40VblsLetsThePictureGoBackASmallerOneDoesNot) {
    struct {
        double back;
        bool kept;
    } cases[] = {{1, true}, {39, true}, {40, false}, {100, false}, {-5, false}};
    for (const auto& c : cases) {
        present_free(st);
        msgq_clear();
        st = present_new(1);
        const double wall = now_s();
        push_clock(wall, 1000);
        history({1000, 1002, 1004});
        int fixed = 0;
        present_frame(st, &fixed, wall + 0.04);  // VBL 1002
        const double shown = present_shown(st);
        EXPECT_NEAR(shown, 1002, 0.5);
        push_clock(wall, 1000 - c.back);
        present_drain(st);
        if (c.kept)
            EXPECT_EQ(present_shown(st), shown) << c.back;
        else
            EXPECT_LT(present_shown(st), -1e17) << c.back;
    }
}

struct pair_case {
    const char* what;
    std::vector<u32> vbls;
    double clock;  // the clock's VBL at the deadline, before ahead
    double ahead;
    bool extrapolate, interpolation;
    u32 a, b;
    double t;
};

TEST_F(Presenter, ThePairAndFractionForADeadline) {
    const pair_case cases[] = {
        {"between", {100, 102, 104, 106}, 103, 0, true, true, 102, 104, 0.5},
        {"on a frame", {100, 102, 104, 106}, 102, 0, true, true, 102, 104, 0},
        {"ahead counts", {100, 102, 104, 106}, 102, 1, true, true, 102, 104, 0.5},
        {"past the newest", {100, 102, 104, 106}, 108, 0, true, true, 104, 106, 2},
        {"far past: t at 3", {100, 102, 104, 106}, 130, 0, true, true, 104, 106, 3},
        {"before the oldest: t at 0", {100, 102, 104, 106}, 90, 0, true, true, 100, 102, 0},
        {"no extrapolation: back by ahead + 2", {100, 102, 104, 106}, 105, 1, false, true, 102, 104, 0.5},
        {"a gap of one VBL", {100, 101}, 100.25, 0, true, true, 100, 101, 0.25},
        {"no interpolation: the frame reached", {100, 102, 104, 106}, 103, 0, true, false, 102, 102, 0},
        {"no interpolation, before the oldest", {100, 102, 104, 106}, 90, 0, true, false, 100, 100, 0},
        {"a single frame alone", {100}, 103, 0, true, true, 100, 100, 0},
    };
    for (const pair_case& c : cases) {
        SCOPED_TRACE(c.what);
        present_free(st);
        msgq_clear();
        st = present_new(1);
        pflags[PF_EXTRAPOLATE] = c.extrapolate;
        pflags[PF_INTERPOLATION] = c.interpolation;
        present_set_ahead(st, c.ahead);
        push_clock(0, 0);
        for (u32 v : c.vbls) {
            scene_frame* f = test_frame(v, BG_VERTICAL, 0, 2);
            push_frame(f);
            frame_unref(f);
        }
        int fixed = 1;
        present_frame(st, &fixed, c.clock / 50);
        EXPECT_EQ(fixed, 0);
        const scene_frame *a = nullptr, *b = nullptr;
        double t = -1;
        present_last_pair(st, &a, &b, &t);
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->vbl, c.a);
        EXPECT_EQ(b->vbl, c.b);
        EXPECT_NEAR(t, c.t, 1e-9);
    }
}

TEST_F(Presenter, TheShownPositionNeverGoesBack) {
    push_clock(0, 0);
    history({100, 102, 104, 106});
    int fixed = 0;
    present_frame(st, &fixed, 105.0 / 50);
    present_frame(st, &fixed, 103.0 / 50);
    const scene_frame *a, *b;
    double t;
    present_last_pair(st, &a, &b, &t);
    EXPECT_EQ(a->vbl, 104u);
    EXPECT_NEAR(t, 0.5, 1e-9);
}

TEST_F(Presenter, AFixedScreenReplacesTheGamePictureOnlyWhenNewer) {
    struct {
        u32 screen_vbl;
        bool fixed;
    } cases[] = {{99, false}, {100, false}, {101, true}, {107, true}, {108, true}};
    for (const auto& c : cases) {
        present_free(st);
        msgq_clear();
        st = present_new(1);
        push_clock(0, 0);
        history({98, 100});
        push_screen(c.screen_vbl);
        int fixed = -1;
        present_frame(st, &fixed, 100.0 / 50);
        EXPECT_EQ(fixed, c.fixed ? 1 : 0) << c.screen_vbl;
    }
}

int g_layer_calls = 0;
void count_layers(const u8*, const palette_zone*, int, int, u8* rgb) {
    ++g_layer_calls;
    rgb[0] = 77;
}

TEST_F(Presenter, AFixedScreenIsDrawnOncePerChangeWithThePacksLayers) {
    present_static_cb = count_layers;
    g_layer_calls = 0;
    push_clock(0, 0);
    present_msg* m = msg_new(MSG_SCREEN);
    m->screen_vbl = 50;
    m->zone_count = 1;
    test_palette(m->zones[0].palette);
    m->payload = static_cast<u8*>(std::malloc(64000));
    std::memset(m->payload, 9, 64000);
    msgq_push(m);
    int fixed = 0;
    const u8* out = present_frame(st, &fixed, 1);
    EXPECT_EQ(fixed, 1);
    EXPECT_EQ(g_layer_calls, 1);
    EXPECT_EQ(out[0], 77);
    u8 want[3];
    test_rgb(9, want);
    EXPECT_EQ(std::memcmp(out + 3 * 1000, want, 3), 0);
    present_frame(st, &fixed, 1);
    EXPECT_EQ(g_layer_calls, 1);  // unchanged screen: not redrawn
    present_pack_changed(st);
    present_frame(st, &fixed, 1);
    EXPECT_EQ(g_layer_calls, 2);
    push_screen(51);
    present_frame(st, &fixed, 1);
    EXPECT_EQ(g_layer_calls, 3);
    present_static_cb = nullptr;
}

TEST_F(Presenter, WithoutAClockOrAnythingToShowThePictureIsBlack) {
    int fixed = -1;
    const u8* out = present_frame(st, &fixed, 1);
    EXPECT_EQ(fixed, 0);
    for (int i = 0; i < 192000; ++i) ASSERT_EQ(out[i], 0);
    push_clock(0, 0);
    out = present_frame(st, &fixed, 1);
    EXPECT_EQ(fixed, 1);
    for (int i = 0; i < 192000; ++i) ASSERT_EQ(out[i], 0);
}

TEST_F(Presenter, TheOutputScaleIsKeptWithinOneToFour) {
    struct {
        int asked, kept;
    } cases[] = {{-2, 1}, {0, 1}, {1, 1}, {2, 2}, {4, 4}, {5, 4}, {9, 4}};
    for (const auto& c : cases) {
        present_state* made = present_new(c.asked);
        ASSERT_NE(made, nullptr);
        EXPECT_EQ(present_scale(made), c.kept) << "made at " << c.asked;
        present_free(made);
        present_set_scale(st, c.asked);
        EXPECT_EQ(present_scale(st), c.kept) << "set to " << c.asked;
        // A whole picture of that scale is drawn without running past the
        // buffer: its last byte is there, black.
        int fixed = 0;
        const u8* out = present_frame(st, &fixed, 1);
        EXPECT_EQ(out[static_cast<size_t>(c.kept) * c.kept * 192000 - 1], 0) << c.asked;
    }
}

TEST_F(Presenter, AnEnemyJumpingMoreThan24PixelsRestartsItsFilter) {
    struct {
        float jump;
        bool restarted;
    } cases[] = {{24, false}, {25, true}, {-25, true}, {-24, false}};
    for (const auto& c : cases) {
        present_free(st);
        msgq_clear();
        st = present_new(1);
        float x = 120;
        for (int k = 0; k < 8; ++k) {
            scene_frame* f = test_frame(100 + 2 * k, BG_VERTICAL, 0);
            add_unit(f, 0, 0x4000, x, 150, solid_sprite(2, 2, 5));
            push_frame(f);
            frame_unref(f);
            x += 2;
        }
        present_drain(st);
        const motion_filter* f = present_filters(st);
        ASSERT_EQ(f[0].used, 1);
        EXPECT_EQ(f[0].rcount, 6);
        const int before = f[0].hcount;
        // The newest filtered position is predicted 2 ahead of the last x.
        scene_frame* jumped = test_frame(200, BG_VERTICAL, 0);
        add_unit(jumped, 0, 0x4000, f[0].hx[before - 1] + c.jump, 150, solid_sprite(2, 2, 5));
        push_frame(jumped);
        frame_unref(jumped);
        present_drain(st);
        EXPECT_EQ(f[0].rcount == 1, c.restarted) << c.jump;
        EXPECT_EQ(f[0].hcount == 1, c.restarted) << c.jump;
    }
}

TEST_F(Presenter, AScrollResidueOf04AtScale3ShiftsTheBandOnePixel) {
    present_set_scale(st, 3);
    push_clock(0, 0);
    scene_frame* a = test_frame(100, BG_HORIZONTAL, 0, 2);
    scene_frame* b = test_frame(102, BG_HORIZONTAL, 0, 2);
    for (scene_frame* f : {a, b})
        for (int r = 0; r < 32; ++r)
            for (int col = 0; col < 32; ++col) f->strip[r][col] = static_cast<u8>(col % 16);
    a->hscroll = 0, b->hscroll = 10;  // cameras 0 and -10
    push_frame(a);
    push_frame(b);
    int fixed = 0;
    present_frame(st, &fixed, (100 + 2 * 0.1) / 50);  // w = -1: the smoothing starts there
    // w = -2.479: the smoothed value moves by at most 1.079, to -2.079;
    // residue 0.4 x 3 = 1.2 -> one pixel right.
    const double t = 0.2479;
    const u8* shifted = present_frame(st, &fixed, (100 + 2 * t) / 50);
    std::vector<u8> plain(3 * 3 * 192000);
    render_params p{3, 1, 1, 1, nullptr, 0.8f, 0};
    render(a, b, &p, plain.data(), t);
    const size_t stride = 320 * 3 * 3;
    for (int y : {0, 100, 599}) {
        const u8* got = shifted + y * stride;
        const u8* want = plain.data() + y * stride;
        for (int x = 193; x < 768; ++x) ASSERT_EQ(std::memcmp(got + 3 * x, want + 3 * (x - 1), 3), 0) << x;
        EXPECT_EQ(std::memcmp(got + 3 * 192, want + 3 * 192, 3), 0);  // the edge repeats
        EXPECT_EQ(std::memcmp(got + 3 * 100, want + 3 * 100, 3), 0);  // panels stay
    }
    frame_unref(a);
    frame_unref(b);
}

// The band of `got` equals `plain`'s moved k pixels (k > 0 right), its
// uncovered edge repeating the last moved pixel.
void expect_band_shift(const u8* got, const u8* plain, int s, int k) {
    const size_t stride = 320 * 3 * static_cast<size_t>(s);
    const int x0 = 64 * s, x1 = 256 * s;
    for (int y = 0; y < 200 * s; y += 37) {
        for (int x = x0; x < x1; ++x) {
            const int from = std::clamp(x - k, x0, x1 - 1);
            ASSERT_EQ(std::memcmp(got + y * stride + 3 * x, plain + y * stride + 3 * from, 3), 0)
                << "shift " << k << " x " << x << " y " << y;
        }
        ASSERT_EQ(std::memcmp(got + y * stride, plain + y * stride, 3 * x0), 0);
    }
}

TEST_F(Presenter, ScrollSmoothingRestartsOnJumpsAndHoldsSmallStepsBack) {
    const int s = 3;
    struct step {
        double vbl;
        int shift;
    };
    // Frames with scrolls 0, 10 and 9 at VBLs 100, 102, 104: the camera
    // goes from 0 to -10 and back to -9 (the last run: 0, -10, -9, the
    // camera the other way, so the band moves left and 19 pixels at its
    // right edge repeat the last one moved).
    struct run_case {
        int scrolls[3];
        std::vector<step> steps;
    };
    const run_case runs[] = {
        {{0, 10, 9}, {{100, 0}, {101.5, 19}}},              // 7.5 away: moves 1.079, residue 6.421
        {{0, 10, 9}, {{100, 0}, {101.7, 0}}},               // 8.5 away: starts again there
        {{0, 10, 9}, {{101.8, 0}, {102, 0}, {102.5, -1}}},  // back by 0.25 against the motion: held
        {{0, -10, -9}, {{100, 0}, {101.5, -19}}},
        // Small steps along the motion (0.5 each) are followed, not held.
        {{0, -10, -9}, {{100, 0}, {100.1, 0}, {100.2, 0}}},
    };
    for (const auto& run : runs) {
        present_free(st);
        msgq_clear();
        st = present_new(s);
        push_clock(0, 0);
        scene_frame* f[3];
        for (int i = 0; i < 3; ++i) {
            f[i] = test_frame(100 + 2 * static_cast<u32>(i), BG_HORIZONTAL, 0, 2);
            for (int r = 0; r < 32; ++r)
                for (int col = 0; col < 32; ++col) f[i]->strip[r][col] = static_cast<u8>((col * 5 + r) % 16);
            f[i]->hscroll = run.scrolls[i];
            push_frame(f[i]);
        }
        for (const step& st_ : run.steps) {
            int fixed = 0;
            const u8* got = present_frame(st, &fixed, st_.vbl / 50);
            const scene_frame *a, *b;
            double t;
            present_last_pair(st, &a, &b, &t);
            std::vector<u8> plain(static_cast<size_t>(s) * s * 192000);
            render_params p{s, 1, 1, 1, nullptr, 0.8f, 0};
            render(const_cast<scene_frame*>(a), const_cast<scene_frame*>(b), &p, plain.data(), t);
            SCOPED_TRACE(st_.vbl);
            expect_band_shift(got, plain.data(), s, st_.shift);
        }
        for (scene_frame* fr : f) frame_unref(fr);
    }
}

TEST_F(Presenter, TextsStatisticsAndErrorsAreKept) {
    present_msg* m = msg_new(MSG_KIND);
    std::strcpy(m->text, "a-very-long-kind-name");
    msgq_push(m);
    m = msg_new(MSG_TOAST);
    std::strcpy(m->text, "saved");
    msgq_push(m);
    m = msg_new(MSG_ERROR);
    std::strcpy(m->text, "broken");
    msgq_push(m);
    m = msg_new(MSG_STATS);
    m->stats.slow_steps = 4;
    msgq_push(m);
    EXPECT_STREQ(present_screen_kind(st), "other");
    EXPECT_EQ(present_error(st), nullptr);
    present_drain(st);
    EXPECT_STREQ(present_screen_kind(st), "a-very-long-kin");
    char text[8];
    double when = 0;
    EXPECT_EQ(present_take_text(st, text, sizeof text, &when), 1);
    EXPECT_STREQ(text, "saved");
    EXPECT_EQ(present_take_text(st, text, sizeof text, &when), 0);
    EXPECT_STREQ(present_error(st), "broken");
    present_stats stats{};
    EXPECT_EQ(present_stat(st, &stats), 1);
    EXPECT_EQ(stats.slow_steps, 4);
}

TEST_F(Presenter, WaitingForAMenuScreenReturnsWhenANewOneArrives) {
    EXPECT_EQ(present_wait_menu(st, 0.01), 0);
    std::thread sender([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        push_screen(7);
    });
    EXPECT_EQ(present_wait_menu(st, 5), 1);
    sender.join();
    const u8* idx = nullptr;
    const palette_zone* zones = nullptr;
    int count = 0;
    EXPECT_EQ(present_menu_cur(st, &idx, &zones, &count), 1);
    EXPECT_EQ(count, 1);
}

} // namespace

namespace {

// The flags as the program starts with them, taken before any test sets
// them: the tracker and the prediction have no option key, so this is
// their only source.
const std::array<int32_t, 9> program_flags = [] {
    std::array<int32_t, 9> f{};
    std::copy(pflags, pflags + 9, f.begin());
    return f;
}();

// The leftmost column of the playfield in line y (scale 1) showing the
// colour of index; -1 when none does.
int leftmost(const u8* rgb, int y, int index) {
    u8 want[3];
    test_rgb(index, want);
    for (int x = 64; x < 256; ++x)
        if (std::memcmp(rgb + (static_cast<size_t>(y) * 320 + x) * 3, want, 3) == 0) return x;
    return -1;
}

TEST_F(Presenter, TheProgramStartsWithEveryPresentationFlagOn) {
    const char* names[9] = {"scroll fix", "sub-pixel smoothing", "motion prediction", "extrapolate", "filter x",
                            "filter y",   "unit tracking",       "residual layer",    "frame interpolation"};
    for (int i = 0; i < 9; ++i) EXPECT_EQ(program_flags[static_cast<size_t>(i)], 1) << names[i];
    // With them a moving enemy drawn between two frames gets its tracker slot.
    std::copy(program_flags.begin(), program_flags.end(), pflags);
    push_clock(0, 0);
    push_moving_enemy(2, 120, 4);
    int fixed = 1;
    present_frame(st, &fixed, 101.0 / 50);
    EXPECT_EQ(fixed, 0);
    EXPECT_NE(ust_find(st->tracker, 0, 0x4000, 0), nullptr);
}

// Without interpolation a frame is drawn alone, its enemy exactly where the
// frame has it, even when the tracker holds an older pair that would pull it
// elsewhere.
TEST_F(Presenter, WithoutInterpolationAMovingEnemyIsDrawnAtItsFramesPosition) {
    pflags[PF_FILTER_X] = 0;  // draw positions are the captured ones
    push_clock(0, 0);
    // 100 -> 104 between VBLs 100 and 102, drawn halfway: the tracker keeps
    // that pair; then it stops at 104.
    push_moving_enemy(2, 100, 4);
    int fixed = 1;
    const u8* out = present_frame(st, &fixed, 101.0 / 50);
    ASSERT_EQ(fixed, 0);
    EXPECT_EQ(leftmost(out, 151, 5), 102);
    scene_frame* stopped = enemy_frame(104, 104);
    push_frame(stopped);
    frame_unref(stopped);
    pflags[PF_INTERPOLATION] = 0;
    out = present_frame(st, &fixed, 104.0 / 50);
    ASSERT_EQ(fixed, 0);
    const scene_frame *a, *b;
    double t;
    present_last_pair(st, &a, &b, &t);
    EXPECT_EQ(a->vbl, 104u);
    EXPECT_EQ(b->vbl, 104u);
    EXPECT_EQ(leftmost(out, 151, 5), 104);
    EXPECT_EQ(leftmost(out, 150, 5), 104);
}

// Five frames arriving at once: the three newest are drawn from their
// filtered positions, the older ones keep the positions the motion filter
// gave them, so a deadline in the oldest pair draws those.
TEST_F(Presenter, ABurstOfFiveFramesDrawsTheOldestPairAsTheFilterLeftIt) {
    pflags[PF_TRACKING] = 0;  // no correction between pairs
    pflags[PF_SUBPIXEL] = 0;  // whole pixels: the position reads off the picture
    push_clock(0, 0);
    push_moving_enemy(5, 100, 8);
    struct {
        double vbl;  // the deadline
        u32 a;
    } deadlines[] = {{101.5, 100}, {104.5, 104}};
    for (const auto& d : deadlines) {
        SCOPED_TRACE(d.vbl);
        int fixed = 1;
        const u8* out = present_frame(st, &fixed, d.vbl / 50);
        ASSERT_EQ(fixed, 0);
        ASSERT_EQ(present_history_count(st), 5);
        const scene_frame *a, *b;
        double t;
        present_last_pair(st, &a, &b, &t);
        ASSERT_EQ(a->vbl, d.a);
        const int oldest = static_cast<int>(a->vbl - 100) / 2;
        auto at = [&](const scene_unit& ua, const scene_unit& ub, bool filtered) {
            const double xa = filtered ? ua.filt_x : ua.pred_x, xb = filtered ? ub.filt_x : ub.pred_x;
            return xa + (xb - xa) * t;
        };
        const scene_unit &ua = a->units[0], &ub = b->units[0];
        const bool filtered = oldest >= 2;
        const double want = at(ua, ub, filtered);
        // The other choice would draw the enemy elsewhere.
        ASSERT_GE(std::fabs(std::round(want) - std::round(at(ua, ub, !filtered))), 1);
        EXPECT_EQ(leftmost(out, 151, 5), static_cast<int>(std::round(want)));
        for (int i = 2; i < 5; ++i) {
            const scene_unit& u = present_history_frame(st, i)->units[0];
            EXPECT_EQ(u.draw_x, u.filt_x) << "frame " << i;
        }
    }
}

// The map waits 6 ms for the menu's next screen: a screen arriving while it
// waits is taken, and without one the wait lasts its whole time.
TEST_F(Presenter, AShortWaitForAMenuScreenTakesOneSentWithinIt) {
    // The first drain takes 200 messages; the screen behind them is
    // applied by the drain after the wait.
    for (int i = 0; i < 200; ++i) msgq_push(msg_new(MSG_STATS));
    push_screen(7);
    EXPECT_EQ(present_wait_menu(st, 0.006), 1);
    EXPECT_EQ(msgq_count(), 0);
    EXPECT_EQ(present_menu_cur(st, nullptr, nullptr, nullptr), 1);
    const double start = now_s();
    EXPECT_EQ(present_wait_menu(st, 0.006), 0);
    EXPECT_GE(now_s() - start, 0.006 - 1e-9);
}

} // namespace

namespace {

// The newest frame held, with a reference for the caller; none before the
// first frame or after a reset.
TEST_F(Presenter, TheLatestFrameIsTheNewestHeld) {
    EXPECT_EQ(present_latest(st), nullptr);
    history({100, 102, 104});
    scene_frame* latest = present_latest(st);
    ASSERT_NE(latest, nullptr);
    EXPECT_EQ(latest->vbl, 104u);
    EXPECT_EQ(latest->refs.load(), 2);  // the history's and ours
    msgq_push(msg_new(MSG_RESET));
    present_drain(st);
    EXPECT_EQ(latest->refs.load(), 1);
    frame_unref(latest);
    EXPECT_EQ(present_latest(st), nullptr);
}

} // namespace
