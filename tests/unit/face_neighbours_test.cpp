// Faces across the sides of a face, turned to run each shared side opposite to it.
#include <gtest/gtest.h>

#include <set>

#include "mesh/smesh.h"
#include "support/mesh_fixtures.h"
#include "topology/edge_list.h"
#include "topology/face_neighbours.h"

namespace vexmor::test {
namespace {

SMesh Build(const TestMesh& m) {
  return SMesh(m.nbNodes(), m.szelem(), m.coords, m.elem);
}

std::set<int32_t> NodesOf(const SMesh& mesh, int32_t pos) {
  const int32_t n = mesh.elem[static_cast<size_t>(pos)];
  return std::set<int32_t>(mesh.elem.begin() + pos + 1, mesh.elem.begin() + pos + 1 + n);
}

TEST(FaceNeighbours, ConsistentTetrahedronListsOneFacePerSideAndChangesNothing) {
  const TestMesh tet = Tetrahedron();
  SMesh mesh = Build(tet);
  BuildEdgeHash(mesh);
  // Face 0 is first on all its edges, face 3 second on all of its: both must find the others.
  for (const int32_t face : {0, 1, 2, 3}) {
    const int32_t pos = 4 * face;
    const std::vector<FaceRef> ring = FaceNeighbours_1Ring(mesh, pos);
    ASSERT_EQ(ring.size(), 3u) << "face " << face;
    for (int32_t side = 0; side < 3; ++side) {
      const FaceRef& n = ring[static_cast<size_t>(side)];
      EXPECT_NE(n.faceIndex, face);
      EXPECT_EQ(n.facePos, 4 * n.faceIndex);
      // The neighbour listed for a side holds both of that side's nodes.
      const std::set<int32_t> nodes = NodesOf(mesh, n.facePos);
      EXPECT_TRUE(nodes.count(tet.elem[pos + 1 + side]) == 1 &&
                  nodes.count(tet.elem[pos + 1 + (side + 1) % 3]) == 1)
          << "face " << face << " side " << side;
    }
  }
  EXPECT_EQ(mesh.elem, tet.elem);
}

TEST(FaceNeighbours, NeighbourWoundTheSameWayIsTurned) {
  // Triangle 1 runs the side 2 -> 0 the same way as triangle 0; quad 2 runs 1 -> 2 the same
  // way too. Both are turned, keeping their first node.
  TestMesh m;
  for (int32_t i = 0; i < 6; ++i)
    m.AddNode(i, (i * 7) % 3, (i * 5) % 4);
  m.elem = {3, 0, 1, 2, 3, 3, 2, 0, 4, 4, 1, 2, 5};
  SMesh mesh = Build(m);
  BuildEdgeHash(mesh);
  EXPECT_FALSE(OrientNeighbour(mesh, 2, 0, 4));
  EXPECT_EQ(std::vector<int32_t>(mesh.elem.begin() + 4, mesh.elem.begin() + 8),
            (std::vector<int32_t>{3, 3, 0, 2}));
  EXPECT_FALSE(OrientNeighbour(mesh, 1, 2, 8));
  EXPECT_EQ(std::vector<int32_t>(mesh.elem.begin() + 8, mesh.elem.end()),
            (std::vector<int32_t>{4, 4, 5, 2, 1}));
  // Now opposite along those sides: asking again changes nothing.
  const std::vector<int32_t> before = mesh.elem;
  EXPECT_FALSE(OrientNeighbour(mesh, 2, 0, 4));
  EXPECT_FALSE(OrientNeighbour(mesh, 1, 2, 8));
  EXPECT_EQ(mesh.elem, before);
}

TEST(FaceNeighbours, OneRingTurnsAFlippedFaceOfAClosedSurface) {
  TestMesh tet = Tetrahedron();
  std::swap(tet.elem[4 * 2 + 2], tet.elem[4 * 2 + 3]);  // face 2 wound against the others
  SMesh mesh = Build(tet);
  BuildEdgeHash(mesh);
  const std::vector<FaceRef> ring = FaceNeighbours_1Ring(mesh, 0);
  ASSERT_EQ(ring.size(), 3u);
  EXPECT_EQ(mesh.elem, Tetrahedron().elem);
}

TEST(FaceNeighbours, OpenOrNonManifoldSidesGiveAnEmptyList) {
  TestMesh open = Tetrahedron();
  open.elem.resize(12);  // the last face removed
  SMesh openMesh = Build(open);
  BuildEdgeHash(openMesh);
  EXPECT_TRUE(FaceNeighbours_1Ring(openMesh, 0).empty());

  TestMesh fin = Tetrahedron();
  fin.AddNode(0.5, -1, 0);
  fin.AddTriangle(0, 1, 4);  // a third face on the side 0-1
  SMesh finMesh = Build(fin);
  BuildEdgeHash(finMesh);
  EXPECT_TRUE(FaceNeighbours_1Ring(finMesh, 4).empty());

  // A face without nodes has no neighbours.
  TestMesh withEmpty = Tetrahedron();
  withEmpty.elem.push_back(0);
  SMesh emptyMesh = Build(withEmpty);
  BuildEdgeHash(emptyMesh);
  EXPECT_TRUE(FaceNeighbours_1Ring(emptyMesh, 16).empty());
}

TEST(FaceNeighbours, FacesLargerThanTheNodeBufferAreWalkedSafely) {
  // Two octagons sharing all eight sides: a closed pillow.
  TestMesh m;
  std::vector<int32_t> ring, reversed;
  for (int32_t i = 0; i < 8; ++i) {
    m.AddNode(std::cos(i * 0.785398), std::sin(i * 0.785398), 0);
    ring.push_back(i);
  }
  reversed = {0, 7, 6, 5, 4, 3, 2, 1};
  m.AddFace(ring);
  m.AddFace(reversed);
  SMesh pillow = Build(m);
  BuildEdgeHash(pillow);
  const std::vector<FaceRef> neighbours = FaceNeighbours_1Ring(pillow, 0);
  ASSERT_EQ(neighbours.size(), 8u);
  for (const FaceRef& n : neighbours)
    EXPECT_EQ(n, (FaceRef{1, 9}));
  EXPECT_EQ(pillow.elem, m.elem);

  // Wound alike, the second octagon would need turning, which only triangles and
  // quadrilaterals can be: the answer is empty and nothing changes.
  TestMesh same = m;
  std::copy(ring.begin(), ring.end(), same.elem.begin() + 10);
  SMesh alike = Build(same);
  BuildEdgeHash(alike);
  EXPECT_TRUE(FaceNeighbours_1Ring(alike, 0).empty());
  EXPECT_EQ(alike.elem, same.elem);
}

}  // namespace
}  // namespace vexmor::test
