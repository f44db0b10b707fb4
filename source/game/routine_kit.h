// The kit every recompiled routine is written with. A routine reads one
// 68000 instruction (or one small group) per line, flat, with the 68k
// address of every place where control can arrive from outside the routine
// written where it stands:
//
//   ROUTINE(sub_0075A4, 0x0075A4)      the function and its entry
//   LABEL(0x75B0)                      a resume label (and a goto target)
//   LOOP(0x75B0)                       a loop head: label + budget check
//   HERE(0x75C2)                       a goto target only (never resumed at)
//   GOTO(0x75B0)                       a branch inside the routine
//   JSR(0x007A10, 0x75B6)              call; the return address is a label
//   JSR_DYN(a0, 0x75BA)                computed call
//   JMP(0x0076F0)                      tail transfer to a fixed address
//   JMP_DYN(rd32(a0))                  computed jump
//   RTS()  RTE()
//   STOP(0x2300, 0x75C8)               STOP #$2300, continuing at the label
//   WAIT_VBL_FLAG(0x75D0)              busy-wait loop head on the VBL
//   TRAP(0x75D4, 0x75D6)               TRAP/Line-A/ILLEGAL served by the host
//   HOOK(0x009306)                     a hook point (and a label)
//   HOOK_AT(0x00893C)                  a hook point where a label stands
//   LOOP_HOOK(0x005E3A)                a loop head that is a hook point
//   DIVU(d0, d1, 0x75E0)  DIVS(...)    divisions (zero: the 68000 exception)
//   END_ROUTINE
//
// Rules: no C++ local variable lives across a call, a yield, a hook or a
// label (after a state load a routine is re-entered at a label with only the
// registers and RAM); no `switch` statement in a routine body (the resume
// labels are the cases of the routine's own switch). The dispatch table is
// generated from these macros, so every label is written exactly once.
#pragma once
#include "machine/coroutine.h"
#include "machine/cpu.h"
#include "machine/cpu_alu.h"
#include "machine/dispatch.h"
#include "machine/hooks.h"
#include "machine/memory.h"
#include "machine/runner.h"

// --- memory by operand size -------------------------------------------------

template <int S> inline u32 rd(u32 addr) {
  if constexpr (S == 1) return rd8(addr);
  else if constexpr (S == 2) return rd16(addr);
  else return rd32(addr);
}

template <int S> inline void wr(u32 addr, u32 v) {
  if constexpr (S == 1) wr8(addr, v);
  else if constexpr (S == 2) wr16(addr, v);
  else wr32(addr, v);
}

// --- the 68000 stack and address-register steps -------------------------------

inline void push32(u32 v) { a7 -= 4; wr32(a7, v); }
inline void push16(u32 v) { a7 -= 2; wr16(a7, v); }
inline u32 pop32() { const u32 v = rd32(a7); a7 += 4; return v; }
inline u32 pop16() { const u32 v = rd16(a7); a7 += 2; return v; }
#define POP32() pop32()

// A byte on the stack takes a whole word slot (a7 stays even) and sits in
// its high half: MOVE.B d0,-(a7) writes the byte at the new a7.
inline void push8(u32 v) { a7 -= 2; wr8(a7, v); }
inline u32 pop8() { const u32 v = rd8(a7); a7 += 2; return v; }

// (An)+ and -(An) for any address register: the step is the operand size,
// but 2 for a byte on a7. postinc returns the address to use, predec the
// new register value: MOVE.B (a0)+,d0 is
// put<B>(d0, move<B>(rd8(postinc<B>(a0)))).
template <int S> inline u32 an_step(const u32& an) { return S == 1 && &an == &a7 ? 2 : S; }
template <int S> inline u32 postinc(u32& an) {
  const u32 at = an;
  an += an_step<S>(an);
  return at;
}
template <int S> inline u32 predec(u32& an) {
  an -= an_step<S>(an);
  return an;
}

