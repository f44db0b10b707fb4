// End-to-end input latency on a running emulation thread that idles ahead
// of its clock: an SDL key event through input_frame to the byte the game's
// own keyboard interrupt handler stores, and a key held down through the
// fast input thread to the machine's joystick.
#include <benchmark/benchmark.h>

#include <SDL.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "game/routine_kit.h"
#include "graphics/present.h"
#include "graphics/scene.h"
#include "host/emu_state.h"
#include "host/host_hooks.h"
#include "host/input_bindings.h"
#include "host/pads.h"
#include "host/platform.h"
#include "host/settings.h"
#include "host/window/app_state.h"
#include "host/window/fast_input.h"
#include "host/window/input_frame.h"
#include "host/window/video.h"
#include "host/window/video_state.h"
#include "machine/ikbd.h"
#include "machine/io_devices.h"
#include "machine/machine_state.h"
#include "machine/memory.h"
#include "machine/mfp.h"
#include "machine/tos.h"
#include "sound/audio_assembly.h"
#include "support/machine/machine_fixture.h"

namespace {

constexpr u32 keyboard_vector = 0x118;
constexpr u32 keyboard_handler = 0x79EC;  // the game's own, as its set-up leaves it
constexpr u32 typed_keys = 0x2110;        // the routine the handler hands keys to
constexpr u32 last_key = 0x1DE2;
constexpr u32 dev_mode_word = 0x252;

// A game that only waits for the next VBL.
ROUTINE(latency_toy, 0xC05000)
LABEL(0xC05004)
  if (kit_wait(0xC05004)) return;
  GOTO(0xC05004);
END_ROUTINE

ROUTINE(typed_keys_stand_in, 0x2110)
  RTS();
END_ROUTINE

void report(benchmark::State& state, std::vector<double>& ms) {
  if (ms.empty()) return;
  std::sort(ms.begin(), ms.end());
  state.counters["p50_ms"] = ms[ms.size() / 2];
  state.counters["p99_ms"] = ms[std::min(ms.size() - 1, ms.size() * 99 / 100)];
}

// The toy machine with the game's keyboard interrupt open, running on its
// thread with a lead of 3.6 VBLs, so it idles ahead of its clock.
bool start_machine(benchmark::State& state) {
  machine_clear();
  tos_init("");
  tos_machine_init();
  emu_reset_controller();
  register_routine(0xC05000, latency_toy, {0xC05004});
  register_routine(typed_keys, typed_keys_stand_in);
  wr32(keyboard_vector, keyboard_handler);
  wr16(dev_mode_word, 1);  // keys go straight on to the typed keys
  wr8(mfp_ierb, 1u << mfp_bit_acia);
  wr8(mfp_imrb, 1u << mfp_bit_acia);
  audio_start(audio_config{});
  static const scene_ops ops = {on_frame_cb, on_sprite_cb, on_drop_cb, on_reset_cb};
  scene_init(&ops);
  msgq_clear();
  core_reset();
  g_cpu.pc = 0xC05000;
  g_cpu.sr_sys = 0x2300;
  state_ptr s(state_new());
  tos_save_state(s.get());
  const char* path = "/tmp/bkm_bench_latency.bkms";
  state_write_file(s.get(), path);
  emu_config config;
  config.state_file = path;
  config.lead = 3.6;
  config.start_time = now_s();
  if (!emu_start(&config)) {
    state.SkipWithError("the emulation thread did not start");
    return false;
  }
  return true;
}

void stop_machine() {
  emu_join();
  msgq_clear();
  audio_shutdown();
}

// What the main loop does meanwhile: take the presenter's messages and,
// once per 60 Hz display frame, give the thread its tick (off mission
// screens it runs one VBL per displayed frame).
void main_loop_pass() {
  static double next_tick = 0;
  while (present_msg* m = msgq_pop()) msg_free(m);
  const double now = now_s();
  if (now >= next_tick) {
    emu_post(EV_TICK, 0, 0);
    next_tick = now + 1.0 / 60;
  }
}

void push_key(SDL_Scancode sc, bool down) {
  SDL_Event e{};
  e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
  e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
  e.key.keysym.scancode = sc;
  e.key.windowID = SDL_GetWindowID(g_video.window);
  SDL_PushEvent(&e);
}

void BM_KeyEventToGamesKeyByte(benchmark::State& state) {
  if (!video_open(320, 200, 320, 200, "")) {
    state.SkipWithError("no video output");
    return;
  }
  input_defaults();
  input_reset();
  fast_input = 0;
  app_running = 1;
  input_ready = 1;
  if (!start_machine(state)) return;
  std::vector<double> ms;
  for (auto _ : state) {
    __atomic_store_n(&g_ram[last_key], 0, __ATOMIC_RELEASE);
    push_key(SDL_SCANCODE_1, true);
    const double t0 = now_s();
    input_frame(t0);
    while (__atomic_load_n(&g_ram[last_key], __ATOMIC_ACQUIRE) != 2 && now_s() - t0 < 1) main_loop_pass();
    const double took = now_s() - t0;
    state.SetIterationTime(took);
    ms.push_back(took * 1000);
    push_key(SDL_SCANCODE_1, false);
    input_frame(now_s());
    // The release goes 3 VBLs after the press, and the next press a VBL
    // after that: wait them out so each press meets a free queue.
    const double until = now_s() + 0.25;
    while (now_s() < until) main_loop_pass();
  }
  stop_machine();
  input_ready = 0;
  video_close();
  report(state, ms);
}
BENCHMARK(BM_KeyEventToGamesKeyByte)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(60);

// A pad's d-pad through the fast input thread (which reads the pads itself,
// every millisecond) to the machine's joystick port.
void BM_FastInputPadToMachineJoystick(benchmark::State& state) {
  SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
  if (!video_open(320, 200, 320, 200, "")) {
    state.SkipWithError("no video output");
    return;
  }
  setenv("BKM_FASTIN_TEST", "1", 1);
  input_defaults();
  input_reset();
  fast_input = 1;
  app_running = 1;
  input_ready = 1;
  SDL_VirtualJoystickDesc desc{};
  desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
  desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
  desc.naxes = SDL_CONTROLLER_AXIS_MAX;
  desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
  const int index = SDL_JoystickAttachVirtualEx(&desc);
  SDL_Joystick* pad = SDL_JoystickOpen(index);
  if (!start_machine(state)) return;
  fast_input_start();
  std::vector<double> ms;
  int up = 0;
  for (auto _ : state) {
    up ^= 1;
    const double t0 = now_s();
    SDL_JoystickSetVirtualButton(pad, SDL_CONTROLLER_BUTTON_DPAD_UP, up);
    const int want = up ? JOY_UP : 0;
    while (__atomic_load_n(&emu.sent_joy[1], __ATOMIC_ACQUIRE) != want && now_s() - t0 < 1) main_loop_pass();
    const double took = now_s() - t0;
    state.SetIterationTime(took);
    ms.push_back(took * 1000);
  }
  app_running = 0;
  fast_input_stop();
  stop_machine();
  pads_close();
  SDL_JoystickClose(pad);
  SDL_JoystickDetachVirtual(index);
  fast_input = 0;
  input_ready = 0;
  unsetenv("BKM_FASTIN_TEST");
  video_close();
  report(state, ms);
}
BENCHMARK(BM_FastInputPadToMachineJoystick)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(300);

}  // namespace
