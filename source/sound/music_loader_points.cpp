// Loop points of a pack song: a text file beside it with lines such as
// "Loop point start = 441000" and "Loop point back = 88200", in frames of
// the song file's own rate counted from its first frame.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "host/platform.h"
#include "sound/music_decode.h"
#include "sound/music_loader.h"

namespace {

// Longer numbers are cut here, which is no frame of any song but keeps the
// conversion to 44,100 Hz inside 64 bits.
constexpr i64 largest_value = i64{1} << 40;
constexpr size_t compared_chars = 199;

bool contains(const char* line, const char* word) { return std::strstr(line, word) != nullptr; }

// The number after the line's first '=', past tabs, spaces and quotes.
bool value_of(const char* line, size_t len, i64* value) {
  const char* eq = static_cast<const char*>(std::memchr(line, '=', len));
  if (!eq) return false;
  const char* p = eq + 1;
  const char* end = line + len;
  while (p < end && (*p == '\t' || *p == ' ' || *p == '"')) ++p;
  if (p == end || !std::isdigit(static_cast<unsigned char>(*p))) return false;
  i64 v = 0;
  for (; p < end && std::isdigit(static_cast<unsigned char>(*p)); ++p)
    v = std::min(v * 10 + (*p - '0'), largest_value);
  *value = v;
  return true;
}

} // namespace

void loop_points_file(const char* song_path, char* out, size_t size) {
  const char* dot = std::strrchr(song_path, '.');
  const int stem = static_cast<int>(dot ? dot - song_path : static_cast<long>(std::strlen(song_path)));
  std::snprintf(out, size, "%.*s.txt", stem, song_path);
}

int loop_points_parse(const char* text, size_t size, i64* start, i64* back) {
  int found = 0;
  size_t at = 0;
  while (at < size) {
    size_t len = 0;
    while (at + len < size && text[at + len] != '\r' && text[at + len] != '\n') ++len;
    const char* line = text + at;
    at += len + 1;
    if (len == 0) continue;
    char lower[compared_chars + 1];
    const size_t n = std::min(len, compared_chars);
    for (size_t i = 0; i < n; ++i) {
      // A zero byte ends no line and matches no letter.
      const char c = line[i] ? line[i] : '\x01';
      lower[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    lower[n] = '\0';
    i64 v;
    if (contains(lower, "loop point start")) {
      if (value_of(line, len, &v)) *start = v, found |= 1;
    } else if (contains(lower, "loop point back")) {
      if (value_of(line, len, &v)) *back = v, found |= 2;
    }
  }
  return found;
}

int read_loop_points(const char* song_path, int lead_in, int frames, int file_rate, int* start, int* back) {
  char txt[1024];
  loop_points_file(song_path, txt, sizeof txt);
  size_t size = 0;
  char* text = read_file(txt, &size, loop_points_largest_file);
  if (!text) return 0;
  i64 s = 0, b = 0;
  const int found = loop_points_parse(text, size, &s, &b);
  std::free(text);
  if (found != 3) return 0;
  if (file_rate > 0 && file_rate != music_rate) {
    s = (s * music_rate + file_rate / 2) / file_rate;
    b = (b * music_rate + file_rate / 2) / file_rate;
  }
  const i64 trimmed_start = s - lead_in, trimmed_back = b - lead_in;
  if (b < s && trimmed_back >= 0 && trimmed_start <= frames) {
    *start = static_cast<int>(trimmed_start);
    *back = static_cast<int>(trimmed_back);
    return 1;
  }
  host_log("Music: loop points of %s are outside the song (start %lld, back %lld, length %d): ignored", txt,
           static_cast<long long>(s), static_cast<long long>(b), frames + lead_in);
  return 0;
}
