// The game coroutine. The recompiled game runs on a stack of its own and
// gives control back to the host (yields) when it waits for the vertical
// blank, meets an instruction the host serves, jumps to an address without a
// routine, or spends its time budget. A fresh coroutine starts `game_entry`
// at g_cpu.pc; from then on every resumption continues right after the
// yield.
#pragma once
#include "machine/cpu.h"

extern u32 ret_addr;  // the address popped by the last RTS or RTE
extern u32 resume_pc; // a resume label requested by the dispatcher; 0 = none
extern int in_game;   // 1 while the game coroutine runs

constexpr std::size_t game_stack_size = 16u << 20;

int core_run(cpu_state* record, i32 budget);
// Inside the coroutine: stores the registers, switches to the host and
// reloads them when resumed; returns 0. Outside it, returns 0 at once,
// except inside an interrupt or batch run, where a wait or a spent budget
// cannot be honoured: then it returns 1 and the caller must unwind (return
// at once) so the runner regains control.
int yield_to_host(u32 reason);
void core_reset();
void core_forget_host();

// Whether the coroutine exists (a resumption continues after a yield).
bool core_active();

// Saves every register global with resume_pc and ret_addr and puts them back
// when it goes out of scope: the contract of code that runs other 68k
// routines on the game's registers between slices (the Amiga replay).
class register_guard {
 public:
  register_guard() : regs_(register_file_save()), resume_pc_(resume_pc), ret_addr_(ret_addr) {}
  ~register_guard() {
    register_file_restore(regs_);
    resume_pc = resume_pc_;
    ret_addr = ret_addr_;
  }
  register_guard(const register_guard&) = delete;
  register_guard& operator=(const register_guard&) = delete;

 private:
  register_file regs_;
  u32 resume_pc_;
  u32 ret_addr_;
};