// MOVEA.W/L: a word is sign-extended into the whole address register.
// put<W> is for data registers only: on an address register it would keep
// the upper word, which no 68000 instruction does.
template <int S> inline void movea(u32& an, u32 v) {
  static_assert(S == 2 || S == 4, "MOVEA is word or long");
  an = sext<S>(v);
}

// MOVEP.W/L: the register's bytes, highest first, to or from every other
// byte from addr on (the peripherals on one half of the data bus). Flags
// stay. MOVEP.W d0,0(a1) is movep_store<W>(d0, a1); MOVEP.L 0(a1),d0 is
// d0 = movep_load<L>(a1); the word form is put<W>(d0, movep_load<W>(a1)).
template <int S> inline void movep_store(u32 v, u32 addr) {
  static_assert(S == 2 || S == 4, "MOVEP is word or long");
  for (int i = 0; i < S; ++i) wr8(addr + 2 * i, v >> (8 * (S - 1 - i)));
}
template <int S> inline u32 movep_load(u32 addr) {
  static_assert(S == 2 || S == 4, "MOVEP is word or long");
  u32 v = 0;
  for (int i = 0; i < S; ++i) v = v << 8 | rd8(addr + 2 * i);
  return v;
}

// MOVEM.L/W list,-(An) and MOVEM.L/W (An)+,list on any address register,
// and the forms with a plain address. Memory order is always d0..d7, a0..a7.
// Where the list holds the base register itself, the 68000 stores the value
// it had before the instruction, and a load through (An)+ leaves it at the
// incremented address instead of the value read.
template <int S = L> inline void movem_push(u16 list, u32& an) {
  const u32 before = an;
  for (int i = 15; i >= 0; --i)
    if (list & (1u << i)) {
      an -= S;
      wr<S>(an, cpu_reg[i] == &an ? before : *cpu_reg[i]);
    }
}
template <int S = L> inline void movem_pop(u16 list, u32& an) {
  for (int i = 0; i < 16; ++i)
    if (list & (1u << i)) {
      const u32 v = rd<S>(an);
      an += S;
      if (cpu_reg[i] != &an) *cpu_reg[i] = S == W ? sext16(v) : v;
    }
}
template <int S = L> inline u32 movem_store(u16 list, u32 addr) {
  for (int i = 0; i < 16; ++i)
    if (list & (1u << i)) {
      wr<S>(addr, *cpu_reg[i]);
      addr += S;
    }
  return addr;
}
// The loaded values all stay, the base register's too: no write-back.
template <int S = L> inline u32 movem_load(u16 list, u32 addr) {
  u32 an = addr;
  movem_pop<S>(list, an);
  return an;
}
inline void save_regs(u16 list) { movem_push<L>(list, a7); }
inline void restore_regs(u16 list) { movem_pop<L>(list, a7); }

// --- control flow -------------------------------------------------------------

inline u32 kit_take_resume() {
  const u32 r = resume_pc;
  resume_pc = 0;
  return r;
}

// Budget check at a loop head; true: unwind (a runner cut the flow).
inline bool kit_budget(u32 label) {
  if (--g_cpu.budget >= 0) return false;
  g_cpu.pc = label;
  return yield_to_host(YIELD_BUDGET) != 0;
}

// A wait of the game at a label (continues there in a fresh coroutine).
inline bool kit_wait(u32 label) {
  g_cpu.pc = label;
  return yield_to_host(YIELD_WAIT) != 0;
}

// A jump that unwinds the routines on the host stack to the loop that runs
// them, which continues at the target: the host stack never grows with code
// that jumps on and never returns.
inline void kit_jump(u32 target) {
  ret_addr = target & 0xFFFFFF;
  jump_unwinding = 1;
}

inline void kit_jump_dynamic(u32 target) {
  dyn_hist[dyn_n & (dyn_hist_size - 1)] = static_cast<u64>(a7) << 32 | (target & 0xFFFFFF);
  ++dyn_n;
  kit_jump(target);
}

