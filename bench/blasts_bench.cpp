// The blasts' per-frame costs: the blast damage of 17 young explosions over
// full enemy, homing-unit and section-object tables where nothing is hit,
// and the drawing of 17 explosions with full grenade and projectile tables.
#include <benchmark/benchmark.h>

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "machine/runner.h"
#include "support/machine/mission_machine.h"
#include "support/tables/mission_objects.h"

namespace {

void fresh_mission() {
  machine_clear();
  stub_reset();
  mission_machine_reset();
}

// As the host's nested calls run a routine: no coroutine to set up, so
// the figure is the routine's own.
void run_to_end(u32 entry) { cpu_run_batch(&g_cpu, entry, 1, nullptr); }

void BM_BlastDamageNoHit(benchmark::State& state) {
  fresh_mission();
  // Explosions in the top rows, every target far below them.
  for (u32 i = 0; i < 17; ++i) put_explosion(i, 100 + 11 * i, 110, i % 2, i % 4);
  for (u32 i = 0; i < 48; ++i) put_enemy(i, 100 + 4 * i, 280);
  for (u32 i = 0; i < 6; ++i) put_homing_unit(i, 120 + 20 * i, 290);
  for (u32 i = 0; i < 16; ++i) put_section_object(i, 70 + 10 * i, 170);
  put_player(player1, 100, 170);
  put_player(player2, 180, 170);
  for (auto _ : state) run_to_end(0x00A5FC);
  machine_clear();
}
BENCHMARK(BM_BlastDamageNoHit)->Unit(benchmark::kMicrosecond);

void BM_DrawExplosionsAndObjects(benchmark::State& state) {
  fresh_mission();
  put_explosion_frames();
  put_shot_frames();
  run_to_end(0x005FFE);
  for (auto _ : state) {
    state.PauseTiming();
    for (u32 i = 0; i < 17; ++i) {
      put_explosion(i, 100 + 11 * i, 110 + 10 * i, 0, i % 10);
      put_grenade(i, 110 + 10 * i, 120 + 9 * i, 0, 0, 0);
    }
    for (u32 i = 0; i < 20; ++i) put_projectile(i, 105 + 9 * i, 115 + 8 * i, 16 + i % 13);
    state.ResumeTiming();
    run_to_end(0x006D12);
    run_to_end(0x005E32);
    run_to_end(0x005F1A);
  }
  machine_clear();
}
BENCHMARK(BM_DrawExplosionsAndObjects)->Unit(benchmark::kMicrosecond);

} // namespace

