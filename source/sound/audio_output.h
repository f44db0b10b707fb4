// Audio output: carries the chunks that the emulation thread assembles once
// per VBL to the sound device, whose own thread drains them. Between the
// two clocks sits a 4 MB ring of stereo 16-bit frames, held near a target
// latency: the device waits for the target before it plays, plays through
// an underrun with silence, resamples by at most 0.4 % to pull a drifting
// level back, and discards audio when the level runs far above the target.
// Every field is guarded by the handle's lock.
#pragma once
#include "machine/types.h"

struct port_mutex;

constexpr u64 audio_ring_bytes = 4194304;
constexpr int audio_frame_bytes = 4;
constexpr int audio_device_request = 1024; // frames per device buffer asked for

struct audio_output {
  i32 rate;
  double target; // ms
  i32 started;
  u8* ring;
  u64 read_position;
  u64 fill;
  i32 gaps;
  i32 trims;
  double last_push;
  u64 pushed;
  port_mutex* lock;
  u32 device;
  i32 device_frames;
  // The device thread's resampling input, sized at open for the largest
  // request the granted buffer can make.
  u8* work;
  u64 work_bytes;
};

// Opens the default device (rate, signed 16-bit stereo, 1,024-frame
// buffers; only the buffer size may differ, SDL converts the rest) and
// starts it. Null, logged, when SDL's audio or the device cannot start.
audio_output* audio_open(int rate, double target_ms);
// Stops and closes the device and frees the handle. Must run only after the
// emulation thread, the only caller of audio_push, has stopped. Null is
// ignored.
void audio_close(audio_output* h);

// A handle without a device (the device clock is then whoever calls
// sdl_audio_cb); device_frames sizes the resampling buffer.
audio_output* audio_output_new(int rate, double target_ms, int device_frames);
void audio_output_free(audio_output* h);
// Records the granted device buffer and sizes the resampling buffer for it
// (before the device runs). 0 when out of memory.
int audio_output_fit_device(audio_output* h, int device_frames);

// Appends n interleaved stereo frames; a null handle is ignored.
void audio_push(audio_output* h, const i16* frames, int n);
void audio_set_target(audio_output* h, double ms);
double audio_level_ms(audio_output* h);
void audio_stats(audio_output* h, int* gaps, int* trims, u64* pushed);
double audio_device_ms(audio_output* h);
// Low latency is not offered: 1 only to say that "off" holds.
int audio_set_lowlat(audio_output* h, int on);

// The device's callback: fills len bytes of stream from the ring.
void sdl_audio_cb(void* userdata, u8* stream, int len);
