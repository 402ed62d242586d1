// The vector and triangle primitives: their tolerances, their degenerate answers and the
// geometric facts they must get right.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "geometry/closest_point.h"
#include "geometry/face_frame.h"
#include "geometry/face_normal.h"
#include "geometry/normalize.h"
#include "geometry/ray_box.h"
#include "geometry/segment_triangle.h"
#include "geometry/triangle_incircle.h"
#include "geometry/vec3.h"
#include "support/smesh.h"

namespace vexmor::test {
namespace {

using V3 = std::array<double, 3>;
using Tri = std::array<double, 9>;

void ExpectPoint(const double* got, V3 want, const char* what) {
  for (int k = 0; k < 3; ++k)
    EXPECT_DOUBLE_EQ(got[k], want[k]) << what << " axis " << k;
}

TEST(Triangles, NormalFollowsTheRightHandRuleAndIncircleIsKnownForRightTriangles) {
  double n[3];
  Compute_FaceNormal(n, Tri{0, 0, 5, 2, 0, 5, 0, 3, 5}.data());
  ExpectPoint(n, {0, 0, 1}, "normal");
  Compute_FaceNormal(n, Tri{0, 0, 0, 1, 1, 1, 2, 2, 2}.data());  // collinear: kept as is
  ExpectPoint(n, {0, 0, 0}, "collinear normal");
  double centre[3] = {-7, -8, -9};
  EXPECT_EQ(TriangleIncircle(Tri{0, 0, 0, 3, 0, 0, 0, 4, 0}.data(), centre), 1.0);
  ExpectPoint(centre, {1, 1, 0}, "3-4-5 incentre");
  EXPECT_DOUBLE_EQ(TriangleIncircle(Tri{1, 2, 3, 7, 2, 3, 1, 10, 3}.data(), centre), 2.0);
  ExpectPoint(centre, {3, 4, 3}, "6-8-10 incentre");
  centre[0] = -7;
  EXPECT_EQ(TriangleIncircle(Tri{2, 2, 2, 2, 2, 2, 2, 2, 2}.data(), centre), 0.0);
  EXPECT_EQ(centre[0], -7) << "coincident nodes leave the centre unwritten";
  // Normalising: a vector below the smallest normal length has no direction and stays as it is.
  double v[3] = {3, 0, 4}, tiny[3] = {1e-310, 0, 0};
  EXPECT_FALSE(Normalize(v));
  ExpectPoint(v, {0.6, 0, 0.8}, "unit vector");
  EXPECT_TRUE(Normalize(tiny));
  ExpectPoint(tiny, {1e-310, 0, 0}, "tiny vector");
}

TEST(ClosestPoint, LiesInEachVoronoiRegionOfTheTriangleAndOnTheHullOfDegenerateOnes) {
  const struct {
    const char* region;
    Tri t;
    V3 p, q;
    double d2;
  } cases[] = {
      {"vertex A", {0, 0, 0, 4, 0, 0, 0, 4, 0}, {-1, -1, 0}, {0, 0, 0}, 2},
      {"vertex B", {0, 0, 0, 4, 0, 0, 0, 4, 0}, {5, -1, 0}, {4, 0, 0}, 2},
      {"vertex C", {0, 0, 0, 4, 0, 0, 0, 4, 0}, {-1, 5, 0}, {0, 4, 0}, 2},
      {"edge AB", {0, 0, 0, 4, 0, 0, 0, 4, 0}, {2, -3, 0}, {2, 0, 0}, 9},
      {"edge AC", {0, 0, 0, 4, 0, 0, 0, 4, 0}, {-3, 2, 1}, {0, 2, 0}, 10},
      {"edge BC", {0, 0, 0, 4, 0, 0, 0, 4, 0}, {3, 3, 0}, {2, 2, 0}, 2},
      {"interior", {0, 0, 0, 4, 0, 0, 0, 4, 0}, {1, 1, 7}, {1, 1, 0}, 49},
      {"beyond BC, above", {0, 0, 0, 4, 0, 0, 0, 4, 0}, {4, 4, 1}, {2, 2, 0}, 9},
      {"collinear", {0, 0, 0, 1, 0, 0, 2, 0, 0}, {1.5, 1, 0}, {1.5, 0, 0}, 1},
      {"one point", {3, 3, 3, 3, 3, 3, 3, 3, 3}, {3, 3, 8}, {3, 3, 3}, 25},
      {"two corners one", {1, 1, 1, 1, 1, 1, 5, 1, 1}, {3, 4, 1}, {3, 1, 1}, 9},
  };
  for (const auto& c : cases) {
    double q[3];
    EXPECT_DOUBLE_EQ(ClosestPointOnTriangle(c.p.data(), c.t.data(), q), c.d2) << c.region;
    ExpectPoint(q, c.q, c.region);
  }
}

TEST(ClosestPoint, IsTheNearestOfTheProjectionInsideAndTheThreeSidesForRandomPoints) {
  // The literal answer: the foot of the perpendicular on the plane when it falls inside, else
  // the nearest of the sides' closest points.
  auto onSide = [](const Vec3& p, const Vec3& a, const Vec3& b) {
    const double t = std::clamp(Dot(p - a, b - a) / Dot(b - a, b - a), 0.0, 1.0);
    return SquaredLength(p - (a + (b - a) * t));
  };
  std::mt19937 random(41);
  std::uniform_real_distribution<double> coordinate(-2.0, 2.0);
  for (int trial = 0; trial < 4000; ++trial) {
    double tri[9], p[3];
    for (double& v : tri)
      v = coordinate(random);
    for (double& v : p)
      v = 1.5 * coordinate(random);
    const Vec3 A = Vec3::Load(tri), B = Vec3::Load(tri + 3), C = Vec3::Load(tri + 6),
               P = Vec3::Load(p);
    const Vec3 n = Cross(B - A, C - A);
    if (SquaredLength(n) < 1e-3) continue;  // slivers test the rounding, not the regions
    double want = std::min({onSide(P, A, B), onSide(P, B, C), onSide(P, C, A)});
    const Vec3 foot = P - n * (Dot(n, P - A) / SquaredLength(n));
    if (Dot(n, Cross(B - A, foot - A)) >= 0 && Dot(n, Cross(C - B, foot - B)) >= 0 &&
        Dot(n, Cross(A - C, foot - C)) >= 0) {
      want = std::min(want, SquaredLength(P - foot));
    }
    double q[3];
    const double got = ClosestPointOnTriangle(p, tri, q);
    ASSERT_NEAR(got, want, 1e-9 * (1 + want)) << "trial " << trial;
    EXPECT_EQ(got, SquaredLength(P - Vec3::Load(q))) << "trial " << trial;
  }
}

// Triangle in the plane z = 0 with its right angle at the origin.
constexpr Tri kFlat = {0, 0, 0, 10, 0, 0, 0, 10, 0};

TEST(SegmentTriangle, HitsWithinSqrtEpsilonAndSnapsToAnAxisAlignedPlane) {
  const struct {
    const char* what;
    Tri t;
    V3 p, q;
    bool hit;
    V3 x;  // checked on a hit, and on a miss when finite: the plane crossing is written anyway
  } cases[] = {
      {"ending on the plane", kFlat, {2, 3, 5}, {2, 3, 0}, true, {2, 3, 0}},
      {"1e-9 short of it", kFlat, {2, 3, 5}, {2, 3, 1e-9}, true, {2, 3, 0}},
      {"1e-7 short of it", kFlat, {2, 3, 5}, {2, 3, 1e-7}, false, {NAN, 0, 0}},
      {"outside the triangle", kFlat, {8, 8, 1}, {8, 8, -1}, false, {NAN, 0, 0}},
      {"stopping above it", kFlat, {1, 1, 3}, {1, 1, 1}, false, {1, 1, 0}},
      {"parallel above it", kFlat, {-1, 1, 0.5}, {5, 1, 0.5}, false, {NAN, 0, 0}},
      {"coplanar across an edge", kFlat, {2, -1, 0}, {2, 1, 0}, true, {2, 0, 0}},
      {"coplanar inside", kFlat, {1, 1, 0}, {2, 2, 0}, false, {NAN, 0, 0}},
      {"oblique through z = 0.1",
       {0, 0, 0.1, 10, 0, 0.1, 0, 10, 0.1},
       {0.3, 0.7, 1.3},
       {2.9, 0.13, -3.7},
       true,
       {NAN, NAN, 0.1}},
      {"oblique through x = 0.7",
       {0.7, 0, 0, 0.7, 10, 0, 0.7, 0, 10},
       {0.1, 0.3, 0.9},
       {3.3, 1.9, 0.2},
       true,
       {0.7, NAN, NAN}},
  };
  for (const auto& c : cases) {
    double x[3] = {-9, -9, -9};
    const double *t = c.t.data(), *p = c.p.data(), *q = c.q.data();
    EXPECT_EQ(SegmentTriangleIntersect(t, t + 3, t + 6, p, q, x), c.hit) << c.what;
    for (int k = 0; k < 3; ++k) {
      if (!std::isnan(c.x[k]) && (c.hit || !std::isnan(c.x[0]))) {
        EXPECT_EQ(x[k], c.x[k]) << c.what << " axis " << k;
      }
    }
  }
}

TEST(SegmentTriangle, ItsPartsHandleThinTrianglesAndCollinearSegments) {
  const Tri t = {0, 0, 0, 100, 0, 0, 0, 100, 0};
  const double* a = t.data();
  EXPECT_FALSE(PointInTriangle(a, a, a, a)) << "a degenerate triangle at its own point";
  // The plane test of a triangle too thin for a plane: its line, or its single point.
  const double o[3] = {0, 0, 0}, c[3] = {10, 0, 0}, onLine[3] = {20, 0, 0}, off[3] = {5, 1, 0};
  const double nearO[3] = {1e-5, 0, 0}, farO[3] = {1, 0, 0};
  EXPECT_TRUE(PointOnTrianglePlane(o, o, c, onLine, kSqrtEps));
  EXPECT_FALSE(PointOnTrianglePlane(o, o, c, off, kSqrtEps));
  EXPECT_TRUE(PointOnTrianglePlane(o, o, o, nearO, kSqrtEps));
  EXPECT_FALSE(PointOnTrianglePlane(o, o, o, farO, kSqrtEps));
  // A triangle with a plane, away from the origin: z = 1.
  const double a1[3] = {1, 1, 1}, b1[3] = {3, 1, 1}, c1[3] = {1, 4, 1};
  const double inPlane[3] = {7, -2, 1}, abovePlane[3] = {7, -2, 1.01};
  EXPECT_TRUE(PointOnTrianglePlane(a1, b1, c1, inPlane, kSqrtEps));
  EXPECT_FALSE(PointOnTrianglePlane(a1, b1, c1, abovePlane, kSqrtEps));

  // Segments: a crossing is written, a collinear overlap only reported.
  const double e0[3] = {0, 0, 0}, e1[3] = {10, 0, 0};
  double x[3] = {-9, -9, -9};
  const V3 crossing[2] = {{4, -2, 0}, {4, 2, 0}};
  EXPECT_TRUE(SegmentSegmentIntersect(e0, e1, crossing[0].data(), crossing[1].data(), x));
  ExpectPoint(x, {4, 0, 0}, "crossing");
  x[0] = -9;
  const V3 overlap[2] = {{8, 0, 0}, {15, 0, 0}};
  EXPECT_TRUE(SegmentSegmentIntersect(e0, e1, overlap[0].data(), overlap[1].data(), x));
  EXPECT_EQ(x[0], -9);
  const V3 misses[][2] = {
      {{11, 0, 0}, {15, 0, 0}}, {{0, 1, 0}, {10, 1, 0}}, {{4, 3, 0}, {4, 1, 0}}};
  for (const auto& s : misses)
    EXPECT_FALSE(SegmentSegmentIntersect(e0, e1, s[0].data(), s[1].data(), x)) << s[0][0];

  // The foot on a line, or nothing for a line shorter than eps (squared).
  const double b[3] = {0, 4, 0}, p[3] = {3, 6, 1}, tiny[3] = {1e-5, 0, 0};
  EXPECT_DOUBLE_EQ(ProjectPointOnLine(o, b, p, x), 1.5);
  ExpectPoint(x, {0, 6, 0}, "foot");
  EXPECT_EQ(ProjectPointOnLine(o, tiny, p, x), 0.0);
  EXPECT_EQ(x[1], 6.0);
}

TEST(SegmentBoxEntries, OfFourGivesEachBoxTheEntryOfItsOwnBitForBit) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> coordinate(-2, 2);
  std::uniform_int_distribution<int> pick(0, 5);
  // Directions along and across axes, with tiny and zero components; boxes that hold the
  // origin, lie behind it or beside it, are flat, or are the empty slot +inf .. +inf.
  auto component = [&] {
    switch (pick(rng)) {
      case 0:
        return 0.0;
      case 1:  // a reciprocal of infinity, and no number where a box side meets the origin
        return (coordinate(rng) < 0 ? -1 : 1) * std::numeric_limits<double>::denorm_min();
      case 2:
        return 1e-300 * coordinate(rng);
      default:
        return coordinate(rng);
    }
  };
  int entered = 0;
  for (int round = 0; round < 20000; ++round) {
    double origin[3];
    for (double& o : origin)
      o = pick(rng) == 0 ? 0.5 : coordinate(rng);
    const double step[3] = {component(), component(), component()};
    const SegmentBoxEntries entries(origin, step, pick(rng) == 0 ? 0.0 : 3.0 * pick(rng));
    float low[3][4], high[3][4];
    for (int c = 0; c < 4; ++c) {
      for (int k = 0; k < 3; ++k) {
        float a = static_cast<float>(coordinate(rng)), b = static_cast<float>(coordinate(rng));
        if (pick(rng) == 0) b = a;
        if (pick(rng) == 0) a = b = 0.5f;
        low[k][c] = std::min(a, b);
        high[k][c] = std::max(a, b);
        if (c == 3 && round % 3 == 0) low[k][c] = high[k][c] = INFINITY;
      }
    }
    double four[4];
    entries.OfFour(low, high, four);
    for (int c = 0; c < 4; ++c) {
      const float box[6] = {low[0][c], low[1][c], low[2][c], high[0][c], high[1][c], high[2][c]};
      const double one = entries(box);
      ASSERT_EQ(std::memcmp(&four[c], &one, sizeof one), 0)
          << "round " << round << " box " << c << ": " << four[c] << " against " << one;
      if (c == 3 && round % 3 == 0) {
        ASSERT_EQ(one, INFINITY) << "an empty slot is entered";
      }
      entered += one < INFINITY;
    }
  }
  EXPECT_GT(entered, 1000);
}

}  // namespace
}  // namespace vexmor::test
