// Ray probes: the first face hit and every face crossed. The marches skip empty space and
// filter one search among many steps; they are held to a march that makes one range search per
// step, as the probes are designed.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>

#include "geometry/adt.h"
#include "geometry/adt_search.h"
#include "geometry/bbox.h"
#include "geometry/ray_march.h"
#include "geometry/ray_probe.h"
#include "geometry/segment_triangle.h"
#include "geometry/triangle_incircle.h"
#include "support/adt_reference.h"
#include "support/smesh.h"
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

TEST(RayMarch, ClearsABoxOfAZeroAreaTriangleOnlyWhereNoStepInItCanMeetTheTriangle) {
  std::mt19937 rng(61);
  std::uniform_int_distribution<int> grid(-8, 8);
  std::uniform_real_distribution<double> unit(0, 1);
  int clear = 0, met = 0;
  for (int round = 0; round < 3000; ++round) {
    // Nodes on a line or at one point, so that the normal comes out exactly zero.
    const double a[3] = {grid(rng) * 0.5, grid(rng) * 0.5, grid(rng) * 0.5};
    const double u[3] = {grid(rng) * 0.25, grid(rng) * 0.25, grid(rng) * 0.25};
    const double f[3] = {0.0, grid(rng) % 3 * 1.0, round % 4 == 0 ? 0.0 : grid(rng) % 5};
    Tri tri;
    for (int i = 0; i < 9; ++i)
      tri[i] = a[i % 3] + f[i / 3] * u[i % 3];
    // A box around a point near the line, from touching it to well clear of it.
    const double along = unit(rng) * 4 - 2, off = std::pow(10.0, -5 + 5 * unit(rng));
    double lo[3], hi[3];
    for (int k = 0; k < 3; ++k) {
      const double centre = a[k] + along * u[k] + off * (unit(rng) - 0.5);
      const double half = std::pow(10.0, -4 + 4 * unit(rng));
      lo[k] = centre - half;
      hi[k] = centre + half;
    }
    const double stepLength = 0.1;
    const bool isClear = PlaneClearOfBox(tri.data(), lo, hi, stepLength);
    clear += isClear;
    for (int segment = 0; segment < 40; ++segment) {
      // The first starts as near the line as the box allows.
      double p[3], q[3], x[3];
      for (int k = 0; k < 3; ++k) {
        p[k] = segment == 0 ? std::clamp(a[k] + along * u[k], lo[k], hi[k])
                            : lo[k] + (hi[k] - lo[k]) * unit(rng);
        q[k] = std::clamp(p[k] + stepLength * (unit(rng) - 0.5), lo[k], hi[k]);
      }
      const bool meets = SegmentTriangleIntersect(&tri[0], &tri[3], &tri[6], p, q, x);
      ASSERT_FALSE(isClear && meets) << "round " << round << " segment " << segment;
      met += meets;
    }
  }
  EXPECT_GT(clear, 500);
  EXPECT_GT(met, 50);
}

}  // namespace
}  // namespace vexmor::test
