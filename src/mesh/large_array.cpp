#include "mesh/large_array.h"

#include <cstdlib>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace vexmor {
namespace {

#if defined(__linux__) && defined(MADV_HUGEPAGE)
constexpr size_t kHugePage = size_t{2} << 20;
constexpr bool kHugePages = true;
#else
constexpr size_t kHugePage = 0;
constexpr bool kHugePages = false;
#endif

bool OnHugePages(size_t bytes) {
  return kHugePages && bytes >= kHugePage;
}

}  // namespace

void* AllocateLarge(size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  if (OnHugePages(bytes)) {
    // aligned_alloc wants a multiple of the alignment; a vector's byte count stays below
    // PTRDIFF_MAX, so rounding up cannot wrap.
    const size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    void* block = std::aligned_alloc(kHugePage, rounded);
    if (block == nullptr) throw std::bad_alloc();
    // Only a hint: when it is refused the block keeps ordinary pages.
    madvise(block, rounded, MADV_HUGEPAGE);
    return block;
  }
#endif
  return ::operator new(bytes);
}

void FreeLarge(void* block, size_t bytes) noexcept {
  if (OnHugePages(bytes)) {
    std::free(block);
  } else {
    ::operator delete(block);
  }
}

}  // namespace vexmor
