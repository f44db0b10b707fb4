// Page $A000: the player-count prompt, the mission-failed screen with its
// typewriter and its hold, and the stubs of the palette load and of the
// mission data load's prompt.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "game/game_ram.h"
#include "game_harness.h"
#include "machine/hooks.h"
#include "machine/loader_hold.h"
#include "machine/machine_state.h"
#include "support/machine/resume_check.h"
#include "support/synthetic/synthetic_sound.h"

namespace {

int always_hold() { return 1; }

void put_text(u32 at, std::vector<u8> bytes) {
  for (u8 b : bytes) wr8(at++, b);
  wr8(at, 0);
}

// --- the player-count prompt ------------------------------------------------------

// A VBL, with the key of the test typed before the VBL numbered `key_at`.
int vbls, key_at;
u8 key;
void vbl_with_key() {
  if (++vbls == key_at) wr8(last_key, key);
  simple_vbl();
}

class Prompt : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    load_test_font();
    put_text(0xFE1E, {'1', ' ', 'O', 'R', ' ', '2'});
    wr32(draw_screen, screen_buffer_b);
    wr16(two_player_flag, 0x1234);
    vbls = 0;
  }
};

TEST_F(Prompt, OneAndTwoOnEitherRowAnswerOtherKeysWait) {
  struct row {
    u8 key;
    bool answers;
    u32 flag;
  };
  const row rows[] = {
      {0x02, true, 0x0000}, {0x6D, true, 0x0000}, {0x03, true, 0xFFFF}, {0x6E, true, 0xFFFF},
      {0x82, false, 0},     {0x04, false, 0},     {0x01, false, 0},     {0x6F, false, 0},
  };
  for (const row& r : rows) {
    SetUp();
    key = r.key;
    key_at = 3;
    const int slices = run_routine(0x00AF9E, 10, vbl_with_key);
    if (r.answers) {
      EXPECT_EQ(slices, 4) << std::hex << +r.key;
      EXPECT_EQ(driver_slice_ends(), waits_then_return(0xFDF0, 3)) << std::hex << +r.key;
      EXPECT_EQ(rd16(two_player_flag), r.flag) << std::hex << +r.key;
    } else {
      EXPECT_EQ(slices, -1) << std::hex << +r.key;
      EXPECT_EQ(driver_slice_ends().back(), waited(0xFDF0));
      EXPECT_EQ(rd16(two_player_flag), 0x1234u);
    }
  }
  // The text in colour 1 at line $3980, column 10, and colour 1 white.
  EXPECT_EQ(screen_text(screen_buffer_b, 0x3980, 10, 6), "1 OR 2");
  EXPECT_EQ(screen_cell_colour(screen_buffer_b, 0x3980, 10), 1u);
  EXPECT_EQ(rd16(0xFF8242), 0x777u);
}

TEST_F(Prompt, AKeyAlreadyThereAnswersAtTheFirstVbl) {
  wr8(last_key, 0x6E);
  key_at = 0;
  EXPECT_EQ(run_routine(0x00AF9E, 10, vbl_with_key), 2);
  EXPECT_EQ(driver_slice_ends(), waits_then_return(0xFDF0, 1));
  EXPECT_EQ(rd16(two_player_flag), 0xFFFFu);
}

void vbl_machine_only() {
  if (rd16(vbl_counter) == 5) wr8(last_key, 0x03);
  simple_vbl();
}

TEST_F(Prompt, ResumesAtEveryLabel) {
  EXPECT_TRUE(resumes_alike({.entry = 0x00AF9E, .between = vbl_machine_only}));
}

// --- the mission-failed screen -----------------------------------------------------

struct tune_start {
  u32 d0;
};
std::vector<tune_start> tunes;
void note_tune(u32) { tunes.push_back({g_cpu.d[0]}); }

// A VBL; the host's answer to hold_fail_screen drops to 0 after `hold_vbls`
// VBLs of the hold.
int hold_vbls;
void vbl_releasing_the_hold() {
  simple_vbl();
  if (!driver_slice_ends().empty() && driver_slice_ends().back() == waited(0xA97A) && --hold_vbls == 0)
    set_fail_screen_hold(nullptr);
}

class FailedScreen : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    synth_sound_load();
    hook_register(0x041BCC, note_tune);
    tunes.clear();
    loader_hold_reset();
    set_fail_screen_hold(nullptr);
    load_test_font();
    // "MISSION" / "FAILED": a colour byte and a carriage return cost their
    // four VBLs like the letters.
    put_text(0xA9FA, {'M', 'I', 'S', 13, 'X'});
    put_text(0xAA17, {0x83, 'F', 'A'});
    wr16(text_line, 0x1111);
  }
  void TearDown() override {
    set_fail_screen_hold(nullptr);
    GameTest::TearDown();
  }

  static int waits_at(u32 label) {
    int n = 0;
    for (const slice_end& e : driver_slice_ends()) n += e == waited(label);
    return n;
  }
};

