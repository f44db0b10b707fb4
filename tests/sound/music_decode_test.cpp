// Decoding of pack songs: the WAV reader's formats and chunk rules, the
// choice of decoder by content, resampling to 44,100 Hz stereo, trimming of
// the quiet ends, and MP3 and Ogg songs made with the reference encoders.
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
// reader keeps only what the longest song needs, and the rate is refused.
TEST(MusicWav, ReadsNoMoreFramesThanTheLongestSongNeeds) {
  struct row {
    u32 rate;
    int in_file, kept;
  };
  const row rows[] = {
      {1000, 400000, 391839},   // 17,280,000 x 1,000 / 44,100 = 391,836.7, up, and two after
      {1, 400000, 391839},      // as at the lowest rate taken
      {44100, 100, 100},
      {22050, 5000, 5000},      // short songs whole
  };
  for (const row& r : rows) {
    const std::string file = loud_wav(r.rate, r.in_file);
    music_raw raw;
    ASSERT_EQ(wav_read(reinterpret_cast<const u8*>(file.data()), file.size(), &raw), 1) << r.rate;
    EXPECT_EQ(raw.frames, r.kept) << r.rate;
    EXPECT_EQ(raw.frames, std::min<i64>(r.in_file, music_frames_needed(static_cast<int>(r.rate)))) << r.rate;
    std::free(raw.samples);
  }
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
}

// Every decoder's output ends at the longest song: here a 1,000 Hz song
// that would resample to 17,287,999 frames (and more in the file).
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

TEST(MusicDecode, HermiteInterpolationBetweenFrames) {
  // Frames 0, 100, 300, 600 on the left, their negatives on the right.
  std::vector<i16> in;
  for (int v : {0, 100, 300, 600, 600, 600}) in.push_back(static_cast<i16>(v)), in.push_back(static_cast<i16>(-v));
  music_raw raw{in.data(), 6, 2, 22050};
  int frames = 0;
  std::unique_ptr<i16, decltype(&std::free)> out(music_resample(raw, &frames), &std::free);
  ASSERT_EQ(frames, 12);
  // Halfway between 100 and 300: 50 + 150 + 150 / 8 - 250 / 8 = 187.5.
  EXPECT_EQ(out.get()[2 * 3], 188);
  EXPECT_EQ(out.get()[2 * 3 + 1], -188);
  // Halfway between 300 and 600 the tangent reaches back to 100, the frame
  // before: 150 + 300 + 500 / 16 - 300 / 16 = 462.5.
  EXPECT_EQ(out.get()[2 * 5], 463);
  EXPECT_EQ(out.get()[2 * 5 + 1], -463);
  // At the first frame the missing neighbour before it is the frame itself.
  // Halfway between 0 and 100: 50 + 50 / 8 - 300 / 16 = 37.5.
  EXPECT_EQ(out.get()[2 * 1], 38);
  // Past the last frame the neighbours repeat it.
  EXPECT_EQ(out.get()[2 * 11], 600);
  // 48,000 Hz: frames / (48,000 / 44,100) rounded.
  std::vector<i16> many(2 * 4800, 1000);
  music_raw fast{many.data(), 4800, 2, 48000};
  std::unique_ptr<i16, decltype(&std::free)> fast_out(music_resample(fast, &frames), &std::free);
  EXPECT_EQ(frames, 4410);
  EXPECT_EQ(fast_out.get()[2 * 4409], 1000);
  // One frame at twice the output rate rounds to one frame; above that
  // rate to none, which is no output.
  i16 one[2] = {500, -500};
  music_raw twice{one, 1, 2, 88200};
  std::unique_ptr<i16, decltype(&std::free)> single(music_resample(twice, &frames), &std::free);
  ASSERT_TRUE(single);
  EXPECT_EQ(frames, 1);
  EXPECT_EQ(single.get()[1], -500);
  music_raw faster{one, 1, 2, 88201};
  EXPECT_EQ(music_resample(faster, &frames), nullptr);
}

TEST(MusicDecode, HermiteOvershootIsClipped) {
  std::vector<i16> in;
  for (int v : {-32768, -32768, 32767, 32767, -32768, -32768}) in.push_back(static_cast<i16>(v)), in.push_back(0);
  music_raw raw{in.data(), 6, 2, 11025};
  int frames = 0;
  std::unique_ptr<i16, decltype(&std::free)> out(music_resample(raw, &frames), &std::free);
  ASSERT_EQ(frames, 24);
  bool clipped_high = false;
  for (int i = 0; i < frames; ++i) clipped_high |= out.get()[2 * i] == 32767;
  EXPECT_TRUE(clipped_high);
  // Just after the rise the curve overshoots: held at the top.
  EXPECT_EQ(out.get()[2 * 9], 32767);
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
    music_raw raw;
    EXPECT_EQ(ogg_read(reinterpret_cast<const u8*>(ogg.data()), ogg.size(), &raw), 0) << r.what;
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

} // namespace
