// Results files: the .ply reads back through the program's own reader with its mesh intact,
// the .csv has one row per face, node and edge, the .vtp declares every cell and its binary
// arrays decode to the mesh and the values.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>

#include "io/mesh_reader.h"
#include "io/results_writer.h"
#include "mesh/sample_part.h"
#include "vtp_arrays.h"

namespace vexmor::cli::test {
namespace {

Results SampleResults(const Mesh& mesh) {
  Results r;
  r.mesh = &mesh;
  std::vector<double> face(mesh.faceCount()), node(mesh.nodeCount());
  for (size_t f = 0; f < face.size(); ++f)
    face[f] = static_cast<double>(f) / 4;
  for (size_t n = 0; n < node.size(); ++n)
    node[n] = n % 7 == 0 ? NAN : static_cast<double>(n);
  r.fields = {{"face_value", Location::kFace, face},
              {"node_value", Location::kNode, node},
              {"edge_value", Location::kEdge, {1.5, -2.5}}};
  r.edgeNodes = {0, 1, 1, 2};
  r.colourField = "face_value";
  return r;
}

size_t Count(const std::string& s, const std::string& part) {
  size_t n = 0;
  for (size_t at = s.find(part); at != std::string::npos; at = s.find(part, at + 1))
    ++n;
  return n;
}

TEST(ResultsWriter, PlyReadsBackWithItsMesh) {
  const Mesh part = SamplePart();
  const std::string ply = ResultsToPly(SampleResults(part));
  const auto loaded = ReadMesh(ply, "r.ply", MeshFormat::kPly);
  EXPECT_EQ(loaded.mesh.coords, part.coords);
  EXPECT_EQ(loaded.mesh.elem, part.elem);
  EXPECT_TRUE(loaded.notes.empty());
  EXPECT_NE(ply.find("property double face_value\nproperty uchar red"), std::string::npos);
  EXPECT_NE(ply.find("element edge 2\n"), std::string::npos);
}

TEST(ResultsWriter, CsvRows) {
  const Mesh part = SamplePart();
  const std::string csv = ResultsToCsv(SampleResults(part));
  std::istringstream in(csv);
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line, "kind,index,x,y,z,area,face_value,node_value,edge_value");
  size_t faces = 0, nodes = 0, edges = 0;
  while (std::getline(in, line)) {
    EXPECT_EQ(std::count(line.begin(), line.end(), ','), 8) << line;
    faces += line.rfind("face,", 0) == 0;
    nodes += line.rfind("node,", 0) == 0;
    edges += line.rfind("edge,", 0) == 0;
  }
  EXPECT_EQ(faces, part.faceCount());
  EXPECT_EQ(nodes, part.nodeCount());
  EXPECT_EQ(edges, 2u);
  EXPECT_NE(csv.find("\nnode,0,"), std::string::npos);
  EXPECT_NE(csv.find("\nedge,1,"), std::string::npos);
  EXPECT_NE(csv.find(",-2.5\n"), std::string::npos);
}

TEST(ResultsWriter, VtpDeclaresEveryCellAndArray) {
  Mesh part = SamplePart();
  part.addNode(100, 100, 100);  // a query point: written as a vertex cell
  const Results results = SampleResults(part);
  const std::string vtp = ResultsToVtp(results);
  EXPECT_NE(vtp.find("NumberOfPoints=\"" + std::to_string(part.nodeCount()) + "\""),
            std::string::npos);
  EXPECT_NE(vtp.find("NumberOfVerts=\"1\""), std::string::npos);
  EXPECT_NE(vtp.find("NumberOfLines=\"2\""), std::string::npos);
  EXPECT_NE(vtp.find("NumberOfPolys=\"" + std::to_string(part.faceCount()) + "\""),
            std::string::npos);
  EXPECT_EQ(Count(vtp, "<DataArray"), Count(vtp, "</DataArray>"));
  EXPECT_EQ(Count(vtp, "<DataArray"), 1u + 3 * 2 + 3);
  EXPECT_EQ(vtp.rfind("</VTKFile>\n"), vtp.size() - 11);

  EXPECT_EQ(VtpArray(vtp, "", "<Points>"), part.coords);
  // Polygons: every face's nodes back to back, and where each face ends.
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

  // A cell array runs over verts, lines and polys, NaN where it does not apply.
  const auto face = VtpArray(vtp, "face_value");
  ASSERT_EQ(face.size(), 1 + 2 + part.faceCount());
  EXPECT_TRUE(std::isnan(face[0]) && std::isnan(face[1]) && std::isnan(face[2]));
  for (size_t f = 0; f < part.faceCount(); ++f)
    EXPECT_EQ(face[3 + f], results.fields[0].values[f]);
  const auto edge = VtpArray(vtp, "edge_value");
  ASSERT_EQ(edge.size(), face.size());
  EXPECT_EQ(edge[1], 1.5);
  EXPECT_EQ(edge[2], -2.5);
  EXPECT_TRUE(std::isnan(edge[3]));
  // Point data: one value per node, NaN kept.
  const auto node = VtpArray(vtp, "node_value");
  ASSERT_EQ(node.size(), part.nodeCount());
  for (size_t n = 0; n < node.size(); ++n) {
    if (n % 7 == 0) {
      EXPECT_TRUE(std::isnan(node[n]));
    } else {
      EXPECT_EQ(node[n], static_cast<double>(n));
    }
  }
}

TEST(ResultsWriter, VtpBase64PaddingOfEveryLength) {
  // The offsets of 1, 2 and 3 lines take 12, 16 and 20 bytes with their 8-byte header: no
  // padding, then two and one '='.
  for (size_t edges = 1; edges <= 3; ++edges) {
    Mesh mesh;
    for (int i = 0; i < 4; ++i)
      mesh.addNode(i, 0, 0);
    Results r;
    r.mesh = &mesh;
    for (size_t e = 0; e < edges; ++e)
      r.edgeNodes.insert(r.edgeNodes.end(), {static_cast<int32_t>(e), static_cast<int32_t>(e + 1)});
    r.fields = {{"edge_value", Location::kEdge, std::vector<double>(edges, 0.5)}};
    const std::string vtp = ResultsToVtp(r);
    std::vector<double> offsets;
    for (size_t e = 1; e <= edges; ++e)
      offsets.push_back(2.0 * static_cast<double>(e));
    EXPECT_EQ(VtpArray(vtp, "offsets", "<Lines>"), offsets) << edges;
  }
}

}  // namespace
}  // namespace vexmor::cli::test
