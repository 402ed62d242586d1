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

// The walk of FacesAroundNode, leaving each face through acrossSide(cur, curSide, next, add),
// which calls add(faceIndex, facePos) for each face across the side from the node to the
// face's next node, or returns false when that side's edge is unknown.
template <class AcrossSide>
int32_t WalkAroundNode(const SMesh& mesh, int32_t node, std::span<int32_t> faceIndices,
                       std::span<int32_t> facePositions, bool* roundOnce, AcrossSide&& acrossSide) {
  if (roundOnce != nullptr) *roundOnce = false;
  const size_t capacity = std::min(faceIndices.size(), facePositions.size());
  if (capacity == 0) return -1;

  const int32_t start = facePositions[0];
  size_t visited = 0;
  size_t written = 1;
  bool full = false;
  auto add = [&](int32_t faceIndex, int32_t facePos) {
    if (written == capacity) {
      full = true;
      return;
    }
    faceIndices[written] = faceIndex;
    facePositions[written] = facePos;
    ++written;
  };
  while (visited < written) {
    const int32_t cur = facePositions[visited++];
    if (visited > 1 && cur == start) {
      // Every face left so far appended one face: then the walk is a cycle.
      if (roundOnce != nullptr) *roundOnce = written == visited;
      return static_cast<int32_t>(visited - 1);
    }

    int32_t curSide = 0;
    const int32_t next = NextNodeInFace(mesh, cur, node, curSide);
    if (next < 0 || !acrossSide(cur, curSide, next, add)) {
      if (next >= 0) PrintLine("PB here");
      if (visited == 1) return -1;
      break;
    }
    if (full) break;
  }
  return static_cast<int32_t>(written);
}

}  // namespace

int32_t FacesAroundNode(SMesh& mesh, int32_t node, std::span<int32_t> faceIndices,
                        std::span<int32_t> facePositions, bool* roundOnce) {
  if (mesh.edgeHash.RecordCount() == 0) BuildEdgeHash(mesh);
  return WalkAroundNode(mesh, node, faceIndices, facePositions, roundOnce,
                        [&](int32_t cur, int32_t curSide, int32_t next, auto&& add) {
                          const int32_t number = FaceSideEdge(mesh, cur, curSide, node, next);
                          if (number == 0) return false;
                          const Edge& edge = mesh.edgeHash.Record(number - 1);
                          for (int side = 0; side < 2; ++side) {
                            // A boundary edge has no second face (-1); the walk ends there.
                            if (edge.facePos[side] == cur || edge.facePos[side] < 0) continue;
                            add(edge.faceIndex[side], edge.facePos[side]);
                          }
                          return true;
                        });
}

int32_t FacesAroundNode(const SMesh& mesh, std::span<const int32_t> across, int32_t node,
                        std::span<int32_t> faceIndices, std::span<int32_t> facePositions,
                        bool* roundOnce) {
  return WalkAroundNode(
      mesh, node, faceIndices, facePositions, roundOnce,
      [&](int32_t cur, int32_t curSide, int32_t /*next*/, auto&& add) {
        if (cur % 4 != 0 || curSide > 2) return false;
        const int32_t face =
            across[3 * static_cast<size_t>(cur / 4) + static_cast<size_t>(curSide)] >> 1;
        add(face, 4 * face);
        return true;
      });
}

}  // namespace vexmor
