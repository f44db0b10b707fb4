// The front end's costs in host time: a whole game on the synthetic data
// (boot, twelve missions with the shop and the result screens, the end and
// the high scores, as support/runs/whole_game.h plays it) per emulated VBL, and
// one VBL of the equipment screen's wait for fire.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "game/game_ram.h"
#include "machine/game_data.h"
#include "machine/gemdos.h"
#include "machine/loader_hold.h"
#include "support/machine/mission_machine.h"
#include "support/synthetic/synthetic_front_screens.h"
#include "support/temp_dir.h"
#include "support/runs/whole_game.h"

namespace {

// The counter reads as host time per emulated VBL (the boot's data file
// and state are made outside the timing).
void BM_WholeGamePerVBL(benchmark::State& state) {
  setenv("BKM_FOPEN", "1", 1);
  g_load_seconds = 0;
  temp_dir folder;
  double vbls = 0;
  for (auto _ : state) {
    state.PauseTiming();
    machine_clear();
    stub_reset();
    mission_machine_reset();
    whole_game_reset();
    std::vector<u8> data;
    std::string name, error;
    if (!whole_game_boot(folder.path, false, data, name, error)) {
      state.SkipWithError(error.c_str());
      break;
    }
    state.ResumeTiming();
    vbls += whole_game_run(60000, whole_game_at_title);
    state.PauseTiming();
    gemdos_close_all();
    game_data_release();
    state.ResumeTiming();
  }
  state.counters["per_VBL"] = benchmark::Counter(vbls, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["VBLs"] = benchmark::Counter(vbls, benchmark::Counter::kAvgIterations);
  machine_clear();
  unsetenv("BKM_FOPEN");
}
BENCHMARK(BM_WholeGamePerVBL)->Unit(benchmark::kMillisecond);

void vbl() {
  g_cpu.vbl_flag = 1;
  wr16(vbl_counter, rd16(vbl_counter) + 1);
}

// The equipment screen waiting for a press: each iteration is one slice
// (the poll after the VBL, then the wait for the next).
void BM_EquipmentWaitOneVBL(benchmark::State& state) {
  machine_clear();
  synth_front_screens_in_ram();
  wr32(draw_screen, screen_buffer_b);
  wr8(player1 + 0x66, 0xFF);
  g_cpu.a[4] = player1;
  driver_start(0x00D078);
  for (int i = 0; i < 4; ++i) {
    driver_run(1);
    vbl();
  }
  for (auto _ : state) {
    driver_run(1);
    vbl();
  }
  if (g_cpu.pc != 0xD0FE) state.SkipWithError("not at the equipment screen's wait");
  machine_clear();
}
BENCHMARK(BM_EquipmentWaitOneVBL)->Unit(benchmark::kMicrosecond);

} // namespace
