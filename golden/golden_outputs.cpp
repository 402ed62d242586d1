// Prints a fingerprint of every output of the eight library functions on the meshes it is
// given, one line per call: "<mesh> <call> <status> <hash>". Values are the product, so a
// speed-up or a port must leave every line unchanged; `make golden` compares a build's lines
// with golden/expected.txt.
//
//   vexmor_golden FILE...      the meshes of these files, as the readers give them
//   vexmor_golden --built      meshes built in code (the sample part and small cases)
//
// Each call gets the mesh exactly as read: no splitting, no repair, so a function that
// refuses a mesh shows its status. The hash is FNV-1a over the bytes of the output arrays.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "analysis/quiet_stdout.h"
#include "io/mesh_reader.h"
#include "io/read_error.h"
#include "mesh/mesh.h"
#include "mesh/sample_part.h"
#include "vexmor.h"

namespace {

using vexmor::cli::Mesh;

struct Fnv {
  uint64_t h = 1469598103934665603ull;
  void add(const void* data, size_t bytes) {
    const auto* p = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < bytes; ++i)
      h = (h ^ p[i]) * 1099511628211ull;
  }
  template <class T>
  void add(const std::vector<T>& v) {
    add(v.data(), v.size() * sizeof(T));
  }
};

// Lines are kept until the library's standard output is restored, then printed.
std::vector<std::string> lines;

void Line(const std::string& mesh, const std::string& call, int status, const Fnv& f) {
  char hash[17];
  std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(f.h));
  lines.push_back(mesh + " " + call + " " + std::to_string(status) + " " + hash);
}

void PrintLines() {
  for (const auto& line : lines)
    std::printf("%s\n", line.c_str());
  std::fflush(stdout);
  lines.clear();
}

// Runs every function with each value of its flags. The gradient takes the ray thickness.
void Fingerprint(const std::string& name, const Mesh& m) {
  const int32_t nn = static_cast<int32_t>(m.nodeCount());
  const int32_t sz = static_cast<int32_t>(m.elem.size());
  const int32_t* el = m.elem.data();
  const double* xyz = m.coords.data();
  const size_t nf = m.faceCount();
  // The library prints its diagnostics on standard output; they are dropped.
  vexmor::cli::QuietStdout quiet(false);

  for (uint32_t mode : {0u, 1u}) {
    std::vector<double> v(nn);
    const int st = VX_Diedral_Angle(nn, sz, el, xyz, v.data(), mode);
    Fnv f;
    f.add(v);
    Line(name, "node_dihedral/" + std::to_string(mode), st, f);
  }
  for (uint32_t mode : {0u, 1u}) {
    uint32_t count = 0;
    std::vector<int32_t> nodes(m.elem.size() + 2);
    std::vector<double> angles(m.elem.size() + 1);
    const int st =
        VX_Edge_Diedral_Angle(nn, sz, el, xyz, &count, nodes.data(), angles.data(), mode);
    nodes.resize(st == 0 ? 2 * count : 0);
    angles.resize(st == 0 ? count : 0);
    Fnv f;
    f.add(&count, sizeof count);
    f.add(nodes);
    f.add(angles);
    Line(name, "edge_dihedral/" + std::to_string(mode), st, f);
  }
  const double pulls[2][3] = {{0, 0, 1}, {1, -2, 3}};
  for (int k = 0; k < 2; ++k) {
    std::vector<double> v(nf);
    const int st = VX_Draft_Angle(nn, sz, el, xyz, v.data(), pulls[k]);
    Fnv f;
    f.add(v);
    Line(name, "draft/" + std::to_string(k), st, f);
  }
  std::vector<double> rayThickness;
  for (uint8_t outside : {0, 1}) {
    const std::string flag = "/" + std::to_string(outside);
    {
      std::vector<double> v(nn);
      const int st = VX_Thickness_Computation_DN2S(nn, sz, el, xyz, v.data(), outside);
      Fnv f;
      f.add(v);
      Line(name, "dn2s" + flag, st, f);
    }
    {
      std::vector<double> v(nf);
      const int st = VX_Thickness_RayTracing(nn, sz, el, xyz, v.data(), outside);
      Fnv f;
      f.add(v);
      Line(name, "ray" + flag, st, f);
      if (outside == 0 && st == 0) rayThickness = v;
    }
    {
      std::vector<double> v(nf);
      const int st = VX_Thickness_Computation_LSCP(nn, sz, el, xyz, v.data(), outside);
      Fnv f;
      f.add(v);
      Line(name, "lscp" + flag, st, f);
    }
    {
      std::vector<double> v(nf);
      const int st = VX_Thickness_Computation_LSR(nn, sz, el, xyz, v.data(), outside);
      Fnv f;
      f.add(v);
      Line(name, "lsr" + flag, st, f);
    }
  }
  if (!rayThickness.empty()) {
    std::vector<double> v(nf);
    const int st = VX_Thickness_Gradient(nn, sz, el, xyz, rayThickness.data(), v.data());
    Fnv f;
    f.add(v);
    Line(name, "gradient", st, f);
  }
}

