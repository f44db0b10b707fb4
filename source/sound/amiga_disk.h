// The Amiga music block: the stretch of the Amiga version's disk that holds
// the replay routine with all its music and samples. It is found in a
// standard disk image (".adf"), in an LHA archive holding a dump of the
// disk as the member "Disk.1", or in such a dump as a plain file, and
// accepted only when its CRC matches, so that the player never runs the
// replay over foreign data. No failure is logged: the callers report.
#pragma once
#include <cstddef>

#include "machine/types.h"

constexpr size_t amiga_music_block_size = 61166;
// The CRC-32 register after the block's bytes (initial value $FFFFFFFF,
// polynomial $EDB88320 reflected, no final inversion).
constexpr u32 amiga_music_block_crc = 0x709F4145;

// Where the block lies in each form of the disk.
constexpr size_t adf_size = 901120;
constexpr size_t adf_block_offset = 473088; // cylinder 42, side 0
constexpr size_t adf_track_pair = 11264;    // one cylinder: 2 tracks of 11 sectors
constexpr size_t adf_piece = 5120;          // the first 10 sectors of a track
constexpr int adf_pieces = 12;
constexpr size_t dump_block_offset = 194560;
constexpr size_t dump_min_size = dump_block_offset + amiga_music_block_size;
// Anything larger is no disk.
constexpr size_t amiga_disk_max_file = 64u << 20;

// The block of the file at path into destination (amiga_music_block_size
// bytes): 1, or 0 when the file holds no block with the right CRC.
int amiga_disk_block(const char* path, u8* destination);

// The member "Disk.1" (by base name, any case) of an LHA archive in memory,
// uncompressed, in a new malloc'ed buffer with its length; null when the
// archive has no such member or it cannot be extracted. The caller frees.
u8* lha_extract(const u8* archive, size_t size, size_t* length);

// A -lh5- stream into a new malloc'ed buffer of uncompressed_size bytes, or
// null when the stream is broken. The caller frees.
u8* lh5_unpack(const u8* data, size_t length, size_t uncompressed_size);
