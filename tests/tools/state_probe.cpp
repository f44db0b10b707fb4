// Exits with 0 when the file reads as a machine state:
//   state_probe <file> [address ...]
// and then prints, one a line, the big-endian word of its RAM at each
// address (hexadecimal, as "1EC"), as four hexadecimal digits, or for
// "vbl" the state's VBL counter in decimal. Exits with 2 on a bad address.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "machine/machine_state.h"

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  state_ptr s(state_new());
  if (!s || !state_read_file(s.get(), argv[1])) return 1;
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "vbl") == 0) {
      std::printf("%u\n", static_cast<unsigned>(s->vbl));
      continue;
    }
    char* end = nullptr;
    const unsigned long address = std::strtoul(argv[i], &end, 16);
    if (end == argv[i] || *end || address + 1 >= ram_size) return 2;
    std::printf("%02X%02X\n", s->ram[address], s->ram[address + 1]);
  }
  return 0;
}
