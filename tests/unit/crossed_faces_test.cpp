// Counting the faces that a face's crossing probe crosses, through the wall tree, against the
// list that marching the probe gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "geometry/adt.h"
#include "geometry/bbox.h"
#include "geometry/ray_probe.h"
#include "mesh/smesh.h"
#include "support/mesh_fixtures.h"
#include "support/spatial_fixtures.h"
#include "support/thickness_fixtures.h"
#include "support/topology_fixtures.h"
#include "thickness/crossed_faces.h"
#include "thickness/wall_search.h"

namespace vexmor::test {
namespace {

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
                        {BoxWithCavityWoundInwards(), false},
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
