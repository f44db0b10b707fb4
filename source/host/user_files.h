// The start-up's care of the user folder: a line in error.log marking each
// start, and the temporary files that a save cut short (a crash, a power
// cut, a killed program) left behind.
#pragma once

#include <ctime>

// Appends to error.log only: "Brakmoor native <version> started <local date
// and time>; game data looked for in <folder>". error.log is never cut, so
// this line is where each run's lines begin.
void log_start(const char* version, const char* data_dir);

// Removes the program's own temporary files that a save left behind:
// "slot<n>.bkms.tmp", "crash<n>_start.bkms.tmp" and "crash<n>_end.bkms.tmp"
// in the saves folder, and options.json's ".tmp" beside it. Only regular
// files (not links) of exactly those names, and only when older than a
// minute, as a save in progress is younger. Each removal is logged.
// Returns the number removed.
int sweep_stale_tmp_files(const char* save_dir, const char* options_path, std::time_t now);
