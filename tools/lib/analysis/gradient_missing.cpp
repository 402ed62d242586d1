#include "analysis/gradient_missing.h"

#include <algorithm>
#include <limits>

namespace vexmor::cli {
namespace {

// The library compares a face with at most this many faces around one node.
constexpr size_t kLibraryNodeFaceLimit = 999;

}  // namespace

void DiscountMissingNeighbours(const Mesh& mesh, const std::vector<uint8_t>& missing,
                               std::vector<double>& gradient) {
  const size_t faces = std::min({mesh.faceCount(), missing.size(), gradient.size()});
  // The faces around each node.
  std::vector<uint32_t> start(mesh.nodeCount() + 1, 0);
  for (size_t f = 0; f < faces; ++f) {
    for (int32_t n : mesh.face(f))
      ++start[static_cast<size_t>(n) + 1];
  }
  for (size_t n = 0; n < mesh.nodeCount(); ++n)
    start[n + 1] += start[n];
  std::vector<uint32_t> around(start.back());
  std::vector<uint32_t> fill(start.begin(), start.end() - 1);
  for (size_t f = 0; f < faces; ++f) {
    for (int32_t n : mesh.face(f))
      around[fill[static_cast<size_t>(n)]++] = static_cast<uint32_t>(f);
  }
  // Only faces next to a missing one change.
  std::vector<uint8_t> touched(faces, 0);
  for (size_t f = 0; f < faces; ++f) {
    if (!missing[f]) continue;
    for (int32_t n : mesh.face(f)) {
      for (uint32_t i = start[static_cast<size_t>(n)]; i < start[static_cast<size_t>(n) + 1]; ++i)
        touched[around[i]] = 1;
    }
  }
  std::vector<uint32_t> neighbours;
  for (size_t f = 0; f < faces; ++f) {
    if (missing[f]) {
      gradient[f] = std::numeric_limits<double>::quiet_NaN();
      continue;
    }
    if (!touched[f]) continue;
    neighbours.clear();
    bool crowded = false;
    for (int32_t n : mesh.face(f)) {
      const uint32_t begin = start[static_cast<size_t>(n)], end = start[static_cast<size_t>(n) + 1];
      crowded = crowded || end - begin > kLibraryNodeFaceLimit;
      for (uint32_t i = begin; i < end; ++i) {
        if (around[i] != f) neighbours.push_back(around[i]);
      }
    }
    if (crowded) continue;
    std::sort(neighbours.begin(), neighbours.end());
    neighbours.erase(std::unique(neighbours.begin(), neighbours.end()), neighbours.end());
    size_t gone = 0;
    for (uint32_t g : neighbours)
      gone += missing[g] ? 1 : 0;
    const size_t k = neighbours.size();
    if (gone == 0) continue;
    // Each missing neighbour added exactly 1 to the library's sum of k changes.
    const double sum = gradient[f] * static_cast<double>(k) - static_cast<double>(gone);
    gradient[f] = gone == k ? std::numeric_limits<double>::quiet_NaN()
                            : std::max(0.0, sum / static_cast<double>(k - gone));
  }
}

}  // namespace vexmor::cli
