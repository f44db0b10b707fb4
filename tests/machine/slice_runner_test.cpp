// The slice runner: traps served inside the slice through toy routines in
// the coroutine, exceptions into the game's own handlers, failures and
// their reports, wait points, the keyboard processor's reset answer, and
// nested calls.
#include "machine/slice_runner.h"

#include <initializer_list>
#include <string>

#include "machine/ikbd.h"
#include "machine/tos_traps.h"
#include "support/machine/st_machine.h"

namespace {

class SliceRunner : public StMachineTest {};

constexpr u32 result_cell = 0x9000;
constexpr u32 trap_at = 0x3FE000; // trap toys live in RAM: the service reads the opcode there
constexpr u32 after_trap = trap_at + 2;
constexpr u32 toy_wait = 0x3FE00A;
constexpr u32 full_budget = 2000000;

// One instruction left to the host, then the result stored and a wait.
ROUTINE(toy_trap, 0x3FE000)
  TRAP(0x3FE000, 0x3FE002)
  wr32(result_cell, d0);
  d6 += 1;
LABEL(0x3FE00A)
  if (kit_wait(0x3FE00A)) return;
  GOTO(0x3FE00A);
END_ROUTINE

// The same instruction over and over.
ROUTINE(toy_trap_loop, 0x3FE100)
LOOP(0x3FE104)
  TRAP(0x3FE108, 0x3FE10A)
  d6 += 1;
  GOTO(0x3FE104);
END_ROUTINE

// The game's own exception handler: notes what the entry stacked.
ROUTINE(toy_exception_handler, 0xC46000)
  wr16(0x9100, rd16(a7));
  wr32(0x9102, rd32(a7 + 2));
  wr32(0x9106, a7);
  wr32(0x910A, d0);
  wr16(0x910E, get_sr());
LABEL(0xC46020)
  if (kit_wait(0xC46020)) return;
  GOTO(0xC46020);
END_ROUTINE

// The instruction at trap_at with the given words on the stack (function
// number first), the game in supervisor mode on a7 just below them.
void start_trap(u32 opcode, std::initializer_list<u32> words) {
  register_routine(trap_at, toy_trap, {after_trap, toy_wait});
  wr16(trap_at, opcode);
  u32 sp = 0x10000 - 2 * static_cast<u32>(words.size());
  g_cpu.a[7] = sp;
  for (u32 w : words) {
    wr16(sp, w);
    sp += 2;
  }
  g_cpu.d[0] = 0x12345678;
  g_cpu.pc = trap_at;
}

std::string run_capturing_log(int& result) {
  testing::internal::CaptureStderr();
  result = tos_run_slice(full_budget);
  return testing::internal::GetCapturedStderr();
}

TEST_F(SliceRunner, TosCallsAreAnsweredAndTheGameGoesOnInTheSameSlice) {
  struct trap_case {
    const char* name;
    u32 opcode;
    std::initializer_list<u32> words;
    u32 d0;
    bool ends_slice;
  };
  const trap_case cases[] = {
      {"BIOS Tickcal", 0x4E4D, {6}, 20, false},
      {"BIOS Bcostat", 0x4E4D, {8}, 0xFFFFFFFF, false},
      {"BIOS Drvmap", 0x4E4D, {10}, 4, false},
      {"BIOS Getmpb", 0x4E4D, {0}, 0, false},
      {"BIOS Bconin", 0x4E4D, {2, 2}, 0, true},
      {"XBIOS Physbase", 0x4E4E, {2}, 0x3F8000, false},
      {"XBIOS Logbase", 0x4E4E, {3}, 0x3F8000, false},
      {"XBIOS Floprd", 0x4E4E, {8}, 0xFFFFFFFF, false},
      {"XBIOS Gettime", 0x4E4E, {23}, 0x2A2B2A2B, false},
      {"XBIOS Kbdvbase", 0x4E4E, {34}, 0x4F00, false},
      {"XBIOS unknown", 0x4E4E, {99}, 0, false},
      {"XBIOS Vsync", 0x4E4E, {37}, 0, true},
      {"TRAP #2 on its ROM stub", 0x4E42, {1}, 0, false},
  };
  for (const trap_case& c : cases) {
    SCOPED_TRACE(c.name);
    st_reset();
    start_trap(c.opcode, c.words);
    EXPECT_EQ(tos_run_slice(full_budget), 1);
    EXPECT_EQ(g_cpu.d[0], c.d0);
    if (c.ends_slice) {
      EXPECT_EQ(g_cpu.pc, after_trap) << "the game resumes after the trap in the next slice";
      EXPECT_EQ(g_cpu.d[6], 0u);
      EXPECT_EQ(tos_run_slice(full_budget), 1);
    }
    EXPECT_EQ(g_cpu.d[6], 1u);
    EXPECT_EQ(rd32(result_cell), c.d0);
    EXPECT_EQ(g_cpu.pc, toy_wait);
  }
}

TEST_F(SliceRunner, SetexcReturnsTheVectorAndStoresTheNewAddressUnlessMinusOne) {
  wr32(0x45 * 4, 0x00ABCDEF);
  start_trap(0x4E4D, {5, 0x45, 0xFFFF, 0xFFFF});
  EXPECT_EQ(tos_run_slice(full_budget), 1);
  EXPECT_EQ(g_cpu.d[0], 0x00ABCDEFu);
  EXPECT_EQ(rd32(0x45 * 4), 0x00ABCDEFu);

  st_reset();
  wr32(0x45 * 4, 0x00ABCDEF);
  start_trap(0x4E4D, {5, 0x45, 0x0001, 0x2340});
  EXPECT_EQ(tos_run_slice(full_budget), 1);
  EXPECT_EQ(g_cpu.d[0], 0x00ABCDEFu);
  EXPECT_EQ(rd32(0x45 * 4), 0x00012340u);
}

TEST_F(SliceRunner, SetcolorSetscreenAndSetpalette) {
  start_trap(0x4E4E, {7, 17, 0x0123}); // register 17 & 15 = 1
  EXPECT_EQ(tos_run_slice(full_budget), 1);
  EXPECT_EQ(io_read(0xFF8242, 2), 0x0123u);
  EXPECT_EQ(g_cpu.d[0], 0u);

  st_reset();
  io_write(0xFF8242, 2, 0x0456);
  start_trap(0x4E4E, {7, 1, 0xFFFF});
  EXPECT_EQ(tos_run_slice(full_budget), 1);
  EXPECT_EQ(io_read(0xFF8242, 2), 0x0456u) << "colour $FFFF only asks";
  EXPECT_EQ(g_cpu.d[0], 0u);

  st_reset();
  start_trap(0x4E4E, {5, 0xFFFF, 0xFFFF, 0, 0, 0});
  EXPECT_EQ(tos_run_slice(full_budget), 1);
  EXPECT_EQ(tos.screen_base, 0x3F8000u) << "a physical address of 0 changes nothing";

  st_reset();
  start_trap(0x4E4E, {5, 0xFFFF, 0xFFFF, 0x0012, 0x3456, 0});
  EXPECT_EQ(tos_run_slice(full_budget), 1);
  EXPECT_EQ(tos.screen_base, 0x123456u);
  EXPECT_EQ(io_read(0xFF8201, 1), 0x12u);
  EXPECT_EQ(io_read(0xFF8203, 1), 0x34u);
  EXPECT_EQ(io_read(0xFF820D, 1), 0x56u);

  // Colours from the last 16 bytes of RAM: the rest reads as 0.
  st_reset();
  for (u32 i = 0; i < 16; ++i) wr8(0x3FFFF0 + i, 0x11 * (i + 1));
  io_write(0xFF825E, 2, 0x0777);
  start_trap(0x4E4E, {6, 0x003F, 0xFFF0});
  EXPECT_EQ(tos_run_slice(full_budget), 1);
  EXPECT_EQ(io_read(0xFF8240, 2), 0x1122u);
  EXPECT_EQ(io_read(0xFF824E, 2), 0xFF10u);
  EXPECT_EQ(io_read(0xFF8250, 2), 0u);
  EXPECT_EQ(io_read(0xFF825E, 2), 0u);
}

TEST_F(SliceRunner, LineAInitGivesItsTablesAndOtherLineAOpcodesDoNothing) {
  start_trap(0xA000, {});
  EXPECT_EQ(tos_run_slice(full_budget), 1);
  EXPECT_EQ(g_cpu.d[0], 0x4E00u);
  EXPECT_EQ(g_cpu.a[0], 0x4E00u);
  EXPECT_EQ(g_cpu.a[1], 0x4E80u);
  EXPECT_EQ(g_cpu.a[2], 0x4EC0u);
  EXPECT_EQ(g_cpu.d[6], 1u);

  st_reset();
  start_trap(0xA00A, {});
  g_cpu.a[1] = 0x77;
  EXPECT_EQ(tos_run_slice(full_budget), 1);
  EXPECT_EQ(g_cpu.d[0], 0x12345678u);
  EXPECT_EQ(g_cpu.a[1], 0x77u);
  EXPECT_EQ(g_cpu.d[6], 1u) << "the game went on after it";
}

TEST_F(SliceRunner, IllegalEntersTheGamesHandlerWithItsOwnAddressStacked) {
  register_routine(0xC46000, toy_exception_handler, {0xC46020});
  set_vector(4 * vector_illegal, 0xC46000);
  start_trap(0x4AFC, {});
  // From user mode: the frame goes on the supervisor stack.
  g_cpu.sr_sys = 0x0000;
  g_cpu.fc = 1;
  g_cpu.a[7] = 0x10000;
  g_cpu.other_sp = 0x20000;
  EXPECT_EQ(tos_run_slice(full_budget), 1);
  EXPECT_EQ(rd16(0x9100), 0x0001u) << "the old SR";
  EXPECT_EQ(rd32(0x9102), trap_at) << "the ILLEGAL's own address";
  EXPECT_EQ(rd32(0x9106), 0x20000u - 6);
  EXPECT_EQ(rd16(0x910E) & 0xFF00, 0x2000u) << "supervisor mode, trace off";
  EXPECT_EQ(g_cpu.other_sp, 0x10000u) << "the user stack pointer is kept aside";
  EXPECT_EQ(g_cpu.d[6], 0u) << "the instruction after the ILLEGAL never ran";
}

TEST_F(SliceRunner, TrapIntoAGameInstalledHandlerIsNotServedByTheHost) {
  register_routine(0xC46000, toy_exception_handler, {0xC46020});
  set_vector(0x84, 0xC46000); // TRAP #1
  start_trap(0x4E41, {0x3D}); // would be GEMDOS Fopen
  g_cpu.sr_sys = static_cast<i32>(0xA700); // trace on, supervisor
  const u32 sp = g_cpu.a[7];
  EXPECT_EQ(tos_run_slice(full_budget), 1);
  EXPECT_EQ(rd32(0x910A), 0x12345678u) << "d0 untouched: GEMDOS was not called";
  EXPECT_EQ(rd16(0x9100), 0xA700u);
  EXPECT_EQ(rd32(0x9102), after_trap);
  EXPECT_EQ(rd32(0x9106), sp - 6) << "already supervisor: the same stack";
  EXPECT_EQ(rd16(0x910E) & 0xFF00, 0x2700u) << "trace cleared, mask kept";
}

TEST_F(SliceRunner, ConsoleStatusPollsEndTheSliceEveryFourthPollAcrossSlicesAndCallers) {
  register_routine(0x3FE100, toy_trap_loop, {0x3FE104, 0x3FE108, 0x3FE10A});
  wr16(0x3FE108, 0x4E4D);
  g_cpu.a[7] = 0xFFFE;
  wr16(0xFFFE, 1); // Bconstat
  g_cpu.pc = 0x3FE100;
  EXPECT_EQ(tos_run_slice(full_budget), 1); // lines the count up on a multiple of four
  const u32 before = g_cpu.d[6];
  EXPECT_EQ(tos_run_slice(full_budget), 1);
  EXPECT_EQ(g_cpu.d[6] - before, 4u) << "three polls go on, the fourth ends the slice";
  EXPECT_EQ(g_cpu.d[0], 0u);
  tos_console_poll(); // as GEMDOS Cconis does
  tos_console_poll();
  EXPECT_EQ(tos_run_slice(full_budget), 1);
  EXPECT_EQ(g_cpu.d[6] - before, 6u);
}

TEST_F(SliceRunner, AGameLoopingOnTrapsGivesTheHostItsThreadBack) {
  register_routine(0x3FE100, toy_trap_loop, {0x3FE104, 0x3FE108, 0x3FE10A});
  wr16(0x3FE108, 0x4E4D);
  g_cpu.a[7] = 0xFFFE;
  wr16(0xFFFE, 6); // Tickcal: never asks for the VBL
  g_cpu.pc = 0x3FE100;
  EXPECT_EQ(tos_run_slice(full_budget), 1);
  EXPECT_EQ(g_cpu.d[6], static_cast<u32>(slice_trap_limit - 1));
  EXPECT_EQ(g_cpu.pc, 0x3FE10Au) << "after the last trap served";
}

TEST_F(SliceRunner, UnsupportedInstructionsFailTheSliceWithTheirLogLine) {
  start_trap(0xF000, {});
  int result = 0;
  std::string log = run_capturing_log(result);
  EXPECT_EQ(result, -1);
  EXPECT_EQ(log, "[bkm] unsupported instruction F000 at 3FE000\n");
  EXPECT_EQ(g_cpu.pc, trap_at);
}

ROUTINE(toy_trap_outside_ram, 0xC47000)
  TRAP(0xC47000, 0xC47002)
LABEL(0xC47004)
  if (kit_wait(0xC47004)) return;
  GOTO(0xC47004);
END_ROUTINE

TEST_F(SliceRunner, AnInstructionOutsideRamFailsWithOpcodeZero) {
  register_routine(0xC47000, toy_trap_outside_ram, {0xC47002, 0xC47004});
  g_cpu.pc = 0xC47000;
  int result = 0;
  std::string log = run_capturing_log(result);
  EXPECT_EQ(result, -1);
  EXPECT_EQ(log, "[bkm] unsupported instruction 0000 at C47000\n");
}

ROUTINE(toy_bouncer, 0xC48000)
  if (d5 == 0) JMP_DYN(0xC4DEAD);
  d5 -= 1;
  JMP_DYN(0xC48000);
END_ROUTINE

TEST_F(SliceRunner, BadJumpReportListsOnlyTheJumpsThatHappened) {
  register_routine(0xC48000, toy_bouncer);
  for (int i = 0; i < 8; ++i) g_cpu.d[i] = 0x11111111u * i;
  for (int i = 0; i < 7; ++i) g_cpu.a[i] = 0xA0000000u + i;
  g_cpu.d[5] = 2;
  g_cpu.a[7] = 0x10000;
  for (u32 i = 0; i < 8; ++i) wr32(0x10000 + 4 * i, 0x5000 + i);
  g_cpu.pc = 0xC48000;
  tos.vbl = 7;
  int result = 0;
  std::string log = run_capturing_log(result);
  EXPECT_EQ(result, -1);
  EXPECT_EQ(log,
            "[bkm] the game jumped to an invalid address C4DEAD (vbl 7): corrupted state\n"
            "[bkm]   dynamic jump -0: C4DEAD (a7 010000)\n"
            "[bkm]   dynamic jump -1: C48000 (a7 010000)\n"
            "[bkm]   dynamic jump -2: C48000 (a7 010000)\n"
            "[bkm]   d 00000000 11111111 22222222 33333333 44444444 00000000 66666666 77777777\n"
            "[bkm]   a A0000000 A0000001 A0000002 A0000003 A0000004 A0000005 A0000006 00010000"
            "  ret 00C4DEAD sr 2300\n"
            "[bkm]   stack 00005000 00005001 00005002 00005003 00005004 00005005 00005006 00005007\n");
}

TEST_F(SliceRunner, BadJumpReportShowsTheLastTwelveJumpsMostRecentFirst) {
  register_routine(0xC48000, toy_bouncer);
  g_cpu.d[5] = 40;
  g_cpu.a[7] = 0x3FFFF8; // the stack runs out of RAM: those longs read 0
  wr32(0x3FFFF8, 0xAAAA);
  wr32(0x3FFFFC, 0xBBBB);
  g_cpu.pc = 0xC48000;
  int result = 0;
  std::string log = run_capturing_log(result);
  EXPECT_EQ(result, -1);
  EXPECT_NE(log.find("  dynamic jump -0: C4DEAD (a7 3FFFF8)\n"), std::string::npos);
  EXPECT_NE(log.find("  dynamic jump -11: C48000 (a7 3FFFF8)\n"), std::string::npos);
  EXPECT_EQ(log.find("  dynamic jump -12:"), std::string::npos);
  EXPECT_NE(log.find("  stack 0000AAAA 0000BBBB 00000000 00000000 00000000 00000000 00000000 00000000\n"),
            std::string::npos);
}

ROUTINE(toy_waits_at_points, 0xC49000)
  if (kit_wait(0x00F91E)) return;
  if (kit_wait(0x003972)) return;
  if (kit_wait(0x00FDF0)) return;
LABEL(0xC4900A)
  if (kit_wait(0xC4900A)) return;
  GOTO(0xC4900A);
END_ROUTINE

TEST_F(SliceRunner, WaitsAtTheWaitPointsRecordTheirVbl) {
  register_routine(0xC49000, toy_waits_at_points, {0xC4900A});
  g_cpu.pc = 0xC49000;
  const i32 expected[][3] = {{10, -99, -99}, {10, 11, -99}, {10, 11, 12}, {10, 11, 12}};
  for (int i = 0; i < 4; ++i) {
    tos.vbl = 10 + i;
    EXPECT_EQ(tos_run_slice(full_budget), 1);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(tos.wait_vbl_at[k], expected[i][k]) << i << " " << k;
  }
}

TEST_F(SliceRunner, AfterTerminationEverySliceReturnsZero) {
  register_routine(0xC49000, toy_waits_at_points, {0xC4900A});
  g_cpu.pc = 0xC49000;
  tos.terminated = 1;
  EXPECT_EQ(tos_run_slice(full_budget), 0);
  EXPECT_EQ(tos_run_slice(full_budget), 0);
}

ROUTINE(toy_spinner, 0xC49100)
LOOP(0xC49102)
  d4 += 1;
  GOTO(0xC49102);
END_ROUTINE

TEST_F(SliceRunner, ASpentBudgetEndsTheSliceNormally) {
  register_routine(0xC49100, toy_spinner, {0xC49102});
  g_cpu.pc = 0xC49100;
  EXPECT_EQ(tos_run_slice(1000), 1);
  EXPECT_EQ(g_cpu.d[4], 1000u);
  EXPECT_EQ(g_cpu.pc, 0xC49102u);
  EXPECT_EQ(tos_run_slice(1000), 1);
  EXPECT_EQ(g_cpu.d[4], 2001u);
}

// Writes the bytes listed at $9100 (count first) to the keyboard processor
// in every slice.
ROUTINE(toy_ikbd_writer, 0xC4A000)
LABEL(0xC4A002)
  for (u32 i = 0; i < rd8(0x9100); ++i) wr8(0xFFFC02, rd8(0x9101 + i));
  wr8(0x9100, 0);
  if (kit_wait(0xC4A002)) return;
  GOTO(0xC4A002);
END_ROUTINE

TEST_F(SliceRunner, KeyboardProcessorAnswersOnlyItsResetCommand) {
  struct ikbd_case {
    const char* name;
    std::initializer_list<std::initializer_list<u8>> slices;
    int answers;
  };
  const ikbd_case cases[] = {
      {"reset", {{0x80, 0x01}}, 1},
      {"reset, any second byte", {{0x80, 0x55}}, 1},
      {"lone command", {{0x08}}, 0},
      {"joystick events then reset", {{0x14, 0x80, 0x01}}, 1},
      {"reset split over two runs", {{0x80}, {0x01}}, 1},
      {"two resets", {{0x80, 0x01, 0x80, 0x01}}, 2},
  };
  for (const ikbd_case& c : cases) {
    SCOPED_TRACE(c.name);
    st_reset();
    register_routine(0xC4A000, toy_ikbd_writer, {0xC4A002});
    g_cpu.pc = 0xC4A000;
    for (auto bytes : c.slices) {
      wr8(0x9100, static_cast<u32>(bytes.size()));
      u32 at = 0x9101;
      for (u8 b : bytes) wr8(at++, b);
      EXPECT_EQ(tos_run_slice(full_budget), 1);
    }
    ASSERT_EQ(acia_len(), c.answers);
    for (int i = 0; i < c.answers; ++i) EXPECT_EQ(acia_peek(i), 0xF1);
  }
}

TEST_F(SliceRunner, NothingRunsWhileTheLoaderScreenIsHeld) {
  register_routine(0xC49100, toy_spinner, {0xC49102});
  g_cpu.pc = 0xC49100;
  g_load_seconds = 1;
  ASSERT_EQ(hold_loader_text(), 1);
  EXPECT_EQ(tos_run_slice(1000), 1);
  EXPECT_EQ(g_cpu.d[4], 0u);
  st_clock_now += 1.49;
  EXPECT_EQ(tos_run_slice(1000), 1);
  EXPECT_EQ(g_cpu.d[4], 0u);
  st_clock_now += 0.01;
  EXPECT_EQ(tos_run_slice(1000), 1);
  EXPECT_EQ(g_cpu.d[4], 1000u);
}

// A game routine called by the host: notes its arguments, spoils every
// register and the flags, resets the keyboard processor.
ROUTINE(toy_sub, 0xC4B000)
  wr32(0x9200, d0);
  wr32(0x9204, d1);
  wr32(0x9208, d2);
  d0 = d1 = d2 = d3 = d4 = d5 = d6 = d7 = 0xEEEEEEEE;
  a0 = a1 = a2 = a3 = a4 = a5 = a6 = 0xAAAAAAAA;
  set_sr(0x271F);
  wr8(0xFFFC02, 0x80);
  wr8(0xFFFC02, 0x01);
  RTS();
END_ROUTINE

TEST_F(SliceRunner, NestedCallLeavesTheCallersRegistersAsTheyWere) {
  register_routine(0xC4B000, toy_sub);
  for (int i = 0; i < 8; ++i) g_cpu.d[i] = 0x100 + i;
  for (int i = 0; i < 7; ++i) g_cpu.a[i] = 0x200 + i;
  g_cpu.a[7] = 0x10000;
  g_cpu.other_sp = 0x20000;
  g_cpu.pc = 0x12344;
  g_cpu.sr_sys = 0x2300;
  g_cpu.fz = 1;
  const cpu_state before = g_cpu;

  EXPECT_EQ(tos_call_sub3(0xC4B000, 7, 8, 9), 0);
  EXPECT_EQ(rd32(0x9200), 7u);
  EXPECT_EQ(rd32(0x9204), 8u);
  EXPECT_EQ(rd32(0x9208), 9u);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(g_cpu.d[i], before.d[i]) << "d" << i;
  for (int i = 0; i < 8; ++i) EXPECT_EQ(g_cpu.a[i], before.a[i]) << "a" << i;
  EXPECT_EQ(g_cpu.other_sp, before.other_sp);
  EXPECT_EQ(g_cpu.pc, before.pc);
  EXPECT_EQ(g_cpu.sr_sys, before.sr_sys);
  EXPECT_EQ(g_cpu.fx, 0);
  EXPECT_EQ(g_cpu.fz, 1);
  EXPECT_EQ(g_cpu.fc, 0);
  ASSERT_EQ(acia_len(), 1) << "the keyboard processor answered the reset";
  EXPECT_EQ(acia_peek(0), 0xF1);

  EXPECT_EQ(tos_call_sub(0xC4B000, 5), 0);
  EXPECT_EQ(rd32(0x9200), 5u);
  EXPECT_EQ(rd32(0x9204), 0x101u) << "d1 and d2 as they are";
  EXPECT_EQ(rd32(0x9208), 0x102u);
}

ROUTINE(toy_game_keeping_registers, 0xC4C000)
  d3 = 5;
  a4 = 0x1234;
LABEL(0xC4C008)
  if (kit_wait(0xC4C008)) return;
  wr32(0x9300, d3);
  wr32(0x9304, a4);
  GOTO(0xC4C008);
END_ROUTINE

TEST_F(SliceRunner, NestedCallBetweenSlicesDoesNotDisturbTheSuspendedGame) {
  register_routine(0xC4B000, toy_sub);
  register_routine(0xC4C000, toy_game_keeping_registers, {0xC4C008});
  g_cpu.pc = 0xC4C000;
  EXPECT_EQ(tos_run_slice(full_budget), 1);
  tos_call_sub(0xC4B000, 1);
  EXPECT_EQ(tos_run_slice(full_budget), 1);
  EXPECT_EQ(rd32(0x9300), 5u);
  EXPECT_EQ(rd32(0x9304), 0x1234u);
}

ROUTINE(toy_counting_isr, 0xC4D000)
  wr16(0x9400, rd16(0x9400) + 1);
  wr8(0xFFFC02, 0x80);
  wr8(0xFFFC02, 0x01);
  RTE();
END_ROUTINE

TEST_F(SliceRunner, RunIsrRunsTheGamesHandlerUnlessRefusedOrMissing) {
  register_routine(0xC4D000, toy_counting_isr);
  g_cpu.pc = 0x4000;
  set_vector(0x68, 0xC4D000); // level-2 autovector
  EXPECT_EQ(tos_run_isr(0x68 / 4, 4), 1);
  EXPECT_EQ(rd16(0x9400), 1u);
  EXPECT_EQ(acia_len(), 1) << "the keyboard processor is answered";
  EXPECT_EQ(g_cpu.pc, 0x4000u);
  g_cpu.sr_sys = 0x2500;
  EXPECT_EQ(tos_run_isr(0x68 / 4, 4), 0);
  EXPECT_EQ(rd16(0x9400), 1u);
  g_cpu.sr_sys = 0x2300;
  EXPECT_EQ(tos_run_isr(0x70 / 4, 4), 0) << "the ROM stub: no game handler";
  EXPECT_EQ(tos_run_isr(300, 4), 0);
  EXPECT_EQ(g_cpu.pc, 0x4000u);
}

} // namespace
