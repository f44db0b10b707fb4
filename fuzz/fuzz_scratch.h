// Scratch space of a fuzz target: a folder of its own under TMPDIR (the
// fuzz runner gives each target one in memory), removed when the target
// exits, so no run leaves files behind.
#pragma once
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

inline const std::string& fuzz_scratch_dir() {
  // Never destroyed: the clean-up at exit still needs it.
  static const std::string& dir = *new std::string([] {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/bkm_fuzz_XXXXXX";
    if (!mkdtemp(pattern.data())) std::abort();
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(fuzz_scratch_dir(), ignored);
    });
    return pattern;
  }());
  return dir;
}
