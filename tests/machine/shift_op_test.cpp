// shift_op against a bit-serial model of the 68000: each shift or rotate
// step moves one bit, as the processor's microcode does, so the condition
// codes fall out of the steps rather than out of closed formulas.
#include <gtest/gtest.h>

#include "machine/cpu_alu.h"

namespace {

struct flags {
  u32 result;
  int x, n, z, v, c;
};

flags reference(int type, bool left, u32 value, int count, int width, int x_in) {
  const u32 mask = width == 32 ? 0xFFFFFFFFu : (1u << width) - 1;
  const u32 msb = 1u << (width - 1);
  u32 v = value & mask;
  int x = x_in, c = type == SHIFT_ROX ? x_in : 0, ov = 0;
  for (int i = 0; i < count; ++i) {
    const int out = left ? (v & msb) != 0 : v & 1;
    const u32 before_msb = v & msb;
    u32 in = 0;
    if (type == SHIFT_AS && !left) in = before_msb ? msb : 0;
    if (type == SHIFT_ROX) in = left ? static_cast<u32>(x) : (x ? msb : 0);
    if (type == SHIFT_RO) in = left ? static_cast<u32>(out) : (out ? msb : 0);
    v = left ? ((v << 1) & mask) | in : (v >> 1) | in;
    if (type == SHIFT_AS && left && (v & msb) != before_msb) ov = 1;
    c = out;
    if (type != SHIFT_RO) x = out;
  }
  return {v, x, (v & msb) != 0, v == 0, ov, c};
}

TEST(ShiftOp, MatchesTheBitSerialModel) {
  const u32 values[] = {0, 1, 2, 0x80, 0x81, 0xFF, 0x7F, 0x8000, 0x8001, 0xFFFF, 0x7FFF, 0x80000000u,
                        0x80000001u, 0xFFFFFFFFu, 0x7FFFFFFFu, 0x5A5A5A5Au, 0xC0000000u, 0x40000000u, 0x12345678u};
  const char* type_names[] = {"AS", "LS", "ROX", "RO"};
  for (int width : {8, 16, 32}) {
    const u32 mask = width == 32 ? 0xFFFFFFFFu : (1u << width) - 1;
    for (int count : {0, 1, 2, width - 1, width, width + 1, 63, 17, 33}) {
      for (int type = 0; type < 4; ++type) {
        for (int left = 0; left < 2; ++left) {
          for (u32 raw : values) {
            for (int x_in = 0; x_in < 2; ++x_in) {
              const u32 value = raw & mask;
              const flags want = reference(type, left, value, count, width, x_in);
              fx = static_cast<u8>(x_in);
              fn = fz = fv = fc = 1;
              const u32 got = shift_op(type, left, value, count, width);
              SCOPED_TRACE(testing::Message() << type_names[type] << (left ? "L" : "R") << "." << width << " #"
                                              << count << " of $" << std::hex << value << " X=" << x_in);
              EXPECT_EQ(got, want.result);
              EXPECT_EQ(fx, want.x);
              EXPECT_EQ(fn, want.n);
              EXPECT_EQ(fz, want.z);
              EXPECT_EQ(fv, want.v);
              EXPECT_EQ(fc, want.c);
            }
          }
        }
      }
    }
  }
}

TEST(ShiftOp, ReferenceManualExamples) {
  fx = 0;
  EXPECT_EQ(lsr<W>(0x8001, 16), 0u);
  EXPECT_EQ(fc, 1);
  EXPECT_EQ(fx, 1);
  fx = 1;
  fc = 0;
  EXPECT_EQ(roxl<W>(0x1234, 0), 0x1234u);
  EXPECT_EQ(fc, 1) << "ROXL by 0 copies X into C";
  fx = 0;
  EXPECT_EQ(asl<B>(0x40, 1), 0x80u);
  EXPECT_EQ(fv, 1) << "the sign changed";
  EXPECT_EQ(asr<L>(0x80000000u, 40), 0xFFFFFFFFu);
  EXPECT_EQ(fc, 1);
  fx = 0;
  EXPECT_EQ(rol<W>(0x8000, 1), 1u);
  EXPECT_EQ(fx, 0) << "ROL leaves X alone";
  EXPECT_EQ(fc, 1);
}

} // namespace
