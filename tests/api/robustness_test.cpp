// Meshes that are valid input but hostile geometry: random soups, closed meshes damaged in
// random ways, flattened and collapsed solids, extreme scales. Every entry point must return
// a status, never crash, hang or touch memory outside the arrays (the sanitizers watch), and
// leave its outputs untouched whenever it refuses the mesh.
#include <gtest/gtest.h>

#include <random>

#include "support/entry_points.h"
#include "support/mesh_fixtures.h"

namespace vexmor::test {
namespace {

// A soup of faces of random sizes (count entries from -1 to 6) over few nodes with small
// integer coordinates, so that coincident nodes, repeated faces and degenerate triangles are
// common.
TestMesh RandomSoup(std::mt19937& rng) {
  TestMesh m;
  const int nodes = std::uniform_int_distribution<int>(2, 12)(rng);
  std::uniform_int_distribution<int> coord(0, 3);
  for (int i = 0; i < nodes; ++i)
    m.AddNode(coord(rng), coord(rng), coord(rng));
  m.coords[0] = 0;
  m.coords[3] = 3;  // never all coincident
  const int faces = std::uniform_int_distribution<int>(0, 16)(rng);
  std::uniform_int_distribution<int> size(-1, 6), node(0, nodes - 1);
  for (int f = 0; f < faces; ++f) {
    const int n = size(rng);
    m.elem.push_back(n);
    for (int k = 0; k < n; ++k)
      m.elem.push_back(node(rng));
  }
  return m;
}

// A closed box damaged one random way: a face dropped, duplicated, rewound or collapsed, two
// nodes merged, or a node moved onto another face's plane.
TestMesh DamagedBox(std::mt19937& rng) {
  TestMesh m = Box(2, 1, 1, 2);
  const int faces = m.nbFaces();
  const int f = std::uniform_int_distribution<int>(0, faces - 1)(rng);
  const size_t p = 4 * static_cast<size_t>(f);
  switch (std::uniform_int_distribution<int>(0, 5)(rng)) {
    case 0:
      m.elem.erase(m.elem.begin() + static_cast<long>(p),
                   m.elem.begin() + static_cast<long>(p + 4));
      break;
    case 1:
      m.elem.insert(m.elem.end(), m.elem.begin() + static_cast<long>(p),
                    m.elem.begin() + static_cast<long>(p + 4));
      break;
    case 2:
      std::swap(m.elem[p + 2], m.elem[p + 3]);
      break;
    case 3:
      m.elem[p + 2] = m.elem[p + 1];
      break;
    case 4: {
      const int32_t a = m.elem[p + 1], b = m.elem[p + 2];
      for (int k = 0; k < 3; ++k)
        m.coords[3 * a + k] = m.coords[3 * b + k];
      break;
    }
    default: {
      const int32_t a = m.elem[p + 1];
      m.coords[3 * a] = 1.0;
      break;
    }
  }
  return m;
}

// A closed surface with no volume: the box squashed flat onto z = 0.
TestMesh FlattenedBox() {
  TestMesh m = Box(3, 2, 1, 2);
  for (size_t i = 2; i < m.coords.size(); i += 3)
    m.coords[i] = 0.0;
  return m;
}

// Every node of a closed tetrahedron on one line.
TestMesh CollinearTetrahedron() {
  TestMesh m = Tetrahedron();
  for (int32_t i = 0; i < m.nbNodes(); ++i) {
    m.coords[3 * i + 1] = 0.0;
    m.coords[3 * i + 2] = 0.0;
    m.coords[3 * i] = i;
  }
  return m;
}

void ExpectSane(const TestMesh& mesh, const std::string& what) {
  for (const EntryPoint& entry : AllEntryPoints()) {
    SCOPED_TRACE(entry.name + " on " + what);
    Outputs out;
    const int32_t status =
        entry.call({mesh.nbNodes(), mesh.szelem(), mesh.elem.data(), mesh.coords.data()}, out);
    EXPECT_GE(status, VX_STATUS_OK);
    EXPECT_LE(status, VX_STATUS_INVALID_INPUT);
    if (status == VX_STATUS_MESH_REJECTED || status == VX_STATUS_INVALID_INPUT) {
      EXPECT_TRUE(out.IsUntouched());
    }
  }
}

TEST(Robustness, RandomSoupsGetAStatus) {
  std::mt19937 rng(20261205);
  for (int i = 0; i < 150; ++i)
    ExpectSane(RandomSoup(rng), "soup " + std::to_string(i));
}

TEST(Robustness, DamagedClosedMeshesGetAStatus) {
  std::mt19937 rng(7);
  for (int i = 0; i < 60; ++i)
    ExpectSane(DamagedBox(rng), "damaged box " + std::to_string(i));
}

TEST(Robustness, DegenerateSolidsGetAStatus) {
  ExpectSane(FlattenedBox(), "flattened box");
  ExpectSane(CollinearTetrahedron(), "collinear tetrahedron");
  ExpectSane(WithCollinearSliver(Box(1, 1, 1, 2), 3), "box with a sliver");
}

TEST(Robustness, ExtremeScalesGetAStatus) {
  const TestMesh box = Box(3, 2, 1, 2);
  ExpectSane(Scaled(box, 1e-300), "box at 1e-300");
  ExpectSane(Scaled(box, 1e300), "box at 1e300");
  ExpectSane(Translated(box, 1e15, -1e15, 3e14), "box far from the origin");
  // Nodes spread over a large range with the part itself tiny: an unused node far away.
  TestMesh far = Tetrahedron(1e-6);
  far.AddNode(1e6, 1e6, 1e6);
  ExpectSane(far, "tiny tetrahedron with a far unused node");
}

}  // namespace
}  // namespace vexmor::test
