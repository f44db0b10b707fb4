// Host time per game frame of the whole synthetic mission
// (support/runs/whole_mission_run.h), headless, from the mission's start to its
// goal: each game frame's two VBLs with their slices, VBL deliveries and
// input. The boot, the cold start, the mission's set-up and data load are
// not counted, nor are frame hashes (the run counts frames only). Reported:
// the mean and the busiest frame, for slices of 2,000,000 and for tiny
// slices of 97 (the cost of the yields). The busiest frame is given twice:
// as measured (it takes in whatever else the machine did at that moment)
// and as the busiest of each frame's quickest run, which a slow path in a
// routine, repeated in every run, still shows.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <numeric>
#include <vector>

#include "machine/game_data.h"
#include "machine/gemdos.h"
#include "support/machine/machine_fixture.h"
#include "support/temp_dir.h"
#include "support/runs/whole_mission_run.h"

namespace {

void BM_WholeMissionPerFrame(benchmark::State& state) {
  const u32 budget = static_cast<u32>(state.range(0));
  temp_dir folder;
  setenv("BKM_FOPEN", "1", 1);
  double total_ns = 0, busiest_ns = 0, start_ns = 0;
  std::vector<double> quickest_ns; // each frame's best of the runs
  long frames = 0;
  for (auto _ : state) {
    state.PauseTiming();
    gemdos_close_all();
    game_data_release();
    machine_clear();
    state.ResumeTiming();
    const mission_run run = play_whole_mission(folder.path, whole_mission_built().file, {budget, resume_at::nowhere, false});
    if (!run.failure.empty() || !run.finished) {
      state.SkipWithError(run.failure.empty() ? "the mission did not end" : run.failure.c_str());
      break;
    }
    start_ns = std::max(start_ns, run.start_ns);
    total_ns += std::accumulate(run.frame_ns.begin(), run.frame_ns.end(), 0.0);
    busiest_ns = std::max(busiest_ns, *std::max_element(run.frame_ns.begin(), run.frame_ns.end()));
    if (quickest_ns.empty()) quickest_ns = run.frame_ns;
    for (size_t i = 0; i < std::min(quickest_ns.size(), run.frame_ns.size()); ++i)
      quickest_ns[i] = std::min(quickest_ns[i], run.frame_ns[i]);
    frames += static_cast<long>(run.frame_ns.size());
  }
  unsetenv("BKM_FOPEN");
  gemdos_close_all();
  game_data_release();
  if (frames == 0) return;
  state.counters["frames"] = static_cast<double>(frames) / static_cast<double>(state.iterations());
  state.counters["mean_frame_us"] = total_ns / static_cast<double>(frames) / 1000.0;
  state.counters["busiest_frame_us"] = busiest_ns / 1000.0;
  state.counters["busiest_quickest_us"] = *std::max_element(quickest_ns.begin(), quickest_ns.end()) / 1000.0;
  // The slice that ends in the mission's start: with whole slices, the
  // set-up routines and the mission data load; with tiny ones their last piece.
  state.counters["start_slice_us"] = start_ns / 1000.0;
  state.counters["first_frame_us"] = quickest_ns.front() / 1000.0;
}
BENCHMARK(BM_WholeMissionPerFrame)->Arg(2000000)->Arg(97)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace
