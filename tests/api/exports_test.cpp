// The shared library exports exactly the eight entry points, under their plain names.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>

#include "support/meshes.h"
#include "vexmor.h"

namespace {

const std::set<std::string> kExports = {"VX_Diedral_Angle",
                                        "VX_Draft_Angle",
                                        "VX_Edge_Diedral_Angle",
                                        "VX_Thickness_Computation_DN2S",
                                        "VX_Thickness_Computation_LSCP",
                                        "VX_Thickness_Computation_LSR",
                                        "VX_Thickness_Gradient",
                                        "VX_Thickness_RayTracing"};

TEST(SharedLibrary, LoadsAndResolvesAllEightEntryPoints) {
  void* lib = dlopen(VEXMOR_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(lib, nullptr) << dlerror();
  for (const std::string& name : kExports) {
    EXPECT_NE(dlsym(lib, name.c_str()), nullptr) << name;
  }
  // A call through the resolved pointer works like a direct call.
  using DraftFn =
      int32_t (*)(int32_t, int32_t, const int32_t*, const double*, double*, const double*);
  auto draft = reinterpret_cast<DraftFn>(dlsym(lib, "VX_Draft_Angle"));
  ASSERT_NE(draft, nullptr);
  const auto tet = vexmor::test::Tetrahedron();
  std::vector<double> values(4);
  const double pull[3] = {0, 0, 1};
  EXPECT_EQ(
      draft(tet.nbNodes(), tet.szelem(), tet.elem.data(), tet.coords.data(), values.data(), pull),
      VX_STATUS_OK);
  EXPECT_NEAR(values[0], -1.0, 1e-12);
  EXPECT_EQ(dlsym(lib, "Checking_SMesh"), nullptr);
  dlclose(lib);
}

// Reads the defined dynamic symbols with nm: nothing but the eight functions may appear.
TEST(SharedLibrary, ExportsNothingElse) {
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
