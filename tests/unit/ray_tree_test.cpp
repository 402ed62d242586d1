// The ray tree: the faces it holds, and the nearest crossing it finds, which must be the one the
// walk over the ADT finds, face and listing rank included.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "geometry/adt.h"
#include "geometry/adt_search.h"
#include "geometry/bbox.h"
#include "geometry/segment_triangle.h"
#include "geometry/vec3.h"
#include "mesh/smesh.h"
#include "support/mesh_fixtures.h"
#include "support/spatial_fixtures.h"
#include "thickness/face_frame.h"
#include "thickness/ray_tree.h"
#include "thickness/wall_search.h"

namespace vexmor::test {
namespace {

// The nearest crossing of a segment, as the ray probes keep it: equally near crossings go to
// the face listed first, and the bound stays a little beyond the best so far.
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

TEST(RayTree, HoldsEveryFaceWithATriangleInTheAdtListingOrder) {
  TestMesh m = RandomTriangleSoup(7, 300, 100, 20);
  const int32_t a = m.AddNode(1, 1, 1), b = m.AddNode(2, 1, 1), c = m.AddNode(2, 2, 1);
  m.AddFace({a, b});  // no triangle: never crossed
  SMesh mesh = MakeSMesh(m);
  BuildAdtTree(mesh);
  const RayTree rays(*mesh.adt, mesh);
  EXPECT_TRUE(rays.HoldsWholeFaces());

  AdtResult listed;
  AdtSearch(*mesh.adt, mesh.adt->domainLow, mesh.adt->domainHigh, listed);
  std::vector<int32_t> expected;
  for (const AdtNode& node : listed) {
    if (node.faceIndex != 300) expected.push_back(node.faceIndex);
  }
  std::vector<RayFace> held = rays.Faces();
  std::sort(held.begin(), held.end(),
            [](const RayFace& x, const RayFace& y) { return x.rank < y.rank; });
  std::vector<int32_t> got;
  for (const RayFace& face : held) {
    got.push_back(face.faceIndex);
    EXPECT_EQ(listed[static_cast<size_t>(face.rank)].faceIndex, face.faceIndex);
    EXPECT_EQ(listed[static_cast<size_t>(face.rank)].facePos, face.facePos);
  }
  EXPECT_EQ(got, expected);

  m.AddQuad(a, b, c, a);
  SMesh withQuad = MakeSMesh(m);
  BuildAdtTree(withQuad);
  EXPECT_FALSE(RayTree(*withQuad.adt, withQuad).HoldsWholeFaces());
}

TEST(RayTree, NearestCrossingIsTheOneTheWalkOverTheAdtFinds) {
  for (const uint32_t seed : {1u, 2u, 3u}) {
    // Soups of small and of large triangles, and a closed box whose rays run along its walls
    // and through its edges.
    const TestMesh meshes[] = {RandomTriangleSoup(seed, 500, 100, 8),
                               RandomTriangleSoup(seed + 10, 200, 100, 60), Box(4, 3, 2, 3)};
    for (const TestMesh& m : meshes) {
      SMesh mesh = MakeSMesh(m);
      BuildAdtTree(mesh);
      if (mesh.bboxDone == 0) ComputeBBox(mesh);
      WallSearch walls(*mesh.adt);
      RayTree& rays = walls.Rays(mesh);
      ASSERT_TRUE(rays.HoldsWholeFaces());
      std::mt19937 random(seed);
      std::uniform_real_distribution<double> coordinate(-500, 10500), unit(-1, 1);
      std::uniform_int_distribution<int32_t> pickFace(0, mesh.nbFaces - 1);
      const double length = 2.0 * mesh.halfDiag + 1.0;
      for (int ray = 0; ray < 300; ++ray) {
        double origin[3], direction[3];
        int32_t excluded = -1;
        if (ray % 3 == 0) {
          // From a face's incircle centre against its normal, the face itself left out.
          FaceFrame frame;
          excluded = 4 * pickFace(random);
          ASSERT_TRUE(LoadFaceFrame(mesh, excluded, 0, frame));
          std::copy_n(frame.P, 3, origin);
          for (int k = 0; k < 3; ++k)
            direction[k] = -frame.N[k];
        } else {
          for (int k = 0; k < 3; ++k) {
            origin[k] = ray % 3 == 1 ? coordinate(random) : std::round(coordinate(random));
            direction[k] = ray % 3 == 1 ? unit(random) : 0.0;
          }
          if (ray % 3 == 2) direction[ray % 2] = ray % 4 < 2 ? 1.0 : -1.0;  // along an axis
        }
        double end[3];
        for (int k = 0; k < 3; ++k)
          end[k] = origin[k] + length * direction[k];

        Crossing want, got;
        double wantBound = length * Length(Vec3::Load(direction)), gotBound = wantBound;
        walls.AlongRay(origin, direction, length, wantBound, [&](const AdtNode& node, int32_t r) {
          double tri[9];
          if (node.facePos != excluded && LoadFaceTriangle(mesh, node.facePos, 0, tri))
            want.Consider(tri, node.faceIndex, r, origin, end, wantBound);
        });
        rays.AlongRay(origin, direction, length, gotBound, [&](const RayFace& face) {
          if (face.facePos != excluded)
            got.Consider(face.tri, face.faceIndex, face.rank, origin, end, gotBound);
        });
        EXPECT_EQ(got.faceIndex, want.faceIndex) << "seed " << seed << " ray " << ray;
        EXPECT_EQ(got.rank, want.rank);
        EXPECT_EQ(got.distance2, want.distance2);
      }
    }
  }
}

}  // namespace
}  // namespace vexmor::test
