// Intersection of a segment with a triangle, and the four tests it is built from. Every
// tolerance is sqrt(machine epsilon) in the normalised frame, compared as each function says
// (with lengths, squared lengths or unnormalised products).
#pragma once

#include <algorithm>
#include <cmath>

#include "geometry/tolerances.h"
#include "geometry/vec3.h"

namespace vexmor {

namespace detail {

// lo <= v <= hi on one axis, each bound passing also when v lies within eps of it.
inline bool IsWithinRange(double v, double lo, double hi) {
  const bool above = v >= lo || std::fabs(v - lo) <= kSqrtEps;
  const bool below = v <= hi || std::fabs(v - hi) <= kSqrtEps;
  return above && below;
}

// x lies in the axis-aligned box of the segment p-q, with tolerance eps per axis.
inline bool IsInSegmentBox(Vec3 x, Vec3 p, Vec3 q) {
  for (int k = 0; k < 3; ++k) {
    if (!IsWithinRange(x[k], std::min(p[k], q[k]), std::max(p[k], q[k]))) return false;
  }
  return true;
}

// max1 >= min2, passing also when the two differ by at most eps.
inline bool IsNotBelow(double max1, double min2) {
  return max1 >= min2 || std::fabs(max1 - min2) <= kSqrtEps;
}

}  // namespace detail

// Foot of p on the line a-b: writes it to f and returns its parameter t (f = a + t (b - a)).
// A line shorter than eps (squared) returns 0.0 and leaves f unwritten.
inline double ProjectPointOnLine(const double* a, const double* b, const double* p, double* f) {
  const Vec3 A = Vec3::Load(a), B = Vec3::Load(b), P = Vec3::Load(p);
  const Vec3 ab = B - A;
  const double len2 = SquaredLength(ab);
  if (len2 < kSqrtEps) return 0.0;
  const double t = Dot(P - A, ab) / len2;
  (A + t * ab).Store(f);
  return t;
}

// Area test: the three partial areas around x sum to the triangle's area, within a relative
// 1e-6 of their sum. A point with zero partial areas (a degenerate triangle) is outside.
inline bool PointInTriangle(const double* a, const double* b, const double* c, const double* x) {
  const Vec3 A = Vec3::Load(a), B = Vec3::Load(b), C = Vec3::Load(c), X = Vec3::Load(x);
  const double t = Length(Cross(B - A, C - A));
  const double s =
      Length(Cross(C - B, X - B)) + Length(Cross(B - A, X - A)) + Length(Cross(X - A, C - A));
  if (!(s != 0.0)) return false;
  return std::fabs(t - s) / s <= 1e-6;
}

// True when p lies within tol (compared with the squared distance) of the triangle's plane.
// A triangle too thin to have a plane is replaced by its line A-C or A-B, and one whose three
// vertices coincide by its vertex A.
inline bool PointOnTrianglePlane(const double* a, const double* b, const double* c, const double* p,
                                 double tol) {
  const Vec3 A = Vec3::Load(a), B = Vec3::Load(b), C = Vec3::Load(c), P = Vec3::Load(p);
  const Vec3 m = Cross(C - A, B - A);
  const double mm = SquaredLength(m);
  Vec3 foot = A;
  if (mm >= kSqrtEps) {
    foot = P + m * (Dot(A - P, m) / mm);
  } else {
    double f[3];
    if (SquaredLength(C - A) > kSqrtEps) {
      ProjectPointOnLine(a, c, p, f);
      foot = Vec3::Load(f);
    } else if (SquaredLength(B - A) > kSqrtEps) {
      ProjectPointOnLine(a, b, p, f);
      foot = Vec3::Load(f);
    }
  }
  return tol >= SquaredLength(P - foot);
}

// Crossing of the segment e0-e1 (usually a triangle edge) with the segment p-q, both taken to
// lie in one plane. A proper crossing is written to x. Collinear overlapping segments answer
// true without writing x.
inline bool SegmentSegmentIntersect(const double* e0, const double* e1, const double* p,
                                    const double* q, double* x) {
  const Vec3 E0 = Vec3::Load(e0), E1 = Vec3::Load(e1), P = Vec3::Load(p), Q = Vec3::Load(q);
  const Vec3 u = E1 - E0, w = Q - P, c = Cross(u, w);
  if (Length(c) <= kSqrtEps) {
    double len2 = SquaredLength(u);
    if (len2 == 0.0) len2 = 1e-100;
    const double t0 = Dot(P - E0, u) / len2;
    const Vec3 d = E0 + t0 * u - P;
    if (SquaredLength(d) > kSqrtEps) return false;
    for (int k = 0; k < 3; ++k) {
      const double min1 = std::min(E0[k], E1[k]), max1 = std::max(E0[k], E1[k]);
      const double min2 = std::min(P[k], Q[k]), max2 = std::max(P[k], Q[k]);
      if (!detail::IsNotBelow(max1, min2) || !detail::IsNotBelow(max2, min1)) return false;
    }
    return true;
  }
  const double ax = std::fabs(c.x), ay = std::fabs(c.y), az = std::fabs(c.z);
  const int k = (ax >= ay && ax > az) ? 0 : ((ay >= ax && ay > az) ? 1 : 2);
  const double s = Cross(P - E0, w)[k] / c[k];
  if (s > 1 + kSqrtEps || s < -kSqrtEps) return false;
  const Vec3 X = E0 + s * u;
  if (!detail::IsInSegmentBox(X, P, Q)) return false;
  X.Store(x);
  return true;
}

// Does the segment p-q meet the triangle a, b, c? The crossing with the triangle's plane is
// written to x as soon as it is computed, whatever the outcome; a triangle lying in a plane
// x, y or z = const gets that coordinate exactly. A segment parallel to the plane counts only
// when it lies in the plane and crosses an edge of the triangle.
inline bool SegmentTriangleIntersect(const double* a, const double* b, const double* c,
                                     const double* p, const double* q, double* x) {
  const Vec3 A = Vec3::Load(a), B = Vec3::Load(b), C = Vec3::Load(c);
  const Vec3 P = Vec3::Load(p), Q = Vec3::Load(q);
  const Vec3 n = Cross(B - A, C - A);
  const Vec3 d = Q - P;
  const double den = Dot(n, d);
  if (std::fabs(den) > kSqrtEps) {
    const double t = -Dot(n, P - A) / den;
    Vec3 X = P + t * d;
    const bool flatX = std::fabs(n.x) < kSqrtEps, flatY = std::fabs(n.y) < kSqrtEps,
               flatZ = std::fabs(n.z) < kSqrtEps;
    if (flatY && flatZ) {
      X.x = A.x;
    } else if (flatX && flatZ) {
      X.y = A.y;
    } else if (flatX && flatY) {
      X.z = A.z;
    }
    X.Store(x);
    if (!detail::IsInSegmentBox(X, P, Q)) return false;
    for (int k = 0; k < 3; ++k) {
      const double lo = std::min(A[k], std::min(B[k], C[k]));
      const double hi = std::max(A[k], std::max(B[k], C[k]));
      if (!detail::IsWithinRange(X[k], lo, hi)) return false;
    }
    return PointInTriangle(a, b, c, x);
  }
  if (!PointOnTrianglePlane(a, b, c, p, kSqrtEps)) return false;
  const bool ab = SegmentSegmentIntersect(a, b, p, q, x);
  const bool bc = SegmentSegmentIntersect(b, c, p, q, x);
  const bool ca = SegmentSegmentIntersect(c, a, p, q, x);
  return ab || bc || ca;
}

}  // namespace vexmor
