#include "mesh/self_intersection.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>
#include <vector>

#include "mesh/exact_predicates.h"

namespace vexmor::cli {
namespace {

bool Degenerate(const Vec3& a, const Vec3& b, const Vec3& c) {
  // Collinear in space exactly when collinear in each of the three coordinate planes.
  for (int k = 0; k < 3; ++k) {
    const int u = (k + 1) % 3, v = (k + 2) % 3;
    if (Orient2d(a[u], a[v], b[u], b[v], c[u], c[v]) != 0) return false;
  }
  return true;
}

// Interiors of two triangles of one plane share some area: no edge line of either separates
// them (two convex polygons are apart exactly when one of their edge lines parts them).
bool CoplanarOverlap(const Vec3& a1, const Vec3& b1, const Vec3& c1, const Vec3& a2, const Vec3& b2,
                     const Vec3& c2) {
  // Any coordinate plane in which the first triangle keeps its area maps the common plane
  // one to one, so both triangles are compared there with their exact coordinates.
  int u = 0, v = 1, turn1 = 0;
  for (int k = 2; k >= 0 && turn1 == 0; --k) {
    u = (k + 1) % 3;
    v = (k + 2) % 3;
    turn1 = Orient2d(a1[u], a1[v], b1[u], b1[v], c1[u], c1[v]);
  }
  using P = std::array<double, 2>;
  std::array<P, 3> t1 = {P{a1[u], a1[v]}, P{b1[u], b1[v]}, P{c1[u], c1[v]}};
  std::array<P, 3> t2 = {P{a2[u], a2[v]}, P{b2[u], b2[v]}, P{c2[u], c2[v]}};
  if (turn1 < 0) std::swap(t1[1], t1[2]);
  const int turn2 = Orient2d(t2[0][0], t2[0][1], t2[1][0], t2[1][1], t2[2][0], t2[2][1]);
  if (turn2 == 0) return false;
  if (turn2 < 0) std::swap(t2[1], t2[2]);
  auto separates = [](const std::array<P, 3>& edges, const std::array<P, 3>& other) {
    for (int e = 0; e < 3; ++e) {
      const P &p = edges[e], &q = edges[(e + 1) % 3];
      bool allOutside = true;
      for (const P& x : other)
        allOutside = allOutside && Orient2d(p[0], p[1], q[0], q[1], x[0], x[1]) <= 0;
      if (allOutside) return true;
    }
    return false;
  };
  return !separates(t1, t2) && !separates(t2, t1);
}

// The corner alone strictly on its side of the other plane, the other two being on the other
// side or on the plane; `sides` holds the three corners' sides and has both signs.
int Apex(const int sides[3]) {
  int positive = 0;
  for (int k = 0; k < 3; ++k)
    positive += sides[k] > 0;
  for (int k = 0; k < 3; ++k) {
    if (positive == 1 ? sides[k] > 0 : sides[k] < 0) return k;
  }
  return 0;
}

bool BothSigns(const int sides[3]) {
  const bool positive = sides[0] > 0 || sides[1] > 0 || sides[2] > 0;
  const bool negative = sides[0] < 0 || sides[1] < 0 || sides[2] < 0;
  return positive && negative;
}

// A box in single precision, rounded outwards so that it holds the triangle.
struct FloatBox {
  std::array<float, 3> lo, hi;
  bool overlaps(const FloatBox& o) const {
    return lo[0] <= o.hi[0] && o.lo[0] <= hi[0] && lo[1] <= o.hi[1] && o.lo[1] <= hi[1] &&
           lo[2] <= o.hi[2] && o.lo[2] <= hi[2];
  }
  void add(const FloatBox& o) {
    for (int k = 0; k < 3; ++k) {
      lo[k] = std::min(lo[k], o.lo[k]);
      hi[k] = std::max(hi[k], o.hi[k]);
    }
  }
};

float Down(double v) {
  float f = static_cast<float>(v);
  if (static_cast<double>(f) > v) f = std::nextafter(f, -INFINITY);
  return f;
}
float Up(double v) {
  float f = static_cast<float>(v);
  if (static_cast<double>(f) < v) f = std::nextafter(f, INFINITY);
  return f;
}

// 21 bits of x, spread to every third bit.
uint64_t Spread(uint64_t x) {
  x &= 0x1fffff;
  x = (x | x << 32) & 0x1f00000000ffffULL;
  x = (x | x << 16) & 0x1f0000ff0000ffULL;
  x = (x | x << 8) & 0x100f00f00f00f00fULL;
  x = (x | x << 4) & 0x10c30c30c30c30c3ULL;
  x = (x | x << 2) & 0x1249249249249249ULL;
  return x;
}

// A tree over the triangles sorted along a space-filling curve: each node holds a run of
// them and the box around it, each inner node two halves of its run.
class BoxTree {
 public:
  struct Node {
    FloatBox box;
    uint32_t begin, end;   // run of `order`
    uint32_t left, right;  // children; 0 for a leaf (the root is never a child)
  };
  static constexpr uint32_t kLeafSize = 8;

