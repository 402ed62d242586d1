// Every reader against small hand-made files of each variant it accepts: nodes and faces must
// come out in the file's order, with exactly equal STL points welded in first-seen order.
#include <gtest/gtest.h>

#include "io/format_sniffer.h"
#include "io/mesh_reader.h"
#include "io/read_error.h"
#include "unit/byte_builder.h"

namespace vexmor::cli::test {
namespace {

std::vector<std::vector<int32_t>> Faces(const Mesh& m) {
  std::vector<std::vector<int32_t>> faces;
  for (size_t f = 0; f < m.faceCount(); ++f)
    faces.emplace_back(m.face(f).begin(), m.face(f).end());
  return faces;
}

using FaceList = std::vector<std::vector<int32_t>>;
const FaceList kTetraFaces = {{0, 2, 1}, {0, 1, 3}, {1, 2, 3}, {2, 0, 3}};
const std::vector<double> kTetraCoords = {0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1};

// A tetrahedron as STL facets: each facet repeats its points, welded on reading.
std::string TextStlTetra(const std::string& solid = "solid", const std::string& facet = "facet") {
  std::string s = solid + " tetra\n";
  for (const auto& f : kTetraFaces) {
    s += "  " + facet + " normal 0 0 0\n    outer loop\n";
    for (int32_t n : f) {
      s += "      vertex " + std::to_string(kTetraCoords[3 * n]) + " " +
           std::to_string(kTetraCoords[3 * n + 1]) + " " + std::to_string(kTetraCoords[3 * n + 2]) +
           "\n";
    }
    s += "    endloop\n  endfacet\n";
  }
  return s + "endsolid tetra\n";
}

std::string BinaryStlTetra(const std::string& header) {
  Bytes b;
  std::string h = header;
  h.resize(80, ' ');
  b.text(h).put<uint32_t>(4);
  for (const auto& f : kTetraFaces) {
    for (int k = 0; k < 3; ++k)
      b.put<float>(0);
    for (int32_t n : f) {
      for (int k = 0; k < 3; ++k)
        b.put<float>(static_cast<float>(kTetraCoords[3 * n + k]));
    }
    b.put<uint16_t>(0);
  }
  return b.str();
}

// STL numbers the tetrahedron's nodes in the order its facets first use them.
const std::vector<double> kStlCoords = {0, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0, 1};
const FaceList kStlFaces = {{0, 1, 2}, {0, 2, 3}, {2, 1, 3}, {1, 0, 3}};

TEST(StlReader, TextAndBinaryWeldInFirstSeenOrder) {
  for (const std::string& text : {TextStlTetra(), TextStlTetra("SOLID", "FACET")}) {
    const auto loaded = ReadStl(text, "t.stl");
    EXPECT_EQ(loaded.format, "text STL");
    EXPECT_EQ(loaded.mesh.coords, kStlCoords);
    EXPECT_EQ(Faces(loaded.mesh), kStlFaces);
  }
  // A binary header that starts with "solid" must not fool the reader: the size tells.
  for (const std::string& header : {std::string("binary"), std::string("solid but binary")}) {
    const auto loaded = ReadStl(BinaryStlTetra(header), "b.stl");
    EXPECT_EQ(loaded.format, "binary STL");
    EXPECT_EQ(loaded.mesh.coords, kStlCoords);
    EXPECT_EQ(Faces(loaded.mesh), kStlFaces);
  }
  // -0 and +0 are the same point.
  std::string text = TextStlTetra();
  text.replace(text.find("vertex 0.000000 0.000000 0.000000"), 33,
               "vertex -0.000000 0.000000 -0.0000");
  EXPECT_EQ(ReadStl(text, "t.stl").mesh.nodeCount(), 4u);
  // Two solids in one file are read one after the other.
  EXPECT_EQ(ReadStl(TextStlTetra() + TextStlTetra(), "t.stl").mesh.faceCount(), 8u);
}

TEST(ObjReader, VertexFormsNegativeIndicesAndPolygons) {
  const std::string obj =
      "# a comment\nmtllib x.mtl\no thing\n"
      "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0 1.0\n"
      "vt 0 0\nvn 0 0 1\ng side\nusemtl red\ns off\n"
      "f 1 2 3\n"
      "f 1/1 3/1 4/1\n"
      "f 1//1 2//1 3//1 4//1\n"
      "f -4/1/1 -3/1/1 -2/1/1 -1/1/1\n"
      "v 0.5 0.5 1e0\n"
      "f 1 2 \\\n 5\n"
      "l 1 2\n";
  const auto loaded = ReadObj(obj, "a.obj");
  EXPECT_EQ(loaded.mesh.nodeCount(), 5u);
  EXPECT_EQ(loaded.mesh.coords[3 * 4 + 2], 1.0);
  EXPECT_EQ(Faces(loaded.mesh),
            (FaceList{{0, 1, 2}, {0, 2, 3}, {0, 1, 2, 3}, {0, 1, 2, 3}, {0, 1, 4}}));
  // A face may name a vertex written further down.
  EXPECT_EQ(ReadObj("f 1 2 3\nv 0 0 0\nv 1 0 0\nv 0 1 0\n", "b.obj").mesh.faceCount(), 1u);
}

TEST(OffReader, VariantsCommentsAndColours) {
  const std::string off =
      "OFF\n# comment\n4 4 6\n0 0 0\n1 0 0\n0 1 0\n0 0 1\n"
      "3 0 2 1\n3 0 1 3 255 0 0\n3 1 2 3\n3 2 0 3\n";
  auto loaded = ReadOff(off, "a.off");
  EXPECT_EQ(loaded.mesh.coords, kTetraCoords);
  EXPECT_EQ(Faces(loaded.mesh), kTetraFaces);
  const std::string coff =
      "COFF 4 1 0\n0 0 0 1 1 1 1\n1 0 0 1 1 1 1\n0 1 0 1 1 1 1\n"
      "0 0 1 1 1 1 1\n4 0 1 2 3\n";
  loaded = ReadOff(coff, "c.off");
  EXPECT_EQ(loaded.mesh.coords, kTetraCoords);
  EXPECT_EQ(Faces(loaded.mesh), (FaceList{{0, 1, 2, 3}}));
  // The keyword may be left out.
  EXPECT_EQ(ReadOff("3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n", "n.off").mesh.faceCount(), 1u);
}

// The tetrahedron as PLY with the given encoding, coordinate type and list types.
std::string PlyTetra(const std::string& format, const std::string& coordType,
                     const std::string& countType, const std::string& indexType) {
  std::string header = "ply\nformat " + format + " 1.0\ncomment test\nobj_info x\n" +
                       "element vertex 4\nproperty " + coordType + " x\nproperty " + coordType +
                       " y\nproperty " + coordType + " z\nproperty uchar red\n" +
                       "element face 4\nproperty list " + countType + " " + indexType +
                       " vertex_indices\nproperty float quality\n" +
                       "element material 1\nproperty list uchar float name\nend_header\n";
  if (format == "ascii") {
    std::string body;
    for (int n = 0; n < 4; ++n) {
      body += std::to_string(kTetraCoords[3 * n]) + " " + std::to_string(kTetraCoords[3 * n + 1]) +
              " " + std::to_string(kTetraCoords[3 * n + 2]) + " 7\n";
    }
    for (const auto& f : kTetraFaces)
      body += "3 " + std::to_string(f[0]) + " " + std::to_string(f[1]) + " " +
              std::to_string(f[2]) + " 0.5\n";
    return header + body + "2 1.5 2.5\n";
  }
  Bytes b(format == "binary_big_endian");
  b.text(header);
  auto putTyped = [&](const std::string& type, double v) {
    if (type == "float") b.put<float>(static_cast<float>(v));
    if (type == "double") b.put<double>(v);
    if (type == "uchar") b.put<uint8_t>(static_cast<uint8_t>(v));
    if (type == "ushort") b.put<uint16_t>(static_cast<uint16_t>(v));
    if (type == "short") b.put<int16_t>(static_cast<int16_t>(v));
    if (type == "int") b.put<int32_t>(static_cast<int32_t>(v));
    if (type == "uint") b.put<uint32_t>(static_cast<uint32_t>(v));
    if (type == "char") b.put<int8_t>(static_cast<int8_t>(v));
  };
  for (int n = 0; n < 4; ++n) {
    for (int k = 0; k < 3; ++k)
      putTyped(coordType, kTetraCoords[3 * n + k]);
    b.put<uint8_t>(7);
  }
  for (const auto& f : kTetraFaces) {
    putTyped(countType, 3);
    for (int32_t n : f)
      putTyped(indexType, n);
    b.put<float>(0.5f);
  }
  b.put<uint8_t>(2).put<float>(1.5f).put<float>(2.5f);
  return b.str();
}

TEST(PlyReader, EncodingsCoordinateTypesAndListTypes) {
  struct Case {
    const char *format, *coord, *count, *index;
  };
  const Case cases[] = {
      {"ascii", "float", "uchar", "int"},
      {"binary_little_endian", "float", "uchar", "int"},
      {"binary_little_endian", "double", "ushort", "uint"},
      {"binary_big_endian", "double", "uchar", "int"},
      {"binary_big_endian", "float", "int", "short"},
      {"binary_little_endian", "float", "uint", "ushort"},
      {"binary_big_endian", "double", "char", "uchar"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.format) + " " + c.coord + " " + c.count + " " + c.index);
    const auto loaded = ReadPly(PlyTetra(c.format, c.coord, c.count, c.index), "t.ply");
    EXPECT_EQ(loaded.mesh.coords, kTetraCoords);
    EXPECT_EQ(Faces(loaded.mesh), kTetraFaces);
    EXPECT_TRUE(loaded.notes.empty());
  }
}

TEST(PlyReader, TriangleStripsAndVertexIndexName) {
  const std::string strips =
      "ply\nformat ascii 1.0\nelement vertex 5\nproperty float x\nproperty float y\n"
      "property float z\nelement tristrips 1\nproperty list int int vertex_indices\nend_header\n"
      "0 0 0\n1 0 0\n0 1 0\n1 1 0\n2 2 0\n"
      "9 0 1 2 3 -1 1 3 3 4\n";
  // 0 1 2, then 2 1 3 (turned), a restart, 1 3 3 (a joint, dropped), then 3 3 4 dropped too.
  EXPECT_EQ(Faces(ReadPly(strips, "s.ply").mesh), (FaceList{{0, 1, 2}, {2, 1, 3}}));
  const std::string named =
      "ply\r\nformat ascii 1.0\r\nelement vertex 3\r\nproperty double x\r\nproperty double y\r\n"
      "property double z\r\nelement face 1\r\nproperty list uchar int vertex_index\r\n"
      "end_header\r\n0 0 0\r\n1 0 0\r\n0 1 0\r\n3 0 1 2\r\n";
  EXPECT_EQ(Faces(ReadPly(named, "n.ply").mesh), (FaceList{{0, 1, 2}}));
}

TEST(MeshFormat, ContentDecidesAndTheExtensionOnlyBreaksTies) {
  EXPECT_EQ(FormatFromExtension("a/b.STL"), MeshFormat::kStl);
  EXPECT_EQ(FormatFromExtension("x.3mf"), MeshFormat::k3mf);
  EXPECT_EQ(FormatFromExtension("dir.obj/file"), std::nullopt);
  struct Case {
    std::string bytes, name;
    std::optional<MeshFormat> format;  // nullopt: a ReadError containing `error`
    std::string error;
  };
  const Case cases[] = {
      {"ply\nformat", "a.obj", MeshFormat::kPly, ""},
      {"OFF\n3 1 0", "a.stl", MeshFormat::kOff, ""},
      {"COFF\n3 1 0", "a", MeshFormat::kOff, ""},
      {"  solid x\n", "a", MeshFormat::kStl, ""},
      {"# made by hand\n\nv 1 2 3\n", "a.txt", MeshFormat::kObj, ""},
      {BinaryStlTetra("solid looks like text"), "tetra.obj", MeshFormat::kStl, ""},
      {"<?xml version=\"1.0\"?>\n<amf unit=\"inch\">", "a.xml", MeshFormat::kAmf, ""},
      {"", "a.stl", std::nullopt, "a.stl: empty file"},
      {" \n\t\n", "a.obj", std::nullopt, "a.obj: empty file"},
      {"# Read me\nThis part was drawn in 2019.\n", "readme.obj", std::nullopt,
       "not a mesh file (text"},
      {"#VRML V2.0 utf8\nShape {}\n", "scene.obj", std::nullopt, "not a mesh file (a VRML"},
      {"<?xml version=\"1.0\"?>\n<svg/>", "a.amf", std::nullopt, "not a mesh file (XML"},
      {std::string("\x7f\0\0\x01garbage", 11), "x.obj", std::nullopt, "not a mesh file (binary"},
      // Binary bytes without a magic number named .stl go to the STL reader, which says where
      // the file breaks off.
      {std::string(90, '\0'), "cut.stl", MeshFormat::kStl, ""},
  };
  for (const Case& c : cases) {
    try {
      EXPECT_EQ(ChooseFormat(c.bytes, c.name, c.name), c.format) << c.name;
      EXPECT_TRUE(c.format.has_value()) << c.name;
    } catch (const ReadError& e) {
      EXPECT_FALSE(c.format.has_value()) << c.name << ": " << e.what();
      EXPECT_NE(std::string(e.what()).find(c.error), std::string::npos) << e.what();
    }
  }
}

}  // namespace
}  // namespace vexmor::cli::test
