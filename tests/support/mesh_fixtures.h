// Small closed meshes built in code, shared by the tests, and the transformations that tests
// apply to them (rewinding, scaling, translating, splitting into triangles).
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <map>
#include <vector>

namespace vexmor::test {

struct TestMesh {
  std::vector<double> coords;  // 3 per node
  std::vector<int32_t> elem;   // count-prefixed faces

  int32_t nbNodes() const { return static_cast<int32_t>(coords.size() / 3); }
  int32_t szelem() const { return static_cast<int32_t>(elem.size()); }
  int32_t nbFaces() const {
    int32_t faces = 0;
    for (size_t p = 0; p<elem.size(); p += elem[p]> 0 ? elem[p] + 1 : 1)
      ++faces;
    return faces;
  }
  int32_t AddNode(double x, double y, double z) {
    coords.insert(coords.end(), {x, y, z});
    return nbNodes() - 1;
  }
  void AddTriangle(int32_t a, int32_t b, int32_t c) { elem.insert(elem.end(), {3, a, b, c}); }
  void AddQuad(int32_t a, int32_t b, int32_t c, int32_t d) {
    elem.insert(elem.end(), {4, a, b, c, d});
  }
  void AddFace(const std::vector<int32_t>& nodes) {
    elem.push_back(static_cast<int32_t>(nodes.size()));
    elem.insert(elem.end(), nodes.begin(), nodes.end());
  }
  // Appends another mesh, renumbering its nodes after this one's.
  void Append(const TestMesh& other) {
    const int32_t offset = nbNodes();
    coords.insert(coords.end(), other.coords.begin(), other.coords.end());
    for (size_t p = 0; p < other.elem.size();) {
      const int32_t n = other.elem[p];
      elem.push_back(n);
      for (int32_t k = 1; k <= n; ++k)
        elem.push_back(other.elem[p + k] + offset);
      p += n > 0 ? n + 1 : 1;
    }
  }
};

// Reverses the winding of every face, keeping its first node.
inline TestMesh Rewound(TestMesh m) {
  for (size_t p = 0; p < m.elem.size();) {
    const int32_t n = m.elem[p];
    if (n > 0) {
      for (int32_t i = 2, j = n; i < j; ++i, --j)
        std::swap(m.elem[p + i], m.elem[p + j]);
    }
    p += n > 0 ? n + 1 : 1;
  }
  return m;
}

inline TestMesh Scaled(TestMesh m, double k) {
  for (double& c : m.coords)
    c *= k;
  return m;
}

inline TestMesh Translated(TestMesh m, double dx, double dy, double dz) {
  for (size_t i = 0; i < m.coords.size(); i += 3) {
    m.coords[i] += dx;
    m.coords[i + 1] += dy;
    m.coords[i + 2] += dz;
  }
  return m;
}

// Welds nodes by exact coordinates, so that faces built side by side share their nodes.
class NodeWelder {
 public:
  explicit NodeWelder(TestMesh& mesh) : mesh_(mesh) {}
  int32_t operator()(double x, double y, double z) {
    const auto key = std::array<double, 3>{x, y, z};
    auto it = index_.find(key);
    if (it != index_.end()) return it->second;
    const int32_t id = mesh_.AddNode(x, y, z);
    index_.emplace(key, id);
    return id;
  }

 private:
  TestMesh& mesh_;
  std::map<std::array<double, 3>, int32_t> index_;
};

// Closed axis-aligned box [x0, x0 + sx] x [y0, y0 + sy] x [z0, z0 + sz] with outward faces.
// Each side is a grid of `divisions` x `divisions` cells, each cell two triangles (or one
// quadrilateral when quads is true).
inline TestMesh Box(double sx, double sy, double sz, int divisions = 1, bool quads = false,
                    double x0 = 0, double y0 = 0, double z0 = 0) {
  TestMesh m;
  NodeWelder node(m);
  const double size[3] = {sx, sy, sz};
  const double origin[3] = {x0, y0, z0};
  // For each side: the fixed axis, which end of it, and two in-plane axes ordered so that
  // u x v points outwards.
  struct Side {
    int axis, u, v;
    bool far;
  };
  const Side sides[6] = {{0, 1, 2, true},  {0, 2, 1, false}, {1, 2, 0, true},
                         {1, 0, 2, false}, {2, 0, 1, true},  {2, 1, 0, false}};
  for (const Side& s : sides) {
    auto at = [&](int i, int j) {
      double p[3];
      p[s.axis] = origin[s.axis] + (s.far ? size[s.axis] : 0.0);
      p[s.u] = origin[s.u] + size[s.u] * i / divisions;
      p[s.v] = origin[s.v] + size[s.v] * j / divisions;
      return node(p[0], p[1], p[2]);
    };
    for (int i = 0; i < divisions; ++i) {
      for (int j = 0; j < divisions; ++j) {
        const int32_t a = at(i, j), b = at(i + 1, j), c = at(i + 1, j + 1), d = at(i, j + 1);
        if (quads) {
          m.AddQuad(a, b, c, d);
        } else {
          m.AddTriangle(a, b, c);
          m.AddTriangle(a, c, d);
        }
      }
    }
  }
  return m;
}

// The unit cube as 8 nodes and 12 outward triangles; its top is z = 1.
inline TestMesh Cube(double side = 1.0) {
  return Box(side, side, side);
}

// Regular tetrahedron of edge `edge` standing on its face in the plane z = 0, outward faces;
// the base is face 0.
inline TestMesh Tetrahedron(double edge = 1.0) {
  TestMesh m;
  m.AddNode(0, 0, 0);
  m.AddNode(edge, 0, 0);
  m.AddNode(edge * 0.5, edge * std::sqrt(3.0) / 2, 0);
  m.AddNode(edge * 0.5, edge * std::sqrt(3.0) / 6, edge * std::sqrt(2.0 / 3.0));
  m.AddTriangle(0, 2, 1);
  m.AddTriangle(0, 1, 3);
  m.AddTriangle(1, 2, 3);
  m.AddTriangle(2, 0, 3);
  return m;
}

// Splits triangle `face` (a, b, c) of an all-triangle mesh at the midpoint m of its side a-b
// into (a, m, c) and (m, b, c), and closes the gap left along a-b with the zero-area triangle
// (a, b, m), appended last. The mesh stays closed and manifold.
inline TestMesh WithCollinearSliver(TestMesh mesh, int32_t face) {
  const size_t p = 4 * static_cast<size_t>(face);
  const int32_t a = mesh.elem[p + 1], b = mesh.elem[p + 2], c = mesh.elem[p + 3];
  const int32_t m = mesh.AddNode((mesh.coords[3 * a] + mesh.coords[3 * b]) / 2,
                                 (mesh.coords[3 * a + 1] + mesh.coords[3 * b + 1]) / 2,
                                 (mesh.coords[3 * a + 2] + mesh.coords[3 * b + 2]) / 2);
  mesh.elem[p + 2] = m;
  mesh.AddTriangle(m, b, c);
  mesh.AddTriangle(a, b, m);
  return mesh;
}

}  // namespace vexmor::test