  BoxTree(std::vector<FloatBox> boxes, std::vector<uint32_t> items) : boxes_(std::move(boxes)) {
    FloatBox all = boxes_[items[0]];
    for (uint32_t t : items)
      all.add(boxes_[t]);
    std::vector<std::pair<uint64_t, uint32_t>> keyed(items.size());
    for (size_t i = 0; i < items.size(); ++i) {
      const FloatBox& b = boxes_[items[i]];
      uint64_t code = 0;
      for (int k = 0; k < 3; ++k) {
        const double extent = static_cast<double>(all.hi[k]) - all.lo[k];
        const double centre = 0.5 * (static_cast<double>(b.lo[k]) + b.hi[k]);
        const double unit = extent > 0 ? (centre - all.lo[k]) / extent : 0;
        code |= Spread(static_cast<uint64_t>(std::clamp(unit, 0.0, 1.0) * 2097151.0)) << k;
      }
      keyed[i] = {code, items[i]};
    }
    std::sort(keyed.begin(), keyed.end());
    // Boxes in the tree's order, so that the runs a leaf holds lie side by side in memory.
    order_.resize(keyed.size());
    std::vector<FloatBox> sorted(keyed.size());
    for (size_t i = 0; i < keyed.size(); ++i) {
      order_[i] = keyed[i].second;
      sorted[i] = boxes_[keyed[i].second];
    }
    boxes_ = std::move(sorted);
    nodes_.reserve(2 * (order_.size() / kLeafSize + 1));
    build(0, static_cast<uint32_t>(order_.size()));
  }

  const Node& node(uint32_t n) const { return nodes_[n]; }
  // The item at position i of the tree's order, and its box.
  uint32_t item(uint32_t i) const { return order_[i]; }
  const FloatBox& box(uint32_t i) const { return boxes_[i]; }

 private:
  uint32_t build(uint32_t begin, uint32_t end) {
    const auto n = static_cast<uint32_t>(nodes_.size());
    nodes_.push_back({boxes_[begin], begin, end, 0, 0});
    if (end - begin <= kLeafSize) {
      for (uint32_t i = begin; i < end; ++i)
        nodes_[n].box.add(boxes_[i]);
      return n;
    }
    const uint32_t middle = begin + (end - begin) / 2;
    const uint32_t left = build(begin, middle);
    const uint32_t right = build(middle, end);
    nodes_[n].left = left;
    nodes_[n].right = right;
    nodes_[n].box = nodes_[left].box;
    nodes_[n].box.add(nodes_[right].box);
    return n;
  }

