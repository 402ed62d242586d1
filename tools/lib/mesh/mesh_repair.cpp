#include "mesh/mesh_repair.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <functional>
#include <unordered_map>
#include <unordered_set>

#include "mesh/ear_clipping.h"
#include "mesh/edge_table.h"

namespace vexmor::cli {
namespace {

// A cube of the tolerance's size in space (or, at zero tolerance, one exact position).
struct Cell {
  double x, y, z;
  bool operator==(const Cell&) const = default;
};

struct CellHash {
  size_t operator()(const Cell& c) const {
    uint64_t h = 0;
    for (double v : {c.x, c.y, c.z})
      h = (h ^ std::bit_cast<uint64_t>(v + 0.0)) * 0x9e3779b97f4a7c15ULL;  // -0 hashes as +0
    return static_cast<size_t>(h ^ (h >> 29));
  }
};

struct NodesHash {
  size_t operator()(const std::vector<int32_t>& nodes) const {
    uint64_t h = nodes.size();
    for (int32_t n : nodes)
      h = (h ^ static_cast<uint32_t>(n)) * 0x9e3779b97f4a7c15ULL;
    return static_cast<size_t>(h ^ (h >> 29));
  }
};

// Gives each node the number of an earlier kept node within `tolerance` of it, or a new
// number, in the order first seen; appends the kept nodes to `out`. The nodes kept lie more
// than the tolerance apart, so each cube of the grid holds few of them and a lookup costs the
// same whatever the mesh size.
std::vector<int32_t> MergeCloseNodes(const Mesh& mesh, double tolerance, Mesh& out) {
  double largest = 0;
  for (double c : mesh.coords)
    largest = std::max(largest, std::fabs(c));
  // A tolerance below the coordinates' resolution (or none) merges equal positions only; the
  // grid's cells then could not be told apart.
  const bool exact =
      !(tolerance > 0) || !std::isfinite(tolerance) || !(largest / tolerance < 0x1p49);
  // Cells twice the tolerance wide: the ball of nodes within reach of a point then meets its
  // own cell and, along each axis, only the neighbour on the side of the cell's nearer face.
  const double width = 2 * tolerance;
  // The last node kept in each cell, and before each kept node the one kept before it there.
  std::unordered_map<Cell, int32_t, CellHash> grid;
  grid.reserve(mesh.nodeCount());
  std::vector<int32_t> previousInCell;
  std::vector<int32_t> renumber(mesh.nodeCount());
  const double reach = tolerance * tolerance;
  for (size_t n = 0; n < mesh.nodeCount(); ++n) {
    const Vec3 p = mesh.node(n);
    Cell home{p[0] + 0.0, p[1] + 0.0, p[2] + 0.0};
    Vec3 side{0, 0, 0};
    if (!exact) {
      const Vec3 scaled{p[0] / width, p[1] / width, p[2] / width};
      home = {std::floor(scaled[0]), std::floor(scaled[1]), std::floor(scaled[2])};
      side = {scaled[0] - home.x < 0.5 ? -1.0 : 1.0, scaled[1] - home.y < 0.5 ? -1.0 : 1.0,
              scaled[2] - home.z < 0.5 ? -1.0 : 1.0};
    }
    int32_t found = -1;
    for (int near = 0; near < (exact ? 1 : 8) && found < 0; ++near) {
      const auto it =
          grid.find({home.x + ((near & 1) ? side[0] : 0.0), home.y + ((near & 2) ? side[1] : 0.0),
                     home.z + ((near & 4) ? side[2] : 0.0)});
      if (it == grid.end()) continue;
      for (int32_t kept = it->second; kept >= 0; kept = previousInCell[static_cast<size_t>(kept)]) {
        const Vec3 q = out.node(static_cast<size_t>(kept));
        const double d = (p[0] - q[0]) * (p[0] - q[0]) + (p[1] - q[1]) * (p[1] - q[1]) +
                         (p[2] - q[2]) * (p[2] - q[2]);
        if (exact ? p == q : d <= reach) {
          found = kept;
          break;
        }
      }
    }
    if (found < 0) {
      found = out.addNode(p[0], p[1], p[2]);
      const auto [it, fresh] = grid.try_emplace(home, found);
      previousInCell.push_back(fresh ? -1 : it->second);
      it->second = found;
    }
    renumber[n] = found;
  }
  return renumber;
}

// The face's nodes renumbered, without a node repeating the one before it (around the face).
std::vector<int32_t> RenumberedFace(std::span<const int32_t> nodes,
                                    const std::vector<int32_t>& renumber) {
  std::vector<int32_t> face;
  face.reserve(nodes.size());
  for (int32_t n : nodes) {
    const int32_t m = renumber[static_cast<size_t>(n)];
    if (face.empty() || face.back() != m) face.push_back(m);
  }
  while (face.size() > 1 && face.front() == face.back())
    face.pop_back();
  return face;
}

// The edges of the mesh with how many faces use each, and for the edges that one face uses,
// the way that face runs along it and the face.
struct EdgeUse {
  EdgeTable table;
  std::vector<uint32_t> uses;
  std::vector<int32_t> from, to;
  std::vector<size_t> face;

