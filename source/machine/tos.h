// The emulated Atari ST beside the CPU: the record `tos` with the VBL
// counter, the raster palette splits of the current frame, the GEMDOS
// state and the timers' carries; the fake ROM with one RTE stub per vector;
// the TOS layout of low RAM; the game's patch switches.
#pragma once
#include "machine/cpu.h"

constexpr int max_palette_zones = 8;
constexpr int tos_path_size = 260;
constexpr int isr_times_capacity = 512;

// ROM addresses the machine relies on.
constexpr u32 rom_vector_stubs = 0xE00800; // the RTE stub of vector n is at +4n
constexpr u32 rom_kbd_stubs = 0xE00900;
constexpr u32 kbdvbase_table = 0x4F00;
constexpr u32 cookie_jar = 0x4F80;
constexpr u32 vector_stub(u32 n) { return rom_vector_stubs + 4 * n; }

struct palette_zone {
  u32 line;        // first screen line of the split, 0 = top
  u8 palette[32];  // $FF8240-$FF825E as the I/O image holds them (big-endian)
};

struct tos_state {
  u32 vbl;
  i32 zone_count;
  palette_zone zones[max_palette_zones];
  i32 terminated;
  u32 mem_top;
  u32 screen_base;
  u32 kbdvbase;
  u32 dta;
  char path[tos_path_size];
  char game_dir[tos_path_size];
  double vbl_rate;
  double timer_c_carry;
  i32 song;
  i32 wait_vbl_at[3];
  double isr_times[isr_times_capacity];
  i32 isr_time_count;
};

extern tos_state tos;

void tos_init(const char* game_dir);
void tos_machine_init();
void tos_set_patch(int index, int on);
void cpu_set_sr(u32 sr);

// Set by a trap service that wants the slice to end after it; cleared at the
// start of every slice.
extern int stop_flag;
// Counts one console status poll (BIOS Bconstat, GEMDOS Cconis and Crawio
// input share the count); every fourth poll sets stop_flag.
void tos_console_poll();
// Forgets the keyboard command bytes being collected and the slice's stop
// request; called when a machine state is loaded.
void tos_reset_pending();

// GEMDOS (TRAP #1) served by the host: function number, the stack pointer
// at the trap (arguments follow at sp + 2); the result goes to d0.
i32 gemdos(u32 function, u32 sp);
