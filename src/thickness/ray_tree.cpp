#include "thickness/ray_tree.h"

#include <algorithm>
#include <cmath>

#include "mesh/smesh.h"
#include "thickness/face_frame.h"

namespace vexmor {

RayTree::RayTree(const AdtTree& tree, const SMesh& mesh) {
  if (tree.root == nullptr || tree.nodes.empty()) return;
  // The ADT's nodes in its listing order: pre-order, each node before its low subtree, then its
  // high subtree.
  faces_.reserve(static_cast<size_t>(std::max(tree.count, 0)));
  std::vector<const AdtNode*> pending{tree.root};
  int32_t rank = 0;
  while (!pending.empty() && static_cast<size_t>(rank) < tree.nodes.size()) {
    const AdtNode* node = pending.back();
    pending.pop_back();
    RayFace face;
    face.faceIndex = node->faceIndex;
    face.facePos = node->facePos;
    face.rank = rank++;
    if (LoadFaceTriangle(mesh, face.facePos, 0, face.tri)) {
      double second[9];
      if (LoadFaceTriangle(mesh, face.facePos, 1, second)) wholeFaces_ = false;
      faces_.push_back(face);
    }
    if (node->high != nullptr) pending.push_back(node->high);
    if (node->low != nullptr) pending.push_back(node->low);
  }
  if (faces_.empty()) return;
  // Halved groups leave at least half of kLeafFaces faces to a leaf, and a tree has fewer nodes
  // than twice its leaves.
  nodes_.reserve(2 * (faces_.size() / (kLeafFaces / 2) + 1));
  Build(0, static_cast<int32_t>(faces_.size()));
}

void RayTree::Build(int32_t first, int32_t count) {
  const size_t index = nodes_.size();
  nodes_.emplace_back();
  Node node;
  node.first = first;
  node.count = count;
  double middleLow[3], middleHigh[3];
  for (int k = 0; k < 3; ++k) {
    node.box[k] = middleLow[k] = INFINITY;
    node.box[k + 3] = middleHigh[k] = -INFINITY;
  }
  for (int32_t i = first; i < first + count; ++i) {
    double box[6];
    WidenedFaceBox(faces_[static_cast<size_t>(i)].tri, box);
    for (int k = 0; k < 3; ++k) {
      node.box[k] = std::min(node.box[k], box[k]);
      node.box[k + 3] = std::max(node.box[k + 3], box[k + 3]);
      const double middle = 0.5 * (box[k] + box[k + 3]);
      middleLow[k] = std::min(middleLow[k], middle);
      middleHigh[k] = std::max(middleHigh[k], middle);
    }
  }
  if (count > kLeafFaces) {
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
    Build(first, half);
    node.second = static_cast<int32_t>(nodes_.size());
    Build(first + half, count - half);
  }
  nodes_[index] = node;
}

}  // namespace vexmor
