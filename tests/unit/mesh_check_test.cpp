// The mesh check: which defects reject a mesh, what it prints, and that a rejected mesh is
// left as it came.
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <utility>

#include "angles/edge_dihedral.h"
#include "angles/node_dihedral.h"
#include "mesh/smesh.h"
#include "support/mesh_fixtures.h"
#include "support/topology_fixtures.h"
#include "topology/mesh_check.h"

namespace vexmor::test {
namespace {

struct CheckRun {
  int32_t result;
  std::vector<int32_t> elem;  // the connectivity after the check
  std::vector<std::string> lines;
};

CheckRun Check(const TestMesh& m) {
  SMesh mesh(m.nbNodes(), m.szelem(), m.coords, m.elem);
  testing::internal::CaptureStdout();
  const int32_t result = Checking_SMesh(mesh);
  std::istringstream out(testing::internal::GetCapturedStdout());
  CheckRun run{result, mesh.elem, {}};
  for (std::string line; std::getline(out, line);)
    run.lines.push_back(line);
  return run;
}

// Two closed tetrahedra sharing the edge 0-1 (four faces on it).
TestMesh TetrahedraSharingAnEdge() {
  TestMesh m = Tetrahedron();
  const int32_t a = m.AddNode(0.5, -0.8, 0.1), b = m.AddNode(0.5, -0.3, -0.9);
  m.AddTriangle(0, a, 1);
  m.AddTriangle(0, b, a);
  m.AddTriangle(1, a, b);
  m.AddTriangle(0, 1, b);
  return m;
}

// A pentagonal pyramid: a pentagon base closed by five triangles; with quadSide one of those
// triangles is replaced by a quadrilateral and a triangle.
TestMesh PentagonalPyramid(bool quadSide) {
  TestMesh m;
  for (int32_t i = 0; i < 5; ++i)
    m.AddNode(std::cos(i * 1.2566370614359172), std::sin(i * 1.2566370614359172), 0);
  const int32_t apex = m.AddNode(0, 0, 1);
  m.AddFace({4, 3, 2, 1, 0});
  for (int32_t i = 0; i < 5; ++i) {
    if (quadSide && i == 0) continue;
    m.AddTriangle(i, (i + 1) % 5, apex);
  }
  if (quadSide) {
    // Side 0-1 as a quadrilateral through a node just below the apex.
    const int32_t under = m.AddNode(0.1, 0.1, 0.9);
    m.AddQuad(0, 1, apex, under);
    m.AddTriangle(0, under, apex);
  }
  return m;
}

TEST(MeshCheck, RejectsOpenNonManifoldAndNonTriangularMeshesUntouched) {
  TestMesh openTriangle;
  openTriangle.AddNode(0, 0, 0);
  openTriangle.AddNode(1, 0, 0);
  openTriangle.AddNode(0, 1, 0);
  openTriangle.AddTriangle(0, 2, 1);  // wound downwards: a check that oriented it would turn it

  TestMesh hangingTriangle = Tetrahedron();
  hangingTriangle.AddNode(0.5, -0.8, 0.2);
  hangingTriangle.AddTriangle(0, 4, 1);

  TestMesh openTetrahedron = Rewound(Tetrahedron());
  openTetrahedron.elem.resize(12);

  TestMesh withEmptyFace = Rewound(Tetrahedron());
  withEmptyFace.elem.push_back(0);  // a count entry of 0: a face of no kind

  const struct {
    const char* what;
    TestMesh mesh;
    int32_t result;
  } cases[] = {
      {"open triangle", openTriangle, kCheckBoundaryEdge},
      {"tetrahedron missing a face", openTetrahedron, kCheckBoundaryEdge},
      {"tetrahedra sharing an edge", TetrahedraSharingAnEdge(), kCheckNonManifoldEdge},
      {"triangle hanging from an edge", hangingTriangle,
       kCheckBoundaryEdge | kCheckNonManifoldEdge},
      {"cube of quadrilaterals", Rewound(Box(1, 1, 1, 2, true)), kCheckQuadrilateral},
      {"pentagon closing a pyramid", Rewound(PentagonalPyramid(false)), kCheckOtherFace},
      {"pentagon and quadrilateral", Rewound(PentagonalPyramid(true)),
       kCheckQuadrilateral | kCheckOtherFace},
      {"count entry of zero", withEmptyFace, kCheckOtherFace},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const CheckRun run = Check(c.mesh);
    EXPECT_EQ(run.result, c.result);
    EXPECT_EQ(run.elem, c.mesh.elem);
    EXPECT_TRUE(run.lines.empty()) << run.lines.front();  // the orientation never ran
  }
}

TEST(MeshCheck, AcceptsClosedTriangleMeshesAndPrintsOneLinePerVolume) {
  const struct {
    const char* what;
    TestMesh mesh;
    size_t volumes;
  } cases[] = {
      {"tetrahedron", Tetrahedron(), 1},
      {"two disjoint tetrahedra",
       Together(IrregularTetrahedron(), Translated(IrregularTetrahedron(), 5, 0, 0)), 2},
      {"box with a cavity", BoxWithCavityWoundInwards(), 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const CheckRun run = Check(c.mesh);
    EXPECT_EQ(run.result, 0);
    ASSERT_EQ(run.lines.size(), 1 + c.volumes);
    EXPECT_EQ(run.lines[0], "S2V : ");
    // The volume of the seed face is shell 0; every volume line starts with its shell number.
    EXPECT_EQ(run.lines[1].rfind("0 ; ", 0), 0u) << run.lines[1];
    for (size_t v = 1; v <= c.volumes; ++v)
      EXPECT_NE(run.lines[v].find(" ; "), std::string::npos) << run.lines[v];
  }
}

TEST(MeshCheck, AcceptsAMeshWhoseVolumeCannotBeDefined) {
  // Nodes but no face: nothing is open or of the wrong kind, and no seed face exists.
  TestMesh nodesOnly;
  nodesOnly.AddNode(0, 0, 0);
  nodesOnly.AddNode(1, 2, 3);
  const CheckRun run = Check(nodesOnly);
  EXPECT_EQ(run.result, 0);
  EXPECT_EQ(run.lines,
            (std::vector<std::string>{"Unable to define the volume(volume not closed or not "
                                      "manifold or initial orientation uncertain)",
                                      "S2V : "}));
}

TEST(MeshCheck, WithOutsideSetEvenAPartOfEightNodesIsTurnedOutwards) {
  // With the outside flag the seed search sizes its probes without the edges touching the last
  // eight nodes (the enclosing box's, once added). The check runs before the box exists, so on a
  // plain cube no edge would remain: its own edges size the probes, and it is turned as usual.
  const auto checkOutside = [](const TestMesh& m) {
    SMesh mesh(/*outside=*/1, m.nbNodes(), m.szelem(), m.coords, m.elem, 1);
    testing::internal::CaptureStdout();
    EXPECT_EQ(Checking_SMesh(mesh), 0);
    const std::string out = testing::internal::GetCapturedStdout();
    return std::make_pair(mesh.elem, out.rfind("Unable to define the volume", 0) == 0);
  };
  const TestMesh cube = Cube();
  EXPECT_EQ(checkOutside(Rewound(cube)), std::make_pair(cube.elem, false));
  EXPECT_EQ(checkOutside(Rewound(Tetrahedron())), std::make_pair(Tetrahedron().elem, false));
  const TestMesh finer = Box(1, 1, 1, 2);
  EXPECT_EQ(checkOutside(Rewound(finer)), std::make_pair(finer.elem, false));
}

TEST(MeshCheck, DegenerateClosedSurfacesPassWithoutHarm) {
  // Each of these has every edge on exactly two triangles, so the check accepts it; none
  // bounds a volume. The check and both angle analyses must come through them with every face
  // keeping its nodes.
  auto flat = [](std::vector<int32_t> elem) {
    TestMesh m;
    m.AddNode(0, 0, 0);
    m.AddNode(1, 0, 0);
    m.AddNode(0, 1, 0);
    m.AddNode(0.3, 0.2, 0.5);
    m.elem = std::move(elem);
    return m;
  };
  const TestMesh cases[] = {
      flat({3, 0, 1, 2, 3, 0, 2, 1}),  // two faces back to back
      flat({3, 0, 1, 2, 3, 0, 1, 2}),  // the same face twice
      flat({3, 0, 1, 0, 3, 0, 2, 0}),  // needles: each face uses one edge twice
      Together(Tetrahedron(), flat({3, 0, 1, 2, 3, 0, 2, 1})),  // a body and a flat pillow
  };
  for (const TestMesh& m : cases) {
    SMesh mesh(m.nbNodes(), m.szelem(), m.coords, m.elem, 1);
    testing::internal::CaptureStdout();
    EXPECT_EQ(Checking_SMesh(mesh), 0);
    std::vector<double> nodes(static_cast<size_t>(mesh.nbNodes));
    NdMaxDiedralAngle(mesh, nodes);
    std::vector<int32_t> edgeNodes(3 * static_cast<size_t>(mesh.nbFaces));
    std::vector<double> edgeAngles(3 * static_cast<size_t>(mesh.nbFaces) / 2);
    uint32_t count = 0;
    EdgeDiedralAngle(mesh, count, edgeNodes, edgeAngles);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(count, edgeAngles.size());
    for (size_t p = 0; p < m.elem.size(); p += 4) {
      EXPECT_EQ(mesh.elem[p], 3);
      EXPECT_EQ(mesh.elem[p + 1], m.elem[p + 1]);  // turning keeps the first node
      std::multiset<int32_t> before(m.elem.begin() + p + 1, m.elem.begin() + p + 4);
      std::multiset<int32_t> after(mesh.elem.begin() + p + 1, mesh.elem.begin() + p + 4);
      EXPECT_EQ(before, after);
    }
  }
}

}  // namespace
}  // namespace vexmor::test
