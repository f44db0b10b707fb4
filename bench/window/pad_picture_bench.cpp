// The gamepad picture is drawn once per bindings, dual stick and language;
// the controllers are read every display frame and every millisecond by
// the fast input thread.
#include <benchmark/benchmark.h>

#include <SDL.h>

#include <cstdlib>

#include "host/input_bindings.h"
#include "host/language.h"
#include "host/pads.h"
#include "host/window/pad_picture.h"

namespace {

void BM_PadPictureRender(benchmark::State& state) {
  lang_init(BKM_BENCH_LANGUAGES);
  for (auto _ : state) {
    int w, h;
    uint8_t* px = padmap_render(&w, &h);
    benchmark::DoNotOptimize(px);
    free(px);
  }
}
BENCHMARK(BM_PadPictureRender)->Unit(benchmark::kMillisecond);

void BM_PadsReadTwoPads(benchmark::State& state) {
  SDL_Init(SDL_INIT_GAMECONTROLLER);
  SDL_VirtualJoystickDesc desc{};
  desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
  desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
  desc.naxes = SDL_CONTROLLER_AXIS_MAX;
  desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
  int a = SDL_JoystickAttachVirtualEx(&desc);
  int b = SDL_JoystickAttachVirtualEx(&desc);
  pad_state states[2];
  for (auto _ : state) benchmark::DoNotOptimize(pads_read(states));
  pads_close();
  SDL_JoystickDetachVirtual(b);
  SDL_JoystickDetachVirtual(a);
  SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
}
BENCHMARK(BM_PadsReadTwoPads)->Unit(benchmark::kMicrosecond);

}  // namespace
