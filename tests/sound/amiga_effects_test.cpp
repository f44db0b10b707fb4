// The replay's sound-effect channels: the start with its claim, the channel
// tick's duration, pattern, slide, reset, volume list and waveform, the end
// that gives the channel back to the music, and ending all effects.
#include <gtest/gtest.h>

#include <vector>

#include "amiga_fixture.h"
#include "machine/coroutine.h"

namespace {

using AmigaEffects = AmigaTest;

void start_effect(int channel, int effect) {
  am_call(bkam_effect_entry, static_cast<u32>(channel << 8 | effect));
}

u32 definition(int effect) {
  return bkam_sfx_definitions + bkam_sfx_definition_size * static_cast<u32>(effect);
}

u32 volume_list(const amiga_block& b, int n) { return bkam_base + b.get16(bkam_volume_lists + 2 * static_cast<u32>(n)); }

TEST_F(AmigaEffects, StartClaimsTheChannelAndLoadsTheDefinition) {
  load();
  amiga_music_play(0);
  tick();
  ASSERT_TRUE(paula.dmacon & 4);
  paula.cia_pra = 0;
  start_effect(2, 1);
  EXPECT_TRUE(paula.cia_pra & cia_filter_off);
  EXPECT_EQ(m16(bkam_last_effect), 0x0201u);
  EXPECT_EQ(m8(shadow(2, shadow_claimed)), 0xFFu);
  for (u32 i = 0; i < 24; ++i) EXPECT_EQ(m8(sfx(2, i)), m8(definition(1) + i)) << i;
  EXPECT_EQ(m8(sfx(2, sfx_reset_counter)), 4u);
  EXPECT_EQ(m8(sfx(2, sfx_pattern_counter)), 2u);
  EXPECT_EQ(m8(sfx(2, sfx_volume_counter)), 1u);
  EXPECT_EQ(m32(sfx(2, sfx_volume_ptr)), volume_list(block, 2));
  EXPECT_EQ(m8(sfx(2, sfx_active)), 0xFFu);
  // The channel waits silenced for its first tick.
  EXPECT_FALSE(paula.dmacon & 4);
  EXPECT_EQ(paula.ch[2].length, 16);
  EXPECT_EQ(paula.ch[2].period, 124);
  // Only bits 0-9 of d0 count; the other channels are left alone.
  start_effect(0x3C, 0);
  EXPECT_EQ(m16(bkam_last_effect), 0x0000u);
  EXPECT_EQ(m8(sfx(0, sfx_active)), 0xFFu);
  EXPECT_EQ(m8(sfx(1, sfx_active)), 0u);
  EXPECT_EQ(m8(sfx(3, sfx_active)), 0u);
}

TEST_F(AmigaEffects, TheFirstStartSetsUpTheSamples) {
  load();
  start_effect(1, 0);
  EXPECT_EQ(m8(bkam_samples_ready), 0xFFu);
  // The set-up's registers do not disturb the start.
  EXPECT_EQ(m8(sfx(1, sfx_active)), 0xFFu);
  EXPECT_EQ(m8(shadow(1, shadow_claimed)), 0xFFu);
  EXPECT_EQ(m8(shadow(0, shadow_claimed)), 0u);
  EXPECT_EQ(m32(bkam_waveform), am_default_waveform());
  EXPECT_EQ(m32(bkam_silent), am_default_silent());
}

TEST_F(AmigaEffects, TheChannelTickSlidesAndStepsThroughVolumesAndWaveforms) {
  load();
  start_effect(1, 0);
  struct step {
    u32 period;
    u16 volume;
    u32 wave;
    u32 list_pos;
  };
  // Volume list 0: 40, 30, then a held entry; waveform bits $AA: A, B, A, B.
  const step steps[] = {
      {390, 40, 0, 1}, {380, 30, 32, 2}, {370, 30, 0, 2}, {360, 30, 32, 2},
  };
  for (const step& s : steps) {
    tick();
    EXPECT_EQ(m16(sfx(1, sfx_period)), s.period);
    EXPECT_EQ(paula.ch[1].period, s.period);
    EXPECT_EQ(paula.ch[1].volume, s.volume);
    EXPECT_EQ(paula.ch[1].location, am_default_waveform() + s.wave);
    EXPECT_EQ(m32(sfx(1, sfx_volume_ptr)), volume_list(block, 0) + s.list_pos);
    EXPECT_EQ(paula.ch[1].active, 1);
  }
  EXPECT_EQ(paula.dmacon, 0x0202);
}

TEST_F(AmigaEffects, TheVolumeListStepsEveryIntervalTicks) {
  block.volume_list(3, {10, 20, 30, 0});
  block.effect(3, {.period = 300, .volume_interval = 3, .volume_list = 3});
  load();
  start_effect(2, 3);
  std::vector<u32> volumes;
  for (int i = 0; i < 9; ++i) {
    tick();
    volumes.push_back(paula.ch[2].volume);
  }
  // The counter starts at 1: the first entry at once, then every third tick.
  EXPECT_EQ(volumes, (std::vector<u32>{10, 10, 10, 20, 20, 20, 30, 30, 30}));
  EXPECT_EQ(m8(sfx(2, sfx_active)), 0xFFu);
  tick();
  EXPECT_EQ(m8(sfx(2, sfx_active)), 0u);
}

TEST_F(AmigaEffects, APeriodBelow124ReachesThePaulaAs124) {
  load();
  start_effect(1, 0);
  tick(28);
  EXPECT_EQ(m16(sfx(1, sfx_period)), 120u);
  EXPECT_EQ(paula.ch[1].period, 124);
  tick(22);
  EXPECT_EQ(m16(sfx(1, sfx_period)), static_cast<u32>(400 - 500) & 0xFFFF);
  EXPECT_EQ(paula.ch[1].period, 124);
}

TEST_F(AmigaEffects, PatternStepsAndTheResetFollowTheirIntervals) {
  load();
  start_effect(3, 1);
  std::vector<u32> hardware;
  for (int i = 0; i < 6; ++i) {
    tick();
    hardware.push_back(paula.ch[3].period);
  }
  // Pattern $55: step B first, then A; the reset comes after the slide in
  // the same tick.
  EXPECT_EQ(hardware, (std::vector<u32>{300, 293, 293, 300, 300, 293}));
  EXPECT_EQ(m8(sfx(3, sfx_pattern_bits)), 0xAAu);
  // Duration 12: running after 11 ticks, ended at the 12th.
  tick(5);
  EXPECT_EQ(m8(sfx(3, sfx_active)), 0xFFu);
  tick();
  EXPECT_EQ(m8(sfx(3, sfx_active)), 0u);
}

TEST_F(AmigaEffects, AnEffectWithoutMusicEndsWithItsChannelOff) {
  load();
  start_effect(0, 2);
  tick();
  EXPECT_EQ(paula.ch[0].volume, 64);
  EXPECT_EQ(paula.ch[0].active, 1);
  EXPECT_EQ(m8(shadow(0, shadow_claimed)), 0xFFu);
  tick(); // the list's 0
  EXPECT_EQ(m8(sfx(0, sfx_active)), 0u);
  EXPECT_EQ(m8(shadow(0, shadow_claimed)), 0u);
  EXPECT_EQ(paula.ch[0].active, 0);
  EXPECT_EQ(paula.dmacon & 1, 0);
  // Nothing more happens at later ticks.
  const paula_channel before = paula.ch[0];
  tick(3);
  EXPECT_EQ(paula.ch[0].period, before.period);
  EXPECT_EQ(paula.ch[0].location, before.location);
}

TEST_F(AmigaEffects, AnEndingEffectGivesTheChannelBackToItsMusic) {
  load();
  amiga_music_play(0);
  tick();
  start_effect(0, 2);
  tick();
  // The music kept the shadow; the effect owns the registers.
  EXPECT_EQ(paula.ch[0].period, 200);
  EXPECT_EQ(paula.ch[0].location, am_default_waveform());
  tick();
  EXPECT_EQ(m8(sfx(0, sfx_active)), 0u);
  EXPECT_EQ(m8(shadow(0, shadow_claimed)), 0u);
  EXPECT_EQ(paula.ch[0].location, m32(shadow(0, shadow_location)));
  EXPECT_EQ(paula.ch[0].length, m16(shadow(0, shadow_length)));
  EXPECT_EQ(paula.ch[0].period, m16(shadow(0, shadow_period)));
  EXPECT_EQ(paula.ch[0].volume, m16(shadow(0, shadow_volume)));
  EXPECT_EQ(paula.ch[0].period, period_of(1, 10));
  EXPECT_EQ(paula.ch[0].active, 1);
  EXPECT_EQ(paula.ch[0].pointer, m32(shadow(0, shadow_location)));
}

TEST_F(AmigaEffects, EndAllEndsEveryRunningEffectAtItsNextTick) {
  load();
  amiga_music_play(0);
  tick();
  start_effect(1, 0);
  start_effect(3, 1);
  tick();
  ASSERT_EQ(m8(sfx(1, sfx_active)), 0xFFu);
  am_call(bkam_end_effects_entry, 0);
  for (int c = 0; c < 4; ++c) EXPECT_EQ(m8(sfx(c, sfx_duration)), 1u) << c;
  EXPECT_EQ(m8(sfx(1, sfx_active)), 0xFFu);
  tick();
  for (int c : {1, 3}) {
    EXPECT_EQ(m8(sfx(c, sfx_active)), 0u) << c;
    EXPECT_EQ(m8(shadow(c, shadow_claimed)), 0u) << c;
    EXPECT_EQ(paula.ch[c].period, m16(shadow(c, shadow_period))) << c;
    EXPECT_EQ(paula.ch[c].active, 1) << c;
  }
  // An idle record keeps the 1 until a start overwrites it.
  EXPECT_EQ(m8(sfx(0, sfx_duration)), 1u);
  start_effect(0, 0);
  EXPECT_EQ(m8(sfx(0, sfx_duration)), 0u);
}

TEST_F(AmigaEffects, StopReleasesEveryChannel) {
  load();
  amiga_music_play(0);
  start_effect(0, 0);
  start_effect(2, 1);
  amiga_music_play(-1);
  for (int c = 0; c < 4; ++c) {
    EXPECT_EQ(m8(sfx(c, sfx_active)), 0u) << c;
    EXPECT_EQ(m8(shadow(c, shadow_claimed)), 0u) << c;
  }
  const u32 period = m16(sfx(0, sfx_period));
  tick(3);
  EXPECT_EQ(m16(sfx(0, sfx_period)), period);
}

TEST_F(AmigaEffects, TheDelayCountsTheLowWordOfD0DownTo65535) {
  load();
  a7 = 0x7E000;
  p32(a7, 0x00BEEF00);
  d0 = 0x12340005;
  ASSERT_EQ(bkam_dispatch(0x52A3A), 1);
  EXPECT_EQ(d0, 0x1234FFFFu);
  EXPECT_EQ(ret_addr, 0x00BEEF00u);
  EXPECT_EQ(a7, 0x7E004u);
}

} // namespace
