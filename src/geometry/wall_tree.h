// The walls that the sphere step may touch, in a bounding-volume tree of their own, searched
// nearest first.
//
// The ADT decides which faces a cube search lists, and in which order, but as a search tree it
// holds one face per node along paths as deep as the tree: a search near a point walks many
// nodes whose faces lie far away. This tree keeps, for every face that the ADT can list, what
// decides whether the ADT lists it for a given cube (its reach, see AdtReach) and its position in
// the ADT's listing order, and groups the faces by where they lie, with bounds that follow the
// walls closely: a box and a cylinder around each group, and a cone around their normals, so that
// groups of walls facing the measured triangle's way are skipped whole.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "geometry/adt.h"
#include "geometry/adt_search.h"
#include "geometry/ordered_traversal.h"
#include "geometry/wall_bounds.h"
#include "mesh/prefetch.h"

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
  // first; the visitor may lower bound, which is read again before each group. With a spread,
  // the rounding allowed for is that of measuring from any point within spread of s (see
  // Margin).
  template <typename Visit>
  void Search(const double s[3], const double facing[3], double facingCosine,
              const AdtRangeF& range, const double& bound, Visit&& visit, double spread = 0.0);

  // What the range search needs to list a face of this tree (see AdtReaches).
  const AdtReach& Reach(const WallFace& face) const { return reach_[IndexOf(face)]; }
  // How far ClosestPointOnTriangle may place a face of this tree from its true distance to any
  // point within spread of s.
  double Margin(const WallFace& face, const double s[3], double spread) const {
    return RoundingMargin(MagnitudeAround(s, spread), bounds_[IndexOf(face)].sliver);
  }

  // Calls visit(face, reach, enter, leave) for every face whose box, as the range search
  // compares it (its reach: the box that a searched range must meet for the search to list the
  // face), meets the segment a + t (b - a), 0 <= t <= 1, widened by margin[k] along each axis k,
  // between t = enter and t = leave (up to a few units in the last place of t); groups nearer a
  // come first. Stops, and returns true, as soon as visit returns true. Group boxes hold the
  // boxes of whole faces only: callers need HoldsWholeFaces().
  template <typename Visit>
  bool AlongSegment(const double a[3], const double b[3], const double margin[3], Visit&& visit);

  // A face to remember between searches (one of this tree's faces), and the face remembered if
  // the ADT lists it for range: the walls of successive spheres at one triangle, or at
  // neighbouring ones, are mostly the same, and a wall measured first bounds a search tightly.
  void Keep(const WallFace& face) { kept_ = static_cast<int32_t>(IndexOf(face)); }
  const WallFace* Kept(const AdtRangeF& range) const {
    if (kept_ < 0) return nullptr;
    const size_t j = static_cast<size_t>(kept_);
    return AdtReaches(reach_[j], range) ? &faces_[j] : nullptr;
  }

  int32_t FaceCount() const { return static_cast<int32_t>(faces_.size()); }
  // Whether every face is a single triangle, so that the faces held are the whole faces.
  bool HoldsWholeFaces() const { return wholeFaces_; }

 private:
  // A group of faces. Bounds are rounded outwards to single precision, except the cylinder's
  // centre and axis, which the fit used as they are.
  struct Node {
    double centre[3];  // a cylinder around the group's nodes
    double axis[3];
    float radius, low, high;
    float sliver;  // the group's largest sliver measure
    float box[6];  // the box of the group's nodes
    // The smallest cosine between the axis and a face normal: every normal lies within the
    // cone of that angle around the axis.
    float coneCosine;
    int32_t first = 0;  // the group's faces: first .. first + count - 1
    int32_t count = 0;
    int32_t second = -1;  // second child; the first follows its parent; -1 for a leaf
  };
  // A face's own cylinder: around its normal, through `centre`.
  struct FaceBound {
    double centre[3];
    double axis[3];
    float radius, low, high;
    float sliver;
  };
  static constexpr int32_t kLeafFaces = 8;
  // Faces whose boxes are longer than this fraction of their group's are kept apart from the
  // smaller ones, when they are at most one in kFewLargeFaces, down to kMaxSizeSplits levels.
  static constexpr double kLargeFaceFraction = 0.25;
  static constexpr int32_t kFewLargeFaces = 16;
  static constexpr int32_t kMaxSizeSplits = 48;

  int32_t Build(int32_t first, int32_t count, int32_t parent, int32_t depth);
  size_t IndexOf(const WallFace& face) const { return static_cast<size_t>(&face - faces_.data()); }
  // The largest absolute coordinate of the faces and of any point within spread of s.
  double MagnitudeAround(const double s[3], double spread) const {
    return magnitude_ + std::max({std::fabs(s[0]), std::fabs(s[1]), std::fabs(s[2])}) + spread;
  }
  // Whether the range search may list a face of the group: a listed face's box, rounded to
  // single precision, starts no higher than range.high and ends no lower than range.low on each
  // axis, and the group's box, rounded outwards, holds the box of every whole face in it. A
  // search with no bound yet (nothing met) is thus kept to the groups near its cube.
  static bool MayHoldListedFaces(const Node& node, const AdtRangeF& range) {
    for (int k = 0; k < 3; ++k) {
      if (node.box[k] > range.high[k] || node.box[k + 3] < range.low[k + 3]) return false;
    }
    return true;
  }
  // A lower bound of the distance from s to the group's walls as the sphere step measures them,
  // or infinity when it exceeds `bound` or the group's faces all face like `facing`.
  double LowerBound(const Node& node, const double s[3], const double facing[3],
                    double facingCosine, double magnitude, double bound) const;
  // Where the segment a + t d, 0 <= t <= 1, runs through the box lo - margin .. hi + margin,
  // given the reciprocals of d (0 where d is 0); false when it misses the box.
  static bool SegmentSpan(const double a[3], const double inverse[3], const double margin[3],
                          const float lo[3], const float hi[3], double& enter, double& leave);

  // Per face, in tree order.
  std::vector<WallFace> faces_;
  std::vector<AdtReach> reach_;
  std::vector<FaceBound> bounds_;
  // While building: the faces' tree order, and what the grouping reads of each face.
  struct Shape {
    double middle[3];  // the middle of the box of its nodes
    double extent;     // the longest side of that box
    double cross[3];   // the raw cross product of its edges
  };
  std::vector<int32_t> order_;
  std::vector<Shape> shapes_;
  std::vector<Node> nodes_;      // root first
  std::vector<int32_t> parent_;  // per node; -1 for the root
  std::vector<int32_t> leafOf_;  // per face
  double magnitude_ = 0.0;       // largest absolute coordinate of any face
  bool wholeFaces_ = true;
  TraversalStack<int32_t> pending_;  // node indices, keyed by a lower bound of what they hold
  int32_t kept_ = -1;
};

