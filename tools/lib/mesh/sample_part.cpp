// The tray is a heightfield solid: a grid of rectangular cells, each a column of material
// from z = 0 up to its own height, with vertical walls wherever neighbouring heights differ.
// Along each vertical grid line a node is placed at every height of the cells around it, so
// that walls, tops and the bottom share their edges exactly and the surface is closed.
#include "mesh/sample_part.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>
#include <vector>

namespace vexmor::cli {
namespace {

struct Rect {
  double x0, y0, x1, y1;
  bool contains(double x, double y) const { return x > x0 && x < x1 && y > y0 && y < y1; }
  bool onOrInside(double x, double y) const { return x >= x0 && x <= x1 && y >= y0 && y <= y1; }
};

constexpr double kLength = 80, kWidth = 50;
constexpr double kFloor = 3, kWallHeight = 14, kWallThickness = 2;
constexpr Rect kRib{50, kWallThickness, 51.25, kWidth - kWallThickness};
constexpr double kRibHeight = 10;
constexpr Rect kBoss{12, 16, 24, 28};
constexpr double kBossHeight = 16;
constexpr Rect kPocket{58, 14, 72, 30};
constexpr double kPocketFloor = 1;
constexpr double kLean = 0.5;  // how far the boss top and the pocket bottom move sideways
constexpr double kCell = 4;    // the grid spacing away from the features

double HeightAt(double x, double y) {
  if (kBoss.contains(x, y)) return kBossHeight;
  if (kRib.contains(x, y)) return kRibHeight;
  if (kPocket.contains(x, y)) return kPocketFloor;
  const bool wall = x < kWallThickness || x > kLength - kWallThickness || y < kWallThickness ||
                    y > kWidth - kWallThickness;
  return wall ? kWallHeight : kFloor;
}

// Feature lines plus a regular spacing, without regular lines that would make thin slivers.
std::vector<double> GridLines(double length, std::vector<double> features) {
  std::vector<double> lines = features;
  for (double x = 0; x <= length; x += kCell) {
    const bool near = std::any_of(features.begin(), features.end(),
                                  [&](double f) { return std::fabs(f - x) < 1.0; });
    if (!near) lines.push_back(x);
  }
  std::sort(lines.begin(), lines.end());
  lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
  return lines;
}

class TrayBuilder {
 public:
  TrayBuilder()
      : xs_(GridLines(kLength, {0, kWallThickness, kBoss.x0, kBoss.x1, kRib.x0, kRib.x1, kPocket.x0,
                                kPocket.x1, kLength - kWallThickness, kLength})),
        ys_(GridLines(kWidth, {0, kWallThickness, kBoss.y0, kBoss.y1, kPocket.y0, kPocket.y1,
                               kWidth - kWallThickness, kWidth})) {}

  Mesh build() {
    const int nx = static_cast<int>(xs_.size()) - 1, ny = static_cast<int>(ys_.size()) - 1;
    for (int j = 0; j < ny; ++j) {
      for (int i = 0; i < nx; ++i) {
        const double h = cellHeight(i, j);
        const bool quads = isBossCell(i, j);
        face({node(i, j, h), node(i + 1, j, h), node(i + 1, j + 1, h), node(i, j + 1, h)}, quads);
        face({node(i, j, 0), node(i, j + 1, 0), node(i + 1, j + 1, 0), node(i + 1, j, 0)}, false);
      }
    }
    // Walls across the x grid lines (between cells i-1 and i), then across the y lines.
    for (int i = 0; i <= nx; ++i) {
      for (int j = 0; j < ny; ++j) {
        const double left = cellHeight(i - 1, j), right = cellHeight(i, j);
        if (left == right) continue;
        const bool quads = isBossCell(i - 1, j) || isBossCell(i, j);
        // Facing +x when the left side is higher.
        if (left > right) {
          wall(i, j, i, j + 1, right, left, quads);
        } else {
          wall(i, j + 1, i, j, left, right, quads);
        }
      }
    }
    for (int j = 0; j <= ny; ++j) {
      for (int i = 0; i < nx; ++i) {
        const double below = cellHeight(i, j - 1), above = cellHeight(i, j);
        if (below == above) continue;
        const bool quads = isBossCell(i, j - 1) || isBossCell(i, j);
        if (below > above) {
          wall(i + 1, j, i, j, above, below, quads);
        } else {
          wall(i, j, i + 1, j, below, above, quads);
        }
      }
    }
    return renumbered();
  }

