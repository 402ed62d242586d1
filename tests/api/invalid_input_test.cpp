// Input that no caller should send: every entry point answers 3, writes nothing and does not
// touch memory outside the arrays (the sanitizers watch the exact-size copies used here).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "support/entry_points.h"
#include "support/mesh_fixtures.h"

namespace vexmor::test {
namespace {

// One way of breaking a good mesh: the arrays (copied to exact sizes) and the sizes claimed.
struct BrokenMesh {
  std::string what;
  std::vector<double> coords;
  std::vector<int32_t> elem;
  int32_t nbNodes;
  int32_t szelem;
  bool nullCoordinates = false;
  bool nullConnectivity = false;

  MeshArgs Args() const {
    return {nbNodes, szelem, nullConnectivity ? nullptr : elem.data(),
            nullCoordinates ? nullptr : coords.data()};
  }
};

BrokenMesh From(const std::string& what, const TestMesh& m) {
  return {what, m.coords, m.elem, m.nbNodes(), m.szelem()};
}

std::vector<BrokenMesh> BrokenMeshes() {
  const TestMesh cube = Cube();
  std::vector<BrokenMesh> cases;

  auto negativeNodes = From("negative nbNodes", cube);
  negativeNodes.nbNodes = -8;
  cases.push_back(negativeNodes);

  auto negativeEntries = From("negative szelem", cube);
  negativeEntries.szelem = -1;
  cases.push_back(negativeEntries);

  auto nullConnectivity = From("null connectivity with entries", cube);
  nullConnectivity.nullConnectivity = true;
  cases.push_back(nullConnectivity);

  auto nullCoordinates = From("null coordinates with nodes", cube);
  nullCoordinates.nullCoordinates = true;
  cases.push_back(nullCoordinates);

  auto truncated = From("last face runs past szelem", cube);
  truncated.elem.pop_back();
  truncated.szelem = static_cast<int32_t>(truncated.elem.size());
  cases.push_back(truncated);

  auto hugeCount = From("count entry far past szelem", cube);
  hugeCount.elem[4] = std::numeric_limits<int32_t>::max();
  cases.push_back(hugeCount);

  auto nodeTooLarge = From("node number equal to nbNodes", cube);
  nodeTooLarge.elem[2] = cube.nbNodes();
  cases.push_back(nodeTooLarge);

  auto nodeNegative = From("negative node number", cube);
  nodeNegative.elem[7] = -1;
  cases.push_back(nodeNegative);

  auto nan = From("NaN coordinate", cube);
  nan.coords[4] = std::numeric_limits<double>::quiet_NaN();
  cases.push_back(nan);

  auto inf = From("infinite coordinate", cube);
  inf.coords[9] = -std::numeric_limits<double>::infinity();
  cases.push_back(inf);

  auto coincident = From("all nodes coincide", cube);
  for (size_t i = 0; i < coincident.coords.size(); ++i)
    coincident.coords[i] = 2.5 + (i % 3);
  cases.push_back(coincident);

  auto overflowingExtent = From("node box too large for a double", cube);
  overflowingExtent.coords[0] = -1.5e308;
  overflowingExtent.coords[3] = 1.5e308;
  cases.push_back(overflowingExtent);

  auto noNodes = BrokenMesh{"no nodes and no faces", {}, {}, 0, 0};
  cases.push_back(noNodes);

  auto oneNode = BrokenMesh{"a single node", {1, 2, 3}, {}, 1, 0};
  cases.push_back(oneNode);

  return cases;
}

TEST(InvalidInput, EveryEntryPointAnswersThreeAndWritesNothing) {
  for (const BrokenMesh& broken : BrokenMeshes()) {
    for (const EntryPoint& entry : AllEntryPoints()) {
      SCOPED_TRACE(entry.name + " with " + broken.what);
      const auto coordsBefore = broken.coords;
      const auto elemBefore = broken.elem;
      Outputs out;
      EXPECT_EQ(entry.call(broken.Args(), out), VX_STATUS_INVALID_INPUT);
      EXPECT_TRUE(out.IsUntouched());
      // Compared bit for bit: some cases hold a NaN on purpose.
      ASSERT_EQ(broken.coords.size(), coordsBefore.size());
      EXPECT_TRUE(coordsBefore.empty() || std::memcmp(broken.coords.data(), coordsBefore.data(),
                                                      coordsBefore.size() * sizeof(double)) == 0);
      EXPECT_EQ(broken.elem, elemBefore);
    }
  }
}

TEST(InvalidInput, MissingOutputArraysAnswerThree) {
  const TestMesh cube = Cube();
  const int32_t n = cube.nbNodes(), sz = cube.szelem();
  const int32_t* elem = cube.elem.data();
  const double* xyz = cube.coords.data();
  std::vector<double> values(64, kCanary);
  std::vector<int32_t> nodes(128, -777);
  uint32_t count = 0xDEADu;
  const double pull[3] = {0, 0, 1};

  EXPECT_EQ(VX_Diedral_Angle(n, sz, elem, xyz, nullptr, 0), VX_STATUS_INVALID_INPUT);
  EXPECT_EQ(VX_Draft_Angle(n, sz, elem, xyz, nullptr, pull), VX_STATUS_INVALID_INPUT);
  EXPECT_EQ(VX_Draft_Angle(n, sz, elem, xyz, values.data(), nullptr), VX_STATUS_INVALID_INPUT);
  EXPECT_EQ(VX_Edge_Diedral_Angle(n, sz, elem, xyz, nullptr, nodes.data(), values.data(), 0),
            VX_STATUS_INVALID_INPUT);
  EXPECT_EQ(VX_Edge_Diedral_Angle(n, sz, elem, xyz, &count, nullptr, values.data(), 0),
            VX_STATUS_INVALID_INPUT);
  EXPECT_EQ(VX_Edge_Diedral_Angle(n, sz, elem, xyz, &count, nodes.data(), nullptr, 0),
            VX_STATUS_INVALID_INPUT);
  EXPECT_EQ(VX_Thickness_Computation_DN2S(n, sz, elem, xyz, nullptr, 0), VX_STATUS_INVALID_INPUT);
  EXPECT_EQ(VX_Thickness_Computation_LSCP(n, sz, elem, xyz, nullptr, 0), VX_STATUS_INVALID_INPUT);
  EXPECT_EQ(VX_Thickness_Computation_LSR(n, sz, elem, xyz, nullptr, 0), VX_STATUS_INVALID_INPUT);
  EXPECT_EQ(VX_Thickness_RayTracing(n, sz, elem, xyz, nullptr, 1), VX_STATUS_INVALID_INPUT);
  EXPECT_EQ(VX_Thickness_Gradient(n, sz, elem, xyz, nullptr, values.data()),
            VX_STATUS_INVALID_INPUT);
  EXPECT_EQ(VX_Thickness_Gradient(n, sz, elem, xyz, values.data(), nullptr),
            VX_STATUS_INVALID_INPUT);

  EXPECT_EQ(count, 0xDEADu);
  for (double v : values)
    EXPECT_EQ(v, kCanary);
  for (int32_t v : nodes)
    EXPECT_EQ(v, -777);
}

}  // namespace
}  // namespace vexmor::test
