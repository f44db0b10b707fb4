// The mission-complete screen: the pay shared among the players in play,
// the result fields, the bonus tally with its sounds, the pauses in VBLs,
// the wait for tune 6, the fade and the colour-14 eraser. The texts are the
// synthetic front end's.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/machine/effect_check.h"
#include "game/game_ram.h"
#include "game/map_ram.h"
#include "game/mission_ram.h"
#include "game_harness.h"
#include "machine/hooks.h"
#include "support/machine/resume_check.h"
#include "support/synthetic/synthetic_front_screens.h"
#include "support/synthetic/synthetic_sound.h"

namespace {

constexpr u32 money1 = 0x000332, money2 = 0x0003CE;
constexpr u32 tally1 = 0x000370, tally2 = 0x00040C;
constexpr u32 tally_sound_gap = 0x0001D8;
constexpr u32 result_hold = 0x0001DA;
constexpr u32 colour14 = 0xFF825C;
constexpr u32 tune_wait_vbls = 0x80FF0; // in RAM, so a loaded state carries it

// A VBL; the tune ends after ten VBLs of the wait for it (no Timer C
// here), and each effect started is noted with the money at that time.
struct sound_seen {
  int effect;
  u32 money1, money2;
  std::string fields; // both players' label and money fields during the pause after it
  bool operator==(const sound_seen&) const = default;
};
std::vector<sound_seen> sounds;
std::vector<u32> tunes;
std::string counts_in_the_hold; // both players' tally count fields halfway through the tally's hold
void note_tune(u32) { tunes.push_back(g_cpu.d[0] & 0xFFFF); }
void vbl() {
  simple_vbl();
  if (driver_slice_ends().back() == waited(0xF91E)) {
    wr16(tune_wait_vbls, rd16(tune_wait_vbls) + 1);
    if (rd16(tune_wait_vbls) == 10) wr8(tune_playing, 0);
  }
  const int e = take_started_effect({1, 16});
  if (e != 0) sounds.push_back({e, rd32(money1), rd32(money2), ""});
  if (!sounds.empty() && sounds.back().fields.empty() && driver_slice_ends().back() == waited(0xFC62))
    sounds.back().fields = screen_text(screen_buffer_b, 14240, 12, 16) + "|" + screen_text(screen_buffer_b, 17440, 12, 16);
  if (rd16(result_hold) == 50 && screen_text(screen_buffer_b, 10400, 13, 5) == "TALLY")
    counts_in_the_hold = screen_text(screen_buffer_b, 14240, 16, 4) + "|" + screen_text(screen_buffer_b, 17440, 16, 4);
}

int waits_at(u32 label) {
  return static_cast<int>(std::count(driver_slice_ends().begin(), driver_slice_ends().end(), waited(label)));
}

class MissionComplete : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    load_test_font();
    synth_sound_load();
    synth_front_screens_in_ram();
    wr32(draw_screen, screen_buffer_b);
    for (u32 i = 0; i < 12; ++i) wr32(mission_pay_table + 4 * i, 1000 * (i + 1));
    wr16(chosen_mission, 4); // pays 5,000
    sounds.clear();
    tunes.clear();
    counts_in_the_hold.clear();
    hook_register(0x041BCC, note_tune);
  }
  void run() {
    run_routine(0x008924, 3000, vbl);
    ASSERT_TRUE(driver_finished());
  }
};

