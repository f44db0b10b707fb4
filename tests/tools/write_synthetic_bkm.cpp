// Writes the synthetic game-data file "BKM" into a folder, for end-to-end
// runs of the program without the game's data (with the disk road, so the
// game runs through its title and world map to a mission's load):
//   write_synthetic_bkm <folder>
//   BKM_ORIGINAL_DIR=<folder> bash tools/run.sh
#include <cstdio>
#include <string>

#include "support/synthetic_disk.h"
#include "support/synthetic_game_data.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
    return 2;
  }
  synth_game_data g = synth_standard();
  std::vector<u8> bkm;
  if (synth_place_disk_road(g)) bkm = synth_bkm(g);
  if (!bkm.empty()) synth_put_high_scores(bkm);
  if (bkm.empty()) {
    std::fprintf(stderr, "the synthetic data could not be built: %s\n", g.error.c_str());
    return 1;
  }
  const std::string path = std::string(argv[1]) + "/BKM";
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f || std::fwrite(bkm.data(), 1, bkm.size(), f) != bkm.size() || std::fclose(f) != 0) {
    std::fprintf(stderr, "could not write %s\n", path.c_str());
    return 1;
  }
  return 0;
}
