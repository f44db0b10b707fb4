// Ogg Vorbis reader through stb_vorbis: the headers checked first (stb
// trusts what they declare), the stream decoded frame by frame within a
// memory budget and each frame given to the song, which ends it at the
// longest song, as a tiny file of silence can expand to any length.
// stb's whole-file decoders are left out, as in music_ogg_stb.cpp.
#define STB_VORBIS_HEADER_ONLY
#define STB_VORBIS_NO_STDIO
#define STB_VORBIS_NO_INTEGER_CONVERSION
#include <stb_vorbis.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "host/platform.h"
#include "sound/music_decode.h"
#include "sound/music_ogg_headers.h"
#include "sound/music_ogg_memory.h"
#include "sound/music_ogg_stb.h"

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

// The right channel by Vorbis's order: 3 channels are L, C, R; 4 are FL,
// FR, RL, RR; 5 to 8 start FL, C, FR; the left is always channel 0. Other
// counts have no order of Vorbis's own: channels 0 and 1.
int vorbis_right_channel(int channels) {
  if (channels <= 1) return 0;
  if (channels == 3 || (channels >= 5 && channels <= 8)) return 2;
  return 1;
}

} // namespace

int ogg_read(const u8* data, size_t size, song_builder& song) {
  if (size < 4 || size > INT_MAX || std::memcmp(data, "OggS", 4) != 0) return 0;
  if (const char* fault = ogg_headers_fault(data, size)) {
    host_log("Music: an Ogg song is refused (%s)", fault);
    return 0;
  }
  const ogg_memory_scope memory;
  if (!memory.active()) return 0; // one song at a time on a thread
  int error = 0;
  std::unique_ptr<stb_vorbis, vorbis_closer> v(
      stb_vorbis_open_memory(data, static_cast<int>(size), &error, nullptr));
  if (!v) {
    if (error == VORBIS_outofmem)
      host_log("Music: an Ogg song is refused (it needs more than %zu MB to decode)", ogg_memory_most >> 20);
    return 0;
  }
  if (ogg_stb_cuts_residues(v.get())) {
    host_log("Music: an Ogg song is refused (its surround channels cannot be decoded: save it in stereo)");
    return 0;
  }
  const stb_vorbis_info info = stb_vorbis_get_info(v.get());
  const int channels = std::max(info.channels, 1);
  const int right = vorbis_right_channel(channels);
  const int rate = info.sample_rate > INT_MAX ? INT_MAX : static_cast<int>(info.sample_rate);
  if (!song.start(rate)) return 0;
  // Each Vorbis frame is given to the song as it is decoded.
  i16 chunk[2 * largest_frame];
  for (;;) {
    float** frame = nullptr;
    const int n = std::min(stb_vorbis_get_frame_float(v.get(), nullptr, &frame), largest_frame);
    if (n <= 0) break;
    for (int i = 0; i < n; ++i) {
      chunk[2 * i] = to_sample(frame[0][i]);
      chunk[2 * i + 1] = to_sample(frame[right][i]);
    }
    if (!song.add(chunk, n)) break;
  }
  return song.frames_taken() > 0 && !song.failed() ? 1 : 0;
}
