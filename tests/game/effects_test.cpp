// The effects: placed ($B6A6), striking enemies and players, moved and aged
// ($B944), drawn with their clipping ($B6EA, $B728 and its two cores), on
// the mission machine.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "machine/hooks.h"
#include "support/machine/dispatch_check.h"
#include "support/tables/dot_effect_tables.h"
#include "support/machine/mission_machine.h"
#include "support/machine/resumption_check.h"
#include "support/machine/screen_bytes.h"
#include "support/synthetic/st_planes.h"

namespace {

namespace pr = player_record;

constexpr u32 place = 0x00B6A6;
constexpr u32 update = 0x00B944;
constexpr u32 draw_all = 0x00B6EA;
constexpr u32 draw_one = 0x00B728;
constexpr u32 pan_site = 0x00B9CC;
constexpr u32 hook_turn = 0x00B6F2;
constexpr u32 hook_turn_end = 0x00B6F8;

constexpr u32 anim_offsets = 0x00B20E;
constexpr u32 anim_data = 0x00B228;
constexpr u32 kills = 0x96;

u32 fx(u32 i) { return effect_table.address + i * effect_table.size; }
u32 enemy(u32 i) { return enemy_table.address + i * enemy_table.size; }

struct effect {
  u32 x, y;
  i32 dx = 0, dy = 0;
  u32 owner = 0, life = 100, age = 0;
};
void put_fx(u32 i, effect e) {
  wr16(fx(i), e.x);
  wr16(fx(i) + 2, e.y);
  wr16(fx(i) + 4, static_cast<u32>(e.dx));
  wr16(fx(i) + 6, static_cast<u32>(e.dy));
  wr16(fx(i) + 8, 0xFFFF);
  wr16(fx(i) + 0x0A, e.owner);
  wr16(fx(i) + 0x0C, e.life);
  wr16(fx(i) + 0x0E, e.age);
}
bool live(u32 i) { return rd16(fx(i) + 8) != 0; }

void put_enemy(u32 i, u32 x, u32 y, u32 frame = 5) {
  wr16(enemy(i), x);
  wr16(enemy(i) + 2, y);
  wr16(enemy(i) + 4, 1);
  wr16(enemy(i) + 8, frame);
  wr16(enemy(i) + 0x0C, 2);
  wr16(enemy(i) + 0x0E, 0xFFFD);
}
bool dying(u32 i) { return rd16(enemy(i) + 0x26) != 0; }

void in_play(u32 record, u32 x, u32 y) {
  wr16(record + pr::lives, 3);
  wr16(record + 0x52, 2); // the projectile pattern after the state word
  wr16(record + pr::x, x);
  wr16(record + pr::y, y);
}

// Whether the death of the player at `record` began in the run.
bool died(u32 record) {
  // The death's start points the record at its death frames (the state
  // word alone would count a player that was dying already).
  return rd32(record + 0x5C) != 0;
}

class Effects : public MissionTest {
 protected:
  void SetUp() override {
    MissionTest::SetUp();
    record_samples_b();
    for (u32 n = 0; n < 13; ++n) wr16(anim_offsets + 2 * n, 4 * n);
  }
  void run(u32 entry) { ASSERT_EQ(run_mission_routine(entry), 1) << "one slice, no wait"; }
};

TEST_F(Effects, NamedAddressesAreInTheDispatchTable) {
  expect_named_rows({
      {place, routine_entry, "sub_00B6A6"},
      {update, routine_entry, "sub_00B944"},
      {pan_site, resume_label, "sub_00B944"},
      {draw_all, routine_entry, "draw_effects"},
      {hook_turn, resume_label, "draw_effects"},
      {hook_turn_end, resume_label, "draw_effects"},
      {draw_one, routine_entry, "sub_00B728"},
      {0x00B7AE, routine_entry, "sub_00B7AE"},
      {0x00B7EC, routine_entry, "sub_00B7EC"},
  });
  EXPECT_EQ(game_hook_slot(hook_turn), 33);
  EXPECT_EQ(game_hook_slot(hook_turn_end), 34);
}

// --- placing ---------------------------------------------------------------------------

TEST_F(Effects, PlacingFillsTheFirstFreeRecordAndKeepsEveryRegister) {
  put_fx(0, {1, 1});
  put_fx(1, {1, 1});
  wr16(fx(2) + 0x0E, 7); // a stale age
  const u32 regs[15] = {0xA1B20096, 0xC3D400C8, 0x11110014, 0x2222FFFD, 0x33330004, 0x4444FFFF, 0x55556666,
                        0x77778888, 0x00ABCDE0, 0x00BCDEF0, 0x00CDEF00, 0x00DEF010, 0x00EF0120, 0x00F01230, 0x00012340};
  for (int r = 0; r < 8; ++r) g_cpu.d[r] = regs[r];
  for (int r = 0; r < 7; ++r) g_cpu.a[r] = regs[8 + r];
  run(place);
  EXPECT_EQ(rd16(fx(2)), 0x96u);
  EXPECT_EQ(rd16(fx(2) + 2), 0xC8u);
  EXPECT_EQ(rd16(fx(2) + 4), 0xFFFDu) << "dx from d3";
  EXPECT_EQ(rd16(fx(2) + 6), 0x0004u) << "dy from d4";
  EXPECT_EQ(rd16(fx(2) + 8), 0xFFFFu);
  EXPECT_EQ(rd16(fx(2) + 0x0A), 0xFFFFu) << "owner from d5";
  EXPECT_EQ(rd16(fx(2) + 0x0C), 0x0014u) << "life from d2";
  EXPECT_EQ(rd16(fx(2) + 0x0E), 0u) << "age";
  EXPECT_FALSE(live(3));
  for (int r = 0; r < 8; ++r) EXPECT_EQ(g_cpu.d[r], regs[r]) << "d" << r;
  for (int r = 0; r < 7; ++r) EXPECT_EQ(g_cpu.a[r], regs[8 + r]) << "a" << r;
  EXPECT_EQ(g_cpu.a[7], mission_stack);
}

TEST_F(Effects, ATwentySixthEffectIsDropped) {
  for (u32 i = 0; i < effect_table.records; ++i) put_fx(i, {1, 2});
  const u32 past = effect_table.address + effect_table.records * effect_table.size;
  g_cpu.d[0] = 150;
  run(place);
  for (u32 i = 0; i < effect_table.records; ++i) EXPECT_EQ(rd16(fx(i)), 1u) << i;
  for (u32 b = 0; b < 16; ++b) EXPECT_EQ(rd8(past + b), 0u) << "past the table, byte " << b;
}

// --- against enemies ----------------------------------------------------------------------

TEST_F(Effects, AnEnemyInTheBoxDiesAndEndsTheEffectsTurn) {
  struct {
    i32 ox, oy;
    u32 frame;
    bool hit;
    u32 animation;
  } cases[] = {
      {-14, -14, 16, true, 4}, {16, 21, 17, true, 11}, {0, 0, 0, true, 4},     {-15, 0, 5, false, 0},
      {17, 0, 5, false, 0},    {0, -15, 5, false, 0},  {0, 22, 5, false, 0},
  };
  for (const auto& c : cases) {
    SetUp();
    put_enemy(6, 150, 200, c.frame);
    // the other player stands in the effect's box: not tested in a turn
    // that killed an enemy
    in_play(player2, 150 - 44, 200 - 101);
    put_fx(2, {.x = static_cast<u32>(150 + c.ox), .y = static_cast<u32>(200 + c.oy), .dx = 3, .dy = 2});
    run(update);
    const std::string what = "offset " + std::to_string(c.ox) + "," + std::to_string(c.oy);
    EXPECT_EQ(dying(6), c.hit) << what;
    EXPECT_FALSE(live(2)) << what << ": freed by the enemy or by the player";
    EXPECT_EQ(died(player2), !c.hit) << what << ": the player test only after a miss";
    if (!c.hit) continue;
    EXPECT_EQ((rd32(enemy(6) + 0x14) - anim_data) / 4, c.animation) << what;
    EXPECT_EQ(rd16(enemy(6) + 0x0C), 0u) << what;
    EXPECT_EQ(rd16(enemy(6) + 0x0E), 0u) << what;
    EXPECT_EQ(rd16(fx(2)), static_cast<u32>(150 + c.ox)) << what << ": not moved";
    EXPECT_EQ(rd16(fx(2) + 0x0E), 0u) << what << ": not aged";
    EXPECT_FALSE(died(player2)) << what << ": no player test";
  }
}

TEST_F(Effects, OnlyLivingEnemiesOfTheFirst25RecordsAreHitTheFirstWins) {
  put_enemy(25, 150, 200);
  put_enemy(3, 150, 200);
  wr16(enemy(3) + 0x26, 0xFFFF);
  put_enemy(4, 150, 200);
  wr16(enemy(4) + 4, 0);
  put_fx(0, {.x = 150, .y = 200});
  run(update);
  EXPECT_FALSE(dying(25));
  EXPECT_TRUE(live(0));

  wr16(fx(0) + 8, 0);
  put_enemy(24, 150, 200); // the last one tested
  put_fx(24, {.x = 150, .y = 200}); // the last record
  run(update);
  EXPECT_TRUE(dying(24));
  EXPECT_FALSE(live(24));

  put_enemy(10, 150, 200);
  put_enemy(11, 150, 200);
  put_fx(0, {.x = 150, .y = 200});
  run(update);
  EXPECT_TRUE(dying(10));
  EXPECT_FALSE(dying(11));
}

TEST_F(Effects, TheKillIsHeardOnChannelBWithTheEffectInA4) {
  // random_seed bits 2 and 1 become bits 3 and 2 of the next value: s
  struct {
    u32 s, sample;
  } cases[] = {{0, 4}, {1, 4}, {2, 5}, {3, 6}};
  for (const auto& c : cases) {
    SetUp();
    wr32(random_seed, 0x100 | c.s << 1);
    put_enemy(0, 150, 200);
    in_play(player1, 10, 10);
    put_fx(4, {.x = 150, .y = 200});
    g_cpu.a[4] = player1; // left by an earlier routine
    run(update);
    ASSERT_EQ(samples_seen().size(), 1u) << "s " << c.s;
    EXPECT_EQ(samples_seen()[0].sample, c.sample) << "s " << c.s;
    EXPECT_EQ(samples_seen()[0].ret, pan_site);
    EXPECT_EQ(samples_seen()[0].a4, fx(4)) << "the host pans by the effect's x";
  }
}

TEST_F(Effects, AKillScoresForPlayerOwnersOnly) {
  struct {
    u32 owner;
    u32 score1, kills1, score2, kills2;
  } cases[] = {{0, 50, 1, 0, 0}, {1, 0, 0, 50, 1}, {2, 0, 0, 0, 0}, {0xFFFF, 0, 0, 0, 0}};
  for (const auto& c : cases) {
    SetUp();
    wr32(player1 + pr::score, 1000);
    wr32(player2 + pr::score, 2000);
    wr16(player1 + kills, 7);
    wr16(player2 + kills, 9);
    put_enemy(0, 150, 200);
    put_fx(0, {.x = 150, .y = 200, .owner = c.owner});
    run(update);
    EXPECT_EQ(rd32(player1 + pr::score), 1000 + c.score1) << "owner " << c.owner;
    EXPECT_EQ(rd16(player1 + kills), 7 + c.kills1) << "owner " << c.owner;
    EXPECT_EQ(rd32(player2 + pr::score), 2000 + c.score2) << "owner " << c.owner;
    EXPECT_EQ(rd16(player2 + kills), 9 + c.kills2) << "owner " << c.owner;
  }
}

// --- against players ---------------------------------------------------------------------------

TEST_F(Effects, APlayerInTheBoxDiesTheEffectEndsButStillMoves) {
  struct {
    i32 ox, oy;
    bool hit;
  } cases[] = {{27, 86, true}, {61, 123, true}, {26, 100, false}, {62, 100, false}, {40, 85, false}, {40, 124, false}};
  for (const auto& c : cases) {
    SetUp();
    in_play(player1, 120, 80);
    put_fx(1, {.x = static_cast<u32>(120 + c.ox), .y = static_cast<u32>(80 + c.oy), .dx = -2, .dy = 5, .owner = 1});
    run(update);
    const std::string what = "offset " + std::to_string(c.ox) + "," + std::to_string(c.oy);
    EXPECT_EQ(died(player1), c.hit) << what;
    EXPECT_EQ(live(1), !c.hit) << what;
    EXPECT_EQ(rd16(fx(1)), static_cast<u32>(120 + c.ox - 2)) << what << ": moved";
    EXPECT_EQ(rd16(fx(1) + 2), static_cast<u32>(80 + c.oy + 5)) << what;
    EXPECT_EQ(rd16(fx(1) + 0x0E), 1u) << what << ": aged";
  }
}

TEST_F(Effects, OwnersAreImmuneHostileEffectsKillBothPlayersInOneFrame) {
  struct {
    u32 owner;
    bool kills1, kills2;
  } cases[] = {{0, false, true}, {1, true, false}, {0xFFFF, true, true}};
  for (const auto& c : cases) {
    SetUp();
    in_play(player1, 120, 80);
    in_play(player2, 121, 81);
    put_fx(0, {.x = 120 + 40, .y = 80 + 100, .owner = c.owner});
    wr16(current_player, 1); // as the players' pass leaves it
    run(update);
    EXPECT_EQ(died(player1), c.kills1) << "owner " << c.owner;
    EXPECT_EQ(died(player2), c.kills2) << "owner " << c.owner;
    EXPECT_EQ(rd16(current_player), 1u) << "left at player 2";
  }
}

TEST_F(Effects, PlayersOutOfReachAreLeftAlone) {
  struct {
    const char* what;
    u32 field, value;
  } cases[] = {{"blinking", pr::blink, 5}, {"dying", pr::state, 0xFFFF}, {"no lives", pr::lives, 0}};
  for (const auto& c : cases) {
    SetUp();
    in_play(player2, 120, 80);
    wr16(player2 + c.field, c.value);
    put_fx(0, {.x = 160, .y = 180, .owner = 0xFFFF});
    run(update);
    EXPECT_FALSE(died(player2)) << c.what;
    EXPECT_TRUE(live(0)) << c.what;
  }
  SetUp();
  in_play(player1, 120, 80);
  wr16(dev_freerun, 1);
  put_fx(0, {.x = 160, .y = 180, .owner = 0xFFFF});
  run(update);
  EXPECT_FALSE(died(player1)) << "developer's free run";
  EXPECT_TRUE(live(0));
}

// --- the step ----------------------------------------------------------------------------------

TEST_F(Effects, AnEffectEndsAtAge12OrWhenItsLifeIsSpent) {
  struct {
    u32 life, frames; // frames until freed
  } cases[] = {{0, 1}, {1, 2}, {5, 6}, {10, 11}, {11, 12}, {12, 12}, {100, 12}};
  for (const auto& c : cases) {
    SetUp();
    put_fx(0, {.x = 150, .y = 200, .dx = 1, .dy = -1, .owner = 0, .life = c.life});
    u32 f = 0;
    while (live(0) && f < 20) {
      run(update);
      ++f;
    }
    EXPECT_EQ(f, c.frames) << "life " << c.life;
    EXPECT_EQ(rd16(fx(0)), 150 + f) << "life " << c.life;
    EXPECT_EQ(rd16(fx(0) + 2), 200 - f) << "life " << c.life;
  }
}

// --- drawing -----------------------------------------------------------------------------------

constexpr u32 screen = mission_draw_screen;
constexpr u32 screen_bytes = 201 * 160;

std::vector<u8> read_screen() { return read_bytes(screen, screen_bytes); }
void fill_background() { fill_pattern(screen, screen_bytes, 29, 8); }

// Picture n of an effect at (x, y) as the game draws it: in the play field
// (pixels 64-255, lines 0-199), odd x drawn one pixel left, but one pixel
// right (into the field) at the left edge; at the edges the top clip shows
// the picture's first lines instead of its last.
std::vector<u8> with_effect(std::vector<u8> s, u32 x, u32 y, u32 n) {
  const bool edge = x <= 99 || x > 276;
  const int column = static_cast<int>(x <= 99 ? (x + 1) & ~1u : x & ~1u) - 36;
  for (int r = 0; r < 16; ++r) {
    const int line = edge && y < 100 ? (r < static_cast<int>(y) - 84 ? r : -1) : static_cast<int>(y) - 100 + r;
    if (line < 0 || line > 199) continue;
    for (int j = 0; j < 16; ++j) {
      const int px = column + j;
      if (px < 64 || px > 255) continue;
      if (const u32 c = effect_picture_pixel(n, static_cast<u32>(r), static_cast<u32>(j)))
        st_set_pixel(s.data(), px, line, static_cast<int>(c));
    }
  }
  return s;
}

class EffectDrawing : public Effects {
 protected:
  void SetUp() override {
    Effects::SetUp();
    dot_effect_tables{}.put_in_ram();
    preshift_pictures();
    fill_background();
  }
};

TEST_F(EffectDrawing, PositionsAndClippingAgainstTheField) {
  struct {
    u32 x, y;
    bool kept;
  } cases[] = {
      // lines
      {150, 84, false}, {150, 85, true}, {150, 99, true}, {150, 100, true}, {150, 284, true}, {150, 285, true},
      {150, 299, true}, {150, 300, false}, {150, 0xFFF0, false},
      // columns
      {84, 150, false}, {85, 150, true}, {98, 150, true}, {99, 150, true}, {100, 150, true}, {101, 150, true},
      {276, 150, true}, {277, 150, true}, {282, 150, true}, {291, 150, true}, {292, 150, false},
      // every shift, odd x the even below
      {116, 120, true}, {118, 121, true}, {120, 122, true}, {122, 123, true}, {124, 124, true}, {126, 125, true},
      {128, 126, true}, {130, 127, true}, {131, 128, true}, {275, 200, true}, {260, 299, true},
      // the edges with the top clip: the picture's first lines
      {90, 90, true}, {285, 97, true}, {90, 290, true},
  };
  for (const auto& c : cases) {
    SetUp();
    put_fx(5, {.x = c.x, .y = c.y, .age = 3});
    wr16(fx_bank, 2);
    const std::vector<u8> before = read_screen();
    run(draw_all);
    const std::string what = "x " + std::to_string(c.x) + " y " + std::to_string(c.y);
    EXPECT_EQ(live(5), c.kept) << what;
    const std::vector<u8> want = c.kept ? with_effect(before, c.x, c.y, 3) : before;
    EXPECT_EQ(first_difference(read_screen(), want), "") << what;
  }
}

TEST_F(EffectDrawing, ThePictureFollowsTheAgeAndTheFrameParity) {
  struct {
    u32 age, bank, picture;
  } cases[] = {{0, 0, 0}, {0, 1, 1}, {5, 7, 6}, {10, 3, 11}, {11, 0, 11}, {11, 1, 10}, {11, 2, 11}};
  for (const auto& c : cases) {
    SetUp();
    put_fx(0, {.x = 170, .y = 150, .age = c.age});
    wr16(fx_bank, c.bank);
    const std::vector<u8> want = with_effect(read_screen(), 170, 150, c.picture);
    run(draw_all);
    EXPECT_EQ(first_difference(read_screen(), want), "") << "age " << c.age << " bank " << c.bank;
  }
}

// The host's "fx" capture: both hooks for every record, a6 the record, and
// between them nothing drawn outside that record's picture.
struct turn_seen {
  u32 hook, a6;
  bool outside_box;
};
std::vector<turn_seen> turns;
std::vector<u8> at_turn_start;
void turn_hook(u32 address) {
  if (address == hook_turn) {
    at_turn_start = read_screen();
    turns.push_back({address, a6, false});
    return;
  }
  const std::vector<u8> now = read_screen();
  const int left = static_cast<int>(rd16(a6)) - 36 - 1, top = static_cast<int>(rd16(a6 + 2)) - 100;
  bool outside = false;
  for (int line = 0; line < 200; ++line)
    for (int px = 0; px < 320; ++px)
      if (st_get_pixel(now.data(), px, line) != st_get_pixel(at_turn_start.data(), px, line))
        outside |= px < left || px > left + 17 || line < top || line > top + 15;
  turns.push_back({address, a6, outside});
}

TEST_F(EffectDrawing, EveryRecordsTurnIsSeenBetweenTheTwoHooks) {
  turns.clear();
  hook_register(hook_turn, turn_hook);
  hook_register(hook_turn_end, turn_hook);
  put_fx(0, {.x = 150, .y = 150});
  put_fx(3, {.x = 153, .y = 158, .age = 4});
  put_fx(24, {.x = 270, .y = 120, .age = 8});
  fill_background();
  const std::vector<u8> before = read_screen();
  run(draw_all);
  EXPECT_NE(read_screen(), before);
  ASSERT_EQ(turns.size(), 2 * effect_table.records);
  for (u32 i = 0; i < effect_table.records; ++i) {
    EXPECT_EQ(turns[2 * i].hook, hook_turn) << i;
    EXPECT_EQ(turns[2 * i].a6, fx(i)) << i;
    EXPECT_EQ(turns[2 * i + 1].hook, hook_turn_end) << i;
    EXPECT_EQ(turns[2 * i + 1].a6, fx(i)) << i;
    EXPECT_FALSE(turns[2 * i + 1].outside_box) << "record " << i;
  }
}

// --- resumption --------------------------------------------------------------------------

void prepare_busy_frame() {
  machine_clear();
  mission_machine_reset();
  for (u32 n = 0; n < 13; ++n) wr16(anim_offsets + 2 * n, 4 * n);
  dot_effect_tables{}.put_in_ram();
  preshift_pictures();
  for (u32 i = 0; i < 25; ++i) put_enemy(i, 100 + 9 * i, 100 + 7 * i, i);
  in_play(player1, 100, 60);
  in_play(player2, 180, 90);
  for (u32 i = 0; i < effect_table.records; ++i)
    put_fx(i, {.x = 86 + 8 * i, .y = 90 + 8 * i, .dx = 2, .dy = -1, .owner = i % 3, .life = i, .age = i % 12});
}

TEST(EffectsResumption, UpdateAndDrawingResumeFromASavedState) {
  for (u32 entry : {update, draw_all}) {
    for (int save_at : {1, 9, 30}) {
      const resumption_result r = check_resumption(prepare_busy_frame, entry, 3, save_at);
      EXPECT_GT(r.yields, 30) << std::hex << entry;
      EXPECT_TRUE(r.sliced_same) << r.first_difference;
      EXPECT_TRUE(r.resumed_same) << std::hex << entry << " saved at " << std::dec << save_at << ": "
                                  << r.first_difference;
    }
  }
  machine_clear();
}

} // namespace
