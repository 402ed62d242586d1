#include "geometry/ray_tree.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "geometry/face_frame.h"
#include "mesh/smesh.h"

namespace vexmor {

namespace {

// The largest float not above v, and the smallest not below it.
float FloatBelow(double v) {
  const float f = static_cast<float>(v);
  return static_cast<double>(f) > v ? std::nextafter(f, -INFINITY) : f;
}
float FloatAbove(double v) {
  const float f = static_cast<float>(v);
  return static_cast<double>(f) < v ? std::nextafter(f, INFINITY) : f;
}

// Rearranges v into v[order[0]], v[order[1]], ... through one copy.
template <typename T>
void Reorder(LargeVector<T>& v, std::span<const int32_t> order) {
  LargeVector<T> ordered;
  ordered.reserve(v.size());
  for (const int32_t i : order)
    ordered.push_back(v[static_cast<size_t>(i)]);
  v = std::move(ordered);
}

}  // namespace

RayTree::RayTree(std::span<const FaceRef> listing, const SMesh& mesh) {
  faces_.reserve(listing.size());
  int32_t rank = 0;
  for (const FaceRef& ref : listing) {
    RayFace face;
    face.faceIndex = ref.faceIndex;
    face.facePos = ref.facePos;
    face.rank = rank++;
    if (LoadFaceTriangle(mesh, face.facePos, 0, face.tri)) {
      double second[9];
      if (LoadFaceTriangle(mesh, face.facePos, 1, second)) wholeFaces_ = false;
      faces_.push_back(face);
    }
  }
  if (faces_.empty()) return;
  boxes_.resize(faces_.size());
  order_.resize(faces_.size());
  for (size_t i = 0; i < faces_.size(); ++i) {
    double box[6];
    WidenedFaceBox(faces_[i].tri, box);
    for (int k = 0; k < 3; ++k) {
      boxes_[i].box[k] = FloatBelow(box[k]);
      boxes_[i].box[k + 3] = FloatAbove(box[k + 3]);
    }
    order_[i] = static_cast<int32_t>(i);
  }
  // Halved groups leave at least half of kLeafFaces faces to a leaf, and a tree has fewer inner
  // nodes than leaves.
  nodes_.reserve(faces_.size() / (kLeafFaces / 2) + 1);
  root_ = Build(0, static_cast<int32_t>(faces_.size()), rootBox_);
  Reorder(faces_, order_);
  Reorder(boxes_, order_);
  order_ = LargeVector<int32_t>();
}

RayTree::Child RayTree::Build(int32_t first, int32_t count, float box[6]) {
  float middleLow[3], middleHigh[3];
  for (int k = 0; k < 3; ++k) {
    box[k] = middleLow[k] = INFINITY;
    box[k + 3] = middleHigh[k] = -INFINITY;
  }
  for (int32_t i = first; i < first + count; ++i) {
    const float* face = boxes_[static_cast<size_t>(order_[static_cast<size_t>(i)])].box;
    for (int k = 0; k < 3; ++k) {
      box[k] = std::min(box[k], face[k]);
      box[k + 3] = std::max(box[k + 3], face[k + 3]);
      const float middle = face[k] + face[k + 3];
      middleLow[k] = std::min(middleLow[k], middle);
      middleHigh[k] = std::max(middleHigh[k], middle);
    }
  }
  if (count <= kLeafFaces) return {first, count};
  // Halve the group across the longest extent of its faces' middles.
  int axis = 0;
  for (int k = 1; k < 3; ++k) {
    if (middleHigh[k] - middleLow[k] > middleHigh[axis] - middleLow[axis]) axis = k;
  }
  auto middle = [&](int32_t face) {
    const float* b = boxes_[static_cast<size_t>(face)].box;
    return b[axis] + b[axis + 3];
  };
  const auto begin = order_.begin() + first;
  const int32_t half = count / 2;
  std::nth_element(begin, begin + half, begin + count,
                   [&](int32_t a, int32_t b) { return middle(a) < middle(b); });
  const size_t index = nodes_.size();
  nodes_.emplace_back();
  Node node;
  node.child[0] = Build(first, half, node.box[0]);
  node.child[1] = Build(first + half, count - half, node.box[1]);
  nodes_[index] = node;
  return {static_cast<int32_t>(index), 0};
}

}  // namespace vexmor
