// Ray probes: the first face hit, every face crossed, and the outward seed face. The marches
// skip empty space and filter one search among many steps; they are checked against a march
// that makes one search per step.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <vector>

#include "geometry/adt.h"
#include "geometry/adt_search.h"
#include "geometry/bbox.h"
#include "geometry/ray_probe.h"
#include "geometry/segment_triangle.h"
#include "geometry/tolerances.h"
#include "geometry/triangle_incircle.h"
#include "mesh/smesh.h"
#include "support/mesh_fixtures.h"
#include "support/spatial_fixtures.h"
#include "topology/edge_list.h"

namespace vexmor::test {
namespace {

// ---- The reference: one ADT search per step. -------------------------------------------------

enum class NaiveEnd { kLeftBox, kOutOfSteps, kStopped, kTooLong };

using StepCheck = std::function<bool(const double* prev, const double* cur, const AdtResult&)>;

NaiveEnd NaiveMarch(const SMesh& mesh, const double start[3], const double step[3],
                    int64_t maxSearches, const StepCheck& check, int64_t giveUpAfter = 400000) {
  double cur[3] = {start[0], start[1], start[2]};
  const double* b = mesh.bbox;
  AdtResult result;
  for (int64_t steps = 0;; ++steps) {
    const double prev[3] = {cur[0], cur[1], cur[2]};
    for (int k = 0; k < 3; ++k)
      cur[k] = prev[k] - step[k];
    for (int k = 0; k < 3; ++k) {
      if ((prev[k] < b[k] && cur[k] < b[k]) || (prev[k] > b[k + 3] && cur[k] > b[k + 3])) {
        return NaiveEnd::kLeftBox;
      }
    }
    if (steps >= maxSearches) return NaiveEnd::kOutOfSteps;
    if (steps >= giveUpAfter) return NaiveEnd::kTooLong;
    const double low[6] = {b[0],
                           b[1],
                           b[2],
                           std::min(prev[0], cur[0]),
                           std::min(prev[1], cur[1]),
                           std::min(prev[2], cur[2])};
    const double high[6] = {std::max(prev[0], cur[0]),
                            std::max(prev[1], cur[1]),
                            std::max(prev[2], cur[2]),
                            b[3],
                            b[4],
                            b[5]};
    AdtSearch(*mesh.adt, low, high, result);
    if (check(prev, cur, result)) return NaiveEnd::kStopped;
  }
}

// Sub-triangles (k, k+1, k+2) of the face at pos, read straight from the connectivity.
std::vector<std::array<double, 9>> SubTriangles(const SMesh& mesh, int32_t pos) {
  std::vector<std::array<double, 9>> tris;
  const int32_t n = mesh.elem[static_cast<size_t>(pos)];
  for (int32_t k = 0; k + 2 < n; ++k) {
    std::array<double, 9> t;
    for (int v = 0; v < 3; ++v) {
      const double* p = mesh.Node(mesh.elem[static_cast<size_t>(pos + 1 + k + v)]);
      std::copy(p, p + 3, t.begin() + 3 * v);
    }
    tris.push_back(t);
  }
  return tris;
}

struct FirstHit {
  double value;
  FaceRef hit;
  friend bool operator==(const FirstHit&, const FirstHit&) = default;
};

FirstHit NaiveFirstHit(SMesh& mesh, int32_t excluded, const double p[3], const double d[3],
                       double h, bool limited, int32_t maxSteps) {
  const double step[3] = {h * d[0], h * d[1], h * d[2]};
  double best = kDblMax;
  FaceRef found{-5, -5};
  const NaiveEnd end = NaiveMarch(
      mesh, p, step, limited ? maxSteps : INT64_MAX,
      [&](const double* prev, const double* cur, const AdtResult& nodes) {
        bool recorded = false;
        for (const AdtNode& node : nodes) {
          if (excluded >= 0 && node.facePos == excluded) continue;
          for (const auto& t : SubTriangles(mesh, node.facePos)) {
            double x[3] = {prev[0], prev[1], prev[2]};
            if (SegmentTriangleIntersect(&t[0], &t[3], &t[6], prev, cur, x)) {
              const double d2 = (x[0] - p[0]) * (x[0] - p[0]) + (x[1] - p[1]) * (x[1] - p[1]) +
                                (x[2] - p[2]) * (x[2] - p[2]);
              if (d2 < best) {
                best = d2;
                found = {node.faceIndex, node.facePos};
                recorded = true;
              }
            }
          }
        }
        return recorded;
      });
  EXPECT_NE(end, NaiveEnd::kTooLong) << "reference march too long for a test";
  if (end == NaiveEnd::kStopped) return {std::sqrt(best), found};
  return {end == NaiveEnd::kLeftBox ? -2.0 : -1.0, FaceRef{-5, -5}};
}

// With stepsToTake given, the march is cut after that many steps (a march that cannot move).
std::vector<FaceRef> NaiveCrossedFaces(SMesh& mesh, int32_t source, int64_t stepsToTake = -1) {
  double centre[3] = {0, 0, 0}, n[3] = {0, 0, 0}, r = 0;
  for (const auto& t : SubTriangles(mesh, source)) {
    std::copy(t.begin(), t.begin() + 3, centre);
    r = TriangleIncircle(t.data(), centre);
    const double u[3] = {t[3] - t[0], t[4] - t[1], t[5] - t[2]};
    const double v[3] = {t[6] - t[0], t[7] - t[1], t[8] - t[2]};
    n[0] = u[1] * v[2] - u[2] * v[1];
    n[1] = u[2] * v[0] - u[0] * v[2];
    n[2] = u[0] * v[1] - u[1] * v[0];
    const double len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    if (len >= kDblMin) {
      for (double& c : n)
        c /= len;
    }
  }
  std::vector<FaceRef> list;
  const double step[3] = {n[0] * r, n[1] * r, n[2] * r};
  const NaiveEnd end = NaiveMarch(
      mesh, centre, step, INT64_MAX,
      [&](const double* prev, const double* cur, const AdtResult& nodes) {
        for (const AdtNode& node : nodes) {
          if (node.facePos == source) continue;
          for (const auto& t : SubTriangles(mesh, node.facePos)) {
            double x[3] = {prev[0], prev[1], prev[2]};
            const FaceRef ref{node.faceIndex, node.facePos};
            if (SegmentTriangleIntersect(&t[0], &t[3], &t[6], prev, cur, x) &&
                std::find(list.begin(), list.end(), ref) == list.end()) {
              list.push_back(ref);
            }
          }
        }
        return false;
      },
      stepsToTake >= 0 ? stepsToTake : 400000);
  EXPECT_EQ(end, stepsToTake >= 0 ? NaiveEnd::kTooLong : NaiveEnd::kLeftBox);
  return list;
}

// A mesh with its ADT built, as the probes expect.
struct PreparedMesh : SMesh {
  explicit PreparedMesh(const TestMesh& m)
      : SMesh(0, m.nbNodes(), m.szelem(), m.coords, m.elem, 0) {
    BuildAdtTree(*this);
  }
};

std::vector<int32_t> FacePositions(const TestMesh& m) {
  std::vector<int32_t> positions;
  for (size_t p = 0; p < m.elem.size(); p += static_cast<size_t>(m.elem[p]) + 1)
    positions.push_back(static_cast<int32_t>(p));
  return positions;
}

// All nodes of the face at pos have coordinate `value` on `axis`.
bool FaceLiesOn(const SMesh& mesh, int32_t pos, int axis, double value) {
  for (int32_t k = 1; k <= mesh.elem[static_cast<size_t>(pos)]; ++k) {
    if (mesh.Node(mesh.elem[static_cast<size_t>(pos + k)])[axis] != value) return false;
  }
  return true;
}

// ---- RayFirstHit. ----------------------------------------------------------------------------

TEST(RayFirstHit, FromInsideAClosedCubeReturnsTheDistanceToTheWall) {
  PreparedMesh mesh(Cube());  // [0, 10000]^3 once normalised
  const double p[3] = {5000, 4000, 3000};
  const double towardsTop[3] = {0, 0, -1};  // the ray runs along -d
  FaceRef hit{-1, -1};
  EXPECT_DOUBLE_EQ(RayFirstHit(mesh, -1, p, towardsTop, 300, hit, false, 0), 7000);
  EXPECT_TRUE(FaceLiesOn(mesh, hit.facePos, 2, 10000));
  EXPECT_EQ(hit.facePos, 4 * hit.faceIndex);

  const double s = 1 / std::sqrt(3.0);
  const double towardsOrigin[3] = {s, s, s};
  EXPECT_NEAR(RayFirstHit(mesh, -1, p, towardsOrigin, 450, hit, false, 0), 3000 * std::sqrt(3.0),
              1e-6);
  EXPECT_TRUE(FaceLiesOn(mesh, hit.facePos, 2, 0));
}

TEST(RayFirstHit, LeavesTheBoxOrRunsOutOfSteps) {
  PreparedMesh mesh(Cube());  // bbox [-500, 10500]^3
  FaceRef hit{-7, -7};
  const double outside[3] = {-200, 5000, 5000};
  const double awayFromCube[3] = {1, 0, 0};  // runs towards -x
  EXPECT_EQ(RayFirstHit(mesh, -1, outside, awayFromCube, 100, hit, false, 0), kRayLeftBox);
  EXPECT_EQ(hit.faceIndex, -7) << "no hit, nothing written";

  const double inside[3] = {5000, 5000, 5000};
  EXPECT_EQ(RayFirstHit(mesh, -1, inside, awayFromCube, 100, hit, true, 0), kRayOutOfSteps);
  EXPECT_EQ(RayFirstHit(mesh, -1, inside, awayFromCube, 100, hit, true, 49), kRayOutOfSteps);
  EXPECT_EQ(RayFirstHit(mesh, -1, inside, awayFromCube, 100, hit, true, 50), 5000.0);

  const double beyond[3] = {-600, 5000, 5000};  // the first step already lies past the bbox
  EXPECT_EQ(RayFirstHit(mesh, -1, beyond, awayFromCube, 100, hit, true, 0), kRayLeftBox);
}

TEST(RayFirstHit, TwoFacesInOneStepReportTheNearer) {
  TestMesh m = InFrame({});
  auto square = [&](double z) {
    const int32_t a = m.AddNode(1000, 1000, z), b = m.AddNode(9000, 1000, z),
                  c = m.AddNode(9000, 9000, z), d = m.AddNode(1000, 9000, z);
    m.AddQuad(a, b, c, d);
  };
  square(6100);  // listed first
  square(6000);
  m.AddNode(0, 0, 10000);
  PreparedMesh mesh(m);
  const double p[3] = {5000, 4000, 5500}, up[3] = {0, 0, -1};
  FaceRef hit;
  EXPECT_EQ(RayFirstHit(mesh, -1, p, up, 1000, hit, false, 0), 500.0);
  EXPECT_EQ(hit.faceIndex, 1);
  EXPECT_EQ(hit.facePos, 5);
  // Ignoring the nearer face, the farther one is found in the same step.
  EXPECT_EQ(RayFirstHit(mesh, 5, p, up, 1000, hit, false, 0), 600.0);
  EXPECT_EQ(hit.faceIndex, 0);
}

TEST(RayFirstHit, StepsThatCannotProgressStillEnd) {
  PreparedMesh mesh(Cube());
  FaceRef hit{-7, -7};
  const double p[3] = {5000, 5000, 5000}, d[3] = {0, 0, 1};
  EXPECT_EQ(RayFirstHit(mesh, -1, p, d, 0.0, hit, false, 0), kRayOutOfSteps);
  EXPECT_EQ(RayFirstHit(mesh, -1, p, d, 1e-300, hit, false, 0), kRayOutOfSteps);
  EXPECT_EQ(RayFirstHit(mesh, -1, p, d, NAN, hit, false, 0), kRayOutOfSteps);
  const double zero[3] = {0, 0, 0};
  EXPECT_EQ(RayFirstHit(mesh, -1, p, zero, 10, hit, true, 1000000), kRayOutOfSteps);
  // A step that moves but would need more steps than the march allows.
  EXPECT_EQ(RayFirstHit(mesh, -1, p, d, 1e-9, hit, false, 0), kRayOutOfSteps);
  EXPECT_EQ(hit.faceIndex, -7);
  // Starting on a wall with a zero step: the one step there finds it.
  const double onWall[3] = {5000, 5000, 10000};
  EXPECT_EQ(RayFirstHit(mesh, -1, onWall, d, 0.0, hit, false, 0), 0.0);
  EXPECT_TRUE(FaceLiesOn(mesh, hit.facePos, 2, 10000));
}

TEST(RayFirstHit, ShortStepsNextToLargeFacesFindTheSameWall) {
  PreparedMesh mesh(Box(1, 1, 1, 2));
  const double p[3] = {2500, 2600, 9999.5}, up[3] = {0, 0, -1};
  FaceRef hit;
  EXPECT_DOUBLE_EQ(RayFirstHit(mesh, -1, p, up, 1e-3, hit, false, 0), 0.5);
  EXPECT_TRUE(FaceLiesOn(mesh, hit.facePos, 2, 10000));
}

// ---- RayCrossedFaces. ------------------------------------------------------------------------

TEST(RayCrossedFaces, FromAWallOfABoxListsTheOppositeWallOnly) {
  const TestMesh box = Box(1, 1, 1, 3);
  PreparedMesh mesh(box);
  std::vector<FaceRef> crossed(3, FaceRef{9, 9});
  for (int32_t source : FacePositions(box)) {
    RayCrossedFaces(mesh, crossed, source);
    ASSERT_FALSE(crossed.empty()) << source;
    // The source face's fixed axis and side; the ray crosses the wall on the other side.
    int axis = -1;
    for (int k = 0; k < 3 && axis < 0; ++k) {
      if (FaceLiesOn(mesh, source, k, 0) || FaceLiesOn(mesh, source, k, 10000)) axis = k;
    }
    const double opposite = FaceLiesOn(mesh, source, axis, 0) ? 10000 : 0;
    for (const FaceRef& face : crossed) {
      EXPECT_NE(face.facePos, source);
      EXPECT_TRUE(FaceLiesOn(mesh, face.facePos, axis, opposite)) << source;
      EXPECT_EQ(std::count(crossed.begin(), crossed.end(), face), 1);
    }
    EXPECT_LE(crossed.size(), 2u);
  }
}

TEST(RayCrossedFaces, ThroughAnEdgeOfTheOppositeWallListsBothFaces) {
  // A square wall split along its diagonal, and opposite it a triangle whose incentre lies on
  // that diagonal.
  TestMesh m = InFrame({});
  const int32_t a = m.AddNode(0, 0, 10000), b = m.AddNode(10000, 0, 10000),
                c = m.AddNode(10000, 10000, 10000), d = m.AddNode(0, 10000, 10000);
  m.AddTriangle(a, b, c);
  m.AddTriangle(a, c, d);
  const int32_t p = m.AddNode(1000, 1000, 0), q = m.AddNode(3000, 1000, 0),
                r = m.AddNode(1000, 3000, 0);
  m.AddTriangle(p, r, q);  // normal -z: the ray runs up
  PreparedMesh mesh(m);
  // Incentre (1000 + k, 1000 + k): on the diagonal x = y.
  std::vector<FaceRef> crossed;
  RayCrossedFaces(mesh, crossed, 8);
  EXPECT_EQ(crossed, (std::vector<FaceRef>{{0, 0}, {1, 4}}));
}

TEST(RayCrossedFaces, SourcesWithoutATriangle) {
  TestMesh m = Cube();
  m.elem.insert(m.elem.end(), {2, 0, 1, 0, 1, 5});
  PreparedMesh mesh(m);
  std::vector<FaceRef> crossed(4);
  RayCrossedFaces(mesh, crossed, 48);  // two nodes
  EXPECT_TRUE(crossed.empty());
  crossed.resize(4);
  RayCrossedFaces(mesh, crossed, 51);  // count entry 0
  EXPECT_TRUE(crossed.empty());
  crossed.resize(4);
  RayCrossedFaces(mesh, crossed, 52);  // one node
  EXPECT_TRUE(crossed.empty());
  RayCrossedFaces(mesh, crossed, 1000);  // past the end
  EXPECT_TRUE(crossed.empty());
}

TEST(RayCrossedFaces, DegenerateSourceEndsWithWhatItsStepFound) {
  TestMesh m = Cube();
  // A triangle of three coincident nodes on the top wall: no radius, no normal, no progress.
  const int32_t corner = m.AddNode(0.5, 0.5, 1);
  m.AddTriangle(corner, corner, corner);
  PreparedMesh mesh(m);
  std::vector<FaceRef> crossed;
  RayCrossedFaces(mesh, crossed, 48);
  const std::vector<FaceRef> expected = NaiveCrossedFaces(mesh, 48, 5);
  EXPECT_EQ(crossed, expected);
  EXPECT_EQ(expected.size(), 2u) << "the corner lies on the diagonal of the top wall";
}

// ---- OrientSeedFace. -------------------------------------------------------------------------

TEST(OrientSeedFace, OutwardCubeKeepsItsSeedAndInwardCubeTurnsIt) {
  const TestMesh cube = Cube();
  SMesh outward = MakeSMesh(cube);
  const auto seed = OrientSeedFace(outward);
  ASSERT_TRUE(seed.has_value());
  EXPECT_EQ(seed->facePos, 4 * seed->faceIndex);
  EXPECT_EQ(outward.elem, cube.elem);

  const TestMesh inward = Rewound(cube);
  SMesh turned = MakeSMesh(inward);
  const auto inwardSeed = OrientSeedFace(turned);
  ASSERT_TRUE(inwardSeed.has_value());
  EXPECT_EQ(*inwardSeed, *seed) << "the probes meet the same face whatever its winding";
  std::vector<int32_t> expected = inward.elem;
  const size_t p = static_cast<size_t>(inwardSeed->facePos);
  std::swap(expected[p + 2], expected[p + 3]);  // (a, b, c) becomes (a, c, b)
  EXPECT_EQ(turned.elem, expected);
  EXPECT_EQ(turned.elem[p + 1], inward.elem[p + 1]);
}

// One flat face in the plane z = 0, facing +z, and two unused nodes that place the centre of
// the node box at (cx, cy, 0): the first probe runs up the diagonal of the bbox and meets the
// face there, from below.
TestMesh FlatFace(const std::vector<std::array<double, 2>>& corners, double cx, double cy) {
  TestMesh m;
  std::vector<int32_t> ring;
  double lo[2] = {1e300, 1e300}, hi[2] = {-1e300, -1e300};
  for (const auto& c : corners) {
    ring.push_back(m.AddNode(c[0], c[1], 0));
    for (int k = 0; k < 2; ++k) {
      lo[k] = std::min(lo[k], c[k]);
      hi[k] = std::max(hi[k], c[k]);
    }
  }
  m.AddFace(ring);
  // Stretch the box on the side that moves its centre to (cx, cy).
  const double x = cx > (lo[0] + hi[0]) / 2 ? 2 * cx - lo[0] : 2 * cx - hi[0];
  const double y = cy > (lo[1] + hi[1]) / 2 ? 2 * cy - lo[1] : 2 * cy - hi[1];
  m.AddNode(x, y, 1);
  m.AddNode(cx, cy, -1);
  return m;
}

TEST(OrientSeedFace, FaceMetFromBehindIsTurnedKeepingItsFirstNode) {
  const TestMesh triangle = FlatFace({{0, 0}, {1, 0}, {0, 1}}, 0.3, 0.3);
  SMesh t = MakeSMesh(triangle);
  const auto seed = OrientSeedFace(t);
  ASSERT_TRUE(seed.has_value());
  EXPECT_EQ(seed->facePos, 0);
  EXPECT_EQ(t.elem, (std::vector<int32_t>{3, 0, 2, 1}));

  const TestMesh quad = FlatFace({{-2, -2}, {2, -2}, {2, 2}, {-2, 2}}, 0.6, -0.4);
  SMesh q = MakeSMesh(quad);
  ASSERT_TRUE(OrientSeedFace(q).has_value());
  EXPECT_EQ(q.elem, (std::vector<int32_t>{4, 0, 3, 2, 1}));

  // Met from the side its normal faces, a face is left as it is.
  SMesh facingDown = MakeSMesh(Rewound(quad));
  ASSERT_TRUE(OrientSeedFace(facingDown).has_value());
  EXPECT_EQ(facingDown.elem, Rewound(quad).elem);
}

TEST(OrientSeedFace, PentagonThatMustTurnGivesNothing) {
  std::vector<std::array<double, 2>> corners;
  for (int i = 0; i < 5; ++i) {
    const double angle = 3.141592653589793 * (1 + 2.0 * i / 5);
    corners.push_back({2 * std::cos(angle), 2 * std::sin(angle)});
  }
  // Met at the centroid of its nodes 2, 3, 4, a strip triangle in either winding.
  const TestMesh pentagon = FlatFace(corners, 0.873, -0.634);
  SMesh up = MakeSMesh(pentagon);
  EXPECT_FALSE(OrientSeedFace(up).has_value());
  EXPECT_EQ(up.elem, pentagon.elem);
  SMesh down = MakeSMesh(Rewound(pentagon));
  EXPECT_TRUE(OrientSeedFace(down).has_value());
}

TEST(OrientSeedFace, QuadrilateralsAreProbedThroughTheirStripTriangles) {
  // The probe passes just beside the first corner of the near quadrilaterals, where their two
  // strip triangles (a, b, c) and (b, c, d) leave a gap; it meets the far wall from inside and
  // takes that face as the seed, as it is.
  const TestMesh quads = Rewound(Box(1, 1, 1, 1, true));
  SMesh mesh = MakeSMesh(quads);
  const auto seed = OrientSeedFace(mesh);
  ASSERT_TRUE(seed.has_value());
  EXPECT_TRUE(FaceLiesOn(mesh, seed->facePos, 2, 10000));
  EXPECT_EQ(mesh.elem, quads.elem);
}

TEST(OrientSeedFace, NothingToFindGivesNothing) {
  TestMesh m;
  m.AddNode(0, 0, 0);
  m.AddNode(1, 1, 1);
  SMesh noFaces = MakeSMesh(m);
  EXPECT_FALSE(OrientSeedFace(noFaces).has_value());
}

TEST(MeanEdgeLength, EnclosingBoxEdgesDoNotCountWhenOutsideIsSet) {
  TestMesh part = Cube(1.0);
  const TestMesh enclosure = Box(3, 3, 3, 1, false, -1, -1, -1);
  part.Append(enclosure);  // its 8 nodes are the last ones
  SMesh alone = MakeSMesh(Cube(1.0));
  BuildEdgeHash(alone);
  SMesh inside(0, part.nbNodes(), part.szelem(), part.coords, part.elem, 0);
  SMesh outside(1, part.nbNodes(), part.szelem(), part.coords, part.elem, 0);
  BuildEdgeHash(inside);
  BuildEdgeHash(outside);
  // Same normalisation factor for both: the cube's edges measure the same in each.
  const double cubeMean = MeanEdgeLength(alone) / alone.scale * outside.scale;
  EXPECT_NEAR(MeanEdgeLength(outside), cubeMean, 1e-9);
  EXPECT_GT(MeanEdgeLength(inside), MeanEdgeLength(outside) * 1.5);
}

// ---- The accelerated march against one search per step. -------------------------------------

TEST(RayMarch, FirstHitsMatchASearchPerStepOnRandomSoups) {
  std::mt19937 rng(31);
  std::uniform_real_distribution<double> unit(0, 1), coord(-400, 10400), logStep(-0.5, 3.3);
  int hits = 0, misses = 0;
  for (int soup = 0; soup < 4; ++soup) {
    PreparedMesh mesh(RandomTriangleSoup(100 + soup, 300, 1.0, 0.3));
    for (int ray = 0; ray < 60; ++ray) {
      const double p[3] = {coord(rng), coord(rng), coord(rng)};
      double d[3] = {unit(rng) - 0.5, unit(rng) - 0.5, unit(rng) - 0.5};
      if (ray % 5 == 0) d[ray % 3] = 0;  // axis-parallel rays now and then
      const double len = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
      for (double& c : d)
        c /= len;
      const double h = std::pow(10.0, logStep(rng));
      const bool limited = ray % 3 == 0;
      const int32_t maxSteps = static_cast<int32_t>(unit(rng) * 40);
      const int32_t excluded = ray % 4 == 0 ? 4 * (ray % 300) : -1;
      FaceRef hit{-5, -5};
      const double value = RayFirstHit(mesh, excluded, p, d, h, hit, limited, maxSteps);
      const FirstHit expected = NaiveFirstHit(mesh, excluded, p, d, h, limited, maxSteps);
      ASSERT_EQ((FirstHit{value, hit}), expected) << "soup " << soup << " ray " << ray;
      (value >= 0 ? hits : misses)++;
    }
  }
  EXPECT_GT(hits, 30);
  EXPECT_GT(misses, 30);
}

TEST(RayMarch, ShortAndGrazingStepsNextToFacesMatchASearchPerStep) {
  std::mt19937 rng(37);
  std::uniform_real_distribution<double> unit(0, 1), logStep(-3, 0.5);
  int hits = 0;
  for (int soup = 0; soup < 3; ++soup) {
    const TestMesh m = RandomTriangleSoup(200 + soup, 200, 1.0, 0.2);
    PreparedMesh mesh(m);
    for (int ray = 0; ray < 40; ++ray) {
      // Start a little off a face, near its centroid, heading back at it or along it.
      const size_t pos = 4 * static_cast<size_t>(ray % 200);
      double c[3] = {0, 0, 0}, e[2][3];
      for (int v = 0; v < 3; ++v) {
        const double* q = mesh.Node(m.elem[pos + 1 + static_cast<size_t>(v)]);
        for (int k = 0; k < 3; ++k)
          c[k] += q[k] / 3;
      }
      const double* a = mesh.Node(m.elem[pos + 1]);
      for (int v = 0; v < 2; ++v) {
        const double* q = mesh.Node(m.elem[pos + 2 + static_cast<size_t>(v)]);
        for (int k = 0; k < 3; ++k)
          e[v][k] = q[k] - a[k];
      }
      double n[3] = {e[0][1] * e[1][2] - e[0][2] * e[1][1], e[0][2] * e[1][0] - e[0][0] * e[1][2],
                     e[0][0] * e[1][1] - e[0][1] * e[1][0]};
      const double nl = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
      for (double& x : n)
        x /= nl;
      const double offset = (unit(rng) - 0.5) * 10;
      const double p[3] = {c[0] + offset * n[0], c[1] + offset * n[1], c[2] + offset * n[2]};
      // Towards the face, or nearly along its plane.
      const double tilt = ray % 2 == 0 ? 1.0 : 1e-4 * (unit(rng) - 0.5);
      double d[3];
      for (int k = 0; k < 3; ++k)
        d[k] = offset * tilt * n[k] +
               e[0][k] / std::sqrt(e[0][0] * e[0][0] + e[0][1] * e[0][1] + e[0][2] * e[0][2]) *
                   (ray % 2 == 0 ? 0.1 : 1.0);
      const double h = std::pow(10.0, logStep(rng));
      FaceRef hit{-5, -5};
      const double value = RayFirstHit(mesh, -1, p, d, h, hit, true, 3000);
      ASSERT_EQ((FirstHit{value, hit}), NaiveFirstHit(mesh, -1, p, d, h, true, 3000))
          << "soup " << soup << " ray " << ray;
      hits += value >= 0;
    }
  }
  EXPECT_GT(hits, 20);
}

TEST(RayMarch, CrossedFacesMatchASearchPerStep) {
  // Random soups, and subdivided boxes whose rays run along walls and through shared edges.
  std::vector<TestMesh> meshes = {RandomTriangleSoup(41, 250, 1.0, 0.15), Box(1, 2, 3, 4),
                                  Box(2, 1, 1, 3, true)};
  TestMesh nested = Box(1, 1, 1, 3);
  nested.Append(Box(0.5, 0.5, 0.5, 2, false, 0.25, 0.25, 0.25));
  meshes.push_back(nested);
  for (size_t i = 0; i < meshes.size(); ++i) {
    PreparedMesh mesh(meshes[i]);
    std::vector<FaceRef> crossed;
    size_t total = 0;
    for (int32_t source : FacePositions(meshes[i])) {
      RayCrossedFaces(mesh, crossed, source);
      ASSERT_EQ(crossed, NaiveCrossedFaces(mesh, source)) << "mesh " << i << " face " << source;
      total += crossed.size();
    }
    EXPECT_GT(total, 0u);
  }
}

TEST(RayMarch, LongMarchesThroughEmptySpaceMatchASearchPerStep) {
  // A soup a hundredth of its node box, kept large by one stray node: marches cross tens of
  // thousands of empty steps before and after the soup, which runs skip without making them.
  TestMesh m = RandomTriangleSoup(47, 120, 1.0, 0.3);
  m.AddNode(100, 70, -30);
  PreparedMesh mesh(m);
  std::mt19937 rng(53);
  std::uniform_real_distribution<double> unit(0, 1);
  int hits = 0;
  for (int ray = 0; ray < 12; ++ray) {
    // From anywhere in the box towards a point near the soup, in steps of 0.05 to 1.
    const double p[3] = {mesh.bbox[0] + unit(rng) * (mesh.bbox[3] - mesh.bbox[0]),
                         mesh.bbox[1] + unit(rng) * (mesh.bbox[4] - mesh.bbox[1]),
                         mesh.bbox[2] + unit(rng) * (mesh.bbox[5] - mesh.bbox[2])};
    // The soup lies in [0, 100] x [0, 100] x [3000, 3100] of the normalised frame.
    const double target[3] = {20 + 60 * unit(rng), 20 + 60 * unit(rng), 3020 + 60 * unit(rng)};
    double d[3];
    for (int k = 0; k < 3; ++k)
      d[k] = p[k] - target[k];
    const double len = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    for (double& c : d)
      c /= len;
    const double h = std::pow(10.0, -1.3 * unit(rng));
    const bool limited = ray % 3 == 0;
    const int32_t maxSteps = static_cast<int32_t>(len / h * (0.5 + unit(rng)));
    FaceRef hit{-5, -5};
    const double value = RayFirstHit(mesh, -1, p, d, h, hit, limited, maxSteps);
    ASSERT_EQ((FirstHit{value, hit}), NaiveFirstHit(mesh, -1, p, d, h, limited, maxSteps))
        << "ray " << ray;
    hits += value >= 0;
  }
  EXPECT_GT(hits, 3);
  std::vector<FaceRef> crossed;
  const std::vector<int32_t> sources = FacePositions(m);
  for (size_t i = 0; i < sources.size(); i += 4) {
    RayCrossedFaces(mesh, crossed, sources[i]);
    ASSERT_EQ(crossed, NaiveCrossedFaces(mesh, sources[i])) << "face " << sources[i];
  }
}

TEST(RayMarch, RaysAlongWallsAndEdgesMatchASearchPerStep) {
  PreparedMesh mesh(Box(1, 1, 1, 4));
  // Points on walls, on edges between cells and at corners, stepping along the walls.
  const double starts[][3] = {{-300, 5000, 0},     {-300, 2500, 0}, {5000, -300, 2500},
                              {2500, 2500, -300},  {-300, 0, 0},    {-300, 7500, 10000},
                              {10000, 10200, 5000}};
  const double dirs[][3] = {{-1, 0, 0}, {0, -1, 0}, {0, 0, -1}, {-1, -1, 0}, {1, 0, 0}};
  for (const auto& p : starts) {
    for (const auto& d : dirs) {
      for (double h : {7.0, 250.0, 2500.0, 0.3}) {
        FaceRef hit{-5, -5};
        const double value = RayFirstHit(mesh, -1, p, d, h, hit, false, 0);
        ASSERT_EQ((FirstHit{value, hit}), NaiveFirstHit(mesh, -1, p, d, h, false, 0))
            << p[0] << " " << p[1] << " " << p[2] << " step " << h;
      }
    }
  }
}

}  // namespace
}  // namespace vexmor::test
