// The disk cache as the cold start's first load leaves it: the whole disk
// read into a buffer, its name "BKM", every sector counted as cached, and
// the resident table pointing nowhere (a miss would jump nowhere).
#pragma once
#include <vector>

#include "machine/types.h"

// The cache's words only: a disk of `disk_size` bytes wholly in `buffer`.
void mark_whole_disk_cached(u32 buffer, u32 disk_size);
// The disk image copied into `buffer`, the program image at $2C00 as the
// boot state leaves it, and the cache's words for it.
void put_disk_in_cache(const std::vector<u8>& file, u32 buffer);
