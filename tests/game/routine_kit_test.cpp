// The routine kit's operand helpers against the 68000's own rules: address
// register steps, byte stack slots, MOVEA, MOVEP, MOVEM with its base
// register in the list, and the hook forms that add no label.
#include "game/routine_kit.h"

#include "machine/machine_state.h"
#include "support/machine/machine_fixture.h"

namespace {

class RoutineKit : public MachineTest {};

TEST_F(RoutineKit, AddressRegisterStepsKeepTheStackEven) {
  const struct {
    u32* reg;
    const char* name;
    int size;
    u32 step;
  } cases[] = {
      {&a0, "a0", B, 1}, {&a0, "a0", W, 2}, {&a0, "a0", L, 4}, {&a6, "a6", B, 1},
      {&a7, "a7", B, 2}, {&a7, "a7", W, 2}, {&a7, "a7", L, 4},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.name << " size " << c.size);
    *c.reg = 0x1000;
    u32 at = c.size == B ? postinc<B>(*c.reg) : c.size == W ? postinc<W>(*c.reg) : postinc<L>(*c.reg);
    EXPECT_EQ(at, 0x1000u) << "(An)+ uses the address before the step";
    EXPECT_EQ(*c.reg, 0x1000 + c.step);
    *c.reg = 0x1000;
    at = c.size == B ? predec<B>(*c.reg) : c.size == W ? predec<W>(*c.reg) : predec<L>(*c.reg);
    EXPECT_EQ(at, 0x1000 - c.step) << "-(An) uses the address after the step";
    EXPECT_EQ(*c.reg, 0x1000 - c.step);
  }
}

TEST_F(RoutineKit, BytePushAndPopUseTheHighHalfOfAWordSlot) {
  a7 = 0x8000;
  wr16(0x7FFE, 0x1234);
  push8(0x1AB); // MOVE.B d0,-(a7)
  EXPECT_EQ(a7, 0x7FFEu);
  EXPECT_EQ(rd16(0x7FFE), 0xAB34u) << "the byte at a7, the slot's other byte untouched";
  push16(0x5566);
  EXPECT_EQ(pop16(), 0x5566u);
  EXPECT_EQ(pop8(), 0xABu); // MOVE.B (a7)+,d0
  EXPECT_EQ(a7, 0x8000u);
}

TEST_F(RoutineKit, MoveaSignExtendsAWordIntoTheWholeRegister) {
  fn = fv = fc = 0;
  fz = 1;
  const struct {
    u32 before, source, after;
    bool word;
  } cases[] = {
      {0x12345678, 0x00008000, 0xFFFF8000, true},
      {0xFFFF0000, 0x00017FFF, 0x00007FFF, true},
      {0x00000000, 0xABCDFFFF, 0xFFFFFFFF, true},
      {0x12345678, 0x80000001, 0x80000001, false},
  };
  for (const auto& c : cases) {
    a3 = c.before;
    if (c.word)
      movea<W>(a3, c.source);
    else
      movea<L>(a3, c.source);
    EXPECT_EQ(a3, c.after) << std::hex << c.source;
  }
  EXPECT_EQ(fz, 1) << "MOVEA changes no flag";
  EXPECT_EQ(fn, 0);
}

TEST_F(RoutineKit, MovepMovesEveryOtherByte) {
  for (u32 base : {0x2000u, 0x2001u}) {
    SCOPED_TRACE(testing::Message() << std::hex << base);
    for (u32 i = 0; i < 8; ++i) wr8(base + i, 0xEE);
    movep_store<L>(0x11223344, base);
    const u8 want[8] = {0x11, 0xEE, 0x22, 0xEE, 0x33, 0xEE, 0x44, 0xEE};
    for (u32 i = 0; i < 8; ++i) EXPECT_EQ(rd8(base + i), want[i]) << i;
    EXPECT_EQ(movep_load<L>(base), 0x11223344u);
    EXPECT_EQ(movep_load<W>(base + 4), 0x3344u);
    d0 = 0xCAFE0000;
    put<W>(d0, movep_load<W>(base));
    EXPECT_EQ(d0, 0xCAFE1122u) << "MOVEP.W into a register keeps its upper word";
    movep_store<W>(0xFFFFA1B2, base + 1);
    EXPECT_EQ(rd8(base + 1), 0xA1u);
    EXPECT_EQ(rd8(base + 3), 0xB2u);
    EXPECT_EQ(rd8(base + 2), 0x22u) << "the bytes between stay";
    EXPECT_EQ(rd8(base + 5), 0xEEu) << "a word moves two bytes only";
  }
}

