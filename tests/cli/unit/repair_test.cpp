// Mending a damaged box: what the repair counts, and that the mended part is closed again with
// the file's faces first, in its order (the program's run on a mended part reads them back).
#include <gtest/gtest.h>

#include <algorithm>

#include "mesh/mesh_repair.h"
#include "mesh/mesh_report.h"
#include "solids.h"

namespace vexmor::cli::test {
namespace {

using vexmor::test::TestMesh;

// A 4 x 3 x 2 box, each side 2 x 2 cells of two triangles: 48 faces, 26 nodes.
TestMesh IntactBox() {
  return vexmor::test::Box(4, 3, 2, 2);
}
constexpr int32_t kFacesPerSide = 8;

std::vector<int32_t> FaceNodes(const TestMesh& t, int32_t face) {
  size_t p = 0;
  for (int32_t f = 0; f < face; ++f)
    p += static_cast<size_t>(t.elem[p]) + 1;
  return {&t.elem[p + 1], &t.elem[p + 1] + t.elem[p]};
}

// The box without the faces that `drop` picks.
template <typename Drop>
TestMesh Without(const TestMesh& box, Drop drop) {
  TestMesh out;
  out.coords = box.coords;
  for (int32_t f = 0; f < box.nbFaces(); ++f) {
    if (!drop(f, FaceNodes(box, f))) out.AddFace(FaceNodes(box, f));
  }
  return out;
}

// Every face with nodes of its own, each side's moved by a nanometre-scale step: the faces
// meet along cracks between duplicated nodes.
TestMesh Cracked(const TestMesh& box, double step) {
  TestMesh out;
  for (int32_t f = 0; f < box.nbFaces(); ++f) {
    const double shift = step * (f / kFacesPerSide);
    std::vector<int32_t> nodes;
    for (int32_t n : FaceNodes(box, f)) {
      const double* p = box.Node(n);
      nodes.push_back(out.AddNode(p[0] + shift, p[1] + shift, p[2] + shift));
    }
    out.AddFace(nodes);
  }
  return out;
}

struct Counts {
  size_t merged, duplicate, zeroArea, filled, fillFaces, tooLong, unfillable;
  bool operator==(const Counts&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Counts& c) {
  return out << "merged " << c.merged << ", duplicate " << c.duplicate << ", zero-area "
             << c.zeroArea << ", filled " << c.filled << " with " << c.fillFaces << ", too long "
             << c.tooLong << ", unfillable " << c.unfillable;
}

struct Damage {
  std::string name;
  TestMesh mesh;
  size_t ownFaces;  // the file's faces that the repair keeps
  RepairOptions options;
  Counts expected;
  bool closed = false;  // the mended part is closed
};

std::vector<Damage> Damages() {
  const TestMesh box = IntactBox();
  std::vector<Damage> cases;
  const TestMesh missing = Without(box, [](int32_t f, const auto&) { return f == 9; });
  cases.push_back({"a missing face", missing, 47, {}, {0, 0, 0, 1, 1, 0, 0}, true});
  // The six triangles around the middle node of the first side: a hole of six edges.
  const int32_t middle = vexmor::test::NodeAt(box, 4, 1.5, 1);
  auto aroundMiddle = [&](int32_t, const std::vector<int32_t>& nodes) {
    return std::find(nodes.begin(), nodes.end(), middle) != nodes.end();
  };
  const TestMesh hole = Without(box, aroundMiddle);
  cases.push_back({"a small hole", hole, 42, {}, {0, 0, 0, 1, 4, 0, 0}, true});
  RepairOptions shortHoles;
  shortHoles.maxHoleEdges = 5;
  cases.push_back({"a hole longer than the limit", hole, 42, shortHoles, {0, 0, 0, 0, 0, 1, 0}});
  cases.push_back({"cracks between duplicated nodes",
                   Cracked(box, 1e-9),
                   48,
                   {},
                   {144 - 26, 0, 0, 0, 0, 0, 0},
                   true});
  RepairOptions fine;
  fine.mergeTolerance = 1e-12;
  // Six open sheets whose rims fold back onto themselves: not holes.
  cases.push_back({"cracks wider than the tolerance",
                   Cracked(box, 1e-9),
                   48,
                   fine,
                   {144 - 6 * 9, 0, 0, 0, 0, 0, 6},
                   false});
  {
    // A face given again the other way round, and a sliver whose two nodes lie closer than the
    // tolerance (it collapses when they merge).
    TestMesh m = box;
    auto again = FaceNodes(box, 3);
    std::reverse(again.begin(), again.end());
    m.AddFace(again);
    const double* p = box.Node(0);
    m.AddFace({0, m.AddNode(p[0] + 1e-9, p[1], p[2]), FaceNodes(box, 0)[1]});
    cases.push_back({"repeated and collapsed faces", m, 48, {}, {1, 1, 1, 0, 0, 0, 0}, true});
  }
  return cases;
}

TEST(MeshRepair, CountsWhatItMendsAndClosesTheBoxWhereTheDamageAllows) {
  for (const Damage& d : Damages()) {
    SCOPED_TRACE(d.name);
    const Mesh file = ToMesh(d.mesh);
    const MeshRepair r = RepairMesh(file, d.options);
    EXPECT_EQ((Counts{r.mergedNodes, r.duplicateFaces, r.zeroAreaFaces, r.filledHoles, r.fillFaces,
                      r.holesTooLong, r.holesUnfillable}),
              d.expected);
    EXPECT_EQ(r.ownFaces, d.ownFaces);
    EXPECT_EQ(r.mesh.faceCount(), r.ownFaces + r.fillFaces);
    const MeshReport report = InspectMesh(r.mesh);
    EXPECT_EQ(report.closedAndManifold(), d.closed) << report.boundaryEdges << " open edges";
    if (d.closed) {
      EXPECT_EQ(report.misorientedEdges, 0u);
      EXPECT_NEAR(report.area, 2 * (4 * 3 + 4 * 2 + 3 * 2), 1e-6);
    }
    // The kept faces are the file's, in its order.
    for (size_t f = 0; f < r.ownFaces; ++f)
      EXPECT_EQ(r.fileFace[f], f);
  }
}

}  // namespace
}  // namespace vexmor::cli::test
