// The ADT's range search written out plainly: the reference that the library's own walks of the
// tree (the reach search, the wall tree, the ray marches, the nearest-face search) are checked
// against. It lists the nodes in pre-order (a node, then its low subtree, then its high one),
// descending into a subtree only where the halved region of the domain can hold a match, and
// compares every box in single precision.
#pragma once

#include <vector>

#include "geometry/adt.h"
#include "geometry/bbox.h"
#include "mesh/smesh.h"

namespace vexmor::test {

// Copies of the matching nodes, in pre-order.
using AdtResult = std::vector<AdtNode>;

// Empties result and appends every node with low[i] <= box[i] <= high[i] for all six i, both
// bounds rounded to nearest single precision. "Which face boxes meet the box B" is low = (bbox
// min, B min), high = (B max, bbox max).
inline void AdtSearch(const AdtTree& tree, const double low[6], const double high[6],
                      AdtResult& result) {
  result.clear();
  if (tree.root == nullptr) return;
  float rangeLow[6], rangeHigh[6];
  // A node still to be listed, with the region of the domain that its subtree holds.
  struct Pending {
    const AdtNode* node;
    float lo[6];
    float hi[6];
  };
  Pending first{tree.root, {}, {}};
  for (int i = 0; i < 6; ++i) {
    rangeLow[i] = static_cast<float>(low[i]);
    rangeHigh[i] = static_cast<float>(high[i]);
    first.lo[i] = static_cast<float>(tree.domainLow[i]);
    first.hi[i] = static_cast<float>(tree.domainHigh[i]);
  }
  std::vector<Pending> pending{first};
  while (!pending.empty()) {
    const Pending cur = pending.back();
    pending.pop_back();
    const AdtNode& node = *cur.node;
    bool inside = true;
    for (int i = 0; i < 6; ++i)
      inside = inside && rangeLow[i] <= node.box[i] && node.box[i] <= rangeHigh[i];
    if (inside) result.push_back(node);
    // Level k halves coordinate k of the region: keys not above the midpoint go low.
    const int k = node.depth % 6;
    const float mid = static_cast<float>(static_cast<double>(cur.lo[k] + cur.hi[k]) * 0.5);
    // The high side is pushed first so that the low side is listed first.
    if (node.high != 0 && rangeHigh[k] >= mid) {
      Pending next = cur;
      next.node = tree.High(node);
      next.lo[k] = mid;
      pending.push_back(next);
    }
    if (node.low != 0 && mid >= rangeLow[k]) {
      Pending next = cur;
      next.node = tree.Low(node);
      next.hi[k] = mid;
      pending.push_back(next);
    }
  }
}

// The faces whose boxes meet the cube of half-width radius around c, into result (emptied
// first). Computes bbox if needed; without an ADT the result is empty.
inline void FacesNearPoint(SMesh& mesh, double radius, const double c[3], AdtResult& result) {
  if (mesh.bboxDone == 0) ComputeBBox(mesh, false);
  result.clear();
  if (!mesh.adt) return;
  const double low[6] = {mesh.bbox[0],  mesh.bbox[1],  mesh.bbox[2],
                         c[0] - radius, c[1] - radius, c[2] - radius};
  const double high[6] = {c[0] + radius, c[1] + radius, c[2] + radius,
                          mesh.bbox[3],  mesh.bbox[4],  mesh.bbox[5]};
  AdtSearch(*mesh.adt, low, high, result);
}

}  // namespace vexmor::test
