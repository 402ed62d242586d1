#include "geometry/ray_probe.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_set>

#include "geometry/adt.h"
#include "geometry/bbox.h"
#include "geometry/face_normal.h"
#include "geometry/face_triangles.h"
#include "geometry/normalize.h"
#include "geometry/ray_march.h"
#include "geometry/segment_triangle.h"
#include "geometry/tolerances.h"
#include "geometry/triangle_incircle.h"
#include "mesh/prefetch.h"
#include "mesh/smesh.h"
#include "mesh/trace.h"
#include "topology/edge_list.h"
#include "topology/face_turn.h"
#include "topology/sides_across.h"

namespace vexmor {
namespace {

void PrepareSearch(SMesh& mesh) {
  if (mesh.bboxDone == 0) ComputeBBox(mesh, false);
  // Callers build the ADT first; building it here keeps a missing tree from being a crash.
  if (!mesh.adt) BuildAdtTree(mesh);
}

// Whether segment prev -> cur crosses the triangle, and where. A segment lying along an edge of
// the triangle is reported crossing without a point; it is then taken at prev, where the step
// starts.
bool CrossesTriangle(const double* tri, const double prev[3], const double cur[3], double x[3]) {
  std::copy_n(prev, 3, x);
  return SegmentTriangleIntersect(tri, tri + 3, tri + 6, prev, cur, x);
}

// The nearest crossing, from the origin, within the first step that has any.
class FirstHitVisitor final : public MarchVisitor {
 public:
  FirstHitVisitor(const SMesh& mesh, int32_t excludedPos, const double origin[3])
      : mesh_(mesh), excludedPos_(excludedPos) {
    std::copy_n(origin, 3, origin_);
  }

  bool Visit(const double prev[3], const double cur[3], std::span<const AdtReach> faces) override {
    bool recorded = false;
    for (const AdtReach& face : faces) {
      if (excludedPos_ >= 0 && face.facePos == excludedPos_) continue;
      ForEachSubTriangle(mesh_, face.facePos, [&](const double* tri) {
        double x[3];
        if (CrossesTriangle(tri, prev, cur, x)) {
          const double d2 = SquaredLength(Vec3::Load(x) - Vec3::Load(origin_));
          if (d2 < best_) {
            best_ = d2;
            hit_ = {face.faceIndex, face.facePos};
            recorded = true;
          }
        }
        return false;
      });
    }
    return recorded;
  }

  double best() const { return best_; }
  FaceRef hit() const { return hit_; }

 private:
  const SMesh& mesh_;
  int32_t excludedPos_;
  double origin_[3];
  double best_ = kDblMax;
  FaceRef hit_;
};

// Every face crossed, each once, in order of discovery; and whether some step listed a face
// after one that the ray crosses farther from its start.
class CrossedFacesVisitor final : public MarchVisitor {
 public:
  CrossedFacesVisitor(const SMesh& mesh, int32_t sourcePos, const double start[3], size_t maxFaces,
                      std::vector<FaceRef>& result)
      : mesh_(mesh), sourcePos_(sourcePos), maxFaces_(maxFaces), result_(result) {
    std::copy_n(start, 3, start_);
  }

  bool Visit(const double prev[3], const double cur[3], std::span<const AdtReach> faces) override {
    // Squared distance from the start of the farthest crossing listed in this step so far.
    double farthest = -1.0;
    for (const AdtReach& face : faces) {
      if (face.facePos == sourcePos_) continue;
      const FaceRef ref = {face.faceIndex, face.facePos};
      // Faces are listed in order of discovery, so the list stops growing at maxFaces with the
      // same first faces as the whole march would give.
      const bool full = ForEachSubTriangle(mesh_, face.facePos, [&](const double* tri) {
        double x[3];
        if (CrossesTriangle(tri, prev, cur, x) && Append(ref)) {
          const double d2 = SquaredLength(Vec3::Load(x) - Vec3::Load(start_));
          if (d2 < farthest) outOfOrder_ = true;
          farthest = std::max(farthest, d2);
        }
        return result_.size() >= maxFaces_;
      });
      if (full) return true;
    }
    return false;
  }

  bool OutOfOrder() const { return outOfOrder_; }

 private:
  static uint64_t Key(FaceRef ref) {
    return (uint64_t{static_cast<uint32_t>(ref.faceIndex)} << 32) |
           static_cast<uint32_t>(ref.facePos);
  }

  // Appends a face not listed yet; false when it is. Short lists are scanned; a ray through
  // many layers switches to a hash set so that the check stays constant-time.
  bool Append(FaceRef ref) {
    constexpr size_t kScanLimit = 32;
    if (result_.size() < kScanLimit) {
      if (std::find(result_.begin(), result_.end(), ref) != result_.end()) return false;
    } else {
      if (seen_.empty()) {
        for (const FaceRef& r : result_)
          seen_.insert(Key(r));
      }
      if (!seen_.insert(Key(ref)).second) return false;
    }
    result_.push_back(ref);
    return true;
  }

