// The mesh readers: every variant of each format read in the file's node and face order (STL
// points welded in first-seen order), what the writers write read back unchanged, and damaged
// files refused with one message naming the place and what was expected. Random and mutated
// bytes are the fuzz targets' work.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <random>

#include "io/format_sniffer.h"
#include "io/mesh_reader.h"
#include "io/mesh_writer.h"
#include "io/read_error.h"
#include "mesh/sample_part.h"
#include "mesh/triangulation.h"
#include "unit/byte_builder.h"

namespace vexmor::cli::test {
namespace {

using FaceList = std::vector<std::vector<int32_t>>;

FaceList Faces(const Mesh& m) {
  FaceList faces;
  for (size_t f = 0; f < m.faceCount(); ++f)
    faces.emplace_back(m.face(f).begin(), m.face(f).end());
  return faces;
}

const FaceList kTetraFaces = {{0, 2, 1}, {0, 1, 3}, {1, 2, 3}, {2, 0, 3}};
const std::vector<double> kTetraCoords = {0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1};
// STL numbers the tetrahedron's nodes in the order its facets first use them.
const std::vector<double> kStlCoords = {0, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0, 1};
const FaceList kStlFaces = {{0, 1, 2}, {0, 2, 3}, {2, 1, 3}, {1, 0, 3}};

std::string Point(int32_t n) {
  return std::to_string(kTetraCoords[3 * n]) + " " + std::to_string(kTetraCoords[3 * n + 1]) + " " +
         std::to_string(kTetraCoords[3 * n + 2]);
}

// The tetrahedron as STL facets, each repeating its points.
std::string TextStl(const std::string& solid = "solid", const std::string& facet = "facet") {
  std::string s = solid + " tetra\n";
  for (const auto& f : kTetraFaces) {
    s += "  " + facet + " normal 0 0 0\n    outer loop\n";
    for (int32_t n : f)
      s += "      vertex " + Point(n) + "\n";
    s += "    endloop\n  endfacet\n";
  }
  return s + "endsolid tetra\n";
}

std::string BinaryStl(const std::string& header) {
  Bytes b;
  b.text(header + std::string(80 - header.size(), ' ')).put<uint32_t>(4);
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

// The tetrahedron as PLY with the given encoding, coordinate type and list types, with extra
// properties and elements that the reader must step over.
std::string PlyTetra(const std::string& format, const std::string& coord, const std::string& count,
                     const std::string& index) {
  const std::string header = "ply\nformat " + format + " 1.0\ncomment test\nobj_info x\n" +
                             "element vertex 4\nproperty " + coord + " x\nproperty " + coord +
                             " y\nproperty " + coord + " z\nproperty uchar red\n" +
                             "element face 4\nproperty list " + count + " " + index +
                             " vertex_indices\nproperty float quality\n" +
                             "element material 1\nproperty list uchar float name\nend_header\n";
  if (format == "ascii") {
    std::string body;
    for (int n = 0; n < 4; ++n)
      body += Point(n) + " 7\n";
    for (const auto& f : kTetraFaces)
      body += "3 " + std::to_string(f[0]) + " " + std::to_string(f[1]) + " " +
              std::to_string(f[2]) + " 0.5\n";
    return header + body + "2 1.5 2.5\n";
  }
  Bytes b(format == "binary_big_endian");
  b.text(header);
  auto put = [&](const std::string& type, double v) {
    if (type == "float") b.put<float>(static_cast<float>(v));
    if (type == "double") b.put<double>(v);
    if (type == "uchar") b.put<uint8_t>(static_cast<uint8_t>(v));
    if (type == "char") b.put<int8_t>(static_cast<int8_t>(v));
    if (type == "ushort") b.put<uint16_t>(static_cast<uint16_t>(v));
    if (type == "short") b.put<int16_t>(static_cast<int16_t>(v));
    if (type == "int") b.put<int32_t>(static_cast<int32_t>(v));
    if (type == "uint") b.put<uint32_t>(static_cast<uint32_t>(v));
  };
  for (int n = 0; n < 4; ++n) {
    for (int k = 0; k < 3; ++k)
      put(coord, kTetraCoords[3 * n + k]);
    b.put<uint8_t>(7);
  }
  for (const auto& f : kTetraFaces) {
    put(count, 3);
    for (int32_t n : f)
      put(index, n);
    b.put<float>(0.5f);
  }
  b.put<uint8_t>(2).put<float>(1.5f).put<float>(2.5f);
  return b.str();
}

TEST(Readers, ReadEveryVariantOfEachFormatInTheFilesOrder) {
  std::string zeros = TextStl();  // -0 and +0 are the same point
  zeros.replace(zeros.find("vertex 0.000000 0.000000 0.000000"), 33,
                "vertex -0.000000 0.000000 -0.0000");
  const struct {
    std::string what;
    MeshFormat format;
    std::string bytes;
    std::vector<double> coords;
    FaceList faces;
    std::string formatName = "";
  } cases[] = {
      {"text STL", MeshFormat::kStl, TextStl(), kStlCoords, kStlFaces, "text STL"},
      {"upper-case STL", MeshFormat::kStl, TextStl("SOLID", "FACET"), kStlCoords, kStlFaces},
      {"STL with -0", MeshFormat::kStl, zeros, kStlCoords, kStlFaces},
      // A binary header that starts with "solid" must not fool the reader: the size tells.
      {"binary STL", MeshFormat::kStl, BinaryStl("binary"), kStlCoords, kStlFaces, "binary STL"},
      {"binary STL named solid", MeshFormat::kStl, BinaryStl("solid but binary"), kStlCoords,
       kStlFaces},
      {"OBJ", MeshFormat::kObj,
       "# a comment\nmtllib x.mtl\no thing\nv 0 0 0\nv 1 0 0\nv 0 1 0 1.0\nv 0 0 1e0\nvt 0 0\n"
       "vn 0 0 1\ng side\nusemtl red\ns off\nf 1 3 2\nf 1/1 2/1 4/1\nf 2//1 3//1 4//1\n"
       "f -2/1/1 -4/1/1 \\\n -1/1/1\nl 1 2\n",
       kTetraCoords, kTetraFaces},
      {"OBJ naming vertices further down",
       MeshFormat::kObj,
       "f 1 2 3 4\nv 0 0 0\nv 1 0 0\nv 0 1 0\nv 0 0 1\n",
       kTetraCoords,
       {{0, 1, 2, 3}}},
      {"OFF", MeshFormat::kOff,
       "OFF\n# comment\n4 4 6\n0 0 0\n1 0 0\n0 1 0\n0 0 1\n3 0 2 1\n3 0 1 3 255 0 0\n3 1 2 3\n"
       "3 2 0 3\n",
       kTetraCoords, kTetraFaces},
      {"COFF",
       MeshFormat::kOff,
       "COFF 4 1 0\n0 0 0 1 1 1 1\n1 0 0 1 1 1 1\n0 1 0 1 1 1 1\n0 0 1 1 1 1 1\n4 0 1 2 3\n",
       kTetraCoords,
       {{0, 1, 2, 3}}},
      {"OFF without its keyword",
       MeshFormat::kOff,
       "4 1 0\n0 0 0\n1 0 0\n0 1 0\n0 0 1\n3 0 1 2\n",
       kTetraCoords,
       {{0, 1, 2}}},
      // 0 1 2, then 2 1 3 (turned), a restart, 1 3 3 (a joint, dropped), then 3 3 4 dropped too.
      {"PLY triangle strips",
       MeshFormat::kPly,
       "ply\nformat ascii 1.0\nelement vertex 4\nproperty float x\nproperty float y\n"
       "property float z\nelement tristrips 1\nproperty list int int vertex_indices\n"
       "end_header\n0 0 0\n1 0 0\n0 1 0\n0 0 1\n9 0 1 2 3 -1 1 3 3 3\n",
       kTetraCoords,
       {{0, 1, 2}, {2, 1, 3}}},
      {"PLY with CRLF and vertex_index",
       MeshFormat::kPly,
       "ply\r\nformat ascii 1.0\r\nelement vertex 4\r\nproperty double x\r\nproperty double y\r\n"
       "property double z\r\nelement face 1\r\nproperty list uchar int vertex_index\r\n"
       "end_header\r\n0 0 0\r\n1 0 0\r\n0 1 0\r\n0 0 1\r\n3 0 1 2\r\n",
       kTetraCoords,
       {{0, 1, 2}}},
  };
  for (const auto& c : cases) {
    const LoadedMesh loaded = ReadMesh(c.bytes, "t", c.format);
    EXPECT_EQ(loaded.mesh.coords, c.coords) << c.what;
    EXPECT_EQ(Faces(loaded.mesh), c.faces) << c.what;
    if (!c.formatName.empty()) {
      EXPECT_EQ(loaded.format, c.formatName);
    }
  }
  // Two solids in one file are read one after the other.
  EXPECT_EQ(ReadStl(TextStl() + TextStl(), "t.stl").mesh.faceCount(), 8u);
  const char* plys[][3] = {{"ascii", "float", "uchar"},
                           {"binary_little_endian", "float", "uchar"},
                           {"binary_little_endian", "double", "ushort"},
                           {"binary_big_endian", "double", "uchar"},
                           {"binary_big_endian", "float", "int"},
                           {"binary_little_endian", "float", "uint"},
                           {"binary_big_endian", "double", "char"}};
  for (const auto& p : plys) {
    for (const char* index : {"int", "uint", "short", "ushort", "uchar"}) {
      const LoadedMesh loaded = ReadPly(PlyTetra(p[0], p[1], p[2], index), "t.ply");
      EXPECT_EQ(loaded.mesh.coords, kTetraCoords) << p[0] << " " << p[1] << " " << index;
      EXPECT_EQ(Faces(loaded.mesh), kTetraFaces) << p[0] << " " << p[1] << " " << index;
      EXPECT_TRUE(loaded.notes.empty());
    }
  }
}

TEST(Readers, TellTheFormatByContentWithTheExtensionOnlyBreakingTies) {
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
      {"  solid x\n", "a", MeshFormat::kStl, ""},
      {"# made by hand\n\nv 1 2 3\n", "a.txt", MeshFormat::kObj, ""},
      {BinaryStl("solid looks like text"), "tetra.obj", MeshFormat::kStl, ""},
      {"<?xml version=\"1.0\"?>\n<amf unit=\"inch\">", "a.xml", MeshFormat::kAmf, ""},
      {"", "a.stl", std::nullopt, "a.stl: empty file"},
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

TEST(Readers, ReadBackWhatTheWritersWroteBitForBit) {
  const Mesh part = SamplePart(), triangles = Triangulate(part).mesh;
  Mesh odd;  // doubles that text must carry exactly, and a face too large for a uchar count
  odd.addNode(0.1, 1.0 / 3.0, -2.5e-300);
  odd.addNode(1e300, -0.0, 123456789.123456789);
  odd.addNode(5e-324, 7, 8);
  std::vector<int32_t> ring = {0, 1, 2};
  for (int i = 0; i < 300; ++i)
    ring.push_back(odd.addNode(std::cos(i * 0.02), std::sin(i * 0.02), 0));
  odd.addFace(ring);
  for (const bool text : {false, true}) {
    MeshWriteOptions options;
    options.text = text;
    for (const Mesh* mesh : {&part, static_cast<const Mesh*>(&odd)}) {
      const Mesh read[] = {ReadMesh(MeshToPly(*mesh, options), "t.ply", MeshFormat::kPly).mesh,
                           ReadMesh(MeshToObj(*mesh, options), "t.obj", MeshFormat::kObj).mesh,
                           ReadMesh(MeshToOff(*mesh, options), "t.off", MeshFormat::kOff).mesh};
      for (const Mesh& m : read) {
        EXPECT_EQ(m.coords, mesh->coords) << (text ? "text" : "binary");
        EXPECT_EQ(m.elem, mesh->elem) << (text ? "text" : "binary");
      }
    }
    // STL holds triangles only: the part's triangles, welded back to its nodes.
    const LoadedMesh stl = ReadMesh(MeshToStl(part, options), "t.stl", MeshFormat::kStl);
    EXPECT_EQ(stl.format, text ? "text STL" : "binary STL");
    EXPECT_EQ(stl.mesh.coords, triangles.coords);
    EXPECT_EQ(stl.mesh.elem, triangles.elem);
  }
}

std::string CutBinaryStl(uint32_t announced, size_t written) {
  Bytes b;
  b.text(std::string(80, 'x')).put<uint32_t>(announced);
  for (size_t t = 0; t < written; ++t) {
    for (int k = 0; k < 12; ++k)
      b.put<float>(static_cast<float>(t + k));
    b.put<uint16_t>(0);
  }
  return b.str();
}

std::string PlyHeader(const std::string& format, int vertices, int faces) {
  return "ply\nformat " + format + " 1.0\nelement vertex " + std::to_string(vertices) +
         "\nproperty float x\nproperty float y\nproperty float z\nelement face " +
         std::to_string(faces) + "\nproperty list uchar int vertex_indices\nend_header\n";
}

TEST(Readers, RefuseADamagedFileWithOneLineNamingTheFileThePlaceAndWhatWasExpected) {
  std::string nanStl = CutBinaryStl(1, 1);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  std::memcpy(&nanStl[84 + 12 + 4], &nan, 4);
  const std::string binaryPly = PlyHeader("binary_little_endian", 3, 1);
  Bytes lying, cut, bigList;
  lying.text(PlyHeader("binary_little_endian", 2000000000, 3));
  cut.text(binaryPly);
  bigList.text(binaryPly);
  for (int i = 0; i < 9; ++i) {
    lying.put<float>(0);
    cut.put<float>(static_cast<float>(i));
    bigList.put<float>(0);
  }
  cut.put<uint8_t>(3).put<int32_t>(0).put<int32_t>(1).put<uint8_t>(0);
  bigList.put<uint8_t>(200).put<int32_t>(0);
  const std::string asciiPly = PlyHeader("ascii", 3, 1);
  const std::string amf = "<?xml version=\"1.0\"?>\n<amf>\n<object id=\"1\"><mesh><vertices>\n";
  const std::string amfVertex =
      "<vertex><coordinates><x>0</x><y>0</y><z>0</z></coordinates></vertex>\n";
  const struct {
    MeshFormat format;
    std::string bytes, path;
    std::vector<std::string> parts;
  } cases[] = {
      {MeshFormat::kStl,
       CutBinaryStl(10, 3) + "abc",
       "cut.stl",
       {"byte 234", "truncated", "10 triangles", "triangle 4"}},
      {MeshFormat::kStl, std::string(50, 'x'), "short.stl", {"byte 50", "header"}},
      {MeshFormat::kStl, nanStl, "nan.stl", {"byte 100", "not a finite number"}},
      {MeshFormat::kStl,
       "solid x\nfacet normal 0 0 1\nouter loop\nvertex 0 0 zero\n",
       "w.stl",
       {":4:", "z coordinate", "'zero'"}},
      {MeshFormat::kStl,
       "solid x\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\n",
       "cut.stl",
       {":5:", "'vertex'", "end of the file"}},
      {MeshFormat::kObj,
       "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\nf 1 2 9\n",
       "missing.obj",
       {":5:", "vertex 9", "only 3 vertices"}},
      {MeshFormat::kObj, "v 0 0 0\nf 0 1 1\n", "zero.obj", {":2:", "index 0"}},
      {MeshFormat::kObj, "v 0 0 0\nv 0 x 0\n", "word.obj", {":2:", "y coordinate", "'x'"}},
      {MeshFormat::kObj, "v 0 0\n", "short.obj", {":1:", "z coordinate", "end of the line"}},
      {MeshFormat::kObj, "v 0 0 0\nv 1 0 0\nf 1 2\n", "two.obj", {":3:", "at least 3"}},
      {MeshFormat::kOff,
       "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 5\n",
       "index.off",
       {":6:", "vertex 5"}},
      {MeshFormat::kOff,
       "OFF\n1000000 2000000 0\n0 0 0\n",
       "lies.off",
       {":2:", "1000000 vertices", "bytes"}},
      {MeshFormat::kOff,
       "OFF\n3 1 0\n0 0 0\n1 0 0\n# padding padding padding\n",
       "cut.off",
       {"x coordinate", "end of the file"}},
      {MeshFormat::kOff, "OFF\n-3 1 0\n", "neg.off", {":2:", "negative"}},
      // A header that lies about its counts is caught before anything is reserved.
      {MeshFormat::kPly, lying.str(), "lies.ply", {":3:", "2000000000 'vertex'", "bytes"}},
      {MeshFormat::kPly,
       cut.str(),
       "cut.ply",
       {"byte " + std::to_string(binaryPly.size() + 36 + 9), "'face' 0 of 1"}},
      {MeshFormat::kPly, bigList.str(), "list.ply", {"200 items"}},
      {MeshFormat::kPly,
       asciiPly + "0 0 0\n1 0 0\n0 one 0\n3 0 1 2\n",
       "word.ply",
       {":12:", "vertex' 2 of 3", "'one'"}},
      {MeshFormat::kPly,
       asciiPly + "0 0 0\n1 0 0\n0 1 0\n3 0 1 3\n",
       "index.ply",
       {":13:", "vertex index 3"}},
      {MeshFormat::kPly, "ply\nformat ascii 1.0\nelement vertex 1\n", "noend.ply", {"end_header"}},
      {MeshFormat::kPly, "ply\nformat ebcdic 1.0\nend_header\n", "fmt.ply", {":2:", "'ebcdic'"}},
      {MeshFormat::kAmf, amf + "<vertex>\n", "cut.amf", {"malformed XML"}},
      {MeshFormat::kAmf,
       amf + amfVertex + "</vertices><volume>\n<triangle><v1>0</v1><v2>0</v2><v3>7</v3>" +
           "</triangle>\n</volume></mesh></object></amf>\n",
       "index.amf",
       {":6:", "vertex 7", "1 vertices"}},
      {MeshFormat::kAmf,
       amf + "<vertex><coordinates><x>a</x>",
       "word.amf",
       {":4:", "expected a number", "'a'"}},
      {MeshFormat::k3mf, "PK\x03\x04 not really a zip", "fake.3mf", {"not a readable 3MF file"}},
  };
  for (const auto& c : cases) {
#ifndef VEXMOR_READS_PACKAGES
    if (c.format == MeshFormat::kAmf || c.format == MeshFormat::k3mf) continue;  // not built in
#endif
    try {
      ReadMesh(c.bytes, c.path, c.format);
      ADD_FAILURE() << "no error for " << c.path;
    } catch (const ReadError& e) {
      const std::string message = e.what();
      EXPECT_EQ(message.find('\n'), std::string::npos) << message;
      EXPECT_EQ(message.rfind(c.path, 0), 0u) << message;
      for (const auto& part : c.parts)
        EXPECT_NE(message.find(part), std::string::npos) << "'" << part << "' not in " << message;
    }
  }
  // Trailing bytes after a complete binary file are only worth a note.
  EXPECT_EQ(ReadStl(CutBinaryStl(1, 1) + "zz", "t.stl").notes.size(), 1u);
}

}  // namespace
}  // namespace vexmor::cli::test
