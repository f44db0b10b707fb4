// A player's death and respawn: the start ($AA42) with the host's
// invulnerability switch, the death step ($AA2E) to the respawn, and the
// timing of a bullet death through whole game frames (bullets, the
// players' pass and their drawing), on the synthetic death lists.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "game/shot_ram.h"
#include "support/machine/interrupt_check.h"
#include "support/tables/mission_builder.h"
#include "support/machine/mission_machine.h"
#include "support/tables/shot_tables.h"

namespace {

namespace pr = player_record;

constexpr u32 start_death = 0x00AA42;
constexpr u32 death_step = 0x00AA2E;

std::array<u32, 16> registers() { return {d0, d1, d2, d3, d4, d5, d6, d7, a0, a1, a2, a3, a4, a5, a6, a7}; }

class Death : public MissionTest {
 protected:
  void SetUp() override {
    MissionTest::SetUp();
    shot_tables{}.put_in_ram();
    g_cpu.patch_flags[0] = 0;
  }
  void TearDown() override {
    g_cpu.patch_flags[0] = 0;
    MissionTest::TearDown();
  }

  void call(u32 entry, u32 record, u32 player_index) {
    wr16(current_player, player_index);
    a4 = record;
    sync_regs_out();
    ASSERT_EQ(run_routine(entry), 1);
    sync_regs_in();
  }
};

TEST_F(Death, TheStartByFacingAndByCurrentPlayer) {
  struct {
    u32 facing, player_index;
    u32 list, offset;
  } cases[] = {
      {0, 0, death_list_1, 0}, {1, 0, death_list_1, 4}, {2, 1, death_list_2, 6},
      {8, 1, death_list_2, 8}, {5, 0, death_list_1, 0}, {1, 1, death_list_2, 4}, {4, 0, death_list_1, 5},
  };
  wr32(level_map_pointer, 0x00073C10); // the word after current_player, as in a mission
  for (const auto& c : cases) {
    wr8(player1 + pr::facing, c.facing);
    wr16(player1 + pr::state, 0);
    wr16(player1 + pr::hide, 7);
    fill_register_patterns();
    sync_regs_in();
    a4 = player1;
    const std::array<u32, 16> before = registers();
    call(start_death, player1, c.player_index);
    EXPECT_EQ(registers(), before) << "facing " << c.facing;
    EXPECT_EQ(rd16(player1 + pr::state), 0xFFFFu);
    EXPECT_EQ(rd32(player1 + pr::death_next), c.list + c.offset) << "facing " << c.facing << " player " << c.player_index;
    EXPECT_EQ(rd16(player1 + pr::hide), 0u);
  }
}

TEST_F(Death, InvulnerableNothingChangesRegistersIncluded) {
  wr8(player2 + pr::facing, 1);
  wr16(player2 + pr::hide, 7);
  wr32(player2 + pr::death_next, 0x12345);
  g_cpu.patch_flags[0] = 1;
  std::vector<u8> record(156);
  for (u32 i = 0; i < 156; ++i) record[i] = rd8(player2 + i);
  fill_register_patterns();
  sync_regs_in();
  const u32 stack_word = rd32(a7 - 8);
  a4 = player2;
  const std::array<u32, 16> before = registers();
  call(start_death, player2, 1);
  EXPECT_EQ(registers(), before);
  for (u32 i = 0; i < 156; ++i) EXPECT_EQ(rd8(player2 + i), record[i]) << "byte +" << i;
  EXPECT_EQ(rd32(a7 - 8), stack_word) << "nothing saved";
}

TEST_F(Death, OneFrameByteAStepThenTheRespawn) {
  struct {
    u32 record, player_index, facing, lives;
    std::vector<u32> frames;
    u32 standing;
  } cases[] = {
      {player1, 0, 0, 3, {60, 61, 62}, 40},
      {player2, 1, 1, 2, {23, 24}, 0},
      {player2, 1, 2, 4, {}, 0},   // an offset on an end byte respawns at once
      {player1, 0, 1, 1, {63, 64}, 40}, // the last life
      {player1, 1, 0, 3, {20, 21, 22}, 0}, // current_player 1 with player 1's record
  };
  for (const auto& c : cases) {
    SetUp();
    wr16(c.record + pr::lives, c.lives);
    wr16(c.record + pr::x, 111);
    wr16(c.record + pr::y, 77);
    wr16(c.record + pr::frame, 5);
    wr8(c.record + pr::facing, c.facing);
    wr8(c.record + pr::facing + 1, 0x5A); // the byte after the facing
    call(start_death, c.record, c.player_index);
    for (u32 f : c.frames) {
      call(death_step, c.record, c.player_index);
      EXPECT_EQ(rd16(c.record + pr::frame), f);
      EXPECT_EQ(rd16(c.record + pr::state), 0xFFFFu);
      EXPECT_EQ(d0, f) << "the byte read";
      EXPECT_EQ(a0, rd32(c.record + pr::death_next));
    }
    const u32 end_at = rd32(c.record + pr::death_next);
    call(death_step, c.record, c.player_index);
    EXPECT_EQ(rd16(c.record + pr::lives), c.lives - 1);
    EXPECT_EQ(rd16(c.record + pr::blink), 80u);
    EXPECT_EQ(rd16(c.record + pr::state), 0u);
    EXPECT_EQ(rd16(c.record + pr::frame), c.standing);
    EXPECT_EQ(rd16(c.record + pr::hide), 20u);
    EXPECT_EQ(rd8(c.record + pr::facing), 0u);
    EXPECT_EQ(rd8(c.record + pr::facing + 1), 0x5Au) << "only the facing byte";
    EXPECT_EQ(rd32(c.record + pr::death_next), end_at) << "left on the end byte";
    EXPECT_EQ(rd16(c.record + pr::x), 111u);
    EXPECT_EQ(rd16(c.record + pr::y), 77u);
  }
}

// ---- timing through game frames ------------------------------------------------------

constexpr u32 bullets_step = 0x006950;
constexpr u32 players_pass = 0x00922E;
constexpr u32 draw_players = 0x005946;

struct frame_seen {
  bool bullet_passed;
  u32 state, frame, hide, blink;
};

// One game frame with a hostile bullet on player 1: the bullets, the
// players' pass, their drawing.
frame_seen game_frame() {
  const u32 b = bullet_table.address;
  wr16(b + bullet::x, rd16(player1 + pr::x) + 36 + 10);
  wr16(b + bullet::y, rd16(player1 + pr::y) + 100 + 5);
  wr16(b + bullet::dx, 0);
  wr16(b + bullet::dy, 0);
  wr16(b + bullet::owner, 0xFFFF);
  wr16(b + bullet::life, 5);
  wr16(b + bullet::live, 0xFFFF);
  for (u32 entry : {bullets_step, players_pass, draw_players}) {
    sync_regs_out();
    EXPECT_EQ(run_routine(entry), 1) << std::hex << entry;
    sync_regs_in();
  }
  return {rd16(b + bullet::live) != 0, rd16(player1 + pr::state), rd16(player1 + pr::frame), rd16(player1 + pr::hide),
          rd16(player1 + pr::blink)};
}

TEST_F(Death, ABulletDeathShowsAtOnceThenHiddenAndBlinkingFramesLetBulletsPass) {
  player_tables{}.put_in_ram();
  wr16(player1 + pr::lives, 3);
  wr16(player1 + pr::x, 100);
  wr16(player1 + pr::y, 100);
  wr8(player1 + pr::facing, 1); // offset 4: two frames, 63 and 64
  wr8(player1 + pr::facing_before, 1);

  frame_seen f = game_frame();
  EXPECT_FALSE(f.bullet_passed);
  EXPECT_EQ(f.state, 0xFFFFu);
  EXPECT_EQ(f.frame, 63u) << "the first frame in the same game frame";
  f = game_frame();
  EXPECT_TRUE(f.bullet_passed) << "dying";
  EXPECT_EQ(f.frame, 64u);
  int passed = 0;
  for (int frame = 3; frame < 200; ++frame) {
    f = game_frame();
    if (frame == 3) {
      EXPECT_EQ(f.state, 0u) << "the end byte in frame n + 1";
      EXPECT_EQ(rd16(player1 + pr::lives), 2u);
    }
    if (!f.bullet_passed) break;
    ++passed;
  }
  EXPECT_EQ(passed, 20 + 80) << "hidden 20 frames (the first with the end byte), then blinking 80";
  EXPECT_EQ(f.state, 0xFFFFu) << "the next hit";

  // The switch set between slices acts at the next hit, and cleared too.
  for (int frame = 0; frame < 200 && rd16(player1 + pr::lives) == 2; ++frame) game_frame();
  ASSERT_EQ(rd16(player1 + pr::lives), 1u);
  while (rd16(player1 + pr::blink) != 0 || rd16(player1 + pr::hide) != 0) game_frame();
  g_cpu.patch_flags[0] = 1;
  f = game_frame();
  EXPECT_FALSE(f.bullet_passed) << "the bullet still strikes";
  EXPECT_EQ(f.state, 0u) << "no death";
  g_cpu.patch_flags[0] = 0;
  f = game_frame();
  EXPECT_EQ(f.state, 0xFFFFu);
}

} // namespace
