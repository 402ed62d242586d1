// Refinement for the sphere methods: the surface stays the same closed, outward surface, every
// piece lies in the triangle it is counted for, the edges end up no longer than their target,
// and the cap bounds the work whatever the targets ask.
#include <gtest/gtest.h>

#include <cmath>

#include "mesh/mesh_report.h"
#include "mesh/refinement.h"
#include "mesh/triangulation.h"

namespace vexmor::cli::test {
namespace {

Mesh Cuboid(double x, double y, double z) {
  Mesh m;
  for (int c = 0; c < 8; ++c)
    m.addNode(c & 1 ? x : 0, c & 2 ? y : 0, c & 4 ? z : 0);
  const int sides[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                           {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
  for (const auto& s : sides)
    m.addFace({s[0], s[1], s[2], s[3]});
  return Triangulate(m).mesh;
}

// A plate 30 x 8 x 1 whose top and bottom are strips of slivers 30 long and 1 wide, as
// coarse exports write them.
Mesh SliverPlate() {
  Mesh m;
  const int strips = 8;
  // Corners 0 .. 8 run along x = 30, corners 9 .. 17 back along x = 0; below, then above.
  for (int z = 0; z < 2; ++z) {
    for (int j = 0; j <= strips; ++j)
      m.addNode(30, j, z);
    for (int j = strips; j >= 0; --j)
      m.addNode(0, j, z);
  }
  const int32_t n = 2 * (strips + 1);
  for (int32_t j = 0; j < strips; ++j) {
    const int32_t a = n - 1 - j, b = j, c = j + 1, d = n - 2 - j;  // one strip, counter-clockwise
    m.addFace({a, c, b});
    m.addFace({a, d, c});
    m.addFace({n + a, n + b, n + c});
    m.addFace({n + a, n + c, n + d});
  }
  for (int32_t i = 0; i < n; ++i) {
    const int32_t next = (i + 1) % n;
    m.addFace({i, next, n + next});
    m.addFace({i, n + next, n + i});
  }
  return m;
}

double Longest(const Mesh& m, size_t f) {
  const auto n = m.face(f);
  double longest = 0;
  for (size_t i = 0; i < 3; ++i) {
    const Vec3 a = m.node(static_cast<size_t>(n[i])),
               b = m.node(static_cast<size_t>(n[(i + 1) % 3]));
    longest = std::max(longest, std::hypot(a[0] - b[0], a[1] - b[1], a[2] - b[2]));
  }
  return longest;
}

// Whether p lies in the triangle's plane and inside it, to rounding.
bool InTriangle(const Mesh& m, size_t f, const Vec3& p) {
  const auto n = m.face(f);
  const Vec3 a = m.node(static_cast<size_t>(n[0])), b = m.node(static_cast<size_t>(n[1])),
             c = m.node(static_cast<size_t>(n[2]));
  auto sub = [](const Vec3& x, const Vec3& y) {
    return Vec3{x[0] - y[0], x[1] - y[1], x[2] - y[2]};
  };
  auto cross = [](const Vec3& x, const Vec3& y) {
    return Vec3{x[1] * y[2] - x[2] * y[1], x[2] * y[0] - x[0] * y[2], x[0] * y[1] - x[1] * y[0]};
  };
  auto dot = [](const Vec3& x, const Vec3& y) { return x[0] * y[0] + x[1] * y[1] + x[2] * y[2]; };
  const Vec3 normal = cross(sub(b, a), sub(c, a));
  const double scale = dot(normal, normal);
  if (std::fabs(dot(normal, sub(p, a))) > 1e-9 * std::sqrt(scale) * Longest(m, f)) return false;
  return dot(cross(sub(b, a), sub(p, a)), normal) >= -1e-9 * scale &&
         dot(cross(sub(c, b), sub(p, b)), normal) >= -1e-9 * scale &&
         dot(cross(sub(a, c), sub(p, c)), normal) >= -1e-9 * scale;
}

TEST(Refinement, KeepsTheClosedSurfaceAndShortensEveryEdge) {
  struct Case {
    const char* what;
    Mesh mesh;
    double target;
  } cases[] = {{"cube of 12 triangles", Cuboid(25, 25, 25), 25 / 4.0},
               {"plate of long slivers", SliverPlate(), 1.0},
               {"flat box", Cuboid(40, 20, 2), 0.5}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EdgeLengths lengths;
    lengths.length.assign(c.mesh.faceCount(), c.target);
    const Refinement r = RefineTriangles(c.mesh, lengths);
    EXPECT_FALSE(r.capped);
    ASSERT_EQ(r.from.size(), r.mesh.faceCount());
    const MeshReport report = InspectMesh(r.mesh);
    EXPECT_EQ(report.boundaryEdges, 0u);
    EXPECT_EQ(report.nonManifoldEdges, 0u);
    EXPECT_EQ(report.misorientedEdges, 0u);
    EXPECT_EQ(report.degenerateFaces, 0u);
    EXPECT_NEAR(report.area, InspectMesh(c.mesh).area, 1e-9 * report.area);
    std::vector<double> pieceArea(c.mesh.faceCount(), 0.0);
    for (size_t f = 0; f < r.mesh.faceCount(); ++f) {
      EXPECT_LE(Longest(r.mesh, f), c.target * (1 + 1e-12));
      // The piece lies in its triangle, wound the same way.
      const Vec3 centroid = FaceCentroid(r.mesh, f);
      EXPECT_TRUE(InTriangle(c.mesh, r.from[f], centroid)) << f;
      pieceArea[r.from[f]] += FaceArea(r.mesh, f);
    }
    for (size_t t = 0; t < c.mesh.faceCount(); ++t)
      EXPECT_NEAR(pieceArea[t], FaceArea(c.mesh, t), 1e-9 * FaceArea(c.mesh, t));
  }
}

TEST(Refinement, LengthsFollowTheThinnestWallNearbyAndTheCapBoundsTheWork) {
  // A plate 2 thick whose long rim face reads 20 across: the rim is held by the plate's two
  // faces, and a sixth of 2 plus the distance from them applies.
  const Mesh plate = Cuboid(40, 20, 2);
  std::vector<double> thickness(plate.faceCount(), 2.0);
  const uint32_t rim = 4;  // the triangle (0 0 0) (40 0 0) (40 0 2) of the side y = 0
  thickness[rim] = 20;
  const EdgeLengths lengths = RefinementLengths(plate, thickness);
  EXPECT_DOUBLE_EQ(lengths.at(rim, {40, 0, 1}), kRefineThicknessShare * 2);
  EXPECT_DOUBLE_EQ(lengths.at(rim, {30, 0, 0.5}), kRefineThicknessShare * 2.5);
  // No thickness: the part's size; a first pass never finer than an eighth of it.
  EXPECT_DOUBLE_EQ(RefinementLengths(plate, std::vector<double>(12, NAN)).at(0, {1, 1, 0}),
                   kRefineThicknessShare * 40);
  EXPECT_DOUBLE_EQ(FirstPassLengths(plate, std::vector<double>(12, 0.1)).at(0, {1, 1, 0}), 5);
  // Never finer than a thousandth of the part.
  EXPECT_DOUBLE_EQ(RefinementLengths(plate, std::vector<double>(12, 1e-9)).at(0, {1, 1, 0}),
                   kFinestPartShare * 40);

  EdgeLengths tiny;
  tiny.length.assign(plate.faceCount(), 1e-6);
  const Refinement capped = RefineTriangles(plate, tiny);
  EXPECT_TRUE(capped.capped);
  EXPECT_LE(capped.mesh.faceCount(), kRefineMinimumCap);
  EXPECT_GT(capped.mesh.faceCount(), kRefineMinimumCap / 4);
  EXPECT_EQ(InspectMesh(capped.mesh).boundaryEdges, 0u);
}

}  // namespace
}  // namespace vexmor::cli::test
