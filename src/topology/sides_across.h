// The faces across the sides of every triangle of a mesh, listed once so that walks from face
// to face read one small table instead of the edge records.
#pragma once

#include <cstdint>
#include <span>

#include "mesh/large_array.h"
#include "mesh/smesh.h"
#include "topology/edge.h"

namespace vexmor {

// Entry 3 f + k is twice the index of the face across side k of triangle f (from its node k to
// its node k + 1, as the connectivity holds them now), plus 1 when that face runs the side the
// same way as f. Empty unless every face is a triangle of three distinct nodes, at position
// 4 f, and the edge list gives each side two distinct faces, the other one holding the side
// too: exactly the meshes on which a walk through the edge records finds, across each side,
// the one face this table names. The edge list must be built; faces turned since keep their
// edges' records valid for this. Faces are taken in connectivity order, so the edge records and
// the faces across, read a few faces ahead, mostly lie near those read just before.
LargeVector<int32_t> SidesAcross(const SMesh& mesh);

// The same table made from the connectivity alone, without the edge list: each side is matched
// with the other side of its node pair. Empty unless every face is a triangle of three distinct
// nodes, each a node of the mesh, at position 4 f, and every node pair of a side is the pair of
// exactly two sides: a surface closed and manifold at its edges, where the edge list's build
// (BuildEdgeHash with listSidesAcross) lists exactly this table and every edge has two faces.
LargeVector<int32_t> MatchedSidesAcross(const SMesh& mesh);

// Whether the table of the faces across each side that the edge list keeps
// (EdgeHash::SidesAcrossAsBuilt: listed by its build, or matched by the check) exists and
// describes the faces as they are: no face has been turned since it was made.
inline bool SidesAcrossDescribeFaces(const SMesh& mesh) {
  const std::span<const int32_t> across = mesh.edgeHash.SidesAcrossAsBuilt();
  return !across.empty() && mesh.edgeHash.FacesTurned() == 0 && mesh.nbFaces > 0 &&
         across.size() == 3 * static_cast<size_t>(mesh.nbFaces) &&
         mesh.elem.size() >= 4 * static_cast<size_t>(mesh.nbFaces);
}

// Calls onEdge(edge) for every edge, in the edge list's order and as BuildEdgeHash would
// record it, from the table of the faces across each side that the edge list keeps, while it
// describes the faces (SidesAcrossDescribeFaces); ahead(f) is
// called a few faces before the edges of face f, for read-ahead. False, calling nothing, when
// there is no such table. An edge is recorded where it is first met: at the side of the face of
// smaller index, which runs it from node1 to node2.
template <class Ahead, class OnEdge>
bool ForEachEdgeOfSidesAcross(const SMesh& mesh, Ahead&& ahead, OnEdge&& onEdge) {
  if (!SidesAcrossDescribeFaces(mesh)) return false;
  const std::span<const int32_t> across = mesh.edgeHash.SidesAcrossAsBuilt();
  const int64_t nbFaces = mesh.nbFaces;
  constexpr int32_t kReadAhead = 8;
  Edge e;
  e.faceCount = 2;
  for (int32_t f = 0; f < nbFaces; ++f) {
    if (f + kReadAhead < nbFaces) ahead(f + kReadAhead);
    const int32_t* nodes = mesh.elem.data() + 4 * static_cast<size_t>(f) + 1;
    for (int32_t k = 0; k < 3; ++k) {
      const int32_t g = across[3 * static_cast<size_t>(f) + static_cast<size_t>(k)] >> 1;
      if (g <= f) continue;
      e.node1 = nodes[k];
      e.node2 = nodes[(k + 1) % 3];
      e.facePos = {4 * f, 4 * g};
      e.faceIndex = {f, g};
      e.firstSide = static_cast<int8_t>(k);
      onEdge(e);
    }
  }
  return true;
}

}  // namespace vexmor
