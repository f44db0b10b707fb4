#include "support/machine/mission_machine.h"

#include "game/game_ram.h"
#include "game/mission_ram.h"

namespace {

int vbls;

} // namespace

void mission_machine_reset() {
  a5 = 0;
  a7 = mission_stack;
  set_sr(mission_sr);
  wr32(draw_screen, mission_draw_screen);
  wr16(frame_countdown, 0xFFFF);
  wr32(random_seed, mission_random_seed);
  sync_regs_out();
  vbls = 0;
}

void mission_vbl() {
  ++vbls;
  g_cpu.vbl_flag = 1;
  EXPECT_EQ(cpu_run_isr(&g_cpu, 0x0078A8, 4, 0, 1, nullptr), 0) << "the VBL handler did not return";
}

int mission_vbls() { return vbls; }

int run_mission_routine(u32 entry, int max_slices, i32 budget) {
  driver_start(entry);
  const int n = driver_run(max_slices, budget, mission_vbl);
  return driver_finished() ? n : -1;
}
