// Fuzz target: the LHA archive walk with its decoders, and the -lh5-
// decoder alone on the same bytes (the first two choose the output size).
#include <cstdlib>

#include "sound/amiga_disk.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  size_t length = 0;
  if (u8* member = lha_extract(data, size, &length)) {
    volatile u8 sum = 0;
    for (size_t i = 0; i < length; ++i) sum = static_cast<u8>(sum + member[i]);
    std::free(member);
  }
  if (size < 2) return 0;
  const size_t out_size = (static_cast<size_t>(data[0]) | static_cast<size_t>(data[1]) << 8) * 16;
  if (u8* out = lh5_unpack(data + 2, size - 2, out_size)) {
    volatile u8 sum = 0;
    for (size_t i = 0; i < out_size; ++i) sum = static_cast<u8>(sum + out[i]);
    std::free(out);
  }
  return 0;
}
