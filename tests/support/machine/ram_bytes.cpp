#include "support/machine/ram_bytes.h"

#include "machine/memory.h"

std::vector<u8> read_bytes(u32 from, u32 count) {
  std::vector<u8> v(count);
  for (u32 i = 0; i < count; ++i) v[i] = static_cast<u8>(rd8(from + i));
  return v;
}

void put_bytes(u32 at, const std::vector<u8>& bytes) {
  for (u32 i = 0; i < bytes.size(); ++i) wr8(at + i, bytes[i]);
}
