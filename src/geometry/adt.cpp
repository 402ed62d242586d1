#include "geometry/adt.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <numeric>
#include <unordered_map>
#include <vector>

#include "geometry/bbox.h"
#include "geometry/tolerances.h"
#include "mesh/face_walk.h"
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
// path; both are among `nodes`, the tree's slots. On return `region` is the region of the new
// node. Returns the new node's depth as a full integer.
int32_t Descend(AdtNode* nodes, AdtNode* cur, Region& region, AdtNode* node) {
  for (;;) {
    const uint8_t d = cur->depth;
    const int k = d % 6;
    const double mid = (region.lo[k] + region.hi[k]) * 0.5;
    const double key = static_cast<double>(node->box[k]);
    // Ties go low; a key that is not a number goes high.
    int32_t* child = mid >= key ? &cur->low : &cur->high;
    if (mid >= key) {
      region.hi[k] = mid;
    } else {
      region.lo[k] = mid;
    }
    if (*child == 0) {
      *child = static_cast<int32_t>(node - nodes);
      node->depth = static_cast<uint8_t>(d + 1);
      return int32_t{d} + 1;
    }
    cur = nodes + *child;
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
  return Descend(tree.nodes.data(), tree.root, region, node);
}

namespace {

// The faces that hang below a placed node, its head, kept in insertion order: a range of one
// of the two face lists, read backwards when `reversed`.
struct Subtree {
  AdtNode* head;
  Region region;  // the head's
  size_t begin;
  size_t end;
  uint8_t list;  // which of the two lists holds the range
  bool reversed;
};

bool SameBox(const AdtNode& a, const AdtNode& b) {
  return std::memcmp(a.box, b.box, sizeof a.box) == 0;
}

// Hangs faces of one box below `parent`, each one level below the previous: where one by one
// insertion puts them, since each follows the path of the one before and finds it there.
void HangChain(AdtNode* nodes, AdtNode* parent, Region region, const int32_t* slots, size_t count,
               bool reversed) {
  for (size_t i = 0; i < count; ++i) {
    AdtNode* node = &nodes[static_cast<size_t>(slots[reversed ? count - 1 - i : i])];
    Descend(nodes, parent, region, node);
    parent = node;
  }
}

// The slots of the faces in the tree, and the subtrees waiting for their faces to be placed.
class SubtreePlacer {
 public:
  explicit SubtreePlacer(AdtTree& tree) : nodes_(tree.nodes.data()) {
    const size_t count = static_cast<size_t>(tree.count);
    lists_[0].resize(count);
    lists_[1].resize(count);
    std::iota(lists_[0].begin(), lists_[0].end(), 0);
  }

  // Places the first face as the root; the others wait below it.
  Subtree PlaceRoot(AdtTree& tree) {
    AdtNode* root = &nodes_[0];
    tree.root = root;
    return {root, DomainOf(tree), 1, lists_[0].size(), 0, false};
  }

  // Places the first face of each side of the head's split as its child, with the depth of
  // its place, and hands onSubtree(subtree) the faces that wait below each child that has any.
  // Each side's faces move from the subtree's list to the other one, the low side forward and
  // the high side backward from the end of the range, so that no pass copies them back.
  template <class OnSubtree>
  void Split(const Subtree& s, OnSubtree&& onSubtree) {
    if (s.begin == s.end) return;
    const int32_t* from = lists_[s.list].data();
    int32_t* to = lists_[1 - s.list].data();
    const size_t n = s.end - s.begin;
    const int k = s.head->depth % 6;
    const double mid = (s.region.lo[k] + s.region.hi[k]) * 0.5;
    // Ties go low; a key that is not a number goes high.
    size_t lowEnd = s.begin, highBegin = s.end;
    for (size_t i = 0; i < n; ++i) {
      const int32_t slot = from[s.reversed ? s.end - 1 - i : s.begin + i];
      if (mid >= static_cast<double>(nodes_[static_cast<size_t>(slot)].box[k])) {
        to[lowEnd++] = slot;
      } else {
        to[--highBegin] = slot;
      }
    }
    // Faces of one box all go the same way at every level; a long run of them would otherwise
    // cost a pass per face.
    if (lowEnd == s.begin || highBegin == s.end) {
      const bool low = highBegin == s.end;
      const int32_t* run = to + s.begin;
      const AdtNode& first = nodes_[static_cast<size_t>(run[low ? 0 : n - 1])];
      if (std::all_of(run, run + n, [&](int32_t slot) {
            return SameBox(nodes_[static_cast<size_t>(slot)], first);
          })) {
        HangChain(nodes_, s.head, s.region, run, n, !low);
        return;
      }
    }
    const uint8_t childList = static_cast<uint8_t>(1 - s.list);
    const uint8_t childDepth = static_cast<uint8_t>(s.head->depth + 1);
    if (s.begin < lowEnd) {
      AdtNode* child = &nodes_[static_cast<size_t>(to[s.begin])];
      s.head->low = to[s.begin];
      child->depth = childDepth;
      Subtree low{child, s.region, s.begin + 1, lowEnd, childList, false};
      low.region.hi[k] = mid;
      onSubtree(low);
    }
    if (highBegin < s.end) {
      AdtNode* child = &nodes_[static_cast<size_t>(to[s.end - 1])];
      s.head->high = to[s.end - 1];
      child->depth = childDepth;
      Subtree high{child, s.region, highBegin, s.end - 1, childList, true};
      high.region.lo[k] = mid;
      onSubtree(high);
    }
  }

  AdtNode* Nodes() const { return nodes_; }

 private:
  AdtNode* nodes_;
  LargeVector<int32_t> lists_[2];
};

// Takes a slot for every face, in connectivity order, with its box; places none.
std::unique_ptr<AdtTree> TreeOfFaceBoxes(SMesh& mesh) {
  if (mesh.bboxDone == 0) ComputeBBox(mesh, false);
  auto tree = std::make_unique<AdtTree>();
  const int32_t slots = std::max(mesh.nbFaces, 0);
  // Slots are made as the faces fill them: the array is written once, not cleared first.
  tree->nodes.reserve(static_cast<size_t>(slots));
  tree->capacity = slots;
  for (int k = 0; k < 3; ++k) {
    tree->domainLow[k] = tree->domainLow[k + 3] = mesh.bbox[k];
    tree->domainHigh[k] = tree->domainHigh[k + 3] = mesh.bbox[k + 3];
  }
  const size_t size = std::min(mesh.elem.size(), static_cast<size_t>(std::max(mesh.szelem, 0)));
  int32_t faceIndex = 0;
  // whose nodes are asked for
  FacesAhead ahead(mesh.elem, static_cast<int64_t>(size), kReadAheadFaces);
  for (size_t pos = 0; pos < size && tree->count < tree->capacity; ++faceIndex) {
    mesh.PrefetchFaceNodes(ahead.Take());
    double box[6];
    FaceBox(mesh, pos, size, box);
    tree->nodes.emplace_back();
    TakeSlot(*tree, box, faceIndex, static_cast<int32_t>(pos));
    const int32_t n = mesh.elem[pos];
    pos += n > 0 ? static_cast<size_t>(n) + 1 : 1;
  }
  return tree;
}

void SetMaxDepth(AdtTree& tree) {
  // Every slot taken hangs in the tree: its deepest node is the deepest slot.
  tree.maxDepth = 0;
  for (int32_t i = 0; i < tree.count; ++i)
    tree.maxDepth = std::max<int32_t>(tree.maxDepth, tree.nodes[static_cast<size_t>(i)].depth);
}

}  // namespace

// The subtrees of a tree built on demand that wait to be placed, by their head's slot.
struct AdtPendingSubtrees {
  explicit AdtPendingSubtrees(AdtTree& tree) : placer(tree) {}

  void Wait(const Subtree& s) {
    if (s.begin == s.end) return;
    s.head->childrenPending = true;
    waiting.emplace(s.head - placer.Nodes(), s);
  }

  SubtreePlacer placer;
  std::unordered_map<ptrdiff_t, Subtree> waiting;
};

AdtTree::AdtTree() = default;
AdtTree::~AdtTree() = default;
AdtTree::AdtTree(AdtTree&&) noexcept = default;
AdtTree& AdtTree::operator=(AdtTree&&) noexcept = default;

void AdtPlaceChildren(const AdtTree& tree, const AdtNode& node) {
  if (!node.childrenPending || !tree.pending) return;
  AdtPendingSubtrees& pending = *tree.pending;
  const auto it = pending.waiting.find(&node - tree.nodes.data());
  if (it == pending.waiting.end()) return;
  const Subtree s = it->second;
  pending.waiting.erase(it);
  s.head->childrenPending = false;
  pending.placer.Split(s, [&](const Subtree& child) { pending.Wait(child); });
}

// The tree is that of inserting the faces one by one in connectivity order, built top down: the
// first face of a subtree's faces takes its place, and the others, kept in order, split by the
// side they go to there. Each level is one pass over a list, where insertion would walk a path
// through a tree far larger than the caches for every face.
void BuildAdtTree(SMesh& mesh) {
  Trace("#BuildAdtTree");
  if (mesh.adt && !mesh.adt->pending) return;
  if (!mesh.adt) {
    std::unique_ptr<AdtTree> tree = TreeOfFaceBoxes(mesh);
    if (tree->count > 0) {
      SubtreePlacer placer(*tree);
      std::vector<Subtree> todo{placer.PlaceRoot(*tree)};
      while (!todo.empty()) {
        const Subtree s = todo.back();
        todo.pop_back();
        placer.Split(s, [&](const Subtree& child) { todo.push_back(child); });
      }
    }
    SetMaxDepth(*tree);
    mesh.adt = std::move(tree);
    return;
  }
  AdtTree& tree = *mesh.adt;
  std::vector<const AdtNode*> todo;
  for (const auto& [slot, subtree] : tree.pending->waiting)
    todo.push_back(subtree.head);
  while (!todo.empty()) {
    const AdtNode* node = todo.back();
    todo.pop_back();
    AdtPlaceChildren(tree, *node);
    for (const AdtNode* child : {tree.Low(*node), tree.High(*node)}) {
      if (child != nullptr && child->childrenPending) todo.push_back(child);
    }
  }
  tree.pending.reset();
  SetMaxDepth(tree);
}

void BuildAdtTreeOnDemand(SMesh& mesh) {
  Trace("#BuildAdtTree");
  if (mesh.adt) return;
  std::unique_ptr<AdtTree> tree = TreeOfFaceBoxes(mesh);
  if (tree->count > 0) {
    tree->pending = std::make_unique<AdtPendingSubtrees>(*tree);
    tree->pending->Wait(tree->pending->placer.PlaceRoot(*tree));
  }
  mesh.adt = std::move(tree);
}

}  // namespace vexmor
