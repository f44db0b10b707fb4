// The resumption check. A saved state holds only RAM, the I/O image and the
// registers, with pc on a resume label; loading it starts a fresh coroutine
// there. A routine that keeps anything else across a yield (a C++ local, a
// flag outside the machine) or resumes at a label that does not continue
// the same way works straight through and fails only after a load.
//
// resumes_alike runs a road (the routine at `entry`, through the test
// driver, from the machine as the test has prepared it) twice: once
// straight through, and once a loop head at a time (a budget of one, so a
// slice ends at every loop head it passes), saving and loading the machine
// at the first visits of every loop head, wait and trap. At
// the end RAM, the I/O image and the registers must be the same. One line
// per road:
//
//   EXPECT_TRUE(resumes_alike({.entry = 0x0086B8, .dos = &dos}));
#pragma once
#include <gtest/gtest.h>

#include "machine/types.h"

struct gemdos_double;

struct resume_road {
  u32 entry;
  // Serves TRAP #1 (each run works on its own copy); none: a trap fails.
  const gemdos_double* dos = nullptr;
  // After every slice that ended in a wait (after the load): the VBL the
  // routine waits for. It runs in both runs, so it must act on the machine
  // alone (a count kept outside it would differ in the second run). Not after a spent budget, so that both runs see the
  // same VBLs however their slices fall.
  void (*between)() = nullptr;
  // Loads at the first visits of each label, then at every
  // `load_every`-th visit.
  int first_visits = 3;
  int load_every = 4096;
  int max_slices = 2000000;
};

::testing::AssertionResult resumes_alike(const resume_road& road);
