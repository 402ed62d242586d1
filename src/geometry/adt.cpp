#include "geometry/adt.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <numeric>

#include "geometry/bbox.h"
#include "geometry/tolerances.h"
#include "mesh/smesh.h"
#include "mesh/trace.h"

namespace vexmor {
namespace {

// The part of the six-dimensional domain that a node splits, in double precision.
struct Region {
  double lo[6];
  double hi[6];
};

Region DomainOf(const AdtTree& tree) {
  Region region;
  std::copy(tree.domainLow, tree.domainLow + 6, region.lo);
  std::copy(tree.domainHigh, tree.domainHigh + 6, region.hi);
  return region;
}

// Takes the next free slot for a face box, or nothing when every slot is used.
AdtNode* TakeSlot(AdtTree& tree, const double box[6], int32_t faceIndex, int32_t facePos) {
  if (tree.count >= tree.capacity || static_cast<size_t>(tree.count) >= tree.nodes.size()) {
    return nullptr;
  }
  AdtNode* node = &tree.nodes[static_cast<size_t>(tree.count++)];
  for (int i = 0; i < 6; ++i)
    node->box[i] = static_cast<float>(box[i]);
  node->faceIndex = faceIndex;
  node->facePos = facePos;
  return node;
}

// Descends from cur, whose region is `region`, and attaches node below the last node of its
// path. On return `region` is the region of the new node. Returns the new node's depth as a
// full integer.
int32_t Descend(AdtNode* cur, Region& region, AdtNode* node) {
  for (;;) {
    const uint8_t d = cur->depth;
    const int k = d % 6;
    const double mid = (region.lo[k] + region.hi[k]) * 0.5;
    const double key = static_cast<double>(node->box[k]);
    // Ties go low; a key that is not a number goes high.
    AdtNode** child = mid >= key ? &cur->low : &cur->high;
    if (mid >= key) {
      region.hi[k] = mid;
    } else {
      region.lo[k] = mid;
    }
    if (*child == nullptr) {
      *child = node;
      node->depth = static_cast<uint8_t>(d + 1);
      return int32_t{d} + 1;
    }
    cur = *child;
  }
}

// The box of the face whose count entry is at pos, over the node numbers that exist; the empty
// box (DBL_MAX, -DBL_MAX) when it has none.
void FaceBox(const SMesh& mesh, size_t pos, size_t size, double box[6]) {
  for (int k = 0; k < 3; ++k) {
    box[k] = kDblMax;
    box[k + 3] = -kDblMax;
  }
  const int32_t n = mesh.elem[pos];
  const size_t last = std::min(size - 1, pos + static_cast<size_t>(std::max(n, 0)));
  for (size_t j = pos + 1; j <= last; ++j) {
    const int32_t id = mesh.elem[j];
    if (id < 0 || id >= mesh.nbNodes || static_cast<size_t>(id) >= mesh.coords.size() / 3) {
      continue;
    }
    const double* p = mesh.Node(id);
    for (int k = 0; k < 3; ++k) {
      box[k] = std::min(box[k], p[k]);
      box[k + 3] = std::max(box[k + 3], p[k]);
    }
  }
}

}  // namespace

int32_t AdtInsert(AdtTree& tree, const double box[6], int32_t faceIndex, int32_t facePos) {
  AdtNode* node = TakeSlot(tree, box, faceIndex, facePos);
  if (node == nullptr) return -1;
  if (tree.root == nullptr) {
    tree.root = node;
    return 0;
  }
  Region region = DomainOf(tree);
  return Descend(tree.root, region, node);
}

namespace {

// The faces that hang below one place of the tree: a range of one of the two face lists, in
// insertion order, or in reverse when `reversed`.
struct Subtree {
  AdtNode** link;  // the child pointer (or root) that its first face fills
  Region region;
  size_t begin;
  size_t end;
  uint8_t depth;  // depth of that place, wrapping as AdtNode::depth does
  uint8_t list;   // which of the two lists holds the range
  bool reversed;
};

bool SameBox(const AdtNode& a, const AdtNode& b) {
  return std::memcmp(a.box, b.box, sizeof a.box) == 0;
}

// Hangs faces of one box below `parent`, each one level below the previous: where one by one
// insertion puts them, since each follows the path of the one before and finds it there.
void HangChain(AdtTree& tree, AdtNode* parent, Region region, const int32_t* slots, size_t count,
               bool reversed) {
  for (size_t i = 0; i < count; ++i) {
    AdtNode* node = &tree.nodes[static_cast<size_t>(slots[reversed ? count - 1 - i : i])];
    Descend(parent, region, node);
    parent = node;
  }
}

}  // namespace

// The tree is that of inserting the faces one by one in connectivity order, built top down: the
// first face of a subtree's faces takes its place, and the others, kept in order, split by the
// side they go to there. Each level is one pass over a list, where insertion would walk a path
// through a tree far larger than the caches for every face.
void BuildAdtTree(SMesh& mesh) {
  Trace("#BuildAdtTree");
  if (mesh.adt) return;
  if (mesh.bboxDone == 0) ComputeBBox(mesh, false);

  auto tree = std::make_unique<AdtTree>();
  const int32_t slots = std::max(mesh.nbFaces, 0);
  tree->nodes.resize(static_cast<size_t>(slots));
  tree->capacity = slots;
  for (int k = 0; k < 3; ++k) {
    tree->domainLow[k] = tree->domainLow[k + 3] = mesh.bbox[k];
    tree->domainHigh[k] = tree->domainHigh[k + 3] = mesh.bbox[k + 3];
  }
  const size_t size = std::min(mesh.elem.size(), static_cast<size_t>(std::max(mesh.szelem, 0)));
  int32_t faceIndex = 0;
  for (size_t pos = 0; pos < size && tree->count < tree->capacity; ++faceIndex) {
    double box[6];
    FaceBox(mesh, pos, size, box);
    TakeSlot(*tree, box, faceIndex, static_cast<int32_t>(pos));
    const int32_t n = mesh.elem[pos];
    pos += n > 0 ? static_cast<size_t>(n) + 1 : 1;
  }

  // Each level moves a subtree's faces from one list to the other, the low side forward and the
  // high side backward from the end of the range, so that no pass copies them back.
  const size_t count = static_cast<size_t>(tree->count);
  LargeVector<int32_t> lists[2];
  lists[0].resize(count);
  lists[1].resize(count);
  std::iota(lists[0].begin(), lists[0].end(), 0);
  std::vector<Subtree> todo;
  if (count > 0) todo.push_back({&tree->root, DomainOf(*tree), 0, count, 0, 0, false});
  while (!todo.empty()) {
    const Subtree s = todo.back();
    todo.pop_back();
    const int32_t* from = lists[s.list].data();
    int32_t* to = lists[1 - s.list].data();
    // In insertion order: from[at(0)], from[at(1)], ...
    const auto at = [&](size_t i) { return s.reversed ? s.end - 1 - i : s.begin + i; };
    const size_t n = s.end - s.begin;
    AdtNode* node = &tree->nodes[static_cast<size_t>(from[at(0)])];
    *s.link = node;
    node->depth = s.depth;
    if (n == 1) continue;
    const int k = s.depth % 6;
    const double mid = (s.region.lo[k] + s.region.hi[k]) * 0.5;
    // Ties go low; a key that is not a number goes high.
    size_t lowEnd = s.begin, highBegin = s.end;
    for (size_t i = 1; i < n; ++i) {
      const int32_t slot = from[at(i)];
      if (mid >= static_cast<double>(tree->nodes[static_cast<size_t>(slot)].box[k])) {
        to[lowEnd++] = slot;
      } else {
        to[--highBegin] = slot;
      }
    }
    // Faces of one box all go the same way at every level; a long run of them would otherwise
    // cost a pass per face.
    const bool oneSide = lowEnd == s.begin || highBegin == s.end;
    if (oneSide) {
      const bool low = highBegin == s.end;
      const int32_t* run = to + (low ? s.begin : highBegin);
      const size_t runLength = n - 1;
      const AdtNode& first = tree->nodes[static_cast<size_t>(run[0])];
      if (std::all_of(run + 1, run + runLength, [&](int32_t slot) {
            return SameBox(tree->nodes[static_cast<size_t>(slot)], first);
          })) {
        HangChain(*tree, node, s.region, run, runLength, !low);
        continue;
      }
    }
    const uint8_t childDepth = static_cast<uint8_t>(s.depth + 1);
    const uint8_t childList = static_cast<uint8_t>(1 - s.list);
    if (highBegin < s.end) {
      Region high = s.region;
      high.lo[k] = mid;
      todo.push_back({&node->high, high, highBegin, s.end, childDepth, childList, true});
    }
    if (s.begin < lowEnd) {
      Region low = s.region;
      low.hi[k] = mid;
      todo.push_back({&node->low, low, s.begin, lowEnd, childDepth, childList, false});
    }
  }
  // Every slot taken hangs in the tree: its deepest node is the deepest slot.
  for (int32_t i = 0; i < tree->count; ++i)
    tree->maxDepth = std::max<int32_t>(tree->maxDepth, tree->nodes[static_cast<size_t>(i)].depth);
  mesh.adt = std::move(tree);
}

}  // namespace vexmor