// The squared distance from s to a cylinder, up to rounding, given as its centre, unit axis,
// radius and extent [low, high] along the axis.
inline double CylinderDistance2(const double centre[3], const double axis[3], double radius,
                                double low, double high, const double s[3]) {
  const double u[3] = {s[0] - centre[0], s[1] - centre[1], s[2] - centre[2]};
  const double along = u[0] * axis[0] + u[1] * axis[1] + u[2] * axis[2];
  const double w[3] = {u[0] - along * axis[0], u[1] - along * axis[1], u[2] - along * axis[2]};
  const double across = std::sqrt(w[0] * w[0] + w[1] * w[1] + w[2] * w[2]);
  const double axial = std::max({0.0, low - along, along - high});
  const double radial = std::max(0.0, across - radius);
  return axial * axial + radial * radial;
}

inline double WallTree::LowerBound(const Node& node, const double s[3], const double facing[3],
                                   double facingCosine, double magnitude, double bound) const {
  const double margin = RoundingMargin(magnitude, node.sliver);
  const double reach = bound + margin;
  const double reach2 = reach * reach;
  double box2 = 0.0;
  for (int k = 0; k < 3; ++k) {
    const double gap = std::max({0.0, node.box[k] - s[k], s[k] - node.box[k + 3]});
    box2 += gap * gap;
  }
  if (box2 > reach2) return INFINITY;
  // Every normal lies within the cone's angle of the axis, so within the axis' angle to
  // `facing` plus the cone's; with both below 90 degrees, cos(sum) = axial * cone -
  // sin(axis angle) * sin(cone angle) bounds every cosine. It exceeds the facing cosine (with
  // room for the rounding) when axial * cone - that cosine is positive and its square exceeds
  // the product of the squared sines.
  const double axial =
      node.axis[0] * facing[0] + node.axis[1] * facing[1] + node.axis[2] * facing[2];
  const double cone = node.coneCosine;
  const double excess = axial * cone - (facingCosine + 1e-6);
  if (axial > 0.0 && cone > 0.0 && excess > 0.0 &&
      excess * excess > (1.0 - axial * axial) * (1.0 - cone * cone)) {
    return INFINITY;
  }
  const double cylinder2 =
      CylinderDistance2(node.centre, node.axis, node.radius, node.low, node.high, s);
  if (cylinder2 > reach2) return INFINITY;
  const double lower = std::sqrt(std::max(box2, cylinder2)) - margin;
  return lower > 0.0 ? lower : 0.0;  // not a number: no bound
}

inline bool WallTree::SegmentSpan(const double a[3], const double inverse[3],
                                  const double margin[3], const float lo[3], const float hi[3],
                                  double& enter, double& leave) {
  enter = 0.0;
  leave = 1.0;
  for (int k = 0; k < 3; ++k) {
    const double l = static_cast<double>(lo[k]) - margin[k];
    const double h = static_cast<double>(hi[k]) + margin[k];
    if (inverse[k] == 0.0) {
      if (!(a[k] >= l && a[k] <= h)) return false;
      continue;
    }
    double t1 = (l - a[k]) * inverse[k], t2 = (h - a[k]) * inverse[k];
    if (t1 > t2) std::swap(t1, t2);
    enter = std::max(enter, t1);
    leave = std::min(leave, t2);
    if (!(enter <= leave)) return false;
  }
  return true;
}

