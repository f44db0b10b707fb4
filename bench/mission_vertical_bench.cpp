// The vertical mission engine's per-frame costs: the ring copy, a level-map
// row read with a block and stamps, a read at a map's end with its colour
// burst, and a whole frame pass with the routines of later work stubbed.
#include <benchmark/benchmark.h>

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "host_call.h"
#include "support/tables/mission_builder.h"
#include "support/machine/mission_machine.h"

namespace {

void fresh_mission() {
  machine_clear();
  stub_reset();
  mission_machine_reset();
}

void BM_VerticalBackground(benchmark::State& state) {
  fresh_mission();
  wr16(scroll_pos, 100); // the copy in two runs
  for (auto _ : state) run_in_driver(0x00893C);
  machine_clear();
}
BENCHMARK(BM_VerticalBackground)->Unit(benchmark::kMicrosecond);

void BM_RowReadBlockAndThreeStamps(benchmark::State& state) {
  fresh_mission();
  mission_builder m;
  m.map({{{0}, {0}, {0}}, {{2, {stamp(7, 1), stamp(125, 6), stamp(126, 3)}}, {0}, {0}}, {{1}, {1}, {1}}});
  m.put_in_ram();
  for (auto _ : state) {
    wr32(level_map_pointer, m.map_address(0) + 3);
    wr16(scroll_pos, 232);
    run_in_driver(0x00899A);
  }
  machine_clear();
}
BENCHMARK(BM_RowReadBlockAndThreeStamps)->Unit(benchmark::kMicrosecond);

void BM_RowReadAtMapEnd(benchmark::State& state) {
  fresh_mission();
  mission_builder m;
  m.map({{{1}, {2}, {3}}});
  m.put_in_ram();
  for (auto _ : state) {
    wr32(level_map_pointer, m.map_address(0) + 3);
    wr16(scroll_pos, 232);
    run_in_driver(0x00899A);
  }
  machine_clear();
}
BENCHMARK(BM_RowReadAtMapEnd)->Unit(benchmark::kMicrosecond);

void BM_VerticalPassLaterRoutinesStubbed(benchmark::State& state) {
  fresh_mission();
  mission_builder m;
  m.map({{{0}, {1}, {2}}, {{3}, {4}, {5}}});
  m.put_in_ram();
  wr32(level_map_pointer, m.map_address(0));
  wr16(player1 + player_record::lives, 3);
  wr16(player1 + player_record::y, 100);
  for (auto _ : state) {
    wr16(exit_request, 0xFFFF); // one pass
    wr16(frame_countdown, 0xFFFF);
    wr16(scroll_pos, 240);
    driver_start(0x008EAC);
    driver_run(10, 1 << 30, mission_vbl);
  }
  machine_clear();
}
BENCHMARK(BM_VerticalPassLaterRoutinesStubbed)->Unit(benchmark::kMicrosecond);

} // namespace
