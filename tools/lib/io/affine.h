// The placement of a part in a package file (a 3MF build item or component, an AMF instance): a
// 3 x 4 affine map, x' = a[0] x + a[1] y + a[2] z + a[3], and so on row by row.
#pragma once

#include <array>

#include "mesh/mesh.h"

namespace vexmor::cli {

using Affine = std::array<double, 12>;

inline constexpr Affine kIdentity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};

// outer(inner(p)).
inline Affine Compose(const Affine& outer, const Affine& inner) {
  Affine a;
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 4; ++c) {
      double v = c == 3 ? outer[4 * r + 3] : 0.0;
      for (int k = 0; k < 3; ++k)
        v += outer[4 * r + k] * inner[4 * k + c];
      a[4 * r + c] = v;
    }
  }
  return a;
}

// Adds the point (x, y, z) placed by `a` to the mesh.
inline void AddPlacedNode(Mesh& mesh, const Affine& a, double x, double y, double z) {
  mesh.addNode(a[0] * x + a[1] * y + a[2] * z + a[3], a[4] * x + a[5] * y + a[6] * z + a[7],
               a[8] * x + a[9] * y + a[10] * z + a[11]);
}

}  // namespace vexmor::cli
