#include "mesh/ear_clipping.h"

#include <cmath>
#include <queue>

#include "mesh/exact_predicates.h"

namespace vexmor::cli {
namespace {

struct Point2 {
  double x, y;
  bool operator==(const Point2& o) const { return x == o.x && y == o.y; }
};

int Turn(const Point2& a, const Point2& b, const Point2& c) {
  return Orient2d(a.x, a.y, b.x, b.y, c.x, c.y);
}

std::vector<Point2> Projected(const Mesh& mesh, std::span<const int32_t> nodes,
                              const FacePlane& plane) {
  std::vector<Point2> points(nodes.size());
  for (size_t i = 0; i < nodes.size(); ++i) {
    const auto n = static_cast<size_t>(nodes[i]);
    points[i] = {mesh.coords[3 * n + plane.u], mesh.coords[3 * n + plane.v]};
  }
  return points;
}

// Area over the sum of the squared edge lengths: largest for an equilateral triangle,
// near zero for a thin one. Only compares ears, so rounding does not matter.
double Roundness(const Point2& a, const Point2& b, const Point2& c) {
  const double area = 0.5 * ((b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x));
  auto squared = [](const Point2& p, const Point2& q) {
    return (p.x - q.x) * (p.x - q.x) + (p.y - q.y) * (p.y - q.y);
  };
  const double sum = squared(a, b) + squared(b, c) + squared(c, a);
  return sum > 0 ? area / sum : 0;
}

// Inside or on the counter-clockwise triangle a, b, c.
bool InsideOrOn(const Point2& p, const Point2& a, const Point2& b, const Point2& c) {
  return Turn(a, b, p) >= 0 && Turn(b, c, p) >= 0 && Turn(c, a, p) >= 0;
}

FaceSplit Fan(const Mesh& mesh, std::span<const int32_t> nodes, const FacePlane& plane) {
  FaceSplit split;
  const auto points = Projected(mesh, nodes, plane);
  for (size_t k = 1; k + 1 < nodes.size(); ++k) {
    split.triangles.push_back({nodes[0], nodes[k], nodes[k + 1]});
    if (!plane.flat && Turn(points[0], points[k], points[k + 1]) < 0) split.folded = true;
  }
  return split;
}

class EarClipper {
 public:
  EarClipper(std::span<const int32_t> nodes, std::vector<Point2> points,
             const std::function<bool(int32_t, int32_t)>& isLine)
      : nodes_(nodes),
        points_(std::move(points)),
        isLine_(isLine),
        prev_(nodes.size()),
        next_(nodes.size()),
        stamp_(nodes.size(), 0),
        alive_(nodes.size(), true) {
    const size_t n = nodes.size();
    for (size_t i = 0; i < n; ++i) {
      prev_[i] = (i + n - 1) % n;
      next_[i] = (i + 1) % n;
    }
    // Only corners that do not turn the face's way can lie inside an ear; corners that do
    // keep doing so as ears are clipped, so this list never needs to grow.
    for (size_t i = 0; i < n; ++i) {
      if (Turn(points_[prev_[i]], points_[i], points_[next_[i]]) <= 0) blockers_.push_back(i);
    }
    for (size_t i = 0; i < n; ++i) {
      const Point2 &p = points_[i], &q = points_[(i + 1) % n];
      faceArea_ += 0.5 * (p.x * q.y - q.x * p.y);
    }
    faceArea_ = std::fabs(faceArea_);
  }

  FaceSplit run() {
    FaceSplit split;
    size_t remaining = nodes_.size();
    for (size_t i = 0; i < remaining; ++i)
      consider(i);
    while (remaining > 3) {
      size_t ear = nodes_.size();
      while (!ears_.empty() && ear == nodes_.size()) {
        const Candidate top = ears_.top();
        ears_.pop();
        if (alive_[top.corner] && stamp_[top.corner] == top.stamp) ear = top.corner;
      }
      const bool forced = ear == nodes_.size();
      if (forced) {
        // No true ear: the face crosses itself, or touches itself at a repeated node (which
        // leaves a triangle without area). Clip the roundest corner.
        ear = forcedCorner();
      }
      const size_t p = prev_[ear], n = next_[ear];
      if (forced && foldsBack(p, ear, n)) split.folded = true;
      split.triangles.push_back({nodes_[p], nodes_[ear], nodes_[n]});
      alive_[ear] = false;
      next_[p] = n;
      prev_[n] = p;
      ++stamp_[p];
      ++stamp_[n];
      --remaining;
      consider(p);
      consider(n);
    }
    size_t first = 0;
    while (!alive_[first])
      ++first;
    const size_t p = prev_[first], n = next_[first];
    split.triangles.push_back({nodes_[p], nodes_[first], nodes_[n]});
    if (foldsBack(p, first, n)) split.folded = true;
    return split;
  }

 private:
  struct Candidate {
    bool onLine;  // its diagonal is already a line of the mesh
    double roundness;
    size_t corner;
    uint32_t stamp;
    // The priority queue's top is the largest: new lines first, then the roundest.
    bool operator<(const Candidate& o) const {
      if (onLine != o.onLine) return onLine;
      if (roundness != o.roundness) return roundness < o.roundness;
      return corner > o.corner;  // ties go to the earlier corner, for a fixed result
    }
  };

