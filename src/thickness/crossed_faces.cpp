#include "thickness/crossed_faces.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "geometry/adt_search.h"
#include "geometry/bbox.h"
#include "geometry/march_steps.h"
#include "geometry/ray_march.h"
#include "geometry/ray_probe.h"
#include "geometry/segment_triangle.h"
#include "geometry/wall_tree.h"
#include "mesh/smesh.h"

namespace vexmor {
namespace {

// Up to this many steps near a face are looked at one by one; more are bounded exactly first.
constexpr int64_t kStepsWalked = 24;
// Runs of listed steps longer than this are first tested as a whole against the face's plane.
constexpr int64_t kStepsTestedOneByOne = 8;

// The first step index, near hint, at which the coordinate's test holds, for a test that is
// false and then true along the march.
template <class Test>
int64_t FirstStepWhere(const MarchSteps& steps, int k, int64_t searched, double target,
                       Test&& test) {
  const double x = steps.Start()[k], s = steps.Step()[k];
  double guess = (x - target) / s;
  if (!(guess >= 0.0)) guess = 0.0;
  if (!(guess < static_cast<double>(searched))) guess = static_cast<double>(searched);
  return FirstIndexWhere(0, searched, static_cast<int64_t>(guess), test);
}

// The steps j (from first to last) whose searches list a face: each step's range is its box
// rounded to single precision, and the search lists the face when the range reaches its reach
// bounds. Along the march each coordinate moves one way, so each bound holds on a prefix or a
// suffix of the steps. False when no step lists the face.
bool ListingSteps(const MarchSteps& steps, int64_t searched, const AdtRangeF& fixed,
                  const AdtReach& reach, int64_t& first, int64_t& last) {
  for (int k = 0; k < 3; ++k) {
    if (!(fixed.low[k] <= reach.needLow[k] && fixed.high[k + 3] >= reach.needHigh[k + 3])) {
      return false;
    }
  }
  first = 0;
  last = searched - 1;
  for (int k = 0; k < 3 && first <= last; ++k) {
    const double s = steps.Step()[k];
    const float high = reach.needHigh[k];    // the step's largest coordinate must reach it
    const float low = reach.needLow[k + 3];  // and its smallest must not exceed this
    auto at = [&](int64_t j) { return static_cast<float>(steps.Coordinate(k, j)); };
    if (s == 0.0) {
      const float x = at(0);
      if (!(x >= high && x <= low)) return false;
      continue;
    }
    if (s > 0.0) {
      // Falling: the step's largest coordinate is its start, its smallest its end.
      const int64_t below =
          FirstStepWhere(steps, k, searched, high, [&](int64_t j) { return !(at(j) >= high); });
      last = std::min(last, below - 1);
      const int64_t reached =
          FirstStepWhere(steps, k, searched, low, [&](int64_t j) { return at(j + 1) <= low; });
      first = std::max(first, reached);
    } else {
      const int64_t reached =
          FirstStepWhere(steps, k, searched, high, [&](int64_t j) { return at(j + 1) >= high; });
      first = std::max(first, reached);
      const int64_t above =
          FirstStepWhere(steps, k, searched, low, [&](int64_t j) { return !(at(j) <= low); });
      last = std::min(last, above - 1);
    }
  }
  return first <= last;
}

class CrossingCounter {
 public:
  // The march of `steps`, searched for `searched` steps.
  CrossingCounter(const SMesh& mesh, const MarchSteps& steps, int64_t searched)
      : steps_(steps), searched_(searched) {
    const double* step = steps.Step();
    stepLength_ = std::sqrt(step[0] * step[0] + step[1] * step[1] + step[2] * step[2]);
    // Only the box's own sides of each step's range are fixed; the others are the step's.
    const double low[6] = {mesh.bbox[0], mesh.bbox[1], mesh.bbox[2], 0, 0, 0};
    const double high[6] = {0, 0, 0, mesh.bbox[3], mesh.bbox[4], mesh.bbox[5]};
    fixed_ = RoundRange(low, high);
  }

  // Whether some step of the march lists the face and crosses its triangle, given that every
  // step that lists it lies along the march between the fractions enter and leave of its
  // length, up to the rounding of those fractions.
  bool Crosses(const WallFace& face, const AdtReach& reach, double enter, double leave) {
    for (int k = 0; k < 3; ++k) {
      if (!(fixed_.low[k] <= reach.needLow[k] && fixed_.high[k + 3] >= reach.needHigh[k + 3])) {
        return false;
      }
    }
    // Two more steps on either side cover the rounding of the fractions.
    const double n = static_cast<double>(searched_);
    const int64_t a = static_cast<int64_t>(std::max(0.0, std::floor(enter * n) - 2.0));
    const int64_t b = static_cast<int64_t>(std::min(n, std::ceil(leave * n) + 3.0));
    if (a >= b) return false;
    if (b - a <= kStepsWalked) return WalkSteps(face.tri, reach, a, b);
    int64_t first = 0, last = 0;
    if (!ListingSteps(steps_, searched_, fixed_, reach, first, last)) return false;
    return CrossesWithin(face.tri, first, last + 1);
  }

