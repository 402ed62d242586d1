// Meshes that are degenerate but legal, one row each: every function finishes with its
// status and with the values that the header promises for the degenerate part, and the rest
// of the part measures as it would without it.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "support/entry_points.h"
#include "support/meshes.h"

namespace vexmor::test {
namespace {

// Every call and its values by the function's name (and flag); values past the function's own
// hold the canary.
struct Measured {
  int32_t status = -1;
  std::vector<double> values;
};
using Results = std::map<std::string, Measured>;

constexpr const char* kDraftCall = "VX_Draft_Angle";
constexpr const char* kDistanceCall = "VX_Thickness_Computation_DN2S";
constexpr const char* kRadiusCall = "VX_Thickness_Computation_LSR";
constexpr const char* kContactCall = "VX_Thickness_Computation_LSCP";
constexpr const char* kRayCall = "VX_Thickness_RayTracing";
// The pull of the entry points, (0.3, -0.2, 0.9), normalised: its x shows a normal of (1, 0, 0).
const double kPullX = 0.3 / std::sqrt(0.94);

Results RunAll(const TestMesh& m) {
  Results r;
  for (const EntryPoint& entry : EveryCall()) {
    Outputs out;
    const int32_t status = entry.call(ArgsOf(m), out);
    r[entry.name] = {status, out.doubles};
  }
  return r;
}

// What holds for every mesh that a function accepts: no NaN, and each value in its range.
void ExpectDefinedValues(const Results& results) {
  for (const auto& [name, call] : results) {
    if (call.status != VX_STATUS_OK) continue;
    const bool isSigned = name.ends_with("signed"), outside = name.find("outside") < name.size();
    for (double v : call.values) {
      if (v == kCanary) continue;
      ASSERT_FALSE(std::isnan(v)) << name;
      if (name == kDraftCall) {
        EXPECT_TRUE(v >= -1.0 && v <= 1.0) << name << " " << v;
      } else if (name.starts_with("VX_Edge_Diedral_Angle") ||
                 (name.starts_with("VX_Diedral_Angle") && std::fabs(v) != DBL_MAX)) {
        EXPECT_TRUE(v <= 180.0 && v >= (isSigned ? -180.0 : 0.0)) << name << " " << v;
      } else if (name == kDistanceCall) {
        EXPECT_GE(v, 0.0) << name;
      } else if (!outside) {
        EXPECT_TRUE(std::isfinite(v) && v >= 0.0) << name << " " << v;
      }
    }
  }
}

// The status of every function: `checked` for all but the distance, which runs no check.
void ExpectStatuses(const Results& results, int32_t checked) {
  for (const auto& [name, call] : results)
    EXPECT_EQ(call.status, name == kDistanceCall ? VX_STATUS_OK : checked) << name;
}

// Face fa of a and face fb of b measure the same, up to `relative`: the radius, given in the
// normalised frame, times `frame` (the ratio of the two frames' scales).
void ExpectFaceMatches(const Results& a, const Results& b, int32_t fa, int32_t fb, double frame,
                       double relative) {
  for (const std::string name : {kDraftCall, kRadiusCall, kContactCall, kRayCall}) {
    const double va = a.at(name).values[static_cast<size_t>(fa)];
    const double vb = b.at(name).values[static_cast<size_t>(fb)];
    const bool sphere = name == kRadiusCall || name == kContactCall;  // settles within 0.1 %
    const double scale = name == kRadiusCall ? frame : 1.0, tolerance = sphere ? 2e-3 : relative;
    EXPECT_NEAR(vb, va * scale, tolerance * std::fabs(va * scale) + 1e-12)
        << name << " face " << fb;
  }
}

struct DegenerateCase {
  std::string name;
  TestMesh mesh;
  std::function<void(const TestMesh&, const Results&)> expect;
};

TEST(DegenerateMeshes, FinishWithTheValuesTheHeaderDefines) {
  const TestMesh plainBox = Box(2, 1, 1, 2);
  const Results box = RunAll(plainBox);

  TestMesh duplicated = plainBox;
  duplicated.elem.insert(duplicated.elem.end(), plainBox.elem.begin(), plainBox.elem.begin() + 4);
  // Two boxes meeting at one corner, each with its own node there.
  TestMesh cornerToCorner = Box(1, 1, 1);
  cornerToCorner.Append(Box(1, 1, 1, 1, false, 1, 1, 1));
  // A 1-thick shell: a 3-cube around a 1-cube, which is a cavity.
  TestMesh nested = Box(3, 3, 3, 3);
  const int32_t outerFaces = nested.nbFaces();
  nested.Append(Box(1, 1, 1, 1, false, 1, 1, 1));
  // Two 2-cubes overlapping in a 1.5 x 1.5 x 1 box.
  TestMesh intersecting = Box(2, 2, 2);
  intersecting.Append(Box(2, 2, 2, 1, false, 0.5, 0.5, 1));

  const std::vector<DegenerateCase> cases = {
      {"a zero-area triangle", WithSliver(plainBox, 3),
       [&](const TestMesh& m, const Results& r) {
         ExpectStatuses(r, VX_STATUS_OK);
         const int32_t sliver = m.nbFaces() - 1;
         // No normal: the draft takes (1, 0, 0); the ray is not cast, and the sphere does not
         // grow from its starting radius, about 1e-16 of the part's size.
         EXPECT_DOUBLE_EQ(r.at(kDraftCall).values[sliver], kPullX);
         EXPECT_EQ(r.at(kRayCall).values[sliver], 0.0);
         EXPECT_LT(r.at(kContactCall).values[sliver], 1e-12);
         EXPECT_LT(r.at(kRadiusCall).values[sliver], 1e-12 * 10000);
         // Faces away from it measure as in the box without it.
         for (int32_t f = 0; f < plainBox.nbFaces(); ++f) {
           if (f != 3) ExpectFaceMatches(box, r, f, f, 1.0, 1e-12);
         }
       }},
      {"a needle triangle", WithSliver(plainBox, 3, 1e-6),
       [&](const TestMesh& m, const Results& r) {
         ExpectStatuses(r, VX_STATUS_OK);
         const int32_t needle = m.nbFaces() - 1;
         EXPECT_NEAR(r.at(kDraftCall).values[needle], r.at(kDraftCall).values[3], 1e-9);
         for (int32_t f = 0; f < plainBox.nbFaces(); ++f) {
           if (f != 3) ExpectFaceMatches(box, r, f, f, 1.0, 1e-12);
         }
       }},
      {"a duplicated face", duplicated,
       [&](const TestMesh&, const Results& r) {
         // Three faces on one edge: not a closed manifold surface.
         ExpectStatuses(r, VX_STATUS_MESH_REJECTED);
         for (int32_t node = 0; node < plainBox.nbNodes(); ++node)
           EXPECT_EQ(r.at(kDistanceCall).values[node], 0.0);
       }},
      {"coincident nodes where two bodies touch", cornerToCorner,
       [&](const TestMesh& m, const Results& r) {
         ExpectStatuses(r, VX_STATUS_OK);
         // Each body is turned outwards on its own and measures its own 1-cube; the two span a
         // frame twice as large.
         const Results cube = RunAll(Box(1, 1, 1));
         for (int32_t f = 0; f < m.nbFaces(); ++f)
           ExpectFaceMatches(cube, r, f % 12, f, 0.5, 1e-9);
       }},
      {"a closed body nested in another", nested,
       [&](const TestMesh& m, const Results& r) {
         ExpectStatuses(r, VX_STATUS_OK);
         // The inner surface bounds a cavity: its faces look into it, and the wall between the
         // two surfaces is 1 thick.
         for (int32_t f = outerFaces; f < m.nbFaces(); ++f) {
           EXPECT_NEAR(r.at(kRayCall).values[f], 1.0, 1e-9) << f;
           EXPECT_NEAR(r.at(kContactCall).values[f], 1.0, 2e-3) << f;
         }
         // The cavity's ceiling looks down.
         EXPECT_NEAR(r.at(kDraftCall).values[outerFaces + 8], -0.9 / std::sqrt(0.94), 1e-12);
         // The middle cell of each outer side faces the cavity across the wall.
         EXPECT_NEAR(r.at(kRayCall).values[8], 1.0, 1e-9);
       }},
      {"two closed bodies that intersect", intersecting,
       [&](const TestMesh&, const Results& r) {
         ExpectStatuses(r, VX_STATUS_OK);
         // The bodies are not merged: the faces of one are walls for the other, so the first
         // body's top, inside the second, measures 1 down to the second body's bottom.
         EXPECT_NEAR(r.at(kDraftCall).values[8], 0.9 / std::sqrt(0.94), 1e-12);
         for (int32_t f : {8, 9})
           EXPECT_NEAR(r.at(kRayCall).values[f], 1.0, 1e-9) << f;
       }},
  };
  for (const DegenerateCase& c : cases) {
    SCOPED_TRACE(c.name);
    const Results results = RunAll(c.mesh);
    ExpectDefinedValues(results);
    c.expect(c.mesh, results);
  }
}

}  // namespace
}  // namespace vexmor::test