  // Turns against the face by more than rounding: a triangle left without area where the face
  // touches itself may come out a hair negative once its nodes were rounded.
  bool foldsBack(size_t a, size_t b, size_t c) const {
    if (Turn(points_[a], points_[b], points_[c]) >= 0) return false;
    const Point2 &p = points_[a], &q = points_[b], &r = points_[c];
    const double area = 0.5 * ((q.x - p.x) * (r.y - p.y) - (q.y - p.y) * (r.x - p.x));
    return area < -1e-9 * faceArea_;
  }

  bool isEar(size_t i) const {
    const size_t p = prev_[i], n = next_[i];
    const Point2 &a = points_[p], &b = points_[i], &c = points_[n];
    if (Turn(a, b, c) <= 0) return false;
    for (size_t r : blockers_) {
      if (!alive_[r] || r == p || r == i || r == n) continue;
      const Point2& q = points_[r];
      if (q == a || q == b || q == c) continue;
      if (InsideOrOn(q, a, b, c)) return false;
    }
    return true;
  }

  void consider(size_t i) {
    if (!isEar(i)) return;
    const size_t p = prev_[i], n = next_[i];
    const bool onLine = isLine_ && isLine_(nodes_[p], nodes_[n]);
    ears_.push({onLine, Roundness(points_[p], points_[i], points_[n]), i, stamp_[i]});
  }

  size_t forcedCorner() const {
    size_t best = nodes_.size();
    double bestRoundness = -INFINITY;
    for (size_t i = 0; i < nodes_.size(); ++i) {
      if (!alive_[i]) continue;
      const double r = Roundness(points_[prev_[i]], points_[i], points_[next_[i]]);
      if (best == nodes_.size() || r > bestRoundness) {
        best = i;
        bestRoundness = r;
      }
    }
    return best;
  }

  std::span<const int32_t> nodes_;
  std::vector<Point2> points_;
  const std::function<bool(int32_t, int32_t)>& isLine_;
  std::vector<size_t> prev_, next_;
  std::vector<uint32_t> stamp_;  // bumped when a corner's neighbours change
  std::vector<bool> alive_;
  std::vector<size_t> blockers_;
  double faceArea_ = 0;  // in the plane of projection
  std::priority_queue<Candidate> ears_;
};

}  // namespace

FacePlane PlaneOfFace(const Mesh& mesh, std::span<const int32_t> nodes) {
  const Vec3 area = VectorArea(mesh, nodes);
  int k = 0;
  for (int axis = 1; axis < 3; ++axis) {
    if (std::fabs(area[axis]) > std::fabs(area[k])) k = axis;
  }
  FacePlane plane;
  plane.u = (k + 1) % 3;
  plane.v = (k + 2) % 3;
  if (area[k] < 0) std::swap(plane.u, plane.v);
  plane.flat = area[k] == 0;
  return plane;
}

bool IsConvexFace(const Mesh& mesh, std::span<const int32_t> nodes) {
  if (nodes.size() <= 3) return true;
  const FacePlane plane = PlaneOfFace(mesh, nodes);
  if (plane.flat) return true;
  const auto points = Projected(mesh, nodes, plane);
  const size_t n = points.size();
  for (size_t i = 0; i < n; ++i) {
    if (Turn(points[(i + n - 1) % n], points[i], points[(i + 1) % n]) < 0) return false;
  }
  return true;
}

FaceSplit SplitFace(const Mesh& mesh, std::span<const int32_t> nodes,
                    const std::function<bool(int32_t, int32_t)>& isLine) {
  FaceSplit split;
  if (nodes.size() < 3) return split;
  if (nodes.size() == 3) {
    split.triangles.push_back({nodes[0], nodes[1], nodes[2]});
    return split;
  }
  const FacePlane plane = PlaneOfFace(mesh, nodes);
  if (plane.flat || nodes.size() > kMaxEarClippingNodes) return Fan(mesh, nodes, plane);
  auto points = Projected(mesh, nodes, plane);
  if (nodes.size() == 4) {
    // The library splits a quadrilateral along its first-to-third diagonal: keep that split
    // wherever it lies inside the face and draws a new line, so that results do not depend on
    // which side split the face.
    const Point2 &a = points[0], &b = points[1], &c = points[2], &d = points[3];
    const bool firstInside = Turn(a, b, c) > 0 && Turn(a, c, d) > 0;
    const bool secondInside = Turn(b, c, d) > 0 && Turn(b, d, a) > 0;
    const bool firstNew = !(isLine && isLine(nodes[0], nodes[2])) && nodes[0] != nodes[2];
    const bool secondNew = !(isLine && isLine(nodes[1], nodes[3])) && nodes[1] != nodes[3];
    const bool second = secondInside && (!firstInside || (!firstNew && secondNew));
    if (second) {
      split.triangles.push_back({nodes[1], nodes[2], nodes[3]});
      split.triangles.push_back({nodes[1], nodes[3], nodes[0]});
    } else {
      split.triangles.push_back({nodes[0], nodes[1], nodes[2]});
      split.triangles.push_back({nodes[0], nodes[2], nodes[3]});
      split.folded = !firstInside;
    }
    return split;
  }
  return EarClipper(nodes, std::move(points), isLine).run();
}

}  // namespace vexmor::cli
