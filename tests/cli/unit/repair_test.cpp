// Mending a damaged box: what the repair counts, that the mended part is closed again, and that
// the analyses then give on the file's own faces what they give on the intact part.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <set>

#include <unistd.h>

#include "../../support/meshes.h"
#include "analysis/progress.h"
#include "commands/sections.h"
#include "io/mesh_writer.h"
#include "mesh/mesh_repair.h"
#include "mesh/mesh_report.h"

namespace vexmor::cli::test {
namespace {

using vexmor::test::TestMesh;

// A 4 x 3 x 2 box, each side 2 x 2 cells of two triangles: 48 faces, 26 nodes.
TestMesh IntactBox() {
  return vexmor::test::Box(4, 3, 2, 2);
}
constexpr int32_t kFacesPerSide = 8;

Mesh ToMesh(const TestMesh& t) {
  Mesh m;
  m.coords = t.coords;
  for (size_t p = 0; p < t.elem.size(); p += static_cast<size_t>(t.elem[p]) + 1)
    m.addFace(std::span<const int32_t>(&t.elem[p + 1], static_cast<size_t>(t.elem[p])));
  return m;
}

std::vector<int32_t> FaceNodes(const TestMesh& t, int32_t face) {
  size_t p = 0;
  for (int32_t f = 0; f < face; ++f)
    p += static_cast<size_t>(t.elem[p]) + 1;
  return {&t.elem[p + 1], &t.elem[p + 1] + t.elem[p]};
}

// The box without the faces that `drop` picks; `kept` receives the intact number of each face
// left.
template <typename Drop>
TestMesh Without(const TestMesh& box, Drop drop, std::vector<int32_t>& kept) {
  TestMesh out;
  out.coords = box.coords;
  for (int32_t f = 0; f < box.nbFaces(); ++f) {
    const auto nodes = FaceNodes(box, f);
    if (drop(f, nodes)) continue;
    out.AddFace(nodes);
    kept.push_back(f);
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
  std::vector<int32_t> intactFace;  // of the file's faces kept by the repair, in order
  RepairOptions options;
  Counts expected;
  bool closed;  // the mended part is closed, and its results are compared with the intact one
};

std::vector<Damage> Damages() {
  const TestMesh box = IntactBox();
  std::vector<Damage> cases;
  std::vector<int32_t> all(static_cast<size_t>(box.nbFaces()));
  for (int32_t f = 0; f < box.nbFaces(); ++f)
    all[static_cast<size_t>(f)] = f;
  {
    std::vector<int32_t> kept;
    TestMesh m = Without(
        box, [](int32_t f, const auto&) { return f == 9; }, kept);
    cases.push_back({"a missing face", m, kept, {}, {0, 0, 0, 1, 1, 0, 0}, true});
  }
  // The six triangles around the middle node of the first side: a hole of six edges.
  const int32_t middle = vexmor::test::NodeAt(box, 4, 1.5, 1);
  auto aroundMiddle = [&](int32_t, const std::vector<int32_t>& nodes) {
    return std::find(nodes.begin(), nodes.end(), middle) != nodes.end();
  };
  {
    std::vector<int32_t> kept;
    TestMesh m = Without(box, aroundMiddle, kept);
    cases.push_back({"a small hole", m, kept, {}, {0, 0, 0, 1, 4, 0, 0}, true});
    RepairOptions shortHoles;
    shortHoles.maxHoleEdges = 5;
    cases.push_back(
        {"a hole longer than the limit", m, kept, shortHoles, {0, 0, 0, 0, 0, 1, 0}, false});
  }
  cases.push_back({"cracks between duplicated nodes",
                   Cracked(box, 1e-9),
                   all,
                   {},
                   {144 - 26, 0, 0, 0, 0, 0, 0},
                   true});
  RepairOptions fine;
  fine.mergeTolerance = 1e-12;
  // Six open sheets whose rims fold back onto themselves: not holes.
  cases.push_back({"cracks wider than the tolerance",
                   Cracked(box, 1e-9),
                   all,
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
    cases.push_back({"repeated and collapsed faces", m, all, {}, {1, 1, 1, 0, 0, 0, 0}, true});
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
    EXPECT_EQ(r.ownFaces, d.intactFace.size());
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

// The per-face results of thickness, gradient and draft.
struct Results {
  std::vector<double> thickness, gradient, draft;
  std::vector<bool> besideFill;  // the face shares a node with a fill face
};

Results Analyse(const TestMesh& part, bool repair, const std::string& name) {
  const std::string path =
      (std::filesystem::path(::testing::TempDir()) / (std::to_string(getpid()) + "_" + name))
          .string();
  std::ofstream(path) << MeshToObj(ToMesh(part), {});
  CommonOptions options;
  options.file = path;
  options.repair = repair;
  Progress::SetEnabled(false);
  Session session("analyze", options);
  Results out;
  const std::vector<double> thickness = AddThicknessSection(session, {});
  AddGradientSection(session, {}, &thickness);
  AddDraftSection(session, {});
  const Mesh& mesh = session.mesh();
  std::set<int32_t> fillNodes;
  for (size_t f = session.ownFaceCount(); f < mesh.faceCount(); ++f)
    fillNodes.insert(mesh.face(f).begin(), mesh.face(f).end());
  for (size_t f = 0; f < mesh.faceCount(); ++f) {
    out.besideFill.push_back(std::any_of(mesh.face(f).begin(), mesh.face(f).end(),
                                         [&](int32_t n) { return fillNodes.count(n) > 0; }));
  }
  const auto& r = session.report().results;
  for (const Field& field : r.fields) {
    if (field.name == "thickness_ray") out.thickness = field.values;
    if (field.name == "thickness_gradient") out.gradient = field.values;
    if (field.name == "draft_deg") out.draft = field.values;
  }
  std::filesystem::remove(path);
  return out;
}

TEST(MeshRepair, AnalysesOfTheMendedPartEqualTheIntactPartsOnTheFilesOwnFaces) {
  const Results intact = Analyse(IntactBox(), false, "intact.obj");
  for (const Damage& d : Damages()) {
    if (!d.closed) continue;
    SCOPED_TRACE(d.name);
    const Results mended = Analyse(d.mesh, true, "mended.obj");
    const size_t own = d.intactFace.size();
    ASSERT_GE(mended.thickness.size(), own);
    for (size_t f = 0; f < mended.thickness.size(); ++f) {
      if (f >= own) {
        // The fill faces have no value of their own.
        EXPECT_TRUE(std::isnan(mended.thickness[f]) && std::isnan(mended.gradient[f]) &&
                    std::isnan(mended.draft[f]));
        continue;
      }
      const auto i = static_cast<size_t>(d.intactFace[f]);
      EXPECT_NEAR(mended.thickness[f], intact.thickness[i], 1e-7) << "face " << f;
      // The gradient compares a face with its neighbours: beside a hole split otherwise than
      // the intact part, they are other faces.
      if (!mended.besideFill[f] || d.intactFace.size() + 1 == intact.thickness.size()) {
        EXPECT_NEAR(mended.gradient[f], intact.gradient[i], 1e-7) << "face " << f;
      }
      EXPECT_NEAR(mended.draft[f], intact.draft[i], 1e-6) << "face " << f;
    }
  }
}

}  // namespace
}  // namespace vexmor::cli::test
