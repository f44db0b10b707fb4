// Page $9000: the frame pacing of the mission loops, with the game's own
// VBL handler counting down between the slices.
#include <gtest/gtest.h>

#include <vector>

#include "game/game_ram.h"
#include "game_harness.h"
#include "support/machine/interrupt_check.h"
#include "support/machine/resume_check.h"

namespace {

class FramePacing : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    stub_returns({0x00EAD8, 0x00E7C0, 0x008648});
    g_cpu.sr_sys = 0x2300;
    wr32(draw_screen, screen_buffer_b);
    vbls = 0;
    frames.clear();
  }

 public:
  static inline int vbls;
  static inline std::vector<int> frames; // the VBL count at each frame's start
};

void vbl() {
  ++FramePacing::vbls;
  g_cpu.vbl_flag = 1;
  ASSERT_TRUE(interrupt_returns(0x0078A8, 4));
}

// A mission loop: a frame starts after each wait_two_vbl; its logic then
// takes d6.w VBLs.
ROUTINE(toy_frame_loop, 0xC31000)
LOOP(0xC31000)
  JSR(0x0091E0, 0xC31006)
  FramePacing::frames.push_back(FramePacing::vbls);
  put<W>(d5, d6);
LOOP(0xC3100C)
  if ((d5 & 0xFFFF) == 0) GOTO(0xC31000);
  JSR(0x0079DC, 0xC31012)
  put<W>(d5, d5 - 1);
  GOTO(0xC3100C);
END_ROUTINE

TEST_F(FramePacing, TwentyFiveFramesPerSecondAtFiftyHertz) {
  struct {
    u32 logic_vbls;
    int period;
  } cases[] = {{0, 2}, {1, 2}, {2, 3}, {3, 4}, {5, 6}};
  for (const auto& c : cases) {
    SetUp();
    register_routine(0xC31000, toy_frame_loop, {0xC31006, 0xC3100C, 0xC31012});
    g_cpu.d[6] = c.logic_vbls;
    driver_start(0xC31000);
    driver_run(300, 2000000, vbl);
    ASSERT_GT(frames.size(), 20u);
    for (size_t i = 2; i < frames.size(); ++i)
      ASSERT_EQ(frames[i] - frames[i - 1], c.period) << "logic of " << c.logic_vbls << " VBLs, frame " << i;
  }
  // 50 VBLs, one second at 50 Hz, hold 25 frames of quick logic.
  SetUp();
  register_routine(0xC31000, toy_frame_loop, {0xC31006, 0xC3100C, 0xC31012});
  g_cpu.d[6] = 0;
  driver_start(0xC31000);
  driver_run(300, 2000000, vbl);
  int in_second = 0;
  for (int f : frames) in_second += f >= 100 && f < 150;
  EXPECT_EQ(in_second, 25);
}

// The screen shown when the VBL wait of the screen change is reached.
u32 shown_at_the_wait;
void vbl_noting_the_shown_screen() {
  if (g_cpu.pc == 0x0079E2) shown_at_the_wait = rd8(0xFF8201) << 16 | rd8(0xFF8203) << 8;
  vbl();
}

TEST_F(FramePacing, ShowsTheDrawnScreenAndSwaps) {
  struct {
    u32 drawn, next, other;
  } cases[] = {
      {0x020000, 0x018000, 0x020000},
      {0x018000, 0x020000, 0x018000},
      {0x030000, 0x018000, 0x020000}, // anything else becomes $018000
  };
  for (const auto& c : cases) {
    SetUp();
    wr32(draw_screen, c.drawn);
    wr16(frame_countdown, 0xFFFF);
    wr16(0xFF8240, 0x0777);
    shown_at_the_wait = 0;
    ASSERT_EQ(run_routine(0x0091E0, 5, vbl_noting_the_shown_screen), 2);
    EXPECT_EQ(driver_slice_ends(), waits_then_return(0x79E2, 1)) << "no idle VBL, then the one of the screen change";
    EXPECT_EQ(shown_at_the_wait, c.drawn) << "shown before the wait for its VBL";
    EXPECT_EQ(rd32(draw_screen), c.next);
    EXPECT_EQ(g_cpu.d[0], c.next);
    EXPECT_EQ(g_cpu.d[1], c.other);
    EXPECT_EQ(rd8(0xFF8201) << 16 | rd8(0xFF8203) << 8, c.drawn) << "the screen just drawn is shown";
    EXPECT_EQ(rd16(0xFF8240), 0u) << "colour 0 black";
  }
}

std::vector<u32> colour0;
void vbl_noting_colour0() {
  colour0.push_back(rd16(0xFF8240));
  wr16(0xFF8240, 0x0123);
  vbl();
}

TEST_F(FramePacing, DeveloperTimingBlackensColourZeroWhileIdle) {
  for (u32 timing : {0u, 1u}) {
    SetUp();
    colour0.clear();
    wr16(dev_timing, timing);
    wr16(frame_countdown, 2); // three idle VBLs
    wr16(0xFF8240, 0x0555);
    ASSERT_EQ(run_routine(0x0091E0, 10, vbl_noting_colour0), 5);
    EXPECT_EQ(driver_slice_ends(),
              (std::vector<slice_end>{waited(0x91E8), waited(0x91E8), waited(0x91E8), waited(0x79E2), returned}));
    ASSERT_EQ(colour0.size(), 5u);
    EXPECT_EQ(colour0[0], 0x0555u);
    const u32 idle = timing ? 0 : 0x0123;
    EXPECT_EQ(colour0[1], idle);
    EXPECT_EQ(colour0[2], idle);
    EXPECT_EQ(colour0[3], idle);
    EXPECT_EQ(colour0[4], 0u) << "after the screen change, black either way";
  }
}

void vbl_then_f9() {
  vbl();
  if (FramePacing::vbls == 6) wr8(last_key, 0x43);
}

TEST_F(FramePacing, PauseHoldsTheFrame) {
  wr16(frame_countdown, 0xFFFF);
  wr8(last_key, 0x42);
  EXPECT_EQ(run_routine(0x0091E0, 20, vbl_then_f9), 7);
  std::vector<slice_end> expected{waited(0x79E2)};
  for (int i = 0; i < 5; ++i) expected.push_back(waited(0x75DE));
  expected.push_back(returned);
  EXPECT_EQ(driver_slice_ends(), expected) << "the pause waits a VBL at a time until F9";
  EXPECT_EQ(rd32(draw_screen), screen_buffer_a);
}

void plain_vbl() { vbl(); }
// As vbl_then_f9, from the machine alone (both runs of the check see it).
void vbl_then_f9_by_the_counter() {
  vbl();
  if (rd16(vbl_counter) == 6) wr8(last_key, 0x43);
}

TEST_F(FramePacing, ResumesAtEveryLabel) {
  wr16(frame_countdown, 2);
  wr16(dev_timing, 1);
  EXPECT_TRUE(resumes_alike({.entry = 0x0091E0, .between = plain_vbl}));
  wr16(frame_countdown, 0xFFFF);
  wr8(last_key, 0x42);
  EXPECT_TRUE(resumes_alike({.entry = 0x0091E0, .between = vbl_then_f9_by_the_counter}));
}

} // namespace
