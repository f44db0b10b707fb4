// The ST hardware registers the game's routines write and read, at their
// 68k addresses in the I/O space. In a namespace of their own, so that host
// code that names the same chips can include this header beside its own.
#pragma once
#include "machine/types.h"

namespace st_io {

// --- video shifter ------------------------------------------------------------

constexpr u32 video_base_high = 0xFF8201; // bits 16-23 of the screen address
constexpr u32 video_base_mid = 0xFF8203;  // bits 8-15
constexpr u32 palette_regs = 0xFF8240;    // 16 colour words
constexpr u32 palette_end = 0xFF8260;

// --- YM2149 -------------------------------------------------------------------

constexpr u32 ym_select = 0xFF8800; // register select; reads the selected register
constexpr u32 ym_data = 0xFF8802;

// --- MFP 68901 ----------------------------------------------------------------

constexpr u32 mfp_gpip = 0xFFFA01;  // general-purpose I/O; bit 0 = parallel BUSY
constexpr u32 mfp_ddr = 0xFFFA05;   // data direction of the GPIP lines
constexpr u32 mfp_iera = 0xFFFA07;  // interrupt enable A (bit 5 Timer A, bit 0 Timer B)
constexpr u32 mfp_ierb = 0xFFFA09;  // interrupt enable B (bit 5 Timer C, bit 6 ACIA)
constexpr u32 mfp_ipra = 0xFFFA0B;  // interrupt pending A
constexpr u32 mfp_iprb = 0xFFFA0D;
constexpr u32 mfp_isra = 0xFFFA0F;  // in service A
constexpr u32 mfp_isrb = 0xFFFA11;
constexpr u32 mfp_imra = 0xFFFA13;  // interrupt mask A
constexpr u32 mfp_imrb = 0xFFFA15;
constexpr u32 mfp_tacr = 0xFFFA19;  // Timer A control
constexpr u32 mfp_tbcr = 0xFFFA1B;  // Timer B control (8 = event count: display lines)
constexpr u32 mfp_tcdcr = 0xFFFA1D; // Timers C and D control
constexpr u32 mfp_tadr = 0xFFFA1F;  // Timer A data
constexpr u32 mfp_tbdr = 0xFFFA21;  // Timer B data
constexpr u32 mfp_tcdr = 0xFFFA23;  // Timer C data

// --- ACIAs --------------------------------------------------------------------

constexpr u32 acia_kbd_status = 0xFFFC00; // bit 7 byte received, bit 1 transmit empty
constexpr u32 acia_kbd_data = 0xFFFC02;
constexpr u32 acia_midi_status = 0xFFFC04;
constexpr u32 acia_midi_data = 0xFFFC06;

// --- exception and interrupt vectors --------------------------------------------

constexpr u32 vector_vbl = 0x000070;
constexpr u32 vector_level6 = 0x000078;
constexpr u32 vector_timer_c = 0x000114;
constexpr u32 vector_acia = 0x000118;
constexpr u32 vector_timer_b = 0x000120;
constexpr u32 vector_timer_a = 0x000134;

} // namespace st_io
