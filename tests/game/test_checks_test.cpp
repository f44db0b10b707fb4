// The shared checks of tests/support catch the faults they exist for: a
// routine that does not survive a load, an interrupt handler that loses a
// register or never returns, a wait that spins its budget instead.
#include <gtest/gtest.h>

#include "support/machine/interrupt_check.h"
#include "support/machine/machine_fixture.h"
#include "support/machine/resume_check.h"

namespace {

// Sums the words from a0 to a1 into d0, a loop head a word.
ROUTINE(sums_words, 0xC01000)
  d0 = 0;
LOOP(0xC01004)
  d0 += rd16(a0);
  a0 += 2;
  if (a0 < a1) GOTO(0xC01004);
  RTS();
END_ROUTINE

// The same with the running sum in a C++ variable: right straight through,
// wrong once a load re-enters the loop head.
u32 running_sum;
ROUTINE(sums_words_in_a_local, 0xC01100)
  running_sum = 0;
LOOP(0xC01104)
  running_sum += rd16(a0);
  a0 += 2;
  if (a0 < a1) GOTO(0xC01104);
  d0 = running_sum;
  RTS();
END_ROUTINE

// A VBL wait at a label, and the same loop spinning its budget instead.
ROUTINE(waits_a_vbl, 0xC01200)
  d1 = rd16(0x1000);
LOOP(0xC01204)
  if (kit_wait(0xC01204)) return;
  if (rd16(0x1000) == d1) GOTO(0xC01204);
  RTS();
END_ROUTINE
ROUTINE(spins_for_a_vbl, 0xC01300)
  d1 = rd16(0x1000);
LOOP(0xC01304)
  if (rd16(0x1000) == d1) GOTO(0xC01304);
  RTS();
END_ROUTINE

void counts_a_vbl() { wr16(0x1000, rd16(0x1000) + 1); }

// Handlers: a correct one, one that uses d3 without saving it, one that
// goes on into the game instead of returning.
ROUTINE(keeps_registers, 0xC01400)
  save_regs(dregs(3, 3));
  d3 = 0x1234;
  wr16(0x1002, d3);
  restore_regs(dregs(3, 3));
  RTE();
END_ROUTINE
ROUTINE(loses_d3, 0xC01500)
  d3 = 0x1234;
  wr16(0x1002, d3);
  RTE();
END_ROUTINE
ROUTINE(never_returns, 0xC01600)
LOOP(0xC01604)
  if (kit_wait(0xC01604)) return;
  GOTO(0xC01604);
END_ROUTINE

class TestChecks : public MachineTest {
 protected:
  void SetUp() override {
    MachineTest::SetUp();
    register_routine(0xC01000, sums_words, {0xC01004});
    register_routine(0xC01100, sums_words_in_a_local, {0xC01104});
    register_routine(0xC01200, waits_a_vbl, {0xC01204});
    register_routine(0xC01300, spins_for_a_vbl, {0xC01304});
    register_routine(0xC01400, keeps_registers);
    register_routine(0xC01500, loses_d3);
    register_routine(0xC01600, never_returns, {0xC01604});
    for (u32 i = 0; i < 64; ++i) wr16(0x20000 + 2 * i, i * 7 + 1);
    g_cpu.a[0] = 0x20000;
    g_cpu.a[1] = 0x20080;
  }
};

TEST_F(TestChecks, ResumingShowsStateKeptOutsideTheMachine) {
  EXPECT_TRUE(resumes_alike({.entry = 0xC01000}));
  EXPECT_FALSE(resumes_alike({.entry = 0xC01100}));
  EXPECT_TRUE(resumes_alike({.entry = 0xC01200, .between = counts_a_vbl}));
}

TEST_F(TestChecks, SliceEndsTellAWaitFromASpentBudget) {
  driver_start(0xC01200);
  driver_run(5, 1000, counts_a_vbl);
  EXPECT_EQ(driver_slice_ends(), waits_then_return(0xC01204, 1));

  driver_start(0xC01300);
  driver_run(5, 1000, counts_a_vbl);
  EXPECT_TRUE(driver_finished()) << "the same number of slices";
  EXPECT_EQ(driver_slice_ends(), (std::vector<slice_end>{budget_spent(0xC01304), returned}));
}

TEST_F(TestChecks, InterruptReturnsChecksThePcTheStackAndTheRegisters) {
  g_cpu.sr_sys = 0x2300;
  g_cpu.pc = 0x004000;
  fill_register_patterns();
  EXPECT_TRUE(interrupt_returns(0xC01400, 6));
  EXPECT_EQ(rd16(0x1002), 0x1234u);
  EXPECT_FALSE(interrupt_returns(0xC01500, 6));
  EXPECT_TRUE(interrupt_returns(0xC01500, 6, every_register & ~dregs(3, 3)));
  EXPECT_FALSE(interrupt_returns(0xC01400, 3)) << "masked at level 3";
  const auto left = interrupt_returns(0xC01600, 6);
  EXPECT_FALSE(left);
  EXPECT_NE(std::string(left.message()).find("pc"), std::string::npos) << left.message();
}

} // namespace
