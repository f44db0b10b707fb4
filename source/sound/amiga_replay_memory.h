// The replay's memory accessors: the Amiga's 512 KB of RAM in amem, every
// other address a chip register of the player. Addresses are masked to 24
// bits; a word or long that would reach past the RAM goes to the chip
// registers whole, as the player splits it.
#pragma once
#include "machine/cpu.h"
#include "sound/amiga_player.h"

namespace amiga_replay_memory {

inline u32 rd8(u32 a) {
  a &= 0xFFFFFF;
  if ((a & 0xF80000) == 0) return amem[a];
  return am_io_read(a, 1) & 0xFF;
}
inline u32 rd16(u32 a) {
  a &= 0xFFFFFF;
  if (a <= 0x7FFFE) return static_cast<u32>(amem[a] << 8 | amem[a + 1]);
  return am_io_read(a, 2) & 0xFFFF;
}
inline u32 rd32(u32 a) {
  a &= 0xFFFFFF;
  if (a <= 0x7FFFC)
    return static_cast<u32>(amem[a]) << 24 | static_cast<u32>(amem[a + 1]) << 16 |
           static_cast<u32>(amem[a + 2]) << 8 | amem[a + 3];
  return am_io_read(a, 4);
}
inline void wr8(u32 a, u32 v) {
  a &= 0xFFFFFF;
  if ((a & 0xF80000) == 0)
    amem[a] = static_cast<u8>(v);
  else
    am_io_write(a, 1, v & 0xFF);
}
inline void wr16(u32 a, u32 v) {
  a &= 0xFFFFFF;
  if (a <= 0x7FFFE) {
    amem[a] = static_cast<u8>(v >> 8);
    amem[a + 1] = static_cast<u8>(v);
  } else {
    am_io_write(a, 2, v & 0xFFFF);
  }
}
inline void wr32(u32 a, u32 v) {
  a &= 0xFFFFFF;
  if (a <= 0x7FFFC) {
    amem[a] = static_cast<u8>(v >> 24);
    amem[a + 1] = static_cast<u8>(v >> 16);
    amem[a + 2] = static_cast<u8>(v >> 8);
    amem[a + 3] = static_cast<u8>(v);
  } else {
    am_io_write(a, 4, v);
  }
}

// --- the Amiga stack ----------------------------------------------------------

inline void push32(u32 v) {
  a7 -= 4;
  wr32(a7, v);
}
inline u32 pop32() {
  const u32 v = rd32(a7);
  a7 += 4;
  return v;
}
// MOVEM.L list,-(a7) and MOVEM.L (a7)+,list (a7 itself is never listed).
inline void save_regs(u16 list) {
  for (int i = 15; i >= 0; --i)
    if (list & (1u << i)) push32(*cpu_reg[i]);
}
inline void restore_regs(u16 list) {
  for (int i = 0; i < 16; ++i)
    if (list & (1u << i)) *cpu_reg[i] = pop32();
}

} // namespace amiga_replay_memory
