// Ogg Vorbis reader: the whole file at once through stb_vorbis.
#define STB_VORBIS_HEADER_ONLY
#include <stb_vorbis.h>

#include <climits>
#include <cstdlib>

#include "sound/music_decode.h"

int ogg_read(const u8* data, size_t size, music_raw* out) {
  if (size > INT_MAX) return 0;
  int channels = 0, rate = 0;
  short* samples = nullptr;
  const int frames = stb_vorbis_decode_memory(data, static_cast<int>(size), &channels, &rate, &samples);
  if (frames <= 0 || !samples) {
    std::free(samples);
    return 0;
  }
  out->samples = samples;
  out->frames = frames;
  out->channels = channels < 1 ? 1 : channels;
  out->rate = rate;
  return 1;
}
