// The program's own mesh work: faces split into triangles in their planes without folding and
// the triangles' values folded back, and the statistics of a set of values.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <random>
#include <span>

#include "analysis/statistics.h"
#include "mesh/mesh_report.h"
#include "mesh/triangulation.h"

namespace vexmor::cli::test {
namespace {

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

TEST(Triangulation, SplitsEveryFaceInItsPlaneWithoutFolding) {
  std::vector<std::array<double, 2>> comb = {{0, 0}, {9, 0}};  // teeth at 8, 5, 2 and 0
  for (const double x : {9, 6, 3})
    comb.insert(comb.end(), {{x, 5}, {x - 1, 5}, {x - 1, 1}, {x == 3 ? 1 : x - 3, 1}});
  comb.insert(comb.end(), {{1, 5}, {0, 5}});
  struct Case {
    const char* what;
    std::vector<std::array<double, 2>> ring;
    std::vector<int32_t> order;  // node order of the face, when it repeats a node
  } cases[] = {
      {"convex hexagon", {{2, 0}, {1, 1.7}, {-1, 1.7}, {-2, 0}, {-1, -1.7}, {1, -1.7}}, {}},
      {"L from a corner that does not see it all",
       {{20, 0}, {20, 5}, {5, 5}, {5, 20}, {0, 20}, {0, 0}},
       {}},
      {"comb", comb, {}},
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
    const Vec3 whole = VectorArea(face, nodes);
    Vec3 sum{0, 0, 0};
    for (size_t i = 0; i < t.mesh.faceCount(); ++i) {
      const Vec3 a = VectorArea(t.mesh, t.mesh.face(i));
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

TEST(Triangulation, FoldsTriangleValuesBackByMinimumMeanOrAreaAndDropsTheDiagonals) {
  // Face 0: a triangle; face 1: a unit square in two; face 2: a fan of three triangles of areas
  // 1/2, 3 and 0 (collinear nodes); face 3 gave no triangle.
  Triangulation t;
  t.faceCount = 4;
  t.triangleFace = {0, 1, 1, 2, 2, 2};
  for (const Vec3& p : std::vector<Vec3>{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 6, 0}})
    t.mesh.addNode(p[0], p[1], p[2]);
  for (const auto& f :
       {std::vector<int32_t>{0, 1, 2}, {0, 1, 2}, {0, 2, 3}, {1, 2, 0}, {0, 2, 4}, {0, 3, 4}})
    t.mesh.addFace(f);
  const std::vector<double> minimum = FoldMinimum(t, std::vector<double>{7, 2, 4, 1, NAN, 5});
  const std::vector<double> mean = FoldMean(t, std::vector<double>{7, 2, 4, 1, 2, 6});
  const std::vector<double> area = FoldAreaWeightedMean(t, std::vector<double>{7, 2, 4, 1, 2, 100});
  EXPECT_EQ(std::vector<double>(minimum.begin(), minimum.end() - 1),
            (std::vector<double>{7, 2, 1}));
  EXPECT_EQ(std::vector<double>(mean.begin(), mean.end() - 1), (std::vector<double>{7, 3, 3}));
  EXPECT_EQ(area[0], 7);
  EXPECT_DOUBLE_EQ(area[1], 3);
  EXPECT_DOUBLE_EQ(area[2], (0.5 * 1 + 3 * 2) / 3.5);  // the flat triangle weighs nothing
  EXPECT_TRUE(std::isnan(minimum[3]) && std::isnan(mean[3]) && std::isnan(area[3]));
  EXPECT_EQ(ExpandToTriangles(t, std::vector<double>{1, 2, 3, 4}),
            (std::vector<double>{1, 2, 2, 3, 3, 3}));
  // A face without area takes its first triangle's value.
  Triangulation flat;
  flat.faceCount = 1;
  flat.triangleFace = {0, 0};
  for (int i = 0; i < 3; ++i)
    flat.mesh.addNode(i, 0, 0);
  flat.mesh.addFace({0, 1, 2});
  flat.mesh.addFace({0, 2, 1});
  EXPECT_EQ(FoldAreaWeightedMean(flat, std::vector<double>{0.25, 0.75})[0], 0.25);
  // Edges as the library lists them for the split mesh, in any order and orientation.
  Mesh m;
  for (int i = 0; i < 6; ++i)
    m.addNode(i, 0, 0);
  m.addFace({0, 1, 2, 3, 4});
  m.addFace({5, 4, 3});
  std::vector<int32_t> edges = {1, 0, 0, 2, 2, 1, 3, 0, 4, 3, 5, 4, 3, 5, 4, 0, 3, 2};
  std::vector<double> values = {10, 20, 30, 40, 50, 60, 70, 80, 90};
  DropSplitDiagonals(m, edges, values);
  EXPECT_EQ(edges, (std::vector<int32_t>{1, 0, 2, 1, 4, 3, 5, 4, 3, 5, 4, 0, 3, 2}));
  EXPECT_EQ(values, (std::vector<double>{10, 30, 50, 60, 70, 80, 90}));
}

TEST(Statistics, DescribeTheFiniteValuesWithWeightsLimitsAndATailBinForFarOutliers) {
  const Distribution d = Describe(std::vector<double>{4, NAN, 1, 3, INFINITY, 2, 5}, {}, 4);
  EXPECT_EQ(d.count, 5u);
  EXPECT_EQ(d.missing, 2u);
  EXPECT_EQ(std::vector<double>({d.min, d.max, d.mean, d.median}),
            std::vector<double>({1, 5, 3, 3}));
  EXPECT_DOUBLE_EQ(d.p5, 1.2);
  EXPECT_DOUBLE_EQ(d.p95, 4.8);
  EXPECT_FALSE(d.weighted);
  ASSERT_EQ(d.histogram.size(), 4u);
  EXPECT_EQ(d.histogram.back().count, 2u);  // 4 and the maximum 5
  // Weighted by area, with limits.
  const Distribution w =
      Describe(std::vector<double>{1, 1, 10}, std::vector<double>{1, 1, 8}, 2, {2.0, 9.0});
  EXPECT_TRUE(w.weighted);
  EXPECT_DOUBLE_EQ(w.weightedMean, 8.2);
  EXPECT_DOUBLE_EQ(w.histogram[0].share, 0.2);
  EXPECT_DOUBLE_EQ(w.histogram[1].share, 0.8);
  EXPECT_EQ(std::make_pair(w.below, w.above), std::make_pair(size_t{2}, size_t{1}));
  EXPECT_DOUBLE_EQ(w.belowShare, 0.2);
  EXPECT_DOUBLE_EQ(w.aboveShare, 0.8);
  // Equal values fill one bin; no finite value, none.
  const Distribution same = Describe(std::vector<double>{2, 2, 2}, {}, 10);
  ASSERT_EQ(same.histogram.size(), 1u);
  EXPECT_EQ(same.histogram[0].count, 3u);
  EXPECT_TRUE(Describe(std::vector<double>{NAN}, {}, 10).histogram.empty());
  // 0 .. 999 and a million: the histogram keeps its resolution on the thousand (nine bins
  // wanted for 0 .. 990, the 99th percentile, give five of 200) and puts the million in a tail
  // bin; at either end, and only when far out.
  std::vector<double> values;
  for (int i = 0; i < 1000; ++i)
    values.push_back(i);
  values.push_back(1e6);
  const Distribution far = Describe(values, {}, 10);
  ASSERT_EQ(far.histogram.size(), 6u);
  const HistogramBin &first = far.histogram.front(), &tail = far.histogram.back();
  EXPECT_TRUE(tail.tail && !first.tail);
  EXPECT_EQ(std::make_tuple(tail.from, tail.to, tail.count),
            std::make_tuple(1000.0, 1e6, size_t{1}));
  EXPECT_EQ(std::make_tuple(first.from, first.to, first.count),
            std::make_tuple(0.0, 200.0, size_t{200}));
  for (double& v : values)
    v = -v;
  EXPECT_TRUE(Describe(values, {}, 10).histogram.front().tail);
  values.pop_back();
  for (const HistogramBin& bin : Describe(values, {}, 10).histogram)
    EXPECT_FALSE(bin.tail);
}

TEST(Statistics, PercentilesAreThoseOfTheSortedValuesForAnyCountAndRepeats) {
  std::mt19937 rng(3);
  for (size_t n : {1, 2, 3, 7, 100, 101, 1000, 4097}) {
    std::uniform_int_distribution<int> value(0, n < 100 ? 5 : 1000);  // repeats, and -0
    std::vector<double> values;
    for (size_t i = 0; i < n; ++i)
      values.push_back(i % 7 == 3 ? -0.0 : value(rng) * 0.25);
    std::vector<double> sorted = values;
    std::sort(sorted.begin(), sorted.end());
    auto percentile = [&](double fraction) {  // linear between the two nearest ranks
      const double rank = fraction * static_cast<double>(n - 1);
      const size_t lo = static_cast<size_t>(std::floor(rank)), hi = std::min(lo + 1, n - 1);
      return sorted[lo] + (sorted[hi] - sorted[lo]) * (rank - static_cast<double>(lo));
    };
    const Distribution d = Describe(values, {}, 10);
    EXPECT_EQ(std::vector<double>({d.min, d.max, d.p5, d.median, d.p95}),
              std::vector<double>({sorted.front(), sorted.back(), percentile(0.05), percentile(0.5),
                                   percentile(0.95)}))
        << n << " values";
    EXPECT_FALSE(std::signbit(d.min)) << "a minimum of 0 reads 0, not -0";
  }
}

TEST(Statistics, HistogramBinEdgesAreRoundNumbers) {
  // 0.37 .. 2.91 in six bins: edges 0.37, 0.793, ... would not be readable; 0.5 steps are.
  const Distribution d = Describe(std::vector<double>{0.37, 1.1, 2.91}, {}, 6);
  ASSERT_EQ(d.histogram.size(), 6u);
  EXPECT_EQ(d.histogram.front().from, 0);
  EXPECT_EQ(d.histogram.back().to, 3);
  EXPECT_EQ(d.histogram[2].from, 1);
}

}  // namespace
}  // namespace vexmor::cli::test
