#include "support/machine/resumption_check.h"

#include <cstdio>
#include <cstring>

#include "machine/machine_state.h"
#include "support/machine/machine_fixture.h"

namespace {

std::vector<u8> image() {
  std::vector<u8> b(ram_size + io_size);
  std::memcpy(b.data(), g_ram, ram_size);
  std::memcpy(b.data() + ram_size, g_io, io_size);
  return b;
}

std::string difference(const std::vector<u8>& want, const std::vector<u8>& got) {
  for (size_t i = 0; i < want.size(); ++i)
    if (want[i] != got[i]) {
      char msg[96];
      const u32 at = i < ram_size ? static_cast<u32>(i) : io_base + static_cast<u32>(i - ram_size);
      std::snprintf(msg, sizeof msg, "%06X: %02X instead of %02X", at, got[i], want[i]);
      return msg;
    }
  return "";
}

} // namespace

resumption_result check_resumption(void (*prepare)(), u32 entry, i32 budget, int save_at) {
  resumption_result r;
  prepare();
  driver_start(entry);
  driver_run(1, 1 << 30);
  if (!driver_finished()) return r;
  const std::vector<u8> whole = image();

  prepare();
  driver_start(entry);
  state_ptr saved(state_new());
  while (!driver_finished() && r.yields < 10000000) {
    core_run(&g_cpu, budget);
    if (driver_finished()) break;
    if (++r.yields == save_at) {
      tos_save_state(saved.get());
      r.saved_pc = saved->pc;
    }
  }
  const std::vector<u8> sliced = image();
  r.first_difference = difference(whole, sliced);
  r.sliced_same = r.first_difference.empty();
  if (r.yields < save_at) return r;

  prepare();
  tos_load_state(saved.get());
  driver_continue();
  for (int n = 0; !driver_finished() && n < 10000000; ++n) core_run(&g_cpu, budget);
  const std::vector<u8> resumed = image();
  if (r.first_difference.empty()) r.first_difference = difference(whole, resumed);
  r.resumed_same = driver_finished() && whole == resumed;
  return r;
}
