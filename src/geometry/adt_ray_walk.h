// A nearest-first traversal of the ADT's faces along a ray, for the ray probes of the thickness
// analyses.
//
// A ray probe wants the nearest face that a ray crosses. Marching the ray in steps of one face
// and searching the tree at every step costs (thickness / face size) searches per ray, which
// grows with the square root of the face count on chunky parts; following the ray through the
// boxes of the tree's subtrees, nearest first, visits only the faces close to the ray up to the
// best crossing so far. The ray thickness follows it through a RayTree, whose groups lie
// together and so are passed by fewer rays, whenever every face is one triangle; this walk of
// the ADT serves the other probes and stays the reference.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "geometry/adt.h"
#include "geometry/ordered_traversal.h"
#include "geometry/ray_box.h"

namespace vexmor {

class AdtRayWalk {
 public:
  // Searches the tree as it stands, indexed on the first search; the tree must outlive the
  // search and stay unchanged.
  explicit AdtRayWalk(const AdtTree& tree) : tree_(tree) {}

  // Calls visit(node, rank) for every node whose face box the segment origin + t * direction,
  // 0 <= t <= length, may meet at a distance (t times the direction's length) of at most bound,
  // nearer subtrees first; rank is the node's position in the range search's listing order.
  // The visitor may lower bound. Face boxes are widened by the tolerance of the segment-triangle
  // intersection, so no face that it could report crossed within bound is skipped.
  template <typename Visit>
  void AlongRay(const double origin[3], const double direction[3], double length,
                const double& bound, Visit&& visit);

 private:
  const float* SubtreeBox(int32_t i) const { return &boxes_[12 * static_cast<size_t>(i)]; }
  const float* OwnBox(int32_t i) const { return &boxes_[12 * static_cast<size_t>(i) + 6]; }
  // Ranks, children and subtree boxes of every slot, which only AlongRay needs.
  void Index();

  const AdtTree& tree_;
  bool indexed_ = false;
  int32_t root_ = -1;
  std::vector<int32_t> rank_;  // per slot, its position in the listing order
  std::vector<int32_t> low_;   // per slot, its children's slots or -1
  std::vector<int32_t> high_;
  // Per slot, 12 floats: the box enclosing every face of its subtree, then its own face's box,
  // both widened (see the constructor).
  std::vector<float> boxes_;
  TraversalStack<int32_t> pending_;  // slots, keyed by the distance along the segment
};

template <typename Visit>
void AdtRayWalk::AlongRay(const double origin[3], const double direction[3], double length,
                          const double& bound, Visit&& visit) {
  if (!indexed_) Index();
  if (root_ < 0) return;
  const double scale = std::sqrt(direction[0] * direction[0] + direction[1] * direction[1] +
                                 direction[2] * direction[2]);
  if (!(scale > 0.0) || !(length >= 0.0)) return;
  const SegmentBoxEntries entry(origin, direction, length);
  auto subtree = [&](int32_t slot) -> PendingSubtree<int32_t> {
    return {slot, slot >= 0 ? entry(SubtreeBox(slot)) * scale : INFINITY};
  };
  OrderedTraversal(
      pending_, subtree(root_), [&](double distance) { return distance <= bound; },
      [&](int32_t slot, TraversalStack<int32_t>& pending) {
        const size_t i = static_cast<size_t>(slot);
        if (entry(OwnBox(slot)) * scale <= bound) visit(tree_.nodes[i], rank_[i]);
        // The nearer child is searched first: its crossing lowers the bound for the farther one.
        QueueNearerLastIf(pending, subtree(low_[i]), subtree(high_[i]),
                          [](const PendingSubtree<int32_t>& child) { return child.ref >= 0; });
      });
}

}  // namespace vexmor
