// Page $4000: the frame loop of a horizontal section, its end and its place
// in the section cycle of a mission, on the mission machine. Call order is
// read from the dispatcher's calls.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "machine/dispatch.h"
#include "machine/hooks.h"
#include "support/machine/mission_machine.h"
#include "support/machine/mission_runner.h"
#include "support/machine/resume_check.h"
#include "support/tables/section_cycle.h"

namespace {

constexpr u32 frame_horizontal = 0x00474A;
constexpr u32 frame_vertical = 0x008EAC;
constexpr u32 hook_frame_end = 0x00474A;   // slot 0
constexpr u32 hook_frame_start = 0x004752; // slot 1
constexpr u32 hook_players = 0x0047FA;     // slot 2
constexpr u32 hook_background = 0x00488C;  // slot 3
constexpr u32 hook_scroll = 0x004A50;      // slot 4
constexpr u32 horizontal_section_end = 0x0180;

// The calls of one pass, with their return addresses.
const std::vector<std::pair<u32, u32>> pass_calls = {
    {0x0091E0, 0x474E}, {0x007E06, 0x4752}, {0x00A544, 0x4756}, {0x00A5FC, 0x475A}, {0x004A52, 0x475E},
    {0x006C28, 0x4762}, {0x006CFA, 0x4766}, {0x006950, 0x476A}, {0x004C74, 0x476E}, {0x005336, 0x4772},
    {0x009FA4, 0x4776}, {0x00B944, 0x477A}, {0x00AC5E, 0x477E}, {0x00922E, 0x4782}, {0x00B09A, 0x4794},
    {0x00AFA2, 0x4798}, {0x00B386, 0x479C}, {0x004954, 0x47AE}, {0x00488C, 0x47C0}, {0x004F32, 0x47D2},
    {0x0054AA, 0x47D6}, {0x005B32, 0x47E8}, {0x005946, 0x47FA}, {0x005E32, 0x480C}, {0x00660C, 0x4810},
    {0x006D12, 0x4814}, {0x0063DE, 0x4818}, {0x005F1A, 0x481C}, {0x006812, 0x483C}, {0x00B6EA, 0x4840},
    {0x008E82, 0x4844}, {0x008E96, 0x4848},
};

std::vector<std::pair<u32, u32>> traced;
std::vector<u32> colour_at_call; // colour register 0 at each traced call
u32 watched_word = 0;            // a RAM word noted at each traced call
std::vector<u32> word_at_call;
void note_call(u32 target, u32 ret) {
  traced.emplace_back(target, ret);
  colour_at_call.push_back(rd16(0xFF8240));
  word_at_call.push_back(rd16(watched_word));
}

u32 word_at_call_returning_to(u32 ret) {
  for (size_t i = 0; i < traced.size(); ++i)
    if (traced[i].second == ret) return word_at_call[i];
  ADD_FAILURE() << "no call returning to " << std::hex << ret;
  return 0;
}

u32 colour_at_call_returning_to(u32 ret) {
  for (size_t i = 0; i < traced.size(); ++i)
    if (traced[i].second == ret) return colour_at_call[i];
  ADD_FAILURE() << "no call returning to " << std::hex << ret;
  return 0;
}

// The traced calls that frame_horizontal itself made.
std::vector<std::pair<u32, u32>> loop_calls() {
  std::vector<std::pair<u32, u32>> v;
  for (const auto& c : traced)
    if (c.second >= 0x474E && c.second <= 0x487C) v.push_back(c);
  return v;
}

std::vector<u32> hooks_seen() {
  std::vector<u32> v;
  for (const stub_call& c : stub_calls())
    if (c.ret == 0 && game_hook_slot(c.address) >= 0 && c.address != 0x00E6EC && c.address != 0x00E756)
      v.push_back(c.address);
  return v;
}

u8 pattern(u32 address) {
  u32 v = address * 0x85EBCA6Bu;
  v ^= v >> 13;
  return static_cast<u8>(v >> 5);
}

void (*between_action)() = nullptr;
void vbl_and_action() {
  mission_vbl();
  if (between_action) between_action();
}

bool run_loop(u32 entry, int max_slices) {
  driver_start(entry);
  driver_run(max_slices, 2000000, vbl_and_action);
  return driver_finished();
}

class FrameHorizontal : public MissionTest {
 protected:
  void SetUp() override {
    MissionTest::SetUp();
    section_cycle_put(section_cycle_mission(), {});
    player_tables{}.put_in_ram();
    wr16(level_section, 0);
    wr16(stream_section, 1);
    wr16(hscroll_step, 2);
    wr16(scroll_pos, 100);
    wr16(player1 + player_record::lives, 3);
    wr16(player1 + player_record::x, 150);
    wr16(player1 + player_record::y, 100);
    traced.clear();
    colour_at_call.clear();
    word_at_call.clear();
    watched_word = 0;
    dispatch_call_observer = note_call;
    between_action = nullptr;
  }
  void TearDown() override {
    dispatch_call_observer = nullptr;
    MissionTest::TearDown();
  }
};

TEST_F(FrameHorizontal, APassUpdatesAndDrawsInOrderBetweenItsHooks) {
  struct {
    u16 y1, y2;
    u32 drawn_last;
  } cases[] = {{120, 100, player1}, {100, 120, player2}, {110, 110, player2}};
  for (const auto& c : cases) {
    SetUp();
    wr16(player2 + player_record::lives, 2);
    wr16(player2 + player_record::x, 150);
    wr16(player1 + player_record::y, c.y1);
    wr16(player2 + player_record::y, c.y2);
    wr16(exit_request, 0xFFFF); // the escape leaves after one whole pass
    hooks_record({hook_frame_end, hook_frame_start, hook_players, hook_background, hook_scroll});
    ASSERT_TRUE(run_loop(frame_horizontal, 20));
    EXPECT_EQ(loop_calls(), pass_calls);
    EXPECT_EQ(hooks_seen(), (std::vector<u32>{hook_frame_end, hook_frame_start, hook_scroll, hook_background,
                                              hook_players}));
    for (const stub_call& h : stub_calls()) {
      if (h.address == hook_players && h.ret == 0) {
        EXPECT_EQ(h.a4, c.drawn_last) << c.y1 << " " << c.y2;
      }
    }
    EXPECT_EQ(rd16(fx_bank), 1u);
    EXPECT_EQ(rd16(scroll_pos), 101u);
    EXPECT_EQ(driver_slice_ends(), waits_then_return(0x79E2, 1)) << "the pass waits for its VBL, never spins";
  }
}

TEST_F(FrameHorizontal, WithoutAScrollTheScrollHookStaysSilent) {
  wr16(player1 + player_record::x, 100); // alone, at most 113: the section holds
  wr16(exit_request, 0xFFFF);
  hooks_record({hook_frame_end, hook_frame_start, hook_players, hook_background, hook_scroll});
  ASSERT_TRUE(run_loop(frame_horizontal, 20));
  EXPECT_EQ(hooks_seen(), (std::vector<u32>{hook_frame_end, hook_frame_start, hook_background, hook_players}));
  EXPECT_EQ(rd16(scroll_pos), 100u);
}

TEST_F(FrameHorizontal, TheRestOfThePassSeesWhatTheScrollFixMoved) {
  watched_word = explosion_table.address + 5 * explosion_table.size; // x of a free explosion
  wr16(watched_word, 120);
  wr16(exit_request, 0xFFFF);
  hook_register(hook_scroll, scroll_fix);
  ASSERT_TRUE(run_loop(frame_horizontal, 20));
  EXPECT_EQ(word_at_call_returning_to(0x4766), 120u) << "the explosions' step comes before the scroll";
  EXPECT_EQ(word_at_call_returning_to(0x4814), 118u) << "their drawing after it";
  EXPECT_EQ(rd16(watched_word), 118u);
}

u32 colour_written_at_frame_start;
void frame_start_ends_second_pass(u32 address) {
  hook_noted(address);
  if (colour_written_at_frame_start && rd16(fx_bank) == 0) wr16(0xFF8240, colour_written_at_frame_start);
  if (rd16(fx_bank) == 1) wr16(exit_request, 0xFFFF);
}

TEST_F(FrameHorizontal, TimingColoursShowThePhasesOnlyWhenAsked) {
  for (u32 timing : {1u, 0u}) {
    SetUp();
    wr16(dev_timing, timing);
    colour_written_at_frame_start = timing ? 0 : 0x0123;
    hooks_record({hook_frame_end, hook_players, hook_background, hook_scroll});
    hook_register(hook_frame_start, frame_start_ends_second_pass);
    ASSERT_TRUE(run_loop(frame_horizontal, 40));
    ASSERT_EQ(rd16(fx_bank), 2u);
    std::vector<std::pair<u32, u32>> colours;
    for (const stub_call& h : stub_calls())
      if (h.ret == 0) colours.emplace_back(h.address, h.colour0);
    ASSERT_GE(colours.size(), 7u);
    if (timing) {
      EXPECT_EQ(colours[2], std::make_pair(hook_scroll, 0x444u));
      EXPECT_EQ(colours[3], std::make_pair(hook_background, 0x050u));
      EXPECT_EQ(colours[4], std::make_pair(hook_players, 0x741u));
      EXPECT_EQ(colours[5], std::make_pair(hook_frame_end, 0x600u));
      // Each phase's colour, as a host stopping inside it would see it.
      const std::pair<u32, u32> phases[] = {{0x4794, 0x417}, {0x47AE, 0x444}, {0x47C0, 0x050}, {0x47D2, 0x770},
                                            {0x47E8, 0x000}, {0x47FA, 0x741}, {0x480C, 0x400}, {0x483C, 0x600}};
      for (const auto& [ret, colour] : phases)
        EXPECT_EQ(colour_at_call_returning_to(ret), colour) << std::hex << "the call returning to " << ret;
    } else {
      for (size_t i = 2; i <= 5; ++i) EXPECT_EQ(colours[i].second, 0x123u) << std::hex << colours[i].first;
    }
  }
}

// --- the end of a section --------------------------------------------------------

void fill_section_tables() {
  for (u32 a = section_object_table.address; a < homing_unit_table.address; ++a) wr8(a, pattern(a));
}

// The section tables after a scroll by delta and, when `cleared`, with
// every record's active word cleared. With `only_x` only the x words are
// compared: the installations' and objects' own updates also run on the
// filled records (freeing, counting, wrecking) and leave x alone.
std::string section_tables_difference(u32 delta, bool cleared, bool only_x = false) {
  for (const object_table& t : {section_object_table, section_installation_table})
    for (u32 r = 0; r < t.records; ++r) {
      const u32 at = t.address + r * t.size;
      for (u32 i = 0; i < t.size; i += 2) {
        if (only_x && i != 2) continue;
        u32 want = pattern(at + i) << 8 | pattern(at + i + 1);
        if (i == 0 && cleared) want = 0;
        if (i == 2) want = (want + delta) & 0xFFFF;
        if (rd16(at + i) != want) return "record at " + std::to_string(at) + " +" + std::to_string(i);
      }
    }
  return "";
}

TEST_F(FrameHorizontal, TheSectionEndsAtExactlyScrollPosition0180) {
  struct {
    u16 lives1, lives2, scroll_before;
    bool ends;
  } cases[] = {
      {3, 0, horizontal_section_end - 1, true},
      {0, 0, horizontal_section_end - 1, true}, // both out in that pass: the section still ends
      {3, 0, 100, false}, // the last life goes between the passes
  };
  for (const auto& c : cases) {
    SetUp();
    fill_section_tables();
    wr16(player1 + player_record::lives, c.lives1);
    wr16(player2 + player_record::lives, c.lives2);
    wr16(scroll_pos, c.scroll_before);
    between_action = c.ends ? nullptr : +[] {
      if (rd16(fx_bank) == 1) wr16(player1 + player_record::lives, 0);
    };
    ASSERT_TRUE(run_loop(frame_horizontal, 40));
    const std::string what = std::to_string(c.lives1) + " " + std::to_string(c.scroll_before);
    if (c.ends) {
      EXPECT_EQ(rd16(fx_bank), 1u) << what;
      EXPECT_EQ(rd16(hscroll_step), 0u) << what;
      EXPECT_EQ(section_tables_difference(0xFFFE, true), "") << what << ": only the active words";
      EXPECT_EQ(rd16(scroll_pos), 223u) << "the next vertical section";
      EXPECT_EQ(rd16(level_section), 1u);
      EXPECT_EQ(rd16(stream_section), 2u);
      EXPECT_EQ(rd32(level_map_pointer), section_cycle_mission().map_address(1));
      EXPECT_EQ(ring_pixel(0, 0), 5u) << "the ring shows V1's first block";
      EXPECT_EQ(ring_pixel(255, 70), block_pixel(5, 31, 6));
    } else {
      // Out of lives before the end: none of the section's end.
      EXPECT_EQ(rd16(fx_bank), 2u) << what;
      EXPECT_EQ(rd16(hscroll_step), 2u);
      EXPECT_EQ(rd16(scroll_pos), 102u) << "absent players let it scroll";
      EXPECT_EQ(section_tables_difference(0xFFFC, false, true), "");
      EXPECT_EQ(rd16(level_section), 0u);
      EXPECT_EQ(loop_calls().back(), std::make_pair(0x008E96u, 0x4848u));
    }
  }
}

void escape() {
  if (rd16(fx_bank) == 1) wr16(exit_request, 0xFFFF);
}

TEST_F(FrameHorizontal, AnEscapeLeavesTheSectionWithoutSettingUpTheNext) {
  fill_section_tables();
  between_action = escape; // seen by the second pass's end
  ASSERT_TRUE(run_loop(frame_horizontal, 40));
  EXPECT_EQ(rd16(fx_bank), 2u);
  EXPECT_EQ(rd16(hscroll_step), 0u);
  EXPECT_EQ(section_tables_difference(0xFFFC, true), "");
  EXPECT_EQ(rd16(scroll_pos), 102u);
  EXPECT_EQ(rd16(level_section), 0u) << "no next section";
  EXPECT_EQ(rd16(stream_section), 1u);
  EXPECT_EQ(loop_calls().back(), std::make_pair(0x008E96u, 0x4848u));
}

TEST_F(FrameHorizontal, AnEscapeInAHorizontalSectionEndsTheMission) {
  wr16(scroll_pos, vertical_section_end);
  wr16(hscroll_step, 0);
  wr16(stream_section, 0);
  wr16(last_block, 2);
  wr16(exit_request, 0);
  hook_register(hook_frame_start, +[](u32) {
    if (rd16(hscroll_step) != 0 && rd16(scroll_pos) == 3) wr16(exit_request, 0xFFFF);
  });
  wr16(player1 + player_record::y, 200); // low on the screen: V0 does not scroll past its end
  ASSERT_TRUE(run_loop(frame_vertical, 200));
  EXPECT_EQ(rd16(exit_request), 0xFFFFu);
  EXPECT_EQ(rd16(hscroll_step), 0u);
  EXPECT_EQ(rd16(level_section), 0u);
  EXPECT_EQ(rd16(stream_section), 1u);
  EXPECT_EQ(rd16(scroll_pos), 4u);
}

void lose_every_life_in_the_horizontal_section() {
  if (rd16(hscroll_step) == 0) return;
  wr16(player1 + player_record::lives, 0);
  wr16(player2 + player_record::lives, 0);
}

TEST_F(FrameHorizontal, TheLastLifeLostInAHorizontalSectionEndsTheMissionEvenInFreeRun) {
  wr16(scroll_pos, vertical_section_end);
  wr16(hscroll_step, 0);
  wr16(stream_section, 0);
  wr16(exit_request, 0);
  wr16(dev_freerun, 1);
  wr16(player1 + player_record::y, 200); // V0 does not scroll past its end
  between_action = lose_every_life_in_the_horizontal_section;
  ASSERT_TRUE(run_loop(frame_vertical, 200));
  EXPECT_EQ(rd16(exit_request), 0u) << "a failed mission";
  EXPECT_EQ(rd16(stream_section), 1u) << "in H0";
  EXPECT_EQ(rd16(level_section), 0u) << "no next section";
  EXPECT_EQ(rd16(scroll_pos), 1u) << "right after the pass in which the lives went";
}

TEST_F(FrameHorizontal, ABudgetStopAtTheLoopHeadRunsTheFrameEndHookOnce) {
  wr16(exit_request, 0);
  hooks_record({hook_frame_end});
  hook_register(hook_frame_start, frame_start_ends_second_pass);
  colour_written_at_frame_start = 0;
  driver_start(frame_horizontal);
  int stops_at_head = 0;
  for (int n = 0; n < 200000 && !driver_finished(); ++n) {
    const int why = core_run(&g_cpu, 0); // every budget check stops
    if (why == YIELD_BUDGET && g_cpu.pc == frame_horizontal) ++stops_at_head;
    if (why == YIELD_WAIT) mission_vbl();
  }
  ASSERT_TRUE(driver_finished());
  EXPECT_EQ(rd16(fx_bank), 2u);
  EXPECT_EQ(stops_at_head, 2) << "one stop before each pass";
  EXPECT_EQ(stub_call_count(hook_frame_end), 2) << "the hook after the stop, once a pass";
}

TEST_F(FrameHorizontal, EveryRoadResumesAlikeFromASavedState) {
  struct {
    const char* road;
    u16 scroll_before, lives1;
  } roads[] = {
      {"a pass left by the escape", 100, 3},
      {"the section's end and the next section", horizontal_section_end - 1, 3},
      {"the last life gone", 100, 0},
  };
  for (const auto& r : roads) {
    SetUp();
    dispatch_call_observer = nullptr;
    fill_section_tables();
    wr16(scroll_pos, r.scroll_before);
    wr16(player1 + player_record::lives, r.lives1);
    wr16(exit_request, r.lives1 && r.scroll_before == 100 ? 0xFFFF : 0);
    EXPECT_TRUE(resumes_alike({.entry = frame_horizontal, .between = mission_vbl})) << r.road;
  }
}

// --- a mission's sections from end to end ----------------------------------------

struct cycle_record {
  int scroll_steps = 0;
  std::vector<u32> streams, level_sections;
  std::vector<u32> first_v1_hooks;
  bool band_checked = false, band_right = false;
  u32 band_block = 0;
};
cycle_record cycle;
section_cycle_options cycle_options;

void note_value(std::vector<u32>& seen, u32 v) {
  if (seen.empty() || seen.back() != v) seen.push_back(v);
}

void cycle_hook(u32 address) {
  note_value(cycle.streams, rd16(stream_section));
  note_value(cycle.level_sections, rd16(level_section));
  if (address == hook_scroll) ++cycle.scroll_steps;
  if (address == hook_background && !cycle.band_checked) {
    cycle.band_checked = true;
    cycle.band_right = true;
    const u32 block = ground_blocks + cycle.band_block * ground_block_bytes;
    for (u32 i = 0; i < ground_block_bytes; ++i) cycle.band_right &= rd8(0x028000 + i) == rd8(block + i);
  }
  if (rd16(level_section) == 1 && rd16(hscroll_step) == 0 && cycle.first_v1_hooks.size() < 4) {
    cycle.first_v1_hooks.push_back(address);
    if (cycle.first_v1_hooks.size() == 4) wr16(exit_request, 0xFFFF);
  }
}

void write_cycle_mission() { section_cycle_put(section_cycle_mission(cycle_options), cycle_options); }

class SectionCycle : public MissionTest {};

TEST_F(SectionCycle, AMissionPlaysV0ThenH0ThenV1BothWays) {
  struct {
    u16 mission_word;
    bool last_block_differs;
  } cases[] = {{1, false}, {0, true}};
  for (const auto& c : cases) {
    SetUp();
    cycle = {};
    cycle_options = {};
    cycle_options.mission_word = c.mission_word;
    cycle_options.last_block_differs = c.last_block_differs;
    cycle.band_block = section_cycle_band_block(cycle_options);
    player_tables{}.put_in_ram();
    wr8(player1 + player_record::owned + 1, 1);
    stub_records({0x00AAF8}); // the panel value of the first weapon slot (later work)
    mission_runner_register(write_cycle_mission);
    for (u32 h : {hook_scroll, hook_background, 0x008EE2u, 0x008EEAu, 0x00893Cu, 0x008FC6u})
      hook_register(h, cycle_hook);
    between_action = push_the_scroll;
    driver_start(mission_runner);
    driver_run(8000, 2000000, vbl_and_action);
    const std::string what = "mission word " + std::to_string(c.mission_word);
    ASSERT_EQ(rd16(runner_done), 0xFFFFu) << what;
    EXPECT_EQ(rd16(runner_exit_noted), 0xFFFFu) << what;
    EXPECT_EQ(cycle.streams, (std::vector<u32>{0, 1, 2})) << what;
    EXPECT_EQ(cycle.level_sections, (std::vector<u32>{0, 1})) << what;
    EXPECT_EQ(cycle.scroll_steps, 384) << what;
    EXPECT_TRUE(cycle.band_right) << what << ": the band shows block " << cycle.band_block;
    EXPECT_EQ(cycle.first_v1_hooks, (std::vector<u32>{0x008EE2, 0x008EEA, 0x00893C, 0x008FC6})) << what;
    EXPECT_EQ(rd16(mission_word), (c.mission_word + 1u) & 0xFFFF);
  }
  for (u32 h : {hook_scroll, hook_background, 0x008EE2u, 0x008EEAu, 0x00893Cu, 0x008FC6u}) hook_register(h, nullptr);
}

} // namespace
