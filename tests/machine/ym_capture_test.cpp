// The YM event queue: taken in logging order, sorted by time with equal
// times kept in order; the register file for the host.
#include "machine/ym_capture.h"

#include "support/machine/st_machine.h"

namespace {

class YmCapture : public StMachineTest {};

void ym_write_at(double time, u8 reg, u8 value) {
  g_cpu.sub_vbl_time = time;
  io_write(0xFF8800, 1, reg);
  io_write(0xFF8802, 1, value);
  g_cpu.sub_vbl_time = 0;
}

TEST_F(YmCapture, TakeSortsByTimeAndKeepsTheOrderOfEqualTimes) {
  ym_write_at(0.5, 0, 1);
  ym_write_at(0, 1, 2);
  ym_write_at(0.25, 2, 3);
  ym_write_at(0, 3, 4);
  ym_event ev[8];
  ASSERT_EQ(ym_events_take(ev, 8), 4);
  const u8 order[] = {2, 4, 3, 1};
  const double times[] = {0, 0, 0.25, 0.5};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(ev[i].value, order[i]) << i;
    EXPECT_EQ(ev[i].time, times[i]) << i;
  }
  EXPECT_EQ(ym_pending(), 0);
}

TEST_F(YmCapture, ATakeBelowTheLogSortsOnlyWhatItTakes) {
  ym_write_at(0.5, 0, 1);
  ym_write_at(0.25, 0, 2);
  ym_write_at(0.1, 0, 3);
  ym_write_at(0, 0, 4);
  ym_event ev[4];
  ASSERT_EQ(ym_events_take(ev, 2), 2);
  EXPECT_EQ(ev[0].value, 2);
  EXPECT_EQ(ev[1].value, 1);
  ASSERT_EQ(ym_events_take(ev, 4), 2);
  EXPECT_EQ(ev[0].value, 4);
  EXPECT_EQ(ev[1].value, 3);
  EXPECT_EQ(ym_events_take(ev, 4), 0);
  EXPECT_EQ(ym_events_take(ev, -1), 0);

  ym_write_at(0, 0, 5);
  ym_events_clear();
  EXPECT_EQ(ym_events_take(ev, 4), 0);
}

TEST_F(YmCapture, ATakeOfOneEventReturnsItAndRemovesIt) {
  ym_write_at(0.75, 8, 0x0F);
  ym_write_at(0.5, 9, 0x0E);
  ym_event ev[2] = {};
  ASSERT_EQ(ym_events_take(ev, 1), 1);
  EXPECT_EQ(ev[0].reg, 8);
  EXPECT_EQ(ev[0].value, 0x0F);
  EXPECT_EQ(ev[0].time, 0.75);
  EXPECT_EQ(ym_pending(), 1);
  ASSERT_EQ(ym_events_take(ev, 1), 1);
  EXPECT_EQ(ev[0].reg, 9);
  EXPECT_EQ(ev[0].value, 0x0E);
  EXPECT_EQ(ym_pending(), 0);
  EXPECT_EQ(ym_events_take(ev, 1), 0);
}

TEST_F(YmCapture, RegistersAndSelectionForTheHost) {
  u8 in[16];
  for (int i = 0; i < 16; ++i) in[i] = static_cast<u8>(0x10 + i);
  ym_set_regs(in, 0x17);
  u8 out[16] = {};
  int selected = -1;
  ym_get_regs(out, &selected);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(out[i], in[i]);
  EXPECT_EQ(selected, 7) << "low four bits";
  ym_get_regs(out, nullptr);
  EXPECT_EQ(io_read(0xFF8800, 1), 0x17u) << "the chip reads back the selected register";
  EXPECT_EQ(ym_pending(), 0) << "setting registers logs nothing";
}

} // namespace
