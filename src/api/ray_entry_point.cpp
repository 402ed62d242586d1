// Exported function of the ray-tracing thickness.
#include "api/mesh_input.h"
#include "api/triangle_thickness_call.h"
#include "thickness/ray_thickness.h"
#include "vexmor.h"

using vexmor::api::ValidateMesh;

namespace {

// Variant of the mesh for ray tracing.
constexpr uint32_t kRayMode = 0;

}  // namespace

extern "C" {

VEXMOR_API int32_t VEXMOR_CALL VX_Thickness_RayTracing(int32_t nbNodes, int32_t szelem,
                                                       const int32_t* connectivity,
                                                       const double* coordinates,
                                                       double* faceThickness, uint8_t outside) {
  const auto input = ValidateMesh(nbNodes, szelem, connectivity, coordinates);
  if (!input || (faceThickness == nullptr && input->nbFaces > 0)) return VX_STATUS_INVALID_INPUT;
  // The rays read no edge.
  return vexmor::api::MeasureTriangles(*input, outside, kRayMode, vexmor::RayThickness,
                                       vexmor::EdgesAfterCheck::kOwn, faceThickness);
}

}  // extern "C"
