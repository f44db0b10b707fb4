// Vehicles: placement with mounted homing units ($6026), movement ($A526),
// the type-4 fire ($AE7A), the heavy projectiles' hits with the
// destruction patterns ($71E8, $7324) and the drawing ($60AA and its three
// routines), on synthetic pictures, patterns and wreck lists.
#include <gtest/gtest.h>

#include <vector>

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "game/vertical_objects_ram.h"
#include "machine/hooks.h"
#include "support/tables/ground_objects.h"
#include "support/machine/mission_machine.h"
#include "support/machine/resume_check.h"
#include "support/machine/resumption_check.h"
#include "support/machine/screen_check.h"
#include "support/machine/spawn_log.h"

namespace {

namespace veh = vehicle_field;

constexpr u32 place = 0x006026;
constexpr u32 move = 0x00A526;
constexpr u32 fire = 0x00AE7A;
constexpr u32 hits = 0x0071E8;
constexpr u32 draw = 0x0060AA;
constexpr u32 stream_at = 0x3000;

u32 rec(u32 i) { return vehicle_table.address + vehicle_table.size * i; }
u32 unit(u32 i) { return homing_unit_table.address + homing_unit_table.size * i; }
u32 shot(u32 i) { return projectile_table.address + projectile_table.size * i; }

int run(u32 entry) { return run_routine_with_regs(entry); }

// The stream interpreter's registers for a vehicle event built by the
// builder: a0 at the attachment list.
void load_event(const std::vector<u8>& e) {
  for (u32 i = 0; i < e.size(); ++i) wr8(stream_at + i, e[i]);
  d3 = e[1];
  d0 = e[2] + 100u;
  d1 = e[3];
  d2 = e[4];
  d4 = e[5];
  d5 = e[6];
  a0 = stream_at + 7;
}

void put_vehicle(u32 i, u32 type, u32 x, u32 y, u32 height = 40, u32 width = 60) {
  wr16(rec(i) + veh::active, 0xFFFF);
  wr16(rec(i) + veh::type, type);
  wr16(rec(i) + veh::x, x);
  wr16(rec(i) + veh::y, y);
  wr16(rec(i) + veh::height, height);
  wr16(rec(i) + veh::width, width);
}

void put_projectile(u32 i, u32 x, u32 y, u32 type, u32 owner) {
  wr16(shot(i), 0xFFFF);
  wr16(shot(i) + 2, x);
  wr16(shot(i) + 4, y);
  wr16(shot(i) + 6, type);
  wr16(shot(i) + 0x0E, owner);
}

// Lines past a frame's end are the next frame's (heights above 90).
std::array<u16, 4> group_of(ground_picture p, u32 frame, u32 line, u32 group) {
  frame += line / layout_of(p).lines;
  line %= layout_of(p).lines;
  std::array<u16, 4> g;
  for (u32 plane = 0; plane < 4; ++plane) g[plane] = picture_word(p, frame, line, group, plane);
  return g;
}

// Sample 3 only: a written explosion spawner plays sample 6 on the same
// channel.
std::vector<played_sample> destruction_samples() {
  std::vector<played_sample> r;
  for (const played_sample& s : samples_played())
    if (s.sample == 3) r.push_back(s);
  return r;
}

class Vehicles : public MissionTest {
 protected:
  void SetUp() override {
    MissionTest::SetUp();
    spawn_log_start();
    ASSERT_TRUE(tables.put_in_ram()) << tables.error;
  }
  ground_objects tables;
};

// ---- the builder ------------------------------------------------------------------

TEST_F(Vehicles, TheBuilderRefusesWhatTheGameCannotPlace) {
  std::vector<u8> e;
  std::string error;
  const std::vector<mounted_unit> seven(7, mounted_unit{1, 2, 3, 4});
  for (const vehicle_event_spec& bad : {vehicle_event_spec{.units = seven}, vehicle_event_spec{.height = 91},
                                        vehicle_event_spec{.x = 40}, vehicle_event_spec{.command = 253},
                                        vehicle_event_spec{.x = 160, .units = {{1, 2, 3, 4}}},
                                        vehicle_event_spec{.units = {{0x80, 2, 3, 4}}}}) {
    error.clear();
    EXPECT_FALSE(vehicle_event(bad, e, error));
    EXPECT_FALSE(error.empty());
  }
  EXPECT_TRUE(vehicle_event({.x = 160}, e, error)) << "no units: the kind does not matter";
  EXPECT_TRUE(vehicle_event({.units = seven, .unchecked = true}, e, error));
  EXPECT_EQ(e.size(), 7u + 28 + 1);
  ground_objects g;
  g.wreck_lists[3] = std::vector<wreck_item>(6, wreck_debris(2, 0, 0, 0)); // 50 bytes from $74C4
  EXPECT_FALSE(g.put_in_ram());
  g.wreck_lists[3].pop_back(); // 42 bytes
  EXPECT_TRUE(g.put_in_ram()) << g.error;
}

// ---- placement --------------------------------------------------------------------

TEST_F(Vehicles, PlacementFillsTheFirstFreeRecordAndKeepsTheRegisters) {
  put_vehicle(0, 1, 200, 50);
  std::vector<u8> e;
  std::string error;
  ASSERT_TRUE(vehicle_event({.command = 251, .x = 32, .y = 7, .speed = 2, .height = 50, .width = 44}, e, error));
  load_event(e);
  wr16(rec(1) + veh::fire_delay, 9);
  wr16(rec(1) + veh::fire_offset, 30);
  wr16(rec(1) + veh::frame, 1);
  wr16(rec(1) + veh::destroyed, 0xFFFF);
  for (u32 s = 0; s < 6; ++s) wr32(rec(1) + veh::slots + 4 * s, 0x1C84 + 18 * s); // a record used before
  d6 = 0x66666666;
  d7 = 0x77770000; // the search counts its own records
  a6 = 0x12345678;
  ASSERT_EQ(run(place), 1);
  EXPECT_EQ(a0, stream_at + 8) << "past the end byte";
  EXPECT_EQ(d0, 132u);
  EXPECT_EQ(d3, 251u);
  EXPECT_EQ(d5, 44u);
  EXPECT_EQ(d6, 0x66666666u);
  EXPECT_EQ(d7, 0x77770000u);
  EXPECT_EQ(a6, 0x12345678u);
  const std::array<u32, 8> words = {0xFFFF, 132, 7, 2, 0, 50, 0, 44};
  for (u32 i = 0; i < words.size(); ++i) EXPECT_EQ(rd16(rec(1) + 2 * i), words[i]) << "word +" << 2 * i;
  EXPECT_EQ(rd16(rec(1) + veh::type), 5u);
  for (u32 s = 0; s < 6; ++s) EXPECT_EQ(rd32(rec(1) + veh::slots + 4 * s), 0u);
  EXPECT_EQ(rd16(rec(1) + veh::fire_delay), 0u);
  EXPECT_EQ(rd16(rec(1) + veh::fire_offset), 0u);
  EXPECT_EQ(rd16(rec(0) + veh::x), 200u);
}

TEST_F(Vehicles, MountedUnitsFillTheSlotsInOrder) {
  for (u32 n : {0u, 3u, 6u}) {
    SCOPED_TRACE(testing::Message() << n << " units");
    for (u32 i = 0; i < 0x1CF8 - 0x1A76; ++i) wr8(0x1A76 + i, 0);
    std::vector<mounted_unit> units;
    for (u32 i = 0; i < n; ++i) units.push_back({static_cast<u8>(10 + i), static_cast<u8>(20 + i), static_cast<u8>(30 + i), 1});
    std::vector<u8> e;
    std::string error;
    ASSERT_TRUE(vehicle_event({.command = 250, .x = 48, .units = units}, e, error));
    load_event(e);
    ASSERT_EQ(run(place), 1);
    EXPECT_EQ(a0, stream_at + 7 + 4 * n + 1);
    for (u32 i = 0; i < 6; ++i) {
      EXPECT_EQ(rd32(rec(0) + veh::slots + 4 * i), i < n ? unit(i) : 0u) << "slot " << i;
      if (i < n) {
        EXPECT_EQ(rd16(unit(i) + 2), 10 + i) << "the kind byte, x's upper byte 0";
        EXPECT_EQ(rd16(unit(i) + 4), 120 + i);
        EXPECT_EQ(rd16(unit(i) + 6), 30 + i);
      }
    }
  }
}

TEST_F(Vehicles, AFullUnitTableLeavesAZeroSlotThatEndsTheClearing) {
  for (u32 i = 0; i < 4; ++i) wr16(unit(i), 0xFFFF);
  std::vector<u8> e;
  std::string error;
  ASSERT_TRUE(vehicle_event({.command = 246, .units = {{1, 2, 3, 4}, {1, 2, 3, 4}, {1, 2, 3, 4}}}, e, error));
  load_event(e);
  ASSERT_EQ(run(place), 1);
  EXPECT_EQ(rd32(rec(0) + veh::slots), unit(4));
  EXPECT_EQ(rd32(rec(0) + veh::slots + 4), unit(5));
  EXPECT_EQ(rd32(rec(0) + veh::slots + 8), 0u);
  // a stale address after the zero slot stays alive at the destruction,
  // and nothing is written through the zero slot
  wr32(rec(0) + veh::slots + 12, unit(0));
  wr16(0, 0xBEEF);
  wr16(rec(0) + veh::y, 120);
  put_projectile(0, 150, 130, 18, 0);
  ASSERT_EQ(run(hits), 1);
  EXPECT_EQ(rd16(unit(4)), 0u);
  EXPECT_EQ(rd16(unit(5)), 0u);
  EXPECT_EQ(rd16(unit(0)), 0xFFFFu);
  EXPECT_EQ(rd16(0), 0xBEEFu);
}

TEST_F(Vehicles, ASixthVehicleConsumesItsListAndPlacesNothing) {
  for (u32 i = 0; i < 4; ++i) put_vehicle(i, 0, 100 + i, 10);
  std::vector<u8> e;
  std::string error;
  ASSERT_TRUE(vehicle_event({.command = 246, .x = 16}, e, error));
  load_event(e);
  ASSERT_EQ(run(place), 1);
  EXPECT_EQ(rd16(rec(4) + veh::x), 116u) << "the fifth record is the last free one";
  ASSERT_TRUE(vehicle_event({.command = 252, .units = {{1, 2, 3, 4}, {5, 6, 7, 8}}}, e, error));
  load_event(e);
  ASSERT_EQ(run(place), 1);
  EXPECT_EQ(a0, stream_at + 7 + 8 + 1);
  for (u32 i = 0; i < 4; ++i) EXPECT_EQ(rd16(rec(i) + veh::x), 100 + i);
  EXPECT_EQ(rd16(rec(4) + veh::x), 116u);
  EXPECT_EQ(rd16(unit(0)), 0u) << "no unit placed";
}

TEST_F(Vehicles, ItemsPastTheSixthAreReadAndDropped) {
  std::vector<mounted_unit> eight;
  for (u8 i = 0; i < 8; ++i) eight.push_back({static_cast<u8>(i + 1), 2, 3, 4});
  std::vector<u8> e;
  std::string error;
  eight[6].y = 0x90; // a byte of a dropped item with bit 7 set does not end the list
  ASSERT_TRUE(vehicle_event({.command = 250, .units = eight, .unchecked = true}, e, error));
  e.insert(e.end(), {0xAB, 0xCD}); // the next event's bytes
  load_event(e);
  wr32(rec(1), 0x00005A5A);
  ASSERT_EQ(run(place), 1);
  EXPECT_EQ(a0, stream_at + 7 + 32 + 1) << "the next event is read right";
  EXPECT_EQ(rd8(a0), 0xABu);
  for (u32 i = 0; i < 6; ++i) EXPECT_EQ(rd32(rec(0) + veh::slots + 4 * i), unit(i));
  EXPECT_EQ(rd16(rec(0) + veh::fire_delay), 0u);
  EXPECT_EQ(rd16(rec(0) + veh::fire_offset), 0u);
  EXPECT_EQ(rd32(rec(1)), 0x00005A5Au) << "the next record untouched";
  EXPECT_EQ(rd32(last_homing_unit), unit(5)) << "no placement for the seventh and eighth";
}

TEST_F(Vehicles, UnitsOnXBytesFrom156GetTheVehiclesUpperXByteInTheirKind) {
  std::vector<u8> e;
  std::string error;
  ASSERT_TRUE(vehicle_event({.x = 160, .units = {{7, 2, 3, 4}, {8, 2, 3, 4}}, .unchecked = true}, e, error));
  load_event(e);
  ASSERT_EQ(run(place), 1);
  EXPECT_EQ(rd16(unit(0) + 2), 0x0107u);
  EXPECT_EQ(rd16(unit(1) + 2), 0x0108u);
}

// ---- movement and fire -------------------------------------------------------------

TEST_F(Vehicles, VehiclesInUseMoveByTheirSpeed) {
  put_vehicle(0, 0, 100, 50);
  wr16(rec(0) + veh::speed, 3);
  put_vehicle(4, 6, 100, 0xFFFE);
  wr16(rec(4) + veh::speed, 5);
  wr16(rec(2) + veh::y, 40);
  wr16(rec(2) + veh::speed, 5);
  ASSERT_EQ(run(move), 1);
  EXPECT_EQ(rd16(rec(0) + veh::y), 53u);
  EXPECT_EQ(rd16(rec(4) + veh::y), 3u) << "16-bit";
  EXPECT_EQ(rd16(rec(2) + veh::y), 40u) << "free";
}

TEST_F(Vehicles, TypeFourFiresItsPatternAndOthersDoNot) {
  for (auto& e : tables.vehicle_pattern) e.delay = 0;
  tables.vehicle_pattern[7].delay = 2;
  ASSERT_TRUE(tables.put_in_ram());
  put_vehicle(0, 3, 120, 150);
  put_vehicle(1, 4, 140, 110);
  put_vehicle(2, 4, 160, 110);
  wr16(rec(2) + veh::destroyed, 0xFFFF);
  ASSERT_EQ(run(fire), 1);
  std::vector<spawned_bullet> want;
  for (const fire_entry& e : tables.vehicle_pattern)
    want.push_back({static_cast<u16>(140 + e.dx), static_cast<u16>(110 + e.dy), static_cast<u16>(e.step_x),
                    static_cast<u16>(e.step_y), 200, 0xFFFE});
  EXPECT_EQ(bullets_spawned(), want);
  std::vector<size_t> later;
  for (int frame = 0; frame < 3; ++frame) {
    spawn_log_clear();
    ASSERT_EQ(run(fire), 1);
    later.push_back(bullets_spawned().size());
  }
  EXPECT_EQ(later, (std::vector<size_t>{0, 0, 8})) << "the last delay, then the wrap";
}

// ---- hits -----------------------------------------------------------------------------

TEST_F(Vehicles, EveryProjectileRecordMeetsEveryVehicleAndNothingPastTheTables) {
  put_vehicle(0, 0, 40, 120);   // far to the left
  put_vehicle(3, 0, 248, 120);
  put_projectile(19, 260, 130, 16, 0);
  put_vehicle(4, 0, 140, 200); // the last record
  put_projectile(5, 150, 210, 17, 1);
  // just past the vehicles, a record shaped like a vehicle in the box of
  // projectile 8
  const u32 past = vehicle_table.address + vehicle_table.records * vehicle_table.size;
  wr16(past + veh::active, 0xFFFF);
  wr16(past + veh::x, 90);
  wr16(past + veh::y, 250);
  wr16(past + veh::height, 40);
  wr16(past + veh::width, 60);
  put_projectile(8, 100, 260, 16, 0);
  // a record just past the table, as a heavy projectile in the box
  wr16(effect_table.address, 0xFFFF);
  wr16(effect_table.address + 2, 60);
  wr16(effect_table.address + 4, 130);
  wr16(effect_table.address + 6, 16);
  ASSERT_EQ(run(hits), 1);
  EXPECT_EQ(rd16(rec(3) + veh::destroyed), 0xFFFFu);
  EXPECT_EQ(rd16(rec(0) + veh::destroyed), 0u);
  EXPECT_EQ(rd16(rec(4) + veh::destroyed), 0xFFFFu);
  EXPECT_EQ(rd16(shot(5)), 0u);
  EXPECT_EQ(rd16(shot(8)), 0xFFFFu) << "no sixth vehicle";
  EXPECT_EQ(rd16(past + veh::destroyed), 0u);
  EXPECT_EQ(rd16(effect_table.address), 0xFFFFu);
}

TEST_F(Vehicles, AllSixMountedUnitsGoAtTheDestruction) {
  put_vehicle(0, 0, 148, 120);
  for (u32 i = 0; i < 6; ++i) {
    wr16(unit(i), 0xFFFF);
    wr32(rec(0) + veh::slots + 4 * i, unit(i));
  }
  put_projectile(0, 160, 130, 16, 0);
  ASSERT_EQ(run(hits), 1);
  for (u32 i = 0; i < 6; ++i) EXPECT_EQ(rd16(unit(i)), 0u) << i;
  EXPECT_EQ(rd32(rec(0) + veh::slots + 20), unit(5)) << "the slots stay";
}

TEST_F(Vehicles, TheHitBoxReachesHeightAndWidth) {
  struct box_case {
    u32 px, py;
    bool hit;
  };
  // vehicle at (148, 120), height 40, width 60: py 116-156, px 146-206
  for (const box_case c : {box_case{146, 116, true}, {206, 156, true}, {145, 130, false}, {207, 130, false},
                           {160, 115, false}, {160, 157, false}}) {
    put_vehicle(0, 0, 148, 120);
    wr16(rec(0) + veh::destroyed, 0);
    put_projectile(0, c.px, c.py, 16, 0);
    ASSERT_EQ(run(hits), 1);
    EXPECT_EQ(rd16(rec(0) + veh::destroyed) != 0, c.hit) << c.px << ", " << c.py;
    EXPECT_EQ(rd16(shot(0)) == 0, c.hit);
  }
  put_vehicle(0, 0, 148, 120);
  wr16(rec(0) + veh::destroyed, 0);
  for (u32 type : {15u, 24u}) {
    put_projectile(0, 160, 130, type, 0);
    ASSERT_EQ(run(hits), 1);
    EXPECT_EQ(rd16(shot(0)), 0xFFFFu) << type;
  }
  EXPECT_EQ(rd16(rec(0) + veh::destroyed), 0u);
}

TEST_F(Vehicles, AnIntactVehicleBecomesAWreck) {
  wr32(player1 + player_record::score, 10);
  wr32(player2 + player_record::score, 20);
  put_vehicle(0, 0, 148, 120);
  put_vehicle(1, 2, 148, 120); // overlapping: only the first
  wr16(rec(0) + veh::speed, 2);
  wr16(unit(2), 0xFFFF);
  wr32(rec(0) + veh::slots, unit(2));
  put_projectile(3, 160, 130, 17, 1);
  ASSERT_EQ(run(hits), 1);
  EXPECT_EQ(rd32(player2 + player_record::score), 2020u);
  EXPECT_EQ(rd32(player1 + player_record::score), 10u);
  EXPECT_EQ(rd16(rec(0) + veh::speed), 0u);
  EXPECT_EQ(rd16(rec(0) + veh::destroyed), 0xFFFFu);
  EXPECT_EQ(rd16(rec(0) + veh::frame), 1u);
  EXPECT_EQ(rd16(unit(2)), 0u) << "its mounted unit is gone";
  EXPECT_EQ(rd16(rec(1) + veh::destroyed), 0u);
  const std::vector<played_sample> sound = {{3, 0x72EE, rec(0)}};
  EXPECT_EQ(destruction_samples(), sound) << "panned by the vehicle at a4";
  // list 0: explosion at (0, 0), debris of code 2 at (0, 0) with delay 0
  ASSERT_EQ(explosions_spawned().size(), 1u);
  EXPECT_TRUE(same_explosion({148, 120, 0xFFFF}, explosions_spawned()[0]));
  EXPECT_EQ(rd16(debris_table.address + 2), 148u);
}

TEST_F(Vehicles, ALaterVehicleInTheBoxIsFoundPastFreeAndDistantOnes) {
  put_vehicle(0, 0, 148, 120);
  wr16(rec(0) + veh::active, 0); // freed: its words stay
  put_vehicle(1, 0, 40, 120);
  put_vehicle(2, 1, 148, 120);
  put_projectile(4, 160, 130, 17, 0);
  put_projectile(5, 10, 10, 3, 1); // its neighbour in the table, in use
  ASSERT_EQ(run(hits), 1);
  EXPECT_EQ(rd16(rec(2) + veh::destroyed), 0xFFFFu);
  EXPECT_EQ(rd16(rec(1) + veh::destroyed), 0u);
  EXPECT_EQ(rd32(player1 + player_record::score), 2000u);
  EXPECT_EQ(rd32(player2 + player_record::score), 0u);
  const std::vector<played_sample> sound = {{3, 0x72EE, rec(2)}};
  EXPECT_EQ(destruction_samples(), sound);
}

TEST_F(Vehicles, AWreckTakesOnlyTheBlast) {
  put_vehicle(0, 0, 148, 120);
  wr16(rec(0) + veh::destroyed, 0xFFFF);
  wr16(rec(0) + veh::frame, 1);
  put_projectile(0, 160, 130, 20, 0);
  put_projectile(1, 10, 10, 3, 1); // its neighbour in the table, in use
  ASSERT_EQ(run(hits), 1);
  EXPECT_EQ(rd16(shot(0)), 0u);
  EXPECT_EQ(rd32(player1 + player_record::score), 0u);
  EXPECT_EQ(rd16(rec(0) + veh::frame), 1u);
  ASSERT_EQ(explosions_spawned().size(), 1u);
  EXPECT_TRUE(same_explosion({158, 122, 0}, explosions_spawned()[0]));
  EXPECT_TRUE(destruction_samples().empty());
}

TEST_F(Vehicles, TheDestructionListFollowsTheType) {
  // list n: an explosion at (n + 1, 0), debris of code 2 + n at (0, n + 1)
  // with delay 4, then one of code $7FFF, then the end code $8000
  for (u16 n = 0; n < 4; ++n)
    tables.wreck_lists[n] = {wreck_explosion(static_cast<i16>(n + 1), 0),
                             wreck_debris(static_cast<u16>(2 + n), 0, static_cast<i16>(n + 1), 4),
                             wreck_debris(0x7FFF, 5, 5, 0)};
  ASSERT_TRUE(tables.put_in_ram());
  wr16(0x74C4 + 22, 0x8000); // list 3 ends at an end code of $8000 exactly
  wr16(0x74C4 + 24, 1);      // what would follow it
  struct type_case {
    u32 type, list;
  };
  for (const type_case c : {type_case{0, 0}, {1, 3}, {2, 1}, {3, 3}, {4, 2}, {5, 3}, {6, 3}}) {
    SCOPED_TRACE(testing::Message() << "type " << c.type);
    for (u32 i = 0; i < debris_table.records * debris_table.size; ++i) wr8(debris_table.address + i, 0);
    spawn_log_clear();
    put_vehicle(0, c.type, 148, 120);
    wr16(rec(0) + veh::destroyed, 0);
    wr16(rec(0) + veh::frame, 0);
    put_projectile(0, 160, 130, 16, 0);
    ASSERT_EQ(run(hits), 1);
    ASSERT_EQ(explosions_spawned().size(), 1u);
    EXPECT_TRUE(same_explosion({static_cast<u16>(149 + c.list), 120, 0xFFFF}, explosions_spawned()[0]));
    EXPECT_EQ(rd16(debris_table.address + 2), 148u);
    EXPECT_EQ(rd16(debris_table.address + 4), 121 + c.list);
    EXPECT_EQ(rd16(debris_table.address + 10), 4u);
    EXPECT_EQ(rd16(debris_table.address + 12 + 2), 153u) << "code $7FFF is debris";
    EXPECT_EQ(rd16(debris_table.address + 24), 0u) << "the list ended";
  }
}

// ---- drawing ---------------------------------------------------------------------------

struct visit {
  u32 hook, a6, d5;
  bool operator==(const visit&) const = default;
};
std::vector<visit> hook_visits;
void note_visit(u32 address) { hook_visits.push_back({address, g_cpu.a[6], g_cpu.d[5]}); }

TEST_F(Vehicles, EachRecordPassesTheHooksOfItsDrawing) {
  hook_visits.clear();
  for (u32 h : {0x0060CCu, 0x0060DAu, 0x0060DEu, 0x0060F0u, 0x0061FAu, 0x0062C0u}) hook_register(h, note_visit);
  put_vehicle(0, 4, 132, 80);  // from picture line 20
  put_vehicle(1, 6, 132, 320); // freed by its drawing
  put_vehicle(2, 2, 132, 150);
  put_vehicle(3, 4, 132, 150); // freed earlier: its words stay
  wr16(rec(3) + veh::active, 0);
  put_vehicle(4, 0, 132, 320); // freed by its drawing
  d5 = 0x55555555;
  ASSERT_EQ(run(draw), 1);
  // d5 at a return point: the picture bytes skipped (0 from each entry on)
  const std::vector<visit> want = {
      {0x62C0, rec(0), 0x55555555}, {0x60CC, rec(0), 20 * 24}, {0x60DE, rec(0), 20 * 24},
      {0x61FA, rec(1), 20 * 24},    {0x60DA, rec(1), 0},       {0x60DE, rec(1), 0},
      {0x60F0, rec(2), 0},          {0x60DE, rec(2), 0},       {0x60DE, rec(3), 0},
      {0x60F0, rec(4), 0},          {0x60DE, rec(4), 0},
  };
  EXPECT_EQ(hook_visits, want);
  EXPECT_EQ(rd16(rec(1)), 0u);
  EXPECT_EQ(rd16(rec(4)), 0u);
}

struct clip_case {
  u32 type, height, y;
  u32 lines, first_line; // drawn, and the first picture line
};

TEST_F(Vehicles, PicturesAreClippedToThePlayField) {
  const clip_case cases[] = {
      {6, 48, 52, 0, 0},   {6, 48, 53, 1, 47},  {6, 48, 253, 47, 0}, {6, 48, 299, 1, 0},
      {4, 63, 37, 0, 0},   {4, 63, 238, 62, 0}, {4, 63, 299, 1, 0},  {4, 63, 300, 0, 0},
      {0, 40, 60, 0, 0},   {0, 40, 61, 1, 39},  {2, 40, 150, 40, 0}, {5, 90, 250, 50, 0},
      {1, 120, 300, 0, 0}, {1, 120, 60, 80, 40}, {1, 120, 250, 50, 0},
      {0, 0, 150, 0, 0},   {3, 0, 100, 0, 0},   {2, 0, 299, 0, 0},   {5, 0, 300, 0, 0}, // height 0: no line
  };
  for (const clip_case& c : cases) {
    SCOPED_TRACE(testing::Message() << "type " << c.type << ", height " << c.height << ", y " << c.y);
    fill_background();
    put_vehicle(0, c.type, 148, c.y, c.height); // screen column 112: group 7
    ASSERT_EQ(run(draw), 1);
    const u32 groups = c.type == 4 ? 3 : c.type == 6 ? 2 : 4;
    const ground_picture p = c.type == 4   ? ground_picture::vehicle_type4
                             : c.type == 6 ? ground_picture::vehicle_type6
                             : c.type <= 1 ? ground_picture::vehicle_a
                                           : ground_picture::vehicle_b;
    const u32 top = c.y > 100 ? c.y - 100 : 0;
    for (u32 l = 0; l < c.lines; ++l)
      for (u32 g = 0; g < groups; ++g) {
        const auto want = group_of(p, 0, c.first_line + l, g);
        const bool opaque = groups == 4 && (g == 1 || g == 2);
        ASSERT_TRUE(opaque ? opaque_at(top + l, 7 + g, want) : masked_at(top + l, 7 + g, want)) << "line " << l;
      }
    EXPECT_EQ(changed_outside({{top, c.lines, 7, groups}}).size(), 0u);
    EXPECT_EQ(rd16(rec(0)), c.y >= 300 ? 0u : 0xFFFFu);
  }
}

TEST_F(Vehicles, TheWreckFrameAndTheOpaqueMiddle) {
  fill_background();
  put_vehicle(0, 3, 148, 140, 30);
  wr16(rec(0) + veh::frame, 1);
  ASSERT_EQ(run(draw), 1);
  const auto middle = group_of(ground_picture::vehicle_b, 1, 1, 1);
  EXPECT_TRUE(opaque_at(41, 8, middle));
  // the middle's colour 0 hides the ground: its eighth pixel on line 1
  ASSERT_EQ((middle[0] | middle[1] | middle[2] | middle[3]) & 0x0100, 0u);
  const u32 at = group_address(41, 8);
  for (u32 p = 0; p < 4; ++p) EXPECT_EQ(rd16(at + 2 * p) & 0x0100, 0u);
  EXPECT_TRUE(masked_at(69, 10, group_of(ground_picture::vehicle_b, 1, 29, 3)));
  struct wreck_case {
    u32 type;
    ground_picture picture;
    u32 last_line, last_group;
  };
  for (const wreck_case c : {wreck_case{4, ground_picture::vehicle_type4, 62, 2}, {6, ground_picture::vehicle_type6, 47, 1},
                             {1, ground_picture::vehicle_a, 29, 3}}) {
    fill_background();
    put_vehicle(0, c.type, 148, 140, 30);
    ASSERT_EQ(run(draw), 1);
    EXPECT_TRUE(masked_at(40, 7, group_of(c.picture, 1, 0, 0))) << "type " << c.type;
    EXPECT_TRUE(masked_at(40 + c.last_line, 7 + c.last_group, group_of(c.picture, 1, c.last_line, c.last_group)));
  }
}

// x - 36 not a multiple of 16, as the game draws it: the picture's groups
// start at the byte (x - 36) / 2, an odd address taken byte by byte.
TEST_F(Vehicles, AVehicleOffTheGroupsIsDrawnFromTheHalvedColumn) {
  fill_background();
  put_vehicle(0, 6, 138, 150); // column 102: byte 51 of the line
  const u32 at = check_screen + 50 * 160 + 51;
  u16 before[8];
  for (u32 i = 0; i < 8; ++i) before[i] = static_cast<u16>(rd16(at + 2 * i));
  ASSERT_EQ(run(draw), 1);
  for (u32 g = 0; g < 2; ++g) {
    const auto p = group_of(ground_picture::vehicle_type6, 0, 0, g);
    const u16 mask = static_cast<u16>(~(p[0] | p[1] | p[2] | p[3]));
    for (u32 q = 0; q < 4; ++q)
      EXPECT_EQ(rd16(at + 8 * g + 2 * q), (before[4 * g + q] & mask) | p[q]) << "group " << g << " plane " << q;
  }
}

// What a drawing routine changed between its entry hook and its return
// point must lie inside its picture's box.
struct box_watch {
  u32 record = 0;
  std::vector<u16> before;
  std::vector<std::string> faults;
} watch;

void at_entry(u32) {
  watch.record = g_cpu.a[6];
  watch.before.resize(check_screen_bytes / 2);
  for (u32 i = 0; i < watch.before.size(); ++i) watch.before[i] = static_cast<u16>(rd16(check_screen + 2 * i));
}

void at_exit(u32 address) {
  const u32 r = watch.record;
  const u32 type = rd16(r + veh::type), y = rd16(r + veh::y), x = rd16(r + veh::x);
  const u32 width = type == 4 ? 48 : type == 6 ? 32 : 64;
  const u32 height = type == 4 ? 63 : type == 6 ? 48 : rd16(r + veh::height);
  for (u32 i = 0; i < watch.before.size(); ++i) {
    if (rd16(check_screen + 2 * i) == watch.before[i]) continue;
    const u32 line = 2 * i / 160, column = (2 * i % 160) / 8 * 16;
    const bool inside = line + 100 >= y && line + 100 < y + height && column >= x - 36 && column < x - 36 + width;
    if (!inside) watch.faults.push_back("word " + std::to_string(2 * i) + " at hook " + std::to_string(address));
  }
}

TEST_F(Vehicles, NothingIsDrawnOutsideAPicturesBox) {
  watch = {};
  for (u32 h : {0x0060F0u, 0x0061FAu, 0x0062C0u}) hook_register(h, at_entry);
  for (u32 h : {0x0060CCu, 0x0060DAu}) hook_register(h, at_exit);
  hook_register(0x0060DE, [](u32 address) {
    if (rd16(g_cpu.a[6] + veh::type) != 4 && rd16(g_cpu.a[6] + veh::type) != 6 && rd16(g_cpu.a[6]) != 0) at_exit(address);
  });
  fill_background();
  put_vehicle(0, 4, 116, 90);
  put_vehicle(1, 6, 196, 280);
  put_vehicle(2, 0, 228, 200, 90);
  put_vehicle(3, 5, 132, 61, 40);
  ASSERT_EQ(run(draw), 1);
  EXPECT_TRUE(watch.faults.empty()) << watch.faults.front();
  EXPECT_FALSE(changed_words().empty());
}

void prepare_vehicles() {
  machine_clear();
  mission_machine_reset();
  spawn_log_start();
  ground_objects t;
  t.put_in_ram();
  put_vehicle(0, 4, 116, 90);
  put_vehicle(1, 6, 196, 280);
  put_vehicle(2, 0, 228, 200, 90);
  put_vehicle(3, 5, 132, 61, 40);
  wr16(rec(3) + veh::speed, 1);
  put_projectile(0, 130, 100, 16, 0);
  put_projectile(2, 240, 220, 16, 1);
}

TEST_F(Vehicles, EveryPassResumesFromASavedState) {
  for (u32 entry : {move, fire, hits, draw}) {
    const int save_at = entry == move ? 1 : 2; // five loop heads only
    const resumption_result r = check_resumption(prepare_vehicles, entry, 2, save_at);
    EXPECT_GE(r.yields, save_at) << std::hex << entry;
    EXPECT_TRUE(r.sliced_same) << std::hex << entry << ": " << r.first_difference;
    EXPECT_TRUE(r.resumed_same) << std::hex << entry << ": " << r.first_difference;
  }
}

void prepare_placement() {
  prepare_vehicles();
  wr16(rec(4), 0);
  std::vector<u8> e;
  std::string error;
  vehicle_event({.command = 250, .units = {{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}}}, e, error);
  load_event(e);
  sync_regs_out();
}

TEST_F(Vehicles, ThePlacementResumesAtEveryLabel) {
  prepare_placement();
  EXPECT_TRUE(resumes_alike({.entry = place}));
}

TEST_F(Vehicles, EveryRoadResumesAtEveryLabel) {
  for (u32 entry : {move, fire, hits, draw}) {
    prepare_vehicles();
    EXPECT_TRUE(resumes_alike({.entry = entry})) << std::hex << entry;
  }
}

} // namespace
