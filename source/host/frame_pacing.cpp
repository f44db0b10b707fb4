#include "host/frame_pacing.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr int frames_before_deciding = 90;
}

double next_deadline(double deadline, double now, int hz) {
  const double period = 1.0 / hz;
  const double e = now - deadline;
  if (std::fabs(e) > 0.5 * period) return now + period;
  return deadline + period + 0.05 * e;
}

void pacer_frame(frame_pacer* p, double dt, int fullscreen, int hz) {
  if (p->count == frame_time_ring) {
    std::copy(p->times_ms + 1, p->times_ms + frame_time_ring, p->times_ms);
    --p->count;
  }
  p->times_ms[p->count++] = dt * 1000;
  if (fullscreen != p->fullscreen_seen) {
    p->fullscreen_seen = fullscreen;
    p->frames = 1;
    p->count = 0;
    p->vsync = -1;
    return;
  }
  if (++p->frames > frames_before_deciding && p->vsync == -1 && p->count > 0) {
    double sorted[frame_time_ring];
    std::copy(p->times_ms, p->times_ms + p->count, sorted);
    std::sort(sorted, sorted + p->count);
    p->vsync = sorted[p->count / 2] > 800.0 / hz ? 1 : 0;
  }
}
