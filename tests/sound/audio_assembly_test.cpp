// The per-VBL audio assembly and the sound hooks, driven the way the game
// and the VBL step drive them: register writes through the I/O space, hook
// handlers with the registers in g_cpu, one audio_chunk per VBL. The music
// sources are test doubles.
#include "sound/audio_assembly.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "machine/hooks.h"
#include "machine/io_devices.h"
#include "machine/ym_capture.h"
#include "music_double.h"
#include "output_drain.h"
#include "sound/audio_output.h"
#include "sound/audio_state.h"
#include "sound/mixer.h"
#include "sound/ym_chip.h"
#include "support/log_capture.h"
#include "support/machine/st_machine.h"
#include "support/temp_dir.h"
#include "ym_writer.h"

namespace {

constexpr int chunk = 882;

class Assembly : public StMachineTest {
 protected:
  audio_output* out = nullptr;

  void SetUp() override {
    StMachineTest::SetUp();
    for (const char* v : {"BKM_SONG", "BKM_AUDIODUMP", "BKM_SONGLOG", "BKM_AUDIOLOG"}) unsetenv(v);
    music_entries = {};
    music_double::reset();
    mixer_drop_cache();
    mixer_set_gain(1.0);
    // A target far above anything pushed: the ring keeps every frame.
    out = audio_output_new(44100, 1e7, 1024);
    start({});
  }
  void TearDown() override {
    audio_shutdown();
    music_entries = {};
    mixer_options(0, 0);
    mixer_drop_cache();
    audio_output_free(out);
    StMachineTest::TearDown();
  }

  void start(audio_config c) {
    c.output = out;
    audio_start(c);
  }
  void start_pack_music() {
    music_double::install_pack();
    audio_config c;
    c.mp3_on = 1;
    start(c);
  }

  // Everything pushed since the last drain.
  std::vector<i16> drain() { return drain_output(out); }

