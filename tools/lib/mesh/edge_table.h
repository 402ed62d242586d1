// Numbers the undirected edges (node pairs) of a mesh in constant time per lookup: an open
// addressing table keyed by the ordered pair.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vexmor::cli {

class EdgeTable {
 public:
  explicit EdgeTable(size_t expectedEdges = 0);
  // The number of edge {a, b} (either order); new edges get the next number.
  uint32_t insert(int32_t a, int32_t b);
  // The number of edge {a, b}, or -1 when it was never inserted.
  int64_t find(int32_t a, int32_t b) const;
  size_t size() const { return keys_.size(); }
  // The two nodes of edge e, smaller first.
  int32_t first(size_t e) const { return static_cast<int32_t>(keys_[e] >> 32); }
  int32_t second(size_t e) const { return static_cast<int32_t>(keys_[e] & 0xffffffffu); }

 private:
  static uint64_t Key(int32_t a, int32_t b);
  size_t slotOf(uint64_t key) const;
  void grow();

  // A slot holds its key, so that a lookup touches one cache line.
  struct Slot {
    uint64_t key = kEmpty;
    uint32_t edge = 0;
  };
  static constexpr uint64_t kEmpty = ~uint64_t{0};

  std::vector<uint64_t> keys_;  // by edge number
  std::vector<Slot> slots_;
};

}  // namespace vexmor::cli