// The mesh with every face of more than three nodes fanned from its first node, so that the
// triangle-only functions are pinned on meshes of quadrilaterals and polygons too.
bool HasNonTriangles(const Mesh& m) {
  for (size_t f = 0; f < m.faceCount(); ++f)
    if (m.face(f).size() != 3) return true;
  return false;
}

Mesh Fanned(const Mesh& m) {
  Mesh t;
  t.coords = m.coords;
  for (size_t f = 0; f < m.faceCount(); ++f) {
    const auto nodes = m.face(f);
    for (size_t k = 1; k + 1 < nodes.size(); ++k)
      t.addFace({nodes[0], nodes[k], nodes[k + 1]});
  }
  return t;
}

// Fingerprints the mesh, and its fanned version under "<name>#fan" when it has other faces.
void FingerprintAll(const std::string& name, const Mesh& m) {
  Fingerprint(name, m);
  if (HasNonTriangles(m)) Fingerprint(name + "#fan", Fanned(m));
}

// A closed box [x0,x1]x[y0,y1]x[z0,z1] of 12 outward triangles appended to `m`.
void AddBox(Mesh& m, double x0, double y0, double z0, double x1, double y1, double z1) {
  int32_t n[8];
  for (int i = 0; i < 8; ++i)
    n[i] = m.addNode(i & 1 ? x1 : x0, i & 2 ? y1 : y0, i & 4 ? z1 : z0);
  const int q[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                       {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
  for (const auto& f : q) {
    m.addFace({n[f[0]], n[f[1]], n[f[2]]});
    m.addFace({n[f[0]], n[f[2]], n[f[3]]});
  }
}

// Cosine and sine of the angle 2 pi k / n from their series, in a fixed order of IEEE
// operations: the C libraries' cos and sin differ in the last bit between platforms (MinGW-w64's
// use the x87 unit), and a built mesh must be the same mesh everywhere.
struct CosSin {
  double c = 0, s = 0;
};
CosSin TurnFraction(int k, int n) {
  // Whole quarter turns are exact; the rest, at most an eighth of a turn, comes from the series.
  const int quarters = (4 * k + n / 2) / n;
  const double a = 1.5707963267948966 * (4 * k - quarters * n) / n;
  double c = 0, s = 0, term = 1;  // term = a^i / i!
  for (int i = 0; i < 24; ++i) {
    double& sum = i % 2 == 0 ? c : s;
    sum = i % 4 < 2 ? sum + term : sum - term;
    term = term * a / (i + 1);
  }
  switch (quarters % 4) {
    case 0:
      return {c, s};
    case 1:
      return {-s, c};
    case 2:
      return {-c, -s};
    default:
      return {s, -c};
  }
}

// A torus of nu x nv quads split into outward triangles.
Mesh Torus(int nu, int nv, double major, double minor) {
  Mesh m;
  for (int i = 0; i < nu; ++i)
    for (int j = 0; j < nv; ++j) {
      const CosSin u = TurnFraction(i, nu), v = TurnFraction(j, nv);
      const double ring = major + minor * v.c;
      m.addNode(ring * u.c, ring * u.s, minor * v.s);
    }
  auto id = [&](int i, int j) { return static_cast<int32_t>((i % nu) * nv + (j % nv)); };
  for (int i = 0; i < nu; ++i)
    for (int j = 0; j < nv; ++j) {
      m.addFace({id(i, j), id(i + 1, j), id(i + 1, j + 1)});
      m.addFace({id(i, j), id(i + 1, j + 1), id(i, j + 1)});
    }
  return m;
}

void Built() {
  FingerprintAll("built/sample_part", vexmor::cli::SamplePart());
  Fingerprint("built/torus_40x20", Torus(40, 20, 3.0, 1.0));
  {
    Mesh m;
    AddBox(m, 0, 0, 0, 100, 80, 3);
    Fingerprint("built/plate", m);
  }
  {
    Mesh m;  // a box with a box-shaped cavity, both wound outwards
    AddBox(m, 0, 0, 0, 10, 10, 10);
    AddBox(m, 3, 3, 3, 7, 7, 7);
    Fingerprint("built/cavity", m);
  }
  {
    Mesh m;  // three disjoint boxes in a row
    AddBox(m, 0, 0, 0, 1, 1, 1);
    AddBox(m, 3, 0, 0, 5, 2, 1);
    AddBox(m, 7, -1, 0, 8, 0, 4);
    Fingerprint("built/three_boxes", m);
  }
}

}  // namespace

int main(int argc, char** argv) {
  int failures = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--built") {
      Built();
      PrintLines();
      continue;
    }
    try {
      const auto loaded = vexmor::cli::ReadMeshFile(arg);
      FingerprintAll(arg, loaded.mesh);
      PrintLines();
    } catch (const std::exception& e) {
      std::fprintf(stderr, "%s unreadable: %s\n", arg.c_str(), e.what());
      ++failures;
    }
  }
  return failures ? 1 : 0;
}
