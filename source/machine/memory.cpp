#include "machine/memory.h"

#include <cstring>

#include "machine/cpu.h"
#include "machine/io_devices.h"

u8 g_ram[ram_size];
u8 g_rom[rom_size];
u8 g_io[io_size];
u8* const ram = g_ram;
u8* const rom = g_rom;
u8* const io = g_io;

namespace {

constexpr u32 acia_kbd_status = 0xFFFC00;
constexpr u32 acia_kbd_data = 0xFFFC02;
constexpr u32 acia_midi_status = 0xFFFC04;
// The sound chip answers across $FF8800-$FF88FF: at an even address with
// bit 1 clear it takes a register select (and reads back the selected
// register), with bit 1 set a data write; odd addresses never reach it. A
// word, long or MOVEP write therefore selects and writes in one go.
constexpr u32 ym_first = 0xFF8800;
constexpr u32 ym_last = 0xFF88FF;
constexpr bool ym_port(u32 addr) { return addr >= ym_first && addr <= ym_last && (addr & 1) == 0; }
constexpr bool ym_select_port(u32 addr) { return ym_port(addr) && (addr & 2) == 0; }

u8 ym_regs[16];
int ym_sel;
ym_event ym_ev[ym_log_capacity];
int ym_n;

u8 rxq[rx_capacity];
int rx_n, rx_h;
u8 txq[tx_capacity];
int tx_n;

// Brings the image byte of a register with read behaviour up to date.
void refresh_register(u32 addr) {
  u8& cell = g_io[addr & (io_size - 1)];
  switch (addr) {
    case acia_kbd_status: cell = rx_n > 0 ? 0x83 : 0x02; break;
    case acia_kbd_data:
      if (rx_n > 0) {
        cell = rxq[rx_h];
        rx_h = (rx_h + 1) % rx_capacity;
        --rx_n;
      } else {
        cell = 0;
      }
      break;
    case acia_midi_status: cell = 0x02; break;
    default: break;
  }
}

void ym_log(u8 reg, u8 value) {
  if (ym_n >= ym_log_capacity) return;
  ym_ev[ym_n++] = {g_cpu.sub_vbl_time, reg, value};
}

void ym_write(u32 addr, u8 byte) {
  if (!(addr & 2)) {
    ym_sel = byte > 15 ? 15 : byte;
    return;
  }
  ym_regs[ym_sel] = byte;
  const bool tagged = g_ym_tag != 0;
  g_ym_tag = 0;
  if (tagged && ym_sel >= 7 && ym_sel <= 9)
    ym_log(static_cast<u8>(16 + ym_sel), byte);
  else if (ym_sel <= 13)
    ym_log(static_cast<u8>(ym_sel), byte);
}

} // namespace

u32 g_ym_tag;

u32 io_read(u32 addr, int size) {
  addr &= address_mask;
  if (size < 1) return 0;
  if (addr >= rom_base && addr < rom_base + rom_size) {
    u32 v = 0;
    for (int i = 0; i < size && addr + i < rom_base + rom_size; ++i)
      v = v << 8 | rom[addr - rom_base + i];
    return v;
  }
  if (addr >= io_base) {
    refresh_register(addr);
    u32 v = 0;
    for (int i = 0; i < size && addr + i <= address_mask; ++i) {
      u8& cell = io[(addr + i) & (io_size - 1)];
      if (ym_select_port(addr + i)) cell = ym_regs[ym_sel];
      v = v << 8 | cell;
    }
    return v;
  }
  return 0;
}

void io_write(u32 addr, int size, u32 value) {
  addr &= address_mask;
  if (addr < io_base || size < 1) return;
  for (int i = 0; i < size && addr + i <= address_mask; ++i) {
    const u8 byte = static_cast<u8>(value >> (8 * (size - 1 - i)));
    io[(addr + i) & (io_size - 1)] = byte;
    if (ym_port(addr + i)) ym_write(addr + i, byte);
  }
  if (addr == acia_kbd_data && tx_n < tx_capacity) txq[tx_n++] = static_cast<u8>(value);
}

int ym_take(ym_event* dst, int n) {
  if (n < 0) n = 0;
  int k = n < ym_n ? n : ym_n;
  if (k > 0) {
    std::memcpy(dst, ym_ev, sizeof(ym_event) * k);
    std::memmove(ym_ev, ym_ev + k, sizeof(ym_event) * (ym_n - k));
    ym_n -= k;
  }
  return k;
}

int ym_pending() { return ym_n; }
int ym_ev_size() { return static_cast<int>(sizeof(ym_event)); }
void ym_clear() { ym_n = 0; }
const u8* get_ym_regs() { return ym_regs; }
int get_ym_sel() { return ym_sel; }
void set_ym_sel(int sel) { ym_sel = sel & 15; }
void set_ym_regs(const u8* regs) { std::memcpy(ym_regs, regs, sizeof ym_regs); }

void acia_push(u8 byte) {
  if (rx_n >= rx_capacity) return;
  rxq[(rx_h + rx_n) % rx_capacity] = byte;
  ++rx_n;
}

int acia_len() { return rx_n; }

int acia_peek(int i) {
  if (i < 0 || i >= rx_n) return -1;
  return rxq[(rx_h + i) % rx_capacity];
}

void acia_clear() { rx_n = rx_h = 0; }

int ikbd_take(u8* dst, int max) {
  int k = max < tx_n ? max : tx_n;
  if (k > 0) std::memcpy(dst, txq, k);
  tx_n = 0;
  return k < 0 ? 0 : k;
}

void cpu_reset_io() {
  std::memset(g_io, 0, sizeof g_io);
  std::memset(ym_regs, 0, sizeof ym_regs);
  ym_sel = 0;
  ym_n = 0;
  tx_n = 0;
  rx_n = rx_h = 0;
}

u8* get_ram() { return g_ram; }
u8* get_rom() { return g_rom; }
u8* get_io() { return g_io; }
