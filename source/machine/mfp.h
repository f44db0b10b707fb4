// The MFP 68901's timers as the game uses them: Timer C ticks the music
// driver, Timer A drives the sample player, Timer B counts display lines for
// raster palette splits. The game's register writes are kept in the I/O
// image (nothing runs on its own); once per VBL the host works out how many
// interrupts each timer would have raised and calls the game's handlers.
#pragma once
#include <array>

#include "machine/types.h"

constexpr u32 mfp_iera = 0xFFFA07;
constexpr u32 mfp_ierb = 0xFFFA09;
constexpr u32 mfp_imra = 0xFFFA13;
constexpr u32 mfp_imrb = 0xFFFA15;
constexpr u32 mfp_tacr = 0xFFFA19;
constexpr u32 mfp_tbcr = 0xFFFA1B;
constexpr u32 mfp_tcdcr = 0xFFFA1D;
constexpr u32 mfp_tadr = 0xFFFA1F;
constexpr u32 mfp_tbdr = 0xFFFA21;
constexpr u32 mfp_tcdr = 0xFFFA23;

// Interrupt bits: Timer A and Timer B in IERA/IMRA, Timer C and the keyboard
// ACIA in IERB/IMRB.
constexpr int mfp_bit_timer_a = 5;
constexpr int mfp_bit_timer_b = 0;
constexpr int mfp_bit_timer_c = 5;
constexpr int mfp_bit_acia = 6;

constexpr double mfp_clock_hz = 2457600;
// The prescaler by the 3-bit control value; 0 = timer stopped.
constexpr std::array<int, 8> MFP_PRESCALE = {0, 4, 10, 16, 50, 64, 100, 200};

// Caps per VBL.
constexpr int timer_c_max_calls = 500;
constexpr int timer_a_max_calls = 400;

// A register of the MFP as the game last wrote it.
u8 mfp_reg(u32 address);
void mfp_set_reg(u32 address, u8 value);
// Both the enable bit and the mask bit of an interrupt are set.
bool tos_mfp_enabled(u32 enable_register, u32 mask_register, int bit);

// Timer C's calls of this VBL with their positions in it (carrying the
// fraction to the next VBL), then Timer A's calls.
void mfp_timer_c();
void mfp_timer_a();
// The timers alone, while the emulation is paused, so the music goes on.
void tos_music_tick();
