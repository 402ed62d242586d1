// The eight exported functions behind one calling shape, with output arrays that start filled
// with a canary value so that tests can tell whether a call wrote them.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "vexmor.h"

namespace vexmor::test {

// Mesh arguments as a caller passes them; sizes may lie about the arrays on purpose.
struct MeshArgs {
  int32_t nbNodes = 0;
  int32_t szelem = 0;
  const int32_t* connectivity = nullptr;
  const double* coordinates = nullptr;
};

inline constexpr double kCanary = -12345.678;

// Output storage for one call, large enough for any mesh used in the tests.
struct Outputs {
  explicit Outputs(size_t size = 4096)
      : doubles(size, kCanary), doubles2(size, kCanary), ints(2 * size, -777), count(0xDEADu) {}
  std::vector<double> doubles;
  std::vector<double> doubles2;
  std::vector<int32_t> ints;
  uint32_t count;
  bool IsUntouched() const {
    for (double v : doubles)
      if (v != kCanary) return false;
    for (double v : doubles2)
      if (v != kCanary) return false;
    for (int32_t v : ints)
      if (v != -777) return false;
    return count == 0xDEADu;
  }
};

struct EntryPoint {
  std::string name;
  std::function<int32_t(const MeshArgs&, Outputs&)> call;
};

// Every exported function, called with fixed trailing arguments: direction (0, 0, 1), unsigned
// angles, outside 0, a gradient input of all ones.
inline std::vector<EntryPoint> AllEntryPoints() {
  static const double pull[3] = {0, 0, 1};
  return {
      {"VX_Diedral_Angle",
       [](const MeshArgs& m, Outputs& o) {
         return VX_Diedral_Angle(m.nbNodes, m.szelem, m.connectivity, m.coordinates,
                                 o.doubles.data(), 0);
       }},
      {"VX_Draft_Angle",
       [](const MeshArgs& m, Outputs& o) {
         return VX_Draft_Angle(m.nbNodes, m.szelem, m.connectivity, m.coordinates, o.doubles.data(),
                               pull);
       }},
      {"VX_Edge_Diedral_Angle",
       [](const MeshArgs& m, Outputs& o) {
         return VX_Edge_Diedral_Angle(m.nbNodes, m.szelem, m.connectivity, m.coordinates, &o.count,
                                      o.ints.data(), o.doubles.data(), 0);
       }},
      {"VX_Thickness_Computation_DN2S",
       [](const MeshArgs& m, Outputs& o) {
         return VX_Thickness_Computation_DN2S(m.nbNodes, m.szelem, m.connectivity, m.coordinates,
                                              o.doubles.data(), 0);
       }},
      {"VX_Thickness_Computation_LSCP",
       [](const MeshArgs& m, Outputs& o) {
         return VX_Thickness_Computation_LSCP(m.nbNodes, m.szelem, m.connectivity, m.coordinates,
                                              o.doubles.data(), 0);
       }},
      {"VX_Thickness_Computation_LSR",
       [](const MeshArgs& m, Outputs& o) {
         return VX_Thickness_Computation_LSR(m.nbNodes, m.szelem, m.connectivity, m.coordinates,
                                             o.doubles.data(), 0);
       }},
      {"VX_Thickness_Gradient",
       [](const MeshArgs& m, Outputs& o) {
         static const std::vector<double> ones(4096, 1.0);
         return VX_Thickness_Gradient(m.nbNodes, m.szelem, m.connectivity, m.coordinates,
                                      ones.data(), o.doubles.data());
       }},
      {"VX_Thickness_RayTracing",
       [](const MeshArgs& m, Outputs& o) {
         return VX_Thickness_RayTracing(m.nbNodes, m.szelem, m.connectivity, m.coordinates,
                                        o.doubles.data(), 0);
       }},
  };
}

}  // namespace vexmor::test
