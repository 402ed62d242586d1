// How the march stays near-linear while giving exactly the steps of one search per step:
//
// - Runs of steps: the run's box (the union of its steps' boxes) is searched once. Rounding to
//   single precision is monotonic, so every node that the search of one step would list is
//   also listed by the search of the run, and the reach of each node (adt_search.h) tells
//   exactly which steps' searches would have listed it, and in the same order. An empty run
//   skips all its steps; runs double in length while they stay empty.
// - With a finite start and step, where the march ends and any of its points are known without
//   the subtractions before them (march_steps.h), and each coordinate moves one way, so a run's
//   box is the box of its end points: a run through empty space costs one search whatever its
//   length. Points are made one by one only for the steps that are looked at one by one.
// - A run whose search finds many faces is split in halves, each searched or filtered again,
//   so that a long run ending next to a dense wall does not test every face of that wall
//   against every step.
// - Faces whose planes lie clearly away from every point of a run cannot be crossed by any of
//   its steps (the margin below covers every rounding of the segment-triangle test), so they
//   are dropped before the steps are looked at one by one. This keeps short steps cheap next
//   to the faces they pass.
#include "geometry/ray_march.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "geometry/face_triangles.h"
#include "geometry/march_steps.h"
#include "geometry/tolerances.h"
#include "geometry/vec3.h"
#include "mesh/smesh.h"

namespace vexmor {
namespace {

// A search of several steps that finds more faces than this is split instead.
constexpr size_t kMaxFacesPerRunSearch = 64;
// Below this many (step, face) pairs the steps of a run are filtered one by one.
constexpr size_t kDirectPairs = 256;
// Every level halves the steps of the level above, so this covers the longest march.
constexpr int kLevels = 40;
// Runs of a march whose points are made one by one (a start or step that is not finite).
constexpr int64_t kMaxLaidOutRun = int64_t{1} << 16;

bool LeavesBox(const double bbox[6], const double* prev, const double* cur) {
  for (int k = 0; k < 3; ++k) {
    if (prev[k] < bbox[k] && cur[k] < bbox[k]) return true;
    if (prev[k] > bbox[k + 3] && cur[k] > bbox[k + 3]) return true;
  }
  return false;
}

class Marcher {
 public:
  Marcher(const SMesh& mesh, const double start[3], const double step[3], MarchVisitor& visitor)
      : mesh_(mesh), tree_(*mesh.adt), visitor_(visitor), steps_(start, step), levels_(kLevels) {
    stepLength_ = std::sqrt(step[0] * step[0] + step[1] * step[1] + step[2] * step[2]);
  }

  MarchEnd Run(int64_t maxSearches) {
    if (!steps_.Finite()) return RunStepByStep(maxSearches);
    // Where the march ends is known before it starts, and any of its points can be had
    // without the steps before it: a run through empty space costs one search, however long.
    const MarchLength length = steps_.Length(mesh_.bbox, std::min(maxSearches, kMaxMarchSteps));
    int64_t taken = 0;
    int64_t runLength = 1;
    while (taken < length.searched) {
      const int64_t end = taken + std::min(runLength, length.searched - taken);
      mayCross_ = false;
      if (Process(taken, end, nullptr, 0)) return MarchEnd::kStopped;
      taken = end;
      // Runs grow while no face comes near them and start again at one step after.
      runLength = mayCross_ ? 1 : 2 * runLength;
    }
    return length.end;
  }

 private:
  // The march with its points made one by one, each step tested as it comes.
  MarchEnd RunStepByStep(int64_t maxSearches) {
    laidOut_ = true;
    points_.assign(steps_.Start(), steps_.Start() + 3);
    const double* step = steps_.Step();
    int64_t taken = 0;
    int64_t runLength = 1;
    for (;;) {
      // Lay out the next run of steps from the last point.
      points_.erase(points_.begin(), points_.end() - 3);
      first_ = taken;
      int64_t steps = 0;
      bool ended = false;
      MarchEnd end = MarchEnd::kStalled;
      while (steps < runLength) {
        const int64_t index = taken + steps;
        const double* prev = &points_[points_.size() - 3];
        const double cur[3] = {prev[0] - step[0], prev[1] - step[1], prev[2] - step[2]};
        ended = true;
        if (LeavesBox(mesh_.bbox, prev, cur)) {
          end = MarchEnd::kLeftBox;
          break;
        }
        if (index >= maxSearches || index >= kMaxMarchSteps) {
          end = MarchEnd::kOutOfSteps;
          break;
        }
        // A coordinate that is not a number stays so and counts as unchanged: a step whose
        // search range holds one finds nothing.
        bool moved = false;
        for (int k = 0; k < 3; ++k)
          moved = moved || (cur[k] != prev[k] && !(std::isnan(cur[k]) && std::isnan(prev[k])));
        points_.insert(points_.end(), cur, cur + 3);
        ++steps;
        if (!moved) {  // every later step would repeat this one
          end = MarchEnd::kStalled;
          break;
        }
        ended = false;
      }
      if (steps > 0) {
        mayCross_ = false;
        if (Process(taken, taken + steps, nullptr, 0)) return MarchEnd::kStopped;
        taken += steps;
        runLength = mayCross_ ? 1 : std::min(2 * runLength, kMaxLaidOutRun);
      }
      if (ended) return end;
    }
  }

