// The thickness gradient: mean relative difference between a face and the faces that share a
// node with it.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <vector>

#include "mesh/smesh.h"
#include "support/mesh_fixtures.h"
#include "support/thickness_fixtures.h"
#include "thickness/thickness_gradient.h"

namespace vexmor::test {
namespace {

std::vector<double> Gradient(const TestMesh& m, const std::vector<double>& thickness) {
  SMesh mesh(m.nbNodes(), m.szelem(), m.coords, m.elem);
  std::vector<double> gradient(thickness.size(), -1.0);
  EXPECT_EQ(FThickGrad(mesh, thickness, gradient), 0);
  return gradient;
}

std::set<int32_t> NodesOf(const TestMesh& m, int32_t face) {
  return {m.elem[4 * face + 1], m.elem[4 * face + 2], m.elem[4 * face + 3]};
}

// Number of nodes that two triangles share.
int Shared(const TestMesh& m, int32_t f, int32_t g) {
  int shared = 0;
  for (int32_t node : NodesOf(m, g))
    shared += NodesOf(m, f).count(node) > 0 ? 1 : 0;
  return shared;
}

// On the torus every node has six triangles: each triangle meets 3 across its sides and 9
// more at its corners.
TEST(FThickGrad, ComparesEachFaceOnceWithEveryFaceSharingANode) {
  const TestMesh torus = Torus(8, 8);
  const int32_t nbFaces = torus.nbFaces();
  const int32_t face = 37;
  std::vector<int32_t> sideNeighbours, cornerNeighbours;
  for (int32_t g = 0; g < nbFaces; ++g) {
    if (g == face) continue;
    const int shared = Shared(torus, face, g);
    if (shared == 2) sideNeighbours.push_back(g);
    if (shared == 1) cornerNeighbours.push_back(g);
  }
  ASSERT_EQ(sideNeighbours.size(), 3u);
  ASSERT_EQ(cornerNeighbours.size(), 9u);

  // One neighbour 12 thicker than the face, all else equal: 12 / 12 whichever kind it is.
  for (int32_t neighbour : {sideNeighbours[0], cornerNeighbours[0]}) {
    std::vector<double> thickness(nbFaces, 1.0);
    thickness[neighbour] = 13.0;
    EXPECT_DOUBLE_EQ(Gradient(torus, thickness)[face], 1.0) << "neighbour " << neighbour;
  }
}

TEST(FThickGrad, MeasuresTheRelativeDifferenceFromTheFaceItself) {
  const TestMesh torus = Torus(8, 8);
  const int32_t nbFaces = torus.nbFaces();
  const int32_t face = 20;

  const std::vector<double> uniform(nbFaces, 4.5);
  for (double g : Gradient(torus, uniform))
    EXPECT_EQ(g, 0.0);

  // A face of 2 among faces of 3, or among faces of 1: 0.5 either way.
  for (double others : {3.0, 1.0}) {
    std::vector<double> thickness(nbFaces, others);
    thickness[face] = 2.0;
    EXPECT_DOUBLE_EQ(Gradient(torus, thickness)[face], 0.5) << "others " << others;
  }

  // A thin face of 1 among faces of 10 gets 9; each of its 12 neighbours gets only 0.9 from
  // it, over its own 12 neighbours; faces farther away get nothing.
  std::vector<double> thickness(nbFaces, 10.0);
  thickness[face] = 1.0;
  const std::vector<double> gradient = Gradient(torus, thickness);
  EXPECT_DOUBLE_EQ(gradient[face], 9.0);
  for (int32_t g = 0; g < nbFaces; ++g) {
    if (g == face) continue;
    const double expected = Shared(torus, face, g) > 0 ? 0.9 / 12 : 0.0;
    EXPECT_NEAR(gradient[g], expected, 1e-15) << "face " << g;
  }
}

TEST(FThickGrad, GivesZeroToFacesTooThinToCompare) {
  const TestMesh torus = Torus(6, 5);
  const int32_t nbFaces = torus.nbFaces();
  for (double own : {0.0, -3.0, 1e-8, std::nan("")}) {
    std::vector<double> thickness(nbFaces, 10.0);
    thickness[7] = own;
    const std::vector<double> gradient = Gradient(torus, thickness);
    EXPECT_EQ(gradient[7], 0.0) << "own thickness " << own;
    // Its neighbours still compare with it.
    if (own == 0.0) {
      for (int32_t g = 0; g < nbFaces; ++g) {
        if (g != 7 && Shared(torus, 7, g) > 0) {
          EXPECT_NEAR(gradient[g], 1.0 / 12, 1e-15);
        }
      }
    }
  }
}

TEST(FThickGrad, StaysWithinItsListsAroundAVeryBusyNode) {
  // 1500 faces around each apex: more than a walk list holds.
  const TestMesh bipyramid = Bipyramid(1500);
  const int32_t nbFaces = bipyramid.nbFaces();
  std::vector<double> thickness(nbFaces, 2.0);
  for (double g : Gradient(bipyramid, thickness))
    EXPECT_EQ(g, 0.0);
  thickness[0] = 1.0;
  const std::vector<double> gradient = Gradient(bipyramid, thickness);
  EXPECT_DOUBLE_EQ(gradient[0], 1.0);
  for (double g : gradient)
    EXPECT_TRUE(std::isfinite(g));
}

}  // namespace
}  // namespace vexmor::test
