// The graphics dump: plays the user's copy of the game headless on the
// program's one machine and writes its sprites, tiles and fixed screens as
// PNG sheets with index.json, the base of graphics packs. It runs on a
// worker thread of its own before the emulation thread exists; the caller
// polls until it has finished.
#pragma once

#include <cstddef>

// Starts the worker (64 MB stack) dumping from the game-data folder into the
// output folder. 1 when it started, else 0.
int dump_begin(const char* data_dir, const char* out_dir);
// 0 while the dump runs or when none was begun; else 1, with the dump's
// result (1 ok, 0 failed) stored through ok when given.
int dump_finished(int* ok);
// The last progress line (empty before any dump).
void dump_status(char* out, size_t size);

// The whole dump on the calling thread; progress lines go to `progress`
// when given. 1 on success (also for a development run of fewer missions).
using dump_progress_fn = void (*)(const char* text);
int dump_original(const char* data_dir, const char* out_dir, dump_progress_fn progress);