  // Makes points a .. b the laid-out ones, in order, with the march's own subtractions.
  void LayOut(int64_t a, int64_t b) {
    if (laidOut_) return;  // the step-by-step march has laid out its whole run
    first_ = a;
    points_.resize(3 * static_cast<size_t>(b - a + 1));
    steps_.Point(a, points_.data());
    const double* step = steps_.Step();
    for (size_t i = 3; i < points_.size(); ++i)
      points_[i] = points_[i - 3] - step[i % 3];
  }
  // Point i, which must be laid out.
  const double* Point(int64_t i) const { return &points_[3 * static_cast<size_t>(i - first_)]; }

  // Box of the steps [a, b): the union of each step's min(prev, cur) and max(prev, cur). Every
  // coordinate moves one way along a march with a finite start and step, so that is the box
  // of the end points.
  void StepsBox(int64_t a, int64_t b, double lo[3], double hi[3]) const {
    if (!laidOut_) {
      double p[3], q[3];
      steps_.Point(a, p);
      steps_.Point(b, q);
      for (int k = 0; k < 3; ++k) {
        lo[k] = std::min(p[k], q[k]);
        hi[k] = std::max(p[k], q[k]);
      }
      return;
    }
    for (int k = 0; k < 3; ++k) {
      lo[k] = INFINITY;
      hi[k] = -INFINITY;
    }
    for (int64_t j = a; j < b; ++j) {
      const double *p = Point(j), *q = Point(j + 1);
      for (int k = 0; k < 3; ++k) {
        lo[k] = std::min(lo[k], std::min(p[k], q[k]));
        hi[k] = std::max(hi[k], std::max(p[k], q[k]));
      }
    }
  }

  AdtRangeF RangeOf(const double lo[3], const double hi[3]) const {
    const double low[6] = {mesh_.bbox[0], mesh_.bbox[1], mesh_.bbox[2], lo[0], lo[1], lo[2]};
    const double high[6] = {hi[0], hi[1], hi[2], mesh_.bbox[3], mesh_.bbox[4], mesh_.bbox[5]};
    return RoundRange(low, high);
  }

  // Keeps the faces that some step inside the box may cross.
  void DropFacesClearOf(std::vector<AdtReach>& faces, const double lo[3], const double hi[3]) {
    const double length = stepLength_;
    std::erase_if(faces, [&](const AdtReach& face) {
      bool mayCross = false;
      ForEachSubTriangle(mesh_, face.facePos, [&](const double* tri) {
        mayCross = !PlaneClearOfBox(tri, lo, hi, length);
        return mayCross;
      });
      return !mayCross;
    });
  }

  // Steps [a, b) of the current run. `known`, when given, holds every face that the search of
  // these steps' box would list (with reach), in search order. Returns true to stop the march.
  bool Process(int64_t a, int64_t b, const std::vector<AdtReach>* known, int level) {
    double lo[3], hi[3];
    StepsBox(a, b, lo, hi);
    const AdtRangeF range = RangeOf(lo, hi);
    std::vector<AdtReach>& faces = levels_[static_cast<size_t>(level)];
    if (known != nullptr) {
      faces.clear();
      for (const AdtReach& face : *known) {
        if (AdtReaches(face, range)) faces.push_back(face);
      }
    } else if (!AdtSearchReach(tree_, range, faces, b - a > 1 ? kMaxFacesPerRunSearch : SIZE_MAX)) {
      const int64_t mid = a + (b - a) / 2;
      return Process(a, mid, nullptr, level + 1) || Process(mid, b, nullptr, level + 1);
    }
    if (faces.empty()) return false;
    DropFacesClearOf(faces, lo, hi);
    if (faces.empty()) return false;
    mayCross_ = true;
    if (static_cast<size_t>(b - a) * faces.size() > kDirectPairs) {
      const int64_t mid = a + (b - a) / 2;
      return Process(a, mid, &faces, level + 1) || Process(mid, b, &faces, level + 1);
    }
    LayOut(a, b);
    if (b - a == 1) return visitor_.Visit(Point(a), Point(b), faces);
    std::vector<AdtReach>& stepFaces = levels_[static_cast<size_t>(level + 1)];
    for (int64_t j = a; j < b; ++j) {
      double stepLo[3], stepHi[3];
      const double *p = Point(j), *q = Point(j + 1);
      for (int k = 0; k < 3; ++k) {
        stepLo[k] = std::min(p[k], q[k]);
        stepHi[k] = std::max(p[k], q[k]);
      }
      const AdtRangeF stepRange = RangeOf(stepLo, stepHi);
      stepFaces.clear();
      for (const AdtReach& face : faces) {
        if (AdtReaches(face, stepRange)) stepFaces.push_back(face);
      }
      if (!stepFaces.empty() && visitor_.Visit(Point(j), Point(j + 1), stepFaces)) return true;
    }
    return false;
  }

