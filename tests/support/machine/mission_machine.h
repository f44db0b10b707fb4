// The machine of a mission test: the state the game's restart leaves for a
// mission and the VBL delivered through the game's own handler.
//
// Use MissionTest as the fixture. A test that isolates a routine from a
// callee stands in for it with stub_records_over after SetUp; what a
// routine hands its callees is read from the call trace (call_trace.h).
#pragma once

#include "support/machine/routine_stubs.h"

// The restart's registers: a5 = 0 (the mission tables are a5-relative),
// a7 = $2400 (a stack at $10000 would run into the panel data at $FF8C),
// SR = $2300.
constexpr u32 mission_stack = 0x2400;
constexpr u32 mission_sr = 0x2300;
constexpr u32 mission_draw_screen = 0x020000;
// A seed whose bits 0-22 are all clear never changes again, and a routine
// that draws until it gets a new value would spin: any test seed needs a
// set bit there.
constexpr u32 mission_random_seed = 0x12345678;

// On a cleared machine: the restart's registers and variables
// (draw_screen $20000, frame_countdown $FFFF, random_seed as above).
void mission_machine_reset();

// One VBL: the flag of the busy-waits, then the game's VBL handler ($78A8)
// run as the interrupt (counter, frame countdown, colour cycling).
void mission_vbl();
int mission_vbls(); // delivered since the reset

// Runs the routine at `entry` in the game coroutine with a VBL after every
// slice, as run_routine does; slices taken, or -1 when it had not returned.
int run_mission_routine(u32 entry, int max_slices = 4, i32 budget = 2000000);

class MissionTest : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    mission_machine_reset();
  }
};
