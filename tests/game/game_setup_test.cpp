// The game's and each mission's set-up before the map (page $9000) and
// the shot pictures' pre-shift of the game start (page $5000).
#include <gtest/gtest.h>

#include <vector>

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "support/machine/mission_machine.h"
#include "support/machine/resume_check.h"

namespace {

constexpr u32 starts = 0x91C4;
constexpr u32 rec_x = 0x02, rec_third = 0x06, rec_money = 0x58, rec_36 = 0x36;

class GameSetUp : public MissionTest {
 protected:
  void SetUp() override {
    MissionTest::SetUp();
    const u16 table[6] = {100, 150, 7, 200, 160, 9};
    for (u32 i = 0; i < 6; ++i) wr16(starts + 2 * i, table[i]);
  }
  static u32 field(u32 player, u32 offset) { return rd16(player + offset); }
};

TEST_F(GameSetUp, TheCountersStartBeforeTheFirstSection) {
  wr16(level_section, 5);
  wr16(stream_section, 6);
  ASSERT_EQ(run_routine(0x009048), 1);
  EXPECT_EQ(rd16(level_section), 0xFFFFu);
  EXPECT_EQ(rd16(stream_section), 0xFFFFu);
}

TEST_F(GameSetUp, ANewGameGivesThreeLivesMoneyAndTheStartPlaces) {
  for (bool two : {false, true}) {
    SetUp();
    wr16(two_player_flag, two ? 0xFFFF : 0);
    for (u32 p : {player1, player2}) {
      wr16(p + 0x0C, 4);
      wr8(p + player_record::fire, 0xFF);
      wr16(p + 0x96, 3);
    }
    ASSERT_EQ(run_routine(0x0090C2), 1);
    EXPECT_EQ(field(player1, player_record::lives), 3u);
    EXPECT_EQ(rd32(player1 + rec_money), 10000u);
    EXPECT_EQ(field(player1, 0x44), 2u);
    EXPECT_EQ(field(player1, 0x0C), 0u);
    EXPECT_EQ(rd8(player1 + player_record::fire), 0u);
    EXPECT_EQ(field(player1, 0x96), 0u);
    if (two) {
      EXPECT_EQ(field(player1, rec_x), 200u) << "player 1 takes entry 1";
      EXPECT_EQ(field(player1, player_record::y), 160u);
      EXPECT_EQ(field(player1, rec_third), 9u);
      EXPECT_EQ(field(player2, rec_x), 100u);
      EXPECT_EQ(field(player2, rec_third), 7u);
      EXPECT_EQ(field(player2, player_record::lives), 3u);
      EXPECT_EQ(rd32(player2 + rec_money), 10000u);
    } else {
      EXPECT_EQ(field(player1, rec_x), 146u) << "a lone player starts mid-field";
      EXPECT_EQ(field(player1, player_record::y), 150u);
      EXPECT_EQ(field(player1, rec_third), 40u);
      EXPECT_EQ(field(player2, player_record::lives), 0u) << "player 2 untouched";
      EXPECT_EQ(field(player2, 0x0C), 4u);
    }
  }
}

TEST_F(GameSetUp, EachMissionTopsUpLivesAndCentresTheOnePlayerLeft) {
  struct row {
    u32 lives1, lives2;
    u32 after1, after2;
    u32 x1, x2;
  };
  const row rows[] = {
      {1, 2, 3, 3, 200, 100},     // both topped up, start places
      {5, 3, 5, 3, 200, 100},     // more than three stay
      {0, 2, 0, 3, 200, 146},     // player 1 out: player 2 to the middle
      {2, 0, 3, 0, 146, 100},     // player 2 out: player 1 to the middle
      {0xFFFF, 1, 0xFFFF, 3, 200, 100},
  };
  for (const row& r : rows) {
    SetUp();
    wr16(two_player_flag, 0xFFFF);
    wr16(player1 + player_record::lives, r.lives1);
    wr16(player2 + player_record::lives, r.lives2);
    wr16(player1 + player_record::plate_latch, 0xFF00);
    wr32(player1 + rec_money, 1234);
    ASSERT_EQ(run_routine(0x009134), 1);
    EXPECT_EQ(field(player1, player_record::lives), r.after1) << r.lives1 << "/" << r.lives2;
    EXPECT_EQ(field(player2, player_record::lives), r.after2) << r.lives1 << "/" << r.lives2;
    EXPECT_EQ(field(player1, rec_x), r.x1) << r.lives1 << "/" << r.lives2;
    EXPECT_EQ(field(player2, rec_x), r.x2) << r.lives1 << "/" << r.lives2;
    EXPECT_EQ(field(player2, rec_third), r.lives1 == 0 ? 0u : 7u);
    EXPECT_EQ(field(player1, rec_third), r.lives2 == 0 ? 40u : 9u);
    EXPECT_EQ(field(player1, player_record::plate_latch), 0u);
    EXPECT_EQ(field(player1, rec_36), 1u);
    EXPECT_EQ(rd32(player1 + rec_money), 1234u) << "money stays";
  }
}

TEST_F(GameSetUp, TheObjectTablesAreClearedToTheirLastByte) {
  for (u32 a = 0x400; a < 0x1DD0; ++a) wr8(a, 0xA5);
  ASSERT_EQ(run_routine(0x0091D0), 1);
  EXPECT_EQ(rd8(0x411), 0xA5u);
  for (u32 a = 0x412; a <= 0x1DC2; ++a) ASSERT_EQ(rd8(a), 0u) << std::hex << a;
  EXPECT_EQ(rd8(0x1DC3), 0xA5u);
}

TEST_F(GameSetUp, ResumesAtEveryLabel) {
  wr16(two_player_flag, 0xFFFF);
  for (u32 e : {0x0090C2u, 0x009134u, 0x0091D0u}) EXPECT_TRUE(resumes_alike({.entry = e})) << std::hex << e;
}

// --- the shot pictures' pre-shift -------------------------------------------------

constexpr u32 shots = 0x04694A, copy_bytes = 1566;

TEST_F(GameSetUp, EachShotCopyIsThePreviousMovedOnePixel) {
  // Line 0: plane 0 $8000; line 1: plane 0 bit 0 (pixel 15); line 2: all
  // three planes' pixel 15.
  wr16(shots + 0, 0x8000);
  wr16(shots + 6, 0x0001);
  wr16(shots + 12, 0x0001);
  wr16(shots + 14, 0x0001);
  wr16(shots + 16, 0x0001);
  wr16(shots + copy_bytes - 2, 0xFFFF); // the last group of copy 0
  ASSERT_EQ(run_routine(0x005FFE), 1);
  const u32 c1 = shots + copy_bytes;
  EXPECT_EQ(rd16(c1 + 0), 0x4000u);
  EXPECT_EQ(rd16(c1 + 2), 0u);
  EXPECT_EQ(rd16(c1 + 4), 0u);
  EXPECT_EQ(rd16(c1 + 6), 0u);
  EXPECT_EQ(rd16(c1 + 8), 0x8000u) << "pixel 15 of plane 0 into pixel 0 of plane 1";
  EXPECT_EQ(rd16(c1 + 12), 0u);
  EXPECT_EQ(rd16(c1 + 14), 0x8000u);
  EXPECT_EQ(rd16(c1 + 16), 0u) << "plane 2 drops its pixel 15";
  EXPECT_EQ(rd16(c1 + copy_bytes - 2), 0x7FFFu);
  for (u32 k = 2; k <= 7; ++k) EXPECT_EQ(rd16(shots + k * copy_bytes), 0x8000u >> k) << k;
  EXPECT_EQ(rd16(shots + 7 * copy_bytes + copy_bytes - 2), 0x01FFu);
  EXPECT_EQ(rd16(shots + 8 * copy_bytes), 0u) << "nothing past copy 7";
  // Again: the same copies.
  const std::vector<u8> once(ram + shots, ram + shots + 8 * copy_bytes);
  ASSERT_EQ(run_routine(0x005FFE), 1);
  EXPECT_TRUE(std::equal(once.begin(), once.end(), ram + shots));
  EXPECT_TRUE(resumes_alike({.entry = 0x005FFE}));
}

} // namespace