 private:
  // Steps [a, b) one by one: listed by their search, and crossing the triangle.
  bool WalkSteps(const double* tri, const AdtReach& reach, int64_t a, int64_t b) const {
    const double* step = steps_.Step();
    double p[3], q[3];
    steps_.Point(a, p);
    for (int64_t j = a; j < b; ++j) {
      bool listed = true;
      for (int k = 0; k < 3; ++k) {
        q[k] = p[k] - step[k];
        listed = listed && static_cast<float>(std::min(p[k], q[k])) <= reach.needLow[k + 3] &&
                 static_cast<float>(std::max(p[k], q[k])) >= reach.needHigh[k];
      }
      if (listed) {
        double x[3] = {p[0], p[1], p[2]};
        if (SegmentTriangleIntersect(tri, tri + 3, tri + 6, p, q, x)) return true;
      }
      std::copy_n(q, 3, p);
    }
    return false;
  }

  // Steps [a, b), all listed, against the triangle.
  bool CrossesWithin(const double* tri, int64_t a, int64_t b) const {
    double p[3], q[3];
    steps_.Point(a, p);
    if (b - a > kStepsTestedOneByOne) {
      // Coordinates move one way, so the steps' box is that of the end points.
      steps_.Point(b, q);
      double lo[3], hi[3];
      for (int k = 0; k < 3; ++k) {
        lo[k] = std::min(p[k], q[k]);
        hi[k] = std::max(p[k], q[k]);
      }
      if (PlaneClearOfBox(tri, lo, hi, stepLength_)) return false;
      const int64_t mid = a + (b - a) / 2;
      return CrossesWithin(tri, a, mid) || CrossesWithin(tri, mid, b);
    }
    const double* step = steps_.Step();
    for (int64_t j = a; j < b; ++j) {
      for (int k = 0; k < 3; ++k)
        q[k] = p[k] - step[k];
      double x[3] = {p[0], p[1], p[2]};
      if (SegmentTriangleIntersect(tri, tri + 3, tri + 6, p, q, x)) return true;
      std::copy_n(q, 3, p);
    }
    return false;
  }

  const MarchSteps& steps_;
  int64_t searched_;
  double stepLength_ = 0.0;
  AdtRangeF fixed_;
};

}  // namespace

int32_t CountCrossedFaces(SMesh& mesh, WallTree& walls, int32_t sourcePos, int32_t limit) {
  if (limit <= 0) return 0;
  if (mesh.bboxDone == 0) ComputeBBox(mesh);
  double start[3], step[3];
  if (!CrossingProbeSteps(mesh, sourcePos, start, step)) return 0;
  const MarchSteps steps(start, step);
  if (!steps.Finite() || !walls.HoldsWholeFaces()) {
    std::vector<FaceRef> crossed;
    RayCrossedFaces(mesh, crossed, sourcePos, static_cast<size_t>(limit));
    return static_cast<int32_t>(crossed.size());
  }
  const int64_t searched = steps.Length(mesh.bbox, kMaxMarchSteps).searched;
  if (searched == 0) return 0;

  // Every step lies along start - t step, 0 <= t <= searched, off that line by no more than
  // the rounding of the subtractions before it; a step's range reaches one step's length
  // around it, and its rounding to single precision a unit in the last place of that.
  double end[3], margin[3];
  double magnitude = 0.0;
  for (int k = 0; k < 3; ++k) {
    end[k] = start[k] - static_cast<double>(searched) * step[k];
    magnitude = std::max({magnitude, std::fabs(start[k]), std::fabs(end[k]),
                          std::fabs(mesh.bbox[k]), std::fabs(mesh.bbox[k + 3])});
  }
  for (int k = 0; k < 3; ++k) {
    const double coordinate = std::max(std::fabs(start[k]), std::fabs(end[k])) + std::fabs(step[k]);
    const double drift = 2.0 * static_cast<double>(searched) * coordinate * 0x1p-52;
    margin[k] = std::fabs(step[k]) + 2.0 * drift + magnitude * 0x1p-21 + 1e-300;
  }

  CrossingCounter counter(mesh, steps, searched);
  int32_t count = 0;
  walls.AlongSegment(
      start, end, margin,
      [&](const WallFace& face, const AdtReach& reach, double enter, double leave) {
        if (reach.facePos == sourcePos || !counter.Crosses(face, reach, enter, leave)) return false;
        return ++count >= limit;
      });
  return count;
}

}  // namespace vexmor
