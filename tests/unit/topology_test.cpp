// Mesh topology: the edge list, the neighbours of a face and the faces around a node, the mesh
// check, and the orientation that turns every volume outwards.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <sstream>
#include <tuple>

#include "angles/edge_dihedral.h"
#include "angles/node_dihedral.h"
#include "geometry/ray_probe.h"
#include "support/smesh.h"
#include "thickness/faces_around_node.h"
#include "topology/edge_list.h"
#include "topology/face_neighbours.h"
#include "topology/face_turn.h"
#include "topology/mesh_check.h"
#include "topology/sides_across.h"
#include "topology/surface_orientation.h"
#include "topology/volumes.h"

namespace vexmor::test {
namespace {

// Nodes on no line, with the given faces.
TestMesh Faces(std::vector<int32_t> elem, int32_t nodes = 14) {
  TestMesh m;
  for (int32_t i = 0; i < nodes; ++i)
    m.AddNode(i, i * i % 7, i % 3);
  m.elem = std::move(elem);
  return m;
}

// The real projective plane in six nodes and ten triangles: closed, every edge shared by two
// faces, and no winding of it agrees with itself across every edge.
TestMesh ProjectivePlane() {
  TestMesh m = Faces({}, 6);
  for (const auto& [a, b, c] : {std::array{0, 1, 2},
                                {0, 2, 3},
                                {0, 3, 4},
                                {0, 4, 5},
                                {0, 5, 1},
                                {1, 2, 4},
                                {2, 3, 5},
                                {3, 4, 1},
                                {4, 5, 2},
                                {5, 1, 3}}) {
    m.AddTriangle(a, b, c);
  }
  return m;
}

TEST(EdgeList, ListsEdgesAsFacesMeetThemWithTheirFirstTwoFacesAndCount) {
  // (5, 9) is met first by face 0 and walked as (9, 5) by face 1; a count entry of 0 takes a
  // face index; (0, 1) has four faces.
  SMesh mesh =
      MakeSMesh(Faces({3, 5, 9, 1, 0, 3, 9, 5, 2, 3, 0, 1, 3, 3, 1, 0, 4, 3, 0, 1, 6, 3, 1, 0, 7}));
  EXPECT_EQ(CountBoundaryEdges(mesh), (std::array<int32_t, 3>{1, 12, 1}));
  const Edge& shared = mesh.edgeHash.Record(mesh.edgeHash.Find(9, 5) - 1);
  EXPECT_EQ(shared.node1, 5);
  EXPECT_EQ(shared.node2, 9);
  EXPECT_EQ(shared.facePos, (std::array<int32_t, 2>{0, 5}));
  EXPECT_EQ(shared.faceIndex, (std::array<int32_t, 2>{0, 2}));
  EXPECT_EQ(shared.faceCount, 2);
  EXPECT_EQ(shared.firstSide, 0);
  EXPECT_EQ(mesh.edgeHash.Record(mesh.edgeHash.Find(1, 9) - 1).firstSide, 1);
  const Edge& four = mesh.edgeHash.Record(mesh.edgeHash.Find(0, 1) - 1);
  EXPECT_EQ(four.faceIndex, (std::array<int32_t, 2>{3, 4}));
  EXPECT_EQ(four.faceCount, 4);
}

TEST(EdgeList, GivesTheEdgeOfEachSideOfAFaceAsTheLookupDoesAlsoOnceTheFaceIsTurned) {
  // Triangles, a quadrilateral, a triangle with a repeated node and a face of no node.
  SMesh mesh = MakeSMesh(Faces({3, 5, 9, 1, 3, 9, 5, 2, 4, 0, 1, 2, 9, 3, 3, 3, 4, 0, 3, 1, 0, 7}));
  BuildEdgeHash(mesh);
  auto expectLookup = [&](const char* when) {
    for (int32_t pos = 0; pos < mesh.szelem; pos += mesh.elem[pos] + 1) {
      const int32_t n = mesh.elem[pos];
      for (int32_t i = 0; i < n; ++i) {
        const int32_t a = mesh.elem[pos + 1 + i], b = mesh.elem[pos + 1 + (i + 1) % n];
        // Asked with its own side, another side of the face, and a pair that is no side of it.
        EXPECT_EQ(FaceSideEdge(mesh, pos, i, a, b), mesh.edgeHash.Find(a, b)) << when << pos;
        EXPECT_EQ(FaceSideEdge(mesh, pos, (i + 1) % n, b, a), mesh.edgeHash.Find(a, b));
        EXPECT_EQ(FaceSideEdge(mesh, pos, i, a, 13), mesh.edgeHash.Find(a, 13));
      }
    }
  };
  expectLookup("as built, face ");
  for (const int32_t pos : {0, 8, 18})
    TurnFace(mesh, pos);
  expectLookup("turned, face ");
}

TEST(FaceTurn, TurnsTrianglesAndQuadrilateralsAndLeavesAnyOtherFaceAlone) {
  // A triangle, a quadrilateral, a pentagon, and a triangle cut short by the end of the list.
  SMesh mesh = MakeSMesh(Faces({3, 0, 1, 2, 4, 3, 4, 5, 6, 5, 7, 8, 9, 10, 11, 3, 12, 13}));
  EXPECT_TRUE(TurnFace(mesh, 0));
  EXPECT_TRUE(TurnFace(mesh, 4));
  for (const int32_t refused : {9, 15, 18, -1})
    EXPECT_FALSE(TurnFace(mesh, refused)) << refused;
  EXPECT_EQ(Plain(mesh.elem),
            (std::vector<int32_t>{3, 0, 2, 1, 4, 3, 6, 5, 4, 5, 7, 8, 9, 10, 11, 3, 12, 13}));
  EXPECT_EQ(mesh.edgeHash.FacesTurned(), 2);
}

TEST(EdgeList, RebuiltAfterFacesAreTurnedEqualsTheListBuiltAnew) {
  // A closed torus and a mesh with boundary, four-face, repeated-node and empty faces; then the
  // torus with one face changed, which the recorded sides no longer describe.
  TestMesh changed = Torus(6, 5);
  changed.elem[2] = changed.elem[5];
  const std::vector<TestMesh> meshes = {Torus(6, 5),
                                        Faces({3, 5, 9, 1, 3, 9, 5, 2, 4, 0, 1, 2, 9, 3, 3,
                                               3, 4, 0, 3, 1, 0, 7, 3, 0, 1, 6, 3, 1, 0, 7}),
                                        changed};
  for (const TestMesh& m : meshes) {
    SMesh rebuilt = MakeSMesh(m);
    BuildEdgeHash(rebuilt);
    if (&m == &meshes.back()) rebuilt.elem[2] = meshes.front().elem[2];
    std::mt19937 random(3);
    for (int32_t pos = 0; pos < rebuilt.szelem; pos += std::max(rebuilt.elem[pos], 0) + 1) {
      if (random() % 2 == 0) TurnFace(rebuilt, pos);
    }
    RebuildEdgeHash(rebuilt);
    SMesh fresh = MakeSMesh(m);
    fresh.elem = rebuilt.elem;
    BuildEdgeHash(fresh);
    const EdgeHash &a = rebuilt.edgeHash, &b = fresh.edgeHash;
    ASSERT_EQ(a.RecordCount(), b.RecordCount());
    for (int32_t k = 0; k < a.RecordCount(); ++k) {
      const Edge &x = a.Record(k), &y = b.Record(k);
      EXPECT_EQ(std::tie(x.node1, x.node2, x.facePos, x.faceIndex, x.faceCount, x.firstSide),
                std::tie(y.node1, y.node2, y.facePos, y.faceIndex, y.faceCount, y.firstSide))
          << "edge " << k + 1;
      EXPECT_EQ(a.Find(x.node2, x.node1), k + 1);
    }
    for (int32_t entry = 0; entry < rebuilt.szelem; ++entry)
      EXPECT_EQ(a.SideEdge(static_cast<size_t>(entry)), b.SideEdge(static_cast<size_t>(entry)));
  }
}

std::set<int32_t> NodesOf(const SMesh& mesh, int32_t pos) {
  const auto begin = mesh.elem.begin() + pos + 1;
  return std::set<int32_t>(begin, begin + mesh.elem[static_cast<size_t>(pos)]);
}

TEST(FaceNeighbours, ListsTheFaceAcrossEachSideTurnedToRunItOpposite) {
  // Every face of a tetrahedron, one face turned against the others.
  const TestMesh tet = Tetrahedron();
  SMesh mesh = MakeSMesh(WithFaceTurned(tet, 2));
  BuildEdgeHash(mesh);
  for (const int32_t face : {0, 1, 2, 3}) {
    const std::vector<FaceRef> ring = FaceNeighbours_1Ring(mesh, 4 * face);
    ASSERT_EQ(ring.size(), 3u) << "face " << face;
    for (int32_t side = 0; side < 3; ++side) {
      const FaceRef& n = ring[static_cast<size_t>(side)];
      EXPECT_EQ(n.facePos, 4 * n.faceIndex);
      const std::set<int32_t> nodes = NodesOf(mesh, n.facePos);
      EXPECT_TRUE(nodes.count(tet.elem[4 * face + 1 + side]) &&
                  nodes.count(tet.elem[4 * face + 1 + (side + 1) % 3]) && n.faceIndex != face)
          << "face " << face << " side " << side;
    }
  }
  EXPECT_EQ(Plain(mesh.elem), tet.elem);
  // A triangle and a quadrilateral running a side the same way are turned, keeping their
  // first node; asked again, nothing changes.
  SMesh pair = MakeSMesh(Faces({3, 0, 1, 2, 3, 3, 2, 0, 4, 4, 1, 2, 5}, 6));
  BuildEdgeHash(pair);
  EXPECT_FALSE(OrientNeighbour(pair, 2, 0, 4));
  EXPECT_FALSE(OrientNeighbour(pair, 1, 2, 8));
  const std::vector<int32_t> turned = {3, 0, 1, 2, 3, 3, 0, 2, 4, 4, 5, 2, 1};
  EXPECT_EQ(Plain(pair.elem), turned);
  EXPECT_FALSE(OrientNeighbour(pair, 2, 0, 4));
  EXPECT_FALSE(OrientNeighbour(pair, 1, 2, 8));
  EXPECT_EQ(Plain(pair.elem), turned);
}

// Walks around `node` from triangle `start` with lists of `capacity`; returns the count and
// the whole lists, so that tests see what was written.
std::pair<int32_t, std::vector<int32_t>> Around(SMesh& mesh, int32_t node, int32_t start,
                                                size_t capacity = 100) {
  std::vector<int32_t> indices(capacity + 4, -99), positions(capacity + 4, -99);
  indices[0] = start;
  positions[0] = 4 * start;
  const int32_t count = FacesAroundNode(mesh, node, std::span(indices).first(capacity),
                                        std::span(positions).first(capacity));
  for (size_t j = 0; j < capacity && indices[j] != -99; ++j)
    EXPECT_EQ(positions[j], 4 * indices[j]) << "entry " << j;
  return {count, indices};
}

TEST(FacesAroundNode, TurnsAroundTheNodeInOrderAndStopsAtTheRimOrTheEndOfItsLists) {
  // Leaving face i of the top fan by its edge from the apex to ring node i leads to face i - 1;
  // entry m repeats the start face.
  SMesh six = MakeSMesh(Bipyramid(6));
  for (int32_t start = 0; start < 6; ++start) {
    const auto [count, faces] = Around(six, 0, start);
    EXPECT_EQ(count, 6);
    for (int32_t j = 0; j <= 6; ++j)
      EXPECT_EQ(faces[j], (start - j + 6) % 6) << "from " << start << " entry " << j;
    EXPECT_EQ(faces[7], -99);
  }
  EXPECT_EQ(Around(six, 2, 0).first, 4);
  SMesh tet = MakeSMesh(Tetrahedron());
  const auto [count, faces] = Around(tet, 3, 2);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(std::set<int32_t>(faces.begin(), faces.begin() + 3), (std::set<int32_t>{1, 2, 3}));
  // Lists shorter than the ring fill up and say how many they hold; room for the ring but not
  // its closing entry still reports the whole ring.
  SMesh twelve = MakeSMesh(Bipyramid(12));
  for (const size_t capacity : {1u, 2u, 5u, 12u}) {
    const auto [held, list] = Around(twelve, 0, 0, capacity);
    EXPECT_EQ(held, static_cast<int32_t>(capacity));
    EXPECT_EQ(list[capacity], -99);
  }
  std::vector<int32_t> none;
  EXPECT_EQ(FacesAroundNode(twelve, 0, none, none), -1);
  // Once round when every face led on to one new face; not when a face wound against its
  // neighbours turned the walk back.
  for (const auto& [mesh, once] :
       {std::pair{Bipyramid(6), true}, std::pair{WithFaceTurned(Bipyramid(6), 3), false}}) {
    SMesh s = MakeSMesh(mesh);
    std::vector<int32_t> indices(20, -99), positions(20, -99);
    indices[0] = positions[0] = 0;
    bool roundOnce = !once;
    FacesAroundNode(s, 0, indices, positions, &roundOnce);
    EXPECT_EQ(roundOnce, once);
  }
}

TEST(FacesAroundNode, ReadFromTheListOfFacesAcrossListsWhatTheEdgeListWalkLists) {
  // Closed meshes wound any way, so that walks also bounce between faces wound against each
  // other, from every face of every node, into lists of every size up to past the ring.
  std::mt19937 random(5);
  for (TestMesh m : {Torus(7, 4), Bipyramid(9),
                     Together(Cube(), Translated(Tetrahedron(), 3, 0, 0)), ProjectivePlane()}) {
    for (int32_t f = 0; f < m.nbFaces(); ++f) {
      if (random() % 4 == 0) std::swap(m.elem[4 * f + 2], m.elem[4 * f + 3]);
    }
    SMesh mesh = MakeSMesh(m);
    BuildEdgeHash(mesh, true);
    const LargeVector<int32_t> across = SidesAcross(mesh);
    ASSERT_EQ(across.size(), 3 * static_cast<size_t>(m.nbFaces()));
    EXPECT_EQ(Plain(mesh.edgeHash.SidesAcrossAsBuilt()), Plain(across)) << "as the build lists it";
    for (int32_t f = 0; f < m.nbFaces(); ++f) {
      for (int32_t k = 1; k <= 3; ++k) {
        const int32_t node = m.elem[4 * f + k];
        for (const size_t capacity : {1u, 3u, 20u}) {
          std::vector<int32_t> byEdges(capacity, -9), byEdgesPos(capacity, -9);
          std::vector<int32_t> byTable(capacity, -9), byTablePos(capacity, -9);
          byEdges[0] = byTable[0] = f;
          byEdgesPos[0] = byTablePos[0] = 4 * f;
          bool roundByEdges = false, roundByTable = true;
          EXPECT_EQ(FacesAroundNode(mesh, across, node, byTable, byTablePos, &roundByTable),
                    FacesAroundNode(mesh, node, byEdges, byEdgesPos, &roundByEdges));
          EXPECT_EQ(byTable, byEdges);
          EXPECT_EQ(byTablePos, byEdgesPos);
          EXPECT_EQ(roundByTable, roundByEdges);
        }
      }
    }
  }
  // No list for a mesh whose sides are not each shared by two faces.
  TestMesh open = Bipyramid(5);
  open.elem.resize(open.elem.size() - 4);
  SMesh openMesh = MakeSMesh(open);
  BuildEdgeHash(openMesh, true);
  EXPECT_TRUE(SidesAcross(openMesh).empty());
  EXPECT_TRUE(openMesh.edgeHash.SidesAcrossAsBuilt().empty());
}

TEST(SidesAcross, MatchedFromTheConnectivityAloneAsTheEdgeListBuildListsThemAndItsEdges) {
  // Closed meshes wound any way, among them a node of 24 sides and a surface no winding agrees
  // across: the matched table is the build's, its edges are the build's records in order, and
  // its edge lengths average to the same last bit.
  std::mt19937 random(23);
  for (TestMesh m :
       {Torus(7, 4), Bipyramid(12), Together(Cube(), Translated(Tetrahedron(), 3, 0, 0)),
        ProjectivePlane(), BoxWithCavity(false)}) {
    for (int32_t f = 0; f < m.nbFaces(); ++f) {
      if (random() % 3 == 0) std::swap(m.elem[4 * f + 2], m.elem[4 * f + 3]);
    }
    SMesh built = MakeSMesh(m), matched = MakeSMesh(m), recordsOnly = MakeSMesh(m);
    BuildEdgeHash(built, true);
    BuildEdgeHash(recordsOnly);
    matched.edgeHash.KeepSidesAcross(MatchedSidesAcross(matched));
    ASSERT_FALSE(built.edgeHash.SidesAcrossAsBuilt().empty());
    EXPECT_EQ(Plain(matched.edgeHash.SidesAcrossAsBuilt()),
              Plain(built.edgeHash.SidesAcrossAsBuilt()));
    int32_t k = 0;
    const EdgeHash& records = built.edgeHash;
    EXPECT_TRUE(ForEachEdgeOfSidesAcross(
        matched, [](int32_t) {},
        [&](const Edge& e) {
          ASSERT_LT(k, records.RecordCount());
          const Edge& r = records.Record(k++);
          EXPECT_EQ(std::tie(e.node1, e.node2, e.facePos, e.faceIndex, e.faceCount, e.firstSide),
                    std::tie(r.node1, r.node2, r.facePos, r.faceIndex, r.faceCount, r.firstSide))
              << "edge " << k;
        }));
    EXPECT_EQ(k, records.RecordCount());
    EXPECT_EQ(MeanEdgeLength(matched), MeanEdgeLength(recordsOnly));
    // Once a face is turned the table no longer stands for the faces.
    TurnFace(matched, 4);
    EXPECT_FALSE(ForEachEdgeOfSidesAcross(
        matched, [](int32_t) {}, [](const Edge&) {}));
  }
  // Where the build lists nothing, nothing is matched: an open surface, three and four faces on
  // an edge (under a node of few sides and of many), a quadrilateral, a repeated node, a node
  // that is none of the mesh's.
  TestMesh open = Bipyramid(5), hanging = Tetrahedron(), doubled = Bipyramid(12);
  TestMesh beyond = Tetrahedron();
  open.elem.resize(open.elem.size() - 4);
  hanging.AddTriangle(0, hanging.AddNode(0.5, -0.8, 0.2), 1);
  doubled.elem.insert(doubled.elem.end(), doubled.elem.begin(), doubled.elem.end());
  for (size_t p = 0; p < beyond.elem.size(); p += 4)
    std::replace(beyond.elem.begin() + p + 1, beyond.elem.begin() + p + 4, 3, beyond.nbNodes());
  const TestMesh declined[] = {
      open, hanging, doubled, Box(1, 1, 1, 2, true), Faces({3, 0, 1, 1, 3, 1, 0, 1}), beyond};
  for (const TestMesh& m : declined) {
    SMesh mesh = MakeSMesh(m);
    EXPECT_TRUE(MatchedSidesAcross(mesh).empty());
    if (m.nbNodes() > *std::max_element(m.elem.begin(), m.elem.end())) {
      BuildEdgeHash(mesh, true);
      EXPECT_TRUE(mesh.edgeHash.SidesAcrossAsBuilt().empty());
    }
  }
}

struct CheckRun {
  int32_t result;
  std::vector<int32_t> elem;  // the connectivity after the check
  std::vector<std::string> lines;
};

CheckRun Check(const TestMesh& m, uint8_t outside = 0,
               EdgesAfterCheck after = EdgesAfterCheck::kChecksEdgeList) {
  SMesh mesh = MakeSMesh(m, 1, outside);
  testing::internal::CaptureStdout();
  const int32_t result = Checking_SMesh(mesh, after);
  std::istringstream out(testing::internal::GetCapturedStdout());
  CheckRun run{result, Plain(mesh.elem), {}};
  for (std::string line; std::getline(out, line);)
    run.lines.push_back(line);
  return run;
}

TEST(MeshCheck, RejectsOpenNonManifoldAndNonTriangularMeshesAndLeavesThemAsTheyCame) {
  TestMesh open = Rewound(Tetrahedron()), hanging = Tetrahedron(), empty = Rewound(Tetrahedron());
  open.elem.resize(12);
  hanging.AddTriangle(0, hanging.AddNode(0.5, -0.8, 0.2), 1);
  empty.elem.push_back(0);
  TestMesh pages = Tetrahedron();  // a second tetrahedron on the edge 0-1: four faces on it
  const int32_t a = pages.AddNode(0.5, -0.8, 0.1), b = pages.AddNode(0.5, -0.3, -0.9);
  pages.elem.insert(pages.elem.end(), {3, 0, a, 1, 3, 0, b, a, 3, 1, a, b, 3, 0, 1, b});
  const struct {
    const char* what;
    TestMesh mesh;
    int32_t result;
  } cases[] = {
      {"open triangle", {{0, 0, 0, 1, 0, 0, 0, 1, 0}, {3, 0, 2, 1}}, kCheckBoundaryEdge},
      {"tetrahedron missing a face", open, kCheckBoundaryEdge},
      {"tetrahedra sharing an edge", pages, kCheckNonManifoldEdge},
      {"triangle hanging from an edge", hanging, kCheckBoundaryEdge | kCheckNonManifoldEdge},
      {"cube of quadrilaterals", Rewound(Box(1, 1, 1, 2, true)), kCheckQuadrilateral},
      {"pentagon closing a pyramid", Rewound(PentagonalPyramid(false)), kCheckOtherFace},
      {"pentagon and quadrilateral", Rewound(PentagonalPyramid(true)),
       kCheckQuadrilateral | kCheckOtherFace},
      {"count entry of zero", empty, kCheckOtherFace},
  };
  for (const auto& c : cases) {
    for (const EdgesAfterCheck after : {EdgesAfterCheck::kChecksEdgeList, EdgesAfterCheck::kOwn}) {
      const CheckRun run = Check(c.mesh, 0, after);
      EXPECT_EQ(run.result, c.result) << c.what;
      EXPECT_EQ(run.elem, c.mesh.elem) << c.what;
      EXPECT_TRUE(run.lines.empty()) << c.what;  // the orientation never ran
    }
  }
}

TEST(MeshCheck, AcceptsClosedTriangleMeshesAndPrintsOneLinePerVolume) {
  const std::pair<TestMesh, size_t> cases[] = {
      {Tetrahedron(), 1},
      {Together(IrregularTetrahedron(), Translated(IrregularTetrahedron(), 5, 0, 0)), 2},
      {BoxWithCavity(true), 2}};
  for (const auto& [mesh, volumes] : cases) {
    const CheckRun run = Check(mesh);
    // Checked without an edge list, the same, wound either way: the sides matched stand for it.
    for (const TestMesh& m : {mesh, Rewound(mesh)}) {
      const CheckRun listed = Check(m), matched = Check(m, 0, EdgesAfterCheck::kOwn);
      EXPECT_EQ(std::tie(matched.result, matched.elem, matched.lines),
                std::tie(listed.result, listed.elem, listed.lines));
    }
    EXPECT_EQ(run.result, 0);
    ASSERT_EQ(run.lines.size(), 1 + volumes);
    EXPECT_EQ(run.lines[0], "S2V : ");
    for (size_t v = 0; v < volumes; ++v) {
      EXPECT_NE(run.lines[1 + v].find(" ; volume " + std::to_string(v) + ", state "),
                std::string::npos)
          << run.lines[1 + v];
    }
    EXPECT_EQ(run.lines[1].rfind("0 ; ", 0), 0u) << "the seed face's volume is shell 0";
  }
  // Nodes but no face: nothing is open or of the wrong kind, and no seed face exists.
  EXPECT_EQ(Check({{0, 0, 0, 1, 2, 3}, {}}).lines,
            (std::vector<std::string>{"Unable to define the volume(volume not closed or not "
                                      "manifold or initial orientation uncertain)",
                                      "S2V : "}));
  // With the outside flag the probes are sized without the last eight nodes' edges, unless no
  // edge would be left: even a part of eight nodes is turned outwards.
  for (const TestMesh& m : {Cube(), Tetrahedron(), Box(1, 1, 1, 2)}) {
    for (const EdgesAfterCheck after : {EdgesAfterCheck::kChecksEdgeList, EdgesAfterCheck::kOwn}) {
      const CheckRun run = Check(Rewound(m), 1, after);
      EXPECT_EQ(run.result, 0);
      EXPECT_EQ(run.elem, m.elem);
      EXPECT_EQ(run.lines.size(), 2u);
    }
  }
}

// Whether the grouping succeeded, each volume's faces in order, and the connectivity after.
using Grouping = std::tuple<bool, std::vector<std::vector<FaceRef>>, std::vector<int32_t>>;

// The grouping of m from seed, the edge list built with its list of the faces across each side
// and the seed turned after that when turnSeed, as the orientation's probe may turn it.
template <class Group>
Grouping Grouped(const TestMesh& m, FaceRef seed, Group&& group, bool turnSeed = false,
                 bool matched = false) {
  SMesh mesh = MakeSMesh(m);
  // The check's list: the edge list build's, or matched without an edge list.
  if (matched) {
    mesh.edgeHash.KeepSidesAcross(MatchedSidesAcross(mesh));
  } else {
    BuildEdgeHash(mesh, true);
  }
  if (turnSeed) TurnFace(mesh, seed.facePos);
  Volumes volumes(mesh.nbFaces);
  const bool grouped = group(mesh, seed, volumes);
  std::vector<std::vector<FaceRef>> faces;
  for (int32_t v = 0; grouped && v < volumes.Count(); ++v)
    faces.emplace_back(volumes.Faces(v).begin(), volumes.Faces(v).end());
  return {grouped, faces, Plain(mesh.elem)};
}

bool ByWalk(SMesh& mesh, FaceRef seed, Volumes& volumes) {
  return GroupFacesByWalk(mesh, seed, volumes);
}
bool ByBuildsList(SMesh& mesh, FaceRef seed, Volumes& volumes) {
  return GroupTriangles(mesh, seed, volumes, mesh.edgeHash.SidesAcrossAsBuilt());
}
bool ByOwnList(SMesh& mesh, FaceRef seed, Volumes& volumes) {
  return GroupTriangles(mesh, seed, volumes);
}
bool EitherWay(SMesh& mesh, FaceRef seed, Volumes& volumes) {
  return GroupFaces(mesh, seed, volumes, mesh.edgeHash.SidesAcrossAsBuilt());
}

TEST(Volumes, GroupedFromAListOfTheFacesAcrossAsTheWalkGroupsAndTurnsThemOrLeftToTheWalk) {
  // Bodies of every winding, a torus and a cavity among them, from any seed, turned or not
  // since the edge list was built; the list is the build's or listed anew.
  std::mt19937 random(11);
  const TestMesh bodies = Together(Together(Torus(8, 5), Translated(Box(2, 1, 1, 3), 10, 0, 0)),
                                   Translated(BoxWithCavity(false), 0, 10, 0));
  for (int trial = 0; trial < 12; ++trial) {
    TestMesh m = bodies;
    for (int32_t f = 0; f < m.nbFaces(); ++f) {
      if (random() % 3 == 0) std::swap(m.elem[4 * f + 2], m.elem[4 * f + 3]);
    }
    const int32_t s = static_cast<int32_t>(random() % static_cast<uint32_t>(m.nbFaces()));
    for (const bool turnSeed : {false, true}) {
      const Grouping walked = Grouped(m, {s, 4 * s}, ByWalk, turnSeed);
      EXPECT_TRUE(std::get<0>(walked));
      EXPECT_EQ(Grouped(m, {s, 4 * s}, ByBuildsList, turnSeed), walked) << "trial " << trial;
      EXPECT_EQ(Grouped(m, {s, 4 * s}, ByBuildsList, turnSeed, true), walked) << "matched";
      EXPECT_EQ(Grouped(m, {s, 4 * s}, ByOwnList, turnSeed), walked) << "trial " << trial;
    }
  }
  // A surface no winding agrees across, alone or after a body: the lists decline it and leave
  // the connectivity as it came, and the grouping is the walk's.
  for (const TestMesh& m : {ProjectivePlane(), Together(Cube(), ProjectivePlane())}) {
    for (const auto group : {ByBuildsList, ByOwnList}) {
      const auto [grouped, faces, elem] = Grouped(m, {0, 0}, group);
      EXPECT_FALSE(grouped);
      EXPECT_EQ(elem, m.elem);
    }
    EXPECT_EQ(Grouped(m, {0, 0}, EitherWay), Grouped(m, {0, 0}, ByWalk));
    EXPECT_EQ(Grouped(m, {0, 0}, EitherWay, false, true), Grouped(m, {0, 0}, ByWalk));
  }
}

std::pair<std::vector<VolumeRecord>, std::vector<int32_t>> Orient(const TestMesh& m) {
  SMesh mesh = MakeSMesh(m);
  BuildEdgeHash(mesh);
  std::vector<VolumeRecord> volumes = S2V(mesh);
  return {volumes, Plain(mesh.elem)};
}

TEST(SurfaceOrientation, TurnsEveryBodyOutwardsWhateverWindingItsFacesCameWith) {
  const std::vector<VolumeRecord> one = {{0, kVolumeDecided}};
  const TestMesh tet = Tetrahedron(), box = Box(2, 3, 1, 3);
  TestMesh scrambled = box;  // a third of the faces turned, here and there
  for (int32_t f = 0; f < box.nbFaces(); f += f % 3 + 1)
    scrambled = WithFaceTurned(scrambled, f);
  std::vector<std::pair<TestMesh, TestMesh>> cases = {{scrambled, box}};
  for (const TestMesh& m : {tet, IrregularTetrahedron(), Cube(), box, CubeOnCube()}) {
    cases.emplace_back(m, m);
    cases.emplace_back(Rewound(m), m);
  }
  for (int32_t face = 0; face < 4; ++face)  // the seed or another face against the rest
    cases.emplace_back(WithFaceTurned(tet, face), tet);
  for (const auto& [input, expected] : cases) {
    const auto [volumes, elem] = Orient(input);
    EXPECT_EQ(volumes, one);
    EXPECT_EQ(elem, expected.elem);
  }
  // Separate bodies, each wound either way, and a row of bodies whose probes cross their
  // neighbours: every volume is decided once and turned outwards.
  const TestMesh first = IrregularTetrahedron(),
                 second = Translated(IrregularTetrahedron(2), 20, 3, 0);
  for (const TestMesh& m : {Together(first, second), Together(first, Rewound(second)),
                            Together(Rewound(first), second), Rewound(Together(first, second))}) {
    const auto [volumes, elem] = Orient(m);
    EXPECT_EQ(volumes, (std::vector<VolumeRecord>{{0, kVolumeDecided}, {1, kVolumeDecided}}));
    EXPECT_EQ(elem, Together(first, second).elem);
  }
  TestMesh row, rowOutwards;
  for (int32_t i = 0; i < 12; ++i) {
    const TestMesh body = Box(1, 1, 1, 1, false, 2.0 * i, 0.1 * (i % 3), 0.05 * (i % 4));
    rowOutwards.Append(body);
    row.Append(i % 2 == 0 ? Rewound(body) : body);
  }
  const auto [volumes, elem] = Orient(row);
  ASSERT_EQ(volumes.size(), 12u);
  for (const VolumeRecord& v : volumes)
    EXPECT_NE(v.state, kVolumeUndecided);
  EXPECT_EQ(elem, rowOutwards.elem);
}

TEST(SurfaceOrientation, TurnsACavityToFaceIntoItWhateverWindingItCameWith) {
  const TestMesh expected = BoxWithCavity(true);
  const auto [volumes, elem] = Orient(BoxWithCavity(false));
  EXPECT_EQ(volumes,
            (std::vector<VolumeRecord>{{0, kVolumeDecided}, {-1, kVolumeDecidedOnTheWay}}));
  EXPECT_EQ(elem, expected.elem);
  EXPECT_EQ(Orient(expected).first,
            (std::vector<VolumeRecord>{{0, kVolumeDecided}, {1, kVolumeDecided}}));
  for (const TestMesh& m : {expected, Rewound(BoxWithCavity(false)), Rewound(expected)})
    EXPECT_EQ(Orient(m).second, expected.elem);
  TestMesh open = Tetrahedron();
  open.elem.resize(12);
  EXPECT_TRUE(Orient(open).first.empty()) << "no volume without a full neighbourhood";
}

// A wall [0, t] x [0, 4000]^2 and a box [6000, 10000] x [1000, 3000]^2, 12 outward triangles
// each, in the normalised frame as they stand. The box's faces come after the wall's, led by
// its +x triangle, whose probe meets the wall at (y, z) = (2414.2, 1585.8). The wall's faces are
// led by its triangle holding that point on its far side x = 0, or on its near side x = t.
TestMesh WallAndBox(double t, bool farSideFirst) {
  TestMesh wall = Box(t, 4000, 4000);
  // Face 0 is the +x triangle holding the point, face 3 the -x one.
  if (farSideFirst) std::rotate(wall.elem.begin(), wall.elem.begin() + 12, wall.elem.begin() + 16);
  return Together(wall, Box(4000, 2000, 2000, 1, false, 6000, 1000, 1000));
}

TEST(SurfaceOrientation, TurnsABodyProbedThroughAThinWallListedAgainstTheRayOutwards) {
  // The box's probe crosses both sides of the wall within one of its steps (586 long). Listed
  // far side first, the wall's sides come against the order of the ray, and the last face
  // listed is where the ray enters the wall, not where it leaves. A 50-thick wall and the near
  // side listed first are the controls.
  for (const auto& [thickness, farSideFirst] :
       {std::pair{20.0, true}, std::pair{50.0, true}, std::pair{20.0, false}}) {
    const TestMesh outwards = WallAndBox(thickness, farSideFirst);
    for (const TestMesh& m : {outwards, Rewound(outwards)}) {
      const auto [volumes, elem] = Orient(m);
      ASSERT_EQ(volumes.size(), 2u);
      EXPECT_EQ(elem, outwards.elem)
          << "thickness " << thickness << (farSideFirst ? ", far side first" : "");
    }
  }
}

}  // namespace
}  // namespace vexmor::test
