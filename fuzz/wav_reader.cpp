// Fuzz target: the WAV reader of pack songs, and the resampling and
// trimming that follow it.
#include <cstdint>
#include <cstdlib>

#include "sound/music_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  music_raw raw;
  if (!wav_read(data, size, &raw)) return 0;
  if (raw.frames < 1 || raw.channels != 2 || raw.rate < 1) std::abort();
  // Rates far from the output rate make songs of gigabytes; they are legal
  // but tell the fuzzer nothing more.
  if (static_cast<double>(raw.frames) * music_rate / raw.rate < 1 << 20) {
    int frames = 0;
    if (i16* pcm = music_resample(raw, &frames)) {
      int lead_in = 0;
      const int kept = music_trim(pcm, frames, &lead_in);
      if (kept < 0 || kept > frames || lead_in < 0 || lead_in + kept > frames) std::abort();
      std::free(pcm);
    }
  }
  std::free(raw.samples);
  return 0;
}
