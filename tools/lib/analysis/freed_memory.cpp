#include "analysis/freed_memory.h"

#include <cstdlib>  // defines __GLIBC__ on the GNU C library

// Under the sanitizers the memory is not the C library's: its trimming would walk arenas that
// the sanitizer's allocator never set up.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define VEXMOR_FOREIGN_ALLOCATOR 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || \
    __has_feature(memory_sanitizer)
#define VEXMOR_FOREIGN_ALLOCATOR 1
#endif
#endif

#if defined(__GLIBC__) && !defined(VEXMOR_FOREIGN_ALLOCATOR)
#include <malloc.h>
#define VEXMOR_TRIM_HEAP 1
#endif

namespace vexmor::cli {

void ReturnFreedMemory() {
#if defined(VEXMOR_TRIM_HEAP)
  malloc_trim(0);
#endif
}

}  // namespace vexmor::cli
