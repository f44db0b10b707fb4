// Hand-made song files for the music loader's tests: WAV files built byte
// by byte, and stereo test signals.
#pragma once
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "machine/types.h"

namespace song_files {

inline void put16(std::string& s, u32 v) {
  s += static_cast<char>(v & 0xFF);
  s += static_cast<char>((v >> 8) & 0xFF);
}
inline void put32(std::string& s, u32 v) {
  put16(s, v & 0xFFFF);
  put16(s, v >> 16);
}
inline std::string chunk(const char* id, const std::string& body, u32 declared_size = UINT32_MAX) {
  std::string s(id, 4);
  put32(s, declared_size == UINT32_MAX ? static_cast<u32>(body.size()) : declared_size);
  s += body;
  if (body.size() & 1) s += '\0';
  return s;
}

struct wav_format {
  u32 tag = 1, channels = 2, rate = 44100, bits = 16;
  u32 fmt_size = 16; // 40 for an extensible header
};

inline std::string fmt_chunk(const wav_format& f) {
  std::string body;
  put16(body, f.tag);
  put16(body, f.channels);
  put32(body, f.rate);
  put32(body, f.rate * f.channels * f.bits / 8);
  put16(body, f.channels * f.bits / 8);
  put16(body, f.bits);
  body.resize(f.fmt_size, '\0');
  return chunk("fmt ", body);
}

inline std::string riff(const std::string& chunks) {
  std::string s = "RIFF";
  put32(s, static_cast<u32>(4 + chunks.size()));
  return s + "WAVE" + chunks;
}

// 16-bit samples, interleaved as given.
inline std::string pcm16(const std::vector<i16>& samples) {
  std::string s;
  for (i16 v : samples) put16(s, static_cast<u16>(v));
  return s;
}

inline std::string wav16(const std::vector<i16>& samples, u32 channels = 2, u32 rate = 44100) {
  wav_format f;
  f.channels = channels, f.rate = rate;
  return riff(fmt_chunk(f) + chunk("data", pcm16(samples)));
}

// Stereo frames whose left side counts the frame and whose right side is
// its negative, offset clear of the quiet level so nothing is trimmed.
inline std::vector<i16> counting_song(int frames, int offset = 100) {
  std::vector<i16> s;
  for (int i = 0; i < frames; ++i) {
    const i16 v = static_cast<i16>(offset + i % 20000);
    s.push_back(v);
    s.push_back(static_cast<i16>(-v));
  }
  return s;
}

// A sine of the given frequency, as interleaved samples of channels.
inline std::vector<i16> sine(int frames, int channels, int rate, double hz, double level = 12000) {
  std::vector<i16> s;
  for (int i = 0; i < frames; ++i)
    for (int c = 0; c < channels; ++c)
      s.push_back(static_cast<i16>(std::lround(level * std::sin(2 * M_PI * hz * i / rate + c + 0.5))));
  return s;
}

} // namespace song_files
