// Decoding of pack songs: the WAV reader's formats and chunk rules, the
// choice of decoder by content, resampling to 44,100 Hz stereo chunk by
// chunk, trimming of the quiet ends, MP3 and Ogg songs made with the
// reference encoders, and the Ogg decoder's memory budget.
#include "sound/music_decode.h"

#include <gtest/gtest.h>
#include <ogg/ogg.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "song_encoders.h"
#include "song_files.h"
#include "sound/music_ogg_memory.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

namespace {

using namespace song_files;

struct decoded {
  std::vector<i16> pcm; // empty: the decoder refused
  int lead_in = -1;
  int rate = -1;
  int frames() const { return static_cast<int>(pcm.size() / 2); }
};

decoded decode(const std::string& bytes) {
  decoded d;
  int frames = 0;
  i16* pcm = decode_bytes(reinterpret_cast<const u8*>(bytes.data()), bytes.size(), &frames, &d.lead_in, &d.rate);
  if (pcm) d.pcm.assign(pcm, pcm + 2 * static_cast<size_t>(frames));
  std::free(pcm);
  return d;
}

// A WAV of n frames with the given format whose samples are made of the
// bytes that write(sample) gives for each channel of each frame.
template <class Writer>
std::string wav_of(const wav_format& f, int frames, Writer write) {
  std::string data;
  for (int i = 0; i < frames; ++i)
    for (u32 c = 0; c < f.channels; ++c) data += write(i, static_cast<int>(c));
  return riff(fmt_chunk(f) + chunk("data", data));
}

TEST(MusicWav, SampleFormats) {
  struct row {
    const char* what;
    wav_format format;
    std::string (*sample)(int frame, int channel);
    i16 left, right; // every frame's value
  };
  static auto le_float = [](float f) {
    u32 bits;
    std::memcpy(&bits, &f, 4);
    std::string s;
    put32(s, bits);
    return s;
  };
  const row rows[] = {
      {"16-bit", {1, 2, 44100, 16, 16}, [](int, int c) { std::string s; put16(s, c ? 0x9000 : 1234); return s; },
       1234, -28672},
      {"8-bit is offset by 128", {1, 2, 44100, 8, 16},
       [](int, int c) { return std::string(1, static_cast<char>(c ? 0 : 200)); }, (200 - 128) * 256, -32768},
      {"24-bit over 256, rounded", {1, 2, 44100, 24, 16},
       [](int, int c) {
         std::string s;
         const i32 v = c ? -0x123480 : 0x1234C0; // 4660.75 and -4660.5
         s += static_cast<char>(v & 0xFF), s += static_cast<char>((v >> 8) & 0xFF);
         s += static_cast<char>((v >> 16) & 0xFF);
         return s;
       },
       4661, -4661},
      {"32-bit integer: its lowest three bytes", {1, 2, 44100, 32, 16},
       [](int, int c) { std::string s; put32(s, c ? 0x7F000100u : 0x00FFFF00u); return s; }, -1, 1},
      {"float", {3, 2, 44100, 32, 16}, [](int, int c) { return le_float(c ? -2.0f : 0.25f); }, 8192, -32768},
      {"float just above full scale", {3, 2, 44100, 32, 16},
       [](int, int c) { return le_float(c ? 1.00002f : -1.00002f); }, -32768, 32767},
      {"extensible float", {0xFFFE, 2, 44100, 32, 40}, [](int, int c) { return le_float(c ? 1.0f : -0.5f); },
       -16384, 32767},
      {"extensible with a short header is integer", {0xFFFE, 2, 44100, 32, 16},
       [](int, int c) { std::string s; put32(s, c ? 0x00001000u : 0x00020000u); return s; }, 512, 16},
      {"mono plays on both sides", {1, 1, 44100, 16, 16}, [](int, int) { std::string s; put16(s, 777); return s; },
       777, 777},
      {"channels beyond two are ignored", {1, 4, 44100, 16, 16},
       [](int, int c) { std::string s; put16(s, static_cast<u32>(1000 * (c + 1))); return s; }, 1000, 2000},
  };
  for (const row& r : rows) {
    const decoded d = decode(wav_of(r.format, 1500, r.sample));
    ASSERT_EQ(d.frames(), 1500) << r.what;
    EXPECT_EQ(d.pcm[0], r.left) << r.what;
    EXPECT_EQ(d.pcm[1], r.right) << r.what;
    EXPECT_EQ(d.pcm[2 * 1499 + 1], r.right) << r.what;
    EXPECT_EQ(d.rate, 44100) << r.what;
  }
}

TEST(MusicWav, ChunksAreWalkedWithTheirPaddingAndClampedToTheFile) {
  const std::vector<i16> song = counting_song(1200);
  // An odd-sized chunk before "fmt " is padded to an even length.
  const std::string padded = riff(chunk("LIST", "odd") + fmt_chunk({}) + chunk("data", pcm16(song)));
  EXPECT_EQ(decode(padded).pcm, song);
  // A data chunk that claims more than the file holds ends with the file.
  std::string cut = riff(fmt_chunk({}) + chunk("data", pcm16(song), 0x7FFFFFF0u));
  EXPECT_EQ(decode(cut).pcm, song);
  // A frame split by the file's end is not read.
  cut.pop_back();
  EXPECT_EQ(decode(cut).frames(), 1199);
}

TEST(MusicWav, BrokenFilesAreRefused) {
  const std::string data = chunk("data", pcm16(counting_song(1200)));
  wav_format no_rate;
  no_rate.rate = 0;
  wav_format no_channels;
  no_channels.channels = 0;
  wav_format no_bits;
  no_bits.bits = 0;
  wav_format short_fmt;
  short_fmt.fmt_size = 14;
  const std::string rows[] = {
      riff(data),                                 // no "fmt "
      riff(fmt_chunk({})),                        // no "data"
      riff(fmt_chunk(no_rate) + data),
      riff(fmt_chunk(no_channels) + data),
      riff(fmt_chunk(no_bits) + data),
      riff(fmt_chunk(short_fmt) + data),
      riff(fmt_chunk({}) + chunk("data", "")),    // no frames
      riff(fmt_chunk({}) + data).substr(0, 15),   // fewer than 16 bytes
  };
  for (const std::string& file : rows) EXPECT_TRUE(decode(file).pcm.empty()) << file.size();
}

// An 8-bit mono WAV of n frames at rate, loud throughout (alternating
// levels well above the quiet level).
std::string loud_wav(u32 rate, int frames) {
  wav_format f;
  f.channels = 1, f.rate = rate, f.bits = 8;
  return wav_of(f, frames, [](int i, int) { return std::string(1, static_cast<char>(i % 2 ? 20 : 236)); });
}

// A tiny file at a very low rate would become a song of gigabytes: the
// reader stops reading once the song has what the longest song needs.
TEST(MusicWav, ReadsNoMoreFramesThanTheLongestSongNeeds) {
  struct row {
    u32 rate;
    int in_file, kept;
  };
  const row rows[] = {
      {1000, 400000, 391839},   // 17,280,000 x 1,000 / 44,100 = 391,836.7, up, and two after
      {44100, 100, 100},
      {22050, 5000, 5000},      // short songs whole
  };
  for (const row& r : rows) {
    const std::string file = loud_wav(r.rate, r.in_file);
    song_builder song;
    ASSERT_EQ(wav_read(reinterpret_cast<const u8*>(file.data()), file.size(), song), 1) << r.rate;
    EXPECT_EQ(song.frames_taken(), r.kept) << r.rate;
    EXPECT_EQ(song.frames_taken(), std::min<i64>(r.in_file, music_frames_needed(static_cast<int>(r.rate)))) << r.rate;
  }
  // A rate of 1 Hz is refused before a frame is read.
  const std::string slow = loud_wav(1, 400000);
  song_builder song;
  EXPECT_EQ(wav_read(reinterpret_cast<const u8*>(slow.data()), slow.size(), song), 0);
  EXPECT_EQ(song.refused_rate(), 1);
  EXPECT_EQ(song.frames_taken(), 0);
}

TEST(MusicDecode, RatesOutside1000To192000HzAreRefusedWithALogLine) {
  log_capture log;
  EXPECT_TRUE(decode(loud_wav(1, 8000)).pcm.empty());
  EXPECT_TRUE(log.has("Music: a song at 1 Hz is refused (songs need 1000 to 192000 Hz)")) << log.text();
  EXPECT_TRUE(decode(loud_wav(999, 2000)).pcm.empty());
  EXPECT_TRUE(decode(loud_wav(192001, 400000)).pcm.empty());
  EXPECT_TRUE(log.has("Music: a song at 192001 Hz is refused (songs need 1000 to 192000 Hz)")) << log.text();
  const decoded lowest = decode(loud_wav(1000, 2000));
  EXPECT_EQ(lowest.rate, 1000);
  EXPECT_EQ(lowest.frames(), 88200);
  const decoded highest = decode(loud_wav(192000, 192000));
  EXPECT_EQ(highest.rate, 192000);
  EXPECT_EQ(highest.frames(), 44100);
  // An Ogg stream whose header says 999 Hz: refused by its reader, no other
  // reader tried.
  std::string ogg = encode_ogg(sine(4410, 2, 44100, 440), 2, 44100);
  ogg_page first{reinterpret_cast<unsigned char*>(ogg.data()), 28, reinterpret_cast<unsigned char*>(ogg.data()) + 28,
                 30};
  // The first page holds the identification header alone: 30 bytes.
  ASSERT_TRUE(ogg_page_bos(&first));
  ASSERT_EQ(ogg[26], 1);
  ASSERT_EQ(ogg[27], 30);
  first.body[12] = 999 & 0xFF, first.body[13] = 999 >> 8, first.body[14] = first.body[15] = 0;
  ogg_page_checksum_set(&first);
  song_builder song;
  EXPECT_EQ(ogg_read(reinterpret_cast<const u8*>(ogg.data()), ogg.size(), song), 0);
  EXPECT_EQ(song.refused_rate(), 999);
  EXPECT_TRUE(decode(ogg).pcm.empty());
  EXPECT_TRUE(log.has("Music: a song at 999 Hz is refused (songs need 1000 to 192000 Hz)")) << log.text();
}

// Every decoder's output ends at the longest song: here a 1,000 Hz song
// that would resample to 17,287,999 frames (and more in the file), and one
// at the output rate that is longer.
TEST(MusicDecode, SongsAreCutAtTheLongestSong) {
  const decoded d = decode(loud_wav(1000, 400000));
  ASSERT_EQ(d.frames(), music_longest_song);
  EXPECT_EQ(d.lead_in, 0);
  EXPECT_EQ(d.rate, 1000);
  // Every tenth file frame lands on an output frame unchanged: file frame
  // 391,830 (an even one, loud positive) on output frame 17,279,703.
  EXPECT_EQ(d.pcm[0], (236 - 128) * 256);
  EXPECT_EQ(d.pcm[2 * 17279703], (236 - 128) * 256);
  EXPECT_EQ(d.pcm[2 * 17279703 + 1], (236 - 128) * 256);
  const decoded same_rate = decode(loud_wav(44100, music_longest_song + 5000));
  ASSERT_EQ(same_rate.frames(), music_longest_song);
  EXPECT_EQ(same_rate.pcm[2 * (music_longest_song - 1)], (20 - 128) * 256); // odd frames are low
}

TEST(MusicDecode, QuietEndsAreTrimmedAndCounted) {
  std::vector<i16> song(2 * 300, 0);
  // Exactly at the quiet level on both sides is still quiet.
  for (int i = 0; i < 300; ++i) {
    song[2 * i] = static_cast<i16>(i % 2 ? 24 : -24);
    song[2 * i + 1] = static_cast<i16>(i % 3 ? -24 : 24);
  }
  const std::vector<i16> loud = counting_song(1500);
  song.insert(song.end(), loud.begin(), loud.end());
  song.insert(song.end(), {0, 25}); // loud on one side only
  song.insert(song.end(), 2 * 50, -3);
  const decoded d = decode(wav16(song));
  EXPECT_EQ(d.lead_in, 300);
  ASSERT_EQ(d.frames(), 1501);
  EXPECT_TRUE(std::equal(loud.begin(), loud.end(), d.pcm.begin()));
  EXPECT_EQ(d.pcm[2 * 1500 + 1], 25);
  // One quiet frame before the song.
  std::vector<i16> one_quiet = {3, -3};
  one_quiet.insert(one_quiet.end(), loud.begin(), loud.end());
  const decoded e = decode(wav16(one_quiet));
  EXPECT_EQ(e.lead_in, 1);
  EXPECT_EQ(e.pcm, loud);
}

TEST(MusicDecode, ShortSongsFailAndSilentOnesAreKeptWhole) {
  EXPECT_TRUE(decode(wav16(counting_song(999))).pcm.empty());
  EXPECT_EQ(decode(wav16(counting_song(1000))).frames(), 1000);
  std::vector<i16> quiet(2 * 999, 0);
  std::vector<i16> quiet_then_999 = quiet;
  const std::vector<i16> loud = counting_song(999);
  quiet_then_999.insert(quiet_then_999.end(), loud.begin(), loud.end());
  EXPECT_TRUE(decode(wav16(quiet_then_999)).pcm.empty()); // 999 audible frames
  const decoded silent = decode(wav16(std::vector<i16>(2 * 1200, 5)));
  EXPECT_EQ(silent.frames(), 1200);
  EXPECT_EQ(silent.lead_in, 0);
}

TEST(MusicDecode, ResamplingToTheOutputRate) {
  // A 22,050 Hz mono WAV: twice the frames, both sides equal.
  const std::vector<i16> mono = sine(2000, 1, 22050, 441);
  const decoded d = decode(wav16(mono, 1, 22050));
  ASSERT_EQ(d.frames(), 4000);
  EXPECT_EQ(d.rate, 22050);
  for (int i = 0; i < d.frames(); ++i) ASSERT_EQ(d.pcm[2 * i], d.pcm[2 * i + 1]) << i;
  // Source frames land on the even output frames unchanged.
  for (int i = 0; i < 2000; ++i) ASSERT_EQ(d.pcm[4 * i], mono[i]) << i;
}

// What the song builder makes of stereo frames at rate given chunk frames at
// a time (all at once for 0); empty when it makes no song.
struct resampling {
  std::vector<i16> pcm;
  int most_held = 0;
  int frames() const { return static_cast<int>(pcm.size() / 2); }
};

resampling resample(const std::vector<i16>& in, int rate, int chunk = 0) {
  resampling r;
  song_builder song;
  if (!song.start(rate)) return r;
  const int frames = static_cast<int>(in.size() / 2);
  const int step = chunk > 0 ? chunk : std::max(frames, 1);
  for (int at = 0; at < frames; at += step)
    if (!song.add(in.data() + 2 * at, std::min(step, frames - at))) break;
  r.most_held = song.most_held();
  int n = 0;
  std::unique_ptr<i16, decltype(&std::free)> out(song.finish(&n), &std::free);
  if (out) r.pcm.assign(out.get(), out.get() + 2 * static_cast<size_t>(n));
  return r;
}

TEST(MusicDecode, HermiteInterpolationBetweenFrames) {
  // Frames 0, 100, 300, 600 on the left, their negatives on the right.
  std::vector<i16> in;
  for (int v : {0, 100, 300, 600, 600, 600}) in.push_back(static_cast<i16>(v)), in.push_back(static_cast<i16>(-v));
  const resampling out = resample(in, 22050);
  ASSERT_EQ(out.frames(), 12);
  // Halfway between 100 and 300: 50 + 150 + 150 / 8 - 250 / 8 = 187.5.
  EXPECT_EQ(out.pcm[2 * 3], 188);
  EXPECT_EQ(out.pcm[2 * 3 + 1], -188);
  // Halfway between 300 and 600 the tangent reaches back to 100, the frame
  // before: 150 + 300 + 500 / 16 - 300 / 16 = 462.5.
  EXPECT_EQ(out.pcm[2 * 5], 463);
  EXPECT_EQ(out.pcm[2 * 5 + 1], -463);
  // At the first frame the missing neighbour before it is the frame itself.
  // Halfway between 0 and 100: 50 + 50 / 8 - 300 / 16 = 37.5.
  EXPECT_EQ(out.pcm[2 * 1], 38);
  // Past the last frame the neighbours repeat it.
  EXPECT_EQ(out.pcm[2 * 11], 600);
  // 48,000 Hz: frames / (48,000 / 44,100) rounded.
  const resampling fast = resample(std::vector<i16>(2 * 4800, 1000), 48000);
  EXPECT_EQ(fast.frames(), 4410);
  EXPECT_EQ(fast.pcm[2 * 4409], 1000);
  // One frame at twice the output rate rounds to one frame; above that
  // rate to none, which is no output.
  const std::vector<i16> one = {500, -500};
  const resampling single = resample(one, 88200);
  ASSERT_EQ(single.frames(), 1);
  EXPECT_EQ(single.pcm[1], -500);
  EXPECT_EQ(resample(one, 88201).frames(), 0);
}

// A full-scale step makes the curve overshoot past it: held at the top on
// a rise, at the bottom on a fall, never wrapped around.
TEST(MusicDecode, HermiteOvershootIsClipped) {
  struct row {
    const char* what;
    std::initializer_list<int> frames;
    i16 limit;
    i16 turning; // a quarter past the turn back
  };
  const row rows[] = {
      {"rise", {-32768, -32768, 32767, 32767, -32768, -32768}, 32767, 19455},
      {"fall", {32767, 32767, -32768, -32768, 32767, 32767}, -32768, -19456},
  };
  for (const row& r : rows) {
    std::vector<i16> in;
    for (int v : r.frames) in.push_back(static_cast<i16>(v)), in.push_back(0);
    const resampling out = resample(in, 11025);
    ASSERT_EQ(out.frames(), 24) << r.what;
    bool clipped = false;
    for (int i = 0; i < out.frames(); ++i) clipped |= out.pcm[2 * i] == r.limit;
    EXPECT_TRUE(clipped) << r.what;
    // Between the two full-scale frames after the step the curve goes
    // beyond them (by 6,144 a quarter in, 8,192 halfway): held at the limit.
    for (int i : {9, 10, 11}) EXPECT_EQ(out.pcm[2 * i], r.limit) << r.what << " " << i;
    EXPECT_EQ(out.pcm[2 * 12], r.limit) << r.what;
    // A quarter into the step back the curve is well within.
    EXPECT_EQ(out.pcm[2 * 13], r.turning) << r.what;
  }
}

// Songs are resampled chunk by chunk as the readers give them: the output
// is the same however the input is cut, and only the last chunk and the
// three frames before it are held.
TEST(MusicDecode, ResamplingChunkByChunk) {
  std::vector<i16> in;
  for (int i = 0; i < 3001; ++i) {
    in.push_back(static_cast<i16>(std::lround(9000 * std::sin(i * 0.05) + 3 * (i % 17))));
    in.push_back(static_cast<i16>(i * 7 % 20000 - 10000));
  }
  for (int rate : {1000, 8000, 22050, 44100, 48000, 96000, 192000}) {
    const resampling whole = resample(in, rate);
    ASSERT_EQ(whole.frames(), static_cast<int>(std::floor(3001 / (rate / 44100.0) + 0.5))) << rate;
    for (int chunk : {1, 2, 3, 4, 7, 64, 1000}) {
      const resampling cut = resample(in, rate, chunk);
      EXPECT_EQ(cut.pcm, whole.pcm) << rate << " in chunks of " << chunk;
      EXPECT_LE(cut.most_held, chunk + 3) << rate << " in chunks of " << chunk;
    }
  }
}

TEST(MusicDecode, ContentDecidesTheDecoder) {
  const std::vector<i16> song = counting_song(1500);
  temp_dir dir;
  // A WAV named .mp3 is read as WAV.
  spit(dir / "mission.mp3", wav16(song));
  int frames = 0, lead_in = 0, rate = 0;
  std::unique_ptr<i16, decltype(&std::free)> pcm(decode_file((dir / "mission.mp3").c_str(), &frames, &lead_in, &rate),
                                                  &std::free);
  ASSERT_TRUE(pcm);
  EXPECT_TRUE(std::equal(song.begin(), song.end(), pcm.get()));
  EXPECT_EQ(decode_file((dir / "missing.wav").c_str(), &frames, &lead_in, &rate), nullptr);
  // Noise is no song for any decoder.
  std::string noise;
  for (int i = 0; i < 5000; ++i) noise += static_cast<char>((i * 7919) >> 3);
  EXPECT_TRUE(decode(noise).pcm.empty());
  EXPECT_TRUE(decode("OggS and nothing that Ogg needs").pcm.empty());
  for (auto* read : {wav_read, mp3_read, ogg_read}) {
    song_builder song;
    EXPECT_EQ(read(reinterpret_cast<const u8*>(noise.data()), noise.size(), song), 0);
    EXPECT_EQ(song.frames_taken(), 0);
  }
  // A WAV that yields nothing (no "fmt ") is tried as MP3: the frames after
  // its chunk headers are found.
  const std::string mp3 = encode_mp3(sine(22050, 1, 22050, 300), 1, 22050);
  const decoded in_riff = decode(riff(chunk("data", mp3)));
  EXPECT_EQ(in_riff.rate, 22050);
  EXPECT_EQ(in_riff.frames(), decode(mp3).frames());
}

// The level of a song near its middle, to compare what came out of an
// encoder with what went in.
double rms(const std::vector<i16>& pcm, int side) {
  double sum = 0;
  const size_t frames = pcm.size() / 2;
  for (size_t i = frames / 4; i < 3 * frames / 4; ++i) sum += double(pcm[2 * i + side]) * pcm[2 * i + side];
  return std::sqrt(sum / static_cast<double>(frames / 2));
}

TEST(MusicDecode, Mp3Songs) {
  const std::vector<i16> stereo = sine(44100, 2, 44100, 440);
  const decoded d = decode(encode_mp3(stereo, 2, 44100));
  // The encoder adds its delay and padding: at most two frames of 1,152.
  ASSERT_GE(d.frames(), 44100);
  EXPECT_LE(d.frames(), 44100 + 2 * 1152 + 1152);
  EXPECT_EQ(d.rate, 44100);
  EXPECT_NEAR(rms(d.pcm, 0), 12000 / std::sqrt(2.0), 600);
  EXPECT_NEAR(rms(d.pcm, 1), 12000 / std::sqrt(2.0), 600);

  // A mono 22,050 Hz song comes out stereo at 44,100 Hz, sides equal.
  const std::string mono = encode_mp3(sine(22050, 1, 22050, 300), 1, 22050);
  const decoded m = decode(mono);
  EXPECT_EQ(m.rate, 22050);
  ASSERT_GE(m.frames(), 44100);
  for (int i = 0; i < m.frames(); ++i) ASSERT_EQ(m.pcm[2 * i], m.pcm[2 * i + 1]) << i;

  // An ID3v2 tag before the frames is skipped (size in 7-bit bytes: 200).
  std::string tag = std::string("ID3\x03\x00\x00\x00\x00\x01\x48", 10) + std::string(200, 'x');
  EXPECT_EQ(decode(tag + mono).frames(), m.frames());
  // A file that starts like Ogg is Ogg only: MP3 frames after those four
  // letters are not tried, though the MP3 decoder would find them.
  EXPECT_EQ(decode("OggX" + mono).frames(), m.frames());
  EXPECT_TRUE(decode("OggS" + mono).pcm.empty());
}

TEST(MusicDecode, OggSongs) {
  const std::vector<i16> stereo = sine(44100, 2, 44100, 440);
  const std::string ogg = encode_ogg(stereo, 2, 44100);
  const decoded d = decode(ogg);
  ASSERT_EQ(d.frames(), 44100);
  EXPECT_NEAR(rms(d.pcm, 0), 12000 / std::sqrt(2.0), 600);
  // Ogg data in a file named .mp3 is still Ogg.
  temp_dir dir;
  spit(dir / "mission.mp3", ogg);
  int frames = 0, lead_in = 0, rate = 0;
  std::unique_ptr<i16, decltype(&std::free)> pcm(decode_file((dir / "mission.mp3").c_str(), &frames, &lead_in, &rate),
                                                  &std::free);
  EXPECT_EQ(frames, 44100);
  // Stereo sides are kept apart: a silent right side stays silent.
  std::vector<i16> left_only = stereo;
  for (size_t i = 1; i < left_only.size(); i += 2) left_only[i] = 0;
  const decoded sides = decode(encode_ogg(left_only, 2, 44100));
  EXPECT_NEAR(rms(sides.pcm, 0), 12000 / std::sqrt(2.0), 600);
  EXPECT_LT(rms(sides.pcm, 1), 100);
  // Mono at the output rate: both sides equal.
  const decoded same_rate = decode(encode_ogg(sine(44100, 1, 44100, 300), 1, 44100));
  ASSERT_EQ(same_rate.frames(), 44100);
  for (int i = 0; i < same_rate.frames(); ++i) ASSERT_EQ(same_rate.pcm[2 * i], same_rate.pcm[2 * i + 1]) << i;
  // Mono at 32,000 Hz: resampled, both sides equal.
  const decoded m = decode(encode_ogg(sine(32000, 1, 32000, 300), 1, 32000));
  EXPECT_EQ(m.rate, 32000);
  ASSERT_EQ(m.frames(), 44100);
  for (int i = 0; i < m.frames(); ++i) ASSERT_EQ(m.pcm[2 * i], m.pcm[2 * i + 1]) << i;
}

// MP3 songs above the output rate are kept whole up to the longest song at
// the output rate: 370 s of silence at 48,000 Hz (6:10) come out as 6:10,
// not cut at 6:00 (17,280,000 frames at the file's rate).
TEST(MusicDecode, LongMp3SongsAbove44100HzAreKeptWhole) {
  constexpr int rate = 48000, seconds = 370;
  const std::string mp3 = encode_mp3(std::vector<i16>(size_t{rate} * seconds, 0), 1, rate, 32);
  const decoded d = decode(mp3);
  EXPECT_EQ(d.rate, rate);
  // The encoder adds its delay and padding: at most three frames of 1,152.
  EXPECT_GE(d.frames(), 44100 * seconds);
  EXPECT_LE(d.frames(), 44100 * seconds + 3 * 1152);
}

// Each reader gives the song a decoder frame or a few thousand file frames
// at a time, so that a song at a high rate holds no more of its input than
// one at the output rate.
TEST(MusicDecode, ReadersGiveTheSongChunkByChunk) {
  struct row {
    const char* what;
    std::string file;
    int (*read)(const u8*, size_t, song_builder&);
    int rate;
  };
  const row rows[] = {
      {"WAV", wav16(sine(2 * 192000, 2, 192000, 440), 2, 192000), wav_read, 192000},
      {"MP3", encode_mp3(sine(2 * 48000, 2, 48000, 440), 2, 48000), mp3_read, 48000},
      {"Ogg", encode_ogg(sine(2 * 192000, 2, 192000, 440), 2, 192000), ogg_read, 192000},
  };
  for (const row& r : rows) {
    song_builder song;
    ASSERT_EQ(r.read(reinterpret_cast<const u8*>(r.file.data()), r.file.size(), song), 1) << r.what;
    EXPECT_EQ(song.rate(), r.rate) << r.what;
    EXPECT_GE(song.frames_taken(), 2 * r.rate) << r.what;
    EXPECT_GT(song.largest_chunk(), 0) << r.what;
    EXPECT_LE(song.largest_chunk(), 4096) << r.what;
    EXPECT_LE(song.most_held(), song.largest_chunk() + 3) << r.what;
    int frames = 0;
    std::unique_ptr<i16, decltype(&std::free)> pcm(song.finish(&frames), &std::free);
    EXPECT_GE(frames, 2 * 44100) << r.what;
    EXPECT_NEAR(rms(std::vector<i16>(pcm.get(), pcm.get() + 2 * static_cast<size_t>(frames)), 1),
                12000 / std::sqrt(2.0), 600)
        << r.what;
  }
}

// Vorbis orders 3 channels L, C, R, 4 channels FL, FR, RL, RR, and 5 to 8
// FL, C, FR, ...: the sides heard are its left and right. (The channels are
// not coupled: stb_vorbis decodes 5.1 with coupled channels wrongly.)
TEST(MusicDecode, OggSidesByTheVorbisChannelOrder) {
  struct row {
    int channels, right;
  };
  const row rows[] = {{1, 0}, {2, 1}, {3, 2}, {4, 1}, {5, 2}, {6, 2}, {7, 2}, {8, 2}};
  // Channel c is a tone of a level of its own, 2,000 + 3,000 c.
  auto level = [](int c) { return 2000.0 + 3000.0 * c; };
  for (const row& r : rows) {
    std::vector<i16> in;
    for (int i = 0; i < 22050; ++i)
      for (int c = 0; c < r.channels; ++c)
        in.push_back(static_cast<i16>(std::lround(level(c) * std::sin(2 * M_PI * (300 + 50 * c) * i / 44100 + 0.5))));
    const decoded d = decode(encode_ogg(in, r.channels, 44100, false));
    ASSERT_EQ(d.frames(), 22050) << r.channels;
    EXPECT_NEAR(rms(d.pcm, 0), level(0) / std::sqrt(2.0), 500) << r.channels;
    EXPECT_NEAR(rms(d.pcm, 1), level(r.right) / std::sqrt(2.0), 500) << r.channels;
  }
}

// stb_vorbis would decode the five coupled channels of libvorbis's 5.1
// streams as noise: such a song is refused, with the reason and the remedy.
TEST(MusicDecode, Ogg51WithCoupledChannelsIsRefused) {
  std::vector<i16> in;
  for (int i = 0; i < 22050; ++i)
    for (int c = 0; c < 6; ++c) in.push_back(static_cast<i16>(std::lround(8000 * std::sin(i * 0.03 * (c + 1) + 0.5))));
  log_capture log;
  EXPECT_TRUE(decode(encode_ogg(in, 6, 44100)).pcm.empty());
  EXPECT_TRUE(log.has("Music: an Ogg song is refused (its surround channels cannot be decoded: save it in stereo)"))
      << log.text();
  // Stereo with coupled channels and 5.1 without coupling decode.
  EXPECT_EQ(decode(encode_ogg(sine(22050, 2, 44100, 440), 2, 44100)).frames(), 22050);
  EXPECT_EQ(decode(encode_ogg(in, 6, 44100, false)).frames(), 22050);
}

// Vorbis header packets made by hand, for streams that declare far more
// than they hold.
std::string le32(u32 v) {
  return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16), static_cast<char>(v >> 24)};
}

