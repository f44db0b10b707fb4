// The terrain and obstacle step of both players in one frame (two passes
// each), with solid ground cells around them and the obstacle probe's
// stand-in answering no contact.
#include <benchmark/benchmark.h>

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "repeat_call.h"
#include "support/machine/mission_machine.h"

namespace {

void BM_TerrainStepTwoPlayers(benchmark::State& state) {
  machine_clear();
  stub_reset();
  mission_machine_reset();
  wr16(scroll_pos, 1008);
  for (u32 i = 0; i < 0x400; i += 3) wr8(collision_map + i, 0xFF); // solid cells all around
  const u16 pos[2][2] = {{150, 100}, {120, 90}};
  for (int p = 0; p < 2; ++p) {
    const u32 rec = p == 0 ? player1 : player2;
    wr16(rec + player_record::lives, 3);
    wr16(rec + 2, pos[p][0]);
    wr16(rec + 4, pos[p][1]);
    wr8(rec + player_record::up, 0xFF);
    wr8(rec + player_record::right, 0xFF);
    wr16(0x284 + 2 * p, pos[p][0]);
    wr16(0x288 + 2 * p, pos[p][1]);
  }
  g_cpu.a[7] = mission_stack;
  repeat_call_start(0x009860);
  for (auto _ : state) {
    for (u32 rec : {player1, player2}) {
      wr16(rec + 2, rec == player1 ? pos[0][0] : pos[1][0]);
      wr16(rec + 4, rec == player1 ? pos[0][1] : pos[1][1]);
      g_cpu.a[4] = rec;
      if (!repeat_call_once()) state.SkipWithError("the terrain step did not return");
    }
  }
  machine_clear();
}
BENCHMARK(BM_TerrainStepTwoPlayers)->Unit(benchmark::kMicrosecond);

} // namespace

namespace {

// What starting the test driver afresh costs by itself (two short calls):
// the reason the steps above are called through repeat_call.
void BM_TwoDriverCallsAlone(benchmark::State& state) {
  machine_clear();
  stub_reset();
  mission_machine_reset();
  for (auto _ : state)
    for (int i = 0; i < 2; ++i) {
      driver_start(0x009048);
      driver_run(1, 1 << 30);
    }
  machine_clear();
}
BENCHMARK(BM_TwoDriverCallsAlone)->Unit(benchmark::kMicrosecond);

} // namespace
