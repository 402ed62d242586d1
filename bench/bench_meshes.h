// Closed triangle meshes for the benchmarks, built in code: a torus of about the requested
// number of triangles, with as many free query nodes inside its tube as it has surface nodes.
#pragma once

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace vexmor::bench {

struct BenchMesh {
  std::vector<double> coords;  // 3 per node: the surface nodes, then the query nodes
  std::vector<int32_t> elem;   // count-prefixed triangles
  int32_t surfaceNodes = 0;
  int32_t triangles = 0;
  int32_t nbNodes() const { return static_cast<int32_t>(coords.size() / 3); }
  int32_t szelem() const { return static_cast<int32_t>(elem.size()); }
};

// Where the query nodes lie inside the tube.
enum class Queries {
  kSolid,        // uniformly over the solid tube, up to 0.98 of its radius
  kNearSurface,  // within two face widths of the surface
};

// Torus of major radius 3 and minor radius 1 as a grid of nu x nv quads, each split into two
// outward triangles, nu = 2 nv, so that 4 nv^2 is close to `triangles`, with as many query
// nodes inside the tube as it has surface nodes.
inline BenchMesh Torus(int triangles, Queries queries = Queries::kSolid, uint32_t seed = 1) {
  const int nv = std::max(3, static_cast<int>(std::lround(std::sqrt(triangles / 4.0))));
  const int nu = 2 * nv;
  constexpr double kMajor = 3.0, kMinor = 1.0, kTwoPi = 6.283185307179586;
  BenchMesh m;
  auto point = [&](double u, double v, double rho) {
    const double ring = kMajor + rho * std::cos(v);
    m.coords.insert(m.coords.end(), {ring * std::cos(u), ring * std::sin(u), rho * std::sin(v)});
  };
  for (int i = 0; i < nu; ++i) {
    for (int j = 0; j < nv; ++j)
      point(kTwoPi * i / nu, kTwoPi * j / nv, kMinor);
  }
  auto id = [&](int i, int j) { return static_cast<int32_t>((i % nu) * nv + (j % nv)); };
  for (int i = 0; i < nu; ++i) {
    for (int j = 0; j < nv; ++j) {
      const int32_t a = id(i, j), b = id(i + 1, j), c = id(i + 1, j + 1), d = id(i, j + 1);
      m.elem.insert(m.elem.end(), {3, a, b, c, 3, a, c, d});
    }
  }
  m.surfaceNodes = nu * nv;
  m.triangles = 2 * nu * nv;
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  const double faceWidth = kTwoPi * kMinor / nv;
  for (int q = 0; q < m.surfaceNodes; ++q) {
    const double rho = queries == Queries::kSolid ? 0.98 * kMinor * std::sqrt(unit(rng))
                                                  : kMinor - 2 * faceWidth * unit(rng);
    point(kTwoPi * unit(rng), kTwoPi * unit(rng), rho);
  }
  return m;
}

}  // namespace vexmor::bench
