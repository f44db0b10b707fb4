// Calling one routine again and again in one game coroutine, for the
// benchmarks of short routines: starting the test driver afresh maps a new
// coroutine stack each time (a few system calls), which would cost more
// than the routine measured. A loop routine calls the target and waits;
// each repeat_call_once() resumes it for one more call.
#pragma once
#include "machine/types.h"

// Registers the loop for `target` and sets the game to start it; the
// registers of g_cpu are the first call's.
void repeat_call_start(u32 target);
// One call of the target, with the registers of g_cpu (set a register
// there before it to give the call an input); false when the slice did
// not end at the loop's wait (the target waited, or the budget ran out).
bool repeat_call_once();