 private:
  double cellHeight(int i, int j) const {
    if (i < 0 || j < 0 || i + 1 >= static_cast<int>(xs_.size()) ||
        j + 1 >= static_cast<int>(ys_.size())) {
      return 0;
    }
    return HeightAt((xs_[i] + xs_[i + 1]) / 2, (ys_[j] + ys_[j + 1]) / 2);
  }
  bool isBossCell(int i, int j) const { return cellHeight(i, j) == kBossHeight; }

  // Heights at which the vertical grid line through corner (i, j) carries a node.
  std::vector<double> levels(int i, int j) const {
    std::vector<double> z = {0, cellHeight(i - 1, j - 1), cellHeight(i, j - 1),
                             cellHeight(i - 1, j), cellHeight(i, j)};
    std::sort(z.begin(), z.end());
    z.erase(std::unique(z.begin(), z.end()), z.end());
    return z;
  }

  int32_t node(int i, int j, double z) {
    const auto key = std::make_tuple(i, j, z);
    const auto found = nodes_.find(key);
    if (found != nodes_.end()) return found->second;
    double x = xs_[i], y = ys_[j];
    // The boss top narrows and the pocket bottom widens, sideways from their outlines.
    if (z == kBossHeight && kBoss.onOrInside(x, y)) {
      x += x == kBoss.x0 ? kLean : x == kBoss.x1 ? -kLean : 0;
      y += y == kBoss.y0 ? kLean : y == kBoss.y1 ? -kLean : 0;
    } else if (z == kPocketFloor && kPocket.onOrInside(x, y)) {
      x += x == kPocket.x0 ? -kLean : x == kPocket.x1 ? kLean : 0;
      y += y == kPocket.y0 ? -kLean : y == kPocket.y1 ? kLean : 0;
    }
    const int32_t n = mesh_.addNode(x, y, z);
    nodes_.emplace(key, n);
    return n;
  }

  void face(const std::vector<int32_t>& nodes, bool quads) {
    if (nodes.size() == 4 && !quads) {
      mesh_.addFace({nodes[0], nodes[1], nodes[2]});
      mesh_.addFace({nodes[0], nodes[2], nodes[3]});
    } else {
      mesh_.addFace(nodes);
    }
  }

  // A wall between heights lo and hi along the grid edge from corner p to corner q, wound so
  // that p-bottom, q-bottom, q-top, p-top faces outwards. Nodes where other walls meet the
  // vertical lines through p and q split it into triangles.
  void wall(int pi, int pj, int qi, int qj, double lo, double hi, bool quads) {
    auto chain = [&](int i, int j) {
      std::vector<std::pair<double, int32_t>> c;
      for (double z : levels(i, j)) {
        if (z >= lo && z <= hi) c.emplace_back(z, node(i, j, z));
      }
      return c;
    };
    const auto p = chain(pi, pj), q = chain(qi, qj);
    if (p.size() == 2 && q.size() == 2) {
      face({p[0].second, q[0].second, q[1].second, p[1].second}, quads);
      return;
    }
    size_t a = 0, b = 0;
    while (a + 1 < p.size() || b + 1 < q.size()) {
      const bool advanceQ =
          a + 1 == p.size() || (b + 1 < q.size() && q[b + 1].first <= p[a + 1].first);
      if (advanceQ) {
        mesh_.addFace({p[a].second, q[b].second, q[b + 1].second});
        ++b;
      } else {
        mesh_.addFace({p[a].second, q[b].second, p[a + 1].second});
        ++a;
      }
    }
  }

  // Numbers the nodes in the order the faces first use them, as a reader of the written file
  // would.
  Mesh renumbered() const {
    Mesh out;
    std::vector<int32_t> number(mesh_.nodeCount(), -1);
    for (size_t f = 0; f < mesh_.faceCount(); ++f) {
      std::vector<int32_t> nodes;
      for (int32_t n : mesh_.face(f)) {
        auto& m = number[static_cast<size_t>(n)];
        if (m < 0) {
          const Vec3 p = mesh_.node(static_cast<size_t>(n));
          m = out.addNode(p[0], p[1], p[2]);
        }
        nodes.push_back(m);
      }
      out.addFace(nodes);
    }
    return out;
  }

  std::vector<double> xs_, ys_;
  Mesh mesh_;
  std::map<std::tuple<int, int, double>, int32_t> nodes_;
};

}  // namespace

Mesh SamplePart() {
  return TrayBuilder().build();
}

}  // namespace vexmor::cli
