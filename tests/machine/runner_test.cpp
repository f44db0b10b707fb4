// Interrupt and batch runners: handlers run to their end on the host stack,
// outside the coroutine; frames, sentinels, refusals and handlers that
// never come back.
#include "machine/runner.h"

#include "support/machine/machine_fixture.h"

namespace {

class Runner : public MachineTest {};

constexpr u32 counter = 0x9000;

ROUTINE(toy_isr, 0xC10000)
  save_regs(dregs(0, 1));
  d0 = rd16(counter) + 1;
  wr16(counter, d0);
  d1 = static_cast<u32>(g_cpu.sub_vbl_time * 100 + 0.5);
  wr16(counter + 2 + 2 * (d0 - 1), d1);
  TRAP(0xC10010, 0xC10012) // ignored inside a handler
  restore_regs(dregs(0, 1));
  RTE();
END_ROUTINE

void register_isr() { register_routine(0xC10000, toy_isr, {0xC10010, 0xC10012}); }

void game_at(u32 pc, u32 sr) {
  g_cpu.pc = pc;
  g_cpu.sr_sys = static_cast<i32>(sr & 0xFF00);
  g_cpu.fz = (sr >> 2) & 1;
  g_cpu.a[7] = 0x10000;
  g_cpu.other_sp = 0x20000;
  g_cpu.d[0] = 0x11111111;
}

TEST_F(Runner, InterruptRefusedAtOrBelowTheMaskUnlessForced) {
  register_isr();
  game_at(0x4000, 0x2600);
  EXPECT_EQ(cpu_run_isr(&g_cpu, 0xC10000, 4, 0, 1, nullptr), -1);
  EXPECT_EQ(rd16(counter), 0u);
  EXPECT_EQ(g_cpu.a[7], 0x10000u) << "no frame pushed";
  EXPECT_EQ(rd32(0x10000 - 4), 0u);

  EXPECT_EQ(cpu_run_isr(&g_cpu, 0xC10000, 4, 1, 1, nullptr), 0);
  EXPECT_EQ(rd16(counter), 1u);
  EXPECT_EQ(g_cpu.pc, 0x4000u) << "the RTE popped the interrupted address";
  EXPECT_EQ(g_cpu.sr_sys, 0x2600);
  EXPECT_EQ(g_cpu.a[7], 0x10000u);
  EXPECT_EQ(g_cpu.d[0], 0x11111111u);
}

TEST_F(Runner, InterruptFromUserModeUsesTheSupervisorStack) {
  register_isr();
  game_at(0x4002, 0x0304);
  EXPECT_EQ(cpu_run_isr(&g_cpu, 0xC10000, 6, 0, 2, nullptr), 0);
  EXPECT_EQ(rd16(counter), 2u);
  EXPECT_EQ(rd16(counter + 2), 0u) << "times i / count";
  EXPECT_EQ(rd16(counter + 4), 50u);
  EXPECT_EQ(rd16(0x20000 - 6), 0x0304u) << "the old SR with its flags stacked";
  EXPECT_EQ(rd32(0x20000 - 4), 0x4002u);
  EXPECT_EQ(g_cpu.a[7], 0x10000u);
  EXPECT_EQ(g_cpu.other_sp, 0x20000u);
  EXPECT_EQ(g_cpu.sr_sys, 0x0300);
  EXPECT_EQ(g_cpu.fz, 1);
  EXPECT_DOUBLE_EQ(g_cpu.sub_vbl_time, 0.0);
}

TEST_F(Runner, IrqOnTheRecordSetsMaskAndSupervisor) {
  game_at(0x5000, 0xA215); // trace on
  ASSERT_EQ(cpu_irq(&g_cpu, 0xC10000, 5, 0), 1);
  EXPECT_EQ(g_cpu.sr_sys, 0x2500) << "trace cleared, supervisor set, mask = level";
  EXPECT_EQ(g_cpu.pc, 0xC10000u);
  EXPECT_EQ(g_cpu.a[7], 0x10000u - 6);
}

ROUTINE(toy_rts_handler, 0xC11000)
  wr16(counter, rd16(counter) + 1);
  RTS();
END_ROUTINE

TEST_F(Runner, BatchPopsOnlyItsSentinelWithRteOrRts) {
  register_isr();
  register_routine(0xC11000, toy_rts_handler, {});
  game_at(0x6000, 0x2300);
  const double times[] = {0.32, 0.64, 0.96};
  EXPECT_EQ(cpu_run_batch(&g_cpu, 0xC10000, 3, times), 0);
  EXPECT_EQ(rd16(counter), 3u);
  EXPECT_EQ(rd16(counter + 2), 32u);
  EXPECT_EQ(rd16(counter + 6), 96u);
  EXPECT_EQ(g_cpu.a[7], 0x10000u);
  EXPECT_EQ(ret_addr, batch_sentinel) << "RTE at the sentinel pops only the sentinel";
  EXPECT_EQ(g_cpu.pc, 0x6000u);
  EXPECT_EQ(g_cpu.sr_sys, 0x2300);
  EXPECT_EQ(rd32(0x10000 - 4), batch_sentinel);

  ret_addr = 0;
  EXPECT_EQ(cpu_run_batch(&g_cpu, 0xC11000, 1, nullptr), 0);
  EXPECT_EQ(rd16(counter), 4u);
  EXPECT_EQ(ret_addr, batch_sentinel);
  EXPECT_EQ(g_cpu.a[7], 0x10000u);
  EXPECT_EQ(rd32(0x10000 - 8), 0xC11000u) << "the handler's address below the sentinel";
}

// A handler that leaves through a jump and then returns from a routine it
// jumped into: the runner follows it to its RTE without nesting.
ROUTINE(toy_jumping_isr, 0xC12000)
  JMP(0xC12100);
END_ROUTINE

ROUTINE(toy_isr_tail, 0xC12100)
  wr16(counter, 0x55);
  RTE();
END_ROUTINE

TEST_F(Runner, HandlerThatJumpsIsFollowedToItsRte) {
  register_routine(0xC12000, toy_jumping_isr, {});
  register_routine(0xC12100, toy_isr_tail, {});
  game_at(0x7000, 0x2300);
  EXPECT_EQ(cpu_run_isr(&g_cpu, 0xC12000, 6, 0, 1, nullptr), 0);
  EXPECT_EQ(rd16(counter), 0x55u);
  EXPECT_EQ(g_cpu.pc, 0x7000u);
  EXPECT_EQ(g_cpu.a[7], 0x10000u);
}

// The keyboard handler's restart: it drops its frame, takes a new stack and
// jumps into the game's start, which comes to a VBL wait.
ROUTINE(toy_restarting_isr, 0xC13000)
  a7 = 0x30000;
  set_sr(0x2300);
  JMP(0xC13100);
END_ROUTINE

ROUTINE(toy_restart, 0xC13100)
  d5 = 0;
LABEL(0xC13104)
  if (kit_wait(0xC13104)) return;
  d5 += 1;
  GOTO(0xC13104);
END_ROUTINE

ROUTINE(toy_main_loop, 0xC13200)
LABEL(0xC13202)
  if (kit_wait(0xC13202)) return;
  d6 += 1;
  GOTO(0xC13202);
END_ROUTINE

TEST_F(Runner, AbandonedHandlerBecomesTheGamesFlow) {
  register_routine(0xC13000, toy_restarting_isr, {});
  register_routine(0xC13100, toy_restart, {0xC13104});
  register_routine(0xC13200, toy_main_loop, {0xC13202});
  game_at(0xC13200, 0x2300);
  ASSERT_EQ(core_run(&g_cpu, 100), YIELD_WAIT);
  ASSERT_EQ(core_run(&g_cpu, 100), YIELD_WAIT);
  EXPECT_EQ(g_cpu.d[6], 1u);

  EXPECT_EQ(cpu_run_isr(&g_cpu, 0xC13000, 6, 0, 3, nullptr), 0) << "returns within the delivery";
  EXPECT_EQ(g_cpu.pc, 0xC13104u);
  EXPECT_EQ(g_cpu.a[7], 0x30000u);

  EXPECT_EQ(core_run(&g_cpu, 100), YIELD_WAIT);
  EXPECT_EQ(core_run(&g_cpu, 100), YIELD_WAIT);
  EXPECT_EQ(g_cpu.d[5], 1u) << "the restart's flow runs as the game";
  EXPECT_EQ(g_cpu.d[6], 1u) << "the old main loop is gone";
  EXPECT_EQ(g_cpu.sr_sys, 0x2300);
}

ROUTINE(toy_waiting_timer, 0xC14000)
  d3 = 0xBAD;
LABEL(0xC14004)
  if (kit_wait(0xC14004)) return;
  GOTO(0xC14004);
END_ROUTINE

TEST_F(Runner, BatchRunThatWaitsIsCutShortWithRegistersKept) {
  register_routine(0xC14000, toy_waiting_timer, {0xC14004});
  game_at(0x8000, 0x2300);
  g_cpu.d[3] = 3;
  EXPECT_EQ(cpu_run_batch(&g_cpu, 0xC14000, 5, nullptr), 0);
  EXPECT_EQ(g_cpu.d[3], 3u);
  EXPECT_EQ(g_cpu.a[7], 0x10000u);
  EXPECT_EQ(g_cpu.pc, 0x8000u);
}

TEST_F(Runner, HandlerAtAnUnknownAddressLeavesTheGameToReportIt) {
  game_at(0x8000, 0x2300);
  EXPECT_EQ(cpu_run_batch(&g_cpu, 0xC1DEAD, 1, nullptr), 0);
  EXPECT_EQ(g_cpu.pc, 0x8000u);
  EXPECT_EQ(g_cpu.a[7], 0x10000u);
  EXPECT_EQ(cpu_run_isr(&g_cpu, 0xC1DEAD, 6, 0, 1, nullptr), 0);
  EXPECT_EQ(g_cpu.pc, 0xC1DEADu) << "the next slice meets the bad address and reports it";
  EXPECT_EQ(core_run(&g_cpu, 100), YIELD_BAD_JUMP);
  EXPECT_EQ(g_cpu.fault_pc, 0xC1DEADu);
}

TEST_F(Runner, RegisterGuardRestoresEverything) {
  d0 = 1;
  a7 = 0x1234;
  fx = 1;
  ret_addr = 0x42;
  resume_pc = 0;
  {
    register_guard guard;
    d0 = 99;
    a7 = 0;
    fx = 0;
    ret_addr = 7;
    resume_pc = 0x100;
  }
  EXPECT_EQ(d0, 1u);
  EXPECT_EQ(a7, 0x1234u);
  EXPECT_EQ(fx, 1);
  EXPECT_EQ(ret_addr, 0x42u);
  EXPECT_EQ(resume_pc, 0u);
}

} // namespace
