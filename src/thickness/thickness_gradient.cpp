#include "thickness/thickness_gradient.h"

#include <cmath>
#include <vector>

#include "mesh/face_walk.h"
#include "mesh/smesh.h"
#include "mesh/trace.h"
#include "thickness/faces_around_node.h"
#include "topology/edge_list.h"

namespace vexmor {
namespace {

// FLT_EPSILON: thinner faces have no meaningful relative difference.
constexpr double kThinnestComparable = 1.1920928955078125e-7;

}  // namespace

void FThickGrad(SMesh& mesh, std::span<const double> thickness, std::span<double> gradient) {
  Trace("## FThickGrad : ");
  BuildEdgeHash(mesh);
  if (mesh.szelem < 1 || mesh.nbFaces <= 0) return;
  const size_t nbFaces = static_cast<size_t>(mesh.nbFaces);
  if (thickness.size() < nbFaces || gradient.size() < nbFaces) return;

  // stamp[g] == i + 1 once face g has been counted for face i: no clearing between faces.
  std::vector<uint32_t> stamp(nbFaces, 0);
  std::vector<int32_t> walkIndices(kGradientWalkCapacity);
  std::vector<int32_t> walkPositions(kGradientWalkCapacity);
  const std::span<const int32_t> elem = mesh.elem;

  int32_t face = 0;
  for (int32_t pos = 0; pos < mesh.szelem && face < mesh.nbFaces;
       pos = NextFacePos(elem, pos), ++face) {
    const uint32_t mark = static_cast<uint32_t>(face) + 1;
    const double own = thickness[static_cast<size_t>(face)];
    const int32_t n = elem[static_cast<size_t>(pos)];
    double sum = 0.0;
    int32_t count = 0;
    // The face itself is never its own neighbour, even if a walk meets it again.
    stamp[static_cast<size_t>(face)] = mark;
    for (int32_t k = 1; k <= n && pos + k < mesh.szelem; ++k) {
      walkIndices[0] = face;
      walkPositions[0] = pos;
      const int32_t around =
          FacesAroundNode(mesh, elem[static_cast<size_t>(pos + k)], walkIndices, walkPositions);
      for (int32_t j = 1; j < around; ++j) {
        const int32_t g = walkIndices[static_cast<size_t>(j)];
        if (g < 0 || g >= mesh.nbFaces || stamp[static_cast<size_t>(g)] == mark) continue;
        stamp[static_cast<size_t>(g)] = mark;
        if (!(own >= kThinnestComparable)) continue;
        sum += std::abs(thickness[static_cast<size_t>(g)] - own) / own;
        ++count;
      }
    }
    // A face compared with nothing has no gradient to report.
    gradient[static_cast<size_t>(face)] = count > 0 ? sum / count : 0.0;
  }
}

}  // namespace vexmor
