// Two ways the benchmarks call one game routine to its end.
#pragma once
#include "machine/types.h"

// As a JSR from host code on the mission's stack: no coroutine to start, so
// the figure is the routine's own (for routines that never wait). A routine
// that ends in a jump chain is followed to its end, as the game's loop would.
void call_from_host(u32 entry);

// In the test driver's coroutine, for routines that may wait: one slice with
// a budget no frame reaches.
void run_in_driver(u32 entry);
