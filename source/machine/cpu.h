// The emulated 68000's register file. While recompiled code runs, the live
// registers are plain globals (d0..a7, the five flags, the system byte of SR
// and the inactive stack pointer); at every switch between the game and the
// host they are copied to and from the record `g_cpu`, which also holds the
// runtime's per-machine fields.
#pragma once
#include "machine/types.h"

extern u32 d0, d1, d2, d3, d4, d5, d6, d7;
extern u32 a0, a1, a2, a3, a4, a5, a6, a7;
extern u8 fx, fn, fz, fv, fc;
extern i32 sr_sys;   // SR & $FF00: trace, supervisor and interrupt mask
extern u32 other_sp; // USP while in supervisor mode, SSP while in user mode

// The registers indexed as the 68000 numbers them: d0..d7, then a0..a7.
extern u32* const cpu_reg[16];

// Register lists of MOVEM: bit i = d(i) for i < 8, a(i - 8) above.
constexpr u16 dregs(int first, int last) {
  u16 m = 0;
  for (int i = first; i <= last; ++i) m |= static_cast<u16>(1u << i);
  return m;
}
constexpr u16 aregs(int first, int last) {
  u16 m = 0;
  for (int i = first; i <= last; ++i) m |= static_cast<u16>(1u << (8 + i));
  return m;
}

enum yield_reason : u32 {
  YIELD_WAIT = 0,     // the game waits for the VBL or for input
  YIELD_TRAP = 1,     // an instruction left to the host, at fault_pc
  YIELD_BAD_JUMP = 2, // a jump to an address without a routine, at fault_pc
  YIELD_BUDGET = 3,   // the slice's budget is spent
};

constexpr int hook_enable_bytes = 8192;

struct cpu_state {
  u32 d[8];
  u32 a[8];
  u32 other_sp;
  u32 pc;
  i32 fx, fn, fz, fv, fc;
  i32 sr_sys;
  u32 vbl_wait_armed;
  u32 vbl_flag;
  i32 budget;
  double sub_vbl_time;
  u8 patch_flags[8];
  u8 hook_on[hook_enable_bytes];
  u32 fault_pc;
  u32 yield_reason;
  i32 isr_frame;
  u32 isr_sp;
  u32 hook_pc;
};

extern cpu_state g_cpu;

void store_regs();
void load_regs();
// Names used by recompiled code around host calls, and further aliases.
inline void sync_regs_out() { store_regs(); }
inline void sync_regs_in() { load_regs(); }
inline void regs_store() { store_regs(); }
inline void regs_load() { load_regs(); }

// A copy of every register global, for code that must leave them as it
// found them (nested runs, the Amiga replay on the same registers).
struct register_file {
  u32 r[16];
  u32 other_sp;
  u8 fx, fn, fz, fv, fc;
  i32 sr_sys;
};
register_file register_file_save();
void register_file_restore(const register_file& f);

u32 get_sr();
void set_sr(u32 sr);

// The exception entry of the 68000 on the live registers: supervisor mode
// (trace off, mask kept), then the old SR and the return address stacked.
void cpu_exception_frame(u32 return_address);

cpu_state* get_cpu();
void set_host(void*);
