// Exported function of the ray-tracing thickness.
#include "api/mesh_input.h"
#include "mesh/smesh.h"
#include "topology/mesh_check.h"
#include "vexmor.h"

using vexmor::SMesh;
using vexmor::api::ValidateMesh;

extern "C" {

VEXMOR_API int32_t VEXMOR_CALL VX_Thickness_RayTracing(int32_t nbNodes, int32_t szelem,
                                                       const int32_t* connectivity,
                                                       const double* coordinates,
                                                       double* faceThickness, uint8_t outside) {
  const auto input = ValidateMesh(nbNodes, szelem, connectivity, coordinates);
  if (!input || (faceThickness == nullptr && input->nbFaces > 0)) return VX_STATUS_INVALID_INPUT;
  SMesh mesh(outside, nbNodes, szelem, input->coordinates, input->connectivity, 0);
  return VX_STATUS_ANALYSIS_FAILED;  // the analysis arrives with the ray probes
}

}  // extern "C"
