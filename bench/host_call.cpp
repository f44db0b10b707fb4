#include "host_call.h"

#include "support/machine/machine_fixture.h"
#include "support/machine/mission_machine.h"

void call_from_host(u32 entry) {
  g_cpu.budget = 1 << 30;
  a7 = mission_stack;
  push32(0xC0FF06);
  game_dispatch(entry);
  while (jump_unwinding) {
    jump_unwinding = 0;
    game_dispatch(ret_addr);
  }
}

void run_in_driver(u32 entry) {
  driver_start(entry);
  driver_run(1, 1 << 30);
}
