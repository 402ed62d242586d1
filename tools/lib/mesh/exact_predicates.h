// Orientation tests whose sign is exact for any finite double coordinates (barring underflow
// of products below 1e-300): a floating-point evaluation with a proven error bound answers
// almost every call; when the bound cannot decide, the determinant is evaluated exactly as a
// floating-point expansion (a sum of non-overlapping doubles).
#pragma once

#include "mesh/mesh.h"

namespace vexmor::cli {

// +1 when c lies to the left of the line from a to b (a, b, c counter-clockwise), -1 when to
// the right, 0 when the three points are collinear.
int Orient2d(double ax, double ay, double bx, double by, double cx, double cy);

// Sign of ((b - a) x (c - a)) . (d - a): +1 when d lies on the side that the right-hand normal
// of the triangle a, b, c points to, -1 on the other side, 0 when the four points are coplanar.
int Orient3d(const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& d);

// The same two tests evaluated exactly every time, without the floating-point filter: the
// reference the filtered versions are checked against.
int Orient2dExact(double ax, double ay, double bx, double by, double cx, double cy);
int Orient3dExact(const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& d);

}  // namespace vexmor::cli
