// Turning a face: reversing its winding while keeping its first node.
#pragma once

#include <cstdint>
#include <span>
#include <utility>

namespace vexmor {

// Turns the face at position p of a connectivity: a triangle (a, b, c) becomes (a, c, b), a
// quadrilateral (a, b, c, d) becomes (a, d, c, b). Returns false, changing nothing, for any
// other face, which cannot be turned.
inline bool TurnFace(std::span<int32_t> elem, int32_t p) {
  const size_t at = static_cast<size_t>(p);
  if (at >= elem.size()) return false;
  const int32_t n = elem[at];
  if ((n != 3 && n != 4) || elem.size() - at <= static_cast<size_t>(n)) return false;
  std::swap(elem[at + 2], elem[at + static_cast<size_t>(n)]);
  return true;
}

}  // namespace vexmor
