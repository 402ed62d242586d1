// The sample part written in every format and read back gives the same nodes and faces; STL,
// which holds triangles only, gives the part's triangles, and welding restores its nodes.
#include <gtest/gtest.h>

#include <cmath>

#include "io/mesh_reader.h"
#include "io/mesh_writer.h"
#include "mesh/sample_part.h"
#include "mesh/triangulation.h"

namespace vexmor::cli::test {
namespace {

void ExpectSameMesh(const Mesh& read, const Mesh& expected) {
  EXPECT_EQ(read.coords, expected.coords);
  EXPECT_EQ(read.elem, expected.elem);
  EXPECT_EQ(read.faceStart, expected.faceStart);
}

TEST(RoundTrip, SamplePartThroughEveryFormat) {
  const Mesh part = SamplePart();
  const Mesh triangles = Triangulate(part).mesh;
  for (bool text : {false, true}) {
    SCOPED_TRACE(text ? "text" : "binary");
    MeshWriteOptions options;
    options.text = text;
    const auto stl = ReadMesh(MeshToStl(part, options), "t.stl", MeshFormat::kStl);
    EXPECT_EQ(stl.format, text ? "text STL" : "binary STL");
    ExpectSameMesh(stl.mesh, triangles);
    ExpectSameMesh(ReadMesh(MeshToPly(part, options), "t.ply", MeshFormat::kPly).mesh, part);
    ExpectSameMesh(ReadMesh(MeshToObj(part, options), "t.obj", MeshFormat::kObj).mesh, part);
    ExpectSameMesh(ReadMesh(MeshToOff(part, options), "t.off", MeshFormat::kOff).mesh, part);
  }
}

TEST(RoundTrip, DoublesSurviveTextFormats) {
  Mesh m;
  m.addNode(0.1, 1.0 / 3.0, -2.5e-300);
  m.addNode(1e300, -0.0, 123456789.123456789);
  m.addNode(5e-324, 7, 8);
  m.addFace({0, 1, 2});
  MeshWriteOptions text;
  text.text = true;
  for (MeshFormat format : {MeshFormat::kObj, MeshFormat::kOff, MeshFormat::kPly}) {
    const std::string bytes = format == MeshFormat::kObj   ? MeshToObj(m, text)
                              : format == MeshFormat::kOff ? MeshToOff(m, text)
                                                           : MeshToPly(m, text);
    EXPECT_EQ(ReadMesh(bytes, "d", format).mesh.coords, m.coords);
  }
}

TEST(RoundTrip, LargeFacesUseWideListCounts) {
  Mesh m;
  std::vector<int32_t> ring;
  for (int i = 0; i < 300; ++i) {
    const double a = i * 2 * 3.141592653589793 / 300;
    ring.push_back(m.addNode(std::cos(a), std::sin(a), 0));
  }
  m.addFace(ring);
  for (bool text : {false, true}) {
    MeshWriteOptions options;
    options.text = text;
    ExpectSameMesh(ReadMesh(MeshToPly(m, options), "r.ply", MeshFormat::kPly).mesh, m);
  }
}

}  // namespace
}  // namespace vexmor::cli::test
