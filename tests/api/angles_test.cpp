// Draft and dihedral angles through the exported functions, on shapes whose angles are known:
// per face, per edge and the largest per node, unsigned and signed by convexity.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <map>
#include <string>
#include <utility>

#include "support/entry_points.h"
#include "support/meshes.h"
#include "vexmor.h"

namespace vexmor::test {
namespace {

constexpr double kTetrahedronAngle = 109.47122063449069;  // acos(-1/3) in degrees
constexpr uint32_t kUnsigned = 0, kSigned = 1;

using NodePair = std::pair<int32_t, int32_t>;

std::vector<double> Draft(const TestMesh& m, std::array<double, 3> pull) {
  std::vector<double> values(static_cast<size_t>(m.nbFaces()), kCanary);
  testing::internal::CaptureStdout();
  EXPECT_EQ(VX_Draft_Angle(m.nbNodes(), m.szelem(), m.elem.data(), m.coords.data(), values.data(),
                           pull.data()),
            VX_STATUS_OK);
  testing::internal::GetCapturedStdout();
  return values;
}

struct Angles {
  std::map<NodePair, double> edges;  // by node pair, smaller node first
  std::vector<double> nodes;
  std::string printed;
};

// Both angle functions, with arrays of exactly the documented size: two nodes and one angle per
// edge, 3 * faces / 2 edges for a closed triangle mesh.
Angles AnglesOf(const TestMesh& m, uint32_t mode) {
  const size_t edges = 3 * static_cast<size_t>(m.nbFaces()) / 2;
  std::vector<int32_t> nodes(2 * edges);
  std::vector<double> angles(edges);
  uint32_t count = 0;
  Angles r;
  r.nodes.resize(static_cast<size_t>(m.nbNodes()));
  testing::internal::CaptureStdout();
  EXPECT_EQ(VX_Edge_Diedral_Angle(m.nbNodes(), m.szelem(), m.elem.data(), m.coords.data(), &count,
                                  nodes.data(), angles.data(), mode),
            VX_STATUS_OK);
  EXPECT_EQ(VX_Diedral_Angle(m.nbNodes(), m.szelem(), m.elem.data(), m.coords.data(),
                             r.nodes.data(), mode),
            VX_STATUS_OK);
  r.printed = testing::internal::GetCapturedStdout();
  EXPECT_EQ(count, edges);
  for (size_t e = 0; e < std::min<size_t>(count, edges); ++e) {
    const int32_t a = nodes[2 * e], b = nodes[2 * e + 1];
    EXPECT_TRUE(r.edges.emplace(NodePair{std::min(a, b), std::max(a, b)}, angles[e]).second)
        << "edge " << a << "-" << b << " listed twice";
  }
  return r;
}

// Number of axes along which the two nodes of an edge differ.
int AxesApart(const TestMesh& m, NodePair e) {
  int axes = 0;
  for (int k = 0; k < 3; ++k)
    axes += m.Node(e.first)[k] != m.Node(e.second)[k] ? 1 : 0;
  return axes;
}

// The fixture cube's faces come in pairs per side: +x, -x, +y, -y, +z, -z.
TEST(Draft, IsTheCosineBetweenEachOutwardNormalAndThePull) {
  const double expected[12] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, -1, -1};
  const std::vector<double> cube = Draft(Cube(), {0, 0, 5});
  for (size_t f = 0; f < 12; ++f)
    EXPECT_DOUBLE_EQ(cube[f], expected[f]) << "face " << f;
  const std::vector<double> tetrahedron = Draft(Tetrahedron(), {0, 0, 1});
  EXPECT_NEAR(tetrahedron[0], -1.0, 1e-15);
  for (size_t f = 1; f < 4; ++f)
    EXPECT_NEAR(tetrahedron[f], 1.0 / 3.0, 1e-12) << "face " << f;
  // A pull too short to have a direction acts as x.
  EXPECT_EQ(Draft(Tetrahedron(), {0, 0, 1e-9}), Draft(Tetrahedron(), {1, 0, 0}));
}

TEST(DihedralAngle, SignTellsReEntrantFromSalientEdgesAndNodes) {
  const TestMesh m = CubeOnCube();
  // Where the small cube's sides meet the large top: the footprint's outline at z = 3.
  auto onOutline = [&](int32_t n) {
    const double* p = m.Node(n);
    return p[2] == 3 && std::max(std::fabs(p[0] - 1.5), std::fabs(p[1] - 1.5)) == 0.5;
  };
  const Angles withSign = AnglesOf(m, kSigned), plain = AnglesOf(m, kUnsigned);
  int reEntrant = 0, salient = 0;
  for (const auto& [edge, angle] : withSign.edges) {
    if (onOutline(edge.first) && onOutline(edge.second) && AxesApart(m, edge) == 1) {
      EXPECT_NEAR(angle, -90.0, 1e-9) << edge.first << "-" << edge.second;
      ++reEntrant;
    } else if (std::fabs(angle) > 1e-9) {
      EXPECT_NEAR(angle, 90.0, 1e-9) << edge.first << "-" << edge.second;
      ++salient;
    }
    EXPECT_NEAR(plain.edges.at(edge), std::fabs(angle), 1e-12);
  }
  // The outline is 4 sides of two segments; the large cube has 12 edges of six segments, the
  // small one 8 free edges of two.
  EXPECT_EQ(reEntrant, 8);
  EXPECT_EQ(salient, 12 * 6 + 8 * 2);
  // A footprint corner meets re-entrant and salient right angles: the tie goes to salient.
  EXPECT_NEAR(withSign.nodes[NodeAt(m, 1, 1, 3)], -90.0, 1e-9);
  // Midway along the footprint's side only re-entrant right angles and flat edges meet.
  EXPECT_NEAR(withSign.nodes[NodeAt(m, 1.5, 1, 3)], 90.0, 1e-9);
  EXPECT_NEAR(plain.nodes[NodeAt(m, 1.5, 1, 3)], 90.0, 1e-9);
  // A node amid a flat side reads 0, negative zero when signed; the footprint's centre
  // belongs to no face and reads the extreme the header states.
  const int32_t flat = NodeAt(m, 1.5, 1.5, 0), unused = NodeAt(m, 1.5, 1.5, 3);
  EXPECT_EQ(plain.nodes[flat], 0.0);
  EXPECT_FALSE(std::signbit(plain.nodes[flat]));
  EXPECT_TRUE(std::signbit(withSign.nodes[flat]));
  EXPECT_EQ(plain.nodes[unused], -DBL_MAX);
  EXPECT_EQ(withSign.nodes[unused], DBL_MAX);
}

TEST(DihedralAngle, ADegenerateTriangleIsReportedOnceAndTheRestStillMeasured) {
  const TestMesh m = WithSliver(Cube(), 4);
  for (const uint32_t mode : {kUnsigned, kSigned}) {
    const Angles r = AnglesOf(m, mode);
    // Once by each of the two functions.
    auto count = [&](const std::string& text) {
      size_t n = 0;
      for (size_t at = r.printed.find(text); at != std::string::npos;
           at = r.printed.find(text, at + 1))
        ++n;
      return n;
    };
    EXPECT_EQ(count("!!!! Undefined face normal (face "), 2u) << r.printed;
    EXPECT_EQ(count("!!!! Undefined face normal (face 13)\n"), 2u) << r.printed;
    EXPECT_EQ(r.edges.size(), 21u);
    const NodePair top = std::minmax(NodeAt(m, 0, 1, 1), NodeAt(m, 1, 1, 1));
    EXPECT_NEAR(r.edges.at(top), 90.0, 1e-9);
  }
}

}  // namespace
}  // namespace vexmor::test
