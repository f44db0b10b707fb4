// Fuzz target: machine-state files (save slots are user files). An input
// that begins with the state magic is tried as a whole file (the seed
// corpus holds states of the synthetic game's boot); any other input is a
// list of byte edits over a valid state file, so that damaged headers and
// damaged packed memory are both reached. A state that loads is then run for
// a few slices and VBLs on a small budget: every outcome must be a running
// game, a clean refusal or a failed slice with its report.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_scratch.h"
#include "host/platform.h"
#include "machine/machine_state.h"
#include "machine/slice_runner.h"
#include "machine/vbl_delivery.h"

namespace {

constexpr int steps_after_load = 3;
constexpr u32 slice_budget = 20000;

std::string scratch_path() {
  static const std::string path = fuzz_scratch_dir() + "/scratch.bkms";
  return path;
}

std::vector<u8> valid_file() {
  state_ptr s(state_new());
  for (u32 i = 0; i < ram_size; ++i) s->ram[i] = static_cast<u8>(i % 251 < 200 ? 0 : i * 7);
  s->acia_count = 3;
  s->zone_count = 2;
  if (!state_write_file(s.get(), scratch_path().c_str())) std::abort();
  size_t size = 0;
  char* data = read_file(scratch_path().c_str(), &size, state_file_largest);
  if (!data) std::abort();
  std::vector<u8> bytes(data, data + size);
  std::free(data);
  return bytes;
}

// The host's steps after a load: a slice, then the VBL, until a slice fails.
void run_loaded_game() {
  for (int i = 0; i < steps_after_load; ++i) {
    if (tos_run_slice(slice_budget) < 0) return;
    tos_vbl();
  }
}

void try_file(const u8* data, size_t size) {
  if (!write_file(scratch_path().c_str(), data, size)) std::abort();
  static machine_state* target = state_new();
  if (!state_read_file(target, scratch_path().c_str())) return;
  tos_load_state(target);
  run_loaded_game();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const std::string log = fuzz_scratch_dir() + "/error.log";
  if (symlink("/dev/null", log.c_str()) == 0) setenv("BKM_USER_DIR", fuzz_scratch_dir().c_str(), 1);
  if (FILE* null_out = std::fopen("/dev/null", "w")) stderr = null_out;
  tos_init("");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size >= sizeof state_magic && std::memcmp(data, state_magic, 5) == 0) {
    try_file(data, size);
    return 0;
  }

  // Edits: (offset: 4 bytes, value: 1 byte) each, over the valid file; a
  // leading byte with bit 0 set also cuts the file at the first edit.
  static const std::vector<u8> base = valid_file();
  std::vector<u8> file = base;
  if (size >= 1) {
    const bool cut = data[0] & 1;
    size_t first_cut = file.size();
    for (size_t i = 1; i + 5 <= size; i += 5) {
      const u32 off = (static_cast<u32>(data[i]) << 24 | static_cast<u32>(data[i + 1]) << 16 |
                       static_cast<u32>(data[i + 2]) << 8 | data[i + 3]) % file.size();
      file[off] = data[i + 4];
      if (i == 1) first_cut = off;
    }
    if (cut) file.resize(first_cut);
  }
  try_file(file.data(), file.size());
  return 0;
}
