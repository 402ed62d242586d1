// Refinement for the sphere methods: the surface stays the same closed, outward surface, every
// piece lies in the triangle it is counted for, the edges end up no longer than their target,
// and the cap bounds the work whatever the targets ask.
#include <gtest/gtest.h>

#include <cmath>

#include "mesh/mesh_report.h"
#include "mesh/refinement.h"
#include "mesh/triangulation.h"
#include "solids.h"

namespace vexmor::cli::test {
namespace {

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
               {"plate of long slivers", SliverPlate(30, 8, 1, 8), 1.0},
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
