// Host time per emulated VBL of one game's road from the boot through the
// full title, the prompt and the world map to a mission's first frame, on
// the synthetic data file (support/runs/title_to_mission.h). The attract
// script's VBLs, each with 98 title-sample interrupts, are reported apart,
// and so are the VBLs from the title on (after the boot's cold-start load,
// the one VBL that unpacks the resident graphics) and the median VBL.
// Measured: the slice, the input and the VBL delivery of each VBL; the
// boot state is made outside the measure.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

#include "machine/game_data.h"
#include "machine/gemdos.h"
#include "machine/loader_hold.h"
#include "support/machine/machine_fixture.h"
#include "support/synthetic/synthetic_disk.h"
#include "support/temp_dir.h"
#include "support/runs/title_to_mission.h"

namespace {

void BM_TitleToMissionPerVbl(benchmark::State& state) {
  temp_dir folder;
  if (const std::string error = synth_write_standard_bkm(folder.path); !error.empty()) {
    state.SkipWithError(error.c_str());
    return;
  }
  g_load_seconds = 0;

  double all_ns = 0, script_ns = 0, title_on_ns = 0;
  long all = 0, script = 0, title_on = 0;
  std::vector<double> each;
  for (auto _ : state) {
    machine_clear();
    road_notes n;
    if (!run_title_to_mission(folder.path, 7, n)) {
      state.SkipWithError("the road did not reach the mission");
      break;
    }
    double ns = 0;
    bool title = false;
    for (const road_vbl& v : n.vbls) {
      ns += v.host_ns;
      each.push_back(v.host_ns);
      title = title || (v.pc == 0x79E2 && v.wait_return == 0xECEE);
      if (title) {
        title_on_ns += v.host_ns;
        ++title_on;
      }
      if (v.pc == 0x79E2 && v.wait_return == 0xEE92) {
        script_ns += v.host_ns;
        ++script;
      }
    }
    all_ns += ns;
    all += static_cast<long>(n.vbls.size());
    state.SetIterationTime(ns * 1e-9);
    gemdos_close_all();
    game_data_release();
  }
  if (all == 0) return;
  state.counters["vbls"] = static_cast<double>(all) / static_cast<double>(state.iterations());
  state.counters["us_per_vbl"] = all_ns / static_cast<double>(all) / 1000.0;
  state.counters["script_us_per_vbl"] = script ? script_ns / static_cast<double>(script) / 1000.0 : 0;
  state.counters["other_us_per_vbl"] =
      (all_ns - script_ns) / static_cast<double>(all - script) / 1000.0;
  state.counters["from_title_us_per_vbl"] = title_on ? title_on_ns / static_cast<double>(title_on) / 1000.0 : 0;
  std::nth_element(each.begin(), each.begin() + static_cast<long>(each.size() / 2), each.end());
  state.counters["median_us"] = each[each.size() / 2] / 1000.0;
  machine_clear();
}
BENCHMARK(BM_TitleToMissionPerVbl)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace
