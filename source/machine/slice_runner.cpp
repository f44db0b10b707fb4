// One slice of the game: the coroutine runs, its traps are served inside the
// slice, and the slice ends at a wait, a spent budget, a service that asks
// for the VBL, termination or failure. A jump to an address without a
// routine is reported with the last computed jumps and the registers.
#include "machine/slice_runner.h"

#include <climits>

#include "host/platform.h"
#include "machine/coroutine.h"
#include "machine/cpu.h"
#include "machine/dispatch.h"
#include "machine/ikbd.h"
#include "machine/loader_hold.h"
#include "machine/memory.h"
#include "machine/runner.h"
#include "machine/tos.h"
#include "machine/tos_traps.h"

int stop_flag;

namespace {

constexpr int reported_jumps = 12;
constexpr int reported_stack_longs = 8;

u32 stack_long(u64 addr) { return addr + 4 <= ram_size ? rd32(static_cast<u32>(addr)) : 0; }

void note_wait_point() {
  for (int i = 0; i < 3; ++i)
    if (g_cpu.pc == wait_points[i]) tos.wait_vbl_at[i] = static_cast<i32>(tos.vbl);
}

void report_bad_jump() {
  host_log("the game jumped to an invalid address %06X (vbl %u): corrupted state", g_cpu.fault_pc & 0xFFFFFF,
           tos.vbl);
  // Only jumps that happened: fewer than twelve early on.
  const u32 known = dyn_n < reported_jumps ? dyn_n : reported_jumps;
  for (u32 i = 0; i < known; ++i) {
    const u64 e = dyn_hist[(dyn_n - 1 - i) & (dyn_hist_size - 1)];
    host_log("  dynamic jump -%u: %06X (a7 %06X)", i, static_cast<u32>(e) & 0xFFFFFF, static_cast<u32>(e >> 32));
  }
  const u32* d = g_cpu.d;
  const u32* a = g_cpu.a;
  host_log("  d %08X %08X %08X %08X %08X %08X %08X %08X", d[0], d[1], d[2], d[3], d[4], d[5], d[6], d[7]);
  host_log("  a %08X %08X %08X %08X %08X %08X %08X %08X  ret %08X sr %04X", a[0], a[1], a[2], a[3], a[4], a[5],
           a[6], a[7], ret_addr, static_cast<u32>(g_cpu.sr_sys) & 0xFF00);
  u32 s[reported_stack_longs];
  for (int i = 0; i < reported_stack_longs; ++i) s[i] = stack_long(u64{a[7]} + 4 * i);
  host_log("  stack %08X %08X %08X %08X %08X %08X %08X %08X", s[0], s[1], s[2], s[3], s[4], s[5], s[6], s[7]);
}

int slice_end() { return tos.terminated ? 0 : 1; }

} // namespace

void tos_reset_pending() {
  ikbd_reset();
  stop_flag = 0;
}

int tos_run_slice(u32 budget) {
  stop_flag = 0;
  if (loader_hold_active()) return 1;
  const i32 pass_budget = budget > INT_MAX ? INT_MAX : static_cast<i32>(budget);
  for (int traps = 0; traps < slice_trap_limit; ++traps) {
    const int reason = core_run(&g_cpu, pass_budget);
    drain_ikbd();
    if (!core_active()) {
      host_log("the game could not be started: no memory for its stack");
      return -1;
    }
    switch (reason) {
      case YIELD_WAIT:
        note_wait_point();
        return slice_end();
      case YIELD_BAD_JUMP:
        report_bad_jump();
        return -1;
      case YIELD_TRAP:
        if (tos_serve_trap(g_cpu.fault_pc) < 0) return -1;
        if (tos.terminated) return 0;
        if (stop_flag) return 1;
        break;
      default:
        return slice_end();
    }
  }
  return slice_end();
}

int tos_call_sub3(u32 address, u32 d0_value, u32 d1_value, u32 d2_value) {
  // The suspended game's register file, SR and pc come back after the call;
  // memory and I/O written by the routine stay.
  load_regs();
  const register_file saved = register_file_save();
  const u32 saved_pc = g_cpu.pc;
  const u32 saved_ret = ret_addr, saved_resume = resume_pc;
  const u8 saved_unwinding = jump_unwinding;

  g_cpu.d[0] = d0_value;
  g_cpu.d[1] = d1_value;
  g_cpu.d[2] = d2_value;
  const int result = cpu_run_batch(&g_cpu, address, 1, nullptr);
  drain_ikbd();

  register_file_restore(saved);
  store_regs();
  g_cpu.pc = saved_pc;
  ret_addr = saved_ret;
  resume_pc = saved_resume;
  jump_unwinding = saved_unwinding;
  return result;
}

int tos_call_sub(u32 address, u32 d0_value) { return tos_call_sub3(address, d0_value, g_cpu.d[1], g_cpu.d[2]); }

int tos_run_isr(u32 vector, int level) {
  // A vector without a game handler would send the game into the ROM stub.
  if (vector >= 256 || rd32(4 * vector) == vector_stub(vector)) return 0;
  const int refused = cpu_run_isr(&g_cpu, rd32(4 * vector), level, 0, 1, nullptr);
  drain_ikbd();
  return refused < 0 ? 0 : 1;
}
