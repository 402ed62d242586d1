#include "mesh/edge_table.h"

#include <algorithm>

namespace vexmor::cli {

EdgeTable::EdgeTable(size_t expectedEdges) {
  size_t capacity = 1024;
  while (capacity < 2 * expectedEdges)
    capacity *= 2;
  slots_.assign(capacity, Slot{});
  keys_.reserve(expectedEdges);
}

uint64_t EdgeTable::Key(int32_t a, int32_t b) {
  const auto lo = static_cast<uint32_t>(std::min(a, b));
  const auto hi = static_cast<uint32_t>(std::max(a, b));
  return uint64_t{lo} << 32 | hi;
}

size_t EdgeTable::slotOf(uint64_t key) const {
  uint64_t h = key * 0x9e3779b97f4a7c15ULL;
  h ^= h >> 29;
  const size_t mask = slots_.size() - 1;
  size_t s = h & mask;
  while (slots_[s].key != kEmpty && slots_[s].key != key)
    s = (s + 1) & mask;
  return s;
}

void EdgeTable::grow() {
  slots_.assign(slots_.size() * 2, Slot{});
  for (size_t e = 0; e < keys_.size(); ++e)
    slots_[slotOf(keys_[e])] = {keys_[e], static_cast<uint32_t>(e)};
}

uint32_t EdgeTable::insert(int32_t a, int32_t b) {
  const uint64_t key = Key(a, b);
  const size_t s = slotOf(key);
  if (slots_[s].key == key) return slots_[s].edge;
  const auto e = static_cast<uint32_t>(keys_.size());
  keys_.push_back(key);
  slots_[s] = {key, e};
  if (keys_.size() * 2 > slots_.size()) grow();
  return e;
}

int64_t EdgeTable::find(int32_t a, int32_t b) const {
  const uint64_t key = Key(a, b);
  const Slot& slot = slots_[slotOf(key)];
  return slot.key == key ? int64_t{slot.edge} : -1;
}

}  // namespace vexmor::cli