template <typename Visit>
bool WallTree::AlongSegment(const double a[3], const double b[3], const double margin[3],
                            Visit&& visit) {
  if (nodes_.empty()) return false;
  // Multiplying by the reciprocals moves the span by a few units in the last place of t, far
  // less than the margins callers give.
  double inverse[3];
  for (int k = 0; k < 3; ++k) {
    const double d = b[k] - a[k];
    inverse[k] = d == 0.0 ? 0.0 : 1.0 / d;
  }
  auto entry = [&](const Node& node) {
    double enter, leave;
    return SegmentSpan(a, inverse, margin, node.box, node.box + 3, enter, leave) ? enter : INFINITY;
  };
  auto subtree = [&](int32_t index) -> PendingSubtree<int32_t> {
    return {index, entry(nodes_[static_cast<size_t>(index)])};
  };
  bool stopped = false;
  OrderedTraversal(
      pending_, subtree(0), [](double enter) { return enter <= 1.0; },
      [&](int32_t index, TraversalStack<int32_t>& pending) {
        const Node& node = nodes_[static_cast<size_t>(index)];
        if (node.second < 0) {
          for (int32_t i = node.first; i < node.first + node.count; ++i) {
            const size_t j = static_cast<size_t>(i);
            const AdtReach& reach = reach_[j];
            // A listed face's box reaches at least needHigh on its minimum corner and at most
            // needLow on its maximum one.
            double enter, leave;
            if (!SegmentSpan(a, inverse, margin, reach.needHigh, reach.needLow + 3, enter, leave)) {
              continue;
            }
            if (visit(faces_[j], reach, enter, leave)) {
              stopped = true;
              pending.clear();
              return;
            }
          }
          return;
        }
        QueueNearerLastIf(pending, subtree(index + 1), subtree(node.second),
                          [](const PendingSubtree<int32_t>& child) { return child.key <= 1.0; });
      });
  return stopped;
}

template <typename Visit>
void WallTree::Search(const double s[3], const double facing[3], double facingCosine,
                      const AdtRangeF& range, const double& bound, Visit&& visit, double spread) {
  if (nodes_.empty()) return;
  const double magnitude = MagnitudeAround(s, spread);
  // Every face of the tree is in exactly one of the subtrees searched: from the kept face's leaf
  // up, each node's sibling, then the rest. The kept face's neighbourhood comes first; far
  // siblings high up cost one bound each.
  const int32_t from = kept_ >= 0 ? leafOf_[static_cast<size_t>(kept_)] : 0;
  auto subtree = [&](int32_t index) -> PendingSubtree<int32_t> {
    return {index, LowerBound(nodes_[static_cast<size_t>(index)], s, facing, facingCosine,
                              magnitude, bound)};
  };
  auto searchFrom = [&](int32_t top) {
    OrderedTraversal(
        pending_, subtree(top), [&](double lower) { return lower <= bound; },
        [&](int32_t index, TraversalStack<int32_t>& pending) {
          const Node& node = nodes_[static_cast<size_t>(index)];
          if (wholeFaces_ && !MayHoldListedFaces(node, range)) return;
          if (node.second < 0) {
            for (int32_t i = node.first; i < node.first + node.count; ++i) {
              const size_t j = static_cast<size_t>(i);
              if (!AdtReaches(reach_[j], range)) continue;
              const FaceBound& b = bounds_[j];
              const double reach = bound + RoundingMargin(magnitude, b.sliver);
              // Written so that a value that is not a number visits the face.
              if (CylinderDistance2(b.centre, b.axis, b.radius, b.low, b.high, s) > reach * reach) {
                continue;
              }
              visit(faces_[j]);
            }
            return;
          }
          // The nearer child is searched first: it lowers the bound for the farther one.
          const PendingSubtree<int32_t> first = subtree(index + 1), second = subtree(node.second);
          // The walk down is a chain of loads, each node found through the one before: for a
          // child that may be searched, its far child (the near one follows it) or its faces
          // are asked for now, so that they are on their way while the walk goes on.
          for (const PendingSubtree<int32_t>& child : {first, second}) {
            if (!(child.key <= bound)) continue;
            const Node& c = nodes_[static_cast<size_t>(child.ref)];
            if (c.second >= 0) {
              const char* far =
                  reinterpret_cast<const char*>(&nodes_[static_cast<size_t>(c.second)]);
              PrefetchForRead(far);
              PrefetchForRead(far + 64);
            } else {
              PrefetchForRead(&reach_[static_cast<size_t>(c.first)]);
              PrefetchForRead(&bounds_[static_cast<size_t>(c.first)]);
            }
          }
          QueueNearerLastIf(pending, first, second, [&](const PendingSubtree<int32_t>& child) {
            return child.key <= bound;
          });
        });
  };
  searchFrom(from);
  for (int32_t node = from; node != 0;) {
    const int32_t parent = parent_[static_cast<size_t>(node)];
    searchFrom(node == parent + 1 ? nodes_[static_cast<size_t>(parent)].second : parent + 1);
    node = parent;
  }
}

}  // namespace vexmor
