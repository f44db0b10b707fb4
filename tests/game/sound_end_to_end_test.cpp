// The game's sound end to end: the synthetic data file boots through the
// cold start, which unpacks the driver's data; then the VBL delivery alone
// runs the driver from Timer C and the sample player from Timer A, with the
// nested calls the host's VBL step makes (tune start, effect start, sample
// start).
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "game/game_ram.h"
#include "game/ym_driver.h"
#include "machine/boot_state.h"
#include "machine/game_data.h"
#include "machine/gemdos.h"
#include "machine/hooks.h"
#include "machine/io_devices.h"
#include "machine/loader_hold.h"
#include "machine/machine_state.h"
#include "machine/slice_runner.h"
#include "machine/vbl_delivery.h"
#include "machine/ym_capture.h"
#include "support/log_capture.h"
#include "support/machine/machine_fixture.h"
#include "support/synthetic/synthetic_disk.h"
#include "support/temp_dir.h"

namespace {

void tag_sample_write(u32) { g_ym_tag = 1; }

std::vector<ym_event> take_vbl() {
  std::vector<ym_event> e(static_cast<size_t>(ym_pending()) + 1);
  e.resize(static_cast<size_t>(ym_events_take(e.data(), static_cast<int>(e.size()))));
  return e;
}

int count(const std::vector<ym_event>& e, u8 reg) {
  int n = 0;
  for (const ym_event& x : e) n += x.reg == reg;
  return n;
}

class SoundEndToEnd : public MachineTest {
 protected:
  void SetUp() override {
    MachineTest::SetUp();
    g_load_seconds = 0;
    setenv("BKM_FOPEN", "1", 1);
  }
  void TearDown() override {
    unsetenv("BKM_FOPEN");
    gemdos_close_all();
    game_data_release();
    MachineTest::TearDown();
  }

  // Boots as the host does until the title ends in wait_fire (its VBL
  // wait returns to $EC08).
  void boot() {
    synth_game_data g = synth_standard();
    ASSERT_TRUE(synth_place_disk_road(g)) << g.error;
    std::vector<u8> bkm = synth_bkm(g);
    ASSERT_TRUE(synth_write(folder / "BKM", bkm));
    ASSERT_EQ(game_data_init(folder.path.c_str()), 1);
    state_ptr state(boot_state_make(folder.path.c_str()));
    ASSERT_NE(state, nullptr);
    tos_load_state(state.get());
    int result = 1;
    bool in_wait_fire = false;
    for (int vbls = 0; vbls < 1000 && result == 1 && !in_wait_fire; ++vbls) {
      result = tos_run_slice(2000000);
      in_wait_fire = g_cpu.pc == 0x79E2 && rd32(a7 + 2) == 0x00EC08;
      if (result == 1 && !in_wait_fire) tos_vbl();
    }
    ASSERT_TRUE(in_wait_fire) << "the boot should reach wait_fire";
    ASSERT_EQ(rd32(0x114), 0x007896u) << "the game's Timer C handler";
    ym_events_clear();
  }

