// Nearest-first traversals of the ADT's faces, around a point for the rolling sphere and along a
// ray for the ray probes of the thickness analyses.
//
// The sphere step wants, among the faces that the ADT's range search lists for the cube around
// the sphere's centre, the nearest facing wall. Measuring every listed face costs a large part
// of the mesh per step on chunky parts, where the sphere is as large as the part. This search
// walks the same tree with the same descent rules as the range search, so it reaches exactly
// the nodes that the range search lists, but nearest subtrees first, and it skips every subtree
// whose faces all lie farther than the best wall found so far: a step measures only the faces
// near its answer. Each visited face comes with its rank in the range search's listing order,
// so that the caller can break ties exactly as a scan of that listing would. The sphere step
// itself searches a WallTree (Walls), which answers the same question with tighter bounds and
// shorter paths; this search stays the reference walk of the ADT.
//
// A ray probe wants the nearest face that a ray crosses. Marching the ray in steps of one face
// and searching the tree at every step costs (thickness / face size) searches per ray, which
// grows with the square root of the face count on chunky parts; following the ray through the
// boxes of the tree's subtrees, nearest first, visits only the faces close to the ray up to the
// best crossing so far. The probes follow it through a RayTree (Rays), whose groups lie
// together and so are passed by fewer rays, whenever every face is one triangle; this walk of
// the ADT serves meshes with larger faces and stays the reference.
#pragma once

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "geometry/adt.h"
#include "geometry/adt_search.h"
#include "geometry/ray_box.h"
#include "geometry/ray_tree.h"
#include "geometry/wall_tree.h"

namespace vexmor {

struct SMesh;

// The range that asks for the faces whose boxes meet the cube of half-width r around c, within
// the search box bbox (min x, y, z, max x, y, z), rounded as the range search rounds it.
AdtRangeF CubeRange(const double bbox[6], const double c[3], double r);

class WallSearch {
 public:
  // Searches the tree as it stands, indexed on the first search; the tree must outlive the
  // search and stay unchanged.
  explicit WallSearch(const AdtTree& tree) : tree_(tree) {}

  // Calls visit(node, rank) for every node that the range search of `range` lists and whose
  // face box lies no farther than bound from point s, nearer subtrees first; rank is the node's
  // position in the range search's listing order. The visitor may lower bound (it is read again
  // before each subtree) so that the search goes no farther than the best face so far. Nodes
  // whose boxes lie farther than bound may be visited too; none nearer is skipped. A negative or
  // NaN bound visits nothing.
  template <typename Visit>
  void Search(const double s[3], const AdtRangeF& range, const double& bound, Visit&& visit);

  // Calls visit(node, rank) for every node whose face box the segment origin + t * direction,
  // 0 <= t <= length, may meet at a distance (t times the direction's length) of at most bound,
  // nearer subtrees first; rank is the node's position in the range search's listing order.
  // The visitor may lower bound. Face boxes are widened by the tolerance of the segment-triangle
  // intersection, so no face that it could report crossed within bound is skipped.
  template <typename Visit>
  void AlongRay(const double origin[3], const double direction[3], double length,
                const double& bound, Visit&& visit);

  // The walls of `mesh`, whose ADT the tree must be, for the sphere step; built on first use.
  WallTree& Walls(const SMesh& mesh) {
    if (!walls_) walls_ = std::make_unique<WallTree>(tree_, mesh);
    return *walls_;
  }

  // The faces of `mesh`, whose ADT the tree must be, for the ray probes; built on first use.
  // Worth its memory when most faces are probed; BuiltRays() is null until then.
  RayTree& Rays(const SMesh& mesh) {
    if (!rays_) rays_ = std::make_unique<RayTree>(tree_, mesh);
    return *rays_;
  }
  RayTree* BuiltRays() { return rays_.get(); }

  int32_t NodeCount() const { return static_cast<int32_t>(tree_.nodes.size()); }

 private:
  // A subtree waiting to be searched, with its distance from the query (squared around a point,
  // plain along a ray).
  struct Pending {
    int32_t slot;
    double distance2;
  };

  const float* SubtreeBox(int32_t i) const { return &boxes_[12 * static_cast<size_t>(i)]; }
  const float* OwnBox(int32_t i) const { return &boxes_[12 * static_cast<size_t>(i) + 6]; }
  // Squared distance from s to a box (min x, y, z, max x, y, z).
  static double BoxDistance2(const float* box, const double s[3]);
  // Whether some face box of the subtree of slot i can meet the cube of the range.
  bool SubtreeMeetsRange(int32_t i, const AdtRangeF& range) const;

