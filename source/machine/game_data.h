// The game data source: the user's own copy of the game, either the data
// file "BKM" or a floppy image of the Vellicor release (".st"), selected
// once at start-up and offered as one random-access logical file, whatever
// its form. The boot state reads the program block from it and GEMDOS
// serves it to the game as "FILES/BKM".
#pragma once
#include <cstddef>
#include <span>

#include "machine/types.h"

// "BKM" must be longer than this: the program block ends at its last byte.
constexpr u64 bkm_min_size = 392828;
constexpr u32 bkm_usual_crc = 0x6703B50F;
// A larger "BKM" is not read: the game cannot load more than the ST's
// whole address space.
constexpr u64 bkm_largest = u64{16} << 20;
constexpr u64 vellicor_image_size = 829440;
constexpr u32 vellicor_image_crc = 0xF6E84D7A;
// The logical file as the disk image holds it, and how much of it is mapped.
constexpr u64 vellicor_logical_size = 819200;
constexpr u64 vellicor_mapped_size = 486912;

// Logical bytes [logical, logical + length) of the game data file lie in
// the disk image from image_offset on.
struct vellicor_extent {
  u32 logical;
  u32 image_offset;
  u32 length;
};
constexpr int vellicor_extent_count = 103;
// In ascending logical order; several ranges share image bytes.
std::span<const vellicor_extent> vellicor_extents();

// CRC-32 as zlib computes it (reflected polynomial $EDB88320).
u32 game_data_crc32(const void* data, size_t size);

// Selects the game data in the folder: "BKM" (a regular file) first, else
// the first ".st" image (any case), in name order, of the right size and
// CRC. 1 when found; 0 leaves nothing selected and game_data_error() says
// what was expected.
int game_data_init(const char* directory);
// Drops the selection (as at program start).
void game_data_release();
// What was selected ("BKM  (CRC32 ...)"); empty when nothing is.
const char* game_data_description();
const char* game_data_error();
// The size of a "BKM" passed over at the last selection because it was too
// short to hold the program block; -1 when there was none such.
long long game_data_short_bkm();
// 819,200 for the disk image, else the size of "BKM"; 0 when none.
u64 game_data_size();
// Copies up to length bytes of the logical file from offset on; returns
// the number delivered (0 past the end or with nothing selected). Bytes of
// the image's logical file that no extent maps read as 0.
u64 game_data_read(u64 offset, void* destination, u64 length);
