// Rolling-sphere thickness over whole meshes, in the normalised frame.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "geometry/adt.h"
#include "mesh/smesh.h"
#include "support/mesh_fixtures.h"
#include "support/thickness_fixtures.h"
#include "thickness/face_frame.h"
#include "thickness/sphere_thickness.h"
#include "thickness/wall_search.h"

namespace vexmor::test {
namespace {

std::vector<double> Measure(const TestMesh& m, uint32_t variant, double fill = -7.0) {
  SMesh mesh(m.nbNodes(), m.szelem(), m.coords, m.elem);
  std::vector<double> values(static_cast<size_t>(mesh.nbFaces), fill);
  EXPECT_EQ(SphereThickness(mesh, values, variant), 0);
  return values;
}

// A plate 10 x 10 x 1, normalised to 10000 x 10000 x 1000.
TEST(SphereThickness, MeasuresAPlateAsItsThicknessAndItsHalf) {
  const TestMesh plate = Box(10, 10, 1, 10);
  const std::vector<int32_t> walls = PlateWallFaces(plate, 10, 10, 1, 1.0);
  ASSERT_EQ(walls.size(), 2u * 2 * 8 * 8);
  const std::vector<double> radius = Measure(plate, kSphereRadius);
  const std::vector<double> contact = Measure(plate, kSphereContactDistance);
  for (int32_t face : walls) {
    // The radius settles within the 0.1 % at which refinement stops.
    EXPECT_NEAR(radius[face], 500.0, 0.6) << "face " << face;
    EXPECT_NEAR(contact[face], 1000.0, 1e-6) << "face " << face;
  }
  for (size_t face = 0; face < radius.size(); ++face) {
    EXPECT_GT(radius[face], 0.0) << "face " << face;
    EXPECT_LE(radius[face], 5000.0) << "face " << face;
    EXPECT_GT(contact[face], 0.0) << "face " << face;
  }
}

TEST(SphereThickness, NeverReadsWhatTheOutputArrayHeld) {
  const TestMesh wedge = Wedge(10, 3, 2, 6);
  for (uint32_t variant : {kSphereRadius, kSphereContactDistance}) {
    const std::vector<double> a = Measure(wedge, variant, 0.0);
    const std::vector<double> b = Measure(wedge, variant, std::nan(""));
    const std::vector<double> c = Measure(wedge, variant, 1e300);
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) {
      EXPECT_EQ(a[i], b[i]) << "face " << i;
      EXPECT_EQ(a[i], c[i]) << "face " << i;
    }
  }
}

TEST(SphereThickness, MeasuresEveryRegionOfDisjointParts) {
  // Two equal plates side by side: the second is a region of its own, seeded without a probe,
  // and its faces still read the plate's thickness.
  TestMesh parts = Box(4, 4, 1, 4);
  parts.Append(Box(4, 4, 1, 4, false, 6, 0, 0));
  const std::vector<double> contact = Measure(parts, kSphereContactDistance);
  const double scale = 1000.0;  // extent 10
  const std::vector<int32_t> first = PlateWallFaces(parts, 4, 4, 1, 1.0);
  const std::vector<int32_t> second = PlateWallFaces(parts, 4, 4, 1, 1.0, 6, 0, 0);
  ASSERT_FALSE(first.empty());
  ASSERT_EQ(first.size(), second.size());
  for (int32_t face : first)
    EXPECT_NEAR(contact[face], scale, 1e-6) << "face " << face;
  for (int32_t face : second)
    EXPECT_NEAR(contact[face], scale, 1e-6) << "face " << face;
  for (double v : contact) {
    EXPECT_TRUE(std::isfinite(v));
    EXPECT_GT(v, 0.0);
  }
}

TEST(SphereThickness, GivesDegenerateFacesADefinedValue) {
  // A zero-area triangle has no normal: it still gets a finite value, and so do the others.
  const TestMesh sliver = WithCollinearSliver(Box(3, 2, 1, 2), 5);
  for (uint32_t variant : {kSphereRadius, kSphereContactDistance}) {
    for (double v : Measure(sliver, variant)) {
      EXPECT_TRUE(std::isfinite(v));
      EXPECT_GE(v, 0.0);
    }
  }
  // A surface turned inside out has no material under its faces: every sphere still ends with
  // a defined value.
  for (double v : Measure(Rewound(Cube()), kSphereContactDistance))
    EXPECT_TRUE(std::isfinite(v));
}

TEST(SphereThickness, GivesZeroWhenNoSphereEverMeetsAWall) {
  // Two triangles facing the same way: neither ever faces a wall, however large its sphere.
  TestMesh m;
  for (double z : {0.0, 1.0}) {
    const int32_t a = m.AddNode(0, 0, z), b = m.AddNode(10, 0, z), c = m.AddNode(0, 10, z);
    m.AddTriangle(a, b, c);
  }
  for (uint32_t variant : {kSphereRadius, kSphereContactDistance}) {
    for (double v : Measure(m, variant))
      EXPECT_EQ(v, 0.0);
  }
}

TEST(SphereThickness, WalksAroundNodesOfThousandsOfFaces) {
  // 3000 faces around each apex of a double cone: every face is measured once, with a value.
  const TestMesh cones = Bipyramid(3000);
  const std::vector<double> values = Measure(cones, kSphereContactDistance, std::nan(""));
  ASSERT_EQ(values.size(), 6000u);
  for (double v : values) {
    EXPECT_TRUE(std::isfinite(v));
    EXPECT_GT(v, 0.0);
  }
}

TEST(CoarseInitialThickness, ReachesTheOppositeWallAlongTheInwardNormal) {
  const TestMesh plate = Box(10, 10, 1, 5);
  SMesh mesh(plate.nbNodes(), plate.szelem(), plate.coords, plate.elem);
  BuildAdtTree(mesh);
  WallSearch search(*mesh.adt);
  const std::vector<int32_t> walls = PlateWallFaces(plate, 10, 10, 1, 0.0);
  ASSERT_FALSE(walls.empty());
  for (int32_t face : walls) {
    FaceFrame frame;
    ASSERT_TRUE(LoadFaceFrame(mesh, 4 * face, 0, frame));
    FaceRef hit{-1, -1};
    EXPECT_NEAR(Coarse_Initial_Thickness(mesh, search, 4 * face, frame.P, frame.N, hit), 1000.0,
                1e-6);
    EXPECT_NE(hit.faceIndex, face);
    EXPECT_EQ(hit.facePos, 4 * hit.faceIndex);
    // Outwards there is nothing; without a direction the ray goes nowhere.
    const double outwards[3] = {-frame.N[0], -frame.N[1], -frame.N[2]};
    EXPECT_EQ(Coarse_Initial_Thickness(mesh, search, 4 * face, frame.P, outwards, hit), -2.0);
    const double none[3] = {0, 0, 0};
    EXPECT_EQ(Coarse_Initial_Thickness(mesh, search, 4 * face, frame.P, none, hit), -2.0);
  }
}

}  // namespace
}  // namespace vexmor::test
