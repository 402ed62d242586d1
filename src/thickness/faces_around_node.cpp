#include "thickness/faces_around_node.h"

#include <algorithm>

#include "mesh/smesh.h"
#include "mesh/trace.h"
#include "topology/edge_list.h"

namespace vexmor {
namespace {

// The node that follows `node` in the face at position pos, with the side they make, or -1
// when the face lies outside the connectivity or does not hold the node.
int32_t NextNodeInFace(const SMesh& mesh, int32_t pos, int32_t node, int32_t& side) {
  if (pos < 0 || pos >= mesh.szelem) return -1;
  const int32_t* elem = mesh.elem.data();
  const int32_t n = elem[pos];
  if (n <= 0 || n > mesh.szelem - 1 - pos) return -1;
  const int32_t* nodes = elem + pos + 1;
  for (int32_t s = 0; s < n; ++s) {
    if (nodes[s] == node) {
      side = s;
      return nodes[(s + 1) % n];
    }
  }
  return -1;
}

}  // namespace

int32_t FacesAroundNode(SMesh& mesh, int32_t node, std::span<int32_t> faceIndices,
                        std::span<int32_t> facePositions, bool* roundOnce) {
  if (roundOnce != nullptr) *roundOnce = false;
  if (mesh.edgeHash.RecordCount() == 0) BuildEdgeHash(mesh);
  const size_t capacity = std::min(faceIndices.size(), facePositions.size());
  if (capacity == 0) return -1;

  const int32_t start = facePositions[0];
  size_t visited = 0;
  size_t written = 1;
  while (visited < written) {
    const int32_t cur = facePositions[visited++];
    if (visited > 1 && cur == start) {
      // Every face left so far appended one face: then the walk is a cycle.
      if (roundOnce != nullptr) *roundOnce = written == visited;
      return static_cast<int32_t>(visited - 1);
    }

    int32_t curSide = 0;
    const int32_t next = NextNodeInFace(mesh, cur, node, curSide);
    const int32_t number = next < 0 ? 0 : FaceSideEdge(mesh, cur, curSide, node, next);
    if (number == 0) {
      if (next >= 0) PrintLine("PB here");
      if (visited == 1) return -1;
      break;
    }
    const Edge& edge = mesh.edgeHash.Record(number - 1);
    for (int side = 0; side < 2; ++side) {
      // A boundary edge has no second face (-1); the walk ends there.
      if (edge.facePos[side] == cur || edge.facePos[side] < 0) continue;
      if (written == capacity) return static_cast<int32_t>(written);
      faceIndices[written] = edge.faceIndex[side];
      facePositions[written] = edge.facePos[side];
      ++written;
    }
  }
  return static_cast<int32_t>(written);
}

}  // namespace vexmor
