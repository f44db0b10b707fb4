// TOS trap service: BIOS (TRAP #13) and XBIOS (TRAP #14) as far as the game
// uses them, Line-A initialisation, and exception entry into the game's own
// handlers. Arguments are read from the game's stack; anything that does not
// lie wholly inside RAM reads as 0.
#include "machine/tos_traps.h"

#include "host/platform.h"
#include "machine/cpu.h"
#include "machine/memory.h"
#include "machine/tos.h"

namespace {

constexpr u32 opcode_trap = 0x4E40;
constexpr u32 opcode_illegal = 0x4AFC;
constexpr u32 opcode_line_a_init = 0xA000;

constexpr u32 line_a_variables = 0x4E00;
constexpr u32 line_a_fonts = 0x4E80;
constexpr u32 line_a_routines = 0x4EC0;

constexpr u32 palette_registers = 0xFF8240;
constexpr u32 video_base_high = 0xFF8201;
constexpr u32 video_base_mid = 0xFF8203;
constexpr u32 video_base_low = 0xFF820D;

enum bios_function : u32 {
  bios_bconstat = 1, bios_bconin = 2, bios_setexc = 5, bios_tickcal = 6, bios_bcostat = 8, bios_drvmap = 10,
};
enum xbios_function : u32 {
  xbios_physbase = 2, xbios_logbase = 3, xbios_setscreen = 5, xbios_setpalette = 6, xbios_setcolor = 7,
  xbios_floprd = 8, xbios_random = 17, xbios_gettime = 23, xbios_kbdvbase = 34, xbios_vsync = 37,
};

// Console status polls since the program started, shared by BIOS Bconstat
// and GEMDOS Cconis and Crawio input.
u32 polls;

// Reads of game RAM by the host: 64-bit sums, so that no address wraps back
// into RAM.
u32 arg16(u64 addr) { return addr + 2 <= ram_size ? rd16(static_cast<u32>(addr)) : 0; }
u32 arg32(u64 addr) { return addr + 4 <= ram_size ? rd32(static_cast<u32>(addr)) : 0; }
u32 arg8(u64 addr) { return addr < ram_size ? rd8(static_cast<u32>(addr)) : 0; }

u32 full_sr() {
  return static_cast<u32>(g_cpu.sr_sys) | (g_cpu.fx & 1) << 4 | (g_cpu.fn & 1) << 3 | (g_cpu.fz & 1) << 2 |
         (g_cpu.fv & 1) << 1 | (g_cpu.fc & 1);
}

int unsupported(u32 opcode, u32 f) {
  host_log("unsupported instruction %04X at %06X", opcode, f & 0xFFFFFF);
  return -1;
}

} // namespace

// No key ever waits; a game polling the console gives the host the slice
// back every fourth poll.
void tos_console_poll() {
  if (++polls % 4 == 0) stop_flag = 1;
}

void tos_exception(u32 vector, u32 return_address) {
  const u32 old = full_sr();
  cpu_set_sr((old & ~0xA000u) | 0x2000);
  const u32 sp = g_cpu.a[7];
  ram_wr16(sp - 6, old);
  ram_wr32(sp - 4, return_address);
  g_cpu.a[7] = sp - 6;
  g_cpu.pc = arg32(static_cast<u64>(vector) * 4);
}

i32 tos_bios(u32 function, u32 sp) {
  switch (function) {
    case bios_bconstat: tos_console_poll(); return 0;
    case bios_bconin: stop_flag = 1; return 0;
    case bios_setexc: {
      const u32 vector_address = arg16(sp + u64{2}) * 4;
      const u32 handler = arg32(sp + u64{4});
      const u32 old = arg32(vector_address);
      if (handler != 0xFFFFFFFF) ram_wr32(vector_address, handler);
      return static_cast<i32>(old);
    }
    case bios_tickcal: return 20;
    case bios_bcostat: return -1;
    case bios_drvmap: return 4;
    default: return 0;
  }
}

i32 tos_xbios(u32 function, u32 sp) {
  switch (function) {
    case xbios_physbase:
    case xbios_logbase: return static_cast<i32>(tos.screen_base);
    case xbios_setscreen: {
      const u32 physical = arg32(sp + u64{6});
      if (physical != 0 && physical != 0xFFFFFFFF) {
        tos.screen_base = physical;
        io_write(video_base_high, 1, physical >> 16);
        io_write(video_base_mid, 1, physical >> 8);
        io_write(video_base_low, 1, physical);
      }
      return 0;
    }
    case xbios_setpalette: {
      const u32 colours = arg32(sp + u64{2});
      for (u32 i = 0; i < 32; ++i) io_write(palette_registers + i, 1, arg8(u64{colours} + i));
      return 0;
    }
    case xbios_setcolor: {
      const u32 reg = arg16(sp + u64{2}) & 15;
      const u32 colour = arg16(sp + u64{4});
      if (colour != 0xFFFF) io_write(palette_registers + 2 * reg, 2, colour);
      return 0;
    }
    case xbios_floprd: return -1;
    case xbios_random: return static_cast<i32>(static_cast<u64>(now_s() * 1000) & 0xFFFFFF);
    case xbios_gettime: return 0x2A2B2A2B;
    case xbios_kbdvbase: return static_cast<i32>(tos.kbdvbase);
    case xbios_vsync: stop_flag = 1; return 0;
    default: return 0;
  }
}

int tos_serve_trap(u32 f) {
  f &= 0xFFFFFF;
  g_cpu.pc = f;
  if (f + 1 >= ram_size) return unsupported(0, f);
  const u32 opcode = rd16(f);

  if ((opcode & 0xFFF0) == opcode_trap) {
    const u32 n = opcode & 15;
    if (arg32(4 * (vector_trap0 + n)) != vector_stub(vector_trap0 + n)) {
      tos_exception(vector_trap0 + n, f + 2);
      return 0;
    }
    const u32 sp = g_cpu.a[7];
    const u32 function = arg16(sp);
    i32 result = 0;
    if (n == 1)
      result = gemdos(function, sp);
    else if (n == 13)
      result = tos_bios(function, sp);
    else if (n == 14)
      result = tos_xbios(function, sp);
    g_cpu.d[0] = static_cast<u32>(result);
    if (!tos.terminated) g_cpu.pc = f + 2;
    return 0;
  }
  if ((opcode & 0xF000) == 0xA000) {
    if (opcode == opcode_line_a_init) {
      g_cpu.d[0] = g_cpu.a[0] = line_a_variables;
      g_cpu.a[1] = line_a_fonts;
      g_cpu.a[2] = line_a_routines;
    }
    g_cpu.pc = f + 2;
    return 0;
  }
  if (opcode == opcode_illegal) {
    tos_exception(vector_illegal, f);
    return 0;
  }
  return unsupported(opcode, f);
}
