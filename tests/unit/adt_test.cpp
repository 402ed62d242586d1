// The alternating digital tree over face boxes and its range searches, against a brute-force
// filter of every box in single precision, with chains of equal boxes and with the wider searches
// that are filtered down.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>

#include "geometry/adt.h"
#include "geometry/adt_search.h"
#include "support/adt_reference.h"
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
void PreOrder(const AdtTree& tree, const AdtNode* node, std::vector<int32_t>& order) {
  for (; node != nullptr; node = tree.High(*node)) {
    order.push_back(node->faceIndex);
    PreOrder(tree, tree.Low(*node), order);
  }
}

TEST(AdtSearch, ListsWhatABruteForceFilterFindsInPreOrder) {
  SMesh mesh = MakeSMesh(RandomTriangleSoup(11, 3000, 1.0, 0.05));
  BuildAdtTree(mesh);
  const AdtTree& tree = *mesh.adt;
  std::vector<int32_t> all;
  PreOrder(tree, tree.root, all);
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
    // The library's own walk, which also notes each node's reach, lists the same.
    AdtReachResult reached;
    ASSERT_TRUE(AdtSearchReach(tree, RoundRange(low, high), reached));
    std::vector<int32_t> reachedFaces;
    for (const AdtReach& node : reached)
      reachedFaces.push_back(node.faceIndex);
    ASSERT_EQ(reachedFaces, inPreOrder) << "query " << q;
  }
}

// The built tree against one by one insertion of the same boxes in face order, slot by slot.
void ExpectTreeOfInsertion(const SMesh& mesh) {
  AdtTree plain = EmptyTree(mesh.nbFaces);
  std::copy_n(mesh.adt->domainLow, 6, plain.domainLow);
  std::copy_n(mesh.adt->domainHigh, 6, plain.domainHigh);
  for (const AdtNode& node : mesh.adt->nodes) {
    const double box[6] = {node.box[0], node.box[1], node.box[2],
                           node.box[3], node.box[4], node.box[5]};
    AdtInsert(plain, box, node.faceIndex, node.facePos);
  }
  ASSERT_EQ(mesh.adt->SlotOf(*mesh.adt->root), plain.SlotOf(*plain.root));
  for (int32_t i = 0; i < mesh.nbFaces; ++i) {
    const AdtNode &x = mesh.adt->nodes[i], &y = plain.nodes[i];
    ASSERT_EQ(x.low, y.low) << "slot " << i;
    ASSERT_EQ(x.high, y.high) << "slot " << i;
    ASSERT_EQ(x.depth, y.depth) << "slot " << i;
  }
}

TEST(AdtBuild, OnDemandListsWhatTheCompleteTreeListsAndCompletesToIt) {
  // Boxes of many sizes, with chains of equal boxes.
  TestMesh m = RandomTriangleSoup(3, 2000, 1.0, 0.3);
  for (int i = 0; i < 40; ++i)
    m.AddTriangle(2 + 3 * (i % 3), 3 + 3 * (i % 3), 4 + 3 * (i % 3));
  SMesh complete = MakeSMesh(m), onDemand = MakeSMesh(m);
  BuildAdtTree(complete);
  BuildAdtTreeOnDemand(onDemand);
  std::mt19937 rng(4);
  std::uniform_real_distribution<double> coord(-500, 10500), size(0, 800);
  for (int q = 0; q < 60; ++q) {
    double low[6], high[6];
    for (int k = 0; k < 6; ++k) {
      low[k] = k < 3 ? complete.bbox[k] : coord(rng);
      high[k] = k >= 3 ? complete.bbox[k] : coord(rng) + size(rng);
    }
    // The library's search places what it enters; the reference walks only the complete tree.
    AdtReachResult found;
    AdtSearchReach(*onDemand.adt, RoundRange(low, high), found);
    std::vector<int32_t> faces;
    for (const AdtReach& reach : found)
      faces.push_back(reach.faceIndex);
    ASSERT_EQ(faces, Search(*complete.adt, low, high)) << "query " << q;
  }
  EXPECT_NE(onDemand.adt->pending, nullptr);
  BuildAdtTree(onDemand);
  EXPECT_EQ(onDemand.adt->pending, nullptr);
  ExpectTreeOfInsertion(onDemand);
  EXPECT_EQ(onDemand.adt->maxDepth, complete.adt->maxDepth);
}

TEST(AdtBuild, GivesTheTreeOfOneByOneInsertionThroughChainsOfEqualBoxes) {
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
  ExpectTreeOfInsertion(mesh);
  EXPECT_GT(mesh.adt->maxDepth, 200);
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
