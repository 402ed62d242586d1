// The edge hash table: lookup in either node order, collisions, bucket sizing and growth, and
// edge numbers that never change.
#include <gtest/gtest.h>

#include <vector>

#include "topology/edge_hash.h"

namespace vexmor::test {
namespace {

Edge MakeEdge(int32_t a, int32_t b, int32_t face = 0) {
  Edge e;
  e.node1 = a;
  e.node2 = b;
  e.facePos = {4 * face, -1};
  e.faceIndex = {face, -1};
  e.faceCount = 1;
  return e;
}

TEST(EdgeHash, FindsAnEdgeByEitherNodeOrderAndStoresItOnce) {
  EdgeHash table;
  table.Reset(32768);
  EXPECT_EQ(table.Find(3, 7), 0);
  const int32_t number = table.Insert(MakeEdge(7, 3, 5));
  EXPECT_EQ(number, 1);
  EXPECT_EQ(table.Find(3, 7), number);
  EXPECT_EQ(table.Find(7, 3), number);
  // The same pair again, in the other order: no new record, the first one is untouched.
  EXPECT_EQ(table.Insert(MakeEdge(3, 7, 9)), number);
  EXPECT_EQ(table.RecordCount(), 1);
  const Edge& stored = table.Record(number - 1);
  EXPECT_EQ(stored.node1, 7);
  EXPECT_EQ(stored.node2, 3);
  EXPECT_EQ(stored.faceIndex[0], 5);
  EXPECT_EQ(stored.facePos[0], 20);
  // Pairs never inserted, including ones that share a node with the stored edge.
  EXPECT_EQ(table.Find(3, 8), 0);
  EXPECT_EQ(table.Find(7, 7), 0);
  EXPECT_EQ(table.Find(-3, -7), 0);
}

TEST(EdgeHash, InsertCopiesTheRecord) {
  EdgeHash table;
  table.Reset(100);
  Edge e = MakeEdge(1, 2);
  const int32_t number = table.Insert(e);
  e.node1 = 40;
  e.faceCount = 3;
  EXPECT_EQ(table.Record(number - 1).node1, 1);
  EXPECT_EQ(table.Record(number - 1).faceCount, 1);
}

TEST(EdgeHash, CollidingPairsAreBothStoredAndFound) {
  // 23 * 1 + 2 and 23 * 0 + 25 hash alike.
  EdgeHash table;
  table.Reset(100);
  const int32_t first = table.Insert(MakeEdge(1, 2));
  const int32_t second = table.Insert(MakeEdge(25, 0));
  EXPECT_NE(first, second);
  EXPECT_EQ(table.Find(2, 1), first);
  EXPECT_EQ(table.Find(0, 25), second);
  EXPECT_EQ(table.Record(second - 1).node1, 25);
}

TEST(EdgeHash, ResetSizesTheBucketsAndEmptiesTheTable) {
  const struct {
    uint32_t size;
    uint32_t buckets;
  } cases[] = {{32768, 65536}, {100, 256}, {129, 512}, {1, 256}, {128, 256}};
  for (const auto& c : cases) {
    EdgeHash table;
    EXPECT_EQ(table.BucketCount(), 0u);
    EXPECT_EQ(table.Find(4, 5), 0);  // no buckets yet: nothing is found
    table.Reset(c.size);
    EXPECT_EQ(table.BucketCount(), c.buckets) << "size " << c.size;
    table.Insert(MakeEdge(4, 5));
    table.Reset(c.size);
    EXPECT_EQ(table.BucketCount(), c.buckets) << "size " << c.size;
    EXPECT_EQ(table.RecordCount(), 0);
    EXPECT_EQ(table.RecordCapacity(), 0u);
    EXPECT_EQ(table.Find(4, 5), 0);
  }
  // A size equal to the bucket count keeps the buckets as they are.
  EdgeHash table;
  table.Reset(300);
  ASSERT_EQ(table.BucketCount(), 1024u);
  table.Reset(1024);
  EXPECT_EQ(table.BucketCount(), 1024u);
}

TEST(EdgeHash, FirstInsertWithoutBucketsCreatesThem) {
  EdgeHash table;
  EXPECT_EQ(table.Insert(MakeEdge(8, 9)), 1);
  EXPECT_EQ(table.BucketCount(), 32768u);
  EXPECT_EQ(table.Find(9, 8), 1);
}

TEST(EdgeHash, RecordArrayGrowsByHalf) {
  EdgeHash table;
  table.Reset(32768);
  std::vector<uint32_t> capacities;
  for (int32_t i = 0; i < 27; ++i) {
    table.Insert(MakeEdge(i, i + 1));
    if (capacities.empty() || capacities.back() != table.RecordCapacity()) {
      capacities.push_back(table.RecordCapacity());
    }
  }
  EXPECT_EQ(capacities, (std::vector<uint32_t>{1, 2, 3, 5, 8, 12, 18, 27}));
}

TEST(EdgeHash, GrowingKeepsEveryEdgeNumber) {
  EdgeHash table;
  table.Reset(32768);
  ASSERT_EQ(table.BucketCount(), 65536u);
  // Pairs spread over many nodes, some sharing nodes, all distinct.
  auto pair = [](int32_t i) { return std::pair<int32_t, int32_t>{i / 3, i / 3 + 1 + i % 3 * 97}; };
  const Edge* firstRecord = nullptr;
  for (int32_t i = 0; i < 52428; ++i) {
    const auto [a, b] = pair(i);
    ASSERT_EQ(table.Insert(MakeEdge(a, b)), i + 1);
    if (i == 0) firstRecord = &table.Record(0);
  }
  EXPECT_EQ(table.BucketCount(), 65536u);  // 52428 is not above 80% of 65536
  const auto [a, b] = pair(52428);
  EXPECT_EQ(table.Insert(MakeEdge(a, b)), 52429);
  EXPECT_EQ(table.BucketCount(), 131072u);
  // Records do not move either: a reference taken before the growth stays valid.
  EXPECT_EQ(firstRecord, &table.Record(0));
  for (int32_t i = 0; i <= 52428; ++i) {
    const auto [x, y] = pair(i);
    ASSERT_EQ(table.Find(y, x), i + 1) << "pair " << i;
  }
  EXPECT_EQ(table.Find(0, 5), 0);
}

TEST(EdgeHash, ReleaseForgetsEverything) {
  EdgeHash table;
  table.Reset(300);
  table.Insert(MakeEdge(1, 2));
  table.Release();
  EXPECT_EQ(table.RecordCount(), 0);
  EXPECT_EQ(table.BucketCount(), 0u);
  EXPECT_EQ(table.Find(1, 2), 0);
  // Usable again afterwards.
  EXPECT_EQ(table.Insert(MakeEdge(2, 1)), 1);
  EXPECT_EQ(table.Find(1, 2), 1);
}

}  // namespace
}  // namespace vexmor::test
