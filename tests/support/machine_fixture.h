// Test support for everything that runs recompiled code: a clean machine
// for each test, toy routines at test addresses, and the driver routine
// that runs a routine which waits for the VBL inside the game coroutine.
#pragma once
#include <gtest/gtest.h>

#include <initializer_list>

#include "game/routine_kit.h"

// Test routines live at $C00000 and above: no game code is ever there.
constexpr u32 test_code_base = 0xC00000;

// Zeroes RAM, I/O, ROM and the register file, forgets the coroutine, the
// test routines, the hooks and the jump history. a7 = $10000, SR = $2700.
void machine_clear();

// Registers a routine (and its resume labels) with the dispatcher.
void register_routine(u32 entry, routine_fn routine, std::initializer_list<u32> labels = {});

// The driver: a routine at driver_entry that calls `target` and then waits
// for ever (one YIELD_WAIT per slice). driver_start makes a fresh coroutine
// begin there; driver_finished tells that the call has returned.
constexpr u32 driver_entry = 0xC0FF00;
void driver_start(u32 target);
bool driver_finished();
// After a machine state taken while the driver's call was running has been
// loaded: the call is pending again (the run goes on at the state's pc).
void driver_continue();
// Runs slices of `budget` until the driver has finished or max_slices ran;
// calls between() after every slice (e.g. to deliver the VBL). Returns the
// number of slices.
int driver_run(int max_slices, i32 budget = 2000000, void (*between)() = nullptr);

class MachineTest : public ::testing::Test {
 protected:
  void SetUp() override { machine_clear(); }
  void TearDown() override { machine_clear(); }
};
