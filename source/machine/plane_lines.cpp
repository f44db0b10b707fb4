#include "machine/plane_lines.h"

#include <array>
#include <bit>
#include <cstddef>
#include <cstring>

namespace {

// Eight pixels of one plane byte at once: byte k of the entry (in memory
// order) is bit 7 - k of the plane byte, so four shifted lookups ORed give
// eight indices.
static_assert(std::endian::native == std::endian::little);
constexpr std::array<uint64_t, 256> spread = [] {
  std::array<uint64_t, 256> t{};
  for (int b = 0; b < 256; ++b)
    for (int k = 0; k < 8; ++k)
      if (b >> (7 - k) & 1) t[b] |= uint64_t{1} << (8 * k);
  return t;
}();

} // namespace

void planes_to_idx(const uint8_t* lines, int line_count, int groups, uint8_t* out) {
  const size_t groups_total = static_cast<size_t>(line_count) * static_cast<size_t>(groups);
  for (size_t g = 0; g < groups_total; ++g) {
    const uint8_t* w = lines + 8 * g;
    const uint64_t high = spread[w[0]] | spread[w[2]] << 1 | spread[w[4]] << 2 | spread[w[6]] << 3;
    const uint64_t low = spread[w[1]] | spread[w[3]] << 1 | spread[w[5]] << 2 | spread[w[7]] << 3;
    std::memcpy(out + 16 * g, &high, 8);
    std::memcpy(out + 16 * g + 8, &low, 8);
  }
}
