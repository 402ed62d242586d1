// Gives exactly equal points one node number, numbering nodes in the order they are first
// seen. Points are hashed by the bit patterns of their coordinates (with -0 taken as +0), so
// welding takes constant time per point whatever the mesh size.
#pragma once

#include <cstdint>
#include <vector>

#include "mesh/mesh.h"

namespace vexmor::cli {

class VertexWelder {
 public:
  // Appends new nodes to mesh.coords.
  explicit VertexWelder(Mesh& mesh, size_t expectedPoints = 0);
  int32_t node(double x, double y, double z);

 private:
  void grow();
  size_t slotOf(const double* p, uint32_t tag) const;

  Mesh& mesh_;
  // A slot keeps part of the point's hash, so that most mismatches are told apart without
  // reading the node's coordinates.
  struct Slot {
    int32_t node = -1;  // -1: empty
    uint32_t tag = 0;
  };
  std::vector<Slot> slots_;
  size_t used_ = 0;
};

// The mesh with the nodes at exactly the same position as an earlier one merged into it, in
// the order first seen, and its faces renumbered to match.
Mesh MergeEqualNodes(const Mesh& mesh);

}  // namespace vexmor::cli
