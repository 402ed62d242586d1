#include "thickness/ray_thickness.h"

#include "geometry/adt.h"
#include "mesh/face_ref.h"
#include "mesh/face_walk.h"
#include "mesh/smesh.h"
#include "thickness/face_frame.h"
#include "thickness/sphere_thickness.h"
#include "thickness/wall_search.h"

namespace vexmor {

int32_t RayThickness(SMesh& mesh, std::span<double> faceThickness) {
  BuildAdtTree(mesh);
  if (mesh.szelem < 1) return 0;
  const std::span<const int32_t> elem = mesh.elem;
  if (mesh.nbFaces <= 0 || faceThickness.size() < static_cast<size_t>(mesh.nbFaces)) return 0;
  WallSearch walls(*mesh.adt);
  int32_t face = 0;
  for (int32_t pos = 0; pos < mesh.szelem && face < mesh.nbFaces;
       pos = NextFacePos(elem, pos), ++face) {
    double sum = 0.0;
    int32_t strips = 0;
    FaceRef hit{0, 0};
    FaceFrame frame;
    for (int32_t k = 0; LoadFaceFrame(mesh, pos, k, frame); ++k) {
      ++strips;
      const double distance = Coarse_Initial_Thickness(mesh, walls, pos, frame.P, frame.N, hit);
      // A ray that found nothing counts as 0.
      if (distance >= -1.0) sum += distance;
    }
    double value = strips > 0 ? sum / strips : 0.0;
    if (mesh.outside != 0 && hit.faceIndex >= mesh.nbFaces - 12) value = -value;
    faceThickness[static_cast<size_t>(face)] = value;
  }
  return 0;
}

}  // namespace vexmor
