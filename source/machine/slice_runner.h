// The slice runner: the host advances the game one VBL at a time. A slice
// resumes the game coroutine and keeps it running, serving its traps, until
// the game waits for the next vertical blank, spends its budget, stops or
// fails. Also the host's nested calls of single game routines.
#pragma once
#include "machine/types.h"

// The places where the game waits that the host tells apart; the VBL of the
// last wait at each is kept in tos.wait_vbl_at.
constexpr u32 wait_points[3] = {0x00F91E, 0x003972, 0x00FDF0};

// At most this many traps are served in one slice: a game caught in a loop
// of TOS calls gives the host its thread back.
constexpr int slice_trap_limit = 100000;

// 1 = the slice ended normally (or nothing ran while the loader screen is
// held), 0 = the game has terminated, -1 = the game failed and cannot go on.
int tos_run_slice(u32 budget);

// Runs the game routine at address once as a nested call with d0, d1, d2
// (tos_call_sub keeps the current d1 and d2) and puts every register back
// afterwards; memory and I/O written by the routine stay. Returns 0.
int tos_call_sub3(u32 address, u32 d0_value, u32 d1_value, u32 d2_value);
int tos_call_sub(u32 address, u32 d0_value);

// Runs the handler in the given vector once at the interrupt level; 1 when
// it ran, 0 when the interrupt was refused or the game installed no handler.
int tos_run_isr(u32 vector, int level);
