// The program on an open part asked to mend it: what it says it changed, the results on the
// file's own faces, and the fill faces written apart.
#include <gtest/gtest.h>

#include "program_fixture.h"

namespace vexmor::cli::test {
namespace {

TEST_F(Program, RepairFillsTheMissingTopOfACubeAndReportsOnTheFilesFacesAlone) {
  // A unit cube without its top: five quadrilaterals around a hole of four edges.
  write("open.obj",
        "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 0 0 1\nv 1 0 1\nv 1 1 1\nv 0 1 1\n"
        "f 1 4 3 2\nf 1 2 6 5\nf 2 3 7 6\nf 3 4 8 7\nf 4 1 5 8\n");
  RunResult run = vexmor("analyze open.obj --repair -o out.csv");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(
      run.says("repair: merged 0 nodes, dropped 0 duplicate and 0 zero-area faces, "
               "filled 1 hole with 2 faces\n"))
      << run.out;
  EXPECT_TRUE(run.says("measured   5 faces")) << run.out;
  std::vector<Row> faces;
  for (const Row& row : csv("out.csv")) {
    if (row.at("kind") == "face") faces.push_back(row);
  }
  ASSERT_EQ(faces.size(), 7u);
  for (size_t f = 0; f < faces.size(); ++f) {
    const bool fill = f >= 5;
    EXPECT_EQ(Number(faces[f], "repair_fill"), fill ? 1 : 0);
    for (const char* column : {"thickness_ray", "thickness_gradient", "draft_deg"})
      EXPECT_EQ(faces[f].at(column).empty(), fill) << column;
    if (!fill) {
      EXPECT_DOUBLE_EQ(Number(faces[f], "thickness_ray"), 1);
    }
  }

  const json summary = vexmor("draft open.obj --repair --max-hole-edges 3 --json").parsed();
  EXPECT_EQ(summary["exit_code"], 3);
  EXPECT_EQ(summary["repair"]["holes_too_long"], 1);
  run = vexmor("draft open.obj --max-hole-edges 3");
  EXPECT_EQ(run.status, 2);
  EXPECT_TRUE(run.complains("--merge-tolerance and --max-hole-edges go with --repair")) << run.err;
}

}  // namespace
}  // namespace vexmor::cli::test
