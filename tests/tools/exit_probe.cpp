// Loaded into a program with LD_PRELOAD by the scripted runs: says on
// standard error when the process's exit-time clean-up runs (the handlers
// of exit() and the static destructors), naming the program, so that a
// script can tell a program that ended through exit() from one that ended
// at once with _exit().
#include <errno.h>
#include <string.h>
#include <unistd.h>

namespace {

struct probe {
  ~probe() {
    char line[200] = "exit-time clean-up ran in ";
    strncat(line, program_invocation_short_name, sizeof line - strlen(line) - 2);
    strcat(line, "\n");
    (void)!write(2, line, strlen(line));
  }
} the_probe;

}  // namespace
