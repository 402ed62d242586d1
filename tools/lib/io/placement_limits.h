// What a package file (3MF, AMF) may make by placing its objects: counted before anything is
// placed, so that a file of a few kilobytes cannot ask for billions of copies.
#pragma once

#include <cstdint>
#include <string>

namespace vexmor::cli::placement {

inline constexpr uint64_t kLimit = INT32_MAX;  // nodes or triangles the library can take
inline constexpr uint64_t kBeyondTheLimit = kLimit + 1;
// As for decompressed data, a file may make at most 2 GiB of mesh: a node takes 3 doubles, a
// triangle 4 connectivity entries and a face start.
inline constexpr uint64_t kMaxExpandedBytes = uint64_t{2} << 30;
inline constexpr int kMaxDepth = 32;
inline constexpr uint64_t kMaxPlacements = uint64_t{1} << 20;

inline uint64_t ExpandedBytes(uint64_t nodes, uint64_t triangles) {
  return 24 * nodes + 24 * triangles;
}

inline std::string Count(uint64_t n) {
  return n > kLimit ? "over 2147483647" : std::to_string(n);
}

}  // namespace vexmor::cli::placement
