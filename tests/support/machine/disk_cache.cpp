#include "support/machine/disk_cache.h"

#include <algorithm>

#include "game/game_ram.h"
#include "machine/boot_state.h"
#include "machine/memory.h"

void mark_whole_disk_cached(u32 buffer, u32 disk_size) {
  const u8 name[4] = {'B', 'K', 'M', 0};
  for (u32 i = 0; i < 4; ++i) wr8(cache_file_name + i, name[i]);
  wr32(cache_first, 0);
  wr32(cache_end, disk_size);
  wr32(cache_disk_size, disk_size);
  wr32(cache_buffer, buffer);
  wr32(cache_window, disk_size);
  wr8(cache_whole_disk, 0xFF);
  wr32(resident_table, 0xC00000);
}

void put_disk_in_cache(const std::vector<u8>& file, u32 buffer) {
  std::copy(file.begin(), file.end(), ram + buffer);
  std::copy(file.begin() + boot_block_offset, file.begin() + boot_block_offset + boot_block_size,
            ram + boot_program_address);
  mark_whole_disk_cached(buffer, static_cast<u32>(file.size()));
}
