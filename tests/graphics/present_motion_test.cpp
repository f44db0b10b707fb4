// The presenter's motion filters: camera bookkeeping, the kick that
// predicts a slowing enemy, the stop hold, averaging with the previous
// prediction, and the filter table's limits.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "graphics/present.h"
#include "support/graphics/scene_frames.h"

namespace {

class Motion : public ::testing::Test {
 protected:
    present_state* st = nullptr;
    void SetUp() override {
        msgq_set_closed(0);
        msgq_clear();
        for (int32_t& f : pflags) f = 1;
        st = present_new(1);
    }
    void TearDown() override {
        present_free(st);
        msgq_clear();
        for (int32_t& f : pflags) f = 1;
    }
    // One vertical frame with an enemy at each x (object 0x4000 + 32 i);
    // returns the arrived frame (held by the history).
    scene_frame* feed(u32 vbl, const std::vector<double>& xs, int ring_row = 0, int bg = BG_VERTICAL, int sub = 0,
                      double y = 150) {
        scene_frame* f = test_frame(vbl, bg, ring_row);
        for (size_t i = 0; i < xs.size(); ++i) {
            scene_unit& u = add_unit(f, 0, 0x4000 + 32 * static_cast<u32>(i), xs[i], y, nullptr);
            u.sub = sub;
        }
        present_msg* m = msg_new(MSG_FRAME);
        m->frame = f;
        msgq_push(m);
        present_drain(st);
        return present_history_frame(st, present_history_count(st) - 1);
    }
};

TEST_F(Motion, ASlowingEnemyIsKickedAheadUnlessPredictionIsOff) {
    for (int prediction : {1, 0}) {
        present_free(st);
        st = present_new(1);
        pflags[PF_PREDICTION] = prediction;
        // Steps 3, 3, 3, then 1, 1: earlier motion 6, recent 2.
        const double xs[] = {100, 103, 106, 109, 110, 111};
        scene_frame* f = nullptr;
        for (int k = 0; k < 6; ++k) f = feed(100 + 2 * k, {xs[k]});
        const scene_unit& u = f->units[0];
        // Velocity 0 + 6 - 2 = 4 (at the clamp).
        EXPECT_FLOAT_EQ(u.pred_x, prediction ? 115 : 111);
        EXPECT_FLOAT_EQ(u.draw_x, u.pred_x);
        EXPECT_FLOAT_EQ(u.raw_x, 111);
        EXPECT_EQ(present_filters(st)[0].kick_hold, prediction ? 2 : 0);
    }
}

TEST_F(Motion, TheKickTakesTheEarlierMotionLessTheRecent) {
    struct {
        const char* what;
        double xs[6];
        double pred;
    } cases[] = {
        {"slowing: 6 - 3 = 3", {100, 103, 106, 109, 111, 112}, 115},
        {"uneven earlier steps: (2 + 3 + 4) x 2/3 - 3 = 3", {100, 102, 105, 109, 111, 112}, 115},
        {"last step small, the one before large: 12 - 7, clamped", {100, 106, 112, 118, 125, 125}, 129},
        {"last step too large: no kick", {100, 106, 112, 118, 118, 125}, 125},
        {"steady: no kick", {100, 103, 106, 109, 112, 115}, 115},
    };
    for (const auto& c : cases)
        for (bool vertical : {false, true}) {
            present_free(st);
            st = present_new(1);
            scene_frame* f = nullptr;
            for (int k = 0; k < 6; ++k)
                f = vertical ? feed(100 + 2 * static_cast<u32>(k), {150}, 0, BG_VERTICAL, 0, c.xs[k])
                             : feed(100 + 2 * static_cast<u32>(k), {c.xs[k]});
            EXPECT_FLOAT_EQ(vertical ? f->units[0].pred_y : f->units[0].pred_x, c.pred) << c.what;
            EXPECT_FLOAT_EQ(vertical ? f->units[0].pred_x : f->units[0].pred_y, 150) << c.what;
        }
    // After a kick the hold runs down one per frame.
    present_free(st);
    st = present_new(1);
    const double xs[] = {100, 103, 106, 109, 111, 112};
    for (int k = 0; k < 6; ++k) feed(100 + 2 * static_cast<u32>(k), {xs[k]});
    EXPECT_EQ(present_filters(st)[0].kick_hold, 2);
    feed(112, {113});
    EXPECT_EQ(present_filters(st)[0].kick_hold, 1);
}

TEST_F(Motion, ALargeStepIsKeptWithinFivePixelsOfTheFilteredPath) {
    pflags[PF_PREDICTION] = 0;
    scene_frame* f = nullptr;
    for (int k = 0; k < 6; ++k) f = feed(100 + 2 * static_cast<u32>(k), {100});
    // 24 away: not a restart. H = (124 + 100) / 2 = 112; the smoothed
    // value follows the long slope 2 to 102.5 and is pulled to 112 - 5.
    f = feed(112, {124});
    EXPECT_EQ(present_filters(st)[0].hcount, 7);
    EXPECT_FLOAT_EQ(f->units[0].filt_x, 107);
}

TEST_F(Motion, AJumpOnTheSecondFrameRestartsTheFilter) {
    feed(100, {100});
    feed(102, {130});
    EXPECT_EQ(present_filters(st)[0].rcount, 1);
    EXPECT_EQ(present_filters(st)[0].hcount, 1);
}

TEST_F(Motion, TheDrawnPositionIsTheFilteredOneOrTheRawOne) {
    present_msg* clock = msg_new(MSG_CLOCK);
    clock->wall = 0, clock->vbl = 0, clock->rate = 50;
    msgq_push(clock);
    const double xs[] = {100, 103, 106, 109, 111, 112};
    scene_frame* f = nullptr;
    for (int k = 0; k < 6; ++k) f = feed(100 + 2 * static_cast<u32>(k), {xs[k]});
    for (int filter_x : {1, 0}) {
        pflags[PF_FILTER_X] = filter_x;
        int fixed = 0;
        present_frame(st, &fixed, 111.0 / 50);
        const scene_unit& u = f->units[0];
        EXPECT_FLOAT_EQ(u.draw_x, filter_x ? u.filt_x : u.raw_x);
        EXPECT_NE(u.filt_x, u.raw_x);
    }
}

TEST_F(Motion, AnEnemyThatStopsSetsTheStopHoldAndDampsItsVelocity) {
    const double xs[] = {100, 103, 106, 109, 109, 109};
    scene_frame* f = nullptr;
    for (int k = 0; k < 6; ++k) f = feed(100 + 2 * k, {xs[k]});
    const motion_filter& mf = present_filters(st)[0];
    EXPECT_EQ(mf.stop_hold, 4);
    EXPECT_EQ(mf.kick_hold, 2);
    // The smoothed position went three quarters of the way to the stop.
    EXPECT_NEAR(f->units[0].filt_x, 109, 1.0);
    // While the earlier steps still show motion the stop is seen again;
    // once they are gone the hold runs down one per frame.
    feed(112, {109});
    feed(114, {109});
    EXPECT_EQ(present_filters(st)[0].stop_hold, 4);
    feed(116, {109});
    EXPECT_EQ(present_filters(st)[0].stop_hold, 3);
    feed(118, {109});
    EXPECT_EQ(present_filters(st)[0].stop_hold, 2);
}

TEST_F(Motion, ThePredictionIsAveragedWithThePreviousFramesWhenClose) {
    pflags[PF_PREDICTION] = 0;
    feed(100, {100});
    scene_frame* f = feed(102, {110});
    // Both predictions are the positions (no velocity): H = 105.
    const motion_filter& mf = present_filters(st)[0];
    ASSERT_EQ(mf.hcount, 2);
    EXPECT_DOUBLE_EQ(mf.hx[1], 105);
    EXPECT_DOUBLE_EQ(mf.hx[0], 100);
    EXPECT_FLOAT_EQ(f->units[0].pred_x, 110);
    // Filtered without smoothing is H (plus the camera, 0 here).
    pflags[PF_FILTER_Y] = 0;
    f = feed(104, {112});
    EXPECT_FLOAT_EQ(f->units[0].filt_x, 111);
}

TEST_F(Motion, TheVerticalCameraFollowsTheRingAndTheHorizontalOneTheScroll) {
    scene_frame* f = feed(100, {120}, 10);
    EXPECT_FLOAT_EQ(f->cam_y, 0);
    f = feed(102, {120}, 8);
    EXPECT_FLOAT_EQ(f->cam_y, -2);
    f = feed(104, {120}, 250);  // 8 -> 250: -14 as a signed byte
    EXPECT_FLOAT_EQ(f->cam_y, -16);
    // World positions are taken without the camera: a unit that only
    // follows the scroll stands still for its filter.
    EXPECT_DOUBLE_EQ(present_filters(st)[0].ry[2], 150 + 16);
    EXPECT_DOUBLE_EQ(present_filters(st)[0].ry[1], 150 + 2);
    // A change of background kind restarts the bookkeeping and filters.
    f = feed(106, {120}, 0, BG_HORIZONTAL, 5);
    EXPECT_EQ(present_umode_h(st), BG_HORIZONTAL);
    EXPECT_FLOAT_EQ(f->cam_y, 0);
    EXPECT_FLOAT_EQ(f->units[0].raw_x, 125);  // sub-position added
    EXPECT_EQ(present_filters(st)[0].rcount, 1);
}

TEST_F(Motion, EveryEnemyOfAFullFrameHasAFilterAndVanishedOnesAreFreed) {
    std::vector<double> xs(128);
    for (size_t i = 0; i < xs.size(); ++i) xs[i] = 100 + static_cast<double>(i);
    scene_frame* f = feed(100, xs);
    int used = 0;
    for (int i = 0; i < motion_filter_slots; ++i) used += present_filters(st)[i].used;
    EXPECT_EQ(used, 128);
    EXPECT_LT(f->units[127].pred_x, 1e29f);
    f = feed(102, {100});
    used = 0;
    for (int i = 0; i < motion_filter_slots; ++i) used += present_filters(st)[i].used;
    EXPECT_EQ(used, 1);
}

} // namespace
