// What every entry point answers to input it cannot or will not analyse: a status, nothing
// written, the caller's arrays as they were, and no access outside them (the sanitizers watch
// the exact-size copies used here).
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <random>

#include "support/entry_points.h"
#include "support/meshes.h"

namespace vexmor::test {
namespace {

// Calls `entry` on exact-size copies of the mesh; checks that the inputs come back bit for bit
// (NaN coordinates included) and that a refusal writes nothing. Returns the status.
int32_t CallOnCopies(const EntryPoint& entry, const TestMesh& m, MeshArgs args) {
  const TestMesh copy = m;
  if (args.coordinates != nullptr) args.coordinates = copy.coords.data();
  if (args.connectivity != nullptr) args.connectivity = copy.elem.data();
  Outputs out;
  const int32_t status = entry.call(args, out);
  EXPECT_GE(status, VX_STATUS_OK);
  EXPECT_LE(status, VX_STATUS_INVALID_INPUT);
  EXPECT_TRUE(status < VX_STATUS_MESH_REJECTED || out.IsUntouched());
  EXPECT_TRUE(m.coords.empty() || std::memcmp(copy.coords.data(), m.coords.data(),
                                              m.coords.size() * sizeof(double)) == 0);
  EXPECT_EQ(copy.elem, m.elem);
  return status;
}

struct Broken {
  std::string what;
  TestMesh mesh;
  MeshArgs args;
};

std::vector<Broken> BrokenInputs() {
  const TestMesh cube = Cube();
  std::vector<Broken> cases;
  auto add = [&](const std::string& what, auto&& edit) {
    Broken b{what, cube, {}};
    b.args = ArgsOf(b.mesh);
    edit(b.mesh, b.args);
    if (b.args.szelem >= 0 && b.args.connectivity != nullptr) b.args.szelem = b.mesh.szelem();
    if (b.args.nbNodes >= 0 && b.args.coordinates != nullptr) b.args.nbNodes = b.mesh.nbNodes();
    cases.push_back(b);
  };
  add("negative nbNodes", [](TestMesh&, MeshArgs& a) { a.nbNodes = -8; });
  add("negative szelem", [](TestMesh&, MeshArgs& a) { a.szelem = -1; });
  add("null connectivity", [](TestMesh&, MeshArgs& a) { a.connectivity = nullptr; });
  add("null coordinates", [](TestMesh&, MeshArgs& a) { a.coordinates = nullptr; });
  add("last face past szelem", [](TestMesh& m, MeshArgs&) { m.elem.pop_back(); });
  add("count entry far past szelem", [](TestMesh& m, MeshArgs&) { m.elem[4] = INT32_MAX; });
  add("node number nbNodes", [](TestMesh& m, MeshArgs&) { m.elem[2] = m.nbNodes(); });
  add("negative node number", [](TestMesh& m, MeshArgs&) { m.elem[7] = -1; });
  add("NaN coordinate", [](TestMesh& m, MeshArgs&) { m.coords[4] = NAN; });
  add("infinite coordinate", [](TestMesh& m, MeshArgs&) { m.coords[9] = -INFINITY; });
  add("all nodes coincide", [](TestMesh& m, MeshArgs&) {
    for (size_t i = 0; i < m.coords.size(); ++i)
      m.coords[i] = 2.5 + i % 3;
  });
  add("node box beyond a double", [](TestMesh& m, MeshArgs&) {
    m.coords[0] = -1.5e308;
    m.coords[3] = 1.5e308;
  });
  add("no nodes and no faces", [](TestMesh& m, MeshArgs&) { m = TestMesh{}; });
  add("a single node", [](TestMesh& m, MeshArgs&) { m = TestMesh{{1, 2, 3}, {}}; });
  return cases;
}

TEST(EntryPoints, AnswerThreeAndWriteNothingWhenTheArgumentsDescribeNoMesh) {
  for (const Broken& broken : BrokenInputs()) {
    for (const EntryPoint& entry : AllEntryPoints()) {
      SCOPED_TRACE(entry.name + " with " + broken.what);
      EXPECT_EQ(CallOnCopies(entry, broken.mesh, broken.args), VX_STATUS_INVALID_INPUT);
    }
  }
}

TEST(EntryPoints, AnswerThreeWhenAnArrayTheyNeedIsNull) {
  const TestMesh cube = Cube();
  const int32_t n = cube.nbNodes(), sz = cube.szelem(), *elem = cube.elem.data();
  const double* xyz = cube.coords.data();
  Outputs o;
  double* values = o.doubles.data();
  const double pull[3] = {0, 0, 1};
  const int32_t statuses[] = {
      VX_Diedral_Angle(n, sz, elem, xyz, nullptr, 0),
      VX_Draft_Angle(n, sz, elem, xyz, nullptr, pull),
      VX_Draft_Angle(n, sz, elem, xyz, values, nullptr),
      VX_Edge_Diedral_Angle(n, sz, elem, xyz, nullptr, o.ints.data(), values, 0),
      VX_Edge_Diedral_Angle(n, sz, elem, xyz, &o.count, nullptr, values, 0),
      VX_Edge_Diedral_Angle(n, sz, elem, xyz, &o.count, o.ints.data(), nullptr, 0),
      VX_Thickness_Computation_DN2S(n, sz, elem, xyz, nullptr, 0),
      VX_Thickness_Computation_LSCP(n, sz, elem, xyz, nullptr, 0),
      VX_Thickness_Computation_LSR(n, sz, elem, xyz, nullptr, 0),
      VX_Thickness_RayTracing(n, sz, elem, xyz, nullptr, 1),
      VX_Thickness_Gradient(n, sz, elem, xyz, nullptr, values),
      VX_Thickness_Gradient(n, sz, elem, xyz, values, nullptr),
  };
  for (size_t i = 0; i < std::size(statuses); ++i)
    EXPECT_EQ(statuses[i], VX_STATUS_INVALID_INPUT) << "call " << i;
  EXPECT_TRUE(o.IsUntouched());
}

TEST(EntryPoints, NeedNoFaceArraysForAMeshWithoutFaces) {
  const TestMesh points{{0, 0, 0, 1, 1, 1}, {}};
  const double pull[3] = {0, 0, 1};
  uint32_t count = 7;
  testing::internal::CaptureStdout();
  const int32_t statuses[] = {
      VX_Draft_Angle(2, 0, nullptr, points.coords.data(), nullptr, pull),
      VX_Edge_Diedral_Angle(2, 0, nullptr, points.coords.data(), &count, nullptr, nullptr, 1),
      VX_Thickness_Computation_LSCP(2, 0, nullptr, points.coords.data(), nullptr, 0),
      VX_Thickness_Computation_LSR(2, 0, nullptr, points.coords.data(), nullptr, 0),
      VX_Thickness_RayTracing(2, 0, nullptr, points.coords.data(), nullptr, 0),
      VX_Thickness_Gradient(2, 0, nullptr, points.coords.data(), nullptr, nullptr),
  };
  testing::internal::GetCapturedStdout();
  for (size_t i = 0; i < std::size(statuses); ++i)
    EXPECT_NE(statuses[i], VX_STATUS_INVALID_INPUT) << "call " << i;
  EXPECT_EQ(statuses[0], VX_STATUS_OK);
  EXPECT_EQ(count, 0u);
}

// Valid input, but not what a checked analysis accepts; some accept the quadrilaterals.
struct Refused {
  std::string what;
  TestMesh mesh;
  bool onlyQuadrilaterals = false;
};

std::vector<Refused> RefusedMeshes() {
  TestMesh open = Box(2, 1, 1, 2);
  open.elem.resize(open.elem.size() - 4);
  TestMesh fin = Cube();  // a third face on one edge
  fin.AddTriangle(fin.elem[1], fin.elem[2], fin.AddNode(5, 5, 5));
  return {{"open box", open},
          {"box with a fin", fin},
          {"pentagonal pyramid", PentagonalPyramid(false)},
          {"box of quadrilaterals", Box(2, 1, 1, 2, true), true}};
}

TEST(EntryPoints, AnswerTwoAndWriteNothingForMeshesTheCheckRefuses) {
  for (const Refused& refused : RefusedMeshes()) {
    for (const uint8_t outside : {0, 1}) {
      for (const EntryPoint& entry : AllEntryPoints(outside, outside)) {
        SCOPED_TRACE(entry.name + " on the " + refused.what);
        testing::internal::CaptureStdout();
        const int32_t status = CallOnCopies(entry, refused.mesh, ArgsOf(refused.mesh));
        testing::internal::GetCapturedStdout();
        const bool accepted =
            !entry.checksTheMesh || (entry.acceptsQuads && refused.onlyQuadrilaterals);
        EXPECT_EQ(status, accepted ? VX_STATUS_OK : VX_STATUS_MESH_REJECTED);
      }
    }
  }
}

// A soup of faces of random sizes (count entries from -1 to 6) over few nodes with small
// integer coordinates: coincident nodes, repeated faces and degenerate triangles are common.
TestMesh RandomSoup(std::mt19937& rng) {
  TestMesh m{{0, 0, 0, 3, 0, 0}, {}};  // never all coincident
  std::uniform_int_distribution<int> coord(0, 3), size(-1, 6);
  const int nodes = std::uniform_int_distribution<int>(2, 12)(rng);
  while (m.nbNodes() < nodes)
    m.AddNode(coord(rng), coord(rng), coord(rng));
  std::uniform_int_distribution<int> node(0, nodes - 1);
  for (int f = std::uniform_int_distribution<int>(0, 16)(rng); f > 0; --f) {
    m.elem.push_back(size(rng));
    for (int k = 0; k < m.elem.back(); ++k)
      m.elem.push_back(node(rng));
  }
  return m;
}

// A closed box damaged one random way: a face dropped, duplicated, turned or collapsed, two
// nodes merged, or a node moved onto another face's plane.
TestMesh DamagedBox(std::mt19937& rng) {
  TestMesh m = Box(2, 1, 1, 2);
  const size_t p = 4 * std::uniform_int_distribution<size_t>(0, 47)(rng);
  const int32_t a = m.elem[p + 1], b = m.elem[p + 2];
  const auto face = m.elem.begin() + static_cast<long>(p);
  switch (std::uniform_int_distribution<int>(0, 5)(rng)) {
    case 0:
      m.elem.erase(face, face + 4);
      break;
    case 1:
      m.elem.insert(m.elem.end(), face, face + 4);
      break;
    case 2:
      std::swap(m.elem[p + 2], m.elem[p + 3]);
      break;
    case 3:
      m.elem[p + 2] = a;
      break;
    case 4:
      std::copy_n(m.Node(b), 3, &m.coords[3 * static_cast<size_t>(a)]);
      break;
    default:
      m.coords[3 * static_cast<size_t>(a)] = 1.0;
  }
  return m;
}

TEST(EntryPoints, GiveAStatusAndLeaveTheInputsAloneWhateverTheGeometry) {
  std::vector<std::pair<std::string, TestMesh>> meshes = {
      {"tiny tetrahedron", Tetrahedron(0.01)},
      {"box at 1e-300", Scaled(Box(3, 2, 1, 2), 1e-300)},
      {"box at 1e300", Scaled(Box(3, 2, 1, 2), 1e300)},
      {"box far from the origin", Translated(Box(3, 2, 1, 2), 1e15, -1e15, 3e14)},
      {"tetrahedron with a far unused node", Together(Tetrahedron(), {{1e3, -1e3, 1e3}, {}})},
  };
  TestMesh flat = Box(3, 2, 1, 2), line = Tetrahedron();
  for (size_t i = 2; i < flat.coords.size(); i += 3)
    flat.coords[i] = 0.0;
  for (size_t i = 0; i < line.coords.size(); ++i)
    line.coords[i] = i % 3 == 0 ? i / 3 : 0.0;
  meshes.insert(meshes.end(), {{"flattened box", flat}, {"collinear tetrahedron", line}});
  std::mt19937 rng(20261205);
  for (int i = 0; i < 80; ++i)
    meshes.emplace_back("soup " + std::to_string(i), RandomSoup(rng));
  for (int i = 0; i < 40; ++i)
    meshes.emplace_back("damaged box " + std::to_string(i), DamagedBox(rng));
  testing::internal::CaptureStdout();
  for (const auto& [what, mesh] : meshes) {
    for (const uint8_t outside : {0, 1}) {
      for (const EntryPoint& entry : AllEntryPoints(outside, outside)) {
        SCOPED_TRACE(entry.name + " on " + what);
        CallOnCopies(entry, mesh, ArgsOf(mesh));
      }
    }
  }
  testing::internal::GetCapturedStdout();
}

}  // namespace
}  // namespace vexmor::test