TEST_F(MissionComplete, ThePayIsSharedAmongThePlayersInPlay) {
  struct road {
    u16 lives1, lives2;
    u32 pay;
    u32 share;
  };
  const road roads[] = {
      {3, 0, 5000, 2500},
      {0, 2, 5000, 2500},
      {0x0100, 0, 5000, 2500}, // the lives are a word
      {3, 2, 5000, 1250},
      {3, 0, 0x12345, 0x111A2}, // only the low word is halved
      {3, 2, 0x10003, 0x10000},
  };
  for (const road& r : roads) {
    SetUp();
    wr16(player1, r.lives1);
    wr16(player2, r.lives2);
    wr32(mission_pay_table + 16, r.pay);
    wr16(player1 + 2, 0x0101); // the words after the lives count for nothing
    wr16(player2 + 2, 0x0101);
    wr32(money1, 100);
    wr32(money2, 200);
    run();
    const u32 m1 = r.lives1 ? 100 + r.share : 100, m2 = r.lives2 ? 200 + r.share : 200;
    EXPECT_EQ(rd32(money1), m1) << r.lives1 << r.lives2 << " " << r.pay;
    EXPECT_EQ(rd32(money2), m2) << r.lives1 << r.lives2 << " " << r.pay;
    // Both moneys are raised before the first sound; one sound a player.
    // Each player's money field shows the new money during the pause
    // after the player's sound; a player out of play has no fields.
    auto six = [](u32 m) {
      const std::string d = std::to_string(1000000 + m % 1000000);
      return d.substr(1);
    };
    const std::string p1 = r.lives1 ? "P1.." + std::string(6, '.') + six(m1) : std::string(16, '.');
    const std::string p2_before = r.lives2 ? "P2.." + std::string(6, '.') + six(200) : std::string(16, '.');
    const std::string p2 = r.lives2 ? "P2.." + std::string(6, '.') + six(m2) : std::string(16, '.');
    std::vector<sound_seen> expect;
    if (r.lives1) expect.push_back({16, m1, m2, p1 + "|" + p2_before});
    if (r.lives2) expect.push_back({16, m1, m2, p1 + "|" + p2});
    EXPECT_EQ(sounds, expect);
    EXPECT_EQ(tunes, std::vector<u32>{6});
  }
}

TEST_F(MissionComplete, TheResultFieldsOfThePlayersInPlay) {
  for (bool two : {false, true}) {
    SetUp();
    wr16(player1, 3);
    wr16(player2, two ? 1 : 0);
    wr32(money1, 123456);
    wr32(money2, 9999999);
    wr16(tally1, 12);
    wr16(tally2, 345);
    run();
    EXPECT_EQ(screen_text(screen_buffer_b, 2080, 8, 9), "WELL DONE");
    EXPECT_EQ(screen_text(screen_buffer_b, 3840, 8, 7), "MISSION");
    EXPECT_EQ(screen_text(screen_buffer_b, 5600, 8, 8), "COMPLETE");
    EXPECT_EQ(screen_text(screen_buffer_b, 5600 + 1440, 8, 1), "!") << "a return goes back to column 8";
    EXPECT_EQ(screen_cell_colour(screen_buffer_b, 5600, 8), 14u);
    EXPECT_EQ(rd16(colour14), 0x777u);
    EXPECT_EQ(screen_text(screen_buffer_b, 10400, 13, 5), "TALLY") << "the tally's heading over the money's";
    // Six digits of the money (the tally paid in), four of the count (0 now).
    EXPECT_EQ(screen_text(screen_buffer_b, 14240, 12, 2), "P1");
    EXPECT_EQ(screen_text(screen_buffer_b, 14240, 16, 6), "0000..");
    EXPECT_EQ(screen_text(screen_buffer_b, 14240, 22, 6), two ? "124826" : "126076") << "the pay and 120 of tally";
    EXPECT_EQ(screen_text(screen_buffer_b, 17440, 12, 2), two ? "P2" : "..");
    EXPECT_EQ(screen_text(screen_buffer_b, 17440, 16, 6), two ? "0000.." : "......");
    EXPECT_EQ(screen_text(screen_buffer_b, 17440, 22, 6), two ? "004699" : "......") << "10,004,699: the last six";
  }
}