  const SMesh& mesh_;
  const AdtTree& tree_;
  MarchVisitor& visitor_;
  MarchSteps steps_;
  double stepLength_ = 0.0;
  bool laidOut_ = false;                       // points are made one by one, never jumped to
  int64_t first_ = 0;                          // index of the first laid-out point
  std::vector<double> points_;                 // laid-out points, 3 per point
  std::vector<std::vector<AdtReach>> levels_;  // face lists, one per level of splitting
  bool mayCross_ = false;                      // some step of the current run may cross a face
};

// A triangle whose normal comes out exactly zero has no plane: the test meets it only in its
// parallel branch, from a segment start within sqrt(eps) (1.22e-4) of the line A-C, or of A-B
// when A and C coincide, or of A when all three do, in the very order the test chooses. The
// box is clear of it when its centre lies farther from that line or point than its
// half-diagonal plus delta (distance to a line changes no faster than the point moves), delta
// covering the rounding of the test's projection as it does for planes below.
bool LineClearOfBox(Vec3 A, Vec3 B, Vec3 C, const double lo[3], const double hi[3], double delta) {
  const Vec3 centre = {0.5 * lo[0] + 0.5 * hi[0], 0.5 * lo[1] + 0.5 * hi[1],
                       0.5 * lo[2] + 0.5 * hi[2]};
  const double halfDiagonal = 0.5 * Length(Vec3{hi[0] - lo[0], hi[1] - lo[1], hi[2] - lo[2]});
  double distance;
  if (SquaredLength(C - A) > kSqrtEps) {
    const Vec3 u = C - A;
    distance = Length(Cross(centre - A, u)) / Length(u);
  } else if (SquaredLength(B - A) > kSqrtEps) {
    const Vec3 u = B - A;
    distance = Length(Cross(centre - A, u)) / Length(u);
  } else {
    distance = Length(centre - A);
  }
  return distance * (1 - 1e-6) > halfDiagonal + delta;
}

}  // namespace

// Why the margin suffices: with both ends of a segment at more than delta from the plane on the
// same side, the parallel branch needs the start within sqrt(eps) (1.22e-4) of the plane, and
// the crossing of the non-parallel branch lies beyond the segment by more than delta along its
// line, hence by more than delta / sqrt(3) on its longest axis, far more than the eps of the
// box test; the terms in S (coordinate magnitude) and the step length cover the rounding of the
// dot products and of the crossing parameter, including nearly parallel segments, whose
// computed crossing lands far outside. A triangle whose plane is snapped to x, y or z = const
// must also have that plane outside the box on its axis.
bool PlaneClearOfBox(const double* tri, const double lo[3], const double hi[3], double stepLength) {
  const Vec3 A = Vec3::Load(tri), B = Vec3::Load(tri + 3), C = Vec3::Load(tri + 6);
  const Vec3 n = Cross(B - A, C - A);
  const double nn = SquaredLength(n);
  double magnitude = 1.0;
  for (int k = 0; k < 3; ++k)
    magnitude = std::max({magnitude, std::fabs(lo[k]), std::fabs(hi[k]), std::fabs(A[k])});
  if (!(magnitude <= 1e9) || !(stepLength <= 1e9)) return false;
  const double delta = 2e-4 + 1e-7 * magnitude + 1e-5 * stepLength;
  if (n.x == 0.0 && n.y == 0.0 && n.z == 0.0) return LineClearOfBox(A, B, C, lo, hi, delta);
  if (!(nn >= kSqrtEps)) return false;  // too small to have a plane the test would use
  const double margin = delta * std::sqrt(nn) * (1 + 1e-6);
  double fmin = INFINITY, fmax = -INFINITY;
  for (int corner = 0; corner < 8; ++corner) {
    const Vec3 p = {(corner & 1) ? hi[0] : lo[0], (corner & 2) ? hi[1] : lo[1],
                    (corner & 4) ? hi[2] : lo[2]};
    const double f = Dot(n, p - A);
    fmin = std::min(fmin, f);
    fmax = std::max(fmax, f);
  }
  if (!(fmin > margin || fmax < -margin)) return false;
  const bool flatX = std::fabs(n.x) < kSqrtEps, flatY = std::fabs(n.y) < kSqrtEps,
             flatZ = std::fabs(n.z) < kSqrtEps;
  int snapped = -1;
  if (flatY && flatZ) {
    snapped = 0;
  } else if (flatX && flatZ) {
    snapped = 1;
  } else if (flatX && flatY) {
    snapped = 2;
  }
  if (snapped >= 0) {
    const double a = A[snapped];
    if (!(a < lo[snapped] - 2 * kSqrtEps || a > hi[snapped] + 2 * kSqrtEps)) return false;
  }
  return true;
}

MarchEnd MarchRay(const SMesh& mesh, const double start[3], const double step[3],
                  int64_t maxSearches, MarchVisitor& visitor) {
  Marcher marcher(mesh, start, step, visitor);
  return marcher.Run(maxSearches);
}

}  // namespace vexmor
