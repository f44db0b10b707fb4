// Page $8000: the vertical frame loop of a mission and its end-of-frame
// plates, on the mission machine. Call order and the registers at each call
// are read from the dispatcher's call trace.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "support/machine/call_trace.h"
#include "support/machine/dispatch_check.h"
#include "support/tables/mission_builder.h"
#include "support/machine/mission_machine.h"

namespace {

constexpr u32 frame_vertical = 0x008EAC;
constexpr u32 hook_background = 0x00893C; // slot 28
constexpr u32 hook_frame_end = 0x008EE2;  // slot 29
constexpr u32 hook_frame_start = 0x008EEA; // slot 30
constexpr u32 hook_players = 0x008FC6;    // slot 31
constexpr u32 sample_b = 0x00E756;
constexpr u32 plate_1 = 0x008E24;
constexpr u32 plate_2 = 0x008DC6;
constexpr u32 players_update = 0x00922E;
constexpr u32 frame_vertical_last = 0x009060; // the last return address inside the loop

// One whole pass: the loop's own calls with their return addresses and its
// hooks (return address 0), in order.
const std::vector<std::pair<u32, u32>> pass_calls = {
    {hook_frame_end, 0},   {0x0091E0, 0x8EE6},    {0x007E06, 0x8EEA},     {hook_frame_start, 0}, {0x00A2C2, 0x8EEE},
    {0x0071E8, 0x8EF2},    {0x00A544, 0x8EF6},    {0x00A5FC, 0x8EFA},     {0x00AE1A, 0x8EFE},    {0x006C28, 0x8F02},
    {0x006CFA, 0x8F06},    {0x006FB0, 0x8F0A},    {0x006950, 0x8F0E},     {0x009FA4, 0x8F12},    {0x00A526, 0x8F16},
    {0x00B46E, 0x8F1A},    {0x00B944, 0x8F1E},    {0x00AC5E, 0x8F22},     {0x00A3FE, 0x8F26},    {0x00AE7A, 0x8F2A},
    {0x00922E, 0x8F2E},    {0x00B09A, 0x8F40},    {0x00AFA2, 0x8F44},     {0x00B386, 0x8F48},    {0x00899A, 0x8F5A},
    {0x00893C, 0x8F7C},    {hook_background, 0},  {0x006E4C, 0x8F9C},     {0x0060AA, 0x8FAE},    {0x006D12, 0x8FB2},
    {0x0063DE, 0x8FB6},    {0x00652E, 0x8FBA},    {0x0066F4, 0x8FBE},     {0x005B32, 0x8FC2},    {0x005946, 0x8FC6},
    {hook_players, 0},     {0x005E32, 0x8FD8},    {0x00660C, 0x8FDC},     {0x006812, 0x8FE0},    {0x005F1A, 0x8FE4},
    {0x00B6EA, 0x9004},    {0x008E82, 0x9008},    {0x008E96, 0x900C},
};

// What frame_vertical itself called, and its hooks.
std::vector<std::pair<u32, u32>> loop_calls() { return calls_returning_within(frame_vertical, frame_vertical_last); }

size_t count(u32 target) { return calls_to(target).size(); }

class FrameVertical : public MissionTest {
 protected:
  void SetUp() override {
    MissionTest::SetUp();
    call_trace_start();
    call_trace_hooks({hook_background, hook_frame_end, hook_frame_start, hook_players});
    // The game image's weapon keys: none of the keys these tests press
    // (a zero table would make each of them player 1's next-weapon key).
    player_tables{}.put_in_ram();
    wr16(player1 + player_record::lives, 3);
    wr16(player1 + player_record::y, 200); // low on the screen: the scroll holds
    wr16(scroll_pos, 300);
    between_action = nullptr;
  }

