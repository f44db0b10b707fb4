// The emulation thread's pacing over ten seconds at 50 Hz with the default
// lead, on a toy machine that shows a mission frame every VBL: how late
// each step runs against the ideal 50 Hz grid, the VBL rate, and stalls.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

#include "game/routine_kit.h"
#include "graphics/present.h"
#include "graphics/scene.h"
#include "host/emu_state.h"
#include "host/host_hooks.h"
#include "host/platform.h"
#include "sound/audio_assembly.h"
#include "support/machine/machine_fixture.h"

namespace {

std::vector<double> step_times;

ROUTINE(pacing_toy, 0xC03000)
LABEL(0xC03004)
  step_times.push_back(now_s());
  {
    scene_frame* f = frame_new();
    f->vbl = tos.vbl;
    on_frame_cb(f);
    frame_unref(f);
  }
  if (kit_wait(0xC03004)) return;
  GOTO(0xC03004);
END_ROUTINE

void BM_PacingTenSeconds(benchmark::State& state) {
  for (auto _ : state) {
    machine_clear();
    tos_init("");
    tos_machine_init();
    emu_reset_controller();
    register_routine(0xC03000, pacing_toy, {0xC03004});
    audio_start(audio_config{});
    static const scene_ops ops = {on_frame_cb, on_sprite_cb, on_drop_cb, on_reset_cb};
    scene_init(&ops);
    msgq_clear();
    core_reset();
    g_cpu.pc = 0xC03000;
    state_ptr s(state_new());
    tos_save_state(s.get());
    const char* path = "/tmp/bkm_bench_pacing.bkms";
    state_write_file(s.get(), path);
    step_times.clear();
    step_times.reserve(1000);
    emu_config config;
    config.state_file = path;
    config.lead = 3.6;
    config.start_time = now_s();
    if (!emu_start(&config)) {
      state.SkipWithError("the emulation thread did not start");
      return;
    }
    // The main thread's part: take the frames off the presenter's queue.
    const double end = now_s() + 10.5;
    while (now_s() < end && emu_running.load()) {
      while (present_msg* m = msgq_pop()) msg_free(m);
      sleep_ms(2);
    }
    emu_join();
    while (present_msg* m = msgq_pop()) msg_free(m);
    scene_clear_frames();
    audio_shutdown();

    // The first half second holds the lead's catch-up.
    std::vector<double> t(step_times.begin() + std::min<size_t>(step_times.size(), 25), step_times.end());
    if (t.size() < 100) {
      state.SkipWithError("too few steps");
      return;
    }
    std::vector<double> late;
    double earliest = 1e9;
    for (size_t i = 0; i < t.size(); ++i) earliest = std::min(earliest, t[i] - (t[0] + i / 50.0));
    for (size_t i = 0; i < t.size(); ++i) late.push_back((t[i] - (t[0] + i / 50.0) - earliest) * 1000);
    std::sort(late.begin(), late.end());
    state.counters["vbl_per_s"] = (t.size() - 1) / (t.back() - t.front());
    state.counters["p99_late_ms"] = late[late.size() * 99 / 100];
    state.counters["max_late_ms"] = late.back();
    state.counters["stalls"] = emu.stalls;
  }
}
BENCHMARK(BM_PacingTenSeconds)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

} // namespace
