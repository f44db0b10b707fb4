// Writes YM registers the way the game does (select, then data through the
// I/O space) at a chosen time within the VBL, optionally tagged as a write
// of the sample player; and a chip fixture that renders chunks from the
// machine's log.
#pragma once
#include <vector>

#include "machine/cpu.h"
#include "machine/memory.h"
#include "machine/ym_capture.h"
#include "sound/ym_chip.h"

inline void ym_write(u8 reg, u8 value, double time = 0, bool tagged = false) {
  g_cpu.sub_vbl_time = time;
  io_write(0xFF8800, 1, reg);
  if (tagged) g_ym_tag = 1;
  io_write(0xFF8802, 1, value);
  g_cpu.sub_vbl_time = 0;
}

inline ym_event ev(double time, int code, int value) {
  return {time, static_cast<u8>(code), static_cast<u8>(value)};
}

// Renders `chunks` chunks of `size` samples, the events given to the first.
inline std::vector<float> render_chunks(ym_state* s, int chunks, int size,
                                        const std::vector<ym_event>& first = {}) {
  std::vector<float> out(static_cast<size_t>(chunks) * size);
  for (int c = 0; c < chunks; ++c) {
    const std::vector<ym_event>& e = c == 0 ? first : std::vector<ym_event>{};
    ym_render(s, size, e.data(), static_cast<int>(e.size()), out.data() + static_cast<size_t>(c) * size);
  }
  return out;
}

// A chip at 44,100 Hz with these registers.
inline ym_state* chip_with(std::initializer_list<std::pair<int, int>> regs) {
  ym_state* s = ym_new(44100);
  u8 r[16] = {};
  r[7] = 0x3F;
  for (auto [reg, value] : regs) r[reg] = static_cast<u8>(value);
  ym_set_state(s, r);
  return s;
}
