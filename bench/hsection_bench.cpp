// The horizontal sections' per-frame costs: six installations (two on the
// play field's edges) stepping their patterns and drawn, and sixteen
// objects (guns, vents near a player, mines) updated and drawn.
#include <benchmark/benchmark.h>

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "host_call.h"
#include "support/tables/dot_effect_tables.h"
#include "support/tables/hsection_tables.h"
#include "support/machine/mission_machine.h"

namespace {

u32 at(const object_table& t, u32 i) { return t.address + t.size * i; }

void fresh_section() {
  machine_clear();
  stub_reset();
  mission_machine_reset();
  hsection_tables t;
  for (u32 type = 234; type <= 238; ++type) t.pattern(type, {{0, 0, 1, 1, 0}, {8, 4, 1, 1, 2}});
  t.put_in_ram();
  put_installation_frames();
  load_regs();
  for (u32 p : {player1, player2}) {
    wr16(p + player_record::lives, 3);
    wr16(p + player_record::x, 120);
    wr16(p + player_record::y, 150);
  }
}

void fill_tables() {
  const u32 xs[6] = {50, 100, 133, 170, 201, 245};
  for (u32 i = 0; i < 6; ++i) {
    const u32 r = at(section_installation_table, i);
    wr16(r, 0xFF00);
    wr16(r + 2, xs[i]);
    wr16(r + 4, 20 + 25 * i);
    wr16(r + 6, 234 + i % 5);
    wr16(r + 8, 0);
    wr16(r + 0x0A, 0);
  }
  for (u32 i = 0; i < 16; ++i) {
    const u32 r = at(section_object_table, i);
    wr16(r, 0xFF00);
    wr16(r + 2, 60 + 12 * i);
    wr16(r + 4, 10 + 11 * i);
    wr16(r + 6, 240 + i % 6);
    wr16(r + 8, 0);
    wr16(r + 0x0A, 0);
  }
  for (u32 i = 0; i < dot_bullet_table.records; ++i) wr16(at(dot_bullet_table, i) + 4, 0);
  for (u32 i = 0; i < effect_table.records; ++i) wr16(at(effect_table, i) + 8, 0);
}

void BM_HorizontalSectionObjectsFrame(benchmark::State& state) {
  fresh_section();
  for (auto _ : state) {
    state.PauseTiming();
    fill_tables();
    state.ResumeTiming();
    call_from_host(0x004C74);
    call_from_host(0x005336);
    call_from_host(0x004F32);
    call_from_host(0x0054AA);
  }
  machine_clear();
}
BENCHMARK(BM_HorizontalSectionObjectsFrame)->Unit(benchmark::kMicrosecond);

template <u32 entry> void BM_One(benchmark::State& state) {
  fresh_section();
  for (auto _ : state) {
    state.PauseTiming();
    fill_tables();
    state.ResumeTiming();
    call_from_host(entry);
  }
  machine_clear();
}
BENCHMARK(BM_One<0x004C74>)->Name("BM_InstallationsUpdate")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_One<0x005336>)->Name("BM_SectionObjectsUpdate")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_One<0x004F32>)->Name("BM_InstallationsDrawing")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_One<0x0054AA>)->Name("BM_SectionObjectsDrawing")->Unit(benchmark::kMicrosecond);

} // namespace
