// Range search in the ADT: every node whose six-dimensional box point lies inside a range.
#pragma once

#include <vector>

#include "geometry/adt.h"

namespace vexmor {

struct SMesh;

// Copies of the matching nodes, in pre-order (a node before its low subtree, the low subtree
// before the high one). Callers read faceIndex and facePos.
using AdtResult = std::vector<AdtNode>;

// Empties result (keeping its storage) and appends every node with low[i] <= box[i] <= high[i]
// for all six i, compared in single precision. The usual question "which face boxes meet the
// box B" is low = (bbox min, B min), high = (B max, bbox max).
void AdtSearch(const AdtTree& tree, const double low[6], const double high[6], AdtResult& result);

// The faces whose boxes meet the cube of half-width radius around c, into result (emptied
// first). Computes bbox if needed; the ADT must be built.
void FacesNearPoint(SMesh& mesh, double radius, const double c[3], AdtResult& result);

}  // namespace vexmor
