// The window's costs per frame: presenting a game picture through a
// shader, a screenshot, and the 2D canvas pictures of the start-up screens.
// Needs an X display with OpenGL (Xvfb and Mesa's llvmpipe in CI).
#include "host/language.h"
#include "host/platform.h"
#include "host/window/startup_layout.h"
#include "host/window/ui2d.h"
#include "host/window/video.h"

#include <benchmark/benchmark.h>
#include <epoxy/gl.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::vector<uint8_t> game_picture(int w, int h) {
  std::vector<uint8_t> rgb(size_t(w) * h * 3);
  for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = uint8_t(i * 2654435761u >> 24);
  return rgb;
}

void present(benchmark::State& state, const char* preset) {
  if (!video_open(960, 600, 960, 600, "")) {
    state.SkipWithError(video_take_error());
    return;
  }
  video_set_preset(preset);
  vcfg.aspect = 3;
  auto rgb = game_picture(960, 600);
  for (auto _ : state) {
    video_upload(rgb.data());
    video_draw();
    glFinish();
  }
  video_close();
}

void BM_present_none(benchmark::State& state) { present(state, "None"); }
void BM_present_soft_crt(benchmark::State& state) { present(state, "Soft CRT"); }
BENCHMARK(BM_present_none)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_present_soft_crt)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_screenshot(benchmark::State& state) {
  if (!video_open(960, 600, 960, 600, "")) {
    state.SkipWithError(video_take_error());
    return;
  }
  video_set_preset("None");
  auto rgb = game_picture(960, 600);
  video_upload(rgb.data());
  char dir[] = "/tmp/bkm_bench_XXXXXX";
  std::string path = std::string(mkdtemp(dir)) + "/shot.png";
  for (auto _ : state) {
    video_screenshot(path.c_str());
    video_draw();
  }
  remove(path.c_str());
  rmdir(dir);
  video_close();
}
BENCHMARK(BM_screenshot)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_loading_screen_picture(benchmark::State& state) {
  startup_row rows[STARTUP_ROWS];
  rows[0] = {"Game data", "BKM (Atari ST)", true, false};
  rows[2] = {"Graphics", "", true, true};
  rows[3] = {"Graphics pack", "Original", true, false};
  rows[4] = {"Music", "arrange", true, false};
  startup_loading screen;
  screen.rows = rows;
  screen.progress = 0.62;
  screen.detail = "Loading the graphics pack...";
  for (auto _ : state) ui2d_free(startup_draw_loading(960, 600, screen));
}
BENCHMARK(BM_loading_screen_picture)->Unit(benchmark::kMillisecond);

void BM_missing_data_picture(benchmark::State& state) {
  lang_init(BKM_BENCH_LANGUAGES);
  for (auto _ : state) {
    double factor = 0;
    ui2d_free(
        startup_draw_missing(1920, 1080, "/home/player/games/brakmoor/original", startup_missing_intro(-1), &factor));
  }
}
BENCHMARK(BM_missing_data_picture)->Unit(benchmark::kMillisecond);

void BM_layout_1000_characters(benchmark::State& state) {
  std::string text;
  while (text.size() < 1000) text += "The quick brown fox jumps over the lazy dog. ";
  text.resize(1000);
  ui2d_face* face = ui2d_font_gdi(0, 20);
  ui2d_canvas* warm = ui2d_new(64, 64);
  ui2d_text_top(warm, face, text.c_str(), 0xFFFFFF, 0, 0);
  ui2d_free(warm);
  for (auto _ : state) benchmark::DoNotOptimize(ui2d_text_w(face, text.c_str()));
}
BENCHMARK(BM_layout_1000_characters)->Unit(benchmark::kMicrosecond);

}  // namespace
