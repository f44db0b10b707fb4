// Writes LHA archives for tests: -lh5- streams (greedy LZ77 over the 8 KB
// window, Huffman codes of at most 16 bits per block, a table of one symbol
// written as such) and member headers of levels 0 and 1. Streams can also
// be made from a given list of codes, to put copies where no encoder would.
#pragma once
#include <string>
#include <vector>

#include "machine/types.h"

// One code of a -lh5- stream: a byte, or a copy of `length` (3..256) bytes
// from `distance` (1..8192) bytes back.
struct lh5_code {
  int byte = 0;
  int length = 0; // 0 = a byte
  int distance = 0;
};

std::vector<lh5_code> lh5_codes_of(const std::vector<u8>& data);
// codes_per_block bounds each block (at most 65,535).
std::vector<u8> lh5_encode(const std::vector<lh5_code>& codes, int codes_per_block = 65535);
std::vector<u8> lh5_pack(const std::vector<u8>& data, int codes_per_block = 65535);

// MSB-first bit writer, for streams built by hand.
struct lh5_bits {
  std::vector<u8> bytes;
  int used = 8; // bits used in the last byte
  void put(u32 value, int n);
};

struct lha_member {
  std::string name;
  std::string method = "-lh5-";
  int level = 0;
  std::vector<u8> payload; // as stored: compressed, or the bytes for -lh0-
  size_t uncompressed = 0;
  u32 crc16 = 0; // of the uncompressed bytes
  // Level 1: sizes of the extended headers (each at least 3), in order.
  std::vector<size_t> extended;
};

// A member holding data, stored with method "-lh0-" or "-lh5-".
lha_member lha_member_of(const std::string& name, const std::vector<u8>& data, const std::string& method = "-lh5-",
                         int level = 0);
// The members' headers and data, then the 0 that ends the archive.
std::vector<u8> lha_archive(const std::vector<lha_member>& members);