// Fields packed from the low bit up, as Vorbis does.
class vorbis_bits {
public:
  vorbis_bits() { oggpack_writeinit(&b_); }
  ~vorbis_bits() { oggpack_writeclear(&b_); }
  vorbis_bits(const vorbis_bits&) = delete;
  vorbis_bits& operator=(const vorbis_bits&) = delete;
  vorbis_bits& put(u32 value, int bits) {
    oggpack_write(&b_, value, bits);
    return *this;
  }
  vorbis_bits& text(const std::string& bytes) {
    for (const char c : bytes) put(static_cast<u8>(c), 8);
    return *this;
  }
  std::string bytes() {
    return {reinterpret_cast<const char*>(oggpack_get_buffer(&b_)), static_cast<size_t>(oggpack_bytes(&b_))};
  }

private:
  oggpack_buffer b_;
};

const std::string identification =
    "\x01vorbis" + le32(0) + "\x01" + le32(44100) + le32(0) + le32(0) + le32(0) + "\xb8\x01";

std::string comments(u32 vendor, const std::string& vendor_text, u32 count, const std::vector<std::string>& each) {
  std::string p = "\x03vorbis" + le32(vendor) + vendor_text + le32(count);
  for (const std::string& c : each) p += le32(static_cast<u32>(c.size())) + c;
  return p + "\x01";
}
const std::string no_comments = comments(0, "", 0, {});

