// The rolling sphere and the thickness rays against references written step by step as the
// algorithms are designed: the sphere step scans every face of its cube in range-search order,
// the refinement nests one level per accepted radius, the walk gathers the faces around each
// node of each measured face, and the ray probe marches in steps of the face's longest edge.
// The library searches nearest first and follows rays through its index; these tests hold it
// to the designed answers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "geometry/adt.h"
#include "geometry/adt_search.h"
#include "geometry/bbox.h"
#include "geometry/closest_point.h"
#include "geometry/face_normal.h"
#include "geometry/ray_probe.h"
#include "mesh/smesh.h"
#include "support/mesh_fixtures.h"
#include "support/spatial_fixtures.h"
#include "support/thickness_fixtures.h"
#include "thickness/face_frame.h"
#include "thickness/faces_around_node.h"
#include "thickness/sphere_step.h"
#include "thickness/sphere_thickness.h"
#include "thickness/wall_search.h"
#include "topology/mesh_check.h"

namespace vexmor::test {
namespace {

double Distance(const double a[3], const double b[3]) {
  const double d[3] = {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
  return std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
}

// ---- References. ---------------------------------------------------------------------------

// One sphere step, every face of the cube measured in the order the range search lists them.
bool ReferenceStep(SMesh& mesh, int32_t f, double R, const double N[3], const double P[3],
                   double ptmin[3], double& rmini, int32_t& fmin) {
  double newR = mesh.halfDiag, cA = 0.0, db = 0.0, sr = 1.00001 * R;
  int pass = 0;
  AdtResult faces;
  for (;;) {
    const double S[3] = {P[0] - sr * N[0], P[1] - sr * N[1], P[2] - sr * N[2]};
    FacesNearPoint(mesh, sr, S, faces);
    for (const AdtNode& node : faces) {
      double tri[9];
      if (node.faceIndex == f || !LoadFaceTriangle(mesh, node.facePos, 0, tri)) continue;
      double n[3];
      Compute_FaceNormal(n, tri);
      if (n[0] * N[0] + n[1] * N[1] + n[2] * N[2] > 0.8660254037844387) continue;
      double Q[3];
      const double d = std::sqrt(ClosestPointOnTriangle(S, tri, Q));
      const double e = Distance(P, Q);
      const double cosA = (e * e + sr * sr - d * d) / (2 * e * sr);
      if (d - 1e-5 > R) continue;
      if (rmini > d) {
        rmini = d;
        newR = cosA * e > sr ? (d + sr) * 0.5 : d;
        fmin = node.faceIndex;
        std::copy_n(Q, 3, ptmin);
        cA = cosA;
        db = e;
      }
    }
    if (rmini == mesh.halfDiag) {
      if (++pass >= 2) return false;
      continue;
    }
    if (std::fabs(1 - cA) < 0.1 && sr > db && pass == 0) {
      fmin = -1;
      sr = 0.5 * db;
      rmini = sr;
      pass = 1;
      continue;
    }
    rmini = newR;
    return true;
  }
}

struct Nesting {
  uint32_t level = 1;
  bool stop = false;
};

// The refinement: the outermost level starts at its loop, each nested level first counts
// itself against the limit of 200.
double ReferenceRefine(SMesh& mesh, int32_t f, double& R, const double N[3], const double P[3],
                       double ptmin[3], int32_t& fmin, Nesting& nesting, bool outermost) {
  if (!outermost) {
    if (nesting.level == 200) return R;
    ++nesting.level;
    if (nesting.stop) return R;
  }
  double r = 0.0;
  for (;;) {
    if (r == mesh.halfDiag) return R;
    r = mesh.halfDiag;
    if (!ReferenceStep(mesh, f, R, N, P, ptmin, r, fmin)) {
      nesting.stop = true;
      return R;
    }
    if (!(R > r) || !((R - r) / R > 0.001)) {
      nesting.stop = true;
      return R;
    }
    R = ReferenceRefine(mesh, f, r, N, P, ptmin, fmin, nesting, false);
    if (nesting.stop) return R;
  }
}

// The whole walk, region by region. Seeds start from the library's coarse ray (checked against
// the designed march separately below); a face whose sphere never meets a wall gets 0.
std::vector<double> ReferenceSphereThickness(SMesh& mesh, uint32_t variant) {
  BuildAdtTree(mesh);
  WallSearch walls(*mesh.adt);
  const int32_t nbFaces = mesh.nbFaces;
  std::vector<double> out(static_cast<size_t>(nbFaces), 0.0);
  std::vector<bool> visited(static_cast<size_t>(nbFaces), false);
  std::vector<FaceRef> processed;
  std::vector<double> propagated;
  std::vector<int32_t> walkIndices(100000), walkPositions(100000);

  auto measure = [&](FaceRef face, double R, bool seed) {
    FaceFrame frame;
    LoadFaceFrame(mesh, face.facePos, 0, frame);
    double ptmin[3] = {0, 0, 0};
    int32_t fmin = -1;
    if (seed) {
      FaceRef hit;
      R = Coarse_Initial_Thickness(mesh, walls, face.facePos, frame.P, frame.N, hit);
    }
    const double start = R;
    double value = 0.0;
    for (int attempt = 0; attempt < 40 && fmin == -1; ++attempt) {
      Nesting nesting;
      do {
        nesting.level = 1;
        if (!nesting.stop)
          ReferenceRefine(mesh, face.faceIndex, R, frame.N, frame.P, ptmin, fmin, nesting, true);
      } while (nesting.level == 200);
      value = R;
      R *= 1.5;
    }
    if (fmin == -1) value = 0.0;
    if (fmin != -1 && variant == kSphereContactDistance) value = Distance(ptmin, frame.P);
    const bool boxWall = mesh.outside != 0 && fmin != -1 && fmin >= nbFaces - 12;
    out[static_cast<size_t>(face.faceIndex)] = boxWall ? -value : value;
    processed.push_back(face);
    // A face that met no wall tells its neighbours nothing: they start where it started.
    propagated.push_back(fmin != -1 ? std::fabs(value) : start);
    visited[static_cast<size_t>(face.faceIndex)] = true;
  };

  // The first region starts at the first face whose ray into the material crosses one face.
  FaceRef seed{0, 0};
  std::vector<FaceRef> crossed;
  for (int32_t f = 0; f < nbFaces; ++f) {
    RayCrossedFaces(mesh, crossed, 4 * f);
    if (crossed.size() == 1) {
      seed = {f, 4 * f};
      break;
    }
  }
  for (size_t done = 0; done < static_cast<size_t>(nbFaces);) {
    const size_t first = processed.size();
    measure(seed, 0.0, true);
    for (size_t p = first; p < processed.size(); ++p) {
      std::vector<FaceRef> candidates;
      for (int32_t k = 1; k <= 3; ++k) {
        walkIndices[0] = processed[p].faceIndex;
        walkPositions[0] = processed[p].facePos;
        const int32_t node = mesh.elem[static_cast<size_t>(processed[p].facePos + k)];
        const int32_t around = FacesAroundNode(mesh, node, walkIndices, walkPositions);
        for (int32_t j = 0; j < around; ++j) {
          if (!visited[static_cast<size_t>(walkIndices[static_cast<size_t>(j)])]) {
            candidates.push_back(
                {walkIndices[static_cast<size_t>(j)], walkPositions[static_cast<size_t>(j)]});
          }
        }
      }
      for (const FaceRef& c : candidates) {
        if (!visited[static_cast<size_t>(c.faceIndex)]) measure(c, propagated[p], false);
      }
    }
    done += processed.size() - first;
    for (int32_t f = 0; f < nbFaces; ++f) {
      if (!visited[static_cast<size_t>(f)]) {
        seed = {f, 4 * f};
        break;
      }
    }
  }
  return out;
}

// ---- Tests. --------------------------------------------------------------------------------

TEST(SphereReference, StepFindsTheWallThatScanningTheWholeCubeFinds) {
  for (uint32_t seed = 1; seed <= 12; ++seed) {
    const TestMesh soup = RandomTriangleSoup(seed, 300, 100.0, 15.0);
    SMesh mesh = MakeSMesh(soup);
    BuildAdtTree(mesh);
    WallSearch walls(*mesh.adt);
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> radius(50.0, 3050.0);
    for (int32_t f = 0; f < mesh.nbFaces; ++f) {
      FaceFrame frame;
      ASSERT_TRUE(LoadFaceFrame(mesh, 4 * f, 0, frame));
      const double R = radius(rng);
      double got[3] = {0, 0, 0}, want[3] = {0, 0, 0};
      double gotR = mesh.halfDiag, wantR = mesh.halfDiag;
      int32_t gotF = 77, wantF = 77;
      const bool gotOk = FaceThickness(mesh, walls, f, R, frame.N, frame.P, got, gotR, gotF);
      const bool wantOk = ReferenceStep(mesh, f, R, frame.N, frame.P, want, wantR, wantF);
      ASSERT_EQ(gotOk, wantOk) << "soup " << seed << " face " << f << " R " << R;
      ASSERT_EQ(gotR, wantR) << "soup " << seed << " face " << f << " R " << R;
      ASSERT_EQ(gotF, wantF) << "soup " << seed << " face " << f << " R " << R;
      for (int k = 0; k < 3; ++k)
        ASSERT_EQ(got[k], want[k]) << "soup " << seed << " face " << f << " R " << R;
    }
  }
}

TEST(SphereReference, WholeMeshesMeasureAsTheDesignedWalk) {
  TestMesh twoParts = Box(3, 2, 1, 3);
  twoParts.Append(Translated(Box(2, 2, 2, 2), 5, 0, 0));
  const TestMesh meshes[] = {Box(10, 10, 1, 6), Wedge(10, 4, 3, 8), Torus(24, 12), twoParts};
  for (const TestMesh& m : meshes) {
    for (uint32_t variant : {kSphereRadius, kSphereContactDistance}) {
      for (uint8_t outside : {0, 1}) {
        SMesh mesh(outside, m.nbNodes(), m.szelem(), m.coords, m.elem, variant);
        testing::internal::CaptureStdout();
        ASSERT_EQ(Checking_SMesh(mesh), 0);
        testing::internal::GetCapturedStdout();
        std::vector<double> values(static_cast<size_t>(mesh.nbFaces));
        ASSERT_EQ(SphereThickness(mesh, values, variant), 0);
        const std::vector<double> reference = ReferenceSphereThickness(mesh, variant);
        for (size_t i = 0; i < values.size(); ++i) {
          ASSERT_EQ(values[i], reference[i]) << m.nbFaces() << " faces, variant " << variant
                                             << ", outside " << int{outside} << ", face " << i;
        }
      }
    }
  }
}

TEST(SphereReference, FirstRegionStartsAtTheFirstFaceWhoseProbeCrossesOneFace) {
  // A fat torus listed with the band around its outer equator first: the probes of those 64
  // faces run across the hole through the far side of the tube, so the walk starts further on.
  const TestMesh torus = Torus(16, 32, 1.5, 1.0);
  TestMesh banded;
  banded.coords = torus.coords;
  std::vector<size_t> rest;
  for (size_t p = 0; p < torus.elem.size(); p += 4) {
    bool onBand = true;
    for (size_t k = 1; k <= 3; ++k) {
      const double* q = &torus.coords[3 * static_cast<size_t>(torus.elem[p + k])];
      onBand = onBand && std::fabs(q[2]) < 0.25 && std::hypot(q[0], q[1]) > 1.5;
    }
    if (onBand) {
      banded.AddTriangle(torus.elem[p + 1], torus.elem[p + 2], torus.elem[p + 3]);
    } else {
      rest.push_back(p);
    }
  }
  ASSERT_EQ(banded.nbFaces(), 64);
  for (size_t p : rest)
    banded.AddTriangle(torus.elem[p + 1], torus.elem[p + 2], torus.elem[p + 3]);

  SMesh mesh = MakeSMesh(banded, kSphereContactDistance);
  testing::internal::CaptureStdout();
  ASSERT_EQ(Checking_SMesh(mesh), 0);
  testing::internal::GetCapturedStdout();
  std::vector<double> values(static_cast<size_t>(mesh.nbFaces));
  ASSERT_EQ(SphereThickness(mesh, values, kSphereContactDistance), 0);
  const std::vector<double> reference = ReferenceSphereThickness(mesh, kSphereContactDistance);
  for (size_t i = 0; i < values.size(); ++i)
    ASSERT_EQ(values[i], reference[i]) << "face " << i;
}

TEST(SphereReference, CoarseRayMeetsTheFaceThatTheMarchMeets) {
  // The designed probe marches in steps of the face's longest edge and keeps the nearest
  // crossing of the first step that has one. Following the ray through the index meets the
  // same face, through the ADT or (odd soups) through the ray tree; its crossing is computed
  // on the whole ray instead of on the step, so the distance may differ in the last bits.
  for (uint32_t seed = 1; seed <= 12; ++seed) {
    const TestMesh soup = RandomTriangleSoup(seed, 300, 100.0, 15.0);
    SMesh mesh = MakeSMesh(soup);
    BuildAdtTree(mesh);
    WallSearch walls(*mesh.adt);
    if (seed % 2 == 1) walls.Rays(mesh);
    for (int32_t f = 0; f < mesh.nbFaces; ++f) {
      double tri[9];
      ASSERT_TRUE(LoadFaceTriangle(mesh, 4 * f, 0, tri));
      FaceFrame frame;
      LoadFaceFrame(mesh, 4 * f, 0, frame);
      double step = 0.0;
      for (int a = 0; a < 3; ++a)
        step = std::max(step, Distance(tri + 3 * a, tri + 3 * ((a + 1) % 3)));
      FaceRef got{-5, -5}, want{-5, -5};
      const double gotDistance =
          Coarse_Initial_Thickness(mesh, walls, 4 * f, frame.P, frame.N, got);
      const double wantDistance = RayFirstHit(mesh, 4 * f, frame.P, frame.N, step, want, false, 0);
      ASSERT_EQ(got, want) << "soup " << seed << " face " << f;
      if (wantDistance < 0) {
        ASSERT_EQ(gotDistance, wantDistance) << "soup " << seed << " face " << f;
      } else {
        ASSERT_NEAR(gotDistance, wantDistance, 1e-12 * wantDistance)
            << "soup " << seed << " face " << f;
      }
    }
  }
}

}  // namespace
}  // namespace vexmor::test
