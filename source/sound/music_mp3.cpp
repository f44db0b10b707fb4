// MP3 reader through libmpg123: frames decoded one after the other from
// memory, always as stereo 16-bit at the first frame's rate, each given to
// the song as it comes.
#include <mpg123.h>
#include <sys/types.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "sound/music_decode.h"

namespace {

// Frames copied at a time out of the decoder's buffer (one MP3 frame holds
// at most 1,152).
constexpr size_t chunk_frames = 1152;

struct memory_file {
  const u8* data;
  size_t size;
  size_t at;
};

mpg123_ssize_t memory_read(void* handle, void* buffer, size_t count) {
  auto* f = static_cast<memory_file*>(handle);
  const size_t n = std::min(count, f->size - f->at);
  std::memcpy(buffer, f->data + f->at, n);
  f->at += n;
  return static_cast<mpg123_ssize_t>(n);
}

off_t memory_seek(void* handle, off_t offset, int whence) {
  auto* f = static_cast<memory_file*>(handle);
  off_t base = 0;
  if (whence == SEEK_CUR) base = static_cast<off_t>(f->at);
  if (whence == SEEK_END) base = static_cast<off_t>(f->size);
  const off_t to = base + offset;
  if (to < 0 || to > static_cast<off_t>(f->size)) return -1;
  f->at = static_cast<size_t>(to);
  return to;
}

// Bytes of an ID3v2 tag at the start, 0 when there is none or it would
// cover the whole file.
size_t id3_length(const u8* data, size_t size) {
  if (size < 10 || std::memcmp(data, "ID3", 3) != 0) return 0;
  size_t n = 10;
  for (int i = 6; i < 10; ++i) n += static_cast<size_t>(data[i] & 0x7F) << (7 * (9 - i));
  if (data[5] & 0x10) n += 10; // footer
  return n < size ? n : 0;
}

mpg123_handle* stereo_decoder() {
  static const int ready = mpg123_init(); // a no-op where the library needs none
  if (ready != MPG123_OK) return nullptr;
  mpg123_handle* mh = mpg123_new(nullptr, nullptr);
  if (!mh) return nullptr;
  // ID3v2 tags are skipped, not parsed: the library would allocate the
  // size a tag declares (a 17-byte file asked for 174 MB).
  mpg123_param(mh, MPG123_FLAGS, MPG123_FORCE_STEREO | MPG123_QUIET | MPG123_SKIP_ID3V2, 0);
  mpg123_format_none(mh);
  const long* rates = nullptr;
  size_t count = 0;
  mpg123_rates(&rates, &count);
  for (size_t i = 0; i < count; ++i) mpg123_format(mh, rates[i], MPG123_STEREO, MPG123_ENC_SIGNED_16);
  return mh;
}

} // namespace

int mp3_read(const u8* data, size_t size, song_builder& song) {
  const size_t skip = id3_length(data, size);
  memory_file file{data + skip, size - skip, 0};
  mpg123_handle* mh = stereo_decoder();
  if (!mh) return 0;
  long rate = 0;
  if (mpg123_replace_reader_handle(mh, memory_read, memory_seek, nullptr) == MPG123_OK &&
      mpg123_open_handle(mh, &file) == MPG123_OK) {
    bool wanted = true;
    while (wanted) {
      off_t frame_number = 0;
      unsigned char* audio = nullptr;
      size_t bytes = 0;
      const int r = mpg123_decode_frame(mh, &frame_number, &audio, &bytes);
      if (r == MPG123_NEW_FORMAT) {
        long now = 0;
        int channels = 0, encoding = 0;
        mpg123_getformat(mh, &now, &channels, &encoding);
        if (rate != 0 && now != rate) break; // the song is the first rate's
        if (rate == 0 && (now <= 0 || !song.start(static_cast<int>(now)))) break;
        rate = now;
        continue;
      }
      if (r != MPG123_OK || bytes == 0 || rate <= 0) break;
      // Stereo 16-bit frames, copied out to be sure of their alignment.
      i16 chunk[2 * chunk_frames];
      for (size_t at = 0; wanted && at + 4 <= bytes; at += sizeof chunk) {
        const size_t n = std::min(sizeof chunk, bytes - at) / 4;
        std::memcpy(chunk, audio + at, n * 4);
        wanted = song.add(chunk, static_cast<int>(n));
      }
    }
  }
  mpg123_delete(mh);
  return song.frames_taken() > 0 && !song.failed() ? 1 : 0;
}
