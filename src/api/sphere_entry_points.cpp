// Exported functions of the rolling-sphere thickness: contact distance and radius.
#include <span>

#include "api/mesh_input.h"
#include "api/triangle_thickness_call.h"
#include "mesh/smesh.h"
#include "thickness/sphere_thickness.h"
#include "topology/mesh_check.h"
#include "vexmor.h"

using vexmor::SMesh;
using vexmor::api::ValidateMesh;

namespace {

void ContactDistance(SMesh& mesh, std::span<double> values) {
  vexmor::SphereThickness(mesh, values, vexmor::kSphereContactDistance);
}

}  // namespace

extern "C" {

VEXMOR_API int32_t VEXMOR_CALL VX_Thickness_Computation_LSCP(int32_t nbNodes, int32_t szelem,
                                                             const int32_t* connectivity,
                                                             const double* coordinates,
                                                             double* faceThickness,
                                                             uint8_t outside) {
  const auto input = ValidateMesh(nbNodes, szelem, connectivity, coordinates);
  if (!input || (faceThickness == nullptr && input->nbFaces > 0)) return VX_STATUS_INVALID_INPUT;
  return vexmor::api::MeasureTriangles(*input, outside, vexmor::kSphereContactDistance,
                                       ContactDistance, vexmor::EdgesAfterCheck::kChecksEdgeList,
                                       faceThickness);
}

VEXMOR_API int32_t VEXMOR_CALL VX_Thickness_Computation_LSR(int32_t nbNodes, int32_t szelem,
                                                            const int32_t* connectivity,
                                                            const double* coordinates,
                                                            double* faceThickness,
                                                            uint8_t outside) {
  const auto input = ValidateMesh(nbNodes, szelem, connectivity, coordinates);
  if (!input || (faceThickness == nullptr && input->nbFaces > 0)) return VX_STATUS_INVALID_INPUT;
  // The outside flag is stored but neither turns the part nor boxes it for this method.
  SMesh mesh(outside, nbNodes, szelem, input->coordinates, input->connectivity,
             vexmor::kSphereRadius);
  if (vexmor::Checking_SMesh(mesh) != 0) return VX_STATUS_MESH_REJECTED;
  const std::span<double> radii(faceThickness, static_cast<size_t>(mesh.nbFaces));
  vexmor::SphereThickness(mesh, radii, vexmor::kSphereRadius);
  return VX_STATUS_OK;
}

}  // extern "C"
