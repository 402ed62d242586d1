// The built program, run as a person runs it, one whole subcommand per test: exit statuses,
// the key numbers of its summaries (through --json), and the files it writes, read back.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

#include "io/mesh_reader.h"
#include "mesh/mesh_report.h"
#include "mesh/sample_part.h"
#include "mesh/triangulation.h"
#include "vtp_arrays.h"

namespace vexmor::cli::test {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using Row = std::map<std::string, std::string>;

struct RunResult {
  int status = -1;
  std::string out, err;
  json parsed() const {
    try {
      return json::parse(out);
    } catch (const std::exception& e) {
      ADD_FAILURE() << "standard output is not JSON: " << e.what() << "\n" << out;
      return json::object();
    }
  }
  bool says(const std::string& text) const { return out.find(text) != std::string::npos; }
  bool complains(const std::string& text) const { return err.find(text) != std::string::npos; }
};

class Program : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ =
        fs::path(::testing::TempDir()) /
        ("vexmor_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string path(const std::string& name) const { return (dir_ / name).string(); }

  // Runs the program in the test's directory, with standard error kept apart.
  RunResult vexmor(const std::string& arguments) const {
    const std::string command = "cd '" + dir_.string() + "' && '" VEXMOR_PROGRAM "' " + arguments +
                                " 2>stderr.txt </dev/null";
    RunResult run;
    FILE* pipe = ::popen(command.c_str(), "r");
    char buffer[4096];
    for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
      run.out.append(buffer, got);
    const int status = ::pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.err = read("stderr.txt");
    return run;
  }
  // Runs the program and expects success; returns its --json summary.
  json summary(const std::string& arguments) const {
    const RunResult run = vexmor(arguments + " --json");
    EXPECT_EQ(run.status, 0) << arguments << "\n" << run.err;
    return run.parsed();
  }

  void write(const std::string& name, const std::string& content) const {
    std::ofstream(path(name), std::ios::binary) << content;
  }
  std::string read(const std::string& name) const {
    std::ifstream in(path(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  // The rows of a CSV written by -o, as named cells.
  std::vector<Row> csv(const std::string& name) const {
    std::istringstream in(read(name));
    std::string line, cell;
    std::getline(in, line);
    std::vector<std::string> header;
    for (std::stringstream h(line); std::getline(h, cell, ',');)
      header.push_back(cell);
    std::vector<Row> rows;
    while (std::getline(in, line)) {
      std::stringstream cells(line);
      Row& row = rows.emplace_back();
      for (const std::string& column : header) {
        std::getline(cells, cell, ',');
        row[column] = cell;
      }
    }
    return rows;
  }
  // The sample part as a PLY file, which keeps its quadrilaterals.
  std::string tray() const {
    EXPECT_EQ(vexmor("sample -o tray.ply").status, 0);
    return "tray.ply";
  }

  fs::path dir_;
};

double Number(const Row& row, const std::string& column) {
  return std::stod(row.at(column));
}

// A regular hexagonal prism, 10 across its corners' circle radius and 2 thick, as OBJ: two
// hexagon caps and six quadrilateral sides, wound outwards; with splitCaps, the caps come as
// the fans of triangles that the program would make of them.
std::string HexagonalPrism(bool splitCaps) {
  std::string obj;
  for (int i = 0; i < 12; ++i) {
    obj += "v " + std::to_string(10 * std::cos(i % 6 * M_PI / 3)) + " " +
           std::to_string(10 * std::sin(i % 6 * M_PI / 3)) + " " + std::to_string(i / 6 * 2) + "\n";
  }
  for (const std::string cap : {"6 5 4 3 2 1", "7 8 9 10 11 12"}) {
    std::vector<std::string> n;
    std::istringstream words(cap);
    for (std::string w; words >> w;)
      n.push_back(w);
    if (!splitCaps) obj += "f " + cap + "\n";
    for (size_t k = 1; splitCaps && k + 1 < n.size(); ++k)
      obj += "f " + n[0] + " " + n[k] + " " + n[k + 1] + "\n";
  }
  for (int i = 1; i <= 6; ++i) {
    const int j = i % 6 + 1;
    obj += "f " + std::to_string(i) + " " + std::to_string(j) + " " + std::to_string(j + 6) + " " +
           std::to_string(i + 6) + "\n";
  }
  return obj;
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
  for (const char* part : {"Exit status", "0  success", "1  an analysis failed", "2  bad usage",
                           "3  the mesh is rejected", "check", "thickness", "gradient", "draft",
                           "dihedral", "analyze", "sample"})
    EXPECT_TRUE(help.says(part)) << part;
  EXPECT_TRUE(vexmor("thickness --help").says("--method"));
  EXPECT_TRUE(vexmor("--version").says("vexmor "));
  const std::string t = tray();
  for (const std::string& arguments :
       {std::string("draft"), std::string("sample"), std::string("sample -o t.txt"),
        "frobnicate " + t, "thickness " + t + " --method depth", "draft " + t + " --pull 0,0,0",
        "draft " + t + " --pull 1,2", "draft " + t + " --pull up",
        "thickness " + t + " --method sphere --outside", "thickness " + t + " --points p.txt",
        "thickness " + t + " --method distance", "gradient " + t + " --method distance",
        "dihedral " + t + " --sharp 200", "check " + t + " -o out.xyz"}) {
    const RunResult run = vexmor(arguments);
    EXPECT_EQ(run.status, 2) << arguments << "\n" << run.err;
    EXPECT_FALSE(run.err.empty()) << arguments;
  }
}

TEST_F(Program, SampleWritesThePartInEveryMeshFormat) {
  const Mesh part = SamplePart(), triangles = Triangulate(part).mesh;
  for (const std::string file : {"t.stl", "t.obj", "t.off", "t.ply"}) {
    for (const std::string text : {"", " --text"}) {
      ASSERT_EQ(vexmor("sample -o " + file + text).status, 0);
      const Mesh read = ReadMeshFile(path(file)).mesh;
      EXPECT_EQ(read.coords, (file == "t.stl" ? triangles : part).coords) << file << text;
      EXPECT_EQ(read.elem, (file == "t.stl" ? triangles : part).elem) << file << text;
    }
  }
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
  EXPECT_TRUE(vexmor("check tray.ply").says("ready for every analysis"));

  write("prism.obj", HexagonalPrism(false));
  const json prism = summary("check prism.obj")["check"];
  EXPECT_EQ(prism["polygons"], 2);
  EXPECT_EQ(prism["quadrilaterals"], 6);
  EXPECT_EQ(prism["library_status"], 0);
  EXPECT_EQ(prism["split_for"],
            json::array({"ray", "contact", "gradient", "sphere", "draft", "dihedral"}));
  const RunResult text = vexmor("check prism.obj");
  EXPECT_TRUE(text.says("takes no face of 5+ nodes")) << text.out;
  EXPECT_TRUE(
      text.says("splits the 6 quadrilaterals and 2 faces of 5+ nodes into triangles for "
                "every analysis"))
      << text.out;

  write("folded.obj", kFoldedCube);
  EXPECT_TRUE(vexmor("check folded.obj").says("1 face fanned from another node, since the first"));

  // A unit cube whose six faces each have their own four nodes, as some exporters write them.
  std::string faceted;
  const int corners[6][4] = {{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 1, 5, 4},
                             {1, 2, 6, 5}, {2, 3, 7, 6}, {3, 0, 4, 7}};
  for (const auto& face : corners) {
    for (int c : face)
      faceted += "v " + std::to_string(c % 4 == 1 || c % 4 == 2) + " " +
                 std::to_string(c % 4 >= 2) + " " + std::to_string(c >= 4) + "\n";
  }
  for (int f = 0; f < 6; ++f)
    faceted += "f " + std::to_string(4 * f + 1) + " " + std::to_string(4 * f + 2) + " " +
               std::to_string(4 * f + 3) + " " + std::to_string(4 * f + 4) + "\n";
  write("faceted.obj", faceted);
  const json merged = summary("check faceted.obj");
  EXPECT_EQ(merged["check"]["nodes"], 8);
  EXPECT_EQ(merged["check"]["closed_volumes"], 1);
  ASSERT_EQ(merged["notes"].size(), 1u);
  EXPECT_NE(merged["notes"][0].get<std::string>().find("merged 16 nodes"), std::string::npos);
  EXPECT_EQ(summary("thickness faceted.obj")["thickness"]["values"]["median"], 1.0);
}

TEST_F(Program, RefusesARejectedMeshSayingWhyAndExitsTwoOnADamagedFile) {
  // A cube without its top: four boundary edges.
  write("open.obj",
        "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 0 0 1\nv 1 0 1\nv 1 1 1\nv 0 1 1\n"
        "f 1 4 3 2\nf 1 2 6 5\nf 2 3 7 6\nf 3 4 8 7\nf 4 1 5 8\n");
  RunResult run = vexmor("check open.obj");
  EXPECT_EQ(run.status, 3);
  EXPECT_TRUE(run.says("rejected by every analysis but the distance method")) << run.out;
  EXPECT_TRUE(run.says("it is open: 4 edges belong to a single face")) << run.out;
  EXPECT_TRUE(run.complains("rejected")) << run.err;
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
  write("missing.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 4\n");
  write("point.off", "OFF\n3 1 0\n1 1 1\n1 1 1\n1 1 1\n3 0 1 2\n");  // cannot be measured at all
  const std::pair<std::string, std::string> damaged[] = {
      {"check cut.stl", "vexmor: error: cut.stl: byte 184: truncated binary STL"},
      {"draft missing.obj", "missing.obj:4: face refers to vertex 4"},
      {"draft point.off", "one point"},
      {"check nowhere.stl --json", "nowhere.stl: cannot open"}};
  for (const auto& [arguments, message] : damaged) {
    run = vexmor(arguments);
    EXPECT_EQ(run.status, 2) << arguments;
    EXPECT_TRUE(run.complains(message)) << run.err;
  }
  EXPECT_EQ(run.parsed()["exit_code"], 2);
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
  write("polygons.obj", HexagonalPrism(false));
  write("triangles.obj", HexagonalPrism(true));
  write("folded.obj", kFoldedCube);
  for (const std::string method : {"ray", "sphere", "contact"}) {
    SCOPED_TRACE(method);
    const std::string column = "thickness_" + method;
    const json thickness = summary("thickness " + t + " --method " + method + " --min 2 -o t.csv");
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
    // The prism's caps are a plate 2 thick; given as polygons, a cap reads the smallest of the
    // triangles it is split into.
    EXPECT_EQ(
        summary("thickness polygons.obj -o p.csv --method " + method)["thickness"]["faces_split"],
        8);
    ASSERT_EQ(vexmor("thickness triangles.obj -o t.csv --method " + method).status, 0);
    const std::vector<Row> polygons = csv("p.csv"), triangles = csv("t.csv");
    ASSERT_EQ(polygons.size(), 8u);
    ASSERT_EQ(triangles.size(), 14u);
    for (size_t cap = 0; cap < 2; ++cap) {
      double smallest = INFINITY;
      for (size_t k = 4 * cap; k < 4 * cap + 4; ++k)
        smallest = std::min(smallest, Number(triangles[k], column));
      EXPECT_NEAR(Number(polygons[cap], column), smallest, 1e-9);
      EXPECT_NEAR(smallest, 2, 0.01);
    }
    for (size_t side = 0; side < 6; ++side)
      EXPECT_NEAR(Number(polygons[2 + side], column), Number(triangles[8 + side], column), 1e-9);
  }
  // The folded top splits without doubling an edge: every face reads the cube's side.
  ASSERT_EQ(vexmor("thickness folded.obj -o t.csv").status, 0);
  for (const Row& row : csv("t.csv"))
    EXPECT_NEAR(Number(row, "thickness_ray"), 1, 1e-9);
  // Points above the boss top (z = 16), below the bottom, and in the wall 1 from its outside.
  write("points.txt", "# x y z\n18 22 20\n40,25,-5\n1 25 7\n");
  EXPECT_EQ(
      summary("thickness " + t +
              " --method distance --points points.txt -o d.csv")["thickness"]["values"]["count"],
      3);
  const std::vector<Row> rows = csv("d.csv");
  const size_t first = SamplePart().nodeCount();
  ASSERT_EQ(rows.size(), first + 3);
  for (size_t i = 0; i < 3; ++i)
    EXPECT_NEAR(Number(rows[first + i], "distance"), (std::vector<double>{4, 5, 1})[i], 1e-6);
}

TEST_F(Program, GradientIsZeroWhereTheWallKeepsItsThickness) {
  const json gradient = summary("gradient " + tray() + " --max 0.5 -o g.csv")["gradient"];
  EXPECT_EQ(gradient["values"]["count"], SamplePart().faceCount());
  for (const Row& row : csv("g.csv")) {
    if (UnderOpenFloor(row)) {
      EXPECT_NEAR(Number(row, "thickness_gradient"), 0, 1e-9);
    }
  }
  write("prism.obj", HexagonalPrism(false));
  EXPECT_EQ(summary("gradient prism.obj")["gradient"]["values"]["count"], 8);
  write("folded.obj", kFoldedCube);
  EXPECT_EQ(vexmor("gradient folded.obj").status, 0);
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
  EXPECT_TRUE(text.says("requires draft") && text.says("histogram (share of area)")) << text.out;

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
  // The prism's caps, split or not, read the same along a tilted pull.
  write("polygons.obj", HexagonalPrism(false));
  write("triangles.obj", HexagonalPrism(true));
  const json prism = summary("draft polygons.obj")["draft"];
  EXPECT_EQ(prism["positive"]["faces"], 1);
  EXPECT_EQ(prism["negative"]["faces"], 1);
  EXPECT_EQ(prism["requires_draft"]["faces"], 6);
  ASSERT_EQ(vexmor("draft polygons.obj -o p.csv --pull 1,2,3").status, 0);
  ASSERT_EQ(vexmor("draft triangles.obj -o t.csv --pull 1,2,3").status, 0);
  const std::vector<Row> polygons = csv("p.csv"), triangles = csv("t.csv");
  EXPECT_NEAR(Number(polygons[0], "draft_deg"), Number(triangles[0], "draft_deg"), 1e-9);
  EXPECT_NEAR(Number(polygons[1], "draft_deg"), Number(triangles[7], "draft_deg"), 1e-9);
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
  // The prism file's 18 edges, without the diagonals: 90 degrees round the caps, 60 down the
  // sides (six-decimal corners).
  write("prism.obj", HexagonalPrism(false));
  dihedral = summary("dihedral prism.obj --sharp 70")["dihedral"];
  EXPECT_EQ(dihedral["edges"], 18);
  EXPECT_EQ(dihedral["sharp_convex"], 12);
  EXPECT_NEAR(dihedral["values"]["min"].get<double>(), 60, 1e-4);
  EXPECT_NEAR(dihedral["values"]["max"].get<double>(), 90, 1e-9);
  EXPECT_EQ(summary("dihedral prism.obj --per-node")["dihedral"]["values"]["count"], 12);
  write("folded.obj", kFoldedCube);
  EXPECT_EQ(vexmor("dihedral folded.obj").status, 0);
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
  write("prism.obj", HexagonalPrism(false));
  EXPECT_EQ(summary("analyze prism.obj -o a.vtp")["errors"].size(), 0u);
  EXPECT_EQ(VtpArray(read("a.vtp"), "offsets", "<Polys>"),
            (std::vector<double>{6, 12, 16, 20, 24, 28, 32, 36}));
}

}  // namespace
}  // namespace vexmor::cli::test
