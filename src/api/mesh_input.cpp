#include "api/mesh_input.h"

#include <algorithm>
#include <cmath>

#include "mesh/smesh.h"

namespace vexmor::api {
namespace {

// Coordinates must be finite and span a box with a usable normalisation factor.
bool HasUsableNodeBox(std::span<const double> coordinates) {
  double lo[3] = {INFINITY, INFINITY, INFINITY};
  double hi[3] = {-INFINITY, -INFINITY, -INFINITY};
  for (size_t i = 0; i < coordinates.size(); ++i) {
    const double c = coordinates[i];
    if (!std::isfinite(c)) return false;
    lo[i % 3] = std::min(lo[i % 3], c);
    hi[i % 3] = std::max(hi[i % 3], c);
  }
  const double extent = std::max({hi[0] - lo[0], hi[1] - lo[1], hi[2] - lo[2]});
  return extent > 0.0 && std::isfinite(extent) && std::isfinite(SMesh::kFrameSize / extent);
}

// Walks the faces; every face must lie inside the array and name existing nodes. Returns the
// number of faces, or -1.
int32_t CountValidFaces(std::span<const int32_t> connectivity, int32_t nbNodes) {
  const int64_t size = static_cast<int64_t>(connectivity.size());
  int32_t faces = 0;
  for (int64_t p = 0; p < size;) {
    const int32_t n = connectivity[static_cast<size_t>(p)];
    ++faces;
    if (n <= 0) {
      ++p;
      continue;
    }
    if (n > size - 1 - p) return -1;
    for (int64_t k = p + 1; k <= p + n; ++k) {
      const int32_t node = connectivity[static_cast<size_t>(k)];
      if (node < 0 || node >= nbNodes) return -1;
    }
    p += int64_t{n} + 1;
  }
  return faces;
}

}  // namespace

std::optional<MeshInput> ValidateMesh(int32_t nbNodes, int32_t szelem, const int32_t* connectivity,
                                      const double* coordinates) {
  if (nbNodes < 0 || szelem < 0) return std::nullopt;
  if ((nbNodes > 0 && coordinates == nullptr) || (szelem > 0 && connectivity == nullptr)) {
    return std::nullopt;
  }
  MeshInput input;
  input.nbNodes = nbNodes;
  input.szelem = szelem;
  input.coordinates = {coordinates, 3 * static_cast<size_t>(nbNodes)};
  input.connectivity = {connectivity, static_cast<size_t>(szelem)};
  if (!HasUsableNodeBox(input.coordinates)) return std::nullopt;
  input.nbFaces = CountValidFaces(input.connectivity, nbNodes);
  if (input.nbFaces < 0) return std::nullopt;
  return input;
}

}  // namespace vexmor::api
