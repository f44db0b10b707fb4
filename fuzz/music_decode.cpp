// Fuzz target: the song decoders of music packs. The first byte chooses the
// reader the rest goes to (WAV, MP3 or Ogg Vorbis), so that each format is
// mutated from its own seeds; the same bytes then go through the loader's
// whole decoding, where content chooses the reader, with the trimming.
// Readers resample as they decode, so the memory of one song is its output
// (at most the longest song) and one chunk, whatever its rate.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz_scratch.h"
#include "sound/music_decode.h"

namespace {

using reader = int (*)(const u8*, size_t, song_builder&);
constexpr reader readers[] = {wav_read, mp3_read, ogg_read};

// A song given by a reader: no more input taken than the longest song
// needs, an output no longer than it.
void check_song(song_builder& song) {
  if (!song.started() || song.frames_taken() < 1 || song.frames_taken() > music_frames_needed(song.rate()))
    std::abort();
  int frames = 0;
  if (i16* pcm = song.finish(&frames)) {
    if (frames < 1 || frames > music_longest_song) std::abort();
    std::free(pcm);
  }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Refused rates are logged on every run; the log lines go nowhere.
  const std::string log = fuzz_scratch_dir() + "/error.log";
  if (symlink("/dev/null", log.c_str()) == 0) setenv("BKM_USER_DIR", fuzz_scratch_dir().c_str(), 1);
  if (FILE* null_out = std::fopen("/dev/null", "w")) stderr = null_out;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const u8* body = data + 1;
  const size_t length = size - 1;
  song_builder song;
  if (readers[data[0] % 3](body, length, song)) check_song(song);
  int frames = 0, lead_in = 0, rate = 0;
  if (i16* pcm = decode_bytes(body, length, &frames, &lead_in, &rate)) {
    if (frames < music_shortest_song || frames > music_longest_song || lead_in < 0 || rate < music_lowest_rate)
      std::abort();
    std::free(pcm);
  }
  return 0;
}