  std::vector<FloatBox> boxes_;  // by item until sorted, then in the tree's order
  std::vector<uint32_t> order_;
  std::vector<Node> nodes_;
};

}  // namespace

TriangleContact ContactOfTriangles(const Vec3& a1, const Vec3& b1, const Vec3& c1, const Vec3& a2,
                                   const Vec3& b2, const Vec3& c2) {
  const int sides1[3] = {Orient3d(a2, b2, c2, a1), Orient3d(a2, b2, c2, b1),
                         Orient3d(a2, b2, c2, c1)};
  if (sides1[0] == sides1[1] && sides1[1] == sides1[2] && sides1[0] != 0) {
    return TriangleContact::kNone;
  }
  if (Degenerate(a1, b1, c1) || Degenerate(a2, b2, c2)) return TriangleContact::kNone;
  if (sides1[0] == 0 && sides1[1] == 0 && sides1[2] == 0) {
    return CoplanarOverlap(a1, b1, c1, a2, b2, c2) ? TriangleContact::kOverlapping
                                                   : TriangleContact::kNone;
  }
  if (!BothSigns(sides1)) return TriangleContact::kNone;
  const int sides2[3] = {Orient3d(a1, b1, c1, a2), Orient3d(a1, b1, c1, b2),
                         Orient3d(a1, b1, c1, c2)};
  if (!BothSigns(sides2)) return TriangleContact::kNone;

  // Each triangle from the corner alone on its side (turning it keeps its orientation), and
  // each plane oriented so that the other triangle's lone corner lies on its positive side.
  const Vec3* t1[3] = {&a1, &b1, &c1};
  const Vec3* t2[3] = {&a2, &b2, &c2};
  const int apex1 = Apex(sides1), apex2 = Apex(sides2);
  const Vec3* p1 = t1[apex1];
  const Vec3* q1 = t1[(apex1 + 1) % 3];
  const Vec3* r1 = t1[(apex1 + 2) % 3];
  const Vec3* p2 = t2[apex2];
  const Vec3* q2 = t2[(apex2 + 1) % 3];
  const Vec3* r2 = t2[(apex2 + 2) % 3];
  if (sides1[apex1] < 0) std::swap(q2, r2);
  if (sides2[apex2] < 0) std::swap(q1, r1);
  // The planes meet in a line; along it, in the direction of the cross product of the two
  // normals, the first triangle covers [j, i] and the second [k, l], where i and j are where
  // the edges p1q1 and p1r1 meet the second plane and k, l where p2q2 and p2r2 meet the
  // first. The sign of Orient3d(p1, v, p2, w) is the sign of (where p2w meets) minus (where
  // p1v meets), so the pieces overlap by more than a point when k < i and j < l.
  if (Orient3d(*p1, *q1, *p2, *q2) >= 0) return TriangleContact::kNone;
  if (Orient3d(*p1, *r1, *p2, *r2) <= 0) return TriangleContact::kNone;
  return TriangleContact::kCrossing;
}

void FindTriangleContacts(const Mesh& triangles,
                          const std::function<bool(size_t, size_t)>& sameFace,
                          const std::function<void(size_t, size_t, TriangleContact)>& found) {
  const size_t count = triangles.faceCount();
  std::vector<FloatBox> boxes(count);
  std::vector<uint32_t> items;
  items.reserve(count);
  for (size_t t = 0; t < count; ++t) {
    const auto nodes = triangles.face(t);
    if (nodes.size() != 3) continue;
    FloatBox& b = boxes[t];
    for (int k = 0; k < 3; ++k) {
      double lo = INFINITY, hi = -INFINITY;
      for (int32_t n : nodes) {
        lo = std::min(lo, triangles.coords[3 * static_cast<size_t>(n) + k]);
        hi = std::max(hi, triangles.coords[3 * static_cast<size_t>(n) + k]);
      }
      b.lo[k] = Down(lo);
      b.hi[k] = Up(hi);
    }
    items.push_back(static_cast<uint32_t>(t));
  }
  if (items.size() < 2) return;
  const BoxTree tree(std::move(boxes), std::move(items));
  // Each triangle's nodes in the tree's order too.
  std::vector<std::array<int32_t, 3>> corners(tree.node(0).end);
  for (uint32_t i = 0; i < corners.size(); ++i) {
    const auto nodes = triangles.face(tree.item(i));
    corners[i] = {nodes[0], nodes[1], nodes[2]};
  }

  // i and j are positions in the tree's order.
  auto test = [&](uint32_t i, uint32_t j) {
    if (!tree.box(i).overlaps(tree.box(j))) return;
    const auto& a = corners[i];
    const auto& b = corners[j];
    for (int32_t x : a) {
      if (x == b[0] || x == b[1] || x == b[2]) return;
    }
    const uint32_t s = tree.item(i), t = tree.item(j);
    if (sameFace && sameFace(s, t)) return;
    auto at = [&](int32_t n) { return triangles.node(static_cast<size_t>(n)); };
    const TriangleContact contact =
        ContactOfTriangles(at(a[0]), at(a[1]), at(a[2]), at(b[0]), at(b[1]), at(b[2]));
    if (contact != TriangleContact::kNone) found(std::min(s, t), std::max(s, t), contact);
  };

  // Pairs of nodes whose boxes meet; a node paired with itself stands for the pairs within it.
  // A pair is pushed only once its boxes are known to meet.
  std::vector<std::pair<uint32_t, uint32_t>> stack = {{0, 0}};
  auto push = [&](uint32_t m, uint32_t n) {
    if (m == n || tree.node(m).box.overlaps(tree.node(n).box)) stack.push_back({m, n});
  };
  while (!stack.empty()) {
    const auto [m, n] = stack.back();
    stack.pop_back();
    const auto& a = tree.node(m);
    const auto& b = tree.node(n);
    const bool leafA = a.left == 0, leafB = b.left == 0;
    if (m == n) {
      if (leafA) {
        for (uint32_t i = a.begin; i < a.end; ++i) {
          for (uint32_t j = i + 1; j < a.end; ++j)
            test(i, j);
        }
      } else {
        push(a.left, a.left);
        push(a.right, a.right);
        push(a.left, a.right);
      }
    } else if (leafA && leafB) {
      for (uint32_t i = a.begin; i < a.end; ++i) {
        for (uint32_t j = b.begin; j < b.end; ++j)
          test(i, j);
      }
    } else if (leafB || (!leafA && a.end - a.begin >= b.end - b.begin)) {
      push(a.left, n);
      push(a.right, n);
    } else {
      push(m, b.left);
      push(m, b.right);
    }
  }
}

}  // namespace vexmor::cli
