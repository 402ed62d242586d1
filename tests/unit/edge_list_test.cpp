// The edge list: edges in the order faces meet them, with their first two faces and counts.
#include <gtest/gtest.h>

#include "mesh/smesh.h"
#include "support/mesh_fixtures.h"
#include "topology/edge_list.h"

namespace vexmor::test {
namespace {

SMesh Build(const TestMesh& m) {
  return SMesh(m.nbNodes(), m.szelem(), m.coords, m.elem);
}

TestMesh Soup(std::vector<int32_t> elem, int32_t nodes = 8) {
  TestMesh m;
  for (int32_t i = 0; i < nodes; ++i)
    m.AddNode(i, i * i % 5, i % 3);
  m.elem = std::move(elem);
  return m;
}

TEST(EdgeList, OneTriangleIsAllBoundary) {
  SMesh mesh = Build(Soup({3, 0, 1, 2}));
  EXPECT_EQ(CountBoundaryEdges(mesh), (std::array<int32_t, 3>{1, 3, 0}));
  EXPECT_EQ(mesh.edgeHash.RecordCount(), 3);
}

TEST(EdgeList, ClosedTetrahedronHasSixEdgesOfTwoFaces) {
  SMesh mesh = Build(Tetrahedron());
  BuildEdgeHash(mesh);
  ASSERT_EQ(mesh.edgeHash.RecordCount(), 6);
  for (int32_t i = 0; i < 6; ++i) {
    const Edge& e = mesh.edgeHash.Record(i);
    EXPECT_EQ(e.faceCount, 2);
    EXPECT_NE(e.faceIndex[1], -1);
    EXPECT_EQ(e.facePos[0], 4 * e.faceIndex[0]);
    EXPECT_EQ(e.facePos[1], 4 * e.faceIndex[1]);
  }
  EXPECT_EQ(CountBoundaryEdges(mesh), (std::array<int32_t, 3>{0, 0, 0}));
}

TEST(EdgeList, SharedSideKeepsFirstFaceFirstAndItsOrientation) {
  // (5, 9) is met first by face 0 and walked as (9, 5) by face 1.
  SMesh mesh = Build(Soup({3, 5, 9, 1, 3, 9, 5, 2}, 10));
  BuildEdgeHash(mesh);
  EXPECT_EQ(mesh.edgeHash.RecordCount(), 5);
  const int32_t number = mesh.edgeHash.Find(9, 5);
  ASSERT_EQ(number, 1);
  const Edge& e = mesh.edgeHash.Record(number - 1);
  EXPECT_EQ(e.node1, 5);
  EXPECT_EQ(e.node2, 9);
  EXPECT_EQ(e.facePos, (std::array<int32_t, 2>{0, 4}));
  EXPECT_EQ(e.faceIndex, (std::array<int32_t, 2>{0, 1}));
  EXPECT_EQ(e.faceCount, 2);
}

TEST(EdgeList, ThirdFaceOnASideOnlyRaisesTheCount) {
  SMesh mesh = Build(Soup({3, 0, 1, 2, 3, 1, 0, 3, 3, 0, 1, 4}));
  const auto summary = CountBoundaryEdges(mesh);
  const Edge& e = mesh.edgeHash.Record(mesh.edgeHash.Find(0, 1) - 1);
  EXPECT_EQ(e.faceCount, 3);
  EXPECT_EQ(e.faceIndex, (std::array<int32_t, 2>{0, 1}));
  EXPECT_EQ(summary[0], 1);
  EXPECT_EQ(summary[2], 1);
}

TEST(EdgeList, CountEntryOfZeroTakesAFaceIndex) {
  SMesh mesh = Build(Soup({3, 0, 1, 2, 0, 3, 2, 1, 3}));
  BuildEdgeHash(mesh);
  const Edge& e = mesh.edgeHash.Record(mesh.edgeHash.Find(1, 2) - 1);
  EXPECT_EQ(e.faceIndex[1], 2);
  EXPECT_EQ(e.facePos[1], 5);
}

TEST(EdgeList, RebuildingGivesTheSameList) {
  SMesh mesh = Build(Box(1, 2, 3, 3));
  BuildEdgeHash(mesh);
  std::vector<std::array<int32_t, 4>> first;
  for (int32_t i = 0; i < mesh.edgeHash.RecordCount(); ++i) {
    const Edge& e = mesh.edgeHash.Record(i);
    first.push_back({e.node1, e.node2, e.faceIndex[0], e.faceIndex[1]});
  }
  BuildEdgeHash(mesh);
  ASSERT_EQ(mesh.edgeHash.RecordCount(), static_cast<int32_t>(first.size()));
  for (int32_t i = 0; i < mesh.edgeHash.RecordCount(); ++i) {
    const Edge& e = mesh.edgeHash.Record(i);
    EXPECT_EQ(first[i], (std::array<int32_t, 4>{e.node1, e.node2, e.faceIndex[0], e.faceIndex[1]}));
  }
}

TEST(EdgeList, LargeFacesAreWalkedWithoutABuffer) {
  // A face of twelve nodes: twelve boundary edges, nothing read out of bounds.
  std::vector<int32_t> elem = {12};
  for (int32_t i = 0; i < 12; ++i)
    elem.push_back(i);
  SMesh mesh = Build(Soup(elem, 12));
  EXPECT_EQ(CountBoundaryEdges(mesh), (std::array<int32_t, 3>{1, 12, 0}));
}

}  // namespace
}  // namespace vexmor::test
