// Distance from every node to the surface: geometric truths, the growth and bisection of the
// search cube, and agreement with a brute-force minimum over all triangles.
#include "thickness/dist2surf.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "geometry/adt.h"
#include "geometry/adt_search.h"
#include "geometry/bbox.h"
#include "geometry/closest_point.h"
#include "geometry/tolerances.h"
#include "mesh/smesh.h"
#include "support/mesh_fixtures.h"
#include "support/spatial_fixtures.h"

namespace vexmor::test {
namespace {

std::vector<double> Distances(const TestMesh& m) {
  SMesh mesh = MakeSMesh(m, 2);
  std::vector<double> values(static_cast<size_t>(m.nbNodes()), -1.0);
  EXPECT_EQ(Dist2Surf(mesh, values), 0);
  return values;
}

// Strip triangles of every face with three or more nodes, in the normalised frame.
std::vector<std::array<double, 9>> AllStripTriangles(const SMesh& mesh) {
  std::vector<std::array<double, 9>> tris;
  for (size_t p = 0; p < mesh.elem.size();) {
    const int32_t n = mesh.elem[p];
    for (int32_t k = 0; k + 2 < n; ++k) {
      std::array<double, 9> t;
      for (int v = 0; v < 3; ++v) {
        const double* q = mesh.Node(mesh.elem[p + 1 + static_cast<size_t>(k + v)]);
        std::copy(q, q + 3, t.begin() + 3 * v);
      }
      tris.push_back(t);
    }
    p += n > 0 ? static_cast<size_t>(n) + 1 : 1;
  }
  return tris;
}

// The search loop with one plain range search per cube, measuring every face it lists: the
// reference for the pruned search. Sets *exact when the loop ended with the nearest face inside
// the cube.
double ReferenceDistance(const SMesh& mesh, int32_t node, bool* exact) {
  const double* p = mesh.Node(node);
  const double* b = mesh.bbox;
  const double r0 = 0.01 * std::max({b[3] - b[0], b[4] - b[1], b[5] - b[2]});
  double best = kDblMax, lo = 0, hi = r0;
  AdtResult faces;
  for (int count = 1;; ++count) {
    const double r = (lo + hi) * 0.5;
    const double low[6] = {b[0], b[1], b[2], p[0] - r, p[1] - r, p[2] - r};
    const double high[6] = {p[0] + r, p[1] + r, p[2] + r, b[3], b[4], b[5]};
    AdtSearch(*mesh.adt, low, high, faces);
    for (const AdtNode& face : faces) {
      const int32_t n = mesh.elem[static_cast<size_t>(face.facePos)];
      for (int32_t k = 0; k + 2 < n; ++k) {
        double tri[9], q[3];
        for (int v = 0; v < 3; ++v) {
          const double* c = mesh.Node(mesh.elem[static_cast<size_t>(face.facePos + 1 + k + v)]);
          std::copy(c, c + 3, tri + 3 * v);
        }
        best = std::min(best, ClosestPointOnTriangle(p, tri, q));
      }
    }
    if (best == kDblMax) {
      lo = r;
      hi *= 2;
      continue;
    }
    const double d = std::sqrt(best);
    *exact = d <= r;
    if (d <= r || count >= 5) return d;
    lo = r;
    hi = 1.00001 * d;
  }
}

TEST(Dist2Surf, VerticesOfFacesAreOnTheSurface) {
  for (double v : Distances(Box(1, 2, 3, 3)))
    EXPECT_EQ(v, 0.0);
  for (double v : Distances(Box(1, 1, 1, 2, true)))
    EXPECT_EQ(v, 0.0);
}

TEST(Dist2Surf, NodeInsideACubeMeasuresItsNearestWall) {
  TestMesh m = Cube(1.0);
  m.AddNode(0.3, 0.5, 0.6);
  m.AddNode(0.5, 0.5, 0.5);
  m.AddNode(0.9, 0.95, 0.5);
  const std::vector<double> d = Distances(m);
  EXPECT_NEAR(d[8], 3000, 1e-9);
  EXPECT_NEAR(d[9], 5000, 1e-9);
  EXPECT_NEAR(d[10], 500, 1e-9);
  // A node outside, beyond a corner, measures to the corner.
  TestMesh corner = Cube(1.0);
  corner.AddNode(1.03, 1.04, 1.0);
  EXPECT_NEAR(Distances(corner)[8], 500 * 10000 / 10400.0, 1e-9);
}

TEST(Dist2Surf, CubeGrowsUntilItMeetsAFarFace) {
  // The only face is a large triangle in z = 0; the frame is the mesh's own (scale 1).
  TestMesh m = InFrame({});
  m.AddNode(0, 10000, 0);
  m.AddTriangle(0, 1, 2);
  m.AddNode(1000, 1000, 200);  // met by the third cube, of half-width 288.75
  m.AddNode(3000, 3000, 50);   // met by the first cube, of half-width 55
  m.AddNode(4000, 4000, 10000);
  const std::vector<double> d = Distances(m);
  EXPECT_EQ(d[3], 200.0);
  EXPECT_EQ(d[4], 50.0);
  EXPECT_EQ(d[5], 10000.0);
}

TEST(Dist2Surf, FiveSearchesEndWithTheNearestFaceMetSoFar) {
  // A large oblique triangle whose box holds the node, 577 away, and a small one 560 away whose
  // box none of the five cubes reaches: the cube narrows from 55 to 316, 447, 512 and 545.
  TestMesh m = InFrame({});
  m.AddTriangle(m.AddNode(10000, 3000, 3000), m.AddNode(3000, 10000, 3000),
                m.AddNode(3000, 3000, 10000));
  m.AddTriangle(m.AddNode(4900, 4900, 4440), m.AddNode(5100, 4900, 4440),
                m.AddNode(5000, 5100, 4440));
  const int32_t node = m.AddNode(5000, 5000, 5000);
  const double d = Distances(m)[static_cast<size_t>(node)];
  EXPECT_NEAR(d, 1000 / std::sqrt(3.0), 1e-9);
  // Moved 20 closer, the small triangle falls inside the fifth cube and wins.
  m.coords[3 * static_cast<size_t>(node) + 2] = 4980;
  EXPECT_NEAR(Distances(m)[static_cast<size_t>(node)], 540, 1e-9);
}

TEST(Dist2Surf, PolygonsAreMeasuredAsTheirStripTriangles) {
  // A square (a, b, c, d) is measured as (a, b, c) and (b, c, d): near a, on the side of d,
  // lies a notch that neither covers.
  TestMesh m = InFrame({});
  const int32_t a = m.AddNode(0, 0, 0), b = m.AddNode(10000, 0, 0), c = m.AddNode(10000, 10000, 0),
                d = m.AddNode(0, 10000, 0);
  m.AddQuad(a, b, c, d);
  const int32_t notch = m.AddNode(2000, 5000, 0);
  const int32_t covered = m.AddNode(8000, 5000, 0);
  const std::vector<double> q = Distances(m);
  EXPECT_NEAR(q[static_cast<size_t>(notch)], 3000 / std::sqrt(2.0), 1e-9);
  EXPECT_NEAR(q[static_cast<size_t>(covered)], 0.0, 1e-9);

  // The same corners as a pentagon with a fifth node at the centre of side d-a: strips
  // (a, b, c), (b, c, d), (c, d, e).
  TestMesh p = InFrame({});
  const int32_t pa = p.AddNode(0, 0, 0), pb = p.AddNode(10000, 0, 0),
                pc = p.AddNode(10000, 10000, 0), pd = p.AddNode(0, 10000, 0),
                pe = p.AddNode(0, 5000, 0);
  p.AddFace({pa, pb, pc, pd, pe});
  const int32_t inStrip = p.AddNode(1000, 8000, 0);   // inside (c, d, e)
  const int32_t offStrip = p.AddNode(1000, 1500, 0);  // near a, in none
  const std::vector<double> v = Distances(p);
  EXPECT_NEAR(v[static_cast<size_t>(inStrip)], 0.0, 1e-9);
  EXPECT_GT(v[static_cast<size_t>(offStrip)], 0.0);
}

TEST(Dist2Surf, FacesOfFewerThanThreeNodesAreSkipped) {
  TestMesh m = InFrame({});
  const int32_t a = m.AddNode(5000, 5000, 0), b = m.AddNode(6000, 5000, 0);
  m.elem = {2, a, b, 0, -3, 1, a};
  const std::vector<double> none = Distances(m);
  for (double v : none)
    EXPECT_EQ(v, INFINITY);

  m.AddTriangle(0, a, b);  // one measurable face after them
  const std::vector<double> some = Distances(m);
  EXPECT_EQ(some[static_cast<size_t>(a)], 0.0);
  // Node (10000, 0, 0) is nearest to the side from the origin to (6000, 5000, 0).
  EXPECT_NEAR(some[1], 5e7 / std::sqrt(6.1e7), 1e-6);
}

TEST(Dist2Surf, InvariantUnderScalingAndTranslation) {
  TestMesh m = Box(2, 1, 1.5, 2);
  m.AddNode(0.4, 0.3, 0.2);
  m.AddNode(1.7, 0.5, 1.4);
  m.AddNode(2.5, -0.3, 0.75);
  const std::vector<double> base = Distances(m);
  for (const TestMesh& other : {Scaled(m, 3.7e-3), Scaled(m, 250.0), Translated(m, -7, 3, 1e3)}) {
    const std::vector<double> moved = Distances(other);
    ASSERT_EQ(moved.size(), base.size());
    for (size_t i = 0; i < base.size(); ++i)
      EXPECT_NEAR(moved[i], base[i], 1e-9 * (1 + base[i])) << i;
  }
}

TEST(Dist2Surf, WritesNoMoreThanTheArrayHolds) {
  TestMesh m = Cube();
  m.AddNode(0.5, 0.5, 0.5);
  SMesh mesh = MakeSMesh(m, 2);
  std::vector<double> values(12, -1.0);
  Dist2Surf(mesh, std::span<double>(values).first(5));
  EXPECT_EQ(values[4], 0.0);
  EXPECT_EQ(values[5], -1.0);
}

TEST(Dist2Surf, AgreesWithABruteForceMinimumOnRandomSoups) {
  std::mt19937 rng(51);
  std::uniform_real_distribution<double> unit(0, 1);
  int exactCount = 0, limitCount = 0;
  for (int soup = 0; soup < 6; ++soup) {
    // Dense and sparse soups of small and large triangles, with free query nodes.
    TestMesh m = RandomTriangleSoup(300 + soup, soup % 2 == 0 ? 400 : 40, 1.0,
                                    soup < 2 ? 0.02 : (soup < 4 ? 0.1 : 0.4));
    const int32_t firstQuery = m.nbNodes();
    for (int q = 0; q < 150; ++q)
      m.AddNode(unit(rng), unit(rng), unit(rng));
    SMesh mesh = MakeSMesh(m, 2);
    std::vector<double> values(static_cast<size_t>(m.nbNodes()));
    Dist2Surf(mesh, values);
    const auto tris = AllStripTriangles(mesh);
    for (int32_t i = firstQuery; i < m.nbNodes(); ++i) {
      bool exact = false;
      const double reference = ReferenceDistance(mesh, i, &exact);
      ASSERT_EQ(values[static_cast<size_t>(i)], reference) << "soup " << soup << " node " << i;
      if (!exact) {
        ++limitCount;
        continue;
      }
      double best = kDblMax;
      for (const auto& t : tris) {
        double q[3];
        best = std::min(best, ClosestPointOnTriangle(mesh.Node(i), t.data(), q));
      }
      ASSERT_EQ(values[static_cast<size_t>(i)], std::sqrt(best))
          << "soup " << soup << " node " << i;
      ++exactCount;
    }
  }
  EXPECT_GT(exactCount, 300);
  EXPECT_GT(limitCount, 0);
}

}  // namespace
}  // namespace vexmor::test
