// The alternating digital tree (ADT) over face boxes. Each face box is stored as a point in
// six dimensions (xmin, ymin, zmin, xmax, ymax, zmax); the six-dimensional domain is bisected
// one coordinate per level, cycling through the six.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "mesh/large_array.h"

namespace vexmor {

struct SMesh;

// Children are slot numbers, 0 for none: slot 0 holds the root, which is nobody's child. Slots
// rather than pointers keep a node to 44 bytes, and the tree's build and searches read every
// node they pass.
struct AdtNode {
  int32_t low = 0;                    // keys not above this level's split value
  int32_t high = 0;                   // keys above it
  float box[6] = {0, 0, 0, 0, 0, 0};  // face box, rounded to nearest single precision
  uint8_t depth = 0;                  // level, root 0; eight bits, so it wraps from 255 to 0
  bool childrenPending = false;       // its subtrees are not placed yet (AdtPlaceChildren)
  int32_t faceIndex = 0;
  int32_t facePos = 0;
};

struct AdtPendingSubtrees;

struct AdtTree {
  AdtTree();
  ~AdtTree();
  AdtTree(AdtTree&&) noexcept;
  AdtTree& operator=(AdtTree&&) noexcept;

  LargeVector<AdtNode> nodes;  // the slots, reserved once at build time: nodes never move
  AdtNode* root = nullptr;
  int32_t capacity = 0;                       // number of slots in nodes
  int32_t count = 0;                          // slots used
  int32_t maxDepth = 0;                       // largest depth of any node, set after the build
  double domainLow[6] = {0, 0, 0, 0, 0, 0};   // bbox min x, y, z twice
  double domainHigh[6] = {0, 0, 0, 0, 0, 0};  // bbox max x, y, z twice
  // The faces of the subtrees not placed yet, in a tree built on demand; null once complete.
  std::unique_ptr<AdtPendingSubtrees> pending;

  // A node's child on either side of its split, or null when it has none there.
  const AdtNode* Low(const AdtNode& node) const { return Child(node.low); }
  const AdtNode* High(const AdtNode& node) const { return Child(node.high); }
  int32_t SlotOf(const AdtNode& node) const { return static_cast<int32_t>(&node - nodes.data()); }

 private:
  const AdtNode* Child(int32_t slot) const {
    return slot != 0 ? &nodes[static_cast<size_t>(slot)] : nullptr;
  }
};

// Builds mesh.adt over the boxes of all faces unless it exists, or completes one built on
// demand; computes bbox first if needed. One node per face, in connectivity order, never more
// than nbFaces; a face's box spans the node numbers of it that exist (the empty box when none
// does). maxDepth is set.
void BuildAdtTree(SMesh& mesh);

// Builds mesh.adt, unless it exists, with only the root placed: the range searches place the
// subtrees they enter as they go (AdtPlaceChildren), and list exactly what they list in the
// complete tree. For a few searches, such as the probes that orient the surface, this saves
// placing most of the faces. Only the range searches may walk such a tree; BuildAdtTree
// completes it for every other use.
void BuildAdtTreeOnDemand(SMesh& mesh);

// Places the children of `node`, whose childrenPending is set, in its tree built on demand, and
// marks theirs pending. The tree is the same whenever its nodes are placed: placing them changes
// what a walk can see of it, not what it holds, so a search of a const tree may do it.
void AdtPlaceChildren(const AdtTree& tree, const AdtNode& node);

// Inserts a face box (six doubles) into the tree; returns the depth at which it was attached,
// as a full integer (0 for the root) although the stored depth wraps at 256. Does nothing and
// returns -1 when every slot is used.
int32_t AdtInsert(AdtTree& tree, const double box[6], int32_t faceIndex, int32_t facePos);

}  // namespace vexmor
