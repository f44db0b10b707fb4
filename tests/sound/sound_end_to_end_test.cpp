// The game heard end to end: the synthetic game data boots, the game's own
// driver plays a tune and its sample player starts a sample, and the audio
// assembly turns each VBL into frames. The audio dump must show the tune's
// notes, and the sample where its source stands on screen (or, with the
// mixer off, in the chip's own mono output).
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "game/routine_kit.h"
#include "machine/boot_state.h"
#include "machine/game_data.h"
#include "machine/gemdos.h"
#include "machine/loader_hold.h"
#include "machine/machine_state.h"
#include "machine/slice_runner.h"
#include "machine/vbl_delivery.h"
#include "machine/ym_capture.h"
#include "sound/audio_assembly.h"
#include "sound/audio_output.h"
#include "sound/mixer.h"
#include "sound_signal.h"
#include "support/log_capture.h"
#include "support/machine/machine_fixture.h"
#include "support/synthetic/synthetic_disk.h"
#include "support/temp_dir.h"

namespace {

using namespace ym_code;

// Starts sample d0 on channel B from the place in the game that keeps the
// source's screen x in d3 (the return address $6B3C).
ROUTINE(e2e_sample_caller, 0xC00B00)
  d3 = 292; // the right edge
  JSR(0x00E756, 0x006B3C);
  RTS();
END_ROUTINE

constexpr int chunk = 882;

class SoundEndToEnd : public MachineTest {
 protected:
  void SetUp() override {
    MachineTest::SetUp();
    g_load_seconds = 0;
    setenv("BKM_AUDIODUMP", (folder / "dump.raw").c_str(), 1);
  }
  void TearDown() override {
    unsetenv("BKM_AUDIODUMP");
    audio_shutdown();
    audio_output_free(out);
    mixer_options(0, 0);
    mixer_drop_cache();
    gemdos_close_all();
    game_data_release();
    MachineTest::TearDown();
  }

  // Boots as the host does until the title ends in wait_fire.
  void boot() {
    synth_game_data g = synth_standard();
    ASSERT_TRUE(synth_place_disk_road(g)) << g.error;
    std::vector<u8> bkm = synth_bkm(g);
    ASSERT_TRUE(synth_write(folder / "BKM", bkm));
    ASSERT_EQ(game_data_init(folder.path.c_str()), 1);
    state_ptr state(boot_state_make(folder.path.c_str()));
    ASSERT_NE(state, nullptr);
    tos_load_state(state.get());
    register_routine(0xC00B00, e2e_sample_caller);
    int result = 1;
    bool in_wait_fire = false;
    for (int vbls = 0; vbls < 1000 && result == 1 && !in_wait_fire; ++vbls) {
      result = tos_run_slice(2000000);
      in_wait_fire = g_cpu.pc == 0x79E2 && rd32(a7 + 2) == 0x00EC08;
      if (result == 1 && !in_wait_fire) tos_vbl();
    }
    ASSERT_TRUE(in_wait_fire) << "the boot should reach wait_fire";
    ym_events_clear();
  }

  void vbls(int n) {
    for (int i = 0; i < n; ++i) {
      tos_vbl();
      audio_chunk(0, 0, 0);
    }
  }

  temp_dir folder;
  log_capture log;
  audio_output* out = nullptr;
};

std::vector<float> side(const std::string& raw, size_t first_frame, size_t frames, int which) {
  const auto* s = reinterpret_cast<const i16*>(raw.data());
  std::vector<float> x(frames);
  for (size_t i = 0; i < frames; ++i) x[i] = s[2 * (first_frame + i) + which] / 32768.0f;
  return x;
}

TEST_F(SoundEndToEnd, TuneNotesAndAPannedSampleReachTheOutput) {
  ASSERT_NO_FATAL_FAILURE(boot());
  const synth_sound& sound = synth_disk_content().sound;
  // Tune 1 replaced by two steady notes: 95 on A, 70 on B.
  const synth_tune steady = {255, {{{{instrument + 2, duration + 8, 95, next_pattern}},
                                    {{instrument + 2, duration + 8, 70, next_pattern}},
                                    {{duration + 8, rest, next_pattern}}}}};
  synth_tune_write(1, steady, synth_test_streams);
  out = audio_output_new(44100, 1e7, 1024);
  audio_config c;
  c.output = out;
  audio_start(c);

  tos_call_sub(0x0074F4, 1);
  EXPECT_EQ(audio_pb_song(), 1);
  vbls(150);
  tos_call_sub(0x041BE8, 0); // the stop entry: silence
  EXPECT_EQ(audio_pb_song(), -1);
  vbls(50);
  audio_set_sfx_multi(1);
  audio_set_sfx_pan(1);
  tos_call_sub(0xC00B00, 3);
  vbls(10);
  // With the mixer off the chip plays the sample from the player's own,
  // tagged writes: the same on both sides.
  audio_set_sfx_multi(0);
  audio_set_sfx_pan(0);
  tos_call_sub(0x00E756, 3);
  vbls(10);
  audio_shutdown();

  const std::string raw = slurp(folder / "dump.raw");
  ASSERT_EQ(raw.size(), 4u * chunk * 220);
  // The tune: after the first half second, both notes stand far above the
  // spectrum between them.
  const std::vector<float> tune = side(raw, 25 * chunk, 125 * chunk, 0);
  const double a = 125000.0 / sound.periods[95], b = 125000.0 / sound.periods[70];
  double quiet = 0;
  for (double f : {170.0, 250.0, 350.0, 460.0, 600.0}) quiet = std::max(quiet, tone_power(tune, f));
  EXPECT_GT(tone_power(tune, a), 100 * quiet) << a << " Hz";
  EXPECT_GT(tone_power(tune, b), 100 * quiet) << b << " Hz";
  // The sample: on the right only, from the mixer; the chip stays silent.
  const std::vector<float> left = side(raw, 200 * chunk, 4 * chunk, 0);
  const std::vector<float> right = side(raw, 200 * chunk, 4 * chunk, 1);
  EXPECT_GT(rms(right), 0.01);
  EXPECT_LT(rms(left), rms(right) / 100);
  const std::vector<float> chip_left = side(raw, 210 * chunk, 4 * chunk, 0);
  EXPECT_EQ(chip_left, side(raw, 210 * chunk, 4 * chunk, 1));
  EXPECT_GT(rms(chip_left), 0.01);
}

} // namespace
