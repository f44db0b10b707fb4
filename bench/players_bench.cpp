// The players' per-frame costs: one drawing per variant of the blitter
// (two columns, shifts 1-8, shifts 9-15), and the players' pass with two
// walking players and the routines of later work stubbed.
#include <benchmark/benchmark.h>

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "host_call.h"
#include "support/tables/mission_builder.h"
#include "support/machine/mission_machine.h"

namespace {

namespace pr = player_record;

void fresh_players() {
  machine_clear();
  stub_reset();
  mission_machine_reset();
  player_tables{}.put_in_ram();
}

void BM_DrawPlayer(benchmark::State& state) {
  fresh_players();
  wr16(player1 + pr::lives, 3);
  wr16(player1 + pr::x, static_cast<u32>(state.range(0)));
  wr16(player1 + pr::y, 80);
  wr16(player1 + pr::frame, 41);
  load_regs();
  for (auto _ : state) {
    a4 = player1;
    call_from_host(0x00597A);
  }
  machine_clear();
}
BENCHMARK(BM_DrawPlayer)->Arg(96)->Arg(101)->Arg(108)->Unit(benchmark::kMicrosecond);

void BM_PlayersPassTwoWalking(benchmark::State& state) {
  fresh_players();
  for (u32 record : {player1, player2}) {
    wr16(record + pr::lives, 3);
    wr16(record + pr::x, 150);
    wr16(record + pr::y, 100);
    wr8(record + pr::owned, 1);
    wr32(record + pr::way_right, 0xFFFFFFFF);
    wr32(record + pr::walk_first, walk_frame_lists);
    wr32(record + pr::walk_entry, walk_frame_lists);
    wr32(record + pr::walk_end, walk_frame_lists + 8);
    wr16(record + pr::walk_step, 2);
  }
  for (auto _ : state) {
    // Back and forth, so that both keep walking.
    const bool right = rd16(player1 + pr::x) < 150;
    for (u32 record : {player1, player2}) {
      wr8(record + pr::right, right ? 0xFF : 0);
      wr8(record + pr::left, right ? 0 : 0xFF);
    }
    call_from_host(0x00922E);
    stub_calls().clear();
  }
  machine_clear();
}
BENCHMARK(BM_PlayersPassTwoWalking)->Unit(benchmark::kMicrosecond);

} // namespace
