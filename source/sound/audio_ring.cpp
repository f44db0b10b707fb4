// The ring between the emulation thread (audio_push) and the device thread
// (sdl_audio_cb), with the latency control that keeps its level near the
// target. Both sides hold the lock for their whole work, so neither ever
// sees the ring half changed.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "host/platform.h"
#include "sound/audio_output.h"

namespace {

// Logged occurrences of each kind of trouble, so a bad session cannot fill
// the log.
constexpr int logged_events = 40;
// Beyond this many ms above the target the device discards down to the
// target plus the margin, and takes a little more than it plays.
constexpr double trim_above_ms = 150;
constexpr double trim_margin_ms = 60;
constexpr double trim_ratio = 1.0015;
// Within the dead band the level is left alone; beyond it the ratio grows
// by 1/20,000 a ms, limited to 0.4 %.
constexpr double dead_band_ms = 30;
constexpr double ms_per_ratio_step = 20000;
constexpr double max_ratio_change = 0.004;

u64 target_frames(const audio_output* h) {
  const double t = std::floor(h->target * h->rate / 1000.0);
  return t > 0 ? static_cast<u64>(t) : 0;
}

double bytes_ms(const audio_output* h, double bytes) { return bytes / audio_frame_bytes / h->rate * 1000.0; }

// Copies the oldest bytes out of the ring (or only drops them when dst is
// null).
void consume(audio_output* h, u8* dst, u64 bytes) {
  if (dst) {
    const u64 first = std::min(bytes, audio_ring_bytes - h->read_position);
    std::memcpy(dst, h->ring + h->read_position, first);
    std::memcpy(dst + first, h->ring, bytes - first);
  }
  h->read_position = (h->read_position + bytes) % audio_ring_bytes;
  h->fill -= bytes;
}

// Stretches or squeezes the v frames of in over the n frames of out.
void interpolate(const i16* in, u64 v, i16* out, u64 n) {
  for (u64 i = 0; i < n; ++i) {
    const double p = n == 1 ? 0.0 : double(i) * double(v - 1) / double(n - 1);
    const u64 d = static_cast<u64>(p);
    const double f = p - double(d);
    const u64 next = std::min(d + 1, v - 1);
    for (int side = 0; side < 2; ++side)
      out[2 * i + side] = static_cast<i16>(std::trunc(in[2 * d + side] * (1 - f) + in[2 * next + side] * f));
  }
}

} // namespace

audio_output* audio_output_new(int rate, double target_ms, int device_frames) {
  auto* h = static_cast<audio_output*>(std::calloc(1, sizeof(audio_output)));
  if (!h) return nullptr;
  h->rate = rate;
  h->target = target_ms;
  h->ring = static_cast<u8*>(std::malloc(audio_ring_bytes));
  h->lock = port_mutex_new();
  if (!h->ring || !h->lock || !audio_output_fit_device(h, device_frames)) {
    audio_output_free(h);
    return nullptr;
  }
  return h;
}

int audio_output_fit_device(audio_output* h, int device_frames) {
  // The largest resampling request is a whole buffer at the top ratio.
  const double largest = std::ceil(std::max(device_frames, 0) * (1 + max_ratio_change)) + 2;
  const u64 bytes = std::max<u64>(8192, static_cast<u64>(largest)) * audio_frame_bytes;
  if (bytes > h->work_bytes) {
    u8* work = static_cast<u8*>(std::malloc(bytes));
    if (!work) return 0;
    std::free(h->work);
    h->work = work;
    h->work_bytes = bytes;
  }
  h->device_frames = device_frames;
  return 1;
}

void audio_output_free(audio_output* h) {
  if (!h) return;
  port_mutex_free(h->lock);
  std::free(h->work);
  std::free(h->ring);
  std::free(h);
}

void audio_push(audio_output* h, const i16* frames, int n) {
  if (!h || n <= 0) return;
  const u8* src = reinterpret_cast<const u8*>(frames);
  u64 bytes = static_cast<u64>(n) * audio_frame_bytes;
  port_mutex_lock(h->lock);
  h->pushed += bytes;
  h->last_push = now_s();
  if (bytes > audio_ring_bytes) { // only the newest ring's worth can be kept
    src += bytes - audio_ring_bytes;
    bytes = audio_ring_bytes;
  }
  if (h->fill + bytes > audio_ring_bytes) consume(h, nullptr, std::min(h->fill, h->fill + bytes - audio_ring_bytes));
  const u64 at = (h->read_position + h->fill) % audio_ring_bytes;
  const u64 first = std::min(bytes, audio_ring_bytes - at);
  std::memcpy(h->ring + at, src, first);
  std::memcpy(h->ring, src + first, bytes - first);
  h->fill += bytes;

  const u64 t = target_frames(h);
  if (h->fill > 3 * t * audio_frame_bytes) {
    const u64 held = h->fill;
    const u64 drop = (h->fill - t * audio_frame_bytes) & ~u64(3);
    consume(h, nullptr, drop);
    if (h->trims < logged_events)
      host_log_file("audio: buffer trimmed when pushing (it held %.0f ms, target %.0f ms: %.0f ms discarded)",
                    bytes_ms(h, double(held)), h->target, bytes_ms(h, double(drop)));
    ++h->trims;
  }
  port_mutex_unlock(h->lock);
}

