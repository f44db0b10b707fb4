// Fuzz target: the options reader on any text. Whatever it keeps must save
// as a file that reads back to the same store.
#include "host/options.h"
#include "fuzz_scratch.h"
#include "host/platform.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

std::string saved_text() {
  // A memory-backed folder keeps the two saves per run cheap.
  static const std::string path = fuzz_scratch_dir() + "/scratch.json";
  if (!cfg_save(path.c_str())) std::abort();
  size_t size = 0;
  char* data = read_file(path.c_str(), &size, cfg_largest_file);
  if (!data) std::abort();
  std::string text(data, size);
  free(data);
  return text;
}

}  // namespace

// Damaged input is logged on every run; the log lines go nowhere here.
// libFuzzer and the sanitizers keep writing their reports to the real
// standard error.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const std::string log = fuzz_scratch_dir() + "/error.log";
  if (symlink("/dev/null", log.c_str()) == 0) setenv("BKM_USER_DIR", fuzz_scratch_dir().c_str(), 1);
  if (FILE* null_out = fopen("/dev/null", "w")) stderr = null_out;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  cfg_load_text(text.c_str());
  // Typed getters on the keys the program reads most.
  for (const char* key : {"version", "latency", "language", "params.p_scan", "a.b"}) {
    cfg_has(key);
    cfg_num(key, 0);
    cfg_bool(key, 0);
    cfg_str(key, "");
  }
  std::string first = saved_text();
  if (!cfg_load_text(first.c_str())) std::abort();
  if (saved_text() != first) std::abort();
  return 0;
}
