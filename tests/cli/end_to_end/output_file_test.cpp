// A result file is complete or absent: the program is run with a file-size limit far below
// what it writes (a full disk, as the writer sees it), and must then fail with the reason,
// leave no file of that name and no temporary file, and leave an existing file untouched.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace vexmor::cli::test {
namespace {

namespace fs = std::filesystem;

struct RunResult {
  int status = -1;
  std::string err;
};

class CliOutputFile : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::path(::testing::TempDir()) / (std::string("vexmor_output_") + info->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    // The part every run analyses: the sample tray, written before any limit applies.
    ASSERT_EQ(vexmor("sample -o part.stl").status, 0);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Runs the program in the test's folder from a child process that may write no file larger
  // than `limit` bytes, with SIGXFSZ ignored so that a write past the limit fails with EFBIG
  // instead of killing the program.
  RunResult vexmor(const std::string& arguments, rlim_t limit = RLIM_INFINITY) const {
    const std::string errFile = (dir_ / "stderr.txt").string();
    const std::string command = "cd '" + dir_.string() + "' && exec '" VEXMOR_PROGRAM "' " +
                                arguments + " >/dev/null 2>'" + errFile + "' </dev/null";
    const pid_t child = ::fork();
    if (child == 0) {
      ::signal(SIGXFSZ, SIG_IGN);
      const rlimit size{limit, limit};
      ::setrlimit(RLIMIT_FSIZE, &size);
      ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    RunResult run;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream err(errFile);
    run.err.assign(std::istreambuf_iterator<char>(err), {});
    fs::remove(errFile);
    return run;
  }

  std::string read(const std::string& name) const {
    std::ifstream in(dir_ / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  // Every file left in the folder but the part, temporary ones included.
  std::vector<std::string> files() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_))
      if (entry.path().filename() != "part.stl") names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path dir_;
};

TEST_F(CliOutputFile, AWriteThatFailsLeavesNoFileAndSaysWhy) {
  // Every result file of the sample part takes far more than 1000 bytes: values in each
  // format, a picture, and the sample mesh itself.
  for (const auto& [arguments, name] : std::vector<std::pair<std::string, std::string>>{
           {"draft part.stl -o draft.vtp", "draft.vtp"},
           {"draft part.stl -o draft.csv", "draft.csv"},
           {"draft part.stl -o draft.ply", "draft.ply"},
           {"draft part.stl --svg draft.svg", "draft.svg"},
           {"sample -o tray.stl", "tray.stl"}}) {
    const RunResult run = vexmor(arguments, 1000);
    EXPECT_NE(run.status, 0) << arguments;
    EXPECT_NE(run.err.find(name + ": cannot write: File too large"), std::string::npos) << run.err;
    EXPECT_TRUE(files().empty()) << arguments << " left " << files().front();
  }
}

TEST_F(CliOutputFile, AWriteThatFailsLeavesAnExistingFileUntouched) {
  std::ofstream(dir_ / "draft.csv") << "the previous results\n";
  const RunResult run = vexmor("draft part.stl -o draft.csv", 1000);
  EXPECT_NE(run.status, 0);
  EXPECT_EQ(read("draft.csv"), "the previous results\n");
  EXPECT_EQ(files(), std::vector<std::string>{"draft.csv"});
}

TEST_F(CliOutputFile, AWriteThatSucceedsReplacesTheFileWholeAndLeavesNothingElse) {
  std::ofstream(dir_ / "draft.csv") << "the previous results\n";
  fs::permissions(dir_ / "draft.csv", fs::perms::owner_read | fs::perms::owner_write);
  const RunResult run = vexmor("draft part.stl -o draft.csv");
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string csv = read("draft.csv");
  EXPECT_EQ(csv.rfind("kind,", 0), 0u);
  EXPECT_EQ(csv.back(), '\n');
  EXPECT_EQ(files(), std::vector<std::string>{"draft.csv"});
  // The replaced file keeps who may read it.
  EXPECT_EQ(fs::status(dir_ / "draft.csv").permissions(),
            fs::perms::owner_read | fs::perms::owner_write);
}

}  // namespace
}  // namespace vexmor::cli::test