 public:
  static inline void (*between_action)() = nullptr;
};

void vbl_and_action() {
  mission_vbl();
  if (FrameVertical::between_action) FrameVertical::between_action();
}

// Runs frame_vertical; true when it returned within max_slices.
bool run_frames(int max_slices) {
  driver_start(frame_vertical);
  driver_run(max_slices, 2000000, vbl_and_action);
  return driver_finished();
}

TEST_F(FrameVertical, NamedAddressesAreInTheDispatchTable) {
  expect_named_rows({
      {0x00893C, routine_entry, "vertical_background"}, {0x00896C, resume_label, "vertical_background"},
      {0x008978, routine_entry, "sub_008978"},          {0x00897C, resume_label, "sub_008978"},
      {0x008998, routine_entry, "sub_008998"},          {0x00899A, routine_entry, "level_map_read_row"},
      {0x008BDE, routine_entry, "level_map_read_objects"}, {0x008D1E, routine_entry, "level_map_prefill"},
      {0x008D4C, routine_entry, "level_map_advance"},   {0x008E82, routine_entry, "sub_008E82"},
      {0x008E90, resume_label, "sub_008E82"},           {0x008E96, routine_entry, "sub_008E96"},
      {0x008EA6, resume_label, "sub_008E96"},           {0x008EAC, routine_entry, "frame_vertical"},
      {0x008EC6, resume_label, "frame_vertical"},       {0x008EE2, resume_label, "frame_vertical"},
      {0x008EE6, resume_label, "frame_vertical"},       {0x008EEA, resume_label, "frame_vertical"},
      {0x008F2E, resume_label, "frame_vertical"},       {0x008F5A, resume_label, "frame_vertical"},
      {0x008F7C, resume_label, "frame_vertical"},       {0x008FC6, resume_label, "frame_vertical"},
      {0x009004, resume_label, "frame_vertical"},       {0x009008, resume_label, "frame_vertical"},
      {0x00900C, resume_label, "frame_vertical"},       {0x00901C, resume_label, "frame_vertical"},
      {0x009020, resume_label, "frame_vertical"},
  });
  for (const auto& c : pass_calls)
    if (c.second) expect_named_rows({{c.second, resume_label, "frame_vertical"}});
}

TEST_F(FrameVertical, OnePassCallsEveryRoutineInOrderBetweenItsHooks) {
  wr16(player2 + player_record::lives, 2);
  wr16(player2 + player_record::y, 150);
  wr16(exit_request, 0xFFFF); // seen only in the end tests: one whole pass
  ASSERT_TRUE(run_frames(20));
  EXPECT_EQ(loop_calls(), pass_calls);
  EXPECT_EQ(rd16(fx_bank), 1u);
  EXPECT_EQ(rd32(draw_screen), screen_buffer_a) << "wait_two_vbl swapped the screens";
  EXPECT_EQ(count(plate_1) + count(plate_2), 0u) << "both players in play";
}

void set_exit_request() { wr16(exit_request, 0xFFFF); }

TEST_F(FrameVertical, ExitRequestBetweenSlicesEndsTheMissionAfterThatPass) {
  between_action = set_exit_request; // first seen while the first pass waits
  ASSERT_TRUE(run_frames(20));
  EXPECT_EQ(rd16(fx_bank), 1u);
  EXPECT_EQ(rd16(exit_request), 0xFFFFu);
}

// The frame-start hook of the third pass asks the loop to end: three
// passes, however the slices fall.
void frame_start_ending_the_third_pass(u32 address) {
  call_trace_hook_noted(address);
  if (rd16(fx_bank) == 2) wr16(exit_request, 0xFFFF);
}
void stop_after_three_passes() { hook_register(hook_frame_start, frame_start_ending_the_third_pass); }

TEST_F(FrameVertical, EndTestsByLivesAndFreerun) {
  struct {
    u32 lives1, lives2, freerun;
    bool ends_after_one_pass;
  } cases[] = {
      {0, 0, 0, true},   // nobody left
      {0, 0, 1, false},  // the developer's free run goes on
      {1, 0, 0, false},  {0, 1, 0, false},
      {0x8000, 0x8000, 0, true}, // the 16-bit sum is what counts
  };
  for (const auto& c : cases) {
    SetUp();
    wr16(player1 + player_record::lives, c.lives1);
    wr16(player2 + player_record::lives, c.lives2);
    wr16(dev_freerun, c.freerun);
    stop_after_three_passes();
    ASSERT_TRUE(run_frames(40)) << c.lives1 << " " << c.lives2;
    EXPECT_EQ(rd16(fx_bank), c.ends_after_one_pass ? 1u : 3u) << c.lives1 << " " << c.lives2 << " " << c.freerun;
    EXPECT_EQ(rd16(exit_request), c.ends_after_one_pass ? 0u : 0xFFFFu) << "a failed mission leaves it 0";
  }
}

TEST_F(FrameVertical, KeyPEndsTheMissionAsCompletedBeforeAnyWait) {
  wr16(dev_mode, 1);
  wr8(last_key, 25);
  ASSERT_TRUE(run_frames(2));
  EXPECT_EQ(rd8(exit_request), 0xFFu);
  EXPECT_TRUE(loop_calls().empty()) << "no hook and no routine before it";
  EXPECT_EQ(rd16(fx_bank), 0u);
  EXPECT_EQ(rd32(draw_screen), mission_draw_screen);
  // Without the developer words the key is nobody's business.
  SetUp();
  wr8(last_key, 25);
  wr16(exit_request, 0xFFFF);
  ASSERT_TRUE(run_frames(20));
  EXPECT_EQ(rd16(fx_bank), 1u);
}

// The sample players carry the host's sample hook at their entry, written
// or not: the hook sees the sample number and the caller's return address.
struct sample_start {
  u32 channel, sample, ret;
};
std::vector<sample_start> samples;
u8 key_after_sample;
void sample_hook(u32 address) {
  samples.push_back({address, d0 & 0xFFFF, rd32(a7)});
  if (key_after_sample) wr8(last_key, key_after_sample);
}

class DeveloperKeys : public FrameVertical {
 protected:
  void SetUp() override {
    FrameVertical::SetUp();
    samples.clear();
    key_after_sample = 0;
    hook_register(0x00E6EC, sample_hook);
    hook_register(sample_b, sample_hook);
    wr16(dev_mode, 1);
  }
};

TEST_F(DeveloperKeys, DigitsPlaySamplesOnChannelB) {
  struct {
    u32 key;
    int sample; // -1: none
  } cases[] = {{1, 0}, {2, 1}, {9, 8}, {0, -1}, {10, -1}, {0x81, -1}};
  for (const auto& c : cases) {
    SetUp();
    wr8(last_key, c.key);
    wr16(exit_request, 0xFFFF);
    ASSERT_TRUE(run_frames(20));
    ASSERT_EQ(samples.size(), c.sample < 0 ? 0u : 1u) << "key " << c.key;
    if (c.sample < 0) continue;
    EXPECT_EQ(samples[0].channel, sample_b);
    EXPECT_EQ(samples[0].sample, static_cast<u32>(c.sample));
    EXPECT_EQ(samples[0].ret, 0x8EC6u);
    const auto calls = loop_calls();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[0], std::make_pair(sample_b, 0x8EC6u));
    EXPECT_EQ(calls[1], std::make_pair(hook_frame_end, 0u)) << "before the frame's first hook";
  }
}

