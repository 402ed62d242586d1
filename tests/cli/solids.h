// Solids built in code for the program's tests: prisms over a ring of corners, with their caps
// whole or given as triangles, the long thin triangles that coarse exports write, and the
// library tests' meshes as the program holds them.
#pragma once

#include <array>
#include <cmath>
#include <vector>

#include "../support/meshes.h"
#include "mesh/mesh.h"
#include "mesh/triangulation.h"

namespace vexmor::cli::test {

using Ring = std::vector<std::array<double, 2>>;

inline Mesh ToMesh(const vexmor::test::TestMesh& t) {
  Mesh m;
  m.coords = t.coords;
  for (size_t p = 0; p < t.elem.size(); p += static_cast<size_t>(t.elem[p]) + 1)
    m.addFace(std::span<const int32_t>(&t.elem[p + 1], static_cast<size_t>(t.elem[p])));
  return m;
}

// A ball: a cube of `divisions` x `divisions` cells a side, two triangles each, blown up.
inline Mesh Ball(double radius, int divisions) {
  vexmor::test::TestMesh cube = vexmor::test::Box(2, 2, 2, divisions, false, -1, -1, -1);
  for (size_t i = 0; i < cube.coords.size(); i += 3) {
    const double k = radius / std::hypot(cube.coords[i], cube.coords[i + 1], cube.coords[i + 2]);
    for (size_t j = i; j < i + 3; ++j)
      cube.coords[j] *= k;
  }
  return ToMesh(cube);
}

// A prism over a counter-clockwise ring: the bottom, the top, then one quadrilateral per side.
// `capTriangles` (corners of the ring, counter-clockwise) gives the caps as those triangles.
inline Mesh Prism(const Ring& ring, double height,
                  const std::vector<std::array<int32_t, 3>>& capTriangles) {
  Mesh m;
  const auto n = static_cast<int32_t>(ring.size());
  for (int z = 0; z < 2; ++z) {
    for (const auto& p : ring)
      m.addNode(p[0], p[1], z * height);
  }
  if (capTriangles.empty()) {
    std::vector<int32_t> bottom, top;
    for (int32_t i = 0; i < n; ++i) {
      bottom.push_back(n - 1 - i);
      top.push_back(n + i);
    }
    m.addFace(bottom);
    m.addFace(top);
  } else {
    for (const auto& t : capTriangles)
      m.addFace({t[0], t[2], t[1]});
    for (const auto& t : capTriangles)
      m.addFace({n + t[0], n + t[1], n + t[2]});
  }
  for (int32_t i = 0; i < n; ++i)
    m.addFace({i, (i + 1) % n, (i + 1) % n + n, i + n});
  return m;
}

inline Ring RegularRing(int n, double radius) {
  Ring ring;
  for (int i = 0; i < n; ++i)
    ring.push_back({radius * std::cos(2 * M_PI * i / n), radius * std::sin(2 * M_PI * i / n)});
  return ring;
}

// The box [lo, hi] as six quadrilaterals wound outwards, added to m.
inline void AddBox(Mesh& m, Vec3 lo, Vec3 hi) {
  const auto first = static_cast<int32_t>(m.nodeCount());
  for (int c = 0; c < 8; ++c)
    m.addNode(c & 1 ? hi[0] : lo[0], c & 2 ? hi[1] : lo[1], c & 4 ? hi[2] : lo[2]);
  const int sides[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                           {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
  for (const auto& s : sides)
    m.addFace({first + s[0], first + s[1], first + s[2], first + s[3]});
}

// The box [0, x] x [0, y] x [0, z] as triangles: the bottom, the top, then the sides from y = 0
// on, two triangles each.
inline Mesh Cuboid(double x, double y, double z) {
  return Triangulate(Prism({{0, 0}, {x, 0}, {x, y}, {0, y}}, z, {})).mesh;
}

// A cylinder as coarse CAD exports write it: caps fanned from one rim node and sides of two
// triangles that span the whole length, all of them long and thin.
inline Mesh FannedCylinder(int n, double radius, double height) {
  std::vector<std::array<int32_t, 3>> fan;
  for (int32_t k = 1; k + 1 < n; ++k)
    fan.push_back({0, k, k + 1});
  return Triangulate(Prism(RegularRing(n, radius), height, fan)).mesh;
}

// A plate whose large faces are strips of slivers running its whole length.
inline Mesh SliverPlate(double length, double width, double thickness, int strips) {
  Ring ring;
  for (int j = 0; j <= strips; ++j)
    ring.push_back({length, width * j / strips});
  for (int j = strips; j >= 0; --j)
    ring.push_back({0, width * j / strips});
  std::vector<std::array<int32_t, 3>> caps;
  const auto n = static_cast<int32_t>(ring.size());
  for (int32_t j = 0; j < strips; ++j) {
    // Ring corner j runs along x = length, corner n - 1 - j along x = 0.
    caps.push_back({n - 1 - j, j, j + 1});
    caps.push_back({n - 1 - j, j + 1, n - 2 - j});
  }
  return Triangulate(Prism(ring, thickness, caps)).mesh;
}

}  // namespace vexmor::cli::test
