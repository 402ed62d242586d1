// The library only reads the caller's input arrays: after any call, on any mesh, they hold
// exactly what they held before.
#include <gtest/gtest.h>

#include "support/entry_points.h"
#include "support/mesh_fixtures.h"

namespace vexmor::test {
namespace {

TEST(CallerArrays, InputsAreUnchangedAfterEveryCall) {
  // Wound inwards and shifted, so that any in-place orientation or normalisation would show.
  const std::vector<TestMesh> meshes = {Rewound(Translated(Scaled(Box(3, 2, 1, 2), 7.0), 1, 2, 3)),
                                        Box(2, 2, 2, 2, true), Tetrahedron(0.01)};
  for (const TestMesh& mesh : meshes) {
    for (const EntryPoint& entry : AllEntryPoints()) {
      SCOPED_TRACE(entry.name);
      const TestMesh before = mesh;
      Outputs out;
      entry.call({mesh.nbNodes(), mesh.szelem(), mesh.elem.data(), mesh.coords.data()}, out);
      EXPECT_EQ(mesh.coords, before.coords);
      EXPECT_EQ(mesh.elem, before.elem);
    }
  }
}

}  // namespace
}  // namespace vexmor::test
