// Made-up copies of the Amiga disk for tests: a music block of pseudo-random
// bytes whose last four are chosen so that its CRC is the one the reader
// accepts, and the three forms the block comes in (disk image, disk dump,
// LHA archive of the dump).
#pragma once
#include <cstddef>
#include <vector>

#include "machine/types.h"

std::vector<u8> amiga_test_block(u32 seed);
// Changes the last four bytes so that the CRC-32 register after all bytes
// (no final inversion) is `wanted`.
void force_crc_register(std::vector<u8>& bytes, u32 wanted);

// 901,120 bytes starting with "DOS", the block in its 12 pieces, filler
// around them.
std::vector<u8> amiga_test_adf(const std::vector<u8>& block);
// A dump of `size` bytes (at least the block's end) with the block at its
// offset.
std::vector<u8> amiga_test_dump(const std::vector<u8>& block, size_t size);
