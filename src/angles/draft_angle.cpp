#include "angles/draft_angle.h"

#include <algorithm>

#include "angles/triangle_normal.h"
#include "mesh/face_walk.h"
#include "mesh/smesh.h"
#include "mesh/trace.h"

namespace vexmor {

void Draft_Angle(const SMesh& mesh, std::span<double> faceValues, const double direction[3]) {
  Trace("## Draft_Angle : ");
  double pull[3] = {direction[0], direction[1], direction[2]};
  NormalizeOrDefault(pull);
  std::fill(faceValues.begin(), faceValues.end(), 0.0);
  if (mesh.szelem < 1) return;

  const std::span<const int32_t> elem = mesh.Elem();
  int32_t face = 0;
  FacesAhead ahead(elem, mesh.szelem, kReadAheadFaces);  // whose nodes are asked for
  for (int32_t p = 0; p < mesh.szelem; p = NextFacePos(elem, p), ++face) {
    mesh.PrefetchFaceNodes(ahead.Take());
    if (elem[static_cast<size_t>(p)] != 3 || p + 3 >= mesh.szelem) continue;
    double n[3];
    AngleTriangleNormal(mesh, p, n);
    // Two unit vectors rounded to unit length may give a dot product an ulp or two past +-1;
    // a cosine stays within [-1, 1], where a caller's acos is defined.
    faceValues[static_cast<size_t>(face)] =
        std::clamp(n[0] * pull[0] + n[1] * pull[1] + n[2] * pull[2], -1.0, 1.0);
  }
}

}  // namespace vexmor
