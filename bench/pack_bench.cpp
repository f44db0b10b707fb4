// Graphics packs: the lookups a frame makes, the layer pass over a fixed
// screen with text drawn on it, and the resampling of a tile.
#include <benchmark/benchmark.h>

#include <vector>

#include "graphics/content_hash.h"
#include "graphics/gfxpack.h"
#include "graphics/pack_scale.h"
#include "support/graphics/pack_assets.h"
#include "support/graphics/scene_frames.h"

namespace {

constexpr int sprites_in_frame = 64;

// A pack replacing 64 sprites of 16 x 16 and a full screen.
struct bench_pack {
  pack_assets a;
  std::vector<sprite*> sprites;
  bench_pack() {
    std::vector<index_cell> cells;
    for (int n = 0; n < sprites_in_frame; ++n) {
      sprite* s = solid_sprite(16, 16, n % 16);
      s->pixels[0] = static_cast<uint8_t>(n);
      char h[GFX_HASH_TEXT];
      gfx_sprite_hash(s, h);
      cells.push_back({n, h});
      sprites.push_back(s);
    }
    index_sheet sheet("sprites/all", "sprite", 8 * 24, 8 * 24, 24, 24, 8, 4, cells);
    index_sheet screen("screens/title", "screen", 320, 200, 320, 200, 1, 0, {{0, "title"}});
    screen.idx = "screens/title.idx.png";
    a.write_index({sheet, screen});
    a.write_indices(screen.idx, std::vector<uint8_t>(scene_pixels, 1), 320, 200);
    rgba_picture dump(320, 200), mine(320, 200), art(8 * 24, 8 * 24);
    dump.fill(0, 0, 320, 200, 0x808080FF);
    mine.fill(0, 0, 320, 200, 0xFF0000FF);
    art.fill(0, 0, 8 * 24, 8 * 24, 0x00FF00C0);
    a.write_sheet("original", "screens/title", dump);
    a.write_sheet("mine", "screens/title", mine.enlarged(3));
    a.write_sheet("mine", "sprites/all", art.enlarged(3));
    gfxpack_init(a.root().c_str(), 3, "mine");
  }
  ~bench_pack() {
    for (sprite* s : sprites) sprite_unref(s);
    gfxpack_init("", 1, "");
  }
};

void BM_PackSpriteLookupsOfAFrame(benchmark::State& state) {
  bench_pack p;
  pack_picture out{};
  for (auto _ : state)
    for (sprite* s : p.sprites) benchmark::DoNotOptimize(cb_sprite(s, 3, &out, 0));
  state.SetItemsProcessed(state.iterations() * sprites_in_frame);
}
BENCHMARK(BM_PackSpriteLookupsOfAFrame);

// A fixed screen that is the replaced title with two lines of text on it.
void BM_PackLayersOverAFixedScreen(benchmark::State& state) {
  bench_pack p;
  std::vector<uint8_t> screen(scene_pixels, 1), rgb(static_cast<size_t>(9) * scene_pixels * 3);
  for (int y = 150; y < 170; ++y)
    for (int x = 40; x < 280; ++x)
      if ((x / 3 + y / 2) % 3 == 0) screen[static_cast<size_t>(y * 320 + x)] = 15;
  palette_zone zone{};
  test_palette(zone.palette);
  for (auto _ : state) {
    present_static_hook(screen.data(), &zone, 1, 3, rgb.data());
    benchmark::DoNotOptimize(rgb.data());
  }
}
BENCHMARK(BM_PackLayersOverAFixedScreen)->Unit(benchmark::kMillisecond);

void BM_PackTileFilteredToAnotherScale(benchmark::State& state) {
  rgba_picture tile(64, 32);
  tile.fill(0, 0, 32, 32, 0xFF0000FF);
  tile.fill(32, 0, 32, 32, 0x0000FF80);
  const rgba_picture k2 = tile.enlarged(2);
  for (auto _ : state) benchmark::DoNotOptimize(to_scale(k2.px.data(), 128, 64, 32, 64, 3));
}
BENCHMARK(BM_PackTileFilteredToAnotherScale)->Unit(benchmark::kMicrosecond);

}  // namespace
