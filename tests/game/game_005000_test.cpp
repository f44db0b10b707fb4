// Page $5000: the players' drawing, pixel by pixel against a plain
// reference, its countdowns, the order of the two players and the hook
// points the host's scene capture relies on.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "support/machine/dispatch_check.h"
#include "support/tables/mission_builder.h"
#include "support/machine/mission_machine.h"
#include "support/machine/resume_check.h"
#include "support/machine/screen_bytes.h"
#include "support/synthetic/st_planes.h"

namespace {

namespace pr = player_record;

constexpr u32 draw_players = 0x005946;
constexpr u32 draw_player = 0x00597A;
constexpr u32 hook_first_p1 = 0x00595A; // slot 5
constexpr u32 hook_first_p2 = 0x005972; // slot 6
constexpr u32 hook_players_done = 0x008FC6; // slot 31
constexpr u32 screen = mission_draw_screen;
constexpr u32 screen_span = 32768; // the screen and the spare lines after it

// --- the reference: one pixel at a time -------------------------------------------

std::vector<u8> screen_bytes() { return read_bytes(screen, screen_span); }

void set_pixel(std::vector<u8>& b, u32 x, u32 y, u32 colour) {
  st_set_pixel(b.data(), static_cast<int>(x), static_cast<int>(y), static_cast<int>(colour));
}

// Frame f at (x, y) over the picture b: colour v wherever v is not 0.
void reference_draw(std::vector<u8>& b, u32 frame, u32 x, u32 y) {
  for (u32 line = 0; line < 25; ++line)
    for (u32 px = 0; px < 32; ++px) {
      const u32 v = player_frame_pixel(frame, line, px);
      if (v != 0) set_pixel(b, x + px, y + line, v);
    }
}

void random_background(u32 seed) {
  std::mt19937 rng(seed);
  for (u32 i = 0; i < screen_span; ++i) wr8(screen + i, rng() & 0xFF);
}

void clear_screen() {
  for (u32 i = 0; i < screen_span; ++i) wr8(screen + i, 0);
}

bool screen_touched() {
  for (u32 i = 0; i < screen_span; ++i)
    if (rd8(screen + i) != 0) return true;
  return false;
}

void place(u32 record, u32 x, u32 y, u32 frame) {
  wr16(record + pr::lives, 3);
  wr16(record + pr::x, x);
  wr16(record + pr::y, y);
  wr16(record + pr::frame, frame);
}

class PlayerDrawing : public MissionTest {
 protected:
  void SetUp() override {
    MissionTest::SetUp();
    player_tables{}.put_in_ram();
  }
  void draw(u32 record) {
    g_cpu.a[4] = record;
    ASSERT_EQ(run_mission_routine(draw_player), 1);
    EXPECT_EQ(g_cpu.a[4], record) << "a4 kept";
  }
};

TEST_F(PlayerDrawing, NamedAddressesAndHookSlots) {
  expect_named_rows({
      {draw_players, routine_entry, "sub_005946"},
      {hook_first_p1, resume_label, "sub_005946"},
      {hook_first_p2, resume_label, "sub_005946"},
      {draw_player, routine_entry, "draw_player"},
  });
  EXPECT_EQ(game_hook_slot(hook_first_p1), 5);
  EXPECT_EQ(game_hook_slot(hook_first_p2), 6);
  EXPECT_EQ(game_hook_slot(draw_player), 7);
  EXPECT_EQ(game_hook_slot(hook_players_done), 31);
}

TEST_F(PlayerDrawing, EveryShiftMatchesThePixelReference) {
  struct {
    u32 x, y, frame;
  } cases[] = {
      {96, 40, 3},    // s = 0: two columns
      {97, 41, 7},    // s = 1
      {104, 100, 12}, // s = 8
      {105, 100, 50}, // s = 9: the other three-column variant
      {111, 7, 127},  // s = 15
      {64, 0, 0},     // the left bound, the top line
      {228, 168, 90}, // the right bound (225 + 3), the bottom line
      {163, 120, 33},
  };
  for (const auto& c : cases) {
    SetUp();
    random_background(c.x * 1000 + c.y);
    place(player1, c.x, c.y, c.frame);
    std::vector<u8> want = screen_bytes();
    reference_draw(want, c.frame, c.x, c.y);
    draw(player1);
    const std::vector<u8> got = screen_bytes();
    for (u32 i = 0; i < screen_span; ++i)
      if (got[i] != want[i]) {
        ADD_FAILURE() << "x " << c.x << " y " << c.y << ": screen byte " << i << " (line " << i / 160 << ")";
        break;
      }
    EXPECT_EQ(rd16(blit_line_count), 0u);
  }
}

TEST_F(PlayerDrawing, OnAColumnsEdgeTheWordsRightOfTheSpriteStay) {
  random_background(7);
  place(player1, 96, 50, 5);
  std::vector<u8> before = screen_bytes();
  draw(player1);
  for (u32 line = 50; line < 75; ++line)
    for (u32 i = 0; i < 8; ++i) {
      const u32 at = line * 160 + 8 * 8 + i; // column 8, right of columns 6 and 7
      EXPECT_EQ(rd8(screen + at), before[at]) << "line " << line;
    }
}

TEST_F(PlayerDrawing, ShiftsEightAndNineDrawTheSamePictureOnePixelApart) {
  for (u32 x : {104u, 105u}) {
    SetUp();
    clear_screen();
    place(player1, x, 60, 21);
    draw(player1);
    for (u32 line = 0; line < 25; ++line)
      for (u32 px = 0; px < 32; ++px)
        ASSERT_EQ(screen_pixel(screen, 60 + line, x + px), player_frame_pixel(21, line, px)) << x;
  }
}

TEST_F(PlayerDrawing, APlayerOutOfPlayIsNotDrawnAndItsCountdownsStay) {
  random_background(3);
  place(player1, 120, 60, 5);
  wr16(player1 + pr::lives, 0);
  wr16(player1 + pr::hide, 5);
  wr16(player1 + pr::blink, 7);
  const std::vector<u8> before = screen_bytes();
  draw(player1);
  EXPECT_EQ(screen_bytes(), before);
  EXPECT_EQ(rd16(player1 + pr::hide), 5u);
  EXPECT_EQ(rd16(player1 + pr::blink), 7u);
}

TEST_F(PlayerDrawing, HiddenTwentyFramesThenBlinkingTwoShownTwoHidden) {
  place(player2, 130, 80, 9);
  wr16(player2 + pr::hide, 20);
  wr16(player2 + pr::blink, 80);
  std::vector<int> shown, want;
  for (int f = 0; f < 104; ++f) {
    clear_screen();
    draw(player2);
    shown.push_back(screen_touched());
    const int b = f - 20; // blink frames: the countdown after this frame's step is 79 - b
    want.push_back(f < 20 ? 0 : b < 80 ? ((79 - b) & 2) != 0 : 1);
  }
  EXPECT_EQ(shown, want);
  EXPECT_EQ(shown[20], 1) << "79: shown";
  EXPECT_EQ(shown[99], 0) << "the last blink frame (0) is hidden";
  EXPECT_EQ(rd16(player2 + pr::hide), 0u);
  EXPECT_EQ(rd16(player2 + pr::blink), 0u);
}

// --- order and hooks ---------------------------------------------------------------

struct unit_entry {
  u32 a4, exit;
  std::vector<u8> screen;
};
std::vector<unit_entry> entries;
std::vector<u32> fired; // hook addresses in order
std::vector<std::string> drawing_faults;

void at_unit_entry(u32 address) {
  fired.push_back(address);
  entries.push_back({a4, rd32(a7), screen_bytes()});
}

// At a unit's exit: only the bytes of that player's sprite (lines y to
// y + 24, the three columns from x / 16) changed since its entry.
void at_unit_exit(u32 address) {
  fired.push_back(address);
  if (entries.empty() || entries.back().exit != address) {
    drawing_faults.push_back("an exit without its entry");
    return;
  }
  const unit_entry& e = entries.back();
  if (a4 != e.a4) drawing_faults.push_back("a4 changed between entry and exit");
  const u32 x = rd16(a4 + pr::x), y = rd16(a4 + pr::y);
  for (u32 i = 0; i < screen_span; ++i) {
    if (rd8(screen + i) == e.screen[i]) continue;
    const u32 line = i / 160, column = i % 160 / 8;
    if (line < y || line >= y + 25 || column < x / 16 || column > x / 16 + 2) {
      drawing_faults.push_back("drawn outside the player at byte " + std::to_string(i));
      return;
    }
  }
}

class PlayerOrder : public PlayerDrawing {
 protected:
  void SetUp() override {
    PlayerDrawing::SetUp();
    entries.clear();
    fired.clear();
    drawing_faults.clear();
    hook_register(draw_player, at_unit_entry);
    for (u32 exit : {hook_first_p1, hook_first_p2, hook_players_done}) hook_register(exit, at_unit_exit);
  }
};

TEST_F(PlayerOrder, TheHigherPlayerFirstAndTheLowerOneOverIt) {
  struct {
    u32 y1, y2;
    u32 first, first_hook;
  } cases[] = {
      {60, 50, player2, hook_first_p2},
      {50, 60, player1, hook_first_p1},
      {55, 55, player1, hook_first_p1}, // equal: player 1 first
      {0, 168, player1, hook_first_p1},
      {168, 0, player2, hook_first_p2},
  };
  for (const auto& c : cases) {
    SetUp();
    random_background(c.y1 * 7 + c.y2);
    place(player1, 100, c.y1, 3);
    place(player2, 104, c.y2, 88);
    std::vector<u8> want = screen_bytes();
    const u32 second = c.first == player1 ? player2 : player1;
    reference_draw(want, rd16(c.first + pr::frame), rd16(c.first + pr::x), rd16(c.first + pr::y));
    reference_draw(want, rd16(second + pr::frame), rd16(second + pr::x), rd16(second + pr::y));
    ASSERT_EQ(run_mission_routine(draw_players), 1);
    EXPECT_EQ(screen_bytes(), want) << c.y1 << " " << c.y2;
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].a4, c.first);
    EXPECT_EQ(entries[0].exit, c.first_hook) << "the long at a7: where the unit ends";
    EXPECT_EQ(entries[1].a4, second);
    EXPECT_EQ(entries[1].exit, 0xC0FF06u) << "entered by a jump: the caller's return";
    EXPECT_EQ(fired, (std::vector<u32>{draw_player, c.first_hook, draw_player}));
    EXPECT_EQ(g_cpu.a[4], second);
    EXPECT_EQ(rd16(current_player), second == player2 ? 1u : 0u);
    EXPECT_TRUE(drawing_faults.empty()) << drawing_faults.front();
  }
}

