// The program's own mesh work: the bundled sample part, faces split into triangles and the
// triangles' values folded back, and the statistics of a set of values.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "analysis/statistics.h"
#include "mesh/mesh_report.h"
#include "mesh/sample_part.h"
#include "mesh/triangulation.h"

namespace vexmor::cli::test {
namespace {

std::vector<std::vector<int32_t>> Triangles(const Triangulation& t) {
  std::vector<std::vector<int32_t>> out;
  for (size_t f = 0; f < t.mesh.faceCount(); ++f)
    out.emplace_back(t.mesh.face(f).begin(), t.mesh.face(f).end());
  return out;
}

TEST(SamplePart, IsAClosedOutwardSolidOfTheDesignedVolumeInFirstSeenNodeOrder) {
  const Mesh part = SamplePart();
  const MeshReport r = InspectMesh(part);
  EXPECT_EQ(r.boundaryEdges + r.nonManifoldEdges + r.misorientedEdges, 0u);
  EXPECT_EQ(r.shells, 1u);
  EXPECT_EQ(r.closedShells, 1u);
  EXPECT_EQ(r.unusedNodes + r.degenerateFaces + r.polygons, 0u);
  EXPECT_GT(r.quadrilaterals, 0u);  // the boss
  EXPECT_EQ(r.box.lo, (Vec3{0, 0, 0}));
  EXPECT_EQ(r.box.hi, (Vec3{80, 50, 16}));
  // Floor 80 x 50 x 3, perimeter wall, rib, boss (a frustum), pocket (a widened cut); the
  // prismatoids are height / 6 x (bottom + top + 4 x middle section).
  const double volume = 80 * 50 * 3 + (80 * 50 - 76 * 46) * 11.0 + 1.25 * 46 * 7 +
                        13.0 / 6 * (12 * 12 + 11 * 11 + 4 * 11.5 * 11.5) -
                        2.0 / 6 * (15 * 17 + 14 * 16 + 4 * 14.5 * 16.5);
  const Triangulation t = Triangulate(part);
  double sixTimes = 0;
  int32_t next = 0;
  for (size_t f = 0; f < t.mesh.faceCount(); ++f) {
    const auto n = t.mesh.face(f);
    const Vec3 a = t.mesh.node(n[0]), b = t.mesh.node(n[1]), c = t.mesh.node(n[2]);
    sixTimes += a[0] * (b[1] * c[2] - b[2] * c[1]) - a[1] * (b[0] * c[2] - b[2] * c[0]) +
                a[2] * (b[0] * c[1] - b[1] * c[0]);
    for (int32_t node : n) {
      ASSERT_LE(node, next);
      next += node == next ? 1 : 0;
    }
  }
  EXPECT_NEAR(sixTimes / 6, volume, 1e-6);
  EXPECT_EQ(static_cast<size_t>(next), part.nodeCount());
  for (double c : part.coords)
    EXPECT_EQ(c, static_cast<double>(static_cast<float>(c)));
}

TEST(Triangulation, FansFromTheFirstNodeUnlessThatWouldDoubleAnEdge) {
  Mesh m;
  for (int i = 0; i < 6; ++i)
    m.addNode(std::cos(i), std::sin(i), 0);
  m.addFace({0, 1, 2});
  m.addFace({5, 4, 3, 2, 1, 0});
  m.addFace({0, 1, 3, 4});  // its diagonal 0-3 is new; the hexagon's are 5-1, 5-2 and 5-3
  const Triangulation t = Triangulate(m);
  EXPECT_EQ(Triangles(t),
            (std::vector<std::vector<int32_t>>{
                {0, 1, 2}, {5, 4, 3}, {5, 3, 2}, {5, 2, 1}, {5, 1, 0}, {0, 1, 3}, {0, 3, 4}}));
  EXPECT_EQ(t.triangleFace, (std::vector<size_t>{0, 1, 1, 1, 1, 2, 2}));
  EXPECT_EQ(t.faceCount, 3u);
  EXPECT_EQ(t.movedFans, 0u);
  EXPECT_EQ(t.mesh.coords, m.coords);
  // A unit cube whose top is two quadrilaterals folded around node 8, which only they share:
  // both first-to-third diagonals are 0-2, so the second is fanned from its second node.
  Mesh cube;
  const double nodes[9][3] = {{0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1},    {0, 0, 0},
                              {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0.7, 0.3, 1}};
  for (const auto& p : nodes)
    cube.addNode(p[0], p[1], p[2]);
  for (const auto& f : {std::vector<int32_t>{0, 8, 2, 3},
                        {2, 8, 0, 1},
                        {4, 7, 6, 5},
                        {4, 5, 1, 0},
                        {5, 6, 2, 1},
                        {6, 7, 3, 2},
                        {7, 4, 0, 3}})
    cube.addFace(f);
  const Triangulation folded = Triangulate(cube);
  EXPECT_EQ(folded.movedFans, 1u);
  const auto triangles = Triangles(folded);
  EXPECT_EQ(triangles[0], (std::vector<int32_t>{0, 8, 2}));
  EXPECT_EQ(triangles[2], (std::vector<int32_t>{8, 0, 1}));
  EXPECT_EQ(triangles[3], (std::vector<int32_t>{8, 1, 2}));
  const MeshReport split = InspectMesh(folded.mesh);
  EXPECT_EQ(split.nonManifoldEdges + split.boundaryEdges + split.misorientedEdges, 0u);
  // A quadrilateral whose first-to-third diagonal is an edge of another face.
  Mesh edge;
  for (int i = 0; i < 5; ++i)
    edge.addNode(i, i * i, 0);
  edge.addFace({0, 1, 2, 3});
  edge.addFace({0, 2, 4});
  EXPECT_EQ(Triangles(Triangulate(edge))[0], (std::vector<int32_t>{1, 2, 3}));
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
  // 0 .. 999 and a million: the histogram keeps its resolution on the thousand and puts the
  // outer 1 % (991 .. 999 and the million) in a tail bin; at either end, and only when far out.
  std::vector<double> values;
  for (int i = 0; i < 1000; ++i)
    values.push_back(i);
  values.push_back(1e6);
  const Distribution far = Describe(values, {}, 10);
  ASSERT_EQ(far.histogram.size(), 10u);
  const HistogramBin &first = far.histogram.front(), &tail = far.histogram.back();
  EXPECT_TRUE(tail.tail && !first.tail);
  EXPECT_EQ(std::make_tuple(tail.from, tail.to, tail.count),
            std::make_tuple(990.0, 1e6, size_t{10}));
  EXPECT_EQ(std::make_tuple(first.from, first.count), std::make_tuple(0.0, size_t{110}));
  for (double& v : values)
    v = -v;
  EXPECT_TRUE(Describe(values, {}, 10).histogram.front().tail);
  values.pop_back();
  for (const HistogramBin& bin : Describe(values, {}, 10).histogram)
    EXPECT_FALSE(bin.tail);
}

}  // namespace
}  // namespace vexmor::cli::test
