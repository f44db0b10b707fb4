// Writes the game's squeezed files (`squeezed_data`): a 29-byte header that
// the unpacker skips, a little-endian node count N, N nodes of two
// little-endian children (for bit 0, then bit 1), then the bit stream, read
// from bit 0 of each byte up. A child with bit 15 clear is the index of the
// next node; one with bit 15 set is a leaf whose symbol is its bitwise NOT:
// bytes 0-255, and 256 for the end of the data. Node 0 is the root.
//
// Symbols are bytes, except after the run marker $90: there 0 stands for
// the byte $90 itself, and n (1-255) makes a run of n bytes of which the
// byte before the marker was the first.
#pragma once
#include <span>
#include <vector>

#include "machine/types.h"

constexpr size_t squeeze_header_size = 29;
constexpr int squeeze_end_symbol = 256;
constexpr u8 squeeze_run_marker = 0x90;

constexpr u16 squeeze_leaf(int symbol) { return static_cast<u16>(~symbol & 0xFFFF); }

struct squeeze_node {
  u16 zero; // child for bit 0 (as stored)
  u16 one;  // child for bit 1
};

// Lays out a file from its parts; the header is zeros. `node_count` is
// written as given (it need not match the nodes, for files that break the
// rules).
std::vector<u8> squeeze_file(i16 node_count, const std::vector<squeeze_node>& nodes, std::span<const u8> stream);

// Packs bits into stream bytes, bit 0 of each byte first.
class squeeze_bit_writer {
 public:
  void put(bool bit);
  void put(const std::vector<bool>& bits);
  std::vector<u8> bytes() const { return bytes_; }

 private:
  std::vector<u8> bytes_;
  int used_ = 8;
};

// The symbols of data with the run marker coding (without the end symbol):
// runs of 3-255 equal bytes as byte, $90, length; each $90 byte as $90, 0.
std::vector<int> squeeze_symbols(std::span<const u8> data);

// A file holding exactly these symbols (0-255 each) and then the end,
// coded with a Huffman tree built over them.
std::vector<u8> squeeze_symbol_file(const std::vector<int>& symbols);

// Squeezes data without runs and with no code shorter than `min_bits`, so
// that every byte costs at least that many bits: a file that is unpacked in
// place, its output trailing its input, then never gains more than 8 -
// min_bits bits a byte on it, whatever the data.
std::vector<u8> squeeze_evenly(std::span<const u8> data, int min_bits);

// Squeezes data: squeeze_symbol_file(squeeze_symbols(data)).
std::vector<u8> squeeze(std::span<const u8> data);
