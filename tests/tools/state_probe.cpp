// Exits with 0 when the file reads as a machine state: state_probe <file>
#include "machine/machine_state.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  state_ptr s(state_new());
  return s && state_read_file(s.get(), argv[1]) ? 0 : 1;
}
