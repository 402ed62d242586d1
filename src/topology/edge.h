// The edge record: which two nodes an edge joins, the first two faces that use it, and how
// many faces use it in all.
#pragma once

#include <array>
#include <cstdint>

namespace vexmor {

struct Edge {
  // End nodes in the orientation of the first face that contains the edge (not sorted).
  int32_t node1 = 0;
  int32_t node2 = 0;
  // Face position (index of the count entry in the connectivity) of the first and second face
  // using the edge; -1 while there is no second face. Entries 0 of facePos and faceIndex belong
  // to the same face, and so do entries 1.
  std::array<int32_t, 2> facePos = {-1, -1};
  // Face index (ordinal in the connectivity) of the first and second face, or -1.
  std::array<int32_t, 2> faceIndex = {-1, -1};
  // 1 on a boundary, 2 inside a manifold surface, more at a non-manifold edge.
  int8_t faceCount = 0;
  // Which side of its first face the edge is (from 0: the side that starts at node1); -1
  // beyond the first 128 sides of a larger face.
  int8_t firstSide = -1;
};

}  // namespace vexmor
