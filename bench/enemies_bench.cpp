// The enemies' per-frame costs: the drawing of 25 enemies at mixed shifts
// (two on the window's edges), and the script and animation steps over 48
// live records.
#include <benchmark/benchmark.h>

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "host_call.h"
#include "repeat_call.h"
#include "support/machine/mission_machine.h"

namespace {

constexpr u32 frames = 0x05E60A;
constexpr u32 script_at = 0x3C00;

u32 rec(u32 i) { return enemy_table.address + enemy_table.size * i; }

void fresh_mission() {
  machine_clear();
  stub_reset();
  mission_machine_reset();
}

// The records are written again before each drawing (a hundred stores,
// well under a tenth of a microsecond), so every pass draws the same.
void BM_DrawTwentyFiveEnemies(benchmark::State& state) {
  fresh_mission();
  for (u32 i = 0; i < 39 * 132; ++i) wr8(frames + i, (i * 37) & 0xFF);
  run_in_driver(0x00891C);
  repeat_call_start(0x005B32);
  for (auto _ : state) {
    for (u32 i = 0; i < 25; ++i) {
      const u32 x = i == 0 ? 92 : i == 1 ? 284 : 100 + (i * 7) % 170;
      wr16(rec(i), x);
      wr16(rec(i) + 2, 110 + (i * 13) % 170);
      wr16(rec(i) + 4, 1);
      wr16(rec(i) + 8, i % 39);
    }
    if (!repeat_call_once()) state.SkipWithError("the drawing did not return");
  }
  machine_clear();
}
BENCHMARK(BM_DrawTwentyFiveEnemies)->Unit(benchmark::kMicrosecond);

// 48 records on a long movement over a looping two-frame animation; the
// counters are set again long before they run out, so no record ever
// reads a command.
void live_records() {
  wr16(0xB20E, 0);
  wr8(0xB228, 1);
  wr8(0xB229, 2);
  wr8(0xB22A, 0x80);
  for (u32 i = 0; i < 48; ++i) {
    wr16(rec(i), 150);
    wr16(rec(i) + 2, 150);
    wr16(rec(i) + 4, 1);
    wr16(rec(i) + 0x0A, 0xFFFF);
    wr16(rec(i) + 0x0C, i % 7);
    wr32(rec(i) + 0x10, script_at);
    wr32(rec(i) + 0x14, 0xB228);
    wr32(rec(i) + 0x18, 0xB228);
  }
}

void BM_ScriptStepFortyEight(benchmark::State& state) {
  fresh_mission();
  live_records();
  repeat_call_start(0x00B09A);
  for (auto _ : state) {
    if (rd16(rec(47) + 0x0A) < 0x100)
      for (u32 i = 0; i < 48; ++i) wr16(rec(i) + 0x0A, 0xFFFF);
    if (!repeat_call_once()) state.SkipWithError("the script step did not return");
  }
  machine_clear();
}
BENCHMARK(BM_ScriptStepFortyEight)->Unit(benchmark::kMicrosecond);

void BM_AnimationStepFortyEight(benchmark::State& state) {
  fresh_mission();
  live_records();
  repeat_call_start(0x00B386);
  for (auto _ : state)
    if (!repeat_call_once()) state.SkipWithError("the animation step did not return");
  machine_clear();
}
BENCHMARK(BM_AnimationStepFortyEight)->Unit(benchmark::kMicrosecond);

} // namespace