TEST_F(DeveloperKeys, TheKeyIsReadAgainAfterTheSample) {
  key_after_sample = 25;
  wr8(last_key, 3);
  ASSERT_TRUE(run_frames(2));
  ASSERT_EQ(samples.size(), 1u);
  EXPECT_EQ(rd8(exit_request), 0xFFu);
  EXPECT_EQ(count(hook_frame_end), 0u);
}

TEST_F(FrameVertical, SpaceWithFreerunSkipsTheWaitPanelAndDrawing) {
  struct {
    u32 dev_mode_on;
    bool waits;
  } cases[] = {{1, false}, {0, true}}; // the wait is skipped only with the developer keys on
  for (const auto& c : cases) {
    SetUp();
    wr16(dev_mode, c.dev_mode_on);
    wr16(dev_freerun, 1);
    wr8(last_key, 57);
    stop_after_three_passes();
    ASSERT_TRUE(run_frames(40));
    EXPECT_EQ(rd16(fx_bank), 3u) << "the frame bank still counts";
    EXPECT_EQ(count(hook_frame_end), c.waits ? 3u : 0u);
    EXPECT_EQ(count(0x007E06), c.waits ? 3u : 0u) << "the panel goes with the wait";
    EXPECT_EQ(count(hook_frame_start), 3u);
    EXPECT_EQ(rd32(draw_screen), c.waits ? screen_buffer_a : mission_draw_screen) << "one swap per wait";
    EXPECT_EQ(count(hook_background), 0u);
    EXPECT_EQ(count(hook_players), 0u);
    EXPECT_EQ(count(players_update), 3u) << "the updates run";
    EXPECT_EQ(count(0x00899A), 3u) << "the scroll step too";
    for (u32 draw : {0x00893C, 0x006E4C, 0x005946, 0x00B6EA, 0x008E82, 0x008E96})
      EXPECT_EQ(count(draw), 0u) << std::hex << draw << ": neither drawing nor plates";
  }
}

