// The bundled sample part must be a closed, manifold, outward-wound solid with the features
// its analyses are meant to show.
#include <gtest/gtest.h>

#include <cmath>

#include "mesh/mesh_report.h"
#include "mesh/sample_part.h"
#include "mesh/triangulation.h"

namespace vexmor::cli::test {
namespace {

double SignedVolume(const Mesh& m) {
  double v = 0;
  const Mesh t = Triangulate(m).mesh;
  for (size_t f = 0; f < t.faceCount(); ++f) {
    const auto n = t.face(f);
    const Vec3 a = t.node(n[0]), b = t.node(n[1]), c = t.node(n[2]);
    v += a[0] * (b[1] * c[2] - b[2] * c[1]) - a[1] * (b[0] * c[2] - b[2] * c[0]) +
         a[2] * (b[0] * c[1] - b[1] * c[0]);
  }
  return v / 6;
}

TEST(SamplePart, ClosedManifoldOutwardSolid) {
  const Mesh part = SamplePart();
  const MeshReport r = InspectMesh(part);
  EXPECT_EQ(r.boundaryEdges, 0u);
  EXPECT_EQ(r.nonManifoldEdges, 0u);
  EXPECT_EQ(r.misorientedEdges, 0u);
  EXPECT_EQ(r.shells, 1u);
  EXPECT_EQ(r.closedShells, 1u);
  EXPECT_EQ(r.unusedNodes, 0u);
  EXPECT_EQ(r.degenerateFaces, 0u);
  EXPECT_EQ(r.polygons, 0u);
  EXPECT_GT(r.quadrilaterals, 0u);  // the boss
  EXPECT_TRUE(r.analysable());
  EXPECT_EQ(r.box.lo, (Vec3{0, 0, 0}));
  EXPECT_EQ(r.box.hi, (Vec3{80, 50, 16}));
  // Floor 80 x 50 x 3, perimeter wall, rib, boss (a frustum), pocket (a widened cut).
  const double floor = 80 * 50 * 3;
  const double wall = (80 * 50 - 76 * 46) * 11.0;
  const double rib = 1.25 * 46 * 7;
  // Prismatoids: height / 6 x (bottom + top + 4 x middle section).
  const double boss = 13.0 / 6 * (12 * 12 + 11 * 11 + 4 * 11.5 * 11.5);
  const double pocket = 2.0 / 6 * (15 * 17 + 14 * 16 + 4 * 14.5 * 16.5);
  EXPECT_NEAR(SignedVolume(part), floor + wall + rib + boss - pocket, 1e-6);
}

TEST(SamplePart, SinglePrecisionCoordinatesAndFirstSeenNodeOrder) {
  const Mesh part = SamplePart();
  for (double c : part.coords)
    EXPECT_EQ(c, static_cast<double>(static_cast<float>(c)));
  int32_t next = 0;
  const Mesh t = Triangulate(part).mesh;
  for (size_t f = 0; f < t.faceCount(); ++f) {
    for (int32_t n : t.face(f)) {
      ASSERT_LE(n, next);
      if (n == next) ++next;
    }
  }
  EXPECT_EQ(static_cast<size_t>(next), part.nodeCount());
}

}  // namespace
}  // namespace vexmor::cli::test
