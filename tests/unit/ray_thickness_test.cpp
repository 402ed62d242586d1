// Ray-tracing thickness over whole meshes, in the normalised frame.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "mesh/smesh.h"
#include "support/mesh_fixtures.h"
#include "support/thickness_fixtures.h"
#include "thickness/face_frame.h"
#include "thickness/ray_thickness.h"

namespace vexmor::test {
namespace {

std::vector<double> Measure(const TestMesh& m, double fill = -7.0) {
  SMesh mesh(m.nbNodes(), m.szelem(), m.coords, m.elem);
  std::vector<double> values(static_cast<size_t>(mesh.nbFaces), fill);
  EXPECT_EQ(RayThickness(mesh, values), 0);
  return values;
}

TEST(RayThickness, CrossesABoxFromEveryFace) {
  // 10 x 10 x 1 normalises to 10000 x 10000 x 1000: each face reads the box's extent along
  // its normal, however near the rim it lies.
  const TestMesh plate = Box(10, 10, 1, 4);
  const std::vector<double> values = Measure(plate);
  const std::vector<FaceGeometry> faces = FacesOf(plate);
  for (size_t face = 0; face < faces.size(); ++face) {
    const double* n = faces[face].normal;
    const double expected = std::fabs(n[2]) > 0.5 ? 1000.0 : 10000.0;
    EXPECT_NEAR(values[face], expected, 1e-6) << "face " << face;
  }
}

TEST(RayThickness, FollowsTheNormalNotTheShortestWay) {
  // Under the sloping roof of a wedge the floor's ray rises vertically: it is longer than the
  // perpendicular distance to the roof.
  const double length = 10, w = 4, h = 2;
  const TestMesh wedge = Wedge(length, w, h, 5);
  const double scale = 10000 / length;
  SMesh mesh(wedge.nbNodes(), wedge.szelem(), wedge.coords, wedge.elem);
  std::vector<double> values(static_cast<size_t>(mesh.nbFaces));
  RayThickness(mesh, values);
  const std::vector<FaceGeometry> faces = FacesOf(wedge);
  int floorFaces = 0;
  for (size_t face = 0; face < faces.size(); ++face) {
    if (faces[face].normal[2] > -0.99) continue;
    ++floorFaces;
    FaceFrame frame;
    ASSERT_TRUE(LoadFaceFrame(mesh, static_cast<int32_t>(4 * face), 0, frame));
    const double y = frame.P[1] / scale;
    const double vertical = h * (1 - y / w);
    EXPECT_NEAR(values[face], vertical * scale, 1e-6) << "face " << face;
    const double perpendicular = vertical * w / std::sqrt(w * w + h * h);
    EXPECT_GT(values[face], perpendicular * scale * 1.1);
  }
  EXPECT_EQ(floorFaces, 10);
}

TEST(RayThickness, GivesZeroToAFaceWhoseRayLeavesThePart) {
  // One face of the top turned: its ray goes up and out.
  TestMesh plate = Box(10, 10, 1, 2);
  const std::vector<FaceGeometry> faces = FacesOf(plate);
  size_t turned = 0;
  while (faces[turned].normal[2] < 0.99)
    ++turned;
  std::swap(plate.elem[4 * turned + 2], plate.elem[4 * turned + 3]);
  const std::vector<double> values = Measure(plate);
  EXPECT_EQ(values[turned], 0.0);
  EXPECT_NEAR(values[turned + 1], 1000.0, 1e-6);
}

TEST(RayThickness, NeverReadsWhatTheOutputArrayHeld) {
  const TestMesh wedge = Wedge(10, 3, 2, 6);
  const std::vector<double> a = Measure(wedge, 0.0), b = Measure(wedge, std::nan(""));
  for (size_t i = 0; i < a.size(); ++i)
    EXPECT_EQ(a[i], b[i]) << "face " << i;
}

}  // namespace
}  // namespace vexmor::test
