// 68000 arithmetic and logic with the exact condition codes of the
// programmer's reference manual. Operand sizes are template arguments B, W
// and L; operands are passed as full 32-bit values and only their low byte,
// word or long counts. Results come back masked to the size; `put` merges a
// result into a data register the way a byte or word write leaves its upper
// bits alone.
//
// These helpers know nothing of memory, so every recompiled program (the
// game and the Amiga replay) can use them on the shared register globals.
#pragma once
#include "machine/cpu.h"

constexpr int B = 1, W = 2, L = 4;

template <int S> constexpr u32 size_mask = S == 1 ? 0xFFu : S == 2 ? 0xFFFFu : 0xFFFFFFFFu;
template <int S> constexpr u32 size_msb = S == 1 ? 0x80u : S == 2 ? 0x8000u : 0x80000000u;
template <int S> constexpr int size_bits = S * 8;

template <int S> inline u32 low(u32 v) { return v & size_mask<S>; }
template <int S> inline bool negative(u32 v) { return (v & size_msb<S>) != 0; }

// Sign extension of a byte or word to a full long.
inline u32 sext8(u32 v) { return static_cast<u32>(static_cast<i32>(static_cast<i8>(v))); }
inline u32 sext16(u32 v) { return static_cast<u32>(static_cast<i32>(static_cast<i16>(v))); }
template <int S> inline u32 sext(u32 v) { return S == 1 ? sext8(v) : S == 2 ? sext16(v) : v; }

// Writes the low S bytes of v into a register, keeping the others.
template <int S> inline void put(u32& reg, u32 v) {
  reg = (reg & ~size_mask<S>) | (v & size_mask<S>);
}

// N and Z from a result; V and C cleared (MOVE, TST, AND, OR, EOR, NOT, CLR...).
template <int S> inline u32 logic_flags(u32 r) {
  r &= size_mask<S>;
  fn = negative<S>(r);
  fz = r == 0;
  fv = 0;
  fc = 0;
  return r;
}
template <int S> inline u32 move(u32 v) { return logic_flags<S>(v); }
template <int S> inline void tst(u32 v) { logic_flags<S>(v); }
template <int S> inline u32 and_(u32 s, u32 d) { return logic_flags<S>(s & d); }
template <int S> inline u32 or_(u32 s, u32 d) { return logic_flags<S>(s | d); }
template <int S> inline u32 eor(u32 s, u32 d) { return logic_flags<S>(s ^ d); }
template <int S> inline u32 not_(u32 d) { return logic_flags<S>(~d); }
template <int S> inline u32 clr() { return logic_flags<S>(0); }

// dst + src; X and C the carry.
template <int S> inline u32 add(u32 src, u32 dst) {
  const u32 s = low<S>(src), d = low<S>(dst);
  const u64 wide = static_cast<u64>(s) + d;
  const u32 r = low<S>(static_cast<u32>(wide));
  fc = fx = (wide >> size_bits<S>) & 1;
  fv = negative<S>(~(s ^ d) & (s ^ r));
  fn = negative<S>(r);
  fz = r == 0;
  return r;
}

// dst - src; X and C the borrow.
template <int S> inline u32 sub(u32 src, u32 dst) {
  const u32 s = low<S>(src), d = low<S>(dst);
  const u32 r = low<S>(d - s);
  fc = fx = s > d;
  fv = negative<S>((s ^ d) & (r ^ d));
  fn = negative<S>(r);
  fz = r == 0;
  return r;
}

// CMP: the flags of dst - src except X.
template <int S> inline void cmp(u32 src, u32 dst) {
  const u8 keep = fx;
  sub<S>(src, dst);
  fx = keep;
}

template <int S> inline u32 neg(u32 dst) { return sub<S>(dst, 0); }

// ADDX/SUBX/NEGX: with X; Z is only ever cleared, so multi-precision
// results keep the zero test of their whole length.
template <int S> inline u32 addx(u32 src, u32 dst) {
  const u32 s = low<S>(src), d = low<S>(dst);
  const u64 wide = static_cast<u64>(s) + d + fx;
  const u32 r = low<S>(static_cast<u32>(wide));
  fc = fx = (wide >> size_bits<S>) & 1;
  fv = negative<S>(~(s ^ d) & (s ^ r));
  fn = negative<S>(r);
  if (r != 0) fz = 0;
  return r;
}

template <int S> inline u32 subx(u32 src, u32 dst) {
  const u32 s = low<S>(src), d = low<S>(dst);
  const u64 wide = static_cast<u64>(d) - s - fx;
  const u32 r = low<S>(static_cast<u32>(wide));
  fc = fx = static_cast<u64>(s) + fx > d;
  fv = negative<S>((s ^ d) & (r ^ d));
  fn = negative<S>(r);
  if (r != 0) fz = 0;
  return r;
}

template <int S> inline u32 negx(u32 dst) { return subx<S>(dst, 0); }

// Address-register arithmetic changes no flags; word sources are sign-extended.
template <int S> inline u32 adda(u32 src, u32 an) { return an + sext<S>(src); }
template <int S> inline u32 suba(u32 src, u32 an) { return an - sext<S>(src); }
template <int S> inline void cmpa(u32 src, u32 an) { cmp<L>(sext<S>(src), an); }

