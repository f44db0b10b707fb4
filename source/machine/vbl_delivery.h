// What happens to an ST during one vertical blank, delivered between two
// slices: the VBL interrupt, up to three raster (Timer B) splits with the
// palette of every band recorded as a palette zone, the MFP timers, the
// loader screen and fade smoothing, and the keyboard interrupts. Also the ST
// screen as colour indices for the host.
#pragma once
#include "machine/tos.h"

constexpr int raster_split_limit = 3;
constexpr int key_interrupts_per_call = 4;
constexpr int screen_width = 320;
constexpr int screen_height = 200;

// One VBL.
void tos_vbl();
// Up to four keyboard ACIA interrupts while bytes wait.
void tos_deliver_keys();
// The 16 colour registers as the I/O image holds them (big-endian words).
void tos_pal16(u8* out);
// The screen at the video base as 320 x 200 colour indices, row-major, with
// the frame's palette zones (one zone of the live colours when none).
void tos_screen_idx(u8* out, palette_zone* zones, int* count);
