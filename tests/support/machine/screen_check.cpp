#include "support/machine/screen_check.h"

#include "machine/memory.h"

u16 background_word(u32 offset) { return static_cast<u16>((offset / 2) * 0x9E37u >> 5 ^ 0x5A5A); }

void fill_background(u32 screen) {
  for (u32 i = 0; i < check_screen_bytes; i += 2) wr16(screen + i, background_word(i));
}

u32 group_address(u32 line, u32 group, u32 screen) { return screen + line * 160 + group * 8; }

namespace {

::testing::AssertionResult compare(u32 line, u32 group, const std::array<u16, 4>& want, u32 screen) {
  const u32 at = group_address(line, group, screen);
  for (u32 p = 0; p < 4; ++p)
    if (rd16(at + 2 * p) != want[p])
      return ::testing::AssertionFailure() << "line " << line << " group " << group << " plane " << p << ": $"
                                           << std::hex << rd16(at + 2 * p) << " instead of $" << want[p];
  return ::testing::AssertionSuccess();
}

} // namespace

::testing::AssertionResult masked_at(u32 line, u32 group, const std::array<u16, 4>& planes, u32 screen) {
  const u32 offset = group_address(line, group, screen) - screen;
  const u16 mask = static_cast<u16>(~(planes[0] | planes[1] | planes[2] | planes[3]));
  std::array<u16, 4> want;
  for (u32 p = 0; p < 4; ++p) want[p] = static_cast<u16>((background_word(offset + 2 * p) & mask) | planes[p]);
  return compare(line, group, want, screen);
}

::testing::AssertionResult opaque_at(u32 line, u32 group, const std::array<u16, 4>& planes, u32 screen) {
  return compare(line, group, planes, screen);
}

::testing::AssertionResult untouched(u32 line, u32 group, u32 screen) {
  const u32 offset = group_address(line, group, screen) - screen;
  std::array<u16, 4> want;
  for (u32 p = 0; p < 4; ++p) want[p] = background_word(offset + 2 * p);
  return compare(line, group, want, screen);
}

std::vector<u32> changed_outside(std::initializer_list<group_box> boxes, u32 screen) {
  std::vector<u32> r;
  for (u32 at : changed_words(0, check_screen_bytes, screen)) {
    // Groups past 19 run into the next line, as group_address counts them.
    bool inside = false;
    for (const group_box& b : boxes)
      for (u32 l = b.top; l < b.top + b.lines && !inside; ++l) {
        const u32 from = group_address(l, b.first_group, 0), to = group_address(l, b.first_group + b.groups, 0);
        inside = at >= from && at < to;
      }
    if (!inside) r.push_back(at);
  }
  return r;
}

std::vector<u32> changed_words(u32 from, u32 to, u32 screen) {
  std::vector<u32> r;
  for (u32 i = from; i < to; i += 2)
    if (rd16(screen + i) != background_word(i)) r.push_back(i);
  return r;
}
