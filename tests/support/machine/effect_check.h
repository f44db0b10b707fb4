// Which sound effect the game started, told from the YM driver's channel
// record (for the tests of the front-end screens and the whole-game runs).
#pragma once
#include "game/ym_driver.h"
#include "machine/cpu_alu.h"
#include "machine/memory.h"

// The effect last started on channel A (0 for none since the last call),
// told by the descriptor its channel record took; the channel's flag is
// cleared, so the next start shows again. -1: an effect not among `known`.
template <size_t N>
int take_started_effect(const int (&known)[N]) {
  if (rd8(ym_driver_vars + ym_var::effect_on) == 0) return 0;
  wr8(ym_driver_vars + ym_var::effect_on, 0);
  const u32 record = ym_driver_vars + ym_var::effect_records;
  for (int n : known) {
    const u32 d = ym_driver_vars + sext16(rd16(ym_effect_table + 2 * n));
    if (rd16(d + ym_effect::period) == rd16(record + ym_effect::period) && rd16(d) == rd16(record)) return n;
  }
  return -1;
}
