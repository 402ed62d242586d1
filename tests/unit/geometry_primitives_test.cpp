// The vector and triangle primitives: their tolerances, their degenerate answers and the
// geometric facts they must get right.
#include <gtest/gtest.h>

#include <cmath>

#include "geometry/closest_point.h"
#include "geometry/face_normal.h"
#include "geometry/normalize.h"
#include "geometry/segment_triangle.h"
#include "geometry/tolerances.h"
#include "geometry/triangle_incircle.h"

namespace vexmor {
namespace {

struct Triangle {
  double v[9];
  const double* a() const { return v; }
  const double* b() const { return v + 3; }
  const double* c() const { return v + 6; }
};

TEST(Normalize, RefusesOnlyVectorsBelowTheSmallestNormalDouble) {
  double tiny[3] = {1e-309, 0, 0};
  EXPECT_TRUE(Normalize(tiny));
  EXPECT_EQ(tiny[0], 1e-309);

  double small[3] = {0, 3e-150, 4e-150};  // squares still above the underflow
  EXPECT_FALSE(Normalize(small));
  EXPECT_NEAR(small[1], 0.6, 1e-15);
  EXPECT_NEAR(small[2], 0.8, 1e-15);

  double zero[3] = {0, 0, 0};
  EXPECT_TRUE(Normalize(zero));
  EXPECT_EQ(zero[0], 0.0);
}

TEST(Normalize, OrDefaultSubstitutesTheXAxisBelowSqrtEpsilon) {
  double tooShort[3] = {0, 1e-9, 0};
  EXPECT_TRUE(NormalizeOrDefault(tooShort));
  EXPECT_EQ(tooShort[0], 1.0);
  EXPECT_EQ(tooShort[1], 0.0);
  EXPECT_EQ(tooShort[2], 0.0);

  double longEnough[3] = {0, 1e-7, 0};
  EXPECT_FALSE(NormalizeOrDefault(longEnough));
  EXPECT_EQ(longEnough[0], 0.0);
  EXPECT_DOUBLE_EQ(longEnough[1], 1.0);
}

TEST(FaceNormal, FollowsTheRightHandRuleAndKeepsADegenerateProduct) {
  const Triangle t = {{0, 0, 5, 2, 0, 5, 0, 3, 5}};
  double n[3];
  Compute_FaceNormal(n, t.v);
  EXPECT_EQ(n[0], 0.0);
  EXPECT_EQ(n[1], 0.0);
  EXPECT_EQ(n[2], 1.0);

  const Triangle collinear = {{0, 0, 0, 1, 1, 1, 2, 2, 2}};
  Compute_FaceNormal(n, collinear.v);
  EXPECT_EQ(n[0], 0.0);
  EXPECT_EQ(n[1], 0.0);
  EXPECT_EQ(n[2], 0.0);
}

TEST(TriangleIncircle, RightTriangleThreeFourFive) {
  const Triangle t = {{0, 0, 0, 3, 0, 0, 0, 4, 0}};
  double centre[3] = {-7, -7, -7};
  EXPECT_EQ(TriangleIncircle(t.v, centre), 1.0);
  EXPECT_EQ(centre[0], 1.0);
  EXPECT_EQ(centre[1], 1.0);
  EXPECT_EQ(centre[2], 0.0);
}

TEST(TriangleIncircle, CoincidentPointsLeaveTheCentreUnwritten) {
  const Triangle t = {{2, 2, 2, 2, 2, 2, 2, 2, 2}};
  double centre[3] = {-7, -8, -9};
  EXPECT_EQ(TriangleIncircle(t.v, centre), 0.0);
  EXPECT_EQ(centre[0], -7);
  EXPECT_EQ(centre[1], -8);
  EXPECT_EQ(centre[2], -9);
}

TEST(TriangleIncircle, InvariantUnderTranslationAndScaledWithTheTriangle) {
  const Triangle t = {{1, 2, 3, 7, 2, 3, 1, 10, 3}};  // legs 6 and 8: inradius 2
  double centre[3];
  EXPECT_DOUBLE_EQ(TriangleIncircle(t.v, centre), 2.0);
  EXPECT_DOUBLE_EQ(centre[0], 3.0);
  EXPECT_DOUBLE_EQ(centre[1], 4.0);
  EXPECT_DOUBLE_EQ(centre[2], 3.0);
}

TEST(ClosestPoint, EachVoronoiRegionOfTheTriangle) {
  const Triangle t = {{0, 0, 0, 4, 0, 0, 0, 4, 0}};
  struct Case {
    const char* region;
    double p[3];
    double q[3];
    double d2;
  };
  const Case cases[] = {
      {"vertex A", {-1, -1, 0}, {0, 0, 0}, 2},       {"vertex B", {5, -1, 0}, {4, 0, 0}, 2},
      {"edge AB", {2, -3, 0}, {2, 0, 0}, 9},         {"vertex C", {-1, 5, 0}, {0, 4, 0}, 2},
      {"edge AC", {-3, 2, 1}, {0, 2, 0}, 10},        {"edge BC", {3, 3, 0}, {2, 2, 0}, 2},
      {"interior", {1, 1, 7}, {1, 1, 0}, 49},        {"below vertex B", {4, 0, -2}, {4, 0, 0}, 4},
      {"beyond BC, above", {4, 4, 1}, {2, 2, 0}, 9},
  };
  for (const Case& c : cases) {
    double q[3];
    EXPECT_DOUBLE_EQ(ClosestPointOnTriangle(c.p, t.v, q), c.d2) << c.region;
    EXPECT_DOUBLE_EQ(q[0], c.q[0]) << c.region;
    EXPECT_DOUBLE_EQ(q[1], c.q[1]) << c.region;
    EXPECT_DOUBLE_EQ(q[2], c.q[2]) << c.region;
  }
}

TEST(ClosestPoint, DegenerateTrianglesStayOnTheirHull) {
  const double p[3] = {1.5, 1, 0};
  double q[3];
  const Triangle collinear = {{0, 0, 0, 1, 0, 0, 2, 0, 0}};
  EXPECT_DOUBLE_EQ(ClosestPointOnTriangle(p, collinear.v, q), 1.0);
  EXPECT_DOUBLE_EQ(q[0], 1.5);

  const Triangle point = {{3, 3, 3, 3, 3, 3, 3, 3, 3}};
  const double far[3] = {3, 3, 8};
  EXPECT_EQ(ClosestPointOnTriangle(far, point.v, q), 25.0);
}

// Triangle in the plane z = 0 with its right angle at the origin.
const Triangle kFlat = {{0, 0, 0, 10, 0, 0, 0, 10, 0}};

TEST(SegmentTriangle, SegmentEndingOnThePlaneInsideHits) {
  const double p[3] = {2, 3, 5}, q[3] = {2, 3, 0};
  double x[3];
  EXPECT_TRUE(SegmentTriangleIntersect(kFlat.a(), kFlat.b(), kFlat.c(), p, q, x));
  EXPECT_EQ(x[0], 2.0);
  EXPECT_EQ(x[1], 3.0);
  EXPECT_EQ(x[2], 0.0);
}

TEST(SegmentTriangle, StoppingWithinSqrtEpsilonOfThePlaneStillHits) {
  const double p[3] = {2, 3, 5}, shortBy1e9[3] = {2, 3, 1e-9}, shortBy1e7[3] = {2, 3, 1e-7};
  double x[3];
  EXPECT_TRUE(SegmentTriangleIntersect(kFlat.a(), kFlat.b(), kFlat.c(), p, shortBy1e9, x));
  EXPECT_EQ(x[2], 0.0);
  EXPECT_FALSE(SegmentTriangleIntersect(kFlat.a(), kFlat.b(), kFlat.c(), p, shortBy1e7, x));
}

TEST(SegmentTriangle, MissesOutsideTheTriangleAndBeyondTheSegment) {
  double x[3];
  const double outsideP[3] = {8, 8, 1}, outsideQ[3] = {8, 8, -1};
  EXPECT_FALSE(SegmentTriangleIntersect(kFlat.a(), kFlat.b(), kFlat.c(), outsideP, outsideQ, x));
  const double aboveP[3] = {1, 1, 3}, aboveQ[3] = {1, 1, 1};
  EXPECT_FALSE(SegmentTriangleIntersect(kFlat.a(), kFlat.b(), kFlat.c(), aboveP, aboveQ, x));
  // The plane crossing is written even when the answer is no.
  EXPECT_EQ(x[0], 1.0);
  EXPECT_EQ(x[1], 1.0);
  EXPECT_EQ(x[2], 0.0);
}

TEST(SegmentTriangle, ParallelSegmentOffThePlaneMisses) {
  const double p[3] = {-1, 1, 0.5}, q[3] = {5, 1, 0.5};
  double x[3];
  EXPECT_FALSE(SegmentTriangleIntersect(kFlat.a(), kFlat.b(), kFlat.c(), p, q, x));
}

TEST(SegmentTriangle, CoplanarSegmentCountsOnlyWhenItCrossesAnEdge) {
  double x[3] = {-9, -9, -9};
  const double acrossP[3] = {2, -1, 0}, acrossQ[3] = {2, 1, 0};
  EXPECT_TRUE(SegmentTriangleIntersect(kFlat.a(), kFlat.b(), kFlat.c(), acrossP, acrossQ, x));
  EXPECT_EQ(x[0], 2.0);
  EXPECT_EQ(x[1], 0.0);
  EXPECT_EQ(x[2], 0.0);

  const double insideP[3] = {1, 1, 0}, insideQ[3] = {2, 2, 0};
  EXPECT_FALSE(SegmentTriangleIntersect(kFlat.a(), kFlat.b(), kFlat.c(), insideP, insideQ, x));
}

TEST(SegmentTriangle, CrossingOfAnAxisAlignedTriangleTakesItsCoordinateExactly) {
  // An oblique segment through a triangle in the plane z = 0.1: the computed crossing would
  // carry rounding in z, the snap removes it.
  const Triangle t = {{0, 0, 0.1, 10, 0, 0.1, 0, 10, 0.1}};
  const double p[3] = {0.3, 0.7, 1.3}, q[3] = {2.9, 0.13, -3.7};
  double x[3];
  ASSERT_TRUE(SegmentTriangleIntersect(t.a(), t.b(), t.c(), p, q, x));
  EXPECT_EQ(x[2], 0.1);

  const Triangle wall = {{0.7, 0, 0, 0.7, 10, 0, 0.7, 0, 10}};  // plane x = 0.7
  const double r[3] = {0.1, 0.3, 0.9}, s[3] = {3.3, 1.9, 0.2};
  ASSERT_TRUE(SegmentTriangleIntersect(wall.a(), wall.b(), wall.c(), r, s, x));
  EXPECT_EQ(x[0], 0.7);
}

TEST(PointInTriangle, RelativeAreaToleranceOfOneMillionth) {
  const Triangle t = {{0, 0, 0, 100, 0, 0, 0, 100, 0}};
  const double vertex[3] = {100, 0, 0};
  const double justOutside[3] = {50, -1e-5, 0};
  const double outside[3] = {50, -1e-3, 0};
  EXPECT_TRUE(PointInTriangle(t.a(), t.b(), t.c(), vertex));
  EXPECT_TRUE(PointInTriangle(t.a(), t.b(), t.c(), justOutside));
  EXPECT_FALSE(PointInTriangle(t.a(), t.b(), t.c(), outside));
}

TEST(PointInTriangle, DegenerateTriangleAtItsOwnPointIsOutside) {
  const double a[3] = {1, 1, 1};
  EXPECT_FALSE(PointInTriangle(a, a, a, a));
}

TEST(PointOnTrianglePlane, ComparesTheSquaredDistanceWithTheTolerance) {
  const double above1e4[3] = {1, 1, 1e-4};  // squared distance 1e-8 <= 1.49e-8
  const double above2e4[3] = {1, 1, 2e-4};  // 4e-8 > 1.49e-8
  EXPECT_TRUE(PointOnTrianglePlane(kFlat.a(), kFlat.b(), kFlat.c(), above1e4, kSqrtEps));
  EXPECT_FALSE(PointOnTrianglePlane(kFlat.a(), kFlat.b(), kFlat.c(), above2e4, kSqrtEps));
  // Far outside the triangle but on its plane.
  const double farOnPlane[3] = {500, -300, 0};
  EXPECT_TRUE(PointOnTrianglePlane(kFlat.a(), kFlat.b(), kFlat.c(), farOnPlane, kSqrtEps));
}

TEST(PointOnTrianglePlane, DegenerateTrianglesUseALineOrTheirVertex) {
  const double a[3] = {0, 0, 0}, b[3] = {0, 0, 0}, c[3] = {10, 0, 0};
  const double onLine[3] = {20, 0, 0}, offLine[3] = {5, 1, 0};
  EXPECT_TRUE(PointOnTrianglePlane(a, b, c, onLine, kSqrtEps));
  EXPECT_FALSE(PointOnTrianglePlane(a, b, c, offLine, kSqrtEps));
  const double nearA[3] = {1e-5, 0, 0}, farFromA[3] = {1, 0, 0};
  EXPECT_TRUE(PointOnTrianglePlane(a, a, a, nearA, kSqrtEps));
  EXPECT_FALSE(PointOnTrianglePlane(a, a, a, farFromA, kSqrtEps));
}

TEST(SegmentSegment, CrossingAndCollinearOverlap) {
  const double e0[3] = {0, 0, 0}, e1[3] = {10, 0, 0};
  double x[3] = {-9, -9, -9};
  const double p[3] = {4, -2, 0}, q[3] = {4, 2, 0};
  EXPECT_TRUE(SegmentSegmentIntersect(e0, e1, p, q, x));
  EXPECT_EQ(x[0], 4.0);
  EXPECT_EQ(x[1], 0.0);

  double untouched[3] = {-9, -9, -9};
  const double r[3] = {8, 0, 0}, s[3] = {15, 0, 0};
  EXPECT_TRUE(SegmentSegmentIntersect(e0, e1, r, s, untouched));
  EXPECT_EQ(untouched[0], -9);

  const double beyondR[3] = {11, 0, 0}, beyondS[3] = {15, 0, 0};
  EXPECT_FALSE(SegmentSegmentIntersect(e0, e1, beyondR, beyondS, x));
  const double parallelR[3] = {0, 1, 0}, parallelS[3] = {10, 1, 0};
  EXPECT_FALSE(SegmentSegmentIntersect(e0, e1, parallelR, parallelS, x));
  const double shortP[3] = {4, 3, 0}, shortQ[3] = {4, 1, 0};  // stops before the edge
  EXPECT_FALSE(SegmentSegmentIntersect(e0, e1, shortP, shortQ, x));
}

TEST(ProjectPointOnLine, FootAndParameterOrNothingForAShortLine) {
  const double a[3] = {0, 0, 0}, b[3] = {0, 4, 0}, p[3] = {3, 6, 1};
  double f[3] = {-9, -9, -9};
  EXPECT_DOUBLE_EQ(ProjectPointOnLine(a, b, p, f), 1.5);
  EXPECT_EQ(f[0], 0.0);
  EXPECT_EQ(f[1], 6.0);
  EXPECT_EQ(f[2], 0.0);

  const double c[3] = {1e-5, 0, 0};  // squared length 1e-10 < sqrt(eps)
  double g[3] = {-9, -9, -9};
  EXPECT_EQ(ProjectPointOnLine(a, c, p, g), 0.0);
  EXPECT_EQ(g[0], -9);
}

}  // namespace
}  // namespace vexmor
