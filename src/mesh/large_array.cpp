#include "mesh/large_array.h"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

// Sanitizers watch the heap, not mappings of our own: under them every block stays on the heap.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define VEXMOR_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || \
    __has_feature(memory_sanitizer)
#define VEXMOR_SANITIZED 1
#endif
#endif

#if defined(__linux__) && defined(MADV_HUGEPAGE) && !defined(VEXMOR_SANITIZED)
#define VEXMOR_HUGE_PAGES 1
#endif

namespace vexmor {

#if defined(VEXMOR_HUGE_PAGES)
namespace {

constexpr size_t kHugePage = size_t{2} << 20;

bool OnHugePages(size_t bytes) {
  return bytes >= kHugePage;
}

// A vector's byte count stays below PTRDIFF_MAX, so rounding up cannot wrap.
size_t RoundedUp(size_t bytes) {
  return (bytes + kHugePage - 1) / kHugePage * kHugePage;
}

}  // namespace
#endif

// Large blocks are mappings of their own rather than heap memory: they go back to the system
// when freed, and the advice covers them alone, never the heap's small blocks around them.
void* AllocateLarge(size_t bytes, size_t alignment) {
#if defined(VEXMOR_HUGE_PAGES)
  if (OnHugePages(bytes)) {
    const size_t size = RoundedUp(bytes);
    const size_t span = size + kHugePage;
    void* raw = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) throw std::bad_alloc();
    // Keep the 2 MiB aligned part only, so that every page of the block can be a huge page.
    const uintptr_t start = reinterpret_cast<uintptr_t>(raw);
    const uintptr_t aligned = (start + kHugePage - 1) & ~(uintptr_t{kHugePage} - 1);
    if (aligned > start) munmap(raw, aligned - start);
    const uintptr_t end = start + span;
    if (end > aligned + size) munmap(reinterpret_cast<void*>(aligned + size), end - aligned - size);
    void* block = reinterpret_cast<void*>(aligned);
    // Only a hint: when it is refused the block keeps ordinary pages.
    madvise(block, size, MADV_HUGEPAGE);
    return block;
  }
#endif
  // Mappings start on a page, which serves every alignment asked for; the heap needs telling.
  if (alignment > __STDCPP_DEFAULT_NEW_ALIGNMENT__) {
    return ::operator new (bytes, std::align_val_t{alignment});
  }
  return ::operator new(bytes);
}

void FreeLarge(void* block, size_t bytes, size_t alignment) noexcept {
#if defined(VEXMOR_HUGE_PAGES)
  if (OnHugePages(bytes)) {
    munmap(block, RoundedUp(bytes));
    return;
  }
#else
  (void)bytes;
#endif
  if (alignment > __STDCPP_DEFAULT_NEW_ALIGNMENT__) {
    ::operator delete (block, std::align_val_t{alignment});
    return;
  }
  ::operator delete(block);
}

}  // namespace vexmor
