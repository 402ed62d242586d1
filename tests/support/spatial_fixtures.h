// Meshes and helpers for the tests of the spatial search, the ray probes and the distance to
// the surface: random triangle soups and an SMesh built straight from a test mesh.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "mesh/smesh.h"
#include "support/mesh_fixtures.h"

namespace vexmor::test {

inline SMesh MakeSMesh(const TestMesh& m, uint32_t mode = 0) {
  return SMesh(0, m.nbNodes(), m.szelem(), m.coords, m.elem, mode);
}

// `count` independent triangles with corners in [0, extent]^3, each no wider than `size` per
// axis. The first two nodes pin the node box to [0, extent]^3 so that the normalised frame is
// the mesh's own frame scaled by 10000 / extent.
inline TestMesh RandomTriangleSoup(uint32_t seed, int count, double extent, double size) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> corner(0.0, extent - size);
  std::uniform_real_distribution<double> offset(0.0, size);
  TestMesh m;
  m.AddNode(0, 0, 0);
  m.AddNode(extent, extent, extent);
  for (int t = 0; t < count; ++t) {
    const double x = corner(rng), y = corner(rng), z = corner(rng);
    int32_t ids[3];
    for (int32_t& id : ids)
      id = m.AddNode(x + offset(rng), y + offset(rng), z + offset(rng));
    m.AddTriangle(ids[0], ids[1], ids[2]);
  }
  return m;
}

// A mesh whose nodes already lie in the normalised frame: the first node is the origin and the
// longest extent is 10000, so SMesh keeps every coordinate as given.
inline TestMesh InFrame(TestMesh m) {
  m.AddNode(0, 0, 0);
  m.AddNode(10000, 0, 0);
  return m;
}

}  // namespace vexmor::test
