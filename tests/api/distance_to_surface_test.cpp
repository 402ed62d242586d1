// The distance-to-surface thickness through the exported function: every node's distance to
// the faces, in the normalised frame, without any mesh check.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "support/entry_points.h"
#include "support/mesh_fixtures.h"
#include "vexmor.h"

namespace vexmor::test {
namespace {

// Calls the function with output room for `extra` more values than nodes, all set to the canary.
std::vector<double> Dn2s(const TestMesh& m, int32_t* status, uint8_t outside = 0,
                         size_t extra = 4) {
  std::vector<double> values(static_cast<size_t>(m.nbNodes()) + extra, kCanary);
  *status = VX_Thickness_Computation_DN2S(m.nbNodes(), m.szelem(), m.elem.data(), m.coords.data(),
                                          values.data(), outside);
  return values;
}

TEST(DistanceToSurface, CubeNodesAndInteriorPoints) {
  TestMesh m = Cube(2.0);
  m.AddNode(0.5, 1.0, 1.0);
  m.AddNode(1.0, 1.0, 1.0);
  const TestMesh before = m;
  int32_t status = -1;
  const std::vector<double> d = Dn2s(m, &status);
  EXPECT_EQ(status, VX_STATUS_OK);
  for (size_t i = 0; i < 8; ++i)
    EXPECT_EQ(d[i], 0.0) << i;
  // Normalised frame: the cube's side becomes 10000.
  EXPECT_NEAR(d[8], 2500, 1e-9);
  EXPECT_NEAR(d[9], 5000, 1e-9);
  for (size_t i = 10; i < d.size(); ++i)
    EXPECT_EQ(d[i], kCanary) << "written past nbNodes";
  EXPECT_EQ(m.coords, before.coords);
  EXPECT_EQ(m.elem, before.elem);
}

TEST(DistanceToSurface, RunsWithoutACheckOnOpenMixedFaces) {
  // One open quadrilateral, a pentagon, a count entry of 0, and a free node: other entry points
  // reject such a mesh, this one measures it.
  TestMesh m;
  const int32_t a = m.AddNode(0, 0, 0), b = m.AddNode(1, 0, 0), c = m.AddNode(1, 1, 0),
                d = m.AddNode(0, 1, 0);
  m.AddQuad(a, b, c, d);
  m.elem.push_back(0);
  const int32_t p = m.AddNode(0, 0, 1), q = m.AddNode(1, 0, 1), r = m.AddNode(1, 1, 1),
                s = m.AddNode(0.5, 1.5, 1), t = m.AddNode(0, 1, 1);
  m.AddFace({p, q, r, s, t});
  m.AddNode(0.7, 0.3, 0.25);
  int32_t status = -1;
  const std::vector<double> values = Dn2s(m, &status);
  EXPECT_EQ(status, VX_STATUS_OK);
  for (size_t i = 0; i < 9; ++i)
    EXPECT_EQ(values[i], 0.0) << i;
  EXPECT_NEAR(values[9], 2500 / 1.5, 1e-9);  // 0.25 above the quadrilateral, scale 10000 / 1.5
  EXPECT_EQ(values[10], kCanary);
}

TEST(DistanceToSurface, ScaleAndOutsideFlagChangeNothing) {
  TestMesh m = Box(3, 1, 2, 2);
  m.AddNode(1.2, 0.4, 1.1);
  m.AddNode(2.9, 0.5, 0.2);
  int32_t status = -1;
  const std::vector<double> base = Dn2s(m, &status);
  const std::vector<double> flagged = Dn2s(m, &status, 1);
  EXPECT_EQ(flagged, base);
  const std::vector<double> scaled = Dn2s(Scaled(m, 1e-3), &status);
  ASSERT_EQ(scaled.size(), base.size());
  for (size_t i = 0; i < base.size(); ++i)
    EXPECT_NEAR(scaled[i], base[i], 1e-9 * (1 + std::fabs(base[i]))) << i;
}

TEST(DistanceToSurface, NoMeasurableFaceGivesInfinity) {
  TestMesh m;
  m.AddNode(0, 0, 0);
  m.AddNode(1, 2, 3);
  m.AddNode(4, 1, 0);
  m.elem = {2, 0, 1, 0, 1, 2};
  int32_t status = -1;
  const std::vector<double> values = Dn2s(m, &status);
  EXPECT_EQ(status, VX_STATUS_OK);
  for (size_t i = 0; i < 3; ++i)
    EXPECT_EQ(values[i], INFINITY);

  TestMesh empty;
  empty.AddNode(0, 0, 0);
  empty.AddNode(1, 1, 1);
  const std::vector<double> none = Dn2s(empty, &status);
  EXPECT_EQ(status, VX_STATUS_OK);
  EXPECT_EQ(none[0], INFINITY);
  EXPECT_EQ(none[2], kCanary);
}

}  // namespace
}  // namespace vexmor::test
