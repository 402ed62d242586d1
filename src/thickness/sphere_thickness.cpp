#include "thickness/sphere_thickness.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "geometry/adt.h"
#include "geometry/adt_ray_walk.h"
#include "geometry/bbox.h"
#include "geometry/face_frame.h"
#include "geometry/ray_probe.h"
#include "geometry/ray_tree.h"
#include "geometry/segment_triangle.h"
#include "geometry/tolerances.h"
#include "geometry/vec3.h"
#include "geometry/wall_tree.h"
#include "mesh/face_walk.h"
#include "mesh/smesh.h"
#include "mesh/trace.h"
#include "thickness/crossed_faces.h"
#include "thickness/faces_around_node.h"
#include "thickness/sphere_step.h"
#include "thickness/sphere_walls.h"
#include "topology/edge_list.h"

namespace vexmor {
namespace {

// A face whose refinement identifies no wall starts again from a sphere this much larger.
constexpr double kEnlargement = 1.5;
// Radii are never started below this fraction of halfDiag (a zero radius would not grow) ...
constexpr double kSmallestRadius = 1e-9;
// ... and a face gives up once its radius passes twice the bbox diagonal, at the latest after
// as many enlargements as it takes to get there from the smallest radius.
constexpr double kLargestRadius = 4.0;
constexpr int32_t kMaxEnlargements = 64;

class SphereWalk {
 public:
  SphereWalk(SMesh& mesh, std::span<double> out, uint32_t variant)
      : mesh_(mesh),
        rays_(*mesh.adt),
        walls_(*mesh.adt, mesh),
        sphereWalls_(walls_),
        out_(out),
        variant_(variant),
        nbFaces_(mesh.nbFaces),
        visited_(static_cast<size_t>(nbFaces_), 0),
        remaining_(static_cast<size_t>(std::max(mesh.nbNodes, 0)), 0),
        // A closed ring around a node needs one entry per face plus the start face again.
        walkIndices_(static_cast<size_t>(nbFaces_) + 2),
        walkPositions_(static_cast<size_t>(nbFaces_) + 2) {
    processed_.reserve(static_cast<size_t>(nbFaces_));
    radius_.reserve(static_cast<size_t>(nbFaces_));
  }

  void Run() {
    SetAsideFacesWithoutTriangle();
    FaceRef seed;
    bool haveSeed = FindFirstSeed(seed);
    int32_t cursorIndex = 0;
    int32_t cursorPos = 0;
    while (done_ < nbFaces_) {
      if (!haveSeed) {
        // Later regions start at the first face, in connectivity order, not yet measured.
        while (visited_[static_cast<size_t>(cursorIndex)] != 0) {
          cursorPos = NextFacePos(mesh_.elem, cursorPos);
          ++cursorIndex;
        }
        seed = {cursorIndex, cursorPos};
      }
      haveSeed = false;
      const size_t regionStart = processed_.size();
      Measure(seed, 0.0, /*isSeed=*/true);
      for (size_t p = regionStart; p < processed_.size(); ++p) {
        GatherAround(processed_[p]);
        const double start = radius_[p];
        for (const FaceRef& candidate : candidates_) {
          if (visited_[static_cast<size_t>(candidate.faceIndex)] == 0) {
            Measure(candidate, start, /*isSeed=*/false);
          }
        }
      }
    }
  }

 private:
  // Faces that are no triangle cannot be measured: 0.0, and never walked to.
  void SetAsideFacesWithoutTriangle() {
    const std::span<const int32_t> elem = mesh_.elem;
    int32_t face = 0;
    for (int32_t pos = 0; pos < mesh_.szelem && face < nbFaces_;
         pos = NextFacePos(elem, pos), ++face) {
      const int32_t n = elem[static_cast<size_t>(pos)];
      if (n >= 3 && n <= mesh_.szelem - 1 - pos) {
        for (int32_t k = 1; k <= n; ++k)
          ++remaining_[static_cast<size_t>(elem[static_cast<size_t>(pos + k)])];
        continue;
      }
      out_[static_cast<size_t>(face)] = 0.0;
      visited_[static_cast<size_t>(face)] = 1;
      ++done_;
    }
  }