TEST_F(MissionComplete, TheTally) {
  struct road {
    u16 lives1, lives2, count1, count2, gap;
    int passes, sounds;
  };
  const road roads[] = {
      {3, 3, 7, 3, 0, 7, 1},   // passes 1-3 pay both, 4-7 the first; a sound at pass 2
      {3, 3, 0, 0, 0, 0, 0},   // nothing to count: no pass, no sound
      {3, 0, 2, 50, 0, 2, 0},  // player 2's count cleared at the start; the last pass ends before its sound
      {3, 0, 11, 0, 0xFFFF, 11, 2}, // a negative gap sounds at once: passes 1 and 6 (11 ends first)
  };
  for (const road& r : roads) {
    SetUp();
    wr16(player1, r.lives1);
    wr16(player2, r.lives2);
    wr16(tally1, r.count1);
    wr16(tally2, r.count2);
    wr16(tally_sound_gap, r.gap);
    wr32(mission_pay_table + 16, 0);
    run();
    const int tally_sounds = static_cast<int>(std::count_if(sounds.begin(), sounds.end(), [](const sound_seen& s) { return s.effect == 1; }));
    EXPECT_EQ(rd16(tally1), 0u);
    EXPECT_EQ(rd16(tally2), 0u);
    EXPECT_EQ(rd32(money1), 10u * r.count1) << r.count1 << " " << r.count2;
    EXPECT_EQ(rd32(money2), r.lives2 ? 10u * r.count2 : 0u) << r.count1 << " " << r.count2;
    EXPECT_EQ(tally_sounds, r.sounds) << r.count1 << " " << r.count2;
    EXPECT_EQ(rd16(result_hold), 0u);
    // The VBLs after the last pay pause: 100 of the result fields, 100 of
    // the tally's heading, then one per pass (the first pass also when
    // there is nothing to count).
    const std::vector<slice_end>& ends = driver_slice_ends();
    const auto last_pause = std::find(ends.rbegin(), ends.rend(), waited(0xFC62));
    const int after = static_cast<int>(last_pause - ends.rbegin()) - 1; // without the slice that returned
    EXPECT_EQ(after, 200 + std::max(r.passes, 1)) << r.count1 << " " << r.count2;
  }
}

TEST_F(MissionComplete, TheTallyCountsOfThePlayersInPlayShowThroughTheHoldBeforeThePasses) {
  struct road {
    u16 lives2;
    const char* counts;
  };
  for (const road& r : {road{0, "0012|...."}, road{1, "0012|0345"}}) {
    SetUp();
    wr16(player1, 3);
    wr16(player2, r.lives2);
    wr16(tally1, 12);
    wr16(tally2, 345);
    run();
    EXPECT_EQ(counts_in_the_hold, r.counts) << "player 2's lives " << r.lives2;
  }
}

TEST_F(MissionComplete, ThePausesLastTheirVBLs) {
  for (bool two : {false, true}) {
    SetUp();
    wr16(player1, 3);
    wr16(player2, two ? 3 : 0);
    run();
    // 1,150,000 passes before the fade, 400,000 after the money fields and
    // after each pay.
    EXPECT_EQ(waits_at(0xFC62), 129 + 45 + (two ? 90 : 45));
    EXPECT_EQ(waits_at(0xF91E), 10) << "the tune's end awaited VBL by VBL";
    // Two fade steps of five, 100 of the result fields, 100 of the tally's
    // heading, its one pass.
    EXPECT_EQ(waits_at(0x79E2), 211);
    for (const slice_end& e : driver_slice_ends()) EXPECT_NE(e.reason, static_cast<u32>(YIELD_BUDGET));
  }
}

TEST_F(MissionComplete, TheCountedDelay) {
  struct road {
    u32 passes;
    int vbls;
  };
  for (const road& r : {road{1150000, 129}, road{400000, 45}, road{8900, 1}, road{4450, 1}, road{4449, 0},
                        road{1, 0}}) {
    SetUp();
    g_cpu.d[0] = r.passes;
    run_routine(0x00FC60, 200, simple_vbl);
    ASSERT_TRUE(driver_finished());
    EXPECT_EQ(driver_slice_ends(), waits_then_return(0xFC62, r.vbls)) << r.passes;
    EXPECT_EQ(g_cpu.d[0], 0u);
  }
}