  // Runs a hook with the caller's return address on the 68000 stack.
  void hook(u32 address, u32 return_address = 0x9000) {
    g_cpu.a[7] = 0x10000;
    wr32(0x10000, return_address);
    host_hook(address);
  }
  void song(int tune) {
    g_cpu.d[0] = 0xABCD0000u | static_cast<u32>(tune);
    hook(0x41BCC);
  }
  void stop(u32 return_address = 0x751E) { hook(0x41BE8, return_address); }
};

std::vector<i16> constant_song(int frames, i16 value) { return std::vector<i16>(2 * static_cast<size_t>(frames), value); }

TEST_F(Assembly, ChunkLengthFollowsTheVblRate) {
  struct row {
    double rate;
    int lo, hi;
  };
  const row rows[] = {{50, 882, 882}, {48, 918, 919}, {0, 882, 882}, {-3, 882, 882}, {std::nan(""), 882, 882},
                      {5, 8000, 8000}};
  for (const row& r : rows) {
    start({});
    tos.vbl_rate = r.rate;
    for (int i = 0; i < 8; ++i) {
      drain();
      audio_chunk(0, 0, 0);
      const int n = static_cast<int>(drain().size() / 2);
      ASSERT_GE(n, r.lo) << r.rate;
      ASSERT_LE(n, r.hi) << r.rate;
    }
  }
}

TEST_F(Assembly, SoundOffKeepsTheChipInStepAndPushesNothing) {
  audio_set_on(0);
  ym_write(8, 15);
  ym_write(2, 77);
  audio_chunk(0, 0, 0);
  EXPECT_EQ(out->pushed, 0u);
  EXPECT_EQ(aud.chip->regs[8], 15);
  EXPECT_EQ(aud.chip->regs[2], 77);
  EXPECT_EQ(aud.pb_elapsed, 0);
  EXPECT_EQ(ym_pending(), 0);
  audio_set_on(1);
  audio_chunk(0, 0, 0);
  EXPECT_EQ(aud.pb_elapsed, chunk);
}

TEST_F(Assembly, OutputClipsSymmetricallyAndNeverReachesMinus32768) {
  audio_set_volume(3.0);
  ym_write(7, 0x3F);
  for (u8 r : {8, 9, 10}) ym_write(r, 15);
  audio_chunk(0, 0, 0);
  for (u8 r : {8, 9, 10}) ym_write(r, 0);
  audio_chunk(0, 0, 0);
  const std::vector<i16> f = drain();
  EXPECT_EQ(f[0], 32767);
  EXPECT_EQ(f[1], 32767);
  EXPECT_EQ(f[2 * chunk], -32767);
  for (i16 v : f) ASSERT_GT(v, -32768);
}

TEST_F(Assembly, WholeVblLogIsTaken) {
  for (int i = 0; i < 70000; ++i) ym_write(0, static_cast<u8>(i), i / 70000.0);
  ym_write(8, 9, 0.99);
  audio_chunk(0, 0, 0);
  EXPECT_EQ(ym_pending(), 0);
  EXPECT_EQ(aud.chip->regs[8], 9);
}

TEST_F(Assembly, SongStartAndStop) {
  vf_on = 1;
  song(5);
  EXPECT_EQ(tos.song, 5);
  EXPECT_EQ(aud.pb_song, 5);
  EXPECT_EQ(vf_on, 0);
  EXPECT_EQ(song0, 0);
  song(0);
  EXPECT_EQ(song0, 1);
  vf_on = 1;
  stop(0x41C28); // the driver's own stop inside its song start
  EXPECT_EQ(tos.song, 0);
  EXPECT_EQ(aud.pb_song, 0);
  EXPECT_EQ(vf_on, 1);
  stop();
  EXPECT_EQ(tos.song, -1);
  EXPECT_EQ(aud.pb_song, -1);
  EXPECT_EQ(vf_on, 0);
}

TEST_F(Assembly, SongSwitchRestartsThePlayback) {
  aud.pb_elapsed = 99, aud.pb_done = 1, aud.looper = 7, aud.skip_total = 5, aud.skip_fade = 3, aud.am_restart = 0;
  aud.pend_song = 4;
  song(8);
  EXPECT_EQ(aud.pb_elapsed, 0);
  EXPECT_EQ(aud.pb_done, 0);
  EXPECT_EQ(aud.looper, 0);
  EXPECT_EQ(aud.skip_total, 0);
  EXPECT_EQ(aud.skip_fade, 0);
  EXPECT_EQ(aud.am_restart, 1);
  EXPECT_EQ(aud.pend_song, -2);
}

TEST_F(Assembly, OnceOnlySongMakesStartsAndStopsWait) {
  start_pack_music();
  music_double::songs[7] = constant_song(3000, 100);
  song(7);
  EXPECT_EQ(pb_once(), 1);
  vf_on = 1;
  song(5);
  EXPECT_EQ(aud.pend_song, 5);
  EXPECT_EQ(vf_on, 0);
  song(9);
  EXPECT_EQ(aud.pend_song, 9); // the last one wins
  stop();
  EXPECT_EQ(aud.pend_song, -1);
  EXPECT_EQ(tos.song, -1);
  EXPECT_EQ(aud.pb_song, 7);
  for (int i = 0; i < 3; ++i) audio_chunk(0, 0, 0);
  EXPECT_EQ(aud.pb_song, 7);
  EXPECT_EQ(pb_hold_value(), 0xFF);
  audio_chunk(0, 0, 0); // 3,528 frames: the song has ended
  EXPECT_EQ(aud.pb_song, -1);
  EXPECT_EQ(aud.pend_song, -2);
  EXPECT_EQ(pb_once(), 0);
}

TEST_F(Assembly, OnceOnlyOnlyWhileReplacementMusicPlaysIt) {
  start_pack_music();
  music_double::loading[3] = true;
  song(3);
  EXPECT_EQ(pb_once(), 1); // still loading counts
  music_double::loading.clear();
  EXPECT_EQ(pb_once(), 0); // no file: the chip plays it
  EXPECT_EQ(pb_hold_value(), -1);
  music_double::songs[3] = constant_song(100, 1);
  EXPECT_EQ(pb_once(), 1);
  EXPECT_EQ(pb_hold_value(), 0xFF);
  audio_set_on(0);
  EXPECT_EQ(pb_once(), 0);
  audio_set_on(1);
  audio_set_mp3(0);
  EXPECT_EQ(pb_once(), 0);
  audio_set_mp3(1);
  audio_chunk(0, 0, 0); // 100 frames: over
  EXPECT_EQ(pb_once(), 0);
  EXPECT_EQ(pb_hold_value(), 0); // the game may go on
  audio_song_switch(1);          // repeats
  EXPECT_EQ(pb_once(), 0);
  EXPECT_EQ(pb_hold_value(), -1);
}

TEST_F(Assembly, PressSkipsAOnceOnlySongWithAFade) {
  start_pack_music();
  music_double::songs[6] = constant_song(100000, 16384);
  for (size_t i = 1; i < music_double::songs[6].size(); i += 2) music_double::songs[6][i] = -8192;
  audio_chunk(0x80, 0, 0); // fire held from before the song
  song(6);
  song(2); // waits
  audio_chunk(0x80, 0, 0);
  EXPECT_EQ(aud.skip_total, 0);
  audio_chunk(0, 0x80, 1); // pressed while paused
  EXPECT_EQ(aud.skip_total, 0);
  audio_key_pressed();
  audio_chunk(0, 0, 1);
  EXPECT_EQ(aud.skip_total, 0);
  EXPECT_EQ(aud.skip_key, 0);
  audio_key_pressed(); // a key skips as a new press of fire does
  audio_chunk(0, 0, 0);
  EXPECT_EQ(aud.skip_total, 30869);
  aud.skip_total = aud.skip_fade = 0;
  drain();
  audio_chunk(0, 0x80, 0); // a new press
  EXPECT_EQ(aud.skip_total, 30869);
  std::vector<i16> f = drain();
  EXPECT_EQ(f[0], 16383);
  EXPECT_EQ(f[1], -8191);
  EXPECT_NEAR(f[2 * 441], 16383.5 * (30869 - 441) / 30869.0, 1.0);
  EXPECT_NEAR(f[2 * 881 + 1], -8191.75 * (30869 - 881) / 30869.0, 1.0);
  int chunks = 1;
  while (aud.pb_song == 6 && chunks < 100) {
    audio_chunk(0, 0x80, 0);
    const std::vector<i16> more = drain();
    f.insert(f.end(), more.begin(), more.end());
    ++chunks;
  }
  EXPECT_EQ(chunks, 35); // 30,869 frames
  EXPECT_EQ(f[2 * 30868], 0);
  for (size_t i = 2; i < 2 * 30869; i += 2) ASSERT_LE(f[i], f[i - 2]) << i;
  EXPECT_EQ(aud.pb_song, 2);
}

TEST_F(Assembly, FirstChunkOfPackMusicSilencesTheChipVolumes) {
  start_pack_music();
  music_double::songs[1] = constant_song(5000, 0);
  ym_write(7, 0x3F);
  ym_write(8, 15, 0.2);
  ym_write(9, 12, 0.4);
  ym_write(10, 11, 0.6);
  ym_write(0, 11, 0.6);
  song(1);
  audio_chunk(0, 0, 0);
  EXPECT_EQ(aud.mp3_active, 1);
  EXPECT_EQ(aud.chip->regs[8], 0);
  EXPECT_EQ(aud.chip->regs[9], 0);
  EXPECT_EQ(aud.chip->regs[10], 0);
  EXPECT_EQ(aud.chip->regs[7], 0x3F);
  EXPECT_EQ(aud.chip->regs[0], 11);
  const std::vector<i16> f = drain();
  for (i16 v : f) ASSERT_EQ(v, 0);
  ym_write(8, 15); // an effect's volume in a later chunk sounds
  audio_chunk(0, 0, 0);
  EXPECT_EQ(aud.chip->regs[8], 15);
  // From then on the mute hooks keep the music channels silent.
  g_cpu.d[1] = 0x1234560D;
  hook(0x41DD8);
  EXPECT_EQ(g_cpu.d[1], 0x12345600u);
  hook(0x41DDC);
  EXPECT_EQ(g_cpu.d[1], 0x1234560Du);
}

TEST_F(Assembly, ChipPlaysWhenNoSongFileIsThere) {
  start_pack_music();
  ym_write(7, 0x3F);
  ym_write(8, 15);
  song(0);
  audio_chunk(0, 0, 0);
  EXPECT_EQ(aud.mp3_active, 0);
  EXPECT_EQ(aud.chip->regs[8], 15);
  music_double::loading[0] = true;
  ym_write(8, 14);
  audio_chunk(0, 0, 0);
  EXPECT_EQ(aud.mp3_active, 1); // a loading song keeps the chip muted
  EXPECT_EQ(aud.chip->regs[8], 0);
}

TEST_F(Assembly, MuteHooksRoundTripTheVolumeByte) {
  struct row {
    u32 a, b;
  };
  for (const row& r : {row{0x41DD8, 0x41DDC}, row{0x41E00, 0x41E04}, row{0x41E28, 0x41E2C}}) {
    aud.mp3_active = 1;
    g_cpu.d[1] = 0xABCDEF37;
    hook(r.a);
    EXPECT_EQ(g_cpu.d[1], 0xABCDEF00u) << std::hex << r.a;
    g_cpu.d[1] = 0x11111100; // the driver reloads d1 before its next use
    hook(r.b);
    EXPECT_EQ(g_cpu.d[1], 0x11111137u) << std::hex << r.b;
    aud.mp3_active = 0;
    g_cpu.d[1] = 0xABCDEF55;
    hook(r.a);
    hook(r.b);
    EXPECT_EQ(g_cpu.d[1], 0xABCDEF55u) << std::hex << r.a;
  }
  // Each channel keeps its own byte.
  aud.mp3_active = 1;
  g_cpu.d[1] = 0x01;
  hook(0x41DD8);
  g_cpu.d[1] = 0x02;
  hook(0x41E00);
  g_cpu.d[1] = 0;
  hook(0x41DDC);
  EXPECT_EQ(g_cpu.d[1], 0x01u);
  hook(0x41E04);
  EXPECT_EQ(g_cpu.d[1], 0x02u);
}

TEST_F(Assembly, AudiofixForcesTheZeroFlag) {
  for (u32 a : {0x41EE2u, 0x41EF8u, 0x41F32u}) {
    g_cpu.fz = 0;
    hook(a);
    EXPECT_EQ(g_cpu.fz, 1) << std::hex << a;
  }
}

TEST_F(Assembly, TagHooksMarkTheNextWriteAsTheSamplePlayers) {
  for (u32 a : {0xE678u, 0xE69Cu, 0xE6C0u, 0xE6D6u, 0xE708u, 0xE772u}) {
    ym_events_clear();
    g_ym_tag = 0;
    hook(a);
    ym_write(8, 5);
    ym_write(8, 6);
    ym_event e[2];
    ASSERT_EQ(ym_events_take(e, 2), 2);
    EXPECT_EQ(e[0].reg, 16 + 8) << std::hex << a;
    EXPECT_EQ(e[1].reg, 8) << std::hex << a;
  }
}

TEST_F(Assembly, EveryHookPointIsRegistered) {
  const u32 points[] = {0x41BCC, 0x41BE8, 0xE6EC,  0xE756,  0xE678,  0xE69C,  0xE6C0,  0xE6D6,
                        0xE708,  0xE772,  0x41DD8, 0x41E00, 0x41E28, 0x41DDC, 0x41E04, 0x41E2C,
                        0x41E68, 0x41E9C, 0x41ED0, 0x41EE2, 0x41EF8, 0x41F32};
  for (u32 p : points) {
    EXPECT_TRUE(hook_registered(p)) << std::hex << p;
    EXPECT_EQ(g_cpu.hook_on[hook_slot(p)], 1) << std::hex << p;
  }
}

TEST_F(Assembly, EffectOnAChannelTakesTheEffectsVolume) {
  audio_set_part_volume(1, 0.5);  // chip music
  audio_set_part_volume(3, 0.25); // chip effects
  g_cpu.a[3] = 0xFF04152A;
  hook(0x41E9C);
  EXPECT_EQ(aud.drv_base, 0x4152Au);
  ram[0x4152A + 4043] = 1;    // effect on channel B
  ram[0x4152A + 4044] = 0x80; // negative: no effect
  audio_chunk(0, 0, 0);
  EXPECT_EQ(aud.chip->channel_gains[0], 0.5f);
  EXPECT_EQ(aud.chip->channel_gains[1], 0.25f);
  EXPECT_EQ(aud.chip->channel_gains[2], 0.5f);
  aud.drv_base = 0x3FFFFF; // effect bytes beyond RAM: none
  audio_chunk(0, 0, 0);
  EXPECT_EQ(aud.chip->channel_gains[1], 0.5f);
}

TEST_F(Assembly, PanFromTheSitesTable) {
  struct row {
    const char* what;
    u32 ret;
    u32 a4, a6, d3;
    u32 word_at;
    u16 x;
    float pan;
  };
  const row rows[] = {
      {"left edge", 0x72EE, 0x20000, 0, 0, 0x20002, 100, 0.0f},
      {"right edge", 0x9442, 0x20000, 0, 0, 0x20002, 292, 1.0f},
      {"beyond right", 0xA9CC, 0x20000, 0, 0, 0x20002, 400, 1.0f},
      {"beyond left", 0x6A4A, 0x20000, 0, 0, 0x20000, 20, 0.0f},
      {"centre", 0xB9CC, 0xAB020000, 0, 0, 0x20000, 196, 0.5f},
      {"a6 site", 0xA660, 0, 0x21000, 0, 0x21000, 148, 0.25f},
      {"d3 site", 0x6B3C, 0, 0, 0xFFFF00F4, 0, 0, 0.75f},
      {"site 6CEA", 0x6CEA, 0x20000, 0, 0, 0x20000, 244, 0.75f},
      {"site ACF0", 0xACF0, 0x20000, 0, 0, 0x20000, 244, 0.75f},
      {"site 9542", 0x9542, 0x20000, 0, 0, 0x20002, 244, 0.75f},
      {"unknown site", 0x1234, 0x20000, 0, 0, 0x20000, 100, 0.5f},
      {"a site's address with a high byte", 0xFF0072EE, 0x20000, 0, 0, 0x20002, 100, 0.5f},
      {"address beyond RAM", 0x72EE, 0x3FFFFE, 0, 0, 0, 0, 0.0f},
      {"word ending beyond RAM", 0x72EE, 0x3FFFFD, 0, 0, 0, 0, 0.0f},
  };
  ram[0x3FFFFF] = 0x01; // a word read across the end of RAM would see it
  wr16(0x30000, 222);   // and so would a read through the wrong register
  wr16(0x30002, 222);
  for (const row& r : rows) {
    g_cpu.a[0] = g_cpu.a[1] = g_cpu.a[2] = g_cpu.a[3] = g_cpu.a[5] = 0x30000;
    g_cpu.a[4] = r.a4, g_cpu.a[6] = r.a6, g_cpu.d[3] = r.d3;
    if (r.word_at) wr16(r.word_at, r.x);
    g_cpu.a[7] = 0x10000;
    wr32(0x10000, r.ret);
    EXPECT_FLOAT_EQ(sample_pan(), r.pan) << r.what;
  }
  g_cpu.a[7] = 0x3FFFFD; // no return address to read
  EXPECT_FLOAT_EQ(sample_pan(), 0.5f);
  g_cpu.a[7] = 0x3FFFFC; // the last long of RAM
  wr32(0x3FFFFC, 0x6B3C);
  g_cpu.d[3] = 292;
  EXPECT_FLOAT_EQ(sample_pan(), 1.0f);
}

void build_samples() {
  for (u32 s = 0; s < 9; ++s) {
    const u32 start = 0x50000 + 0x1000 * s;
    for (u32 i = 0; i < 400; ++i) ram[start + i] = 15;
    wr32(0xE86A + 8 * s, start);
    wr32(0xE86E + 8 * s, start + 400);
  }
}

TEST_F(Assembly, SampleTriggerPlaysInTheMixerWhenItIsOn) {
  build_samples();
  g_cpu.d[0] = 3;
  hook(0xE6EC, 0x72EE);
  EXPECT_EQ(mixer_queued(), 0); // mixer off: the player's own writes carry it
  audio_set_sfx_multi(1);
  g_cpu.d[0] = 9;
  hook(0xE6EC, 0x72EE);
  EXPECT_EQ(mixer_queued(), 0);
  g_cpu.d[0] = 0x10003;
  hook(0xE756, 0x72EE);
  audio_chunk(0, 0, 0);
  ASSERT_EQ(mixer_voice_count(), 1);
  EXPECT_EQ(mixer_voices()[0].voice, 1);
  EXPECT_EQ(mixer_voices()[0].pan, 0.5f);
  audio_set_sfx_pan(1);
  g_cpu.a[4] = 0x20000;
  wr16(0x20002, 292);
  g_cpu.d[0] = 4;
  hook(0xE6EC, 0x72EE);
  audio_chunk(0, 0, 0);
  ASSERT_EQ(mixer_voice_count(), 2);
  EXPECT_EQ(mixer_voices()[1].sample, 4);
  EXPECT_EQ(mixer_voices()[1].voice, 0);
  EXPECT_EQ(mixer_voices()[1].pan, 1.0f);
  const std::vector<i16> f = drain();
  EXPECT_GT(f[2 * chunk + 1], f[2 * chunk] + 1000); // hard right beside a centred voice
}

TEST_F(Assembly, TaggedWritesSoundThroughTheChipOnlyWithTheMixerOff) {
  ym_write(7, 0x3F);
  ym_write(8, 15, 0, true);
  audio_chunk(0, 0, 0);
  EXPECT_GT(drain()[0], 1000);
  const u8 silent[16] = {};
  set_ym_regs(silent);
  start({});
  audio_set_sfx_multi(1);
  ym_write(8, 15, 0, true);
  ym_write(7, 0x3F);
  audio_chunk(0, 0, 0);
  EXPECT_EQ(drain()[0], 0);
  EXPECT_EQ(aud.chip->sample_levels[0], 0u);
  audio_set_sfx_multi(0);
  mixer_start(0, 0, 0, 0.5f); // refused while both are off
  EXPECT_EQ(mixer_queued(), 0);
}

TEST_F(Assembly, MixerOffForgetsItsVoices) {
  build_samples();
  audio_set_sfx_multi(1);
  mixer_start(1, 0, 0, 0.5f);
  audio_chunk(0, 0, 0);
  EXPECT_EQ(mixer_voice_count(), 1);
  audio_set_sfx_multi(0);
  audio_chunk(0, 0, 0);
  EXPECT_EQ(mixer_voice_count(), 0);
}

TEST_F(Assembly, RepeatingPackSongFollowsTheDriversLevel) {
  start_pack_music();
  music_double::songs[1] = constant_song(4000, 13000);
  song(1);
  struct row {
    u8 level;
    double factor;
  };
  for (const row& r : {row{6, 6 / 13.0}, row{0, 1}, row{13, 1}, row{15, 1}, row{12, 12 / 13.0}}) {
    ram[0x42502] = r.level;
    drain();
    audio_chunk(0, 0, 0);
    const std::vector<i16> f = drain();
    EXPECT_NEAR(f[0], 13000.0 * r.factor * 32767 / 32768, 1.0) << int(r.level);
    EXPECT_NEAR(f[2 * chunk - 1], 13000.0 * r.factor * 32767 / 32768, 1.0) << int(r.level);
  }
  audio_set_part_volume(0, 0.5);
  ram[0x42502] = 15;
  audio_chunk(0, 0, 0);
  EXPECT_NEAR(drain()[0], 6500.0 * 32767 / 32768, 1.0);
}

TEST_F(Assembly, MusicResynchronisesToTheElapsedTime) {
  start_pack_music();
  std::vector<i16> pcm(2 * 1000);
  for (int i = 0; i < 1000; ++i) pcm[2 * i] = pcm[2 * i + 1] = static_cast<i16>(i * 10);
  music_double::songs[1] = pcm;
  song(1);
  aud.pb_elapsed = 2500 - chunk; // the chunk adds its own frames first
  audio_set_mp3(1);
  EXPECT_EQ(music_double::prefetches, 2); // at the start and now
  audio_chunk(0, 0, 0);
  EXPECT_NEAR(drain()[0], 500 * 10 * 32767.0 / 32768, 1.0);
  EXPECT_EQ(aud.mp3_sync, 0);
}

TEST_F(Assembly, AmigaWithoutAPlayerLogsAndChipMusicPlays) {
  log_capture log;
  audio_config c;
  c.mp3_on = 1;
  c.music_dir = "/music/@amiga";
  c.game_dir = "/games/original";
  start(c);
  EXPECT_TRUE(log.has("Amiga music: no usable disk file found in /games/original")) << log.text();
  EXPECT_EQ(aud.am_on, 0);
  ym_write(7, 0x3F);
  ym_write(8, 15);
  song(1);
  audio_chunk(0, 0, 0);
  EXPECT_EQ(aud.mp3_active, 0);
}

TEST_F(Assembly, AmigaRestartResumesARepeatingTune) {
  music_double::install_amiga();
  audio_config c;
  c.mp3_on = 1;
  c.music_dir = "@amiga";
  start(c);
  EXPECT_EQ(aud.am_on, 1);
  song(0);
  audio_chunk(0, 0, 0);
  ASSERT_EQ(music_double::amiga_played, std::vector<int>{0});
  EXPECT_TRUE(music_double::amiga_skipped.empty());
  EXPECT_EQ(aud.mp3_active, 1);
  EXPECT_NEAR(drain()[0], 1000 * 32767.0 / 32768, 1.0);
  audio_set_mp3(1); // asks for a restart
  audio_chunk(0, 0, 0);
  EXPECT_EQ(music_double::amiga_played, (std::vector<int>{0, 0}));
  EXPECT_EQ(music_double::amiga_skipped, std::vector<int>{chunk});
  // A once-only tune ends when the replay stops playing.
  song(4);
  EXPECT_EQ(pb_once(), 1);
  audio_chunk(0, 0, 0);
  EXPECT_EQ(aud.pb_done, 0);
  music_double::amiga_is_playing = false;
  audio_chunk(0, 0, 0);
  EXPECT_EQ(aud.pb_done, 1);
  // Choosing another pack stops the replay.
  aud.looper = 5;
  aud.mp3_sync = 0;
  audio_set_music_dir("/music/arrange");
  EXPECT_EQ(aud.looper, 0);
  EXPECT_EQ(aud.mp3_sync, 1);
  EXPECT_EQ(aud.am_on, 0);
  EXPECT_EQ(music_double::amiga_played.back(), -1);
  EXPECT_EQ(music_double::folder, "/music/arrange");
  // Choosing "@amiga" again restarts the replay on the current song.
  audio_set_music_dir("/music/@amiga");
  audio_chunk(0, 0, 0);
  EXPECT_EQ(music_double::amiga_played.back(), 4);
}

TEST_F(Assembly, PartVolumeTwoIsTheSampleGain) {
  audio_set_part_volume(2, 0.25);
  EXPECT_EQ(aud.chip->sample_gain, 0.25f);
  audio_set_part_volume(0, 0.125);
  EXPECT_EQ(aud.vol_mp3, 0.125);
  audio_set_part_volume(7, 0.5); // not a part
  EXPECT_EQ(aud.vol_ay, 1.0);
  EXPECT_EQ(aud.vol_fx, 1.0);
}

TEST_F(Assembly, SongFromTheEnvironmentStartsAtOnce) {
  setenv("BKM_SONG", "12", 1);
  start({});
  EXPECT_EQ(tos.song, 12);
  EXPECT_EQ(aud.pb_song, 12);
  for (const char* bad : {"x4", "4x", "-2", ""}) {
    setenv("BKM_SONG", bad, 1);
    tos.song = 9;
    start({});
    EXPECT_EQ(tos.song, 9) << bad;
    EXPECT_EQ(aud.pb_song, -1) << bad;
  }
  unsetenv("BKM_SONG");
}

TEST_F(Assembly, AfterLoadTakesTheMachinesSongAndRegisters) {
  ym_write(3, 9);
  tos.song = 6;
  aud.pend_song = 2;
  audio_after_load();
  EXPECT_EQ(aud.pb_song, 6);
  EXPECT_EQ(aud.pend_song, -2);
  EXPECT_EQ(aud.chip->regs[3], 9);
  EXPECT_EQ(ym_pending(), 0);
}

TEST_F(Assembly, AudioDumpHoldsThePushedFrames) {
  temp_dir dir;
  const std::string file = dir / "dump.raw";
  setenv("BKM_AUDIODUMP", file.c_str(), 1);
  start({});
  ym_write(7, 0x3F);
  ym_write(8, 12);
  audio_chunk(0, 0, 0);
  audio_chunk(0, 0, 0);
  const std::vector<i16> f = drain();
  audio_shutdown();
  const std::string raw = slurp(file);
  ASSERT_EQ(raw.size(), 4u * 2 * chunk);
  for (size_t i = 0; i < f.size(); ++i)
    ASSERT_EQ(static_cast<i16>(u8(raw[2 * i]) | u8(raw[2 * i + 1]) << 8), f[i]) << i;
  unsetenv("BKM_AUDIODUMP");
}

TEST_F(Assembly, FailingAudioDumpStopsWithOneLine) {
  log_capture log;
  setenv("BKM_AUDIODUMP", "/dev/full", 1);
  start({});
  for (int i = 0; i < 3; ++i) audio_chunk(0, 0, 0);
  unsetenv("BKM_AUDIODUMP");
  const std::string text = log.text();
  const std::string line = "audio dump: writing failed, the dump stops here";
  ASSERT_NE(text.find(line), std::string::npos) << text;
  EXPECT_EQ(text.find(line), text.rfind(line));
  EXPECT_EQ(drain().size(), 3u * 2 * chunk); // the sound goes on
}

TEST_F(Assembly, DiagnosticLogs) {
  log_capture log;
  setenv("BKM_SONGLOG", "1", 1);
  setenv("BKM_AUDIOLOG", "1", 1);
  tos.vbl = 77;
  g_cpu.d[0] = 3;
  hook(0x41BCC, 0x74FE);
  ym_write(7, 0x3F);
  audio_chunk(0, 0, 0);
  unsetenv("BKM_SONGLOG");
  unsetenv("BKM_AUDIOLOG");
  EXPECT_TRUE(log.has("song 3 (vbl 77, pc 041BCC, ret 0074FE)")) << log.text();
  EXPECT_TRUE(log.has("audio vbl 77 ev 1 rms 0.0000 mp3on 0 active 0 arr 0 song 3")) << log.text();
}

} // namespace
