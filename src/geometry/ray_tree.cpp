#include "geometry/ray_tree.h"

#include <algorithm>
#include <cmath>

#include "geometry/face_frame.h"
#include "mesh/smesh.h"

namespace vexmor {

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
  // Halved groups leave at least half of kLeafFaces faces to a leaf, and a tree has fewer inner
  // nodes than leaves.
  nodes_.reserve(faces_.size() / (kLeafFaces / 2) + 1);
  root_ = Build(0, static_cast<int32_t>(faces_.size()), rootBox_);
}

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

}  // namespace

RayTree::Child RayTree::Build(int32_t first, int32_t count, float box[6]) {
  double lo[3], hi[3], middleLow[3], middleHigh[3];
  for (int k = 0; k < 3; ++k) {
    lo[k] = middleLow[k] = INFINITY;
    hi[k] = middleHigh[k] = -INFINITY;
  }
  for (int32_t i = first; i < first + count; ++i) {
    double face[6];
    WidenedFaceBox(faces_[static_cast<size_t>(i)].tri, face);
    for (int k = 0; k < 3; ++k) {
      lo[k] = std::min(lo[k], face[k]);
      hi[k] = std::max(hi[k], face[k + 3]);
      const double middle = 0.5 * (face[k] + face[k + 3]);
      middleLow[k] = std::min(middleLow[k], middle);
      middleHigh[k] = std::max(middleHigh[k], middle);
    }
  }
  for (int k = 0; k < 3; ++k) {
    box[k] = FloatBelow(lo[k]);
    box[k + 3] = FloatAbove(hi[k]);
  }
  if (count <= kLeafFaces) return {first, count};
  // Halve the group across the longest extent of its faces' middles.
  int axis = 0;
  for (int k = 1; k < 3; ++k) {
    if (middleHigh[k] - middleLow[k] > middleHigh[axis] - middleLow[axis]) axis = k;
  }
  auto middle = [axis](const RayFace& face) {
    return std::min({face.tri[axis], face.tri[3 + axis], face.tri[6 + axis]}) +
           std::max({face.tri[axis], face.tri[3 + axis], face.tri[6 + axis]});
  };
  const auto begin = faces_.begin() + first;
  const int32_t half = count / 2;
  std::nth_element(begin, begin + half, begin + count,
                   [&](const RayFace& a, const RayFace& b) { return middle(a) < middle(b); });
  const size_t index = nodes_.size();
  nodes_.emplace_back();
  Node node;
  node.child[0] = Build(first, half, node.box[0]);
  node.child[1] = Build(first + half, count - half, node.box[1]);
  nodes_[index] = node;
  return {static_cast<int32_t>(index), 0};
}

}  // namespace vexmor