  explicit EdgeUse(const Mesh& mesh) : table(mesh.closedEdgeCount()) {
    for (size_t f = 0; f < mesh.faceCount(); ++f) {
      const auto nodes = mesh.face(f);
      for (size_t i = 0; i < nodes.size(); ++i)
        add(nodes[i], nodes[(i + 1) % nodes.size()], f);
    }
  }
  void add(int32_t a, int32_t b, size_t f) {
    const uint32_t e = table.insert(a, b);
    if (e == uses.size()) {
      uses.push_back(0);
      from.push_back(a);
      to.push_back(b);
      face.push_back(f);
    }
    ++uses[e];
  }
};

// A closed run of boundary edges, each followed from the end of the one before, in the way
// their faces run along them.
struct BoundaryLoop {
  std::vector<int32_t> nodes;
  std::vector<uint32_t> edges;
  bool closed = false;
};

std::vector<BoundaryLoop> BoundaryLoops(const Mesh& mesh, const EdgeUse& use) {
  std::vector<uint32_t> boundary;
  for (uint32_t e = 0; e < use.uses.size(); ++e) {
    if (use.uses[e] == 1) boundary.push_back(e);
  }
  // The boundary edges leaving each node, grouped by node.
  std::vector<size_t> first(mesh.nodeCount() + 1, 0);
  for (uint32_t e : boundary)
    ++first[static_cast<size_t>(use.from[e]) + 1];
  for (size_t n = 0; n < mesh.nodeCount(); ++n)
    first[n + 1] += first[n];
  std::vector<uint32_t> leaving(boundary.size());
  std::vector<size_t> fill(first.begin(), first.end() - 1);
  for (uint32_t e : boundary)
    leaving[fill[static_cast<size_t>(use.from[e])]++] = e;
  std::vector<uint8_t> taken(use.uses.size(), 0);

  std::vector<BoundaryLoop> loops;
  for (uint32_t start : boundary) {
    if (taken[start]) continue;
    BoundaryLoop& loop = loops.emplace_back();
    for (uint32_t e = start;;) {
      taken[e] = 1;
      loop.nodes.push_back(use.from[e]);
      loop.edges.push_back(e);
      const int32_t next = use.to[e];
      if (next == use.from[start]) {
        loop.closed = true;
        break;
      }
      const auto n = static_cast<size_t>(next);
      const auto it = std::find_if(leaving.begin() + static_cast<ptrdiff_t>(first[n]),
                                   leaving.begin() + static_cast<ptrdiff_t>(first[n + 1]),
                                   [&](uint32_t candidate) { return !taken[candidate]; });
      if (it == leaving.begin() + static_cast<ptrdiff_t>(first[n + 1])) break;  // faces wound
      e = *it;                                                                  // apart
    }
  }
  return loops;
}

// Fill triangles that meet the face beyond an edge at less than this cosine (about 2.6 degrees
// short of lying on it) are folded back onto it.
constexpr double kFoldedBack = -0.999;

// The face's normal, scaled to length 1 (zero for a face without area).
Vec3 UnitVectorArea(const Mesh& mesh, std::span<const int32_t> nodes) {
  Vec3 a = VectorArea(mesh, nodes);
  const double length = std::sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]);
  if (length > 0) {
    for (double& c : a)
      c /= length;
  }
  return a;
}

