// The thickness functions and the gradient through the public interface: what a plate
// measures, how results follow the caller's length unit, quadrilaterals, the space around a
// part, and the arrays the caller hands over.
#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "support/mesh_fixtures.h"
#include "support/thickness_fixtures.h"
#include "vexmor.h"

namespace vexmor::test {
namespace {

using Thickness = int32_t (*)(int32_t, int32_t, const int32_t*, const double*, double*, uint8_t);

struct Method {
  const char* name;
  Thickness call;
};

const Method kLscp{"LSCP", VX_Thickness_Computation_LSCP};
const Method kLsr{"LSR", VX_Thickness_Computation_LSR};
const Method kRay{"ray tracing", VX_Thickness_RayTracing};

constexpr double kUnwritten = -12345.678;

// One value per caller face, after checking that the call succeeded and wrote nothing past
// them.
std::vector<double> Measure(const Method& method, const TestMesh& m, uint8_t outside = 0,
                            double fill = kUnwritten) {
  const size_t faces = static_cast<size_t>(m.nbFaces());
  std::vector<double> out(faces + 16, fill);
  EXPECT_EQ(
      method.call(m.nbNodes(), m.szelem(), m.elem.data(), m.coords.data(), out.data(), outside),
      VX_STATUS_OK)
      << method.name;
  for (size_t i = faces; i < out.size(); ++i) {
    EXPECT_TRUE(out[i] == fill || (std::isnan(out[i]) && std::isnan(fill)))
        << method.name << " wrote past the caller faces at " << i;
  }
  out.resize(faces);
  return out;
}

std::vector<double> Gradient(const TestMesh& m, const std::vector<double>& thickness) {
  std::vector<double> out(thickness.size() + 16, kUnwritten);
  EXPECT_EQ(VX_Thickness_Gradient(m.nbNodes(), m.szelem(), m.elem.data(), m.coords.data(),
                                  thickness.data(), out.data()),
            VX_STATUS_OK);
  for (size_t i = thickness.size(); i < out.size(); ++i)
    EXPECT_EQ(out[i], kUnwritten);
  out.resize(thickness.size());
  return out;
}

// A plate 10 x 10 x 1 in caller units, 10 divisions per side: faces of the large walls at
// least 1 from the rim read the plate's thickness.
TEST(ThicknessApi, APlateMeasuresItsThickness) {
  const TestMesh plate = Box(10, 10, 1, 10);
  const std::vector<int32_t> walls = PlateWallFaces(plate, 10, 10, 1, 1.0);
  ASSERT_EQ(walls.size(), 256u);
  const std::vector<double> lscp = Measure(kLscp, plate), ray = Measure(kRay, plate);
  const std::vector<double> lsr = Measure(kLsr, plate);
  const double scale = 10000 / 10.0;
  for (int32_t face : walls) {
    EXPECT_NEAR(lscp[face], 1.0, 1e-9) << "face " << face;
    EXPECT_NEAR(ray[face], 1.0, 1e-9) << "face " << face;
    // The radius is left in the normalised frame and settles within 0.1 %.
    EXPECT_NEAR(lsr[face], 0.5 * scale, 0.5 * scale * 1.2e-3) << "face " << face;
  }
}

void ExpectClose(const std::vector<double>& a, const std::vector<double>& b, double relative,
                 const char* what) {
  ASSERT_EQ(a.size(), b.size());
  for (size_t i = 0; i < a.size(); ++i)
    EXPECT_NEAR(a[i], b[i], relative * std::fabs(b[i]) + 1e-12) << what << " face " << i;
}

TEST(ThicknessApi, FollowsTheCallerUnitAndIgnoresWhereThePartLies) {
  const TestMesh wedge = Wedge(10, 4, 3, 8);
  const double k = 2.5;
  const TestMesh scaled = Scaled(wedge, k);
  const TestMesh moved = Translated(wedge, 123.25, -7.5, 1e3);

  const std::vector<double> lscp = Measure(kLscp, wedge), ray = Measure(kRay, wedge);
  const std::vector<double> lsr = Measure(kLsr, wedge);
  std::vector<double> lscpTimesK = lscp, rayTimesK = ray;
  for (double& v : lscpTimesK)
    v *= k;
  for (double& v : rayTimesK)
    v *= k;
  // Contact distances and rays scale with the part; the radius, in the normalised frame,
  // does not. Refinement stops within 0.1 %, so rounding may move a sphere by that much.
  ExpectClose(Measure(kLscp, scaled), lscpTimesK, 2e-3, "LSCP scaled");
  ExpectClose(Measure(kRay, scaled), rayTimesK, 1e-9, "ray scaled");
  ExpectClose(Measure(kLsr, scaled), lsr, 2e-3, "LSR scaled");
  ExpectClose(Measure(kLscp, moved), lscp, 2e-3, "LSCP moved");
  ExpectClose(Measure(kRay, moved), ray, 1e-9, "ray moved");
  ExpectClose(Measure(kLsr, moved), lsr, 2e-3, "LSR moved");
}

TEST(ThicknessApi, APartFarSmallerThanItsNodeBoxMeasuresAsItself) {
  // One stray unused node makes the part a millionth of its node box: the probes that look for
  // the part from the box's corners march a million of the part's edges through empty space.
  const TestMesh wedge = Wedge(10, 4, 3, 8);
  TestMesh stray = wedge;
  stray.AddNode(3e6, -2e6, 1e6);
  ExpectClose(Measure(kRay, stray), Measure(kRay, wedge), 1e-9, "ray with a stray node");
  ExpectClose(Measure(kLscp, stray), Measure(kLscp, wedge), 2e-3, "LSCP with a stray node");
}

TEST(ThicknessApi, GivesAQuadrilateralTheThinnerOrTheMeanOfItsTriangles) {
  const TestMesh box = Box(6, 3, 2, 3, /*quads=*/true);
  std::vector<int32_t> triFace;
  const TestMesh split = SplitQuads(box, &triFace);
  for (const Method& method : {kLscp, kRay}) {
    const std::vector<double> perQuad = Measure(method, box);
    const std::vector<double> perTriangle = Measure(method, split);
    ASSERT_EQ(perQuad.size(), static_cast<size_t>(box.nbFaces()));
    for (size_t q = 0; q < perQuad.size(); ++q) {
      EXPECT_EQ(perQuad[q], std::min(perTriangle[2 * q], perTriangle[2 * q + 1]))
          << method.name << " quad " << q;
    }
  }
  std::vector<double> thickness(static_cast<size_t>(box.nbFaces()));
  for (size_t q = 0; q < thickness.size(); ++q)
    thickness[q] = 1.0 + static_cast<double>((q * 7) % 5);
  std::vector<double> triangleThickness;
  for (int32_t face : triFace)
    triangleThickness.push_back(thickness[static_cast<size_t>(face)]);
  const std::vector<double> perQuad = Gradient(box, thickness);
  const std::vector<double> perTriangle = Gradient(split, triangleThickness);
  for (size_t q = 0; q < perQuad.size(); ++q)
    EXPECT_EQ(perQuad[q], (perTriangle[2 * q] + perTriangle[2 * q + 1]) / 2) << "quad " << q;
}

TEST(ThicknessApi, MeasuresTheSpaceAroundThePartAgainstTheEnclosingBox) {
  // A unit cube: the box around it lies 0.5 beyond every side.
  const TestMesh cube = Cube();
  for (const Method& method : {kLscp, kRay}) {
    for (double v : Measure(method, cube, /*outside=*/1))
      EXPECT_NEAR(v, -0.5, 1e-9) << method.name;
  }
  // Two cubes 0.2 apart: the faces across the gap measure it against each other, the rest
  // against the box.
  TestMesh pair = Cube();
  pair.Append(Translated(Cube(), 1.2, 0, 0));
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
}

TEST(ThicknessApi, RadiusWithOutsideBoxesNothingButMarksTheLastTwelveFaces) {
  // The radius never turns or boxes the part, yet the flag still reads the last 12 faces as the
  // walls of an enclosing box: the spheres that settle against them report negated radii.
  const TestMesh plate = Box(10, 10, 1, 10);
  const std::vector<double> plain = Measure(kLsr, plate, 0);
  const std::vector<double> flagged = Measure(kLsr, plate, 1);
  int negated = 0;
  for (size_t i = 0; i < plain.size(); ++i) {
    EXPECT_GT(plain[i], 0.0) << "face " << i;
    EXPECT_EQ(std::fabs(flagged[i]), plain[i]) << "face " << i;
    negated += flagged[i] < 0.0 ? 1 : 0;
  }
  EXPECT_GT(negated, 0);
}

TEST(ThicknessApi, NeverReadsWhatTheOutputArrayHeld) {
  const TestMesh wedge = Wedge(10, 4, 3, 4);
  for (const Method& method : {kLscp, kLsr, kRay}) {
    for (uint8_t outside : {0, 1}) {
      const std::vector<double> a = Measure(method, wedge, outside, 0.0);
      const std::vector<double> b = Measure(method, wedge, outside, std::nan(""));
      for (size_t i = 0; i < a.size(); ++i)
        EXPECT_EQ(a[i], b[i]) << method.name << " face " << i;
    }
  }
}

TEST(ThicknessApi, DoesNotDependOnTheCallersWinding) {
  // The check turns every closed volume outwards first: a part wound inwards, or with a few
  // faces turned, measures like the part wound outwards.
  const TestMesh wedge = Wedge(10, 4, 3, 6);
  TestMesh mixed = wedge;
  for (size_t face : {0u, 5u, 11u})
    std::swap(mixed.elem[4 * face + 2], mixed.elem[4 * face + 3]);
  for (const Method& method : {kLscp, kLsr, kRay}) {
    const std::vector<double> reference = Measure(method, wedge);
    for (const TestMesh& other : {Rewound(wedge), mixed}) {
      const std::vector<double> values = Measure(method, other);
      for (size_t i = 0; i < values.size(); ++i)
        EXPECT_EQ(values[i], reference[i]) << method.name << " face " << i;
    }
  }
}

// Meshes that the check refuses, with the reason.
struct Refused {
  const char* what;
  TestMesh mesh;
};

std::vector<Refused> RefusedMeshes() {
  TestMesh open = Box(2, 1, 1, 2);
  open.elem.resize(open.elem.size() - 4);
  TestMesh fin = Box(2, 1, 1, 1);  // a third face on one edge
  fin.AddTriangle(fin.elem[1], fin.elem[2], fin.AddNode(5, 5, 5));
  // A closed pentagonal prism: two pentagons and five quadrilaterals.
  TestMesh prism;
  for (int level = 0; level < 2; ++level) {
    for (int i = 0; i < 5; ++i)
      prism.AddNode(std::cos(2 * M_PI * i / 5), std::sin(2 * M_PI * i / 5), level);
  }
  prism.AddFace({0, 4, 3, 2, 1});
  prism.AddFace({5, 6, 7, 8, 9});
  for (int i = 0; i < 5; ++i)
    prism.AddQuad(i, (i + 1) % 5, 5 + (i + 1) % 5, 5 + i);
  return {{"open", open}, {"non-manifold", fin}, {"pentagonal prism", prism}};
}

TEST(ThicknessApi, RefusedMeshesGetStatusTwoAndNothingWritten) {
  for (const Refused& refused : RefusedMeshes()) {
    const TestMesh& m = refused.mesh;
    for (const Method& method : {kLscp, kLsr, kRay}) {
      for (uint8_t outside : {0, 1}) {
        std::vector<double> out(static_cast<size_t>(m.nbFaces()) + 16, kUnwritten);
        EXPECT_EQ(method.call(m.nbNodes(), m.szelem(), m.elem.data(), m.coords.data(), out.data(),
                              outside),
                  VX_STATUS_MESH_REJECTED)
            << method.name << " on " << refused.what;
        for (double v : out)
          EXPECT_EQ(v, kUnwritten) << method.name << " on " << refused.what;
      }
    }
    const std::vector<double> thickness(static_cast<size_t>(m.nbFaces()), 1.0);
    std::vector<double> gradient(thickness.size() + 16, kUnwritten);
    EXPECT_EQ(VX_Thickness_Gradient(m.nbNodes(), m.szelem(), m.elem.data(), m.coords.data(),
                                    thickness.data(), gradient.data()),
              VX_STATUS_MESH_REJECTED)
        << "gradient on " << refused.what;
    for (double v : gradient)
      EXPECT_EQ(v, kUnwritten) << "gradient on " << refused.what;
  }
  // The radius does not split quadrilaterals; the other three accept them.
  const TestMesh quads = Box(2, 1, 1, 2, /*quads=*/true);
  std::vector<double> out(static_cast<size_t>(quads.nbFaces()), kUnwritten);
  EXPECT_EQ(VX_Thickness_Computation_LSR(quads.nbNodes(), quads.szelem(), quads.elem.data(),
                                         quads.coords.data(), out.data(), 0),
            VX_STATUS_MESH_REJECTED);
  for (double v : out)
    EXPECT_EQ(v, kUnwritten);
  for (const Method& method : {kLscp, kRay})
    Measure(method, quads);
}

TEST(ThicknessApi, GradientOfAUniformThicknessIsZero) {
  const TestMesh torus = Torus(10, 6);
  const std::vector<double> thickness(static_cast<size_t>(torus.nbFaces()), 3.0);
  for (double g : Gradient(torus, thickness))
    EXPECT_EQ(g, 0.0);
}

}  // namespace
}  // namespace vexmor::test
