// Whole-screen comparisons for drawing tests: a screen (and whatever bytes
// follow it) is filled with a pattern no picture repeats, read back as a
// byte copy, the expected picture drawn into the copy by hand, and the
// first differing byte named by line and byte within the line.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "machine/types.h"
#include "support/machine/ram_bytes.h"

// Byte i becomes (i * step + (i >> shift)) & $FF.
void fill_pattern(u32 from, u32 count, u32 step, u32 shift);
// "" when equal, else where the first difference is (160-byte lines).
std::string first_difference(const std::vector<u8>& got, const std::vector<u8>& want);

// A size x size picture whose pixel(line, column) is its colour (0 clear),
// drawn at (x, y) into `screen`, keeping only play-field pixels 64-255 on
// lines 0-199.
std::vector<u8> with_play_field_stamp(std::vector<u8> screen, u32 size, u32 x, u32 y,
                                      const std::function<u32(u32 line, u32 column)>& pixel);
