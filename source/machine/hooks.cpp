#include "machine/hooks.h"

#include <cstring>

#include "host/platform.h"

namespace {

constexpr int table_size = 512;

struct hook_entry {
  u32 address; // 0 = free
  host_hook_fn handler;
};

hook_entry htab[table_size];

int hash_of(u32 address) { return static_cast<int>(((address * 0x9E3779B1u) >> 12) & (table_size - 1)); }

// The slot holding the address, or the first free slot on its probe path,
// or -1 when the table is full and the address is not in it.
int probe(u32 address) {
  int slot = hash_of(address);
  for (int i = 0; i < table_size; ++i) {
    if (htab[slot].address == address || htab[slot].address == 0) return slot;
    slot = (slot + 1) & (table_size - 1);
  }
  return -1;
}

} // namespace

int hook_register(u32 address, host_hook_fn handler) {
  // Address 0 marks a free entry of the table: it can be neither stored nor
  // found, and no hook point lies there.
  if (address == 0) {
    host_log("WARNING: address %06X has no hook in the generated code", address);
    return 0;
  }
  const int slot = probe(address);
  if (slot < 0) {
    host_log("hook table full: handler for %06X refused", address & 0xFFFFFF);
    return 0;
  }
  htab[slot] = {address, handler};
  const int point = game_hook_slot(address);
  if (point >= 0)
    g_cpu.hook_on[point] = 1;
  else
    host_log("WARNING: address %06X has no hook in the generated code", address & 0xFFFFFF);
  return 1;
}

void hooks_enable(u32 address, int flag) {
  const int point = game_hook_slot(address);
  if (point >= 0) g_cpu.hook_on[point] = flag != 0;
}

void host_hook(u32 address) {
  const int slot = probe(address);
  if (slot >= 0 && htab[slot].address == address && htab[slot].handler) htab[slot].handler(address);
}

int hook_registered(u32 address) {
  if (address == 0) return 0;
  const int slot = probe(address);
  return slot >= 0 && htab[slot].address == address;
}

void hooks_clear() {
  std::memset(htab, 0, sizeof htab);
  std::memset(g_cpu.hook_on, 0, sizeof g_cpu.hook_on);
}
