// The game coroutine with toy routines at test addresses: budgets, yields,
// unwinding through ret_addr, fresh starts at a label, traps and bad jumps.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "support/machine/machine_fixture.h"

namespace {

class Coroutine : public MachineTest {};

constexpr u32 trace = 0x8000; // toy routines append words here
void note(u32 v) {
  const u32 n = rd16(trace);
  wr16(trace + 2 + 2 * n, v);
  wr16(trace, n + 1);
}
std::vector<u32> notes() {
  std::vector<u32> v;
  for (u32 i = 0; i < rd16(trace); ++i) v.push_back(rd16(trace + 2 + 2 * i));
  return v;
}

// --- a loop that spends its budget, then waits for ever --------------------

ROUTINE(toy_loop, 0xC00000)
  d0 = 9;
LOOP(0xC00004)
  d1 += 1;
  if (dbf(d0)) GOTO(0xC00004);
LABEL(0xC00010)
  if (kit_wait(0xC00010)) return;
  GOTO(0xC00010);
END_ROUTINE

TEST_F(Coroutine, BudgetYieldAndResumeInTheMiddleOfALoop) {
  register_routine(0xC00000, toy_loop, {0xC00004, 0xC00010});
  g_cpu.pc = 0xC00000;
  EXPECT_EQ(core_run(&g_cpu, 3), YIELD_BUDGET);
  EXPECT_EQ(g_cpu.pc, 0xC00004u);
  EXPECT_EQ(g_cpu.d[1], 3u) << "three passes, the fourth loop head found the budget spent";
  EXPECT_EQ(core_run(&g_cpu, 100), YIELD_WAIT);
  EXPECT_EQ(g_cpu.d[1], 10u);
  EXPECT_EQ(g_cpu.pc, 0xC00010u);
  g_cpu.d[1] = 50; // the host may change registers between slices
  EXPECT_EQ(core_run(&g_cpu, 100), YIELD_WAIT);
  EXPECT_EQ(g_cpu.d[1], 50u);
}

// --- three deep: outer -> middle -> inner, the inner one loops -------------

ROUTINE(toy_outer, 0xC01000)
  note(1);
  JSR(0xC01100, 0xC01006)
  note(6);
LABEL(0xC0100A)
  if (kit_wait(0xC0100A)) return;
  GOTO(0xC0100A);
END_ROUTINE

ROUTINE(toy_middle, 0xC01100)
  note(2);
  JSR(0xC01200, 0xC01104)
  note(5);
  RTS();
END_ROUTINE

ROUTINE(toy_inner, 0xC01200)
  note(3);
  d0 = 4;
LOOP(0xC01204)
  if (dbf(d0)) GOTO(0xC01204);
  note(4);
  RTS();
END_ROUTINE

void register_three_deep() {
  register_routine(0xC01000, toy_outer, {0xC01006, 0xC0100A});
  register_routine(0xC01100, toy_middle, {0xC01104});
  register_routine(0xC01200, toy_inner, {0xC01204});
}

TEST_F(Coroutine, RestartFromALabelTwoCallsDeepAfterReset) {
  register_three_deep();
  g_cpu.pc = 0xC01000;
  ASSERT_EQ(core_run(&g_cpu, 2), YIELD_BUDGET);
  ASSERT_EQ(g_cpu.pc, 0xC01204u);

  // Keep the machine as a state would, throw the coroutine away, restore.
  const cpu_state saved = g_cpu;
  std::vector<u8> mem(g_ram, g_ram + ram_size);
  core_reset();
  std::memset(g_ram, 0xEE, ram_size);
  std::memcpy(g_ram, mem.data(), ram_size);
  g_cpu = saved;

  EXPECT_EQ(core_run(&g_cpu, 1000), YIELD_WAIT);
  EXPECT_EQ(notes(), (std::vector<u32>{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(g_cpu.a[7], 0x10000u) << "the stack is balanced after the returns through the labels";
}

// --- a routine that drops its own return address ---------------------------

ROUTINE(toy_caller, 0xC02000)
  JSR(0xC02100, 0xC02004)
  note(0xA);
LABEL(0xC02008)
  if (kit_wait(0xC02008)) return;
  GOTO(0xC02008);
END_ROUTINE

ROUTINE(toy_skipper_parent, 0xC02100)
  JSR(0xC02200, 0xC02104)
  note(0xB); // never reached: the child returns past this routine
  RTS();
END_ROUTINE

ROUTINE(toy_skipper, 0xC02200)
  a7 += 4;
  RTS();
END_ROUTINE

TEST_F(Coroutine, PoppingTheOwnReturnAddressUnwindsToTheCallersCaller) {
  register_routine(0xC02000, toy_caller, {0xC02004, 0xC02008});
  register_routine(0xC02100, toy_skipper_parent, {0xC02104});
  register_routine(0xC02200, toy_skipper, {});
  g_cpu.pc = 0xC02000;
  EXPECT_EQ(core_run(&g_cpu, 100), YIELD_WAIT);
  EXPECT_EQ(notes(), (std::vector<u32>{0xA}));
  EXPECT_EQ(g_cpu.pc, 0xC02008u);
  EXPECT_EQ(g_cpu.a[7], 0x10000u);
}

// --- traps --------------------------------------------------------------------

ROUTINE(toy_trapper, 0xC03000)
  note(1);
  TRAP(0xC03002, 0xC03004)
  note(2);
LABEL(0xC03006)
  if (kit_wait(0xC03006)) return;
  GOTO(0xC03006);
END_ROUTINE

ROUTINE(toy_trap_handler, 0xC03100)
  note(0x7F);
  RTE();
END_ROUTINE

TEST_F(Coroutine, TrapContinuesAfterTheInstructionOrWhereTheHostSentIt) {
  register_routine(0xC03000, toy_trapper, {0xC03002, 0xC03004, 0xC03006});
  register_routine(0xC03100, toy_trap_handler, {});
  g_cpu.pc = 0xC03000;
  ASSERT_EQ(core_run(&g_cpu, 100), YIELD_TRAP);
  EXPECT_EQ(g_cpu.fault_pc, 0xC03002u);
  EXPECT_EQ(g_cpu.pc, 0xC03002u);
  g_cpu.pc = 0xC03004; // served: go on after it
  EXPECT_EQ(core_run(&g_cpu, 100), YIELD_WAIT);
  EXPECT_EQ(notes(), (std::vector<u32>{1, 2}));

  // Again, and this time the host enters a handler with an exception frame.
  machine_clear();
  register_routine(0xC03000, toy_trapper, {0xC03002, 0xC03004, 0xC03006});
  register_routine(0xC03100, toy_trap_handler, {});
  g_cpu.pc = 0xC03000;
  ASSERT_EQ(core_run(&g_cpu, 100), YIELD_TRAP);
  g_cpu.a[7] -= 6;
  wr16(g_cpu.a[7], 0x2700);
  wr32(g_cpu.a[7] + 2, 0xC03004);
  g_cpu.pc = 0xC03100;
  EXPECT_EQ(core_run(&g_cpu, 100), YIELD_WAIT);
  EXPECT_EQ(notes(), (std::vector<u32>{1, 0x7F, 2})) << "the handler's RTE returns after the trap";
  EXPECT_EQ(g_cpu.a[7], 0x10000u);
}

// --- bad jumps ----------------------------------------------------------------

ROUTINE(toy_bad_caller, 0xC04000)
  a0 = 0xC0DEAD;
  JSR_DYN(a0, 0xC04004)
  RTS();
END_ROUTINE

TEST_F(Coroutine, UnknownAddressYieldsBadJumpWithTheAddress) {
  register_routine(0xC04000, toy_bad_caller, {0xC04004});
  g_cpu.pc = 0xC04000;
  EXPECT_EQ(core_run(&g_cpu, 100), YIELD_BAD_JUMP);
  EXPECT_EQ(g_cpu.fault_pc, 0xC0DEADu);
  EXPECT_EQ(g_cpu.pc, 0xC0DEADu);
  EXPECT_EQ(dyn_n, 1u);
  EXPECT_EQ(dyn_hist[0], (static_cast<u64>(0x10000 - 4) << 32) | 0xC0DEAD) << "a7 at the jump, then the target";
}

TEST_F(Coroutine, FreshCoroutineStartingNowhereIsABadJump) {
  g_cpu.pc = 0x123456;
  EXPECT_EQ(core_run(&g_cpu, 100), YIELD_BAD_JUMP);
  EXPECT_EQ(g_cpu.fault_pc, 0x123456u);
}

// --- jumps never grow the host stack ------------------------------------------

uintptr_t lowest_frame, highest_frame;

ROUTINE(toy_ping, 0xC05000)
  JMP_DYN(0xC05100);
END_ROUTINE

ROUTINE(toy_pong, 0xC05100)
  {
    const auto here = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
    if (!lowest_frame || here < lowest_frame) lowest_frame = here;
    if (here > highest_frame) highest_frame = here;
  }
  d0 += 1;
  if (d0 < 1000000) JMP(0xC05000);
LABEL(0xC05110)
  if (kit_wait(0xC05110)) return;
  GOTO(0xC05110);
END_ROUTINE

TEST_F(Coroutine, AMillionJumpsBackAndForthKeepTheStackFlat) {
  register_routine(0xC05000, toy_ping, {});
  register_routine(0xC05100, toy_pong, {0xC05110});
  lowest_frame = highest_frame = 0;
  g_cpu.pc = 0xC05000;
  EXPECT_EQ(core_run(&g_cpu, 10), YIELD_WAIT);
  EXPECT_EQ(g_cpu.d[0], 1000000u);
  EXPECT_LT(highest_frame - lowest_frame, 1024u);
  EXPECT_EQ(dyn_n, 1000000u) << "every computed jump is recorded";
}

// --- division by zero ---------------------------------------------------------

ROUTINE(toy_divider, 0xC06000)
  d0 = 100;
  d1 = 0;
  DIVU(d0, d1, 0xC06004)
  note(2);
LABEL(0xC06008)
  if (kit_wait(0xC06008)) return;
  GOTO(0xC06008);
END_ROUTINE

ROUTINE(toy_zero_divide_handler, 0xC06100)
  note(1);
  note(rd32(a7 + 2) & 0xFFFF);
  RTE();
END_ROUTINE

TEST_F(Coroutine, DivisionByZeroTakesTheExceptionWithTheNextAddress) {
  register_routine(0xC06000, toy_divider, {0xC06004, 0xC06008});
  register_routine(0xC06100, toy_zero_divide_handler, {});
  wr32(5 * 4, 0xC06100);
  g_cpu.pc = 0xC06000;
  g_cpu.sr_sys = 0x0300; // user mode: the frame goes on the supervisor stack
  g_cpu.other_sp = 0x20000;
  EXPECT_EQ(core_run(&g_cpu, 100), YIELD_WAIT);
  EXPECT_EQ(notes(), (std::vector<u32>{1, 0x6004, 2}));
  EXPECT_EQ(g_cpu.d[0], 100u) << "the register is left as it was";
  EXPECT_EQ(g_cpu.sr_sys, 0x0300) << "RTE back to user mode";
  EXPECT_EQ(g_cpu.a[7], 0x10000u);
  EXPECT_EQ(g_cpu.other_sp, 0x20000u);
}

TEST_F(Coroutine, YieldOutsideTheCoroutineReturnsAtOnce) {
  g_cpu.yield_reason = 7;
  EXPECT_EQ(yield_to_host(YIELD_WAIT), 0);
  EXPECT_EQ(g_cpu.yield_reason, 7u);
}

} // namespace

// --- the stack's guard page ------------------------------------------------------

std::uintptr_t game_frame;

ROUTINE(toy_notes_its_frame, 0xC0A000)
  game_frame = reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
LABEL(0xC0A010)
  if (kit_wait(0xC0A010)) return;
  GOTO(0xC0A010);
END_ROUTINE

// The permissions of the mapping that holds addr ("" when none does).
std::string mapping_permissions(std::uintptr_t addr) {
  std::ifstream maps("/proc/self/maps");
  std::string line;
  while (std::getline(maps, line)) {
    unsigned long long lo = 0, hi = 0;
    char perms[8] = {};
    if (std::sscanf(line.c_str(), "%llx-%llx %7s", &lo, &hi, perms) == 3 && addr >= lo && addr < hi) return perms;
  }
  return "";
}

TEST_F(Coroutine, TheStackEndsInAGuardPage) {
  register_routine(0xC0A000, toy_notes_its_frame, {0xC0A010});
  g_cpu.pc = 0xC0A000;
  ASSERT_EQ(core_run(&g_cpu, 100), YIELD_WAIT);
  // The first frames lie near the top of the stack, so a stack's length
  // below one of them is just under its end.
  EXPECT_EQ(mapping_permissions(game_frame - 64), "rw-p");
  EXPECT_EQ(mapping_permissions(game_frame - game_stack_size), "---p")
      << "running off the end faults instead of writing into other memory";
}
