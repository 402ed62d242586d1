// The built program, run as a person runs it: exit statuses, the key numbers of its
// summaries (through --json), and the files it writes, read back.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

#include "io/mesh_reader.h"
#include "io/mesh_writer.h"
#include "mesh/mesh_report.h"
#include "mesh/sample_part.h"
#include "mesh/triangulation.h"
#include "vtp_arrays.h"

namespace vexmor::cli::test {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

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
};

class CliEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::path(::testing::TempDir()) / (std::string("vexmor_cli_") + info->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string path(const std::string& name) const { return (dir_ / name).string(); }

  // Runs the program in the test's directory, with standard error kept apart.
  RunResult vexmor(const std::string& arguments) const {
    const std::string errFile = path("stderr.txt");
    const std::string command = "cd '" + dir_.string() + "' && '" VEXMOR_PROGRAM "' " + arguments +
                                " 2>'" + errFile + "' </dev/null";
    RunResult run;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
      ADD_FAILURE() << "cannot run " << command;
      return run;
    }
    char buffer[4096];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
      run.out.append(buffer, got);
    const int status = ::pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream err(errFile);
    run.err.assign(std::istreambuf_iterator<char>(err), {});
    return run;
  }

  void write(const std::string& name, const std::string& content) const {
    std::ofstream(path(name), std::ios::binary) << content;
  }
  std::string read(const std::string& name) const {
    std::ifstream in(path(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }

  // The sample part as a PLY file, which keeps its quadrilaterals.
  std::string samplePly() const {
    const RunResult run = vexmor("sample -o tray.ply");
    EXPECT_EQ(run.status, 0) << run.err;
    return "tray.ply";
  }

  fs::path dir_;
};

// A CSV written by -o, as rows of named cells.
std::vector<std::map<std::string, std::string>> ReadCsv(const std::string& text) {
  std::istringstream in(text);
  std::string line;
  std::getline(in, line);
  std::vector<std::string> header;
  std::stringstream h(line);
  for (std::string cell; std::getline(h, cell, ',');)
    header.push_back(cell);
  std::vector<std::map<std::string, std::string>> rows;
  while (std::getline(in, line)) {
    std::map<std::string, std::string> row;
    std::stringstream cells(line);
    std::string cell;
    for (size_t i = 0; i < header.size(); ++i) {
      std::getline(cells, cell, ',');
      row[header[i]] = cell;
    }
    rows.push_back(row);
  }
  return rows;
}

double Number(const std::map<std::string, std::string>& row, const std::string& column) {
  return std::stod(row.at(column));
}

// A regular hexagonal prism, 10 across its corners' circle radius and 2 thick, as OBJ: two
// hexagon caps and six quadrilateral sides, wound outwards. With splitCaps the caps come as
// the fans of triangles that the program would make of them.
std::string HexagonalPrism(bool splitCaps) {
  std::string obj;
  for (int z = 0; z < 2; ++z) {
    for (int i = 0; i < 6; ++i) {
      obj += "v " + std::to_string(10 * std::cos(i * M_PI / 3)) + " " +
             std::to_string(10 * std::sin(i * M_PI / 3)) + " " + std::to_string(2 * z) + "\n";
    }
  }
  const std::vector<std::vector<int>> caps = {{6, 5, 4, 3, 2, 1}, {7, 8, 9, 10, 11, 12}};
  for (const auto& cap : caps) {
    if (!splitCaps) {
      obj += "f";
      for (int n : cap)
        obj += " " + std::to_string(n);
      obj += "\n";
      continue;
    }
    for (size_t k = 1; k + 1 < cap.size(); ++k) {
      obj += "f " + std::to_string(cap[0]) + " " + std::to_string(cap[k]) + " " +
             std::to_string(cap[k + 1]) + "\n";
    }
  }
  for (int i = 0; i < 6; ++i) {
    const int a = i + 1, b = (i + 1) % 6 + 1;
    obj += "f " + std::to_string(a) + " " + std::to_string(b) + " " + std::to_string(b + 6) + " " +
           std::to_string(a + 6) + "\n";
  }
  return obj;
}

// Solids built in code for the checks of measured values, written as OBJ.
using Ring = std::vector<std::array<double, 2>>;

std::string Obj(const Mesh& m) {
  return MeshToObj(m, MeshWriteOptions{});
}

// A prism over a counter-clockwise ring: the bottom, the top, then one quadrilateral per side.
// `capTriangles` (corners of the ring, counter-clockwise) gives the caps as those triangles.
Mesh Prism(const Ring& ring, double height,
           const std::vector<std::array<int32_t, 3>>& capTriangles) {
  Mesh m;
  const auto n = static_cast<int32_t>(ring.size());
  for (int z = 0; z < 2; ++z) {
    for (const auto& p : ring)
      m.addNode(p[0], p[1], z * height);
  }
  if (capTriangles.empty()) {
    std::vector<int32_t> bottom, top;
    for (int32_t i = 0; i < n; ++i) {
      bottom.push_back(n - 1 - i);
      top.push_back(n + i);
    }
    m.addFace(bottom);
    m.addFace(top);
  } else {
    for (const auto& t : capTriangles)
      m.addFace({t[0], t[2], t[1]});
    for (const auto& t : capTriangles)
      m.addFace({n + t[0], n + t[1], n + t[2]});
  }
  for (int32_t i = 0; i < n; ++i)
    m.addFace({i, (i + 1) % n, (i + 1) % n + n, i + n});
  return m;
}

Ring RegularRing(int n, double radius) {
  Ring ring;
  for (int i = 0; i < n; ++i)
    ring.push_back({radius * std::cos(2 * M_PI * i / n), radius * std::sin(2 * M_PI * i / n)});
  return ring;
}

// A cylinder as coarse CAD exports write it: caps fanned from one rim node and sides of two
// triangles that span the whole length, all of them long and thin.
Mesh FannedCylinder(int n, double radius, double height) {
  std::vector<std::array<int32_t, 3>> fan;
  for (int32_t k = 1; k + 1 < n; ++k)
    fan.push_back({0, k, k + 1});
  Mesh quads = Prism(RegularRing(n, radius), height, fan);
  return Triangulate(quads).mesh;
}

// A plate whose large faces are strips of slivers running its whole length.
Mesh SliverPlate(double length, double width, double thickness, int strips) {
  Ring ring;
  for (int j = 0; j <= strips; ++j)
    ring.push_back({length, width * j / strips});
  for (int j = strips; j >= 0; --j)
    ring.push_back({0, width * j / strips});
  std::vector<std::array<int32_t, 3>> caps;
  const auto n = static_cast<int32_t>(ring.size());
  for (int32_t j = 0; j < strips; ++j) {
    // Ring corner j runs along x = length, corner n - 1 - j along x = 0.
    caps.push_back({n - 1 - j, j, j + 1});
    caps.push_back({n - 1 - j, j + 1, n - 2 - j});
  }
  return Triangulate(Prism(ring, thickness, caps)).mesh;
}

Mesh Ball(double radius, int around, int down) {
  Mesh m;
  m.addNode(0, 0, radius);
  for (int i = 1; i < down; ++i) {
    const double polar = M_PI * i / down;
    for (int j = 0; j < around; ++j) {
      const double azimuth = 2 * M_PI * j / around;
      m.addNode(radius * std::sin(polar) * std::cos(azimuth),
                radius * std::sin(polar) * std::sin(azimuth), radius * std::cos(polar));
    }
  }
  const auto south = m.addNode(0, 0, -radius);
  auto at = [&](int i, int j) { return static_cast<int32_t>(1 + (i - 1) * around + j % around); };
  for (int j = 0; j < around; ++j)
    m.addFace({0, at(1, j), at(1, j + 1)});
  for (int i = 1; i + 1 < down; ++i) {
    for (int j = 0; j < around; ++j) {
      m.addFace({at(i, j), at(i + 1, j), at(i + 1, j + 1)});
      m.addFace({at(i, j), at(i + 1, j + 1), at(i, j + 1)});
    }
  }
  for (int j = 0; j < around; ++j)
    m.addFace({at(down - 1, j), south, at(down - 1, j + 1)});
  return m;
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

TEST_F(CliEndToEnd, HelpDocumentsExitStatuses) {
  const RunResult help = vexmor("--help");
  EXPECT_EQ(help.status, 0);
  for (const char* part : {"Exit status", "0  success", "1  an analysis failed", "2  bad usage",
                           "3  the mesh is rejected", "check", "thickness", "gradient", "draft",
                           "dihedral", "analyze", "sample"}) {
    EXPECT_NE(help.out.find(part), std::string::npos) << part;
  }
  const RunResult thickness = vexmor("thickness --help");
  EXPECT_EQ(thickness.status, 0);
  EXPECT_NE(thickness.out.find("--method"), std::string::npos);
  EXPECT_NE(vexmor("--version").out.find("vexmor "), std::string::npos);
}

TEST_F(CliEndToEnd, UsageErrorsExitTwo) {
  const std::string tray = samplePly();
  for (const std::string& arguments :
       {std::string("draft"), "frobnicate " + tray, "thickness " + tray + " --method depth",
        "draft " + tray + " --pull 0,0,0", "draft " + tray + " --pull 1,2",
        "draft " + tray + " --pull up", "thickness " + tray + " --method sphere --outside",
        "thickness " + tray + " --points p.txt", "gradient " + tray + " --method distance",
        "dihedral " + tray + " --sharp 200", "check " + tray + " -o out.xyz"}) {
    const RunResult run = vexmor(arguments);
    EXPECT_EQ(run.status, 2) << arguments << "\n" << run.err;
    EXPECT_FALSE(run.err.empty()) << arguments;
  }
}

TEST_F(CliEndToEnd, SampleWritesEveryFormat) {
  const Mesh part = SamplePart();
  const Mesh triangles = Triangulate(part).mesh;
  for (const std::string file : {"t.stl", "t.obj", "t.off", "t.ply"}) {
    for (const std::string text : {"", " --text"}) {
      const RunResult run = vexmor("sample -o " + file + text);
      ASSERT_EQ(run.status, 0) << run.err;
      const Mesh read = ReadMeshFile(path(file)).mesh;
      const Mesh& expected = file == "t.stl" ? triangles : part;
      EXPECT_EQ(read.coords, expected.coords) << file << text;
      EXPECT_EQ(read.elem, expected.elem) << file << text;
    }
  }
  EXPECT_EQ(vexmor("sample -o t.txt").status, 2);
  EXPECT_EQ(vexmor("sample").status, 2);
}

TEST_F(CliEndToEnd, CheckSamplePart) {
  const std::string tray = samplePly();
  const MeshReport expected = InspectMesh(SamplePart());
  const RunResult run = vexmor("check " + tray + " --json");
  ASSERT_EQ(run.status, 0) << run.err;
  const json check = run.parsed()["check"];
  EXPECT_EQ(check["nodes"], expected.nodes);
  EXPECT_EQ(check["faces"], expected.faces);
  EXPECT_EQ(check["quadrilaterals"], expected.quadrilaterals);
  EXPECT_EQ(check["edges"], expected.edges);
  EXPECT_EQ(check["boundary_edges"], 0);
  EXPECT_EQ(check["non_manifold_edges"], 0);
  EXPECT_EQ(check["closed_volumes"], 1);
  EXPECT_EQ(check["accepted"], true);
  EXPECT_EQ(check["box"]["max"], json::array({80.0, 50.0, 16.0}));
  const RunResult text = vexmor("check " + tray);
  EXPECT_EQ(text.status, 0);
  EXPECT_NE(text.out.find("ready for every analysis"), std::string::npos) << text.out;
}

TEST_F(CliEndToEnd, CheckExplainsRejection) {
  // A cube without its top: four boundary edges.
  write("open.obj",
        "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 0 0 1\nv 1 0 1\nv 1 1 1\nv 0 1 1\n"
        "f 1 4 3 2\nf 1 2 6 5\nf 2 3 7 6\nf 3 4 8 7\nf 4 1 5 8\n");
  RunResult run = vexmor("check open.obj");
  EXPECT_EQ(run.status, 3);
  EXPECT_NE(run.out.find("rejected by every analysis but the distance method"), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("it is open: 4 edges belong to a single face"), std::string::npos)
      << run.out;
  EXPECT_NE(run.err.find("rejected"), std::string::npos) << run.err;
  run = vexmor("draft open.obj");
  EXPECT_EQ(run.status, 3) << run.err;  // vexmor refuses what the library would
  EXPECT_NE(run.err.find("only thickness --method distance runs on such a mesh"), std::string::npos)
      << run.err;
  // analyze shows the check and says once why nothing else ran.
  run = vexmor("analyze open.obj");
  EXPECT_EQ(run.status, 3);
  EXPECT_NE(run.out.find("Mesh check"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("Thickness"), std::string::npos) << run.out;
  EXPECT_EQ(run.err,
            "vexmor: error: the mesh cannot be analysed: it is open: 4 edges belong to "
            "a single face\n");
  // Two tetrahedra sharing one edge: that edge has four faces.
  write("bowtie.off",
        "OFF\n6 8 0\n0 0 0\n1 0 0\n0 1 0\n0 0 1\n0 -1 0\n0 0 -1\n"
        "3 0 2 1\n3 0 1 3\n3 1 2 3\n3 2 0 3\n3 0 1 4\n3 0 5 1\n3 1 5 4\n3 5 0 4\n");
  run = vexmor("check bowtie.off");
  EXPECT_EQ(run.status, 3);
  EXPECT_NE(run.out.find("not manifold: 1 edge is shared by more than two faces"),
            std::string::npos)
      << run.out;
}

TEST_F(CliEndToEnd, PolygonCapsThroughEverySubcommand) {
  write("prism.obj", HexagonalPrism(false));
  RunResult run = vexmor("check prism.obj --json");
  ASSERT_EQ(run.status, 0) << run.err;
  json check = run.parsed()["check"];
  EXPECT_EQ(check["polygons"], 2);
  EXPECT_EQ(check["quadrilaterals"], 6);
  EXPECT_EQ(check["accepted"], true);
  EXPECT_EQ(check["library_status"], 0);
  EXPECT_EQ(check["split_for"],
            json::array({"ray", "contact", "gradient", "sphere", "draft", "dihedral"}));
  run = vexmor("check prism.obj");
  EXPECT_NE(run.out.find("takes no face of 5+ nodes"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("splits the 6 quadrilaterals and 2 faces of 5+ nodes into triangles in "
                         "their planes for every analysis"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("ready for every analysis"), std::string::npos) << run.out;

  // The caps are a plate 2 thick for every face method, at their triangles' incircle centres.
  for (const std::string method : {"ray", "sphere", "contact"}) {
    SCOPED_TRACE(method);
    run = vexmor("thickness prism.obj --json -o t.csv --no-refine --method " + method);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.parsed()["thickness"]["faces_split"], 8);
    const auto rows = ReadCsv(read("t.csv"));
    ASSERT_EQ(rows.size(), 8u);
    EXPECT_NEAR(Number(rows[0], "thickness_" + method), 2, 0.01);
    EXPECT_NEAR(Number(rows[1], "thickness_" + method), 2, 0.01);
  }
  run = vexmor("gradient prism.obj --json");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.parsed()["gradient"]["values"]["count"], 8);

  run = vexmor("draft prism.obj --json");
  ASSERT_EQ(run.status, 0) << run.err;
  const json draft = run.parsed()["draft"];
  EXPECT_EQ(draft["positive"]["faces"], 1);
  EXPECT_EQ(draft["negative"]["faces"], 1);
  EXPECT_EQ(draft["requires_draft"]["faces"], 6);

  // The file's 18 edges, without the diagonals: 90 degrees round the caps, 60 down the sides.
  run = vexmor("dihedral prism.obj --json --sharp 70");
  ASSERT_EQ(run.status, 0) << run.err;
  const json dihedral = run.parsed()["dihedral"];
  EXPECT_EQ(dihedral["edges"], 18);
  EXPECT_EQ(dihedral["sharp_convex"], 12);
  EXPECT_NEAR(dihedral["values"]["min"].get<double>(), 60, 1e-4);  // six-decimal corners
  EXPECT_NEAR(dihedral["values"]["max"].get<double>(), 90, 1e-9);
  run = vexmor("dihedral prism.obj --json --per-node");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.parsed()["dihedral"]["values"]["count"], 12);

  run = vexmor("analyze prism.obj --json -o a.vtp");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.parsed()["errors"].size(), 0u);
  // The file's faces, not the triangles: two hexagons and six quadrilaterals.
  EXPECT_EQ(VtpArray(read("a.vtp"), "offsets", "<Polys>"),
            (std::vector<double>{6, 12, 16, 20, 24, 28, 32, 36}));
}

TEST_F(CliEndToEnd, SplitFacesMeasureLikeTheSameSolidAsTriangles) {
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
    size_t nonConvex;
    bool sphere;  // compare the sphere too (the dart's sharp tips take many pieces)
  } cases[] = {
      {"hexagon", hexagon, 2, {{0, 1, 2}, {0, 2, 3}, {0, 3, 4}, {0, 4, 5}}, 0, true},
      {"L", ell, 3, {{0, 1, 2}, {0, 2, 5}, {2, 3, 4}, {2, 4, 5}}, 2, true},
      {"dart", dart, 2, {{1, 2, 3}, {1, 3, 0}}, 2, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    write("faces.obj", Obj(Prism(c.ring, c.thickness, {})));
    write("triangles.obj", Obj(Prism(c.ring, c.thickness, c.inside)));
    const size_t caps = 2 * c.inside.size(), sides = c.ring.size();
    RunResult run = vexmor("check faces.obj --json");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.parsed()["check"]["doubts"]["non_convex"]["faces"], c.nonConvex);

    // Ray: the caps read the plate's thickness, the sides the same in both files.
    ASSERT_EQ(vexmor("thickness faces.obj -o f.csv").status, 0);
    ASSERT_EQ(vexmor("thickness triangles.obj -o t.csv").status, 0);
    auto faces = ReadCsv(read("f.csv")), triangles = ReadCsv(read("t.csv"));
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
    faces = ReadCsv(read("f.csv"));
    triangles = ReadCsv(read("t.csv"));
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

TEST_F(CliEndToEnd, SphereMeansMatchTheLargestTangentBall) {
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
  std::vector<std::array<int32_t, 3>> cubeCaps = {{0, 1, 2}, {0, 2, 3}};
  struct Case {
    const char* what;
    Mesh mesh;
    double expected;
  } cases[] = {
      {"cube of 12 triangles",
       Triangulate(Prism({{0, 0}, {25, 0}, {25, 25}, {0, 25}}, 25, cubeCaps)).mesh, 25.0 / 3},
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

TEST_F(CliEndToEnd, ContactSaysWhenTheSphereTouchesAroundACurve) {
  // In a ball the largest tangent sphere is the ball itself, touching it all around: the
  // contact distance is then a short chord, not a thickness. On a plate it is the thickness.
  struct Case {
    const char* what;
    Mesh mesh;
    bool aroundCurve;
  } cases[] = {
      {"ball", Ball(15.5, 24, 12), true},
      {"plate", Triangulate(Prism({{0, 0}, {6, 0}, {6, 6}, {0, 6}}, 2, {})).mesh, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    write("part.obj", Obj(c.mesh));
    const RunResult run = vexmor("thickness part.obj --method contact --json -o c.csv");
    ASSERT_EQ(run.status, 0) << run.err;
    const json thickness = run.parsed()["thickness"];
    const size_t pieces = thickness["refined_pieces"];
    const size_t curve = thickness["touching_around_a_curve"]["pieces"];
    const auto rows = ReadCsv(read("c.csv"));
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
  EXPECT_NE(vexmor("thickness --help").out.find("touching around a curve"), std::string::npos);
}

TEST_F(CliEndToEnd, CheckTellsWhatMakesResultsDoubtful) {
  Mesh box = Prism({{0, 0}, {10, 0}, {10, 10}, {0, 10}}, 10, {});
  Mesh crossing = box;  // a second box through the first one's top
  for (const Vec3& p : {Vec3{4, 4, 8}, Vec3{6, 4, 8}, Vec3{6, 6, 8}, Vec3{4, 6, 8}, Vec3{4, 4, 14},
                        Vec3{6, 4, 14}, Vec3{6, 6, 14}, Vec3{4, 6, 14}}) {
    crossing.addNode(p[0], p[1], p[2]);
  }
  const Mesh second = Prism({{4, 4}, {6, 4}, {6, 6}, {4, 6}}, 6, {});
  for (size_t f = 0; f < second.faceCount(); ++f) {
    std::vector<int32_t> nodes;
    for (int32_t node : second.face(f))
      nodes.push_back(node + 8);
    crossing.addFace(nodes);
  }
  Mesh stray = box;
  stray.addNode(200, 5, 5);
  struct Case {
    const char* what;
    Mesh mesh;
    std::string warning;  // empty: none
  } cases[] = {
      {"box", box, ""},
      {"crossing boxes", crossing, "shells that cross: 5 faces (22.6 % of the area)"},
      {"stray node", stray, "nodes far from the rest: 1 node makes the node box 20 times as large"},
      {"dart prism", Prism({{5, 8}, {0, 4}, {-5, 8}, {0, 0}}, 2, {}), "non-convex faces: 2 faces"},
      {"long box", Prism({{0, 0}, {100, 0}, {100, 4}, {0, 4}}, 4, {}),
       "long thin triangles: 4 faces"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    write("part.obj", Obj(c.mesh));
    const RunResult run = vexmor("check part.obj");
    ASSERT_EQ(run.status, 0) << run.err;
    if (c.warning.empty()) {
      EXPECT_NE(run.out.find("verdict         ready for every analysis\n"), std::string::npos)
          << run.out;
      continue;
    }
    EXPECT_NE(run.out.find("ready for every analysis, with warnings:\n    - " + c.warning),
              std::string::npos)
        << run.out;
    // The other analyses say it first.
    const RunResult draft = vexmor("draft part.obj");
    EXPECT_EQ(draft.out.find("warning: " + c.warning), draft.out.find('\n') + 1) << draft.out;
  }
  // Where the faults are.
  write("part.obj", Obj(crossing));
  ASSERT_EQ(vexmor("check part.obj -o faults.vtp").status, 0);
  const auto flags = VtpArray(read("faults.vtp"), "crossing");
  EXPECT_EQ(std::count(flags.begin(), flags.end(), 1.0), 5);
  Mesh open = Prism({{0, 0}, {1, 0}, {1, 1}, {0, 1}}, 1, {});
  open.faceStart.erase(open.faceStart.begin() + 1);  // without its top
  write("open.obj", Obj(open));
  EXPECT_EQ(vexmor("check open.obj -o faults.csv").status, 3);
  size_t boundary = 0;
  for (const auto& row : ReadCsv(read("faults.csv")))
    boundary += row.at("kind") == "edge" && Number(row, "edge_fault") == 1;
  EXPECT_EQ(boundary, 4u);
}

TEST_F(CliEndToEnd, MissingThicknessIsNotZero) {
  // Around the tray, the outer faces see only the enclosing box, and get no gradient either.
  const std::string tray = samplePly();
  RunResult run = vexmor("thickness " + tray + " --outside --json -o t.csv");
  ASSERT_EQ(run.status, 0) << run.err;
  const json thickness = run.parsed()["thickness"];
  const size_t open = thickness["open_to_box"]["faces"];
  EXPECT_GT(open, 0u);
  EXPECT_GT(thickness["values"]["min"].get<double>(), 0);  // the part's own clearances only
  EXPECT_EQ(thickness["values"]["count"].get<size_t>() + open, SamplePart().faceCount());
  run = vexmor("gradient " + tray + " --outside --json -o g.csv");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.parsed()["gradient"]["values"]["missing"], open);
  const auto t = ReadCsv(read("t.csv")), g = ReadCsv(read("g.csv"));
  ASSERT_EQ(t.size(), g.size());
  for (size_t f = 0; f < t.size(); ++f) {
    const bool seesBox = Number(t[f], "open_to_box") == 1;
    EXPECT_EQ(t[f].at("thickness_ray_outside").empty(), seesBox) << f;
    EXPECT_EQ(g[f].at("thickness_gradient").empty(), seesBox) << f;
  }
}

TEST_F(CliEndToEnd, FoldedQuadrilateralsSplitWithoutDoublingAnEdge) {
  // A unit cube whose top is two quadrilaterals folded around node 9, which only they share:
  // both first-to-third diagonals are 1-3, so the library's own split would give that edge
  // four triangles. The program fans the second one from node 9 instead, for every analysis.
  write("folded.obj",
        "v 0 0 1\nv 1 0 1\nv 1 1 1\nv 0 1 1\nv 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n"
        "v 0.7 0.3 1\n"
        "f 1 9 3 4\nf 3 9 1 2\nf 5 8 7 6\nf 5 6 2 1\nf 6 7 3 2\nf 7 8 4 3\nf 8 5 1 4\n");
  RunResult run = vexmor("check folded.obj");
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("1 quadrilateral along the second-to-fourth diagonal"), std::string::npos)
      << run.out;
  run = vexmor("thickness folded.obj -o t.csv");
  ASSERT_EQ(run.status, 0) << run.err;
  const auto rows = ReadCsv(read("t.csv"));
  ASSERT_EQ(rows.size(), 7u);
  for (const auto& row : rows)
    EXPECT_NEAR(Number(row, "thickness_ray"), 1, 1e-9);
  EXPECT_EQ(vexmor("gradient folded.obj").status, 0);
  EXPECT_EQ(vexmor("dihedral folded.obj").status, 0);
}

TEST_F(CliEndToEnd, RepeatedNodesAreMergedWhenThatClosesTheSurface) {
  // A unit cube whose six faces each have their own four nodes, as some exporters write
  // them to give each face its own normal.
  const int corners[6][4] = {{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 1, 5, 4},
                             {1, 2, 6, 5}, {2, 3, 7, 6}, {3, 0, 4, 7}};
  std::string obj;
  for (const auto& face : corners) {
    for (int c : face)
      obj += "v " + std::to_string(c == 1 || c == 2 || c == 5 || c == 6) + " " +
             std::to_string(c == 2 || c == 3 || c == 6 || c == 7) + " " + std::to_string(c >= 4) +
             "\n";
  }
  for (int f = 0; f < 6; ++f) {
    obj += "f";
    for (int k = 1; k <= 4; ++k)
      obj += " " + std::to_string(4 * f + k);
    obj += "\n";
  }
  write("faceted.obj", obj);
  const RunResult run = vexmor("check faceted.obj --json");
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  const json summary = run.parsed();
  EXPECT_EQ(summary["check"]["nodes"], 8);
  EXPECT_EQ(summary["check"]["closed_volumes"], 1);
  ASSERT_EQ(summary["notes"].size(), 1u);
  EXPECT_NE(summary["notes"][0].get<std::string>().find("merged 16 nodes"), std::string::npos)
      << summary["notes"];
  const RunResult ray = vexmor("thickness faceted.obj --json");
  ASSERT_EQ(ray.status, 0) << ray.err;
  EXPECT_EQ(ray.parsed()["thickness"]["values"]["median"], 1.0);
}

TEST_F(CliEndToEnd, DamagedFilesExitTwoWithLocation) {
  std::string stl(80, 'x');
  stl += std::string("\x05\x00\x00\x00", 4) + std::string(120, '\0');
  write("cut.stl", stl);
  RunResult run = vexmor("check cut.stl");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("vexmor: error: cut.stl: byte 184: truncated binary STL"),
            std::string::npos)
      << run.err;
  write("missing.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 4\n");
  run = vexmor("draft missing.obj");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("missing.obj:4: face refers to vertex 4"), std::string::npos) << run.err;
  run = vexmor("check nowhere.stl --json");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("nowhere.stl: cannot open"), std::string::npos) << run.err;
  EXPECT_EQ(run.parsed()["exit_code"], 2);
  // A mesh whose nodes all coincide cannot be measured at all.
  write("point.off", "OFF\n3 1 0\n1 1 1\n1 1 1\n1 1 1\n3 0 1 2\n");
  run = vexmor("draft point.off");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("one point"), std::string::npos) << run.err;
}

TEST_F(CliEndToEnd, DraftSamplePart) {
  const std::string tray = samplePly();
  const size_t faces = SamplePart().faceCount();
  const RunResult up = vexmor("draft " + tray + " --json");
  ASSERT_EQ(up.status, 0) << up.err;
  const json draft = up.parsed()["draft"];
  const size_t positive = draft["positive"]["faces"], negative = draft["negative"]["faces"];
  const size_t vertical = draft["requires_draft"]["faces"];
  EXPECT_EQ(positive + negative + vertical, faces);
  EXPECT_GT(positive, 0u);
  EXPECT_GT(negative, 0u);
  EXPECT_GT(vertical, 0u);
  EXPECT_NEAR(draft["values"]["min"].get<double>(), -90, 1e-9);
  EXPECT_NEAR(draft["values"]["max"].get<double>(), 90, 1e-9);
  EXPECT_EQ(draft["values"]["count"], faces);
  // The flat bottom (80 x 50 mm) is a quarter of the area or more, all of it negative.
  EXPECT_GT(draft["negative"]["area_share"].get<double>(), 0.25);
  // Pulling the other way swaps the positive and negative faces.
  const json down = vexmor("draft " + tray + " --json --pull=-z").parsed()["draft"];
  EXPECT_EQ(down["positive"]["faces"], negative);
  EXPECT_EQ(down["negative"]["faces"], positive);
  EXPECT_EQ(down["requires_draft"]["faces"], vertical);
  // The boss sides lean by atan(0.5 / 13) = 2.2 degrees: a 3 degree minimum makes them
  // require draft too.
  const json strict = vexmor("draft " + tray + " --json --min-draft 3").parsed()["draft"];
  EXPECT_GT(strict["requires_draft"]["faces"].get<size_t>(), vertical);
  const RunResult text = vexmor("draft " + tray + " --pull 0,0,2");
  EXPECT_EQ(text.status, 0);
  EXPECT_NE(text.out.find("requires draft"), std::string::npos);
  EXPECT_NE(text.out.find("histogram (share of area)"), std::string::npos);
}

TEST_F(CliEndToEnd, DraftWritesParsableResults) {
  const std::string tray = samplePly();
  const Mesh part = SamplePart();
  for (const std::string file : {"d.vtp", "d.ply", "d.csv"})
    ASSERT_EQ(vexmor("draft " + tray + " -o " + file).status, 0) << file;
  const Mesh ply = ReadMeshFile(path("d.ply")).mesh;
  EXPECT_EQ(ply.coords, part.coords);
  EXPECT_EQ(ply.elem, part.elem);
  const auto rows = ReadCsv(read("d.csv"));
  ASSERT_EQ(rows.size(), part.faceCount());
  for (const auto& row : rows) {
    const double degrees = Number(row, "draft_deg");
    EXPECT_LE(std::fabs(degrees), 90.0);
    // The bottom of the tray is the only face at z = 0 and looks straight down.
    if (Number(row, "z") == 0) {
      EXPECT_NEAR(degrees, -90, 1e-9);
    }
    EXPECT_EQ(Number(row, "draft_class"), degrees >= 1 ? 1 : degrees <= -1 ? -1 : 0);
  }
  const std::string vtp = read("d.vtp");
  EXPECT_NE(vtp.find("NumberOfPolys=\"" + std::to_string(part.faceCount()) + "\""),
            std::string::npos);
  EXPECT_EQ(VtpArray(vtp, "", "<Points>"), part.coords);
  const auto degrees = VtpArray(vtp, "draft_deg");
  ASSERT_EQ(degrees.size(), rows.size());
  for (size_t f = 0; f < rows.size(); ++f)
    EXPECT_NEAR(degrees[f], Number(rows[f], "draft_deg"), 1e-9);
}

TEST_F(CliEndToEnd, JsonStaysCleanWhenVerbose) {
  const std::string tray = samplePly();
  const RunResult run = vexmor("draft " + tray + " --json --verbose");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.parsed()["command"], "draft");
}

