// Fuzz target: the loop points text beside a pack song.
#include <cstdint>
#include <cstdlib>

#include "sound/music_loader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  i64 start = -1, back = -1;
  const int found = loop_points_parse(reinterpret_cast<const char*>(data), size, &start, &back);
  if (found < 0 || found > 3) std::abort();
  if (((found & 1) && (start < 0 || start > (i64{1} << 40))) || ((found & 2) && (back < 0 || back > (i64{1} << 40))))
    std::abort();
  return 0;
}
