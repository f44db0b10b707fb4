// What the input code posted to the game, read back from the event ring
// as plain values the tests compare whole.
#pragma once

#include <ostream>
#include <vector>

struct posted {
  int kind;
  double a, b;
  bool operator==(const posted&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const posted& p) {
  return os << "{" << p.kind << ", " << p.a << ", " << p.b << "}";
}

using posts = std::vector<posted>;
