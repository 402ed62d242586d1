// The thickness analyses through their exported functions, on closed meshes of about 10k, 100k
// and 1M triangles: a torus (a chunky tube: every sphere and ray crosses it) and a thin plate
// 10 x 10 x 1 (walls much wider than thick, the usual moulded part). Each call builds, checks
// and analyses its own copy of the mesh, as a host application's call does; the *Analysis
// benchmarks time the analysis alone on a mesh already built and checked.
// Counter: us_per_face (microseconds per triangle).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <memory>
#include <vector>

#include "bench_meshes.h"
#include "mesh/smesh.h"
#include "thickness/ray_thickness.h"
#include "thickness/sphere_thickness.h"
#include "thickness/thickness_gradient.h"
#include "topology/mesh_check.h"
#include "vexmor.h"

namespace vexmor::bench {
namespace {

// A closed surface mesh without free nodes.
struct Surface {
  std::vector<double> coords;
  std::vector<int32_t> elem;
  int32_t triangles = 0;
  int32_t nbNodes() const { return static_cast<int32_t>(coords.size() / 3); }
  int32_t szelem() const { return static_cast<int32_t>(elem.size()); }
};

enum class Shape { kTorus, kPlate };

// The plate 10 x 10 x 1 as a grid of square cells of side h on every side, each cell two
// outward triangles, h chosen for about `triangles` triangles.
Surface Plate(int triangles) {
  const double size[3] = {10, 10, 1};
  // 2 large walls of (10 / h)^2 cells and 4 narrow ones of (10 / h) (1 / h) cells.
  const int n = std::max(2, static_cast<int>(std::lround(std::sqrt(triangles / 4.8))));
  const int cells[3] = {n, n, std::max(1, n / 10)};
  Surface s;
  std::map<std::array<int, 3>, int32_t> ids;
  auto node = [&](int i, int j, int k) {
    const std::array<int, 3> key = {i, j, k};
    auto it = ids.find(key);
    if (it != ids.end()) return it->second;
    const int32_t id = static_cast<int32_t>(s.coords.size() / 3);
    s.coords.insert(s.coords.end(),
                    {size[0] * i / cells[0], size[1] * j / cells[1], size[2] * k / cells[2]});
    ids.emplace(key, id);
    return id;
  };
  // Each side: its fixed axis and end, and two in-plane axes with u x v outwards.
  struct Side {
    int axis, u, v;
    bool far;
  };
  const Side sides[6] = {{0, 1, 2, true},  {0, 2, 1, false}, {1, 2, 0, true},
                         {1, 0, 2, false}, {2, 0, 1, true},  {2, 1, 0, false}};
  for (const Side& side : sides) {
    auto at = [&](int a, int b) {
      int p[3];
      p[side.axis] = side.far ? cells[side.axis] : 0;
      p[side.u] = a;
      p[side.v] = b;
      return node(p[0], p[1], p[2]);
    };
    for (int a = 0; a < cells[side.u]; ++a) {
      for (int b = 0; b < cells[side.v]; ++b) {
        const int32_t p = at(a, b), q = at(a + 1, b), r = at(a + 1, b + 1), t = at(a, b + 1);
        s.elem.insert(s.elem.end(), {3, p, q, r, 3, p, r, t});
        s.triangles += 2;
      }
    }
  }
  return s;
}

Surface TorusSurface(int triangles) {
  const BenchMesh m = Torus(triangles);
  Surface s;
  s.coords.assign(m.coords.begin(), m.coords.begin() + 3 * static_cast<size_t>(m.surfaceNodes));
  s.elem = m.elem;
  s.triangles = m.triangles;
  return s;
}

const Surface& MeshOf(Shape shape, int triangles) {
  static std::map<std::pair<Shape, int>, Surface> meshes;
  const auto key = std::make_pair(shape, triangles);
  auto it = meshes.find(key);
  if (it == meshes.end()) {
    it = meshes.emplace(key, shape == Shape::kTorus ? TorusSurface(triangles) : Plate(triangles))
             .first;
  }
  return it->second;
}

benchmark::Counter MicrosecondsPer(double itemsPerIteration) {
  return benchmark::Counter(
      itemsPerIteration * 1e-6,
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

using Thickness = int32_t (*)(int32_t, int32_t, const int32_t*, const double*, double*, uint8_t);

void RunEntryPoint(benchmark::State& state, Thickness call) {
  const Surface& m = MeshOf(static_cast<Shape>(state.range(0)), static_cast<int>(state.range(1)));
  std::vector<double> out(static_cast<size_t>(m.triangles));
  for (auto _ : state) {
    const int32_t status = call(m.nbNodes(), m.szelem(), m.elem.data(), m.coords.data(), out.data(),
                                static_cast<uint8_t>(state.range(2)));
    if (status != VX_STATUS_OK) state.SkipWithError("the call failed");
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["faces"] = m.triangles;
  state.counters["us_per_face"] = MicrosecondsPer(m.triangles);
}

void BM_LSCP(benchmark::State& state) {
  RunEntryPoint(state, VX_Thickness_Computation_LSCP);
}

void BM_RayTracing(benchmark::State& state) {
  RunEntryPoint(state, VX_Thickness_RayTracing);
}

void BM_Gradient(benchmark::State& state) {
  const Surface& m = MeshOf(static_cast<Shape>(state.range(0)), static_cast<int>(state.range(1)));
  std::vector<double> thickness(static_cast<size_t>(m.triangles)), out(thickness.size());
  for (size_t i = 0; i < thickness.size(); ++i)
    thickness[i] = 1.0 + static_cast<double>(i % 7);
  for (auto _ : state) {
    const int32_t status = VX_Thickness_Gradient(m.nbNodes(), m.szelem(), m.elem.data(),
                                                 m.coords.data(), thickness.data(), out.data());
    if (status != VX_STATUS_OK) state.SkipWithError("the call failed");
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["faces"] = m.triangles;
  state.counters["us_per_face"] = MicrosecondsPer(m.triangles);
}

// The analyses alone, on a mesh built and checked once (the ADT and edge list that the check
// built are kept, as within one call).
enum class Analysis { kContactDistance, kRay, kGradient };

void BM_Analysis(benchmark::State& state) {
  const Surface& m = MeshOf(static_cast<Shape>(state.range(0)), static_cast<int>(state.range(1)));
  const auto analysis = static_cast<Analysis>(state.range(2));
  SMesh mesh(0, m.nbNodes(), m.szelem(), m.coords, m.elem, 1);
  if (Checking_SMesh(mesh) != 0) state.SkipWithError("mesh refused");
  std::vector<double> thickness(static_cast<size_t>(mesh.nbFaces), 2.0), out(thickness.size());
  for (auto _ : state) {
    switch (analysis) {
      case Analysis::kContactDistance:
        SphereThickness(mesh, out, kSphereContactDistance);
        break;
      case Analysis::kRay:
        RayThickness(mesh, out);
        break;
      case Analysis::kGradient:
        FThickGrad(mesh, thickness, out);
        break;
    }
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["faces"] = m.triangles;
  state.counters["us_per_face"] = MicrosecondsPer(m.triangles);
}

// The rolling sphere inside a solid tube is nearly equidistant from a whole ring of faces, all
// of which every sphere step must measure: on the torus its cost grows with the number of faces
// around the tube, some 10 minutes for 1M triangles, so that size is left out.
constexpr int kLargestTorusForSpheres = 100000;

void Sizes(benchmark::internal::Benchmark* b, bool outsideToo, bool spheres) {
  for (int shape : {0, 1}) {
    for (int triangles : {10000, 100000, 1000000}) {
      if (spheres && shape == 0 && triangles > kLargestTorusForSpheres) continue;
      b->Args({shape, triangles, 0});
      if (outsideToo && triangles <= 100000) b->Args({shape, triangles, 1});
    }
  }
  b->ArgNames({"torus0_plate1", "triangles", "outside"})->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_LSCP)->Apply([](benchmark::internal::Benchmark* b) { Sizes(b, true, true); });
BENCHMARK(BM_RayTracing)->Apply([](benchmark::internal::Benchmark* b) { Sizes(b, true, false); });
BENCHMARK(BM_Gradient)->Apply([](benchmark::internal::Benchmark* b) {
  for (int shape : {0, 1}) {
    for (int triangles : {10000, 100000, 1000000})
      b->Args({shape, triangles});
  }
  b->ArgNames({"torus0_plate1", "triangles"})->Unit(benchmark::kMillisecond);
});
BENCHMARK(BM_Analysis)->Apply([](benchmark::internal::Benchmark* b) {
  for (int analysis : {0, 1, 2}) {
    for (int shape : {0, 1}) {
      for (int triangles : {10000, 100000, 1000000}) {
        if (analysis == 0 && shape == 0 && triangles > kLargestTorusForSpheres) continue;
        b->Args({shape, triangles, analysis});
      }
    }
  }
  b->ArgNames({"torus0_plate1", "triangles", "lscp0_ray1_gradient2"})
      ->Unit(benchmark::kMillisecond);
});

}  // namespace
}  // namespace vexmor::bench