  const SMesh& mesh_;
  int32_t sourcePos_;
  double start_[3];
  size_t maxFaces_;
  std::vector<FaceRef>& result_;
  std::unordered_set<uint64_t> seen_;
  bool outOfOrder_ = false;
};

// trunc(length / step) + 1 as a step count, held inside the int32 range.
int32_t StepsToCover(double length, double step) {
  const double steps = std::trunc(length / step) + 1;
  if (!(steps >= 0)) return 0;
  return steps >= std::numeric_limits<int32_t>::max() ? std::numeric_limits<int32_t>::max()
                                                      : static_cast<int32_t>(steps);
}

// A probe from p1 towards p2 with steps of length m; the first face it meets, or nothing.
std::optional<FaceRef> Probe(SMesh& mesh, const double p1[3], const double p2[3], double length,
                             double m, double dir[3]) {
  for (int k = 0; k < 3; ++k)
    dir[k] = p1[k] - p2[k];
  Normalize(dir);
  FaceRef hit;
  if (RayFirstHit(mesh, -1, p1, dir, m, hit, true, StepsToCover(length, m)) >= 0) return hit;
  return std::nullopt;
}

// Finds a face with probes from just outside the corners of the bbox, sliding along two of its
// diagonals; dir receives the direction back towards the probe's start.
std::optional<FaceRef> FindHullFace(SMesh& mesh, double m, double dir[3]) {
  const double* box = mesh.bbox;
  const double lo[3] = {box[0] * 0.99999, box[1] * 0.99998, box[2] * 0.99997};
  const double hi[3] = {box[3] * 1.00001, box[4] * 1.00002, box[5] * 1.00003};
  const double diagonals[2][2][3] = {{{lo[0], lo[1], lo[2]}, {hi[0], hi[1], hi[2]}},
                                     {{hi[0], lo[1], lo[2]}, {lo[0], hi[1], hi[2]}}};
  for (const auto& diagonal : diagonals) {
    const double* a = diagonal[0];
    const double* b = diagonal[1];
    const double ab[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    const double full = std::sqrt(ab[0] * ab[0] + ab[1] * ab[1] + ab[2] * ab[2]);
    // Sliding in the xy plane along the diagonal, both ends moving towards each other.
    const double planar = std::sqrt(ab[0] * ab[0] + ab[1] * ab[1]);
    double ex = ab[0], ey = ab[1];
    if (full >= kDblMin) {
      ex /= full;
      ey /= full;
    }
    for (int i = 0; i < 20; ++i) {
      const double t = i * planar / 20;
      const double p1[3] = {a[0] + ex * t, a[1] + ey * t, a[2]};
      const double p2[3] = {b[0] - ex * t, b[1] - ey * t, b[2]};
      if (auto hit = Probe(mesh, p1, p2, planar, m, dir)) return hit;
    }
    // Sliding along z.
    const double vertical = b[2] - a[2];
    for (int i = 0; i < 20; ++i) {
      const double t = i * vertical / 20;
      const double p1[3] = {a[0], a[1], a[2] + t};
      const double p2[3] = {b[0], b[1], b[2] - t};
      if (auto hit = Probe(mesh, p1, p2, vertical, m, dir)) return hit;
    }
  }
  return std::nullopt;
}

}  // namespace

double RayFirstHit(SMesh& mesh, int32_t excludedPos, const double p[3], const double d[3], double h,
                   FaceRef& hit, bool limited, int32_t maxSteps) {
  PrepareSearch(mesh);
  const double step[3] = {h * d[0], h * d[1], h * d[2]};
  FirstHitVisitor visitor(mesh, excludedPos, p);
  const MarchEnd end = MarchRay(mesh, p, step, limited ? maxSteps : kUnlimitedSearches, visitor);
  if (end == MarchEnd::kStopped) {
    hit = visitor.hit();
    return std::sqrt(visitor.best());
  }
  // A march that stalled or ran past its step limit has, like one out of budget, searched
  // without a hit and not left the box.
  return end == MarchEnd::kLeftBox ? kRayLeftBox : kRayOutOfSteps;
}

bool CrossingProbeSteps(const SMesh& mesh, int32_t sourcePos, double start[3], double step[3]) {
  double normal[3] = {0, 0, 0}, radius = 0.0;
  bool hasTriangle = false;
  ForEachSubTriangle(mesh, sourcePos, [&](const double* tri) {
    // A triangle whose corners coincide has no incircle; its centre is that point.
    std::copy_n(tri, 3, start);
    radius = TriangleIncircle(tri, start);
    Compute_FaceNormal(normal, tri);
    hasTriangle = true;
    return false;
  });
  if (!hasTriangle) return false;
  for (int k = 0; k < 3; ++k)
    step[k] = normal[k] * radius;
  return true;
}

void RayCrossedFaces(SMesh& mesh, std::vector<FaceRef>& result, int32_t sourcePos, size_t maxFaces,
                     bool* listedOutOfOrder) {
  PrepareSearch(mesh);
  double start[3] = {0, 0, 0}, step[3] = {0, 0, 0};
  const bool hasTriangle = CrossingProbeSteps(mesh, sourcePos, start, step);
  result.clear();
  if (listedOutOfOrder != nullptr) *listedOutOfOrder = false;
  if (!hasTriangle || maxFaces == 0) return;
  CrossedFacesVisitor visitor(mesh, sourcePos, start, maxFaces, result);
  MarchRay(mesh, start, step, kUnlimitedSearches, visitor);
  if (listedOutOfOrder != nullptr) *listedOutOfOrder = visitor.OutOfOrder();
}

namespace {

constexpr int32_t kReadAheadEdges = 16;

// Mean length of the edges whose two nodes are both below firstLeftOut, summed in the edge
// list's order; 0 when there is none.
double MeanEdgeLengthBelow(const SMesh& mesh, int32_t firstLeftOut) {
  double sum = 0.0;
  int64_t count = 0;
  auto add = [&](const Edge& e) {
    if (!IsNode(mesh, e.node1) || !IsNode(mesh, e.node2)) return;
    if (e.node1 >= firstLeftOut || e.node2 >= firstLeftOut) return;
    sum += Length(Vec3::Load(mesh.Node(e.node1)) - Vec3::Load(mesh.Node(e.node2)));
    ++count;
  };
  const bool fromSides = ForEachEdgeOfSidesAcross(
      mesh, [&](int32_t f) { mesh.PrefetchFaceNodes(4 * int64_t{f}); }, add);
  const int32_t edges = fromSides ? 0 : mesh.edgeHash.RecordCount();
  for (int32_t i = 0; i < edges; ++i) {
    // The nodes of an edge a few records ahead are asked for: they lie anywhere.
    if (i + kReadAheadEdges < edges) {
      const Edge& ahead = mesh.edgeHash.Record(i + kReadAheadEdges);
      if (IsNode(mesh, ahead.node1)) PrefetchForRead(mesh.Node(ahead.node1));
      if (IsNode(mesh, ahead.node2)) PrefetchForRead(mesh.Node(ahead.node2));
    }
    add(mesh.edgeHash.Record(i));
  }
  return count > 0 ? sum / static_cast<double>(count) : 0.0;
}

}  // namespace

double MeanEdgeLength(const SMesh& mesh) {
  if (mesh.outside == 0) return MeanEdgeLengthBelow(mesh, mesh.nbNodes);
  // With the outside flag the last eight nodes are taken for the enclosing box's corners. The
  // check orients the part before the box is added, so on a part of eight nodes or fewer no
  // edge would remain; its own edges then size the steps.
  const double withoutBox = MeanEdgeLengthBelow(mesh, mesh.nbNodes - 8);
  return withoutBox > 0.0 ? withoutBox : MeanEdgeLengthBelow(mesh, mesh.nbNodes);
}

std::optional<FaceRef> OrientSeedFace(SMesh& mesh) {
  // A few probes near the hull: they place only the part of the tree they enter.
  if (!mesh.adt) BuildAdtTreeOnDemand(mesh);
  if (mesh.bboxDone == 0) ComputeBBox(mesh, false);
  if (mesh.edgeHash.RecordCount() == 0 && !SidesAcrossDescribeFaces(mesh)) BuildEdgeHash(mesh);

  const double m = MeanEdgeLength(mesh);
  if (!(m > 0.0) || !std::isfinite(m)) return std::nullopt;  // no edge to size the steps by
  double dir[3];
  const std::optional<FaceRef> seed = FindHullFace(mesh, m, dir);
  if (!seed) return std::nullopt;

  double normal[3] = {0, 0, 0};
  ForEachSubTriangle(mesh, seed->facePos, [&](const double* tri) {
    const Vec3 a = Vec3::Load(tri), b = Vec3::Load(tri + 3), c = Vec3::Load(tri + 6);
    Cross(b - a, c - a).Store(normal);
    if (NormalizeOrDefault(normal))
      Trace("!!!! Undefined face normal (face pos : %d)", seed->facePos);
    return false;
  });
  // dir points back towards the probe's start, out of the mesh.
  if (Dot(Vec3::Load(dir), Vec3::Load(normal)) >= 0) return seed;

  if (!TurnFace(mesh, seed->facePos)) return std::nullopt;
  return seed;
}

}  // namespace vexmor
