// Ray probes: the first face hit, every face crossed (and their count through the wall tree),
// and the outward seed face. The marches skip empty space and filter one search among many
// steps; they are held to a march that makes one range search per step, as the probes are
// designed.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>

#include "geometry/adt.h"
#include "geometry/adt_search.h"
#include "geometry/bbox.h"
#include "geometry/ray_probe.h"
#include "geometry/segment_triangle.h"
#include "geometry/triangle_incircle.h"
#include "support/smesh.h"
#include "thickness/crossed_faces.h"
#include "thickness/wall_search.h"
#include "topology/edge_list.h"

namespace vexmor::test {
namespace {

using Tri = std::array<double, 9>;

// Sub-triangles (k, k + 1, k + 2) of the face at pos, read straight from the connectivity.
std::vector<Tri> SubTriangles(const SMesh& mesh, int32_t pos) {
  std::vector<Tri> tris;
  for (int32_t k = 0; k + 2 < mesh.elem[static_cast<size_t>(pos)]; ++k) {
    Tri t;
    for (int v = 0; v < 3; ++v)
      std::copy_n(mesh.Node(mesh.elem[static_cast<size_t>(pos + 1 + k + v)]), 3, &t[3 * v]);
    tris.push_back(t);
  }
  return tris;
}

// Marches from start in steps of -step, one range search per step, until `check` says stop
// (true), a step lies wholly beyond a side of the bbox (-2), or maxSteps searches are done (-1).
double NaiveMarch(
    const SMesh& mesh, const double start[3], const double step[3], int64_t maxSteps,
    const std::function<bool(const double*, const double*, const AdtResult&)>& check) {
  double cur[3] = {start[0], start[1], start[2]};
  const double* b = mesh.bbox;
  AdtResult faces;
  for (int64_t steps = 0;; ++steps) {
    const double prev[3] = {cur[0], cur[1], cur[2]};
    for (int k = 0; k < 3; ++k)
      cur[k] = prev[k] - step[k];
    double low[6], high[6];
    for (int k = 0; k < 3; ++k) {
      if (std::min(prev[k], cur[k]) > b[k + 3] || std::max(prev[k], cur[k]) < b[k]) return -2;
      low[k] = b[k];
      high[k + 3] = b[k + 3];
      low[k + 3] = std::min(prev[k], cur[k]);
      high[k] = std::max(prev[k], cur[k]);
    }
    if (steps >= maxSteps) return -1;
    AdtSearch(*mesh.adt, low, high, faces);
    if (check(prev, cur, faces)) return 0;
  }
}

struct FirstHit {
  double value;
  FaceRef hit;
  friend bool operator==(const FirstHit&, const FirstHit&) = default;
};

FirstHit NaiveFirstHit(SMesh& mesh, int32_t excluded, const double p[3], const double d[3],
                       double h, int32_t maxSteps) {
  const double step[3] = {h * d[0], h * d[1], h * d[2]};
  double best = INFINITY;
  FaceRef found{-5, -5};
  const double end = NaiveMarch(
      mesh, p, step, maxSteps, [&](const double* prev, const double* cur, const AdtResult& nodes) {
        for (const AdtNode& node : nodes) {
          for (const Tri& t :
               node.facePos == excluded ? std::vector<Tri>{} : SubTriangles(mesh, node.facePos)) {
            double x[3] = {prev[0], prev[1], prev[2]};
            if (!SegmentTriangleIntersect(&t[0], &t[3], &t[6], prev, cur, x)) continue;
            const double d2 = (x[0] - p[0]) * (x[0] - p[0]) + (x[1] - p[1]) * (x[1] - p[1]) +
                              (x[2] - p[2]) * (x[2] - p[2]);
            if (d2 < best) {
              best = d2;
              found = {node.faceIndex, node.facePos};
            }
          }
        }
        return best < INFINITY;
      });
  return end == 0 ? FirstHit{std::sqrt(best), found} : FirstHit{end, {-5, -5}};
}

// The march from the source's incentre against its normal, in steps of its inradius, of the
// source's last sub-triangle; stopped after `steps` searches when given.
std::vector<FaceRef> NaiveCrossedFaces(SMesh& mesh, int32_t source, int64_t steps = 400000) {
  double centre[3] = {0, 0, 0}, n[3] = {0, 0, 0}, r = 0;
  for (const Tri& t : SubTriangles(mesh, source)) {
    std::copy_n(t.begin(), 3, centre);
    r = TriangleIncircle(t.data(), centre);
    for (int i = 0; i < 3; ++i) {
      const int j = (i + 1) % 3, k = (i + 2) % 3;
      n[i] = (t[3 + j] - t[j]) * (t[6 + k] - t[k]) - (t[3 + k] - t[k]) * (t[6 + j] - t[j]);
    }
    const double len = std::hypot(n[0], n[1], n[2]);
    for (double& c : n)
      c = len >= kDblMin ? c / len : c;
  }
  std::vector<FaceRef> list;
  const double step[3] = {n[0] * r, n[1] * r, n[2] * r};
  NaiveMarch(mesh, centre, step, steps,
             [&](const double* prev, const double* cur, const AdtResult& nodes) {
               for (const AdtNode& node : nodes) {
                 const FaceRef ref{node.faceIndex, node.facePos};
                 for (const Tri& t : node.facePos == source ? std::vector<Tri>{}
                                                            : SubTriangles(mesh, node.facePos)) {
                   double x[3];
                   if (SegmentTriangleIntersect(&t[0], &t[3], &t[6], prev, cur, x) &&
                       std::find(list.begin(), list.end(), ref) == list.end()) {
                     list.push_back(ref);
                   }
                 }
               }
               return false;
             });
  return list;
}

// A mesh with its ADT built, as the probes expect.
struct PreparedMesh : SMesh {
  explicit PreparedMesh(const TestMesh& m) : SMesh(m.nbNodes(), m.szelem(), m.coords, m.elem) {
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

TEST(RayFirstHit, MeetsTheWallOfACubeFromInsideAndReportsWhyItMissed) {
  PreparedMesh mesh(Cube());  // [0, 10000]^3 once normalised, bbox [-500, 10500]^3
  const double p[3] = {5000, 4000, 3000}, up[3] = {0, 0, -1}, s = 1 / std::sqrt(3.0);
  const double towardsOrigin[3] = {s, s, s}, minusX[3] = {1, 0, 0};
  FaceRef hit{-7, -7};
  EXPECT_DOUBLE_EQ(RayFirstHit(mesh, -1, p, up, 300, hit, false, 0), 7000);
  EXPECT_TRUE(FaceLiesOn(mesh, hit.facePos, 2, 10000));
  EXPECT_EQ(hit.facePos, 4 * hit.faceIndex);
  EXPECT_NEAR(RayFirstHit(mesh, -1, p, towardsOrigin, 450, hit, false, 0), 3000 * std::sqrt(3.0),
              1e-6);
  EXPECT_TRUE(FaceLiesOn(mesh, hit.facePos, 2, 0));
  // Short steps next to a large face meet it all the same.
  const double nearTop[3] = {2500, 2600, 9999.5};
  EXPECT_DOUBLE_EQ(RayFirstHit(mesh, -1, nearTop, up, 1e-3, hit, false, 0), 0.5);
  hit = {-7, -7};
  const double outside[3] = {-200, 5000, 5000}, beyond[3] = {-600, 5000, 5000},
               centre[3] = {5000, 5000, 5000};
  EXPECT_EQ(RayFirstHit(mesh, -1, outside, minusX, 100, hit, false, 0), kRayLeftBox);
  EXPECT_EQ(RayFirstHit(mesh, -1, beyond, minusX, 100, hit, true, 0), kRayLeftBox);
  EXPECT_EQ(RayFirstHit(mesh, -1, centre, minusX, 100, hit, true, 49), kRayOutOfSteps);
  EXPECT_EQ(hit.faceIndex, -7) << "no hit, nothing written";
  EXPECT_EQ(RayFirstHit(mesh, -1, centre, minusX, 100, hit, true, 50), 5000.0);
}

TEST(RayFirstHit, EndsStepsThatCannotProgressAndStillFindsTheWallItStartsOn) {
  PreparedMesh mesh(Cube());
  const double p[3] = {5000, 5000, 5000}, d[3] = {0, 0, 1}, zero[3] = {0, 0, 0};
  FaceRef hit{-7, -7};
  for (const double h : {0.0, 1e-300, std::nan(""), 1e-9})
    EXPECT_EQ(RayFirstHit(mesh, -1, p, d, h, hit, false, 0), kRayOutOfSteps) << h;
  EXPECT_EQ(RayFirstHit(mesh, -1, p, zero, 10, hit, true, 1000000), kRayOutOfSteps);
  EXPECT_EQ(hit.faceIndex, -7);
  const double onWall[3] = {5000, 5000, 10000};
  EXPECT_EQ(RayFirstHit(mesh, -1, onWall, d, 0.0, hit, false, 0), 0.0);
  EXPECT_TRUE(FaceLiesOn(mesh, hit.facePos, 2, 10000));
}

TEST(RayFirstHit, MatchesASearchPerStepOnRandomSoupsAndAlongWallsAndEdges) {
  std::mt19937 rng(31);
  std::uniform_real_distribution<double> unit(0, 1), coord(-400, 10400), logStep(-0.5, 3.3);
  int hits = 0, misses = 0;
  for (int soup = 0; soup < 4; ++soup) {
    PreparedMesh mesh(RandomTriangleSoup(100 + soup, 300, 1.0, 0.3));
    for (int ray = 0; ray < 60; ++ray) {
      const double p[3] = {coord(rng), coord(rng), coord(rng)};
      double d[3] = {unit(rng) - 0.5, unit(rng) - 0.5, unit(rng) - 0.5};
      if (ray % 5 == 0) d[ray % 3] = 0;  // axis-parallel rays now and then
      const double len = std::hypot(d[0], d[1], d[2]);
      for (double& c : d)
        c /= len;
      const double h = std::pow(10.0, logStep(rng));
      const int32_t maxSteps = ray % 3 == 0 ? static_cast<int32_t>(unit(rng) * 40) : INT32_MAX;
      const int32_t excluded = ray % 4 == 0 ? 4 * (ray % 300) : -1;
      FaceRef hit{-5, -5};
      const double value = RayFirstHit(mesh, excluded, p, d, h, hit, ray % 3 == 0, maxSteps);
      ASSERT_EQ((FirstHit{value, hit}), NaiveFirstHit(mesh, excluded, p, d, h, maxSteps))
          << "soup " << soup << " ray " << ray;
      (value >= 0 ? hits : misses)++;
    }
  }
  EXPECT_GT(hits, 30);
  EXPECT_GT(misses, 30);
  // Starts on walls, on edges between cells and at corners, stepping along the walls.
  PreparedMesh box(Box(1, 1, 1, 4));
  const double starts[][3] = {{-300, 5000, 0},     {-300, 2500, 0}, {5000, -300, 2500},
                              {2500, 2500, -300},  {-300, 0, 0},    {-300, 7500, 10000},
                              {10000, 10200, 5000}};
  const double dirs[][3] = {{-1, 0, 0}, {0, -1, 0}, {0, 0, -1}, {-1, -1, 0}, {1, 0, 0}};
  for (const auto& p : starts) {
    for (const auto& d : dirs) {
      for (double h : {7.0, 250.0, 2500.0, 0.3}) {
        FaceRef hit{-5, -5};
        const double value = RayFirstHit(box, -1, p, d, h, hit, false, 0);
        ASSERT_EQ((FirstHit{value, hit}), NaiveFirstHit(box, -1, p, d, h, INT32_MAX))
            << p[0] << " " << p[1] << " " << p[2] << " step " << h;
      }
    }
  }
}

TEST(RayFirstHit, MatchesASearchPerStepForShortAndGrazingStepsNextToFaces) {
  std::mt19937 rng(37);
  std::uniform_real_distribution<double> unit(0, 1), logStep(-3, 0.5);
  int hits = 0;
  for (int soup = 0; soup < 3; ++soup) {
    const TestMesh m = RandomTriangleSoup(200 + soup, 200, 1.0, 0.2);
    PreparedMesh mesh(m);
    for (int ray = 0; ray < 40; ++ray) {
      // A little off a face, near its centroid, heading back at it or nearly along its plane.
      const Tri t = SubTriangles(mesh, 4 * (ray % 200))[0];
      double c[3], e[3], n[3];
      for (int i = 0; i < 3; ++i) {
        const int j = (i + 1) % 3, k = (i + 2) % 3;
        c[i] = (t[i] + t[3 + i] + t[6 + i]) / 3;
        e[i] = t[3 + i] - t[i];
        n[i] = (t[3 + j] - t[j]) * (t[6 + k] - t[k]) - (t[3 + k] - t[k]) * (t[6 + j] - t[j]);
      }
      const double nl = std::hypot(n[0], n[1], n[2]), el = std::hypot(e[0], e[1], e[2]);
      const double offset = (unit(rng) - 0.5) * 10;
      const double tilt = ray % 2 == 0 ? 1.0 : 1e-4 * (unit(rng) - 0.5);
      double p[3], d[3];
      for (int k = 0; k < 3; ++k) {
        p[k] = c[k] + offset * n[k] / nl;
        d[k] = offset * tilt * n[k] / nl + e[k] / el * (ray % 2 == 0 ? 0.1 : 1.0);
      }
      const double h = std::pow(10.0, logStep(rng));
      FaceRef hit{-5, -5};
      const double value = RayFirstHit(mesh, -1, p, d, h, hit, true, 3000);
      ASSERT_EQ((FirstHit{value, hit}), NaiveFirstHit(mesh, -1, p, d, h, 3000))
          << "soup " << soup << " ray " << ray;
      hits += value >= 0;
    }
  }
  EXPECT_GT(hits, 20);
}

TEST(RayCrossedFaces, MatchesASearchPerStepThroughSoupsWallsAndSharedEdges) {
  std::vector<TestMesh> meshes = {
      RandomTriangleSoup(41, 250, 1.0, 0.15), Box(1, 2, 3, 4), Box(2, 1, 1, 3, true),
      Together(Box(1, 1, 1, 3), Box(0.5, 0.5, 0.5, 2, false, 0.25, 0.25, 0.25))};
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
  // Through the diagonal of a split square wall, both triangles are crossed.
  TestMesh square = InFrame({});
  square.coords.insert(square.coords.end(),
                       {0,     0,    10000, 10000, 0,    10000, 10000, 10000, 10000, 0, 10000,
                        10000, 1000, 1000,  0,     3000, 1000,  0,     1000,  3000,  0});
  square.elem = {3, 2, 3, 4, 3, 2, 4, 5, 3, 6, 8, 7};
  PreparedMesh wall(square);
  std::vector<FaceRef> crossed;
  RayCrossedFaces(wall, crossed, 8);
  EXPECT_EQ(crossed, (std::vector<FaceRef>{{0, 0}, {1, 4}}));
}

TEST(RayCrossedFaces, ListsNothingFromAFaceWithoutATriangleAndStopsWhereItCannotMove) {
  TestMesh m = Cube();
  const int32_t point = m.AddNode(0.5, 0.5, 1);  // on the diagonal of the top wall
  m.elem.insert(m.elem.end(), {2, 0, 1, 0, 1, 5, 3, point, point, point});
  PreparedMesh mesh(m);
  std::vector<FaceRef> crossed(4);
  for (const int32_t source : {48, 51, 52, 1000}) {  // two nodes, none, one, past the end
    RayCrossedFaces(mesh, crossed, source);
    EXPECT_TRUE(crossed.empty()) << source;
  }
  // A triangle of three coincident nodes: no radius, no normal, one step that finds both
  // triangles of the wall it lies on.
  RayCrossedFaces(mesh, crossed, 54);
  EXPECT_EQ(crossed, NaiveCrossedFaces(mesh, 54, 5));
  EXPECT_EQ(crossed.size(), 2u);
}

// One flat face in the plane z = 0 facing +z, and two unused nodes that centre the node box at
// (cx, cy, 0): the first probe runs up the bbox diagonal and meets the face from below.
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
  m.AddNode(cx > (lo[0] + hi[0]) / 2 ? 2 * cx - lo[0] : 2 * cx - hi[0],
            cy > (lo[1] + hi[1]) / 2 ? 2 * cy - lo[1] : 2 * cy - hi[1], 1);
  m.AddNode(cx, cy, -1);
  return m;
}

TEST(OrientSeedFace, TurnsAHullFaceMetFromBehindKeepingItsFirstNode) {
  const TestMesh cube = Cube();
  SMesh outward = MakeSMesh(cube), inward = MakeSMesh(Rewound(cube));
  const auto seed = OrientSeedFace(outward);
  ASSERT_TRUE(seed.has_value());
  EXPECT_EQ(seed->facePos, 4 * seed->faceIndex);
  EXPECT_EQ(outward.elem, cube.elem);
  EXPECT_EQ(OrientSeedFace(inward), seed) << "the probes meet the same face whatever its winding";
  std::vector<int32_t> expected = Rewound(cube).elem;
  std::swap(expected[static_cast<size_t>(seed->facePos) + 2],
            expected[static_cast<size_t>(seed->facePos) + 3]);
  EXPECT_EQ(inward.elem, expected);

  const struct {
    TestMesh mesh;
    std::vector<int32_t> turned;  // empty: left as it is
  } cases[] = {
      {FlatFace({{0, 0}, {1, 0}, {0, 1}}, 0.3, 0.3), {3, 0, 2, 1}},
      {FlatFace({{-2, -2}, {2, -2}, {2, 2}, {-2, 2}}, 0.6, -0.4), {4, 0, 3, 2, 1}},
      {Rewound(FlatFace({{-2, -2}, {2, -2}, {2, 2}, {-2, 2}}, 0.6, -0.4)), {}},
  };
  for (const auto& c : cases) {
    SMesh mesh = MakeSMesh(c.mesh);
    const auto flat = OrientSeedFace(mesh);
    ASSERT_TRUE(flat.has_value());
    EXPECT_EQ(flat->facePos, 0);
    EXPECT_EQ(mesh.elem, c.turned.empty() ? c.mesh.elem : c.turned);
  }
}

TEST(OrientSeedFace, ProbesPolygonsThroughTheirStripTrianglesAndCannotTurnAPentagon) {
  std::vector<std::array<double, 2>> corners;
  for (int i = 0; i < 5; ++i)
    corners.push_back(
        {2 * std::cos(M_PI * (1 + 2.0 * i / 5)), 2 * std::sin(M_PI * (1 + 2.0 * i / 5))});
  // Met at the centroid of its nodes 2, 3, 4, a strip triangle in either winding.
  const TestMesh pentagon = FlatFace(corners, 0.873, -0.634);
  SMesh up = MakeSMesh(pentagon), down = MakeSMesh(Rewound(pentagon));
  EXPECT_FALSE(OrientSeedFace(up).has_value());
  EXPECT_EQ(up.elem, pentagon.elem);
  EXPECT_TRUE(OrientSeedFace(down).has_value());
  // The probe passes beside the first corner of the near quadrilaterals, in the gap their strip
  // triangles (a, b, c) and (b, c, d) leave; it meets the far wall from inside, as it is.
  const TestMesh quads = Rewound(Box(1, 1, 1, 1, true));
  SMesh box = MakeSMesh(quads);
  const auto seed = OrientSeedFace(box);
  ASSERT_TRUE(seed.has_value());
  EXPECT_TRUE(FaceLiesOn(box, seed->facePos, 2, 10000));
  EXPECT_EQ(box.elem, quads.elem);
  SMesh noFaces = MakeSMesh({{0, 0, 0, 1, 1, 1}, {}});
  EXPECT_FALSE(OrientSeedFace(noFaces).has_value());
}

TEST(MeanEdgeLength, LeavesOutTheEnclosingBoxWhenOutsideIsSet) {
  const TestMesh part = Together(Cube(), Box(3, 3, 3, 1, false, -1, -1, -1));
  SMesh alone = MakeSMesh(Cube()), inside = MakeSMesh(part), outside = MakeSMesh(part, 0, 1);
  for (SMesh* mesh : {&alone, &inside, &outside})
    BuildEdgeHash(*mesh);
  EXPECT_NEAR(MeanEdgeLength(outside), MeanEdgeLength(alone) / alone.scale * outside.scale, 1e-9);
  EXPECT_GT(MeanEdgeLength(inside), MeanEdgeLength(outside) * 1.5);
}

TEST(RayProbes, MatchASearchPerStepOnLongMarchesThroughEmptySpace) {
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
    ASSERT_EQ((FirstHit{value, hit}),
              NaiveFirstHit(mesh, -1, p, d, h, limited ? maxSteps : INT32_MAX))
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

// Counting the faces that a face's crossing probe crosses, through the wall tree, against the
// list that marching the probe gives.
TEST(CrossedFaces, CountIsTheLengthOfTheMarchedListUpToTheLimit) {
  // Soups, whose probes graze and cross faces at random; boxes, whose probes run along walls
  // and next to shared edges; a hollow body, whose outer faces' probes cross three walls; tori,
  // whose probes cross curved walls at every angle, one of them small and far from the origin.
  TestMesh hollow = Box(10, 10, 10, 2);
  hollow.Append(Rewound(Box(6, 6, 6, 3, false, 2, 2, 2)));
  struct Case {
    TestMesh mesh;
    bool someCrossTwo;  // some probes cross two faces or more
  };
  const Case cases[] = {{RandomTriangleSoup(3, 300, 1.0, 0.2), false},
                        {RandomTriangleSoup(4, 200, 1.0, 0.05), false},
                        {Box(1, 2, 3, 4), false},
                        {BoxWithCavity(true), false},
                        {hollow, true},
                        {Torus(32, 16), false},
                        {Translated(Scaled(Torus(12, 8), 1e-3), 1e5, -3e4, 7), false}};
  for (size_t i = 0; i < std::size(cases); ++i) {
    SMesh mesh = MakeSMesh(cases[i].mesh);
    BuildAdtTree(mesh);
    ComputeBBox(mesh);
    WallSearch walls(*mesh.adt);
    WallTree& tree = walls.Walls(mesh);
    std::vector<FaceRef> crossed;
    int counted[4] = {0, 0, 0, 0};
    for (int32_t f = 0; f < mesh.nbFaces; ++f) {
      RayCrossedFaces(mesh, crossed, 4 * f);
      for (int32_t limit : {1, 2, 3, 1000}) {
        const int32_t want = std::min<int32_t>(limit, static_cast<int32_t>(crossed.size()));
        ASSERT_EQ(CountCrossedFaces(mesh, tree, 4 * f, limit), want)
            << "mesh " << i << " face " << f << " limit " << limit;
      }
      ++counted[std::min<size_t>(crossed.size(), 3)];
    }
    EXPECT_GT(counted[1], 0) << "mesh " << i;
    if (cases[i].someCrossTwo) EXPECT_GT(counted[2] + counted[3], 0) << "mesh " << i;
  }
}

}  // namespace
}  // namespace vexmor::test