// A setup header of one codebook of one length for all entries (an
// "ordered" book: a few bits whatever the count), of the given lookup type
// with one-bit values, followed by some bytes of values.
std::string one_book_setup(u32 entries, u32 dimensions, u32 lookup, int value_bytes) {
  vorbis_bits b;
  b.text("\x05vorbis").put(0, 8);
  b.put(0x564342, 24).put(dimensions, 16).put(entries, 24).put(1, 1).put(0, 5);
  int bits = 0;
  for (u32 n = entries; n; n >>= 1) ++bits;
  b.put(entries, bits).put(lookup, 4);
  if (lookup) b.put(0, 32).put(0, 32).put(0, 4).put(0, 1);
  for (int i = 0; i < value_bytes; ++i) b.put(0x55, 8);
  return b.bytes();
}

TEST(MusicDecode, HostileOggHeaders) {
  const std::string small_setup = one_book_setup(16, 2, 2, 8);
  std::vector<std::string> short_comments(64, "a=b");
  struct row {
    const char* what;
    std::string comment, setup;
    const char* why;
  };
  const row rows[] = {
      // stb_vorbis would allocate and write close to 2 GB.
      {"vendor of 2^31-1 bytes", comments(0x7fffffff, "vendor", 0, {}), small_setup,
       "its comment header declares more than it holds"},
      // Its table of 8-byte pointers would be sized in int: 8 bytes.
      {"2^29+1 comments", comments(0, "", (1u << 29) + 1, short_comments), small_setup,
       "its comment header declares more than it holds"},
      {"a comment longer than the header", comments(0, "", 1, {"a=b"}).replace(15, 4, le32(5)), small_setup,
       "its comment header declares more than it holds"},
      // Some 400 MB of tables from a few bytes.
      {"codebook of 2^24-1 entries", no_comments, one_book_setup((1u << 24) - 1, 1, 0, 0),
       "the codebooks of its setup header are too large"},
      // 2^31 values: sizes truncated to int, reads past the values.
      {"lookup of 2^16 x 2^15 values", no_comments, one_book_setup(1u << 16, 1u << 15, 2, 64),
       "a codebook of its setup header declares more values than it holds"},
      {"lookup type 1 with its values cut", no_comments, one_book_setup(4096, 1, 1, 16),
       "a codebook of its setup header declares more values than it holds"},
  };
  for (const row& r : rows) {
    log_capture log;
    const std::string ogg = ogg_of_packets({identification, r.comment, r.setup});
    song_builder song;
    EXPECT_EQ(ogg_read(reinterpret_cast<const u8*>(ogg.data()), ogg.size(), song), 0) << r.what;
    EXPECT_TRUE(decode(ogg).pcm.empty()) << r.what;
    EXPECT_TRUE(log.has(std::string("Music: an Ogg song is refused (") + r.why + ")")) << r.what << ": " << log.text();
  }
  // The same stream with sound headers passes the check (stb_vorbis then
  // finds no floors), with a comment header of 254 bytes: its last lacing
  // value, 254, ends the packet.
  log_capture log;
  const std::string vendor_254 = comments(238, std::string(238, 'v'), 0, {});
  ASSERT_EQ(vendor_254.size(), 254u);
  EXPECT_TRUE(decode(ogg_of_packets({identification, vendor_254, small_setup})).pcm.empty());
  EXPECT_EQ(log.text().find("refused"), std::string::npos) << log.text();
}

