// The audio assembly's state, shared by its control functions, its hooks
// and the chunk assembly (one instance, emulation thread only).
#pragma once
#include <cstdio>

#include "machine/types.h"

struct audio_output;
struct music_loader;
struct ym_state;

struct audio_assembly_state {
  int audio_on = 1;
  double vol = 1.0;
  double vol_mp3 = 1.0;
  double vol_ay = 1.0;
  double vol_fx = 1.0;
  int sfx_multi = 0;
  int sfx_pan = 0;
  int mp3_on = 0;
  int mp3_active = 0;
  int am_on = 0;
  int am_restart = 0;
  int mp3_sync = 0;
  int pb_song = -1;
  int pend_song = -2; // -2 nothing waiting, -1 a stop waiting
  int pb_done = 0;
  i64 pb_elapsed = 0;
  int looper = 0;
  int skip_total = 0;
  int skip_fade = 0;
  int skip_key = 0;
  int skip_prev_fire = 0;
  u32 drv_base = 0;
  u32 mute_on[3] = {};
  u32 mute_saved[3] = {};

  ym_state* chip = nullptr;
  audio_output* output = nullptr;
  music_loader* loader = nullptr;
  char game_dir[1024] = {};
  // BKM_AUDIODUMP is looked at once, at the first chunk with sound on.
  int dump_checked = 0;
  std::FILE* dump = nullptr;
};

extern audio_assembly_state aud;

// The sound driver's layout in game memory.
constexpr u32 effect_bytes_offset = 4042; // one signed byte per channel A, B, C
constexpr u32 music_level_address = 0x42502;
constexpr u32 ram_last = 0x3FFFFF;
// The stop that the driver's own song start makes.
constexpr u32 song_start_stop_return = 0x41C28;

void register_sound_hooks();
// The long at a7 (the hooked routine's caller), 0 when it lies beyond RAM.
u32 hook_return_address();
