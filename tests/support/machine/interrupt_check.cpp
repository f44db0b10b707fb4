#include "support/machine/interrupt_check.h"

#include <cstdio>

#include "machine/runner.h"

namespace {

u32 sr_of(const cpu_state& c) {
  return static_cast<u32>(c.sr_sys) | (c.fx & 1) << 4 | (c.fn & 1) << 3 | (c.fz & 1) << 2 | (c.fv & 1) << 1 |
         (c.fc & 1);
}

const char* const register_names[16] = {"d0", "d1", "d2", "d3", "d4", "d5", "d6", "d7",
                                        "a0", "a1", "a2", "a3", "a4", "a5", "a6", "a7"};

u32 reg(const cpu_state& c, int i) { return i < 8 ? c.d[i] : c.a[i - 8]; }

} // namespace

void fill_register_patterns() {
  for (u32 i = 0; i < 8; ++i) g_cpu.d[i] = 0xD0C0B0A0 + i * 0x01010101;
  for (u32 i = 0; i < 7; ++i) g_cpu.a[i] = 0x00A0B0C0 + i * 0x00010101;
  g_cpu.fx = g_cpu.fz = g_cpu.fc = 1;
  g_cpu.fn = g_cpu.fv = 0;
  load_regs();
}

::testing::AssertionResult interrupt_returns(u32 handler, int level, u16 kept) {
  const cpu_state before = g_cpu;
  const int result = cpu_run_isr(&g_cpu, handler, level, 0, 1, nullptr);
  auto failure = ::testing::AssertionFailure();
  bool failed = false;
  auto differs = [&](const char* what, u32 was, u32 now) {
    char line[128];
    std::snprintf(line, sizeof line, "\n  %s was $%08X, is $%08X", what, was, now);
    failure << line;
    failed = true;
  };
  if (result != 0) {
    failure << "\n  the interrupt was not taken (runner result " << result << ")";
    failed = true;
  }
  if (g_cpu.pc != before.pc) differs("pc (the handler did not return to the interrupted code)", before.pc, g_cpu.pc);
  if (g_cpu.a[7] != before.a[7]) differs("a7", before.a[7], g_cpu.a[7]);
  if (g_cpu.other_sp != before.other_sp) differs("the other stack pointer", before.other_sp, g_cpu.other_sp);
  if (sr_of(g_cpu) != sr_of(before)) differs("SR", sr_of(before), sr_of(g_cpu));
  for (int i = 0; i < 15; ++i)
    if (kept & (1u << i) && reg(g_cpu, i) != reg(before, i)) differs(register_names[i], reg(before, i), reg(g_cpu, i));
  if (failed) {
    char line[48];
    std::snprintf(line, sizeof line, "\n  after the handler at $%06X", handler);
    return failure << line;
  }
  return ::testing::AssertionSuccess();
}
