// Exported functions of the rolling-sphere thickness: contact distance and radius.
#include "api/mesh_input.h"
#include "mesh/smesh.h"
#include "topology/mesh_check.h"
#include "vexmor.h"

using vexmor::SMesh;
using vexmor::api::ValidateMesh;

extern "C" {

VEXMOR_API int32_t VEXMOR_CALL VX_Thickness_Computation_LSCP(int32_t nbNodes, int32_t szelem,
                                                             const int32_t* connectivity,
                                                             const double* coordinates,
                                                             double* faceThickness,
                                                             uint8_t outside) {
  const auto input = ValidateMesh(nbNodes, szelem, connectivity, coordinates);
  if (!input || (faceThickness == nullptr && input->nbFaces > 0)) return VX_STATUS_INVALID_INPUT;
  SMesh mesh(outside, nbNodes, szelem, input->coordinates, input->connectivity, 1);
  return VX_STATUS_ANALYSIS_FAILED;  // the analysis arrives with the rolling sphere
}

VEXMOR_API int32_t VEXMOR_CALL VX_Thickness_Computation_LSR(int32_t nbNodes, int32_t szelem,
                                                            const int32_t* connectivity,
                                                            const double* coordinates,
                                                            double* faceThickness,
                                                            uint8_t outside) {
  const auto input = ValidateMesh(nbNodes, szelem, connectivity, coordinates);
  if (!input || (faceThickness == nullptr && input->nbFaces > 0)) return VX_STATUS_INVALID_INPUT;
  SMesh mesh(outside, nbNodes, szelem, input->coordinates, input->connectivity, 0);
  if (vexmor::Checking_SMesh(mesh) != 0) return VX_STATUS_MESH_REJECTED;
  return VX_STATUS_ANALYSIS_FAILED;  // the analysis arrives with the rolling sphere
}

}  // extern "C"
