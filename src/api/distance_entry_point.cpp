// Exported function of the distance-to-surface thickness.
#include "api/mesh_input.h"
#include "mesh/smesh.h"
#include "thickness/dist2surf.h"
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
  // No mesh check: the distance is defined for any faces, open or not, and for every node.
  SMesh mesh(outside, nbNodes, szelem, input->coordinates, input->connectivity, 2);
  vexmor::Dist2Surf(mesh, {nodeThickness, static_cast<size_t>(nbNodes)});
  return VX_STATUS_OK;
}

}  // extern "C"
