#include "machine/runner.h"

#include <climits>

#include "host/platform.h"
#include "machine/coroutine.h"
#include "machine/dispatch.h"
#include "machine/memory.h"

u8 jump_unwinding;

namespace {

enum class flow_end { returned, cut, bad_jump };

// Set while a runner's flow runs; a cut records why and where.
int runner_depth;
bool flow_cut;
u32 flow_cut_reason;

// The interrupt frame of the handler an interrupt run is waiting for: its
// RTE (which may switch back to the user stack) is the handler's end.
u32 isr_frame_sp = unwind_all;
bool isr_frame_popped;

// Runs a handler's flow until done() tells that it has returned (its frame
// popped by RTE, or its sentinel by RTE or RTS). Routines that unwind to here because of a
// jump or a return into the middle of the handler are continued at
// ret_addr, so the host stack stays flat whatever the handler does.
flow_end run_flow(u32 start, bool (*done)(u32), u32 done_arg) {
  const bool outer_cut = flow_cut;
  ++runner_depth;
  flow_cut = false;
  flow_end end;
  u32 a = start & 0xFFFFFF;
  for (;;) {
    resume_pc = 0;
    jump_unwinding = 0;
    if (!game_try(a)) {
      g_cpu.fault_pc = a;
      end = flow_end::bad_jump;
      break;
    }
    if (flow_cut) {
      end = flow_cut_reason == YIELD_BAD_JUMP ? flow_end::bad_jump : flow_end::cut;
      break;
    }
    if (!jump_unwinding && done(done_arg)) {
      end = flow_end::returned;
      break;
    }
    a = ret_addr & 0xFFFFFF;
  }
  --runner_depth;
  flow_cut = outer_cut;
  return end;
}

bool isr_returned(u32) { return isr_frame_popped; }
bool batch_returned(u32 sentinel_sp) { return a7 > sentinel_sp; }

double run_time(int i, int count, const double* times) {
  if (times) return times[i];
  return count == 1 ? 0.0 : static_cast<double>(i) / count;
}

} // namespace

int runner_cannot_yield(u32 reason) {
  if (runner_depth == 0 || reason == YIELD_TRAP) return 0;
  flow_cut = true;
  flow_cut_reason = reason;
  ret_addr = unwind_all;
  return 1;
}

void rte_return() {
  jump_unwinding = 0;
  if (g_cpu.isr_frame && a7 == g_cpu.isr_sp) {
    g_cpu.isr_frame = 0;
    ret_addr = rd32(a7);
    a7 += 4;
    return;
  }
  if (a7 == isr_frame_sp) isr_frame_popped = true;
  const u32 sr = rd16(a7);
  ret_addr = rd32(a7 + 2);
  a7 += 6;
  set_sr(sr);
}

int cpu_irq(cpu_state* record, u32 handler, int level, int force) {
  cpu_state& r = *record;
  const u32 sr = static_cast<u32>(r.sr_sys) | (r.fx & 1) << 4 | (r.fn & 1) << 3 | (r.fz & 1) << 2 |
                 (r.fv & 1) << 1 | (r.fc & 1);
  if (!force && static_cast<int>((sr >> 8) & 7) >= level) return 0;
  r.sr_sys = static_cast<i32>((sr & 0x5800) | static_cast<u32>(level & 7) << 8 | 0x2000);
  if (!(sr & 0x2000)) {
    const u32 t = r.a[7];
    r.a[7] = r.other_sp;
    r.other_sp = t;
  }
  const u32 ssp = r.a[7];
  wr16(ssp - 6, sr);
  wr32(ssp - 4, r.pc);
  r.a[7] = ssp - 6;
  r.pc = handler;
  return 1;
}

int cpu_run_isr(cpu_state* record, u32 handler, int level, int force, int count, const double* times) {
  for (int i = 0; i < count; ++i) {
    g_cpu.sub_vbl_time = run_time(i, count, times);
    if (!cpu_irq(record, handler, level, force)) {
      g_cpu.sub_vbl_time = 0;
      return -1;
    }
    load_regs();
    g_cpu.budget = INT_MAX;
    g_cpu.isr_frame = 0;
    const u32 outer_frame = isr_frame_sp;
    isr_frame_sp = a7;
    isr_frame_popped = false;
    const flow_end end = run_flow(handler, isr_returned, 0);
    isr_frame_sp = outer_frame;
    store_regs();
    if (end != flow_end::returned) {
      // The handler never reached its RTE: it went on into the game's own
      // flow (a restart, a monitor) and came to a wait, or it jumped
      // nowhere. As on the machine, that flow is now the game: the
      // coroutine is begun afresh where the handler's flow stopped.
      const u32 at = end == flow_end::bad_jump ? g_cpu.fault_pc : g_cpu.pc;
      host_log("interrupt handler %06X left its frame; the game goes on at %06X", handler & 0xFFFFFF, at);
      g_cpu.pc = at;
      core_reset();
      break;
    }
    g_cpu.pc = ret_addr;
  }
  g_cpu.sub_vbl_time = 0;
  return 0;
}

int cpu_run_batch(cpu_state*, u32 handler, int count, const double* times) {
  const u32 saved_sr = static_cast<u32>(g_cpu.sr_sys) | (g_cpu.fx & 1) << 4 | (g_cpu.fn & 1) << 3 |
                       (g_cpu.fz & 1) << 2 | (g_cpu.fv & 1) << 1 | (g_cpu.fc & 1);
  const u32 saved_pc = g_cpu.pc;
  load_regs();
  for (int i = 0; i < count; ++i) {
    g_cpu.sub_vbl_time = run_time(i, count, times);
    const register_file regs_before = register_file_save();
    a7 -= 4;
    wr32(a7, batch_sentinel);
    wr32(a7 - 4, handler);
    g_cpu.isr_sp = a7;
    g_cpu.isr_frame = 1;
    g_cpu.budget = INT_MAX;
    const flow_end end = run_flow(handler, batch_returned, g_cpu.isr_sp);
    g_cpu.isr_frame = 0;
    if (end != flow_end::returned) {
      // A timer handler or a nested call cannot wait for the VBL: the run is
      // cut short and the registers are those from before it.
      host_log("handler %06X stopped at %06X inside a batch run; run cut short", handler & 0xFFFFFF,
               end == flow_end::bad_jump ? g_cpu.fault_pc : g_cpu.pc);
      register_file_restore(regs_before);
      break;
    }
  }
  set_sr(saved_sr);
  store_regs();
  g_cpu.sub_vbl_time = 0;
  g_cpu.pc = saved_pc;
  return 0;
}
