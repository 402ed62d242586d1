// The check turns every closed volume outwards before an analysis, so a part given wound
// inwards measures exactly like the same part wound outwards, through every exported function
// and with the outside flag as well, down to parts of a handful of nodes.
#include <gtest/gtest.h>

#include "support/entry_points.h"
#include "support/mesh_fixtures.h"

namespace vexmor::test {
namespace {

// The exported functions of AllEntryPoints, plus those whose trailing flags change the path:
// the space outside the part, and signed angles.
std::vector<EntryPoint> WindingSensitiveCalls() {
  std::vector<EntryPoint> calls = AllEntryPoints();
  calls.push_back({"VX_Thickness_Computation_LSCP outside", [](const MeshArgs& m, Outputs& o) {
                     return VX_Thickness_Computation_LSCP(m.nbNodes, m.szelem, m.connectivity,
                                                          m.coordinates, o.doubles.data(), 1);
                   }});
  calls.push_back({"VX_Thickness_RayTracing outside", [](const MeshArgs& m, Outputs& o) {
                     return VX_Thickness_RayTracing(m.nbNodes, m.szelem, m.connectivity,
                                                    m.coordinates, o.doubles.data(), 1);
                   }});
  calls.push_back({"VX_Diedral_Angle signed", [](const MeshArgs& m, Outputs& o) {
                     return VX_Diedral_Angle(m.nbNodes, m.szelem, m.connectivity, m.coordinates,
                                             o.doubles.data(), 1);
                   }});
  calls.push_back({"VX_Edge_Diedral_Angle signed", [](const MeshArgs& m, Outputs& o) {
                     return VX_Edge_Diedral_Angle(m.nbNodes, m.szelem, m.connectivity,
                                                  m.coordinates, &o.count, o.ints.data(),
                                                  o.doubles.data(), 1);
                   }});
  return calls;
}

TEST(Winding, InwardPartsMeasureLikeOutwardOnes) {
  const std::vector<std::pair<std::string, TestMesh>> parts = {
      {"cube", Cube()}, {"tetrahedron", Tetrahedron()}, {"box", Box(3, 2, 1, 2)}};
  for (const auto& [name, outward] : parts) {
    const TestMesh inward = Rewound(outward);
    for (const EntryPoint& entry : WindingSensitiveCalls()) {
      SCOPED_TRACE(entry.name + " on the " + name);
      Outputs a, b;
      const int32_t sa = entry.call(
          {outward.nbNodes(), outward.szelem(), outward.elem.data(), outward.coords.data()}, a);
      const int32_t sb = entry.call(
          {inward.nbNodes(), inward.szelem(), inward.elem.data(), inward.coords.data()}, b);
      ASSERT_EQ(sa, VX_STATUS_OK);
      ASSERT_EQ(sb, VX_STATUS_OK);
      EXPECT_EQ(a.doubles, b.doubles);
      EXPECT_EQ(a.count, b.count);
      // Edge node pairs follow each face's own winding; the angles above must not.
    }
  }
}

}  // namespace
}  // namespace vexmor::test
