// The shots' per-frame costs: the bullets' hit tests with every table full
// and nothing struck (every test runs), and a whole vertical pass over a
// busy screen: 25 enemies, 30 bullets, both players, six homing units and
// the goal, with the routines of later work stubbed.
#include <benchmark/benchmark.h>

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "game/shot_ram.h"
#include "host_call.h"
#include "support/tables/mission_builder.h"
#include "support/machine/mission_machine.h"
#include "support/tables/shot_tables.h"

namespace {

namespace pr = player_record;

constexpr u32 anim_offsets = 0x00B20E;
constexpr u32 anim_data = 0x00B228;

void fresh_mission() {
  machine_clear();
  stub_reset();
  mission_machine_reset();
  shot_tables{}.put_in_ram();
  player_tables{}.put_in_ram();
  for (u32 n = 0; n < 13; ++n) {
    wr16(anim_offsets + 2 * n, 4 * n);
    wr8(anim_data + 4 * n, n);
    wr8(anim_data + 4 * n + 1, n + 1);
    wr8(anim_data + 4 * n + 2, 0x80);
  }
}

// Enemies spread over the field at every shift, waiting in their scripts.
void place_enemies() {
  for (u32 e = 0; e < 25; ++e) {
    const u32 r = enemy_table.address + enemy_table.size * e;
    wr16(r + 0x00, 100 + 7 * e);
    wr16(r + 0x02, 110 + 6 * e);
    wr16(r + 0x04, 1);
    wr16(r + 0x08, e % 5);
    wr16(r + 0x0A, 1000);
    wr32(r + 0x14, anim_data + 4 * (e % 13));
    wr32(r + 0x18, anim_data + 4 * (e % 13) + 1);
    wr16(r + 0x26, 0);
  }
}

// Bullets that strike nothing: players' bullets away from the enemies,
// hostile ones away from the players.
void place_bullets() {
  for (u32 i = 0; i < 30; ++i) {
    const u32 r = bullet_table.address + bullet_table.size * i;
    wr16(r + bullet::x, 110 + 5 * i);
    wr16(r + bullet::y, 280 - (i % 4));
    wr16(r + bullet::dx, i % 3);
    wr16(r + bullet::dy, 0xFFFF);
    wr16(r + bullet::live, 0xFFFF);
    wr16(r + bullet::owner, i % 2 ? 0xFFFF : 0);
    wr16(r + bullet::life, 200);
  }
}

void place_players() {
  for (u32 p : {player1, player2}) {
    wr16(p + pr::lives, 3);
    wr16(p + pr::x, p == player1 ? 100 : 151); // shifts of 4 and 7: three columns
    wr16(p + pr::y, 20);
    wr16(p + pr::frame, p == player1 ? 41 : 1);
  }
}

void place_vehicles() {
  for (u32 v = 0; v < 5; ++v) {
    const u32 r = vehicle_table.address + vehicle_table.size * v;
    wr16(r + 0x00, 1);
    wr16(r + 0x02, 70 + 40 * v);
    wr16(r + 0x04, 100);
    wr16(r + 0x0E, 30);
    wr16(r + 0x0A, 20);
  }
}

void place_units_and_goal() {
  for (u32 i = 0; i < 6; ++i) {
    const u32 r = homing_unit_table.address + homing_unit_table.size * i;
    wr16(r + homing_unit::active, 0xFFFF);
    wr16(r + homing_unit::kind, i % 2);
    wr16(r + homing_unit::x, 36 + 64 + 16 * i);
    wr16(r + homing_unit::y, 120 + 25 * i);
    wr16(r + homing_unit::step, 0);
    wr16(r + homing_unit::countdown, 1);
  }
  wr16(goal_record.address + goal::active, 0xFFFF);
  wr16(goal_record.address + goal::x, 170);
  wr16(goal_record.address + goal::y, 180);
}

void BM_BulletHitTests(benchmark::State& state) {
  fresh_mission();
  wr16(scroll_pos, 300);
  place_enemies();
  place_players();
  place_vehicles();
  for (auto _ : state) {
    place_bullets();
    call_from_host(0x006950);
  }
  machine_clear();
}
BENCHMARK(BM_BulletHitTests)->Unit(benchmark::kMicrosecond);

void BM_BusyVerticalPass(benchmark::State& state) {
  fresh_mission();
  mission_builder m;
  m.map({{{0}, {1}, {2}}, {{3}, {4}, {5}}});
  m.put_in_ram();
  wr32(level_map_pointer, m.map_address(0));
  wr16(two_player_flag, 0xFFFF);
  for (auto _ : state) {
    place_enemies();
    place_bullets();
    place_players();
    place_units_and_goal();
    wr16(exit_request, 0xFFFF); // one pass
    wr16(frame_countdown, 0xFFFF);
    wr16(scroll_pos, 240);
    driver_start(0x008EAC);
    driver_run(10, 1 << 30, mission_vbl);
  }
  machine_clear();
}
BENCHMARK(BM_BusyVerticalPass)->Unit(benchmark::kMicrosecond);

} // namespace
