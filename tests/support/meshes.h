// The meshes every test builds on, made in code: closed solids of known shape, damaged and
// degenerate variants, random triangle soups, and the transformations the tests apply to them.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <map>
#include <random>
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
  const double* Node(int32_t i) const { return &coords[3 * static_cast<size_t>(i)]; }
  int32_t AddNode(double x, double y, double z) {
    coords.insert(coords.end(), {x, y, z});
    return nbNodes() - 1;
  }
  void AddTriangle(int32_t a, int32_t b, int32_t c) { elem.insert(elem.end(), {3, a, b, c}); }
  void AddFace(const std::vector<int32_t>& nodes) {
    elem.push_back(static_cast<int32_t>(nodes.size()));
    elem.insert(elem.end(), nodes.begin(), nodes.end());
  }
  // Appends another mesh, renumbering its nodes after this one's.
  TestMesh& Append(const TestMesh& other) {
    const int32_t offset = nbNodes();
    coords.insert(coords.end(), other.coords.begin(), other.coords.end());
    for (size_t p = 0; p < other.elem.size();) {
      const int32_t n = other.elem[p++];
      elem.push_back(n);
      for (int32_t k = 0; k < n; ++k)
        elem.push_back(other.elem[p++] + offset);
    }
    return *this;
  }
};

// Reverses the winding of every face, keeping its first node.
inline TestMesh Rewound(TestMesh m) {
  for (size_t p = 0; p<m.elem.size(); p += m.elem[p]> 0 ? m.elem[p] + 1 : 1) {
    for (int32_t i = 2, j = m.elem[p]; i < j; ++i, --j)
      std::swap(m.elem[p + i], m.elem[p + j]);
  }
  return m;
}

// Turns triangle `face` of an all-triangle mesh.
inline TestMesh WithFaceTurned(TestMesh m, int32_t face) {
  std::swap(m.elem[4 * face + 2], m.elem[4 * face + 3]);
  return m;
}

inline TestMesh Scaled(TestMesh m, double k) {
  for (double& c : m.coords)
    c *= k;
  return m;
}

inline TestMesh Translated(TestMesh m, double dx, double dy, double dz) {
  for (size_t i = 0; i < m.coords.size(); ++i)
    m.coords[i] += i % 3 == 0 ? dx : i % 3 == 1 ? dy : dz;
  return m;
}

inline TestMesh Together(TestMesh a, const TestMesh& b) {
  return a.Append(b);
}

// The same mesh with nodes of identical coordinates merged, first occurrence kept; faces all
// of whose nodes satisfy `drop` are left out.
template <typename Predicate>
TestMesh Welded(const TestMesh& in, Predicate drop) {
  TestMesh out;
  std::map<std::array<double, 3>, int32_t> index;
  std::vector<int32_t> map;
  for (int32_t i = 0; i < in.nbNodes(); ++i) {
    const double* p = in.Node(i);
    const auto [it, fresh] = index.emplace(std::array<double, 3>{p[0], p[1], p[2]}, 0);
    if (fresh) it->second = out.AddNode(p[0], p[1], p[2]);
    map.push_back(it->second);
  }
  for (size_t p = 0; p < in.elem.size(); p += in.elem[p] + 1) {
    std::vector<int32_t> nodes;
    bool dropped = true;
    for (int32_t k = 1; k <= in.elem[p]; ++k) {
      nodes.push_back(map[static_cast<size_t>(in.elem[p + k])]);
      const double* v = in.Node(in.elem[p + k]);
      dropped = dropped && drop(v[0], v[1], v[2]);
    }
    if (!dropped) out.AddFace(nodes);
  }
  return out;
}

inline TestMesh Welded(const TestMesh& in) {
  return Welded(in, [](double, double, double) { return false; });
}

// Closed axis-aligned box [x0, x0 + sx] x [y0, y0 + sy] x [z0, z0 + sz] with outward faces.
// Each side is a grid of `divisions` x `divisions` cells, each cell two triangles (or one
// quadrilateral). Sides come in the order +x, -x, +y, -y, +z, -z.
inline TestMesh Box(double sx, double sy, double sz, int divisions = 1, bool quads = false,
                    double x0 = 0, double y0 = 0, double z0 = 0) {
  TestMesh m;
  const double size[3] = {sx, sy, sz}, origin[3] = {x0, y0, z0};
  // The fixed axis, two in-plane axes ordered so that u x v points outwards, and which end.
  const int sides[6][4] = {{0, 1, 2, 1}, {0, 2, 1, 0}, {1, 2, 0, 1},
                           {1, 0, 2, 0}, {2, 0, 1, 1}, {2, 1, 0, 0}};
  for (const auto& s : sides) {
    auto at = [&](int i, int j) {
      double p[3];
      p[s[0]] = origin[s[0]] + s[3] * size[s[0]];
      p[s[1]] = origin[s[1]] + size[s[1]] * i / divisions;
      p[s[2]] = origin[s[2]] + size[s[2]] * j / divisions;
      return m.AddNode(p[0], p[1], p[2]);
    };
    for (int i = 0; i < divisions; ++i) {
      for (int j = 0; j < divisions; ++j) {
        const int32_t a = at(i, j), b = at(i + 1, j), c = at(i + 1, j + 1), d = at(i, j + 1);
        if (quads) {
          m.AddFace({a, b, c, d});
        } else {
          m.AddTriangle(a, b, c);
          m.AddTriangle(a, c, d);
        }
      }
    }
  }
  return Welded(m);
}

