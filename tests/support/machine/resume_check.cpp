#include "support/machine/resume_check.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <vector>

#include "machine/machine_state.h"
#include "support/machine/gemdos_double.h"
#include "support/machine/machine_fixture.h"

namespace {

struct run_end {
  bool finished = false;
  std::string trouble;
  int slices = 0;
  int restarts = 0;
  std::set<u32> resumed_at;
  std::vector<u8> ram;
  std::vector<u8> io;
  cpu_state cpu{};
};

struct machine_snapshot {
  std::vector<u8> ram;
  cpu_state cpu{};
};

machine_snapshot snapshot() { return {std::vector<u8>(g_ram, g_ram + ram_size), g_cpu}; }

bool unchanged(const machine_snapshot& s) {
  return std::equal(s.ram.begin(), s.ram.end(), g_ram) && std::equal(s.cpu.d, s.cpu.d + 8, g_cpu.d) &&
         std::equal(s.cpu.a, s.cpu.a + 8, g_cpu.a);
}

run_end run(const resume_road& road, const machine_state& start, const cpu_state& start_cpu, bool restart) {
  run_end e;
  tos_load_state(&start);
  g_cpu = start_cpu;
  driver_start(road.entry);
  gemdos_double dos = road.dos ? *road.dos : gemdos_double{};
  state_ptr between_slices(state_new());
  std::map<u32, int> visits;
  bool rewait = false;
  u32 rewait_at = 0;
  machine_snapshot after_wait;
  while (e.slices < road.max_slices) {
    const int reason = core_run(&g_cpu, restart ? 1 : 2000000);
    driver_note_slice(reason);
    ++e.slices;
    if (reason == YIELD_BAD_JUMP) {
      e.trouble = "jumped to an address without a routine";
      break;
    }
    if (reason == YIELD_TRAP && !(road.dos && gemdos_serve(dos))) {
      e.trouble = "met a trap the road does not serve";
      break;
    }
    if (driver_finished()) {
      e.finished = true;
      break;
    }
    if (rewait) {
      // A wait whose label stands before it waits once more when a load
      // re-enters it: the VBL it waited for was given already.
      rewait = false;
      if (reason == YIELD_WAIT && g_cpu.pc == rewait_at && unchanged(after_wait)) continue;
    }
    const int visit = visits[g_cpu.pc]++;
    if (restart && (visit < road.first_visits || visit % road.load_every == 0)) {
      // The load forgets a VBL already seen but not yet consumed (the host
      // takes its states where none is pending); kept here, so that only the
      // routines are checked and both runs see the same VBLs.
      const u32 flag = g_cpu.vbl_flag, armed = g_cpu.vbl_wait_armed;
      tos_save_state(between_slices.get());
      tos_load_state(between_slices.get());
      g_cpu.vbl_flag = flag;
      g_cpu.vbl_wait_armed = armed;
      ++e.restarts;
      e.resumed_at.insert(g_cpu.pc);
      rewait = reason == YIELD_WAIT;
      rewait_at = g_cpu.pc;
    }
    if (road.between && reason == YIELD_WAIT) road.between();
    if (rewait) after_wait = snapshot();
  }
  if (!e.finished && e.trouble.empty()) e.trouble = "had not returned after the slices allowed";
  if (!e.trouble.empty()) {
    char at[64];
    std::snprintf(at, sizeof at, " (pc $%06X, fault $%06X)", g_cpu.pc, g_cpu.fault_pc);
    e.trouble += at;
  }
  e.ram.assign(g_ram, g_ram + ram_size);
  e.io.assign(g_io, g_io + io_size);
  e.cpu = g_cpu;
  return e;
}

void compare_bytes(const char* what, u32 base, const std::vector<u8>& a, const std::vector<u8>& b,
                   ::testing::AssertionResult& failure, bool& failed) {
  int shown = 0;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i]) {
      if (++shown > 8) {
        failure << "\n  ...";
        break;
      }
      char line[96];
      std::snprintf(line, sizeof line, "\n  %s $%06zX: $%02X straight, $%02X resumed", what, base + i, a[i], b[i]);
      failure << line;
      failed = true;
    }
}

} // namespace

::testing::AssertionResult resumes_alike(const resume_road& road) {
  state_ptr start(state_new());
  if (!start) return ::testing::AssertionFailure() << "no memory for a state";
  tos_save_state(start.get());
  const cpu_state start_cpu = g_cpu;

  const run_end straight = run(road, *start, start_cpu, false);
  const run_end resumed = run(road, *start, start_cpu, true);

  auto failure = ::testing::AssertionFailure();
  char head[160];
  std::snprintf(head, sizeof head, "the road from $%06X, straight: %d slices; resumed: %d slices, %d loads at %zu labels",
                road.entry, straight.slices, resumed.slices, resumed.restarts, resumed.resumed_at.size());
  failure << head;
  bool failed = false;
  if (!straight.trouble.empty()) {
    failure << "\n  straight through it " << straight.trouble;
    failed = true;
  }
  if (!resumed.trouble.empty()) {
    failure << "\n  resumed after every slice it " << resumed.trouble;
    failed = true;
  }
  if (resumed.restarts == 0) {
    failure << "\n  no slice ended inside the road: give it a smaller budget";
    failed = true;
  }
  const char* const names[16] = {"d0", "d1", "d2", "d3", "d4", "d5", "d6", "d7",
                                 "a0", "a1", "a2", "a3", "a4", "a5", "a6", "a7"};
  for (int i = 0; i < 16; ++i) {
    const u32 x = i < 8 ? straight.cpu.d[i] : straight.cpu.a[i - 8];
    const u32 y = i < 8 ? resumed.cpu.d[i] : resumed.cpu.a[i - 8];
    if (x != y) {
      char line[64];
      std::snprintf(line, sizeof line, "\n  %s: $%08X straight, $%08X resumed", names[i], x, y);
      failure << line;
      failed = true;
    }
  }
  auto sr = [](const cpu_state& c) {
    return static_cast<u32>(c.sr_sys) | (c.fx & 1) << 4 | (c.fn & 1) << 3 | (c.fz & 1) << 2 | (c.fv & 1) << 1 |
           (c.fc & 1);
  };
  if (sr(straight.cpu) != sr(resumed.cpu) || straight.cpu.other_sp != resumed.cpu.other_sp) {
    char line[96];
    std::snprintf(line, sizeof line, "\n  SR $%04X / $%04X, other stack pointer $%06X / $%06X (straight / resumed)",
                  sr(straight.cpu), sr(resumed.cpu), straight.cpu.other_sp, resumed.cpu.other_sp);
    failure << line;
    failed = true;
  }
  compare_bytes("RAM", 0, straight.ram, resumed.ram, failure, failed);
  compare_bytes("I/O", io_base, straight.io, resumed.io, failure, failed);
  if (failed) return failure;
  return ::testing::AssertionSuccess() << head;
}
