// A tiny program for the platform tests: copied into a scratch folder and
// run there, it shows which folder it believes it lives in and logs one
// line, so the tests never write beside the real test programs.
#include <cstdio>

#include "host/platform.h"

int main(int argc, char** argv) {
  std::printf("%s", app_dir());
  if (argc > 1) host_log_file("%s", argv[1]);
  return 0;
}
