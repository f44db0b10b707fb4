// The audio ring with a simulated device clock: the test calls the device
// callback itself. Prefill, the resampling ratios, the trims, underruns, a
// ten-minute soak with a skewed, jittery producer, and the real SDL device
// on its "disk" driver.
#include "sound/audio_output.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "host/platform.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

namespace {

constexpr int rate = 44100;

struct handle_deleter {
  void operator()(audio_output* h) const { audio_output_free(h); }
};
using handle = std::unique_ptr<audio_output, handle_deleter>;

handle make(double target_ms) { return handle(audio_output_new(rate, target_ms, 1024)); }

u64 frames_held(const audio_output* h) { return h->fill / 4; }

// Frame k's left side is k for k up to 30,000, then a triangle wave (no
// jumps, so resampling keeps neighbours within 2 of each other); its right
// side is the negative.
i16 triangle(long k) {
  const long m = k % 60000;
  return static_cast<i16>(m <= 30000 ? m : 60000 - m);
}

std::vector<i16> ramp(int n, int from = 1) {
  std::vector<i16> f(2 * static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    f[2 * i] = triangle(from + i);
    f[2 * i + 1] = static_cast<i16>(-triangle(from + i));
  }
  return f;
}

void push_frames(audio_output* h, int n, int from = 1) {
  const std::vector<i16> f = ramp(n, from);
  audio_push(h, f.data(), n);
}

// One device request; the frames just past the buffer must stay untouched.
std::vector<i16> request(audio_output* h, int frames = 1024) {
  std::vector<i16> out(2 * static_cast<size_t>(frames) + 4, 12345);
  sdl_audio_cb(h, reinterpret_cast<u8*>(out.data()), frames * 4);
  for (size_t i = out.size() - 4; i < out.size(); ++i) EXPECT_EQ(out[i], 12345) << "written past the buffer";
  out.resize(out.size() - 4);
  return out;
}

bool silent(const std::vector<i16>& v) {
  for (i16 s : v)
    if (s != 0) return false;
  return true;
}

TEST(AudioOutput, WaitsForTheTargetBeforePlaying) {
  log_capture log;
  handle h = make(122); // lead 3.6
  push_frames(h.get(), 5379);
  EXPECT_TRUE(silent(request(h.get())));
  EXPECT_EQ(frames_held(h.get()), 5379u);
  push_frames(h.get(), 1, 5380);
  const std::vector<i16> played = request(h.get());
  EXPECT_EQ(played[0], 1);
  EXPECT_EQ(h->started, 1);
}

TEST(AudioOutput, RatioPullsTheLevelToTheTarget) {
  struct row {
    double above_ms;
    u64 taken;
  };
  const row rows[] = {
      {50, 1025},   // 1.001
      {130, 1028},  // held at the 1.004 limit
      {-40, 1023},  // 0.9995
      {25, 1024},   // dead band
      {-25, 1024},  // dead band
      {-29.5, 1024}, // dead band
      {-30.5, 1023},
      {150, 1028},  // the top ratio, not yet a trim
  };
  for (const row& r : rows) {
    handle h = make(122);
    h->started = 1;
    const int held = 5380 + static_cast<int>(std::floor(r.above_ms * rate / 1000 + 0.5));
    push_frames(h.get(), held);
    request(h.get());
    EXPECT_EQ(held - frames_held(h.get()), r.taken) << r.above_ms;
    EXPECT_EQ(h->trims, 0);
  }
}

TEST(AudioOutput, ResampledFramesLieBetweenTheirNeighbours) {
  handle h = make(122);
  const int held = 5380 + 4410 + 1000; // the top ratio: 1,028 frames for 1,024
  std::vector<i16> steep(2 * static_cast<size_t>(held));
  for (int i = 0; i < held; ++i) steep[2 * i] = static_cast<i16>(10 * (i % 3000)), steep[2 * i + 1] = -steep[2 * i];
  audio_push(h.get(), steep.data(), held);
  const std::vector<i16> out = request(h.get());
  // Frame 255 reads position 255 x 1,027 / 1,023 = 255.997 of the input.
  EXPECT_EQ(out[2 * 255], 2559);
  EXPECT_EQ(out[2 * 255 + 1], -2559);
  EXPECT_EQ(out[2 * 1023], 10270);
}

TEST(AudioOutput, ResamplingInterpolatesBetweenTheTakenFrames) {
  handle h = make(122);
  push_frames(h.get(), 5380 + 8820 / 2 + 1000); // far enough above to speed up
  const std::vector<i16> out = request(h.get());
  EXPECT_EQ(out[0], 1);
  EXPECT_EQ(out[2 * 1023], 1028); // the last taken frame, the 1,028th
  for (int i = 1; i < 1024; ++i) {
    const int step = out[2 * i] - out[2 * (i - 1)];
    ASSERT_TRUE(step == 1 || step == 2) << i;
    ASSERT_EQ(out[2 * i + 1], -out[2 * i]) << i;
  }
}

TEST(AudioOutput, TrimStartsAbove150Ms) {
  for (auto [frames, trims] : {std::pair{6615, 0}, std::pair{6637, 1}}) { // 150.0 and 150.5 ms
    handle h = make(122);
    h->started = 1;
    push_frames(h.get(), 5380 + frames);
    request(h.get());
    EXPECT_EQ(h->trims, trims) << frames;
  }
}

TEST(AudioOutput, FarAboveTheTargetTrimsToTargetPlusSixty) {
  log_capture log;
  handle h = make(122);
  h->started = 1;
  push_frames(h.get(), 5380 + 8820); // 200 ms above
  const std::vector<i16> out = request(h.get());
  EXPECT_EQ(frames_held(h.get()), u64(5380 + 2646 - 1025));
  EXPECT_EQ(h->trims, 1);
  EXPECT_EQ(out[0], 1 + 8820 - 2646); // the oldest audio went
  EXPECT_TRUE(log.has("audio: buffer trimmed while playing (it held 322 ms, target 122 ms: 140 ms discarded)"))
      << log.text();
}

TEST(AudioOutput, PushAboveThreeTargetsCutsBackToTheTarget) {
  log_capture log;
  handle h = make(50); // 2,205 frames
  push_frames(h.get(), 6615);
  EXPECT_EQ(frames_held(h.get()), 6615u);
  push_frames(h.get(), 1, 6616);
  EXPECT_EQ(frames_held(h.get()), 2205u);
  EXPECT_EQ(h->trims, 1);
  h->started = 1;
  EXPECT_EQ(request(h.get())[0], 6616 - 2205 + 1);
  EXPECT_TRUE(log.has("audio: buffer trimmed when pushing (it held 150 ms, target 50 ms: 100 ms discarded)"))
      << log.text();
}

TEST(AudioOutput, UnderrunPlaysTheRestThenWaitsAgain) {
  log_capture log;
  handle h = make(50);
  push_frames(h.get(), 2205);
  request(h.get());
  request(h.get());
  const std::vector<i16> last = request(h.get()); // 157 frames left
  EXPECT_EQ(last[0], 2049);
  EXPECT_EQ(last[2 * 156], 2205);
  EXPECT_TRUE(silent(std::vector<i16>(last.begin() + 2 * 157, last.end())));
  EXPECT_EQ(h->gaps, 1);
  EXPECT_EQ(h->started, 0);
  push_frames(h.get(), 2000);
  EXPECT_TRUE(silent(request(h.get()))); // waiting for the target again
  EXPECT_EQ(h->gaps, 1);
  EXPECT_NE(log.text().find("audio: gap no. 1 (the buffer ran empty: 867 samples missing;"), std::string::npos)
      << log.text();
}

TEST(AudioOutput, FullRingDropsItsOldestAudio) {
  handle h = make(23760); // 1,047,816 frames: no trims, and a ring within the dead band
  const int ring_frames = static_cast<int>(audio_ring_bytes / 4);
  push_frames(h.get(), ring_frames - 100);
  push_frames(h.get(), 300, ring_frames - 99);
  EXPECT_EQ(frames_held(h.get()), u64(ring_frames));
  EXPECT_NEAR(audio_level_ms(h.get()), ring_frames * 1000.0 / rate, 1e-6);
  u64 pushed = 0;
  audio_stats(h.get(), nullptr, nullptr, &pushed);
  EXPECT_EQ(pushed, u64(ring_frames + 200) * 4);
  const std::vector<i16> out = request(h.get());
  EXPECT_EQ(out[0], 1 + 200);
  EXPECT_EQ(h->trims, 0);
}

TEST(AudioOutput, NullHandleAndReaders) {
  audio_push(nullptr, nullptr, 10);
  audio_close(nullptr);
  int gaps = -1, trims = -1;
  u64 pushed = 1;
  audio_stats(nullptr, &gaps, &trims, &pushed);
  EXPECT_EQ(gaps, 0);
  EXPECT_EQ(trims, 0);
  EXPECT_EQ(pushed, 0u);
  EXPECT_EQ(audio_device_ms(nullptr), 0);
  EXPECT_EQ(audio_level_ms(nullptr), 0);
  audio_set_target(nullptr, 10);
  EXPECT_EQ(audio_set_lowlat(nullptr, 0), 0);
  handle h = make(100);
  EXPECT_EQ(audio_set_lowlat(h.get(), 0), 1);
  EXPECT_EQ(audio_set_lowlat(h.get(), 1), 0);
  EXPECT_NEAR(audio_device_ms(h.get()), 1024 * 1000.0 / rate, 1e-9);
}

TEST(AudioOutput, LargeGrantedBufferResamplesWithoutOverrun) {
  handle h(audio_output_new(rate, 1000, 16384));
  ASSERT_TRUE(h);
  push_frames(h.get(), 44100 + 6174); // 140 ms above: the top ratio
  const std::vector<i16> out = request(h.get(), 16384);
  EXPECT_EQ(out[0], 1);
  EXPECT_EQ(out[2 * 16383], 16449); // 16,384 x 1.004 frames taken, the last one last
}

// Ten minutes of a 50 Hz producer against the device clock.
struct soak_result {
  double mean_ms, spread_ms;
  int late_gaps, late_trims;
  bool continuous;
};

soak_result soak(double skew, unsigned seed) {
  handle h = make(122);
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> jitter(-0.004, 0.004);
  const double device_period = 1024.0 / rate;
  const double push_period = 1.0 / 50 / (1 + skew);
  double next_push = 0, next_device = 0.05;
  int from = 1, settled_gaps = 0, settled_trims = 0;
  bool settled = false, continuous = true;
  int prev = -1;
  double sum = 0, sum2 = 0;
  long count = 0;
  while (next_device < 600) {
    if (next_push + jitter(rng) < next_device) {
      push_frames(h.get(), 882, from);
      from += 882;
      next_push += push_period;
      continue;
    }
    const double ms = h->fill / 4.0 / rate * 1000.0; // as the device finds it
    const std::vector<i16> out = request(h.get());
    next_device += device_period;
    if (!settled && next_device > 120) {
      settled = true;
      settled_gaps = h->gaps;
      settled_trims = h->trims;
    }
    if (!settled) continue;
    for (int i = 0; i < 1024; ++i) {
      const int v = out[2 * i];
      if (prev >= 0 && std::abs(v - prev) > 2) continuous = false;
      prev = v;
    }
    sum += ms, sum2 += ms * ms, ++count;
  }
  const double mean = sum / count;
  return {mean, std::sqrt(sum2 / count - mean * mean), h->gaps - settled_gaps, h->trims - settled_trims, continuous};
}

TEST(AudioOutput, SoakSettlesWithoutGapsOrTrims) {
  // The level settles where the ratio makes up the skew: 30 ms past the dead
  // band plus 20,000 ms per unit of skew, and about 10 ms more since whole
  // frames are taken (rounded down). Without skew it stays where it started,
  // inside the dead band, which the rounding widens upwards to about 50 ms.
  struct row {
    double skew;
    double lo_ms, hi_ms;
  };
  const row rows[] = {{0.003, 212, 232}, {-0.003, 32, 52}, {0.0, 122 - 30, 122 + 50}};
  for (const row& r : rows) {
    const soak_result s = soak(r.skew, 7);
    std::printf("soak skew %+.3f%%: level mean %.1f ms, spread %.1f ms\n", r.skew * 100, s.mean_ms, s.spread_ms);
    EXPECT_GE(s.mean_ms, r.lo_ms) << r.skew;
    EXPECT_LE(s.mean_ms, r.hi_ms) << r.skew;
    EXPECT_LT(s.spread_ms, 10) << r.skew;
    EXPECT_EQ(s.late_gaps, 0) << r.skew;
    EXPECT_EQ(s.late_trims, 0) << r.skew;
    EXPECT_TRUE(s.continuous) << r.skew;
  }
}

TEST(AudioDevice, DiskDriverWritesThePushedFramesAfterThePrefill) {
  temp_dir dir;
  log_capture log;
  const std::string file = dir / "device.raw";
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", file.c_str(), 1);
  audio_output* h = audio_open(rate, 100);
  ASSERT_NE(h, nullptr) << log.text();
  EXPECT_NE(log.text().find("Audio: SDL driver disk, 44100 Hz, 2 channels, "), std::string::npos) << log.text();
  sleep_ms(60);
  push_frames(h, 4410 + 500);
  sleep_ms(250);
  audio_close(h);
  unsetenv("SDL_AUDIODRIVER");
  unsetenv("SDL_DISKAUDIOFILE");

  const std::string raw = slurp(file);
  ASSERT_GE(raw.size(), 4u * 4096);
  const auto* s = reinterpret_cast<const i16*>(raw.data());
  const size_t frames = raw.size() / 4;
  size_t first = 0;
  while (first < frames && s[2 * first] == 0 && s[2 * first + 1] == 0) ++first;
  ASSERT_GT(first, 0u); // silence while the ring filled
  ASSERT_GE(frames - first, 2048u);
  for (size_t i = 0; i < 2048; ++i) {
    ASSERT_EQ(s[2 * (first + i)], i16(1 + i)) << i;
    ASSERT_EQ(s[2 * (first + i) + 1], i16(-(1 + i))) << i;
  }
}

TEST(AudioDevice, NoDeviceRunsSilent) {
  log_capture log;
  setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  audio_output* h = audio_open(rate, 100);
  unsetenv("SDL_AUDIODRIVER");
  EXPECT_EQ(h, nullptr);
  EXPECT_NE(log.text().find("SDL audio initialization failed: "), std::string::npos) << log.text();
  push_frames(h, 10); // ignored
  audio_close(h);
}

} // namespace
