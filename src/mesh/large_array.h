// Storage for the arrays that grow with the mesh: node and face arrays, trees, edge tables.
//
// Every page of freshly mapped memory costs a fault on its first touch. On a part of a million
// faces a call touches hundreds of megabytes for the first time, and with 4 KiB pages those
// faults take a large share of its time. On Linux, blocks of 2 MiB or more are therefore
// mapped on their own, aligned to 2 MiB and advised for transparent huge pages, so that one
// fault maps 2 MiB; the kernel may ignore the advice, and nothing else changes. Smaller blocks,
// other systems and sanitizer builds get plain operator new.
#pragma once

#include <cstddef>
#include <new>
#include <vector>

namespace vexmor {

// A block of at least `bytes` bytes, aligned to `alignment` (a power of two, at most 4096);
// throws std::bad_alloc when there is no memory. Release it with FreeLarge and the same byte
// count and alignment.
void* AllocateLarge(size_t bytes, size_t alignment);
void FreeLarge(void* block, size_t bytes, size_t alignment) noexcept;

template <class T>
struct LargeAllocator {
  using value_type = T;

  LargeAllocator() = default;
  template <class U>
  LargeAllocator(const LargeAllocator<U>&) noexcept {}

  T* allocate(size_t n) {
    if (n > static_cast<size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
    return static_cast<T*>(AllocateLarge(n * sizeof(T), alignof(T)));
  }
  void deallocate(T* p, size_t n) noexcept { FreeLarge(p, n * sizeof(T), alignof(T)); }

  template <class U>
  bool operator==(const LargeAllocator<U>&) const noexcept {
    return true;
  }
};

template <class T>
using LargeVector = std::vector<T, LargeAllocator<T>>;

}  // namespace vexmor