void sdl_audio_cb(void* userdata, u8* stream, int len) {
  auto* h = static_cast<audio_output*>(userdata);
  if (len <= 0) return;
  const u64 n = static_cast<u64>(len) / audio_frame_bytes;
  const u64 c = n * audio_frame_bytes;
  port_mutex_lock(h->lock);
  const u64 t = target_frames(h);
  u64 a = h->fill;
  if (!h->started && a < t * audio_frame_bytes) {
    std::memset(stream, 0, static_cast<size_t>(len));
    port_mutex_unlock(h->lock);
    return;
  }
  h->started = 1;

  if (a < c) {
    consume(h, stream, a);
    std::memset(stream + a, 0, static_cast<size_t>(len) - a);
    h->started = 0;
    ++h->gaps;
    if (h->gaps <= logged_events)
      host_log_file("audio: gap no. %d (the buffer ran empty: %d samples missing; the emulation thread last gave "
                    "audio %.0f ms ago)",
                    h->gaps, static_cast<int>((c - a) / audio_frame_bytes), (now_s() - h->last_push) * 1000.0);
    port_mutex_unlock(h->lock);
    return;
  }

  const double e = bytes_ms(h, double(a) - double(t * audio_frame_bytes));
  u64 r = c;
  if (e > trim_above_ms) {
    const u64 margin = static_cast<u64>(std::floor(trim_margin_ms * h->rate / 1000.0));
    const u64 drop = (a - audio_frame_bytes * margin - audio_frame_bytes * t) & ~u64(3);
    consume(h, nullptr, drop);
    if (h->trims < logged_events)
      host_log_file("audio: buffer trimmed while playing (it held %.0f ms, target %.0f ms: %.0f ms discarded)",
                    bytes_ms(h, double(a)), h->target, bytes_ms(h, double(drop)));
    ++h->trims;
    a = h->fill;
    r = audio_frame_bytes * static_cast<u64>(std::floor(double(n) * trim_ratio));
  } else if (std::fabs(e) > dead_band_ms) {
    const double g = std::clamp(1 + (e - std::copysign(dead_band_ms, e)) / ms_per_ratio_step, 1 - max_ratio_change,
                                1 + max_ratio_change);
    r = audio_frame_bytes * static_cast<u64>(std::floor(double(n) * g));
  }
  r = std::min(r, a & ~u64(3));
  if (r == c) {
    consume(h, stream, c);
  } else {
    // At least one frame, and never more than the work buffer holds.
    r = std::clamp<u64>(r, audio_frame_bytes, h->work_bytes);
    consume(h, h->work, r);
    interpolate(reinterpret_cast<const i16*>(h->work), r / audio_frame_bytes, reinterpret_cast<i16*>(stream), n);
  }
  std::memset(stream + c, 0, static_cast<size_t>(len) - c); // a partial frame at the end
  port_mutex_unlock(h->lock);
}

void audio_set_target(audio_output* h, double ms) {
  if (!h) return;
  port_mutex_lock(h->lock);
  h->target = ms;
  port_mutex_unlock(h->lock);
}

double audio_level_ms(audio_output* h) {
  if (!h) return 0;
  port_mutex_lock(h->lock);
  const double ms = bytes_ms(h, double(h->fill));
  port_mutex_unlock(h->lock);
  return ms;
}

void audio_stats(audio_output* h, int* gaps, int* trims, u64* pushed) {
  int g = 0, t = 0;
  u64 p = 0;
  if (h) {
    port_mutex_lock(h->lock);
    g = h->gaps, t = h->trims, p = h->pushed;
    port_mutex_unlock(h->lock);
  }
  if (gaps) *gaps = g;
  if (trims) *trims = t;
  if (pushed) *pushed = p;
}

double audio_device_ms(audio_output* h) { return h ? h->device_frames * 1000.0 / h->rate : 0; }

int audio_set_lowlat(audio_output* h, int on) { return h && on == 0 ? 1 : 0; }