// Faces of the rib's long sides, away from its ends, and bottom faces under the open floor.
bool OnRibSide(const std::map<std::string, std::string>& row) {
  const double x = Number(row, "x"), y = Number(row, "y"), z = Number(row, "z");
  return (x == 50 || x == 51.25) && z > 3 && z < 10 && y > 10 && y < 40;
}
bool UnderOpenFloor(const std::map<std::string, std::string>& row) {
  const double x = Number(row, "x"), y = Number(row, "y"), z = Number(row, "z");
  return z == 0 && x > 30 && x < 46 && y > 6 && y < 12;
}

TEST_F(CliEndToEnd, ThicknessSamplePart) {
  const std::string tray = samplePly();
  for (const std::string method : {"ray", "sphere", "contact"}) {
    SCOPED_TRACE(method);
    // Unrefined, so that each face reads the ball at its own incircle centre.
    const RunResult run = vexmor("thickness " + tray + " --method " + method +
                                 " --no-refine --min 2 -o t.csv --json");
    ASSERT_EQ(run.status, 0) << run.err;
    const json thickness = run.parsed()["thickness"];
    EXPECT_EQ(thickness["method"], method);
    EXPECT_GT(thickness["values"]["below_min"]["count"].get<size_t>(), 0u);
    size_t rib = 0, floor = 0;
    for (const auto& row : ReadCsv(read("t.csv"))) {
      const std::string column = "thickness_" + method;
      if (OnRibSide(row)) {
        EXPECT_NEAR(Number(row, column), 1.25, 1e-6);
        ++rib;
      }
      if (UnderOpenFloor(row)) {
        EXPECT_NEAR(Number(row, column), 3, 1e-6);
        ++floor;
      }
    }
    EXPECT_GT(rib, 0u);
    EXPECT_GT(floor, 0u);
  }
}

