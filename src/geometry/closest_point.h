// The point of a triangle closest to a given point, by the Voronoi regions of the triangle.
#pragma once

#include <algorithm>
#include <cmath>

#include "geometry/vec3.h"

namespace vexmor {

// The point of segment AB closest to P; A itself when the segment is a point.
inline Vec3 ClosestPointOnSegment(const Vec3& P, const Vec3& A, const Vec3& B) {
  const Vec3 ab = B - A;
  const double length2 = Dot(ab, ab);
  if (!(length2 > 0)) return A;
  return A + ab * std::clamp(Dot(P - A, ab) / length2, 0.0, 1.0);
}

// Writes to q the point of triangle tri (nine doubles A, B, C) closest to p and returns the
// squared distance |p - q|^2. The regions are tested in a fixed order (vertex A, vertex B,
// edge AB, vertex C, edge AC, edge BC, interior) and the first that holds decides; there is no
// tolerance, so degenerate triangles still give a point of the triangle's hull, except that two
// coincident corners make the edge region between them divide 0 by 0: a triangle whose closest
// point so comes out as no finite point is measured as its corners and sides instead (a corner
// first, so that a point on a corner measures exactly 0).
inline double ClosestPointOnTriangle(const double p[3], const double tri[9], double q[3]) {
  const Vec3 P = Vec3::Load(p);
  const Vec3 A = Vec3::Load(tri), B = Vec3::Load(tri + 3), C = Vec3::Load(tri + 6);
  const Vec3 ab = B - A, ac = C - A, ap = P - A;
  Vec3 Q;
  const double d1 = Dot(ab, ap), d2 = Dot(ac, ap);
  const Vec3 bp = P - B;
  const double d3 = Dot(ab, bp), d4 = Dot(ac, bp);
  const double vc = d1 * d4 - d3 * d2;
  const Vec3 cp = P - C;
  const double d5 = Dot(ab, cp), d6 = Dot(ac, cp);
  const double vb = d5 * d2 - d1 * d6;
  const double va = d3 * d6 - d5 * d4;
  if (d1 <= 0 && d2 <= 0) {
    Q = A;
  } else if (d3 >= 0 && d4 <= d3) {
    Q = B;
  } else if (vc <= 0 && d1 >= 0 && d3 <= 0) {
    Q = A + ab * (d1 / (d1 - d3));
  } else if (d6 >= 0 && d5 <= d6) {
    Q = C;
  } else if (vb <= 0 && d2 >= 0 && d6 <= 0) {
    Q = A + ac * (d2 / (d2 - d6));
  } else if (va <= 0 && (d4 - d3) >= 0 && (d5 - d6) >= 0) {
    Q = B + (C - B) * ((d4 - d3) / ((d4 - d3) + (d5 - d6)));
  } else {
    const double k = 1 / (va + vb + vc);
    Q = A + ab * (vb * k) + ac * (vc * k);
  }
  double distance2 = SquaredLength(P - Q);
  if (!std::isfinite(distance2)) {
    distance2 = INFINITY;
    for (const Vec3& candidate : {A, B, C, ClosestPointOnSegment(P, A, B),
                                  ClosestPointOnSegment(P, A, C), ClosestPointOnSegment(P, B, C)}) {
      if (SquaredLength(P - candidate) < distance2) {
        distance2 = SquaredLength(P - candidate);
        Q = candidate;
      }
    }
  }
  Q.Store(q);
  return distance2;
}

}  // namespace vexmor
