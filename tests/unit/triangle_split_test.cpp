// Quadrilateral splitting, the enclosing box and the folding of triangle values back to the
// caller's faces.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "geometry/vec3.h"
#include "mesh/smesh.h"
#include "mesh/triangle_split.h"
#include "support/mesh_fixtures.h"
#include "support/thickness_fixtures.h"

namespace vexmor::test {
namespace {

// A mesh of 14 nodes on a line-free spread, with the given connectivity.
SMesh Build(const std::vector<int32_t>& elem, int32_t nodes = 14, uint8_t outside = 0) {
  std::vector<double> coords;
  for (int32_t i = 0; i < nodes; ++i)
    coords.insert(coords.end(), {double(i), double(i * i % 7), double(i % 3)});
  return SMesh(outside, nodes, static_cast<int32_t>(elem.size()), coords, elem, 1);
}

TEST(SetFullTrias, SplitsAQuadrilateralAlongItsFirstDiagonal) {
  SMesh mesh = Build({3, 0, 1, 2, 4, 10, 11, 12, 13});
  EXPECT_EQ(SetFullTrias(mesh), 0);
  EXPECT_EQ(mesh.quadsSplit, 1);
  EXPECT_EQ(mesh.elem, (std::vector<int32_t>{3, 0, 1, 2, 3, 10, 11, 12, 3, 10, 12, 13}));
  EXPECT_EQ(mesh.triFace, (std::vector<int32_t>{0, 1, 1}));
  EXPECT_EQ(mesh.origElem, (std::vector<int32_t>{3, 0, 1, 2, 4, 10, 11, 12, 13}));
  EXPECT_EQ(mesh.nbOrigFaces, 2);
  EXPECT_EQ(mesh.nbFaces, 3);
  EXPECT_EQ(mesh.szelem, 12);
}

TEST(SetFullTrias, CountsTrianglesAndQuadrilateralsInCallerOrder) {
  // 2 triangles and 3 quadrilaterals, interleaved.
  SMesh mesh = Build({4, 0, 1, 2, 3, 3, 4, 5, 6, 4, 7, 8, 9, 10, 3, 1, 2, 3, 4, 2, 3, 4, 5});
  EXPECT_EQ(SetFullTrias(mesh), 0);
  EXPECT_EQ(mesh.nbFaces, 8);
  EXPECT_EQ(mesh.szelem, 32);
  EXPECT_EQ(mesh.nbOrigFaces, 5);
  EXPECT_EQ(mesh.triFace, (std::vector<int32_t>{0, 0, 1, 2, 2, 3, 4, 4}));
  for (int32_t t = 0; t < 8; ++t)
    EXPECT_EQ(mesh.elem[4 * t], 3);
}

TEST(SetFullTrias, LeavesMeshesItCannotOrNeedNotSplitUnchanged) {
  const std::vector<int32_t> trianglesOnly = {3, 0, 1, 2, 3, 2, 1, 3};
  SMesh triangles = Build(trianglesOnly);
  EXPECT_EQ(SetFullTrias(triangles), 0);
  EXPECT_EQ(triangles.quadsSplit, 0);
  EXPECT_EQ(triangles.elem, trianglesOnly);
  EXPECT_TRUE(triangles.triFace.empty());
  EXPECT_EQ(triangles.nbOrigFaces, 0);
  const double values[2] = {1.0, 2.0};
  EXPECT_TRUE(MapTriangleResults(triangles, values, TriangleFold::kMinimum).empty());

  // A pentagon anywhere keeps every face as it is, quadrilaterals included.
  for (const std::vector<int32_t>& elem :
       {std::vector<int32_t>{4, 0, 1, 2, 3, 5, 4, 5, 6, 7, 8},
        std::vector<int32_t>{5, 4, 5, 6, 7, 8, 4, 0, 1, 2, 3},
        std::vector<int32_t>{3, 0, 1, 2, 0, 3, 1, 2, 3},  // a count entry of 0
        std::vector<int32_t>{4, 0, 1, 2, 3, 2, 5, 6}}) {
    SMesh mesh = Build(elem);
    EXPECT_EQ(SetFullTrias(mesh), 1);
    EXPECT_EQ(mesh.elem, elem);
    EXPECT_EQ(mesh.quadsSplit, 0);
    EXPECT_TRUE(mesh.origElem.empty());
  }
  SMesh empty = Build({});
  EXPECT_EQ(SetFullTrias(empty), 1);
}

TEST(MapTriangleResults, FoldsEachCallerFaceByMinimumOrMean) {
  SMesh mesh = Build({4, 0, 1, 2, 3, 3, 4, 5, 6, 4, 7, 8, 9, 10});
  ASSERT_EQ(SetFullTrias(mesh), 0);
  const std::vector<double> values = {2.0, 4.0, 7.0, 5.0, 5.0};
  EXPECT_EQ(MapTriangleResults(mesh, values, TriangleFold::kMinimum),
            (std::vector<double>{2.0, 7.0, 5.0}));
  EXPECT_EQ(MapTriangleResults(mesh, values, TriangleFold::kMean),
            (std::vector<double>{3.0, 7.0, 5.0}));
  const std::vector<double> negative = {-1.0, -3.0, 0.0, 2.0, -2.0};
  EXPECT_EQ(MapTriangleResults(mesh, negative, TriangleFold::kMinimum),
            (std::vector<double>{-3.0, 0.0, -2.0}));
}

TEST(AppendEnclosingBox, AddsATwiceLargerOutwardBoxThatNeverReachesTheCallerFaces) {
  const TestMesh quads = Box(2, 1, 1, 1, /*quads=*/true);
  SMesh mesh(1, quads.nbNodes(), quads.szelem(), quads.coords, quads.elem, 1);
  ASSERT_EQ(SetFullTrias(mesh), 0);
  const int32_t nodes = mesh.nbNodes, entries = mesh.szelem, faces = mesh.nbFaces;
  EXPECT_EQ(AppendEnclosingBox(mesh), 0);
  EXPECT_EQ(mesh.nbNodes, nodes + 8);
  EXPECT_EQ(mesh.szelem, entries + 48);
  EXPECT_EQ(mesh.nbFaces, faces + 12);
  EXPECT_EQ(mesh.coords.size(), 3 * static_cast<size_t>(mesh.nbNodes));

  // The normalised part spans [0, 10000] x [0, 5000] x [0, 5000]; the box is twice that.
  const double expectedMin[3] = {-5000, -2500, -2500}, expectedMax[3] = {15000, 7500, 7500};
  for (int32_t i = nodes; i < mesh.nbNodes; ++i) {
    for (int k = 0; k < 3; ++k) {
      const double c = mesh.Node(i)[k];
      EXPECT_TRUE(std::fabs(c - expectedMin[k]) < 1e-9 || std::fabs(c - expectedMax[k]) < 1e-9)
          << "node " << i << " axis " << k << " at " << c;
    }
  }
  // Every box triangle faces away from the box's centre and the 12 cover its 6 sides twice.
  const Vec3 centre{5000, 2500, 2500};
  int sides[6] = {0, 0, 0, 0, 0, 0};
  for (int32_t t = faces; t < mesh.nbFaces; ++t) {
    const int32_t* v = &mesh.elem[4 * static_cast<size_t>(t)];
    ASSERT_EQ(v[0], 3);
    const Vec3 a = Vec3::Load(mesh.Node(v[1])), b = Vec3::Load(mesh.Node(v[2])),
               c = Vec3::Load(mesh.Node(v[3]));
    const Vec3 n = Cross(b - a, c - a);
    EXPECT_GT(Dot(n, (a + b + c) / 3.0 - centre), 0.0) << "box triangle " << t - faces;
    for (int k = 0; k < 3; ++k) {
      if (std::fabs(n[k]) > 0) sides[2 * k + (n[k] > 0 ? 1 : 0)]++;
    }
  }
  for (int side : sides)
    EXPECT_EQ(side, 2);

  // One value per caller face; the box's values (here the smallest of all) are left out.
  std::vector<double> values(static_cast<size_t>(mesh.nbFaces), 5.0);
  std::fill(values.end() - 12, values.end(), -100.0);
  values[0] = 1.0;
  const std::vector<double> folded = MapTriangleResults(mesh, values, TriangleFold::kMinimum);
  ASSERT_EQ(folded.size(), 6u);
  EXPECT_EQ(folded[0], 1.0);
  for (size_t i = 1; i < folded.size(); ++i)
    EXPECT_EQ(folded[i], 5.0);
}

}  // namespace
}  // namespace vexmor::test
