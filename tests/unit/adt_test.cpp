// The search box, the alternating digital tree over face boxes and its range search.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "geometry/adt.h"
#include "geometry/adt_search.h"
#include "geometry/bbox.h"
#include "mesh/smesh.h"
#include "support/mesh_fixtures.h"
#include "support/spatial_fixtures.h"

namespace vexmor::test {
namespace {

// A tree over the domain [0, 100]^6 with room for `capacity` boxes, filled by AdtInsert.
AdtTree EmptyTree(int32_t capacity, double lo = 0, double hi = 100) {
  AdtTree tree;
  tree.nodes.resize(static_cast<size_t>(capacity));
  tree.capacity = capacity;
  std::fill(tree.domainLow, tree.domainLow + 6, lo);
  std::fill(tree.domainHigh, tree.domainHigh + 6, hi);
  return tree;
}

std::vector<int32_t> FaceIndices(const AdtResult& result) {
  std::vector<int32_t> faces;
  for (const AdtNode& node : result)
    faces.push_back(node.faceIndex);
  return faces;
}

// Face indices of every node in pre-order (node, low subtree, high subtree).
std::vector<int32_t> PreOrder(const AdtNode* node) {
  std::vector<int32_t> order;
  std::vector<const AdtNode*> pending;
  if (node != nullptr) pending.push_back(node);
  while (!pending.empty()) {
    const AdtNode* cur = pending.back();
    pending.pop_back();
    order.push_back(cur->faceIndex);
    if (cur->high) pending.push_back(cur->high);
    if (cur->low) pending.push_back(cur->low);
  }
  return order;
}

// The answer of the search without the tree: every box inside the range, compared in single
// precision like the search does.
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

// Whether two trees have the same shape: the same node in every slot, the same children.
void ExpectSameShape(const AdtTree& a, const AdtTree& b) {
  ASSERT_EQ(a.count, b.count);
  auto slot = [](const AdtTree& t, const AdtNode* n) {
    return n == nullptr ? -1 : static_cast<int>(n - t.nodes.data());
  };
  EXPECT_EQ(slot(a, a.root), slot(b, b.root));
  for (int32_t i = 0; i < a.count; ++i) {
    const AdtNode& x = a.nodes[static_cast<size_t>(i)];
    const AdtNode& y = b.nodes[static_cast<size_t>(i)];
    ASSERT_EQ(slot(a, x.low), slot(b, y.low)) << "slot " << i;
    ASSERT_EQ(slot(a, x.high), slot(b, y.high)) << "slot " << i;
    ASSERT_EQ(x.depth, y.depth) << "slot " << i;
  }
}

TEST(ComputeBBox, EnlargesTheNodeBoxAboutItsCentre) {
  TestMesh m;
  m.AddNode(0, 0, 0);
  m.AddNode(10000, 5000, 2000);
  SMesh mesh = MakeSMesh(m);
  ComputeBBox(mesh);
  EXPECT_EQ(mesh.bboxDone, 1);
  const double expected[6] = {-500, -250, -100, 10500, 5250, 2100};
  for (int i = 0; i < 6; ++i)
    EXPECT_DOUBLE_EQ(mesh.bbox[i], expected[i]) << i;
  EXPECT_DOUBLE_EQ(mesh.halfDiag, 0.5 * std::sqrt(11000.0 * 11000 + 5500.0 * 5500 + 2200.0 * 2200));

  ComputeBBox(mesh, true);
  const double wide[6] = {-5000, -2500, -1000, 15000, 7500, 3000};
  for (int i = 0; i < 6; ++i)
    EXPECT_DOUBLE_EQ(mesh.bbox[i], wide[i]) << i;
}

TEST(ComputeBBox, SingleNodeGivesAPointAndNoNodeAnEmptyBox) {
  TestMesh one;
  one.AddNode(3, 4, 5);
  SMesh mesh = MakeSMesh(one);
  ComputeBBox(mesh);
  for (int k = 0; k < 3; ++k)
    EXPECT_EQ(mesh.bbox[k], mesh.bbox[k + 3]);
  EXPECT_EQ(mesh.halfDiag, 0.0);

  SMesh empty = MakeSMesh(TestMesh{});
  ComputeBBox(empty);
  EXPECT_EQ(empty.bbox[0], INFINITY);
  EXPECT_EQ(empty.bbox[3], -INFINITY);
}

TEST(AdtInsert, RootThenOneLevelPerSplitWithTiesGoingLow) {
  AdtTree tree = EmptyTree(4);
  const double first[6] = {10, 10, 10, 20, 20, 20};
  EXPECT_EQ(AdtInsert(tree, first, 0, 0), 0);
  EXPECT_EQ(tree.root, &tree.nodes[0]);
  EXPECT_EQ(tree.root->depth, 0);

  // The root splits xmin at 50: a key of exactly 50 goes low, 50.001 goes high.
  const double onSplit[6] = {50, 0, 0, 60, 0, 0};
  const double aboveSplit[6] = {50.001, 0, 0, 60, 0, 0};
  EXPECT_EQ(AdtInsert(tree, onSplit, 1, 4), 1);
  EXPECT_EQ(tree.root->low, &tree.nodes[1]);
  EXPECT_EQ(AdtInsert(tree, aboveSplit, 2, 8), 1);
  EXPECT_EQ(tree.root->high, &tree.nodes[2]);
  EXPECT_EQ(tree.nodes[2].depth, 1);
  EXPECT_EQ(tree.nodes[2].facePos, 8);
  EXPECT_EQ(tree.nodes[2].box[0], 50.001f);

  // Below the first low child, ymin is split at 50 (its region is [0, 50] x [0, 100] ...).
  const double lowLow[6] = {1, 49, 0, 0, 0, 0};
  EXPECT_EQ(AdtInsert(tree, lowLow, 3, 12), 2);
  EXPECT_EQ(tree.nodes[1].low, &tree.nodes[3]);
  EXPECT_EQ(AdtInsert(tree, lowLow, 4, 16), -1) << "no slot left";
  EXPECT_EQ(tree.count, 4);
}

TEST(AdtInsert, IdenticalBoxesChainAndTheStoredDepthWraps) {
  constexpr int32_t kCount = 300;
  AdtTree tree = EmptyTree(kCount);
  const double box[6] = {30, 30, 30, 40, 40, 40};
  // The depth returned counts on from the parent's stored depth: 256 once, then 1 again.
  for (int32_t i = 0; i < kCount; ++i)
    ASSERT_EQ(AdtInsert(tree, box, i, 4 * i), i == 0 ? 0 : (i - 1) % 256 + 1);
  EXPECT_EQ(tree.nodes[255].depth, 255);
  EXPECT_EQ(tree.nodes[256].depth, 0);
  EXPECT_EQ(tree.nodes[299].depth, 43);
  EXPECT_EQ(AdtMaxDepth(tree, tree.root), 255);

  // Every one of them is found, in chain order, whatever the depth.
  const double low[6] = {0, 0, 0, 39, 39, 39}, high[6] = {31, 31, 31, 100, 100, 100};
  AdtResult result;
  AdtSearch(tree, low, high, result);
  ASSERT_EQ(result.size(), static_cast<size_t>(kCount));
  for (int32_t i = 0; i < kCount; ++i)
    EXPECT_EQ(result[static_cast<size_t>(i)].faceIndex, i);
}

TEST(BuildAdtTree, OneNodePerFaceWithSinglePrecisionBoxes) {
  TestMesh m = InFrame({});
  const int32_t a = m.AddNode(1.0 / 3, 2.0 / 3, 7.1);
  const int32_t b = m.AddNode(5000.123456789, 20, 30);
  const int32_t c = m.AddNode(40, 9000.987654321, 60);
  const int32_t d = m.AddNode(70, 80, 90);
  m.AddTriangle(a, b, c);
  m.AddQuad(a, b, c, d);
  m.elem.push_back(0);  // a face with no node
  SMesh mesh = MakeSMesh(m);
  BuildAdtTree(mesh);
  ASSERT_TRUE(mesh.adt);
  const AdtTree& tree = *mesh.adt;
  EXPECT_EQ(tree.capacity, 3);
  EXPECT_EQ(tree.count, 3);
  EXPECT_EQ(tree.root, &tree.nodes[0]);
  const AdtNode& first = tree.nodes[0];
  EXPECT_EQ(first.facePos, 0);
  EXPECT_EQ(first.box[0], static_cast<float>(1.0 / 3));
  EXPECT_EQ(first.box[3], static_cast<float>(5000.123456789));
  EXPECT_EQ(first.box[4], static_cast<float>(9000.987654321));
  EXPECT_EQ(first.box[5], 60.0f);
  EXPECT_EQ(tree.nodes[1].faceIndex, 1);
  EXPECT_EQ(tree.nodes[1].facePos, 4);
  EXPECT_EQ(tree.nodes[1].box[5], 90.0f);
  EXPECT_EQ(tree.nodes[2].facePos, 9);
  EXPECT_EQ(tree.nodes[2].box[0], INFINITY);
  EXPECT_EQ(tree.nodes[2].box[3], -INFINITY);
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(tree.domainLow[k], mesh.bbox[k]);
    EXPECT_EQ(tree.domainLow[k + 3], mesh.bbox[k]);
    EXPECT_EQ(tree.domainHigh[k + 3], mesh.bbox[k + 3]);
  }
}

TEST(BuildAdtTree, SecondCallKeepsTheFirstTree) {
  SMesh mesh = MakeSMesh(Cube());
  BuildAdtTree(mesh);
  const AdtTree* first = mesh.adt.get();
  BuildAdtTree(mesh);
  EXPECT_EQ(mesh.adt.get(), first);
  EXPECT_EQ(mesh.adt->count, 12);
}

TEST(BuildAdtTree, NeverInsertsMoreFacesThanItHasSlots) {
  SMesh mesh = MakeSMesh(Cube());
  mesh.nbFaces = 5;  // the face count no longer matches the connectivity
  BuildAdtTree(mesh);
  EXPECT_EQ(mesh.adt->capacity, 5);
  EXPECT_EQ(mesh.adt->count, 5);
  AdtResult all;
  AdtSearch(*mesh.adt, mesh.adt->domainLow, mesh.adt->domainHigh, all);
  EXPECT_EQ(all.size(), 5u);
}

TEST(BuildAdtTree, SkipsNodeNumbersThatDoNotExist) {
  TestMesh m = InFrame({});
  const int32_t a = m.AddNode(10, 10, 10), b = m.AddNode(20, 30, 40);
  m.AddTriangle(a, b, 999);
  m.AddTriangle(-1, -2, -3);
  SMesh mesh = MakeSMesh(m);
  BuildAdtTree(mesh);
  const AdtNode& face = mesh.adt->nodes[0];
  EXPECT_EQ(face.box[0], 10.0f);
  EXPECT_EQ(face.box[5], 40.0f);
  EXPECT_EQ(mesh.adt->nodes[1].box[0], INFINITY);
}

TEST(BuildAdtTree, ShortcutsThroughChainsBuildTheSameTreeAsPlainInsertion) {
  // Many duplicates of a few boxes, interleaved with distinct faces, so that chains and other
  // nodes hang below one another.
  TestMesh m = InFrame({});
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> coord(0, 9000);
  std::vector<int32_t> shared;
  for (int i = 0; i < 3; ++i) {
    const double x = coord(rng), y = coord(rng), z = coord(rng);
    shared.push_back(m.AddNode(x, y, z));
    shared.push_back(m.AddNode(x + 50, y, z));
    shared.push_back(m.AddNode(x, y + 50, z + 10));
  }
  for (int i = 0; i < 3000; ++i) {
    if (i % 3 == 0) {
      const double x = coord(rng), y = coord(rng), z = coord(rng);
      m.AddTriangle(m.AddNode(x, y, z), m.AddNode(x + 40, y, z), m.AddNode(x, y + 40, z));
    } else {
      const size_t s = static_cast<size_t>(3 * (i % 3 == 1 ? 0 : 1 + (i / 3) % 2));
      m.AddTriangle(shared[s], shared[s + 1], shared[s + 2]);
    }
  }
  SMesh mesh = MakeSMesh(m);
  BuildAdtTree(mesh);

  AdtTree plain = EmptyTree(mesh.nbFaces);
  std::copy(mesh.adt->domainLow, mesh.adt->domainLow + 6, plain.domainLow);
  std::copy(mesh.adt->domainHigh, mesh.adt->domainHigh + 6, plain.domainHigh);
  for (int32_t i = 0; i < mesh.adt->count; ++i) {
    const AdtNode& node = mesh.adt->nodes[static_cast<size_t>(i)];
    double box[6];
    for (int k = 0; k < 6; ++k)
      box[k] = node.box[k];
    AdtInsert(plain, box, node.faceIndex, node.facePos);
  }
  ExpectSameShape(*mesh.adt, plain);
  EXPECT_GT(mesh.adt->maxDepth, 200);
}

TEST(AdtSearch, WholeDomainListsEveryFaceInPreOrderRootFirst) {
  SMesh mesh = MakeSMesh(Box(3, 2, 1, 4));
  BuildAdtTree(mesh);
  const AdtTree& tree = *mesh.adt;
  AdtResult result;
  AdtSearch(tree, tree.domainLow, tree.domainHigh, result);
  ASSERT_EQ(result.size(), static_cast<size_t>(mesh.nbFaces));
  EXPECT_EQ(result.front().faceIndex, 0);
  EXPECT_EQ(FaceIndices(result), PreOrder(tree.root));
}

TEST(AdtSearch, BoundsAreInclusiveAndInvertedRangesFindNothing) {
  AdtTree tree = EmptyTree(3);
  const double left[6] = {10, 10, 10, 20, 20, 20};    // touches the query box at x = 20
  const double right[6] = {21, 10, 10, 30, 20, 20};   // clear of it
  const double inside[6] = {12, 12, 12, 13, 13, 13};  // within it
  AdtInsert(tree, left, 0, 0);
  AdtInsert(tree, right, 1, 4);
  AdtInsert(tree, inside, 2, 8);
  // Faces whose boxes meet the box [20, 20.5] x [0, 100] x [0, 100]... on x only from 20.
  const double low[6] = {0, 0, 0, 20, 0, 0}, high[6] = {20.5, 100, 100, 100, 100, 100};
  AdtResult result(5);  // not empty on entry
  AdtSearch(tree, low, high, result);
  EXPECT_EQ(FaceIndices(result), (std::vector<int32_t>{0}));

  const double inverted[6] = {0, 0, 0, 100, 0, 0}, invertedHigh[6] = {100, 100, 100, 0, 100, 100};
  AdtSearch(tree, inverted, invertedHigh, result);
  EXPECT_TRUE(result.empty());
}

TEST(AdtSearch, ComparesInSinglePrecision) {
  AdtTree tree = EmptyTree(1, 0, 10000);
  const double box[6] = {5000.0002, 1, 1, 5000.0003, 2, 2};  // xmin rounds to 5000.0f
  AdtInsert(tree, box, 0, 0);
  const double low[6] = {0, 0, 0, 0, 0, 0}, high[6] = {5000.0, 10000, 10000, 10000, 10000, 10000};
  AdtResult result;
  AdtSearch(tree, low, high, result);
  EXPECT_EQ(result.size(), 1u);
}

TEST(AdtSearch, EmptyTreeFindsNothing) {
  AdtTree tree = EmptyTree(0);
  AdtResult result(3);
  AdtSearch(tree, tree.domainLow, tree.domainHigh, result);
  EXPECT_TRUE(result.empty());
}

TEST(FacesNearPoint, ZeroRadiusFindsTheBoxesHoldingThePoint) {
  SMesh mesh = MakeSMesh(Cube(1.0));  // normalised to [0, 10000]^3
  BuildAdtTree(mesh);
  AdtResult result;
  const double corner[3] = {10000, 10000, 10000};
  FacesNearPoint(mesh, 0.0, corner, result);
  // The three sides at the far corner hold 2 triangles each, all of whose boxes are the side.
  EXPECT_EQ(result.size(), 6u);
  const double centre[3] = {5000, 5000, 5000};
  FacesNearPoint(mesh, 0.0, centre, result);
  EXPECT_TRUE(result.empty());
  FacesNearPoint(mesh, 5000.0, centre, result);
  EXPECT_EQ(result.size(), 12u);
}

TEST(AdtSearch, AgreesWithABruteForceFilterOnRandomBoxes) {
  const TestMesh soup = RandomTriangleSoup(11, 3000, 1.0, 0.05);
  SMesh mesh = MakeSMesh(soup);
  BuildAdtTree(mesh);
  const AdtTree& tree = *mesh.adt;
  std::mt19937 rng(12);
  std::uniform_real_distribution<double> coord(-500, 10500), size(0, 3000);
  AdtResult result;
  for (int q = 0; q < 400; ++q) {
    // Half the queries are face-box overlaps, half arbitrary six-dimensional ranges.
    double low[6], high[6];
    for (int k = 0; k < 6; ++k) {
      low[k] = coord(rng);
      high[k] = low[k] + size(rng);
    }
    if (q % 2 == 0) {
      for (int k = 0; k < 3; ++k) {
        low[k] = mesh.bbox[k];
        high[k + 3] = mesh.bbox[k + 3];
      }
    }
    AdtSearch(tree, low, high, result);
    std::vector<int32_t> found = FaceIndices(result);
    std::vector<int32_t> expected = BruteForce(tree, low, high);
    // Pre-order is checked elsewhere; here the sets must agree and hold no duplicates.
    std::sort(found.begin(), found.end());
    ASSERT_EQ(std::adjacent_find(found.begin(), found.end()), found.end());
    ASSERT_EQ(found, expected) << "query " << q;
  }
}

TEST(AdtSearchReach, FilteringAWiderSearchGivesTheNarrowerSearch) {
  const TestMesh soup = RandomTriangleSoup(21, 2000, 1.0, 0.08);
  SMesh mesh = MakeSMesh(soup);
  BuildAdtTree(mesh);
  const AdtTree& tree = *mesh.adt;
  std::mt19937 rng(22);
  std::uniform_real_distribution<double> coord(-500, 10500), size(0, 4000), unit(0, 1);
  AdtResult narrow;
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
    AdtSearch(tree, subLow, subHigh, narrow);
    const AdtRangeF sub = RoundRange(subLow, subHigh);
    std::vector<int32_t> filtered;
    for (const AdtReach& node : wide) {
      if (AdtReaches(node, sub)) filtered.push_back(node.faceIndex);
    }
    ASSERT_EQ(filtered, FaceIndices(narrow)) << "query " << q;
    // The wider search lists its own result in the same order as AdtSearch.
    AdtSearch(tree, low, high, narrow);
    ASSERT_EQ(wide.size(), narrow.size());
  }
  // A search that finds more than it may keep says so.
  EXPECT_FALSE(AdtSearchReach(tree, RoundRange(tree.domainLow, tree.domainHigh), wide, 10));
}

TEST(AdtSearch, ThousandsOfIdenticalFacesNeitherOverflowNorGetLost) {
  TestMesh m = InFrame({});
  const int32_t a = m.AddNode(100, 100, 100), b = m.AddNode(200, 100, 100),
                c = m.AddNode(100, 200, 100);
  constexpr int kCopies = 20000;
  for (int i = 0; i < kCopies; ++i)
    m.AddTriangle(a, b, c);
  SMesh mesh = MakeSMesh(m);
  BuildAdtTree(mesh);
  AdtResult result;
  const double point[3] = {150, 150, 100};
  FacesNearPoint(mesh, 1.0, point, result);
  ASSERT_EQ(result.size(), static_cast<size_t>(kCopies));
  for (int i = 0; i < kCopies; ++i)
    ASSERT_EQ(result[static_cast<size_t>(i)].faceIndex, i);
  const double away[3] = {99, 99, 99};  // the search walks the chain and keeps nothing
  FacesNearPoint(mesh, 0.5, away, result);
  EXPECT_TRUE(result.empty());
}

}  // namespace
}  // namespace vexmor::test
