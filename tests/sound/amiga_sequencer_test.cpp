// The replay's sequencer on the synthetic music block: start and the sample
// set-up, the tick's tempo, skip, fade-out and pulse width, the voices'
// rows, notes, loops, effects and commands, stop and continue, and how a
// voice yields a claimed channel.
#include <gtest/gtest.h>

#include <vector>

#include "amiga_fixture.h"

namespace {

using namespace am_cmd;
using AmigaSequencer = AmigaTest;

u32 first_sequence(const amiga_block& b, int tune, int v) {
  const u32 order = bkam_base + b.get16(bkam_songs + bkam_song_size * static_cast<u32>(tune) + 2 + 2 * static_cast<u32>(v));
  return bkam_base + b.get16(order);
}

TEST_F(AmigaSequencer, StartSetsUpTheSongTheVoicesAndTheSamples) {
  const std::vector<u8> a = {duration + 1, 10}, b = {20}, c = {30}, d = {40};
  block.tune(3, -2, 77, am_voices{{{a}, {b}, {c}, {d}}});
  load();
  // Leftovers that the start resets, and one it keeps.
  p8(bkam_transpose, 5);
  p8(bkam_fade_interval, 3);
  p16(bkam_master, 9);
  for (int v = 0; v < 4; ++v) {
    p8(voice(v, voice_flags), 2);
    p8(voice(v, voice_vibrato), 0x81);
    p8(voice(v, voice_transpose), 4);
    p16(voice(v, voice_duration), 7);
  }
  amiga_music_play(3);
  EXPECT_EQ(m16(bkam_speed), 0xFFFEu);
  EXPECT_EQ(m8(bkam_tempo), 77u);
  EXPECT_EQ(m8(bkam_tempo_copy), 77u);
  EXPECT_EQ(m16(bkam_master), 64u);
  EXPECT_EQ(m8(bkam_fade_interval), 0u);
  EXPECT_EQ(m8(bkam_transpose), 0u);
  EXPECT_EQ(m8(bkam_playing), 0xFFu);
  EXPECT_EQ(m8(bkam_loaded), 0xFFu);
  for (int v = 0; v < 4; ++v) {
    SCOPED_TRACE(v);
    EXPECT_EQ(m16(voice(v, voice_countdown)), 1u);
    EXPECT_EQ(m8(voice(v, voice_flags)), 0u);
    EXPECT_EQ(m8(voice(v, voice_vibrato)), 0u);
    EXPECT_EQ(m8(voice(v, voice_transpose)), 0u);
    EXPECT_EQ(m8(voice(v, voice_loop_done)), 0xFFu);
    EXPECT_EQ(m32(voice(v, voice_arp_start)), bkam_first_arpeggio);
    EXPECT_EQ(m32(voice(v, voice_arp_ptr)), bkam_first_arpeggio);
    EXPECT_EQ(m16(voice(v, voice_order)), block.get16(bkam_songs + 30 + 2 + 2 * static_cast<u32>(v)));
    EXPECT_EQ(m16(voice(v, voice_order_pos)), 2u);
    EXPECT_EQ(m32(voice(v, voice_stream)), first_sequence(block, 3, v));
    EXPECT_EQ(m16(voice(v, voice_duration)), 7u);
  }
  // The sample set-up: records from the headers; rate 40 overflows the
  // quotient and rate 0 divides by zero, both keeping 3,579,545's low word.
  for (int i = 0; i < 10; ++i) {
    SCOPED_TRACE(i);
    const am_sample_spec& s = am_default_samples()[static_cast<std::size_t>(i)];
    EXPECT_EQ(m32(sample_rec(i, sample_start)), am_default_sample_bytes(i));
    EXPECT_EQ(m16(sample_rec(i, sample_length)), i == 9 ? 32u : s.bytes / 2);
    EXPECT_EQ(m16(sample_rec(i, sample_period)), s.rate >= 55 ? 3579545u / s.rate : 40601u);
    EXPECT_EQ(m32(sample_rec(i, sample_loop)), static_cast<u32>(s.loop));
  }
  EXPECT_EQ(m32(bkam_silent), am_default_silent());
  EXPECT_EQ(m32(bkam_waveform), am_default_silent() + 64);
  EXPECT_EQ(m8(bkam_samples_ready), 0xFFu);
  for (u32 k = 0; k < 64; ++k) ASSERT_EQ(m8(am_default_sample_bytes(9) + k), k < 32 ? 0xC0u : 0x3Fu) << k;
  EXPECT_EQ(m8(am_default_sample_bytes(9) + 64), block.get8(am_default_sample_bytes(9) + 64));
  EXPECT_EQ(m16(bkam_pulse_pos), 32u);
  EXPECT_EQ(m16(bkam_pulse_dir), 0u);
  // Stop ran first: DMA and volumes off; the filter is off.
  EXPECT_EQ(paula.dmacon, 0);
  EXPECT_TRUE(paula.cia_pra & cia_filter_off);
}

TEST_F(AmigaSequencer, AFirstTickStartsEveryVoicesNote) {
  load();
  amiga_music_play(0);
  tick();
  // Voice 0: sample 1, envelope 1 (interval 1, first entry 100), 2 units of speed 2.
  EXPECT_EQ(m8(voice(0, voice_note)), 10u);
  EXPECT_EQ(m16(voice(0, voice_duration)), 4u);
  EXPECT_EQ(m16(voice(0, voice_countdown)), 4u);
  EXPECT_EQ(m8(voice(0, voice_loop_done)), 0u);
  EXPECT_EQ(m32(voice(0, voice_sample)), sample_rec(1, 0));
  EXPECT_EQ(m8(voice(0, voice_env_interval)), 1u);
  EXPECT_EQ(m8(voice(0, voice_env_counter)), 1u);
  EXPECT_EQ(m32(voice(0, voice_env_ptr)), m32(voice(0, voice_env_start)) + 1);
  EXPECT_EQ(m32(voice(0, voice_stream)), first_sequence(block, 0, 0) + 4);
  EXPECT_EQ(m32(shadow(0, shadow_location)), am_default_sample_bytes(1));
  EXPECT_EQ(m16(shadow(0, shadow_length)), 80u);
  EXPECT_EQ(m16(shadow(0, shadow_volume)), 100u);
  EXPECT_EQ(m16(shadow(0, shadow_period)), period_of(1, 10));
  for (int c = 0; c < 4; ++c) EXPECT_EQ(m8(shadow(c, shadow_music)), 0xFFu) << c;
  const paula_channel& ch = paula.ch[0];
  EXPECT_EQ(ch.location, am_default_sample_bytes(1));
  EXPECT_EQ(ch.length, 80);
  EXPECT_EQ(ch.volume, 100);
  EXPECT_EQ(ch.period, period_of(1, 10));
  // Voice 2 takes its arpeggio table but no semitone at the note.
  EXPECT_EQ(m16(shadow(2, shadow_period)), period_of(4, 30));
  EXPECT_EQ(m32(voice(2, voice_arp_start)), bkam_base + block.get16(bkam_arpeggios + 2));
  // A note's envelope byte with bit 7 set counts as negative.
  EXPECT_EQ(paula.dmacon, 0x020F);
  for (int c = 0; c < 4; ++c) EXPECT_EQ(paula.ch[c].active, 1) << c;
  // The pulse width moved once.
  EXPECT_EQ(m16(am_default_sample_bytes(9) + 32), 0xC0C0u);
  EXPECT_EQ(m16(bkam_pulse_pos), 34u);
}

TEST_F(AmigaSequencer, ANotesLoopIsSetAtTheNextMusicStep) {
  // Voices on samples with loop offsets -1, 32 and 64 bytes.
  const std::vector<u8> quiet = {duration + 32, rest, next_sequence};
  const std::vector<u8> s0 = {sample + 0, envelope + 0, duration + 2, 10};
  const std::vector<u8> s2 = {sample + 2, envelope + 0, duration + 2, 10};
  const std::vector<u8> s4 = {sample + 4, envelope + 0, duration + 2, 10};
  block.tune(0, 4, 0, am_voices{{{s0}, {s2}, {s4}, {quiet}}});
  load();
  amiga_music_play(0);
  tick();
  EXPECT_EQ(paula.ch[0].location, am_default_sample_bytes(0));
  tick();
  struct row {
    int channel;
    u32 location;
    u32 length;
  };
  const row rows[] = {
      {0, am_default_silent(), 32},
      {1, am_default_sample_bytes(2) + 32, 96 - 16},
      {2, am_default_sample_bytes(4) + 64, 128 - 32},
  };
  for (const row& r : rows) {
    EXPECT_EQ(m32(shadow(r.channel, shadow_location)), r.location) << r.channel;
    EXPECT_EQ(m16(shadow(r.channel, shadow_length)), r.length) << r.channel;
    EXPECT_EQ(paula.ch[r.channel].location, r.location) << r.channel;
    EXPECT_EQ(paula.ch[r.channel].length, r.length) << r.channel;
    EXPECT_EQ(m8(voice(r.channel, voice_loop_done)), 0xFFu);
  }
  // The running pass is not cut: the channel plays on from where it was.
  EXPECT_NE(paula.ch[0].pointer, am_default_silent());
}

TEST_F(AmigaSequencer, TempoAndTheSkipDropTicksFromTheMusicSteps) {
  struct row {
    u8 tempo;
    u8 skip_on;
    int ticks;
    u32 steps;
  };
  const row rows[] = {
      {0, 0, 10, 10}, {128, 0, 10, 5}, {64, 0, 16, 12}, {255, 0, 256, 1}, {0, 1, 12, 10}, {128, 1, 12, 5},
  };
  for (const row& r : rows) {
    block = amiga_block_default();
    solo({sample + 1, envelope + 0, duration + 32, 10}, 8, r.tempo);
    load();
    p8(bkam_skip_on, r.skip_on);
    amiga_music_play(0);
    tick(r.ticks);
    // The first step reads the row (countdown 256), each later one counts down.
    EXPECT_EQ(1 + 256 - m16(voice(0, voice_countdown)), r.steps) << int(r.tempo) << " skip " << int(r.skip_on);
    amiga_player_forget();
  }
}

TEST_F(AmigaSequencer, TheSkippedTickRunsNoEffectsAndTheSkipCounterStartsAt6) {
  solo({sample + 1, envelope + 0, duration + 32, 10});
  load();
  p8(bkam_skip_on, 1);
  p8(bkam_skip_counter, 2);
  amiga_music_play(0);
  am_call(bkam_effect_entry, 0x0300); // effect 0 (slide -10) on channel 3
  std::vector<u32> effect_periods;
  for (int i = 0; i < 9; ++i) {
    tick();
    effect_periods.push_back(m16(sfx(3, sfx_period)));
  }
  EXPECT_EQ(effect_periods, (std::vector<u32>{390, 390, 380, 370, 360, 350, 340, 340, 330}));
  EXPECT_EQ(m8(bkam_skip_counter), 5u);
}

TEST_F(AmigaSequencer, OrderListsRepeatFromTheirFirstSequence) {
  const std::vector<u8> first = {duration + 1, 10, next_sequence}, second = {11, next_sequence};
  const std::vector<u8> quiet = {duration + 32, rest};
  block.tune(0, 1, 0, am_voices{{{first, second}, {quiet}, {quiet}, {quiet}}});
  load();
  amiga_music_play(0);
  std::vector<u32> notes, positions;
  for (int i = 0; i < 5; ++i) {
    tick();
    notes.push_back(m8(voice(0, voice_note)));
    positions.push_back(m16(voice(0, voice_order_pos)));
  }
  EXPECT_EQ(notes, (std::vector<u32>{10, 11, 10, 11, 10}));
  EXPECT_EQ(positions, (std::vector<u32>{2, 4, 2, 4, 2}));
  // A list whose second entry is 0 plays its first sequence again.
  block = amiga_block_default();
  amiga_player_forget();
  solo({duration + 1, 20, 21, next_sequence});
  load();
  amiga_music_play(0);
  notes.clear();
  for (int i = 0; i < 5; ++i) {
    tick();
    notes.push_back(m8(voice(0, voice_note)));
  }
  EXPECT_EQ(notes, (std::vector<u32>{20, 21, 20, 21, 20}));
  EXPECT_EQ(m16(voice(0, voice_order_pos)), 2u);
}

TEST_F(AmigaSequencer, ANoteOfDurationOneHasNoEffectsAndNoDmaOffStep) {
  block.arpeggio(1, {5, 5, 0x85});
  solo({sample + 1, envelope + 0, arpeggio + 1, duration + 1, 10, 11, 12});
  load();
  amiga_music_play(0);
  for (u32 n : {10u, 11u, 12u}) {
    tick();
    EXPECT_EQ(m8(voice(0, voice_note)), n);
    EXPECT_EQ(m16(shadow(0, shadow_period)), period_of(1, static_cast<int>(n)));
    EXPECT_EQ(m32(voice(0, voice_arp_ptr)), m32(voice(0, voice_arp_start)));
    EXPECT_TRUE(paula.dmacon & 1);
  }
}

TEST_F(AmigaSequencer, TheLastStepOfANoteTurnsItsDmaOffUnlessATieFollows) {
  struct row {
    u8 next;
    bool claimed;
    bool dma_on;
  };
  const row rows[] = {
      {11, false, false}, {rest, false, false}, {speed, false, false},
      {tie, false, true}, {11, true, true},
  };
  for (const row& r : rows) {
    block = amiga_block_default();
    solo({sample + 1, envelope + 0, duration + 2, 10, r.next, 1, 11});
    load();
    amiga_music_play(0);
    if (r.claimed) p8(shadow(0, shadow_claimed), 0xFF);
    tick();
    EXPECT_TRUE(paula.dmacon & 1);
    const u32 countdown_before = m16(voice(0, voice_countdown));
    tick();
    EXPECT_EQ(countdown_before, 2u);
    EXPECT_EQ(static_cast<bool>(paula.dmacon & 1), r.dma_on) << int(r.next) << " claimed " << r.claimed;
    amiga_player_forget();
  }
}

TEST_F(AmigaSequencer, EffectsStepArpeggioSlideAndVibrato) {
  struct row {
    const char* name;
    std::vector<u8> head; // before the note 10 of 16 units
    std::vector<int> offsets;
    std::vector<int> semitones;
  };
  const row rows[] = {
      {"arpeggio", {arpeggio + 1}, {0, 0, 0, 0, 0, 0}, {0, 0, 4, 7, 0, 4}},
      {"slide down", {slide, 5, 1}, {0, 0, -5, -10, -15, -20}, {}},
      {"slide up", {slide, 0xFB, 0}, {0, 5, 10, 15, 20, 25}, {}},
      {"vibrato", {vibrato_on, 2, 4}, {0, 2, 4, 2, 0, -2, -4, -2, 0, 2}, {}},
      {"vibrato off", {vibrato_on, 2, 4, vibrato_off}, {0, 0, 0, 0}, {}},
      {"slide and vibrato", {slide, 1, 0, vibrato_on, 3, 3}, {0, -1 + 3, -2 - 0, -3 - 3, -4 + 0}, {}},
  };
  for (const row& r : rows) {
    block = amiga_block_default();
    std::vector<u8> seq = {sample + 1, envelope + 0};
    seq.insert(seq.end(), r.head.begin(), r.head.end());
    seq.insert(seq.end(), {duration + 16, 10});
    solo(seq);
    load();
    amiga_music_play(0);
    for (std::size_t i = 0; i < r.offsets.size(); ++i) {
      tick();
      const int semis = r.semitones.empty() ? 0 : r.semitones[i];
      const u32 want = (period_of(1, 10 + semis) + static_cast<u32>(r.offsets[i])) & 0xFFFF;
      EXPECT_EQ(m16(shadow(0, shadow_period)), want) << r.name << " step " << i;
      EXPECT_EQ(paula.ch[0].period, want) << r.name << " step " << i;
    }
    amiga_player_forget();
  }
}

TEST_F(AmigaSequencer, EachRowStartsWithoutTheSlideOfTheRowBefore) {
  solo({sample + 1, envelope + 0, slide, 5, 0, duration + 3, 10, 12, 14});
  load();
  amiga_music_play(0);
  tick(2);
  EXPECT_EQ(m16(shadow(0, shadow_period)), period_of(1, 10) - 5);
  tick(2); // the last step, then the next row: note 12, no slide
  tick();
  EXPECT_EQ(m16(shadow(0, shadow_period)), period_of(1, 12));
  EXPECT_EQ(m8(voice(0, voice_flags)), 0u);
  // The vibrato, by contrast, goes on until a command switches it off.
  amiga_player_forget();
  block = amiga_block_default();
  solo({sample + 1, envelope + 0, vibrato_on, 1, 9, duration + 3, 10, 12, 14});
  load();
  amiga_music_play(0);
  tick(5);
  EXPECT_EQ(m8(voice(0, voice_note)), 12u);
  EXPECT_NE(m8(voice(0, voice_vibrato)), 0u);
  EXPECT_EQ(m16(shadow(0, shadow_period)), period_of(1, 12) + 2); // its second effects step
}

TEST_F(AmigaSequencer, CommandsSetTransposeSpeedAndOrderLists) {
  const u32 other = block.add({sample + 1, envelope + 0, duration + 8, 20});
  const u32 list = block.order_list({other});
  const u16 off = amiga_block::offset(list);
  solo({transpose, 2, transpose_voice, 3, speed, 3, sample + 1, envelope + 0, duration + 2, 10, order_list,
        static_cast<u8>(off >> 8), static_cast<u8>(off), next_sequence});
  load();
  amiga_music_play(0);
  tick();
  EXPECT_EQ(m8(bkam_transpose), 2u);
  EXPECT_EQ(m8(voice(0, voice_transpose)), 3u);
  EXPECT_EQ(m16(bkam_speed), 3u);
  EXPECT_EQ(m16(voice(0, voice_duration)), 6u);
  EXPECT_EQ(m8(voice(0, voice_note)), 10u);
  EXPECT_EQ(m16(shadow(0, shadow_period)), period_of(1, 15));
  // The other voices transpose too.
  tick(6);
  EXPECT_EQ(m8(voice(0, voice_note)), 20u);
  EXPECT_EQ(m16(voice(0, voice_order)), off);
  EXPECT_EQ(m16(voice(0, voice_order_pos)), 2u);
  EXPECT_EQ(m16(voice(0, voice_duration)), 24u);
  EXPECT_EQ(m16(shadow(0, shadow_period)), period_of(1, 25));
  // Negative speeds and transposes wrap within their bytes.
  block = amiga_block_default();
  amiga_player_forget();
  solo({transpose, 0xFE, speed, 0xFF, sample + 1, envelope + 0, duration + 1, 10});
  load();
  amiga_music_play(0);
  tick();
  EXPECT_EQ(m16(bkam_speed), 0xFFFFu);
  EXPECT_EQ(m16(voice(0, voice_duration)), 0xFFFFu);
  EXPECT_EQ(m16(shadow(0, shadow_period)), period_of(1, 8));
}

TEST_F(AmigaSequencer, ARestLoopsTheSilentAreaAndATieContinuesTheNote) {
  solo({sample + 1, envelope + 1, duration + 2, 10, tie, rest, 11});
  load();
  amiga_music_play(0);
  tick(2);
  const u32 env = m32(voice(0, voice_env_ptr));
  const u32 location = paula.ch[0].location;
  tick(); // the tie
  EXPECT_EQ(m8(voice(0, voice_note)), 10u);
  EXPECT_EQ(m16(voice(0, voice_countdown)), 2u);
  EXPECT_EQ(m32(voice(0, voice_stream)), first_sequence(block, 0, 0) + 5);
  EXPECT_EQ(m32(voice(0, voice_env_ptr)), env);
  EXPECT_EQ(paula.ch[0].location, location);
  EXPECT_TRUE(paula.dmacon & 1);
  tick(2); // the rest
  EXPECT_EQ(m16(voice(0, voice_countdown)), 2u);
  EXPECT_EQ(m32(voice(0, voice_stream)), first_sequence(block, 0, 0) + 6);
  EXPECT_EQ(m32(shadow(0, shadow_location)), am_default_silent());
  EXPECT_EQ(m16(shadow(0, shadow_length)), 32u);
  EXPECT_EQ(paula.ch[0].location, am_default_silent());
  EXPECT_EQ(paula.ch[0].length, 32);
  EXPECT_EQ(paula.ch[0].volume, 100);
}

TEST_F(AmigaSequencer, AHeldEnvelopeEntryFollowsTheFadeOut) {
  solo({fade, 1, sample + 1, envelope + 1, duration + 32, 10}, 4);
  load();
  amiga_music_play(0);
  std::vector<u32> volumes, masters;
  for (int i = 0; i < 7; ++i) {
    tick();
    volumes.push_back(m16(shadow(0, shadow_volume)));
    masters.push_back(m16(bkam_master));
  }
  EXPECT_EQ(masters, (std::vector<u32>{64, 63, 62, 61, 60, 59, 58}));
  EXPECT_EQ(volumes, (std::vector<u32>{100, 100, 100 * 62 / 64, 100 * 62 / 64, 100 * 60 / 64, 100 * 60 / 64,
                                       100 * 58 / 64}));
  EXPECT_EQ(paula.ch[0].volume, 100 * 58 / 64);
}

TEST_F(AmigaSequencer, TheEndOfAFadeOutStopsTheTuneInThatTick) {
  solo({fade, 2, sample + 1, envelope + 0, duration + 32, 10});
  load();
  amiga_music_play(0);
  p16(bkam_master, 3);
  am_call(bkam_effect_entry, 0x0300);
  std::vector<u32> masters;
  for (int i = 0; i < 6; ++i) {
    tick();
    masters.push_back(m16(bkam_master));
  }
  EXPECT_EQ(masters, (std::vector<u32>{3, 3, 2, 2, 1, 1}));
  const u32 countdown = m16(voice(0, voice_countdown));
  EXPECT_EQ(m16(sfx(3, sfx_period)), 340u);
  am_io_write(0xDFF0A8, 2, 33);
  tick();
  EXPECT_EQ(m16(bkam_master), 0u);
  EXPECT_EQ(m8(bkam_playing), 0u);
  EXPECT_EQ(m8(bkam_loaded), 0u);
  EXPECT_EQ(amiga_music_playing(), 0);
  EXPECT_EQ(m16(voice(0, voice_countdown)), countdown);
  EXPECT_EQ(m16(sfx(3, sfx_period)), 340u);
  for (int c = 0; c < 4; ++c) {
    EXPECT_EQ(m8(sfx(c, sfx_active)), 0u);
    EXPECT_EQ(m8(shadow(c, shadow_music)), 0u);
    EXPECT_EQ(m8(shadow(c, shadow_claimed)), 0u);
  }
  EXPECT_EQ(paula.dmacon & 0x0F, 0u);
  EXPECT_EQ(paula.ch[0].volume, 33); // no volume is written
  // Continue has nothing to continue.
  am_call(bkam_continue_entry, 0);
  EXPECT_EQ(m8(bkam_playing), 0u);
  // A fade that starts at master volume 0 ends at once.
  amiga_music_play(0);
  tick();
  p8(bkam_fade_interval, 5);
  p16(bkam_master, 0);
  tick();
  EXPECT_EQ(m8(bkam_playing), 0u);
}

TEST_F(AmigaSequencer, StopPausesAndContinueResumesWithTheVoicesWhereTheyWere) {
  load();
  amiga_music_play(0);
  tick(3);
  amiga_music_play(-1);
  EXPECT_EQ(m8(bkam_playing), 0u);
  EXPECT_EQ(m8(bkam_loaded), 0xFFu);
  EXPECT_EQ(paula.dmacon & 0x0F, 0u);
  for (int c = 0; c < 4; ++c) {
    EXPECT_EQ(paula.ch[c].volume, 0) << c;
    EXPECT_EQ(m8(shadow(c, shadow_music)), 0u);
  }
  // While stopped the tick leaves the voices alone.
  const std::vector<u8> voices(amem + bkam_voices, amem + bkam_voices + 4 * bkam_voice_size);
  tick(5);
  EXPECT_TRUE(std::equal(voices.begin(), voices.end(), amem + bkam_voices));
  am_call(bkam_continue_entry, 0);
  EXPECT_EQ(m8(bkam_playing), 0xFFu);
  EXPECT_EQ(paula.dmacon, 0x020F);
  EXPECT_EQ(paula.ch[0].volume, 0);
  EXPECT_TRUE(std::equal(voices.begin(), voices.end(), amem + bkam_voices));
}

TEST_F(AmigaSequencer, ARestartBeginsTheOrderListsAgainButKeepsTempoAndPulse) {
  solo({sample + 1, envelope + 0, duration + 1, 10, 11, 12, 13}, 1, 100);
  load();
  amiga_music_play(0);
  tick(11);
  const u32 acc = m8(bkam_tempo_acc), pos = m16(bkam_pulse_pos), dir = m16(bkam_pulse_dir);
  EXPECT_NE(m32(voice(0, voice_stream)), first_sequence(block, 0, 0));
  amiga_music_play(-1);
  amiga_music_play(0);
  EXPECT_EQ(m8(bkam_tempo_acc), acc);
  EXPECT_EQ(m16(bkam_pulse_pos), pos);
  EXPECT_EQ(m16(bkam_pulse_dir), dir);
  EXPECT_EQ(m32(voice(0, voice_stream)), first_sequence(block, 0, 0));
  EXPECT_EQ(m16(voice(0, voice_countdown)), 1u);
  tick();
  EXPECT_EQ(m8(voice(0, voice_note)), 10u);
}

TEST_F(AmigaSequencer, ThePulseWidthOfSample9SwingsBetween32And48) {
  solo({duration + 32, rest});
  load();
  amiga_music_play(0);
  const u32 s9 = am_default_sample_bytes(9);
  std::vector<u32> positions;
  for (int i = 0; i < 18; ++i) {
    tick();
    positions.push_back(m16(bkam_pulse_pos));
  }
  EXPECT_EQ(positions, (std::vector<u32>{34, 36, 38, 40, 42, 44, 46, 48, 46, 44, 42, 40, 38, 36, 34, 32, 34, 36}));
  EXPECT_EQ(m16(bkam_pulse_dir), 0u);
  // Growing wrote $C0C0 up to 46; shrinking $3F3F from 48 down to 34;
  // growing again $C0C0 at 32 and 34.
  for (u32 k = 32; k < 48; k += 2) EXPECT_EQ(m16(s9 + k), k < 36 ? 0xC0C0u : 0x3F3Fu) << k;
  EXPECT_EQ(m16(s9 + 48), 0x3F3Fu);
  EXPECT_EQ(m16(s9 + 30), 0xC0C0u);
  tick(6);
  EXPECT_EQ(m16(bkam_pulse_dir), 0xFFFFu);
}

TEST_F(AmigaSequencer, AClaimedChannelKeepsTheShadowButNotTheRegisters) {
  load();
  amiga_music_play(0);
  p8(shadow(0, shadow_claimed), 0xFF);
  for (int i = 0; i < 10; ++i) {
    tick();
    EXPECT_EQ(paula.ch[0].location, 0u);
    EXPECT_EQ(paula.ch[0].length, 0);
    EXPECT_EQ(paula.ch[0].period, 0);
    EXPECT_EQ(paula.ch[0].volume, 0);
  }
  EXPECT_EQ(m16(shadow(0, shadow_period)), period_of(1, 14));
  EXPECT_EQ(m32(shadow(0, shadow_location)), am_default_sample_bytes(1));
  EXPECT_EQ(m16(shadow(0, shadow_volume)), 100u);
  // Note starts still switch the channel's DMA on.
  EXPECT_TRUE(paula.dmacon & 1);
  EXPECT_EQ(paula.ch[1].period, period_of(2, 22));
}

} // namespace
