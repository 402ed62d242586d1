// Results files: the .ply reads back through the program's own reader with its mesh intact,
// the .csv has one row per face, node and edge, the .vtp declares and holds every cell.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "io/mesh_reader.h"
#include "io/results_writer.h"
#include "mesh/sample_part.h"

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
  const std::string vtp = ResultsToVtp(SampleResults(part));
  EXPECT_NE(vtp.find("NumberOfPoints=\"" + std::to_string(part.nodeCount()) + "\""),
            std::string::npos);
  EXPECT_NE(vtp.find("NumberOfVerts=\"1\""), std::string::npos);
  EXPECT_NE(vtp.find("NumberOfLines=\"2\""), std::string::npos);
  EXPECT_NE(vtp.find("NumberOfPolys=\"" + std::to_string(part.faceCount()) + "\""),
            std::string::npos);
  EXPECT_EQ(Count(vtp, "<DataArray"), Count(vtp, "</DataArray>"));
  EXPECT_EQ(Count(vtp, "<DataArray"), 1u + 3 * 2 + 3);
  // A cell array runs over verts, lines and polys: its values count them all.
  const size_t start = vtp.find("Name=\"face_value\"");
  const size_t open = vtp.find('>', start) + 1;
  std::istringstream values(vtp.substr(open, vtp.find("</DataArray>", open) - open));
  size_t n = 0;
  std::string token;
  while (values >> token)
    ++n;
  EXPECT_EQ(n, 1 + 2 + part.faceCount());
  EXPECT_EQ(vtp.rfind("</VTKFile>\n"), vtp.size() - 11);
}

}  // namespace
}  // namespace vexmor::cli::test
