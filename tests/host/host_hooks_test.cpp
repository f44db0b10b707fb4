// The host's hooks inside the game: holding, the scroll fix, aiming.
#include <gtest/gtest.h>

#include "host/emu_fixture.h"
#include "machine/memory.h"

namespace {

using HostHooks = EmuTest;

TEST_F(HostHooks, HoldSetsTheHoldByteAndAimingClearsBoth) {
  struct hold_case {
    u32 a4;
    int hold, aim;
    u8 expect56, expect57;
  };
  const hold_case cases[] = {
      {0x2DA, 1, 0, 0xFF, 0x11},      // holding
      {0x2DA, 1, 4, 0xFF, 0x11},      // holding wins over aiming
      {0x2DA, 0, 4, 0x00, 0x00},      // aiming ends holding
      {0x2DA, 0, 0, 0x11, 0x11},      // neither: untouched
      {0xFF0002DA, 1, 0, 0xFF, 0x11}, // the upper byte of a4 is ignored
      {0x376, 1, 0, 0xFF, 0x11},      // player 2 has its own input
      {0x300, 1, 4, 0x11, 0x11},      // not a player record
  };
  for (const hold_case& c : cases) {
    const u32 r = c.a4 & 0xFFFFFF;
    const int p = r == 0x376 ? 1 : 0;
    for (u32 rec : {0x2DAu, 0x376u, 0x300u}) {
      wr8(rec + 0x56, 0x11);
      wr8(rec + 0x57, 0x11);
    }
    emu.hold_on[0] = emu.hold_on[1] = 0;
    emu.aim_dir[0] = emu.aim_dir[1] = 0;
    emu.hold_on[p] = c.hold;
    emu.aim_dir[p] = static_cast<u8>(c.aim);
    g_cpu.a[4] = c.a4;
    hk_hold(0x9306);
    EXPECT_EQ(rd8(r + 0x56), c.expect56) << std::hex << c.a4;
    EXPECT_EQ(rd8(r + 0x57), c.expect57) << std::hex << c.a4;
    const u32 other = r == 0x376 ? 0x2DA : 0x376;
    EXPECT_EQ(rd8(other + 0x56), 0x11) << "the other player is untouched";
  }
}

TEST_F(HostHooks, ScrollFixMovesBothObjectTablesByTheStep) {
  wr32(0x4A3C, 0x3E3C0013);
  const u32 base = 0x10000;
  wr16(base + 0x1472, 100);
  wr16(base + 0x1472 + 14 * 16, 0xFFFF);   // wraps
  wr16(base + 0x1472 + 14 * 17, 500);      // beyond the 17 records
  wr16(base + 0x18E6, 7);
  wr16(base + 0x18E6 + 20 * 19, 0x8000);
  wr16(base + 0x18E6 + 20 * 20, 9);        // beyond the 20 records
  g_cpu.a[5] = 0xAB000000 | base;
  g_cpu.d[5] = 0x12340003;
  hk_hscroll(0x4A50);
  EXPECT_EQ(rd16(base + 0x1472), 103u);
  EXPECT_EQ(rd16(base + 0x1472 + 14 * 16), 2u);
  EXPECT_EQ(rd16(base + 0x1472 + 14 * 17), 500u);
  EXPECT_EQ(rd16(base + 0x18E6), 10u);
  EXPECT_EQ(rd16(base + 0x18E6 + 20 * 19), 0x8003u);
  EXPECT_EQ(rd16(base + 0x18E6 + 20 * 20), 9u);
}

TEST_F(HostHooks, ScrollFixLeavesUnexpectedCodeAlone) {
  wr32(0x4A3C, 0x3E3C0014);
  wr16(0x10000 + 0x1472, 100);
  g_cpu.a[5] = 0x10000;
  g_cpu.d[5] = 3;
  hk_hscroll(0x4A50);
  EXPECT_EQ(rd16(0x10000 + 0x1472), 100u);
}

TEST_F(HostHooks, ScrollFixStopsAtTheEndOfTheImage) {
  wr32(0x4A3C, 0x3E3C0013);
  // Record 9 of the second table is the last word inside RAM; record 10
  // straddles its end and the rest lie beyond: skipped, not wrapped.
  const u32 base = 0x3FFFFF - 0x18E6 - 20 * 10;
  g_cpu.a[5] = base;
  g_cpu.d[5] = 1;
  wr16(base + 0x18E6 + 20 * 9, 41);
  ram[0x3FFFFF] = 0x5A;
  const u32 low = rd32(0);
  hk_hscroll(0x4A50);
  EXPECT_EQ(rd16(base + 0x18E6 + 20 * 9), 42u);
  EXPECT_EQ(ram[0x3FFFFF], 0x5A);
  EXPECT_EQ(rd32(0), low) << "nothing wrapped round to the start";
}

TEST_F(HostHooks, AimReplacesTheGamesDirectionOnlyWhenThePlayerAims) {
  emu.aim_dir[0] = 9;
  EXPECT_EQ(hk_aim(0x2DA, 2), 9);
  EXPECT_EQ(hk_aim(0x376, 2), 2);
  emu.aim_dir[1] = 6;
  EXPECT_EQ(hk_aim(0xFF000376, 2), 6);
  EXPECT_EQ(hk_aim(0x400, 2), 2);
  // Aim input counts only while mission frames are shown.
  emu.aim_in[0] = 5;
  emu.last_gp = 0;
  pump(tos.vbl);
  EXPECT_EQ(hk_aim(0x2DA, 2), 2);
  emu.last_gp = 1;
  pump(tos.vbl);
  EXPECT_EQ(hk_aim(0x2DA, 2), 5);
}

TEST_F(HostHooks, HoldAndAimEventsIgnoreOtherPlayers) {
  for (double p : {2.0, -1.0}) {
    const emu_event hold{EV_HOLD, p, 1}, aim{EV_AIM, p, 0x84};
    handle_event(&hold);
    handle_event(&aim);
  }
  EXPECT_EQ(emu.hold_on[0] + emu.hold_on[1], 0);
  EXPECT_EQ(emu.aim_in[0] + emu.aim_in[1], 0);
  const emu_event aim{EV_AIM, 1, 0x84};
  handle_event(&aim);
  EXPECT_EQ(emu.aim_in[1], 4);
  EXPECT_EQ(emu.aim_fire[1], 1);
}

TEST_F(HostHooks, TheFrameCallbackSendsTheFrameAndMarksIt) {
  scene_frame* f = frame_new();
  f->vbl = 321;
  on_frame_cb(f);
  auto frames = take(MSG_FRAME);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0]->frame, f);
  EXPECT_EQ(f->refs.load(), 2);
  free_all(frames);
  EXPECT_EQ(f->refs.load(), 1);
  frame_unref(f);
  EXPECT_EQ(emu.have_frame, 1);
  EXPECT_EQ(emu.last_frame_vbl, 321u);
}

} // namespace
