// The smallest distance from a point to the faces that a range search lists, found without
// measuring the faces that cannot be nearer than the best one met so far.
#pragma once

#include <cstdint>

#include "geometry/adt.h"
#include "geometry/adt_search.h"

namespace vexmor {

// Measures one face for AdtNearestInRange.
class FaceDistance {
 public:
  // Squared distance from the query point to the face at facePos. A value that is not a number
  // is ignored.
  virtual double SquaredDistance(int32_t facePos) = 0;

 protected:
  ~FaceDistance() = default;
};

// min(best, smallest measured squared distance from p over the faces that the range search of
// `range` lists). Walks the nodes that the search visits, in single precision like it, but skips a
// node, or a whole subtree, when its box, or the region of the tree holding its boxes, lies
// farther from p than the best squared distance so far. The faces skipped so are all farther
// from p than that best, so the minimum is the same as over the whole result of the search.
double AdtNearestInRange(const AdtTree& tree, const AdtRangeF& range, const double p[3],
                         double best, FaceDistance& measure);

}  // namespace vexmor
