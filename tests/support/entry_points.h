// The eight exported functions behind one calling shape, with output arrays that start filled
// with a canary value so that tests can tell whether a call wrote them.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "support/meshes.h"
#include "vexmor.h"

namespace vexmor::test {

// Mesh arguments as a caller passes them; sizes may lie about the arrays on purpose.
struct MeshArgs {
  int32_t nbNodes = 0;
  int32_t szelem = 0;
  const int32_t* connectivity = nullptr;
  const double* coordinates = nullptr;
};

inline MeshArgs ArgsOf(const TestMesh& m) {
  return {m.nbNodes(), m.szelem(), m.elem.data(), m.coords.data()};
}

inline constexpr double kCanary = -12345.678;

// Output storage for one call, large enough for any mesh used in the tests.
struct Outputs {
  explicit Outputs(double fill = kCanary, size_t size = 4096)
      : doubles(size, fill), ints(2 * size, -777), count(0xDEADu) {}
  std::vector<double> doubles;
  std::vector<int32_t> ints;
  uint32_t count;
  bool IsUntouched() const {
    for (double v : doubles)
      if (v != kCanary) return false;
    for (int32_t v : ints)
      if (v != -777) return false;
    return count == 0xDEADu;
  }
};

struct EntryPoint {
  std::string name;
  std::function<int32_t(const MeshArgs&, Outputs&)> call;
  int lengthPower = 0;     // values scale with the caller's length unit to this power
  double tolerance = 0.0;  // relative, between a part and the same part scaled or moved
  bool acceptsQuads = false;
  bool checksTheMesh = true;
};

// Every exported function, with direction (0.3, -0.2, 0.9), a gradient input of 1 + i % 7 for
// face i, and the given outside flag and angle mode.
inline std::vector<EntryPoint> AllEntryPoints(uint8_t outside = 0, uint32_t angleMode = 0) {
  static const double pull[3] = {0.3, -0.2, 0.9};
  static const std::vector<double> thickness = [] {
    std::vector<double> t(4096);
    for (size_t i = 0; i < t.size(); ++i)
      t[i] = 1.0 + static_cast<double>(i % 7);
    return t;
  }();
  const std::string flags = (outside ? " outside" : "") + std::string(angleMode ? " signed" : "");
  return {
      {"VX_Diedral_Angle" + flags,
       [=](const MeshArgs& m, Outputs& o) {
         return VX_Diedral_Angle(m.nbNodes, m.szelem, m.connectivity, m.coordinates,
                                 o.doubles.data(), angleMode);
       },
       0, 1e-9},
      {"VX_Draft_Angle",
       [](const MeshArgs& m, Outputs& o) {
         return VX_Draft_Angle(m.nbNodes, m.szelem, m.connectivity, m.coordinates, o.doubles.data(),
                               pull);
       },
       0, 1e-12},
      {"VX_Edge_Diedral_Angle" + flags,
       [=](const MeshArgs& m, Outputs& o) {
         return VX_Edge_Diedral_Angle(m.nbNodes, m.szelem, m.connectivity, m.coordinates, &o.count,
                                      o.ints.data(), o.doubles.data(), angleMode);
       },
       0, 1e-9},
      {"VX_Thickness_Computation_DN2S",
       [](const MeshArgs& m, Outputs& o) {
         return VX_Thickness_Computation_DN2S(m.nbNodes, m.szelem, m.connectivity, m.coordinates,
                                              o.doubles.data(), 0);
       },
       0, 1e-9, true, false},
      // Refinement stops within 0.1 %, so rounding may move a sphere by about that much.
      {"VX_Thickness_Computation_LSCP" + flags,
       [=](const MeshArgs& m, Outputs& o) {
         return VX_Thickness_Computation_LSCP(m.nbNodes, m.szelem, m.connectivity, m.coordinates,
                                              o.doubles.data(), outside);
       },
       1, 2e-3, true},
      // The radius reads the flag only to mark spheres on the last twelve faces.
      {"VX_Thickness_Computation_LSR",
       [=](const MeshArgs& m, Outputs& o) {
         return VX_Thickness_Computation_LSR(m.nbNodes, m.szelem, m.connectivity, m.coordinates,
                                             o.doubles.data(), outside);
       },
       0, 2e-3},
      {"VX_Thickness_Gradient",
       [](const MeshArgs& m, Outputs& o) {
         return VX_Thickness_Gradient(m.nbNodes, m.szelem, m.connectivity, m.coordinates,
                                      thickness.data(), o.doubles.data());
       },
       0, 1e-12, true},
      {"VX_Thickness_RayTracing" + flags,
       [=](const MeshArgs& m, Outputs& o) {
         return VX_Thickness_RayTracing(m.nbNodes, m.szelem, m.connectivity, m.coordinates,
                                        o.doubles.data(), outside);
       },
       1, 1e-9, true},
  };
}

// Every function once, and those whose flag changes the path once more with it set.
inline std::vector<EntryPoint> EveryCall() {
  std::vector<EntryPoint> calls = AllEntryPoints(0, 0);
  for (const EntryPoint& e : AllEntryPoints(1, 1))
    if (e.name.find(' ') != std::string::npos) calls.push_back(e);
  return calls;
}

}  // namespace vexmor::test
