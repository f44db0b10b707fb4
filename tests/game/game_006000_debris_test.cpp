// Debris: the spawner ($63A4), the per-frame pass ($63DE) and one piece
// ($6408), on synthetic debris pictures.
#include <gtest/gtest.h>

#include <vector>

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "game/vertical_objects_ram.h"
#include "support/tables/ground_objects.h"
#include "support/machine/interrupt_check.h"
#include "support/machine/mission_machine.h"
#include "support/machine/resume_check.h"
#include "support/machine/resumption_check.h"
#include "support/machine/screen_check.h"

namespace {

constexpr u32 spawn = 0x0063A4;
constexpr u32 pass = 0x0063DE;

u32 rec(u32 i) { return debris_table.address + debris_table.size * i; }

int run(u32 entry) { return run_routine_with_regs(entry); }

void spawn_at(u32 x, u32 y, u32 delay) {
  d0 = x;
  d1 = y;
  d2 = delay;
  ASSERT_EQ(run(spawn), 1);
}

std::array<u16, 4> debris_group(u32 frame, u32 line, u32 group) {
  std::array<u16, 4> g;
  for (u32 p = 0; p < 4; ++p) g[p] = picture_word(ground_picture::debris, frame, line, group, p);
  return g;
}

// Whether frame f is drawn from picture line `first` at screen line `top`
// for `lines` lines, on the groups from `group`, and nothing else.
::testing::AssertionResult drawn(u32 frame, u32 first, u32 top, u32 lines, u32 group) {
  for (u32 l = 0; l < lines; ++l)
    for (u32 g = 0; g < 3; ++g)
      if (auto r = masked_at(top + l, group + g, debris_group(frame, first + l, g)); !r) return r;
  for (u32 offset : changed_words()) {
    const u32 line = offset / 160, g = offset % 160 / 8;
    if (line < top || line >= top + lines || g < group || g >= group + 3)
      return ::testing::AssertionFailure() << "word " << offset << " changed outside the picture";
  }
  return ::testing::AssertionSuccess();
}

class Debris : public MissionTest {
 protected:
  void SetUp() override {
    MissionTest::SetUp();
    ground_objects g;
    ASSERT_TRUE(g.put_in_ram()) << g.error;
  }
};

TEST_F(Debris, TheSpawnerTakesTheFirstFreeRecordAndKeepsTheRegisters) {
  wr16(rec(0), 0xFFFF);
  for (u32 i = 2; i < debris_table.size; i += 2) wr16(rec(1) + i, 0x0404); // a former piece's words
  fill_register_patterns();
  d0 = 150;
  d1 = 170;
  d2 = 7;
  const u32 a3_before = a3, d7_before = d7;
  ASSERT_EQ(run(spawn), 1);
  const std::array<u32, 6> words = {0xFFFF, 150, 170, 0, 3, 7};
  for (u32 i = 0; i < words.size(); ++i) EXPECT_EQ(rd16(rec(1) + 2 * i), words[i]) << "word +" << 2 * i;
  EXPECT_EQ(d0, 150u);
  EXPECT_EQ(a3, a3_before);
  EXPECT_EQ(d7, d7_before);
}

TEST_F(Debris, ASixteenthPieceIsDropped) {
  for (u32 i = 0; i < 15; ++i) spawn_at(100 + i, 150, 0);
  spawn_at(200, 150, 0);
  for (u32 i = 0; i < 15; ++i) EXPECT_EQ(rd16(rec(i) + 2), 100 + i);
  EXPECT_EQ(rd16(debris_table.address + 15 * debris_table.size), 0u) << "the projectile table after it";
}

TEST_F(Debris, AfterItsDelayAPieceShowsFiveFramesOfThreeCalls) {
  spawn_at(164, 150, 5); // screen column 128: group 8
  std::vector<int> shown;
  for (int call = 1; call <= 21; ++call) {
    fill_background();
    ASSERT_EQ(run(pass), 1);
    if (!changed_words().empty()) {
      const u32 frame = static_cast<u32>(call - 6) / 3;
      EXPECT_TRUE(drawn(frame, 0, 50, 40, 8)) << "call " << call;
      shown.push_back(call);
    }
    if (call == 20) {
      EXPECT_EQ(rd16(rec(0)), 0u) << "free after the 20th";
    }
  }
  std::vector<int> want;
  for (int c = 6; c <= 20; ++c) want.push_back(c);
  EXPECT_EQ(shown, want);
}

TEST_F(Debris, PiecesAreClippedToThePlayFieldLines) {
  struct line_case {
    u32 y, first, top, lines;
    bool live;
  };
  for (const line_case c : {line_case{60, 0, 0, 0, true}, {61, 39, 0, 1, true}, {99, 1, 0, 39, true},
                            {260, 0, 160, 40, true}, {290, 0, 190, 10, true}, {300, 0, 200, 0, true},
                            {301, 0, 0, 0, false}}) {
    SCOPED_TRACE(testing::Message() << "y " << c.y);
    for (u32 i = 0; i < debris_table.size; ++i) wr8(rec(0) + i, 0);
    spawn_at(164, c.y, 0);
    fill_background();
    ASSERT_EQ(run(pass), 1);
    EXPECT_TRUE(drawn(0, c.first, c.top, c.lines, 8));
    EXPECT_EQ(rd16(rec(0)), c.live ? 0xFFFFu : 0u);
    EXPECT_EQ(rd16(rec(0) + 8), c.live ? 2u : 3u) << "the animation steps unless freed";
  }
}

TEST_F(Debris, APieceAboveTheFieldStillAnimatesAndFreesItself) {
  spawn_at(164, 20, 0);
  for (int call = 1; call <= 15; ++call) {
    fill_background();
    ASSERT_EQ(run(pass), 1);
    EXPECT_TRUE(changed_words().empty());
  }
  EXPECT_EQ(rd16(rec(0)), 0u);
}

TEST_F(Debris, TheColumnIsClampedToTheFieldAndTakenByGroup) {
  struct column_case {
    u32 x, group;
  };
  for (const column_case c : {column_case{20, 4}, {99, 4}, {100, 4}, {115, 4}, {116, 5}, {244, 13}, {250, 13},
                              {0xFFF0, 13}}) {
    SCOPED_TRACE(testing::Message() << "x " << c.x);
    for (u32 i = 0; i < debris_table.size; ++i) wr8(rec(0) + i, 0);
    spawn_at(c.x, 150, 0);
    fill_background();
    ASSERT_EQ(run(pass), 1);
    EXPECT_TRUE(drawn(0, 0, 50, 40, c.group));
  }
}

void prepare_pieces() {
  machine_clear();
  mission_machine_reset();
  ground_objects g;
  g.put_in_ram();
  for (u32 i = 0; i < 15; ++i) {
    const u32 r = rec(i);
    wr16(r, 0xFFFF);
    wr16(r + 2, 100 + 10 * i);
    wr16(r + 4, 70 + 17 * i);
    wr16(r + 6, i % 5);
    wr16(r + 8, 1 + i % 3);
    wr16(r + 10, i % 4 == 0 ? 2 : 0);
  }
}

TEST_F(Debris, ThePassResumesFromASavedState) {
  const resumption_result r = check_resumption(prepare_pieces, pass, 20, 4);
  EXPECT_GE(r.yields, 4);
  EXPECT_TRUE(r.sliced_same) << r.first_difference;
  EXPECT_TRUE(r.resumed_same) << r.first_difference;
}

TEST_F(Debris, EveryRoadResumesAtEveryLabel) {
  for (u32 entry : {pass}) {
    prepare_pieces();
    EXPECT_TRUE(resumes_alike({.entry = entry})) << std::hex << entry;
  }
}

} // namespace
