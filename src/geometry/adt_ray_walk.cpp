#include "geometry/adt_ray_walk.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "geometry/ray_box.h"

namespace vexmor {
namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();

// Face boxes are widened as the ray probes need (kRayWideningFraction, kRayWideningFloor), then
// by one single-precision step: the box then holds the double-precision face that was rounded
// to it, the closest points computed on it, and every point that the segment-triangle
// intersection accepts as on the triangle.
float Below(double v) {
  const float f = static_cast<float>(v);
  return std::isfinite(f) ? std::nextafter(f, -kInf) : f;
}
float Above(double v) {
  const float f = static_cast<float>(v);
  return std::isfinite(f) ? std::nextafter(f, kInf) : f;
}

}  // namespace

void AdtRayWalk::Index() {
  indexed_ = true;
  const AdtTree& tree = tree_;
  const size_t slots = tree.nodes.size();
  rank_.assign(slots, -1);
  low_.assign(slots, -1);
  high_.assign(slots, -1);
  boxes_.assign(12 * slots, 0.0f);
  if (tree.root == nullptr || slots == 0) return;

  root_ = tree.SlotOf(*tree.root);

  // Pre-order (node, low subtree, high subtree), the range search's listing order.
  std::vector<int32_t> order;
  order.reserve(slots);
  std::vector<int32_t> pending{root_};
  while (!pending.empty()) {
    const int32_t slot = pending.back();
    pending.pop_back();
    const size_t i = static_cast<size_t>(slot);
    if (rank_[i] >= 0) continue;  // a damaged tree must not loop
    rank_[i] = static_cast<int32_t>(order.size());
    order.push_back(slot);
    const AdtNode& node = tree.nodes[i];
    if (node.high != 0) {
      high_[i] = node.high;
      pending.push_back(high_[i]);
    }
    if (node.low != 0) {
      low_[i] = node.low;
      pending.push_back(low_[i]);
    }
  }
  // Children follow their parent in pre-order, so the reverse order sees them first.
  for (auto it = order.rbegin(); it != order.rend(); ++it) {
    const size_t i = static_cast<size_t>(*it);
    const float* box = tree.nodes[i].box;
    float* own = &boxes_[12 * i + 6];
    for (int k = 0; k < 3; ++k) {
      const double lo = box[k], hi = box[k + 3];
      if (!(lo <= hi)) {  // the empty box of a face without nodes
        own[k] = kInf;
        own[k + 3] = -kInf;
        continue;
      }
      const double margin = kRayWideningFloor + kRayWideningFraction * (hi - lo);
      own[k] = Below(lo - margin);
      own[k + 3] = Above(hi + margin);
    }
    float* sub = &boxes_[12 * i];
    std::copy(own, own + 6, sub);
    for (const int32_t child : {low_[i], high_[i]}) {
      if (child < 0 || rank_[static_cast<size_t>(child)] <= rank_[i]) continue;
      const float* childBox = SubtreeBox(child);
      for (int k = 0; k < 3; ++k) {
        sub[k] = std::min(sub[k], childBox[k]);
        sub[k + 3] = std::max(sub[k + 3], childBox[k + 3]);
      }
    }
  }
}

}  // namespace vexmor
