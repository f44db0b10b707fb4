// The YM driver's effect channels and its random register, on the synthetic
// driver data, ticked through the game's Timer C handler.
#include "ym_driver_test.h"

namespace {

// A descriptor of the test's own as effect 30.
void write_effect(const synth_effect& d) {
  const u32 at = synth_test_streams + 0x900;
  for (u32 i = 0; i < d.size(); ++i) wr8(at + i, d[i]);
  wr16(ym_effect_table + 2 * 30, at - ym_driver_vars);
}

struct channel_out {
  int period = -1; // fine | coarse << 8, -1 when not written
  int volume = -1;
  int noise = -1;
  int mixer = -1;
};

// What one tick wrote for channel c.
channel_out tick_channel(YmDriverTest& t, int c) {
  t.tick();
  channel_out o;
  int fine = -1, coarse = -1;
  for (const ym_write& w : take_writes()) {
    if (w.reg == 2 * c) fine = w.value;
    if (w.reg == 2 * c + 1) coarse = w.value;
    if (w.reg == 8 + c) o.volume = w.value;
    if (w.reg == 6) o.noise = w.value;
    if (w.reg == 7) o.mixer = w.value;
  }
  if (fine >= 0 && coarse >= 0) o.period = coarse << 8 | fine;
  return o;
}

TEST_F(YmDriverTest, AnEffectOfDurationThreeCarriesItsChannelForThreeTicks) {
  ASSERT_EQ(run_routine(0x041BE8), 1); // a stop: the images as silence leaves them
  take_writes();
  start_effect(1, 0);
  EXPECT_EQ(rd8(ym_driver_vars + ym_var::effect_on), 1u);
  EXPECT_EQ(rd8(ym_driver_vars + ym_var::effect_volume), 15u) << "the sequence's first byte at the start";
  std::vector<int> volumes;
  for (int i = 0; i < 3; ++i) {
    const channel_out o = tick_channel(*this, 0);
    EXPECT_EQ(o.period, 0x0123);
    EXPECT_EQ(o.mixer, 0x3E) << "A's tone on over the silence's all-off";
    volumes.push_back(o.volume);
  }
  EXPECT_EQ(volumes, (std::vector<int>{15, 12, 9}));
  EXPECT_EQ(rd8(ym_driver_vars + ym_var::effect_on), 1u);
  const channel_out last = tick_channel(*this, 0);
  EXPECT_EQ(rd8(ym_driver_vars + ym_var::effect_on), 0u) << "the fourth tick ends it";
  EXPECT_EQ(last.volume, 0) << "the music's volume image, cleared";
  tick();
  EXPECT_TRUE(take_writes().empty()) << "idle";
}

TEST_F(YmDriverTest, RestartsThenASweepThatStopsWhenTheRestartsRunOut) {
  start_effect(13, 0);
  std::vector<int> periods, noises, volumes;
  for (int i = 0; i < 20; ++i) {
    const channel_out o = tick_channel(*this, 0);
    periods.push_back(o.period);
    noises.push_back(o.noise);
    volumes.push_back(o.volume);
  }
  const std::vector<int> expected = {0x1F8, 0x1F0, 0x1E8, 0x1E0, 0x1F8, 0x1F0, 0x1E8, 0x1E0, 0x1F8, 0x1F0,
                                     0x1E8, 0x1E0, 0x1E0, 0x1E0, 0x1E0, 0x1E0, 0x1E0, 0x1E0, 0x1E0, 0x1E0};
  EXPECT_EQ(periods, expected) << "restarts at ticks 5 and 9, fixed from tick 13";
  for (size_t i = 0; i < noises.size(); ++i) EXPECT_EQ(noises[i], expected[i] & 0xFF) << i;
  EXPECT_EQ(volumes[12], 8) << "the volume goes on";
  EXPECT_EQ(volumes[19], 8) << "and holds at its end byte";
  EXPECT_EQ(rd8(ym_driver_vars + ym_var::effect_on), 1u);
  tick();
  EXPECT_EQ(rd8(ym_driver_vars + ym_var::effect_on), 0u);
}

TEST_F(YmDriverTest, ARestartAddsTheChannelsRandomByteToBothPeriodBytes) {
  start_effect(16, 0);
  tick_channel(*this, 0);
  wr32(ym_driver_vars + ym_var::random, 0x78000000); // steps to $F0000000 in the next tick
  const channel_out o = tick_channel(*this, 0);
  EXPECT_EQ(rd32(ym_driver_vars + ym_var::random), 0xF0000000u);
  EXPECT_EQ(o.period, 0xF213) << "fine $23 + $F0 carries into coarse $01 + $F0";
}

TEST_F(YmDriverTest, EffectVolumeSequencesLoopAndHold) {
  write_effect({30, 0, 0x00, 0x40, 0, 0, 0xFF, 0, 0, 0, 0, 1, 0, 0});
  start_effect(30, 2);
  EXPECT_EQ(rd8(ym_driver_vars + ym_var::effect_volume + 2), 15u);
  std::vector<int> volumes;
  for (int i = 0; i < 7; ++i) volumes.push_back(tick_channel(*this, 2).volume);
  EXPECT_EQ(volumes, (std::vector<int>{15, 12, 9, 15, 12, 9, 15}));

  write_effect({30, 0, 0x00, 0x40, 0, 0, 0xFF, 0, 0, 0, 2, 1, 0, 0}); // 10, then hold
  start_effect(30, 2);
  volumes.clear();
  for (int i = 0; i < 3; ++i) volumes.push_back(tick_channel(*this, 2).volume);
  EXPECT_EQ(volumes, (std::vector<int>{10, 10, 10}));
}

TEST_F(YmDriverTest, AStartReplacesTheEffectOfItsChannelAtOnce) {
  start_effect(13, 1);
  tick_channel(*this, 1);
  start_effect(9, 1);
  const u32 record = ym_driver_vars + ym_var::effect_records + ym_effect::record_size;
  const synth_effect& nine = synth_sound_content().effects[9];
  for (u32 i = 0; i < 14; ++i) EXPECT_EQ(rd8(record + i), nine[i]) << i;
  EXPECT_EQ(rd16(ym_driver_vars + ym_var::effect_period + 2), 0x00C8u);
  // Any channel number above 1 is C.
  start_effect(1, 7);
  EXPECT_EQ(rd8(ym_driver_vars + ym_var::effect_on + 2), 1u);
  EXPECT_EQ(rd16(ym_driver_vars + ym_var::effect_period + 4), 0x0123u);
  EXPECT_EQ(tick_channel(*this, 2).period, 0x0123) << "C's registers";
  start_effect(13, 1);
  EXPECT_EQ(tick_channel(*this, 1).period, 0x01F8) << "B's registers";
}

std::vector<u32> override_points;
void note_override(u32 address) { override_points.push_back(address << 8 | (g_cpu.a[3] == ym_driver_vars)); }

TEST_F(YmDriverTest, EveryTickPassesTheThreeOverridePointsWithTheBase) {
  for (u32 h : {0x041E68u, 0x041E9Cu, 0x041ED0u}) hook_register(h, note_override);
  override_points.clear();
  start_effect(1, 2);
  tick();
  EXPECT_EQ(override_points, (std::vector<u32>{0x041E6801, 0x041E9C01, 0x041ED001}));
}

TEST_F(YmDriverTest, AnEndlessEffectRunsOn) {
  start_effect(25, 0);
  tick(6);
  EXPECT_EQ(rd8(ym_driver_vars + ym_var::effect_records + ym_effect::duration), 0xFFu) << "counting down again";
  tick(600);
  EXPECT_EQ(rd8(ym_driver_vars + ym_var::effect_on), 1u);
  take_writes();
  start_tune(1);
  EXPECT_EQ(rd8(ym_driver_vars + ym_var::effect_on), 0u) << "until a song start's silence";
}

TEST_F(YmDriverTest, TheRandomRegisterShiftsInBit30XorBit27) {
  struct {
    u32 before, after;
  } cases[] = {{0x40000000, 0x80000001}, {0x08000000, 0x10000001}, {0x48000000, 0x90000000},
               {0x80000000, 0x00000000}, {0x00000001, 0x00000002}, {0xFFFFFFFF, 0xFFFFFFFE}};
  for (const auto& c : cases) {
    wr32(ym_driver_vars + ym_var::random, c.before);
    g_cpu.d[0] = 0xABCDEF00;
    ASSERT_EQ(run_routine(0x043348), 1);
    EXPECT_EQ(rd32(ym_driver_vars + ym_var::random), c.after) << std::hex << c.before;
    EXPECT_EQ(g_cpu.d[0], 0xABCDEF00u | c.after >> 24) << "d0.b = the new top byte";
  }
  // It steps once per tick that is not idle.
  wr32(ym_driver_vars + ym_var::random, synth_sound_content().random_seed);
  start_effect(25, 0);
  tick(3);
  u32 r = synth_sound_content().random_seed;
  for (int i = 0; i < 3; ++i) r = r << 1 | ((r >> 30 ^ r >> 27) & 1);
  EXPECT_EQ(rd32(ym_driver_vars + ym_var::random), r);
}

TEST_F(YmDriverTest, WithoutATuneAnEffectLeavesTheOtherChannelsSilent) {
  start_tune(1);
  tick(3);
  run_routine(0x041BE8); // stop
  take_writes();
  start_effect(9, 1);
  tick();
  const std::vector<ym_write> w = take_writes();
  ASSERT_EQ(w.size(), 11u);
  EXPECT_EQ(w[3], (ym_write{8, 0}));
  EXPECT_EQ(w[6], (ym_write{9, 14}));
  EXPECT_EQ(w[9], (ym_write{10, 0}));
  EXPECT_EQ(w[10], (ym_write{7, 0x2D})) << "only B's tone and noise on";
}

TEST_F(YmDriverTest, SweepAndVolumeStepAtTheirIntervalsUntilTheRestartsRunOut) {
  // Effect 9: period $C8 rising by 4 every second tick, volume every second
  // tick, a restart every 8 ticks three times, 40 ticks long.
  start_effect(9, 0);
  std::vector<int> periods, volumes;
  for (int i = 0; i < 40; ++i) {
    const channel_out o = tick_channel(*this, 0);
    periods.push_back(o.period);
    volumes.push_back(o.volume);
  }
  EXPECT_EQ(std::vector<int>(periods.begin(), periods.begin() + 10),
            (std::vector<int>{0xC8, 0xCC, 0xCC, 0xD0, 0xD0, 0xD4, 0xD4, 0xD8, 0xC8, 0xCC}));
  EXPECT_EQ(std::vector<int>(volumes.begin(), volumes.begin() + 10),
            (std::vector<int>{14, 14, 14, 13, 13, 12, 12, 11, 11, 10}));
  EXPECT_EQ(periods[24], 0xC8) << "the third restart";
  for (int i = 31; i < 40; ++i) EXPECT_EQ(periods[static_cast<size_t>(i)], 0xD8) << "fixed from tick 33, tick " << i + 1;
  EXPECT_EQ(rd8(ym_driver_vars + ym_var::effect_on), 1u);
  tick();
  EXPECT_EQ(rd8(ym_driver_vars + ym_var::effect_on), 0u);
}

TEST_F(YmDriverTest, TheStartSetsTheNoiseOfAnEffectThatUsesIt) {
  // No restarts: the step never touches the noise, so the start's stands.
  write_effect({10, 0, 0x01, 0x77, 0, 0, 0xF6, 0, 0, 0, 2, 1, 0, 0});
  start_effect(30, 1);
  EXPECT_EQ(tick_channel(*this, 1).noise, 0x77);
  write_effect({10, 0, 0x01, 0x66, 0, 0, 0xFE, 0, 0, 0, 2, 1, 0, 0});
  start_effect(30, 1);
  EXPECT_EQ(tick_channel(*this, 1).noise, 0x77) << "an effect without noise leaves it";
}

TEST_F(YmDriverTest, AnEffectsMaskSetsItsChannelsToneAndNoiseBits) {
  // Without a tune the silence leaves every output off ($3F); the mask,
  // laid out for channel A (bit 0 tone off, bit 3 noise off), is rotated
  // into the channel's place and ANDed in whole.
  struct row {
    int channel, mask, mixer;
  };
  const row rows[] = {{0, 0xF6, 0x36}, {0, 0xF7, 0x37}, {0, 0xFE, 0x3E}, {0, 0xFF, 0x3F}, {0, 0xF4, 0x34},
                      {1, 0xF6, 0x2D}, {1, 0xF7, 0x2F}, {1, 0xFE, 0x3D}, {1, 0xFF, 0x3F},
                      {2, 0xF6, 0x1B}, {2, 0xF7, 0x1F}, {2, 0xFE, 0x3B}, {2, 0xFF, 0x3F}};
  for (const row& r : rows) {
    run_routine(0x041BE8); // stop: every effect and output off
    take_writes();
    write_effect({10, 0, 0x01, 0x77, 0, 0, static_cast<u8>(r.mask), 0, 0, 0, 2, 1, 0, 0});
    start_effect(30, r.channel);
    EXPECT_EQ(tick_channel(*this, r.channel).mixer & 0x3F, r.mixer)
        << "channel " << r.channel << ", mask $" << std::hex << r.mask;
  }
}

TEST_F(YmDriverTest, AnEffectEndingOnOneChannelLeavesTheOthers) {
  start_effect(9, 1);
  start_effect(1, 0);
  tick(4);
  EXPECT_EQ(rd8(ym_driver_vars + ym_var::effect_on), 0u);
  EXPECT_EQ(rd8(ym_driver_vars + ym_var::effect_on + 1), 1u);
  start_effect(1, 2);
  start_effect(9, 0);
  tick(4);
  EXPECT_EQ(rd8(ym_driver_vars + ym_var::effect_on + 2), 0u);
  EXPECT_EQ(rd8(ym_driver_vars + ym_var::effect_on), 1u);
}

} // namespace
