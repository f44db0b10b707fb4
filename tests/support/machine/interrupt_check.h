// Running one of the game's interrupt handlers in a test and checking that
// it came back as an interrupt must: to the interrupted pc (not redirected
// into the game's flow), with a7, the other stack pointer, SR and the
// registers it keeps as they were. The runner alone reports success in
// both cases.
#pragma once
#include <gtest/gtest.h>

#include "machine/cpu.h"

constexpr u16 every_register = dregs(0, 7) | aregs(0, 6);

// Distinct values in d0..d7 and a0..a6 of g_cpu (each byte different, so a
// word-sized save or a swapped pair shows), and the flags X, Z, C set.
void fill_register_patterns();

// Takes the interrupt of `level` with the handler at `handler` while the
// game stands at g_cpu.pc, and compares what it came back to.
::testing::AssertionResult interrupt_returns(u32 handler, int level, u16 kept = every_register);
