// Draft through the exported function: the cosine between each outward face normal and the
// pull direction.
#include <gtest/gtest.h>

#include <cmath>

#include "support/mesh_fixtures.h"
#include "vexmor.h"

namespace vexmor::test {
namespace {

std::vector<double> Draft(const TestMesh& m, std::array<double, 3> pull,
                          int32_t* status = nullptr) {
  std::vector<double> values(static_cast<size_t>(m.nbFaces()), -99.0);
  const int32_t s = VX_Draft_Angle(m.nbNodes(), m.szelem(), m.elem.data(), m.coords.data(),
                                   values.data(), pull.data());
  if (status) *status = s;
  EXPECT_EQ(s, VX_STATUS_OK);
  return values;
}

// The fixture cube's faces come in pairs per side: +x, -x, +y, -y, +z, -z.
TEST(DraftAngle, CubeFacesLookUpDownOrSideways) {
  const auto values = Draft(Cube(), {0, 0, 5});
  ASSERT_EQ(values.size(), 12u);
  const double expected[12] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, -1, -1};
  for (size_t f = 0; f < 12; ++f)
    EXPECT_DOUBLE_EQ(values[f], expected[f]) << "face " << f;
}

TEST(DraftAngle, RegularTetrahedronOnItsBase) {
  const auto values = Draft(Tetrahedron(), {0, 0, 1});
  EXPECT_NEAR(values[0], -1.0, 1e-15);
  for (size_t f = 1; f < 4; ++f)
    EXPECT_NEAR(values[f], 1.0 / 3.0, 1e-12) << "face " << f;
}

TEST(DraftAngle, ZeroDirectionActsAsX) {
  EXPECT_EQ(Draft(Tetrahedron(), {0, 0, 0}), Draft(Tetrahedron(), {1, 0, 0}));
  EXPECT_EQ(Draft(Cube(), {0, 0, 0}), Draft(Cube(), {7, 0, 0}));
}

TEST(DraftAngle, DoesNotDependOnScaleOrPosition) {
  const TestMesh tet = Tetrahedron();
  const std::array<double, 3> pull = {0.3, -0.2, 0.9};
  const auto reference = Draft(tet, pull);
  for (const TestMesh& moved :
       {Scaled(tet, 1e-3), Scaled(tet, 250.0), Translated(tet, -40, 7, 1e4)}) {
    const auto values = Draft(moved, pull);
    for (size_t f = 0; f < values.size(); ++f)
      EXPECT_NEAR(values[f], reference[f], 1e-12);
  }
}

TEST(DraftAngle, DegenerateTriangleTakesTheXComponent) {
  // The closing sliver has no normal of its own: it falls back to (1, 0, 0).
  const TestMesh m = WithCollinearSliver(Cube(), 4);
  const auto values = Draft(m, {3, 0, 4});
  ASSERT_EQ(values.size(), 14u);
  EXPECT_DOUBLE_EQ(values[13], 0.6);
}

TEST(DraftAngle, CallerArraysAreUnchanged) {
  const TestMesh cube = Translated(Scaled(Cube(), 3.0), 1, 2, 3);
  const TestMesh before = cube;
  const double pull[3] = {0, 1, 1};
  std::vector<double> values(12);
  ASSERT_EQ(VX_Draft_Angle(cube.nbNodes(), cube.szelem(), cube.elem.data(), cube.coords.data(),
                           values.data(), pull),
            VX_STATUS_OK);
  EXPECT_EQ(cube.coords, before.coords);
  EXPECT_EQ(cube.elem, before.elem);
  EXPECT_EQ(pull[0], 0.0);
  EXPECT_EQ(pull[1], 1.0);
  EXPECT_EQ(pull[2], 1.0);
}

}  // namespace
}  // namespace vexmor::test
