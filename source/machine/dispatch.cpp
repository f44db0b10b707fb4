#include "machine/dispatch.h"

#include <algorithm>
#include <vector>

#include "host/platform.h"
#include "machine/coroutine.h"
#include "machine/memory.h"

void (*dispatch_call_observer)(u32 target, u32 return_address);
u64 dyn_hist[dyn_hist_size];
u32 dyn_n;
int call_depth;

namespace {

struct added_row {
  u32 address;
  routine_fn routine;
  bool label;
};

std::vector<added_row> added;
// Rows that win over the written routines (tests isolating a routine).
std::vector<added_row> over;

const added_row* find_added(u32 address) {
  for (const added_row& r : added)
    if (r.address == address) return &r;
  return nullptr;
}

void add_row(u32 address, routine_fn routine, bool label) {
  address &= 0xFFFFFF;
  auto it = std::find_if(added.begin(), added.end(), [&](const added_row& r) { return r.address == address; });
  if (it != added.end())
    *it = {address, routine, label};
  else
    added.push_back({address, routine, label});
}

} // namespace

namespace {

int try_nested(u32 address) {
  if (!over.empty()) {
    for (const added_row& r : over) {
      if (r.address != address) continue;
      resume_pc = 0;
      r.routine();
      return 1;
    }
  }
  if (game_table_try(address)) return 1;
  const added_row* r = find_added(address);
  if (!r) return 0;
  resume_pc = r->label ? address : 0;
  r->routine();
  return 1;
}

} // namespace

int game_try(u32 address) {
  address &= 0xFFFFFF;
  if (call_depth >= call_depth_limit) {
    host_log("calls nested deeper than %d levels at %06X", call_depth_limit, address);
    return 0;
  }
  ++call_depth;
  const int known = try_nested(address);
  --call_depth;
  return known;
}

namespace {

void dispatch_or_report(u32 address) {
  if (game_try(address)) return;
  g_cpu.fault_pc = g_cpu.pc = address;
  yield_to_host(YIELD_BAD_JUMP);
}

} // namespace

void game_dispatch(u32 address) {
  address &= 0xFFFFFF;
  if (dispatch_call_observer) dispatch_call_observer(address, rd32(a7));
  dispatch_or_report(address);
}

// A resumption continues a call already made: not a call of its own.
void game_resume(u32 address) { dispatch_or_report(address & 0xFFFFFF); }

void call_dynamic(u32 target) {
  dyn_hist[dyn_n & (dyn_hist_size - 1)] = static_cast<u64>(a7) << 32 | (target & 0xFFFFFF);
  ++dyn_n;
  game_dispatch(target & 0xFFFFFF);
}

void dispatch_register(u32 address, routine_fn routine) { add_row(address, routine, false); }
void dispatch_register_label(u32 address, routine_fn owner) { add_row(address, owner, true); }
void dispatch_clear_registered() {
  added.clear();
  over.clear();
}

void dispatch_register_over(u32 address, routine_fn routine) {
  address &= 0xFFFFFF;
  for (added_row& r : over) {
    if (r.address != address) continue;
    r.routine = routine;
    return;
  }
  over.push_back({address, routine, false});
}