// The cube [0, side]^3 as 8 nodes and 12 outward triangles.
inline TestMesh Cube(double side = 1.0) {
  return Box(side, side, side);
}

// Regular tetrahedron of edge `edge` standing on its base (face 0) in the plane z = 0.
inline TestMesh Tetrahedron(double edge = 1.0) {
  TestMesh m;
  m.AddNode(0, 0, 0);
  m.AddNode(edge, 0, 0);
  m.AddNode(edge * 0.5, edge * std::sqrt(3.0) / 2, 0);
  m.AddNode(edge * 0.5, edge * std::sqrt(3.0) / 6, edge * std::sqrt(2.0 / 3.0));
  m.elem = {3, 0, 2, 1, 3, 0, 1, 3, 3, 1, 2, 3, 3, 2, 0, 3};
  return m;
}

// A tetrahedron without symmetry, outward faces: probes from its faces meet no edge or vertex.
inline TestMesh IrregularTetrahedron(double size = 1.0) {
  TestMesh m = Tetrahedron();
  m.coords = {0, 0, 0, 1.3, 0.1, 0, 0.4, 1.1, 0.05, 0.35, 0.42, 0.9};
  return Scaled(m, size);
}

// Two apexes over a ring of `ring` nodes in z = 0: node 0 the top apex (z = 1), node 1 the
// bottom one, then the ring. Faces 0 .. ring - 1 fan around the top apex, then the bottom.
inline TestMesh Bipyramid(int ring) {
  TestMesh m;
  m.AddNode(0, 0, 1);
  m.AddNode(0, 0, -1);
  for (int i = 0; i < ring; ++i)
    m.AddNode(std::cos(2 * M_PI * i / ring), std::sin(2 * M_PI * i / ring), 0);
  for (int i = 0; i < ring; ++i)
    m.AddTriangle(2 + i, 2 + (i + 1) % ring, 0);
  for (int i = 0; i < ring; ++i)
    m.AddTriangle(2 + (i + 1) % ring, 2 + i, 1);
  return m;
}

// Closed torus of nu x nv cells, each split along the same diagonal: every node has six
// triangles around it.
inline TestMesh Torus(int nu, int nv, double major = 3.0, double minor = 1.0) {
  TestMesh m;
  for (int i = 0; i < nu; ++i) {
    for (int j = 0; j < nv; ++j) {
      const double u = 2 * M_PI * i / nu, v = 2 * M_PI * j / nv;
      m.AddNode((major + minor * std::cos(v)) * std::cos(u),
                (major + minor * std::cos(v)) * std::sin(u), minor * std::sin(v));
    }
  }
  auto at = [nu, nv](int i, int j) { return (i % nu) * nv + j % nv; };
  for (int i = 0; i < nu; ++i) {
    for (int j = 0; j < nv; ++j) {
      m.AddTriangle(at(i, j), at(i + 1, j), at(i + 1, j + 1));
      m.AddTriangle(at(i, j), at(i + 1, j + 1), at(i, j + 1));
    }
  }
  return m;
}

// Closed prism of length `length` along x over the right triangle (y, z) = (0, 0), (w, 0),
// (0, h): a floor, a back wall and a roof sloping down to the floor; `divisions` cells along x.
inline TestMesh Wedge(double length, double w, double h, int divisions) {
  TestMesh m;
  const double yz[3][2] = {{0, 0}, {w, 0}, {0, h}};
  for (int i = 0; i < divisions; ++i) {
    const double x0 = length * i / divisions, x1 = length * (i + 1) / divisions;
    for (int s = 0; s < 3; ++s) {
      const double *p = yz[s], *q = yz[(s + 1) % 3];
      const int32_t a = m.AddNode(x0, p[0], p[1]), b = m.AddNode(x0, q[0], q[1]);
      const int32_t c = m.AddNode(x1, q[0], q[1]), d = m.AddNode(x1, p[0], p[1]);
      m.AddTriangle(a, b, c);
      m.AddTriangle(a, c, d);
    }
  }
  for (const double x : {0.0, length}) {
    const int32_t a = m.AddNode(x, 0, 0), b = m.AddNode(x, w, 0), c = m.AddNode(x, 0, h);
    x == 0 ? m.AddTriangle(a, c, b) : m.AddTriangle(a, b, c);
  }
  return Welded(m);
}

