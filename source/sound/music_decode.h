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
// decoder's output is cut here after resampling, so that no file, however
// small, can ask for more memory than such a song takes (69 MB).
constexpr int music_longest_song = 17280000;
// Songs recorded at rates outside these are refused: nothing real is
// recorded so, and at lower rates each frame would become many frames of
// output, at higher ones the frames read for the longest song many.
constexpr int music_lowest_rate = 1000;
constexpr int music_highest_rate = 192000;
// A song file larger than this is not read (the longest song as 24-bit
// stereo at 96,000 Hz takes 226 MB).
constexpr size_t music_largest_file = size_t{256} << 20;

// What a reader yields: interleaved samples at the file's own rate, malloc'd.
struct music_raw {
  i16* samples = nullptr;
  int frames = 0;
  int channels = 0;
  int rate = 0;
};

// Each reader returns 1 with the samples, or 0 with nothing allocated.
// The WAV reader always yields 2 channels (channel 0 twice for mono).
int wav_read(const u8* data, size_t size, music_raw* out);
// Frames one after the other; mono frames are duplicated, so 2 channels.
int mp3_read(const u8* data, size_t size, music_raw* out);
int ogg_read(const u8* data, size_t size, music_raw* out);
// The frames at rate from which resampling makes the longest song whole
// (a rate of 0 or below counting as the output rate, others held within
// the rates taken): the readers keep no more than this.
i64 music_frames_needed(int rate);

// Whole-file decoding of a song at path. Returns the PCM (interleaved
// stereo frames, malloc'd, the caller frees) with its frame count, the
// number of quiet frames trimmed from its start, and the file's rate; null
// when the file cannot be read or decoded, is larger than a song file can
// be, is recorded at a rate outside those taken (logged) or is too short.
i16* decode_file(const char* path, int* frames, int* lead_in, int* file_rate);
// The same from bytes already in memory.
i16* decode_bytes(const u8* data, size_t size, int* frames, int* lead_in, int* file_rate);

// To 44,100 Hz stereo by cubic Hermite (Catmull-Rom) interpolation; mono
// feeds both sides, further channels are ignored; the output is cut at the
// longest song. Null on no memory.
i16* music_resample(const music_raw& in, int* frames);
// Drops quiet frames from both ends in place (a song that is quiet
// throughout is kept whole); returns the frames left, the lead-in through
// lead_in.
int music_trim(i16* pcm, int frames, int* lead_in);
