// Where a thickness measurement of a triangle starts: its incircle centre and unit normal.
#pragma once

#include <cstdint>

#include "geometry/face_normal.h"
#include "geometry/triangle_incircle.h"
#include "mesh/smesh.h"

namespace vexmor {

// Strip triangle k of the face at position pos (its nodes k, k + 1 and k + 2) as nine doubles;
// false when the face lies outside the connectivity or has no such triangle.
inline bool LoadFaceTriangle(const SMesh& mesh, int32_t pos, int32_t k, double tri[9]) {
  if (pos < 0 || pos >= mesh.szelem || k < 0) return false;
  const int32_t n = mesh.elem[static_cast<size_t>(pos)];
  if (n < 3 || n > mesh.szelem - 1 - pos || k > n - 3) return false;
  for (int v = 0; v < 3; ++v) {
    const double* node = mesh.Node(mesh.elem[static_cast<size_t>(pos + 1 + k + v)]);
    tri[3 * v] = node[0];
    tri[3 * v + 1] = node[1];
    tri[3 * v + 2] = node[2];
  }
  return true;
}

struct FaceFrame {
  double P[3] = {0.0, 0.0, 0.0};  // incircle centre: the tangent point, the ray's origin
  double N[3] = {0.0, 0.0, 0.0};  // unit normal; the raw cross product for a degenerate one
};

// The frame of a triangle given as nine doubles. A triangle whose nodes coincide has no
// incircle and keeps its centroid as P.
inline void TriangleFrame(const double tri[9], FaceFrame& frame) {
  for (int i = 0; i < 3; ++i)
    frame.P[i] = (tri[i] + tri[3 + i] + tri[6 + i]) / 3.0;
  TriangleIncircle(tri, frame.P);
  Compute_FaceNormal(frame.N, tri);
}

// The frame of strip triangle k of the face at position pos; false when there is none.
inline bool LoadFaceFrame(const SMesh& mesh, int32_t pos, int32_t k, FaceFrame& frame) {
  double tri[9];
  if (!LoadFaceTriangle(mesh, pos, k, tri)) return false;
  TriangleFrame(tri, frame);
  return true;
}

}  // namespace vexmor