TEST_F(CliEndToEnd, ThicknessDistanceOfPoints) {
  const std::string tray = samplePly();
  // Above the boss top (z = 16), below the bottom, and inside the perimeter wall 1 mm from
  // its outer face.
  write("points.txt", "# x y z\n18 22 20\n40,25,-5\n1 25 7\n");
  const RunResult run = vexmor("thickness " + tray +
                               " --method distance --points points.txt "
                               "-o d.csv --json");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.parsed()["thickness"]["values"]["count"], 3);
  const auto rows = ReadCsv(read("d.csv"));
  const size_t first = SamplePart().nodeCount();
  ASSERT_EQ(rows.size(), first + 3);
  EXPECT_NEAR(Number(rows[first], "distance"), 4, 1e-6);
  EXPECT_NEAR(Number(rows[first + 1], "distance"), 5, 1e-6);
  EXPECT_NEAR(Number(rows[first + 2], "distance"), 1, 1e-6);
  EXPECT_EQ(vexmor("thickness " + tray + " --method distance").status, 2);
}

TEST_F(CliEndToEnd, GradientSamplePart) {
  const std::string tray = samplePly();
  const RunResult run = vexmor("gradient " + tray + " --json --max 0.5 -o g.csv");
  ASSERT_EQ(run.status, 0) << run.err;
  const json gradient = run.parsed()["gradient"];
  EXPECT_EQ(gradient["values"]["count"], SamplePart().faceCount());
  // Where the wall keeps its thickness all around, the gradient is 0.
  for (const auto& row : ReadCsv(read("g.csv"))) {
    if (UnderOpenFloor(row)) {
      EXPECT_NEAR(Number(row, "thickness_gradient"), 0, 1e-9);
    }
  }
}

