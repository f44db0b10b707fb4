// The two packed forms of the game's disk files that the cold-start and
// mission loaders expand, as the tests write them: escaped runs (expanded
// by the unpacker behind slot $8930) and squeezed files laid out so that
// they can be unpacked in place, with the output trailing the packed bytes
// in the same memory.
#pragma once
#include <span>
#include <vector>

#include "machine/types.h"

constexpr u8 escape_byte = 0xFF;

// Escaped runs: a byte other than the escape stands for itself; escape,
// escape is one escape byte; escape, n, v (n not the escape) is v written
// n + 1 times. Runs of 4-255 bytes (and every run of escape bytes of 2 or
// more) are coded as runs, the rest as bytes.
std::vector<u8> escape_runs(std::span<const u8> data);
// The reverse, for checks: expands until `size` bytes are out (a run that
// passes it is kept whole, as the game's unpacker does).
std::vector<u8> expand_escaped_runs(std::span<const u8> packed, size_t size);

// Decodes a squeezed file (with its 29-byte header) as the game's unpacker
// does, with the packed bytes at `input` and the output from `output` on in
// one memory. Returns the unpacked bytes, or nothing when the file is
// malformed or when a byte would be written over a packed byte not yet
// read. `margin` receives the smallest distance seen between the next
// unread packed byte and the byte written.
std::vector<u8> squeeze_unpack_in_place(std::span<const u8> file, u32 input, u32 output, i64* margin = nullptr);

// Squeezes data (support/synthetic/squeeze_encoder.h) and checks that the file,
// loaded at `input`, unpacks in place to `output`; empty when it would not.
// With `min_bits` the data is squeezed evenly (squeeze_evenly), for data
// whose pictures would pack so well that the output overtook the input.
std::vector<u8> squeeze_for_place(std::span<const u8> data, u32 input, u32 output, int min_bits = 0);
