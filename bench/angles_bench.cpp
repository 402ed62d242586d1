// The mesh check (edge list, seed probe, orientation) and the angle analyses, on closed tori of
// about 10k, 100k and 1M triangles. The check runs before every analysis but the distance to the
// surface, so its cost is part of every call. Counter: us_per_face (microseconds per triangle).
#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <vector>

#include "bench_meshes.h"
#include "mesh/smesh.h"
#include "topology/mesh_check.h"
#include "vexmor.h"

namespace vexmor::bench {
namespace {

// The torus surface alone (the benchmark tori also carry query nodes, which no face uses).
const BenchMesh& Surface(int triangles) {
  static std::map<int, std::unique_ptr<BenchMesh>> cache;
  auto& entry = cache[triangles];
  if (!entry) {
    entry = std::make_unique<BenchMesh>(Torus(triangles));
    entry->coords.resize(3 * static_cast<size_t>(entry->surfaceNodes));
  }
  return *entry;
}

void SetPerFace(benchmark::State& state, int32_t triangles) {
  state.counters["us_per_face"] = benchmark::Counter(
      1e-6 * triangles, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_CheckingSMesh(benchmark::State& state) {
  const BenchMesh& m = Surface(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    SMesh mesh(m.nbNodes(), m.szelem(), m.coords, m.elem);
    benchmark::DoNotOptimize(Checking_SMesh(mesh));
  }
  SetPerFace(state, m.triangles);
}
BENCHMARK(BM_CheckingSMesh)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_DraftAngle(benchmark::State& state) {
  const BenchMesh& m = Surface(static_cast<int>(state.range(0)));
  std::vector<double> values(static_cast<size_t>(m.triangles));
  const double pull[3] = {0, 0, 1};
  for (auto _ : state) {
    benchmark::DoNotOptimize(VX_Draft_Angle(m.nbNodes(), m.szelem(), m.elem.data(),
                                            m.coords.data(), values.data(), pull));
  }
  SetPerFace(state, m.triangles);
}
BENCHMARK(BM_DraftAngle)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_EdgeDihedralAngle(benchmark::State& state) {
  const BenchMesh& m = Surface(static_cast<int>(state.range(0)));
  std::vector<int32_t> nodes(3 * static_cast<size_t>(m.triangles));
  std::vector<double> angles(3 * static_cast<size_t>(m.triangles) / 2);
  uint32_t count = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(VX_Edge_Diedral_Angle(m.nbNodes(), m.szelem(), m.elem.data(),
                                                   m.coords.data(), &count, nodes.data(),
                                                   angles.data(), 1));
  }
  SetPerFace(state, m.triangles);
}
BENCHMARK(BM_EdgeDihedralAngle)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);

void BM_NodeDihedralAngle(benchmark::State& state) {
  const BenchMesh& m = Surface(static_cast<int>(state.range(0)));
  std::vector<double> angles(static_cast<size_t>(m.nbNodes()));
  for (auto _ : state) {
    benchmark::DoNotOptimize(VX_Diedral_Angle(m.nbNodes(), m.szelem(), m.elem.data(),
                                              m.coords.data(), angles.data(), 1));
  }
  SetPerFace(state, m.triangles);
}
BENCHMARK(BM_NodeDihedralAngle)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vexmor::bench
