// The rolling sphere: one step on walls whose answers are known by hand, and the library's step
// and walk over the faces held to references written as the algorithm is designed: the step
// scans every face of its cube in range-search order, the refinement nests one level per
// accepted radius, the walk gathers the faces around each node of each measured face.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>

#include "geometry/adt.h"
#include "geometry/adt_ray_walk.h"
#include "geometry/adt_search.h"
#include "geometry/bbox.h"
#include "geometry/closest_point.h"
#include "geometry/face_frame.h"
#include "geometry/face_normal.h"
#include "geometry/ray_probe.h"
#include "geometry/vec3.h"
#include "geometry/wall_tree.h"
#include "support/adt_reference.h"
#include "support/smesh.h"
#include "thickness/faces_around_node.h"
#include "thickness/sphere_step.h"
#include "thickness/sphere_thickness.h"
#include "thickness/sphere_walls.h"
#include "topology/mesh_check.h"

namespace vexmor::test {
namespace {

struct Step {
  bool ok = false;
  double rmini = 0.0;
  int32_t fmin = 77;
  double ptmin[3] = {-1.0, -1.0, -1.0};
};

bool SameBits(double a, double b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

// One sphere step measuring every face the cube search lists, in listing order, keeping the
// first of equally near walls.
Step ScanningStep(SMesh& mesh, int32_t f, double R, const double N[3], const double P[3]) {
  Step out;
  out.rmini = mesh.halfDiag;
  double newR = mesh.halfDiag, cA = 0.0, db = 0.0, sr = kRadiusInflation * R;
  AdtResult listed;
  for (int pass = 0;; ++pass) {
    double s[3];
    (Vec3::Load(P) - sr * Vec3::Load(N)).Store(s);
    FacesNearPoint(mesh, sr, s, listed);
    for (const AdtNode& node : listed) {
      double tri[9], n[3], q[3];
      if (node.faceIndex == f || !LoadFaceTriangle(mesh, node.facePos, 0, tri)) continue;
      Compute_FaceNormal(n, tri);
      if (Dot(Vec3::Load(n), Vec3::Load(N)) > kFacingCosine) continue;
      const double d = std::sqrt(ClosestPointOnTriangle(s, tri, q));
      if (d - kWallDistanceTolerance > R || !(out.rmini > d)) continue;
      const double e = Length(Vec3::Load(P) - Vec3::Load(q)), denominator = 2 * e * sr;
      cA = denominator != 0.0 ? (e * e + sr * sr - d * d) / denominator : 0.0;
      newR = cA * e > sr ? (d + sr) * 0.5 : d;
      out.rmini = d;
      out.fmin = node.faceIndex;
      std::copy_n(q, 3, out.ptmin);
      db = e;
    }
    if (out.rmini == mesh.halfDiag) return out;  // a second pass would meet the same faces
    if (std::fabs(1 - cA) < kInversionCosineBand && sr > db && pass == 0) {
      out.fmin = -1;
      sr = 0.5 * db;
      out.rmini = sr;
      continue;
    }
    out.rmini = newR;
    out.ok = true;
    return out;
  }
}

Step LibraryStep(SMesh& mesh, SphereWalls& walls, int32_t f, double R, const double N[3],
                 const double P[3]) {
  Step got;
  got.rmini = mesh.halfDiag;
  got.ok = FaceThickness(mesh, walls, f, R, N, P, got.ptmin, got.rmini, got.fmin);
  return got;
}

// Steps at random faces (P the incentre, N the normal), at random points and directions, and
// with the sphere's centre exactly on a node of the mesh, each followed by the steps of a
// refinement from its proposal and by an enlargement, all through one search: the walls found
// for one step serve the next ones at the same point.
void ExpectStepsMatchTheScan(const TestMesh& m, uint32_t seed, int steps) {
  SMesh mesh = MakeSMesh(m);
  BuildAdtTree(mesh);
  WallTree tree(*mesh.adt, mesh);
  SphereWalls walls(tree);
  std::mt19937 random(seed);
  std::uniform_int_distribution<int32_t> anyFace(0, mesh.nbFaces - 1);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  for (int step = 0; step < steps; ++step) {
    int32_t f = anyFace(random);
    FaceFrame frame;
    ASSERT_TRUE(LoadFaceFrame(mesh, 4 * f, 0, frame));
    // Radii from a thousandth of the part to beyond it.
    double R = mesh.halfDiag * std::pow(10.0, -3.0 + 3.3 * unit(random));
    if (step % 4 == 3) {
      f = -1;
      double n[3] = {unit(random) - 0.5, unit(random) - 0.5, unit(random) - 0.5};
      for (int k = 0; k < 3; ++k) {
        frame.N[k] = n[k] / Length(Vec3::Load(n));
        frame.P[k] = mesh.bbox[k] + unit(random) * (mesh.bbox[k + 3] - mesh.bbox[k]);
      }
    } else if (step % 4 == 2) {
      // Centre on a node, where walls tie at distance 0: the first listed must win.
      f = -1;
      const double* node = mesh.Node(m.elem[4 * anyFace(random) + 1]);
      const double axis[3] = {0, 0, 1};
      std::copy_n(axis, 3, frame.N);
      R = 0.01 * R;
      frame.P[0] = node[0];
      frame.P[1] = node[1];
      frame.P[2] = node[2] + kRadiusInflation * R;
      if (frame.P[2] - kRadiusInflation * R != node[2]) continue;
    }
    for (int link = 0; link < 8; ++link) {
      const Step want = ScanningStep(mesh, f, R, frame.N, frame.P);
      const Step got = LibraryStep(mesh, walls, f, R, frame.N, frame.P);
      ASSERT_EQ(got.ok, want.ok) << "step " << step << "." << link;
      ASSERT_TRUE(SameBits(got.rmini, want.rmini)) << "step " << step << "." << link;
      ASSERT_EQ(got.fmin, want.fmin) << "step " << step << "." << link;
      for (int k = 0; k < 3; ++k)
        ASSERT_TRUE(SameBits(got.ptmin[k], want.ptmin[k])) << "step " << step << "." << link;
      // Down to the proposal, or by a hair as the refinement creeps at the end; the fifth step
      // enlarges.
      const bool shrinks = want.ok && want.rmini < R && want.rmini > 0.0;
      R = link == 4 ? 1.5 * R : (shrinks && link % 2 == 0 ? want.rmini : 0.9999 * R);
    }
  }
}

TEST(SphereStep, FindsTheWallThatScanningTheWholeCubeFinds) {
  ExpectStepsMatchTheScan(Torus(48, 24), 1, 300);
  // Coplanar neighbours at equal distances: ties everywhere, broken by the listing order.
  ExpectStepsMatchTheScan(Box(10, 10, 1, 12), 2, 300);
  // A zero-area face and a thin cone, whose closest points round worst.
  ExpectStepsMatchTheScan(
      Together(WithSliver(Torus(24, 12), 5), Translated(Scaled(Bipyramid(400), 0.3), 0, 0, 5)), 3,
      300);
  for (uint32_t seed = 4; seed < 8; ++seed)
    ExpectStepsMatchTheScan(RandomTriangleSoup(seed, 300, 100.0, 15.0), seed, 200);
}

// Two walls of 10000 x 10000 at z = 0 (facing down, face 1) and z = height (facing up, face 0);
// points with x + y < 10000 lie over both. The frame is the mesh's own.
TestMesh TwoWalls(double height) {
  return {{0, 0, height, 10000, 0, height, 0, 10000, height, 0, 0, 0, 0, 10000, 0, 10000, 0, 0},
          {3, 0, 1, 2, 3, 3, 4, 5}};
}

// A triangle around x, tilted from facing up by `degrees` about the y axis.
TestMesh WithTiltedTriangle(TestMesh m, const double x[3], double degrees, double half) {
  const double a = degrees * M_PI / 180, c = std::cos(a), s = std::sin(a);
  const int32_t p = m.AddNode(x[0] - half * c, x[1] - half, x[2] + half * s);
  const int32_t q = m.AddNode(x[0] + half * c, x[1] - half, x[2] - half * s);
  m.AddTriangle(p, q, m.AddNode(x[0], x[1] + half, x[2]));
  return m;
}

TEST(SphereStep, ProposesTheRadiusThatTouchesTheNearestWallNotFacingTheSameWay) {
  const double up[3] = {0, 0, 1}, sr7 = kRadiusInflation * 7.0;
  const double a = 40 * M_PI / 180, n40[3] = {std::sin(a), 0, std::cos(a)};
  const double foot[3] = {3000 - 1.5 * n40[0], 3000, 10 - sr7 - 1.5 * n40[2]};
  const double mid[3] = {3000, 3000, 5};
  const struct {
    const char* what;
    TestMesh mesh;
    double R, height;
    bool ok;
    double rmini;
    int32_t fmin;
  } cases[] = {
      // From 7 the centre lies 7.00007 below P and the lower wall 2.99993 below the centre,
      // deeper than it: the proposal is their mean, half the gap.
      {"a plate 10 thick from 7", TwoWalls(10), 7.0, 10, true, 5.0, 1},
      // From 12 the centre lies beyond the lower wall, which is nearer than the sphere's radius
      // straight below P: the sphere is inverted and the second pass, at depth 2.00012 / 2 = 5,
      // finds nothing nearer.
      {"a plate 10 thick from 12", TwoWalls(10), 12.0, 10, true, 2.00012, -1},
      {"a wall tilted 29 degrees", WithTiltedTriangle(TwoWalls(10), mid, 29, 4), 7, 10, true, 5.0,
       1},
      // Tilted 40 degrees it is a wall: 1.5 from the centre, deeper than it.
      {"a wall tilted 40 degrees", WithTiltedTriangle(TwoWalls(10), foot, 40, 1.2), 7, 10, true,
       (1.5 + sr7) / 2, 2},
      // A wall farther than the radius is not met.
      {"a wall beyond the radius", TwoWalls(kRadiusInflation * 10 + 10.00002), 10,
       kRadiusInflation * 10 + 10.00002, false, 0, 77},
  };
  for (const auto& c : cases) {
    SMesh mesh = MakeSMesh(c.mesh);
    ASSERT_EQ(mesh.scale, 1.0);
    BuildAdtTree(mesh);
    WallTree tree(*mesh.adt, mesh);
    SphereWalls walls(tree);
    const double P[3] = {3000, 3000, c.height};
    const Step step = LibraryStep(mesh, walls, 0, c.R, up, P);
    EXPECT_EQ(step.ok, c.ok) << c.what;
    EXPECT_NEAR(step.ok ? step.rmini : 0, c.rmini, 1e-9) << c.what;
    EXPECT_EQ(step.fmin, c.fmin) << c.what;
    if (c.fmin == 1) {
      EXPECT_EQ(step.ptmin[2], 0.0) << c.what;
    }
    if (c.fmin == 2) {
      EXPECT_NEAR(step.ptmin[2], foot[2], 1e-9) << c.what;
    }
  }
}

// ---- The walk over the faces. ------------------------------------------------------------------

// The refinement: the outermost level starts at its loop, each nested level first counts itself
// against the limit of 200.
struct Nesting {
  uint32_t level = 1;
  bool stop = false;
};

double ReferenceRefine(SMesh& mesh, int32_t f, double& R, const FaceFrame& frame, double ptmin[3],
                       int32_t& fmin, Nesting& nesting, bool outermost) {
  if (!outermost) {
    if (nesting.level == kRefineMaxLevel) return R;
    ++nesting.level;
    if (nesting.stop) return R;
  }
  for (double r = 0.0;;) {
    if (r == mesh.halfDiag) return R;
    const Step step = ScanningStep(mesh, f, R, frame.N, frame.P);
    r = step.rmini;
    if (step.ok) {
      fmin = step.fmin;
      std::copy_n(step.ptmin, 3, ptmin);
    }
    if (!step.ok || !(R > r) || !((R - r) / R > kRefineRelativeChange)) {
      nesting.stop = true;
      return R;
    }
    R = ReferenceRefine(mesh, f, r, frame, ptmin, fmin, nesting, false);
    if (nesting.stop) return R;
  }
}

// Region by region: a region's seed starts from the coarse ray (checked above), every other
// face from the value of the face whose node led to it.
std::vector<double> ReferenceSphereThickness(SMesh& mesh, uint32_t variant) {
  BuildAdtTree(mesh);
  AdtRayWalk walls(*mesh.adt);
  const int32_t nbFaces = mesh.nbFaces;
  std::vector<double> out(static_cast<size_t>(nbFaces), 0.0), propagated;
  std::vector<bool> visited(static_cast<size_t>(nbFaces), false);
  std::vector<FaceRef> processed, crossed;
  std::vector<int32_t> walkIndices(100000), walkPositions(100000);
  auto measure = [&](FaceRef face, double R, bool seed) {
    FaceFrame frame;
    LoadFaceFrame(mesh, face.facePos, 0, frame);
    double ptmin[3] = {0, 0, 0};
    int32_t fmin = -1;
    FaceRef hit;
    if (seed) R = Coarse_Initial_Thickness(mesh, walls, face.facePos, frame.P, frame.N, hit);
    const double start = R;
    for (int attempt = 0; attempt < 40 && fmin == -1; ++attempt) {
      Nesting nesting;
      do {
        nesting.level = 1;
        if (!nesting.stop)
          ReferenceRefine(mesh, face.faceIndex, R, frame, ptmin, fmin, nesting, true);
      } while (nesting.level == kRefineMaxLevel);
      out[static_cast<size_t>(face.faceIndex)] = R;
      R *= 1.5;
    }
    double& value = out[static_cast<size_t>(face.faceIndex)];
    if (fmin == -1) value = 0.0;
    if (fmin != -1 && variant == kSphereContactDistance)
      value = Length(Vec3::Load(ptmin) - Vec3::Load(frame.P));
    propagated.push_back(fmin != -1 ? value : start);
    if (mesh.outside != 0 && fmin >= nbFaces - 12) value = -value;
    processed.push_back(face);
    visited[static_cast<size_t>(face.faceIndex)] = true;
  };
  // The first region starts at the first face whose ray into the material crosses one face.
  FaceRef seed{0, 0};
  for (int32_t f = 0; f < nbFaces; ++f) {
    RayCrossedFaces(mesh, crossed, 4 * f);
    if (crossed.size() == 1) {
      seed = {f, 4 * f};
      break;
    }
  }
  while (processed.size() < static_cast<size_t>(nbFaces)) {
    const size_t first = processed.size();
    measure(seed, 0.0, true);
    for (size_t p = first; p < processed.size(); ++p) {
      std::vector<FaceRef> candidates;
      for (int32_t k = 1; k <= 3; ++k) {
        walkIndices[0] = processed[p].faceIndex;
        walkPositions[0] = processed[p].facePos;
        const int32_t node = mesh.elem[static_cast<size_t>(processed[p].facePos + k)];
        const int32_t around = FacesAroundNode(mesh, node, walkIndices, walkPositions);
        for (size_t j = 0; j < static_cast<size_t>(std::max(around, 0)); ++j)
          candidates.push_back({walkIndices[j], walkPositions[j]});
      }
      for (const FaceRef& c : candidates) {
        if (!visited[static_cast<size_t>(c.faceIndex)]) measure(c, propagated[p], false);
      }
    }
    // Later regions start at the first face not measured yet.
    for (int32_t f = 0; f < nbFaces; ++f) {
      if (!visited[static_cast<size_t>(f)]) {
        seed = {f, 4 * f};
        break;
      }
    }
  }
  return out;
}

// A fat torus listed with the band around its outer equator first: the probes of those 64
// faces run across the hole through the far side of the tube, so the walk starts further on.
TestMesh TorusListedFromItsOuterBand() {
  const TestMesh torus = Torus(16, 32, 1.5, 1.0);
  TestMesh band, rest;
  band.coords = rest.coords = torus.coords;
  for (size_t p = 0; p < torus.elem.size(); p += 4) {
    bool onBand = true;
    for (size_t k = 1; k <= 3; ++k) {
      const double* q = &torus.coords[3 * static_cast<size_t>(torus.elem[p + k])];
      onBand = onBand && std::fabs(q[2]) < 0.25 && std::hypot(q[0], q[1]) > 1.5;
    }
    (onBand ? band : rest).AddTriangle(torus.elem[p + 1], torus.elem[p + 2], torus.elem[p + 3]);
  }
  EXPECT_EQ(band.nbFaces(), 64);
  band.elem.insert(band.elem.end(), rest.elem.begin(), rest.elem.end());
  return band;
}

TEST(SphereThickness, MeasuresWholeMeshesAsTheDesignedWalk) {
  const TestMesh meshes[] = {Box(10, 10, 1, 6), Wedge(10, 4, 3, 8), Torus(24, 12),
                             Together(Box(3, 2, 1, 3), Translated(Box(2, 2, 2, 2), 5, 0, 0)),
                             TorusListedFromItsOuterBand()};
  // Each mesh under two of the four combinations of variant and outside flag, every
  // combination on two meshes at least: the reference walk is slow under the sanitizers.
  for (size_t i = 0; i < std::size(meshes); ++i) {
    for (const size_t combination : {i % 4, (i + 2) % 4}) {
      const uint32_t variant = combination % 2 == 0 ? kSphereRadius : kSphereContactDistance;
      const uint8_t outside = combination < 2 ? 0 : 1;
      const TestMesh& m = meshes[i];
      SMesh mesh = MakeSMesh(m, variant, outside);
      testing::internal::CaptureStdout();
      ASSERT_EQ(Checking_SMesh(mesh), 0);
      testing::internal::GetCapturedStdout();
      std::vector<double> values(static_cast<size_t>(mesh.nbFaces), NAN);
      SphereThickness(mesh, values, variant);
      const std::vector<double> reference = ReferenceSphereThickness(mesh, variant);
      for (size_t f = 0; f < values.size(); ++f) {
        ASSERT_EQ(values[f], reference[f]) << m.nbFaces() << " faces, variant " << variant
                                           << ", outside " << int{outside} << ", face " << f;
      }
    }
  }
}

}  // namespace
}  // namespace vexmor::test
