// The alternating digital tree over face boxes and its range searches, against a brute-force
// filter of every box, plus the tree's own rules: ties go low, depths wrap at 256, boxes are
// single precision.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>

#include "geometry/adt.h"
#include "geometry/adt_search.h"
#include "support/smesh.h"

namespace vexmor::test {
namespace {

// A tree over the domain [lo, hi]^6 with room for `capacity` boxes, filled by AdtInsert.
AdtTree EmptyTree(int32_t capacity, double lo = 0, double hi = 100) {
  AdtTree tree;
  tree.nodes.resize(static_cast<size_t>(capacity));
  tree.capacity = capacity;
  std::fill_n(tree.domainLow, 6, lo);
  std::fill_n(tree.domainHigh, 6, hi);
  return tree;
}

std::vector<int32_t> Faces(const AdtResult& result) {
  std::vector<int32_t> faces;
  for (const AdtNode& node : result)
    faces.push_back(node.faceIndex);
  return faces;
}

std::vector<int32_t> Search(const AdtTree& tree, const double low[6], const double high[6]) {
  AdtResult result(3);  // not empty on entry
  AdtSearch(tree, low, high, result);
  return Faces(result);
}

TEST(AdtInsert, SplitsOneCoordinatePerLevelWithTiesGoingLowUntilNoSlotIsLeft) {
  AdtTree tree = EmptyTree(4);
  const double first[6] = {10, 10, 10, 20, 20, 20}, onSplit[6] = {50, 0, 0, 60, 0, 0},
               aboveSplit[6] = {50.001, 0, 0, 60, 0, 0}, lowLow[6] = {1, 49, 0, 0, 0, 0};
  EXPECT_EQ(AdtInsert(tree, first, 0, 0), 0);
  EXPECT_EQ(tree.root, &tree.nodes[0]);
  // The root splits xmin at 50; below its low child, ymin is split at 50.
  EXPECT_EQ(AdtInsert(tree, onSplit, 1, 4), 1);
  EXPECT_EQ(tree.root->low, &tree.nodes[1]);
  EXPECT_EQ(AdtInsert(tree, aboveSplit, 2, 8), 1);
  EXPECT_EQ(tree.root->high, &tree.nodes[2]);
  EXPECT_EQ(tree.nodes[2].facePos, 8);
  EXPECT_EQ(tree.nodes[2].box[0], 50.001f);
  EXPECT_EQ(AdtInsert(tree, lowLow, 3, 12), 2);
  EXPECT_EQ(tree.nodes[1].low, &tree.nodes[3]);
  EXPECT_EQ(AdtInsert(tree, lowLow, 4, 16), -1);
  EXPECT_EQ(tree.count, 4);
}

TEST(AdtInsert, ChainsIdenticalBoxesWhoseStoredDepthWrapsAndFindsThemAllInOrder) {
  constexpr int32_t kCount = 300;
  AdtTree tree = EmptyTree(kCount);
  const double box[6] = {30, 30, 30, 40, 40, 40};
  // The depth returned counts on from the parent's stored depth: 256 once, then 1 again.
  for (int32_t i = 0; i < kCount; ++i)
    ASSERT_EQ(AdtInsert(tree, box, i, 4 * i), i == 0 ? 0 : (i - 1) % 256 + 1);
  EXPECT_EQ(tree.nodes[255].depth, 255);
  EXPECT_EQ(tree.nodes[256].depth, 0);
  EXPECT_EQ(AdtMaxDepth(tree, tree.root), 255);
  const double low[6] = {0, 0, 0, 39, 39, 39}, high[6] = {31, 31, 31, 100, 100, 100};
  std::vector<int32_t> all(kCount);
  std::iota(all.begin(), all.end(), 0);
  EXPECT_EQ(Search(tree, low, high), all);
}

TEST(AdtSearch, BoundsAreInclusiveInSinglePrecisionAndInvertedRangesFindNothing) {
  AdtTree tree = EmptyTree(4, 0, 10000);
  const double boxes[4][6] = {{10, 10, 10, 20, 20, 20},               // touches the range at x = 20
                              {21, 10, 10, 30, 20, 20},               // clear of it
                              {12, 12, 12, 13, 13, 13},               // within it, but for xmax
                              {20.0000001, 1, 1, 20.0000002, 2, 2}};  // xmin rounds to 20.0f
  for (int32_t i = 0; i < 4; ++i)
    AdtInsert(tree, boxes[i], i, 4 * i);
  const double low[6] = {0, 0, 0, 20, 0, 0}, high[6] = {20, 100, 100, 100, 100, 100};
  EXPECT_EQ(Search(tree, low, high), (std::vector<int32_t>{0, 3}));
  const double invertedLow[6] = {0, 0, 0, 100, 0, 0},
               invertedHigh[6] = {100, 100, 100, 0, 100, 100};
  EXPECT_TRUE(Search(tree, invertedLow, invertedHigh).empty());
  const AdtTree none = EmptyTree(0);
  EXPECT_TRUE(Search(none, none.domainLow, none.domainHigh).empty());
}

TEST(BuildAdtTree, HoldsOneSinglePrecisionBoxPerFaceOverTheNodesThatExist) {
  TestMesh m = InFrame({});
  const int32_t a = m.AddNode(1.0 / 3, 2.0 / 3, 7.1), b = m.AddNode(5000.123456789, 20, 30),
                c = m.AddNode(40, 9000.987654321, 60), d = m.AddNode(70, 80, 90);
  m.elem = {3, a, b, c, 4, a, b, c, d, 0, 3, a, 999, -1};  // a face of no node, missing nodes
  SMesh mesh = MakeSMesh(m);
  BuildAdtTree(mesh);
  const AdtTree& tree = *mesh.adt;
  ASSERT_EQ(tree.count, 4);
  const double boxes[3][6] = {{1.0 / 3, 2.0 / 3, 7.1, 5000.123456789, 9000.987654321, 60},
                              {1.0 / 3, 2.0 / 3, 7.1, 5000.123456789, 9000.987654321, 90},
                              {INFINITY, INFINITY, INFINITY, -INFINITY, -INFINITY, -INFINITY}};
  for (int i = 0; i < 6; ++i) {
    for (int f = 0; f < 3; ++f)
      EXPECT_EQ(tree.nodes[f].box[i], static_cast<float>(boxes[f][i])) << f << " " << i;
    EXPECT_EQ(tree.nodes[3].box[i], static_cast<float>(m.coords[3 * a + i % 3])) << i;
    EXPECT_EQ(tree.domainLow[i], mesh.bbox[i % 3]);
    EXPECT_EQ(tree.domainHigh[i], mesh.bbox[3 + i % 3]);
  }
  EXPECT_EQ(tree.nodes[2].facePos, 9);
  EXPECT_EQ(tree.nodes[3].faceIndex, 3);
  // A second build keeps the tree; a face count below the connectivity's fills only as many.
  BuildAdtTree(mesh);
  EXPECT_EQ(mesh.adt.get(), &tree);
  SMesh fewer = MakeSMesh(Cube());
  fewer.nbFaces = 5;
  BuildAdtTree(fewer);
  EXPECT_EQ(fewer.adt->capacity, 5);
  EXPECT_EQ(Search(*fewer.adt, fewer.adt->domainLow, fewer.adt->domainHigh).size(), 5u);
}

// The answer without the tree: every box inside the range, compared in single precision.
std::vector<int32_t> BruteForce(const AdtTree& tree, const double low[6], const double high[6]) {
  std::vector<int32_t> faces;
  for (int32_t i = 0; i < tree.count; ++i) {
    const AdtNode& node = tree.nodes[static_cast<size_t>(i)];
    bool inside = true;
    for (int k = 0; k < 6; ++k) {
      inside = inside && static_cast<float>(low[k]) <= node.box[k] &&
               node.box[k] <= static_cast<float>(high[k]);
    }
    if (inside) faces.push_back(node.faceIndex);
  }
  return faces;
}

// Face indices of every node in pre-order (node, low subtree, high subtree).
void PreOrder(const AdtNode* node, std::vector<int32_t>& order) {
  for (; node != nullptr; node = node->high) {
    order.push_back(node->faceIndex);
    PreOrder(node->low, order);
  }
}

TEST(AdtSearch, ListsWhatABruteForceFilterFindsInPreOrder) {
  SMesh mesh = MakeSMesh(RandomTriangleSoup(11, 3000, 1.0, 0.05));
  BuildAdtTree(mesh);
  const AdtTree& tree = *mesh.adt;
  std::vector<int32_t> all;
  PreOrder(tree.root, all);
  EXPECT_EQ(Search(tree, tree.domainLow, tree.domainHigh), all);
  std::mt19937 rng(12);
  std::uniform_real_distribution<double> coord(-500, 10500), size(0, 3000);
  for (int q = 0; q < 400; ++q) {
    // Half the queries are face-box overlaps, half arbitrary six-dimensional ranges.
    double low[6], high[6];
    for (int k = 0; k < 6; ++k) {
      low[k] = q % 2 == 0 && k < 3 ? mesh.bbox[k] : coord(rng);
      high[k] = q % 2 == 0 && k >= 3 ? mesh.bbox[k] : low[k] + size(rng);
    }
    const std::vector<int32_t> want = BruteForce(tree, low, high);
    std::vector<int32_t> inPreOrder;
    std::copy_if(all.begin(), all.end(), std::back_inserter(inPreOrder),
                 [&](int32_t f) { return std::binary_search(want.begin(), want.end(), f); });
    ASSERT_EQ(Search(tree, low, high), inPreOrder) << "query " << q;
  }
}

TEST(AdtSearch, ShortcutsThroughChainsOfEqualBoxesChangeNeitherTheTreeNorTheSearch) {
  // Many duplicates of a few boxes among distinct faces: chains and other nodes interleave.
  TestMesh m = InFrame({});
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> coord(0, 9000);
  auto triangle = [&](double size) {
    const double x = coord(rng), y = coord(rng), z = coord(rng);
    return std::array<int32_t, 3>{m.AddNode(x, y, z), m.AddNode(x + size, y, z),
                                  m.AddNode(x, y + size, z + 10)};
  };
  const std::array<int32_t, 3> shared[3] = {triangle(50), triangle(50), triangle(50)};
  for (int i = 0; i < 3000; ++i) {
    const auto t = i % 3 == 0 ? triangle(40) : shared[i % 3 == 1 ? 0 : 1 + (i / 3) % 2];
    m.AddTriangle(t[0], t[1], t[2]);
  }
  SMesh mesh = MakeSMesh(m);
  BuildAdtTree(mesh);
  AdtTree plain = EmptyTree(mesh.nbFaces);
  std::copy_n(mesh.adt->domainLow, 6, plain.domainLow);
  std::copy_n(mesh.adt->domainHigh, 6, plain.domainHigh);
  for (const AdtNode& node : mesh.adt->nodes) {
    const double box[6] = {node.box[0], node.box[1], node.box[2],
                           node.box[3], node.box[4], node.box[5]};
    AdtInsert(plain, box, node.faceIndex, node.facePos);
  }
  auto slot = [](const AdtTree& t, const AdtNode* n) { return n ? n - t.nodes.data() : -1; };
  for (int32_t i = 0; i < mesh.nbFaces; ++i) {
    const AdtNode &x = mesh.adt->nodes[i], &y = plain.nodes[i];
    ASSERT_EQ(slot(*mesh.adt, x.low), slot(plain, y.low)) << "slot " << i;
    ASSERT_EQ(slot(*mesh.adt, x.high), slot(plain, y.high)) << "slot " << i;
    ASSERT_EQ(x.depth, y.depth) << "slot " << i;
  }
  EXPECT_GT(mesh.adt->maxDepth, 200);
  // Twenty thousand copies of one face, near a point and away from it.
  TestMesh copies = InFrame({});
  for (int i = 0; i < 20000; ++i)
    copies.AddTriangle(2, 3, 4);
  copies.coords.insert(copies.coords.end(), {100, 100, 100, 200, 100, 100, 100, 200, 100});
  SMesh many = MakeSMesh(copies);
  BuildAdtTree(many);
  AdtResult near;
  const double point[3] = {150, 150, 100}, away[3] = {99, 99, 99};
  FacesNearPoint(many, 1.0, point, near);
  std::vector<int32_t> all(20000);
  std::iota(all.begin(), all.end(), 0);
  EXPECT_EQ(Faces(near), all);
  FacesNearPoint(many, 0.5, away, near);
  EXPECT_TRUE(near.empty());
}

TEST(FacesNearPoint, FindsTheBoxesThatMeetTheCubeAroundThePoint) {
  SMesh mesh = MakeSMesh(Cube());  // [0, 10000]^3 once normalised
  BuildAdtTree(mesh);
  AdtResult result;
  const double corner[3] = {10000, 10000, 10000}, centre[3] = {5000, 5000, 5000};
  FacesNearPoint(mesh, 0.0, corner, result);
  EXPECT_EQ(result.size(), 6u);  // the three sides at the corner, two triangles each
  FacesNearPoint(mesh, 0.0, centre, result);
  EXPECT_TRUE(result.empty());
  FacesNearPoint(mesh, 5000.0, centre, result);
  EXPECT_EQ(result.size(), 12u);
}

TEST(AdtSearchReach, FilteringAWiderSearchGivesTheNarrowerSearch) {
  SMesh mesh = MakeSMesh(RandomTriangleSoup(21, 2000, 1.0, 0.08));
  BuildAdtTree(mesh);
  const AdtTree& tree = *mesh.adt;
  std::mt19937 rng(22);
  std::uniform_real_distribution<double> coord(-500, 10500), size(0, 4000), unit(0, 1);
  AdtReachResult wide;
  for (int q = 0; q < 300; ++q) {
    double low[6], high[6], subLow[6], subHigh[6];
    for (int k = 0; k < 6; ++k) {
      low[k] = coord(rng);
      high[k] = low[k] + size(rng);
      subLow[k] = low[k] + (high[k] - low[k]) * unit(rng) * 0.5;
      subHigh[k] = high[k] - (high[k] - subLow[k]) * unit(rng) * 0.5;
    }
    ASSERT_TRUE(AdtSearchReach(tree, RoundRange(low, high), wide));
    ASSERT_EQ(wide.size(), Search(tree, low, high).size());
    const AdtRangeF sub = RoundRange(subLow, subHigh);
    std::vector<int32_t> filtered;
    for (const AdtReach& node : wide) {
      if (AdtReaches(node, sub)) filtered.push_back(node.faceIndex);
    }
    ASSERT_EQ(filtered, Search(tree, subLow, subHigh)) << "query " << q;
  }
  // A search that finds more than it may keep says so.
  EXPECT_FALSE(AdtSearchReach(tree, RoundRange(tree.domainLow, tree.domainHigh), wide, 10));
}

}  // namespace
}  // namespace vexmor::test
