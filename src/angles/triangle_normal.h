// The triangle normal shared by the draft and dihedral analyses.
#pragma once

#include <cstdint>

#include "geometry/normalize.h"
#include "geometry/vec3.h"
#include "mesh/smesh.h"

namespace vexmor {

// Unit normal of the triangle at face position p, taken at its second node as
// (P2 - P1) x (P0 - P1), which has the orientation of (P1 - P0) x (P2 - P0). A cross product
// shorter than sqrt(machine epsilon) becomes (1, 0, 0) and the function returns true.
inline bool AngleTriangleNormal(const SMesh& mesh, int32_t p, double n[3]) {
  const int32_t* nodes = mesh.elem.data() + p + 1;
  const Vec3 p0 = Vec3::Load(mesh.Node(nodes[0]));
  const Vec3 p1 = Vec3::Load(mesh.Node(nodes[1]));
  const Vec3 p2 = Vec3::Load(mesh.Node(nodes[2]));
  Cross(p2 - p1, p0 - p1).Store(n);
  return NormalizeOrDefault(n);
}

}  // namespace vexmor
