// The main thread's globals that other modules read: whether the program
// keeps running, whether the main loop has begun (input is ignored until
// then), the fullscreen choice saved with the options, and the presenter.
// The two flags are read by the fast input thread, hence atomics.
#pragma once

#include <atomic>

struct present_state;

// Cleared by a quit from the window or the menus, and at shut-down.
extern std::atomic<int> app_running;
// Set just before the main loop.
extern std::atomic<int> input_ready;
// The fullscreen state written back as the option "fullscreen".
extern int fullscreen;
extern present_state* presenter;
// Invulnerability and infinite money in force: BKM_GOD / BKM_MONEY at
// start, god mode from a test script, or the options menu's switches;
// shown in the window title.
extern int god_mode;
extern int infinite_money;
// A menu picture is laid over the video.
extern int overlay_on;
