// One full VBL of the emulated ST: the game's VBL handler, three raster
// splits, the Timer C music tick and 98 Timer A sample-player calls, all
// small toy handlers that touch the YM chip as the real ones do.
#include <benchmark/benchmark.h>

#include "machine/vbl_delivery.h"
#include "machine/ym_capture.h"
#include "support/machine/st_machine.h"

namespace {

ROUTINE(bench_vbl_isr, 0xC60000)
  save_regs(dregs(0, 1));
  d0 = rd16(0x9000) + 1;
  wr16(0x9000, d0);
  wr8(0xFFFA21, 60);
  wr8(0xFFFA1B, 8);
  restore_regs(dregs(0, 1));
  RTE();
END_ROUTINE

ROUTINE(bench_timer_b_isr, 0xC61000)
  save_regs(dregs(0, 0));
  d0 = rd16(0xFF8240) + 0x111;
  wr16(0xFF8240, d0);
  wr8(0xFFFA21, 60);
  wr8(0xFFFA1B, 8);
  restore_regs(dregs(0, 0));
  RTE();
END_ROUTINE

ROUTINE(bench_timer_c_isr, 0xC62000)
  save_regs(dregs(0, 2) | aregs(0, 0));
  a0 = 0x9100;
  d0 = rd16(a0) + 1;
  wr16(a0, d0);
  set_sr(0x2700);
  wr8(0xFF8800, 0);
  wr8(0xFF8802, d0);
  wr8(0xFF8800, 8);
  wr8(0xFF8802, 12);
  restore_regs(dregs(0, 2) | aregs(0, 0));
  RTE();
END_ROUTINE

ROUTINE(bench_timer_a_isr, 0xC63000)
  save_regs(dregs(0, 0) | aregs(0, 0));
  a0 = rd32(0x9200);
  d0 = rd8(a0);
  wr32(0x9200, a0 + 1);
  wr8(0xFF8800, 8);
  wr8(0xFF8802, d0 & 15);
  wr8(0xFFFA0F, 0xDF);
  restore_regs(dregs(0, 0) | aregs(0, 0));
  RTE();
END_ROUTINE

void set_up_machine() {
  st_reset();
  register_routine(0xC60000, bench_vbl_isr);
  register_routine(0xC61000, bench_timer_b_isr);
  register_routine(0xC62000, bench_timer_c_isr);
  register_routine(0xC63000, bench_timer_a_isr);
  set_vector(0x70, 0xC60000);
  set_vector(0x120, 0xC61000);
  set_vector(0x114, 0xC62000);
  set_vector(0x134, 0xC63000);
  mfp_enable(mfp_iera, mfp_imra, mfp_bit_timer_a);
  mfp_enable(mfp_iera, mfp_imra, mfp_bit_timer_b);
  mfp_enable(mfp_ierb, mfp_imrb, mfp_bit_timer_c);
  mfp_set_reg(mfp_tcdcr, 0x50);
  mfp_set_reg(mfp_tcdr, 246);
  mfp_set_reg(mfp_tacr, 1);
  mfp_set_reg(mfp_tadr, 125);
  wr32(0x9200, 0x20000);
}

void BM_TosVbl(benchmark::State& state) {
  set_up_machine();
  for (auto _ : state) {
    wr32(0x9200, 0x20000);
    tos_vbl();
    ym_events_clear();
  }
  state.counters["splits"] = tos.zone_count - 1;
  state.counters["timer_a"] = static_cast<double>(rd32(0x9200) - 0x20000);
  machine_clear();
}
BENCHMARK(BM_TosVbl)->Unit(benchmark::kMicrosecond);

} // namespace
