// The three loopers of the audio assembly: play once, repeat whole, and
// repeat between loop points. pos is a frame index into the song.
#include <algorithm>
#include <cstring>

#include "sound/music_loader.h"

namespace {

void copy_frame(const i16* pcm, int frame, i16* out) {
  out[0] = pcm[2 * frame];
  out[1] = pcm[2 * frame + 1];
}

} // namespace

int looper_take_once(int* pos, const i16* pcm, int frames, int n, i16* out) {
  int i = 0;
  if (*pos < 0) *pos = 0;
  for (; i < n && *pos < frames; ++i, ++*pos) copy_frame(pcm, *pos, out + 2 * i);
  std::fill(out + 2 * i, out + 2 * n, i16{0});
  return *pos >= frames ? 1 : 0;
}

void looper_take(int* pos, const i16* pcm, int frames, int n, i16* out) {
  if (frames <= 0) {
    std::fill(out, out + 2 * n, i16{0});
    return;
  }
  int p = *pos % frames;
  if (p < 0) p += frames;
  for (int i = 0; i < n; ++i) {
    copy_frame(pcm, p, out + 2 * i);
    if (++p == frames) p = 0;
  }
  *pos = p;
}

void looper_take_lp(int* pos, const i16* pcm, int frames, int start, int back, int n, i16* out) {
  if (back < 0 || back >= start || back >= frames) {
    looper_take(pos, pcm, frames, n, out);
    return;
  }
  int p = *pos;
  if (p < 0 || p >= frames) p = 0;
  for (int i = 0; i < n; ++i) {
    if (p >= start) p = back + (p - start) % (start - back);
    // A loop start beyond the song's end wraps at the end instead.
    if (p >= frames) p = back;
    copy_frame(pcm, p, out + 2 * i);
    ++p;
  }
  *pos = p;
}
