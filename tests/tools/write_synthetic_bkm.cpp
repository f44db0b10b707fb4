// Writes the synthetic game-data file "BKM" into a folder, for end-to-end
// runs of the program without the game's data (with the disk road, so the
// game runs through its title and world map to a mission's load):
//   write_synthetic_bkm <folder>
//   BKM_ORIGINAL_DIR=<folder> bash tools/run.sh
#include <cstdio>
#include <string>

#include "support/synthetic/synthetic_disk.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
    return 2;
  }
  const std::string error = synth_write_standard_bkm(argv[1]);
  if (!error.empty()) {
    std::fprintf(stderr, "the synthetic data could not be written: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