TEST_F(CliEndToEnd, DihedralSamplePart) {
  const std::string tray = samplePly();
  const MeshReport expected = InspectMesh(SamplePart());
  RunResult run = vexmor("dihedral " + tray + " --json");
  ASSERT_EQ(run.status, 0) << run.err;
  json dihedral = run.parsed()["dihedral"];
  EXPECT_EQ(dihedral["edges"], expected.edges);
  EXPECT_GT(dihedral["sharp_convex"].get<size_t>(), 0u);
  EXPECT_GT(dihedral["sharp_concave"].get<size_t>(), 0u);
  // The sharpest fold is the pocket's overhanging rim: 90 degrees plus atan(0.5 / 2).
  EXPECT_NEAR(dihedral["values"]["max"].get<double>(), 90 + std::atan(0.25) * 180 / M_PI, 1e-6);
  EXPECT_NEAR(dihedral["values"]["min"].get<double>(), 0, 1e-9);
  run = vexmor("dihedral " + tray + " --signed --per-node --json");
  ASSERT_EQ(run.status, 0) << run.err;
  dihedral = run.parsed()["dihedral"];
  EXPECT_EQ(dihedral["values"]["count"], expected.nodes);
  EXPECT_LT(dihedral["values"]["min"].get<double>(), -89);
  EXPECT_GT(dihedral["values"]["max"].get<double>(), 89);
}

TEST_F(CliEndToEnd, AnalyzeSamplePart) {
  const RunResult demo = vexmor("");
  ASSERT_EQ(demo.status, 0) << demo.err;
  for (const char* title :
       {"Mesh check", "Thickness", "Thickness gradient", "Draft", "Dihedral angles"}) {
    EXPECT_NE(demo.out.find(title), std::string::npos) << title;
  }
  const RunResult run = vexmor("analyze " + samplePly() + " --json");
  ASSERT_EQ(run.status, 0) << run.err;
  const json summary = run.parsed();
  for (const char* key : {"check", "thickness", "gradient", "draft", "dihedral"})
    EXPECT_TRUE(summary.contains(key)) << key;
  EXPECT_EQ(summary["errors"].size(), 0u);
}

}  // namespace
}  // namespace vexmor::cli::test
