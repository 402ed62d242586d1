#include "topology/sides_across.h"

#include "mesh/face_walk.h"
#include "mesh/smesh.h"
#include "topology/edge_list.h"

namespace vexmor {

LargeVector<int32_t> SidesAcross(const SMesh& mesh) {
  const int64_t nbFaces = mesh.nbFaces;
  if (nbFaces <= 0 || mesh.szelem != 4 * nbFaces ||
      mesh.elem.size() < static_cast<size_t>(mesh.szelem)) {
    return {};
  }
  const int32_t* elem = mesh.elem.data();
  const EdgeHash& edges = mesh.edgeHash;
  LargeVector<int32_t> across;
  across.reserve(3 * static_cast<size_t>(nbFaces));
  for (int32_t face = 0; face < nbFaces; ++face) {
    if (face + kReadAheadFaces < nbFaces) {
      PrefetchSideRecords(mesh, 4 * (face + kReadAheadFaces));
    }
    if (face + kReadAheadFaces / 2 < nbFaces) {
      PrefetchFacesAcross(mesh, 4 * (face + kReadAheadFaces / 2));
    }
    const int32_t pos = 4 * face;
    const int32_t* nodes = elem + pos + 1;
    if (elem[pos] != 3 || nodes[0] == nodes[1] || nodes[1] == nodes[2] || nodes[2] == nodes[0]) {
      return {};
    }
    for (int32_t k = 0; k < 3; ++k) {
      const int32_t a = nodes[k], b = nodes[(k + 1) % 3];
      const int32_t number = FaceSideEdge(mesh, pos, k, a, b);
      if (number <= 0) return {};
      const Edge& e = edges.Record(number - 1);
      const int other = e.facePos[0] == pos ? 1 : 0;
      const int32_t otherPos = e.facePos[other];
      if (e.faceCount != 2 || e.facePos[1 - other] != pos || otherPos == pos || otherPos < 0 ||
          otherPos % 4 != 0 || otherPos >= mesh.szelem || e.faceIndex[other] != otherPos / 4) {
        return {};
      }
      const int32_t* o = elem + otherPos + 1;
      const int j = o[0] == a ? 0 : (o[1] == a ? 1 : (o[2] == a ? 2 : -1));
      if (j < 0) return {};
      int32_t same = 0;
      if (o[(j + 1) % 3] == b) {
        same = 1;
      } else if (o[(j + 2) % 3] != b) {
        return {};
      }
      across.push_back(2 * e.faceIndex[other] + same);
    }
  }
  return across;
}

}  // namespace vexmor
