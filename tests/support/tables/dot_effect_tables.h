// The game-image tables of the dot bullets and the effects, with contents a
// test can tell apart:
//
//   dot_effect_tables t;
//   t.dot_directions[9] = {20, 90, 3, -3, 12};
//   t.put_in_ram();        // the tables, effect pictures 0-11, shot frame 24
//   preshift_pictures();   // their shifted copies, by the game's own routines
//
// Defaults: dot direction c = {30 + c, 80 + c, c - 7, 5 - c, 3 + c} for the
// facings 1-15 and facing 0 empty (bit 15 set in its first word). Effect
// picture n and shot frame 24 are the labelled frames of
// support/synthetic/sprite_sheets.h, with transparent holes on every line; frame 24 is
// 8 pixels wide
// (its shifted copies stay within their 16 pixels) in colours 1-7; shot
// frames 23 and 25 and the room after picture 11 are solid.
#pragma once
#include <array>
#include <vector>

#include "machine/types.h"

constexpr u32 dot_bullet_directions_address = 0x00ABBE;
constexpr u32 effect_frames_address = 0x049A3A;
constexpr u32 effect_pictures_built = 12;
constexpr u32 effect_picture_lines = 16;
constexpr u32 dot_frame_lines = 9;
constexpr u32 dot_frame_width = 8;

struct dot_effect_tables {
  std::array<std::array<i16, 5>, 16> dot_directions; // x, y offsets, dx, dy, range
  dot_effect_tables();
  void put_in_ram() const;
};

// The copies the game builds at its start: the effects' (slot $8938) and
// the shot frames' ($5FFE).
void preshift_pictures();

// Colour (0 = transparent) of pixel x (0-15) of line (0-15) of effect
// picture n, and of pixel x (0-15) of line (0-8) of shot frame 24.
u32 effect_picture_pixel(u32 n, u32 line, u32 x);
u32 dot_frame_pixel(u32 line, u32 x);

// --- samples as the dot bullets and effects see them --------------------------

// The sample hook of channel B ($E756): each sample with the return address
// of its call and the a4 the host pans by.
struct sample_seen {
  u32 sample, ret, a4;
};
std::vector<sample_seen>& samples_seen();
void record_samples_b();
