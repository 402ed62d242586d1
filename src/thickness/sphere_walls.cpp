#include "thickness/sphere_walls.h"

#include <algorithm>
#include <cmath>

#include "geometry/closest_point.h"
#include "geometry/vec3.h"
#include "geometry/wall_tree.h"
#include "mesh/smesh.h"
#include "mesh/trace.h"
#include "thickness/sphere_step.h"

namespace vexmor {
namespace {

// The list holds the walls up to this fraction farther from the centre than the nearest one of
// the step that gathered it, ...
constexpr double kListDepth = 0.003;
// ... and this much farther in any case.
constexpr double kListFloor = 2 * kWallDistanceTolerance;
// The cube searched is this much wider than the step's, relative to the coordinates, so that
// rounding does not put the cube of a later sphere outside it.
constexpr double kCubeWidening = 1e-12;
// Later centres may lie this much farther, relative, than the nesting of the spheres allows,
// for rounding.
constexpr double kSpreadWidening = 1e-6;

}  // namespace

// The nearest qualifying wall among the faces offered, whatever their order.
class SphereWalls::Selection {
 public:
  Selection(double R, double sr, const double P[3], const double S[3], double nearerThan)
      : R_(R),
        sr_(sr),
        nearerThan_(nearerThan),
        p_(Vec3::Load(P)),
        // Anything farther than R + 1e-5 is skipped; the margin keeps rounding on the safe side.
        bound(std::fmin(nearerThan, R + 2 * kWallDistanceTolerance)),
        s(S) {}

  // Whether a wall at distance d from S may be chosen, when nothing nearer is.
  bool MayChoose(double d) const { return !(d - kWallDistanceTolerance > R_) && d < nearerThan_; }

  // Offers a face listed by the step's range search, at distance d from S with closest point q;
  // true when it is the nearest so far.
  bool Offer(const WallFace& face, double d, const double q[3]) {
    ++measured;
    if (face.degenerate) Trace("## Compute_FaceNormal : DIVIDE by 0");
    if (d - kWallDistanceTolerance > R_) return false;
    const int32_t rank = face.rank;
    const bool nearer =
        wall.found ? (d < wall.d || (d == wall.d && rank < wall.rank)) : d < nearerThan_;
    if (!nearer) return false;
    const Vec3 Q = Vec3::Load(q);
    const double e = Length(p_ - Q);
    const double denominator = 2 * e * sr_;
    wall.found = true;
    wall.faceIndex = face.faceIndex;
    wall.rank = rank;
    wall.d = d;
    wall.e = e;
    // A wall through P itself (e = 0) has no angle; it is taken as lying beside P.
    wall.cosA = denominator != 0.0 ? (e * e + sr_ * sr_ - d * d) / denominator : 0.0;
    Q.Store(wall.q);
    chosen = &face;
    bound = d;
    return true;
  }

 private:
  double R_, sr_, nearerThan_;
  Vec3 p_;

