#include "topology/mesh_check.h"

#include <array>
#include <utility>

#include "mesh/large_array.h"
#include "mesh/smesh.h"
#include "mesh/trace.h"
#include "topology/edge_list.h"
#include "topology/sides_across.h"
#include "topology/surface_orientation.h"

namespace vexmor {
namespace {

// (triangles, quadrilaterals, other faces) of a connectivity; count entries of 0 or less are
// other faces.
std::array<int32_t, 3> CountFaceTypes(std::span<const int32_t> elem) {
  std::array<int32_t, 3> types = {0, 0, 0};
  for (size_t p = 0; p < elem.size();) {
    const int32_t c = elem[p];
    ++types[c == 3 ? 0 : (c == 4 ? 1 : 2)];
    p += c > 0 ? static_cast<size_t>(c) + 1 : 1;
  }
  return types;
}

void PrintAndTrace(const char* line) {
  PrintLine("%s", line);
  Trace("%s", line);
}

}  // namespace

int32_t Checking_SMesh(SMesh& mesh, EdgesAfterCheck after) {
  Trace("## Checking_SMesh : ");
  // The orientation's grouping reads the faces across each side. Where every side's node pair is
  // that of exactly one other side, the surface is closed and manifold at its edges, and
  // matching the sides lists them for far less than the edge list costs. Otherwise the edge
  // list's build lists them and counts the defects.
  LargeVector<int32_t> matched;
  if (after == EdgesAfterCheck::kOwn) matched = MatchedSidesAcross(mesh);
  std::array<int32_t, 3> edges = {0, 0, 0};
  if (!matched.empty()) {
    mesh.edgeHash.Clear();
    mesh.edgeHash.KeepSidesAcross(std::move(matched));
  } else {
    BuildEdgeHash(mesh, true);
    edges = CountBoundaryEdges(mesh);
  }
  Trace("bnd : %d ; %d ; %d", edges[0], edges[1], edges[2]);
  if (edges[0] != 0) {
    return (edges[1] > 0 ? kCheckBoundaryEdge : 0) + (edges[2] > 0 ? kCheckNonManifoldEdge : 0);
  }

  const std::array<int32_t, 3> types = CountFaceTypes(mesh.Elem());
  Trace("eltyp : %d ; %d ; %d", types[0], types[1], types[2]);
  const int32_t faceDefects =
      (types[1] > 0 ? kCheckQuadrilateral : 0) + (types[2] > 0 ? kCheckOtherFace : 0);
  if (faceDefects != 0) return faceDefects;

  // A mesh whose volumes cannot be defined is still analysed, with the winding it has.
  const std::vector<VolumeRecord> volumes = S2V(mesh);
  if (volumes.empty()) {
    PrintAndTrace(
        "Unable to define the volume(volume not closed or not manifold or initial orientation "
        "uncertain)");
  }
  PrintAndTrace("S2V : ");
  for (size_t v = 0; v < volumes.size(); ++v) {
    PrintLine("%d ; volume %zu, state %d", volumes[v].shellNumber, v, volumes[v].state);
  }
  return 0;
}

}  // namespace vexmor
