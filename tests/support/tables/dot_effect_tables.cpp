#include "support/tables/dot_effect_tables.h"

#include "game/mission_ram.h"
#include "machine/hooks.h"
#include "machine/memory.h"
#include "support/machine/routine_stubs.h"
#include "support/synthetic/sprite_sheets.h"

namespace {

constexpr u32 shot_frames = 0x04694A;
constexpr u32 shot_frame_bytes = 54;
constexpr u32 dot_frame = 24;
constexpr u32 effect_picture_bytes = 128;
constexpr u32 effect_copy_bytes = 3072;

// The four (or three) plane words of one 16-pixel line from its colours.
template <typename Pixel> void put_line(u32 at, u32 planes, Pixel colour) {
  for (u32 p = 0; p < planes; ++p) {
    u32 word = 0;
    for (u32 x = 0; x < 16; ++x)
      if (colour(x) >> p & 1) word |= 0x8000u >> x;
    wr16(at + 2 * p, word);
  }
}

} // namespace

dot_effect_tables::dot_effect_tables() {
  for (u32 c = 0; c < 16; ++c) {
    const i16 k = static_cast<i16>(c);
    dot_directions[c] = {static_cast<i16>(30 + k), static_cast<i16>(80 + k), static_cast<i16>(k - 7),
                         static_cast<i16>(5 - k), static_cast<i16>(3 + k)};
  }
  dot_directions[0][0] = static_cast<i16>(0x8000);
}

void dot_effect_tables::put_in_ram() const {
  for (u32 c = 0; c < 16; ++c)
    for (u32 i = 0; i < 5; ++i) wr16(dot_bullet_directions_address + 10 * c + 2 * i, static_cast<u16>(dot_directions[c][i]));
  for (u32 n = 0; n < effect_pictures_built; ++n)
    for (u32 l = 0; l < effect_picture_lines; ++l)
      put_line(effect_frames_address + n * effect_picture_bytes + 8 * l, 4,
               [&](u32 x) { return effect_picture_pixel(n, l, x); });
  for (u32 l = 0; l < dot_frame_lines; ++l)
    put_line(shot_frames + dot_frame * shot_frame_bytes + 6 * l, 3, [&](u32 x) { return dot_frame_pixel(l, x); });
  // Solid neighbours: a picture read one line or one frame off shows.
  for (u32 b = 0; b < shot_frame_bytes; ++b) {
    wr8(shot_frames + (dot_frame - 1) * shot_frame_bytes + b, 0xFF);
    wr8(shot_frames + (dot_frame + 1) * shot_frame_bytes + b, 0xFF);
  }
  for (u32 b = effect_pictures_built * effect_picture_bytes; b < effect_copy_bytes; ++b)
    wr8(effect_frames_address + b, 0xFF);
}

void preshift_pictures() {
  run_routine(0x008938);
  run_routine(0x005FFE);
}

u32 effect_picture_pixel(u32 n, u32 line, u32 x) { return sheet_pixel(sheet::effect, n, line, x); }

u32 dot_frame_pixel(u32 line, u32 x) { return sheet_pixel(sheet::shot, dot_frame, line, x); }

namespace {

std::vector<sample_seen> samples;

void sample_noted(u32) { samples.push_back({d0 & 0xFFFF, rd32(a7), a4}); }

} // namespace

std::vector<sample_seen>& samples_seen() { return samples; }

void record_samples_b() {
  samples.clear();
  hook_register(0x00E756, sample_noted);
}
