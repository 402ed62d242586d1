// Meshes and measurements for the thickness tests: rings of known valence, a torus on which
// every node has six faces, wedges, quadrilateral splitting as the library does it, and the
// selection of the faces of a plate's two large walls.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "support/mesh_fixtures.h"

namespace vexmor::test {

// Two apexes over a ring of `ring` nodes in the plane z = 0: node 0 the top apex (z = 1), node
// 1 the bottom apex (z = -1), nodes 2 .. ring + 1 the ring. Faces 0 .. ring - 1 are the upper
// fan (face i = ring nodes i, i + 1 and the top apex), then the lower fan; all outwards.
inline TestMesh Bipyramid(int ring) {
  TestMesh m;
  m.AddNode(0, 0, 1);
  m.AddNode(0, 0, -1);
  for (int i = 0; i < ring; ++i) {
    const double a = 2 * M_PI * i / ring;
    m.AddNode(std::cos(a), std::sin(a), 0);
  }
  auto r = [ring](int i) { return 2 + (i % ring + ring) % ring; };
  for (int i = 0; i < ring; ++i)
    m.AddTriangle(r(i), r(i + 1), 0);
  for (int i = 0; i < ring; ++i)
    m.AddTriangle(r(i + 1), r(i), 1);
  return m;
}

// Closed torus of nu x nv quadrilateral cells, each split along the same diagonal: every node
// has exactly six triangles around it. Outward faces.
inline TestMesh Torus(int nu, int nv, double major = 3.0, double minor = 1.0) {
  TestMesh m;
  for (int i = 0; i < nu; ++i) {
    for (int j = 0; j < nv; ++j) {
      const double u = 2 * M_PI * i / nu, v = 2 * M_PI * j / nv;
      m.AddNode((major + minor * std::cos(v)) * std::cos(u),
                (major + minor * std::cos(v)) * std::sin(u), minor * std::sin(v));
    }
  }
  auto at = [nu, nv](int i, int j) { return ((i + nu) % nu) * nv + (j + nv) % nv; };
  for (int i = 0; i < nu; ++i) {
    for (int j = 0; j < nv; ++j) {
      const int32_t a = at(i, j), b = at(i + 1, j), c = at(i + 1, j + 1), d = at(i, j + 1);
      m.AddTriangle(a, b, c);
      m.AddTriangle(a, c, d);
    }
  }
  return m;
}

// Closed prism of length `length` along x over the right triangle (y, z) = (0, 0), (w, 0),
// (0, h): a floor z = 0, a back wall y = 0 and a roof sloping from height h down to the floor.
// `divisions` cells along x; outward faces.
inline TestMesh Wedge(double length, double w, double h, int divisions) {
  TestMesh m;
  NodeWelder node(m);
  const double yz[3][2] = {{0, 0}, {w, 0}, {0, h}};
  for (int i = 0; i < divisions; ++i) {
    const double x0 = length * i / divisions, x1 = length * (i + 1) / divisions;
    for (int s = 0; s < 3; ++s) {
      // Side s joins corners s and s + 1; seen from outside the corners run s -> s + 1.
      const double* p = yz[s];
      const double* q = yz[(s + 1) % 3];
      const int32_t a = node(x0, p[0], p[1]), b = node(x0, q[0], q[1]);
      const int32_t c = node(x1, q[0], q[1]), d = node(x1, p[0], p[1]);
      m.AddTriangle(a, b, c);
      m.AddTriangle(a, c, d);
    }
  }
  const int32_t e0[3] = {node(0, 0, 0), node(0, w, 0), node(0, 0, h)};
  m.AddTriangle(e0[0], e0[2], e0[1]);
  const int32_t e1[3] = {node(length, 0, 0), node(length, w, 0), node(length, 0, h)};
  m.AddTriangle(e1[0], e1[1], e1[2]);
  return m;
}

// The triangles the library makes of a mesh of triangles and quadrilaterals: (a, b, c, d)
// becomes (a, b, c) and (a, c, d). triFace receives each triangle's face.
inline TestMesh SplitQuads(const TestMesh& mesh, std::vector<int32_t>* triFace = nullptr) {
  TestMesh out;
  out.coords = mesh.coords;
  int32_t face = 0;
  for (size_t p = 0; p < mesh.elem.size(); p += mesh.elem[p] + 1, ++face) {
    const int32_t* v = &mesh.elem[p + 1];
    out.AddTriangle(v[0], v[1], v[2]);
    if (triFace != nullptr) triFace->push_back(face);
    if (mesh.elem[p] == 4) {
      out.AddTriangle(v[0], v[2], v[3]);
      if (triFace != nullptr) triFace->push_back(face);
    }
  }
  return out;
}

// Centroid and unit normal of every face (from its first three nodes), in face order.
struct FaceGeometry {
  double centre[3];
  double normal[3];
};

inline std::vector<FaceGeometry> FacesOf(const TestMesh& mesh) {
  std::vector<FaceGeometry> faces;
  for (size_t p = 0; p < mesh.elem.size(); p += mesh.elem[p] + 1) {
    const int32_t n = mesh.elem[p];
    FaceGeometry g{};
    for (int32_t k = 1; k <= n; ++k) {
      for (int i = 0; i < 3; ++i)
        g.centre[i] += mesh.coords[3 * mesh.elem[p + k] + i] / n;
    }
    const double* a = &mesh.coords[3 * mesh.elem[p + 1]];
    const double* b = &mesh.coords[3 * mesh.elem[p + 2]];
    const double* c = &mesh.coords[3 * mesh.elem[p + 3]];
    const double u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    const double v[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
    g.normal[0] = u[1] * v[2] - u[2] * v[1];
    g.normal[1] = u[2] * v[0] - u[0] * v[2];
    g.normal[2] = u[0] * v[1] - u[1] * v[0];
    const double len = std::sqrt(g.normal[0] * g.normal[0] + g.normal[1] * g.normal[1] +
                                 g.normal[2] * g.normal[2]);
    for (double& x : g.normal)
      x /= len;
    faces.push_back(g);
  }
  return faces;
}

// The faces of the two large walls (z = z0 and z = z0 + t) of a plate made by Box(sx, sy, t, ...,
// x0, y0, z0) whose every node lies at least `margin` from the plate's rim.
inline std::vector<int32_t> PlateWallFaces(const TestMesh& mesh, double sx, double sy, double t,
                                           double margin, double x0 = 0, double y0 = 0,
                                           double z0 = 0) {
  std::vector<int32_t> faces;
  int32_t face = 0;
  for (size_t p = 0; p < mesh.elem.size(); p += mesh.elem[p] + 1, ++face) {
    bool inside = true;
    for (int32_t k = 1; k <= mesh.elem[p]; ++k) {
      const double* v = &mesh.coords[3 * mesh.elem[p + k]];
      const bool onWall = std::fabs(v[2] - z0) < 1e-12 || std::fabs(v[2] - z0 - t) < 1e-12;
      inside = inside && onWall && v[0] >= x0 + margin - 1e-12 &&
               v[0] <= x0 + sx - margin + 1e-12 && v[1] >= y0 + margin - 1e-12 &&
               v[1] <= y0 + sy - margin + 1e-12;
    }
    if (inside) faces.push_back(face);
  }
  return faces;
}

}  // namespace vexmor::test
