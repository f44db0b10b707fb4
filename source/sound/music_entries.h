// The replacement music sources as the audio assembly reaches them: the
// music-pack loader with its loopers, and the Amiga music player. Each
// source fills its entries when it is built into the program; while an
// entry is null the assembly behaves as if that source had nothing (a pack
// without song files; no usable Amiga disk).
#pragma once
#include "machine/types.h"

struct music_loader;

struct music_entry_table {
  // Music-pack loader: 16 song slots of interleaved stereo 16-bit PCM.
  music_loader* (*loader_new)(const char* folder);
  const i16* (*get)(music_loader* loader, int slot, int* frames);
  int (*pending)(music_loader* loader, int slot);
  int (*loop_points)(music_loader* loader, int slot, int* start, int* back);
  void (*prefetch)(music_loader* loader);
  void (*set_dir)(music_loader* loader, const char* folder);
  int (*take_once)(int* pos, const i16* pcm, int frames, int n, i16* out);
  void (*take)(int* pos, const i16* pcm, int frames, int n, i16* out);
  void (*take_lp)(int* pos, const i16* pcm, int frames, int start, int back, int n, i16* out);
  // Amiga music player.
  int (*amiga_ready)();
  int (*amiga_find)(const char* folder, char* out, int size);
  int (*amiga_open)(const char* path, int rate);
  void (*amiga_play)(int song);
  void (*amiga_skip)(int frames);
  int (*amiga_playing)();
  void (*amiga_render)(int count, i16* out);
};

extern music_entry_table music_entries;

// Tunes 2, 3, 4, 6 and 7 play once; every other number (-1 too) repeats.
int music_loops(int song);
