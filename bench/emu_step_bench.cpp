// The emulation controller's own cost on a toy machine whose slice does
// nothing: one VBL step's host work (input, jobs, kind, the fixed-screen
// compare), a step that takes a crash snapshot, and the time from an
// EV_JOY1 post to the machine's joystick on an idle thread.
#include <benchmark/benchmark.h>

#include "game/routine_kit.h"
#include "graphics/present.h"
#include "graphics/scene.h"
#include "host/emu_state.h"
#include "host/host_hooks.h"
#include "host/platform.h"
#include "sound/audio_assembly.h"
#include "support/machine/machine_fixture.h"

namespace {

bool bench_frames = false;

ROUTINE(bench_toy, 0xC02000)
LABEL(0xC02004)
  if (bench_frames) {
    scene_frame* f = frame_new();
    f->vbl = tos.vbl;
    on_frame_cb(f);
    frame_unref(f);
  }
  if (kit_wait(0xC02004)) return;
  GOTO(0xC02004);
END_ROUTINE

void toy_machine() {
  machine_clear();
  tos_init("");
  tos_machine_init();
  emu_reset_controller();
  register_routine(0xC02000, bench_toy, {0xC02004});
  audio_start(audio_config{});
  static const scene_ops ops = {on_frame_cb, on_sprite_cb, on_drop_cb, on_reset_cb};
  scene_init(&ops);
  msgq_clear();
  core_reset();
  g_cpu.pc = 0xC02000;
}

void step_once() {
  if (msgq_count() > 256) msgq_clear();
  pump(tos.vbl);
  emu.last_gp = do_step();
}

void BM_StepOnAFixedScreen(benchmark::State& state) {
  toy_machine();
  bench_frames = false;
  for (auto _ : state) step_once();
  msgq_clear();
  audio_shutdown();
}
BENCHMARK(BM_StepOnAFixedScreen);

void BM_StepWithACrashSnapshot(benchmark::State& state) {
  toy_machine();
  bench_frames = true;
  for (auto _ : state) {
    emu.last_good = static_cast<i32>(tos.vbl) - 1000;  // a snapshot is due
    step_once();
  }
  bench_frames = false;
  msgq_clear();
  scene_clear_frames();
  audio_shutdown();
}
BENCHMARK(BM_StepWithACrashSnapshot);

// From the post to the machine's input log on the running, idle thread.
void BM_JoystickPostToMachine(benchmark::State& state) {
  toy_machine();
  state_ptr s(state_new());
  tos_save_state(s.get());
  const char* path = "/tmp/bkm_bench_toy.bkms";
  state_write_file(s.get(), path);
  emu_config config;
  config.state_file = path;
  config.start_time = now_s();
  if (!emu_start(&config)) {
    state.SkipWithError("the emulation thread did not start");
    return;
  }
  int byte = 0;
  for (auto _ : state) {
    byte ^= 0x01;  // a direction: fire would be held for 3 VBLs
    emu_post(EV_JOY1, byte, 0);
    // The thread stores the byte it gave the machine; only read here.
    while (__atomic_load_n(&emu.sent_joy[1], __ATOMIC_ACQUIRE) != byte && emu_running.load()) {
    }
  }
  if (!emu_running.load()) state.SkipWithError("the emulation thread stopped");
  emu_join();
  msgq_clear();
  audio_shutdown();
}
BENCHMARK(BM_JoystickPostToMachine)->UseRealTime();

} // namespace
