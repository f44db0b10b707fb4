// Interrupt and batch runners: the game's interrupt handlers and the host's
// nested calls of game routines run to their end on the host's own stack,
// outside the coroutine, where the game cannot be suspended.
#pragma once
#include "machine/cpu.h"

// The sentinel return address of a batch run, in the ROM.
constexpr u32 batch_sentinel = 0xE00C0E;

// An address no call ever pushes (return addresses have 24 bits): returning
// with it in ret_addr unwinds every recompiled routine on the host stack.
constexpr u32 unwind_all = 0xFFFFFFFF;

// Set by every jump that unwinds the routines, cleared by RTS and RTE: after
// a handler's routines return to its runner it tells a jump still to be
// made (continue at ret_addr) from a return.
extern u8 jump_unwinding;

void rte_return();
int cpu_irq(cpu_state* record, u32 handler, int level, int force);
int cpu_run_isr(cpu_state* record, u32 handler, int level, int force, int count, const double* times);
int cpu_run_batch(cpu_state* record, u32 handler, int count, const double* times);

// Called by yield_to_host outside the coroutine. Inside a runner a wait, a
// spent budget or a bad jump cannot be served: the runner's flow is cut
// (ret_addr := unwind_all) and 1 is returned so the routines unwind; traps
// are ignored (0). Outside any runner the yield is ignored (0).
int runner_cannot_yield(u32 reason);
