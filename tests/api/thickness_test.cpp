// The thickness functions and the gradient through the public interface: what known shapes
// measure, quadrilaterals, the space around a part, and the distance of free points.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "support/entry_points.h"
#include "support/meshes.h"

namespace vexmor::test {
namespace {

constexpr const char* kLscp = "VX_Thickness_Computation_LSCP";
constexpr const char* kLsr = "VX_Thickness_Computation_LSR";
constexpr const char* kRay = "VX_Thickness_RayTracing";
constexpr const char* kDn2s = "VX_Thickness_Computation_DN2S";

// One value per face (per node for DN2S) from the named function, after checking the status and
// that nothing was written past them.
std::vector<double> Measure(const std::string& method, const TestMesh& m, uint8_t outside = 0) {
  const size_t size = static_cast<size_t>(method == kDn2s ? m.nbNodes() : m.nbFaces());
  Outputs out;
  for (const EntryPoint& entry : AllEntryPoints(outside)) {
    if (entry.name.rfind(method, 0) != 0) continue;
    testing::internal::CaptureStdout();
    EXPECT_EQ(entry.call(ArgsOf(m), out), VX_STATUS_OK) << method;
    testing::internal::GetCapturedStdout();
  }
  const auto untouched = std::count(out.doubles.begin() + size, out.doubles.end(), kCanary);
  EXPECT_EQ(static_cast<size_t>(untouched), out.doubles.size() - size)
      << method << " wrote past its values";
  out.doubles.resize(size);
  return out.doubles;
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
  const std::vector<double> lscp = Measure(kLscp, plate), ray = Measure(kRay, plate),
                            lsr = Measure(kLsr, plate);
  const auto centres = FaceCentres(plate);
  size_t walls = 0;
  for (size_t face = 0; face < centres.size(); ++face) {
    EXPECT_GT(lsr[face], 0.0) << "face " << face;
    EXPECT_GT(lscp[face], 0.0) << "face " << face;
    const auto [x, y, z] = centres[face];
    if ((z != 0 && z != 1) || x < 1 || x > 9 || y < 1 || y > 9) continue;
    ++walls;
    EXPECT_NEAR(lscp[face], 1.0, 1e-9) << "face " << face;
    EXPECT_NEAR(ray[face], 1.0, 1e-9) << "face " << face;
    EXPECT_NEAR(lsr[face], 500, 0.6) << "face " << face;
  }
  EXPECT_EQ(walls, 256u);
}

TEST(Thickness, AQuadrilateralTakesTheThinnerOrForTheGradientTheMeanOfItsTriangles) {
  const TestMesh box = Box(6, 3, 2, 3, /*quads=*/true), split = SplitQuads(box);
  for (const char* method : {kLscp, kRay}) {
    const std::vector<double> perQuad = Measure(method, box), perTriangle = Measure(method, split);
    for (size_t q = 0; q < perQuad.size(); ++q) {
      EXPECT_EQ(perQuad[q], std::min(perTriangle[2 * q], perTriangle[2 * q + 1]))
          << method << " quad " << q;
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
  for (const char* method : {kLscp, kRay}) {
    for (double v : Measure(method, Cube(), /*outside=*/1))
      EXPECT_NEAR(v, -0.5, 1e-9) << method;
  }
  // Two cubes 0.2 apart: the faces across the gap measure it against each other.
  const TestMesh pair = Together(Cube(), Translated(Cube(), 1.2, 0, 0));
  const auto centres = FaceCentres(pair);
  for (const char* method : {kLscp, kRay}) {
    const std::vector<double> values = Measure(method, pair, 1);
    int facing = 0;
    for (size_t face = 0; face < centres.size(); ++face) {
      const double x = centres[face][0];
      if (std::fabs(x - 1.0) < 1e-9 || std::fabs(x - 1.2) < 1e-9) {
        ++facing;
        EXPECT_NEAR(values[face], 0.2, 1e-9) << method << " face " << face;
      } else {
        EXPECT_LT(values[face], 0.0) << method << " face " << face;
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
  // A lone triangle: its count entry, 3, is no node of a mesh of three nodes, and is not read
  // as one.
  for (double v : Measure(kDn2s, TestMesh{{0, 0, 0, 1, 0, 0, 0, 1, 0}, {3, 0, 1, 2}}))
    EXPECT_EQ(v, 0.0);
}

}  // namespace
}  // namespace vexmor::test
