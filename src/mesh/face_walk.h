// Walking a count-prefixed connectivity: each face is its node count n followed by n node
// numbers; faces are back to back.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

namespace vexmor {

// Position of the face after the one at position p. A count entry of 0 or less describes no
// node, so the walk steps over that single entry; this keeps every walk moving forwards.
inline int32_t NextFacePos(std::span<const int32_t> elem, int32_t p) {
  const int32_t n = elem[static_cast<size_t>(p)];
  return n > 0 ? p + 1 + n : p + 1;
}

// Number of faces of a connectivity, every count entry counting as one face. A last face whose
// nodes run past the end is still counted.
inline int32_t CountFaces(std::span<const int32_t> elem) {
  int32_t count = 0;
  const int64_t size = static_cast<int64_t>(elem.size());
  for (int64_t p = 0; p < size;) {
    ++count;
    const int32_t n = elem[static_cast<size_t>(p)];
    p += n > 0 ? int64_t{n} + 1 : 1;
  }
  return count;
}

// How many faces ahead a loop over the faces asks for the nodes it will read
// (SMesh::PrefetchFaceNodes).
inline constexpr int kReadAheadFaces = 16;

// A face position kept a number of faces ahead of a walk over the first `size` entries of a
// connectivity, for loops that ask for what later faces will read. Take() gives the position
// and moves on one face; once past the end it gives -1.
class FacesAhead {
 public:
  FacesAhead(std::span<const int32_t> elem, int64_t size, int distance)
      : elem_(elem), size_(std::min<int64_t>(size, static_cast<int64_t>(elem.size()))) {
    for (int k = 0; k < distance; ++k)
      Step();
  }
  int64_t Take() {
    if (at_ >= size_) return -1;
    const int64_t here = at_;
    Step();
    return here;
  }

 private:
  void Step() {
    if (at_ < size_) at_ += std::max(elem_[static_cast<size_t>(at_)], 0) + 1;
  }
  std::span<const int32_t> elem_;
  int64_t size_;
  int64_t at_ = 0;
};

}  // namespace vexmor
