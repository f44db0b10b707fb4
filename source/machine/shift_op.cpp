#include "machine/cpu_alu.h"

namespace {

u32 mask_of(int width) { return width == 32 ? 0xFFFFFFFFu : (1u << width) - 1; }

} // namespace

u32 shift_op(int type, int left, u32 value, int count, int width) {
  const u32 mask = mask_of(width);
  const u32 msb = 1u << (width - 1);
  const int n = count & 63;
  value &= mask;
  u32 r = value;
  auto finish = [&](u32 result) {
    result &= mask;
    fn = (result & msb) != 0;
    fz = result == 0;
    return result;
  };

  if (n == 0) {
    fv = 0;
    fc = type == SHIFT_ROX ? fx : 0;
    return finish(value);
  }

  switch (type) {
    case SHIFT_AS:
      if (left) {
        // V: the sign changed at any point, i.e. the top n+1 bits differ.
        if (n >= width) {
          fv = value != 0;
          fc = fx = n == width ? (value & 1) : 0;
          r = 0;
        } else {
          const u32 top = n + 1 >= width ? mask : mask & ~(mask >> (n + 1));
          const u32 high = value & top;
          fv = high != 0 && high != top;
          fc = fx = (value >> (width - n)) & 1;
          r = value << n;
        }
      } else {
        const bool sign = (value & msb) != 0;
        if (n >= width) {
          r = sign ? mask : 0;
          fc = fx = sign;
        } else {
          fc = fx = (value >> (n - 1)) & 1;
          r = value >> n;
          if (sign) r |= mask & ~(mask >> n);
        }
        fv = 0;
      }
      return finish(r);

    case SHIFT_LS:
      fv = 0;
      if (n > width) {
        fc = fx = 0;
        r = 0;
      } else if (n == width) {
        fc = fx = left ? (value & 1) : ((value & msb) != 0);
        r = 0;
      } else if (left) {
        fc = fx = (value >> (width - n)) & 1;
        r = value << n;
      } else {
        fc = fx = (value >> (n - 1)) & 1;
        r = value >> n;
      }
      return finish(r);

    case SHIFT_ROX: {
      // A rotation through width + 1 bits: the value with X above it.
      const int k = n % (width + 1);
      u64 wide = static_cast<u64>(value) | static_cast<u64>(fx) << width;
      const u64 wmask = (static_cast<u64>(1) << (width + 1)) - 1;
      if (k != 0) {
        if (left)
          wide = ((wide << k) | (wide >> (width + 1 - k))) & wmask;
        else
          wide = ((wide >> k) | (wide << (width + 1 - k))) & wmask;
      }
      fc = fx = (wide >> width) & 1;
      fv = 0;
      return finish(static_cast<u32>(wide));
    }

    default: { // ROL/ROR: X unchanged
      const int k = n % width;
      if (k != 0) r = left ? (value << k | value >> (width - k)) : (value >> k | value << (width - k));
      r &= mask;
      fc = left ? (r & 1) : ((r & msb) != 0);
      fv = 0;
      return finish(r);
    }
  }
}
