// Signal helpers for the sound tests: single-frequency power (Goertzel),
// RMS, normalised autocorrelation, and the inverse of the chip's output
// stage, which gives back the pre-filter mix from the rendered samples
// (exact up to float rounding while nothing clipped).
#pragma once
#include <cmath>
#include <numbers>
#include <vector>

// Power of the frequency f (Hz, not necessarily a whole bin) in x.
inline double tone_power(const std::vector<float>& x, double f, double rate = 44100, size_t from = 0,
                         size_t to = 0) {
  if (to == 0 || to > x.size()) to = x.size();
  const double w = 2 * std::numbers::pi * f / rate;
  const double c = 2 * std::cos(w);
  double s1 = 0, s2 = 0;
  for (size_t i = from; i < to; ++i) {
    const double s0 = x[i] + c * s1 - s2;
    s2 = s1;
    s1 = s0;
  }
  return s1 * s1 + s2 * s2 - c * s1 * s2;
}

// The frequency of the highest power among lo, lo + step, ... hi.
inline double peak_frequency(const std::vector<float>& x, double lo, double hi, double step) {
  double best = lo, best_power = -1;
  for (double f = lo; f <= hi; f += step) {
    const double p = tone_power(x, f);
    if (p > best_power) best_power = p, best = f;
  }
  return best;
}

inline double rms(const std::vector<float>& x, size_t from = 0, size_t to = 0) {
  if (to == 0 || to > x.size()) to = x.size();
  if (to <= from) return 0;
  double sum = 0;
  for (size_t i = from; i < to; ++i) sum += double(x[i]) * x[i];
  return std::sqrt(sum / double(to - from));
}

// Pearson correlation of x[i] and x[i + lag] over the overlapping part.
inline double autocorrelation(const std::vector<float>& x, size_t lag) {
  const size_t n = x.size() - lag;
  double ma = 0, mb = 0;
  for (size_t i = 0; i < n; ++i) ma += x[i], mb += x[i + lag];
  ma /= double(n), mb /= double(n);
  double ab = 0, aa = 0, bb = 0;
  for (size_t i = 0; i < n; ++i) {
    const double a = x[i] - ma, b = x[i + lag] - mb;
    ab += a * b, aa += a * a, bb += b * b;
  }
  return ab / std::sqrt(aa * bb);
}

// Undoes y = clip(1.4 x), x = 0.995 x' + (in - in'), in = mix / 3, for a
// chip whose filter started at rest.
inline std::vector<double> chip_mix_from_output(const std::vector<float>& y) {
  std::vector<double> mix(y.size());
  double prev_x = 0, prev_in = 0;
  for (size_t i = 0; i < y.size(); ++i) {
    const double x = y[i] / 1.4;
    const double in = x - 0.995 * prev_x + prev_in;
    mix[i] = in / double(0.33333334f);
    prev_x = x, prev_in = in;
  }
  return mix;
}
