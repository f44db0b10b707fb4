// The emulation controller: owns the emulated machine and runs it on a
// thread of its own, VBL by VBL against the wall clock (at the game rate
// with a lead over the display on mission screens, one VBL per displayed
// frame elsewhere). Other threads reach it only through emu_post
// (host/emu_events.h); it answers only through the presenter's queue.
#pragma once
#include <atomic>

#include "host/emu_events.h"

struct audio_output;

struct emu_config {
  const char* data_dir = "";       // the game-data folder
  const char* state_file = nullptr; // start from this state; null = boot state
  const char* music_dir = "";
  const char* save_dir = "";
  audio_output* audio = nullptr;  // null = no device
  double lead = -1;               // in VBLs, as EV_LEAD sets it; below 0 (none chosen): 3.6
  int fix = 1;
  int god = 0;
  int money = 0;
  int audio_on = 1;
  int mp3_on = 0;
  int sfx_multi = 0;
  int sfx_pan = 0;
  double volume = 1.0;
  double start_time = 0;  // wall-clock start, seconds of emu_now
};

// 1 from a successful start until the thread ends.
extern std::atomic<int> emu_running;

// 1 when the emulation thread runs; 0 (reason logged) on failure.
int emu_start(const emu_config* config);
// Asks the thread to stop (also when its ring is full), waits up to 3 s,
// handing the presenter's queue on meanwhile so a thread blocked on it can
// finish, and joins it. Returns 1 when the thread was joined; 0 when it was
// left behind (logged), in which case nothing it uses may be freed.
int emu_join();
// A copy of the current screen kind ("game", "players", "shop", "map",
// "other", or empty before the first step); any thread. The copy stays
// valid until the second next call on the same thread.
const char* emu_kind();
// Hands a music folder to the thread and posts EV_MUSIC_DIR.
void emu_set_music_dir(const char* folder);

// The clock the thread paces by: now_s, or a test's clock.
using emu_clock_fn = double (*)();
void emu_set_clock(emu_clock_fn clock);  // null: now_s
double emu_now();
// How long the thread sleeps or waits; a test's clock advances by it.
using emu_sleep_fn = void (*)(double ms);
void emu_set_sleep(emu_sleep_fn sleep);  // null: sleep_ms
