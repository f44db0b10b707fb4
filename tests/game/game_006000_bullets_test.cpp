// The bullets: the spawner ($6B74), the per-frame hit tests and move
// ($6950) and the drawing ($6812), on hand-made records; vehicles are
// hand-built vehicle_table records; impacts are read from their records.
#include <gtest/gtest.h>

#include <vector>

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "game/shot_ram.h"
#include "machine/hooks.h"
#include "support/tables/mission_builder.h"
#include "support/machine/dispatch_check.h"
#include "support/machine/interrupt_check.h"
#include "support/machine/mission_machine.h"
#include "support/machine/resumption_check.h"
#include "support/tables/shot_tables.h"

namespace {

namespace pr = player_record;

constexpr u32 spawn = 0x006B74;
constexpr u32 bullets_step = 0x006950;
constexpr u32 draw = 0x006812;
constexpr u32 sample_b = 0x00E756;
constexpr u32 anim_offsets = 0x00B20E;
constexpr u32 anim_data = 0x00B228;

u32 rec(u32 i) { return bullet_table.address + bullet_table.size * i; }
u32 enemy(u32 i) { return enemy_table.address + enemy_table.size * i; }
u32 vehicle(u32 i) { return vehicle_table.address + vehicle_table.size * i; }

int run(u32 entry) { return run_routine_with_regs(entry); }

void put_bullet(u32 i, u32 x, u32 y, i16 dx, i16 dy, u32 owner, u32 life = 20) {
  const u32 r = rec(i);
  wr16(r + bullet::x, x);
  wr16(r + bullet::y, y);
  wr16(r + bullet::dx, static_cast<u16>(dx));
  wr16(r + bullet::dy, static_cast<u16>(dy));
  wr16(r + bullet::live, 0xFFFF);
  wr16(r + bullet::owner, owner);
  wr16(r + bullet::life, life);
}

bool live(u32 i) { return rd16(rec(i) + bullet::live) != 0; }

struct impact {
  u32 x, y, kind;
};

// The impacts made: the impact records (kinds 26-28) of projectile_table.
const std::vector<impact>& impacts() {
  static std::vector<impact> made;
  made.clear();
  for (u32 i = 0, r = projectile_table.address; i < projectile_table.records; ++i, r += projectile_table.size) {
    const u32 kind = rd16(r + 6);
    if (rd16(r) != 0 && kind >= 26 && kind <= 28) made.push_back({rd16(r + 2), rd16(r + 4), kind});
  }
  return made;
}

struct sample_call {
  u32 sample, ret, a4, d3;
};
std::vector<sample_call> samples;
void note_sample(u32) { samples.push_back({d0 & 0xFFFF, rd32(a7), a4, d3 & 0xFFFF}); }

class Bullets : public MissionTest {
 protected:
  void SetUp() override {
    MissionTest::SetUp();
    samples.clear();
    hook_register(sample_b, note_sample);
    shot_tables{}.put_in_ram();
    // Thirteen animations, animation n starting at offset 4n with frame n.
    for (u32 n = 0; n < 13; ++n) {
      wr16(anim_offsets + 2 * n, 4 * n);
      wr8(anim_data + 4 * n, n);
      wr8(anim_data + 4 * n + 1, 0x80);
    }
    wr16(scroll_pos, 300);
  }
};

// ---- the spawner ---------------------------------------------------------------

TEST_F(Bullets, TheSpawnerFillsTheFirstFreeRecordAndKeepsEveryRegister) {
  for (u32 i = 0; i < 30; ++i)
    if (i != 4 && i != 9) put_bullet(i, 1, 1, 0, 0, 0xFFFF);
  fill_register_patterns();
  sync_regs_in();
  d0 = 0xAAAA0070;
  d1 = 0xBBBB0090;
  d2 = 0xCCCC0018;
  d3 = 0xDDDDFFFE;
  d4 = 0xEEEE0003;
  d5 = 0x1111FFFC;
  const std::array<u32, 16> before = {d0, d1, d2, d3, d4, d5, d6, d7, a0, a1, a2, a3, a4, a5, a6, a7};
  ASSERT_EQ(run(spawn), 1);
  EXPECT_EQ((std::array<u32, 16>{d0, d1, d2, d3, d4, d5, d6, d7, a0, a1, a2, a3, a4, a5, a6, a7}), before);
  const u32 r = rec(4);
  EXPECT_EQ(rd16(r + bullet::live), 0xFFFFu);
  EXPECT_EQ(rd16(r + bullet::x), 0x70u);
  EXPECT_EQ(rd16(r + bullet::y), 0x90u);
  EXPECT_EQ(rd16(r + bullet::dx), 0xFFFEu);
  EXPECT_EQ(rd16(r + bullet::dy), 3u);
  EXPECT_EQ(rd16(r + bullet::owner), 0xFFFCu);
  EXPECT_EQ(rd16(r + bullet::life), 0x18u);
  EXPECT_FALSE(live(9)) << "one record a shot";

  ASSERT_EQ(run(spawn), 1);
  ASSERT_TRUE(live(9));
  std::vector<u8> table(bullet_table.records * bullet_table.size);
  for (u32 i = 0; i < table.size(); ++i) table[i] = rd8(bullet_table.address + i);
  d0 = 0x55;
  ASSERT_EQ(run(spawn), 1);
  for (u32 i = 0; i < table.size(); ++i) ASSERT_EQ(rd8(bullet_table.address + i), table[i]) << "a 31st bullet is lost";
  wr16(rec(17) + bullet::live, 0);
  ASSERT_EQ(run(spawn), 1);
  EXPECT_EQ(rd16(rec(17) + bullet::x), 0x55u) << "the freed record is the next one filled";
}

TEST_F(Bullets, ANewBulletStartsAheadByTheFrameCounter) {
  struct {
    u32 counter;
    i16 dx, dy;
    i16 x_ahead, y_ahead;
  } cases[] = {
      {0x100, 7, -7, 0, 0},   {0x101, 7, -7, 3, -4},  {0x102, 7, -7, 1, -2},
      {0x103, 7, -7, 4, -6},  {0x0FF, -9, 10, -8, 7}, {0x0FE, -1, 1, -1, 0},
  };
  for (const auto& c : cases) {
    wr16(rec(0) + bullet::live, 0);
    wr16(fx_bank, c.counter);
    d0 = 100;
    d1 = 150;
    d3 = static_cast<u16>(c.dx);
    d4 = static_cast<u16>(c.dy);
    ASSERT_EQ(run(spawn), 1);
    EXPECT_EQ(static_cast<i16>(rd16(rec(0) + bullet::x)), 100 + c.x_ahead) << std::hex << c.counter;
    EXPECT_EQ(static_cast<i16>(rd16(rec(0) + bullet::y)), 150 + c.y_ahead) << std::hex << c.counter;
  }
}

// ---- the hit tests ---------------------------------------------------------------

// A bullet at (150, 160), moving (1, 2); the scroll at 300 puts it over
// collision cell 243.
constexpr u32 bx = 150, by = 160;
constexpr u32 ground_cell = collision_map + 243;

enum class target { ground, enemy, player, vehicle };

void place(target t) {
  switch (t) {
    case target::ground: wr8(ground_cell, 0xFF); break;
    case target::enemy:
      wr16(enemy(0) + 0x00, bx - 5);
      wr16(enemy(0) + 0x02, by - 5);
      wr16(enemy(0) + 0x04, 1);
      break;
    case target::player:
      wr16(player1 + pr::lives, 3);
      wr16(player1 + pr::x, bx - 36 - 10);
      wr16(player1 + pr::y, by - 100 - 5);
      break;
    case target::vehicle:
      wr16(vehicle(0) + 0x00, 0xFFFF);
      wr16(vehicle(0) + 0x02, bx - 3);
      wr16(vehicle(0) + 0x04, by - 3);
      wr16(vehicle(0) + 0x0E, 20);
      wr16(vehicle(0) + 0x0A, 20);
      break;
  }
}

TEST_F(Bullets, TheOwnerDecidesWhichTestsRun) {
  const u32 owners[] = {0, 1, 0xFFFF, 0xFFFE, 0xFFFC};
  const struct {
    target t;
    const char* name;
    bool hit[5]; // by owner
  } rows[] = {
      {target::ground, "ground", {true, true, true, true, false}},
      {target::enemy, "enemy", {true, true, false, false, false}},
      {target::player, "player", {false, false, true, true, true}},
      {target::vehicle, "vehicle", {true, true, true, false, true}},
  };
  for (const auto& r : rows)
    for (u32 o = 0; o < 5; ++o) {
      SetUp();
      place(r.t);
      put_bullet(0, bx, by, 1, 2, owners[o]);
      ASSERT_EQ(run(bullets_step), 1);
      EXPECT_EQ(!live(0), r.hit[o]) << r.name << " against owner " << std::hex << owners[o];
      if (!r.hit[o]) {
        EXPECT_EQ(rd16(rec(0) + bullet::x), bx + 1) << r.name << " passed: moved";
        EXPECT_EQ(rd16(rec(0) + bullet::y), by + 2);
      }
    }
}

TEST_F(Bullets, GroundHitsReadTheCopyForTheFirstTwoRowsAndMarkOnlyAPlayersBullet) {
  // y 400 with the scroll at 300 is map row 0: cell 3 lies in the copy.
  wr8(collision_map + 3, 0xFF);
  put_bullet(0, 150, 400, 0, 0, 0);
  ASSERT_EQ(run(bullets_step), 1);
  EXPECT_TRUE(live(0)) << "row 0 is read from $2800, not $2400";
  wr8(collision_copy + 3, 0xFF);
  wr8(collision_map + 3, 0);
  ASSERT_EQ(run(bullets_step), 1);
  EXPECT_FALSE(live(0));

  // Cell 243 is the 16-line row from y 145 to 160 (scroll 300), column 3.
  struct {
    u32 x, y;
    bool hit;
  } rows[] = {{150, 160, true}, {150, 159, true}, {150, 145, true}, {150, 144, false}, {150, 161, false},
              {148, 150, true}, {147, 150, false}, {163, 150, true}, {164, 150, false}};
  for (const auto& r : rows) {
    SetUp();
    wr8(ground_cell, 0xFF);
    put_bullet(0, r.x, r.y, 0, 0, 0xFFFF);
    ASSERT_EQ(run(bullets_step), 1);
    EXPECT_EQ(!live(0), r.hit) << r.x << "," << r.y;
  }

  struct {
    u32 owner;
    bool marked;
  } cases[] = {{0, true}, {1, true}, {0xFFFF, false}};
  for (const auto& c : cases) {
    SetUp();
    wr8(ground_cell, 0xFF);
    put_bullet(0, bx, by, 1, 1, c.owner);
    put_bullet(29, 60, 120, 3, 4, c.owner); // the last record: a0 and d7 survive the impact
    ASSERT_EQ(run(bullets_step), 1);
    EXPECT_FALSE(live(0));
    if (c.marked) {
      ASSERT_EQ(impacts().size(), 1u) << c.owner;
      EXPECT_EQ(impacts()[0].x, bx - 2);
      EXPECT_EQ(impacts()[0].y, by - 3);
      EXPECT_EQ(impacts()[0].kind, 28u);
    } else {
      EXPECT_TRUE(impacts().empty()) << c.owner;
    }
    EXPECT_EQ(rd16(rec(29) + bullet::x), 63u) << c.owner;
    EXPECT_EQ(rd16(rec(29) + bullet::y), 124u) << c.owner;
  }
}

TEST_F(Bullets, EnemyBoxEdgesAndTheFirst25Records) {
  struct {
    i32 dx, dy; // bullet minus enemy
    bool hit;
  } cases[] = {{0, 0, true}, {16, 21, true}, {17, 0, false}, {0, 22, false}, {-1, 5, false}, {5, -1, false}};
  for (const auto& c : cases) {
    SetUp();
    wr16(enemy(3) + 0x00, 120);
    wr16(enemy(3) + 0x02, 150);
    wr16(enemy(3) + 0x04, 1);
    put_bullet(0, static_cast<u32>(120 + c.dx), static_cast<u32>(150 + c.dy), 0, 0, 0);
    ASSERT_EQ(run(bullets_step), 1);
    EXPECT_EQ(!live(0), c.hit) << c.dx << "," << c.dy;
    EXPECT_EQ(rd16(enemy(3) + 0x26) != 0, c.hit) << c.dx << "," << c.dy;
  }
  struct {
    u32 record, active, dying;
    bool hit;
  } records[] = {{24, 1, 0, true}, {25, 1, 0, false}, {0, 0, 0, false}, {0, 1, 0xFFFF, false}};
  for (const auto& r : records) {
    SetUp();
    wr16(enemy(r.record) + 0x00, 120);
    wr16(enemy(r.record) + 0x02, 150);
    wr16(enemy(r.record) + 0x04, r.active);
    wr16(enemy(r.record) + 0x26, r.dying);
    put_bullet(0, 125, 155, 0, 0, 1);
    ASSERT_EQ(run(bullets_step), 1);
    EXPECT_EQ(!live(0), r.hit) << "record " << r.record << " active " << r.active << " dying " << r.dying;
  }
}

TEST_F(Bullets, AnEnemyHitStartsItsDeathWithImpactSampleAndTheOwnersScore) {
  struct {
    u32 owner, frame, animation;
    u32 seed;
  } cases[] = {{0, 17, 10, 0x12345678}, {1, 16, 3, 0x12345679}, {0, 0x8000, 10, 0x0ABCDEF0}};
  for (const auto& c : cases) {
    SetUp();
    wr32(random_seed, c.seed);
    const u32 e = enemy(7);
    wr16(e + 0x00, 120);
    wr16(e + 0x02, 150);
    wr16(e + 0x04, 1);
    wr16(e + 0x08, c.frame);
    wr16(e + 0x0C, 3);
    wr16(e + 0x0E, 0xFFFE);
    wr32(player1 + pr::score, 1000);
    wr32(player2 + pr::score, 2000);
    wr16(player1 + pr::tally, 4);
    wr16(player2 + pr::tally, 6);
    put_bullet(5, 130, 160, 0, 0, c.owner);
    put_bullet(6, 128, 158, 0, 0, c.owner); // the enemy is dying now: no second hit
    put_bullet(29, 60, 120, 3, 4, c.owner);
    ASSERT_EQ(run(bullets_step), 1);
    EXPECT_FALSE(live(5));
    EXPECT_TRUE(live(6)) << c.owner;
    EXPECT_EQ(rd16(e + 0x26), 0xFFFFu);
    EXPECT_EQ(rd32(e + 0x14), anim_data + 4 * c.animation) << "frame " << c.frame;
    EXPECT_EQ(rd16(e + 0x0C), 0u);
    EXPECT_EQ(rd16(e + 0x0E), 0u);
    ASSERT_EQ(impacts().size(), 1u);
    EXPECT_EQ(impacts()[0].x, 124u);
    EXPECT_EQ(impacts()[0].y, 158u);
    EXPECT_EQ(impacts()[0].kind, 26u);
    ASSERT_EQ(samples.size(), 1u);
    EXPECT_EQ(samples[0].sample, 4 + (rd32(random_seed) & 1)) << "from the new random number";
    EXPECT_EQ(samples[0].ret, 0x006A4Au);
    EXPECT_EQ(samples[0].a4, e) << "the host pans by the struck enemy";
    const u32 scorer = c.owner == 0 ? player1 : player2, other = c.owner == 0 ? player2 : player1;
    EXPECT_EQ(rd32(scorer + pr::score), (scorer == player1 ? 1000u : 2000u) + 50);
    EXPECT_EQ(rd32(other + pr::score), other == player1 ? 1000u : 2000u);
    EXPECT_EQ(rd16(scorer + pr::tally), (scorer == player1 ? 4u : 6u) + 1);
    EXPECT_EQ(rd16(other + pr::tally), other == player1 ? 4u : 6u);
    EXPECT_EQ(rd16(rec(29) + bullet::x), 63u) << "the loop went on";
  }
}

TEST_F(Bullets, PlayerBoxAndWhoCannotBeHit) {
  struct {
    i32 d, dy; // bullet x - (player x + 36), bullet y - (player y + 100)
    bool hit;
  } cases[] = {{6, 0, true}, {18, 21, true}, {5, 0, false}, {19, 0, false}, {10, 22, false}, {10, -1, false}};
  for (const auto& c : cases) {
    SetUp();
    wr16(player1 + pr::lives, 2);
    wr16(player1 + pr::x, 100);
    wr16(player1 + pr::y, 60);
    put_bullet(0, static_cast<u32>(136 + c.d), static_cast<u32>(160 + c.dy), 0, 0, 0xFFFF);
    ASSERT_EQ(run(bullets_step), 1);
    EXPECT_EQ(!live(0), c.hit) << c.d << "," << c.dy;
    EXPECT_EQ(rd16(player1 + pr::state) != 0, c.hit) << c.d << "," << c.dy;
  }
  struct {
    const char* what;
    u32 lives, state, blink, freerun;
  } skipped[] = {
      {"out", 0, 0, 0, 0}, {"dying", 2, 0xFFFF, 0, 0}, {"blinking", 2, 0, 1, 0}, {"freerun", 2, 0, 0, 1}};
  for (const auto& s : skipped) {
    SetUp();
    wr16(player1 + pr::lives, s.lives);
    wr16(player1 + pr::state, s.state);
    wr16(player1 + pr::blink, s.blink);
    wr16(dev_freerun, s.freerun);
    wr16(player1 + pr::x, 100);
    wr16(player1 + pr::y, 60);
    put_bullet(0, 146, 165, 0, 0, 0xFFFF);
    ASSERT_EQ(run(bullets_step), 1);
    EXPECT_TRUE(live(0)) << s.what;
    EXPECT_EQ(rd16(player1 + pr::state), s.state) << s.what;
  }
}

TEST_F(Bullets, ThePlayerHitIsTheRecordCurrentPlayerNames) {
  // Player 1 blinks over the same spot: the bullet takes player 2, whose
  // death runs its own list.
  for (u32 p : {player1, player2}) {
    wr16(p + pr::lives, 2);
    wr16(p + pr::x, 100);
    wr16(p + pr::y, 60);
  }
  wr16(player1 + pr::blink, 30);
  put_bullet(0, 146, 165, 0, 0, 0xFFFC);
  ASSERT_EQ(run(bullets_step), 1);
  EXPECT_FALSE(live(0));
  EXPECT_EQ(rd16(player1 + pr::state), 0u);
  EXPECT_EQ(rd16(player2 + pr::state), 0xFFFFu);
  EXPECT_EQ(rd16(current_player), 1u);
  EXPECT_EQ(rd32(player2 + pr::death_next), death_list_2) << "player 2's list from offset 0 (facing 0)";

  wr16(player1 + pr::blink, 0);
  put_bullet(0, 146, 165, 0, 0, 0xFFFF);
  ASSERT_EQ(run(bullets_step), 1);
  EXPECT_EQ(rd16(player1 + pr::state), 0xFFFFu);
  EXPECT_EQ(rd32(player1 + pr::death_next), death_list_1);
  EXPECT_EQ(rd16(current_player), 0u);
}

TEST_F(Bullets, VehicleBoxesImpactsAndTheSamplesPanSite) {
  struct {
    i32 dx, dy;
    bool hit;
  } cases[] = {{0, 0, true}, {30, 12, true}, {31, 0, false}, {0, 13, false}, {-1, 0, false}};
  for (const auto& c : cases) {
    SetUp();
    wr16(vehicle(2) + 0x00, 1);
    wr16(vehicle(2) + 0x02, 110);
    wr16(vehicle(2) + 0x04, 140);
    wr16(vehicle(2) + 0x0E, 30);
    wr16(vehicle(2) + 0x0A, 12);
    put_bullet(0, static_cast<u32>(110 + c.dx), static_cast<u32>(140 + c.dy), 0, 0, 0xFFFF);
    ASSERT_EQ(run(bullets_step), 1);
    EXPECT_EQ(!live(0), c.hit) << c.dx << "," << c.dy;
  }
  struct {
    u32 owner;
    bool marked;
  } owners[] = {{0, true}, {1, true}, {0xFFFF, false}, {0xFFFC, false}};
  for (const auto& o : owners) {
    SetUp();
    wr16(vehicle(4) + 0x00, 1);
    wr16(vehicle(4) + 0x02, 110);
    wr16(vehicle(4) + 0x04, 140);
    wr16(vehicle(4) + 0x0E, 30);
    wr16(vehicle(4) + 0x0A, 30);
    put_bullet(3, 125, 150, 0, 0, o.owner);
    put_bullet(29, 60, 120, 3, 4, o.owner);
    ASSERT_EQ(run(bullets_step), 1);
    EXPECT_FALSE(live(3));
    EXPECT_EQ(rd16(vehicle(4) + 0x00), 1u) << "no damage";
    if (o.marked) {
      ASSERT_EQ(impacts().size(), 1u);
      EXPECT_EQ(impacts()[0].x, 123u);
      EXPECT_EQ(impacts()[0].y, 147u);
      EXPECT_EQ(impacts()[0].kind, 27u);
      ASSERT_EQ(samples.size(), 1u);
      EXPECT_EQ(samples[0].sample, 0u);
      EXPECT_EQ(samples[0].ret, 0x006B3Cu);
      EXPECT_EQ(samples[0].d3, 125u) << "the host pans by the bullet's x";
    } else {
      EXPECT_TRUE(impacts().empty());
      EXPECT_TRUE(samples.empty());
    }
    EXPECT_EQ(rd16(rec(29) + bullet::x), 63u) << std::hex << o.owner;
  }

  // A free record is no vehicle, whatever its other words hold.
  SetUp();
  wr16(vehicle(0) + 0x00, 0);
  wr16(vehicle(0) + 0x02, 260);
  wr16(vehicle(0) + 0x04, 140);
  wr16(vehicle(0) + 0x0E, 30);
  wr16(vehicle(0) + 0x0A, 30);
  put_bullet(0, 270, 150, 0, 0, 0);
  ASSERT_EQ(run(bullets_step), 1);
  EXPECT_TRUE(live(0));
}

TEST_F(Bullets, ALifeOfNGivesNPlusOneMoves) {
  for (u32 n : {0u, 1u, 5u}) {
    put_bullet(0, 100, 120, 2, -1, 0xFFFF, n);
    u32 moves = 0;
    while (live(0) && moves < 20) {
      ASSERT_EQ(run(bullets_step), 1);
      ++moves;
    }
    EXPECT_EQ(moves, n + 1);
    EXPECT_EQ(rd16(rec(0) + bullet::x), 100 + 2 * (n + 1)) << "moved in its last frame too";
  }
}

// ---- the drawing ---------------------------------------------------------------

constexpr u32 screen = mission_draw_screen;

void fill_screen(u8 v) {
  for (u32 i = 0; i < 32000; ++i) wr8(screen + i, v);
}

TEST_F(Bullets, MarksOnTheEdgesOfThePlayFieldAndBulletsFreedBeyondThem) {
  shot_tables t;
  t.styles.fill(0);
  t.put_in_ram(); // dark: colour 0
  fill_screen(0xFF);
  struct {
    u32 px, line;
    bool drawn;
  } cases[] = {{63, 50, false}, {64, 50, true},  {254, 60, true}, {255, 60, false},
               {100, 198, true}, {120, 199, false}, {0xFFFF - 35, 10, false},
               {72, 80, true}}; // the right byte of a group whose column is even
  for (u32 i = 0; i < std::size(cases); ++i) put_bullet(i, cases[i].px + 36, cases[i].line + 100, 0, 0, 0);
  ASSERT_EQ(run(draw), 1);
  for (u32 i = 0; i < std::size(cases); ++i) {
    const auto& c = cases[i];
    EXPECT_EQ(live(i), c.drawn) << c.px << "," << c.line;
  }
  // The drawn marks are the only change.
  for (u32 line = 0; line < 200; ++line)
    for (u32 x = 0; x < 320; ++x) {
      const bool mark = (line == 50 || line == 51) && (x == 64 || x == 65);
      const bool mark2 = (line == 60 || line == 61) && (x == 254 || x == 255);
      const bool mark3 = (line == 198 || line == 199) && (x == 100 || x == 101);
      const bool mark4 = (line == 80 || line == 81) && (x == 72 || x == 73);
      ASSERT_EQ(screen_pixel(screen, line, x), mark || mark2 || mark3 || mark4 ? 0u : 15u) << x << "," << line;
    }
}

TEST_F(Bullets, LightAndDarkMarksByTheMissionsSectionAndTheOnePixelColumn) {
  struct {
    u32 mission, section;
    u8 style;
    u32 colour;
  } cases[] = {{3, 2, 1, 8}, {3, 2, 0, 0}, {0, 0, 7, 8}, {11, 6, 0, 0}};
  for (const auto& c : cases) {
    SetUp();
    shot_tables t;
    t.styles.fill(c.style ? 0 : 1);
    t.styles[c.mission * 7 + c.section] = c.style;
    t.put_in_ram();
    wr16(chosen_mission, c.mission);
    wr16(stream_section, c.section);
    fill_screen(0x00);
    for (u32 i = 0; i < 32000; ++i)
      if (i % 8 < 2 || i % 8 == 4 || i % 8 == 5) wr8(screen + i, 0xFF); // colour 5 everywhere
    // px 71 (AND 7 = 7): one pixel wide; px 88: two, in the group's right byte.
    put_bullet(0, 71 + 36, 140, 0, 0, 0);
    put_bullet(1, 88 + 36, 150, 0, 0, 0);
    ASSERT_EQ(run(draw), 1);
    for (u32 dy = 0; dy < 2; ++dy) {
      EXPECT_EQ(screen_pixel(screen, 40 + dy, 71), c.colour);
      EXPECT_EQ(screen_pixel(screen, 40 + dy, 72), 5u) << "one pixel wide";
      EXPECT_EQ(screen_pixel(screen, 40 + dy, 70), 5u);
      EXPECT_EQ(screen_pixel(screen, 50 + dy, 88), c.colour);
      EXPECT_EQ(screen_pixel(screen, 50 + dy, 89), c.colour);
      EXPECT_EQ(screen_pixel(screen, 50 + dy, 90), 5u);
      EXPECT_EQ(screen_pixel(screen, 50 + dy, 87), 5u);
    }
    EXPECT_EQ(screen_pixel(screen, 42, 71), 5u);
    EXPECT_EQ(screen_pixel(screen, 39, 71), 5u);
  }
}

std::vector<std::pair<u32, u32>> hook_seen;
void note_hook(u32 address) { hook_seen.emplace_back(address, a0); }

TEST_F(Bullets, TheHostFollowsEveryRecordAtTheStylesHooks) {
  for (u8 style : {1, 0}) {
    SetUp();
    hook_seen.clear();
    for (u32 h : {0x6848u, 0x68B4u, 0x68DCu, 0x6946u}) hook_register(h, note_hook);
    shot_tables t;
    t.styles.fill(style);
    t.put_in_ram();
    put_bullet(2, 100, 150, 0, 0, 0);
    put_bullet(5, 10, 150, 0, 0, 0); // freed
    ASSERT_EQ(run(draw), 1);
    const u32 head = style ? 0x6848 : 0x68DC, tail = style ? 0x68B4 : 0x6946;
    ASSERT_EQ(hook_seen.size(), 60u) << "style " << +style;
    for (u32 i = 0; i < 30; ++i) {
      EXPECT_EQ(hook_seen[2 * i], std::make_pair(head, rec(i)));
      EXPECT_EQ(hook_seen[2 * i + 1], std::make_pair(tail, rec(i)));
    }
  }
}

void prepare_busy_field() {
  machine_clear();
  stub_reset();
  mission_machine_reset();
  shot_tables{}.put_in_ram();
  wr16(scroll_pos, 300);
  wr16(player1 + pr::lives, 2);
  wr16(player1 + pr::x, 100);
  wr16(player1 + pr::y, 60);
  for (u32 i = 0; i < 30; ++i)
    put_bullet(i, 70 + 5 * i, 110 + 3 * i, 1, 2, i % 3 == 0 ? 0xFFFF : i % 3 == 1 ? 0 : 1);
  for (u32 e = 0; e < 25; ++e) {
    wr16(enemy(e) + 0x00, 40 + 8 * e);
    wr16(enemy(e) + 0x02, 150 + e);
    wr16(enemy(e) + 0x04, 1);
  }
  wr16(vehicle(1) + 0x00, 1);
  wr16(vehicle(1) + 0x02, 200);
  wr16(vehicle(1) + 0x04, 180);
  wr16(vehicle(1) + 0x0E, 40);
  wr16(vehicle(1) + 0x0A, 40);
}

TEST(BulletsResumption, TheHitTestsAndTheDrawingResumeFromAStateSavedInTheirLoops) {
  for (u32 entry : {bullets_step, draw})
    for (int save_at : {1, 3, 5}) {
      const resumption_result res = check_resumption(prepare_busy_field, entry, 5, save_at);
      EXPECT_GE(res.yields, 5) << std::hex << entry;
      EXPECT_TRUE(res.sliced_same) << res.first_difference;
      EXPECT_TRUE(res.resumed_same) << std::hex << entry << " saved at " << std::dec << save_at << ": "
                                    << res.first_difference;
    }
  machine_clear();
}

// The host reads these places: the bullet hooks' loop heads and ends, and
// the sample calls' return addresses by which it pans the hit sounds.
TEST(ShotRoutines, NamedAddresses) {
  expect_named_rows({
      {0x006812, routine_entry, "draw_bullets"},
      {0x006848, resume_label, "draw_bullets"},
      {0x0068B4, resume_label, "draw_bullets"},
      {0x0068DC, resume_label, "draw_bullets"},
      {0x006946, resume_label, "draw_bullets"},
      {0x006950, routine_entry, "sub_006950"},
      {0x006A4A, resume_label, "sub_006950"},
      {0x006B3C, resume_label, "sub_006950"},
      {0x006B74, routine_entry, "sub_006B74"},
      {0x00652E, routine_entry, "sub_00652E"},
      {0x006550, routine_entry, "sub_006550"},
      {0x0066F4, routine_entry, "sub_0066F4"},
      {0x006724, routine_entry, "sub_006724"},
      {0x009614, routine_entry, "sub_009614"},
      {0x00AA2E, routine_entry, "sub_00AA2E"},
      {0x00AA42, routine_entry, "player_start_death"},
      {0x00AE1A, routine_entry, "sub_00AE1A"},
      {0x00AE2A, routine_entry, "sub_00AE2A"},
      {0x00B424, routine_entry, "sub_00B424"},
      {0x00B46E, routine_entry, "sub_00B46E"},
      {0x00B492, routine_entry, "sub_00B492"},
      {0x00B4FC, routine_entry, "sub_00B4FC"},
      {0x00B512, routine_entry, "sub_00B512"},
      {0x00B540, routine_entry, "sub_00B540"},
  });
}

} // namespace