  // The first region's seed: the first face, in connectivity order, whose ray into the material
  // crosses exactly one face (RayCrossedFaces). Each probe is counted through the wall tree and
  // stops at the second face it crosses, so that faces which see two walls cost only the way
  // to the second. Faces without a triangle are set aside already; their probe would cross
  // nothing. Without such a face, the first face seeds.
  bool FindFirstSeed(FaceRef& seed) {
    const std::span<const int32_t> elem = mesh_.elem;
    int32_t face = 0;
    for (int32_t pos = 0; pos < mesh_.szelem && face < nbFaces_;
         pos = NextFacePos(elem, pos), ++face) {
      if (visited_[static_cast<size_t>(face)] != 0) continue;
      if (CountCrossedFaces(mesh_, walls_, pos, 2) == 1) {
        seed = {face, pos};
        return true;
      }
    }
    return false;
  }

  // The faces around each node of `face` that are not measured yet, in walk order; a face may
  // be listed more than once. Nodes without unmeasured faces around them are not walked, which
  // keeps the walks to about one per node.
  void GatherAround(FaceRef face) {
    candidates_.clear();
    const int32_t pos = face.facePos;
    const int32_t n = mesh_.elem[static_cast<size_t>(pos)];
    for (int32_t k = 1; k <= n; ++k) {
      const int32_t node = mesh_.elem[static_cast<size_t>(pos + k)];
      if (remaining_[static_cast<size_t>(node)] == 0) continue;
      walkIndices_[0] = face.faceIndex;
      walkPositions_[0] = face.facePos;
      const int32_t around = FacesAroundNode(mesh_, node, walkIndices_, walkPositions_);
      for (int32_t j = 0; j < around; ++j) {
        const int32_t g = walkIndices_[static_cast<size_t>(j)];
        if (g >= 0 && g < nbFaces_ && visited_[static_cast<size_t>(g)] == 0) {
          candidates_.push_back({g, walkPositions_[static_cast<size_t>(j)]});
        }
      }
    }
  }

  void Measure(FaceRef face, double startRadius, bool isSeed) {
    FaceFrame frame;
    LoadFaceFrame(mesh_, face.facePos, 0, frame);
    double ptmin[3] = {frame.P[0], frame.P[1], frame.P[2]};
    int32_t fmin = -1;
    double R = startRadius;
    if (isSeed) {
      FaceRef hit;
      R = Coarse_Initial_Thickness(mesh_, rays_, face.facePos, frame.P, frame.N, hit);
    }
    const double smallest = kSmallestRadius * mesh_.halfDiag;
    if (!(R > smallest)) R = smallest;
    const double firstRadius = R;

    double radius = 0.0;
    bool identified = false;
    for (int32_t attempt = 0; attempt <= kMaxEnlargements; ++attempt) {
      RefineState state;
      do {
        state.level = 1;
        if (state.stop == 0) {
          SphereRefine(mesh_, sphereWalls_, face.faceIndex, R, frame.N, frame.P, ptmin, fmin,
                       state);
        }
      } while (state.level == kRefineMaxLevel);
      if (fmin != -1) {
        identified = true;
        radius = R;
        break;
      }
      R = std::max(kEnlargement * R, smallest);
      if (R > kLargestRadius * mesh_.halfDiag) break;
    }
    double value = radius;
    if (identified && variant_ == kSphereContactDistance) {
      value = Length(Vec3::Load(ptmin) - Vec3::Load(frame.P));
    }

    double reported = value;
    if (identified && mesh_.outside != 0 && fmin >= nbFaces_ - 12) reported = -value;
    out_[static_cast<size_t>(face.faceIndex)] = reported;
    processed_.push_back(face);
    // Neighbours start from this face's reported value (the radius, or the contact distance),
    // unsigned. A face that found no wall tells them nothing: they start where it started.
    radius_.push_back(identified ? std::fabs(value) : firstRadius);
    MarkMeasured(face);
  }

  void MarkMeasured(FaceRef face) {
    visited_[static_cast<size_t>(face.faceIndex)] = 1;
    ++done_;
    const int32_t n = mesh_.elem[static_cast<size_t>(face.facePos)];
    for (int32_t k = 1; k <= n; ++k)
      --remaining_[static_cast<size_t>(mesh_.elem[static_cast<size_t>(face.facePos + k)])];
  }

