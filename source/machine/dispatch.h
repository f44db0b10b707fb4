// The dispatcher: turns a 68k address into a recompiled routine to run and
// a point in it to continue from. The table of routine entries and resume
// labels is generated from the routine sources at build time; tests may add
// routines of their own at run time.
#pragma once
#include "machine/types.h"

using routine_fn = void (*)();

enum dispatch_kind : u8 { routine_entry = 0, resume_label = 1 };

struct dispatch_row {
  u32 address;
  dispatch_kind kind;
  routine_fn owner;
  const char* owner_name;
};

// A JSR/BSR of the recompiled sources: the caller and the return address.
struct dispatch_call {
  u32 return_address;
  const char* caller_name;
  bool return_is_label; // false: the return address is another routine's entry
};

// Generated with the routines.
extern const dispatch_row game_dispatch_rows[];
extern const int game_dispatch_row_count;
extern const dispatch_call game_dispatch_calls[];
extern const int game_dispatch_call_count;
int game_table_try(u32 address);

// Calls nested on the stack that runs them (the coroutine's or the host's).
// A call beyond the limit is refused as a jump to an unknown address: a
// routine that calls itself through a corrupted pointer ends in the
// bad-jump report instead of overflowing the stack. The game nests a few
// dozen levels.
constexpr int call_depth_limit = 10000;
extern int call_depth;

int game_try(u32 address);       // 1 known, 0 unknown (or nested too deep)
void game_dispatch(u32 address); // unknown: YIELD_BAD_JUMP at that address
void game_resume(u32 address);
void call_dynamic(u32 target);   // computed JSR/JMP: recorded in dyn_hist

// Tests only, off (null) by default: sees every call the routines make
// (JSR, computed JSR) with its target and the return address it pushed,
// whether a written routine or a test's stand-in answers it, so a test of
// call order holds while the callees are being written.
extern void (*dispatch_call_observer)(u32 target, u32 return_address);

// The last 32 computed jumps, each (a7 << 32) | target.
constexpr int dyn_hist_size = 32;
extern u64 dyn_hist[dyn_hist_size];
extern u32 dyn_n;

// Run-time additions (test-only routines, or routines the tests stand in
// for); looked up after the generated table.
void dispatch_register(u32 address, routine_fn routine);
void dispatch_register_label(u32 address, routine_fn owner);
void dispatch_clear_registered();
// Runs `routine` at an address even where a written routine stands: a test
// of one routine isolates it from a written callee this way. Cleared with
// the registered routines.
void dispatch_register_over(u32 address, routine_fn routine);