// Splits triangle `face` (a, b, c) at m into (a, m, c) and (m, b, c), and closes the gap with
// the triangle (a, b, m), appended last: still closed. m is the midpoint of a-b, lifted towards
// c by `lift` times the distance to it: the new triangle has zero area when `lift` is 0, and is
// a needle otherwise.
inline TestMesh WithSliver(TestMesh mesh, int32_t face, double lift = 0.0) {
  const size_t p = 4 * static_cast<size_t>(face);
  const int32_t a = mesh.elem[p + 1], b = mesh.elem[p + 2], c = mesh.elem[p + 3];
  double m[3];
  for (int k = 0; k < 3; ++k) {
    const double mid = (mesh.Node(a)[k] + mesh.Node(b)[k]) / 2;
    m[k] = mid + lift * (mesh.Node(c)[k] - mid);
  }
  mesh.elem[p + 2] = mesh.AddNode(m[0], m[1], m[2]);
  mesh.AddTriangle(mesh.elem[p + 2], b, c);
  mesh.AddTriangle(a, b, mesh.elem[p + 2]);
  return mesh;
}

// A pentagonal pyramid; with quadSide its side 0-1 is a quadrilateral and a triangle.
inline TestMesh PentagonalPyramid(bool quadSide) {
  TestMesh m;
  for (int32_t i = 0; i < 5; ++i)
    m.AddNode(std::cos(i * 0.4 * M_PI), std::sin(i * 0.4 * M_PI), 0);
  const int32_t apex = m.AddNode(0, 0, 1), under = m.AddNode(0.1, 0.1, 0.9);
  m.AddFace({4, 3, 2, 1, 0});
  for (int32_t i = quadSide ? 1 : 0; i < 5; ++i)
    m.AddTriangle(i, (i + 1) % 5, apex);
  if (quadSide) m.elem.insert(m.elem.end(), {4, 0, 1, apex, under, 3, 0, under, apex});
  return m;
}

// A unit cube [1, 2] x [1, 2] x [3, 4] standing on the middle of the top of a 3 x 3 x 3 cube,
// as one closed surface of cells 0.5 wide; the footprint's centre node is left unused.
inline TestMesh CubeOnCube() {
  return Welded(Together(Box(3, 3, 3, 6), Box(1, 1, 1, 2, false, 1, 1, 3)),
                [](double x, double y, double z) {
                  return z == 3.0 && x >= 1.0 && x <= 2.0 && y >= 1.0 && y <= 2.0;
                });
}

// A 4 x 4 x 4 box holding an off-centre box-shaped cavity, whose faces come last. Wound
// towards the cavity's centre (inwards) the whole is oriented correctly; wound away from it,
// the cavity faces point into the material.
inline TestMesh BoxWithCavity(bool cavityWoundInwards) {
  const TestMesh cavity = Box(1.0, 1.3, 0.7, 1, false, 1.2, 1.1, 1.6);
  return Together(Box(4, 4, 4, 2), cavityWoundInwards ? Rewound(cavity) : cavity);
}

// `count` independent triangles with corners in [0, extent]^3, each no wider than `size` per
// axis. Two unused nodes pin the node box to [0, extent]^3, so that the normalised frame is the
// soup's own frame scaled by 10000 / extent.
inline TestMesh RandomTriangleSoup(uint32_t seed, int count, double extent, double size) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> corner(0.0, extent - size), offset(0.0, size);
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

// The triangles the library makes of triangles and quadrilaterals: (a, b, c, d) becomes
// (a, b, c) and (a, c, d).
inline TestMesh SplitQuads(const TestMesh& mesh) {
  TestMesh out;
  out.coords = mesh.coords;
  for (size_t p = 0; p < mesh.elem.size(); p += mesh.elem[p] + 1) {
    const int32_t* v = &mesh.elem[p + 1];
    out.AddTriangle(v[0], v[1], v[2]);
    if (mesh.elem[p] == 4) out.AddTriangle(v[0], v[2], v[3]);
  }
  return out;
}

// The centroid of every face, in face order.
inline std::vector<std::array<double, 3>> FaceCentres(const TestMesh& mesh) {
  std::vector<std::array<double, 3>> centres;
  for (size_t p = 0; p < mesh.elem.size(); p += mesh.elem[p] + 1) {
    std::array<double, 3>& c = centres.emplace_back();
    for (int i = 0; i < 3; ++i) {
      for (int32_t k = 1; k <= mesh.elem[p]; ++k)
        c[i] += mesh.Node(mesh.elem[p + k])[i];
      c[i] /= mesh.elem[p];
    }
  }
  return centres;
}

// Index of the node at exactly these coordinates, or -1.
inline int32_t NodeAt(const TestMesh& m, double x, double y, double z) {
  for (int32_t i = 0; i < m.nbNodes(); ++i) {
    if (m.Node(i)[0] == x && m.Node(i)[1] == y && m.Node(i)[2] == z) return i;
  }
  return -1;
}

}  // namespace vexmor::test
