// Page $4000: the horizontal scroll step and the horizontal background, on
// the mission machine.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "machine/hooks.h"
#include "support/machine/mission_machine.h"
#include "support/machine/resume_check.h"
#include "support/tables/section_cycle.h"

namespace {

constexpr u32 scroll_step = 0x004954;
constexpr u32 horizontal_background = 0x00488C;
constexpr u32 scroll_hook = 0x004A50; // slot 4
constexpr u32 tables_from = enemy_table.address, tables_to = 0x001DC4;

u8 pattern(u32 address) {
  u32 v = address * 0x2C1B3C6Du;
  v ^= v >> 15;
  return static_cast<u8>(v >> 9);
}

class ScrollStep : public MissionTest {};

struct hold_case {
  u16 lives1, x1, lives2, x2;
  u16 step;
  bool scrolls;
};

TEST_F(ScrollStep, ScrollsOnlyWhileThePlayersPushTheWayTheSectionGoes) {
  const hold_case cases[] = {
      // positive step: each above 69 and the sum above 257; an absent player counts 144
      {3, 113, 0, 0, 2, false}, {3, 114, 0, 0, 2, true},    {0, 0, 3, 113, 2, false}, {0, 0, 3, 114, 2, true},
      {3, 128, 3, 129, 2, false}, {3, 128, 3, 130, 2, true}, {3, 69, 3, 250, 2, false}, {3, 70, 3, 250, 2, true},
      {3, 250, 3, 69, 2, false}, {0, 0, 0, 0, 2, true},
      {3, 0xFFFE, 0, 0, 2, false}, // the 16-bit sum wraps to 142
      // negative step: each at most 218 and the sum at most 318
      {3, 174, 0, 0, 0xFFFE, true}, {3, 175, 0, 0, 0xFFFE, false}, {0, 0, 3, 175, 0xFFFE, false},
      {3, 159, 3, 159, 0xFFFE, true}, {3, 159, 3, 160, 0xFFFE, false}, {3, 218, 3, 10, 0xFFFE, true},
      {3, 219, 3, 10, 0xFFFE, false}, {3, 10, 3, 219, 0xFFFE, false}, {3, 0xFFFE, 0, 0, 0xFFFE, false},
  };
  for (const hold_case& c : cases) {
    SetUp();
    wr16(player1 + player_record::lives, c.lives1);
    wr16(player1 + player_record::x, c.x1);
    wr16(player2 + player_record::lives, c.lives2);
    wr16(player2 + player_record::x, c.x2);
    wr16(hscroll_step, c.step);
    wr16(scroll_pos, 100);
    hooks_record({scroll_hook});
    ASSERT_NE(run_mission_routine(scroll_step), -1);
    const std::string what = std::to_string(c.lives1) + "/" + std::to_string(c.x1) + " " +
                             std::to_string(c.lives2) + "/" + std::to_string(c.x2) + " step " + std::to_string(c.step);
    EXPECT_EQ(rd16(scroll_pos), c.scrolls ? 101u : 100u) << what;
    EXPECT_EQ(stub_call_count(scroll_hook), c.scrolls ? 1 : 0) << what;
    const u32 delta = c.scrolls ? (0u - c.step) & 0xFFFF : 0;
    EXPECT_EQ(rd16(player1 + player_record::x), (c.x1 + delta) & 0xFFFF) << what << ": in play or not";
    EXPECT_EQ(rd16(player2 + player_record::x), (c.x2 + delta) & 0xFFFF) << what;
  }
}

// The x word of every record of the eight moved tables (free ones too).
std::vector<u32> moved_words() {
  std::vector<u32> w;
  const struct {
    object_table t;
    u32 offset;
  } moved[] = {{enemy_table, 0},      {grenade_table, 0},      {bullet_table, 0},
               {projectile_table, 2}, {effect_table, 0},       {section_installation_table, 2},
               {section_object_table, 2}, {dot_bullet_table, 0}};
  for (const auto& m : moved)
    for (u32 r = 0; r < m.t.records; ++r) w.push_back(m.t.address + r * m.t.size + m.offset);
  return w;
}

u32 scroll_hook_d5, scroll_hook_a5;
void fix_the_scroll(u32 address) {
  hook_noted(address);
  scroll_hook_d5 = g_cpu.d[5];
  scroll_hook_a5 = g_cpu.a[5];
  scroll_fix(address);
}

TEST_F(ScrollStep, AStepMovesTheCountersPlayersAndEightTablesOnly) {
  for (u16 step : {u16{2}, u16{0xFFFE}}) {
    SetUp();
    for (u32 a = tables_from; a < tables_to; ++a) wr8(a, pattern(a));
    wr16(hscroll_step, step);
    wr16(hscroll_word, 0xFFFF);
    wr16(scroll_pos, 0x017F);
    wr8(event_clock, 0xFF);
    wr16(player1 + player_record::lives, 3);
    wr16(player1 + player_record::x, 150);
    hooks_record({scroll_hook});
    ASSERT_NE(run_mission_routine(scroll_step), -1);
    const u32 delta = (0u - step) & 0xFFFF;
    EXPECT_EQ(rd16(scroll_pos), 0x0180u);
    EXPECT_EQ(rd8(event_clock), 0u) << "the clock wraps";
    EXPECT_EQ(rd16(hscroll_word), (0xFFFFu + step) & 0xFFFF);
    EXPECT_EQ(g_cpu.d[5] & 0xFFFF, delta);
    std::vector<u8> want(tables_to - tables_from);
    for (u32 a = tables_from; a < tables_to; ++a) want[a - tables_from] = pattern(a);
    for (u32 w : moved_words()) {
      const u32 v = (pattern(w) << 8 | pattern(w + 1)) + delta;
      want[w - tables_from] = static_cast<u8>(v >> 8);
      want[w + 1 - tables_from] = static_cast<u8>(v);
    }
    std::string wrong;
    for (u32 a = tables_from; a < tables_to && wrong.empty(); ++a)
      if (rd8(a) != want[a - tables_from]) wrong = std::to_string(a);
    EXPECT_EQ(wrong, "") << "step " << step << ": explosions, debris, installations, vehicles, units, goal stay";
  }
}

TEST_F(ScrollStep, TheHookAfterAScrollLetsTheHostMoveExplosionsAndInstallations) {
  for (bool code_known : {true, false}) {
    SetUp();
    if (code_known) wr32(scroll_fix_code, scroll_fix_bytes);
    hook_register(scroll_hook, fix_the_scroll);
    wr16(hscroll_step, 2);
    wr16(explosion_table.address + 16 * explosion_table.size, 300);
    wr16(installation_table.address + 19 * installation_table.size, 40);
    wr16(installation_table.address + 19 * installation_table.size + 2, 77);
    scroll_hook_d5 = scroll_hook_a5 = 0xDEAD;
    ASSERT_NE(run_mission_routine(scroll_step), -1);
    ASSERT_EQ(stub_call_count(scroll_hook), 1);
    EXPECT_EQ(scroll_hook_d5 & 0xFFFF, 0xFFFEu);
    EXPECT_EQ(scroll_hook_a5, 0u);
    EXPECT_EQ(rd16(explosion_table.address + 16 * explosion_table.size), code_known ? 298u : 300u);
    EXPECT_EQ(rd16(installation_table.address + 19 * installation_table.size), code_known ? 38u : 40u);
    EXPECT_EQ(rd16(installation_table.address + 19 * installation_table.size + 2), 77u);
  }
}

// --- background --------------------------------------------------------------------

u32 band_pixel(u32 copy, u32 line, u32 x) {
  const u32 group = 0x028000 + copy * 0x400 + line * 32 + (x / 16) * 8;
  u32 colour = 0;
  for (u32 p = 0; p < 4; ++p) colour |= (rd16(group + 2 * p) >> (15 - x % 16) & 1) << p;
  return colour;
}

class HorizontalBackground : public MissionTest {};

TEST_F(HorizontalBackground, TilesTheCopyOfTheFineScrollOverThePlayfieldOnly) {
  for (u16 word : {u16{0}, u16{1}, u16{2}, u16{30}, u16{32}, u16{0xFFFE}}) {
    SetUp();
    for (u32 a = 0x028000; a < 0x02C000; ++a) wr8(a, pattern(a));
    for (u32 a = mission_draw_screen; a < mission_draw_screen + 32320; ++a) wr8(a, pattern(a + 7));
    wr16(hscroll_word, word);
    ASSERT_NE(run_mission_routine(horizontal_background), -1);
    const u32 copy = (word >> 1) & 15;
    std::string wrong;
    for (u32 y = 0; y < 200 && wrong.empty(); ++y)
      for (u32 x = 64; x < 256 && wrong.empty(); ++x)
        if (screen_pixel(mission_draw_screen, y, x) != band_pixel(copy, y % 32, (x - 64) % 64))
          wrong = "line " + std::to_string(y) + " x " + std::to_string(x);
    EXPECT_EQ(wrong, "") << "hscroll_word " << word;
    for (u32 y = 0; y < 200 && wrong.empty(); ++y)
      for (u32 b : {0u, 31u, 128u, 159u}) {
        const u32 a = mission_draw_screen + 160 * y + b;
        if (rd8(a) != pattern(a + 7)) wrong = "panel byte at line " + std::to_string(y);
      }
    EXPECT_EQ(wrong, "") << "the side panels are not touched";
    for (u32 a = mission_draw_screen + 32000; a < mission_draw_screen + 32320 && wrong.empty(); ++a)
      if (rd8(a) != pattern(a + 7)) wrong = "past the screen at " + std::to_string(a);
    EXPECT_EQ(wrong, "") << "200 lines and no more";
    EXPECT_EQ(g_cpu.a[7], mission_stack) << "the pushed screen address is taken back";
  }
}

u32 band_word_at_hook;
void note_band(u32 address) {
  hook_noted(address);
  band_word_at_hook = rd16(mission_draw_screen + 32);
}

TEST_F(HorizontalBackground, TheHookSeesTheBandBeforeTheScreenChanges) {
  for (u32 a = 0x028000; a < 0x02C000; ++a) wr8(a, pattern(a));
  wr16(mission_draw_screen + 32, 0x5A5A);
  hook_register(horizontal_background, note_band);
  ASSERT_NE(run_mission_routine(horizontal_background), -1);
  ASSERT_EQ(stub_call_count(horizontal_background), 1);
  EXPECT_EQ(band_word_at_hook, 0x5A5Au);
  EXPECT_EQ(stub_calls()[0].a7, mission_stack - 4) << "at the entry";
}

TEST_F(ScrollStep, AScrollResumesAlikeFromASavedState) {
  for (u32 a = tables_from; a < tables_to; ++a) wr8(a, pattern(a));
  wr16(hscroll_step, 2);
  wr16(player1 + player_record::lives, 3);
  wr16(player1 + player_record::x, 150);
  EXPECT_TRUE(resumes_alike({.entry = scroll_step}));
}

TEST_F(HorizontalBackground, ResumesAlikeFromASavedState) {
  for (u32 a = 0x028000; a < 0x02C000; ++a) wr8(a, pattern(a));
  wr16(hscroll_word, 22);
  EXPECT_TRUE(resumes_alike({.entry = horizontal_background}));
}

} // namespace
