// Writes the seed corpus of the state-file fuzz target: machine states of
// the synthetic game's boot, from the boot state through the cold start's
// disk load to the running interrupt handlers, so that the fuzzer starts
// from states that run real routines.
//
// usage: make_state_corpus <folder>   (the corpus is fuzz/corpus/state_file)
//
// The disk copy in RAM is cleared in every state (the states stay valid and
// the files small); the game's own code and variables are kept.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "machine/boot_state.h"
#include "machine/game_data.h"
#include "machine/gemdos.h"
#include "machine/loader_hold.h"
#include "machine/machine_state.h"
#include "machine/slice_runner.h"
#include "machine/vbl_delivery.h"
#include "support/machine/machine_fixture.h"
#include "support/synthetic/synthetic_disk.h"
#include "support/temp_dir.h"

namespace {

constexpr u32 disk_copy = 0x81000;
constexpr u32 disk_copy_size = 819200;

bool save(const std::string& folder, const char* name, machine_state* s) {
  std::memset(s->ram + disk_copy, 0, disk_copy_size);
  const std::string path = folder + "/" + name;
  if (!state_write_file(s, path.c_str())) return false;
  std::printf("%s: pc %06X, vbl %u\n", path.c_str(), s->pc, s->vbl);
  return true;
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_state_corpus <folder>\n");
    return 2;
  }
  const std::string out = argv[1];
  machine_clear();
  g_load_seconds = 0;

  temp_dir data;
  synth_game_data g = synth_standard();
  if (!synth_place_disk_road(g)) {
    std::fprintf(stderr, "synthetic game data: %s\n", g.error.c_str());
    return 1;
  }
  std::vector<u8> bkm = synth_bkm(g);
  synth_put_high_scores(bkm);
  if (!synth_write(data / "BKM", bkm) || game_data_init(data.path.c_str()) != 1) {
    std::fprintf(stderr, "the synthetic game data could not be set up\n");
    return 1;
  }
  state_ptr boot(boot_state_make(data.path.c_str()));
  if (!boot) return 1;
  tos_load_state(boot.get());
  state_ptr last(state_new());
  if (!last || !save(out, "boot.bkms", boot.get())) return 1;

  // The host's steps; a state after the first slice (the interrupt handlers
  // installed), the first inside the resident loader, and the last of
  // 1,000 VBLs (the title over, waiting for a fire button).
  bool in_loader = false;
  int vbl = 0;
  for (; vbl < 1000; ++vbl) {
    if (tos_run_slice(2000000) != 1) break;
    tos_vbl();
    tos_save_state(last.get());
    if (vbl == 0 && !save(out, "first_slice.bkms", last.get())) return 1;
    if (!in_loader && g_cpu.pc >= 0x3F8000) {
      in_loader = true;
      if (!save(out, "resident_loader.bkms", last.get())) return 1;
    }
  }
  if (!save(out, "last_before_the_end.bkms", last.get())) return 1;
  gemdos_close_all();
  game_data_release();
  std::printf("%d VBLs; the game waits at %06X\n", vbl, g_cpu.pc);
  return in_loader ? 0 : 1;
}
