// Single-precision bounds of double-precision values, for boxes and bounds stored in floats
// that must still hold what they were computed from.
#pragma once

#include <cmath>
#include <limits>

namespace vexmor {

// The largest float no larger than v, and the smallest no smaller (not a number stays one).
// Values beyond the single-precision range are not converted, which would be undefined.
inline float FloatBelow(double v) {
  constexpr float kInf = std::numeric_limits<float>::infinity();
  constexpr float kMax = std::numeric_limits<float>::max();
  if (std::isnan(v)) return std::numeric_limits<float>::quiet_NaN();
  if (v > kMax) return kMax;
  if (v < -kMax) return -kInf;
  const float f = static_cast<float>(v);
  return static_cast<double>(f) > v ? std::nextafter(f, -kInf) : f;
}
// Rounding is symmetric about zero, so the bound above is the bound below of the negation.
inline float FloatAbove(double v) {
  return -FloatBelow(-v);
}

}  // namespace vexmor
