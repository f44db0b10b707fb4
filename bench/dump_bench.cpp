// The graphics dump's cost on the first run: the whole dump on the
// synthetic data file (the game played through its menus and twelve mission
// starts, then every sheet written), and the writers alone on twelve
// hand-made memory images with menu screens and mission captures.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "graphics/dump.h"
#include "graphics/dump_work.h"
#include "machine/game_data.h"
#include "machine/memory.h"
#include "support/machine/machine_fixture.h"
#include "support/synthetic/synthetic_disk.h"
#include "support/temp_dir.h"

namespace {

void BM_DumpWholeSyntheticGame(benchmark::State& state) {
  temp_dir folder;
  if (const std::string error = synth_write_standard_bkm(folder.path); !error.empty()) {
    state.SkipWithError(error.c_str());
    return;
  }
  if (game_data_init(folder.path.c_str()) != 1) {
    state.SkipWithError("the synthetic data was not selected");
    return;
  }
  for (auto _ : state) {
    machine_clear();
    if (!dump_original(folder.path.c_str(), (folder / "out").c_str(), nullptr)) state.SkipWithError("dump failed");
  }
  game_data_release();
  machine_clear();
}
BENCHMARK(BM_DumpWholeSyntheticGame)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_DumpWriters(benchmark::State& state) {
  temp_dir folder;
  auto w = std::make_unique<dump_work>();
  std::vector<u8> image(ram_size, 0);
  uint32_t seed = 1;
  for (u32 a = 0x2F000; a < 0x60000; ++a) image[a] = static_cast<u8>((seed = seed * 1664525u + 1013904223u) >> 24);
  for (int m = 0; m < dump_missions; ++m) w->mission_ram[m] = image;
  dump_snap screen;
  screen.idx.assign(dump_screen_pixels, 0);
  for (size_t p = 0; p < dump_screen_pixels; ++p) screen.idx[p] = static_cast<u8>(p % 320 / 20);
  screen.zone_count = 1;
  for (int i = 0; i < 5; ++i) w->snaps.push_back(screen);
  for (int i = 0; i < 600; ++i) w->ingame.push_back(screen);
  for (auto _ : state) {
    w->out_root = folder / "out";
    w->sheets.clear();
    w->reflevels.clear();
    if (!dump_write_all(*w)) state.SkipWithError("index.json not written");
  }
}
BENCHMARK(BM_DumpWriters)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
