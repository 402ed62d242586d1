// Turning a face: reversing its winding while keeping its first node.
#pragma once

#include <cstdint>
#include <span>
#include <utility>

#include "mesh/smesh.h"

namespace vexmor {

// Turns the face at position p of the mesh's connectivity: a triangle (a, b, c) becomes
// (a, c, b), a quadrilateral (a, b, c, d) becomes (a, d, c, b). Returns false, changing nothing,
// for any other face, which cannot be turned. The edge list hears of every turn, so that it
// knows whether it still describes the faces.
inline bool TurnFace(SMesh& mesh, int32_t p) {
  const std::span<int32_t> elem = mesh.Elem();
  const size_t at = static_cast<size_t>(p);
  if (at >= elem.size()) return false;
  const int32_t n = elem[at];
  if ((n != 3 && n != 4) || elem.size() - at <= static_cast<size_t>(n)) return false;
  std::swap(elem[at + 2], elem[at + static_cast<size_t>(n)]);
  mesh.edgeHash.NoteFaceTurned();
  return true;
}

}  // namespace vexmor
