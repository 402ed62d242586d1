// A hint that memory will soon be read, so that a walk over scattered records can ask for the
// records of the next few items while it works on the current one. It changes no value.
#pragma once

namespace vexmor {

inline void PrefetchForRead(const void* address) {
#if defined(__GNUC__) || defined(__clang__)
  __builtin_prefetch(address, 0, 3);
#else
  (void)address;
#endif
}

}  // namespace vexmor
