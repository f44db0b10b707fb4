// The boot state. The game never boots from a disk here: its program block
// is copied from the game data to $2C00 and to the disk cache at $81000,
// the few bytes its loader would have set are patched in, the hardware is
// left as the loader leaves it, and the CPU stands at $2C00 with the
// loader's registers.
#include "machine/boot_state.h"

#include <array>
#include <cstring>
#include <memory>
#include <new>

#include "game/resident_ram.h"
#include "host/platform.h"
#include "machine/cpu.h"
#include "machine/game_data.h"
#include "machine/memory.h"
#include "machine/tos.h"

namespace {

struct loader_patch {
  u32 address;
  u16 length;
  u8 bytes[26];
};

// What the loader leaves in RAM besides the program, applied in this order.
constexpr loader_patch loader_data[] = {
    // The data file's name, then the sector loader's cache range (empty),
    // disk size, cache buffer, window size and whole-disk flag.
    {0x0020EA, 26, {'B', 'K', 'M', 0x00,                        //
                    0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, //
                    0x00, 0x0C, 0x80, 0x00, 0x00, 0x08, 0x10, 0x00, //
                    0x00, 0x0C, 0x80, 0x00, 0xFF, 0x00}},
    // The sector loader's miss vector: the resident loader code.
    {0x00217A, 4, {0x00, 0x3F, 0x80, 0x00}},
    {0x3F8008, 2, {0x0F, 0xCE}},
    {0x3F8083, 1, {0x03}},
    // Resident loader data; $3E20B4 is the copy of low memory made below.
    {0x3F8094, 16, {0x00, 0x3E, 0x20, 0xB4, 0x07, 0x4C, 0xFF, 0x00, 0x00, 0x3C, 0xC1, 0x68, 0x00, 0x3F, 0x7F, 0x24}},
    {0x3F80AF, 1, {0x00}},
};

struct io_byte {
  u32 address;
  u8 value;
};
// Screen at $078000, the loader's picture palette, the keyboard ACIA idle
// with its last byte.
constexpr io_byte boot_io[] = {
    {0xFF8201, 0x07}, {0xFF8203, 0x80}, {0xFF820D, 0x00}, {0xFF8E21, 0xFC},
    {0xFFFC00, 0x02}, {0xFFFC02, 0x13},
};
constexpr u32 palette_registers = 0xFF8240;
constexpr u16 boot_background_colour = 0x0562;
constexpr u16 boot_other_colours = 0x0007;

constexpr u32 vbl_clock = 0x462;
constexpr u32 frame_clock = 0x466;
constexpr u32 hz200_clock = 0x4BA;
constexpr u32 boot_vbl = 13;
constexpr u32 boot_hz200 = 0x34;

// The loader keeps a copy of low memory for the resident code.
constexpr u32 low_memory_from = 0x000008;
constexpr u32 low_memory_size = 20472; // up to $004FFF
constexpr u32 low_memory_copy = 0x3E20B4;

constexpr u32 boot_screen_base = 0x78000;
constexpr const char* boot_path = "FILES";
constexpr u32 boot_sr = 0x2700;
constexpr std::array<u32, 8> boot_d = {0x00000000, 0x00004E00, 0x0030FFFF, 0x00100000,
                                       0x00070007, 0x00070007, 0x00070007, 0x00080007};
constexpr std::array<u32, 8> boot_a = {0x001492A0, 0x00007A68, 0x000022BC, 0x00149204,
                                       0x003F98E0, 0x00000000, 0x003F7F24, 0x00002400};

// The image only: a write through io_write would also send a byte to the
// keyboard processor.
void io_poke(u32 address, u8 value) { g_io[address & (io_size - 1)] = value; }

} // namespace

machine_state* boot_state_make(const char* game_dir) {
  // Everything that can fail is done before the machine is touched.
  std::unique_ptr<u8[]> block(new (std::nothrow) u8[boot_block_size]);
  if (!block || game_data_read(boot_block_offset, block.get(), boot_block_size) < boot_block_size) {
    host_log("Boot: the required game data block is unavailable");
    return nullptr;
  }
  state_ptr state(state_new());
  if (!state) {
    host_log("Boot: out of memory");
    return nullptr;
  }

  tos_init(game_dir);
  std::memset(g_ram, 0, ram_size);
  std::memset(g_io, 0, io_size);
  tos_machine_init();

  std::memcpy(g_ram + boot_disk_copy_address, block.get(), boot_block_size);
  std::memcpy(g_ram + boot_program_address, block.get(), boot_block_size);

  for (const loader_patch& p : loader_data) std::memcpy(g_ram + p.address, p.bytes, p.length);
  // The host reads a trap's opcode from RAM: every GEMDOS call site of the
  // resident code holds its TRAP #1 (the loader leaves only three of them,
  // and a seek, a split transfer or a directory search would fail).
  for (u32 site : resident::gemdos_trap_sites) ram_wr16(site, resident::trap1_opcode);

  for (const io_byte& b : boot_io) io_poke(b.address, b.value);
  for (u32 i = 0; i < 16; ++i) {
    const u16 colour = i == 0 ? boot_background_colour : boot_other_colours;
    io_poke(palette_registers + 2 * i, static_cast<u8>(colour >> 8));
    io_poke(palette_registers + 2 * i + 1, static_cast<u8>(colour));
  }

  ram_wr32(vbl_clock, boot_vbl);
  ram_wr32(frame_clock, boot_vbl);
  ram_wr32(hz200_clock, boot_hz200);
  std::memmove(g_ram + low_memory_copy, g_ram + low_memory_from, low_memory_size);

  tos.screen_base = boot_screen_base;
  std::memset(tos.path, 0, sizeof tos.path);
  std::memcpy(tos.path, boot_path, std::strlen(boot_path));
  tos.vbl = boot_vbl;

  // The hook enables are the host's configuration, not the game's state.
  std::array<u8, hook_enable_bytes> hooks;
  std::memcpy(hooks.data(), g_cpu.hook_on, hook_enable_bytes);
  std::memset(&g_cpu, 0, sizeof g_cpu);
  std::memcpy(g_cpu.hook_on, hooks.data(), hook_enable_bytes);
  g_cpu.sr_sys = static_cast<i32>(boot_sr);
  g_cpu.pc = boot_program_address;
  for (int i = 0; i < 8; ++i) g_cpu.d[i] = boot_d[i];
  for (int i = 0; i < 8; ++i) g_cpu.a[i] = boot_a[i];

  tos_save_state(state.get());
  return state.release();
}
