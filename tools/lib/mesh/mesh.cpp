#include "mesh/mesh.h"

#include <algorithm>
#include <cmath>

namespace vexmor::cli {

Vec3 VectorArea(const Mesh& mesh, std::span<const int32_t> nodes) {
  Vec3 sum{0, 0, 0};
  for (size_t i = 0; i < nodes.size(); ++i) {
    const Vec3 p = mesh.node(static_cast<size_t>(nodes[i]));
    const Vec3 q = mesh.node(static_cast<size_t>(nodes[(i + 1) % nodes.size()]));
    sum[0] += (p[1] - q[1]) * (p[2] + q[2]);
    sum[1] += (p[2] - q[2]) * (p[0] + q[0]);
    sum[2] += (p[0] - q[0]) * (p[1] + q[1]);
  }
  return sum;
}

double FaceArea(const Mesh& mesh, size_t face) {
  const Vec3 a = VectorArea(mesh, mesh.face(face));
  return 0.5 * std::sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]);
}

std::vector<double> FaceAreas(const Mesh& mesh) {
  std::vector<double> areas(mesh.faceCount());
  for (size_t f = 0; f < areas.size(); ++f)
    areas[f] = FaceArea(mesh, f);
  return areas;
}

Vec3 FaceCentroid(const Mesh& mesh, size_t face) {
  const auto nodes = mesh.face(face);
  Vec3 c{0, 0, 0};
  for (int32_t n : nodes) {
    const Vec3 p = mesh.node(static_cast<size_t>(n));
    for (int k = 0; k < 3; ++k)
      c[k] += p[k];
  }
  for (double& v : c)
    v /= static_cast<double>(std::max<size_t>(nodes.size(), 1));
  return c;
}

double Box::largestExtent() const {
  return std::max({hi[0] - lo[0], hi[1] - lo[1], hi[2] - lo[2]});
}

Box NodeBox(const Mesh& mesh) {
  Box box;
  if (mesh.nodeCount() == 0) return box;
  box.lo = box.hi = mesh.node(0);
  for (size_t n = 1; n < mesh.nodeCount(); ++n) {
    for (int k = 0; k < 3; ++k) {
      box.lo[k] = std::min(box.lo[k], mesh.coords[3 * n + k]);
      box.hi[k] = std::max(box.hi[k], mesh.coords[3 * n + k]);
    }
  }
  return box;
}

}  // namespace vexmor::cli
