// The 68000 address space of the emulated ST: 4 MB of RAM at $000000, the
// fake ROM at $E00000 and the 32 KB I/O image at $FF8000. Every address is
// taken modulo 2^24; everything outside the three spaces reads 0 and ignores
// writes. RAM is kept in the 68000's big-endian byte order.
//
// The accessors are inline because every recompiled routine goes through
// them; only addresses outside RAM reach io_read/io_write.
#pragma once
#include "machine/types.h"

constexpr u32 ram_size = 0x400000;
constexpr u32 rom_base = 0xE00000;
constexpr u32 rom_size = 0x100000;
constexpr u32 io_base = 0xFF8000;
constexpr u32 io_size = 0x8000;
constexpr u32 address_mask = 0xFFFFFF;

extern u8 g_ram[ram_size];
extern u8 g_rom[rom_size];
extern u8 g_io[io_size];
extern u8* const ram;
extern u8* const rom;
extern u8* const io;

u32 io_read(u32 addr, int size);
void io_write(u32 addr, int size, u32 value);

inline u32 rd8(u32 addr) {
  addr &= address_mask;
  if (addr < ram_size) return ram[addr];
  return io_read(addr, 1);
}

inline u32 rd16(u32 addr) {
  addr &= address_mask;
  if (addr <= ram_size - 2) return static_cast<u32>(ram[addr]) << 8 | ram[addr + 1];
  return io_read(addr, 2);
}

inline u32 rd32(u32 addr) {
  addr &= address_mask;
  if (addr <= ram_size - 4)
    return static_cast<u32>(ram[addr]) << 24 | static_cast<u32>(ram[addr + 1]) << 16 |
           static_cast<u32>(ram[addr + 2]) << 8 | ram[addr + 3];
  return io_read(addr, 4);
}

inline void wr8(u32 addr, u32 v) {
  addr &= address_mask;
  if (addr < ram_size) {
    ram[addr] = static_cast<u8>(v);
    return;
  }
  io_write(addr, 1, v);
}

inline void wr16(u32 addr, u32 v) {
  addr &= address_mask;
  if (addr <= ram_size - 2) {
    ram[addr] = static_cast<u8>(v >> 8);
    ram[addr + 1] = static_cast<u8>(v);
    return;
  }
  io_write(addr, 2, v);
}

inline void wr32(u32 addr, u32 v) {
  addr &= address_mask;
  if (addr <= ram_size - 4) {
    ram[addr] = static_cast<u8>(v >> 24);
    ram[addr + 1] = static_cast<u8>(v >> 16);
    ram[addr + 2] = static_cast<u8>(v >> 8);
    ram[addr + 3] = static_cast<u8>(v);
    return;
  }
  io_write(addr, 4, v);
}

// Host-side reads and writes of game RAM: a word or long that does not lie
// wholly inside RAM reads as 0, and such a write is skipped.
inline u32 ram_rd16(u32 addr) { return addr <= ram_size - 2 ? rd16(addr) : 0; }
inline u32 ram_rd32(u32 addr) { return addr <= ram_size - 4 ? rd32(addr) : 0; }
inline void ram_wr16(u32 addr, u32 v) { if (addr <= ram_size - 2) wr16(addr, v); }
inline void ram_wr32(u32 addr, u32 v) { if (addr <= ram_size - 4) wr32(addr, v); }

u8* get_ram();
u8* get_rom();
u8* get_io();
