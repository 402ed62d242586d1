// What results must not depend on, through every entry point and flag: the caller's winding
// (the check turns each volume outwards first), where the part lies, its length unit (values
// follow it or stay in the normalised frame, as each function states), and what the output
// array held before the call.
#include <gtest/gtest.h>

#include <cmath>

#include "support/entry_points.h"
#include "support/meshes.h"

namespace vexmor::test {
namespace {

// A wedge with two free nodes inside it, so that the distance to the surface has something to
// measure besides the vertices.
TestMesh Part() {
  TestMesh m = Wedge(10, 4, 3, 8);
  m.AddNode(2, 1, 0.5);
  m.AddNode(7, 0.5, 1);
  return m;
}

Outputs Call(const EntryPoint& entry, const TestMesh& m, double fill = kCanary) {
  Outputs out(fill);
  testing::internal::CaptureStdout();
  EXPECT_EQ(entry.call(ArgsOf(m), out), VX_STATUS_OK) << entry.name;
  testing::internal::GetCapturedStdout();
  return out;
}

TEST(Results, DoNotDependOnTheCallersWinding) {
  const TestMesh part = Part();
  const TestMesh mixed = WithFaceTurned(WithFaceTurned(WithFaceTurned(part, 0), 5), 11);
  const std::pair<TestMesh, TestMesh> pairs[] = {{part, Rewound(part)}, {part, mixed}};
  for (const auto& [outwards, other] : pairs) {
    for (const EntryPoint& entry : EveryCall()) {
      const Outputs reference = Call(entry, outwards), values = Call(entry, other);
      EXPECT_EQ(values.doubles, reference.doubles) << entry.name;
      // Edge node pairs follow each face's own winding; their number must not.
      EXPECT_EQ(values.count, reference.count) << entry.name;
    }
  }
}

TEST(Results, FollowTheCallersUnitAndIgnoreWhereThePartLies) {
  const TestMesh part = Part();
  for (const EntryPoint& entry : EveryCall()) {
    const Outputs reference = Call(entry, part);
    for (const double k : {2.5, 1e-9, 1e9, 1.0}) {
      // k = 1: moved far from the origin instead of scaled.
      const TestMesh other = k == 1.0 ? Translated(part, 1e8, -1e8, 1e8) : Scaled(part, k);
      const Outputs values = Call(entry, other);
      for (size_t i = 0; i < values.doubles.size(); ++i) {
        if (reference.doubles[i] == kCanary) {  // not written
          ASSERT_EQ(values.doubles[i], kCanary) << entry.name << " value " << i;
          continue;
        }
        const double expected = reference.doubles[i] * std::pow(k, entry.lengthPower);
        ASSERT_NEAR(values.doubles[i], expected, entry.tolerance * std::fabs(expected) + 1e-12)
            << entry.name << " at " << k << ", value " << i;
      }
      EXPECT_EQ(values.ints, reference.ints) << entry.name;
    }
  }
}

TEST(Results, NeverDependOnWhatTheOutputArrayHeld) {
  const TestMesh part = Part();
  for (const EntryPoint& entry : EveryCall()) {
    const Outputs zeros = Call(entry, part, 0.0), nans = Call(entry, part, NAN);
    for (size_t i = 0; i < zeros.doubles.size(); ++i) {
      if (std::isnan(nans.doubles[i])) {
        EXPECT_EQ(zeros.doubles[i], 0.0) << entry.name << " value " << i;
      } else {
        EXPECT_EQ(zeros.doubles[i], nans.doubles[i]) << entry.name << " value " << i;
      }
    }
  }
}

}  // namespace
}  // namespace vexmor::test
