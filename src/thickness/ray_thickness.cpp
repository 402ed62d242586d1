#include "thickness/ray_thickness.h"

#include <algorithm>
#include <vector>

#include "geometry/adt.h"
#include "geometry/adt_ray_walk.h"
#include "geometry/adt_search.h"
#include "geometry/face_frame.h"
#include "geometry/ray_tree.h"
#include "mesh/face_ref.h"
#include "mesh/face_walk.h"
#include "mesh/smesh.h"
#include "thickness/sphere_thickness.h"

namespace vexmor {

void RayThickness(SMesh& mesh, std::span<double> faceThickness) {
  // The probes never look at the edge list: freed first, it leaves room for the search trees.
  mesh.edgeHash.Release();
  if (mesh.szelem < 1) return;
  const std::span<const int32_t> elem = mesh.elem;
  if (mesh.nbFaces <= 0 || faceThickness.size() < static_cast<size_t>(mesh.nbFaces)) return;
  // The value of one face: the mean of its strip triangles' rays, negated with the outside
  // flag when the last ray ends on the enclosing box. A ray that found nothing counts as 0.
  auto measure = [&](auto& probes, int32_t pos) {
    double sum = 0.0;
    int32_t strips = 0;
    FaceRef hit{0, 0};
    FaceFrame frame;
    for (int32_t k = 0; LoadFaceFrame(mesh, pos, k, frame); ++k) {
      ++strips;
      const double distance = Coarse_Initial_Thickness(mesh, probes, pos, frame.P, frame.N, hit);
      if (distance >= -1.0) sum += distance;
    }
    const double value = strips > 0 ? sum / strips : 0.0;
    return mesh.outside != 0 && hit.faceIndex >= mesh.nbFaces - 12 ? -value : value;
  };
  // Faces are measured in the order the ray tree groups them: neighbouring rays read the same
  // groups, which then are still in the cache. Each value is the same in any order. The tree
  // holds every face, but those without a triangle: they measure 0. Each face is a single
  // triangle there, the one the tree holds, so its ray starts from that copy, as measure would
  // from the connectivity: one ray, whose distance is the value.
  auto measureAll = [&](RayTree& rays) {
    std::fill(faceThickness.begin(), faceThickness.begin() + mesh.nbFaces, 0.0);
    for (const RayFace& face : rays.Faces()) {
      if (face.faceIndex < 0 || face.faceIndex >= mesh.nbFaces) continue;
      FaceFrame frame;
      TriangleFrame(face.tri, frame);
      FaceRef hit{0, 0};
      const double distance =
          Coarse_Initial_Thickness(mesh, rays, face.facePos, frame.P, frame.N, hit);
      const double value = distance >= -1.0 ? distance : 0.0;
      faceThickness[static_cast<size_t>(face.faceIndex)] =
          mesh.outside != 0 && hit.faceIndex >= mesh.nbFaces - 12 ? -value : value;
    }
  };
  if (mesh.outside == 0) {
    // Equally near crossings are told apart by the ADT's listing order, but a value reads only
    // the distance to the nearest crossing; which face gave it matters only for the sign of an
    // outside analysis. Here any order of the faces gives the same values, and the ADT is not
    // needed: a ray tree that holds whole faces is all the probes read.
    mesh.adt.reset();
    std::vector<FaceRef> faces;
    faces.reserve(static_cast<size_t>(mesh.nbFaces));
    for (int32_t pos = 0, face = 0; pos < mesh.szelem && face < mesh.nbFaces;
         pos = NextFacePos(elem, pos), ++face) {
      faces.push_back({face, pos});
    }
    RayTree rays(faces, mesh);
    if (rays.HoldsWholeFaces()) {
      measureAll(rays);
      return;
    }
  }
  BuildAdtTree(mesh);
  if (mesh.adt->count == mesh.nbFaces) {
    // Of the ADT the ray tree needs only the listing order, so the ADT is freed before the ray
    // tree takes its memory, and built again in the rare case that the ray tree cannot serve.
    const std::vector<FaceRef> listing = AdtListing(*mesh.adt);
    mesh.adt.reset();
    RayTree rays(listing, mesh);
    if (rays.HoldsWholeFaces()) {
      measureAll(rays);
      return;
    }
    BuildAdtTree(mesh);
  }
  AdtRayWalk walls(*mesh.adt);
  int32_t face = 0;
  for (int32_t pos = 0; pos < mesh.szelem && face < mesh.nbFaces;
       pos = NextFacePos(elem, pos), ++face) {
    faceThickness[static_cast<size_t>(face)] = measure(walls, pos);
  }
}

}  // namespace vexmor