TEST_F(RoutineKit, MovemWithTheBaseRegisterInTheList) {
  // MOVEM.L d0/a2/a7,-(a7): the stacked a7 is its value before the move.
  a7 = 0x9000;
  d0 = 0xD0D0D0D0;
  a2 = 0xA2A2A2A2;
  save_regs(dregs(0, 0) | aregs(2, 2) | aregs(7, 7));
  EXPECT_EQ(a7, 0x9000u - 12);
  EXPECT_EQ(rd32(0x9000 - 12), 0xD0D0D0D0u);
  EXPECT_EQ(rd32(0x9000 - 8), 0xA2A2A2A2u);
  EXPECT_EQ(rd32(0x9000 - 4), 0x9000u);

  // MOVEM.L (a7)+,d0/a2/a7: the base ends after the block, not at the value read.
  d0 = a2 = 0;
  restore_regs(dregs(0, 0) | aregs(2, 2) | aregs(7, 7));
  EXPECT_EQ(d0, 0xD0D0D0D0u);
  EXPECT_EQ(a2, 0xA2A2A2A2u);
  EXPECT_EQ(a7, 0x9000u);

  // The word forms on another base register: the stored base is its low
  // word before the move; loaded words are sign-extended, the base skipped.
  a4 = 0x0001A000;
  d3 = 0x12348765;
  movem_push<W>(dregs(3, 3) | aregs(4, 4), a4);
  EXPECT_EQ(a4, 0x1A000u - 4);
  EXPECT_EQ(rd16(0x1A000 - 4), 0x8765u);
  EXPECT_EQ(rd16(0x1A000 - 2), 0xA000u);
  movem_pop<W>(dregs(3, 3) | aregs(4, 4), a4);
  EXPECT_EQ(d3, 0xFFFF8765u);
  EXPECT_EQ(a4, 0x1A000u);

  // MOVEM.L 0(a0),d1/a0 writes nothing back: the loaded a0 stays.
  wr32(0x3000, 0x11111111);
  wr32(0x3004, 0x22222222);
  a0 = 0x3000;
  EXPECT_EQ(movem_load<L>(dregs(1, 1) | aregs(0, 0), a0), 0x3008u);
  EXPECT_EQ(d1, 0x11111111u);
  EXPECT_EQ(a0, 0x22222222u);
}

// --- hook points without labels ------------------------------------------------

int hook_calls;
u32 hook_d1[16];

void count_hook(u32) {
  if (hook_calls < 16) hook_d1[hook_calls] = g_cpu.d[1];
  ++hook_calls;
}

// A loop whose head is a hook point, then a call whose return address is
// another hook point. Neither may be a label of the generated table, which
// wins over a test's routine: both are hooks that the sample players hold
// between two instructions, without a label.
ROUTINE(toy_hooked_loop, 0xC30000)
  d1 = 0;
LOOP_HOOK(0x00E678)
  d1 += 1;
  if (d1 < 5) GOTO(0x00E678);
  JSR(0xC31000, 0x00E708)
  HOOK_AT(0x00E708)
LABEL(0xC30010)
  if (kit_wait(0xC30010)) return;
  GOTO(0xC30010);
END_ROUTINE

// Waits once, then returns.
ROUTINE(toy_waiting_callee, 0xC31000)
  if (kit_wait(0xC31002)) return;
LABEL(0xC31002)
  d1 = 100;
  RTS();
END_ROUTINE

class KitHooks : public MachineTest {
 protected:
  void SetUp() override {
    MachineTest::SetUp();
    register_routine(0xC30000, toy_hooked_loop, {0xE678, 0xE708, 0xC30010});
    register_routine(0xC31000, toy_waiting_callee, {0xC31002});
    hook_register(0xE678, count_hook);
    hook_register(0xE708, count_hook);
    hook_calls = 0;
    g_cpu.pc = 0xC30000;
  }

  // Stops the game and starts it afresh where it stands, as loading a
  // state saved at this point does.
  void reload() {
    state_ptr s(state_new());
    tos_save_state(s.get());
    tos_load_state(s.get());
  }
};

TEST_F(KitHooks, RunUninterruptedEachPointFiresOncePerPass) {
  ASSERT_EQ(core_run(&g_cpu, 100), YIELD_WAIT);
  EXPECT_EQ(g_cpu.pc, 0xC31002u) << "the callee's wait";
  EXPECT_EQ(hook_calls, 5);
  ASSERT_EQ(core_run(&g_cpu, 100), YIELD_WAIT);
  EXPECT_EQ(g_cpu.pc, 0xC30010u);
  ASSERT_EQ(hook_calls, 6);
  EXPECT_EQ(hook_d1[5], 100u) << "the return point's hook after the call";
}

TEST_F(KitHooks, ResumedAtTheLoopHeadTheHookFiresOnce) {
  // Budget 2: two passes, then a budget stop at the hooked loop head.
  ASSERT_EQ(core_run(&g_cpu, 2), YIELD_BUDGET);
  EXPECT_EQ(g_cpu.pc, 0xE678u);
  EXPECT_EQ(hook_calls, 2);
  reload();
  ASSERT_EQ(core_run(&g_cpu, 100), YIELD_WAIT);
  ASSERT_EQ(hook_calls, 5);
  for (u32 i = 0; i < 5; ++i) EXPECT_EQ(hook_d1[i], i) << "one call per pass";
}

TEST_F(KitHooks, ResumedThroughTheReturnAddressTheHookFiresOnce) {
  ASSERT_EQ(core_run(&g_cpu, 100), YIELD_WAIT);
  ASSERT_EQ(g_cpu.pc, 0xC31002u);
  reload(); // the callee returns through the coroutine's loop
  ASSERT_EQ(core_run(&g_cpu, 100), YIELD_WAIT);
  EXPECT_EQ(g_cpu.pc, 0xC30010u);
  ASSERT_EQ(hook_calls, 6);
  EXPECT_EQ(hook_d1[5], 100u);
}

} // namespace
