// The song as the readers give it: input frames at the file's rate become
// 44,100 Hz stereo output as they arrive. Output frame l reads the input
// around l x rate / 44,100 (one frame before, two after), so once a chunk
// is resampled only its last three frames are kept for the next one.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "sound/music_decode.h"

namespace {

// Room for the output of a song of unknown length at first (6 s at the
// output rate); it doubles as the song grows, up to the longest song.
constexpr i64 first_output_frames = i64{1} << 18;

i16 clip_round(double v) {
  if (!(v > -32768.0)) return -32768;
  if (v > 32767.0) return 32767;
  return static_cast<i16>(std::lround(v));
}

// Frames of 2 samples, reallocated; null (the old block kept) on failure.
i16* resize_frames(i16* block, i64 frames) {
  return static_cast<i16*>(std::realloc(block, static_cast<size_t>(frames) * 2 * sizeof(i16)));
}

} // namespace

i64 music_frames_needed(int rate) {
  const i64 r = rate > 0 ? std::clamp(rate, music_lowest_rate, music_highest_rate) : music_rate;
  // Output frame l reads up to two frames past l x rate / 44,100.
  return (i64{music_longest_song} * r + music_rate - 1) / music_rate + 2;
}

song_builder::~song_builder() { reset(); }

void song_builder::reset() {
  std::free(held_);
  std::free(out_);
  held_ = out_ = nullptr;
  held_base_ = held_capacity_ = out_frames_ = out_capacity_ = taken_ = needed_ = 0;
  most_held_ = largest_chunk_ = 0;
  failed_ = false;
  rate_ = refused_rate_ = 0;
}

bool song_builder::start(int rate, i64 expected_frames) {
  reset();
  const int r = rate > 0 ? rate : music_rate;
  if (r < music_lowest_rate || r > music_highest_rate) {
    refused_rate_ = r;
    return false;
  }
  rate_ = r;
  needed_ = music_frames_needed(r);
  if (expected_frames > 0) {
    const double wanted = song_length(std::min(expected_frames, needed_));
    if (wanted >= 1 && !grow_output(std::min<i64>(static_cast<i64>(wanted), music_longest_song))) return false;
  }
  return true;
}

// Output frames of a song of `frames` input frames, before the cut.
double song_builder::song_length(i64 frames) const {
  const double ratio = static_cast<double>(rate_) / music_rate;
  return std::floor(static_cast<double>(frames) / ratio + 0.5);
}

bool song_builder::grow_output(i64 frames) {
  if (frames <= out_capacity_) return true;
  i16* more = resize_frames(out_, frames);
  if (!more) {
    failed_ = true;
    return false;
  }
  out_ = more;
  out_capacity_ = frames;
  return true;
}

bool song_builder::grow_held(i64 frames) {
  if (frames <= held_capacity_) return true;
  i16* more = resize_frames(held_, frames);
  if (!more) {
    failed_ = true;
    return false;
  }
  held_ = more;
  held_capacity_ = frames;
  return true;
}

bool song_builder::add(const i16* frames, int n) {
  if (!started() || failed_ || taken_ >= needed_ || out_frames_ >= music_longest_song) return false;
  n = static_cast<int>(std::min<i64>(std::max(n, 0), needed_ - taken_));
  largest_chunk_ = std::max(largest_chunk_, n);
  if (rate_ == music_rate) {
    // Already at the output rate: the frames are the output.
    const i64 take = std::min<i64>(n, music_longest_song - out_frames_);
    if (out_frames_ + take > out_capacity_ &&
        !grow_output(std::min<i64>(std::max(2 * out_capacity_, std::max(out_frames_ + take, first_output_frames)),
                                   music_longest_song)))
      return false;
    std::memcpy(out_ + 2 * out_frames_, frames, static_cast<size_t>(take) * 2 * sizeof(i16));
    out_frames_ += take;
    taken_ += n;
    most_held_ = std::max(most_held_, n);
  } else {
    const i64 kept = taken_ - held_base_;
    if (!grow_held(kept + n)) return false;
    std::memcpy(held_ + 2 * kept, frames, static_cast<size_t>(n) * 2 * sizeof(i16));
    taken_ += n;
    most_held_ = std::max<int>(most_held_, static_cast<int>(kept + n));
    resample(false);
    if (failed_) return false;
  }
  return taken_ < needed_ && out_frames_ < music_longest_song;
}

// Makes the output frames the input held can give; at the end of the input
// the last frame stands in for those past it, up to the song's length.
void song_builder::resample(bool at_end) {
  const i64 last = taken_ - 1;
  const i64 end =
      at_end ? std::min<i64>(static_cast<i64>(std::max(song_length(taken_), 0.0)), music_longest_song)
             : music_longest_song;
  auto at = [&](i64 frame, int side) { return static_cast<double>(held_[2 * (frame - held_base_) + side]); };
  while (out_frames_ < end) {
    const i64 l = out_frames_;
    const double p = static_cast<double>(l) * rate_ / music_rate;
    const i64 v = static_cast<i64>(p);
    if (!at_end && v + 2 > last) break;
    if (out_frames_ == out_capacity_ &&
        !grow_output(std::min<i64>(std::max(2 * out_capacity_, first_output_frames), music_longest_song)))
      return;
    const double u = p - static_cast<double>(v);
    const double u2 = u * u, u3 = u2 * u;
    const i64 i0 = std::min(std::max<i64>(v - 1, 0), last), i1 = std::min(v, last);
    const i64 i2 = std::min(v + 1, last), i3 = std::min(v + 2, last);
    for (int side = 0; side < 2; ++side) {
      const double x0 = at(i0, side), x1 = at(i1, side), x2 = at(i2, side), x3 = at(i3, side);
      const double y = x1 * (2 * u3 - 3 * u2 + 1) + x2 * (3 * u2 - 2 * u3) + (x2 - x0) / 2 * (u3 - 2 * u2 + u) +
                       (x3 - x1) / 2 * (u3 - u2);
      out_[2 * l + side] = clip_round(y);
    }
    ++out_frames_;
  }
  // The next output frame reads from one frame before its position on.
  const double next = static_cast<double>(out_frames_) * rate_ / music_rate;
  const i64 keep_from = std::clamp<i64>(static_cast<i64>(next) - 1, held_base_, taken_);
  if (keep_from > held_base_) {
    std::memmove(held_, held_ + 2 * (keep_from - held_base_),
                 static_cast<size_t>(taken_ - keep_from) * 2 * sizeof(i16));
    held_base_ = keep_from;
  }
}

i16* song_builder::finish(int* frames) {
  if (!started() || failed_ || taken_ == 0) return nullptr;
  if (rate_ != music_rate) resample(true);
  if (failed_ || out_frames_ == 0) return nullptr;
  // The room not filled goes back.
  if (out_capacity_ > out_frames_) {
    if (i16* fitted = resize_frames(out_, out_frames_)) out_ = fitted, out_capacity_ = out_frames_;
  }
  i16* song = out_;
  *frames = static_cast<int>(out_frames_);
  out_ = nullptr;
  out_frames_ = out_capacity_ = 0;
  return song;
}
