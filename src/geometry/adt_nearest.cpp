#include "geometry/adt_nearest.h"

#include <algorithm>
#include <cmath>

#include "geometry/ordered_traversal.h"

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

// A subtree of the ADT and the regions that hold it: as the search sees them (single precision),
// deciding which nodes are visited, and as insertion built them (double precision), bounding the
// boxes stored below the subtree's root.
struct AdtSubtree {
  const AdtNode* node;
  float searchLo[6], searchHi[6];
  double treeLo[6], treeHi[6];
};

}  // namespace

double AdtNearestInRange(const AdtTree& tree, const AdtRangeF& range, const double p[3],
                         double best, FaceDistance& measure) {
  if (tree.root == nullptr) return best;
  // The root is always searched: its key is below any distance.
  PendingSubtree<AdtSubtree> root{{tree.root, {}, {}, {}, {}}, -INFINITY};
  for (int i = 0; i < 6; ++i) {
    root.ref.searchLo[i] = static_cast<float>(tree.domainLow[i]);
    root.ref.searchHi[i] = static_cast<float>(tree.domainHigh[i]);
    root.ref.treeLo[i] = tree.domainLow[i];
    root.ref.treeHi[i] = tree.domainHigh[i];
  }
  // Kept between calls: a search of a few nodes should not allocate.
  thread_local TraversalStack<AdtSubtree> pending;
  // A subtree is searched unless its region lies farther from p than the best distance so far.
  auto withinBest = [&](double hullDistanceSq) { return hullDistanceSq <= best; };
  auto visit = [&](const AdtSubtree& subtree, TraversalStack<AdtSubtree>& stack) {
    const AdtNode* node = subtree.node;
    if (IsInside(node->box, range) && BoxDistanceSq(p, node->box) <= best) {
      const double d2 = measure.SquaredDistance(node->facePos);
      if (d2 < best) best = d2;
    }
    const int k = node->depth % 6;
    const float searchMid =
        static_cast<float>(static_cast<double>(subtree.searchLo[k] + subtree.searchHi[k]) * 0.5);
    const double treeMid = (subtree.treeLo[k] + subtree.treeHi[k]) * 0.5;
    // A child is searched if it exists, the range reaches its side of the split, and its region
    // is not farther from p than the best distance.
    auto child = [&](bool high) {
      PendingSubtree<AdtSubtree> c{subtree, INFINITY};
      c.ref.node = high ? tree.High(*node) : tree.Low(*node);
      if (c.ref.node == nullptr) return c;
      if (high ? !(range.high[k] >= searchMid) : !(searchMid >= range.low[k])) {
        c.ref.node = nullptr;
        return c;
      }
      (high ? c.ref.treeLo : c.ref.treeHi)[k] = treeMid;
      (high ? c.ref.searchLo : c.ref.searchHi)[k] = searchMid;
      c.key = HullDistanceSq(p, c.ref.treeLo, c.ref.treeHi);
      return c;
    };
    auto wanted = [&](const PendingSubtree<AdtSubtree>& c) {
      return c.ref.node != nullptr && withinBest(c.key);
    };
    // Nearer child first: the one whose side of the split holds p on a minimum coordinate
    // (k < 3) or a maximum one.
    const bool highFirst = p[k % 3] > treeMid;
    QueueInOrderIf(stack, child(highFirst), child(!highFirst), wanted);
  };
  OrderedTraversal(pending, root, withinBest, visit);
  return best;
}

}  // namespace vexmor
