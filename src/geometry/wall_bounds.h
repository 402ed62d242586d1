// Cylinders around faces, whose distance from a point bounds the faces' distances from below,
// for the nearest wall search of the sphere step.
//
// The search keeps the nearest wall found so far and may skip faces only when none of them could
// be nearer or as near, since equally near walls are told apart by the order of the range
// search. A bound must therefore never exceed the distance that ClosestPointOnTriangle would
// compute for a face it holds, rounding included. Each bound is lowered by a margin far above
// that rounding: the closest point of a well-shaped triangle lies on it up to a few units in the
// last place of the coordinates, but a sliver's barycentric weights lose precision in proportion
// to the squared distance over its smallest altitude, which the margin follows; a degenerate
// triangle gets no bound at all.
#pragma once

#include <algorithm>
#include <cmath>

#include "geometry/vec3.h"

namespace vexmor {

// A cylinder holding a set of faces: every node of them lies within `radius` of the line through
// `centre` along the unit vector `axis`, between `low` and `high` along it from `centre`. The
// default holds everything.
struct WallCylinder {
  double centre[3] = {0.0, 0.0, 0.0};
  double axis[3] = {0.0, 0.0, 1.0};
  double radius = INFINITY;
  double low = -INFINITY;
  double high = INFINITY;
  // The largest (longest edge) / (twice the area) over the faces held, that is one over their
  // smallest altitude: how badly rounding may place their closest points. Infinite when some
  // face is degenerate or not finite, which disables the bound.
  double sliver = INFINITY;
};

// How much lower a bound must be taken to cover rounding, for a point and faces whose
// coordinates are at most `magnitude` in absolute value (the point's included) and whose
// sliver measure is at most `sliver`.
inline double RoundingMargin(double magnitude, double sliver) {
  return magnitude * (1e-9 + 1e-12 * magnitude * sliver);
}

// Grows a cylinder around a given centre and unit axis over the nodes of faces.
class CylinderFit {
 public:
  CylinderFit(const double centre[3], const double axis[3]) {
    for (int k = 0; k < 3; ++k) {
      cylinder_.centre[k] = centre[k];
      cylinder_.axis[k] = axis[k];
    }
    cylinder_.radius = 0.0;
    cylinder_.low = INFINITY;
    cylinder_.high = -INFINITY;
    cylinder_.sliver = 0.0;
  }
  // Adds a triangle (nine doubles) with its sliver measure.
  void AddTriangle(const double tri[9], double sliver) {
    for (int v = 0; v < 3; ++v) {
      const Vec3 u = Vec3::Load(tri + 3 * v) - Vec3::Load(cylinder_.centre);
      const Vec3 axis = Vec3::Load(cylinder_.axis);
      const double along = Dot(u, axis);
      const double across = Length(u - along * axis);
      // Comparisons written so that a value that is not a number makes the cylinder unusable.
      if (!(along >= cylinder_.low)) cylinder_.low = along;
      if (!(along <= cylinder_.high)) cylinder_.high = along;
      if (!(across <= cylinder_.radius)) cylinder_.radius = across;
    }
    if (!(sliver <= cylinder_.sliver)) cylinder_.sliver = sliver;
  }
  // The cylinder; it holds everything when no triangle was added or some value was not
  // finite. Its sliver measure is the largest added, infinite when one was not finite.
  WallCylinder Result() const {
    WallCylinder c = cylinder_;
    if (!(std::isfinite(c.radius) && std::isfinite(c.low) && std::isfinite(c.high) &&
          c.low <= c.high)) {
      c = WallCylinder{};
      c.sliver = cylinder_.sliver;
    }
    if (!std::isfinite(c.sliver)) c.sliver = INFINITY;
    return c;
  }

 private:
  WallCylinder cylinder_;
};

}  // namespace vexmor
