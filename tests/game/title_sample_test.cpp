// The title's sample player of page $F000: each Timer A interrupt turns one
// signed sample byte into the three YM register writes of its table entry.
#include "ym_driver_test.h"

namespace {

constexpr u32 sample_ptr = 0x0001E0;
constexpr u32 sample_start = 0x066F38;
constexpr u32 sample_length = 2772;
constexpr u32 table = 0x067A0C;

// Entry i: registers 8, 9, 10 with values i, 255 - i, i ^ $55.
std::vector<ym_write> entry_writes(int i) { return {{8, i}, {9, 255 - i}, {10, i ^ 0x55}}; }

class TitleSample : public YmDriverTest {
 protected:
  void SetUp() override {
    YmDriverTest::SetUp();
    for (u32 i = 0; i < 256; ++i) {
      const u8 e[8] = {8, static_cast<u8>(i), 9, static_cast<u8>(255 - i), 10, static_cast<u8>(i ^ 0x55), 0xEE, 0xEE};
      for (u32 k = 0; k < 8; ++k) wr8(table + 8 * i + k, e[k]);
    }
    for (u32 i = 0; i < sample_length; ++i) wr8(sample_start + i, i * 13);
    wr32(sample_ptr, sample_start);
  }
};

TEST_F(TitleSample, EachByteWritesItsEntrysThreeRegisters) {
  wr8(sample_start, 0x80);
  wr8(sample_start + 1, 0x00);
  wr8(sample_start + 2, 0x7F);
  take_writes();
  ASSERT_EQ(cpu_run_batch(&g_cpu, 0x00F816, 3, nullptr), 0);
  std::vector<ym_write> expected;
  for (int i : {0, 128, 255}) {
    const std::vector<ym_write> w = entry_writes(i);
    expected.insert(expected.end(), w.begin(), w.end());
  }
  EXPECT_EQ(take_writes(), expected);
  EXPECT_EQ(rd32(sample_ptr), sample_start + 3);
}

TEST_F(TitleSample, TheSampleLoopsAfterItsLastByte) {
  ASSERT_EQ(cpu_run_batch(&g_cpu, 0x00F816, sample_length - 1, nullptr), 0);
  EXPECT_EQ(rd32(sample_ptr), sample_start + sample_length - 1);
  take_writes();
  ASSERT_EQ(cpu_run_batch(&g_cpu, 0x00F816, 1, nullptr), 0);
  EXPECT_EQ(rd32(sample_ptr), sample_start) << "after 2,772 interrupts";
  const int last = static_cast<u8>(((sample_length - 1) * 13) ^ 0x80);
  EXPECT_EQ(take_writes(), entry_writes(last)) << "the last byte played before the wrap";
}

TEST_F(TitleSample, TheInterruptKeepsEveryRegisterAndReturnsWhereItCame) {
  for (int i = 0; i < 8; ++i) g_cpu.d[i] = 0x01010101u * static_cast<u32>(i + 1);
  for (int i = 0; i < 7; ++i) g_cpu.a[i] = 0x100000u + static_cast<u32>(i);
  const cpu_state before = g_cpu;
  wr8(0xFFFA0F, 0xFF);
  ASSERT_EQ(cpu_run_isr(&g_cpu, 0x00F816, 6, 0, 1, nullptr), 0);
  EXPECT_EQ(g_cpu.pc, before.pc);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(g_cpu.d[i], before.d[i]) << "d" << i;
  for (int i = 0; i < 8; ++i) EXPECT_EQ(g_cpu.a[i], before.a[i]) << "a" << i;
  EXPECT_EQ(rd8(0xFFFA0F), 0xDFu) << "Timer A's in-service bit cleared";

  ASSERT_EQ(cpu_run_isr(&g_cpu, 0x00F864, 6, 0, 1, nullptr), 0) << "the lone RTE";
  EXPECT_EQ(g_cpu.pc, before.pc);
}

} // namespace
