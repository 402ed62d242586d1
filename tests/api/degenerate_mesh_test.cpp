// Meshes that are degenerate but legal, one row each: every function finishes with its
// status and with the values that the header promises for the degenerate part, and the rest
// of the part measures as it would without it.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "support/meshes.h"
#include "vexmor.h"

namespace vexmor::test {
namespace {

// The eight functions, and those whose flag changes the path, by short names.
struct Call {
  int32_t status = -1;
  std::vector<double> values;
};
using Results = std::map<std::string, Call>;

// A pull direction with all three components, so that a normal of (1, 0, 0) shows.
constexpr double kPull[3] = {0.6, 0.0, 0.8};

Results RunAll(const TestMesh& m) {
  const int32_t n = m.nbNodes(), sz = m.szelem(), faces = m.nbFaces();
  const int32_t* e = m.elem.data();
  const double* xyz = m.coords.data();
  const size_t edges = static_cast<size_t>(sz) * 3 / 8;
  Results r;
  auto call = [&](const std::string& name, size_t size, auto&& f) {
    Call& c = r[name];
    c.values.assign(size, 0.0);
    c.status = f(c.values.data());
  };
  for (uint32_t mode : {0u, 1u}) {
    const std::string suffix = mode == 1 ? " signed" : "";
    call("node angles" + suffix, n,
         [&](double* out) { return VX_Diedral_Angle(n, sz, e, xyz, out, mode); });
    std::vector<int32_t> edgeNodes(2 * edges);
    uint32_t count = 0;
    call("edge angles" + suffix, edges, [&](double* out) {
      return VX_Edge_Diedral_Angle(n, sz, e, xyz, &count, edgeNodes.data(), out, mode);
    });
  }
  call("draft", faces, [&](double* out) { return VX_Draft_Angle(n, sz, e, xyz, out, kPull); });
  call("distance", n,
       [&](double* out) { return VX_Thickness_Computation_DN2S(n, sz, e, xyz, out, 0); });
  call("radius", faces,
       [&](double* out) { return VX_Thickness_Computation_LSR(n, sz, e, xyz, out, 0); });
  for (uint8_t outside : {0, 1}) {
    const std::string suffix = outside == 1 ? " outside" : "";
    call("contact" + suffix, faces,
         [&](double* out) { return VX_Thickness_Computation_LSCP(n, sz, e, xyz, out, outside); });
    call("ray" + suffix, faces,
         [&](double* out) { return VX_Thickness_RayTracing(n, sz, e, xyz, out, outside); });
  }
  std::vector<double> thickness(static_cast<size_t>(faces));
  for (size_t i = 0; i < thickness.size(); ++i)
    thickness[i] = 1.0 + static_cast<double>(i % 7);
  call("gradient", faces,
       [&](double* out) { return VX_Thickness_Gradient(n, sz, e, xyz, thickness.data(), out); });
  return r;
}

// What holds for every mesh that a function accepts: no NaN, and each value in its range.
void ExpectDefinedValues(const Results& results) {
  for (const auto& [name, call] : results) {
    if (call.status != VX_STATUS_OK) continue;
    const bool isSigned = name.ends_with("signed"), outside = name.ends_with("outside");
    for (double v : call.values) {
      ASSERT_FALSE(std::isnan(v)) << name;
      if (name == "draft") {
        EXPECT_TRUE(v >= -1.0 && v <= 1.0) << name << " " << v;
      } else if (name.starts_with("edge angles") ||
                 (name.starts_with("node angles") && std::fabs(v) != DBL_MAX)) {
        EXPECT_TRUE(v <= 180.0 && v >= (isSigned ? -180.0 : 0.0)) << name << " " << v;
      } else if (name == "distance") {
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
    EXPECT_EQ(call.status, name == "distance" ? VX_STATUS_OK : checked) << name;
}

// Face fa of a and face fb of b measure the same, up to `relative`: the radius, given in the
// normalised frame, times `frame` (the ratio of the two frames' scales).
void ExpectFaceMatches(const Results& a, const Results& b, int32_t fa, int32_t fb, double frame,
                       double relative) {
  for (const char* name : {"draft", "radius", "contact", "ray"}) {
    const double va = a.at(name).values[static_cast<size_t>(fa)];
    const double vb = b.at(name).values[static_cast<size_t>(fb)];
    const double scale = std::string(name) == "radius" ? frame : 1.0;
    const double tolerance = std::string(name) == "radius" || std::string(name) == "contact"
                                 ? 2e-3  // the sphere settles within 0.1 %
                                 : relative;
    EXPECT_NEAR(vb, va * scale, tolerance * std::fabs(va * scale) + 1e-12)
        << name << " face " << fb;
  }
}

// All results of b are those of a, lengths in caller units times k.
void ExpectSameResults(const Results& a, const Results& b, double k, double relative) {
  for (const auto& [name, call] : a) {
    ASSERT_EQ(b.at(name).status, call.status) << name;
    const bool length = name.starts_with("contact") || name.starts_with("ray");
    const bool sphere = name.starts_with("contact") || name == "radius";
    const double tolerance = sphere ? 2e-3 : relative;
    for (size_t i = 0; i < call.values.size(); ++i) {
      const double expected = call.values[i] * (length ? k : 1.0);
      EXPECT_NEAR(b.at(name).values[i], expected, tolerance * std::fabs(expected) + 1e-9)
          << name << " " << i;
    }
  }
}

// A closed box of two triangles per cell, whose face 3 is cut at the middle of its first side
// and closed by a triangle along that side: zero-area when `lift` is 0, a needle of height
// lift times the distance to the opposite corner otherwise. The new triangle is the last face.
TestMesh BoxWithThinTriangle(double lift) {
  TestMesh mesh = Box(2, 1, 1, 2);
  const size_t p = 4 * 3;
  const int32_t a = mesh.elem[p + 1], b = mesh.elem[p + 2], c = mesh.elem[p + 3];
  double m[3];
  for (int k = 0; k < 3; ++k) {
    const double mid = (mesh.coords[3 * a + k] + mesh.coords[3 * b + k]) / 2;
    m[k] = mid + lift * (mesh.coords[3 * c + k] - mid);
  }
  const int32_t mi = mesh.AddNode(m[0], m[1], m[2]);
  mesh.elem[p + 2] = mi;
  mesh.AddTriangle(mi, b, c);
  mesh.AddTriangle(a, b, mi);
  return mesh;
}

struct DegenerateCase {
  std::string name;
  TestMesh mesh;
  std::function<void(const TestMesh&, const Results&)> expect;
};

TEST(DegenerateMeshes, FinishWithTheValuesTheHeaderDefines) {
  const TestMesh plainBox = Box(2, 1, 1, 2);
  const Results box = RunAll(plainBox);
  const TestMesh wedge = Wedge(3, 1, 1.5, 3);
  const Results base = RunAll(wedge);

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
      {"a zero-area triangle", BoxWithThinTriangle(0.0),
       [&](const TestMesh& m, const Results& r) {
         ExpectStatuses(r, VX_STATUS_OK);
         const int32_t sliver = m.nbFaces() - 1;
         // No normal: the draft takes (1, 0, 0); the ray is not cast, and the sphere does not
         // grow from its starting radius, about 1e-16 of the part's size.
         EXPECT_EQ(r.at("draft").values[sliver], kPull[0]);
         EXPECT_EQ(r.at("ray").values[sliver], 0.0);
         EXPECT_LT(r.at("contact").values[sliver], 1e-12);
         EXPECT_LT(r.at("radius").values[sliver], 1e-12 * 10000);
         // Faces away from it measure as in the box without it.
         for (int32_t f = 0; f < plainBox.nbFaces(); ++f) {
           if (f != 3) ExpectFaceMatches(box, r, f, f, 1.0, 1e-12);
         }
       }},
      {"a needle triangle", BoxWithThinTriangle(1e-6),
       [&](const TestMesh& m, const Results& r) {
         ExpectStatuses(r, VX_STATUS_OK);
         const int32_t needle = m.nbFaces() - 1;
         EXPECT_NEAR(r.at("draft").values[needle], r.at("draft").values[3], 1e-9);
         for (int32_t f = 0; f < plainBox.nbFaces(); ++f) {
           if (f != 3) ExpectFaceMatches(box, r, f, f, 1.0, 1e-12);
         }
       }},
      {"a duplicated face", duplicated,
       [&](const TestMesh&, const Results& r) {
         // Three faces on one edge: not a closed manifold surface.
         ExpectStatuses(r, VX_STATUS_MESH_REJECTED);
         for (double d : r.at("distance").values)
           EXPECT_EQ(d, 0.0);
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
           EXPECT_NEAR(r.at("ray").values[f], 1.0, 1e-9) << f;
           EXPECT_NEAR(r.at("contact").values[f], 1.0, 2e-3) << f;
         }
         const std::vector<double>& draft = r.at("draft").values;
         EXPECT_NEAR(draft[outerFaces + 8], -0.8, 1e-12);  // the cavity's ceiling looks down
         // The middle cell of each outer side faces the cavity across the wall.
         EXPECT_NEAR(r.at("ray").values[8], 1.0, 1e-9);
       }},
      {"two closed bodies that intersect", intersecting,
       [&](const TestMesh&, const Results& r) {
         ExpectStatuses(r, VX_STATUS_OK);
         // The bodies are not merged: the faces of one are walls for the other, so the first
         // body's top, inside the second, measures 1 down to the second body's bottom.
         EXPECT_NEAR(r.at("draft").values[8], 0.8, 1e-12);
         for (int32_t f : {8, 9})
           EXPECT_NEAR(r.at("ray").values[f], 1.0, 1e-9) << f;
       }},
      {"a part 1e-9 in size", Scaled(wedge, 1e-9),
       [&](const TestMesh&, const Results& r) { ExpectSameResults(base, r, 1e-9, 1e-9); }},
      {"a part 1e9 in size", Scaled(wedge, 1e9),
       [&](const TestMesh&, const Results& r) { ExpectSameResults(base, r, 1e9, 1e-9); }},
      {"a part 1e8 from the origin", Translated(wedge, 1e8, -1e8, 1e8),
       [&](const TestMesh&, const Results& r) { ExpectSameResults(base, r, 1.0, 1e-6); }},
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
