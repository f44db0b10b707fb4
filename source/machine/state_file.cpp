// Machine-state files: "BKMS1", the registers and the ST emulation's
// values as big-endian fields, the I/O image, then the RAM packed by the
// state run-length code. Reading checks every count and length against the
// file before anything is taken, so a damaged or crafted file is refused
// whole and the record keeps what it held.
#include <cstdlib>
#include <cstring>
#include <memory>

#include "host/platform.h"
#include "machine/machine_state.h"

namespace {

// Field offsets of the file.
constexpr size_t off_registers = 8; // pc, vbl, sr, usp, ssp, a7, mem_top, screen_base
constexpr size_t off_d = 40;
constexpr size_t off_a = 72;
constexpr size_t off_song = 100;
constexpr size_t off_acia_count = 104;
constexpr size_t off_acia = 108;
constexpr size_t off_zone_count = 364;
constexpr size_t off_zones = 368;
constexpr size_t zone_record_size = 36;
constexpr size_t off_ym_regs = 656;
constexpr size_t off_ym_sel = 672;
constexpr size_t off_path = 676;
constexpr size_t off_io = 936;
constexpr size_t off_packed_length = 33704;
static_assert(off_packed_length + 4 == state_header_size);
static_assert(off_io + io_size == off_packed_length);
static_assert(off_zones + max_palette_zones * zone_record_size == off_ym_regs);
static_assert(off_path + tos_path_size == off_io);
constexpr size_t magic_check_length = 5; // "BKMS1"; the three bytes after it are not checked

void put32(u8* p, u32 v) {
  p[0] = static_cast<u8>(v >> 24);
  p[1] = static_cast<u8>(v >> 16);
  p[2] = static_cast<u8>(v >> 8);
  p[3] = static_cast<u8>(v);
}

u32 get32(const u8* p) {
  return static_cast<u32>(p[0]) << 24 | static_cast<u32>(p[1]) << 16 | static_cast<u32>(p[2]) << 8 | p[3];
}

struct free_deleter {
  void operator()(void* p) const { std::free(p); }
};

void write_header(const machine_state* s, u8* f) {
  std::memcpy(f, state_magic, sizeof state_magic);
  const u32 regs[8] = {s->pc, s->vbl, s->sr, s->usp, s->ssp, s->a7, s->mem_top, s->screen_base};
  for (int i = 0; i < 8; ++i) put32(f + off_registers + 4 * i, regs[i]);
  for (int i = 0; i < 8; ++i) put32(f + off_d + 4 * i, s->d[i]);
  for (int i = 0; i < 7; ++i) put32(f + off_a + 4 * i, s->a[i]);
  put32(f + off_song, static_cast<u32>(s->song));
  // Counts are kept inside their arrays, so that every written file loads.
  const i32 keys = s->acia_count < 0 ? 0 : s->acia_count > state_acia_capacity ? state_acia_capacity : s->acia_count;
  const i32 zones = s->zone_count < 0 ? 0 : s->zone_count > max_palette_zones ? max_palette_zones : s->zone_count;
  put32(f + off_acia_count, static_cast<u32>(keys));
  std::memcpy(f + off_acia, s->acia, state_acia_capacity);
  put32(f + off_zone_count, static_cast<u32>(zones));
  for (int z = 0; z < max_palette_zones; ++z) {
    u8* rec = f + off_zones + z * zone_record_size;
    put32(rec, s->zones[z].line);
    std::memcpy(rec + 4, s->zones[z].palette, sizeof s->zones[z].palette);
  }
  std::memcpy(f + off_ym_regs, s->ym_regs, sizeof s->ym_regs);
  put32(f + off_ym_sel, static_cast<u32>(s->ym_sel));
  std::memcpy(f + off_path, s->path, tos_path_size);
  // A record filled by hand may lack the terminator; the file always has it.
  f[off_path + tos_path_size - 1] = 0;
  std::memcpy(f + off_io, s->io, io_size);
}

// Fills every field but the RAM from a header already checked for size and
// magic. False when a count lies outside its array.
bool read_header(const u8* f, machine_state* s, const char* path) {
  const u32 acia_count = get32(f + off_acia_count);
  if (acia_count > state_acia_capacity) {
    host_log("State file %s refused: %u keyboard bytes (at most %d)", path, acia_count, state_acia_capacity);
    return false;
  }
  const u32 zone_count = get32(f + off_zone_count);
  if (zone_count > max_palette_zones) {
    host_log("State file %s refused: %u palette zones (at most %d)", path, zone_count, max_palette_zones);
    return false;
  }
  u32* regs[8] = {&s->pc, &s->vbl, &s->sr, &s->usp, &s->ssp, &s->a7, &s->mem_top, &s->screen_base};
  for (int i = 0; i < 8; ++i) *regs[i] = get32(f + off_registers + 4 * i);
  for (int i = 0; i < 8; ++i) s->d[i] = get32(f + off_d + 4 * i);
  for (int i = 0; i < 7; ++i) s->a[i] = get32(f + off_a + 4 * i);
  s->song = static_cast<i32>(get32(f + off_song));
  s->acia_count = static_cast<i32>(acia_count);
  std::memcpy(s->acia, f + off_acia, state_acia_capacity);
  s->zone_count = static_cast<i32>(zone_count);
  for (int z = 0; z < max_palette_zones; ++z) {
    const u8* rec = f + off_zones + z * zone_record_size;
    s->zones[z].line = get32(rec);
    std::memcpy(s->zones[z].palette, rec + 4, sizeof s->zones[z].palette);
  }
  std::memcpy(s->ym_regs, f + off_ym_regs, sizeof s->ym_regs);
  s->ym_sel = static_cast<i32>(get32(f + off_ym_sel) & 15);
  std::memcpy(s->path, f + off_path, tos_path_size);
  s->path[tos_path_size - 1] = 0;
  std::memcpy(s->io, f + off_io, io_size);
  return true;
}

} // namespace

