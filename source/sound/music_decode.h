// Decoding of a music-pack song file into 44,100 Hz stereo 16-bit PCM, and
// the small readers behind it: WAV (our own), MP3 (libmpg123), Ogg Vorbis
// (stb_vorbis). Content decides the decoder, not the file's extension.
#pragma once
#include <cstddef>

#include "machine/types.h"

constexpr int music_rate = 44100;
// Frames quieter than this on both sides are trimmed from either end.
constexpr int music_quiet_level = 24;
// A song shorter than this after trimming is no song.
constexpr int music_shortest_song = 1000;
// The longest song kept, in frames at the output rate (6.5 minutes): every
// song is cut here, so that no file, however small, can ask for more memory
// than such a song takes (69.12 MB as stereo 16-bit).
constexpr int music_longest_song = 17280000;
// Songs recorded at rates outside these are refused: nothing real is
// recorded so, and at lower rates each frame would become many frames of
// output.
constexpr int music_lowest_rate = 1000;
constexpr int music_highest_rate = 192000;
// A song file larger than this is not read (the longest song as 24-bit
// stereo at 96,000 Hz takes 226 MB).
constexpr size_t music_largest_file = size_t{256} << 20;

// The song as a reader gives it: frames at the file's own rate, chunk by
// chunk, resampled as they come into 44,100 Hz stereo by cubic Hermite
// (Catmull-Rom) interpolation, and cut at the longest song. What it holds
// is the output (at most 69.12 MB) and, of the input, the last chunk given
// and the three frames before it that later output still reads, whatever
// the file's rate. Each reader converts a decoder frame or a few thousand
// file frames at a time, so a song being decoded holds its file, its
// output, one chunk, and its decoder's own state.
class song_builder {
public:
  song_builder() = default;
  ~song_builder();
  song_builder(const song_builder&) = delete;
  song_builder& operator=(const song_builder&) = delete;

  // Starts the song anew at the file's rate (0 or below counts as the
  // output rate). False for a rate outside those taken: the song is
  // refused, and refused_rate() says at which rate. expected_frames, when
  // the reader knows how many frames follow, sizes the output at once.
  bool start(int rate, i64 expected_frames = 0);
  // n stereo frames at the file's rate, left and right interleaved. False
  // when the song wants no more: its input reaches the longest song (what
  // follows is never heard), or memory ran out (failed()).
  bool add(const i16* frames, int n);
  // Ends the input and hands over the output, which the caller frees: the
  // frames until the input's end / (rate / 44,100), rounded, at most the
  // longest song. Null when that is none, or on no memory.
  i16* finish(int* frames);

  bool started() const { return rate_ > 0; }
  int rate() const { return rate_; }
  int refused_rate() const { return refused_rate_; }
  bool failed() const { return failed_; }
  // Input frames taken so far: never more than music_frames_needed(rate).
  i64 frames_taken() const { return taken_; }
  // The most input frames held at once, and the largest chunk given.
  int most_held() const { return most_held_; }
  int largest_chunk() const { return largest_chunk_; }

private:
  double song_length(i64 frames) const;
  bool grow_output(i64 frames);
  bool grow_held(i64 frames);
  void resample(bool at_end);
  void reset();

  int rate_ = 0;
  int refused_rate_ = 0;
  bool failed_ = false;
  i64 taken_ = 0;
  i64 needed_ = 0;
  // Input frames held: held_base_ .. taken_ - 1.
  i16* held_ = nullptr;
  i64 held_base_ = 0;
  i64 held_capacity_ = 0;
  int most_held_ = 0;
  int largest_chunk_ = 0;
  i16* out_ = nullptr;
  i64 out_frames_ = 0;
  i64 out_capacity_ = 0;
};

// Each reader gives the song its frames and returns 1 when it gave at least
// one, 0 otherwise (not its format, no frame, a rate refused, no memory).
// WAV: channel 0 on the left, channel 1 on the right (mono on both).
int wav_read(const u8* data, size_t size, song_builder& song);
// MP3 frames one after the other, mono frames on both sides.
int mp3_read(const u8* data, size_t size, song_builder& song);
// Ogg Vorbis: left and right by the Vorbis order of the channels (mono on
// both sides).
int ogg_read(const u8* data, size_t size, song_builder& song);
// The input frames at rate from which resampling makes the longest song
// whole (a rate of 0 or below counting as the output rate, others held
// within the rates taken): a song takes no more than this.
i64 music_frames_needed(int rate);

// Whole-file decoding of a song at path. Returns the PCM (interleaved
// stereo frames, malloc'd, the caller frees) with its frame count, the
// number of quiet frames trimmed from its start, and the file's rate; null
// when the file cannot be read or decoded, is larger than a song file can
// be, is recorded at a rate outside those taken (logged) or is too short.
i16* decode_file(const char* path, int* frames, int* lead_in, int* file_rate);
// The same from bytes already in memory.
i16* decode_bytes(const u8* data, size_t size, int* frames, int* lead_in, int* file_rate);

// Drops quiet frames from both ends in place (a song that is quiet
// throughout is kept whole); returns the frames left, the lead-in through
// lead_in.
int music_trim(i16* pcm, int frames, int* lead_in);
