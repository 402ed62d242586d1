#include "thickness/sphere_step.h"

#include <cmath>

#include "geometry/bbox.h"
#include "geometry/closest_point.h"
#include "geometry/vec3.h"
#include "geometry/wall_search.h"
#include "mesh/smesh.h"
#include "mesh/trace.h"

namespace vexmor {
namespace {

// The nearest qualifying wall of one pass, with what the step needs to know about it.
struct Wall {
  bool found = false;
  int32_t faceIndex = -1;
  int32_t rank = 0;
  double d = 0.0;     // distance from the sphere's centre S to the wall
  double e = 0.0;     // distance from the tangent point P to the wall's closest point Q
  double cosA = 0.0;  // cosine of the angle at P between P->S and P->Q
  double q[3] = {0.0, 0.0, 0.0};
};

// Nearest wall to S among the faces of the cube of half-width sr around S: face f, walls facing
// like N and walls farther than R + 1e-5 are left out, and only walls nearer than `nearerThan`
// count. Ties in distance go to the face that the cube's range search lists first, so the
// answer is the one that scanning that whole list in order would give.
Wall NearestWall(SMesh& mesh, WallSearch& walls, int32_t f, double R, double sr, const double N[3],
                 const double P[3], const double S[3], double nearerThan) {
  Wall best;
  // Anything farther than R + 1e-5 is skipped below; the margin keeps rounding on the safe side.
  double bound = std::fmin(nearerThan, R + 2 * kWallDistanceTolerance);
  const Vec3 n0 = Vec3::Load(N), p = Vec3::Load(P);
  int32_t measured = 0;
  const AdtRangeF range = CubeRange(mesh.bbox, S, sr);
  WallTree& tree = walls.Walls(mesh);
  const WallFace* bestFace = nullptr;
  auto measure = [&](const WallFace& face) {
    const int32_t rank = face.rank;
    if (face.faceIndex == f) return;
    ++measured;
    if (face.degenerate) Trace("## Compute_FaceNormal : DIVIDE by 0");
    if (Dot(Vec3::Load(face.normal), n0) > kFacingCosine) return;
    double q[3];
    const double d = std::sqrt(ClosestPointOnTriangle(S, face.tri, q));
    if (d - kWallDistanceTolerance > R) return;
    const bool nearer =
        best.found ? (d < best.d || (d == best.d && rank < best.rank)) : d < nearerThan;
    if (!nearer) return;
    const Vec3 Q = Vec3::Load(q);
    const double e = Length(p - Q);
    const double denominator = 2 * e * sr;
    best.found = true;
    best.faceIndex = face.faceIndex;
    best.rank = rank;
    best.d = d;
    best.e = e;
    // A wall through P itself (e = 0) has no angle; it is taken as lying beside P.
    best.cosA = denominator != 0.0 ? (e * e + sr * sr - d * d) / denominator : 0.0;
    Q.Store(best.q);
    bestFace = &face;
    bound = d;
  };
  // The last search's wall, measured first, usually bounds this search near its answer from
  // the start; measuring it again in the search changes nothing.
  if (const WallFace* kept = tree.Kept(range)) measure(*kept);
  tree.Search(S, N, kFacingCosine, range, bound, measure);
  if (bestFace != nullptr) tree.Keep(*bestFace);
  Trace("\t__sr = %f", sr);
  Trace("\t__nb faces : %d", measured);
  return best;
}

}  // namespace

bool FaceThickness(SMesh& mesh, WallSearch& walls, int32_t f, double searchRadius,
                   const double N[3], const double P[3], double ptmin[3], double& rmini,
                   int32_t& fmin) {
  Trace("## FaceThickness : ");
  if (mesh.bboxDone == 0) ComputeBBox(mesh);
  const double R = searchRadius;
  double newR = mesh.halfDiag;
  double cA = 0.0;
  double db = 0.0;
  int pass = 0;
  double sr = kRadiusInflation * R;
  for (;;) {
    const Vec3 S = Vec3::Load(P) - sr * Vec3::Load(N);
    double centre[3];
    S.Store(centre);
    const Wall wall = NearestWall(mesh, walls, f, R, sr, N, P, centre, rmini);
    if (wall.found) {
      rmini = wall.d;
      // A wall deeper than the sphere's centre: the sphere can grow towards it.
      const double proj = wall.cosA * wall.e;
      newR = proj > sr ? (wall.d + sr) * 0.5 : wall.d;
      fmin = wall.faceIndex;
      ptmin[0] = wall.q[0];
      ptmin[1] = wall.q[1];
      ptmin[2] = wall.q[2];
      cA = wall.cosA;
      db = wall.e;
      if (f == 0) {
        Trace("\n\t\t\t__ (iter %d) ptmin = (%f, %f, %f)\tfmin = %d\tcA = %f\tdb = %f", pass,
              ptmin[0], ptmin[1], ptmin[2], fmin, cA, db);
      }
    }
    // Nothing nearer than the entry value: a second pass with the same sphere would meet the
    // same faces, so the step fails at once.
    if (rmini == mesh.halfDiag) return false;
    if (std::fabs(1 - cA) < kInversionCosineBand && sr > db && pass == 0) {
      // The sphere reaches through the wall below P: look again with a sphere that ends
      // halfway to it.
      fmin = -1;
      sr = 0.5 * db;
      rmini = sr;
      Trace("\n\t\t__ INVERSION %d", f);
      pass = 1;
      continue;
    }
    rmini = newR;
    return true;
  }
}

double SphereRefine(SMesh& mesh, WallSearch& walls, int32_t f, double& R, const double N[3],
                    const double P[3], double ptmin[3], int32_t& fmin, RefineState& state) {
  if (state.level == kRefineMaxLevel) return R;
  ++state.level;
  if (state.stop != 0) return R;
  double r = 0.0;
  for (;;) {
    if (r == mesh.halfDiag) return R;
    if (state.stepsLeft-- <= 0) {
      state.stop = 1;
      return R;
    }
    r = mesh.halfDiag;
    if (!FaceThickness(mesh, walls, f, R, N, P, ptmin, r, fmin)) {
      state.stop = 1;
      return R;
    }
    if (f == 0) {
      Trace(
          "\n\t\trmini = %f\tsearch_radius = %f\t ((search_radius-rmini)/search_radius > 0.001) "
          "= %f",
          r, R, (R - r) / R);
    }
    if (!(R > r) || !((R - r) / R > kRefineRelativeChange)) {
      state.stop = 1;
      return R;
    }
    R = SphereRefine(mesh, walls, f, r, N, P, ptmin, fmin, state);
    if (state.stop != 0) return R;
  }
}

}  // namespace vexmor
