// The shared library exports exactly the eight entry points, under their plain names.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>

namespace {

const std::set<std::string> kExports = {"VX_Diedral_Angle",
                                        "VX_Draft_Angle",
                                        "VX_Edge_Diedral_Angle",
                                        "VX_Thickness_Computation_DN2S",
                                        "VX_Thickness_Computation_LSCP",
                                        "VX_Thickness_Computation_LSR",
                                        "VX_Thickness_Gradient",
                                        "VX_Thickness_RayTracing"};

// Reads the defined dynamic symbols with nm: nothing but the eight functions may appear.
TEST(SharedLibrary, ExportsTheEightEntryPointsAndNothingElse) {
  const std::string command = std::string("nm -D --defined-only ") + VEXMOR_LIBRARY_PATH;
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::set<std::string> names;
  char line[4096];
  while (std::fgets(line, sizeof line, pipe)) {
    std::string s(line);
    s.erase(std::remove(s.begin(), s.end(), '\n'), s.end());
    const auto space = s.rfind(' ');
    names.insert(s.substr(space + 1));
  }
  ASSERT_EQ(pclose(pipe), 0) << "nm failed";
  EXPECT_EQ(names, kExports);
}

}  // namespace
