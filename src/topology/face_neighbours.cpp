#include "topology/face_neighbours.h"

#include <algorithm>
#include <array>

#include "mesh/smesh.h"
#include "mesh/trace.h"
#include "topology/edge_list.h"
#include "topology/face_turn.h"

namespace vexmor {
namespace {

// Number of nodes of the face at position p, or 0 when it has none or runs past the end of
// the connectivity (such a face is never walked).
int32_t NodeCount(std::span<const int32_t> elem, int32_t p) {
  if (p < 0 || static_cast<size_t>(p) >= elem.size()) return 0;
  const int32_t n = elem[static_cast<size_t>(p)];
  if (n < 1 || elem.size() - static_cast<size_t>(p) <= static_cast<size_t>(n)) return 0;
  return n;
}

}  // namespace

bool OrientNeighbour(SMesh& mesh, int32_t a, int32_t b, int32_t neighbourPos) {
  const std::span<const int32_t> elem = mesh.Elem();
  const int32_t m = NodeCount(elem, neighbourPos);
  const int32_t* nodes = elem.data() + neighbourPos + 1;
  for (int32_t j = 0; j < m; ++j) {
    if (nodes[j] != a) continue;
    if (nodes[(j + 1) % m] != b) return false;  // already runs the side as (b, a)
    break;
  }
  // Runs the side as (a, b), or does not hold a at all: turn it if it can be turned.
  return !TurnFace(mesh, neighbourPos);
}

bool FaceNeighbours_1Ring(SMesh& mesh, int32_t facePos, std::vector<FaceRef>& result) {
  result.clear();
  const int32_t n = NodeCount(mesh.Elem(), facePos);
  if (n < 1) return false;
  // The face's own nodes are copied first: turning a neighbour may rewrite this face too when
  // a degenerate face is its own neighbour. Triangles fit the fixed buffer; larger faces, which
  // the check never lets through, take a heap copy.
  std::array<int32_t, 6> fixed;
  std::vector<int32_t> large;
  int32_t* nodes = fixed.data();
  if (n > static_cast<int32_t>(fixed.size())) {
    large.resize(static_cast<size_t>(n));
    nodes = large.data();
  }
  const int32_t* source = mesh.elem.data() + facePos + 1;
  std::copy(source, source + n, nodes);

  const EdgeHash& edges = mesh.edgeHash;
  for (int32_t i = 0; i < n; ++i) {
    const int32_t a = nodes[i];
    const int32_t b = nodes[(i + 1) % n];
    const int32_t number = FaceSideEdge(mesh, facePos, i, a, b);
    if (number == 0) {
      Trace("## FaceNeighbours_1Ring : Edge does not exist !!");
      continue;
    }
    const Edge& e = edges.Record(number - 1);
    if (e.faceCount != 2) {
      result.clear();
      return false;
    }
    const int k = e.facePos[0] == facePos ? 1 : 0;
    const FaceRef neighbour{e.faceIndex[k], e.facePos[k]};
    result.push_back(neighbour);
    if (OrientNeighbour(mesh, a, b, neighbour.facePos)) {
      result.clear();
      return false;
    }
  }
  return true;
}

std::vector<FaceRef> FaceNeighbours_1Ring(SMesh& mesh, int32_t facePos) {
  std::vector<FaceRef> result;
  FaceNeighbours_1Ring(mesh, facePos, result);
  return result;
}

}  // namespace vexmor
