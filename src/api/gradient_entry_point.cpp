// Exported function of the thickness gradient.
#include <span>
#include <vector>

#include "api/mesh_input.h"
#include "mesh/large_array.h"
#include "mesh/smesh.h"
#include "mesh/triangle_split.h"
#include "thickness/thickness_gradient.h"
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
  vexmor::SetFullTrias(mesh);
  // The gradient lists the faces across the sides of the oriented faces itself when it must.
  if (vexmor::Checking_SMesh(mesh, vexmor::EdgesAfterCheck::kOwn) != 0) {
    return VX_STATUS_MESH_REJECTED;
  }

  const size_t nbCallerFaces = static_cast<size_t>(input->nbFaces);
  const std::span<const double> thickness(faceThickness, nbCallerFaces);
  if (mesh.quadsSplit == 0) {
    // One triangle per caller face: the gradient goes straight into the caller's array.
    const std::span<double> gradient(faceGradient, nbCallerFaces);
    vexmor::FThickGrad(mesh, thickness, gradient);
    return VX_STATUS_OK;
  }
  // Each triangle takes its caller face's thickness; each caller face gets the mean gradient of
  // its triangles.
  vexmor::LargeVector<double> triangleThickness(mesh.triFace.size());
  for (size_t t = 0; t < mesh.triFace.size(); ++t)
    triangleThickness[t] = thickness[static_cast<size_t>(mesh.triFace[t])];
  vexmor::LargeVector<double> triangleGradient(static_cast<size_t>(mesh.nbFaces), 0.0);
  vexmor::FThickGrad(mesh, triangleThickness, triangleGradient);
  const vexmor::LargeVector<double> gradient =
      vexmor::MapTriangleResults(mesh, triangleGradient, vexmor::TriangleFold::kMean);
  for (size_t i = 0; i < nbCallerFaces && i < gradient.size(); ++i)
    faceGradient[i] = gradient[i];
  return VX_STATUS_OK;
}

}  // extern "C"
