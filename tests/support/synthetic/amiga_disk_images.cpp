#include "support/synthetic/amiga_disk_images.h"

#include <array>
#include <cstring>

#include "machine/game_data.h"
#include "sound/amiga_disk.h"

namespace {

constexpr std::array<u32, 256> crc_table = [] {
  std::array<u32, 256> t{};
  for (u32 n = 0; n < 256; ++n) {
    u32 c = n;
    for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    t[n] = c;
  }
  return t;
}();

void fill(std::vector<u8>& bytes, size_t from, size_t to, u32 seed) {
  u32 x = seed * 2654435761u + 12345;
  for (size_t i = from; i < to; ++i) {
    x ^= x << 13, x ^= x >> 17, x ^= x << 5;
    bytes[i] = static_cast<u8>(x >> 7);
  }
}

} // namespace

void force_crc_register(std::vector<u8>& bytes, u32 wanted) {
  const size_t n = bytes.size() - 4;
  const u32 before = ~game_data_crc32(bytes.data(), n);
  // Four bytes b fed to register r end where four zero bytes fed to r ^ b
  // would; run those four steps backwards from the wanted register. The
  // table's top bytes are all different, so each step has one inverse.
  u32 r = wanted;
  for (int step = 0; step < 4; ++step) {
    u32 index = 0;
    while (crc_table[index] >> 24 != r >> 24) ++index;
    r = (r ^ crc_table[index]) << 8 | index;
  }
  const u32 word = r ^ before;
  for (int i = 0; i < 4; ++i) bytes[n + i] = static_cast<u8>(word >> (8 * i));
}

std::vector<u8> amiga_test_block(u32 seed) {
  std::vector<u8> block(amiga_music_block_size);
  fill(block, 0, block.size(), seed);
  // Some text and runs, so that compression finds something to do.
  for (size_t i = 0; i + 64 < block.size(); i += 997) std::memcpy(&block[i], "Paula plays four voices; ", 25);
  std::memset(&block[3000], 0, 700);
  force_crc_register(block, amiga_music_block_crc);
  return block;
}

std::vector<u8> amiga_test_adf(const std::vector<u8>& block) {
  std::vector<u8> image(adf_size);
  fill(image, 0, image.size(), 77);
  std::memcpy(image.data(), "DOS\0", 4);
  for (int k = 0; k < adf_pieces; ++k) {
    const size_t at = k * adf_piece;
    const size_t n = std::min(adf_piece, block.size() - at);
    std::memcpy(&image[adf_block_offset + k * adf_track_pair], &block[at], n);
  }
  return image;
}

std::vector<u8> amiga_test_dump(const std::vector<u8>& block, size_t size) {
  std::vector<u8> dump(size);
  fill(dump, 0, size, 99);
  std::memcpy(&dump[dump_block_offset], block.data(), block.size());
  return dump;
}
