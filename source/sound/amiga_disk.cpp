// Finding the Amiga music block in the user's copy of the Amiga disk.
#include "sound/amiga_disk.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "host/platform.h"
#include "machine/game_data.h"

namespace {

struct free_deleter {
  void operator()(void* p) const { std::free(p); }
};
using owned_bytes = std::unique_ptr<u8, free_deleter>;

constexpr size_t smallest_file = 9;

bool block_crc_matches(const u8* block) {
  return ~game_data_crc32(block, amiga_music_block_size) == amiga_music_block_crc;
}

// Cylinders 42 to 53, side 0, sectors 0 to 9: the block's pieces in order.
void gather_adf_block(const u8* image, u8* block) {
  for (int k = 0; k < adf_pieces; ++k) {
    const size_t at = k * adf_piece;
    const size_t n = std::min(adf_piece, amiga_music_block_size - at);
    std::memcpy(block + at, image + adf_block_offset + k * adf_track_pair, n);
  }
}

bool from_dump(const u8* dump, size_t size, u8* block) {
  if (size < dump_min_size) return false;
  std::memcpy(block, dump + dump_block_offset, amiga_music_block_size);
  return true;
}

} // namespace

int amiga_disk_block(const char* path, u8* destination) {
  size_t size = 0;
  owned_bytes file(reinterpret_cast<u8*>(read_file(path, &size, amiga_disk_max_file)));
  if (!file || size < smallest_file || size > amiga_disk_max_file) return 0;
  const u8* bytes = file.get();
  u8 block[amiga_music_block_size];
  if (size == adf_size && std::memcmp(bytes, "DOS", 3) == 0) {
    gather_adf_block(bytes, block);
  } else if (std::memcmp(bytes + 2, "-lh", 3) == 0) {
    size_t length = 0;
    owned_bytes member(lha_extract(bytes, size, &length));
    if (!member || !from_dump(member.get(), length, block)) return 0;
  } else if (!from_dump(bytes, size, block)) {
    return 0;
  }
  if (!block_crc_matches(block)) return 0;
  std::memcpy(destination, block, amiga_music_block_size);
  return 1;
}
