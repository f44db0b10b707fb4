// Crash recovery: while a mission runs, a snapshot every 150 VBLs (three
// kept); a slice that fails goes back to the oldest of them, after writing
// a crash report (that snapshot, the inputs since, the failed state).
#include <cstdio>
#include <string>

#include "graphics/present.h"
#include "host/emu_state.h"
#include "host/host_hooks.h"
#include "host/language.h"
#include "host/platform.h"
#include "machine/input_log.h"

namespace {

constexpr i32 snapshot_gap = 150;
constexpr i32 recovery_gap = 600;

std::string crash_path(int n, const char* part) {
  char name[64];
  std::snprintf(name, sizeof name, "crash%d_%s", n, part);
  return emu.save_dir + "/" + name;
}

// Numbers after the reports already in the saves folder, so that a new
// session does not overwrite the last one's.
int next_crash_number() {
  int n = emu.ncrash + 1;
  while (file_exists(crash_path(n, "start.bkms").c_str())) ++n;
  return n;
}

void write_report(u32) {
  if (!emu.save_dir.empty() && !port_mkdir(emu.save_dir.c_str()))
    host_log("Could not create save folder: %s", emu.save_dir.c_str());
  const int n = next_crash_number();
  emu.ncrash = n;
  machine_state* now = state_new();
  if (now) tos_save_state(now);
  const bool start_ok = state_write_file(emu.good[0], crash_path(n, "start.bkms").c_str());
  const bool inputs_ok =
      tos_ilog_write(crash_path(n, "inputs.txt").c_str(), static_cast<u32>(emu.good_vbl[0])) != 0;
  const bool end_ok = now && state_write_file(now, crash_path(n, "end.bkms").c_str());
  state_free(now);
  const std::string base = emu.save_dir + "/crash" + std::to_string(n);
  if (start_ok && inputs_ok && end_ok) {
    host_log("corruption report saved in %s_*  (previous snapshot, inputs and corrupted state)", base.c_str());
  } else {
    host_log("corruption report in %s_* incomplete:%s%s%s", base.c_str(), start_ok ? "" : " previous snapshot",
             inputs_ok ? "" : " inputs", end_ok ? "" : " corrupted state");
  }
}

} // namespace

void crash_snapshot_step(u32 v) {
  if (emu.ngood != 0 && vbl_since(v, emu.last_good) < snapshot_gap) return;
  machine_state* s = state_new();
  if (!s) return;
  tos_save_state(s);
  if (emu.ngood == 3) {
    state_free(emu.good[0]);
    for (int i = 0; i < 2; ++i) {
      emu.good[i] = emu.good[i + 1];
      emu.good_vbl[i] = emu.good_vbl[i + 1];
    }
    emu.good[2] = nullptr;
    emu.ngood = 2;
  }
  emu.good[emu.ngood] = s;
  emu.good_vbl[emu.ngood] = static_cast<i32>(v);
  ++emu.ngood;
  emu.last_good = static_cast<i32>(v);
  tos_ilog_trim(static_cast<u32>(emu.good_vbl[0]));
}

int recover_or_fail(u32 v) {
  if (emu.ngood == 0 || vbl_since(v, emu.last_recover) <= recovery_gap) {
    present_msg* m = msg_new(MSG_ERROR);
    if (m) {
      std::snprintf(m->text, sizeof m->text, "Emulation error near %06X (vbl %u)", g_cpu.pc & 0xFFFFFF, v);
      msgq_push(m);
    }
    return 0;
  }
  write_report(v);
  state_ptr copy(state_clone(emu.good[0]));
  if (!copy) return 0;
  restore_state(copy.get());
  emu.last_recover = static_cast<i32>(tos.vbl);
  host_log("recovery: the game was corrupted at VBL %u; going back to an earlier snapshot", v);
  say(tr("msg.recovered"));
  return 1;
}
