// Exported functions of the angle analyses: draft, dihedral angle per edge and per node.
#include <array>

#include "angles/draft_angle.h"
#include "angles/edge_dihedral.h"
#include "angles/node_dihedral.h"
#include "api/mesh_input.h"
#include "mesh/smesh.h"
#include "topology/mesh_check.h"
#include "vexmor.h"

using vexmor::SMesh;
using vexmor::api::ValidateMesh;

namespace {
// Each angle analysis reads the edges as the oriented faces give them, never the check's list.
constexpr vexmor::EdgesAfterCheck kOwnEdges = vexmor::EdgesAfterCheck::kOwn;
}  // namespace

extern "C" {

VEXMOR_API int32_t VEXMOR_CALL VX_Draft_Angle(int32_t nbNodes, int32_t szelem,
                                              const int32_t* connectivity,
                                              const double* coordinates, double* faceValues,
                                              const double* direction) {
  const auto input = ValidateMesh(nbNodes, szelem, connectivity, coordinates);
  if (!input || direction == nullptr || (faceValues == nullptr && input->nbFaces > 0)) {
    return VX_STATUS_INVALID_INPUT;
  }
  SMesh mesh(nbNodes, szelem, input->coordinates, input->connectivity);
  if (vexmor::Checking_SMesh(mesh, kOwnEdges) != 0) return VX_STATUS_MESH_REJECTED;
  const std::array<double, 3> pull = {direction[0], direction[1], direction[2]};
  const std::span<double> values(faceValues, static_cast<size_t>(mesh.nbFaces));
  vexmor::Draft_Angle(mesh, values, pull.data());
  return VX_STATUS_OK;
}

VEXMOR_API int32_t VEXMOR_CALL VX_Edge_Diedral_Angle(int32_t nbNodes, int32_t szelem,
                                                     const int32_t* connectivity,
                                                     const double* coordinates, uint32_t* nbEdges,
                                                     int32_t* edgeNodes, double* edgeAngles,
                                                     uint32_t signedMode) {
  const auto input = ValidateMesh(nbNodes, szelem, connectivity, coordinates);
  if (!input || nbEdges == nullptr ||
      (szelem > 0 && (edgeNodes == nullptr || edgeAngles == nullptr))) {
    return VX_STATUS_INVALID_INPUT;
  }
  SMesh mesh(nbNodes, szelem, input->coordinates, input->connectivity, signedMode);
  if (vexmor::Checking_SMesh(mesh, kOwnEdges) != 0) return VX_STATUS_MESH_REJECTED;
  // The check let through triangles only, every edge shared by exactly two of them: the mesh
  // has 3 * nbFaces / 2 edges, the size of the caller's arrays.
  const size_t edges = 3 * static_cast<size_t>(mesh.nbFaces) / 2;
  uint32_t written = 0;
  vexmor::EdgeDiedralAngle(mesh, written, std::span<int32_t>(edgeNodes, 2 * edges),
                           std::span<double>(edgeAngles, edges));
  *nbEdges = written;
  return VX_STATUS_OK;
}

VEXMOR_API int32_t VEXMOR_CALL VX_Diedral_Angle(int32_t nbNodes, int32_t szelem,
                                                const int32_t* connectivity,
                                                const double* coordinates, double* nodeAngles,
                                                uint32_t signedMode) {
  const auto input = ValidateMesh(nbNodes, szelem, connectivity, coordinates);
  if (!input || nodeAngles == nullptr) return VX_STATUS_INVALID_INPUT;
  SMesh mesh(nbNodes, szelem, input->coordinates, input->connectivity, signedMode);
  if (vexmor::Checking_SMesh(mesh, kOwnEdges) != 0) return VX_STATUS_MESH_REJECTED;
  vexmor::NdMaxDiedralAngle(mesh, std::span<double>(nodeAngles, static_cast<size_t>(nbNodes)));
  return VX_STATUS_OK;
}

}  // extern "C"
