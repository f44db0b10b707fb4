// Machine-state records: making, copying and freeing them, and moving the
// live machine into and out of one.
#include "machine/machine_state.h"

#include <cstdlib>
#include <cstring>

#include "machine/coroutine.h"
#include "machine/cpu.h"
#include "machine/io_devices.h"

namespace {

constexpr u32 sr_supervisor = 0x2000;

// Two words of game code that a state may hold in their patched form: the
// entry of the player's death routine (an early RTS) and the branch inside
// the enemy script step (the script fix). Loading puts the game's own back.
struct code_word {
  u32 address;
  u16 patched;
  u16 original;
};
constexpr code_word restored_code_words[] = {
    {0x00AA42, 0x4E75, 0x48E7},
    {0x00B13E, 0x6086, 0x4E75},
};

} // namespace

machine_state* state_new() {
  auto* s = static_cast<machine_state*>(std::calloc(1, sizeof(machine_state)));
  if (!s) return nullptr;
  s->ram = static_cast<u8*>(std::malloc(ram_size));
  if (!s->ram) {
    std::free(s);
    return nullptr;
  }
  s->song = -1;
  return s;
}

void state_free(machine_state* s) {
  if (!s) return;
  std::free(s->ram);
  std::free(s);
}

machine_state* state_clone(const machine_state* s) {
  if (!s) return nullptr;
  auto* c = static_cast<machine_state*>(std::malloc(sizeof(machine_state)));
  if (!c) return nullptr;
  *c = *s;
  c->ram = static_cast<u8*>(std::malloc(ram_size));
  if (!c->ram) {
    std::free(c);
    return nullptr;
  }
  if (s->ram)
    std::memcpy(c->ram, s->ram, ram_size);
  else
    std::memset(c->ram, 0, ram_size);
  return c;
}

void tos_save_state(machine_state* s) {
  if (!s || !s->ram) return;
  std::memcpy(s->ram, g_ram, ram_size);
  std::memcpy(s->io, g_io, io_size);
  for (int i = 0; i < 8; ++i) s->d[i] = g_cpu.d[i];
  for (int i = 0; i < 7; ++i) s->a[i] = g_cpu.a[i];
  s->a7 = g_cpu.a[7];
  s->pc = g_cpu.pc;
  s->sr = static_cast<u32>(g_cpu.sr_sys) | (g_cpu.fx & 1) << 4 | (g_cpu.fn & 1) << 3 | (g_cpu.fz & 1) << 2 |
          (g_cpu.fv & 1) << 1 | (g_cpu.fc & 1);
  if (s->sr & sr_supervisor) {
    s->ssp = g_cpu.a[7];
    s->usp = g_cpu.other_sp;
  } else {
    s->usp = g_cpu.a[7];
    s->ssp = g_cpu.other_sp;
  }

  s->vbl = tos.vbl;
  s->mem_top = tos.mem_top;
  s->screen_base = tos.screen_base;
  std::memcpy(s->path, tos.path, tos_path_size);
  s->path[tos_path_size - 1] = 0;
  s->song = tos.song;
  const int zones = tos.zone_count < 0 ? 0 : tos.zone_count > max_palette_zones ? max_palette_zones : tos.zone_count;
  s->zone_count = zones;
  std::memcpy(s->zones, tos.zones, sizeof(palette_zone) * zones);

  std::memcpy(s->ym_regs, get_ym_regs(), sizeof s->ym_regs);
  s->ym_sel = get_ym_sel();

  int n = acia_len();
  if (n > state_acia_capacity) n = state_acia_capacity;
  for (int i = 0; i < n; ++i) s->acia[i] = static_cast<u8>(acia_peek(i));
  s->acia_count = n;
}

void tos_load_state(const machine_state* s) {
  if (!s || !s->ram) return;
  std::memcpy(g_ram, s->ram, ram_size);
  std::memcpy(g_io, s->io, io_size);
  for (int i = 0; i < 8; ++i) g_cpu.d[i] = s->d[i];
  for (int i = 0; i < 7; ++i) g_cpu.a[i] = s->a[i];
  g_cpu.a[7] = s->a7;
  g_cpu.sr_sys = static_cast<i32>(s->sr & 0xFF00);
  g_cpu.fx = (s->sr >> 4) & 1;
  g_cpu.fn = (s->sr >> 3) & 1;
  g_cpu.fz = (s->sr >> 2) & 1;
  g_cpu.fv = (s->sr >> 1) & 1;
  g_cpu.fc = s->sr & 1;
  g_cpu.other_sp = (s->sr & sr_supervisor) ? s->usp : s->ssp;
  g_cpu.pc = s->pc;

  // A record made in memory is trusted no more than a file: counts are kept
  // inside their arrays.
  tos.vbl = s->vbl;
  tos.mem_top = s->mem_top;
  tos.screen_base = s->screen_base;
  std::memcpy(tos.path, s->path, tos_path_size);
  tos.path[tos_path_size - 1] = 0;
  const int zones = s->zone_count < 0 ? 0 : s->zone_count > max_palette_zones ? max_palette_zones : s->zone_count;
  tos.zone_count = zones;
  std::memcpy(tos.zones, s->zones, sizeof(palette_zone) * zones);
  tos.song = s->song;

  set_ym_regs(s->ym_regs);
  set_ym_sel(s->ym_sel & 15);
  ym_clear();

  acia_clear();
  const int keys = s->acia_count < 0 ? 0 : s->acia_count > state_acia_capacity ? state_acia_capacity : s->acia_count;
  for (int i = 0; i < keys; ++i) acia_push(s->acia[i]);

  core_reset();

  g_cpu.vbl_wait_armed = 0;
  g_cpu.vbl_flag = 0;
  tos_reset_pending();

  for (const code_word& w : restored_code_words)
    if (ram_rd16(w.address) == w.patched) ram_wr16(w.address, w.original);
}
