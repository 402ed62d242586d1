// Putting an array in a new order without a second copy of it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace vexmor {

// Rearranges v in place into v[order[0]], v[order[1]], ... (order a permutation of its
// indices), following the permutation's cycles, so that no second copy of v is needed.
template <class Array>
void ReorderInPlace(Array& v, std::span<const int32_t> order) {
  std::vector<bool> placed(v.size(), false);
  for (size_t start = 0; start < v.size(); ++start) {
    if (placed[start]) continue;
    const auto first = v[start];
    size_t at = start;
    for (;;) {
      placed[at] = true;
      const size_t from = static_cast<size_t>(order[at]);
      if (from == start) {
        v[at] = first;
        break;
      }
      v[at] = v[from];
      at = from;
    }
  }
}

}  // namespace vexmor
