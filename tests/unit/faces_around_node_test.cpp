// Turning around a node from face to face across shared edges.
#include <gtest/gtest.h>

#include <algorithm>
#include <span>
#include <vector>

#include "mesh/smesh.h"
#include "support/mesh_fixtures.h"
#include "support/thickness_fixtures.h"
#include "thickness/faces_around_node.h"

namespace vexmor::test {
namespace {

constexpr int32_t kUnwritten = -99;

SMesh Build(const TestMesh& m) {
  return SMesh(m.nbNodes(), m.szelem(), m.coords, m.elem);
}

// Walks around `node` from the triangle `start` (of a triangles-only mesh) with lists of the
// given capacity; the lists are returned whole so that tests can see what was written.
struct Walk {
  int32_t count;
  std::vector<int32_t> indices;
  std::vector<int32_t> positions;
};

Walk WalkAround(SMesh& mesh, int32_t node, int32_t start, size_t capacity = 100) {
  Walk w{0, std::vector<int32_t>(capacity, kUnwritten), std::vector<int32_t>(capacity, kUnwritten)};
  w.indices[0] = start;
  w.positions[0] = 4 * start;
  w.count = FacesAroundNode(mesh, node, w.indices, w.positions);
  return w;
}

TEST(FacesAroundNode, TurnsAroundASixRingInOrderFromAnyStartFace) {
  // The top apex of a bipyramid over 6 ring nodes: faces 0..5 around it. Leaving face i by its
  // edge from the apex to its next node (ring node i) leads to face i - 1.
  const TestMesh bipyramid = Bipyramid(6);
  SMesh mesh = Build(bipyramid);
  for (int32_t start = 0; start < 6; ++start) {
    const Walk w = WalkAround(mesh, 0, start);
    ASSERT_EQ(w.count, 6) << "from face " << start;
    for (int32_t j = 0; j < 6; ++j) {
      EXPECT_EQ(w.indices[j], (start - j + 6) % 6) << "from face " << start << " entry " << j;
      EXPECT_EQ(w.positions[j], 4 * w.indices[j]) << "from face " << start << " entry " << j;
    }
    // Entry m repeats the start face; nothing lies beyond it.
    EXPECT_EQ(w.indices[6], start);
    EXPECT_EQ(w.positions[6], 4 * start);
    EXPECT_EQ(w.indices[7], kUnwritten);
  }
  // The ring nodes of the bipyramid have four faces around them.
  const Walk ringNode = WalkAround(mesh, 2, 0);
  EXPECT_EQ(ringNode.count, 4);
}

TEST(FacesAroundNode, FindsTheThreeFacesAtATetrahedronVertex) {
  SMesh mesh = Build(Tetrahedron());
  // Node 3 is the apex: faces 1, 2 and 3 hold it.
  for (int32_t start = 1; start <= 3; ++start) {
    const Walk w = WalkAround(mesh, 3, start);
    ASSERT_EQ(w.count, 3);
    std::vector<int32_t> found(w.indices.begin(), w.indices.begin() + 3);
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, (std::vector<int32_t>{1, 2, 3}));
    EXPECT_EQ(w.indices[3], start);
  }
}

TEST(FacesAroundNode, NeverWritesPastTheListsItIsGiven) {
  SMesh mesh = Build(Bipyramid(12));
  // Capacity below the ring: the walk stops with the lists full and says how many it holds.
  for (size_t capacity : {1u, 2u, 5u, 12u}) {
    std::vector<int32_t> indices(capacity + 4, kUnwritten), positions(capacity + 4, kUnwritten);
    indices[0] = 0;
    positions[0] = 0;
    const int32_t count = FacesAroundNode(mesh, 0, std::span(indices).first(capacity),
                                          std::span(positions).first(capacity));
    EXPECT_EQ(count, static_cast<int32_t>(capacity));
    for (size_t j = capacity; j < indices.size(); ++j) {
      EXPECT_EQ(indices[j], kUnwritten);
      EXPECT_EQ(positions[j], kUnwritten);
    }
  }
  // Room for the ring but not its closing entry: the whole ring is still reported.
  const Walk exact = WalkAround(mesh, 0, 0, 12);
  EXPECT_EQ(exact.count, 12);
  std::vector<int32_t> none;
  EXPECT_EQ(FacesAroundNode(mesh, 0, none, none), -1);
}

TEST(FacesAroundNode, StopsAtAnOpenEdgeWithoutLeavingTheConnectivity) {
  // The upper fan of a hexagonal bipyramid alone: an open umbrella around the apex.
  TestMesh fan = Bipyramid(6);
  fan.elem.resize(4 * 6);
  SMesh mesh = Build(fan);
  // The apex of the open fan still has its six faces in one closed ring.
  const Walk closedRing = WalkAround(mesh, 0, 0);
  EXPECT_EQ(closedRing.count, 6);
  // Ring node 3 lies on the rim, in faces 0 and 1. Face 1 leaves it by a rim edge: the walk
  // ends at once. Face 0 leaves it towards face 1, which then leads to the rim.
  const Walk fromRim = WalkAround(mesh, 3, 1);
  EXPECT_EQ(fromRim.count, 1);
  EXPECT_EQ(fromRim.indices[1], kUnwritten);
  const Walk towardsRim = WalkAround(mesh, 3, 0);
  ASSERT_EQ(towardsRim.count, 2);
  EXPECT_EQ(towardsRim.indices[1], 1);
  EXPECT_EQ(towardsRim.positions[1], 4);
  EXPECT_EQ(towardsRim.indices[2], kUnwritten);
  // A single triangle: nothing across any edge.
  TestMesh one;
  one.AddNode(0, 0, 0);
  one.AddNode(1, 0, 0);
  one.AddNode(0, 1, 0);
  one.AddTriangle(0, 1, 2);
  SMesh lone = Build(one);
  EXPECT_EQ(WalkAround(lone, 1, 0).count, 1);
  // A node that the start face does not hold has no first edge.
  EXPECT_EQ(WalkAround(mesh, 1, 0).count, -1);
}

}  // namespace
}  // namespace vexmor::test
