#include "mesh/refinement.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <queue>
#include <utility>

#include "mesh/edge_table.h"

namespace vexmor::cli {
namespace {

constexpr uint32_t kNone = std::numeric_limits<uint32_t>::max();
// Rounds enough to halve an edge about a million times over; the cap stops sooner.
constexpr size_t kMaxRounds = 40;

class Refiner {
 public:
  Refiner(const Mesh& input, const EdgeLengths& lengths, size_t cap)
      : coords_(input.coords), lengths_(lengths), edges_(input.closedEdgeCount()), cap_(cap) {
    const size_t n = input.faceCount();
    corners_.reserve(n);
    for (size_t t = 0; t < n; ++t) {
      const auto nodes = input.face(t);
      if (nodes.size() != 3) {
        valid_ = false;
        return;
      }
      corners_.push_back({nodes[0], nodes[1], nodes[2]});
      from_.push_back(static_cast<uint32_t>(t));
      triangleEdges_.push_back({});
      attach(static_cast<uint32_t>(t));
    }
  }

  bool valid() const { return valid_; }

  Refinement run() {
    Refinement r;
    const size_t cap = cap_ > 0 ? cap_ : RefinementCap(corners_.size());
    std::vector<uint32_t> active(corners_.size());
    for (size_t t = 0; t < active.size(); ++t)
      active[t] = static_cast<uint32_t>(t);
    while (!active.empty() && r.rounds < kMaxRounds) {
      std::vector<uint32_t> marked;
      markedEdge_.assign(edgeTriangles_.size(), 0);
      // Each triangle whose longest edge is too long halves it; its neighbour across that edge
      // is split there too. One edge per triangle and round: a long thin triangle is cut across
      // and not also along its length, so it takes about twice as many pieces per halving of
      // its length, not three times.
      for (uint32_t t : active) {
        const double limit = lengths_.at(from_[t], centroid(t));
        const uint32_t e = triangleEdges_[t][longest(t)];
        if (squaredLength(e) > limit * limit) mark(e, marked);
      }
      if (marked.empty()) break;
      std::vector<uint32_t> affected;
      size_t added = 0;
      for (uint32_t e : marked) {
        for (uint32_t t : edgeTriangles_[e]) {
          if (t == kNone) continue;
          ++added;  // each marked edge of a triangle adds one piece
          affected.push_back(t);
        }
      }
      std::sort(affected.begin(), affected.end());
      affected.erase(std::unique(affected.begin(), affected.end()), affected.end());
      if (corners_.size() + added > cap) {
        r.capped = true;
        break;
      }
      midpoint_.resize(edgeTriangles_.size(), -1);
      for (uint32_t e : marked)
        midpoint_[e] = addMidpoint(e);
      active.clear();
      for (uint32_t t : affected)
        split(t, active);
      ++r.rounds;
    }
    r.mesh.coords = std::move(coords_);
    r.mesh.elem.reserve(4 * corners_.size());
    r.mesh.faceStart.reserve(corners_.size());
    for (const auto& c : corners_)
      r.mesh.addFace({c[0], c[1], c[2]});
    r.from = std::move(from_);
    return r;
  }

 private:
  void attach(uint32_t t) {
    for (int k = 0; k < 3; ++k) {
      const uint32_t e = edges_.insert(corners_[t][k], corners_[t][(k + 1) % 3]);
      if (e == edgeTriangles_.size()) edgeTriangles_.push_back({kNone, kNone});
      auto& slots = edgeTriangles_[e];
      if (slots[0] == kNone) {
        slots[0] = t;
      } else if (slots[1] == kNone) {
        slots[1] = t;
      } else {
        valid_ = false;  // three triangles on one edge: the mesh is not a closed surface
      }
      triangleEdges_[t][k] = e;
    }
  }

  void detach(uint32_t t) {
    for (uint32_t e : triangleEdges_[t]) {
      for (uint32_t& slot : edgeTriangles_[e]) {
        if (slot == t) slot = kNone;
      }
    }
  }

  double squaredLength(uint32_t e) const {
    const auto a = static_cast<size_t>(edges_.first(e)), b = static_cast<size_t>(edges_.second(e));
    double s = 0;
    for (int k = 0; k < 3; ++k) {
      const double d = coords_[3 * a + k] - coords_[3 * b + k];
      s += d * d;
    }
    return s;
  }

