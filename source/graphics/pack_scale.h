// Resampling of graphics-pack pictures to the output scale. A pack sheet may
// be drawn at any whole multiple of the dump's size; its cells are enlarged
// by pixel repetition when the output scale is a multiple of the sheet's,
// and filtered (triangle up, box down) in premultiplied alpha otherwise.
#pragma once

#include <cstdint>
#include <vector>

// A new RGBA picture of (target_w x s) by (target_h x s) made from an RGBA
// picture of src_w x src_h whose scale is src_h / target_h.
std::vector<uint8_t> to_scale(const uint8_t* pixels, int src_w, int src_h, int target_h, int target_w, int s);
