// One emulated VBL: jobs, test injections, the tune-flag hold, the slice,
// recovery, the end of the VBL with its audio, the money option and the
// screen kind.
#include <cstdio>
#include <cstdlib>

#include "host/emu_state.h"
#include "host/platform.h"
#include "machine/memory.h"
#include "machine/slice_runner.h"
#include "machine/vbl_delivery.h"
#include "sound/audio_assembly.h"

namespace {

constexpr u32 effect_routine = 0x41C04;
constexpr u32 explosion_routine = 0x6CA8;
constexpr u32 money_records[2] = {player1_record, player2_record};
constexpr u32 money_ceiling = 8999999, money_full = 9999999;
constexpr u32 slice_budget = 2000000;

bool env_int(const char* name, long* out) {
  const char* text = std::getenv(name);
  if (!text || !*text) return false;
  char* end = nullptr;
  *out = std::strtol(text, &end, 10);
  return end != text;
}

void test_injections(u32 v) {
  long n;
  // Fires once: after its own recovery the VBL passes n again.
  if (!emu.corrupt_fired && env_int("BKM_CORRUPT", &n) && static_cast<long>(v) == n) {
    emu.inject = 1;
    emu.corrupt_fired = 1;
  }
  const i32 since_first = vbl_since(v, static_cast<i32>(emu.first_step_vbl));
  if (!emu.effect_done && env_int("BKM_EFFECT", &n) && since_first >= n) {
    emu.effect_done = 1;
    long which = 1;
    env_int("BKM_EFFECT_N", &which);
    tos_call_sub(effect_routine, static_cast<u32>(which));
    host_log_file("effect started at vbl %u", v);
  }
  const char* boom = std::getenv("BKM_BOOM");
  int t, x, y, z;
  if (!emu.boom_done && boom && std::sscanf(boom, "%d:%d:%d:%d", &t, &x, &y, &z) == 4 && since_first >= t) {
    emu.boom_done = 1;
    tos_call_sub3(explosion_routine, static_cast<u32>(x), static_cast<u32>(y), static_cast<u32>(z));
    host_log_file("explosion created at vbl %u", v);
  }
}

// The game waits for its tune flag at the end of once-only tunes; a
// replacement song that runs longer holds the flag for as long as it plays.
void hold_tune_flag() {
  const int value = pb_hold_value();
  if (value < 0) return;
  emu.vf_real = static_cast<u8>(rd8(tune_flag));
  wr8(tune_flag, static_cast<u32>(value));
  vf_on = 1;
  emu.vf_forced = static_cast<u8>(value);
}

// Puts the game's own byte back, unless the game wrote the flag itself
// during the slice.
void release_tune_flag() {
  if (!vf_on) return;
  if (rd8(tune_flag) == emu.vf_forced) wr8(tune_flag, emu.vf_real);
  vf_on = 0;
}

void top_up_money() {
  if (!emu.money_on) return;
  for (u32 r : money_records)
    if (rd32(r + money_offset) <= money_ceiling) wr32(r + money_offset, money_full);
}

} // namespace

int do_step() {
  u32 v = tos.vbl;
  if (!emu.first_step_done) {
    emu.first_step_done = 1;
    emu.first_step_vbl = v;
  }
  jobs_step(v);
  if ((emu.sent_joy[0] | emu.sent_joy[1]) & 0x80) emu.fire_last = static_cast<i32>(v);
  test_injections(v);
  hold_tune_flag();
  const int result = tos_run_slice(slice_budget);
  release_tune_flag();
  if (result < 0 || emu.inject) {
    emu.inject = 0;
    if (!undo_failed_load(v) && !recover_or_fail(v)) return -1;
  }
  load_watch_step();
  tos_vbl();
  audio_chunk(emu.sent_joy[0], emu.sent_joy[1], emu.paused);
  top_up_money();
  v = tos.vbl;
  const int game = screen_kind_step(v);
  if (game) {
    emu.last_menu_nz = -1;
    return 1;
  }
  fixed_screen_step(v);
  return 0;
}
