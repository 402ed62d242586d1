// Exported function of the thickness gradient.
#include "api/mesh_input.h"
#include "mesh/smesh.h"
#include "topology/mesh_check.h"
#include "vexmor.h"

using vexmor::SMesh;
using vexmor::api::ValidateMesh;

extern "C" {

VEXMOR_API int32_t VEXMOR_CALL VX_Thickness_Gradient(int32_t nbNodes, int32_t szelem,
                                                     const int32_t* connectivity,
                                                     const double* coordinates,
                                                     const double* faceThickness,
                                                     double* faceGradient) {
  const auto input = ValidateMesh(nbNodes, szelem, connectivity, coordinates);
  if (!input || (input->nbFaces > 0 && (faceThickness == nullptr || faceGradient == nullptr))) {
    return VX_STATUS_INVALID_INPUT;
  }
  SMesh mesh(nbNodes, szelem, input->coordinates, input->connectivity);
  return VX_STATUS_ANALYSIS_FAILED;  // the analysis arrives with the face neighbourhood
}

}  // extern "C"
