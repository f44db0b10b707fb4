// Input latency: how long a controller change takes to become an EV_JOY1
// in the emulation's event ring, through the fast input thread (polling
// every millisecond) and through the per-frame mapping.
#include <benchmark/benchmark.h>

#include <SDL.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "host/emu_events.h"
#include "host/input_bindings.h"
#include "host/pads.h"
#include "host/platform.h"
#include "host/settings.h"
#include "host/window/app_state.h"
#include "host/window/fast_input.h"
#include "host/window/input_frame.h"

namespace {

int attach_pad() {
  SDL_VirtualJoystickDesc desc{};
  desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
  desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
  desc.naxes = SDL_CONTROLLER_AXIS_MAX;
  desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
  return SDL_JoystickAttachVirtualEx(&desc);
}

// Waits for the EV_JOY1 carrying want; the seconds it took.
double wait_joy1(int want, double since) {
  for (;;) {
    emu_event e;
    while (ev_pop(&e))
      if (e.kind == EV_JOY1 && static_cast<int>(e.a) == want) return now_s() - since;
  }
}

void report(benchmark::State& state, std::vector<double>& ms) {
  if (ms.empty()) return;
  std::sort(ms.begin(), ms.end());
  state.counters["p50_ms"] = ms[ms.size() / 2];
  state.counters["p99_ms"] = ms[std::min(ms.size() - 1, ms.size() * 99 / 100)];
}

void BM_FastInputPadToJoy1(benchmark::State& state) {
  SDL_Init(SDL_INIT_GAMECONTROLLER);
  setenv("BKM_FASTIN_TEST", "1", 1);
  evq_open();
  input_defaults();
  app_running = 1;
  input_ready = 1;
  fast_input = 1;
  const int index = attach_pad();
  SDL_Joystick* pad = SDL_JoystickOpen(index);
  fast_input_start();
  std::vector<double> ms;
  int fire = 0;
  for (auto _ : state) {
    fire ^= 1;
    const double t0 = now_s();
    SDL_JoystickSetVirtualButton(pad, SDL_CONTROLLER_BUTTON_A, fire);
    const double s = wait_joy1(fire ? JOY_FIRE : 0, t0);
    state.SetIterationTime(s);
    ms.push_back(s * 1000);
  }
  fast_input_stop();
  pads_close();
  SDL_JoystickClose(pad);
  SDL_JoystickDetachVirtual(index);
  evq_close();
  fast_input = 0;
  input_ready = 0;
  report(state, ms);
}
BENCHMARK(BM_FastInputPadToJoy1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(500);

// One frame of the mapping with two pads plugged and nothing changing: the
// main thread's cost per displayed frame.
void BM_InputFrameTwoPads(benchmark::State& state) {
  SDL_Init(SDL_INIT_GAMECONTROLLER | SDL_INIT_EVENTS);
  evq_open();
  input_defaults();
  input_reset();
  input_ready = 1;
  const int a = attach_pad();
  const int b = attach_pad();
  double now = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(input_frame(now += 0.016));
    emu_event e;
    while (ev_pop(&e)) {
    }
  }
  pads_close();
  SDL_JoystickDetachVirtual(b);
  SDL_JoystickDetachVirtual(a);
  evq_close();
  input_ready = 0;
}
BENCHMARK(BM_InputFrameTwoPads)->Unit(benchmark::kMicrosecond);

}  // namespace
