// Exported function of the distance-to-surface thickness.
#include "api/mesh_input.h"
#include "mesh/smesh.h"
#include "topology/mesh_check.h"
#include "vexmor.h"

using vexmor::SMesh;
using vexmor::api::ValidateMesh;

extern "C" {

VEXMOR_API int32_t VEXMOR_CALL VX_Thickness_Computation_DN2S(int32_t nbNodes, int32_t szelem,
                                                             const int32_t* connectivity,
                                                             const double* coordinates,
                                                             double* nodeThickness,
                                                             uint8_t outside) {
  const auto input = ValidateMesh(nbNodes, szelem, connectivity, coordinates);
  if (!input || nodeThickness == nullptr) return VX_STATUS_INVALID_INPUT;
  SMesh mesh(outside, nbNodes, szelem, input->coordinates, input->connectivity, 2);
  return VX_STATUS_ANALYSIS_FAILED;  // the analysis arrives with the spatial search
}

}  // extern "C"
