#include "machine/coroutine.h"

#include <sys/mman.h>
#include <ucontext.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define BKM_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define BKM_ASAN 1
#endif
#endif
#ifdef BKM_ASAN
#include <sanitizer/asan_interface.h>
#include <sanitizer/common_interface_defs.h>
#endif

#include "machine/dispatch.h"
#include "machine/runner.h"

u32 ret_addr;
u32 resume_pc;
int in_game;

namespace {

// The stack is mapped with an inaccessible guard page below it, so running
// off its end faults at once instead of overwriting other memory.
void* game_stack;        // the usable part, game_stack_size bytes
void* game_stack_map;    // the mapping, guard page included
size_t game_stack_map_size;
ucontext_t game_context;
ucontext_t host_context;
int game_context_ready;

// The coroutine's nesting depth while the host runs (see call_depth).
int game_call_depth;

// AddressSanitizer must be told about every switch between the two stacks.
#ifdef BKM_ASAN
void* host_fake_stack;
const void* host_stack_bottom;
size_t host_stack_size;
void to_game() { __sanitizer_start_switch_fiber(&host_fake_stack, game_stack, game_stack_size); }
// A stack dropped with frames on it leaves their poison in the shadow
// memory, which a later mapping at the same address would inherit.
void clean_stack_shadow() { __asan_unpoison_memory_region(game_stack, game_stack_size); }
void back_in_host() { __sanitizer_finish_switch_fiber(host_fake_stack, nullptr, nullptr); }
void to_host() { __sanitizer_start_switch_fiber(nullptr, host_stack_bottom, host_stack_size); }
void back_in_game() { __sanitizer_finish_switch_fiber(nullptr, &host_stack_bottom, &host_stack_size); }
#else
void to_game() {}
void back_in_host() {}
void to_host() {}
void back_in_game() {}
void clean_stack_shadow() {}
#endif

// The coroutine's body: runs the game at pc and, whenever the routines
// unwind to here (a return or jump past the routines on the host stack),
// continues at the address they left in ret_addr.
void game_entry() {
  back_in_game();
  u32 a = g_cpu.pc & 0xFFFFFF;
  for (;;) {
    resume_pc = 0;
    game_resume(a);
    a = ret_addr & 0xFFFFFF;
  }
}

void free_stack() {
  if (game_stack_map) {
    clean_stack_shadow();
    munmap(game_stack_map, game_stack_map_size);
  }
  game_stack_map = game_stack = nullptr;
  game_context_ready = 0;
  game_call_depth = 0;
}

bool map_stack() {
  const long page = sysconf(_SC_PAGESIZE);
  const size_t guard = page > 0 ? static_cast<size_t>(page) : 4096;
  void* map = mmap(nullptr, game_stack_size + guard, PROT_READ | PROT_WRITE,
                   MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_STACK, -1, 0);
  if (map == MAP_FAILED) return false;
  game_stack_map = map;
  game_stack_map_size = game_stack_size + guard;
  game_stack = static_cast<u8*>(map) + guard;
  clean_stack_shadow();
  if (mprotect(map, guard, PROT_NONE) != 0) {
    free_stack();
    return false;
  }
  return true;
}

bool make_context() {
  if (!map_stack()) return false;
  if (getcontext(&game_context) != 0) {
    free_stack();
    return false;
  }
  game_context.uc_stack.ss_sp = game_stack;
  game_context.uc_stack.ss_size = game_stack_size;
  game_context.uc_link = &host_context;
  makecontext(&game_context, game_entry, 0);
  game_context_ready = 1;
  return true;
}

} // namespace

int core_run(cpu_state*, i32 budget) {
  g_cpu.budget = budget;
  g_cpu.yield_reason = YIELD_WAIT;
  if (!game_context_ready && !make_context()) return YIELD_BAD_JUMP;
  load_regs();
  in_game = 1;
  const int host_call_depth = call_depth;
  call_depth = game_call_depth;
  to_game();
  int rc = swapcontext(&host_context, &game_context);
  back_in_host();
  game_call_depth = call_depth;
  call_depth = host_call_depth;
  in_game = 0;
  if (rc != 0) return YIELD_BAD_JUMP;
  return static_cast<int>(g_cpu.yield_reason);
}

int yield_to_host(u32 reason) {
  if (!in_game) return runner_cannot_yield(reason);
  g_cpu.yield_reason = reason;
  store_regs();
  to_host();
  swapcontext(&game_context, &host_context);
  back_in_game();
  load_regs();
  return 0;
}

void core_reset() {
  if (!in_game) free_stack();
  in_game = 0;
  resume_pc = 0;
}

void core_forget_host() {}

bool core_active() { return game_context_ready != 0; }
