// The loader-screen hold: when the user asks for it, the picture the game
// shows while its resident loader starts stays on screen for a chosen time,
// fades in and out smoothly, and the game's black pause after loading is
// skipped. The game takes part through two direct host calls in its
// recompiled code; the fades are worked into the recorded palette zone 0.
#pragma once
#include "machine/types.h"

// Seconds to hold the loader screen, from the user's option (0 = no hold);
// set once by the host at start-up and taken by the first hold.
extern double g_load_seconds;

// The clock of the hold, in monotonic seconds; now_s unless a test drives it.
using loader_clock_fn = double (*)();
void loader_set_clock(loader_clock_fn clock); // null: back to now_s
double loader_now();

// Called by the resident loader: 1 when the hold starts (the caller then
// waits, so the slice ends), 0 when there is nothing to hold.
int hold_loader_text();
// Called in every pass of the game's delay loop: 1 once after the loader
// screen has ended, so the delay ends at once.
int skip_black_delay();

// Called by the mission-failed screen once a frame: non-zero while the
// host's music still plays the failure tune once, so the screen stays up.
// Answers 0 until the host installs its answer (a host without replacement
// music never does); null removes it.
int hold_fail_screen();
using fail_screen_hold_fn = int (*)();
void set_fail_screen_hold(fail_screen_hold_fn answer);

// tos_init: no hold, no loader phase, no pending skip.
void loader_hold_reset();
// The slice runner: true while the game must not run; an expired hold is
// cleared.
bool loader_hold_active();

// Zone 0 := the captured loader palette, every entry marked, at brightness x.
void put_dim(double x);

// Once per VBL after the timers: the loader screen's fades, else the
// palette-fade smoothing of zone 0.
void loader_vbl_step();
