#include "topology/edge_hash.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <utility>

#include "mesh/prefetch.h"
#include "mesh/trace.h"

namespace vexmor {
namespace {

// Symmetric in its arguments: the smaller node (as a signed number) is weighted by 23.
uint32_t HashPair(int32_t a, int32_t b) {
  const int32_t lo = a < b ? a : b;
  const int32_t hi = a < b ? b : a;
  return 23u * static_cast<uint32_t>(lo) + static_cast<uint32_t>(hi);
}

// Double hashing over a power-of-two table: the odd step visits every bucket.
struct ProbeSequence {
  uint32_t bucket;
  uint32_t step;
  uint32_t mask;
  ProbeSequence(uint32_t hash, uint32_t bucketCount)
      : bucket(hash & (bucketCount - 1)),
        step((hash % (bucketCount - 1)) | 1u),
        mask(bucketCount - 1) {}
  void Next() { bucket = (bucket + step) & mask; }
};

// The unordered pair a, b as (smaller, larger).
struct NodePair {
  int32_t low;
  int32_t high;
  NodePair(int32_t a, int32_t b) : low(a < b ? a : b), high(a < b ? b : a) {}
};

}  // namespace

EdgeHash::EdgeHash(uint32_t initialCapacity) {
  try {
    records_.reserve(initialCapacity);
    records_.assign(initialCapacity, nullptr);
  } catch (const std::bad_alloc&) {
    recordCapacity_ = 0;
    recordCount_ = 0;
    throw kFirstAllocationFailed;
  }
  recordCapacity_ = initialCapacity;
}

void EdgeHash::IndexFaceSides(std::span<const int32_t> elem) {
  EndIndexing();
  if (recordCount_ != 0) return;  // records already in the record array stay there
  // The sides of the faces, walked as the edge list walks them: each pair's smaller node.
  int64_t lowest = INT32_MAX, highest = INT32_MIN, sides = 0;
  auto forEachSide = [&](auto&& onSide) {
    const size_t size = elem.size();
    for (size_t p = 0; p < size;) {
      const int32_t n = elem[p++];
      if (n <= 0) continue;
      const size_t count = std::min(static_cast<size_t>(n), size - p);
      const int32_t* nodes = elem.data() + p;
      p += count;
      for (size_t i = 0; i < count; ++i)
        onSide(std::min(nodes[i], nodes[(i + 1) % count]));
    }
  };
  forEachSide([&](int32_t low) {
    lowest = std::min<int64_t>(lowest, low);
    highest = std::max<int64_t>(highest, low);
    ++sides;
  });
  if (sides == 0 || sides > UINT32_MAX || highest - lowest > 4 * sides + 1024) return;
  const size_t span = static_cast<size_t>(highest - lowest + 1);
  firstNode_ = static_cast<int32_t>(lowest);
  sideCount_.assign(span, 0);
  forEachSide([&](int32_t low) { ++sideCount_[static_cast<size_t>(low - firstNode_)]; });
  sideStart_.resize(span);
  uint32_t start = 0;
  for (size_t v = 0; v < span; ++v) {
    sideStart_[v] = start;
    start += sideCount_[v];
    sideCount_[v] = 0;
  }
  sideHigh_.resize(static_cast<size_t>(sides));
  sideNumber_.resize(static_cast<size_t>(sides));
  sideRecords_.reserve(static_cast<size_t>(sides));
  indexed_ = true;
}

void EdgeHash::EndIndexing() {
  indexed_ = false;
  for (auto* array : {&sideStart_, &sideCount_, &sideNumber_}) {
    array->clear();
    array->shrink_to_fit();
  }
  sideHigh_.clear();
  sideHigh_.shrink_to_fit();
  stray_.clear();
  stray_.shrink_to_fit();
  sideRecords_.clear();
  sideRecords_.shrink_to_fit();
  sideEdges_.clear();
  sideEdges_.shrink_to_fit();
  sidesAcross_.clear();
  sidesAcross_.shrink_to_fit();
}

void EdgeHash::PrefetchIndexOf(int32_t a, int32_t b) const {
  const int64_t v = int64_t{std::min(a, b)} - firstNode_;
  if (!indexed_ || v < 0 || static_cast<size_t>(v) >= sideStart_.size()) return;
  PrefetchForRead(sideStart_.data() + v);
  PrefetchForRead(sideCount_.data() + v);
}

void EdgeHash::PrefetchPairsOf(int32_t a, int32_t b) const {
  const int64_t v = int64_t{std::min(a, b)} - firstNode_;
  if (!indexed_ || v < 0 || static_cast<size_t>(v) >= sideStart_.size()) return;
  const size_t begin = sideStart_[static_cast<size_t>(v)];
  if (begin >= sideHigh_.size()) return;
  PrefetchForRead(sideHigh_.data() + begin);
  PrefetchForRead(sideNumber_.data() + begin);
}

void EdgeHash::PrefetchSideEdge(size_t entry) const {
  if (entry < sideEdges_.size()) PrefetchForRead(sideEdges_.data() + entry);
}

int32_t EdgeHash::FindIndexed(int32_t low, int32_t high) const {
  const int64_t v = int64_t{low} - firstNode_;
  if (v >= 0 && static_cast<size_t>(v) < sideStart_.size()) {
    const size_t begin = sideStart_[static_cast<size_t>(v)];
    const size_t end = begin + sideCount_[static_cast<size_t>(v)];
    for (size_t i = begin; i < end; ++i) {
      if (sideHigh_[i] == high) return static_cast<int32_t>(sideNumber_[i]);
    }
  }
  for (const Bucket& stray : stray_) {
    if (stray.low == low && stray.high == high) return static_cast<int32_t>(stray.number);
  }
  return 0;
}

void EdgeHash::Renumber(std::span<const int32_t> newNumber, LargeVector<Edge> records) {
  for (uint32_t& number : sideNumber_) {
    if (number != 0) number = static_cast<uint32_t>(newNumber[number - 1]);
  }
  for (Bucket& stray : stray_)
    stray.number = static_cast<uint32_t>(newNumber[stray.number - 1]);
  sideRecords_ = std::move(records);
  // The records now describe the faces as they are; the build's list no longer does.
  facesTurned_ = 0;
  sidesAcross_.clear();
  sidesAcross_.shrink_to_fit();
}

int32_t EdgeHash::Find(int32_t a, int32_t b) const {
  if (indexed_) {
    const NodePair pair(a, b);
    return FindIndexed(pair.low, pair.high);
  }
  if (bucketCount_ == 0) return 0;
  const NodePair pair(a, b);
  ProbeSequence probe(HashPair(a, b), bucketCount_);
  for (uint64_t k = 0; k <= bucketCount_; ++k, probe.Next()) {
    const Bucket& bucket = buckets_[probe.bucket];
    if (bucket.number == 0) return 0;
    if (bucket.low == pair.low && bucket.high == pair.high) {
      return static_cast<int32_t>(bucket.number);
    }
  }
  return 0;
}

int32_t EdgeHash::Insert(const Edge& record) {
  if (indexed_) {
    const NodePair pair(record.node1, record.node2);
    const int32_t found = FindIndexed(pair.low, pair.high);
    if (found != 0) return found;
    sideRecords_.push_back(record);
    const uint32_t number = static_cast<uint32_t>(++recordCount_);
    const int64_t v = int64_t{pair.low} - firstNode_;
    if (v >= 0 && static_cast<size_t>(v) < sideStart_.size()) {
      const size_t slot = sideStart_[static_cast<size_t>(v)] + sideCount_[static_cast<size_t>(v)];
      const size_t next = static_cast<size_t>(v) + 1;
      const size_t end = next < sideStart_.size() ? sideStart_[next] : sideHigh_.size();
      if (slot < end) {
        sideHigh_[slot] = pair.high;
        sideNumber_[slot] = number;
        ++sideCount_[static_cast<size_t>(v)];
        return recordCount_;
      }
    }
    stray_.push_back({number, pair.low, pair.high});
    return recordCount_;
  }
  if (bucketCount_ == 0) Grow();
  const NodePair pair(record.node1, record.node2);
  ProbeSequence probe(HashPair(record.node1, record.node2), bucketCount_);
  // The load never exceeds 0.8, so the sequence meets an empty bucket.
  while (buckets_[probe.bucket].number != 0) {
    const Bucket& bucket = buckets_[probe.bucket];
    if (bucket.low == pair.low && bucket.high == pair.high) {
      return static_cast<int32_t>(bucket.number);
    }
    probe.Next();
  }
  storage_.push_back(record);
  AppendRecord(&storage_.back());
  ++recordCount_;
  buckets_[probe.bucket] = {static_cast<uint32_t>(recordCount_), pair.low, pair.high};
  if (static_cast<double>(recordCount_) > 0.8 * static_cast<double>(bucketCount_)) Grow();
  return recordCount_;
}

void EdgeHash::AppendRecord(Edge* record) {
  if (static_cast<uint32_t>(recordCount_) == recordCapacity_) {
    const uint32_t capacity =
        recordCapacity_ == 0 ? 1 : recordCapacity_ + (recordCapacity_ + 1) / 2;
    try {
      records_.reserve(capacity);
      records_.resize(capacity, nullptr);
    } catch (const std::bad_alloc&) {
      Clear();
      throw kEnlargementFailed;
    }
    recordCapacity_ = capacity;
  }
  records_[static_cast<size_t>(recordCount_)] = record;
}

void EdgeHash::Grow() {
  const bool hadBuckets = bucketCount_ != 0;
  uint32_t count = bucketCount_ * 2;
  if (!hadBuckets) {
    count = 32768;
    // Records without buckets cannot arise from the table's own operations; the buckets are
    // rebuilt from the records all the same, after saying so.
    if (recordCount_ > 0) PrintLine("Oops. Inserting without existing hash table\n");
  }
  try {
    buckets_.assign(count, Bucket{});
  } catch (const std::bad_alloc&) {
    throw hadBuckets ? kEnlargementFailed : kFirstAllocationFailed;
  }
  bucketCount_ = count;
  for (int32_t i = 0; i < recordCount_; ++i) {
    const Edge& e = *records_[static_cast<size_t>(i)];
    const NodePair pair(e.node1, e.node2);
    ProbeSequence probe(HashPair(e.node1, e.node2), bucketCount_);
    while (buckets_[probe.bucket].number != 0)
      probe.Next();
    buckets_[probe.bucket] = {static_cast<uint32_t>(i + 1), pair.low, pair.high};
  }
}

void EdgeHash::Reset(uint32_t size) {
  if (size != bucketCount_) {
    uint32_t count = 256;
    while (count < 2 * static_cast<uint64_t>(size) && count < (1u << 31))
      count *= 2;
    try {
      buckets_.assign(count, Bucket{});
    } catch (const std::bad_alloc&) {
      throw kEnlargementFailed;
    }
    bucketCount_ = count;
  } else {
    buckets_.assign(bucketCount_, Bucket{});
  }
  Clear();
}

void EdgeHash::Clear() {
  EndIndexing();
  storage_.clear();
  records_.clear();
  records_.shrink_to_fit();
  recordCount_ = 0;
  recordCapacity_ = 0;
  facesTurned_ = 0;
}

void EdgeHash::Release() {
  Clear();
  buckets_.clear();
  buckets_.shrink_to_fit();
  bucketCount_ = 0;
}

}  // namespace vexmor