  // The corner at which the triangle's longest edge starts (ties: the earlier edge number).
  int longest(uint32_t t) const {
    int best = 0;
    double bestLength = -1;
    for (int k = 0; k < 3; ++k) {
      const uint32_t e = triangleEdges_[t][k];
      const double length = squaredLength(e);
      if (best < 0 || length > bestLength ||
          (length == bestLength && e < triangleEdges_[t][static_cast<size_t>(best)])) {
        best = k;
        bestLength = length;
      }
    }
    return best;
  }

  // The corner at which the triangle's longest marked edge starts.
  int longestMarked(uint32_t t) const {
    int best = -1;
    double bestLength = -1;
    for (int k = 0; k < 3; ++k) {
      const uint32_t e = triangleEdges_[t][k];
      if (!markedEdge_[e]) continue;
      const double length = squaredLength(e);
      if (length > bestLength ||
          (length == bestLength && e < triangleEdges_[t][static_cast<size_t>(best)])) {
        best = k;
        bestLength = length;
      }
    }
    return best;
  }

  void mark(uint32_t e, std::vector<uint32_t>& marked) {
    if (markedEdge_[e]) return;
    markedEdge_[e] = 1;
    marked.push_back(e);
  }

  int32_t addMidpoint(uint32_t e) {
    const auto a = static_cast<size_t>(edges_.first(e)), b = static_cast<size_t>(edges_.second(e));
    for (int k = 0; k < 3; ++k)
      coords_.push_back(0.5 * (coords_[3 * a + k] + coords_[3 * b + k]));
    return static_cast<int32_t>(coords_.size() / 3 - 1);
  }

  uint32_t addTriangle(std::array<int32_t, 3> c, uint32_t from) {
    corners_.push_back(c);
    from_.push_back(from);
    triangleEdges_.push_back({});
    return static_cast<uint32_t>(corners_.size() - 1);
  }

  Vec3 centroid(uint32_t t) const {
    Vec3 c{0, 0, 0};
    for (int32_t n : corners_[t]) {
      for (int k = 0; k < 3; ++k)
        c[k] += coords_[3 * static_cast<size_t>(n) + k] / 3;
    }
    return c;
  }

  double squaredDistance(int32_t p, int32_t q) const {
    double s = 0;
    for (int k = 0; k < 3; ++k) {
      const double d =
          coords_[3 * static_cast<size_t>(p) + k] - coords_[3 * static_cast<size_t>(q) + k];
      s += d * d;
    }
    return s;
  }

  // Splits a triangle at the middles of its marked edges, keeping its winding: all three, into
  // four triangles like it; two, into the triangle at their common corner and a quadrilateral
  // cut along its shorter diagonal; one, in two from the opposite corner.
  void split(uint32_t t, std::vector<uint32_t>& pieces) {
    const int k = longestMarked(t);
    const int32_t a = corners_[t][k], b = corners_[t][(k + 1) % 3], c = corners_[t][(k + 2) % 3];
    const uint32_t ab = triangleEdges_[t][k], bc = triangleEdges_[t][(k + 1) % 3],
                   ca = triangleEdges_[t][(k + 2) % 3];
    const int32_t m = midpoint_[ab];
    detach(t);
    std::vector<std::array<int32_t, 3>> children;
    if (markedEdge_[bc] && markedEdge_[ca]) {
      const int32_t p = midpoint_[bc], n = midpoint_[ca];
      children = {{a, m, n}, {m, b, p}, {n, p, c}, {m, p, n}};
    } else if (markedEdge_[ca]) {
      const int32_t n = midpoint_[ca];
      children.push_back({a, m, n});
      if (squaredDistance(m, c) <= squaredDistance(b, n)) {
        children.push_back({m, b, c});
        children.push_back({m, c, n});
      } else {
        children.push_back({m, b, n});
        children.push_back({b, c, n});
      }
    } else if (markedEdge_[bc]) {
      const int32_t p = midpoint_[bc];
      children.push_back({m, b, p});
      if (squaredDistance(m, c) <= squaredDistance(a, p)) {
        children.push_back({a, m, c});
        children.push_back({m, p, c});
      } else {
        children.push_back({a, m, p});
        children.push_back({a, p, c});
      }
    } else {
      children = {{a, m, c}, {m, b, c}};
    }
    const uint32_t from = from_[t];
    for (size_t i = 0; i < children.size(); ++i) {
      const uint32_t piece = i == 0 ? t : addTriangle(children[i], from);
      corners_[piece] = children[i];
      attach(piece);
      pieces.push_back(piece);
    }
  }