 public:
  double bound;  // no face farther than this can be chosen
  const double* s;
  SphereWall wall;
  const WallFace* chosen = nullptr;
  int32_t measured = 0;
};

bool SphereWalls::Serves(int32_t f, const double N[3], const double P[3], const double S[3],
                         const AdtRangeF& range) const {
  if (!gathered_ || f != face_) return false;
  // Written so that a value that is not a number gathers again.
  if (!(Length(Vec3::Load(S) - Vec3::Load(centre_)) <= spread_)) return false;
  for (int k = 0; k < 3; ++k) {
    if (!(N[k] == normal_[k] && P[k] == tangent_[k])) return false;
  }
  for (int i = 0; i < 6; ++i) {
    if (!(range_.low[i] <= range.low[i] && range_.high[i] >= range.high[i])) return false;
  }
  return true;
}

void SphereWalls::Gather(SMesh& mesh, int32_t f, double sr, const double N[3], const double P[3],
                         const double S[3], const AdtRangeF& range, const Selection& step) {
  WallTree& tree = walls_;
  gathered_ = true;
  face_ = f;
  std::copy_n(N, 3, normal_);
  std::copy_n(P, 3, tangent_);
  std::copy_n(S, 3, centre_);
  // A later sphere of radius sr' <= sr has its centre sr - sr' further up the ray, |N| per
  // unit: no farther from this centre than sr |N|.
  spread_ = sr * Length(Vec3::Load(N)) * (1 + kSpreadWidening);
  if (!(spread_ >= 0.0)) spread_ = 0.0;  // no later centre but this one
  // While |N[k]| <= 1, the cubes of later spheres lie within this sphere's cube.
  const double magnitude = std::max({std::fabs(P[0]), std::fabs(P[1]), std::fabs(P[2])}) + sr;
  range_ = CubeRange(mesh.bbox, S, sr + kCubeWidening * magnitude);

  // Every wall that the step may choose lies within its bound; once one is met, the list
  // reaches a little beyond it.
  reach_ = step.bound;
  candidates_.clear();
  const Vec3 centre = Vec3::Load(S), n0 = Vec3::Load(N);
  tree.Search(
      S, N, kFacingCosine, range_, reach_,
      [&](const WallFace& face) {
        if (face.faceIndex == f) return;
        if (Dot(Vec3::Load(face.normal), n0) > kFacingCosine) return;
        double q[3];
        const double d = std::sqrt(ClosestPointOnTriangle(S, face.tri, q));
        if (AdtReaches(tree.Reach(face), range) && step.MayChoose(d)) {
          reach_ = std::min(reach_, d * (1 + kListDepth) + kListFloor);
        }
        // Covers the rounding of this measure, of a later step's and of the tilt below.
        const double margin = tree.Margin(face, S, spread_);
        const double lower = d - 3 * margin;
        if (lower > reach_) return;
        Candidate candidate;
        candidate.lower = std::isnan(lower) ? -INFINITY : lower;
        if (d > 0.0) {
          ((centre - Vec3::Load(q)) / d).Store(candidate.toward);
          candidate.slack = 4 * margin / d;
        } else {  // no direction: only the first bound holds
          std::fill_n(candidate.toward, 3, 0.0);
          candidate.slack = INFINITY;
        }
        candidate.face = &face;
        candidate.reach = &tree.Reach(face);
        candidates_.push_back(candidate);
      },
      spread_);
  // Walls met before the reach came down may lie beyond it.
  const double reach = reach_;
  candidates_.erase(std::remove_if(candidates_.begin(), candidates_.end(),
                                   [reach](const Candidate& c) { return c.lower > reach; }),
                    candidates_.end());
  std::sort(candidates_.begin(), candidates_.end(),
            [](const Candidate& a, const Candidate& b) { return a.lower < b.lower; });
  chosen_ = -1;
}

bool SphereWalls::Scan(const AdtRangeF& range, Selection& nearest) {
  double offset[3];
  (Vec3::Load(nearest.s) - Vec3::Load(centre_)).Store(offset);
  const double shift = Length(Vec3::Load(offset));
  const double stepBound = nearest.bound;
  // The last step's wall, measured first, usually bounds the scan near its answer from the
  // start; measuring it again below changes nothing.
  auto measure = [&](const Candidate& c) {
    double q[3];
    const double d = std::sqrt(ClosestPointOnTriangle(nearest.s, c.face->tri, q));
    if (nearest.Offer(*c.face, d, q)) chosen_ = static_cast<int32_t>(&c - candidates_.data());
  };
  const int32_t kept = chosen_;
  if (kept >= 0 && AdtReaches(*candidates_[static_cast<size_t>(kept)].reach, range)) {
    measure(candidates_[static_cast<size_t>(kept)]);
  }
  for (const Candidate& c : candidates_) {
    // Sorted by lower: the rest lie beyond the bound too.
    if (c.lower - shift > nearest.bound) break;
    const double tilted =
        c.lower + (c.toward[0] * offset[0] + c.toward[1] * offset[1] + c.toward[2] * offset[2]) -
        c.slack * shift;
    if (tilted > nearest.bound) continue;
    if (!AdtReaches(*c.reach, range)) continue;
    measure(c);
  }
  // A wall missing from the list lies farther than reach_ - shift from S.
  return nearest.wall.found ? nearest.wall.d + shift < reach_ : stepBound + shift <= reach_;
}

SphereWall SphereWalls::Nearest(SMesh& mesh, int32_t f, double R, double sr, const double N[3],
                                const double P[3], const double S[3], double nearerThan) {
  const AdtRangeF range = CubeRange(mesh.bbox, S, sr);
  Selection nearest(R, sr, P, S, nearerThan);
  if (!(Serves(f, N, P, S, range) && Scan(range, nearest))) {
    // A list gathered around this step's own centre answers it.
    nearest = Selection(R, sr, P, S, nearerThan);
    Gather(mesh, f, sr, N, P, S, range, nearest);
    Scan(range, nearest);
  }
  // The next search of the tree, most often for a neighbouring triangle, starts from here.
  if (nearest.chosen != nullptr) walls_.Keep(*nearest.chosen);
  Trace("\t__sr = %f", sr);
  Trace("\t__nb faces : %d", nearest.measured);
  return nearest.wall;
}

}  // namespace vexmor
