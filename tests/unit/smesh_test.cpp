// The working mesh: coordinate normalisation, face counting and copies of the caller's arrays.
#include <gtest/gtest.h>

#include "mesh/smesh.h"
#include "support/mesh_fixtures.h"

namespace vexmor::test {
namespace {

SMesh Build(const TestMesh& m) {
  return SMesh(m.nbNodes(), m.szelem(), m.coords, m.elem);
}

TEST(SMeshNormalisation, LongestAxisRunsToTenThousandFromTheOrigin) {
  // Longest along z (from -1 to 7), shorter along x and y, shifted away from the origin.
  const TestMesh box = Box(2.0, 4.0, 8.0, 1, false, 10.0, -3.0, -1.0);
  const SMesh mesh = Build(box);
  EXPECT_DOUBLE_EQ(mesh.scale, 10000.0 / 8.0);
  double lo[3] = {1e300, 1e300, 1e300}, hi[3] = {-1e300, -1e300, -1e300};
  for (int32_t i = 0; i < mesh.nbNodes; ++i) {
    for (int k = 0; k < 3; ++k) {
      lo[k] = std::min(lo[k], mesh.Node(i)[k]);
      hi[k] = std::max(hi[k], mesh.Node(i)[k]);
    }
  }
  for (int k = 0; k < 3; ++k)
    EXPECT_EQ(lo[k], 0.0);
  EXPECT_DOUBLE_EQ(hi[0], 10000.0 * 2.0 / 8.0);
  EXPECT_DOUBLE_EQ(hi[1], 10000.0 * 4.0 / 8.0);
  EXPECT_EQ(hi[2], 10000.0);
  const double expectedBox[6] = {10.0, -3.0, -1.0, 12.0, 1.0, 7.0};
  for (int k = 0; k < 6; ++k)
    EXPECT_EQ(mesh.inputBox[k], expectedBox[k]);
}

TEST(SMeshNormalisation, ScalingTheInputGivesTheSameFrame) {
  const TestMesh tet = Translated(Tetrahedron(), 5, 5, 5);
  const SMesh a = Build(tet);
  const SMesh b = Build(Scaled(tet, 1000.0));
  EXPECT_DOUBLE_EQ(b.scale * 1000.0, a.scale);
  for (size_t i = 0; i < a.coords.size(); ++i)
    EXPECT_NEAR(a.coords[i], b.coords[i], 1e-9);
}

TEST(SMeshConstruction, StartsWithNothingBuilt) {
  const SMesh mesh(Cube().nbNodes(), Cube().szelem(), Cube().coords, Cube().elem, 7);
  EXPECT_EQ(mesh.dim, 3u);
  EXPECT_EQ(mesh.mode, 7u);
  EXPECT_EQ(mesh.outside, 0);
  EXPECT_EQ(mesh.adt, nullptr);
  EXPECT_EQ(mesh.bboxDone, 0);
  EXPECT_EQ(mesh.quadsSplit, 0);
  EXPECT_EQ(mesh.nbOrigFaces, 0);
  EXPECT_EQ(mesh.halfDiag, 0.0);
  EXPECT_EQ(mesh.edgeHash.RecordCapacity(), 100u);
  EXPECT_EQ(mesh.edgeHash.RecordCount(), 0);
  EXPECT_EQ(mesh.edgeHash.BucketCount(), 0u);
  const TestMesh cube = Cube();
  const SMesh full(1, cube.nbNodes(), cube.szelem(), cube.coords, cube.elem, 2);
  EXPECT_EQ(full.outside, 1);
  EXPECT_EQ(full.mode, 2u);
}

TEST(SMeshFaceCount, CountsEveryCountEntry) {
  TestMesh m = Tetrahedron();
  EXPECT_EQ(Build(m).nbFaces, 4);

  TestMesh mixed = Tetrahedron();
  mixed.elem = {3, 0, 1, 2, 4, 0, 1, 2, 3};
  EXPECT_EQ(Build(mixed).nbFaces, 2);

  TestMesh empty = Tetrahedron();
  empty.elem.clear();
  EXPECT_EQ(Build(empty).nbFaces, 0);

  // Count entries of 0 or less describe no node but each still names a face.
  TestMesh odd = Tetrahedron();
  odd.elem = {3, 0, 1, 2, 0, 3, 0, 2, 3, -4, 3, 1, 2, 3};
  const SMesh mesh = Build(odd);
  EXPECT_EQ(mesh.nbFaces, 5);
  EXPECT_EQ(mesh.elem, odd.elem);
}

TEST(SMeshRelease, LeavesNothingBehindAndCanRunTwice) {
  const TestMesh cube = Cube();
  SMesh mesh = Build(cube);
  mesh.Release();
  EXPECT_TRUE(mesh.coords.empty());
  EXPECT_TRUE(mesh.elem.empty());
  EXPECT_EQ(mesh.edgeHash.RecordCapacity(), 0u);
  mesh.Release();
}

}  // namespace
}  // namespace vexmor::test
