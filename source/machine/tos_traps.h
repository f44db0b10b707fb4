// The instructions the recompiled code leaves to the host: TRAP #n, Line-A
// and ILLEGAL. TOS calls through the ROM's own vectors are answered here
// (BIOS, XBIOS; GEMDOS has its own module); traps and exceptions for which
// the game installed a handler enter that handler as a 68000 exception.
// Everything works on the suspended CPU record g_cpu.
#pragma once
#include "machine/types.h"

constexpr u32 vector_illegal = 4;
constexpr u32 vector_trap0 = 32;

// Serves the instruction at fault address f: pc := f + 2 to go on after it,
// or the handler's address after an exception entry. 0 when served; -1
// (logged) when the instruction cannot be served.
int tos_serve_trap(u32 f);

// The 68000 exception entry on g_cpu: supervisor mode, the old SR and the
// return address stacked, pc := the long in vector v.
void tos_exception(u32 vector, u32 return_address);

i32 tos_bios(u32 function, u32 sp);
i32 tos_xbios(u32 function, u32 sp);
