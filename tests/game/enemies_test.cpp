// The enemies: the mission event stream ($AFA2), the script step ($B09A,
// $B0B8, $B1E4), the animation step ($B386, $B3A0) and the drawing ($5B32,
// $5BA8 and its cores), on synthetic scripts, animations and frames. What
// the stream and the scripts hand the placements and the fire routines is
// read from the dispatcher's call trace, with the registers at each call.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "machine/hooks.h"
#include "support/machine/call_trace.h"
#include "support/tables/enemy_tables.h"
#include "support/tables/mission_builder.h"
#include "support/machine/mission_machine.h"
#include "support/machine/ram_bytes.h"
#include "support/machine/resumption_check.h"

namespace {

constexpr u32 event_stream = 0x00AFA2;
constexpr u32 scripts_all = 0x00B09A;
constexpr u32 script_step = 0x00B0B8;
constexpr u32 set_anim = 0x00B1E4;
constexpr u32 anims_all = 0x00B386;
constexpr u32 anim_step = 0x00B3A0;
constexpr u32 draw_enemies = 0x005B32;
constexpr u32 bullets = 0x006B74;
constexpr u32 grenade = 0x006BEA;
constexpr u32 place_installation = 0x004C2E;
constexpr u32 place_object = 0x0052FA;
constexpr u32 place_vehicle = 0x006026;

constexpr u32 stream_at = 0x3000;
constexpr u32 script_offsets = 0x3A8E;
constexpr u32 script_base = 0x3B6E;
constexpr u32 anim_offsets = 0xB20E;
constexpr u32 anim_data = 0xB228;
constexpr u32 fire_points = 0xB294;
constexpr u32 frames = 0x5E60A;

u32 rec(u32 i) { return enemy_table.address + enemy_table.size * i; }

// The globals as the registers of the run, and back after it.
int run(u32 entry) { return run_routine_with_regs(entry); }

// Thirteen animations: n has frames n, n + 1 (n + 20, n + 21 from 6 on, so
// a frame above 16 shows) ended by $80; animation 12 a single frame 7.
void put_animations() {
  u32 at = 0;
  for (u32 n = 0; n < 13; ++n) {
    wr16(anim_offsets + 2 * n, at);
    if (n == 12) {
      put_bytes(anim_data + at, {7, 0x80});
      at += 2;
    } else {
      const u8 f = n < 6 ? n : n + 20;
      put_bytes(anim_data + at, {f, static_cast<u8>(f + 1), 0x80});
      at += 3;
    }
  }
  ASSERT_LE(at, 108u);
}

// Script of type t at script_base + 16 t (offset words at $3A8E).
u32 put_script(u32 type, const std::vector<u8>& bytes) {
  const u32 at = script_base + 32 * type;
  wr16(script_offsets + 2 * type, at - script_base);
  put_bytes(at, bytes);
  return at;
}

void put_stream(const std::vector<u8>& b) {
  put_bytes(stream_at, b);
  wr32(event_pointer, stream_at);
}

class Enemies : public MissionTest {
 protected:
  void SetUp() override {
    MissionTest::SetUp();
    put_animations();
    wr16(fire_points, 0xFFFF);
    call_trace_start();
  }
};

// ---- the event stream ------------------------------------------------------------------

TEST_F(Enemies, TriggersFollowTheClock) {
  put_script(3, {2, 9, 4, 1, 0xFF, 0xFF});
  put_stream({184, 3, 10, 10, 184, 3, 20, 10, 184, 3, 30, 10, 185, 3, 40, 10, 0xFF});
  wr8(event_clock, 184);
  ASSERT_EQ(run(event_stream), 1);
  EXPECT_EQ(rd16(rec(0)), 110u);
  EXPECT_EQ(rd16(rec(1)), 120u);
  EXPECT_EQ(rd16(rec(2)), 130u) << "three events of one trigger in stream order";
  EXPECT_EQ(rd16(rec(3) + 4), 0u) << "185 waits for the first scrolled line";
  EXPECT_EQ(rd32(event_pointer), stream_at + 12);
  ASSERT_EQ(run(event_stream), 1);
  EXPECT_EQ(rd16(rec(3) + 4), 0u) << "the clock has not moved";
  wr8(event_clock, 185);
  ASSERT_EQ(run(event_stream), 1);
  EXPECT_EQ(rd16(rec(3)), 140u);
  EXPECT_EQ(rd32(event_pointer), stream_at + 16) << "on the end byte";
  for (u32 clock : {185u, 0xFFu, 0u}) {
    wr8(event_clock, clock);
    ASSERT_EQ(run(event_stream), 1);
    EXPECT_EQ(rd32(event_pointer), stream_at + 16) << "$FF ends the stream";
  }
}

TEST_F(Enemies, APassedTriggerWaitsTheWholeRound) {
  put_script(3, {2, 9, 4, 1, 0xFF, 0xFF});
  put_stream({190, 3, 10, 10, 191, 3, 20, 10, 0xFF});
  wr8(event_clock, 191);
  int started = -1;
  for (int line = 0; line < 300 && started < 0; ++line) {
    ASSERT_EQ(run(event_stream), 1);
    if (rd16(rec(0) + 4) != 0) started = line;
    else EXPECT_EQ(rd16(rec(1) + 4), 0u) << "held behind the passed event";
    wr8(event_clock, rd8(event_clock) + 1);
  }
  EXPECT_EQ(started, 255);
  EXPECT_EQ(rd16(rec(1) + 4), 0u);
}

struct signed_case {
  u8 xb, yb;
  u16 x, y;
};

TEST_F(Enemies, EnemyEventsFillTheRecordFromTheScriptHeader) {
  const u32 script = put_script(7, {12, 201, 6, 0xFE, 3, 0xFF});
  for (const signed_case c : {signed_case{200, 177, 44, 21}, {191, 176, 291, 276}, {0, 0, 100, 100}, {255, 255, 99, 99}, {192, 0, 36, 100}}) {
    SetUp();
    put_script(7, {12, 201, 6, 0xFE, 3, 0xFF});
    wr16(rec(0) + 0x26, 0x5555);
    put_stream({184, 7, c.xb, c.yb, 0xFF});
    wr8(event_clock, 184);
    ASSERT_EQ(run(event_stream), 1);
    EXPECT_EQ(rd16(rec(0)), c.x) << int(c.xb);
    EXPECT_EQ(rd16(rec(0) + 2), c.y) << int(c.yb);
    EXPECT_NE(rd16(rec(0) + 4), 0u);
    EXPECT_EQ(rd16(rec(0) + 8), 7u) << "animation 12 started";
    EXPECT_EQ(rd16(rec(0) + 0x0A), 6u);
    EXPECT_EQ(rd16(rec(0) + 0x0C), 0xFFFEu);
    EXPECT_EQ(rd16(rec(0) + 0x0E), 3u);
    EXPECT_EQ(rd16(rec(0) + 0x1E), 201u);
    EXPECT_EQ(rd16(rec(0) + 0x20), 201u);
    EXPECT_EQ(rd32(rec(0) + 0x10), script + 5);
    EXPECT_EQ(rd16(rec(0) + 0x26), 0u);
    EXPECT_EQ(rd32(event_pointer), stream_at + 4);
  }
}

// Command 255 is an enemy type like 0-233, though it lies above the other
// families.
TEST_F(Enemies, CommandTwoFiftyFiveIsAnEnemy) {
  put_script(255, {2, 9, 4, 1, 0xFF, 0xFF});
  put_stream({184, 255, 10, 20, 0xFF});
  wr8(event_clock, 184);
  ASSERT_EQ(run(event_stream), 1);
  EXPECT_NE(rd16(rec(0) + 4), 0u);
  EXPECT_EQ(rd16(rec(0)), 110u);
  EXPECT_EQ(rd16(rec(0) + 2), 120u);
  EXPECT_EQ(rd32(rec(0) + 0x10), script_base + 32 * 255 + 5);
  EXPECT_TRUE(calls_to(place_vehicle).empty());
  EXPECT_EQ(rd32(event_pointer), stream_at + 4);
}

TEST_F(Enemies, OnlyRecordsZeroToTwentyFourTakeStreamEnemies) {
  put_script(3, {2, 9, 4, 1, 0xFF, 0xFF});
  for (u32 i = 0; i < 25; ++i) wr16(rec(i) + 4, 1);
  wr16(rec(24) + 4, 0);
  put_stream({184, 3, 10, 10, 184, 3, 50, 60, 184, 0xFE, 1, 2, 3, 0xFF});
  wr8(event_clock, 184);
  ASSERT_EQ(run(event_stream), 1);
  EXPECT_EQ(rd16(rec(24)), 110u);
  for (u32 i = 25; i < 48; ++i) EXPECT_EQ(rd16(rec(i) + 4), 0u) << i;
  EXPECT_EQ(rd16(goal_record.address + 2), 101u) << "the stream went on past the dropped enemy";
  EXPECT_EQ(rd32(event_pointer), stream_at + 13);
}

TEST_F(Enemies, HomingUnitsAndTheGoal) {
  put_stream({184, 253, 5, 6, 7, 8, 184, 254, 200, 177, 9, 0xFF});
  wr8(event_clock, 184);
  wr16(homing_unit_table.address, 0xFFFF);
  for (u32 i = 2; i < 18; ++i) wr8(homing_unit_table.address + 18 + i, 0x77);
  d3 = 0x33333333;
  a3 = 0x44444444;
  d6 = 0x66666666;
  ASSERT_EQ(run(event_stream), 1);
  const u32 h = homing_unit_table.address + homing_unit_table.size;
  EXPECT_EQ(rd16(h), 0xFFFFu);
  EXPECT_EQ(rd16(h + 2), 5u);
  EXPECT_EQ(rd16(h + 4), 106u);
  EXPECT_EQ(rd16(h + 6), 7u);
  EXPECT_EQ(rd16(h + 8), 8u);
  EXPECT_EQ(rd16(h + 16), 1u);
  EXPECT_EQ(rd16(h + 10), 0u);
  EXPECT_EQ(rd16(h + 12), 0x7777u) << "not the unit's";
  EXPECT_EQ(rd16(h + 14), 0u);
  EXPECT_EQ(rd16(goal_record.address), 0xFFFFu);
  EXPECT_EQ(rd16(goal_record.address + 2), 44u);
  EXPECT_EQ(rd16(goal_record.address + 4), 0xFFB1u) << "-79, without the 100";
  EXPECT_EQ(rd16(goal_record.address + 6), 9u);
  EXPECT_EQ(rd32(event_pointer), stream_at + 11);
  EXPECT_EQ(a3, 0x44444444u);
  EXPECT_EQ(d3, 0x33333333u);
  EXPECT_EQ(d6, 0x66666666u);
}

TEST_F(Enemies, AHomingUnitWithTheTableFullIsDroppedAndTheGoalKept) {
  // an active goal, and one not placed yet, whose free first word a
  // search running on would take; and the sixth record the only free one
  struct row {
    bool goal_active;
    u32 busy; // records 0 to busy - 1
  };
  for (const row r : {row{true, 6}, row{false, 6}, row{false, 5}}) {
    SetUp();
    const bool goal_active = r.goal_active;
    for (u32 i = 0; i < r.busy; ++i) wr16(homing_unit_table.address + 18 * i, 0xFFFF);
    for (u32 i = 0; i < 8; ++i) wr8(goal_record.address + i, 0xA0 + i);
    if (!goal_active) wr16(goal_record.address, 0);
    const u16 first_word = static_cast<u16>(rd16(goal_record.address));
    put_stream({184, 253, 5, 6, 7, 8, 184, 3, 10, 10, 0xFF});
    put_script(3, {2, 9, 4, 1, 0xFF, 0xFF});
    wr8(event_clock, 184);
    ASSERT_EQ(run(event_stream), 1);
    const u32 last = homing_unit_table.address + 18 * 5;
    EXPECT_EQ(rd16(last + 2), r.busy == 5 ? 5u : 0u) << "the sixth record is searched too";
    EXPECT_EQ(rd16(goal_record.address), first_word) << goal_active;
    for (u32 i = 2; i < 8; ++i) EXPECT_EQ(rd8(goal_record.address + i), 0xA0 + i) << goal_active;
    EXPECT_EQ(rd16(rec(0)), 110u) << "the stream went on";
    EXPECT_EQ(rd32(event_pointer), stream_at + 10);
  }
}

TEST_F(Enemies, InstallationObjectAndVehicleFamiliesHandTheirRegisters) {
  put_stream({184, 234, 1, 2, 184, 245, 3, 4, 184, 250, 10, 11, 12, 13, 14, 1, 2, 3, 4, 0x80, 184, 246, 20, 21, 22,
              23, 24, 0xFF, 0xFF});
  wr8(event_clock, 184);
  ASSERT_EQ(run(event_stream), 1);
  EXPECT_EQ(rd32(event_pointer), stream_at + 28) << "every event consumed";
  std::vector<traced_call> c;
  for (const traced_call& t : traced_calls())
    if (t.target == place_installation || t.target == place_object || t.target == place_vehicle) c.push_back(t);
  ASSERT_EQ(c.size(), 4u);
  EXPECT_EQ(c[0].target, place_installation);
  EXPECT_EQ(c[0].d[0] & 0xFFFF, 234u);
  EXPECT_EQ(c[0].a[0], stream_at + 2);
  EXPECT_EQ(c[0].ret, 0xAFD0u);
  EXPECT_EQ(c[1].target, place_object);
  EXPECT_EQ(c[1].d[0] & 0xFFFF, 245u);
  EXPECT_EQ(c[1].a[0], stream_at + 6);
  EXPECT_EQ(c[1].ret, 0xAFE2u);
  EXPECT_EQ(c[2].target, place_vehicle);
  EXPECT_EQ(c[2].d[0] & 0xFFFF, 110u);
  EXPECT_EQ(c[2].d[1] & 0xFFFF, 11u);
  EXPECT_EQ(c[2].a[0], stream_at + 15);
  EXPECT_EQ(c[2].ret, 0xB41Cu);
  EXPECT_EQ(c[3].target, place_vehicle);
  EXPECT_EQ(c[3].d[0] & 0xFFFF, 120u);
  EXPECT_EQ(c[3].a[0], stream_at + 27);
}

TEST_F(Enemies, TheVehicleGetsAllFiveBytes) {
  struct {
    u8 command;
    u32 type;
  } cases[] = {{249, 3}, {246, 0}, {252, 6}};
  for (const auto& c : cases) {
    SetUp();
    put_stream({184, c.command, 10, 11, 12, 13, 14, 0x80, 0xFF});
    wr8(event_clock, 184);
    ASSERT_EQ(run(event_stream), 1);
    const auto placed = calls_to(place_vehicle);
    ASSERT_EQ(placed.size(), 1u) << int(c.command);
    const u32 want[6] = {110, 11, 12, c.command, 13, 14}; // x + 100, y, speed, command, height, width
    for (int r = 0; r < 6; ++r) EXPECT_EQ(placed[0].d[r] & 0xFFFF, want[r]) << int(c.command) << " d" << r;
    EXPECT_EQ(placed[0].a[0], stream_at + 7) << "the attachment list";
    const u32 v = vehicle_table.address;
    EXPECT_EQ(rd16(v), 0xFFFFu);
    EXPECT_EQ(rd16(v + 0x02), 110u);
    EXPECT_EQ(rd16(v + 0x04), 11u);
    EXPECT_EQ(rd16(v + 0x06), 12u);
    EXPECT_EQ(rd16(v + 0x0A), 13u);
    EXPECT_EQ(rd16(v + 0x0E), 14u);
    EXPECT_EQ(rd16(v + 0x10), c.type);
    EXPECT_EQ(rd32(event_pointer), stream_at + 8) << "past the end byte";
  }
}

// ---- the script step -------------------------------------------------------------------

// Moves of one enemy over `steps` steps of $B09A.
std::vector<int> x_track(int steps) {
  std::vector<int> xs;
  for (int i = 0; i < steps; ++i) {
    EXPECT_EQ(run(scripts_all), 1);
    xs.push_back(static_cast<i16>(rd16(rec(0))));
  }
  return xs;
}

void place(u32 r, u32 script_at, u32 wait = 0) {
  wr16(rec(r), 100);
  wr16(rec(r) + 2, 150);
  wr16(rec(r) + 4, 1);
  wr16(rec(r) + 0x0A, wait);
  wr32(rec(r) + 0x10, script_at);
}

struct fix_case {
  u8 fix;
  u8 duration;
  std::vector<int> xs;
};

TEST_F(Enemies, MovementDurationsWithTheFixOffAndOn) {
  for (const fix_case& c : std::vector<fix_case>{
           {0, 2, {100, 101, 102, 102, 103, 104}},
           {1, 2, {101, 102, 103, 104, 105, 106}},
           {0, 0, {100, 100, 100, 100, 100, 100}},
           {1, 0, {101, 102, 103, 104, 105, 106}},
       }) {
    SetUp();
    g_cpu.patch_flags[1] = c.fix;
    put_bytes(0x3C00, {252, c.duration, 1, 0, 252, c.duration, 1, 0, 252, c.duration, 1, 0, 252, c.duration, 1, 0,
                       252, c.duration, 1, 0, 252, c.duration, 1, 0, 0xFF});
    place(0, 0x3C00);
    EXPECT_EQ(x_track(6), c.xs) << "fix " << int(c.fix) << " duration " << int(c.duration);
  }
  g_cpu.patch_flags[1] = 0;
}

TEST_F(Enemies, AllFortyEightRecordsAndNoMore) {
  put_bytes(0x3C00, {252, 9, 1, 0, 0xFF});
  place(47, 0x3C00);
  wr32(rec(47) + 0x14, anim_data);
  wr32(rec(47) + 0x18, anim_data);
  wr16(rec(47) + 8, 0x55);
  for (u32 i = 0; i < 64; ++i) wr8(bullet_table.address + i, 0x01); // a "record 48" that looks active
  ASSERT_EQ(run(scripts_all), 1);
  ASSERT_EQ(run(scripts_all), 1);
  ASSERT_EQ(run(anims_all), 1);
  EXPECT_EQ(rd16(rec(47)), 101u);
  EXPECT_EQ(rd16(rec(47) + 8), 0u) << "animated";
  for (u32 i = 0; i < 64; ++i) EXPECT_EQ(rd8(bullet_table.address + i), 0x01u) << i;
}

TEST_F(Enemies, AnimationCommandsAndTheKeptAnimation) {
  put_bytes(0x3C00, {5, 77, 1, 0xFD, 2, 252, 1, 3, 4, 0xFF});
  place(0, 0x3C00);
  wr16(rec(0) + 8, 0x40);
  ASSERT_EQ(run(scripts_all), 1);
  EXPECT_EQ(rd16(rec(0) + 8), 5u) << "animation 5";
  EXPECT_EQ(rd16(rec(0) + 0x1E), 77u);
  EXPECT_EQ(rd16(rec(0) + 0x20), 77u);
  EXPECT_EQ(rd16(rec(0) + 0x0C), 0xFFFDu);
  EXPECT_EQ(rd16(rec(0) + 0x0E), 2u);
  EXPECT_EQ(rd32(rec(0) + 0x10), 0x3C05u);
  ASSERT_EQ(run(scripts_all), 1); // the move
  wr16(rec(0) + 8, 0x41);
  ASSERT_EQ(run(scripts_all), 1);
  EXPECT_EQ(rd16(rec(0) + 8), 0x41u) << "252 keeps the animation";
  EXPECT_EQ(rd16(rec(0) + 0x1E), 77u);
  EXPECT_EQ(rd16(rec(0) + 0x0C), 3u);
  EXPECT_EQ(rd16(rec(0) + 0x0E), 4u);
  ASSERT_EQ(run(scripts_all), 1);
  ASSERT_EQ(run(scripts_all), 1);
  EXPECT_EQ(rd16(rec(0) + 4), 0u) << "255 frees the record";
}

TEST_F(Enemies, FireAndGrenadeCommandsActInTheStepThatReadsThem) {
  // key 6: values 11, 12, offsets -5, +7; key 9 after it
  put_bytes(fire_points, {0, 3, 0, 1, 0, 2, 0, 3, 0, 4, 0, 6, 0, 11, 0, 12, 0xFF, 0xFB, 0, 7, 0, 9, 0, 1, 0, 1, 0, 1,
                          0, 1, 0xFF, 0xFF});
  put_bytes(0x3C00, {254, 254, 253, 252, 1, 0, 0, 0xFF});
  place(0, 0x3C00);
  wr16(rec(0) + 8, 6);
  d7 = 0x12345678; // kept around each step
  ASSERT_EQ(run(scripts_all), 1);
  EXPECT_EQ(rd32(rec(0) + 0x10), 0x3C07u);
  std::vector<traced_call> c;
  for (const traced_call& t : traced_calls())
    if (t.target == bullets || t.target == grenade) c.push_back(t);
  ASSERT_EQ(c.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(c[i].target, i < 2 ? bullets : grenade) << i;
    EXPECT_EQ(c[i].ret, i < 2 ? 0xB13Cu : 0xB16Au) << i;
    EXPECT_EQ(c[i].d[0], 95u) << i;
    EXPECT_EQ(c[i].d[1], 157u) << i;
  }
}

TEST_F(Enemies, FireRegisters) {
  struct {
    u8 command;
    u32 routine;
    u32 d5_before;
    u32 d2, d3, d4, d5; // d4 not handed by the grenade command: not compared
  } cases[] = {
      {254, bullets, 0, 24, 11, 12, 0xFFFFFFFF},
      {253, grenade, 0x12340000, 11, 12, 0, 0x1234FFFF},
  };
  for (const auto& c : cases) {
    SetUp();
    put_bytes(fire_points, {0, 6, 0, 11, 0, 12, 0xFF, 0xFB, 0, 7, 0xFF, 0xFF});
    put_bytes(0x3C00, {c.command, 0xFF});
    place(0, 0x3C00);
    wr16(rec(0) + 8, 6);
    d5 = c.d5_before;
    ASSERT_EQ(run(scripts_all), 1);
    const auto fired = calls_to(c.routine);
    ASSERT_EQ(fired.size(), 1u) << int(c.command);
    EXPECT_EQ(fired[0].d[2], c.d2) << int(c.command);
    EXPECT_EQ(fired[0].d[3], c.d3) << int(c.command);
    if (c.routine == bullets) {
      EXPECT_EQ(fired[0].d[4], c.d4);
    }
    EXPECT_EQ(fired[0].d[5], c.d5) << int(c.command) << ": the bullets' d5 whole, the grenade's low word";
  }
}

TEST_F(Enemies, NoMatchingFirePointFiresNothing) {
  put_bytes(fire_points, {0, 6, 0, 11, 0, 12, 0, 1, 0, 1, 0xFF, 0xFF});
  put_bytes(0x3C00, {254, 253, 252, 4, 1, 0, 0xFF});
  place(0, 0x3C00);
  wr16(rec(0) + 8, 7);
  ASSERT_EQ(run(scripts_all), 1);
  EXPECT_EQ(rd16(rec(0) + 0x0A), 4u) << "the script went on";
  EXPECT_TRUE(calls_to(bullets).empty());
  EXPECT_TRUE(calls_to(grenade).empty());
}

TEST_F(Enemies, ADyingEnemy) {
  put_bytes(fire_points, {0, 6, 0, 11, 0, 12, 0, 1, 0, 1, 0xFF, 0xFF});
  for (const u8 cmd : {254, 253, 3}) {
    SetUp();
    put_bytes(fire_points, {0, 6, 0, 11, 0, 12, 0, 1, 0, 1, 0xFF, 0xFF});
    put_bytes(0x3C00, {cmd, 1, 1, 1, 1, 0xFF});
    place(0, 0x3C00, 2);
    wr16(rec(0) + 8, 6);
    wr16(rec(0) + 0x0C, 5);
    wr16(rec(0) + 0x26, 0xFFFF);
    for (int i = 0; i < 5; ++i) ASSERT_EQ(run(scripts_all), 1);
    EXPECT_EQ(rd16(rec(0)), 100u) << "no move";
    EXPECT_EQ(rd16(rec(0) + 0x0A), 0u) << "the counter ran down";
    EXPECT_EQ(rd32(rec(0) + 0x10), 0x3C00u) << "command " << int(cmd) << " read again";
    EXPECT_EQ(rd16(rec(0) + 8), 6u);
    EXPECT_NE(rd16(rec(0) + 4), 0u);
    EXPECT_TRUE(calls_to(bullets).empty()) << "command " << int(cmd);
    EXPECT_TRUE(calls_to(grenade).empty()) << "command " << int(cmd);
  }
  SetUp();
  put_bytes(0x3C00, {252, 1, 1, 1, 0xFF});
  place(0, 0x3C00);
  wr16(rec(0) + 0x26, 0xFFFF);
  ASSERT_EQ(run(scripts_all), 1);
  EXPECT_EQ(rd16(rec(0) + 0x0A), 1u) << "252 obeyed";
  ASSERT_EQ(run(scripts_all), 1);
  ASSERT_EQ(run(scripts_all), 1);
  EXPECT_EQ(rd16(rec(0) + 4), 0u) << "255 obeyed";
  EXPECT_EQ(rd16(rec(0)), 100u);
}

TEST_F(Enemies, SelectingAnAnimation) {
  wr16(anim_offsets + 2 * 4, 0x0123); // an offset past 255 shows its high byte
  wr8(anim_data + 0x123, 0x2A);
  for (const u32 n : {0u, 4u, 12u}) {
    a6 = rec(0);
    a0 = 0xABCDEF;
    d0 = n;
    wr16(rec(0) + 0x28, 0x7777);
    ASSERT_EQ(run(set_anim), 1);
    const u32 o = rd16(anim_offsets + 2 * n);
    EXPECT_EQ(rd32(rec(0) + 0x14), anim_data + o);
    EXPECT_EQ(rd32(rec(0) + 0x18), anim_data + o + 1);
    EXPECT_EQ(rd16(rec(0) + 8), (o & 0xFF00) | rd8(anim_data + o)) << n;
    EXPECT_EQ(d0, 0u);
    EXPECT_EQ(a0, 0xABCDEFu);
    EXPECT_EQ(rd16(rec(0) + 0x28), 0x7777u);
  }
  EXPECT_EQ(rd16(rec(0) + 8), 7u);
}

// ---- the animation step -----------------------------------------------------------------

struct rate_case {
  i16 dx, dy;
  u16 rate;
};

TEST_F(Enemies, AnimationRateFollowsTheSpeed) {
  for (const rate_case c : {rate_case{0, 0, 2}, {2, -1, 4}, {3, -7, 10}, {-6, 0, 10}, {-5, 5, 10}, {1, 0, 2}, {-1, 0, 2}, {1, -2, 4}, {-3, 0, 6}, {3, 1, 6}}) {
    wr16(rec(0) + 4, 1);
    wr16(rec(0) + 0x0C, static_cast<u16>(c.dx));
    wr16(rec(0) + 0x0E, static_cast<u16>(c.dy));
    wr16(rec(0) + 0x28, 100);
    a6 = rec(0);
    ASSERT_EQ(run(anim_step), 1);
    EXPECT_EQ(rd16(rec(0) + 0x28), 100u - c.rate) << c.dx << "," << c.dy;
  }
}

TEST_F(Enemies, FramesAdvanceFourUnitsEachAndWrapAtOnce) {
  a6 = rec(0);
  d0 = 1; // frames 1, 2
  ASSERT_EQ(run(set_anim), 1);
  wr16(rec(0) + 4, 1);
  wr16(rec(0) + 0x0C, 6); // rate 10
  std::vector<u32> seen;
  for (int i = 0; i < 4; ++i) {
    ASSERT_EQ(run(anims_all), 1);
    seen.push_back(rd16(rec(0) + 8));
    seen.push_back(static_cast<i16>(rd16(rec(0) + 0x28)) + 100);
  }
  // timer 0 -10: three frames (2, wrap->1, 2) -> +2; -8: two (1, 2) -> 0;
  // -10: 1, 2, wrap->1 -> +2; -8: 2, 1 -> 0
  EXPECT_EQ(seen, (std::vector<u32>{2, 102, 2, 100, 1, 102, 1, 100}));
}

TEST_F(Enemies, ASingleFrameAnimationAndTheDyingEnd) {
  a6 = rec(0);
  d0 = 12;
  ASSERT_EQ(run(set_anim), 1);
  wr16(rec(0) + 4, 1);
  for (int i = 0; i < 5; ++i) ASSERT_EQ(run(anims_all), 1);
  EXPECT_EQ(rd16(rec(0) + 8), 7u);
  EXPECT_EQ(rd32(rec(0) + 0x18), anim_data + rd16(anim_offsets + 24) + 1);
  // dying with the position on the end byte: freed at the next change
  wr16(rec(0) + 0x26, 0xFFFF);
  wr16(rec(0) + 0x28, 3);
  ASSERT_EQ(run(anims_all), 1);
  EXPECT_EQ(rd16(rec(0) + 4), 1u) << "the timer still held";
  ASSERT_EQ(run(anims_all), 1);
  EXPECT_EQ(rd16(rec(0) + 4), 0u);
  EXPECT_EQ(rd16(rec(0) + 8), 7u);
}

TEST_F(Enemies, AnAnimationWithoutFramesKeepsTheFrame) {
  wr16(anim_offsets + 2 * 5, 100);
  wr8(anim_data + 100, 0x80);
  a6 = rec(0);
  d0 = 5;
  ASSERT_EQ(run(set_anim), 1);
  wr16(rec(0) + 8, 9);
  wr16(rec(0) + 4, 1);
  wr32(rec(0) + 0x18, anim_data + 100);
  for (int i = 0; i < 3; ++i) ASSERT_EQ(run(anims_all), 1) << "no endless wrap";
  EXPECT_EQ(rd16(rec(0) + 8), 9u);
  EXPECT_EQ(rd16(rec(0) + 4), 1u);
}

// ---- resumption -----------------------------------------------------------------------------

void prepare_enemies() {
  machine_clear();
  stub_reset();
  mission_machine_reset();
  put_animations();
  put_bytes(fire_points, {0, 1, 0, 11, 0, 12, 0, 1, 0, 1, 0xFF, 0xFF});
  put_script(3, {1, 9, 0, 1, 1, 254, 253, 2, 1, 2, 3, 4, 252, 1, 1, 1, 0xFF});
  std::vector<u8> s;
  for (u32 i = 0; i < 30; ++i) s.insert(s.end(), {184, 3, static_cast<u8>(90 + 5 * i), static_cast<u8>(20 + i)});
  s.insert(s.end(), {184, 253, 1, 2, 3, 4, 184, 254, 5, 6, 7, 0xFF});
  put_stream(s);
  wr8(event_clock, 184);
  for (u32 i = 0; i < 48; ++i) wr16(rec(i) + 4, 0);
}

void prepare_scripts() {
  prepare_enemies();
  driver_start(event_stream);
  EXPECT_GE(driver_run(4, 2000000, nullptr), 1);
  for (u32 i = 25; i < 48; ++i) {
    wr16(rec(i) + 4, 1);
    wr32(rec(i) + 0x10, script_base + 32 * 3 + 5);
  }
}

TEST(EnemiesResumption, EveryRoadResumesFromASavedState) {
  struct road {
    void (*prepare)();
    u32 entry;
  };
  for (const road r : {road{prepare_enemies, event_stream}, {prepare_scripts, scripts_all}, {prepare_scripts, anims_all}}) {
    for (int save_at : {1, 7, 20}) {
      const resumption_result res = check_resumption(r.prepare, r.entry, 5, save_at);
      EXPECT_GT(res.yields, 20) << std::hex << r.entry;
      EXPECT_TRUE(res.sliced_same) << res.first_difference;
      EXPECT_TRUE(res.resumed_same) << std::hex << r.entry << " saved at " << std::dec << save_at << ": "
                                    << res.first_difference;
    }
  }
  machine_clear();
}


// ---- the drawing --------------------------------------------------------------------------

namespace draw {

constexpr u32 screen = mission_draw_screen;
constexpr u32 rows = 201; // line 200 is the spare line below the screen

// Frame f, line l, pixel c: colour 8 + v where v = enemy_frame_pixel is
// not 0; bank 0 as the enemy tables build it.
void put_frames() { enemy_tables{}.put_in_ram(); }

// A patterned background, and its colours as the reference starts them.
std::vector<u32> put_background() {
  std::vector<u32> ref(rows * 320);
  for (u32 y = 0; y < rows; ++y)
    for (u32 g = 0; g < 20; ++g)
      for (u32 p = 0; p < 4; ++p) wr16(screen + y * 160 + g * 8 + 2 * p, (y * 0x3B1 + g * 0x95 + p * 0x1234) & 0xFFFF);
  for (u32 y = 0; y < rows; ++y)
    for (u32 x = 0; x < 320; ++x) ref[y * 320 + x] = screen_pixel(screen, y, x);
  return ref;
}

// The reference: the enemy at (x, y) with frame f painted pixel by pixel.
void paint(std::vector<u32>& ref, u32 x, u32 y, u32 f) {
  if (y > 300 || x < 85 || x > 291) return;
  for (u32 l = 0; l < 22; ++l) {
    const int row = static_cast<int>(y) - 100 + static_cast<int>(l);
    if (row < 0 || row >= static_cast<int>(rows)) continue;
    for (u32 c = 0; c < 16; ++c) {
      int px;
      if (x < 100) {
        const int n = (100 - x) & ~1;
        if (static_cast<int>(c) < n) continue;
        px = 64 + static_cast<int>(c) - n;
      } else if (x > 276) {
        const int n = (x - 276) & ~1;
        if (static_cast<int>(c) + n >= 16) continue;
        px = 240 + static_cast<int>(c) + n;
      } else {
        px = 64 + static_cast<int>((x - 100) & ~1u) + static_cast<int>(c);
      }
      const u32 v = enemy_frame_pixel(f, l, c);
      if (v != 0) ref[row * 320 + px] = 8 + v;
    }
  }
}

std::string first_difference(const std::vector<u32>& ref) {
  for (u32 y = 0; y < rows; ++y)
    for (u32 x = 0; x < 320; ++x)
      if (screen_pixel(screen, y, x) != ref[y * 320 + x])
        return "line " + std::to_string(y) + " pixel " + std::to_string(x) + ": " +
               std::to_string(screen_pixel(screen, y, x)) + " not " + std::to_string(ref[y * 320 + x]);
  return "";
}

struct enemy_at {
  u32 record, x, y, frame;
};

void put_enemy(const enemy_at& e) {
  wr16(rec(e.record), e.x);
  wr16(rec(e.record) + 2, e.y);
  wr16(rec(e.record) + 4, 0xFFFF);
  wr16(rec(e.record) + 8, e.frame);
}

} // namespace draw

class EnemyDrawing : public MissionTest {
 protected:
  void SetUp() override {
    MissionTest::SetUp();
    draw::put_frames();
    ASSERT_EQ(run_routine(0x00891C, 4), 1); // banks 1-7
  }
};

struct single_case {
  u32 x, y;
  bool stays_active;
};

TEST_F(EnemyDrawing, OneEnemyPixelForPixel) {
  std::vector<single_case> cases = {
      {99, 150, true},  {86, 150, true},  {85, 150, true},  {277, 150, true}, {290, 150, true},
      {291, 150, true}, {276, 150, true}, {120, 99, true},  {120, 79, true},  {120, 78, true},
      {120, 279, true}, {120, 300, true}, {150, 301, false}, {84, 150, false}, {84, 50, true},
      {292, 150, false}, {0x8000, 150, false}, {120, 0, true}, {90, 60, true},
  };
  for (u32 x = 100; x <= 115; ++x) cases.push_back({x, 150, true});
  for (const single_case& c : cases) {
    SetUp();
    std::vector<u32> ref = draw::put_background();
    const u32 f = (c.x * 7 + c.y) % 39;
    draw::put_enemy({3, c.x, c.y, f});
    draw::paint(ref, c.x, c.y, f);
    for (u32 i = 0; i < 320; ++i) wr8(draw::screen - 320 + i, 0xC3); // the lines above the screen
    ASSERT_EQ(run(draw_enemies), 1);
    EXPECT_EQ(draw::first_difference(ref), "") << "x " << c.x << " y " << c.y;
    for (u32 i = 0; i < 320; ++i) ASSERT_EQ(rd8(draw::screen - 320 + i), 0xC3u) << "above the screen, y " << c.y;
    EXPECT_EQ(rd16(rec(3) + 4) != 0, c.stays_active) << "x " << c.x << " y " << c.y;
  }
}

TEST_F(EnemyDrawing, TheTopmostFirstAndTheHigherRecordFirstOnEqualY) {
  const std::vector<draw::enemy_at> es = {
      {3, 150, 160, 1}, {5, 154, 160, 2}, {0, 152, 150, 3}, {24, 158, 170, 4}, {9, 120, 150, 5}, {25, 150, 150, 6}};
  std::vector<u32> ref = draw::put_background();
  for (const auto& e : es) draw::put_enemy(e);
  wr16(rec(11), 130);
  wr16(rec(11) + 2, 130); // inactive, with the word after the active word set
  wr16(rec(11) + 6, 0xFFFF);
  // the order the game must follow: y, then the higher record first
  for (const u32 i : {9u, 0u, 5u, 3u, 24u}) {
    for (const auto& e : es)
      if (e.record == i) draw::paint(ref, e.x, e.y, e.frame);
  }
  ASSERT_EQ(run(draw_enemies), 1);
  EXPECT_EQ(draw::first_difference(ref), "") << "record 25 is never drawn, and the order shows";
  for (u32 i = 0; i < 25; ++i) EXPECT_EQ(rd16(0x29E + 2 * i), 0xFFFFu) << "drawn entries are cleared";
}

std::vector<std::pair<u32, u32>> hook_trace;
void note_draw_hook(u32 address) {
  hook_trace.emplace_back(address, g_cpu.a[6]);
  if (address == 0x5BA8) {
    EXPECT_EQ(rd32(g_cpu.a[7]), 0x5BA0u);
  }
}

TEST_F(EnemyDrawing, HooksAroundEachEnemy) {
  hook_trace.clear();
  hook_register(0x005BA8, note_draw_hook);
  hook_register(0x005BA0, note_draw_hook);
  draw::put_enemy({2, 120, 200, 1});
  draw::put_enemy({7, 150, 120, 1});
  draw::put_enemy({8, 150, 301, 1}); // taken out of play: still a unit
  ASSERT_EQ(run(draw_enemies), 1);
  const std::vector<std::pair<u32, u32>> want = {{0x5BA8, rec(7)}, {0x5BA0, rec(7)}, {0x5BA8, rec(2)},
                                                 {0x5BA0, rec(2)}, {0x5BA8, rec(8)}, {0x5BA0, rec(8)}};
  EXPECT_EQ(hook_trace, want);
  hooks_clear();
}

void prepare_drawing() {
  machine_clear();
  stub_reset();
  mission_machine_reset();
  draw::put_frames();
  EXPECT_EQ(run_routine(0x00891C, 4, nullptr), 1);
  draw::put_background();
  const std::vector<draw::enemy_at> es = {{0, 150, 160, 1}, {1, 157, 170, 2}, {2, 90, 150, 3}, {3, 285, 90, 4},
                                          {4, 120, 290, 5}, {5, 84, 150, 6},  {6, 100, 60, 7}};
  for (const auto& e : es) draw::put_enemy(e);
}

TEST(EnemiesResumption, TheDrawingResumesFromASavedState) {
  for (int save_at : {1, 9, 30, 50}) {
    const resumption_result res = check_resumption(prepare_drawing, draw_enemies, 5, save_at);
    EXPECT_GT(res.yields, 40);
    EXPECT_TRUE(res.sliced_same) << res.first_difference;
    EXPECT_TRUE(res.resumed_same) << "saved at " << save_at << ": " << res.first_difference;
  }
  machine_clear();
}

} // namespace
