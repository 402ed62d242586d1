#include "geometry/ray_tree.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "geometry/face_frame.h"
#include "geometry/float_bounds.h"
#include "mesh/prefetch.h"
#include "mesh/smesh.h"

namespace vexmor {

RayTree::RayTree(std::span<const FaceRef> listing, const SMesh& mesh) {
  // The faces' boxes first, each with the face's place in the listing: the faces themselves are
  // loaded once the boxes are in tree order, straight into that order. Both passes read the
  // listing's faces, which lie anywhere in the connectivity, and their nodes, which lie anywhere
  // in the node array: both are asked for a few faces ahead, the nodes once the face has arrived.
  constexpr size_t kAhead = 16;
  auto prefetchFace = [&](size_t i) {
    const int32_t pos = listing[i].facePos;
    if (pos >= 0 && static_cast<size_t>(pos) < mesh.elem.size()) {
      PrefetchForRead(mesh.elem.data() + pos);
    }
  };
  boxes_.reserve(listing.size());
  for (size_t i = 0; i < listing.size(); ++i) {
    if (i + kAhead < listing.size()) prefetchFace(i + kAhead);
    if (i + kAhead / 2 < listing.size()) mesh.PrefetchFaceNodes(listing[i + kAhead / 2].facePos);
    double tri[9], second[9];
    if (!LoadFaceTriangle(mesh, listing[i].facePos, 0, tri)) continue;
    if (LoadFaceTriangle(mesh, listing[i].facePos, 1, second)) wholeFaces_ = false;
    double box[6];
    WidenedFaceBox(tri, box);
    FaceBox item;
    for (int k = 0; k < 3; ++k) {
      item.box[k] = FloatBelow(box[k]);
      item.box[k + 3] = FloatAbove(box[k + 3]);
    }
    item.face = static_cast<int32_t>(i);
    boxes_.push_back(item);
  }
  if (boxes_.empty()) return;
  // A tree has fewer inner nodes than faces; the pages of those never used are never touched.
  nodes_.reserve(boxes_.size());
  const Bounds all = BoundsOf(0, static_cast<int32_t>(boxes_.size()));
  std::copy_n(all.box, 6, rootBox_);
  root_ = Build(0, static_cast<int32_t>(boxes_.size()), all, 0);

  faces_.reserve(boxes_.size());
  for (size_t b = 0; b < boxes_.size(); ++b) {
    if (b + kAhead < boxes_.size()) {
      PrefetchForRead(listing.data() + boxes_[b + kAhead].face);
    }
    if (b + kAhead / 2 < boxes_.size()) {
      prefetchFace(static_cast<size_t>(boxes_[b + kAhead / 2].face));
    }
    if (b + kAhead / 4 < boxes_.size()) {
      mesh.PrefetchFaceNodes(listing[static_cast<size_t>(boxes_[b + kAhead / 4].face)].facePos);
    }
    const FaceBox& item = boxes_[b];
    const FaceRef& ref = listing[static_cast<size_t>(item.face)];
    RayFace face;
    face.faceIndex = ref.faceIndex;
    face.facePos = ref.facePos;
    face.rank = item.face;
    LoadFaceTriangle(mesh, face.facePos, 0, face.tri);
    faces_.push_back(face);
  }
}

RayTree::Bounds RayTree::BoundsOf(int32_t first, int32_t count) const {
  Bounds bounds;
  const auto begin = boxes_.begin() + first;
  for (auto item = begin; item != begin + count; ++item)
    bounds.Add(item->box);
  return bounds;
}

RayTree::Child RayTree::Build(int32_t first, int32_t count, const Bounds& bounds, int32_t depth) {
  if (count <= kLeafFaces) return {first, count};
  // Two levels of splits make the up to four groups of one node.
  struct Part {
    int32_t first, count;
    Bounds bounds;
  };
  Part parts[4];
  int n = 0;
  Bounds halves[2];
  const int32_t half = Split(first, count, bounds, depth, halves);
  const Part sides[2] = {{first, half, halves[0]}, {first + half, count - half, halves[1]}};
  for (const Part& side : sides) {
    if (side.count <= kLeafFaces) {
      parts[n++] = side;
      continue;
    }
    Bounds quarters[2];
    const int32_t sideHalf = Split(side.first, side.count, side.bounds, depth + 1, quarters);
    parts[n++] = {side.first, sideHalf, quarters[0]};
    parts[n++] = {side.first + sideHalf, side.count - sideHalf, quarters[1]};
  }
  const size_t index = nodes_.size();
  nodes_.emplace_back();
  Node node;
  for (int c = 0; c < 4; ++c) {
    for (int k = 0; k < 3; ++k)
      node.low[k][c] = node.high[k][c] = INFINITY;
  }
  for (int c = 0; c < n; ++c) {
    node.child[c] = Build(parts[c].first, parts[c].count, parts[c].bounds, depth + 2);
    for (int k = 0; k < 3; ++k) {
      node.low[k][c] = parts[c].bounds.box[k];
      node.high[k][c] = parts[c].bounds.box[k + 3];
    }
  }
  nodes_[index] = node;
  return {static_cast<int32_t>(index), 0};
}

int32_t RayTree::Split(int32_t first, int32_t count, const Bounds& bounds, int32_t depth,
                       Bounds parts[2]) {
  // By surface area, or halved where that finds no split or may have left few faces to a side
  // for too many levels.
  int axis = 0;
  for (int k = 1; k < 3; ++k) {
    if (bounds.middleHigh[k] - bounds.middleLow[k] >
        bounds.middleHigh[axis] - bounds.middleLow[axis]) {
      axis = k;
    }
  }
  int32_t half = depth < kMaxSurfaceAreaDepth
                     ? SurfaceAreaSplit(first, count, axis, bounds.middleLow[axis],
                                        bounds.middleHigh[axis], parts)
                     : 0;
  if (half <= 0 || half >= count) {
    half = count / 2;
    const auto begin = boxes_.begin() + first;
    std::nth_element(begin, begin + half, begin + count,
                     [axis](const FaceBox& a, const FaceBox& b) {
                       return Middle(a.box, axis) < Middle(b.box, axis);
                     });
    parts[0] = BoundsOf(first, half);
    parts[1] = BoundsOf(first + half, count - half);
  }
  return half;
}

int32_t RayTree::SurfaceAreaSplit(int32_t first, int32_t count, int axis, float middleLow,
                                  float middleHigh, Bounds sides[2]) {
  const double low = middleLow, span = static_cast<double>(middleHigh) - low;
  if (!(span > 0.0)) return 0;
  // The span of middles in kSplitBins bins; the cost of a split between bins is the surface of
  // each side's box times its face count, which estimates how many faces the rays through the
  // group test on either side. A large group's costs are estimated from an even sample of its
  // faces: any split between bins is a valid split, the sample only chooses among them.
  struct Bin {
    float box[6] = {INFINITY, INFINITY, INFINITY, -INFINITY, -INFINITY, -INFINITY};
    int32_t count = 0;
    void Add(const float* b, int32_t faces) {
      Enclose(box, b);
      count += faces;
    }
    double Cost() const {
      const double dx = box[3] - box[0], dy = box[4] - box[1], dz = box[5] - box[2];
      return count > 0 ? (dx * dy + dy * dz + dz * dx) * count : 0.0;
    }
  };
  const auto begin = boxes_.begin() + first;
  const int32_t stride = std::max<int32_t>(1, count / kSampledFaces);
  // A group sampled whole keeps each face's bin for the partition below.
  const bool wholeGroup = stride == 1;
  if (wholeGroup) binOf_.resize(static_cast<size_t>(count));
  // Neighbouring faces mostly share a bin: alternate faces go to two sets of bins, merged after,
  // so that each face's update need not wait for the one before.
  Bin bins[kSplitBins], alternate[kSplitBins];
  int32_t sampled = 0;
  for (int32_t i = 0; i < count; i += stride, ++sampled) {
    const float* face = begin[i].box;
    const int bin = BinOf(face, axis, low, span);
    if (wholeGroup) binOf_[static_cast<size_t>(i)] = static_cast<uint8_t>(bin);
    (sampled % 2 == 0 ? bins : alternate)[bin].Add(face, 1);
  }
  for (int b = 0; b < kSplitBins; ++b) {
    if (alternate[b].count > 0) bins[b].Add(alternate[b].box, alternate[b].count);
  }
  double above[kSplitBins];  // the cost of bins b .. kSplitBins - 1 as one side
  Bin side;
  for (int b = kSplitBins - 1; b > 0; --b) {
    if (bins[b].count > 0) side.Add(bins[b].box, bins[b].count);
    above[b] = side.Cost();
  }
  int bestBin = -1;
  double bestCost = INFINITY;
  side = Bin();
  for (int b = 0; b + 1 < kSplitBins; ++b) {
    if (bins[b].count > 0) side.Add(bins[b].box, bins[b].count);
    if (side.count == 0 || side.count == sampled) continue;
    const double cost = side.Cost() + above[b + 1];
    if (cost < bestCost) {
      bestCost = cost;
      bestBin = b;
    }
  }
  if (bestBin < 0) return 0;
  // Faces of the bins up to bestBin first, swapped pairwise from both ends, each side's bounds
  // gathered as its faces are placed.
  auto goesFirst = [&](int32_t i) {
    const int bin =
        wholeGroup ? binOf_[static_cast<size_t>(i)] : BinOf(begin[i].box, axis, low, span);
    return bin <= bestBin;
  };
  Bounds parts[2];
  int32_t lo = 0, hi = count;
  while (true) {
    while (lo < hi && goesFirst(lo))
      parts[0].Add(begin[lo++].box);
    if (lo == hi) break;
    // begin[lo] goes second; so do the faces from the end until one that goes first.
    while (hi - 1 > lo && !goesFirst(hi - 1))
      parts[1].Add(begin[--hi].box);
    if (hi - 1 == lo) {
      parts[1].Add(begin[lo].box);
      break;
    }
    std::swap(begin[lo], begin[hi - 1]);
    if (wholeGroup) std::swap(binOf_[static_cast<size_t>(lo)], binOf_[static_cast<size_t>(hi - 1)]);
    parts[0].Add(begin[lo++].box);
    parts[1].Add(begin[--hi].box);
  }
  sides[0] = parts[0];
  sides[1] = parts[1];
  return lo;
}

}  // namespace vexmor
