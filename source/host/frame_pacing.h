// The main loop's frame pacing: a deadline one refresh ahead that follows
// the real frame ends, and the choice between the display's vsync and a
// sleep, made from the median frame time.
#pragma once

// The deadline after a frame that ended at now: re-based to now + one
// refresh when it drifted by more than half a refresh, else nudged.
double next_deadline(double deadline, double now, int hz);

constexpr int frame_time_ring = 64;
struct frame_pacer {
  double times_ms[frame_time_ring] = {};
  int count = 0;
  int frames = 0;          // since the last fullscreen change
  int fullscreen_seen = -1;
  int vsync = -1;          // -1 undecided, 0 the loop sleeps, 1 vsync paces
};
// One drawn frame of dt seconds with the window's fullscreen state.
void pacer_frame(frame_pacer* p, double dt, int fullscreen, int hz);
