// Rounding shared by the form's twips arithmetic and the painters' geometry. Portable.
#pragma once

#include <cmath>
#include <limits>

namespace quillon {

// Nearest integer, ties to even (2.5 gives 2, 3.5 gives 4, -2.5 gives -2); clamped to the
// int range, NaN gives 0.
inline int RoundHalfEven(double value) {
  if (std::isnan(value)) return 0;
  constexpr double kLow = std::numeric_limits<int>::min(), kHigh = std::numeric_limits<int>::max();
  if (value <= kLow) return std::numeric_limits<int>::min();
  if (value >= kHigh) return std::numeric_limits<int>::max();
  const double lower = std::floor(value);
  const double fraction = value - lower;
  double result = lower;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(lower, 2.0) != 0.0)) result = lower + 1.0;
  return static_cast<int>(result);
}

}  // namespace quillon
