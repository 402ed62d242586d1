// The sphere step's nearest-wall search against a plain scan of every face that the cube search
// lists: the step must give the same bits, ties and failures included, whatever the tree skips.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "geometry/adt.h"
#include "geometry/adt_search.h"
#include "geometry/closest_point.h"
#include "geometry/face_normal.h"
#include "geometry/vec3.h"
#include "mesh/smesh.h"
#include "support/mesh_fixtures.h"
#include "support/thickness_fixtures.h"
#include "thickness/face_frame.h"
#include "thickness/sphere_step.h"
#include "thickness/wall_search.h"

namespace vexmor::test {
namespace {

struct StepResult {
  bool ok = false;
  double rmini = 0.0;
  int32_t fmin = 77;
  double ptmin[3] = {-1.0, -1.0, -1.0};
};

bool SameBits(double a, double b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

// One sphere step that measures every face the cube search lists, in listing order, keeping the
// first of equally near walls.
StepResult ScanningStep(SMesh& mesh, int32_t f, double R, const double N[3], const double P[3]) {
  StepResult out;
  out.rmini = mesh.halfDiag;
  double newR = mesh.halfDiag, cA = 0.0, db = 0.0;
  int pass = 0;
  double sr = kRadiusInflation * R;
  AdtResult listed;
  for (;;) {
    const Vec3 S = Vec3::Load(P) - sr * Vec3::Load(N);
    double s[3];
    S.Store(s);
    FacesNearPoint(mesh, sr, s, listed);
    for (const AdtNode& node : listed) {
      if (node.faceIndex == f) continue;
      double tri[9];
      if (!LoadFaceTriangle(mesh, node.facePos, 0, tri)) continue;
      double n[3];
      Compute_FaceNormal(n, tri);
      if (Dot(Vec3::Load(n), Vec3::Load(N)) > kFacingCosine) continue;
      double q[3];
      const double d = std::sqrt(ClosestPointOnTriangle(s, tri, q));
      if (d - kWallDistanceTolerance > R || !(out.rmini > d)) continue;
      const double e = Length(Vec3::Load(P) - Vec3::Load(q));
      const double denominator = 2 * e * sr;
      const double cosA = denominator != 0.0 ? (e * e + sr * sr - d * d) / denominator : 0.0;
      out.rmini = d;
      newR = cosA * e > sr ? (d + sr) * 0.5 : d;
      out.fmin = node.faceIndex;
      std::memcpy(out.ptmin, q, sizeof q);
      cA = cosA;
      db = e;
    }
    if (out.rmini == mesh.halfDiag) return out;  // a second pass would meet the same faces
    if (std::fabs(1 - cA) < kInversionCosineBand && sr > db && pass == 0) {
      out.fmin = -1;
      sr = 0.5 * db;
      out.rmini = sr;
      pass = 1;
      continue;
    }
    out.rmini = newR;
    out.ok = true;
    return out;
  }
}

// Runs steps at random faces (P its incircle centre, N its normal) and at random points and
// directions, all through one search, and compares each with the scan.
void ExpectStepsMatchTheScan(const TestMesh& m, uint32_t seed, int steps) {
  SMesh mesh(m.nbNodes(), m.szelem(), m.coords, m.elem);
  BuildAdtTree(mesh);
  WallSearch walls(*mesh.adt);
  std::mt19937 random(seed);
  std::uniform_int_distribution<int32_t> anyFace(0, mesh.nbFaces - 1);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  for (int step = 0; step < steps; ++step) {
    int32_t f = anyFace(random);
    FaceFrame frame;
    int32_t pos = 0;
    for (int32_t i = 0; i < f; ++i)
      pos += mesh.elem[static_cast<size_t>(pos)] + 1;
    ASSERT_TRUE(LoadFaceFrame(mesh, pos, 0, frame));
    if (step % 4 == 3) {
      // Anywhere, any direction, measuring no face.
      f = -1;
      double n[3] = {unit(random) - 0.5, unit(random) - 0.5, unit(random) - 0.5};
      const double length = Length(Vec3::Load(n));
      for (int k = 0; k < 3; ++k) {
        frame.N[k] = n[k] / length;
        frame.P[k] = mesh.bbox[k] + unit(random) * (mesh.bbox[k + 3] - mesh.bbox[k]);
      }
    }
    // Radii from a thousandth of the part to beyond it, most of them near the walls' spacing.
    const double R = mesh.halfDiag * std::pow(10.0, -3.0 + 3.3 * unit(random));
    const StepResult expected = ScanningStep(mesh, f, R, frame.N, frame.P);
    StepResult got;
    got.rmini = mesh.halfDiag;
    got.ok = FaceThickness(mesh, walls, f, R, frame.N, frame.P, got.ptmin, got.rmini, got.fmin);
    ASSERT_EQ(got.ok, expected.ok) << "step " << step;
    ASSERT_TRUE(SameBits(got.rmini, expected.rmini)) << "step " << step;
    ASSERT_EQ(got.fmin, expected.fmin) << "step " << step;
    for (int k = 0; k < 3; ++k)
      ASSERT_TRUE(SameBits(got.ptmin[k], expected.ptmin[k])) << "step " << step;
  }
}

TEST(WallTree, StepsOnATorusMatchAScanOfTheWholeCube) {
  ExpectStepsMatchTheScan(Torus(48, 24), 1, 400);
}

TEST(WallTree, StepsOnAFinePlateMatchAScanOfTheWholeCube) {
  // Coplanar neighbours at equal distances: ties everywhere, broken by the listing order.
  ExpectStepsMatchTheScan(Box(10, 10, 1, 12), 2, 400);
}

TEST(WallTree, StepsOnAMeshWithSliversMatchAScanOfTheWholeCube) {
  // A zero-area face and a thin cone, whose closest points round worst.
  TestMesh m = WithCollinearSliver(Torus(24, 12), 5);
  m.Append(Translated(Scaled(Bipyramid(400), 0.3), 0.0, 0.0, 5.0));
  ExpectStepsMatchTheScan(m, 3, 400);
}

TEST(WallTree, VisitsNothingForANegativeOrNaNBound) {
  const TestMesh torus = Torus(12, 6);
  SMesh mesh(torus.nbNodes(), torus.szelem(), torus.coords, torus.elem);
  BuildAdtTree(mesh);
  WallSearch walls(*mesh.adt);
  const double s[3] = {5000, 5000, 5000}, up[3] = {0, 0, 1};
  const AdtRangeF range = CubeRange(mesh.bbox, s, 1e5);
  for (const double bound : {-1.0, std::nan("")}) {
    int visits = 0;
    walls.Walls(mesh).Search(s, up, kFacingCosine, range, bound,
                             [&](const WallFace&) { ++visits; });
    EXPECT_EQ(visits, 0);
  }
}

}  // namespace
}  // namespace vexmor::test
