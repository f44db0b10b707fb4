#include "repeat_call.h"

#include "game/routine_kit.h"
#include "machine/coroutine.h"
#include "support/machine/machine_fixture.h"

namespace {

constexpr u32 loop_entry = 0xC0FE00, after_call = 0xC0FE06, loop_wait = 0xC0FE0A;
u32 repeat_target;

ROUTINE(repeat_loop, 0xC0FE00)
HERE(0xC0FE00)
  JSR_DYN(repeat_target, 0xC0FE06)
LABEL(0xC0FE0A)
  if (kit_wait(0xC0FE0A)) return;
  GOTO(0xC0FE00);
END_ROUTINE

} // namespace

void repeat_call_start(u32 target) {
  repeat_target = target;
  register_routine(loop_entry, repeat_loop, {after_call, loop_wait});
  core_reset();
  g_cpu.pc = loop_entry;
}

bool repeat_call_once() {
  const int reason = core_run(&g_cpu, 1 << 30);
  return reason == YIELD_WAIT && g_cpu.pc == loop_wait;
}
