// Splitting faces into triangles and folding the triangles' values back onto the faces: faces
// split in their planes without folding, quadrilaterals split as the library splits them
// where that is sound, and the four folds.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <span>

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

// A face given by points of a plane tilted in space, as a one-face mesh.
Mesh TiltedFace(const std::vector<std::array<double, 2>>& ring,
                const std::vector<int32_t>& order = {}) {
  Mesh m;
  for (const auto& p : ring)
    m.addNode(0.6 * p[0] + 0.2, 0.48 * p[0] + 0.6 * p[1] - 1, 0.64 * p[0] - 0.8 * p[1] + 3);
  std::vector<int32_t> nodes = order;
  if (nodes.empty()) {
    for (size_t i = 0; i < ring.size(); ++i)
      nodes.push_back(static_cast<int32_t>(i));
  }
  m.addFace(nodes);
  return m;
}

Vec3 AreaVector(const Mesh& m, std::span<const int32_t> nodes) {
  Vec3 a{0, 0, 0};
  for (size_t i = 0; i < nodes.size(); ++i) {
    const Vec3 p = m.node(static_cast<size_t>(nodes[i]));
    const Vec3 q = m.node(static_cast<size_t>(nodes[(i + 1) % nodes.size()]));
    a[0] += 0.5 * (p[1] * q[2] - p[2] * q[1]);
    a[1] += 0.5 * (p[2] * q[0] - p[0] * q[2]);
    a[2] += 0.5 * (p[0] * q[1] - p[1] * q[0]);
  }
  return a;
}

TEST(Triangulation, SplitsEveryFaceInItsPlaneWithoutFolding) {
  struct Case {
    const char* what;
    std::vector<std::array<double, 2>> ring;
    std::vector<int32_t> order;  // node order of the face, when it repeats a node
  } cases[] = {
      {"convex hexagon", {{2, 0}, {1, 1.7}, {-1, 1.7}, {-2, 0}, {-1, -1.7}, {1, -1.7}}, {}},
      {"L from a corner that does not see it all",
       {{20, 0}, {20, 5}, {5, 5}, {5, 20}, {0, 20}, {0, 0}},
       {}},
      {"comb",
       {{0, 0},
        {9, 0},
        {9, 5},
        {8, 5},
        {8, 1},
        {6, 1},
        {6, 5},
        {5, 5},
        {5, 1},
        {3, 1},
        {3, 5},
        {2, 5},
        {2, 1},
        {1, 1},
        {1, 5},
        {0, 5}},
       {}},
      {"nodes on one line along its sides",
       {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {3, 1}, {3, 2}, {2, 2}, {1, 2}, {1, 1}, {0, 1}},
       {}},
      {"nearly straight corners", {{0, 0}, {1, 1e-12}, {2, 0}, {2, 1}, {1, 1 - 1e-12}, {0, 1}}, {}},
      {"touching itself at a repeated node",
       {{0, 0}, {2, 0}, {2, 2}, {4, 2}, {4, 4}, {2, 4}, {0, 2}},
       {0, 1, 2, 3, 4, 5, 2, 6}},
      {"dart, reflex at its second corner", {{5, 8}, {0, 4}, {-5, 8}, {0, 0}}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Mesh face = TiltedFace(c.ring, c.order);
    const Triangulation t = Triangulate(face);
    const auto nodes = face.face(0);
    ASSERT_EQ(t.mesh.faceCount(), nodes.size() - 2);
    EXPECT_EQ(t.foldedFaces, 0u);
    const Vec3 whole = AreaVector(face, nodes);
    Vec3 sum{0, 0, 0};
    for (size_t i = 0; i < t.mesh.faceCount(); ++i) {
      const Vec3 a = AreaVector(t.mesh, t.mesh.face(i));
      // Each triangle turns the face's way: none folds, and none is flat unless the face
      // repeats a node (its two corners there leave no room for n - 2 triangles with area).
      const double along = a[0] * whole[0] + a[1] * whole[1] + a[2] * whole[2];
      if (c.order.empty()) {
        EXPECT_GT(along, 1e-9) << i;
      } else {
        EXPECT_GT(along, -1e-12) << i;
      }
      for (int k = 0; k < 3; ++k)
        sum[k] += a[k];
    }
    for (int k = 0; k < 3; ++k)
      EXPECT_NEAR(sum[k], whole[k], 1e-9 * std::fabs(whole[0] + whole[1] + whole[2]));
  }
}

TEST(Triangulation, QuadrilateralsKeepTheLibrarysDiagonalWhereItLiesInsideAndIsNew) {
  const Triangulation convex = Triangulate(TiltedFace({{0, 0}, {3, 0}, {3, 2}, {0, 2}}));
  EXPECT_EQ(Triangles(convex), (std::vector<std::vector<int32_t>>{{0, 1, 2}, {0, 2, 3}}));
  EXPECT_EQ(convex.quadsOtherDiagonal, 0u);
  // A dart whose reflex corner is the second: the first-to-third diagonal lies outside.
  const Triangulation dart = Triangulate(TiltedFace({{5, 8}, {0, 4}, {-5, 8}, {0, 0}}));
  EXPECT_EQ(Triangles(dart), (std::vector<std::vector<int32_t>>{{1, 2, 3}, {1, 3, 0}}));
  EXPECT_EQ(dart.quadsOtherDiagonal, 1u);
  // Reflex at the third corner: the first-to-third diagonal is the inside one.
  const Triangulation third = Triangulate(TiltedFace({{0, 0}, {5, 8}, {0, 4}, {-5, 8}}));
  EXPECT_EQ(third.quadsOtherDiagonal, 0u);

  // Two quadrilaterals folded around a node that only they share: both first-to-third
  // diagonals are 0-2; the second face is split along its other diagonal, 8-1.
  const Mesh cube = CubeWithFoldedTop();
  ASSERT_EQ(InspectMesh(cube).nonManifoldEdges, 0u);
  const Triangulation t = Triangulate(cube);
  EXPECT_EQ(t.quadsOtherDiagonal, 1u);
  const auto triangles = Triangles(t);
  EXPECT_EQ(triangles[0], (std::vector<int32_t>{0, 8, 2}));
  EXPECT_EQ(triangles[2], (std::vector<int32_t>{8, 0, 1}));
  EXPECT_EQ(triangles[3], (std::vector<int32_t>{8, 1, 2}));
  const MeshReport split = InspectMesh(t.mesh);
  EXPECT_EQ(split.nonManifoldEdges, 0u);
  EXPECT_EQ(split.boundaryEdges, 0u);
  EXPECT_EQ(split.misorientedEdges, 0u);

  // A convex quadrilateral whose first-to-third diagonal is an edge of another face.
  Mesh m;
  for (int i = 0; i < 5; ++i)
    m.addNode(i, i * i, 0);
  m.addFace({0, 1, 2, 3});
  m.addFace({0, 2, 4});
  const Triangulation moved = Triangulate(m);
  EXPECT_EQ(moved.quadsOtherDiagonal, 1u);
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
