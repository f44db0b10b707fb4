// Ogg Vorbis reader through stb_vorbis: the headers checked first (stb
// trusts what they declare), the stream decoded frame by frame within a
// memory budget and kept up to the longest song, as a tiny file of silence
// can expand to any length.
#define STB_VORBIS_HEADER_ONLY
#include <stb_vorbis.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "host/platform.h"
#include "sound/music_decode.h"
#include "sound/music_ogg_headers.h"
#include "sound/music_ogg_memory.h"

namespace {

// The most samples per channel one Vorbis frame gives (half the largest
// block).
constexpr int largest_frame = 4096;

// As stb_vorbis's own conversion rounds (x x 32768 to the nearest, ties to
// even), without its int overflow when a hostile stream gives huge values:
// those are clipped, and no number at all is silence.
i16 to_sample(float x) {
  const double v = std::nearbyint(static_cast<double>(x) * 32768.0);
  if (v != v) return 0;
  return static_cast<i16>(std::clamp(v, -32768.0, 32767.0));
}

struct vorbis_closer {
  void operator()(stb_vorbis* v) const { stb_vorbis_close(v); }
};

} // namespace

int ogg_read(const u8* data, size_t size, music_raw* out) {
  if (size < 4 || size > INT_MAX || std::memcmp(data, "OggS", 4) != 0) return 0;
  if (const char* fault = ogg_headers_fault(data, size)) {
    host_log("Music: an Ogg song is refused (%s)", fault);
    return 0;
  }
  const ogg_memory_scope memory;
  int error = 0;
  std::unique_ptr<stb_vorbis, vorbis_closer> v(
      stb_vorbis_open_memory(data, static_cast<int>(size), &error, nullptr));
  if (!v) {
    if (error == VORBIS_outofmem)
      host_log("Music: an Ogg song is refused (it needs more than %zu MB to decode)", ogg_memory_most >> 20);
    return 0;
  }
  const stb_vorbis_info info = stb_vorbis_get_info(v.get());
  const int channels = std::max(info.channels, 1);
  // Of more channels the first two are heard: only they are kept.
  const int kept = std::min(channels, 2);
  const int rate = info.sample_rate > INT_MAX ? INT_MAX : static_cast<int>(info.sample_rate);
  const size_t most = static_cast<size_t>(music_frames_needed(rate));
  i16* samples = nullptr;
  size_t frames = 0, capacity = 0;
  while (frames < most) {
    float** frame = nullptr;
    const int n = std::min(stb_vorbis_get_frame_float(v.get(), nullptr, &frame), largest_frame);
    if (n <= 0) break;
    const size_t add = std::min(static_cast<size_t>(n), most - frames);
    if (frames + add > capacity) {
      const size_t grown = std::min(std::max(2 * capacity, frames + add + 65536), most);
      auto* more = static_cast<i16*>(std::realloc(samples, grown * kept * sizeof(i16)));
      if (!more) {
        std::free(samples);
        return 0;
      }
      samples = more, capacity = grown;
    }
    for (size_t i = 0; i < add; ++i)
      for (int c = 0; c < kept; ++c) samples[(frames + i) * kept + c] = to_sample(frame[c][i]);
    frames += add;
  }
  if (frames == 0) {
    std::free(samples);
    return 0;
  }
  out->samples = samples;
  out->frames = static_cast<int>(frames);
  out->channels = kept;
  out->rate = rate;
  return 1;
}