  std::vector<double> coords_;
  const EdgeLengths& lengths_;
  EdgeTable edges_;
  std::vector<std::array<int32_t, 3>> corners_;
  std::vector<uint32_t> from_;
  std::vector<std::array<uint32_t, 3>> triangleEdges_;
  std::vector<std::array<uint32_t, 2>> edgeTriangles_;
  std::vector<uint8_t> markedEdge_;
  std::vector<int32_t> midpoint_;
  size_t cap_;
  bool valid_ = true;
};

// Distance from p to the triangle a, b, c (its closest point, by the region p projects to).
double DistanceToTriangle(const Vec3& p, const Vec3& a, const Vec3& b, const Vec3& c) {
  auto sub = [](const Vec3& x, const Vec3& y) {
    return Vec3{x[0] - y[0], x[1] - y[1], x[2] - y[2]};
  };
  auto dot = [](const Vec3& x, const Vec3& y) { return x[0] * y[0] + x[1] * y[1] + x[2] * y[2]; };
  auto at = [](const Vec3& o, const Vec3& u, double s, const Vec3& v, double t) {
    return Vec3{o[0] + s * u[0] + t * v[0], o[1] + s * u[1] + t * v[1], o[2] + s * u[2] + t * v[2]};
  };
  const Vec3 ab = sub(b, a), ac = sub(c, a), ap = sub(p, a);
  Vec3 q;
  const double d1 = dot(ab, ap), d2 = dot(ac, ap);
  const Vec3 bp = sub(p, b), cp = sub(p, c);
  const double d3 = dot(ab, bp), d4 = dot(ac, bp), d5 = dot(ab, cp), d6 = dot(ac, cp);
  const double vc = d1 * d4 - d3 * d2, vb = d5 * d2 - d1 * d6, va = d3 * d6 - d5 * d4;
  if (d1 <= 0 && d2 <= 0) {
    q = a;
  } else if (d3 >= 0 && d4 <= d3) {
    q = b;
  } else if (d6 >= 0 && d5 <= d6) {
    q = c;
  } else if (vc <= 0 && d1 >= 0 && d3 <= 0) {
    q = at(a, ab, d1 / (d1 - d3), ac, 0);
  } else if (vb <= 0 && d2 >= 0 && d6 <= 0) {
    q = at(a, ab, 0, ac, d2 / (d2 - d6));
  } else if (va <= 0 && d4 - d3 >= 0 && d5 - d6 >= 0) {
    const double w = (d4 - d3) / ((d4 - d3) + (d5 - d6));
    q = at(b, sub(c, b), w, ac, 0);
  } else {
    const double sum = va + vb + vc;
    q = sum != 0 ? at(a, ab, vb / sum, ac, vc / sum) : a;
  }
  const Vec3 d = sub(p, q);
  return std::sqrt(dot(d, d));
}

}  // namespace

size_t RefinementCap(size_t triangles) {
  return std::max(kRefineCapFactor * triangles, kRefineMinimumCap);
}

double EdgeLengths::at(uint32_t triangle, const Vec3& point) const {
  if (corners.empty()) return std::max(length[triangle], finest);
  double best = length[triangle];
  for (uint32_t n : neighbour[triangle]) {
    if (n == kNoNeighbour || length[n] >= best) continue;
    const auto& c = corners[n];
    best = std::min(
        best, length[n] + kRefineThicknessShare * DistanceToTriangle(point, c[0], c[1], c[2]));
  }
  return std::max(best, finest);
}

EdgeLengths FirstPassLengths(const Mesh& triangles, std::span<const double> thickness) {
  const double part = NodeBox(triangles).largestExtent();
  EdgeLengths lengths;
  lengths.length.resize(triangles.faceCount());
  for (size_t t = 0; t < lengths.length.size(); ++t) {
    const double local = t < thickness.size() ? thickness[t] : 0.0;
    const double scale = std::isfinite(local) && local > 0 ? std::min(local, part) : part;
    lengths.length[t] = std::max(kRefineThicknessShare * scale, kFirstPassPartShare * part);
  }
  return lengths;
}

EdgeLengths RefinementLengths(const Mesh& triangles, std::span<const double> thickness) {
  const double part = NodeBox(triangles).largestExtent();
  const size_t count = triangles.faceCount();
  EdgeLengths lengths;
  lengths.finest = kFinestPartShare * part;
  std::vector<double>& scale = lengths.length;
  scale.resize(count);
  for (size_t t = 0; t < count; ++t) {
    const double local = t < thickness.size() ? thickness[t] : 0.0;
    scale[t] = std::isfinite(local) && local > 0 ? std::min(local, part) : part;
  }
  // The triangles across each edge.
  EdgeTable edges(triangles.closedEdgeCount());
  std::vector<std::array<uint32_t, 2>> across;
  for (size_t t = 0; t < count; ++t) {
    const auto nodes = triangles.face(t);
    for (size_t k = 0; k < nodes.size(); ++k) {
      const uint32_t e = edges.insert(nodes[k], nodes[(k + 1) % nodes.size()]);
      if (e == across.size()) across.push_back({kNone, kNone});
      (across[e][0] == kNone ? across[e][0] : across[e][1]) = static_cast<uint32_t>(t);
    }
  }
  std::vector<Vec3> centre(count);
  lengths.corners.resize(count);
  lengths.neighbour.assign(count, {kNone, kNone, kNone});
  for (size_t t = 0; t < count; ++t) {
    centre[t] = FaceCentroid(triangles, t);
    for (size_t k = 0; k < 3; ++k)
      lengths.corners[t][k] = triangles.node(static_cast<size_t>(triangles.face(t)[k]));
    const auto nodes = triangles.face(t);
    for (size_t k = 0; k < nodes.size() && k < 3; ++k) {
      const auto e = static_cast<size_t>(edges.find(nodes[k], nodes[(k + 1) % nodes.size()]));
      for (uint32_t u : across[e]) {
        if (u != kNone && u != t) lengths.neighbour[t][k] = u;
      }
    }
  }
  // The scale grows by at most the distance from a thinner place: a shortest-path pass over
  // the triangles from edge to edge, each step costing the distance between the centroids.
  using Entry = std::pair<double, uint32_t>;
  std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> queue;
  for (size_t t = 0; t < count; ++t)
    queue.push({scale[t], static_cast<uint32_t>(t)});
  while (!queue.empty()) {
    const auto [value, t] = queue.top();
    queue.pop();
    if (value > scale[t]) continue;
    for (uint32_t u : lengths.neighbour[t]) {
      if (u == kNone) continue;
      const Vec3 &p = centre[t], &q = centre[u];
      const double reached =
          value + std::sqrt((p[0] - q[0]) * (p[0] - q[0]) + (p[1] - q[1]) * (p[1] - q[1]) +
                            (p[2] - q[2]) * (p[2] - q[2]));
      if (reached < scale[u]) {
        scale[u] = reached;
        queue.push({reached, u});
      }
    }
  }
  for (double& v : scale)
    v *= kRefineThicknessShare;
  return lengths;
}

Refinement RefineTriangles(const Mesh& triangles, const EdgeLengths& lengths, size_t cap) {
  Refiner refiner(triangles, lengths, cap);
  if (!refiner.valid() || lengths.length.size() < triangles.faceCount()) {
    Refinement unchanged;
    unchanged.mesh = triangles;
    unchanged.from.resize(triangles.faceCount());
    for (size_t t = 0; t < unchanged.from.size(); ++t)
      unchanged.from[t] = static_cast<uint32_t>(t);
    return unchanged;
  }
  return refiner.run();
}

Refinement Compose(const Refinement& first, Refinement second) {
  for (uint32_t& f : second.from)
    f = first.from[f];
  second.rounds += first.rounds;
  second.capped = second.capped || first.capped;
  return second;
}

}  // namespace vexmor::cli
