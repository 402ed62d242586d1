// A result file is complete or absent: the program is run under a file-size limit far below
// what it writes (a full disk, as the writer sees it), and must then fail with the reason,
// leave no file of that name and no temporary file, and leave an existing file untouched.
#include <algorithm>

#include "program_fixture.h"

namespace vexmor::cli::test {
namespace {

// At most 2 blocks of 512 bytes per file; SIGXFSZ ignored, so that a write past the limit
// fails with EFBIG instead of killing the program.
constexpr const char* kFullDisk = "ulimit -f 2; trap '' XFSZ;";

class OutputFile : public Program {
 protected:
  // Every file left in the folder but the part and the captured standard error.
  std::vector<std::string> files() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(path("."))) {
      const std::string name = entry.path().filename().string();
      if (name != "part.stl" && name != "stderr.txt") names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
  }
};

TEST_F(OutputFile, IsWrittenWholeOrNotAtAll) {
  ASSERT_EQ(vexmor("sample -o part.stl").status, 0);
  // Values in each format, a picture, and the sample mesh itself: all far over the limit.
  for (const auto& [arguments, name] : std::vector<std::pair<std::string, std::string>>{
           {"draft part.stl -o draft.vtp", "draft.vtp"},
           {"draft part.stl -o draft.csv", "draft.csv"},
           {"draft part.stl -o draft.ply", "draft.ply"},
           {"draft part.stl --svg draft.svg", "draft.svg"},
           {"sample -o tray.stl", "tray.stl"}}) {
    const RunResult run = vexmor(arguments, kFullDisk);
    EXPECT_NE(run.status, 0) << arguments;
    EXPECT_TRUE(run.complains(name + ": cannot write: File too large")) << run.err;
    EXPECT_TRUE(files().empty()) << arguments << " left " << files().front();
  }
  // A failed write leaves the previous file as it was; a good one replaces it whole, keeping
  // who may read it, and leaves nothing else behind.
  write("draft.csv", "the previous results\n");
  fs::permissions(path("draft.csv"), fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_NE(vexmor("draft part.stl -o draft.csv", kFullDisk).status, 0);
  EXPECT_EQ(read("draft.csv"), "the previous results\n");
  EXPECT_EQ(files(), std::vector<std::string>{"draft.csv"});
  ASSERT_EQ(vexmor("draft part.stl -o draft.csv").status, 0);
  const std::string csv = read("draft.csv");
  EXPECT_EQ(csv.rfind("kind,", 0), 0u);
  EXPECT_EQ(csv.back(), '\n');
  EXPECT_EQ(files(), std::vector<std::string>{"draft.csv"});
  EXPECT_EQ(fs::status(path("draft.csv")).permissions(),
            fs::perms::owner_read | fs::perms::owner_write);
}

}  // namespace
}  // namespace vexmor::cli::test
