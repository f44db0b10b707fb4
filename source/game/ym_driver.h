// The YM driver's variables, `ym_driver_vars`, as offsets from the base the
// driver keeps in a3, and the tables and records it reads, at their 68k
// addresses. The driver's data arrives with the cold-start load; its
// tables and streams are game data and trusted as they are.
#pragma once
#include "machine/types.h"

constexpr u32 ym_driver_vars = 0x04152A; // a3 in every driver routine

// Offsets from ym_driver_vars.
namespace ym_var {
constexpr u32 tempo = 2067;            // byte, added to the accumulator per tick
constexpr u32 tempo_accumulator = 2068;
constexpr u32 noise_note = 2069;       // last note read by a voice in a noise mode
constexpr u32 noise_period = 2070;     // this tick's register 6 source
constexpr u32 mixer_shadow = 2071;     // the music's register 7 bits (1 = off)
constexpr u32 images = 3746;           // images of registers 0-10: images + r
constexpr u32 mixer_image = images + 7;
constexpr u32 effect_period = 3760;    // coarse, fine per channel: + 2 x channel
constexpr u32 effect_noise = 3766;
constexpr u32 effect_volume = 3768;    // + channel
constexpr u32 tune_flag = 4040;        // $FF while a tune plays
constexpr u32 effect_on = 4042;        // + channel; a long test spans +4045
constexpr u32 transpose = 4047;        // global, added to every note
constexpr u32 fade_speed = 4048;       // ticks per level step; 0 = no fade
constexpr u32 fade_counter = 4049;
constexpr u32 locks = 4050;            // + channel: the sample player owns it; a long test spans +4053
constexpr u32 period_scratch = 4054;   // word
constexpr u32 level = 4056;            // music level 0-15
constexpr u32 effect_records = 7632;   // + 26 x channel
constexpr u32 random = 7738;           // long
} // namespace ym_var

// `ym_voice`: 48 bytes per channel.
constexpr u32 ym_voice_a = 0x041CAC;
constexpr u32 ym_voice_size = 48;
namespace ym_voice {
constexpr u32 flags = 0;          // bit 0 phase, 1 alternate noise, 2 sweep, 3 slide, 5 sounding, 7 slide up
constexpr u32 noise_mode = 1;
constexpr u32 stream = 2;         // long
constexpr u32 order_list = 6;     // word, offset from the base
constexpr u32 order_position = 10; // word
constexpr u32 sweep_sum = 14;     // word
constexpr u32 arpeggio_start = 16; // long
constexpr u32 arpeggio = 20;      // long
constexpr u32 sweep_step = 24;    // signed byte
constexpr u32 sweep_delay = 25;
constexpr u32 volume_speed = 26;
constexpr u32 duration = 27;
constexpr u32 duration_reload = 28;
constexpr u32 note = 29;
constexpr u32 volume = 30;
constexpr u32 volume_counter = 31;
constexpr u32 volume_pointer = 32; // long
constexpr u32 instrument = 36;    // long
constexpr u32 volume_level = 40;
constexpr u32 modulation_depth = 41;
constexpr u32 modulation_step = 42;
constexpr u32 modulation_value = 43;
constexpr u32 modulation = 44;    // bit 6 on, bit 5 rising, bit 7 half speed
constexpr u32 click = 45;
constexpr u32 voice_transpose = 46;
constexpr u32 mixer_bits = 47;    // $09, $12 or $24
} // namespace ym_voice

// `ym_effect`: 26 bytes per channel; +0..+13 are the descriptor's copy.
namespace ym_effect {
constexpr u32 duration = 0;
constexpr u32 restart_interval = 1;
constexpr u32 period = 2;         // coarse, fine
constexpr u32 sweep_step = 4;     // word
constexpr u32 mask = 6;
constexpr u32 random = 7;
constexpr u32 sweep = 8;
constexpr u32 restarts = 9;
constexpr u32 volume_sequence = 10; // signed
constexpr u32 volume_interval = 11;
constexpr u32 endless = 12;
constexpr u32 sweep_interval = 13;
constexpr u32 restart_counter = 14;
constexpr u32 volume_counter = 15;
constexpr u32 sweep_counter = 16;
constexpr u32 volume_start = 18;  // long
constexpr u32 volume_pointer = 22; // long
constexpr u32 descriptor_size = 14;
constexpr u32 record_size = 26;
} // namespace ym_effect

// Tables of the game data; their words are offsets from the base.
constexpr u32 ym_command_table = 0x042034;
constexpr u32 ym_period_table = 0x0423E8;
constexpr u32 ym_arpeggio_table = 0x0424A8;
constexpr u32 ym_default_arpeggio = 0x0424C6;
constexpr u32 song_table = 0x042504;
constexpr u32 ym_effect_table = 0x0430D8;
constexpr u32 ym_effect_volume_table = 0x043278;
constexpr u32 ym_instrument_table = 0x043382;

// The sample player's channel locks, seen from outside the driver.
constexpr u32 ym_lock_a = ym_driver_vars + ym_var::locks;
constexpr u32 ym_lock_b = ym_lock_a + 1;

// The effect step of channel c (0-2) on a3 = ym_driver_vars; the body of
// the three step routines.
void ym_effect_step(u32 c);

// A new tune may report its own stream without event bytes once.
void ym_stream_guard_reset();
