// Whole-song decoding for the music loader: the reader chosen by content,
// then 44,100 Hz stereo by cubic interpolation, then the quiet ends trimmed.
#include "sound/music_decode.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "host/platform.h"

namespace {

i16 clip_round(double v) {
  if (!(v > -32768.0)) return -32768;
  if (v > 32767.0) return 32767;
  return static_cast<i16>(std::lround(v));
}

bool starts_with(const u8* data, size_t size, size_t at, const char* text) {
  const size_t n = std::strlen(text);
  return size >= at + n && std::memcmp(data + at, text, n) == 0;
}

// The reader by content: Ogg, WAV, else MP3 with Ogg as the last try.
int read_any(const u8* data, size_t size, music_raw* raw) {
  const bool ogg = starts_with(data, size, 0, "OggS");
  if (ogg) return ogg_read(data, size, raw);
  if (size >= 20 && starts_with(data, size, 0, "RIFF") && starts_with(data, size, 8, "WAVE") &&
      wav_read(data, size, raw))
    return 1;
  return mp3_read(data, size, raw) || ogg_read(data, size, raw);
}

} // namespace

i64 music_frames_needed(int rate) {
  const i64 r = rate > 0 ? std::clamp(rate, music_lowest_rate, music_highest_rate) : music_rate;
  // Output frame l reads up to two frames past l x rate / 44,100.
  return (i64{music_longest_song} * r + music_rate - 1) / music_rate + 2;
}

i16* music_resample(const music_raw& in, int* frames) {
  const int channels = std::max(in.channels, 1);
  const double ratio = static_cast<double>(in.rate) / music_rate;
  const double wanted = std::floor(in.frames / ratio + 0.5);
  if (!(wanted >= 1)) return nullptr;
  const int n = static_cast<int>(std::min<double>(wanted, music_longest_song));
  auto* out = static_cast<i16*>(std::malloc(static_cast<size_t>(n) * 2 * sizeof(i16)));
  if (!out) return nullptr;
  const i64 last = in.frames - 1;
  auto at = [&](i64 frame, int side) {
    return static_cast<double>(in.samples[frame * channels + std::min(side, channels - 1)]);
  };
  for (int l = 0; l < n; ++l) {
    const double p = static_cast<double>(l) * in.rate / music_rate;
    const i64 v = static_cast<i64>(p);
    const double u = p - static_cast<double>(v);
    const double u2 = u * u, u3 = u2 * u;
    const i64 i0 = std::max<i64>(v - 1, 0), i1 = std::min(v, last);
    const i64 i2 = std::min(v + 1, last), i3 = std::min(v + 2, last);
    for (int side = 0; side < 2; ++side) {
      const double x0 = at(i0, side), x1 = at(i1, side), x2 = at(i2, side), x3 = at(i3, side);
      const double y = x1 * (2 * u3 - 3 * u2 + 1) + x2 * (3 * u2 - 2 * u3) + (x2 - x0) / 2 * (u3 - 2 * u2 + u) +
                       (x3 - x1) / 2 * (u3 - u2);
      out[2 * l + side] = clip_round(y);
    }
  }
  *frames = n;
  return out;
}

int music_trim(i16* pcm, int frames, int* lead_in) {
  auto quiet = [&](int f) {
    return std::abs(pcm[2 * f]) <= music_quiet_level && std::abs(pcm[2 * f + 1]) <= music_quiet_level;
  };
  int first = 0;
  while (first < frames && quiet(first)) ++first;
  *lead_in = 0;
  if (first == frames) return frames; // silent throughout: kept whole
  int end = frames;
  while (end > first && quiet(end - 1)) --end;
  if (first > 0) std::memmove(pcm, pcm + 2 * first, static_cast<size_t>(end - first) * 2 * sizeof(i16));
  *lead_in = first;
  return end - first;
}

i16* decode_bytes(const u8* data, size_t size, int* frames, int* lead_in, int* file_rate) {
  if (size < 16) return nullptr;
  music_raw raw;
  if (!read_any(data, size, &raw)) return nullptr;
  if (raw.rate <= 0) raw.rate = music_rate;
  if (raw.rate < music_lowest_rate || raw.rate > music_highest_rate) {
    host_log("Music: a song at %d Hz is refused (songs need %d to %d Hz)", raw.rate, music_lowest_rate,
             music_highest_rate);
    std::free(raw.samples);
    return nullptr;
  }
  i16* pcm = raw.samples;
  int n = raw.frames;
  if (raw.rate != music_rate || raw.channels != 2) {
    pcm = music_resample(raw, &n);
    std::free(raw.samples);
    if (!pcm) return nullptr;
  }
  n = music_trim(pcm, std::min(n, music_longest_song), lead_in);
  if (n < music_shortest_song) {
    std::free(pcm);
    return nullptr;
  }
  *frames = n;
  *file_rate = raw.rate;
  return pcm;
}

i16* decode_file(const char* path, int* frames, int* lead_in, int* file_rate) {
  size_t size = 0;
  char* bytes = read_file(path, &size, music_largest_file);
  if (!bytes) return nullptr;
  i16* pcm = decode_bytes(reinterpret_cast<const u8*>(bytes), size, frames, lead_in, file_rate);
  std::free(bytes);
  return pcm;
}
