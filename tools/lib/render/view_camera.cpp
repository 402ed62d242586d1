#include "render/view_camera.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vexmor::cli {
namespace {

Vec3 Cross(const Vec3& a, const Vec3& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

Vec3 Normalised(const Vec3& v) {
  const double length = std::sqrt(Dot(v, v));
  return {v[0] / length, v[1] / length, v[2] / length};
}

}  // namespace

ViewCamera ViewCamera::Isometric() {
  const Vec3 toward = Normalised({1, -1, 1});
  const Vec3 right = Normalised({1, 1, 0});
  return {right, Cross(toward, right), toward};
}

ViewCamera ViewCamera::Along(const Vec3& direction) {
  const Vec3 toward = Normalised(direction);
  const Vec3 upHint = std::fabs(toward[2]) > 0.9 ? Vec3{0, 1, 0} : Vec3{0, 0, 1};
  const Vec3 right = Normalised(Cross(upHint, toward));
  return {right, Cross(toward, right), toward};
}

ViewFit::ViewFit(const Mesh& mesh, const ViewCamera& camera, double x, double y, double width,
                 double height)
    : camera_(camera) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  double uLo = kInf, uHi = -kInf, vLo = kInf, vHi = -kInf;
  // Only the nodes that faces use: query points appended to a mesh are not drawn.
  for (size_t f = 0; f < mesh.faceCount(); ++f) {
    for (int32_t n : mesh.face(f)) {
      const Vec3 p = mesh.node(static_cast<size_t>(n));
      const double u = Dot(p, camera.right), v = Dot(p, camera.up);
      uLo = std::min(uLo, u);
      uHi = std::max(uHi, u);
      vLo = std::min(vLo, v);
      vHi = std::max(vHi, v);
    }
  }
  if (!(uHi >= uLo)) uLo = uHi = vLo = vHi = 0;
  const double spanU = uHi - uLo, spanV = vHi - vLo;
  const double fits = std::min(spanU > 0 ? width / spanU : kInf, spanV > 0 ? height / spanV : kInf);
  scale_ = std::isfinite(fits) ? fits : 1;
  centreU_ = (uLo + uHi) / 2;
  centreV_ = (vLo + vHi) / 2;
  centreX_ = x + width / 2;
  centreY_ = y + height / 2;
}

ScreenPoint ViewFit::project(const Vec3& p) const {
  return {centreX_ + scale_ * (Dot(p, camera_.right) - centreU_),
          centreY_ - scale_ * (Dot(p, camera_.up) - centreV_), Dot(p, camera_.toward)};
}

}  // namespace vexmor::cli
