#include "geometry/adt.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <unordered_map>

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

bool SameBox(const AdtNode& a, const AdtNode& b) {
  return std::memcmp(a.box, b.box, sizeof a.box) == 0;
}

// Descends from cur, whose region is `region`, and attaches node below the last node of its
// path. On return `region` is the region of the new node. Returns the new node's depth as a
// full integer and counts in *sameBoxes the nodes of the path whose box is bitwise identical.
int32_t Descend(AdtNode* cur, Region& region, AdtNode* node, int32_t* sameBoxes) {
  for (;;) {
    const uint8_t d = cur->depth;
    const int k = d % 6;
    const double mid = (region.lo[k] + region.hi[k]) * 0.5;
    const double key = static_cast<double>(node->box[k]);
    if (sameBoxes != nullptr && cur->box[k] == node->box[k] && SameBox(*cur, *node)) {
      ++*sameBoxes;
    }
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

// Faces with bitwise identical boxes follow the same path and form a chain, each one level
// below the previous one. Remembering where the last one of a long chain was attached lets the
// next one start there instead of walking the whole chain again; the tree is the same.
class ChainShortcuts {
 public:
  struct Entry {
    AdtNode* node;
    Region region;
  };

  const Entry* Find(const AdtNode& node) const {
    if (entries_.empty()) return nullptr;
    auto it = entries_.find(KeyOf(node));
    return it == entries_.end() ? nullptr : &it->second;
  }
  void Remember(AdtNode* node, const Region& region) {
    entries_[KeyOf(*node)] = Entry{node, region};
  }

 private:
  using Key = std::array<uint32_t, 6>;
  struct KeyHash {
    size_t operator()(const Key& key) const {
      uint64_t h = 1469598103934665603ull;
      for (uint32_t v : key)
        h = (h ^ v) * 1099511628211ull;
      return static_cast<size_t>(h);
    }
  };
  static Key KeyOf(const AdtNode& node) {
    Key key;
    std::memcpy(key.data(), node.box, sizeof node.box);
    return key;
  }
  std::unordered_map<Key, Entry, KeyHash> entries_;
};

// Identical boxes met on one path before the chain gets a shortcut: pairs and triples of
// duplicate faces cost nothing extra.
constexpr int32_t kChainShortcutLength = 8;

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
  return Descend(tree.root, region, node, nullptr);
}

namespace {

// Faces whose descents are walked side by side. A descent is a chain of dependent reads through
// a tree far larger than the caches; walking several at once lets their reads overlap.
constexpr size_t kDescentsAtOnce = 16;

// One face on its way down: how far it has gone through the tree as it stands.
struct Descent {
  AdtNode* node;  // the face's own slot
  AdtNode* cur;   // the last node of its path so far, whose region is `region`
  Region region;
  int32_t sameBoxes;  // nodes passed with a bitwise identical box
  bool viaShortcut;   // its chain has a shortcut: it descends only when its turn comes
};

// Walks d down while the next child exists, counting identical boxes as Descend does; stops at
// the node whose child slot is empty, before comparing with it. Returns false once stopped.
bool StepDown(Descent& d) {
  AdtNode* cur = d.cur;
  const int k = cur->depth % 6;
  const double mid = (d.region.lo[k] + d.region.hi[k]) * 0.5;
  const double key = static_cast<double>(d.node->box[k]);
  AdtNode* child = mid >= key ? cur->low : cur->high;
  if (child == nullptr) return false;
  if (cur->box[k] == d.node->box[k] && SameBox(*cur, *d.node)) ++d.sameBoxes;
  if (mid >= key) {
    d.region.hi[k] = mid;
  } else {
    d.region.lo[k] = mid;
  }
  d.cur = child;
  // Read next time round, after the other descents' steps: ask for it now.
  __builtin_prefetch(child);
  return true;
}

}  // namespace

// The tree is that of inserting the faces one by one in connectivity order. Faces are taken in
// groups whose descents run side by side through the tree as it stood before the group; then,
// in order, each face finishes its descent from where it stopped. The tree only grows at empty
// child slots, so every path walked before stays a path, and a face finishes below any face of
// its own group that took the slot it stopped at: the same place as one by one.
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

  ChainShortcuts chains;
  const size_t size = std::min(mesh.elem.size(), static_cast<size_t>(std::max(mesh.szelem, 0)));
  int32_t faceIndex = 0;
  std::array<Descent, kDescentsAtOnce> group;
  for (size_t pos = 0; pos < size && tree->count < tree->capacity;) {
    // Take the slots of the next faces.
    size_t taken = 0;
    for (; taken < kDescentsAtOnce && pos < size && tree->count < tree->capacity; ++faceIndex) {
      double box[6];
      FaceBox(mesh, pos, size, box);
      AdtNode* node = TakeSlot(*tree, box, faceIndex, static_cast<int32_t>(pos));
      const int32_t n = mesh.elem[pos];
      pos += n > 0 ? static_cast<size_t>(n) + 1 : 1;
      if (tree->root == nullptr) {
        tree->root = node;
        continue;
      }
      group[taken++] = {node, tree->root, DomainOf(*tree), 0, chains.Find(*node) != nullptr};
    }
    // Their descents side by side, as far as the tree before them goes.
    bool moving = true;
    while (moving) {
      moving = false;
      for (size_t i = 0; i < taken; ++i) {
        if (!group[i].viaShortcut && StepDown(group[i])) moving = true;
      }
    }
    // Each finishes in turn.
    for (size_t i = 0; i < taken; ++i) {
      Descent& d = group[i];
      const ChainShortcuts::Entry* shortcut = chains.Find(*d.node);
      if (d.viaShortcut) {
        if (shortcut != nullptr) {
          d.cur = shortcut->node;
          d.region = shortcut->region;
        }
        d.sameBoxes = 0;
      }
      Descend(d.cur, d.region, d.node, &d.sameBoxes);
      if (shortcut != nullptr || d.sameBoxes >= kChainShortcutLength) {
        chains.Remember(d.node, d.region);
      }
    }
  }
  // Every slot taken hangs in the tree: its deepest node is the deepest slot.
  for (int32_t i = 0; i < tree->count; ++i)
    tree->maxDepth = std::max<int32_t>(tree->maxDepth, tree->nodes[static_cast<size_t>(i)].depth);
  mesh.adt = std::move(tree);
}

}  // namespace vexmor
