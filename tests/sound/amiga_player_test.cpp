// The Amiga music player: Paula's channels and DMA, the chip registers,
// the CIA tick, the audio filter, the calls into the replay with the game's
// registers given back, and the rendered frames.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "amiga_fixture.h"
#include "machine/coroutine.h"
#include "sound/audio_assembly.h"
#include "sound/audio_state.h"
#include "sound/music_entries.h"
#include "support/synthetic/amiga_disk_images.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

namespace {

void write_bytes(const std::string& path, const std::vector<u8>& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
  std::fclose(f);
}

constexpr u32 aud0 = 0xDFF0A0;

// Channel n playing the words at `at`: location, length, period, volume,
// then its DMA on.
void play_words(int n, u32 at, u16 length, u16 period, u16 volume = 64) {
  const u32 r = aud0 + 16 * static_cast<u32>(n);
  am_io_write(r, 4, at);
  am_io_write(r + 4, 2, length);
  am_io_write(r + 6, 2, period);
  am_io_write(r + 8, 2, volume);
  am_io_write(0xDFF096, 2, 0x8200 | 1u << n);
}

// The bytes channel 0 outputs over `ticks` Paula ticks, one per change.
std::vector<int> outputs(int ticks) {
  std::vector<int> seen;
  for (int t = 0; t < ticks; ++t) {
    const i8 before = paula.ch[0].sample;
    const i32 countdown = paula.ch[0].countdown;
    paula_tick(amem);
    if (countdown == 1 || paula.ch[0].sample != before) seen.push_back(static_cast<u8>(paula.ch[0].sample));
  }
  return seen;
}

using AmigaPlayer = AmigaTest;

TEST_F(AmigaPlayer, IsSilentAndNotPlayingBeforeItOpens) {
  EXPECT_EQ(amiga_music_ready(), 0);
  EXPECT_EQ(amiga_music_playing(), 0);
  std::vector<i16> out(64, 123);
  amiga_music_render(32, out.data());
  EXPECT_EQ(out, std::vector<i16>(64, 0));
  amiga_music_play(0); // nothing to call yet
  amiga_music_skip(100000);
  EXPECT_EQ(amem, nullptr);
}

TEST_F(AmigaPlayer, LoadsTheBlockIntoZeroedMemory) {
  load();
  EXPECT_EQ(amiga_music_ready(), 1);
  for (u32 i = 0; i < amiga_block_size; i += 97) ASSERT_EQ(m8(bkam_base + i), block.bytes[i]) << i;
  EXPECT_EQ(m8(bkam_base - 1), 0u);
  EXPECT_EQ(m8(bkam_base + amiga_block_size), 0u);
  EXPECT_EQ(m8(amiga_memory_size - 1), 0u);
  EXPECT_EQ(amiga_music_playing(), 0);
}

TEST_F(AmigaPlayer, ChannelRegistersLatchTheirMaskedValues) {
  load();
  const u32 r = aud0 + 16 * 2;
  am_io_write(r, 2, 0xFFFF);     // location high: 3 bits
  am_io_write(r + 2, 2, 0x1235); // location low: even
  am_io_write(r + 4, 2, 0x0102);
  am_io_write(r + 6, 2, 0x0345);
  am_io_write(r + 8, 2, 0x00FF); // volume: 7 bits
  am_io_write(r + 10, 2, 0x7777); // no register
  const paula_channel& c = paula.ch[2];
  EXPECT_EQ(c.location, 0x71234u);
  EXPECT_EQ(c.length, 0x0102);
  EXPECT_EQ(c.period, 0x0345);
  EXPECT_EQ(c.volume, 0x7F);
  EXPECT_EQ(paula.ch[1].location, 0u);
  EXPECT_EQ(paula.ch[3].location, 0u);
}

TEST_F(AmigaPlayer, WideAndNarrowWritesReachTheWordRegisters) {
  load();
  // A long is two word writes: location high and low of channel 1 at once,
  // and across two registers (location low, then length).
  am_io_write(aud0 + 16, 4, 0x00054322);
  EXPECT_EQ(paula.ch[1].location, 0x54322u);
  am_io_write(aud0 + 2, 4, 0xABCD0040);
  EXPECT_EQ(paula.ch[0].location, 0xABCCu);
  EXPECT_EQ(paula.ch[0].length, 0x40);
  // A byte at an odd address is the word's low half, at an even one its
  // high half.
  am_io_write(aud0 + 9, 1, 0x33);
  EXPECT_EQ(paula.ch[0].volume, 0x33);
  am_io_write(aud0 + 8, 1, 0x33);
  EXPECT_EQ(paula.ch[0].volume, 0);
  am_io_write(aud0 + 6, 1, 0x01);
  EXPECT_EQ(paula.ch[0].period, 0x100);
  // Addresses outside the chip registers and CIA-A port A do nothing.
  am_io_write(0xDFE0A8, 2, 0x10);
  am_io_write(0xBFE101, 1, 0xFF);
  EXPECT_EQ(paula.ch[0].volume, 0);
  EXPECT_EQ(paula.cia_pra, 0);
}

TEST_F(AmigaPlayer, DmaconSetsAndClearsAndReadsBack) {
  load();
  struct step {
    u32 write;
    u16 dmacon;
    std::array<int, 4> active;
  };
  const step steps[] = {
      {0x8003, 0x0003, {0, 0, 0, 0}}, // channels without DMAEN stay off
      {0x8200, 0x0203, {1, 1, 0, 0}},
      {0x820C, 0x020F, {1, 1, 1, 1}},
      {0x0004, 0x020B, {1, 1, 0, 1}},
      {0x0200, 0x000B, {0, 0, 0, 0}}, // DMAEN off stops all
      {0x8200, 0x020B, {1, 1, 0, 1}},
      {0xFFFF, 0x7FFF, {1, 1, 1, 1}},
      {0x000F, 0x7FF0, {0, 0, 0, 0}},
  };
  for (const step& s : steps) {
    am_io_write(0xDFF096, 2, s.write);
    EXPECT_EQ(paula.dmacon, s.dmacon) << std::hex << s.write;
    for (int n = 0; n < 4; ++n) EXPECT_EQ(paula.ch[n].active, s.active[n]) << std::hex << s.write << " ch " << n;
  }
  EXPECT_EQ(am_io_read(0xDFF002, 2), 0x3F0u);
  EXPECT_EQ(am_io_read(0xDFF002, 1), 0x03u);
  EXPECT_EQ(am_io_read(0xDFF003, 1), 0xF0u);
  EXPECT_EQ(am_io_read(0xDFF000, 4), 0x3F0u);
  EXPECT_EQ(am_io_read(0xDFF096, 2), 0u);
  EXPECT_EQ(am_io_read(0xDFE002, 2), 0u);
  am_io_write(0xBFE001, 1, 0x42);
  EXPECT_EQ(am_io_read(0xBFE001, 1), 0x42u);
  EXPECT_EQ(am_io_read(0xBFE000, 1), 0u);
}

TEST_F(AmigaPlayer, DmaStartsFromTheLatchesAndStopsSilently) {
  load();
  p16(0x1000, 0x1122);
  play_words(0, 0x1000, 4, 200);
  const paula_channel& c = paula.ch[0];
  EXPECT_EQ(c.pointer, 0x1000u);
  EXPECT_EQ(c.remaining, 4);
  EXPECT_EQ(c.phase, 1);
  EXPECT_EQ(c.countdown, 1);
  paula_tick(amem);
  EXPECT_EQ(c.sample, 0x11);
  // Turning the DMA on again while it runs restarts nothing.
  am_io_write(0xDFF096, 2, 0x8201);
  EXPECT_EQ(c.pointer, 0x1002u);
  am_io_write(0xDFF096, 2, 0x0001);
  EXPECT_EQ(c.active, 0);
  EXPECT_EQ(c.sample, 0);
}

TEST_F(AmigaPlayer, ChannelsPlayTheirWordsAndReloadTheLatches) {
  load();
  p32(0x2000, 0x11223344);
  p32(0x2004, 0x55667788);
  struct row {
    u16 length;
    std::vector<int> bytes;
  };
  // Length 1 repeats one word; length 0 reloads after every word.
  const row rows[] = {
      {1, {0x11, 0x22, 0x11, 0x22, 0x11, 0x22}},
      {0, {0x11, 0x22, 0x11, 0x22, 0x11, 0x22}},
      {2, {0x11, 0x22, 0x33, 0x44, 0x11, 0x22}},
      {3, {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x11}},
  };
  for (const row& r : rows) {
    am_io_write(0xDFF096, 2, 0x0001);
    play_words(0, 0x2000, r.length, 113);
    EXPECT_EQ(outputs(1 + 113 * static_cast<int>(r.bytes.size() - 1)), r.bytes) << r.length;
  }
}

TEST_F(AmigaPlayer, PeriodsBelow113PlayAt113) {
  load();
  p32(0x2000, 0x01020304);
  for (u16 period : {1, 50, 112, 113}) {
    am_io_write(0xDFF096, 2, 0x0001);
    play_words(0, 0x2000, 2, period);
    paula_tick(amem);
    EXPECT_EQ(paula.ch[0].sample, 1);
    for (int t = 0; t < 112; ++t) paula_tick(amem);
    EXPECT_EQ(paula.ch[0].sample, 1) << period;
    paula_tick(amem);
    EXPECT_EQ(paula.ch[0].sample, 2) << period;
  }
  am_io_write(0xDFF096, 2, 0x0001);
  play_words(0, 0x2000, 2, 300);
  for (int t = 0; t < 300; ++t) paula_tick(amem);
  EXPECT_EQ(paula.ch[0].sample, 1);
  paula_tick(amem);
  EXPECT_EQ(paula.ch[0].sample, 2);
}

TEST_F(AmigaPlayer, TheReplayTicksEvery875Or876FramesAt44100Hz) {
  solo({am_cmd::duration + 32, am_cmd::rest, am_cmd::next_sequence}, 1, 1);
  load();
  amiga_music_play(0);
  // Tempo 1 adds 1 to the accumulator at every tick.
  std::vector<int> tick_frames;
  std::vector<i16> out(2);
  u32 ticks = m8(bkam_tempo_acc);
  for (int f = 0; f < 44100; ++f) {
    amiga_music_render(1, out.data());
    if (m8(bkam_tempo_acc) != ticks) tick_frames.push_back(f);
    ticks = m8(bkam_tempo_acc);
  }
  ASSERT_EQ(tick_frames.size(), 51u);
  EXPECT_EQ(tick_frames[0], 0);
  // 875.33 frames a tick: the second falls in frame 876, the third in 1751.
  EXPECT_EQ(tick_frames[1], 876);
  EXPECT_EQ(tick_frames[2], 1751);
  int gaps875 = 0, gaps876 = 0;
  for (std::size_t i = 1; i < tick_frames.size(); ++i) {
    const int gap = tick_frames[i] - tick_frames[i - 1];
    EXPECT_TRUE(gap == 875 || gap == 876) << gap;
    gaps875 += gap == 875;
    gaps876 += gap == 876;
  }
  EXPECT_GT(gaps875, 0);
  EXPECT_GT(gaps876, 0);
  // At another rate the ticks keep their time.
  amiga_player_forget();
  load(22050);
  amiga_music_play(0);
  const u32 before = m8(bkam_tempo_acc);
  std::vector<i16> more(2 * 22050);
  amiga_music_render(22050, more.data());
  EXPECT_EQ(m8(bkam_tempo_acc) - before, 51u);
}

TEST_F(AmigaPlayer, FramesAverageThePaulaTicksOfChannelsPannedByPairs) {
  load();
  for (u32 i = 0; i < 64; ++i) p8(0x3000 + i, 0x40);  // +64
  for (u32 i = 0; i < 64; ++i) p8(0x3100 + i, 0xC0);  // -64
  paula.cia_pra = cia_filter_off;
  struct row {
    int channel;
    u16 volume;
    u32 bytes;
    int left, right;
  };
  // 64 x 64 is a quarter of full scale; volumes above 64 play at 64.
  const row rows[] = {
      {0, 64, 0x3000, 8191, 0}, {3, 64, 0x3000, 8191, 0},  {1, 64, 0x3000, 0, 8191},
      {2, 64, 0x3100, 0, -8191}, {0, 127, 0x3000, 8191, 0}, {3, 32, 0x3100, -4095, 0},
  };
  for (const row& r : rows) {
    am_io_write(0xDFF096, 2, 0x000F);
    play_words(r.channel, r.bytes, 32, 113, r.volume);
    std::vector<i16> out(2 * 4);
    amiga_music_render(4, out.data());
    // The first frame holds the ticks before the first byte came.
    EXPECT_EQ(out[6], r.left) << r.channel;
    EXPECT_EQ(out[7], r.right) << r.channel;
  }
}

TEST_F(AmigaPlayer, TheFilterSmoothsUntilPortABit1SwitchesItOff) {
  load();
  for (u32 i = 0; i < 256; ++i) p8(0x3000 + i, 0x40);
  play_words(0, 0x3000, 128, 113);
  // Every frame holds x = 0.25 on the left.
  std::vector<i16> out(2 * 3);
  paula.cia_pra = 0;
  amiga_music_render(3, out.data());
  const double a = 1.0 - std::exp(-2.0 * M_PI * 4500.0 / 44100.0);
  EXPECT_NEAR(a, 0.4733, 0.00005);
  float y = 0;
  for (int i = 0; i < 3; ++i) {
    y = static_cast<float>(y + (0.25 - y) * a);
    EXPECT_EQ(out[2 * i], static_cast<i16>(static_cast<int>(y * 32767.0))) << i;
    EXPECT_EQ(out[2 * i + 1], 0);
  }
  EXPECT_LT(out[0], 8191 / 2 + 1);
  // The start entry switches the filter off, so tunes play unfiltered.
  amiga_music_play(0);
  EXPECT_TRUE(paula.cia_pra & cia_filter_off);
}

TEST_F(AmigaPlayer, RenderedTunesSoundOnBothSidesAndStopSilent) {
  load();
  amiga_music_play(0);
  EXPECT_EQ(amiga_music_playing(), 1);
  std::vector<i16> out(2 * 44100);
  amiga_music_render(44100, out.data());
  double sum[2] = {};
  for (int i = 0; i < 44100; ++i)
    for (int s = 0; s < 2; ++s) sum[s] += std::abs(out[2 * i + s]);
  EXPECT_GT(sum[0] / 44100, 100.0);
  EXPECT_GT(sum[1] / 44100, 100.0);
  // The same tune renders the same frames again.
  std::vector<i16> again(2 * 44100);
  amiga_player_forget();
  load();
  amiga_music_play(0);
  amiga_music_render(44100, again.data());
  EXPECT_EQ(out, again);
  amiga_music_play(-1);
  EXPECT_EQ(amiga_music_playing(), 0);
  amiga_music_render(1000, out.data());
  amiga_music_render(100, out.data());
  for (int i = 0; i < 200; ++i) EXPECT_EQ(out[i], 0) << i;
}

TEST_F(AmigaPlayer, PlayStartsTunes0To7AndStopsOnAnythingElse) {
  load();
  for (int n : {0, 7, 3}) {
    amiga_music_play(n);
    EXPECT_EQ(amiga_music_playing(), 1) << n;
    EXPECT_EQ(m16(bkam_speed), m8(bkam_songs + 10 * static_cast<u32>(n))) << n;
  }
  for (int n : {-1, 8, 100}) {
    amiga_music_play(0);
    amiga_music_play(n);
    EXPECT_EQ(amiga_music_playing(), 0) << n;
    EXPECT_EQ(m8(bkam_loaded), 0xFFu) << n; // a stop leaves the tune loaded
  }
}

TEST_F(AmigaPlayer, SkipRunsTheTicksOfThoseFramesUntilTheTuneEnds) {
  solo({am_cmd::duration + 32, am_cmd::rest, am_cmd::next_sequence}, 1, 1);
  load();
  amiga_music_play(0);
  amiga_music_skip(875 * 10 + 10); // 10 whole ticks
  EXPECT_EQ(m8(bkam_tempo_acc), 10u);
  amiga_music_skip(0);
  amiga_music_skip(-5);
  EXPECT_EQ(m8(bkam_tempo_acc), 10u);
  // The next frame ticks first.
  std::vector<i16> out(2);
  amiga_music_render(1, out.data());
  EXPECT_EQ(m8(bkam_tempo_acc), 11u);
  // A tune that ends stops the skip.
  p8(bkam_fade_interval, 1);
  p8(bkam_fade_counter, 1);
  p16(bkam_master, 3);
  amiga_music_skip(875 * 100);
  EXPECT_EQ(amiga_music_playing(), 0);
  EXPECT_EQ(m8(bkam_tempo_acc), 14u);
}

TEST_F(AmigaPlayer, ACallGivesBackEveryRegisterGlobal) {
  load();
  amiga_music_play(0);
  u32* regs[] = {&d0, &d1, &d2, &d3, &d4, &d5, &d6, &d7, &a0, &a1, &a2, &a3, &a4, &a5, &a6, &a7};
  for (int i = 0; i < 16; ++i) *regs[i] = 0x01010101u * static_cast<u32>(i + 1) + 0x00300000;
  fx = 1, fn = 0, fz = 1, fv = 0, fc = 1;
  sr_sys = 0x0700;
  other_sp = 0x00ABCDEF;
  resume_pc = 0x00123456;
  ret_addr = 0x00654321;
  for (u32 routine : {bkam_start_entry, bkam_tick_entry, bkam_stop_entry, bkam_tick_entry}) {
    am_call(routine, 0);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(*regs[i], 0x01010101u * static_cast<u32>(i + 1) + 0x00300000) << i;
    EXPECT_EQ(fx, 1);
    EXPECT_EQ(fn, 0);
    EXPECT_EQ(fz, 1);
    EXPECT_EQ(fv, 0);
    EXPECT_EQ(fc, 1);
    EXPECT_EQ(sr_sys, 0x0700);
    EXPECT_EQ(other_sp, 0x00ABCDEFu);
    EXPECT_EQ(resume_pc, 0x00123456u);
    EXPECT_EQ(ret_addr, 0x00654321u);
  }
  EXPECT_EQ(m32(amiga_stack_top), amiga_return_marker);
}

TEST_F(AmigaPlayer, AnUntranslatedJumpEndsTheTickAndIsReportedOnce) {
  using namespace am_cmd;
  const std::vector<u8> jump = {duration + 1, untranslated, 10};
  const std::vector<u8> quiet = {duration + 32, rest, next_sequence};
  block.tune(0, 1, 0, am_voices{{{jump}, {jump}, {quiet}, {quiet}}});
  load();
  amiga_music_play(0);
  testing::internal::CaptureStderr();
  tick();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Amiga music: jump to code that was not translated: 051764\n");
  // The tick ended at voice 0's command.
  EXPECT_EQ(m8(shadow(0, shadow_music)), 0xFFu);
  EXPECT_EQ(m8(shadow(1, shadow_music)), 0u);
  EXPECT_EQ(m16(voice(1, voice_countdown)), 1u);
  // The next tick runs voice 0 on and ends at voice 1's command, unreported.
  testing::internal::CaptureStderr();
  tick();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(m8(shadow(1, shadow_music)), 0xFFu);
  EXPECT_EQ(m8(shadow(2, shadow_music)), 0u);
  EXPECT_EQ(m16(voice(2, voice_countdown)), 1u);
}

TEST_F(AmigaPlayer, BkmAmlogWritesPlayAndEveryHundredthRender) {
  log_capture log;
  setenv("BKM_AMLOG", "1", 1);
  load();
  amiga_music_play(2);
  std::vector<i16> out(2 * 10);
  for (int i = 0; i < 101; ++i) amiga_music_render(10, out.data());
  unsetenv("BKM_AMLOG");
  const std::string text = log.text();
  // The 101st call's line shows the state it left.
  char line[256];
  std::snprintf(line, sizeof line,
                "Amiga music: render 10 frames, playing=1, last %d, ch vol %d %d %d %d per %d %d %d %d dma %04X",
                out[18], paula.ch[0].volume, paula.ch[1].volume, paula.ch[2].volume, paula.ch[3].volume,
                paula.ch[0].period, paula.ch[1].period, paula.ch[2].period, paula.ch[3].period, paula.dmacon);
  EXPECT_TRUE(log.has(line)) << line << "\n" << text;
  EXPECT_TRUE(log.has("Amiga music: play 2")) << text;
  std::size_t renders = 0;
  for (std::size_t at = 0; (at = text.find("Amiga music: render 10 frames, playing=1, last ", at)) != std::string::npos; ++at)
    ++renders;
  EXPECT_EQ(renders, 2u) << text;
  EXPECT_NE(text.find(" dma 020F"), std::string::npos) << text;
}

TEST_F(AmigaPlayer, FindTakesTheFirstUsableDiskFileAndRemembersTheFolder) {
  temp_dir dir;
  const std::vector<u8> good = amiga_raw_dump(block);
  std::vector<u8> bad = good;
  bad[200000] ^= 1;
  write_bytes(dir / "bad.adf", bad);
  write_bytes(dir / "good.Adf", good); // not a disk file's name
  write_bytes(dir / ".adf", good);
  write_bytes(dir / "notes.txt", good);
  char path[1024] = "";
  EXPECT_EQ(amiga_music_find(dir.path.c_str(), path, sizeof path), 0);
  write_bytes(dir / "music.LHA", good); // a dump, whatever its name says
  // The answer for a folder is remembered until another folder is asked.
  EXPECT_EQ(amiga_music_find(dir.path.c_str(), path, sizeof path), 0);
  temp_dir other;
  EXPECT_EQ(amiga_music_find(other.path.c_str(), path, sizeof path), 0);
  ASSERT_EQ(amiga_music_find(dir.path.c_str(), path, sizeof path), 1);
  EXPECT_EQ(std::string(path), dir / "music.LHA");
  std::remove((dir / "music.LHA").c_str());
  path[0] = '\0';
  EXPECT_EQ(amiga_music_find(dir.path.c_str(), path, sizeof path), 1);
  EXPECT_EQ(std::string(path), dir / "music.LHA");
  EXPECT_EQ(amiga_music_find("", path, sizeof path), 0);
  EXPECT_EQ(amiga_music_find(nullptr, path, sizeof path), 0);
  EXPECT_EQ(amiga_music_find((dir / "missing").c_str(), path, sizeof path), 0);
  // A disk image with the block in its pieces is found as well.
  temp_dir images;
  amiga_block sealed = block;
  amiga_block_seal(sealed);
  write_bytes(images / "Brakmoor.adf", amiga_test_adf(sealed.bytes));
  ASSERT_EQ(amiga_music_find(images.path.c_str(), path, sizeof path), 1);
  EXPECT_EQ(std::string(path), images / "Brakmoor.adf");
}

TEST_F(AmigaPlayer, OpenLoadsTheBlockOfADiskFileOnce) {
  temp_dir dir;
  write_bytes(dir / "bad.adf", std::vector<u8>(300000, 1));
  write_bytes(dir / "disk.adf", amiga_raw_dump(block));
  EXPECT_EQ(amiga_music_open((dir / "bad.adf").c_str(), 44100), 0);
  EXPECT_EQ(amiga_music_open((dir / "none.adf").c_str(), 44100), 0);
  EXPECT_EQ(amiga_music_ready(), 0);
  ASSERT_EQ(amiga_music_open((dir / "disk.adf").c_str(), 0), 1);
  EXPECT_EQ(amiga_music_ready(), 1);
  for (u32 i = 0; i + 4 < amiga_block_size; i += 101) ASSERT_EQ(m8(bkam_base + i), block.bytes[i]) << i;
  // Open again: the player stays as it is.
  amiga_music_play(0);
  EXPECT_EQ(amiga_music_open((dir / "bad.adf").c_str(), 22050), 1);
  EXPECT_EQ(amiga_music_playing(), 1);
  // Rate 0 means 44,100 Hz: a tick every 875 or 876 frames.
  std::vector<i16> out(2 * 877);
  amiga_music_render(877, out.data());
  EXPECT_EQ(m16(voice(0, voice_countdown)), 4u - 1); // two ticks: the note and one step
}

TEST_F(AmigaPlayer, ChoosingAmigaMusicOpensThePlayerFromTheGameFolder) {
  temp_dir game;
  write_bytes(game / "Brakmoor.adf", amiga_raw_dump(block));
  const music_entry_table saved = music_entries;
  music_entries = {};
  amiga_music_entries(music_entries);
  std::snprintf(aud.game_dir, sizeof aud.game_dir, "%s", (game / "missing").c_str());
  {
    log_capture log;
    am_select("/music/@amiga");
    EXPECT_EQ(aud.am_on, 0);
    EXPECT_TRUE(log.has("Amiga music: no usable disk file found in " + game / "missing")) << log.text();
  }
  std::snprintf(aud.game_dir, sizeof aud.game_dir, "%s", game.path.c_str());
  am_select("/music/@amiga");
  EXPECT_EQ(aud.am_on, 1);
  EXPECT_EQ(amiga_music_ready(), 1);
  amiga_music_play(1);
  am_select("/music/pack");
  EXPECT_EQ(aud.am_on, 0);
  EXPECT_EQ(amiga_music_playing(), 0);
  // Once open the player is reused without looking at the folder again.
  std::snprintf(aud.game_dir, sizeof aud.game_dir, "%s", "");
  am_select("@amiga");
  EXPECT_EQ(aud.am_on, 1);
  aud.am_on = 0;
  music_entries = saved;
}

} // namespace
