// Whether a routine resumes from a saved machine state exactly: the run is
// cut into slices of a small budget, the state is saved at one of the
// budget yields and the run finished; then the state is loaded and the run
// finished again from it. Both must leave the same RAM and I/O image as a
// run in one slice.
#pragma once
#include <string>
#include <vector>

#include "machine/types.h"

struct resumption_result {
  int yields = 0;            // budget yields of the sliced run
  u32 saved_pc = 0;          // where the saved state stood
  bool sliced_same = false;  // the sliced run ends as the whole one
  bool resumed_same = false; // the run from the saved state too
  std::string first_difference;
};

// prepare() builds the machine afresh (it is called once per run); the
// state is saved at yield number `save_at` (1 = the first).
resumption_result check_resumption(void (*prepare)(), u32 entry, i32 budget, int save_at);
