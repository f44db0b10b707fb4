// One VBL with toy handlers: the VBL interrupt and its palette zone, raster
// splits, the MFP timers' call counts, positions and carries, keyboard
// interrupts, host input bytes and the screen as colour indices.
#include "machine/vbl_delivery.h"

#include <cmath>
#include <vector>

#include "machine/ikbd.h"
#include "machine/ym_capture.h"
#include "support/machine/st_machine.h"

namespace {

class VblDelivery : public StMachineTest {};

// RAM cells the toy handlers count in and take their settings from.
constexpr u32 vbl_count = 0x9400;
constexpr u32 vbl_arms_timer_b = 0x9402; // byte: TBDR to arm Timer B with, 0 = leave it
constexpr u32 vbl_leaves_mask6 = 0x9404;
constexpr u32 tb_count = 0x9410;
constexpr u32 tb_rearm = 0x9412; // byte: TBDR for the next split, 0 = do not re-arm
constexpr u32 tc_count = 0x9420;
constexpr u32 ta_count = 0x9430;
constexpr u32 key_count = 0x9440;
constexpr u32 key_bytes = 0x9500;
constexpr u32 times_c = 0xA000; // sub-VBL positions in 1/10000
constexpr u32 times_a = 0xB000;

void bump(u32 cell) { wr16(cell, rd16(cell) + 1); }

ROUTINE(toy_vbl_isr, 0xC50000)
  bump(vbl_count);
  wr16(0xFF8240, 0x0100);
  if (rd8(vbl_arms_timer_b)) {
    wr8(0xFFFA21, rd8(vbl_arms_timer_b));
    wr8(0xFFFA1B, 8);
  }
  if (rd8(vbl_leaves_mask6)) wr16(a7, 0x2600);
  RTE();
END_ROUTINE

ROUTINE(toy_timer_b_isr, 0xC51000)
  bump(tb_count);
  wr16(0xFF8240, 0x0200 + rd16(tb_count));
  if (rd8(tb_rearm)) {
    wr8(0xFFFA21, rd8(tb_rearm));
    wr8(0xFFFA1B, 8);
  }
  RTE();
END_ROUTINE

ROUTINE(toy_timer_c_isr, 0xC52000)
  wr16(times_c + 2 * rd16(tc_count), static_cast<u32>(std::lround(g_cpu.sub_vbl_time * 10000)));
  wr8(0xFF8800, 0);
  wr8(0xFF8802, rd16(tc_count));
  bump(tc_count);
  RTE();
END_ROUTINE

ROUTINE(toy_timer_a_isr, 0xC53000)
  wr16(times_a + 2 * rd16(ta_count), static_cast<u32>(std::lround(g_cpu.sub_vbl_time * 10000)));
  wr8(0xFF8800, 8);
  wr8(0xFF8802, rd16(ta_count));
  bump(ta_count);
  RTE();
END_ROUTINE

ROUTINE(toy_acia_isr, 0xC54000)
  wr8(key_bytes + rd16(key_count), rd8(0xFFFC02));
  bump(key_count);
  RTE();
END_ROUTINE

void install(u32 vector_address, u32 handler, routine_fn routine) {
  register_routine(handler, routine);
  set_vector(vector_address, handler);
}

void install_vbl() { install(0x70, 0xC50000, toy_vbl_isr); }
void install_timer_b() {
  install(0x120, 0xC51000, toy_timer_b_isr);
  mfp_enable(mfp_iera, mfp_imra, mfp_bit_timer_b);
}
void install_timer_c(u8 control, u8 data) {
  install(0x114, 0xC52000, toy_timer_c_isr);
  mfp_enable(mfp_ierb, mfp_imrb, mfp_bit_timer_c);
  mfp_set_reg(mfp_tcdcr, control);
  mfp_set_reg(mfp_tcdr, data);
}
void install_timer_a(u8 control, u8 data) {
  install(0x134, 0xC53000, toy_timer_a_isr);
  mfp_enable(mfp_iera, mfp_imra, mfp_bit_timer_a);
  mfp_set_reg(mfp_tacr, control);
  mfp_set_reg(mfp_tadr, data);
}
void install_acia() {
  install(0x118, 0xC54000, toy_acia_isr);
  mfp_enable(mfp_ierb, mfp_imrb, mfp_bit_acia);
}

u32 zone_colour(int zone, int entry) {
  const u8* p = tos.zones[zone].palette;
  return static_cast<u32>(p[2 * entry]) << 8 | p[2 * entry + 1];
}

// Timer C stays quiet unless a test sets it up: TCDCR = TCDR = 0 is TOS's
// 200 Hz tick, so give it a stopped prescaler.
void quiet_timer_c() {
  mfp_set_reg(mfp_tcdcr, 0x00);
  mfp_set_reg(mfp_tcdr, 1);
}

TEST_F(VblDelivery, WithoutAGameVblHandlerOnlyTheTosClocksMove) {
  wr32(0x462, 10);
  wr32(0x466, 20);
  wr32(0x4BA, 30);
  io_write(0xFF8240, 2, 0x0777);
  g_cpu.vbl_flag = 0;
  tos_vbl();
  EXPECT_EQ(tos.vbl, 1u);
  EXPECT_EQ(g_cpu.vbl_flag, 1u);
  EXPECT_EQ(rd32(0x462), 11u);
  EXPECT_EQ(rd32(0x466), 21u);
  EXPECT_EQ(rd32(0x4BA), 34u);
  EXPECT_EQ(tos.zone_count, 0);

  std::vector<u8> idx(64000);
  palette_zone zones[8];
  int count = 0;
  tos_screen_idx(idx.data(), zones, &count);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(zones[0].line, 0u);
  EXPECT_EQ(zones[0].palette[0], 0x07);
  EXPECT_EQ(zones[0].palette[1], 0x77);
}

TEST_F(VblDelivery, VblHandlerRunsAndZoneZeroHoldsTheColoursAfterIt) {
  install_vbl();
  quiet_timer_c();
  tos_vbl();
  EXPECT_EQ(rd16(vbl_count), 1u);
  EXPECT_EQ(tos.zone_count, 1);
  EXPECT_EQ(zone_colour(0, 0), 0x0100u);
  EXPECT_EQ(rd32(0x466), 0u) << "the game's handler keeps its own clocks";

  // A game running at mask 4 refuses the VBL; zone 0 is still recorded.
  io_write(0xFF8240, 2, 0x0333);
  g_cpu.sr_sys = 0x2400;
  tos_vbl();
  EXPECT_EQ(rd16(vbl_count), 1u);
  EXPECT_EQ(tos.zone_count, 1);
  EXPECT_EQ(zone_colour(0, 0), 0x0333u);
  EXPECT_EQ(tos.vbl, 2u);
}

TEST_F(VblDelivery, AtMostThreeRasterSplitsEachWithItsZone) {
  install_vbl();
  install_timer_b();
  quiet_timer_c();
  wr8(vbl_arms_timer_b, 50);
  wr8(tb_rearm, 60);
  tos_vbl();
  EXPECT_EQ(rd16(tb_count), 3u) << "a fourth split never runs";
  ASSERT_EQ(tos.zone_count, 4);
  const u32 lines[] = {0, 50, 110, 170};
  const u32 colours[] = {0x0100, 0x0201, 0x0202, 0x0203};
  for (int z = 0; z < 4; ++z) {
    EXPECT_EQ(tos.zones[z].line, lines[z]) << z;
    EXPECT_EQ(zone_colour(z, 0), colours[z]) << z;
  }

  // TBDR 0 counts as 256 lines; an unarmed timer gives no further split.
  wr8(vbl_arms_timer_b, 0);
  mfp_set_reg(mfp_tbcr, 8);
  mfp_set_reg(mfp_tbdr, 0);
  wr8(tb_rearm, 0);
  tos_vbl();
  ASSERT_EQ(tos.zone_count, 2);
  EXPECT_EQ(tos.zones[1].line, 256u);
  EXPECT_EQ(mfp_reg(mfp_tbcr), 0u) << "cleared before the handler, which did not arm it again";

  // Timer B masked: no split.
  mfp_set_reg(mfp_tbcr, 8);
  mfp_set_reg(mfp_imra, 0);
  tos_vbl();
  EXPECT_EQ(tos.zone_count, 1);
}

TEST_F(VblDelivery, RefusedSplitRecordsNoZone) {
  install_vbl();
  install_timer_b();
  quiet_timer_c();
  wr8(vbl_arms_timer_b, 50);
  wr8(vbl_leaves_mask6, 1);
  tos_vbl();
  EXPECT_EQ(rd16(vbl_count), 1u);
  EXPECT_EQ(rd16(tb_count), 0u);
  EXPECT_EQ(tos.zone_count, 1);
  EXPECT_EQ(g_cpu.sr_sys & 0x0700, 0x0600);
}

TEST_F(VblDelivery, TimerCGivesThreeOrFourCallsPerVblAndCarriesTheFraction) {
  install_timer_c(0x50, 246); // prescale 64: 156.1 calls per second
  const double per_vbl = 2457600.0 / (64 * 246) / 50;
  tos_vbl();
  ASSERT_EQ(rd16(tc_count), 3u);
  EXPECT_EQ(rd16(times_c), 3203u);
  EXPECT_EQ(rd16(times_c + 2), 6406u);
  EXPECT_EQ(rd16(times_c + 4), 9609u);
  EXPECT_NEAR(tos.timer_c_carry, per_vbl - 3, 1e-9);
  EXPECT_EQ(tos.isr_time_count, 0);

  // The next VBL starts the count where the carry left it.
  const double carry = tos.timer_c_carry;
  tos_vbl();
  ASSERT_EQ(rd16(tc_count), 6u);
  EXPECT_EQ(rd16(times_c + 6), static_cast<u32>(std::lround((1 - carry) / per_vbl * 10000)));

  int fours = 0;
  for (int v = 2; v < 50; ++v) {
    const u32 before = rd16(tc_count);
    tos_vbl();
    const u32 calls = rd16(tc_count) - before;
    EXPECT_TRUE(calls == 3 || calls == 4) << calls;
    fours += calls == 4;
  }
  EXPECT_EQ(rd16(tc_count), 156u) << "156.1 per second over one second";
  EXPECT_EQ(fours, 6);
}

TEST_F(VblDelivery, TimerCSystemTickCapAndDisabledInterrupt) {
  install_timer_c(0, 0); // never set up: TOS's 200 Hz tick
  tos_vbl();
  EXPECT_EQ(rd16(tc_count), 4u);
  EXPECT_EQ(rd16(times_c), 2500u);
  EXPECT_EQ(rd16(times_c + 6), 9990u) << "capped at 0.999";

  st_reset();
  install_timer_c(0x20, 3); // prescale 10: 81,920 per second, 1,638.4 per VBL
  tos_vbl();
  EXPECT_EQ(rd16(tc_count), 500u);
  EXPECT_NEAR(tos.timer_c_carry, 0.4, 1e-6) << "the carry keeps the full fraction";

  st_reset();
  install_timer_c(0x50, 246);
  mfp_set_reg(mfp_ierb, 0);
  tos_vbl();
  tos_vbl();
  EXPECT_EQ(rd16(tc_count), 0u);
  EXPECT_NEAR(tos.timer_c_carry, 2 * (2457600.0 / (64 * 246) / 50) - 6, 1e-9) << "carried while disabled";

  st_reset();
  install_timer_c(0x50, 246);
  set_vector(0x114, 0xE00914);
  tos_vbl();
  EXPECT_EQ(rd16(tc_count), 0u) << "no game handler";
}

TEST_F(VblDelivery, TimerAGivesItsCallsSpreadEvenlyCappedAt400) {
  quiet_timer_c();
  install_timer_a(1, 125); // prescale 4: 98.3 calls per VBL
  tos_vbl();
  ASSERT_EQ(rd16(ta_count), 98u);
  EXPECT_EQ(rd16(times_a), 0u);
  EXPECT_EQ(rd16(times_a + 2), static_cast<u32>(std::lround(10000.0 / 98)));
  EXPECT_EQ(rd16(times_a + 2 * 97), static_cast<u32>(std::lround(97 * 10000.0 / 98)));
  tos_vbl();
  EXPECT_EQ(rd16(ta_count), 196u) << "no carry";

  st_reset();
  quiet_timer_c();
  install_timer_a(1, 1); // 12,288 per VBL
  tos_vbl();
  EXPECT_EQ(rd16(ta_count), 400u);

  st_reset();
  quiet_timer_c();
  install_timer_a(0, 125); // stopped
  tos_vbl();
  EXPECT_EQ(rd16(ta_count), 0u);
}

TEST_F(VblDelivery, TheIdleTimerAHandlerIsRecognisedAndSkipped) {
  quiet_timer_c();
  const u32 handler = 0x3F0000;
  install(0x134, handler, toy_timer_a_isr);
  mfp_enable(mfp_iera, mfp_imra, mfp_bit_timer_a);
  mfp_set_reg(mfp_tacr, 1);
  mfp_set_reg(mfp_tadr, 125);
  const u8 idle[] = {0x08, 0xB9, 0x00, 0x05, 0x00, 0xFF, 0xFA, 0x0F, 0x4E, 0x73};
  for (u32 i = 0; i < sizeof idle; ++i) wr8(handler + i, idle[i]);
  tos_vbl();
  EXPECT_EQ(rd16(ta_count), 0u);
  wr8(handler + 9, 0x75); // RTS instead: not the idle handler
  tos_vbl();
  EXPECT_EQ(rd16(ta_count), 98u);
}

TEST_F(VblDelivery, YmWritesOfOneVblComeOutSortedByTimeStableForEqualTimes) {
  install_timer_c(0x50, 246);       // 0.32, 0.64, 0.96
  install_timer_a(5, 192);          // prescale 64: 4 calls at 0, 0.25, 0.5, 0.75
  io_write(0xFF8800, 1, 1);         // the game's main code, at time 0
  io_write(0xFF8802, 1, 0xA0);
  io_write(0xFF8802, 1, 0xA1);
  tos_vbl();
  ym_event ev[16];
  const int n = ym_events_take(ev, 16);
  ASSERT_EQ(n, 9);
  struct { u8 reg, value; } expected[] = {
      {1, 0xA0}, {1, 0xA1}, {8, 0}, {8, 1}, {0, 0}, {8, 2}, {0, 1}, {8, 3}, {0, 2}};
  for (int i = 0; i < n; ++i) {
    EXPECT_EQ(ev[i].reg, expected[i].reg) << i;
    EXPECT_EQ(ev[i].value, expected[i].value) << i;
    if (i > 0) {
      EXPECT_LE(ev[i - 1].time, ev[i].time);
    }
  }
}

TEST_F(VblDelivery, MusicTickRunsOnlyTheTimers) {
  install_vbl();
  install_timer_c(0x50, 246);
  install_timer_a(1, 125);
  tos_music_tick();
  EXPECT_EQ(tos.vbl, 0u);
  EXPECT_EQ(rd16(vbl_count), 0u);
  EXPECT_EQ(rd16(tc_count), 3u);
  EXPECT_EQ(rd16(ta_count), 98u);
}

TEST_F(VblDelivery, KeyboardBytesAreDeliveredFourInterruptsAtATime) {
  install_acia();
  for (u8 b = 1; b <= 8; ++b) acia_push(b);
  tos_deliver_keys();
  EXPECT_EQ(rd16(key_count), 4u);
  EXPECT_EQ(acia_len(), 4);
  quiet_timer_c();
  tos_vbl();
  EXPECT_EQ(rd16(key_count), 8u);
  for (u32 i = 0; i < 8; ++i) EXPECT_EQ(rd8(key_bytes + i), i + 1);
  tos_deliver_keys();
  EXPECT_EQ(rd16(key_count), 8u) << "no interrupt without a byte";

  acia_push(9);
  g_cpu.sr_sys = 0x2600;
  tos_deliver_keys();
  EXPECT_EQ(rd16(key_count), 8u) << "refused at mask 6";
  g_cpu.sr_sys = 0x2300;
  mfp_set_reg(mfp_imrb, 0);
  tos_deliver_keys();
  EXPECT_EQ(rd16(key_count), 8u) << "masked in the MFP";
  EXPECT_EQ(acia_len(), 1);
}

TEST_F(VblDelivery, HostKeysAndJoysticksBecomeKeyboardProcessorBytes) {
  tos.vbl = 3;
  tos_joystick(1, 0xFF);
  tos_joystick(0, 0x01);
  tos_key(0x39);
  tos_key(0x1B9);
  const int expected[] = {0xFF, 0x8F, 0xFE, 0x01, 0x39, 0xB9};
  ASSERT_EQ(acia_len(), 6);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(acia_peek(i), expected[i]) << i;
  ASSERT_EQ(tos_ilog_count(), 4);
  const input_log_entry* e = tos_ilog_entries();
  EXPECT_EQ(e[0].type, 'J');
  EXPECT_EQ(e[0].a, 1);
  EXPECT_EQ(e[0].b, 0xFF) << "logged unmasked";
  EXPECT_EQ(e[2].type, 'K');
  EXPECT_EQ(e[2].a, 0x39);
  EXPECT_EQ(e[2].b, 0);
  EXPECT_EQ(e[3].vbl, 3u);
}

TEST_F(VblDelivery, ScreenToColourIndices) {
  // Video base $3F8400 would run past RAM: read as $3F8000.
  io_write(0xFF8201, 1, 0x3F);
  io_write(0xFF8203, 1, 0x84);
  const u32 base = 0x3F8000;
  // Line 1, second group: plane 0 = $8001, plane 1 = $8000, plane 3 = $0001.
  const u32 group = base + 160 + 8;
  wr16(group, 0x8001);
  wr16(group + 2, 0x8000);
  wr16(group + 6, 0x0001);
  std::vector<u8> idx(64000, 0xEE);
  palette_zone zones[8];
  int count = 0;
  tos_screen_idx(idx.data(), zones, &count);
  EXPECT_EQ(idx[320 + 16], 3) << "leftmost pixel from bit 15";
  EXPECT_EQ(idx[320 + 31], 9);
  EXPECT_EQ(idx[320 + 17], 0);
  EXPECT_EQ(idx[0], 0);
  EXPECT_EQ(idx[63999], 0);

  tos.zone_count = 2;
  tos.zones[1].line = 77;
  tos_screen_idx(idx.data(), zones, &count);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(zones[1].line, 77u);
}

// Every pixel of a screen of varied plane words against the rule: plane k
// gives bit k, the leftmost pixel of a group from bit 15.
TEST_F(VblDelivery, EveryPixelOfTheScreenTakesOneBitOfEachPlane) {
  const u32 base = 0x10000;
  io_write(0xFF8201, 1, base >> 16);
  io_write(0xFF8203, 1, base >> 8 & 0xFF);
  u32 seed = 12345;
  for (u32 i = 0; i < 32000; ++i) {
    seed = seed * 1103515245 + 12345;
    wr8(base + i, seed >> 16);
  }
  std::vector<u8> idx(64000, 0xEE);
  palette_zone zones[8];
  int count = 0;
  tos_screen_idx(idx.data(), zones, &count);
  int wrong = 0;
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < 320; ++x) {
      const u32 group = base + static_cast<u32>(y * 160 + x / 16 * 8);
      u8 want = 0;
      for (int k = 0; k < 4; ++k) want |= static_cast<u8>((rd16(group + 2 * k) >> (15 - x % 16) & 1) << k);
      if (idx[static_cast<size_t>(y * 320 + x)] != want && ++wrong <= 3)
        ADD_FAILURE() << "pixel " << x << "," << y;
    }
  EXPECT_EQ(wrong, 0);
}

} // namespace
