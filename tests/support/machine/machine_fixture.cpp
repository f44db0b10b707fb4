#include "support/machine/machine_fixture.h"

#include <cstring>
#include <iomanip>

#include "machine/host_aim.h"
#include "machine/io_devices.h"

namespace {

u32 driver_target;
bool driver_done;
std::vector<slice_end> slice_ends;

ROUTINE(test_driver, 0xC0FF00)
  driver_done = false;
  JSR_DYN(driver_target, 0xC0FF06)
  driver_done = true;
LABEL(0xC0FF0A)
  if (kit_wait(0xC0FF0A)) return;
  GOTO(0xC0FF0A);
END_ROUTINE

} // namespace

void machine_clear() {
  core_reset();
  std::memset(g_ram, 0, sizeof g_ram);
  std::memset(g_rom, 0, sizeof g_rom);
  cpu_reset_io();
  acia_clear();
  g_ym_tag = 0;
  hooks_clear();
  g_host_aim = nullptr;
  dispatch_call_observer = nullptr;
  dispatch_clear_registered();
  std::memset(&g_cpu, 0, sizeof g_cpu);
  g_cpu.sr_sys = 0x2700;
  g_cpu.a[7] = 0x10000;
  load_regs();
  ret_addr = resume_pc = 0;
  jump_unwinding = 0;
  dyn_n = 0;
  std::memset(dyn_hist, 0, sizeof dyn_hist);
  driver_done = false;
  slice_ends.clear();
}

void register_routine(u32 entry, routine_fn routine, std::initializer_list<u32> labels) {
  dispatch_register(entry, routine);
  for (u32 l : labels) dispatch_register_label(l, routine);
}

void driver_start(u32 target) {
  register_routine(driver_entry, test_driver, {0xC0FF06, 0xC0FF0A});
  driver_target = target;
  driver_done = false;
  slice_ends.clear();
  core_reset();
  g_cpu.pc = driver_entry;
}

bool driver_finished() { return driver_done; }

void driver_continue() {
  register_routine(driver_entry, test_driver, {0xC0FF06, 0xC0FF0A});
  driver_done = false;
}

int driver_run(int max_slices, i32 budget, void (*between)()) {
  int n = 0;
  while (n < max_slices && !driver_done) {
    driver_note_slice(core_run(&g_cpu, budget));
    ++n;
    if (between) between();
  }
  return n;
}

void driver_note_slice(int reason) {
  const u32 r = static_cast<u32>(reason);
  slice_ends.push_back({r, r == YIELD_TRAP || r == YIELD_BAD_JUMP ? g_cpu.fault_pc : g_cpu.pc});
}

const std::vector<slice_end>& driver_slice_ends() { return slice_ends; }

std::vector<slice_end> waits_then_return(u32 label, int count) {
  std::vector<slice_end> v(static_cast<size_t>(count), waited(label));
  v.push_back(returned);
  return v;
}

void PrintTo(const slice_end& e, std::ostream* os) {
  static const char* const names[] = {"wait", "trap", "jump nowhere", "budget spent"};
  if (e == returned) {
    *os << "returned";
    return;
  }
  *os << (e.reason < 4 ? names[e.reason] : "reason?") << " at $" << std::hex << std::uppercase << std::setw(6)
      << std::setfill('0') << e.at << std::dec << std::setfill(' ');
}
