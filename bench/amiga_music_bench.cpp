// The Amiga music: one second of a four-voice tune rendered at 44,100 Hz
// (about 50 replay ticks and 3.5 million Paula ticks), and the replay's tick
// alone, as a skip forward runs it many times in a row.
#include <benchmark/benchmark.h>

#include <vector>

#include "sound/amiga_player.h"
#include "sound/amiga_replay.h"
#include "support/synthetic/amiga_music_block.h"

namespace {

void open_tune() {
  const amiga_block block = amiga_block_default();
  amiga_player_load(block.bytes.data(), 44100);
  amiga_music_play(0);
}

void BM_AmigaRenderOneSecond(benchmark::State& state) {
  open_tune();
  std::vector<i16> out(2 * 44100);
  for (auto _ : state) {
    amiga_music_render(44100, out.data());
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations() * 44100);
  amiga_player_forget();
}
BENCHMARK(BM_AmigaRenderOneSecond)->Unit(benchmark::kMillisecond);

void BM_AmigaReplayTick(benchmark::State& state) {
  open_tune();
  for (auto _ : state) am_call(bkam_tick_entry, 0);
  amiga_player_forget();
}
BENCHMARK(BM_AmigaReplayTick);

} // namespace
