// Results files: the .ply reads back through the program's own reader with its mesh intact,
// the .csv has one row per face, node and edge, the .vtp declares every cell and its binary
// arrays decode to the mesh and the values, whatever padding their base64 needs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <sstream>

#include "io/mesh_reader.h"
#include "io/results_writer.h"
#include "mesh/sample_part.h"
#include "vtp_arrays.h"

namespace vexmor::cli::test {
namespace {

// The sample part, a query point that no face uses, values per face, node (NaN for every
// seventh) and for two edges.
struct SampleResults {
  Mesh mesh = SamplePart();
  Results results;
  SampleResults() {
    mesh.addNode(100, 100, 100);
    std::vector<double> face(mesh.faceCount()), node(mesh.nodeCount());
    for (size_t f = 0; f < face.size(); ++f)
      face[f] = static_cast<double>(f) / 4;
    for (size_t n = 0; n < node.size(); ++n)
      node[n] = n % 7 == 0 ? NAN : static_cast<double>(n);
    results = {&mesh,
               {{"face_value", Location::kFace, face},
                {"node_value", Location::kNode, node},
                {"edge_value", Location::kEdge, {1.5, -2.5}}},
               {0, 1, 1, 2},
               "face_value"};
  }
};

size_t Count(const std::string& s, const std::string& part) {
  size_t n = 0;
  for (size_t at = s.find(part); at != std::string::npos; at = s.find(part, at + 1))
    ++n;
  return n;
}

TEST(ResultsWriter, PlyAndCsvCarryTheMeshAndOneRowPerFaceNodeAndEdge) {
  const SampleResults sample;
  const Mesh& part = sample.mesh;
  const std::string ply = ResultsToPly(sample.results);
  const LoadedMesh loaded = ReadMesh(ply, "r.ply", MeshFormat::kPly);
  EXPECT_EQ(loaded.mesh.coords, part.coords);
  EXPECT_EQ(loaded.mesh.elem, part.elem);
  EXPECT_TRUE(loaded.notes.empty());
  EXPECT_NE(ply.find("property double face_value\nproperty uchar red"), std::string::npos);
  EXPECT_NE(ply.find("element edge 2\n"), std::string::npos);

  const std::string csv = ResultsToCsv(sample.results);
  std::istringstream in(csv);
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line, "kind,index,x,y,z,area,face_value,node_value,edge_value");
  std::map<std::string, size_t> rows;
  while (std::getline(in, line)) {
    EXPECT_EQ(std::count(line.begin(), line.end(), ','), 8) << line;
    ++rows[line.substr(0, line.find(','))];
  }
  EXPECT_EQ(rows, (std::map<std::string, size_t>{
                      {"edge", 2}, {"face", part.faceCount()}, {"node", part.nodeCount()}}));
  EXPECT_NE(csv.find("\nnode,0,"), std::string::npos);
  EXPECT_NE(csv.find("\nedge,1,"), std::string::npos);
  EXPECT_NE(csv.find(",-2.5\n"), std::string::npos);
}

TEST(ResultsWriter, VtpDeclaresEveryCellAndItsArraysDecodeToTheMeshAndTheValues) {
  const SampleResults sample;
  const Mesh& part = sample.mesh;
  const std::string vtp = ResultsToVtp(sample.results);
  for (const std::string& count :
       {"NumberOfPoints=\"" + std::to_string(part.nodeCount()) + "\"",
        std::string("NumberOfVerts=\"1\""), std::string("NumberOfLines=\"2\""),
        "NumberOfPolys=\"" + std::to_string(part.faceCount()) + "\""})
    EXPECT_NE(vtp.find(count), std::string::npos) << count;
  EXPECT_EQ(Count(vtp, "<DataArray"), Count(vtp, "</DataArray>"));
  EXPECT_EQ(Count(vtp, "<DataArray"), 1u + 3 * 2 + 3);
  EXPECT_EQ(vtp.rfind("</VTKFile>\n"), vtp.size() - 11);

  EXPECT_EQ(VtpArray(vtp, "", "<Points>"), part.coords);
  std::vector<double> connectivity, offsets;
  for (size_t f = 0; f < part.faceCount(); ++f) {
    for (int32_t n : part.face(f))
      connectivity.push_back(n);
    offsets.push_back(static_cast<double>(connectivity.size()));
  }
  EXPECT_EQ(VtpArray(vtp, "connectivity", "<Polys>"), connectivity);
  EXPECT_EQ(VtpArray(vtp, "offsets", "<Polys>"), offsets);
  EXPECT_EQ(VtpArray(vtp, "connectivity", "<Verts>"),
            std::vector<double>{static_cast<double>(part.nodeCount() - 1)});
  EXPECT_EQ(VtpArray(vtp, "connectivity", "<Lines>"), (std::vector<double>{0, 1, 1, 2}));
  EXPECT_EQ(VtpArray(vtp, "offsets", "<Lines>"), (std::vector<double>{2, 4}));
  // A cell array runs over verts, lines and polys, NaN where it does not apply; point data
  // has one value per node, NaN kept.
  const std::vector<double> face = VtpArray(vtp, "face_value"), edge = VtpArray(vtp, "edge_value");
  const std::vector<double> node = VtpArray(vtp, "node_value");
  ASSERT_EQ(face.size(), 3 + part.faceCount());
  ASSERT_EQ(edge.size(), face.size());
  ASSERT_EQ(node.size(), part.nodeCount());
  for (size_t i = 0; i < face.size(); ++i) {
    EXPECT_TRUE(i < 3 ? std::isnan(face[i]) : face[i] == (i - 3) / 4.0) << i;
    EXPECT_TRUE(i == 1 ? edge[i] == 1.5 : i == 2 ? edge[i] == -2.5 : std::isnan(edge[i])) << i;
  }
  for (size_t n = 0; n < node.size(); ++n)
    EXPECT_TRUE(n % 7 == 0 ? std::isnan(node[n]) : node[n] == static_cast<double>(n)) << n;
  // The offsets of 1, 2 and 3 lines take 12, 16 and 20 bytes with their 8-byte header: no
  // padding, then two and one '='.
  for (size_t edges = 1; edges <= 3; ++edges) {
    Mesh line;
    for (int i = 0; i < 4; ++i)
      line.addNode(i, 0, 0);
    Results r{&line, {{"edge_value", Location::kEdge, std::vector<double>(edges, 0.5)}}, {}, ""};
    std::vector<double> lineOffsets;
    for (int32_t e = 0; e < static_cast<int32_t>(edges); ++e) {
      r.edgeNodes.insert(r.edgeNodes.end(), {e, e + 1});
      lineOffsets.push_back(2.0 * (e + 1));
    }
    EXPECT_EQ(VtpArray(ResultsToVtp(r), "offsets", "<Lines>"), lineOffsets) << edges;
  }
}

}  // namespace
}  // namespace vexmor::cli::test
