#include "topology/edge_hash.h"

#include <new>

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

int32_t EdgeHash::Find(int32_t a, int32_t b) const {
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
  storage_.clear();
  records_.clear();
  records_.shrink_to_fit();
  recordCount_ = 0;
  recordCapacity_ = 0;
}

void EdgeHash::Release() {
  Clear();
  buckets_.clear();
  buckets_.shrink_to_fit();
  bucketCount_ = 0;
}

}  // namespace vexmor
