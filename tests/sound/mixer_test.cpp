// The sample mixer on a hand-made sample_table: overlapping copies, the
// game's channel cut, the voice limit, refused table entries, fades and the
// two gains. The output is turned back into the pre-filter sums.
#include "sound/mixer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "machine/memory.h"
#include "sound/ym_chip.h"
#include "support/machine/machine_fixture.h"

namespace {

constexpr int chunk = 882;
constexpr u32 sample_base = 0x50000;

int level_of(int s) { return 15 - s; }
int length_of(int s) { return 300 + 50 * s; }

void put32(u32 addr, u32 v) {
  for (int i = 0; i < 4; ++i) ram[addr + i] = static_cast<u8>(v >> (24 - 8 * i));
}

void set_entry(int s, u32 start, u32 end) {
  put32(sample_table_address + 8 * s, start);
  put32(sample_table_address + 8 * s + 4, end);
}

// Nine samples, each one constant level with junk in the high nibble.
void build_samples() {
  for (int s = 0; s < sample_count; ++s) {
    const u32 start = sample_base + 0x1000 * s;
    for (int i = 0; i < length_of(s); ++i) ram[start + i] = static_cast<u8>(0xA0 | level_of(s));
    set_entry(s, start, start + length_of(s));
  }
}

struct stereo {
  std::vector<double> left, right;
};

class Mixer : public MachineTest {
 protected:
  void SetUp() override {
    MachineTest::SetUp();
    build_samples();
    mixer_drop_cache();
    mixer_set_gain(1.0);
    // Silence brings the DC blocker to rest, so sums can be recovered.
    mixer_options(1, 0);
    std::vector<float> out(2 * chunk);
    for (int i = 0; i < 12; ++i) mixer_render(chunk, out.data());
  }
  void TearDown() override {
    mixer_reset();
    mixer_drop_cache();
    mixer_options(0, 0);
    mixer_set_gain(1.0);
    MachineTest::TearDown();
  }

