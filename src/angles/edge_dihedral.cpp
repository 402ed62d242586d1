#include "angles/edge_dihedral.h"

#include <algorithm>
#include <cmath>

#include "angles/triangle_normal.h"
#include "geometry/tolerances.h"
#include "mesh/face_walk.h"
#include "mesh/prefetch.h"
#include "mesh/smesh.h"
#include "mesh/trace.h"
#include "topology/edge_list.h"
#include "topology/sides_across.h"

namespace vexmor {
namespace {

constexpr double kPi = 3.141592653589793;

bool IsFace(const SMesh& mesh, int32_t faceIndex) {
  return faceIndex >= 0 && faceIndex < mesh.nbFaces;
}

// Whether the triangle at facePos (whose edge a-b this is) rises above the plane through a
// with normal n by more than the tolerance, judged at its node off the edge.
bool RisesAbove(const SMesh& mesh, int32_t facePos, int32_t a, int32_t b, Vec3 n) {
  const std::span<const int32_t> elem = mesh.Elem();
  if (facePos < 0 || static_cast<size_t>(facePos) + 3 >= elem.size() ||
      elem[static_cast<size_t>(facePos)] != 3) {
    return false;
  }
  for (int k = 1; k <= 3; ++k) {
    const int32_t o = elem[static_cast<size_t>(facePos + k)];
    if (o == a || o == b) continue;
    const Vec3 rise = Vec3::Load(mesh.Node(o)) - Vec3::Load(mesh.Node(a));
    return Dot(rise, n) > kSqrtEps;
  }
  return false;  // a triangle with no node off the edge has no side
}

}  // namespace

LargeVector<double> DihedralFaceNormals(const SMesh& mesh) {
  LargeVector<double> normals(3 * static_cast<size_t>(std::max(mesh.nbFaces, 0)), 0.0);
  const std::span<const int32_t> elem = mesh.Elem();
  int32_t face = 0;
  FacesAhead ahead(elem, mesh.szelem, kReadAheadFaces);  // whose nodes are asked for
  for (int32_t p = 0; p < mesh.szelem && face < mesh.nbFaces; p = NextFacePos(elem, p), ++face) {
    mesh.PrefetchFaceNodes(ahead.Take());
    if (elem[static_cast<size_t>(p)] != 3 || p + 3 >= mesh.szelem) continue;
    if (AngleTriangleNormal(mesh, p, normals.data() + 3 * static_cast<size_t>(face))) {
      PrintLine("!!!! Undefined face normal (face %d)", face);
    }
  }
  return normals;
}

EdgeFold FoldAtEdge(const SMesh& mesh, std::span<const double> normals, const Edge& e,
                    bool withSide) {
  EdgeFold fold;
  const int32_t f0 = e.faceIndex[0], f1 = e.faceIndex[1];
  if (!IsFace(mesh, f0) || !IsFace(mesh, f1)) return fold;
  const Vec3 n0 = Vec3::Load(normals.data() + 3 * static_cast<size_t>(f0));
  const Vec3 n1 = Vec3::Load(normals.data() + 3 * static_cast<size_t>(f1));
  const double x = Dot(n0, n1);
  // Parallel or opposite normals within the tolerance: no fold (acos would also be out of its
  // domain just past +-1).
  if (std::fabs(std::fabs(x) - 1.0) >= kSqrtEps) fold.angle = std::acos(x) * 180.0 / kPi;
  if (withSide) fold.reEntrant = RisesAbove(mesh, e.facePos[0], e.node1, e.node2, n1);
  return fold;
}

void PrefetchFolds(const SMesh& mesh, std::span<const double> normals, int32_t i, bool withSide) {
  constexpr int32_t kAhead = 16;
  const EdgeHash& edges = mesh.edgeHash;
  if (i + kAhead < edges.RecordCount()) {
    const Edge& e = edges.Record(i + kAhead);
    for (const int32_t f : e.faceIndex) {
      if (IsFace(mesh, f) && 3 * static_cast<size_t>(f) < normals.size()) {
        PrefetchForRead(normals.data() + 3 * static_cast<size_t>(f));
      }
    }
    if (withSide && e.facePos[0] >= 0 && static_cast<size_t>(e.facePos[0]) < mesh.elem.size()) {
      PrefetchForRead(mesh.elem.data() + e.facePos[0]);
    }
  }
  if (withSide && i + kAhead / 2 < edges.RecordCount()) {
    mesh.PrefetchFaceNodes(edges.Record(i + kAhead / 2).facePos[0]);
  }
}

void PrefetchFoldsOfFace(const SMesh& mesh, std::span<const double> normals, int32_t f,
                         bool withSide) {
  const std::span<const int32_t> across = mesh.edgeHash.SidesAcrossAsBuilt();
  for (size_t k = 0; k < 3; ++k) {
    const size_t side = 3 * static_cast<size_t>(f) + k;
    if (side >= across.size()) return;
    const size_t g = static_cast<size_t>(across[side] >> 1);
    if (3 * g < normals.size()) PrefetchForRead(normals.data() + 3 * g);
  }
  if (withSide) mesh.PrefetchFaceNodes(4 * int64_t{f});
}

void EdgeDiedralAngle(SMesh& mesh, uint32_t& nbEdges, std::span<int32_t> edgeNodes,
                      std::span<double> edgeAngles) {
  Trace("## EdgeDiedralAngle : ");
  const LargeVector<double> normals = DihedralFaceNormals(mesh);
  const size_t room = std::min(edgeAngles.size(), edgeNodes.size() / 2);
  const bool signedAngles = mesh.mode == 1;
  size_t written = 0;
  auto write = [&](const Edge& e) {
    if (written >= room) return;
    edgeNodes[2 * written] = e.node1;
    edgeNodes[2 * written + 1] = e.node2;
    const EdgeFold fold = FoldAtEdge(mesh, normals, e, signedAngles);
    edgeAngles[written++] = fold.reEntrant ? -fold.angle : fold.angle;
  };
  // A closed surface whose faces the check left as they were: its edges come from the table of
  // the faces across each side, without the edge list.
  const bool fromSides = ForEachEdgeOfSidesAcross(
      mesh, [&](int32_t f) { PrefetchFoldsOfFace(mesh, normals, f, signedAngles); }, write);
  if (!fromSides) {
    RebuildEdgeHash(mesh);
    const EdgeHash& edges = mesh.edgeHash;
    Trace("## EdgeDiedralAngle nbedges : %d", edges.RecordCount());
    for (int32_t i = 0; i < edges.RecordCount() && written < room; ++i) {
      PrefetchFolds(mesh, normals, i, signedAngles);
      write(edges.Record(i));
    }
  }
  nbEdges = static_cast<uint32_t>(written);
  Trace("## EdgeDiedralAngle 40 : ");
}

}  // namespace vexmor
