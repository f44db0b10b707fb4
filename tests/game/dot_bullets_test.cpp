// The dot bullets: fired by a player ($AB5C), struck, moved and burst
// ($AC5E), freed and drawn ($660C), on the mission machine. A burst is
// read from the explosion table and from the call of the explosion spawner.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "support/machine/call_trace.h"
#include "support/machine/dispatch_check.h"
#include "support/tables/dot_effect_tables.h"
#include "support/machine/mission_machine.h"
#include "support/machine/resumption_check.h"
#include "support/machine/screen_bytes.h"
#include "support/synthetic/st_planes.h"

namespace {

namespace pr = player_record;

constexpr u32 fire = 0x00AB5C;
constexpr u32 update = 0x00AC5E;
constexpr u32 draw = 0x00660C;
constexpr u32 explode = 0x006CA8;
constexpr u32 pan_site = 0x00ACF0;

constexpr u32 anim_offsets = 0x00B20E;
constexpr u32 anim_data = 0x00B228;
constexpr u32 kills = 0x96;

u32 dot(u32 i) { return dot_bullet_table.address + i * dot_bullet_table.size; }
u32 enemy(u32 i) { return enemy_table.address + i * enemy_table.size; }
u32 unit(u32 i) { return homing_unit_table.address + i * homing_unit_table.size; }
u32 boom(u32 i) { return explosion_table.address + i * explosion_table.size; }

struct shot {
  u32 x, y, range, owner;
  i32 dx = 0, dy = 0;
};
void put_dot(u32 i, shot s) {
  wr16(dot(i), s.x);
  wr16(dot(i) + 2, s.y);
  wr16(dot(i) + 4, 0xFFFF);
  wr16(dot(i) + 6, s.range);
  wr16(dot(i) + 8, s.owner);
  wr16(dot(i) + 0x0A, static_cast<u32>(s.dx));
  wr16(dot(i) + 0x0C, static_cast<u32>(s.dy));
}

void put_enemy(u32 i, u32 x, u32 y, u32 frame = 5) {
  wr16(enemy(i), x);
  wr16(enemy(i) + 2, y);
  wr16(enemy(i) + 4, 1);
  wr16(enemy(i) + 8, frame);
  wr16(enemy(i) + 0x0C, 0xFFFD);
  wr16(enemy(i) + 0x0E, 0x0102);
}

void put_unit(u32 i, u32 x, u32 y) {
  wr16(unit(i), 0xFFFF);
  wr16(unit(i) + 2, 1);
  wr16(unit(i) + 4, x);
  wr16(unit(i) + 6, y);
  wr16(unit(i) + 0x0A, 3);
}

// Animation n starts 4n bytes into the animation data: the dying ones can
// be told apart by the enemy's start pointer.
void put_animations() {
  for (u32 n = 0; n < 13; ++n) wr16(anim_offsets + 2 * n, 4 * n);
}
u32 animation_of(u32 record) { return (rd32(record + 0x14) - anim_data) / 4; }

u32 score(u32 player) { return rd32(player + pr::score); }

class DotBullets : public MissionTest {
 protected:
  void SetUp() override {
    MissionTest::SetUp();
    call_trace_start();
    record_samples_b();
    put_animations();
  }
  void run(u32 entry) { ASSERT_EQ(run_mission_routine(entry), 1) << "one slice, no wait"; }
  // The one burst of a run, in the table and in the spawner's call (the
  // table keeps x only to 16 pixels).
  void expect_burst(u32 x, u32 y, u32 owner, const std::string& what) {
    EXPECT_EQ(rd16(boom(0) + 4), 0xFFFFu) << what;
    EXPECT_EQ(rd16(boom(0)), (x + 7) & 0xFFF0) << what;
    EXPECT_EQ(rd16(boom(0) + 2), y) << what;
    EXPECT_EQ(rd16(boom(0) + 0x0A), owner) << what;
    EXPECT_EQ(rd16(boom(1) + 4), 0u) << what << ": one burst";
    const auto calls = calls_to(explode);
    ASSERT_EQ(calls.size(), 1u) << what;
    EXPECT_EQ(calls[0].d[0] & 0xFFFF, x) << what;
    EXPECT_EQ(calls[0].d[1] & 0xFFFF, y) << what;
    EXPECT_EQ(calls[0].d[2] & 0xFFFF, owner) << what;
  }
  void expect_no_burst(const std::string& what) {
    EXPECT_EQ(rd16(boom(0) + 4), 0u) << what;
    EXPECT_TRUE(calls_to(explode).empty()) << what;
  }
};

TEST_F(DotBullets, NamedAddressesAreInTheDispatchTable) {
  expect_named_rows({
      {fire, routine_entry, "sub_00AB5C"},
      {update, routine_entry, "sub_00AC5E"},
      {pan_site, resume_label, "sub_00AC5E"},
      {draw, routine_entry, "sub_00660C"},
  });
}

// --- firing --------------------------------------------------------------------------

TEST_F(DotBullets, FiringTakesTheEntryOfTheFacingsLowBits) {
  struct {
    u32 facing, player, current;
  } cases[] = {{9, player1, 0}, {0x19, player1, 0}, {6, player2, 1}, {15, player2, 1}, {1, player1, 0}};
  for (const auto& c : cases) {
    SetUp();
    dot_effect_tables t;
    t.put_in_ram();
    const auto& e = t.dot_directions[c.facing & 15];
    wr16(c.player + pr::x, 120);
    wr16(c.player + pr::y, 60);
    wr8(c.player + pr::facing, c.facing);
    wr16(current_player, c.current);
    put_dot(0, {1, 2, 3, 0});
    put_dot(1, {1, 2, 3, 0});
    wr16(dot(1) + 4, 0); // freed, its old words left
    put_dot(2, {1, 2, 3, 0});
    g_cpu.a[4] = c.player;
    run(fire);
    const std::string what = "facing " + std::to_string(c.facing);
    EXPECT_EQ(rd16(dot(1) + 4), 0xFFFFu) << what << ": the first free record";
    EXPECT_EQ(rd16(dot(1)), static_cast<u32>(120 + e[0]) & 0xFFFF) << what;
    EXPECT_EQ(rd16(dot(1) + 2), static_cast<u32>(60 + e[1]) & 0xFFFF) << what;
    EXPECT_EQ(rd16(dot(1) + 0x0A), static_cast<u32>(e[2]) & 0xFFFF) << what;
    EXPECT_EQ(rd16(dot(1) + 0x0C), static_cast<u32>(e[3]) & 0xFFFF) << what;
    EXPECT_EQ(rd16(dot(1) + 6), static_cast<u32>(e[4])) << what;
    EXPECT_EQ(rd16(dot(1) + 8), c.current) << what;
    EXPECT_EQ(rd16(dot(3) + 4), 0u) << what << ": one shot";
  }
}

TEST_F(DotBullets, AnEmptyFacingOrAFullTableFiresNothing) {
  dot_effect_tables t;
  t.dot_directions[4][0] = -1;
  t.put_in_ram();
  wr16(player1 + pr::x, 120);
  wr8(player1 + pr::facing, 4);
  g_cpu.a[4] = player1;
  run(fire);
  for (u32 i = 0; i < dot_bullet_table.records; ++i) EXPECT_EQ(rd16(dot(i) + 4), 0u) << "empty facing, record " << i;

  wr8(player1 + pr::facing, 0); // the default table's empty facing
  run(fire);
  EXPECT_EQ(rd16(dot(0) + 4), 0u) << "facing 0";

  wr8(player1 + pr::facing, 8);
  for (u32 i = 0; i < dot_bullet_table.records; ++i) put_dot(i, {1, 2, 3, 0});
  const u32 after_table = dot_bullet_table.address + dot_bullet_table.records * dot_bullet_table.size;
  wr16(after_table + 4, 0); // the explosion table's first record: free
  run(fire);
  for (u32 i = 0; i < dot_bullet_table.records; ++i) EXPECT_EQ(rd16(dot(i)), 1u) << "a 21st shot, record " << i;
  EXPECT_EQ(rd16(after_table), 0u) << "nothing past the table";
}

// --- moving and bursting -----------------------------------------------------------------

TEST_F(DotBullets, ARangeOfNMovesNTimesAndBurstsAtTheNthPlace) {
  for (u32 n : {1u, 3u}) {
    SetUp();
    put_dot(19, {.x = 150, .y = 200, .range = n, .owner = 1, .dx = 4, .dy = -3}); // the last record
    put_dot(18, {.x = 150, .y = 200, .range = 1, .owner = 0});
    wr16(dot(18) + 4, 0); // freed with its words left: neither moved nor burst
    for (u32 f = 1; f < n; ++f) {
      run(update);
      EXPECT_EQ(rd16(dot(19) + 4), 0xFFFFu) << "range " << n << ", frame " << f;
      EXPECT_EQ(rd16(dot(19) + 6), n - f);
    }
    expect_no_burst("before the last move");
    run(update);
    const std::string what = "range " + std::to_string(n);
    EXPECT_EQ(rd16(dot(19) + 4), 0u) << what;
    EXPECT_EQ(rd16(dot(19)), 150 + 4 * n) << what;
    EXPECT_EQ(rd16(dot(19) + 2), 200 - 3 * n) << what;
    expect_burst(150 + 4 * n, 200 - 3 * n - 9, 1, what);
    EXPECT_EQ(rd16(dot(18)), 150u) << what;
  }
}

TEST_F(DotBullets, TheShotIsFreedEvenWhenTheExplosionTableIsFull) {
  for (u32 i = 0; i < explosion_table.records; ++i) wr16(boom(i) + 4, 0xFFFF);
  put_dot(0, {.x = 250, .y = 200, .range = 1, .owner = 0});
  put_enemy(0, 140, 190);
  put_dot(1, {.x = 145, .y = 195, .range = 9, .owner = 0});
  run(update);
  EXPECT_EQ(rd16(dot(0) + 4), 0u) << "the range's end";
  EXPECT_EQ(rd16(dot(1) + 4), 0u) << "the strike";
  EXPECT_EQ(rd16(enemy(0) + 0x26), 0xFFFFu);
}

// --- strikes ---------------------------------------------------------------------------------

TEST_F(DotBullets, AnEnemyIsStruckWithinItsBoxAtThePlaceBeforeTheMove) {
  struct {
    i32 ox, oy;
    i32 dx;
    bool struck;
  } cases[] = {
      {0, 0, 0, true},    {16, 21, 0, true},  {17, 0, 0, false}, {0, 22, 0, false},
      {-1, 0, 0, false},  {0, -1, 0, false},  {16, 0, 5, true},  // moving out after the test
      {17, 0, -1, false},                                        // moving in after the test
  };
  for (const auto& c : cases) {
    SetUp();
    put_enemy(3, 150, 180, 16);
    put_dot(0, {.x = static_cast<u32>(150 + c.ox), .y = static_cast<u32>(180 + c.oy), .range = 9, .owner = 0, .dx = c.dx});
    run(update);
    const std::string what = "offset " + std::to_string(c.ox) + "," + std::to_string(c.oy) + " dx " + std::to_string(c.dx);
    EXPECT_EQ(rd16(enemy(3) + 0x26), c.struck ? 0xFFFFu : 0u) << what;
    EXPECT_EQ(rd16(dot(0) + 4), c.struck ? 0u : 0xFFFFu) << what;
    EXPECT_EQ(score(player1), c.struck ? 50u : 0u) << what;
    if (c.struck) {
      expect_burst(150 + c.ox, 180 + c.oy - 9, 0, what);
    } else {
      expect_no_burst(what);
      EXPECT_EQ(rd16(dot(0)), static_cast<u32>(150 + c.ox + c.dx)) << what << ": moved";
    }
  }
}

TEST_F(DotBullets, AStruckEnemyStopsDiesAndIsHeardWithTheShotInA4) {
  struct {
    u32 frame, animation;
  } cases[] = {{16, 3}, {17, 10}, {0, 3}};
  for (const auto& c : cases) {
    SetUp();
    put_enemy(0, 150, 180, c.frame);
    put_dot(5, {.x = 155, .y = 190, .range = 9, .owner = 0, .dx = 2, .dy = 2});
    run(update);
    const std::string what = "frame " + std::to_string(c.frame);
    EXPECT_EQ(rd16(enemy(0) + 0x26), 0xFFFFu) << what;
    EXPECT_EQ(animation_of(enemy(0)), c.animation) << what;
    EXPECT_EQ(rd16(enemy(0) + 0x0C), 0u) << what;
    EXPECT_EQ(rd16(enemy(0) + 0x0E), 0u) << what;
    EXPECT_EQ(rd16(enemy(0) + 4), 1u) << what << ": still in play, dying";
    std::vector<sample_seen> at_site;
    for (const sample_seen& s : samples_seen())
      if (s.ret == pan_site) at_site.push_back(s);
    ASSERT_EQ(at_site.size(), 1u) << what;
    EXPECT_EQ(at_site[0].sample, 4u) << what;
    EXPECT_EQ(at_site[0].a4, dot(5)) << what << ": the host pans by the shot's x";
    EXPECT_EQ(score(player1), 50u) << what;
    EXPECT_EQ(rd16(player1 + kills), 0u) << what << ": no tally";
    EXPECT_EQ(rd16(dot(5)), 155u) << what << ": not moved";
  }
}

TEST_F(DotBullets, OnlyLivingEnemiesOfTheFirst25RecordsAreStruck) {
  put_enemy(25, 150, 180);
  put_enemy(2, 150, 180);
  wr16(enemy(2) + 0x26, 0xFFFF); // dying already
  put_enemy(1, 150, 180);
  wr16(enemy(1) + 4, 0);
  put_dot(0, {.x = 150, .y = 180, .range = 9, .owner = 0});
  run(update);
  EXPECT_EQ(rd16(dot(0) + 4), 0xFFFFu);
  EXPECT_EQ(rd16(enemy(25) + 0x26), 0u);
  EXPECT_EQ(score(player1), 0u);

  put_enemy(24, 150, 180); // the last one tested
  run(update);
  EXPECT_EQ(rd16(enemy(24) + 0x26), 0xFFFFu);
  EXPECT_EQ(rd16(dot(0) + 4), 0u);
  put_dot(0, {.x = 150, .y = 180, .range = 9, .owner = 0});

  // The first of two in the box wins.
  put_enemy(7, 150, 180);
  put_enemy(9, 150, 180);
  run(update);
  EXPECT_EQ(rd16(enemy(7) + 0x26), 0xFFFFu);
  EXPECT_EQ(rd16(enemy(9) + 0x26), 0u);
}

TEST_F(DotBullets, AHomingUnitIsStruckWithinItsBoxAndLeftToTheBlast) {
  struct {
    i32 ox, oy;
    bool struck;
  } cases[] = {{0, 0, true}, {14, 16, true}, {15, 0, false}, {0, 17, false}, {-1, 0, false}, {0, -1, false}};
  for (const auto& c : cases) {
    SetUp();
    put_unit(4, 132, 200);
    put_dot(0, {.x = static_cast<u32>(132 + c.ox), .y = static_cast<u32>(200 + c.oy), .range = 9, .owner = 1});
    std::vector<u8> before(homing_unit_table.size);
    for (u32 b = 0; b < before.size(); ++b) before[b] = static_cast<u8>(rd8(unit(4) + b));
    run(update);
    const std::string what = "offset " + std::to_string(c.ox) + "," + std::to_string(c.oy);
    EXPECT_EQ(rd16(dot(0) + 4), c.struck ? 0u : 0xFFFFu) << what;
    EXPECT_EQ(score(player2), c.struck ? 50u : 0u) << what;
    EXPECT_EQ(score(player1), 0u) << what << ": owner 1 scores for player 2 only";
    if (c.struck) expect_burst(132, 200, 1, what + ": at the unit");
    for (u32 b = 0; b < before.size(); ++b) EXPECT_EQ(rd8(unit(4) + b), before[b]) << what << " byte " << b;
  }
}

TEST_F(DotBullets, TheUnitTestNeedsAUnitInPlayAndNoEnemyStruck) {
  put_unit(0, 132, 200);
  wr16(unit(0) + 0x0E, 0xFF00); // a wreck: its high byte is what the units test
  put_unit(1, 132, 200);
  wr16(unit(1), 0);
  put_dot(0, {.x = 132, .y = 200, .range = 9, .owner = 0});
  run(update);
  EXPECT_EQ(rd16(dot(0) + 4), 0xFFFFu);

  put_unit(2, 132, 200);
  put_enemy(0, 130, 195);
  put_dot(0, {.x = 132, .y = 200, .range = 9, .owner = 0});
  run(update);
  EXPECT_EQ(rd16(enemy(0) + 0x26), 0xFFFFu);
  expect_burst(132, 191, 0, "the enemy's strike, not the unit's");
  EXPECT_EQ(score(player1), 50u);
}

TEST_F(DotBullets, AHostileShotStrikesNothingAndBurstsForNobody) {
  put_enemy(0, 150, 180);
  put_unit(0, 150, 180);
  put_dot(0, {.x = 150, .y = 180, .range = 2, .owner = 0xFFFF, .dx = 1});
  run(update);
  EXPECT_EQ(rd16(enemy(0) + 0x26), 0u);
  EXPECT_EQ(rd16(dot(0) + 4), 0xFFFFu);
  EXPECT_EQ(rd16(dot(0)), 151u);
  run(update);
  EXPECT_EQ(rd16(enemy(0) + 0x26), 0u);
  EXPECT_EQ(rd16(dot(0) + 4), 0u);
  expect_burst(152, 171, 0xFFFF, "at the range's end");
  EXPECT_EQ(score(player1) + score(player2), 0u);
  EXPECT_TRUE(samples_seen().empty() || samples_seen()[0].ret != pan_site);
}

// --- drawing -----------------------------------------------------------------------------

constexpr u32 screen = mission_draw_screen;
constexpr u32 screen_bytes = 201 * 160; // the spare line below the screen too

std::vector<u8> read_screen() { return read_bytes(screen, screen_bytes + 160); }

// A background of every colour, different on every line.
void fill_background() { fill_pattern(screen, screen_bytes + 160, 37, 7); }

// Frame 24 at (px, line): each of its pixels in colour 8 + its own.
std::vector<u8> with_dot(std::vector<u8> s, u32 px, u32 line) {
  for (u32 l = 0; l < dot_frame_lines; ++l)
    for (u32 x = 0; x < 16; ++x)
      if (const u32 c = dot_frame_pixel(l, x)) st_set_pixel(s.data(), px + x, line + l, 8 | c);
  return s;
}

class DotDrawing : public DotBullets {
 protected:
  void SetUp() override {
    DotBullets::SetUp();
    dot_effect_tables{}.put_in_ram();
    preshift_pictures();
    fill_background();
  }
};

TEST_F(DotDrawing, EveryPixelAndShiftOverAnyBackground) {
  struct {
    u32 px, line;
  } cases[] = {{67, 0},  {68, 10}, {71, 3},  {72, 50},  {79, 100}, {80, 7},  {87, 20},
               {88, 191}, {150, 99}, {157, 5}, {248, 120}, {243, 192}};
  for (const auto& c : cases) {
    SetUp();
    put_dot(3, {.x = c.px + 36, .y = c.line + 100, .range = 9, .owner = 0});
    put_dot(4, {.x = 150 + 36, .y = 100 + 100, .range = 9, .owner = 0});
    wr16(dot(4) + 4, 0); // freed where it stood: not drawn
    const std::vector<u8> want = with_dot(read_screen(), c.px, c.line);
    run(draw);
    const std::vector<u8> got = read_screen();
    const std::string what = "px " + std::to_string(c.px) + " line " + std::to_string(c.line);
    EXPECT_EQ(rd16(dot(3) + 4), 0xFFFFu) << what;
    for (u32 i = 0; i < got.size(); ++i)
      if (got[i] != want[i]) {
        ADD_FAILURE() << what << ": byte " << i << " (line " << i / 160 << ") is " << int(got[i]) << ", want "
                      << int(want[i]);
        break;
      }
  }
}

TEST_F(DotDrawing, ShotsOutsideTheirWindowAreFreedWithoutABurst) {
  struct {
    u32 px, line;
    bool kept;
  } cases[] = {{66, 50, false},  {67, 50, true},  {248, 50, true},  {249, 50, false}, {150, 192, true},
               {150, 193, false}, {150, 0xFFFF, false}, {150, 0, true}, {0xFFF0, 50, false}};
  for (const auto& c : cases) {
    SetUp();
    put_dot(0, {.x = (c.px + 36) & 0xFFFF, .y = (c.line + 100) & 0xFFFF, .range = 9, .owner = 0});
    // a live explosion right after the table, where a 21st record would be
    wr16(boom(0), 40);
    wr16(boom(0) + 2, 400);
    wr16(boom(0) + 4, 0xFFFF);
    const std::vector<u8> before = read_screen();
    run(draw);
    EXPECT_EQ(rd16(boom(0) + 4), 0xFFFFu) << "the explosion table is not the dot bullets'";
    const std::string what = "px " + std::to_string(c.px) + " line " + std::to_string(c.line);
    EXPECT_EQ(rd16(dot(0) + 4), c.kept ? 0xFFFFu : 0u) << what;
    EXPECT_EQ(rd16(boom(1) + 4), 0u) << what << ": no burst";
    if (!c.kept) {
      EXPECT_EQ(read_screen(), before) << what << ": nothing drawn";
    }
  }
}

TEST_F(DotDrawing, TheNinthLineOfLine192FallsOnTheSpareLineAndNothingBelow) {
  put_dot(0, {.x = 100 + 36, .y = 192 + 100, .range = 9, .owner = 0});
  const std::vector<u8> before = read_screen();
  run(draw);
  const std::vector<u8> after = read_screen();
  bool spare_changed = false;
  for (u32 i = 200 * 160; i < 201 * 160; ++i) spare_changed |= after[i] != before[i];
  EXPECT_TRUE(spare_changed);
  for (u32 i = 201 * 160; i < after.size(); ++i) EXPECT_EQ(after[i], before[i]) << "byte " << i;
}

// --- resumption ------------------------------------------------------------------------

void prepare_busy_frame() {
  machine_clear();
  mission_machine_reset();
  put_animations();
  dot_effect_tables{}.put_in_ram();
  preshift_pictures();
  for (u32 i = 0; i < 25; ++i) put_enemy(i, 100 + 7 * i, 150 + 3 * i, i);
  for (u32 i = 0; i < 6; ++i) put_unit(i, 132 + 16 * i, 260);
  for (u32 i = 0; i < dot_bullet_table.records; ++i)
    put_dot(i, {.x = 90 + 11 * i, .y = 120 + 9 * i, .range = 1 + i % 3, .owner = i % 2, .dx = 1, .dy = -2});
}

TEST(DotBulletsResumption, UpdateAndDrawingResumeFromASavedState) {
  for (u32 entry : {update, draw}) {
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
