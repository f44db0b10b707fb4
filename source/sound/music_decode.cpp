// Whole-song decoding for the music loader: the reader chosen by content
// gives its frames to the song builder (44,100 Hz stereo as they come),
// then the quiet ends are trimmed.
#include "sound/music_decode.h"

#include <cstdlib>
#include <cstring>

#include "host/platform.h"

namespace {

bool starts_with(const u8* data, size_t size, size_t at, const char* text) {
  const size_t n = std::strlen(text);
  return size >= at + n && std::memcmp(data + at, text, n) == 0;
}

// The reader by content: Ogg, WAV, else MP3 with Ogg as the last try. A
// rate refused or memory run out ends the tries.
int read_any(const u8* data, size_t size, song_builder& song) {
  if (starts_with(data, size, 0, "OggS")) return ogg_read(data, size, song);
  auto given_up = [&] { return song.refused_rate() != 0 || song.failed(); };
  if (size >= 20 && starts_with(data, size, 0, "RIFF") && starts_with(data, size, 8, "WAVE")) {
    if (wav_read(data, size, song)) return 1;
    if (given_up()) return 0;
  }
  if (mp3_read(data, size, song)) return 1;
  return !given_up() && ogg_read(data, size, song);
}

} // namespace

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
  song_builder song;
  const int read = read_any(data, size, song);
  if (song.refused_rate()) {
    host_log("Music: a song at %d Hz is refused (songs need %d to %d Hz)", song.refused_rate(), music_lowest_rate,
             music_highest_rate);
    return nullptr;
  }
  int n = 0;
  i16* pcm = read ? song.finish(&n) : nullptr;
  if (!pcm) return nullptr;
  const int whole = n;
  n = music_trim(pcm, n, lead_in);
  if (n < music_shortest_song) {
    std::free(pcm);
    return nullptr;
  }
  // A trimmed song gives back the room of its quiet ends.
  if (n < whole) {
    if (auto* fitted = static_cast<i16*>(std::realloc(pcm, static_cast<size_t>(n) * 2 * sizeof(i16)))) pcm = fitted;
  }
  *frames = n;
  *file_rate = song.rate();
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