// Headers within every bound of the check can still declare more than a
// song needs: one residue whose class book has 2^20 entries makes
// stb_vorbis take some 60 MB (a million tiny blocks; 64 residues, 3 GB).
// The decoder's budget refuses it.
TEST(MusicDecode, OggDecoderMemoryIsBounded) {
  vorbis_bits b;
  b.text("\x05vorbis").put(0, 8);
  // 2^20 codewords of 20 bits, in one ordered run; no lookup.
  b.put(0x564342, 24).put(1, 16).put(1u << 20, 24).put(1, 1).put(19, 5).put(1u << 20, 21).put(0, 4);
  b.put(0, 6).put(0, 16);                       // one time-domain entry
  b.put(0, 6).put(1, 16).put(0, 5).put(0, 2).put(8, 4); // one floor of type 1, no partitions
  b.put(0, 6).put(0, 16).put(0, 24).put(0, 24).put(0, 24).put(0, 6).put(0, 8).put(0, 4); // one residue
  log_capture log;
  EXPECT_TRUE(decode(ogg_of_packets({identification, no_comments, b.bytes()})).pcm.empty());
  EXPECT_TRUE(log.has("Music: an Ogg song is refused (it needs more than 40 MB to decode)")) << log.text();
}

// stb_vorbis's blocks come from the decoding thread's budget, one song at a
// time: a scope opened inside another takes nothing and frees nothing.
TEST(MusicOggMemory, AScopeInsideAnotherIsRefusedAndLeavesTheOuterBlocks) {
  const std::string ogg = encode_ogg(sine(4410, 2, 44100, 440), 2, 44100);
  auto read = [&](song_builder& song) { return ogg_read(reinterpret_cast<const u8*>(ogg.data()), ogg.size(), song); };
  {
    const ogg_memory_scope outer;
    ASSERT_TRUE(outer.active());
    auto* block = static_cast<u8*>(ogg_memory_take(1000));
    ASSERT_NE(block, nullptr);
    std::memset(block, 0x5A, 1000);
    const size_t held = ogg_memory_held();
    EXPECT_GT(held, 1000u);
    {
      const ogg_memory_scope inner;
      EXPECT_FALSE(inner.active());
    }
    EXPECT_EQ(ogg_memory_held(), held);
    // A song decoded on this thread meanwhile is refused; the block stays.
    song_builder song;
    EXPECT_EQ(read(song), 0);
    EXPECT_EQ(ogg_memory_held(), held);
    EXPECT_EQ(block[999], 0x5A);
  }
  // The outer scope gave its block back at its end; songs decode again, and
  // each gives back all it took.
  EXPECT_EQ(ogg_memory_held(), 0u);
  song_builder song;
  EXPECT_EQ(read(song), 1);
  EXPECT_EQ(ogg_memory_held(), 0u);
}

} // namespace

// stb's whole-file decoders grow their output with realloc, which the
// budget does not route: they are not built into the program.
extern "C" int stb_vorbis_decode_memory(const unsigned char*, int, int*, int*, short**) __attribute__((weak));
extern "C" int stb_vorbis_decode_filename(const char*, int*, int*, short**) __attribute__((weak));

TEST(MusicOggMemory, StbWholeFileDecodersAreLeftOut) {
  EXPECT_EQ(reinterpret_cast<void*>(&stb_vorbis_decode_memory), nullptr);
  EXPECT_EQ(reinterpret_cast<void*>(&stb_vorbis_decode_filename), nullptr);
}
