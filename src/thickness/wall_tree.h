// The walls that the sphere step may touch, in a bounding-volume tree of their own, searched
// nearest first.
//
// The ADT decides which faces a cube search lists, and in which order, but as a search tree it
// holds one face per node along paths as deep as the tree: a search near a point walks many
// nodes whose faces lie far away. This tree keeps, for every face that the ADT can list, what
// decides whether the ADT lists it for a given cube (its reach, see AdtReach) and its position in
// the ADT's listing order, and groups the faces by position, with bounds that follow the walls
// closely: a box and a cylinder around each group, and the range of their normals, so that groups
// of walls facing the measured triangle's way are skipped whole.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "geometry/adt.h"
#include "geometry/adt_search.h"
#include "thickness/wall_bounds.h"

namespace vexmor {

struct SMesh;

// A face as the sphere step measures it: its strip triangle 0 and its normal, with the arithmetic
// of Compute_FaceNormal (the same bits), read once per analysis.
struct WallFace {
  double tri[9] = {0, 0, 0, 0, 0, 0, 0, 0, 0};
  double normal[3] = {0, 0, 0};
  int32_t faceIndex = -1;
  int32_t rank = 0;         // position in the ADT's listing order
  bool degenerate = false;  // normal shorter than DBL_MIN: the raw cross product is kept
};

class WallTree {
 public:
  // Indexes the faces of `mesh` that have a triangle and that the ADT `tree` of the mesh can list.
  WallTree(const AdtTree& tree, const SMesh& mesh);

  // Calls visit(face) for every face that the ADT's range search lists for `range`, except faces
  // that provably lie farther from s than bound as ClosestPointOnTriangle measures them, and
  // groups of faces whose normals n all have Dot(n, facing) > facingCosine. Nearer groups come
  // first; the visitor may lower bound, which is read again before each group.
  template <typename Visit>
  void Search(const double s[3], const double facing[3], double facingCosine,
              const AdtRangeF& range, const double& bound, Visit&& visit);

  int32_t FaceCount() const { return static_cast<int32_t>(faces_.size()); }

 private:
  struct Node {
    double box[6];          // the box of the group's nodes
    WallCylinder cylinder;  // a cylinder around them, with the group's sliver measure
    NormalRange normals;
    int32_t first = 0;  // the group's faces: first .. first + count - 1
    int32_t count = 0;
    int32_t high = -1;  // second child; the first follows its parent; -1 for a leaf
  };
  struct Pending {
    int32_t node;
    double bound;
  };
  static constexpr int32_t kLeafFaces = 4;

  int32_t Build(int32_t first, int32_t count);
  double LowerBound(const Node& node, const double s[3], const double facing[3],
                    double facingCosine, double magnitude) const;

  // Per face, in tree order.
  std::vector<WallFace> faces_;
  std::vector<AdtReach> reach_;
  std::vector<WallCylinder> cylinders_;
  // While building: raw cross products (for the groups' axes) and the faces' tree order.
  std::vector<double> cross_;
  std::vector<int32_t> order_;
  std::vector<Node> nodes_;  // root first
  double magnitude_ = 0.0;   // largest absolute coordinate of any face
  std::vector<Pending> pending_;
};

inline double WallTree::LowerBound(const Node& node, const double s[3], const double facing[3],
                                   double facingCosine, double magnitude) const {
  if (AllFaceLike(node.normals, facing, facingCosine)) return INFINITY;
  return WallDistanceBound(node.cylinder, node.box, s, magnitude);
}

template <typename Visit>
void WallTree::Search(const double s[3], const double facing[3], double facingCosine,
                      const AdtRangeF& range, const double& bound, Visit&& visit) {
  if (nodes_.empty()) return;
  const double magnitude =
      magnitude_ + std::max({std::fabs(s[0]), std::fabs(s[1]), std::fabs(s[2])});
  pending_.clear();
  pending_.push_back({0, LowerBound(nodes_[0], s, facing, facingCosine, magnitude)});
  while (!pending_.empty()) {
    const Pending next = pending_.back();
    pending_.pop_back();
    if (!(next.bound <= bound)) continue;
    const Node& node = nodes_[static_cast<size_t>(next.node)];
    if (node.high < 0) {
      for (int32_t i = node.first; i < node.first + node.count; ++i) {
        const size_t j = static_cast<size_t>(i);
        if (!AdtReaches(reach_[j], range)) continue;
        if (!(WallDistanceBound(cylinders_[j], nullptr, s, magnitude) <= bound)) continue;
        visit(faces_[j]);
      }
      continue;
    }
    const int32_t lo = next.node + 1, hi = node.high;
    const double dLo =
        LowerBound(nodes_[static_cast<size_t>(lo)], s, facing, facingCosine, magnitude);
    const double dHi =
        LowerBound(nodes_[static_cast<size_t>(hi)], s, facing, facingCosine, magnitude);
    // The nearer child is searched first: it lowers the bound for the farther one.
    if (dLo <= dHi) {
      if (dHi <= bound) pending_.push_back({hi, dHi});
      if (dLo <= bound) pending_.push_back({lo, dLo});
    } else {
      if (dLo <= bound) pending_.push_back({lo, dLo});
      if (dHi <= bound) pending_.push_back({hi, dHi});
    }
  }
}

}  // namespace vexmor
