#include "mesh/mesh_report.h"

#include <algorithm>
#include <numeric>

#include "mesh/edge_table.h"

namespace vexmor::cli {
namespace {

class DisjointSets {
 public:
  explicit DisjointSets(size_t n) : parent_(n) { std::iota(parent_.begin(), parent_.end(), 0); }
  size_t root(size_t x) {
    while (parent_[x] != x) {
      parent_[x] = parent_[parent_[x]];
      x = parent_[x];
    }
    return x;
  }
  void join(size_t a, size_t b) {
    a = root(a);
    b = root(b);
    if (a != b) parent_[std::max(a, b)] = std::min(a, b);
  }

 private:
  std::vector<size_t> parent_;
};

std::string Plural(size_t n, const std::string& one, const std::string& many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

MeshReport InspectMesh(const Mesh& mesh, MeshTopology* topology) {
  MeshReport r;
  r.nodes = mesh.nodeCount();
  r.faces = mesh.faceCount();
  r.box = NodeBox(mesh);
  std::vector<bool> used(r.nodes, false);
  EdgeTable table(mesh.closedEdgeCount());
  struct EdgeUse {
    uint32_t faces = 0;
    int32_t forward = 0;  // uses from the smaller node to the larger minus the reverse
    size_t firstFace = 0;
  };
  std::vector<EdgeUse> uses;
  uses.reserve(mesh.closedEdgeCount());
  DisjointSets shells(r.faces);
  for (size_t f = 0; f < r.faces; ++f) {
    const auto nodes = mesh.face(f);
    const size_t n = nodes.size();
    if (n == 3) {
      ++r.triangles;
    } else if (n == 4) {
      ++r.quadrilaterals;
    } else {
      ++r.polygons;
    }
    bool repeated = false;
    for (size_t i = 0; i < n; ++i) {
      const int32_t a = nodes[i], b = nodes[(i + 1) % n];
      used[static_cast<size_t>(a)] = true;
      for (size_t j = i + 1; j < n; ++j)
        repeated = repeated || (n <= 8 && nodes[j] == a);
      const uint32_t e = table.insert(a, b);
      if (e == uses.size()) uses.push_back({0, 0, f});
      EdgeUse& use = uses[e];
      ++use.faces;
      use.forward += a < b ? 1 : -1;
      shells.join(use.firstFace, f);
    }
    const double area = FaceArea(mesh, f);
    r.area += area;
    if (repeated || area == 0.0) ++r.degenerateFaces;
  }
  r.edges = uses.size();
  std::vector<bool> openShell(r.faces, false);
  for (const EdgeUse& use : uses) {
    if (use.faces == 1) ++r.boundaryEdges;
    if (use.faces > 2) ++r.nonManifoldEdges;
    if (use.faces == 2 && use.forward != 0) ++r.misorientedEdges;
    if (use.faces != 2) openShell[shells.root(use.firstFace)] = true;
  }
  for (size_t f = 0; f < r.faces; ++f) {
    if (shells.root(f) != f) continue;
    ++r.shells;
    if (!openShell[f]) ++r.closedShells;
  }
  if (topology != nullptr) {
    // A shell's root is its first face, so numbering roots in face order numbers the shells
    // in the order of their first faces.
    topology->faceShell.assign(r.faces, 0);
    uint32_t next = 0;
    for (size_t f = 0; f < r.faces; ++f) {
      const size_t root = shells.root(f);
      topology->faceShell[f] = root == f ? next++ : topology->faceShell[root];
    }
    topology->boundaryEdges.clear();
    topology->nonManifoldEdges.clear();
    for (size_t e = 0; e < uses.size(); ++e) {
      if (uses[e].faces == 2) continue;
      auto& list = uses[e].faces == 1 ? topology->boundaryEdges : topology->nonManifoldEdges;
      list.push_back(table.first(e));
      list.push_back(table.second(e));
    }
  }
  for (bool u : used)
    r.unusedNodes += u ? 0 : 1;
  return r;
}

std::vector<std::string> RejectionReasons(const MeshReport& r) {
  std::vector<std::string> reasons;
  if (r.faces == 0) reasons.push_back("it has no faces");
  if (r.boundaryEdges > 0) {
    reasons.push_back("it is open: " + Plural(r.boundaryEdges, "edge belongs", "edges belong") +
                      " to a single face");
  }
  if (r.nonManifoldEdges > 0) {
    reasons.push_back("it is not manifold: " + Plural(r.nonManifoldEdges, "edge is", "edges are") +
                      " shared by more than two faces");
  }
  return reasons;
}

}  // namespace vexmor::cli