// In the vertical frame loop the second player's drawing ends at $8FC6,
// with a4 at the player drawn last.
TEST_F(PlayerOrder, InTheFrameLoopTheSecondUnitEndsAtTheLoopsHook) {
  for (bool p2_higher : {true, false}) {
    SetUp();
    random_background(11);
    place(player1, 150, p2_higher ? 170 : 165, 41);
    place(player2, 90, p2_higher ? 165 : 170, 1); // low on the screen: the scroll holds
    wr16(scroll_pos, 300);
    wr16(exit_request, 0xFFFF);
    driver_start(0x008EAC);
    driver_run(20, 2000000, mission_vbl);
    ASSERT_TRUE(driver_finished());
    const u32 first = p2_higher ? player2 : player1, last = p2_higher ? player1 : player2;
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].a4, first);
    EXPECT_EQ(entries[0].exit, p2_higher ? hook_first_p2 : hook_first_p1);
    EXPECT_EQ(entries[1].a4, last);
    EXPECT_EQ(entries[1].exit, hook_players_done);
    EXPECT_EQ(fired.back(), hook_players_done);
    EXPECT_TRUE(drawing_faults.empty()) << drawing_faults.front();
  }
}

// --- resumption -----------------------------------------------------------------------

TEST_F(PlayerOrder, DrawingResumesAtEveryLineLoop) {
  struct {
    u32 x1, x2;
  } roads[] = {{96, 105}, {101, 112}, {127, 64}};
  for (const auto& r : roads) {
    SetUp();
    hooks_clear();
    random_background(r.x1);
    place(player1, r.x1, 60, 4);
    place(player2, r.x2, 90, 70);
    EXPECT_TRUE(resumes_alike({.entry = draw_players}));
  }
}

} // namespace
