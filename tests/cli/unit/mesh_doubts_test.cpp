// What makes results doubtful: each kind of doubt on a mesh that has it and only it, nodes far
// from the rest against parts whose extremes are legitimately sparse, and the gradient's
// missing neighbours taken out against a literal recomputation.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "analysis/gradient_missing.h"
#include "mesh/mesh_doubts.h"
#include "mesh/mesh_report.h"
#include "mesh/triangulation.h"
#include "solids.h"

namespace vexmor::cli::test {
namespace {

MeshDoubts Doubts(const Mesh& m) {
  MeshTopology topology;
  InspectMesh(m, &topology);
  const Triangulation t = Triangulate(m);
  return InspectDoubts(m, &t, topology.faceShell);
}

TEST(MeshDoubts, EachDoubtOnAMeshThatHasIt) {
  Mesh clean;
  AddBox(clean, {0, 0, 0}, {10, 10, 10});
  EXPECT_FALSE(Doubts(clean).any());
  EXPECT_TRUE(Doubts(clean).warnings().empty());

  Mesh crossing = clean;  // a second box through the first one's top
  AddBox(crossing, {4, 4, 8}, {6, 6, 14});
  Mesh resting = clean;  // a second box standing on the first: touching, not crossing
  AddBox(resting, {4, 4, 10}, {6, 6, 14});
  Mesh stray = clean;  // a node no face uses, far away
  stray.addNode(500, 0, 0);
  Mesh sliver;  // a box 100 long and 4 wide: its triangles are 25 times longer than wide
  AddBox(sliver, {0, 0, 0}, {100, 4, 4});
  // The side x = 10 given with a node in the middle of its bottom edge, and that edge closed
  // by a triangle without area (its three nodes on one line), as exporters leave them.
  Mesh flat = clean;
  flat.faceStart.pop_back();  // the last side, {1, 3, 7, 5}
  flat.elem.resize(flat.elem.size() - 5);
  const int32_t middle = flat.addNode(10, 5, 0);
  flat.addFace({1, middle, 3, 7, 5});
  flat.addFace({1, 3, middle});
  // A prism whose caps are darts, reflex at their second corner.
  const Mesh dart = Prism({{5, 8}, {0, 4}, {-5, 8}, {0, 0}}, 2, {});

  const MeshDoubts c = Doubts(crossing);
  EXPECT_EQ(c.crossing.count, 5u);  // the top, and the four sides of the box through it
  EXPECT_EQ(c.shellPairsCrossing, 1u);
  EXPECT_EQ(c.shellsCrossingThemselves, 0u);
  EXPECT_FALSE(Doubts(resting).crossing.count > 0);
  EXPECT_GT(Doubts(resting).overlapping.count, 0u);  // the standing box's bottom on the top

  const MeshDoubts s = Doubts(stray);
  EXPECT_EQ(s.farNodes, 1u);
  EXPECT_NEAR(s.boxGrowth, 50, 1e-9);
  EXPECT_EQ(s.farNodeFaces.count, 0u);

  EXPECT_EQ(Doubts(sliver).longThin.count, 4u);  // the four long sides
  const MeshDoubts f = Doubts(flat);
  EXPECT_EQ(f.zeroArea.count, 1u);
  EXPECT_EQ(f.nonConvex.count, 0u);
  const MeshDoubts d = Doubts(dart);
  EXPECT_EQ(d.nonConvex.count, 2u);
  EXPECT_NEAR(d.nonConvex.area / d.totalArea, 2 * 20.0 / d.totalArea, 1e-12);
  for (const auto* doubts : {&c, &s, &f, &d}) {
    EXPECT_TRUE(doubts->any());
    EXPECT_FALSE(doubts->warnings().empty());
  }
}

TEST(MeshDoubts, FarNodesAreStraysNotSparseExtremes) {
  struct Case {
    const char* what;
    std::vector<Vec3> extra;  // nodes added to a unit cube's eight corners
    size_t far;
  } cases[] = {
      {"the cube alone", {}, 0},
      {"one stray", {{0.5, 0.5, 40}}, 1},
      {"two strays together", {{60, 0, 0}, {60, 0, 0.001}}, 2},
      {"strays in two directions", {{-30, 0, 0}, {0, 45, 0}}, 2},
      {"a node just past the cube", {{1.9, 0.5, 0.5}}, 0},
      {"the other end of a long rod", {{100, 0, 0}, {100, 1, 0}, {100, 0, 1}, {100, 1, 1}}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Mesh m;
    for (int k = 0; k < 8; ++k)
      m.addNode(k & 1, (k >> 1) & 1, (k >> 2) & 1);
    for (const Vec3& p : c.extra)
      m.addNode(p[0], p[1], p[2]);
    size_t far = 0;
    for (uint8_t f : FarNodes(m))
      far += f;
    EXPECT_EQ(far, c.far);
  }
}

TEST(MeshDoubts, MissingNeighboursLeaveTheGradientMeans) {
  // A grid of triangles on a bumpy sheet, with random thickness and some faces without one.
  Mesh m;
  const int n = 12;
  for (int j = 0; j <= n; ++j) {
    for (int i = 0; i <= n; ++i)
      m.addNode(i, j, 0.1 * ((i * j) % 3));
  }
  for (int j = 0; j < n; ++j) {
    for (int i = 0; i < n; ++i) {
      const int32_t a = j * (n + 1) + i, b = a + 1, c = a + n + 2, d = a + n + 1;
      m.addFace({a, b, c});
      m.addFace({a, c, d});
    }
  }
  std::mt19937 random(5);
  std::uniform_real_distribution<double> thickness(1, 3);
  std::vector<double> t(m.faceCount());
  std::vector<uint8_t> missing(m.faceCount(), 0);
  for (size_t f = 0; f < t.size(); ++f) {
    t[f] = thickness(random);
    missing[f] = random() % 5 == 0;
  }
  // Faces sharing a node with f.
  auto neighbours = [&](size_t f) {
    std::vector<size_t> out;
    for (size_t g = 0; g < m.faceCount(); ++g) {
      if (g == f) continue;
      bool shares = false;
      for (int32_t x : m.face(f)) {
        for (int32_t y : m.face(g))
          shares = shares || x == y;
      }
      if (shares) out.push_back(g);
    }
    return out;
  };
  // What the library computes with 0 for the missing faces, then the program's correction.
  std::vector<double> gradient(m.faceCount(), 0.0);
  for (size_t f = 0; f < t.size(); ++f) {
    if (missing[f]) continue;
    double sum = 0;
    const auto around = neighbours(f);
    for (size_t g : around)
      sum += std::fabs((missing[g] ? 0.0 : t[g]) - t[f]) / t[f];
    gradient[f] = sum / static_cast<double>(around.size());
  }
  DiscountMissingNeighbours(m, missing, gradient);
  size_t corrected = 0;
  for (size_t f = 0; f < t.size(); ++f) {
    double sum = 0;
    size_t count = 0;
    for (size_t g : neighbours(f)) {
      if (missing[g]) continue;
      sum += std::fabs(t[g] - t[f]) / t[f];
      ++count;
    }
    if (missing[f] || count == 0) {
      EXPECT_TRUE(std::isnan(gradient[f])) << f;
      continue;
    }
    EXPECT_NEAR(gradient[f], sum / static_cast<double>(count), 1e-12) << f;
    corrected += count < neighbours(f).size();
  }
  EXPECT_GT(corrected, 50u);
}

}  // namespace
}  // namespace vexmor::cli::test
