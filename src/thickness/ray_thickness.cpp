#include "thickness/ray_thickness.h"

#include <algorithm>

#include "geometry/adt.h"
#include "geometry/face_frame.h"
#include "geometry/wall_search.h"
#include "mesh/face_ref.h"
#include "mesh/face_walk.h"
#include "mesh/smesh.h"
#include "thickness/sphere_thickness.h"

namespace vexmor {

void RayThickness(SMesh& mesh, std::span<double> faceThickness) {
  // The probes never look at the edge list: freed first, it leaves room for the search trees.
  mesh.edgeHash.Release();
  BuildAdtTree(mesh);
  if (mesh.szelem < 1) return;
  const std::span<const int32_t> elem = mesh.elem;
  if (mesh.nbFaces <= 0 || faceThickness.size() < static_cast<size_t>(mesh.nbFaces)) return;
  WallSearch walls(*mesh.adt);
  // The value of one face: the mean of its strip triangles' rays, negated with the outside
  // flag when the last ray ends on the enclosing box. A ray that found nothing counts as 0.
  auto measure = [&](int32_t pos) {
    double sum = 0.0;
    int32_t strips = 0;
    FaceRef hit{0, 0};
    FaceFrame frame;
    for (int32_t k = 0; LoadFaceFrame(mesh, pos, k, frame); ++k) {
      ++strips;
      const double distance = Coarse_Initial_Thickness(mesh, walls, pos, frame.P, frame.N, hit);
      if (distance >= -1.0) sum += distance;
    }
    const double value = strips > 0 ? sum / strips : 0.0;
    return mesh.outside != 0 && hit.faceIndex >= mesh.nbFaces - 12 ? -value : value;
  };
  const RayTree& rays = walls.Rays(mesh);
  if (rays.HoldsWholeFaces() && mesh.adt->count == mesh.nbFaces) {
    // Faces are measured in the order the ray tree groups them: neighbouring rays read the same
    // groups, which then are still in the cache. Each value is the same in any order. The tree
    // holds every face of the ADT, which holds them all, but those without a triangle: they
    // measure 0.
    std::fill(faceThickness.begin(), faceThickness.begin() + mesh.nbFaces, 0.0);
    for (const RayFace& face : rays.Faces()) {
      if (face.faceIndex >= 0 && face.faceIndex < mesh.nbFaces)
        faceThickness[static_cast<size_t>(face.faceIndex)] = measure(face.facePos);
    }
    return;
  }
  int32_t face = 0;
  for (int32_t pos = 0; pos < mesh.szelem && face < mesh.nbFaces;
       pos = NextFacePos(elem, pos), ++face) {
    faceThickness[static_cast<size_t>(face)] = measure(pos);
  }
}

}  // namespace vexmor
