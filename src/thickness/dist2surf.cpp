#include "thickness/dist2surf.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <optional>
#include <vector>

#include "geometry/adt.h"
#include "geometry/adt_nearest.h"
#include "geometry/adt_search.h"
#include "geometry/bbox.h"
#include "geometry/closest_point.h"
#include "geometry/face_triangles.h"
#include "geometry/tolerances.h"
#include "geometry/wall_tree.h"
#include "mesh/face_walk.h"
#include "mesh/smesh.h"
#include "mesh/trace.h"

namespace vexmor {
namespace {

// Searches after which a node that still meets no face is given up; the cube covers the bbox
// long before unless the node's coordinates are not numbers.
constexpr int32_t kMaxSearches = 2100;

// Squared distance from one point to the nearest strip triangle of a face.
class StripTriangleDistance final : public FaceDistance {
 public:
  explicit StripTriangleDistance(const SMesh& mesh) : mesh_(mesh) {}
  void SetPoint(const double* p) { std::copy_n(p, 3, p_); }

  double SquaredDistance(int32_t facePos) override {
    double nearest = kDblMax;
    ForEachSubTriangle(mesh_, facePos, [&](const double* tri) {
      double q[3];
      const double d2 = ClosestPointOnTriangle(p_, tri, q);
      if (d2 < nearest) nearest = d2;
      return false;
    });
    return nearest;
  }

 private:
  const SMesh& mesh_;
  double p_[3] = {0, 0, 0};
};

// The cube of half-width r around p contains the whole box: every face has been met.
bool CubeCoversBox(const double p[3], double r, const double box[6]) {
  for (int k = 0; k < 3; ++k) {
    if (!(p[k] - r <= box[k] && p[k] + r >= box[k + 3])) return false;
  }
  return true;
}

// Whether every face has three nodes at most, all of them existing nodes: the wall tree then
// holds each face whole (as its first strip triangle), or the face has no triangle.
bool HasOnlyTriangles(const SMesh& mesh) {
  const std::span<const int32_t> elem = mesh.elem;
  const int32_t size = static_cast<int32_t>(std::min<size_t>(elem.size(), INT32_MAX));
  for (int32_t p = 0; p < size; p = NextFacePos(elem, p)) {
    const int32_t n = elem[static_cast<size_t>(p)];
    if (n > 3) return false;
    for (int32_t v = 1; n == 3 && v <= 3; ++v) {
      if (p + v >= size || !IsNode(mesh, elem[static_cast<size_t>(p + v)])) return false;
    }
  }
  return true;
}

// Marks the nodes that lie on the surface: the corners of the measured strip triangles, which
// get 0 without a search. Measuring such a node from its own triangle is not enough: when the
// triangle is flat, rounding can leave the closest point a hair away from the corner.
// The faces walked are those the ADT holds.
std::vector<uint8_t> NodesOnTheSurface(const SMesh& mesh, size_t nodes) {
  std::vector<uint8_t> onSurface(nodes, 0);
  const int32_t size = static_cast<int32_t>(
      std::min<size_t>({mesh.elem.size(), static_cast<size_t>(std::max(mesh.szelem, 0)),
                        static_cast<size_t>(INT32_MAX)}));
  int32_t faceIndex = 0;
  for (int32_t p = 0; p < size && faceIndex < mesh.nbFaces; p = NextFacePos(mesh.elem, p)) {
    ++faceIndex;
    ForEachSubTriangleWithNodes(mesh, p, [&](const int32_t* corners, const double*) {
      for (int v = 0; v < 3; ++v) {
        const size_t node = static_cast<size_t>(corners[v]);
        if (node < nodes) onSurface[node] = 1;
      }
      return false;
    });
  }
  return onSurface;
}

}  // namespace

void Dist2Surf(SMesh& mesh, std::span<double> nodeThickness) {
  Trace("## Dist2Surf : ");
  const size_t nodes = std::min({static_cast<size_t>(std::max(mesh.nbNodes, 0)),
                                 mesh.coords.size() / 3, nodeThickness.size()});
  const std::vector<uint8_t> onSurface = NodesOnTheSurface(mesh, nodes);
  const bool searchNeeded = std::find(onSurface.begin(), onSurface.end(), 0) != onSurface.end();
  // The ADT and the wall tree are built only when some node is off the surface.
  if (searchNeeded) BuildAdtTree(mesh);
  if (mesh.bboxDone == 0) ComputeBBox(mesh, false);
  const double* box = mesh.bbox;
  const double r0 = 0.01 * std::max({box[3] - box[0], box[4] - box[1], box[5] - box[2]});
  Trace("10");

  StripTriangleDistance measure(mesh);
  // On a mesh of triangles the wall tree, which groups faces by where they lie and bounds each
  // group closely, finds the same nearest listed face as the walk of the ADT's regions, reading
  // far fewer faces; it holds one triangle per face, so larger faces keep the ADT walk.
  std::optional<WallTree> walls;
  if (searchNeeded && HasOnlyTriangles(mesh)) walls.emplace(*mesh.adt, mesh);
  const double anyFacing[3] = {0.0, 0.0, 0.0};  // with a cosine above 1: no group is skipped
  for (size_t i = 0; i < nodes; ++i) {
    if (onSurface[i] != 0) {
      nodeThickness[i] = 0.0;
      continue;
    }
    const double* p = mesh.Node(static_cast<int32_t>(i));
    measure.SetPoint(p);
    double best = kDblMax;
    double lo = 0.0, hi = r0;
    for (int32_t searches = 1;; ++searches) {
      const double r = (lo + hi) * 0.5;
      const double low[6] = {box[0], box[1], box[2], p[0] - r, p[1] - r, p[2] - r};
      const double high[6] = {p[0] + r, p[1] + r, p[2] + r, box[3], box[4], box[5]};
      const AdtRangeF range = RoundRange(low, high);
      if (walls) {
        double bound = best == kDblMax ? INFINITY : std::sqrt(best);
        const WallFace* nearest = nullptr;
        walls->Search(p, anyFacing, 2.0, range, bound, [&](const WallFace& face) {
          double q[3];
          const double d2 = ClosestPointOnTriangle(p, face.tri, q);
          if (d2 < best) {
            best = d2;
            bound = std::sqrt(d2);
            nearest = &face;
          }
        });
        // The next node, most often a neighbour, starts from this face.
        if (nearest != nullptr) walls->Keep(*nearest);
      } else {
        best = AdtNearestInRange(*mesh.adt, range, p, best, measure);
      }
      if (best == kDblMax) {
        // Nothing met yet: double the upper bound, until the cube holds every face.
        if (CubeCoversBox(p, r, box) || searches >= kMaxSearches) {
          best = INFINITY;
          break;
        }
        lo = r;
        hi = 2 * hi;
        continue;
      }
      const double d = std::sqrt(best);
      if (d <= r || searches >= 5) break;
      lo = r;
      hi = 1.00001 * d;
    }
    nodeThickness[i] = std::sqrt(best);
  }
  Trace("##FIN");
}

}  // namespace vexmor