TEST_F(FrameVertical, OnePlayerGamesDrawPlayerTwosPlateOnceAtTheEndOfTheFirstPass) {
  stop_after_three_passes();
  ASSERT_TRUE(run_frames(40));
  EXPECT_EQ(rd16(fx_bank), 3u);
  EXPECT_EQ(rd8(player2 + player_record::plate_latch), 0xFFu);
  EXPECT_EQ(rd8(player1 + player_record::plate_latch), 0u);
  ASSERT_EQ(count(plate_2), 1u);
  EXPECT_EQ(count(plate_1), 0u);
  EXPECT_EQ(calls_to(plate_2)[0].ret, 0x8EA6u);
  std::vector<u32> order;
  for (const traced_call& c : traced_calls())
    if (c.target == plate_2 || c.target == hook_frame_end || c.target == 0x00B6EA) order.push_back(c.target);
  ASSERT_GE(order.size(), 4u);
  EXPECT_EQ(order[2], plate_2) << "after the first pass's last drawing, before the second wait";
  EXPECT_EQ(order[3], hook_frame_end);
}

TEST_F(FrameVertical, PlatesAreDrawnOnlyForAPlayerOutOfPlayWithoutOne) {
  struct {
    u32 record, plate, ret;
  } players[] = {{player1, plate_1, 0x8E90}, {player2, plate_2, 0x8EA6}};
  struct {
    u32 lives, latch;
    bool drawn;
  } cases[] = {{0, 0, true}, {1, 0, false}, {0, 0xFF00, false}, {0, 0x0001, false}};
  for (const auto& p : players)
    for (const auto& c : cases) {
      SetUp();
      wr16(p.record + player_record::lives, c.lives);
      wr16(p.record + player_record::plate_latch, c.latch);
      ASSERT_EQ(run_mission_routine(p.record == player1 ? 0x008E82 : 0x008E96), 1);
      EXPECT_EQ(rd16(p.record + player_record::plate_latch), c.drawn ? 0xFF00u : c.latch);
      ASSERT_EQ(count(p.plate), c.drawn ? 1u : 0u);
      if (c.drawn) {
        EXPECT_EQ(calls_to(p.plate)[0].ret, p.ret);
      }
    }
}

// The players' update stands aside with known d0 and d1: what the loop does
// to them after it is seen at the next call.
void players_update_sets_d0_d1() {
  d0 = 0x0F00;
  d1 = 0x0011;
}

TEST_F(FrameVertical, DeveloperTimingColoursAndTheirRegisterTrace) {
  for (u32 timing : {1u, 0u}) {
    SetUp();
    stub_records_over(players_update, players_update_sets_d0_d1);
    wr16(dev_timing, timing);
    wr16(exit_request, 0xFFFF);
    wr16(0xFF8240, 0x0123);
    ASSERT_TRUE(run_frames(20));
    auto at = [](u32 ret) {
      for (const traced_call& c : traced_calls())
        if (c.ret == ret) return c;
      ADD_FAILURE() << "no call returning to " << std::hex << ret;
      return traced_call{};
    };
    auto hook = [](u32 address) {
      const auto calls = calls_to(address);
      if (!calls.empty()) return calls[0];
      ADD_FAILURE() << "no hook " << std::hex << address;
      return traced_call{};
    };
    if (timing != 0) {
      EXPECT_EQ(at(0x8F40).colour0, 0x417u) << "after the players' update";
      EXPECT_EQ(at(0x8F5A).colour0, 0x444u) << "after the second enemy step";
      EXPECT_EQ(at(0x8F7C).colour0, 0x050u) << "after the scroll step";
      EXPECT_EQ(hook(hook_background).colour0, 0x050u);
      EXPECT_EQ(at(0x8F9C).colour0, 0x000u) << "$222 then $000 after the background";
      EXPECT_EQ(at(0x8FAE).colour0, 0x741u) << "after the installations";
      EXPECT_EQ(hook(hook_players).colour0, 0x741u) << "the hook comes before $400";
      EXPECT_EQ(at(0x8FD8).colour0, 0x400u);
      EXPECT_EQ(at(0x9004).colour0, 0x000u) << "$444 then $000 after the projectiles";
      EXPECT_EQ(at(0x8F40).d[1] & 0xFFFF, 0x0011u) << "no register trace with the colours";
    } else {
      for (u32 ret : {0x8F40u, 0x8F5Au, 0x8F7Cu, 0x8F9Cu, 0x8FAEu, 0x8FD8u, 0x9004u})
        EXPECT_EQ(at(ret).colour0, 0x000u) << std::hex << ret << ": only wait_two_vbl's black";
      EXPECT_EQ(at(0x8F40).d[1] & 0xFFFF, 0x0F11u) << "d1.w |= d0.w";
      EXPECT_EQ(at(0x8F40).d[0] & 0xFFFF, 0x0F00u);
    }
  }
}

