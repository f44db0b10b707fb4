// Palette-fade smoothing. The ST has 8 levels per colour gun, so the game's
// fades move in visible steps. When a frame's palette is a stepped-down copy
// of the palette seen before, the recorded zone gets the undimmed colours
// back, marked, with a brightness that glides from step to step; the
// renderer scales the marked entries by it.
//
// palette_fade_bits: bit 7 of an entry's high byte marks it; the brightness
// b (0-255) sits in spare bits of the high bytes of entries 0-2: entry 0
// bits 4-6 = b >> 5, entry 1 bits 4-6 = (b >> 2) & 7, entry 2 bits 4-5 =
// b & 3. Bits 0-3 keep the red gun.
#pragma once
#include <array>

#include "machine/types.h"

// Shown brightness by step-down level 0-8.
constexpr std::array<double, 9> FADE_BRIGHTNESS = {1, 0.9, 0.8, 0.68, 0.54, 0.4, 0.26, 0.12, 0};

// x (0..1) as the 8-bit brightness: x * 255 rounded, clamped to 0..255.
int fade_bits_of(double x);
// Writes brightness b into entries 0-2, keeping their other bits.
void palette_put_fade_bits(u8* palette, int b);
// Entry k of palette := colour word w marked for scaling.
void palette_mark_entry(u8* palette, int k, u32 w);

// One VBL of smoothing on zone 0's palette (exactly one zone this frame).
void fade_smooth(u8* palette, u32 vbl);
// A frame without exactly one zone: back to level 0, nothing marked.
void fade_smooth_drop();
// Back to the state at program start (tests).
void fade_smooth_clear();
