#include "mesh/mesh_doubts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <set>
#include <utility>

#include "mesh/ear_clipping.h"
#include "mesh/exact_predicates.h"
#include "mesh/self_intersection.h"

namespace vexmor::cli {
namespace {

std::string InGroupsOfThree(size_t n) {
  std::string digits = std::to_string(n), out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ' ';
    out += digits[i];
  }
  return out;
}

std::string Share(double part, double whole) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.1f %%", whole > 0 ? 100 * part / whole : 0.0);
  return buffer;
}

std::string Faces(const DoubtfulFaces& d, double total) {
  return InGroupsOfThree(d.count) + (d.count == 1 ? " face" : " faces") + " (" +
         Share(d.area, total) + " of the area)";
}

bool CollinearExactly(const Vec3& a, const Vec3& b, const Vec3& c) {
  for (int k = 0; k < 3; ++k) {
    const int u = (k + 1) % 3, v = (k + 2) % 3;
    if (Orient2d(a[u], a[v], b[u], b[v], c[u], c[v]) != 0) return false;
  }
  return true;
}

// Longest edge over the height onto it: L^2 / (2 area). Infinite without area.
double LengthToWidth(const Vec3& a, const Vec3& b, const Vec3& c) {
  auto squared = [](const Vec3& p, const Vec3& q) {
    return (p[0] - q[0]) * (p[0] - q[0]) + (p[1] - q[1]) * (p[1] - q[1]) +
           (p[2] - q[2]) * (p[2] - q[2]);
  };
  const Vec3 u{b[0] - a[0], b[1] - a[1], b[2] - a[2]}, v{c[0] - a[0], c[1] - a[1], c[2] - a[2]};
  const Vec3 n{u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
  const double doubleArea = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
  const double longest = std::max({squared(a, b), squared(b, c), squared(c, a)});
  return doubleArea > 0 ? longest / doubleArea : INFINITY;
}

}  // namespace

std::vector<uint8_t> FarNodes(const Mesh& mesh) {
  const size_t n = mesh.nodeCount();
  std::vector<uint8_t> far(n, 0);
  const size_t groupLimit = std::min<size_t>(16, n >= 1 ? (n - 1) / 4 : 0);
  if (groupLimit == 0) return far;
  constexpr int kRounds = 6;
  // The most extreme nodes in each of the six directions, most extreme first: enough of them
  // to find the extremes of the rest after every round has taken away a group.
  const size_t keep = std::min(n, (kRounds + 1) * groupLimit + 1);
  std::vector<std::vector<uint32_t>> extremes(6);
  for (int d = 0; d < 6; ++d) {
    const int axis = d / 2;
    const double sign = d % 2 == 0 ? -1.0 : 1.0;  // even: smallest first; odd: largest first
    std::vector<uint32_t> order(n);
    for (size_t i = 0; i < n; ++i)
      order[i] = static_cast<uint32_t>(i);
    auto further = [&](uint32_t p, uint32_t q) {
      const double a = sign * mesh.coords[3 * p + axis], b = sign * mesh.coords[3 * q + axis];
      return a != b ? a > b : p < q;
    };
    std::partial_sort(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(keep), order.end(),
                      further);
    order.resize(keep);
    extremes[d] = std::move(order);
  }
  for (int round = 0; round < kRounds; ++round) {
    bool found = false;
    for (int d = 0; d < 6 && !found; ++d) {
      std::vector<uint32_t> group;
      for (uint32_t node : extremes[d]) {
        if (group.size() == groupLimit) break;
        if (far[node]) continue;
        group.push_back(node);
        // The box of every node not far and not in the group.
        Box rest;
        bool complete = true;
        for (int e = 0; e < 6 && complete; ++e) {
          auto it = std::find_if(extremes[e].begin(), extremes[e].end(), [&](uint32_t m) {
            return !far[m] && std::find(group.begin(), group.end(), m) == group.end();
          });
          if (it == extremes[e].end()) {
            complete = false;
            break;
          }
          (e % 2 == 0 ? rest.lo : rest.hi)[e / 2] = mesh.coords[3 * *it + e / 2];
        }
        const double extent = complete ? rest.largestExtent() : 0;
        if (!(extent > 0)) continue;
        double nearest = INFINITY;
        for (uint32_t m : group) {
          double squared = 0;
          for (int k = 0; k < 3; ++k) {
            const double x = mesh.coords[3 * m + k];
            const double out = std::max({rest.lo[k] - x, 0.0, x - rest.hi[k]});
            squared += out * out;
          }
          nearest = std::min(nearest, std::sqrt(squared));
        }
        if (nearest > extent) {
          for (uint32_t m : group)
            far[m] = 1;
          found = true;
          break;
        }
      }
    }
    if (!found) break;
  }
  return far;
}

