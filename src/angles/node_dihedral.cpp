#include "angles/node_dihedral.h"

#include <algorithm>
#include <vector>

#include "angles/edge_dihedral.h"
#include "geometry/tolerances.h"
#include "mesh/prefetch.h"
#include "mesh/smesh.h"
#include "mesh/trace.h"
#include "topology/edge_list.h"
#include "topology/sides_across.h"

namespace vexmor {
namespace {

// Marks a node that no edge has reached yet.
constexpr double kUnreached = -kDblMax;

// Raises the values of both end nodes of an edge to the angle; only a strictly larger angle
// replaces a stored value.
void RaiseEnds(std::span<double> values, const Edge& e, double angle) {
  for (const int32_t node : {e.node1, e.node2}) {
    if (node < 0 || static_cast<size_t>(node) >= values.size()) continue;
    double& stored = values[static_cast<size_t>(node)];
    // Without a branch: which edge raises a node is no pattern the processor could learn.
    stored = angle > stored ? angle : stored;
  }
}

}  // namespace

void NdMaxDiedralAngle(SMesh& mesh, std::span<double> nodeAngles) {
  Trace("## NdMaxDiedralAngle -10: ");
  const LargeVector<double> normals = DihedralFaceNormals(mesh);
  std::fill(nodeAngles.begin(), nodeAngles.end(), kUnreached);
  Trace("## NdMaxDiedralAngle 1 : ");

  const bool signedAngles = mesh.mode == 1;
  // Signed mode keeps, per node, the largest re-entrant and the largest other edge angle.
  LargeVector<double> reEntrant, other;
  if (signedAngles) {
    reEntrant.assign(nodeAngles.size(), kUnreached);
    other.assign(nodeAngles.size(), kUnreached);
  }
  auto raise = [&](const Edge& e) {
    const EdgeFold fold = FoldAtEdge(mesh, normals, e, signedAngles);
    if (!signedAngles) {
      RaiseEnds(nodeAngles, e, fold.angle);
    } else {
      RaiseEnds(fold.reEntrant ? std::span<double>(reEntrant) : std::span<double>(other), e,
                fold.angle);
    }
  };
  // Read-ahead: besides what the folds read, the values of a face's nodes, which lie anywhere.
  auto ahead = [&](int32_t f) {
    PrefetchFoldsOfFace(mesh, normals, f, signedAngles);
    for (size_t k = 1; k <= 3; ++k) {
      const size_t node = static_cast<size_t>(mesh.elem[4 * static_cast<size_t>(f) + k]);
      if (node >= nodeAngles.size()) continue;
      if (signedAngles) {
        PrefetchForRead(reEntrant.data() + node);
        PrefetchForRead(other.data() + node);
      } else {
        PrefetchForRead(nodeAngles.data() + node);
      }
    }
  };
  // A closed surface whose faces the check left as they were: its edges come from the table of
  // the faces across each side, without the edge list.
  const bool fromSides = ForEachEdgeOfSidesAcross(mesh, ahead, raise);
  if (!fromSides) {
    RebuildEdgeHash(mesh);
    const EdgeHash& edges = mesh.edgeHash;
    for (int32_t i = 0; i < edges.RecordCount(); ++i) {
      PrefetchFolds(mesh, normals, i, signedAngles);
      raise(edges.Record(i));
    }
  }
  Trace("## NdMaxDiedralAngle 4 : ");
  if (signedAngles) {
    for (size_t i = 0; i < nodeAngles.size(); ++i)
      nodeAngles[i] = reEntrant[i] > other[i] ? reEntrant[i] : -other[i];
  }
  Trace("## NdMaxDiedralAngle 5 : ");
}

}  // namespace vexmor
