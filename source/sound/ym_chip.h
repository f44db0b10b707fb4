// The YM2149 sound chip of the ST, rendered chunk by chunk from the register
// writes the machine logged during one VBL: three square-wave tone
// channels, the noise generator, the envelope and the mixer register, plus
// two pseudo-registers for the game's sample player (its writes of a 4-bit
// level to the volume registers of channels A and B arrive tagged, and are
// played as levels added beside the channels). Emulation thread only.
#pragma once
#include "machine/io_devices.h"

// Output sample budget of one chunk; larger requests are cut to it.
constexpr int ym_max_chunk = 8192;
// Writes of one register (or pseudo-register) kept per chunk.
constexpr int ym_events_per_register = 256;
// One period of the 17-bit noise shift register.
constexpr int ym_noise_period = 131071;

struct ym_state {
  i32 rate;
  u8 regs[16];
  double tone_phase[3];
  double noise_phase;
  i64 noise_position;
  double envelope_fraction;
  i32 envelope_started;
  i32 envelope_steps[64];
  i32 envelope_hold;
  i64 envelope_position;
  double sample_carry;
  double highpass_in, highpass_out;
  u32 sample_levels[2];
  float sample_gain;
  float channel_gains[3];
};

// A zeroed chip at that output rate with all gains 1; null when out of memory.
ym_state* ym_new(int rate);
void ym_free(ym_state* s);
void ym_set_state(ym_state* s, const u8 regs[16]);
void ym_set_channel_gains(ym_state* s, float a, float b, float c);
void ym_set_sample_gain(ym_state* s, double gain);
// Output samples for that many seconds, carrying the fraction to the next
// call. A non-finite or negative time counts as no time.
int ym_samples_for(ym_state* s, double seconds);

// The chip's 16 volume levels (also the sample mixer's curve), the 32 levels
// of the envelope, and one period of the noise sequence (0/1 bytes).
const float* ym_dac16();
const float* ym_dac32();
const u8* ym_noise_table();

// Applies the n events (sorted by time) and writes count mono samples
// (cut to ym_max_chunk) to out. With count <= 0 the events only set the
// registers and sample levels. Not re-entrant: one chip at a time.
void ym_render(ym_state* s, int count, const ym_event* events, int n, float* out);
