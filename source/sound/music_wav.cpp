// WAV reader: RIFF chunks from byte 12, "fmt " and "data". Integer samples
// of 8, 16 and 24 bits and 32-bit float; integer sizes other than 8 and 16
// are read as a 24-bit sample in their lowest three bytes. Channels 0 and 1
// are front left and front right.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "sound/music_decode.h"

namespace {

u32 le16(const u8* p) { return p[0] | static_cast<u32>(p[1]) << 8; }
u32 le32(const u8* p) { return le16(p) | le16(p + 2) << 16; }

constexpr u32 tag_float = 3;
constexpr u32 tag_extensible = 0xFFFE;

struct wav_format {
  u32 tag = 0, channels = 0, rate = 0, bits = 0;
  bool is_float = false;
};

float float_at(const u8* p) {
  const u32 bits = le32(p);
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

i16 to_i16(double v) {
  if (!(v > -32768.0)) return -32768; // NaN too
  if (v > 32767.0) return 32767;
  return static_cast<i16>(std::lround(v));
}

// One sample starting at at, as a 16-bit level. A sample read wider than
// its stride (a 24-bit read of a 12-bit sample, say) may reach past the
// file's end, which reads as zero bytes.
i16 sample_at(const u8* at, const u8* end, const wav_format& f) {
  u8 p[4] = {};
  for (int k = 0; k < 4 && at + k < end; ++k) p[k] = at[k];
  if (f.is_float) return to_i16(static_cast<double>(float_at(p)) * 32767.0);
  switch (f.bits) {
    case 8: return to_i16((static_cast<int>(p[0]) - 128) * 256.0);
    case 16: return static_cast<i16>(le16(p));
    default: {
      const i32 v = static_cast<i32>((le16(p) | static_cast<u32>(p[2]) << 16) << 8) >> 8;
      return to_i16(v / 256.0);
    }
  }
}

} // namespace

int wav_read(const u8* data, size_t size, song_builder& song) {
  if (size < 20 || std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "WAVE", 4) != 0) return 0;
  wav_format f;
  bool have_format = false;
  const u8* samples = nullptr;
  size_t sample_bytes = 0;
  size_t at = 12;
  while (size - at >= 8) {
    const u8* chunk = data + at;
    const size_t left = size - at - 8;
    const size_t chunk_size = std::min<size_t>(le32(chunk + 4), left);
    const u8* body = chunk + 8;
    if (std::memcmp(chunk, "fmt ", 4) == 0 && chunk_size >= 16) {
      f.tag = le16(body);
      f.channels = le16(body + 2);
      f.rate = le32(body + 4);
      f.bits = le16(body + 14);
      f.is_float = f.tag == tag_float || (f.tag == tag_extensible && f.bits == 32 && chunk_size >= 40);
      have_format = true;
    } else if (std::memcmp(chunk, "data", 4) == 0) {
      samples = body;
      sample_bytes = chunk_size;
    }
    const size_t step = 8 + chunk_size + (chunk_size & 1);
    if (step > size - at) break;
    at += step;
  }
  if (!have_format || !samples || f.rate == 0 || f.rate > 0x7FFFFFFF || f.channels == 0 || f.bits == 0) return 0;
  const size_t stride = f.bits / 8; // bytes of one channel's sample
  const size_t frame_bytes = f.channels * static_cast<size_t>(f.bits) / 8;
  if (frame_bytes == 0) return 0;
  const size_t frames = sample_bytes / frame_bytes;
  if (frames == 0 || !song.start(static_cast<int>(f.rate), static_cast<i64>(frames))) return 0;
  // A few thousand frames at a time; the song says when it has enough
  // (frames past the longest song are never heard, so never read).
  constexpr size_t chunk_frames = 4096;
  i16 chunk[2 * chunk_frames];
  const u8* end = data + size;
  for (size_t first = 0; first < frames; first += chunk_frames) {
    const size_t n = std::min(chunk_frames, frames - first);
    for (size_t i = 0; i < n; ++i) {
      const u8* frame = samples + (first + i) * frame_bytes;
      chunk[2 * i] = sample_at(frame, end, f);
      chunk[2 * i + 1] = f.channels > 1 ? sample_at(frame + stride, end, f) : chunk[2 * i];
    }
    if (!song.add(chunk, static_cast<int>(n))) break;
  }
  return song.frames_taken() > 0 && !song.failed() ? 1 : 0;
}
