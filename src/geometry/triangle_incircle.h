// The incircle of a triangle given as nine doubles (A, B, C).
#pragma once

#include "geometry/tolerances.h"
#include "geometry/vec3.h"

namespace vexmor {

// Writes the incircle centre (each vertex weighted by the length of the opposite side) and
// returns the inradius. A triangle whose perimeter is below the smallest normal double gets 0.0
// and the centre is not written. A collinear triangle may give NaN (its radicand rounds below
// zero); callers that only use the centre are unaffected.
inline double TriangleIncircle(const double tri[9], double centre[3]) {
  const Vec3 A = Vec3::Load(tri), B = Vec3::Load(tri + 3), C = Vec3::Load(tri + 6);
  const double a = Length(C - B);
  const double b = Length(C - A);
  const double c = Length(B - A);
  const double p = a + b + c;
  if (p < kDblMin) return 0.0;
  ((a * A + b * B + c * C) / p).Store(centre);
  const double s = p / 2;
  return std::sqrt((s - a) * (s - b) * (s - c) / s);
}

}  // namespace vexmor