  SMesh& mesh_;
  AdtRayWalk rays_;          // the seeds' probes
  WallTree walls_;           // the spheres' walls
  SphereWalls sphereWalls_;  // the walls of the refinement under way
  std::span<double> out_;
  uint32_t variant_;
  int32_t nbFaces_;
  int32_t done_ = 0;
  std::vector<uint8_t> visited_;
  std::vector<int32_t> remaining_;  // per node, faces around it not measured yet
  std::vector<FaceRef> processed_;  // in measuring order
  std::vector<double> radius_;      // per processed face, where its neighbours start from
  std::vector<FaceRef> candidates_;
  std::vector<int32_t> walkIndices_;
  std::vector<int32_t> walkPositions_;
};

}  // namespace

namespace {

// The nearest crossing of the ray from P against N among the faces that
// candidates(along, length, bound, consider) offers to consider(triangle, face, rank), nearest
// groups first; see Coarse_Initial_Thickness.
template <class Candidates>
double NearestCrossing(SMesh& mesh, const double P[3], const double N[3], FaceRef& hit,
                       Candidates&& candidates) {
  Trace("## Coarse_Initial_Thickness : ");
  // A degenerate triangle's raw normal is no direction: the ray would go nowhere.
  const Vec3 normal = Vec3::Load(N);
  if (!(SquaredLength(normal) > 0.25)) return kRayLeftBox;
  if (mesh.bboxDone == 0) ComputeBBox(mesh);

  // Every face lies in bbox, which P lies in: crossings are no farther than its diagonal.
  const double length = 2.0 * mesh.halfDiag + 1.0;
  const Vec3 origin = Vec3::Load(P);
  double end[3];
  (origin - length * normal).Store(end);
  const double along[3] = {-N[0], -N[1], -N[2]};

  double best2 = kDblMax;
  int32_t bestRank = -1;
  double bound = length * Length(normal);
  auto consider = [&](const double tri[9], FaceRef face, int32_t rank) {
    double x[3];
    if (!SegmentTriangleIntersect(tri, tri + 3, tri + 6, P, end, x)) return;
    const double d2 = SquaredLength(Vec3::Load(x) - origin);
    if (d2 < best2 || (d2 == best2 && rank < bestRank)) {
      best2 = d2;
      bestRank = rank;
      hit = face;
      // A little beyond, so that an equally near crossing listed earlier is still met.
      bound = std::sqrt(d2) * (1.0 + 1e-12) + 1e-9;
    }
  };
  candidates(along, length, bound, consider);
  return bestRank >= 0 ? std::sqrt(best2) : kRayLeftBox;
}

}  // namespace

double Coarse_Initial_Thickness(SMesh& mesh, AdtRayWalk& walls, int32_t facePos, const double P[3],
                                const double N[3], FaceRef& hit) {
  return NearestCrossing(
      mesh, P, N, hit, [&](const double along[3], double length, double& bound, auto& consider) {
        walls.AlongRay(P, along, length, bound, [&](const AdtNode& node, int32_t rank) {
          if (node.facePos == facePos) return;
          double tri[9];
          for (int32_t k = 0; LoadFaceTriangle(mesh, node.facePos, k, tri); ++k)
            consider(tri, {node.faceIndex, node.facePos}, rank);
        });
      });
}

// The ray tree groups faces by where they lie, so a ray passes the boxes of few groups; it holds
// one triangle per face, which is all of a face once quadrilaterals are split. The ray thickness,
// which probes every face, builds it; the rolling sphere probes only its seeds and walks the ADT.
double Coarse_Initial_Thickness(SMesh& mesh, RayTree& rays, int32_t facePos, const double P[3],
                                const double N[3], FaceRef& hit) {
  return NearestCrossing(mesh, P, N, hit,
                         [&](const double along[3], double length, double& bound, auto& consider) {
                           rays.AlongRay(P, along, length, bound, [&](const RayFace& face) {
                             if (face.facePos != facePos)
                               consider(face.tri, {face.faceIndex, face.facePos}, face.rank);
                           });
                         });
}

void SphereThickness(SMesh& mesh, std::span<double> faceThickness, uint32_t variant) {
  BuildAdtTree(mesh);
  if (mesh.bboxDone == 0) ComputeBBox(mesh);
  if (mesh.nbFaces <= 0 || faceThickness.size() < static_cast<size_t>(mesh.nbFaces)) return;
  if (mesh.edgeHash.RecordCount() == 0) BuildEdgeHash(mesh);
  SphereWalk walk(mesh, faceThickness, variant);
  walk.Run();
}

}  // namespace vexmor
