// Dihedral angles through the exported functions: per edge and the largest per node, unsigned
// and signed by convexity, independent of the caller's winding, scale and position.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <map>
#include <sstream>
#include <string>
#include <utility>

#include "support/entry_points.h"
#include "support/mesh_fixtures.h"
#include "support/topology_fixtures.h"
#include "vexmor.h"

namespace vexmor::test {
namespace {

constexpr double kTetrahedronAngle = 109.47122063449069;  // acos(-1/3) in degrees
constexpr uint32_t kUnsigned = 0;
constexpr uint32_t kSigned = 1;

using NodePair = std::pair<int32_t, int32_t>;

struct EdgeResult {
  int32_t status = -1;
  uint32_t count = 0;
  std::map<NodePair, double> angles;  // by node pair, smaller node first
  std::string printed;
};

// Calls the edge function with arrays of exactly the documented size: two nodes and one angle
// per edge, 3 * faces / 2 edges for a closed triangle mesh.
EdgeResult EdgeAngles(const TestMesh& m, uint32_t mode) {
  const size_t edges = 3 * static_cast<size_t>(m.nbFaces()) / 2;
  std::vector<int32_t> nodes(2 * edges, -777);
  std::vector<double> angles(edges, kCanary);
  EdgeResult r;
  r.count = 0xDEADu;
  testing::internal::CaptureStdout();
  r.status = VX_Edge_Diedral_Angle(m.nbNodes(), m.szelem(), m.elem.data(), m.coords.data(),
                                   &r.count, nodes.data(), angles.data(), mode);
  r.printed = testing::internal::GetCapturedStdout();
  if (r.status != VX_STATUS_OK) return r;
  EXPECT_EQ(r.count, edges);
  for (size_t e = 0; e < std::min<size_t>(r.count, edges); ++e) {
    const int32_t a = nodes[2 * e], b = nodes[2 * e + 1];
    const bool fresh = r.angles.emplace(NodePair{std::min(a, b), std::max(a, b)}, angles[e]).second;
    EXPECT_TRUE(fresh) << "edge " << a << "-" << b << " listed twice";
  }
  return r;
}

struct NodeResult {
  int32_t status = -1;
  std::vector<double> angles;
  std::string printed;
};

NodeResult NodeAngles(const TestMesh& m, uint32_t mode) {
  NodeResult r;
  r.angles.assign(static_cast<size_t>(m.nbNodes()), kCanary);
  testing::internal::CaptureStdout();
  r.status = VX_Diedral_Angle(m.nbNodes(), m.szelem(), m.elem.data(), m.coords.data(),
                              r.angles.data(), mode);
  r.printed = testing::internal::GetCapturedStdout();
  return r;
}

const double* Coord(const TestMesh& m, int32_t node) {
  return &m.coords[3 * static_cast<size_t>(node)];
}

// Number of axes along which two nodes differ.
int AxesApart(const TestMesh& m, NodePair e) {
  int axes = 0;
  for (int k = 0; k < 3; ++k)
    axes += Coord(m, e.first)[k] != Coord(m, e.second)[k] ? 1 : 0;
  return axes;
}

// Lines of printed output that start with the given text.
int CountLinesStartingWith(const std::string& printed, const std::string& start) {
  std::istringstream in(printed);
  int count = 0;
  for (std::string line; std::getline(in, line);)
    count += line.rfind(start, 0) == 0 ? 1 : 0;
  return count;
}

TEST(EdgeDihedralAngle, RegularTetrahedronFoldsByTheSameSalientAngleEverywhere) {
  for (const uint32_t mode : {kUnsigned, kSigned, 2u, 0xFFFFFFFFu}) {
    const EdgeResult r = EdgeAngles(Tetrahedron(), mode);
    ASSERT_EQ(r.status, VX_STATUS_OK);
    ASSERT_EQ(r.angles.size(), 6u);
    for (const auto& [edge, angle] : r.angles)
      EXPECT_NEAR(angle, kTetrahedronAngle, 1e-9) << "mode " << mode;
  }
}

TEST(EdgeDihedralAngle, CubeEdgesAreRightAnglesAndFaceDiagonalsFlat) {
  const TestMesh cube = Cube();
  for (const TestMesh& m : {cube, Rewound(cube), Scaled(cube, 1e-4), Translated(cube, -7, 3, 1e3),
                            Scaled(Rewound(cube), 3e5)}) {
    for (const uint32_t mode : {kUnsigned, kSigned}) {
      const EdgeResult r = EdgeAngles(m, mode);
      ASSERT_EQ(r.status, VX_STATUS_OK);
      ASSERT_EQ(r.angles.size(), 18u);
      for (const auto& [edge, angle] : r.angles) {
        // Cube edges join nodes apart along one axis, face diagonals along two.
        const double expected = AxesApart(cube, edge) == 1 ? 90.0 : 0.0;
        EXPECT_NEAR(angle, expected, 1e-9) << edge.first << "-" << edge.second;
      }
    }
  }
}

TEST(EdgeDihedralAngle, SignTellsReEntrantFromSalientEdges) {
  const TestMesh m = CubeOnCube();
  // Where the small cube's sides meet the large top: the footprint's outline at z = 3.
  auto onFootprintOutline = [&](NodePair e) {
    for (const int32_t n : {e.first, e.second}) {
      const double* p = Coord(m, n);
      const bool onOutline = (p[0] == 1 || p[0] == 2)
                                 ? (p[1] >= 1 && p[1] <= 2)
                                 : ((p[1] == 1 || p[1] == 2) && p[0] >= 1 && p[0] <= 2);
      if (p[2] != 3 || !onOutline) return false;
    }
    return AxesApart(m, e) == 1;
  };
  for (const TestMesh& input : {m, Rewound(m)}) {
    const EdgeResult signedAngles = EdgeAngles(input, kSigned);
    const EdgeResult unsignedAngles = EdgeAngles(input, kUnsigned);
    ASSERT_EQ(signedAngles.status, VX_STATUS_OK);
    int reEntrant = 0, salient = 0;
    for (const auto& [edge, angle] : signedAngles.angles) {
      if (onFootprintOutline(edge)) {
        EXPECT_NEAR(angle, -90.0, 1e-9) << edge.first << "-" << edge.second;
        ++reEntrant;
      } else if (std::fabs(angle) > 1e-9) {
        EXPECT_NEAR(angle, 90.0, 1e-9) << edge.first << "-" << edge.second;
        ++salient;
      }
      EXPECT_NEAR(unsignedAngles.angles.at(edge), std::fabs(angle), 1e-12);
    }
    // The outline is 4 sides of two segments; the large cube has 12 edges of six segments,
    // the small one 8 free edges of two.
    EXPECT_EQ(reEntrant, 8);
    EXPECT_EQ(salient, 12 * 6 + 8 * 2);
  }
}

TEST(EdgeDihedralAngle, DegenerateTriangleIsReportedOnceAndTheRestStillMeasured) {
  const TestMesh m = WithCollinearSliver(Cube(), 4);
  for (const uint32_t mode : {kUnsigned, kSigned}) {
    const EdgeResult r = EdgeAngles(m, mode);
    ASSERT_EQ(r.status, VX_STATUS_OK);
    EXPECT_EQ(CountLinesStartingWith(r.printed, "!!!! Undefined face normal (face "), 1)
        << r.printed;
    EXPECT_EQ(CountLinesStartingWith(r.printed, "!!!! Undefined face normal (face 13)"), 1);
    EXPECT_EQ(r.angles.size(), 21u);
    // The cube edges away from the split face still fold by a right angle.
    const NodePair top = {NodeAt(m, 0, 1, 1), NodeAt(m, 1, 1, 1)};
    EXPECT_NEAR(r.angles.at({std::min(top.first, top.second), std::max(top.first, top.second)}),
                90.0, 1e-9);
  }
  const NodeResult nodes = NodeAngles(m, kSigned);
  EXPECT_EQ(nodes.status, VX_STATUS_OK);
  EXPECT_EQ(CountLinesStartingWith(nodes.printed, "!!!! Undefined face normal (face 13)"), 1);
}

TEST(NodeDihedralAngle, CornersTakeTheirLargestEdgeAngleConvexNegativeWhenSigned) {
  for (const TestMesh& m : {Cube(), Rewound(Cube()), Scaled(Translated(Cube(), 4, 4, -2), 1e3)}) {
    const NodeResult plain = NodeAngles(m, kUnsigned);
    const NodeResult withSign = NodeAngles(m, kSigned);
    ASSERT_EQ(plain.status, VX_STATUS_OK);
    ASSERT_EQ(withSign.status, VX_STATUS_OK);
    for (size_t i = 0; i < 8; ++i) {
      EXPECT_NEAR(plain.angles[i], 90.0, 1e-9);
      EXPECT_NEAR(withSign.angles[i], -90.0, 1e-9);
    }
  }
  for (const TestMesh& m : {Tetrahedron(), Rewound(Tetrahedron(3.0))}) {
    const NodeResult plain = NodeAngles(m, kUnsigned);
    const NodeResult withSign = NodeAngles(m, kSigned);
    for (size_t i = 0; i < 4; ++i) {
      EXPECT_NEAR(plain.angles[i], kTetrahedronAngle, 1e-9);
      EXPECT_NEAR(withSign.angles[i], -kTetrahedronAngle, 1e-9);
    }
  }
}

TEST(NodeDihedralAngle, FlatConcaveAndMixedNodes) {
  // Face centres of a finer cube see only flat edges: 0, and negative zero when signed.
  const TestMesh box = Box(1, 1, 1, 2);
  const NodeResult plain = NodeAngles(box, kUnsigned);
  const NodeResult withSign = NodeAngles(box, kSigned);
  const int32_t centre = NodeAt(box, 0.5, 0.5, 1.0);
  ASSERT_GE(centre, 0);
  EXPECT_EQ(plain.angles[centre], 0.0);
  EXPECT_FALSE(std::signbit(plain.angles[centre]));
  EXPECT_EQ(withSign.angles[centre], 0.0);
  EXPECT_TRUE(std::signbit(withSign.angles[centre]));
  // A node midway along a cube edge meets two salient right angles.
  EXPECT_NEAR(withSign.angles[NodeAt(box, 0.5, 0.0, 1.0)], -90.0, 1e-9);

  const TestMesh steps = CubeOnCube();
  const NodeResult stepsSigned = NodeAngles(steps, kSigned);
  const NodeResult stepsPlain = NodeAngles(steps, kUnsigned);
  ASSERT_EQ(stepsSigned.status, VX_STATUS_OK);
  // A footprint corner meets re-entrant and salient right angles: the tie goes to salient.
  EXPECT_NEAR(stepsSigned.angles[NodeAt(steps, 1, 1, 3)], -90.0, 1e-9);
  // Midway along the footprint's side only re-entrant right angles and flat edges meet.
  EXPECT_NEAR(stepsSigned.angles[NodeAt(steps, 1.5, 1, 3)], 90.0, 1e-9);
  EXPECT_NEAR(stepsPlain.angles[NodeAt(steps, 1.5, 1, 3)], 90.0, 1e-9);
  // The footprint's centre belongs to no face any more.
  const int32_t unused = NodeAt(steps, 1.5, 1.5, 3);
  EXPECT_EQ(stepsPlain.angles[unused], -DBL_MAX);
  EXPECT_EQ(stepsSigned.angles[unused], DBL_MAX);
}

TEST(DihedralAngle, RejectedMeshesAnswerTwoAndWriteNothing) {
  TestMesh open = Tetrahedron();
  open.elem.resize(12);
  for (const TestMesh& m : {open, Box(1, 1, 1, 1, true)}) {
    Outputs out;
    const MeshArgs args{m.nbNodes(), m.szelem(), m.elem.data(), m.coords.data()};
    EXPECT_EQ(VX_Edge_Diedral_Angle(args.nbNodes, args.szelem, args.connectivity, args.coordinates,
                                    &out.count, out.ints.data(), out.doubles.data(), kSigned),
              VX_STATUS_MESH_REJECTED);
    EXPECT_EQ(VX_Diedral_Angle(args.nbNodes, args.szelem, args.connectivity, args.coordinates,
                               out.doubles2.data(), kSigned),
              VX_STATUS_MESH_REJECTED);
    EXPECT_TRUE(out.IsUntouched());
  }
}

TEST(DihedralAngle, InvalidInputAnswersThreeAndWritesNothing) {
  const TestMesh tet = Tetrahedron();
  Outputs out;
  std::vector<int32_t> badNode = tet.elem;
  badNode[3] = 4;
  EXPECT_EQ(VX_Edge_Diedral_Angle(tet.nbNodes(), tet.szelem(), badNode.data(), tet.coords.data(),
                                  &out.count, out.ints.data(), out.doubles.data(), kUnsigned),
            VX_STATUS_INVALID_INPUT);
  EXPECT_EQ(VX_Diedral_Angle(tet.nbNodes(), tet.szelem(), badNode.data(), tet.coords.data(),
                             out.doubles.data(), kUnsigned),
            VX_STATUS_INVALID_INPUT);
  EXPECT_TRUE(out.IsUntouched());
}

TEST(DihedralAngle, MeshWithoutFacesHasNoEdgesAndOnlyUnreachedNodes) {
  TestMesh points;
  points.AddNode(0, 0, 0);
  points.AddNode(1, 1, 1);
  uint32_t count = 0xDEADu;
  testing::internal::CaptureStdout();
  EXPECT_EQ(VX_Edge_Diedral_Angle(points.nbNodes(), 0, nullptr, points.coords.data(), &count,
                                  nullptr, nullptr, kSigned),
            VX_STATUS_OK);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(count, 0u);
  const NodeResult nodes = NodeAngles(points, kUnsigned);
  EXPECT_EQ(nodes.status, VX_STATUS_OK);
  EXPECT_EQ(nodes.angles, (std::vector<double>{-DBL_MAX, -DBL_MAX}));
}

}  // namespace
}  // namespace vexmor::test
