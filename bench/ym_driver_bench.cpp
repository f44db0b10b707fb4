// The game's sound routines as the VBL delivery runs them: one YM driver
// tick through the game's Timer C handler (three voices and an effect
// playing), and one VBL's 98 Timer A interrupts of the sample player (both
// channels) and of the title sample player.
#include <benchmark/benchmark.h>

#include "game/game_ram.h"
#include "game/ym_driver.h"
#include "machine/runner.h"
#include "machine/slice_runner.h"
#include "machine/ym_capture.h"
#include "support/machine/st_machine.h"
#include "support/synthetic/synthetic_sound.h"

namespace {

void set_up_sound() {
  st_reset();
  synth_sound_load();
}

void BM_DriverTick(benchmark::State& state) {
  set_up_sound();
  tos_call_sub(0x0074F4, 5); // arpeggio, modulation and slide on the three voices
  tos_call_sub3(0x041C04, 25, 2, 0);
  const double times[1] = {0.5};
  for (auto _ : state) {
    cpu_run_batch(&g_cpu, 0x007896, 1, times);
    ym_events_clear();
  }
  benchmark::DoNotOptimize(rd8(ym_driver_vars + ym_var::tune_flag));
}
BENCHMARK(BM_DriverTick);

void BM_SampleInterruptsOfAVbl(benchmark::State& state) {
  set_up_sound();
  tos_call_sub(0x00E6EC, 3);
  tos_call_sub(0x00E756, 4);
  for (auto _ : state) {
    wr32(0x144, synth_sound_content().sample_at[3]);
    wr32(0x14C, synth_sound_content().sample_at[4]);
    cpu_run_batch(&g_cpu, 0x00E6B2, 98, nullptr);
    ym_events_clear();
  }
}
BENCHMARK(BM_SampleInterruptsOfAVbl);

void BM_TitleSampleInterruptsOfAVbl(benchmark::State& state) {
  set_up_sound();
  for (u32 i = 0; i < 2772; ++i) wr8(0x066F38 + i, i * 7);
  for (u32 i = 0; i < 256 * 8; ++i) wr8(0x067A0C + i, i % 8 < 6 && i % 2 == 0 ? 8 + i % 8 / 2 : i);
  wr32(0x0001E0, 0x066F38);
  for (auto _ : state) {
    cpu_run_batch(&g_cpu, 0x00F816, 98, nullptr);
    ym_events_clear();
  }
}
BENCHMARK(BM_TitleSampleInterruptsOfAVbl);

// The batch runner's own share: 98 calls of the interrupt routine that only
// returns.
void BM_EmptyInterruptsOfAVbl(benchmark::State& state) {
  set_up_sound();
  for (auto _ : state) cpu_run_batch(&g_cpu, 0x00F864, 98, nullptr);
}
BENCHMARK(BM_EmptyInterruptsOfAVbl);

} // namespace