int state_write_file(const machine_state* s, const char* path) {
  if (!s || !s->ram || !path) return 0;
  const size_t capacity = state_header_size + state_rle_bound(ram_size);
  std::unique_ptr<u8, free_deleter> file(static_cast<u8*>(std::malloc(capacity)));
  if (!file) {
    host_log("Could not save the state to %s: out of memory", path);
    return 0;
  }
  u8* f = file.get();
  write_header(s, f);
  const size_t packed = state_rle_pack(s->ram, ram_size, f + state_header_size);
  put32(f + off_packed_length, static_cast<u32>(packed));
  if (!write_file(path, f, state_header_size + packed)) {
    host_log("Could not save the state to %s", path);
    return 0;
  }
  return 1;
}

int state_read_file(machine_state* s, const char* path) {
  if (!s || !path) return 0;
  size_t size = 0;
  std::unique_ptr<char, free_deleter> bytes(read_file(path, &size, state_file_largest));
  if (!bytes) {
    host_log("State file %s could not be read", path);
    return 0;
  }
  const u8* f = reinterpret_cast<const u8*>(bytes.get());
  if (size < state_header_size || std::memcmp(f, state_magic, magic_check_length) != 0) {
    host_log("State file %s refused: not a machine state", path);
    return 0;
  }
  const u64 packed = get32(f + off_packed_length);
  if (packed == 0 || packed > size - state_header_size) {
    host_log("State file %s refused: the packed memory is %llu bytes, the file holds %llu", path,
             static_cast<unsigned long long>(packed), static_cast<unsigned long long>(size - state_header_size));
    return 0;
  }

  // Everything is taken into a scratch record first, so that a refusal
  // leaves the caller's record whole.
  std::unique_ptr<machine_state, free_deleter> scratch(
      static_cast<machine_state*>(std::malloc(sizeof(machine_state))));
  std::unique_ptr<u8, free_deleter> new_ram(static_cast<u8*>(std::malloc(ram_size)));
  if (!scratch || !new_ram) {
    host_log("State file %s could not be loaded: out of memory", path);
    return 0;
  }
  if (!read_header(f, scratch.get(), path)) return 0;
  if (!state_rle_unpack(f + state_header_size, packed, new_ram.get(), ram_size)) {
    host_log("State file %s refused: the packed memory does not give exactly %u bytes", path, ram_size);
    return 0;
  }
  u8* old_ram = s->ram;
  *s = *scratch;
  s->ram = new_ram.release();
  std::free(old_ram);
  return 1;
}