// The triangles that close the loop in its own plane, wound against the faces around it; empty
// when every split folds, when the loop has no area, when it is the rim of one lone face, when
// a triangle's edge would double an edge of the mesh that is not the loop's own, or when a
// triangle folds back onto the face beyond the loop.
std::vector<std::array<int32_t, 3>> FillOfLoop(const Mesh& mesh, const EdgeUse& use,
                                               const BoundaryLoop& loop) {
  const std::vector<int32_t> polygon(loop.nodes.rbegin(), loop.nodes.rend());
  if (polygon.size() < 3 || PlaneOfFace(mesh, polygon).flat) return {};
  const bool loneFace = std::all_of(loop.edges.begin(), loop.edges.end(), [&](uint32_t e) {
    return use.face[e] == use.face[loop.edges[0]];
  });
  if (loneFace) return {};
  const std::function<bool(int32_t, int32_t)> isLine = [&](int32_t a, int32_t b) {
    return use.table.find(a, b) >= 0;
  };
  FaceSplit split = SplitFace(mesh, polygon, isLine);
  if (split.folded || split.triangles.size() + 2 != polygon.size()) return {};
  const std::unordered_set<uint32_t> own(loop.edges.begin(), loop.edges.end());
  for (const auto& t : split.triangles) {
    const int32_t corners[3] = {t[0], t[1], t[2]};
    const Vec3 normal = UnitVectorArea(mesh, corners);
    for (int k = 0; k < 3; ++k) {
      const int64_t e = use.table.find(t[k], t[(k + 1) % 3]);
      if (e < 0) continue;
      if (own.count(static_cast<uint32_t>(e)) == 0) return {};
      // A fill triangle turned back onto the face beyond the loop's edge folds the surface
      // shut: the rim of an open sheet, or the two lips of a crack, not a hole in a solid.
      const Vec3 beyond = UnitVectorArea(mesh, mesh.face(use.face[static_cast<size_t>(e)]));
      if (normal[0] * beyond[0] + normal[1] * beyond[1] + normal[2] * beyond[2] < kFoldedBack) {
        return {};
      }
    }
  }
  return std::move(split.triangles);
}

}  // namespace

MeshRepair RepairMesh(const Mesh& mesh, const RepairOptions& options) {
  MeshRepair r;
  const Box box = NodeBox(mesh);
  const double diagonal =
      std::hypot(box.hi[0] - box.lo[0], box.hi[1] - box.lo[1], box.hi[2] - box.lo[2]);
  r.defaultTolerance = !options.mergeTolerance.has_value();
  r.tolerance = options.mergeTolerance.value_or(kDefaultMergeShare * diagonal);

  const std::vector<int32_t> renumber = MergeCloseNodes(mesh, r.tolerance, r.mesh);
  r.mergedNodes = mesh.nodeCount() - r.mesh.nodeCount();

  // The kept faces' nodes in ascending order, found by their hash in an open addressing table.
  std::vector<int32_t> sortedNodes;
  std::vector<size_t> sortedStart{0};
  size_t capacity = 1024;
  while (capacity < 2 * mesh.faceCount())
    capacity *= 2;
  std::vector<uint32_t> slots(capacity, 0);  // 0: empty, else the kept face's number + 1
  std::vector<int32_t> sorted;
  for (size_t f = 0; f < mesh.faceCount(); ++f) {
    const std::vector<int32_t> face = RenumberedFace(mesh.face(f), renumber);
    sorted.assign(face.begin(), face.end());
    std::sort(sorted.begin(), sorted.end());
    size_t distinct = sorted.empty() ? 0 : 1;
    for (size_t i = 1; i < sorted.size(); ++i)
      distinct += sorted[i] != sorted[i - 1] ? 1 : 0;
    if (distinct < 3) {
      ++r.zeroAreaFaces;
      continue;
    }
    // The same nodes in any order or winding: a face given twice.
    size_t slot = NodesHash{}(sorted) & (capacity - 1);
    bool repeated = false;
    for (; slots[slot] != 0 && !repeated; slot = (slot + 1) & (capacity - 1)) {
      const size_t k = slots[slot] - 1;
      repeated = std::equal(sorted.begin(), sorted.end(),
                            sortedNodes.begin() + static_cast<ptrdiff_t>(sortedStart[k]),
                            sortedNodes.begin() + static_cast<ptrdiff_t>(sortedStart[k + 1]));
    }
    if (repeated) {
      ++r.duplicateFaces;
      continue;
    }
    slots[slot] = static_cast<uint32_t>(r.mesh.faceCount() + 1);
    sortedNodes.insert(sortedNodes.end(), sorted.begin(), sorted.end());
    sortedStart.push_back(sortedNodes.size());
    r.mesh.addFace(face);
    r.fileFace.push_back(f);
  }
  r.ownFaces = r.mesh.faceCount();

  EdgeUse use(r.mesh);
  for (const BoundaryLoop& loop : BoundaryLoops(r.mesh, use)) {
    if (!loop.closed) {
      ++r.holesUnfillable;
      continue;
    }
    if (loop.nodes.size() > options.maxHoleEdges) {
      ++r.holesTooLong;
      continue;
    }
    const auto triangles = FillOfLoop(r.mesh, use, loop);
    if (triangles.empty()) {
      ++r.holesUnfillable;
      continue;
    }
    for (const auto& t : triangles) {
      r.mesh.addFace({t[0], t[1], t[2]});
      for (int k = 0; k < 3; ++k)
        use.add(t[k], t[(k + 1) % 3], r.mesh.faceCount() - 1);
    }
    ++r.filledHoles;
    r.fillFaces += triangles.size();
  }
  return r;
}

}  // namespace vexmor::cli