MeshDoubts InspectDoubts(const Mesh& mesh, const Triangulation* split,
                         const std::vector<uint32_t>& faceShell,
                         const std::vector<double>* faceAreas) {
  MeshDoubts d;
  const size_t faces = mesh.faceCount();
  d.faceFlags.assign(faces, 0);
  std::vector<double> computed;
  if (faceAreas == nullptr) computed = FaceAreas(mesh);
  const std::vector<double>& areas = faceAreas != nullptr ? *faceAreas : computed;
  for (double a : areas)
    d.totalArea += a;
  for (uint32_t s : faceShell)
    d.shells = std::max<size_t>(d.shells, s + 1);

  const Mesh& triangles = split != nullptr ? split->mesh : mesh;
  auto faceOf = [&](size_t t) { return split != nullptr ? split->triangleFace[t] : t; };
  auto corner = [&](size_t t, int k) {
    return triangles.node(static_cast<size_t>(triangles.face(t)[static_cast<size_t>(k)]));
  };

  // Without area: every triangle of the face has its corners on one line.
  std::vector<uint8_t> hasArea(faces, 0);
  for (size_t t = 0; t < triangles.faceCount(); ++t) {
    if (triangles.face(t).size() != 3) continue;
    const Vec3 a = corner(t, 0), b = corner(t, 1), c = corner(t, 2);
    const size_t f = faceOf(t);
    if (CollinearExactly(a, b, c)) continue;
    hasArea[f] = 1;
    if (LengthToWidth(a, b, c) > kLongThinRatio) d.faceFlags[f] |= kDoubtLongThin;
  }
  for (size_t f = 0; f < faces; ++f) {
    if (!hasArea[f]) d.faceFlags[f] |= kDoubtZeroArea;
    if (mesh.face(f).size() > 3 && !IsConvexFace(mesh, mesh.face(f))) {
      d.faceFlags[f] |= kDoubtNonConvex;
    }
  }

  std::set<std::pair<uint32_t, uint32_t>> shellPairs;
  std::vector<uint8_t> selfCrossing(d.shells, 0);
  FindTriangleContacts(
      triangles, [&](size_t s, size_t t) { return faceOf(s) == faceOf(t); },
      [&](size_t s, size_t t, TriangleContact contact) {
        const size_t f = faceOf(s), g = faceOf(t);
        if (contact == TriangleContact::kOverlapping) {
          ++d.overlappingPairs;
          d.faceFlags[f] |= kDoubtOverlapping;
          d.faceFlags[g] |= kDoubtOverlapping;
          return;
        }
        ++d.crossingPairs;
        d.faceFlags[f] |= kDoubtCrossing;
        d.faceFlags[g] |= kDoubtCrossing;
        if (f < faceShell.size() && g < faceShell.size()) {
          const uint32_t a = faceShell[f], b = faceShell[g];
          if (a == b) {
            selfCrossing[a] = 1;
          } else {
            shellPairs.insert({std::min(a, b), std::max(a, b)});
          }
        }
      });
  d.shellPairsCrossing = shellPairs.size();
  for (uint8_t s : selfCrossing)
    d.shellsCrossingThemselves += s;

  d.farNode = FarNodes(mesh);
  Box rest;
  bool first = true;
  for (size_t node = 0; node < mesh.nodeCount(); ++node) {
    if (d.farNode[node]) {
      ++d.farNodes;
      continue;
    }
    for (int k = 0; k < 3; ++k) {
      const double x = mesh.coords[3 * node + k];
      rest.lo[k] = first ? x : std::min(rest.lo[k], x);
      rest.hi[k] = first ? x : std::max(rest.hi[k], x);
    }
    first = false;
  }
  if (d.farNodes > 0 && rest.largestExtent() > 0) {
    d.boxGrowth = NodeBox(mesh).largestExtent() / rest.largestExtent();
    d.stray.restExtent = rest.largestExtent();
    d.stray.distance = -1;
    for (size_t node = 0; node < mesh.nodeCount(); ++node) {
      if (!d.farNode[node]) continue;
      const Vec3 p = mesh.node(node);
      double squared = 0;
      for (int k = 0; k < 3; ++k) {
        const double out = std::max({rest.lo[k] - p[k], 0.0, p[k] - rest.hi[k]});
        squared += out * out;
      }
      if (std::sqrt(squared) > d.stray.distance) {
        d.stray.node = node;
        d.stray.position = p;
        d.stray.distance = std::sqrt(squared);
      }
    }
    for (size_t f = 0; f < faces; ++f) {
      bool usesStray = false;
      for (int32_t node : mesh.face(f)) {
        if (d.farNode[static_cast<size_t>(node)]) d.faceFlags[f] |= kDoubtUsesFarNode;
        usesStray = usesStray || static_cast<size_t>(node) == d.stray.node;
      }
      d.stray.facesUsing += usesStray;
    }
  }

  for (size_t f = 0; f < faces; ++f) {
    const uint8_t flags = d.faceFlags[f];
    auto add = [&](DoubtfulFaces& doubtful, uint8_t bit) {
      if (!(flags & bit)) return;
      ++doubtful.count;
      doubtful.area += areas[f];
    };
    add(d.crossing, kDoubtCrossing);
    add(d.overlapping, kDoubtOverlapping);
    add(d.nonConvex, kDoubtNonConvex);
    add(d.longThin, kDoubtLongThin);
    add(d.zeroArea, kDoubtZeroArea);
    add(d.farNodeFaces, kDoubtUsesFarNode);
  }
  return d;
}

