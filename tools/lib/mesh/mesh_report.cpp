#include "mesh/mesh_report.h"

#include <algorithm>
#include <numeric>

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

MeshReport InspectMesh(const Mesh& mesh, MeshTopology* topology, std::vector<double>* faceAreas) {
  MeshReport r;
  r.nodes = mesh.nodeCount();
  r.faces = mesh.faceCount();
  r.box = NodeBox(mesh);
  std::vector<bool> used(r.nodes, false);
  if (faceAreas != nullptr) faceAreas->resize(r.faces);
  // Each face corner starts an edge. The corners are sorted by the edge's smaller node (a
  // counting sort, in corner order within each node) and then, within each node's few, by the
  // larger: a corner's edge is then found next to the others of the same edge, in one pass
  // without a hash table.
  std::vector<uint32_t> start(r.nodes + 2, 0);
  for (size_t f = 0; f < r.faces; ++f) {
    const auto nodes = mesh.face(f);
    const size_t n = nodes.size();
    for (size_t i = 0; i < n; ++i) {
      const int32_t a = nodes[i], b = nodes[(i + 1) % n];
      ++start[static_cast<size_t>(std::min(a, b)) + 2];
    }
  }
  for (size_t node = 2; node < start.size(); ++node)
    start[node] += start[node - 1];
  struct Corner {
    int32_t larger;    // the edge's larger node
    uint32_t face;     //
    uint32_t ordinal;  // the corner's number in face order, times 2, plus 1 when it runs from
                       // the smaller node to the larger
  };
  std::vector<Corner> corners(start.back());
  uint32_t ordinal = 0;
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
    for (size_t i = 0; i < n; ++i, ++ordinal) {
      const int32_t a = nodes[i], b = nodes[(i + 1) % n];
      used[static_cast<size_t>(a)] = true;
      for (size_t j = i + 1; j < n; ++j)
        repeated = repeated || (n <= 8 && nodes[j] == a);
      corners[start[static_cast<size_t>(std::min(a, b)) + 1]++] = {
          std::max(a, b), static_cast<uint32_t>(f), 2 * ordinal + (a < b ? 1 : 0)};
    }
    const double area = FaceArea(mesh, f);
    if (faceAreas != nullptr) (*faceAreas)[f] = area;
    r.area += area;
    if (repeated || area == 0.0) ++r.degenerateFaces;
  }
  // The edges used by other than two faces: they open their shell, and the topology lists
  // them in the order of their first corners.
  struct FaultyEdge {
    uint32_t firstOrdinal;
    int32_t smaller, larger;
    uint32_t firstFace, faces;
  };
  std::vector<FaultyEdge> faulty;
  DisjointSets shells(r.faces);
  auto byEdge = [](const Corner& p, const Corner& q) {
    return p.larger != q.larger ? p.larger < q.larger : p.ordinal < q.ordinal;
  };
  for (size_t node = 0; node < r.nodes; ++node) {
    const auto first = corners.begin() + start[node], last = corners.begin() + start[node + 1];
    std::sort(first, last, byEdge);
    for (auto edge = first; edge != last;) {
      auto end = edge + 1;
      int32_t forward = (edge->ordinal & 1) ? 1 : -1;
      for (; end != last && end->larger == edge->larger; ++end) {
        forward += (end->ordinal & 1) ? 1 : -1;
        shells.join(edge->face, end->face);
      }
      const auto faces = static_cast<uint32_t>(end - edge);
      ++r.edges;
      if (faces == 1) ++r.boundaryEdges;
      if (faces > 2) ++r.nonManifoldEdges;
      if (faces == 2 && forward != 0) ++r.misorientedEdges;
      if (faces != 2) {
        faulty.push_back(
            {edge->ordinal, static_cast<int32_t>(node), edge->larger, edge->face, faces});
      }
      edge = end;
    }
  }
  std::vector<bool> openShell(r.faces, false);
  for (const FaultyEdge& e : faulty)
    openShell[shells.root(e.firstFace)] = true;
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
    std::sort(faulty.begin(), faulty.end(), [](const FaultyEdge& p, const FaultyEdge& q) {
      return p.firstOrdinal < q.firstOrdinal;
    });
    for (const FaultyEdge& e : faulty) {
      auto& list = e.faces == 1 ? topology->boundaryEdges : topology->nonManifoldEdges;
      list.push_back(e.smaller);
      list.push_back(e.larger);
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
