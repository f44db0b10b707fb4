// The two screens shown before the game runs: the loading screen (what was
// found, a progress bar, a short countdown) and the missing-data screen
// (where to put the game data). Drawn with the 2D canvas at the output
// rectangle's size and shown as the video overlay; they read the window's
// events themselves. Main thread only.
#pragma once

// Starts the loading screen unless the option "startup_screen" is off or a
// test run (BKM_TEST, BKM_SECONDS) did not ask for it with BKM_SPLASH.
void startup_begin();
int startup_active();
// Sets row 0..5 (label, value, busy) and shows it; null value = empty.
void startup_line(int index, const char* label, const char* value, int busy);
// Row 1: the name of the Amiga disk file found in the folder; without one
// the row is not shown at all.
void startup_amiga_line(const char* folder);
// Raises the progress (it never falls), sets the detail text, reads the
// window's events and presents the screen. Returns 0 once the user closed
// the window, else 1.
int startup_progress(const char* detail, double fraction);
// Full bar, "ready", and a countdown of up to 2 s that a confirm key
// (Return, keypad Enter, Space, the fire keys), a controller's fire press,
// Escape or closing the window cuts short; then waits (up to about 1 s) for
// a controller's fire button to be let go. Returns 0 when the user quit.
int startup_finish();
// Removes the overlay; the screen becomes inactive.
void startup_end();

// Shows where the game data belongs (game_folder, created when missing)
// until the window is closed or Escape is pressed, then removes the overlay.
void startup_missing_data(const char* game_folder);
