#include "geometry/adt_nearest.h"

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

// How far a true coordinate may lie outside the single-precision value or region bound that
// stands for it: the rounding to single precision, once for the face box and once for a domain
// bound, with room to spare.
double Slack(double v) {
  return std::fabs(v) * 0x1p-21 + 1e-30;
}

// A lower bound of the squared distance from p to any box whose minimum corner is at least
// lo[0..2] and whose maximum corner is at most hi[3..5] (single-precision values standing for
// double-precision boxes).
double HullDistanceSq(const double p[3], const double lo[6], const double hi[6]) {
  double sum = 0.0;
  for (int a = 0; a < 3; ++a) {
    const double below = (lo[a] - Slack(lo[a])) - p[a];
    const double above = p[a] - (hi[a + 3] + Slack(hi[a + 3]));
    const double gap = std::max({0.0, below, above});
    sum += gap * gap;
  }
  // Slightly less, so that rounding in the face's own distance cannot make it nearer.
  return sum * (1 - 1e-9);
}

double BoxDistanceSq(const double p[3], const float box[6]) {
  double lo[6], hi[6];
  for (int i = 0; i < 6; ++i)
    lo[i] = hi[i] = box[i];
  return HullDistanceSq(p, lo, hi);
}

}  // namespace

double AdtNearestInRange(const AdtTree& tree, const AdtRangeF& range, const double p[3],
                         double best, FaceDistance& measure) {
  if (tree.root == nullptr) return best;
  // The region as the search sees it (single precision) decides which nodes are visited; the
  // region as insertion built it (double precision) bounds the boxes stored below a node.
  float searchLo[6], searchHi[6];
  double treeLo[6], treeHi[6];
  for (int i = 0; i < 6; ++i) {
    searchLo[i] = static_cast<float>(tree.domainLow[i]);
    searchHi[i] = static_cast<float>(tree.domainHigh[i]);
    treeLo[i] = tree.domainLow[i];
    treeHi[i] = tree.domainHigh[i];
  }

  struct Frame {
    const AdtNode* node;
    double treeMid;
    double savedTree;
    float searchMid;
    float savedSearch;
    uint8_t k;
    uint8_t stage;   // children handled so far: 0, 1 or 2
    bool highFirst;  // the high child is the nearer one and goes first
    bool descended;  // the region was narrowed for the child being visited
  };
  SmallStack<Frame, 128> stack;
  stack.push({tree.root, 0, 0, 0, 0, 0, 0, false, false});

  // Narrows the regions to one child of f, or returns false when the child is not visited.
  auto enter = [&](Frame& f, bool high) {
    const AdtNode* child = high ? f.node->high : f.node->low;
    const int k = f.k;
    if (child == nullptr) return false;
    if (high ? !(range.high[k] >= f.searchMid) : !(f.searchMid >= range.low[k])) return false;
    double* bound = high ? treeLo : treeHi;
    const double savedTree = bound[k];
    bound[k] = f.treeMid;
    if (!(HullDistanceSq(p, treeLo, treeHi) <= best)) {
      bound[k] = savedTree;
      return false;
    }
    float* search = high ? searchLo : searchHi;
    f.savedTree = savedTree;
    f.savedSearch = search[k];
    search[k] = f.searchMid;
    f.descended = true;
    stack.push({child, 0, 0, 0, 0, 0, 0, false, false});
    return true;
  };
  auto leave = [&](Frame& f, bool high) {
    if (!f.descended) return;
    (high ? treeLo : treeHi)[f.k] = f.savedTree;
    (high ? searchLo : searchHi)[f.k] = f.savedSearch;
    f.descended = false;
  };

  while (!stack.empty()) {
    Frame& f = stack.top();
    if (f.stage == 0) {
      const AdtNode* node = f.node;
      if (IsInside(node->box, range) && BoxDistanceSq(p, node->box) <= best) {
        const double d2 = measure.SquaredDistance(node->facePos);
        if (d2 < best) best = d2;
      }
      const int k = node->depth % 6;
      f.k = static_cast<uint8_t>(k);
      f.searchMid = static_cast<float>(static_cast<double>(searchLo[k] + searchHi[k]) * 0.5);
      f.treeMid = (treeLo[k] + treeHi[k]) * 0.5;
      // Nearer child first: the one whose side of the split holds p on a minimum coordinate
      // (k < 3) or a maximum one.
      const double pk = p[k % 3];
      f.highFirst = pk > f.treeMid;
      f.stage = 1;
      if (enter(f, f.highFirst)) continue;
    }
    if (f.stage == 1) {
      leave(f, f.highFirst);
      f.stage = 2;
      if (enter(f, !f.highFirst)) continue;
    }
    leave(f, !f.highFirst);
    stack.pop();
  }
  return best;
}

}  // namespace vexmor
