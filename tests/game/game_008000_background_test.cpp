// Page $8000: the vertical background, the ring copy into the play field,
// and the resumption of the ring copy and the end-of-map colour burst from
// states saved at their budget checks.
#include <gtest/gtest.h>

#include <cstring>

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "support/tables/mission_builder.h"
#include "support/machine/mission_machine.h"
#include "support/machine/resumption_check.h"

namespace {

constexpr u32 vertical_background = 0x00893C;
constexpr u32 screen = mission_draw_screen;
constexpr u8 screen_filler = 0xC3;

u8 ring_byte(u32 row, u32 b) { return static_cast<u8>(row * 13 + b * 5 + 1); }

void fill_ring_and_screen() {
  for (u32 r = 0; r < ring_rows; ++r)
    for (u32 b = 0; b < ring_row_bytes; ++b) wr8(bg_ring + r * ring_row_bytes + b, ring_byte(r, b));
  std::memset(g_ram + screen - 160, screen_filler, 32000 + 320);
}

class VerticalBackground : public MissionTest {};

TEST_F(VerticalBackground, ThePlayFieldShowsTheTwoHundredVisibleRingRows) {
  for (u32 low : {0u, 1u, 100u, 198u, 199u, 200u, 255u}) {
    SetUp();
    fill_ring_and_screen();
    wr16(scroll_pos, 0x0500 | low);
    ASSERT_EQ(run_mission_routine(vertical_background), 1);
    int wrong = 0, touched = 0;
    for (u32 line = 0; line < 200; ++line) {
      const u32 row = (255 - low + line) & 0xFF; // from 255 - low down the ring, wrapping to 0
      for (u32 b = 0; b < 160; ++b) {
        const u8 got = static_cast<u8>(rd8(screen + line * 160 + b));
        if (b < 32 || b >= 128)
          touched += got != screen_filler;
        else
          wrong += got != ring_byte(row, b - 32);
      }
    }
    for (u32 b = 0; b < 160; ++b) {
      touched += rd8(screen - 160 + b) != screen_filler;
      touched += rd8(screen + 32000 + b) != screen_filler;
    }
    EXPECT_EQ(wrong, 0) << "low byte " << low;
    EXPECT_EQ(touched, 0) << "the side panels and the lines around stay, low byte " << low;
  }
}

bool screen_untouched_at_hook;
void background_hook(u32 address) {
  hook_noted(address);
  screen_untouched_at_hook = rd8(screen + 32) == screen_filler && rd8(bg_ring) == ring_byte(0, 0);
}

TEST_F(VerticalBackground, TheHookSeesTheRingBeforeTheCopy) {
  fill_ring_and_screen();
  wr16(scroll_pos, 0x0123);
  hook_register(vertical_background, background_hook);
  screen_untouched_at_hook = false;
  ASSERT_EQ(run_mission_routine(vertical_background), 1);
  ASSERT_EQ(stub_call_count(vertical_background), 1);
  EXPECT_TRUE(screen_untouched_at_hook);
  EXPECT_EQ(stub_calls()[0].a7, mission_stack - 4) << "at the entry: only the return address pushed";
}

// --- resumption ------------------------------------------------------------------------

void prepare_background() {
  machine_clear();
  stub_reset();
  mission_machine_reset();
  fill_ring_and_screen();
  wr16(scroll_pos, 0x0540 | 100); // two runs: 101 lines, then 99
}

TEST(Resumption, TheRingCopyResumesFromAStateSavedAtItsLineLoop) {
  for (int save_at : {1, 60, 150}) {
    const resumption_result r = check_resumption(prepare_background, vertical_background, 0, save_at);
    EXPECT_EQ(r.yields, 200) << "a budget check per line";
    EXPECT_TRUE(r.saved_pc == 0x897C || r.saved_pc == 0x896C) << std::hex << r.saved_pc;
    EXPECT_TRUE(r.sliced_same) << r.first_difference;
    EXPECT_TRUE(r.resumed_same) << "saved at yield " << save_at << ": " << r.first_difference;
  }
  machine_clear();
}

void prepare_map_end() {
  machine_clear();
  stub_reset();
  mission_machine_reset();
  mission_builder m;
  m.map({{{1}, {2}, {3}}});
  m.put_in_ram();
  wr32(level_map_pointer, m.map_address(0) + 3);
  wr16(scroll_pos, 232);
  wr16(0xFF8240, 0x0777);
}

TEST(Resumption, TheEndOfMapColourBurstResumesFromAStateSavedInIt) {
  for (int save_at : {1, 20000, 65000}) {
    const resumption_result r = check_resumption(prepare_map_end, 0x00899A, 0, save_at);
    EXPECT_GT(r.yields, 65535) << "a budget check per colour";
    EXPECT_TRUE(r.sliced_same) << r.first_difference;
    EXPECT_TRUE(r.resumed_same) << "saved at yield " << save_at << ": " << r.first_difference;
  }
  machine_clear();
}

} // namespace
