// The replay's dispatcher: its routine entries and resume labels. The
// replay's one computed jump (the sequence commands) comes through
// bkam_dispatch; bkam_resume continues a routine at one of its labels.
#include <algorithm>
#include <array>

#include "machine/coroutine.h"
#include "sound/amiga_replay.h"

namespace {

struct routine_row {
  u32 address;
  void (*fn)();
};

constexpr std::array<routine_row, bkam_nentries> routines = {{
    {0x51762, bkam_051762}, {0x51770, bkam_051770}, {0x5177E, bkam_05177E}, {0x5178C, bkam_05178C},
    {0x5179A, bkam_05179A}, {0x517A2, bkam_0517A2}, {0x517A8, bkam_0517A8}, {0x517C0, bkam_0517C0},
    {0x5185E, bkam_05185E}, {0x518B8, bkam_0518B8}, {0x518D6, bkam_0518D6}, {0x51918, bkam_051918},
    {0x51C6C, bkam_051C6C}, {0x51C92, bkam_051C92}, {0x51CA8, bkam_051CA8}, {0x51CD4, bkam_051CD4},
    {0x51CD8, bkam_051CD8}, {0x51D12, bkam_051D12}, {0x51D1A, bkam_051D1A}, {0x51D2E, bkam_051D2E},
    {0x51D36, bkam_051D36}, {0x51D3E, bkam_051D3E}, {0x51D50, bkam_051D50}, {0x51D5C, bkam_051D5C},
    {0x528E2, bkam_0528E2}, {0x52956, bkam_052956}, {0x52A3A, bkam_052A3A}, {0x52AA6, bkam_052AA6},
}};


const routine_row* find_routine(u32 address) {
  const auto it = std::lower_bound(routines.begin(), routines.end(), address,
                                   [](const routine_row& r, u32 a) { return r.address < a; });
  return it != routines.end() && it->address == address ? &*it : nullptr;
}

} // namespace

const std::array<u32, bkam_nentries> bkam_entries = [] {
  std::array<u32, bkam_nentries> a{};
  for (int i = 0; i < bkam_nentries; ++i) a[i] = routines[i].address;
  return a;
}();

// Call returns, and the tick body's points where the command handlers
// continue the tick.
const bkam_label bkam_labels[] = {
    {0x5176A, 0x51762}, {0x51778, 0x51770}, {0x51784, 0x5177E}, {0x51794, 0x5178C},
    {0x517AE, 0x517A8}, {0x517D2, 0x517C0}, {0x517E2, 0x517C0}, {0x51A62, 0x51918},
    {0x51BF6, 0x51918}, {0x51C04, 0x51918}, {0x51C48, 0x51918}, {0x5297E, 0x52956},
    {0x529C2, 0x52956}, {0x529CC, 0x52956}, {0x52A30, 0x52956}, {0x52B6C, 0x52AA6},
};
const int bkam_nlabels = static_cast<int>(sizeof bkam_labels / sizeof bkam_labels[0]);

int bkam_dispatch(u32 address) {
  const routine_row* r = find_routine(address & 0xFFFFFF);
  if (!r) return 0;
  r->fn();
  return 1;
}

int bkam_resume(u32 label) {
  for (const bkam_label& l : bkam_labels) {
    if (l.label != label) continue;
    resume_pc = label;
    find_routine(l.owner)->fn();
    return 1;
  }
  return 0;
}
