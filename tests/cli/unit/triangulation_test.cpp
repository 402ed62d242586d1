// Splitting faces into triangles and folding the triangles' values back onto the faces: the
// fan from the first node, the fan moved where it would double an edge, and the four folds.
#include <gtest/gtest.h>

#include <cmath>

#include "mesh/mesh_report.h"
#include "mesh/triangulation.h"

namespace vexmor::cli::test {
namespace {

std::vector<std::vector<int32_t>> Triangles(const Triangulation& t) {
  std::vector<std::vector<int32_t>> out;
  for (size_t f = 0; f < t.mesh.faceCount(); ++f) {
    const auto nodes = t.mesh.face(f);
    out.emplace_back(nodes.begin(), nodes.end());
  }
  return out;
}

// A unit cube whose top is two quadrilaterals folded around node 8, which only they share:
// [0 8 2 3] and [2 8 0 1]. Both first-to-third diagonals are 0-2.
Mesh CubeWithFoldedTop() {
  Mesh m;
  for (const Vec3& p : std::vector<Vec3>{{0, 0, 1},
                                         {1, 0, 1},
                                         {1, 1, 1},
                                         {0, 1, 1},
                                         {0, 0, 0},
                                         {1, 0, 0},
                                         {1, 1, 0},
                                         {0, 1, 0},
                                         {0.7, 0.3, 1}}) {
    m.addNode(p[0], p[1], p[2]);
  }
  m.addFace({0, 8, 2, 3});
  m.addFace({2, 8, 0, 1});
  m.addFace({4, 7, 6, 5});
  m.addFace({4, 5, 1, 0});
  m.addFace({5, 6, 2, 1});
  m.addFace({6, 7, 3, 2});
  m.addFace({7, 4, 0, 3});
  return m;
}

TEST(Triangulation, FanFromTheFirstNode) {
  Mesh m;
  for (int i = 0; i < 6; ++i)
    m.addNode(std::cos(i), std::sin(i), 0);
  m.addFace({0, 1, 2});
  m.addFace({5, 4, 3, 2, 1, 0});
  m.addFace({0, 1, 3, 4});  // its diagonal 0-3 is new; the hexagon's are 5-1, 5-2 and 5-3
  const Triangulation t = Triangulate(m);
  const std::vector<std::vector<int32_t>> expected = {{0, 1, 2}, {5, 4, 3}, {5, 3, 2}, {5, 2, 1},
                                                      {5, 1, 0}, {0, 1, 3}, {0, 3, 4}};
  EXPECT_EQ(Triangles(t), expected);
  EXPECT_EQ(t.triangleFace, (std::vector<size_t>{0, 1, 1, 1, 1, 2, 2}));
  EXPECT_EQ(t.faceCount, 3u);
  EXPECT_EQ(t.movedFans, 0u);
  EXPECT_EQ(t.mesh.coords, m.coords);
}

TEST(Triangulation, FanMovesWhereItWouldDoubleAnEdge) {
  const Mesh cube = CubeWithFoldedTop();
  ASSERT_EQ(InspectMesh(cube).nonManifoldEdges, 0u);
  const Triangulation t = Triangulate(cube);
  EXPECT_EQ(t.movedFans, 1u);
  // The first face keeps its fan; the second is fanned from its second node, 8.
  const auto triangles = Triangles(t);
  EXPECT_EQ(triangles[0], (std::vector<int32_t>{0, 8, 2}));
  EXPECT_EQ(triangles[2], (std::vector<int32_t>{8, 0, 1}));
  EXPECT_EQ(triangles[3], (std::vector<int32_t>{8, 1, 2}));
  const MeshReport split = InspectMesh(t.mesh);
  EXPECT_EQ(split.nonManifoldEdges, 0u);
  EXPECT_EQ(split.boundaryEdges, 0u);
  EXPECT_EQ(split.misorientedEdges, 0u);

  // A quadrilateral whose first-to-third diagonal is an edge of another face.
  Mesh m;
  for (int i = 0; i < 5; ++i)
    m.addNode(i, i * i, 0);
  m.addFace({0, 1, 2, 3});
  m.addFace({0, 2, 4});
  const Triangulation moved = Triangulate(m);
  EXPECT_EQ(moved.movedFans, 1u);
  EXPECT_EQ(Triangles(moved)[0], (std::vector<int32_t>{1, 2, 3}));
}

TEST(Triangulation, Folds) {
  // Face 0: a triangle; face 1: a unit square split in two; face 2: a fan of three triangles
  // of areas 1/2, 3 and 0 (collinear nodes).
  Triangulation t;
  t.faceCount = 4;  // face 3 gave no triangle
  t.triangleFace = {0, 1, 1, 2, 2, 2};
  for (const Vec3& p : std::vector<Vec3>{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 6, 0}})
    t.mesh.addNode(p[0], p[1], p[2]);
  t.mesh.addFace({0, 1, 2});
  t.mesh.addFace({0, 1, 2});
  t.mesh.addFace({0, 2, 3});
  t.mesh.addFace({1, 2, 0});  // area 1/2
  t.mesh.addFace({0, 2, 4});  // area 3
  t.mesh.addFace({0, 3, 4});  // area 0
  const std::vector<double> values = {7, 2, 4, 1, NAN, 5};

