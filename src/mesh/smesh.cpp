#include "mesh/smesh.h"

#include <algorithm>

#include "geometry/adt.h"
#include "geometry/tolerances.h"
#include "mesh/face_walk.h"
#include "mesh/prefetch.h"

namespace vexmor {

SMesh::SMesh(int32_t nodes, int32_t entries, std::span<const double> coordinates,
             std::span<const int32_t> connectivity)
    : SMesh(0, nodes, entries, coordinates, connectivity, 0) {}

SMesh::SMesh(int32_t nodes, int32_t entries, std::span<const double> coordinates,
             std::span<const int32_t> connectivity, uint32_t variant)
    : SMesh(0, nodes, entries, coordinates, connectivity, variant) {}

SMesh::SMesh(uint8_t outsideFlag, int32_t nodes, int32_t entries,
             std::span<const double> coordinates, std::span<const int32_t> connectivity,
             uint32_t variant)
    : edgeHash(100) {
  nbNodes = nodes;
  szelem = entries;
  outside = outsideFlag;
  CopyAndNormaliseCoordinates(coordinates.first(3 * static_cast<size_t>(std::max(nodes, 0))));
  CopyConnectivity(connectivity.first(static_cast<size_t>(std::max(entries, 0))));
  mode = variant;
}

SMesh::~SMesh() {
  Release();
}

void SMesh::CopyAndNormaliseCoordinates(std::span<const double> coordinates) {
  coords.assign(coordinates.begin(), coordinates.end());
  double lo[3] = {kDblMax, kDblMax, kDblMax};
  double hi[3] = {-kDblMax, -kDblMax, -kDblMax};
  for (size_t i = 0; i + 2 < coords.size(); i += 3) {
    for (size_t k = 0; k < 3; ++k) {
      lo[k] = std::min(lo[k], coords[i + k]);
      hi[k] = std::max(hi[k], coords[i + k]);
    }
  }
  const double extent = std::max({hi[0] - lo[0], hi[1] - lo[1], hi[2] - lo[2]});
  // The entry points refuse meshes without extent before building one; a mesh built directly
  // from such nodes keeps scale 1 rather than dividing by zero.
  if (extent > 0.0) scale = kFrameSize / extent;
  for (size_t i = 0; i + 2 < coords.size(); i += 3) {
    for (size_t k = 0; k < 3; ++k)
      coords[i + k] = (coords[i + k] - lo[k]) * scale;
  }
  for (size_t k = 0; k < 3; ++k) {
    inputBox[k] = lo[k];
    inputBox[k + 3] = hi[k];
  }
}

void SMesh::CopyConnectivity(std::span<const int32_t> connectivity) {
  elem.assign(connectivity.begin(), connectivity.end());
  nbFaces = CountFaces(elem);
}

void SMesh::PrefetchFaceNodes(int64_t pos) const {
  const int64_t size = std::min<int64_t>(szelem, static_cast<int64_t>(elem.size()));
  if (pos < 0 || pos >= size) return;
  const int64_t last =
      std::min<int64_t>(size - 1, pos + std::max(elem[static_cast<size_t>(pos)], 0));
  const size_t nodeCount = coords.size() / 3;
  for (int64_t q = pos + 1; q <= last; ++q) {
    const int32_t id = elem[static_cast<size_t>(q)];
    if (id >= 0 && static_cast<size_t>(id) < nodeCount) PrefetchForRead(Node(id));
  }
}

void SMesh::Release() {
  adt.reset();
  for (auto* array : {&elem, &origElem, &triFace}) {
    array->clear();
    array->shrink_to_fit();
  }
  coords.clear();
  coords.shrink_to_fit();
  edgeHash.Release();
}

}  // namespace vexmor
