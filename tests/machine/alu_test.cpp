// The ALU helpers against the arithmetic definitions of the condition codes:
// results are recomputed here in wide signed and unsigned arithmetic.
#include <gtest/gtest.h>

#include "machine/cpu_alu.h"

namespace {


template <int S> i64 signed_value(u32 v) {
  v &= size_mask<S>;
  return (v & size_msb<S>) ? static_cast<i64>(v) - (static_cast<i64>(size_mask<S>) + 1) : static_cast<i64>(v);
}

template <int S> void check_add_sub() {
  const u32 vals[] = {0, 1, 0x7F, 0x80, 0xFF, 0x7FFF, 0x8000, 0xFFFF, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu, 0x1234};
  const i64 smin = -(static_cast<i64>(size_msb<S>)), smax = static_cast<i64>(size_msb<S>) - 1;
  for (u32 s : vals)
    for (u32 d : vals)
      for (int x = 0; x < 2; ++x) {
        SCOPED_TRACE(testing::Message() << "size " << S << " src $" << std::hex << s << " dst $" << d << " X " << x);
        const u64 us = s & size_mask<S>, ud = d & size_mask<S>;
        const i64 ss = signed_value<S>(s), sd = signed_value<S>(d);

        u32 r = add<S>(s, d);
        EXPECT_EQ(r, (us + ud) & size_mask<S>);
        EXPECT_EQ(fc, us + ud > size_mask<S>);
        EXPECT_EQ(fx, fc);
        EXPECT_EQ(fv, ss + sd < smin || ss + sd > smax);
        EXPECT_EQ(fz, r == 0);

        r = sub<S>(s, d);
        EXPECT_EQ(r, (ud - us) & size_mask<S>);
        EXPECT_EQ(fc, us > ud);
        EXPECT_EQ(fv, sd - ss < smin || sd - ss > smax);
        EXPECT_EQ(fn, (r & size_msb<S>) != 0);

        fx = static_cast<u8>(x);
        cmp<S>(s, d);
        EXPECT_EQ(fx, x) << "CMP leaves X";
        EXPECT_EQ(fc, us > ud);

        fx = static_cast<u8>(x);
        fz = 1;
        r = addx<S>(s, d);
        EXPECT_EQ(r, (us + ud + x) & size_mask<S>);
        EXPECT_EQ(fc, us + ud + x > size_mask<S>);
        EXPECT_EQ(fv, ss + sd + x < smin || ss + sd + x > smax);
        EXPECT_EQ(fz, r == 0) << "Z kept when the result is zero";

        fx = static_cast<u8>(x);
        fz = 0;
        r = subx<S>(s, d);
        EXPECT_EQ(r, (ud - us - x) & size_mask<S>);
        EXPECT_EQ(fc, us + x > ud);
        EXPECT_EQ(fv, sd - ss - x < smin || sd - ss - x > smax);
        EXPECT_EQ(fz, 0) << "Z never set by SUBX";
      }
}

TEST(Alu, AddSubCmpAddxSubxAllSizes) {
  check_add_sub<B>();
  check_add_sub<W>();
  check_add_sub<L>();
}

TEST(Alu, NegAndNegx) {
  EXPECT_EQ(neg<B>(0x80), 0x80u);
  EXPECT_EQ(fv, 1);
  EXPECT_EQ(fc, 1);
  EXPECT_EQ(neg<W>(0), 0u);
  EXPECT_EQ(fc, 0);
  EXPECT_EQ(fz, 1);
  fx = 1;
  fz = 1;
  EXPECT_EQ(negx<L>(0), 0xFFFFFFFFu);
  EXPECT_EQ(fc, 1);
  EXPECT_EQ(fz, 0);
}

TEST(Alu, MultiplyAndDivide) {
  EXPECT_EQ(mulu(0xFFFF, 0x1234FFFF), 0xFFFE0001u);
  EXPECT_EQ(fn, 1);
  EXPECT_EQ(muls(0xFFFF, 0x00000002), 0xFFFFFFFEu) << "-1 x 2";
  EXPECT_EQ(fv | fc, 0);

  EXPECT_EQ(divu(7, 100), (2u << 16) | 14);
  EXPECT_EQ(fv, 0);
  EXPECT_EQ(divu(1, 0x10000), 0x10000u) << "quotient overflow leaves the register";
  EXPECT_EQ(fv, 1);
  EXPECT_EQ(divs(0xFFF9, 100), (2u << 16) | 0xFFF2) << "100 / -7 = -14 remainder 2";
  EXPECT_EQ(fn, 1);
  EXPECT_EQ(divs(7, static_cast<u32>(-100)), (0xFFFEu << 16) | 0xFFF2) << "remainder takes the dividend's sign";
  EXPECT_EQ(divs(0xFFFF, 0x80000000u), 0x80000000u) << "overflow";
  EXPECT_EQ(fv, 1);
}

TEST(Alu, ExtSwapBitsAndDbra) {
  u32 r = 0x12345680;
  ext_w(r);
  EXPECT_EQ(r, 0x1234FF80u);
  EXPECT_EQ(fn, 1);
  ext_l(r);
  EXPECT_EQ(r, 0xFFFFFF80u);
  swap(r);
  EXPECT_EQ(r, 0xFF80FFFFu);

  EXPECT_EQ(bset<L>(33, 0), 2u) << "register bit numbers modulo 32";
  EXPECT_EQ(fz, 1);
  EXPECT_EQ(bclr<B>(9, 0xFF), 0xFDu) << "memory bit numbers modulo 8";
  EXPECT_EQ(fz, 0);
  EXPECT_EQ(bchg<B>(0, 1), 0u);

  u32 d = 0xABCD0001;
  EXPECT_TRUE(dbf(d));
  EXPECT_EQ(d, 0xABCD0000u);
  EXPECT_FALSE(dbf(d));
  EXPECT_EQ(d, 0xABCDFFFFu) << "DBRA stops at -1 and touches only the low word";

  r = 0xAAAAAAAA;
  put<B>(r, 0x1FF);
  EXPECT_EQ(r, 0xAAAAAAFFu);
  put<W>(r, 0x1234);
  EXPECT_EQ(r, 0xAAAA1234u);
  EXPECT_EQ(adda<W>(0xFFFE, 0x1000), 0x0FFEu) << "word source sign-extended";
}

// Scc over every combination of N, Z, V and C, with the conditions written
// as the programmer's reference manual gives them.
TEST(Alu, SccSetsAByteByTheConditionAndKeepsTheFlags) {
  const struct {
    const char* name;
    bool (*test)();
    bool (*rule)(bool n, bool z, bool v, bool c);
  } conditions[] = {
      {"HI", cc_hi, [](bool, bool z, bool, bool c) { return !c && !z; }},
      {"LS", cc_ls, [](bool, bool z, bool, bool c) { return c || z; }},
      {"CC", cc_cc, [](bool, bool, bool, bool c) { return !c; }},
      {"CS", cc_cs, [](bool, bool, bool, bool c) { return c; }},
      {"NE", cc_ne, [](bool, bool z, bool, bool) { return !z; }},
      {"EQ", cc_eq, [](bool, bool z, bool, bool) { return z; }},
      {"VC", cc_vc, [](bool, bool, bool v, bool) { return !v; }},
      {"VS", cc_vs, [](bool, bool, bool v, bool) { return v; }},
      {"PL", cc_pl, [](bool n, bool, bool, bool) { return !n; }},
      {"MI", cc_mi, [](bool n, bool, bool, bool) { return n; }},
      {"GE", cc_ge, [](bool n, bool, bool v, bool) { return (n && v) || (!n && !v); }},
      {"LT", cc_lt, [](bool n, bool, bool v, bool) { return (n && !v) || (!n && v); }},
      {"GT", cc_gt, [](bool n, bool z, bool v, bool) { return (n && v && !z) || (!n && !v && !z); }},
      {"LE", cc_le, [](bool n, bool z, bool v, bool) { return z || (n && !v) || (!n && v); }},
  };
  for (const auto& c : conditions)
    for (int f = 0; f < 16; ++f) {
      const bool n = f & 8, z = f & 4, v = f & 2, cy = f & 1;
      fn = n, fz = z, fv = v, fc = cy, fx = 1;
      u32 r = 0x12345600;
      put<B>(r, scc(c.test()));
      EXPECT_EQ(r, c.rule(n, z, v, cy) ? 0x123456FFu : 0x12345600u) << c.name << " NZVC " << f;
      EXPECT_EQ(fn * 8 + fz * 4 + fv * 2 + fc, f) << c.name << ": flags kept";
      EXPECT_EQ(fx, 1);
    }
  EXPECT_EQ(scc(true), 0xFFu) << "ST";
  EXPECT_EQ(scc(false), 0u) << "SF";
}

TEST(Alu, StatusRegisterSwapsStacksOnlyWhenSupervisorChanges) {
  a7 = 0x1000;
  other_sp = 0x2000;
  sr_sys = 0x2000;
  set_sr(0x2715);
  EXPECT_EQ(a7, 0x1000u);
  EXPECT_EQ(get_sr(), 0x2715u);
  set_sr(0x0700);
  EXPECT_EQ(a7, 0x2000u);
  EXPECT_EQ(other_sp, 0x1000u);
  EXPECT_EQ(get_sr(), 0x0700u);
}

} // namespace
