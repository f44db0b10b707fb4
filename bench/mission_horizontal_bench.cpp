// The horizontal mission engine's costs: the switch-over with its 16 KB
// band, the background tiled over the playfield, and a busy pass with every
// object table full, run with the routines written so far (stand-ins for
// the rest).
#include <benchmark/benchmark.h>

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "host_call.h"
#include "support/tables/mission_builder.h"
#include "support/machine/mission_machine.h"
#include "support/tables/section_cycle.h"

namespace {

void fresh_mission() {
  machine_clear();
  stub_reset();
  mission_machine_reset();
  section_cycle_put(section_cycle_mission(), {});
}

void BM_HorizontalSwitchOver(benchmark::State& state) {
  fresh_mission();
  wr16(last_block, 3);
  for (auto _ : state) {
    wr16(stream_section, 0);
    run_in_driver(0x0045D6);
  }
  machine_clear();
}
BENCHMARK(BM_HorizontalSwitchOver)->Unit(benchmark::kMicrosecond);

void BM_HorizontalBackground(benchmark::State& state) {
  fresh_mission();
  wr16(hscroll_word, 14);
  for (auto _ : state) run_in_driver(0x00488C);
  machine_clear();
}
BENCHMARK(BM_HorizontalBackground)->Unit(benchmark::kMicrosecond);

// Every record of every table active, on screen, at rest.
void fill_tables() {
  const struct {
    object_table t;
    u32 active, x, y;
  } tables[] = {
      {enemy_table, 4, 0, 2},        {bullet_table, 8, 0, 2},      {grenade_table, 0, 0, 2},
      {dot_bullet_table, 8, 0, 2},   {explosion_table, 4, 0, 2},   {debris_table, 0, 2, 4},
      {projectile_table, 0, 2, 4},   {effect_table, 8, 0, 2},      {section_object_table, 0, 2, 4},
      {section_installation_table, 0, 2, 4},
  };
  for (const auto& e : tables)
    for (u32 r = 0; r < e.t.records; ++r) {
      const u32 at = e.t.address + r * e.t.size;
      wr16(at + e.active, 1);
      wr16(at + e.x, 80 + (r * 37) % 160);
      wr16(at + e.y, 20 + (r * 23) % 150);
    }
}

void BM_BusyHorizontalPass(benchmark::State& state) {
  fresh_mission();
  player_tables{}.put_in_ram();
  wr16(ground_blocks, 0); // any block: the band is built once
  run_in_driver(0x0045D6);
  for (u32 record : {player1, player2}) {
    wr16(record + player_record::lives, 3);
    wr16(record + player_record::x, 150);
    wr16(record + player_record::y, 100);
  }
  bool finished = true;
  for (auto _ : state) {
    state.PauseTiming();
    fill_tables();
    wr16(hscroll_step, 2);
    wr16(scroll_pos, 100);
    wr16(exit_request, 0xFFFF); // one pass: the escape leaves the section
    wr16(frame_countdown, 0xFFFF);
    state.ResumeTiming();
    driver_start(0x00474A);
    driver_run(10, 1 << 30, mission_vbl);
    finished &= driver_finished();
  }
  if (!finished) state.SkipWithError("the pass did not come back");
  machine_clear();
}
BENCHMARK(BM_BusyHorizontalPass)->Unit(benchmark::kMicrosecond);

} // namespace
