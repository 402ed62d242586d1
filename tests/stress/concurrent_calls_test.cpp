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

#include "support/entry_points.h"
#include "support/meshes.h"

namespace vexmor::test {
namespace {

constexpr int kThreads = 8;
constexpr int kRounds = 50;
constexpr int kEntryPoints = 8;

// Everything one call gives back: its status and every output array, compared as bytes.
struct CallResult {
  int32_t status = -1;
  Outputs out;
  bool operator==(const CallResult& o) const {
    return status == o.status && out.count == o.out.count && out.ints == o.out.ints &&
           std::memcmp(out.doubles.data(), o.out.doubles.data(),
                       out.doubles.size() * sizeof(double)) == 0;
  }
};

// Calls entry point `f` (the flag: signed angles, outside) on the mesh.
CallResult Call(const TestMesh& m, int f, uint8_t flag) {
  CallResult r;
  r.status = AllEntryPoints(flag, flag)[static_cast<size_t>(f)].call(ArgsOf(m), r.out);
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
  std::vector<std::array<std::array<CallResult, kEntryPoints>, 2>> serial(meshes.size());
  for (size_t m = 0; m < meshes.size(); ++m) {
    for (uint8_t flag = 0; flag < 2; ++flag) {
      for (int f = 0; f < kEntryPoints; ++f)
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
        for (int k = 0; k < kEntryPoints; ++k) {
          const int f = (k + t) % kEntryPoints;  // threads start on different functions
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
    for (int f = 0; f < kEntryPoints; ++f)
      EXPECT_EQ(serial[m][0][f].status, VX_STATUS_OK) << "mesh " << m << " function " << f;
  }
}

}  // namespace
}  // namespace vexmor::test
