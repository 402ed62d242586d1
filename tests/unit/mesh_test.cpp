// The working mesh: quadrilaterals split into triangles, the enclosing box of the analyses of
// the space around a part, and triangle values folded back onto the caller's faces.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "geometry/bbox.h"
#include "mesh/large_array.h"
#include "mesh/triangle_split.h"
#include "support/smesh.h"

namespace vexmor::test {
namespace {

// 14 nodes on no line, with the given connectivity, for the analyses of quadrilaterals.
SMesh Quads(const std::vector<int32_t>& elem, uint8_t outside = 0) {
  TestMesh m{{}, elem};
  for (int32_t i = 0; i < 14; ++i)
    m.AddNode(i, i * i % 7, i % 3);
  return MakeSMesh(m, 1, outside);
}

TEST(SetFullTrias, SplitsEachQuadrilateralAlongItsFirstDiagonalInCallerOrder) {
  // Triangles and quadrilaterals interleaved.
  SMesh mesh = Quads({4, 0, 1, 2, 3, 3, 4, 5, 6, 4, 7, 8, 9, 10, 3, 1, 2, 3});
  EXPECT_EQ(SetFullTrias(mesh), 0);
  EXPECT_EQ(mesh.quadsSplit, 1);
  EXPECT_EQ(Plain(mesh.elem), (std::vector<int32_t>{3, 0, 1, 2, 3, 0, 2, 3,  3, 4, 5, 6,
                                                    3, 7, 8, 9, 3, 7, 9, 10, 3, 1, 2, 3}));
  EXPECT_EQ(Plain(mesh.triFace), (std::vector<int32_t>{0, 0, 1, 2, 2, 3}));
  EXPECT_EQ(Plain(mesh.origElem),
            (std::vector<int32_t>{4, 0, 1, 2, 3, 3, 4, 5, 6, 4, 7, 8, 9, 10, 3, 1, 2, 3}));
}

TEST(SetFullTrias, LeavesMeshesItCannotOrNeedNotSplitAsTheyAre) {
  const std::pair<std::vector<int32_t>, uint8_t> cases[] = {
      {{3, 0, 1, 2, 3, 2, 1, 3}, 0},           // triangles only: nothing to split
      {{5, 4, 5, 6, 7, 8, 4, 0, 1, 2, 3}, 1},  // a pentagon keeps every face
      {{3, 0, 1, 2, 0, 3, 1, 2, 3}, 1},        // a count entry of 0
      {{4, 0, 1, 2, 3, 2, 5, 6}, 1},
      {{}, 1}};
  for (const auto& [elem, result] : cases) {
    SMesh mesh = Quads(elem);
    EXPECT_EQ(SetFullTrias(mesh), result) << elem.size();
    EXPECT_EQ(Plain(mesh.elem), elem);
    EXPECT_EQ(mesh.quadsSplit, 0);
    EXPECT_TRUE(mesh.origElem.empty() && mesh.triFace.empty());
    EXPECT_TRUE(
        MapTriangleResults(mesh, std::vector<double>(8, 1.0), TriangleFold::kMinimum).empty());
  }
}

TEST(MapTriangleResults, FoldsEachCallerFaceByItsMinimumOrMeanAndLeavesTheBoxOut) {
  SMesh mesh = Quads({4, 0, 1, 2, 3, 3, 4, 5, 6, 4, 7, 8, 9, 10});
  ASSERT_EQ(SetFullTrias(mesh), 0);
  const struct {
    std::vector<double> values, minimum, mean;
  } cases[] = {{{2, 4, 7, 5, 5}, {2, 7, 5}, {3, 7, 5}},
               {{0.0, -0.0, -0.0, -0.0, 0.0}, {0.0, -0.0, -0.0}, {0.0, -0.0, 0.0}}};
  for (const auto& c : cases) {
    const auto minimum = MapTriangleResults(mesh, c.values, TriangleFold::kMinimum);
    const auto mean = MapTriangleResults(mesh, c.values, TriangleFold::kMean);
    for (size_t f = 0; f < 3; ++f) {
      // Equal values keep the first, so even the sign of a zero is the first triangle's.
      EXPECT_EQ(minimum[f], c.minimum[f]) << f;
      EXPECT_EQ(std::signbit(minimum[f]), std::signbit(c.minimum[f])) << f;
      EXPECT_EQ(mean[f], c.mean[f]) << f;
    }
  }
}

TEST(AppendEnclosingBox, AddsABoxTwiceThePartsSizeWhoseValuesNeverReachTheCaller) {
  SMesh mesh = MakeSMesh(Box(2, 1, 1, 1, /*quads=*/true), 1, 1);
  ASSERT_EQ(SetFullTrias(mesh), 0);
  const int32_t nodes = mesh.nbNodes, entries = mesh.szelem, faces = mesh.nbFaces;
  EXPECT_EQ(AppendEnclosingBox(mesh), 0);
  EXPECT_EQ(mesh.nbNodes, nodes + 8);
  EXPECT_EQ(mesh.szelem, entries + 48);
  EXPECT_EQ(mesh.nbFaces, faces + 12);
  // The normalised part spans [0, 10000] x [0, 5000] x [0, 5000]; the box is twice that.
  const double low[3] = {-5000, -2500, -2500}, high[3] = {15000, 7500, 7500};
  for (int32_t i = nodes; i < mesh.nbNodes; ++i) {
    for (int k = 0; k < 3; ++k) {
      const double c = mesh.Node(i)[k];
      EXPECT_TRUE(std::fabs(c - low[k]) < 1e-9 || std::fabs(c - high[k]) < 1e-9) << i << " " << k;
    }
  }
  std::vector<double> values(static_cast<size_t>(mesh.nbFaces), 5.0);
  std::fill(values.end() - 12, values.end(), -100.0);
  values[0] = 1.0;
  EXPECT_EQ(Plain(MapTriangleResults(mesh, values, TriangleFold::kMinimum)),
            (std::vector<double>{1, 5, 5, 5, 5, 5}));
}

TEST(LargeVector, KeepsOverAlignedElementsOnTheirAlignmentOnTheHeapAndInItsOwnMappings) {
  struct alignas(64) Line {
    char bytes[64];
  };
  for (const size_t count : {size_t{3}, size_t{70000}}) {  // 192 B, and 4.5 MB
    LargeVector<Line> lines(count);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(lines.data()) % 64, 0u) << count;
    lines.back().bytes[63] = 1;  // the whole block can be written
  }
}

}  // namespace
}  // namespace vexmor::test
