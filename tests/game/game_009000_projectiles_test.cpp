// Page $9000: the players' projectiles (firing by pattern and facing
// $9FE0, the per-frame step $9FA4) and the obstacle probe $9BEA in both
// engines.
#include <gtest/gtest.h>

#include <vector>

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "support/machine/mission_machine.h"
#include "support/tables/mission_objects.h"
#include "support/machine/resume_check.h"

namespace {

namespace pr = player_record;

constexpr u32 probe = 0x009BEA, step = 0x009FA4, fire = 0x009FE0;
constexpr u32 start_death = 0x00AA42;
constexpr u32 obstacle_record = 0x0001FA, hscroll_step = 0x000248, fx_low = 0x000273;
constexpr u32 pattern = 0x52;

int run(u32 entry) { return run_routine_with_regs(entry); }

// Distinct values in every register, and whether they came back.
void fill_registers() {
  u32* regs[15] = {&d0, &d1, &d2, &d3, &d4, &d5, &d6, &d7, &a0, &a1, &a2, &a3, &a4, &a5, &a6};
  for (u32 i = 0; i < 15; ++i) *regs[i] = 0x00010101u * (i + 3);
}
std::vector<u32> registers() { return {d0, d1, d2, d3, d4, d5, d6, d7, a0, a1, a2, a3, a4, a5, a6}; }

class Projectiles : public MissionTest {
 protected:
  projectile_directions table;
  void SetUp() override {
    MissionTest::SetUp();
    table = projectile_directions();
    table.put_in_ram();
    put_player(player2, 140, 90);
    wr16(current_player, 1);
  }
  // Fires for player 2 with the registers filled; they must come back.
  void fire_with(u16 weapon, i16 pat, u8 facing, u8 frame_low) {
    wr16(player2 + pr::weapon, weapon);
    wr16(player2 + pattern, static_cast<u16>(pat));
    wr8(player2 + pr::facing, facing);
    wr8(fx_low, frame_low);
    fill_registers();
    a4 = player2;
    const std::vector<u32> before = registers();
    ASSERT_EQ(run(fire), 1);
    EXPECT_EQ(registers(), before) << "every register kept";
  }
  // Whether record i holds the shot of entry (block, facing).
  void expect_shot(u32 i, u32 block, u32 facing) {
    const projectile_direction& e = table.entries[block][facing];
    const u32 r = projectile_at(i);
    EXPECT_EQ(rd16(r + 0), 0xFFFFu);
    EXPECT_EQ(rd16(r + 2), static_cast<u16>(140 + e.x));
    EXPECT_EQ(rd16(r + 4), static_cast<u16>(90 + e.y));
    EXPECT_EQ(rd16(r + 6), static_cast<u16>(e.type));
    EXPECT_EQ(rd16(r + 8), e.life);
    EXPECT_EQ(rd16(r + 0x0A), static_cast<u16>(e.dx));
    EXPECT_EQ(rd16(r + 0x0C), static_cast<u16>(e.dy));
    EXPECT_EQ(rd16(r + 0x0E), 1u) << "owner: current_player";
  }
};

TEST_F(Projectiles, ThePatternAndTheFrameChooseTheEntry) {
  const struct {
    u16 weapon;
    i16 pattern;
    u8 facing, frame_low;
    int block; // -1: nothing fired
  } rows[] = {
      {5, -1, 9, 0, -1}, {5, 0, 9, 0, 1},  {5, 0, 9, 1, 0},   {5, 0, 0xF6, 2, 1}, // facing's low 4 bits
      {3, 1, 4, 0, 1},   {3, 1, 4, 1, -1}, {4, 2, 8, 3, -1},  {4, 2, 8, 4, 2},
      {3, 0, 4, 1, 0},   {5, 2, 8, 1, 2},  {5, 2, 15, 0, -1}, // the empty entry
  };
  for (const auto& r : rows) {
    SetUp();
    put_projectile(0, 1, 1, 16); // live: the shot takes record 1
    fire_with(r.weapon, r.pattern, r.facing, r.frame_low);
    if (r.block < 0) {
      EXPECT_EQ(rd16(projectile_at(1)), 0u) << r.weapon << " " << r.pattern << " " << int(r.frame_low);
    } else {
      expect_shot(1, r.block, r.facing & 15);
      EXPECT_EQ(rd16(projectile_at(2)), 0u) << "one projectile a call";
    }
  }
}

TEST_F(Projectiles, AFullTableFiresNothing) {
  for (u32 i = 0; i < 20; ++i) put_projectile(i, 7, 7, 26);
  fire_with(5, 1, 9, 0);
  for (u32 i = 0; i < 20; ++i) EXPECT_EQ(rd16(projectile_at(i) + 2), 7u);
  EXPECT_EQ(rd16(projectile_at(20)), 0u) << "nothing past the table";
  wr16(projectile_at(19), 0);
  fire_with(5, 1, 9, 0);
  expect_shot(19, 1, 9);
}

TEST_F(Projectiles, EachStepMovesAndTheLifeRunsOut) {
  put_projectile(0, 100, 200, 18, 1, 5, -7);
  put_projectile(2, 150, 150, 26, 3);
  put_projectile(19, 120, 130, 20, 4, -3, 2);
  wr16(projectile_at(5) + 2, 77); // free: not moved
  wr16(projectile_at(5) + 0x0A, 1);
  // The effect table after it: not projectiles.
  put_projectile(20, 60, 60, 16, 5, 1, 1);
  fill_registers();
  const std::vector<u32> before = registers();
  ASSERT_EQ(run(step), 1);
  EXPECT_EQ(registers(), before) << "every register kept";
  EXPECT_EQ(rd16(projectile_at(0)), 0u) << "life 1: moved once and freed";
  EXPECT_EQ(rd16(projectile_at(0) + 2), 105u);
  EXPECT_EQ(rd16(projectile_at(0) + 4), 193u);
  EXPECT_EQ(rd16(projectile_at(5) + 2), 77u);
  EXPECT_EQ(rd16(projectile_at(20) + 2), 60u);
  EXPECT_EQ(rd16(projectile_at(20) + 8), 5u);
  EXPECT_EQ(rd16(projectile_at(19) + 2), 117u);
  EXPECT_EQ(rd16(projectile_at(19) + 4), 132u);
  EXPECT_EQ(rd16(projectile_at(19) + 8), 3u);
  for (int frame = 2; frame <= 3; ++frame) {
    EXPECT_EQ(rd16(projectile_at(2)), 0xFFFFu) << "an impact lives 3 frames";
    ASSERT_EQ(run(step), 1);
  }
  EXPECT_EQ(rd16(projectile_at(2)), 0u);
  EXPECT_EQ(rd16(projectile_at(2) + 2), 150u);
  EXPECT_TRUE(resumes_alike({.entry = step}));
}

// --- the obstacle probe -------------------------------------------------------------------

class Probe : public MissionTest {
 protected:
  void SetUp() override {
    MissionTest::SetUp();
    stub_watch_address = current_player + 1;
    stub_records_over(start_death, nullptr); // the probe alone: who is sent to die
    put_player(player1, 100, 100);
    wr16(current_player, 0);
  }
  // Probes (x, y) for player 1; d0, d1, d2 and a0 must come back.
  u32 probe_at(u16 x, u16 y) {
    fill_registers();
    d0 = 0xAB000000 | x;
    d1 = 0xCD000000 | y;
    a4 = player1;
    const u32 kept[4] = {d0, d1, d2, a0};
    EXPECT_EQ(run(probe), 1);
    EXPECT_EQ(d0, kept[0]);
    EXPECT_EQ(d1, kept[1]);
    EXPECT_EQ(d2, kept[2]);
    EXPECT_EQ(a0, kept[3]);
    return d7 & 0xFFFF;
  }
};

TEST_F(Probe, AVerticalProbeTouchesAVehicleInsideItsBox) {
  put_vehicle(0, 50, 50, 10, 10); // elsewhere
  put_vehicle(2, 200, 180, 40, 24);
  put_vehicle(3, 200, 180, 40, 24); // the first touched wins
  wr16(vehicle_at(4), 0);
  wr16(vehicle_at(4) + 2, 200); // free: never touched
  wr16(vehicle_at(4) + 4, 180);
  const struct {
    u16 x, y;
    bool touch;
  } rows[] = {{200, 180, true}, {240, 204, true}, {241, 190, false}, {220, 205, false},
              {199, 190, false}, {220, 179, false}};
  for (const auto& r : rows) {
    wr32(obstacle_record, 0x12345678);
    EXPECT_EQ(probe_at(r.x, r.y), r.touch ? 3u : 0u) << r.x << ", " << r.y;
    EXPECT_EQ(rd32(obstacle_record), r.touch ? vehicle_at(2) : 0x1B44u) << r.x << ", " << r.y;
  }
  EXPECT_TRUE(stub_calls().empty()) << "no debris, no death";
  // Freed vehicles keep their place but are no obstacles.
  for (u32 i = 0; i < 5; ++i) wr16(vehicle_at(i), 0);
  put_vehicle(1, 300, 180, 40, 24);
  wr16(vehicle_at(1), 0);
  EXPECT_EQ(probe_at(310, 190), 0u);
}

TEST_F(Probe, AHorizontalProbeDestroysDeadlyObjectsAndAsksTheInstallations) {
  wr16(hscroll_step, 0xFFFD);
  const struct {
    u16 type, blink;
    bool destroyed, dies;
  } rows[] = {{240, 0, true, true}, {241, 0, true, true}, {241, 7, true, false},
              {242, 0, false, false}, {245, 0, false, false}};
  for (const auto& r : rows) {
    SetUp();
    wr16(hscroll_step, 0xFFFD);
    wr16(player1 + pr::blink, r.blink);
    put_section_object(4, 150, 60, r.type);
    wr32(obstacle_record, 0x12345678);
    const u32 d7_answer = probe_at(160, 76);
    EXPECT_EQ(rd16(section_object_at(4)) == 0, r.destroyed) << r.type;
    EXPECT_EQ(rd32(obstacle_record), 0x12345678u) << "never written here";
    EXPECT_EQ(d7_answer, 0u);
    // The debris record: x, y and its start delay.
    const u32 piece = debris_table.address;
    EXPECT_EQ(rd16(piece) != 0, r.destroyed);
    if (r.destroyed) {
      EXPECT_EQ(rd16(piece + 2), 178u);
      EXPECT_EQ(rd16(piece + 4), 148u);
      EXPECT_EQ(rd16(piece + 0x0A), 1u);
    }
    EXPECT_EQ(stub_call_count(start_death), r.dies ? 1 : 0) << r.type;
  }
  // Installations: the point 0-32 past their x and y.
  const struct {
    u16 x, y;
    bool touch;
  } at[] = {{120, 40, true}, {152, 72, true}, {153, 50, false}, {130, 73, false}, {119, 50, false}, {130, 39, false}};
  for (const auto& r : at) {
    SetUp();
    wr16(hscroll_step, 1);
    put_section_installation(1, 120, 40);
    EXPECT_EQ(probe_at(r.x, r.y), r.touch ? 5u : 0u) << r.x << ", " << r.y;
  }
  // The first installation, right after the object table, is only an
  // installation.
  SetUp();
  wr16(hscroll_step, 1);
  put_section_installation(0, 120, 40);
  EXPECT_EQ(probe_at(130, 50), 6u);
  EXPECT_EQ(rd16(section_installation_at(0)), 0xFFFFu);
  EXPECT_TRUE(stub_calls().empty()) << "no debris, no death";
  // A freed section object is no obstacle either.
  SetUp();
  wr16(hscroll_step, 1);
  put_section_object(2, 150, 60, 240);
  wr16(section_object_at(2), 0);
  EXPECT_EQ(probe_at(155, 65), 0u);
  EXPECT_TRUE(stub_calls().empty()) << "no debris, no death";
  // A freed installation keeps its place but is no obstacle.
  SetUp();
  wr16(hscroll_step, 1);
  put_section_installation(0, 300, 40);
  wr16(section_installation_at(0), 0);
  EXPECT_EQ(probe_at(310, 50), 0u);
}

TEST_F(Probe, ASectionObjectIsTouchedWithinSixteenPixels) {
  const struct {
    u16 x, y;
    bool touch;
  } rows[] = {{150, 60, true}, {166, 76, true}, {167, 60, false}, {150, 77, false}, {149, 70, false}, {160, 59, false}};
  for (const auto& r : rows) {
    SetUp();
    wr16(hscroll_step, 1);
    put_section_object(15, 150, 60, 241);
    probe_at(r.x, r.y);
    EXPECT_EQ(rd16(section_object_at(15)) == 0, r.touch) << r.x << ", " << r.y;
  }
}

TEST_F(Probe, ABlinkingPlayerGoesOnFromTheDebrisPoint) {
  // Object 0 under the point; object 1 and installation 3 only under its
  // debris point (object 0 + (28, 88)); installation 5 only under object
  // 1's debris point.
  for (u16 blink : {u16(0), u16(12)}) {
    SetUp();
    wr16(hscroll_step, 2);
    wr16(player1 + pr::blink, blink);
    put_section_object(0, 100, 50, 240);
    put_section_object(1, 120, 130, 241);
    put_section_installation(3, 110, 120);
    put_section_installation(5, 130, 200);
    const u32 answer = probe_at(108, 60);
    EXPECT_EQ(rd16(section_object_at(0)), 0u);
    EXPECT_EQ(rd16(section_object_at(1)) == 0, blink != 0) << "the scan ends with the death";
    EXPECT_EQ(answer, blink ? 1u : 3u) << "the installations, from the last debris point";
  }
  EXPECT_TRUE(resumes_alike({.entry = probe}));
}

} // namespace
