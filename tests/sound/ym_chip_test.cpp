// The chip emulation checked by its properties: tone frequencies and duty,
// the mixer register, the noise sequence and its spectrum, the envelope
// shapes and rate, the event intake and the output stage.
#include "sound/ym_chip.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <set>

#include "sound_signal.h"
#include "ym_writer.h"

namespace {

struct chip_deleter {
  void operator()(ym_state* s) const { ym_free(s); }
};
using chip_ptr = std::unique_ptr<ym_state, chip_deleter>;

chip_ptr chip(std::initializer_list<std::pair<int, int>> regs) { return chip_ptr(chip_with(regs)); }

constexpr int second = 44100;
constexpr int chunk = 882;

// One second of one channel (A, B or C) at full volume with the tone period p.
std::vector<float> tone_second(int p, int channel = 0) {
  chip_ptr s = chip({{2 * channel, p & 255}, {2 * channel + 1, p >> 8}, {7, 0x3F & ~(1 << channel)}, {8 + channel, 15}});
  return render_chunks(s.get(), 50, chunk);
}

TEST(YmTone, FundamentalAt125kHzOverThePeriod) {
  for (int p : {7, 28, 284, 4095}) {
    const std::vector<float> x = tone_second(p);
    const double f = 125000.0 / p;
    EXPECT_NEAR(peak_frequency(x, f - 5, f + 5, 0.25), f, 1.0) << "period " << p;
  }
  for (int channel : {1, 2}) {
    const std::vector<float> x = tone_second(284, channel);
    EXPECT_NEAR(peak_frequency(x, 435, 445, 0.25), 125000.0 / 284, 1.0) << "channel " << channel;
  }
}

TEST(YmTone, TooHighToRenderIsAConstantHalfLevel) {
  for (int p : {0, 1, 6}) {
    const std::vector<float> x = tone_second(p);
    // The half level is a constant: the DC blocker removes it entirely.
    EXPECT_LT(rms(x, second / 2), 1e-4) << "period " << p;
    const std::vector<double> mix = chip_mix_from_output(x);
    EXPECT_NEAR(mix[100], 0.5, 1e-4) << "period " << p;
  }
  EXPECT_EQ(tone_second(0), tone_second(1));
}

TEST(YmTone, AChannelLeavingPeriodZeroGoesOnFromThePhaseItLeft) {
  // 100 samples at period 0 (taken as 1, 125 kHz) leave the phase at a
  // fraction of their steps; the 440 Hz tone written next starts there.
  chip_ptr s = chip({{7, 0x3E}, {8, 15}});
  std::vector<float> y = render_chunks(s.get(), 1, 100);
  const std::vector<float> after = render_chunks(s.get(), 1, chunk, {ev(0, 0, 284 & 255), ev(0, 1, 284 >> 8)});
  y.insert(y.end(), after.begin(), after.end());
  const std::vector<double> mix = chip_mix_from_output(y);
  double phase = 0;
  for (int i = 0; i < 100; ++i) phase += 125000.0 / 44100;
  int checked = 0;
  for (int i = 0; i < chunk; ++i) {
    phase += 125000.0 / 284 / 44100;
    const double f = phase - std::floor(phase);
    if (std::fabs(f - 0.5) < 1e-6 || f < 1e-6) continue;
    ASSERT_NEAR(mix[100 + i], f >= 0.5 ? 1.0 : 0.0, 1e-3) << "sample " << i;
    ++checked;
  }
  EXPECT_GT(checked, chunk - 4);
}

TEST(YmTone, SquareWaveHasHalfDuty) {
  for (int p : {28, 284, 4095}) {
    const std::vector<double> mix = chip_mix_from_output(tone_second(p));
    int high = 0;
    for (double m : mix) {
      ASSERT_TRUE(std::fabs(m) < 1e-3 || std::fabs(m - 1) < 1e-3) << m;
      high += m > 0.5;
    }
    EXPECT_NEAR(double(high) / second, 0.5, 0.01) << "period " << p;
  }
}

TEST(YmMixerRegister, ToneNoiseBothOrNeither) {
  struct row {
    int reg7;
    double high_fraction;
  };
  // Bits are active low: bit 0 tone A off, bit 3 noise A off.
  const row rows[] = {{0x3E, 0.5}, {0x37, 0.5}, {0x36, 0.25}};
  for (const row& r : rows) {
    chip_ptr s = chip({{0, 100}, {6, 7}, {7, r.reg7}, {8, 12}});
    const std::vector<double> mix = chip_mix_from_output(render_chunks(s.get(), 50, chunk));
    const double level = ym_dac16()[12];
    int high = 0;
    for (double m : mix) {
      ASSERT_TRUE(std::fabs(m) < 1e-3 || std::fabs(m - level) < 1e-3) << m;
      high += m > level / 2;
    }
    EXPECT_NEAR(double(high) / second, r.high_fraction, 0.02) << std::hex << r.reg7;
  }
}

TEST(YmMixerRegister, NeitherGivesTheConstantLevelThroughTheDcBlocker) {
  chip_ptr s = chip({{0, 100}, {7, 0x3F}, {8, 12}});
  const std::vector<float> y = render_chunks(s.get(), 2, chunk);
  const double step = ym_dac16()[12] / 3 * 1.4;
  EXPECT_NEAR(y[0], step, 1e-6);
  for (int i = 1; i < 2 * chunk; ++i) ASSERT_NEAR(y[i], y[i - 1] * 0.995, 1e-6) << i;
}

TEST(YmNoise, TableIsAMaximal17BitSequence) {
  const u8* t = ym_noise_table();
  // Every non-zero 17-bit window appears exactly once in one period.
  std::set<u32> windows;
  u32 w = 0;
  for (int i = 0; i < 17; ++i) w = w << 1 | t[i];
  for (int i = 0; i < ym_noise_period; ++i) {
    ASSERT_NE(w, 0u);
    windows.insert(w);
    w = (w << 1 | t[(i + 17) % ym_noise_period]) & 0x1FFFF;
  }
  EXPECT_EQ(windows.size(), size_t(ym_noise_period));
}

TEST(YmNoise, EveryPeriodMakesNoise) {
  for (int n = 0; n < 32; ++n) {
    chip_ptr s = chip({{6, n}, {7, 0x37}, {8, 15}});
    const std::vector<float> x = render_chunks(s.get(), 2, chunk);
    EXPECT_GT(rms(x, chunk), 0.1) << "period " << n;
  }
}

TEST(YmNoise, OneStepPerNoisePeriodFollowsTheSequence) {
  // At an output rate of 125 kHz, noise period 1 advances one entry a sample.
  ym_state* s = ym_new(125000);
  const u8 regs[16] = {0, 0, 0, 0, 0, 0, 1, 0x37, 15};
  ym_set_state(s, regs);
  std::vector<float> y;
  for (int c = 0; c < 17; ++c) {
    std::vector<float> part(ym_max_chunk);
    ym_render(s, ym_max_chunk, nullptr, 0, part.data());
    y.insert(y.end(), part.begin(), part.end());
  }
  ym_free(s);
  const std::vector<double> mix = chip_mix_from_output(y);
  const u8* t = ym_noise_table();
  for (size_t i = 0; i < mix.size(); ++i)
    ASSERT_NEAR(mix[i], t[(i + 1) % ym_noise_period], 1e-3) << i;
}

TEST(YmNoise, FastestNoiseRepeatsAfterOnePeriod) {
  chip_ptr s = chip({{6, 1}, {7, 0x37}, {8, 15}});
  const std::vector<float> x = render_chunks(s.get(), 120, chunk);
  const double period_samples = ym_noise_period * 44100.0 / 125000.0; // 46,243.05
  size_t best = 0;
  double best_r = -1;
  for (size_t lag = 46200; lag <= 46290; ++lag) {
    const double r = autocorrelation(x, lag);
    if (r > best_r) best_r = r, best = lag;
  }
  EXPECT_NEAR(double(best), period_samples, 1.0);
  EXPECT_GT(best_r, 0.4);
  EXPECT_LT(std::fabs(autocorrelation(x, 20000)), 0.05);
}

TEST(YmNoise, SlowNoiseHasItsFirstNullAtItsRate) {
  chip_ptr s = chip({{6, 31}, {7, 0x37}, {8, 15}});
  const std::vector<float> x = render_chunks(s.get(), 100, chunk);
  auto band = [&](double centre) {
    double sum = 0;
    for (double f = centre - 60; f <= centre + 60; f += 2) sum += tone_power(x, f);
    return sum;
  };
  const double null_at = 125000.0 / 31;
  EXPECT_LT(band(null_at), 0.1 * band(null_at / 2));
  EXPECT_LT(band(null_at), 0.2 * band(null_at * 1.5));
}

// The envelope's level in words: which step (0..31) shape `shape` shows at
// whole position i.
int shape_step(int shape, long i) {
  const bool rising = shape & 4;
  const int first = rising ? int(i % 32) : 31 - int(i % 32);
  if (i < 32) return first;
  if (!(shape & 8)) return 0;            // once, then silent
  if (shape == 11 || shape == 13) return 31; // once, then full
  if (shape == 8 || shape == 12) return first; // sawtooth
  if (shape == 10 || shape == 14) {      // triangle
    const bool second_half = (i / 32) % 2;
    return second_half ? 31 - first : first;
  }
  return shape == 9 || shape == 15 ? 0 : 31;
}

TEST(YmEnvelope, EveryShapeStepByStep) {
  const int period = 57; // about 0.1 step per sample
  const double per_sample = 2000000.0 / (8.0 * period) / 44100.0;
  for (int shape = 0; shape < 16; ++shape) {
    chip_ptr s = chip({{7, 0x3F}, {8, 16}, {11, period}, {13, shape}});
    const std::vector<double> mix = chip_mix_from_output(render_chunks(s.get(), 2, chunk));
    int checked = 0;
    for (size_t i = 0; i < mix.size(); ++i) {
      const double pos = double(i + 1) * per_sample;
      const double frac = pos - std::floor(pos);
      if (frac < 0.2 || frac > 0.8) continue; // well inside one step
      const int step = shape_step(shape, long(pos));
      ASSERT_NEAR(mix[i], ym_dac32()[step], 1e-4) << "shape " << shape << " sample " << i;
      ++checked;
    }
    EXPECT_GT(checked, 900);
  }
}

TEST(YmVolume, TheChipsSixteenLevels) {
  const float levels[16] = {0.0f,     0.00999f, 0.01445f, 0.02105f, 0.0307f,  0.04555f, 0.0645f,  0.10736f,
                            0.12663f, 0.20499f, 0.29221f, 0.37284f, 0.49253f, 0.63544f, 0.80575f, 1.0f};
  for (int v = 0; v < 16; ++v) {
    EXPECT_EQ(ym_dac16()[v], levels[v]) << "volume " << v;
    chip_ptr s = chip({{7, 0x3F}, {9, v}});
    EXPECT_NEAR(chip_mix_from_output(render_chunks(s.get(), 1, 8))[4], levels[v], 1e-5) << "volume " << v;
  }
}

TEST(YmEnvelope, PeriodZeroStepsAsPeriodOne) {
  // 5.67 steps a sample: each sample is checked well inside its step.
  const double per_sample = 2000000.0 / 8.0 / 44100.0;
  for (int shape : {8, 14}) {
    chip_ptr s = chip({{7, 0x3F}, {8, 16}, {11, 0}, {12, 0}, {13, shape}});
    const std::vector<double> mix = chip_mix_from_output(render_chunks(s.get(), 2, chunk));
    int checked = 0;
    for (size_t i = 0; i < mix.size(); ++i) {
      const double pos = double(i + 1) * per_sample;
      const double frac = pos - std::floor(pos);
      if (frac < 0.2 || frac > 0.8) continue;
      ASSERT_NEAR(mix[i], ym_dac32()[shape_step(shape, long(pos) % 64)], 1e-4) << "shape " << shape << " sample " << i;
      ++checked;
    }
    EXPECT_GT(checked, 1000) << "shape " << shape;
  }
}

TEST(YmEnvelope, AFixedVolumeChannelBesideAnEnvelopeOneKeepsItsLevel) {
  // Shape 13 rises once and stays at full level (about 6 samples at period 1);
  // only bit 4 of a volume register chooses the envelope.
  struct row {
    int env_reg, fixed_reg, fixed_volume;
  };
  const row rows[] = {{8, 9, 13}, {8, 9, 1}, {10, 8, 15}, {9, 10, 6}};
  for (const row& r : rows) {
    chip_ptr s = chip({{7, 0x3F}, {r.env_reg, 16}, {r.fixed_reg, r.fixed_volume}, {11, 1}, {13, 13}});
    const std::vector<double> mix = chip_mix_from_output(render_chunks(s.get(), 1, chunk));
    for (int i = 20; i < chunk; i += 97)
      ASSERT_NEAR(mix[i], 1.0 + ym_dac16()[r.fixed_volume], 1e-4)
          << "envelope on " << r.env_reg << ", volume " << r.fixed_volume << " on " << r.fixed_reg << ", sample " << i;
  }
}

TEST(YmEnvelope, Volume32FollowsTheChipCurve) {
  EXPECT_EQ(ym_dac32()[0], 0.0f);
  EXPECT_EQ(ym_dac32()[1], ym_dac16()[1]);
  EXPECT_EQ(ym_dac32()[2], ym_dac16()[1]);
  EXPECT_EQ(ym_dac32()[29], ym_dac16()[15]);
  EXPECT_EQ(ym_dac32()[30], ym_dac16()[15]);
  EXPECT_EQ(ym_dac32()[31], 1.0f);
}

TEST(YmEnvelope, SawtoothRateFollowsThePeriod) {
  chip_ptr s = chip({{7, 0x3F}, {8, 16}, {11, 10}, {13, 8}});
  const std::vector<float> x = render_chunks(s.get(), 50, chunk);
  EXPECT_NEAR(peak_frequency(x, 770, 790, 0.25), 781.25, 1.0);
}

TEST(YmEnvelope, SlowEnvelopeAdvancesAcrossChunks) {
  chip_ptr s = chip({{7, 0x3F}, {8, 16}, {11, 255}, {12, 255}, {13, 8}});
  const std::vector<double> mix = chip_mix_from_output(render_chunks(s.get(), 50, chunk));
  // 3.81 steps a second, fewer than 0.1 in each chunk.
  EXPECT_NEAR(mix.front(), ym_dac32()[31], 1e-4);
  EXPECT_NEAR(mix.back(), ym_dac32()[28], 1e-4);
}

TEST(YmEnvelope, RestartTakesEffectFromTheChunkStart) {
  // A falling sawtooth, then a rising one written at some time in chunk 2.
  auto two_chunks = [](double write_time) {
    chip_ptr s = chip({{7, 0x3F}, {8, 16}, {11, 57}, {13, 8}});
    std::vector<float> y = render_chunks(s.get(), 1, chunk);
    const std::vector<float> second =
        render_chunks(s.get(), 1, chunk, write_time < 0 ? std::vector<ym_event>{} : std::vector{ev(write_time, 13, 12)});
    y.insert(y.end(), second.begin(), second.end());
    return chip_mix_from_output(y);
  };
  const std::vector<double> early = two_chunks(0.0), late = two_chunks(0.9), none = two_chunks(-1);
  EXPECT_EQ(early, late);
  EXPECT_NEAR(early[chunk + 5], ym_dac32()[0], 1e-4); // rising from its first step
  EXPECT_NEAR(none[chunk + 5], ym_dac32()[31 - int(std::floor((chunk + 6) * 0.0995)) % 32], 0.02);
}

TEST(YmEnvelope, ShapeWriteWithoutEnvelopeUseRestartsNothing) {
  auto third_chunk = [](bool write_shape) {
    chip_ptr s = chip({{7, 0x3F}, {8, 16}, {11, 57}, {13, 8}});
    render_chunks(s.get(), 1, chunk);
    std::vector<ym_event> plain = {ev(0, 8, 15)};
    if (write_shape) plain.push_back(ev(0.5, 13, 12));
    render_chunks(s.get(), 1, chunk, plain);
    EXPECT_EQ(s->regs[13], write_shape ? 12 : 8);
    return render_chunks(s.get(), 1, chunk, {ev(0, 8, 16)});
  };
  EXPECT_EQ(third_chunk(true), third_chunk(false));
}

TEST(YmEvents, SameSampleLastWins) {
  chip_ptr a = chip({{7, 0x3F}});
  chip_ptr b = chip({{7, 0x3F}});
  const std::vector<float> twice = render_chunks(a.get(), 1, chunk, {ev(0.5, 8, 3), ev(0.5, 8, 15)});
  const std::vector<float> once = render_chunks(b.get(), 1, chunk, {ev(0.5, 8, 15)});
  EXPECT_EQ(twice, once);
  EXPECT_EQ(a->regs[8], 15);
}

TEST(YmEvents, WriteBeyond256OfOneRegisterIsDropped) {
  chip_ptr s = chip({{7, 0x3F}});
  std::vector<ym_event> e(ym_events_per_register, ev(0.1, 8, 5));
  e.push_back(ev(0.5, 8, 15));
  e.push_back(ev(0.6, 9, 7)); // another register still has room
  const std::vector<double> mix = chip_mix_from_output(render_chunks(s.get(), 1, chunk, e));
  EXPECT_NEAR(mix[chunk - 1], ym_dac16()[5] + ym_dac16()[7], 1e-4);
  EXPECT_EQ(s->regs[8], 5);
  EXPECT_EQ(s->regs[9], 7);
}

TEST(YmEvents, TimesAtOrBeyondTheEdgesStayInsideTheChunk) {
  chip_ptr s = chip({{7, 0x3F}});
  const std::vector<double> mix = chip_mix_from_output(
      render_chunks(s.get(), 1, chunk, {ev(std::nan(""), 8, 15), ev(1.0, 9, 15), ev(7.5, 10, 15)}));
  EXPECT_NEAR(mix[0], 1.0, 1e-4);
  EXPECT_NEAR(mix[chunk - 2], 1.0, 1e-4);
  EXPECT_NEAR(mix[chunk - 1], 3.0, 1e-4);
}

TEST(YmEvents, TaggedVolumeWriteIsASampleLevel) {
  chip_ptr s = chip({{7, 0x3F}, {8, 4}});
  ym_set_sample_gain(s.get(), 0.5);
  const std::vector<double> mix =
      chip_mix_from_output(render_chunks(s.get(), 1, chunk, {ev(0, 16 + 8, 15), ev(0, 16 + 9, 13)}));
  EXPECT_NEAR(mix[10], ym_dac16()[4] + 0.5 * (1.0 + ym_dac16()[13]), 1e-4);
  EXPECT_EQ(s->regs[8], 4);
  EXPECT_EQ(s->sample_levels[0], 15u);
  EXPECT_EQ(s->sample_levels[1], 13u);
  // Each pseudo-register keeps its own last level.
  render_chunks(s.get(), 1, chunk, {ev(0.5, 16 + 8, 3)});
  EXPECT_EQ(s->sample_levels[0], 3u);
  EXPECT_EQ(s->sample_levels[1], 13u);
  render_chunks(s.get(), 1, chunk, {ev(0.5, 16 + 9, 2)});
  EXPECT_EQ(s->sample_levels[0], 3u);
  EXPECT_EQ(s->sample_levels[1], 2u);
}

TEST(YmEvents, TaggedMixerWriteAndUnknownCodesAreIgnored) {
  chip_ptr a = chip({{7, 0x3F}, {8, 9}});
  chip_ptr b = chip({{7, 0x3F}, {8, 9}});
  const std::vector<float> with = render_chunks(a.get(), 1, chunk, {ev(0, 16 + 7, 0), ev(0, 16 + 10, 15), ev(0, 40, 1)});
  EXPECT_EQ(with, render_chunks(b.get(), 1, chunk));
  EXPECT_EQ(a->regs[7], 0x3F);
  for (int r = 0; r < 16; ++r) EXPECT_EQ(a->regs[r], b->regs[r]) << r;
}

TEST(YmEvents, NoSamplesOnlyAppliesTheWrites) {
  chip_ptr s = chip({});
  const std::vector<ym_event> e = {ev(0, 3, 7), ev(0.2, 16 + 9, 11), ev(0.3, 16 + 7, 1), ev(0.4, 16 + 8, 6)};
  ym_render(s.get(), 0, e.data(), int(e.size()), nullptr);
  EXPECT_EQ(s->regs[3], 7);
  EXPECT_EQ(s->regs[7], 0x3F);
  EXPECT_EQ(s->sample_levels[0], 6u);
  EXPECT_EQ(s->sample_levels[1], 11u);
}

TEST(YmEvents, MachineLogFeedsTheChip) {
  u8 zero[16] = {};
  set_ym_regs(zero);
  ym_events_clear();
  ym_write(7, 0x3F);
  ym_write(8, 15, 0.5, true);
  ym_write(9, 6, 0.5);
  ym_event e[8];
  const int n = ym_events_take(e, 8);
  ASSERT_EQ(n, 3);
  chip_ptr s = chip({{7, 0x3F}});
  const std::vector<double> mix = chip_mix_from_output([&] {
    std::vector<float> out(chunk);
    ym_render(s.get(), chunk, e, n, out.data());
    return out;
  }());
  EXPECT_NEAR(mix[chunk / 2 - 1], 0, 1e-4);
  EXPECT_NEAR(mix[chunk / 2], 1.0 + ym_dac16()[6], 1e-4);
}

TEST(YmOutput, ChannelGainsScaleEachChannel) {
  chip_ptr s = chip({{7, 0x3F}, {8, 15}, {9, 15}, {10, 15}});
  ym_set_channel_gains(s.get(), 0.25f, 0.5f, 0.0f);
  const std::vector<double> mix = chip_mix_from_output(render_chunks(s.get(), 1, chunk));
  EXPECT_NEAR(mix[5], 0.75, 1e-4);
}

TEST(YmOutput, LoudMixClipsAtFullScale) {
  chip_ptr s = chip({{7, 0x3F}, {8, 15}, {9, 15}, {10, 15}});
  const std::vector<float> y = render_chunks(s.get(), 1, chunk);
  EXPECT_EQ(y[0], 1.0f);
  chip_ptr t = chip({{7, 0x3F}, {8, 15}, {9, 15}, {10, 15}});
  render_chunks(t.get(), 1, chunk);
  const std::vector<float> down = render_chunks(t.get(), 1, chunk, {ev(0, 8, 0), ev(0, 9, 0), ev(0, 10, 0)});
  EXPECT_EQ(down[0], -1.0f);
}

TEST(YmOutput, CountAboveTheMaximumIsCut) {
  chip_ptr s = chip({{7, 0x3F}, {8, 15}});
  std::vector<float> out(ym_max_chunk + 8, 7.0f);
  ym_render(s.get(), ym_max_chunk + 8, nullptr, 0, out.data());
  EXPECT_NE(out[ym_max_chunk - 1], 7.0f);
  EXPECT_EQ(out[ym_max_chunk], 7.0f);
}

TEST(YmSamplesFor, ChunkLengthsCarryTheFraction) {
  chip_ptr s = chip({});
  for (int i = 0; i < 100; ++i) ASSERT_EQ(ym_samples_for(s.get(), 1.0 / 50), 882);
  chip_ptr t = chip({});
  int total = 0;
  for (int i = 0; i < 48; ++i) {
    const int n = ym_samples_for(t.get(), 1.0 / 48);
    ASSERT_TRUE(n == 918 || n == 919) << n;
    total += n;
  }
  EXPECT_EQ(total, 44100);
  EXPECT_EQ(ym_samples_for(t.get(), std::nan("")), 0);
  EXPECT_EQ(ym_samples_for(t.get(), -1), 0);
}

} // namespace
