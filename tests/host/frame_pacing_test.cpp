// The main loop's frame deadline and its choice between vsync and sleep.
#include <gtest/gtest.h>

#include "host/frame_pacing.h"

namespace {

TEST(FramePacing, TheDeadlineIsNudgedOrReBased) {
  struct row {
    double deadline, now, expect;
  };
  // 50 Hz: a refresh is 20 ms, half of it 10 ms.
  for (const row& r : {row{1.000, 1.000, 1.020}, row{1.000, 1.004, 1.000 + 0.020 + 0.05 * 0.004},
                       row{1.000, 0.995, 1.000 + 0.020 - 0.05 * 0.005}, row{1.000, 1.011, 1.031},
                       row{1.000, 0.989, 1.009}}) {
    EXPECT_NEAR(next_deadline(r.deadline, r.now, 50), r.expect, 1e-12) << r.now;
  }
}

TEST(FramePacing, VsyncIsDecidedFromTheMedianAfter90Frames) {
  frame_pacer p;
  pacer_frame(&p, 0.001, 0, 60);  // the first frame notes the window state
  for (int i = 0; i < 89; ++i) pacer_frame(&p, 0.0166, 0, 60);
  EXPECT_EQ(p.vsync, -1) << "undecided for the first 90 frames";
  pacer_frame(&p, 0.0166, 0, 60);
  EXPECT_EQ(p.vsync, 1) << "frames of a whole refresh: the display paces";

  frame_pacer q;
  for (int i = 0; i < 100; ++i) pacer_frame(&q, i % 3 == 0 ? 0.02 : 0.002, 0, 60);
  EXPECT_EQ(q.vsync, 0) << "mostly short frames: the loop must sleep";
}

TEST(FramePacing, AFullscreenChangeStartsTheDecisionAgain) {
  frame_pacer p;
  for (int i = 0; i < 100; ++i) pacer_frame(&p, 0.0166, 0, 60);
  ASSERT_EQ(p.vsync, 1);
  pacer_frame(&p, 0.0166, 1, 60);
  EXPECT_EQ(p.vsync, -1);
  EXPECT_EQ(p.count, 0);
  for (int i = 0; i < 89; ++i) pacer_frame(&p, 0.002, 1, 60);
  EXPECT_EQ(p.vsync, -1);
  pacer_frame(&p, 0.002, 1, 60);
  EXPECT_EQ(p.vsync, 0);
}

} // namespace
