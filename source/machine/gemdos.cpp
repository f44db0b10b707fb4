// GEMDOS (TRAP #1) as the host serves it while the game leaves the ROM's
// trap vector in place: files through the virtual game file and the game
// folder, console input that never has a key (it ends the slice instead of
// blocking), a bump allocator, and Super on the suspended CPU record.
#include "machine/gemdos.h"

#include "machine/cpu.h"
#include "machine/memory.h"
#include "machine/tos.h"

namespace {

enum gemdos_function : u32 {
  Pterm0 = 0,
  Cconin = 1,
  Crawio = 6,
  Crawcin = 7,
  Cnecin = 8,
  Cconis = 11,
  Dsetdrv = 14,
  Dgetdrv = 25,
  Fsetdta = 26,
  Super = 32,
  Tgetdate = 42,
  Tgettime = 44,
  Fgetdta = 47,
  Dsetpath = 59,
  Fopen = 61,
  Fclose = 62,
  Fread = 63,
  Fseek = 66,
  Mxalloc = 68,
  Malloc = 72,
  Pterm = 76,
  Fsfirst = 78,
  Fsnext = 79,
};

constexpr u32 crawio_input = 0x00FF;
constexpr i32 drive_map = 4;     // drive C only
constexpr i32 current_drive = 2; // C:
constexpr i32 fixed_date_time = 0x2A2B;
constexpr u32 malloc_query = 0xFFFFFFFF;
constexpr i32 malloc_largest_block = 0x200000;
constexpr u32 sr_supervisor = 0x2000;

// Arguments follow the function word; one that does not lie wholly inside
// RAM reads as 0.
u32 arg_word(u32 sp, u32 offset) { return ram_rd16(sp + offset); }
u32 arg_long(u32 sp, u32 offset) { return ram_rd32(sp + offset); }

// A name from RAM: up to its NUL, at most gemdos_name_max characters, ending
// at the end of RAM.
void arg_string(u32 address, char (&out)[gemdos_name_max + 1]) {
  int n = 0;
  for (u32 a = address; n < gemdos_name_max && a < ram_size && ram[a]; ++a) out[n++] = static_cast<char>(ram[a]);
  out[n] = 0;
}

void terminate() {
  tos.terminated = 1;
  stop_flag = 1;
}

i32 malloc_bump(u32 amount) {
  if (amount == malloc_query) return malloc_largest_block;
  const u32 block = (tos.mem_top + 15) & ~u32{15};
  tos.mem_top = block + amount;
  return static_cast<i32>(block);
}

// The mode change and stack swap go through cpu_set_sr on the suspended
// record.
i32 super(u32 stack) {
  const u32 sr = static_cast<u32>(g_cpu.sr_sys) | (g_cpu.fx & 1) << 4 | (g_cpu.fn & 1) << 3 |
                 (g_cpu.fz & 1) << 2 | (g_cpu.fv & 1) << 1 | (g_cpu.fc & 1);
  const bool supervisor = (sr & sr_supervisor) != 0;
  if (stack != 0) {
    if (supervisor) {
      // The current a7 becomes the user stack, the argument the supervisor's.
      g_cpu.other_sp = g_cpu.a[7];
      g_cpu.a[7] = stack;
      cpu_set_sr(sr & ~sr_supervisor);
    } else {
      g_cpu.other_sp = stack;
    }
    return 0;
  }
  if (supervisor) return -1;
  const u32 old_ssp = g_cpu.other_sp;
  const u32 usp = g_cpu.a[7];
  cpu_set_sr(sr | sr_supervisor);
  g_cpu.a[7] = usp;
  return static_cast<i32>(old_ssp);
}

} // namespace

i32 gemdos(u32 function, u32 sp) {
  char name[gemdos_name_max + 1];
  switch (function) {
    case Pterm0:
    case Pterm: terminate(); return 0;
    case Cconin:
    case Crawcin:
    case Cnecin: stop_flag = 1; return 0;
    case Crawio:
      if (arg_word(sp, 2) == crawio_input) tos_console_poll();
      return 0;
    case Cconis: tos_console_poll(); return 0;
    case Dsetdrv: return drive_map;
    case Dgetdrv: return current_drive;
    case Fsetdta: tos.dta = arg_long(sp, 2); return 0;
    case Super: return super(arg_long(sp, 2));
    case Tgetdate:
    case Tgettime: return fixed_date_time;
    case Fgetdta: return static_cast<i32>(tos.dta);
    case Dsetpath: arg_string(arg_long(sp, 2), name); return gemdos_dsetpath(name);
    case Fopen: arg_string(arg_long(sp, 2), name); return gemdos_fopen(name);
    case Fclose: return gemdos_fclose(arg_word(sp, 2));
    case Fread: return gemdos_fread(arg_word(sp, 2), arg_long(sp, 4), arg_long(sp, 8));
    case Fseek: return gemdos_fseek(static_cast<i32>(arg_long(sp, 2)), arg_word(sp, 6), arg_word(sp, 8));
    case Mxalloc:
    case Malloc: return malloc_bump(arg_long(sp, 2));
    case Fsfirst:
    case Fsnext: return gemdos_no_more_files;
    default: return 0;
  }
}
