#include "geometry/adt_search.h"

#include <algorithm>
#include <cmath>

#include "geometry/small_stack.h"

namespace vexmor {
namespace {

bool IsInside(const float box[6], const AdtRangeF& range) {
  for (int i = 0; i < 6; ++i) {
    if (!(range.low[i] <= box[i] && box[i] <= range.high[i])) return false;
  }
  return true;
}

// The bounds that the ancestors of the current node impose on any range whose search reaches
// it: the range's low[k] may not exceed the midpoints where the path went low on k, its high[k]
// may not be below those where it went high.
struct PathBounds {
  float maxLow[6];
  float minHigh[6];
};

// Pre-order walk of the nodes that the range search visits, in single precision, without
// recursion. onMatch(node, pathBounds) is called for every node whose box lies in the range and
// returns false to stop the walk; the walk then returns false. In a tree built on demand, the
// walk places the children of the nodes it reaches.
template <class OnMatch>
bool WalkRange(const AdtTree& tree, const AdtRangeF& range, OnMatch&& onMatch) {
  if (tree.root == nullptr) return true;
  float lo[6], hi[6];
  for (int i = 0; i < 6; ++i) {
    lo[i] = static_cast<float>(tree.domainLow[i]);
    hi[i] = static_cast<float>(tree.domainHigh[i]);
  }
  PathBounds path;
  std::fill(path.maxLow, path.maxLow + 6, INFINITY);
  std::fill(path.minHigh, path.minHigh + 6, -INFINITY);

  struct Frame {
    const AdtNode* node;
    float mid;
    float savedRegion;
    float savedPath;
    uint8_t k;
    uint8_t stage;  // 0: not visited, 1: low side done, 2: high side done
    bool wentLow;
    bool wentHigh;
  };
  SmallStack<Frame, 128> stack;
  stack.push({tree.root, 0.f, 0.f, 0.f, 0, 0, false, false});
  while (!stack.empty()) {
    Frame& f = stack.top();
    const AdtNode* node = f.node;
    if (f.stage == 0) {
      if (IsInside(node->box, range) && !onMatch(*node, path)) return false;
      if (node->childrenPending) AdtPlaceChildren(tree, *node);
      const int k = node->depth % 6;
      f.k = static_cast<uint8_t>(k);
      f.mid = static_cast<float>(static_cast<double>(lo[k] + hi[k]) * 0.5);
      f.stage = 1;
      f.wentLow = node->low != 0 && f.mid >= range.low[k];
      if (f.wentLow) {
        f.savedRegion = hi[k];
        hi[k] = f.mid;
        f.savedPath = path.maxLow[k];
        path.maxLow[k] = std::min(path.maxLow[k], f.mid);
        stack.push({tree.Low(*node), 0.f, 0.f, 0.f, 0, 0, false, false});
        continue;
      }
    }
    const int k = f.k;
    if (f.stage == 1) {
      if (f.wentLow) {
        hi[k] = f.savedRegion;
        path.maxLow[k] = f.savedPath;
      }
      f.stage = 2;
      f.wentHigh = node->high != 0 && range.high[k] >= f.mid;
      if (f.wentHigh) {
        f.savedRegion = lo[k];
        lo[k] = f.mid;
        f.savedPath = path.minHigh[k];
        path.minHigh[k] = std::max(path.minHigh[k], f.mid);
        stack.push({tree.High(*node), 0.f, 0.f, 0.f, 0, 0, false, false});
        continue;
      }
    }
    if (f.wentHigh) {
      lo[k] = f.savedRegion;
      path.minHigh[k] = f.savedPath;
    }
    stack.pop();
  }
  return true;
}

}  // namespace

AdtRangeF RoundRange(const double low[6], const double high[6]) {
  AdtRangeF range;
  for (int i = 0; i < 6; ++i) {
    range.low[i] = static_cast<float>(low[i]);
    range.high[i] = static_cast<float>(high[i]);
  }
  return range;
}

AdtRangeF CubeRange(const double bbox[6], const double c[3], double r) {
  const double low[6] = {bbox[0], bbox[1], bbox[2], c[0] - r, c[1] - r, c[2] - r};
  const double high[6] = {c[0] + r, c[1] + r, c[2] + r, bbox[3], bbox[4], bbox[5]};
  return RoundRange(low, high);
}

bool AdtSearchReach(const AdtTree& tree, const AdtRangeF& range, AdtReachResult& result,
                    size_t maxResults) {
  result.clear();
  return WalkRange(tree, range, [&](const AdtNode& node, const PathBounds& path) {
    if (result.size() >= maxResults) return false;
    AdtReach& reach = result.emplace_back();
    reach.faceIndex = node.faceIndex;
    reach.facePos = node.facePos;
    for (int i = 0; i < 6; ++i) {
      reach.needLow[i] = std::min(node.box[i], path.maxLow[i]);
      reach.needHigh[i] = std::max(node.box[i], path.minHigh[i]);
    }
    return true;
  });
}

std::vector<FaceRef> AdtListing(const AdtTree& tree) {
  std::vector<FaceRef> listing;
  if (tree.root == nullptr) return listing;
  listing.reserve(static_cast<size_t>(std::max(tree.count, 0)));
  std::vector<const AdtNode*> pending{tree.root};
  while (!pending.empty() && listing.size() < tree.nodes.size()) {
    const AdtNode* node = pending.back();
    pending.pop_back();
    listing.push_back({node->faceIndex, node->facePos});
    if (const AdtNode* high = tree.High(*node)) pending.push_back(high);
    if (const AdtNode* low = tree.Low(*node)) pending.push_back(low);
  }
  return listing;
}

}  // namespace vexmor
