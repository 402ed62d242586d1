#include "thickness/sphere_step.h"

#include <cmath>

#include "geometry/bbox.h"
#include "geometry/closest_point.h"
#include "geometry/vec3.h"
#include "mesh/smesh.h"
#include "mesh/trace.h"
#include "thickness/sphere_walls.h"

namespace vexmor {
bool FaceThickness(SMesh& mesh, SphereWalls& walls, int32_t f, double searchRadius,
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
    const SphereWall wall = walls.Nearest(mesh, f, R, sr, N, P, centre, rmini);
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

double SphereRefine(SMesh& mesh, SphereWalls& walls, int32_t f, double& R, const double N[3],
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
