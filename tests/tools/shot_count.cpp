// Counts the pixels of a PNG screenshot within a tolerance of a colour, so
// that the end-to-end scripts can check a picture against the colours the
// program must draw: shot_count <file.png> <RRGGBB> <tolerance>
#include <cstdio>
#include <cstdlib>

#include "graphics/png_codec.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: shot_count <file.png> <RRGGBB> <tolerance>\n");
    return 2;
  }
  int w = 0, h = 0;
  uint8_t* pixels = png_read_rgba(argv[1], &w, &h);
  if (!pixels) {
    std::fprintf(stderr, "shot_count: cannot read %s\n", argv[1]);
    return 2;
  }
  const long rgb = std::strtol(argv[2], nullptr, 16);
  const int want[3] = {int(rgb >> 16) & 255, int(rgb >> 8) & 255, int(rgb) & 255};
  const int tolerance = std::atoi(argv[3]);
  long count = 0;
  for (long i = 0; i < long(w) * h; ++i) {
    bool near = true;
    for (int c = 0; c < 3; ++c) near &= std::abs(pixels[i * 4 + c] - want[c]) <= tolerance;
    count += near;
  }
  std::free(pixels);
  std::printf("%ld\n", count);
  return 0;
}
