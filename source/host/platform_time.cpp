// The monotonic clock and sleeping.
#include "host/platform.h"

#include <cerrno>
#include <cmath>
#include <ctime>

double now_s() {
  timespec ts{};
  if (clock_gettime(CLOCK_MONOTONIC, &ts) != 0) return 0;
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

void sleep_ms(double ms) {
  if (!(ms > 0)) return;  // also NaN
  constexpr double longest_ms = 1e12;  // keeps the seconds inside time_t
  if (ms > longest_ms) ms = longest_ms;
  double whole = std::floor(ms / 1000.0);
  timespec req{};
  req.tv_sec = static_cast<time_t>(whole);
  req.tv_nsec = static_cast<long>((ms - whole * 1000.0) * 1e6);
  if (req.tv_nsec >= 1000000000L) req.tv_nsec = 999999999L;
  timespec rem{};
  while (nanosleep(&req, &rem) != 0 && errno == EINTR) req = rem;
}
