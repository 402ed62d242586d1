// The unit normal of a triangle given as nine doubles (A, B, C), along (B - A) x (C - A).
#pragma once

#include "geometry/normalize.h"
#include "geometry/vec3.h"
#include "mesh/trace.h"

namespace vexmor {

// Writes the unit normal of the triangle to n. For a degenerate triangle n keeps the raw
// cross product, shorter than the smallest normal double, after a trace line.
inline void Compute_FaceNormal(double n[3], const double tri[9]) {
  const Vec3 a = Vec3::Load(tri), b = Vec3::Load(tri + 3), c = Vec3::Load(tri + 6);
  Cross(b - a, c - a).Store(n);
  if (Normalize(n)) Trace("## Compute_FaceNormal : DIVIDE by 0");
}

}  // namespace vexmor
