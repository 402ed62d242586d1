// The sub-triangles of a face: a face of n nodes is cut into the n - 2 triangles of each three
// consecutive nodes of its list (nodes 1-2-3, 2-3-4, ...); a triangle is itself.
#pragma once

#include <algorithm>
#include <cstdint>

#include "mesh/smesh.h"

namespace vexmor {

// Whether node number id names a node of the mesh.
inline bool IsNode(const SMesh& mesh, int32_t id) {
  return id >= 0 && id < mesh.nbNodes && static_cast<size_t>(id) < mesh.coords.size() / 3;
}

// Calls fn(nodes, tri) with the three node numbers and the nine coordinates of every
// sub-triangle of the face whose count entry is at facePos, in order. A face of fewer than
// three nodes has none; entries past the end of the connectivity and triangles naming a node
// that does not exist are skipped. Stops as soon as fn returns true, and then returns true.
template <class Fn>
bool ForEachSubTriangleWithNodes(const SMesh& mesh, int32_t facePos, Fn&& fn) {
  const int64_t size = static_cast<int64_t>(mesh.elem.size());
  if (facePos < 0 || facePos >= size) return false;
  const int32_t n = mesh.elem[static_cast<size_t>(facePos)];
  if (n < 3) return false;
  const int64_t last = std::min<int64_t>(int64_t{facePos} + n, size - 1);
  double tri[9];
  for (int64_t j = int64_t{facePos} + 1; j + 2 <= last; ++j) {
    const int32_t* nodes = mesh.elem.data() + j;
    bool valid = true;
    for (int v = 0; v < 3; ++v) {
      if (!IsNode(mesh, nodes[v])) {
        valid = false;
        break;
      }
      std::copy_n(mesh.Node(nodes[v]), 3, tri + 3 * v);
    }
    if (valid && fn(nodes, static_cast<const double*>(tri))) return true;
  }
  return false;
}

// The same walk for callers that need only the coordinates: fn(tri).
template <class Fn>
bool ForEachSubTriangle(const SMesh& mesh, int32_t facePos, Fn&& fn) {
  return ForEachSubTriangleWithNodes(mesh, facePos,
                                     [&](const int32_t*, const double* tri) { return fn(tri); });
}

}  // namespace vexmor
