// Surface-to-volume orientation: every volume wound consistently, bodies facing outwards and
// cavities facing into the cavity, whatever winding the faces came with.
#include <gtest/gtest.h>

#include <algorithm>

#include "mesh/smesh.h"
#include "support/mesh_fixtures.h"
#include "support/topology_fixtures.h"
#include "topology/edge_list.h"
#include "topology/surface_orientation.h"

namespace vexmor::test {
namespace {

struct Oriented {
  std::vector<VolumeRecord> volumes;
  std::vector<int32_t> elem;
};

// Runs the orientation as the check does, after building the edge list.
Oriented Orient(const TestMesh& m) {
  SMesh mesh(m.nbNodes(), m.szelem(), m.coords, m.elem);
  BuildEdgeHash(mesh);
  Oriented out;
  out.volumes = S2V(mesh);
  out.elem = mesh.elem;
  return out;
}

TestMesh WithFaceTurned(TestMesh m, int32_t face) {
  std::swap(m.elem[4 * face + 2], m.elem[4 * face + 3]);
  return m;
}

using Records = std::vector<VolumeRecord>;

TEST(SurfaceOrientation, OutwardBodiesAreLeftAsTheyAre) {
  for (const TestMesh& m :
       {Tetrahedron(), IrregularTetrahedron(), Cube(), Box(2, 3, 1, 3), CubeOnCube()}) {
    const Oriented o = Orient(m);
    EXPECT_EQ(o.volumes, (Records{{0, kVolumeDecided}}));
    EXPECT_EQ(o.elem, m.elem);
  }
}

TEST(SurfaceOrientation, EveryWindingOfABodyEndsOutwards) {
  const TestMesh tet = Tetrahedron();
  // One face against the other three, whichever face it is (the seed or not).
  for (int32_t face = 0; face < 4; ++face) {
    const Oriented o = Orient(WithFaceTurned(tet, face));
    EXPECT_EQ(o.volumes, (Records{{0, kVolumeDecided}})) << "face " << face;
    EXPECT_EQ(o.elem, tet.elem) << "face " << face;
  }
  for (const TestMesh& m : {tet, Cube(), Box(2, 3, 1, 3), CubeOnCube()}) {
    const Oriented o = Orient(Rewound(m));
    EXPECT_EQ(o.volumes, (Records{{0, kVolumeDecided}}));
    EXPECT_EQ(o.elem, m.elem);
  }
  // Half the faces of a finer box turned at random-looking places.
  const TestMesh box = Box(2, 3, 1, 3);
  TestMesh scrambled = box;
  for (int32_t f = 0; f < box.nbFaces(); f += (f % 3) + 1)
    scrambled = WithFaceTurned(scrambled, f);
  EXPECT_EQ(Orient(scrambled).elem, box.elem);
}

TEST(SurfaceOrientation, CavityWoundOutwardsIsTurnedToFaceIntoTheCavity) {
  const TestMesh outwards = BoxWithCavityWoundOutwards();
  const TestMesh expected = BoxWithCavityWoundInwards();
  const Oriented o = Orient(outwards);
  EXPECT_EQ(o.volumes, (Records{{0, kVolumeDecided}, {-1, kVolumeDecidedOnTheWay}}));
  EXPECT_EQ(o.elem, expected.elem);
  EXPECT_GT(SignedVolume6(TestMesh{outwards.coords, o.elem}), 0.0);
}

TEST(SurfaceOrientation, CavityFacingIntoTheCavityIsLeftAsItIs) {
  const TestMesh inwards = BoxWithCavityWoundInwards();
  const Oriented o = Orient(inwards);
  EXPECT_EQ(o.volumes, (Records{{0, kVolumeDecided}, {1, kVolumeDecided}}));
  EXPECT_EQ(o.elem, inwards.elem);
}

TEST(SurfaceOrientation, CavityEndsTheSameWhateverTheInputWinding) {
  const TestMesh expected = BoxWithCavityWoundInwards();
  for (const TestMesh& m : {Rewound(BoxWithCavityWoundOutwards()), Rewound(expected)}) {
    EXPECT_EQ(Orient(m).elem, expected.elem);
  }
}

TEST(SurfaceOrientation, SeparateBodiesAreEachTurnedOutwards) {
  const TestMesh first = IrregularTetrahedron();
  const TestMesh second = Translated(IrregularTetrahedron(2.0), 20, 3, 0);
  const TestMesh expected = Together(first, second);
  // Both outwards, the second inwards, the first inwards, both inwards.
  for (const TestMesh& m : {expected, Together(first, Rewound(second)),
                            Together(Rewound(first), second), Rewound(expected)}) {
    const Oriented o = Orient(m);
    EXPECT_EQ(o.volumes, (Records{{0, kVolumeDecided}, {1, kVolumeDecided}}));
    EXPECT_EQ(o.elem, expected.elem);
  }
}

TEST(SurfaceOrientation, ManyBodiesInARowAreEachTurnedOutwards) {
  // Bodies whose probes cross their neighbours: every volume must still be decided once.
  TestMesh expected, input;
  for (int32_t i = 0; i < 12; ++i) {
    const TestMesh body = Box(1, 1, 1, 1, false, 2.0 * i, 0.1 * (i % 3), 0.05 * (i % 4));
    expected.Append(body);
    input.Append(i % 2 == 0 ? Rewound(body) : body);
  }
  const Oriented o = Orient(input);
  ASSERT_EQ(o.volumes.size(), 12u);
  for (const VolumeRecord& v : o.volumes)
    EXPECT_NE(v.state, kVolumeUndecided);
  EXPECT_EQ(o.elem, expected.elem);
}

// A wall [0, t] x [0, 4000]^2 and a box [6000, 10000] x [1000, 3000]^2, 12 outward triangles
// each, in the normalised frame as they stand. The box's faces come after the wall's, led by
// its +x triangle, whose probe meets the wall at (y, z) = (2414.2, 1585.8). The wall's faces are
// led by its triangle holding that point on its far side x = 0, or on its near side x = t.
TestMesh WallAndBox(double t, bool farSideFirst) {
  TestMesh wall = Box(t, 4000, 4000);
  // Face 0 is the +x triangle holding the point, face 3 the -x one.
  if (farSideFirst) {
    std::rotate(wall.elem.begin(), wall.elem.begin() + 12, wall.elem.begin() + 16);
  }
  return Together(wall, Box(4000, 2000, 2000, 1, false, 6000, 1000, 1000));
}

TEST(SurfaceOrientation, BodyProbedThroughAThinWallListedAgainstTheRayFacesOutwards) {
  // The box's probe crosses both sides of the wall within one of its steps (586 long). Listed
  // far side first, the wall's sides come against the order of the ray, and the last face
  // listed is where the ray enters the wall, not where it leaves. A 50-thick wall and the near
  // side listed first are the controls.
  struct Case {
    double thickness;
    bool farSideFirst;
  };
  for (const Case c : {Case{20, true}, Case{50, true}, Case{20, false}}) {
    const TestMesh outwards = WallAndBox(c.thickness, c.farSideFirst);
    for (const TestMesh& m : {outwards, Rewound(outwards)}) {
      const Oriented o = Orient(m);
      ASSERT_EQ(o.volumes.size(), 2u);
      EXPECT_EQ(o.elem, outwards.elem)
          << "thickness " << c.thickness << (c.farSideFirst ? ", far side first" : "");
    }
  }
}

TEST(SurfaceOrientation, NoVolumeWithoutAFullNeighbourhood) {
  TestMesh open = Tetrahedron();
  open.elem.resize(12);
  EXPECT_TRUE(Orient(open).volumes.empty());
  TestMesh nothing;
  nothing.AddNode(0, 0, 0);
  nothing.AddNode(1, 1, 1);
  EXPECT_TRUE(Orient(nothing).volumes.empty());
}

TEST(SurfaceOrientation, FaceNormalAtIsTheUnitRightHandNormal) {
  const TestMesh tet = Tetrahedron();
  SMesh mesh(tet.nbNodes(), tet.szelem(), tet.coords, tet.elem);
  double n[3] = {7, 7, 7};
  FaceNormalAt(mesh, 0, n);  // the base, wound to face down
  EXPECT_NEAR(n[0], 0.0, 1e-15);
  EXPECT_NEAR(n[1], 0.0, 1e-15);
  EXPECT_NEAR(n[2], -1.0, 1e-15);
  // A face of fewer than three nodes leaves the output as it was.
  TestMesh edge = tet;
  edge.elem = {2, 0, 1};
  SMesh twoNodes(edge.nbNodes(), edge.szelem(), edge.coords, edge.elem);
  FaceNormalAt(twoNodes, 0, n);
  EXPECT_EQ(n[2], -1.0);
}

}  // namespace
}  // namespace vexmor::test