  // Ranks, children and subtree boxes of every slot, which only Search and AlongRay need.
  void Index();

  const AdtTree& tree_;
  bool indexed_ = false;
  int32_t root_ = -1;
  std::vector<int32_t> rank_;  // per slot, its position in the listing order
  std::vector<int32_t> low_;   // per slot, its children's slots or -1
  std::vector<int32_t> high_;
  std::vector<float> midpoint_;  // per slot, where the range search splits its region
  // Per slot, 12 floats: the box enclosing every face of its subtree, then its own face's box,
  // both widened (see the constructor).
  std::vector<float> boxes_;
  std::vector<Pending> pending_;  // reused by the traversals
  std::unique_ptr<WallTree> walls_;
  std::unique_ptr<RayTree> rays_;
};

template <typename Visit>
void WallSearch::Search(const double s[3], const AdtRangeF& range, const double& bound,
                        Visit&& visit) {
  if (!indexed_) Index();
  if (root_ < 0) return;
  pending_.clear();
  pending_.push_back({root_, BoxDistance2(SubtreeBox(root_), s)});
  while (!pending_.empty()) {
    const Pending next = pending_.back();
    pending_.pop_back();
    if (!(bound >= 0.0) || !(next.distance2 <= bound * bound) ||
        !SubtreeMeetsRange(next.slot, range)) {
      continue;
    }
    const size_t slot = static_cast<size_t>(next.slot);
    const AdtNode& node = tree_.nodes[slot];
    bool inside = true;
    for (int k = 0; k < 6 && inside; ++k)
      inside = range.low[k] <= node.box[k] && node.box[k] <= range.high[k];
    if (inside && BoxDistance2(OwnBox(next.slot), s) <= bound * bound) visit(node, rank_[slot]);
    // The range search's own descent rules: which subtrees it enters decides what it lists.
    const int k = node.depth % 6;
    const int32_t lo = low_[slot] >= 0 && midpoint_[slot] >= range.low[k] ? low_[slot] : -1;
    const int32_t hi = high_[slot] >= 0 && range.high[k] >= midpoint_[slot] ? high_[slot] : -1;
    const double dLo = lo >= 0 ? BoxDistance2(SubtreeBox(lo), s) : INFINITY;
    const double dHi = hi >= 0 ? BoxDistance2(SubtreeBox(hi), s) : INFINITY;
    // The nearer child is searched first: it lowers the bound for the farther one.
    if (dLo <= dHi) {
      if (hi >= 0) pending_.push_back({hi, dHi});
      if (lo >= 0) pending_.push_back({lo, dLo});
    } else {
      if (lo >= 0) pending_.push_back({lo, dLo});
      if (hi >= 0) pending_.push_back({hi, dHi});
    }
  }
}

template <typename Visit>
void WallSearch::AlongRay(const double origin[3], const double direction[3], double length,
                          const double& bound, Visit&& visit) {
  if (!indexed_) Index();
  if (root_ < 0) return;
  const double scale = std::sqrt(direction[0] * direction[0] + direction[1] * direction[1] +
                                 direction[2] * direction[2]);
  if (!(scale > 0.0) || !(length >= 0.0)) return;
  const SegmentBoxEntries entry(origin, direction, length);
  pending_.clear();
  pending_.push_back({root_, entry(SubtreeBox(root_)) * scale});
  while (!pending_.empty()) {
    const Pending next = pending_.back();
    pending_.pop_back();
    if (!(next.distance2 <= bound)) continue;  // here the distance along the ray
    const size_t slot = static_cast<size_t>(next.slot);
    if (entry(OwnBox(next.slot)) * scale <= bound) {
      visit(tree_.nodes[slot], rank_[slot]);
    }
    const int32_t lo = low_[slot], hi = high_[slot];
    const double dLo = lo >= 0 ? entry(SubtreeBox(lo)) * scale : INFINITY;
    const double dHi = hi >= 0 ? entry(SubtreeBox(hi)) * scale : INFINITY;
    if (dLo <= dHi) {
      if (hi >= 0) pending_.push_back({hi, dHi});
      if (lo >= 0) pending_.push_back({lo, dLo});
    } else {
      if (lo >= 0) pending_.push_back({lo, dLo});
      if (hi >= 0) pending_.push_back({hi, dHi});
    }
  }
}

}  // namespace vexmor
