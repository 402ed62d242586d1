// Times each library call on one mesh against two anchors computed in the same run on the same
// arrays, one thread each:
//   - a ray anchor: Embree builds its BVH over the triangles and casts one robust ray per
//     triangle from its incircle centre against its normal (single precision, as Embree is);
//   - an edge anchor: the face corners sorted by edge key, one dihedral angle per edge. Every
//     call but the ray and the sphere methods is at least one edge pass over the mesh.
// The rolling-sphere calls run on a second, smaller mesh, against that mesh's edge anchor.
//
//   vexmor_bench_compare [MESH] [SPHERE_MESH] [CALL]
//
// Prints one line per call: its time, the anchor's time and their ratio. With CALL, only the
// calls whose name contains it run (for profiling one of them).
//
// The library asks for transparent huge pages for its large arrays, which saves most of the
// page faults of first touching them. So that the anchors are not slowed by faults the library
// avoids, the benchmark runs itself again with glibc's malloc asking the same for every
// allocation of the process (GLIBC_TUNABLES=glibc.malloc.hugetlb=1), unless that variable is
// already set.
#include <embree3/rtcore.h>

#include <unistd.h>
#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "analysis/quiet_stdout.h"
#include "io/mesh_reader.h"
#include "mesh/mesh.h"
#include "vexmor.h"

