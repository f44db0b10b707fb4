// The dispatcher's bound on nested calls: a routine that calls itself
// through a corrupted pointer ends in the bad-jump report, whichever stack
// it runs on, and the host goes on.
#include "machine/dispatch.h"

#include <string>

#include "machine/slice_runner.h"
#include "machine/vbl_delivery.h"
#include "support/machine/st_machine.h"

namespace {

class CallDepth : public StMachineTest {};

constexpr u32 recursive_entry = 0xC47000;
constexpr u32 pointer_base = 0x20000; // a6; the pointer is the long at a6 + $14
constexpr u32 game_sp = 0x10000;

// JSR ([$14,a6]) at its own entry, as a state with a bent pointer makes it.
ROUTINE(toy_recursive, 0xC47000)
  JSR_DYN(rd32(a6 + 0x14), 0xC47006)
  RTS();
END_ROUTINE

ROUTINE(toy_idle, 0xC47100)
LABEL(0xC47100)
  if (kit_wait(0xC47100)) return;
  GOTO(0xC47100);
END_ROUTINE

void bend_the_pointer() {
  register_routine(recursive_entry, toy_recursive, {0xC47006});
  register_routine(0xC47100, toy_idle);
  g_cpu.a[6] = pointer_base;
  g_cpu.a[7] = game_sp;
  wr32(pointer_base + 0x14, recursive_entry);
}

// The game afterwards, at a plain wait: the host is alive and the machine
// usable (what the host's recovery does after loading a snapshot).
void expect_the_game_goes_on() {
  core_reset();
  g_cpu.pc = 0xC47100;
  g_cpu.a[7] = game_sp;
  EXPECT_EQ(tos_run_slice(2000000), 1);
  EXPECT_EQ(g_cpu.pc, 0xC47100u);
  EXPECT_EQ(call_depth, 0);
}

std::string slice_log(int& result) {
  testing::internal::CaptureStderr();
  result = tos_run_slice(2000000);
  return testing::internal::GetCapturedStderr();
}

TEST_F(CallDepth, InsideASliceTheCallPastTheLimitIsABadJump) {
  bend_the_pointer();
  g_cpu.pc = recursive_entry;
  int result = 0;
  const std::string log = slice_log(result);
  EXPECT_EQ(result, -1);
  EXPECT_NE(log.find("[bkm] calls nested deeper than 10000 levels at C47000\n"
                     "[bkm] the game jumped to an invalid address C47000 (vbl 0): corrupted state\n"),
            std::string::npos)
      << log;
  EXPECT_EQ(g_cpu.fault_pc, recursive_entry);
  EXPECT_EQ(g_cpu.a[7], game_sp - 4 * call_depth_limit) << "one return address per level that ran";
  EXPECT_EQ(call_depth, 0) << "the host's own count is untouched by the suspended game";

  // Started afresh (as after a recovery), the game has its whole depth again.
  core_reset();
  g_cpu.pc = recursive_entry;
  g_cpu.a[7] = game_sp;
  EXPECT_NE(slice_log(result).find("calls nested deeper than 10000 levels at C47000"), std::string::npos);
  EXPECT_EQ(result, -1);
  EXPECT_EQ(g_cpu.a[7], game_sp - 4 * call_depth_limit);
  expect_the_game_goes_on();
}

TEST_F(CallDepth, AVblHandlerIsCutAndTheNextSliceReports) {
  bend_the_pointer();
  set_vector(0x70, recursive_entry);
  g_cpu.pc = 0xC47100;
  testing::internal::CaptureStderr();
  tos_vbl();
  const std::string vbl_log = testing::internal::GetCapturedStderr();
  EXPECT_NE(vbl_log.find("calls nested deeper than 10000 levels at C47000\n"), std::string::npos) << vbl_log;
  EXPECT_NE(vbl_log.find("interrupt handler C47000 left its frame"), std::string::npos) << vbl_log;
  EXPECT_EQ(call_depth, 0);

  // The handler's flow became the game's, and fails in the coroutine.
  int result = 0;
  const std::string log = slice_log(result);
  EXPECT_EQ(result, -1);
  EXPECT_NE(log.find("the game jumped to an invalid address C47000"), std::string::npos) << log;
  expect_the_game_goes_on();
}

TEST_F(CallDepth, ANestedCallIsCutWithTheRegistersKept) {
  bend_the_pointer();
  g_cpu.pc = 0xC47100;
  g_cpu.d[3] = 0x33333333;
  testing::internal::CaptureStderr();
  EXPECT_EQ(tos_call_sub(recursive_entry, 5), 0);
  const std::string log = testing::internal::GetCapturedStderr();
  EXPECT_NE(log.find("handler C47000 stopped at C47000 inside a batch run; run cut short"), std::string::npos)
      << log;
  EXPECT_EQ(g_cpu.a[7], game_sp);
  EXPECT_EQ(g_cpu.d[3], 0x33333333u);
  EXPECT_EQ(g_cpu.pc, 0xC47100u);
  EXPECT_EQ(call_depth, 0);
  expect_the_game_goes_on();
}

// Calls that return come back to depth 0; the limit counts nesting, not
// calls made.
ROUTINE(toy_calls_many_times, 0xC47200)
  d0 = 3 * call_depth_limit;
LOOP(0xC47204)
  JSR(0xC47300, 0xC47208)
  if (dbf(d0)) GOTO(0xC47204);
LABEL(0xC4720E)
  if (kit_wait(0xC4720E)) return;
  GOTO(0xC4720E);
END_ROUTINE

ROUTINE(toy_leaf, 0xC47300)
  d1 += 1;
  RTS();
END_ROUTINE

TEST_F(CallDepth, ManyCallsInARowAreNoNesting) {
  register_routine(0xC47200, toy_calls_many_times, {0xC47204, 0xC47208, 0xC4720E});
  register_routine(0xC47300, toy_leaf);
  g_cpu.pc = 0xC47200;
  EXPECT_EQ(tos_run_slice(2000000), 1);
  EXPECT_EQ(g_cpu.pc, 0xC4720Eu);
  EXPECT_EQ(g_cpu.d[1], static_cast<u32>(3 * call_depth_limit + 1));
}

} // namespace
