// The run-length code of the RAM in state files. Runs of 3 to 130 equal
// bytes become a pair (count + 125, byte); everything else goes out as
// literals of up to 128 bytes, each cut before the next run of 3 or more.
#include <cstring>

#include "machine/machine_state.h"

namespace {

constexpr size_t max_run = 130;
constexpr size_t min_run = 3;
constexpr size_t max_literal = 128;
constexpr u8 run_bias = 125;

// How many bytes from i on equal src[i], at most max_run.
inline size_t run_length(const u8* src, size_t n, size_t i) {
  const size_t limit = n - i < max_run ? n - i : max_run;
  const u8 b = src[i];
  size_t k = 1;
  while (k < limit && src[i + k] == b) ++k;
  return k;
}

inline bool run_starts(const u8* src, size_t n, size_t i) {
  return i + 2 < n && src[i] == src[i + 1] && src[i] == src[i + 2];
}

} // namespace

size_t state_rle_pack(const u8* src, size_t n, u8* dst) {
  size_t out = 0;
  size_t i = 0;
  while (i < n) {
    if (i + 1 < n) {
      const size_t run = run_length(src, n, i);
      if (run >= min_run) {
        dst[out++] = static_cast<u8>(run + run_bias);
        dst[out++] = src[i];
        i += run;
        continue;
      }
    }
    size_t len = 1;
    while (len < max_literal && i + len < n && !run_starts(src, n, i + len)) ++len;
    dst[out++] = static_cast<u8>(len - 1);
    std::memcpy(dst + out, src + i, len);
    out += len;
    i += len;
  }
  return out;
}

bool state_rle_unpack(const u8* src, size_t n, u8* dst, size_t out_size) {
  size_t in = 0, out = 0;
  while (in < n && out < out_size) {
    const u8 c = src[in++];
    if (c < 0x80) {
      const size_t len = size_t{c} + 1;
      if (n - in < len || out_size - out < len) return false;
      std::memcpy(dst + out, src + in, len);
      in += len;
      out += len;
    } else {
      const size_t len = size_t{c} - run_bias;
      if (in >= n || out_size - out < len) return false;
      std::memset(dst + out, src[in++], len);
      out += len;
    }
  }
  return out == out_size;
}