  std::vector<float> out;
  void render(int chunks, int count = chunk) {
    for (int c = 0; c < chunks; ++c) {
      std::vector<float> o(2 * static_cast<size_t>(count));
      mixer_render(count, o.data());
      out.insert(out.end(), o.begin(), o.end());
    }
  }
  // Undoes the per-side DC blocker and the gain.
  stereo sums(double gain) const {
    stereo r;
    double px[2] = {0, 0}, py[2] = {0, 0};
    for (size_t i = 0; i < out.size(); ++i) {
      const int side = i & 1;
      const double y = out[i] / gain;
      const double x = y - 0.995 * py[side] + px[side];
      py[side] = y, px[side] = x;
      (side ? r.right : r.left).push_back(x);
    }
    return r;
  }
};

double level(int s) { return ym_dac16()[level_of(s)]; }
constexpr double gain_pan = 0.9333333333333332;
constexpr double gain_centre = 0.4666666666666666;

TEST_F(Mixer, StartsTakeEffectInTimeOrder) {
  // The later start cuts the earlier one on the game's channel, whatever
  // order they were queued in.
  mixer_options(0, 1);
  mixer_start(1, 0, 0.5, 0.5f);
  mixer_start(2, 0, 0.1, 0.5f);
  render(1);
  ASSERT_EQ(mixer_voice_count(), 1);
  EXPECT_EQ(mixer_voices()[0].sample, 1);
}

TEST_F(Mixer, ThirdCopyFadesTheOldestCopy) {
  mixer_options(1, 0);
  mixer_start(0, 0, 0.0, 0.5f);
  render(1);
  mixer_start(0, 0, 0.5, 0.5f);
  render(1);
  mixer_start(0, 0, 0.0, 0.5f);
  render(1);
  ASSERT_EQ(mixer_voice_count(), 2);
  for (int v = 0; v < 2; ++v) EXPECT_LT(mixer_voices()[v].position, 2 * chunk * mixer_step) << v;
}

TEST_F(Mixer, EmptyChunkStillStartsItsVoices) {
  mixer_options(1, 0);
  mixer_start(3, 0, 0.7, 0.5f);
  mixer_render(0, nullptr);
  EXPECT_EQ(mixer_queued(), 0);
  ASSERT_EQ(mixer_voice_count(), 1);
  EXPECT_EQ(mixer_voices()[0].start_offset, 0);
}

TEST_F(Mixer, CentredCopiesOverlapAndAThirdFadesTheFirst) {
  mixer_options(1, 0);
  mixer_start(0, 0, 0.0, 0.0f);
  mixer_start(0, 1, 0.0, 1.0f);
  render(1);
  EXPECT_EQ(mixer_voice_count(), 2);
  mixer_start(0, 0, 0.0, 0.0f);
  render(1);
  EXPECT_EQ(mixer_voice_count(), 2);
  const stereo s = sums(gain_centre);
  // Pan is off: every copy sits in the centre whatever pan was asked for.
  EXPECT_NEAR(s.left[10], level(0), 1e-4);
  EXPECT_NEAR(s.right[10], level(0), 1e-4);
  // Second chunk: two running copies, one fading over 441 frames, a new one.
  EXPECT_NEAR(s.left[chunk + 220], 0.5 * level(0) * (2 + (441 - 220) / 441.0), 1e-4);
  EXPECT_NEAR(s.left[chunk + 441], level(0), 1e-4);
  EXPECT_NEAR(s.left[chunk + 800], level(0), 1e-4);
}

TEST_F(Mixer, OneChannelNewEffectCutsTheOldOverAMillisecond) {
  mixer_options(0, 1);
  mixer_start(1, 0, 0.0, 0.0f);
  mixer_start(2, 1, 0.0, 1.0f);
  render(1);
  mixer_start(3, 0, 0.0, 0.0f);
  render(1);
  EXPECT_EQ(mixer_voice_count(), 2);
  const stereo s = sums(gain_pan);
  EXPECT_NEAR(s.left[10], level(1), 1e-4);
  EXPECT_NEAR(s.right[10], level(2), 1e-4);
  EXPECT_NEAR(s.left[chunk + 22], level(1) * 22 / 44.0 + level(3), 1e-4);
  EXPECT_NEAR(s.left[chunk + 44], level(3), 1e-4);
  EXPECT_NEAR(s.right[chunk + 44], level(2), 1e-4);
}

TEST_F(Mixer, NinthVoiceFadesTheFirst) {
  mixer_options(1, 1);
  for (int s = 0; s < 9; ++s) mixer_start(s, s & 1, 0.0, 0.5f);
  render(1);
  EXPECT_EQ(mixer_voice_count(), 8);
  const stereo s = sums(gain_pan);
  double all = 0;
  for (int k = 0; k < 9; ++k) all += 0.5 * level(k);
  EXPECT_NEAR(s.left[0], all - 0.5 * level(0) * (1 - 441 / 441.0), 1e-4);
  EXPECT_NEAR(s.left[441], all - 0.5 * level(0), 1e-4);
  for (int v = 0; v < mixer_voice_count(); ++v) EXPECT_NE(mixer_voices()[v].sample, 0);
}

TEST_F(Mixer, StartTimePlacesTheVoiceWithinTheChunk) {
  mixer_options(0, 1);
  mixer_start(4, 0, 0.5, 0.25f);
  mixer_start(5, 1, 7.0, 1.0f); // beyond the chunk: its last frame
  render(1);
  const stereo s = sums(gain_pan);
  EXPECT_NEAR(s.left[440], 0, 1e-5);
  EXPECT_NEAR(s.left[441], 0.75 * level(4), 1e-4);
  EXPECT_NEAR(s.right[441], 0.25 * level(4), 1e-4);
  EXPECT_NEAR(s.right[chunk - 2], 0.25 * level(4), 1e-4);
  EXPECT_NEAR(s.right[chunk - 1], 0.25 * level(4) + level(5), 1e-4);
}

TEST_F(Mixer, SampleEndsAfterItsBytes) {
  mixer_options(1, 0);
  mixer_start(0, 0, 0.0, 0.5f);
  render(4);
  const int frames = static_cast<int>(std::ceil(length_of(0) / mixer_step));
  const stereo s = sums(gain_centre);
  EXPECT_NEAR(s.left[frames - 1], 0.5 * level(0), 1e-4);
  EXPECT_NEAR(s.left[frames], 0, 1e-4);
  EXPECT_EQ(mixer_voice_count(), 0);
}

TEST_F(Mixer, RefusedSamplesPlayNothing) {
  struct row {
    const char* what;
    int sample;
    u32 start, end;
  };
  const row rows[] = {
      {"sample 9", 9, 0, 0},
      {"start 0", 2, 0, 0x100},
      {"start at end", 2, 0x52000, 0x52000},
      {"end beyond RAM", 2, 0x3FFF00, 0x400001},
      {"longer than 32,767", 2, 0x52000, 0x52000 + 32768},
      {"beyond the 24-bit space", 2, 0x01052000, 0x01052100},
  };
  mixer_options(1, 1);
  for (const row& r : rows) {
    if (r.sample < sample_count) set_entry(r.sample, r.start, r.end);
    mixer_start(r.sample, 0, 0.0, 0.5f);
    EXPECT_EQ(mixer_queued(), 0) << r.what;
  }
  // The longest sample the game can have is taken.
  set_entry(2, 0x52000, 0x52000 + 32767);
  mixer_start(2, 0, 0.0, 0.5f);
  EXPECT_EQ(mixer_queued(), 1);
  mixer_start(-1, 0, 0.0, 0.5f);
  EXPECT_EQ(mixer_queued(), 1);
}

TEST_F(Mixer, NothingQueuesWithBothOptionsOff) {
  mixer_options(0, 0);
  mixer_start(0, 0, 0.0, 0.5f);
  EXPECT_EQ(mixer_queued(), 0);
}

TEST_F(Mixer, QueueAndVoiceLimits) {
  mixer_options(1, 1);
  for (int i = 0; i < 70; ++i) mixer_start(i % 9, 0, 0.0, 0.5f);
  EXPECT_EQ(mixer_queued(), mixer_max_starts);
  // A chunk shorter than a fade keeps the faded voices too.
  render(1, 40);
  EXPECT_EQ(mixer_voice_count(), mixer_max_voices);
  EXPECT_EQ(mixer_queued(), 0);
  mixer_start(0, 0, 0.0, 0.5f);
  mixer_options(1, 0);
  EXPECT_EQ(mixer_queued(), 0);
}

TEST_F(Mixer, GainsWithAndWithoutPan) {
  for (int pan : {0, 1}) {
    mixer_reset();
    std::vector<float> o(2 * chunk);
    for (int i = 0; i < 12; ++i) mixer_render(chunk, o.data());
    mixer_options(1, pan);
    mixer_set_gain(0.5);
    mixer_start(6, 0, 0.0, 0.5f);
    mixer_render(chunk, o.data());
    const double g = pan ? gain_pan : gain_centre;
    EXPECT_NEAR(o[0], 0.5 * g * 0.5 * level(6), 1e-6) << pan;
    EXPECT_NEAR(o[1], 0.5 * g * 0.5 * level(6), 1e-6) << pan;
  }
}

TEST_F(Mixer, DroppedCacheReadsTheSamplesAgain) {
  mixer_options(1, 0);
  for (int s : {0, 8}) mixer_start(s, 0, 0.0, 0.5f);
  render(1);
  EXPECT_NEAR(sums(gain_centre).left[chunk - 1], 0.5 * (level(0) + level(8)), 1e-4);
  for (int s : {0, 8}) {
    const u32 start = sample_base + 0x1000 * s;
    for (int i = 0; i < length_of(s); ++i) ram[start + i] = 3;
  }
  mixer_drop_cache();
  EXPECT_EQ(mixer_voice_count(), 0);
  for (int s : {0, 8}) mixer_start(s, 0, 0.0, 0.5f);
  out.clear(); // the reset brought the filter to rest
  render(1);
  EXPECT_NEAR(sums(gain_centre).left[100], ym_dac16()[3], 1e-4);
}

TEST_F(Mixer, ResetForgetsVoicesStartsAndTheFilterState) {
  mixer_options(1, 1);
  mixer_start(0, 0, 0.0, 0.5f);
  render(1);
  mixer_start(1, 0, 0.0, 0.5f);
  mixer_reset();
  EXPECT_EQ(mixer_voice_count(), 0);
  EXPECT_EQ(mixer_queued(), 0);
  std::vector<float> o(2 * chunk, 1.0f);
  mixer_render(chunk, o.data());
  for (float v : o) ASSERT_EQ(v, 0.0f);
}

} // namespace
