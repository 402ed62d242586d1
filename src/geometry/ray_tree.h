// The faces that the ray probes of the thickness analyses may cross, grouped by where they lie.
//
// A probe wants the nearest face that a segment crosses, with equally near crossings told apart
// by the ADT's listing order. The ADT's subtrees hold faces from all over the part, so their
// boxes are loose and a segment passes through many of them; this tree groups the faces by
// position, with a box around each group, and follows the segment through the boxes nearest
// first, so that a probe reads about as many groups as the tree is deep.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <span>
#include <vector>

#include "geometry/ordered_traversal.h"
#include "geometry/ray_box.h"
#include "mesh/face_ref.h"
#include "mesh/large_array.h"

namespace vexmor {

struct SMesh;

// A face as the probes cut it: its first strip triangle.
struct RayFace {
  double tri[9];
  int32_t faceIndex;
  int32_t facePos;  // its count entry in the connectivity
  int32_t rank;     // its position in the ADT's listing order
};

class RayTree {
 public:
  // Groups the faces of `listing` that have a triangle; a face's rank is its position there.
  // The listing is that of the mesh's ADT (AdtListing), whose order settles equally near hits.
  RayTree(std::span<const FaceRef> listing, const SMesh& mesh);

  // Whether every face is a single triangle, so that the faces held are the whole faces.
  bool HoldsWholeFaces() const { return wholeFaces_; }

  // Calls visit(face) for every face whose box, widened as the ray probes widen face boxes, the
  // segment origin + t * direction, 0 <= t <= length, meets at a distance (t times the
  // direction's length) of at most bound; nearer groups first. The visitor may lower bound,
  // which is read again before each group.
  template <typename Visit>
  void AlongRay(const double origin[3], const double direction[3], double length,
                const double& bound, Visit&& visit);

  // The faces held, grouped by where they lie: probes from them in this order reuse the groups
  // that the previous probes read.
  const LargeVector<RayFace>& Faces() const { return faces_; }

 private:
  // A group of faces: an inner node's index in nodes_, or a leaf's first face and face count.
  struct Child {
    int32_t index = 0;
    int32_t leafFaces = 0;  // 0 for an inner node
  };
  // An inner node holds the boxes of up to four children, stored by coordinate so that the
  // segment enters them two at a time, and all in two cache lines. Boxes, a leaf's faces' too,
  // are the widened boxes of the faces below, rounded outwards to single precision: they can
  // only hold more than the double-precision boxes, never less, and a face visited in excess is
  // only measured in vain. A slot without a child has the box +infinity .. +infinity, which
  // no segment enters.
  struct alignas(64) Node {
    float low[3][4];   // min x, y, z of each child
    float high[3][4];  // max x, y, z of each child
    Child child[4];
  };
  static constexpr int32_t kLeafFaces = 4;
  // A face's widened box (WidenedFaceBox), rounded outwards to single precision, and the face's
  // place in the listing, which is its rank.
  struct FaceBox {
    float box[6];
    int32_t face;
  };

  // Bins of the surface-area split, and the depth below which it is tried.
  static constexpr int kSplitBins = 16;
  static constexpr int32_t kSampledFaces = 1024;
  static constexpr int32_t kMaxSurfaceAreaDepth = 48;

  // The box of some faces, and the span of their middles along each axis.
  struct Bounds {
    float box[6] = {INFINITY, INFINITY, INFINITY, -INFINITY, -INFINITY, -INFINITY};
    float middleLow[3] = {INFINITY, INFINITY, INFINITY};
    float middleHigh[3] = {-INFINITY, -INFINITY, -INFINITY};
    void Add(const float* face) {
      Enclose(box, face);
      for (int k = 0; k < 3; ++k) {
        middleLow[k] = std::min(middleLow[k], Middle(face, k));
        middleHigh[k] = std::max(middleHigh[k], Middle(face, k));
      }
    }
  };
  Bounds BoundsOf(int32_t first, int32_t count) const;
  // Groups the faces of boxes_[first .. first + count - 1], of bounds `bounds`, found `depth`
  // splits below the root.
  Child Build(int32_t first, int32_t count, const Bounds& bounds, int32_t depth);
  // Orders those faces in two parts, split across the longest extent of their middles, returns
  // the size of the first and sets the bounds of each part.
  int32_t Split(int32_t first, int32_t count, const Bounds& bounds, int32_t depth, Bounds parts[2]);
  // Orders those faces so that the first ones form the side of the cheapest split by surface
  // area between kSplitBins bins of their middles along `axis` (which span middleLow ..
  // middleHigh), returns how many they are and sets the bounds of each side; returns 0, leaving
  // the order and the bounds alone, when no split separates them.
  int32_t SurfaceAreaSplit(int32_t first, int32_t count, int axis, float middleLow,
                           float middleHigh, Bounds sides[2]);
  // Grows box (min x, y, z, max x, y, z) to hold another such box.
  static void Enclose(float box[6], const float* other) {
    for (int k = 0; k < 3; ++k) {
      box[k] = std::min(box[k], other[k]);
      box[k + 3] = std::max(box[k + 3], other[k + 3]);
    }
  }
  // Twice the middle of a box along axis k, and the bin of that value in kSplitBins bins over
  // low .. low + span.
  static float Middle(const float* box, int k) { return box[k] + box[k + 3]; }
  static int BinOf(const float* box, int k, double low, double span) {
    const double bin = (static_cast<double>(Middle(box, k)) - low) * (kSplitBins / span);
    return static_cast<int>(std::clamp(bin, 0.0, static_cast<double>(kSplitBins - 1)));
  }

  LargeVector<RayFace> faces_;  // in tree order
  LargeVector<FaceBox> boxes_;  // per face, in tree order
  LargeVector<Node> nodes_;
  Child root_;
  float rootBox_[6];
  TraversalStack<Child> pending_;  // keyed by the distance along the segment
  std::vector<uint8_t> binOf_;     // the bins of a group's faces while it is split
  bool wholeFaces_ = true;
};

template <typename Visit>
void RayTree::AlongRay(const double origin[3], const double direction[3], double length,
                       const double& bound, Visit&& visit) {
  if (faces_.empty()) return;
  const double scale = std::sqrt(direction[0] * direction[0] + direction[1] * direction[1] +
                                 direction[2] * direction[2]);
  if (!(scale > 0.0) || !(length >= 0.0)) return;
  const SegmentBoxEntries entries(origin, direction, length);
  OrderedTraversal(
      pending_, {root_, entries(rootBox_) * scale},
      [&](double distance) { return distance <= bound; },
      [&](const Child& group, TraversalStack<Child>& pending) {
        if (group.leafFaces > 0) {
          const int32_t end = group.index + group.leafFaces;
          for (int32_t i = group.index; i < end; ++i) {
            if (entries(boxes_[static_cast<size_t>(i)].box) * scale <= bound)
              visit(faces_[static_cast<size_t>(i)]);
          }
          return;
        }
        // Nearer children are searched first: their crossings lower the bound for the farther.
        const Node& node = nodes_[static_cast<size_t>(group.index)];
        double entry[4];
        entries.OfFour(node.low, node.high, entry);
        PendingSubtree<Child> kept[4];
        int count = 0;
        for (int c = 0; c < 4; ++c) {
          const PendingSubtree<Child> child{node.child[c], entry[c] * scale};
          if (!(child.key <= bound)) continue;
          int at = count++;
          for (; at > 0 && kept[at - 1].key < child.key; --at)
            kept[at] = kept[at - 1];
          kept[at] = child;
        }
        pending.insert(pending.end(), kept, kept + count);
      });
}

}  // namespace vexmor