// An instruction served by the host. True: the routine must return (the
// host sent the game elsewhere, or a runner cut the flow). Inside an
// interrupt or batch run nothing is served and the code goes on.
inline bool kit_trap(u32 at, u32 next) {
  if (!in_game) return false;
  g_cpu.pc = g_cpu.fault_pc = at;
  yield_to_host(YIELD_TRAP);
  if (g_cpu.pc == next) return false;
  kit_jump_dynamic(g_cpu.pc);
  return true;
}

// Division by zero: the 68000 takes exception 5 with the address of the
// next instruction stacked.
inline void kit_zero_divide(u32 next) {
  cpu_exception_frame(next);
  kit_jump_dynamic(rd32(5 * 4));
}

template <int slot> inline void kit_hook(u32 address) {
  static_assert(slot >= 0, "not a hook point");
  hook_point(slot, address);
}

// DIVU/DIVS: true when the divisor was zero and the routine must return
// (the exception handler runs next); the source is evaluated once.
inline bool kit_divide(u32& reg, u32 src, u32 next, u32 (*op)(u32, u32)) {
  if ((src & 0xFFFF) == 0) {
    kit_zero_divide(next);
    return true;
  }
  reg = op(src, reg);
  return false;
}

#define KIT_CAT_(a, b) a##b
#define KIT_CLABEL_(addr) KIT_CAT_(L_, addr)

#define ROUTINE(name, addr) \
  void name() {             \
    switch (kit_take_resume()) {  \
      case 0:
#define END_ROUTINE \
  default:          \
    return;         \
    }               \
    }

#define LABEL(addr) case addr: KIT_CLABEL_(addr):
#define HERE(addr) KIT_CLABEL_(addr):
#define GOTO(addr) goto KIT_CLABEL_(addr)
#define LOOP(addr) \
  LABEL(addr)      \
  if (kit_budget(addr)) return;

#define JSR(target, ret)          \
  push32(ret);                    \
  game_dispatch(target);          \
  if (ret_addr != (ret)) return;  \
  LABEL(ret)
#define JSR_DYN(target, ret)      \
  push32(ret);                    \
  call_dynamic(target);           \
  if (ret_addr != (ret)) return;  \
  LABEL(ret)
// A call whose return address is the entry of the next routine (the call
// is the last instruction before it): no label of this routine there.
#define JSR_INTO_NEXT(target, ret) \
  push32(ret);                     \
  game_dispatch(target);           \
  if (ret_addr != (ret)) return;   \
  JMP(ret)

#define JMP(target)     \
  do {                  \
    kit_jump(target);   \
    return;             \
  } while (0)
#define JMP_DYN(target)          \
  do {                           \
    kit_jump_dynamic(target);    \
    return;                      \
  } while (0)
#define RTS()              \
  do {                     \
    ret_addr = pop32();    \
    jump_unwinding = 0;    \
    return;                \
  } while (0)
#define RTE()          \
  do {                 \
    rte_return();      \
    return;            \
  } while (0)

#define STOP(sr, next)                   \
  set_sr(sr);                            \
  if (kit_wait(next)) return;            \
  LABEL(next)
#define WAIT_VBL_FLAG(addr)                                  \
  LOOP(addr)                                                 \
  if (!g_cpu.vbl_flag && kit_wait(addr)) return;             \
  g_cpu.vbl_flag = 0;
#define TRAP(at, next)              \
  LABEL(at)                         \
  if (kit_trap(at, next)) return;   \
  LABEL(next)

#define HOOK(addr) \
  LABEL(addr)      \
  HOOK_AT(addr)
// A hook point where a label already stands: a routine's entry, a call's
// return address. It adds no label.
#define HOOK_AT(addr) kit_hook<game_hook_slot(addr)>(addr);
// A hook point on a loop head: the budget check comes first, so a game
// resumed at the label after a budget stop runs the hook once, not twice.
#define LOOP_HOOK(addr) \
  LOOP(addr)            \
  HOOK_AT(addr)

#define DIVU(reg, src, next)                   \
  if (kit_divide(reg, src, next, divu)) return; \
  LABEL(next)
#define DIVS(reg, src, next)                   \
  if (kit_divide(reg, src, next, divs)) return; \
  LABEL(next)
