#include "support/machine/routine_stubs.h"

#include <array>
#include <utility>

namespace {

void returns_only() { RTS(); }

struct recorder_slot {
  u32 address;
  void (*effect)();
};
std::array<recorder_slot, stub_recorder_slots> slots;
int slots_used;
std::vector<stub_call> calls;

template <int N> void recorder() {
  calls.push_back({slots[N].address, d0, d1, a0, a1, a2, a4, get_sr(), a7, rd32(a7), rd8(stub_watch_address),
                   rd16(0xFF8240), d2, d3, a6});
  if (slots[N].effect) slots[N].effect();
  RTS();
}

template <int... N> constexpr std::array<routine_fn, sizeof...(N)> recorders(std::integer_sequence<int, N...>) {
  return {recorder<N>...};
}
constexpr auto recorder_fns = recorders(std::make_integer_sequence<int, stub_recorder_slots>());

ROUTINE(stand_in_song_start, 0x041BCC)
  hook_point(game_hook_slot(0x041BCC), 0x041BCC);
  RTS();
END_ROUTINE

ROUTINE(stand_in_song_stop, 0x041BE8)
  hook_point(game_hook_slot(0x041BE8), 0x041BE8);
  RTS();
END_ROUTINE

} // namespace

void stub_driver_song_calls() {
  register_routine(0x041BCC, stand_in_song_start);
  register_routine(0x041BE8, stand_in_song_stop);
}

int run_routine(u32 entry, int max_slices, void (*between)()) {
  driver_start(entry);
  const int n = driver_run(max_slices, 2000000, between);
  return driver_finished() ? n : -1;
}

int run_routine_with_regs(u32 entry) {
  sync_regs_out();
  const int n = run_routine(entry);
  sync_regs_in();
  return n;
}

bool routine_written(u32 entry) {
  for (int i = 0; i < game_dispatch_row_count; ++i)
    if (game_dispatch_rows[i].address == entry) return game_dispatch_rows[i].kind == routine_entry;
  return false;
}

void stub_returns(std::initializer_list<u32> addresses) {
  for (u32 a : addresses) register_routine(a, returns_only);
}

namespace {

int recorder_slot(u32 address, void (*effect)()) {
  int slot = 0;
  while (slot < slots_used && slots[slot].address != address) ++slot;
  if (slot == stub_recorder_slots) {
    ADD_FAILURE() << "too many recording stubs";
    return -1;
  }
  if (slot == slots_used) ++slots_used;
  slots[slot] = {address, effect};
  return slot;
}

} // namespace

void stub_records_over(u32 address, void (*effect)()) {
  const int slot = recorder_slot(address, effect);
  if (slot >= 0) dispatch_register_over(address, recorder_fns[slot]);
}

void stub_records_doing(u32 address, void (*effect)()) {
  const int slot = recorder_slot(address, effect);
  if (slot >= 0) register_routine(address, recorder_fns[slot]);
}

void stub_records(std::initializer_list<u32> addresses) {
  for (u32 a : addresses) stub_records_doing(a, nullptr);
}

void stub_reset() {
  slots_used = 0;
  calls.clear();
  stub_watch_address = 0;
}

std::vector<stub_call>& stub_calls() { return calls; }

int stub_call_count(u32 address) {
  int n = 0;
  for (const stub_call& c : calls)
    if (c.address == address) ++n;
  return n;
}

void hook_noted(u32 address) {
  calls.push_back({address, d0, d1, a0, a1, a2, a4, get_sr(), a7, 0, rd8(stub_watch_address), rd16(0xFF8240), d2, d3, a6});
}

void hooks_record(std::initializer_list<u32> hook_addresses) {
  for (u32 a : hook_addresses) hook_register(a, hook_noted);
}
