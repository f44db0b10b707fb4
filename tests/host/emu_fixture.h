// A toy machine for the emulation controller's tests: the machine set up
// as for the game, a test routine that waits for the VBL for ever (and, when
// asked, shows a "mission frame" as the scene capture would), a simulated
// clock that the controller's waits advance, and the presenter's queue
// read back by the test.
#pragma once
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "graphics/present.h"
#include "graphics/scene.h"
#include "host/emu_state.h"
#include "host/host_hooks.h"
#include "machine/tos.h"
#include "support/machine/machine_fixture.h"

constexpr u32 toy_entry = 0xC01000;
constexpr u32 toy_wait = 0xC01004;

// While set, every VBL of the toy routine produces a mission frame.
extern bool toy_frames;
// The number of slices the toy routine ran; -1 fails the next slice.
extern int toy_slices;
extern bool toy_fail_next;
extern double sim_now;
// While set, the toy routine's slice does not end (a machine that hangs).
extern std::atomic<bool> toy_stuck;
extern std::atomic<bool> toy_hanging;  // set while it does not end
// The tune flag as the toy routine saw it in its last slice; a value of 0
// or more is written to the flag there, as the game's own write.
extern int toy_tune_flag_seen;
extern int toy_tune_flag_write;

class EmuTest : public MachineTest {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Messages of one kind taken from the presenter's queue (all others go).
  std::vector<present_msg*> take(uint32_t kind);
  void free_all(std::vector<present_msg*>& msgs);
  int count(uint32_t kind);
  // Runs n VBL steps as the thread would (input first).
  void steps(int n);
};
