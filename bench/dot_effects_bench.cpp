// The dot bullets' and effects' per-frame costs on full tables: 25 effects
// tested against 25 living enemies and both players (none struck, so every
// box is tried), 20 dot bullets against the enemies and six homing units,
// then both drawn at mixed shifts with two effects on the field's edges.
#include <benchmark/benchmark.h>

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "host_call.h"
#include "support/tables/dot_effect_tables.h"
#include "support/machine/mission_machine.h"

namespace {

u32 at(const object_table& t, u32 i) { return t.address + t.size * i; }

void fresh_mission() {
  machine_clear();
  stub_reset();
  mission_machine_reset();
  dot_effect_tables{}.put_in_ram();
  preshift_pictures();
  load_regs();
  for (u32 i = 0; i < 25; ++i) {
    const u32 e = at(enemy_table, i);
    wr16(e, 100 + 7 * i);
    wr16(e + 2, 110);
    wr16(e + 4, 1);
  }
  for (u32 i = 0; i < 6; ++i) {
    const u32 u = at(homing_unit_table, i);
    wr16(u, 0xFFFF);
    wr16(u + 4, 132 + 16 * i);
    wr16(u + 6, 120);
  }
  for (u32 p : {player1, player2}) {
    wr16(p + player_record::lives, 3);
    wr16(p + player_record::x, 150);
    wr16(p + player_record::y, 20);
  }
}

// Every record live, away from enemies, units and players, well inside the
// drawing windows.
void full_tables() {
  for (u32 i = 0; i < effect_table.records; ++i) {
    const u32 f = at(effect_table, i);
    wr16(f, i == 0 ? 90 : i == 1 ? 285 : 104 + 7 * i);
    wr16(f + 2, 200 + 3 * i);
    wr16(f + 4, 0);
    wr16(f + 6, 0);
    wr16(f + 8, 0xFFFF);
    wr16(f + 0x0A, i % 2);
    wr16(f + 0x0C, 100);
    wr16(f + 0x0E, i % 11);
  }
  for (u32 i = 0; i < dot_bullet_table.records; ++i) {
    const u32 d = at(dot_bullet_table, i);
    wr16(d, 110 + 9 * i);
    wr16(d + 2, 230 + 2 * i);
    wr16(d + 4, 0xFFFF);
    wr16(d + 6, 50);
    wr16(d + 8, i % 2);
    wr16(d + 0x0A, 0);
    wr16(d + 0x0C, 0);
  }
}

void BM_DotBulletsAndEffectsFrame(benchmark::State& state) {
  fresh_mission();
  for (auto _ : state) {
    state.PauseTiming();
    full_tables();
    state.ResumeTiming();
    call_from_host(0x00B944);
    call_from_host(0x00AC5E);
    call_from_host(0x00660C);
    call_from_host(0x00B6EA);
  }
  machine_clear();
}
BENCHMARK(BM_DotBulletsAndEffectsFrame)->Unit(benchmark::kMicrosecond);

template <u32 entry> void BM_One(benchmark::State& state) {
  fresh_mission();
  for (auto _ : state) {
    state.PauseTiming();
    full_tables();
    state.ResumeTiming();
    call_from_host(entry);
  }
  machine_clear();
}
BENCHMARK(BM_One<0x00B944>)->Name("BM_EffectsUpdate")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_One<0x00AC5E>)->Name("BM_DotBulletsUpdate")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_One<0x00660C>)->Name("BM_DotBulletsDrawing")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_One<0x00B6EA>)->Name("BM_EffectsDrawing")->Unit(benchmark::kMicrosecond);

} // namespace
