// Machine states: complete snapshots of the emulated machine taken between
// two slices (RAM, I/O image, registers, the ST emulation's live values,
// queued keyboard bytes, YM registers, the current song), kept in memory
// for rewind and crash recovery and written to files with the magic "BKMS1"
// (save slots, crash snapshots, start states). A state needs no host stack:
// every yield leaves pc on a routine entry or resume label, so loading one
// drops the coroutine and the next run starts afresh at the saved pc.
#pragma once
#include <cstddef>
#include <memory>

#include "machine/memory.h"
#include "machine/tos.h"

constexpr int state_acia_capacity = 256;

struct machine_state {
  u8* ram; // ram_size bytes, owned by the record
  u8 io[io_size];
  u32 pc;
  u32 vbl;
  u32 sr; // full status register
  u32 usp, ssp;
  u32 a7; // the active stack pointer
  u32 mem_top, screen_base;
  u32 d[8];
  u32 a[7];
  i32 song; // -1 = none
  i32 acia_count;
  u8 acia[state_acia_capacity]; // oldest first
  i32 zone_count;
  palette_zone zones[max_palette_zones];
  u8 ym_regs[16];
  i32 ym_sel;
  char path[tos_path_size]; // zero-terminated
};

// A zeroed record with its own (uninitialised) RAM image; song = -1.
// Null when the memory cannot be had.
machine_state* state_new();
void state_free(machine_state* s);
// A deep copy, or null when the memory cannot be had.
machine_state* state_clone(const machine_state* s);

struct state_deleter {
  void operator()(machine_state* s) const { state_free(s); }
};
using state_ptr = std::unique_ptr<machine_state, state_deleter>;

// Writes the state file through "<path>.tmp" and rename. 1 on success;
// 0 (logged) when it cannot be written.
int state_write_file(const machine_state* s, const char* path);
// Reads a state file into the record. 1 on success; 0 (logged) when the
// file cannot be read or is not a whole, valid state, and then the record
// is left as it was.
int state_read_file(machine_state* s, const char* path);

// The file layout.
constexpr size_t state_header_size = 33708; // everything before the packed RAM
constexpr char state_magic[8] = {'B', 'K', 'M', 'S', '1', 0, 0, 0};

// The RAM's run-length code: a control byte c < $80 is followed by c + 1
// literal bytes; c >= $80 by one byte repeated c - 125 times (3-130).
// Packing never produces more than state_rle_bound(n) bytes.
constexpr size_t state_rle_bound(size_t n) { return n + n / 128 + 2; }
size_t state_rle_pack(const u8* src, size_t n, u8* dst);
// The largest state file written; a larger file is no state and is not read.
constexpr size_t state_file_largest = state_header_size + state_rle_bound(ram_size);
// Unpacks into exactly out_size bytes; false when the stream ends early or
// would produce more. Packed bytes left after the last needed record are
// ignored.
bool state_rle_unpack(const u8* src, size_t n, u8* dst, size_t out_size);

// Copies the live machine into the record.
void tos_save_state(machine_state* s);
// Copies the record into the live machine and restarts the coroutine at
// its pc. The hook enables and patch switches stay as they are. The queues
// at the machine's edge are the host's to settle after a load:
// tos_ilog_rewind(s->vbl) and ym_events_clear().
void tos_load_state(const machine_state* s);
