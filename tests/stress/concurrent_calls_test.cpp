// The eight functions called from eight threads at once, fifty rounds each: every result must
// equal, bit for bit, the one that a single thread got. Pairs of threads pass the very same
// input arrays, and the four pairs work on four different meshes. Threads only record what
// they got; the comparison happens on the main thread, so the test itself shares nothing that
// a race detector would have to excuse.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "support/meshes.h"
#include "vexmor.h"

namespace vexmor::test {
namespace {

constexpr int kThreads = 8;
constexpr int kRounds = 50;
constexpr int kFunctions = 8;

// Everything one call gives back: its status and every output array, as bytes.
struct CallResult {
  int32_t status = -1;
  std::vector<double> values;
  std::vector<int32_t> nodes;
  uint32_t count = 0;
  bool operator==(const CallResult& o) const {
    return status == o.status && count == o.count && nodes == o.nodes &&
           values.size() == o.values.size() &&
           std::memcmp(values.data(), o.values.data(), values.size() * sizeof(double)) == 0;
  }
};

// Calls function `f` on the mesh with the flag (signed angles, outside) set or not.
CallResult Call(const TestMesh& m, int f, uint8_t flag) {
  const size_t faces = static_cast<size_t>(m.nbFaces());
  const size_t edges = static_cast<size_t>(m.szelem()) * 3 / 8;
  CallResult r;
  r.values.assign(std::max<size_t>({faces, edges, static_cast<size_t>(m.nbNodes())}), 0.0);
  const int32_t n = m.nbNodes(), sz = m.szelem();
  const int32_t* elem = m.elem.data();
  const double* xyz = m.coords.data();
  static const double kPull[3] = {0.3, -0.2, 0.9};
  switch (f) {
    case 0:
      r.status = VX_Diedral_Angle(n, sz, elem, xyz, r.values.data(), flag);
      break;
    case 1:
      r.status = VX_Draft_Angle(n, sz, elem, xyz, r.values.data(), kPull);
      break;
    case 2:
      r.nodes.assign(2 * edges, 0);
      r.status =
          VX_Edge_Diedral_Angle(n, sz, elem, xyz, &r.count, r.nodes.data(), r.values.data(), flag);
      break;
    case 3:
      r.status = VX_Thickness_Computation_DN2S(n, sz, elem, xyz, r.values.data(), flag);
      break;
    case 4:
      r.status = VX_Thickness_Computation_LSCP(n, sz, elem, xyz, r.values.data(), flag);
      break;
    case 5:
      r.status = VX_Thickness_Computation_LSR(n, sz, elem, xyz, r.values.data(), flag);
      break;
    case 6: {
      std::vector<double> thickness(faces);
      for (size_t i = 0; i < faces; ++i)
        thickness[i] = 1.0 + static_cast<double>(i % 7);
      r.status = VX_Thickness_Gradient(n, sz, elem, xyz, thickness.data(), r.values.data());
      break;
    }
    default:
      r.status = VX_Thickness_RayTracing(n, sz, elem, xyz, r.values.data(), flag);
      break;
  }
  return r;
}

// Four meshes: triangles of several shapes, one of them two bodies, and one of quadrilaterals
// (which the angle functions and the sphere radius refuse, as they must every time).
std::vector<TestMesh> Meshes() {
  TestMesh twoBodies = Box(2, 1, 1, 2);
  twoBodies.Append(Box(1, 1, 0.5, 1, false, 0.5, 0.25, 0.25));
  return {Torus(8, 5), twoBodies, Wedge(3, 1, 1, 3), Box(2, 1, 0.5, 2, true)};
}

TEST(ConcurrentCalls, EveryThreadGetsTheSerialResultsOnSharedAndSeparateMeshes) {
  const std::vector<TestMesh> meshes = Meshes();
  // serial[mesh][flag][function]
  std::vector<std::array<std::array<CallResult, kFunctions>, 2>> serial(meshes.size());
  for (size_t m = 0; m < meshes.size(); ++m) {
    for (uint8_t flag = 0; flag < 2; ++flag) {
      for (int f = 0; f < kFunctions; ++f)
        serial[m][flag][f] = Call(meshes[m], f, flag);
    }
  }
  // Each thread keeps its rounds' results; the first mismatch per thread is enough to report.
  std::vector<std::vector<std::string>> mismatches(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      const size_t m = static_cast<size_t>(t) % meshes.size();
      for (int round = 0; round < kRounds; ++round) {
        const uint8_t flag = static_cast<uint8_t>((round + t) % 2);
        for (int k = 0; k < kFunctions; ++k) {
          const int f = (k + t) % kFunctions;  // threads start on different functions
          if (!(Call(meshes[m], f, flag) == serial[m][flag][f])) {
            mismatches[t].push_back("mesh " + std::to_string(m) + " function " + std::to_string(f) +
                                    " flag " + std::to_string(flag) + " round " +
                                    std::to_string(round));
          }
        }
      }
    });
  }
  for (std::thread& thread : threads)
    thread.join();
  for (int t = 0; t < kThreads; ++t) {
    EXPECT_TRUE(mismatches[t].empty()) << "thread " << t << ": " << mismatches[t].front();
  }
  // The meshes were analysed, not all refused: the triangle meshes give status 0 everywhere.
  for (size_t m = 0; m + 1 < meshes.size(); ++m) {
    for (int f = 0; f < kFunctions; ++f)
      EXPECT_EQ(serial[m][0][f].status, VX_STATUS_OK) << "mesh " << m << " function " << f;
  }
}

}  // namespace
}  // namespace vexmor::test
