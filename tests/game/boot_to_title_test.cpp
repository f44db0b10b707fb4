// The game boots headless from the synthetic game data file, as the host
// runs it: game data selected, the boot state made and loaded, then per VBL
// one slice and the VBL delivery. The cold start, the first disk load
// through the resident file service, the cold-start load and the interrupt
// set-up all run on the real routines, then the restart and the game start
// with its pre-shifted frames and the full title, until wait_fire waits for
// a fire button.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "game/game_ram.h"
#include "machine/boot_state.h"
#include "machine/game_data.h"
#include "machine/gemdos.h"
#include "machine/loader_hold.h"
#include "machine/machine_state.h"
#include "machine/slice_runner.h"
#include "machine/vbl_delivery.h"
#include "support/log_capture.h"
#include "support/machine/machine_fixture.h"
#include "support/synthetic/synthetic_disk.h"

namespace {

int count_lines(const std::string& log, const std::string& start) {
  std::istringstream in(log);
  int n = 0;
  for (std::string line; std::getline(in, line);)
    if (line.rfind(start, 0) == 0) ++n;
  return n;
}

// RAM as it was when the title began its first VBL wait (after its load,
// before wait_fire's tune changed the driver's variables).
std::vector<u8> at_title;

bool ram_equals(u32 at, const std::vector<u8>& bytes, size_t from = 0, size_t count = SIZE_MAX) {
  count = std::min(count, bytes.size() - from);
  return std::equal(bytes.begin() + static_cast<long>(from), bytes.begin() + static_cast<long>(from + count),
                    at_title.data() + at);
}

class BootToTitle : public MachineTest {
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
};

TEST_F(BootToTitle, TheColdStartLoadsFromTheDataFileAndReachesTheGameStart) {
  log_capture log;
  temp_dir folder;
  synth_game_data g = synth_standard();
  ASSERT_TRUE(synth_place_disk_road(g)) << g.error;
  std::vector<u8> bkm = synth_bkm(g);
  ASSERT_EQ(bkm.size(), 819200u) << g.error;
  synth_put_high_scores(bkm);
  ASSERT_TRUE(synth_write(folder / "BKM", bkm));
  ASSERT_EQ(game_data_init(folder.path.c_str()), 1);

  state_ptr boot(boot_state_make(folder.path.c_str()));
  ASSERT_NE(boot, nullptr);
  tos_load_state(boot.get());

  // The host's steps, until the title has ended and wait_fire waits for a
  // fire button (its VBL wait returns to $EC08).
  int result = 1, vbls = 0;
  bool setup_seen = false, sample_seen = false;
  u32 tbcr_after_setup = 0, tbdr_after_setup = 0;
  const auto in_wait_fire = [] { return g_cpu.pc == 0x79E2 && rd32(a7 + 2) == 0x00EC08; };
  while (vbls < 1000) {
    result = tos_run_slice(2000000);
    if (result != 1 || in_wait_fire()) break;
    if (!setup_seen && rd32(0x70) == 0x0078A8) {
      setup_seen = true;
      tbcr_after_setup = rd8(0xFFFA1B);
      tbdr_after_setup = rd8(0xFFFA21);
    }
    if (rd32(0x134) == 0x00F816) sample_seen = true;
    if (at_title.empty() && g_cpu.pc == 0x79E2 && rd32(a7 + 2) == 0x00ECEE) at_title.assign(ram, ram + 0x400000);
    tos_vbl();
    ++vbls;
  }
  ASSERT_EQ(result, 1) << "the game left the routines written so far at " << std::hex << g_cpu.fault_pc;
  ASSERT_TRUE(in_wait_fire()) << "after " << vbls << " VBLs the game runs at " << std::hex << g_cpu.pc;
  std::printf("[ boot     ] %d VBLs to the end of the title\n", vbls);
  EXPECT_EQ(rd16(second_side_ok), 0xFFFFu) << "the full title";
  EXPECT_TRUE(sample_seen) << "the title sample played";
  EXPECT_EQ(rd16(split_title), 0xFFFFu);
  EXPECT_EQ(rd16(title_mode), 0u);
  EXPECT_EQ(rd32(quick_start), 0u);
  EXPECT_EQ(rd32(0x000256), 0x008258u) << "the developer sequence starts over";
  const std::string text = log.text();

  // The cold start and the interrupt set-up.
  EXPECT_EQ(rd32(random_seed), 0x12345678u);
  EXPECT_EQ(rd32(0x42E), 0u) << "TOS's variables are cleared";
  EXPECT_EQ(rd32(0x70), 0x0078A8u);
  EXPECT_EQ(rd32(0x78), 0x0079ECu);
  EXPECT_EQ(rd32(0x114), 0x007896u);
  EXPECT_EQ(rd32(0x118), 0x0079ECu);
  EXPECT_EQ(rd32(0x120), 0x007932u);
  EXPECT_EQ(rd32(0x134), 0x00F816u) << "the title sample's, until the next VBL's sample check";
  EXPECT_EQ(rd8(0xFFFA07), 0x21u) << "Timer A runs on until a fire button";
  EXPECT_EQ(rd8(0xFFFA13), 0x21u);
  EXPECT_EQ(rd8(0xFFFA09), 0x60u);
  EXPECT_EQ(rd8(0xFFFA15), 0x60u);
  EXPECT_EQ(tbdr_after_setup, 54u);
  EXPECT_EQ(rd8(0xFFFA23), 253u);
  EXPECT_TRUE(setup_seen);
  EXPECT_EQ(tbcr_after_setup, 8u);
  ASSERT_FALSE(at_title.empty());
  // The keyboard processor's answers to the resets ($F1) went through the
  // key path and changed nothing there.
  EXPECT_EQ(rd16(0x000252), 0u) << "no developer mode";

  // The one disk miss read the whole data file through GEMDOS.
  EXPECT_EQ(count_lines(text, "Fopen BKM -> h6 (selected original data"), 1) << text;
  EXPECT_EQ(count_lines(text, "Fopen"), 1);
  EXPECT_EQ(count_lines(text, "Fread h"), 1);
  EXPECT_EQ(count_lines(text, "Fread h6 n=819200 -> $81000 got=819200"), 1) << text;
  EXPECT_EQ(count_lines(text, "Fclose h6"), 1);
  EXPECT_EQ(static_cast<i32>(rd32(0x3F914E)), 819200);
  EXPECT_TRUE(ram_equals(0x081000, bkm));
  EXPECT_EQ(rd32(cache_first), 0u);
  EXPECT_EQ(rd32(cache_end), 819200u);
  // Low memory went out and came back: the save area holds the game's low
  // memory as the swap found it (its vectors and seed already set), the
  // system's copy holds its own VBL vector (a ROM stub) again, and the
  // game's memory its own (checked above).
  constexpr u32 game_low_save = 0x3CC168; // the save area, less 8: address X lies at it + X
  EXPECT_EQ(rd32(game_low_save + 0x70), 0x0078A8u);
  EXPECT_EQ(rd32(game_low_save + 0x118), 0x0079ECu);
  EXPECT_EQ(rd32(game_low_save + random_seed), 0x12345678u);
  EXPECT_EQ(rd32(0x3E20B4 + 0x70 - 8), 0x00E00870u);
  EXPECT_EQ(rd16(second_side_ok), 0xFFFFu);

  // The cold-start load.
  const synth_disk& d = synth_disk_content();
  // (The shot pictures' copies 1-7 from $46F68 are the game start's.)
  EXPECT_TRUE(ram_equals(0x02E000, synth_resident_graphics_reordered(), 0, 0x046F68 - 0x02E000));
  EXPECT_TRUE(ram_equals(0x049A3A, d.resident_graphics, 0x046F68 - 0x02E000, 1536));
  EXPECT_TRUE(ram_equals(hiscore_names, d.high_scores, 0, 222));
  EXPECT_TRUE(ram_equals(hiscore_scores, d.high_scores, 222, 32));
  EXPECT_EQ(rd32(0x190), 4000u);
  EXPECT_TRUE(ram_equals(0x05063A, d.run_block, 0, 0x05647E - 0x05063A));
}

} // namespace
