// The runtime's hot paths: dispatch, yields, a slice's whole budget and YM
// register writes.
#include <benchmark/benchmark.h>

#include "machine/io_devices.h"
#include "support/machine/machine_fixture.h"

namespace {

ROUTINE(bench_leaf, 0xC30000)
  RTS();
END_ROUTINE

ROUTINE(bench_yielder, 0xC30100)
LABEL(0xC30102)
  if (kit_wait(0xC30102)) return;
  GOTO(0xC30102);
END_ROUTINE

ROUTINE(bench_spinner, 0xC30200)
LOOP(0xC30202)
  d0 += 1;
  GOTO(0xC30202);
END_ROUTINE

void BM_CallDynamic(benchmark::State& state) {
  machine_clear();
  register_routine(0xC30000, bench_leaf);
  for (auto _ : state) {
    push32(0x1234);
    call_dynamic(0xC30000);
    benchmark::DoNotOptimize(ret_addr);
  }
  machine_clear();
}
BENCHMARK(BM_CallDynamic);

void BM_YieldResumeRoundTrip(benchmark::State& state) {
  machine_clear();
  register_routine(0xC30100, bench_yielder, {0xC30102});
  g_cpu.pc = 0xC30100;
  for (auto _ : state) benchmark::DoNotOptimize(core_run(&g_cpu, 1000));
  machine_clear();
}
BENCHMARK(BM_YieldResumeRoundTrip);

void BM_FullBudgetSlice(benchmark::State& state) {
  machine_clear();
  register_routine(0xC30200, bench_spinner, {0xC30202});
  g_cpu.pc = 0xC30200;
  for (auto _ : state) benchmark::DoNotOptimize(core_run(&g_cpu, 2000000));
  machine_clear();
}
BENCHMARK(BM_FullBudgetSlice)->Unit(benchmark::kMillisecond);

void BM_YmRegisterWrite(benchmark::State& state) {
  machine_clear();
  u32 v = 0;
  for (auto _ : state) {
    io_write(0xFF8800, 1, 8);
    io_write(0xFF8802, 1, ++v);
    if (ym_pending() > 100000) ym_clear();
  }
  machine_clear();
}
BENCHMARK(BM_YmRegisterWrite);

} // namespace
