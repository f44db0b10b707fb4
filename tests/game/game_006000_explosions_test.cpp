// Page $6000: the explosions (spawner, countdown, animation, the clipped
// drawing of a frame, the host's nested call) and the grenades (throw,
// flight, burst), on synthetic frames.
#include <gtest/gtest.h>

#include <random>
#include <utility>
#include <vector>

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "machine/hooks.h"
#include "machine/slice_runner.h"
#include "support/machine/mission_machine.h"
#include "support/tables/mission_objects.h"
#include "support/machine/resume_check.h"
#include "support/machine/screen_bytes.h"
#include "support/synthetic/st_planes.h"

namespace {

constexpr u32 throw_grenade = 0x006BEA, grenades_step = 0x006C28, spawn = 0x006CA8;
constexpr u32 countdown_step = 0x006CFA, draw_all = 0x006D12, draw_one = 0x006D64;
constexpr u32 boom_head = 0x006D1A, boom_end = 0x006D5A;
constexpr u32 sample_b = 0x00E756, spawn_pan_site = 0x006CEA;
constexpr u32 screen = mission_draw_screen;
constexpr u32 screen_span = 32000 + 160 * 40; // and what lies below the screen

// The sample calls heard at the sample player's entry hook: the return
// address and the x word the host pans by (a4 + 0 at the spawner's site).
struct heard {
  u32 sample, ret, x;
  bool operator==(const heard&) const = default;
};
std::vector<heard> samples;
void note_sample(u32) {
  samples.push_back({g_cpu.d[0] & 0xFFFF, rd32(g_cpu.a[7]), rd16(g_cpu.a[4])});
}

int run(u32 entry) { return run_routine_with_regs(entry); }

std::vector<u8> screen_bytes() { return read_bytes(screen, screen_span); }

void random_background(u32 seed) {
  std::mt19937 rng(seed);
  for (u32 i = 0; i < screen_span; ++i) wr8(screen + i, rng() & 0xFF);
}

void set_pixel(std::vector<u8>& b, u32 x, u32 y, u32 colour) {
  st_set_pixel(b.data(), static_cast<int>(x), static_cast<int>(y), static_cast<int>(colour));
}

// Explosion frame f with its left edge at screen column px and frame line
// `first` at screen line `top`, `lines` lines, the halves chosen.
void reference_explosion(std::vector<u8>& b, u32 frame, u32 px, u32 top, u32 first, u32 lines, bool left,
                         bool right) {
  for (u32 l = 0; l < lines; ++l)
    for (u32 x = 0; x < 32; ++x) {
      if ((x < 16 && !left) || (x >= 16 && !right)) continue;
      const u32 c = explosion_pixel(frame, first + l, x);
      if (c != 0) set_pixel(b, px + x, top + l, c);
    }
}

class Explosions : public MissionTest {
 protected:
  void SetUp() override {
    MissionTest::SetUp();
    samples.clear();
    hook_register(sample_b, note_sample);
    put_explosion_frames();
    for (u32 n = 0; n < 13; ++n) wr16(0x00B20E + 2 * n, 16 * n); // animation n starts at $B228 + 16n
  }
  void spawn_at(u16 x, u16 y, u16 owner) {
    d0 = x;
    d1 = y;
    d2 = owner;
    ASSERT_EQ(run(spawn), 1);
  }
};

// --- spawning ------------------------------------------------------------------------

TEST_F(Explosions, ASpawnTakesTheFirstFreeRecordOnASixteenPixelColumn) {
  const struct {
    u16 x, stored;
  } rows[] = {{100, 96}, {104, 96}, {105, 112}, {108, 112}, {120, 112}};
  put_explosion(0, 10, 10, 0, 3); // live: skipped
  u32 i = 1;
  for (const auto& r : rows) {
    // A record used before keeps its old words until the spawn.
    wr16(explosion_at(i) + 6, 10);
    wr16(explosion_at(i) + 8, 0x5555);
    wr16(explosion_at(i) + 0x0C, 0x0101);
    spawn_at(r.x, 150 + i, i == 2 ? 1 : 0xFFFF);
    const u32 e = explosion_at(i);
    EXPECT_EQ(rd16(e + 0), r.stored) << r.x;
    EXPECT_EQ(rd16(e + 2), 150 + i);
    EXPECT_EQ(rd16(e + 4), 0xFFFFu);
    EXPECT_EQ(rd16(e + 6), 0u) << "frame";
    EXPECT_EQ(rd16(e + 8), 20u) << "countdown";
    EXPECT_EQ(rd16(e + 0x0A), i == 2 ? 1u : 0xFFFFu) << "owner";
    EXPECT_EQ(rd16(e + 0x0C), 2u) << "delay";
    ++i;
  }
  EXPECT_EQ(rd16(explosion_at(i) + 4), 0u);
  ASSERT_EQ(samples.size(), 5u);
  for (u32 k = 0; k < 5; ++k)
    EXPECT_EQ(samples[k], (heard{6, spawn_pan_site, rows[k].stored})) << "sample 6, panned by the new record's x";
}

TEST_F(Explosions, AFullTableMakesNothingAndPlaysNothing) {
  for (u32 i = 0; i < 17; ++i) put_explosion(i, 200, 200, 0, 5);
  const std::vector<u8> before(ram + explosion_table.address, ram + explosion_table.address + 17 * 14);
  spawn_at(150, 150, 0);
  EXPECT_TRUE(std::equal(before.begin(), before.end(), ram + explosion_table.address));
  EXPECT_TRUE(samples.empty());
  wr16(explosion_at(16) + 4, 0); // the last record free: taken
  spawn_at(150, 150, 0);
  EXPECT_EQ(rd16(explosion_at(16) + 2), 150u);
  EXPECT_EQ(samples.size(), 1u);
}

// The game's callers rely on every register coming back.
constexpr u32 kept_registers_at = 0x080000;
ROUTINE(calls_spawn, 0xC40000)
  d0 = 0x00010180;
  d1 = 0x00020190;
  d2 = 0x00030001;
  d3 = 0x33333333, d4 = 0x44444444, d5 = 0x55555555, d6 = 0x66666666, d7 = 0x77777777;
  a0 = 0x00A0A0A0, a1 = 0x00A1A1A1, a2 = 0x00A2A2A2, a3 = 0x00A3A3A3, a4 = 0x00A4A4A4;
  a5 = 0x00A5A5A5, a6 = 0x00A6A6A6;
  JSR(spawn, 0xC40004)
  movem_store<L>(dregs(0, 7) | aregs(0, 6), kept_registers_at);
  RTS();
END_ROUTINE

TEST_F(Explosions, TheSpawnerKeepsEveryRegister) {
  register_routine(0xC40000, calls_spawn, {0xC40004});
  for (u32 full : {0u, 1u}) {
    if (full)
      for (u32 i = 0; i < 17; ++i) put_explosion(i, 200, 200, 0, 5);
    ASSERT_EQ(run_routine(0xC40000), 1);
    const u32 want[15] = {0x00010180, 0x00020190, 0x00030001, 0x33333333, 0x44444444, 0x55555555, 0x66666666, 0x77777777,
                          0x00A0A0A0, 0x00A1A1A1, 0x00A2A2A2, 0x00A3A3A3, 0x00A4A4A4, 0x00A5A5A5, 0x00A6A6A6};
    for (u32 r = 0; r < 15; ++r) EXPECT_EQ(rd32(kept_registers_at + 4 * r), want[r]) << "register " << r << " full " << full;
    EXPECT_EQ(rd16(explosion_at(0) + 0), full ? 200u : 0x0180u);
  }
}

TEST_F(Explosions, TheCountdownRunsInEveryRecordAndWraps) {
  put_explosion(3, 150, 150, 0, 0);
  for (u32 i = 0; i < 17; ++i) wr16(explosion_at(i) + 8, 100 + i);
  wr16(explosion_at(16) + 8, 0);
  ASSERT_EQ(run(countdown_step), 1);
  for (u32 i = 0; i < 16; ++i) EXPECT_EQ(rd16(explosion_at(i) + 8), 99 + i) << i;
  EXPECT_EQ(rd16(explosion_at(16) + 8), 0xFFFFu);
  EXPECT_EQ(rd16(explosion_at(0) + 0x0A), 0u) << "nothing but the countdown";
  EXPECT_EQ(rd16(explosion_at(17) + 8), 0u) << "nothing past the table";
}

// --- animation -------------------------------------------------------------------------

std::vector<u32> frames_drawn;
void note_frame() { frames_drawn.push_back(d6 & 0xFFFF); }

TEST_F(Explosions, FramesShowThreeTwoAndOnePassesThenTheRecordIsFreed) {
  stub_records_over(draw_one, note_frame);
  hooks_record({boom_head, boom_end});
  frames_drawn.clear();
  put_explosion(1, 180, 200, 0, 0);
  for (int pass = 1; pass <= 23; ++pass) {
    stub_calls().clear();
    ASSERT_EQ(run(draw_all), 1);
    // Both hooks for every record with a4 = the record, the drawing only
    // between record 1's.
    std::vector<std::pair<u32, u32>> want;
    for (u32 i = 0; i < 17; ++i) {
      want.push_back({boom_head, explosion_at(i)});
      if (i == 1 && pass <= 22) want.push_back({draw_one, explosion_at(1)});
      want.push_back({boom_end, explosion_at(i)});
    }
    std::vector<std::pair<u32, u32>> got;
    for (const stub_call& c : stub_calls()) got.push_back({c.address, c.a4});
    ASSERT_EQ(got, want) << "pass " << pass;
    EXPECT_EQ(rd16(explosion_at(1) + 4), pass <= 22 ? 0xFFFFu : 0u) << "pass " << pass;
  }
  std::vector<u32> want_frames = {0, 0, 0};
  for (u32 f = 1; f <= 9; ++f) want_frames.insert(want_frames.end(), {f, f});
  want_frames.push_back(10);
  EXPECT_EQ(frames_drawn, want_frames);
}

// --- drawing one frame --------------------------------------------------------------------

TEST_F(Explosions, OneFrameIsClippedToTheFieldAndTheScreen) {
  struct row {
    u16 px, y;
    bool left, right, freed;
    u32 top, first, lines;
  };
  const row rows[] = {
      {224, 200, true, true, false, 100, 0, 22},  {240, 200, true, false, false, 100, 0, 22},
      {256, 200, false, false, true, 0, 0, 0},    {64, 200, true, true, false, 100, 0, 22},
      {48, 200, false, true, false, 100, 0, 22},  {32, 200, false, false, true, 0, 0, 0},
      {128, 90, true, true, false, 0, 10, 12},    {128, 79, true, true, false, 0, 21, 1},
      {128, 290, true, true, false, 190, 0, 10},  {128, 78, false, false, false, 0, 0, 0},
      {128, 300, false, false, false, 0, 0, 0},   {240, 290, true, false, false, 190, 0, 10},
      {128, 277, true, true, false, 177, 0, 22},  {128, 278, true, true, false, 178, 0, 22},
      {128, 99, true, true, false, 0, 1, 21},
  };
  u32 seed = 1;
  for (const row& r : rows) {
    for (const auto& [frame, offset] : {std::pair{0u, 0u}, std::pair{7u, 7u}, std::pair{10u, 15u}}) {
      random_background(seed++);
      std::vector<u8> want = screen_bytes();
      reference_explosion(want, frame, r.px, r.top, r.first, r.lines, r.left, r.right);
      const u16 x = r.px + 36; // any x in the column draws alike
      put_explosion(4, x, r.y, 0, 0);
      d0 = x + offset;
      d1 = r.y;
      d6 = frame;
      a4 = explosion_at(4);
      ASSERT_EQ(run(draw_one), 1);
      EXPECT_EQ(screen_bytes(), want) << "px " << r.px << " y " << r.y << " frame " << frame;
      EXPECT_EQ(rd16(explosion_at(4) + 4), r.freed ? 0u : 0xFFFFu) << "px " << r.px << " y " << r.y;
      EXPECT_EQ(rd8(0x278), r.px < 64 ? 0xFFu : 0u) << "left clip flag, px " << r.px;
    }
  }
  EXPECT_TRUE(resumes_alike({.entry = draw_one}));
}

TEST_F(Explosions, TheAnimationDrawsEachFrameWhereTheRecordStands) {
  // Two explosions, one over the other's right half: the later record
  // covers the earlier one where its pixels are set.
  random_background(99);
  std::vector<u8> want = screen_bytes();
  put_explosion(0, 150, 180, 0, 4);
  put_explosion(2, 166, 190, 0, 9);
  wr16(explosion_at(0) + 0x0C, 1); // shows frame 4 once more
  wr16(explosion_at(2) + 0x0C, 0); // steps: frame 9 shown, then 10
  reference_explosion(want, 4, ((150 - 100) & 0xFFF0) + 64, 80, 0, 22, true, true);
  reference_explosion(want, 9, ((166 - 100) & 0xFFF0) + 64, 90, 0, 22, true, true);
  ASSERT_EQ(run(draw_all), 1);
  EXPECT_EQ(screen_bytes(), want);
  EXPECT_EQ(rd16(explosion_at(0) + 6), 4u);
  EXPECT_EQ(rd16(explosion_at(0) + 0x0C), 0u);
  EXPECT_EQ(rd16(explosion_at(2) + 6), 10u);
  EXPECT_EQ(rd16(explosion_at(2) + 0x0C), 1u);
  EXPECT_TRUE(resumes_alike({.entry = draw_all}));
}

// --- the host's nested call -------------------------------------------------------------

TEST_F(Explosions, TheHostsNestedSpawnLeavesASuspendedPassIntact) {
  auto prepare = [] {
    random_background(7);
    put_explosion(0, 150, 180, 0, 2);
    put_explosion(1, 200, 220, 1, 5);
    put_explosion(3, 250, 250, 0, 8);
  };
  // The pass with the explosion already in record 2.
  prepare();
  put_explosion(2, 176, 240, 1, 0);
  wr16(explosion_at(2) + 8, 20);
  ASSERT_EQ(run(draw_all), 1);
  const std::vector<u8> straight(ram + explosion_table.address, ram + explosion_table.address + 17 * 14);
  const std::vector<u8> straight_screen = screen_bytes();

  SetUp();
  prepare();
  d0 = 0x1111, d1 = 0x2222, d2 = 0x3333, d3 = 0x4444, d4 = 0x5555, d5 = 0x6666, d6 = 0x7777, d7 = 0x8888;
  sync_regs_out();
  driver_start(draw_all);
  driver_run(1, 30, nullptr); // the budget runs out inside record 0's frame
  ASSERT_FALSE(driver_finished());
  ASSERT_EQ(driver_slice_ends().back(), budget_spent(0x6DF0));
  cpu_state before = g_cpu;
  EXPECT_EQ(tos_call_sub3(spawn, 180, 240, 1), 0);
  for (int r = 0; r < 8; ++r) EXPECT_EQ(g_cpu.d[r], before.d[r]) << "d" << r;
  for (int r = 0; r < 8; ++r) EXPECT_EQ(g_cpu.a[r], before.a[r]) << "a" << r;
  EXPECT_EQ(g_cpu.pc, before.pc);
  EXPECT_EQ(rd16(explosion_at(2) + 4), 0xFFFFu) << "the host's explosion is live";
  driver_run(100, 30, nullptr);
  ASSERT_TRUE(driver_finished());
  EXPECT_TRUE(std::equal(straight.begin(), straight.end(), ram + explosion_table.address));
  EXPECT_EQ(screen_bytes(), straight_screen);
}

// --- grenades --------------------------------------------------------------------------------

TEST_F(Explosions, AThrowTakesTheFirstFreeRecordAndAFullTableDropsIt) {
  put_grenade(0, 1, 1, 0, 0, 0);
  d0 = 120, d1 = 230, d2 = 0xFFFD, d3 = 4, d5 = 1;
  ASSERT_EQ(run(throw_grenade), 1);
  const u32 g = grenade_at(1);
  EXPECT_EQ(a0, g);
  EXPECT_EQ(d7 & 0xFFFF, 15u);
  const u32 want[10] = {120, 230, 0xFFFF, 0, 36, 24, 1, 0, 0xFFFD, 4};
  for (u32 w = 0; w < 10; ++w)
    if (w != 3 && w != 7) {
      EXPECT_EQ(rd16(g + 2 * w), want[w]) << "word " << w;
    }
  for (u32 i = 2; i < 17; ++i) put_grenade(i, 1, 1, 0, 0, 0);
  d7 = 0x12340000;
  ASSERT_EQ(run(throw_grenade), 1);
  EXPECT_EQ(a0, 0x135Au);
  EXPECT_EQ(d7, 0x1234FFFFu);
}

TEST_F(Explosions, AGrenadeFliesTwentyStepsAndBurstsForItsOwner) {
  stub_watch_address = 0;
  const struct {
    u16 x, y;
    i16 dx, dy;
    u16 owner;
  } rows[] = {{149, 280, 2, -5, 1}, {250, 150, -3, 4, 0xFFFF}}; // bursts at x 184 (to 176) and 185 (192)
  for (const auto& r : rows) {
    SetUp();
    put_grenade(5, r.x, r.y, r.dx, r.dy, r.owner);
    std::vector<u32> pictures;
    for (int step = 1; step <= 20; ++step) {
      ASSERT_EQ(run(grenades_step), 1);
      pictures.push_back(rd16(grenade_at(5) + 0x0A));
      if (step < 20) {
        EXPECT_EQ(rd16(grenade_at(5) + 4), 0xFFFFu);
        EXPECT_EQ(rd16(explosion_at(0) + 4), 0u) << "no burst before step 20";
        EXPECT_EQ(rd16(grenade_at(5)), static_cast<u16>(r.x + step * r.dx));
      }
    }
    std::vector<u32> want(20, 25);
    for (int i : {0, 1, 2, 3, 16, 17, 18, 19}) want[i] = 24;
    EXPECT_EQ(pictures, want);
    EXPECT_EQ(rd16(grenade_at(5) + 4), 0u);
    const u16 bx = r.x + 20 * r.dx - 5, by = r.y + 20 * r.dy - 7;
    EXPECT_EQ(rd16(explosion_at(0)), static_cast<u16>((bx + 7) & 0xFFF0));
    EXPECT_EQ(rd16(explosion_at(0) + 2), by);
    EXPECT_EQ(rd16(explosion_at(0) + 0x0A), r.owner);
    EXPECT_EQ(samples.size(), 1u);
  }
}

TEST_F(Explosions, EveryGrenadeRecordStepsAndNothingPastTheTable) {
  put_grenade(16, 150, 200, 3, -2, 0);
  // The dot-bullet table after it: not a grenade.
  wr16(grenade_at(17), 150);
  wr16(grenade_at(17) + 4, 0xFFFF);
  wr16(grenade_at(17) + 8, 30);
  wr16(grenade_at(17) + 0x10, 1);
  ASSERT_EQ(run(grenades_step), 1);
  EXPECT_EQ(rd16(grenade_at(16)), 153u);
  EXPECT_EQ(rd16(grenade_at(16) + 2), 198u);
  EXPECT_EQ(rd16(grenade_at(17)), 150u);
  EXPECT_EQ(rd16(grenade_at(17) + 8), 30u);
}

TEST_F(Explosions, AFullExplosionTableSwallowsTheBurst) {
  for (u32 i = 0; i < 17; ++i) put_explosion(i, 200, 200, 0, 5);
  put_grenade(0, 150, 200, 1, 1, 0, 17);
  put_grenade(1, 160, 210, 1, 1, 0, 30);
  ASSERT_EQ(run(grenades_step), 1);
  EXPECT_EQ(rd16(grenade_at(0) + 4), 0u) << "gone without a blast";
  EXPECT_EQ(rd16(grenade_at(1) + 4), 0xFFFFu) << "the scan goes on";
  EXPECT_EQ(rd16(grenade_at(1) + 8), 29u);
  EXPECT_TRUE(samples.empty());
  for (u32 i = 0; i < 17; ++i) EXPECT_EQ(rd16(explosion_at(i)), 200u);
  put_grenade(0, 150, 200, 1, 1, 0, 17);
  wr16(explosion_at(9) + 4, 0);
  EXPECT_TRUE(resumes_alike({.entry = grenades_step}));
}

} // namespace
