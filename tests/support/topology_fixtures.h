// Meshes for the topology, orientation and dihedral tests: open, non-manifold and mixed-face
// meshes that the check must reject, and closed multi-volume meshes that it must orient.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "support/mesh_fixtures.h"

namespace vexmor::test {

// The same mesh with nodes of identical coordinates merged (first occurrence kept) and the
// faces renumbered accordingly.
inline TestMesh Welded(const TestMesh& in) {
  TestMesh out;
  NodeWelder node(out);
  std::vector<int32_t> map(static_cast<size_t>(in.nbNodes()));
  for (int32_t i = 0; i < in.nbNodes(); ++i)
    map[static_cast<size_t>(i)] =
        node(in.coords[3 * i], in.coords[3 * i + 1], in.coords[3 * i + 2]);
  for (size_t p = 0; p < in.elem.size();) {
    const int32_t n = in.elem[p];
    out.elem.push_back(n);
    for (int32_t k = 1; k <= n; ++k)
      out.elem.push_back(map[static_cast<size_t>(in.elem[p + k])]);
    p += n > 0 ? n + 1 : 1;
  }
  return out;
}

// Drops every face all of whose nodes satisfy the predicate.
template <typename Predicate>
TestMesh WithoutFaces(const TestMesh& in, Predicate inside) {
  TestMesh out;
  out.coords = in.coords;
  for (size_t p = 0; p < in.elem.size();) {
    const int32_t n = in.elem[p];
    bool all = n > 0;
    for (int32_t k = 1; k <= n; ++k) {
      const int32_t v = in.elem[p + k];
      all = all && inside(in.coords[3 * v], in.coords[3 * v + 1], in.coords[3 * v + 2]);
    }
    if (!all) out.elem.insert(out.elem.end(), in.elem.begin() + p, in.elem.begin() + p + n + 1);
    p += n > 0 ? n + 1 : 1;
  }
  return out;
}

// Two meshes side by side in one, without merging nodes.
inline TestMesh Together(TestMesh a, const TestMesh& b) {
  a.Append(b);
  return a;
}

// A closed 4 x 4 x 4 box (two cells per side) holding a closed box-shaped cavity, off-centre
// and of uneven sides. Both are wound with normals away from their own centres: the cavity's
// faces point into the material, the wrong way for a cavity. The cavity's faces come last.
inline TestMesh BoxWithCavityWoundOutwards() {
  return Together(Box(4, 4, 4, 2), Box(1.0, 1.3, 0.7, 1, false, 1.2, 1.1, 1.6));
}

// The same box with its cavity wound towards the cavity's centre: correctly oriented.
inline TestMesh BoxWithCavityWoundInwards() {
  return Together(Box(4, 4, 4, 2), Rewound(Box(1.0, 1.3, 0.7, 1, false, 1.2, 1.1, 1.6)));
}

// A unit cube [1, 2] x [1, 2] x [3, 4] standing on the middle of the top of a 3 x 3 x 3 cube,
// as one closed triangle surface: the large top is meshed around the footprint and the small
// cube has no bottom. Cells are 0.5 wide, so nodes lie midway along the footprint's sides.
inline TestMesh CubeOnCube() {
  const TestMesh both = Welded(Together(Box(3, 3, 3, 6), Box(1, 1, 1, 2, false, 1, 1, 3)));
  return WithoutFaces(both, [](double x, double y, double z) {
    return z == 3.0 && x >= 1.0 && x <= 2.0 && y >= 1.0 && y <= 2.0;
  });
}

// A tetrahedron without symmetry, outward faces. Probes from a face of a regular tetrahedron
// run through the opposite vertex; from these faces they meet no edge or vertex.
inline TestMesh IrregularTetrahedron(double size = 1.0) {
  TestMesh m;
  m.AddNode(0, 0, 0);
  m.AddNode(1.3 * size, 0.1 * size, 0);
  m.AddNode(0.4 * size, 1.1 * size, 0.05 * size);
  m.AddNode(0.35 * size, 0.42 * size, 0.9 * size);
  m.AddTriangle(0, 2, 1);
  m.AddTriangle(0, 1, 3);
  m.AddTriangle(1, 2, 3);
  m.AddTriangle(2, 0, 3);
  return m;
}

// Index of the node at exactly these coordinates, or -1.
inline int32_t NodeAt(const TestMesh& m, double x, double y, double z) {
  for (int32_t i = 0; i < m.nbNodes(); ++i) {
    if (m.coords[3 * i] == x && m.coords[3 * i + 1] == y && m.coords[3 * i + 2] == z) return i;
  }
  return -1;
}

// Six times the signed volume enclosed by a triangle mesh: positive when its faces point out
// of the material.
inline double SignedVolume6(const TestMesh& m) {
  double sum = 0.0;
  for (size_t p = 0; p + 3 < m.elem.size(); p += 4) {
    const double* a = &m.coords[3 * m.elem[p + 1]];
    const double* b = &m.coords[3 * m.elem[p + 2]];
    const double* c = &m.coords[3 * m.elem[p + 3]];
    sum += a[0] * (b[1] * c[2] - b[2] * c[1]) - a[1] * (b[0] * c[2] - b[2] * c[0]) +
           a[2] * (b[0] * c[1] - b[1] * c[0]);
  }
  return sum;
}

}  // namespace vexmor::test
