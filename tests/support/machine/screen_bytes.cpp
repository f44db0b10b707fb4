#include "support/machine/screen_bytes.h"

#include "machine/memory.h"
#include "support/synthetic/st_planes.h"

void fill_pattern(u32 from, u32 count, u32 step, u32 shift) {
  for (u32 i = 0; i < count; ++i) wr8(from + i, (i * step + (i >> shift)) & 0xFF);
}

std::string first_difference(const std::vector<u8>& got, const std::vector<u8>& want) {
  if (got.size() != want.size())
    return std::to_string(got.size()) + " bytes instead of " + std::to_string(want.size());
  for (u32 i = 0; i < got.size(); ++i)
    if (got[i] != want[i])
      return "byte " + std::to_string(i) + " (line " + std::to_string(i / 160) + ", byte " + std::to_string(i % 160) + ")";
  return "";
}

std::vector<u8> with_play_field_stamp(std::vector<u8> screen, u32 size, u32 x, u32 y,
                                      const std::function<u32(u32 line, u32 column)>& pixel) {
  for (u32 l = 0; l < size; ++l)
    for (u32 j = 0; j < size; ++j) {
      const u32 px = x + j, line = y + l;
      if (px < 64 || px > 255 || line > 199) continue;
      if (const u32 c = pixel(l, j))
        st_set_pixel(screen.data(), static_cast<int>(px), static_cast<int>(line), static_cast<int>(c));
    }
  return screen;
}
