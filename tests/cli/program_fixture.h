// The built program run as a person runs it, in a directory of the test's own: exit status,
// standard output and standard error apart, the files it writes read back.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

namespace vexmor::cli::test {

namespace fs = std::filesystem;
using nlohmann::json;
using Row = std::map<std::string, std::string>;

struct RunResult {
  int status = -1;
  std::string out, err;
  json parsed() const {
    try {
      return json::parse(out);
    } catch (const std::exception& e) {
      ADD_FAILURE() << "standard output is not JSON: " << e.what() << "\n" << out;
      return json::object();
    }
  }
  bool says(const std::string& text) const { return out.find(text) != std::string::npos; }
  bool complains(const std::string& text) const { return err.find(text) != std::string::npos; }
};

class Program : public ::testing::Test {
 protected:
  void SetUp() override {
    // The process number keeps two runs of the suite at once (two builds, two checkouts) apart.
    dir_ =
        fs::path(::testing::TempDir()) /
        ("vexmor_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) +
         "_" + std::to_string(getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string path(const std::string& name) const { return (dir_ / name).string(); }

  // Runs the program in the test's directory, with standard error kept apart; `shell` runs
  // first in the same shell (a limit, say).
  RunResult vexmor(const std::string& arguments, const std::string& shell = "") const {
    const std::string command = "cd '" + dir_.string() + "' && " + shell +
                                " '" VEXMOR_PROGRAM "' " + arguments + " 2>stderr.txt </dev/null";
    RunResult run;
    FILE* pipe = ::popen(command.c_str(), "r");
    char buffer[4096];
    for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
      run.out.append(buffer, got);
    const int status = ::pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.err = read("stderr.txt");
    return run;
  }
  // Runs the program and expects success; returns its --json summary.
  json summary(const std::string& arguments) const {
    const RunResult run = vexmor(arguments + " --json");
    EXPECT_EQ(run.status, 0) << arguments << "\n" << run.err;
    return run.parsed();
  }

  void write(const std::string& name, const std::string& content) const {
    std::ofstream(path(name), std::ios::binary) << content;
  }
  std::string read(const std::string& name) const {
    std::ifstream in(path(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  // The rows of a CSV written by -o, as named cells.
  std::vector<Row> csv(const std::string& name) const {
    std::istringstream in(read(name));
    std::string line, cell;
    std::getline(in, line);
    std::vector<std::string> header;
    for (std::stringstream h(line); std::getline(h, cell, ',');)
      header.push_back(cell);
    std::vector<Row> rows;
    while (std::getline(in, line)) {
      std::stringstream cells(line);
      Row& row = rows.emplace_back();
      for (const std::string& column : header) {
        std::getline(cells, cell, ',');
        row[column] = cell;
      }
    }
    return rows;
  }
  // The sample part as a PLY file, which keeps its quadrilaterals.
  std::string tray() const {
    EXPECT_EQ(vexmor("sample -o tray.ply").status, 0);
    return "tray.ply";
  }

  fs::path dir_;
};

inline double Number(const Row& row, const std::string& column) {
  return std::stod(row.at(column));
}

}  // namespace vexmor::cli::test