TEST_F(MissionComplete, TheFadeTakesTwoLevelsOffAndTheEraserOnlyColour14) {
  wr16(player1, 3);
  const u16 before[16] = {0x777, 0x123, 0x300, 0x002, 0x710, 0, 0x070, 0x007,
                          0x111, 0x222, 0x333, 0x444, 0x555, 0x666, 0x765, 0x076};
  for (u32 i = 0; i < 16; ++i) wr16(0xFF8240 + 2 * i, before[i]);
  wr16(fade_wait, 0); // the two-step fade sets its own wait
  // In the bottom line of both screens: a group of colour 14 next to one
  // of colour 15, and one whose pixels take 14 and 6 alternately.
  for (u32 screen : {screen_buffer_a, screen_buffer_b}) {
    const u32 g = screen + 199 * 160;
    for (u32 p : {1u, 2u, 3u}) wr16(g + 2 * p, 0xFFFF);
    for (u32 p : {0u, 1u, 2u, 3u}) wr16(g + 8 + 2 * p, 0xFFFF);
    wr16(g + 16, 0x0000);
    wr16(g + 18, 0xFFFF);
    wr16(g + 20, 0xFFFF);
    wr16(g + 22, 0xAAAA);
    // The last group of the screen, and the one past it.
    for (u32 p : {1u, 2u, 3u}) {
      wr16(screen + 31992 + 2 * p, 0x8001);
      wr16(screen + 32000 + 2 * p, 0x8001);
    }
  }
  run();
  const u16 after[16] = {0x555, 0x001, 0x100, 0x000, 0x500, 0, 0x050, 0x005,
                         0x000, 0x000, 0x111, 0x222, 0x333, 0x444, 0x777, 0x054};
  for (u32 i = 0; i < 16; ++i) EXPECT_EQ(rd16(0xFF8240 + 2 * i), after[i]) << "colour " << i;
  for (u32 screen : {screen_buffer_a, screen_buffer_b}) {
    const u32 g = screen + 199 * 160;
    for (u32 p = 0; p < 4; ++p) EXPECT_EQ(rd16(g + 2 * p), 0u) << "colour 14 gone, plane " << p;
    for (u32 p = 0; p < 4; ++p) EXPECT_EQ(rd16(g + 8 + 2 * p), 0xFFFFu) << "colour 15 stays";
    EXPECT_EQ(rd16(g + 18), 0x5555u) << "the pixels of colour 6 stay";
    EXPECT_EQ(rd16(g + 20), 0x5555u);
    EXPECT_EQ(rd16(g + 22), 0u);
    for (u32 p = 1; p < 4; ++p) {
      EXPECT_EQ(rd16(screen + 31992 + 2 * p), 0u) << "the last group";
      EXPECT_EQ(rd16(screen + 32000 + 2 * p), 0x8001u) << "past the screen";
    }
  }
}

TEST_F(MissionComplete, AFadeStepWaitsItsWordPlusOneVBLs) {
  for (u16 wait : {0, 3}) {
    SetUp();
    wr16(fade_wait, wait);
    run_routine(0x00FA72, 20, simple_vbl);
    EXPECT_EQ(driver_slice_ends(), waits_then_return(0x79E2, wait + 1)) << wait;
    EXPECT_EQ(rd16(fade_wait), 4u);
  }
}

TEST_F(MissionComplete, ResumesAlike) {
  wr16(player1, 3);
  wr16(player2, 3);
  wr16(tally1, 6);
  wr16(tally2, 2);
  EXPECT_TRUE(resumes_alike({.entry = 0x008924, .between = vbl, .load_every = 128}));
}

} // namespace
