#include "mesh/triangle_split.h"

#include <algorithm>
#include <cstdint>

#include "geometry/bbox.h"
#include "geometry/tolerances.h"
#include "mesh/face_walk.h"
#include "mesh/smesh.h"
#include "mesh/trace.h"

namespace vexmor {
namespace {

// Corners of the enclosing box as (x, y, z) picks from (min, max): 0 takes the minimum.
constexpr int kBoxCorners[8][3] = {{0, 0, 0}, {1, 0, 0}, {1, 0, 1}, {0, 0, 1},
                                   {1, 1, 0}, {0, 1, 0}, {0, 1, 1}, {1, 1, 1}};

// Its 12 triangles, as corner numbers, each wound so that its normal points away from the box.
constexpr int kBoxTriangles[12][3] = {{0, 1, 2}, {0, 2, 3}, {4, 5, 6}, {4, 6, 7},
                                      {1, 4, 7}, {1, 7, 2}, {5, 0, 3}, {5, 3, 6},
                                      {3, 2, 7}, {3, 7, 6}, {5, 4, 1}, {5, 1, 0}};
constexpr int32_t kBoxNodes = 8;
constexpr int32_t kBoxEntries = 4 * 12;

// Faces of the number of nodes this module knows how to split.
struct FaceCounts {
  int64_t triangles = 0;
  int64_t quadrilaterals = 0;
  int64_t others = 0;
};

FaceCounts CountFaceKinds(std::span<const int32_t> elem) {
  FaceCounts counts;
  const int64_t size = static_cast<int64_t>(elem.size());
  for (int64_t p = 0; p < size; p = NextFacePos(elem, static_cast<int32_t>(p))) {
    const int32_t n = elem[static_cast<size_t>(p)];
    // A face whose nodes run past the end cannot be split either.
    if (n == 3 && p + 3 < size) {
      ++counts.triangles;
    } else if (n == 4 && p + 4 < size) {
      ++counts.quadrilaterals;
    } else {
      ++counts.others;
    }
  }
  return counts;
}

}  // namespace

uint8_t SetFullTrias(SMesh& mesh) {
  if (mesh.szelem <= 0) {
    Trace("#--SetFullTrias : szelem not filled");
    return 1;
  }
  const std::span<const int32_t> elem = mesh.elem;
  const FaceCounts counts = CountFaceKinds(elem);
  if (counts.others > 0) {
    Trace("#--SetFullTrias : contains polygonal faces (nb nodes > 4)");
    return 1;
  }
  if (counts.quadrilaterals == 0) {
    Trace("#--SetFullTrias : contains only triangles");
    return 0;
  }
  const int64_t nbTriangles = counts.triangles + 2 * counts.quadrilaterals;
  // The split connectivity, and the enclosing box that may follow it, must still be counted in
  // 32 bits; a mesh too large for that stays unsplit and the check refuses its quadrilaterals.
  if (4 * nbTriangles > int64_t{INT32_MAX} - kBoxEntries) {
    Trace("#--SetFullTrias : too many triangles to split");
    return 1;
  }
  LargeVector<int32_t> triangles;
  LargeVector<int32_t> triFace;
  triangles.reserve(static_cast<size_t>(4 * nbTriangles));
  triFace.reserve(static_cast<size_t>(nbTriangles));
  int32_t face = 0;
  for (int32_t p = 0; p < mesh.szelem; p = NextFacePos(elem, p), ++face) {
    const int32_t* nodes = elem.data() + p + 1;
    triangles.insert(triangles.end(), {3, nodes[0], nodes[1], nodes[2]});
    triFace.push_back(face);
    // Always along the diagonal from the first to the third node.
    if (elem[static_cast<size_t>(p)] == 4) {
      triangles.insert(triangles.end(), {3, nodes[0], nodes[2], nodes[3]});
      triFace.push_back(face);
    }
  }
  mesh.quadsSplit = 1;
  mesh.origElem = std::move(mesh.elem);
  mesh.elem = std::move(triangles);
  mesh.triFace = std::move(triFace);
  mesh.nbOrigFaces = mesh.nbFaces;
  mesh.nbFaces = static_cast<int32_t>(nbTriangles);
  mesh.szelem = static_cast<int32_t>(4 * nbTriangles);
  return 0;
}

int32_t AppendEnclosingBox(SMesh& mesh) {
  // Node numbers and connectivity entries are 32-bit counts.
  if (mesh.nbNodes > INT32_MAX - kBoxNodes || mesh.szelem > INT32_MAX - kBoxEntries) return 1;
  mesh.bboxDone = 0;
  ComputeBBox(mesh, /*wide=*/true);
  const int32_t first = mesh.nbNodes;

  LargeVector<double> coords;
  coords.reserve(mesh.coords.size() + 24);
  coords.assign(mesh.coords.begin(), mesh.coords.end());
  for (const auto& corner : kBoxCorners) {
    for (int k = 0; k < 3; ++k)
      coords.push_back(mesh.bbox[k + 3 * corner[k]]);
  }
  mesh.coords = std::move(coords);
  mesh.nbNodes += kBoxNodes;

  LargeVector<int32_t> elem;
  elem.reserve(mesh.elem.size() + 48);
  elem.assign(mesh.elem.begin(), mesh.elem.end());
  for (const auto& triangle : kBoxTriangles) {
    elem.insert(elem.end(), {3, first + triangle[0], first + triangle[1], first + triangle[2]});
  }
  mesh.elem = std::move(elem);
  mesh.szelem += kBoxEntries;
  mesh.nbFaces = CountFaces(mesh.elem);
  return 0;
}

LargeVector<double> MapTriangleResults(const SMesh& mesh, std::span<const double> values,
                                       TriangleFold rule) {
  if (mesh.nbOrigFaces <= 0) return {};
  const size_t nbCallerFaces = static_cast<size_t>(mesh.nbOrigFaces);
  // The box triangles of an outside analysis come last and belong to no caller face.
  int64_t nbTriangles = int64_t{mesh.nbFaces} - (mesh.outside != 0 ? 12 : 0);
  nbTriangles = std::min<int64_t>(nbTriangles, static_cast<int64_t>(mesh.triFace.size()));
  nbTriangles = std::min<int64_t>(nbTriangles, static_cast<int64_t>(values.size()));

  LargeVector<double> result(nbCallerFaces, rule == TriangleFold::kMinimum ? kDblMax : 0.0);
  if (rule == TriangleFold::kMinimum) {
    for (int64_t t = 0; t < nbTriangles; ++t) {
      double& r = result[static_cast<size_t>(mesh.triFace[static_cast<size_t>(t)])];
      const double v = values[static_cast<size_t>(t)];
      if (v < r) r = v;
    }
    return result;
  }
  std::vector<int32_t> count(nbCallerFaces, 0);
  for (int64_t t = 0; t < nbTriangles; ++t) {
    const size_t face = static_cast<size_t>(mesh.triFace[static_cast<size_t>(t)]);
    result[face] += values[static_cast<size_t>(t)];
    ++count[face];
  }
  for (size_t face = 0; face < nbCallerFaces; ++face) {
    if (count[face] > 0) result[face] /= count[face];
  }
  return result;
}

}  // namespace vexmor
