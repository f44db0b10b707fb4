// ST bit-plane lines to palette indices, the one conversion the host's
// fixed-screen pictures, the scene capture and the graphics dump share.
#pragma once

#include <cstdint>

// line_count lines of `groups` 16-pixel groups, each group four big-endian
// plane words (plane 0 first, leftmost pixel in bit 15), contiguous at
// 8 x groups bytes a line. Writes line_count x 16 x groups indices.
void planes_to_idx(const uint8_t* lines, int line_count, int groups, uint8_t* out);