bool MeshDoubts::any() const {
  return crossing.count + overlapping.count + nonConvex.count + longThin.count + zeroArea.count +
             farNodes >
         0;
}

std::vector<std::string> MeshDoubts::warnings() const {
  std::vector<std::string> out;
  if (crossing.count > 0) {
    std::vector<std::string> which;
    if (shellPairsCrossing > 0) {
      which.push_back(InGroupsOfThree(shellPairsCrossing) +
                      (shellPairsCrossing == 1 ? " pair of shells crosses each other"
                                               : " pairs of shells cross each other"));
    }
    if (shellsCrossingThemselves > 0) {
      which.push_back(
          InGroupsOfThree(shellsCrossingThemselves) +
          (shellsCrossingThemselves == 1 ? " shell crosses itself" : " shells cross themselves"));
    }
    std::string list;
    for (const auto& w : which)
      list += (list.empty() ? "" : ", ") + w;
    out.push_back("shells that cross: " + Faces(crossing, totalArea) + " cross other faces (" +
                  list + "); which side is material, and the thickness there, are doubtful");
  }
  if (overlapping.count > 0) {
    out.push_back("faces lying on other faces: " + Faces(overlapping, totalArea) +
                  " share area with another face in the same plane (doubled or touching "
                  "surfaces)");
  }
  if (nonConvex.count > 0) {
    out.push_back("non-convex faces: " + Faces(nonConvex, totalArea) +
                  " with a corner turning back; vexmor splits them in their planes");
  }
  if (longThin.count > 0) {
    char ratio[16];
    std::snprintf(ratio, sizeof ratio, "%g", kLongThinRatio);
    out.push_back("long thin triangles: " + Faces(longThin, totalArea) +
                  " with a triangle more than " + ratio +
                  " times as long as wide; one tangent point stands for a long face (the sphere "
                  "and contact methods refine them)");
  }
  if (zeroArea.count > 0) {
    out.push_back("faces without area: " + InGroupsOfThree(zeroArea.count) +
                  (zeroArea.count == 1 ? " face whose" : " faces whose") +
                  " nodes lie on one line; they have no normal, so their values mean nothing");
  }
  if (farNodes > 0) {
    char growth[32];
    std::snprintf(growth, sizeof growth, "%.3g", boxGrowth);
    out.push_back("nodes far from the rest: " + InGroupsOfThree(farNodes) +
                  (farNodes == 1 ? " node makes" : " nodes make") + " the node box " + growth +
                  " times as large as the rest (" + Faces(farNodeFaces, totalArea) +
                  " use them); every analysis is scaled and searched in that box");
  }
  if (farNodes > 0 && stray.restExtent > 0) {
    char where[192];
    std::snprintf(where, sizeof where,
                  "node %zu (counting from 0) at (%.6g, %.6g, %.6g) lies %.4g away from the box",
                  stray.node, stray.position[0], stray.position[1], stray.position[2],
                  stray.distance);
    char across[48];
    std::snprintf(across, sizeof across, "%.4g across", stray.restExtent);
    const std::string use = stray.facesUsing == 0
                                ? "used by no face"
                                : "used by " + InGroupsOfThree(stray.facesUsing) +
                                      (stray.facesUsing == 1 ? " face" : " faces");
    out.push_back(
        std::string(farNodes == 1 ? "stray node found: " : "stray nodes found: the farthest, ") +
        where + " of the other nodes, which is " + across + " (" + use + ")");
  }
  return out;
}

}  // namespace vexmor::cli
