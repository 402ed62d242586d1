// Damaged and lying files: each must end in one ReadError whose message names the file, the
// place (line, or byte offset for binary data) and what was expected there.
#include <gtest/gtest.h>

#include "io/mesh_reader.h"
#include "io/read_error.h"
#include "unit/byte_builder.h"

namespace vexmor::cli::test {
namespace {

// The message of the error that reading `bytes` as `format` raises.
std::string ErrorOf(MeshFormat format, const std::string& bytes, const std::string& path) {
  try {
    ReadMesh(bytes, path, format);
  } catch (const ReadError& e) {
    return e.what();
  }
  ADD_FAILURE() << "no error for " << path;
  return "";
}

void ExpectError(MeshFormat format, const std::string& bytes, const std::string& path,
                 const std::vector<std::string>& parts) {
  const std::string message = ErrorOf(format, bytes, path);
  EXPECT_EQ(message.find('\n'), std::string::npos) << message;
  EXPECT_EQ(message.rfind(path, 0), 0u) << message;
  for (const auto& part : parts)
    EXPECT_NE(message.find(part), std::string::npos) << "'" << part << "' not in: " << message;
}

std::string BinaryStl(uint32_t announced, size_t written) {
  Bytes b;
  b.text(std::string(80, 'x')).put<uint32_t>(announced);
  for (size_t t = 0; t < written; ++t) {
    for (int k = 0; k < 12; ++k)
      b.put<float>(static_cast<float>(t + k));
    b.put<uint16_t>(0);
  }
  return b.str();
}

TEST(DamagedFiles, Stl) {
  ExpectError(MeshFormat::kStl, BinaryStl(10, 3) + "abc", "cut.stl",
              {"byte 234", "truncated", "10 triangles", "triangle 4"});
  ExpectError(MeshFormat::kStl, std::string(50, 'x'), "short.stl", {"byte 50", "header"});
  ExpectError(MeshFormat::kStl, "", "empty.stl", {"byte 0"});
  std::string nan = BinaryStl(1, 1);
  const float bad = std::numeric_limits<float>::quiet_NaN();
  std::memcpy(&nan[84 + 12 + 4], &bad, 4);
  ExpectError(MeshFormat::kStl, nan, "nan.stl", {"byte 100", "not a finite number"});
  ExpectError(MeshFormat::kStl, "solid x\nfacet normal 0 0 1\nouter loop\nvertex 0 0 zero\n",
              "words.stl", {":4:", "z coordinate", "'zero'"});
  ExpectError(MeshFormat::kStl, "solid x\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\n",
              "cut.stl", {":5:", "'vertex'", "end of the file"});
  ExpectError(MeshFormat::kStl, "solid x\nfacet normal 0 0 1\nouter loop\nvertex 1e999 0 0\n",
              "big.stl", {":4:", "out of the range"});
  // Trailing bytes after a complete binary file are only worth a note.
  EXPECT_EQ(ReadStl(BinaryStl(1, 1) + "zz", "t.stl").notes.size(), 1u);
}

TEST(DamagedFiles, Obj) {
  ExpectError(MeshFormat::kObj, "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\nf 1 2 9\n", "missing.obj",
              {":5:", "vertex 9", "only 3 vertices"});
  ExpectError(MeshFormat::kObj, "v 0 0 0\nf 1 2 -7\n", "before.obj", {":2:", "-7"});
  ExpectError(MeshFormat::kObj, "v 0 0 0\nf 0 1 1\n", "zero.obj", {":2:", "index 0"});
  ExpectError(MeshFormat::kObj, "v 0 0 0\nv 0 x 0\n", "word.obj", {":2:", "y coordinate", "'x'"});
  ExpectError(MeshFormat::kObj, "v 0 0\n", "short.obj", {":1:", "z coordinate", "end of the line"});
  ExpectError(MeshFormat::kObj, "v 0 0 0\nf 1 a 1\n", "face.obj", {":2:", "'a'"});
  ExpectError(MeshFormat::kObj, "v 0 0 0\nf 1/x 1 1\n", "slash.obj", {":2:", "'1/x'"});
  ExpectError(MeshFormat::kObj, "v 0 0 0\nv 1 0 0\nf 1 2\n", "two.obj", {":3:", "at least 3"});
  ExpectError(MeshFormat::kObj, "v nan 0 0\n", "nan.obj", {":1:", "not a finite number"});
}

TEST(DamagedFiles, AmfAndPackages) {
#ifndef VEXMOR_READS_PACKAGES
  GTEST_SKIP() << "this build reads no AMF or 3MF (built without expat, libzip and lib3mf)";
#endif
  const std::string head = "<?xml version=\"1.0\"?>\n<amf>\n<object id=\"1\"><mesh><vertices>\n";
  const std::string vertex =
      "<vertex><coordinates><x>0</x><y>0</y><z>0</z></coordinates></vertex>\n";
  ExpectError(MeshFormat::kAmf, head + "<vertex>\n", "cut.amf", {"malformed XML"});
  ExpectError(MeshFormat::kAmf,
              head + vertex + "</vertices><volume>\n<triangle><v1>0</v1><v2>0</v2><v3>7</v3>" +
                  "</triangle>\n</volume></mesh></object></amf>\n",
              "index.amf", {":6:", "vertex 7", "1 vertices"});
  ExpectError(MeshFormat::kAmf, head + "<vertex><coordinates><x>a</x>", "word.amf",
              {":4:", "expected a number", "'a'"});
  ExpectError(MeshFormat::k3mf, "PK\x03\x04 not really a zip", "fake.3mf",
              {"not a readable 3MF file"});
}

TEST(DamagedFiles, Off) {
  ExpectError(MeshFormat::kOff, "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 5\n", "index.off",
              {":6:", "vertex 5"});
  ExpectError(MeshFormat::kOff, "OFF\n1000000 2000000 0\n0 0 0\n", "lies.off",
              {":2:", "1000000 vertices", "bytes"});
  ExpectError(MeshFormat::kOff, "OFF\n3 1 0\n0 0 0\n1 0 0\n", "short.off",
              {":2:", "3 vertices and 1 faces", "13 bytes"});
  ExpectError(MeshFormat::kOff, "OFF\n3 1 0\n0 0 0\n1 0 0\n# padding padding padding\n", "cut.off",
              {"x coordinate", "end of the file"});
  ExpectError(MeshFormat::kOff, "4OFF\n", "four.off", {":1:", "not supported"});
  ExpectError(MeshFormat::kOff, "HELLO\n", "word.off", {":1:", "'OFF'"});
  ExpectError(MeshFormat::kOff, "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n2 0 1\n", "two.off",
              {":6:", "at least 3"});
  ExpectError(MeshFormat::kOff, "OFF\n-3 1 0\n", "neg.off", {":2:", "negative"});
}

std::string PlyHeader(const std::string& format, int vertices, int faces) {
  return "ply\nformat " + format + " 1.0\nelement vertex " + std::to_string(vertices) +
         "\nproperty float x\nproperty float y\nproperty float z\nelement face " +
         std::to_string(faces) + "\nproperty list uchar int vertex_indices\nend_header\n";
}

TEST(DamagedFiles, Ply) {
  // A header that lies about its counts is caught before anything is reserved.
  Bytes lying;
  lying.text(PlyHeader("binary_little_endian", 2000000000, 3));
  for (int i = 0; i < 9; ++i)
    lying.put<float>(0);
  ExpectError(MeshFormat::kPly, lying.str(), "lies.ply", {":3:", "2000000000 'vertex'", "bytes"});
  // Counts that fit the bytes, but the data runs out.
  Bytes cut;
  cut.text(PlyHeader("binary_little_endian", 3, 1));
  for (int i = 0; i < 9; ++i)
    cut.put<float>(static_cast<float>(i));
  cut.put<uint8_t>(3).put<int32_t>(0).put<int32_t>(1).put<uint8_t>(0);
  const size_t header = PlyHeader("binary_little_endian", 3, 1).size();
  ExpectError(MeshFormat::kPly, cut.str(), "cut.ply",
              {"byte " + std::to_string(header + 36 + 9), "'face' 0 of 1"});
  Bytes bigList;
  bigList.text(PlyHeader("binary_little_endian", 3, 1));
  for (int i = 0; i < 9; ++i)
    bigList.put<float>(0);
  bigList.put<uint8_t>(200).put<int32_t>(0);
  ExpectError(MeshFormat::kPly, bigList.str(), "list.ply", {"200 items"});
  ExpectError(MeshFormat::kPly, PlyHeader("ascii", 3, 1) + "0 0 0\n1 0 0\n0 one 0\n3 0 1 2\n",
              "word.ply", {":12:", "vertex' 2 of 3", "'one'"});
  ExpectError(MeshFormat::kPly, PlyHeader("ascii", 3, 1) + "0 0 0\n1 0 0\n0 1 0\n3 0 1 3\n",
              "index.ply", {":13:", "vertex index 3"});
  ExpectError(MeshFormat::kPly, "ply\nformat ascii 1.0\nelement vertex 1\n", "noend.ply",
              {"end_header"});
  ExpectError(MeshFormat::kPly,
              "ply\nformat ascii 1.0\nelement vertex 1\nproperty quad x\nend_header\n", "type.ply",
              {":4:", "'quad'"});
  ExpectError(MeshFormat::kPly,
              "ply\nformat ascii 1.0\nelement vertex 1\nproperty float x\nend_header\n1\n",
              "noy.ply", {":3:", "'y'"});
  ExpectError(MeshFormat::kPly, "ply\nformat ebcdic 1.0\nend_header\n", "fmt.ply",
              {":2:", "'ebcdic'"});
  ExpectError(MeshFormat::kPly, "plx\n", "magic.ply", {":1:", "'ply'"});
}

}  // namespace
}  // namespace vexmor::cli::test
