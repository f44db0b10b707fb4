// Hook points: 57 fixed places in the recompiled code at which the host can
// follow the game (frame starts and ends, the drawing of each kind of
// object, the sample player and the music driver). At a point whose enable
// byte is set, the registers are stored into g_cpu and the handler
// registered for that address runs; register changes it makes take effect
// when the game goes on.
#pragma once
#include <array>

#include "machine/cpu.h"

using host_hook_fn = void (*)(u32 address);

constexpr int hook_point_count = 57;

// The points in ascending address order; the position is the slot.
constexpr std::array<u32, hook_point_count> hook_addrs = {
    0x00474A, 0x004752, 0x0047FA, 0x00488C, 0x004A50, 0x00595A, 0x005972, 0x00597A, 0x005BA0, 0x005BA8,
    0x005E3A, 0x005F10, 0x005F22, 0x005FF4, 0x0060CC, 0x0060DA, 0x0060DE, 0x0060F0, 0x0061FA, 0x0062C0,
    0x006848, 0x0068B4, 0x0068DC, 0x006946, 0x006D1A, 0x006D5A, 0x006E54, 0x006F18, 0x00893C, 0x008EE2,
    0x008EEA, 0x008FC6, 0x009306, 0x00B6F2, 0x00B6F8, 0x00E678, 0x00E69C, 0x00E6C0, 0x00E6D6, 0x00E6EC,
    0x00E708, 0x00E756, 0x00E772, 0x041BCC, 0x041BE8, 0x041DD8, 0x041DDC, 0x041E00, 0x041E04, 0x041E28,
    0x041E2C, 0x041E68, 0x041E9C, 0x041ED0, 0x041EE2, 0x041EF8, 0x041F32,
};

// Binary search of hook_addrs; -1 when the address is no hook point.
constexpr int game_hook_slot(u32 address) {
  int lo = 0, hi = hook_point_count - 1;
  while (lo <= hi) {
    const int probe = (lo + hi) / 2;
    if (hook_addrs[probe] < address)
      lo = probe + 1;
    else if (hook_addrs[probe] > address)
      hi = probe - 1;
    else
      return probe;
  }
  return -1;
}
constexpr int hook_slot(u32 address) { return game_hook_slot(address); }
constexpr u32 game_hook_addr(int slot) {
  return slot >= 0 && slot < hook_point_count ? hook_addrs[slot] : 0;
}
constexpr int hook_count() { return hook_point_count; }

// Stores the handler (a second registration replaces the first) and
// switches the point on. 0 when the table is full or the address is 0 (the
// registration is refused and logged), else 1.
int hook_register(u32 address, host_hook_fn handler);
void hooks_enable(u32 address, int flag);
void host_hook(u32 address);
int hook_registered(u32 address);

// Forgets every handler and switches every point off (tests).
void hooks_clear();

// The test recompiled code makes at a hook point: one byte test while off.
inline void hook_point(int slot, u32 address) {
  if (!g_cpu.hook_on[slot]) return;
  g_cpu.hook_pc = address;
  sync_regs_out();
  host_hook(address);
  sync_regs_in();
}
