#include "geometry/bbox.h"

#include <algorithm>
#include <cmath>

#include "geometry/tolerances.h"
#include "mesh/smesh.h"
#include "mesh/trace.h"

namespace vexmor {

void ComputeBBox(SMesh& mesh, bool wide) {
  Trace("#ComputeBBox");
  double lo[3] = {kDblMax, kDblMax, kDblMax};
  double hi[3] = {-kDblMax, -kDblMax, -kDblMax};
  const size_t nodes =
      std::min(static_cast<size_t>(std::max(mesh.nbNodes, 0)), mesh.coords.size() / 3);
  for (size_t i = 0; i < nodes; ++i) {
    for (size_t k = 0; k < 3; ++k) {
      lo[k] = std::min(lo[k], mesh.coords[3 * i + k]);
      hi[k] = std::max(hi[k], mesh.coords[3 * i + k]);
    }
  }
  // Always larger than the mesh, so that probes started just outside the nodes' box still lie
  // inside the search box.
  const double factor = wide ? 2.0 : 1.1;
  double diag2 = 0.0;
  for (int k = 0; k < 3; ++k) {
    const double centre = (lo[k] + hi[k]) * 0.5;
    mesh.bbox[k] = centre + (lo[k] - centre) * factor;
    mesh.bbox[k + 3] = centre + (hi[k] - centre) * factor;
    const double extent = mesh.bbox[k + 3] - mesh.bbox[k];
    diag2 += extent * extent;
  }
  mesh.bboxDone = 1;
  mesh.halfDiag = 0.5 * std::sqrt(diag2);
  Trace("\tBBox :");
  Trace("\t[ %f  %f  %f ]", mesh.bbox[0], mesh.bbox[1], mesh.bbox[2]);
  Trace("\t[ %f  %f  %f ]", mesh.bbox[3], mesh.bbox[4], mesh.bbox[5]);
  Trace("#--ComputeBBox");
}

}  // namespace vexmor
