// The menu picture: a full redraw when the signature changes, the
// signature itself (every frame while the menu is open), and the warm-up
// at start-up that draws the controls tab in up to four languages.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>

#include "host/language.h"
#include "host/window/menu.h"
#include "host/window/menu_layer.h"
#include "host/window/menu_options.h"

namespace {

menu* options_menu() {
  static bool built = false;
  if (!built) {
    setenv("BKM_TEST", "1", 1);
    lang_init(BKM_BENCH_LANGUAGES);
    lang_set("en");
    menu_build(1, 1, 0);
    built = true;
  }
  return menu_options;
}

// Runs once: later runs would find the caches it fills.
void BM_MenuWarmupFourLanguages(benchmark::State& state) {
  menu* m = options_menu();
  for (auto _ : state) menu_warmup(m, 960, 600);
}
BENCHMARK(BM_MenuWarmupFourLanguages)->Unit(benchmark::kMillisecond)->Iterations(1);

// The tab with the most rows and value hints; the cursor moves each time,
// as a redraw follows a change.
void BM_MenuDraw(benchmark::State& state) {
  menu* m = options_menu();
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  menu_show(m);
  m->tab = 2;  // video
  menu_nav(m, "tabprev");
  menu_nav(m, "tabnext");
  for (auto _ : state) {
    menu_nav(m, "down");
    uint8_t* pixels = menu_draw(m, w, h);
    benchmark::DoNotOptimize(pixels);
    std::free(pixels);
  }
}
BENCHMARK(BM_MenuDraw)->Args({960, 600})->Args({1920, 1080})->Unit(benchmark::kMillisecond);

void BM_MenuSignature(benchmark::State& state) {
  menu* m = options_menu();
  menu_show(m);
  menu_status(m, "Slot 1 saved.");
  char sig[menu_sig_size];
  for (auto _ : state) benchmark::DoNotOptimize(menu_signature(m, 1920, 1080, sig, sizeof sig));
}
BENCHMARK(BM_MenuSignature)->Unit(benchmark::kMicrosecond);

}  // namespace
