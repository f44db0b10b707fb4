// The seed corpus of the state-file fuzz target: every seed is a state that
// this build loads and resumes at a label of its routines, and the game
// runs from it until it waits or reaches a routine of later work.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "game/game_harness.h"
#include "machine/machine_state.h"
#include "machine/slice_runner.h"
#include "machine/vbl_delivery.h"

namespace {

class StateCorpus : public GameTest {};

TEST_F(StateCorpus, EverySeedLoadsAndRunsOnTheRoutines) {
  int seeds = 0;
  for (const auto& entry : std::filesystem::directory_iterator(STATE_CORPUS_PATH)) {
    const std::string path = entry.path().string();
    SCOPED_TRACE(path);
    machine_clear();
    tos_init("");
    state_ptr s(state_new());
    ASSERT_EQ(state_read_file(s.get(), path.c_str()), 1);
    tos_load_state(s.get());
    testing::internal::CaptureStderr();
    int result = 1;
    for (int step = 0; step < 5 && result == 1; ++step) {
      result = tos_run_slice(2000000);
      if (result == 1) tos_vbl();
    }
    testing::internal::GetCapturedStderr();
    EXPECT_NE(result, 0) << "the game did not terminate";
    if (result < 0) {
      EXPECT_NE(g_cpu.fault_pc, s->pc) << "the state's pc is a label of this build";
      EXPECT_FALSE(routine_written(g_cpu.fault_pc)) << std::hex << g_cpu.fault_pc;
    }
    ++seeds;
  }
  EXPECT_GE(seeds, 4);
}

} // namespace