TEST_F(FrameVertical, TheHostSeesTheTimingColourOfThePhaseItStopsIn) {
  wr16(dev_timing, 1);
  wr16(exit_request, 0xFFFF);
  wr16(player1 + player_record::y, 100); // the scroll goes on
  driver_start(frame_vertical);
  u32 in_scroll_step = 0, in_background = 0;
  for (int n = 0; n < 100000 && !driver_finished(); ++n) {
    const int why = core_run(&g_cpu, 0);
    if (why == YIELD_BUDGET && g_cpu.pc == 0x89D0 && !in_scroll_step) in_scroll_step = rd16(0xFF8240);
    if (why == YIELD_BUDGET && g_cpu.pc == 0x897C && !in_background) in_background = rd16(0xFF8240);
    if (why == YIELD_WAIT) mission_vbl();
  }
  ASSERT_TRUE(driver_finished());
  EXPECT_EQ(in_scroll_step, 0x444u) << "after the second enemy step";
  EXPECT_EQ(in_background, 0x050u) << "after the scroll step";
}

// The horizontal engine stands aside here: the switch-over and the
// horizontal loop only note their calls (the loop may take every life), so
// each pass meets the switch point again.
constexpr u32 switch_over = 0x0045D6;
constexpr u32 frame_horizontal = 0x00474A;
void horizontal_loses_every_life() {
  wr16(player1 + player_record::lives, 0);
  wr16(player2 + player_record::lives, 0);
}

TEST_F(FrameVertical, TheSwitchPointRunsTheHorizontalSectionAndItsLivesTest) {
  struct {
    const char* what;
    u16 lives1, lives2, freerun;
    bool lives_lost_inside;
    u32 passes;
  } cases[] = {
      {"one player", 3, 0, 0, false, 3},
      {"two players with equal lives", 3, 3, 0, false, 3},
      {"the last lives lost inside, even in free run", 3, 2, 1, true, 1},
      {"a 16-bit sum of 0, even in free run", 0x8000, 0x8000, 1, false, 1},
  };
  for (const auto& c : cases) {
    SetUp();
    wr16(scroll_pos, vertical_section_end);
    wr16(player1 + player_record::lives, c.lives1);
    wr16(player2 + player_record::lives, c.lives2);
    wr16(dev_freerun, c.freerun);
    stub_records_over(switch_over, nullptr);
    stub_records_over(frame_horizontal, c.lives_lost_inside ? horizontal_loses_every_life : nullptr);
    stop_after_three_passes();
    ASSERT_TRUE(run_frames(40)) << c.what;
    EXPECT_EQ(rd16(fx_bank), c.passes) << c.what;
    EXPECT_EQ(rd16(exit_request), c.passes == 3 ? 0xFFFFu : 0u) << c.what << ": a failed mission leaves it 0";
    EXPECT_EQ(count(switch_over), c.passes) << c.what;
    const auto calls = loop_calls();
    const std::vector<std::pair<u32, u32>> pass_end(calls.end() - 5, calls.end());
    EXPECT_EQ(pass_end, (std::vector<std::pair<u32, u32>>{{0x00B6EA, 0x9004},
                                                          {0x008E82, 0x9008},
                                                          {0x008E96, 0x900C},
                                                          {switch_over, 0x901C},
                                                          {frame_horizontal, 0x9020}}))
        << c.what << ": after the plates, the last calls of the pass";
  }
}

TEST_F(FrameVertical, ABudgetStopBetweenPassesResumesAtTheLoopEntry) {
  stop_after_three_passes();
  driver_start(frame_vertical);
  std::vector<u32> passes_at_stops;
  for (int n = 0; n < 100000 && !driver_finished(); ++n) {
    const int why = core_run(&g_cpu, 0); // every budget check stops
    if (why == YIELD_BUDGET && g_cpu.pc == frame_vertical) passes_at_stops.push_back(rd16(fx_bank));
    if (why == YIELD_WAIT) mission_vbl();
  }
  ASSERT_TRUE(driver_finished());
  EXPECT_EQ(rd16(fx_bank), 3u);
  EXPECT_EQ(passes_at_stops, (std::vector<u32>{1, 2})) << "one stop before each pass but the first";
}

} // namespace
