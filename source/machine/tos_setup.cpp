// The ST at its lowest level: the record `tos`, the fake ROM (a header and
// one RTE stub per exception vector), the low-RAM layout that TOS 2.06
// leaves behind for a program, the game's patch switches and the status
// register of the suspended CPU.
#include <cstring>

#include "machine/input_log.h"
#include "machine/io_devices.h"
#include "machine/loader_hold.h"
#include "machine/memory.h"
#include "machine/tos.h"

tos_state tos;

namespace {

constexpr u32 rom_header_branch = 0x6030;
constexpr u32 tos_version = 0x0206;
constexpr u32 rom_date = 0x1989;
constexpr u16 rte_opcode = 0x4E73;
constexpr u32 rom_stub_end = 0xE00C00;

constexpr u32 initial_mem_top = 0x100000;
constexpr u32 initial_screen = 0x3F8000;
constexpr u32 vbl_queue = 0x4F40;
constexpr u32 cookie_pointer = 0x5A0;
constexpr int kbd_vectors = 10;

constexpr u32 video_base_high = 0xFF8201;
constexpr u32 video_base_mid = 0xFF8203;
constexpr u32 video_base_low = 0xFF820D;

struct system_variable {
  u32 address;
  u32 value;
};

// In the order TOS writes them; the unnamed ones are its magic numbers.
constexpr system_variable system_variables[] = {
    {0x42E, 0x00400000}, // phystop: 4 MB
    {0x432, 0x00000800}, // _membot
    {0x436, 0x003F8000}, // _memtop
    {0x44E, 0x003F8000}, // _v_bas_ad: the screen
    {0x454, 0x00000008}, // nvbls
    {0x456, vbl_queue},  // _vblqueue
    {0x4F2, 0x00E00000}, // _sysbase: the ROM header
    {0x4C6, 0x00000000}, // _dskbufp
    {0x4A6, 0x00000002}, // _nflops
    {0x4A2, 0x00000000}, // savptr
    {0x426, 0x752019F3}, // resvalid
    {0x42A, 0x237698AA}, // resvector
    {0x43A, 0x31415926}, // memval2
    {0x4C2, 0x00000004}, // _drvbits: drive C only
    {0x472, 0x00000000}, // hdv_bpb
};

struct cookie {
  char id[5];
  u32 value;
};

constexpr cookie cookies[] = {
    {"_CPU", 0}, {"_VDO", 0x00010000}, {"_MCH", 0x00010000}, {"_SND", 2}, {"_FPU", 0},
};

void rom_put16(u32 address, u32 v) {
  rom[address - rom_base] = static_cast<u8>(v >> 8);
  rom[address - rom_base + 1] = static_cast<u8>(v);
}

void build_rom() {
  std::memset(rom, 0, rom_size);
  rom_put16(0xE00000, rom_header_branch);
  rom_put16(0xE00002, tos_version);
  rom_put16(0xE00008, rom_base >> 16);
  rom_put16(0xE0000A, rom_base & 0xFFFF);
  rom_put16(0xE0001A, rom_date);
  for (u32 a = rom_vector_stubs; a < rom_stub_end; a += 2) rom_put16(a, rte_opcode);
}

void set_video_base(u32 base) {
  io_write(video_base_high, 1, base >> 16);
  io_write(video_base_mid, 1, base >> 8);
  io_write(video_base_low, 1, base);
}

} // namespace

void tos_init(const char* game_dir) {
  loader_hold_reset();
  std::memset(&tos, 0, sizeof tos);
  if (game_dir) {
    std::strncpy(tos.game_dir, game_dir, tos_path_size - 1);
    tos.game_dir[tos_path_size - 1] = 0;
  }
  tos.kbdvbase = kbdvbase_table;
  tos.vbl_rate = 50;
  tos.mem_top = initial_mem_top;
  tos.screen_base = initial_screen;
  tos.song = -1;
  for (i32& v : tos.wait_vbl_at) v = -99;
  cpu_reset_io();
  std::memset(ram, 0, ram_size);
  build_rom();
  g_cpu.sr_sys = 0x2700;
  g_cpu.isr_frame = 0;
}

void tos_machine_init() {
  for (u32 n = 0; n < 256; ++n) wr32(4 * n, vector_stub(n));
  for (const system_variable& v : system_variables) wr32(v.address, v.value);
  wr8(0x424, 10); // memctrl
  u32 at = cookie_jar;
  for (const cookie& c : cookies) {
    for (int i = 0; i < 4; ++i) wr8(at + i, static_cast<u8>(c.id[i]));
    wr32(at + 4, c.value);
    at += 8;
  }
  wr32(at, 0);
  wr32(at + 4, 0);
  wr32(cookie_pointer, cookie_jar);
  for (u32 k = 0; k < kbd_vectors; ++k) wr32(kbdvbase_table + 4 * k, rom_kbd_stubs + 4 * k);
  wr32(vbl_queue, 0);
  tos.kbdvbase = kbdvbase_table;
  tos.screen_base = initial_screen;
  set_video_base(initial_screen);
}

void tos_set_patch(int index, int on) {
  tos_ilog('F', index, on);
  if (static_cast<unsigned>(index) < 8) g_cpu.patch_flags[index] = on != 0;
}

void cpu_set_sr(u32 sr) {
  if ((sr ^ static_cast<u32>(g_cpu.sr_sys)) & 0x2000) {
    const u32 t = g_cpu.a[7];
    g_cpu.a[7] = g_cpu.other_sp;
    g_cpu.other_sp = t;
  }
  g_cpu.sr_sys = static_cast<i32>(sr & 0xFF00);
  g_cpu.fc = sr & 1;
  g_cpu.fv = (sr >> 1) & 1;
  g_cpu.fz = (sr >> 2) & 1;
  g_cpu.fn = (sr >> 3) & 1;
  g_cpu.fx = (sr >> 4) & 1;
}
