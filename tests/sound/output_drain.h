// Takes every frame pushed to an audio output since the last drain, as the
// device would, for tests of the audio assembly.
#pragma once
#include <vector>

#include "sound/audio_output.h"

inline std::vector<i16> drain_output(audio_output* out) {
  std::vector<i16> frames(out->fill / 2);
  for (u64 i = 0; i < out->fill; ++i)
    reinterpret_cast<u8*>(frames.data())[i] = out->ring[(out->read_position + i) % audio_ring_bytes];
  out->read_position = (out->read_position + out->fill) % audio_ring_bytes;
  out->fill = 0;
  return frames;
}
