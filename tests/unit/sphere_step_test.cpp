// One rolling-sphere step and its refinement, on walls whose answers are known by hand, and the
// nearest-first search they rely on.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <set>
#include <vector>

#include "geometry/adt.h"
#include "geometry/adt_search.h"
#include "mesh/smesh.h"
#include "support/mesh_fixtures.h"
#include "support/thickness_fixtures.h"
#include "thickness/sphere_step.h"
#include "thickness/wall_search.h"

namespace vexmor::test {
namespace {

constexpr double kUp[3] = {0.0, 0.0, 1.0};

// A mesh whose normalised frame is its own coordinates (extent 10000 from the origin), with
// its ADT and the search over it.
struct Scene {
  explicit Scene(const TestMesh& m) : mesh(m.nbNodes(), m.szelem(), m.coords, m.elem) {
    EXPECT_EQ(mesh.scale, 1.0);
    BuildAdtTree(mesh);
    walls = std::make_unique<WallSearch>(*mesh.adt);
  }
  SMesh mesh;
  std::unique_ptr<WallSearch> walls;
};

// Two walls of 10000 x 10000 at z = 0 (facing down) and z = height (facing up), face 0 the
// upper one. Points with x + y < 10000 lie over both.
TestMesh TwoWalls(double height) {
  TestMesh m;
  m.AddNode(0, 0, height);
  m.AddNode(10000, 0, height);
  m.AddNode(0, 10000, height);
  m.AddNode(0, 0, 0);
  m.AddNode(0, 10000, 0);
  m.AddNode(10000, 0, 0);
  m.AddTriangle(0, 1, 2);
  m.AddTriangle(3, 4, 5);
  return m;
}

// A triangle around x, tilted from facing up by `degrees` about the y axis; x lies inside it.
void AddTiltedTriangle(TestMesh& m, const double x[3], double degrees, double half) {
  const double a = degrees * M_PI / 180;
  const double e1[3] = {std::cos(a), 0, -std::sin(a)}, e2[3] = {0, 1, 0};
  auto at = [&](double s, double t) {
    return m.AddNode(x[0] + s * e1[0] + t * e2[0], x[1] + s * e1[1] + t * e2[1],
                     x[2] + s * e1[2] + t * e2[2]);
  };
  const int32_t p = at(-half, -half), q = at(half, -half), r = at(0, half);
  m.AddTriangle(p, q, r);
}

struct Step {
  bool ok;
  double rmini;
  int32_t fmin;
  double ptmin[3];
};

Step RunStep(Scene& s, double R, const double P[3], int32_t f = 0) {
  Step step{false, s.mesh.halfDiag, 77, {-1, -1, -1}};
  step.ok = FaceThickness(s.mesh, *s.walls, f, R, kUp, P, step.ptmin, step.rmini, step.fmin);
  return step;
}

TEST(FaceThickness, ProposesHalfTheWallDistanceFromBelowIt) {
  // The plate of thickness 10: from R = 7 the centre lies 7.00007 below P and the lower wall
  // 2.99993 below the centre, deeper than the centre, so the proposal is their mean: 5.
  Scene s(Box(10000, 10000, 10));
  const double P[3] = {6000, 3000, 10};
  const Step step = RunStep(s, 7.0, P, -1);
  ASSERT_TRUE(step.ok);
  EXPECT_NEAR(step.rmini, 5.0, 1e-9);
  EXPECT_NEAR(step.ptmin[0], 6000, 1e-9);
  EXPECT_NEAR(step.ptmin[1], 3000, 1e-9);
  EXPECT_EQ(step.ptmin[2], 0.0);
  ASSERT_GE(step.fmin, 0);
  // The wall found is one of the plate's lower faces.
  const std::vector<FaceGeometry> faces = FacesOf(Box(10000, 10000, 10));
  EXPECT_NEAR(faces[static_cast<size_t>(step.fmin)].normal[2], -1.0, 1e-12);
}

TEST(FaceThickness, InvertsASphereThatReachesThroughTheWallBelow) {
  // From R = 12 the centre lies 2.00012 beyond the lower wall: the first pass proposes 2.00012,
  // the wall straight below is nearer than the sphere's radius, so the sphere is inverted; the
  // second pass, at depth 5, finds nothing nearer than 5.
  Scene s(Box(10000, 10000, 10));
  const double P[3] = {6000, 3000, 10};
  const Step step = RunStep(s, 12.0, P, -1);
  ASSERT_TRUE(step.ok);
  EXPECT_NEAR(step.rmini, 2.00012, 1e-9);
  EXPECT_EQ(step.fmin, -1);
}

TEST(FaceThickness, IgnoresWallsFacingTheSameWayWithinThirtyDegrees) {
  // Between the walls 10 apart, from R = 7 the lower wall gives 5. A small triangle halfway
  // down facing up, or tilted up to 29 degrees from that, is never a candidate.
  const double P[3] = {3000, 3000, 10};
  const double mid[3] = {3000, 3000, 5};
  for (double tilt : {0.0, 20.0, 29.0}) {
    TestMesh m = TwoWalls(10);
    AddTiltedTriangle(m, mid, tilt, 4.0);
    Scene s(m);
    const Step step = RunStep(s, 7.0, P);
    ASSERT_TRUE(step.ok) << "tilt " << tilt;
    EXPECT_NEAR(step.rmini, 5.0, 1e-9) << "tilt " << tilt;
    EXPECT_EQ(step.fmin, 1) << "tilt " << tilt;
  }
  // Tilted by 40 degrees it is a wall: placed 1.5 from the sphere's centre, deeper than it, it
  // gives the mean of 1.5 and the sphere's radius.
  const double a = 40 * M_PI / 180, sr = kRadiusInflation * 7.0;
  const double normal[3] = {std::sin(a), 0, std::cos(a)};
  double foot[3] = {P[0], P[1], P[2] - sr};
  for (int k = 0; k < 3; ++k)
    foot[k] -= 1.5 * normal[k];
  TestMesh m = TwoWalls(10);
  AddTiltedTriangle(m, foot, 40.0, 1.2);
  Scene s(m);
  const Step step = RunStep(s, 7.0, P);
  ASSERT_TRUE(step.ok);
  EXPECT_EQ(step.fmin, 2);
  EXPECT_NEAR(step.rmini, (1.5 + sr) / 2, 1e-9);
  for (int k = 0; k < 3; ++k)
    EXPECT_NEAR(step.ptmin[k], foot[k], 1e-9);
}

TEST(FaceThickness, AcceptsWallsWithinTheDistanceToleranceOnly) {
  // With R = 10 the centre lies sr = 10.0001 below P; the lower wall 10.000005 below the centre
  // still counts, 10.00002 below it does not.
  const double R = 10.0, sr = kRadiusInflation * R;
  {
    Scene s(TwoWalls(sr + 10.000005));
    const double P[3] = {3000, 3000, sr + 10.000005};
    const Step step = RunStep(s, R, P);
    ASSERT_TRUE(step.ok);
    EXPECT_EQ(step.fmin, 1);
    EXPECT_NEAR(step.rmini, (10.000005 + sr) / 2, 1e-9);
  }
  {
    Scene s(TwoWalls(sr + 10.00002));
    const double P[3] = {3000, 3000, sr + 10.00002};
    const Step step = RunStep(s, R, P);
    EXPECT_FALSE(step.ok);
    // A failed step leaves what it was given.
    EXPECT_EQ(step.rmini, s.mesh.halfDiag);
    EXPECT_EQ(step.fmin, 77);
    EXPECT_EQ(step.ptmin[0], -1);
  }
}

double Refine(Scene& s, double R, const double P[3], int32_t& fmin, RefineState& state) {
  double ptmin[3] = {0, 0, 0};
  fmin = -1;
  return SphereRefine(s.mesh, *s.walls, 0, R, kUp, P, ptmin, fmin, state);
}

TEST(SphereRefine, SettlesAtHalfThePlateAndStopsOnSmallImprovements) {
  {
    // From 7 to 5, then 5 again: half the plate.
    Scene s(Box(10000, 10000, 10));
    const double P[3] = {6000, 3000, 10};
    RefineState state;
    int32_t fmin = -1;
    const double R = Refine(s, 7.0, P, fmin, state);
    EXPECT_NEAR(R, 5.0, 1e-9);
    EXPECT_EQ(state.stop, 1);
    EXPECT_GE(fmin, 0);
  }
  {
    // Walls 15.99 apart: from R = 8 the step proposes 7.995, within 0.1 % of 8: R stays 8.
    Scene s(TwoWalls(15.99));
    const double P[3] = {3000, 3000, 15.99};
    RefineState state;
    int32_t fmin = -1;
    EXPECT_EQ(Refine(s, 8.0, P, fmin, state), 8.0);
    EXPECT_EQ(state.stop, 1);
    EXPECT_EQ(fmin, 1);
  }
  {
    // 15.8 apart: the proposal 7.9 is 1.25 % below 8 and replaces it.
    Scene s(TwoWalls(15.8));
    const double P[3] = {3000, 3000, 15.8};
    RefineState state;
    int32_t fmin = -1;
    EXPECT_NEAR(Refine(s, 8.0, P, fmin, state), 7.9, 1e-9);
  }
  {
    // A sphere too small to reach any wall: the step fails and the radius is kept.
    Scene s(TwoWalls(15.99));
    const double P[3] = {3000, 3000, 15.99};
    RefineState state;
    int32_t fmin = -1;
    EXPECT_EQ(Refine(s, 1.0, P, fmin, state), 1.0);
    EXPECT_EQ(state.stop, 1);
    EXPECT_EQ(fmin, -1);
  }
}

// The search must visit, for any point and bound, every face that the ADT's range search lists
// for the cube and whose box lies within the bound, and nothing that the range search would
// not list; its ranks must follow the range search's listing order.
TEST(WallSearch, VisitsEveryListedFaceWithinTheBoundInListingOrderRanks) {
  const TestMesh torus = Scaled(Torus(24, 12), 1000.0);
  SMesh mesh(torus.nbNodes(), torus.szelem(), torus.coords, torus.elem);
  BuildAdtTree(mesh);
  WallSearch search(*mesh.adt);
  EXPECT_EQ(search.NodeCount(), mesh.nbFaces);
  std::mt19937 random(12345);
  std::uniform_real_distribution<double> coordinate(-500, 10500), size(0, 4000);
  AdtResult listed;
  for (int query = 0; query < 200; ++query) {
    const double s[3] = {coordinate(random), coordinate(random) * 0.6, coordinate(random) * 0.3};
    const double half = size(random), bound = size(random);
    const AdtRangeF range = CubeRange(mesh.bbox, s, half);
    double low[6], high[6];
    for (int i = 0; i < 6; ++i) {
      low[i] = i < 3 ? mesh.bbox[i] : s[i - 3] - half;
      high[i] = i < 3 ? s[i] + half : mesh.bbox[i];
    }
    AdtSearch(*mesh.adt, low, high, listed);

    std::vector<std::pair<int32_t, int32_t>> visited;  // (face index, rank)
    search.Search(s, range, bound, [&](const AdtNode& node, int32_t rank) {
      visited.emplace_back(node.faceIndex, rank);
    });
    std::set<int32_t> visitedFaces;
    for (const auto& [face, rank] : visited)
      visitedFaces.insert(face);
    EXPECT_EQ(visitedFaces.size(), visited.size()) << "a face visited twice";

    std::set<int32_t> listedFaces;
    for (const AdtNode& node : listed) {
      listedFaces.insert(node.faceIndex);
      double gap2 = 0;
      for (int k = 0; k < 3; ++k) {
        const double gap = std::max({0.0, node.box[k] - s[k], s[k] - node.box[k + 3]});
        gap2 += gap * gap;
      }
      if (gap2 <= bound * bound) {
        EXPECT_TRUE(visitedFaces.count(node.faceIndex))
            << "query " << query << " skipped face " << node.faceIndex;
      }
    }
    for (const auto& [face, rank] : visited)
      EXPECT_TRUE(listedFaces.count(face)) << "query " << query << " visited unlisted " << face;
    // Ranks grow along the listing.
    std::vector<int32_t> ranksInListing;
    for (const AdtNode& node : listed) {
      for (const auto& [face, rank] : visited) {
        if (face == node.faceIndex) ranksInListing.push_back(rank);
      }
    }
    EXPECT_TRUE(std::is_sorted(ranksInListing.begin(), ranksInListing.end()));
  }
}

}  // namespace
}  // namespace vexmor::test