namespace {

using vexmor::cli::Mesh;

double Seconds(const std::function<void()>& run) {
  const auto start = std::chrono::steady_clock::now();
  run();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Best of `repeats` runs, to keep other processes' noise out of short timings.
double BestSeconds(int repeats, const std::function<void()>& run) {
  double best = INFINITY;
  for (int i = 0; i < repeats; ++i)
    best = std::min(best, Seconds(run));
  return best;
}

struct Triangles {
  std::vector<std::array<int32_t, 3>> nodes;
};

Triangles TrianglesOf(const Mesh& m) {
  Triangles t;
  for (size_t p = 0; p < m.elem.size(); p += static_cast<size_t>(m.elem[p]) + 1) {
    if (m.elem[p] == 3) t.nodes.push_back({m.elem[p + 1], m.elem[p + 2], m.elem[p + 3]});
  }
  return t;
}

void Normal(const Mesh& m, const std::array<int32_t, 3>& tri, double n[3]) {
  const double* a = &m.coords[3 * static_cast<size_t>(tri[0])];
  const double* b = &m.coords[3 * static_cast<size_t>(tri[1])];
  const double* c = &m.coords[3 * static_cast<size_t>(tri[2])];
  const double u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
  const double v[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
  n[0] = u[1] * v[2] - u[2] * v[1];
  n[1] = u[2] * v[0] - u[0] * v[2];
  n[2] = u[0] * v[1] - u[1] * v[0];
  const double len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
  if (len > 0) {
    for (int k = 0; k < 3; ++k)
      n[k] /= len;
  }
}

// Edge anchor: face normals, the 3 corners of every triangle sorted by their edge key, and
// the angle between the normals of the two faces of each edge. Returns a checksum so that the
// work cannot be left out.
double EdgeBaseline(const Mesh& m, const Triangles& t) {
  std::vector<double> normals(3 * t.nodes.size());
  for (size_t f = 0; f < t.nodes.size(); ++f)
    Normal(m, t.nodes[f], &normals[3 * f]);
  std::vector<std::pair<uint64_t, uint32_t>> corners;
  corners.reserve(3 * t.nodes.size());
  for (size_t f = 0; f < t.nodes.size(); ++f) {
    for (int i = 0; i < 3; ++i) {
      const uint32_t a = static_cast<uint32_t>(t.nodes[f][i]);
      const uint32_t b = static_cast<uint32_t>(t.nodes[f][(i + 1) % 3]);
      corners.emplace_back((uint64_t{std::min(a, b)} << 32) | std::max(a, b),
                           static_cast<uint32_t>(f));
    }
  }
  std::sort(corners.begin(), corners.end());
  double sum = 0;
  for (size_t i = 0; i + 1 < corners.size(); ++i) {
    if (corners[i].first != corners[i + 1].first) continue;
    const double* p = &normals[3 * corners[i].second];
    const double* q = &normals[3 * corners[i + 1].second];
    const double c = std::clamp(p[0] * q[0] + p[1] * q[1] + p[2] * q[2], -1.0, 1.0);
    sum += std::acos(c);
    ++i;
  }
  return sum;
}

// Ray anchor: Embree's BVH over the triangles and one robust ray per triangle from its
// incircle centre against its normal, on one thread.
double EmbreeRays(const Mesh& m, const Triangles& t) {
  RTCDevice device = rtcNewDevice("threads=1,set_affinity=0");
  RTCScene scene = rtcNewScene(device);
  rtcSetSceneFlags(scene, RTC_SCENE_FLAG_ROBUST);
  RTCGeometry geometry = rtcNewGeometry(device, RTC_GEOMETRY_TYPE_TRIANGLE);
  auto* vertices = static_cast<float*>(rtcSetNewGeometryBuffer(geometry, RTC_BUFFER_TYPE_VERTEX, 0,
                                                               RTC_FORMAT_FLOAT3, 3 * sizeof(float),
                                                               m.coords.size() / 3));
  for (size_t i = 0; i < m.coords.size(); ++i)
    vertices[i] = static_cast<float>(m.coords[i]);
  auto* indices = static_cast<uint32_t*>(rtcSetNewGeometryBuffer(
      geometry, RTC_BUFFER_TYPE_INDEX, 0, RTC_FORMAT_UINT3, 3 * sizeof(uint32_t), t.nodes.size()));
  for (size_t f = 0; f < t.nodes.size(); ++f) {
    for (int i = 0; i < 3; ++i)
      indices[3 * f + i] = static_cast<uint32_t>(t.nodes[f][i]);
  }
  rtcCommitGeometry(geometry);
  rtcAttachGeometry(scene, geometry);
  rtcReleaseGeometry(geometry);
  rtcCommitScene(scene);

  RTCIntersectContext context;
  rtcInitIntersectContext(&context);
  double sum = 0;
  for (size_t f = 0; f < t.nodes.size(); ++f) {
    const double* a = &m.coords[3 * static_cast<size_t>(t.nodes[f][0])];
    const double* b = &m.coords[3 * static_cast<size_t>(t.nodes[f][1])];
    const double* c = &m.coords[3 * static_cast<size_t>(t.nodes[f][2])];
    auto dist = [](const double* p, const double* q) {
      return std::sqrt((p[0] - q[0]) * (p[0] - q[0]) + (p[1] - q[1]) * (p[1] - q[1]) +
                       (p[2] - q[2]) * (p[2] - q[2]));
    };
    const double la = dist(b, c), lb = dist(c, a), lc = dist(a, b);
    const double per = std::max(la + lb + lc, 1e-300);
    double n[3];
    Normal(m, t.nodes[f], n);
    RTCRayHit rh{};
    rh.ray.org_x = static_cast<float>((la * a[0] + lb * b[0] + lc * c[0]) / per);
    rh.ray.org_y = static_cast<float>((la * a[1] + lb * b[1] + lc * c[1]) / per);
    rh.ray.org_z = static_cast<float>((la * a[2] + lb * b[2] + lc * c[2]) / per);
    rh.ray.dir_x = static_cast<float>(-n[0]);
    rh.ray.dir_y = static_cast<float>(-n[1]);
    rh.ray.dir_z = static_cast<float>(-n[2]);
    rh.ray.tnear = 1e-6f * static_cast<float>(per);
    rh.ray.tfar = INFINITY;
    rh.ray.mask = 0xFFFFFFFFu;
    rh.hit.geomID = RTC_INVALID_GEOMETRY_ID;
    rtcIntersect1(scene, &context, &rh);
    if (rh.hit.geomID != RTC_INVALID_GEOMETRY_ID) sum += rh.ray.tfar;
  }
  rtcReleaseScene(scene);
  rtcReleaseDevice(device);
  return sum;
}

struct Timed {
  const char* call;
  double seconds;
  bool ray;
};

// Times the call unless `only` names others.
void TimeIf(std::vector<Timed>& rows, const std::string& only, const char* call, bool ray,
            const std::function<void()>& run) {
  if (std::string(call).find(only) != std::string::npos) rows.push_back({call, Seconds(run), ray});
}

// Times the calls on the large mesh, with the library's diagnostics dropped.
std::vector<Timed> TimeCalls(const Mesh& m, const std::string& only) {
  const int32_t nn = static_cast<int32_t>(m.nodeCount());
  const int32_t sz = static_cast<int32_t>(m.elem.size());
  const int32_t* el = m.elem.data();
  const double* xyz = m.coords.data();
  const size_t nf = m.faceCount();
  std::vector<double> faces(nf), nodes(static_cast<size_t>(nn)), thickness(nf);
  std::vector<int32_t> edgeNodes(m.elem.size() + 2);
  std::vector<double> edgeAngles(m.elem.size() + 1);
  uint32_t edgeCount = 0;
  const double pull[3] = {0, 0, 1};
  vexmor::cli::QuietStdout quiet(false);
  std::vector<Timed> rows;
  TimeIf(rows, only, "VX_Thickness_RayTracing", true,
         [&] { VX_Thickness_RayTracing(nn, sz, el, xyz, thickness.data(), 0); });
  TimeIf(rows, only, "VX_Draft_Angle", false,
         [&] { VX_Draft_Angle(nn, sz, el, xyz, faces.data(), pull); });
  TimeIf(rows, only, "VX_Edge_Diedral_Angle", false, [&] {
    VX_Edge_Diedral_Angle(nn, sz, el, xyz, &edgeCount, edgeNodes.data(), edgeAngles.data(), 1);
  });
  TimeIf(rows, only, "VX_Diedral_Angle", false,
         [&] { VX_Diedral_Angle(nn, sz, el, xyz, nodes.data(), 1); });
  TimeIf(rows, only, "VX_Thickness_Gradient (ray thickness)", false,
         [&] { VX_Thickness_Gradient(nn, sz, el, xyz, thickness.data(), faces.data()); });
  TimeIf(rows, only, "VX_Thickness_Computation_DN2S", false,
         [&] { VX_Thickness_Computation_DN2S(nn, sz, el, xyz, nodes.data(), 0); });
  return rows;
}

// Times the two rolling-sphere calls.
std::vector<Timed> TimeSphereCalls(const Mesh& m, const std::string& only) {
  const int32_t nn = static_cast<int32_t>(m.nodeCount());
  const int32_t sz = static_cast<int32_t>(m.elem.size());
  std::vector<double> faces(m.faceCount());
  vexmor::cli::QuietStdout quiet(false);
  std::vector<Timed> rows;
  TimeIf(rows, only, "VX_Thickness_Computation_LSR", false, [&] {
    VX_Thickness_Computation_LSR(nn, sz, m.elem.data(), m.coords.data(), faces.data(), 0);
  });
  TimeIf(rows, only, "VX_Thickness_Computation_LSCP", false, [&] {
    VX_Thickness_Computation_LSCP(nn, sz, m.elem.data(), m.coords.data(), faces.data(), 0);
  });
  return rows;
}

void Print(const std::vector<Timed>& rows, double edge, double embree) {
  for (const Timed& r : rows) {
    const double anchor = r.ray ? embree : edge;
    std::printf("%-40s %9.3f s   %-12s %8.3f s   %7.1fx\n", r.call, r.seconds,
                r.ray ? "Embree" : "edge anchor", anchor, r.seconds / anchor);
  }
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  if (std::getenv("GLIBC_TUNABLES") == nullptr) {
    setenv("GLIBC_TUNABLES", "glibc.malloc.hugetlb=1", 1);
    execv("/proc/self/exe", argv);  // returns only when it fails; then run as we are
  }
  const std::string path = argc > 1 ? argv[1] : "../shared/meshes/derived/counter_unitsmm_x16.ply";
  const std::string spherePath = argc > 2 ? argv[2] : "../shared/meshes/common3d/nefertiti.obj";
  const std::string only = argc > 3 ? argv[3] : "";
  double sink = 0;
  try {
    const Mesh m = vexmor::cli::ReadMeshFile(path).mesh;
    const Triangles t = TrianglesOf(m);
    std::printf("%s: %zu faces, %zu nodes, one thread\n", path.c_str(), m.faceCount(),
                m.nodeCount());
    const double edge = BestSeconds(3, [&] { sink += EdgeBaseline(m, t); });
    const double embree = Seconds([&] { sink += EmbreeRays(m, t); });
    std::printf("%-40s %9.3f s\n%-40s %9.3f s\n", "edge anchor (corner sort + dihedrals)", edge,
                "Embree anchor (BVH + one ray per face)", embree);
    Print(TimeCalls(m, only), edge, embree);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s\n", path.c_str(), e.what());
    return 1;
  }
  try {
    const Mesh m = vexmor::cli::ReadMeshFile(spherePath).mesh;
    const Triangles t = TrianglesOf(m);
    std::printf("%s: %zu faces, %zu nodes, one thread\n", spherePath.c_str(), m.faceCount(),
                m.nodeCount());
    const double edge = BestSeconds(5, [&] { sink += EdgeBaseline(m, t); });
    std::printf("%-40s %9.3f s\n", "edge anchor (corner sort + dihedrals)", edge);
    Print(TimeSphereCalls(m, only), edge, edge);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s\n", spherePath.c_str(), e.what());
    return 1;
  }
  return sink == -1.0 ? 2 : 0;  // keeps the anchors' work from being dropped
}
