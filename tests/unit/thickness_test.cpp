// The distance to the surface and the ray thickness against brute-force and walk-the-ADT
// references, and the thickness gradient on a torus whose every node has six faces.
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "geometry/adt.h"
#include "geometry/adt_ray_walk.h"
#include "geometry/adt_search.h"
#include "geometry/bbox.h"
#include "geometry/closest_point.h"
#include "geometry/face_frame.h"
#include "geometry/float_bounds.h"
#include "geometry/ray_box.h"
#include "geometry/ray_tree.h"
#include "geometry/segment_triangle.h"
#include "geometry/vec3.h"
#include "support/adt_reference.h"
#include "support/smesh.h"
#include "thickness/dist2surf.h"
#include "thickness/faces_around_node.h"
#include "thickness/ray_thickness.h"
#include "thickness/sphere_thickness.h"
#include "thickness/thickness_gradient.h"
#include "topology/edge_list.h"

namespace vexmor::test {
namespace {

TEST(Dist2Surf, GivesCornersZeroAndOtherNodesTheDesignedSearchAndTheBruteForceMinimum) {
  std::mt19937 rng(51);
  std::uniform_real_distribution<double> unit(0, 1);
  int exact = 0, limited = 0;
  for (int soup = 0; soup < 6; ++soup) {
    // Dense and sparse soups of small and large triangles, with free query nodes.
    TestMesh m = RandomTriangleSoup(300 + soup, soup % 2 == 0 ? 400 : 40, 1.0,
                                    soup < 2 ? 0.02 : (soup < 4 ? 0.1 : 0.4));
    for (int q = 0; q < 150; ++q)
      m.AddNode(unit(rng), unit(rng), unit(rng));
    // Flat triangles with their third corner between the other two: rounding leaves that
    // corner a hair away from its own triangle as measured now and then, yet it lies on the
    // surface.
    for (int flat = 0; flat < 60; ++flat) {
      const int32_t a = m.nbNodes();
      const double A[3] = {unit(rng), unit(rng), unit(rng)},
                   B[3] = {unit(rng), unit(rng), unit(rng)};
      const double t = unit(rng);
      m.AddNode(A[0], A[1], A[2]);
      m.AddNode(B[0], B[1], B[2]);
      m.AddNode(A[0] + (B[0] - A[0]) * t, A[1] + (B[1] - A[1]) * t, A[2] + (B[2] - A[2]) * t);
      m.AddFace({a, a + 1, a + 2});
    }
    SMesh mesh = MakeSMesh(m, 2);
    std::vector<double> values(static_cast<size_t>(m.nbNodes()));
    Dist2Surf(mesh, values);
    BuildAdtTree(mesh);
    const double* b = mesh.bbox;
    std::vector<bool> corner(static_cast<size_t>(m.nbNodes()), false);
    for (size_t p = 0; p < m.elem.size(); p += 4)
      for (size_t k = 1; k <= 3; ++k)
        corner[static_cast<size_t>(m.elem[p + k])] = true;
    // A corner of a face measures exactly 0; every other node as the designed search finds it.
    for (int32_t i = 0; i < m.nbNodes(); ++i) {
      if (corner[static_cast<size_t>(i)]) {
        ASSERT_EQ(values[static_cast<size_t>(i)], 0.0) << "soup " << soup << " node " << i;
        continue;
      }
      // The designed loop: one plain range search per cube, every listed face measured.
      const double* p = mesh.Node(i);
      double best = kDblMax, lo = 0, hi = 0.01 * std::max({b[3] - b[0], b[4] - b[1], b[5] - b[2]});
      double reference = 0;
      bool isExact = false;
      AdtResult faces;
      for (int count = 1;; ++count) {
        const double r = (lo + hi) * 0.5;
        const double low[6] = {b[0], b[1], b[2], p[0] - r, p[1] - r, p[2] - r};
        const double high[6] = {p[0] + r, p[1] + r, p[2] + r, b[3], b[4], b[5]};
        AdtSearch(*mesh.adt, low, high, faces);
        for (const AdtNode& face : faces) {
          double tri[9], q[3];
          if (LoadFaceTriangle(mesh, face.facePos, 0, tri))
            best = std::min(best, ClosestPointOnTriangle(p, tri, q));
        }
        if (best == kDblMax) {
          lo = r;
          hi *= 2;
          continue;
        }
        reference = std::sqrt(best);
        isExact = reference <= r;
        if (isExact || count >= 5) break;
        lo = r;
        hi = 1.00001 * reference;
      }
      ASSERT_EQ(values[static_cast<size_t>(i)], reference) << "soup " << soup << " node " << i;
      (isExact ? exact : limited)++;
      if (isExact) {
        double all = kDblMax;
        for (int32_t f = 0; f < mesh.nbFaces; ++f) {
          double tri[9], q[3];
          LoadFaceTriangle(mesh, 4 * f, 0, tri);
          all = std::min(all, ClosestPointOnTriangle(p, tri, q));
        }
        ASSERT_EQ(reference, std::sqrt(all)) << "soup " << soup << " node " << i;
      }
    }
  }
  EXPECT_GT(exact, 300);
  EXPECT_GT(limited, 0);
}

// The nearest crossing of a segment, as the probes keep it: equally near crossings go to the
// face listed first, and the bound stays a little beyond the best so far.
struct Crossing {
  double distance2 = INFINITY;
  int32_t rank = -1;
  int32_t faceIndex = -1;
  void Consider(const double tri[9], int32_t face, int32_t r, const double origin[3],
                const double end[3], double& bound) {
    double x[3];
    if (!SegmentTriangleIntersect(tri, tri + 3, tri + 6, origin, end, x)) return;
    const double d2 = SquaredLength(Vec3::Load(x) - Vec3::Load(origin));
    if (d2 < distance2 || (d2 == distance2 && r < rank)) {
      distance2 = d2;
      rank = r;
      faceIndex = face;
      bound = std::sqrt(d2) * (1.0 + 1e-12) + 1e-9;
    }
  }
};

TEST(RayTree, HoldsTheFacesInListingOrderAndFindsTheCrossingTheWalkOverTheAdtFinds) {
  TestMesh m = RandomTriangleSoup(7, 300, 100, 20);
  m.AddFace({2, 3});  // no triangle: never held
  SMesh mesh = MakeSMesh(m);
  BuildAdtTree(mesh);
  const RayTree rays(AdtListing(*mesh.adt), mesh);
  EXPECT_TRUE(rays.HoldsWholeFaces());
  AdtResult listed;
  AdtSearch(*mesh.adt, mesh.adt->domainLow, mesh.adt->domainHigh, listed);
  std::set<int32_t> held;
  for (const RayFace& face : rays.Faces()) {
    EXPECT_EQ(listed[static_cast<size_t>(face.rank)].faceIndex, face.faceIndex);
    EXPECT_EQ(listed[static_cast<size_t>(face.rank)].facePos, face.facePos);
    held.insert(face.rank);
  }
  EXPECT_EQ(held.size(), 300u);
  m.AddFace({2, 3, 4, 5});
  SMesh withQuad = MakeSMesh(m);
  BuildAdtTree(withQuad);
  EXPECT_FALSE(RayTree(AdtListing(*withQuad.adt), withQuad).HoldsWholeFaces());

  for (const uint32_t seed : {1u, 2u, 3u}) {
    // Soups of small and of large triangles, and a box whose rays run along its walls and
    // through its edges.
    for (const TestMesh& soup : {RandomTriangleSoup(seed, 500, 100, 8),
                                 RandomTriangleSoup(seed + 10, 200, 100, 60), Box(4, 3, 2, 3)}) {
      SMesh s = MakeSMesh(soup);
      BuildAdtTree(s);
      AdtRayWalk walls(*s.adt);
      RayTree tree(AdtListing(*s.adt), s);
      std::mt19937 random(seed);
      std::uniform_real_distribution<double> coordinate(-500, 10500), unit(-1, 1);
      std::uniform_int_distribution<int32_t> pickFace(0, s.nbFaces - 1);
      const double length = 2.0 * s.halfDiag + 1.0;
      for (int ray = 0; ray < 300; ++ray) {
        double origin[3], direction[3], end[3];
        int32_t excluded = -1;
        if (ray % 3 == 0) {  // from an incentre against the normal, the face left out
          FaceFrame frame;
          excluded = 4 * pickFace(random);
          ASSERT_TRUE(LoadFaceFrame(s, excluded, 0, frame));
          for (int k = 0; k < 3; ++k) {
            origin[k] = frame.P[k];
            direction[k] = -frame.N[k];
          }
        } else {  // anywhere, or from a whole point along an axis
          for (int k = 0; k < 3; ++k) {
            origin[k] = ray % 3 == 1 ? coordinate(random) : std::round(coordinate(random));
            direction[k] = ray % 3 == 1 ? unit(random) : 0.0;
          }
          if (ray % 3 == 2) direction[ray % 2] = ray % 4 < 2 ? 1.0 : -1.0;
        }
        for (int k = 0; k < 3; ++k)
          end[k] = origin[k] + length * direction[k];
        Crossing want, got;
        double wantBound = length * Length(Vec3::Load(direction)), gotBound = wantBound;
        walls.AlongRay(origin, direction, length, wantBound, [&](const AdtNode& node, int32_t r) {
          double tri[9];
          if (node.facePos != excluded && LoadFaceTriangle(s, node.facePos, 0, tri))
            want.Consider(tri, node.faceIndex, r, origin, end, wantBound);
        });
        tree.AlongRay(origin, direction, length, gotBound, [&](const RayFace& face) {
          if (face.facePos != excluded)
            got.Consider(face.tri, face.faceIndex, face.rank, origin, end, gotBound);
        });
        ASSERT_EQ(got.faceIndex, want.faceIndex) << "seed " << seed << " ray " << ray;
        ASSERT_EQ(got.rank, want.rank);
        ASSERT_EQ(got.distance2, want.distance2);
        // With a bound that never falls, the walk visits exactly the faces whose widened box,
        // rounded outwards to floats, the segment meets: a face the tree's groups lost, or a
        // group box short of its faces, would be missing.
        const double full = length * Length(Vec3::Load(direction));
        const SegmentBoxEntries entries(origin, direction, length);
        std::set<int32_t> visited, meeting;
        tree.AlongRay(origin, direction, length, full,
                      [&](const RayFace& face) { visited.insert(face.faceIndex); });
        for (const RayFace& face : tree.Faces()) {
          double box[6];
          WidenedFaceBox(face.tri, box);
          const float rounded[6] = {FloatBelow(box[0]), FloatBelow(box[1]), FloatBelow(box[2]),
                                    FloatAbove(box[3]), FloatAbove(box[4]), FloatAbove(box[5])};
          if (entries(rounded) * Length(Vec3::Load(direction)) <= full)
            meeting.insert(face.faceIndex);
        }
        ASSERT_EQ(visited, meeting) << "seed " << seed << " ray " << ray;
      }
    }
  }
}

// The gradient as FThickGrad gives it; with listedByBuild, after an edge list build that
// listed the faces across each side, as the check's does.
std::vector<double> Gradient(const TestMesh& m, const std::vector<double>& thickness,
                             bool listedByBuild = false) {
  SMesh mesh = MakeSMesh(m);
  if (listedByBuild) BuildEdgeHash(mesh, true);
  std::vector<double> gradient(thickness.size(), -1.0);
  FThickGrad(mesh, thickness, gradient);
  return gradient;
}

TEST(RayThickness, MeasuresEachFaceAsTheNearestCrossingOfAllFacesBitForBit) {
  // Without the outside flag the nearest crossing's distance is all a value reads, so the order
  // in which faces are offered cannot matter; a literal scan of every face is the reference.
  std::mt19937 random(17);
  std::uniform_real_distribution<double> wobble(-0.05, 0.05);
  TestMesh bumpy = Torus(12, 8);
  for (double& c : bumpy.coords)
    c += wobble(random);
  for (const TestMesh& m : {bumpy, BoxWithCavity(false), CubeOnCube()}) {
    SMesh mesh = MakeSMesh(m);
    ComputeBBox(mesh);
    std::vector<double> values(static_cast<size_t>(mesh.nbFaces), -1.0);
    RayThickness(mesh, values);
    const double length = 2.0 * mesh.halfDiag + 1.0;
    for (int32_t f = 0; f < mesh.nbFaces; ++f) {
      FaceFrame frame;
      ASSERT_TRUE(LoadFaceFrame(mesh, 4 * f, 0, frame));
      const Vec3 origin = Vec3::Load(frame.P);
      double end[3];
      (origin - length * Vec3::Load(frame.N)).Store(end);
      double best = kDblMax;
      for (int32_t g = 0; g < mesh.nbFaces; ++g) {
        double tri[9], x[3];
        if (g == f || !LoadFaceTriangle(mesh, 4 * g, 0, tri)) continue;
        if (SegmentTriangleIntersect(tri, tri + 3, tri + 6, frame.P, end, x))
          best = std::min(best, SquaredLength(Vec3::Load(x) - origin));
      }
      ASSERT_EQ(values[static_cast<size_t>(f)], best < kDblMax ? std::sqrt(best) : 0.0)
          << "face " << f;
    }
  }
}

// The gradient walked literally: the walk around each node of each face, every time.
std::vector<double> WalkedGradient(const TestMesh& m, const std::vector<double>& thickness) {
  SMesh mesh = MakeSMesh(m);
  BuildEdgeHash(mesh);
  std::vector<int32_t> indices(kGradientWalkCapacity), positions(kGradientWalkCapacity);
  std::vector<double> gradient(thickness.size());
  int32_t face = 0;
  for (int32_t pos = 0; pos < mesh.szelem; pos += mesh.elem[pos] + 1, ++face) {
    const double own = thickness[face];
    std::set<int32_t> counted{face};
    double sum = 0.0;
    int32_t count = 0;
    for (int32_t k = 1; k <= mesh.elem[pos]; ++k) {
      indices[0] = face;
      positions[0] = pos;
      const int32_t around = FacesAroundNode(mesh, mesh.elem[pos + k], indices, positions);
      for (int32_t j = 1; j < around; ++j) {
        if (!counted.insert(indices[j]).second || !(own >= 1.1920928955078125e-7)) continue;
        sum += std::abs(thickness[indices[j]] - own) / own;
        ++count;
      }
    }
    gradient[face] = count > 0 ? sum / count : 0.0;
  }
  return gradient;
}

TEST(FThickGrad, GivesTheGradientOfWalkingAroundEveryNodeOfEveryFaceBitForBit) {
  // Rings that are cycles; two tetrahedra touching at a node, which has two rings; an open box,
  // whose rim nodes' walks stop; quadrilaterals; a surface on a surface.
  const TestMesh tetrahedron = Tetrahedron();
  const TestMesh touching =
      Welded(Together(tetrahedron, Translated(tetrahedron, tetrahedron.coords[9],
                                              tetrahedron.coords[10], tetrahedron.coords[11])));
  const TestMesh open = Welded(Box(2, 2, 2, 3), [](double, double, double z) { return z == 2.0; });
  std::mt19937 random(9);
  std::uniform_real_distribution<double> value(0.0, 5.0);
  for (const TestMesh& m : {Torus(9, 7), touching, open, Box(1, 2, 3, 2, true), CubeOnCube()}) {
    std::vector<double> thickness(static_cast<size_t>(m.nbFaces()));
    for (double& t : thickness)
      t = value(random);
    thickness[thickness.size() / 2] = 0.0;  // a face too thin to compare
    const std::vector<double> walked = WalkedGradient(m, thickness);
    EXPECT_EQ(Gradient(m, thickness), walked);
    EXPECT_EQ(Gradient(m, thickness, true), walked) << "from the build's list";
  }
}

// Number of nodes that two triangles share.
int Shared(const TestMesh& m, int32_t f, int32_t g) {
  const std::set<int32_t> a(&m.elem[4 * f + 1], &m.elem[4 * f + 4]);
  return static_cast<int>(std::count_if(&m.elem[4 * g + 1], &m.elem[4 * g + 4],
                                        [&](int32_t n) { return a.count(n) > 0; }));
}

TEST(FThickGrad, MeansTheRelativeDifferenceToEachFaceSharingANodeCountedOnce) {
  // On the torus each triangle meets 3 others across its sides and 9 more at its corners.
  const TestMesh torus = Torus(8, 8);
  const size_t faces = static_cast<size_t>(torus.nbFaces());
  EXPECT_EQ(Gradient(torus, std::vector<double>(faces, 4.5)), std::vector<double>(faces, 0.0));
  // A thin face of 1 among faces of 10 gets 9; each of its 12 neighbours gets 0.9 over its own
  // 12; faces farther away nothing.
  std::vector<double> thickness(faces, 10.0);
  thickness[20] = 1.0;
  const std::vector<double> gradient = Gradient(torus, thickness);
  EXPECT_DOUBLE_EQ(gradient[20], 9.0);
  for (int32_t g = 0; g < torus.nbFaces(); ++g) {
    if (g != 20) {
      EXPECT_NEAR(gradient[g], Shared(torus, 20, g) > 0 ? 0.9 / 12 : 0.0, 1e-15) << g;
    }
  }
}

}  // namespace
}  // namespace vexmor::test