// MULU/MULS.W: 16 x 16 -> 32 bits.
inline u32 mulu(u32 src, u32 dst) { return logic_flags<L>((src & 0xFFFF) * (dst & 0xFFFF)); }
inline u32 muls(u32 src, u32 dst) {
  return logic_flags<L>(static_cast<u32>(static_cast<i32>(static_cast<i16>(src)) *
                                         static_cast<i32>(static_cast<i16>(dst))));
}

// DIVU/DIVS.W: dst (32 bits) / src (16 bits) -> remainder:quotient. The
// caller checks for a zero divisor first (that is an exception, not a
// result). On overflow V is set and the register is unchanged.
inline u32 divu(u32 src, u32 dst) {
  const u32 s = src & 0xFFFF;
  const u32 q = dst / s, r = dst % s;
  fc = 0;
  if (q > 0xFFFF) {
    fv = 1;
    fn = 1;
    fz = 0;
    return dst;
  }
  fv = 0;
  fn = (q >> 15) & 1;
  fz = q == 0;
  return r << 16 | q;
}

inline u32 divs(u32 src, u32 dst) {
  const i64 s = static_cast<i16>(src);
  const i64 d = static_cast<i32>(dst);
  const i64 q = d / s, r = d % s;
  fc = 0;
  if (q < -32768 || q > 32767) {
    fv = 1;
    fn = 1;
    fz = 0;
    return dst;
  }
  fv = 0;
  fn = q < 0;
  fz = q == 0;
  return (static_cast<u32>(r) & 0xFFFF) << 16 | (static_cast<u32>(q) & 0xFFFF);
}

// EXT.W (byte -> word) and EXT.L (word -> long) on a data register.
inline void ext_w(u32& reg) { put<W>(reg, logic_flags<W>(sext8(reg))); }
inline void ext_l(u32& reg) { reg = logic_flags<L>(sext16(reg)); }

inline void swap(u32& reg) { reg = logic_flags<L>(reg << 16 | reg >> 16); }

// Bit operations: Z is the old state of the bit; the bit number is taken
// modulo the operand width (32 in a register, 8 in memory).
template <int S> inline void btst(u32 bit, u32 v) { fz = ((v >> (bit & (size_bits<S> - 1))) & 1) == 0; }
template <int S> inline u32 bset(u32 bit, u32 v) { btst<S>(bit, v); return v | 1u << (bit & (size_bits<S> - 1)); }
template <int S> inline u32 bclr(u32 bit, u32 v) { btst<S>(bit, v); return v & ~(1u << (bit & (size_bits<S> - 1))); }
template <int S> inline u32 bchg(u32 bit, u32 v) { btst<S>(bit, v); return v ^ 1u << (bit & (size_bits<S> - 1)); }

// Shifts and rotates: type 0 = ASL/ASR, 1 = LSL/LSR, 2 = ROXL/ROXR,
// 3 = ROL/ROR; count 0-63; width 8, 16 or 32.
enum shift_type : int { SHIFT_AS = 0, SHIFT_LS = 1, SHIFT_ROX = 2, SHIFT_RO = 3 };
u32 shift_op(int type, int left, u32 value, int count, int width);

template <int S> inline u32 asl(u32 v, int n) { return shift_op(SHIFT_AS, 1, low<S>(v), n, size_bits<S>); }
template <int S> inline u32 asr(u32 v, int n) { return shift_op(SHIFT_AS, 0, low<S>(v), n, size_bits<S>); }
template <int S> inline u32 lsl(u32 v, int n) { return shift_op(SHIFT_LS, 1, low<S>(v), n, size_bits<S>); }
template <int S> inline u32 lsr(u32 v, int n) { return shift_op(SHIFT_LS, 0, low<S>(v), n, size_bits<S>); }
template <int S> inline u32 roxl(u32 v, int n) { return shift_op(SHIFT_ROX, 1, low<S>(v), n, size_bits<S>); }
template <int S> inline u32 roxr(u32 v, int n) { return shift_op(SHIFT_ROX, 0, low<S>(v), n, size_bits<S>); }
template <int S> inline u32 rol(u32 v, int n) { return shift_op(SHIFT_RO, 1, low<S>(v), n, size_bits<S>); }
template <int S> inline u32 ror(u32 v, int n) { return shift_op(SHIFT_RO, 0, low<S>(v), n, size_bits<S>); }

// The condition tests of Bcc/DBcc/Scc.
inline bool cc_hi() { return !fc && !fz; }
inline bool cc_ls() { return fc || fz; }
inline bool cc_cc() { return !fc; }
inline bool cc_cs() { return fc; }
inline bool cc_ne() { return !fz; }
inline bool cc_eq() { return fz; }
inline bool cc_vc() { return !fv; }
inline bool cc_vs() { return fv; }
inline bool cc_pl() { return !fn; }
inline bool cc_mi() { return fn; }
inline bool cc_ge() { return fn == fv; }
inline bool cc_lt() { return fn != fv; }
inline bool cc_gt() { return !fz && fn == fv; }
inline bool cc_le() { return fz || fn != fv; }

// Scc: a byte of all ones when the condition holds, else 0; flags stay.
// SMI d0 is put<B>(d0, scc(cc_mi())); ST and SF are scc(true) and scc(false).
inline u32 scc(bool condition) { return condition ? 0xFFu : 0u; }

// DBRA's counter step: decrements the low word, true while it has not
// passed -1 (the branch is taken).
inline bool dbf(u32& reg) {
  const u32 w = (reg - 1) & 0xFFFF;
  put<W>(reg, w);
  return w != 0xFFFF;
}
