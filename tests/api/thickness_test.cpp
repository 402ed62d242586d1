// The thickness functions and the gradient through the public interface: what known shapes
// measure, quadrilaterals, the space around a part, and the distance of free points.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "support/meshes.h"
#include "vexmor.h"

namespace vexmor::test {
namespace {

using Thickness = int32_t (*)(int32_t, int32_t, const int32_t*, const double*, double*, uint8_t);

struct Method {
  const char* name;
  Thickness call;
  bool perNode = false;  // one value per node, not per face
};

const Method kLscp{"LSCP", VX_Thickness_Computation_LSCP};
const Method kLsr{"LSR", VX_Thickness_Computation_LSR};
const Method kRay{"ray tracing", VX_Thickness_RayTracing};
const Method kDn2s{"DN2S", VX_Thickness_Computation_DN2S, true};

constexpr double kUnwritten = -12345.678;

// One value per face (per node for DN2S), after checking the status and that nothing was
// written past them.
std::vector<double> Measure(const Method& method, const TestMesh& m, uint8_t outside = 0) {
  // Told by a flag: the addresses of a DLL's functions need not compare equal.
  const size_t size = static_cast<size_t>(method.perNode ? m.nbNodes() : m.nbFaces());
  std::vector<double> out(size + 16, kUnwritten);
  testing::internal::CaptureStdout();
  EXPECT_EQ(
      method.call(m.nbNodes(), m.szelem(), m.elem.data(), m.coords.data(), out.data(), outside),
      VX_STATUS_OK)
      << method.name;
  testing::internal::GetCapturedStdout();
  for (size_t i = size; i < out.size(); ++i)
    EXPECT_EQ(out[i], kUnwritten) << method.name << " wrote past its values at " << i;
  out.resize(size);
  return out;
}

std::vector<double> Gradient(const TestMesh& m, const std::vector<double>& thickness) {
  std::vector<double> out(thickness.size());
  testing::internal::CaptureStdout();
  EXPECT_EQ(VX_Thickness_Gradient(m.nbNodes(), m.szelem(), m.elem.data(), m.coords.data(),
                                  thickness.data(), out.data()),
            VX_STATUS_OK);
  testing::internal::GetCapturedStdout();
  return out;
}

// A plate 10 x 10 x 1 in caller units, 10 divisions per side: the faces of the large walls at
// least 1 from the rim read the plate's thickness; the radius, left in the normalised frame
// (scale 1000), settles within 0.1 % of half of it.
TEST(Thickness, APlateMeasuresItsThicknessByEveryMethod) {
  const TestMesh plate = Box(10, 10, 1, 10);
  const std::vector<int32_t> walls = PlateWallFaces(plate, 10, 10, 1, 1.0);
  ASSERT_EQ(walls.size(), 256u);
  const std::vector<double> lscp = Measure(kLscp, plate), ray = Measure(kRay, plate),
                            lsr = Measure(kLsr, plate);
  for (int32_t face : walls) {
    EXPECT_NEAR(lscp[face], 1.0, 1e-9) << "face " << face;
    EXPECT_NEAR(ray[face], 1.0, 1e-9) << "face " << face;
    EXPECT_NEAR(lsr[face], 500, 0.6) << "face " << face;
  }
  for (size_t face = 0; face < lsr.size(); ++face) {
    EXPECT_GT(lsr[face], 0.0) << "face " << face;
    EXPECT_GT(lscp[face], 0.0) << "face " << face;
  }
}

TEST(Thickness, AQuadrilateralTakesTheThinnerOrForTheGradientTheMeanOfItsTriangles) {
  const TestMesh box = Box(6, 3, 2, 3, /*quads=*/true), split = SplitQuads(box);
  for (const Method& method : {kLscp, kRay}) {
    const std::vector<double> perQuad = Measure(method, box), perTriangle = Measure(method, split);
    for (size_t q = 0; q < perQuad.size(); ++q) {
      EXPECT_EQ(perQuad[q], std::min(perTriangle[2 * q], perTriangle[2 * q + 1]))
          << method.name << " quad " << q;
    }
  }
  std::vector<double> thickness, triangleThickness;
  for (int q = 0; q < box.nbFaces(); ++q) {
    thickness.push_back(1.0 + (q * 7) % 5);
    triangleThickness.insert(triangleThickness.end(), 2, thickness.back());
  }
  const std::vector<double> perQuad = Gradient(box, thickness);
  const std::vector<double> perTriangle = Gradient(split, triangleThickness);
  for (size_t q = 0; q < perQuad.size(); ++q)
    EXPECT_EQ(perQuad[q], (perTriangle[2 * q] + perTriangle[2 * q + 1]) / 2) << "quad " << q;
}

TEST(Thickness, OutsideMeasuresTheSpaceAroundThePartAgainstTheEnclosingBox) {
  // A unit cube: the box around it lies 0.5 beyond every side, which reads negative.
  for (const Method& method : {kLscp, kRay}) {
    for (double v : Measure(method, Cube(), /*outside=*/1))
      EXPECT_NEAR(v, -0.5, 1e-9) << method.name;
  }
  // Two cubes 0.2 apart: the faces across the gap measure it against each other.
  const TestMesh pair = Together(Cube(), Translated(Cube(), 1.2, 0, 0));
  const std::vector<FaceGeometry> faces = FacesOf(pair);
  for (const Method& method : {kLscp, kRay}) {
    const std::vector<double> values = Measure(method, pair, 1);
    int facing = 0;
    for (size_t face = 0; face < faces.size(); ++face) {
      const double x = faces[face].centre[0];
      if (std::fabs(x - 1.0) < 1e-9 || std::fabs(x - 1.2) < 1e-9) {
        ++facing;
        EXPECT_NEAR(values[face], 0.2, 1e-9) << method.name << " face " << face;
      } else {
        EXPECT_LT(values[face], 0.0) << method.name << " face " << face;
      }
    }
    EXPECT_EQ(facing, 4);
  }
  // The radius boxes nothing, yet reads the last 12 faces as the walls of an enclosing box: the
  // spheres that settle against them report negated radii.
  const TestMesh plate = Box(10, 10, 1, 10);
  const std::vector<double> plain = Measure(kLsr, plate, 0), flagged = Measure(kLsr, plate, 1);
  int negated = 0;
  for (size_t i = 0; i < plain.size(); ++i) {
    EXPECT_EQ(std::fabs(flagged[i]), plain[i]) << "face " << i;
    negated += flagged[i] < 0.0 ? 1 : 0;
  }
  EXPECT_GT(negated, 0);
}

TEST(DistanceToSurface, RunsWithoutACheckOnOpenMixedFacesAndSkipsFacesOfFewerThanThree) {
  // An open quadrilateral, a count entry of 0, a pentagon, a two-node face and a free node.
  TestMesh m{{0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, 0, 0, 1, 1, 0, 1, 1, 1, 1, 0.5, 1.5, 1, 0, 1, 1},
             {4, 0, 1, 2, 3, 0, 5, 4, 5, 6, 7, 8}};
  m.AddFace({0, 1});
  m.AddNode(0.7, 0.3, 0.25);
  const std::vector<double> values = Measure(kDn2s, m);
  for (size_t i = 0; i < 9; ++i)
    EXPECT_EQ(values[i], 0.0) << i;
  EXPECT_NEAR(values[9], 2500 / 1.5, 1e-9);  // 0.25 above the quadrilateral, scale 10000 / 1.5
  // Without a face of three or more nodes, every node is infinitely far.
  m.elem = {2, 0, 1, 0, 1, 2};
  for (double v : Measure(kDn2s, m))
    EXPECT_EQ(v, INFINITY);
}

}  // namespace
}  // namespace vexmor::test
