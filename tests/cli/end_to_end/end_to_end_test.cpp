// The built program, run as a person runs it, one whole subcommand per test: exit statuses,
// the key numbers of its summaries (through --json), and the files it writes, read back.
#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "io/mesh_reader.h"
#include "io/mesh_writer.h"
#include "mesh/mesh_report.h"
#include "mesh/sample_part.h"
#include "mesh/triangulation.h"
#include "program_fixture.h"
#include "report/report.h"
#include "solids.h"
#include "vtp_arrays.h"

namespace vexmor::cli::test {
namespace {

std::string Obj(const Mesh& m) {
  return MeshToObj(m, MeshWriteOptions{});
}

// Mean over an a x b rectangle of the distance to its rim, capped at c, where a distance
// across b counts `slope` times (the largest ball by a side wall at 60 degrees grows as
// sqrt(3) times the distance to it): the integral over s from 0 to c of the area where the
// distance is at least s, (a - 2s)(b - 2s / slope), over ab.
double MeanRimDistance(double a, double b, double c, double slope = 1) {
  const double k = 1 / slope;
  c = std::min({c, a / 2, b / (2 * k)});
  return (a * b * c - (a * k + b) * c * c + 4 * k / 3 * c * c * c) / (a * b);
}

// Mean over a regular polygon of apothem `apothem` of the distance to its rim, capped at c: in
// the slice of each edge, the distance is apothem - t at depth t, over a width growing as t.
double MeanPolygonRimDistance(double apothem, double c) {
  const double a = apothem;
  if (a <= c) return a / 3;
  return ((a * c * c / 2 - c * c * c / 3) + c * (a - c) * (a - c) / 2) / (a * a / 2);
}

// A unit cube whose top is two quadrilaterals folded around node 9, which only they share: both
// first-to-third diagonals are 1-3, so the library's own split would give that edge four
// triangles.
const char* kFoldedCube =
    "v 0 0 1\nv 1 0 1\nv 1 1 1\nv 0 1 1\nv 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 0.7 0.3 1\n"
    "f 1 9 3 4\nf 3 9 1 2\nf 5 8 7 6\nf 5 6 2 1\nf 6 7 3 2\nf 7 8 4 3\nf 8 5 1 4\n";

TEST_F(Program, DocumentsItsCommandsAndExitsTwoOnEveryKindOfBadUsage) {
  const RunResult help = vexmor("--help");
  EXPECT_EQ(help.status, 0);
  for (const char* part : {"Exit status", "2  bad usage", "check", "thickness", "gradient", "draft",
                           "dihedral", "analyze", "sample"})
    EXPECT_TRUE(help.says(part)) << part;
  for (const char* command :
       {"check", "thickness", "gradient", "draft", "dihedral", "analyze", "report", "sample"}) {
    const RunResult sub = vexmor(std::string(command) + " --help");
    EXPECT_EQ(sub.status, 0) << command;
    EXPECT_TRUE(sub.says("Exit status:\n  0  success") && sub.says("3  the mesh is rejected"))
        << command;
  }
  const std::string t = tray();
  for (const std::string& arguments :
       {std::string("draft"), std::string("sample"), std::string("sample -o t.txt"),
        "frobnicate " + t, "thickness " + t + " --method depth", "draft " + t + " --pull 0,0,0",
        "draft " + t + " --pull 1,2", "draft " + t + " --pull up",
        "thickness " + t + " --method sphere --outside", "thickness " + t + " --points p.txt",
        "thickness " + t + " --method distance", "gradient " + t + " --method distance",
        "dihedral " + t + " --sharp 200", "check " + t + " -o out.xyz",
        "analyze " + t + " --threads x"}) {
    const RunResult run = vexmor(arguments);
    EXPECT_EQ(run.status, 2) << arguments << "\n" << run.err;
    EXPECT_EQ(run.err.rfind("vexmor: error: ", 0), 0u) << arguments << "\n" << run.err;
  }
  // Numbers as typed, bounds as the help gives them.
  EXPECT_TRUE(
      vexmor("dihedral " + t + " --sharp 180.50").complains("expected from 0 to 180, got 180.50"));
  EXPECT_TRUE(vexmor("draft " + t + " --bins 0").complains("from 1 to 200, got 0"));
  EXPECT_TRUE(vexmor("analyze " + t + " --threads 0").complains("from 1 to 1024, got 0"));
  // Output paths are checked before any work: nothing is printed, the input is left alone.
  const std::pair<std::string, std::string> outputs[] = {
      {"thickness " + t + " --method sphere -o t.xyz", "-o t.xyz: unknown extension '.xyz'"},
      {"thickness " + t + " --method sphere -o nowhere/t.vtp", "the folder nowhere does not exist"},
      {"check " + t + " -o ./" + t, "that is the input file"},
      {"draft " + t + " --png " + t, "--png " + t + ": unknown extension '.ply'"},
      {"report " + t + " -o page.txt", "-o page.txt: unknown extension '.txt'"},
      {"sample -o missing/s.stl", "the folder missing does not exist"},
  };
  const auto size = fs::file_size(path(t));
  for (const auto& [arguments, message] : outputs) {
    const RunResult run = vexmor(arguments);
    EXPECT_EQ(run.status, 2) << arguments;
    EXPECT_EQ(run.err.rfind("vexmor: error: ", 0), 0u) << run.err;
    EXPECT_TRUE(run.complains(message)) << run.err;
    EXPECT_EQ(run.out, "") << arguments;
  }
  EXPECT_EQ(fs::file_size(path(t)), size);
}

TEST_F(Program, CheckFindsAMeshReadyForEveryAnalysisAndSaysWhatItSplitsOrMerges) {
  const MeshReport expected = InspectMesh(SamplePart());
  const json check = summary("check " + tray())["check"];
  EXPECT_EQ(check["nodes"], expected.nodes);
  EXPECT_EQ(check["faces"], expected.faces);
  EXPECT_EQ(check["quadrilaterals"], expected.quadrilaterals);
  EXPECT_EQ(check["edges"], expected.edges);
  EXPECT_EQ(check["boundary_edges"], 0);
  EXPECT_EQ(check["non_manifold_edges"], 0);
  EXPECT_EQ(check["closed_volumes"], 1);
  EXPECT_EQ(check["accepted"], true);
  EXPECT_EQ(check["box"]["max"], json::array({80.0, 50.0, 16.0}));

  write("prism.obj", Obj(Prism(RegularRing(6, 10), 2, {})));
  const json prism = summary("check prism.obj")["check"];
  EXPECT_EQ(prism["polygons"], 2);
  EXPECT_EQ(prism["quadrilaterals"], 6);
  EXPECT_EQ(prism["library_status"], 0);
  EXPECT_EQ(prism["split_for"],
            json::array({"ray", "contact", "gradient", "sphere", "draft", "dihedral"}));
  const RunResult text = vexmor("check prism.obj");
  EXPECT_TRUE(
      text.says("splits the 6 quadrilaterals and 2 faces of 5+ nodes into triangles in their "
                "planes for every analysis"))
      << text.out;

  write("folded.obj", kFoldedCube);
  EXPECT_TRUE(
      vexmor("check folded.obj").says("1 quadrilateral along the second-to-fourth diagonal"));
}

TEST_F(Program, RefusesARejectedMeshSayingWhyAndExitsTwoOnADamagedFile) {
  // A cube without its top: four boundary edges.
  write("open.obj",
        "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 0 0 1\nv 1 0 1\nv 1 1 1\nv 0 1 1\n"
        "f 1 4 3 2\nf 1 2 6 5\nf 2 3 7 6\nf 3 4 8 7\nf 4 1 5 8\n");
  RunResult run = vexmor("check open.obj -o faults.csv");
  EXPECT_EQ(run.status, 3);
  EXPECT_TRUE(run.says("rejected by every analysis but the distance method")) << run.out;
  EXPECT_TRUE(run.says("it is open: 4 edges belong to a single face")) << run.out;
  EXPECT_TRUE(run.says("try --repair")) << run.out;
  EXPECT_TRUE(run.complains("rejected")) << run.err;
  size_t boundary = 0;  // where they are
  for (const auto& row : csv("faults.csv"))
    boundary += row.at("kind") == "edge" && Number(row, "edge_fault") == 1;
  EXPECT_EQ(boundary, 4u);
  run = vexmor("draft open.obj");
  EXPECT_EQ(run.status, 3);
  EXPECT_TRUE(run.complains("only thickness --method distance runs on such a mesh")) << run.err;
  // analyze shows the check and says once why nothing else ran.
  run = vexmor("analyze open.obj");
  EXPECT_EQ(run.status, 3);
  EXPECT_TRUE(run.says("Mesh check") && !run.says("Thickness")) << run.out;
  EXPECT_EQ(run.err,
            "vexmor: error: the mesh cannot be analysed: it is open: 4 edges belong to "
            "a single face\n");
  // Two tetrahedra sharing one edge: that edge has four faces.
  write("bowtie.off",
        "OFF\n6 8 0\n0 0 0\n1 0 0\n0 1 0\n0 0 1\n0 -1 0\n0 0 -1\n"
        "3 0 2 1\n3 0 1 3\n3 1 2 3\n3 2 0 3\n3 0 1 4\n3 0 5 1\n3 1 5 4\n3 5 0 4\n");
  run = vexmor("check bowtie.off");
  EXPECT_EQ(run.status, 3);
  EXPECT_TRUE(run.says("not manifold: 1 edge is shared by more than two faces")) << run.out;

  write("cut.stl",
        std::string(80, 'x') + std::string("\x05\x00\x00\x00", 4) + std::string(120, '\0'));
  write("point.off", "OFF\n3 1 0\n1 1 1\n1 1 1\n1 1 1\n3 0 1 2\n");  // cannot be measured at all
  const std::pair<std::string, std::string> damaged[] = {
      {"check cut.stl", "vexmor: error: cut.stl: byte 184: truncated binary STL"},
      {"draft point.off", "one point"},
      {"check nowhere.stl --json", "nowhere.stl: cannot open"}};
  for (const auto& [arguments, message] : damaged) {
    run = vexmor(arguments);
    EXPECT_EQ(run.status, 2) << arguments;
    EXPECT_TRUE(run.complains(message)) << run.err;
  }
  EXPECT_EQ(run.parsed()["exit_code"], 2);
}

// Small files of the packaged formats, kept beside the tests: a unit tetrahedron placed twice.
std::string TestFile(const std::string& name) {
  return VEXMOR_TEST_FILES "/" + name;
}

TEST_F(Program, ReadsEachFormatByItsContentWithItsPlacementsAndUnit) {
  struct Case {
    std::string file;
    int status;
    std::string expected;  // in the format line, or in the error
    size_t faces = 0;
    double maxX = 0, maxZ = 0;
    std::string unit;
  };
  write("empty.stl", "");
  write("points.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\n");
  const Case cases[] = {
      {TestFile("tetra.obj.gz"), 0, "OBJ, gzip-compressed", 4, 1, 1, "mm"},
      // Second item: the tetrahedron raised 5 by a component, then doubled and moved 10 along x.
      {TestFile("tetra_items.3mf"), 0, "3MF", 8, 12, 12, "in"},
      // Second instance: turned 90 degrees about z, then moved 10 along x.
      {TestFile("tetra_pair.amf"), 0, "AMF", 8, 10, 1, "in"},
      {TestFile("tetra_pair_zipped.amf"), 0, "AMF (zipped)", 8, 10, 1, "in"},
      {"empty.stl", 2, "empty.stl: empty file", 0, 0, 0, ""},
      {"points.obj", 2, "points.obj: no faces", 0, 0, 0, ""},
  };
  for (const Case& c : cases) {
    const RunResult run = vexmor("check '" + c.file + "' --json");
    ASSERT_EQ(run.status, c.status) << c.file << "\n" << run.err;
    if (c.status != 0) {
      EXPECT_TRUE(run.complains("vexmor: error: " + c.expected)) << run.err;
      continue;
    }
    const json summary = run.parsed();
    EXPECT_NE(summary["format"].get<std::string>().find(c.expected), std::string::npos)
        << summary["format"];
    EXPECT_EQ(summary["check"]["faces"], c.faces) << c.file;
    if (c.maxX > 0) {
      EXPECT_NEAR(summary["check"]["box"]["max"][0].get<double>(), c.maxX, 1e-6) << c.file;
      EXPECT_NEAR(summary["check"]["box"]["max"][2].get<double>(), c.maxZ, 1e-6) << c.file;
    }
    EXPECT_EQ(summary.value("unit", ""), c.unit) << c.file;
  }
}

TEST_F(Program, ManyFilesGiveOneLineEachAndTheWorstStatus) {
  tray();
  fs::create_directories(path("parts/sub"));
  fs::copy_file(path("tray.ply"), path("parts/tray.ply"));
  write("parts/broken.stl", "");
  write("parts/notes.txt", "not a part");
  fs::copy_file(TestFile("tetra.obj.gz"), path("parts/sub/tetra.obj.gz"));
  const RunResult lines = vexmor("draft parts --recursive --jobs 2 --json");
  EXPECT_EQ(lines.status, 2) << lines.err;
  std::istringstream in(lines.out);
  std::vector<json> summaries;
  for (std::string line; std::getline(in, line);)
    summaries.push_back(json::parse(line));
  ASSERT_EQ(summaries.size(), 3u) << lines.out;
  EXPECT_EQ(summaries[0]["file"], "parts/broken.stl");
  EXPECT_EQ(summaries[0]["exit_code"], 2);
  EXPECT_EQ(summaries[1]["faces"], 4);  // sub/tetra.obj.gz sorts before tray.ply
  EXPECT_EQ(summaries[2]["draft"]["values"]["count"], SamplePart().faceCount());

  const RunResult table = vexmor("check parts/tray.ply parts/broken.stl");
  EXPECT_EQ(table.status, 2);
  EXPECT_TRUE(table.says("\n  vexmor: error: parts/broken.stl: empty file\n")) << table.out;
  EXPECT_TRUE(table.says("2 files: 1 exit 0, 1 with a non-zero exit status (the worst: 2)"))
      << table.out;
  EXPECT_EQ(vexmor("check parts -o x.csv").status, 2);
}

// Faces of the rib's long sides away from its ends, and bottom faces under the open floor.
bool OnRibSide(const Row& row) {
  const double x = Number(row, "x"), y = Number(row, "y"), z = Number(row, "z");
  return (x == 50 || x == 51.25) && z > 3 && z < 10 && y > 10 && y < 40;
}
bool UnderOpenFloor(const Row& row) {
  const double x = Number(row, "x"), y = Number(row, "y"), z = Number(row, "z");
  return z == 0 && x > 30 && x < 46 && y > 6 && y < 12;
}

TEST_F(Program, ThicknessMeasuresWallsByEveryMethodAndPointsByTheirDistance) {
  const std::string t = tray();
  write("folded.obj", kFoldedCube);
  // Unrefined, so that each face reads the ball at its own incircle centre.
  for (const std::string method : {"ray", "sphere", "contact"}) {
    SCOPED_TRACE(method);
    const std::string column = "thickness_" + method;
    const json thickness =
        summary("thickness " + t + " --method " + method + " --no-refine --min 2 -o t.csv");
    EXPECT_EQ(thickness["thickness"]["method"], method);
    EXPECT_GT(thickness["thickness"]["values"]["below_min"]["count"].get<size_t>(), 0u);
    size_t rib = 0, floor = 0;
    for (const Row& row : csv("t.csv")) {
      if (OnRibSide(row)) {
        EXPECT_NEAR(Number(row, column), 1.25, 1e-6);
        ++rib;
      }
      if (UnderOpenFloor(row)) {
        EXPECT_NEAR(Number(row, column), 3, 1e-6);
        ++floor;
      }
    }
    EXPECT_GT(rib * floor, 0u);
  }
  // The folded top splits without doubling an edge: every face reads the cube's side, and
  // the analyses that need a manifold surface accept it.
  ASSERT_EQ(vexmor("thickness folded.obj -o t.csv").status, 0);
  for (const Row& row : csv("t.csv"))
    EXPECT_NEAR(Number(row, "thickness_ray"), 1, 1e-9);
  for (const std::string command : {"gradient", "dihedral"})
    EXPECT_EQ(vexmor(command + " folded.obj").status, 0) << command;
  // Points above the boss top (z = 16), below the bottom, and in the wall 1 from its outside.
  write("points.txt", "# x y z\n18 22 20\n40,25,-5\n1 25 7\n");
  EXPECT_EQ(
      summary("thickness " + t +
              " --method distance --points points.txt -o d.csv")["thickness"]["values"]["count"],
      3);
  // One row per query point, in the file's order, with its position and distance.
  const std::vector<Row> rows = csv("d.csv");
  ASSERT_EQ(rows.size(), 3u);
  const double expected[3][3] = {{18, 20, 4}, {40, -5, 5}, {1, 7, 1}};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(Number(rows[i], "x"), expected[i][0]);
    EXPECT_EQ(Number(rows[i], "z"), expected[i][1]);
    EXPECT_NEAR(Number(rows[i], "distance"), expected[i][2], 1e-6);
  }
}

TEST_F(Program, GradientIsZeroWhereTheWallKeepsItsThickness) {
  const json gradient = summary("gradient " + tray() + " --max 0.5 -o g.csv")["gradient"];
  EXPECT_EQ(gradient["values"]["count"], SamplePart().faceCount());
  for (const Row& row : csv("g.csv")) {
    if (UnderOpenFloor(row)) {
      EXPECT_NEAR(Number(row, "thickness_gradient"), 0, 1e-9);
    }
  }
  write("prism.obj", Obj(Prism(RegularRing(6, 10), 2, {})));
  EXPECT_EQ(summary("gradient prism.obj")["gradient"]["values"]["count"], 8);
}

TEST_F(Program, DraftSortsFacesByTheirAngleToThePullAndWritesThemInEveryResultsFormat) {
  const std::string t = tray();
  const Mesh part = SamplePart();
  const json up = summary("draft " + t + " --verbose")["draft"];  // verbose keeps JSON clean
  const size_t positive = up["positive"]["faces"], negative = up["negative"]["faces"],
               vertical = up["requires_draft"]["faces"];
  EXPECT_EQ(positive + negative + vertical, part.faceCount());
  EXPECT_GT(positive * negative * vertical, 0u);
  EXPECT_NEAR(up["values"]["min"].get<double>(), -90, 1e-9);
  EXPECT_NEAR(up["values"]["max"].get<double>(), 90, 1e-9);
  // The flat bottom (80 x 50 mm) is a quarter of the area or more, all of it negative.
  EXPECT_GT(up["negative"]["area_share"].get<double>(), 0.25);
  // Pulling the other way swaps the positive and negative faces; the boss sides lean by
  // atan(0.5 / 13) = 2.2 degrees, so a 3 degree minimum makes them require draft too.
  const json down = summary("draft " + t + " --pull=-z")["draft"];
  EXPECT_EQ(down["positive"]["faces"], negative);
  EXPECT_EQ(down["negative"]["faces"], positive);
  EXPECT_GT(
      summary("draft " + t + " --min-draft 3")["draft"]["requires_draft"]["faces"].get<size_t>(),
      vertical);
  const RunResult text = vexmor("draft " + t + " --pull 0,0,2");
  EXPECT_TRUE(text.says("needs draft: steeper than 1") && text.says("histogram (share of area)"))
      << text.out;

  for (const std::string file : {"d.vtp", "d.ply", "d.csv"})
    ASSERT_EQ(vexmor("draft " + t + " -o " + file).status, 0) << file;
  const Mesh ply = ReadMeshFile(path("d.ply")).mesh;
  EXPECT_EQ(ply.coords, part.coords);
  EXPECT_EQ(ply.elem, part.elem);
  const std::vector<Row> rows = csv("d.csv");
  ASSERT_EQ(rows.size(), part.faceCount());
  const std::string vtp = read("d.vtp");
  EXPECT_EQ(VtpArray(vtp, "", "<Points>"), part.coords);
  const std::vector<double> degrees = VtpArray(vtp, "draft_deg");
  ASSERT_EQ(degrees.size(), rows.size());
  for (size_t f = 0; f < rows.size(); ++f) {
    const double d = Number(rows[f], "draft_deg");
    EXPECT_NEAR(degrees[f], d, 1e-9);
    // The bottom of the tray is the only face at z = 0 and looks straight down.
    if (Number(rows[f], "z") == 0) {
      EXPECT_NEAR(d, -90, 1e-9);
    }
    EXPECT_EQ(Number(rows[f], "draft_class"), d >= 1 ? 1 : d <= -1 ? -1 : 0);
  }
}

TEST_F(Program, DihedralMeasuresTheFilesEdgesAndTheSharpestFoldAtEveryNode) {
  const MeshReport expected = InspectMesh(SamplePart());
  const std::string t = tray();
  json dihedral = summary("dihedral " + t)["dihedral"];
  EXPECT_EQ(dihedral["edges"], expected.edges);
  EXPECT_GT(dihedral["sharp_convex"].get<size_t>() * dihedral["sharp_concave"].get<size_t>(), 0u);
  // The sharpest fold is the pocket's overhanging rim: 90 degrees plus atan(0.5 / 2).
  EXPECT_NEAR(dihedral["values"]["max"].get<double>(), 90 + std::atan(0.25) * 180 / M_PI, 1e-6);
  EXPECT_NEAR(dihedral["values"]["min"].get<double>(), 0, 1e-9);
  dihedral = summary("dihedral " + t + " --signed --per-node")["dihedral"];
  EXPECT_EQ(dihedral["values"]["count"], expected.nodes);
  EXPECT_LT(dihedral["values"]["min"].get<double>(), -89);
  EXPECT_GT(dihedral["values"]["max"].get<double>(), 89);
  // The prism file's edges, without the diagonals: 90 degrees round the caps, 60 down the sides.
  write("prism.obj", Obj(Prism(RegularRing(6, 10), 2, {})));
  dihedral = summary("dihedral prism.obj --sharp 70")["dihedral"];
  EXPECT_EQ(dihedral["sharp_convex"], 12);
  EXPECT_NEAR(dihedral["values"]["min"].get<double>(), 60, 1e-4);
  EXPECT_NEAR(dihedral["values"]["max"].get<double>(), 90, 1e-9);
  EXPECT_EQ(summary("dihedral prism.obj --per-node")["dihedral"]["values"]["count"], 12);
}

TEST_F(Program, SplitFacesMeasureLikeTheSameSolidAsTriangles) {
  // Prisms whose caps are faces of several nodes, against the same solids with their caps
  // given as triangles that lie inside them. A split that folds turns triangles inside out,
  // so the caps lose their thickness and edges flip between convex and concave.
  const Ring hexagon = RegularRing(6, 10);
  const Ring ell = {{20, 0}, {20, 5}, {5, 5}, {5, 20}, {0, 20}, {0, 0}};  // its first corner
                                                                          // does not see it all
  const Ring dart = {{5, 8}, {0, 4}, {-5, 8}, {0, 0}};  // reflex at its second corner
  struct Case {
    const char* what;
    Ring ring;
    double thickness;
    std::vector<std::array<int32_t, 3>> inside;  // the caps as triangles inside them
    bool sphere;  // compare the sphere too (the dart's sharp tips take many pieces)
  } cases[] = {
      {"hexagon", hexagon, 2, {{0, 1, 2}, {0, 2, 3}, {0, 3, 4}, {0, 4, 5}}, true},
      {"L", ell, 3, {{0, 1, 2}, {0, 2, 5}, {2, 3, 4}, {2, 4, 5}}, true},
      {"dart", dart, 2, {{1, 2, 3}, {1, 3, 0}}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    write("faces.obj", Obj(Prism(c.ring, c.thickness, {})));
    write("triangles.obj", Obj(Prism(c.ring, c.thickness, c.inside)));
    const size_t caps = 2 * c.inside.size(), sides = c.ring.size();
    // Ray: the caps read the plate's thickness, the sides the same in both files.
    ASSERT_EQ(vexmor("thickness faces.obj -o f.csv").status, 0);
    ASSERT_EQ(vexmor("thickness triangles.obj -o t.csv").status, 0);
    auto faces = csv("f.csv"), triangles = csv("t.csv");
    ASSERT_EQ(faces.size(), 2 + sides);
    ASSERT_EQ(triangles.size(), caps + sides);
    EXPECT_NEAR(Number(faces[0], "thickness_ray"), c.thickness, 1e-9);
    EXPECT_NEAR(Number(faces[1], "thickness_ray"), c.thickness, 1e-9);
    for (size_t i = 0; i < sides; ++i) {
      EXPECT_NEAR(Number(faces[2 + i], "thickness_ray"),
                  Number(triangles[caps + i], "thickness_ray"), 1e-9);
    }
    // Draft along a tilted pull: each cap reads as its triangles.
    ASSERT_EQ(vexmor("draft faces.obj -o f.csv --pull 1,2,3").status, 0);
    ASSERT_EQ(vexmor("draft triangles.obj -o t.csv --pull 1,2,3").status, 0);
    faces = csv("f.csv");
    triangles = csv("t.csv");
    EXPECT_NEAR(Number(faces[0], "draft_deg"), Number(triangles[0], "draft_deg"), 1e-9);
    EXPECT_NEAR(Number(faces[1], "draft_deg"), Number(triangles[caps - 1], "draft_deg"), 1e-9);
    // The file's edges fold the same way: the diagonals are left out.
    const json edges = vexmor("dihedral faces.obj --json").parsed()["dihedral"];
    const json reference = vexmor("dihedral triangles.obj --json").parsed()["dihedral"];
    EXPECT_EQ(edges["edges"], 3 * sides);
    EXPECT_EQ(edges["sharp_convex"], reference["sharp_convex"]);
    EXPECT_EQ(edges["sharp_concave"], reference["sharp_concave"]);
    // The sphere over the whole surface, by area.
    if (!c.sphere) continue;
    const double mean = vexmor("thickness faces.obj --method sphere --json")
                            .parsed()["thickness"]["values"]["area_weighted_mean"];
    const double expected = vexmor("thickness triangles.obj --method sphere --json")
                                .parsed()["thickness"]["values"]["area_weighted_mean"];
    EXPECT_NEAR(mean, expected, 0.01 * expected);
  }
}

TEST_F(Program, SphereMeansMatchTheLargestTangentBall) {
  // The largest ball tangent at a point of a convex solid's face, against the faces more than
  // 30 degrees from it (the sphere ignores walls facing its own way within that), is fixed by
  // the nearest such wall: on a face between parallel walls w apart with side walls at right
  // angles, its diameter is 2 min(distance to the face's rim, w / 2). The area-weighted means
  // of that, worked out exactly, against the refined sphere method on meshes whose triangles
  // are long and thin or large. Refinement to edges of a sixth of the local thickness samples
  // each face at incircle centres that far apart; where the nearest wall changes, the value at
  // a piece's incircle centre is above the piece's mean, which biases the mean by a small share
  // of a piece: 0.4 % on the cube, less on the others, so within 1 %.
  const double r = 14.1, h = 25;
  const int n = 120;  // fine enough that neighbouring sides never hold the ball below h / 2
  const double apothem = r * std::cos(M_PI / n),
               capArea = n * apothem * apothem * std::tan(M_PI / n);
  const double sideArea = n * 2 * r * std::sin(M_PI / n) * h;
  const double cylinder =
      (2 * capArea * 2 * MeanPolygonRimDistance(apothem, h / 2) + sideArea * h / 2) /
      (2 * capArea + sideArea);
  const double hexApothem = 10 * std::cos(M_PI / 6),
               hexCap = 6 * hexApothem * hexApothem / std::sqrt(3);
  const double hexagonalPrism = (2 * hexCap * 2 * MeanPolygonRimDistance(hexApothem, 4) +
                                 60 * 8 * 2 * MeanRimDistance(8, 10, 4, std::sqrt(3))) /
                                (2 * hexCap + 60 * 8);
  const double x = 6, y = 3, z = 2;
  const double plate =
      2 *
      (2 * x * y * MeanRimDistance(x, y, z / 2) + 2 * x * z * MeanRimDistance(x, z, z / 2) +
       2 * y * z * MeanRimDistance(y, z, z / 2)) /
      (2 * (x * y + x * z + y * z));
  struct Case {
    const char* what;
    Mesh mesh;
    double expected;
  } cases[] = {
      {"cube of 12 triangles", Cuboid(25, 25, 25), 25.0 / 3},
      {"cylinder of slivers the length of it", FannedCylinder(n, r, h), cylinder},
      {"hexagonal prism", Prism(RegularRing(6, 10), 8, {}), hexagonalPrism},
      {"plate of slivers 24 times as long as wide", SliverPlate(x, y, z, 12), plate},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    write("part.obj", Obj(c.mesh));
    const RunResult run = vexmor("thickness part.obj --method sphere --json");
    ASSERT_EQ(run.status, 0) << run.err;
    const json thickness = run.parsed()["thickness"];
    EXPECT_NEAR(thickness["values"]["area_weighted_mean"].get<double>(), c.expected,
                0.01 * c.expected);
  }
  // Unrefined, each face of the cube reads the ball at its incircle centre, 7.3 from two
  // edges: 14.64 on every face.
  write("cube.obj", Obj(cases[0].mesh));
  const json once =
      vexmor("thickness cube.obj --method sphere --no-refine --json").parsed()["thickness"];
  EXPECT_NEAR(once["values"]["min"].get<double>(), 25 * (2 - std::sqrt(2)), 0.01);
  EXPECT_NEAR(once["values"]["max"].get<double>(), 25 * (2 - std::sqrt(2)), 0.01);
}

TEST_F(Program, ContactSaysWhenTheSphereTouchesAroundACurve) {
  // In a ball the largest tangent sphere is the ball itself, touching it all around: the
  // contact distance is then a short chord, not a thickness. On a plate it is the thickness.
  struct Case {
    const char* what;
    Mesh mesh;
    bool aroundCurve;
  } cases[] = {
      {"ball", Ball(15.5, 8), true},
      {"plate", Cuboid(6, 6, 2), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    write("part.obj", Obj(c.mesh));
    const RunResult run = vexmor("thickness part.obj --method contact --json -o c.csv");
    ASSERT_EQ(run.status, 0) << run.err;
    const json thickness = run.parsed()["thickness"];
    const size_t pieces = thickness["refined_pieces"];
    const size_t curve = thickness["touching_around_a_curve"]["pieces"];
    const auto rows = csv("c.csv");
    ASSERT_EQ(rows.size(), c.mesh.faceCount());
    if (c.aroundCurve) {
      EXPECT_EQ(curve, pieces);
      EXPECT_EQ(thickness["values"]["count"], 0);
      for (const auto& row : rows) {
        EXPECT_EQ(row.at("thickness_contact"), "");  // not reported as thin
        EXPECT_EQ(Number(row, "touching_around_a_curve"), 1);
        EXPECT_GT(Number(row, "sphere_diameter"), 15.5);  // more than the ball's radius
      }
    } else {
      EXPECT_EQ(curve, 0u);
      EXPECT_NEAR(thickness["values"]["max"].get<double>(), 2, 1e-6);  // across the plate
    }
  }
  const RunResult text = vexmor("thickness part.obj --method contact");
  EXPECT_NE(text.out.find("where the largest sphere tangent there touches the opposite wall"),
            std::string::npos)
      << text.out;
}

TEST_F(Program, CheckTellsWhatMakesResultsDoubtful) {
  // Each kind of doubt is found by the mesh doubts' own tests; here, how the program tells them.
  Mesh box;
  AddBox(box, {0, 0, 0}, {10, 10, 10});
  write("box.obj", Obj(box));
  EXPECT_TRUE(vexmor("check box.obj").says("verdict         ready for every analysis\n"));
  Mesh stray = box;
  stray.addNode(200, 5, 5);  // used by no face
  write("stray.obj", Obj(stray));
  EXPECT_TRUE(vexmor("check stray.obj")
                  .says("stray node found: node 8 (counting from 0) at (200, 5, 5) lies 190 away "
                        "from the box of the other nodes, which is 10 across (used by no face)"));
  Mesh crossing = box;  // a second box through the first one's top
  AddBox(crossing, {4, 4, 8}, {6, 6, 14});
  write("part.obj", Obj(crossing));
  const std::string warning = "shells that cross: 5 faces (22.6 % of the area)";
  const RunResult run = vexmor("check part.obj -o faults.vtp");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(run.says("ready for every analysis, with warnings:\n    - " + warning)) << run.out;
  const auto flags = VtpArray(read("faults.vtp"), "crossing");
  EXPECT_EQ(std::count(flags.begin(), flags.end(), 1.0), 5);
  // The other analyses say it first.
  const RunResult draft = vexmor("draft part.obj");
  EXPECT_EQ(draft.out.find("warning: " + warning), draft.out.find('\n') + 1) << draft.out;
}

TEST_F(Program, MissingThicknessIsNotZero) {
  // Around the tray, the outer faces see only the enclosing box, and get no gradient either.
  const std::string part = tray();
  RunResult run = vexmor("thickness " + part + " --outside --json -o t.csv");
  ASSERT_EQ(run.status, 0) << run.err;
  const json thickness = run.parsed()["thickness"];
  const size_t open = thickness["open_to_box"]["faces"];
  EXPECT_GT(open, 0u);
  EXPECT_GT(thickness["values"]["min"].get<double>(), 0);  // the part's own clearances only
  EXPECT_EQ(thickness["values"]["count"].get<size_t>() + open, SamplePart().faceCount());
  run = vexmor("gradient " + part + " --outside --json -o g.csv");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.parsed()["gradient"]["values"]["missing"], open);
  const auto t = csv("t.csv"), g = csv("g.csv");
  ASSERT_EQ(t.size(), g.size());
  for (size_t f = 0; f < t.size(); ++f) {
    const bool seesBox = Number(t[f], "open_to_box") == 1;
    EXPECT_EQ(t[f].at("thickness_ray_outside").empty(), seesBox) << f;
    EXPECT_EQ(g[f].at("thickness_gradient").empty(), seesBox) << f;
  }
}

TEST_F(Program, AnalyzeRunsEveryAnalysisOnTheSampleOrAGivenFile) {
  const RunResult demo = vexmor("");
  ASSERT_EQ(demo.status, 0) << demo.err;
  for (const char* title :
       {"Mesh check", "Thickness", "Thickness gradient", "Draft", "Dihedral angles"})
    EXPECT_TRUE(demo.says(title)) << title;
  const json all = summary("analyze " + tray());
  for (const char* key : {"check", "thickness", "gradient", "draft", "dihedral"})
    EXPECT_TRUE(all.contains(key)) << key;
  EXPECT_EQ(all["errors"].size(), 0u);
  // The file's faces, not the triangles: two hexagons and six quadrilaterals.
  write("prism.obj", Obj(Prism(RegularRing(6, 10), 2, {})));
  EXPECT_EQ(summary("analyze prism.obj -o a.vtp")["errors"].size(), 0u);
  EXPECT_EQ(VtpArray(read("a.vtp"), "offsets", "<Polys>"),
            (std::vector<double>{6, 12, 16, 20, 24, 28, 32, 36}));
  // Each section is what the analysis' own subcommand gives with the same options.
  const std::string t = tray();
  const json options = summary("analyze " + t +
                               " --method contact --no-refine --min 1.5 --pull=-z "
                               "--min-draft 3 --sharp 60");
  const std::pair<std::string, std::string> alone[] = {
      {"thickness", "thickness " + t + " --method contact --no-refine --min 1.5"},
      {"draft", "draft " + t + " --pull=-z --min-draft 3"},
      {"dihedral", "dihedral " + t + " --sharp 60"}};
  for (const auto& [key, arguments] : alone)
    EXPECT_EQ(options[key], summary(arguments)[key]) << key;
  EXPECT_EQ(options["gradient"]["method"], "contact");
  // The analyses run at once give the same summary and values as one after another.
  const std::string run = "analyze " + t + " --method contact --no-refine --pull=-z -o a.csv";
  const RunResult one = vexmor(run + " --threads 1");
  const std::string values = read("a.csv");
  const RunResult three = vexmor(run + " --threads 3");
  EXPECT_EQ(one.status, 0);
  EXPECT_EQ(three.out, one.out);
  EXPECT_EQ(three.err, one.err);
  EXPECT_EQ(read("a.csv"), values);
}

TEST_F(Program, ProcessRulesEndEachAnalysisWithAVerdict) {
  const std::string t = tray();
  // The preset's wall in the file's unit, and an option overriding it.
  for (const auto& [options, limit] : {std::pair<std::string, double>{"--process fdm", 0.8},
                                       {"--process fdm --unit in", 0.8 / 25.4},
                                       {"--process sls --min 100", 100}}) {
    const RunResult run = vexmor("thickness " + t + " --json " + options);
    const json thickness = run.parsed()["thickness"];
    const json& below = thickness["values"]["below_min"];
    EXPECT_DOUBLE_EQ(below["limit"].get<double>(), limit) << options;
    EXPECT_EQ(thickness["verdict"]["failing_faces"], below["count"]) << options;
    EXPECT_EQ(thickness["verdict"]["pass"], below["count"] == 0) << options;
    EXPECT_EQ(run.status, below["count"] == 0 ? 0 : 4) << options << run.err;
  }
  // Injection moulding wants draft: the tray's vertical faces fail, by count and area.
  const RunResult draft = vexmor("draft " + t + " --process injection");
  EXPECT_EQ(draft.status, 4);
  const json d = vexmor("draft " + t + " --process injection --json").parsed()["draft"];
  EXPECT_EQ(d["verdict"]["failing_faces"], d["requires_draft"]["faces"]);
  EXPECT_TRUE(draft.says("FAIL injection moulding: " +
                         FormatCount(d["requires_draft"]["faces"].get<size_t>()) + " faces, "))
      << draft.out;
  const RunResult dihedral = vexmor("dihedral " + t + " --process sla");
  EXPECT_EQ(dihedral.status, 0);
  EXPECT_TRUE(dihedral.says("PASS SLA printing: no rule on edge angles"));
  EXPECT_TRUE(dihedral.says("lengths in millimetres, assumed"));
}

}  // namespace
}  // namespace vexmor::cli::test
