// Ogg Vorbis reader through stb_vorbis: the stream decoded frame by frame
// and kept up to the longest song, as a tiny file of silence can expand to
// any length.
#define STB_VORBIS_HEADER_ONLY
#include <stb_vorbis.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "sound/music_decode.h"

namespace {

// The most samples per channel one Vorbis frame gives (half the largest
// block).
constexpr int largest_frame = 4096;

struct vorbis_closer {
  void operator()(stb_vorbis* v) const { stb_vorbis_close(v); }
};

} // namespace

int ogg_read(const u8* data, size_t size, music_raw* out) {
  if (size > INT_MAX) return 0;
  int error = 0;
  std::unique_ptr<stb_vorbis, vorbis_closer> v(
      stb_vorbis_open_memory(data, static_cast<int>(size), &error, nullptr));
  if (!v) return 0;
  const stb_vorbis_info info = stb_vorbis_get_info(v.get());
  const int channels = std::max(info.channels, 1);
  // Of more channels the first two are heard: only they are kept.
  const int kept = std::min(channels, 2);
  const int rate = info.sample_rate > INT_MAX ? INT_MAX : static_cast<int>(info.sample_rate);
  const size_t most = static_cast<size_t>(music_frames_needed(rate));
  std::vector<short> frame(static_cast<size_t>(channels) * largest_frame);
  i16* samples = nullptr;
  size_t frames = 0, capacity = 0;
  while (frames < most) {
    const int n = stb_vorbis_get_frame_short_interleaved(v.get(), channels, frame.data(),
                                                         static_cast<int>(frame.size()));
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
      std::memcpy(samples + (frames + i) * kept, frame.data() + i * channels, kept * sizeof(i16));
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