  temp_dir folder;
  log_capture log;
};

TEST_F(SoundEndToEnd, TuneEffectAndSampleRunOnTheUnpackedData) {
  boot();
  const synth_sound& sound = synth_disk_content().sound;
  for (u32 h : {0x00E678u, 0x00E69Cu, 0x00E6C0u, 0x00E6D6u, 0x00E708u, 0x00E772u}) hook_register(h, tag_sample_write);

  // Tune 1 over 1,000 VBLs: A steps through notes 10, 20, 30, 40 at tempo 255.
  tos_call_sub(0x0074F4, 1);
  EXPECT_EQ(rd8(music_on), 0xFFu);
  take_vbl();
  const u16 cycle[4] = {sound.periods[10], sound.periods[20], sound.periods[30], sound.periods[40]};
  int ticks = 0, holds = 0, index = -1;
  for (int v = 0; v < 1000; ++v) {
    tos_vbl();
    const std::vector<ym_event> e = take_vbl();
    double last_time = -1;
    int fine = -1;
    for (const ym_event& x : e) {
      ASSERT_LT(x.time, 1.0);
      if (x.reg == 0) fine = x.value;
      if (x.reg == 1) {
        const int p = x.value << 8 | fine;
        int k = 0;
        while (k < 4 && cycle[k] != p) ++k;
        ASSERT_LT(k, 4) << "a period of the song at VBL " << v;
        if (index >= 0 && k == index) {
          ++holds;
        } else if (index >= 0) {
          EXPECT_EQ(k, (index + 1) % 4) << "the next note at VBL " << v;
        }
        index = k;
      }
      if (x.reg == 7) {
        EXPECT_GT(x.time, last_time) << "one tick after another within the VBL";
        last_time = x.time;
        ++ticks;
      }
    }
  }
  EXPECT_TRUE(ticks == 971 || ticks == 972) << ticks;
  EXPECT_GE(holds, 3) << "tempo 255 skips one tick in 256";
  EXPECT_LE(holds, 4);

  // Effect 9 on channel B: its period, volume and mixer bits.
  tos_call_sub3(0x041C04, 9, 1, 0);
  tos_vbl();
  std::vector<ym_event> e = take_vbl();
  int period_b = -1, fine_b = -1;
  for (const ym_event& x : e) {
    if (x.reg == 2 && fine_b < 0) fine_b = x.value;
    if (x.reg == 3 && period_b < 0) period_b = x.value << 8 | fine_b;
    if (x.reg == 7) {
      EXPECT_EQ(x.value & 0x12, 0) << "B's tone and noise on";
    }
  }
  EXPECT_EQ(period_b, 0x00C8);
  int volume_b = -1;
  for (const ym_event& x : e)
    if (x.reg == 9 && volume_b < 0) volume_b = x.value;
  EXPECT_EQ(volume_b, 14);
  for (int v = 0; v < 50; ++v) tos_vbl();
  EXPECT_EQ(rd8(ym_driver_vars + ym_var::effect_on + 1), 0u) << "40 ticks, then the end";
  take_vbl();

  // Sample 3 (300 bytes) on channel B: 98 tagged bytes a VBL while the
  // driver keeps off B, until the VBL check after its last byte.
  tos_call_sub(0x00E756, 3);
  e = take_vbl();
  ASSERT_EQ(e.size(), 1u);
  EXPECT_EQ(e[0].reg, 23) << "the tagged register 7 write of the start";
  std::vector<int> sample_bytes, b_music;
  for (int v = 0; v < 6; ++v) {
    tos_vbl();
    e = take_vbl();
    sample_bytes.push_back(count(e, 25));
    b_music.push_back(count(e, 2) + count(e, 3) + count(e, 9));
    EXPECT_EQ(count(e, 8) + count(e, 24), count(e, 0)) << "A is the driver's alone";
  }
  EXPECT_EQ(sample_bytes, (std::vector<int>{98, 98, 98, 98, 0, 0}));
  EXPECT_EQ(b_music[0] + b_music[1] + b_music[2] + b_music[3], 0);
  EXPECT_GT(b_music[4], 0) << "the driver writes B again after the check";
  EXPECT_EQ(rd32(0x134), 0x00E660u);

  // Tune 6 fades out (two ticks a level) and ends.
  tos_call_sub(0x0074F4, 6);
  int vbls = 0;
  while (rd8(ym_driver_vars + ym_var::tune_flag) != 0 && vbls < 100) {
    tos_vbl();
    ++vbls;
  }
  EXPECT_EQ(rd8(ym_driver_vars + ym_var::tune_flag), 0u);
  EXPECT_GE(vbls, 30);
  EXPECT_LE(vbls, 33);
  take_vbl();
  tos_vbl();
  EXPECT_TRUE(take_vbl().empty()) << "silent after the end";
}

} // namespace
