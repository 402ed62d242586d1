// The spatial search and what rests on it, on tori of about 10k, 100k and 1M triangles: the
// ADT build (time per face), range searches, the distance-to-surface thickness (time per node,
// half of the nodes on the surface, half inside the solid) and ray marches across the wall.
// Counters: us_per_face, us_per_node, us_per_search, us_per_ray (microseconds).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <map>
#include <memory>
#include <random>
#include <vector>

#include "bench_meshes.h"
#include "geometry/adt.h"
#include "geometry/adt_search.h"
#include "geometry/bbox.h"
#include "geometry/ray_probe.h"
#include "geometry/triangle_incircle.h"
#include "geometry/vec3.h"
#include "mesh/smesh.h"
#include "thickness/dist2surf.h"

namespace vexmor::bench {
namespace {

// Meshes are built once per size and shared by the benchmarks.
const BenchMesh& TorusOf(int triangles, Queries queries = Queries::kSolid) {
  static std::map<std::pair<int, Queries>, BenchMesh> meshes;
  const auto key = std::make_pair(triangles, queries);
  auto it = meshes.find(key);
  if (it == meshes.end()) it = meshes.emplace(key, Torus(triangles, queries)).first;
  return it->second;
}

std::unique_ptr<SMesh> MakeSMesh(const BenchMesh& m) {
  return std::make_unique<SMesh>(0, m.nbNodes(), m.szelem(), m.coords, m.elem, 2);
}

// Microseconds per item, from the elapsed time of all iterations.
benchmark::Counter MicrosecondsPer(double itemsPerIteration) {
  return benchmark::Counter(
      itemsPerIteration * 1e-6,
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_BuildAdtTree(benchmark::State& state) {
  const BenchMesh& m = TorusOf(static_cast<int>(state.range(0)));
  auto mesh = MakeSMesh(m);
  ComputeBBox(*mesh);
  for (auto _ : state) {
    mesh->adt.reset();
    BuildAdtTree(*mesh);
    benchmark::DoNotOptimize(mesh->adt->maxDepth);
  }
  state.counters["faces"] = m.triangles;
  state.counters["max_depth"] = mesh->adt->maxDepth;
  state.counters["us_per_face"] = MicrosecondsPer(m.triangles);
}

// Boxes of about one face around random surface nodes: the range of a ray step or of the first
// cube of the distance search, searched as the library searches (with each face's reach).
void BM_AdtSearchReach(benchmark::State& state) {
  const BenchMesh& m = TorusOf(static_cast<int>(state.range(0)));
  auto mesh = MakeSMesh(m);
  BuildAdtTree(*mesh);
  const double size = 10000.0 / std::sqrt(static_cast<double>(m.triangles));
  std::mt19937 rng(5);
  std::uniform_int_distribution<int32_t> node(0, m.surfaceNodes - 1);
  constexpr int kQueries = 4096;
  std::vector<std::array<double, 12>> ranges(kQueries);
  for (auto& r : ranges) {
    const double* p = mesh->Node(node(rng));
    for (int k = 0; k < 3; ++k) {
      r[k] = mesh->bbox[k];
      r[k + 3] = p[k] - size;
      r[6 + k] = p[k] + size;
      r[9 + k] = mesh->bbox[k + 3];
    }
  }
  AdtReachResult result;
  size_t found = 0;
  for (auto _ : state) {
    for (const auto& r : ranges) {
      AdtSearchReach(*mesh->adt, RoundRange(r.data(), r.data() + 6), result);
      found += result.size();
    }
  }
  state.counters["faces_per_search"] =
      static_cast<double>(found) / (static_cast<double>(state.iterations()) * kQueries);
  state.counters["us_per_search"] = MicrosecondsPer(kQueries);
}

// Per node, over the surface nodes and the query nodes together (range(1) = 1: query nodes
// near the surface; otherwise spread over the solid). Range(2) = 1 times the query nodes only.
void BM_Dist2Surf(benchmark::State& state) {
  const BenchMesh& full = TorusOf(static_cast<int>(state.range(0)),
                                  state.range(1) == 1 ? Queries::kNearSurface : Queries::kSolid);
  BenchMesh m = full;
  if (state.range(2) == 1) {  // query nodes first: Dist2Surf is timed over those alone
    m.coords.assign(full.coords.begin() + 3 * full.surfaceNodes, full.coords.end());
    m.coords.insert(m.coords.end(), full.coords.begin(),
                    full.coords.begin() + 3 * full.surfaceNodes);
    for (size_t p = 0; p < m.elem.size(); p += 4) {
      for (size_t v = 1; v <= 3; ++v)
        m.elem[p + v] += full.nbNodes() - full.surfaceNodes;
    }
  }
  auto mesh = MakeSMesh(m);
  BuildAdtTree(*mesh);
  const int32_t measured = state.range(2) == 1 ? m.nbNodes() - m.surfaceNodes : m.nbNodes();
  std::vector<double> values(static_cast<size_t>(measured));
  for (auto _ : state) {
    Dist2Surf(*mesh, values);
    benchmark::DoNotOptimize(values.data());
  }
  state.counters["nodes"] = measured;
  state.counters["us_per_node"] = MicrosecondsPer(measured);
}

// From the incircle centre of sampled faces, into the material along the inward normal, with
// steps of the face's longest edge: the probe that starts the rolling-sphere thickness.
void BM_RayFirstHit(benchmark::State& state) {
  const BenchMesh& m = TorusOf(static_cast<int>(state.range(0)));
  auto mesh = MakeSMesh(m);
  BuildAdtTree(*mesh);
  struct Ray {
    int32_t pos;
    double p[3], n[3], h;
  };
  std::vector<Ray> rays;
  const int32_t stride = std::max(1, m.triangles / 4096);
  for (int32_t f = 0; f < m.triangles; f += stride) {
    Ray ray;
    ray.pos = 4 * f;
    double tri[9];
    for (int v = 0; v < 3; ++v)
      std::copy_n(mesh->Node(m.elem[static_cast<size_t>(ray.pos + 1 + v)]), 3, tri + 3 * v);
    TriangleIncircle(tri, ray.p);
    const Vec3 a = Vec3::Load(tri), b = Vec3::Load(tri + 3), c = Vec3::Load(tri + 6);
    const Vec3 n = Cross(b - a, c - a);
    (n / Length(n)).Store(ray.n);
    ray.h = std::max({Length(b - a), Length(c - b), Length(a - c)});
    rays.push_back(ray);
  }
  double total = 0;
  for (auto _ : state) {
    for (const Ray& ray : rays) {
      FaceRef hit;
      total += RayFirstHit(*mesh, ray.pos, ray.p, ray.n, ray.h, hit, false, 0);
    }
  }
  benchmark::DoNotOptimize(total);
  state.counters["us_per_ray"] = MicrosecondsPer(static_cast<double>(rays.size()));
}

// Every face crossed by a ray against the normal of sampled faces, through the whole box.
void BM_RayCrossedFaces(benchmark::State& state) {
  const BenchMesh& m = TorusOf(static_cast<int>(state.range(0)));
  auto mesh = MakeSMesh(m);
  BuildAdtTree(*mesh);
  const int32_t stride = std::max(1, m.triangles / 1024);
  std::vector<FaceRef> crossed;
  size_t total = 0, rays = 0;
  for (auto _ : state) {
    rays = 0;
    for (int32_t f = 0; f < m.triangles; f += stride, ++rays) {
      RayCrossedFaces(*mesh, crossed, 4 * f);
      total += crossed.size();
    }
  }
  benchmark::DoNotOptimize(total);
  state.counters["us_per_ray"] = MicrosecondsPer(static_cast<double>(rays));
}

// Thousands of copies of one face: the chain they form in the tree, built and searched.
void BM_IdenticalFaces(benchmark::State& state) {
  const int32_t copies = static_cast<int32_t>(state.range(0));
  std::vector<double> coords = {0, 0, 0, 10, 0, 0, 0, 10, 0, 10, 10, 10};
  std::vector<int32_t> elem;
  for (int32_t i = 0; i < copies; ++i)
    elem.insert(elem.end(), {3, 0, 1, 2});
  SMesh mesh(0, 4, static_cast<int32_t>(elem.size()), coords, elem, 2);
  AdtReachResult result;
  const double point[3] = {2000, 2000, 0};
  for (auto _ : state) {
    mesh.adt.reset();
    BuildAdtTree(mesh);
    AdtSearchReach(*mesh.adt, CubeRange(mesh.bbox, point, 1.0), result);
    benchmark::DoNotOptimize(result.size());
  }
  state.counters["us_per_face"] = MicrosecondsPer(copies);
}

BENCHMARK(BM_BuildAdtTree)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AdtSearchReach)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Dist2Surf)
    ->ArgsProduct({{10000, 100000, 1000000}, {0}, {0}})
    ->ArgsProduct({{10000, 100000, 1000000}, {0, 1}, {1}})
    ->ArgNames({"faces", "near", "queries_only"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK(BM_RayFirstHit)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RayCrossedFaces)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK(BM_IdenticalFaces)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vexmor::bench
