#include "mesh/refinement.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "mesh/edge_table.h"

namespace vexmor::cli {
namespace {

constexpr uint32_t kNone = std::numeric_limits<uint32_t>::max();
// Rounds enough to halve an edge about a million times over; the cap stops sooner.
constexpr size_t kMaxRounds = 40;

class Refiner {
 public:
  Refiner(const Mesh& input, std::span<const double> target)
      : coords_(input.coords), target_(target), edges_(input.closedEdgeCount()) {
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
    const size_t cap = std::max(kRefineCapFactor * corners_.size(), kRefineMinimumCap);
    std::vector<uint32_t> active(corners_.size());
    for (size_t t = 0; t < active.size(); ++t)
      active[t] = static_cast<uint32_t>(t);
    while (!active.empty() && r.rounds < kMaxRounds) {
      std::vector<uint32_t> marked;
      markedEdge_.assign(edgeTriangles_.size(), 0);
      for (uint32_t t : active) {
        const double limit = target_[from_[t]];
        for (uint32_t e : triangleEdges_[t]) {
          if (squaredLength(e) > limit * limit) mark(e, marked);
        }
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
      if (length > bestLength ||
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

  // Bisects the longest edge from the opposite corner, then each half along the other marked
  // edge it holds, keeping the triangle's winding.
  void split(uint32_t t, std::vector<uint32_t>& pieces) {
    const int k = longestMarked(t);
    const int32_t a = corners_[t][k], b = corners_[t][(k + 1) % 3], c = corners_[t][(k + 2) % 3];
    const uint32_t ab = triangleEdges_[t][k], bc = triangleEdges_[t][(k + 1) % 3],
                   ca = triangleEdges_[t][(k + 2) % 3];
    const int32_t m = midpoint_[ab];
    detach(t);
    std::vector<std::array<int32_t, 3>> children;
    if (markedEdge_[ca]) {
      children.push_back({m, c, midpoint_[ca]});
      children.push_back({m, midpoint_[ca], a});
    } else {
      children.push_back({a, m, c});
    }
    if (markedEdge_[bc]) {
      children.push_back({m, b, midpoint_[bc]});
      children.push_back({m, midpoint_[bc], c});
    } else {
      children.push_back({m, b, c});
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
  std::span<const double> target_;
  EdgeTable edges_;
  std::vector<std::array<int32_t, 3>> corners_;
  std::vector<uint32_t> from_;
  std::vector<std::array<uint32_t, 3>> triangleEdges_;
  std::vector<std::array<uint32_t, 2>> edgeTriangles_;
  std::vector<uint8_t> markedEdge_;
  std::vector<int32_t> midpoint_;
  bool valid_ = true;
};

}  // namespace

std::vector<double> RefinementTargets(const Mesh& triangles, std::span<const double> thickness) {
  const double part = NodeBox(triangles).largestExtent();
  const size_t count = triangles.faceCount();
  std::vector<double> own(count);
  for (size_t t = 0; t < count; ++t) {
    const double local = t < thickness.size() ? thickness[t] : 0.0;
    own[t] = std::isfinite(local) && local > 0 ? std::min(local, part) : part;
  }
  // The smallest over the triangles that share a node: the ball tangent on a face is held by
  // the walls next to it as well as by the one across (the rim of a plate by its two sides).
  std::vector<double> atNode(triangles.nodeCount(), part);
  for (size_t t = 0; t < count; ++t) {
    for (int32_t n : triangles.face(t))
      atNode[static_cast<size_t>(n)] = std::min(atNode[static_cast<size_t>(n)], own[t]);
  }
  std::vector<double> target(count);
  for (size_t t = 0; t < count; ++t) {
    double scale = own[t];
    for (int32_t n : triangles.face(t))
      scale = std::min(scale, atNode[static_cast<size_t>(n)]);
    target[t] = kRefineThicknessShare * scale;
  }
  return target;
}

Refinement RefineTriangles(const Mesh& triangles, std::span<const double> targetLength) {
  Refiner refiner(triangles, targetLength);
  if (!refiner.valid() || targetLength.size() < triangles.faceCount()) {
    Refinement unchanged;
    unchanged.mesh = triangles;
    unchanged.from.resize(triangles.faceCount());
    for (size_t t = 0; t < unchanged.from.size(); ++t)
      unchanged.from[t] = static_cast<uint32_t>(t);
    return unchanged;
  }
  return refiner.run();
}

}  // namespace vexmor::cli
