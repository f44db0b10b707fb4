// YM event queue. The writes of one VBL arrive grouped by source (the game's
// main code at time 0, then each Timer C batch, then each Timer A batch); a
// stable insertion sort interleaves the groups into one timeline.
#include "machine/ym_capture.h"

#include <cstring>

int ym_events_take(ym_event* out, int max) {
  const int n = ym_take(out, max);
  for (int i = 1; i < n; ++i) {
    const ym_event e = out[i];
    int j = i;
    while (j > 0 && out[j - 1].time > e.time) {
      out[j] = out[j - 1];
      --j;
    }
    out[j] = e;
  }
  return n;
}

void ym_events_clear() { ym_clear(); }

void ym_get_regs(u8* out, int* selected) {
  std::memcpy(out, get_ym_regs(), 16);
  if (selected) *selected = get_ym_sel();
}

void ym_set_regs(const u8* in, int selected) {
  set_ym_regs(in);
  set_ym_sel(selected);
}
