// Test support for everything that runs recompiled code: a clean machine
// for each test, toy routines at test addresses, and the driver routine
// that runs a routine which waits for the VBL inside the game coroutine.
#pragma once
#include <gtest/gtest.h>

#include <initializer_list>
#include <ostream>
#include <vector>

#include "game/routine_kit.h"

// Test routines live at $C00000 and above: no game code is ever there.
constexpr u32 test_code_base = 0xC00000;

// Zeroes RAM, I/O, ROM and the register file, forgets the coroutine, the
// test routines, the hooks, the host's aim handler and the jump history.
// a7 = $10000, SR = $2700.
void machine_clear();

// Registers a routine (and its resume labels) with the dispatcher.
void register_routine(u32 entry, routine_fn routine, std::initializer_list<u32> labels = {});

// The driver: a routine at driver_entry that calls `target` and then waits
// for ever (one YIELD_WAIT per slice, at driver_wait). driver_start makes a
// fresh coroutine begin there; driver_finished tells that the call has
// returned.
constexpr u32 driver_entry = 0xC0FF00;
constexpr u32 driver_wait = 0xC0FF0A;
void driver_start(u32 target);
bool driver_finished();
// After a machine state taken while the driver's call was running has been
// loaded: the call is pending again (the run goes on at the state's pc).
void driver_continue();
// Runs slices of `budget` until the driver has finished or max_slices ran;
// calls between() after every slice (e.g. to deliver the VBL). Returns the
// number of slices.
int driver_run(int max_slices, i32 budget = 2000000, void (*between)() = nullptr);

// How a slice ended: the yield reason and where (the label of a wait or of
// a spent budget, the address of a trap or of a jump nowhere). A wait and a
// spent budget both end a slice; only this tells them apart, so a routine
// that should wait for the VBL but spins its budget is caught.
struct slice_end {
  u32 reason;
  u32 at;
  bool operator==(const slice_end&) const = default;
};
void PrintTo(const slice_end& e, std::ostream* os);
inline slice_end waited(u32 label) { return {YIELD_WAIT, label}; }
inline slice_end budget_spent(u32 label) { return {YIELD_BUDGET, label}; }
// The slice in which the routine returned: the driver then waits.
constexpr slice_end returned{YIELD_WAIT, driver_wait};
// Every slice since driver_start, in order (runners of the tests note each
// one with driver_note_slice).
const std::vector<slice_end>& driver_slice_ends();
void driver_note_slice(int reason);
// `count` waits at `label`, then the slice in which the routine returned.
std::vector<slice_end> waits_then_return(u32 label, int count);

class MachineTest : public ::testing::Test {
 protected:
  void SetUp() override { machine_clear(); }
  void TearDown() override { machine_clear(); }
};