  const auto minimum = FoldMinimum(t, values);
  EXPECT_EQ(minimum[0], 7);
  EXPECT_EQ(minimum[1], 2);
  EXPECT_EQ(minimum[2], 1);  // NaN is passed over
  EXPECT_TRUE(std::isnan(minimum[3]));

  const auto mean = FoldMean(t, std::vector<double>{7, 2, 4, 1, 2, 6});
  EXPECT_EQ(mean[0], 7);
  EXPECT_EQ(mean[1], 3);
  EXPECT_EQ(mean[2], 3);
  EXPECT_TRUE(std::isnan(mean[3]));

  const auto weighted = FoldAreaWeightedMean(t, std::vector<double>{7, 2, 4, 1, 2, 100});
  EXPECT_EQ(weighted[0], 7);
  EXPECT_DOUBLE_EQ(weighted[1], 3);
  EXPECT_DOUBLE_EQ(weighted[2], (0.5 * 1 + 3 * 2) / 3.5);  // the flat triangle weighs nothing
  EXPECT_TRUE(std::isnan(weighted[3]));

  // A face without area takes its first triangle's value.
  Triangulation flat;
  flat.faceCount = 1;
  flat.triangleFace = {0, 0};
  for (int i = 0; i < 3; ++i)
    flat.mesh.addNode(i, 0, 0);
  flat.mesh.addFace({0, 1, 2});
  flat.mesh.addFace({0, 2, 1});
  EXPECT_EQ(FoldAreaWeightedMean(flat, std::vector<double>{0.25, 0.75})[0], 0.25);

  EXPECT_EQ(ExpandToTriangles(t, std::vector<double>{1, 2, 3, 4}),
            (std::vector<double>{1, 2, 2, 3, 3, 3}));
}

TEST(Triangulation, DropSplitDiagonals) {
  Mesh m;
  for (int i = 0; i < 6; ++i)
    m.addNode(i, 0, 0);
  m.addFace({0, 1, 2, 3, 4});
  m.addFace({5, 4, 3});
  // Edges as the library lists them for the split mesh, in any order and orientation.
  std::vector<int32_t> nodes = {1, 0, 0, 2, 2, 1, 3, 0, 4, 3, 5, 4, 3, 5, 4, 0, 3, 2};
  std::vector<double> values = {10, 20, 30, 40, 50, 60, 70, 80, 90};
  DropSplitDiagonals(m, nodes, values);
  EXPECT_EQ(nodes, (std::vector<int32_t>{1, 0, 2, 1, 4, 3, 5, 4, 3, 5, 4, 0, 3, 2}));
  EXPECT_EQ(values, (std::vector<double>{10, 30, 50, 60, 70, 80, 90}));
}

}  // namespace
}  // namespace vexmor::cli::test
