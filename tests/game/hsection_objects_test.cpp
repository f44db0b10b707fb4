// The horizontal sections' objects: placed by the event stream ($52FA),
// updated once a frame ($5336: guns, vents with their player test $5680),
// and the installations' hostile dot bullet ($5904).
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "game/shot_ram.h"
#include "support/machine/dispatch_check.h"
#include "support/tables/hsection_tables.h"
#include "support/machine/mission_machine.h"
#include "support/machine/resumption_check.h"
#include "support/machine/screen_bytes.h"
#include "support/synthetic/st_planes.h"

namespace {

namespace pr = player_record;

constexpr u32 place = 0x0052FA;
constexpr u32 update = 0x005336;
constexpr u32 vent_test = 0x005680;
constexpr u32 hostile_dot = 0x005904;

u32 obj(u32 i) { return section_object_table.address + i * section_object_table.size; }
u32 dot(u32 i) { return dot_bullet_table.address + i * dot_bullet_table.size; }
u32 fx(u32 i) { return effect_table.address + i * effect_table.size; }

void put_obj(u32 i, u32 kind, u32 x, u32 y, u32 timer = 0, u32 puffs = 0, u32 side = 0) {
  wr16(obj(i), 0xFF00);
  wr16(obj(i) + 2, x);
  wr16(obj(i) + 4, y);
  wr16(obj(i) + 6, kind);
  wr16(obj(i) + 8, timer);
  wr16(obj(i) + 0x0A, puffs);
  wr16(obj(i) + 0x0C, side);
}

void in_play(u32 record, u32 x, u32 y) {
  wr16(record + pr::lives, 3);
  wr16(record + pr::x, x);
  wr16(record + pr::y, y);
}

struct fired {
  u32 x, y, dx, dy, life, owner;
  bool operator==(const fired&) const = default;
};
// The live records of bullet_table in order. The spawner starts a shot part
// of a step ahead by the frame counter's low bits; these tests run at
// frame 0, where it starts in place.
std::vector<fired> bullets_fired() {
  std::vector<fired> v;
  for (u32 i = 0; i < bullet_table.records; ++i) {
    const u32 at = bullet_table.address + i * bullet_table.size;
    if (rd16(at + bullet::live))
      v.push_back({rd16(at + bullet::x), rd16(at + bullet::y), rd16(at + bullet::dx), rd16(at + bullet::dy),
                   rd16(at + bullet::life), rd16(at + bullet::owner)});
  }
  return v;
}

// random_seed after one step of the game's generator.
u32 next_random(u32 seed) { return seed << 1 | ((seed >> 22 ^ seed) & 1); }

class SectionObjects : public MissionTest {
 protected:
  void SetUp() override {
    MissionTest::SetUp();
  }
  void run(u32 entry) { ASSERT_EQ(run_mission_routine(entry), 1) << "one slice, no wait"; }
  u32 puffs_placed() {
    u32 n = 0;
    for (u32 i = 0; i < effect_table.records; ++i) n += rd16(fx(i) + 8) != 0;
    return n;
  }
};

TEST_F(SectionObjects, NamedAddressesAreInTheDispatchTable) {
  expect_named_rows({
      {place, routine_entry, "sub_0052FA"},
      {update, routine_entry, "sub_005336"},
      {vent_test, routine_entry, "sub_005680"},
      {hostile_dot, routine_entry, "sub_005904"},
      {0x0054AA, routine_entry, "sub_0054AA"},
      {0x005514, routine_entry, "sub_005514"},
  });
}

// --- placing ----------------------------------------------------------------------------

TEST_F(SectionObjects, PlacingTakesTheFirstFreeRecordKeepsItsOldWordsAndEveryRegister) {
  put_obj(0, 240, 1, 1);
  put_obj(1, 242, 0x7701, 0x8801, 9, 5, 1);
  wr16(obj(1), 0); // freed: its timer, count and side stay
  wr8(0x3000, 250);
  wr8(0x3001, 184);
  const u32 regs[15] = {243, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x3000, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6};
  for (int r = 0; r < 8; ++r) g_cpu.d[r] = regs[r];
  for (int r = 0; r < 7; ++r) g_cpu.a[r] = regs[8 + r];
  run(place);
  EXPECT_EQ(rd16(obj(1)), 0xFF00u);
  EXPECT_EQ(rd16(obj(1) + 2), 250u);
  EXPECT_EQ(rd16(obj(1) + 4), 184u);
  EXPECT_EQ(rd16(obj(1) + 6), 243u);
  EXPECT_EQ(rd16(obj(1) + 8), 9u);
  EXPECT_EQ(rd16(obj(1) + 0x0A), 5u);
  EXPECT_EQ(rd16(obj(1) + 0x0C), 1u);
  EXPECT_EQ(rd16(obj(2)), 0u);
  EXPECT_EQ(rd32(event_pointer), 0x3002u);
  for (int r = 0; r < 8; ++r) EXPECT_EQ(g_cpu.d[r], regs[r]) << "d" << r;
  for (int r = 0; r < 7; ++r) EXPECT_EQ(g_cpu.a[r], regs[8 + r]) << "a" << r << ", a0 too";

  for (u32 i = 0; i < section_object_table.records; ++i) put_obj(i, 245, 1, 1);
  run(place);
  for (u32 i = 0; i < section_object_table.records; ++i) EXPECT_EQ(rd16(obj(i) + 2), 1u) << i;
  EXPECT_EQ(rd16(section_installation_table.address), 0u) << "nothing past the table";
  EXPECT_EQ(rd32(event_pointer), 0x3002u);
}

// --- update -----------------------------------------------------------------------------

TEST_F(SectionObjects, ObjectsOutsideX38To265AreFreed) {
  struct {
    u32 x;
    bool kept;
  } cases[] = {{37, false}, {38, true}, {265, true}, {266, false}};
  for (const auto& c : cases) {
    SetUp();
    put_obj(15, 245, c.x, 40); // the last record
    run(update);
    EXPECT_EQ(rd16(obj(15)) != 0, c.kept) << "x " << c.x;
  }
}

TEST_F(SectionObjects, GunsFireAtOnceThenWaitARandomTime) {
  struct {
    u32 kind;
    fired want;
  } cases[] = {{243, {100 + 42, 60 + 116, 0, 3, 50, 0xFFFF}}, {244, {100 + 42, 60 + 100, 0, 0xFFFD, 50, 0xFFFF}}};
  for (const auto& c : cases) {
    for (u32 seed : {0x12345678u, 0x00400011u}) {
      SetUp();
      wr32(random_seed, seed);
      put_obj(3, c.kind, 100, 60);
      run(update);
      const std::string what = "kind " + std::to_string(c.kind);
      EXPECT_EQ(rd16(obj(3) + 8), next_random(seed) & 31) << what;
      ASSERT_EQ(bullets_fired().size(), 1u) << what;
      EXPECT_EQ(bullets_fired()[0], c.want) << what;
      // waiting: the timer runs down, no shot
      const u32 timer = rd16(obj(3) + 8);
      if (timer == 0) continue;
      run(update);
      EXPECT_EQ(rd16(obj(3) + 8), timer - 1) << what;
      EXPECT_EQ(bullets_fired().size(), 1u) << what;
    }
  }
}

TEST_F(SectionObjects, MinesAndTheInertKindDoNothing) {
  in_play(player1, 100, 60);
  for (u32 kind : {240u, 241u, 245u}) {
    SetUp();
    in_play(player1, 100, 60);
    put_obj(0, kind, 100, 60, 0, 13, 0);
    run(update);
    EXPECT_EQ(rd16(obj(0) + 8), 0u) << kind;
    EXPECT_EQ(rd16(obj(0) + 0x0A), 13u) << kind;
    EXPECT_EQ(rd32(random_seed), mission_random_seed) << kind;
    EXPECT_EQ(puffs_placed(), 0u) << kind;
    EXPECT_TRUE(bullets_fired().empty()) << kind;
  }
}

// --- vents ------------------------------------------------------------------------------

TEST_F(SectionObjects, AVentIsNearAPlayerWithin30PixelsSideways) {
  struct {
    u32 lives1, x1, lives2, x2;
    bool near;
  } cases[] = {
      {3, 130, 0, 0, true},    {3, 70, 0, 0, true},    {3, 131, 0, 0, false}, {3, 69, 0, 0, false},
      {0, 100, 3, 130, true},  {0, 100, 3, 69, false}, {3, 200, 3, 70, true}, {0, 100, 0, 100, false},
  };
  for (const auto& c : cases) {
    SetUp();
    wr16(player1 + pr::lives, c.lives1);
    wr16(player1 + pr::x, c.x1);
    wr16(player2 + pr::lives, c.lives2);
    wr16(player2 + pr::x, c.x2);
    put_obj(0, 242, 100, 60, 0, 0, 7);
    g_cpu.a[4] = obj(0);
    run(vent_test);
    const std::string what = "players at " + std::to_string(c.x1) + ", " + std::to_string(c.x2);
    EXPECT_EQ(g_cpu.d[6], c.near ? 0u : 0xFFFFFFFFu) << what;
    if (!c.near) {
      EXPECT_EQ(rd16(obj(0) + 0x0C), 7u) << what << ": side unchanged";
    }
  }
}

TEST_F(SectionObjects, TheVentsSideTestsDifferForTheTwoPlayers) {
  struct {
    u32 lives1, y1, lives2, y2;
    u32 side;
  } cases[] = {
      {3, 100, 0, 0, 0},    // vent y 108 < 100 + 9: down
      {3, 99, 0, 0, 1},     // 108 = 99 + 9: up
      {0, 0, 3, 100, 1},    // player 2 at 100: the vent at 108 is not above it: up
      {0, 0, 3, 109, 0},    // player 2 below the vent: down
      {0, 0, 3, 107, 1},    // one line above it: up
      {3, 50, 3, 109, 0},   // player 1 above, player 2 below: player 2's test says down
  };
  for (const auto& c : cases) {
    SetUp();
    wr16(player1 + pr::lives, c.lives1);
    wr16(player1 + pr::x, 100);
    wr16(player1 + pr::y, c.y1);
    wr16(player2 + pr::lives, c.lives2);
    wr16(player2 + pr::x, 100);
    wr16(player2 + pr::y, c.y2);
    put_obj(0, 242, 100, 108, 0, 0, 5);
    g_cpu.a[4] = obj(0);
    run(vent_test);
    EXPECT_EQ(rd16(obj(0) + 0x0C), c.side) << c.y1 << " " << c.y2;
  }
}

TEST_F(SectionObjects, AVentPuffs14FramesThenPausesOnlyWhileAPlayerIsNear) {
  in_play(player1, 100, 20); // above the vent: puffs go up
  put_obj(2, 242, 110, 60);
  u32 seed = 0x00000111; // the 14th puff draws a pause of 35
  wr32(random_seed, seed);
  for (u32 f = 1; f <= 14; ++f) {
    run(update);
    EXPECT_EQ(puffs_placed(), f) << "frame " << f;
    EXPECT_EQ(rd16(obj(2) + 0x0A), f == 14 ? 0u : f) << "frame " << f;
  }
  seed = next_random(seed);
  EXPECT_EQ(rd16(obj(2) + 8), seed & 0x63) << "the pause after the 14th";
  // the puffs: life 200, dx 0, owner $FFFF, upward from y + 98
  EXPECT_EQ(rd16(fx(0)), 110u + 36);
  EXPECT_EQ(rd16(fx(0) + 2), 60u + 98);
  EXPECT_EQ(rd16(fx(0) + 4), 0u);
  EXPECT_EQ(rd16(fx(0) + 6), 0xFFF7u);
  EXPECT_EQ(rd16(fx(0) + 0x0A), 0xFFFFu);
  EXPECT_EQ(rd16(fx(0) + 0x0C), 200u);

  // with nobody near the timer stands
  wr16(obj(2) + 8, 5);
  wr16(player1 + pr::x, 200);
  run(update);
  EXPECT_EQ(rd16(obj(2) + 8), 5u);
  wr16(player1 + pr::x, 100);
  run(update);
  EXPECT_EQ(rd16(obj(2) + 8), 4u);
  EXPECT_EQ(puffs_placed(), 14u) << "no puff while pausing";
}

TEST_F(SectionObjects, APuffDownwardWhenThePlayerIsBelow) {
  in_play(player1, 100, 150);
  put_obj(0, 242, 110, 60);
  run(update);
  EXPECT_EQ(rd16(fx(0) + 2), 60u + 102);
  EXPECT_EQ(rd16(fx(0) + 6), 8u);
}

// --- drawing ----------------------------------------------------------------------------

constexpr u32 draw = 0x0054AA;
// The screen and what follows it: the spare bytes and the start of the
// horizontal band at $28000.
constexpr u32 watched_bytes = 0x28000 + 4 * 160 - mission_draw_screen;

std::vector<u8> read_watched(u32 screen) { return read_bytes(screen, watched_bytes); }
void fill_watched(u32 screen) { fill_pattern(screen, watched_bytes, 13, 9); }

// Picture k at (x, y): its pixels in play-field columns 64-255 and on
// lines 0-199 only.
std::vector<u8> with_object(std::vector<u8> v, u32 k, u32 x, u32 y) {
  return with_play_field_stamp(std::move(v), 16, x, y, [k](u32 l, u32 j) { return object_picture_pixel(k, l, j); });
}

TEST_F(SectionObjects, DrawingClipsToThePlayFieldColumnsAndTheScreensLastLine) {
  struct {
    u32 x, y;
  } cases[] = {{64, 40},  {65, 41},  {72, 42},  {80, 43},  {120, 44}, {127, 45}, {136, 46}, {240, 47},
               {241, 48}, {250, 49}, {255, 50}, {256, 51}, {265, 52}, {63, 53},  {49, 54},  {48, 55},
               {38, 56},  {100, 184}, {101, 185}, {102, 199}, {103, 200}, {104, 255}, {100, 0}};
  for (u32 screen : {mission_draw_screen, screen_buffer_a}) {
    for (const auto& c : cases) {
      SetUp();
      hsection_tables{}.put_in_ram();
      wr32(draw_screen, screen);
      fill_watched(screen);
      const u32 k = (c.x + c.y) % 6;
      put_obj(9, 240 + k, c.x, c.y);
      const std::vector<u8> want = c.y < 200 ? with_object(read_watched(screen), k, c.x, c.y) : read_watched(screen);
      run(draw);
      EXPECT_EQ(first_difference(read_watched(screen), want), "")
          << "x " << c.x << " y " << c.y << " screen " << std::hex << screen;
    }
  }
}

// --- the installations' hostile dot bullet -----------------------------------------------

TEST_F(SectionObjects, AHostileDotBulletTakesTheFirstFreeRecordAndChangesNoRegister) {
  wr16(dot(0) + 4, 0xFFFF);
  wr16(dot(1), 0x1234); // freed, its old words left
  wr16(dot(1) + 2, 0x5678);
  const u32 regs[15] = {150, 250, 0xFFFE, 3, 15, 0x55, 0x66, 0x77, 0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6};
  for (int r = 0; r < 8; ++r) g_cpu.d[r] = regs[r];
  for (int r = 0; r < 7; ++r) g_cpu.a[r] = regs[8 + r];
  run(hostile_dot);
  EXPECT_EQ(rd16(dot(1)), 150u);
  EXPECT_EQ(rd16(dot(1) + 2), 250u);
  EXPECT_EQ(rd16(dot(1) + 4), 0xFFFFu);
  EXPECT_EQ(rd16(dot(1) + 6), 15u);
  EXPECT_EQ(rd16(dot(1) + 8), 0xFFFFu);
  EXPECT_EQ(rd16(dot(1) + 0x0A), 0xFFFEu);
  EXPECT_EQ(rd16(dot(1) + 0x0C), 3u);
  EXPECT_EQ(rd16(dot(2) + 4), 0u);
  for (int r = 0; r < 8; ++r) EXPECT_EQ(g_cpu.d[r], regs[r]) << "d" << r;
  for (int r = 0; r < 7; ++r) EXPECT_EQ(g_cpu.a[r], regs[8 + r]) << "a" << r;
  EXPECT_EQ(g_cpu.a[7], mission_stack);

  for (u32 i = 0; i < dot_bullet_table.records; ++i) wr16(dot(i) + 4, 0xFFFF);
  wr16(explosion_table.address + 4, 0);
  run(hostile_dot);
  EXPECT_EQ(rd16(explosion_table.address), 0u) << "a full table fires nothing";
  EXPECT_EQ(rd16(dot(19)), 0u);
}

// --- resumption --------------------------------------------------------------------------

void prepare_busy_objects() {
  machine_clear();
  mission_machine_reset();
  in_play(player1, 120, 100);
  in_play(player2, 180, 40);
  hsection_tables{}.put_in_ram();
  for (u32 i = 0; i < 16; ++i) put_obj(i, 240 + i % 6, 40 + 14 * i, 20 + 12 * i, i % 3, i % 14, 0);
}

TEST(SectionObjectsResumption, TheUpdateAndTheDrawingResumeFromASavedState) {
  for (u32 entry : {update, draw}) {
    for (int save_at : {1, 5, 12, entry == draw ? 40 : 14}) {
      const resumption_result r = check_resumption(prepare_busy_objects, entry, 0, save_at);
      EXPECT_GT(r.yields, save_at) << std::hex << entry;
      EXPECT_TRUE(r.sliced_same) << r.first_difference;
      EXPECT_TRUE(r.resumed_same) << std::hex << entry << " saved at " << std::dec << save_at << ": "
                                  << r.first_difference;
    }
  }
  machine_clear();
}

} // namespace
