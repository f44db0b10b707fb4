// The loader-screen hold on a driven clock: the game held, the picture
// faded in, held, faded out and kept black, the game held one more second,
// and the game's next black delay skipped once.
#include "machine/loader_hold.h"

#include <cmath>

#include "machine/slice_runner.h"
#include "machine/vbl_delivery.h"
#include "support/machine/st_machine.h"
#include "support/synthetic/st_palette.h"

namespace {

class LoaderHold : public StMachineTest {};

constexpr u32 skips = 0x9600;

// The resident loader asks for the hold once, then the game runs on and
// asks at every pass whether its black delay may end.
ROUTINE(toy_loader, 0xC55000)
  if (hold_loader_text() && kit_wait(0xC55006)) return;
LABEL(0xC55006)
  d4 += 1;
LABEL(0xC5500A)
  if (skip_black_delay()) wr16(skips, rd16(skips) + 1);
  d4 += 1;
  if (kit_wait(0xC5500A)) return;
  GOTO(0xC5500A);
END_ROUTINE

ROUTINE(toy_vbl_rte, 0xC56000)
  RTE();
END_ROUTINE

struct vbl_seen {
  bool ran;
  bool marked;
  int b;
  st_palette shown;
};

class Timeline {
 public:
  explicit Timeline(double start) : start_(start) {}
  // One emulated VBL at step k (50 per second): a slice, then the VBL.
  vbl_seen step(int k) {
    st_clock_now = start_ + k / 50.0;
    const u32 before = g_cpu.d[4];
    EXPECT_EQ(tos_run_slice(2000000), 1);
    tos_vbl();
    const st_palette shown = palette_read(tos.zones[0].palette);
    return {g_cpu.d[4] != before, any_marked(shown), fade_brightness_of(shown), shown};
  }

 private:
  double start_;
};

void start_game_with_picture() {
  register_routine(0xC55000, toy_loader, {0xC55006, 0xC5500A});
  register_routine(0xC56000, toy_vbl_rte);
  set_vector(0x70, 0xC56000);
  mfp_set_reg(mfp_tcdcr, 0);
  mfp_set_reg(mfp_tcdr, 1);
  st_palette pic = test_picture();
  for (int k = 0; k < 16; ++k) io_write(0xFF8240 + 2 * k, 2, pic[k]);
  g_cpu.pc = 0xC55000;
}

TEST_F(LoaderHold, NoHoldTimeMeansTheLoaderRunsAtOnce) {
  start_game_with_picture();
  Timeline t(st_clock_now);
  EXPECT_TRUE(t.step(0).ran);
  const vbl_seen next = t.step(1);
  EXPECT_TRUE(next.ran);
  EXPECT_FALSE(next.marked);
  EXPECT_EQ(skip_black_delay(), 0);
}

TEST_F(LoaderHold, TwoSecondHoldTimeline) {
  start_game_with_picture();
  g_load_seconds = 2;
  Timeline t(1000);

  vbl_seen s = t.step(0); // the loader asks for the hold and waits
  EXPECT_FALSE(s.ran);
  EXPECT_EQ(g_cpu.pc, 0xC55006u);
  EXPECT_EQ(g_load_seconds, 0.0);
  EXPECT_TRUE(s.marked);
  EXPECT_EQ(s.b, 0) << "the fade-in starts from black";

  // 2.5 s: nothing runs; fade-in over 0.5 s, then the picture at full.
  for (int k = 1; k < 125; ++k) {
    s = t.step(k);
    ASSERT_FALSE(s.ran) << k;
    const double x = std::min(1.0, k / 50.0 / 0.5);
    EXPECT_EQ(s.b, fade_bits_of(x)) << k;
    EXPECT_TRUE(s.marked);
  }
  const st_palette pic = test_picture();
  for (int e = 0; e < 16; ++e) {
    EXPECT_EQ(s.shown[e] & 0x0FFF, pic[e]) << e;
    EXPECT_TRUE(s.shown[e] & 0x8000) << "every entry marked, the first and last too: " << e;
  }

  // The game runs again; the picture fades out over 0.45 s and stays black.
  s = t.step(125);
  EXPECT_TRUE(s.ran);
  EXPECT_EQ(s.b, 255);
  s = t.step(130);
  EXPECT_EQ(s.b, fade_bits_of(1 - 0.1 / 0.45));
  for (int k = 148; k <= 275; ++k) {
    s = t.step(k);
    EXPECT_TRUE(s.ran) << k;
    EXPECT_TRUE(s.marked) << k;
    EXPECT_EQ(s.b, 0) << k;
  }
  EXPECT_EQ(rd16(skips), 0u);

  // 3 s after the fade-out began: the game stands still for one more second.
  s = t.step(276);
  EXPECT_TRUE(s.ran);
  EXPECT_EQ(s.b, 0);
  s = t.step(277);
  EXPECT_FALSE(s.ran);
  EXPECT_FALSE(s.marked) << "the loader screen is over";
  int first_run = 0;
  for (int k = 278; k < 340 && !first_run; ++k)
    if (t.step(k).ran) first_run = k;
  EXPECT_GE(first_run, 326);
  EXPECT_LE(first_run, 327);
  EXPECT_EQ(rd16(skips), 1u) << "the black delay ends at once";
  for (int k = first_run + 1; k < first_run + 10; ++k) t.step(k);
  EXPECT_EQ(rd16(skips), 1u) << "once";

  EXPECT_EQ(hold_loader_text(), 0) << "the hold time is used once per run";
}

TEST_F(LoaderHold, AFrameWithRasterSplitsEndsTheFadeOutAtOnce) {
  start_game_with_picture();
  g_load_seconds = 0.5;
  Timeline t(2000);
  for (int k = 0; k <= 55; ++k) t.step(k); // held until 1 s, then fading out
  // The game starts a raster split.
  tos.vbl += 1;
  tos.zone_count = 2;
  st_clock_now = 2000 + 56 / 50.0;
  loader_vbl_step();
  EXPECT_EQ(skip_black_delay(), 0) << "not before the second's hold is over";
  EXPECT_EQ(tos_run_slice(2000000), 1);
  st_clock_now += 1.01;
  EXPECT_EQ(skip_black_delay(), 0);
  const u32 before = g_cpu.d[4];
  EXPECT_EQ(tos_run_slice(2000000), 1);
  EXPECT_NE(g_cpu.d[4], before);
  EXPECT_EQ(rd16(skips), 1u);
}

TEST_F(LoaderHold, TosInitDropsAHoldInProgress) {
  start_game_with_picture();
  g_load_seconds = 5;
  ASSERT_EQ(hold_loader_text(), 1);
  tos_init("");
  EXPECT_FALSE(loader_hold_active());
  EXPECT_EQ(skip_black_delay(), 0);
}

} // namespace
