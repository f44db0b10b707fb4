// The sample mixer: plays the game's digitised effects in the host instead
// of through the chip's volume registers, straight from the game's
// sample_table, on up to 32 voices (multichannel) and placed left to right
// by the screen position of their source (pan). Emulation thread only.
#pragma once
#include "machine/types.h"

constexpr u32 sample_table_address = 0xE86A;
constexpr int sample_count = 9;
constexpr int mixer_max_starts = 64;
constexpr int mixer_max_voices = 32;
// Voices that may play at full level; a ninth fades the oldest.
constexpr int mixer_audible_voices = 8;
// Sample bytes advanced per output frame: 4,915.2 Hz over 44,100 Hz.
constexpr double mixer_step = 4915.2 / 44100.0;
constexpr int mixer_fade_copy = 441; // a third copy of one sample, or a ninth voice
constexpr int mixer_fade_cut = 44;   // the game's own cut of its channel

struct sample_start {
  double time; // within the chunk, 0..1
  i32 sample;
  i32 voice;   // the game's channel: 0 = A, 1 = B
  float pan;   // 0 left .. 1 right
};

struct mixer_voice {
  const u8* levels;
  i32 length;
  double position;
  i32 start_offset;
  i32 sample;
  i32 voice;
  float pan;
  i32 fade; // frames left of a fade-out; -1 = not fading
};

// Sets both options and forgets the queued starts.
void mixer_options(int multi, int pan);
void mixer_set_gain(double gain);
// Queues a start for the next chunk (see the file for what is refused).
void mixer_start(int sample, int voice, double time, float pan);
// count stereo frames (left, right interleaved) into out; clears the queue.
void mixer_render(int count, float* out);
void mixer_reset();
// Frees the converted samples (the game's memory may have changed).
void mixer_drop_cache();

// For tests: the voices now playing and the queued starts.
int mixer_voice_count();
const mixer_voice* mixer_voices();
int mixer_queued();
