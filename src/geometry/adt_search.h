// Range search in the ADT: every node whose six-dimensional box point lies inside a range.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "geometry/adt.h"
#include "mesh/face_ref.h"

namespace vexmor {

// The range search lists every node with low[i] <= box[i] <= high[i] for all six i, compared in
// single precision, in pre-order (a node before its low subtree, the low subtree before the high
// one). The usual question "which face boxes meet the box B" is low = (bbox min, B min), high =
// (B max, bbox max).

// A range as the search compares it: both bounds rounded to nearest single precision.
struct AdtRangeF {
  float low[6];
  float high[6];
};
AdtRangeF RoundRange(const double low[6], const double high[6]);

// The range that asks for the faces whose boxes meet the cube of half-width r around c, within
// the search box bbox (min x, y, z, max x, y, z), rounded as the range search rounds it.
AdtRangeF CubeRange(const double bbox[6], const double c[3], double r);

// A node found by a range search, with the single-precision bounds that any narrower range must
// still allow for its own search to reach and accept the node: the search of a range R inside
// the searched one lists the node exactly when AdtReaches(node, R). The search compares its
// bounds with the midpoints of the regions on the node's path as well as with the node's box,
// so filtering the wider result this way gives, in the same order, what a search of R gives.
struct AdtReach {
  int32_t faceIndex = 0;
  int32_t facePos = 0;
  float needLow[6];   // R.low[i] must not exceed these
  float needHigh[6];  // R.high[i] must not be below these
};
using AdtReachResult = std::vector<AdtReach>;

// Empties result (keeping its storage) and appends the nodes that the range search lists, with
// the reach of each. Returns false, leaving result incomplete, as soon as more than maxResults
// nodes match: callers then narrow their range instead.
bool AdtSearchReach(const AdtTree& tree, const AdtRangeF& range, AdtReachResult& result,
                    size_t maxResults = std::numeric_limits<size_t>::max());

inline bool AdtReaches(const AdtReach& node, const AdtRangeF& range) {
  for (int i = 0; i < 6; ++i) {
    if (!(range.low[i] <= node.needLow[i] && range.high[i] >= node.needHigh[i])) return false;
  }
  return true;
}

// Every face of the tree in the order that range searches list them. A face's position here is
// its rank.
std::vector<FaceRef> AdtListing(const AdtTree& tree);

}  // namespace vexmor
