#include "machine/hooks.h"

#include <algorithm>
#include <map>
#include <vector>

#include "machine/machine_state.h"
#include "support/log_capture.h"
#include "support/machine/machine_fixture.h"

namespace {

class Hooks : public MachineTest {};

int calls;
u32 seen_address, seen_d0;

void handler_a(u32 address) {
  ++calls;
  seen_address = address;
  seen_d0 = g_cpu.d[0];
  g_cpu.d[1] = 0xCAFE; // takes effect when the game goes on
}
void handler_b(u32) { calls += 100; }

ROUTINE(toy_hooked, 0xC20000)
  d0 = 0x1234;
  HOOK(0x009306)
  wr32(0x9000, d1);
LABEL(0xC20010)
  if (kit_wait(0xC20010)) return;
  GOTO(0xC20010);
END_ROUTINE

ROUTINE(toy_frame_start, 0xC21000)
  HOOK(0x00474A)
  d2 += 1;
LABEL(0xC21010)
  if (kit_wait(0xC21010)) return;
  GOTO(0xC21010);
END_ROUTINE

std::map<u32, int> host_calls, recorder_calls;
void host_handler(u32 address) { ++host_calls[address]; }
void recorder_handler(u32 address) { ++recorder_calls[address]; }

// The table slot an address hashes to.
u32 table_hash(u32 a) { return ((a * 0x9E3779B1u) >> 12) & 0x1FF; }

TEST_F(Hooks, AllPointsRegisteredInTheHostsOrderAreEachCalledOnce) {
  // The layout makes this a real test of the probing: three pairs of points
  // share a table slot and one point lands on slot 0.
  int colliding_pairs = 0, on_slot_0 = 0;
  for (int i = 0; i < hook_count(); ++i) {
    on_slot_0 += table_hash(game_hook_addr(i)) == 0;
    for (int j = i + 1; j < hook_count(); ++j)
      colliding_pairs += table_hash(game_hook_addr(i)) == table_hash(game_hook_addr(j));
  }
  ASSERT_EQ(colliding_pairs, 3);
  ASSERT_EQ(on_slot_0, 1);

  // The host's own handlers first (slots 4, 32 and 35-56), then the scene
  // recorder at every point still free.
  std::vector<int> host_slots = {4, 32};
  for (int s = 35; s <= 56; ++s) host_slots.push_back(s);
  for (int s : host_slots) ASSERT_EQ(hook_register(game_hook_addr(s), host_handler), 1);
  int recorder_points = 0;
  for (int s = 0; s < hook_count(); ++s) {
    const u32 a = game_hook_addr(s);
    if (hook_registered(a)) continue;
    ASSERT_EQ(hook_register(a, recorder_handler), 1);
    ++recorder_points;
  }
  EXPECT_EQ(recorder_points, 33);

  host_calls.clear();
  recorder_calls.clear();
  for (int s = 0; s < hook_count(); ++s) {
    const u32 a = game_hook_addr(s);
    EXPECT_EQ(g_cpu.hook_on[s], 1) << s;
    EXPECT_TRUE(hook_registered(a)) << s;
    host_hook(a);
  }
  for (int s = 0; s < hook_count(); ++s) {
    const u32 a = game_hook_addr(s);
    const bool by_host = std::find(host_slots.begin(), host_slots.end(), s) != host_slots.end();
    EXPECT_EQ(host_calls[a], by_host ? 1 : 0) << s;
    EXPECT_EQ(recorder_calls[a], by_host ? 0 : 1) << s;
  }
}

TEST_F(Hooks, TheFirstPointCanBeSwitchedOffAndOnAgain) {
  register_routine(0xC21000, toy_frame_start, {0xC21010});
  host_calls.clear();
  ASSERT_EQ(hook_register(0x474A, host_handler), 1);
  auto run_once = [] {
    core_reset();
    g_cpu.pc = 0xC21000;
    ASSERT_EQ(core_run(&g_cpu, 100), YIELD_WAIT);
  };
  run_once();
  EXPECT_EQ(host_calls[0x474A], 1);
  hooks_enable(0x474A, 0);
  EXPECT_EQ(g_cpu.hook_on[0], 0);
  run_once();
  EXPECT_EQ(host_calls[0x474A], 1);
  EXPECT_TRUE(hook_registered(0x474A));
  hooks_enable(0x474A, 1);
  EXPECT_EQ(g_cpu.hook_on[0], 1);
  run_once();
  EXPECT_EQ(host_calls[0x474A], 2);
}

TEST_F(Hooks, SlotLookups) {
  EXPECT_EQ(hook_count(), 57);
  EXPECT_EQ(game_hook_slot(0x474A), 0);
  EXPECT_EQ(game_hook_slot(0x41F32), 56);
  EXPECT_EQ(game_hook_slot(0x474B), -1);
  EXPECT_EQ(game_hook_slot(0x9306), 32);
  EXPECT_EQ(game_hook_addr(57), 0u);
  EXPECT_EQ(game_hook_addr(-1), 0u);
  for (int s = 0; s < hook_count(); ++s) EXPECT_EQ(hook_slot(game_hook_addr(s)), s);
}

TEST_F(Hooks, HandlerRunsWithRegistersSynchronisedAndCanChangeThem) {
  register_routine(0xC20000, toy_hooked, {0xC20010});
  calls = 0;
  ASSERT_EQ(hook_register(0x9306, handler_a), 1);
  g_cpu.pc = 0xC20000;
  ASSERT_EQ(core_run(&g_cpu, 100), YIELD_WAIT);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(seen_address, 0x9306u);
  EXPECT_EQ(seen_d0, 0x1234u);
  EXPECT_EQ(g_cpu.hook_pc, 0x9306u);
  EXPECT_EQ(rd32(0x9000), 0xCAFEu);
}

TEST_F(Hooks, DisabledPointsCallNothingAndReenableWorks) {
  register_routine(0xC20000, toy_hooked, {0xC20010});
  calls = 0;
  hook_register(0x9306, handler_a);
  hooks_enable(0x9306, 0);
  g_cpu.pc = 0xC20000;
  core_run(&g_cpu, 100);
  EXPECT_EQ(calls, 0);
  EXPECT_TRUE(hook_registered(0x9306));
  hooks_enable(0x9306, 1);
  core_reset();
  g_cpu.pc = 0xC20000;
  core_run(&g_cpu, 100);
  EXPECT_EQ(calls, 1);
}

TEST_F(Hooks, EnablesSurviveAStateLoad) {
  register_routine(0xC20000, toy_hooked, {0xC20010});
  calls = 0;
  hook_register(0x9306, handler_a);
  hook_register(0x474A, handler_b);
  hooks_enable(0x474A, 0);
  g_cpu.pc = 0xC20000;
  state_ptr saved(state_new());
  ASSERT_TRUE(saved);
  tos_save_state(saved.get());
  hooks_enable(0x9306, 0);
  hooks_enable(0x474A, 1);
  tos_load_state(saved.get());
  EXPECT_EQ(g_cpu.hook_on[game_hook_slot(0x9306)], 0) << "the host's settings, not the state's";
  EXPECT_EQ(g_cpu.hook_on[game_hook_slot(0x474A)], 1);
  hooks_enable(0x9306, 1);
  tos_load_state(saved.get());
  ASSERT_EQ(core_run(&g_cpu, 100), YIELD_WAIT);
  EXPECT_EQ(calls, 1) << "the loaded game calls the host at its points";
}

TEST_F(Hooks, SecondRegistrationReplacesTheHandler) {
  calls = 0;
  hook_register(0x474A, handler_a);
  hook_register(0x474A, handler_b);
  host_hook(0x474A);
  EXPECT_EQ(calls, 100);
  EXPECT_EQ(g_cpu.hook_on[0], 1);
}

TEST_F(Hooks, UnknownAddressIsStoredButSwitchesNothingOn) {
  calls = 0;
  log_capture log;
  EXPECT_EQ(hook_register(0x123457, handler_a), 1);
  EXPECT_TRUE(log.has("WARNING: address 123457 has no hook in the generated code")) << log.text();
  EXPECT_EQ(hook_register(0x123456, handler_a), 1);
  EXPECT_TRUE(hook_registered(0x123456));
  for (int s = 0; s < hook_count(); ++s) EXPECT_EQ(g_cpu.hook_on[s], 0);
  host_hook(0x123456);
  EXPECT_EQ(calls, 1);
  host_hook(0x654321);
  EXPECT_EQ(calls, 1);
}

TEST_F(Hooks, AddressZeroIsNeverRegistered) {
  calls = 0;
  EXPECT_FALSE(hook_registered(0)) << "an empty table holds nothing";
  EXPECT_EQ(hook_register(0, handler_a), 0);
  EXPECT_FALSE(hook_registered(0));
  host_hook(0);
  EXPECT_EQ(calls, 0);
  // The entry a stored zero would have taken is still free for others.
  EXPECT_EQ(hook_register(0x474A, handler_b), 1);
  host_hook(0x474A);
  EXPECT_EQ(calls, 100);
}

TEST_F(Hooks, CollidingAddressesAreBothFoundAndAFullTableRefuses) {
  // Find two addresses with the same hash.
  auto hash = [](u32 a) { return ((a * 0x9E3779B1u) >> 12) & 0x1FF; };
  u32 first = 0x100000, second = first + 1;
  while (hash(second) != hash(first)) ++second;
  calls = 0;
  hook_register(first, handler_a);
  hook_register(second, handler_b);
  host_hook(first);
  host_hook(second);
  EXPECT_EQ(calls, 101);

  hooks_clear();
  int stored = 0;
  for (u32 a = 1; a <= 512; ++a) stored += hook_register(0x200000 + a, handler_a);
  EXPECT_EQ(stored, 512);
  log_capture log;
  EXPECT_EQ(hook_register(0x300001, handler_a), 0) << "refused, not an endless probe";
  EXPECT_TRUE(log.has("hook table full: handler for 300001 refused")) << log.text();
  EXPECT_EQ(hook_register(0x200001, handler_b), 1) << "an address already there can still be replaced";
}

} // namespace