TEST_F(FailedScreen, TuneSevenTwoTypedLinesAndTheTwoDelays) {
  ASSERT_GT(run_routine(0x00A914, 2000, simple_vbl), 0);
  ASSERT_EQ(tunes.size(), 1u);
  EXPECT_EQ(tunes[0].d0 & 0xFFFF, 7u);
  EXPECT_EQ(rd32(draw_screen), screen_buffer_b);
  EXPECT_EQ(screen_text(screen_buffer_b, 0x32A0, 6, 3), "MIS");
  EXPECT_EQ(screen_text(screen_buffer_b, 0x32A0 + 1440, 6, 1), "X") << "the return goes back to the margin";
  EXPECT_EQ(screen_cell_colour(screen_buffer_b, 0x32A0, 6), 1u);
  EXPECT_EQ(screen_text(screen_buffer_b, 0x4420, 6, 2), "FA");
  EXPECT_EQ(screen_cell_colour(screen_buffer_b, 0x4420, 6), 3u);
  // Four VBLs per byte, control bytes too: 5 + 3 bytes.
  EXPECT_EQ(waits_at(0x79E2), 4 * 8);
  // 470,000 and 950,000 counts at 6,163 a VBL.
  EXPECT_EQ(waits_at(0x75A8), 470000 / 6163 + 950000 / 6163);
  EXPECT_EQ(waits_at(0xA97A), 0) << "a host with no hold ends the screen after the delays";
  EXPECT_EQ(driver_slice_ends().back(), returned);
}

TEST_F(FailedScreen, EachHeldAnswerAddsAFrame) {
  for (int held : {1, 5}) {
    SetUp();
    set_fail_screen_hold(always_hold);
    hold_vbls = held;
    ASSERT_GT(run_routine(0x00A914, 2000, vbl_releasing_the_hold), 0);
    EXPECT_EQ(waits_at(0xA97A), held);
    EXPECT_EQ(driver_slice_ends().back(), returned);
  }
}

TEST_F(FailedScreen, AStateSavedInTheHoldResumesThere) {
  set_fail_screen_hold(always_hold);
  driver_start(0x00A914);
  driver_run(400, 2000000, simple_vbl);
  ASSERT_FALSE(driver_finished());
  ASSERT_EQ(driver_slice_ends().back(), waited(0xA97A));
  std::unique_ptr<machine_state, void (*)(machine_state*)> saved(state_new(), state_free);
  tos_save_state(saved.get());
  const std::vector<u8> screen(ram + screen_buffer_b, ram + screen_buffer_b + 32000);

  machine_clear();
  tos_load_state(saved.get());
  EXPECT_EQ(g_cpu.pc, 0x00A97Au);
  driver_continue();
  driver_run(3, 2000000, simple_vbl);
  EXPECT_FALSE(driver_finished()) << "still held";
  set_fail_screen_hold(nullptr);
  driver_run(3, 2000000, simple_vbl);
  EXPECT_TRUE(driver_finished());
  EXPECT_TRUE(std::equal(screen.begin(), screen.end(), ram + screen_buffer_b));
}

TEST_F(FailedScreen, ResumesAtEveryLabel) {
  EXPECT_TRUE(resumes_alike({.entry = 0x00A914, .between = simple_vbl}));
}

// --- the stubs ----------------------------------------------------------------------

TEST(PageA000Stubs, TheLoadPromptSetsTheDiskWordsAndPositionsAndStartsNoAccess) {
  machine_clear();
  wr16(disk_track, 5);
  wr32(disk_buffer, 0x12345);
  g_cpu.a[0] = 0x8C24;
  ASSERT_EQ(run_routine(0x00AF9A), 1);
  EXPECT_EQ(rd16(disk_track), 78u);
  EXPECT_EQ(rd32(disk_buffer), 0x018000u);
  for (u32 at : {0x154u, 0x194u, 0x15Cu, 0x198u}) EXPECT_EQ(rd32(at), 0x01986Fu) << std::hex << at;
  EXPECT_EQ(g_cpu.a[0], 0x01986Fu);
  EXPECT_EQ(rd32(disk_request), 0u);
}

TEST(PageA000Stubs, ThePaletteEntryLoadsFromA1) {
  machine_clear();
  for (u32 i = 0; i < 16; ++i) wr16(0x5000 + 2 * i, 0x100 + i);
  g_cpu.a[1] = 0x5000;
  ASSERT_EQ(run_routine(0x00AF96), 1);
  for (u32 i = 0; i < 16; ++i) EXPECT_EQ(rd16(0xFF8240 + 2 * i), 0x100 + i);
}

} // namespace
